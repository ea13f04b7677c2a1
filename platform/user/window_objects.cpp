// Creating and destroying windows.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

// ---- Creating and destroying -------------------------------------------------------------------

// The client size, the client origin and the WM_SIZE kind of a window;
// false when it is gone.
bool ClientGeometry(HWND hwnd, SIZE* size, POINT* origin, WPARAM* kind) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return false;
  *size = ClientSizeOf(*w);
  RECT in = InsetsOf(*w);
  *origin = POINT{w->rect.left + in.left, w->rect.top + in.top};
  *kind = SIZE_RESTORED;
  if (w->show_state == SW_SHOWMINIMIZED) *kind = SIZE_MINIMIZED;
  if (w->show_state == SW_SHOWMAXIMIZED) *kind = SIZE_MAXIMIZED;
  return true;
}

// WM_SIZE and WM_MOVE with the window's current client size and position.
void SendSizeAndMove(HWND hwnd) {
  SIZE size{};
  POINT origin{};
  WPARAM kind = SIZE_RESTORED;
  if (!ClientGeometry(hwnd, &size, &origin, &kind)) return;
  SendMessageW(hwnd, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
  SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
}

// A new system menu: the window commands, a separator and Close.
HMENU MakeSystemMenu() {
  HMENU menu = CreatePopupMenu();
  if (!menu) return nullptr;
  static const struct {
    UINT_PTR command;  // SC_* command
    LPCWSTR text;      // item text
  } kItems[] = {{SC_RESTORE, u"&Restore"}, {SC_MOVE, u"&Move"},         {SC_SIZE, u"&Size"},
                {SC_MINIMIZE, u"Mi&nimize"}, {SC_MAXIMIZE, u"Ma&ximize"}, {0, nullptr},
                {SC_CLOSE, u"&Close\tAlt+F4"}};
  for (const auto& item : kItems) {
    BOOL ok = item.text ? AppendMenuW(menu, MF_STRING, item.command, item.text)
                        : AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (!ok) {
      DestroyMenu(menu);
      return nullptr;
    }
  }
  return menu;
}

// TRUE when the window's system menu has Close greyed or disabled.
bool SystemCloseDisabled(HWND hwnd) {
  HMENU menu = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (std::shared_ptr<Window> w = FindLocked(m, hwnd)) menu = w->system_menu;
  }
  if (!menu) return false;
  UINT state = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & (MF_GRAYED | MF_DISABLED)) != 0;
}

// Drops a window record at once (failed creation): no messages.
void DiscardWindow(HWND hwnd) {
  HMENU system_menu = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (std::shared_ptr<Window> w = FindLocked(m, hwnd)) {
      system_menu = w->system_menu;
      w->system_menu = nullptr;
      EraseLocked(m, w);
    }
  }
  if (system_menu) DestroyMenu(system_menu);
  ReleaseWindowSurface(hwnd);
}

// Removes posted messages and timers of a window from its queue.
void PurgeQueue(const std::shared_ptr<MessageQueue>& queue, HWND hwnd) {
  if (!queue) return;
  std::lock_guard<std::mutex> guard(DispatcherLock());
  queue->posted.erase(std::remove_if(queue->posted.begin(), queue->posted.end(),
                                     [&](const MSG& msg) { return msg.hwnd == hwnd; }),
                      queue->posted.end());
  queue->timers.erase(std::remove_if(queue->timers.begin(), queue->timers.end(),
                                     [&](const Timer& t) { return t.hwnd == hwnd; }),
                      queue->timers.end());
}

// WM_DESTROY to the window, its children destroyed in turn, then
// WM_NCDESTROY and the record dropped.
void DestroyTree(HWND hwnd) {
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  std::vector<HWND> children;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return;
    children = w->children;
    for (HWND c : children)
      if (std::shared_ptr<Window> cw = FindLocked(m, c)) cw->destroying = true;
  }
  for (HWND c : children)
    if (IsWindow(c)) DestroyTree(c);
  std::shared_ptr<MessageQueue> queue;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (std::shared_ptr<Window> w = FindLocked(m, hwnd)) queue = QueueOfThreadLocked(m, w->thread_id);
  }
  PurgeQueue(queue, hwnd);
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  DiscardWindow(hwnd);
}

