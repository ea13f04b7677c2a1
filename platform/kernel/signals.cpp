// Console control handlers over Linux signals: a catcher that writes the
// signal number into a pipe, and one watcher thread that reads it and runs
// the handlers outside signal context.
#include "platform/kernel/signals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/kernel/error.h"

namespace {

// The signals that become control events.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::mutex g_lock;                          // guards the handlers and the start
std::vector<PHANDLER_ROUTINE> g_handlers;   // registration order
bool g_started = false;                     // catchers installed, watcher running
int g_pipe[2] = {-1, -1};                   // catcher -> watcher

DWORD EventOfSignal(int sig) {
  switch (sig) {
    case SIGINT: return CTRL_C_EVENT;
    case SIGTERM: return CTRL_CLOSE_EVENT;
    default: return CTRL_LOGOFF_EVENT;
  }
}

int SignalOfEvent(DWORD ctrl_type) {
  switch (ctrl_type) {
    case CTRL_C_EVENT: return SIGINT;
    case CTRL_LOGOFF_EVENT: return SIGHUP;
    default: return SIGTERM;
  }
}

[[noreturn]] void EndBySignal(int sig);

// Signal context: only write(2), which is async-signal-safe.
void Catch(int sig) {
  int saved = errno;
  unsigned char byte = static_cast<unsigned char>(sig);
  ssize_t ignored = write(g_pipe[1], &byte, 1);
  (void)ignored;
  errno = saved;
}

// Runs the handlers newest first; ends the process by the signal when none
// of them dealt with it.
void Dispatch(int sig) {
  std::vector<PHANDLER_ROUTINE> handlers;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    handlers = g_handlers;
  }
  for (auto it = handlers.rbegin(); it != handlers.rend(); ++it)
    if ((*it)(EventOfSignal(sig))) return;
  EndBySignal(sig);
}

}  // namespace

namespace platform {

void EndByCtrlEvent(DWORD ctrl_type) { EndBySignal(SignalOfEvent(ctrl_type)); }

int SignalOfCtrlEvent(DWORD ctrl_type) { return SignalOfEvent(ctrl_type); }

bool SendCtrlEventToProcessId(DWORD process_id, DWORD ctrl_type) {
  const pid_t pid = static_cast<pid_t>(process_id);
  if (pid <= 0 || pid == getpid()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (kill(pid, SignalOfEvent(ctrl_type)) != 0) {
    SetLastError(errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

}  // namespace platform

namespace {

// Restores the default action of `sig`, unblocks it and raises it.
[[noreturn]] void EndBySignal(int sig) {
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, sig);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  kill(getpid(), sig);
  for (;;) pause();  // the signal ends the process
}

void* Watch(void*) {
  for (;;) {
    unsigned char byte = 0;
    ssize_t got = read(g_pipe[0], &byte, 1);
    if (got == 1) {
      Dispatch(byte);
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return nullptr;
    }
  }
}

// Installs the catchers and the watcher once. Called with g_lock held.
bool StartLocked() {
  if (g_started) return true;
  if (pipe2(g_pipe, O_CLOEXEC) != 0) return false;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, Watch, nullptr) != 0) {
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
    return false;
  }
  pthread_detach(thread);
  for (int sig : kSignals) {
    struct sigaction action = {};
    action.sa_handler = Catch;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(sig, &action, nullptr);
  }
  g_started = true;
  return true;
}

}  // namespace

BOOL SetConsoleCtrlHandler(PHANDLER_ROUTINE handler, BOOL add) {
  if (!handler) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> hold(g_lock);
  if (add) {
    if (!StartLocked()) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return FALSE;
    }
    g_handlers.push_back(handler);
    return TRUE;
  }
  auto it = std::find(g_handlers.rbegin(), g_handlers.rend(), handler);
  if (it == g_handlers.rend()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_handlers.erase(std::next(it).base());
  return TRUE;
}
