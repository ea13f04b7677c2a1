// The signed bytes-left counter of the RIFF64 layer (internal to the media
// formats).
#pragma once

#include <cstdint>

#include "platform/kernel/types.h"

namespace riff64counter {

// Lowers the counter by `amount` without clamping: a chunk that claims
// more than remains takes it below 0 (at most to the smallest value).
inline void Lower(LONGLONG* left, ULONGLONG amount) {
  if (!left) return;
  ULONGLONG room = static_cast<ULONGLONG>(*left) - static_cast<ULONGLONG>(INT64_MIN);
  *left = amount >= room ? INT64_MIN : static_cast<LONGLONG>(static_cast<ULONGLONG>(*left) - amount);
}

// Lowers the counter by `amount`, stopping at 0.
inline void LowerToZero(LONGLONG* left, ULONGLONG amount) {
  if (!left) return;
  *left = *left <= 0 || amount >= static_cast<ULONGLONG>(*left)
              ? 0
              : static_cast<LONGLONG>(static_cast<ULONGLONG>(*left) - amount);
}

// A 64-bit unsigned size as a counter (sizes beyond the signed range
// count as the largest counter).
inline LONGLONG FromSize(ULONGLONG size) {
  return size > static_cast<ULONGLONG>(INT64_MAX) ? INT64_MAX : static_cast<LONGLONG>(size);
}

}  // namespace riff64counter
