#include "intro_engine.h"

#include <stdexcept>

#include "shader_build.h"
#include "shader_source.h"

namespace intro {
namespace {

// Storage flags of the intro's audio buffer: read, persistent, coherent.
constexpr GLbitfield kAudioFlags = GL_MAP_READ_BIT | GL_MAP_PERSISTENT_BIT | GL_MAP_COHERENT_BIT;

}  // namespace

IntroEngine::IntroEngine(const EngineOptions& options) : options_(options) {
  if (options_.audio_bind_offset + options_.audio_bind_bytes > options_.audio_storage_bytes) {
    throw std::invalid_argument("audio range lies outside its storage");
  }
  program_ = compile_fragment_program(options_.source.empty() ? std::string(shader_source) : options_.source);
  glUseProgram(program_);

  glGenBuffers(1, &audio_buffer_);
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, audio_buffer_);
  glBufferStorage(GL_SHADER_STORAGE_BUFFER, static_cast<GLsizeiptr>(options_.audio_storage_bytes), nullptr, kAudioFlags);
  glBindBufferRange(GL_SHADER_STORAGE_BUFFER, 0, audio_buffer_, static_cast<GLintptr>(options_.audio_bind_offset),
                    static_cast<GLsizeiptr>(options_.audio_bind_bytes));
  audio_mapping_ = glMapBufferRange(GL_SHADER_STORAGE_BUFFER, 0, static_cast<GLsizeiptr>(options_.audio_storage_bytes), kAudioFlags);
  if (audio_mapping_ == nullptr) throw std::runtime_error("could not map the audio buffer persistently");
  // The intro leaves its buffer and targets undefined at start; zero here so
  // that renders are reproducible.
  fill_audio(0.0f);

  glGenTextures(2, targets_);
  for (GLuint t : targets_) {
    glBindTexture(GL_TEXTURE_2D, t);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA16, kFrameWidth, kFrameHeight);
  }
  const std::uint16_t zero[4] = {0, 0, 0, 0};
  fill_targets(zero);

  glGenTextures(1, &window_texture_);
  glBindTexture(GL_TEXTURE_2D, window_texture_);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, options_.viewport_width, options_.viewport_height);
  glGenFramebuffers(1, &window_framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, window_framebuffer_);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, window_texture_, 0);

  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  const GLenum draw_buffers[1] = {GL_COLOR_ATTACHMENT0};
  glDrawBuffers(1, draw_buffers);
  glBindTexture(GL_TEXTURE_2D, targets_[1]);

  glViewport(0, 0, options_.viewport_width, options_.viewport_height);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    throw std::runtime_error("GL error 0x" + std::to_string(error) + " while creating the intro's objects");
  }
}

IntroEngine::~IntroEngine() {
  glUseProgram(0);
  glDeleteFramebuffers(1, &framebuffer_);
  glDeleteFramebuffers(1, &window_framebuffer_);
  glDeleteTextures(1, &window_texture_);
  glDeleteTextures(2, targets_);
  if (audio_buffer_ != 0) {
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, audio_buffer_);
    glUnmapBuffer(GL_SHADER_STORAGE_BUFFER);
    glDeleteBuffers(1, &audio_buffer_);
  }
  glDeleteProgram(program_);
}

void IntroEngine::scene_pass(std::int32_t position) {
  // The intro has one program and one buffer for the whole run; engines
  // that share a context take turns, so each frame makes its own current.
  glUseProgram(program_);
  glBindBufferRange(GL_SHADER_STORAGE_BUFFER, 0, audio_buffer_, static_cast<GLintptr>(options_.audio_bind_offset),
                    static_cast<GLsizeiptr>(options_.audio_bind_bytes));
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, targets_[frame_counter_ & 1], 0);
  glBindTexture(GL_TEXTURE_2D, targets_[(frame_counter_ + 1) & 1]);
  glUniform1i(0, 0);
  glUniform1i(1, position);
  glRects(-1, -1, 1, 1);
}

void IntroEngine::post_pass(std::int32_t position) {
  // The window of the intro is the default framebuffer; here it is the
  // stand-in's framebuffer.
  glBindFramebuffer(GL_FRAMEBUFFER, window_framebuffer_);
  glBindTexture(GL_TEXTURE_2D, targets_[frame_counter_ & 1]);
  glUniform1i(0, 1);
  glUniform1i(1, position);  // unchanged from pass 0 in the intro's own frame
  glRects(-1, -1, 1, 1);
  frame_counter_ += 1;
}

void IntroEngine::frame(std::int32_t position) {
  scene_pass(position);
  post_pass(position);
}

void IntroEngine::resize_window(int width, int height) {
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
  glBindFramebuffer(GL_FRAMEBUFFER, window_framebuffer_);
  glFramebufferTexture(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, texture, 0);
  glDeleteTextures(1, &window_texture_);
  window_texture_ = texture;
  options_.viewport_width = width;
  options_.viewport_height = height;
  glViewport(0, 0, width, height);
}

void IntroEngine::replace_program(GLuint program) {
  glUseProgram(program);
  glDeleteProgram(program_);
  program_ = program;
}

std::vector<std::uint8_t> IntroEngine::read_window() const {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(options_.viewport_width) * options_.viewport_height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, window_framebuffer_);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, options_.viewport_width, options_.viewport_height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

std::vector<std::uint16_t> IntroEngine::read_target(int index) const {
  std::vector<std::uint16_t> texels(static_cast<std::size_t>(kFrameWidth) * kFrameHeight * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 2);
  glGetTextureImage(targets_[index & 1], 0, GL_RGBA, GL_UNSIGNED_SHORT,
                    static_cast<GLsizei>(texels.size() * sizeof(std::uint16_t)), texels.data());
  return texels;
}

std::vector<std::uint16_t> IntroEngine::read_stored() const {
  return read_target((frame_counter_ + 1) & 1);  // (n - 1) & 1 for the last frame n - 1
}

const float* IntroEngine::audio() const {
  glFinish();
  return static_cast<const float*>(audio_mapping_) + options_.audio_bind_offset / sizeof(float);
}

const float* IntroEngine::audio_storage() const {
  glFinish();
  return static_cast<const float*>(audio_mapping_);
}

void IntroEngine::fill_audio(float value) {
  glBindBuffer(GL_SHADER_STORAGE_BUFFER, audio_buffer_);
  glClearBufferData(GL_SHADER_STORAGE_BUFFER, GL_R32F, GL_RED, GL_FLOAT, &value);
  glFinish();
}

void IntroEngine::fill_targets(const std::uint16_t rgba[4]) {
  for (GLuint t : targets_) glClearTexImage(t, 0, GL_RGBA, GL_UNSIGNED_SHORT, rgba);
}

}  // namespace intro
