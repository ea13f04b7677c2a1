// Metadata side files: their names, their owner chunk "WUPI", and their
// recognition.
#include <memory>
#include <new>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "mediaformats/FormAppend.h"
#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"

namespace {

constexpr WCHAR kSideExtension[] = u".wul";
constexpr DWORD kSideExtensionChars = 4;

}  // namespace

HRESULT WuFMMeta_CreateMetaName(LPCWSTR media_path, LPWSTR out, DWORD out_chars, int mode) {
  if (!media_path || !out) return E_INVALIDARG;
  DWORD length = static_cast<DWORD>(WuStrLenSafe(media_path));
  if (out_chars < length + kSideExtensionChars + 1) return E_INVALIDARG;
  DWORD keep = length;
  if (mode == 0) keep = static_cast<DWORD>(WuGetFileNameExtensionPtrW(media_path) - media_path);
  for (DWORD i = 0; i < keep; ++i) out[i] = media_path[i];
  for (DWORD i = 0; i <= kSideExtensionChars; ++i) out[keep + i] = kSideExtension[i];
  return S_OK;
}

namespace {

// The media name in the "WUPI" chunk of the side file `side_path`; false
// when the file does not open or holds no such chunk.
bool ReadAttachedName(LPCWSTR side_path, WCHAR (&name)[kMetaSideNameChars]) {
  HANDLE file = CreateFileW(side_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = 0;
  DWORD left = 0;
  name[0] = 0;
  bool found = SUCCEEDED(riff_FindChunkHeaderInRIFF(file, kMetaSideName, &size, &left)) &&
               SUCCEEDED(riff_ReadANSIString(file, name, kMetaSideNameChars, &size));
  CloseHandle(file);
  return found;
}

}  // namespace

BOOL WuFMMeta_IsMetaFile(LPCWSTR media_path, LPCWSTR side_path) {
  if (!media_path || !side_path) return FALSE;
  WCHAR name[kMetaSideNameChars] = {};
  return ReadAttachedName(side_path, name) && lstrcmpW(name, WuGetFileNamePtrW(media_path)) == 0;
}

HRESULT WuFMMeta_PutAttachedNameChunk(HANDLE side_file, LPCWSTR media_path, ULONGLONG* written) {
  *written = 0;
  if (!media_path) return E_FAIL;
  LPCWSTR name = WuGetFileNamePtrW(media_path);
  HRESULT hr = riff_WriteChunkHeader(side_file, kMetaSideName, riff_AnsiByteLength(name) + 1);
  DWORD count = 0;
  if (SUCCEEDED(hr)) hr = riff_WriteANSIString(side_file, name, &count);
  *written = 8 + count;
  return hr;
}

HRESULT WuFMMeta_WriteAttachedNameChunk(HANDLE side_file, LPCWSTR media_path) {
  return WuFMMeta_ReplaceAttachedNameChunk(side_file, media_path);
}

HRESULT WuFMMeta_ChangeAttachedFilename(LPCWSTR side_path, LPCWSTR new_media_path) {
  if (!side_path || !new_media_path) return E_FAIL;
  HANDLE file = CreateFileW(side_path, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WuErrorHandler_TranslateWin32Error(GetLastError());
  HRESULT hr = WuFMMeta_ReplaceAttachedNameChunk(file, new_media_path);
  CloseHandle(file);
  return hr;
}

HRESULT WuFMMeta_ReplaceAttachedNameChunk(HANDLE side_file, LPCWSTR media_path) {
  if (!media_path) return E_FAIL;
  // The new owner chunk is appended before the old ones go, so that the
  // side file names the old media file or the new one whatever fails. Then
  // every old one goes: the first one found is the one that names the
  // media file, so a stale one left in front would win over the new one.
  DWORD old = WuFMMeta_CountChunks(side_file, kMetaSideName);
  HRESULT hr = formappend::Append(side_file, formappend::Layout::kRiff, [&](ULONGLONG* written) {
    return WuFMMeta_PutAttachedNameChunk(side_file, media_path, written);
  });
  return FAILED(hr) ? hr : WuFMMeta_DeleteFirstChunks(side_file, kMetaSideName, old);
}

HANDLE WuFMMeta_CreateSideFile(LPCWSTR side_path, HRESULT* status) {
  // A file under this name that names a media file holds that file's
  // metadata: it is never truncated.
  WCHAR owner[kMetaSideNameChars];
  if (ReadAttachedName(side_path, owner)) {
    *status = WuErrorHandler_TranslateWin32Error(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE file = CreateFileW(side_path, GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *status = WuErrorHandler_TranslateWin32Error(GetLastError());
    return file;
  }
  *status = riff_WriteFileID(file, kMetaSideForm, 4);
  if (FAILED(*status)) {
    // Not even the form fits: no partial side file is left behind.
    CloseHandle(file);
    DeleteFileW(side_path);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}
