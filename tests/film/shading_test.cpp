// The shading loop on chosen rays through a reduced scene (a plane, a
// parallel ceiling, a glowing sphere), against the loop written again in
// double precision in shading_reference.h and against values worked out by
// hand: what each outcome of a bounce adds, the probes' places and order,
// the jittered reflection and its seed, and a normal whose probes all agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "shading_reference.h"

namespace {

using film_test::ShadingCase;
using film_test::ShadingReference;
using film_test::ShadingResult;
using film_test::Vec3;
using film_test::normalized;

constexpr float kRed = 3, kBlack = 4, kCloud = 6;

// A ray that meets the plane through the origin with normal n at the origin,
// one unit after its start, with dot(n, direction) = -cos_theta; `side` picks
// the tangent it comes along.
ShadingCase onto_plane(const char* what, float id, Vec3 n, double cos_theta, float time, Vec3 side = {1, 0, 0}) {
  ShadingCase c;
  c.what = what;
  c.time = time;
  c.floor_id = id;
  c.plane_normal = n;
  const Vec3 tangent = normalized(side - film_test::dot(side, n) * n);
  const double sin_theta = std::sqrt(1 - cos_theta * cos_theta);
  c.direction = normalized(-cos_theta * n + sin_theta * tangent);
  c.origin = -1.0 * c.direction;
  return c;
}

void expect_near(Vec3 got, Vec3 want, double tolerance, const char* what) {
  EXPECT_NEAR(got.x, want.x, tolerance) << what << ".x";
  EXPECT_NEAR(got.y, want.y, tolerance) << what << ".y";
  EXPECT_NEAR(got.z, want.z, tolerance) << what << ".z";
}

// Runs the cases on the GPU and checks each against the reference: the
// gathered colour, primary_dist, the direction and origin the loop ends
// with, and the seed after the jitter draws. Returns the kernel's results.
std::vector<ShadingResult> check_against_reference(const std::vector<ShadingCase>& cases) {
  const auto results = film_test::run_shading_cases(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const ShadingCase& c = cases[i];
    const ShadingResult& r = results[i];
    SCOPED_TRACE(c.what);
    ShadingReference reference(c, r.backdrop_primary, r.backdrop_final);
    const auto want = reference.run(c.seed);
    const double scale = std::max({1.0, std::fabs(want.radiance.x), std::fabs(want.radiance.y)});
    expect_near({r.colour[0], r.colour[1], r.colour[2]}, want.radiance, 5e-5 * scale, "radiance");
    if (want.primary_dist == 1e9) {
      EXPECT_EQ(r.primary_dist, 1e9);
    } else {
      EXPECT_NEAR(r.primary_dist, want.primary_dist, 1e-4 * want.primary_dist + 1e-6);
    }
    EXPECT_EQ(r.colour[3], r.primary_dist);
    expect_near(r.final_dir, want.final_dir, 2e-5, "final ray_dir");
    expect_near(r.final_origin, want.final_origin, 2e-5, "final cam_pos");
    // The compiler may fold the two steps of 0.1 into one of 0.2: a last-bit
    // difference in the seed, never in the integer parts the draws use.
    EXPECT_NEAR(r.seed_after, want.seed_after, 2e-6 * std::max(1.0f, want.seed_after));
  }
  return results;
}

TEST(ShadingLoop, ReflectiveBodies) {
  const Vec3 up{0, 1, 0};
  const Vec3 tilted = normalized({0.3, 1, -0.2});
  // The fresnel value 8/9 gives the black body's strongest sheen.
  const double cos_strongest_sheen = 1 - std::pow(8.0 / 9.0, 1 / 0.6);

  ShadingCase from_inside;
  from_inside.what = "red body hit from inside: fresnel above 1, two hits";
  from_inside.floor_id = kRed;
  from_inside.origin = {0, -0.15, 0};
  from_inside.direction = normalized({0.3, 1, 0.1});
  from_inside.seed = 3.95f;  // the two draws hash (4, 4) and then (4, 4) again

  std::vector<ShadingCase> cases = {
      onto_plane("red head-on", kRed, up, 1.0, 30),
      onto_plane("red at 60 degrees on a tilted plane", kRed, tilted, 0.5, 30),
      onto_plane("red at 60 degrees after 80 s: the escape is weighted by fresnel", kRed, tilted, 0.5, 90),
      onto_plane("black at grazing incidence after 80 s", kBlack, up, 0.2, 90, {0.3, 0, 1}),
      onto_plane("black at the strongest sheen", kBlack, up, cos_strongest_sheen, 30),
      from_inside,
  };
  cases[1].seed = 0.85f;  // hashes (0, 1): unequal members
  cases[2].seed = 7.3f;
  cases[3].seed = 12.05f;
  const auto r = check_against_reference(cases);

  // Values worked out by hand from the formulas.
  EXPECT_NEAR(r[0].colour[0], 1.0, 1e-6) << "head-on: the full base colour";
  EXPECT_NEAR(r[0].colour[1], 0.0, 1e-6);
  const double f60 = std::pow(0.5, 0.6);
  EXPECT_NEAR(r[1].colour[0], 1 - f60, 2e-6);
  EXPECT_NEAR(r[1].colour[1], (1 - f60) * std::pow(f60, 8), 2e-6) << "yellow sheen";
  EXPECT_NEAR(r[1].colour[2], 0.0, 1e-7);
  EXPECT_NEAR(r[4].colour[0], 0.0433, 0.0001) << "black body: at most (1 - F) F^8";
  EXPECT_NEAR(r[4].colour[1], 0.0433, 0.0001);
  // The pattern after 80 s has to be there for the weighted escape to show.
  EXPECT_GT(r[2].backdrop_final.x + r[2].backdrop_final.y + r[2].backdrop_final.z, 0.01);
  EXPECT_GT(r[3].backdrop_final.x + r[3].backdrop_final.y + r[3].backdrop_final.z, 0.01);
  // From inside the body term is negative and the seed rises twice.
  EXPECT_LT(r[5].colour[0], 0.0);
  EXPECT_NEAR(r[5].seed_after, 3.95f + 0.4f, 1e-6);
  EXPECT_EQ(r[5].primary_dist, 0.1f) << "a ray that starts inside hits at 0.1";
}

TEST(ShadingLoop, FlatAndCloudOutcomes) {
  const Vec3 up{0, 1, 0};
  const Vec3 sky_dir = normalized({0.8, 0.5, -0.3});  // a direction with tunnel pattern after 80 s

  ShadingCase flat_then_miss;
  flat_then_miss.what = "flat, then the same ray again ends as a miss";
  flat_then_miss.time = 90;
  flat_then_miss.direction = sky_dir;
  flat_then_miss.glow_centre = 2.0 * sky_dir;
  flat_then_miss.glow_radius = 0.3f;
  // Half the true distance: the march closes in by halves and stops with
  // glow_dist between half and all of its threshold, well above the 1.01e-5
  // below which the second march would find the flat material again at once.
  flat_then_miss.glow_scale = 0.5f;

  ShadingCase flat_inside = flat_then_miss;
  flat_inside.what = "flat from inside the glow: flat again";
  flat_inside.origin = 2.0 * sky_dir;

  ShadingCase body_then_flat = onto_plane("red, then flat: the body term is lost", kRed, up, 0.5, 30);
  body_then_flat.glow_centre = {std::sqrt(0.75), 0.5, 0};  // on the mirror ray, one unit out
  body_then_flat.glow_radius = 0.35f;

  ShadingCase body_then_cloud = onto_plane("red, then cloud: the cloud is not weighted", kRed, up, 0.5, 30);
  body_then_cloud.ceiling_id = kCloud;
  body_then_cloud.ceiling_extra = 0.8f;
  body_then_cloud.ceiling_height = 0.3f;
  body_then_cloud.origin = -0.25 * body_then_cloud.direction;

  ShadingCase head_on_then_cloud = body_then_cloud;
  head_on_then_cloud.what = "red head-on, then cloud: throughput 0 still adds the cloud";
  head_on_then_cloud.direction = {0, -1, 0};
  head_on_then_cloud.origin = {0, 0.2, 0};

  ShadingCase body_then_body = body_then_cloud;
  body_then_body.what = "red, then red: the second term weighted by the first fresnel";
  body_then_body.ceiling_id = kRed;
  body_then_body.seed = 1.6f;

  const Vec3 cloud_normal = normalized({-0.4, 1, 0.3});
  ShadingCase cloud_rim = onto_plane("cloud before 45 s: with the rim light", kCloud, cloud_normal, 0.3, 30);
  cloud_rim.floor_extra = 0.7f;
  ShadingCase cloud_45 = cloud_rim;
  cloud_45.what = "cloud at 45 s exactly: no rim light";
  cloud_45.time = 45;
  ShadingCase cloud_late = onto_plane("cloud just before 45 s, other normal", kCloud, normalized({0.5, 1, 0}), 0.6, 44.99f);
  cloud_late.floor_extra = 0.3f;

  ShadingCase cloud_inside;
  cloud_inside.what = "cloud hit from inside before 45 s: fresnel above 1";
  cloud_inside.floor_id = kCloud;
  cloud_inside.floor_extra = 0.5f;
  cloud_inside.origin = {0, -0.15, 0};
  cloud_inside.direction = normalized({0.2, 1, -0.3});

  ShadingCase miss_late;
  miss_late.what = "miss after 80 s";
  miss_late.time = 90;
  miss_late.direction = sky_dir;
  ShadingCase miss_early = miss_late;
  miss_early.what = "miss before 80 s";
  miss_early.time = 30;

  const auto r = check_against_reference({flat_then_miss, flat_inside, body_then_flat, body_then_cloud,
                                          head_on_then_cloud, body_then_body, cloud_rim, cloud_45, cloud_late,
                                          miss_late, miss_early, cloud_inside});
  const double flat[3] = {0.5, 0.5, 0.25};
  // Flat, then a miss of the same ray: the backdrop of the primary direction
  // at full weight, after 128 crawling steps of the second march.
  const Vec3 sky = r[0].backdrop_primary;
  EXPECT_GT(sky.x + sky.y + sky.z, 0.01);
  EXPECT_NEAR(r[0].colour[0], flat[0] + sky.x, 1e-6);
  EXPECT_NEAR(r[0].colour[1], flat[1] + sky.y, 1e-6);
  EXPECT_NEAR(r[0].colour[2], flat[2] + sky.z, 1e-6);
  ASSERT_GE(r[0].call_count, 129);
  const int first_march = r[0].call_count - 128;
  const auto& again = r[0].calls[first_march].point;
  const auto& first = r[0].calls[0].point;
  EXPECT_EQ(again.x, first.x) << "the second march starts where the first did";
  EXPECT_EQ(again.y, first.y);
  EXPECT_EQ(again.z, first.z);
  // Flat twice, and a flat second hit after a body: exactly the flat colour.
  for (int i : {1, 2}) {
    for (int k = 0; k < 3; ++k) EXPECT_EQ(r[i].colour[k], static_cast<float>(flat[k])) << "case " << i;
  }
  // Head-on red and a cloud: the base colour plus the cloud term in full.
  EXPECT_GT(r[4].colour[2], 0.01) << "the cloud's violet is there";
  // The rim light stops at 45 s: the same hit loses exactly the rim term.
  const double f = std::pow(0.7, 0.6);
  EXPECT_NEAR(r[6].colour[0] - r[7].colour[0], 0.8 * std::pow(f, 12), 2e-6);
  EXPECT_NEAR(r[6].colour[1] - r[7].colour[1], 0.6 * std::pow(f, 12), 2e-6);
  EXPECT_NEAR(r[6].colour[2] - r[7].colour[2], 0.1 * std::pow(f, 12), 2e-6);
  // From inside the rim light exceeds (0.8, 0.6, 0.1).
  EXPECT_GT(r[11].colour[0], 0.8 + 0.2 * 0.5);
  EXPECT_GT(r[11].colour[1], 0.6);
  // Misses: the backdrop, black before 80 s.
  for (int k = 0; k < 3; ++k) EXPECT_EQ(r[10].colour[k], 0.0f);
}

TEST(ShadingLoop, OcclusionProbes) {
  // A red floor seen head-on under a red ceiling at height c: the probes at
  // 0.01, 0.03 and 0.1 along the normal read min(h, c - h), so each factor
  // exp2(min(0, D/h - 1)) is worked out by hand. Head-on the fresnel is 0:
  // the colour is the occlusion in red, and the reflection adds nothing.
  const struct {
    float ceiling;
    double exponent;  // log2 of the occlusion
  } table[] = {
      {0.015f, -0.5 - 1.5 - 1.85},     // all three probes at or past the ceiling
      {0.05f, 0 - 1.0 / 3.0 - 1.5},    // the first probe in free space
      {0.15f, 0 + 0 - 0.5},            // only the last probe sees the ceiling
      {0, 0},                          // no ceiling: nothing occludes
  };
  std::vector<ShadingCase> cases;
  for (const auto& row : table) {
    ShadingCase c;
    c.what = "head-on under a ceiling";
    c.floor_id = kRed;
    c.ceiling_id = row.ceiling > 0 ? kRed : 0;
    c.ceiling_height = row.ceiling;
    c.origin = {0.01, 0.1 + 0.5 * row.ceiling, -0.02};
    c.direction = {0, -1, 0};
    cases.push_back(c);
  }
  const auto r = check_against_reference(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("ceiling at " + std::to_string(table[i].ceiling));
    EXPECT_NEAR(r[i].colour[0], std::exp2(table[i].exponent), 2e-5);
    EXPECT_NEAR(r[i].colour[1], 0.0, 1e-6);
  }
}

TEST(ShadingLoop, ProbePlacesAndOrder) {
  // After the first march's hit come the four normal probes at hit + o1..o4,
  // then the occlusion probes at hit + n * (0.01, 0.03, 0.1), then the
  // reflected march from hit + 0.001 * r, starting 0.1 along r.
  const Vec3 n = normalized({0.3, 1, -0.2});
  ShadingCase c = onto_plane("red on a tilted plane", kRed, n, 0.5, 30);
  const auto r = film_test::run_shading_cases({c});
  const auto& calls = r[0].calls;
  // The hit is the first call whose distance is below 0.0001 of its t.
  std::size_t hit = 0;
  for (; hit < calls.size(); ++hit) {
    const double t = film_test::length(calls[hit].point - c.origin);
    if (calls[hit].distance < 0.0001 * t) break;
  }
  ASSERT_LT(hit + 8, calls.size());
  const Vec3 p = calls[hit].point;
  const double s = 0.002;
  const Vec3 offsets[7] = {{s, -s, -s}, {-s, -s, s}, {-s, s, -s}, {s, s, s}, 0.01 * n, 0.03 * n, 0.1 * n};
  for (int k = 0; k < 7; ++k) {
    SCOPED_TRACE("probe " + std::to_string(k + 1));
    expect_near(calls[hit + 1 + k].point, p + offsets[k], 2e-6, "probe point");
  }
  const Vec3 d = r[0].final_dir;
  expect_near(r[0].final_origin, p + 0.001 * d, 2e-6, "reflected origin");
  expect_near(calls[hit + 8].point, p + 0.101 * d, 2e-6, "first step of the reflected march");
}

TEST(ShadingLoop, SeedFromTheFragmentCentre) {
  // shade() seeds the generator from the fragment centre's bits and the
  // time; a reflective hit draws once (+0.2) and uses that draw. The colour
  // is the gathered one fogged towards the background by distance.
  std::vector<ShadingCase> cases;
  const float times[] = {30.3f, 61.85f, 90.0f};
  for (float t : times) {
    ShadingCase c = onto_plane("shade() on a red plane", kRed, normalized({0.3, 1, -0.2}), 0.5, t);
    c.full_shade = true;
    c.screen_x = 0.3f;
    c.screen_y = -0.2f;
    cases.push_back(c);
  }
  const auto r = film_test::run_shading_cases(cases);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("t = " + std::to_string(times[i]));
    const float seed = film_test::shade_seed(static_cast<float>(i) + 0.5f, 0.5f, times[i]);
    ShadingReference reference(cases[i], r[i].backdrop_primary, r[i].backdrop_final);
    const auto want = reference.run(seed);
    EXPECT_NEAR(r[i].seed_after, (seed + 0.1f) + 0.1f, 2e-6 * std::max(1.0f, seed));
    expect_near(r[i].final_dir, want.final_dir, 2e-5, "final ray_dir");
    const double d = want.primary_dist;
    const double fog = 1 - std::exp(-2e-5 * d * d * d);
    const Vec3 expected = film_test::mix(want.radiance, r[i].background, fog);
    expect_near({r[i].colour[0], r[i].colour[1], r[i].colour[2]}, expected, 5e-5, "shaded colour");
  }
}

