// Objects across processes: class objects published as channel endpoints,
// connections with their call and object tables, the checked decoding of
// every message against its interface's table, and file handles passed
// between the two sides.
#include "platform/com/remote.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/classfactory.h"
#include "platform/com/com_internal.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/channel.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"

namespace platform {

namespace {

constexpr DWORD kRequest = 1, kAnswer = 2, kRelease = 3, kPush = 4, kPull = 5, kTaken = 6;
constexpr DWORD kCreateOperation = 3;            // of the class object, id 0
constexpr DWORD kMaxRecord = 32u * 1024 * 1024;  // a record's largest size
constexpr DWORD kConnectMs = 2000;               // to reach a published class
constexpr DWORD kMaxBstrArray = 4096;            // BSTRs in one array
constexpr DWORD kNullBstr = 0xFFFFFFFFu;         // the length of a NULL BSTR
constexpr DWORD kTagNull = 0, kTagSender = 1, kTagReceiver = 2;  // interface tags
constexpr BYTE kNone = 0xFF;                     // no argument index
// The largest out buffer: its answer, with the other out-arguments, must fit
// in one message.
constexpr ULONGLONG kMaxOutBuffer = kMaxChannelMessage - 1024 * 1024;

void Put32(std::string* s, DWORD v) {
  for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string* s, ULONGLONG v) {
  for (int i = 0; i < 8; ++i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
DWORD Word(const void* p) {
  DWORD v;
  std::memcpy(&v, p, 4);
  return v;
}

// Reads numbers and bytes from a message; every read checks the bounds.
struct Reader {
  const std::string& s;
  size_t at = 0;
  bool Get32(DWORD* v) {
    if (s.size() - at < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<DWORD>(static_cast<BYTE>(s[at + i])) << (8 * i);
    at += 4;
    return true;
  }
  bool Get64(ULONGLONG* v) {
    if (s.size() - at < 8) return false;
    *v = 0;
    for (int i = 0; i < 8; ++i)
      *v |= static_cast<ULONGLONG>(static_cast<BYTE>(s[at + i])) << (8 * i);
    at += 8;
    return true;
  }
  bool Bytes(size_t n, const char** p) {
    if (s.size() - at < n) return false;
    *p = s.data() + at;
    at += n;
    return true;
  }
  bool Done() const { return at == s.size(); }
};

// Sees every message received (SetComMessageObserver).
std::atomic<ComMessageObserver> g_observer{nullptr};

// The last id of an object served, over any connection: ids are unique in
// the process, so that an object served over one connection can be named
// over another to the same peer.
std::atomic<ULONGLONG> g_next_object{0};

// Bytes per element of a buffer row.
ULONGLONG ElementSize(const ComArgRow& a) { return a.size ? a.size : 1; }

// Whether `n` bytes make a self-sized record for row `a`: its first DWORD
// says n, at least the row's size and 4, at most kMaxRecord.
bool SelfSized(const ComArgRow& a, const char* p, ULONGLONG n) {
  return n >= std::max<DWORD>(a.size, 4) && n <= kMaxRecord && Word(p) == n;
}

// ---- Interface tables --------------------------------------------------------------------------

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::pair<IID, const ComInterfaceTable*>>& Tables() {
  static auto* tables = new std::vector<std::pair<IID, const ComInterfaceTable*>>();  // lives to exit
  return *tables;
}

const ComInterfaceTable* FindTable(REFIID iid);

}  // namespace

const ComInterfaceTable* FindComInterfaceTable(REFIID iid) { return FindTable(iid); }

void SetComMessageObserver(ComMessageObserver observer) { g_observer = observer; }

namespace {

const ComInterfaceTable* FindTable(REFIID iid) {
  if (iid == IID_IStream) return &StreamInterfaceTable();
  std::lock_guard<std::mutex> hold(TableLock());
  for (auto& entry : Tables())
    if (entry.first == iid) return entry.second;
  return nullptr;
}

// The row of the class object's one operation: the interface id (an in
// buffer of 16 bytes) and the new object's id.
const ComOperationRow kCreateRow = {
    3,
    {{ComArgKind::kValue, 0, 0, 0, nullptr},
     {ComArgKind::kInBuffer, 0, 0, 0, nullptr},
     {ComArgKind::kOutValue, 0, 0, 8, nullptr}}};

const ComOperationRow* RowOf(const ComInterfaceTable* table, DWORD operation) {
  if (operation < table->first || operation - table->first >= table->count) return nullptr;
  const ComOperationRow* row = &table->rows[operation - table->first];
  return row->count || row->bare ? row : nullptr;
}


// ---- Connections -------------------------------------------------------------------------------

class Connection;
class RemoteObject;

// An object this side serves to the peer.
struct Served {
  IUnknown* object;                  // the interface (a reference held)
  const ComInterfaceTable* table;    // its table (null for the class object)
  IID iid;                           // its interface id
};

// Proxies made here, by interface pointer, to find the object behind one.
std::mutex& ProxyLock() {
  static std::mutex lock;
  return lock;
}
std::map<const void*, std::weak_ptr<RemoteObject>>& Proxies() {
  static auto* proxies = new std::map<const void*, std::weak_ptr<RemoteObject>>();  // lives to exit
  return *proxies;
}

// Every connection of this process, client or serving side, to find one
// to a process.
std::mutex& ConnectionLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::weak_ptr<Connection>>& Connections() {
  static auto* connections = new std::vector<std::weak_ptr<Connection>>();  // lives to exit
  return *connections;
}

// Handles copied into this process, by the connection they came over; its
// peer's process is the client they were copied for.
struct CopiesOf {
  DWORD client;                 // the peer's process id
  std::set<ULONGLONG> handles;  // the copies
};
std::mutex& CopyLock() {
  static std::mutex lock;
  return lock;
}
std::map<const void*, CopiesOf>& Copies() {
  static auto* copies = new std::map<const void*, CopiesOf>();  // lives to exit
  return *copies;
}

// The connection whose request the current thread serves.
thread_local Connection* t_serving = nullptr;

std::vector<std::shared_ptr<Connection>> ConnectionsTo(DWORD process_id);

// Threads that serve requests: each request gets a thread of its own at
// once (a nested request never waits for another to end), taken from the
// idle ones when there are, so that a call does not pay for a new thread.
void ServeOnPool(std::function<void()> task) {
  struct Pool {
    std::mutex lock;
    std::condition_variable ready;
    std::deque<std::function<void()>> tasks;
    size_t idle = 0;
  };
  static Pool* pool = new Pool();  // lives to exit, with its idle threads
  std::unique_lock<std::mutex> hold(pool->lock);
  pool->tasks.push_back(std::move(task));
  if (pool->idle >= pool->tasks.size()) {
    pool->ready.notify_one();
    return;
  }
  hold.unlock();
  std::thread([] {
    std::unique_lock<std::mutex> hold(pool->lock);
    for (;;) {
      while (pool->tasks.empty()) {
        ++pool->idle;
        pool->ready.wait(hold);
        --pool->idle;
      }
      std::function<void()> next = std::move(pool->tasks.front());
      pool->tasks.pop_front();
      hold.unlock();
      next();
      next = nullptr;
      hold.lock();
    }
  }).detach();
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  explicit Connection(std::unique_ptr<Channel> channel)
      : channel_(std::move(channel)), peer_(channel_->PeerProcessId()) {}

  ~Connection() {
    channel_->Close();
    if (reader_.joinable()) {
      if (reader_.get_id() == std::this_thread::get_id())
        reader_.detach();  // the reader let the last reference go: it ends by itself
      else
        reader_.join();
    }
    ReleaseServed();
  }

  void Start() {
    {
      std::lock_guard<std::mutex> hold(ConnectionLock());
      auto& all = Connections();
      all.erase(std::remove_if(all.begin(), all.end(), [](auto& w) { return w.expired(); }),
                all.end());
      all.push_back(weak_from_this());
    }
    reader_ = std::thread([this] { Read(); });
  }

  // Serves `object` to the peer under a new id (class objects under 0).
  ULONGLONG Serve(IUnknown* object, const ComInterfaceTable* table, REFIID iid, bool class_object) {
    std::lock_guard<std::mutex> hold(lock_);
    ULONGLONG id = class_object ? 0 : ++g_next_object;
    served_[id] = {object, table, iid};
    return id;
  }
  // Serves `object` under id `id`, in place of what was there.
  void Serve(IUnknown* object, const ComInterfaceTable* table, REFIID iid, ULONGLONG id) {
    std::lock_guard<std::mutex> hold(lock_);
    served_[id] = {object, table, iid};
  }
  // Stops serving object `id` (without releasing it).
  void Unserve(ULONGLONG id) {
    std::lock_guard<std::mutex> hold(lock_);
    served_.erase(id);
  }

  bool Dead() { return channel_->IsClosed(); }
  DWORD Peer() const { return peer_; }

  // Sends a request and waits for its answer; the answer's out-arguments
  // go where `args` say, checked against `row`.
  HRESULT Call(ULONGLONG object, DWORD operation, const ComOperationRow& row, ComArg* args) {
    auto slot = std::make_shared<Slot>();
    std::string message;
    Put32(&message, kRequest);
    Put32(&message, 0);  // the call number, set below
    Put64(&message, object);
    Put32(&message, operation);
    DWORD sent[kMaxComArgs] = {};
    HRESULT hr = EncodeRequest(row, args, &message, sent, slot.get());
    if (FAILED(hr)) return hr;
    if (message.size() > kMaxChannelMessage) return E_INVALIDARG;
    hr = Exchange(&message, {}, slot);
    if (FAILED(hr)) return hr;
    bool came_home = false;
    hr = TakeAnswer(slot->answer, row, args, sent, &came_home);
    if (came_home) {
      // The peer may let go of its proxies of them now.
      std::string taken;
      Put32(&taken, kTaken);
      Put32(&taken, slot->call);
      channel_->Send(taken);
    }
    return hr;
  }

  void SendRelease(ULONGLONG object) {
    std::string message;
    Put32(&message, kRelease);
    Put32(&message, 0);
    Put64(&message, object);
    channel_->Send(message);
  }

  // Pushes a descriptor to the peer; the peer's handle value in *copy.
  DWORD Push(ULONGLONG handle, int fd, ULONGLONG* copy) {
    auto slot = std::make_shared<Slot>();
    std::string message;
    Put32(&message, kPush);
    Put32(&message, 0);
    Put64(&message, handle);
    if (FAILED(Exchange(&message, {fd}, slot))) return ERROR_ACCESS_DENIED;
    Reader r{slot->answer};
    DWORD status;
    ULONGLONG value = 0;
    if (!r.Get32(&status) || !r.Get64(&value) || !r.Done()) return Malformed(), ERROR_ACCESS_DENIED;
    if (status == ERROR_SUCCESS) *copy = value;
    return status;
  }

  // Pulls the peer's handle `handle`; a handle of this process in *copy.
  DWORD Pull(ULONGLONG handle, HANDLE* copy) {
    auto slot = std::make_shared<Slot>();
    slot->wants_descriptor = true;
    std::string message;
    Put32(&message, kPull);
    Put32(&message, 0);
    Put64(&message, handle);
    if (FAILED(Exchange(&message, {}, slot))) return ERROR_ACCESS_DENIED;
    Reader r{slot->answer};
    DWORD status;
    if (!r.Get32(&status) || !r.Done() ||
        (status == ERROR_SUCCESS) != (slot->carried.descriptors.size() == 1))
      return Malformed(), ERROR_ACCESS_DENIED;
    if (status != ERROR_SUCCESS) return status;
    *copy = slot->carried.TakeFileHandle(0);
    return *copy ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
  }

  // Reads one message as the reading thread does, without acting on it
  // (for the fuzz target): true when it would be accepted.
  bool ReadOnly(ChannelMessage message) {
    reading_only_ = true;
    bool ok = Accept(std::move(message));
    return ok;
  }

 private:
  struct Slot {
    bool done = false;              // the answer came
    std::string answer;             // its bytes after the call number
    bool wants_descriptor = false;  // a pull: its answer may carry one descriptor
    ChannelMessage carried;         // the answer's descriptors (closed unless taken)
    std::vector<ULONGLONG> handles; // handle arguments the peer may pull meanwhile
    DWORD call = 0;                 // its call number
  };

  void Malformed() { channel_->Close(); }

  // Numbers `message` (whose call number is at offset 4), sends it with
  // `fds` and waits for its answer in `slot`.
  HRESULT Exchange(std::string* message, const std::vector<int>& fds,
                   const std::shared_ptr<Slot>& slot) {
    DWORD call;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (dead_) return RPC_E_DISCONNECTED;
      call = ++next_call_;
      pending_[call] = slot;
      slot->call = call;
    }
    for (int i = 0; i < 4; ++i) (*message)[4 + i] = static_cast<char>((call >> (8 * i)) & 0xFF);
    if (channel_->Send(*message, fds) != ChannelResult::kOk) {
      std::lock_guard<std::mutex> hold(lock_);
      pending_.erase(call);
      return RPC_E_DISCONNECTED;
    }
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [&] { return slot->done || dead_; });
    pending_.erase(call);
    return slot->done ? S_OK : RPC_E_DISCONNECTED;
  }

  // Whether `pointer` is a proxy of an object this connection's peer
  // serves (over this connection or another to this process); its id in *id.
  bool ProxyHere(const void* pointer, ULONGLONG* id);

  // Finds object `id` among those this process serves to the peer's
  // process, over this connection or another; *object gets a reference
  // (null: only whether it is there).
  bool FindHome(ULONGLONG id, IUnknown** object);

  // The proxy side of a request's arguments.
  HRESULT EncodeRequest(const ComOperationRow& row, ComArg* args, std::string* m, DWORD* sent,
                        Slot* slot) {
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      ComArg& arg = args[i];
      switch (a.kind) {
        case ComArgKind::kValue:
          Put64(m, arg.value);
          break;
        case ComArgKind::kHandle:
          Put64(m, arg.value);
          slot->handles.push_back(arg.value);
          break;
        case ComArgKind::kInBuffer: {
          ULONGLONG n = args[a.size_arg].value;
          if (n > kMaxChannelMessage / ElementSize(a)) return E_INVALIDARG;
          n *= ElementSize(a);
          if (n && !arg.in) return E_POINTER;
          Put32(m, static_cast<DWORD>(n));
          if (n) m->append(static_cast<const char*>(arg.in), static_cast<size_t>(n));
          break;
        }
        case ComArgKind::kInRecord:
          if (!arg.in) return E_POINTER;
          m->append(static_cast<const char*>(arg.in), a.size);
          break;
        case ComArgKind::kInText: {
          if (!arg.in) {
            Put32(m, 0);
            break;
          }
          const WCHAR* text = static_cast<const WCHAR*>(arg.in);
          size_t n = 0;
          while (text[n]) {
            if (++n >= kMaxChannelMessage / 2) return E_INVALIDARG;
          }
          Put32(m, static_cast<DWORD>(n + 1));
          m->append(reinterpret_cast<const char*>(text), 2 * (n + 1));
          break;
        }
        case ComArgKind::kInOutText: {
          ULONGLONG room = TextRoom(a, args);
          if (!arg.out) return E_POINTER;
          if (room == 0 || room > kMaxOutBuffer / 2) return E_INVALIDARG;
          const WCHAR* text = static_cast<const WCHAR*>(arg.out);
          ULONGLONG n = 0;
          while (n < room && text[n]) ++n;
          if (n == room) return E_INVALIDARG;  // not terminated within its room
          Put32(m, static_cast<DWORD>(n + 1));
          m->append(reinterpret_cast<const char*>(text), static_cast<size_t>(2 * (n + 1)));
          break;
        }
        case ComArgKind::kInSized:
        case ComArgKind::kInOutSized:
        case ComArgKind::kInOutAlloc: {
          const void* record = a.kind == ComArgKind::kInSized ? arg.in : arg.out;
          if (a.kind == ComArgKind::kInOutAlloc) {
            if (!arg.out) return E_POINTER;
            record = *static_cast<void* const*>(arg.out);
          }
          if (!record) {
            Put32(m, 0);
            break;
          }
          DWORD n = Word(record);
          if (n < std::max<DWORD>(a.size, 4) || n > kMaxRecord) return E_INVALIDARG;
          Put32(m, n);
          m->append(static_cast<const char*>(record), n);
          sent[i] = n;
          break;
        }
        case ComArgKind::kInOutValue: {
          ULONGLONG v = 0;
          if (arg.out) std::memcpy(&v, arg.out, a.size == 4 ? 4 : 8);
          Put64(m, v);
          break;
        }
        case ComArgKind::kInInterface: {
          ULONGLONG id = 0;
          if (!arg.in) {
            Put32(m, kTagNull);
            Put64(m, 0);
          } else if (ProxyHere(arg.in, &id)) {
            Put32(m, kTagReceiver);
            Put64(m, id);
          } else {
            return E_NOTIMPL;  // an object of this process does not cross
          }
          break;
        }
        case ComArgKind::kOutBuffer:
          // An out buffer whose answer could not cross is refused here, before
          // the serving side would have to end the connection over it.
          if (args[a.size_arg].value > kMaxOutBuffer / ElementSize(a)) return E_INVALIDARG;
          break;
        case ComArgKind::kOutText:
          if (a.size_arg != kNone && args[a.size_arg].value > kMaxOutBuffer / 2) return E_INVALIDARG;
          break;
        case ComArgKind::kOutFrames: {
          // The frame size the proxy knows bounds what the answer may bring.
          ULONGLONG bytes = arg.value, frames = args[a.size_arg].value;
          if (bytes == 0 || bytes > kMaxOutBuffer) return E_UNEXPECTED;
          if (frames > kMaxOutBuffer / bytes) return E_INVALIDARG;
          if (frames && !arg.out) return E_POINTER;
          break;
        }
        case ComArgKind::kOutBstrArray: {
          ULONGLONG n = args[a.size_arg].value;
          if (n > kMaxBstrArray) return E_INVALIDARG;
          if (n && !arg.out) return E_POINTER;
          for (ULONGLONG k = 0; k < n; ++k) static_cast<BSTR*>(arg.out)[k] = nullptr;
          break;
        }
        case ComArgKind::kOutBstr:
          if (arg.out) *static_cast<BSTR*>(arg.out) = nullptr;
          break;
        case ComArgKind::kOutAlloc:
        case ComArgKind::kOutInterface:
          if (!arg.out) return E_POINTER;
          *static_cast<void**>(arg.out) = nullptr;
          break;
        case ComArgKind::kOutValue:
        case ComArgKind::kOutRecord:
        case ComArgKind::kWindow:
          break;
      }
    }
    return S_OK;
  }

  // The capacity in units of an out text.
  static ULONGLONG TextRoom(const ComArgRow& a, const ComArg* args) {
    return a.size_arg == kNone ? a.size : args[a.size_arg].value;
  }

  // Unpacks an answer into the caller's out-arguments: first checked whole,
  // then applied, so a malformed one (which ends the connection) leaves
  // nothing half done.
  HRESULT TakeAnswer(const std::string& answer, const ComOperationRow& row, ComArg* args,
                     const DWORD* sent, bool* came_home) {
    DWORD status;
    for (int pass = 0; pass < 2; ++pass) {
      const bool apply = pass == 1;
      Reader r{answer};
      bool ok = r.Get32(&status);
      ULONGLONG values[kMaxComArgs] = {};  // out values as they came
      ULONGLONG frames[kMaxComArgs] = {};  // out frames: the frames that came
      for (BYTE i = 0; ok && i < row.count; ++i) {
        const ComArgRow& a = row.args[i];
        ComArg& arg = args[i];
        const char* p = nullptr;
        DWORD n = 0;
        switch (a.kind) {
          case ComArgKind::kOutBuffer:
            ok = r.Get32(&n) && n <= args[a.size_arg].value * ElementSize(a) && r.Bytes(n, &p);
            if (ok && apply && n && arg.out) std::memcpy(arg.out, p, n);
            break;
          case ComArgKind::kOutValue:
          case ComArgKind::kInOutValue: {
            ULONGLONG v;
            ok = r.Get64(&v);
            if (ok) values[i] = a.size == 4 ? v & 0xFFFFFFFFu : v;
            if (ok && apply && arg.out) {
              if (a.size == 4) {
                DWORD v32 = static_cast<DWORD>(v);
                std::memcpy(arg.out, &v32, 4);
              } else {
                std::memcpy(arg.out, &v, 8);
              }
            }
            break;
          }
          case ComArgKind::kOutRecord:
            ok = r.Bytes(a.size, &p);
            if (ok && apply && arg.out) std::memcpy(arg.out, p, a.size);
            break;
          case ComArgKind::kOutFrames:
            // Whole frames of the size this side knows, no more than asked.
            ok = r.Get32(&n) && n % arg.value == 0 && n / arg.value <= args[a.size_arg].value &&
                 r.Bytes(n, &p);
            if (ok) frames[i] = n / arg.value;
            if (ok && apply && n) std::memcpy(arg.out, p, n);
            break;
          case ComArgKind::kOutText:
          case ComArgKind::kInOutText:
            ok = r.Get32(&n) && n <= TextRoom(a, args) && r.Bytes(2ull * n, &p) &&
                 (n == 0 || (p[2 * n - 2] == 0 && p[2 * n - 1] == 0));
            if (ok && apply && n && arg.out) std::memcpy(arg.out, p, 2ull * n);
            break;
          case ComArgKind::kInOutSized:
            ok = r.Get32(&n) && n <= sent[i] && r.Bytes(n, &p);
            if (ok && apply && n && arg.out) std::memcpy(arg.out, p, n);
            break;
          case ComArgKind::kOutBstr:
            ok = TakeBstr(&r, apply, arg.out ? static_cast<BSTR*>(arg.out) : nullptr);
            break;
          case ComArgKind::kOutBstrArray:
            ok = r.Get32(&n) && (n == 0 || n == args[a.size_arg].value);
            for (DWORD k = 0; ok && k < n; ++k)
              ok = TakeBstr(&r, apply, static_cast<BSTR*>(arg.out) + k);
            break;
          case ComArgKind::kOutAlloc:
          case ComArgKind::kInOutAlloc: {
            DWORD replaced = 1;
            if (a.kind == ComArgKind::kInOutAlloc) ok = r.Get32(&replaced) && replaced <= 1;
            ok = ok && r.Get32(&n) && r.Bytes(n, &p);
            if (!ok) break;
            void** where = static_cast<void**>(arg.out);
            if (!replaced) {
              ok = n == sent[i];
              if (ok && apply && n) std::memcpy(*where, p, n);
              break;
            }
            ok = n == 0 || SelfSized(a, p, n);
            if (!ok || !apply) break;
            void* copy = nullptr;
            if (n) {
              copy = std::calloc(1, n);
              if (copy) std::memcpy(copy, p, n);
              else if (SUCCEEDED(static_cast<HRESULT>(status))) status = static_cast<DWORD>(E_OUTOFMEMORY);
            }
            if (a.kind == ComArgKind::kInOutAlloc) std::free(*where);
            *where = copy;
            break;
          }
          case ComArgKind::kOutInterface: {
            DWORD tag;
            ULONGLONG id;
            ok = r.Get32(&tag) && r.Get64(&id) && tag <= kTagReceiver;
            if (!ok || tag == kTagNull) break;
            const IID& iid = a.iid ? *a.iid : *static_cast<const IID*>(args[a.size_arg].in);
            ok = TakeInterface(tag, id, iid, apply, static_cast<void**>(arg.out), &status);
            if (ok && apply && tag == kTagReceiver) *came_home = true;
            break;
          }
          default:
            break;
        }
      }
      // The frames that came are the frames the count says.
      for (BYTE i = 0; ok && i < row.count; ++i) {
        const ComArgRow& a = row.args[i];
        if (a.kind == ComArgKind::kOutFrames && a.count_arg != kNone)
          ok = values[a.count_arg] == frames[i];
      }
      if (!ok || !r.Done()) {
        Malformed();
        return RPC_E_DISCONNECTED;
      }
    }
    return static_cast<HRESULT>(status);
  }

  static bool TakeBstr(Reader* r, bool apply, BSTR* out) {
    DWORD n;
    const char* p = nullptr;
    if (!r->Get32(&n)) return false;
    if (n == kNullBstr) return true;
    if (n > kMaxChannelMessage || !r->Bytes(n, &p)) return false;
    if (apply && out) *out = SysAllocStringByteLen(p, n);
    return true;
  }

  // An interface in an answer: a new proxy of the peer's object (tag 1),
  // or an object of this side come home (tag 2).
  bool TakeInterface(DWORD tag, ULONGLONG id, REFIID iid, bool apply, void** out, DWORD* status);

  // The reading thread: answers go to their callers, requests to threads of
  // their own; a bad message or the end of the channel ends everything.
  void Read() {
    ChannelMessage message;
    while (channel_->Receive(&message, INFINITE) == ChannelResult::kOk) {
      if (!Accept(std::move(message))) {
        channel_->Close();
        break;
      }
      message = ChannelMessage();
    }
    // Letting the objects go may let the last reference to this connection
    // go too: it then ends here, after this thread's last use of it.
    auto keep = weak_from_this().lock();
    {
      std::lock_guard<std::mutex> hold(lock_);
      dead_ = true;
      done_.notify_all();
    }
    // The peer can no longer call its objects: they go now, and so do the
    // handles copied over this connection.
    ReleaseServed();
    CloseCopies();
  }

  void CloseCopies() {
    std::set<ULONGLONG> copies;
    {
      std::lock_guard<std::mutex> hold(CopyLock());
      auto it = Copies().find(this);
      if (it == Copies().end()) return;
      copies.swap(it->second.handles);
      Copies().erase(it);
    }
    for (ULONGLONG h : copies) CloseHandle(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(h)));
  }

