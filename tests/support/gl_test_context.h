#pragma once
#include "gl_context.h"

namespace intro::test {

// The one headless GL context of a test binary, made on first use and kept
// current until the process ends. Fails the calling test with the runtime's
// own message when no context can be had.
GlContext& gl_context();

}  // namespace intro::test
