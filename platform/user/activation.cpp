// Visibility and show state, enabling, focus and activation, and the
// keyboard and mouse state.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Visibility, state, focus and activation ======================================================

namespace platform {
inline namespace window_model {

// The rectangle a maximised window takes.
RECT MaximizedRect(HWND hwnd) {
  HWND parent = nullptr;
  RECT insets{};
  RECT screen{};
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return RECT{};
    insets = InsetsOf(*w);
    if (w->style & WS_CHILD) parent = w->parent;
    screen = ScreenRectLocked(m, *w);
  }
  RECT area;
  if (parent) {
    GetClientRect(parent, &area);
  } else {
    area = WorkAreaOfMonitor(MonitorFromRect(&screen, MONITOR_DEFAULTTONEAREST));
  }
  // The frame lies beyond the area; the caption stays inside.
  int border = insets.left;
  return RECT{area.left - border, area.top - border, area.right + border, area.bottom + border};
}

void ChangeShowState(HWND hwnd, int state, const RECT& rect) {
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return;
    if (w->show_state == SW_SHOWNORMAL) w->normal_rect = w->rect;
    w->show_state = state;
  }
  SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace window_model
}  // namespace platform

BOOL ShowWindow(HWND window, int command) {
  bool was_visible, top_level, mine;
  int state;
  HWND owner;
  RECT normal;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    was_visible = (w->style & WS_VISIBLE) != 0;
    top_level = !(w->style & WS_CHILD) && !w->message_only;
    mine = w->thread_id == GetCurrentThreadId();
    state = w->show_state;
    owner = w->owner;
    normal = w->normal_rect;
  }
  constexpr UINT kQuiet = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  if (command == SW_HIDE) {
    if (!was_visible) return FALSE;
    SendMessageW(window, WM_SHOWWINDOW, FALSE, 0);
    SetWindowPos(window, nullptr, 0, 0, 0, 0, kQuiet | SWP_HIDEWINDOW);
    return TRUE;
  }
  bool activate = true;
  if (!was_visible) SendMessageW(window, WM_SHOWWINDOW, TRUE, 0);
  switch (command) {
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
    case SW_FORCEMINIMIZE: {
      if (state != SW_SHOWMINIMIZED) {
        int cx = GetSystemMetrics(SM_CXMINIMIZED), cy = GetSystemMetrics(SM_CYMINIMIZED);
        RECT r{platform::kMinimizedPosition, platform::kMinimizedPosition,
               platform::kMinimizedPosition + cx, platform::kMinimizedPosition + cy};
        platform::ChangeShowState(window, SW_SHOWMINIMIZED, r);
      }
      activate = command == SW_SHOWMINIMIZED;
      break;
    }
    case SW_SHOWMAXIMIZED:
      if (state != SW_SHOWMAXIMIZED)
        platform::ChangeShowState(window, SW_SHOWMAXIMIZED, platform::MaximizedRect(window));
      break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
    case SW_SHOWNOACTIVATE:
      if (state != SW_SHOWNORMAL) platform::ChangeShowState(window, SW_SHOWNORMAL, normal);
      activate = command != SW_SHOWNOACTIVATE;
      break;
    case SW_SHOWNA:
      activate = false;
      break;
    default:  // SW_SHOW
      break;
  }
  SetWindowPos(window, nullptr, 0, 0, 0, 0, kQuiet | SWP_SHOWWINDOW);
  if (mine && top_level) {
    if (activate) {
      SetActiveWindow(window);
    } else if ((command == SW_MINIMIZE || command == SW_SHOWMINNOACTIVE) &&
               platform::ActiveOfThisThread() == window) {
      platform::ActivateAnother(window, owner);
    }
  }
  return was_visible ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
  if (platform::IsDesktop(window)) return TRUE;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, window);
  if (!w) return FALSE;
  for (; w; w = w->parent ? FindLocked(m, w->parent) : nullptr)
    if (!(w->style & WS_VISIBLE)) return FALSE;
  return TRUE;
}

BOOL IsIconic(HWND window) {
  std::shared_ptr<Window> w = platform::Find(window);
  return w && w->show_state == SW_SHOWMINIMIZED ? TRUE : FALSE;
}

BOOL IsZoomed(HWND window) {
  std::shared_ptr<Window> w = platform::Find(window);
  return w && w->show_state == SW_SHOWMAXIMIZED ? TRUE : FALSE;
}

