#ifndef GL_ENTRY_H
#define GL_ENTRY_H

// The OpenGL names the intro needs beyond GL 1.1: constants, entry-point
// types and the table of entry points resolved once at start-up.

#include <windows.h>
#include <GL/gl.h>
#include <cstddef>

// Constants (values as the GL registry assigns them).
#ifndef GL_SHADER_STORAGE_BUFFER
#define GL_SHADER_STORAGE_BUFFER 0x90D2
#endif
#ifndef GL_MAP_READ_BIT
#define GL_MAP_READ_BIT 0x0001
#endif
#ifndef GL_MAP_PERSISTENT_BIT
#define GL_MAP_PERSISTENT_BIT 0x0040
#endif
#ifndef GL_MAP_COHERENT_BIT
#define GL_MAP_COHERENT_BIT 0x0080
#endif
#ifndef GL_FRAGMENT_SHADER
#define GL_FRAGMENT_SHADER 0x8B30
#endif
#ifndef GL_LINK_STATUS
#define GL_LINK_STATUS 0x8B82
#endif
#ifndef GL_RGBA16
#define GL_RGBA16 0x805B
#endif
#ifndef GL_FRAMEBUFFER
#define GL_FRAMEBUFFER 0x8D40
#endif
#ifndef GL_COLOR_ATTACHMENT0
#define GL_COLOR_ATTACHMENT0 0x8CE0
#endif

// Entry-point types. Pointer-sized GL integers are ptrdiff_t, GL text is char.
typedef GLuint (APIENTRY* gl_create_shader_programv_fn)(GLenum type, GLsizei count, const char* const* strings);
typedef void (APIENTRY* gl_gen_program_pipelines_fn)(GLsizei n, GLuint* pipelines);
typedef void (APIENTRY* gl_bind_program_pipeline_fn)(GLuint pipeline);
typedef void (APIENTRY* gl_use_program_stages_fn)(GLuint pipeline, GLbitfield stages, GLuint program);
typedef void (APIENTRY* gl_program_uniform1f_fn)(GLuint program, GLint location, GLfloat value);
typedef void (APIENTRY* gl_gen_framebuffers_fn)(GLsizei n, GLuint* framebuffers);
typedef void (APIENTRY* gl_bind_framebuffer_fn)(GLenum target, GLuint framebuffer);
typedef void (APIENTRY* gl_tex_storage_2d_fn)(GLenum target, GLsizei levels, GLenum internal_format, GLsizei width, GLsizei height);
typedef void (APIENTRY* gl_draw_buffers_fn)(GLsizei n, const GLenum* buffers);
typedef void (APIENTRY* gl_framebuffer_texture_fn)(GLenum target, GLenum attachment, GLuint texture, GLint level);
typedef void (APIENTRY* gl_get_programiv_fn)(GLuint program, GLenum name, GLint* params);
typedef void (APIENTRY* gl_get_program_info_log_fn)(GLuint program, GLsizei size, GLsizei* length, char* log);
typedef void (APIENTRY* gl_get_shader_info_log_fn)(GLuint shader, GLsizei size, GLsizei* length, char* log);

// Looked up by name where they are used.
typedef void (APIENTRY* gl_gen_buffers_fn)(GLsizei n, GLuint* buffers);
typedef void (APIENTRY* gl_bind_buffer_fn)(GLenum target, GLuint buffer);
typedef void (APIENTRY* gl_buffer_storage_fn)(GLenum target, std::ptrdiff_t size, const void* data, GLbitfield flags);
typedef void (APIENTRY* gl_bind_buffer_base_fn)(GLenum target, GLuint index, GLuint buffer);
typedef void* (APIENTRY* gl_map_buffer_range_fn)(GLenum target, std::ptrdiff_t offset, std::ptrdiff_t length, GLbitfield access);
typedef void (APIENTRY* gl_use_program_fn)(GLuint program);
typedef void (APIENTRY* gl_uniform1i_fn)(GLint location, GLint value);

// Positions in the table; gl_entry_names lists the names in the same order.
enum GlEntryIndex {
    GL_ENTRY_CREATE_SHADER_PROGRAMV = 0,
    GL_ENTRY_GEN_PROGRAM_PIPELINES = 1,
    GL_ENTRY_BIND_PROGRAM_PIPELINE = 2,
    GL_ENTRY_USE_PROGRAM_STAGES = 3,
    GL_ENTRY_PROGRAM_UNIFORM1F = 4,
    GL_ENTRY_GEN_FRAMEBUFFERS = 5,
    GL_ENTRY_BIND_FRAMEBUFFER = 6,
    GL_ENTRY_TEX_STORAGE_2D = 7,
    GL_ENTRY_DRAW_BUFFERS = 8,
    GL_ENTRY_FRAMEBUFFER_TEXTURE = 9,
    GL_ENTRY_GET_PROGRAMIV = 10,
    GL_ENTRY_GET_PROGRAM_INFO_LOG = 11,
    GL_ENTRY_GET_SHADER_INFO_LOG = 12,
    GL_ENTRY_COUNT = 13
};

extern const char* const gl_entry_names[GL_ENTRY_COUNT];

struct GlEntryTable {
    PROC entries[GL_ENTRY_COUNT];
};

extern GlEntryTable gl_entry_table;

// Typed access to a table entry.
#define GL_ENTRY(index, type) (reinterpret_cast<type>(gl_entry_table.entries[index]))

// How names are resolved: wglGetProcAddress in the program. Tests point this
// at their own function to make chosen names go missing.
typedef PROC (WINAPI* gl_lookup_fn)(LPCSTR name);
#if INTRO_RELEASE
// The release build runs no static initialisers (it has no C runtime), so it
// calls wglGetProcAddress directly instead of through an initialised pointer.
#define gl_lookup wglGetProcAddress
#else
extern gl_lookup_fn gl_lookup;
#endif

// Fills gl_entry_table from gl_entry_names in order. Returns 1 when all
// resolved, 0 at the first name that resolves to null (later names are not
// tried).
int load_gl_entry_points();

#endif
