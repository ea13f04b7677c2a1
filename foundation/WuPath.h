// Paths from the system in long form: the full path of a name, the
// temporary folder and the file and folder of a module.
//
// Buffers and sizes are in characters, terminator included. Each function
// returns the length of the result, or the size needed (terminator
// counted) when the buffer is too small, or 0 on failure. Paths built here
// use '/'; both '\' and '/' separate names when a path is parsed.
#pragma once

#include "platform/kernel/types.h"

// GetLongPathNameW. When it fails or the buffer is too small (and the two
// buffers differ and the size is positive), the short path is copied
// instead, cut to fit and terminated. Returns the system's result.
DWORD WuGetLongPathName(LPCWSTR shortPath, LPWSTR longPath, DWORD size);
// GetFullPathNameW, then the long form in place (kept as is when the path
// does not exist). `filePart` (may be NULL) receives the start of the last
// name of the result, or NULL when it ends in a separator.
DWORD WuGetFullPathName(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* filePart);
// GetTempPathW, then the long form in place; keeps the trailing separator.
DWORD WuGetTempPath(DWORD size, LPWSTR buffer);
// The module's file name (NULL: the program) in long form. When the long
// form cannot be had or does not fit, the name as the system gives it, cut
// to fit. 0 when the module's name cannot be read.
DWORD WuGetModuleFileName(HMODULE module, LPWSTR buffer, DWORD size);
// The folder of the module's long file name, with its trailing separator.
// 0 on failure or when it does not fit (the buffer is then empty).
DWORD WuGetModulePath(HMODULE module, LPWSTR buffer, DWORD size);
