// The common controls: progress bar, tab control, toolbar, tree view, and
// property sheets.
//
// Like the standard controls (platform/user/controls.cpp), each control keeps
// its state in a record whose pointer sits in its first extra bytes, and
// every access is a message on the control's own thread.
#include "platform/comctl/commctrl.h"
#include "platform/user/control_state.h"

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

#include "platform/kernel/error.h"
#include "platform/user/frontend.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"

namespace {
std::atomic<LANGID> g_mui_language{0};  // the language of the last InitMUILanguage
}  // namespace

void InitMUILanguage(LANGID language) { g_mui_language.store(language); }

namespace platform {
LANGID CommonControlsUILanguage() { return g_mui_language.load(); }
}  // namespace platform

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
  if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

void InitCommonControls() {}

namespace platform {
namespace {

// WM_NOTIFY with a header (and what follows it) to the parent.
LRESULT NotifyParent(HWND hwnd, NMHDR* header) {
  header->hwndFrom = hwnd;
  header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
  HWND parent = GetParent(hwnd);
  return parent ? SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header)) : 0;
}

// The width of a text in a window's font.
int TextWidth(HWND hwnd, const std::u16string& text) {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return static_cast<int>(text.size()) * 7;
  HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
  return size.cx;
}

void CopyOut(const std::u16string& text, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  text.copy(buffer, n);
  buffer[n] = 0;
}

void Register(LPCWSTR name, WNDPROC proc) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = sizeof(void*);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name;
  RegisterSystemClass(wc, 0);
}

// ---- Progress bar -------------------------------------------------------------------------

struct ProgressState {
  int low = 0;                      // range
  int high = 100;
  int pos = 0;                      // position
  int step = 10;                    // PBM_STEPIT step
  COLORREF bar = CLR_DEFAULT;       // PBM_SETBARCOLOR
  COLORREF background = CLR_DEFAULT;  // PBM_SETBKCOLOR
  int state = PBST_NORMAL;          // PBM_SETSTATE
  bool marquee = false;             // PBM_SETMARQUEE
};

int Clamp(const ProgressState* s, int pos) {
  return s->high >= s->low ? std::clamp(pos, s->low, s->high) : s->low;
}

// Sets the position; the front end hears of a change.
void SetProgress(HWND hwnd, ProgressState* s, int pos) {
  pos = Clamp(s, pos);
  if (pos == s->pos) return;
  s->pos = pos;
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyControlChanged(hwnd);
}

void SetRange(HWND hwnd, ProgressState* s, int low, int high) {
  s->low = low;
  s->high = high;
  s->pos = Clamp(s, s->pos);
  InvalidateRect(hwnd, nullptr, FALSE);
  NotifyControlChanged(hwnd);
}

LRESULT ProgressProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<ProgressState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  ProgressState* s = StateOf<ProgressState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case PBM_SETRANGE: {
      LRESULT old = MAKELRESULT(static_cast<WORD>(s->low), static_cast<WORD>(s->high));
      SetRange(hwnd, s, LOWORD(static_cast<DWORD_PTR>(lparam)), HIWORD(static_cast<DWORD_PTR>(lparam)));
      return old;
    }
    case PBM_SETRANGE32: {
      LRESULT old = MAKELRESULT(static_cast<WORD>(s->low), static_cast<WORD>(s->high));
      SetRange(hwnd, s, static_cast<int>(wparam), static_cast<int>(lparam));
      return old;
    }
    case PBM_GETRANGE:
      if (lparam) *reinterpret_cast<PBRANGE*>(lparam) = PBRANGE{s->low, s->high};
      return wparam ? s->low : s->high;
    case PBM_SETPOS: {
      int old = s->pos;
      SetProgress(hwnd, s, static_cast<int>(wparam));
      return old;
    }
    case PBM_DELTAPOS: {
      int old = s->pos;
      SetProgress(hwnd, s, s->pos + static_cast<int>(wparam));
      return old;
    }
    case PBM_SETSTEP: {
      int old = s->step;
      s->step = static_cast<int>(wparam);
      return old;
    }
    case PBM_GETSTEP:
      return s->step;
    case PBM_STEPIT: {
      int old = s->pos;
      LONGLONG next = static_cast<LONGLONG>(s->pos) + s->step;
      // Past either end the bar starts over from the other end.
      if (next > s->high) next = s->low;
      if (next < s->low) next = s->high;
      SetProgress(hwnd, s, static_cast<int>(next));
      return old;
    }
    case PBM_GETPOS:
      return s->pos;
    case PBM_SETBARCOLOR: {
      COLORREF old = s->bar;
      s->bar = static_cast<COLORREF>(lparam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_SETBKCOLOR: {
      COLORREF old = s->background;
      s->background = static_cast<COLORREF>(lparam);
      InvalidateRect(hwnd, nullptr, FALSE);
      return old;
    }
    case PBM_GETBARCOLOR:
      return s->bar;
    case PBM_GETBKCOLOR:
      return s->background;
    case PBM_SETSTATE: {
      int old = s->state;
      if (wparam >= PBST_NORMAL && wparam <= PBST_PAUSED) s->state = static_cast<int>(wparam);
      return old;
    }
    case PBM_GETSTATE:
      return s->state;
    case PBM_SETMARQUEE:
      s->marquee = wparam != 0;
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        HBRUSH back = CreateSolidBrush(s->background == CLR_DEFAULT ? GetSysColor(COLOR_BTNFACE) : s->background);
        FillRect(dc, &rc, back);
        DeleteObject(back);
        LONGLONG span = static_cast<LONGLONG>(s->high) - s->low;
        if (span > 0) {
          RECT bar = rc;
          bar.right = rc.left + static_cast<LONG>((rc.right - rc.left) * (static_cast<LONGLONG>(s->pos) - s->low) / span);
          HBRUSH fill = CreateSolidBrush(s->bar == CLR_DEFAULT ? GetSysColor(COLOR_HIGHLIGHT) : s->bar);
          FillRect(dc, &bar, fill);
          DeleteObject(fill);
        }
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Tab control ---------------------------------------------------------------------------

struct TabItem {
  std::u16string text;  // tab text
  int image = -1;       // image index
  LPARAM param = 0;     // caller's value
  DWORD state = 0;      // TCIS_*
};

struct TabState {
  std::vector<TabItem> items;   // the tabs
  int current = -1;             // selected tab
  int focus = -1;               // focused tab
  HIMAGELIST images = nullptr;  // TCM_SETIMAGELIST
  SIZE item_size{0, 0};         // TCM_SETITEMSIZE (0: from the text)
};

constexpr int kTabBorder = 4;   // frame around the display area

int TabRowHeight(HWND hwnd) {
  HDC dc = CreateCompatibleDC(nullptr);
  int height = 20;
  if (dc) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) height = tm.tmHeight + 6;
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
  }
  return height;
}

RECT TabItemRect(HWND hwnd, const TabState* s, size_t index) {
  int row = TabRowHeight(hwnd);
  int x = 2;
  for (size_t i = 0; i < s->items.size(); ++i) {
    int w = s->item_size.cx ? s->item_size.cx : TextWidth(hwnd, StripMnemonics(s->items[i].text)) + 12;
    if (i == index) return RECT{x, 0, x + w, row};
    x += w;
  }
  return RECT{};
}

void FillTabItem(TabItem* item, const TCITEMW* info) {
  if (info->mask & TCIF_TEXT) item->text = info->pszText ? info->pszText : u"";
  if (info->mask & TCIF_IMAGE) item->image = info->iImage;
  if (info->mask & TCIF_PARAM) item->param = info->lParam;
  if (info->mask & TCIF_STATE) item->state = (item->state & ~info->dwStateMask) | (info->dwState & info->dwStateMask);
}

