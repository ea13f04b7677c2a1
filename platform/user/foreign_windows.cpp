// Windows of the user's other processes of this platform, over the local
// transport (platform/kernel/transport.h).
//
// A process with at least one top-level window listens on the endpoint
// "windows-<process id>" and answers two requests:
//   list       its top-level windows, front first, with their class names
//   copy data  a WM_COPYDATA for one of its top-level windows, sent to the
//              window's procedure on the window's own thread
// Another process sees those windows through stand-in handles of its own
// (never reused, one per window and process) that EnumWindows hands out
// after the process's own windows and that GetClassNameW and SendMessageW
// accept.
//
// Requests and answers, every number little-endian:
//   list request       u32 1
//   list answer        u64 instance, u32 count, then per window: u64 handle
//                      in its process, u32 class-name length n (at most
//                      256), n UTF-16 units
//   copy-data request  u32 2, u64 instance, u64 handle, u64 dwData, u32
//                      cbData (at most 0x8000), cbData bytes
//   copy-data answer   u64 the procedure's result
// The instance is a random number a process draws once: a process that
// took a dead one's id (and so its endpoint) has another, and refuses
// sends meant for the windows of the dead one, whose handles its own may
// repeat.
#include <atomic>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "platform/kernel/transport.h"
#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

namespace {

constexpr DWORD kListRequest = 1;
constexpr DWORD kCopyDataRequest = 2;
constexpr size_t kMaxClassName = 256;           // class-name units carried
constexpr DWORD kMaxCopyData = 0x8000;          // WM_COPYDATA bytes carried
constexpr uintptr_t kFirstForeignHandle = 0x40000010;  // far above the model's own handles
constexpr char kEndpointPrefix[] = "windows-";

std::atomic<DWORD> g_timeout_ms{kForeignWindowTimeoutMs};

// ---- Little-endian fields ----

void Put32(std::string* out, DWORD v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<DWORD>(v & 0xFFFFFFFF));
  Put32(out, static_cast<DWORD>(v >> 32));
}

// Reads fields from a payload, never past its end.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : bytes_(bytes) {}
  bool Get32(DWORD* v) {
    uint64_t w;
    if (!Get(4, &w)) return false;
    *v = static_cast<DWORD>(w);
    return true;
  }
  bool Get64(uint64_t* v) { return Get(8, v); }
  bool Take(size_t n, std::string* out) {
    if (bytes_.size() - pos_ < n) return false;
    out->assign(bytes_, pos_, n);
    pos_ += n;
    return true;
  }
  bool AtEnd() const { return pos_ == bytes_.size(); }

 private:
  bool Get(size_t n, uint64_t* v) {
    if (bytes_.size() - pos_ < n) return false;
    *v = 0;
    for (size_t i = 0; i < n; ++i)
      *v |= static_cast<uint64_t>(static_cast<unsigned char>(bytes_[pos_ + i])) << (8 * i);
    pos_ += n;
    return true;
  }
  const std::string& bytes_;
  size_t pos_ = 0;
};

std::string OwnEndpoint() { return kEndpointPrefix + std::to_string(GetCurrentProcessId()); }

uint64_t OwnInstance() {
  static const uint64_t instance = [] {
    std::random_device random;
    uint64_t v = 0;
    while (v == 0) v = static_cast<uint64_t>(random()) << 32 ^ random();
    return v;
  }();
  return instance;
}

// ---- The listening side ----

// A live top-level window of this process, or null.
std::shared_ptr<Window> OwnTopLevel(uint64_t handle) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, ToHwnd(static_cast<uintptr_t>(handle)));
  if (!w || w->parent || w->message_only || w->destroying) return nullptr;
  return w;
}