BOOL EnableWindow(HWND window, BOOL enable) {
  bool was_disabled;
  HWND lose_focus = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    was_disabled = (w->style & WS_DISABLED) != 0;
    if (was_disabled == !enable) return was_disabled ? TRUE : FALSE;
    if (enable) {
      w->style &= ~WS_DISABLED;
    } else {
      w->style |= WS_DISABLED;
      // A disabled window cannot keep the keyboard focus.
      auto it = m.threads.find(w->thread_id);
      if (it != m.threads.end()) {
        HWND focus = it->second->focus;
        if (focus && (focus == window || platform::IsDescendantLocked(m, focus, window))) {
          if (w->thread_id == GetCurrentThreadId()) {
            lose_focus = focus;
          } else {
            it->second->focus = nullptr;
          }
        }
      }
    }
  }
  if (lose_focus) SetFocus(nullptr);
  SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return was_disabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND window) {
  std::shared_ptr<Window> w = platform::Find(window);
  return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetActiveWindow(HWND window) {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  HWND old;
  bool minimized = false;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (window) {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return nullptr;
      window = platform::RootLocked(m, window);
      w = FindLocked(m, window);
      if (w->thread_id != ts->id || w->destroying) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
      }
      minimized = w->show_state == SW_SHOWMINIMIZED;
    }
    old = ts->active;
    if (old && !FindLocked(m, old)) old = nullptr;
    if (old == window) return old;
  }
  CBTACTIVATESTRUCT cbt{FALSE, old};
  if (window && platform::RunHooks(WH_CBT, HCBT_ACTIVATE, reinterpret_cast<WPARAM>(window),
                                   reinterpret_cast<LPARAM>(&cbt)) != 0)
    return nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    ts->active = window;
    if (window) {
      if (std::shared_ptr<Window> w = FindLocked(m, window)) {
        // The new active window comes to the front and is remembered as its
        // owner's last active pop-up.
        if (!w->parent) platform::ReorderLocked(m, *w, HWND_TOP);
        if (w->owner)
          if (std::shared_ptr<Window> o = FindLocked(m, platform::RootLocked(m, w->owner)))
            o->last_active_popup = window;
      }
      m.foreground = window;
    } else if (m.foreground == old) {
      m.foreground = nullptr;
    }
    if (!window) ts->focus = nullptr;
  }
  if (old && IsWindow(old)) {
    SendMessageW(old, WM_NCACTIVATE, FALSE, 0);
    SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, IsIconic(old) ? 1 : 0),
                 reinterpret_cast<LPARAM>(window));
  }
  if (window && IsWindow(window)) {
    SendMessageW(window, WM_NCACTIVATE, TRUE, 0);
    SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized ? 1 : 0),
                 reinterpret_cast<LPARAM>(old));
  }
  return old;
}

HWND GetActiveWindow() { return platform::ActiveOfThisThread(); }

BOOL SetForegroundWindow(HWND window) {
  DWORD thread_id;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    window = platform::RootLocked(m, window);
    thread_id = FindLocked(m, window)->thread_id;
    m.foreground = window;
    if (thread_id != GetCurrentThreadId()) {
      // Another thread's window becomes its thread's active window without
      // messages: the model has one user and no input to reorder.
      auto it = m.threads.find(thread_id);
      if (it != m.threads.end()) it->second->active = window;
      return TRUE;
    }
  }
  SetActiveWindow(window);
  return TRUE;
}

HWND GetForegroundWindow() {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (m.foreground && !FindLocked(m, m.foreground)) m.foreground = nullptr;
  return m.foreground;
}

HWND SetFocus(HWND window) {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  HWND old;
  HWND root = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (window) {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return nullptr;
      if (w->thread_id != ts->id) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
      }
      root = platform::RootLocked(m, window);
    }
    old = ts->focus;
    if (old && !FindLocked(m, old)) old = nullptr;
    if (old == window) return old;
  }
  if (platform::RunHooks(WH_CBT, HCBT_SETFOCUS, reinterpret_cast<WPARAM>(window),
                         reinterpret_cast<LPARAM>(old)) != 0)
    return nullptr;
  if (root && platform::ActiveOfThisThread() != root) {
    SetActiveWindow(root);  // may move the focus itself (WM_ACTIVATE)
  }
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    old = ts->focus;
    if (old && !FindLocked(m, old)) old = nullptr;
    if (old == window) return old;
    ts->focus = window;
  }
  if (old) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
  if (window && IsWindow(window)) {
    Model& m = M();
    bool still;
    {
      std::lock_guard<std::mutex> guard(m.lock);
      still = ts->focus == window;
    }
    if (still) SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetFocus() {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (ts->focus && !FindLocked(m, ts->focus)) ts->focus = nullptr;
  return ts->focus;
}

HWND SetCapture(HWND window) {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  HWND old = ts->capture;
  ts->capture = window && FindLocked(m, window) ? window : nullptr;
  return old;
}

BOOL ReleaseCapture() {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  ts->capture = nullptr;
  return TRUE;
}

HWND GetCapture() {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return ts->capture && FindLocked(m, ts->capture) ? ts->capture : nullptr;
}

// ==== Keyboard and mouse state ======================================================================

SHORT GetKeyState(int virtual_key) {
  platform::Settings& s = platform::S();
  std::lock_guard<std::mutex> guard(s.lock);
  int vk = virtual_key & 0xFF;
  bool down = s.keys_down[vk] != 0;
  if (vk == VK_SHIFT) down = down || s.keys_down[VK_LSHIFT] || s.keys_down[VK_RSHIFT];
  if (vk == VK_CONTROL) down = down || s.keys_down[VK_LCONTROL] || s.keys_down[VK_RCONTROL];
  return down ? static_cast<SHORT>(0x8000 | 0x0001) : 0;
}

SHORT GetAsyncKeyState(int virtual_key) {
  return static_cast<SHORT>(GetKeyState(virtual_key) & 0x8000);
}

BOOL GetCursorPos(POINT* point) {
  if (!point) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::Settings& s = platform::S();
  std::lock_guard<std::mutex> guard(s.lock);
  *point = s.cursor;
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  platform::Settings& s = platform::S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.cursor = POINT{x, y};
  return TRUE;
}
