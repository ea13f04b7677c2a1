// Keyboard accelerator tables: key combinations that stand for commands.
//
// A table is made from ACCEL records or from an RT_ACCELERATOR resource
// (8-byte entries: flags WORD with 0x80 marking the last entry, key WORD,
// command WORD, padding WORD). TranslateAcceleratorW matches a key message
// against a table and sends the command to a window as WM_COMMAND with 1 in
// the high word of wParam.
#pragma once

#include <cstddef>

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

WU_DECLARE_HANDLE(HACCEL);

// Flags of an entry.
constexpr BYTE FVIRTKEY = 0x01;   // key is a virtual-key code (else a character code)
constexpr BYTE FNOINVERT = 0x02;  // no menu highlight (kept, not used)
constexpr BYTE FSHIFT = 0x04;     // Shift must be down
constexpr BYTE FCONTROL = 0x08;   // Ctrl must be down
constexpr BYTE FALT = 0x10;       // Alt must be down

struct ACCEL {
  BYTE fVirt;  // F* flags
  WORD key;    // virtual-key or character code
  WORD cmd;    // command id
};

// A new table holding a copy of `count` entries; NULL
// (ERROR_INVALID_PARAMETER) for no entries.
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
// FALSE (ERROR_INVALID_HANDLE) for a handle that is not a live table.
BOOL DestroyAcceleratorTable(HACCEL table);
// With `entries` NULL, the number of entries; else copies up to `count`
// entries and returns how many were copied. 0 for a bad handle.
int CopyAcceleratorTableW(HACCEL table, ACCEL* entries, int count);
// The table of an RT_ACCELERATOR resource of a module; NULL when it is
// missing or its bytes are malformed (ERROR_INVALID_DATA).
HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name);
// Matches WM_KEYDOWN / WM_SYSKEYDOWN against the virtual-key entries (and
// WM_CHAR / WM_SYSCHAR against the character entries) with the Shift, Ctrl
// and Alt state of GetKeyState; on a match sends WM_COMMAND
// (MAKEWPARAM(cmd, 1), 0) to `window` and returns 1, else 0.
int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message);

namespace platform {
// A table from the bytes of an RT_ACCELERATOR resource; NULL
// (ERROR_INVALID_DATA) when the bytes end before the last-entry mark.
HACCEL CreateAcceleratorTableFromResource(const void* data, DWORD size);
// Number of tables alive (for leak checks in tests).
size_t LiveAcceleratorTableCount();
}  // namespace platform
