// The film as rendered: what the cut list puts in view at a few moments,
// checked on real frames against the camera geometry worked out here, and a
// sweep over every cut for non-finite values in the scene pass's unclamped
// output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "film_frames.h"
#include "film_gl.h"
#include "intro_engine.h"


namespace {

constexpr int W = intro::kFrameWidth, H = intro::kFrameHeight;

// Pixel (column, row from the bottom) where a world point appears for a
// camera at `eye` looking at `target`, by the focal length 4 of the
// half screen height.
void project(const double eye[3], const double target[3], const double point[3], double& px, double& py) {
  auto norm = [](double* v) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int k = 0; k < 3; ++k) v[k] /= l;
  };
  double f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  norm(f);
  double r[3] = {-f[2], 0, f[0]};  // forward x (0, 1, 0)
  norm(r);
  double u[3] = {r[1] * f[2] - r[2] * f[1], r[2] * f[0] - r[0] * f[2], r[0] * f[1] - r[1] * f[0]};
  const double d[3] = {point[0] - eye[0], point[1] - eye[1], point[2] - eye[2]};
  const double x = d[0] * r[0] + d[1] * r[1] + d[2] * r[2];
  const double y = d[0] * u[0] + d[1] * u[1] + d[2] * u[2];
  const double z = d[0] * f[0] + d[1] * f[1] + d[2] * f[2];
  px = (4.0 * x / z * H + W) / 2.0;
  py = (4.0 * y / z * H + H) / 2.0;
}

struct Frame {
  std::vector<std::uint8_t> window;
  std::vector<std::uint16_t> stored;
  int sum(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * W + x) * 4;
    return window[i] + window[i + 1] + window[i + 2];
  }
  const std::uint8_t* px(int x, int y) const { return &window[(static_cast<std::size_t>(y) * W + x) * 4]; }
};

// One frame at `seconds` drawn first on fresh targets (so without blend),
// the cheapest real frame.
Frame render(double seconds) {
  intro::IntroEngine engine;
  intro::render_frame(engine, seconds, 0);
  return {engine.read_window(), engine.read_stored()};
}

// The glow's core: saturated red and green with less blue, which the
// grey stars and the violet-to-yellow cloud specks do not reach.
bool is_core(const std::uint8_t* p) { return p[0] >= 245 && p[1] >= 235 && p[2] + 20 <= p[0]; }

// Centroid of the core pixels within 40 pixels of the densest 21 x 21 patch
// of them, so that a stray speck elsewhere does not pull it.
bool core_centroid(const Frame& frame, double& cx, double& cy, int& count) {
  std::vector<int> mask(static_cast<std::size_t>(W) * H, 0);
  for (int y = 90; y < 630; ++y) {
    for (int x = 0; x < W; ++x) mask[static_cast<std::size_t>(y) * W + x] = is_core(frame.px(x, y)) ? 1 : 0;
  }
  int best = 0, bx = 0, by = 0;
  for (int y = 100; y < 620; y += 2) {
    for (int x = 10; x < W - 10; x += 2) {
      int n = 0;
      for (int dy = -10; dy <= 10; ++dy) {
        for (int dx = -10; dx <= 10; ++dx) n += mask[static_cast<std::size_t>(y + dy) * W + x + dx];
      }
      if (n > best) best = n, bx = x, by = y;
    }
  }
  if (best == 0) return false;
  double sx = 0, sy = 0;
  count = 0;
  for (int y = std::max(90, by - 40); y < std::min(630, by + 40); ++y) {
    for (int x = std::max(0, bx - 40); x < std::min(W, bx + 40); ++x) {
      if (!mask[static_cast<std::size_t>(y) * W + x]) continue;
      sx += x + 0.5;
      sy += y + 0.5;
      ++count;
    }
  }
  cx = sx / count;
  cy = sy / count;
  return true;
}

TEST(Film, OpeningLightPointRightOfCentreAndAbove) {
  // Camera at (0, 0, 5) at 10 s looking at the origin; the light point sits
  // at (0.5, 0.1, 0).
  const double eye[3] = {0, 0, 5}, target[3] = {0, 0, 0}, light[3] = {0.5, 0.1, 0};
  double ex, ey;
  project(eye, target, light, ex, ey);
  const Frame frame = render(10.0);
  double cx, cy;
  int count;
  ASSERT_TRUE(core_centroid(frame, cx, cy, count));
  EXPECT_NEAR(cx, ex, 6.0);
  EXPECT_NEAR(cy, ey, 6.0);
  EXPECT_GT(cx, W / 2 + 100);
  EXPECT_GT(cy, H / 2 + 10);
  EXPECT_GT(count, 20);
  EXPECT_LT(count, 1000) << "one small core, not a bright picture";
}

