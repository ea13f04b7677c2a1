// The window manager model: classes, windows, per-thread message queues,
// sent and posted messages, geometry, focus and activation, painting,
// timers, hooks, monitors and system metrics.
//
// Locks. All window, class, thread and hook records live in one Model under
// its mutex (Model::lock). Message-queue contents live under the platform's
// dispatcher lock (platform/kernel/handles.h), because a queue is a waitable object
// that MsgWaitForMultipleObjects watches beside events and threads. The
// order is Model::lock, then the dispatcher lock; nothing takes Model::lock
// while it holds the dispatcher lock. No procedure, hook or callback of the
// caller ever runs while either lock is held.
#include "platform/user/windows.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/user/menu.h"
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"

namespace platform {
namespace {

constexpr uintptr_t kDesktopHandle = 0x00010010;   // the desktop window
constexpr uintptr_t kFirstWindowHandle = 0x00100010;
constexpr uintptr_t kHandleStep = 0x10;
constexpr uintptr_t kFirstHookHandle = 0x00200004;
constexpr size_t kMaxPosted = 10000;               // posted messages per queue
constexpr UINT_PTR kFirstThreadTimerId = 0x7FF0;   // ids of window-less timers
constexpr int kMinimizedPosition = -32000;         // where minimised windows go

HWND ToHwnd(uintptr_t value) { return reinterpret_cast<HWND>(value); }
uintptr_t FromHwnd(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }
bool IsDesktop(HWND hwnd) { return FromHwnd(hwnd) == kDesktopHandle; }

// ---- Records ----------------------------------------------------------------------

// A registered window class.
struct WindowClass {
  std::u16string name;         // the name as registered
  std::u16string folded;       // the name without case, for lookups
  ATOM atom = 0;               // the name's atom
  WNDCLASSEXW wc{};            // the record (lpszClassName points into `name`)
  bool system = false;         // a built-in class, visible to every instance
  std::vector<BYTE> extra;     // class extra bytes
  int windows = 0;             // windows of this class alive
};

// A window.
struct Window {
  HWND handle = nullptr;                 // its handle
  std::shared_ptr<WindowClass> cls;      // its class
  DWORD thread_id = 0;                   // the thread that created it
  WNDPROC proc = nullptr;                // current window procedure
  DWORD style = 0;                       // WS_* and class styles
  DWORD ex_style = 0;                    // WS_EX_*
  HWND parent = nullptr;                 // parent of a child, else NULL
  HWND owner = nullptr;                  // owner of a top-level window
  bool message_only = false;             // child of HWND_MESSAGE
  bool has_menu = false;                 // a top-level window with a menu bar
  HMENU menu = nullptr;                  // its menu (kept for the frame model)
  LONG_PTR id = 0;                       // child id (GWLP_ID)
  HINSTANCE instance = nullptr;          // GWLP_HINSTANCE
  LONG_PTR user_data = 0;                // GWLP_USERDATA
  std::u16string text;                   // window text
  RECT rect{};                           // window rectangle: parent client coordinates
                                         // for a child, screen coordinates otherwise
  std::vector<BYTE> extra;               // window extra bytes
  std::vector<HWND> children;            // z-order, front first
  std::vector<std::pair<std::u16string, HANDLE>> props;  // SetPropW (folded names)
  HFONT font = nullptr;                  // WM_SETFONT kept by DefWindowProcW
  bool destroying = false;               // DestroyWindow has started
  bool has_update = false;               // the update rectangle is not empty
  RECT update{};                         // update rectangle, client coordinates
  bool erase = false;                    // the background needs erasing
  int show_state = SW_SHOWNORMAL;        // SW_SHOWNORMAL, SW_SHOWMINIMIZED or SW_SHOWMAXIMIZED
  RECT normal_rect{};                    // restored rectangle while min/maximised
  POINT min_pos{-1, -1};                 // WINDOWPLACEMENT minimised position
  POINT max_pos{-1, -1};                 // WINDOWPLACEMENT maximised position
  HWND last_active_popup = nullptr;      // owned pop-up that was active last
  HMENU system_menu = nullptr;           // GetSystemMenu's menu, made on first request
};

// A timer of a queue.
struct Timer {
  HWND hwnd;           // window, or NULL for a thread timer
  UINT_PTR id;         // its id
  UINT elapse;         // milliseconds
  ULONGLONG due;       // GetTickCount64 when it is due
  TIMERPROC proc;      // procedure, or NULL
};

// A message sent from another thread and waiting for its answer.
struct SentMessage {
  HWND hwnd;             // target window
  UINT message;          // message number
  WPARAM wparam;         // first parameter
  LPARAM lparam;         // second parameter
  LRESULT result = 0;    // the procedure's answer (under the dispatcher lock)
  bool done = false;     // answered (under the dispatcher lock)
};

// The message queue of one thread. Everything under the dispatcher lock.
class MessageQueue : public KernelObject {
 public:
  explicit MessageQueue(DWORD thread) : thread_id(thread) {}

  bool IsWaitable() const override { return true; }
  bool IsSignaledLocked(DWORD) const override { return HasInputLocked(QS_ALLINPUT); }

  // Whether something of the kinds in `mask` is waiting.
  bool HasInputLocked(UINT mask) const {
    if ((mask & QS_SENDMESSAGE) && !sent.empty()) return true;
    if ((mask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE | QS_INPUT)) && (!posted.empty() || quit))
      return true;
    if ((mask & QS_PAINT) && paint_hint) return true;
    if ((mask & QS_TIMER) && !timers.empty()) {
      ULONGLONG now = GetTickCount64();
      for (const Timer& t : timers)
        if (t.due <= now) return true;
    }
    return false;
  }
  // Milliseconds until the next timer is due (INFINITE: no timer).
  DWORD NextTimerDelayLocked() const {
    if (timers.empty()) return INFINITE;
    ULONGLONG now = GetTickCount64();
    ULONGLONG best = ~0ULL;
    for (const Timer& t : timers) best = std::min(best, t.due > now ? t.due - now : 0);
    return best > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(best);
  }

  const DWORD thread_id;                          // the owning thread
  bool alive = true;                              // FALSE once the thread ended
  std::deque<MSG> posted;                         // posted messages, oldest first
  std::deque<std::shared_ptr<SentMessage>> sent;  // messages sent from other threads
  bool quit = false;                              // PostQuitMessage was called
  int quit_code = 0;                              // its exit code
  bool paint_hint = false;                        // a window of the thread may need painting
  std::vector<Timer> timers;                      // the thread's timers
  UINT_PTR next_thread_timer = kFirstThreadTimerId;  // next id of a window-less timer
};

// A queue as MsgWaitForMultipleObjects watches it, with a wake mask.
class QueueWaiter : public KernelObject {
 public:
  QueueWaiter(std::shared_ptr<MessageQueue> queue, UINT mask)
      : queue_(std::move(queue)), mask_(mask) {}
  bool IsWaitable() const override { return true; }
  bool IsSignaledLocked(DWORD) const override { return queue_->HasInputLocked(mask_); }

