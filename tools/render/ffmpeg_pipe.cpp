#include "ffmpeg_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace intro {
namespace {

// The running child, for the signal handler: an interrupted render kills
// ffmpeg before the output file's own handler removes the partial file.
volatile pid_t g_child = -1;
struct sigaction g_previous[3];
const int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};

void kill_child_and_chain(int signal_number) {
  const pid_t child = g_child;
  if (child > 0) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  for (int i = 0; i < 3; ++i) {
    if (kSignals[i] != signal_number) continue;
    const auto handler = g_previous[i].sa_handler;
    if (handler != SIG_DFL && handler != SIG_IGN && handler != nullptr) handler(signal_number);
  }
  _exit(128 + signal_number);
}

}  // namespace

std::string find_on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return "";
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + program;
    struct stat info {};
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
  }
  return "";
}

FfmpegPipe::FfmpegPipe(const std::vector<std::string>& args) {
  const std::string program = find_on_path("ffmpeg");
  if (program.empty()) throw std::runtime_error("ffmpeg was not found on PATH; install it (Debian: apt-get install ffmpeg)");

  char error_template[] = "/tmp/intro-render-ffmpeg-XXXXXX";
  const int error_fd = mkstemp(error_template);
  if (error_fd < 0) throw std::runtime_error(std::string("cannot create a file for ffmpeg's messages: ") + std::strerror(errno));
  error_path_ = error_template;

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) {
    close(error_fd);
    throw std::runtime_error(std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno));
  }

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // A write into a pipe whose reader has died then fails with EPIPE
  // instead of killing this process.
  signal(SIGPIPE, SIG_IGN);

  pid_ = fork();
  if (pid_ < 0) {
    close(error_fd);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    throw std::runtime_error(std::string("cannot start ffmpeg: ") + std::strerror(errno));
  }
  if (pid_ == 0) {
    dup2(pipe_fds[0], STDIN_FILENO);
    dup2(error_fd, STDERR_FILENO);
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    close(error_fd);
    signal(SIGPIPE, SIG_DFL);
    execv(program.c_str(), argv.data());
    std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
    _exit(127);
  }
  close(pipe_fds[0]);
  close(error_fd);
  input_ = pipe_fds[1];

  g_child = pid_;
  struct sigaction action {};
  action.sa_handler = kill_child_and_chain;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

FfmpegPipe::~FfmpegPipe() {
  if (input_ >= 0) close(input_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  g_child = -1;
  for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
  if (!error_path_.empty()) std::remove(error_path_.c_str());
}

void FfmpegPipe::write(const void* data, std::size_t bytes) {
  const char* p = static_cast<const char*>(data);
  while (bytes > 0) {
    const ssize_t n = ::write(input_, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail("ffmpeg stopped reading frames");
    p += n;
    bytes -= static_cast<std::size_t>(n);
  }
}

void FfmpegPipe::finish() {
  close(input_);
  input_ = -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  g_child = -1;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  std::string how = WIFEXITED(status) ? "ffmpeg failed with exit status " + std::to_string(WEXITSTATUS(status))
                                      : "ffmpeg was killed by signal " + std::to_string(WTERMSIG(status));
  throw std::runtime_error(how + error_tail());
}

void FfmpegPipe::fail(const std::string& what) {
  // Let ffmpeg finish writing its complaint before reading it.
  close(input_);
  input_ = -1;
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  g_child = -1;
  std::string how = what;
  if (WIFEXITED(status)) how += " (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
  throw std::runtime_error(how + error_tail());
}

std::string FfmpegPipe::error_tail() const {
  std::ifstream in(error_path_);
  std::stringstream all;
  all << in.rdbuf();
  std::string text = all.str();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return "";
  constexpr std::size_t kTail = 1500;
  if (text.size() > kTail) text = "..." + text.substr(text.size() - kTail);
  return "; its messages:\n" + text;
}

}  // namespace intro
