#pragma once
// The arrangement as the list of its terms, computed in double precision
// from the score: for one sample index, each instrument call the mix is made
// of (which instrument, its arguments) and the factor it enters the mix
// with (fixed gain times envelopes). Used to check the shader's recorded
// calls term by term.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "song_calls.h"

namespace music_test {

struct Term {
  std::string name;  // "lead", "pad 3 (A1)", "arp low", ...
  CallKind kind;
  int arg_count;
  std::array<double, 4> args;
  double coefficient;
};

struct Clocks {
  double k;            // sample_time, seconds
  double beat_pos;
  double cycle_beat;
  double pair_beat;
  double noise_swell;
  int bass_step;
  int arp_step;
};

struct Envelopes {
  double end_gate, melody_entry, melody_level, pad_env_1, pad_env_2, pad_env_3, groove_gate, arp_gate;
};

double note_freq(double n);
double ramp(double x);  // smoothstep(0, 1, x)
Clocks clocks_at(std::int64_t index);
Envelopes envelopes_at(double k);

// Every term of the mix at this sample, in the score's order.
std::vector<Term> arrangement_terms(std::int64_t index);
// The part of the mix that is no instrument's result: the noise layers'
// offset, 2 fbm - 1 read with fbm = 0.
double arrangement_constant(std::int64_t index);

// The terms with these names.
std::vector<Term> terms_named(std::int64_t index, const std::vector<std::string>& names);

// True when no clock of the score wraps and no step changes within a few
// samples of this index, so that float and double clocks agree; and the
// first such index at or after `index`.
bool clear_of_wraps(std::int64_t index);
std::int64_t clear_index(double seconds);

// Matches every expected term to a distinct recorded call of the same kind
// with the same arguments and coefficient, within float tolerances. Returns
// "" on success, otherwise a description of each term left unmatched with
// the calls of its kind.
std::string match_terms(const std::vector<Term>& expected, const SampleCalls& recorded);

}  // namespace music_test
