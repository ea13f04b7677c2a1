// The run's temporary folder: "<temp path>OrvoInstall_<n>", the first n
// whose name is free. The folder is made new and private (only this user
// may enter it): an existing name is never adopted, since another user
// could have prepared it to read or replace what we unpack. An existing
// folder is passed over; a name taken by anything else (a file, a link)
// counts as a failure, and 100 failures end the search.
#include "Sfx/SfxRun.h"

#include "Sfx/SfxRunState.h"
#include "foundation/WuFolders.h"
#include "foundation/WuPath.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/files.h"

namespace {

constexpr UINT kTempNotWritableId = 550;  // "Unable to write to the temp directory in %s..."
constexpr int kMaxFailures = 100;         // failed candidates before giving up
constexpr int kMaxCandidates = 100000;    // names tried at most, existing ones included
constexpr UINT kBoxStyle = 0x30;          // exclamation

// A folder itself, not a link to one.
bool IsRealFolder(LPCWSTR path) {
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
         !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

}  // namespace

HRESULT SfxCreateTempFolder(LPWSTR buffer, int size) {
  if (!buffer || size < 1) return E_INVALIDARG;
  buffer[0] = 0;
  WCHAR tempPath[SFX_PATH_SIZE] = {};
  DWORD len = WuGetTempPath(SFX_PATH_SIZE, tempPath);
  if (len == 0 || len >= SFX_PATH_SIZE || !WuIsDirectoryWritable(tempPath)) {
    WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kTempNotWritableId, tempPath);
    return SFX_E_TEMP_NOT_WRITABLE;
  }
  WCHAR base[SFX_PATH_SIZE] = {};
  WuPrintFN(base, SFX_PATH_SIZE, u"%s%s", tempPath, kSfxTempFolderPrefix);

  int failures = 0;
  for (int n = 1; n <= kMaxCandidates && failures < kMaxFailures; ++n) {
    WCHAR candidate[SFX_PATH_SIZE + 16] = {};
    int candidateLen = WuPrintFN(candidate, SFX_PATH_SIZE + 16, u"%s%d", base, n);
    if (candidateLen >= size || candidateLen >= SFX_PATH_SIZE) {
      ++failures;
      continue;
    }
    if (platform::CreatePrivateDirectory(candidate)) {
      WuStrCpyN(buffer, candidate, size);
      return S_OK;
    }
    // Only a real folder of that name is passed over; anything else in
    // the way (a file, a link) is a candidate that could not be created.
    if (GetLastError() != ERROR_ALREADY_EXISTS || !IsRealFolder(candidate)) ++failures;
  }
  buffer[0] = 0;
  WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kTempNotWritableId, tempPath);
  return E_INVALIDARG;
}
