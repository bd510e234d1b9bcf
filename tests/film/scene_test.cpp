// Scene distance field and marcher through kernels: the objects' time
// windows, the running glow distance, and the march's hit and miss results.
// Expectations come from the scene's geometry worked out here.
#include <gtest/gtest.h>

#include <cmath>

#include "film_gl.h"


namespace {

using film_test::CaseInput;

// One scene_map call at point a.xyz for the case's moment (camera first, for
// the shot): r = (distance, material, extra, glow_dist after the call).
const char* kSceneMapBody =
    "    camera(vec3(0.0));\n"
    "    scene_setup();\n"
    "    vec3 s = scene_map(a.xyz);\n"
    "    r = vec4(s, glow_dist);\n";

CaseInput point(float t, float x, float y, float z) {
  CaseInput c;
  c.time = t;
  c.a[0] = x;
  c.a[1] = y;
  c.a[2] = z;
  return c;
}

enum class Glow { None, Below, Between };

struct WindowCase {
  const char* what;
  CaseInput input;
  Glow kind;
  double low, high;  // Below: glow_dist <= high; Between: low <= glow_dist <= high
};

TEST(Scene, ObjectTimeWindows) {
  const double kPi = 3.14159;
  // A point on the trail at z = 5, where the warp has swung the line by
  // a = sin(0.1 z - pi/2) + 1 towards (cos t, sin t).
  const double t_trail = 45.5, a = std::sin(0.5 - 0.5 * kPi) + 1.0;
  const float tx = static_cast<float>(-std::cos(t_trail) * a), ty = static_cast<float>(-std::sin(t_trail) * a);

  const std::vector<WindowCase> cases = {
      // Opening light point (zero at radius 0.02, halved): only before 15 s.
      {"light point at 10 s", point(10, 0.5f, 0.1f, 0), Glow::Between, -0.0100001, -0.0099999},
      {"nothing glows at 15 s: light point", point(15, 0.5f, 0.1f, 0), Glow::None, 0, 0},
      {"nothing glows at 15 s: glow sphere", point(15, 0, 0, 0), Glow::None, 0, 0},
      {"nothing glows at 15 s: thread", point(15, 0, -1.3f, 0), Glow::None, 0, 0},
      // Glow sphere of radius 0.48 between 15 and 45 s.
      {"glow sphere at 20 s", point(20, 0, 0, 0), Glow::Between, -0.4800001, -0.4799999},
      // The thread below it only in shot 16: at y = -1.3 the beaded
      // ellipsoid gives -0.7, scaled by 0.8.
      {"thread at 40 s", point(40, 0, -1.3f, 0), Glow::Between, -0.5601, -0.5599},
      {"no thread at 30 s", point(30, 0, -1.3f, 0), Glow::Between, 1.3 - 0.48 - 1e-6, 1.3 - 0.48 + 1e-6},
      // At 45 s exactly nothing glows; after it the far light and the trail.
      {"nothing glows at 45 s: far light", point(45, 0, 0, -30), Glow::None, 0, 0},
      {"nothing glows at 45 s: trail", point(45, tx, ty, 5), Glow::None, 0, 0},
      {"far light at 46 s", point(46, 0, 0, -30), Glow::Between, -0.1000001, -0.0999},
      {"trail at 45.5 s", point(45.5f, tx, ty, 5), Glow::Between, -0.0001001, 0.0501},
      // Dash row below the axis at (0, -0.8): at 63 s the row's phase puts
      // a dash at z = 0 (0.1 * 0 = 4 * 63 mod 1).
      {"no dashes at 62 s", point(62, 0, -0.8f, 0), Glow::Between, 0.29, 1e8},
      {"dash at 63 s", point(63, 0, -0.8f, 0), Glow::Below, 0, -0.009},
      // Light bars at x = +1 + wobble (after 83 s) and x = -1 + wobble (after
      // 92 s), y = wobble, the wobble in [0, 0.1]: a point at 0.05 from both
      // ranges' middles lies within sqrt(2) * 0.05 - 0.01 of the bar.
      {"no bar at +1 at 83 s", point(83, 1.05f, 0.05f, 0), Glow::Between, 0.2, 1e8},
      {"bar at +1 at 84 s", point(84, 1.05f, 0.05f, 0), Glow::Below, 0, 0.0608},
      {"no bar at -1 at 84 s", point(84, -0.95f, 0.05f, 0), Glow::Between, 0.2, 1e8},
      {"no bar at -1 at 92 s", point(92, -0.95f, 0.05f, 0), Glow::Between, 0.2, 1e8},
      {"bar at -1 at 93 s", point(93, -0.95f, 0.05f, 0), Glow::Below, 0, 0.0608},
  };
  std::vector<CaseInput> inputs;
  for (const auto& c : cases) inputs.push_back(c.input);
  intro::Kernel kernel(film_test::case_kernel(kSceneMapBody));
  const auto results = film_test::run_cases(kernel, inputs);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    const float glow = results[i][3];
    switch (cases[i].kind) {
      case Glow::None:
        EXPECT_EQ(glow, 1e9f);
        EXPECT_NE(results[i][1], 2.0f) << "the flat material must not win";
        break;
      case Glow::Below:
        EXPECT_LE(glow, cases[i].high);
        break;
      case Glow::Between:
        EXPECT_GE(glow, cases[i].low);
        EXPECT_LE(glow, cases[i].high);
        break;
    }
    // The returned distance is never larger than glow_dist after the call.
    EXPECT_LE(results[i][0], glow);
  }
}