 private:
  std::shared_ptr<MessageQueue> queue_;  // the queue watched
  UINT mask_;                            // QS_* kinds that wake
};

// What the model keeps per thread. Fields under Model::lock.
struct ThreadState {
  DWORD id = 0;                          // thread id
  std::shared_ptr<MessageQueue> queue;   // its queue (never null)
  HWND focus = nullptr;                  // keyboard focus
  HWND active = nullptr;                 // active top-level window
  HWND capture = nullptr;                // mouse capture
};

// A window hook.
struct Hook {
  uintptr_t handle;     // HHOOK value
  int kind;             // WH_*
  HOOKPROC proc;        // procedure
  DWORD thread;         // thread, or 0 for every thread
};

// The whole model.
struct Model {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;  // live windows by handle
  std::vector<HWND> top_levels;          // children of the desktop, front first
  std::vector<HWND> message_windows;     // children of HWND_MESSAGE
  std::vector<std::shared_ptr<WindowClass>> classes;  // registered classes
  std::unordered_map<std::u16string, ATOM> atoms;     // folded class name -> atom
  ATOM next_atom = 0xC000;               // next class atom
  std::unordered_map<DWORD, std::shared_ptr<ThreadState>> threads;  // by thread id
  std::vector<Hook> hooks;               // newest first
  uintptr_t next_handle = kFirstWindowHandle;
  uintptr_t next_hook = kFirstHookHandle;
  HWND foreground = nullptr;             // process foreground window
};

// Settings of the model that tests change. A leaf lock: nothing else is
// taken while it is held, so it may be taken under Model::lock.
struct Settings {
  std::mutex lock;
  std::map<int, int> metric_overrides;   // SetSystemMetric
  std::map<size_t, RECT> work_areas;     // SetWorkArea, by monitor index
  bool has_ui_font = false;              // SetUiFont was called
  LOGFONTW ui_font{};                    // its font
  BYTE keys_down[256] = {};              // SetKeyDown
  POINT cursor{0, 0};                    // SetCursorPos
};

Settings& S() {
  static Settings* settings = new Settings;  // lives to process exit
  return *settings;
}

BOOL ClientSizeForSurface(HWND hwnd, SIZE* size);

Model& M() {
  static Model* model = [] {
    Model* m = new Model;  // lives to process exit
    SetWindowClientSizeFunction(ClientSizeForSurface);
    return m;
  }();
  return *model;
}

std::u16string Fold(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) c = CharLower(c);
  return out;
}

std::u16string FromWide(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

// ---- Threads ------------------------------------------------------------------------

void OnThreadEnd(const std::shared_ptr<ThreadState>& state);

// Ends the thread's part of the model when the thread ends.
struct ThreadGuard {
  std::shared_ptr<ThreadState> state;  // the thread's record, once made
  ~ThreadGuard() {
    if (state) OnThreadEnd(state);
  }
};
thread_local ThreadGuard t_guard;
thread_local int t_in_send = 0;  // depth of procedures run for other threads' sends

// The calling thread's record (made on first use).
std::shared_ptr<ThreadState> EnsureThread() {
  if (t_guard.state) return t_guard.state;
  auto state = std::make_shared<ThreadState>();
  state->id = GetCurrentThreadId();
  state->queue = std::make_shared<MessageQueue>(state->id);
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    m.threads[state->id] = state;
  }
  t_guard.state = state;
  return state;
}

std::shared_ptr<MessageQueue> QueueOfThreadLocked(Model& m, DWORD thread_id) {
  auto it = m.threads.find(thread_id);
  return it == m.threads.end() ? nullptr : it->second->queue;
}

// ---- Window lookup -------------------------------------------------------------------

std::shared_ptr<Window> FindLocked(Model& m, HWND hwnd) {
  auto it = m.windows.find(FromHwnd(hwnd));
  return it == m.windows.end() ? nullptr : it->second;
}

// Looks a window up, setting ERROR_INVALID_WINDOW_HANDLE when it is not there.
std::shared_ptr<Window> FindOrFailLocked(Model& m, HWND hwnd) {
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

std::shared_ptr<Window> Find(HWND hwnd) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return FindLocked(m, hwnd);
}

// The sibling list a window sits in.
std::vector<HWND>* SiblingsLocked(Model& m, const Window& w) {
  if (w.message_only) return &m.message_windows;
  if (!w.parent) return &m.top_levels;
  std::shared_ptr<Window> p = FindLocked(m, w.parent);
  return p ? &p->children : nullptr;
}

bool IsDescendantLocked(Model& m, HWND hwnd, HWND ancestor) {
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  while (w && w->parent) {
    if (w->parent == ancestor) return true;
    w = FindLocked(m, w->parent);
  }
  return false;
}

HWND RootLocked(Model& m, HWND hwnd) {
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  while (w && w->parent) {
    std::shared_ptr<Window> p = FindLocked(m, w->parent);
    if (!p) break;
    w = p;
  }
  return w ? w->handle : nullptr;
}

void CollectDescendantsLocked(Model& m, const Window& w, std::vector<HWND>* out) {
  for (HWND c : w.children) {
    out->push_back(c);
    if (std::shared_ptr<Window> cw = FindLocked(m, c)) CollectDescendantsLocked(m, *cw, out);
  }
}

// ---- Monitors and metrics ------------------------------------------------------------

struct MonitorEntry {
  HMONITOR handle;  // the monitor
  RECT rect;        // its rectangle
  RECT work;        // its work area
};

BOOL CollectMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
  auto* list = reinterpret_cast<std::vector<MonitorEntry>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(monitor, &info)) list->push_back({monitor, info.rcMonitor, info.rcWork});
  return TRUE;
}

// The monitors in list order (the primary first), with work areas. Calls
// the drawing layer: never under Model::lock.
std::vector<MonitorEntry> Monitors() {
  std::vector<MonitorEntry> list;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  for (size_t i = 0; i < list.size(); ++i) {
    auto it = s.work_areas.find(i);
    if (it != s.work_areas.end()) list[i].work = it->second;
  }
  return list;
}

RECT PrimaryRect() {
  std::vector<MonitorEntry> list = Monitors();
  return list.empty() ? RECT{0, 0, 1920, 1080} : list[0].rect;
}

RECT PrimaryWork() {
  std::vector<MonitorEntry> list = Monitors();
  return list.empty() ? RECT{0, 0, 1920, 1080} : list[0].work;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// The fixed part of the metric table.
int BaseMetric(int index) {
  switch (index) {
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 22;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 20;
    case SM_MOUSEPRESENT: return 1;
    case SM_CXMIN: case SM_CXMINTRACK: return 132;
    case SM_CYMIN: case SM_CYMINTRACK: return 38;
    case SM_CXSIZE: return 36;
    case SM_CYSIZE: return 22;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 18;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 17;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 19;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 28;
    case SM_NETWORK: return 3;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_MOUSEWHEELPRESENT: case SM_SAMEDISPLAYFORMAT: return 1;
    default: return 0;  // SM_DEBUG, SM_SWAPBUTTON, SM_CLEANBOOT, ...: 0
  }
}

// A metric of the fixed table, with the tests' overrides. Safe under
// Model::lock.
int FixedMetric(int index) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.metric_overrides.find(index);
  return it != s.metric_overrides.end() ? it->second : BaseMetric(index);
}

