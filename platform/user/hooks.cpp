// Window hooks.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

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

}  // namespace window_model
}  // namespace platform
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
