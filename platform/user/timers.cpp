// Timers.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Timers ===========================================================================================

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
  std::shared_ptr<platform::MessageQueue> queue;
  if (window) {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return 0;
    queue = platform::QueueOfThreadLocked(m, w->thread_id);
  } else {
    queue = platform::EnsureThread()->queue;
  }
  if (!queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  {
    std::lock_guard<std::mutex> guard(platform::DispatcherLock());
    ULONGLONG due = GetTickCount64() + elapse;
    auto existing = std::find_if(queue->timers.begin(), queue->timers.end(), [&](const platform::Timer& t) {
      return t.hwnd == window && t.id == id;
    });
    if (existing != queue->timers.end() && (window || id)) {
      existing->elapse = elapse;
      existing->due = due;
      existing->proc = proc;
    } else {
      if (!window) id = queue->next_thread_timer++;
      queue->timers.push_back(platform::Timer{window, id, elapse, due, proc});
    }
  }
  platform::DispatcherWake();
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  std::shared_ptr<platform::MessageQueue> queue;
  if (window) {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    queue = platform::QueueOfThreadLocked(m, w->thread_id);
  } else {
    queue = platform::EnsureThread()->queue;
  }
  if (!queue) return FALSE;
  std::lock_guard<std::mutex> guard(platform::DispatcherLock());
  auto it = std::find_if(queue->timers.begin(), queue->timers.end(), [&](const platform::Timer& t) {
    return t.hwnd == window && t.id == id;
  });
  if (it == queue->timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  queue->timers.erase(it);
  return TRUE;
}
