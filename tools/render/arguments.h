#pragma once
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace intro {

// A bad command line: the message is shown to the user as it stands.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// True when the command line asks for help (--help or -h anywhere in it):
// the command then prints its usage on standard output and exits 0.
bool help_requested(const std::vector<std::string>& args);

// "--name VALUE" options of one command. Every option must be declared; an
// unknown one, a missing value or a repeated option is a UsageError.
class Arguments {
 public:
  Arguments(const std::vector<std::string>& args, const std::vector<std::string>& known_options);

  bool has(const std::string& name) const { return values_.count(name) != 0; }
  std::string text(const std::string& name) const;                       // required
  std::optional<std::string> optional_text(const std::string& name) const;
  // A finite number; throws UsageError naming the option otherwise.
  double number(const std::string& name, double fallback) const;
  // A whole number within [min, max].
  long whole(const std::string& name, long fallback, long min, long max) const;

 private:
  std::map<std::string, std::string> values_;
};

}  // namespace intro
