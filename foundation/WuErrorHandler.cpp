#include "foundation/WuErrorHandler.h"

#include "foundation/WuStatus.h"

namespace {

// One row of the translation table.
struct Win32Translation {
  DWORD error;     // Win32 error number
  HRESULT status;  // the status code callers receive
};

constexpr Win32Translation kWin32Translations[] = {
    {ERROR_SUCCESS, S_OK},
    {ERROR_INVALID_FUNCTION, E_INVALIDARG},
    {ERROR_FILE_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_PATH_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_TOO_MANY_OPEN_FILES, WU_E_TOO_MANY_FILES},
    {ERROR_ACCESS_DENIED, E_ACCESSDENIED},
    {ERROR_INVALID_HANDLE, E_HANDLE},
    {ERROR_OUTOFMEMORY, E_OUTOFMEMORY},
    {84, E_OUTOFMEMORY},  // out of structures
    {ERROR_INVALID_DRIVE, WU_E_INVALID_DEVICE},
    {ERROR_SHARING_VIOLATION, WU_E_IN_USE},
    {ERROR_HANDLE_DISK_FULL, WU_E_DISK_FULL},
    {ERROR_FILE_EXISTS, WU_E_FILE_EXISTS},
    {110, WU_E_OPEN_FILE},  // the system cannot open the device or file
    {ERROR_DISK_FULL, WU_E_DISK_FULL},
    {ERROR_CALL_NOT_IMPLEMENTED, E_NOTIMPL},
    {ERROR_INVALID_NAME, WU_E_BAD_FILE_NAME},
    {ERROR_MOD_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_PROC_NOT_FOUND, WU_E_NOT_FOUND},
    {ERROR_BUSY, WU_E_BUSY},
    {ERROR_ALREADY_EXISTS, WU_E_ALREADY_EXISTS},
};

}  // namespace

HRESULT WuErrorHandler_TranslateWin32Error(DWORD error) {
  for (const Win32Translation& row : kWin32Translations)
    if (row.error == error) return row.status;
  return E_FAIL;
}
