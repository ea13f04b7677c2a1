// The library's clock: milliseconds and microseconds since a stamp, as
// cheaply as the machine allows.
//
// Three sources exist: the tick count (the default), the performance
// counter, and the processor's time-stamp counter after a calibration. The
// kernel start-up picks the source once (WuTimer_SetupClock, then
// WuTimer_LateInitialize); afterwards every query is one indirect call
// through the chosen source's six clock functions.
//
// A stamp is 8 bytes owned by the caller and holds a raw counter value of
// the source that wrote it (the tick count uses only its first 4 bytes).
// Results are unsigned 32-bit values that wrap; a caller starts its own
// stamp with one delta call and ignores that first result.
#pragma once

#include "platform/kernel/types.h"

// Milliseconds / microseconds since the default stamp (set when the source
// was chosen).
DWORD WuGetMillisec();
DWORD WuGetMicrosec();

// Milliseconds / microseconds since a stamp; the stamp is left alone.
DWORD WuGetMillisecEx(const ULONGLONG* stamp);
DWORD WuGetMicrosecEx(const ULONGLONG* stamp);

// Milliseconds / microseconds since a stamp's value; the stamp is set to now.
DWORD WuDeltaMillisecEx(ULONGLONG* stamp);
DWORD WuDeltaMicrosecEx(ULONGLONG* stamp);

// Chooses the performance counter (level >= 1) unless a source other than
// the tick count is chosen already, resets the default stamp, and for level
// 5 or more starts a time-stamp-counter calibration (only on the 9x platform
// with a Pentium-class processor). A counter slower than 1 MHz is not used:
// the tick count stays.
void WuTimer_SetupClock(int level);

// Completes a started calibration (sleeping until 500 ms have passed since
// it started) and switches to the time-stamp counter when it succeeded.
// Marks the timer initialised. Returns the calibrated counts per second, or
// 0 when no calibration ran or it was cancelled.
ULONGLONG WuTimer_LateInitialize();

// Test seam: puts the process-wide clock back to its initial state (tick
// count, no calibration, not initialised). Not for library code.
void WuTimer_ResetForTesting();
