#include "transport.h"

#include <cmath>

namespace view {

std::int32_t position_of(double seconds) {
  const double p = std::round(seconds * kSampleRate);
  if (!(p > 0.0)) return 0;
  if (p > kEndPosition) return kEndPosition;
  return static_cast<std::int32_t>(p);
}

double seconds_of(std::int32_t position) { return position / static_cast<double>(kSampleRate); }

void transport_seek(Transport& t, std::int32_t position) {
  if (position < 0) position = 0;
  if (position > kEndPosition) position = kEndPosition;
  t.position = position;
}

void transport_skip(Transport& t, double seconds) {
  transport_seek(t, position_of(seconds_of(t.position) + seconds));
}

void transport_next_cut(Transport& t) {
  const int cut = cut_at(seconds_of(t.position));
  if (cut + 1 < kCutCount) transport_seek(t, position_of(cut_start(cut + 1)));
}

void transport_previous_cut(Transport& t) {
  const double now = seconds_of(t.position);
  const int cut = cut_at(now);
  if (now - cut_start(cut) >= 1.0 || cut == kOpening) {
    transport_seek(t, position_of(cut_start(cut)));
  } else {
    transport_seek(t, position_of(cut_start(cut - 1)));
  }
}

void transport_step(Transport& t, int frames) {
  const long long p = static_cast<long long>(t.position) + static_cast<long long>(frames) * kFrameStep;
  transport_seek(t, static_cast<std::int32_t>(p < 0 ? 0 : p > kEndPosition ? kEndPosition : p));
}

void transport_advance(Transport& t, std::int32_t played_position) {
  if (t.loop) {
    const int cut = cut_at(seconds_of(t.position));
    const std::int32_t end = position_of(cut_end(cut));
    if (played_position >= end) {
      transport_seek(t, position_of(cut_start(cut)));
      return;
    }
  }
  transport_seek(t, played_position);
}

}  // namespace view