  // Checks and acts on one message; false when it is malformed (descriptors
  // that came where none is due are closed with it).
  bool Accept(ChannelMessage message) {
    Reader head{message.bytes};
    DWORD kind, call;
    if (ComMessageObserver observe = g_observer.load()) Observe(observe, message);
    if (!head.Get32(&kind) || !head.Get32(&call)) return false;
    if (kind == kAnswer) {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = pending_.find(call);
      if (it == pending_.end() || it->second->done) return false;
      Slot& slot = *it->second;
      if (message.descriptors.size() > (slot.wants_descriptor ? 1u : 0u)) return false;
      if (reading_only_) return true;
      slot.answer = message.bytes.substr(8);
      slot.carried = std::move(message);
      slot.done = true;
      done_.notify_all();
      return true;
    }
    if (kind == kPush) {
      ULONGLONG handle;
      if (!head.Get64(&handle) || !head.Done() || message.descriptors.size() != 1) return false;
      if (reading_only_) return true;
      HANDLE copy = message.TakeFileHandle(0);
      std::string answer;
      Put32(&answer, kAnswer);
      Put32(&answer, call);
      Put32(&answer, copy ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
      ULONGLONG value = reinterpret_cast<ULONG_PTR>(copy);
      Put64(&answer, value);
      if (copy) {
        std::lock_guard<std::mutex> hold(CopyLock());
        CopiesOf& copies = Copies()[this];
        copies.client = peer_;
        copies.handles.insert(value);
      }
      channel_->Send(answer);
      return true;
    }
    if (!message.descriptors.empty()) return false;
    if (kind == kTaken) {
      std::vector<IUnknown*> lent;
      {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = lent_.find(call);
        if (!head.Done() || it == lent_.end()) return false;
        if (reading_only_) return true;
        lent.swap(it->second);
        lent_.erase(it);
      }
      // Off this thread too: letting a proxy go may let its connection go,
      // and this one may be it.
      auto release = [lent] {
        for (IUnknown* proxy : lent) proxy->Release();
      };
      try {
        std::thread(release).detach();
      } catch (...) {
        release();
      }
      return true;
    }
    if (kind == kPull) {
      ULONGLONG handle;
      if (!head.Get64(&handle) || !head.Done()) return false;
      if (reading_only_) return true;
      bool argument = false;
      {
        std::lock_guard<std::mutex> hold(lock_);
        for (auto& entry : pending_) {
          const auto& handles = entry.second->handles;
          if (std::find(handles.begin(), handles.end(), handle) != handles.end()) argument = true;
        }
      }
      int fd = argument ? DescriptorOfFileHandle(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handle)))
                        : -1;
      std::string answer;
      Put32(&answer, kAnswer);
      Put32(&answer, call);
      Put32(&answer, fd >= 0 ? ERROR_SUCCESS : argument ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
      if (fd >= 0)
        channel_->Send(answer, {fd});
      else
        channel_->Send(answer);
      return true;
    }
    if (kind == kRelease) {
      ULONGLONG id;
      if (!head.Get64(&id) || !head.Done() || id == 0) return false;
      IUnknown* object = nullptr;
      {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = served_.find(id);
        if (it == served_.end()) return false;
        if (reading_only_) return true;
        object = it->second.object;
        served_.erase(it);
      }
      // The object's own code (its destructor may call across) runs on a
      // thread of its own, as a request's does.
      try {
        std::thread([object] { object->Release(); }).detach();
      } catch (...) {
        object->Release();
      }
      return true;
    }
    if (kind != kRequest) return false;
    // A request's in buffers may point into its message, which must outlive
    // the thread that serves it.
    auto incoming = std::make_shared<Incoming>();
    incoming->message = std::move(message.bytes);
    Reader r{incoming->message};
    r.at = 8;
    ULONGLONG id;
    DWORD operation;
    if (!r.Get64(&id) || !r.Get32(&operation)) return false;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = served_.find(id);
      if (it == served_.end()) return false;
      incoming->target = it->second;  // held by the serving thread (Hold)
    }
    incoming->id = id;
    incoming->row = incoming->target.table ? RowOf(incoming->target.table, operation)
                                           : (operation == kCreateOperation ? &kCreateRow : nullptr);
    if (!incoming->row || !Decode(r, incoming.get())) return false;
    if (reading_only_) return true;
    try {
      ServeOnPool([self = shared_from_this(), operation, call, incoming] {
        self->Answer(operation, call, incoming.get());
      });
    } catch (...) {
      return false;
    }
    return true;
  }

