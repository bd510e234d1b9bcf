#include "viewer.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "audio_out.h"
#include "cut_table.h"
#include "film_frames.h"
#include "frame_timer.h"
#include "gl.h"
#include "intro_engine.h"
#include "overlay.h"
#include "png_image.h"
#include "progress.h"
#include "shader_build.h"
#include "shader_folder.h"
#include "song_export.h"
#include "transport.h"
#include "view_window.h"

namespace view {
namespace {

// Everything the loop works on, one record for the run.
struct Viewer {
  ViewOptions options;
  ViewWindow window;
  AudioOut audio;
  bool have_audio = false;
  std::unique_ptr<intro::IntroEngine> engine;
  FrameTimer timer;
  Transport transport;

  // The clock without a sound device: wall time since `wall_base_ticks`
  // added to `wall_base_position`.
  Uint64 wall_base_ticks = 0;
  std::int32_t wall_base_position = 0;

  // Frames still to draw before the paused picture is settled; the clock
  // holds while they are drawn.
  std::vector<std::int32_t> settle;
  std::size_t settle_next = 0;
  int step_frames = 0;            // `.` while paused: frames to draw on top of the last
  bool screenshot_pending = false;
  bool overlay_visible = true;
  bool running = true;

  ShaderFolder good;              // the pieces of the program that plays
  std::string shader_error;
  std::string notice;
  int generation = 1;
  Uint64 last_watch_poll = 0;

  long frames_presented = 0;
  double fps = 0;
  Uint64 last_drawn_ticks = 0;
  std::uint32_t picture_hash = 0;
  std::string last_state;
};

double ticks_seconds(Uint64 ticks) { return static_cast<double>(ticks) / static_cast<double>(SDL_GetPerformanceFrequency()); }

// The song's values through the export program, with a progress bar.
std::vector<float> render_song(const std::string& library) {
  intro::Progress progress("song", intro::kAudioFrames, "frames");
  intro::SongRenderer renderer(library);
  std::vector<float> song = renderer.render(0, intro::kAudioFrames, [&](std::size_t done) { progress.update(done); });
  progress.finish();
  return song;
}

// The song export draws with its own program, framebuffer and storage
// buffer; the intro's storage binding and viewport are put back after it.
std::vector<float> render_song_keeping_state(const std::string& library) {
  GLint buffer = 0;
  GLint64 start = 0, size = 0;
  glGetIntegeri_v(GL_SHADER_STORAGE_BUFFER_BINDING, 0, &buffer);
  glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_START, 0, &start);
  glGetInteger64i_v(GL_SHADER_STORAGE_BUFFER_SIZE, 0, &size);
  std::vector<float> song = render_song(library);
  if (buffer != 0) glBindBufferRange(GL_SHADER_STORAGE_BUFFER, 0, static_cast<GLuint>(buffer), start, size);
  return song;
}

// --- clock ---------------------------------------------------------------

void clock_rebase(Viewer& v) {
  v.wall_base_ticks = SDL_GetPerformanceCounter();
  v.wall_base_position = v.transport.position;
  if (v.have_audio) audio_seek(v.audio, v.transport.position);
}

std::int32_t clock_played(const Viewer& v) {
  if (v.have_audio) return audio_position(v.audio);
  const double elapsed = ticks_seconds(SDL_GetPerformanceCounter() - v.wall_base_ticks);
  const double p = v.wall_base_position + elapsed * kSampleRate;
  return p >= kEndPosition ? kEndPosition : static_cast<std::int32_t>(p);
}

bool clock_holding(const Viewer& v) { return v.settle_next < v.settle.size(); }

void clock_run(Viewer& v, bool run) {
  if (run) clock_rebase(v);
  if (v.have_audio) audio_pause(v.audio, !run);
}

// --- what to draw --------------------------------------------------------

// A paused picture is drawn the way intro-render draws a single frame: the
// targets cleared, then the warm-up frames before the moment and the frame
// itself, so that it is the same image whatever was shown before.
void start_settle(Viewer& v) {
  v.settle = intro::frame_positions(seconds_of(v.transport.position), v.options.warmup);
  v.settle_next = 0;
  v.step_frames = 0;
  const std::uint16_t zero[4] = {0, 0, 0, 0};
  v.engine->fill_targets(zero);
}

// After the clock was moved by a key or the timeline.
void after_seek(Viewer& v) {
  if (v.transport.paused) {
    start_settle(v);
  } else {
    clock_rebase(v);
  }
}

void set_paused(Viewer& v, bool paused) {
  if (v.transport.paused == paused) return;
  v.transport.paused = paused;
  if (paused) {
    // The picture of the moment of pausing stays as it is.
    clock_run(v, false);
  } else {
    v.settle.clear();
    v.settle_next = 0;
    v.step_frames = 0;
    clock_run(v, true);
  }
}

void handle_key(Viewer& v, const SDL_KeyboardEvent& key) {
  const bool shift = (key.keysym.mod & KMOD_SHIFT) != 0;
  Transport& t = v.transport;
  switch (key.keysym.sym) {
    case SDLK_SPACE: set_paused(v, !t.paused); break;
    case SDLK_LEFT: transport_skip(t, shift ? -10.0 : -1.0); after_seek(v); break;
    case SDLK_RIGHT: transport_skip(t, shift ? 10.0 : 1.0); after_seek(v); break;
    case SDLK_PAGEUP: transport_previous_cut(t); after_seek(v); break;
    case SDLK_PAGEDOWN: transport_next_cut(t); after_seek(v); break;
    case SDLK_HOME: transport_seek(t, 0); after_seek(v); break;
    case SDLK_COMMA:
      if (t.paused) {
        transport_step(t, -1);
        start_settle(v);
      }
      break;
    case SDLK_PERIOD:
      if (t.paused && t.position < kEndPosition) {
        transport_step(t, 1);
        // Forward by one frame is the intro's next frame, drawn on the
        // picture shown; while a settle is under way it restarts there.
        if (clock_holding(v)) {
          start_settle(v);
        } else {
          v.step_frames += 1;
        }
      }
      break;
    case SDLK_l: t.loop = !t.loop; break;
    case SDLK_f: view_window_toggle_fullscreen(v.window); break;
    case SDLK_h: v.overlay_visible = !v.overlay_visible; break;
    case SDLK_ESCAPE:
    case SDLK_q: v.running = false; break;
    default: break;
  }
}

void handle_event(Viewer& v, const SDL_Event& e) {
  if (v.overlay_visible && overlay_event(e)) return;
  if (e.type == SDL_QUIT) v.running = false;
  if (e.type == SDL_KEYDOWN) handle_key(v, e.key);
  if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
    int w = 0, h = 0;
    view_window_drawable_size(v.window, w, h);
    if (w > 0 && h > 0 && (w != v.engine->window_width() || h != v.engine->window_height())) {
      v.engine->resize_window(w, h);
      if (v.transport.paused) start_settle(v);
    }
  }
}

