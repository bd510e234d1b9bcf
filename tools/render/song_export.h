#pragma once
// The soundtrack computed on the GPU by the shader's own song code, for the
// audio export, its tests and the benchmarks.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kernel.h"

namespace intro {

// The sample frame that holds the moment `seconds`: round(seconds * 44100).
// Ranges are half-open, [sample_of_time(from), sample_of_time(to)).
std::size_t sample_of_time(double seconds);

// Runs song_sample for consecutive sample indices, one index per fragment of
// a 2048-wide grid, storing through `snd` as the intro's audio band does.
// Needs a current GL context.
class SongRenderer {
 public:
  static constexpr int kGridWidth = 2048;
  static constexpr int kGridRows = 64;
  static constexpr std::size_t kChunk = static_cast<std::size_t>(kGridWidth) * kGridRows;

  // `library` is the shader text before the entry point (every piece but
  // main.glsl, joined); empty means the built-in pieces.
  explicit SongRenderer(const std::string& library = std::string());
  // The song's values for sample frames [first, first + count), one float
  // each (both channels carry it). `chunk_done` is called after each chunk
  // with the number of frames finished so far.
  std::vector<float> render(std::size_t first, std::size_t count,
                            const std::function<void(std::size_t)>& chunk_done = {});

 private:
  Kernel kernel_;
  StorageBuffer buffer_;
};

// Writes sample frames [first, first + count) as a 32-bit float stereo
// 44,100 Hz WAV at `path` (a file that already exists is replaced). Throws
// std::runtime_error on failure.
void write_song_wav(const std::string& path, std::size_t first, std::size_t count,
                    const std::function<void(std::size_t)>& progress = {});

}  // namespace intro
