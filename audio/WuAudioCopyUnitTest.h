// The round-trip self test of the integer/float conversion kernels.
//
// Every value of each integer type of a node goes through the node's
// to-float kernel, is moved half an LSB up in the float domain, and comes
// back through the node's from-float kernel; the result must equal the
// reference moved the way rounding halves to even moves it. The nodes name
// their kernels directly (not through the selection), so a class-6
// processor still checks the scalar and x87 store variants. A node runs
// when the processor class (WuGetCPUSupport(WUCPU_CLASS_MASK)) reaches its
// minimum class; the SSE4.1 node runs when WuGetCPUSupport(WUCPU_SSE41) is
// non-zero.
#pragma once

#include <cstdint>

#include "audio/WuAudioCopy.h"
#include "audio/WuSampleType.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Number of nodes in the self-test table.
constexpr int32_t kWuAudioCopyTestNodeCount = 27;

// One node of the self test.
struct WuAudioCopyTestNode {
  WUSAMPLETYPE intType;       // integer sample type
  WUSAMPLETYPE floatType;     // WUSAMPLE_FLOAT32 or WUSAMPLE_FLOAT64
  WuAudioCopyFunc toFloat;    // integer type into float type
  WuAudioCopyFunc fromFloat;  // float type back into the integer type
  int32_t minClass;           // runs when the CPU class is at least this
  DWORD feature;              // and, when not 0, this feature bit is present
};

// Runs every node the processor supports, with the wait cursor shown.
// S_OK when all pass. A failing node adds the details line
// "WuAudioCopy_UnitTest node[n] failed." (E_UNEXPECTED) and the others
// still run; the result is then E_UNEXPECTED. Out of memory stops the test
// with E_OUTOFMEMORY. With an owner window a failure is shown in an error
// box ("INTERNAL: AudioCopy unit test failed!") and S_OK is returned. The
// error details are cleared first. Run it on the user-interface thread.
HRESULT WuAudioCopy_UnitTest(HWND owner);

// Writes `count` samples of an integer type: value k is (type minimum +
// start + k) clamped to the type's range, in the type's encoding (8-bit
// types: the start clamped once, then stepping in 8-bit arithmetic).
// Returns count, or 0 (nothing written) for a type other than the nine
// integer types.
LONG WuAudioCopy_UnitTest_FillRamp(WUSAMPLETYPE type, DWORD start, void* buffer, LONG count);

// Moves each float sample up by x LSB of the integer type (clamped to
// [-1, 1]) and each reference integer by x rounded half away from zero when
// odd, by x rounded to nearest with halves toward zero when even (clamped),
// which is where a half-to-even conversion of the floats lands.
void WuAudioCopy_UnitTest_Perturb(void* intBuffer, WUSAMPLETYPE intType, void* floatBuffer,
                                  WUSAMPLETYPE floatType, LONG count, double x);

// Test seams.
// The node table as the next run uses it (from-float overrides included).
void WuAudioCopy_UnitTest_GetNode(int32_t node, WuAudioCopyTestNode* out);
// Bit n set: node n ran (was not skipped) in the last self test.
DWORD WuAudioCopy_UnitTest_LastNodesRun();
// Puts `kernel` in place of node `node`'s from-float kernel; null restores
// the table's kernel.
void WuAudioCopy_UnitTest_SetFromFloatForTesting(int32_t node, WuAudioCopyFunc kernel);
