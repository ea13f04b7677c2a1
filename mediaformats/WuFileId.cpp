// Quick identification: gathers at most 64 KiB from a file or a buffer and
// runs the probe table over it (WuFileIdProbes.cpp).
#include "mediaformats/WuFileId.h"

#include "foundation/WuErrorHandler.h"
#include "foundation/WuPathStrings.h"
#include "mediaformats/WuFileIdProbes.h"
#include "mediaformats/WuMp4Classifier.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

bool IsHandle(HANDLE file) { return file != INVALID_HANDLE_VALUE && file != nullptr; }

// TRUE when the row's code may run under the range flags.
bool Admitted(DWORD flags, DWORD code) {
  const DWORD ranges = flags & (WUFILEID_FLAG_AUDIO | WUFILEID_FLAG_VIDEO | WUFILEID_FLAG_IMAGE);
  if (ranges == 0) return true;
  if ((ranges & WUFILEID_FLAG_AUDIO) && code >= 2 && code <= 4095) return true;
  if ((ranges & WUFILEID_FLAG_VIDEO) && code >= 4096 && code <= 8191) return true;
  return (ranges & WUFILEID_FLAG_IMAGE) && code >= 8192;
}

HRESULT LastError() { return WuErrorHandler_TranslateWin32Error(GetLastError()); }

// Reads up to WUFILEID_MAX_BYTES from the start of the file.
HRESULT ReadHead(HANDLE file, BYTE* buffer, DWORD* read) {
  LONG high = 0;
  if (SetFilePointer(file, 0, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS)
    return LastError();
  *read = 0;
  while (*read < WUFILEID_MAX_BYTES) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + *read, WUFILEID_MAX_BYTES - *read, &got, nullptr)) return LastError();
    if (got == 0) break;
    *read += got;
  }
  return S_OK;
}

// Runs the table over the bytes; the type and identified flag go to the
// record and *identified.
void RunTable(WUFILEIDINFO* info, HANDLE file, const BYTE* data, DWORD n, const WCHAR* extension,
              BOOL* identified) {
  const fileid::ProbeRow* table = fileid::ProbeTable();
  info->eIdentifiedType = WUFILEID_UNKNOWN;
  for (int row = 0; row < fileid::kProbeRowCount; ++row) {
    if (!Admitted(info->dwFlags, table[row].code)) continue;
    if (row == fileid::kClassifierRow) {
      WUFILEID_IDENTIFIED_TYPE answer = WuMp4ClassifyBuffer(file, data, n);
      // The classifier moves the file; a caller's handle is left after the
      // bytes read.
      if (IsHandle(file)) {
        LONG high = 0;
        SetFilePointer(file, static_cast<LONG>(n), &high, FILE_BEGIN);
      }
      info->eIdentifiedType = answer;
      if (answer != WUFILEID_UNKNOWN) {
        *identified = TRUE;
        return;
      }
      continue;
    }
    if (table[row].probe(data, n, extension)) {
      info->eIdentifiedType = table[row].code;
      if ((info->dwFlags & WUFILEID_FLAG_SCOT_AS_WAV) && table[row].code == WUFILEID_WAV_SCOT)
        info->eIdentifiedType = WUFILEID_WAV;
      *identified = TRUE;
      return;
    }
  }
}

}  // namespace

HRESULT WuIsQuicklyIdentifiableMediaFileFormat(WUFILEIDINFO* info, BOOL* identified) {
  if (info == nullptr || identified == nullptr) return E_INVALIDARG;
  *identified = FALSE;
  info->eIdentifiedType = WUFILEID_NOT_EXAMINED;

  HANDLE file = IsHandle(info->hFile) ? info->hFile : INVALID_HANDLE_VALUE;
  bool opened_here = false;
  if (file == INVALID_HANDLE_VALUE && info->pszFileName != nullptr) {
    file = CreateFileW(info->pszFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    opened_here = true;
  } else if (file == INVALID_HANDLE_VALUE && (info->pBuffer == nullptr || info->dwBufferSize == 0)) {
    return E_INVALIDARG;
  }

  BYTE head[WUFILEID_MAX_BYTES];
  const BYTE* data = info->pBuffer;
  DWORD n = info->dwBufferSize < WUFILEID_MAX_BYTES ? info->dwBufferSize : WUFILEID_MAX_BYTES;
  if (file != INVALID_HANDLE_VALUE) {
    HRESULT hr = ReadHead(file, head, &n);
    if (FAILED(hr)) {
      if (opened_here) CloseHandle(file);
      return hr;
    }
    data = head;
  }

  const WCHAR* extension = nullptr;
  if (!(info->dwFlags & WUFILEID_FLAG_NO_EXTENSION) && info->pszFileName != nullptr)
    extension = WuGetFileNameExtensionPtrW(WuGetFileNamePtrW(info->pszFileName));

  RunTable(info, file, data, n, extension, identified);
  if (opened_here) CloseHandle(file);
  return S_OK;
}

namespace {

BOOL Identify(WUFILEIDINFO* info, WUFILEID_IDENTIFIED_TYPE* type) {
  BOOL identified = FALSE;
  WuIsQuicklyIdentifiableMediaFileFormat(info, &identified);
  if (type) *type = info->eIdentifiedType;
  return identified;
}

}  // namespace

BOOL WuIsQuicklyIdentifiableMediaFileFormat(HANDLE file, DWORD flags, WUFILEID_IDENTIFIED_TYPE* type) {
  WUFILEIDINFO info = {};
  info.dwFlags = flags;
  info.hFile = file;
  return Identify(&info, type);
}

BOOL WuIsQuicklyIdentifiableMediaFileFormat(const WCHAR* file_name, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type) {
  WUFILEIDINFO info = {};
  info.dwFlags = flags;
  info.hFile = INVALID_HANDLE_VALUE;
  info.pszFileName = file_name;
  return Identify(&info, type);
}

BOOL WuIsQuicklyIdentifiableMediaFileFormat(HANDLE file, const WCHAR* file_name, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type) {
  WUFILEIDINFO info = {};
  info.dwFlags = flags;
  info.hFile = file;
  info.pszFileName = file_name;
  return Identify(&info, type);
}

BOOL WuIsQuicklyIdentifiableMediaFileFormat(const BYTE* buffer, DWORD buffer_size, DWORD flags,
                                            WUFILEID_IDENTIFIED_TYPE* type) {
  WUFILEIDINFO info = {};
  info.dwFlags = flags;
  info.hFile = INVALID_HANDLE_VALUE;
  info.pBuffer = buffer;
  info.dwBufferSize = buffer_size;
  return Identify(&info, type);
}
