// Exports of the file-I/O library besides the factories: the library path
// of a renderer class and monikers (a file path with a "?" suffix the
// plug-in reads). The handle copies between processes that plug-ins call,
// DuplicateHandleFromProcessId and DuplicateHandleToProcessId, are declared
// in the interface header (fileio/WuFileIO.h).
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

// The path of the library that provides the renderer class `cls` (its id,
// operation 7, looked up among the plug-in records of every live manager),
// copied into `out` (`size` characters, cut to fit and terminated).
// E_INVALIDARG for a NULL class or no buffer, 0x8004E00A when no record
// offers that renderer class.
HRESULT WuFio_GetPluginPath(IWuRenderFileClass* cls, LPWSTR out, DWORD size);

// Builds "name?part1&part2" into `out` (`size` characters): "?" and part1
// only when part1 is given, "&" and part2 only when both are. E_POINTER
// without a buffer, E_INVALIDARG for size 0; every piece is cut to fit and
// 0x8004E03C says something was cut (the result stays terminated).
HRESULT WuFio_BuildMoniker(LPWSTR out, DWORD size, LPCWSTR name, LPCWSTR part1, LPCWSTR part2);
// Splits a moniker at its first "?": the name into `nameOut` (`nameSize`
// characters), what follows the "?" into `restOut` (empty without one).
// 1 when there is no "?", 0 otherwise, 0x8004E03C when a part was cut;
// E_INVALIDARG without a moniker, without both outputs or for a size of 0.
HRESULT WuFio_ParseMoniker(LPCWSTR moniker, LPWSTR nameOut, DWORD nameSize, LPWSTR restOut,
                           DWORD restSize);

// The longest name part of a path with a "?" suffix that is opened.
constexpr DWORD WUFIO_MAX_NAME_PART = 519;
