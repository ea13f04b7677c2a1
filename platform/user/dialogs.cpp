// The dialog manager: dialog templates (plain and extended), creating
// dialogs and their controls, dialog units, modal loops with EndDialog from
// any thread, keyboard navigation (IsDialogMessageW), default buttons, the
// dialog class procedure and message boxes.
//
// What the dialog manager keeps per dialog (font, base units, default
// button, how a modal loop ends) lives in a table keyed by the dialog
// window, made on WM_NCCREATE and dropped on WM_NCDESTROY. EndDialog may
// come from any thread, so the table has its own lock; it is a leaf lock
// (nothing is called while it is held).
#include "platform/user/dialogs.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"
#include "platform/user/frontend.h"
#include "platform/user/menu.h"
#include "platform/user/windows.h"

namespace platform {
namespace {

// A template is at most this large when nothing tells its size: a
// well-formed template ends long before, a malformed one is the caller's.
constexpr size_t kTrustedTemplateSize = 0x40000;

// ---- Template parsing -----------------------------------------------------------------

// A string or ordinal field of a template.
struct NameOrOrdinal {
  bool present = false;     // not the empty form (a single 0x0000)
  bool ordinal = false;     // 0xFFFF and an ordinal
  WORD id = 0;              // the ordinal
  std::u16string text;      // the string
};

// One control of a template.
struct ItemTemplate {
  DWORD help_id = 0;             // extended layout only
  DWORD style = 0;               // WS_* and control styles
  DWORD ex_style = 0;            // WS_EX_*
  SHORT x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DWORD id = 0;                  // control id
  NameOrOrdinal cls;             // class
  NameOrOrdinal text;            // text or resource id
  std::vector<BYTE> data;        // creation data, its WORD size first (empty: none)
};

// A parsed template.
struct DialogTemplateInfo {
  bool extended = false;         // DLGTEMPLATEEX layout
  DWORD help_id = 0;             // extended layout only
  DWORD style = 0;
  DWORD ex_style = 0;
  SHORT x = 0, y = 0, cx = 0, cy = 0;
  NameOrOrdinal menu;            // menu (kept; menus are loaded by a later layer)
  NameOrOrdinal cls;             // window class
  NameOrOrdinal title;           // caption
  bool has_font = false;         // DS_SETFONT
  WORD point_size = 0;
  WORD weight = FW_NORMAL;
  BYTE italic = 0;
  BYTE charset = DEFAULT_CHARSET;
  std::u16string face;
  std::vector<ItemTemplate> items;
};

// Reads little-endian fields from a byte range; every read is checked.
class Reader {
 public:
  Reader(const BYTE* bytes, size_t size) : bytes_(bytes), size_(size) {}
  bool Word(WORD* out) { return Read(out, 2); }
  bool DWord(DWORD* out) { return Read(out, 4); }
  bool Short(SHORT* out) { return Read(out, 2); }
  bool Byte(BYTE* out) { return Read(out, 1); }
  // Moves to the next multiple of 4 from the template's start.
  bool Align4() {
    size_t next = (pos_ + 3) & ~static_cast<size_t>(3);
    if (next > size_) return false;
    pos_ = next;
    return true;
  }
  bool Skip(size_t n) {
    if (n > size_ - pos_) return false;
    pos_ += n;
    return true;
  }
  // A terminated UTF-16 string that ends inside the range.
  bool String(std::u16string* out) {
    out->clear();
    for (;;) {
      WORD c;
      if (!Word(&c)) return false;
      if (c == 0) return true;
      out->push_back(static_cast<char16_t>(c));
    }
  }
  // 0x0000 (none), 0xFFFF and an ordinal, or a string.
  bool NameOrOrdinalField(NameOrOrdinal* out) {
    *out = NameOrOrdinal();
    WORD first;
    if (!Word(&first)) return false;
    if (first == 0) return true;
    out->present = true;
    if (first == 0xFFFF) {
      out->ordinal = true;
      return Word(&out->id);
    }
    out->text.push_back(static_cast<char16_t>(first));
    std::u16string rest;
    if (!String(&rest)) return false;
    out->text += rest;
    return true;
  }
  const BYTE* Here() const { return bytes_ + pos_; }
  size_t Left() const { return size_ - pos_; }

