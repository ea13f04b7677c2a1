// Default processing of window messages.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Default processing ======================================================================

namespace platform {
inline namespace window_model {

// The class background brush (a system colour index + 1 or a brush).
HBRUSH ClassBrush(HWND hwnd) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  return w ? w->cls->wc.hbrBackground : nullptr;
}

LRESULT DefaultSetText(HWND hwnd, LPCWSTR text) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return FALSE;
  w->text = FromWide(text);
  return TRUE;
}

LRESULT DefaultReplaceText(HWND hwnd, size_t at, size_t count, const std::u16string& insert) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w || at > w->text.size()) return FALSE;
  w->text.replace(at, count, insert);
  return TRUE;
}

LRESULT DefaultGetText(HWND hwnd, WPARAM size, LPWSTR buffer) {
  if (!buffer || size == 0) return 0;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) {
    buffer[0] = 0;
    return 0;
  }
  size_t n = std::min(w->text.size(), static_cast<size_t>(size) - 1);
  w->text.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

// WM_MOVE and WM_SIZE after a WM_WINDOWPOSCHANGED.
void DefaultPosChanged(HWND hwnd, const WINDOWPOS* pos) {
  if (!pos) return;
  if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return;
  SIZE size{};
  POINT origin{};
  WPARAM kind = SIZE_RESTORED;
  if (!ClientGeometry(hwnd, &size, &origin, &kind)) return;
  if (!(pos->flags & SWP_NOMOVE))
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
  if (!(pos->flags & SWP_NOSIZE))
    SendMessageW(hwnd, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
}

}  // namespace window_model
}  // namespace platform

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      // A text that starts with 0xFFFF is a resource ordinal, not a text.
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && cs->lpszName[0] != 0xFFFF)
        platform::DefaultSetText(window, cs->lpszName);
      return TRUE;
    }
    case WM_SETTEXT:
      return platform::DefaultSetText(window, reinterpret_cast<LPCWSTR>(lparam));
    case WM_GETTEXT:
      return platform::DefaultGetText(window, wparam, reinterpret_cast<LPWSTR>(lparam));
    case WM_GETTEXTLENGTH: {
      Model& m = M();
      std::lock_guard<std::mutex> guard(m.lock);
      std::shared_ptr<Window> w = FindLocked(m, window);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = platform::ClassBrush(window);
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (!brush || !dc) return 0;
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, brush);
      return 1;
    }
    case WM_WINDOWPOSCHANGED:
      platform::DefaultPosChanged(window, reinterpret_cast<const WINDOWPOS*>(lparam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && !IsIconic(window)) SetFocus(window);
      return 0;
    case WM_SETFONT: {
      {
        Model& m = M();
        std::lock_guard<std::mutex> guard(m.lock);
        if (std::shared_ptr<Window> w = FindLocked(m, window))
          w->font = reinterpret_cast<HFONT>(wparam);
      }
      if (LOWORD(static_cast<DWORD_PTR>(lparam))) InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_GETFONT: {
      Model& m = M();
      std::lock_guard<std::mutex> guard(m.lock);
      std::shared_ptr<Window> w = FindLocked(m, window);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_MOUSEACTIVATE:
      return 1;  // activate
    case WM_NCHITTEST:
      return 1;  // the client area
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case SC_CLOSE:
          if (!platform::SystemCloseDisabled(window)) SendMessageW(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE: ShowWindow(window, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(window, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(window, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      bool window_colours = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (dc) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window_colours ? COLOR_WINDOW : COLOR_BTNFACE));
      }
      return reinterpret_cast<LRESULT>(GetSysColorBrush(window_colours ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_CONTEXTMENU:
    case WM_HELP: {
      // Children pass these on to their parents.
      HWND parent = nullptr;
      {
        Model& m = M();
        std::lock_guard<std::mutex> guard(m.lock);
        std::shared_ptr<Window> w = FindLocked(m, window);
        if (w && (w->style & WS_CHILD)) parent = w->parent;
      }
      return parent ? SendMessageW(parent, message, wparam, lparam) : 0;
    }
    default:
      return 0;
  }
}