// --- live editing --------------------------------------------------------

void poll_watch(Viewer& v) {
  if (v.options.watch.empty()) return;
  const Uint64 now = SDL_GetPerformanceCounter();
  if (ticks_seconds(now - v.last_watch_poll) < 0.25) return;
  v.last_watch_poll = now;
  if (!shader_folder_touched(v.good)) return;

  ShaderFolder next;
  std::string error;
  if (!shader_folder_load(next, v.options.watch, build_piece_names(), error)) {
    v.notice = error;  // a piece being saved; tried again at the next poll
    return;
  }
  v.notice.clear();
  const std::string source = shader_folder_source(next);
  if (source == shader_folder_source(v.good) && v.shader_error.empty()) {
    v.good = next;  // touched, not changed
    return;
  }
  GLuint program = 0;
  try {
    program = intro::compile_fragment_program(source);
  } catch (const std::exception& e) {
    v.shader_error = translate_log(e.what(), next.pieces);
    std::fprintf(stderr, "intro-view: the edited shader does not build; program %d plays on:\n%s\n", v.generation,
                 v.shader_error.c_str());
    // Remember the files' times so that the same broken text is not tried
    // again, but keep the good pieces for the music comparison.
    for (std::size_t i = 0; i < v.good.pieces.size() && i < next.pieces.size(); ++i) {
      v.good.pieces[i].mtime = next.pieces[i].mtime;
      v.good.pieces[i].size = next.pieces[i].size;
    }
    return;
  }
  const bool music = shader_folder_music_differs(v.good, next) != 0;
  v.engine->replace_program(program);
  v.generation += 1;
  v.shader_error.clear();
  std::fprintf(stderr, "intro-view: shader reloaded from %s (program %d)\n", v.options.watch.c_str(), v.generation);
  if (music) {
    std::fprintf(stderr, "intro-view: the music pieces changed; rendering the song again\n");
    try {
      audio_set_song(v.audio, render_song_keeping_state(shader_folder_library(next)));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "intro-view: the song could not be rendered: %s\n", e.what());
    }
  }
  v.good = next;
  if (v.transport.paused) start_settle(v);
}

