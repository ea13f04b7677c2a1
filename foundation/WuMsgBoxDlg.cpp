// The custom message box: a dialog from a static in-memory template whose
// three controls (a hidden prototype button, the icon and the message text)
// give the sizes and margins from which WM_INITDIALOG lays out the buttons
// of the chosen set, the optional check box and the details pane.
#include <algorithm>
#include <initializer_list>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLayout.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuResMenu.h"
#include "foundation/WuString.h"
#include "foundation/WuUIFont.h"
#include "platform/user/menu.h"

namespace {

// The dialog template: WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
// DS_SETFONT, 107 x 55 dialog units, no title, 8-point "MS Sans Serif", and
// three items, each on a 4-byte boundary:
//  - 1002 button 0x50030001 at 39,35 30x14: the prototype giving the button
//    size and the button row's distance from the bottom (hidden);
//  - 1001 static icon 0x50020003 at 6,6 21x20: its offset from the client
//    corner is the margin used everywhere;
//  - 1003 static text 0x50000080 at 31,6 70x19: the minimum text area.
// DWORDs are written as low word, high word.
alignas(4) const WORD kTemplate[] = {
    // header: style, extended style, items, x, y, cx, cy
    0x00C0, 0x80C8, 0x0000, 0x0000, 3, 0, 0, 107, 55,
    // no menu, the dialog class, an empty title
    0x0000, 0x0000, 0x0000,
    // font: points and face
    8, u'M', u'S', u' ', u'S', u'a', u'n', u's', u' ', u'S', u'e', u'r', u'i', u'f', 0,
    0x0000,  // pad to 4 bytes
    // item 1002: style, extended style, x, y, cx, cy, id; button class; no text; no data
    0x0001, 0x5003, 0x0000, 0x0000, 39, 35, 30, 14, 1002, 0xFFFF, 0x0080, 0x0000, 0x0000,
    0x0000,  // pad
    // item 1001: static class
    0x0003, 0x5002, 0x0000, 0x0000, 6, 6, 21, 20, 1001, 0xFFFF, 0x0082, 0x0000, 0x0000,
    0x0000,  // pad
    // item 1003: static class
    0x0080, 0x5000, 0x0000, 0x0000, 31, 6, 70, 19, 1003, 0xFFFF, 0x0082, 0x0000, 0x0000,
};

constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
constexpr DWORD kCheckStyle = 0x50030003;    // child, visible, group, tab stop, auto check box
constexpr DWORD kPaneStyle = 0x50220844;     // read-only multi-line edit with a scroll bar
constexpr int kMaxButtons = 6;               // largest set plus the Details button

// One button of a set: its id and its label row.
struct Button {
  int id;                        // command id (the result)
  const WuLangStringRow* label;  // label row
};

// The buttons of a set; 0 for a set the custom box does not know.
int ButtonsOfSet(UINT set, Button* out) {
  const Button ok{IDOK, &WuLangRow_MsgBoxOk}, cancel{IDCANCEL, &WuLangRow_MsgBoxCancel};
  const Button abort{IDABORT, &WuLangRow_MsgBoxAbort}, retry{IDRETRY, &WuLangRow_MsgBoxRetry};
  const Button ignore{IDIGNORE, &WuLangRow_MsgBoxIgnore}, yes{IDYES, &WuLangRow_MsgBoxYes};
  const Button no{IDNO, &WuLangRow_MsgBoxNo}, yes_all{WUIDYESTOALL, &WuLangRow_MsgBoxYesToAll};
  const Button no_all{WUIDNOTOALL, &WuLangRow_MsgBoxNoToAll}, del{WUIDDELETE, &WuLangRow_MsgBoxDelete};
  int n = 0;
  auto add = [&](std::initializer_list<Button> list) {
    for (const Button& b : list) out[n++] = b;
  };
  switch (set) {
    case MB_OK: add({ok}); break;
    case MB_OKCANCEL: add({ok, cancel}); break;
    case MB_ABORTRETRYIGNORE: add({abort, retry, ignore}); break;
    case MB_YESNOCANCEL: add({yes, no, cancel}); break;
    case MB_YESNO: add({yes, no}); break;
    case MB_RETRYCANCEL: add({retry, cancel}); break;
    case WUMB_YESYESALLNOCANCEL: add({yes, yes_all, no, cancel}); break;
    case WUMB_YESNODELETE: add({yes, no, del}); break;
    case WUMB_YESNONOALLCANCEL: add({yes, no, no_all, cancel}); break;
    case WUMB_YESYESALLNONOALLCANCEL: add({yes, yes_all, no, no_all, cancel}); break;
    default: break;
  }
  return n;
}

// A control's rectangle in the dialog's client coordinates.
RECT ControlRect(HWND dialog, int id) {
  RECT r{};
  HWND control = GetDlgItem(dialog, id);
  if (control && GetWindowRect(control, &r)) MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

int TextWidth(HFONT font, LPCWSTR text, int count) {
  SIZE size{};
  if (count <= 0) return 0;
  return WuGetTextExtent(font, text, count, &size) ? size.cx : 0;
}

// Measures a text split at line feeds (a carriage return before one is not
// counted): the widest line plus `pad`, each line counted as one line, or
// as ceil(width / max_width) lines when `wrap` is set.
void MeasureLines(HFONT font, LPCWSTR text, int pad, int max_width, bool wrap, int* widest,
                  int* lines) {
  *widest = 0;
  *lines = 0;
  LPCWSTR line = text ? text : u"";
  for (;;) {
    LPCWSTR end = line;
    while (*end && *end != u'\n') ++end;
    int count = static_cast<int>(end - line);
    if (count > 0 && line[count - 1] == u'\r') --count;
    int w = TextWidth(font, line, count) + pad;
    *widest = std::max(*widest, w);
    *lines += wrap && max_width > 0 ? std::max(1, (w + max_width - 1) / max_width) : 1;
    if (!*end) break;
    line = end + 1;
  }
}

HICON IconOfStyle(UINT style) {
  switch (style & WUMB_ICON_MASK) {
    case MB_ICONHAND: return WuLoadIcon(nullptr, IDI_HAND);
    case MB_ICONQUESTION: return WuLoadIcon(nullptr, IDI_QUESTION);
    case MB_ICONEXCLAMATION: return WuLoadIcon(nullptr, IDI_EXCLAMATION);
    case MB_ICONASTERISK: return WuLoadIcon(nullptr, IDI_ASTERISK);
    default: return nullptr;
  }
}

HWND AddControl(HWND dialog, LPCWSTR cls, LPCWSTR text, DWORD style, DWORD ex_style, int x, int y, int w,
                int h, int id, HFONT font) {
  HWND control = CreateWindowExW(ex_style, cls, text, style, x, y, w, h, dialog,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 WuMsgBox_GetInstance(), nullptr);
  if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return control;
}

// Lays the box out (WM_INITDIALOG); FALSE, as focus is set here.
INT_PTR InitBox(HWND dialog, WuMsgBoxCustom* box) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(box));
  HFONT font = WuGetUIFont(WUFONT_DIALOG);
  SIZE chars{6, 13};
  if (const SIZE* measured = WuGetUIFontSize(WUFONT_DIALOG)) chars = *measured;
  const int cx = chars.cx, cy = chars.cy;
  const int screen_w = GetSystemMetrics(SM_CXSCREEN), screen_h = GetSystemMetrics(SM_CYSCREEN);

