// Lining a dialog control up with a control of another (or the same)
// dialog. Positions are compared in the client coordinates of the dialog
// that holds the control being moved.
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Edges of WuAlignControlToOtherControl. An edge alone moves the control so
// that edge meets the reference's, keeping its size; both edges of a
// direction take the reference's extent.
constexpr DWORD WUALIGN_LEFT = 0x1;
constexpr DWORD WUALIGN_RIGHT = 0x2;
constexpr DWORD WUALIGN_TOP = 0x4;
constexpr DWORD WUALIGN_BOTTOM = 0x8;

// Moves control `id` of `dialog` by the WUALIGN_* `flags` against control
// `ref_id` of `ref_dialog` (NULL: the dialog's parent), then adds the
// adjustment rectangle's left, top, right and bottom (when given) to the
// resulting edges. Returns SetWindowPos's result; FALSE, with nothing
// moved, when either control is missing.
BOOL WuAlignControlToOtherControl(HWND ref_dialog, int ref_id, HWND dialog, int id, DWORD flags,
                                  const RECT* adjust);

// Gives control `id` of `dialog` the horizontal extent of control `ref_id`
// of `ref_dialog` (NULL: the dialog's parent), widened by `grow` on each
// side, keeping its own top and height. Returns SetWindowPos's result;
// FALSE, with nothing moved, when either control is missing.
BOOL WuSetPosHookControl(HWND dialog, HWND ref_dialog, int ref_id, int id, int grow);
