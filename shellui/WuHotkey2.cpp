// The hotkey-entry control: class registration, instances and the window
// procedure.

#include "shellui/WuHotkey2.h"

#include "foundation/WuResMenu.h"
#include "foundation/WuUIFont.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"
#include "platform/user/caret.h"
#include "shellui/WuXPTheme.h"

namespace {

// Flags an instance keeps through its initialisation.
constexpr DWORD kKeptFlags = HOTKEY2F_FOCUS | HOTKEY2F_HOSTED | HOTKEY2F_NOBACKGROUND | ~0xFFu;
constexpr DWORD kHeldFlags = HOTKEY2F_FIRSTDOWN | HOTKEY2F_SECONDDOWN;

// A shortcut the control may take.
struct Candidate {
  WORD first_key;
  WORD second_key;
  WORD modifiers;
};

tWUHOTKEY2INST* InstanceOf(HWND window) {
  return reinterpret_cast<tWUHOTKEY2INST*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool Down(int key) { return (GetKeyState(key) & 0x8000) != 0; }

// Shift, Ctrl and Alt as they are held now.
WORD CurrentModifiers() {
  WORD modifiers = 0;
  if (Down(VK_SHIFT)) modifiers |= HOTKEY2_SHIFT;
  if (Down(VK_CONTROL)) modifiers |= HOTKEY2_CTRL;
  if (Down(VK_MENU)) modifiers |= HOTKEY2_ALT;
  return modifiers;
}

HWND NotifyTarget(const tWUHOTKEY2INST* inst) {
  return inst->notify_window ? inst->notify_window : GetParent(inst->window);
}

void SendCommand(tWUHOTKEY2INST* inst, WORD code) {
  SendMessageW(NotifyTarget(inst), WM_COMMAND,
               MAKEWPARAM(static_cast<WORD>(inst->control_id), code),
               reinterpret_cast<LPARAM>(inst->window));
}

void SendNotify(tWUHOTKEY2INST* inst, UINT code) {
  NMHDR header{inst->window, inst->control_id, code};
  SendMessageW(NotifyTarget(inst), WM_NOTIFY, inst->control_id, reinterpret_cast<LPARAM>(&header));
}

// Shows the field's current state: a hosted instance is invalidated, a
// window also painted at once. Nothing with HOTKEY2F_NOPAINT.
void Repaint(tWUHOTKEY2INST* inst) {
  if (inst->flags & HOTKEY2F_NOPAINT) return;
  InvalidateRect(inst->window, nullptr, FALSE);
  if (!(inst->flags & HOTKEY2F_HOSTED)) UpdateWindow(inst->window);
}

// Paints for the flash: at once in both kinds of instance.
void ShowNow(tWUHOTKEY2INST* inst) {
  if (inst->flags & HOTKEY2F_NOPAINT) return;
  InvalidateRect(inst->window, nullptr, FALSE);
  UpdateWindow(inst->window);
}

void Take(tWUHOTKEY2INST* inst, const Candidate& c) {
  inst->first_key = c.first_key;
  inst->second_key = c.second_key;
  inst->modifiers = c.modifiers;
}

// Fills an instance from creation data. The flags named in kKeptFlags
// survive; everything else starts anew.
void InitInstance(tWUHOTKEY2INST* inst, HWND window, const CREATESTRUCTW& cs) {
  DWORD kept = inst->flags & kKeptFlags;
  *inst = tWUHOTKEY2INST{};
  inst->window = window;
  inst->style = static_cast<DWORD>(cs.style);
  inst->control_id = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(cs.hMenu));
  inst->user_data = cs.lpCreateParams;
  inst->flags = kept;
  bool hosted = window == cs.hwndParent;
  if (hosted) inst->flags |= HOTKEY2F_HOSTED;
  if (cs.hwndParent != GetParent(window)) inst->notify_window = cs.hwndParent;
  DWORD style = inst->style;
  if (style & WS_DISABLED) inst->flags |= HOTKEY2F_DISABLED;
  if (style & HOTKEY2S_SEQUENCE) inst->flags |= HOTKEY2F_SEQUENCE;
  if (style & HOTKEY2S_ASK) inst->flags |= HOTKEY2F_ASK;
  if (style & HOTKEY2S_FOCUSCMD) inst->flags |= HOTKEY2F_FOCUSCMD;
  if (style & HOTKEY2S_NOPAINT) inst->flags |= HOTKEY2F_NOPAINT;
  if (hosted)
    inst->rect = RECT{0, 0, cs.cx, cs.cy};
  else
    inst->rect = RECT{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
  inst->last_key_time = 0;
  inst->dialog_code = HOTKEY2_DLGCODE;
  inst->sequence_timeout = HOTKEY2_SEQUENCE_TIMEOUT;
}

LRESULT OnCreate(HWND window, const CREATESTRUCTW* cs) {
  auto* inst = static_cast<tWUHOTKEY2INST*>(LocalAlloc(LPTR, sizeof(tWUHOTKEY2INST)));
  if (!inst) return -1;
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(inst));
  InitInstance(inst, window, *cs);
  return 0;
}

// Asks the owner about a candidate (HOTKEY2F_ASK) and flashes it when the
// owner wants that. TRUE when the owner accepts it.
bool AskOwner(tWUHOTKEY2INST* inst, const Candidate& c) {
  NMHOTKEY2 note{};
  note.hdr = NMHDR{inst->window, inst->control_id, NM_KEYDOWN};
  note.first_key = c.first_key;
  note.second_key = c.second_key;
  note.modifiers = c.modifiers;
  note.answer = HOTKEY2_ACCEPT;
  SendMessageW(NotifyTarget(inst), WM_NOTIFY, inst->control_id, reinterpret_cast<LPARAM>(&note));
  bool accepted = (note.answer & HOTKEY2_ACCEPT) != 0;
  if (!accepted) {
    if (!c.first_key || !Down(c.first_key)) inst->flags &= ~HOTKEY2F_FIRSTDOWN;
    if (!c.second_key || !Down(c.second_key)) inst->flags &= ~HOTKEY2F_SECONDDOWN;
  }
  if (note.answer & HOTKEY2_FLASH) {
    HideCaret(inst->window);
    for (int i = 0; i < 3; ++i) {
      Take(inst, c);
      ShowNow(inst);
      Sleep(150);
      inst->first_key = 0;
      inst->modifiers = 0;
      ShowNow(inst);
      Sleep(100);
    }
    ShowCaret(inst->window);
  }
  return accepted;
}

void OnKey(tWUHOTKEY2INST* inst, UINT message, WPARAM wparam) {
  bool up = message == WM_KEYUP || message == WM_SYSKEYUP;
  WORD key = static_cast<WORD>(wparam);
  Candidate c{inst->first_key, inst->second_key, inst->modifiers};
  if (key >= VK_SHIFT && key <= VK_MENU) {
    if (!(inst->first_key && (up || (inst->flags & kHeldFlags)))) {
      c = Candidate{0, 0, CurrentModifiers()};
      inst->flags &= ~(kHeldFlags | HOTKEY2F_FRESH);
    }
  } else if (up) {
    if (key == inst->first_key) inst->flags &= ~HOTKEY2F_FIRSTDOWN;
    if (key == inst->second_key) inst->flags &= ~HOTKEY2F_SECONDDOWN;
  } else if (key == VK_BACK && inst->first_key && !(inst->flags & HOTKEY2F_FIRSTDOWN) &&
             CurrentModifiers() == 0) {
    if (inst->second_key)
      c.second_key = 0;
    else
      c = Candidate{0, 0, 0};
  } else {
    DWORD now = GetTickCount();
    bool fresh = !(inst->flags & HOTKEY2F_SEQUENCE) || (inst->flags & HOTKEY2F_FRESH) ||
                 !inst->first_key || inst->second_key ||
                 now - inst->last_key_time > inst->sequence_timeout;
    if (fresh) {
      c = Candidate{key, 0, CurrentModifiers()};
      inst->flags &= ~(HOTKEY2F_SECONDDOWN | HOTKEY2F_FRESH);
      inst->flags |= HOTKEY2F_FIRSTDOWN;
      inst->last_key_time = now;
    } else {
      c.second_key = key;
      inst->flags |= HOTKEY2F_SECONDDOWN;
    }
  }

  bool accepted = true;
  if (inst->flags & HOTKEY2F_ASK) accepted = AskOwner(inst, c);
  if (accepted) {
    if (c.first_key == inst->first_key && c.second_key == inst->second_key &&
        c.modifiers == inst->modifiers)
      return;
    Take(inst, c);
  } else {
    Take(inst, Candidate{0, 0, CurrentModifiers()});
  }
  SendCommand(inst, HOTKEY2_CHANGED);
  Repaint(inst);
}

void PlaceCaret(const tWUHOTKEY2INST* inst) {
  SetCaretPos(inst->rect.left + inst->text_width + 2, inst->rect.top + 2);
}

void OnSetFocus(tWUHOTKEY2INST* inst) {
  inst->flags |= HOTKEY2F_FOCUS;
  if (inst->flags & HOTKEY2F_HOSTED) {
    if (inst->flags & HOTKEY2F_FOCUSCMD) SendCommand(inst, HOTKEY2_SETFOCUS);
  } else {
    SendNotify(inst, NM_SETFOCUS);
  }
  inst->flags &= ~kHeldFlags;
  inst->flags |= HOTKEY2F_FRESH;
  CreateCaret(inst->window, nullptr, 1, inst->rect.bottom - inst->rect.top - 4);
  PlaceCaret(inst);
  ShowCaret(inst->window);
}

void OnKillFocus(tWUHOTKEY2INST* inst) {
  inst->flags &= ~HOTKEY2F_FOCUS;
  if (inst->flags & HOTKEY2F_HOSTED) {
    if (inst->flags & HOTKEY2F_FOCUSCMD) SendCommand(inst, HOTKEY2_KILLFOCUS);
  } else {
    SendNotify(inst, NM_KILLFOCUS);
  }
  DestroyCaret();
  inst->flags &= ~kHeldFlags;
  if (!inst->first_key && !inst->second_key) {
    inst->modifiers = 0;
    Repaint(inst);
  }
}

// Draws the field into `dc`, whose origin is the rectangle's top-left
// corner moved by (dx, dy).
void Draw(tWUHOTKEY2INST* inst, HDC dc, int dx, int dy) {
  RECT r = inst->rect;
  OffsetRect(&r, dx, dy);
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  if (!(inst->flags & HOTKEY2F_NOBACKGROUND)) {
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
        NotifyTarget(inst), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
        reinterpret_cast<LPARAM>(inst->window)));
    FillRect(dc, &r, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
  }
  WCHAR text[HOTKEY2_NAME_CHARS];
  int length = Hotkey2_GetKeyName(text, HOTKEY2_NAME_CHARS, inst->first_key, inst->second_key,
                                  inst->modifiers);
  HFONT font = inst->font ? inst->font : WuGetUIFont(100);
  HGDIOBJ old_font = SelectObject(dc, font);
  SIZE extent{0, 0};
  GetTextExtentPoint32W(dc, text, length, &extent);
  inst->text_width = extent.cx + 1;
  tXPTHEME* theme = XPTheme_GetDefault();
  if (theme && theme->themed && theme->enabled && theme->handles[WUXPTHEME_EDIT]) {
    // Background and text share the area inside a 2-pixel margin.
    RECT text_rect{r.left + 2, r.top + 2, r.right, r.bottom};
    theme->WuDrawThemeBackground(WUXPTHEME_EDIT, dc, 1, 1, &text_rect, nullptr);
    theme->WuDrawThemeText(WUXPTHEME_EDIT, dc, 1, 1, text, length, DT_NOPREFIX, 0, &text_rect);
  } else {
    ExtTextOutW(dc, r.left + 2, r.top + 2, ETO_OPAQUE | ETO_CLIPPED, &r, text,
                static_cast<UINT>(length), nullptr);
  }
  SelectObject(dc, old_font);
}