 private:
  bool Read(void* out, size_t n) {
    if (n > size_ - pos_) return false;
    std::memcpy(out, bytes_ + pos_, n);
    pos_ += n;
    return true;
  }
  const BYTE* bytes_;  // the template
  size_t size_;        // its size
  size_t pos_ = 0;     // the next byte
};

bool ParseHeader(Reader& r, DialogTemplateInfo* t) {
  WORD version, signature;
  if (!r.Word(&version) || !r.Word(&signature)) return false;
  WORD count;
  if (version == 1 && signature == 0xFFFF) {
    t->extended = true;
    if (!r.DWord(&t->help_id) || !r.DWord(&t->ex_style) || !r.DWord(&t->style)) return false;
  } else {
    // A plain template: the two words were the style.
    t->style = static_cast<DWORD>(version) | (static_cast<DWORD>(signature) << 16);
    if (signature == 0xFFFF) return false;  // an extended header of another version
    if (!r.DWord(&t->ex_style)) return false;
  }
  if (!r.Word(&count) || !r.Short(&t->x) || !r.Short(&t->y) || !r.Short(&t->cx) || !r.Short(&t->cy))
    return false;
  if (!r.NameOrOrdinalField(&t->menu) || !r.NameOrOrdinalField(&t->cls) ||
      !r.NameOrOrdinalField(&t->title))
    return false;
  if (t->style & DS_SETFONT) {
    t->has_font = true;
    if (!r.Word(&t->point_size)) return false;
    if (t->extended) {
      if (!r.Word(&t->weight) || !r.Byte(&t->italic) || !r.Byte(&t->charset)) return false;
    }
    if (!r.String(&t->face)) return false;
  }
  t->items.resize(count);
  return true;
}

bool ParseItem(Reader& r, bool extended, ItemTemplate* item) {
  if (!r.Align4()) return false;
  if (extended) {
    if (!r.DWord(&item->help_id) || !r.DWord(&item->ex_style) || !r.DWord(&item->style)) return false;
  } else {
    if (!r.DWord(&item->style) || !r.DWord(&item->ex_style)) return false;
  }
  if (!r.Short(&item->x) || !r.Short(&item->y) || !r.Short(&item->cx) || !r.Short(&item->cy))
    return false;
  if (extended) {
    if (!r.DWord(&item->id)) return false;
  } else {
    WORD id;
    if (!r.Word(&id)) return false;
    item->id = id;
  }
  if (!r.NameOrOrdinalField(&item->cls) || !r.NameOrOrdinalField(&item->text)) return false;
  if (!item->cls.present) return false;  // a control needs a class
  WORD extra;
  if (!r.Word(&extra)) return false;
  if (extra) {
    if (extra > r.Left()) return false;
    item->data.resize(sizeof(WORD) + extra);
    std::memcpy(item->data.data(), &extra, sizeof(WORD));
    std::memcpy(item->data.data() + sizeof(WORD), r.Here(), extra);
    r.Skip(extra);
  }
  return true;
}

// Parses a whole template strictly: FALSE when any field, string or item
// reaches past `size`.
bool ParseTemplate(const void* bytes, size_t size, DialogTemplateInfo* t) {
  if (!bytes) return false;
  Reader r(static_cast<const BYTE*>(bytes), size);
  if (!ParseHeader(r, t)) return false;
  for (ItemTemplate& item : t->items)
    if (!ParseItem(r, t->extended, &item)) return false;
  return true;
}

// ---- Per-dialog state -------------------------------------------------------------------

struct DialogState {
  HFONT font = nullptr;        // the dialog font
  bool owns_font = false;      // made from the template: deleted with the dialog
  int base_x = 0;              // horizontal base unit (pixels per 4 dialog units)
  int base_y = 0;              // vertical base unit (pixels per 8 dialog units)
  int def_id = 0;              // DM_SETDEFID
  bool has_def_id = false;     // DM_SETDEFID was sent
  bool ended = false;          // EndDialog was called
  INT_PTR result = 0;          // its result
  HWND saved_focus = nullptr;  // the control that had the focus last
  bool message_box = false;    // made by MessageBoxW
};

struct Dialogs {
  std::mutex lock;
  std::unordered_map<HWND, DialogState> states;
};

Dialogs& D() {
  static Dialogs* dialogs = new Dialogs;  // lives to process exit
  return *dialogs;
}

// Runs `f` on a dialog's state under the lock; FALSE when it is no dialog.
template <class F>
bool WithState(HWND dialog, F f) {
  Dialogs& d = D();
  std::lock_guard<std::mutex> guard(d.lock);
  auto it = d.states.find(dialog);
  if (it == d.states.end()) return false;
  f(it->second);
  return true;
}

// ---- Fonts and dialog units -----------------------------------------------------------------

// Base units of a font: the rounded average width of the 52 Latin letters,
// and the character cell height.
void BaseUnits(HFONT font, int* cx, int* cy) {
  *cx = 8;
  *cy = 16;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(SYSTEM_FONT));
  static const char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  SIZE extent{};
  TEXTMETRICW tm{};
  if (GetTextExtentPoint32W(dc, kLetters, 52, &extent) && GetTextMetricsW(dc, &tm)) {
    *cx = std::max(1, static_cast<int>((extent.cx + 26) / 52));
    *cy = std::max(1, static_cast<int>(tm.tmHeight));
  }
  if (old) SelectObject(dc, old);
  DeleteDC(dc);
}

HFONT TemplateFont(const DialogTemplateInfo& t) {
  LOGFONTW lf{};
  if (t.point_size == 0x7FFF) {
    // The message-box font of the system.
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof(ncm);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0)) lf = ncm.lfMessageFont;
  } else {
    lf.lfHeight = -MulDiv(t.point_size, 96, 72);
    lf.lfWeight = t.extended ? t.weight : FW_NORMAL;
    lf.lfItalic = t.extended ? t.italic : 0;
    lf.lfCharSet = t.extended ? t.charset : DEFAULT_CHARSET;
    size_t n = std::min<size_t>(t.face.size(), 31);
    t.face.copy(lf.lfFaceName, n);
  }
  return CreateFontIndirectW(&lf);
}

int MapX(int units, int base_x) { return MulDiv(units, base_x, 4); }
int MapY(int units, int base_y) { return MulDiv(units, base_y, 8); }

// ---- Creating dialogs -----------------------------------------------------------------------

LPCWSTR PredefinedClass(WORD ordinal) {
  switch (ordinal) {
    case 0x0080: return WC_BUTTONW;
    case 0x0081: return WC_EDITW;
    case 0x0082: return WC_STATICW;
    case 0x0083: return WC_LISTBOXW;
    case 0x0084: return WC_SCROLLBARW;
    case 0x0085: return WC_COMBOBOXW;
    default: return nullptr;
  }
}

