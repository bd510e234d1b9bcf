#include "output_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace intro {
namespace {

// The one pending temporary file, removed by the signal handler. Tools write
// one output at a time.
char g_pending[4096];

void remove_pending_and_exit(int signal_number) {
  if (g_pending[0] != '\0') unlink(g_pending);
  _exit(128 + signal_number);
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action {};
  action.sa_handler = remove_pending_and_exit;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

std::string folder_of(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

OutputFile::OutputFile(const std::string& final_path) : final_path_(final_path) {
  if (final_path.empty() || final_path.back() == '/') throw std::runtime_error("output path '" + final_path + "' names no file");
  const std::string folder = folder_of(final_path);
  if (access(folder.c_str(), W_OK) != 0) {
    throw std::runtime_error("cannot write " + final_path + ": folder " + folder + " " + std::strerror(errno));
  }
  const auto slash = final_path.find_last_of('/');
  const std::string base = slash == std::string::npos ? final_path : final_path.substr(slash + 1);
  std::string pattern = folder + "/." + base + ".partial-XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("cannot create a file in " + folder + ": " + std::strerror(errno));
  close(fd);
  temp_path_ = pattern;
  if (temp_path_.size() < sizeof(g_pending)) std::memcpy(g_pending, temp_path_.c_str(), temp_path_.size() + 1);
  install_handlers();
}

OutputFile::~OutputFile() {
  if (!committed_) std::remove(temp_path_.c_str());
  g_pending[0] = '\0';
}

void OutputFile::commit() {
  // mkstemp makes the file private; give it the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  chmod(temp_path_.c_str(), 0666 & ~mask);
  if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    throw std::runtime_error("cannot move the finished file to " + final_path_ + ": " + std::strerror(errno));
  }
  committed_ = true;
  g_pending[0] = '\0';
}

}  // namespace intro
