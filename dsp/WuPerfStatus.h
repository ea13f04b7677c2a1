// Status values of the signal-processing primitives.
//
// Every kernel entry returns a WuPerfStatus: zero is success, positive
// values are warnings that still produced a result, negative values are
// errors. The exports hand them to callers in HRESULT form (facility 4,
// code 0xE600 plus the magnitude), so that success too has a nonzero code
// and callers test the sign.
#pragma once

#include <cstdint>

typedef int32_t WuPerfStatus;  // signed 32-bit status of a kernel entry

constexpr WuPerfStatus WuPerfOk = 0;                  // success
constexpr WuPerfStatus WuPerfWarnSqrtNegative = 3;    // a square-root input was negative
constexpr WuPerfStatus WuPerfWarnOtherCpu = 20;       // no CPUID, or another vendor
constexpr WuPerfStatus WuPerfWarnNoCpuid = 36;        // no CPUID instruction
constexpr WuPerfStatus WuPerfErrSize = -6;            // a length is zero or negative
constexpr WuPerfStatus WuPerfErrNullPointer = -8;     // a required pointer is null
constexpr WuPerfStatus WuPerfErrNoMemory = -9;        // an allocation failed
constexpr WuPerfStatus WuPerfErrFFTOrder = -15;       // FFT order out of range
constexpr WuPerfStatus WuPerfErrFFTFlag = -16;        // FFT scaling flag not 1, 2, 4 or 8
constexpr WuPerfStatus WuPerfErrContextKind = -17;    // not an FFT context of this kind

// Two inputs the status mapping folds to -255 and -256; no operation
// produces them.
constexpr WuPerfStatus WuPerfStatusFoldedTo255 = -9999;
constexpr WuPerfStatus WuPerfStatusFoldedTo256 = -9998;

// The algorithm hint of the FFT set-ups: 0, 1 or 2. It is stored in the
// context and changes no result.
typedef int32_t WuPerfHintAlgorithm;
