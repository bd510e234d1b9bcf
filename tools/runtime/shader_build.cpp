#include "shader_build.h"

#include <cstring>
#include <stdexcept>

#include "shader_pieces.h"

namespace intro {

GLuint compile_fragment_program(const std::string& source) {
  const char* text = source.c_str();
  GLuint program = glCreateShaderProgramv(GL_FRAGMENT_SHADER, 1, &text);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (program == 0 || !linked) {
    std::string log(8192, '\0');
    GLsizei length = 0;
    if (program != 0) glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), &length, log.data());
    log.resize(static_cast<std::size_t>(length));
    if (program != 0) glDeleteProgram(program);
    throw std::runtime_error("fragment program did not link:\n" + log);
  }
  return program;
}

std::string kernel_source(const std::string& entry_point) {
  std::string out;
  for (int i = 0; i < shader_piece_count; ++i) {
    if (std::strcmp(shader_pieces[i].name, "main.glsl") == 0) continue;
    out += shader_pieces[i].text;
  }
  out += entry_point;
  return out;
}

}  // namespace intro
