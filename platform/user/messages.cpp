// Messages and queues: posting, sending (also to other threads), retrieval,
// dispatch and waiting.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

// ---- Queues ------------------------------------------------------------------------

// Queues a message for a thread; FALSE with the last error set.
bool PostToQueue(const std::shared_ptr<MessageQueue>& queue, const MSG& msg, DWORD missing_error) {
  if (!queue) {
    SetLastError(missing_error);
    return false;
  }
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    if (!queue->alive) {
      SetLastError(missing_error);
      return false;
    }
    if (queue->posted.size() >= kMaxPosted) {
      SetLastError(ERROR_NOT_ENOUGH_QUOTA);
      return false;
    }
    queue->posted.push_back(msg);
  }
  DispatcherWake();
  return true;
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG msg{};
  msg.hwnd = hwnd;
  msg.message = message;
  msg.wParam = wparam;
  msg.lParam = lparam;
  msg.time = GetTickCount();
  GetCursorPos(&msg.pt);
  return msg;
}

// Marks that a window of the thread may need painting.
void HintPaint(const std::shared_ptr<MessageQueue>& queue) {
  if (!queue) return;
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    queue->paint_hint = true;
  }
  DispatcherWake();
}

// ---- Calling procedures ----------------------------------------------------------------

// Calls a window's procedure on the calling thread, after the thread's
// WH_CALLWNDPROC hooks when the message was sent. 0 for a window that is
// gone.
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool sent) {
  WNDPROC proc;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return 0;
    proc = w->proc;
  }
  if (sent) {
    std::vector<Hook> chain = ChainOf(WH_CALLWNDPROC);
    if (!chain.empty()) {
      CWPSTRUCT cwp{lparam, wparam, message, hwnd};
      chain.front().proc(HC_ACTION, t_in_send == 0, reinterpret_cast<LPARAM>(&cwp));
    }
  }
  return proc ? proc(hwnd, message, wparam, lparam) : DefWindowProcW(hwnd, message, wparam, lparam);
}

// Answers every message other threads have sent to the calling thread.
void ProcessSentMessages(const std::shared_ptr<MessageQueue>& queue) {
  for (;;) {
    std::shared_ptr<SentMessage> sm;
    {
      std::lock_guard<std::mutex> guard(DispatcherLock());
      if (queue->sent.empty()) return;
      sm = queue->sent.front();
      queue->sent.pop_front();
    }
    bool mine = false;
    {
      Model& m = M();
      std::lock_guard<std::mutex> guard(m.lock);
      std::shared_ptr<Window> w = FindLocked(m, sm->hwnd);
      mine = w && w->thread_id == queue->thread_id;
    }
    LRESULT result = 0;
    if (mine) {
      ++t_in_send;
      result = CallProc(sm->hwnd, sm->message, sm->wparam, sm->lparam, true);
      --t_in_send;
    }
    {
      std::lock_guard<std::mutex> guard(DispatcherLock());
      sm->result = result;
      sm->done = true;
    }
    DispatcherWake();
  }
}

// Sends to a window of another thread and waits for the answer, answering
// messages sent to the calling thread meanwhile.
LRESULT SendToOtherThread(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message,
                          WPARAM wparam, LPARAM lparam) {
  std::shared_ptr<ThreadState> me = EnsureThread();
  auto sm = std::make_shared<SentMessage>();
  sm->hwnd = hwnd;
  sm->message = message;
  sm->wparam = wparam;
  sm->lparam = lparam;
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    if (!target->alive) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return 0;
    }
    target->sent.push_back(sm);
  }
  DispatcherWake();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(DispatcherLock());
      DispatcherCondition().wait(lock, [&] { return sm->done || !me->queue->sent.empty(); });
      if (sm->done) return sm->result;
    }
    ProcessSentMessages(me->queue);
  }
}

// Builds a filter; FALSE (ERROR_INVALID_WINDOW_HANDLE) for a bad window.
bool MakeFilter(HWND hwnd, UINT min, UINT max, Filter* filter) {
  filter->min = min;
  filter->max = max;
  if (!hwnd) return true;
  filter->any = false;
  if (FromHwnd(hwnd) == static_cast<uintptr_t>(-1)) {
    filter->thread_only = true;
    return true;
  }
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
  if (!w) return false;
  filter->windows.push_back(hwnd);
  CollectDescendantsLocked(m, *w, &filter->windows);
  return true;
}

