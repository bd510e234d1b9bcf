#pragma once
#include <cstdint>
#include <vector>

#include "intro_engine.h"

namespace intro {

// The clock of the headless renders: a moment in seconds is the sample
// position round(seconds * 44,100), never below 0.
std::int32_t sample_position(double seconds);

// Frames drawn before a single frame so that the frame blend has settled.
// Each frame keeps about half (0.51 at most) of the one before, so after 16
// frames the zeroed targets weigh 0.51^16 = 2e-5 of the result: about one
// step of the 16-bit stored target and far below a step of the 8-bit window.
constexpr int kDefaultWarmup = 16;

// The sample positions of a single frame at `seconds` after `warmup` frames
// at 60 fps: round((seconds - k/60) * 44,100) clamped at 0 for
// k = warmup, ..., 1, 0. The last entry is the frame itself.
std::vector<std::int32_t> frame_positions(double seconds, int warmup);

// Draws those frames, in order, on a fresh engine's targets (the engine must
// not have drawn before for the result to be reproducible).
void render_frame(IntroEngine& engine, double seconds, int warmup);

// Window image rows reordered top row first (GL gives bottom first), as
// video encoders and most image code expect.
std::vector<std::uint8_t> rows_top_first(const std::vector<std::uint8_t>& rgba, int width, int height);

// The window image as it shows on a display: the window's alpha is 0 (the
// shader leaves it so), which image viewers would take as fully transparent,
// so it is set opaque.
std::vector<std::uint8_t> opaque(std::vector<std::uint8_t> rgba);

// The film's 20 cuts (plus the opening set-up before them) with a moment
// inside each, for the benchmark and the contact sheet.
struct CutMoment {
  int shot;
  double from, to;  // the cut's span in seconds
  double moment;    // a representative time inside it
};
const std::vector<CutMoment>& film_cuts();

}  // namespace intro