// A person's choice of a tab: TCN_SELCHANGING, the change, TCN_SELCHANGE.
bool ChooseTab(HWND hwnd, TabState* s, int index) {
  if (index < 0 || static_cast<size_t>(index) >= s->items.size()) return false;
  if (index == s->current) return true;
  NMHDR header{nullptr, 0, TCN_SELCHANGING};
  if (NotifyParent(hwnd, &header)) return false;
  s->current = s->focus = index;
  InvalidateRect(hwnd, nullptr, TRUE);
  header.code = TCN_SELCHANGE;
  NotifyParent(hwnd, &header);
  return true;
}

LRESULT TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<TabState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  TabState* s = StateOf<TabState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case TCM_INSERTITEMW: {
      auto* info = reinterpret_cast<const TCITEMW*>(lparam);
      if (!info) return -1;
      size_t at = std::min(static_cast<size_t>(wparam), s->items.size());
      TabItem item;
      FillTabItem(&item, info);
      s->items.insert(s->items.begin() + static_cast<std::ptrdiff_t>(at), item);
      if (s->current < 0) {
        s->current = s->focus = 0;
      } else if (s->current >= static_cast<int>(at)) {
        ++s->current;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(at);
    }
    case TCM_GETITEMCOUNT:
      return static_cast<LRESULT>(s->items.size());
    case TCM_DELETEITEM: {
      if (wparam >= s->items.size()) return FALSE;
      s->items.erase(s->items.begin() + static_cast<std::ptrdiff_t>(wparam));
      int index = static_cast<int>(wparam);
      if (s->current == index) s->current = -1;
      else if (s->current > index) --s->current;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEALLITEMS:
      s->items.clear();
      s->current = s->focus = -1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TCM_GETITEMW: {
      auto* info = reinterpret_cast<TCITEMW*>(lparam);
      if (!info || wparam >= s->items.size()) return FALSE;
      const TabItem& item = s->items[wparam];
      if (info->mask & TCIF_TEXT) CopyOut(item.text, info->pszText, info->cchTextMax);
      if (info->mask & TCIF_IMAGE) info->iImage = item.image;
      if (info->mask & TCIF_PARAM) info->lParam = item.param;
      if (info->mask & TCIF_STATE) info->dwState = item.state & info->dwStateMask;
      return TRUE;
    }
    case TCM_SETITEMW: {
      auto* info = reinterpret_cast<const TCITEMW*>(lparam);
      if (!info || wparam >= s->items.size()) return FALSE;
      FillTabItem(&s->items[wparam], info);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_GETCURSEL:
      return s->current;
    case TCM_SETCURSEL: {
      int old = s->current;
      if (wparam >= s->items.size()) return -1;
      s->current = s->focus = static_cast<int>(wparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case TCM_GETCURFOCUS:
      return s->focus;
    case TCM_SETCURFOCUS:
      if (wparam < s->items.size()) s->focus = static_cast<int>(wparam);
      return 0;
    case TCM_GETITEMRECT:
      if (wparam >= s->items.size() || !lparam) return FALSE;
      *reinterpret_cast<RECT*>(lparam) = TabItemRect(hwnd, s, wparam);
      return TRUE;
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lparam);
      if (!info) return -1;
      for (size_t i = 0; i < s->items.size(); ++i) {
        RECT r = TabItemRect(hwnd, s, i);
        if (PtInRect(&r, info->pt)) {
          info->flags = TCHT_ONITEM;
          return static_cast<LRESULT>(i);
        }
      }
      info->flags = TCHT_NOWHERE;
      return -1;
    }
    case TCM_ADJUSTRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (!r) return 0;
      int row = TabRowHeight(hwnd);
      int sign = wparam ? -1 : 1;  // TRUE: display rectangle to window rectangle
      r->left += sign * kTabBorder;
      r->right -= sign * kTabBorder;
      r->top += sign * (row + kTabBorder);
      r->bottom -= sign * kTabBorder;
      return 0;
    }
    case TCM_SETITEMSIZE: {
      SIZE old = s->item_size;
      s->item_size = SIZE{LOWORD(static_cast<DWORD_PTR>(lparam)), HIWORD(static_cast<DWORD_PTR>(lparam))};
      return MAKELRESULT(static_cast<WORD>(old.cx), static_cast<WORD>(old.cy));
    }
    case TCM_GETROWCOUNT:
      return 1;
    case TCM_SETITEMEXTRA:
      return TRUE;
    case TCM_SETIMAGELIST: {
      HIMAGELIST old = s->images;
      s->images = reinterpret_cast<HIMAGELIST>(lparam);
      return reinterpret_cast<LRESULT>(old);
    }
    case TCM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(s->images);
    case WM_KEYDOWN:
      if (wparam == VK_LEFT) ChooseTab(hwnd, s, s->current - 1);
      if (wparam == VK_RIGHT) ChooseTab(hwnd, s, s->current + 1);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        RECT body = rc;
        body.top += TabRowHeight(hwnd);
        DrawEdge(dc, &body, EDGE_RAISED, BF_RECT);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        for (size_t i = 0; i < s->items.size(); ++i) {
          RECT r = TabItemRect(hwnd, s, i);
          DrawEdge(dc, &r, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
          DrawTextW(dc, s->items[i].text.c_str(), static_cast<int>(s->items[i].text.size()), &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        if (old) SelectObject(dc, old);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

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
};

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
      return InsertButtons(s, static_cast<size_t>(wparam), reinterpret_cast<const TBBUTTON*>(lparam), 1) ? TRUE
                                                                                                         : FALSE;
    case TB_DELETEBUTTON:
      if (wparam >= s->buttons.size()) return FALSE;
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
    case TB_SETPARENT:
      return reinterpret_cast<LRESULT>(GetParent(hwnd));
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

// ---- Tree view ---------------------------------------------------------------------------------

struct TreeNode {
  uintptr_t handle = 0;            // HTREEITEM value
  TreeNode* parent = nullptr;      // parent node, null at the top
  std::vector<TreeNode*> children; // in order
  std::u16string text;             // label
  LPARAM param = 0;                // caller's value
  UINT state = 0;                  // TVIS_*
  int image = 0;                   // images
  int selected_image = 0;
  int has_children = 0;            // cChildren
};

struct TreeState {
  std::map<uintptr_t, std::unique_ptr<TreeNode>> nodes;  // by handle
  std::vector<TreeNode*> roots;                          // top level
  uintptr_t next = 0x10000;                              // next handle
  TreeNode* caret = nullptr;                             // selected item
  TreeNode* drop = nullptr;                              // drop highlight
  TreeNode* first_visible = nullptr;                     // scroll position
};

TreeNode* NodeOf(TreeState* s, HTREEITEM item) {
  auto it = s->nodes.find(reinterpret_cast<uintptr_t>(item));
  return it == s->nodes.end() ? nullptr : it->second.get();
}

HTREEITEM HandleOf(const TreeNode* node) {
  return node ? reinterpret_cast<HTREEITEM>(node->handle) : nullptr;
}

std::vector<TreeNode*>& SiblingsOf(TreeState* s, TreeNode* node) {
  return node->parent ? node->parent->children : s->roots;
}

void FillNode(TreeNode* node, const TVITEMW& item) {
  if (item.mask & TVIF_TEXT) node->text = item.pszText ? item.pszText : u"";
  if (item.mask & TVIF_PARAM) node->param = item.lParam;
  if (item.mask & TVIF_STATE) node->state = (node->state & ~item.stateMask) | (item.state & item.stateMask);
  if (item.mask & TVIF_IMAGE) node->image = item.iImage;
  if (item.mask & TVIF_SELECTEDIMAGE) node->selected_image = item.iSelectedImage;
  if (item.mask & TVIF_CHILDREN) node->has_children = item.cChildren;
}

void FillItem(const TreeNode* node, TVITEMW* item) {
  item->hItem = HandleOf(node);
  if (!node) return;
  if (item->mask & TVIF_TEXT) CopyOut(node->text, item->pszText, item->cchTextMax);
  if (item->mask & TVIF_PARAM) item->lParam = node->param;
  if (item->mask & TVIF_STATE) item->state = node->state & (item->stateMask ? item->stateMask : ~0u);
  if (item->mask & TVIF_IMAGE) item->iImage = node->image;
  if (item->mask & TVIF_SELECTEDIMAGE) item->iSelectedImage = node->selected_image;
  if (item->mask & TVIF_CHILDREN) item->cChildren = node->children.empty() ? node->has_children : 1;
}

// Removes a node and its subtree.
void EraseNode(TreeState* s, TreeNode* node) {
  for (TreeNode* child : std::vector<TreeNode*>(node->children)) EraseNode(s, child);
  std::vector<TreeNode*>& siblings = SiblingsOf(s, node);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  if (s->caret == node) s->caret = nullptr;
  if (s->drop == node) s->drop = nullptr;
  if (s->first_visible == node) s->first_visible = nullptr;
  s->nodes.erase(node->handle);
}

// The node after `node` in display order (only expanded children show).
TreeNode* NextVisible(TreeState* s, TreeNode* node) {
  if (!node->children.empty() && (node->state & TVIS_EXPANDED)) return node->children.front();
  for (TreeNode* n = node; n; n = n->parent) {
    std::vector<TreeNode*>& siblings = SiblingsOf(s, n);
    auto it = std::find(siblings.begin(), siblings.end(), n);
    if (it != siblings.end() && it + 1 != siblings.end()) return *(it + 1);
  }
  return nullptr;
}

// Moves the caret with TVN_SELCHANGINGW (a TRUE answer refuses) and
// TVN_SELCHANGEDW.
bool SelectCaret(HWND hwnd, TreeState* s, TreeNode* node, UINT action) {
  if (node == s->caret) return true;
  NMTREEVIEWW nm{};
  nm.action = action;
  nm.itemOld.mask = nm.itemNew.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
  FillItem(s->caret, &nm.itemOld);
  FillItem(node, &nm.itemNew);
  nm.hdr.code = TVN_SELCHANGINGW;
  if (NotifyParent(hwnd, &nm.hdr)) return false;
  if (s->caret) s->caret->state &= ~TVIS_SELECTED;
  s->caret = node;
  if (node) node->state |= TVIS_SELECTED;
  InvalidateRect(hwnd, nullptr, TRUE);
  nm.hdr.code = TVN_SELCHANGEDW;
  NotifyParent(hwnd, &nm.hdr);
  return true;
}

LRESULT TreeProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<TreeState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  TreeState* s = StateOf<TreeState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case TVM_INSERTITEMW: {
      auto* insert = reinterpret_cast<const TVINSERTSTRUCTW*>(lparam);
      if (!insert) return 0;
      TreeNode* parent = nullptr;
      if (insert->hParent && insert->hParent != TVI_ROOT) {
        parent = NodeOf(s, insert->hParent);
        if (!parent) return 0;
      }
      auto node = std::make_unique<TreeNode>();
      node->handle = s->next++;
      node->parent = parent;
      FillNode(node.get(), insert->item);
      std::vector<TreeNode*>& siblings = parent ? parent->children : s->roots;
      auto at = siblings.end();
      if (insert->hInsertAfter == TVI_FIRST) {
        at = siblings.begin();
      } else if (insert->hInsertAfter == TVI_SORT) {
        at = std::find_if(siblings.begin(), siblings.end(), [&](TreeNode* n) {
          return lstrcmpiW(n->text.c_str(), node->text.c_str()) > 0;
        });
      } else if (insert->hInsertAfter && insert->hInsertAfter != TVI_LAST) {
        auto after = std::find(siblings.begin(), siblings.end(), NodeOf(s, insert->hInsertAfter));
        if (after != siblings.end()) at = after + 1;
      }
      siblings.insert(at, node.get());
      HTREEITEM handle = HandleOf(node.get());
      s->nodes[node->handle] = std::move(node);
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(handle);
    }
    case TVM_DELETEITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      if (!item || item == TVI_ROOT) {
        for (TreeNode* root : std::vector<TreeNode*>(s->roots)) EraseNode(s, root);
      } else {
        TreeNode* node = NodeOf(s, item);
        if (!node) return FALSE;
        EraseNode(s, node);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETCOUNT:
      return static_cast<LRESULT>(s->nodes.size());
    case TVM_EXPAND: {
      TreeNode* node = NodeOf(s, reinterpret_cast<HTREEITEM>(lparam));
      if (!node) return FALSE;
      UINT code = static_cast<UINT>(wparam) & 3;
      if (code == TVE_EXPAND) node->state |= TVIS_EXPANDED;
      if (code == TVE_COLLAPSE) node->state &= ~TVIS_EXPANDED;
      if (code == TVE_TOGGLE) node->state ^= TVIS_EXPANDED;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETNEXTITEM: {
      TreeNode* node = NodeOf(s, reinterpret_cast<HTREEITEM>(lparam));
      switch (wparam) {
        case TVGN_ROOT:
          return reinterpret_cast<LRESULT>(s->roots.empty() ? nullptr : HandleOf(s->roots.front()));
        case TVGN_CARET:
          return reinterpret_cast<LRESULT>(HandleOf(s->caret));
        case TVGN_DROPHILITE:
          return reinterpret_cast<LRESULT>(HandleOf(s->drop));
        case TVGN_FIRSTVISIBLE:
          return reinterpret_cast<LRESULT>(
              HandleOf(s->first_visible ? s->first_visible : (s->roots.empty() ? nullptr : s->roots.front())));
        case TVGN_CHILD:
          if (!lparam || reinterpret_cast<HTREEITEM>(lparam) == TVI_ROOT)
            return reinterpret_cast<LRESULT>(s->roots.empty() ? nullptr : HandleOf(s->roots.front()));
          return reinterpret_cast<LRESULT>(node && !node->children.empty() ? HandleOf(node->children.front()) : nullptr);
        case TVGN_PARENT:
          return reinterpret_cast<LRESULT>(node ? HandleOf(node->parent) : nullptr);
        case TVGN_NEXT:
        case TVGN_PREVIOUS: {
          if (!node) return 0;
          std::vector<TreeNode*>& siblings = SiblingsOf(s, node);
          auto it = std::find(siblings.begin(), siblings.end(), node);
          if (wparam == TVGN_NEXT) return reinterpret_cast<LRESULT>(it + 1 != siblings.end() ? HandleOf(*(it + 1)) : nullptr);
          return reinterpret_cast<LRESULT>(it != siblings.begin() ? HandleOf(*(it - 1)) : nullptr);
        }
        case TVGN_NEXTVISIBLE:
          return reinterpret_cast<LRESULT>(node ? HandleOf(NextVisible(s, node)) : nullptr);
        case TVGN_PREVIOUSVISIBLE: {
          if (!node || s->roots.empty()) return 0;
          TreeNode* prev = nullptr;
          for (TreeNode* n = s->roots.front(); n && n != node; n = NextVisible(s, n)) prev = n;
          return reinterpret_cast<LRESULT>(HandleOf(prev));
        }
        case TVGN_LASTVISIBLE: {
          TreeNode* last = nullptr;
          for (TreeNode* n = s->roots.empty() ? nullptr : s->roots.front(); n; n = NextVisible(s, n)) last = n;
          return reinterpret_cast<LRESULT>(HandleOf(last));
        }
        default:
          return 0;
      }
    }
    case TVM_SELECTITEM: {
      auto item = reinterpret_cast<HTREEITEM>(lparam);
      TreeNode* node = item ? NodeOf(s, item) : nullptr;
      if (item && !node) return FALSE;
      switch (wparam & 0xFF) {
        case TVGN_CARET: return SelectCaret(hwnd, s, node, TVC_UNKNOWN) ? TRUE : FALSE;
        case TVGN_DROPHILITE: s->drop = node; return TRUE;
        case TVGN_FIRSTVISIBLE: s->first_visible = node; return TRUE;
        default: return FALSE;
      }
    }
    case TVM_GETITEMW: {
      auto* item = reinterpret_cast<TVITEMW*>(lparam);
      if (!item) return FALSE;
      TreeNode* node = NodeOf(s, item->hItem);
      if (!node) return FALSE;
      FillItem(node, item);
      return TRUE;
    }
    case TVM_SETITEMW: {
      auto* item = reinterpret_cast<const TVITEMW*>(lparam);
      if (!item) return FALSE;
      TreeNode* node = NodeOf(s, item->hItem);
      if (!node) return FALSE;
      FillNode(node, *item);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TVM_GETITEMRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (!r) return FALSE;
      TreeNode* target = NodeOf(s, *reinterpret_cast<HTREEITEM*>(lparam));
      if (!target) return FALSE;
      int row = 0, height = 16;
      for (TreeNode* n = s->roots.empty() ? nullptr : s->roots.front(); n; n = NextVisible(s, n), ++row)
        if (n == target) {
          RECT client;
          GetClientRect(hwnd, &client);
          *r = RECT{0, row * height, client.right, (row + 1) * height};
          return TRUE;
        }
      return FALSE;
    }
    case WM_KEYDOWN: {
      if (s->roots.empty()) return 0;
      TreeNode* next = s->caret;
      if (wparam == VK_DOWN) next = s->caret ? NextVisible(s, s->caret) : s->roots.front();
      if (wparam == VK_HOME) next = s->roots.front();
      if (next && next != s->caret) SelectCaret(hwnd, s, next, TVC_BYKEYBOARD);
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

void RegisterCommonControlClasses() {
  Register(PROGRESS_CLASSW, ProgressProc);
  Register(WC_TABCONTROLW, TabProc);
  Register(TOOLBARCLASSNAMEW, ToolbarProc);
  Register(WC_TREEVIEWW, TreeProc);
}

}  // namespace platform

// ==== Property sheets =================================================================================

namespace platform {
namespace {

// A page handle: the caller's page record copied whole (its dwSize bytes).
struct PageRecord {
  std::vector<BYTE> bytes;  // the copy; starts with a PROPSHEETPAGEW, 8-byte aligned
  PROPSHEETPAGEW* page() { return reinterpret_cast<PROPSHEETPAGEW*>(bytes.data()); }
};

struct PageRegistry {
  std::mutex lock;
  std::set<PageRecord*> live;  // page handles not yet destroyed
};

PageRegistry& Pages() {
  static PageRegistry* registry = new PageRegistry;  // lives to process exit
  return *registry;
}

PageRecord* RecordOf(HPROPSHEETPAGE handle) {
  PageRegistry& r = Pages();
  std::lock_guard<std::mutex> guard(r.lock);
  auto* record = reinterpret_cast<PageRecord*>(handle);
  return r.live.count(record) ? record : nullptr;
}

// One page of a running sheet.
struct SheetPage {
  PageRecord* record = nullptr;  // its page record
  HWND hwnd = nullptr;           // the page dialog, once made
  const void* bytes = nullptr;   // its template
  size_t size = 0;               // the template's size (0: unknown)
  std::u16string title;          // tab text
  SIZE pixels{0, 0};             // client size
  bool changed = false;          // PSM_CHANGED
};

// A running sheet.
struct Sheet {
  DWORD flags = 0;                 // PSH_*
  HWND hwnd = nullptr;             // the sheet dialog
  HWND tab = nullptr;              // the tab control (not in wizards)
  std::vector<SheetPage> pages;    // its pages
  int current = -1;                // the page shown
  RECT page_area{};                // where pages go (sheet client coordinates)
  INT_PTR result = 0;              // what PropertySheetW returns
  bool wizard = false;             // PSH_WIZARD / PSH_WIZARD97
  bool modeless = false;           // PSH_MODELESS
  bool done = false;               // a modeless sheet was closed
  PFNPROPSHEETCALLBACK callback = nullptr;  // PSH_USECALLBACK
};

constexpr LPCWSTR kSheetProp = u"platform.PropertySheet";

Sheet* SheetOf(HWND hwnd) { return reinterpret_cast<Sheet*>(GetPropW(hwnd, kSheetProp)); }

// Looks up a page's template and measures it; FALSE when it has none.
bool LoadPageTemplate(SheetPage* page) {
  PROPSHEETPAGEW* psp = page->record->page();
  if (psp->dwFlags & PSP_DLGINDIRECT) {
    page->bytes = psp->pResource;
    page->size = 0;
  } else {
    HRSRC res = FindResourceW(psp->hInstance, psp->pszTemplate, RT_DIALOG);
    if (!res) return false;
    page->bytes = LockResource(LoadResource(psp->hInstance, res));
    page->size = SizeofResource(psp->hInstance, res);
  }
  if (!page->bytes) return false;
  size_t size = page->size ? page->size : IndirectTemplateSize(page->bytes, 0x40000);
  DialogTemplateHeader header;
  if (!ReadDialogTemplateHeader(page->bytes, size, &header)) return false;
  if (!DialogTemplatePixelSize(page->bytes, size, &page->pixels)) return false;
  page->title = header.title;
  if (psp->dwFlags & PSP_USETITLE) {
    if (IS_INTRESOURCE(psp->pszTitle)) {
      WCHAR buffer[256];
      int n = LoadStringW(psp->hInstance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(psp->pszTitle)), buffer, 256);
      page->title.assign(buffer, static_cast<size_t>(std::max(n, 0)));
    } else {
      page->title = psp->pszTitle;
    }
  }
  return true;
}

// WM_NOTIFY with a PSHNOTIFY to a page; the page's answer.
LRESULT NotifyPage(Sheet* sheet, size_t index, UINT code, LPARAM lparam) {
  HWND page = sheet->pages[index].hwnd;
  if (!page) return 0;
  PSHNOTIFY n{{sheet->hwnd, 0, code}, lparam};
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

// Makes a page's dialog the first time it is shown.
bool MakePage(Sheet* sheet, size_t index) {
  SheetPage& page = sheet->pages[index];
  if (page.hwnd) return true;
  PROPSHEETPAGEW* psp = page.record->page();
  if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
      psp->pfnCallback(nullptr, PSPCB_CREATE, psp) == 0)
    return false;
  HWND hwnd = CreateChildDialog(psp->hInstance, page.bytes, page.size, sheet->hwnd, psp->pfnDlgProc,
                                reinterpret_cast<LPARAM>(psp));
  if (!hwnd) return false;
  page.hwnd = hwnd;
  SetWindowPos(hwnd, HWND_TOP, sheet->page_area.left, sheet->page_area.top,
               sheet->page_area.right - sheet->page_area.left, sheet->page_area.bottom - sheet->page_area.top,
               SWP_NOACTIVATE);
  return true;
}

int PageByResourceId(Sheet* sheet, LRESULT id) {
  for (size_t i = 0; i < sheet->pages.size(); ++i) {
    PROPSHEETPAGEW* psp = sheet->pages[i].record->page();
    if (!(psp->dwFlags & PSP_DLGINDIRECT) && psp->pszTemplate == reinterpret_cast<LPCWSTR>(id))
      return static_cast<int>(i);
  }
  return -1;
}

void UpdateApply(Sheet* sheet) {
  bool any = std::any_of(sheet->pages.begin(), sheet->pages.end(), [](const SheetPage& p) { return p.changed; });
  if (HWND apply = GetDlgItem(sheet->hwnd, IDC_SHEET_APPLY)) EnableWindow(apply, any);
}

// Shows page `index`; `kill` first asks the page shown (PSN_KILLACTIVE).
bool Activate(Sheet* sheet, int index, bool kill, int depth = 0) {
  if (index < 0 || static_cast<size_t>(index) >= sheet->pages.size() || depth > 16) return false;
  if (index == sheet->current) return true;
  if (kill && sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0))
    return false;
  if (!MakePage(sheet, static_cast<size_t>(index))) return false;
  LRESULT answer = NotifyPage(sheet, static_cast<size_t>(index), PSN_SETACTIVE, 0);
  if (answer == -1) return false;
  if (answer != 0) return Activate(sheet, PageByResourceId(sheet, answer), false, depth + 1);
  if (sheet->current >= 0 && sheet->pages[static_cast<size_t>(sheet->current)].hwnd)
    ShowWindow(sheet->pages[static_cast<size_t>(sheet->current)].hwnd, SW_HIDE);
  sheet->current = index;
  HWND page = sheet->pages[static_cast<size_t>(index)].hwnd;
  ShowWindow(page, SW_SHOWNA);
  if (sheet->tab) SendMessageW(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  return true;
}

void EndSheet(Sheet* sheet, INT_PTR result) {
  sheet->result = result;
  if (sheet->modeless) {
    sheet->done = true;
    ShowWindow(sheet->hwnd, SW_HIDE);
  } else {
    EndDialog(sheet->hwnd, result);
  }
}

// OK (close) or Apply (keep open): FALSE when a page objects.
bool ApplyPages(Sheet* sheet, bool close) {
  if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0)) return false;
  for (size_t i = 0; i < sheet->pages.size(); ++i) {
    LRESULT answer = NotifyPage(sheet, i, PSN_APPLY, close ? TRUE : FALSE);
    if (answer == PSNRET_INVALID) {
      Activate(sheet, static_cast<int>(i), false);
      return false;
    }
    if (answer == PSNRET_INVALID_NOCHANGEPAGE) return false;
  }
  for (SheetPage& p : sheet->pages) p.changed = false;
  UpdateApply(sheet);
  return true;
}

void Cancel(Sheet* sheet) {
  if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_QUERYCANCEL, 0)) return;
  for (size_t i = 0; i < sheet->pages.size(); ++i) NotifyPage(sheet, i, PSN_RESET, 0);
  EndSheet(sheet, 0);
}

// Wizard navigation: PSN_WIZNEXT / PSN_WIZBACK decide the target.
void Navigate(Sheet* sheet, bool forward) {
  if (sheet->current < 0) return;
  LRESULT answer = NotifyPage(sheet, static_cast<size_t>(sheet->current), forward ? PSN_WIZNEXT : PSN_WIZBACK, 0);
  if (answer == -1) return;
  int target = answer ? PageByResourceId(sheet, answer) : sheet->current + (forward ? 1 : -1);
  Activate(sheet, target, true);
}

void SetWizardButtons(Sheet* sheet, LPARAM flags) {
  HWND back = GetDlgItem(sheet->hwnd, IDC_SHEET_BACK);
  HWND next = GetDlgItem(sheet->hwnd, IDC_SHEET_NEXT);
  HWND finish = GetDlgItem(sheet->hwnd, IDC_SHEET_FINISH);
  if (back) EnableWindow(back, (flags & PSWIZB_BACK) != 0);
  bool finishing = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
  if (next) {
    ShowWindow(next, finishing && !(sheet->flags & PSH_WIZARDHASFINISH) ? SW_HIDE : SW_SHOWNA);
    EnableWindow(next, (flags & PSWIZB_NEXT) != 0);
  }
  if (finish) {
    ShowWindow(finish, finishing || (sheet->flags & PSH_WIZARDHASFINISH) ? SW_SHOWNA : SW_HIDE);
    EnableWindow(finish, (flags & PSWIZB_FINISH) != 0);
  }
  SendMessageW(sheet->hwnd, DM_SETDEFID, finishing ? IDC_SHEET_FINISH : IDC_SHEET_NEXT, 0);
}

INT_PTR SheetCommand(Sheet* sheet, int id) {
  switch (id) {
    case IDOK:
      if (!sheet->wizard && ApplyPages(sheet, true)) EndSheet(sheet, sheet->result ? sheet->result : 1);
      return TRUE;
    case IDCANCEL:
      Cancel(sheet);
      return TRUE;
    case IDC_SHEET_APPLY:
      ApplyPages(sheet, false);
      return TRUE;
    case IDHELP:
      if (sheet->current >= 0) NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_HELP, 0);
      return TRUE;
    case IDC_SHEET_BACK:
    case IDC_SHEET_NEXT:
      Navigate(sheet, id == IDC_SHEET_NEXT);
      return TRUE;
    case IDC_SHEET_FINISH:
      if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_WIZFINISH, 0)) return TRUE;
      EndSheet(sheet, sheet->result ? sheet->result : 1);
      return TRUE;
    default:
      return FALSE;
  }
}

