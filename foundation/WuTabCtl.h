// The library's tab control, window class "WuKrn_TabControl_Class".
//
// The control is a window with WS_EX_CONTROLPARENT (set when it is created)
// whose one child, filling it and following its size, is a platform tab
// control (WC_TABCONTROLW) of the same id. Front ends enter control parents,
// so they list and pick that child's tabs as they do any tab control's.
// The row is drawn in the parent's font when it has one, otherwise in the
// library's dialog font (WuGetUIFont(WUFONT_DIALOG)); WM_SETFONT sent to the
// control changes it.
//
// Messages:
//  - WUTABCTL_SETTABS (0x608), lParam a WUTABCTL_TABS record: replaces the
//    tabs and selects the first one, without notifying. TRUE when taken;
//    FALSE, with nothing changed, for a null record, a size word other
//    than 660 or a count above 9.
//  - WUTABCTL_SELECT (0x602), wParam a tab index: selects that tab without
//    notifying. The previous index, or -1 (nothing changed) for an index
//    outside the tabs.
//  - The platform tab control's TCM_* messages (TCM_GETCURSEL,
//    TCM_GETITEMCOUNT, TCM_GETITEMW...) are passed to the child. A tab's
//    page number is its item's lParam (TCIF_PARAM).
// A person's choice of a tab (the child's TCN_SELCHANGE) reaches the
// parent as WM_COMMAND from the control's id with the new tab index as the
// notification code (wParam MAKEWPARAM(id, index), lParam the control).
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

#define WUTABCTL_CLASS u"WuKrn_TabControl_Class"

// Messages of the control.
constexpr UINT WUTABCTL_SELECT = 0x602;    // wParam: tab index
constexpr UINT WUTABCTL_SETTABS = 0x608;   // lParam: const WUTABCTL_TABS*

// Room for tabs in the record, and the units of a title.
constexpr int WUTABCTL_MAX_TABS = 9;
constexpr int WUTABCTL_TITLE_UNITS = 32;

// One tab of the record.
struct WUTABCTL_TAB {
  WCHAR title[WUTABCTL_TITLE_UNITS];  // the tab's text, ended by 0 or by the field's end
  DWORD page;                         // the caller's page number (the item's lParam)
};
static_assert(sizeof(WUTABCTL_TAB) == 68);

// The tab record: 660 bytes; entries past the count and the tail are zero.
struct WUTABCTL_TABS {
  DWORD size;                            // 660
  DWORD count;                           // tabs used, 0..9
  DWORD reserved;                        // 0
  WUTABCTL_TAB tabs[WUTABCTL_MAX_TABS];  // packed entries
  BYTE tail[36];                         // zero
};
static_assert(sizeof(WUTABCTL_TABS) == 660);
constexpr DWORD WUTABCTL_TABS_SIZE = sizeof(WUTABCTL_TABS);

// Registers the class (application-global). TRUE when registered now or
// before.
BOOL WuTabCtl_Register(HINSTANCE instance);
// Unregisters it; FALSE while windows of the class exist.
BOOL WuTabCtl_Unregister(HINSTANCE instance);
// The platform tab control inside a control, or NULL.
HWND WuTabCtl_GetTabs(HWND control);
