#include "film_frames.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace intro {

std::int32_t sample_position(double seconds) {
  const double position = std::round(seconds * kSampleRate);
  if (!(position > 0.0)) return 0;
  if (position > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(position);
}

std::vector<std::int32_t> frame_positions(double seconds, int warmup) {
  std::vector<std::int32_t> positions;
  for (int k = warmup; k >= 0; --k) positions.push_back(sample_position(seconds - k / 60.0));
  return positions;
}

void render_frame(IntroEngine& engine, double seconds, int warmup) {
  for (std::int32_t position : frame_positions(seconds, warmup)) engine.frame(position);
}

std::vector<std::uint8_t> rows_top_first(const std::vector<std::uint8_t>& rgba, int width, int height) {
  std::vector<std::uint8_t> out(rgba.size());
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    std::memcpy(out.data() + static_cast<std::size_t>(height - 1 - y) * row, rgba.data() + y * row, row);
  }
  return out;
}

std::vector<std::uint8_t> opaque(std::vector<std::uint8_t> rgba) {
  for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  return rgba;
}

}  // namespace intro
