#pragma once
#include <string>

#include "gl.h"

namespace intro {

// Compiles one fragment-only separable program in a single step, as the intro
// does. Throws std::runtime_error carrying the GL's log if it does not link.
GLuint compile_fragment_program(const std::string& source);

// Every shader piece but the entry point, in build order, followed by
// `entry_point`: a test kernel or export program that uses the real code.
std::string kernel_source(const std::string& entry_point);

}  // namespace intro
