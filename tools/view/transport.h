#pragma once
// The viewer's transport: where the intro's clock stands and what the keys
// do to it. Pure logic over sample positions, so that it can be tested
// without a window.
#include <cstdint>

#include "cut_table.h"

namespace view {

constexpr std::int32_t kFrameStep = kSampleRate / 60;   // one frame at 60 fps: 735 samples

struct Transport {
  std::int32_t position = 0;   // sample frames: the intro's `v`
  bool paused = false;
  bool loop = false;           // loop the cut that holds the position
};

// The sample position of a moment: round(seconds * 44,100), within [0, end].
std::int32_t position_of(double seconds);
double seconds_of(std::int32_t position);

// Moves the clock to `position` (clamped to [0, end]).
void transport_seek(Transport& t, std::int32_t position);
// Left/Right: by a number of seconds.
void transport_skip(Transport& t, double seconds);
// Page Down: the start of the next cut; in the last cut nothing changes.
void transport_next_cut(Transport& t);
// Page Up: the start of the cut in force, or of the one before it when the
// position is less than a second past that start (so that pressing twice
// walks back through the cuts, as a player's "previous track" does).
void transport_previous_cut(Transport& t);
// `,` and `.`: one frame back or forward.
void transport_step(Transport& t, int frames);
// Where playback has taken the clock: at the end of a looped cut it goes
// back to the cut's start, at the end of the song it stays at the end (the
// intro's clock freezes there).
void transport_advance(Transport& t, std::int32_t played_position);

}  // namespace view