int PressedButton(WPARAM button) {
  switch (button) {
    case PSBTN_BACK: return IDC_SHEET_BACK;
    case PSBTN_NEXT: return IDC_SHEET_NEXT;
    case PSBTN_FINISH: return IDC_SHEET_FINISH;
    case PSBTN_OK: return IDOK;
    case PSBTN_APPLYNOW: return IDC_SHEET_APPLY;
    case PSBTN_CANCEL: return IDCANCEL;
    case PSBTN_HELP: return IDHELP;
    default: return 0;
  }
}

// Answers a message with a result through DWLP_MSGRESULT.
INT_PTR Answer(HWND hwnd, LRESULT result) {
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

int PageIndexOf(Sheet* sheet, HWND page) {
  for (size_t i = 0; i < sheet->pages.size(); ++i)
    if (sheet->pages[i].hwnd == page) return static_cast<int>(i);
  return -1;
}

INT_PTR SheetProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Sheet* sheet = SheetOf(hwnd);
  if (!sheet) return FALSE;
  switch (message) {
    case WM_NCDESTROY:
      // A modeless sheet lives with its window; a modal one belongs to
      // PropertySheetW.
      RemovePropW(hwnd, kSheetProp);
      if (sheet->modeless) {
        for (SheetPage& p : sheet->pages) DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(p.record));
        delete sheet;
      }
      return FALSE;
    case WM_COMMAND:
      return SheetCommand(sheet, LOWORD(wparam));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (!header || header->hwndFrom != sheet->tab) return FALSE;
      if (header->code == TCN_SELCHANGING) {
        bool refuse = sheet->current >= 0 &&
                      NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0) != 0;
        return Answer(hwnd, refuse ? TRUE : FALSE);
      }
      if (header->code == TCN_SELCHANGE) {
        int chosen = static_cast<int>(SendMessageW(sheet->tab, TCM_GETCURSEL, 0, 0));
        if (!Activate(sheet, chosen, false))
          SendMessageW(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(sheet->current), 0);
        return TRUE;
      }
      return FALSE;
    }
    case PSM_SETCURSEL: {
      int index = static_cast<int>(wparam);
      if (lparam) {
        index = -1;
        for (size_t i = 0; i < sheet->pages.size(); ++i)
          if (sheet->pages[i].record == reinterpret_cast<PageRecord*>(lparam)) index = static_cast<int>(i);
      }
      return Answer(hwnd, Activate(sheet, index, true) ? TRUE : FALSE);
    }
    case PSM_SETCURSELID:
      return Answer(hwnd, Activate(sheet, PageByResourceId(sheet, lparam), true) ? TRUE : FALSE);
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
      int index = PageIndexOf(sheet, reinterpret_cast<HWND>(wparam));
      if (index >= 0) sheet->pages[static_cast<size_t>(index)].changed = message == PSM_CHANGED;
      UpdateApply(sheet);
      return Answer(hwnd, 0);
    }
    case PSM_APPLY:
      return Answer(hwnd, ApplyPages(sheet, false) ? TRUE : FALSE);
    case PSM_PRESSBUTTON: {
      // As on the platform, the press happens later, from the queue.
      int id = PressedButton(wparam);
      if (id) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0);
      return Answer(hwnd, 0);
    }
    case PSM_SETWIZBUTTONS:
      SetWizardButtons(sheet, lparam);
      return Answer(hwnd, 0);
    case PSM_SETFINISHTEXTW:
      if (HWND finish = GetDlgItem(hwnd, IDC_SHEET_FINISH)) {
        SetWindowTextW(finish, reinterpret_cast<LPCWSTR>(lparam));
        ShowWindow(finish, SW_SHOWNA);
        EnableWindow(finish, TRUE);
      }
      if (HWND next = GetDlgItem(hwnd, IDC_SHEET_NEXT)) ShowWindow(next, SW_HIDE);
      if (HWND back = GetDlgItem(hwnd, IDC_SHEET_BACK)) ShowWindow(back, SW_HIDE);
      return Answer(hwnd, 0);
    case PSM_SETTITLEW: {
      std::u16string title = IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lparam)) ? std::u16string()
                                                                                : reinterpret_cast<LPCWSTR>(lparam);
      if (wparam & PSH_PROPTITLE) title += u" Properties";
      SetWindowTextW(hwnd, title.c_str());
      return Answer(hwnd, 0);
    }
    case PSM_CANCELTOCLOSE:
      if (HWND cancel = GetDlgItem(hwnd, IDCANCEL)) EnableWindow(cancel, FALSE);
      if (HWND ok = GetDlgItem(hwnd, IDOK)) SetWindowTextW(ok, u"Close");
      return Answer(hwnd, 0);
    case PSM_RESTARTWINDOWS:
      sheet->result |= ID_PSRESTARTWINDOWS;
      return Answer(hwnd, 0);
    case PSM_REBOOTSYSTEM:
      sheet->result |= ID_PSREBOOTSYSTEM;
      return Answer(hwnd, 0);
    case PSM_QUERYSIBLINGS:
      for (SheetPage& p : sheet->pages)
        if (p.hwnd)
          if (LRESULT r = SendMessageW(p.hwnd, PSM_QUERYSIBLINGS, wparam, lparam)) return Answer(hwnd, r);
      return Answer(hwnd, 0);
    case PSM_GETTABCONTROL:
      return Answer(hwnd, reinterpret_cast<LRESULT>(sheet->tab));
    case PSM_GETCURRENTPAGEHWND:
      return Answer(hwnd, sheet->done || sheet->current < 0
                              ? 0
                              : reinterpret_cast<LRESULT>(sheet->pages[static_cast<size_t>(sheet->current)].hwnd));
    case PSM_ISDIALOGMESSAGE:
      return Answer(hwnd, IsDialogMessageW(hwnd, reinterpret_cast<MSG*>(lparam)));
    case PSM_ADDPAGE: {
      PageRecord* record = RecordOf(reinterpret_cast<HPROPSHEETPAGE>(lparam));
      if (!record) return Answer(hwnd, FALSE);
      SheetPage page;
      page.record = record;
      if (!LoadPageTemplate(&page)) return Answer(hwnd, FALSE);
      sheet->pages.push_back(page);
      if (sheet->tab) {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(page.title.c_str()), 0, -1, 0};
        SendMessageW(sheet->tab, TCM_INSERTITEMW, sheet->pages.size() - 1, reinterpret_cast<LPARAM>(&item));
      }
      return Answer(hwnd, TRUE);
    }
    case PSM_REMOVEPAGE: {
      int index = static_cast<int>(wparam);
      if (lparam)
        for (size_t i = 0; i < sheet->pages.size(); ++i)
          if (sheet->pages[i].record == reinterpret_cast<PageRecord*>(lparam)) index = static_cast<int>(i);
      if (index < 0 || static_cast<size_t>(index) >= sheet->pages.size()) return Answer(hwnd, 0);
      if (index == sheet->current) {
        int other = index > 0 ? index - 1 : index + 1;
        if (!Activate(sheet, other, false)) sheet->current = -1;
      }
      if (sheet->pages[static_cast<size_t>(index)].hwnd) DestroyWindow(sheet->pages[static_cast<size_t>(index)].hwnd);
      DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(sheet->pages[static_cast<size_t>(index)].record));
      sheet->pages.erase(sheet->pages.begin() + index);
      if (sheet->current > index) --sheet->current;
      if (sheet->tab) SendMessageW(sheet->tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
      return Answer(hwnd, 0);
    }
    default:
      return FALSE;
  }
}