void OnPaint(tWUHOTKEY2INST* inst, HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (!dc) return;
  if (!(inst->flags & HOTKEY2F_NOPAINT)) {
    int width = inst->rect.right - inst->rect.left;
    int height = inst->rect.bottom - inst->rect.top;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = memory && width > 0 && height > 0 ? CreateCompatibleBitmap(dc, width, height)
                                                       : nullptr;
    if (bitmap) {
      HGDIOBJ old = SelectObject(memory, bitmap);
      Draw(inst, memory, -inst->rect.left, -inst->rect.top);
      BitBlt(dc, inst->rect.left, inst->rect.top, width, height, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteObject(bitmap);
    } else {
      Draw(inst, dc, 0, 0);
    }
    if (memory) DeleteDC(memory);
    if (inst->flags & HOTKEY2F_FOCUS) PlaceCaret(inst);
  }
  EndPaint(window, &ps);
}

LRESULT OnGetDlgCode(const tWUHOTKEY2INST* inst, const MSG* message) {
  LRESULT code = inst->dialog_code;
  if (!message) return code;
  bool want = false;
  if (message->message == WM_KEYDOWN || message->message == WM_KEYUP) {
    WPARAM key = message->wParam;
    want = ((inst->modifiers & (HOTKEY2_CTRL | HOTKEY2_ALT)) && !inst->first_key) ||
           (key == VK_TAB && (inst->style & HOTKEY2S_WANTTAB)) ||
           (key == VK_ESCAPE && (inst->style & HOTKEY2S_WANTESCAPE)) ||
           (key == VK_RETURN && (inst->style & HOTKEY2S_WANTRETURN));
  } else if (message->message == WM_SYSKEYDOWN || message->message == WM_SYSKEYUP) {
    want = (inst->style & HOTKEY2S_WANTSYSKEYS) != 0;
  }
  return want ? code | DLGC_WANTMESSAGE : code;
}

}  // namespace

