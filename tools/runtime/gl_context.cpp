#include "gl_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "gl.h"

namespace intro {
namespace {

bool has_extension(const char* list, const char* name) {
  if (list == nullptr) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

struct Candidate {
  std::string platform;
  EGLDisplay display;
};

// Displays to try, best first: hardware devices, then Mesa surfaceless, then
// the default display.
std::vector<Candidate> candidate_displays(const std::string& forced, std::ostringstream& notes) {
  std::vector<Candidate> out;
  const char* client_ext = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));

  if (forced.empty() || forced == "device") {
    auto query_devices =
        reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    auto query_device_string = reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(
        eglGetProcAddress("eglQueryDeviceStringEXT"));
    if (get_platform_display && query_devices && has_extension(client_ext, "EGL_EXT_platform_device")) {
      EGLDeviceEXT devices[16];
      EGLint count = 0;
      if (query_devices(16, devices, &count)) {
        for (EGLint i = 0; i < count; ++i) {
          const char* dev_ext = query_device_string ? query_device_string(devices[i], EGL_EXTENSIONS) : nullptr;
          // Software devices are reached through the surfaceless platform below.
          if (forced.empty() && has_extension(dev_ext, "EGL_MESA_device_software")) continue;
          EGLDisplay d = get_platform_display(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
          if (d != EGL_NO_DISPLAY) out.push_back({"device", d});
        }
      }
    } else {
      notes << "  device platform: EGL_EXT_platform_device not offered\n";
    }
  }
  if (forced.empty() || forced == "surfaceless") {
    if (get_platform_display && has_extension(client_ext, "EGL_MESA_platform_surfaceless")) {
      EGLDisplay d = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
      if (d != EGL_NO_DISPLAY) out.push_back({"surfaceless", d});
    } else {
      notes << "  surfaceless platform: EGL_MESA_platform_surfaceless not offered\n";
    }
  }
  if (forced.empty() || forced == "default") {
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (d != EGL_NO_DISPLAY) out.push_back({"default", d});
  }
  return out;
}

int version_number(const char* text) {
  int major = 0, minor = 0;
  if (text == nullptr) return 0;
  // GL_VERSION may start with "OpenGL ES"; skip to the first digit.
  while (*text && (*text < '0' || *text > '9')) ++text;
  std::sscanf(text, "%d.%d", &major, &minor);
  return major * 100 + (minor < 10 ? minor * 10 : minor);
}

}  // namespace

std::string missing_intro_features() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const char* glsl = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
  std::ostringstream lack;
  const int gl = version_number(version);
  if (gl < 440) lack << "OpenGL 4.4 (glBufferStorage with persistent coherent mapping), have " << (version ? version : "?") << "; ";
  if (version_number(glsl) < 430) lack << "GLSL 4.30, have " << (glsl ? glsl : "?") << "; ";
  GLint mask = 0;
  glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
  if (!(mask & GL_CONTEXT_COMPATIBILITY_PROFILE_BIT)) lack << "a compatibility profile (glRects with fixed-function vertex processing); ";
  return lack.str();
}

std::unique_ptr<GlContext> GlContext::create() {
  const char* forced_env = std::getenv("INTRO_EGL_PLATFORM");
  const std::string forced = forced_env ? forced_env : "";
  if (!forced.empty() && forced != "device" && forced != "surfaceless" && forced != "default") {
    throw std::runtime_error("INTRO_EGL_PLATFORM must be device, surfaceless or default, not '" + forced + "'");
  }

  std::ostringstream notes;
  for (const Candidate& c : candidate_displays(forced, notes)) {
    EGLint major = 0, minor = 0;
    if (!eglInitialize(c.display, &major, &minor)) {
      notes << "  " << c.platform << ": eglInitialize failed (0x" << std::hex << eglGetError() << std::dec << ")\n";
      continue;
    }
    const char* ext = eglQueryString(c.display, EGL_EXTENSIONS);
    if (!eglBindAPI(EGL_OPENGL_API)) {
      notes << "  " << c.platform << ": the OpenGL API (not ES) is not offered\n";
      eglTerminate(c.display);
      continue;
    }
    if (!has_extension(ext, "EGL_KHR_surfaceless_context")) {
      notes << "  " << c.platform << ": EGL_KHR_surfaceless_context missing\n";
      eglTerminate(c.display);
      continue;
    }
    EGLConfig config = nullptr;
    const EGLint config_attribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLint config_count = 0;
    if (!eglChooseConfig(c.display, config_attribs, &config, 1, &config_count) || config_count == 0) {
      if (!has_extension(ext, "EGL_KHR_no_config_context")) {
        notes << "  " << c.platform << ": no OpenGL-renderable EGL config\n";
        eglTerminate(c.display);
        continue;
      }
      config = EGL_NO_CONFIG_KHR;
    }
    const EGLint context_attribs[] = {
        EGL_CONTEXT_MAJOR_VERSION, 4,
        EGL_CONTEXT_MINOR_VERSION, 4,
        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
        EGL_NONE};
    EGLContext ctx = eglCreateContext(c.display, config, EGL_NO_CONTEXT, context_attribs);
    if (ctx == EGL_NO_CONTEXT) {
      notes << "  " << c.platform << ": no OpenGL 4.4 compatibility-profile context (eglCreateContext 0x"
            << std::hex << eglGetError() << std::dec << ")\n";
      eglTerminate(c.display);
      continue;
    }
    if (!eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
      notes << "  " << c.platform << ": eglMakeCurrent without a surface failed\n";
      eglDestroyContext(c.display, ctx);
      eglTerminate(c.display);
      continue;
    }
    const std::string lack = missing_intro_features();
    if (!lack.empty()) {
      notes << "  " << c.platform << " (" << reinterpret_cast<const char*>(glGetString(GL_RENDERER))
            << "): lacks " << lack << "\n";
      eglMakeCurrent(c.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(c.display, ctx);
      eglTerminate(c.display);
      continue;
    }

    std::unique_ptr<GlContext> gl(new GlContext());
    gl->display_ = c.display;
    gl->context_ = ctx;
    GlInfo& info = gl->info_;
    info.platform = c.platform;
    info.vendor = reinterpret_cast<const char*>(glGetString(GL_VENDOR));
    info.renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    info.version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    info.glsl_version = reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION));
    info.compatibility = true;
    GLint query_bits = 0;
    glGetQueryiv(GL_TIME_ELAPSED, GL_QUERY_COUNTER_BITS, &query_bits);
    info.timer_query = query_bits > 0;
    return gl;
  }
  std::string message = "no usable headless OpenGL context";
  if (!forced.empty()) message += " (INTRO_EGL_PLATFORM=" + forced + ")";
  message += ": the intro needs OpenGL 4.4 in a compatibility profile with GLSL 4.30 through EGL\n" + notes.str();
  if (notes.str().empty()) message += "  no EGL display could be opened at all\n";
  throw std::runtime_error(message);
}

GlContext::~GlContext() {
  if (display_ != nullptr) {
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_ != nullptr) eglDestroyContext(display_, context_);
    eglTerminate(display_);
  }
}

}  // namespace intro
