// Scene distance field, part by part, against the distance formulas
// evaluated here in double precision: the cloud layer's scale, speed and
// threshold by time and its carve around the z axis, the craft's parts and
// turns, the trail's start and its sliding noise, and the three dash rows
// before and after 65 s. Each case calls scene_map once at a chosen point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "film_gl.h"
#include "point_kernel.h"

namespace {

using film_test::PointCase;
using film_test::PointResult;

// The shader's own value of pi, which every formula of the scene uses.
constexpr double kPi = 3.14159;

struct D3 {
  double x, y, z;
};
D3 operator+(D3 a, D3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
D3 operator-(D3 a, D3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
D3 operator/(D3 a, D3 b) { return {a.x / b.x, a.y / b.y, a.z / b.z}; }
D3 operator*(D3 a, D3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
double length(D3 a) { return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z); }

double clamp01(double x) { return std::min(1.0, std::max(0.0, x)); }
double mod1(double x) { return x - std::floor(x); }

double sd_ellipsoid(D3 p, D3 radii) {
  const double k0 = length(p / radii);
  const double k1 = length(p / (radii * radii));
  return k0 * (k0 - 1.0) / k1;
}

double smooth_min(double a, double b, double k) {
  const double h = clamp01(0.5 + 0.5 * (b - a) / k);
  return b * (1 - h) + a * h - k * h * (1 - h);
}

double sd_box(D3 p, D3 half) {
  const D3 q = {std::fabs(p.x) - half.x, std::fabs(p.y) - half.y, std::fabs(p.z) - half.z};
  const D3 outside = {std::max(q.x, 0.0), std::max(q.y, 0.0), std::max(q.z, 0.0)};
  return length(outside) + std::min(std::max(q.x, std::max(q.y, q.z)), 0.0);
}

// The pair (a, b) times rot2(theta): a turn by -theta.
void turn(double& a, double& b, double theta) {
  const double c = std::cos(theta), s = std::sin(theta);
  const double na = a * c + b * s, nb = -a * s + b * c;
  a = na;
  b = nb;
}

// After 45 s everything far along z swings around the z axis.
D3 warped(D3 p, double t) {
  if (!(t > 45)) return p;
  const double amount = std::sin(0.1 * p.z - 0.5 * kPi) + 1.0;
  return {p.x + std::cos(t) * amount, p.y + std::sin(t) * amount, p.z};
}

// ---------------------------------------------------------------------------
// The craft. The turn angles and the mirror are parameters so that the test
// can show its points tell each of them apart.
struct CraftShape {
  double pitch = -0.1;   // (q.y, q.z)
  double sweep = 0.6;    // (q.x, q.z)
  double bank = -0.3;    // (q.y, q.x)
  bool mirrored = true;  // q.x = |q.x|
};

struct CraftSample {
  double canopy, body;
  double distance() const { return canopy < body ? canopy : body; }
  double material() const { return canopy < body ? 4.0 : 3.0; }
};

CraftSample craft(D3 pw, const CraftShape& shape = {}) {
  D3 q = pw - D3{0, 0.03, 0};
  turn(q.y, q.z, shape.pitch);
  double hull = sd_ellipsoid(q, {0.09, 0.08, 0.5});
  if (shape.mirrored) q.x = std::fabs(q.x);
  double plate = sd_ellipsoid(q - D3{0.1, -0.05, 0.1}, {0.3, 0.02, 1});
  plate = std::max(0.15 - q.x, plate);
  turn(q.x, q.z, shape.sweep);
  turn(q.y, q.x, shape.bank);
  double wing = sd_ellipsoid(q - D3{0.4, -0.05, 0.2}, {0.4, 0.01, 0.08});
  hull = std::max(-q.z - 0.05, hull);
  wing = std::max(q.z - 0.24, wing);
  wing = std::max(q.x - 0.7, wing);
  hull = smooth_min(hull, wing, 0.05);
  hull = std::min(hull, sd_ellipsoid(pw + D3{0, 0.02, 0}, {0.095, 0.05, 0.2}));
  const double canopy = sd_ellipsoid(pw + D3{0, -0.01, 0.04}, {0.08, 0.08, 0.12});
  const double body = smooth_min(hull, std::max(q.z - 0.05, plate), 0.1);
  return {canopy, body};
}

// ---------------------------------------------------------------------------
// The cloud layer.
struct CloudParams {
  double scale, speed, threshold;
};

CloudParams cloud_params(double t) {
  if (t < 45) return {0.1, 0.5, 0.05};
  if (t == 45) return {4, 20, 0.05};
  if (t < 70) return {4, 20, 0.1};
  return {4, 20, 0.15};
}

D3 cloud_coordinate(D3 p, double t) {
  const CloudParams c = cloud_params(t);
  const D3 pw = warped(p, t);
  return {pw.x / c.scale, pw.y / c.scale, (pw.z - c.speed * t) / c.scale};
}

// The smooth maximum of the cloud value and minus the unwarped radius.
double carved(double cloud, D3 p) { return smooth_min(cloud, -std::sqrt(p.x * p.x + p.y * p.y), -2.0); }

// ---------------------------------------------------------------------------
// The dash rows.
// The z scale of the rows: 0.1 (a dash every 10 units) up to 65 s, then 0.5.
double dash_scale(double t) { return t > 65 ? 0.5 : 0.1; }

double dash_row(D3 b, double t, double scale) {
  b.z *= scale;
  b.x -= 0.8;
  b.z = mod1(b.z + 0.5 - 4 * t) - 0.5;
  return sd_box(b, {0.01, 0.08, 0.05});
}

double dash_rows(D3 p, double t, double scale) {
  D3 d = p;
  turn(d.x, d.y, -0.5 * kPi);
  double nearest = dash_row(d, t, scale);
  turn(d.x, d.y, 0.73 * kPi);
  nearest = std::min(nearest, dash_row(d, t, scale));
  turn(d.x, d.y, 0.5 * kPi);
  return std::min(nearest, dash_row(d, t, scale));
}

// ---------------------------------------------------------------------------
// The light bars: the point with y and z exchanged, less a small wobble.
double light_bar(D3 b) {
  b.x += 1;
  b.y = mod1(b.y + 0.5) - 0.5;
  return sd_box(b, {0.01, 1, 0.01});
}

double light_bars(D3 p, double t, double wobble_size = 0.1) {
  const D3 wobble = {wobble_size * (0.5 * std::cos(p.x + t) + 0.5), wobble_size * (0.5 * std::cos(0.5 * p.y + t) + 0.5),
                     wobble_size * (0.5 * std::cos(1.5 * p.z + t) + 0.5)};
  const D3 b = D3{p.x, p.z, p.y} - wobble;
  double nearest = 1e9;
  if (t > 92) nearest = light_bar(b);
  if (t > 83) {
    D3 turned = b;
    turn(turned.x, turned.z, kPi);
    nearest = std::min(nearest, light_bar(turned));
  }
  return nearest;
}

// ---------------------------------------------------------------------------
// One scene_map call per case at a.xyz, time a.w: r = (distance, material,
// extra, glow_dist after the call). r2 carries the noise terms at the
// coordinates that the test computed: fbm(b.xyz), value_noise(800 b.xyz) and
// value_noise(b.www).
const char* kSceneBody =
    "    scene_time = a.w;\n"
    "    camera(vec3(0.0));\n"
    "    scene_setup();\n"
    "    vec3 s = scene_map(a.xyz);\n"
    "    r = vec4(s, glow_dist);\n"
    "    r2 = vec4(fbm(b.xyz), value_noise(800.0 * b.xyz), value_noise(vec3(b.w)), 0.0);\n";

std::vector<PointResult> run_scene(const std::vector<PointCase>& cases) {
  static intro::Kernel kernel(film_test::point_kernel(kSceneBody));
  return film_test::run_points(kernel, cases);
}

PointCase scene_case(D3 p, double t, D3 c = {0, 0, 0}, double noise = 0) {
  PointCase pc;
  pc.a = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z), static_cast<float>(t)};
  pc.b = {static_cast<float>(c.x), static_cast<float>(c.y), static_cast<float>(c.z), static_cast<float>(noise)};
  return pc;
}

// The point as the kernel received it.
D3 point_of(const PointCase& pc) { return {pc.a[0], pc.a[1], pc.a[2]}; }
double time_of(const PointCase& pc) { return pc.a[3]; }

std::string where(const PointCase& pc) {
  char text[128];
  std::snprintf(text, sizeof(text), "t = %.6g at (%.5g, %.5g, %.5g)", pc.a[3], pc.a[0], pc.a[1], pc.a[2]);
  return text;
}

// ---------------------------------------------------------------------------

TEST(SceneParts, CloudLayerByTime) {
  // Points where no glow object comes near the cloud: far from the axis
  // (radius about 6, where the carve passes the value unchanged and every
  // glow object is more than 4.5 away, beyond the largest cloud value
  // 0.905 * 4 - 0.2), and near the axis where no glow object is close (the
  // carve at work). After 45 s the craft's distance, which its thin
  // ellipsoids make a strong underestimate far away, competes as well.
  // Times and coordinates are exact in single precision so that speed * t
  // and the cloud coordinate carry no rounding.
  struct Probe {
    double t;
    D3 p;
  };
  std::vector<Probe> probes;
  const double far_times[] = {10, 30, 44.96875, 45, 45.03125, 50, 62.5, 69.96875, 70, 70.03125, 100};
  for (double t : far_times) {
    for (double z : {-8.25, -3.5, 0.0, 4.75, 9.125}) probes.push_back({t, {4.5, 4.0, z}});
    probes.push_back({t, {-5.25, 3.5, 1.5}});
    probes.push_back({t, {0.75, -6.0, -2.5}});
  }
  // Near the axis. At 10 s the light point is at least 3 away (its glow at
  // least 1.49); at 30 s both spheres are at least 4 away; at 45 s nothing
  // else exists; at 50 s and z from -24 to -12 the trail is at least 12
  // away and the far light 6, and the warp there (0.64 to 1.74) separates
  // the unwarped radius that the carve uses from the warped one. The coarse
  // cloud's value often exceeds 2 and then passes the carve unchanged even
  // on the axis, so 50 s gets a long stretch of z.
  const struct { double t; std::vector<double> z; } near_axis[] = {
      {10, {-3.25, -5, -7.5}},
      {30, {-4.5, -6, -8.25}},
      {45, {-3.25, 2.5, 7.75}},
      {50, {-24, -23.25, -22.5, -21.75, -21, -20.25, -19.5, -18.75, -18, -17.25, -16.5, -15.75, -15, -14.25,
            -13.5, -12.75, -12}},
  };
  for (const auto& row : near_axis) {
    for (double z : row.z) {
      for (D3 xy : {D3{0, 0, 0}, D3{0.25, 0.125, 0}, D3{0.5, -0.375, 0}, D3{-0.75, 0.5, 0}, D3{1.25, 0.75, 0},
                    D3{0, 2.125, 0}}) {
        probes.push_back({row.t, {xy.x, xy.y, z}});
      }
    }
  }

  std::vector<PointCase> cases;
  for (const Probe& probe : probes) {
    const PointCase pc = scene_case(probe.p, probe.t);
    cases.push_back(scene_case(point_of(pc), time_of(pc), cloud_coordinate(point_of(pc), time_of(pc))));
  }
  const auto results = run_scene(cases);
  double largest_change = 0;
  double largest_warp_change = 0;
  int cloud_nearest = 0, craft_nearer = 0, carve_active = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(where(cases[i]));
    const D3 p = point_of(cases[i]);
    const double t = time_of(cases[i]);
    const CloudParams c = cloud_params(t);
    const double noise = results[i].r2[0];
    const double expected = carved((noise - c.threshold) * c.scale, p);
    const double craft_distance = t > 45 ? craft(warped(p, t)).distance() : 1e9;
    if (craft_distance < expected - 1e-3) {
      ++craft_nearer;
      EXPECT_EQ(results[i].r[1], 3.0f) << "the craft is nearer than the cloud";
      EXPECT_NEAR(results[i].r[0], craft_distance, 1e-4);
      continue;
    }
    if (craft_distance < expected + 1e-3) continue;  // too close to call
    ++cloud_nearest;
    EXPECT_EQ(results[i].r[1], 6.0f) << "the cloud is the nearest surface";
    EXPECT_NEAR(results[i].r[0], expected, 3e-4 * c.scale + 1e-5);
    EXPECT_NEAR(results[i].r[2], results[i].r2[1], 0.01) << "extra: the fine grain value_noise(800 c)";
    // How much a neighbouring row of the table, no carve, or a carve of the
    // warped point would change the value.
    const double cloud = (noise - c.threshold) * c.scale;
    if (t == 45) largest_change = std::max(largest_change, std::fabs(expected - carved((noise - 0.1) * 4, p)));
    if (std::fabs(expected - cloud) > 0.02) ++carve_active;
    if (t > 45) largest_warp_change = std::max(largest_warp_change, std::fabs(expected - carved(cloud, warped(p, t))));
  }
  EXPECT_GT(largest_change, 0.1) << "the cases tell the threshold at 45 s from the one after";
  EXPECT_GT(largest_warp_change, 0.05) << "the cases tell the carve of p from one of the warped point";
  EXPECT_GT(carve_active, 40) << "the carve changes the value at many cases";
  EXPECT_GT(cloud_nearest, static_cast<int>(cases.size()) * 8 / 10);
  std::printf("cloud nearest at %d points (carve active at %d), craft nearer at %d\n", cloud_nearest,
              carve_active, craft_nearer);
}