// After the active window went: activate its owner or another window of
// the thread.
void ActivateAnother(HWND gone, HWND owner) {
  HWND next = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    const DWORD me = GetCurrentThreadId();
    auto usable = [&](HWND h) {
      std::shared_ptr<Window> w = FindLocked(m, h);
      return w && h != gone && !w->destroying && w->thread_id == me &&
             (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
    };
    if (owner && usable(owner)) {
      next = owner;
    } else {
      for (HWND h : m.top_levels)
        if (usable(h)) {
          next = h;
          break;
        }
    }
  }
  SetActiveWindow(next);
}

}  // namespace window_model
}  // namespace platform
// ==== Creating and destroying =========================================================

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style,
                     int x, int y, int width, int height, HWND parent, HMENU menu,
                     HINSTANCE instance, LPVOID param) {
  platform::EnsureSystemClasses();
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  const bool child = (style & WS_CHILD) != 0;
  const bool message_only = parent == HWND_MESSAGE;
  if (!child && (x == CW_USEDEFAULT || width == CW_USEDEFAULT)) {
    RECT work = platform::PrimaryWork();
    if (x == CW_USEDEFAULT) {
      x = work.left + 32;
      y = work.top + 32;
    }
    if (width == CW_USEDEFAULT) {
      width = platform::Width(work) * 3 / 4;
      height = platform::Height(work) * 3 / 4;
    }
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) width = height = 0;
  width = std::max(width, 0);
  height = std::max(height, 0);

  HWND hwnd;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<platform::WindowClass> cls = platform::FindClassLocked(m, class_name, instance);
    if (!cls) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    HWND parent_window = nullptr;
    HWND owner = nullptr;
    if (!message_only && parent && !platform::IsDesktop(parent)) {
      if (!FindOrFailLocked(m, parent)) return nullptr;
      if (child) {
        parent_window = parent;
      } else {
        owner = platform::RootLocked(m, parent);
      }
    } else if (child && !message_only) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    auto w = std::make_shared<Window>();
    hwnd = platform::ToHwnd(m.next_handle);
    m.next_handle += platform::kHandleStep;
    w->handle = hwnd;
    w->cls = cls;
    w->thread_id = ts->id;
    w->proc = cls->wc.lpfnWndProc;
    w->style = style & ~WS_VISIBLE;
    w->ex_style = ex_style;
    w->parent = parent_window;
    w->owner = owner;
    w->message_only = message_only;
    w->has_menu = !child && menu != nullptr;
    w->menu = child ? nullptr : menu;
    w->id = child ? static_cast<LONG_PTR>(reinterpret_cast<uintptr_t>(menu)) : 0;
    w->instance = instance;
    w->rect = RECT{x, y, x + width, y + height};
    w->normal_rect = w->rect;
    w->extra.assign(static_cast<size_t>(cls->wc.cbWndExtra), 0);
    ++cls->windows;
    m.windows[platform::FromHwnd(hwnd)] = w;
    std::vector<HWND>* siblings = platform::SiblingsLocked(m, *w);
    if (child || message_only) {
      siblings->push_back(hwnd);
    } else {
      siblings->insert(siblings->begin(), hwnd);
      platform::SyncWindowEndpointLocked(m);
    }
  }

  CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x,
                   static_cast<LONG>(style), window_name, class_name, ex_style};
  CBT_CREATEWNDW cbt{&cs, HWND_TOP};
  if (platform::RunHooks(WH_CBT, HCBT_CREATEWND, reinterpret_cast<WPARAM>(hwnd),
                         reinterpret_cast<LPARAM>(&cbt)) != 0) {
    platform::DiscardWindow(hwnd);
    SetLastError(ERROR_CANCELLED);
    return nullptr;
  }
  {
    // A hook may have moved or sized the window.
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (std::shared_ptr<Window> w = FindLocked(m, hwnd)) {
      w->rect = RECT{cs.x, cs.y, cs.x + std::max(cs.cx, 0), cs.y + std::max(cs.cy, 0)};
      w->normal_rect = w->rect;
    }
  }
  if (!platform::CallProc(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs), true)) {
    platform::CallProc(hwnd, WM_NCDESTROY, 0, 0, true);
    platform::DiscardWindow(hwnd);
    return nullptr;
  }
  if (platform::CallProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs), true) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;
  platform::SendSizeAndMove(hwnd);
  if (child && !(ex_style & WS_EX_NOPARENTNOTIFY))
    SendMessageW(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, LOWORD(reinterpret_cast<uintptr_t>(menu))),
                 reinterpret_cast<LPARAM>(hwnd));
  if (style & WS_VISIBLE) {
    int show = (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED
               : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED
                                       : SW_SHOW;
    ShowWindow(hwnd, show);
  }
  return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL DestroyWindow(HWND window) {
  HWND parent = nullptr;
  HWND owner = nullptr;
  LONG_PTR id = 0;
  bool notify_parent = false;
  std::vector<HWND> owned_here;
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (platform::IsDesktop(window)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    if (w->thread_id != ts->id) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (w->destroying) return TRUE;
    parent = w->parent;
    owner = w->owner;
    id = w->id;
    notify_parent = parent && (w->style & WS_CHILD) && !(w->ex_style & WS_EX_NOPARENTNOTIFY);
  }
  if (platform::RunHooks(WH_CBT, HCBT_DESTROYWND, reinterpret_cast<WPARAM>(window), 0) != 0)
    return FALSE;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, window);
    if (!w || w->destroying) return TRUE;
    w->destroying = true;
    w->style &= ~WS_VISIBLE;
    for (auto& [value, other] : m.windows) {
      if (other->owner != window) continue;
      if (other->thread_id == ts->id) {
        owned_here.push_back(other->handle);
      } else {
        other->owner = nullptr;  // a window of another thread outlives its owner
      }
    }
  }
  for (HWND h : owned_here) DestroyWindow(h);

  // Focus and activation leave the window before it goes.
  HWND focus = nullptr;
  HWND active = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    focus = ts->focus;
    active = ts->active;
    if (focus && (focus == window || platform::IsDescendantLocked(m, focus, window))) {
      ts->focus = nullptr;
    } else {
      focus = nullptr;
    }
  }
  if (focus) SendMessageW(focus, WM_KILLFOCUS, 0, 0);
  if (active == window) platform::ActivateAnother(window, owner);

  if (notify_parent)
    SendMessageW(parent, WM_PARENTNOTIFY, MAKEWPARAM(WM_DESTROY, LOWORD(static_cast<uintptr_t>(id))),
                 reinterpret_cast<LPARAM>(window));
  platform::DestroyTree(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  if (platform::IsDesktop(window)) return TRUE;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return FindLocked(m, window) != nullptr;
}
