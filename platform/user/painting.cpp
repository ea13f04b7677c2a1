// Painting: invalid areas, WM_PAINT and the window surfaces of the drawing
// layer.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

// ---- Painting helpers ---------------------------------------------------------------------

// Adds to a window's update rectangle; the queue to hint (or null).
std::shared_ptr<MessageQueue> InvalidateLocked(Model& m, Window& w, const RECT* rect, bool erase) {
  SIZE size = ClientSizeOf(w);
  RECT client{0, 0, size.cx, size.cy};
  RECT r = client;
  if (rect && !IntersectRect(&r, rect, &client)) return nullptr;
  if (IsRectEmpty(&r)) return nullptr;
  if (w.has_update) {
    UnionRect(&w.update, &w.update, &r);
  } else {
    w.update = r;
    w.has_update = true;
  }
  w.erase = w.erase || erase;
  return QueueOfThreadLocked(m, w.thread_id);
}

// ---- Surfaces for the drawing layer -----------------------------------------------------------

BOOL ClientSizeForSurface(HWND hwnd, SIZE* size) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  // The desktop has no surface of its own: GetDC(NULL) is the screen.
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return FALSE;
  *size = ClientSizeOf(*w);
  return TRUE;
}

}  // namespace window_model
}  // namespace platform
// ==== Painting ========================================================================================

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  std::vector<std::shared_ptr<platform::MessageQueue>> hints;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (!window || platform::IsDesktop(window)) {
      for (auto& [value, w] : m.windows)
        hints.push_back(platform::InvalidateLocked(m, *w, nullptr, erase != FALSE));
    } else {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return FALSE;
      hints.push_back(platform::InvalidateLocked(m, *w, rect, erase != FALSE));
    }
  }
  for (auto& q : hints) platform::HintPaint(q);
  return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  if (!w->has_update) return TRUE;
  RECT rest;
  // Only whole-rectangle validation is modelled: a rectangle that covers the
  // update rectangle validates it; a partial one keeps the bounding box of
  // what is left.
  if (!rect || !SubtractRect(&rest, &w->update, rect)) {
    w->has_update = false;
    w->update = RECT{};
    w->erase = false;
  } else {
    w->update = rest;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase) {
  bool erase_now = false;
  BOOL result;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    if (rect) *rect = w->has_update ? w->update : RECT{};
    result = w->has_update ? TRUE : FALSE;
    erase_now = erase && w->has_update && w->erase;
    if (erase_now) w->erase = false;
  }
  if (erase_now) {
    HDC dc = GetDC(window);
    if (dc) {
      SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
      ReleaseDC(window, dc);
    }
  }
  return result;
}

BOOL UpdateWindow(HWND window) {
  bool needs;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    needs = w->has_update;
  }
  if (needs && IsWindowVisible(window)) SendMessageW(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags) {
  if (!window) window = GetDesktopWindow();
  std::vector<HWND> targets;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (platform::IsDesktop(window)) {
      for (HWND h : m.top_levels) targets.push_back(h);
    } else {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return FALSE;
      targets.push_back(window);
      if (flags & RDW_ALLCHILDREN) platform::CollectDescendantsLocked(m, *w, &targets);
    }
  }
  for (size_t i = 0; i < targets.size(); ++i) {
    const RECT* r = i == 0 ? rect : nullptr;  // the rectangle is the first window's
    if (flags & RDW_INVALIDATE) InvalidateRect(targets[i], r, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_VALIDATE) ValidateRect(targets[i], r);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
    for (HWND h : targets) UpdateWindow(h);
  return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::memset(paint, 0, sizeof(*paint));
  bool erase;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return nullptr;
    paint->rcPaint = w->has_update ? w->update : RECT{};
    erase = w->erase;
    w->has_update = false;
    w->update = RECT{};
    w->erase = false;
  }
  HDC dc = GetDC(window);
  bool erased = false;
  if (erase && dc) erased = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0;
  paint->hdc = dc;
  paint->fErase = erase && !erased ? TRUE : FALSE;
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint && paint->hdc) ReleaseDC(window, paint->hdc);
  return TRUE;
}