TEST(SceneParts, CraftPartsAndTurns) {
  // A grid around the craft, kept where the craft is within 0.06 of its
  // surface (or inside) and is surely the nearest candidate. Between 45 and
  // 62 s its rivals are the cloud (at least the carve of the lowest cloud
  // value, -0.4), the trail (0.3 - z in front of z = 0.3, else the distance
  // to the warped axis) and the far light at z = -30.
  std::vector<PointCase> cases;
  for (double t : {47.0, 55.5}) {
    for (int ix = 0; ix <= 36; ++ix) {
      for (int iy = 0; iy <= 14; ++iy) {
        for (int iz = 0; iz <= 40; ++iz) {
          const D3 grid = {-0.9 + 0.05 * ix + 0.0123, -0.175 + 0.025 * iy + 0.0041, -1.05 + 0.045 * iz + 0.0037};
          const PointCase pc = scene_case(grid, t);
          const D3 p = point_of(pc);
          const D3 pw = warped(p, t);
          const double own = craft(pw).distance();
          if (own > 0.06) continue;
          const double radius = std::sqrt(p.x * p.x + p.y * p.y);
          const double trail =
              p.z < 0.3 ? 0.3 - p.z : std::sqrt(pw.x * pw.x + pw.y * pw.y) - 0.00015;
          const double far_light = length(p - D3{0, 0, -30}) - 0.1;
          const double rivals = std::min({carved(-0.4, p), trail, far_light});
          if (own < rivals - 1e-3) cases.push_back(pc);
        }
      }
    }
  }
  ASSERT_GT(cases.size(), 1000u);

  // The points tell apart every turn with its sign flipped and the mirror
  // left out: the largest difference is far beyond the tolerance below.
  constexpr double kTolerance = 2e-5;
  CraftShape flipped_pitch, flipped_sweep, flipped_bank, unmirrored;
  flipped_pitch.pitch = 0.1;
  flipped_sweep.sweep = -0.6;
  flipped_bank.bank = 0.3;
  unmirrored.mirrored = false;
  const struct { const char* what; CraftShape shape; } variants[] = {
      {"(y, z) turned by +0.1", flipped_pitch},
      {"(x, z) turned by -0.6", flipped_sweep},
      {"(y, x) turned by +0.3", flipped_bank},
      {"not mirrored in x", unmirrored},
  };
  for (const auto& variant : variants) {
    double largest = 0;
    for (const PointCase& pc : cases) {
      const D3 pw = warped(point_of(pc), time_of(pc));
      largest = std::max(largest, std::fabs(craft(pw).distance() - craft(pw, variant.shape).distance()));
    }
    EXPECT_GT(largest, 100 * kTolerance) << variant.what;
  }

  const auto results = run_scene(cases);
  int canopy_points = 0, body_points = 0, failures = 0;
  double largest = 0;
  for (std::size_t i = 0; i < cases.size() && failures < 10; ++i) {
    const CraftSample expected = craft(warped(point_of(cases[i]), time_of(cases[i])));
    const float distance = results[i].r[0], material = results[i].r[1];
    largest = std::max(largest, std::fabs(distance - expected.distance()));
    const bool distance_ok = std::fabs(distance - expected.distance()) <= kTolerance;
    // Where canopy and body are nearly equal either may win by rounding.
    const bool material_ok =
        std::fabs(expected.canopy - expected.body) < 1e-5 || material == static_cast<float>(expected.material());
    EXPECT_TRUE(distance_ok && material_ok)
        << where(cases[i]) << ": got (" << distance << ", " << material << "), expected ("
        << expected.distance() << ", " << expected.material() << ")";
    if (!(distance_ok && material_ok)) ++failures;
    (expected.material() == 4.0 ? canopy_points : body_points) += 1;
  }
  EXPECT_GT(canopy_points, 50);
  EXPECT_GT(body_points, 500);
  std::printf("craft: %d canopy and %d body points, largest difference %.3g\n", canopy_points, body_points, largest);
}

