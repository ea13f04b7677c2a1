// The folders and names of the file-I/O manager: the application folder
// name, the named mutex made from it, the folder searched for plug-in
// configuration files and the cache and metrics profiles (process-wide, set
// once by the first manager that needs them).
#pragma once

#include "platform/kernel/types.h"

// The application folder name from the version block of `modulePath`
// (NULL: the program): "Orvo\<product>" (a leading "Orvo " of the product
// name dropped, ignoring case), or the module's file name without extension
// when there is no product name; "\<major>.<minor>" of the product version
// appended when the block has its fixed part. S_OK; E_INVALIDARG without a
// buffer.
HRESULT WuFio_GetAppFolderName(LPCWSTR modulePath, LPWSTR out, int size);
// The same from a version block already read (NULL: none); `moduleName`
// supplies the fallback.
HRESULT WuFio_AppFolderNameFromBlock(const void* block, LPCWSTR moduleName, LPWSTR out,
                                     int size);

// The name of the manager's mutex: "Local\Talvene " followed by the
// application folder name (at most 259 characters) with its backslashes
// written as spaces, the whole cut to 259 characters.
void WuFio_MakeMutexName(LPCWSTR appFolderName, LPWSTR out, int size);

// The folder of the module that holds the manager, with a trailing
// separator: the program's folder, or the folder set by
// WuFio_SetManagerModuleFolder.
DWORD WuFio_GetManagerModuleFolder(LPWSTR out, DWORD size);
// Test hook: makes `folder` (NULL: the program's again) the manager's
// module folder and forgets the cache paths, so that the next manager sets
// them up anew.
void WuFio_SetManagerModuleFolder(LPCWSTR folder);

// Creation flag: caches and metrics live next to the module.
constexpr DWORD WUFIO_CREATE_CACHE_NEXT_TO_MODULE = 0x40;

// Sets the cache and metrics paths unless they are set: the per-user
// folders (local application data for the cache, application data for the
// metrics) followed by the application folder name, created; next to the
// module with flag 0x40, or when a folder cannot be had. `modulePath`
// (NULL: the program) gives the application folder name when
// `appFolderName` is NULL, and the fallback names. E_FAIL (nothing set)
// when not even the module's folder can be had.
HRESULT WuFio_EnsureCachePaths(LPCWSTR appFolderName, DWORD flags, LPCWSTR modulePath);
// Whether the paths are set.
bool WuFio_CachePathsSet();
// The cache profile's folder and file name (260 characters each); FALSE
// when not set.
BOOL WuFio_GetCacheProfile(LPWSTR folder, LPWSTR name);
// The metrics profile's folder and file name; FALSE when not set.
BOOL WuFio_GetMetricsProfile(LPWSTR folder, LPWSTR name);