// Lays out and creates the sheet window and its own controls.
bool BuildSheet(Sheet* sheet, const PROPSHEETHEADERW* header) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LONG units = GetDialogBaseUnits();
  const int margin = MulDiv(7, LOWORD(static_cast<DWORD>(units)), 4);
  const int button_w = MulDiv(50, LOWORD(static_cast<DWORD>(units)), 4);
  const int button_h = MulDiv(14, HIWORD(static_cast<DWORD>(units)), 8);
  SIZE page{0, 0};
  for (const SheetPage& p : sheet->pages) {
    page.cx = std::max(page.cx, p.pixels.cx);
    page.cy = std::max(page.cy, p.pixels.cy);
  }
  std::u16string caption;
  if (header->pszCaption && !IS_INTRESOURCE(header->pszCaption)) caption = header->pszCaption;
  if (header->pszCaption && IS_INTRESOURCE(header->pszCaption)) {
    WCHAR buffer[256];
    int n = LoadStringW(header->hInstance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(header->pszCaption)), buffer, 256);
    caption.assign(buffer, static_cast<size_t>(std::max(n, 0)));
  }
  if (header->dwFlags & PSH_PROPTITLE) caption += u" Properties";

  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | WS_CLIPCHILDREN;
  DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  if (!sheet->wizard && !(header->dwFlags & PSH_NOCONTEXTHELP)) ex_style |= WS_EX_CONTEXTHELP;
  RECT tab_rect{};
  int client_w, client_h;
  if (sheet->wizard) {
    sheet->page_area = RECT{0, 0, page.cx, page.cy};
    client_w = page.cx;
    client_h = page.cy + 2 * margin + button_h;
  } else {
    sheet->page_area = RECT{0, 0, page.cx, page.cy};
    client_w = page.cx + 2 * margin + 8;
    client_h = 0;  // after the tab control tells its frame
  }
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  HWND hwnd = CreateWindowExW(ex_style, WC_DIALOG, caption.c_str(), style, 0, 0, 100, 100, owner, nullptr,
                              header->hInstance, nullptr);
  if (!hwnd) return false;
  sheet->hwnd = hwnd;
  SetPropW(hwnd, kSheetProp, sheet);
  SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(SheetProc));
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  auto add = [&](LPCWSTR cls, LPCWSTR text, DWORD control_style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExW(WS_EX_NOPARENTNOTIFY, cls, text, WS_CHILD | WS_VISIBLE | control_style, x, y, w, h,
                             hwnd, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };
  if (!sheet->wizard) {
    sheet->tab = add(WC_TABCONTROLW, u"", WS_TABSTOP | WS_CLIPSIBLINGS, margin, margin, 10, 10, IDC_SHEET_TAB);
    if (!sheet->tab) return false;
    for (size_t i = 0; i < sheet->pages.size(); ++i) {
      TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(sheet->pages[i].title.c_str()), 0, -1, 0};
      SendMessageW(sheet->tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tab control's window around a display area of the page size.
    tab_rect = RECT{0, 0, page.cx, page.cy};
    SendMessageW(sheet->tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tab_rect));
    OffsetRect(&tab_rect, margin - tab_rect.left, margin - tab_rect.top);
    MoveWindow(sheet->tab, tab_rect.left, tab_rect.top, tab_rect.right - tab_rect.left,
               tab_rect.bottom - tab_rect.top, FALSE);
    sheet->page_area = RECT{0, 0, tab_rect.right - tab_rect.left, tab_rect.bottom - tab_rect.top};
    SendMessageW(sheet->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&sheet->page_area));
    OffsetRect(&sheet->page_area, tab_rect.left, tab_rect.top);
    client_w = tab_rect.right + margin;
    client_h = tab_rect.bottom + 2 * margin + button_h;
  }
  // Buttons, right-aligned in the bottom row.
  std::vector<std::pair<int, const char16_t*>> buttons;
  if (sheet->wizard) {
    buttons = {{IDC_SHEET_BACK, u"< &Back"}, {IDC_SHEET_NEXT, u"&Next >"}, {IDC_SHEET_FINISH, u"Finish"},
               {IDCANCEL, u"Cancel"}};
  } else {
    buttons = {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    if (!(header->dwFlags & PSH_NOAPPLYNOW)) buttons.push_back({IDC_SHEET_APPLY, u"&Apply"});
  }
  if (header->dwFlags & PSH_HASHELP) buttons.push_back({IDHELP, u"Help"});
  int x = client_w - margin - static_cast<int>(buttons.size()) * (button_w + margin / 2) + margin / 2;
  int y = client_h - margin - button_h;
  for (auto& [id, text] : buttons) {
    DWORD bs = WS_TABSTOP | ((id == IDOK || id == IDC_SHEET_NEXT) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND b = add(WC_BUTTONW, text, bs, x, y, button_w, button_h, id);
    if (id == IDC_SHEET_FINISH && b && !(sheet->flags & PSH_WIZARDHASFINISH)) {
      ShowWindow(b, SW_HIDE);
      MoveWindow(b, x - button_w - margin / 2, y, button_w, button_h, FALSE);  // in Next's place
      continue;
    }
    x += button_w + margin / 2;
  }
  if (HWND apply = GetDlgItem(hwnd, IDC_SHEET_APPLY)) EnableWindow(apply, FALSE);
  RECT frame{0, 0, client_w, client_h};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Centred on the owner (or the work area), kept on the screen.
  RECT r, area;
  GetWindowRect(hwnd, &r);
  if (owner && IsWindowVisible(owner)) {
    GetWindowRect(owner, &area);
  } else {
    area = WorkAreaOfMonitor(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY));
  }
  SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - (r.right - r.left)) / 2,
               area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd, DM_REPOSITION, 0, 0);
  return true;
}

}  // namespace

