// The arrangement as properties of the rendered song: silence, pitch, onsets,
// the end gate, finiteness and levels. The whole song is rendered once
// through the export's kernel; every expectation comes from the arrangement's
// description (onset samples, pitches, levels), never from rendered output.
#include <fftw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "gl_test_environment.h"
#include "intro_engine.h"
#include "kernels.h"
#include "song_export.h"

INTRO_TEST_GL_ENVIRONMENT;

namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kBeat = 24500;  // samples per beat at 108 per minute

// The whole buffer's worth of song, rendered on first use.
const std::vector<float>& song() {
  static const std::vector<float> values = intro::SongRenderer().render(0, intro::kAudioFrames);
  return values;
}

double note_freq(double n) { return 440.0 * std::pow(2.0, (n - 69.0) / 12.0); }
// The sounding fundamental: the stretched frequency times the rate of the
// voice's time argument (1 for seconds, 1.8 for beats).
double sounding(double n, double time_rate) { return 440.0 * std::pow(note_freq(n) / 440.0, 1.003) * time_rate; }

// Amplitude of the component at `freq` in song[first, first + count), Hann
// windowed and normalised so that a steady sine of amplitude A reads A.
double amplitude_at(std::size_t first, std::size_t count, double freq) {
  std::complex<double> sum = 0;
  double weight = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * M_PI * (i + 0.5) / count);
    sum += w * static_cast<double>(song()[first + i]) * std::polar(1.0, -2 * M_PI * freq * i / kRate);
    weight += w;
  }
  return 2 * std::abs(sum) / weight;
}

// The first index in [from, to) where the mix jumps by more than `threshold`
// from the sample before, or `to` if none does.
std::size_t first_jump(std::size_t from, std::size_t to, float threshold) {
  for (std::size_t i = from; i < to; ++i) {
    if (std::fabs(song()[i] - song()[i - 1]) > threshold) return i;
  }
  return to;
}

float peak(std::size_t from, std::size_t to) {
  float p = 0;
  for (std::size_t i = from; i < to; ++i) p = std::max(p, std::fabs(song()[i]));
  return p;
}

std::size_t at(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

TEST(Song, EveryValueIsFinite) {
  const auto& s = song();
  ASSERT_EQ(s.size(), intro::kAudioFrames);
  std::size_t bad = 0;
  for (float x : s) bad += std::isfinite(x) ? 0 : 1;
  EXPECT_EQ(bad, 0u);
}

// Nothing sounds before beat 1; the lead's first note starts at sample
// 24,500 (a float clock may put it one sample later).
TEST(Song, OpensWithSilenceUntilTheFirstLeadNote) {
  const auto& s = song();
  for (std::size_t i = 0; i < kBeat; ++i) ASSERT_EQ(s[i], 0.0f) << "sample " << i;
  EXPECT_TRUE(s[kBeat] != 0.0f || s[kBeat + 1] != 0.0f);
  // Its 4 ms attack: still small after 1 ms, at full level soon after 4 ms.
  EXPECT_LT(peak(kBeat, kBeat + 44), 0.1f);
  EXPECT_GT(peak(kBeat + 176, kBeat + 441), 0.2f);
}

// The lead's first note, alone until 1 s: the spectrum peaks at the
// stretched D4, 293.309 Hz (not the unstretched 293.665 Hz), with the second
// partial at 2.01 times it.
TEST(Song, LeadSoundsAtItsStretchedPitch) {
  const std::size_t first = kBeat + 441;  // past the attack and the modulation
  const int n = 16384;                    // ends before 1 s, when the pads begin
  std::vector<double> in(n);
  for (int i = 0; i < n; ++i) in[i] = song()[first + i] * (0.5 - 0.5 * std::cos(2 * M_PI * i / n));
  std::vector<fftw_complex> out(n / 2 + 1);
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), out.data(), FFTW_ESTIMATE);
  fftw_execute(plan);
  fftw_destroy_plan(plan);
  auto magnitude = [&](int k) { return std::log(std::hypot(out[k][0], out[k][1]) + 1e-30); };
  // The strongest bin within a band, refined by a parabola through its
  // neighbours' log magnitudes.
  auto peak_frequency = [&](double low, double high) {
    int best = static_cast<int>(low * n / kRate);
    for (int k = best; k <= static_cast<int>(high * n / kRate); ++k) {
      if (magnitude(k) > magnitude(best)) best = k;
    }
    const double a = magnitude(best - 1), b = magnitude(best), c = magnitude(best + 1);
    return (best + 0.5 * (a - c) / (a - 2 * b + c)) * kRate / n;
  };
  const double fundamental = sounding(62, 1.0);
  EXPECT_NEAR(fundamental, 293.309, 0.001);
  EXPECT_NEAR(peak_frequency(20, 2000), fundamental, 0.15);
  EXPECT_NEAR(peak_frequency(450, 750), 2.01 * fundamental, 0.3);
}