// --- one turn of the loop ------------------------------------------------

void draw_intro_frame(Viewer& v, std::int32_t position) {
  glUseProgram(v.engine->program());
  glDisable(GL_BLEND);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_CULL_FACE);
  glDisable(GL_DEPTH_TEST);
  glActiveTexture(GL_TEXTURE0);
  glViewport(0, 0, v.engine->window_width(), v.engine->window_height());
  frame_timer_begin(v.timer, 0);
  v.engine->scene_pass(position);
  frame_timer_end(v.timer);
  frame_timer_begin(v.timer, 1);
  v.engine->post_pass(position);
  frame_timer_end(v.timer);
  frame_timer_frame_done(v.timer);

  const Uint64 now = SDL_GetPerformanceCounter();
  if (v.last_drawn_ticks != 0) {
    const double dt = ticks_seconds(now - v.last_drawn_ticks);
    if (dt > 0) v.fps = v.fps == 0 ? 1.0 / dt : 0.9 * v.fps + 0.1 / dt;
  }
  v.last_drawn_ticks = now;
  if (v.options.log_state) {
    // FNV-1a over the window picture, so that a log shows when it changes.
    const std::vector<std::uint8_t> pixels = v.engine->read_window();
    std::uint32_t h = 2166136261u;
    for (std::uint8_t b : pixels) h = (h ^ b) * 16777619u;
    v.picture_hash = h;
  }
}

// Draws the intro frame this turn needs, if any; returns whether it drew.
bool draw_turn(Viewer& v) {
  if (clock_holding(v)) {
    draw_intro_frame(v, v.settle[v.settle_next++]);
    if (!clock_holding(v) && !v.transport.paused) clock_run(v, true);
    return true;
  }
  if (!v.transport.paused) {
    const std::int32_t played = clock_played(v);
    transport_advance(v.transport, played);
    if (v.transport.position != played) clock_rebase(v);  // the loop went back
    draw_intro_frame(v, v.transport.position);
    return true;
  }
  if (v.step_frames > 0) {
    // Each step was already added to the position; draw them in order.
    const std::int32_t last = v.transport.position;
    for (int k = v.step_frames - 1; k >= 0; --k) draw_intro_frame(v, last - k * kFrameStep);
    v.step_frames = 0;
    return true;
  }
  return false;
}

int write_window_png(const std::string& path, int width, int height, double seconds) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  try {
    intro::write_png_rgba8(path, width, height, intro::opaque(pixels));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "intro-view: %s\n", e.what());
    return 0;
  }
  std::fprintf(stderr, "intro-view: %s: the window at %.4f s\n", path.c_str(), seconds);
  return 1;
}


OverlayView overlay_view(const Viewer& v) {
  OverlayView o;
  o.seconds = seconds_of(v.transport.position);
  o.cut = cut_at(o.seconds);
  o.shot = cut_shot(o.cut);
  o.paused = v.transport.paused;
  o.loop = v.transport.loop;
  o.fps = v.fps;
  o.timer_queries = v.timer.enabled;
  o.scene_ms = v.timer.scene_ms;
  o.post_ms = v.timer.post_ms;
  o.renderer = v.window.renderer;
  o.generation = v.generation;
  o.watch = v.options.watch;
  o.notice = v.notice;
  if (!v.have_audio) o.notice = o.notice.empty() ? "no sound device: silent, on the wall clock" : o.notice;
  if (clock_holding(v)) {
    o.notice = "settling the picture: frame " + std::to_string(v.settle_next + 1) + " of " + std::to_string(v.settle.size());
  }
  o.error = v.shader_error;
  return o;
}

void log_state(Viewer& v, double turn_ms) {
  const double seconds = seconds_of(v.transport.position);
  const int cut = cut_at(seconds);
  char line[256];
  std::snprintf(line, sizeof line,
                "state time=%.4f position=%d cut=%d shot=%d paused=%d loop=%d generation=%d settling=%d frames=%d "
                "picture=%08x",
                seconds, v.transport.position, cut, cut_shot(cut), v.transport.paused ? 1 : 0,
                v.transport.loop ? 1 : 0, v.generation, clock_holding(v) ? 1 : 0, v.engine->frame_counter(),
                v.picture_hash);
  if (v.last_state == line) return;
  v.last_state = line;
  std::printf("%s ms=%.1f\n", line, turn_ms);
  std::fflush(stdout);
}

