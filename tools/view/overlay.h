#pragma once
// The viewer's overlay (Dear ImGui): a timeline of cuts and song sections
// with the play head, and a status line. It draws onto the window after the
// intro's picture has been copied there, never into the intro's targets.
#include <SDL.h>

#include <string>

namespace view {

struct OverlayView {
  double seconds = 0;
  int cut = -1, shot = -1;
  bool paused = false, loop = false;
  double fps = 0;
  bool timer_queries = false;
  double scene_ms = -1, post_ms = -1;   // negative: not measured yet
  std::string renderer;
  int generation = 1;
  std::string watch;                    // the watched folder, or empty
  std::string notice;                   // a one-line remark (no sound, reloading...)
  std::string error;                    // the last compile error, translated
};

int overlay_init(SDL_Window* window, SDL_GLContext context);
void overlay_shutdown();
// Returns 1 when ImGui takes the event for itself (a click on the timeline).
int overlay_event(const SDL_Event& event);
// Draws into the current framebuffer. Returns 1 and sets `seek_seconds`
// while the timeline is clicked or dragged.
int overlay_draw(const OverlayView& view, double& seek_seconds);

}  // namespace view
