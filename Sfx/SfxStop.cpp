// The run's answer to SIGINT, SIGTERM and SIGHUP: the control handler (on
// the platform's watcher thread) and the steps of the run that follow it.
#include "Sfx/SfxStop.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "Sfx/SfxExtractWorker.h"
#include "Sfx/SfxRun.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuString.h"
#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "platform/kernel/signals.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"

namespace {

constexpr DWORD kPollMs = 20;             // how often leftovers are looked at
constexpr DWORD kAfterKillMs = 2000;      // how long killed processes are waited for
constexpr int kRemovePasses = 3;          // tries at removing the tree on a signal

// The handler reads its own copies under this lock, and holds it until it
// has finished with the worker and the folder: the main thread's clean-up
// waits for it.
std::mutex g_lock;                         // guards everything below but the atomics
WCHAR g_folder[SFX_PATH_SIZE] = {};        // folder to remove when stopped, or empty
bool g_setupPhase = false;                 // the setup program is (about to be) running
HANDLE g_setup = nullptr;                  // its process while it runs
std::atomic<bool> g_handlerAdded{false};   // the handler is registered
std::atomic<LONG> g_stopEvent{-1};         // the control event that stops the run, or -1
std::atomic<ULONGLONG> g_firstSignalAt{0}; // GetTickCount64 of the first signal

BOOL StopOnSignal(DWORD ctrlType) {
  LONG none = -1;
  if (g_stopEvent.compare_exchange_strong(none, static_cast<LONG>(ctrlType)))
    g_firstSignalAt.store(GetTickCount64());
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_setupPhase) {
    // The setup program decides how it ends; the run waits for it.
    if (g_setup) platform::SendCtrlEventToChild(g_setup, ctrlType);
    return TRUE;
  }
  // Nothing may write into the tree while it is removed.
  SfxRequestExtractStop();
  if (g_SfxRunState.workerThread) WaitForSingleObject(g_SfxRunState.workerThread, SfxWorkerStopWaitMs);
  // The main thread may still write into the folder (before the worker
  // starts): a pass that fails is repeated while the folder is there.
  for (int pass = 0; g_folder[0] && pass < kRemovePasses; ++pass)
    if (Sfx_WuDeleteDirectoryTree(g_folder, TRUE) || GetFileAttributesW(g_folder) == INVALID_FILE_ATTRIBUTES) break;
  g_folder[0] = 0;
  return FALSE;  // the process ends by the signal
}

ULONGLONG Deadline() { return g_firstSignalAt.load() + SfxStopBoundMs; }

}  // namespace

void SfxWatchTempFolder(LPCWSTR folder) {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    WuStrCpyN(g_folder, folder ? folder : u"", SFX_PATH_SIZE);
  }
  if (folder && folder[0] && !g_handlerAdded.exchange(true))
    SetConsoleCtrlHandler(StopOnSignal, TRUE);
}

void SfxRemoveTempFolder(LPWSTR folder) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_folder[0] = 0;
  if (folder && folder[0]) Sfx_WuDeleteDirectoryTree(folder, TRUE);
  if (folder) folder[0] = 0;
}

void SfxAdoptWorkerHandle(HANDLE worker) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_SfxRunState.workerThread) CloseHandle(g_SfxRunState.workerThread);
  g_SfxRunState.workerThread = worker;
  if (g_stopEvent.load() >= 0) SfxRequestExtractStop();
}

HANDLE SfxTakeWorkerHandle() {
  std::lock_guard<std::mutex> hold(g_lock);
  HANDLE worker = g_SfxRunState.workerThread;
  g_SfxRunState.workerThread = nullptr;
  return worker;
}

BOOL SfxSetupStarting() {
  std::lock_guard<std::mutex> hold(g_lock);
  if (g_stopEvent.load() >= 0) return FALSE;
  g_setupPhase = true;
  return TRUE;
}

void SfxSetupStarted(HANDLE process) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_setup = process;
  LONG stop = g_stopEvent.load();
  if (stop >= 0) platform::SendCtrlEventToChild(process, static_cast<DWORD>(stop));
}

void SfxSetupEnded() {
  std::lock_guard<std::mutex> hold(g_lock);
  g_setup = nullptr;
}

BOOL SfxStopBoundPassed() {
  return g_stopEvent.load() >= 0 && GetTickCount64() >= Deadline() ? TRUE : FALSE;
}

void SfxStopLeftovers() {
  LONG stop = g_stopEvent.load();
  if (stop < 0) return;
  std::vector<DWORD> signalled;
  for (;;) {
    platform::ReapAdoptedChildren();
    std::vector<DWORD> live = platform::DescendantProcessIds();
    if (live.empty()) return;
    ULONGLONG now = GetTickCount64();
    if (now >= Deadline() + kAfterKillMs) return;  // killed and still there: never hang
    for (DWORD pid : live) {
      if (now >= Deadline()) {
        platform::KillProcessById(pid);
      } else if (std::find(signalled.begin(), signalled.end(), pid) == signalled.end()) {
        signalled.push_back(pid);
        platform::SendCtrlEventToProcessId(pid, static_cast<DWORD>(stop));
      }
    }
    Sleep(kPollMs);
  }
}

void SfxEndIfStopped() {
  LONG stop = g_stopEvent.load();
  if (stop < 0) return;
  { std::lock_guard<std::mutex> hold(g_lock); }  // a handler still at work finishes first
  platform::EndByCtrlEvent(static_cast<DWORD>(stop));
}
