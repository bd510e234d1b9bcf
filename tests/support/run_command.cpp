#include "run_command.h"

#include <sys/wait.h>

#include <cstdio>

namespace intro::test {

CommandResult run_command(const std::string& command_line) {
  std::FILE* pipe = popen((command_line + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {-1, "popen failed"};
  std::string output;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

}  // namespace intro::test
