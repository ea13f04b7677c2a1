// The local transport: Unix stream sockets in the runtime folder, one framed
// request and one framed answer per connection.
#include "platform/kernel/transport.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/kernel/error.h"
#include "platform/kernel/local_socket_internal.h"
#include "platform/kernel/state.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
constexpr int kMaxConnections = 32;     // handlers running at once; more wait in the backlog
constexpr int kServeTimeoutMs = 5000;   // for a caller to send its request, and to take the answer
constexpr int kCreateAttempts = 8;      // the runtime folder may go between its creation and a bind

void Put32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>((v >> (8 * i)) & 0xFF);
}
DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

// Milliseconds left until `deadline` (0 when it passed).
int MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 0x7FFFFFFF));
}

// Waits for `events` on a non-blocking descriptor; false on timeout
// (errno ETIMEDOUT) or failure.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  while (true) {
    pollfd p = {fd, events, 0};
    int n = poll(&p, 1, MsLeft(deadline));
    if (n > 0) return true;
    if (n == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    if (errno != EINTR) return false;
  }
}

bool SendAll(int fd, const BYTE* data, size_t size, Clock::time_point deadline) {
  while (size) {
    ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, deadline)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool ReceiveAll(int fd, BYTE* data, size_t size, Clock::time_point deadline) {
  while (size) {
    ssize_t n = recv(fd, data, size, 0);
    if (n > 0) {
      data += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) {
      errno = ECONNRESET;  // the other side closed before the frame was whole
      return false;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(fd, POLLIN, deadline)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool SendFrame(int fd, const std::string& payload, Clock::time_point deadline) {
  if (payload.size() > kMaxTransportPayload) {
    errno = EMSGSIZE;
    return false;
  }
  BYTE header[kTransportFrameHeader];
  Put32(header, kTransportMagic);
  Put32(header + 4, static_cast<DWORD>(payload.size()));
  return SendAll(fd, header, sizeof header, deadline) &&
         SendAll(fd, reinterpret_cast<const BYTE*>(payload.data()), payload.size(), deadline);
}

// Reads one frame; a foreign magic or an oversized frame fails with
// EBADMSG before its payload is read.
bool ReceiveFrame(int fd, std::string* payload, Clock::time_point deadline) {
  BYTE header[kTransportFrameHeader];
  if (!ReceiveAll(fd, header, sizeof header, deadline)) return false;
  DWORD size = Get32(header + 4);
  if (Get32(header) != kTransportMagic || size > kMaxTransportPayload) {
    errno = EBADMSG;
    return false;
  }
  payload->assign(size, '\0');
  return ReceiveAll(fd, reinterpret_cast<BYTE*>(payload->data()), size, deadline);
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}

// The connections this process serves, over all its listeners. Process
// exit waits for them; the record is never destroyed, as detached serving
// threads may still use it while the process ends.
struct Serving {
  std::mutex lock;
  std::condition_variable idle;  // signalled whenever a connection ends
  int count = 0;                 // connections accepted and not yet closed
};

// True on a thread while it serves a connection (its own is not waited for).
thread_local bool t_serving = false;

Serving& ServingConnections() {
  static Serving* serving = [] {
    auto* made = new Serving;
    // Registered once the first listener exists: atexit handlers run in
    // the reverse order of their registration, so this wait comes before
    // the destruction of the objects made earlier, the listeners' included.
    // ExitProcess waits on its own (it skips these handlers).
    std::atexit([] { WaitForTransportConnections(kTransportExitWaitMs); });
    return made;
  }();
  return *serving;
}

void BeginServing() {
  Serving& s = ServingConnections();
  std::lock_guard<std::mutex> guard(s.lock);
  ++s.count;
}

void EndServing() {
  Serving& s = ServingConnections();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    --s.count;
  }
  s.idle.notify_all();
}

}  // namespace

struct TransportListener::State {
  std::string folder;         // the runtime folder
  std::string path;           // the socket file
  struct stat bound{};        // it, as bound (to remove only our own)
  int listen_fd = -1;         // the listening socket
  int wake_fd = -1;           // eventfd that stops the accepting thread
  Handler handler;            // answers requests
  std::atomic<int> running{0};  // connections being served
  std::thread acceptor;       // the accepting thread

  ~State() {
    CloseFd(listen_fd);
    CloseFd(wake_fd);
  }

  // Serves one connection: its request, the handler, the answer.
  void Serve(int fd) {
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kServeTimeoutMs);
    std::string request;
    if (ReceiveFrame(fd, &request, deadline)) {
      std::string answer;
      bool ok = true;
      try {
        answer = handler(request);
      } catch (...) {
        ok = false;  // no answer: the caller sees the connection close
      }
      // The handler may have taken long; the caller decides how long it waits.
      if (ok) SendFrame(fd, answer, Clock::now() + std::chrono::milliseconds(kServeTimeoutMs));
    }
    close(fd);
  }

  void Accept(const std::shared_ptr<State>& self) {
    while (true) {
      pollfd fds[2] = {{listen_fd, POLLIN, 0}, {wake_fd, POLLIN, 0}};
      int n = poll(fds, 2, -1);
      if (n < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) {
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
        continue;
      }
      int fd = accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) continue;
      ucred peer{};
      socklen_t length = sizeof peer;
      if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid() ||
          running.load() >= kMaxConnections) {
        close(fd);
        continue;
      }
      ++running;
      BeginServing();
      try {
        std::thread([self, fd] {
          t_serving = true;
          self->Serve(fd);
          t_serving = false;
          --self->running;
          EndServing();
        }).detach();
      } catch (...) {
        --running;
        EndServing();
        close(fd);
      }
    }
  }
};

