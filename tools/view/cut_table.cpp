#include "cut_table.h"

#include "film_frames.h"

namespace view {
namespace {

// film_cuts() holds the opening set-up first, then the 20 cuts.
const intro::CutMoment& film_cut(int cut) { return intro::film_cuts()[static_cast<std::size_t>(cut + 1)]; }

}  // namespace

// The arrangement's large-scale form: the melodic opening with the first
// pads, the pads of the second chord, the groove, the arpeggio with the
// impacts, and the ring-out after the groove stops.
const Section kSections[kSectionCount] = {
    {0.0, 35.0, "opening"},   {35.0, 44.0, "pads"},      {44.0, 80.0, "groove"},
    {80.0, 121.0, "arpeggio"}, {121.0, 125.0, "ring-out"},
};

int cut_at(double seconds) {
  int cut = kOpening;
  for (int j = 0; j < kCutCount; ++j) {
    if (seconds >= film_cut(j).from) cut = j;
  }
  return cut;
}

double cut_start(int cut) { return cut < 0 ? 0.0 : film_cut(cut).from; }

double cut_end(int cut) { return film_cut(cut).to; }

int cut_shot(int cut) { return cut < 0 ? -1 : film_cut(cut).shot; }

}  // namespace view