TEST(ShadingLoop, NormalOfFourEqualProbesStaysFinite) {
  // A floor pierced by a glowing sphere: the ray comes straight down beside
  // the sphere and hits the floor at the origin with glow_dist still 0.0007
  // above it; the first normal probe, hit + (0.002, -0.002, -0.002), lies
  // 0.00276 inside the sphere, below every probe's floor distance, so all
  // four probes read that running minimum and their weighted sum is exactly
  // zero. The surface is then taken as facing the ray, (0, 1, 0) here: a red
  // floor reflects straight up (jittered), where the negative running
  // glow_dist is a flat hit at once; a cloud floor gives its yellow end.
  const double o1_length = 0.002 * std::sqrt(3.0);
  const double radius = 0.1, centre_distance = radius + 0.0007;
  const double k = centre_distance / o1_length;
  std::vector<ShadingCase> cases;
  for (float id : {kRed, kCloud}) {
    for (float t : {30.0f, 90.0f}) {
      for (bool full : {false, true}) {
        ShadingCase c;
        c.what = full ? "shade()" : "trace_radiance()";
        c.time = t;
        c.floor_id = id;
        c.floor_extra = 0.6f;
        c.origin = {0, 0.5, 0};
        c.direction = {0, -1, 0};
        c.glow_centre = {0.002 * k, -0.002 * k, -0.002 * k};
        c.glow_radius = static_cast<float>(radius);
        c.full_shade = full;
        cases.push_back(c);
      }
    }
  }
  const auto r = film_test::run_shading_cases(cases);
  const double inside = (k - 1) * o1_length - radius;  // the glow distance all probes read
  ASSERT_LT(inside, -0.002);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(std::string(cases[i].what) + (cases[i].floor_id == kRed ? " red" : " cloud") + " at " +
                 std::to_string(cases[i].time) + " s");
    const auto& calls = r[i].calls;
    // The hit on the floor, then four probes that agree exactly.
    std::size_t hit = 0;
    while (hit < calls.size() && calls[hit].distance >= 0.0001 * (0.5 - calls[hit].point.y)) ++hit;
    ASSERT_LT(hit + 4, calls.size());
    EXPECT_NEAR(calls[hit].point.y, 0.0, 1e-4);
    for (int p = 2; p <= 4; ++p) EXPECT_EQ(calls[hit + p].distance, calls[hit + 1].distance);
    EXPECT_NEAR(calls[hit + 1].distance, inside, 2e-5);
    for (int ch = 0; ch < 4; ++ch) EXPECT_TRUE(std::isfinite(r[i].colour[ch])) << "channel " << ch;
    EXPECT_TRUE(std::isfinite(r[i].final_dir.x) && std::isfinite(r[i].final_dir.y) && std::isfinite(r[i].final_dir.z));
    if (cases[i].full_shade) continue;
    if (cases[i].floor_id == kRed) {
      EXPECT_EQ(r[i].colour[0], 0.5f);
      EXPECT_EQ(r[i].colour[1], 0.5f);
      EXPECT_EQ(r[i].colour[2], 0.25f);
      EXPECT_GT(r[i].final_dir.y, 0.9) << "reflected upwards";
    } else {
      EXPECT_NEAR(r[i].colour[0], 0.2 * 0.6, 1e-6);
      EXPECT_NEAR(r[i].colour[1], 0.2 * 0.6, 1e-6);
      EXPECT_NEAR(r[i].colour[2], 0.0, 1e-6);
    }
  }
  check_against_reference({cases[0], cases[2], cases[4], cases[6]});
}

}  // namespace