  void Observe(ComMessageObserver observe, const ChannelMessage& message) {
    Reader r{message.bytes};
    DWORD kind, call;
    ULONGLONG id;
    IID iid;
    const IID* named = nullptr;
    if (r.Get32(&kind) && kind == kRequest && r.Get32(&call) && r.Get64(&id)) {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = served_.find(id);
      if (it != served_.end()) {
        iid = it->second.iid;
        named = &iid;
      }
    }
    observe(message.bytes, message.descriptors.size(), named);
  }

  // A request's decoded arguments and the storage of its out-arguments;
  // what the call left behind is freed with it.
  struct Incoming {
    ~Incoming() {
      if (held) target.object->Release();
      for (IUnknown* held : in_objects) held->Release();
      if (!row) return;
      for (BYTE i = 0; i < row->count; ++i) {
        const ComArgRow& a = row->args[i];
        if (storage[i].empty()) continue;
        void* p = storage[i].data();
        switch (a.kind) {
          case ComArgKind::kOutAlloc:
          case ComArgKind::kInOutAlloc:
            std::free(*static_cast<void**>(p));
            break;
          case ComArgKind::kOutBstr:
          case ComArgKind::kOutBstrArray:
            for (size_t k = 0; k < storage[i].size() / sizeof(BSTR); ++k)
              SysFreeString(static_cast<BSTR*>(p)[k]);
            break;
          case ComArgKind::kOutInterface:
            if (*static_cast<IUnknown**>(p)) (*static_cast<IUnknown**>(p))->Release();
            break;
          default:
            break;
        }
      }
    }
    std::string message;                      // the request (in buffers may point into it)
    ULONGLONG id = 0;                         // the object called
    Served target = {nullptr, nullptr, {}};   // it, as served
    bool held = false;                        // a reference to it taken (Hold)
    ULONGLONG homes[kMaxComArgs] = {};       // in interfaces: the ids of objects of this side
    ULONGLONG frame_bytes[kMaxComArgs] = {};  // out frames: the object's frame size
    bool lent[kMaxComArgs] = {};              // out interfaces answered as the peer's own
    const ComOperationRow* row = nullptr;     // its operation's row
    ComArg args[kMaxComArgs];                 // the decoded arguments
    std::string storage[kMaxComArgs];         // the arguments' own storage
    DWORD sent[kMaxComArgs] = {};             // sizes of in-out records as they came
    void* original[kMaxComArgs] = {};         // in-out allocated records as they came
    std::vector<IUnknown*> in_objects;        // in interfaces (references held)
  };

