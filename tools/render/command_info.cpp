#include <cstdio>

#include "arguments.h"
#include "commands.h"
#include "gl_context.h"

namespace intro {

int run_info(const std::vector<std::string>& args) {
  Arguments arguments(args, {});
  auto gl = GlContext::create();
  const GlInfo& info = gl->info();
  std::printf("platform:    %s\nvendor:      %s\nrenderer:    %s\nversion:     %s\nGLSL:        %s\ntimer query: %s\n",
              info.platform.c_str(), info.vendor.c_str(), info.renderer.c_str(), info.version.c_str(),
              info.glsl_version.c_str(), info.timer_query ? "yes" : "no");
  return 0;
}

}  // namespace intro