// The frame a style gives: how far the client area lies inside the window.
RECT FrameInsets(DWORD style, DWORD ex_style, bool menu) {
  int border = 0;
  if (style & WS_THICKFRAME) {
    border = FixedMetric(SM_CXFRAME);
  } else if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME)) {
    border = FixedMetric(SM_CXDLGFRAME);
  } else if (style & WS_BORDER) {
    border = FixedMetric(SM_CXBORDER);
  }
  if (ex_style & WS_EX_CLIENTEDGE) border += FixedMetric(SM_CXEDGE);
  RECT insets{border, border, border, border};
  if ((style & WS_CAPTION) == WS_CAPTION)
    insets.top += FixedMetric((ex_style & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (menu) insets.top += FixedMetric(SM_CYMENU);
  return insets;
}

RECT InsetsOf(const Window& w) { return FrameInsets(w.style, w.ex_style, w.has_menu); }

// The client size of a window rectangle.
SIZE ClientSizeOf(const Window& w) {
  RECT in = InsetsOf(w);
  int cx = Width(w.rect) - in.left - in.right;
  int cy = Height(w.rect) - in.top - in.bottom;
  if (w.style & WS_VSCROLL) cx -= FixedMetric(SM_CXVSCROLL);
  if (w.style & WS_HSCROLL) cy -= FixedMetric(SM_CYHSCROLL);
  return SIZE{std::max(cx, 0), std::max(cy, 0)};
}

// Screen position of a window's client origin (the desktop: 0, 0).
POINT ClientOriginLocked(Model& m, HWND hwnd);

// The window rectangle in screen coordinates.
RECT ScreenRectLocked(Model& m, const Window& w) {
  RECT r = w.rect;
  if (w.parent) {
    POINT o = ClientOriginLocked(m, w.parent);
    OffsetRect(&r, o.x, o.y);
  }
  return r;
}

POINT ClientOriginLocked(Model& m, HWND hwnd) {
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return POINT{0, 0};
  RECT r = ScreenRectLocked(m, *w);
  RECT in = InsetsOf(*w);
  return POINT{r.left + in.left, r.top + in.top};
}

// ---- Hooks ----------------------------------------------------------------------------

// The hook chain of `kind` for the calling thread, newest first.
std::vector<Hook> ChainOf(int kind) {
  const DWORD me = GetCurrentThreadId();
  std::vector<Hook> chain;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  for (const Hook& h : m.hooks)
    if (h.kind == kind && (h.thread == 0 || h.thread == me)) chain.push_back(h);
  return chain;
}

// Runs the calling thread's chain of `kind`; 0 when it has none.
LRESULT RunHooks(int kind, int code, WPARAM wparam, LPARAM lparam) {
  std::vector<Hook> chain = ChainOf(kind);
  if (chain.empty()) return 0;
  return chain.front().proc(code, wparam, lparam);
}

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

// ---- Retrieval ----------------------------------------------------------------------------

// Which windows a GetMessageW filter lets through.
struct Filter {
  bool any = true;              // no window filter
  bool thread_only = false;     // (HWND)-1: thread messages only
  std::vector<HWND> windows;    // the filter window and its descendants
  UINT min = 0;                 // message range (0, 0: all)
  UINT max = 0;

  bool Matches(HWND hwnd, UINT message) const {
    if ((min || max) && (message < min || message > max)) return false;
    if (thread_only) return hwnd == nullptr;
    if (any) return true;
    return std::find(windows.begin(), windows.end(), hwnd) != windows.end();
  }
};

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

// ---- Thread end ----------------------------------------------------------------------------

void UnlinkLocked(Model& m, const Window& w) {
  if (std::vector<HWND>* list = SiblingsLocked(m, w))
    list->erase(std::remove(list->begin(), list->end(), w.handle), list->end());
}

// Removes a window record from the model (no messages).
void EraseLocked(Model& m, const std::shared_ptr<Window>& w) {
  UnlinkLocked(m, *w);
  if (w->cls) --w->cls->windows;
  m.windows.erase(FromHwnd(w->handle));
  if (m.foreground == w->handle) m.foreground = nullptr;
}

void OnThreadEnd(const std::shared_ptr<ThreadState>& state) {
  std::vector<HWND> gone;
  std::vector<HMENU> menus;  // system menus of the windows that go
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::vector<std::shared_ptr<Window>> mine;
    for (auto& [value, w] : m.windows)
      if (w->thread_id == state->id) mine.push_back(w);
    // A window that goes takes its descendants with it, whatever thread
    // made them.
    std::vector<HWND> all;
    for (const auto& w : mine) {
      all.push_back(w->handle);
      CollectDescendantsLocked(m, *w, &all);
    }
    for (HWND h : all) {
      if (std::shared_ptr<Window> w = FindLocked(m, h)) {
        if (w->system_menu) menus.push_back(w->system_menu);
        EraseLocked(m, w);
        gone.push_back(h);
      }
    }
    m.hooks.erase(std::remove_if(m.hooks.begin(), m.hooks.end(),
                                 [&](const Hook& h) { return h.thread == state->id; }),
                  m.hooks.end());
    m.threads.erase(state->id);
  }
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    MessageQueue& q = *state->queue;
    q.alive = false;
    for (auto& sm : q.sent) sm->done = true;
    q.sent.clear();
    q.posted.clear();
    q.timers.clear();
  }
  DispatcherWake();
  for (HWND h : gone) ReleaseWindowSurface(h);
  for (HMENU menu : menus) DestroyMenu(menu);
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

// ---- Classes ---------------------------------------------------------------------------

std::once_flag g_system_classes;
// Registers the common control classes (set by the comctl area).
std::atomic<void (*)()> g_common_control_classes{nullptr};

// The system classes are registered the first time a class is looked up.
void EnsureSystemClasses() {
  std::call_once(g_system_classes, [] {
    RegisterStandardControlClasses();
    RegisterDialogClass();
    if (void (*registrar)() = g_common_control_classes.load(std::memory_order_acquire))
      registrar();
  });
}

// The main program stands for a NULL instance.
HINSTANCE NormalizeInstance(HINSTANCE instance) {
  return instance ? instance : GetModuleHandleW(nullptr);
}