TEST(SceneParts, CraftLandmarks) {
  // Named points of the craft's shape as worked out from its parts: inside
  // (negative) or outside, and which material is the nearest.
  struct Landmark {
    const char* what;
    D3 p;
    double material;
    bool inside;
  };
  const Landmark landmarks[] = {
      {"canopy bubble over the nose", {0, 0.06, -0.04}, 4, true},
      {"hull behind the canopy", {0, 0.03, 0.3}, 3, true},
      {"belly under the nose", {0, -0.04, -0.15}, 3, true},
      // The plates dip towards the front with the hull's pitch.
      {"right side plate ahead of the nose", {0.2, -0.0905, -0.7}, 3, true},
      {"left side plate ahead of the nose", {-0.2, -0.0905, -0.7}, 3, true},
      {"gap between nose and plate", {0.12, -0.02, -0.5}, 3, false},
      // The banked wings rise towards their tips.
      {"right wing near its tip", {0.35, 0.195, 0.45}, 3, true},
      {"left wing near its tip", {-0.35, 0.195, 0.45}, 3, true},
      {"above the right wing", {0.35, 0.3, 0.45}, 3, false},
      {"below the right wing", {0.35, 0.1, 0.45}, 3, false},
      {"ahead of the side plates", {0.28, -0.02, -0.97}, 3, false},
  };
  std::vector<PointCase> cases;
  for (const Landmark& l : landmarks) cases.push_back(scene_case(l.p, 50.0));
  const auto results = run_scene(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(landmarks[i].what);
    const CraftSample expected = craft(warped(point_of(cases[i]), 50.0));
    ASSERT_EQ(expected.distance() < 0, landmarks[i].inside) << "the landmark itself is misplaced";
    ASSERT_EQ(expected.material(), landmarks[i].material) << "the landmark itself is misplaced";
    EXPECT_EQ(results[i].r[0] < 0, landmarks[i].inside) << "distance " << results[i].r[0];
    if (landmarks[i].inside) EXPECT_EQ(results[i].r[1], static_cast<float>(landmarks[i].material));
    EXPECT_NEAR(results[i].r[0], expected.distance(), 2e-5);
  }
}

