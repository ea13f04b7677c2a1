// The menu bar of a top-level window: GetMenu, SetMenu and DrawMenuBar.
#include "platform/kernel/error.h"
#include "platform/user/menu.h"
#include "platform/user/window_internal.h"

HMENU GetMenu(HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w || (w->style & WS_CHILD)) return nullptr;
  return w->menu;
}

BOOL SetMenu(HWND window, HMENU menu) {
  if (menu && !IsMenu(menu)) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  bool changed = false;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    if (w->style & WS_CHILD) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    changed = w->has_menu != (menu != nullptr);
    w->menu = menu;
    w->has_menu = menu != nullptr;
  }
  // The bar takes room from the client area (or gives it back).
  if (changed)
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return TRUE;
}

BOOL DrawMenuBar(HWND window) { return IsWindow(window) ? TRUE : FALSE; }
