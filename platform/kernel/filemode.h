// Linux permission bits where the library needs them: a folder only this
// user may enter (for a program's own temporary files, which other users of
// the machine must neither read nor replace), a file made runnable (a
// program unpacked from an archive, which keeps no permission bits), and
// files written privately that then take another file's place with that
// file's permission bits (work copies, replacing writes).
#pragma once

#include "platform/kernel/types.h"

namespace platform {

// Creates one new folder that only its owner may read, write and enter
// (mode 0700). Never adopts what is already there: an existing name
// (folder, file or symbolic link) fails with ERROR_ALREADY_EXISTS. Other
// failures as CreateDirectoryW (ERROR_PATH_NOT_FOUND for a missing parent,
// ERROR_ACCESS_DENIED, ...).
BOOL CreatePrivateDirectory(LPCWSTR path);

// Adds the execute bit wherever the file has the read bit (owner, group,
// others), as a program needs to be run. A symbolic link is not followed:
// ERROR_ACCESS_DENIED, and neither it nor its target changes. Also
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND, and ERROR_ACCESS_DENIED for
// a folder.
BOOL MakeFileExecutable(LPCWSTR path);

// Creates a new, empty file that only its owner may read and write (mode
// 0600), for contents that other users must not see while they are being
// written, and opens it as CreateFileW would with `access` and
// `share_mode`. Never opens what is already there: an existing name (file,
// folder or symbolic link, dangling or not) fails with ERROR_FILE_EXISTS.
// ERROR_PATH_NOT_FOUND for a missing folder.
HANDLE CreatePrivateFile(LPCWSTR path, DWORD access, DWORD share_mode);

// CreatePrivateFile under a fresh name in `folder`: the name that
// GetTempFileNameW builds from `prefix` and a number (the first free one),
// written to `out` (MAX_PATH characters). ERROR_DIRECTORY when `folder` is
// not a folder.
HANDLE CreatePrivateTempFile(LPCWSTR folder, LPCWSTR prefix, LPWSTR out, DWORD access);

// Gives the open file `file` the permission bits of the regular file named
// `model` (links followed), or, when no such file is there, the bits that a
// newly created file gets (0666 less the process's umask): for a file
// written privately that is about to take `model`'s place. FALSE with the
// last error when `model` cannot be examined or the bits cannot be set.
BOOL SetFileModeLike(HANDLE file, LPCWSTR model);

}  // namespace platform
