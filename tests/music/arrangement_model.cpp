#include "arrangement_model.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace music_test {
namespace {

constexpr double kRate = 44100.0;
constexpr double kBeatRate = 1.8;

// GLSL mod: floor semantics.
double mod(double x, double y) { return x - y * std::floor(x / y); }
double fract(double x) { return x - std::floor(x); }

Term voice(const char* name, double freq, double t, double decay, double coefficient) {
  return {name, CallKind::partial_voice, 3, {freq, t, decay, 0}, coefficient};
}
Term gated(const char* name, double freq, double t, double gate, double slope, double coefficient) {
  return {name, CallKind::partial_voice_gated, 4, {freq, t, gate, slope}, coefficient};
}

enum class ArgKind { frequency, time, constant };

ArgKind arg_kind(CallKind kind, int i) {
  switch (kind) {
    case CallKind::partial_voice:
    case CallKind::partial_voice_gated:
      return i == 0 ? ArgKind::frequency : i == 1 ? ArgKind::time : ArgKind::constant;
    case CallKind::kick:
      return i == 0 ? ArgKind::time : ArgKind::frequency;
    default:
      return ArgKind::time;
  }
}

// Float clocks at song times up to 125 s agree with double ones to about
// 1e-4 in their own units; a frequency to a few parts in 1e7; constants
// exactly.
bool arg_close(ArgKind kind, double expected, double got) {
  const double d = std::fabs(expected - got);
  switch (kind) {
    case ArgKind::frequency: return d <= 1e-5 * std::fabs(expected);
    case ArgKind::time: return d <= 3e-4 + 3e-7 * std::fabs(expected);
    case ArgKind::constant: return d <= 1e-6 + 1e-6 * std::fabs(expected);
  }
  return false;
}

bool coefficient_close(double expected, double got) { return std::fabs(expected - got) <= 1e-5 + 1e-5 * std::fabs(expected); }

bool call_matches(const Term& t, const Call& c) {
  if (c.kind != t.kind) return false;
  for (int i = 0; i < t.arg_count; ++i) {
    if (!arg_close(arg_kind(t.kind, i), t.args[static_cast<std::size_t>(i)], c.args[static_cast<std::size_t>(i)])) return false;
  }
  return coefficient_close(t.coefficient, c.coefficient);
}

}  // namespace

double note_freq(double n) { return 440.0 * std::pow(2.0, (n - 69.0) / 12.0); }

double ramp(double x) {
  const double c = std::clamp(x, 0.0, 1.0);
  return c * c * (3.0 - 2.0 * c);
}

Clocks clocks_at(std::int64_t index) {
  Clocks c;
  c.k = static_cast<double>(index) / kRate;
  c.beat_pos = c.k * kBeatRate;
  c.cycle_beat = mod(c.beat_pos, 8.0);
  c.pair_beat = mod(c.beat_pos - 1.0, 2.0);
  c.noise_swell = 0.5 + 0.2 * std::sin(c.k);
  c.bass_step = static_cast<int>(std::floor(std::max(0.0, mod(c.beat_pos - c.pair_beat, 8.0) - 2.0) / 2.0));
  c.arp_step = static_cast<int>(std::floor(3.0 * fract(0.05 * c.beat_pos)));
  return c;
}

Envelopes envelopes_at(double k) {
  Envelopes e;
  e.end_gate = k <= 121.0 ? 1.0 : 0.0;
  e.melody_entry = ramp((k - 4.0) / 0.1);
  e.melody_level = 0.5 + 0.2 * ramp((k - 50.0) / -25.0) + 0.15 * ramp((k - 78.0) / 4.0);
  e.pad_env_1 = ramp((k - 1.0) / 35.0) * ramp((k - 41.0) / -1.0) + ramp((k - 50.0) / 6.0) * ramp((k - 81.0) / -1.0);
  e.pad_env_2 = ramp(k - 35.0) * ramp((k - 56.0) / -1.0) + ramp((k - 70.0) / 5.0) * ramp((k - 96.0) / -1.0);
  e.pad_env_3 = ramp((k - 85.0) / 5.0) * e.end_gate;
  e.groove_gate = ramp((k - 44.0) / 6.0) * e.end_gate;
  e.arp_gate = (k >= 80.0 ? 1.0 : 0.0) * e.end_gate;
  return e;
}

