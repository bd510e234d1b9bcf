// Glow halo and lens flare as functions of the real shader: the halo's gain
// per shot, the halo's colour by distance, the flare's light and gain in
// each time window, and the ghosts, spots and attenuation of the flare,
// against the formulas computed here in double precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "film_gl.h"
#include "reduced_scene.h"

namespace {

using film_test::CaseInput;

CaseInput at(float t, float a0 = 0, float a1 = 0, float a2 = 0, float a3 = 0) {
  CaseInput c;
  c.time = t;
  c.a[0] = a0, c.a[1] = a1, c.a[2] = a2, c.a[3] = a3;
  return c;
}

double impulse(double x) { return x * std::exp(1 - x); }

// The halo's gain by the cut list: the impulse before the first cut, 0.2 in
// shot 16 (35 to 45 s), 0.8 in every other shot.
double halo_gain_reference(double t) {
  if (t < 15) return 0.2 + 0.5 * impulse(std::max(0.0, 1.5 * (t - 7)));
  if (t >= 35 && t < 45) return 0.2;
  return 0.8;
}

TEST(Glow, HaloGainPerShot) {
  const struct {
    float t;
    double reference;  // a value given with the formula; < 0: none
  } table[] = {{0, 0.2},      {6.99f, 0.2},  {7.5f, -1},  {7.0f + 2.0f / 3.0f, 0.7}, {10, 0.268},
               {12, 0.206},   {14.99f, 0.2001}, {15, 0.8}, {30, 0.8},               {34.99f, 0.8},
               {35, 0.2},     {40, 0.2},     {44.99f, 0.2}, {45, 0.8},              {80, 0.8},
               {124, 0.8}};
  intro::Kernel kernel(film_test::case_kernel("    camera(vec3(0.0));\n    r = vec4(halo_gain(), float(shot), 0.0, 0.0);\n"));
  std::vector<CaseInput> inputs;
  for (const auto& row : table) inputs.push_back(at(row.t));
  const auto r = film_test::run_cases(kernel, inputs);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE("t = " + std::to_string(table[i].t));
    EXPECT_NEAR(r[i][0], halo_gain_reference(table[i].t), 2e-6);
    if (table[i].reference >= 0) EXPECT_NEAR(r[i][0], table[i].reference, 0.0006);
  }
}

TEST(Glow, HaloColourByDistance) {
  // gain * (exp(-10 d) (1, 0.2, 0, 0) + exp(-50 d) (1, 0.9, 0, 0)), with the
  // reference values per unit of gain.
  const struct {
    float gain, dist;
    double red, green;  // per unit gain, from the reference values; < 0: none
  } table[] = {{1, 0, 2, 1.1}, {1, 0.02f, 1.19, 0.49}, {1, 0.1f, 0.37, 0.08}, {1, 0.3f, 0.05, 0.01},
               {0.2f, 0.05f, -1, -1}, {0.8f, -0.01f, -1, -1}, {0.8f, 1e9f, 0, 0}};
  intro::Kernel kernel(film_test::case_kernel("    r = glow_halo(a.x, a.y);\n"));
  std::vector<CaseInput> inputs;
  for (const auto& row : table) inputs.push_back(at(50, row.gain, row.dist));
  const auto r = film_test::run_cases(kernel, inputs);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE("gain " + std::to_string(table[i].gain) + ", distance " + std::to_string(table[i].dist));
    const double g = table[i].gain, d = table[i].dist;
    const double wide = std::exp(-10 * d), narrow = std::exp(-50 * d);
    EXPECT_NEAR(r[i][0], g * (wide + narrow), 2e-6 * std::max(1.0, g * (wide + narrow)));
    EXPECT_NEAR(r[i][1], g * (0.2 * wide + 0.9 * narrow), 2e-6 * std::max(1.0, g * (wide + narrow)));
    EXPECT_EQ(r[i][2], 0.0f);
    EXPECT_EQ(r[i][3], 0.0f) << "alpha is left alone";
    if (table[i].red >= 0) {
      EXPECT_NEAR(r[i][0], table[i].red * g, 0.006);
      EXPECT_NEAR(r[i][1], table[i].green * g, 0.006);
    }
  }
}

