// Objects across processes: class objects published as channel endpoints,
// connections with their call and object tables, and the checked decoding
// of every message against its interface's table.
#include "platform/com/remote.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/classfactory.h"
#include "platform/com/com_internal.h"
#include "platform/kernel/channel.h"
#include "platform/kernel/threads.h"

namespace platform {

namespace {

constexpr DWORD kRequest = 1, kAnswer = 2, kRelease = 3;
constexpr DWORD kCreateOperation = 3;            // of the class object, id 0
constexpr DWORD kMaxRecord = 32u * 1024 * 1024;  // a record's largest size
constexpr DWORD kConnectMs = 2000;               // to reach a published class
// The largest out buffer: its answer, with the other out-arguments, must fit
// in one message.
constexpr ULONGLONG kMaxOutBuffer = kMaxChannelMessage - 1024 * 1024;

void Put32(std::string* s, DWORD v) {
  for (int i = 0; i < 4; ++i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string* s, ULONGLONG v) {
  for (int i = 0; i < 8; ++i) s->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
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

// ---- Interface tables --------------------------------------------------------------------------

std::mutex& TableLock() {
  static std::mutex lock;
  return lock;
}
std::vector<std::pair<IID, const ComInterfaceTable*>>& Tables() {
  static auto* tables = new std::vector<std::pair<IID, const ComInterfaceTable*>>();  // lives to exit
  return *tables;
}

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
    3, {{ComArgKind::kValue, 0, 0, 0}, {ComArgKind::kInBuffer, 0, 0, 0}, {ComArgKind::kOutValue, 0, 0, 8}}};

const ComOperationRow* RowOf(const ComInterfaceTable* table, DWORD operation) {
  if (operation < table->first || operation - table->first >= table->count) return nullptr;
  const ComOperationRow* row = &table->rows[operation - table->first];
  return row->count ? row : nullptr;
}

// ---- Connections -------------------------------------------------------------------------------

// An object this side serves to the peer.
struct Served {
  IUnknown* object;                  // the interface (a reference held)
  const ComInterfaceTable* table;    // its table (null for the class object)
};

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  explicit Connection(std::unique_ptr<Channel> channel) : channel_(std::move(channel)) {}

  ~Connection() {
    channel_->Close();
    if (reader_.joinable()) reader_.join();
    ReleaseServed();
  }

  void Start() {
    reader_ = std::thread([this] { Read(); });
  }

  // Serves `object` to the peer under a new id (class objects under 0).
  ULONGLONG Serve(IUnknown* object, const ComInterfaceTable* table, bool class_object) {
    std::lock_guard<std::mutex> hold(lock_);
    ULONGLONG id = class_object ? 0 : ++next_object_;
    served_[id] = {object, table};
    return id;
  }

  bool Dead() { return channel_->IsClosed(); }

  // Sends a request and waits for its answer; the answer's out-arguments
  // go where `args` say, checked against `row`.
  HRESULT Call(ULONGLONG object, DWORD operation, const ComOperationRow& row, ComArg* args) {
    std::string message;
    Put32(&message, kRequest);
    DWORD call;
    auto slot = std::make_shared<Slot>();
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (dead_) return RPC_E_DISCONNECTED;
      call = ++next_call_;
      pending_[call] = slot;
    }
    Put32(&message, call);
    Put64(&message, object);
    Put32(&message, operation);
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      // An out buffer whose answer could not cross is refused here, before
      // the serving side would have to end the connection over it.
      if (a.kind == ComArgKind::kOutBuffer && args[a.size_arg].value > kMaxOutBuffer) {
        Forget(call);
        return E_INVALIDARG;
      }
      if (a.kind == ComArgKind::kValue) Put64(&message, args[i].value);
      if (a.kind == ComArgKind::kInBuffer) {
        ULONGLONG n = args[a.size_arg].value;
        if (n > kMaxChannelMessage) {
          Forget(call);
          return E_INVALIDARG;
        }
        Put32(&message, static_cast<DWORD>(n));
        if (n) message.append(static_cast<const char*>(args[i].in), static_cast<size_t>(n));
      }
    }
    if (message.size() > kMaxChannelMessage) {
      Forget(call);
      return E_INVALIDARG;
    }
    if (channel_->Send(message) != ChannelResult::kOk) {
      Forget(call);
      return RPC_E_DISCONNECTED;
    }
    std::unique_lock<std::mutex> hold(lock_);
    done_.wait(hold, [&] { return slot->done || dead_; });
    pending_.erase(call);
    if (!slot->done) return RPC_E_DISCONNECTED;
    hold.unlock();
    return TakeAnswer(slot->answer, row, args);
  }

  void SendRelease(ULONGLONG object) {
    std::string message;
    Put32(&message, kRelease);
    Put32(&message, 0);
    Put64(&message, object);
    channel_->Send(message);
  }

 private:
  struct Slot {
    bool done = false;     // the answer came
    std::string answer;    // its bytes after the call number
  };

