// The progress bar.
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

}  // namespace

void RegisterProgressBarClass() { Register(PROGRESS_CLASSW, ProgressProc); }

}  // namespace platform
