// audio-bench: what the soundtrack costs on this machine's GL.
//  - the whole 125 s song through the export kernel (one sample per fragment);
//  - one intro frame's audio band: both passes of IntroEngine at 1280 x 720
//    with the film's pieces replaced by empty passes, so the time is the
//    band's 2 x 264,900 song evaluations plus the passes' fixed cost.
// Prints a table; asserts nothing.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "arguments.h"
#include "gl_context.h"
#include "intro_engine.h"
#include "shader_pieces.h"
#include "song_export.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The intro's shader with the picture pieces swapped for empty passes.
std::string band_only_source() {
  const char* film[] = {"camera.glsl", "scene.glsl", "march.glsl", "glow.glsl", "post.glsl"};
  std::string out;
  for (int i = 0; i < shader_piece_count; ++i) {
    bool is_film = false;
    for (const char* name : film) is_film = is_film || std::strcmp(shader_pieces[i].name, name) == 0;
    if (is_film) continue;
    if (std::strcmp(shader_pieces[i].name, "main.glsl") == 0) {
      out += "vec4 scene_pass(vec3 screen, vec3 uv) { return vec4(0.0); }\n"
             "vec3 post_pass(vec3 uv) { return vec3(0.0); }\n";
    }
    out += shader_pieces[i].text;
  }
  return out;
}

void run_bench() {
  const auto context = intro::GlContext::create();
  std::printf("GL: %s | %s | %s\n\n", context->info().renderer.c_str(), context->info().version.c_str(),
              context->info().platform.c_str());

  std::printf("%-44s %10s %14s\n", "measure", "seconds", "rate");
  {
    intro::SongRenderer renderer;
    renderer.render(0, intro::SongRenderer::kChunk);  // warm-up: first draw compiles the variant
    for (int run = 0; run < 2; ++run) {
      const auto start = Clock::now();
      renderer.render(0, intro::kAudioFrames);
      const double t = seconds_since(start);
      std::printf("%-44s %10.3f %11.2f M/s\n", ("whole song export, run " + std::to_string(run + 1)).c_str(), t,
                  intro::kAudioFrames / t / 1e6);
    }
  }
  {
    intro::EngineOptions options;
    options.source = band_only_source();
    intro::IntroEngine engine(options);
    engine.frame(0);
    engine.finish();
    const int frames = 5;
    for (double at : {0.0, 50.0, 100.0, 124.5}) {
      const auto position = static_cast<std::int32_t>(at * intro::kSampleRate);
      const auto start = Clock::now();
      for (int i = 0; i < frames; ++i) engine.frame(position);
      engine.finish();
      const double t = seconds_since(start) / frames;
      char label[64];
      std::snprintf(label, sizeof label, "audio band, one frame (2 passes) at %.1f s", at);
      std::printf("%-44s %10.4f %11.2f M/s\n", label, t, 2 * 264900 / t / 1e6);
    }
  }
  std::printf("\nrates are song evaluations per second; a frame evaluates the song 529,800 times\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (intro::help_requested(args)) {
    std::printf("usage: audio-bench\n  whole-song export time and one frame's audio band; takes no options\n");
    return 0;
  }
  if (!args.empty()) {
    std::fprintf(stderr, "audio-bench: unexpected argument '%s' (it takes no options)\nusage: audio-bench\n",
                 args.front().c_str());
    return 2;
  }
  try {
    run_bench();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "audio-bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
