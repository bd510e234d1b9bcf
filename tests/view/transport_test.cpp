// The viewer's transport against the film's cut table: which cut holds a
// moment, where the cut keys, skips, frame steps and the cut loop take the
// clock. Expected values are the table's start times and 44,100 samples per
// second.
#include <gtest/gtest.h>

#include "cut_table.h"
#include "transport.h"

namespace {

using view::Transport;

constexpr int kRate = 44100;

// The edit: start time and shot of each of the 20 cuts.
const double kStarts[20] = {15, 20, 22, 35, 45, 50, 54, 60, 65, 70, 75, 79, 81, 85, 87, 91, 94, 100, 102, 118};
const int kShots[20] = {0, 1, 2, 16, 3, 4, 5, 6, 12, 8, 9, 10, 3, 11, 6, 4, 12, 3, 4, 10};

Transport at(double seconds, bool paused = true) {
  Transport t;
  t.position = static_cast<int>(seconds * kRate + 0.5);
  t.paused = paused;
  return t;
}

TEST(CutTable, EveryCutStartsAtItsTimeWithItsShot) {
  for (int j = 0; j < 20; ++j) {
    EXPECT_EQ(view::cut_at(kStarts[j]), j) << "cut " << j;
    EXPECT_EQ(view::cut_shot(j), kShots[j]) << "cut " << j;
    EXPECT_DOUBLE_EQ(view::cut_start(j), kStarts[j]);
    EXPECT_DOUBLE_EQ(view::cut_end(j), j == 19 ? 125.0 : kStarts[j + 1]);
    // Just before the start the cut before it (or the opening) holds.
    EXPECT_EQ(view::cut_at(kStarts[j] - 1e-3), j - 1) << "cut " << j;
  }
  EXPECT_EQ(view::cut_at(0.0), view::kOpening);
  EXPECT_EQ(view::cut_shot(view::kOpening), -1);
  EXPECT_EQ(view::cut_at(125.0), 19);
}

TEST(CutTable, SectionsCoverTheSongInOrder) {
  EXPECT_DOUBLE_EQ(view::kSections[0].from, 0.0);
  for (int i = 1; i < view::kSectionCount; ++i) EXPECT_DOUBLE_EQ(view::kSections[i].from, view::kSections[i - 1].to);
  EXPECT_DOUBLE_EQ(view::kSections[view::kSectionCount - 1].to, 125.0);
  // The groove enters at 44 s, the arpeggio at 80 s, the ending at 121 s.
  auto starts_at = [](double s) {
    for (int i = 0; i < view::kSectionCount; ++i)
      if (view::kSections[i].from == s) return true;
    return false;
  };
  EXPECT_TRUE(starts_at(44.0));
  EXPECT_TRUE(starts_at(80.0));
  EXPECT_TRUE(starts_at(121.0));
}

TEST(Transport, NextCutWalksThroughEveryStartAndStopsInTheLast) {
  Transport t = at(0.0);
  for (int j = 0; j < 20; ++j) {
    view::transport_next_cut(t);
    EXPECT_EQ(t.position, static_cast<int>(kStarts[j] * kRate)) << "after " << j + 1 << " presses";
  }
  view::transport_next_cut(t);
  EXPECT_EQ(t.position, 118 * kRate);
}

TEST(Transport, PreviousCutGoesToTheCutStartThenToTheOneBefore) {
  struct Case {
    double from, expected;
  } cases[] = {
      {40.0, 35.0},   // well inside cut 3: its own start
      {35.5, 22.0},   // less than a second in: the cut before
      {35.0, 22.0},   // at the start itself
      {36.0, 35.0},   // one second in counts as inside
      {15.2, 0.0},    // first cut, early: the opening
      {7.0, 0.0},     // in the opening: its start
      {0.0, 0.0},
      {124.0, 118.0},
  };
  for (const Case& c : cases) {
    Transport t = at(c.from);
    view::transport_previous_cut(t);
    EXPECT_EQ(t.position, static_cast<int>(c.expected * kRate)) << "from " << c.from;
  }
}

TEST(Transport, SkipsAndStepsStayInsideTheSong) {
  struct Case {
    double from, skip, expected;
  } cases[] = {{20.0, 1.0, 21.0}, {20.0, -1.0, 19.0}, {20.0, 10.0, 30.0}, {5.0, -10.0, 0.0}, {120.0, 10.0, 125.0}};
  for (const Case& c : cases) {
    Transport t = at(c.from);
    view::transport_skip(t, c.skip);
    EXPECT_EQ(t.position, static_cast<int>(c.expected * kRate)) << c.from << " + " << c.skip;
  }
  Transport t = at(20.0);
  view::transport_step(t, 1);
  EXPECT_EQ(t.position, 20 * kRate + 735);  // 1/60 s
  view::transport_step(t, -2);
  EXPECT_EQ(t.position, 20 * kRate - 735);
  Transport start = at(0.0);
  view::transport_step(start, -1);
  EXPECT_EQ(start.position, 0);
  Transport end = at(125.0);
  view::transport_step(end, 1);
  EXPECT_EQ(end.position, 5512500);
}

TEST(Transport, PlaybackStopsAtTheEndOrLoopsTheCut) {
  Transport t = at(124.9, false);
  view::transport_advance(t, 5512500 + 1000);
  EXPECT_EQ(t.position, 5512500);  // the clock freezes at 125 s

  Transport loop = at(64.9, false);  // cut 7, 60 s to 65 s
  loop.loop = true;
  view::transport_advance(loop, static_cast<int>(64.95 * kRate));
  EXPECT_EQ(loop.position, static_cast<int>(64.95 * kRate));
  view::transport_advance(loop, 65 * kRate);
  EXPECT_EQ(loop.position, 60 * kRate);

  Transport last = at(124.9, false);  // the last cut loops at the song's end
  last.loop = true;
  view::transport_advance(last, 5512500);
  EXPECT_EQ(last.position, 118 * kRate);

  Transport free_run = at(64.9, false);
  view::transport_advance(free_run, 65 * kRate + 10);
  EXPECT_EQ(free_run.position, 65 * kRate + 10);
}

}  // namespace
