// Symbolic links moved as links.
#pragma once

#include "platform/kernel/types.h"

namespace platform {

// Moves the symbolic link `existing` (named with or without a trailing
// separator) to the free name `target`, whose folder exists, so that it
// still names what it named: a relative link's text is rewritten for its
// new folder (relative again, computed from the folders as they lie on
// disk), an absolute one keeps its text. What the link names is never
// touched. FALSE with the last error: ERROR_ALREADY_EXISTS when `target`
// is taken, ERROR_NOT_SAME_DEVICE when its folder is on another file
// system, ERROR_INVALID_PARAMETER when `existing` is no link; on failure
// both names are as they were.
BOOL MoveSymbolicLink(LPCWSTR existing, LPCWSTR target);

}  // namespace platform
