// One GL context per film test binary.
#include "film_gl.h"

FILM_TEST_GL_ENVIRONMENT;
