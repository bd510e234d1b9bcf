// The release intro's minified shader against the readable one on Mesa: the
// same stored 16-bit targets at a moment in every cut, the same window
// image, and the same sample values for the whole song, bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "gl_test_context.h"
#include "gl_test_environment.h"
#include "intro_engine.h"
#include "song_export.h"

INTRO_TEST_GL_ENVIRONMENT;

namespace intro {
namespace {

std::string minified_source() {
  std::ifstream file(INTRO_SHADER_MINIFIED_PATH, std::ios::binary);
  EXPECT_TRUE(file) << "cannot read " << INTRO_SHADER_MINIFIED_PATH;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// One engine on the readable shader (shader_source) and one on the minified
// text, made once: compiling the whole shader takes seconds on llvmpipe.
struct EnginePair {
  std::unique_ptr<IntroEngine> readable;
  std::unique_ptr<IntroEngine> minified;
};

EnginePair& full_frame_engines() {
  static EnginePair pair = [] {
    test::gl_context();
    EnginePair made;
    made.readable = std::make_unique<IntroEngine>();
    EngineOptions options;
    options.source = minified_source();
    made.minified = std::make_unique<IntroEngine>(options);
    return made;
  }();
  return pair;
}

std::int32_t position_of(double seconds) {
  return static_cast<std::int32_t>(seconds * kSampleRate + 0.5);
}

// First index at which two images differ, or -1.
template <typename T>
long first_difference(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) return 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return static_cast<long>(i);
  }
  return -1;
}

// Runs the same frames on both engines from the same target contents and
// compares the stored target and the window stand-in.
void expect_same_frames(const std::vector<std::int32_t>& positions, const std::string& what) {
  EnginePair& pair = full_frame_engines();
  const std::uint16_t start[4] = {9000, 20000, 31000, 3000};
  pair.readable->fill_targets(start);
  pair.minified->fill_targets(start);
  // The engines set their program current once, when made, and share the
  // one context: each one's program is made current again before its frames.
  glUseProgram(pair.readable->program());
  for (std::int32_t position : positions) pair.readable->frame(position);
  glUseProgram(pair.minified->program());
  for (std::int32_t position : positions) pair.minified->frame(position);
  const long stored = first_difference(pair.readable->read_stored(), pair.minified->read_stored());
  EXPECT_EQ(stored, -1) << what << ": stored target differs at texel " << stored / 4 << " channel " << stored % 4;
  const long window = first_difference(pair.readable->read_window(), pair.minified->read_window());
  EXPECT_EQ(window, -1) << what << ": window differs at pixel " << window / 4 << " channel " << window % 4;
}

// A moment inside every cut: the opening before the first cut at 15 s, then
// 1.3 s into each of the 20 cuts (the shortest lasts 2 s), and the white-out
// after 121 s.
const double kCutStarts[20] = {15.0, 20.0, 22.0, 35.0, 45.0, 50.0, 54.0, 60.0, 65.0, 70.0,
                               75.0, 79.0, 81.0, 85.0, 87.0, 91.0, 94.0, 100.0, 102.0, 118.0};

// A band of rows through the picture per cut (a scissor box: only these
// fragments run), at a different height for each moment so that together
// they cross the whole picture. Two frames a sixtieth of a second apart, so
// that the second one also blends with what the first stored.
TEST(MinifiedShader, SameStoredTargetsInEveryCut) {
  std::vector<double> moments = {10.0};
  for (double start : kCutStarts) moments.push_back(start + 1.3);
  moments.push_back(121.5);
  const int kRows = 4;
  glEnable(GL_SCISSOR_TEST);
  for (std::size_t k = 0; k < moments.size(); ++k) {
    // Rows 90 to 629 are the picture; 150 and 540 are coprime, so the 22
    // bands fall at 22 different heights.
    const int row = 90 + static_cast<int>((k * 150) % (540 - kRows));
    glScissor(0, row, kFrameWidth, kRows);
    const std::int32_t position = position_of(moments[k]);
    std::ostringstream what;
    what << "t = " << moments[k] << " s, rows " << row << " to " << row + kRows - 1;
    expect_same_frames({position - kSampleRate / 60, position}, what.str());
  }
  glDisable(GL_SCISSOR_TEST);
}

// Two whole frames: the sphere shots and the craft in cloud.
TEST(MinifiedShader, SameWholeFrames) {
  for (double seconds : {31.0, 47.0}) {
    std::ostringstream what;
    what << "whole frame at t = " << seconds << " s";
    expect_same_frames({position_of(seconds)}, what.str());
  }
}

// The audio band writes frames v + 105 to v + 44,099; post passes (which
// compute the band like the scene pass, but only the cheap post filter for
// the picture) at v = 0, 43,995, 87,990, ... cover every frame from 105 to
// the end of the buffer. A viewport of the band's 210 rows leaves the rest
// out. The readable shader's values come from the song export, which runs
// the readable song_sample once per index (its equality with the readable
// intro's band is tested with the export).
TEST(MinifiedShader, SameSamplesForTheWholeSong) {
  test::gl_context();
  EngineOptions options;
  options.source = minified_source();
  options.viewport_height = 210;
  IntroEngine engine(options);
  engine.fill_audio(-7.0f);
  const std::uint16_t zero[4] = {0, 0, 0, 0};
  engine.fill_targets(zero);
  const std::int32_t kStep = 44099 - 105 + 1;
  for (std::int32_t v = 0; v <= static_cast<std::int32_t>(kAudioFrames); v += kStep) {
    engine.post_pass(v);
    // llvmpipe drops the storage writes of a full-viewport draw that the
    // next one into the same framebuffer covers, unless the first has been
    // flushed; the intro's own passes alternate framebuffers.
    engine.finish();
  }
  const float* minified = engine.audio();

  SongRenderer renderer;
  const std::size_t kFirst = 105;
  const std::vector<float> readable = renderer.render(kFirst, kAudioFrames - kFirst);
  ASSERT_EQ(readable.size(), kAudioFrames - kFirst);

  std::size_t differing = 0;
  std::size_t first = 0;
  for (std::size_t i = 0; i < readable.size(); ++i) {
    const std::size_t frame = kFirst + i;
    for (int channel = 0; channel < 2; ++channel) {
      if (std::memcmp(&readable[i], &minified[frame * 2 + channel], sizeof(float)) != 0) {
        if (differing++ == 0) first = frame;
      }
    }
  }
  EXPECT_EQ(differing, 0u) << "first differing sample frame " << first << " (readable "
                           << readable[first - kFirst] << ", minified " << minified[first * 2] << ", "
                           << minified[first * 2 + 1] << ")";
}

}  // namespace
}  // namespace intro
