// One GL context per film test binary.
#include "gl_test_environment.h"

INTRO_TEST_GL_ENVIRONMENT;
