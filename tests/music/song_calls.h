#pragma once
// The arrangement's own code with its instruments replaced by recording
// stand-ins: for chosen sample indices it reports every instrument (and fbm)
// call that song_sample makes, in order, with its arguments and the
// coefficient with which the call's result enters the mix. This takes the
// arrangement apart term by term without touching its source.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace music_test {

enum class CallKind { partial_voice = 1, partial_voice_gated, noise_hit, kick, impact, fbm };

const char* kind_name(CallKind kind);

struct Call {
  CallKind kind;
  // partial_voice (freq, t, decay); partial_voice_gated (freq, t, gate,
  // slope); noise_hit (t); kick (t, freq); impact (t); fbm (p.x, p.y, p.z).
  std::array<float, 4> args;
  float real_value;  // what the real instrument returns for these arguments
  // d mix / d (the call's result), read as the mix with this call returning
  // 1 less the mix with every call returning 0.
  double coefficient;
};

struct SampleCalls {
  std::int64_t index;
  std::vector<Call> calls;
  float silent_mix;  // the mix with every stand-in returning 0
  float real_mix;    // the mix with every stand-in passing to the real instrument
};

// Runs song_sample with recording stand-ins at each index.
std::vector<SampleCalls> record_song_calls(const std::vector<std::int64_t>& indices);

// Indices first, first + 1, ..., first + count - 1.
std::vector<std::int64_t> index_range(std::int64_t first, int count);

}  // namespace music_test
