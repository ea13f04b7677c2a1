// The phase-scope control: the window class, the instance's lifecycle, the
// private message handler shared by the window and hosted forms, and the
// exported wrappers. Drawing lives in WuScopeDraw.cpp.
#include "shellui/WuScope.h"

#include <cmath>
#include <cstring>

#include "foundation/WuResMenu.h"
#include "platform/kernel/memory.h"
#include "platform/user/dialogs.h"
#include "shellui/WuScopeDraw.h"

namespace {

constexpr UINT kClassStyle = 0x400B;  // CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS
constexpr LRESULT kHitTransparent = -1;

bool IsHosted(const tSCOPEINST* inst) { return (inst->state & SCOPE_STATE_HOSTED) != 0; }

// After a change: a window instance invalidates its bounds (no erase) and,
// with the update-now flag, updates at once. Hosted instances are left to
// the host.
void Repaint(tSCOPEINST* inst, bool updateNow) {
  if (IsHosted(inst)) return;
  InvalidateRect(inst->window, &inst->bounds, FALSE);
  if (updateNow && inst->window) UpdateWindow(inst->window);
}

// The common initialisation of both forms.
void Initialize(tSCOPEINST* inst, HWND window, const CREATESTRUCTW* create) {
  inst->window = window;
  inst->style = static_cast<DWORD>(create->style);
  inst->controlId = static_cast<DWORD>(reinterpret_cast<uintptr_t>(create->hMenu));
  if (window == create->hwndParent) {
    inst->state |= SCOPE_STATE_HOSTED;
    inst->notifyWindow = window;
  } else {
    inst->state &= ~SCOPE_STATE_HOSTED;
    inst->notifyWindow = create->hwndParent != GetParent(window) ? create->hwndParent : nullptr;
  }
  inst->font = nullptr;
  inst->count = 1;
  inst->colors = inst->ticks = nullptr;
  inst->colorCount = inst->tickCount = 0;
  if (HDC dc = GetDC(window)) {
    inst->memDC = CreateCompatibleDC(dc);
    if (inst->memDC) {
      ScopeWidenRect(&inst->bounds);
      if (!ScopeRebuild(inst)) ScopeRelease(inst);
    }
    ReleaseDC(window, dc);
  }
  ScopeChooseMath(inst);
}

// Stores new bounds and rebuilds; 1 when unchanged.
BOOL MoveTo(tSCOPEINST* inst, RECT rect) {
  ScopeWidenRect(&rect);
  if (EqualRect(&rect, &inst->bounds)) return 1;
  inst->bounds = rect;
  inst->boundsWidth = rect.right - rect.left;
  inst->boundsHeight = rect.bottom - rect.top;
  return ScopeRebuild(inst);
}

LRESULT Forward(tSCOPEINST* inst, UINT message, WPARAM wparam, LPARAM lparam) {
  HWND to = inst->notifyWindow ? inst->notifyWindow : GetParent(inst->window);
  if (to) SendMessageW(to, message, wparam, lparam);
  return 0;
}

// The private messages (0x600 and up).
LRESULT Private(tSCOPEINST* inst, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case SCOPEM_SETPOS:
      if (!lparam) return 0;
      ScopePlot(inst, reinterpret_cast<const tSCOPEPLOT*>(lparam));
      Repaint(inst, false);
      return 0;
    case SCOPEM_SETRANGE:
      if (!lparam) return 0;
      inst->range = *reinterpret_cast<const float*>(lparam);
      Repaint(inst, false);
      return 0;
    case SCOPEM_SETCOLORS:
      inst->colors = reinterpret_cast<const void*>(lparam);
      inst->colorCount = HIWORD(wparam);
      Repaint(inst, false);
      return 0;
    case SCOPEM_SETTICKS:
      inst->ticks = reinterpret_cast<const void*>(lparam);
      inst->tickCount = HIWORD(wparam);
      Repaint(inst, false);
      return 0;
    case SCOPEM_GETSTYLE:
      return inst->style & 0xFFFF;
    case SCOPEM_SETSTYLE: {
      DWORD bits = LOWORD(wparam);
      DWORD style = lparam ? (inst->style | bits) : (inst->style & ~bits);
      if (style != inst->style) {
        DWORD changed = style ^ inst->style;
        inst->style = style;
        if (changed & SCOPES_FASTMATH) ScopeChooseMath(inst);
        ScopeRebuildBackdrop(inst);
        Repaint(inst, false);
      }
      return inst->style & 0xFFFF;
    }
    case SCOPEM_GETCOUNT:
      return inst->count;
    case SCOPEM_SETCOUNT: {
      bool updateNow = LOWORD(wparam) != 0;
      LONG count = static_cast<LONG>(lparam);
      if (count != inst->count) {
        inst->count = count;
        Repaint(inst, updateNow);
      } else if (updateNow && !IsHosted(inst) && inst->window) {
        UpdateWindow(inst->window);
      }
      return count;
    }
    case SCOPEM_SETFADE:
      if (!lparam) return 0;
      inst->fade = std::sqrt(*reinterpret_cast<const float*>(lparam));
      Repaint(inst, false);
      return 0;
    case SCOPEM_SETENABLED: {
      bool was = (inst->state & SCOPE_STATE_ENABLED) != 0;
      if (lparam & 1)
        inst->state |= SCOPE_STATE_ENABLED;
      else
        inst->state &= ~SCOPE_STATE_ENABLED;
      return was ? -1 : 0;
    }
    case SCOPEM_RESET:
      ScopeReset(inst);
      Repaint(inst, LOWORD(wparam) != 0);
      return 0;
    default:
      return 0;
  }
}

}  // namespace