// A class name or atom: the atom (for "#123" too) or the folded name.
bool ParseClassName(LPCWSTR name, ATOM* atom, std::u16string* folded) {
  *atom = 0;
  if (!name) return false;
  if (IS_INTRESOURCE(name)) {
    *atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return *atom != 0;
  }
  if (name[0] == u'#' && name[1]) {
    DWORD value = 0;
    int i = 1;
    for (; name[i] >= u'0' && name[i] <= u'9' && value < 0x10000; ++i) value = value * 10 + (name[i] - u'0');
    if (!name[i] && value > 0 && value < 0x10000) {
      *atom = static_cast<ATOM>(value);
      return true;
    }
  }
  *folded = Fold(name);
  return !folded->empty();
}

ATOM AtomForLocked(Model& m, const std::u16string& folded) {
  auto it = m.atoms.find(folded);
  if (it != m.atoms.end()) return it->second;
  ATOM atom = m.next_atom++;
  m.atoms[folded] = atom;
  return atom;
}

// The class a name means for an instance: its own, then a global one, then
// a system one.
std::shared_ptr<WindowClass> FindClassLocked(Model& m, LPCWSTR name, HINSTANCE instance) {
  ATOM atom;
  std::u16string folded;
  if (!ParseClassName(name, &atom, &folded)) return nullptr;
  if (!atom) {
    auto it = m.atoms.find(folded);
    if (it == m.atoms.end()) return nullptr;
    atom = it->second;
  }
  instance = NormalizeInstance(instance);
  for (auto& c : m.classes)
    if (!c->system && !(c->wc.style & CS_GLOBALCLASS) && c->atom == atom && c->wc.hInstance == instance)
      return c;
  for (auto& c : m.classes)
    if (!c->system && (c->wc.style & CS_GLOBALCLASS) && c->atom == atom) return c;
  for (auto& c : m.classes)
    if (c->system && c->atom == atom) return c;
  return nullptr;
}

// An application class of this name and instance (for registration).
std::shared_ptr<WindowClass> FindOwnClassLocked(Model& m, const std::u16string& folded,
                                                HINSTANCE instance) {
  for (auto& c : m.classes)
    if (!c->system && c->folded == folded && c->wc.hInstance == instance) return c;
  return nullptr;
}

bool ClassRecordIsValid(const WNDCLASSEXW* wc) {
  return wc && wc->lpszClassName && !IS_INTRESOURCE(wc->lpszClassName) && wc->lpszClassName[0] &&
         wc->lpfnWndProc && wc->cbClsExtra >= 0 && wc->cbWndExtra >= 0 &&
         wc->cbClsExtra <= 40000 && wc->cbWndExtra <= 40000;
}

ATOM RegisterLocked(Model& m, const WNDCLASSEXW& wc, bool system, ATOM atom) {
  auto c = std::make_shared<WindowClass>();
  c->name = wc.lpszClassName;
  c->folded = Fold(c->name);
  if (atom) {
    m.atoms[c->folded] = atom;
  } else {
    atom = AtomForLocked(m, c->folded);
  }
  c->atom = atom;
  c->wc = wc;
  c->wc.cbSize = sizeof(WNDCLASSEXW);
  c->wc.lpszClassName = c->name.c_str();
  c->wc.hInstance = system ? nullptr : NormalizeInstance(wc.hInstance);
  c->system = system;
  c->extra.assign(static_cast<size_t>(wc.cbClsExtra), 0);
  m.classes.push_back(std::move(c));
  return atom;
}

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

}  // namespace
}  // namespace platform

using platform::FindLocked;
using platform::FindOrFailLocked;
using platform::M;
using platform::Model;
using platform::Window;

// ==== Classes ======================================================================

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !platform::ClassRecordIsValid(wc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  HINSTANCE instance = platform::NormalizeInstance(wc->hInstance);
  if (platform::FindOwnClassLocked(m, platform::Fold(wc->lpszClassName), instance)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return platform::RegisterLocked(m, *wc, false, 0);
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra,
                 wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName,
                 wc->lpszClassName, nullptr};
  return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance) {
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<platform::WindowClass> cls = platform::FindClassLocked(m, class_name, instance);
  if (!cls || cls->system || cls->wc.hInstance != platform::NormalizeInstance(instance)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  m.classes.erase(std::remove(m.classes.begin(), m.classes.end(), cls), m.classes.end());
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSEXW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<platform::WindowClass> cls = platform::FindClassLocked(m, class_name, instance);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wc = cls->wc;
  return cls->atom;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WNDCLASSEXW ex{};
  BOOL atom = GetClassInfoExW(instance, class_name, &ex);
  if (!atom) return FALSE;
  *wc = WNDCLASSW{ex.style, ex.lpfnWndProc, ex.cbClsExtra, ex.cbWndExtra, ex.hInstance,
                  ex.hIcon, ex.hCursor, ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
  return atom;
}

int GetClassNameW(HWND window, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string name;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (platform::IsDesktop(window)) {
      name = u"#32769";
    } else {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return 0;
      name = w->cls->name;
    }
  }
  size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  name.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  const WNDCLASSEXW& wc = w->cls->wc;
  switch (index) {
    case GCLP_MENUNAME: return reinterpret_cast<ULONG_PTR>(wc.lpszMenuName);
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(wc.hbrBackground);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(wc.hCursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(wc.hIcon);
    case GCLP_HICONSM: return reinterpret_cast<ULONG_PTR>(wc.hIconSm);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(wc.hInstance);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(wc.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(wc.cbClsExtra);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(wc.lpfnWndProc);
    case GCL_STYLE: return wc.style;
    case GCW_ATOM: return w->cls->atom;
    default: break;
  }
  std::vector<BYTE>& extra = w->cls->extra;
  if (index < 0 || static_cast<size_t>(index) + sizeof(ULONG_PTR) > extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  ULONG_PTR value;
  std::memcpy(&value, extra.data() + index, sizeof(value));
  return value;
}

ULONG_PTR SetClassLongPtrW(HWND window, int index, LONG_PTR value) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  WNDCLASSEXW& wc = w->cls->wc;
  ULONG_PTR old = 0;
  auto swap_ptr = [&](auto& field) {
    old = reinterpret_cast<ULONG_PTR>(field);
    field = reinterpret_cast<std::remove_reference_t<decltype(field)>>(value);
  };
  switch (index) {
    case GCLP_HBRBACKGROUND: swap_ptr(wc.hbrBackground); return old;
    case GCLP_HCURSOR: swap_ptr(wc.hCursor); return old;
    case GCLP_HICON: swap_ptr(wc.hIcon); return old;
    case GCLP_HICONSM: swap_ptr(wc.hIconSm); return old;
    case GCLP_WNDPROC: swap_ptr(wc.lpfnWndProc); return old;
    case GCL_STYLE: old = wc.style; wc.style = static_cast<UINT>(value); return old;
    default: break;
  }
  std::vector<BYTE>& extra = w->cls->extra;
  if (index < 0 || static_cast<size_t>(index) + sizeof(ULONG_PTR) > extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  std::memcpy(&old, extra.data() + index, sizeof(old));
  std::memcpy(extra.data() + index, &value, sizeof(value));
  return old;
}

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

// ==== Window data ==========================================================================

namespace platform {
namespace {

// Reads `size` bytes of a window's extra bytes.
bool ReadExtra(const Window& w, int index, void* out, size_t size) {
  if (index < 0 || static_cast<size_t>(index) + size > w.extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return false;
  }
  std::memcpy(out, w.extra.data() + index, size);
  return true;
}

// Reads a window value; `size` is 4 (GetWindowLongW) or 8.
LONG_PTR GetWindowValue(HWND hwnd, int index, size_t size) {
  SetLastError(ERROR_SUCCESS);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->ex_style));
    case GWLP_USERDATA: return w->user_data;
    default: break;
  }
  if (size == sizeof(LONG)) {
    LONG value = 0;
    return ReadExtra(*w, index, &value, sizeof(value)) ? value : 0;
  }
  LONG_PTR value = 0;
  return ReadExtra(*w, index, &value, sizeof(value)) ? value : 0;
}

// Changes GWL_STYLE or GWL_EXSTYLE with WM_STYLECHANGING/WM_STYLECHANGED.
LONG_PTR SetStyle(HWND hwnd, int index, DWORD value) {
  DWORD old;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
    if (!w) return 0;
    old = index == GWL_STYLE ? w->style : w->ex_style;
  }
  STYLESTRUCT ss{old, value};
  SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
  std::shared_ptr<MessageQueue> hint;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return 0;
    if (index == GWL_STYLE) {
      w->style = ss.styleNew;
      if ((ss.styleNew & WS_VISIBLE) && !(old & WS_VISIBLE))
        hint = InvalidateLocked(m, *w, nullptr, true);
    } else {
      w->ex_style = ss.styleNew;
    }
  }
  HintPaint(hint);
  SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
  return static_cast<LONG_PTR>(static_cast<LONG>(old));
}

LONG_PTR SetWindowValue(HWND hwnd, int index, LONG_PTR value, size_t size) {
  SetLastError(ERROR_SUCCESS);
  if (index == GWL_STYLE || index == GWL_EXSTYLE)
    return SetStyle(hwnd, index, static_cast<DWORD>(value));
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_ID:
      old = w->id;
      w->id = value;
      return old;
    case GWLP_USERDATA:
      old = w->user_data;
      w->user_data = value;
      return old;
    case GWLP_HWNDPARENT:
      if (w->parent) return reinterpret_cast<LONG_PTR>(w->parent);  // children keep their parent
      old = reinterpret_cast<LONG_PTR>(w->owner);
      w->owner = value ? RootLocked(m, reinterpret_cast<HWND>(value)) : nullptr;
      return old;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + size > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  if (size == sizeof(LONG)) {
    LONG previous, now = static_cast<LONG>(value);
    std::memcpy(&previous, w->extra.data() + index, sizeof(previous));
    std::memcpy(w->extra.data() + index, &now, sizeof(now));
    return previous;
  }
  std::memcpy(&old, w->extra.data() + index, sizeof(old));
  std::memcpy(w->extra.data() + index, &value, sizeof(value));
  return old;
}

}  // namespace
}  // namespace platform

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  return platform::GetWindowValue(window, index, sizeof(LONG_PTR));
}
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  return platform::SetWindowValue(window, index, value, sizeof(LONG_PTR));
}
LONG GetWindowLongW(HWND window, int index) {
  return static_cast<LONG>(platform::GetWindowValue(window, index, sizeof(LONG)));
}
LONG SetWindowLongW(HWND window, int index, LONG value) {
  return static_cast<LONG>(platform::SetWindowValue(window, index, value, sizeof(LONG)));
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!proc) return 0;
  return proc(window, message, wparam, lparam);
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

