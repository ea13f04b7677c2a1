// The file-I/O manager's worker thread (see CWuFioCallThread.h).
#include "fileio/CWuFioCallThread.h"

#include "platform/com/com.h"
#include "platform/com/cowait.h"

CWuFioCallThread::CWuFioCallThread()
    : stop_(0),
      thread_(nullptr),
      threadId_(0),
      request_(nullptr),
      done_(nullptr),
      function_(nullptr),
      data_(nullptr),
      result_(S_OK),
      lock_{} {
  InitializeCriticalSection(&lock_);
}

CWuFioCallThread::~CWuFioCallThread() {
  Stop();
  DeleteCriticalSection(&lock_);
}

HRESULT CWuFioCallThread::Start() {
  EnterCriticalSection(&lock_);
  HRESULT hr = StartLocked();
  LeaveCriticalSection(&lock_);
  return hr;
}

HRESULT CWuFioCallThread::StartLocked() {
  if (thread_ && stop_.load()) {
    // Stopped from a posted call: the thread has ended or is ending.
    WaitForSingleObject(thread_, INFINITE);
    CloseHandles();
  }
  if (thread_) return S_OK;
  request_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  done_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (request_ && done_) {
    // A thread started after Stop runs until the next Stop.
    stop_.store(0);
    DWORD id = 0;
    thread_ = CreateThread(nullptr, 0, &CWuFioCallThread::ThreadBody, this, 0, &id);
    if (thread_) {
      threadId_.store(id);
      return S_OK;
    }
  }
  CloseHandles();
  return E_FAIL;
}

void CWuFioCallThread::CloseHandles() {
  if (thread_) CloseHandle(thread_);
  if (request_) CloseHandle(request_);
  if (done_) CloseHandle(done_);
  thread_ = request_ = done_ = nullptr;
  threadId_.store(0);
}

HRESULT CWuFioCallThread::RunSync(Function function, void* data, HRESULT* result) {
  if (!function) return E_INVALIDARG;
  if (!result) return E_POINTER;
  // A posted call that posts again (a plug-in calling back into the
  // manager while it is loaded) runs inline: the worker cannot wait on
  // itself, and its caller holds the lock.
  if (GetCurrentThreadId() == threadId_.load()) {
    *result = function(data);
    return S_OK;
  }
  EnterCriticalSection(&lock_);
  HRESULT hr = StartLocked();
  if (SUCCEEDED(hr)) {
    function_ = function;
    data_ = data;
    SetEvent(request_);
    if (WaitForSingleObject(done_, INFINITE) == WAIT_OBJECT_0) {
      *result = result_;
      hr = S_OK;
    } else {
      hr = E_FAIL;
    }
  }
  LeaveCriticalSection(&lock_);
  return hr;
}

void CWuFioCallThread::Stop() {
  if (GetCurrentThreadId() == threadId_.load()) {
    // From a posted call: the worker ends after it; the handles are closed
    // by the next Stop or start from another thread.
    stop_.store(1);
    return;
  }
  // Under the lock, so that a call in progress finishes first and no
  // caller posts to a thread that is ending.
  EnterCriticalSection(&lock_);
  stop_.store(1);
  if (thread_) {
    SetEvent(request_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandles();
  }
  LeaveCriticalSection(&lock_);
}

DWORD CWuFioCallThread::ThreadBody(LPVOID self) {
  static_cast<CWuFioCallThread*>(self)->Run();
  return 0;
}

void CWuFioCallThread::Run() {
  HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  do {
    DWORD index = 0;
    HRESULT hr = CoWaitForMultipleHandles(COWAIT_ALERTABLE, INFINITE, 1, &request_, &index);
    if (SUCCEEDED(hr) && function_) {
      result_ = function_(data_);
      function_ = nullptr;
      SetEvent(done_);
    }
  } while (!stop_.load());
  if (SUCCEEDED(init)) CoUninitialize();
}
