// The standard controls: static, button, edit, list box, combo box and
// scroll bar.
//
// Each control keeps its state in a record whose pointer sits in its first
// extra bytes; the record is made on WM_NCCREATE and freed on WM_NCDESTROY.
// Every access is a message handled on the control's own thread (messages
// from other threads are marshalled there by the window model), so the
// records need no lock. Controls paint with the drawing layer: the
// parent's WM_CTLCOLOR* brush, then the text in the control's font.
#include "platform/user/controls.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"
#include "platform/user/window_internal.h"
#include "platform/user/windows.h"

namespace platform {
namespace {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

// WM_COMMAND (id, code) to the parent.
void NotifyParent(HWND hwnd, WORD code) {
  HWND parent = GetParent(hwnd);
  if (!parent) return;
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(LOWORD(static_cast<DWORD_PTR>(GetDlgCtrlID(hwnd))), code),
               reinterpret_cast<LPARAM>(hwnd));
}

// The text an LPARAM points to (NULL: empty).
std::u16string ItemText(LPARAM lparam) {
  return lparam ? std::u16string(reinterpret_cast<LPCWSTR>(lparam)) : std::u16string();
}

std::u16string TextOf(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::u16string text(static_cast<size_t>(n) + 1, u'\0');
  int got = GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

// The length of a control's text, without copying it.
size_t TextLength(HWND hwnd) { return static_cast<size_t>(std::max(GetWindowTextLengthW(hwnd), 0)); }

// Paints the background with the parent's WM_CTLCOLOR* brush and hands the
// DC (font selected, transparent text) to `draw`.
template <class Draw>
void PaintControl(HWND hwnd, UINT ctlcolor, Draw draw) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  if (dc) {
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent)
      brush = reinterpret_cast<HBRUSH>(
          SendMessageW(parent, ctlcolor, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    if (!brush)
      brush = reinterpret_cast<HBRUSH>(
          DefWindowProcW(hwnd, ctlcolor, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
    RECT rc;
    GetClientRect(hwnd, &rc);
    if (brush) FillRect(dc, &rc, brush);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    draw(dc, rc);
    if (old_font) SelectObject(dc, old_font);
  }
  EndPaint(hwnd, &ps);
}

// ---- Static ----------------------------------------------------------------------

struct StaticState {
  HANDLE image = nullptr;   // icon or bitmap shown
  UINT image_type = 0;      // IMAGE_ICON or IMAGE_BITMAP
};

// The image a dialog item names by resource id (its text 0xFFFF, id).
void LoadItemImage(HWND hwnd, const CREATESTRUCTW* cs) {
  DWORD type = static_cast<DWORD>(cs->style) & SS_TYPEMASK;
  if (type != SS_ICON && type != SS_BITMAP) return;
  LPCWSTR name = cs->lpszName;
  if (!name) return;
  if (!IS_INTRESOURCE(name) && name[0] == 0xFFFF) name = MAKEINTRESOURCEW(name[1]);
  if (!IS_INTRESOURCE(name) && !name[0]) return;
  StaticState* s = StateOf<StaticState>(hwnd);
  if (type == SS_ICON) {
    s->image = LoadIconW(cs->hInstance, name);
    s->image_type = IMAGE_ICON;
  } else {
    s->image = LoadImageW(cs->hInstance, name, IMAGE_BITMAP, 0, 0, 0);
    s->image_type = IMAGE_BITMAP;
  }
}

LRESULT StaticProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      if (!CreateState<StaticState>(hwnd)) return FALSE;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_CREATE:
      LoadItemImage(hwnd, reinterpret_cast<const CREATESTRUCTW*>(lparam));
      return 0;
    case WM_NCDESTROY:
      DestroyState<StaticState>(hwnd);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, message, wparam, lparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyControlChanged(hwnd);
      return r;
    }
    case STM_SETICON:
    case STM_SETIMAGE: {
      StaticState* s = StateOf<StaticState>(hwnd);
      if (!s) return 0;
      HANDLE old = s->image;
      s->image = reinterpret_cast<HANDLE>(message == STM_SETICON ? wparam : lparam);
      s->image_type = message == STM_SETICON ? IMAGE_ICON : static_cast<UINT>(wparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON:
    case STM_GETIMAGE: {
      StaticState* s = StateOf<StaticState>(hwnd);
      return s ? reinterpret_cast<LRESULT>(s->image) : 0;
    }
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    case WM_PAINT: {
      DWORD style = StyleOf(hwnd);
      StaticState* s = StateOf<StaticState>(hwnd);
      PaintControl(hwnd, WM_CTLCOLORSTATIC, [&](HDC dc, RECT rc) {
        DWORD type = style & SS_TYPEMASK;
        if (type == SS_ETCHEDHORZ || type == SS_ETCHEDVERT || type == SS_ETCHEDFRAME) {
          UINT sides = type == SS_ETCHEDHORZ ? BF_TOP : type == SS_ETCHEDVERT ? BF_LEFT : BF_RECT;
          DrawEdge(dc, &rc, EDGE_ETCHED, sides);
        } else if (type == SS_ICON && s && s->image) {
          DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(s->image), 0, 0, 0, nullptr, DI_NORMAL);
        } else if (type <= SS_RIGHT || type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) {
          std::u16string text = TextOf(hwnd);
          UINT flags = (type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT) |
                       ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0) |
                       (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK);
          DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, flags);
        }
      });
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Button ----------------------------------------------------------------------

struct ButtonState {
  UINT check = BST_UNCHECKED;  // check state of check boxes and radio buttons
  bool pushed = false;         // BM_SETSTATE
  bool focused = false;        // has the keyboard focus
  HANDLE image = nullptr;      // BM_SETIMAGE
};

DWORD ButtonType(HWND hwnd) { return StyleOf(hwnd) & BS_TYPEMASK; }

bool IsCheckType(DWORD type) {
  return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE ||
         type == BS_AUTO3STATE || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Unchecks the other automatic radio buttons of the button's group.
void UncheckGroup(HWND button) {
  HWND parent = GetParent(button);
  if (!parent) return;
  // The group runs from the WS_GROUP control at or before the button to
  // the control before the next WS_GROUP.
  std::vector<HWND> siblings;
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) siblings.push_back(h);
  auto it = std::find(siblings.begin(), siblings.end(), button);
  if (it == siblings.end()) return;
  size_t index = static_cast<size_t>(it - siblings.begin());
  size_t first = index;
  while (first > 0 && !(StyleOf(siblings[first]) & WS_GROUP)) --first;
  for (size_t i = first; i < siblings.size(); ++i) {
    if (i > first && (StyleOf(siblings[i]) & WS_GROUP)) break;
    if (siblings[i] == button) continue;
    WCHAR cls[16];
    GetClassNameW(siblings[i], cls, 16);
    if (lstrcmpiW(cls, u"Button") != 0) continue;
    if ((StyleOf(siblings[i]) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
      SendMessageW(siblings[i], BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void ClickButton(HWND hwnd) {
  DWORD type = ButtonType(hwnd);
  ButtonState* s = StateOf<ButtonState>(hwnd);
  if (!s) return;
  switch (type) {
    case BS_AUTOCHECKBOX:
      SendMessageW(hwnd, BM_SETCHECK, s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
      break;
    case BS_AUTO3STATE:
      SendMessageW(hwnd, BM_SETCHECK, (s->check + 1) % 3, 0);
      break;
    case BS_AUTORADIOBUTTON:
      SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
      UncheckGroup(hwnd);
      break;
    default:
      break;
  }
  NotifyParent(hwnd, BN_CLICKED);
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE:
      if (!CreateState<ButtonState>(hwnd)) return FALSE;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    case WM_NCDESTROY:
      DestroyState<ButtonState>(hwnd);
      return 0;
    case BM_GETCHECK: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      return s && IsCheckType(ButtonType(hwnd)) ? s->check : 0;
    }
    case BM_SETCHECK: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      DWORD type = ButtonType(hwnd);
      if (!s || !IsCheckType(type)) return 0;
      UINT check = static_cast<UINT>(wparam);
      if (check == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE) check = BST_CHECKED;
      if (check > BST_INDETERMINATE) check = BST_CHECKED;
      if (s->check != check) {
        s->check = check;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    }
    case BM_GETSTATE: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (!s) return 0;
      return (IsCheckType(ButtonType(hwnd)) ? s->check : 0) | (s->pushed ? BST_PUSHED : 0) |
             (s->focused ? BST_FOCUS : 0);
    }
    case BM_SETSTATE: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (s) s->pushed = wparam != 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_SETSTYLE: {
      DWORD style = (StyleOf(hwnd) & ~0xFFFFu) | (static_cast<DWORD>(wparam) & 0xFFFF);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
      if (LOWORD(static_cast<DWORD_PTR>(lparam))) InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case BM_CLICK:
      if (IsWindowEnabled(hwnd)) ClickButton(hwnd);
      return 0;
    case BM_SETIMAGE: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (!s) return 0;
      HANDLE old = s->image;
      s->image = reinterpret_cast<HANDLE>(lparam);
      return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      return s ? reinterpret_cast<LRESULT>(s->image) : 0;
    }
    case WM_GETDLGCODE:
      switch (ButtonType(hwnd)) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON: case BS_PUSHBOX: case BS_OWNERDRAW: case BS_USERBUTTON:
          return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
      }
    case WM_CHAR:
      if (wparam == u' ' && IsWindowEnabled(hwnd) && ButtonType(hwnd) != BS_GROUPBOX) ClickButton(hwnd);
      return 0;
    case WM_LBUTTONUP:
      if (IsWindowEnabled(hwnd) && ButtonType(hwnd) != BS_GROUPBOX) ClickButton(hwnd);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
      ButtonState* s = StateOf<ButtonState>(hwnd);
      if (s) s->focused = message == WM_SETFOCUS;
      if (StyleOf(hwnd) & BS_NOTIFY) NotifyParent(hwnd, message == WM_SETFOCUS ? BN_SETFOCUS : BN_KILLFOCUS);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case WM_ENABLE:
    case WM_SETTEXT: {
      LRESULT r = message == WM_SETTEXT ? DefWindowProcW(hwnd, message, wparam, lparam) : 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case WM_PAINT: {
      DWORD type = ButtonType(hwnd);
      ButtonState* s = StateOf<ButtonState>(hwnd);
      PaintControl(hwnd, WM_CTLCOLORBTN, [&](HDC dc, RECT rc) {
        std::u16string text = TextOf(hwnd);
        if (type == BS_GROUPBOX) {
          RECT frame = rc;
          frame.top += 6;
          DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
          RECT label{rc.left + 8, rc.top, rc.right, rc.top + 14};
          DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_LEFT | DT_SINGLELINE);
          return;
        }
        if (IsCheckType(type)) {
          bool radio = type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
          int box = GetSystemMetrics(SM_CXMENUCHECK);
          RECT mark{rc.left, rc.top + (rc.bottom - rc.top - box) / 2, rc.left + box,
                    rc.top + (rc.bottom - rc.top + box) / 2};
          UINT state = (radio ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK) |
                       (s && s->check ? DFCS_CHECKED : 0) | (IsWindowEnabled(hwnd) ? 0 : DFCS_INACTIVE);
          DrawFrameControl(dc, &mark, DFC_BUTTON, state);
          RECT label{rc.left + box + 4, rc.top, rc.right, rc.bottom};
          DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
          return;
        }
        DrawFrameControl(dc, &rc, DFC_BUTTON, DFCS_BUTTONPUSH | (s && s->pushed ? DFCS_PUSHED : 0));
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      });
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Edit ----------------------------------------------------------------------------

constexpr DWORD kDefaultEditLimit = 0x7FFFFFFE;

struct EditState {
  DWORD limit = kDefaultEditLimit;  // EM_LIMITTEXT
  DWORD sel_start = 0;              // selection start (the anchor)
  DWORD sel_end = 0;                // selection end (the caret)
  bool modified = false;            // EM_GETMODIFY
  WCHAR password = 0;               // EM_SETPASSWORDCHAR
  DWORD margins = 0;                // EM_SETMARGINS
};

void ClampSelection(EditState* s, size_t length) {
  s->sel_start = std::min<DWORD>(s->sel_start, static_cast<DWORD>(length));
  s->sel_end = std::min<DWORD>(s->sel_end, static_cast<DWORD>(length));
}

// Replaces the selection with `insert` (cut to the limit when `limited`);
// EN_UPDATE and EN_CHANGE follow, EN_MAXTEXT when text was cut.
void ReplaceSelection(HWND hwnd, EditState* s, std::u16string insert, bool limited) {
  size_t length = TextLength(hwnd);
  ClampSelection(s, length);
  DWORD a = std::min(s->sel_start, s->sel_end), b = std::max(s->sel_start, s->sel_end);
  size_t kept = length - (b - a);
  bool cut = false;
  if (limited && kept + insert.size() > s->limit) {
    size_t room = s->limit > kept ? s->limit - kept : 0;
    if (insert.size() > room) {
      insert.resize(room);
      cut = true;
    }
  }
  if (cut) NotifyParent(hwnd, EN_MAXTEXT);
  if (insert.empty() && a == b) return;
  platform::DefaultReplaceText(hwnd, a, b - a, insert);
  s->sel_start = s->sel_end = a + static_cast<DWORD>(insert.size());
  s->modified = true;
  InvalidateRect(hwnd, nullptr, TRUE);
  NotifyParent(hwnd, EN_UPDATE);
  NotifyParent(hwnd, EN_CHANGE);
}

// Start offsets of the lines of a text ("\r\n" or "\n" end a line).
std::vector<size_t> LineStarts(const std::u16string& text) {
  std::vector<size_t> starts{0};
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == u'\n') starts.push_back(i + 1);
  return starts;
}

size_t LineLength(const std::u16string& text, size_t start) {
  size_t end = start;
  while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
  return end - start;
}

void TypeChar(HWND hwnd, EditState* s, WCHAR c) {
  DWORD style = StyleOf(hwnd);
  if (style & ES_READONLY) return;
  if (c == 8) {  // backspace
    if (s->sel_start == s->sel_end && s->sel_end > 0) s->sel_start = s->sel_end - 1;
    ReplaceSelection(hwnd, s, std::u16string(), false);
    return;
  }
  if (c == u'\r' || c == u'\n') {
    if (style & ES_MULTILINE) ReplaceSelection(hwnd, s, u"\r\n", true);
    return;
  }
  if (c < 0x20) return;
  if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) return;
  if (style & ES_UPPERCASE) c = CharUpper(c);
  if (style & ES_LOWERCASE) c = CharLower(c);
  ReplaceSelection(hwnd, s, std::u16string(1, c), true);
}

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<EditState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  EditState* s = StateOf<EditState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(hwnd, message, wparam, lparam);
      s->sel_start = s->sel_end = 0;
      s->modified = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      NotifyParent(hwnd, EN_UPDATE);
      NotifyParent(hwnd, EN_CHANGE);
      return r;
    }
    case EM_GETSEL: {
      ClampSelection(s, TextLength(hwnd));
      DWORD a = std::min(s->sel_start, s->sel_end), b = std::max(s->sel_start, s->sel_end);
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = a;
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = b;
      return (a > 0xFFFF || b > 0xFFFF) ? -1 : MAKELRESULT(static_cast<WORD>(a), static_cast<WORD>(b));
    }
    case EM_SETSEL: {
      size_t length = TextLength(hwnd);
      LONG start = static_cast<LONG>(wparam), end = static_cast<LONG>(lparam);
      if (start == -1) {  // deselect, keeping the caret
        s->sel_start = s->sel_end;
      } else {
        DWORD a = start < 0 ? static_cast<DWORD>(length) : static_cast<DWORD>(start);
        DWORD b = end < 0 ? static_cast<DWORD>(length) : static_cast<DWORD>(end);
        s->sel_start = a;
        s->sel_end = b;
      }
      ClampSelection(s, length);
      return 0;
    }
    case EM_REPLACESEL:
      ReplaceSelection(hwnd, s, ItemText(lparam), true);
      return 0;
    case EM_LIMITTEXT:
      s->limit = wparam ? static_cast<DWORD>(std::min<WPARAM>(wparam, kDefaultEditLimit)) : kDefaultEditLimit;
      return 0;
    case EM_GETLIMITTEXT:
      return s->limit;
    case EM_SETREADONLY: {
      DWORD style = StyleOf(hwnd);
      style = wparam ? (style | ES_READONLY) : (style & ~ES_READONLY);
      SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
      return TRUE;
    }
    case EM_GETMODIFY:
      return s->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
      s->modified = wparam != 0;
      return 0;
    case EM_GETLINECOUNT:
      return (StyleOf(hwnd) & ES_MULTILINE) ? static_cast<LRESULT>(LineStarts(TextOf(hwnd)).size()) : 1;
    case EM_LINEINDEX: {
      std::u16string text = TextOf(hwnd);
      std::vector<size_t> starts = LineStarts(text);
      LONG line = static_cast<LONG>(wparam);
      if (line < 0) {  // the caret's line
        size_t caret = std::min<size_t>(s->sel_end, text.size());
        line = static_cast<LONG>(std::upper_bound(starts.begin(), starts.end(), caret) - starts.begin()) - 1;
      }
      return static_cast<size_t>(line) < starts.size() ? static_cast<LRESULT>(starts[line]) : -1;
    }
    case EM_LINEFROMCHAR: {
      std::u16string text = TextOf(hwnd);
      std::vector<size_t> starts = LineStarts(text);
      LONG index = static_cast<LONG>(wparam);
      size_t at = index < 0 ? std::min<size_t>(s->sel_end, text.size()) : static_cast<size_t>(index);
      return static_cast<LRESULT>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
    }
    case EM_LINELENGTH: {
      std::u16string text = TextOf(hwnd);
      std::vector<size_t> starts = LineStarts(text);
      LONG index = static_cast<LONG>(wparam);
      size_t at = index < 0 ? std::min<size_t>(s->sel_end, text.size()) : static_cast<size_t>(index);
      if (at > text.size()) return 0;
      size_t line = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
      return static_cast<LRESULT>(LineLength(text, starts[line]));
    }
    case EM_GETLINE: {
      // The buffer's first WORD gives its size in characters; no terminator.
      auto* buffer = reinterpret_cast<WCHAR*>(lparam);
      if (!buffer) return 0;
      WORD size;
      std::memcpy(&size, buffer, sizeof(size));
      std::u16string text = TextOf(hwnd);
      std::vector<size_t> starts = LineStarts(text);
      if (wparam >= starts.size()) return 0;
      size_t length = std::min<size_t>(LineLength(text, starts[wparam]), size);
      text.copy(buffer, length, starts[wparam]);
      return static_cast<LRESULT>(length);
    }
    case EM_SETPASSWORDCHAR:
      s->password = static_cast<WCHAR>(wparam);
      return 0;
    case EM_GETPASSWORDCHAR:
      return s->password;
    case EM_SETMARGINS:
      s->margins = static_cast<DWORD>(lparam);
      return 0;
    case EM_GETMARGINS:
      return s->margins;
    case EM_GETRECT:
      if (lparam) GetClientRect(hwnd, reinterpret_cast<RECT*>(lparam));
      return 0;
    case EM_SCROLLCARET:
      return TRUE;
    case EM_CANUNDO:
    case EM_UNDO:
    case WM_UNDO:
      return FALSE;
    case EM_EMPTYUNDOBUFFER:
    case WM_COPY:
    case WM_PASTE:
      return 0;
    case WM_CLEAR:
    case WM_CUT:
      if (!(StyleOf(hwnd) & ES_READONLY)) ReplaceSelection(hwnd, s, std::u16string(), false);
      return 0;
    case WM_CHAR:
      TypeChar(hwnd, s, static_cast<WCHAR>(wparam));
      return 0;
    case WM_KEYDOWN: {
      size_t length = TextLength(hwnd);
      switch (wparam) {
        case VK_DELETE:
          if (StyleOf(hwnd) & ES_READONLY) break;
          if (s->sel_start == s->sel_end && s->sel_end < length) s->sel_end += 1;
          ReplaceSelection(hwnd, s, std::u16string(), false);
          break;
        case VK_LEFT:
          s->sel_end = s->sel_end > 0 ? s->sel_end - 1 : 0;
          s->sel_start = s->sel_end;
          break;
        case VK_RIGHT:
          s->sel_end = std::min<DWORD>(s->sel_end + 1, static_cast<DWORD>(length));
          s->sel_start = s->sel_end;
          break;
        case VK_HOME:
          s->sel_start = s->sel_end = 0;
          break;
        case VK_END:
          s->sel_start = s->sel_end = static_cast<DWORD>(length);
          break;
        default:
          break;
      }
      return 0;
    }
    case WM_GETDLGCODE: {
      LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
      DWORD style = StyleOf(hwnd);
      if ((style & ES_MULTILINE) && (style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
      return code;
    }
    case WM_SETFOCUS:
      NotifyParent(hwnd, EN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      NotifyParent(hwnd, EN_KILLFOCUS);
      return 0;
    case WM_PAINT: {
      DWORD style = StyleOf(hwnd);
      PaintControl(hwnd, (style & ES_READONLY) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT, [&](HDC dc, RECT rc) {
        std::u16string text = TextOf(hwnd);
        if (s->password) text.assign(text.size(), s->password);
        UINT flags = DT_NOPREFIX | ((style & ES_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE) |
                     ((style & ES_CENTER) ? DT_CENTER : (style & ES_RIGHT) ? DT_RIGHT : DT_LEFT);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rc, flags);
      });
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Items of list and combo boxes --------------------------------------------------------

struct Item {
  std::u16string text;   // the item's text
  LPARAM data = 0;       // LB_SETITEMDATA / CB_SETITEMDATA
  bool selected = false; // multiple-selection list boxes
};

struct ItemList {
  std::vector<Item> items;  // in display order
  int current = -1;         // the selected (caret) item
  int top = 0;              // first visible item
  int item_height = 16;     // LB_SETITEMHEIGHT / CB_SETITEMHEIGHT

  bool Valid(WPARAM index) const { return static_cast<size_t>(index) < items.size(); }

  // Inserts at `index` (-1: the end) or, sorted, at its place by case-blind
  // order; returns the index.
  LRESULT Insert(LONG index, const std::u16string& text, LPARAM data, bool sorted) {
    size_t at;
    if (sorted) {
      at = 0;
      while (at < items.size() && lstrcmpiW(items[at].text.c_str(), text.c_str()) <= 0) ++at;
    } else if (index < 0) {
      at = items.size();
    } else if (static_cast<size_t>(index) <= items.size()) {
      at = static_cast<size_t>(index);
    } else {
      return -1;
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), Item{text, data, false});
    if (current >= static_cast<int>(at)) ++current;
    return static_cast<LRESULT>(at);
  }

  LRESULT Delete(WPARAM index) {
    if (!Valid(index)) return -1;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    if (current == static_cast<int>(index)) {
      current = -1;
    } else if (current > static_cast<int>(index)) {
      --current;
    }
    return static_cast<LRESULT>(items.size());
  }

  // The first item after `start` (-1: from the top) whose text begins with
  // (or, exact, equals) `text`, without case, wrapping around; -1 when none.
  LRESULT Find(LONG start, const std::u16string& text, bool exact) const {
    size_t n = items.size();
    if (n == 0) return -1;
    size_t first = start < 0 || static_cast<size_t>(start) >= n ? 0 : static_cast<size_t>(start) + 1;
    for (size_t k = 0; k < n; ++k) {
      size_t i = (first + k) % n;
      const std::u16string& t = items[i].text;
      if (exact ? (t.size() == text.size() && CompareText(t.data(), t.size(), text.data(), text.size(), true) == 0)
                : (t.size() >= text.size() && CompareText(t.data(), text.size(), text.data(), text.size(), true) == 0))
        return static_cast<LRESULT>(i);
    }
    return -1;
  }

  LRESULT CopyText(WPARAM index, LPWSTR buffer) const {
    if (!Valid(index)) return -1;
    const std::u16string& t = items[index].text;
    if (buffer) {
      t.copy(buffer, t.size());
      buffer[t.size()] = 0;
    }
    return static_cast<LRESULT>(t.size());
  }
};

// ---- List box -------------------------------------------------------------------------------

bool ListHasStrings(DWORD style) {
  return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

LRESULT ListBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<ItemList>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  ItemList* s = StateOf<ItemList>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  DWORD style = StyleOf(hwnd);
  bool strings = ListHasStrings(style);
  bool multiple = (style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
  switch (message) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      std::u16string text = strings ? ItemText(lparam) : std::u16string();
      LPARAM data = strings ? 0 : lparam;
      LONG index = message == LB_ADDSTRING ? -1 : static_cast<LONG>(wparam);
      LRESULT r = s->Insert(index, text, data, message == LB_ADDSTRING && (style & LBS_SORT) && strings);
      if (r >= 0) InvalidateRect(hwnd, nullptr, TRUE);
      return r < 0 ? LB_ERR : r;
    }
    case LB_DELETESTRING: {
      LRESULT r = s->Delete(wparam);
      if (r >= 0) InvalidateRect(hwnd, nullptr, TRUE);
      return r < 0 ? LB_ERR : r;
    }
    case LB_RESETCONTENT:
      s->items.clear();
      s->current = -1;
      s->top = 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case LB_GETCOUNT:
      return static_cast<LRESULT>(s->items.size());
    case LB_GETTEXT:
      return s->CopyText(wparam, reinterpret_cast<LPWSTR>(lparam));
    case LB_GETTEXTLEN:
      return s->Valid(wparam) ? static_cast<LRESULT>(s->items[wparam].text.size()) : LB_ERR;
    case LB_SETCURSEL: {
      LONG index = static_cast<LONG>(wparam);
      if (multiple) return LB_ERR;
      if (index < 0 || !s->Valid(wparam)) {
        s->current = -1;
        InvalidateRect(hwnd, nullptr, TRUE);
        return LB_ERR;  // also for -1, as the platform answers
      }
      s->current = index;
      InvalidateRect(hwnd, nullptr, TRUE);
      return index;
    }
    case LB_GETCURSEL:
      return s->current;
    case LB_SETSEL: {
      if (!multiple) return LB_ERR;
      LONG index = static_cast<LONG>(lparam);
      if (index == -1) {
        for (Item& i : s->items) i.selected = wparam != 0;
      } else if (s->Valid(static_cast<WPARAM>(index))) {
        s->items[static_cast<size_t>(index)].selected = wparam != 0;
        s->current = index;
      } else {
        return LB_ERR;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    }
    case LB_GETSEL:
      if (!s->Valid(wparam)) return LB_ERR;
      return multiple ? (s->items[wparam].selected ? 1 : 0) : (static_cast<int>(wparam) == s->current ? 1 : 0);
    case LB_GETSELCOUNT: {
      if (!multiple) return LB_ERR;
      return std::count_if(s->items.begin(), s->items.end(), [](const Item& i) { return i.selected; });
    }
    case LB_GETSELITEMS: {
      if (!multiple) return LB_ERR;
      auto* out = reinterpret_cast<int*>(lparam);
      LRESULT n = 0;
      for (size_t i = 0; i < s->items.size() && static_cast<WPARAM>(n) < wparam; ++i)
        if (s->items[i].selected) {
          if (out) out[n] = static_cast<int>(i);
          ++n;
        }
      return n;
    }
    case LB_GETITEMDATA:
      return s->Valid(wparam) ? s->items[wparam].data : LB_ERR;
    case LB_SETITEMDATA:
      if (!s->Valid(wparam)) return LB_ERR;
      s->items[wparam].data = lparam;
      return 0;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: {
      LRESULT r = s->Find(static_cast<LONG>(wparam), ItemText(lparam), message == LB_FINDSTRINGEXACT);
      return r < 0 ? LB_ERR : r;
    }
    case LB_SELECTSTRING: {
      LRESULT r = s->Find(static_cast<LONG>(wparam), ItemText(lparam), false);
      if (r < 0) return LB_ERR;
      if (!multiple) s->current = static_cast<int>(r);
      InvalidateRect(hwnd, nullptr, TRUE);
      return r;
    }
    case LB_SETTOPINDEX:
      if (!s->Valid(wparam) && !(wparam == 0 && s->items.empty())) return LB_ERR;
      s->top = static_cast<int>(wparam);
      return 0;
    case LB_GETTOPINDEX:
      return s->top;
    case LB_SETITEMHEIGHT:
      s->item_height = std::max<int>(1, LOWORD(static_cast<DWORD_PTR>(lparam)));
      return 0;
    case LB_GETITEMHEIGHT:
      return s->item_height;
    case LB_GETITEMRECT: {
      if (!s->Valid(wparam) || !lparam) return LB_ERR;
      RECT client;
      GetClientRect(hwnd, &client);
      int y = (static_cast<int>(wparam) - s->top) * s->item_height;
      *reinterpret_cast<RECT*>(lparam) = RECT{0, y, client.right, y + s->item_height};
      return 0;
    }
    case WM_KEYDOWN: {
      if (multiple || s->items.empty()) return 0;
      int next = s->current;
      if (wparam == VK_DOWN) next = std::min<int>(next + 1, static_cast<int>(s->items.size()) - 1);
      if (wparam == VK_UP) next = std::max(next - 1, 0);
      if (wparam == VK_HOME) next = 0;
      if (wparam == VK_END) next = static_cast<int>(s->items.size()) - 1;
      if (next != s->current) {
        s->current = next;
        InvalidateRect(hwnd, nullptr, TRUE);
        if (style & LBS_NOTIFY) NotifyParent(hwnd, LBN_SELCHANGE);
      }
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (style & LBS_NOTIFY) NotifyParent(hwnd, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    case WM_PAINT:
      PaintControl(hwnd, WM_CTLCOLORLISTBOX, [&](HDC dc, RECT rc) {
        for (size_t i = static_cast<size_t>(std::max(s->top, 0)); i < s->items.size(); ++i) {
          int y = (static_cast<int>(i) - s->top) * s->item_height;
          if (y >= rc.bottom) break;
          RECT line{rc.left + 2, y, rc.right, y + s->item_height};
          const std::u16string& t = s->items[i].text;
          DrawTextW(dc, t.c_str(), static_cast<int>(t.size()), &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
        }
      });
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Combo box ----------------------------------------------------------------------------------

struct ComboState {
  ItemList list;                 // the items
  bool dropped = false;          // the list is shown
  bool extended_ui = false;      // CB_SETEXTENDEDUI
  DWORD limit = kDefaultEditLimit;  // CB_LIMITTEXT
  DWORD sel_start = 0;           // edit selection
  DWORD sel_end = 0;
  int dropped_width = 0;         // CB_SETDROPPEDWIDTH (0: the control's width)
};

bool ComboEditable(DWORD style) { return (style & 3) != CBS_DROPDOWNLIST; }

// Shows the selected item's text as the combo box's text.
void ShowSelection(HWND hwnd, ComboState* s) {
  std::u16string text = s->list.current >= 0 ? s->list.items[static_cast<size_t>(s->list.current)].text
                                              : std::u16string();
  DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  s->sel_start = 0;
  s->sel_end = static_cast<DWORD>(text.size());
  InvalidateRect(hwnd, nullptr, TRUE);
}

void Drop(HWND hwnd, ComboState* s, bool drop) {
  if (s->dropped == drop || (StyleOf(hwnd) & 3) == CBS_SIMPLE) return;
  if (drop) NotifyParent(hwnd, CBN_DROPDOWN);
  s->dropped = drop;
  if (!drop) NotifyParent(hwnd, CBN_CLOSEUP);
}

LRESULT ComboBoxProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<ComboState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  ComboState* s = StateOf<ComboState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  DWORD style = StyleOf(hwnd);
  bool strings = !(style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) || (style & CBS_HASSTRINGS);
  ItemList& list = s->list;
  switch (message) {
    case CB_ADDSTRING:
    case CB_INSERTSTRING: {
      std::u16string text = strings ? ItemText(lparam) : std::u16string();
      LPARAM data = strings ? 0 : lparam;
      LONG index = message == CB_ADDSTRING ? -1 : static_cast<LONG>(wparam);
      LRESULT r = list.Insert(index, text, data, message == CB_ADDSTRING && (style & CBS_SORT) && strings);
      return r < 0 ? CB_ERR : r;
    }
    case CB_DELETESTRING: {
      int before = list.current;
      LRESULT r = list.Delete(wparam);
      if (r < 0) return CB_ERR;
      if (before != list.current && list.current < 0) ShowSelection(hwnd, s);
      return r;
    }
    case CB_RESETCONTENT:
      list.items.clear();
      list.current = -1;
      if (!ComboEditable(style)) ShowSelection(hwnd, s);
      return CB_OKAY;
    case CB_GETCOUNT:
      return static_cast<LRESULT>(list.items.size());
    case CB_GETLBTEXT:
      return list.CopyText(wparam, reinterpret_cast<LPWSTR>(lparam));
    case CB_GETLBTEXTLEN:
      return list.Valid(wparam) ? static_cast<LRESULT>(list.items[wparam].text.size()) : CB_ERR;
    case CB_SETCURSEL: {
      LONG index = static_cast<LONG>(wparam);
      bool valid = index >= 0 && list.Valid(wparam);
      list.current = valid ? index : -1;
      ShowSelection(hwnd, s);
      return valid ? index : CB_ERR;
    }
    case CB_GETCURSEL:
      return list.current;
    case CB_GETITEMDATA:
      return list.Valid(wparam) ? list.items[wparam].data : CB_ERR;
    case CB_SETITEMDATA:
      if (!list.Valid(wparam)) return CB_ERR;
      list.items[wparam].data = lparam;
      return CB_OKAY;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: {
      LRESULT r = list.Find(static_cast<LONG>(wparam), ItemText(lparam), message == CB_FINDSTRINGEXACT);
      return r < 0 ? CB_ERR : r;
    }
    case CB_SELECTSTRING: {
      LRESULT r = list.Find(static_cast<LONG>(wparam), ItemText(lparam), false);
      if (r < 0) return CB_ERR;
      list.current = static_cast<int>(r);
      ShowSelection(hwnd, s);
      return r;
    }
    case CB_SHOWDROPDOWN:
      Drop(hwnd, s, wparam != 0);
      return TRUE;
    case CB_GETDROPPEDSTATE:
      return s->dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
      if (!lparam) return CB_ERR;
      RECT r;
      GetWindowRect(hwnd, &r);
      r.bottom += list.item_height * static_cast<int>(std::min<size_t>(list.items.size(), 8) + 1);
      *reinterpret_cast<RECT*>(lparam) = r;
      return CB_OKAY;
    }
    case CB_SETITEMHEIGHT:
      list.item_height = std::max<int>(1, static_cast<int>(lparam));
      return CB_OKAY;
    case CB_GETITEMHEIGHT:
      return list.item_height;
    case CB_SETEXTENDEDUI:
      s->extended_ui = wparam != 0;
      return CB_OKAY;
    case CB_GETEXTENDEDUI:
      return s->extended_ui ? TRUE : FALSE;
    case CB_SETDROPPEDWIDTH:
      s->dropped_width = static_cast<int>(wparam);
      return s->dropped_width;
    case CB_GETDROPPEDWIDTH: {
      if (s->dropped_width) return s->dropped_width;
      RECT r;
      GetWindowRect(hwnd, &r);
      return r.right - r.left;
    }
    case CB_LIMITTEXT:
      if (!ComboEditable(style)) return CB_ERR;
      s->limit = wparam ? static_cast<DWORD>(std::min<WPARAM>(wparam, kDefaultEditLimit)) : kDefaultEditLimit;
      return TRUE;
    case CB_GETEDITSEL:
      if (!ComboEditable(style)) return CB_ERR;
      if (wparam) *reinterpret_cast<DWORD*>(wparam) = s->sel_start;
      if (lparam) *reinterpret_cast<DWORD*>(lparam) = s->sel_end;
      return MAKELRESULT(static_cast<WORD>(s->sel_start), static_cast<WORD>(s->sel_end));
    case CB_SETEDITSEL:
      if (!ComboEditable(style)) return CB_ERR;
      s->sel_start = static_cast<DWORD>(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lparam))) < 0
                                            ? TextLength(hwnd) : LOWORD(static_cast<DWORD_PTR>(lparam)));
      s->sel_end = static_cast<DWORD>(static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lparam))) < 0
                                          ? TextLength(hwnd) : HIWORD(static_cast<DWORD_PTR>(lparam)));
      return TRUE;
    case WM_SETTEXT: {
      if (ComboEditable(style)) {
        LRESULT r = DefWindowProcW(hwnd, message, wparam, lparam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
      }
      // A drop-down list can only show one of its items.
      LRESULT r = list.Find(-1, ItemText(lparam), true);
      if (r < 0) return CB_ERR;
      list.current = static_cast<int>(r);
      ShowSelection(hwnd, s);
      return TRUE;
    }
    case WM_CHAR: {
      if (!ComboEditable(style)) return 0;
      std::u16string text = TextOf(hwnd);
      WCHAR c = static_cast<WCHAR>(wparam);
      DWORD a = std::min<DWORD>(std::min(s->sel_start, s->sel_end), static_cast<DWORD>(text.size()));
      DWORD b = std::min<DWORD>(std::max(s->sel_start, s->sel_end), static_cast<DWORD>(text.size()));
      if (c == 8) {
        if (a == b && a > 0) --a;
        text.erase(a, b - a);
      } else if (c >= 0x20) {
        if (text.size() - (b - a) >= s->limit) return 0;
        text.replace(a, b - a, 1, c);
        ++a;
      } else {
        return 0;
      }
      DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
      s->sel_start = s->sel_end = a;
      NotifyParent(hwnd, CBN_EDITUPDATE);
      NotifyParent(hwnd, CBN_EDITCHANGE);
      return 0;
    }
    case WM_KEYDOWN: {
      if (list.items.empty()) return 0;
      int next = list.current;
      if (wparam == VK_DOWN) next = std::min<int>(next + 1, static_cast<int>(list.items.size()) - 1);
      if (wparam == VK_UP) next = std::max(next - 1, 0);
      if (next != list.current) {
        list.current = next;
        ShowSelection(hwnd, s);
        NotifyParent(hwnd, CBN_SELCHANGE);
      }
      return 0;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTCHARS | DLGC_WANTARROWS;
    case WM_SETFOCUS:
      NotifyParent(hwnd, CBN_SETFOCUS);
      return 0;
    case WM_KILLFOCUS:
      Drop(hwnd, s, false);
      NotifyParent(hwnd, CBN_KILLFOCUS);
      return 0;
    case WM_PAINT:
      PaintControl(hwnd, WM_CTLCOLOREDIT, [&](HDC dc, RECT rc) {
        std::u16string text = TextOf(hwnd);
        RECT field = rc;
        field.right -= GetSystemMetrics(SM_CXVSCROLL);
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &field, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        RECT button{field.right, rc.top, rc.right, rc.bottom};
        DrawFrameControl(dc, &button, DFC_SCROLL, DFCS_SCROLLCOMBOBOX);
      });
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

// ---- Scroll bar ----------------------------------------------------------------------------------

struct ScrollState {
  int min = 0;     // range
  int max = 100;
  UINT page = 0;   // page size
  int pos = 0;     // position
};

int ClampScroll(const ScrollState* s, int pos) {
  int top = s->max - (s->page ? static_cast<int>(s->page) - 1 : 0);
  return std::clamp(pos, s->min, std::max(s->min, top));
}

LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<ScrollState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  ScrollState* s = StateOf<ScrollState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case SBM_SETPOS: {
      int old = s->pos;
      s->pos = ClampScroll(s, static_cast<int>(wparam));
      return old;
    }
    case SBM_GETPOS:
      return s->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
      int old = s->pos;
      s->min = static_cast<int>(wparam);
      s->max = static_cast<int>(lparam);
      s->pos = ClampScroll(s, s->pos);
      return old;
    }
    case SBM_GETRANGE:
      if (wparam) *reinterpret_cast<int*>(wparam) = s->min;
      if (lparam) *reinterpret_cast<int*>(lparam) = s->max;
      return 0;
    case SBM_SETSCROLLINFO: {
      auto* info = reinterpret_cast<const SCROLLINFO*>(lparam);
      if (!info) return s->pos;
      if (info->fMask & SIF_RANGE) {
        s->min = info->nMin;
        s->max = info->nMax;
      }
      if (info->fMask & SIF_PAGE) s->page = info->nPage;
      if (info->fMask & SIF_POS) s->pos = info->nPos;
      s->pos = ClampScroll(s, s->pos);
      return s->pos;
    }
    case SBM_GETSCROLLINFO: {
      auto* info = reinterpret_cast<SCROLLINFO*>(lparam);
      if (!info) return FALSE;
      if (info->fMask & SIF_RANGE) {
        info->nMin = s->min;
        info->nMax = s->max;
      }
      if (info->fMask & SIF_PAGE) info->nPage = s->page;
      if (info->fMask & SIF_POS) info->nPos = s->pos;
      if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s->pos;
      return TRUE;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

void RegisterControl(LPCWSTR name, WNDPROC proc, UINT style, HBRUSH background) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style | CS_GLOBALCLASS;
  wc.lpfnWndProc = proc;
  wc.cbWndExtra = sizeof(void*);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  RegisterSystemClass(wc, 0);
}

HBRUSH SysColorBrushIndex(int index) { return reinterpret_cast<HBRUSH>(static_cast<intptr_t>(index + 1)); }

}  // namespace

void RegisterStandardControlClasses() {
  RegisterControl(WC_BUTTONW, ButtonProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
  RegisterControl(WC_EDITW, EditProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
  RegisterControl(WC_STATICW, StaticProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
  RegisterControl(WC_LISTBOXW, ListBoxProc, CS_DBLCLKS | CS_PARENTDC, SysColorBrushIndex(COLOR_WINDOW));
  RegisterControl(WC_COMBOBOXW, ComboBoxProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
  RegisterControl(WC_SCROLLBARW, ScrollBarProc, CS_DBLCLKS | CS_PARENTDC, nullptr);
}

}  // namespace platform
