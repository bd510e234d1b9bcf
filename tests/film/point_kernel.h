#pragma once
// Kernels over many cases at once: each case's two vec4 inputs come from an
// RGBA32F texture (row 0 holds `a`, row 1 `b`), read with texelFetch on
// texture unit 0 (the shader's `w`), so a case count is limited only by the
// texture width, not by uniform arrays. The body sets `vec4 r` (the target)
// and may set `vec4 r2` (kept in the storage buffer).
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "kernel.h"
#include "shader_build.h"

namespace film_test {

using Vec4 = std::array<float, 4>;

struct PointCase {
  Vec4 a{};
  Vec4 b{};
};

struct PointResult {
  Vec4 r{};
  Vec4 r2{};
};

// A kernel whose main() declares `int i` (the case), `vec4 a, b` (its inputs),
// `vec4 r = vec4(0.0), r2 = vec4(0.0)`, runs `body`, then writes r to the
// target and r2 into snd[2i], snd[2i + 1]. The body sets scene_time itself.
inline std::string point_kernel(const std::string& body) {
  return intro::kernel_source(
      "void main()\n{\n"
      "    int i = int(gl_FragCoord.x);\n"
      "    vec4 a = texelFetch(w, ivec2(i, 0), 0);\n"
      "    vec4 b = texelFetch(w, ivec2(i, 1), 0);\n"
      "    vec4 r = vec4(0.0);\n"
      "    vec4 r2 = vec4(0.0);\n" +
      body +
      "\n    f = r;\n"
      "    snd[2 * i] = r2.xy;\n"
      "    snd[2 * i + 1] = r2.zw;\n"
      "}\n");
}

// Runs the kernel once per case, in slices of at most 4096 cases.
inline std::vector<PointResult> run_points(intro::Kernel& kernel, const std::vector<PointCase>& cases) {
  constexpr std::size_t kSlice = 4096;
  std::vector<PointResult> out;
  out.reserve(cases.size());
  for (std::size_t first = 0; first < cases.size(); first += kSlice) {
    const std::size_t n = std::min(kSlice, cases.size() - first);
    std::vector<float> texels(n * 8);
    for (std::size_t i = 0; i < n; ++i) {
      std::copy(cases[first + i].a.begin(), cases[first + i].a.end(), texels.begin() + 4 * i);
      std::copy(cases[first + i].b.begin(), cases[first + i].b.end(), texels.begin() + 4 * (n + i));
    }
    GLuint input = 0;
    glGenTextures(1, &input);
    glBindTexture(GL_TEXTURE_2D, input);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, static_cast<GLsizei>(n), 2);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(n), 2, GL_RGBA, GL_FLOAT, texels.data());
    intro::StorageBuffer second(n * 4, 0.0f);
    // Kernel::run binds its own target first; the input goes on unit 0 after.
    const auto r = kernel.run(static_cast<int>(n), 1, [&] {
      glActiveTexture(GL_TEXTURE0);
      glBindTexture(GL_TEXTURE_2D, input);
    });
    const auto r2 = second.read(0, n * 4);
    glDeleteTextures(1, &input);
    for (std::size_t i = 0; i < n; ++i) {
      PointResult p;
      std::copy(r.begin() + 4 * i, r.begin() + 4 * i + 4, p.r.begin());
      std::copy(r2.begin() + 4 * i, r2.begin() + 4 * i + 4, p.r2.begin());
      out.push_back(p);
    }
  }
  return out;
}

}  // namespace film_test
