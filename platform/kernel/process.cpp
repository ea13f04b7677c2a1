// Processes, the command line of this process, and environment variables.
#include "platform/kernel/process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/signals.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/transport.h"

extern char** environ;

namespace platform {

namespace {

// ---- Process objects ----------------------------------------------------------

// What a process handle stands for.
class ProcessObject : public KernelObject {
 public:
  virtual DWORD Pid() const = 0;
  // STILL_ACTIVE while the process runs, else its exit code.
  virtual DWORD ExitCode() const = 0;
};

// This process (the pseudo handle GetCurrentProcess).
class SelfProcess : public ProcessObject {
 public:
  DWORD Pid() const override { return static_cast<DWORD>(getpid()); }
  DWORD ExitCode() const override { return STILL_ACTIVE; }
};

// A process opened by its id (OpenProcess).
class OpenedProcess : public ProcessObject {
 public:
  OpenedProcess(pid_t pid, DWORD access) : pid(pid), access(access) {}
  DWORD Pid() const override { return static_cast<DWORD>(pid); }
  DWORD ExitCode() const override {
    return (kill(pid, 0) == 0 || errno == EPERM) ? STILL_ACTIVE : 0;
  }

  const pid_t pid;     // the process id it names
  const DWORD access;  // PROCESS_* rights it holds
};

// A child process. State under the dispatcher lock.
class ChildProcess : public ProcessObject {
 public:
  explicit ChildProcess(pid_t pid) : pid(pid) {}
  bool IsWaitable() const override { return true; }
  bool IsSignaledLocked(DWORD) const override { return exited; }
  DWORD Pid() const override { return static_cast<DWORD>(pid); }
  DWORD ExitCode() const override {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    return exited ? exit_code : STILL_ACTIVE;
  }

