// The window model's state: the model and settings records, the per-thread
// state and its end, window lookup, and the model's own interface.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

Settings& S() {
  static Settings* settings = new Settings;  // lives to process exit
  return *settings;
}

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
  if (!w->parent && !w->message_only) SyncWindowEndpointLocked(m);
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

}  // namespace window_model
}  // namespace platform

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
