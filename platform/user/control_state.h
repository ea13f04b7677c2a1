// The per-window state record of the built-in controls (standard and
// common), kept in the window's first extra pointer. For the control
// sources of platform/ only.
#pragma once

#include <new>

#include "platform/user/windows.h"

namespace platform {

// The control's state record, or null before WM_NCCREATE / after
// WM_NCDESTROY.
template <class T>
T* StateOf(HWND hwnd) {
  return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}

// Makes the record on WM_NCCREATE; false when memory runs out.
template <class T>
bool CreateState(HWND hwnd) {
  T* state = new (std::nothrow) T;
  if (!state) return false;
  SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
  return true;
}

// Frees the record on WM_NCDESTROY.
template <class T>
void DestroyState(HWND hwnd) {
  delete StateOf<T>(hwnd);
  SetWindowLongPtrW(hwnd, 0, 0);
}

// Makes the record on WM_NCCREATE and frees it on WM_NCDESTROY. True, with
// the message's result in *result, when the message was one of the two.
template <class T>
bool ManageState(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  if (message == WM_NCCREATE) {
    *result = CreateState<T>(hwnd) ? DefWindowProcW(hwnd, message, wparam, lparam) : FALSE;
    return true;
  }
  if (message == WM_NCDESTROY) {
    DestroyState<T>(hwnd);
    *result = 0;
    return true;
  }
  return false;
}

}  // namespace platform