// A window of the thread that needs painting (and passes the filter).
HWND FindPaintWindow(DWORD thread_id, const Filter& filter) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  for (auto& [value, w] : m.windows) {
    if (w->thread_id != thread_id || !w->has_update || w->destroying) continue;
    if (!filter.Matches(w->handle, WM_PAINT)) continue;
    // Only a window whose ancestors are all visible paints.
    bool visible = true;
    for (std::shared_ptr<Window> v = w; v; v = v->parent ? FindLocked(m, v->parent) : nullptr) {
      if (!(v->style & WS_VISIBLE)) {
        visible = false;
        break;
      }
    }
    if (visible) return w->handle;
  }
  return nullptr;
}

// One step of GetMessageW/PeekMessageW: TRUE with a message.
bool Retrieve(const std::shared_ptr<ThreadState>& ts, const Filter& filter, bool remove,
              MSG* out) {
  const std::shared_ptr<MessageQueue>& q = ts->queue;
  ProcessSentMessages(q);
  bool paint = false;
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
      if (!filter.Matches(it->hwnd, it->message)) continue;
      *out = *it;
      if (remove) q->posted.erase(it);
      return true;
    }
    if (q->quit && (!(filter.min || filter.max) || (WM_QUIT >= filter.min && WM_QUIT <= filter.max))) {
      *out = MakeMsg(nullptr, WM_QUIT, static_cast<WPARAM>(q->quit_code), 0);
      if (remove) q->quit = false;
      return true;
    }
    paint = q->paint_hint;
  }
  if (paint) {
    HWND hwnd = FindPaintWindow(q->thread_id, filter);
    if (hwnd) {
      *out = MakeMsg(hwnd, WM_PAINT, 0, 0);
      return true;
    }
    if (filter.any && !filter.min && !filter.max) {
      std::lock_guard<std::mutex> guard(DispatcherLock());
      q->paint_hint = false;  // nothing to paint after all
    }
  }
  std::lock_guard<std::mutex> guard(DispatcherLock());
  ULONGLONG now = GetTickCount64();
  for (Timer& t : q->timers) {
    if (t.due > now || !filter.Matches(t.hwnd, WM_TIMER)) continue;
    *out = MakeMsg(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
    if (remove) t.due = now + t.elapse;
    return true;
  }
  return false;
}

}  // namespace window_model
}  // namespace platform
// ==== Messages ==============================================================================

namespace platform {
inline namespace window_model {

// The top-level windows (for HWND_BROADCAST).
std::vector<HWND> TopLevels() {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return m.top_levels;
}

}  // namespace window_model
}  // namespace platform

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window == HWND_BROADCAST) {
    for (HWND h : platform::TopLevels()) SendMessageW(h, message, wparam, lparam);
    return 0;
  }
  if (platform::IsDesktop(window)) return 0;
  if (const platform::ForeignWindowCalls* foreign = platform::ForeignCalls();
      foreign && foreign->is_foreign(window))
    return foreign->send(window, message, wparam, lparam);
  std::shared_ptr<platform::MessageQueue> target;
  DWORD thread_id;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return 0;
    thread_id = w->thread_id;
    if (thread_id != GetCurrentThreadId()) target = platform::QueueOfThreadLocked(m, thread_id);
  }
  if (thread_id == GetCurrentThreadId()) return platform::CallProc(window, message, wparam, lparam, true);
  if (!target) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return platform::SendToOtherThread(target, window, message, wparam, lparam);
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!window) return PostThreadMessageW(GetCurrentThreadId(), message, wparam, lparam);
  if (window == HWND_BROADCAST) {
    for (HWND h : platform::TopLevels()) PostMessageW(h, message, wparam, lparam);
    return TRUE;
  }
  std::shared_ptr<platform::MessageQueue> queue;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return FALSE;
    queue = platform::QueueOfThreadLocked(m, w->thread_id);
  }
  return platform::PostToQueue(queue, platform::MakeMsg(window, message, wparam, lparam),
                               ERROR_INVALID_WINDOW_HANDLE)
             ? TRUE
             : FALSE;
}

BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wparam, LPARAM lparam) {
  if (thread_id == GetCurrentThreadId()) platform::EnsureThread();
  std::shared_ptr<platform::MessageQueue> queue;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    queue = platform::QueueOfThreadLocked(m, thread_id);
  }
  return platform::PostToQueue(queue, platform::MakeMsg(nullptr, message, wparam, lparam),
                               ERROR_INVALID_THREAD_ID)
             ? TRUE
             : FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND window, UINT min_filter, UINT max_filter, UINT remove) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  platform::Filter filter;
  if (!platform::MakeFilter(window, min_filter, max_filter, &filter)) return FALSE;
  if (!platform::Retrieve(ts, filter, (remove & PM_REMOVE) != 0, msg)) return FALSE;
  platform::RunHooks(WH_GETMESSAGE, HC_ACTION, remove & PM_REMOVE, reinterpret_cast<LPARAM>(msg));
  return TRUE;
}

