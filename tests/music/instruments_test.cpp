// The instruments' edge cases: silence before note-on even where the gate's
// exponential overflows, the attack, the gate factor, the noise hit's shape,
// and the kick and impact outside their windows. Expectations are the
// instruments' defining formulas recomputed in C++ double precision, or
// values that follow from them directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "gl_test_environment.h"
#include "kernels.h"

INTRO_TEST_GL_ENVIRONMENT;

namespace {

using music_test::evaluate;
using music_test::glsl_float;
using music_test::series;

constexpr double kPi = 3.14159;  // the shader's own value of pi

// The eight-partial voice in double precision, straight from its table.
double partial_voice(double freq, double t, double decay) {
  static const double m[8] = {2, 4.02, 6.02, 8.02, 10.02, 12.02, 16.02, 18.02};
  static const double a[8] = {0.7, 0.2, 0.2, 0.16, 0.13, 0.1, 0.09, 0.07};
  static const double d[8] = {0.0035, 0.0055, 0.0075, 0.009, 0.0105, 0.0135, 0.015, 0.0165};
  const double fs = 440.0 * std::pow(freq / 440.0, 1.003);
  const double c = std::sin(2 * kPi * fs * t) * (0.2 + 0.8 * std::max(0.0, 6.0 - 0.01 * fs)) * std::exp(-0.2 * fs * t);
  double r = 0;
  for (int k = 0; k < 8; ++k) r += a[k] * std::sin(m[k] * kPi * fs * t + c) * std::exp(-d[k] * fs * t * decay);
  return r * std::clamp(t / 0.004, 0.0, 1.0);
}

std::string call(const char* name, std::initializer_list<double> args) {
  std::string s = std::string(name) + "(";
  bool first = true;
  for (double a : args) {
    s += (first ? "" : ", ") + glsl_float(a);
    first = false;
  }
  return s + ")";
}

// Before note-on every tonal voice is exactly 0, for any frequency, decay
// and gate; far before it the modulation's and the gate's exponentials
// overflow, and still nothing non-finite escapes.
TEST(Instruments, SilentBeforeNoteOnWithoutNonFiniteValues) {
  std::vector<std::string> expressions;
  for (double freq : {32.703, 87.307, 293.665, 4000.0}) {
    for (double t : {0.0, -1e-7, -0.1, -0.56, -5.0, -1000.0}) {
      for (double decay : {0.0, 1.0}) expressions.push_back(call("partial_voice", {freq, t, decay}));
      // Gate and slope of the lead, the bass and the arpeggio.
      expressions.push_back(call("partial_voice_gated", {freq, t, 1.6, -90.0}));
      expressions.push_back(call("partial_voice_gated", {freq, t, 1.8, -10.0}));
      expressions.push_back(call("partial_voice_gated", {freq, t, 0.1, -8.0}));
    }
  }
  // The lead's own worst case: half a second before its note-on the gate's
  // exponential is exp(194), beyond the float range.
  expressions.push_back(call("partial_voice_gated", {293.665, -0.5556, 1.6, -90.0}));
  const auto out = evaluate(expressions);
  for (std::size_t i = 0; i < out.size(); ++i) {
    EXPECT_TRUE(std::isfinite(out[i])) << expressions[i];
    EXPECT_EQ(out[i], 0.0f) << expressions[i];
  }
}

// The linear 4 ms attack and the sustained and decaying partials, against
// the double-precision voice.
TEST(Instruments, PartialVoiceMatchesItsDefinition) {
  struct Row { double freq, t, decay, tolerance; };
  const std::vector<Row> rows = {
      {293.665, 0.0005, 0.0, 1e-4}, {293.665, 0.001, 0.0, 1e-4}, {293.665, 0.002, 0.0, 1e-4},
      {293.665, 0.003, 0.0, 1e-4},  {293.665, 0.004, 0.0, 1e-4}, {32.703, 0.001, 0.0, 1e-4},
      {32.703, 0.0035, 0.0, 1e-4},  {32.703, 3.0, 0.0, 5e-3},    {110.0, 20.0, 0.0, 2e-2},
      {293.665, 0.5, 1.0, 2e-3},    {146.832, 1.0, 1.0, 2e-3},   {51.913, 0.3, 1.0, 1e-3},
  };
  std::vector<std::string> expressions;
  for (const Row& r : rows) expressions.push_back(call("partial_voice", {r.freq, r.t, r.decay}));
  const auto out = evaluate(expressions);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_NEAR(out[i], partial_voice(rows[i].freq, rows[i].t, rows[i].decay), rows[i].tolerance) << expressions[i];
  }
}