namespace platform {
namespace {
// The folded key of a property name (an atom as "#n").
std::u16string PropKey(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) {
    std::string digits = std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return u"#" + ToUtf16(digits);
  }
  return Fold(name);
}
}  // namespace
}  // namespace platform

BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  for (auto& p : w->props)
    if (p.first == key) {
      p.second = data;
      return TRUE;
    }
  w->props.emplace_back(std::move(key), data);
  return TRUE;
}

HANDLE GetPropW(HWND window, LPCWSTR name) {
  if (!name) return nullptr;
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, window);
  if (!w) return nullptr;
  for (auto& p : w->props)
    if (p.first == key) return p.second;
  return nullptr;
}

HANDLE RemovePropW(HWND window, LPCWSTR name) {
  if (!name) return nullptr;
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, window);
  if (!w) return nullptr;
  for (auto it = w->props.begin(); it != w->props.end(); ++it)
    if (it->first == key) {
      HANDLE data = it->second;
      w->props.erase(it);
      return data;
    }
  return nullptr;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD process_id) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  if (process_id) *process_id = GetCurrentProcessId();
  return w->thread_id;
}

// ==== Relations ===========================================================================

HWND GetDesktopWindow() { return platform::ToHwnd(platform::kDesktopHandle); }

HWND GetParent(HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND child, HWND parent) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, child);
  if (!w) return nullptr;
  if (parent && !platform::IsDesktop(parent)) {
    if (!FindOrFailLocked(m, parent)) return nullptr;
    if (parent == child || platform::IsDescendantLocked(m, parent, child)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  } else {
    parent = nullptr;
  }
  HWND old = w->parent ? w->parent : GetDesktopWindow();
  platform::UnlinkLocked(m, *w);
  w->parent = parent;
  w->message_only = false;
  std::vector<HWND>* siblings = platform::SiblingsLocked(m, *w);
  siblings->insert(siblings->begin(), child);
  return old;
}

HWND GetAncestor(HWND window, UINT flags) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT:
      if (w->message_only) return nullptr;
      return w->parent ? w->parent : platform::ToHwnd(platform::kDesktopHandle);
    case GA_ROOT:
      return platform::RootLocked(m, window);
    case GA_ROOTOWNER: {
      HWND root = platform::RootLocked(m, window);
      for (int guard_count = 0; guard_count < 1000; ++guard_count) {
        std::shared_ptr<Window> r = FindLocked(m, root);
        if (!r || !r->owner) break;
        root = r->owner;
      }
      return root;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetWindow(HWND window, UINT command) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (platform::IsDesktop(window)) {
    if (command == GW_CHILD) return m.top_levels.empty() ? nullptr : m.top_levels.front();
    return nullptr;
  }
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  switch (command) {
    case GW_OWNER: return w->owner;
    case GW_CHILD: return w->children.empty() ? nullptr : w->children.front();
    case GW_ENABLEDPOPUP:
      for (auto& [value, other] : m.windows)
        if (other->owner == window && (other->style & WS_VISIBLE) && !(other->style & WS_DISABLED))
          return other->handle;
      return nullptr;
    default: break;
  }
  std::vector<HWND>* list = platform::SiblingsLocked(m, *w);
  if (!list || list->empty()) return nullptr;
  auto it = std::find(list->begin(), list->end(), window);
  switch (command) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it == list->end() || it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == list->end() || it == list->begin()) ? nullptr : *(it - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetTopWindow(HWND window) {
  return GetWindow(window ? window : GetDesktopWindow(), GW_CHILD);
}

BOOL IsChild(HWND parent, HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return platform::IsDescendantLocked(m, window, parent) ? TRUE : FALSE;
}

HMENU GetSystemMenu(HWND window, BOOL revert) {
  HMENU dropped = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    if (revert) {
      dropped = w->system_menu;
      w->system_menu = nullptr;
    } else if (w->system_menu) {
      return w->system_menu;
    }
  }
  if (revert) {
    if (dropped) DestroyMenu(dropped);
    return nullptr;
  }
  // Made outside the model's lock; a menu made by another thread meanwhile wins.
  HMENU menu = platform::MakeSystemMenu();
  if (!menu) return nullptr;
  HMENU result = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, window);
    if (w && !w->system_menu) w->system_menu = menu;
    result = w ? w->system_menu : nullptr;
  }
  if (result != menu) DestroyMenu(menu);
  return result;
}

