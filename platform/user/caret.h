// The caret: the blinking mark of a text insertion point.
//
// Each thread has at most one caret, owned by one of the thread's windows.
// A new caret starts hidden (one hide level); ShowCaret and HideCaret lower
// and raise the level, and the caret shows at level 0. The model draws no
// caret; platform::GetCaretState tells tests where it is and whether it
// shows.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/window_model.h"

// Makes a caret of `width` x `height` pixels (0 takes the system's border
// width or height) for `window`, destroying the thread's caret first. The
// bitmap, when given, is kept as the caret's shape. FALSE
// (ERROR_INVALID_WINDOW_HANDLE) when the window is not one of the calling
// thread's windows.
BOOL CreateCaret(HWND window, HBITMAP bitmap, int width, int height);
// Removes the thread's caret; FALSE (ERROR_ACCESS_DENIED) when there is none.
BOOL DestroyCaret();
// Lower and raise the hide level. `window` must own the caret or be NULL
// (the caret of the thread); FALSE (ERROR_ACCESS_DENIED) otherwise or when
// there is no caret. ShowCaret of a shown caret is FALSE and changes
// nothing.
BOOL ShowCaret(HWND window);
BOOL HideCaret(HWND window);
// Moves the caret, in the owner's client coordinates; FALSE
// (ERROR_ACCESS_DENIED) without a caret.
BOOL SetCaretPos(int x, int y);
// The caret's position; FALSE (ERROR_ACCESS_DENIED) without a caret or with
// a null point.
BOOL GetCaretPos(POINT* point);

namespace platform {

// The calling thread's caret, as a test sees it.
struct CaretState {
  HWND owner = nullptr;   // owning window; null when there is no caret
  POINT position{0, 0};   // client coordinates of the owner
  SIZE size{0, 0};        // width and height
  HBITMAP bitmap = nullptr;  // the shape given, null for a solid caret
  int hide_level = 0;     // 0: showing
};
CaretState GetCaretState();

}  // namespace platform
