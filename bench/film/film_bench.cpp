// film-bench: time per frame of the scene pass and the post pass for a
// moment inside every cut, and the share of the audio band in them.
//
// Times come from GL_TIME_ELAPSED queries where the driver has them, else
// from the wall clock between glFinish calls. The audio band's share is the
// difference to a second program that is the intro's shader with the song
// replaced by 0 (song.glsl swapped for a stub), drawn over the same frames:
// everything else, the band's stores included, stays the same.
//
//   film-bench [--repeat N]   (N timed frames per cut and program, default 3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "arguments.h"
#include "film_frames.h"
#include "gl_context.h"
#include "intro_engine.h"
#include "shader_pieces.h"

namespace {

std::string source_without_song() {
  std::string out;
  for (int i = 0; i < shader_piece_count; ++i) {
    if (std::strcmp(shader_pieces[i].name, "song.glsl") == 0) {
      out += "float song_sample(int sample_index)\n{\n    return 0.0;\n}\n";
    } else {
      out += shader_pieces[i].text;
    }
  }
  return out;
}

struct PassTimes {
  double scene_ms = 0, post_ms = 0;
};

class PassTimer {
 public:
  explicit PassTimer(bool queries) : queries_(queries) {
    if (queries_) glGenQueries(2, ids_);
  }
  ~PassTimer() {
    if (queries_) glDeleteQueries(2, ids_);
  }

  // One frame at `position` on `engine`, timing each pass.
  PassTimes frame(intro::IntroEngine& engine, std::int32_t position) {
    PassTimes t;
    if (queries_) {
      glBeginQuery(GL_TIME_ELAPSED, ids_[0]);
      engine.scene_pass(position);
      glEndQuery(GL_TIME_ELAPSED);
      glBeginQuery(GL_TIME_ELAPSED, ids_[1]);
      engine.post_pass(position);
      glEndQuery(GL_TIME_ELAPSED);
      GLuint64 ns[2] = {0, 0};
      glGetQueryObjectui64v(ids_[0], GL_QUERY_RESULT, &ns[0]);
      glGetQueryObjectui64v(ids_[1], GL_QUERY_RESULT, &ns[1]);
      t.scene_ms = ns[0] / 1e6;
      t.post_ms = ns[1] / 1e6;
    } else {
      using clock = std::chrono::steady_clock;
      glFinish();
      const auto a = clock::now();
      engine.scene_pass(position);
      glFinish();
      const auto b = clock::now();
      engine.post_pass(position);
      glFinish();
      const auto c = clock::now();
      t.scene_ms = std::chrono::duration<double, std::milli>(b - a).count();
      t.post_ms = std::chrono::duration<double, std::milli>(c - b).count();
    }
    return t;
  }

 private:
  bool queries_;
  GLuint ids_[2] = {0, 0};
};

// The best (least disturbed) of `repeat` frames at consecutive 60 fps
// positions around the moment, after one untimed frame, for both programs.
// Their frames alternate, so that a change in the machine's load falls on
// both alike.
void measure(intro::IntroEngine& full, intro::IntroEngine& silent, PassTimer& timer, double seconds, int repeat,
             PassTimes& best_full, PassTimes& best_silent) {
  full.frame(intro::sample_position(seconds - 1.0 / 60));
  silent.frame(intro::sample_position(seconds - 1.0 / 60));
  best_full = best_silent = PassTimes{1e30, 1e30};
  auto keep = [](PassTimes& best, const PassTimes& t) {
    best.scene_ms = std::min(best.scene_ms, t.scene_ms);
    best.post_ms = std::min(best.post_ms, t.post_ms);
  };
  for (int r = 0; r < repeat; ++r) {
    const std::int32_t position = intro::sample_position(seconds + r / 60.0);
    keep(best_full, timer.frame(full, position));
    keep(best_silent, timer.frame(silent, position));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (intro::help_requested(std::vector<std::string>(argv + 1, argv + argc))) {
    std::printf("usage: film-bench [--repeat N]\n  scene- and post-pass time per cut, best of N frames (default 3)\n");
    return 0;
  }
  try {
    const intro::Arguments arguments(std::vector<std::string>(argv + 1, argv + argc), {"--repeat"});
    const int repeat = static_cast<int>(arguments.whole("--repeat", 3, 1, 1000));
    auto gl = intro::GlContext::create();
    const intro::GlInfo& info = gl->info();
    std::printf("renderer: %s (%s)\ntiming:   %s, best of %d frame(s) per cut and program\n", info.renderer.c_str(),
                info.version.c_str(), info.timer_query ? "GL_TIME_ELAPSED queries" : "glFinish + wall clock", repeat);
    std::printf("audio:    full program minus the same program with song_sample() = 0\n\n");

    intro::IntroEngine full;
    intro::EngineOptions silent_options;
    silent_options.source = source_without_song();
    intro::IntroEngine silent(silent_options);
    PassTimer timer(info.timer_query);

    std::printf("%4s %5s %7s %-13s | %10s %9s %9s | %10s %9s | %9s %7s\n", "cut", "shot", "time s", "span s", "scene ms",
                "post ms", "frame ms", "scene ms*", "post ms*", "audio ms", "audio%");
    std::printf("%s\n", std::string(112, '-').c_str());
    double total_frame = 0, total_audio = 0;
    const auto& cuts = intro::film_cuts();
    for (std::size_t i = 0; i < cuts.size(); ++i) {
      const auto& c = cuts[i];
      PassTimes a, b;
      measure(full, silent, timer, c.moment, repeat, a, b);
      const double frame = a.scene_ms + a.post_ms;
      const double audio = frame - (b.scene_ms + b.post_ms);
      total_frame += frame;
      total_audio += audio;
      char span[32];
      std::snprintf(span, sizeof span, "%g-%g", c.from, c.to);
      std::printf("%4zu %5d %7.2f %-13s | %10.2f %9.2f %9.2f | %10.2f %9.2f | %9.2f %6.1f%%\n", i, c.shot, c.moment, span,
                  a.scene_ms, a.post_ms, frame, b.scene_ms, b.post_ms, audio, 100.0 * audio / frame);
      std::fflush(stdout);
    }
    std::printf("%s\n", std::string(112, '-').c_str());
    std::printf("mean frame %.2f ms, mean audio band %.2f ms (%.1f%%); * = song replaced by 0\n", total_frame / cuts.size(),
                total_audio / cuts.size(), 100.0 * total_audio / total_frame);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "film-bench: %s\n", e.what());
    return 1;
  }
}