std::string TransportEndpointPath(const std::string& name) { return RuntimeDir() + "/" + name; }

bool WaitForTransportConnections(DWORD timeout_ms) {
  Serving& s = ServingConnections();
  const int own = t_serving ? 1 : 0;
  std::unique_lock<std::mutex> guard(s.lock);
  return s.idle.wait_for(guard, std::chrono::milliseconds(timeout_ms),
                         [&] { return s.count <= own; });
}

std::vector<std::string> ListTransportEndpoints(const std::string& prefix) {
  std::vector<std::string> names;
  const std::string dir = RuntimeDir();
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat st;
    if (lstat((dir + "/" + name).c_str(), &st) != 0) continue;
    if (S_ISSOCK(st.st_mode) && st.st_uid == geteuid()) names.push_back(name);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

TransportResult CallTransportEndpoint(const std::string& name, const std::string& request,
                                      std::string* answer, DWORD timeout_ms) {
  answer->clear();
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const std::string path = TransportEndpointPath(name);
  sockaddr_un address;
  if (!MakeLocalSocketAddress(path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return TransportResult::kFailed;
  }
  struct stat seen;
  if (lstat(path.c_str(), &seen) != 0) {
    int err = errno;
    SetLastErrorFromErrno(err);
    return err == ENOENT ? TransportResult::kGone : TransportResult::kFailed;
  }
  if (!S_ISSOCK(seen.st_mode) || seen.st_uid != geteuid()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return TransportResult::kFailed;
  }
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    SetLastErrorFromErrno();
    return TransportResult::kFailed;
  }
  auto fail = [&](TransportResult result) {
    int err = errno;
    close(fd);
    if (result == TransportResult::kTimedOut) {
      SetLastError(ERROR_TIMEOUT);
    } else {
      SetLastErrorFromErrno(err);
    }
    return result;
  };
  // A full backlog refuses at once (EAGAIN): try again until the deadline.
  while (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINPROGRESS) {
      int err = 0;
      socklen_t length = sizeof err;
      if (!WaitFor(fd, POLLOUT, deadline))
        return fail(errno == ETIMEDOUT ? TransportResult::kTimedOut : TransportResult::kFailed);
      getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &length);
      if (err == 0) break;
      errno = err;
    }
    if (errno == ECONNREFUSED || errno == ENOENT) {
      // Nobody listens: the process that made the socket is gone.
      if (errno == ECONNREFUSED) RemoveLocalSocketIfSame(path, seen);
      return fail(TransportResult::kGone);
    }
    if (errno == EAGAIN && MsLeft(deadline) > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, MsLeft(deadline))));
      continue;
    }
    if (errno == EAGAIN) errno = ETIMEDOUT;
    return fail(errno == ETIMEDOUT ? TransportResult::kTimedOut : TransportResult::kFailed);
  }
  if (!SendFrame(fd, request, deadline) || !ReceiveFrame(fd, answer, deadline)) {
    answer->clear();
    return fail(errno == ETIMEDOUT ? TransportResult::kTimedOut : TransportResult::kFailed);
  }
  close(fd);
  return TransportResult::kAnswered;
}