std::string AnswerList() {
  std::vector<std::pair<uint64_t, std::u16string>> windows;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    for (HWND h : m.top_levels) {
      std::shared_ptr<Window> w = FindLocked(m, h);
      if (!w || w->destroying) continue;
      windows.emplace_back(FromHwnd(h), w->cls->name.substr(0, kMaxClassName));
    }
  }
  std::string out;
  Put64(&out, OwnInstance());
  Put32(&out, static_cast<DWORD>(windows.size()));
  for (const auto& [handle, name] : windows) {
    Put64(&out, handle);
    Put32(&out, static_cast<DWORD>(name.size()));
    for (char16_t c : name) {
      out.push_back(static_cast<char>(c & 0xFF));
      out.push_back(static_cast<char>(c >> 8));
    }
  }
  return out;
}

std::string AnswerCopyData(Reader& in) {
  uint64_t instance = 0, handle = 0, data = 0;
  DWORD size = 0;
  std::string bytes;
  std::string out;
  if (!in.Get64(&instance) || !in.Get64(&handle) || !in.Get64(&data) || !in.Get32(&size) ||
      size > kMaxCopyData || !in.Take(size, &bytes) || !in.AtEnd() || instance != OwnInstance() ||
      !OwnTopLevel(handle)) {
    Put64(&out, 0);
    return out;
  }
  COPYDATASTRUCT cds{static_cast<ULONG_PTR>(data), size, size ? bytes.data() : nullptr};
  // Marshalled to the window's thread and waited for. wParam names the
  // sender's window on the platform; no window of another process can be
  // reached through it here, so it is 0.
  LRESULT result = SendMessageW(ToHwnd(static_cast<uintptr_t>(handle)), WM_COPYDATA, 0,
                                reinterpret_cast<LPARAM>(&cds));
  Put64(&out, static_cast<uint64_t>(result));
  return out;
}

std::string Answer(const std::string& request) {
  Reader in(request);
  DWORD kind = 0;
  if (!in.Get32(&kind)) return std::string();
  if (kind == kListRequest) return AnswerList();
  if (kind == kCopyDataRequest) return AnswerCopyData(in);
  return std::string();
}

// The endpoint while the process has top-level windows. Under Model::lock.
std::unique_ptr<TransportListener>& Listener() {
  static std::unique_ptr<TransportListener> listener;
  return listener;
}

// ---- The calling side ----

// A window of another process as this process sees it.
struct Foreign {
  std::string endpoint;      // its process's endpoint
  uint64_t instance = 0;     // that process's instance
  uint64_t remote = 0;       // its handle there
  std::u16string class_name; // its class name, as listed
};

struct ForeignTable {
  std::mutex lock;  // a leaf lock
  std::map<uintptr_t, Foreign> by_handle;
  std::map<std::tuple<std::string, uint64_t, uint64_t>, uintptr_t> by_remote;
  uintptr_t next = kFirstForeignHandle;
};

ForeignTable& Table() {
  static ForeignTable* table = new ForeignTable;  // used until the process ends
  return *table;
}

bool Lookup(HWND hwnd, Foreign* out) {
  ForeignTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.by_handle.find(FromHwnd(hwnd));
  if (it == t.by_handle.end()) return false;
  *out = it->second;
  return true;
}

HWND StandIn(const std::string& endpoint, uint64_t instance, uint64_t remote,
             const std::u16string& class_name) {
  ForeignTable& t = Table();
  std::lock_guard<std::mutex> guard(t.lock);
  auto key = std::make_tuple(endpoint, instance, remote);
  auto it = t.by_remote.find(key);
  if (it != t.by_remote.end()) return ToHwnd(it->second);
  uintptr_t value = t.next;
  t.next += kHandleStep;
  t.by_handle[value] = Foreign{endpoint, instance, remote, class_name};
  t.by_remote[key] = value;
  return ToHwnd(value);
}