  // Room of `bytes` zeroed bytes for argument `i`, its pointer in `out`.
  static bool Room(Incoming* in, BYTE i, ULONGLONG bytes) {
    try {
      in->storage[i].assign(static_cast<size_t>(bytes), '\0');
    } catch (...) {
      return false;
    }
    in->args[i].out = in->storage[i].data();
    return true;
  }

  bool Decode(Reader& r, Incoming* in) {
    const ComOperationRow& row = *in->row;
    if (row.count > kMaxComArgs) return false;
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      ComArg& arg = in->args[i];
      const char* p = nullptr;
      DWORD n = 0;
      switch (a.kind) {
        case ComArgKind::kValue:
        case ComArgKind::kHandle:
          if (!r.Get64(&arg.value)) return false;
          break;
        case ComArgKind::kWindow:
          break;
        case ComArgKind::kInBuffer:
          if (!r.Get32(&n) || !r.Bytes(n, &p)) return false;
          if (ElementSize(a) > 1) {
            in->storage[i].assign(p, n);  // aligned for its elements
            p = in->storage[i].data();
          }
          arg.in = p;
          arg.value = n;  // checked against its size argument below
          break;
        case ComArgKind::kInRecord:
          if (a.size > kMaxRecord || !r.Bytes(a.size, &p)) return false;
          in->storage[i].assign(p, a.size);
          arg.in = in->storage[i].data();
          break;
        case ComArgKind::kInText:
          if (!r.Get32(&n)) return false;
          if (!n) break;
          if (!r.Bytes(2ull * n, &p) || p[2 * n - 2] != 0 || p[2 * n - 1] != 0) return false;
          in->storage[i].assign(p, 2ull * n);
          arg.in = in->storage[i].data();
          break;
        case ComArgKind::kInOutText:
          // Its room comes from another argument: checked and made below.
          if (!r.Get32(&n) || n == 0 || !r.Bytes(2ull * n, &p) || p[2 * n - 2] != 0 ||
              p[2 * n - 1] != 0)
            return false;
          in->sent[i] = n;
          arg.in = p;
          break;
        case ComArgKind::kInSized:
        case ComArgKind::kInOutSized:
        case ComArgKind::kInOutAlloc:
          if (!r.Get32(&n)) return false;
          if (n && (!r.Bytes(n, &p) || !SelfSized(a, p, n))) return false;
          in->sent[i] = n;
          if (a.kind == ComArgKind::kInOutAlloc) {
            void* copy = nullptr;
            if (n) {
              copy = std::calloc(1, n);
              if (!copy) return false;
              std::memcpy(copy, p, n);
            }
            in->original[i] = copy;
            if (!Room(in, i, sizeof(void*))) return std::free(copy), false;
            std::memcpy(in->storage[i].data(), &copy, sizeof copy);
          } else if (n) {
            in->storage[i].assign(p, n);
            if (a.kind == ComArgKind::kInSized) arg.in = in->storage[i].data();
            else arg.out = in->storage[i].data();
          }
          break;
        case ComArgKind::kInOutValue:
          if (!Room(in, i, 8) || !r.Get64(&arg.value)) return false;
          std::memcpy(arg.out, &arg.value, 8);
          break;
        case ComArgKind::kOutValue:
          if (!Room(in, i, 8)) return false;
          break;
        case ComArgKind::kOutRecord:
          if (a.size > kMaxRecord || !Room(in, i, a.size)) return false;
          break;
        case ComArgKind::kOutBstr:
        case ComArgKind::kOutAlloc:
        case ComArgKind::kOutInterface:
          if (!Room(in, i, sizeof(void*))) return false;
          break;
        case ComArgKind::kInInterface: {
          DWORD tag;
          ULONGLONG id;
          if (!r.Get32(&tag) || !r.Get64(&id)) return false;
          if (tag == kTagNull && id == 0) break;
          if (tag != kTagReceiver || !a.iid || !FindHome(id, nullptr)) return false;
          in->homes[i] = id;  // asked for its interface on the serving thread (Prepare)
          break;
        }
        case ComArgKind::kOutBuffer:
        case ComArgKind::kOutText:
        case ComArgKind::kOutBstrArray:
          // Sized by another argument, which may come later: made below.
          break;
        case ComArgKind::kOutFrames:
          // Sized by the object's frames on the serving thread (Prepare).
          if (a.count_arg != kNone && (a.count_arg >= row.count ||
                                       row.args[a.count_arg].kind != ComArgKind::kOutValue))
            return false;
          break;
      }
    }
    if (!r.Done()) return false;
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.size_arg != kNone && a.kind != ComArgKind::kOutInterface &&
          a.kind != ComArgKind::kInInterface && a.size_arg >= row.count)
        return false;
      switch (a.kind) {
        case ComArgKind::kInBuffer: {
          ULONGLONG count = in->args[a.size_arg].value;
          if (count > kMaxChannelMessage || in->args[i].value != count * ElementSize(a)) return false;
          if (!in->args[i].value) in->args[i].in = nullptr;
          break;
        }
        case ComArgKind::kOutBuffer: {
          ULONGLONG count = in->args[a.size_arg].value;
          if (count > kMaxOutBuffer / ElementSize(a)) return false;  // its answer could not cross
          if (!Room(in, i, count * ElementSize(a))) return false;
          break;
        }
        case ComArgKind::kOutText: {
          ULONGLONG units = TextRoom(a, in->args);
          if (units > kMaxOutBuffer / 2 || !Room(in, i, 2 * units)) return false;
          break;
        }
        case ComArgKind::kInOutText: {
          ULONGLONG units = TextRoom(a, in->args);
          const char* text = static_cast<const char*>(in->args[i].in);
          if (units > kMaxOutBuffer / 2 || in->sent[i] > units || !Room(in, i, 2 * units)) return false;
          std::memcpy(in->args[i].out, text, 2ull * in->sent[i]);
          in->args[i].in = nullptr;
          break;
        }
        case ComArgKind::kOutBstrArray: {
          ULONGLONG count = in->args[a.size_arg].value;
          if (count > kMaxBstrArray || !Room(in, i, count * sizeof(BSTR))) return false;
          break;
        }
        case ComArgKind::kOutInterface:
          if (!a.iid && (a.size_arg >= row.count || row.args[a.size_arg].kind != ComArgKind::kInRecord ||
                         row.args[a.size_arg].size != sizeof(IID)))
            return false;
          break;
        default:
          break;
      }
    }
    return true;
  }

  // Calls the object and sends the answer.
  void Answer(DWORD operation, DWORD call, Incoming* in) {
    if (!Hold(in)) {
      Malformed();  // a request for an object the peer had already let go
      return;
    }
    HRESULT hr;
    Connection* outer = t_serving;
    t_serving = this;
    if (!in->target.table) {
      hr = CreateForPeer(in->target.object, in->args);
    } else {
      hr = Prepare(operation, in);
      if (SUCCEEDED(hr)) hr = in->target.table->invoke(in->target.object, operation, in->args);
    }
    t_serving = outer;
    std::string message;
    if (!EncodeAnswer(call, hr, in, &message)) {
      // What the object gave cannot cross: the caller learns it failed.
      message.clear();
      EncodeAnswer(call, E_OUTOFMEMORY, in, &message);
    }
    std::vector<IUnknown*> lent;
    for (BYTE i = 0; i < in->row->count; ++i) {
      if (!in->lent[i]) continue;
      IUnknown*& object = *reinterpret_cast<IUnknown**>(in->storage[i].data());
      lent.push_back(object);
      object = nullptr;
    }
    if (!lent.empty()) {
      std::lock_guard<std::mutex> hold(lock_);
      auto& held = lent_[call];
      held.insert(held.end(), lent.begin(), lent.end());
    }
    channel_->Send(message);
  }

  // Takes a reference to the object a request calls, if it is still served.
  bool Hold(Incoming* in) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = served_.find(in->id);
    if (it == served_.end() || it->second.object != in->target.object) return false;
    in->target.object->AddRef();
    in->held = true;
    return true;
  }

  // What a call needs of the served objects before it runs: the interfaces
  // that came home asked of their objects, out frames sized by the called
  // object's frame size. A failure is the call's answer.
  HRESULT Prepare(DWORD operation, Incoming* in) {
    const ComOperationRow& row = *in->row;
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind == ComArgKind::kInInterface && in->homes[i]) {
        IUnknown* served = nullptr;
        if (!FindHome(in->homes[i], &served)) return E_INVALIDARG;  // let go meanwhile
        // Asked outside the lock: the object may call across meanwhile.
        void* object = nullptr;
        HRESULT hr = served->QueryInterface(*a.iid, &object);
        served->Release();
        if (FAILED(hr) || !object) return FAILED(hr) ? hr : E_NOINTERFACE;
        in->in_objects.push_back(static_cast<IUnknown*>(object));
        in->args[i].in = object;
      } else if (a.kind == ComArgKind::kOutFrames) {
        if (!in->target.table->frame_bytes) return E_NOTIMPL;
        DWORD bytes = 0;
        HRESULT hr = in->target.table->frame_bytes(in->target.object, operation, &bytes);
        if (FAILED(hr)) return hr;
        if (bytes == 0) return E_UNEXPECTED;
        // Frames whose answer could not cross are refused (a negative
        // count crosses as a huge one).
        ULONGLONG frames = in->args[a.size_arg].value;
        if (frames > kMaxOutBuffer / bytes) return E_INVALIDARG;
        if (!Room(in, i, frames * bytes)) return E_OUTOFMEMORY;
        in->frame_bytes[i] = bytes;
      }
    }
    return S_OK;
  }

  // The frames an object says it gave for out frames argument `i`: the
  // value of its count argument, signed as the count is.
  static LONGLONG FramesGiven(const ComOperationRow& row, const ComArgRow& a, Incoming* in) {
    if (a.count_arg == kNone) return 0;
    ULONGLONG v = 0;
    std::memcpy(&v, in->storage[a.count_arg].data(), 8);
    if (row.args[a.count_arg].size == 4) return static_cast<LONG>(static_cast<DWORD>(v));
    return static_cast<LONGLONG>(v);
  }

  // The answer of a call: out-arguments in the failure form (nothing
  // beyond values and records) when it failed. False when it would not
  // fit in a message.
  bool EncodeAnswer(DWORD call, HRESULT hr, Incoming* in, std::string* m) {
    const ComOperationRow& row = *in->row;
    // First what may turn a success into a failure: records that do not
    // describe themselves, interfaces that cannot cross.
    for (BYTE i = 0; SUCCEEDED(hr) && i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind == ComArgKind::kOutFrames) {
        // An object that says it gave more frames than asked (or fewer than
        // none) fails the call: its bytes do not cross.
        LONGLONG given = FramesGiven(row, a, in);
        if (a.count_arg != kNone &&
            (given < 0 || static_cast<ULONGLONG>(given) > in->args[a.size_arg].value))
          hr = E_UNEXPECTED;
        continue;
      }
      if (a.kind != ComArgKind::kOutAlloc && a.kind != ComArgKind::kInOutAlloc &&
          a.kind != ComArgKind::kOutInterface)
        continue;
      void* p = *reinterpret_cast<void**>(in->storage[i].data());
      if ((a.kind == ComArgKind::kOutAlloc ||
           (a.kind == ComArgKind::kInOutAlloc && p != in->original[i])) && p) {
        DWORD n = Word(p);
        if (!SelfSized(a, static_cast<const char*>(p), n)) hr = E_UNEXPECTED;
      }
      if (a.kind == ComArgKind::kOutInterface && p) {
        ULONGLONG id;
        const IID& iid = a.iid ? *a.iid : *static_cast<const IID*>(in->args[a.size_arg].in);
        if (!ProxyHere(p, &id) && !FindTable(iid)) hr = E_NOINTERFACE;
      }
    }
    const bool failed = FAILED(hr);
    std::fill(std::begin(in->lent), std::end(in->lent), false);
    // A failed call gave no frames.
    for (BYTE i = 0; failed && i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind == ComArgKind::kOutFrames && a.count_arg != kNone)
        std::memset(in->storage[a.count_arg].data(), 0, 8);
    }
    Put32(m, kAnswer);
    Put32(m, call);
    Put32(m, static_cast<DWORD>(hr));
    // A count of bytes given never says more than the buffer holds: the
    // caller believes it.
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind != ComArgKind::kOutBuffer || a.count_arg == kNone) continue;
      ULONGLONG given = 0;
      std::memcpy(&given, in->storage[a.count_arg].data(), 8);
      if (row.args[a.count_arg].size == 4) given &= 0xFFFFFFFFu;
      given = std::min(given, in->args[a.size_arg].value);
      std::memcpy(in->storage[a.count_arg].data(), &given, 8);
    }
    std::vector<ULONGLONG> served;  // ids served by this answer
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      char* s = in->storage[i].data();
      switch (a.kind) {
        case ComArgKind::kOutBuffer: {
          // The object says how much it gave (never more than the buffer).
          ULONGLONG n = in->args[a.size_arg].value * ElementSize(a);
          if (a.count_arg != kNone) {
            ULONGLONG given = 0;
            std::memcpy(&given, in->storage[a.count_arg].data(), 8);
            n = std::min(n, given * ElementSize(a));
          }
          if (failed) n = 0;
          Put32(m, static_cast<DWORD>(n));
          m->append(s, static_cast<size_t>(n));
          break;
        }
        case ComArgKind::kOutValue:
        case ComArgKind::kInOutValue: {
          ULONGLONG v = 0;
          std::memcpy(&v, s, 8);
          if (a.size == 4) v &= 0xFFFFFFFFu;
          Put64(m, v);
          break;
        }
        case ComArgKind::kOutRecord:
          m->append(in->storage[i]);
          break;
        case ComArgKind::kOutFrames: {
          // Exactly the frames the object gave (all of the buffer without a
          // count argument).
          ULONGLONG n = 0;
          if (!failed) {
            n = a.count_arg == kNone ? in->storage[i].size()
                                     : static_cast<ULONGLONG>(FramesGiven(row, a, in)) *
                                           in->frame_bytes[i];
          }
          Put32(m, static_cast<DWORD>(n));
          m->append(s, static_cast<size_t>(n));
          break;
        }
        case ComArgKind::kOutText:
        case ComArgKind::kInOutText: {
          size_t units = in->storage[i].size() / 2;
          size_t n = 0;
          if (!failed && units) {
            WCHAR* text = reinterpret_cast<WCHAR*>(s);
            while (n < units - 1 && text[n]) ++n;
            text[n] = 0;  // ends inside the room, whatever the object wrote
            ++n;
          }
          Put32(m, static_cast<DWORD>(n));
          m->append(s, 2 * n);
          break;
        }
        case ComArgKind::kInOutSized: {
          DWORD n = failed ? 0 : in->sent[i];
          Put32(m, n);
          if (n) m->append(s, n);
          break;
        }
        case ComArgKind::kOutBstr:
          PutBstr(m, failed ? nullptr : *reinterpret_cast<BSTR*>(s));
          break;
        case ComArgKind::kOutBstrArray: {
          size_t n = failed ? 0 : in->storage[i].size() / sizeof(BSTR);
          Put32(m, static_cast<DWORD>(n));
          for (size_t k = 0; k < n; ++k) PutBstr(m, reinterpret_cast<BSTR*>(s)[k]);
          break;
        }
        case ComArgKind::kOutAlloc:
        case ComArgKind::kInOutAlloc: {
          void* p = *reinterpret_cast<void**>(s);
          bool kept = a.kind == ComArgKind::kInOutAlloc && p == in->original[i];
          if (a.kind == ComArgKind::kInOutAlloc) Put32(m, kept ? 0 : 1);
          DWORD n = !p ? 0 : kept ? in->sent[i] : Word(p);
          if (a.kind == ComArgKind::kOutAlloc && failed) n = 0;
          Put32(m, n);
          if (n) m->append(static_cast<const char*>(p), n);
          break;
        }
        case ComArgKind::kOutInterface: {
          IUnknown*& object = *reinterpret_cast<IUnknown**>(s);
          ULONGLONG id = 0;
          DWORD tag = kTagNull;
          if (object && !failed) {
            const IID& iid = a.iid ? *a.iid : *static_cast<const IID*>(in->args[a.size_arg].in);
            if (ProxyHere(object, &id)) {
              tag = kTagReceiver;  // the peer's own object goes home
              in->lent[i] = true;
            } else {
              tag = kTagSender;
              id = Serve(object, FindTable(iid), iid, false);
              served.push_back(id);
              object = nullptr;  // the served table holds it now
            }
          }
          Put32(m, tag);
          Put64(m, id);
          break;
        }
        default:
          break;
      }
    }
    if (m->size() <= kMaxChannelMessage) return true;
    // Too large: the objects just served go back, and the caller is told.
    for (size_t k = 0; k < served.size(); ++k) {
      IUnknown* object = nullptr;
      {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = served_.find(served[k]);
        if (it == served_.end()) continue;
        object = it->second.object;
        served_.erase(it);
      }
      object->Release();
    }
    return false;
  }

  static void PutBstr(std::string* m, BSTR text) {
    if (!text) {
      Put32(m, kNullBstr);
      return;
    }
    UINT n = SysStringByteLen(text);
    Put32(m, n);
    m->append(reinterpret_cast<const char*>(text), n);
  }

  // The class object's operation: a new object for the peer.
  HRESULT CreateForPeer(IUnknown* class_object, ComArg* args) {
    IID iid;
    std::memcpy(&iid, args[1].in, sizeof iid);
    const ComInterfaceTable* table = FindTable(iid);
    if (!table) return E_NOINTERFACE;
    IClassFactory* factory = nullptr;
    HRESULT hr = class_object->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr)) return hr;
    void* object = nullptr;
    hr = factory->CreateInstance(nullptr, iid, &object);
    factory->Release();
    if (FAILED(hr)) return hr;
    ULONGLONG id = Serve(static_cast<IUnknown*>(object), table, iid, false);
    std::memcpy(args[2].out, &id, 8);
    return S_OK;
  }

  void ReleaseServed() {
    std::map<ULONGLONG, Served> served;
    std::map<DWORD, std::vector<IUnknown*>> lent;
    {
      std::lock_guard<std::mutex> hold(lock_);
      served.swap(served_);
      lent.swap(lent_);
    }
    for (auto& entry : served) entry.second.object->Release();
    for (auto& entry : lent)
      for (IUnknown* proxy : entry.second) proxy->Release();
  }

  std::unique_ptr<Channel> channel_;
  const DWORD peer_;                                      // the peer's process id
  std::thread reader_;                                    // runs Read()
  bool reading_only_ = false;                             // checks messages without acting
  std::mutex lock_;                                       // guards what follows
  std::condition_variable done_;                          // an answer came, or the end
  bool dead_ = false;                                     // the reader ended
  DWORD next_call_ = 0;                                   // last call number
  // Proxies an answer sent as the peer's own objects, by call: held until
  // the peer says it took them, so that they are still served then.
  std::map<DWORD, std::vector<IUnknown*>> lent_;
  std::map<DWORD, std::shared_ptr<Slot>> pending_;        // calls waiting for answers
  std::map<ULONGLONG, Served> served_;                    // objects the peer may call
};

