// intro-render frame: the window image at one moment, after warm-up frames.
#include <cstdio>
#include <optional>
#include <string>

#include "arguments.h"
#include "commands.h"
#include "film_frames.h"
#include "gl_context.h"
#include "output_file.h"
#include "png_image.h"

namespace intro {

int run_frame(const std::vector<std::string>& args) {
  Arguments arguments(args, {"--time", "--out", "--stored", "--warmup"});
  if (!arguments.has("--time")) throw UsageError("--time is required");
  const double seconds = arguments.number("--time", 0.0);
  if (seconds < 0.0 || seconds > 125.0) throw UsageError("--time must be between 0 and 125 seconds");
  const std::string out_path = arguments.text("--out");
  const auto stored_path = arguments.optional_text("--stored");
  if (stored_path && stored_path->empty()) throw UsageError("--stored must not be empty");
  if (stored_path && *stored_path == out_path) throw UsageError("--stored and --out name the same file");
  const int warmup = static_cast<int>(arguments.whole("--warmup", kDefaultWarmup, 0, 600));

  // Outputs are checked before the (slow) render starts.
  OutputFile out(out_path);
  std::optional<OutputFile> stored;
  if (stored_path) stored.emplace(*stored_path);

  auto gl = GlContext::create();
  IntroEngine engine;
  render_frame(engine, seconds, warmup);

  write_png_rgba8(out.temp_path(), kFrameWidth, kFrameHeight, opaque(engine.read_window()));
  if (stored) write_png_rgba16(stored->temp_path(), kFrameWidth, kFrameHeight, engine.read_stored());
  out.commit();
  if (stored) stored->commit();
  std::printf("%s: frame at %.4f s (sample position %d) after %d warm-up frames\n", out_path.c_str(), seconds,
              sample_position(seconds), warmup);
  return 0;
}

}  // namespace intro
