// Per-thread last error, as the platform keeps it.
//
// Every platform function that fails sets the calling thread's last error to
// a Win32 error number (platform/kernel/types.h). Linux errno values are turned into
// those numbers in one place, platform::ErrorFromErrno.
#pragma once

#include "platform/kernel/types.h"

DWORD GetLastError();
void SetLastError(DWORD error);

namespace platform {

// The Win32 error number that stands for a Linux errno value.
DWORD ErrorFromErrno(int err);

// Sets the last error from errno (or the value given) and returns it.
DWORD SetLastErrorFromErrno();
DWORD SetLastErrorFromErrno(int err);

}  // namespace platform