std::vector<Term> arrangement_terms(std::int64_t index) {
  const Clocks c = clocks_at(index);
  const Envelopes e = envelopes_at(c.k);
  const double b = c.beat_pos;
  const double level = e.melody_level;
  const double groove = e.groove_gate;
  const double pads_13 = std::min(1.0, e.pad_env_1 + e.pad_env_2);
  const double pads_23 = std::min(1.0, e.pad_env_2 + e.pad_env_3);
  const double k = c.k;
  std::vector<Term> t = {
      gated("lead", note_freq(62), (c.cycle_beat - 1.0) / kBeatRate, 1.6, -90.0, 0.4 * level),
      voice("long note", note_freq(50), (mod(b, 34.0) - 0.95) / kBeatRate, 1.0, 0.2 * level * e.melody_entry),
      gated("sub note", note_freq(41), (c.cycle_beat - 1.2) / 4.0, 1.5, -90.0, 0.3 * level * e.melody_entry),
      voice("pad 1 (C1)", note_freq(24), k, 0.0, 0.1 * e.pad_env_1),
      voice("pad 2 (C2)", note_freq(36), k, 0.0, 0.1 * e.pad_env_1),
      voice("pad 3 (A1)", note_freq(33), k, 0.0, 0.1 * pads_13),
      voice("pad 4 (A2)", note_freq(45), k, 0.0, 0.1 * pads_13),
      voice("pad 5 (B1)", note_freq(35), k, 0.0, 0.1 * pads_23),
      voice("pad 6 (B2)", note_freq(47), k, 0.0, 0.1 * pads_23),
      voice("pad 7 (C1)", note_freq(24), k, 0.0, 0.1 * e.pad_env_3),
      voice("pad 8 (D2)", note_freq(38), k, 0.0, 0.1 * e.pad_env_3),
      {"beat noise", CallKind::noise_hit, 1, {mod(b, 1.0) / kBeatRate, 0, 0, 0}, 0.1 * groove},
      {"main kick", CallKind::kick, 2, {(mod(b, 4.0) - 2.0) / 0.5 * kBeatRate, note_freq(24), 0, 0}, 0.7 * groove},
      {"accent kick", CallKind::kick, 2, {(mod(b, 16.0) - 1.0) / 0.5 * kBeatRate, note_freq(24), 0, 0}, 0.2 * groove},
      // 0.1 swell (2 fbm - 1): the factor on fbm is twice the layer's gain.
      {"low noise", CallKind::fbm, 3, {100.0 * k, 100.0 * k, 100.0 * k, 0}, 2.0 * 0.1 * c.noise_swell * groove},
      {"high noise", CallKind::fbm, 3, {1000.0 * k, 1000.0 * k, 1000.0 * k, 0}, 2.0 * 0.04 * c.noise_swell * groove},
      {"impact 1", CallKind::impact, 1, {k - 80.5, 0, 0, 0}, 4.0 * groove},
      {"impact 2", CallKind::impact, 1, {k - 86.5, 0, 0, 0}, 5.0 * groove},
      {"impact 3", CallKind::impact, 1, {k - 119.5, 0, 0, 0}, 6.0 * groove},
      gated("bass upper", note_freq(32 + c.bass_step), c.pair_beat, 1.8, -10.0, 0.2 * groove),
      gated("bass lower", note_freq(28 + c.bass_step), c.pair_beat, 1.8, -10.0, 0.2 * groove),
      gated("arp low", note_freq(26 + c.arp_step), mod(b - 0.25, 0.75), 0.1, -8.0, 0.15 * e.arp_gate),
      gated("arp high", note_freq(28 + c.arp_step), mod(b, 0.5), 0.1, -8.0, 0.15 * e.arp_gate),
  };
  return t;
}

double arrangement_constant(std::int64_t index) {
  const Clocks c = clocks_at(index);
  return -(0.1 + 0.04) * c.noise_swell * envelopes_at(c.k).groove_gate;
}

std::vector<Term> terms_named(std::int64_t index, const std::vector<std::string>& names) {
  std::vector<Term> out;
  for (const Term& t : arrangement_terms(index)) {
    if (std::find(names.begin(), names.end(), t.name) != names.end()) out.push_back(t);
  }
  return out;
}

bool clear_of_wraps(std::int64_t index) {
  const double margin = 1e-3;  // beats, about 14 samples; float clocks stray by 1e-4 at most
  const double b = static_cast<double>(index) * kBeatRate / kRate;
  const double k = static_cast<double>(index) / kRate;
  auto distance_to_multiple = [](double x, double period) {
    const double r = mod(x, period);
    return std::min(r, period - r);
  };
  // Every mod clock of the score wraps on a multiple of a quarter beat; the
  // arpeggio's step changes every 20/3 beats; two gates switch at 80 s and
  // 121 s.
  return distance_to_multiple(b, 0.25) >= margin && distance_to_multiple(b, 20.0 / 3.0) >= margin &&
         std::fabs(k - 80.0) >= margin && std::fabs(k - 121.0) >= margin;
}

std::int64_t clear_index(double seconds) {
  std::int64_t index = std::llround(seconds * kRate);
  while (!clear_of_wraps(index)) ++index;
  return index;
}

std::string match_terms(const std::vector<Term>& expected, const SampleCalls& recorded) {
  std::vector<bool> used(recorded.calls.size(), false);
  std::ostringstream report;
  report.precision(9);
  for (const Term& t : expected) {
    bool found = false;
    for (std::size_t i = 0; i < recorded.calls.size() && !found; ++i) {
      if (!used[i] && call_matches(t, recorded.calls[i])) used[i] = found = true;
    }
    if (found) continue;
    report << "sample " << recorded.index << " (" << recorded.index / kRate << " s): no call for " << t.name << " = "
           << kind_name(t.kind) << "(";
    for (int a = 0; a < t.arg_count; ++a) report << (a ? ", " : "") << t.args[static_cast<std::size_t>(a)];
    report << ") x " << t.coefficient << "; calls of that kind:";
    for (const Call& c : recorded.calls) {
      if (c.kind != t.kind) continue;
      report << "\n    (";
      for (int a = 0; a < t.arg_count; ++a) report << (a ? ", " : "") << c.args[static_cast<std::size_t>(a)];
      report << ") x " << c.coefficient;
    }
    report << "\n";
  }
  return report.str();
}

}  // namespace music_test