HWND GetLastActivePopup(HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  if (w->last_active_popup && FindLocked(m, w->last_active_popup)) return w->last_active_popup;
  return window;
}

namespace platform {
namespace {
// Calls `callback` for each window of a snapshot that is still there.
BOOL EnumSnapshot(const std::vector<HWND>& list, WNDENUMPROC callback, LPARAM data) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (HWND h : list) {
    if (!IsWindow(h)) continue;
    if (!callback(h, data)) break;
  }
  return TRUE;
}

// Whether a window's class and text match a search (NULL matches any).
bool MatchesLocked(Model& m, const Window& w, LPCWSTR class_name, LPCWSTR window_name) {
  if (class_name) {
    ATOM atom;
    std::u16string folded;
    if (!ParseClassName(class_name, &atom, &folded)) return false;
    if (!atom) {
      auto it = m.atoms.find(folded);
      if (it == m.atoms.end()) return false;
      atom = it->second;
    }
    if (w.cls->atom != atom) return false;
  }
  return !window_name || w.text == window_name;
}
}  // namespace
}  // namespace platform

BOOL EnumWindows(WNDENUMPROC callback, LPARAM data) {
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    list = m.top_levels;
  }
  return platform::EnumSnapshot(list, callback, data);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM data) {
  if (!parent || platform::IsDesktop(parent)) return EnumWindows(callback, data);
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, parent);
    if (!w) return FALSE;
    platform::CollectDescendantsLocked(m, *w, &list);
  }
  return platform::EnumSnapshot(list, callback, data);
}

BOOL EnumThreadWindows(DWORD thread_id, WNDENUMPROC callback, LPARAM data) {
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    for (HWND h : m.top_levels)
      if (std::shared_ptr<Window> w = FindLocked(m, h); w && w->thread_id == thread_id)
        list.push_back(h);
  }
  return platform::EnumSnapshot(list, callback, data);
}

HWND FindWindowExW(HWND parent, HWND after, LPCWSTR class_name, LPCWSTR window_name) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  const std::vector<HWND>* list = &m.top_levels;
  if (parent == HWND_MESSAGE) {
    list = &m.message_windows;
  } else if (parent && !platform::IsDesktop(parent)) {
    std::shared_ptr<Window> p = FindOrFailLocked(m, parent);
    if (!p) return nullptr;
    list = &p->children;
  }
  auto it = list->begin();
  if (after) {
    it = std::find(list->begin(), list->end(), after);
    if (it == list->end()) return nullptr;
    ++it;
  }
  for (; it != list->end(); ++it) {
    std::shared_ptr<Window> w = FindLocked(m, *it);
    if (w && !w->destroying && platform::MatchesLocked(m, *w, class_name, window_name)) return *it;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name) {
  return FindWindowExW(nullptr, nullptr, class_name, window_name);
}

// ==== Messages ==============================================================================

namespace platform {
namespace {

// The top-level windows (for HWND_BROADCAST).
std::vector<HWND> TopLevels() {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return m.top_levels;
}

}  // namespace
}  // namespace platform

LRESULT SendMessageW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (window == HWND_BROADCAST) {
    for (HWND h : platform::TopLevels()) SendMessageW(h, message, wparam, lparam);
    return 0;
  }
  if (platform::IsDesktop(window)) return 0;
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

// ==== Default processing ======================================================================

namespace platform {
namespace {

// The class background brush (a system colour index + 1 or a brush).
HBRUSH ClassBrush(HWND hwnd) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  return w ? w->cls->wc.hbrBackground : nullptr;
}

LRESULT DefaultSetText(HWND hwnd, LPCWSTR text) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return FALSE;
  w->text = FromWide(text);
  return TRUE;
}

LRESULT DefaultGetText(HWND hwnd, WPARAM size, LPWSTR buffer) {
  if (!buffer || size == 0) return 0;
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) {
    buffer[0] = 0;
    return 0;
  }
  size_t n = std::min(w->text.size(), static_cast<size_t>(size) - 1);
  w->text.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<LRESULT>(n);
}

