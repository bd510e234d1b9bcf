#include "cut_table.h"

namespace view {

const double kCutStarts[kCutCount] = {15, 20, 22, 35, 45, 50, 54, 60, 65, 70, 75, 79, 81, 85, 87, 91, 94, 100, 102, 118};
const int kCutShots[kCutCount] = {0, 1, 2, 16, 3, 4, 5, 6, 12, 8, 9, 10, 3, 11, 6, 4, 12, 3, 4, 10};

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
    if (seconds >= kCutStarts[j]) cut = j;
  }
  return cut;
}

double cut_start(int cut) { return cut < 0 ? 0.0 : kCutStarts[cut]; }

double cut_end(int cut) { return cut + 1 < kCutCount ? kCutStarts[cut + 1] : kEndSeconds; }

int cut_shot(int cut) { return cut < 0 ? -1 : kCutShots[cut]; }

}  // namespace view
