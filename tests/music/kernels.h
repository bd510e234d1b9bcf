#pragma once
// Small kernels over the real shader pieces, for tests that call shader
// functions directly.
#include <sstream>
#include <string>
#include <vector>

#include "kernel.h"
#include "shader_build.h"

namespace music_test {

// Evaluates each GLSL float expression in its own fragment; result i is the
// value of expression i as the shader computes it.
inline std::vector<float> evaluate(const std::vector<std::string>& expressions) {
  std::ostringstream s;
  s << "void main() {\n  int c = int(gl_FragCoord.x);\n  float r = 0.0;\n";
  for (std::size_t i = 0; i < expressions.size(); ++i) s << "  if (c == " << i << ") r = " << expressions[i] << ";\n";
  s << "  f = vec4(r, 0.0, 0.0, 1.0);\n}\n";
  intro::Kernel kernel(intro::kernel_source(s.str()));
  const auto texels = kernel.run(static_cast<int>(expressions.size()), 1);
  std::vector<float> out(expressions.size());
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = texels[i * 4];
  return out;
}

// Evaluates one GLSL float expression of the int `i` for i = 0 .. count-1.
inline std::vector<float> series(const std::string& expression_of_i, int count) {
  const int width = 1024;
  const int height = (count + width - 1) / width;
  std::ostringstream s;
  s << "void main() {\n  int i = int(gl_FragCoord.y) * " << width << " + int(gl_FragCoord.x);\n"
    << "  f = vec4(" << expression_of_i << ", 0.0, 0.0, 1.0);\n}\n";
  intro::Kernel kernel(intro::kernel_source(s.str()));
  const auto texels = kernel.run(width, height);
  std::vector<float> out(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out[static_cast<std::size_t>(i)] = texels[static_cast<std::size_t>(i) * 4];
  return out;
}

// A float as a GLSL literal that round-trips exactly.
inline std::string glsl_float(double value) {
  std::ostringstream s;
  s.precision(9);
  s << std::scientific << static_cast<float>(value);
  return s.str();
}

}  // namespace music_test
