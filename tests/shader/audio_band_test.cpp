// The audio band of one frame: which sample frames it writes, and that it
// never writes past the end of the buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "gl_test_context.h"
#include "intro_engine.h"

namespace intro {
namespace {

// A value the song never produces, compared bit for bit.
constexpr float kSentinel = -12345.5f;

bool is_sentinel(float x) { return std::memcmp(&x, &kSentinel, sizeof x) == 0; }

// One frame at position v writes exactly the frames v + 105 to v + 44,099.
class AudioBandWindow : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(AudioBandWindow, WritesTheSecondAheadAndNothingElse) {
  test::gl_context();
  const std::int32_t v = GetParam();
  IntroEngine engine;
  engine.fill_audio(kSentinel);
  engine.frame(v);
  const float* audio = engine.audio();

  const std::size_t first = static_cast<std::size_t>(v) + 105;
  const std::size_t last = static_cast<std::size_t>(v) + 44099;
  std::size_t wrong_written = 0, wrong_unwritten = 0, unequal_channels = 0;
  for (std::size_t n = 0; n < kAudioFrames; ++n) {
    const bool expected = n >= first && n <= last;
    const float left = audio[2 * n], right = audio[2 * n + 1];
    const bool written = !is_sentinel(left) || !is_sentinel(right);
    if (written && !expected) ++wrong_written;
    if (!written && expected) ++wrong_unwritten;
    if (written && std::memcmp(&left, &right, sizeof left) != 0) ++unequal_channels;
  }
  EXPECT_EQ(wrong_written, 0u) << "frames written outside [v + 105, v + 44099]";
  EXPECT_EQ(wrong_unwritten, 0u) << "frames of [v + 105, v + 44099] left unwritten";
  EXPECT_EQ(unequal_channels, 0u) << "left and right differ";
}

INSTANTIATE_TEST_SUITE_P(Positions, AudioBandWindow, ::testing::Values(0, 1000003, 5468400));

// Close to the end the band reaches past the buffer. The buffer is bound as
// a range in the middle of larger storage, so stray writes would show up in
// the guard areas on either side.
TEST(AudioBandEnd, StopsAtTheLastFrameOfTheBuffer) {
  test::gl_context();
  constexpr std::size_t kGuard = 1 << 20;  // bytes on each side, well over the band's reach
  EngineOptions options;
  options.audio_storage_bytes = kGuard + kAudioBytes + kGuard;
  options.audio_bind_offset = kGuard;
  options.audio_bind_bytes = kAudioBytes;
  IntroEngine engine(options);
  engine.fill_audio(kSentinel);

  const std::int32_t v = 5512000;
  engine.frame(v);
  const float* storage = engine.audio_storage();
  const std::size_t guard_floats = kGuard / sizeof(float);

  std::size_t stray = 0;
  for (std::size_t i = 0; i < guard_floats; ++i) stray += !is_sentinel(storage[i]);
  for (std::size_t i = guard_floats + kAudioFrames * 2; i < guard_floats * 2 + kAudioFrames * 2; ++i) {
    stray += !is_sentinel(storage[i]);
  }
  EXPECT_EQ(stray, 0u) << "floats written outside the bound buffer";

  const float* audio = engine.audio();
  std::size_t unwritten = 0;
  for (std::size_t n = static_cast<std::size_t>(v) + 105; n < kAudioFrames; ++n) unwritten += is_sentinel(audio[2 * n]);
  EXPECT_EQ(unwritten, 0u) << "the frames up to the buffer's end must still be written";
  EXPECT_TRUE(is_sentinel(audio[2 * (static_cast<std::size_t>(v) + 104)]));
}

}  // namespace
}  // namespace intro
