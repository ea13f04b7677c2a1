// The library's link and bitmap static control, window class
// "WuKrn_Static_Class".
//
// It shows its window text, or a bitmap when its creation data selects the
// bitmap form: a 16-bit size, then the 16-bit value 1 and the bitmap handle
// (4 bytes as written into dialog templates, or 8). The control owns that
// bitmap and deletes it when destroyed. A click (left button released)
// reaches the parent as WM_NOTIFY with code WUSTATIC_NOTIFY_CLICK from the
// control's id.
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

#define WUSTATIC_CLASS u"WuKrn_Static_Class"
// Notification code of a click.
constexpr UINT WUSTATIC_NOTIFY_CLICK = static_cast<UINT>(-105);

// Registers the class (application-global). TRUE when registered now or
// before.
BOOL WuStaticCtl_Register(HINSTANCE instance);
// Unregisters it; FALSE while windows of the class exist.
BOOL WuStaticCtl_Unregister(HINSTANCE instance);
// The bitmap a control shows, or NULL for the text form.
HBITMAP WuStaticCtl_GetBitmap(HWND control);
