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

const std::vector<CutMoment>& film_cuts() {
  static const std::vector<CutMoment> cuts = [] {
    const int ids[20] = {0, 1, 2, 16, 3, 4, 5, 6, 12, 8, 9, 10, 3, 11, 6, 4, 12, 3, 4, 10};
    const double starts[21] = {15, 20, 22, 35, 45, 50, 54, 60, 65, 70, 75, 79, 81, 85, 87, 91, 94, 100, 102, 118, 125};
    std::vector<CutMoment> out;
    out.push_back({-1, 0, 15, 10});
    for (int j = 0; j < 20; ++j) {
      // The middle of the cut, except: 84 s in the cut from 81 s, once the
      // light bar has come (the middle, 83 s, is its boundary), and 120 s in
      // the last one, before the fade-out.
      const double moment = j == 19 ? 120.0 : j == 12 ? 84.0 : 0.5 * (starts[j] + starts[j + 1]);
      out.push_back({ids[j], starts[j], starts[j + 1], moment});
    }
    return out;
  }();
  return cuts;
}

std::vector<std::uint8_t> opaque(std::vector<std::uint8_t> rgba) {
  for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;
  return rgba;
}

}  // namespace intro