// The main kick hits at beats 4n + 2 (samples 49,000 + 98,000 n) from the
// hit after 44 s on, when groove_gate opens: its onset is a jump of the mix
// at that sample, with nothing comparable in the 2,000 samples before.
TEST(Song, MainKickStartsAtItsOnsetSamples) {
  struct Row { std::size_t onset; float threshold; };
  const std::vector<Row> rows = {
      {49000 + 98000 * 20, 0.06f},  // 45.56 s, groove_gate about 0.17: the first audible kick
      {49000 + 98000 * 22, 0.3f},   // 50 s, full groove
      {49000 + 98000 * 35, 0.3f},   // 79.00 s
      {49000 + 98000 * 53, 0.3f},   // 119.78 s, during the third impact
  };
  for (const Row& r : rows) {
    const std::size_t jump = first_jump(r.onset - 2000, r.onset + 3, r.threshold);
    EXPECT_TRUE(jump == r.onset || jump == r.onset + 1) << "kick at sample " << r.onset << ": first jump at " << jump;
  }
  // The hit before 44 s (43.33 s) is silent: groove_gate is still 0.
  const std::size_t silent = 49000 + 98000 * 19;
  EXPECT_EQ(first_jump(silent - 2000, silent + 2000, 0.03f), silent + 2000);
  // Beats 4n (no kick, only the beat noise) show no kick-sized jump.
  for (std::size_t beat : {92u, 100u, 140u}) {
    const std::size_t onset = beat * kBeat;
    EXPECT_EQ(first_jump(onset - 50, onset + 50, 0.2f), onset + 50) << "beat " << beat;
  }
}

// The bass pair plays a note per 2-beat chunk from each odd beat, pitched by
// the chunk's step (0, 0, 1, 2 for the chunks at beats 1, 3, 5, 7 of the
// cycle), the upper voice a major third above the lower, both timed in beats
// so that they sound 1.8 times their stretched pitch. In each held note
// (0.1 s to 0.84 s after the onset, past the phase-modulated attack and
// before the release) the chunk's own pitches stand out over the other
// steps' pitches. Before 44 s the groove, and with it the bass, is silent.
// From 80 s the arpeggio plays the lower voice's three pitches too, so there
// only the upper voice is told apart.
TEST(Song, BassNotesFollowTheStepsOfTheirChunks) {
  struct Row { int beat; int step; };
  const std::vector<Row> rows = {{99, 0}, {101, 1}, {103, 2}, {105, 0}, {107, 0}, {149, 1}, {199, 2}};
  const std::size_t skip = 4410, window = 32768;
  for (const Row& r : rows) {
    const std::size_t onset = static_cast<std::size_t>(r.beat) * kBeat;
    for (int base : {32, 28}) {  // upper, lower
      if (base == 28 && onset >= 80 * 44100) continue;
      const double held = amplitude_at(onset + skip, window, sounding(base + r.step, 1.8));
      EXPECT_GT(held, 0.06) << "beat " << r.beat << ", note " << base + r.step;
      for (int other = 0; other < 3; ++other) {
        if (other == r.step) continue;
        EXPECT_GT(held, 3 * amplitude_at(onset + skip, window, sounding(base + other, 1.8)))
            << "beat " << r.beat << ", note " << base + r.step << ": step " << r.step << " against " << other;
      }
    }
  }
  const std::size_t before_groove = 73 * kBeat;  // 40.6 s
  EXPECT_LT(amplitude_at(before_groove + skip, window, sounding(32, 1.8)), 0.005);
  EXPECT_LT(amplitude_at(before_groove + skip, window, sounding(28, 1.8)), 0.005);
}

