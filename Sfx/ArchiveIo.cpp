// File access of the archive code.
#include "Sfx/ArchiveIo.h"

#include <atomic>

#include "Sfx/ArchivePath.h"
#include "foundation/WuFolders.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"

bool ArcReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD count, DWORD* got) {
  *got = 0;
  if (count == 0) return true;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  if (ReadFile(file, buffer, count, &n, &at)) {
    *got = n;
    return true;
  }
  return GetLastError() == ERROR_HANDLE_EOF;  // nothing there: 0 bytes
}

bool ArcReadExact(HANDLE file, ULONGLONG offset, void* buffer, DWORD count) {
  DWORD got = 0;
  return ArcReadAt(file, offset, buffer, count, &got) && got == count;
}

bool ArcWriteAt(HANDLE file, ULONGLONG offset, const void* buffer, DWORD count) {
  if (count == 0) return true;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD n = 0;
  return WriteFile(file, buffer, count, &n, &at) && n == count;
}

bool ArcSetFileSize(HANDLE file, ULONGLONG size) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

bool ArcFileSize(HANDLE file, ULONGLONG* size) {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(file, &s)) return false;
  *size = static_cast<ULONGLONG>(s.QuadPart);
  return true;
}

bool ArcPathSize(LPCWSTR path, ULONGLONG* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool ArcFileExists(LPCWSTR path) {
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ArcReplacedFile(LPCWSTR target, std::u16string* file) {
  return platform::GetReplacedFileName(target, file) != FALSE;
}

HANDLE ArcCreateWorkFile(LPCWSTR file, std::u16string* work) {
  HANDLE h = platform::CreatePrivateFileBeside(file, u"~", work, GENERIC_READ | GENERIC_WRITE);
  if (h != INVALID_HANDLE_VALUE) return h;
  work->clear();
  return nullptr;
}

bool ArcCommitWorkFile(HANDLE file, LPCWSTR work, LPCWSTR target, bool whole) {
  bool ok = whole && platform::SetFileModeLike(file, target) != FALSE;
  CloseHandle(file);
  if (ok && MoveFileExW(work, target, MOVEFILE_REPLACE_EXISTING)) return true;
  ArcDeleteWorkFile(work);
  return false;
}

HANDLE ArcCreateWorkFileFor(LPCWSTR target, bool refuse_unreplaceable, std::u16string* file,
                            std::u16string* work) {
  work->clear();
  if (!ArcReplacedFile(target, file)) return nullptr;
  if (refuse_unreplaceable) {
    DWORD existing = GetFileAttributesW(file->c_str());
    if (existing != INVALID_FILE_ATTRIBUTES &&
        (existing & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)))
      return nullptr;
  }
  return ArcCreateWorkFile(file->c_str(), work);
}

void ArcDeleteWorkFile(LPCWSTR work) {
  SetFileAttributesW(work, FILE_ATTRIBUTE_NORMAL);  // it may have a read-only target's bits
  DeleteFileW(work);
}

ArcBuffer::~ArcBuffer() { WuGlobalDelete(data_); }

bool ArcBuffer::Allocate(SIZE_T bytes) {
  WuGlobalDelete(data_);
  data_ = static_cast<BYTE*>(WuGlobalNew(bytes));
  return data_ != nullptr;
}

namespace {

std::atomic<ARCDISKINFOPROC> g_diskSource{nullptr};  // test seam; NULL: the platform

// The library's free-space query (units of 1,024 bytes, capped at
// 0xFFFFFFFF) on the volume of an existing path.
BOOL PlatformDiskInfo(LPCWSTR path, tARCDISKINFO* info) {
  WCHAR full[kArchivePathUnits];
  if (!ArcFullPath(path, full, kArchivePathUnits)) return FALSE;
  DWORD a = GetFileAttributesW(full);
  if (a == INVALID_FILE_ATTRIBUTES) return FALSE;
  // The query looks at the path's folder part: a folder is given with its
  // trailing separator.
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !ArcAppend(full, kArchivePathUnits, u"/")) return FALSE;
  info->freeBytes = static_cast<ULONGLONG>(WuGetDiskFreeSpace(full, 1024)) * 1024;
  if (!GetVolumeInformationW(full, nullptr, 0, nullptr, nullptr, nullptr, info->fileSystem, 128))
    info->fileSystem[0] = 0;
  return TRUE;
}

bool IsFat(LPCWSTR file_system) {
  return lstrcmpiW(file_system, u"FAT32") == 0 || lstrcmpiW(file_system, u"FAT") == 0;
}

}  // namespace

void ArcSetDiskInfoSource(ARCDISKINFOPROC source) { g_diskSource.store(source); }

bool ArcDiskInfo(LPCWSTR path, tARCDISKINFO* info) {
  *info = {};
  ARCDISKINFOPROC source = g_diskSource.load();
  return (source ? source : PlatformDiskInfo)(path, info) != FALSE;
}

bool ArcFreeUnits(LPCWSTR path, ULONGLONG* units) {
  tARCDISKINFO info;
  if (!ArcDiskInfo(path, &info)) return false;
  ULONGLONG free_bytes = info.freeBytes;
  constexpr ULONGLONG kFatLimit = 1ULL << 32;
  if (IsFat(info.fileSystem) && free_bytes > kFatLimit) free_bytes = kFatLimit;
  ULONGLONG u = free_bytes / 1024;
  *units = u > 0xFFFFFFFFULL ? 0xFFFFFFFFULL : u;
  return true;
}

bool ArcIsShort(ULONGLONG need_bytes, ULONGLONG free_units) {
  ULONGLONG need = need_bytes / 1024;
  return need >= (1ULL << 32) || need > free_units;
}