// Keeps a dialog inside the work area of its monitor.
void KeepOnScreen(HWND dialog) {
  RECT r;
  if (!GetWindowRect(dialog, &r)) return;
  RECT work = WorkAreaOfMonitor(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST));
  int x = r.left, y = r.top;
  if (r.right > work.right) x -= r.right - work.right;
  if (x < work.left) x = work.left;
  if (r.bottom > work.bottom) y -= r.bottom - work.bottom;
  if (y < work.top) y = work.top;
  if (x != r.left || y != r.top)
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Centres a top-level dialog on its owner, or on the work area.
void CenterDialog(HWND dialog, HWND owner) {
  RECT r, area;
  GetWindowRect(dialog, &r);
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) {
    GetWindowRect(owner, &area);
  } else {
    area = WorkAreaOfMonitor(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY));
  }
  int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - w) / 2,
               area.top + (area.bottom - area.top - h) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Gives the focus to a control as the dialog manager does (an edit field
// gets its text selected) and remembers it.
void FocusControl(HWND dialog, HWND control) {
  if (!control) return;
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
  SetFocus(control);
  WithState(dialog, [&](DialogState& s) { s.saved_focus = control; });
}

std::u16string NameText(const NameOrOrdinal& field) { return field.ordinal ? std::u16string() : field.text; }

// Creates a dialog and its controls and sends WM_INITDIALOG. `add` and
// `remove` change the template's style (property pages).
HWND CreateFromInfo(HINSTANCE instance, const DialogTemplateInfo& t, HWND parent, DLGPROC proc,
                    LPARAM param, bool modal, DWORD add, DWORD remove) {
  HFONT font = t.has_font ? TemplateFont(t) : nullptr;
  int base_x, base_y;
  BaseUnits(font, &base_x, &base_y);

  DWORD style = (t.style & ~remove) | add;
  DWORD ex_style = t.ex_style;
  if (style & DS_MODALFRAME) ex_style |= WS_EX_DLGMODALFRAME;
  if (style & DS_CONTROL) {
    style &= ~(WS_CAPTION | WS_SYSMENU);
    ex_style |= WS_EX_CONTROLPARENT;
  }
  if (style & DS_CONTEXTHELP) ex_style |= WS_EX_CONTEXTHELP;
  const bool visible = (style & WS_VISIBLE) != 0;
  const bool child = (style & WS_CHILD) != 0;

  RECT rect{0, 0, MapX(t.cx, base_x), MapY(t.cy, base_y)};
  AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  int x = MapX(t.x, base_x), y = MapY(t.y, base_y);
  HWND owner = child ? nullptr : (parent ? GetAncestor(parent, GA_ROOT) : nullptr);
  if (!child && !(style & DS_ABSALIGN) && owner) {
    POINT origin{0, 0};
    ClientToScreen(owner, &origin);
    x += origin.x;
    y += origin.y;
  }

  std::u16string title = NameText(t.title);
  std::u16string class_name = t.cls.present && !t.cls.ordinal ? t.cls.text : std::u16string();
  LPCWSTR cls = !t.cls.present ? WC_DIALOG : t.cls.ordinal ? MAKEINTATOM(t.cls.id) : class_name.c_str();
  HWND dialog = CreateWindowExW(ex_style, cls, title.c_str(), style & ~WS_VISIBLE, x, y,
                                rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                instance, reinterpret_cast<LPVOID>(param));
  if (!dialog) {
    if (font) DeleteObject(font);
    return nullptr;
  }
  // A dialog of an application class made with DLGWINDOWEXTRA and
  // DefDlgProcW has a state too; give one to any dialog that lacks it.
  {
    Dialogs& d = D();
    std::lock_guard<std::mutex> guard(d.lock);
    DialogState& s = d.states[dialog];
    s.font = font ? font : reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    s.owns_font = font != nullptr;
    s.base_x = base_x;
    s.base_y = base_y;
  }
  SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  if (font) SendMessageW(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  for (const ItemTemplate& item : t.items) {
    LPCWSTR item_class = item.cls.ordinal ? PredefinedClass(item.cls.id) : item.cls.text.c_str();
    if (!item_class) item_class = MAKEINTATOM(item.cls.id);
    // A resource id as text reaches the control as 0xFFFF, id (static icons).
    WCHAR ordinal_text[3] = {0xFFFF, item.text.id, 0};
    LPCWSTR text = item.text.ordinal ? ordinal_text : item.text.text.c_str();
    HWND control = CreateWindowExW(
        item.ex_style | WS_EX_NOPARENTNOTIFY, item_class, text, item.style | WS_CHILD,
        MapX(item.x, base_x), MapY(item.y, base_y), MapX(item.cx, base_x), MapY(item.cy, base_y),
        dialog, reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id)), instance,
        item.data.empty() ? nullptr : const_cast<BYTE*>(item.data.data()));
    if (!control) {
      if (t.style & DS_NOFAILCREATE) continue;
      DWORD error = GetLastError();
      DestroyWindow(dialog);
      SetLastError(error ? error : ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }

  if (!child) {
    if (style & (DS_CENTER | DS_CENTERMOUSE)) CenterDialog(dialog, owner);
    KeepOnScreen(dialog);
  }
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  LRESULT focus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(dialog)) return nullptr;
  if (focus) FocusControl(dialog, GetNextDlgTabItem(dialog, nullptr, FALSE));
  if (visible && !modal) ShowWindow(dialog, SW_SHOWNORMAL);
  return dialog;
}

HWND CreateFromBytes(HINSTANCE instance, const void* bytes, size_t size, HWND parent, DLGPROC proc,
                     LPARAM param, bool modal, DWORD add, DWORD remove) {
  DialogTemplateInfo info;
  if (!ParseTemplate(bytes, size, &info)) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return CreateFromInfo(instance, info, parent, proc, param, modal, add, remove);
}

// The template bytes of a module's RT_DIALOG resource.
bool FindDialogResource(HINSTANCE instance, LPCWSTR name, const void** bytes, size_t* size) {
  HRSRC res = FindResourceW(instance, name, RT_DIALOG);
  if (!res) return false;
  HGLOBAL loaded = LoadResource(instance, res);
  *bytes = LockResource(loaded);
  *size = SizeofResource(instance, res);
  return *bytes != nullptr;
}

bool Ended(HWND dialog, INT_PTR* result) {
  bool ended = false;
  WithState(dialog, [&](DialogState& s) {
    ended = s.ended;
    *result = s.result;
  });
  return ended;
}

// ---- Message boxes --------------------------------------------------------------------------

struct BoxButton {
  int id;                  // answer
  const char16_t* label;   // text
};

// The buttons of a button set; empty for an unknown set.
std::vector<BoxButton> BoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {{IDOK, u"OK"}};
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"&Abort"}, {IDRETRY, u"&Retry"}, {IDIGNORE, u"&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"&Retry"}, {IDCANCEL, u"Cancel"}};
    case MB_CANCELTRYCONTINUE:
      return {{IDCANCEL, u"Cancel"}, {IDTRYAGAIN, u"&Try Again"}, {IDCONTINUE, u"&Continue"}};
    default: return {};
  }
}