std::vector<std::shared_ptr<Connection>> ConnectionsTo(DWORD process_id) {
  std::vector<std::shared_ptr<Connection>> found;
  std::lock_guard<std::mutex> hold(ConnectionLock());
  for (auto& weak : Connections()) {
    auto connection = weak.lock();
    if (connection && !connection->Dead() && connection->Peer() == process_id)
      found.push_back(std::move(connection));
  }
  return found;
}

// A proxy's view of an object in the peer.
class RemoteObject final : public ComRemoteObject {
 public:
  RemoteObject(std::shared_ptr<Connection> connection, ULONGLONG id, const ComInterfaceTable* table)
      : connection_(std::move(connection)), id_(id), table_(table) {}
  ~RemoteObject() override {
    if (proxy_) {
      std::lock_guard<std::mutex> hold(ProxyLock());
      auto it = Proxies().find(proxy_);
      if (it != Proxies().end() && it->second.expired()) Proxies().erase(it);
    }
    connection_->SendRelease(id_);
  }

  HRESULT Call(DWORD operation, ComArg* args) override {
    const ComOperationRow* row = RowOf(table_, operation);
    if (!row) return E_NOTIMPL;
    return connection_->Call(id_, operation, *row, args);
  }

  const std::shared_ptr<Connection>& connection() const { return connection_; }
  ULONGLONG id() const { return id_; }

