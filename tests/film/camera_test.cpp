// Shot table and camera, through kernels that run the real camera block.
// Expectations: the cut list and camera table recomputed here in double
// precision, and properties of the view basis.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "film_gl.h"


namespace {

using film_test::CaseInput;
using Vec3 = std::array<double, 3>;

const int kShotIds[20] = {0, 1, 2, 16, 3, 4, 5, 6, 12, 8, 9, 10, 3, 11, 6, 4, 12, 3, 4, 10};
const float kShotStarts[20] = {15, 20, 22, 35, 45, 50, 54, 60, 65, 70, 75, 79, 81, 85, 87, 91, 94, 100, 102, 118};

Vec3 normalize(Vec3 v) {
  const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  return {v[0] / l, v[1] / l, v[2] / l};
}
Vec3 cross(Vec3 a, Vec3 b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }

// Camera position (without shake and drift) and target of a shot.
void table_camera(int shot, double t, double tau, Vec3& pos, Vec3& target) {
  target = {0, 0, 0};
  switch (shot) {
    case 0: pos = {0, -0.5 + 0.1 * tau, 12}; break;
    case 1: pos = {0, 0.05 * tau, 6}; break;
    case 2: pos = {0, 0.05 * tau, 3.5}; break;
    case 3: pos = {0, 0, -0.7 + 0.04 * tau}; break;
    case 4: pos = {1.8, 0.5, -6 + tau}; break;
    case 5: pos = {1, 0.4, 3 + 0.5 * tau}; break;
    case 6: pos = {0.6, 0.1, -0.4 + 0.02 * tau}; target = {0, 0, -0.25 + 0.02 * tau}; break;
    case 8: pos = {2, 0.9, -2.4 + 0.2 * tau}; break;
    case 9: pos = {0.5, 0.3 - 0.1 * tau, -2}; break;
    case 10: pos = {1, 0.4, -30 + 25 * tau}; break;
    case 11: pos = {-0.2, -0.1, -30 + 25 * tau}; break;
    case 12: pos = {-0.2, 1, -1.2 + 0.06 * tau}; break;
    case 16: pos = {0, -0.39, 2.4}; target = {0, -0.6, 0}; break;
    default: pos = {0, 0, 4 + 0.1 * t}; break;
  }
}

// The drift's deterministic part (the value-noise term of at most 0.005 on
// every component comes on top).
Vec3 drift(double t) {
  const double s = std::min(1.0, std::max(0.0, (std::sin(0.7 * t) + 0.7) / 1.4));
  return {0.5 * std::sin(0.5 * t), 0.3 * (2 * s * s * (3 - 2 * s) - 1), std::cos(0.1 * t)};
}

// Kernel output per case, through the storage buffer: shot, shot_time,
// cam_pos, ray_dir, cam_forward.
struct CameraResult {
  int shot;
  float shot_time;
  Vec3 pos, ray, forward;
};

std::vector<CameraResult> run_camera(const std::vector<CaseInput>& cases) {
  intro::StorageBuffer out(cases.size() * 12, -7.0f);
  intro::Kernel kernel(film_test::case_kernel(
      "    camera(vec3(a.xy, a.y));\n"
      "    snd[6 * i + 0] = vec2(float(shot), shot_time);\n"
      "    snd[6 * i + 1] = cam_pos.xy;\n"
      "    snd[6 * i + 2] = vec2(cam_pos.z, ray_dir.x);\n"
      "    snd[6 * i + 3] = ray_dir.yz;\n"
      "    snd[6 * i + 4] = cam_forward.xy;\n"
      "    snd[6 * i + 5] = vec2(cam_forward.z, 0.0);\n"));
  film_test::run_cases(kernel, cases);
  const auto v = out.read(0, cases.size() * 12);
  std::vector<CameraResult> results;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const float* r = &v[12 * i];
    results.push_back({static_cast<int>(std::lround(r[0])), r[1], {r[2], r[3], r[4]}, {r[5], r[6], r[7]}, {r[8], r[9], r[10]}});
  }
  return results;
}

CaseInput at(float t, float sx = 0, float sy = 0) {
  CaseInput c;
  c.time = t;
  c.a[0] = sx;
  c.a[1] = sy;
  return c;
}

TEST(Camera, ShotSelectionAtTheCuts) {
  // Each start instant already belongs to its cut (t >= start) with
  // shot_time 0; the float just below still belongs to the cut before.
  std::vector<CaseInput> cases;
  struct Expect { int shot; float shot_time; };
  std::vector<Expect> expected;
  for (int j = 0; j < 20; ++j) {
    const float start = kShotStarts[j];
    const float below = std::nextafter(start, 0.0f);
    cases.push_back(at(start));
    expected.push_back({kShotIds[j], 0.0f});
    cases.push_back(at(below));
    expected.push_back({j == 0 ? -1 : kShotIds[j - 1], j == 0 ? below : below - kShotStarts[j - 1]});
  }
  cases.push_back(at(0.0f));
  expected.push_back({-1, 0.0f});
  cases.push_back(at(7.25f));
  expected.push_back({-1, 7.25f});
  cases.push_back(at(125.0f));
  expected.push_back({10, 7.0f});
  const auto results = run_camera(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("t = " + std::to_string(cases[i].time));
    EXPECT_EQ(results[i].shot, expected[i].shot);
    EXPECT_NEAR(results[i].shot_time, expected[i].shot_time, 2e-6);
  }
  // The opening set-up at t = 0 is (0, 0, 4).
  const auto& opening = results[results.size() - 3];
  EXPECT_NEAR(opening.pos[0], 0.0, 1e-7);
  EXPECT_NEAR(opening.pos[1], 0.0, 1e-7);
  EXPECT_NEAR(opening.pos[2], 4.0, 1e-6);
}