TEST(Film, TexturedSphereCentredAt17Seconds) {
  // Shot 0 at 17 s: camera at (0, -0.3, 12). The textured sphere (radius
  // 0.4 at z = 2) hides the glow sphere, whose halo rings its rim.
  const double eye[3] = {0, -0.3, 12}, target[3] = {0, 0, 0}, centre[3] = {0, 0, 2};
  double ex, ey;
  project(eye, target, centre, ex, ey);
  const double radius_px = 4.0 * std::asin(0.4 / 10.0038) * H / 2.0;  // about 58 pixels
  const Frame frame = render(17.0);
  // The ring: the glow's core pixels lie around the disc's rim, spread
  // evenly left and right of it (the camera is below the axis, so the glow
  // sphere behind shows more below the rim than above).
  int on_ring = 0, elsewhere = 0;
  double sx = 0;
  for (int y = 90; y < 630; ++y) {
    for (int x = 0; x < W; ++x) {
      if (!is_core(frame.px(x, y))) continue;
      const double r = std::hypot(x + 0.5 - ex, y + 0.5 - ey);
      if (r > radius_px * 0.85 && r < radius_px * 1.5) {
        ++on_ring;
        sx += x + 0.5;
      } else {
        ++elsewhere;
      }
    }
  }
  EXPECT_GT(on_ring, 200);
  EXPECT_LT(elsewhere, on_ring / 10);
  EXPECT_NEAR(sx / std::max(on_ring, 1), ex, 4.0);
  // The disc itself is not glowing white: the sphere hides the glow sphere.
  EXPECT_LT(frame.sum(static_cast<int>(ex), static_cast<int>(ey)), 600);
}

TEST(Film, RedCraftInTheCentreAt47Seconds) {
  // Shot 3 at 47 s: camera at z = -0.62 on the axis, looking back at the
  // craft head-on. The centre ray hits it within a unit, and the middle of
  // the picture is mostly red.
  const Frame frame = render(47.0);
  const std::size_t centre = (static_cast<std::size_t>(H / 2) * W + W / 2) * 4;
  const double dist = frame.stored[centre + 3] / 65535.0;
  EXPECT_LT(dist, 0.7);
  EXPECT_GT(dist, 0.3);
  double red = 0, green = 0, blue = 0;
  int n = 0;
  for (int y = 260; y < 460; ++y) {
    for (int x = 440; x < 840; ++x) {
      const auto* p = frame.px(x, y);
      red += p[0];
      green += p[1];
      blue += p[2];
      ++n;
    }
  }
  red /= n, green /= n, blue /= n;
  EXPECT_GT(red, 100);
  EXPECT_GT(red, green + 30);
  EXPECT_GT(red, blue + 60);
}

TEST(Film, ScenePassStaysFiniteInEveryCut) {
  // The unclamped scene pass into RGBA32F (a read-back of the 16-bit target
  // could not hold a NaN) on a grid of every 8th picture pixel, at a moment
  // inside every cut and at the edges of the film.
  const std::vector<float> times = {0.0f, 2.0f, 10.0f, 15.0f, 17.5f, 21.0f, 30.0f, 35.0f, 40.0f, 45.0f, 47.5f,
                                    52.0f, 57.0f, 62.5f, 65.0f, 67.5f, 72.5f, 77.0f, 80.0f, 80.5f, 83.5f, 86.0f,
                                    89.0f, 92.5f, 97.0f, 101.0f, 110.0f, 119.2f, 121.5f, 125.0f};
  const std::uint16_t grey[4] = {16384, 16384, 16384, 65535};
  const film_test::PreviousFrame previous(grey);
  intro::Kernel kernel(intro::kernel_source(
      "layout(location = 2) uniform float kernel_time;\n"
      "void main()\n{\n"
      "    vec2 centre = vec2(8.0 * floor(gl_FragCoord.x) + 4.5, 90.0 + 8.0 * floor(gl_FragCoord.y) + 4.5);\n"
      "    vec3 screen = (2.0 * centre.xyy - resolution.xyy) / resolution.y;\n"
      "    vec3 uv = centre.xyy / resolution.xyy;\n"
      "    scene_time = kernel_time;\n"
      "    f = scene_pass(screen, uv);\n"
      "}\n"));
  for (float t : times) {
    const auto texels = kernel.run(W / 8, 540 / 8, [&] {
      glUniform1f(2, t);
      previous.bind();
    });
    int bad = 0;
    for (float value : texels) bad += std::isfinite(value) ? 0 : 1;
    EXPECT_EQ(bad, 0) << "non-finite values at t = " << t;
  }
}

}  // namespace
