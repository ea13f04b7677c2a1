// Shortcuts to the file-I/O manager's numbered settings (its metric
// operations, IWuFileIOManager 5 to 11). The readers hide failures behind
// the caller's default; a NULL manager counts as a failure (E_POINTER for
// the writers).
#pragma once

#include "fileio/WuFileIO.h"

// GetMetric with the value preset to `fallback`: the value when the
// operation returned exactly 0, else `fallback`.
DWORD WuFio_GetMetric(IWuFileIOManager* manager, DWORD id, DWORD fallback);
// The same for a flag (TRUE for any non-zero value).
BOOL WuFio_GetMetricBool(IWuFileIOManager* manager, DWORD id, BOOL fallback);
// The same, the result then clamped to [minimum, maximum] (a value below
// the minimum gives the minimum, else above the maximum the maximum).
LONG WuFio_GetMetric(IWuFileIOManager* manager, DWORD id, LONG minimum, LONG maximum,
                     LONG fallback);
// GetMetricString into `buffer` of `size` characters: the length on
// success, the length + 1 when the text did not fit (0x8004E03C), else 0.
LONG WuFio_GetMetricString(IWuFileIOManager* manager, DWORD id, LPWSTR buffer, LONG size);
// GetMetricBinary into `buffer` of `size` bytes: the size it reported on
// success or when the value did not fit (0x8004E03C), else 0.
DWORD WuFio_GetMetricBinary(IWuFileIOManager* manager, DWORD id, void* buffer, DWORD size);

// The writers pass their arguments through and return the operation's
// result.
HRESULT WuFio_SetMetric(IWuFileIOManager* manager, DWORD id, LONG value);
HRESULT WuFio_SetMetricString(IWuFileIOManager* manager, DWORD id, LPCWSTR text);
HRESULT WuFio_DeleteMetric(IWuFileIOManager* manager, DWORD id, LONG kind);
HRESULT WuFio_SetMetricBinary(IWuFileIOManager* manager, DWORD id, const void* data,
                              DWORD size);
