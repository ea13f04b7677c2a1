// Linux permission bits where the library needs them: a folder only this
// user may enter (for a program's own temporary files, which other users of
// the machine must neither read nor replace), and a file made runnable (a
// program unpacked from an archive, which keeps no permission bits).
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

}  // namespace platform
