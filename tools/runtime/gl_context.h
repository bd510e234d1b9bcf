#pragma once
#include <memory>
#include <string>

namespace intro {

// What the context turned out to be, for messages and benchmark headers.
struct GlInfo {
  std::string platform;      // "device", "surfaceless" or "default"
  std::string vendor;
  std::string renderer;
  std::string version;
  std::string glsl_version;
  bool compatibility = false;
  bool timer_query = false;  // GL_TIME_ELAPSED queries are usable
};

// What the current context lacks for running the intro (OpenGL 4.4, GLSL
// 4.30, a compatibility profile), as a sentence; empty when it has it all.
std::string missing_intro_features();

// A headless OpenGL context made current on the calling thread through EGL.
// It looks for a hardware GPU through EGL's device platform first, then falls
// back to Mesa's surfaceless platform (llvmpipe) and the default display.
// INTRO_EGL_PLATFORM=device|surfaceless|default forces one of them.
class GlContext {
 public:
  // Throws std::runtime_error naming what is missing (EGL display, OpenGL
  // API, version, profile, extension) when no suitable context can be had.
  static std::unique_ptr<GlContext> create();
  ~GlContext();
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;

  const GlInfo& info() const { return info_; }

 private:
  GlContext() = default;
  void* display_ = nullptr;
  void* context_ = nullptr;
  GlInfo info_;
};

}  // namespace intro