constexpr int kBoxTextId = 0xFFFF;   // the message text static
constexpr int kBoxIconId = 20;       // the icon static
constexpr LPCWSTR kBoxTypeProp = u"platform.MessageBoxType";

INT_PTR BoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) return FALSE;
  if (message != WM_COMMAND) return FALSE;
  UINT type = static_cast<UINT>(reinterpret_cast<uintptr_t>(GetPropW(box, kBoxTypeProp)));
  int id = LOWORD(wparam);
  if (id == IDHELP) {
    HWND owner = GetWindow(box, GW_OWNER);
    if (owner) {
      HELPINFO info{sizeof(HELPINFO), HELPINFO_WINDOW, 0, box, 0, {0, 0}};
      SendMessageW(owner, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    }
    return TRUE;
  }
  std::vector<BoxButton> buttons = BoxButtons(type);
  bool has = std::any_of(buttons.begin(), buttons.end(), [&](const BoxButton& b) { return b.id == id; });
  if (!has) {
    // Escape and Close: IDOK for a lone OK button, else ignored.
    if (id != IDCANCEL || (type & MB_TYPEMASK) != MB_OK) return TRUE;
    id = IDOK;
  }
  EndDialog(box, id);
  return TRUE;
}

}  // namespace

// ---- The model's interface --------------------------------------------------------------------

bool ReadDialogTemplateHeader(const void* bytes, size_t size, DialogTemplateHeader* header) {
  DialogTemplateInfo info;
  if (!header || !ParseTemplate(bytes, size, &info)) return false;
  header->extended = info.extended;
  header->style = info.style;
  header->ex_style = info.ex_style;
  header->cx = info.cx;
  header->cy = info.cy;
  header->title = NameText(info.title);
  header->has_font = info.has_font;
  header->point_size = info.point_size;
  header->face = info.face;
  return true;
}

bool DialogTemplatePixelSize(const void* bytes, size_t size, SIZE* pixels) {
  DialogTemplateInfo info;
  if (!pixels || !ParseTemplate(bytes, size, &info)) return false;
  HFONT font = info.has_font ? TemplateFont(info) : nullptr;
  int bx, by;
  BaseUnits(font, &bx, &by);
  if (font) DeleteObject(font);
  pixels->cx = MapX(info.cx, bx);
  pixels->cy = MapY(info.cy, by);
  return true;
}

size_t IndirectTemplateSize(const void* bytes, size_t fallback) {
  HGLOBAL block = bytes ? GlobalHandle(bytes) : nullptr;
  SIZE_T size = block ? GlobalSize(block) : 0;
  return size ? size : fallback;
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND parent,
                              DLGPROC proc, LPARAM param) {
  return CreateFromBytes(instance, bytes, size, parent, proc, param, false, 0, 0);
}

HWND CreateChildDialog(HINSTANCE instance, const void* bytes, size_t size, HWND parent,
                       DLGPROC proc, LPARAM param) {
  if (!size) size = IndirectTemplateSize(bytes, kTrustedTemplateSize);
  return CreateFromBytes(instance, bytes, size, parent, proc, param, false, WS_CHILD | DS_CONTROL,
                         WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME |
                             WS_VISIBLE);
}

INT_PTR DialogBoxFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND owner,
                              DLGPROC proc, LPARAM param) {
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  HWND dialog = CreateFromBytes(instance, bytes, size, root, proc, param, true, 0, 0);
  if (!dialog) return -1;
  return RunModalDialog(dialog, root);
}