TEST(Scene, CraftOnlyAfter45Seconds) {
  // The origin lies inside the craft's hull and canopy once it exists; at
  // 45 s exactly only the cloud layer is there (carved clear near the axis).
  intro::Kernel kernel(film_test::case_kernel(kSceneMapBody));
  const auto r = film_test::run_cases(kernel, {point(45, 0, 0, 0), point(46, 0, 0, 0), point(100, 0, 0, 0.3f)});
  EXPECT_EQ(r[0][1], 6.0f);
  EXPECT_GT(r[0][0], 0.2f);
  for (int i : {1, 2}) {
    EXPECT_TRUE(r[i][1] == 3.0f || r[i][1] == 4.0f) << "material " << r[i][1];
    EXPECT_LT(r[i][0], 0.0f);
  }
}

TEST(Scene, GlowDistanceNeverRises) {
  // 48 calls along a path through the origin in one fragment: glow_dist
  // only falls, and every sample is no farther than it.
  const int kSteps = 48;
  const std::vector<float> times = {10, 15, 20, 40, 46, 63, 84, 95};
  intro::StorageBuffer out(times.size() * kSteps * 2, -7.0f);
  intro::Kernel kernel(film_test::case_kernel(
      "    camera(vec3(0.0));\n"
      "    scene_setup();\n"
      "    for (int k = 0; k < 48; k++) {\n"
      "        vec3 p = mix(vec3(1.3, -0.9, 3.0), vec3(-1.1, 0.8, -3.5), float(k) / 47.0);\n"
      "        vec3 s = scene_map(p);\n"
      "        snd[48 * i + k] = vec2(s.x, glow_dist);\n"
      "    }\n"));
  std::vector<CaseInput> inputs;
  for (float t : times) inputs.push_back(point(t, 0, 0, 0));
  film_test::run_cases(kernel, inputs);
  const auto v = out.read(0, times.size() * kSteps * 2);
  for (std::size_t c = 0; c < times.size(); ++c) {
    SCOPED_TRACE("t = " + std::to_string(times[c]));
    float previous = 1e9f;
    for (int k = 0; k < kSteps; ++k) {
      const float distance = v[(c * kSteps + k) * 2], glow = v[(c * kSteps + k) * 2 + 1];
      EXPECT_LE(glow, previous) << "call " << k;
      EXPECT_LE(distance, glow) << "call " << k;
      previous = glow;
    }
    if (times[c] != 15.0f) {
      EXPECT_LT(previous, 1e8f) << "the path passes glowing objects";
    }
  }
}