  void Forget(DWORD call) {
    std::lock_guard<std::mutex> hold(lock_);
    pending_.erase(call);
  }

  // Unpacks an answer into the caller's out-arguments; a malformed one ends
  // the connection.
  HRESULT TakeAnswer(const std::string& answer, const ComOperationRow& row, ComArg* args) {
    Reader r{answer};
    DWORD status;
    bool ok = r.Get32(&status);
    for (BYTE i = 0; ok && i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      const char* p = nullptr;
      if (a.kind == ComArgKind::kOutBuffer) {
        DWORD n;
        ok = r.Get32(&n) && n <= args[a.size_arg].value && r.Bytes(n, &p);
        if (ok && n && args[i].out) std::memcpy(args[i].out, p, n);
      } else if (a.kind == ComArgKind::kOutValue) {
        ULONGLONG v;
        ok = r.Get64(&v);
        if (ok && args[i].out) {
          if (a.size == 4) {
            DWORD v32 = static_cast<DWORD>(v);
            std::memcpy(args[i].out, &v32, 4);
          } else {
            std::memcpy(args[i].out, &v, 8);
          }
        }
      } else if (a.kind == ComArgKind::kOutRecord) {
        ok = r.Bytes(a.size, &p);
        if (ok && args[i].out) std::memcpy(args[i].out, p, a.size);
      }
    }
    if (!ok || !r.Done()) {
      channel_->Close();
      return RPC_E_DISCONNECTED;
    }
    return static_cast<HRESULT>(status);
  }

  // The reading thread: answers go to their callers, requests to threads of
  // their own; a bad message or the end of the channel ends everything.
  void Read() {
    ChannelMessage message;
    while (channel_->Receive(&message, INFINITE) == ChannelResult::kOk) {
      // No operation here takes a descriptor: one that comes is closed
      // with the message, and the message is refused.
      if (!message.descriptors.empty() || !Dispatch(std::move(message.bytes))) {
        channel_->Close();
        break;
      }
    }
    {
      std::lock_guard<std::mutex> hold(lock_);
      dead_ = true;
      done_.notify_all();
    }
    // The peer can no longer call its objects: they go now.
    ReleaseServed();
  }

  bool Dispatch(std::string received) {
    // A request's in buffers point into its message, which must outlive the
    // thread that serves it.
    auto call_state = std::make_shared<Incoming>();
    call_state->message = std::move(received);
    const std::string& bytes = call_state->message;
    Reader r{bytes};
    DWORD kind, call;
    if (!r.Get32(&kind) || !r.Get32(&call)) return false;
    if (kind == kAnswer) {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = pending_.find(call);
      if (it == pending_.end() || it->second->done) return false;
      it->second->answer = bytes.substr(8);
      it->second->done = true;
      done_.notify_all();
      return true;
    }
    if (kind == kRelease) {
      ULONGLONG id;
      if (!r.Get64(&id) || !r.Done() || id == 0) return false;
      IUnknown* object = nullptr;
      {
        std::lock_guard<std::mutex> hold(lock_);
        auto it = served_.find(id);
        if (it == served_.end()) return false;
        object = it->second.object;
        served_.erase(it);
      }
      object->Release();
      return true;
    }
    if (kind != kRequest) return false;
    ULONGLONG id;
    DWORD operation;
    if (!r.Get64(&id) || !r.Get32(&operation)) return false;
    Served target;
    {
      std::lock_guard<std::mutex> hold(lock_);
      auto it = served_.find(id);
      if (it == served_.end()) return false;
      target = it->second;
      target.object->AddRef();  // kept while the call runs
    }
    const ComOperationRow* row =
        target.table ? RowOf(target.table, operation) : (operation == kCreateOperation ? &kCreateRow : nullptr);
    if (!row || !Decode(r, *row, call_state.get())) {
      target.object->Release();
      return false;
    }
    try {
      std::thread([self = shared_from_this(), target, operation, row, call, call_state] {
        self->Answer(target, operation, *row, call, call_state.get());
        target.object->Release();
      }).detach();
    } catch (...) {
      target.object->Release();
      return false;
    }
    return true;
  }

  // A request's decoded arguments and the storage of its out-arguments.
  struct Incoming {
    std::string message;  // the request (in buffers point into it)
    ComArg args[kMaxComArgs];
    std::vector<std::string> storage{kMaxComArgs};
  };

