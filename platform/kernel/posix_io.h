// Small POSIX helpers shared by the sources of platform/ (not a platform
// area of its own, and not for use outside platform/).
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// Reads a descriptor to its end, retrying interrupted reads.
bool ReadAllFd(int fd, std::string* out);
// The whole contents of a Linux file; empty when it cannot be opened or read.
std::string ReadLinuxFile(const std::string& path);
// Writes all bytes, retrying interrupted and short writes.
bool WriteAllFd(int fd, const std::string& bytes);

// The longest name the file system of `folder` takes, in bytes (255 when
// it does not say).
size_t NameMaxIn(const std::string& folder);
// The first `size` bytes of the UTF-8 name `name`, or fewer, so that no
// character is cut in two: for a name shortened to fit a name length.
std::string Utf8Prefix(const std::string& name, size_t size);

// Replaces the contents of `path` atomically: the bytes go to a temporary
// file in the same folder, are flushed to disk, get `mode`, and the file is
// renamed over `path`. Readers see the old or the new file, never a part of
// one. Returns 0 or the errno of the failure (the temporary file is then
// removed and `path` is unchanged).
int ReplaceFileAtomically(const std::string& path, const std::string& bytes, mode_t mode);

// What a Linux path names, links followed: kNone when nothing can be found
// there (missing, or a folder on the way cannot be searched).
enum class LinuxPathKind { kNone, kFile, kFolder, kOther };
LinuxPathKind KindOfLinuxPath(const std::string& path);

// Whether the calling process may run the file `path` (execute permission).
bool MayRunLinuxFile(const std::string& path);

}  // namespace platform
