// Developer output without a debugger: WuDebugString sends a line of text to
// a device named in the user's profile or draws it in a box at the bottom
// of the screen.
//
// Profile keys, section "Debug" of the user's profile:
//   "LogToFilePath"     file or device for device mode (default "COM1");
//                       "COM1" that cannot be opened falls back to "AUX",
//                       and the port is set to 115,200 baud, 8 data bits,
//                       no parity. Any other path that cannot be opened
//                       discards the output. A plain file is written at its
//                       end.
//   "DeviceIoctl"       decimal control code (default "0"); not 0 sends
//                       the text with DeviceIoControl instead of WriteFile.
//   "LogToScreenLines"  height of the screen box in text lines (default 5);
//                       0 or less: the full screen height.
// The settings are read once, on the first call of each mode.
//
// The state is process-wide and unlocked: one diagnostic writer at a time.
#pragma once

#include "platform/kernel/types.h"

// Modes of WuDebugString.
constexpr int WUDEBUG_SCREEN = 1;  // any mode other than WUDEBUG_DEVICE
constexpr int WUDEBUG_DEVICE = 2;

// Longest device-mode output in bytes, line end and terminator included:
// a longer text is cut (at a whole character) so that its line end fits.
constexpr int WUDEBUG_DEVICE_BUFFER = 640;

// Writes `text` (NULL: empty) and, with `new_line`, a line end: "\r\n" with
// WriteFile, "\n" with a control code; on the screen the position moves to
// the next line. Returns the result of the platform call (WriteFile,
// DeviceIoControl or the text drawing); FALSE when the device is not open.
BOOL WuDebugString(const WCHAR* text, BOOL new_line, int mode);

// Closes the device and forgets both modes' settings, so that the next call
// reads the profile again (kernel shut-down; tests).
void WuDebugString_Terminate();

// The screen box and the current text position (both zero before the first
// screen-mode call).
void WuDebugString_GetScreenState(RECT* box, POINT* position);
