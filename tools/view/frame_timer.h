#pragma once
// GPU time of the two passes of the intro's frame through GL_TIME_ELAPSED
// queries, read one frame late so that the host never waits for them.
#include "gl.h"

namespace view {

struct FrameTimer {
  bool enabled = false;
  GLuint queries[2][2] = {{0, 0}, {0, 0}};   // [slot][scene, post]
  bool pending[2] = {false, false};
  int next = 0;
  double scene_ms = -1, post_ms = -1;
};

void frame_timer_init(FrameTimer& t, bool available);
void frame_timer_shutdown(FrameTimer& t);
// Brackets one pass; `pass` is 0 (scene) or 1 (post).
void frame_timer_begin(FrameTimer& t, int pass);
void frame_timer_end(FrameTimer& t);
// After both passes: moves to the other slot and collects what is ready.
void frame_timer_frame_done(FrameTimer& t);

}  // namespace view