  // Makes the proxy of `table` over a new remote object, noted so that it
  // can go home and be asked for its process.
  static HRESULT MakeProxy(std::shared_ptr<Connection> connection, ULONGLONG id,
                           const ComInterfaceTable* table, void** object) {
    auto remote = std::make_shared<RemoteObject>(std::move(connection), id, table);
    *object = nullptr;
    HRESULT hr = table->make_proxy(remote, object);
    if (FAILED(hr) || !*object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    remote->proxy_ = *object;
    std::lock_guard<std::mutex> hold(ProxyLock());
    Proxies()[*object] = remote;
    return S_OK;
  }

  // The remote object behind proxy `pointer`, if it is one.
  static std::shared_ptr<RemoteObject> Of(const void* pointer) {
    std::lock_guard<std::mutex> hold(ProxyLock());
    auto it = Proxies().find(pointer);
    return it == Proxies().end() ? nullptr : it->second.lock();
  }

 private:
  std::shared_ptr<Connection> connection_;
  ULONGLONG id_;
  const ComInterfaceTable* table_;
  const void* proxy_ = nullptr;  // the proxy's interface pointer
};

bool Connection::ProxyHere(const void* pointer, ULONGLONG* id) {
  auto remote = RemoteObject::Of(pointer);
  if (!remote) return false;
  Connection* over = remote->connection().get();
  if (over != this && (over->Peer() != peer_ || over->Dead())) return false;
  *id = remote->id();
  return true;
}

bool Connection::FindHome(ULONGLONG id, IUnknown** object) {
  if (id == 0) return false;  // class objects are not named
  auto look = [&](Connection* c) {
    std::lock_guard<std::mutex> hold(c->lock_);
    auto it = c->served_.find(id);
    if (it == c->served_.end()) return false;
    if (object) {
      *object = it->second.object;
      (*object)->AddRef();
    }
    return true;
  };
  if (look(this)) return true;
  for (auto& other : ConnectionsTo(peer_))
    if (other.get() != this && look(other.get())) return true;
  return false;
}

bool Connection::TakeInterface(DWORD tag, ULONGLONG id, REFIID iid, bool apply, void** out,
                               DWORD* status) {
  if (tag == kTagSender) {
    const ComInterfaceTable* table = FindTable(iid);
    if (!table || id == 0) return false;
    if (!apply) return true;
    void* proxy = nullptr;
    HRESULT hr = RemoteObject::MakeProxy(shared_from_this(), id, table, &proxy);
    if (FAILED(hr) && SUCCEEDED(static_cast<HRESULT>(*status))) *status = static_cast<DWORD>(hr);
    if (out) *out = proxy;
    else if (proxy) static_cast<IUnknown*>(proxy)->Release();
    return true;
  }
  if (!apply) return FindHome(id, nullptr);
  IUnknown* object = nullptr;
  if (!FindHome(id, &object)) return false;
  void* home = nullptr;
  HRESULT hr = object->QueryInterface(iid, &home);
  object->Release();
  if (FAILED(hr) && SUCCEEDED(static_cast<HRESULT>(*status))) *status = static_cast<DWORD>(hr);
  if (out) *out = home;
  else if (home) static_cast<IUnknown*>(home)->Release();
  return true;
}

// ---- Published class objects ---------------------------------------------------------------------

std::string EndpointOf(REFCLSID clsid) {
  char text[64];
  std::snprintf(text, sizeof text, "com-%08X%04X%04X", clsid.Data1, clsid.Data2, clsid.Data3);
  std::string name = text;
  for (BYTE b : clsid.Data4) {
    std::snprintf(text, sizeof text, "%02X", b);
    name += text;
  }
  return name;
}

struct Registration {
  IUnknown* object;                            // the class object (a reference)
  std::unique_ptr<ChannelListener> listener;   // its endpoint
  std::thread acceptor;                        // takes connections
};

std::mutex& RegistrationLock() {
  static std::mutex lock;
  return lock;
}
std::map<DWORD, Registration*>& Registrations() {
  static auto* registrations = new std::map<DWORD, Registration*>();  // lives to exit
  return *registrations;
}
// Connections served to clients; ended ones go at the next registration's
// accept. They live to the end of the process otherwise.
std::vector<std::shared_ptr<Connection>>& ServerConnections() {
  static auto* connections = new std::vector<std::shared_ptr<Connection>>();
  return *connections;
}

void AcceptLoop(Registration* registration) {
  while (auto channel = registration->listener->Accept(INFINITE)) {
    auto connection = std::make_shared<Connection>(std::move(channel));
    connection->Serve(registration->object, nullptr, IID_IClassFactory, true);
    registration->object->AddRef();  // released with the connection's objects
    std::vector<std::shared_ptr<Connection>> ended;
    {
      std::lock_guard<std::mutex> hold(RegistrationLock());
      auto& all = ServerConnections();
      for (auto it = all.begin(); it != all.end();) {
        if ((*it)->Dead()) {
          ended.push_back(std::move(*it));
          it = all.erase(it);
        } else {
          ++it;
        }
      }
      all.push_back(connection);
    }
    connection->Start();
  }
}

}  // namespace

