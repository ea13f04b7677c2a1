// The connected channel: framed messages with descriptors over a Unix stream
// socket in the runtime folder, and a watch on the peer process.
#include "platform/kernel/channel.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/local_socket_internal.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBacklog = 16;
constexpr int kCreateAttempts = 8;  // the runtime folder may go between its creation and a bind

void Put32(BYTE* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<BYTE>((v >> (8 * i)) & 0xFF);
}
DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
         static_cast<DWORD>(p[3]) << 24;
}

void CloseFd(int fd) {
  if (fd >= 0) close(fd);
}

void CloseAll(std::vector<int>* fds) {
  for (int fd : *fds) CloseFd(fd);
  fds->clear();
}

// Milliseconds left until `deadline` (0 when it passed); -1 for no deadline.
int MsLeft(const Clock::time_point* deadline) {
  if (!deadline) return -1;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 0x7FFFFFFF));
}

int OpenPidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

// The peer of a connected socket, when it is a process of this user.
bool SameUserPeer(int fd, pid_t* pid) {
  ucred peer{};
  socklen_t length = sizeof peer;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != geteuid() ||
      peer.pid <= 0)
    return false;
  *pid = peer.pid;
  return true;
}

}  // namespace

// ---- ChannelMessage ------------------------------------------------------

ChannelMessage::~ChannelMessage() { CloseDescriptors(); }

ChannelMessage::ChannelMessage(ChannelMessage&& other) noexcept
    : bytes(std::move(other.bytes)), descriptors(std::move(other.descriptors)) {
  other.descriptors.clear();
}

ChannelMessage& ChannelMessage::operator=(ChannelMessage&& other) noexcept {
  if (this != &other) {
    CloseDescriptors();
    bytes = std::move(other.bytes);
    descriptors = std::move(other.descriptors);
    other.descriptors.clear();
  }
  return *this;
}

int ChannelMessage::TakeDescriptor(size_t index) {
  if (index >= descriptors.size()) return -1;
  int fd = descriptors[index];
  descriptors[index] = -1;
  return fd;
}

HANDLE ChannelMessage::TakeFileHandle(size_t index) {
  int fd = TakeDescriptor(index);
  if (fd < 0) return nullptr;
  int flags = fcntl(fd, F_GETFL);
  DWORD access = 0;
  if (flags >= 0 && (flags & O_ACCMODE) != O_WRONLY) access |= GENERIC_READ;
  if (flags >= 0 && (flags & O_ACCMODE) != O_RDONLY) access |= GENERIC_WRITE;
  HANDLE h = FileHandleFromDescriptor(fd, access, true);
  if (h == INVALID_HANDLE_VALUE) {
    close(fd);
    return nullptr;
  }
  return h;
}

void ChannelMessage::CloseDescriptors() { CloseAll(&descriptors); }

// ---- Channel -------------------------------------------------------------

struct Channel::State {
  int fd = -1;                        // the connected socket (non-blocking)
  int pidfd = -1;                     // readable once the peer process ended
  int wake = -1;                      // eventfd, signalled for good when the channel ends
  pid_t peer = 0;                     // the peer's process id
  std::atomic<bool> ended{false};     // the channel ended
  std::atomic<DWORD> end_error{0};    // why (the last error of later operations)
  std::mutex send_lock;               // one message at a time goes out
  std::mutex receive_lock;            // one reader at a time

  ~State() {
    CloseFd(fd);
    CloseFd(pidfd);
    CloseFd(wake);
  }

  // Ends the channel for `error`; the first reason stays.
  void End(DWORD error) {
    DWORD none = 0;
    end_error.compare_exchange_strong(none, error);
    if (ended.exchange(true)) return;
    shutdown(fd, SHUT_RDWR);
    uint64_t one = 1;
    ssize_t written = write(wake, &one, sizeof one);
    (void)written;
  }

  ChannelResult Ended() {
    SetLastError(end_error.load());
    return ChannelResult::kClosed;
  }

  enum class Wait { kReady, kTimedOut, kEnded };

  // Waits until the socket is ready for `events`, the channel ends or the
  // peer dies (which ends it), or `deadline` passes (null: no limit).
  Wait WaitFor(short events, const Clock::time_point* deadline) {
    while (true) {
      if (ended.load()) return Wait::kEnded;
      pollfd fds[3] = {{fd, events, 0}, {pidfd, POLLIN, 0}, {wake, POLLIN, 0}};
      int n = poll(fds, 3, MsLeft(deadline));
      if (n < 0) {
        if (errno == EINTR) continue;
        End(SetLastErrorFromErrno());
        return Wait::kEnded;
      }
      // A dead peer ends the channel even when data is still buffered: what
      // it sent last may be half a message, and nobody will answer anyway.
      if (fds[1].revents) End(ERROR_BROKEN_PIPE);
      if (fds[2].revents || ended.load()) return Wait::kEnded;
      if (fds[0].revents) return Wait::kReady;
      if (n == 0) return Wait::kTimedOut;
    }
  }