TransportListener::TransportListener(std::shared_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<TransportListener> TransportListener::Start(const std::string& name,
                                                            Handler handler) {
  ServingConnections();  // before the listener, for the order of exit
  auto state = std::make_shared<State>();
  state->folder = RuntimeDir();
  state->path = TransportEndpointPath(name);
  state->handler = std::move(handler);
  sockaddr_un address;
  if (!MakeLocalSocketAddress(state->path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  state->listen_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  state->wake_fd = eventfd(0, EFD_CLOEXEC);
  if (state->listen_fd < 0 || state->wake_fd < 0) {
    SetLastErrorFromErrno();
    return nullptr;
  }
  // The socket is bound under a passing name in the folder and moved into
  // place once it listens: a caller that found the endpoint's file bound
  // but not yet listening would take it for a dead process's and remove
  // it, leaving the listener unreachable. Only when the passing name does
  // not fit a socket path is the endpoint bound where it stays.
  static std::atomic<unsigned> serial{0};
  const std::string passing = state->folder + "/.bind-" + std::to_string(getpid()) + "-" +
                              std::to_string(serial++);
  sockaddr_un passing_address;
  const bool staged = MakeLocalSocketAddress(passing, &passing_address);
  const std::string& first = staged ? passing : state->path;
  // A socket file of the endpoint's name is a dead process's (names carry
  // the process id): it is replaced. Anything else there is left alone.
  struct stat old;
  if (lstat(state->path.c_str(), &old) == 0) {
    if (!S_ISSOCK(old.st_mode)) {
      SetLastErrorFromErrno(EADDRINUSE);
      return nullptr;
    }
    if (!staged) unlink(state->path.c_str());
  }
  // The folder (0700) keeps other users out; the socket is the user's alone
  // too. Another process that stops listening removes the folder when it is
  // empty, so it may go between its creation and the bind: make it again.
  int bound = -1;
  for (int attempt = 0; attempt < kCreateAttempts && bound != 0; ++attempt) {
    errno = 0;
    if (!MakeRuntimeDir()) {
      if (errno == 0) errno = ENOENT;
      continue;
    }
    if (staged) unlink(passing.c_str());  // left by a killed process of our id
    bound = bind(state->listen_fd,
                 reinterpret_cast<sockaddr*>(staged ? &passing_address : &address),
                 sizeof address);
    if (bound != 0 && errno != ENOENT) break;
  }
  if (bound != 0 || lstat(first.c_str(), &state->bound) != 0) {
    SetLastErrorFromErrno();
    return nullptr;
  }
  if (chmod(first.c_str(), 0600) != 0 || listen(state->listen_fd, kBacklog) != 0 ||
      (staged && rename(passing.c_str(), state->path.c_str()) != 0)) {
    SetLastErrorFromErrno();
    RemoveLocalSocketIfSame(first, state->bound);
    return nullptr;
  }
  try {
    State* raw = state.get();
    state->acceptor = std::thread([raw, self = state] { raw->Accept(self); });
  } catch (...) {
    RemoveLocalSocketIfSame(state->path, state->bound);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return std::unique_ptr<TransportListener>(new TransportListener(std::move(state)));
}

TransportListener::~TransportListener() {
  uint64_t one = 1;
  ssize_t written = write(state_->wake_fd, &one, sizeof one);
  (void)written;
  if (state_->acceptor.joinable()) state_->acceptor.join();
  // The file goes first: a caller that reached a closed socket through it
  // would take the endpoint for a dead process's and remove the file,
  // perhaps by then a new listener's of the same name. Then connections
  // still in the backlog, never to be served, are refused at once rather
  // than when the last running handler lets the state go.
  RemoveLocalSocketIfSame(state_->path, state_->bound);
  CloseFd(state_->listen_fd);
  state_->listen_fd = -1;
  // A process that showed a window leaves no trace: the runtime folder goes
  // when nothing else is in it (rmdir refuses a folder that is not empty).
  rmdir(state_->folder.c_str());
}

}  // namespace platform
