// Linear sampling positions of one direction, shared by the bilinear worker
// and the box-with-linear area workers. Internal to the scalers.
#pragma once

#include <vector>

#include "imaging/WuScaleCommon.h"

namespace wuscale {

// The two source lines and the fraction of one destination row or column.
struct LinearTap {
  LONG lo;    // line at the position (floor)
  LONG hi;    // the next line, or lo again at the last used line
  LONG frac;  // weight of hi, Q14
};

// Positions start at the source edge srcLo and advance by the coverage
// share of `step` after the first pixel and into the last one (when there
// are at least three), by `step` between. With `simple` (the box-with-linear
// workers) they advance by the share only after the first pixel, and a
// position at or past the last used line samples that line alone.
std::vector<LinearTap> LinearTaps(const Axis& axis, LONG srcLo, LONG srcHi, LONG step,
                                  bool simple = false);

}  // namespace wuscale