TEST(SceneParts, TrailStartsAtZ03AndSlides) {
  // On the warped z axis (the point swung back by -(cos t, sin t) times the
  // warp amount) the trail's line is at -0.0001; the noise adds up to 0.05,
  // sliding back at 100 units/s; in front of z = 0.3 the distance is 0.3 - z.
  // Nothing else glows within 20 units at these times.
  struct Probe {
    double t, z, offset;
  };
  std::vector<Probe> probes;
  for (double t : {47.25, 58.5}) {
    for (double z : {-0.4, 0.0, 0.1, 0.2, 0.24}) probes.push_back({t, z, 0});
    for (double z : {0.31, 0.5, 1.0, 3.0, 5.0, 12.0, 31.0}) probes.push_back({t, z, 0});
    for (double offset : {0.01, 0.1, 0.35}) probes.push_back({t, 5.0, offset});
  }
  std::vector<PointCase> cases;
  for (const Probe& probe : probes) {
    const double amount = std::sin(0.1 * probe.z - 0.5 * kPi) + 1.0;
    const D3 p = {-std::cos(probe.t) * amount + probe.offset, -std::sin(probe.t) * amount, probe.z};
    cases.push_back(scene_case(p, probe.t, {0, 0, 0}, probe.z - 100 * probe.t));
  }
  const auto results = run_scene(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(where(cases[i]));
    const double z = probes[i].z, glow = results[i].r[3];
    if (z < 0.3) {
      EXPECT_NEAR(glow, 0.3 - z, 2e-6) << "in front of the trail's start";
    } else {
      const double offset = probes[i].offset;
      const double line = offset > 0 ? offset - 0.0001 : -0.0001;
      EXPECT_NEAR(glow, line + 0.05 * results[i].r2[2], 2e-4) << "the line plus its sliding noise";
    }
  }
}

