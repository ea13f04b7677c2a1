// Whole pixels touched by a span in Q14 units (0x4000 a pixel), with the
// share of its first and last pixels that the span covers (internal to
// imaging/: the fade and the sub-pixel copy).
#pragma once

#include <cstdint>

#include "platform/kernel/types.h"

struct WuQ14Span {
  int64_t first;    // first pixel touched
  int64_t end;      // one past the last pixel touched
  LONG firstCover;  // coverage of the first pixel, Q14
  LONG lastCover;   // coverage of the last pixel, Q14
};

// The span from `lo` to `hi` (lo < hi). A span within one pixel gives that
// pixel its length as coverage.
inline WuQ14Span WuQ14SpanOf(int64_t lo, int64_t hi) {
  WuQ14Span s;
  s.first = lo >> 14;
  s.end = (hi + 0x3FFF) >> 14;
  s.firstCover = (lo & 0x3FFF) ? 0x4000 - static_cast<LONG>(lo & 0x3FFF) : 0x4000;
  s.lastCover = (hi & 0x3FFF) ? static_cast<LONG>(hi & 0x3FFF) : 0x4000;
  if (s.end - s.first == 1) s.firstCover = s.lastCover = static_cast<LONG>(hi - lo);
  return s;
}

// Coverage of pixel i of the span (the first pixel tested before the last).
inline LONG WuQ14CoverAt(const WuQ14Span& s, int64_t i) {
  if (i == s.first) return s.firstCover;
  if (i == s.end - 1) return s.lastCover;
  return 0x4000;
}
