#pragma once
// The viewer's window and its OpenGL context through SDL: an OpenGL 4.4
// compatibility-profile context, the kind the intro's shader and glRects
// need.
#include <SDL.h>

#include <string>

namespace view {

struct ViewWindow {
  SDL_Window* window = nullptr;
  SDL_GLContext context = nullptr;
  std::string renderer;   // GL_RENDERER
  std::string version;    // GL_VERSION
  bool timer_query = false;
};

// Returns 0 with `error` saying what is missing (a display, an OpenGL 4.4
// compatibility context and what the driver offers instead).
int view_window_init(ViewWindow& w, int width, int height, bool fullscreen, std::string& error);
void view_window_shutdown(ViewWindow& w);

void view_window_drawable_size(const ViewWindow& w, int& width, int& height);
// Full screen at the intro's 1280x720 mode where the display can change
// mode, otherwise on the desktop's mode.
void view_window_toggle_fullscreen(ViewWindow& w);

}  // namespace view
