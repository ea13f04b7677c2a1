// The shell's light path helpers: joining a folder and a relative path.
#pragma once

#include "platform/kernel/types.h"

// Joins `folder` and `more` into `dest`, a buffer of MAX_PATH characters,
// and returns `dest`, or NULL with `dest` emptied.
// - '\' and '/' both separate; "X:", "\\server\share" and a leading
//   separator are roots. A `more` that has a root is taken as it is, in
//   place of the folder.
// - "." is dropped and ".." removes the name before it; at a root ".."
//   stays at the root, in a relative path with nothing left to remove it is
//   kept. A path that folds away entirely (relative "a" + "..") is ".".
// - The result is written with '/' and keeps a trailing separator when the
//   joined text ends in one.
// - NULL `folder` or empty: `more` alone; NULL `more` or empty: `folder`
//   alone. NULL when `dest` is NULL, when both are NULL, and when the result
//   and its terminator would pass MAX_PATH characters.
LPWSTR PathCombineW(LPWSTR dest, LPCWSTR folder, LPCWSTR more);