void RegisterComInterfaceTable(REFIID iid, const ComInterfaceTable* table) {
  std::lock_guard<std::mutex> hold(TableLock());
  auto& tables = Tables();
  for (auto& entry : tables) {
    if (entry.first == iid) {
      entry.second = table;
      return;
    }
  }
  tables.emplace_back(iid, table);
}

HRESULT CreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** object) {
  const ComInterfaceTable* table = FindTable(iid);
  auto channel = Channel::Connect(EndpointOf(clsid), kConnectMs);
  if (!channel) return REGDB_E_CLASSNOTREG;
  if (!table) return E_NOINTERFACE;
  auto connection = std::make_shared<Connection>(std::move(channel));
  connection->Start();
  ComArg args[3];
  args[0].value = sizeof(IID);
  args[1].in = &iid;
  ULONGLONG id = 0;
  args[2].out = &id;
  HRESULT hr = connection->Call(0, kCreateOperation, kCreateRow, args);
  if (FAILED(hr)) return hr == RPC_E_DISCONNECTED ? REGDB_E_CLASSNOTREG : hr;
  return RemoteObject::MakeProxy(std::move(connection), id, table, object);
}

DWORD ComPushHandle(HANDLE handle, DWORD processId, ULONGLONG* copy) {
  if (!copy) return ERROR_INVALID_PARAMETER;
  *copy = 0;
  int fd = DescriptorOfFileHandle(handle);
  if (fd < 0) return ERROR_INVALID_HANDLE;
  auto connections = ConnectionsTo(processId);
  if (connections.empty()) return ERROR_ACCESS_DENIED;
  return connections.front()->Push(reinterpret_cast<ULONG_PTR>(handle), fd, copy);
}

