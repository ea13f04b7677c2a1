// The window model's internal records and the helpers its files share
// (window_*.cpp, messages.cpp, default_processing.cpp, geometry.cpp,
// activation.cpp, painting.cpp, timers.cpp, hooks.cpp, monitors.cpp).
// Internal to platform/user/: callers include platform/user/windows.h.
//
// Locks. All window, class, thread and hook records live in one Model under
// its mutex (Model::lock). Message-queue contents live under the platform's
// dispatcher lock (platform/kernel/handles.h), because a queue is a waitable object
// that MsgWaitForMultipleObjects watches beside events and threads. The
// order is Model::lock, then the dispatcher lock; nothing takes Model::lock
// while it holds the dispatcher lock. No procedure, hook or callback of the
// caller ever runs while either lock is held.
#pragma once

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
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"
#include "platform/user/menu.h"
#include "platform/user/windows.h"

namespace platform {
inline namespace window_model {

constexpr uintptr_t kDesktopHandle = 0x00010010;   // the desktop window
constexpr uintptr_t kFirstWindowHandle = 0x00100010;
constexpr uintptr_t kHandleStep = 0x10;
constexpr uintptr_t kFirstHookHandle = 0x00200004;
constexpr size_t kMaxPosted = 10000;               // posted messages per queue
constexpr UINT_PTR kFirstThreadTimerId = 0x7FF0;   // ids of window-less timers
constexpr int kMinimizedPosition = -32000;         // where minimised windows go
inline HWND ToHwnd(uintptr_t value) { return reinterpret_cast<HWND>(value); }
inline uintptr_t FromHwnd(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }
inline bool IsDesktop(HWND hwnd) { return FromHwnd(hwnd) == kDesktopHandle; }

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

Settings& S();
BOOL ClientSizeForSurface(HWND hwnd, SIZE* size);
Model& M();
std::u16string Fold(std::u16string_view text);
inline std::u16string FromWide(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

// ---- Threads ------------------------------------------------------------------------

void OnThreadEnd(const std::shared_ptr<ThreadState>& state);

// Ends the thread's part of the model when the thread ends.
struct ThreadGuard {
  std::shared_ptr<ThreadState> state;  // the thread's record, once made
  ~ThreadGuard() {
    if (state) OnThreadEnd(state);
  }
};

inline thread_local ThreadGuard t_guard;
inline thread_local int t_in_send = 0;  // depth of procedures run for other threads' sends

// The calling thread's record (made on first use).
std::shared_ptr<ThreadState> EnsureThread();

std::shared_ptr<MessageQueue> QueueOfThreadLocked(Model& m, DWORD thread_id);

// ---- Window lookup -------------------------------------------------------------------

std::shared_ptr<Window> FindLocked(Model& m, HWND hwnd);

// Looks a window up, setting ERROR_INVALID_WINDOW_HANDLE when it is not there.
std::shared_ptr<Window> FindOrFailLocked(Model& m, HWND hwnd);

std::shared_ptr<Window> Find(HWND hwnd);

// The sibling list a window sits in.
std::vector<HWND>* SiblingsLocked(Model& m, const Window& w);

bool IsDescendantLocked(Model& m, HWND hwnd, HWND ancestor);
HWND RootLocked(Model& m, HWND hwnd);
void CollectDescendantsLocked(Model& m, const Window& w, std::vector<HWND>* out);

// ---- Monitors and metrics ------------------------------------------------------------

struct MonitorEntry {
  HMONITOR handle;  // the monitor
  RECT rect;        // its rectangle
  RECT work;        // its work area
};

BOOL CollectMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data);

// The monitors in list order (the primary first), with work areas. Calls
// the drawing layer: never under Model::lock.
std::vector<MonitorEntry> Monitors();

RECT PrimaryRect();
RECT PrimaryWork();
inline int Width(const RECT& r) { return r.right - r.left; }
inline int Height(const RECT& r) { return r.bottom - r.top; }

// The fixed part of the metric table.
int BaseMetric(int index);

// A metric of the fixed table, with the tests' overrides. Safe under
// Model::lock.
int FixedMetric(int index);

// The frame a style gives: how far the client area lies inside the window.
RECT FrameInsets(DWORD style, DWORD ex_style, bool menu);

inline RECT InsetsOf(const Window& w) { return FrameInsets(w.style, w.ex_style, w.has_menu); }

// The client size of a window rectangle.
SIZE ClientSizeOf(const Window& w);

// Screen position of a window's client origin (the desktop: 0, 0).
POINT ClientOriginLocked(Model& m, HWND hwnd);

// The window rectangle in screen coordinates.
RECT ScreenRectLocked(Model& m, const Window& w);

POINT ClientOriginLocked(Model& m, HWND hwnd);

// ---- Hooks ----------------------------------------------------------------------------

// The hook chain of `kind` for the calling thread, newest first.
std::vector<Hook> ChainOf(int kind);

// Runs the calling thread's chain of `kind`; 0 when it has none.
LRESULT RunHooks(int kind, int code, WPARAM wparam, LPARAM lparam);

// ---- Queues ------------------------------------------------------------------------

// Queues a message for a thread; FALSE with the last error set.
bool PostToQueue(const std::shared_ptr<MessageQueue>& queue, const MSG& msg, DWORD missing_error);

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

// Marks that a window of the thread may need painting.
void HintPaint(const std::shared_ptr<MessageQueue>& queue);

// ---- Calling procedures ----------------------------------------------------------------

// Calls a window's procedure on the calling thread, after the thread's
// WH_CALLWNDPROC hooks when the message was sent. 0 for a window that is
// gone.
LRESULT CallProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam, bool sent);

// Answers every message other threads have sent to the calling thread.
void ProcessSentMessages(const std::shared_ptr<MessageQueue>& queue);

// Sends to a window of another thread and waits for the answer, answering
// messages sent to the calling thread meanwhile.
LRESULT SendToOtherThread(const std::shared_ptr<MessageQueue>& target, HWND hwnd, UINT message,
                          WPARAM wparam, LPARAM lparam);

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
bool MakeFilter(HWND hwnd, UINT min, UINT max, Filter* filter);

// A window of the thread that needs painting (and passes the filter).
HWND FindPaintWindow(DWORD thread_id, const Filter& filter);

// One step of GetMessageW/PeekMessageW: TRUE with a message.
bool Retrieve(const std::shared_ptr<ThreadState>& ts, const Filter& filter, bool remove,
              MSG* out);

// ---- Painting helpers ---------------------------------------------------------------------

// Adds to a window's update rectangle; the queue to hint (or null).
std::shared_ptr<MessageQueue> InvalidateLocked(Model& m, Window& w, const RECT* rect, bool erase);

// ---- Thread end ----------------------------------------------------------------------------

void UnlinkLocked(Model& m, const Window& w);

// Removes a window record from the model (no messages).
void EraseLocked(Model& m, const std::shared_ptr<Window>& w);

void OnThreadEnd(const std::shared_ptr<ThreadState>& state);

// ---- Surfaces for the drawing layer -----------------------------------------------------------

BOOL ClientSizeForSurface(HWND hwnd, SIZE* size);

// ---- Classes ---------------------------------------------------------------------------

inline std::once_flag g_system_classes;

// Registers the common control classes (set by the comctl area).
inline std::atomic<void (*)()> g_common_control_classes{nullptr};
// Set once the common control classes are registered; the lock makes their
// registration happen once.
inline std::atomic<bool> g_common_control_classes_done{false};
inline std::mutex g_common_control_classes_lock;

// The system classes are registered the first time a class is looked up.
void EnsureSystemClasses();

// The main program stands for a NULL instance.
HINSTANCE NormalizeInstance(HINSTANCE instance);

// A class name or atom: the atom (for "#123" too) or the folded name.
bool ParseClassName(LPCWSTR name, ATOM* atom, std::u16string* folded);

ATOM AtomForLocked(Model& m, const std::u16string& folded);

// The class a name means for an instance: its own, then a global one, then
// a system one.
std::shared_ptr<WindowClass> FindClassLocked(Model& m, LPCWSTR name, HINSTANCE instance);

// An application class of this name and instance (for registration).
std::shared_ptr<WindowClass> FindOwnClassLocked(Model& m, const std::u16string& folded,
                                                HINSTANCE instance);

bool ClassRecordIsValid(const WNDCLASSEXW* wc);
ATOM RegisterLocked(Model& m, const WNDCLASSEXW& wc, bool system, ATOM atom);

// ---- Creating and destroying -------------------------------------------------------------------

// The client size, the client origin and the WM_SIZE kind of a window;
// false when it is gone.
bool ClientGeometry(HWND hwnd, SIZE* size, POINT* origin, WPARAM* kind);

// WM_SIZE and WM_MOVE with the window's current client size and position.
void SendSizeAndMove(HWND hwnd);

// A new system menu: the window commands, a separator and Close.
HMENU MakeSystemMenu();

// TRUE when the window's system menu has Close greyed or disabled.
bool SystemCloseDisabled(HWND hwnd);

// Drops a window record at once (failed creation): no messages.
void DiscardWindow(HWND hwnd);

// Removes posted messages and timers of a window from its queue.
void PurgeQueue(const std::shared_ptr<MessageQueue>& queue, HWND hwnd);

// WM_DESTROY to the window, its children destroyed in turn, then
// WM_NCDESTROY and the record dropped.
void DestroyTree(HWND hwnd);

// After the active window went: activate its owner or another window of
// the thread.
void ActivateAnother(HWND gone, HWND owner);

// Reads `size` bytes of a window's extra bytes.
bool ReadExtra(const Window& w, int index, void* out, size_t size);

// Reads a window value; `size` is 4 (GetWindowLongW) or 8.
LONG_PTR GetWindowValue(HWND hwnd, int index, size_t size);

// Changes GWL_STYLE or GWL_EXSTYLE with WM_STYLECHANGING/WM_STYLECHANGED.
LONG_PTR SetStyle(HWND hwnd, int index, DWORD value);

LONG_PTR SetWindowValue(HWND hwnd, int index, LONG_PTR value, size_t size);

// The folded key of a property name (an atom as "#n").
std::u16string PropKey(LPCWSTR name);

// Calls `callback` for each window of a snapshot that is still there.
BOOL EnumSnapshot(const std::vector<HWND>& list, WNDENUMPROC callback, LPARAM data);

// Whether a window's class and text match a search (NULL matches any).
bool MatchesLocked(Model& m, const Window& w, LPCWSTR class_name, LPCWSTR window_name);

// The top-level windows (for HWND_BROADCAST).
std::vector<HWND> TopLevels();

// The class background brush (a system colour index + 1 or a brush).
HBRUSH ClassBrush(HWND hwnd);

LRESULT DefaultSetText(HWND hwnd, LPCWSTR text);
LRESULT DefaultGetText(HWND hwnd, WPARAM size, LPWSTR buffer);
// Replaces `count` units at `at` of the window text with `insert`, in
// place: an edit control's text grows by what is added, not by a copy of
// all of it (FALSE for a bad window or a start past the end).
LRESULT DefaultReplaceText(HWND hwnd, size_t at, size_t count, const std::u16string& insert);

// WM_MOVE and WM_SIZE after a WM_WINDOWPOSCHANGED.
void DefaultPosChanged(HWND hwnd, const WINDOWPOS* pos);

// The client origin of a window in screen coordinates (NULL and the
// desktop: 0, 0); FALSE for a bad window.
bool ClientOrigin(HWND hwnd, POINT* origin);

// Puts a window at its place among its siblings.
void ReorderLocked(Model& m, Window& w, HWND after);

HWND ActiveOfThisThread();

// The rectangle a maximised window takes.
RECT MaximizedRect(HWND hwnd);

void ChangeShowState(HWND hwnd, int state, const RECT& rect);
LONGLONG Overlap(const RECT& a, const RECT& b);
LONGLONG DistanceSquared(const RECT& a, const RECT& b);

// The UI font of the non-client metrics.
LOGFONTW UiFont();

bool AnswerBool(LPVOID out, BOOL value);

// ---- Windows of other processes (foreign_windows.cpp) -----------------------------------------

// The top-level windows of the user's other processes, as stand-ins (the
// only place stand-ins are made). Its first call installs the calls on
// stand-ins below, so a program that never lists other processes' windows
// does not link them.
std::vector<HWND> ForeignTopLevels();
// What GetClassNameW and SendMessageW do with stand-ins.
struct ForeignWindowCalls {
  bool (*is_foreign)(HWND hwnd);  // TRUE for a stand-in handle
  int (*class_name)(HWND hwnd, LPWSTR buffer, int size);
  LRESULT (*send)(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
};
// The calls on stand-ins, or null while no listing has run (no handle is a
// stand-in then).
const ForeignWindowCalls* ForeignCalls();
// Listens for other processes while the process has top-level windows,
// and stops when the last is gone. Called after top-level windows come or go.
void SyncWindowEndpointLocked(Model& m);

}  // namespace window_model
}  // namespace platform

using platform::FindLocked;
using platform::FindOrFailLocked;
using platform::M;
using platform::Model;
using platform::Window;