// WM_MOVE and WM_SIZE after a WM_WINDOWPOSCHANGED.
void DefaultPosChanged(HWND hwnd, const WINDOWPOS* pos) {
  if (!pos) return;
  if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) == (SWP_NOMOVE | SWP_NOSIZE)) return;
  SIZE size{};
  POINT origin{};
  WPARAM kind = SIZE_RESTORED;
  if (!ClientGeometry(hwnd, &size, &origin, &kind)) return;
  if (!(pos->flags & SWP_NOMOVE))
    SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(static_cast<WORD>(origin.x), static_cast<WORD>(origin.y)));
  if (!(pos->flags & SWP_NOSIZE))
    SendMessageW(hwnd, WM_SIZE, kind, MAKELPARAM(static_cast<WORD>(size.cx), static_cast<WORD>(size.cy)));
}

}  // namespace
}  // namespace platform

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
      // A text that starts with 0xFFFF is a resource ordinal, not a text.
      if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName) && cs->lpszName[0] != 0xFFFF)
        platform::DefaultSetText(window, cs->lpszName);
      return TRUE;
    }
    case WM_SETTEXT:
      return platform::DefaultSetText(window, reinterpret_cast<LPCWSTR>(lparam));
    case WM_GETTEXT:
      return platform::DefaultGetText(window, wparam, reinterpret_cast<LPWSTR>(lparam));
    case WM_GETTEXTLENGTH: {
      Model& m = M();
      std::lock_guard<std::mutex> guard(m.lock);
      std::shared_ptr<Window> w = FindLocked(m, window);
      return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_ERASEBKGND: {
      HBRUSH brush = platform::ClassBrush(window);
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (!brush || !dc) return 0;
      RECT client;
      GetClientRect(window, &client);
      FillRect(dc, &client, brush);
      return 1;
    }
    case WM_WINDOWPOSCHANGED:
      platform::DefaultPosChanged(window, reinterpret_cast<const WINDOWPOS*>(lparam));
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE && !IsIconic(window)) SetFocus(window);
      return 0;
    case WM_SETFONT: {
      {
        Model& m = M();
        std::lock_guard<std::mutex> guard(m.lock);
        if (std::shared_ptr<Window> w = FindLocked(m, window))
          w->font = reinterpret_cast<HFONT>(wparam);
      }
      if (LOWORD(static_cast<DWORD_PTR>(lparam))) InvalidateRect(window, nullptr, TRUE);
      return 0;
    }
    case WM_GETFONT: {
      Model& m = M();
      std::lock_guard<std::mutex> guard(m.lock);
      std::shared_ptr<Window> w = FindLocked(m, window);
      return w ? reinterpret_cast<LRESULT>(w->font) : 0;
    }
    case WM_NCACTIVATE:
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_MOUSEACTIVATE:
      return 1;  // activate
    case WM_NCHITTEST:
      return 1;  // the client area
    case WM_SYSCOMMAND:
      switch (wparam & 0xFFF0) {
        case SC_CLOSE:
          if (!platform::SystemCloseDisabled(window)) SendMessageW(window, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE: ShowWindow(window, SW_MINIMIZE); break;
        case SC_MAXIMIZE: ShowWindow(window, SW_MAXIMIZE); break;
        case SC_RESTORE: ShowWindow(window, SW_RESTORE); break;
        default: break;
      }
      return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: {
      bool window_colours = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
      HDC dc = reinterpret_cast<HDC>(wparam);
      if (dc) {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(window_colours ? COLOR_WINDOW : COLOR_BTNFACE));
      }
      return reinterpret_cast<LRESULT>(GetSysColorBrush(window_colours ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_CONTEXTMENU:
    case WM_HELP: {
      // Children pass these on to their parents.
      HWND parent = nullptr;
      {
        Model& m = M();
        std::lock_guard<std::mutex> guard(m.lock);
        std::shared_ptr<Window> w = FindLocked(m, window);
        if (w && (w->style & WS_CHILD)) parent = w->parent;
      }
      return parent ? SendMessageW(parent, message, wparam, lparam) : 0;
    }
    default:
      return 0;
  }
}

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
namespace {
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
}  // namespace
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
namespace {

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

}  // namespace
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

// ==== Visibility, state, focus and activation ======================================================

namespace platform {
namespace {

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

}  // namespace
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

// ==== Hooks =============================================================================================

HHOOK SetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD thread_id) {
  if (kind != WH_CBT && kind != WH_CALLWNDPROC && kind != WH_GETMESSAGE && kind != WH_MSGFILTER) {
    SetLastError(ERROR_INVALID_HOOK_FILTER);
    return nullptr;
  }
  if (!proc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (thread_id == 0 && !module) {
    SetLastError(ERROR_HOOK_NEEDS_HMOD);
    return nullptr;
  }
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  uintptr_t handle = m.next_hook;
  m.next_hook += 4;
  m.hooks.insert(m.hooks.begin(), platform::Hook{handle, kind, proc, thread_id});
  return reinterpret_cast<HHOOK>(handle);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  auto it = std::find_if(m.hooks.begin(), m.hooks.end(), [&](const platform::Hook& h) {
    return h.handle == reinterpret_cast<uintptr_t>(hook);
  });
  if (it == m.hooks.end()) {
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
  }
  m.hooks.erase(it);
  return TRUE;
}

LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wparam, LPARAM lparam) {
  int kind = 0;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    for (const platform::Hook& h : m.hooks)
      if (h.handle == reinterpret_cast<uintptr_t>(hook)) kind = h.kind;
  }
  if (!kind) return 0;
  std::vector<platform::Hook> chain = platform::ChainOf(kind);
  for (size_t i = 0; i + 1 < chain.size(); ++i)
    if (chain[i].handle == reinterpret_cast<uintptr_t>(hook)) return chain[i + 1].proc(code, wparam, lparam);
  return 0;
}

// ==== Monitors ==========================================================================================

namespace platform {
namespace {
LONGLONG Overlap(const RECT& a, const RECT& b) {
  RECT r;
  if (!IntersectRect(&r, &a, &b)) return 0;
  return static_cast<LONGLONG>(Width(r)) * Height(r);
}
LONGLONG DistanceSquared(const RECT& a, const RECT& b) {
  LONGLONG dx = std::max<LONGLONG>({0, static_cast<LONGLONG>(a.left) - b.right + 1,
                                    static_cast<LONGLONG>(b.left) - a.right + 1});
  LONGLONG dy = std::max<LONGLONG>({0, static_cast<LONGLONG>(a.top) - b.bottom + 1,
                                    static_cast<LONGLONG>(b.top) - a.bottom + 1});
  return dx * dx + dy * dy;
}
}  // namespace
}  // namespace platform

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<platform::MonitorEntry> list = platform::Monitors();
  if (list.empty()) return nullptr;
  RECT probe = *rect;
  if (IsRectEmpty(&probe)) probe = RECT{rect->left, rect->top, rect->left + 1, rect->top + 1};
  const platform::MonitorEntry* best = nullptr;
  LONGLONG best_area = 0;
  for (const auto& e : list) {
    LONGLONG area = platform::Overlap(probe, e.rect);
    if (area > best_area) {
      best_area = area;
      best = &e;
    }
  }
  if (best) return best->handle;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return list[0].handle;
  if (flags == MONITOR_DEFAULTTONEAREST) {
    best = &list[0];
    LONGLONG best_distance = platform::DistanceSquared(probe, list[0].rect);
    for (const auto& e : list) {
      LONGLONG d = platform::DistanceSquared(probe, e.rect);
      if (d < best_distance) {
        best_distance = d;
        best = &e;
      }
    }
    return best->handle;
  }
  return nullptr;
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  RECT r{point.x, point.y, point.x + 1, point.y + 1};
  return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
  RECT r;
  if (platform::IsDesktop(window)) {
    r = platform::PrimaryRect();
  } else {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return nullptr;
    r = w->show_state == SW_SHOWMINIMIZED && !w->parent ? w->normal_rect
                                                        : platform::ScreenRectLocked(m, *w);
  }
  return MonitorFromRect(&r, flags);
}

