#include "kernel.h"

#include <stdexcept>

#include "shader_build.h"

namespace intro {

Kernel::Kernel(const std::string& source) : program_(compile_fragment_program(source)) {}

Kernel::~Kernel() { glDeleteProgram(program_); }

std::vector<float> Kernel::run(int width, int height, const std::function<void()>& set_uniforms) {
  GLuint texture = 0, framebuffer = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, width, height);
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture, 0);
  const GLenum draw_buffer = GL_COLOR_ATTACHMENT0;
  glDrawBuffers(1, &draw_buffer);

  GLint previous_viewport[4];
  glGetIntegerv(GL_VIEWPORT, previous_viewport);
  glViewport(0, 0, width, height);
  const float zero[4] = {0, 0, 0, 0};
  glClearBufferfv(GL_COLOR, 0, zero);

  glUseProgram(program_);
  if (set_uniforms) set_uniforms();
  glRects(-1, -1, 1, 1);

  std::vector<float> texels(static_cast<std::size_t>(width) * height * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, texels.data());
  const GLenum error = glGetError();

  glViewport(previous_viewport[0], previous_viewport[1], previous_viewport[2], previous_viewport[3]);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteTextures(1, &texture);
  if (error != GL_NO_ERROR) throw std::runtime_error("GL error " + std::to_string(error) + " while running a kernel");
  return texels;
}

StorageBuffer::StorageBuffer(std::size_t floats, float fill) : floats_(floats) {
  glGenBuffers(1, &buffer_);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer_);
  glBufferStorage(GL_SHADER_STORAGE_BUFFER, static_cast<GLsizeiptr>(floats * sizeof(float)), nullptr,
                  GL_MAP_READ_BIT | GL_DYNAMIC_STORAGE_BIT);
  glClearBufferData(GL_SHADER_STORAGE_BUFFER, GL_R32F, GL_RED, GL_FLOAT, &fill);
  bind(0);
}

StorageBuffer::~StorageBuffer() { glDeleteBuffers(1, &buffer_); }

void StorageBuffer::bind(GLuint index) const { glBindBufferBase(GL_SHADER_STORAGE_BUFFER, index, buffer_); }

std::vector<float> StorageBuffer::read(std::size_t first, std::size_t count) const {
  if (first + count > floats_) throw std::out_of_range("read past the end of a storage buffer");
  glMemoryBarrier(GL_BUFFER_UPDATE_BARRIER_BIT);
  std::vector<float> out(count);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, buffer_);
  glGetBufferSubData(GL_SHADER_STORAGE_BUFFER, static_cast<GLintptr>(first * sizeof(float)),
                     static_cast<GLsizeiptr>(count * sizeof(float)), out.data());
  return out;
}

}  // namespace intro
