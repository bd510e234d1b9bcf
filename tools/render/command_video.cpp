// intro-render video: the film with its soundtrack, encoded by ffmpeg.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "ffmpeg_pipe.h"
#include "film_frames.h"
#include "gl_context.h"
#include "output_file.h"
#include "progress.h"
#include "soundtrack.h"

namespace intro {
namespace {

// Frame k of the video is drawn at sample position round(k * 44,100 / fps).
std::int32_t video_position(long k, long fps) {
  if (k <= 0) return 0;
  return static_cast<std::int32_t>(std::llround(static_cast<double>(k) * kSampleRate / static_cast<double>(fps)));
}

// A temporary file removed again when it goes out of scope.
struct ScratchFile {
  std::string path;
  explicit ScratchFile(const std::string& pattern) {
    std::string name = pattern;
    const int fd = mkstemps(name.data(), 4);
    if (fd < 0) throw std::runtime_error("cannot create a temporary file like " + pattern);
    close(fd);
    path = name;
  }
  ~ScratchFile() { std::remove(path.c_str()); }
};

}  // namespace

int run_video(const std::vector<std::string>& args) {
  Arguments arguments(args, {"--out", "--fps", "--from", "--to", "--warmup"});
  const std::string out_path = arguments.text("--out");
  const long fps = arguments.whole("--fps", 60, 1, 240);
  const double from = arguments.number("--from", 0.0);
  const double to = arguments.number("--to", 125.0);
  if (from < 0.0 || from > 125.0) throw UsageError("--from must be between 0 and 125 seconds");
  if (to < 0.0 || to > 125.0) throw UsageError("--to must be between 0 and 125 seconds");
  if (!(to > from)) throw UsageError("--to must be later than --from");
  const long warmup = arguments.whole("--warmup", kDefaultWarmup, 0, 600);

  // The frames whose moments k / fps lie in [from, to).
  const long first = static_cast<long>(std::ceil(from * static_cast<double>(fps) - 1e-9));
  const long end = static_cast<long>(std::ceil(to * static_cast<double>(fps) - 1e-9));
  if (end <= first) throw UsageError("no frame falls between --from and --to at this frame rate");
  const long count = end - first;

  OutputFile out(out_path);
  if (find_on_path("ffmpeg").empty()) throw std::runtime_error("ffmpeg was not found on PATH; install it (Debian: apt-get install ffmpeg)");

  auto gl = GlContext::create();

  // The soundtrack of exactly the frames' span, as ffmpeg's second input.
  ScratchFile audio("/tmp/intro-render-audio-XXXXXX.wav");
  const std::int64_t audio_first = video_position(first, fps);
  write_soundtrack_wav(audio.path, audio_first, video_position(end, fps) - audio_first);

  IntroEngine engine;

  const std::string size = std::to_string(kFrameWidth) + "x" + std::to_string(kFrameHeight);
  FfmpegPipe ffmpeg({"-hide_banner", "-loglevel", "error", "-nostats", "-y",
                     "-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-framerate", std::to_string(fps), "-i", "pipe:0",
                     "-i", audio.path,
                     "-map", "0:v", "-map", "1:a",
                     "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                     "-movflags", "+faststart", "-f", "mp4", out.temp_path()});

  // A video that starts later is preceded by the frames of the same
  // sequence just before it (not encoded), so that its first frame's blend
  // has settled as in a render from the start.
  for (long k = std::max(0L, first - warmup); k < first; ++k) engine.frame(video_position(k, fps));

  Progress progress("video", static_cast<std::size_t>(count), "frames");
  for (long i = 0; i < count; ++i) {
    engine.frame(video_position(first + i, fps));
    const auto rows = rows_top_first(opaque(engine.read_window()), kFrameWidth, kFrameHeight);
    ffmpeg.write(rows.data(), rows.size());
    progress.update(static_cast<std::size_t>(i + 1));
  }
  ffmpeg.finish();
  progress.finish();
  out.commit();
  std::printf("%s: %ld frames at %ld fps from %.4f s\n", out_path.c_str(), count, fps,
              static_cast<double>(first) / static_cast<double>(fps));
  return 0;
}

}  // namespace intro