// The flare's light (x, y) and gain by the windows, from the halo's gain:
// the rise between 20 and 35 s, +1 in shot 16, 0 outside the windows and at
// 15 s and 20 s exactly.
struct FlareLight {
  double x, y, gain;
};
FlareLight flare_light_reference(double t) {
  const double halo = halo_gain_reference(t);
  double gain = halo;
  if (t > 20 && t < 35) gain += std::pow(0.05 * 0.1 * (t - 20), 2);
  const bool shot16 = t >= 35 && t < 45;
  if (shot16) gain += 1;
  if (t < 15) return {0.4, 0.1, gain};
  if (t > 15 && t < 20) return {0.05, -0.1 + 0.01 * (t - 15), gain};
  if (t > 20 && t < 35) return {0.05, 0.7 - 0.2 * 0.1 * (t - 20), gain};
  const double ramp = 0.01 * (t - 35);
  if (shot16) return {-0.05 + ramp, 0.1 + ramp, gain};
  return {0, 0, 0};
}

TEST(Flare, LightAndGainInEachWindow) {
  const float times[] = {0, 7.5f, 14.99f, 15, 16, 19.99f, 20, 21, 27.5f, 34.99f, 35, 40, 44.99f, 45, 60, 100};
  intro::Kernel kernel(film_test::case_kernel("    camera(vec3(0.0));\n    r = flare_light(halo_gain());\n"));
  std::vector<CaseInput> inputs;
  for (float t : times) inputs.push_back(at(t));
  const auto r = film_test::run_cases(kernel, inputs);
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE("t = " + std::to_string(times[i]));
    const FlareLight e = flare_light_reference(times[i]);
    EXPECT_NEAR(r[i][0], e.x, 2e-6);
    EXPECT_NEAR(r[i][1], e.y, 2e-6);
    EXPECT_EQ(r[i][2], 0.0f);
    EXPECT_NEAR(r[i][3], e.gain, 2e-6);
  }
  // Reference points of the path: shot 0 ends at y = -0.05, 20-35 s sinks
  // from 0.7 to 0.4, shot 16 drifts from (-0.05, 0.1) to (0.05, 0.2).
  EXPECT_NEAR(r[5][1], -0.05, 0.0002);
  EXPECT_NEAR(r[7][1], 0.68, 1e-5);
  EXPECT_NEAR(r[9][1], 0.4, 0.0003);
  EXPECT_NEAR(r[9][3], 0.8 + 0.005625, 0.0001);
  EXPECT_NEAR(r[12][0], 0.05, 0.0002);
  EXPECT_NEAR(r[12][1], 0.2, 0.0002);
}

// The flare of the pixel at screen point p with the light at l, before the
// gain, with the ghosts' two hash values as the GPU computes them.
struct Rgb {
  double r, g, b;
};
Rgb flare_reference(double px, double py, double lx, double ly, const std::vector<double>& offset_hash,
                    const std::vector<double>& exponent_hash, double* unclamped_red = nullptr) {
  double fr = 0.08 + (0.04 - 0.08) * py, fg = 0.06 + (0.1 - 0.06) * py, fb = 0.001 + (0.16 - 0.001) * py;
  for (int g = 0; g < 10; ++g) {
    const double offset = 3 * offset_hash[g] - 0.5;
    const double exponent = 4 * exponent_hash[g] + 0.1;
    const double disc = 20 * std::max(0.01 - std::pow(std::hypot(px + offset * lx, py + offset * ly), exponent), 0.0);
    const double spot = 0.2 * std::max(0.01 / std::hypot(px - 0.6 * offset * lx, py - 0.6 * offset * ly), 0.0);
    const double haze = 0.01 * 2 * std::max(0.1 / std::pow(std::hypot(px - lx, py - ly), 0.2), 0.0) - 0.01;
    fr += (disc + spot) * (0.5 + 0.5 * std::cos(3.25 + 4 * offset)) + haze;
    fg += (disc + spot) * (0.5 + 0.5 * std::cos(1.92 + 4 * offset)) + haze;
    fb += (disc + spot) * (0.5 + 0.5 * std::cos(1.6 + 4 * offset)) + haze;
  }
  // The attenuation measures from the target's 0-to-1 coordinates.
  const double ux = (720 * px + 1280) / 2560, uy = (py + 1) / 2;
  const double attenuation = std::exp(1 - std::hypot(ux - lx, uy - ly));
  if (unclamped_red) *unclamped_red = fr * attenuation;
  auto sat = [](double x) { return std::min(1.0, std::max(0.0, x)); };
  return {0.4 * sat(fr * attenuation), 0.02 * sat(fg * attenuation), 0.0 * sat(fb * attenuation)};
}

