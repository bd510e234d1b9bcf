// intro-view: the intro live in a window, with its sound, for watching,
// scrubbing and editing it.
#include <cstdio>
#include <string>
#include <vector>

#include "view_options.h"
#include "viewer.h"

int main(int argc, char** argv) {
  view::ViewOptions options;
  std::string error;
  if (!view::parse_view_options(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "intro-view: %s\n(intro-view --help lists the options)\n", error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(view::view_help_text(), stdout);
    return 0;
  }
  return view::run_viewer(options);
}
