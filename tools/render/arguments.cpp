#include "arguments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace intro {

bool help_requested(const std::vector<std::string>& args) {
  return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<std::string>& known_options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name.rfind("--", 0) != 0) throw UsageError("unexpected argument '" + name + "'");
    if (std::find(known_options.begin(), known_options.end(), name) == known_options.end()) {
      throw UsageError("unknown option " + name);
    }
    if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
    if (values_.count(name)) throw UsageError(name + " given twice");
    values_[name] = args[++i];
  }
}

std::string Arguments::text(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) throw UsageError(name + " is required");
  if (it->second.empty()) throw UsageError(name + " must not be empty");
  return it->second;
}

std::optional<std::string> Arguments::optional_text(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

double Arguments::number(const std::string& name, double fallback) const {
  auto it = values_.find(name);
  if (it == values_.end()) return fallback;
  const char* begin = it->second.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  if (it->second.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
    throw UsageError(name + " needs a number, not '" + it->second + "'");
  }
  return value;
}

long Arguments::whole(const std::string& name, long fallback, long min, long max) const {
  auto it = values_.find(name);
  if (it == values_.end()) return fallback;
  const char* begin = it->second.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(begin, &end, 10);
  if (it->second.empty() || *end != '\0' || errno == ERANGE) {
    throw UsageError(name + " needs a whole number, not '" + it->second + "'");
  }
  if (value < min || value > max) {
    throw UsageError(name + " must be between " + std::to_string(min) + " and " + std::to_string(max));
  }
  return value;
}

}  // namespace intro