TEST(Flare, GhostsSpotsAndAttenuation) {
  // The ghosts' hash values, through the same expressions the flare loop
  // uses (the shader's sine decides them).
  // A loop of the same shape, so that a compiler that unrolls and folds the
  // flare's loop does the same here.
  intro::Kernel hashes(film_test::case_kernel(
      "    for (float ghost = 0.0; ghost < 10.0; ghost += 1.0) {\n"
      "        if (ghost == a.x) r = vec4(sin_hash(200.0 * ghost), sin_hash(ghost), 0.0, 0.0);\n"
      "    }\n"));
  std::vector<CaseInput> ghost_inputs;
  for (int g = 0; g < 10; ++g) ghost_inputs.push_back(at(0, static_cast<float>(g)));
  const auto h = film_test::run_cases(hashes, ghost_inputs);
  std::vector<double> offset_hash, exponent_hash;
  for (const auto& v : h) {
    offset_hash.push_back(v[0]);
    exponent_hash.push_back(v[1]);
  }
  EXPECT_EQ(3 * offset_hash[0] - 0.5, -0.5) << "ghost 0 sits at offset -0.5";
  EXPECT_EQ(4 * exponent_hash[0] + 0.1, 0.1) << "with exponent 0.1";

  // Pixels near each ghost's disc (-offset * L) and spot (0.6 offset * L),
  // near the light, and across the picture, for three lights.
  intro::Kernel kernel(film_test::case_kernel(
      "    vec3 uv = vec3((720.0 * a.x + 1280.0) / 2560.0, (a.y + 1.0) / 2.0, 0.0);\n"
      "    r = vec4(lens_flare(vec3(a.xy, a.y), uv, vec3(b.xy, 0.0)), 0.0);\n"));
  const double lights[3][2] = {{0.4, 0.1}, {0.05, 0.6}, {-0.03, 0.15}};
  std::vector<CaseInput> inputs;
  for (const auto& l : lights) {
    std::vector<std::pair<double, double>> points = {{l[0] + 0.02, l[1] - 0.01}, {-1.5, -0.7}, {1.2, 0.6}, {0, 0}, {0.7, -0.4}};
    for (int g = 0; g < 10; ++g) {
      const double offset = 3 * offset_hash[g] - 0.5;
      points.push_back({-offset * l[0] + 0.004, -offset * l[1] - 0.003});
      points.push_back({0.6 * offset * l[0] + 0.01, 0.6 * offset * l[1] + 0.007});
    }
    for (const auto& p : points) {
      if (std::fabs(p.second) > 0.75 || std::fabs(p.first) > 16.0 / 9.0) continue;
      CaseInput c = at(10, static_cast<float>(p.first), static_cast<float>(p.second));
      c.b[0] = static_cast<float>(l[0]);
      c.b[1] = static_cast<float>(l[1]);
      inputs.push_back(c);
    }
  }
  int in_range = 0;
  for (std::size_t first = 0; first < inputs.size(); first += film_test::kMaxCases) {
    const std::vector<CaseInput> chunk(inputs.begin() + first,
                                       inputs.begin() + std::min(inputs.size(), first + film_test::kMaxCases));
    const auto r = film_test::run_cases(kernel, chunk);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
      const CaseInput& c = chunk[i];
      SCOPED_TRACE("pixel (" + std::to_string(c.a[0]) + ", " + std::to_string(c.a[1]) + "), light (" +
                   std::to_string(c.b[0]) + ", " + std::to_string(c.b[1]) + ")");
      double red = 0;
      const Rgb e = flare_reference(c.a[0], c.a[1], c.b[0], c.b[1], offset_hash, exponent_hash, &red);
      EXPECT_NEAR(r[i][0], e.r, 4e-5);
      EXPECT_NEAR(r[i][1], e.g, 2e-6);
      EXPECT_EQ(r[i][2], 0.0f) << "the flare adds no blue";
      if (red > 0.02 && red < 0.98) ++in_range;
    }
  }
  EXPECT_GT(in_range, static_cast<int>(inputs.size()) / 3) << "most pixels must lie below the saturation";
}

