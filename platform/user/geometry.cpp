// Window geometry: positions and sizes, z-order and coordinate mapping.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Geometry ===============================================================================

BOOL GetWindowRect(HWND window, RECT* rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (platform::IsDesktop(window)) {
    *rect = platform::PrimaryRect();
    return TRUE;
  }
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  *rect = platform::ScreenRectLocked(m, *w);
  return TRUE;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (platform::IsDesktop(window)) {
    RECT r = platform::PrimaryRect();
    *rect = RECT{0, 0, platform::Width(r), platform::Height(r)};
    return TRUE;
  }
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  SIZE size = platform::ClientSizeOf(*w);
  *rect = RECT{0, 0, size.cx, size.cy};
  return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD ex_style) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  RECT in = platform::FrameInsets(style, ex_style, menu != FALSE);
  rect->left -= in.left;
  rect->top -= in.top;
  rect->right += in.right;
  rect->bottom += in.bottom;
  return TRUE;
}

namespace platform {
inline namespace window_model {

// The client origin of a window in screen coordinates (NULL and the
// desktop: 0, 0); FALSE for a bad window.
bool ClientOrigin(HWND hwnd, POINT* origin) {
  *origin = POINT{0, 0};
  if (!hwnd || IsDesktop(hwnd)) return true;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (!FindOrFailLocked(m, hwnd)) return false;
  *origin = ClientOriginLocked(m, hwnd);
  return true;
}

}  // namespace window_model
}  // namespace platform

BOOL ClientToScreen(HWND window, POINT* point) {
  POINT o;
  if (!point || !window || !platform::ClientOrigin(window, &o)) return FALSE;
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
  POINT o;
  if (!point || !window || !platform::ClientOrigin(window, &o)) return FALSE;
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
  POINT a, b;
  SetLastError(ERROR_SUCCESS);
  if (!platform::ClientOrigin(from, &a) || !platform::ClientOrigin(to, &b)) return 0;
  int dx = a.x - b.x, dy = a.y - b.y;
  for (UINT i = 0; points && i < count; ++i) {
    points[i].x += dx;
    points[i].y += dy;
  }
  return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

namespace platform {
inline namespace window_model {

// Puts a window at its place among its siblings.
void ReorderLocked(Model& m, Window& w, HWND after) {
  std::vector<HWND>* list = SiblingsLocked(m, w);
  if (!list) return;
  list->erase(std::remove(list->begin(), list->end(), w.handle), list->end());
  if (after == HWND_BOTTOM) {
    list->push_back(w.handle);
    return;
  }
  if (after == HWND_TOPMOST) w.ex_style |= WS_EX_TOPMOST;
  if (after == HWND_NOTOPMOST) w.ex_style &= ~WS_EX_TOPMOST;
  auto it = list->begin();
  if (after != HWND_TOP && after != HWND_TOPMOST && after != HWND_NOTOPMOST) {
    auto found = std::find(list->begin(), list->end(), after);
    if (found != list->end()) it = found + 1;
  }
  list->insert(it, w.handle);
}

HWND ActiveOfThisThread() {
  std::shared_ptr<ThreadState> ts = EnsureThread();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return ts->active;
}

}  // namespace window_model
}  // namespace platform

BOOL SetWindowPos(HWND window, HWND insert_after, int x, int y, int width, int height,
                  UINT flags) {
  WINDOWPOS pos{window, insert_after, x, y, width, height, flags};
  bool top_level = false, mine = false;
  HWND owner = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    if (flags & SWP_NOMOVE) {
      pos.x = w->rect.left;
      pos.y = w->rect.top;
    }
    if (flags & SWP_NOSIZE) {
      pos.cx = platform::Width(w->rect);
      pos.cy = platform::Height(w->rect);
    }
    top_level = !(w->style & WS_CHILD) && !w->message_only;
    mine = w->thread_id == GetCurrentThreadId();
    owner = w->owner;
  }
  if (!(flags & SWP_NOSENDCHANGING))
    SendMessageW(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
  flags = pos.flags;
  std::shared_ptr<platform::MessageQueue> hint;
  bool hidden = false, visible = false;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, window);
    if (!w) return FALSE;
    RECT old = w->rect;
    if (!(flags & SWP_NOMOVE)) OffsetRect(&w->rect, pos.x - w->rect.left, pos.y - w->rect.top);
    if (!(flags & SWP_NOSIZE)) {
      w->rect.right = w->rect.left + std::max(pos.cx, 0);
      w->rect.bottom = w->rect.top + std::max(pos.cy, 0);
    }
    if (!(flags & SWP_NOZORDER)) platform::ReorderLocked(m, *w, pos.hwndInsertAfter);
    bool shown = false;
    if ((flags & SWP_SHOWWINDOW) && !(w->style & WS_VISIBLE)) {
      w->style |= WS_VISIBLE;
      shown = true;
    }
    if ((flags & SWP_HIDEWINDOW) && (w->style & WS_VISIBLE)) {
      w->style &= ~WS_VISIBLE;
      hidden = true;
    }
    bool changed = !EqualRect(&old, &w->rect);
    if (shown || (changed && !(flags & SWP_NOREDRAW)) || (flags & SWP_FRAMECHANGED))
      hint = platform::InvalidateLocked(m, *w, nullptr, true);
    if (w->show_state == SW_SHOWNORMAL) w->normal_rect = w->rect;
    visible = (w->style & WS_VISIBLE) != 0;
  }
  platform::HintPaint(hint);
  SendMessageW(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  if (mine && top_level) {
    if (hidden && platform::ActiveOfThisThread() == window) {
      platform::ActivateAnother(window, owner);
    } else if (visible && !(flags & (SWP_NOACTIVATE | SWP_HIDEWINDOW))) {
      SetActiveWindow(window);
    }
  }
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND window) {
  return SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT* placement) {
  if (!placement) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  placement->length = sizeof(WINDOWPLACEMENT);
  placement->flags = 0;
  placement->showCmd = static_cast<UINT>(w->show_state);
  placement->ptMinPosition = w->min_pos;
  placement->ptMaxPosition = w->max_pos;
  placement->rcNormalPosition = w->show_state == SW_SHOWNORMAL ? w->rect : w->normal_rect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND window, const WINDOWPLACEMENT* placement) {
  if (!placement || placement->length != sizeof(WINDOWPLACEMENT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool normal;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    w->min_pos = placement->ptMinPosition;
    w->max_pos = placement->ptMaxPosition;
    w->normal_rect = placement->rcNormalPosition;
    normal = w->show_state == SW_SHOWNORMAL;
  }
  const RECT& r = placement->rcNormalPosition;
  UINT show = placement->showCmd;
  bool to_min = show == SW_SHOWMINIMIZED || show == SW_MINIMIZE || show == SW_SHOWMINNOACTIVE ||
                show == SW_FORCEMINIMIZE;
  bool to_max = show == SW_SHOWMAXIMIZED;
  if (normal || (!to_min && !to_max)) {
    if (!normal) ShowWindow(window, SW_SHOWNOACTIVATE);  // restores to the new normal rectangle
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowWindow(window, static_cast<int>(show));
  return TRUE;
}