// From the first sample after 121 s only the lead, the long note and the sub
// note remain: the mix equals a kernel that evaluates just those three terms
// as the arrangement describes them. Up to 121 s the rest still sounds.
TEST(Song, OnlyTheMelodicVoicesRemainAfter121Seconds) {
  const std::size_t gate = 5336100;  // 121 s exactly
  const std::size_t first = gate - 2000;
  const int count = static_cast<int>(intro::kAudioFrames - first);
  const std::string melodic =
      "melodic_only(" + std::to_string(first) + " + i)";
  const std::string kernel_functions = R"(
float melodic_only(int index)
{
    float k = float(index) / 44100.0;
    float b = k * 1.8;
    float level = 0.5 + 0.2 * smoothstep(0.0, 1.0, (k - 50.0) / -25.0) + 0.15 * smoothstep(0.0, 1.0, (k - 78.0) / 4.0);
    float entry = smoothstep(0.0, 1.0, (k - 4.0) / 0.1);
    float lead = partial_voice_gated(440.0 * pow(2.0, -7.0 / 12.0), (mod(b, 8.0) - 1.0) / 1.8, 1.6, -90.0);
    float long_note = partial_voice(440.0 * pow(2.0, -19.0 / 12.0), (mod(b, 34.0) - 0.95) / 1.8, 1.0);
    float sub_note = partial_voice_gated(440.0 * pow(2.0, -28.0 / 12.0), (mod(b, 8.0) - 1.2) / 4.0, 1.5, -90.0);
    return 0.4 * level * lead + 0.2 * level * entry * long_note + 0.3 * level * entry * sub_note;
}
)";
  // series() builds "void main" from one expression; the helper function
  // goes in front of it through the expression's own kernel.
  std::ostringstream main_text;
  main_text << kernel_functions << "void main() {\n  int i = int(gl_FragCoord.y) * 1024 + int(gl_FragCoord.x);\n"
            << "  f = vec4(" << melodic << ", 0.0, 0.0, 1.0);\n}\n";
  intro::Kernel kernel(intro::kernel_source(main_text.str()));
  const auto texels = kernel.run(1024, (count + 1023) / 1024);
  auto difference = [&](std::size_t index) { return std::fabs(song()[index] - texels[(index - first) * 4]); };

  std::size_t last_with_rest = 0;
  float largest_before = 0;
  for (std::size_t i = first; i < intro::kAudioFrames; ++i) {
    if (difference(i) > 1e-5f) last_with_rest = i;
    if (i <= gate) largest_before = std::max(largest_before, difference(i));
  }
  // The switch lies between samples 5,336,100 and 5,336,101 (one sample
  // either way is within float rounding of the clock).
  EXPECT_GE(last_with_rest, gate - 1);
  EXPECT_LE(last_with_rest, gate + 1);
  EXPECT_GT(largest_before, 0.05f) << "before the gate the groove, pads and arpeggio sound";
  // From about 124.1 s the mix stays below 0.002.
  EXPECT_LT(peak(at(124.1), intro::kAudioFrames), 0.002f);
  EXPECT_GT(peak(gate + 1, at(122.0)), 0.05f) << "the lead's last note rings on";
}

// Levels from the gain staging: about 0.35 in the opening (the lead, gain
// 0.28, is the loudest voice there), about 1.0 to 1.2 with the groove.
TEST(Song, LevelsFollowTheGainStaging) {
  EXPECT_NEAR(peak(kBeat, at(1.0)), 0.35, 0.05) << "the lead's first note alone";
  EXPECT_NEAR(peak(0, at(4.0)), 0.35, 0.05) << "the opening, before the other melodic voices enter";
  const float groove = peak(at(50.0), at(121.0));
  EXPECT_GT(groove, 0.9f);
  EXPECT_LT(groove, 1.4f);
}

// The intro's own frames store exactly what the export computes for the same
// sample indices. A viewport of 1280 x 90 keeps every band fragment inside
// the lower letterbox bar, so the frames run the real shader's audio band
// (band indices 105 to 20,074) without computing a picture.
TEST(Song, IntroFramesStoreTheExportedValues) {
  intro::EngineOptions options;
  options.viewport_height = 90;
  intro::IntroEngine engine(options);
  const std::size_t last_band_index = 210 * 89 + 1279 + 105;
  for (std::int32_t v : {0, 2205000, 3550000, 5400000}) {
    engine.fill_audio(std::nanf(""));
    engine.frame(v);
    const float* audio = engine.audio();
    std::size_t mismatches = 0;
    for (std::size_t index = v + 105; index <= v + last_band_index; ++index) {
      const float expected = song()[index];
      for (int channel = 0; channel < 2; ++channel) {
        const float stored = audio[2 * index + channel];
        if (std::memcmp(&stored, &expected, sizeof(float)) != 0) ++mismatches;
      }
    }
    EXPECT_EQ(mismatches, 0u) << "position " << v;
  }
}

}  // namespace