  const pid_t pid;                   // the child's process id
  bool exited = false;               // ended and reaped
  DWORD exit_code = 0;               // valid once exited
  bool terminated = false;           // TerminateProcess sent SIGKILL
  DWORD terminate_code = 0;          // the exit code it asked for
};

// The main thread of a child process. A child started suspended waits for
// one byte on a socket pair before it runs its program; closing it unwritten
// ends the child. (A socket, not a pipe: writing to a child that is already
// gone must not raise SIGPIPE in this process.)
class ChildMainThread : public ThreadHandleObject {
 public:
  ChildMainThread(std::shared_ptr<ChildProcess> process, DWORD id, int start_fd)
      : process_(std::move(process)), id_(id), start_fd_(start_fd) {}
  ~ChildMainThread() override {
    if (start_fd_ >= 0) close(start_fd_);
  }
  bool IsSignaledLocked(DWORD) const override { return process_->exited; }
  DWORD ThreadId() const override { return id_; }
  DWORD ExitCode() const override { return process_->ExitCode(); }
  DWORD Resume() override {
    std::lock_guard<std::mutex> guard(lock_);
    if (start_fd_ < 0) return 0;
    const char go = 1;
    ssize_t n;
    do {
      n = send(start_fd_, &go, 1, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    close(start_fd_);
    start_fd_ = -1;
    return 1;
  }

 private:
  const std::shared_ptr<ChildProcess> process_;  // the process it belongs to
  const DWORD id_;                               // its thread id
  std::mutex lock_;                              // guards start_fd_
  int start_fd_;                                 // start socket while suspended, else -1
};

// Children whose watcher reaps them: ReapAdoptedChildren leaves these alone.
struct WatchedChildren {
  std::mutex lock;        // guards pids
  std::set<pid_t> pids;   // children with a running watcher
};

// Never destroyed: watcher threads may still run while the process exits.
WatchedChildren& Watched() {
  static WatchedChildren* watched = new WatchedChildren;
  return *watched;
}

void SetWatched(pid_t pid, bool watched) {
  WatchedChildren& w = Watched();
  std::lock_guard<std::mutex> guard(w.lock);
  if (watched)
    w.pids.insert(pid);
  else
    w.pids.erase(pid);
}

// Reaps one child and records how it ended. The child is first waited for
// without reaping, so that its id cannot be reused while TerminateProcess
// may still signal it; it is reaped under the dispatcher lock.
void* WatchChild(void* data) {
  auto* holder = static_cast<std::shared_ptr<ChildProcess>*>(data);
  std::shared_ptr<ChildProcess> child = std::move(*holder);
  delete holder;
  siginfo_t info;
  int rc;
  do {
    std::memset(&info, 0, sizeof(info));
    rc = waitid(P_PID, static_cast<id_t>(child->pid), &info, WEXITED | WNOWAIT);
  } while (rc != 0 && errno == EINTR);
  {
    std::lock_guard<std::mutex> guard(DispatcherLock());
    DWORD code = 0xFFFFFFFFu;  // reaped by someone else: the status is lost
    if (rc == 0) {
      if (info.si_code == CLD_EXITED) {
        code = static_cast<DWORD>(info.si_status) & 0xFF;
      } else {
        const int signal_number = info.si_status;
        code = (child->terminated && signal_number == SIGKILL)
                   ? child->terminate_code
                   : 0xC0000000u | static_cast<DWORD>(signal_number);
      }
      while (waitpid(child->pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
    SetWatched(child->pid, false);
    child->exit_code = code;
    child->exited = true;
  }
  DispatcherWake();
  return nullptr;
}

// Starts the watcher of a child; FALSE when no thread can be started.
bool StartWatcher(const std::shared_ptr<ChildProcess>& child) {
  auto* holder = new (std::nothrow) std::shared_ptr<ChildProcess>(child);
  if (!holder) return false;
  try {
    SetWatched(child->pid, true);
  } catch (const std::bad_alloc&) {
    delete holder;
    return false;
  }
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, WatchChild, holder);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    SetWatched(child->pid, false);
    delete holder;
    return false;
  }
  return true;
}

std::shared_ptr<ChildProcess> MakeNoThrowChild(pid_t pid) {
  try {
    return std::make_shared<ChildProcess>(pid);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// Ends a child with SIGKILL; FALSE when it has already ended. The first
// request's exit code is the one the child gets.
bool TerminateProcessObject(const std::shared_ptr<ChildProcess>& child, DWORD exit_code) {
  std::lock_guard<std::mutex> guard(DispatcherLock());
  if (child->exited) return false;  // reaped: its id may belong to another process
  if (!child->terminated) {
    child->terminated = true;
    child->terminate_code = exit_code;
  }
  kill(child->pid, SIGKILL);
  return true;
}

// ---- Starting a program ----------------------------------------------------------------

// Where the child failed before its program ran.
enum ChildStage : int { kStageChdir = 1, kStageExec = 2 };

// What the child reports through the error pipe.
struct ChildFailure {
  int stage;  // ChildStage
  int error;  // errno
};

// Everything the child needs, made before fork: after fork the child may
// only make async-signal-safe calls.
struct LaunchPlan {
  std::string program;                // Linux path of the program
  std::vector<std::string> args;      // argv texts
  std::vector<std::string> env;       // environment texts "name=value"
  std::string directory;              // working folder, empty to keep ours
  int std_fds[3] = {-1, -1, -1};      // descriptors for 0, 1, 2, or -1
  bool suspended = false;             // wait on the start socket first
  std::vector<char*> argv;            // pointers into args, NULL-terminated
  std::vector<char*> envp;            // pointers into env, NULL-terminated
};

bool IsSpaceOrTab(WCHAR c) { return c == u' ' || c == u'\t'; }

bool HasPathSeparator(std::u16string_view s) {
  return s.find_first_of(u"/\\") != std::u16string_view::npos ||
         (s.size() >= 2 && s[1] == u':');
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::mutex& EnvironmentLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

// Finds a bare program name in the current folder, then in PATH.
std::string SearchProgram(const std::string& name) {
  if (IsRegularFile(name)) return name;
  std::string dirs;
  {
    std::lock_guard<std::mutex> guard(EnvironmentLock());
    const char* path = getenv("PATH");
    if (!path) return std::string();
    dirs = path;
  }
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    if (IsRegularFile(candidate) && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return std::string();
}

// The Win32 error for a failed start of `program`.
DWORD StartError(const std::string& program, int error) {
  if (error == ENOENT) {
    size_t slash = program.rfind('/');
    std::string dir = slash == std::string::npos ? "." : program.substr(0, slash ? slash : 1);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
  }
  if (error == EISDIR) return ERROR_ACCESS_DENIED;
  return ErrorFromErrno(error);
}

// Checks a program before a suspended start, where a failed execve can no
// longer be reported. 0 when it looks runnable.
DWORD CheckProgram(const std::string& program) {
  struct stat st;
  if (stat(program.c_str(), &st) != 0) return StartError(program, errno);
  if (!S_ISREG(st.st_mode)) return ERROR_ACCESS_DENIED;
  if (access(program.c_str(), X_OK) != 0) return StartError(program, errno);
  return 0;
}

// The texts of an environment block.
bool ReadEnvironmentBlock(const void* block, bool unicode, std::vector<std::string>* out) {
  if (unicode) {
    const WCHAR* p = static_cast<const WCHAR*>(block);
    while (*p) {
      size_t n = WStrLen(p);
      out->push_back(ToUtf8(std::u16string_view(p, n)));
      p += n + 1;
    }
    return true;
  }
  const char* p = static_cast<const char*>(block);
  while (*p) {
    int n = static_cast<int>(std::strlen(p));
    int wide = MultiByteToWideChar(CP_ACP, 0, p, n, nullptr, 0);
    std::u16string text(static_cast<size_t>(wide > 0 ? wide : 0), u'\0');
    if (wide > 0) MultiByteToWideChar(CP_ACP, 0, p, n, text.data(), wide);
    out->push_back(ToUtf8(text));
    p += n + 1;
  }
  return true;
}

// Fills a plan from CreateProcessW's arguments; 0 or a Win32 error.
DWORD MakePlan(LPCWSTR application_name, LPCWSTR command_line, DWORD flags, LPVOID environment,
               LPCWSTR current_directory, const STARTUPINFOW* startup, LaunchPlan* plan) {
  std::vector<std::u16string> args;
  if (command_line) args = SplitCommandLine(command_line);
  if (application_name && *application_name) {
    plan->program = ToLinuxPath(application_name);
    if (plan->program.empty()) return ERROR_PATH_NOT_FOUND;
    if (args.empty()) args.emplace_back(application_name);
  } else {
    if (args.empty() || args[0].empty()) return ERROR_INVALID_PARAMETER;
    if (HasPathSeparator(args[0])) {
      plan->program = ToLinuxPath(args[0]);
      if (plan->program.empty()) return ERROR_PATH_NOT_FOUND;
    } else {
      plan->program = SearchProgram(ToUtf8(args[0]));
      if (plan->program.empty()) return ERROR_FILE_NOT_FOUND;
    }
  }
  for (const std::u16string& a : args) plan->args.push_back(ToUtf8(a));

  if (current_directory && *current_directory) {
    plan->directory = ToLinuxPath(current_directory);
    struct stat st;
    if (plan->directory.empty() || stat(plan->directory.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
      return ERROR_DIRECTORY;
  }

  if (environment) {
    ReadEnvironmentBlock(environment, (flags & CREATE_UNICODE_ENVIRONMENT) != 0, &plan->env);
  } else {
    std::lock_guard<std::mutex> guard(EnvironmentLock());
    for (char** e = environ; e && *e; ++e) plan->env.emplace_back(*e);
  }

  if (startup && (startup->dwFlags & STARTF_USESTDHANDLES)) {
    const HANDLE handles[3] = {startup->hStdInput, startup->hStdOutput, startup->hStdError};
    for (int i = 0; i < 3; ++i) {
      if (handles[i] && handles[i] != INVALID_HANDLE_VALUE) {
        DWORD saved = GetLastError();
        plan->std_fds[i] = DescriptorOfFileHandle(handles[i]);
        SetLastError(saved);
      }
    }
  }
  plan->suspended = (flags & CREATE_SUSPENDED) != 0;
  if (plan->suspended) {
    if (DWORD error = CheckProgram(plan->program)) return error;
  }

  for (std::string& a : plan->args) plan->argv.push_back(a.data());
  plan->argv.push_back(nullptr);
  for (std::string& e : plan->env) plan->envp.push_back(e.data());
  plan->envp.push_back(nullptr);
  return 0;
}

// Runs in the child after fork: async-signal-safe calls only.
[[noreturn]] void RunChild(const LaunchPlan& plan, int error_fd, const int start_socket[2],
                           int max_fd) {
  // The child keeps only its end of the start socket, so that it sees the
  // end when the parent closes the other end unwritten.
  const int start_fd = start_socket[0];
  if (start_socket[1] >= 0) close(start_socket[1]);

  // Signals: default actions and nothing blocked, as a fresh program expects.
  struct sigaction action;
  std::memset(&action, 0, sizeof(action));
  action.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; ++s) sigaction(s, &action, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);

  // Standard descriptors: copy the sources out of the way first, so that one
  // target cannot overwrite another's source.
  int moved[3];
  for (int i = 0; i < 3; ++i)
    moved[i] = plan.std_fds[i] >= 0 ? fcntl(plan.std_fds[i], F_DUPFD_CLOEXEC, 3) : -1;
  for (int i = 0; i < 3; ++i)
    if (moved[i] >= 0) dup2(moved[i], i);

  // Nothing but 0, 1 and 2 reaches the program.
  if (syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) != 0) {
    for (int fd = 3; fd < max_fd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
  }

  ChildFailure failure = {0, 0};
  if (!plan.directory.empty() && chdir(plan.directory.c_str()) != 0) {
    failure = {kStageChdir, errno};
  } else {
    if (start_fd >= 0) {
      char go = 0;
      ssize_t n;
      do {
        n = read(start_fd, &go, 1);
      } while (n < 0 && errno == EINTR);
      if (n != 1) _exit(127);  // closed without a start
    }
    execve(plan.program.c_str(), plan.argv.data(), plan.envp.data());
    failure = {kStageExec, errno};
  }
  if (error_fd >= 0) {
    ssize_t n;
    do {
      n = write(error_fd, &failure, sizeof(failure));
    } while (n < 0 && errno == EINTR);
  }
  _exit(127);
}

// Reads the child's report: true when its program runs (the pipe closed at
// execve without a word).
bool ReadChildReport(int fd, ChildFailure* failure) {
  size_t got = 0;
  char* p = reinterpret_cast<char*>(failure);
  while (got < sizeof(*failure)) {
    ssize_t n = read(fd, p + got, sizeof(*failure) - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got < sizeof(*failure);
}

void ClosePipe(int fds[2]) {
  for (int i = 0; i < 2; ++i) {
    if (fds[i] >= 0) close(fds[i]);
    fds[i] = -1;
  }
}

// ---- The command line ------------------------------------------------------------------

struct CommandLineStore {
  std::mutex lock;
  bool made = false;       // `text` holds the command line
  std::u16string text;     // GetCommandLineW's text
};

CommandLineStore& CommandLine() {
  static CommandLineStore* store = new CommandLineStore;  // lives to process exit
  return *store;
}

// The arguments Linux gave this process.
std::vector<std::u16string> OwnArguments() {
  std::vector<std::u16string> args;
  std::string all = ReadLinuxFile("/proc/self/cmdline");
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    args.push_back(ToUtf16(std::string_view(all).substr(start, end - start)));
    start = end + 1;
  }
  return args;
}

std::u16string OwnProgramPath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return std::u16string();
  return FromLinuxPath(std::string(buffer, static_cast<size_t>(n)));
}

// Appends one argument after the first, quoted when it must be.
void AppendQuoted(std::u16string& out, const std::u16string& arg) {
  if (!arg.empty() && arg.find_first_of(u" \t\n\v\"") == std::u16string::npos) {
    out += arg;
    return;
  }
  out += u'"';
  size_t backslashes = 0;
  for (WCHAR c : arg) {
    if (c == u'\\') {
      ++backslashes;
      continue;
    }
    if (c == u'"') {
      out.append(backslashes * 2 + 1, u'\\');  // escape them and the quote
    } else {
      out.append(backslashes, u'\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, u'\\');  // they come before the closing quote
  out += u'"';
}

// ---- Environment --------------------------------------------------------------------------

bool SameNameIgnoringCase(const char* a, size_t a_len, const std::string& b) {
  if (a_len != b.size()) return false;
  for (size_t i = 0; i < a_len; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

// The name under which a variable is set (exact match first, then without
// regard to case); empty when it is not set. Under EnvironmentLock().
std::string FindVariableLocked(const std::string& name) {
  if (getenv(name.c_str())) return name;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq && SameNameIgnoringCase(*e, static_cast<size_t>(eq - *e), name))
      return std::string(*e, static_cast<size_t>(eq - *e));
  }
  return std::string();
}

// The value of a variable; false when it is not set.
bool ReadVariable(const std::u16string& name, std::u16string* value) {
  std::string name8 = ToUtf8(name);
  if (name8.empty() || name8.find('=') != std::string::npos) return false;
  std::lock_guard<std::mutex> guard(EnvironmentLock());
  std::string found = FindVariableLocked(name8);
  if (found.empty()) return false;
  *value = ToUtf16(getenv(found.c_str()));
  return true;
}

}  // namespace

std::shared_ptr<KernelObject> CurrentProcessObject() {
  static std::shared_ptr<KernelObject>* self = [] {
    auto* p = new (std::nothrow) std::shared_ptr<KernelObject>;
    if (p) {
      try {
        *p = std::make_shared<SelfProcess>();
      } catch (const std::bad_alloc&) {
      }
    }
    return p;
  }();
  return self ? *self : nullptr;
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view s) {
  std::vector<std::u16string> args;
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && IsSpaceOrTab(s[i])) ++i;
  if (i == n) return args;

  // The program: quotes group, nothing escapes.
  std::u16string arg;
  bool quoted = false;
  for (; i < n && (quoted || !IsSpaceOrTab(s[i])); ++i) {
    if (s[i] == u'"')
      quoted = !quoted;
    else
      arg += s[i];
  }
  args.push_back(arg);

  for (;;) {
    while (i < n && IsSpaceOrTab(s[i])) ++i;
    if (i == n) break;
    arg.clear();
    quoted = false;
    while (i < n && (quoted || !IsSpaceOrTab(s[i]))) {
      if (s[i] == u'\\') {
        size_t run = 0;
        while (i < n && s[i] == u'\\') ++run, ++i;
        if (i < n && s[i] == u'"') {
          arg.append(run / 2, u'\\');
          if (run % 2) {  // an escaped quote
            arg += u'"';
            ++i;
          }
        } else {
          arg.append(run, u'\\');
        }
      } else if (s[i] == u'"') {
        if (quoted && i + 1 < n && s[i + 1] == u'"') {  // "" inside quotes
          arg += u'"';
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
      } else {
        arg += s[i++];
      }
    }
    args.push_back(arg);
  }
  return args;
}

std::u16string JoinCommandLine(const std::vector<std::u16string>& args) {
  std::u16string out;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i == 0) {
      std::u16string program;
      for (WCHAR c : args[0])
        if (c != u'"') program += c;
      bool quote = program.empty() || program.find_first_of(u" \t") != std::u16string::npos;
      if (quote) out += u'"';
      out += program;
      if (quote) out += u'"';
    } else {
      out += u' ';
      AppendQuoted(out, args[i]);
    }
  }
  return out;
}

void SetCommandLineFromArgv(int argc, const char* const* argv) {
  std::vector<std::u16string> args;
  for (int i = 0; i < argc && argv && argv[i]; ++i) args.push_back(ToUtf16(argv[i]));
  std::u16string text = JoinCommandLine(args);
  CommandLineStore& store = CommandLine();
  std::lock_guard<std::mutex> guard(store.lock);
  store.text = std::move(text);
  store.made = true;
}

}  // namespace platform

// ---- Processes -----------------------------------------------------------------------------

BOOL CreateProcessW(LPCWSTR application_name, LPWSTR command_line, void* process_security,
                    void* thread_security, BOOL inherit_handles, DWORD creation_flags,
                    LPVOID environment, LPCWSTR current_directory,
                    LPSTARTUPINFOW startup_info, LPPROCESS_INFORMATION process_information) {
  using namespace platform;
  if (!process_information || (!application_name && !command_line)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  LaunchPlan plan;
  int error_pipe[2] = {-1, -1};
  int start_socket[2] = {-1, -1};
  std::shared_ptr<ChildMainThread> thread;
  pid_t pid;
  try {
    if (DWORD error = MakePlan(application_name, command_line, creation_flags, environment,
                               current_directory, startup_info, &plan)) {
      SetLastError(error);
      return FALSE;
    }
    struct rlimit limit;
    const int max_fd = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < 65536
                           ? static_cast<int>(limit.rlim_cur)
                           : 65536;
    if ((!plan.suspended && pipe2(error_pipe, O_CLOEXEC) != 0) ||
        (plan.suspended &&
         socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, start_socket) != 0)) {
      SetLastErrorFromErrno();
      ClosePipe(error_pipe);
      return FALSE;
    }
    pid = fork();
    if (pid == 0) RunChild(plan, error_pipe[1], start_socket, max_fd);
    if (pid < 0) {
      SetLastError(errno == EAGAIN || errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY
                                                      : ErrorFromErrno(errno));
      ClosePipe(error_pipe);
      ClosePipe(start_socket);
      return FALSE;
    }
  } catch (const std::bad_alloc&) {
    ClosePipe(error_pipe);
    ClosePipe(start_socket);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }

  // From here the child exists and must be reaped whatever happens.
  if (error_pipe[1] >= 0) close(error_pipe[1]);
  if (start_socket[0] >= 0) close(start_socket[0]);
  std::shared_ptr<ChildProcess> child = MakeNoThrowChild(pid);
  if (!child || !StartWatcher(child)) {
    if (start_socket[1] >= 0) close(start_socket[1]);
    kill(pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (error_pipe[0] >= 0) close(error_pipe[0]);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  if (error_pipe[0] >= 0) {
    ChildFailure failure = {0, 0};
    bool started = ReadChildReport(error_pipe[0], &failure);
    close(error_pipe[0]);
    if (!started) {  // the watcher reaps the child
      SetLastError(failure.stage == kStageChdir ? ERROR_DIRECTORY
                                                : StartError(plan.program, failure.error));
      return FALSE;
    }
  }

  try {
    thread = std::make_shared<ChildMainThread>(child, NewThreadId(), start_socket[1]);
  } catch (const std::bad_alloc&) {
    if (start_socket[1] >= 0) close(start_socket[1]);
  }
  HANDLE process_handle = thread ? AllocHandle(child) : nullptr;
  HANDLE thread_handle = process_handle ? AllocHandle(thread) : nullptr;
  if (!thread_handle) {
    if (process_handle) FreeHandle(process_handle);
    TerminateProcessObject(child, 1);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  process_information->hProcess = process_handle;
  process_information->hThread = thread_handle;
  process_information->dwProcessId = static_cast<DWORD>(pid);
  process_information->dwThreadId = thread->ThreadId();
  return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exit_code) {
  auto object = platform::LookupHandleAs<platform::ProcessObject>(process);
  if (!object) return FALSE;
  if (!exit_code) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exit_code = object->ExitCode();
  return TRUE;
}

BOOL TerminateProcess(HANDLE process, UINT exit_code) {
  if (process == platform::CurrentProcessPseudoHandle()) ExitProcess(exit_code);
  auto child = platform::LookupHandleAs<platform::ChildProcess>(process);
  if (!child) return FALSE;
  if (!platform::TerminateProcessObject(child, exit_code)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}

DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds) {
  if (!platform::LookupHandleAs<platform::ProcessObject>(process)) return WAIT_FAILED;
  return 0;
}

HANDLE GetCurrentProcess() { return platform::CurrentProcessPseudoHandle(); }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE OpenProcess(DWORD access, BOOL inherit, DWORD process_id) {
  const pid_t pid = static_cast<pid_t>(process_id);
  if (process_id == 0 || pid <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (kill(pid, 0) != 0) {
    SetLastError(errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<platform::OpenedProcess> object;
  try {
    object = std::make_shared<platform::OpenedProcess>(pid, access);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return platform::AllocHandle(std::move(object));
}

bool platform::ProcessIdWithAccess(HANDLE process, DWORD rights, DWORD* process_id) {
  auto object = platform::LookupHandleAs<platform::ProcessObject>(process);
  if (!object) return false;
  auto opened = std::dynamic_pointer_cast<platform::OpenedProcess>(object);
  if (opened && (opened->access & rights) != rights) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (process_id) *process_id = object->Pid();
  return true;
}

DWORD GetProcessId(HANDLE process) {
  auto object = platform::LookupHandleAs<platform::ProcessObject>(process);
  return object ? object->Pid() : 0;
}

void ExitProcess(UINT exit_code) {
  // Answers this process's handlers gave over the local transport reach
  // their callers first (a bounded wait).
  platform::WaitForTransportConnections(platform::kTransportExitWaitMs);
  std::fflush(nullptr);
  _exit(static_cast<int>(exit_code & 0xFF));
}

// ---- The command line ---------------------------------------------------------------------

LPWSTR GetCommandLineW() {
  platform::CommandLineStore& store = platform::CommandLine();
  std::lock_guard<std::mutex> guard(store.lock);
  if (!store.made) {
    try {
      store.text = platform::JoinCommandLine(platform::OwnArguments());
      store.made = true;
    } catch (const std::bad_alloc&) {
      store.text.clear();
    }
  }
  return store.text.data();
}

LPWSTR* CommandLineToArgvW(LPCWSTR command_line, int* count) {
  if (!count) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<std::u16string> args;
  try {
    if (command_line) args = platform::SplitCommandLine(command_line);
    if (args.empty()) args.push_back(platform::OwnProgramPath());
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // One block: the pointers (NULL-terminated), then the texts.
  size_t bytes = (args.size() + 1) * sizeof(LPWSTR);
  for (const std::u16string& a : args) bytes += (a.size() + 1) * sizeof(WCHAR);
  auto* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, bytes));
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  LPWSTR* argv = reinterpret_cast<LPWSTR*>(block);
  auto* text = reinterpret_cast<WCHAR*>(block + (args.size() + 1) * sizeof(LPWSTR));
  for (size_t i = 0; i < args.size(); ++i) {
    argv[i] = text;
    std::memcpy(text, args[i].data(), args[i].size() * sizeof(WCHAR));
    text[args[i].size()] = 0;
    text += args[i].size() + 1;
  }
  argv[args.size()] = nullptr;
  *count = static_cast<int>(args.size());
  return argv;
}

// ---- Environment variables ------------------------------------------------------------------

DWORD GetEnvironmentVariableW(LPCWSTR name, LPWSTR buffer, DWORD size) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string value;
  try {
    if (!platform::ReadVariable(name, &value)) {
      SetLastError(ERROR_ENVVAR_NOT_FOUND);
      return 0;
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const DWORD length = static_cast<DWORD>(value.size());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, value.data(), value.size() * sizeof(WCHAR));
  buffer[length] = 0;
  if (length == 0) SetLastError(ERROR_SUCCESS);
  return length;
}

BOOL SetEnvironmentVariableW(LPCWSTR name, LPCWSTR value) {
  try {
    std::string name8 = platform::ToUtf8(name);
    if (name8.empty() || name8.find('=') != std::string::npos) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::lock_guard<std::mutex> guard(platform::EnvironmentLock());
    std::string existing = platform::FindVariableLocked(name8);
    const std::string& target = existing.empty() ? name8 : existing;
    int rc = value ? setenv(target.c_str(), platform::ToUtf8(value).c_str(), 1)
                   : unsetenv(target.c_str());
    if (rc != 0) {
      platform::SetLastErrorFromErrno();
      return FALSE;
    }
    return TRUE;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}

DWORD ExpandEnvironmentStringsW(LPCWSTR source, LPWSTR dest, DWORD size) {
  if (!source) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string out;
  try {
    std::u16string_view s(source);
    size_t i = 0;
    while (i < s.size()) {
      if (s[i] != u'%') {
        out += s[i++];
        continue;
      }
      size_t close = s.find(u'%', i + 1);
      std::u16string value;
      if (close != std::u16string_view::npos && close > i + 1 &&
          platform::ReadVariable(std::u16string(s.substr(i + 1, close - i - 1)), &value)) {
        out += value;
        i = close + 1;
      } else {
        out += u'%';  // not a reference: the next '%' may start one
        ++i;
      }
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const DWORD needed = static_cast<DWORD>(out.size() + 1);
  if (dest && size >= needed) {
    std::memcpy(dest, out.data(), out.size() * sizeof(WCHAR));
    dest[out.size()] = 0;
  } else if (dest && size > 0) {
    dest[0] = 0;
  }
  return needed;
}

// ---- Process trees ----------------------------------------------------------------------

namespace platform {

namespace {

// One process as /proc/<pid>/stat tells it.
struct ProcStat {
  pid_t pid;      // its id
  pid_t parent;   // its parent's id
  char state;     // 'R', 'S', ... 'Z' for ended and not reaped
};

// Every process of /proc whose stat can be read.
std::vector<ProcStat> ReadProcesses() {
  std::vector<ProcStat> all;
  DIR* proc = opendir("/proc");
  if (!proc) return all;
  while (dirent* e = readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(e->d_name, &end, 10);
    if (pid <= 0 || !end || *end) continue;
    std::string line = ReadLinuxFile(std::string("/proc/") + e->d_name + "/stat");
    if (line.empty()) continue;
    line.resize(std::min(line.find('\n'), line.size()));
    // "pid (name) state ppid ...": the name may hold spaces and ')'.
    size_t close_paren = line.rfind(')');
    if (close_paren == std::string::npos || close_paren + 4 > line.size()) continue;
    ProcStat st{static_cast<pid_t>(pid), 0, line[close_paren + 2]};
    st.parent = static_cast<pid_t>(std::strtol(line.c_str() + close_paren + 4, nullptr, 10));
    all.push_back(st);
  }
  closedir(proc);
  return all;
}

}  // namespace

bool BecomeChildSubreaper() {
  if (prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0) {
    SetLastErrorFromErrno();
    return false;
  }
  return true;
}

std::vector<DWORD> DescendantProcessIds() {
  std::vector<DWORD> found;
  try {
    std::vector<ProcStat> all = ReadProcesses();
    std::multimap<pid_t, const ProcStat*> children;
    for (const ProcStat& st : all) children.emplace(st.parent, &st);
    std::vector<pid_t> parents = {getpid()};
    std::set<pid_t> seen = {getpid()};
    while (!parents.empty()) {
      pid_t parent = parents.back();
      parents.pop_back();
      auto range = children.equal_range(parent);
      for (auto it = range.first; it != range.second; ++it) {
        const ProcStat& child = *it->second;
        if (!seen.insert(child.pid).second) continue;
        parents.push_back(child.pid);
        if (child.state != 'Z' && child.state != 'X') found.push_back(static_cast<DWORD>(child.pid));
      }
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return found;
}

int ReapAdoptedChildren() {
  int reaped = 0;
  try {
    const pid_t self = getpid();
    for (const ProcStat& st : ReadProcesses()) {
      if (st.parent != self || st.state != 'Z') continue;
      {
        WatchedChildren& w = Watched();
        std::lock_guard<std::mutex> guard(w.lock);
        if (w.pids.count(st.pid)) continue;
      }
      if (waitpid(st.pid, nullptr, WNOHANG) == st.pid) ++reaped;
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return reaped;
}

bool KillProcessById(DWORD process_id) {
  const pid_t pid = static_cast<pid_t>(process_id);
  if (pid <= 0 || pid == getpid()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (kill(pid, SIGKILL) != 0) {
    SetLastError(errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
    return false;
  }
  return true;
}

bool SendCtrlEventToChild(HANDLE process, DWORD ctrl_type) {
  auto child = LookupHandleAs<ChildProcess>(process);
  if (!child) return false;
  std::lock_guard<std::mutex> guard(DispatcherLock());
  if (child->exited) {  // reaped: its id may belong to another process
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  kill(child->pid, SignalOfCtrlEvent(ctrl_type));
  return true;
}

}  // namespace platform