// The attack as a ratio: with decay 0, the value at t over the full-level
// tone at t is t/0.004 during the attack and 1 from 0.004 on.
TEST(Instruments, AttackRisesLinearlyOverFourMilliseconds) {
  const double freq = 293.665;
  const std::vector<double> times = {0.0004, 0.001, 0.002, 0.0036, 0.004, 0.0041, 0.02};
  std::vector<std::string> expressions;
  for (double t : times) expressions.push_back(call("partial_voice", {freq, t, 0.0}));
  const auto out = evaluate(expressions);
  for (std::size_t i = 0; i < times.size(); ++i) {
    const double full_level = partial_voice(freq, times[i], 0.0) / std::min(1.0, times[i] / 0.004);
    ASSERT_GT(std::fabs(full_level), 0.05) << "a time where the tone is near a zero crossing says little";
    EXPECT_NEAR(out[i] / full_level, std::min(1.0, times[i] / 0.004), 2e-4) << "t = " << times[i];
  }
}

// The gate factor is 1 up to the gate and exp(slope * (t - gate)) after it.
TEST(Instruments, GatedVoiceReleasesAfterItsGate) {
  struct Row { double freq, t, gate, slope, factor; };
  const std::vector<Row> rows = {
      {293.665, 0.5, 1.6, -90.0, 1.0},
      {293.665, 1.6, 1.6, -90.0, 1.0},
      {293.665, 1.6 + 1.0 / 90.0, 1.6, -90.0, std::exp(-1.0)},
      {51.913, 1.8, 1.8, -10.0, 1.0},
      {51.913, 1.9, 1.8, -10.0, std::exp(-1.0)},
      {36.708, 0.35, 0.1, -8.0, std::exp(-2.0)},
  };
  std::vector<std::string> expressions;
  for (const Row& r : rows) {
    expressions.push_back(call("partial_voice_gated", {r.freq, r.t, r.gate, r.slope}));
    expressions.push_back(call("partial_voice", {r.freq, r.t, 1.0}));
  }
  const auto out = evaluate(expressions);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const float gated = out[2 * i], plain = out[2 * i + 1];
    ASSERT_GT(std::fabs(plain), 1e-3) << expressions[2 * i];
    if (rows[i].factor == 1.0) {
      EXPECT_EQ(gated, plain) << expressions[2 * i];
    } else {
      EXPECT_NEAR(gated / plain, rows[i].factor, 2e-4 * rows[i].factor + 1e-5) << expressions[2 * i];
    }
  }
}

TEST(Instruments, NoiseHitShape) {
  // The shape factor from its definition: re-triggered burst held up by
  // 18 t, plus the triangle of height 3 centred on 0.1 s.
  auto shape = [](double t) {
    return std::max(std::exp(-(120 * t - std::floor(120 * t))), std::min(18 * t, 1.0)) +
           3 * std::clamp(1 - 10 * std::fabs(6 * t - 0.6), 0.0, 1.0);
  };
  const std::vector<double> times = {0.0, 0.005, 0.0123, 0.04, 0.06, 0.09, 0.1, 0.105, 0.2, 0.5};
  std::vector<std::string> expressions = {"noise_hit(0.0)", "noise_hit_shape(0.1)"};
  for (double t : times) expressions.push_back(call("noise_hit_shape", {t}));
  const auto out = evaluate(expressions);
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_FLOAT_EQ(out[1], 4.0f) << "the shape factor at 0.1 s";
  for (std::size_t i = 0; i < times.size(); ++i) {
    EXPECT_NEAR(out[i + 2], shape(times[i]), 2e-5) << "shape at t = " << times[i];
  }
}

