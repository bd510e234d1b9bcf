#include "gl_entry.h"

const char* const gl_entry_names[GL_ENTRY_COUNT] = {
    "glCreateShaderProgramv",
    "glGenProgramPipelines",
    "glBindProgramPipeline",
    "glUseProgramStages",
    "glProgramUniform1f",
    "glGenFramebuffers",
    "glBindFramebuffer",
    "glTexStorage2D",
    "glDrawBuffers",
    "glFramebufferTexture",
    "glGetProgramiv",
    "glGetProgramInfoLog",
    "glGetShaderInfoLog",
};

GlEntryTable gl_entry_table = {};

#if !INTRO_RELEASE
gl_lookup_fn gl_lookup = wglGetProcAddress;
#endif

int load_gl_entry_points()
{
    for (int index = 0; index < GL_ENTRY_COUNT; ++index) {
        PROC entry = gl_lookup(gl_entry_names[index]);
        gl_entry_table.entries[index] = entry;
        if (!entry) {
            return 0;
        }
    }
    return 1;
}