  // 1. Title and icon.
  SetWindowTextW(dialog, WuMsgBox_GetDefaultCaption());
  RECT client{};
  GetClientRect(dialog, &client);
  const RECT proto = ControlRect(dialog, WUMB_ID_PROTOTYPE);
  const RECT text_tpl = ControlRect(dialog, WUMB_ID_TEXT);
  const int margin_x = ControlRect(dialog, WUMB_ID_ICON).left;
  const int margin_y = ControlRect(dialog, WUMB_ID_ICON).top;
  int icon_w = 0;
  if (HICON icon = IconOfStyle(box->style)) {
    SendDlgItemMessageW(dialog, WUMB_ID_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    RECT r = ControlRect(dialog, WUMB_ID_ICON);
    icon_w = r.right - r.left;
  } else {
    ShowWindow(GetDlgItem(dialog, WUMB_ID_ICON), SW_HIDE);
  }

  // 2. The buttons of the set; an unknown set becomes OK alone.
  Button buttons[kMaxButtons];
  int n = ButtonsOfSet(box->style & WUMB_BUTTONSET_MASK, buttons);
  if (n == 0) {
    box->style &= ~WUMB_BUTTONSET_MASK;
    n = ButtonsOfSet(MB_OK, buttons);
  }
  const UINT set = box->style & WUMB_BUTTONSET_MASK;
  box->no_close = set == MB_ABORTRETRYIGNORE || set == MB_YESNO || set == WUMB_YESNODELETE;
  const bool details = box->details != nullptr;
  if (details) buttons[n++] = Button{WUMB_ID_DETAILS, &WuLangRow_MsgBoxDetailsShow};
  const bool check = box->check_state != nullptr;
  if (check && !box->check_text) box->check_text = WuLangText(WuLangRow_MsgBoxDontShowAgain);
  if (box->no_close) EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);

