#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gl.h"

namespace intro {

// Sizes the intro's host fixes at build time.
constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 720;
constexpr int kSampleRate = 44100;
constexpr std::size_t kAudioFrames = 5512500;             // 125 s
constexpr std::size_t kAudioBytes = kAudioFrames * 8;     // two floats per frame

struct EngineOptions {
  // Program text; empty means the intro's own shader_source.
  std::string source;
  // The window stand-in's size, which is also the viewport of both passes.
  int viewport_width = kFrameWidth;
  int viewport_height = kFrameHeight;
  // Storage allocated for the audio buffer and the range of it bound at
  // index 0. The intro binds all of its 44,100,000 bytes; tests bind a range
  // of a larger buffer to see writes that would go past the end.
  std::size_t audio_storage_bytes = kAudioBytes;
  std::size_t audio_bind_offset = 0;
  std::size_t audio_bind_bytes = kAudioBytes;
};

// The intro's GL objects and frame sequence without a window or a sound
// device: the same storage buffer (persistent, coherent, mapped), the same two
// RGBA16 targets and framebuffer, and an RGBA8 off-screen stand-in for the
// window. frame() issues exactly the passes the intro issues, with the sample
// position supplied by the caller. Needs a current GlContext.
class IntroEngine {
 public:
  explicit IntroEngine(const EngineOptions& options = EngineOptions());
  ~IntroEngine();
  IntroEngine(const IntroEngine&) = delete;
  IntroEngine& operator=(const IntroEngine&) = delete;

  // Pass 0 into target [n & 1] reading [(n + 1) & 1], then pass 1 into the
  // window stand-in; n then advances. Pass 0 first makes this engine's
  // program and audio buffer current, so several engines can share a context.
  void frame(std::int32_t position);
  // The two halves of frame(), for timing each one; scene_pass + post_pass is
  // frame() exactly.
  void scene_pass(std::int32_t position);
  void post_pass(std::int32_t position);

  int frame_counter() const { return frame_counter_; }
  void finish() const { glFinish(); }

  // Read-backs. Images are rows bottom first, as GL stores them.
  std::vector<std::uint8_t> read_window() const;                // RGBA8
  std::vector<std::uint16_t> read_target(int index) const;      // RGBA16 of targets[index]
  std::vector<std::uint16_t> read_stored() const;               // the last scene pass's target
  // The mapped audio buffer over the bound range, two floats per frame; waits
  // for the GPU first.
  const float* audio() const;
  std::size_t audio_frames() const { return options_.audio_bind_bytes / 8; }
  // Every float of the whole storage (bound range or not), for tests that
  // look past the bound range.
  const float* audio_storage() const;
  // Sets every float of the storage to `value`.
  void fill_audio(float value);
  // Sets every texel of both targets to `rgba` (each 0 to 65535).
  void fill_targets(const std::uint16_t rgba[4]);

  GLuint program() const { return program_; }

  // For a program that shows the intro in a real window: the window
  // stand-in's framebuffer (to copy the picture from), a new window size
  // (the stand-in is reallocated and becomes the viewport of both passes, as
  // a resized window does for the intro; the targets stay 1280x720), and a
  // new program in place of the current one, which is deleted.
  GLuint window_framebuffer() const { return window_framebuffer_; }
  int window_width() const { return options_.viewport_width; }
  int window_height() const { return options_.viewport_height; }
  void resize_window(int width, int height);
  void replace_program(GLuint program);

 private:
  EngineOptions options_;
  GLuint program_ = 0;
  GLuint audio_buffer_ = 0;
  void* audio_mapping_ = nullptr;
  GLuint targets_[2] = {0, 0};
  GLuint framebuffer_ = 0;
  GLuint window_texture_ = 0;
  GLuint window_framebuffer_ = 0;
  int frame_counter_ = 0;
};

}  // namespace intro