size_t LivePropertySheetPageCount() {
  PageRegistry& r = Pages();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.live.size();
}

}  // namespace platform

HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW* page) {
  // The caller's data after the record is copied too; a size beyond 64 KiB
  // is taken for garbage rather than read.
  if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || page->dwSize > 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* record = new (std::nothrow) platform::PageRecord;
  if (!record) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    // The fields past a shorter record read as zero.
    record->bytes.assign(std::max<size_t>(page->dwSize, sizeof(PROPSHEETPAGEW)), 0);
  } catch (const std::bad_alloc&) {
    delete record;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(record->bytes.data(), page, page->dwSize);
  {
    platform::PageRegistry& r = platform::Pages();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.insert(record);
  }
  PROPSHEETPAGEW* copy = record->page();
  if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent) ++*copy->pcRefParent;
  if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback) copy->pfnCallback(nullptr, PSPCB_ADDREF, copy);
  return reinterpret_cast<HPROPSHEETPAGE>(record);
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  platform::PageRecord* record = platform::RecordOf(page);
  if (!record) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    platform::PageRegistry& r = platform::Pages();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.erase(record);
  }
  PROPSHEETPAGEW* copy = record->page();
  if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback) copy->pfnCallback(nullptr, PSPCB_RELEASE, copy);
  if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent) --*copy->pcRefParent;
  delete record;
  return TRUE;
}

