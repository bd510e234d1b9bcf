#pragma once
#include <string>
#include <vector>

namespace intro {

// One subcommand of intro-render: it takes the arguments after its name and
// returns the process exit code. Usage errors throw UsageError; other
// failures throw std::runtime_error; main() reports both.
struct Command {
  const char* name;
  const char* usage;    // the arguments, for the help text
  const char* summary;  // one line
  int (*run)(const std::vector<std::string>& args);
};

int run_info(const std::vector<std::string>& args);
int run_audio(const std::vector<std::string>& args);
int run_frame(const std::vector<std::string>& args);
int run_video(const std::vector<std::string>& args);

}  // namespace intro