BOOL Hotkey2Class_Initialize(HINSTANCE instance, LPCWSTR class_name) {
  WNDCLASSW wc{};
  if (GetClassInfoW(instance, class_name, &wc)) return TRUE;
  wc = WNDCLASSW{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_GLOBALCLASS;
  wc.lpfnWndProc = Hotkey2_WndProc;
  wc.hInstance = instance;
  wc.hCursor = WuLoadCursor(nullptr, IDC_IBEAM);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  wc.lpszClassName = class_name;
  return RegisterClassW(&wc) != 0;
}

BOOL Hotkey2Class_Terminate(HINSTANCE instance, LPCWSTR class_name) {
  return UnregisterClassW(class_name, instance);
}

BOOL Hotkey2Inst_Init(tWUHOTKEY2INST* instance, DWORD style, const RECT* rect, HWND host,
                      DWORD control_id, LPVOID user_data) {
  if (!instance) return FALSE;
  CREATESTRUCTW cs{};
  cs.lpCreateParams = user_data;
  cs.hMenu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control_id));
  cs.hwndParent = host;
  cs.style = static_cast<LONG>(style);
  if (rect) {
    cs.x = rect->left;
    cs.y = rect->top;
    cs.cx = rect->right - rect->left;
    cs.cy = rect->bottom - rect->top;
  }
  InitInstance(instance, host, cs);
  return TRUE;
}

