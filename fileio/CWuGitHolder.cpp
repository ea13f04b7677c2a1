// The Global Interface Table holder of blankets and of the manager's
// surrogate interface.
#include "fileio/CWuGitHolder.h"

#include "platform/com/globaltable.h"

namespace {

IGlobalInterfaceTable* OpenTable() {
  IGlobalInterfaceTable* git = nullptr;
  if (FAILED(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git)))) {
    return nullptr;
  }
  return git;
}

}  // namespace

void CWuGitHolder::Register(IUnknown* ptr) {
  Revoke();
  if (!ptr) return;
  IGlobalInterfaceTable* git = OpenTable();
  if (!git) return;
  DWORD cookie = 0;
  HRESULT hr = git->RegisterInterfaceInGlobal(ptr, iid_, &cookie);
  git->Release();
  if (FAILED(hr) || cookie == 0) return;
  // A map that cannot be made leaves every thread but this one to fetch
  // from the table on each call (GetForThread copes with a failed Insert).
  map_.Init(1);
  InitializeCriticalSection(&lock_);
  cookie_ = cookie;
  if (cachedPair_) {
    cachedThread_ = GetCurrentThreadId();
    cachedPtr_ = ptr;
  }
}

void CWuGitHolder::Revoke() {
  if (cookie_ == 0) return;
  for (CWuThreadMap::Node& node : map_) {
    if (node.ptr) node.ptr->Release();
  }
  DWORD cookie = cookie_;
  cookie_ = 0;
  cachedThread_ = 0;
  cachedPtr_ = nullptr;
  if (IGlobalInterfaceTable* git = OpenTable()) {
    git->RevokeInterfaceFromGlobal(cookie);
    git->Release();
  }
  map_.Free();
  DeleteCriticalSection(&lock_);
}

IUnknown* CWuGitHolder::GetForThread() {
  if (cookie_ == 0) return nullptr;
  DWORD thread = GetCurrentThreadId();
  EnterCriticalSection(&lock_);
  if (cachedPair_ && cachedThread_ != 0 && thread == cachedThread_) {
    IUnknown* cached = cachedPtr_;
    LeaveCriticalSection(&lock_);
    return cached;
  }
  IUnknown* ptr = nullptr;
  IUnknown** slot = nullptr;
  if (SUCCEEDED(map_.Find(thread, 0, &slot))) {
    ptr = *slot;
    if (cachedPair_) {
      cachedThread_ = thread;
      cachedPtr_ = ptr;
    }
  } else if (IGlobalInterfaceTable* git = OpenTable()) {
    void* fetched = nullptr;
    if (SUCCEEDED(git->GetInterfaceFromGlobal(cookie_, iid_, &fetched)) && fetched) {
      // Every interface kept here derives from IUnknown alone, so the
      // pointer of the interface is the IUnknown one.
      ptr = static_cast<IUnknown*>(fetched);
      // Without a node the reference goes back at once; the table's own
      // reference keeps the object for as long as it is registered.
      if (FAILED(map_.Insert(thread, 0, ptr))) ptr->Release();
    }
    git->Release();
  }
  LeaveCriticalSection(&lock_);
  return ptr;
}
