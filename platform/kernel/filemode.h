// Linux permission bits where the library needs them: a folder only this
// user may enter (for a program's own temporary files, which other users of
// the machine must neither read nor replace), a file made runnable (a
// program unpacked from an archive, which keeps no permission bits), and
// files written privately that then take another file's place with that
// file's permission bits (work copies, replacing writes).
#pragma once

#include <string>

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
// not a folder; ERROR_BUFFER_OVERFLOW when the name would not fit `out`.
// Bounded by MAX_PATH: a file that replaces another is made with
// CreatePrivateFileBeside instead.
HANDLE CreatePrivateTempFile(LPCWSTR folder, LPCWSTR prefix, LPWSTR out, DWORD access);

// The file that a write replacing `target` must replace so that links stay:
// `target` with every final symbolic link followed (a relative link's text
// is read from the link's own folder). A name that is no link comes back as
// it maps. A dangling link gives the name it points to (writing creates
// that file, as opening the link for writing would).
// ERROR_CANT_RESOLVE_FILENAME for a loop of links. No MAX_PATH bound. ':'
// inside a name is an ordinary character (only "X:" at the very start of a
// path is a drive, as the path mapping has it).
BOOL GetReplacedFileName(LPCWSTR target, std::u16string* file);

// Creates, as CreatePrivateFile does (mode 0600, exclusive, never following
// or opening or removing what is there), a new file beside `file` (in the
// same folder) under a name that was free: `prefix` + the last name of
// `file` when that is free and within the file system's name length,
// otherwise the first free name of `prefix`, a shortened last name, '.' and
// a number. `work` receives its full path. No MAX_PATH bound.
// ERROR_PATH_NOT_FOUND when the folder is missing; ERROR_DIRECTORY when it
// is not a folder.
HANDLE CreatePrivateFileBeside(LPCWSTR file, LPCWSTR prefix, std::u16string* work, DWORD access);

// Gives the open file `file` the permission bits of the regular file named
// `model` (links followed), or, when no such file is there, the bits that a
// newly created file gets (0666 less the process's umask): for a file
// written privately that is about to take `model`'s place. FALSE with the
// last error when `model` cannot be examined or the bits cannot be set.
BOOL SetFileModeLike(HANDLE file, LPCWSTR model);

}  // namespace platform