// The top-level windows one process lists; none when it is gone (its
// socket is then removed), does not answer in time or answers nonsense.
std::vector<HWND> ListOf(const std::string& endpoint) {
  std::string request, answer;
  Put32(&request, kListRequest);
  std::vector<HWND> out;
  if (CallTransportEndpoint(endpoint, request, &answer, g_timeout_ms.load()) !=
      TransportResult::kAnswered)
    return out;
  Reader in(answer);
  uint64_t instance = 0;
  DWORD count = 0;
  if (!in.Get64(&instance) || !in.Get32(&count)) return out;
  for (DWORD i = 0; i < count; ++i) {
    uint64_t remote = 0;
    DWORD length = 0;
    std::string units;
    if (!in.Get64(&remote) || !in.Get32(&length) || length > kMaxClassName ||
        !in.Take(2 * static_cast<size_t>(length), &units))
      return std::vector<HWND>();
    std::u16string name(length, u'\0');
    for (DWORD k = 0; k < length; ++k)
      name[k] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * k]) |
                                      static_cast<unsigned char>(units[2 * k + 1]) << 8);
    out.push_back(StandIn(endpoint, instance, remote, name));
  }
  return out;
}

bool IsForeignWindow(HWND hwnd) {
  if (FromHwnd(hwnd) < kFirstForeignHandle) return false;
  Foreign f;
  return Lookup(hwnd, &f);
}

int ForeignClassName(HWND hwnd, LPWSTR buffer, int size) {
  Foreign f;
  if (!Lookup(hwnd, &f)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  size_t n = std::min(f.class_name.size(), static_cast<size_t>(size - 1));
  f.class_name.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

LRESULT SendToForeignWindow(HWND hwnd, UINT message, WPARAM, LPARAM lparam) {
  Foreign f;
  if (!Lookup(hwnd, &f)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (message != WM_COPYDATA) return 0;  // nothing else crosses processes
  const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  if (!cds || cds->cbData > kMaxCopyData || (cds->cbData && !cds->lpData)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string request;
  Put32(&request, kCopyDataRequest);
  Put64(&request, f.instance);
  Put64(&request, f.remote);
  Put64(&request, static_cast<uint64_t>(cds->dwData));
  Put32(&request, cds->cbData);
  request.append(static_cast<const char*>(cds->lpData), cds->cbData);
  std::string answer;
  if (CallTransportEndpoint(f.endpoint, request, &answer, g_timeout_ms.load()) !=
      TransportResult::kAnswered)
    return 0;  // gone, or no answer in time
  Reader in(answer);
  uint64_t result = 0;
  if (!in.Get64(&result) || !in.AtEnd()) return 0;
  return static_cast<LRESULT>(result);
}

const ForeignWindowCalls kCalls = {&IsForeignWindow, &ForeignClassName, &SendToForeignWindow};
std::atomic<const ForeignWindowCalls*> g_calls{nullptr};

}  // namespace

std::vector<HWND> ForeignTopLevels() {
  // The calls on stand-ins, installed before the first stand-in is made.
  g_calls.store(&kCalls, std::memory_order_release);
  std::vector<HWND> all;
  const std::string own = OwnEndpoint();
  for (const std::string& endpoint : ListTransportEndpoints(kEndpointPrefix)) {
    if (endpoint == own) continue;
    std::vector<HWND> some = ListOf(endpoint);
    all.insert(all.end(), some.begin(), some.end());
  }
  return all;
}

const ForeignWindowCalls* ForeignCalls() { return g_calls.load(std::memory_order_acquire); }

void SyncWindowEndpointLocked(Model& m) {
  std::unique_ptr<TransportListener>& listener = Listener();
  if (m.top_levels.empty()) {
    listener.reset();
  } else if (!listener) {
    // Without an endpoint the process's windows stay its own; nothing else
    // depends on it.
    DWORD error = GetLastError();
    listener = TransportListener::Start(OwnEndpoint(), Answer);
    SetLastError(error);
  }
}

}  // namespace window_model

DWORD SetForeignWindowTimeout(DWORD milliseconds) { return g_timeout_ms.exchange(milliseconds); }

}  // namespace platform
