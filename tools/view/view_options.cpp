#include "view_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace view {
namespace {

int read_number(const std::string& name, const std::string& text, double& value, std::string& error) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value)) {
    error = name + " needs a number, not '" + text + "'";
    return 0;
  }
  return 1;
}

int read_whole(const std::string& name, const std::string& text, long min, long max, long& value,
               std::string& error) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE) {
    error = name + " needs a whole number, not '" + text + "'";
    return 0;
  }
  if (value < min || value > max) {
    error = name + " must be between " + std::to_string(min) + " and " + std::to_string(max);
    return 0;
  }
  return 1;
}

int read_size(const std::string& text, int& width, int& height, std::string& error) {
  const std::size_t x = text.find('x');
  long w = 0, h = 0;
  std::string ignored;
  if (x == std::string::npos || !read_whole("--size", text.substr(0, x), 16, 8192, w, ignored) ||
      !read_whole("--size", text.substr(x + 1), 16, 8192, h, ignored)) {
    error = "--size needs WIDTHxHEIGHT with each between 16 and 8192, not '" + text + "'";
    return 0;
  }
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return 1;
}

}  // namespace

int parse_view_options(const std::vector<std::string>& args, ViewOptions& o, std::string& error) {
  std::vector<std::string> seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    for (const std::string& s : seen) {
      if (s == name) {
        error = name + " given twice";
        return 0;
      }
    }
    seen.push_back(name);
    const bool takes_value = name == "--time" || name == "--screenshot" || name == "--overlay-screenshot" ||
                             name == "--frames" || name == "--warmup" || name == "--watch" || name == "--size";
    std::string value;
    if (takes_value) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return 0;
      }
      value = args[++i];
    }
    if (name == "--help" || name == "-h") {
      o.help = true;
    } else if (name == "--paused") {
      o.paused = true;
    } else if (name == "--log-state") {
      o.log_state = true;
    } else if (name == "--no-overlay") {
      o.overlay = false;
    } else if (name == "--fullscreen") {
      o.fullscreen = true;
    } else if (name == "--time") {
      if (!read_number(name, value, o.time, error)) return 0;
      if (o.time < 0.0 || o.time > 125.0) {
        error = "--time must be between 0 and 125 seconds, not " + value;
        return 0;
      }
    } else if (name == "--screenshot" || name == "--overlay-screenshot") {
      if (value.empty()) {
        error = name + " needs a file name";
        return 0;
      }
      (name == "--screenshot" ? o.screenshot : o.overlay_shot) = value;
    } else if (name == "--frames") {
      if (!read_whole(name, value, 1, 100000000, o.frames, error)) return 0;
    } else if (name == "--warmup") {
      long w = 0;
      if (!read_whole(name, value, 0, 600, w, error)) return 0;
      o.warmup = static_cast<int>(w);
    } else if (name == "--watch") {
      if (value.empty()) {
        error = "--watch needs a folder";
        return 0;
      }
      o.watch = value;
    } else if (name == "--size") {
      if (!read_size(value, o.width, o.height, error)) return 0;
    } else if (name.rfind("-", 0) == 0) {
      error = "unknown option " + name;
      return 0;
    } else {
      error = "unexpected argument '" + name + "'";
      return 0;
    }
  }
  if (!o.screenshot.empty() && o.screenshot == o.overlay_shot) {
    error = "--screenshot and --overlay-screenshot name the same file";
    return 0;
  }
  return 1;
}

const char* view_help_text() {
  return R"(usage: intro-view [OPTIONS]

Plays the intro in a window with its sound: the intro's own shader and
two-pass frame, the song rendered once at start-up and played from memory.

options:
  --time S                 start at S seconds (0 to 125)
  --paused                 start paused
  --watch DIR              read the shader pieces from DIR (the source tree's
                           shader/) and reload them when a file changes
  --warmup N               frames drawn before a paused picture so that the
                           frame blend settles (default 16, as intro-render)
  --screenshot FILE.png    write the window's picture (without overlay) after
                           the first frame, then quit unless --frames is given
  --overlay-screenshot FILE.png   the same with the overlay
  --frames N               quit after N frames
  --size WxH               window size (default 1280x720); as in the intro the
                           passes' viewport follows the window
  --fullscreen             start full screen
  --no-overlay             start with the overlay hidden
  --log-state              print one line of state per frame on standard output
  --help                   this text

keys:
  Space          pause / play
  Left, Right    -1 s / +1 s (with Shift 10 s)
  Page Up        previous cut (the start of the current cut first)
  Page Down      next cut
  Home           start
  , .            one frame (1/60 s) back / forward while paused
  L              loop the current cut
  F              full screen
  H              overlay on / off
  Escape, Q      quit
  mouse          click or drag on the timeline to seek
)";
}

}  // namespace view