  static bool Decode(Reader& r, const ComOperationRow& row, Incoming* in) {
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      ComArg& arg = in->args[i];
      const char* p = nullptr;
      switch (a.kind) {
        case ComArgKind::kValue:
          if (!r.Get64(&arg.value)) return false;
          break;
        case ComArgKind::kInBuffer: {
          DWORD n;
          if (!r.Get32(&n) || !r.Bytes(n, &p)) return false;
          arg.in = p;
          arg.value = n;  // checked against its size argument below
          break;
        }
        case ComArgKind::kOutBuffer:
          // Sized by another argument, which may come later: made below.
          break;
        case ComArgKind::kOutValue:
          in->storage[i].assign(8, '\0');
          arg.out = in->storage[i].data();
          break;
        case ComArgKind::kOutRecord:
          if (a.size > kMaxRecord) return false;
          in->storage[i].assign(a.size, '\0');
          arg.out = in->storage[i].data();
          break;
      }
    }
    if (!r.Done()) return false;
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind == ComArgKind::kInBuffer && in->args[i].value != in->args[a.size_arg].value)
        return false;
      if (a.kind != ComArgKind::kOutBuffer) continue;
      ULONGLONG n = in->args[a.size_arg].value;
      if (n > kMaxOutBuffer) return false;  // its answer could not cross
      try {
        in->storage[i].assign(static_cast<size_t>(n), '\0');
      } catch (...) {
        return false;
      }
      in->args[i].out = in->storage[i].data();
    }
    return true;
  }

  void Answer(const Served& target, DWORD operation, const ComOperationRow& row, DWORD call,
              Incoming* in) {
    HRESULT hr;
    if (!target.table) {
      hr = CreateForPeer(target.object, in->args);
    } else {
      hr = target.table->invoke(target.object, operation, in->args);
    }
    // A count of bytes given never says more than the buffer holds: the
    // caller believes it.
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind != ComArgKind::kOutBuffer || a.count_arg == 0xFF) continue;
      ULONGLONG given = 0;
      std::memcpy(&given, in->storage[a.count_arg].data(), 8);
      if (row.args[a.count_arg].size == 4) given &= 0xFFFFFFFFu;
      given = std::min(given, in->args[a.size_arg].value);
      std::memcpy(in->storage[a.count_arg].data(), &given, 8);
    }
    std::string message;
    Put32(&message, kAnswer);
    Put32(&message, call);
    Put32(&message, static_cast<DWORD>(hr));
    for (BYTE i = 0; i < row.count; ++i) {
      const ComArgRow& a = row.args[i];
      if (a.kind == ComArgKind::kOutBuffer) {
        // The object says how much it gave (never more than the buffer).
        ULONGLONG n = in->args[a.size_arg].value;
        if (a.count_arg != 0xFF) {
          ULONGLONG given = 0;
          std::memcpy(&given, in->storage[a.count_arg].data(), 8);
          if (row.args[a.count_arg].size == 4) given &= 0xFFFFFFFFu;
          n = std::min(n, given);
        }
        if (FAILED(hr)) n = 0;
        Put32(&message, static_cast<DWORD>(n));
        message.append(in->storage[i].data(), static_cast<size_t>(n));
      } else if (a.kind == ComArgKind::kOutValue) {
        ULONGLONG v = 0;
        std::memcpy(&v, in->storage[i].data(), 8);
        if (a.size == 4) v &= 0xFFFFFFFFu;
        Put64(&message, v);
      } else if (a.kind == ComArgKind::kOutRecord) {
        message.append(in->storage[i]);
      }
    }
    channel_->Send(message);
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
    ULONGLONG id = Serve(static_cast<IUnknown*>(object), table, false);
    std::memcpy(args[2].out, &id, 8);
    return S_OK;
  }

  void ReleaseServed() {
    std::map<ULONGLONG, Served> served;
    {
      std::lock_guard<std::mutex> hold(lock_);
      served.swap(served_);
    }
    for (auto& entry : served) entry.second.object->Release();
  }

  std::unique_ptr<Channel> channel_;
  std::thread reader_;                                    // runs Read()
  std::mutex lock_;                                       // guards what follows
  std::condition_variable done_;                          // an answer came, or the end
  bool dead_ = false;                                     // the reader ended
  DWORD next_call_ = 0;                                   // last call number
  ULONGLONG next_object_ = 0;                             // last object id
  std::map<DWORD, std::shared_ptr<Slot>> pending_;        // calls waiting for answers
  std::map<ULONGLONG, Served> served_;                    // objects the peer may call
};

// A proxy's view of an object in the peer.
class RemoteObject final : public ComRemoteObject {
 public:
  RemoteObject(std::shared_ptr<Connection> connection, ULONGLONG id, const ComInterfaceTable* table)
      : connection_(std::move(connection)), id_(id), table_(table) {}
  ~RemoteObject() override { connection_->SendRelease(id_); }

  HRESULT Call(DWORD operation, ComArg* args) override {
    const ComOperationRow* row = RowOf(table_, operation);
    if (!row) return E_NOTIMPL;
    return connection_->Call(id_, operation, *row, args);
  }

 private:
  std::shared_ptr<Connection> connection_;
  ULONGLONG id_;
  const ComInterfaceTable* table_;
};

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
    connection->Serve(registration->object, nullptr, true);
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
  auto remote = std::make_shared<RemoteObject>(connection, id, table);
  return table->make_proxy(std::move(remote), object);
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
