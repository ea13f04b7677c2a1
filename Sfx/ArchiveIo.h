// File access of the archive code: positioned reads and writes, sizes,
// zero-filled buffers, and the disk facts (free space, file system) behind
// the space checks, with a seam through which tests present any disk.
#pragma once

#include <string>

#include "platform/kernel/types.h"

// Bytes moved per block by every copy, extraction and compression loop.
constexpr DWORD kArchiveBlockSize = 262144;
// Output buffer of the decompressor and the compressor.
constexpr DWORD kArchiveZOutSize = 288358;

// Reads up to `count` bytes at an absolute file offset; *got receives the
// bytes read (fewer at the end of the file, 0 past it). False on a failure.
bool ArcReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD count, DWORD* got);
// Reads exactly `count` bytes at an offset; false when fewer are there.
bool ArcReadExact(HANDLE file, ULONGLONG offset, void* buffer, DWORD count);
// Writes all `count` bytes at an absolute file offset.
bool ArcWriteAt(HANDLE file, ULONGLONG offset, const void* buffer, DWORD count);
// Cuts or extends an open file to `size` bytes.
bool ArcSetFileSize(HANDLE file, ULONGLONG size);
// The size of an open file; false on failure.
bool ArcFileSize(HANDLE file, ULONGLONG* size);
// The size of a named file; false when it cannot be examined.
bool ArcPathSize(LPCWSTR path, ULONGLONG* size);
// True when a path names an existing file (not a folder).
bool ArcFileExists(LPCWSTR path);

// The file that writing to `target` replaces: `target` with every final
// symbolic link followed (a relative link read from the link's folder), so
// that a file kept behind a link is replaced where it is and the link
// stays. A dangling link gives the name it points to. False for a loop.
bool ArcReplacedFile(LPCWSTR target, std::u16string* file);
// A file that is to replace `file` (a name that is not a link, as
// ArcReplacedFile gives, or a new one) is written first as a work file
// beside it, created exclusively under a name that was free: "~NAME" when
// it is, else another free name (also when "~NAME" would be too long for
// the file system). Nothing already there is opened, replaced or removed.
// Only its owner may read the work file. Returns it open for reading and
// writing, with its path in `work`; NULL (and `work` empty) on failure.
HANDLE ArcCreateWorkFile(LPCWSTR file, std::u16string* work);
// Both steps for a name as given: the file it stands for (ArcReplacedFile)
// in `file`, and its work file (ArcCreateWorkFile) in `work`. With
// `refuse_unreplaceable`, a folder or a read-only file there (which the
// work file could never replace) is refused before anything is made. NULL
// on failure.
HANDLE ArcCreateWorkFileFor(LPCWSTR target, bool refuse_unreplaceable, std::u16string* file,
                            std::u16string* work);
// Ends a work file. A `whole` one is put in the place of `target`: it gets
// the permission bits of the file it replaces (or those of any new file),
// is closed and renamed over `target`. One that is not whole (its writing
// failed), or that cannot be put in place, is closed and removed, and
// `target` is as it was; the result is then false.
bool ArcCommitWorkFile(HANDLE file, LPCWSTR work, LPCWSTR target, bool whole);
// Removes a work file that is not wanted, also when it has been given a
// read-only file's permission bits.
void ArcDeleteWorkFile(LPCWSTR work);

// A zero-filled block of global memory, freed with its owner.
class ArcBuffer {
 public:
  ArcBuffer() = default;
  explicit ArcBuffer(SIZE_T bytes) { Allocate(bytes); }
  ~ArcBuffer();
  ArcBuffer(const ArcBuffer&) = delete;
  ArcBuffer& operator=(const ArcBuffer&) = delete;
  // Replaces the block; false (and no block) when memory is exhausted.
  bool Allocate(SIZE_T bytes);
  BYTE* get() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  BYTE* data_ = nullptr;  // the block, or NULL
};

// ---- Disk facts -------------------------------------------------------------------
struct tARCDISKINFO {
  ULONGLONG freeBytes;    // bytes available to the caller on the path's volume
  WCHAR fileSystem[128];  // file-system name ("ext4", "FAT32", ...), terminated
};
// A source of disk facts for a path; FALSE when the path cannot be examined.
typedef BOOL (*ARCDISKINFOPROC)(LPCWSTR path, tARCDISKINFO* info);
// Installs a source (NULL: the platform's real one). For tests.
void ArcSetDiskInfoSource(ARCDISKINFOPROC source);
// The facts of the volume that holds `path` (an existing file or folder).
bool ArcDiskInfo(LPCWSTR path, tARCDISKINFO* info);
// Free space in units of 1,024 bytes, capped at 0xFFFFFFFF; on a FAT or
// FAT32 volume no more than 4 GiB (the largest file it can hold).
bool ArcFreeUnits(LPCWSTR path, ULONGLONG* units);
// The short-of-space test: need (bytes) against free units.
bool ArcIsShort(ULONGLONG need_bytes, ULONGLONG free_units);