TEST(Camera, PositionsAndCentreRayInEveryCut) {
  // A moment 0.6 s into every cut (and one in the opening): the camera
  // follows its table row (within the shake of 0.01, and after 65 s within
  // the drift's noise term of 0.005), and the centre ray is the forward
  // direction, except in shot 16, which rolls it.
  std::vector<CaseInput> cases = {at(3.0f)};
  for (float start : kShotStarts) cases.push_back(at(start + 0.6f));
  const auto results = run_camera(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const double t = cases[i].time;
    SCOPED_TRACE("t = " + std::to_string(t));
    const CameraResult& r = results[i];
    const double tau = i == 0 ? t : 0.6;
    Vec3 pos, target;
    table_camera(r.shot, t, tau, pos, target);
    double slack = 0.0101;  // shake
    if (t > 65) {
      const Vec3 d = drift(t);
      for (int k = 0; k < 3; ++k) pos[k] += d[k] + 0.0025;
      slack = 0.0026 + 0.0101;
    }
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.pos[k], pos[k], slack) << "component " << k;
    // The forward direction looks from the camera it reports to the target.
    const Vec3 forward = normalize({target[0] - r.pos[0], target[1] - r.pos[1], target[2] - r.pos[2]});
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.forward[k], forward[k], 2e-6);
    if (r.shot != 16) {
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.ray[k], r.forward[k], 2e-6) << "centre ray, component " << k;
    }
  }
}

TEST(Camera, DriftStartsStrictlyAfter65Seconds) {
  const float just_after = std::nextafter(65.0f, 100.0f);
  const auto results = run_camera({at(65.0f), at(just_after), at(64.9f)});
  // At 65 s exactly shot 12 begins without drift.
  EXPECT_EQ(results[0].shot, 12);
  EXPECT_NEAR(results[0].pos[0], -0.2, 1e-6);
  EXPECT_NEAR(results[0].pos[1], 1.0, 1e-6);
  EXPECT_NEAR(results[0].pos[2], -1.2, 1e-6);
  // One sample later the camera has jumped by the drift (plus a noise term
  // between 0 and 0.005 on every component).
  const Vec3 d = drift(just_after);
  const Vec3 base = {-0.2, 1.0, -1.2};
  for (int k = 0; k < 3; ++k) {
    const double extra = results[1].pos[k] - base[k] - d[k];
    EXPECT_GE(extra, -2e-5) << k;
    EXPECT_LE(extra, 0.005 + 2e-5) << k;
  }
  EXPECT_GT(std::fabs(results[1].pos[2] - results[0].pos[2]), 0.9);
  // Before 65 s: shot 6 at its table position within the shake.
  EXPECT_EQ(results[2].shot, 6);
  EXPECT_NEAR(results[2].pos[0], 0.6, 1e-6);
  EXPECT_NEAR(results[2].pos[1], 0.1, 0.0101);
}

TEST(Camera, RollOfShot16) {
  // The finished world ray's x and y turned by phi = 0.8 - 2 * 0.01 (t - 35),
  // as the row vector times rot2(phi); z unchanged.
  const std::vector<CaseInput> cases = {at(35.0f), at(40.0f, 0.5f, -0.3f), at(44.9f, -1.2f, 0.7f), at(30.0f, 0.5f, -0.3f)};
  const auto results = run_camera(cases);
  const Vec3 forward = normalize({0, -0.6 + 0.39, -2.4});
  const Vec3 right = normalize(cross(forward, {0, 1, 0}));
  const Vec3 up = normalize(cross(right, forward));
  for (std::size_t i = 0; i < 3; ++i) {
    const double t = cases[i].time;
    SCOPED_TRACE("t = " + std::to_string(t));
    EXPECT_EQ(results[i].shot, 16);
    const Vec3 d = normalize({cases[i].a[0], cases[i].a[1], 4.0});
    Vec3 ray;
    for (int k = 0; k < 3; ++k) ray[k] = d[0] * right[k] + d[1] * up[k] + d[2] * forward[k];
    const double phi = 0.8 - 2.0 * 0.01 * (t - 35.0);
    const Vec3 rolled = {ray[0] * std::cos(phi) + ray[1] * std::sin(phi), -ray[0] * std::sin(phi) + ray[1] * std::cos(phi), ray[2]};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(results[i].ray[k], rolled[k], 3e-6) << k;
  }
  // Outside shot 16 an off-centre ray is the plain basis times d: it has no
  // component along the camera's right that the roll would have mixed in
  // from up (shot 2 at 30 s looks along the y-z plane, so right = +x).
  const Vec3 d = normalize({0.5, -0.3, 4.0});
  EXPECT_NEAR(results[3].ray[0], d[0], 3e-6);
}

}  // namespace