  // Reads exactly `size` bytes, adding descriptors that come with them to
  // *fds. `begun` tells whether the frame started before these bytes (then
  // a pause longer than kChannelStallMs ends the channel); otherwise the
  // first byte may take until `first_deadline`. kTimedOut only when not one
  // byte of the frame came.
  ChannelResult ReadExact(BYTE* data, size_t size, std::vector<int>* fds, bool begun,
                          const Clock::time_point* first_deadline) {
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxChannelDescriptors)];
    while (size) {
      iovec iov = {data, size};
      msghdr msg{};
      msg.msg_iov = &iov;
      msg.msg_iovlen = 1;
      msg.msg_control = control;
      msg.msg_controllen = sizeof control;
      ssize_t n = recvmsg(fd, &msg, MSG_CMSG_CLOEXEC | MSG_DONTWAIT);
      if (n >= 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
          if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
          size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
          const BYTE* p = CMSG_DATA(c);
          for (size_t i = 0; i < count; ++i) {
            int received;
            std::memcpy(&received, p + i * sizeof(int), sizeof(int));
            fds->push_back(received);
          }
        }
        // More descriptors than a frame may carry: the kernel dropped the
        // rest, and the frame is not one of ours.
        if (msg.msg_flags & MSG_CTRUNC) {
          End(ERROR_INVALID_DATA);
          return Ended();
        }
      }
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        begun = true;
        continue;
      }
      if (n == 0) {
        // The peer closed: between frames that is its way to end; within one
        // the frame is cut short.
        End(begun ? ERROR_INVALID_DATA : ERROR_BROKEN_PIPE);
        return Ended();
      }
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        End(errno == ECONNRESET ? ERROR_BROKEN_PIPE : SetLastErrorFromErrno());
        return Ended();
      }
      Clock::time_point stall = Clock::now() + std::chrono::milliseconds(kChannelStallMs);
      Wait w = WaitFor(POLLIN, begun ? &stall : first_deadline);
      if (w == Wait::kEnded) return Ended();
      if (w == Wait::kTimedOut) {
        if (!begun) {
          SetLastError(ERROR_TIMEOUT);
          return ChannelResult::kTimedOut;
        }
        End(ERROR_INVALID_DATA);  // a frame that stopped half-way
        return Ended();
      }
    }
    return ChannelResult::kOk;
  }

  // Sends all of `data`; the descriptors go with its first byte.
  ChannelResult WriteAll(const BYTE* data, size_t size, const std::vector<int>& descriptors) {
    bool first = true;
    while (size) {
      iovec iov = {const_cast<BYTE*>(data), size};
      msghdr msg{};
      msg.msg_iov = &iov;
      msg.msg_iovlen = 1;
      alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxChannelDescriptors)];
      if (first && !descriptors.empty()) {
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(sizeof(int) * descriptors.size());
        std::memset(control, 0, sizeof control);
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
        std::memcpy(CMSG_DATA(c), descriptors.data(), sizeof(int) * descriptors.size());
      }
      ssize_t n = sendmsg(fd, &msg, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        first = false;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && first && errno == EBADF) {
        SetLastError(ERROR_INVALID_PARAMETER);  // a descriptor that is not open
        return ChannelResult::kRefused;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        if (WaitFor(POLLOUT, nullptr) == Wait::kEnded) return Ended();
        continue;
      }
      End(ERROR_BROKEN_PIPE);
      return Ended();
    }
    return ChannelResult::kOk;
  }
};

Channel::Channel(std::unique_ptr<State> state) : state_(std::move(state)) {}

Channel::~Channel() { state_->End(ERROR_OPERATION_ABORTED); }