LRESULT Hotkey2_WndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  tWUHOTKEY2INST* inst = InstanceOf(window);
  if (!inst) {
    if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<CREATESTRUCTW*>(lparam));
    return DefWindowProcW(window, message, wparam, lparam);
  }
  switch (message) {
    case WM_CREATE:
    case WM_CANCELMODE:
      return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
      OnKey(inst, message, wparam);
      return 0;
    case WM_SETFOCUS:
      OnSetFocus(inst);
      return 0;
    case WM_KILLFOCUS:
      OnKillFocus(inst);
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(window);
      return 0;
    case WM_ENABLE:
      if (wparam)
        inst->flags &= ~HOTKEY2F_DISABLED;
      else
        inst->flags |= HOTKEY2F_DISABLED;
      Repaint(inst);
      return 0;
    case WM_PAINT:
      OnPaint(inst, window);
      return 0;
    case WM_GETDLGCODE:
      return OnGetDlgCode(inst, reinterpret_cast<const MSG*>(lparam));
    case WM_SIZE:
      GetClientRect(window, &inst->rect);
      return 0;
    case WM_SETFONT:
      inst->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(inst->font);
    case WM_DESTROY:
      // A host's instance belongs to the host; only the control's own is freed.
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (!(inst->flags & HOTKEY2F_HOSTED)) LocalFree(inst);
      return 0;
    case WM_THEMECHANGED:
      return XPTheme_Handle_WM_THEMECHANGED(nullptr, window);
    case HOTKEY2_GETKEYS:
      if (lparam) {
        auto* info = reinterpret_cast<HOTKEY2_KEYINFO*>(lparam);
        info->keys = MAKELONG(inst->first_key, inst->second_key);
        info->modifiers = inst->modifiers;
      }
      return inst->first_key;
    case HOTKEY2_SETKEYS:
      if (lparam) {
        const auto* info = reinterpret_cast<const HOTKEY2_KEYINFO*>(lparam);
        inst->first_key = LOWORD(info->keys);
        inst->second_key = HIWORD(info->keys);
        inst->modifiers = static_cast<WORD>(info->modifiers & 0xE);
        Repaint(inst);
      }
      return inst->first_key;
    default:
      if (message >= WM_USER && message <= 0x7FFF) return 0;
      return DefWindowProcW(window, message, wparam, lparam);
  }
}
