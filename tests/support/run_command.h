#pragma once
#include <string>

namespace intro::test {

struct CommandResult {
  int exit_code;       // -1 when the command did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a shell command line to its end and collects what it printed.
CommandResult run_command(const std::string& command_line);

}  // namespace intro::test
