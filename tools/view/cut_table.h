#pragma once
// The film's edit and the song's sections as the viewer's timeline and its
// cut keys see them. Times in seconds of the intro's clock. The cuts come
// from the film's one cut list (film_frames.h).
#include <cstdint>

namespace view {

constexpr int kSampleRate = 44100;
constexpr std::int32_t kEndPosition = 5512500;   // the audio buffer's end, 125 s
constexpr double kEndSeconds = 125.0;
constexpr int kCutCount = 20;
// Cut -1 is the opening set-up before the first cut.
constexpr int kOpening = -1;

// The cut in force at `seconds`: the last whose start is at or before it
// (the shader's own selection rule), kOpening before 15 s.
int cut_at(double seconds);
double cut_start(int cut);   // 0 for the opening
double cut_end(int cut);     // the next cut's start, 125 s for the last
int cut_shot(int cut);       // -1 for the opening

// A stretch of the song with a name, for the timeline.
struct Section {
  double from, to;
  const char* name;
};
constexpr int kSectionCount = 5;
extern const Section kSections[kSectionCount];

}  // namespace view