DWORD ComPullHandle(ULONGLONG handle, DWORD processId, HANDLE* copy) {
  if (!copy) return ERROR_INVALID_PARAMETER;
  *copy = nullptr;
  auto connections = ConnectionsTo(processId);
  // The connection of the call this thread serves first: the handle is most
  // likely an argument of that call.
  std::stable_partition(connections.begin(), connections.end(),
                        [](const auto& c) { return c.get() == t_serving; });
  DWORD error = ERROR_ACCESS_DENIED;
  for (auto& connection : connections) {
    error = connection->Pull(handle, copy);
    if (error != ERROR_ACCESS_DENIED) break;
  }
  return error;
}

DWORD ComCloseCopiedHandle(ULONGLONG handle) {
  if (!t_serving) return ERROR_INVALID_PARAMETER;
  {
    std::lock_guard<std::mutex> hold(CopyLock());
    bool found = false;
    for (auto& entry : Copies())
      if (entry.second.client == t_serving->Peer() && entry.second.handles.erase(handle)) found = true;
    if (!found) return ERROR_INVALID_PARAMETER;
  }
  CloseHandle(reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(handle)));
  return ERROR_SUCCESS;
}

DWORD ComCallerProcessId() { return t_serving ? t_serving->Peer() : 0; }

DWORD ComProxyProcessId(IUnknown* object) {
  auto remote = RemoteObject::Of(object);
  if (!remote || remote->connection()->Dead()) return 0;
  return remote->connection()->Peer();
}

size_t ComCopiedHandleCount() {
  std::lock_guard<std::mutex> hold(CopyLock());
  size_t n = 0;
  for (auto& entry : Copies()) n += entry.second.handles.size();
  return n;
}

namespace {

// The object a message read for fuzzing is addressed to: answers every
// interface with itself and is never called.
class ReadOnlyObject final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    *object = this;
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
};

}  // namespace

bool ComReadMessageForTest(const std::string& message, size_t descriptors,
                           const ComInterfaceTable* table) {
  // One connected pair of channels in this process, read without a reading
  // thread; the class object is 0 and `table`'s object 1.
  static ReadOnlyObject object;
  static std::unique_ptr<ChannelListener> listener;
  static std::unique_ptr<Channel> served;
  static std::shared_ptr<Connection> connection = [] {
    std::string name = "com-read-" + std::to_string(GetCurrentProcessId());
    listener = ChannelListener::Listen(name);
    std::unique_ptr<Channel> client;
    if (listener) {
      std::thread accept([] { served = listener->Accept(5000); });
      client = Channel::Connect(name, 5000);
      accept.join();
    }
    if (!client) return std::shared_ptr<Connection>();
    auto made = std::make_shared<Connection>(std::move(client));
    made->Serve(&object, nullptr, IID_IClassFactory, true);
    made->Serve(&object, nullptr, IID_IUnknown, false);
    return made;
  }();
  if (!connection) return false;
  ULONGLONG id = 1;
  if (message.size() >= 16) std::memcpy(&id, message.data() + 8, 8);
  if (id != 0) connection->Serve(&object, table, IID_IUnknown, id);
  ChannelMessage m;
  m.bytes = message;
  for (size_t i = 0; i < descriptors && i < kMaxChannelDescriptors; ++i)
    m.descriptors.push_back(-1);  // counted, never taken when only read
  bool accepted = connection->ReadOnly(std::move(m));
  if (id > 1) connection->Unserve(id);
  return accepted;
}

}  // namespace platform

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* object, DWORD context, DWORD flags,
                              DWORD* cookie) {
  if (cookie) *cookie = 0;
  if (!object || !cookie || !(context & CLSCTX_LOCAL_SERVER)) return E_INVALIDARG;
  const std::string name = platform::EndpointOf(clsid);
  // A registration whose process still serves keeps the class.
  if (platform::Channel::Connect(name, 200)) return CO_E_OBJISREG;
  auto* registration = new platform::Registration{object, nullptr, {}};
  registration->listener = platform::ChannelListener::Listen(name);
  if (!registration->listener) {
    delete registration;
    return E_FAIL;
  }
  object->AddRef();
  static DWORD next_cookie = 0;
  {
    std::lock_guard<std::mutex> hold(platform::RegistrationLock());
    *cookie = ++next_cookie;
    platform::Registrations()[*cookie] = registration;
  }
  registration->acceptor = std::thread(platform::AcceptLoop, registration);
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  platform::Registration* registration = nullptr;
  {
    std::lock_guard<std::mutex> hold(platform::RegistrationLock());
    auto it = platform::Registrations().find(cookie);
    if (it == platform::Registrations().end()) return E_INVALIDARG;
    registration = it->second;
    platform::Registrations().erase(it);
  }
  registration->listener->Close();
  registration->acceptor.join();
  registration->listener.reset();  // the endpoint goes
  registration->object->Release();
  delete registration;
  return S_OK;
}