std::unique_ptr<Channel> Channel::Connect(const std::string& name, DWORD timeout_ms, bool* gone) {
  if (gone) *gone = false;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const std::string path = RuntimeDir() + "/" + name;
  sockaddr_un address;
  if (!MakeLocalSocketAddress(path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  auto nobody = [&] {
    if (gone) *gone = true;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  };
  struct stat seen;
  if (lstat(path.c_str(), &seen) != 0) {
    if (errno == ENOENT) return nobody();
    SetLastErrorFromErrno();
    return nullptr;
  }
  if (!S_ISSOCK(seen.st_mode) || seen.st_uid != geteuid()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  state->wake = eventfd(0, EFD_CLOEXEC);
  if (state->fd < 0 || state->wake < 0) {
    SetLastErrorFromErrno();
    return nullptr;
  }
  // A full backlog refuses at once (EAGAIN): try again until the deadline.
  while (connect(state->fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    if (errno == EINTR) continue;
    if (errno == EINPROGRESS) {
      pollfd p = {state->fd, POLLOUT, 0};
      if (poll(&p, 1, MsLeft(&deadline)) <= 0) {
        SetLastError(ERROR_TIMEOUT);
        return nullptr;
      }
      int err = 0;
      socklen_t length = sizeof err;
      getsockopt(state->fd, SOL_SOCKET, SO_ERROR, &err, &length);
      if (err == 0) break;
      errno = err;
    }
    if (errno == ECONNREFUSED) {
      RemoveLocalSocketIfSame(path, seen);  // nobody listens: its process is gone
      return nobody();
    }
    if (errno == ENOENT) return nobody();
    if (errno == EAGAIN && MsLeft(&deadline) > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, MsLeft(&deadline))));
      continue;
    }
    if (errno == EAGAIN) {
      SetLastError(ERROR_TIMEOUT);
    } else {
      SetLastErrorFromErrno();
    }
    return nullptr;
  }
  if (!SameUserPeer(state->fd, &state->peer)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  state->pidfd = OpenPidFd(state->peer);
  if (state->pidfd < 0) {
    if (errno == ESRCH) return nobody();
    SetLastErrorFromErrno();
    return nullptr;
  }
  return std::unique_ptr<Channel>(new Channel(std::move(state)));
}

ChannelResult Channel::Send(const std::string& bytes, const std::vector<int>& descriptors) {
  if (bytes.size() > kMaxChannelMessage || descriptors.size() > kMaxChannelDescriptors) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ChannelResult::kRefused;
  }
  std::lock_guard<std::mutex> hold(state_->send_lock);
  if (state_->ended.load()) return state_->Ended();
  BYTE header[kChannelFrameHeader];
  Put32(header, kChannelMagic);
  Put32(header + 4, static_cast<DWORD>(bytes.size()));
  Put32(header + 8, static_cast<DWORD>(descriptors.size()));
  ChannelResult r = state_->WriteAll(header, sizeof header, descriptors);
  if (r != ChannelResult::kOk) return r;
  return state_->WriteAll(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), {});
}

ChannelResult Channel::Receive(ChannelMessage* message, DWORD timeout_ms) {
  message->bytes.clear();
  message->CloseDescriptors();
  std::lock_guard<std::mutex> hold(state_->receive_lock);
  if (state_->ended.load()) return state_->Ended();
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const Clock::time_point* first = timeout_ms == INFINITE ? nullptr : &deadline;
  BYTE header[kChannelFrameHeader];
  std::vector<int> fds;
  ChannelResult r = state_->ReadExact(header, sizeof header, &fds, false, first);
  if (r != ChannelResult::kOk) {
    CloseAll(&fds);
    return r;
  }
  const DWORD size = Get32(header + 4);
  const DWORD count = Get32(header + 8);
  if (Get32(header) != kChannelMagic || size > kMaxChannelMessage ||
      count > kMaxChannelDescriptors || count != fds.size()) {
    CloseAll(&fds);
    state_->End(ERROR_INVALID_DATA);
    return state_->Ended();
  }
  try {
    message->bytes.resize(size);
  } catch (const std::bad_alloc&) {
    CloseAll(&fds);
    state_->End(ERROR_NOT_ENOUGH_MEMORY);
    return state_->Ended();
  }
  std::vector<int> stray;  // descriptors may come with the header only
  r = state_->ReadExact(reinterpret_cast<BYTE*>(message->bytes.data()), size, &stray, true,
                        nullptr);
  if (r == ChannelResult::kOk && !stray.empty()) {
    state_->End(ERROR_INVALID_DATA);
    r = state_->Ended();
  }
  CloseAll(&stray);
  if (r != ChannelResult::kOk) {
    CloseAll(&fds);
    message->bytes.clear();
    return r;
  }
  message->descriptors = std::move(fds);
  return ChannelResult::kOk;
}

void Channel::Close() { state_->End(ERROR_OPERATION_ABORTED); }

bool Channel::IsClosed() const {
  if (state_->ended.load()) return true;
  // The peer's death counts even before an operation notices it.
  pollfd p = {state_->pidfd, POLLIN, 0};
  if (poll(&p, 1, 0) > 0) state_->End(ERROR_BROKEN_PIPE);
  return state_->ended.load();
}