// Bounds of the hit over its whole course, sampled at the song's rate: below
// 0.98 everywhere, largest within the first millisecond, and below 0.037 on
// the lifted tail around 100 ms.
TEST(Instruments, NoiseHitStaysWithinItsBounds) {
  const int count = 24500;  // one beat
  const auto hit = series("noise_hit(float(i) / 44100.0)", count);
  float peak = 0, tail_peak = 0;
  int peak_at = 0;
  for (int i = 0; i < count; ++i) {
    ASSERT_TRUE(std::isfinite(hit[i]));
    if (std::fabs(hit[i]) > peak) peak = std::fabs(hit[i]), peak_at = i;
    const double t = i / 44100.0;
    if (t > 0.0833 && t < 0.1167) tail_peak = std::max(tail_peak, std::fabs(hit[i]));
  }
  EXPECT_LT(peak, 0.98f);
  EXPECT_GT(peak, 0.5f);
  EXPECT_LE(peak_at, 44) << "the largest values lie in the first millisecond";
  EXPECT_LT(tail_peak, 0.037f);
  EXPECT_GT(tail_peak, 0.005f) << "the tail is lifted around 100 ms";
}

TEST(Instruments, KickIsSilentOutsideItsWindow) {
  std::vector<std::string> expressions;
  for (double t : {0.0, -1e-6, -1.0, -1000.0, 4.0, 4.0001, 5.0, 1e6}) {
    for (double freq : {32.703, 4400.0}) expressions.push_back(call("kick", {t, freq}));
  }
  const auto out = evaluate(expressions);
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_EQ(out[i], 0.0f) << expressions[i];

  // Just below t = 4 the hit ends from at most 4 e^2 + 0.1 e with e the
  // envelope's end value exp(-10 sqrt(2.5) / 5).
  const double e = std::exp(-10 * std::sqrt(2.5) / 5);
  const auto end = evaluate({call("kick", {3.9999, 32.703}), call("kick", {3.99, 32.703}), call("kick", {0.5, 32.703})});
  EXPECT_LE(std::fabs(end[0]), 4 * e * e + 0.1 * e + 1e-5);
  EXPECT_LE(std::fabs(end[1]), 4 * e * e + 0.1 * e + 1e-4);
  EXPECT_GT(std::fabs(end[2]), 0.1f) << "inside its window the kick sounds";
}

// Inside its window the kick's tone is the square-root sweep, overdriven
// fourfold and clipped: clamp(4 e sin(2 pi freq w), -1, 1) e with w =
// sqrt(0.625 t) / 5 and e = exp(-10 w), a square wave of height e while
// 4 e > 1 (t < 0.769) and a sine under 4 e^2 after. The click does not
// depend on the frequency, so kick(t, freq) - kick(t, 0) is the tone alone;
// the click, kick(t, 0), lies in [0, 0.1 e). Both the drum's C1 and the
// impact's 4,400 Hz, over the whole hit.
TEST(Instruments, KickSweepsAndClipsInsideItsWindow) {
  const int count = 4000;
  const std::string t = "((float(i) + 0.5) * 0.001)";
  const auto click = series("kick(" + t + ", 0.0)", count);
  struct Row { double freq; double tolerance; };
  const std::vector<Row> rows = {{32.703195662574829, 2e-5}, {4400.0, 1e-3}};
  for (const Row& r : rows) {
    const std::string freq = glsl_float(r.freq);
    const auto tone = series("kick(" + t + ", " + freq + ") - kick(" + t + ", 0.0)", count);
    int clipped = 0, under_4e2 = 0, worst = 0;
    double worst_error = 0;
    for (int i = 0; i < count; ++i) {
      const double ti = static_cast<float>((i + 0.5) * 0.001);
      const double w = std::sqrt(0.625 * ti) / 5.0;
      const double e = std::exp(-10.0 * w);
      const double drive = 4.0 * e * std::sin(2.0 * kPi * static_cast<float>(r.freq) * w);
      const double expected = std::clamp(drive, -1.0, 1.0) * e;
      if (std::fabs(drive) >= 1.0) ++clipped;
      if (ti > 0.77) ++under_4e2;
      const double error = std::fabs(tone[i] - expected);
      if (error > worst_error) worst_error = error, worst = i;
    }
    EXPECT_LE(worst_error, r.tolerance) << "freq " << r.freq << ", worst at t = " << (worst + 0.5) * 0.001
                                        << ": " << tone[worst];
    EXPECT_GT(clipped, 50) << "the clipped start is covered";
    EXPECT_GT(under_4e2, 3000) << "the 4 e^2 region is covered";
  }
  float largest_click = 0;
  for (int i = 0; i < count; ++i) {
    const double w = std::sqrt(0.625 * static_cast<float>((i + 0.5) * 0.001)) / 5.0;
    const double e = std::exp(-10.0 * w);
    EXPECT_GE(click[i], 0.0f) << "i = " << i;
    EXPECT_LT(click[i], 0.1 * e + 1e-6) << "i = " << i;
    largest_click = std::max(largest_click, static_cast<float>(click[i] / e));
  }
  EXPECT_GT(largest_click, 0.09f) << "the click spans its range";
}

