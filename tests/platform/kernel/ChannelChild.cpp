// The peer process of the channel tests. argv[1] says what to do, argv[2]
// names the endpoint it connects to (in the runtime folder of the inherited
// state root):
//   echo        answers every message with "echo:" and its bytes, followed
//               by the contents of each descriptor that came with it (read
//               from its start), and sends a pipe whose only content is
//               "pipe:" and the message's bytes; ends when the channel does
//   die         takes one message and ends without answering, while a
//               process of its own keeps its socket open (so only the watch
//               on the process tells the death)
//   truncated   writes a frame announcing 100 bytes, gives 10, ends its
//               sending side and waits for the other side to close
//   oversized   writes a frame header announcing one byte above the bound,
//               with a descriptor, then waits for the other side to close
//   extra       writes a frame stating one descriptor and sends three, then
//               waits for the other side to close
// The raw modes write bytes the platform never writes; they use the socket
// directly. Exit status 0 when it did what it was told, 3 otherwise.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/channel.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"

namespace {

// The contents of a descriptor from its start.
std::string ReadAll(int fd) {
  std::string all;
  char buffer[4096];
  off_t at = 0;
  while (true) {
    ssize_t n = pread(fd, buffer, sizeof buffer, at);
    if (n < 0) n = read(fd, buffer, sizeof buffer);  // a pipe
    if (n <= 0) break;
    all.append(buffer, static_cast<size_t>(n));
    at += n;
  }
  return all;
}

int RawConnect(const std::string& name) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un a = {};
  a.sun_family = AF_UNIX;
  std::string path = platform::RuntimeDir() + "/" + name;
  std::memcpy(a.sun_path, path.c_str(), path.size() + 1);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return -1;
  return fd;
}

void Put32(unsigned char* p, unsigned v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Writes `bytes` with `fds` on their first byte.
bool RawSend(int fd, const std::string& bytes, const std::vector<int>& fds) {
  iovec iov = {const_cast<char*>(bytes.data()), bytes.size()};
  msghdr msg{};
  msg.msg_iov = &iov;
  msg.msg_iovlen = 1;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * 8)] = {};
  if (!fds.empty()) {
    msg.msg_control = control;
    msg.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
    std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
  }
  return sendmsg(fd, &msg, MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string Header(unsigned size, unsigned count) {
  unsigned char h[platform::kChannelFrameHeader];
  Put32(h, platform::kChannelMagic);
  Put32(h + 4, size);
  Put32(h + 8, count);
  return std::string(reinterpret_cast<char*>(h), sizeof h);
}

// Waits (at most 10 s) for the other side to close the socket.
void WaitForClose(int fd) {
  pollfd p = {fd, POLLRDHUP, 0};
  poll(&p, 1, 10000);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 3;
  const std::string mode = argv[1];
  const std::string name = argv[2];
  if (mode == "echo") {
    auto channel = platform::Channel::Connect(name, 5000);
    if (!channel) return 3;
    platform::ChannelMessage message;
    while (channel->Receive(&message, INFINITE) == platform::ChannelResult::kOk) {
      std::string answer = "echo:" + message.bytes;
      for (int fd : message.descriptors) answer += "|" + ReadAll(fd);
      int pipe_fds[2];
      if (pipe2(pipe_fds, O_CLOEXEC) != 0) return 3;
      std::string content = "pipe:" + message.bytes.substr(0, 1000);
      if (write(pipe_fds[1], content.data(), content.size()) !=
          static_cast<ssize_t>(content.size()))
        return 3;
      close(pipe_fds[1]);
      platform::ChannelResult sent = channel->Send(answer, {pipe_fds[0]});
      close(pipe_fds[0]);
      if (sent != platform::ChannelResult::kOk) break;
    }
    return 0;
  }
  if (mode == "die") {
    int fd = RawConnect(name);
    if (fd < 0) return 3;
    if (fork() == 0) {
      // Keeps the socket open until the other side closes it.
      WaitForClose(fd);
      _exit(0);
    }
    char byte;
    if (read(fd, &byte, 1) != 1) return 3;  // a message began: the call is pending
    _exit(0);
  }
  int fd = RawConnect(name);
  if (fd < 0) return 3;
  if (mode == "truncated") {
    std::string frame = Header(100, 0) + std::string(10, 'x');
    if (!RawSend(fd, frame, {}) || shutdown(fd, SHUT_WR) != 0) return 3;
    WaitForClose(fd);
    return 0;
  }
  if (mode == "oversized") {
    int spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!RawSend(fd, Header(static_cast<unsigned>(platform::kMaxChannelMessage) + 1, 1), {spare}))
      return 3;
    WaitForClose(fd);
    return 0;
  }
  if (mode == "extra") {
    int spare = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (!RawSend(fd, Header(4, 1) + "abcd", {spare, spare, spare})) return 3;
    WaitForClose(fd);
    return 0;
  }
  return 3;
}