DWORD Channel::PeerProcessId() const { return static_cast<DWORD>(state_->peer); }

// ---- ChannelListener -----------------------------------------------------

struct ChannelListener::State {
  std::string folder;       // the runtime folder
  std::string path;         // the socket file
  struct stat bound{};      // it, as bound (to remove only our own)
  int fd = -1;              // the listening socket (non-blocking)
  int wake = -1;            // eventfd, signalled by Close()

  ~State() {
    CloseFd(fd);
    CloseFd(wake);
  }
};

ChannelListener::ChannelListener(std::unique_ptr<State> state) : state_(std::move(state)) {}

std::unique_ptr<ChannelListener> ChannelListener::Listen(const std::string& name) {
  auto state = std::make_unique<State>();
  state->folder = RuntimeDir();
  state->path = state->folder + "/" + name;
  sockaddr_un address;
  if (!MakeLocalSocketAddress(state->path, &address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  state->fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  state->wake = eventfd(0, EFD_CLOEXEC);
  if (state->fd < 0 || state->wake < 0) {
    SetLastErrorFromErrno();
    return nullptr;
  }
  // A socket file of this name is a dead process's: it is replaced. Anything
  // else there is left alone.
  struct stat old;
  if (lstat(state->path.c_str(), &old) == 0 && !S_ISSOCK(old.st_mode)) {
    errno = EADDRINUSE;
    SetLastErrorFromErrno();
    return nullptr;
  }
  // The socket is bound under a name of its own and moved into place once
  // it listens: a connection that found the file before the socket listens
  // would be refused, take the file for a dead process's and remove it.
  static std::atomic<unsigned> serial{0};
  const std::string temporary = state->folder + "/.listen-" + std::to_string(getpid()) + "-" +
                                std::to_string(++serial);
  sockaddr_un temporary_address;
  if (!MakeLocalSocketAddress(temporary, &temporary_address)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  // Another process may remove the empty runtime folder between its
  // creation and the bind: make it again.
  int bound = -1;
  for (int attempt = 0; attempt < kCreateAttempts && bound != 0; ++attempt) {
    errno = 0;
    if (!MakeRuntimeDir()) {
      if (errno == 0) errno = ENOENT;
      continue;
    }
    bound = bind(state->fd, reinterpret_cast<sockaddr*>(&temporary_address),
                 sizeof temporary_address);
    if (bound != 0 && errno != ENOENT) break;
  }
  if (bound != 0 || lstat(temporary.c_str(), &state->bound) != 0) {
    SetLastErrorFromErrno();
    return nullptr;
  }
  if (chmod(temporary.c_str(), 0600) != 0 || listen(state->fd, kBacklog) != 0 ||
      rename(temporary.c_str(), state->path.c_str()) != 0) {
    SetLastErrorFromErrno();
    RemoveLocalSocketIfSame(temporary, state->bound);
    return nullptr;
  }
  return std::unique_ptr<ChannelListener>(new ChannelListener(std::move(state)));
}

ChannelListener::~ChannelListener() {
  RemoveLocalSocketIfSame(state_->path, state_->bound);
  // The runtime folder goes when nothing else is in it (rmdir refuses a
  // folder that is not empty).
  rmdir(state_->folder.c_str());
}

std::unique_ptr<Channel> ChannelListener::Accept(DWORD timeout_ms) {
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  const Clock::time_point* limit = timeout_ms == INFINITE ? nullptr : &deadline;
  while (true) {
    pollfd fds[2] = {{state_->fd, POLLIN, 0}, {state_->wake, POLLIN, 0}};
    int n = poll(fds, 2, MsLeft(limit));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastErrorFromErrno();
      return nullptr;
    }
    if (fds[1].revents) {
      SetLastError(ERROR_OPERATION_ABORTED);
      return nullptr;
    }
    if (n == 0) {
      SetLastError(ERROR_TIMEOUT);
      return nullptr;
    }
    int fd = accept4(state_->fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) continue;
    auto state = std::make_unique<Channel::State>();
    state->fd = fd;
    // Another user's process, or one that died before it was taken, is
    // dropped; the next connection may be good.
    if (!SameUserPeer(fd, &state->peer)) continue;
    state->pidfd = OpenPidFd(state->peer);
    state->wake = eventfd(0, EFD_CLOEXEC);
    if (state->pidfd < 0 || state->wake < 0) continue;
    return std::unique_ptr<Channel>(new Channel(std::move(state)));
  }
}

void ChannelListener::Close() {
  uint64_t one = 1;
  ssize_t written = write(state_->wake, &one, sizeof one);
  (void)written;
}

const std::string& ChannelListener::Path() const { return state_->path; }

}  // namespace platform