void present(Viewer& v) {
  const int w = v.engine->window_width(), h = v.engine->window_height();
  glBindFramebuffer(GL_READ_FRAMEBUFFER, v.engine->window_framebuffer());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);

  const bool settled = !clock_holding(v);
  const double seconds = seconds_of(v.transport.position);
  if (v.screenshot_pending && settled) {
    if (!v.options.screenshot.empty() && !write_window_png(v.options.screenshot, w, h, seconds)) v.running = false;
  }
  if (v.overlay_visible) {
    double seek = 0;
    if (overlay_draw(overlay_view(v), seek)) {
      transport_seek(v.transport, position_of(seek));
      after_seek(v);
    }
  }
  if (v.screenshot_pending && settled) {
    if (!v.options.overlay_shot.empty() && !write_window_png(v.options.overlay_shot, w, h, seconds)) v.running = false;
    v.screenshot_pending = false;
    // A screenshot is a script's run: it ends here unless a frame count says otherwise.
    if (v.options.frames == 0) v.running = false;
  }
  SDL_GL_SwapWindow(v.window.window);
}

int start(Viewer& v) {
  const ViewOptions& o = v.options;
  std::string error;
  std::string source;
  if (!o.watch.empty()) {
    if (!shader_folder_load(v.good, o.watch, build_piece_names(), error)) {
      std::fprintf(stderr, "intro-view: %s\n", error.c_str());
      return 2;
    }
    source = shader_folder_source(v.good);
  }
  if (SDL_Init(0) != 0 || !view_window_init(v.window, o.width, o.height, o.fullscreen, error)) {
    std::fprintf(stderr, "intro-view: %s\n", error.c_str());
    return 1;
  }
  std::fprintf(stderr, "intro-view: %s, OpenGL %s\n", v.window.renderer.c_str(), v.window.version.c_str());

  try {
    audio_set_song(v.audio, render_song(o.watch.empty() ? std::string() : shader_folder_library(v.good)));
    intro::EngineOptions engine_options;
    engine_options.source = source;
    view_window_drawable_size(v.window, engine_options.viewport_width, engine_options.viewport_height);
    v.engine = std::make_unique<intro::IntroEngine>(engine_options);
  } catch (const std::exception& e) {
    const std::string what = o.watch.empty() ? e.what() : translate_log(e.what(), v.good.pieces);
    std::fprintf(stderr, "intro-view: %s\n", what.c_str());
    return 1;
  }

  std::string why;
  v.have_audio = audio_init(v.audio, why) != 0;
  if (!v.have_audio) std::fprintf(stderr, "intro-view: %s; playing silent on the wall clock\n", why.c_str());
  frame_timer_init(v.timer, v.window.timer_query);
  if (!overlay_init(v.window.window, v.window.context)) {
    std::fprintf(stderr, "intro-view: the overlay could not be set up\n");
    return 1;
  }
  v.overlay_visible = o.overlay;
  v.last_watch_poll = SDL_GetPerformanceCounter();

  v.transport.position = position_of(o.time);
  v.transport.paused = o.paused;
  v.screenshot_pending = !o.screenshot.empty() || !o.overlay_shot.empty();
  // A paused start, and a screenshot, show the settled picture; a playing
  // start begins on cleared targets at once, as the intro does.
  if (o.paused || v.screenshot_pending) start_settle(v);
  if (!o.paused && !clock_holding(v)) clock_run(v, true);
  return 0;
}

}  // namespace

int run_viewer(const ViewOptions& options) {
  Viewer v;
  v.options = options;
  int code = start(v);
  if (code == 0) {
    while (v.running) {
      const Uint64 turn_start = SDL_GetPerformanceCounter();
      SDL_Event e;
      const bool idle = v.transport.paused && !clock_holding(v) && v.step_frames == 0 && !v.screenshot_pending;
      if (idle && SDL_WaitEventTimeout(&e, 50)) handle_event(v, e);
      while (SDL_PollEvent(&e)) handle_event(v, e);
      if (!v.running) break;
      poll_watch(v);
      draw_turn(v);
      present(v);
      v.frames_presented += 1;
      if (v.options.log_state) log_state(v, ticks_seconds(SDL_GetPerformanceCounter() - turn_start) * 1000.0);
      if (v.options.frames > 0 && v.frames_presented >= v.options.frames) v.running = false;
    }
    overlay_shutdown();
  }
  frame_timer_shutdown(v.timer);
  audio_shutdown(v.audio);
  v.engine.reset();
  view_window_shutdown(v.window);
  SDL_Quit();
  return code;
}

}  // namespace view
