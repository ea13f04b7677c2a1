// Small helpers shared by the sources of fileio: bounded appends and exact
// reads from streams.
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

// Appends `text` (NULL reads as empty) at `*at` within `size` characters
// of `out`, keeping one for the terminator: as much as fits is copied,
// `*at` moves past it and `out` stays terminated (when `size` is not 0).
// True when all of it fitted.
bool WuFio_AppendText(LPWSTR out, DWORD size, DWORD* at, LPCWSTR text);

// Reads exactly `bytes` bytes of a stored record from a stream: S_OK when
// all arrived, WU_E_BAD_DATA (0x8004E00B) when fewer did, whether the
// stream ended or failed. 0 bytes read nothing.
HRESULT WuFio_ReadExact(IStream* stream, void* buffer, DWORD bytes);