INT_PTR PropertySheetW(const PROPSHEETHEADERW* header) {
  if (!header || header->dwSize < PROPSHEETHEADERW_V1_SIZE || header->nPages == 0 || header->nPages > 100) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto sheet = std::make_unique<platform::Sheet>();
  sheet->flags = header->dwFlags;
  sheet->wizard = (header->dwFlags & (PSH_WIZARD | PSH_WIZARD97)) != 0;
  sheet->modeless = (header->dwFlags & PSH_MODELESS) != 0;
  sheet->callback = (header->dwFlags & PSH_USECALLBACK) ? header->pfnCallback : nullptr;
  // The pages: records are walked by their own sizes; handles are taken
  // over and destroyed with the sheet.
  const BYTE* walk = reinterpret_cast<const BYTE*>(header->ppsp);
  auto release = [&]() {
    for (platform::SheetPage& p : sheet->pages)
      DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(p.record));
    sheet->pages.clear();
  };
  for (UINT i = 0; i < header->nPages; ++i) {
    HPROPSHEETPAGE handle;
    if (header->dwFlags & PSH_PROPSHEETPAGE) {
      auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(walk);
      if (!psp || psp->dwSize < PROPSHEETPAGEW_V1_SIZE) break;
      handle = CreatePropertySheetPageW(psp);
      walk += psp->dwSize;
    } else {
      handle = header->phpage ? header->phpage[i] : nullptr;
    }
    platform::PageRecord* record = platform::RecordOf(handle);
    if (!record) continue;
    platform::SheetPage page;
    page.record = record;
    if (!platform::LoadPageTemplate(&page)) {
      DestroyPropertySheetPage(handle);
      continue;
    }
    sheet->pages.push_back(page);
  }
  if (sheet->pages.empty() || !platform::BuildSheet(sheet.get(), header)) {
    if (sheet->hwnd) DestroyWindow(sheet->hwnd);
    release();
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  HWND hwnd = sheet->hwnd;
  if (sheet->callback) sheet->callback(hwnd, PSCB_INITIALIZED, 0);
  int start = 0;
  if (header->dwFlags & PSH_USEPSTARTPAGE) {
    for (size_t i = 0; i < sheet->pages.size(); ++i)
      if (header->pStartPage && !IS_INTRESOURCE(header->pStartPage) && sheet->pages[i].title == header->pStartPage)
        start = static_cast<int>(i);
  } else if (header->nStartPage < sheet->pages.size()) {
    start = static_cast<int>(header->nStartPage);
  }
  if (!platform::Activate(sheet.get(), start, false)) {
    for (size_t i = 0; i < sheet->pages.size() && sheet->current < 0; ++i)
      platform::Activate(sheet.get(), static_cast<int>(i), false);
  }
  if (sheet->wizard) platform::SetWizardButtons(sheet.get(), PSWIZB_BACK | PSWIZB_NEXT);
  if (sheet->modeless) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    sheet.release();  // lives with the window: freed on WM_NCDESTROY
    return reinterpret_cast<INT_PTR>(hwnd);
  }
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  platform::RunModalDialog(hwnd, owner);
  INT_PTR result = sheet->result;
  release();
  return result;
}

