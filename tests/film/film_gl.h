#pragma once
// Shared pieces of the film tests: kernels that run the real shader pieces
// with per-case inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gl_context.h"
#include "intro_engine.h"
#include "kernel.h"
#include "shader_build.h"

namespace film_test {

// A 1280x720 RGBA16 texture filled with one texel value: the previous frame
// that a scene-pass kernel blends with, bound on texture unit 0 by bind().
class PreviousFrame {
 public:
  explicit PreviousFrame(const std::uint16_t rgba[4]) {
    glGenTextures(1, &texture_);
    glBindTexture(GL_TEXTURE_2D, texture_);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA16, intro::kFrameWidth, intro::kFrameHeight);
    glClearTexImage(texture_, 0, GL_RGBA, GL_UNSIGNED_SHORT, rgba);
  }
  ~PreviousFrame() { glDeleteTextures(1, &texture_); }
  PreviousFrame(const PreviousFrame&) = delete;
  PreviousFrame& operator=(const PreviousFrame&) = delete;

  void bind() const {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_);
  }

 private:
  GLuint texture_ = 0;
};

// Inputs of a case kernel: fragment i (of one row) reads its time from
// case_time[i] and a vec4 argument from case_a[i] and case_b[i].
struct CaseInput {
  float time = 0.0f;
  float a[4] = {0, 0, 0, 0};
  float b[4] = {0, 0, 0, 0};
};

constexpr int kMaxCases = 64;

// A kernel whose main() sets scene_time = case_time[i], declares
// `vec4 a = case_a[i], b = case_b[i]; vec4 r = vec4(0.0);`, runs `body`,
// and writes r. The body may also store into snd[].
inline std::string case_kernel(const std::string& body) {
  return intro::kernel_source(
      "layout(location = 2) uniform float case_time[64];\n"
      "layout(location = 66) uniform vec4 case_a[64];\n"
      "layout(location = 130) uniform vec4 case_b[64];\n"
      "void main()\n{\n"
      "    int i = int(gl_FragCoord.x);\n"
      "    scene_time = case_time[i];\n"
      "    vec4 a = case_a[i];\n"
      "    vec4 b = case_b[i];\n"
      "    vec4 r = vec4(0.0);\n" +
      body + "\n    f = r;\n}\n");
}

// Runs the kernel once per case; result i is the case's r.
inline std::vector<std::vector<float>> run_cases(intro::Kernel& kernel, const std::vector<CaseInput>& cases) {
  std::vector<float> times, as, bs;
  for (const auto& c : cases) {
    times.push_back(c.time);
    as.insert(as.end(), c.a, c.a + 4);
    bs.insert(bs.end(), c.b, c.b + 4);
  }
  const int n = static_cast<int>(cases.size());
  const auto texels = kernel.run(n, 1, [&] {
    glUniform1fv(2, n, times.data());
    glUniform4fv(66, n, as.data());
    glUniform4fv(130, n, bs.data());
  });
  std::vector<std::vector<float>> out;
  for (int i = 0; i < n; ++i) out.emplace_back(texels.begin() + 4 * i, texels.begin() + 4 * i + 4);
  return out;
}

}  // namespace film_test
