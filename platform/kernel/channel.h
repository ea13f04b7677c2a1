// A connected channel between two of the user's processes: a Unix stream
// socket in the runtime folder (platform/kernel/state.h) that carries framed
// messages in both directions, each with file descriptors if it likes, for
// as long as both sides keep it.
//
// A process listens on an endpoint, a socket file named by the caller
// (callers put their process id in the name, so a name is unique while its
// process lives). Only the same user reaches it: the runtime folder has mode
// 0700, the socket mode 0600, both sides refuse a peer whose user id differs
// (SO_PEERCRED), and a connecting side refuses a socket file another user
// owns.
//
// Frame, every number little-endian:
//   0  4  magic "WUCH"
//   4  4  payload size in bytes, at most kMaxChannelMessage
//   8  4  number of descriptors sent with the frame, at most
//         kMaxChannelDescriptors
//  12  .  the payload
// The descriptors travel with the frame's first byte. Messages come from
// another process, so the receiver checks every frame before it delivers it:
// a foreign magic, a size or count above the bounds, descriptors other than
// the stated number, or a frame that stops half-way (the peer closes, or no
// byte comes for kChannelStallMs) ends the connection; descriptors that came
// with such a frame are closed, never delivered.
//
// Each side watches the peer process (a pidfd of the process found by
// SO_PEERCRED): when it ends, every pending and later operation on the
// channel ends at once, even when another process still holds the peer's
// socket. Close() does the same from this side.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/types.h"

namespace platform {

constexpr DWORD kChannelMagic = 0x48435557;                  // "WUCH"
constexpr size_t kChannelFrameHeader = 12;                   // magic, size, descriptor count
constexpr size_t kMaxChannelMessage = 64u * 1024 * 1024;     // larger payloads are refused
constexpr size_t kMaxChannelDescriptors = 16;                // descriptors in one frame
constexpr DWORD kChannelStallMs = 5000;                      // a begun frame's longest pause

// One received message. It owns its descriptors: those not taken are closed
// with it.
class ChannelMessage {
 public:
  ChannelMessage() = default;
  ~ChannelMessage();
  ChannelMessage(ChannelMessage&& other) noexcept;
  ChannelMessage& operator=(ChannelMessage&& other) noexcept;
  ChannelMessage(const ChannelMessage&) = delete;
  ChannelMessage& operator=(const ChannelMessage&) = delete;

  std::string bytes;             // the payload
  std::vector<int> descriptors;  // received descriptors (close-on-exec), -1 once taken

  // Gives descriptor `index` to the caller (who closes it); -1 when there is
  // no such descriptor or it was taken.
  int TakeDescriptor(size_t index);
  // Gives descriptor `index` as a file handle of this process that owns it,
  // with the access the descriptor was opened with; null when there is no
  // such descriptor or it cannot be wrapped (it is then closed).
  HANDLE TakeFileHandle(size_t index);
  // Closes the descriptors not taken.
  void CloseDescriptors();
};

// What an operation on a channel came to.
enum class ChannelResult {
  kOk,        // sent, or a whole message received
  kTimedOut,  // no message began within the time given (the channel stays usable)
  kClosed,    // the channel ended: closed here, by the peer, the peer's death, a bad
              // frame, or a failure; the last error tells which
  kRefused,   // not sent: above the bounds (the channel stays usable)
};

class Channel {
 public:
  // Connects to the endpoint `name`, waiting at most `timeout_ms` for a
  // listener to take it. Null with the last error set when it cannot:
  // ERROR_FILE_NOT_FOUND when nobody listens there (a stale socket file is
  // removed, and *gone set), ERROR_ACCESS_DENIED for a socket of another
  // user, ERROR_TIMEOUT when the backlog stays full.
  static std::unique_ptr<Channel> Connect(const std::string& name, DWORD timeout_ms,
                                          bool* gone = nullptr);

  // Ends pending operations (kClosed) and releases the socket and the watch.
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  // Sends one message with `descriptors` (the peer receives copies; the
  // caller keeps its own). Several threads may send at once; each message
  // goes whole. A payload above kMaxChannelMessage or more than
  // kMaxChannelDescriptors descriptors are refused (kRefused with
  // ERROR_INVALID_PARAMETER), and so is a descriptor that is not open.
  ChannelResult Send(const std::string& bytes, const std::vector<int>& descriptors = {});

  // Receives the next message, waiting at most `timeout_ms` (INFINITE: no
  // limit) for it to begin. One thread receives at a time (others wait for
  // it). kClosed with ERROR_BROKEN_PIPE when the peer closed or ended,
  // ERROR_INVALID_DATA after a bad frame (which ends the channel),
  // ERROR_OPERATION_ABORTED after Close().
  ChannelResult Receive(ChannelMessage* message, DWORD timeout_ms);

  // Ends the channel from this side: pending and later operations give
  // kClosed at once, and the peer sees the channel end.
  void Close();

  // Whether the channel ended (for any of the reasons above).
  bool IsClosed() const;

  // The peer's process id, as the system gave it when the two connected.
  DWORD PeerProcessId() const;

  struct State;

 private:
  friend class ChannelListener;
  explicit Channel(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// A listening endpoint.
class ChannelListener {
 public:
  // Creates the runtime folder when needed, replaces a socket file of that
  // name (a dead process's: names carry the process id) and listens. Null
  // with the last error set when it cannot (a name too long for a socket
  // path: ERROR_FILENAME_EXCED_RANGE).
  static std::unique_ptr<ChannelListener> Listen(const std::string& name);

  // Stops listening, removes the socket file, and the runtime folder when
  // nothing else is left in it. Channels already accepted stay.
  ~ChannelListener();
  ChannelListener(const ChannelListener&) = delete;
  ChannelListener& operator=(const ChannelListener&) = delete;

  // Takes the next connection of a process of the same user (others are
  // refused and closed), waiting at most `timeout_ms`. Null on time out
  // (ERROR_TIMEOUT) or after Close() (ERROR_OPERATION_ABORTED).
  std::unique_ptr<Channel> Accept(DWORD timeout_ms);

  // Ends pending and later Accept calls.
  void Close();

  // The socket file (UTF-8 path).
  const std::string& Path() const;

  struct State;

 private:
  explicit ChannelListener(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform
