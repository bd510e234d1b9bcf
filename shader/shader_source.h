#ifndef SHADER_SOURCE_H
#define SHADER_SOURCE_H

/* The whole intro shader as one NUL-terminated GLSL 4.30 source text, joined
   at build time from the pieces in this folder. */
extern const char* const shader_source;

#endif
