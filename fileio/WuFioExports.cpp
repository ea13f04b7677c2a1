// The library path of a renderer class, handle copies between processes
// and monikers.
#include "fileio/WuFioExports.h"

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioCommon.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuString.h"
#include "platform/com/remote.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"

HRESULT WuFio_GetPluginPath(IWuRenderFileClass* cls, LPWSTR out, DWORD size) {
  if (!cls || !out || size == 0) return E_INVALIDARG;
  out[0] = 0;
  GUID id = {};
  if (FAILED(cls->GetClassId(&id)) || IsEqualGUID(id, GUID{})) return WUFIO_E_ABSENT;
  return CWuFileIOManager::FindRendererLibrary(id, out, size);
}

namespace {

// The copy of `source` (a handle of this process) for this process; the
// converted Win32 error on failure.
HRESULT CopyWithin(HANDLE source, HANDLE* out) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  *out = copy;
  return S_OK;
}

// Opens the other process with all access as a check that it runs and may
// be reached; *self tells whether it is this process.
HRESULT ReachProcess(DWORD processId, bool* self) {
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
  if (!process) return WuErrorHandler_TranslateWin32Error(GetLastError());
  CloseHandle(process);
  *self = processId == GetCurrentProcessId();
  return S_OK;
}

// Every refusal across processes reads as access denied.
HRESULT Denied() { return WuErrorHandler_TranslateWin32Error(ERROR_ACCESS_DENIED); }

}  // namespace

// Another process gives a handle only while it has a call in progress to
// this one with that handle as an argument (a surrogate's plug-in pulling
// the file it was given).
HRESULT DuplicateHandleFromProcessId(DWORD handle, DWORD processId, HANDLE* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  bool self = false;
  HRESULT hr = ReachProcess(processId, &self);
  if (FAILED(hr)) return hr;
  if (self) return CopyWithin(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handle)), out);
  HANDLE copy = nullptr;
  if (platform::ComPullHandle(handle, processId, &copy) != ERROR_SUCCESS) return Denied();
  *out = copy;
  return S_OK;
}

// Another process takes a copy only over a connection between the two; the
// copy is noted as made for this process, which alone may close it there,
// and it closes when this process disconnects. *out is its handle value in
// that process.
HRESULT DuplicateHandleToProcessId(HANDLE handle, DWORD processId, HANDLE* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  bool self = false;
  HRESULT hr = ReachProcess(processId, &self);
  if (FAILED(hr)) return hr;
  if (self) return CopyWithin(handle, out);
  ULONGLONG copy = 0;
  if (platform::ComPushHandle(handle, processId, &copy) != ERROR_SUCCESS) return Denied();
  *out = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(copy));
  return S_OK;
}

namespace {

// Copies `count` characters of `text` into `out` (`size` characters),
// terminated; true when all fitted.
bool CopyPart(LPWSTR out, DWORD size, LPCWSTR text, size_t count) {
  size_t n = count < size ? count : size - 1;
  for (size_t i = 0; i < n; ++i) out[i] = text[i];
  out[n] = 0;
  return n == count;
}

}  // namespace

HRESULT WuFio_BuildMoniker(LPWSTR out, DWORD size, LPCWSTR name, LPCWSTR part1, LPCWSTR part2) {
  if (!out) return E_POINTER;
  if (static_cast<LONG>(size) <= 0) return E_INVALIDARG;
  DWORD at = 0;
  bool whole = WuFio_AppendText(out, size, &at, name);
  if (part1) {
    whole = WuFio_AppendText(out, size, &at, u"?") && whole;
    whole = WuFio_AppendText(out, size, &at, part1) && whole;
    if (part2) {
      whole = WuFio_AppendText(out, size, &at, u"&") && whole;
      whole = WuFio_AppendText(out, size, &at, part2) && whole;
    }
  }
  return whole ? S_OK : WUFIO_E_BUFFER_TOO_SMALL;
}

HRESULT WuFio_ParseMoniker(LPCWSTR moniker, LPWSTR nameOut, DWORD nameSize, LPWSTR restOut,
                           DWORD restSize) {
  if (!moniker || !nameOut || !restOut) return E_INVALIDARG;
  if (static_cast<LONG>(nameSize) <= 0 || static_cast<LONG>(restSize) <= 0) return E_INVALIDARG;
  const WCHAR* mark = moniker;
  while (*mark && *mark != u'?') ++mark;
  bool whole = CopyPart(nameOut, nameSize, moniker, static_cast<size_t>(mark - moniker));
  if (!*mark) {
    restOut[0] = 0;
    return whole ? S_FALSE : WUFIO_E_BUFFER_TOO_SMALL;
  }
  const WCHAR* rest = mark + 1;
  whole = CopyPart(restOut, restSize, rest, static_cast<size_t>(WuStrLenSafe(rest))) && whole;
  return whole ? S_OK : WUFIO_E_BUFFER_TOO_SMALL;
}
