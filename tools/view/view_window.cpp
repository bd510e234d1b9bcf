#include "view_window.h"

#include "gl.h"
#include "gl_context.h"

namespace view {
namespace {

// What a plain context of this driver offers, for the message when the
// intro's kind of context cannot be had.
std::string offered_version(SDL_Window* window) {
  SDL_GL_ResetAttributes();
  SDL_GLContext plain = SDL_GL_CreateContext(window);
  if (plain == nullptr) return "";
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  std::string out = version ? version : "";
  SDL_GL_MakeCurrent(window, nullptr);
  SDL_GL_DeleteContext(plain);
  return out;
}

}  // namespace

int view_window_init(ViewWindow& w, int width, int height, bool fullscreen, std::string& error) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = std::string("no display: SDL could not open a video device (") + SDL_GetError() +
            "); run it from a desktop session or set DISPLAY";
    return 0;
  }
  // Without a display SDL may fall back to its off-screen driver, which
  // opens no window anyone can see; that is only wanted when asked for.
  const char* driver = SDL_GetCurrentVideoDriver();
  const std::string name = driver ? driver : "";
  if ((name == "offscreen" || name == "dummy") && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    error = "no display: SDL found only its " + name + " video driver; run it from a desktop session or set DISPLAY";
    return 0;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 4);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE;
  if (fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  w.window = SDL_CreateWindow("intro-view", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
  if (w.window == nullptr) {
    error = std::string("could not open a window with OpenGL (") + SDL_GetError() + ")";
    return 0;
  }
  w.context = SDL_GL_CreateContext(w.window);
  if (w.context == nullptr) {
    const std::string why = SDL_GetError();
    const std::string offered = offered_version(w.window);
    error = "the GL driver gives no OpenGL 4.4 compatibility-profile context (" + why + ")";
    if (!offered.empty()) error += "; it offers OpenGL " + offered;
    error += ". The intro needs OpenGL 4.4 with GLSL 4.30 in a compatibility profile";
    return 0;
  }
  const std::string lack = intro::missing_intro_features();
  if (!lack.empty()) {
    error = "the GL context lacks " + lack + "the intro needs OpenGL 4.4 with GLSL 4.30 in a compatibility profile";
    return 0;
  }
  w.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  w.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  GLint bits = 0;
  glGetQueryiv(GL_TIME_ELAPSED, GL_QUERY_COUNTER_BITS, &bits);
  w.timer_query = bits > 0 && glGetError() == GL_NO_ERROR;
  SDL_GL_SetSwapInterval(1);
  return 1;
}

void view_window_shutdown(ViewWindow& w) {
  if (w.context != nullptr) {
    SDL_GL_MakeCurrent(w.window, nullptr);
    SDL_GL_DeleteContext(w.context);
    w.context = nullptr;
  }
  if (w.window != nullptr) {
    SDL_DestroyWindow(w.window);
    w.window = nullptr;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void view_window_drawable_size(const ViewWindow& w, int& width, int& height) {
  SDL_GL_GetDrawableSize(w.window, &width, &height);
}

void view_window_toggle_fullscreen(ViewWindow& w) {
  const Uint32 now = SDL_GetWindowFlags(w.window);
  if (now & (SDL_WINDOW_FULLSCREEN | SDL_WINDOW_FULLSCREEN_DESKTOP)) {
    SDL_SetWindowFullscreen(w.window, 0);
    return;
  }
  SDL_DisplayMode mode{};
  mode.w = 1280;
  mode.h = 720;
  SDL_DisplayMode closest{};
  const int display = SDL_GetWindowDisplayIndex(w.window);
  if (SDL_GetClosestDisplayMode(display, &mode, &closest) != nullptr && closest.w == 1280 && closest.h == 720 &&
      SDL_SetWindowDisplayMode(w.window, &closest) == 0 && SDL_SetWindowFullscreen(w.window, SDL_WINDOW_FULLSCREEN) == 0) {
    return;
  }
  SDL_SetWindowFullscreen(w.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

}  // namespace view
