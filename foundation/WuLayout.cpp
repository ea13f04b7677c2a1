#include "foundation/WuLayout.h"

#include <algorithm>
#include <cstring>

#include "foundation/WuLang.h"
#include "platform/com/com.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/memory.h"

namespace {

// Whether WuOleInit initialised OLE and still owes the matching
// uninitialisation. Meant for the main UI thread only.
bool g_ole_initialized = false;

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

// The whole primary screen.
RECT ScreenRect() {
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The work area of the monitor the rectangle mostly lies on (the primary
// one when it lies on none); the screen DC's clip box when no monitor
// information can be had.
RECT WorkAreaOf(const RECT& rect) {
  HMONITOR monitor = MonitorFromRect(&rect, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor && GetMonitorInfoW(monitor, &info)) return platform::WorkAreaOfMonitor(monitor);
  RECT box{};
  HDC dc = GetDC(nullptr);
  if (dc) {
    GetClipBox(dc, &box);
    ReleaseDC(nullptr, dc);
  }
  return box;
}

RECT Shrink(RECT area, int margin_x, int margin_y) {
  area.left += margin_x;
  area.top += margin_y;
  area.right -= margin_x;
  area.bottom -= margin_y;
  return area;
}

// Shifts the rectangle into the area, keeping its size. The left and top
// edges win when it is larger than the area.
void ShiftInto(RECT* r, const RECT& area) {
  if (r->left < area.left)
    OffsetRect(r, area.left - r->left, 0);
  else if (r->right > area.right)
    OffsetRect(r, area.right - r->right, 0);
  if (r->top < area.top)
    OffsetRect(r, 0, area.top - r->top);
  else if (r->bottom > area.bottom)
    OffsetRect(r, 0, area.bottom - r->bottom);
}

bool Inside(const RECT& r, const RECT& area) {
  return r.left >= area.left && r.top >= area.top && r.right <= area.right &&
         r.bottom <= area.bottom;
}

// A window's client rectangle in screen coordinates.
bool ClientRectOnScreen(HWND window, RECT* rect) {
  if (!GetClientRect(window, rect)) return false;
  POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  MapWindowPoints(window, nullptr, corners, 2);
  *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return true;
}

// ASCII case-insensitive comparison of a window's class name.
bool HasClass(HWND window, const char16_t* name) {
  WCHAR buffer[64] = {};
  int length = GetClassNameW(window, buffer, 64);
  size_t i = 0;
  for (; i < static_cast<size_t>(length) && name[i]; ++i) {
    char16_t a = buffer[i], b = name[i];
    if (a >= u'A' && a <= u'Z') a = static_cast<char16_t>(a - u'A' + u'a');
    if (b >= u'A' && b <= u'Z') b = static_cast<char16_t>(b - u'A' + u'a');
    if (a != b) return false;
  }
  return i == static_cast<size_t>(length) && name[i] == 0;
}

// State of the caption-strip monitor enumeration.
struct CaptionCheck {
  LONG needed;   // required width and height on one monitor
  bool visible;  // found a monitor with enough of the strip
};

BOOL CheckCaptionPart(HMONITOR, HDC, RECT* part, LPARAM data) {
  auto* check = reinterpret_cast<CaptionCheck*>(data);
  if (Width(*part) >= check->needed && Height(*part) >= check->needed) {
    check->visible = true;
    return FALSE;  // stop: one monitor is enough
  }
  return TRUE;
}

}  // namespace

// ==== Positioning =========================================================================

BOOL WuWndCenter(HWND window, HWND reference, const POINT* point, UINT flags) {
  RECT own;
  if (!GetWindowRect(window, &own)) return FALSE;
  const LONG w = Width(own), h = Height(own);
  const bool is_child = (WuGetWindowStyle(window) & WS_CHILD) != 0;

  // The reference rectangle, in screen coordinates. A child window lives in
  // its parent's client area, so that is its reference on the parent.
  RECT ref = ScreenRect();
  if (flags & WUWC_PARENT) {
    HWND parent = GetParent(window);
    if (parent && !IsIconic(parent)) {
      bool client = is_child || (flags & WUWC_CLIENTRECT);
      if (!(client ? ClientRectOnScreen(parent, &ref) : GetWindowRect(parent, &ref)))
        ref = ScreenRect();
    }
  } else if (reference) {
    bool ok = (flags & WUWC_CLIENTRECT) ? ClientRectOnScreen(reference, &ref)
                                        : GetWindowRect(reference, &ref);
    if (!ok) ref = ScreenRect();
  }

  LONG x, y;
  POINT cursor{};
  switch (flags & WUWC_MODEMASK) {
    case WUWC_THIRD:
      x = (ref.left + ref.right - w) / 2;
      y = ref.top + Height(ref) / 3 - h / 3;
      break;
    case WUWC_ATCURSOR:
      GetCursorPos(&cursor);
      x = cursor.x - w / 2;
      y = cursor.y - h / 2;
      break;
    case WUWC_ATPOINT:
      if (point) {
        x = point->x - w / 2;
        y = point->y - h / 2;
        break;
      }
      [[fallthrough]];
    default:
      x = (ref.left + ref.right - w) / 2;
      y = (ref.top + ref.bottom - h) / 2;
      break;
  }

  // A child is positioned in its parent's client coordinates and may lie
  // anywhere there; a top-level window is kept on the desktop.
  HWND parent = is_child ? GetAncestor(window, GA_PARENT) : nullptr;
  if (parent) {
    POINT p{x, y};
    ScreenToClient(parent, &p);
    x = p.x;
    y = p.y;
  } else {
    RECT r{x, y, x + w, y + h};
    WuForceRectOntoDesktop(&r, 0, 0);
    x = r.left;
    y = r.top;
  }
  return SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WuForceRectOntoDesktop(RECT* rect, int margin_x, int margin_y) {
  if (!rect) return;
  ShiftInto(rect, Shrink(WorkAreaOf(*rect), margin_x, margin_y));
}

void WuForcePopupRectOntoDesktop(RECT* popup, const RECT* anchor, int margin_x, int margin_y) {
  if (!popup || !anchor) return;
  const RECT area = Shrink(WorkAreaOf(*anchor), margin_x, margin_y);
  const bool on_left = (anchor->left + anchor->right) / 2 <= (area.left + area.right) / 2;
  const bool on_top = (anchor->top + anchor->bottom) / 2 <= (area.top + area.bottom) / 2;
  const LONG w = Width(*popup), h = Height(*popup);

  // Diagonally away from the anchor, towards the area's centre.
  RECT placed;
  placed.left = on_left ? anchor->right : anchor->left - w;
  placed.top = on_top ? anchor->bottom : anchor->top - h;
  placed.right = placed.left + w;
  placed.bottom = placed.top + h;
  if (!Inside(placed, area)) WuForceRectOntoDesktop(&placed, margin_x, margin_y);
  *popup = placed;
}

BOOL WuIsWindowCaptionVisible(const RECT* window_rect) {
  if (!window_rect) return FALSE;
  const int caption = GetSystemMetrics(SM_CYSMCAPTION);
  RECT strip{window_rect->left, window_rect->top, window_rect->right, window_rect->top + caption};
  CaptionCheck check{std::max(caption / 2, 3), false};
  EnumDisplayMonitors(nullptr, &strip, CheckCaptionPart, reinterpret_cast<LPARAM>(&check));
  return check.visible ? TRUE : FALSE;
}

void WuFixWindowPlacement(WINDOWPLACEMENT* placement) {
  if (!placement) return;
  if (placement->showCmd == SW_SHOWMINIMIZED) placement->showCmd = SW_SHOWNORMAL;
  if (!WuIsWindowCaptionVisible(&placement->rcNormalPosition))
    WuForceRectOntoDesktop(&placement->rcNormalPosition, 0, 0);
}

int WuLoadWindowPlacement(HWUMETRIC store, int key, int mode, WINDOWPLACEMENT* placement) {
  if (!placement) return 1;
  const int size = static_cast<int>(sizeof(WINDOWPLACEMENT));
  const bool whole = WuGetMetricBinary(store, key, placement, size) == size;
  if (mode != WUWP_LOAD_OR_DEFAULT) return whole ? 0 : 1;
  if (whole && placement->ptMaxPosition.x < 0 && placement->ptMaxPosition.y < 0) return 0;

  // The default: normal, the primary work area less a sixteenth on each side.
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) work = ScreenRect();
  const LONG dx = Width(work) / 16, dy = Height(work) / 16;
  std::memset(placement, 0, sizeof(*placement));
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->flags = 0;
  placement->showCmd = SW_SHOWNORMAL;
  placement->ptMinPosition = POINT{-1, -1};
  placement->ptMaxPosition = POINT{-1, -1};
  placement->rcNormalPosition =
      RECT{work.left + dx, work.top + dy, work.right - dx, work.bottom - dy};
  return 1;
}

HRESULT WuWindowPlacement(HWND window, HWUMETRIC store, int key, int operation) {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  switch (operation) {
    case WUWP_SAVE:
      if (!GetWindowPlacement(window, &placement)) return E_FAIL;
      return WuSetMetricBinary(store, key, &placement, sizeof(placement));
    case WUWP_RESTORE:
    case WUWP_RESTORE_DEFAULT: {
      int loaded = WuLoadWindowPlacement(store, key, operation, &placement);
      if (operation == WUWP_RESTORE && loaded != 0) return 1;
      WuFixWindowPlacement(&placement);
      placement.length = sizeof(placement);
      if (!SetWindowPlacement(window, &placement)) return E_FAIL;
      return loaded;
    }
    default:
      return E_FAIL;
  }
}

// ==== Dialog controls =======================================================================

BOOL WuDlgDeltaControlMove(HWND dialog, int id, int dx, int dy) {
  HWND control = GetDlgItem(dialog, id);
  RECT r;
  if (!WuDlgGetControlRect(dialog, control, id, &r)) return FALSE;
  return SetWindowPos(control, nullptr, r.left + dx, r.top + dy, 0, 0,
                      SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WuDlgDeltaControlSize(HWND dialog, int id, int dcx, int dcy) {
  // The control's whole window grows by the delta: its window size is the
  // base, so a zero delta leaves a bordered control as it is.
  HWND control = GetDlgItem(dialog, id);
  RECT r;
  if (!control || !GetWindowRect(control, &r)) return FALSE;
  return SetWindowPos(control, nullptr, 0, 0, Width(r) + dcx, Height(r) + dcy,
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WuDlgEnableControls(HWND dialog, const int* ids, int count, BOOL enable) {
  if (!ids) return;
  for (int i = 0; i < count; ++i) {
    HWND control = GetDlgItem(dialog, ids[i]);
    if (control) EnableWindow(control, enable);
  }
}

void WuDlgShowControls(HWND dialog, const int* ids, int count, BOOL show) {
  if (!ids) return;
  for (int i = 0; i < count; ++i) {
    HWND control = GetDlgItem(dialog, ids[i]);
    if (control) ShowWindow(control, show ? SW_SHOWNA : SW_HIDE);
  }
}

int WuDlgWhichRadioButton(HWND dialog, int first, int last, int default_id) {
  for (int id = first; id <= last; ++id)
    if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) return id;
  return default_id;
}

BOOL WuDlgGetControlRect(HWND dialog, HWND control, int id, RECT* rect) {
  if (!rect) return FALSE;
  if (!control) control = GetDlgItem(dialog, id);
  if (!control || !GetWindowRect(control, rect)) {
    SetRectEmpty(rect);
    return FALSE;
  }
  POINT corners[2] = {{rect->left, rect->top}, {rect->right, rect->bottom}};
  MapWindowPoints(nullptr, dialog, corners, 2);
  *rect = RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  return TRUE;
}

BOOL WuIsMouseInControl(HWND dialog, int id, int x, int y, BOOL client) {
  HWND control = GetDlgItem(dialog, id);
  RECT r;
  if (!control) return FALSE;
  if (client ? !WuDlgGetControlRect(dialog, control, id, &r) : !GetWindowRect(control, &r))
    return FALSE;
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

BOOL WuSetHorizHookControlPos(HWND hook, HWND main, int hook_id, int main_id) {
  if (!main) main = GetParent(hook);
  HWND hook_control = GetDlgItem(hook, hook_id);
  HWND main_control = main ? GetDlgItem(main, main_id) : nullptr;
  RECT own, target;
  if (!hook_control || !main_control) return FALSE;
  if (!WuDlgGetControlRect(hook, hook_control, hook_id, &own) ||
      !WuDlgGetControlRect(hook, main_control, main_id, &target))
    return FALSE;
  return SetWindowPos(hook_control, nullptr, target.left, own.top, Width(target), Height(own),
                      SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WuLineupHookWithMainDialog(HWND hook, HWND main) {
  if (!main) main = GetParent(hook);
  RECT own, target;
  if (!GetWindowRect(hook, &own) || !main || !GetWindowRect(main, &target)) return FALSE;
  if (own.right >= target.right) return TRUE;
  SetWindowPos(hook, nullptr, 0, 0, target.right - own.left, Height(own),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return FALSE;
}

BOOL WuDlgUndropComboBox(LPARAM) {
  HWND focus = GetFocus();
  if (!focus) return FALSE;
  if (HasClass(focus, WC_COMBOBOXW) && SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0)) {
    SendMessageW(focus, CB_SHOWDROPDOWN, FALSE, 0);
    return TRUE;
  }
  if (HasClass(focus, WC_EDITW)) {
    HWND parent = GetParent(focus);
    if (parent) SendMessageW(parent, WM_NEXTDLGCTL, 0, 0);
  }
  return FALSE;
}

// ==== Windows and controls ====================================================================

BOOL WuGetRealClientRect(HWND window, RECT* rect) {
  if (!rect || !GetClientRect(window, rect)) return FALSE;
  DWORD style = WuGetWindowStyle(window);
  if (style & WS_HSCROLL) rect->bottom += GetSystemMetrics(SM_CYHSCROLL);
  if (style & WS_VSCROLL) rect->right += GetSystemMetrics(SM_CXVSCROLL);
  return TRUE;
}

BOOL WuGetToolbarSize(HWND toolbar, SIZE* size) {
  if (!size) return FALSE;
  size->cx = size->cy = 0;
  LRESULT count = SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    TBBUTTON button{};
    if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&button)))
      continue;
    if (button.fsState & TBSTATE_HIDDEN) continue;
    RECT r{};
    if (!SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i),
                      reinterpret_cast<LPARAM>(&r)))
      continue;
    size->cx += Width(r);
    size->cy = std::max(size->cy, Height(r));
  }
  return TRUE;
}

HWND WuCreateToolbarEmpty(HWULANG lang, HWND parent, DWORD style, UINT id) {
  HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, style | WS_CHILD, 0, 0, 0, 0,
                                 parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                 WuLang_InstFromLang(lang), nullptr);
  if (!toolbar) return nullptr;
  // The 32-bit button record's size.
  SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, 20, 0);
  return toolbar;
}

