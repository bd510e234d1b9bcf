#pragma once
// The command line of intro-view.
#include <optional>
#include <string>
#include <vector>

namespace view {

struct ViewOptions {
  double time = 0.0;                 // --time S
  bool paused = false;               // --paused
  std::string screenshot;            // --screenshot FILE.png: the picture without overlay
  std::string overlay_shot;          // --overlay-screenshot FILE.png: with the overlay
  long frames = 0;                   // --frames N: quit after N frames (0: run until quit)
  int warmup = 16;                   // --warmup N: frames drawn before a paused picture
  std::string watch;                 // --watch DIR
  bool log_state = false;            // --log-state
  int width = 1280, height = 720;    // --size WxH
  bool overlay = true;               // --no-overlay
  bool fullscreen = false;           // --fullscreen
  bool help = false;                 // --help
};

// Fills `options` from argv; returns 0 with `error` naming what is wrong.
int parse_view_options(const std::vector<std::string>& args, ViewOptions& options, std::string& error);
// Usage, options and the key table.
const char* view_help_text();

}  // namespace view