TEST(SceneParts, DashRowsAndTheChangeAt65) {
  // Points along the three rows (0.8 from the z axis at -90, 41.4 and 131.4
  // degrees), slightly off them and between them, over 5.2 units of z in
  // front of the craft, where the trail is at least 1.1 and the far light 24
  // away: the glow distance is the nearest dash wherever that is below 1.
  const double row_angles[] = {-0.5 * kPi, 0.23 * kPi, 0.73 * kPi};
  const double times[] = {62, 63, 64.5, 65, 65.125, 70.25, 80.5};
  std::vector<PointCase> cases;
  for (double t : times) {
    for (double angle : row_angles) {
      for (double radial : {0.0, 0.006, 0.04}) {
        for (double along : {0.0, 0.05, 0.12}) {
          for (int iz = 0; iz < 58; ++iz) {
            const double z = -6.0 + 0.09 * iz;
            const double r = 0.8 + radial;
            const D3 p = {r * std::cos(angle) - along * std::sin(angle), r * std::sin(angle) + along * std::cos(angle), z};
            cases.push_back(scene_case(p, t));
          }
        }
      }
    }
  }
  const auto results = run_scene(cases);
  int inside = 0, failures = 0;
  double largest_change = 0;
  for (std::size_t i = 0; i < cases.size() && failures < 10; ++i) {
    const D3 p = point_of(cases[i]);
    const double t = time_of(cases[i]);
    const double glow = results[i].r[3];
    const double rows = dash_rows(p, t, dash_scale(t));
    bool ok;
    if (t > 62 && rows < 1.0) {
      ok = std::fabs(glow - rows) <= 1e-4;
      if (rows < 0) ++inside;
      // The scale of the other side of 65 s would give another value here.
      const double other = dash_rows(p, t, t > 65 ? 0.1 : 0.5);
      if (t == 65 || t == 65.125) largest_change = std::max(largest_change, std::fabs(std::min(other, 1.0) - rows));
    } else {
      ok = glow >= 1.0 - 1e-4;
    }
    EXPECT_TRUE(ok) << where(cases[i]) << ": glow " << glow << ", dash rows " << rows;
    if (!ok) ++failures;
  }
  EXPECT_GT(inside, 200) << "the points reach inside the dashes";
  EXPECT_GT(largest_change, 0.2) << "the points tell the rows before 65 s from those after";
}

