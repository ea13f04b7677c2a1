// Waiting for handles from a thread that uses components.
//
// There are no apartments here, so nothing has to be pumped while a thread
// waits: the wait is WaitForMultipleObjects with its results turned into
// status codes. The flags are checked and otherwise only accepted.
#pragma once

#include "platform/com/com.h"

constexpr DWORD COWAIT_WAITALL = 0x1;         // wait until every handle is signalled
constexpr DWORD COWAIT_ALERTABLE = 0x2;       // accepted; there are no queued calls to run
constexpr DWORD COWAIT_INPUTAVAILABLE = 0x4;  // accepted; there is no message queue to watch

// The time limit passed without a handle being signalled.
constexpr HRESULT RPC_S_CALLPENDING = static_cast<HRESULT>(0x80010115u);

// Waits up to `milliseconds` (INFINITE: no limit) for one of `count`
// handles (every one with COWAIT_WAITALL). S_OK: *index gets the index of
// the signalled handle (0 for a wait for all), or WAIT_ABANDONED plus that
// index when it is a mutex whose owner ended. RPC_S_CALLPENDING when the
// limit passes. E_INVALIDARG, with last error set by the wait where it
// refused: no handle array or index pointer, a count of 0 or above
// MAXIMUM_WAIT_OBJECTS, an unknown flag, a handle that is not open or not
// waitable, one handle named twice in a wait for all. *index is written only
// on S_OK; a refused wait takes no object.
HRESULT CoWaitForMultipleHandles(DWORD flags, DWORD milliseconds, ULONG count,
                                 const HANDLE* handles, LPDWORD index);
