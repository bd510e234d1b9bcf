// The arrangement term by term. song_sample runs with recording stand-ins in
// place of its instruments (song_calls.h), which report each call's
// arguments and the factor its result enters the mix with; these are
// compared with the score's terms recomputed in double precision
// (arrangement_model.h): notes, clocks, gates and releases, gains and
// envelopes. Instants near a clock's wrap are avoided where float and double
// clocks could fall on different sides of it; onsets and switches are
// checked on runs of consecutive samples instead.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "arrangement_model.h"
#include "gl_test_environment.h"
#include "song_calls.h"
#include "song_export.h"

INTRO_TEST_GL_ENVIRONMENT;

namespace {

using music_test::arrangement_constant;
using music_test::arrangement_terms;
using music_test::Call;
using music_test::CallKind;
using music_test::clear_index;
using music_test::index_range;
using music_test::match_terms;
using music_test::note_freq;
using music_test::record_song_calls;
using music_test::SampleCalls;
using music_test::terms_named;

constexpr double kRate = 44100.0;
constexpr double kBeatRate = 1.8;

std::vector<std::int64_t> clear_indices(const std::vector<double>& seconds) {
  std::vector<std::int64_t> out;
  for (double s : seconds) out.push_back(clear_index(s));
  return out;
}

// The named terms of the score, matched against the recorded calls at each
// index; one failure lists every unmatched term.
void expect_terms(const std::vector<std::int64_t>& indices, const std::vector<std::string>& names) {
  const std::vector<SampleCalls> recorded = record_song_calls(indices);
  std::string failures;
  for (const SampleCalls& s : recorded) failures += match_terms(terms_named(s.index, names), s);
  EXPECT_EQ(failures, "");
}

// The calls of one kind in a recorded sample, in call order.
std::vector<Call> calls_of(const SampleCalls& s, CallKind kind) {
  std::vector<Call> out;
  for (const Call& c : s.calls) {
    if (c.kind == kind) out.push_back(c);
  }
  return out;
}

// The recorder is the arrangement itself: with the stand-ins passing every
// call on, it gives the song's values (to float rounding); every sample makes the 21
// instrument calls and two fbm calls of the score, each of them one term of
// the score with its arguments and factor; nothing else enters the mix but
// the noise layers' offset, and the terms add up to the song's value.
TEST(Arrangement, EveryTermOfTheMixIsOneTermOfTheScore) {
  std::vector<std::int64_t> indices;
  for (double s = 0.7; s < 125.0; s += 2.93) indices.push_back(clear_index(s));
  const std::vector<SampleCalls> recorded = record_song_calls(indices);
  intro::SongRenderer renderer;
  std::string failures;
  for (const SampleCalls& s : recorded) {
    const float song = renderer.render(static_cast<std::size_t>(s.index), 1)[0];
    // Compiled apart from the song's own kernel, it may round the last bit
    // differently.
    EXPECT_NEAR(s.real_mix, song, 1e-6) << "sample " << s.index;
    ASSERT_EQ(s.calls.size(), 23u) << "sample " << s.index;
    const auto terms = arrangement_terms(s.index);
    ASSERT_EQ(terms.size(), 23u);
    failures += match_terms(terms, s);
    EXPECT_NEAR(s.silent_mix, arrangement_constant(s.index), 1e-6) << "sample " << s.index;
    // The mix is linear in the calls' results: their real values times
    // their factors, plus the offset, rebuild the song's value.
    double rebuilt = s.silent_mix;
    for (const Call& c : s.calls) rebuilt += c.coefficient * c.real_value;
    EXPECT_NEAR(rebuilt, song, 2e-6) << "sample " << s.index;
  }
  EXPECT_EQ(failures, "");
}

// Each pad's note and envelope through every window of the three pad
// envelopes: rises, holds, falls, the gaps between, and the end at 121 s.
TEST(Arrangement, PadsPlayTheirNotesUnderTheirEnvelopes) {
  const std::vector<double> seconds = {
      0.5,  1.5,  4.0,  10.0, 18.5, 30.0, 35.25, 35.5, 35.75, 36.5, 38.0,  40.25, 40.5, 40.75, 41.5, 45.0,
      50.5, 53.0, 55.3, 55.5, 55.7, 57.0, 65.0,  71.0, 72.5,  74.0, 76.0,  80.3,  80.5, 80.7,  82.0, 84.0,
      86.0, 87.5, 89.0, 92.0, 95.3, 95.5, 95.7,  97.0, 110.0, 120.9, 121.1, 123.0};
  expect_terms(clear_indices(seconds), {"pad 1 (C1)", "pad 2 (C2)", "pad 3 (A1)", "pad 4 (A2)", "pad 5 (B1)",
                                        "pad 6 (B2)", "pad 7 (C1)", "pad 8 (D2)"});
}

// melody_level: 0.7 until 25 s, the fall to 0.5 at 50 s, the plateau, the
// rise from 78 s to 0.65 at 82 s, held to the end; melody_entry's 0.1 s
// ramp at 4 s on the long and the sub note, not on the lead.
TEST(Arrangement, MelodyLevelAndEntryShapeTheMelodicVoices) {
  const std::vector<double> seconds = {0.6,  2.0,  3.95, 4.005, 4.02, 4.05, 4.08, 4.1,  4.3,   10.0, 24.9,
                                       25.5, 30.0, 37.5, 45.0,  49.5, 50.5, 60.0, 77.8, 78.5,  79.3, 80.2,
                                       81.0, 81.6, 82.3, 90.0,  110.0, 121.5, 124.5};
  expect_terms(clear_indices(seconds), {"lead", "long note", "sub note"});
}

// The arpeggio's notes, clocks, gate and release: its step order over a
// 20-beat cycle (0 from 80 s, 1 from 81.481 s, 2 from 85.185 s, 0 from
// 88.889 s), both onset clocks through a beat and a half, and a gain of 0
// outside 80 s to 121 s.
TEST(Arrangement, ArpeggioStepsAndClocks) {
  std::vector<double> seconds = {79.9, 80.05, 80.3, 81.3, 81.6, 83.0, 85.1, 85.3, 87.0,
                                 88.8, 89.0,  92.5, 100.0, 110.0, 120.9, 121.1, 124.0};
  for (int j = 0; j < 15; ++j) seconds.push_back((150.03 + 0.1 * j) / kBeatRate);
  expect_terms(clear_indices(seconds), {"arp low", "arp high"});
}

// The arpeggio switches on at sample 3,528,000 (80 s) and off after sample
// 5,336,100 (121 s) from one sample to the next, at its full 0.15 at once:
// no ramp. (One sample either way is float rounding of the clock.)
TEST(Arrangement, ArpeggioSwitchesWithoutARamp) {
  for (std::int64_t edge : {std::int64_t{3528000}, std::int64_t{5336101}}) {
    const bool switching_on = edge == 3528000;
    for (const SampleCalls& s : record_song_calls(index_range(edge - 40, 80))) {
      std::vector<Call> arp;
      for (const Call& c : calls_of(s, CallKind::partial_voice_gated)) {
        if (std::fabs(c.args[2] - 0.1f) < 1e-6f && c.args[3] == -8.0f) arp.push_back(c);
      }
      ASSERT_EQ(arp.size(), 2u) << "sample " << s.index;
      if (std::llabs(s.index - edge) <= 1) continue;
      const bool on = switching_on ? s.index > edge : s.index < edge;
      for (const Call& c : arp) EXPECT_NEAR(c.coefficient, on ? 0.15 : 0.0, 1e-7) << "sample " << s.index;
    }
  }
}

// The arpeggio's onsets on runs of samples: the high voice's time wraps to
// 0 every half beat (12,250 samples), the low voice's every three quarters
// of a beat from beat 0.25 on (6,125 + 18,375 n), both in beats.
TEST(Arrangement, ArpeggioOnsetsFallOnTheirSamples) {
  struct Row { std::int64_t onset; int voice; };  // voice 0 low, 1 high
  const std::vector<Row> rows = {{3528000, 1}, {3528000 + 12250, 1}, {3528000 + 5 * 12250, 1},
                                 {6125 + 18375 * 192, 0}, {6125 + 18375 * 193, 0}, {6125 + 18375 * 250, 0}};
  const double beats_per_sample = kBeatRate / kRate;
  for (const Row& r : rows) {
    for (const SampleCalls& s : record_song_calls(index_range(r.onset - 3, 7))) {
      std::vector<Call> arp;
      for (const Call& c : calls_of(s, CallKind::partial_voice_gated)) {
        if (std::fabs(c.args[2] - 0.1f) < 1e-6f) arp.push_back(c);
      }
      ASSERT_EQ(arp.size(), 2u);
      const double t = arp[static_cast<std::size_t>(r.voice)].args[1];
      const double since = static_cast<double>(s.index - r.onset) * beats_per_sample;
      const double period = r.voice == 1 ? 0.5 : 0.75;
      // Before the onset the note in progress is about to wrap; after it the
      // new note's time counts from 0. At the onset sample either is fine.
      if (s.index == r.onset) continue;
      const double expected = s.index > r.onset ? since : period + since;
      EXPECT_NEAR(t, expected, beats_per_sample) << "onset " << r.onset << ", sample " << s.index;
    }
  }
}

// The three impacts in the mix: each term's time is the song time less its
// start, 80.5 s, 86.5 s and 119.5 s, with gains 4, 5 and 6 under
// groove_gate; held after three seconds and cut with the groove at 121 s.
TEST(Arrangement, ImpactsEnterTheMixAtTheirTimesAndGains) {
  const std::vector<double> seconds = {45.0, 79.0, 80.4, 80.6, 81.0, 82.0, 83.4, 83.6, 86.4, 86.6,
                                       88.0, 90.0, 100.0, 119.4, 119.6, 120.5, 120.9, 121.1, 124.0};
  expect_terms(clear_indices(seconds), {"impact 1", "impact 2", "impact 3"});
}

// The start samples 3,550,050, 3,814,650 and 5,269,950: the impact's time is
// (sample - start) / 44,100 to within a sample (float rounding of the clock), so impact(t <= 0) keeps
// it silent up to its start sample and it sounds from the next.
TEST(Arrangement, ImpactsStartOnTheirSamples) {
  const std::vector<std::int64_t> starts = {3550050, 3814650, 5269950};
  const std::vector<double> gains = {4, 5, 6};
  for (std::size_t j = 0; j < starts.size(); ++j) {
    for (const SampleCalls& s : record_song_calls(index_range(starts[j] - 3, 7))) {
      const std::vector<Call> impacts = calls_of(s, CallKind::impact);
      ASSERT_EQ(impacts.size(), 3u);
      const Call& c = impacts[j];
      EXPECT_NEAR(c.args[0], static_cast<double>(s.index - starts[j]) / kRate, 1.0 / kRate)
          << "impact " << j + 1 << ", sample " << s.index;
      EXPECT_NEAR(c.coefficient, gains[j], 1e-5) << "impact " << j + 1 << ", sample " << s.index;
    }
  }
}

// Main kick, accent kick and beat noise: time arguments (3.6 per beat from
// beats 4n + 2 and 16n + 1; seconds since each beat), the kicks' pitch C1,
// the gains 0.7, 0.2 and 0.1 under groove_gate's rise from 44 s to 50 s and
// its end at 121 s. The instants sample every phase of a 16-beat cycle.
TEST(Arrangement, KicksAndBeatNoiseFollowTheirClocksAndGains) {
  std::vector<double> seconds = {20.0, 43.9, 44.5, 46.0, 47.0, 48.0, 49.5, 50.5, 120.9, 121.1, 124.0};
  for (int j = 0; j < 44; ++j) seconds.push_back((120.05 + 0.37 * j) / kBeatRate);
  expect_terms(clear_indices(seconds), {"main kick", "accent kick", "beat noise"});
}

// Onsets of the kicks on runs of samples: the main kick's time is 3.6 beats
// per beat since 49,000 + 98,000 n, the accent kick's since 24,500 +
// 392,000 n.
TEST(Arrangement, KicksStartOnTheirSamples) {
  struct Row { std::int64_t onset; double gain; };
  const std::vector<Row> rows = {{49000 + 98000 * 25, 0.7}, {49000 + 98000 * 40, 0.7},
                                 {24500 + 392000 * 6, 0.2}, {24500 + 392000 * 12, 0.2}};
  const double per_sample = 3.6 * kBeatRate / kRate;
  for (const Row& r : rows) {
    for (const SampleCalls& s : record_song_calls(index_range(r.onset - 3, 7))) {
      bool found = false;
      for (const Call& c : calls_of(s, CallKind::kick)) {
        if (std::fabs(c.coefficient - r.gain) > 1e-5) continue;
        found = true;
        EXPECT_FLOAT_EQ(c.args[1], static_cast<float>(note_freq(24)));
        // The clock crosses 0 at the onset (it wraps two beats before the
        // main kick's onset and one before the accent's).
        EXPECT_NEAR(c.args[0], static_cast<double>(s.index - r.onset) * per_sample, per_sample)
            << "onset " << r.onset << ", sample " << s.index;
      }
      EXPECT_TRUE(found) << "no kick with gain " << r.gain << " at sample " << s.index;
    }
  }
}

// The two noise layers: fbm at (100 t, 100 t, 100 t) and (1000 t, 1000 t,
// 1000 t), gains 0.1 and 0.04 times noise_swell (0.5 + 0.2 sin t) under
// groove_gate, and the offset of 2 fbm - 1, which remains in the mix with
// fbm read as 0.
TEST(Arrangement, NoiseLayersFollowTheSwell) {
  const std::vector<double> seconds = {30.0, 44.5, 47.0, 50.5, 53.0, 55.0, 58.0, 61.0, 64.0,
                                       70.0, 80.0, 95.0, 110.0, 120.9, 121.1};
  const std::vector<std::int64_t> indices = clear_indices(seconds);
  expect_terms(indices, {"low noise", "high noise"});
  for (const SampleCalls& s : record_song_calls(indices)) {
    EXPECT_NEAR(s.silent_mix, arrangement_constant(s.index), 1e-6) << "sample " << s.index;
  }
}

}  // namespace
