#include "platform/kernel/handles.h"

#include <new>
#include <unordered_map>

#include "platform/kernel/error.h"
#include "platform/kernel/mapping.h"
#include "platform/kernel/process.h"

namespace platform {

KernelObject::~KernelObject() = default;

namespace {

struct HandleTable {
  std::mutex lock;
  std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
  uintptr_t next = 0x1000;  // handles are multiples of 4, never reused
};

HandleTable& Table() {
  static HandleTable* table = new HandleTable;  // lives to process exit
  return *table;
}

}  // namespace

HANDLE AllocHandle(std::shared_ptr<KernelObject> object) {
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  HandleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  uintptr_t value = t.next;
  try {
    t.objects.emplace(value, std::move(object));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  t.next += 4;
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE h) {
  if (h == CurrentProcessPseudoHandle()) return CurrentProcessObject();
  if (h == CurrentThreadPseudoHandle()) return CurrentThreadObject();
  HandleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
  if (it == t.objects.end()) return nullptr;
  return it->second;
}

bool FreeHandle(HANDLE h) {
  std::shared_ptr<KernelObject> object;
  {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.objects.end()) return false;
    object = std::move(it->second);
    t.objects.erase(it);
  }
  // Outside the table lock: the object may block briefly or free itself.
  object->OnHandleClosed();
  return true;
}

size_t OpenHandleCount() {
  HandleTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.objects.size();
}

std::mutex& DispatcherLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

std::condition_variable& DispatcherCondition() {
  static std::condition_variable* cond = new std::condition_variable;
  return *cond;
}

void DispatcherWake() { DispatcherCondition().notify_all(); }

}  // namespace platform

BOOL CloseHandle(HANDLE h) {
  if (!platform::FreeHandle(h)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

namespace {

// The process id behind a source or target process of DuplicateHandle:
// the pseudo handle, or a process handle holding PROCESS_DUP_HANDLE. FALSE
// with the last error for anything else.
bool ProcessForDuplicate(HANDLE process, DWORD* pid) {
  if (process == platform::CurrentProcessPseudoHandle()) {
    *pid = GetCurrentProcessId();
    return true;
  }
  return platform::ProcessIdWithAccess(process, PROCESS_DUP_HANDLE, pid);
}

}  // namespace

BOOL DuplicateHandle(HANDLE source_process, HANDLE source, HANDLE target_process,
                     HANDLE* target, DWORD access, BOOL inherit, DWORD options) {
  DWORD source_pid = 0, target_pid = 0;
  if (!target) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!ProcessForDuplicate(source_process, &source_pid) ||
      !ProcessForDuplicate(target_process, &target_pid))
    return FALSE;
  const DWORD self_pid = GetCurrentProcessId();
  if (target_pid != self_pid) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (source_pid != self_pid) {
    // Only mapping objects cross processes (platform/kernel/mapping.h).
    if (options & DUPLICATE_CLOSE_SOURCE) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    }
    HANDLE copy = platform::DuplicateMappingFromProcess(source_pid, source);
    if (!copy) return FALSE;
    *target = copy;
    return TRUE;
  }
  std::shared_ptr<platform::KernelObject> object = platform::LookupHandle(source);
  if (options & DUPLICATE_CLOSE_SOURCE) platform::FreeHandle(source);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  HANDLE copy = platform::AllocHandle(std::move(object));
  if (!copy) return FALSE;
  *target = copy;
  return TRUE;
}
