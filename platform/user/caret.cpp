// The per-thread caret.

#include "platform/user/caret.h"

#include "platform/kernel/error.h"
#include "platform/kernel/threads.h"

namespace {

// The calling thread's caret. A caret whose owner is gone counts as none.
thread_local platform::CaretState t_caret;

bool HasCaret() {
  if (t_caret.owner && !IsWindow(t_caret.owner)) t_caret = platform::CaretState();
  return t_caret.owner != nullptr;
}

bool Owns(HWND window) { return HasCaret() && (!window || window == t_caret.owner); }

}  // namespace

BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height) {
  if (!IsWindow(window) || GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  platform::CaretState caret;
  caret.owner = window;
  caret.bitmap = bitmap;
  caret.size.cx = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
  caret.size.cy = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
  caret.hide_level = 1;
  t_caret = caret;
  return TRUE;
}

BOOL DestroyCaret() {
  if (!HasCaret()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  t_caret = platform::CaretState();
  return TRUE;
}

BOOL ShowCaret(HWND window) {
  if (!Owns(window) || t_caret.hide_level == 0) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  --t_caret.hide_level;
  return TRUE;
}

BOOL HideCaret(HWND window) {
  if (!Owns(window)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ++t_caret.hide_level;
  return TRUE;
}

BOOL SetCaretPos(int x, int y) {
  if (!HasCaret()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  t_caret.position = POINT{x, y};
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  if (!point || !HasCaret()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  *point = t_caret.position;
  return TRUE;
}

namespace platform {

CaretState GetCaretState() {
  HasCaret();
  return t_caret;
}

}  // namespace platform
