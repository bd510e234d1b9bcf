// Blend with the previous frame and the fades: the blend as a function
// (kernel) against the formula recomputed here, and the stored texels of real
// scene passes on a narrow viewport (the left 16 columns, all rows).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "film_gl.h"
#include "intro_engine.h"


namespace {

using film_test::CaseInput;

double clamp01(double x) { return std::min(1.0, std::max(0.0, x)); }
double smooth01(double x) {
  x = clamp01(x);
  return x * x * (3 - 2 * x);
}

CaseInput blend_case(float t, std::array<float, 4> colour, std::array<float, 4> prev) {
  CaseInput c;
  c.time = t;
  std::copy(colour.begin(), colour.end(), c.a);
  std::copy(prev.begin(), prev.end(), c.b);
  return c;
}

TEST(Accumulation, BlendWeightAndFades) {
  intro::Kernel kernel(film_test::case_kernel("    r = vec4(accumulate(a, b).rgb, blend_weight(a, b));\n"));
  const std::vector<CaseInput> cases = {
      blend_case(50, {0.2f, 0.1f, 0.05f, 1e9f}, {0.1f, 0.1f, 0.1f, 1.0f}),  // primary miss against alpha 1
      blend_case(50, {0.3f, 0.6f, 1.4f, 5.0f}, {0, 0, 0, 0}),               // a never-written previous texel
      blend_case(50, {0.3f, 0.2f, 0.1f, 5.0f}, {0.2f, 0.4f, 0.2f, 1.0f}),   // an ordinary hit
      blend_case(50, {0.3f, 0.2f, 0.1f, 0.3f}, {0.2f, 0.2f, 0.2f, 0.3f}),   // a close hit: weight below 1
      blend_case(2, {0.5f, 0.5f, 0.5f, 5.0f}, {0.4f, 0.4f, 0.4f, 1.0f}),    // fade-in still 0
      blend_case(3.5f, {0.5f, 0.5f, 0.5f, 5.0f}, {0.4f, 0.4f, 0.4f, 1.0f}), // fade-in 0.5
      blend_case(123.5f, {0.5f, 0.5f, 0.5f, 5.0f}, {0.4f, 0.4f, 0.4f, 1.0f}),
      blend_case(125, {0.5f, 0.5f, 0.5f, 5.0f}, {0.4f, 0.4f, 0.4f, 1.0f}),  // fade-out 0
  };
  const auto r = film_test::run_cases(kernel, cases);
  EXPECT_NEAR(r[0][3], 1.0209, 0.00005);
  EXPECT_EQ(r[1][3], 0.0f);
  for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(r[1][k], static_cast<float>(clamp01(cases[1].a[k]))) << "saturate(colour)";
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("case " + std::to_string(i));
    const CaseInput& c = cases[i];
    double dot = 0;
    for (int k = 0; k < 4; ++k) dot += static_cast<double>(c.a[k]) * c.b[k];
    const double weight = std::pow(std::fabs(dot), 0.001);
    EXPECT_NEAR(r[i][3], weight, 2e-6);
    const double fades = smooth01((c.time - 2.0) / 3.0) * smooth01((c.time - 125.0) / -3.0);
    for (int k = 0; k < 3; ++k) {
      const double average = 0.5 * clamp01(c.a[k] + c.b[k]);
      const double expected = clamp01(c.a[k] * (1 - weight) + average * weight) * fades;
      EXPECT_NEAR(r[i][k], expected, 2e-6) << "channel " << k;
    }
  }
  EXPECT_LT(r[3][3], 1.0f);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(r[4][k], 0.0f);
    EXPECT_EQ(r[7][k], 0.0f);
  }
}

// Scene passes of a 16-column viewport into the real targets.
std::vector<std::uint16_t> stored_after(const std::vector<double>& seconds) {
  intro::EngineOptions options;
  options.viewport_width = 16;
  intro::IntroEngine engine(options);
  for (double t : seconds) engine.frame(static_cast<std::int32_t>(std::lround(t * 44100)));
  return engine.read_stored();
}

TEST(Accumulation, StoredColourIsZeroUpTo2AndFrom125Seconds) {
  for (double t : {2.0, 125.0}) {
    SCOPED_TRACE("t = " + std::to_string(t));
    const auto texels = stored_after({t - 1.0 / 60, t});
    for (int y = 90; y < 630; ++y) {
      for (int x = 0; x < 16; ++x) {
        const std::size_t i = (static_cast<std::size_t>(y) * intro::kFrameWidth + x) * 4;
        ASSERT_EQ(texels[i] + texels[i + 1] + texels[i + 2], 0) << x << "," << y;
        ASSERT_GE(texels[i + 3], 6553) << "stored alpha below 0.1";
      }
    }
  }
}

TEST(Accumulation, StoredAlphaIsPrimaryDistanceClampedTo1) {
  // Shot 3 at 47 s, close in front of the craft: the left columns see the
  // side plates and wings closer than 1 unit and cloud beyond.
  const double t = 47.0;
  const auto texels = stored_after({t});
  // The same fragments' unclamped primary_dist through a kernel of the
  // same size running the scene pass.
  const std::uint16_t zero[4] = {0, 0, 0, 0};
  const film_test::PreviousFrame previous(zero);
  intro::Kernel kernel(intro::kernel_source(
      "void main()\n{\n"
      "    vec3 screen = (2.0 * gl_FragCoord.xyy - resolution.xyy) / resolution.y;\n"
      "    vec3 uv = gl_FragCoord.xyy / resolution.xyy;\n"
      "    scene_time = float(v) / 44100.0;\n"
      "    f = scene_pass(screen, uv);\n"
      "}\n"));
  const auto raw = kernel.run(16, intro::kFrameHeight, [&] {
    glUniform1i(1, static_cast<GLint>(std::lround(t * 44100)));
    previous.bind();
  });
  int near_hits = 0;
  for (int y = 90; y < 630; ++y) {
    for (int x = 0; x < 16; ++x) {
      const double dist = raw[(static_cast<std::size_t>(y) * 16 + x) * 4 + 3];
      const std::uint16_t alpha = texels[(static_cast<std::size_t>(y) * intro::kFrameWidth + x) * 4 + 3];
      ASSERT_GE(dist, 0.1 - 1e-7);
      ASSERT_NEAR(alpha / 65535.0, std::min(dist, 1.0), 0.75 / 65535) << x << "," << y;
      if (dist < 1.0) ++near_hits;
    }
  }
  EXPECT_GT(near_hits, 0) << "the case needs hits closer than 1 unit";
}

}  // namespace