void Edit_CursorToEnd(HWND edit, BOOL add_line) {
  // EM_SETSEL with a start of -1 only drops the selection; the caret goes to
  // the end through the text's length.
  const WPARAM end = static_cast<WPARAM>(std::max(GetWindowTextLengthW(edit), 0));
  SendMessageW(edit, EM_SETSEL, end, static_cast<LPARAM>(end));
  if (!add_line) return;
  LRESULT line_start = SendMessageW(edit, EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
  if (line_start >= 0 && static_cast<WPARAM>(line_start) != end)
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"\r\n"));
}

void Edit_GetSelection(HWND edit, int* start, int* end) {
  DWORD a = 0xFFFFFFFFu, b = 0xFFFFFFFFu;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
  if (start) *start = static_cast<int>(a);
  if (end) *end = static_cast<int>(b);
}

DWORD WuGetWindowStyle(HWND window) {
  return static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
}

HWND WuActivatePrevAppInstance(LPCWSTR class_name) {
  if (!class_name) return nullptr;
  HWND window = FindWindowW(class_name, nullptr);
  if (!window) return nullptr;
  HWND popup = GetLastActivePopup(window);
  if (!popup) popup = window;
  if (IsIconic(popup)) {
    ShowWindow(popup, SW_RESTORE);
  } else {
    BringWindowToTop(window);
    SetForegroundWindow(popup);
  }
  return window;
}

