#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "gl.h"

namespace intro {

// A small fragment program run over a width x height grid of fragments into
// an RGBA32F target: the way tests and the exporters call shader functions
// one fragment per case. Build the source with kernel_source() so that it
// carries the real shader pieces.
class Kernel {
 public:
  explicit Kernel(const std::string& source);
  ~Kernel();
  Kernel(const Kernel&) = delete;
  Kernel& operator=(const Kernel&) = delete;

  // Draws every fragment once; `set_uniforms` runs with the program in use.
  // Returns the target's texels, four floats each, rows bottom first.
  std::vector<float> run(int width, int height, const std::function<void()>& set_uniforms = {});

  GLuint program() const { return program_; }

 private:
  GLuint program_ = 0;
};

// A plain shader-storage buffer bound at index 0, where kernels and the
// audio exporter write their results (`snd` in the shader's interface).
class StorageBuffer {
 public:
  StorageBuffer(std::size_t floats, float fill);
  ~StorageBuffer();
  StorageBuffer(const StorageBuffer&) = delete;
  StorageBuffer& operator=(const StorageBuffer&) = delete;

  void bind(GLuint index = 0) const;
  // Waits for the GPU and copies floats [first, first + count) out.
  std::vector<float> read(std::size_t first, std::size_t count) const;
  std::size_t size() const { return floats_; }

 private:
  GLuint buffer_ = 0;
  std::size_t floats_ = 0;
};

}  // namespace intro
