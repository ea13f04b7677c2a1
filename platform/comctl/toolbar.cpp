// The toolbar.
#include "platform/comctl/commctrl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/comctl/comctl_internal.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"

namespace platform {
namespace {

// ---- Toolbar ----------------------------------------------------------------------------------

struct ToolButton {
  TBBUTTON button;      // as given
  std::u16string text;  // its text
};

struct ToolbarState {
  UINT struct_size = 0;              // TB_BUTTONSTRUCTSIZE
  std::vector<ToolButton> buttons;   // the buttons
  std::vector<std::u16string> strings;  // TB_ADDSTRINGW
  SIZE button{24, 22};               // TB_SETBUTTONSIZE
  SIZE bitmap{16, 15};               // TB_SETBITMAPSIZE
  int indent = 0;                    // TB_SETINDENT
  DWORD ex_style = 0;                // TB_SETEXTENDEDSTYLE
  HIMAGELIST images = nullptr;       // TB_SETIMAGELIST
  HIMAGELIST hot = nullptr;          // TB_SETHOTIMAGELIST
  HIMAGELIST disabled = nullptr;     // TB_SETDISABLEDIMAGELIST
  int max_text_rows = 1;             // TB_SETMAXTEXTROWS
  HWND notify = nullptr;             // TB_SETPARENT (NULL: the parent)
  int down = -1;                     // button under a left button held down on it
};

// The window that hears commands and notices.
HWND NotifyWindow(HWND hwnd, const ToolbarState* s) { return s->notify ? s->notify : GetParent(hwnd); }

bool Clickable(const ToolButton& b) {
  return (b.button.fsState & TBSTATE_ENABLED) && !(b.button.fsState & TBSTATE_HIDDEN) &&
         !(b.button.fsStyle & BTNS_SEP);
}

int ButtonWidth(HWND hwnd, const ToolbarState* s, const ToolButton& b) {
  if (b.button.fsStyle & BTNS_SEP) return b.button.iBitmap > 0 ? b.button.iBitmap : 8;
  if ((b.button.fsStyle & BTNS_AUTOSIZE) && !b.text.empty())
    return std::max<int>(s->bitmap.cx + 7, TextWidth(hwnd, b.text) + s->bitmap.cx + 14);
  return s->button.cx;
}

// The rectangle of a button; FALSE for a hidden one.
bool ButtonRect(HWND hwnd, const ToolbarState* s, size_t index, RECT* out) {
  int x = s->indent;
  for (size_t i = 0; i < s->buttons.size(); ++i) {
    const ToolButton& b = s->buttons[i];
    if (b.button.fsState & TBSTATE_HIDDEN) {
      if (i == index) return false;
      continue;
    }
    int w = ButtonWidth(hwnd, s, b);
    if (i == index) {
      *out = RECT{x, 0, x + w, s->button.cy};
      return true;
    }
    x += w;
  }
  return false;
}

// The button (not a separator) at a point of the client area, or -1.
int ButtonAt(HWND hwnd, const ToolbarState* s, LPARAM point) {
  POINT pt{GET_X_LPARAM(point), GET_Y_LPARAM(point)};
  for (size_t i = 0; i < s->buttons.size(); ++i) {
    RECT r;
    if (s->buttons[i].button.fsStyle & BTNS_SEP) continue;
    if (ButtonRect(hwnd, s, i, &r) && PtInRect(&r, pt)) return static_cast<int>(i);
  }
  return -1;
}

// Shows a held button pressed or not.
void ShowPressed(HWND hwnd, ToolbarState* s, int index, bool pressed) {
  if (index < 0 || static_cast<size_t>(index) >= s->buttons.size()) return;
  BYTE& state = s->buttons[static_cast<size_t>(index)].button.fsState;
  BYTE now = pressed ? static_cast<BYTE>(state | TBSTATE_PRESSED) : static_cast<BYTE>(state & ~TBSTATE_PRESSED);
  if (now == state) return;
  state = now;
  InvalidateRect(hwnd, nullptr, TRUE);
}

// The left button released: a click when it is still over the button it
// went down on and that button is still enabled.
void EndClick(HWND hwnd, ToolbarState* s, LPARAM point) {
  int down = s->down;
  s->down = -1;
  if (GetCapture() == hwnd) ReleaseCapture();
  if (down < 0 || static_cast<size_t>(down) >= s->buttons.size()) return;
  ShowPressed(hwnd, s, down, false);
  if (ButtonAt(hwnd, s, point) != down || !Clickable(s->buttons[static_cast<size_t>(down)])) return;
  TBBUTTON& b = s->buttons[static_cast<size_t>(down)].button;
  if (b.fsStyle & BTNS_CHECK) {
    b.fsState = static_cast<BYTE>(b.fsState ^ TBSTATE_CHECKED);
    InvalidateRect(hwnd, nullptr, TRUE);
  }
  int command = b.idCommand;  // the button may go while the command runs
  HWND target = NotifyWindow(hwnd, s);
  if (target)
    SendMessageW(target, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(command), BN_CLICKED),
                 reinterpret_cast<LPARAM>(hwnd));
}

int IndexOfCommand(const ToolbarState* s, WPARAM id) {
  for (size_t i = 0; i < s->buttons.size(); ++i)
    if (s->buttons[i].button.idCommand == static_cast<int>(id)) return static_cast<int>(i);
  return -1;
}

std::u16string ButtonText(const ToolbarState* s, INT_PTR string) {
  if (string >= 0 && static_cast<size_t>(string) < s->strings.size()) return s->strings[static_cast<size_t>(string)];
  if (string >= 0x10000) return reinterpret_cast<LPCWSTR>(string);
  return std::u16string();
}

// Sets or clears a state bit of the button with a command id.
LRESULT SetStateBit(HWND hwnd, ToolbarState* s, WPARAM id, BYTE bit, bool on) {
  int i = IndexOfCommand(s, id);
  if (i < 0) return FALSE;
  BYTE& state = s->buttons[static_cast<size_t>(i)].button.fsState;
  state = on ? static_cast<BYTE>(state | bit) : static_cast<BYTE>(state & ~bit);
  InvalidateRect(hwnd, nullptr, TRUE);
  return TRUE;
}

LRESULT StateBit(ToolbarState* s, WPARAM id, BYTE bit) {
  int i = IndexOfCommand(s, id);
  if (i < 0) return -1;
  return (s->buttons[static_cast<size_t>(i)].button.fsState & bit) ? TRUE : FALSE;
}

bool InsertButtons(ToolbarState* s, size_t at, const TBBUTTON* buttons, size_t count) {
  if (!buttons) return false;
  at = std::min(at, s->buttons.size());
  for (size_t i = 0; i < count; ++i) {
    ToolButton b{buttons[i], ButtonText(s, buttons[i].iString)};
    s->buttons.insert(s->buttons.begin() + static_cast<std::ptrdiff_t>(at + i), b);
  }
  return true;
}

LRESULT ToolbarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<ToolbarState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  ToolbarState* s = StateOf<ToolbarState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case TB_BUTTONSTRUCTSIZE:
      s->struct_size = static_cast<UINT>(wparam);
      return 0;
    case TB_ADDBUTTONSW:
      return InsertButtons(s, s->buttons.size(), reinterpret_cast<const TBBUTTON*>(lparam), wparam) ? TRUE : FALSE;
    case TB_INSERTBUTTONW:
      s->down = -1;  // the indexes move: a held button is let go unclicked
      return InsertButtons(s, static_cast<size_t>(wparam), reinterpret_cast<const TBBUTTON*>(lparam), 1) ? TRUE
                                                                                                         : FALSE;
    case TB_DELETEBUTTON:
      if (wparam >= s->buttons.size()) return FALSE;
      s->down = -1;  // a held button is let go unclicked
      s->buttons.erase(s->buttons.begin() + static_cast<std::ptrdiff_t>(wparam));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TB_BUTTONCOUNT:
      return static_cast<LRESULT>(s->buttons.size());
    case TB_GETBUTTON:
      if (wparam >= s->buttons.size() || !lparam) return FALSE;
      *reinterpret_cast<TBBUTTON*>(lparam) = s->buttons[wparam].button;
      return TRUE;
    case TB_COMMANDTOINDEX:
      return IndexOfCommand(s, wparam);
    case TB_GETITEMRECT:
      if (wparam >= s->buttons.size() || !lparam) return FALSE;
      return ButtonRect(hwnd, s, wparam, reinterpret_cast<RECT*>(lparam)) ? TRUE : FALSE;
    case TB_GETRECT: {
      int i = IndexOfCommand(s, wparam);
      if (i < 0 || !lparam) return FALSE;
      return ButtonRect(hwnd, s, static_cast<size_t>(i), reinterpret_cast<RECT*>(lparam)) ? TRUE : FALSE;
    }
    case TB_ENABLEBUTTON:
      return SetStateBit(hwnd, s, wparam, TBSTATE_ENABLED, LOWORD(static_cast<DWORD_PTR>(lparam)) != 0);
    case TB_CHECKBUTTON:
      return SetStateBit(hwnd, s, wparam, TBSTATE_CHECKED, LOWORD(static_cast<DWORD_PTR>(lparam)) != 0);
    case TB_PRESSBUTTON:
      return SetStateBit(hwnd, s, wparam, TBSTATE_PRESSED, LOWORD(static_cast<DWORD_PTR>(lparam)) != 0);
    case TB_HIDEBUTTON:
      return SetStateBit(hwnd, s, wparam, TBSTATE_HIDDEN, LOWORD(static_cast<DWORD_PTR>(lparam)) != 0);
    case TB_INDETERMINATE:
      return SetStateBit(hwnd, s, wparam, TBSTATE_INDETERMINATE, LOWORD(static_cast<DWORD_PTR>(lparam)) != 0);
    case TB_ISBUTTONENABLED:
      return StateBit(s, wparam, TBSTATE_ENABLED);
    case TB_ISBUTTONCHECKED:
      return StateBit(s, wparam, TBSTATE_CHECKED);
    case TB_ISBUTTONPRESSED:
      return StateBit(s, wparam, TBSTATE_PRESSED);
    case TB_ISBUTTONHIDDEN:
      return StateBit(s, wparam, TBSTATE_HIDDEN);
    case TB_ISBUTTONINDETERMINATE:
      return StateBit(s, wparam, TBSTATE_INDETERMINATE);
    case TB_SETSTATE: {
      int i = IndexOfCommand(s, wparam);
      if (i < 0) return FALSE;
      s->buttons[static_cast<size_t>(i)].button.fsState = static_cast<BYTE>(LOWORD(static_cast<DWORD_PTR>(lparam)));
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TB_GETSTATE: {
      int i = IndexOfCommand(s, wparam);
      return i < 0 ? -1 : s->buttons[static_cast<size_t>(i)].button.fsState;
    }
    case TB_SETCMDID:
      if (wparam >= s->buttons.size()) return FALSE;
      s->buttons[wparam].button.idCommand = static_cast<int>(lparam);
      return TRUE;
    case TB_SETBUTTONSIZE:
      s->button = SIZE{std::max<LONG>(1, LOWORD(static_cast<DWORD_PTR>(lparam))),
                       std::max<LONG>(1, HIWORD(static_cast<DWORD_PTR>(lparam)))};
      return TRUE;
    case TB_GETBUTTONSIZE:
      return MAKELRESULT(static_cast<WORD>(s->button.cx), static_cast<WORD>(s->button.cy));
    case TB_SETBITMAPSIZE:
      s->bitmap = SIZE{LOWORD(static_cast<DWORD_PTR>(lparam)), HIWORD(static_cast<DWORD_PTR>(lparam))};
      return TRUE;
    case TB_SETBUTTONWIDTH:
      return TRUE;
    case TB_SETINDENT:
      s->indent = static_cast<int>(wparam);
      return TRUE;
    case TB_AUTOSIZE: {
      // A top-aligned bar takes its parent's width and one row of buttons.
      DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
      HWND parent = GetParent(hwnd);
      if (parent && !(style & CCS_NORESIZE)) {
        RECT pr;
        GetClientRect(parent, &pr);
        SetWindowPos(hwnd, nullptr, 0, 0, pr.right, s->button.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE | ((style & CCS_NOPARENTALIGN) ? SWP_NOMOVE : 0));
      }
      return 0;
    }
    case TB_GETIDEALSIZE: {
      auto* size = reinterpret_cast<SIZE*>(lparam);
      if (!size) return FALSE;
      if (wparam) {
        size->cy = s->button.cy;
      } else {
        int width = s->indent;
        for (const ToolButton& b : s->buttons)
          if (!(b.button.fsState & TBSTATE_HIDDEN)) width += ButtonWidth(hwnd, s, b);
        size->cx = width;
      }
      return TRUE;
    }
    case TB_ADDSTRINGW: {
      LRESULT first = static_cast<LRESULT>(s->strings.size());
      if (wparam) {  // a string resource of a module
        WCHAR buffer[256];
        int n = LoadStringW(reinterpret_cast<HINSTANCE>(wparam), static_cast<UINT>(lparam), buffer, 256);
        if (n <= 0) return -1;
        s->strings.emplace_back(buffer, static_cast<size_t>(n));
        return first;
      }
      // Texts one after another, each terminated, the list ended by an
      // empty one.
      auto* text = reinterpret_cast<LPCWSTR>(lparam);
      if (!text) return -1;
      while (*text) {
        std::u16string one(text);
        text += one.size() + 1;
        s->strings.push_back(std::move(one));
      }
      return first;
    }
    case TB_GETBUTTONTEXTW: {
      int i = IndexOfCommand(s, wparam);
      if (i < 0) return -1;
      const std::u16string& text = s->buttons[static_cast<size_t>(i)].text;
      if (lparam) {
        auto* out = reinterpret_cast<LPWSTR>(lparam);
        text.copy(out, text.size());
        out[text.size()] = 0;
      }
      return static_cast<LRESULT>(text.size());
    }
    case TB_SETEXTENDEDSTYLE: {
      DWORD old = s->ex_style;
      s->ex_style = static_cast<DWORD>(lparam);
      return old;
    }
    case TB_GETEXTENDEDSTYLE:
      return s->ex_style;
    case TB_SETSTYLE:
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(lparam));
      return 0;
    case TB_GETSTYLE:
      return GetWindowLongW(hwnd, GWL_STYLE);
    case TB_SETMAXTEXTROWS:
      s->max_text_rows = static_cast<int>(wparam);
      return TRUE;
    case TB_GETTEXTROWS:
      return s->max_text_rows;
    case TB_SETROWS:
      return 0;
    case TB_GETROWS:
      return 1;
    case TB_GETTOOLTIPS:
      return 0;
    case TB_SETPARENT: {
      HWND old = NotifyWindow(hwnd, s);
      s->notify = reinterpret_cast<HWND>(wparam);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_LBUTTONDOWN: {
      int i = ButtonAt(hwnd, s, lparam);
      if (i < 0 || !Clickable(s->buttons[static_cast<size_t>(i)])) return 0;
      s->down = i;
      ShowPressed(hwnd, s, i, true);
      SetCapture(hwnd);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (s->down >= 0) ShowPressed(hwnd, s, s->down, ButtonAt(hwnd, s, lparam) == s->down);
      return 0;
    case WM_LBUTTONUP:
      EndClick(hwnd, s, lparam);
      return 0;
    case WM_CAPTURECHANGED:
      // Another window took the mouse: the held button is let go unclicked.
      if (s->down >= 0 && reinterpret_cast<HWND>(lparam) != hwnd) {
        ShowPressed(hwnd, s, s->down, false);
        s->down = -1;
      }
      return 0;
    case WM_NOTIFY: {
      // A tool tip asks for a button's text: the notify window answers.
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (!header || header->code != TTN_GETDISPINFOW) return 0;
      if (!(GetWindowLongW(hwnd, GWL_STYLE) & TBSTYLE_TOOLTIPS)) return 0;
      HWND target = NotifyWindow(hwnd, s);
      int i = IndexOfCommand(s, header->idFrom);
      if (!target || i < 0) return 0;
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
      info->lParam = static_cast<LPARAM>(s->buttons[static_cast<size_t>(i)].button.dwData);
      return SendMessageW(target, WM_NOTIFY, header->idFrom, lparam);
    }
    case TB_SETIMAGELIST:
    case TB_SETHOTIMAGELIST:
    case TB_SETDISABLEDIMAGELIST: {
      HIMAGELIST& slot = message == TB_SETIMAGELIST ? s->images : message == TB_SETHOTIMAGELIST ? s->hot : s->disabled;
      HIMAGELIST old = slot;
      slot = reinterpret_cast<HIMAGELIST>(lparam);
      return reinterpret_cast<LRESULT>(old);
    }
    case TB_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(s->images);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        for (size_t i = 0; i < s->buttons.size(); ++i) {
          RECT r;
          if (!ButtonRect(hwnd, s, i, &r) || (s->buttons[i].button.fsStyle & BTNS_SEP)) continue;
          BYTE state = s->buttons[i].button.fsState;
          if (state & (TBSTATE_CHECKED | TBSTATE_PRESSED)) DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

void RegisterToolbarClass() { Register(TOOLBARCLASSNAMEW, ToolbarProc); }

}  // namespace platform
