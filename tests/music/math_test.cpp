// The shared math library against reference values: known results of the
// formulas, and C++ double-precision recomputations of them. Every case runs
// in one kernel built from the real shader pieces: fragment x evaluates case
// x and writes a vec4.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "gl_test_environment.h"
#include "kernel.h"
#include "shader_build.h"

INTRO_TEST_GL_ENVIRONMENT;

namespace {

constexpr double kPi = 3.14159;  // the shader's own value of pi

struct Case {
  const char* name;
  const char* glsl;     // statements that set the vec4 r
  double expected[4];
  double tolerance;     // absolute, per component; 0 means exact
};

double fract(double x) { return x - std::floor(x); }
double sin_hash(double x) { return fract(std::sin(x) * 43758.5453); }
double note_freq(double n) { return 440.0 * std::pow(2.0, (n - 69.0) / 12.0); }
double mix(double a, double b, double t) { return a * (1.0 - t) + b * t; }

double value_noise(double x, double y, double z) {
  const double cx = std::floor(x), cy = std::floor(y), cz = std::floor(z);
  auto fade = [](double t) { return t * t * (3.0 - 2.0 * t); };
  const double fx = fade(x - cx), fy = fade(y - cy), fz = fade(z - cz);
  auto corner = [&](int i, int j, int k) { return sin_hash(7.0 * (cx + i) + 157.0 * (cy + j) + 113.0 * (cz + k)); };
  const double low_z = mix(mix(corner(0, 0, 0), corner(1, 0, 0), fx), mix(corner(0, 1, 0), corner(1, 1, 0), fx), fy);
  const double high_z = mix(mix(corner(0, 0, 1), corner(1, 0, 1), fx), mix(corner(0, 1, 1), corner(1, 1, 1), fx), fy);
  return mix(low_z, high_z, fz);
}

double fbm(double x, double y, double z) {
  const double q = value_noise(8.04 * x, 8.04 * y, 8.04 * z);
  return 0.5 * value_noise(2.01 * x, 2.01 * y, 2.01 * z) + 0.25 * value_noise(4.02 * x, 4.02 * y, 4.02 * z) +
         0.005 * value_noise(100.7 * x, 100.7 * y, 100.7 * z) + 0.15 * q * q;
}

double palette(double t, int channel) {
  const double base[3] = {0.6, 0.0, 0.5}, amp[3] = {0.4, 0.1, 0.5}, rate[3] = {2, 1, 1}, phase[3] = {0.2, 0.2, 0.25};
  return base[channel] + amp[channel] * std::cos(kPi * (rate[channel] * t + phase[channel]));
}

// Upper and lower 16 bits of a hash, as the kernel writes them.
double hi(std::uint32_t h) { return h >> 16; }
double lo(std::uint32_t h) { return h & 0xFFFFu; }

const float kSeedAfterZero = 0.1f + 0.1f;

std::vector<Case> cases() {
  return {
      {"hash_u32(0,0,z) is 0", "r = halves(hash_u32(uvec3(0u, 0u, 12345u)));", {0, 0, 0, 0}, 0},
      {"hash_u32(1,0,0)", "r = halves(hash_u32(uvec3(1u, 0u, 0u)));", {hi(4013460849u), lo(4013460849u), 0, 0}, 0},
      {"hash_u32(1,2,0)", "r = halves(hash_u32(uvec3(1u, 2u, 0u)));", {hi(2235937175u), lo(2235937175u), 0, 0}, 0},
      {"hash_u32(5,6,0)", "r = halves(hash_u32(uvec3(5u, 6u, 0u)));", {hi(1646778918u), lo(1646778918u), 0, 0}, 0},
      {"hash_u32 ignores z", "r = halves(hash_u32(uvec3(5u, 6u, 99u)));", {hi(1646778918u), lo(1646778918u), 0, 0}, 0},
      {"random3 seed 0", "float s = 0.0; vec3 q = random3(s); r = vec4(q, s);", {0, 0, 0, kSeedAfterZero}, 0},
      {"random3 seed 5.85", "float s = 5.85; vec3 q = random3(s); r = vec4(q, s);",
       {0.76684, 0.29989, 0.19112, 6.05}, 2e-5},
      {"random3 same integer parts", "float s = 5.82; vec3 q = random3(s); r = vec4(q, 0.0);",
       {0.76684, 0.29989, 0.19112, 0}, 2e-5},
      {"palette(0)", "r = vec4(palette(0.0), 0.0);", {palette(0, 0), palette(0, 1), palette(0, 2), 0}, 1e-5},
      {"palette(0.5)", "r = vec4(palette(0.5), 0.0);", {palette(0.5, 0), palette(0.5, 1), palette(0.5, 2), 0}, 1e-5},
      {"rot2(0) is the identity", "mat2 q = rot2(0.0); r = vec4(q[0], q[1]);", {1, 0, 0, 1}, 0},
      {"row vector times rot2 turns by -a", "r = vec4(vec2(1.0, 0.0) * rot2(0.7), vec2(0.0, 1.0) * rot2(0.7));",
       {std::cos(0.7), -std::sin(0.7), std::sin(0.7), std::cos(0.7)}, 1e-6},
      {"impulse", "r = vec4(impulse(1.0), impulse(0.0), impulse(2.0), impulse(0.5));",
       {1, 0, 2.0 * std::exp(-1.0), 0.5 * std::exp(0.5)}, 1e-6},
      {"smooth_min", "r = vec4(smooth_min(0.0, 10.0, 1.0), smooth_min(1.0, 1.0, 1.0), smooth_min(0.0, -10.0, -2.0), "
                     "smooth_min(0.0, 0.5, 1.0));",
       {0, 0.75, 0, -0.0625}, 0},
      {"sd_box", "r = vec4(sd_box(vec3(0.0), vec3(1.0, 2.0, 3.0)), sd_box(vec3(2.0, 0.0, 0.0), vec3(1.0)), "
                 "sd_box(vec3(2.0, 2.0, 0.0), vec3(1.0)), sd_box(vec3(0.5, 0.0, 0.0), vec3(1.0)));",
       {-1, 1, std::sqrt(2.0), -0.5}, 1e-6},
      {"sd_ellipsoid", "r = vec4(sd_ellipsoid(vec3(2.0, 0.0, 0.0), vec3(1.0)), "
                       "sd_ellipsoid(vec3(0.0, 3.0, 0.0), vec3(1.0, 2.0, 3.0)), "
                       "sd_ellipsoid(vec3(0.0), vec3(1.0, 2.0, 3.0)), 0.0);",
       {1, 1, -1, 0}, 1e-6},
      {"closest: equal distances pick the second",
       "r = vec4(closest(vec3(1.0, 2.0, 0.0), vec3(1.0, 3.0, 0.0)).yz, closest(vec3(0.5, 2.0, 7.0), vec3(1.0, 3.0, 0.0)).yz);",
       {3, 0, 2, 7}, 0},
      {"zeros at the origin", "r = vec4(sin_hash(0.0), value_noise(vec3(0.0)), fbm(vec3(0.0)), 0.0);", {0, 0, 0, 0}, 0},
      {"value_noise at lattice points",
       "r = vec4(value_noise(vec3(1.0, 0.0, 0.0)), value_noise(vec3(0.0, 1.0, 0.0)), value_noise(vec3(1.0, 1.0, 1.0)), "
       "value_noise(vec3(-1.0, 2.0, 0.0)));",
       {sin_hash(7), sin_hash(157), sin_hash(277), sin_hash(307)}, 0.01},
      {"value_noise: equal seeds share their value",
       "r = vec4(value_noise(vec3(157.0, 0.0, 0.0)) - value_noise(vec3(0.0, 7.0, 0.0)), "
       "value_noise(vec3(113.0, 0.0, 0.0)) - value_noise(vec3(0.0, 0.0, 7.0)), 0.0, 0.0);",
       {0, 0, 0, 0}, 0},
      {"value_noise between lattice points", "r = vec4(value_noise(vec3(0.25, 0.5, 0.75)), 0.0, 0.0, 0.0);",
       {value_noise(0.25, 0.5, 0.75), 0, 0, 0}, 0.01},
      {"fbm", "r = vec4(fbm(vec3(0.3, 0.7, 1.1)), 0.0, 0.0, 0.0);", {fbm(0.3, 0.7, 1.1), 0, 0, 0}, 0.01},
      {"note_freq", "r = vec4(note_freq(69.0), note_freq(57.0), note_freq(24.0), note_freq(62.0));",
       {440, 220, note_freq(24), note_freq(62)}, 2e-4},
      {"note_freq of a sum", "float step_ = 2.0; r = vec4(note_freq(32.0 + step_), 0.0, 0.0, 0.0);",
       {note_freq(34), 0, 0, 0}, 2e-4},
      {"saturate", "r = vec4(saturate(-1.0), saturate(2.0), saturate(0.3), saturate(vec2(-5.0, 0.5)).y);",
       {0, 1, 0.3, 0.5}, 1e-7},
  };
}

std::string kernel_for(const std::vector<Case>& table) {
  std::ostringstream s;
  s << "vec4 halves(uint h) { return vec4(float(h >> 16u), float(h & 65535u), 0.0, 0.0); }\n"
       "void main() {\n  int c = int(gl_FragCoord.x);\n  vec4 r = vec4(0.0);\n";
  for (std::size_t i = 0; i < table.size(); ++i) s << "  if (c == " << i << ") { " << table[i].glsl << " }\n";
  s << "  f = r;\n}\n";
  return s.str();
}

TEST(MathLibrary, ReferenceValues) {
  const auto table = cases();
  intro::Kernel kernel(intro::kernel_source(kernel_for(table)));
  const auto out = kernel.run(static_cast<int>(table.size()), 1);
  for (std::size_t i = 0; i < table.size(); ++i) {
    for (int k = 0; k < 4; ++k) {
      const double got = out[i * 4 + k];
      const double want = table[i].expected[k];
      if (table[i].tolerance == 0) {
        EXPECT_EQ(static_cast<float>(want), static_cast<float>(got)) << table[i].name << ", component " << k;
      } else {
        EXPECT_NEAR(want, got, table[i].tolerance) << table[i].name << ", component " << k;
      }
    }
  }
}

// The C++ hash (the three steps done in 32-bit unsigned arithmetic) agrees
// with the reference values, so the expectations above are consistent.
TEST(MathLibrary, HashReferenceIsConsistentWithItsDefinition) {
  auto hash = [](std::uint32_t x, std::uint32_t y) {
    const std::uint32_t x1 = 1103515245u * ((x >> 1) ^ y), y1 = 1103515245u * ((y >> 1) ^ x);
    const std::uint32_t h = 1103515245u * (x1 ^ (y1 >> 3));
    return h ^ (h >> 16);
  };
  EXPECT_EQ(hash(1, 0), 4013460849u);
  EXPECT_EQ(hash(1, 2), 2235937175u);
  EXPECT_EQ(hash(5, 6), 1646778918u);
}

}  // namespace