// The noise hit's body: 0.9 h1 exp(-60 t) + 0.01 h2 exp(-4 t) + 0.1
// sin(2400 t) exp(-60 t) min(1, 5000 t), times the shape. The two noise
// values h1 = sin_hash(237.234 t) and h2 = sin_hash(437.234 t) rest on the
// GPU's sin, so they are read from the math library at the same float t;
// everything else is recomputed here. Sampled at the song's rate over the
// first 0.6 s of the hit, a little longer than a beat's 0.556 s.
TEST(Instruments, NoiseHitBodyMatchesItsDefinition) {
  const int count = 26460;
  const std::string t = "(float(i) / 44100.0)";
  const auto hit = series("noise_hit(" + t + ")", count);
  const auto h1 = series("sin_hash(237.234 * " + t + ")", count);
  const auto h2 = series("sin_hash(437.234 * " + t + ")", count);
  double worst_error = 0;
  int worst = 0, compared = 0;
  for (int i = 0; i < count; ++i) {
    const double ti = static_cast<float>(i / 44100.0);
    // The burst's sawtooth restarts where 120 t is whole; float and double
    // may see either side of it there.
    const double saw = 120.0 * ti - std::floor(120.0 * ti);
    if (saw < 1e-4 || saw > 1.0 - 1e-4) continue;
    const double shape = std::max(std::exp(-saw), std::min(18.0 * ti, 1.0)) +
                         3.0 * std::clamp(1.0 - 10.0 * std::fabs(6.0 * ti - 0.6), 0.0, 1.0);
    const double body = 0.9 * h1[i] * std::exp(-60.0 * ti) + 0.01 * h2[i] * std::exp(-4.0 * ti) +
                        0.1 * std::sin(2400.0 * ti) * std::exp(-60.0 * ti) * std::min(1.0, 5000.0 * ti);
    const double expected = body * shape;
    const double error = std::fabs(hit[i] - expected) - 1e-5 * std::fabs(expected);
    ++compared;
    if (error > worst_error) worst_error = error, worst = i;
  }
  EXPECT_GT(compared, count - 100);
  EXPECT_LT(worst_error, 1e-7) << "error beyond float rounding, worst at sample " << worst << ": " << hit[worst];
}

TEST(Instruments, ImpactIsZeroBeforeAndHoldsAfterThreeSeconds) {
  std::vector<std::string> expressions = {"impact(3.0)"};
  for (double t : {0.0, -1e-6, -1.0, -1e6, 3.0, 3.0001, 5.0, 40.0, 1e6}) expressions.push_back(call("impact", {t}));
  const auto out = evaluate(expressions);
  const float held = out[0];
  EXPECT_NE(held, 0.0f);
  EXPECT_LT(std::fabs(held), 2.8e-4f);
  for (std::size_t i = 1; i <= 4; ++i) EXPECT_EQ(out[i], 0.0f) << expressions[i];
  for (std::size_t i = 5; i < out.size(); ++i) EXPECT_EQ(out[i], held) << expressions[i];
}

// Largest magnitude about 0.093, in the first lobe near 68 ms.
TEST(Instruments, ImpactPeaksInItsFirstLobe) {
  const int count = 3 * 44100;
  const auto sweep = series("impact(float(i) / 44100.0)", count);
  float peak = 0;
  int peak_at = 0;
  for (int i = 0; i < count; ++i) {
    ASSERT_TRUE(std::isfinite(sweep[i]));
    if (std::fabs(sweep[i]) > peak) peak = std::fabs(sweep[i]), peak_at = i;
  }
  EXPECT_NEAR(peak, 0.093, 0.006);
  EXPECT_NEAR(peak_at / 44100.0, 0.068, 0.015);
}

}  // namespace