  // 3, 4. Default button and button size; the prototype is hidden.
  const int def = std::min<int>((box->style & WUMB_DEFBUTTON_MASK) >> 8, n - 1);
  int label_w = 0;
  for (int i = 0; i < n; ++i) label_w = std::max(label_w, TextWidth(font, WuLangText(*buttons[i].label), -1));
  if (details) label_w = std::max(label_w, TextWidth(font, WuLangText(WuLangRow_MsgBoxDetailsHide), -1));
  const int button_w = std::max<int>(proto.right - proto.left, label_w + cx);
  const int button_h = proto.bottom - proto.top;
  ShowWindow(GetDlgItem(dialog, WUMB_ID_PROTOTYPE), SW_HIDE);

  // 5, 6. Text area. Its widest is what leaves the window, with its margins,
  // icon and frame, no wider than the screen.
  const int icon_extra = icon_w ? icon_w + margin_x : 0;
  const int max_w = screen_w - icon_extra - 2 * margin_x - 2 * GetSystemMetrics(SM_CXDLGFRAME);
  const int max_h = details ? screen_h * 3 / 8 : screen_h * 3 / 4;
  int widest = 0, lines = 0;
  MeasureLines(font, box->text, cx, max_w, true, &widest, &lines);
  int text_w = std::max<int>(std::min(widest, max_w), text_tpl.right - text_tpl.left);
  const int text_h = std::min(std::max<int>(cy * (lines + 1), text_tpl.bottom - text_tpl.top), max_h);

  // 7. Check box.
  int check_w = 0, check_h = 0, check_lines = 0;
  if (check) {
    MeasureLines(font, box->check_text, 3 * cx, max_w, false, &check_w, &check_lines);
    check_w = std::min(check_w, max_w);
    check_h = std::min<int>(check_lines * cy, client.bottom - client.top);
    text_w = std::max(text_w, check_w);
  }

  // 8. Client size.
  const int row_w = n * button_w + (n - 1) * cx;
  int width = std::max<int>(client.right - client.left, text_w + 2 * margin_x) + icon_extra;
  width = std::max(width, row_w + 2 * margin_x);
  width = std::min(width, max_w + 2 * margin_x + icon_extra);
  int height = margin_y + text_h + (client.bottom - text_tpl.bottom);
  if (check) height += check_h + margin_y;

  // 9. Details pane, below the visible area until the Details button shows it.
  if (details) {
    width = std::max(width, screen_w * 3 / 8);
    const int pane_h = height < screen_h / 4 ? screen_h / 4 : std::min(height, screen_h * 3 / 8);
    box->details_height = pane_h + 2 * margin_y;
    // Hidden while collapsed, so that front ends show only what a person sees.
    AddControl(dialog, WC_EDITW, box->details, kPaneStyle & ~WS_VISIBLE, WS_EX_CLIENTEDGE, margin_x,
               height + margin_y, width - 2 * margin_x, pane_h, WUMB_ID_PANE, font);
  }