// ---- Window class ----

BOOL ScopeInitialize(HINSTANCE instance, LPCWSTR className) {
  WNDCLASSW wc = {};
  wc.style = kClassStyle;
  wc.lpfnWndProc = ScopeWndProc;
  wc.hInstance = instance;
  wc.hCursor = WuLoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = className;
  return RegisterClassW(&wc) != 0 ? 1 : 0;
}

BOOL ScopeTerminate(HINSTANCE instance, LPCWSTR className) {
  return UnregisterClassW(className, instance);
}

LRESULT ScopeWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* inst = reinterpret_cast<tSCOPEINST*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!inst) {
    if (message != WM_CREATE) return DefWindowProcW(window, message, wparam, lparam);
    inst = static_cast<tSCOPEINST*>(LocalAlloc(LPTR, sizeof(tSCOPEINST)));
    if (!inst) return -1;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(inst));
    Initialize(inst, window, reinterpret_cast<const CREATESTRUCTW*>(lparam));
    return 0;
  }
  if (message >= 0x600) return Private(inst, message, wparam, lparam);
  switch (message) {
    case WM_CREATE:
    case WM_ERASEBKGND:
      return 0;
    case WM_DESTROY:
      ScopeRelease(inst);
      LocalFree(inst);
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return 0;
    case WM_SIZE: {
      RECT client = {};
      GetClientRect(window, &client);
      MoveTo(inst, client);
      return 0;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      if (dc) ScopePaint(inst, dc, nullptr, 0);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_WININICHANGE:
      if (!IsHosted(inst)) InvalidateRect(window, &inst->bounds, FALSE);
      return 0;
    case WM_SETFONT:
      inst->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(inst->font);
    case WM_CONTEXTMENU:
    case WM_ENTERIDLE:
      return Forward(inst, message, wparam, lparam);
    case WM_NCHITTEST:
      return kHitTransparent;
    case WM_GETDLGCODE:
      return DLGC_STATIC;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

// ---- Window wrappers ----

LRESULT WuScope_SetPos(HWND window, const tSCOPEPLOT* block) {
  return SendMessageW(window, SCOPEM_SETPOS, 0, reinterpret_cast<LPARAM>(block));
}
LRESULT WuScope_SetRange(HWND window, const float* range) {
  return SendMessageW(window, SCOPEM_SETRANGE, 0, reinterpret_cast<LPARAM>(range));
}
LRESULT WuScope_SetColors(HWND window, int count, const void* table) {
  return SendMessageW(window, SCOPEM_SETCOLORS, static_cast<WPARAM>(count) << 16,
                      reinterpret_cast<LPARAM>(table));
}
LRESULT WuScope_SetTicks(HWND window, int count, const void* table) {
  return SendMessageW(window, SCOPEM_SETTICKS, static_cast<WPARAM>(count) << 16,
                      reinterpret_cast<LPARAM>(table));
}
LRESULT WuScope_GetStyle(HWND window) { return SendMessageW(window, SCOPEM_GETSTYLE, 0, 0); }
LRESULT WuScope_SetStyle(HWND window, DWORD bits, BOOL set) {
  return SendMessageW(window, SCOPEM_SETSTYLE, bits, set);
}
LRESULT WuScope_GetCount(HWND window) { return SendMessageW(window, SCOPEM_GETCOUNT, 0, 0); }
LRESULT WuScope_SetCount(HWND window, int count, BOOL updateNow) {
  return SendMessageW(window, SCOPEM_SETCOUNT, 0x10000 + (updateNow & 0xFFFF), count);
}
LRESULT WuScope_SetFade(HWND window, const float* fade) {
  return SendMessageW(window, SCOPEM_SETFADE, 0, reinterpret_cast<LPARAM>(fade));
}
LRESULT WuScope_SetEnabled(HWND window, BOOL enabled) {
  return SendMessageW(window, SCOPEM_SETENABLED, 0, enabled);
}
LRESULT WuScope_Reset(HWND window, LPARAM value, BOOL updateNow) {
  return SendMessageW(window, SCOPEM_RESET, updateNow & 0xFFFF, value);
}

// ---- Hosted instances ----

int ScopeInst_GetSize() { return static_cast<int>(sizeof(tSCOPEINST)); }

BOOL ScopeInst_Init(tSCOPEINST* inst, DWORD style, const RECT* rect, HWND host, DWORD id) {
  if (!inst) return 0;
  // The caller's memory may hold anything: start from an empty record.
  std::memset(static_cast<void*>(inst), 0, sizeof(*inst));
  CREATESTRUCTW create = {};
  if (rect) {
    create.x = rect->left;
    create.y = rect->top;
    create.cx = rect->right - rect->left;
    create.cy = rect->bottom - rect->top;
  }
  create.style = static_cast<LONG>(style);
  create.hwndParent = host;
  create.hMenu = reinterpret_cast<HMENU>(static_cast<uintptr_t>(id));
  Initialize(inst, host, &create);
  return 1;
}

BOOL ScopeInst_Move(tSCOPEINST* inst, const RECT* rect) {
  if (!inst || !rect) return 0;
  return MoveTo(inst, *rect);
}

BOOL ScopeInst_Draw(tSCOPEINST* inst, HDC dc, SCOPEBKGNDPROC background, LPARAM user) {
  if (!inst) return 0;
  ScopePaint(inst, dc, background, user);
  return 1;
}

LRESULT ScopeInst_Message(tSCOPEINST* inst, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!inst) return 0;
  if (message >= 0x600) return Private(inst, message, wparam, lparam);
  switch (message) {
    case WM_SYSCOLORCHANGE:
    case WM_WININICHANGE:
      ScopeRebuild(inst);
      return 0;
    case WM_SETFONT:
      inst->font = reinterpret_cast<HFONT>(wparam);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(inst->font);
    case WM_CONTEXTMENU:
    case WM_ENTERIDLE:
      return Forward(inst, message, wparam, lparam);
    case WM_NCHITTEST:
      return kHitTransparent;
    default:
      return 0;
  }
}

tSCOPEINST* ScopeInst_SetOwnerHwnd(tSCOPEINST* inst, HWND window) {
  if (inst && IsHosted(inst)) inst->window = inst->notifyWindow = window;
  return inst;
}

void ScopeInst_Deinit(tSCOPEINST* inst) {
  if (inst) ScopeRelease(inst);
}

// ---- Instance wrappers ----

LRESULT ScopeInst_SetPos(tSCOPEINST* inst, const tSCOPEPLOT* block) {
  return ScopeInst_Message(inst, SCOPEM_SETPOS, 0, reinterpret_cast<LPARAM>(block));
}
LRESULT ScopeInst_SetRange(tSCOPEINST* inst, const float* range) {
  return ScopeInst_Message(inst, SCOPEM_SETRANGE, 0, reinterpret_cast<LPARAM>(range));
}
LRESULT ScopeInst_SetColors(tSCOPEINST* inst, int count, const void* table) {
  return ScopeInst_Message(inst, SCOPEM_SETCOLORS, static_cast<WPARAM>(count) << 16,
                           reinterpret_cast<LPARAM>(table));
}
LRESULT ScopeInst_SetTicks(tSCOPEINST* inst, int count, const void* table) {
  return ScopeInst_Message(inst, SCOPEM_SETTICKS, static_cast<WPARAM>(count) << 16,
                           reinterpret_cast<LPARAM>(table));
}
LRESULT ScopeInst_GetStyle(tSCOPEINST* inst) {
  return ScopeInst_Message(inst, SCOPEM_GETSTYLE, 0, 0);
}
LRESULT ScopeInst_SetStyle(tSCOPEINST* inst, DWORD bits, BOOL set) {
  return ScopeInst_Message(inst, SCOPEM_SETSTYLE, bits, set);
}
LRESULT ScopeInst_GetCount(tSCOPEINST* inst) {
  return ScopeInst_Message(inst, SCOPEM_GETCOUNT, 0, 0);
}
LRESULT ScopeInst_SetCount(tSCOPEINST* inst, int count, BOOL updateNow) {
  return ScopeInst_Message(inst, SCOPEM_SETCOUNT, 0x10000 + (updateNow & 0xFFFF), count);
}
LRESULT ScopeInst_SetFade(tSCOPEINST* inst, const float* fade) {
  return ScopeInst_Message(inst, SCOPEM_SETFADE, 0, reinterpret_cast<LPARAM>(fade));
}
LRESULT ScopeInst_SetEnabled(tSCOPEINST* inst, BOOL enabled) {
  return ScopeInst_Message(inst, SCOPEM_SETENABLED, 0, enabled);
}
LRESULT ScopeInst_Reset(tSCOPEINST* inst, LPARAM value, BOOL updateNow) {
  return ScopeInst_Message(inst, SCOPEM_RESET, updateNow & 0xFFFF, value);
}