TEST(March, HitsAndMisses) {
  intro::Kernel kernel(film_test::case_kernel(
      "    camera(vec3(0.0));\n"
      "    scene_setup();\n"
      "    r = vec4(march(a.xyz, normalize(b.xyz)), glow_dist);\n"));
  auto ray = [](float t, float ox, float oy, float oz, float dx, float dy, float dz) {
    CaseInput c;
    c.time = t;
    c.a[0] = ox, c.a[1] = oy, c.a[2] = oz;
    c.b[0] = dx, c.b[1] = dy, c.b[2] = dz;
    return c;
  };
  const auto r = film_test::run_cases(kernel, {
      ray(46, 0, 0, 0, 0, 0, 1),     // from inside the craft's hull
      ray(20, 0, 0, 2, 1, 0, 0),     // from inside the textured sphere
      ray(10, 0, 0, 5, 0, 0, 1),     // along the cleared axis, away from everything
      ray(30, 0, 0, 5, 0, 0, 1),
  });
  // A ray that starts inside a surface hits at once, at t = 0.1.
  EXPECT_EQ(r[0][0], 0.1f);
  EXPECT_EQ(r[0][1], 3.0f);
  EXPECT_EQ(r[1][0], 0.1f);
  EXPECT_TRUE(r[1][1] == 4.0f || r[1][1] == 6.0f);
  // A miss is exactly (1e9, -1, 1).
  for (int i : {2, 3}) {
    EXPECT_EQ(r[i][0], 1e9f);
    EXPECT_EQ(r[i][1], -1.0f);
    EXPECT_EQ(r[i][2], 1.0f);
  }
}

TEST(Shading, FogAtTheReferenceDistances) {
  intro::Kernel kernel(film_test::case_kernel("    r = vec4(fog_amount(a.x));\n"));
  const struct { float dist; double reference; } cases[] = {
      {10, 0.0198}, {20, 0.148}, {30, 0.417}, {40, 0.722}, {50, 0.918}, {60, 0.987}, {1e9f, 1.0}, {0.1f, 0.0}};
  std::vector<CaseInput> inputs;
  for (const auto& c : cases) {
    CaseInput in;
    in.a[0] = c.dist;
    inputs.push_back(in);
  }
  const auto r = film_test::run_cases(kernel, inputs);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const double d = cases[i].dist;
    SCOPED_TRACE("distance " + std::to_string(d));
    EXPECT_NEAR(r[i][0], cases[i].reference, 0.0006);
    EXPECT_NEAR(r[i][0], 1.0 - std::exp(-2e-5 * d * d * d), 2e-6);
  }
}

TEST(Shading, BackdropStaysFiniteOnTheAxis) {
  // atan(0, 0) on the view axis: the centre mask makes it black; around
  // 80 s the gate switches the pattern on strictly after 80.
  intro::Kernel kernel(film_test::case_kernel("    r = vec4(backdrop(a.xyz), 0.0);\n"));
  CaseInput axis;
  axis.time = 90;
  axis.a[2] = 1;
  CaseInput at80 = axis, after80 = axis;
  at80.time = 80;
  at80.a[0] = 1.2f;
  at80.a[1] = 0.7f;
  after80.time = 90;
  after80.a[0] = 1.2f;
  after80.a[1] = 0.7f;
  const auto r = film_test::run_cases(kernel, {axis, at80, after80});
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(r[0][k], 0.0f);
    EXPECT_EQ(r[1][k], 0.0f);
    EXPECT_TRUE(std::isfinite(r[2][k]));
    EXPECT_GE(r[2][k], 0.0f);
  }
  EXPECT_GT(r[2][0] + r[2][1] + r[2][2], 0.0f) << "the tunnel pattern shows after 80 s";
}

}  // namespace
