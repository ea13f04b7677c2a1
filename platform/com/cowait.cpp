#include "platform/com/cowait.h"

#include "platform/kernel/error.h"
#include "platform/kernel/threads.h"

HRESULT CoWaitForMultipleHandles(DWORD flags, DWORD milliseconds, ULONG count,
                                 const HANDLE* handles, LPDWORD index) {
  constexpr DWORD kKnownFlags = COWAIT_WAITALL | COWAIT_ALERTABLE | COWAIT_INPUTAVAILABLE;
  if (!handles || !index || count == 0 || count > MAXIMUM_WAIT_OBJECTS ||
      (flags & ~kKnownFlags)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_INVALIDARG;
  }
  const BOOL wait_all = (flags & COWAIT_WAITALL) ? TRUE : FALSE;
  const DWORD result = WaitForMultipleObjects(count, handles, wait_all, milliseconds);
  if (result == WAIT_TIMEOUT) return RPC_S_CALLPENDING;
  if (result == WAIT_FAILED) return E_INVALIDARG;
  *index = result;  // WAIT_OBJECT_0 + i or WAIT_ABANDONED + i
  return S_OK;
}