// ==== System metrics and parameters ===============================================================================

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: case SM_CYSCREEN: case SM_CMONITORS:
    case SM_XVIRTUALSCREEN: case SM_YVIRTUALSCREEN: case SM_CXVIRTUALSCREEN: case SM_CYVIRTUALSCREEN:
    case SM_CXFULLSCREEN: case SM_CYFULLSCREEN: case SM_CXMAXIMIZED: case SM_CYMAXIMIZED:
    case SM_CXMAXTRACK: case SM_CYMAXTRACK: {
      {
        platform::Settings& s = platform::S();
        std::lock_guard<std::mutex> guard(s.lock);
        auto it = s.metric_overrides.find(index);
        if (it != s.metric_overrides.end()) return it->second;
      }
      std::vector<platform::MonitorEntry> list = platform::Monitors();
      if (list.empty()) return 0;
      RECT virt = list[0].rect;
      for (const auto& e : list) UnionRect(&virt, &virt, &e.rect);
      const RECT& primary = list[0].rect;
      const RECT& work = list[0].work;
      int frame = 2 * platform::FixedMetric(SM_CXFRAME);
      switch (index) {
        case SM_CXSCREEN: return platform::Width(primary);
        case SM_CYSCREEN: return platform::Height(primary);
        case SM_CMONITORS: return static_cast<int>(list.size());
        case SM_XVIRTUALSCREEN: return virt.left;
        case SM_YVIRTUALSCREEN: return virt.top;
        case SM_CXVIRTUALSCREEN: return platform::Width(virt);
        case SM_CYVIRTUALSCREEN: return platform::Height(virt);
        case SM_CXFULLSCREEN: return platform::Width(work);
        case SM_CYFULLSCREEN: return platform::Height(work) - platform::FixedMetric(SM_CYCAPTION);
        case SM_CXMAXIMIZED: return platform::Width(work) + frame;
        case SM_CYMAXIMIZED: return platform::Height(work) + frame;
        case SM_CXMAXTRACK: return platform::Width(virt) + frame;
        default: return platform::Height(virt) + frame;  // SM_CYMAXTRACK
      }
    }
    default:
      return platform::FixedMetric(index);
  }
}

namespace platform {
namespace {

// The UI font of the non-client metrics.
LOGFONTW UiFont() {
  {
    Settings& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.has_ui_font) return s.ui_font;
  }
  LOGFONTW font{};
  bool modern = CurrentSystemModel().major >= 6;
  font.lfHeight = modern ? -12 : -11;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  const char16_t* face = modern ? u"Segoe UI" : u"Tahoma";
  for (int i = 0; face[i] && i < 31; ++i) font.lfFaceName[i] = face[i];
  return font;
}

bool AnswerBool(LPVOID out, BOOL value) {
  if (!out) return false;
  *static_cast<BOOL*>(out) = value;
  return true;
}

}  // namespace
}  // namespace platform

BOOL SystemParametersInfoW(UINT action, UINT ui_param, LPVOID pv_param, UINT win_ini) {
  bool ok = false;
  switch (action) {
    case SPI_GETWORKAREA:
      if (pv_param) {
        *static_cast<RECT*>(pv_param) = platform::PrimaryWork();
        ok = true;
      }
      break;
    case SPI_SETWORKAREA:
      if (pv_param) {
        platform::SetWorkArea(0, *static_cast<const RECT*>(pv_param));
        ok = true;
      }
      break;
    case SPI_GETNONCLIENTMETRICS: {
      auto* ncm = static_cast<NONCLIENTMETRICSW*>(pv_param);
      const UINT full = sizeof(NONCLIENTMETRICSW);
      const UINT old = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
      bool modern = platform::CurrentSystemModel().major >= 6;
      if (!ncm || (ncm->cbSize != old && !(modern && ncm->cbSize == full)) ||
          (ui_param != 0 && ui_param != ncm->cbSize))
        break;
      UINT size = ncm->cbSize;
      LOGFONTW font = platform::UiFont();
      NONCLIENTMETRICSW out{};
      out.cbSize = size;
      out.iBorderWidth = GetSystemMetrics(SM_CXFRAME);
      out.iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
      out.iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
      out.iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
      out.iCaptionHeight = GetSystemMetrics(SM_CYSIZE);
      out.lfCaptionFont = font;
      out.iSmCaptionWidth = GetSystemMetrics(SM_CXSMSIZE);
      out.iSmCaptionHeight = GetSystemMetrics(SM_CYSMSIZE);
      out.lfSmCaptionFont = font;
      out.iMenuWidth = GetSystemMetrics(SM_CXMENUSIZE);
      out.iMenuHeight = GetSystemMetrics(SM_CYMENUSIZE);
      out.lfMenuFont = font;
      out.lfStatusFont = font;
      out.lfMessageFont = font;
      out.iPaddedBorderWidth = 0;
      std::memcpy(ncm, &out, size);
      ok = true;
      break;
    }
    case SPI_GETICONTITLELOGFONT:
      if (pv_param && (ui_param == 0 || ui_param == sizeof(LOGFONTW))) {
        *static_cast<LOGFONTW*>(pv_param) = platform::UiFont();
        ok = true;
      }
      break;
    case SPI_GETHIGHCONTRAST: {
      auto* hc = static_cast<HIGHCONTRASTW*>(pv_param);
      if (hc && hc->cbSize == sizeof(HIGHCONTRASTW)) {
        hc->dwFlags = 0;
        hc->lpszDefaultScheme = nullptr;
        ok = true;
      }
      break;
    }
    case SPI_GETWHEELSCROLLLINES:
      if (pv_param) {
        *static_cast<UINT*>(pv_param) = 3;
        ok = true;
      }
      break;
    case SPI_GETFONTSMOOTHING:
    case SPI_GETGRADIENTCAPTIONS:
      ok = platform::AnswerBool(pv_param, TRUE);
      break;
    case SPI_GETMENUDROPALIGNMENT:
    case SPI_GETSCREENREADER:
    case SPI_GETKEYBOARDCUES:
    case SPI_GETFLATMENU:
    case SPI_GETDROPSHADOW:
      ok = platform::AnswerBool(pv_param, FALSE);
      break;
    default:
      break;
  }
  if (!ok) SetLastError(ERROR_INVALID_PARAMETER);
  return ok ? TRUE : FALSE;
}

// ==== The model's own interface ===================================================================================

namespace platform {

size_t LiveWindowCount() {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return m.windows.size();
}

void SetSystemMetric(int index, int value) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.metric_overrides[index] = value;
}

void ResetSystemMetrics() {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.metric_overrides.clear();
}

void SetUiFont(const LOGFONTW& font) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.ui_font = font;
  s.has_ui_font = true;
}

void ResetUiFont() {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.has_ui_font = false;
}

void SetKeyDown(int virtual_key, bool down) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.keys_down[virtual_key & 0xFF] = down ? 1 : 0;
}

void ResetKeyState() {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  std::memset(s.keys_down, 0, sizeof(s.keys_down));
}

void SetWorkArea(size_t monitor_index, const RECT& work) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.work_areas[monitor_index] = work;
}

void ResetWorkAreas() {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.work_areas.clear();
}

RECT WorkAreaOfMonitor(HMONITOR monitor) {
  std::vector<MonitorEntry> list = Monitors();
  for (const auto& e : list)
    if (e.handle == monitor) return e.work;
  return list.empty() ? RECT{} : list[0].work;
}

void SetCommonControlClassRegistrar(void (*registrar)()) {
  g_common_control_classes.store(registrar, std::memory_order_release);
}

ATOM RegisterSystemClass(const WNDCLASSEXW& wc, ATOM atom) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return RegisterLocked(m, wc, true, atom);
}

}  // namespace platform