TEST(ScenePass, HaloAndFlareGainsInTheWholePass) {
  // The scene pass over a reduced scene (a glowing sphere at the origin) on
  // a grid of pixels around the picture's centre, against a zero previous
  // frame (blend weight 0): saturate(shaded colour + halo with the halo's
  // gain + flare with the flare's gain and light). The shaded colour and the
  // flare's shape come from the kernel's own shade() and lens_flare(), run
  // again after the pass; the gains and the light from the tables here.
  intro::Kernel kernel(film_test::reduced_scene_program(
      "layout(location = 2) uniform float pass_time;\n"
      "layout(location = 3) uniform vec2 light;\n"
      "void main()\n{\n"
      "    ivec2 cell = ivec2(gl_FragCoord.xy);\n"
      "    vec2 frag = vec2(420.0, 250.0) + 60.0 * vec2(cell) + 0.5;\n"
      "    vec3 screen = (2.0 * frag.xyy - resolution.xyy) / resolution.y;\n"
      "    vec3 uv = frag.xyy / resolution.xyy;\n"
      "    scene_time = pass_time;\n"
      "    glow_sphere = vec4(0.0, 0.0, 0.0, 0.15);\n"
      "    case_base = -1;\n"
      "    vec4 pass = scene_pass(screen, uv);\n"
      "    float glow_after = glow_dist;\n"
      "    glow_dist = 1e9;\n"
      "    primary_dist = 1e9;\n"
      "    shot = -1;\n"
      "    camera(screen);\n"
      "    scene_setup();\n"
      "    vec4 shaded = shade(screen);\n"
      "    vec3 flare = lens_flare(screen, uv, vec3(light, 0.0));\n"
      "    int k = 8 * (cell.y * 8 + cell.x);\n"
      "    snd[k] = pass.rg;\n"
      "    snd[k + 1] = vec2(pass.b, glow_after);\n"
      "    snd[k + 2] = shaded.rg;\n"
      "    snd[k + 3] = vec2(shaded.b, 0.0);\n"
      "    snd[k + 4] = flare.rg;\n"
      "    snd[k + 5] = vec2(flare.b, 0.0);\n"
      "    f = pass;\n"
      "}\n"));
  const std::uint16_t zero[4] = {0, 0, 0, 0};
  const film_test::PreviousFrame previous(zero);
  int with_halo = 0, with_flare = 0;
  for (float t : {10.0f, 17.0f, 27.5f, 40.0f, 60.0f}) {
    SCOPED_TRACE("t = " + std::to_string(t));
    const FlareLight light = flare_light_reference(t);
    const double halo_gain = halo_gain_reference(t);
    intro::StorageBuffer out(8 * 4 * 8 * 2, 0.0f);
    kernel.run(8, 4, [&] {
      glUniform1f(2, t);
      glUniform2f(3, static_cast<float>(light.x), static_cast<float>(light.y));
      previous.bind();
    });
    const auto v = out.read(0, 8 * 4 * 8 * 2);
    for (int cell = 0; cell < 32; ++cell) {
      const float* s = &v[cell * 16];
      const double glow = s[3];
      const double halo[3] = {halo_gain * (std::exp(-10 * glow) + std::exp(-50 * glow)),
                              halo_gain * (0.2 * std::exp(-10 * glow) + 0.9 * std::exp(-50 * glow)), 0};
      for (int ch = 0; ch < 3; ++ch) {
        const double pass = ch < 2 ? s[ch] : s[2];
        const double shaded = ch < 2 ? s[4 + ch] : s[6];
        const double flare = ch < 2 ? s[8 + ch] : s[10];
        const double expected = std::min(1.0, std::max(0.0, shaded + halo[ch] + light.gain * flare));
        EXPECT_NEAR(pass, expected, 3e-5) << "cell " << cell << ", channel " << ch;
      }
      if (halo[0] > 0.01) ++with_halo;
      if (light.gain * s[8] > 0.01) ++with_flare;
    }
  }
  EXPECT_GT(with_halo, 20) << "the halo must show in the grid";
  EXPECT_GT(with_flare, 20) << "the flare must show in the grid";
}

}  // namespace
