#include "frame_timer.h"

namespace view {
namespace {

// Reads a slot's results when they are ready, or waits for them when `wait`.
void collect(FrameTimer& t, int slot, bool wait) {
  if (!t.pending[slot]) return;
  if (!wait) {
    GLint ready = 0;
    glGetQueryObjectiv(t.queries[slot][1], GL_QUERY_RESULT_AVAILABLE, &ready);
    if (!ready) return;
  }
  GLuint64 scene = 0, post = 0;
  glGetQueryObjectui64v(t.queries[slot][0], GL_QUERY_RESULT, &scene);
  glGetQueryObjectui64v(t.queries[slot][1], GL_QUERY_RESULT, &post);
  t.scene_ms = scene * 1e-6;
  t.post_ms = post * 1e-6;
  t.pending[slot] = false;
}

}  // namespace

void frame_timer_init(FrameTimer& t, bool available) {
  t.enabled = available;
  if (t.enabled) glGenQueries(4, &t.queries[0][0]);
}

void frame_timer_shutdown(FrameTimer& t) {
  if (t.enabled) glDeleteQueries(4, &t.queries[0][0]);
  t.enabled = false;
}

void frame_timer_begin(FrameTimer& t, int pass) {
  if (!t.enabled) return;
  // A slot still waiting for its results is read now (it is a frame old).
  if (pass == 0) collect(t, t.next, true);
  glBeginQuery(GL_TIME_ELAPSED, t.queries[t.next][pass]);
}

void frame_timer_end(FrameTimer& t) {
  if (t.enabled) glEndQuery(GL_TIME_ELAPSED);
}

void frame_timer_frame_done(FrameTimer& t) {
  if (!t.enabled) return;
  t.pending[t.next] = true;
  t.next ^= 1;
  collect(t, t.next, false);
}

}  // namespace view