  // 10. Window size and the text control.
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongW(dialog, GWL_EXSTYLE)));
  SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int text_left = icon_w ? icon_w + 2 * margin_x : margin_x;
  const int text_x = std::max(text_left, (width - text_w) / 2);
  SetWindowPos(GetDlgItem(dialog, WUMB_ID_TEXT), nullptr, text_x, margin_y, text_w, text_h,
               SWP_NOZORDER | SWP_NOACTIVATE);

  // 11. Check box above the button row; the row right-aligned with it, else centred.
  const int row_y = height - margin_y - button_h;
  if (check) {
    DWORD style = kCheckStyle | (check_lines > 1 ? BS_MULTILINE : 0);
    AddControl(dialog, WC_BUTTONW, box->check_text, style, 0, text_x, row_y - margin_y - check_h, check_w,
               check_h, WUMB_ID_CHECK, font);
    CheckDlgButton(dialog, WUMB_ID_CHECK, *box->check_state ? BST_CHECKED : BST_UNCHECKED);
  }
  int x = check ? width - margin_x - row_w : (width - row_w) / 2;
  HWND def_button = nullptr;
  for (int i = 0; i < n; ++i) {
    DWORD style = kButtonStyle | (i == 0 ? WS_GROUP : 0) | (i == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND b = AddControl(dialog, WC_BUTTONW, WuLangText(*buttons[i].label), style, 0, x, row_y, button_w, button_h,
                        buttons[i].id, font);
    if (i == def) def_button = b;
    x += button_w + cx;
  }

  // 12. Font, message, position and focus.
  if (font) SendDlgItemMessageW(dialog, WUMB_ID_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  SetDlgItemTextW(dialog, WUMB_ID_TEXT, box->text);
  SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(buttons[def].id), 0);
  WuWndCenter(dialog, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
  if (def_button) SetFocus(def_button);
  return FALSE;
}

// Shows or hides the details pane by growing or shrinking the window.
void ToggleDetails(HWND dialog, WuMsgBoxCustom* box) {
  RECT r{};
  GetWindowRect(dialog, &r);
  const int grow = box->expanded ? -box->details_height : box->details_height;
  SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, r.bottom - r.top + grow,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  box->expanded = !box->expanded;
  ShowWindow(GetDlgItem(dialog, WUMB_ID_PANE), box->expanded ? SW_SHOWNA : SW_HIDE);
  SetDlgItemTextW(dialog, WUMB_ID_DETAILS,
                  WuLangText(box->expanded ? WuLangRow_MsgBoxDetailsHide : WuLangRow_MsgBoxDetailsShow));
}

// Ends the box with `result`, keeping the check box's state for the caller.
void EndBox(HWND dialog, WuMsgBoxCustom* box, int result) {
  if (box->check_state) *box->check_state = IsDlgButtonChecked(dialog, WUMB_ID_CHECK) == BST_CHECKED;
  EndDialog(dialog, result);
}

INT_PTR BoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return InitBox(dialog, reinterpret_cast<WuMsgBoxCustom*>(lparam));
  auto* box = reinterpret_cast<WuMsgBoxCustom*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message != WM_COMMAND || !box) return FALSE;
  const int id = LOWORD(wparam);
  switch (id) {
    case IDOK:
    case IDABORT:
    case IDRETRY:
    case IDIGNORE:
    case IDYES:
    case IDNO:
    case WUIDYESTOALL:
    case WUIDDELETE:
    case WUIDNOTOALL:
      EndBox(dialog, box, id);
      return TRUE;
    case IDCANCEL:
      // Cancel, Escape and the close box: ignored when the set has no Cancel.
      if (!box->no_close) EndBox(dialog, box, (box->style & WUMB_BUTTONSET_MASK) == MB_OK ? IDOK : IDCANCEL);
      return TRUE;
    case WUMB_ID_DETAILS:
      ToggleDetails(dialog, box);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int WuMsgBox_RunCustom(HWND owner, WuMsgBoxCustom* box) {
  INT_PTR result = DialogBoxIndirectParamW(WuMsgBox_GetInstance(), reinterpret_cast<const DLGTEMPLATE*>(kTemplate),
                                           owner, BoxProc, reinterpret_cast<LPARAM>(box));
  // The dialog manager's -1 (no dialog) is reported as no answer.
  return result == -1 ? 0 : static_cast<int>(result);
}