INT_PTR RunModalDialog(HWND dialog, HWND owner) {
  const bool disable_owner = owner && owner != dialog && IsWindowEnabled(owner);
  if (disable_owner) EnableWindow(owner, FALSE);
  if (!IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOWNORMAL);
  FrontEnd* front_end = CurrentFrontEnd();
  if (IsWindow(dialog)) front_end->ModalBegin(dialog);
  bool quit = false;
  WPARAM quit_code = 0;
  INT_PTR result = 0;
  while (IsWindow(dialog) && !Ended(dialog, &result)) {
    MSG msg;
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quit_code = msg.wParam;
        break;
      }
      if (!IsDialogMessageW(dialog, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      continue;
    }
    if (Ended(dialog, &result)) break;
    front_end->ModalIdle(dialog);
  }
  Ended(dialog, &result);
  front_end->ModalEnd(dialog, result);
  // The owner comes back before the dialog goes, so that it is activated.
  if (disable_owner) EnableWindow(owner, TRUE);
  if (IsWindow(dialog)) {
    ShowWindow(dialog, SW_HIDE);
    DestroyWindow(dialog);
  }
  if (quit) PostQuitMessage(static_cast<int>(quit_code));
  return result;
}

bool IsMessageBoxWindow(HWND window) {
  bool box = false;
  WithState(window, [&](DialogState& s) { box = s.message_box; });
  return box;
}

void RegisterDialogClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_GLOBALCLASS;
  wc.lpfnWndProc = DefDlgProcW;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_BTNFACE + 1));
  wc.lpszClassName = u"#32770";
  RegisterSystemClass(wc, 0x8002);
}

}  // namespace platform

using platform::WithState;

// ==== Modal and modeless dialogs =======================================================================

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC proc,
                        LPARAM param) {
  const void* bytes;
  size_t size;
  if (!platform::FindDialogResource(instance, template_name, &bytes, &size)) return -1;
  return platform::DialogBoxFromTemplate(instance, bytes, size, owner, proc, param);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog_template,
                                HWND owner, DLGPROC proc, LPARAM param) {
  size_t size = platform::IndirectTemplateSize(dialog_template, platform::kTrustedTemplateSize);
  return platform::DialogBoxFromTemplate(instance, dialog_template, size, owner, proc, param);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR template_name, HWND parent, DLGPROC proc,
                        LPARAM param) {
  const void* bytes;
  size_t size;
  if (!platform::FindDialogResource(instance, template_name, &bytes, &size)) return nullptr;
  return platform::CreateDialogFromTemplate(instance, bytes, size, parent, proc, param);
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog_template,
                                HWND parent, DLGPROC proc, LPARAM param) {
  size_t size = platform::IndirectTemplateSize(dialog_template, platform::kTrustedTemplateSize);
  return platform::CreateDialogFromTemplate(instance, dialog_template, size, parent, proc, param);
}

BOOL EndDialog(HWND dialog, INT_PTR result) {
  bool found = WithState(dialog, [&](platform::DialogState& s) {
    s.ended = true;
    s.result = result;
  });
  if (!found) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  // Wakes the dialog's loop wherever this runs from.
  PostMessageW(dialog, WM_NULL, 0, 0);
  return TRUE;
}

// ==== The dialog class ==========================================================================