HGLOBAL WuCopyHandle(HGLOBAL mem) {
  SIZE_T size = mem ? GlobalSize(mem) : 0;
  if (size == 0) return nullptr;
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return nullptr;
  const void* from = GlobalLock(mem);
  void* to = GlobalLock(copy);
  if (from && to) std::memcpy(to, from, size);
  if (from) GlobalUnlock(mem);
  if (to) GlobalUnlock(copy);
  if (!from || !to) {
    GlobalFree(copy);
    return nullptr;
  }
  return copy;
}

ATOM WuRegisterClass(const WNDCLASSW* wc) { return RegisterClassW(wc); }

BOOL WuUnregisterClass(LPCWSTR class_name, HINSTANCE instance) {
  if (!class_name) return FALSE;
  WNDCLASSW wc{};
  if (!GetClassInfoW(instance, class_name, &wc)) return FALSE;
  return UnregisterClassW(class_name, instance);
}

HRESULT WuOleInit(BOOL initialize) {
  if (initialize) {
    if (g_ole_initialized) return S_OK;
    // OLE initialisation of the calling thread: a single-threaded apartment.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_ole_initialized = SUCCEEDED(hr);
    return hr;
  }
  if (g_ole_initialized) {
    CoUninitialize();
    g_ole_initialized = false;
  }
  return S_OK;
}
