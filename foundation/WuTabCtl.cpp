// The library's tab control over the platform tab control (see WuTabCtl.h).
#include "foundation/WuTabCtl.h"

#include <string_view>

#include "foundation/WuUIFont.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/error.h"

namespace {

// Window extra slot holding the platform tab control.
constexpr int kTabsSlot = 0;

HWND TabsOf(HWND control) { return reinterpret_cast<HWND>(GetWindowLongPtrW(control, kTabsSlot)); }

// Replaces the tabs with those of a record; FALSE for a record that is
// refused, which changes nothing.
BOOL SetTabs(HWND tabs, const WUTABCTL_TABS* record) {
  if (!record || record->size != WUTABCTL_TABS_SIZE || record->count > WUTABCTL_MAX_TABS) return FALSE;
  SendMessageW(tabs, TCM_DELETEALLITEMS, 0, 0);
  for (DWORD i = 0; i < record->count; ++i) {
    const WUTABCTL_TAB& tab = record->tabs[i];
    // The title ends at its terminator or at the field's end.
    WCHAR title[WUTABCTL_TITLE_UNITS + 1] = {};
    for (int k = 0; k < WUTABCTL_TITLE_UNITS && tab.title[k]; ++k) title[k] = tab.title[k];
    TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, title, 0, -1, static_cast<LPARAM>(tab.page)};
    SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  return TRUE;
}

LRESULT TabCtlProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      // Front ends enter control parents and list what is inside.
      SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      DWORD style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
      HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | (style & (0xFFFF | WS_TABSTOP)), 0, 0,
                                  create ? create->cx : 0, create ? create->cy : 0, window,
                                  reinterpret_cast<HMENU>(static_cast<intptr_t>(GetDlgCtrlID(window))), nullptr,
                                  nullptr);
      if (!tabs) return -1;
      SetWindowLongPtrW(window, kTabsSlot, reinterpret_cast<LONG_PTR>(tabs));
      HWND parent = GetParent(window);
      HFONT font = parent ? reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
      if (!font) font = WuGetUIFont(WUFONT_DIALOG);
      SendMessageW(tabs, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      return 0;
    }
    case WM_SIZE: {
      HWND tabs = TabsOf(window);
      DWORD size = static_cast<DWORD>(lparam);
      if (tabs) MoveWindow(tabs, 0, 0, LOWORD(size), HIWORD(size), TRUE);
      return 0;
    }
    case WM_SETFONT:
    case WM_GETFONT: {
      HWND tabs = TabsOf(window);
      return tabs ? SendMessageW(tabs, message, wparam, lparam) : 0;
    }
    case WM_ENABLE: {
      HWND tabs = TabsOf(window);
      if (tabs) EnableWindow(tabs, wparam ? TRUE : FALSE);
      return 0;
    }
    case WM_SETFOCUS: {
      HWND tabs = TabsOf(window);
      if (tabs) SetFocus(tabs);
      return 0;
    }
    case WM_NOTIFY: {
      const NMHDR* header = reinterpret_cast<const NMHDR*>(lparam);
      HWND tabs = TabsOf(window);
      if (!header || !tabs || header->hwndFrom != tabs) return 0;
      if (header->code == TCN_SELCHANGE) {
        // A person's choice: the parent hears the new index as a command.
        HWND parent = GetParent(window);
        LRESULT index = SendMessageW(tabs, TCM_GETCURSEL, 0, 0);
        if (parent && index >= 0)
          SendMessageW(parent, WM_COMMAND,
                       MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window)), static_cast<WORD>(index)),
                       reinterpret_cast<LPARAM>(window));
      }
      return 0;  // TCN_SELCHANGING: the change is allowed
    }
    case WUTABCTL_SETTABS: {
      HWND tabs = TabsOf(window);
      return tabs ? SetTabs(tabs, reinterpret_cast<const WUTABCTL_TABS*>(lparam)) : FALSE;
    }
    case WUTABCTL_SELECT: {
      HWND tabs = TabsOf(window);
      return tabs ? SendMessageW(tabs, TCM_SETCURSEL, wparam, 0) : -1;
    }
    default:
      if (message >= TCM_FIRST && message < TCM_FIRST + 0x100) {
        HWND tabs = TabsOf(window);
        return tabs ? SendMessageW(tabs, message, wparam, lparam) : 0;
      }
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

BOOL WuTabCtl_Register(HINSTANCE instance) {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = TabCtlProc;
  wc.cbWndExtra = sizeof(LONG_PTR);
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = WUTABCTL_CLASS;
  if (RegisterClassW(&wc)) return TRUE;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? TRUE : FALSE;
}

BOOL WuTabCtl_Unregister(HINSTANCE instance) { return UnregisterClassW(WUTABCTL_CLASS, instance); }

HWND WuTabCtl_GetTabs(HWND control) {
  WCHAR name[64] = {};
  if (!GetClassNameW(control, name, 64)) return nullptr;
  std::u16string_view wanted(WUTABCTL_CLASS);
  if (std::u16string_view(name) != wanted) return nullptr;
  return TabsOf(control);
}
