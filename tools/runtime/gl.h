#pragma once
// One place that pulls in the GL declarations for the Linux tools: core and
// compatibility entry points are linked directly from the GL library.
#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/gl.h>
#include <GL/glext.h>
