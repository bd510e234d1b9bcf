// The shader text of the link-failure test build of the intro: it calls a
// function that does not exist, so compiling (and with it linking) the
// program fails and the intro shows its two shader boxes, then runs on.
#include "shader_source.h"

const char* const shader_source =
    "#version 430\n"
    "layout(location = 0) out vec4 f;\n"
    "void main() { f = no_such_function(); }\n";
