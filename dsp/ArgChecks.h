// Argument checks shared by the entry functions of every variant.
//
// Pointers are checked first, in argument order, then the length, so a
// null pointer wins over a bad length. These functions have internal
// linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>

#include "dsp/WuPerfStatus.h"

namespace wuperf {
namespace {

// Status of a (pointer, pointer, length) vector call.
[[maybe_unused]] WuPerfStatus CheckVectorArgs(const void* first, const void* second,
                                              int32_t len) {
  if (!first || !second) return WuPerfErrNullPointer;
  if (len <= 0) return WuPerfErrSize;
  return WuPerfOk;
}

// Status of a (pointer, length) vector call.
[[maybe_unused]] WuPerfStatus CheckVectorArgs(const void* data, int32_t len) {
  if (!data) return WuPerfErrNullPointer;
  if (len <= 0) return WuPerfErrSize;
  return WuPerfOk;
}

}  // namespace
}  // namespace wuperf