BOOL GetMessageW(MSG* msg, HWND window, UINT min_filter, UINT max_filter) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  platform::Filter filter;
  if (!platform::MakeFilter(window, min_filter, max_filter, &filter)) return -1;
  for (;;) {
    if (platform::Retrieve(ts, filter, true, msg)) break;
    // With a filter, input that does not pass it would wake the wait at
    // once; wait in short slices then.
    bool filtered = !filter.any || filter.min || filter.max;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, filtered ? 10 : INFINITE, QS_ALLINPUT);
  }
  platform::RunHooks(WH_GETMESSAGE, HC_ACTION, PM_REMOVE, reinterpret_cast<LPARAM>(msg));
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, msg->hwnd);
    if (!w) return 0;
    if (w->thread_id != GetCurrentThreadId()) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
  }
  return platform::CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam, false);
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || msg->message != WM_KEYDOWN) return FALSE;
  WPARAM key = msg->wParam;
  WCHAR c = 0;
  bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
  if (key >= 'A' && key <= 'Z') {
    c = static_cast<WCHAR>(shift ? key : key + 32);
  } else if ((key >= '0' && key <= '9') || key == VK_SPACE) {
    c = static_cast<WCHAR>(key);
  } else if (key == VK_RETURN) {
    c = u'\r';
  } else if (key == VK_BACK) {
    c = 8;
  } else if (key == VK_TAB) {
    c = u'\t';
  } else if (key == VK_ESCAPE) {
    c = 0x1B;
  }
  if (!c) return FALSE;
  PostMessageW(msg->hwnd, WM_CHAR, c, msg->lParam);
  return TRUE;
}

void PostQuitMessage(int exit_code) {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  {
    std::lock_guard<std::mutex> guard(platform::DispatcherLock());
    ts->queue->quit = true;
    ts->queue->quit_code = exit_code;
  }
  platform::DispatcherWake();
}

BOOL WaitMessage() {
  return MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0
             ? TRUE
             : FALSE;
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all,
                                DWORD milliseconds, DWORD wake_mask) {
  if (count >= MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  std::shared_ptr<platform::QueueWaiter> waiter;
  try {
    waiter = std::make_shared<platform::QueueWaiter>(ts->queue, wake_mask);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return WAIT_FAILED;
  }
  HANDLE queue_handle = platform::AllocHandle(waiter);
  if (!queue_handle) return WAIT_FAILED;
  HANDLE all[MAXIMUM_WAIT_OBJECTS];
  for (DWORD i = 0; i < count; ++i) all[i] = handles[i];
  all[count] = queue_handle;

  // Timers become due without anyone waking the wait: wait in slices that
  // end when the next timer is due.
  const auto start = std::chrono::steady_clock::now();
  DWORD result;
  for (;;) {
    DWORD slice = milliseconds;
    if (milliseconds != INFINITE) {
      auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
      slice = spent >= milliseconds ? 0 : milliseconds - static_cast<DWORD>(spent);
    }
    if (wake_mask & QS_TIMER) {
      DWORD next;
      {
        std::lock_guard<std::mutex> guard(platform::DispatcherLock());
        next = ts->queue->NextTimerDelayLocked();
      }
      if (next != INFINITE) slice = std::min(slice, std::max<DWORD>(next, 1));
    }
    // A bounded slice also catches timers set by other threads.
    slice = std::min<DWORD>(slice, 500);
    result = WaitForMultipleObjects(count + 1, all, wait_all, slice);
    if (result != WAIT_TIMEOUT) break;
    if (milliseconds != INFINITE) {
      auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
      if (spent >= milliseconds) break;
    }
  }
  platform::FreeHandle(queue_handle);
  return result;
}

DWORD GetQueueStatus(UINT flags) {
  std::shared_ptr<platform::ThreadState> ts = platform::EnsureThread();
  DWORD kinds = 0;
  std::lock_guard<std::mutex> guard(platform::DispatcherLock());
  const platform::MessageQueue& q = *ts->queue;
  if (!q.posted.empty() || q.quit) kinds |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
  if (!q.sent.empty()) kinds |= QS_SENDMESSAGE;
  if (q.paint_hint) kinds |= QS_PAINT;
  if (q.HasInputLocked(QS_TIMER)) kinds |= QS_TIMER;
  kinds &= flags;
  return (kinds << 16) | kinds;
}

BOOL InSendMessage() { return platform::t_in_send > 0 ? TRUE : FALSE; }
