// intro-render audio: the soundtrack as a WAV file, computed on the GPU by the
// shader's own song code (the same song_sample that the intro's audio band
// runs, so the file holds the values the intro stores for every frame).
#include <cmath>
#include <cstdio>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "gl_context.h"
#include "intro_engine.h"
#include "output_file.h"
#include "progress.h"
#include "song_export.h"

namespace intro {

int run_audio(const std::vector<std::string>& args) {
  const Arguments arguments(args, {"--out", "--from", "--to"});
  const std::string out = arguments.text("--out");
  const double song_seconds = static_cast<double>(kAudioFrames) / kSampleRate;  // 125 s
  const double from = arguments.number("--from", 0.0);
  const double to = arguments.number("--to", song_seconds);
  if (from < 0.0 || from > song_seconds) throw UsageError("--from must lie within 0 to 125 seconds");
  if (to < 0.0 || to > song_seconds) throw UsageError("--to must lie within 0 to 125 seconds");
  if (!(from < to)) throw UsageError("--from must be before --to");
  // Frame n holds the moment n / 44100 s; a time picks the nearest frame.
  const std::size_t first = sample_of_time(from);
  const std::size_t end = sample_of_time(to);
  if (end <= first) throw UsageError("--from and --to round to the same sample frame; the range holds none");

  OutputFile file(out);
  const auto context = GlContext::create();
  Progress progress("audio", end - first, "frames");
  write_song_wav(file.temp_path(), first, end - first, [&](std::size_t done) { progress.update(done); });
  progress.finish();
  file.commit();
  std::fprintf(stderr, "wrote %s: frames %zu to %zu (%.6f s to %.6f s), 32-bit float stereo, 44100 Hz\n",
               out.c_str(), first, end, first / 44100.0, end / 44100.0);
  return 0;
}

}  // namespace intro