TEST(SceneParts, LightBarsAfter83And92) {
  // Cross-sections through both bars (x from -0.02 to 0.12 beyond +1 and -1,
  // y from -0.02 to 0.12, covering the wobble's range of 0 to 0.1)
  // at four depths in front of the craft, where the trail is at least 1.5
  // away: the glow distance is the nearer of the bars and the dash rows
  // wherever that is below 1.
  std::vector<PointCase> cases;
  for (double t : {83.0, 84.25, 92.0, 93.5}) {
    for (double side : {1.0, -1.0}) {
      for (int ix = 0; ix < 21; ++ix) {
        for (int iy = 0; iy < 21; ++iy) {
          for (double z : {-4.7, -3.1, -1.9, -1.2}) cases.push_back(scene_case({side - 0.02 + 0.007 * ix, -0.02 + 0.007 * iy, z}, t));
        }
      }
    }
  }
  const auto results = run_scene(cases);
  int failures = 0, inside = 0;
  double wobble_change = 0;
  for (std::size_t i = 0; i < cases.size() && failures < 10; ++i) {
    const D3 p = point_of(cases[i]);
    const double t = time_of(cases[i]);
    const double glow = results[i].r[3];
    const double nearest = std::min(light_bars(p, t), dash_rows(p, t, dash_scale(t)));
    const bool ok = nearest < 1.0 ? std::fabs(glow - nearest) <= 1e-4 : glow >= 1.0 - 1e-4;
    EXPECT_TRUE(ok) << where(cases[i]) << ": glow " << glow << ", bars and dashes " << nearest;
    if (!ok) ++failures;
    if (light_bars(p, t) < 0) ++inside;
    if (nearest < 1.0) {
      const double still = std::min(light_bars(p, t, 0.0), dash_rows(p, t, dash_scale(t)));
      wobble_change = std::max(wobble_change, std::fabs(std::min(still, 1.0) - nearest));
    }
  }
  EXPECT_GT(inside, 20) << "the points reach inside the bars";
  EXPECT_GT(wobble_change, 0.03) << "the points tell the wobble apart";
}

}  // namespace