namespace platform {
namespace {

// The messages whose dialog-procedure result is the answer itself.
bool ResultIsReturned(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM:
    case WM_VKEYTOITEM: case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

bool IsPushButton(HWND control) {
  return (SendMessageW(control, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0;
}

// The default push button's id: the one DM_SETDEFID chose, else the first
// BS_DEFPUSHBUTTON; 0 when there is none.
int DefaultId(HWND dialog) {
  int id = 0;
  bool explicit_id = false;
  WithState(dialog, [&](DialogState& s) {
    explicit_id = s.has_def_id;
    id = s.def_id;
  });
  if (explicit_id) return id;
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return GetDlgCtrlID(h);
  return 0;
}

void SetDefaultId(HWND dialog, int id) {
  int old = DefaultId(dialog);
  if (old && old != id) {
    HWND h = GetDlgItem(dialog, old);
    if (h && (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON))
      SendMessageW(h, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
  }
  HWND h = GetDlgItem(dialog, id);
  if (h && (SendMessageW(h, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
    SendMessageW(h, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
  WithState(dialog, [&](DialogState& s) {
    s.def_id = id;
    s.has_def_id = true;
  });
}

// Gives the focus back to the control that had it last (or the first tab
// stop), unless it is inside the dialog already.
void RestoreFocus(HWND dialog) {
  HWND focus = GetFocus();
  if (focus && IsChild(dialog, focus)) return;
  HWND saved = nullptr;
  WithState(dialog, [&](DialogState& s) { saved = s.saved_focus; });
  if (!saved || !IsWindow(saved) || !IsChild(dialog, saved) || !IsWindowEnabled(saved))
    saved = GetNextDlgTabItem(dialog, nullptr, FALSE);
  if (saved) FocusControl(dialog, saved);
}

LRESULT DefaultDialogMessage(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE: {
      HWND cancel = GetDlgItem(dialog, IDCANCEL);
      if (cancel && !IsWindowEnabled(cancel)) return 0;
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
      return 0;
    }
    case DM_GETDEFID: {
      int id = DefaultId(dialog);
      return id ? MAKELRESULT(static_cast<WORD>(id), DC_HASDEFID) : 0;
    }
    case DM_SETDEFID:
      SetDefaultId(dialog, static_cast<int>(wparam));
      return TRUE;
    case DM_REPOSITION:
      if (!(GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD)) KeepOnScreen(dialog);
      return 0;
    case WM_NEXTDLGCTL: {
      HWND target = LOWORD(static_cast<DWORD_PTR>(lparam))
                        ? reinterpret_cast<HWND>(wparam)
                        : GetNextDlgTabItem(dialog, GetFocus(), wparam != 0);
      FocusControl(dialog, target);
      return 0;
    }
    case WM_SETFONT:
      WithState(dialog, [&](DialogState& s) { s.font = reinterpret_cast<HFONT>(wparam); });
      return DefWindowProcW(dialog, message, wparam, lparam);
    case WM_GETFONT: {
      HFONT font = nullptr;
      WithState(dialog, [&](DialogState& s) { font = s.font; });
      return reinterpret_cast<LRESULT>(font);
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(dialog, focus)) WithState(dialog, [&](DialogState& s) { s.saved_focus = focus; });
      } else {
        RestoreFocus(dialog);
      }
      return 0;
    case WM_SETFOCUS:
      RestoreFocus(dialog);
      return 0;
    case WM_GETDLGCODE:
      return 0;
    default:
      return DefWindowProcW(dialog, message, wparam, lparam);
  }
}

}  // namespace
}  // namespace platform

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    platform::Dialogs& d = platform::D();
    {
      std::lock_guard<std::mutex> guard(d.lock);
      d.states[dialog];  // a fresh state
    }
    return DefWindowProcW(dialog, message, wparam, lparam);
  }
  DLGPROC proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(dialog, DWLP_DLGPROC));
  INT_PTR handled = proc ? proc(dialog, message, wparam, lparam) : 0;
  if (message == WM_NCDESTROY) {
    platform::DialogState state;
    bool found = false;
    {
      platform::Dialogs& d = platform::D();
      std::lock_guard<std::mutex> guard(d.lock);
      auto it = d.states.find(dialog);
      if (it != d.states.end()) {
        state = it->second;
        found = true;
        d.states.erase(it);
      }
    }
    if (found && state.owns_font && state.font) DeleteObject(state.font);
    return DefWindowProcW(dialog, message, wparam, lparam);
  }
  if (handled) {
    if (platform::ResultIsReturned(message)) return handled;
    return GetWindowLongPtrW(dialog, DWLP_MSGRESULT);
  }
  return platform::DefaultDialogMessage(dialog, message, wparam, lparam);
}

// ==== Keyboard navigation =============================================================================

namespace platform {
namespace {

// The controls of a dialog in tab order: its children, and the children of
// child dialogs that are control parents (property pages), in z-order.
void CollectControls(HWND parent, std::vector<HWND>* out) {
  for (HWND h = GetWindow(parent, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
    if (GetWindowLongW(h, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) {
      if (IsWindowVisible(h) && IsWindowEnabled(h)) CollectControls(h, out);
    } else {
      out->push_back(h);
    }
  }
}

bool Usable(HWND h) { return IsWindowVisible(h) && IsWindowEnabled(h); }

}  // namespace
}  // namespace platform

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> all;
  platform::CollectControls(dialog, &all);
  auto usable = [](HWND h) {
    return platform::Usable(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP);
  };
  size_t n = all.size();
  if (n == 0) return nullptr;
  auto it = control ? std::find(all.begin(), all.end(), control) : all.end();
  if (it == all.end()) {
    if (previous) {
      for (size_t i = n; i-- > 0;)
        if (usable(all[i])) return all[i];
    } else {
      for (HWND h : all)
        if (usable(h)) return h;
    }
    return nullptr;
  }
  size_t at = static_cast<size_t>(it - all.begin());
  for (size_t k = 1; k <= n; ++k) {
    size_t i = previous ? (at + n - k) % n : (at + k) % n;
    if (usable(all[i])) return all[i];
  }
  return control;
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  std::vector<HWND> all;
  platform::CollectControls(dialog, &all);
  auto it = std::find(all.begin(), all.end(), control);
  if (it == all.end()) return GetNextDlgTabItem(dialog, nullptr, previous);
  size_t at = static_cast<size_t>(it - all.begin());
  auto group = [&](size_t i) { return (GetWindowLongW(all[i], GWL_STYLE) & WS_GROUP) != 0; };
  size_t first = at;
  while (first > 0 && !group(first)) --first;
  size_t last = at + 1;
  while (last < all.size() && !group(last)) ++last;
  size_t n = last - first;
  for (size_t k = 1; k <= n; ++k) {
    size_t i = first + (previous ? (at - first + n - k) % n : (at - first + k) % n);
    if (platform::Usable(all[i])) return all[i];
  }
  return control;
}

BOOL IsDialogMessageW(HWND dialog, MSG* msg) {
  if (!msg || !dialog || (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))) return FALSE;
  if (msg->message == WM_KEYDOWN) {
    LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    bool wants_all = (code & DLGC_WANTALLKEYS) != 0;
    HWND focus = GetFocus();
    switch (msg->wParam) {
      case VK_TAB:
        if (wants_all || (code & DLGC_WANTTAB)) break;
        platform::FocusControl(dialog, GetNextDlgTabItem(dialog, focus, (GetKeyState(VK_SHIFT) & 0x8000) != 0));
        return TRUE;
      case VK_RETURN: {
        if (wants_all) break;
        int id;
        HWND button;
        if (focus && IsChild(dialog, focus) && platform::IsPushButton(focus)) {
          button = focus;
          id = GetDlgCtrlID(focus);
        } else {
          LRESULT def = SendMessageW(dialog, DM_GETDEFID, 0, 0);
          id = HIWORD(static_cast<DWORD_PTR>(def)) == DC_HASDEFID ? LOWORD(static_cast<DWORD_PTR>(def)) : IDOK;
          button = GetDlgItem(dialog, id);
        }
        if (button && !IsWindowEnabled(button)) return TRUE;
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        return TRUE;
      }
      case VK_ESCAPE: {
        if (wants_all) break;
        HWND cancel = GetDlgItem(dialog, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) return TRUE;
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return TRUE;
      }
      case VK_LEFT:
      case VK_RIGHT:
      case VK_UP:
      case VK_DOWN: {
        if (wants_all || (code & DLGC_WANTARROWS) || !focus) break;
        HWND next = GetNextDlgGroupItem(dialog, focus, msg->wParam == VK_LEFT || msg->wParam == VK_UP);
        if (next && next != focus) {
          platform::FocusControl(dialog, next);
          if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
            if ((GetWindowLongW(next, GWL_STYLE) & BS_TYPEMASK) == BS_AUTORADIOBUTTON)
              SendMessageW(next, BM_CLICK, 0, 0);
        }
        return TRUE;
      }
      default:
        break;
    }
  } else if (msg->message == WM_CHAR) {
    LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (!(code & (DLGC_WANTCHARS | DLGC_WANTALLKEYS)) &&
        (msg->wParam == u'\t' || msg->wParam == u'\r' || msg->wParam == 0x1B))
      return TRUE;
  }
  TranslateMessage(msg);
  DispatchMessageW(msg);
  return TRUE;
}

// ==== Controls by id ===================================================================================

HWND GetDlgItem(HWND dialog, int id) {
  for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT))
    if (static_cast<int>(GetWindowLongPtrW(h, GWLP_ID)) == id) return h;
  SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
  return nullptr;
}

int GetDlgCtrlID(HWND control) { return static_cast<int>(GetWindowLongPtrW(control, GWLP_ID)); }

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SendMessageW(control, message, wparam, lparam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  HWND control = GetDlgItem(dialog, id);
  return control ? SetWindowTextW(control, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size) {
  if (buffer && size > 0) buffer[0] = 0;
  HWND control = GetDlgItem(dialog, id);
  return control ? static_cast<UINT>(GetWindowTextW(control, buffer, size)) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed) {
  std::string digits = is_signed ? std::to_string(static_cast<int>(value)) : std::to_string(value);
  std::u16string text(digits.begin(), digits.end());
  return SetDlgItemTextW(dialog, id, text.c_str());
}

UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed) {
  if (translated) *translated = FALSE;
  HWND control = GetDlgItem(dialog, id);
  if (!control) return 0;
  WCHAR buffer[64];
  int n = GetWindowTextW(control, buffer, 64);
  int i = 0;
  while (i < n && platform::IsWhiteSpace(buffer[i])) ++i;
  bool negative = false;
  if (i < n && (buffer[i] == u'-' || buffer[i] == u'+')) {
    if (buffer[i] == u'-' && !is_signed) return 0;
    negative = buffer[i] == u'-';
    ++i;
  }
  if (i >= n || buffer[i] < u'0' || buffer[i] > u'9') return 0;
  ULONGLONG value = 0;
  for (; i < n && buffer[i] >= u'0' && buffer[i] <= u'9'; ++i) {
    value = value * 10 + static_cast<ULONGLONG>(buffer[i] - u'0');
    if (value > 0xFFFFFFFFULL) return 0;
  }
  while (i < n && platform::IsWhiteSpace(buffer[i])) ++i;
  if (i != n) return 0;
  if (is_signed && value > (negative ? 0x80000000ULL : 0x7FFFFFFFULL)) return 0;
  if (translated) *translated = TRUE;
  return negative ? static_cast<UINT>(-static_cast<LONGLONG>(value)) : static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
  HWND control = GetDlgItem(dialog, id);
  if (!control) return FALSE;
  SendMessageW(control, BM_SETCHECK, check, 0);
  return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control ? static_cast<UINT>(SendMessageW(control, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND dialog, int first, int last, int check) {
  bool any = false;
  for (int id = first; id <= last; ++id) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) continue;
    any = true;
    SendMessageW(control, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return any ? TRUE : FALSE;
}

// ==== Dialog units ========================================================================================

LONG GetDialogBaseUnits() {
  int cx, cy;
  platform::BaseUnits(nullptr, &cx, &cy);
  return MAKELONG(static_cast<WORD>(cx), static_cast<WORD>(cy));
}

BOOL MapDialogRect(HWND dialog, RECT* rect) {
  int bx = 0, by = 0;
  if (!rect || !WithState(dialog, [&](platform::DialogState& s) {
        bx = s.base_x;
        by = s.base_y;
      })) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!bx || !by) platform::BaseUnits(nullptr, &bx, &by);
  rect->left = platform::MapX(rect->left, bx);
  rect->right = platform::MapX(rect->right, bx);
  rect->top = platform::MapY(rect->top, by);
  rect->bottom = platform::MapY(rect->bottom, by);
  return TRUE;
}

// ==== Message boxes ==========================================================================================

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  std::vector<platform::BoxButton> buttons = platform::BoxButtons(type);
  if (buttons.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (type & MB_HELP) buttons.push_back({IDHELP, u"Help"});
  size_t def = (type & MB_DEFMASK) >> 8;
  if (def >= buttons.size()) def = 0;
  HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
  std::u16string message = text ? text : u"";
  std::u16string title = caption ? caption : u"Error";

  // The message font and its measures.
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  HFONT font = CreateFontIndirectW(&ncm.lfMessageFont);
  int base_x, base_y;
  platform::BaseUnits(font, &base_x, &base_y);
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int margin = platform::MapX(7, base_x);
  const int icon = (type & MB_ICONMASK) ? GetSystemMetrics(SM_CXICON) : 0;
  const int max_text = std::max(100, (work.right - work.left) * 3 / 4 - icon - 3 * margin);
  RECT text_rect{0, 0, max_text, 0};
  {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = dc && font ? SelectObject(dc, font) : nullptr;
    if (dc) DrawTextW(dc, message.c_str(), static_cast<int>(message.size()), &text_rect,
                      DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
    if (old) SelectObject(dc, old);
    if (dc) DeleteDC(dc);
  }
  int text_w = std::max<int>(text_rect.right - text_rect.left, platform::MapX(40, base_x));
  int text_h = std::max<int>(text_rect.bottom - text_rect.top, base_y);
  int button_w = platform::MapX(50, base_x), button_h = platform::MapY(14, base_y);
  int row_w = static_cast<int>(buttons.size()) * (button_w + margin) - margin;
  int client_w = std::max(icon + (icon ? margin : 0) + text_w, row_w) + 2 * margin;
  int client_h = margin + std::max(text_h, icon) + margin + button_h + margin;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  DWORD ex_style = WS_EX_DLGMODALFRAME | ((type & MB_TOPMOST) ? WS_EX_TOPMOST : 0);
  RECT frame{0, 0, client_w, client_h};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);

  // The box is placed before it is made, so that a hook that moves it
  // while it is created (WM_CREATE) has the last word.
  int box_w = frame.right - frame.left, box_h = frame.bottom - frame.top;
  RECT area;
  if (root && IsWindowVisible(root) && !IsIconic(root)) {
    GetWindowRect(root, &area);
  } else {
    area = work;
  }
  RECT screen = platform::WorkAreaOfMonitor(MonitorFromRect(&area, MONITOR_DEFAULTTONEAREST));
  int box_x = area.left + (area.right - area.left - box_w) / 2;
  int box_y = area.top + (area.bottom - area.top - box_h) / 2;
  box_x = std::max<int>(screen.left, std::min<int>(box_x, screen.right - box_w));
  box_y = std::max<int>(screen.top, std::min<int>(box_y, screen.bottom - box_h));
  HWND box = CreateWindowExW(ex_style, WC_DIALOG, title.c_str(), style, box_x, box_y, box_w, box_h, root,
                             nullptr, nullptr, nullptr);
  if (!box) {
    if (font) DeleteObject(font);
    return 0;
  }
  WithState(box, [&](platform::DialogState& s) {
    s.font = font;
    s.owns_font = font != nullptr;
    s.base_x = base_x;
    s.base_y = base_y;
    s.message_box = true;
  });
  SetPropW(box, platform::kBoxTypeProp, reinterpret_cast<HANDLE>(static_cast<uintptr_t>(type)));
  SetWindowLongPtrW(box, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(platform::BoxProc));
  // Without Cancel (and beyond the lone OK) the close box is greyed.
  bool has_cancel = std::any_of(buttons.begin(), buttons.end(),
                                [](const platform::BoxButton& b) { return b.id == IDCANCEL; });
  if (!has_cancel && (type & MB_TYPEMASK) != MB_OK)
    EnableMenuItem(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  auto add = [&](LPCWSTR cls, LPCWSTR label, DWORD control_style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExW(WS_EX_NOPARENTNOTIFY, cls, label, WS_CHILD | WS_VISIBLE | control_style, x, y,
                             w, h, box, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    if (c && font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };
  if (icon) {
    LPCWSTR name = IDI_ASTERISK;
    switch (type & MB_ICONMASK) {
      case MB_ICONHAND: name = IDI_HAND; break;
      case MB_ICONQUESTION: name = IDI_QUESTION; break;
      case MB_ICONEXCLAMATION: name = IDI_EXCLAMATION; break;
      default: break;
    }
    if (HWND c = add(WC_STATICW, u"", SS_ICON, margin, margin, icon, icon, platform::kBoxIconId))
      SendMessageW(c, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, name)), 0);
  }
  int text_x = margin + (icon ? icon + margin : 0);
  add(WC_STATICW, message.c_str(), SS_LEFT | SS_NOPREFIX, text_x, margin, text_w, text_h, platform::kBoxTextId);
  int x = (client_w - row_w) / 2, y = client_h - margin - button_h;
  HWND def_button = nullptr;
  for (size_t i = 0; i < buttons.size(); ++i) {
    DWORD bs = (i == def ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP | (i == 0 ? WS_GROUP : 0);
    HWND b = add(WC_BUTTONW, buttons[i].label, bs, x, y, button_w, button_h, buttons[i].id);
    if (i == def) def_button = b;
    x += button_w + margin;
  }
  SendMessageW(box, WM_INITDIALOG, 0, 0);
  WithState(box, [&](platform::DialogState& s) { s.saved_focus = def_button; });
  return static_cast<int>(platform::RunModalDialog(box, root));
}
