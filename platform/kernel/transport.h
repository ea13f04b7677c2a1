// The local transport between the user's processes of this platform: Unix
// stream sockets in the runtime folder (platform/kernel/state.h), one request
// and one answer per connection, each a frame.
//
// A process listens on an endpoint, a socket file named by the caller
// (callers put their process id in the name, so a name is unique while its
// process lives). Only the same user reaches it: the runtime folder has
// mode 0700, the socket mode 0600, the listener refuses a peer whose user
// id differs (SO_PEERCRED), and a caller refuses a socket file that another
// user owns.
//
// Frame, every number little-endian:
//   0  4  magic "WUTF"
//   4  4  payload size in bytes, at most kMaxTransportPayload
//   8  .  the payload
// A frame with another magic or a larger size ends the connection unread.
//
// A process does not end under the answers it serves: its exit (a return
// from main, exit, ExitProcess) first waits, at most kTransportExitWaitMs,
// for the connections it is serving, so that an answer its handler gave
// just before the end reaches the caller. A handler that never returns (one
// that waits for the very thread that ends the process) holds the end back
// no longer than that.
//
// A socket file whose process is gone stays behind (nobody removes it when
// a process is killed): a caller that finds nobody listening there removes
// it and reports the endpoint gone.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/types.h"

namespace platform {

constexpr DWORD kTransportMagic = 0x46545557;            // "WUTF"
constexpr size_t kTransportFrameHeader = 8;              // magic and size
constexpr size_t kMaxTransportPayload = 1024 * 1024;     // larger frames are refused
constexpr DWORD kTransportExitWaitMs = 2000;             // process exit waits for answers

// What a call came to.
enum class TransportResult {
  kAnswered,  // the answer is in *answer
  kGone,      // nobody listens there (the stale socket file was removed)
  kTimedOut,  // no whole answer within the time given
  kFailed,    // anything else: refused, cut off, a bad frame (last error set)
};

// The socket file of an endpoint (UTF-8 path in the runtime folder).
std::string TransportEndpointPath(const std::string& name);

// Names of the endpoints in the runtime folder that start with `prefix`:
// socket files of the calling user, in name order.
std::vector<std::string> ListTransportEndpoints(const std::string& prefix);

// Sends `request` to the endpoint `name` and waits at most `timeout_ms`
// milliseconds, connection included, for the whole answer.
TransportResult CallTransportEndpoint(const std::string& name, const std::string& request,
                                      std::string* answer, DWORD timeout_ms);

// Waits at most `timeout_ms` milliseconds until this process serves no
// connection of any listener (a connection the calling thread serves
// itself not counted): each has received its request, run its handler and
// sent the answer, or given up. True when none is left. Process exit calls
// it with kTransportExitWaitMs.
bool WaitForTransportConnections(DWORD timeout_ms);

// A listening endpoint. The handler runs on a thread of its own for each
// connection (several may run at once) and returns the answer's payload.
class TransportListener {
 public:
  using Handler = std::function<std::string(const std::string& request)>;

  // Creates the runtime folder when needed (again, should another process
  // remove it meanwhile), replaces a socket file of that name left by a
  // process that is gone, and listens. Null with the last error set when it
  // cannot (a name too long for a socket path: ERROR_FILENAME_EXCED_RANGE).
  static std::unique_ptr<TransportListener> Start(const std::string& name, Handler handler);

  // Stops accepting (callers still in the backlog are refused) and removes
  // the socket file, and the runtime folder when nothing else is left in
  // it. It does not wait for handlers still running (they may need a lock
  // that its caller holds): they finish on their own threads, and their
  // answers go to callers that still wait, the process's exit waiting for
  // them as it does for any connection it serves.
  ~TransportListener();

  TransportListener(const TransportListener&) = delete;
  TransportListener& operator=(const TransportListener&) = delete;

  struct State;

 private:
  explicit TransportListener(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};

}  // namespace platform