// ==== Image lists ====================================================================================
// Each image is kept as its pixel colours, row by row, with a flag per
// pixel for the transparent ones (set only in a masked list).
struct _IMAGELIST {
  int cx = 0;                        // image width in pixels
  int cy = 0;                        // image height in pixels
  UINT flags = 0;                    // ILC_* given at creation
  std::vector<COLORREF> pixels;      // all images, cx * cy each
  std::vector<bool> transparent;     // one flag per pixel of `pixels`
  int count = 0;                     // number of images
};

namespace platform {
namespace {

// The live lists, so that handles can be checked.
struct ImageListRegistry {
  std::mutex lock;                  // guards `live`
  std::set<HIMAGELIST> live;        // every list not yet destroyed
};

ImageListRegistry& ImageLists() {
  static ImageListRegistry* registry = new ImageListRegistry;
  return *registry;
}

// The list behind a handle, or NULL (ERROR_INVALID_HANDLE).
HIMAGELIST LiveList(HIMAGELIST list) {
  ImageListRegistry& r = ImageLists();
  std::lock_guard<std::mutex> guard(r.lock);
  if (list && r.live.count(list)) return list;
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

// The pixel colours of a bitmap, row by row; false when it cannot be read.
bool ReadBitmap(HBITMAP bitmap, int* width, int* height, std::vector<COLORREF>* out) {
  BITMAP info{};
  if (!bitmap || GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return false;
  *width = info.bmWidth;
  *height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return false;
  HGDIOBJ old = SelectObject(dc, bitmap);
  bool ok = old != nullptr;
  if (ok) {
    out->resize(static_cast<size_t>(*width) * static_cast<size_t>(*height));
    for (int y = 0; y < *height; ++y)
      for (int x = 0; x < *width; ++x)
        (*out)[static_cast<size_t>(y) * static_cast<size_t>(*width) + static_cast<size_t>(x)] =
            GetPixel(dc, x, y);
    SelectObject(dc, old);
  }
  DeleteDC(dc);
  return ok;
}

// Appends the images of `image` cut from the left; a pixel is transparent
// when the mask bitmap has it white, or when it has the colour `key`.
int AddImages(HIMAGELIST list, HBITMAP image, HBITMAP mask, COLORREF key) {
  if (!LiveList(list)) return -1;
  int width = 0, height = 0;
  std::vector<COLORREF> colours;
  std::vector<COLORREF> mask_colours;
  int mask_width = 0, mask_height = 0;
  try {
    if (!ReadBitmap(image, &width, &height, &colours)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    bool masked = (list->flags & ILC_MASK) != 0;
    if (masked && mask && !ReadBitmap(mask, &mask_width, &mask_height, &mask_colours)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    int added = width / list->cx;
    if (added <= 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return -1;
    }
    int first = list->count;
    size_t per_image = static_cast<size_t>(list->cx) * static_cast<size_t>(list->cy);
    list->pixels.resize(list->pixels.size() + per_image * static_cast<size_t>(added), 0);
    list->transparent.resize(list->pixels.size(), false);
    for (int i = 0; i < added; ++i) {
      size_t base = static_cast<size_t>(first + i) * per_image;
      // Rows beyond the bitmap's height stay black and opaque.
      for (int y = 0; y < list->cy && y < height; ++y) {
        for (int x = 0; x < list->cx; ++x) {
          int sx = i * list->cx + x;
          COLORREF c = colours[static_cast<size_t>(y) * static_cast<size_t>(width) +
                               static_cast<size_t>(sx)];
          size_t at = base + static_cast<size_t>(y) * static_cast<size_t>(list->cx) +
                      static_cast<size_t>(x);
          list->pixels[at] = c;
          bool clear = false;
          if (masked && key != CLR_NONE) clear = c == key;
          if (masked && mask && sx < mask_width && y < mask_height)
            clear = (mask_colours[static_cast<size_t>(y) * static_cast<size_t>(mask_width) +
                                  static_cast<size_t>(sx)] &
                     0xFFFFFF) != 0;
          list->transparent[at] = clear;
        }
      }
    }
    list->count += added;
    return first;
  } catch (const std::bad_alloc&) {
    // Nothing half-added stays behind.
    size_t keep = static_cast<size_t>(list->count) * static_cast<size_t>(list->cx) *
                  static_cast<size_t>(list->cy);
    list->pixels.resize(keep);
    list->transparent.resize(keep);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return -1;
  }
}

}  // namespace

size_t LiveImageListCount() {
  ImageListRegistry& r = ImageLists();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.live.size();
}

}  // namespace platform

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
  (void)initial;
  (void)grow;
  if (cx <= 0 || cy <= 0 || cx > 4096 || cy > 4096) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* list = new (std::nothrow) _IMAGELIST;
  if (!list) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  list->cx = cx;
  list->cy = cy;
  list->flags = flags;
  try {
    platform::ImageListRegistry& r = platform::ImageLists();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.insert(list);
  } catch (...) {
    delete list;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return list;
}

BOOL ImageList_Destroy(HIMAGELIST list) {
  {
    platform::ImageListRegistry& r = platform::ImageLists();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!list || !r.live.erase(list)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete list;
  return TRUE;
}

int ImageList_Add(HIMAGELIST list, HBITMAP image, HBITMAP mask) {
  return platform::AddImages(list, image, mask, CLR_NONE);
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP image, COLORREF mask) {
  return platform::AddImages(list, image, nullptr, mask);
}

int ImageList_GetImageCount(HIMAGELIST list) {
  return platform::LiveList(list) ? list->count : 0;
}

BOOL ImageList_GetIconSize(HIMAGELIST list, int* cx, int* cy) {
  if (!platform::LiveList(list) || !cx || !cy) return FALSE;
  *cx = list->cx;
  *cy = list->cy;
  return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style) {
  if (!platform::LiveList(list)) return FALSE;
  if (index < 0 || index >= list->count || !dc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  size_t base = static_cast<size_t>(index) * static_cast<size_t>(list->cx) *
                static_cast<size_t>(list->cy);
  for (int row = 0; row < list->cy; ++row) {
    for (int col = 0; col < list->cx; ++col) {
      size_t at = base + static_cast<size_t>(row) * static_cast<size_t>(list->cx) +
                  static_cast<size_t>(col);
      bool clear = list->transparent[at];
      if (style & ILD_MASK) {
        SetPixel(dc, x + col, y + row, clear ? RGB(255, 255, 255) : RGB(0, 0, 0));
      } else if (!clear) {
        SetPixel(dc, x + col, y + row, list->pixels[at]);
      }
    }
  }
  return TRUE;
}

HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow,
                                COLORREF mask, UINT type, UINT flags) {
  if (type != IMAGE_BITMAP || cx <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, flags));
  if (!bitmap) return nullptr;
  BITMAP info{};
  HIMAGELIST list = nullptr;
  if (GetObjectW(bitmap, sizeof(info), &info) == sizeof(info) && info.bmWidth >= cx) {
    int height = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    UINT list_flags = ILC_COLOR32 | (mask != CLR_NONE ? ILC_MASK : 0);
    list = ImageList_Create(cx, height, list_flags, info.bmWidth / cx, grow);
    if (list && ImageList_AddMasked(list, bitmap, mask) < 0) {
      ImageList_Destroy(list);
      list = nullptr;
    }
  } else {
    SetLastError(ERROR_INVALID_DATA);
  }
  DeleteObject(bitmap);
  return list;
}
