// Whether a path lies in a folder, judged by the folders on disk.
#pragma once

#include "platform/kernel/types.h"

namespace platform {

// True when `path` names the folder `folder` or a place inside it, judged
// by identity on disk (device and inode) and not by the text: links on
// either path are followed, so a folder reached through a link, or a name
// of the same folder under another mount, counts as that folder. The parts
// of `path` that do not exist yet are judged by the nearest existing folder
// above them, and every folder above that one (as it lies on disk) is
// compared too. False when `folder` names no existing folder.
bool IsSameOrInsideFolder(LPCWSTR path, LPCWSTR folder);

}  // namespace platform
