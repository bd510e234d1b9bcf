// The post pass on the intro's own objects: both targets filled with one
// constant colour, then only the post pass drawn, and the window read back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "film_gl.h"
#include "intro_engine.h"


namespace {

constexpr int W = intro::kFrameWidth, H = intro::kFrameHeight;

// The window after a post pass at `seconds` over a stored colour s (per
// channel), as floats in [0, 1]; rows bottom first.
std::vector<float> post_of(double s_red, double s_green, double s_blue, double seconds) {
  // One engine serves every case: its targets are refilled each time.
  static intro::IntroEngine engine;
  const std::uint16_t stored[4] = {static_cast<std::uint16_t>(std::lround(s_red * 65535)),
                                   static_cast<std::uint16_t>(std::lround(s_green * 65535)),
                                   static_cast<std::uint16_t>(std::lround(s_blue * 65535)), 65535};
  engine.fill_targets(stored);
  engine.post_pass(static_cast<std::int32_t>(std::lround(seconds * 44100)));
  const auto window = engine.read_window();
  std::vector<float> out(window.size());
  for (std::size_t i = 0; i < window.size(); ++i) out[i] = window[i] / 255.0f;
  return out;
}

float at(const std::vector<float>& image, int x, int y, int channel) { return image[(static_cast<std::size_t>(y) * W + x) * 4 + channel]; }

// At v = 0 the grain is exactly 0.95 (sin_hash(0) = 0 all the way down),
// so a displayed value is the reference value times 0.95^0.4545.
const double kGrainAtZero = std::pow(0.95, 0.4545);
// 8-bit rounding plus the three-digit reference values.
constexpr double kTolerance = 0.5 / 255 + 0.0006 + 0.001;

TEST(PostPass, ReferenceTableAtTheCentre) {
  const struct { double s, red, green, blue; } table[] = {
      {0.0, 0.123, 0.123, 0.123}, {0.05, 0.256, 0.355, 0.425}, {0.1, 0.375, 0.500, 0.579},
      {0.2, 0.580, 0.710, 0.782}, {0.3, 0.747, 0.855, 0.906}, {0.4, 0.875, 0.948, 0.977},
      {0.5, 0.962, 0.995, 1.000}};
  for (const auto& row : table) {
    SCOPED_TRACE("stored " + std::to_string(row.s));
    const auto image = post_of(row.s, row.s, row.s, 0.0);
    // Pixels around the centre, where the vignette is 1 and the blur of a
    // constant colour gives that colour.
    for (int x : {600, 640, 700}) {
      for (int y : {300, 360, 420}) {
        EXPECT_NEAR(at(image, x, y, 0), row.red * kGrainAtZero, kTolerance);
        EXPECT_NEAR(at(image, x, y, 1), row.green * kGrainAtZero, kTolerance);
        EXPECT_NEAR(at(image, x, y, 2), row.blue * kGrainAtZero, kTolerance);
        EXPECT_EQ(at(image, x, y, 3), 0.0f) << "the window's alpha stays 0";
      }
    }
  }
}

TEST(PostPass, VignetteRegionsAndLetterbox) {
  const auto image = post_of(0.2, 0.2, 0.2, 0.0);
  const double centre = at(image, 640, 360, 1);
  // Factor 1 out to |uv.x - 0.5| = 0.42 on the middle row and to
  // |uv.y - 0.5| = 0.28 on the middle column (the region d <= 0.1 is the
  // box grown by 0.1, so its corners are rounded), and inside the box grown
  // by 0.1 / sqrt(2) on both axes.
  for (const auto& xy : std::vector<std::pair<int, int>>{{112, 360}, {1167, 360}, {640, 161}, {640, 558},
                                                         {150, 200}, {1129, 519}, {500, 300}}) {
    EXPECT_NEAR(at(image, xy.first, xy.second, 1), centre, 1.01 / 255) << xy.first << "," << xy.second;
  }
  // 0.4 along the picture's top and bottom rows (90 and 629) and in the
  // corners: before the gamma, so the shown value is 0.4^0.4545 of the centre.
  const double dimmed = centre * std::pow(0.4, 0.4545);
  for (int x : {0, 640, 1279}) {
    for (int y : {90, 629}) EXPECT_NEAR(at(image, x, y, 1), dimmed, 1.5 / 255) << x << "," << y;
  }
  // The letterbox rows are left black, alpha included.
  for (int y : {0, 45, 89, 630, 700, 719}) {
    for (int x : {0, 640, 1279}) {
      for (int c = 0; c < 4; ++c) EXPECT_EQ(at(image, x, y, c), 0.0f) << x << "," << y;
    }
  }
}

TEST(PostPass, WhiteOutThenBlack) {
  // Before 121 s the divisor is 0.85, so 121 s itself still shows the
  // reference value (up to the grain, now between 0.95 and 1.05).
  const double lo = std::pow(0.95, 0.4545), hi = std::pow(1.05, 0.4545);
  {
    const auto image = post_of(0.2, 0.2, 0.2, 121.0);
    EXPECT_GE(at(image, 640, 360, 0), 0.580 * lo - kTolerance);
    EXPECT_LE(at(image, 640, 360, 0), 0.580 * hi + kTolerance);
  }
  // Falling divisor: every channel driven to 1 by about 122 s (0.15 there).
  for (double t : {122.0, 122.15}) {
    SCOPED_TRACE("t = " + std::to_string(t));
    const auto image = post_of(0.2, 0.2, 0.2, t);
    for (int c = 0; c < 3; ++c) EXPECT_GE(at(image, 640, 360, c), lo - 1.0 / 255);
  }
  // From about 122.214 s the divisor is no longer positive: black (the
  // saturate reaches its end at about 122.43 s).
  for (double t : {122.3, 122.5, 125.0}) {
    SCOPED_TRACE("t = " + std::to_string(t));
    const auto image = post_of(0.5, 0.5, 0.5, t);
    for (int y = 90; y < 630; y += 7) {
      for (int x = 0; x < W; x += 9) {
        for (int c = 0; c < 3; ++c) ASSERT_EQ(at(image, x, y, c), 0.0f) << x << "," << y;
      }
    }
  }
}

}  // namespace
