#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/state.h"

namespace {

// ---- Rights ---------------------------------------------------------------------
constexpr REGSAM kDelete = 0x00010000;
constexpr REGSAM kWriteDac = 0x00040000;
constexpr REGSAM kWriteOwner = 0x00080000;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericAll = 0x10000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericRead = 0x80000000;
// Rights that change a store: asking for any of them needs a writable store.
constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | kDelete | kWriteDac | kWriteOwner;

constexpr size_t kMaxKeyNameLength = 255;      // characters of one key name
constexpr size_t kMaxValueNameLength = 16383;  // characters of a value name

constexpr char kStoreFileName[] = "/registry.txt";
constexpr char kLockFileName[] = "/registry.lock";
constexpr char kFileHeader[] = "talvene-registry 1";

// Serials of the keys every store has. Fixed, so that two processes that
// add a missing base key in memory agree on its serial.
constexpr uint64_t kRootSerial = 0;
constexpr uint64_t kSoftwareSerial = 1;
constexpr uint64_t kClassesSerial = 2;
constexpr uint64_t kFirstFreeSerial = 16;

// ---- Names ----------------------------------------------------------------------
// Compares two names as the registry does: without regard to case.
int CompareNames(std::u16string_view a, std::u16string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    WCHAR x = platform::CharUpper(a[i]);
    WCHAR y = platform::CharUpper(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameName(std::u16string_view a, std::u16string_view b) { return CompareNames(a, b) == 0; }

ULONGLONG FileTimeNow() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return (static_cast<ULONGLONG>(ts.tv_sec) + 11644473600ull) * 10000000ull +
         static_cast<ULONGLONG>(ts.tv_nsec) / 100;
}

// ---- The tree -------------------------------------------------------------------
struct RegValue {
  std::u16string name;     // as first set; empty for the default value
  DWORD type = REG_NONE;   // REG_* type number, any value kept
  std::vector<BYTE> data;  // bytes as given
};

struct RegKey {
  std::u16string name;       // as created; empty for a store's root key
  uint64_t serial = 0;       // unique in the store: tells a recreated key from the old one
  ULONGLONG last_write = 0;  // FILETIME of the last change
  std::vector<std::unique_ptr<RegKey>> subkeys;  // sorted by CompareNames
  std::vector<RegValue> values;                  // in creation order
};

struct Tree {
  std::unique_ptr<RegKey> root;             // the store's root key
  uint64_t next_serial = kFirstFreeSerial;  // serial of the next key created
};

// Position of `name` among the sorted subkeys of `key`.
std::vector<std::unique_ptr<RegKey>>::iterator LowerBound(RegKey* key, std::u16string_view name) {
  return std::lower_bound(key->subkeys.begin(), key->subkeys.end(), name,
                          [](const std::unique_ptr<RegKey>& k, std::u16string_view n) {
                            return CompareNames(k->name, n) < 0;
                          });
}

RegKey* FindChild(RegKey* key, std::u16string_view name) {
  auto it = LowerBound(key, name);
  return it != key->subkeys.end() && SameName((*it)->name, name) ? it->get() : nullptr;
}

RegKey* AddChild(RegKey* key, std::u16string_view name, uint64_t serial, ULONGLONG time) {
  auto child = std::make_unique<RegKey>();
  child->name = name;
  child->serial = serial;
  child->last_write = time;
  RegKey* raw = child.get();
  key->subkeys.insert(LowerBound(key, name), std::move(child));
  return raw;
}

RegValue* FindValue(RegKey* key, std::u16string_view name) {
  for (RegValue& v : key->values)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

// Adds the base keys a store always has (names as the platform spells them).
void AddBaseKeys(Tree& tree, bool machine) {
  if (!tree.root) {
    tree.root = std::make_unique<RegKey>();
    tree.root->serial = kRootSerial;
  }
  RegKey* software = FindChild(tree.root.get(), u"SOFTWARE");
  if (!software)
    software = AddChild(tree.root.get(), machine ? u"SOFTWARE" : u"Software", kSoftwareSerial,
                        FileTimeNow());
  if (!FindChild(software, u"Classes"))
    AddChild(software, u"Classes", kClassesSerial, FileTimeNow());
}

// TRUE for the keys that cannot be deleted: the root and the base keys.
bool IsBaseKeyPath(const std::vector<std::u16string>& path) {
  if (path.empty()) return true;
  if (!SameName(path[0], u"SOFTWARE")) return false;
  return path.size() == 1 || (path.size() == 2 && SameName(path[1], u"Classes"));
}

// ---- Store file text ----------------------------------------------------------------
void PutHex4(std::string& out, unsigned v) {
  static const char kHex[] = "0123456789abcdef";
  out.push_back('%');
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(v >> shift) & 0xF]);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A name as one token without spaces (see the format in registry.h).
std::string EscapeName(std::u16string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    WCHAR c = name[i];
    bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF) {
      out += platform::ToUtf8(name.substr(i, 2));
      ++i;
    } else if (c < 0x20 || c == 0x7F || c == ' ' || c == '%' || c == ':' || c == '\\' ||
               (c >= 0xD800 && c <= 0xDFFF)) {
      PutHex4(out, c);
    } else {
      out += platform::ToUtf8(name.substr(i, 1));
    }
  }
  return out;
}

// TRUE when `text` is a run that EscapeName writes as it is: well-formed
// UTF-8 (no overlong forms, no surrogates) without the characters it
// escapes (controls, DEL, space, '%', ':', '\').
bool IsPlainNameRun(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F || c == ' ' || c == '%' || c == ':' || c == '\\') return false;
      ++i;
      continue;
    }
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 0;
    if (length == 0 || c > 0xF4 || i + length > text.size()) return false;
    uint32_t v = c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      v = (v << 6) | (next & 0x3F);
    }
    static const uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (v < kSmallest[length] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

// Reads a name written by EscapeName. A name that no call could have made
// is refused, so that every name a store yields can be used again: one
// holding a zero unit (texts end there), and with `key` a key name holding
// '\' (it would be taken for a path).
bool UnescapeName(std::string_view text, std::u16string* out, bool key) {
  out->clear();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '%') {
      if (i + 5 > text.size()) return false;
      unsigned v = 0;
      for (size_t k = 1; k <= 4; ++k) {
        int d = HexDigit(text[i + k]);
        if (d < 0) return false;
        v = v * 16 + static_cast<unsigned>(d);
      }
      if (v == 0 || (key && v == '\\')) return false;
      out->push_back(static_cast<WCHAR>(v));
      i += 5;
    } else {
      size_t end = text.find('%', i);
      if (end == std::string_view::npos) end = text.size();
      if (!IsPlainNameRun(text.substr(i, end - i))) return false;
      *out += platform::ToUtf16(text.substr(i, end - i));
      i = end;
    }
  }
  return true;
}

bool ParseNumber(std::string_view text, uint64_t* out) {
  if (text.empty() || text.size() > 20) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    uint64_t next = v * 10 + static_cast<uint64_t>(c - '0');
    if (next / 10 != v) return false;
    v = next;
  }
  *out = v;
  return true;
}

std::vector<std::string_view> SplitTokens(std::string_view line) {
  std::vector<std::string_view> tokens;
  size_t start = 0;
  while (start <= line.size()) {
    size_t end = line.find(' ', start);
    if (end == std::string_view::npos) end = line.size();
    tokens.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return tokens;
}

void SerializeKey(const RegKey& key, const std::string& path, std::string& out) {
  out += "key " + std::to_string(key.serial) + " " + std::to_string(key.last_write) + " :" + path +
         "\n";
  static const char kHex[] = "0123456789abcdef";
  for (const RegValue& v : key.values) {
    out += "value " + std::to_string(v.type) + " :" + EscapeName(v.name) + " x";
    for (BYTE b : v.data) {
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 0xF]);
    }
    out.push_back('\n');
  }
  for (const auto& sub : key.subkeys)
    SerializeKey(*sub, path.empty() ? EscapeName(sub->name) : path + "\\" + EscapeName(sub->name),
                 out);
}

std::string Serialize(const Tree& tree) {
  std::string out = std::string(kFileHeader) + "\nnext " + std::to_string(tree.next_serial) + "\n";
  SerializeKey(*tree.root, std::string(), out);
  return out;
}

bool ParseKeyLine(const std::vector<std::string_view>& t, Tree& tree, RegKey** current) {
  uint64_t serial, time;
  if (t.size() != 4 || !ParseNumber(t[1], &serial) || !ParseNumber(t[2], &time) || t[3].empty() ||
      t[3][0] != ':' || serial >= tree.next_serial)
    return false;
  std::string_view path = t[3].substr(1);
  if (path.empty()) {  // the root key: first and only once
    if (tree.root) return false;
    tree.root = std::make_unique<RegKey>();
    tree.root->serial = serial;
    tree.root->last_write = time;
    *current = tree.root.get();
    return true;
  }
  if (!tree.root) return false;
  RegKey* parent = tree.root.get();
  std::u16string name;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    bool last = end == std::string_view::npos;
    if (!UnescapeName(path.substr(start, last ? std::string_view::npos : end - start), &name,
                      true) ||
        name.empty() || name.size() > kMaxKeyNameLength)
      return false;
    if (last) break;
    parent = FindChild(parent, name);
    if (!parent) return false;
    start = end + 1;
  }
  if (FindChild(parent, name)) return false;
  *current = AddChild(parent, name, serial, time);
  return true;
}

bool ParseValueLine(const std::vector<std::string_view>& t, RegKey* current) {
  uint64_t type;
  if (!current || t.size() != 4 || !ParseNumber(t[1], &type) || type > 0xFFFFFFFFu ||
      t[2].empty() || t[2][0] != ':' || t[3].empty() || t[3][0] != 'x' || t[3].size() % 2 != 1)
    return false;
  RegValue v;
  if (!UnescapeName(t[2].substr(1), &v.name, false) || v.name.size() > kMaxValueNameLength ||
      FindValue(current, v.name))
    return false;
  v.type = static_cast<DWORD>(type);
  std::string_view hex = t[3].substr(1);
  v.data.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    v.data.push_back(static_cast<BYTE>(hi * 16 + lo));
  }
  current->values.push_back(std::move(v));
  return true;
}

// Parses a whole store file; FALSE for anything that is not exactly the
// format written by Serialize.
bool ParseStore(std::string_view text, Tree* out) {
  Tree tree;
  size_t pos = 0;
  int line_no = 0;
  RegKey* current = nullptr;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) return false;  // every line ends with '\n'
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    ++line_no;
    if (line_no == 1) {
      if (line != kFileHeader) return false;
      continue;
    }
    std::vector<std::string_view> t = SplitTokens(line);
    if (line_no == 2) {
      if (t.size() != 2 || t[0] != "next" || !ParseNumber(t[1], &tree.next_serial)) return false;
      continue;
    }
    if (t[0] == "key") {
      if (!ParseKeyLine(t, tree, &current)) return false;
    } else if (t[0] == "value") {
      if (!ParseValueLine(t, current)) return false;
    } else {
      return false;
    }
  }
  if (line_no < 2) return false;
  if (tree.next_serial < kFirstFreeSerial) tree.next_serial = kFirstFreeSerial;
  *out = std::move(tree);
  return true;
}

// ---- Stores -----------------------------------------------------------------------
// What tells one version of a store file from another.
struct FileStamp {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  struct timespec mtime = {};
  struct timespec ctime = {};
};

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  if (a.exists != b.exists) return false;
  if (!a.exists) return true;
  return a.dev == b.dev && a.ino == b.ino && a.size == b.size && a.mtime.tv_sec == b.mtime.tv_sec &&
         a.mtime.tv_nsec == b.mtime.tv_nsec && a.ctime.tv_sec == b.ctime.tv_sec &&
         a.ctime.tv_nsec == b.ctime.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  return s;
}

struct Store {
  bool machine = false;   // machine store (else the user's)
  std::string dir;        // folder of the store
  std::string file;       // the store file
  std::string lock_file;  // the file locked while changing the store
  bool loaded = false;    // tree and stamp describe the file as last read
  bool bad = false;       // that file could not be parsed
  FileStamp stamp;        // the file as last read
  Tree tree;              // its contents
};

// An open key: where it is and what it may do.
struct KeyHandle {
  Store* store = nullptr;            // the store it lives in
  std::vector<std::u16string> path;  // names from the store's root key
  uint64_t serial = 0;               // the key's serial; 0 for predefined keys (any key there)
  REGSAM access = 0;                 // rights granted
};

std::mutex g_lock;                                       // guards everything below
std::map<std::string, std::unique_ptr<Store>> g_stores;  // by file path; never freed
std::unordered_map<uintptr_t, KeyHandle> g_handles;      // open handles
uintptr_t g_next_handle = 0x1000;                        // never given out twice

Store* GetStore(bool machine) {
  std::string dir = machine ? platform::MachineStateDir() : platform::UserStateDir();
  std::string file = dir + kStoreFileName;
  std::unique_ptr<Store>& s = g_stores[file];
  if (!s) {
    s = std::make_unique<Store>();
    s->machine = machine;
    s->dir = dir;
    s->file = file;
    s->lock_file = dir + kLockFileName;
  }
  return s.get();
}


// Brings the store's tree up to date with its file: reads the file again
// when it changed since it was last read, or always with `force`.
LONG Refresh(Store& s, bool force) {
  int fd = open(s.file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT) return static_cast<LONG>(platform::ErrorFromErrno(errno));
    FileStamp none;
    if (force || !s.loaded || !SameStamp(s.stamp, none)) {
      Tree tree;
      AddBaseKeys(tree, s.machine);
      s.tree = std::move(tree);
      s.stamp = none;
      s.loaded = true;
      s.bad = false;
    }
    return ERROR_SUCCESS;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    int err = errno;
    close(fd);
    return static_cast<LONG>(platform::ErrorFromErrno(err));
  }
  FileStamp stamp = StampOf(st);
  if (!force && s.loaded && SameStamp(s.stamp, stamp)) {
    close(fd);
    return s.bad ? static_cast<LONG>(ERROR_BADDB) : ERROR_SUCCESS;
  }
  std::string text;
  bool read_ok = platform::ReadAllFd(fd, &text);
  int err = errno;
  close(fd);
  if (!read_ok) return static_cast<LONG>(platform::ErrorFromErrno(err));
  Tree tree;
  bool good = ParseStore(text, &tree);
  if (!good) tree = Tree();
  AddBaseKeys(tree, s.machine);
  s.tree = std::move(tree);
  s.stamp = stamp;
  s.bad = !good;
  s.loaded = true;
  return good ? ERROR_SUCCESS : static_cast<LONG>(ERROR_BADDB);
}

bool CanWrite(const std::string& path) {
  return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// TRUE when this process may change the store: it can create files in the
// store's folder (or in the nearest folder above it that exists, where the
// store's folder would be made), and may write the store and lock files
// that exist.
bool StoreWritable(const Store& s) {
  std::string dir = s.dir;
  struct stat st;
  while (stat(dir.c_str(), &st) != 0) {
    if (errno != ENOENT) return false;
    size_t slash = dir.find_last_of('/');
    if (slash == std::string::npos) return false;
    dir = slash == 0 ? std::string("/") : dir.substr(0, slash);
  }
  if (!S_ISDIR(st.st_mode)) return false;
  if (faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
  if (dir != s.dir) return true;
  for (const std::string* f : {&s.file, &s.lock_file})
    if (access(f->c_str(), F_OK) == 0 && !CanWrite(*f)) return false;
  return true;
}

// Writes the tree to the store file: a temporary file, flushed to disk,
// then renamed over the old file. A crash leaves the old or the new file,
// never a part of one.
LONG WriteStore(Store& s) {
  std::string text = Serialize(s.tree);
  int err = platform::ReplaceFileAtomically(s.file, text, s.machine ? 0644 : 0600);
  if (err != 0) return static_cast<LONG>(platform::ErrorFromErrno(err));
  struct stat st;
  if (stat(s.file.c_str(), &st) == 0)
    s.stamp = StampOf(st);
  else
    s.loaded = false;
  return ERROR_SUCCESS;
}

// A change of a store: gets the tree as it is on disk now; sets `changed`
// when it changed the tree, which is then written back.
using Change = std::function<LONG(Tree& tree, bool* changed)>;

// Applies a change under the store's file lock: reads the file again,
// changes the tree and writes it back, so that changes of other processes
// made in the meantime are kept.
LONG Mutate(Store& s, const Change& change) {
  if (!StoreWritable(s) || !platform::MakeDirs(s.dir)) return ERROR_ACCESS_DENIED;
  int lock_fd = open(s.lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock_fd < 0) return static_cast<LONG>(platform::ErrorFromErrno(errno));
  while (flock(lock_fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      int err = errno;
      close(lock_fd);
      return static_cast<LONG>(platform::ErrorFromErrno(err));
    }
  }
  LONG result;
  try {
    result = Refresh(s, true);
    if (result == ERROR_SUCCESS) {
      bool changed = false;
      result = change(s.tree, &changed);
      if (result == ERROR_SUCCESS && changed) result = WriteStore(s);
    }
  } catch (...) {
    result = ERROR_OUTOFMEMORY;
  }
  if (result != ERROR_SUCCESS) s.loaded = false;  // memory may hold what the file lacks
  flock(lock_fd, LOCK_UN);
  close(lock_fd);
  return result;
}

// ---- Handles --------------------------------------------------------------------
bool IsPredefined(HKEY key) {
  return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// The record of a handle (a fresh one for a predefined key).
LONG LookupKey(HKEY key, KeyHandle* out) {
  if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER) {
    *out = KeyHandle();
    out->store = GetStore(key == HKEY_LOCAL_MACHINE);
    out->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  if (key == HKEY_CLASSES_ROOT) {
    *out = KeyHandle();
    out->store = GetStore(true);
    out->path = {u"SOFTWARE", u"Classes"};
    out->access = KEY_ALL_ACCESS;
    return ERROR_SUCCESS;
  }
  auto it = g_handles.find(reinterpret_cast<uintptr_t>(key));
  if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
  *out = it->second;
  return ERROR_SUCCESS;
}

// The key a handle stands for in `tree`; NULL when it is gone.
RegKey* FindKey(Tree& tree, const KeyHandle& h) {
  RegKey* k = tree.root.get();
  for (const std::u16string& name : h.path) {
    k = FindChild(k, name);
    if (!k) return nullptr;
  }
  return h.serial != 0 && k->serial != h.serial ? nullptr : k;
}

// The key of a handle in its store's current tree.
LONG ResolveKey(const KeyHandle& h, RegKey** out) {
  LONG r = Refresh(*h.store, false);
  if (r != ERROR_SUCCESS) return r;
  *out = FindKey(h.store->tree, h);
  return *out ? ERROR_SUCCESS : static_cast<LONG>(ERROR_KEY_DELETED);
}

LONG ResolveWithRight(HKEY key, REGSAM right, KeyHandle* h, RegKey** out) {
  LONG r = LookupKey(key, h);
  if (r != ERROR_SUCCESS) return r;
  if ((h->access & right) != right) return ERROR_ACCESS_DENIED;
  return ResolveKey(*h, out);
}

HKEY NewHandle(KeyHandle h) {
  uintptr_t id = g_next_handle;
  g_next_handle += 4;
  g_handles.emplace(id, std::move(h));
  return reinterpret_cast<HKEY>(id);
}

// Splits a subkey path into names. A leading '\' or an empty name inside
// is refused; one trailing '\' is allowed.
LONG SplitPath(LPCWSTR sub_key, std::vector<std::u16string>* parts) {
  parts->clear();
  if (!sub_key || !*sub_key) return ERROR_SUCCESS;
  std::u16string_view path(sub_key, platform::WStrLen(sub_key));
  if (path[0] == u'\\') return ERROR_BAD_PATHNAME;
  if (path.back() == u'\\') path.remove_suffix(1);
  size_t start = 0;
  for (;;) {
    size_t end = path.find(u'\\', start);
    std::u16string_view name =
        path.substr(start, end == std::u16string_view::npos ? end : end - start);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    if (name.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
    parts->emplace_back(name);
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return ERROR_SUCCESS;
}

// The rights a handle gets for a request; ERROR_ACCESS_DENIED when the
// request holds write rights the store cannot grant.
LONG GrantAccess(const Store& s, REGSAM asked, REGSAM* granted) {
  REGSAM a = asked & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (a & kGenericRead) a |= KEY_READ;
  if (a & kGenericWrite) a |= KEY_WRITE;
  if (a & kGenericExecute) a |= KEY_EXECUTE;
  if (a & kGenericAll) a |= KEY_ALL_ACCESS;
  a &= ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
  if (a & kMaximumAllowed) {
    a &= ~kMaximumAllowed;
    a |= StoreWritable(s) ? KEY_ALL_ACCESS : KEY_READ;
  } else if ((a & kWriteRights) && !StoreWritable(s)) {
    return ERROR_ACCESS_DENIED;
  }
  *granted = a;
  return ERROR_SUCCESS;
}

LONG CopyName(const std::u16string& name, LPWSTR out, LPDWORD size) {
  if (*size <= name.size()) return ERROR_MORE_DATA;
  std::copy(name.begin(), name.end(), out);
  out[name.size()] = 0;
  *size = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

// Copies value data the way RegQueryValueExW reports it.
LONG CopyData(const RegValue& v, LPDWORD type, LPBYTE data, LPDWORD data_size) {
  if (type) *type = v.type;
  DWORD size = static_cast<DWORD>(v.data.size());
  if (data_size) {
    if (data) {
      if (*data_size < size) {
        *data_size = size;
        return ERROR_MORE_DATA;
      }
      if (size) std::memcpy(data, v.data.data(), size);
    }
    *data_size = size;
  }
  return ERROR_SUCCESS;
}

void ToFileTime(ULONGLONG t, FILETIME* out) {
  if (!out) return;
  out->dwLowDateTime = static_cast<DWORD>(t);
  out->dwHighDateTime = static_cast<DWORD>(t >> 32);
}

// Runs the body of an exported function: an allocation failure (or any
// other exception) becomes ERROR_OUTOFMEMORY instead of leaving the call.
template <class Body>
LONG Guard(Body&& body) {
  try {
    return body();
  } catch (...) {
    return ERROR_OUTOFMEMORY;
  }
}

// Runs `change` on the values of the key behind `key`, which must have been
// opened with KEY_SET_VALUE, inside one locked store mutation. `change`
// gets the key and sets *changed when it altered it.
template <class Change>
LONG MutateValues(HKEY key, Change&& change) {
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    LONG r = LookupKey(key, &h);
    if (r != ERROR_SUCCESS) return r;
    if (!(h.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return Mutate(*h.store, [&](Tree& tree, bool* changed) -> LONG {
      RegKey* k = FindKey(tree, h);
      if (!k) return ERROR_KEY_DELETED;
      return change(k, changed);
    });
  });
}

}  // namespace

// ---- Opening and closing ------------------------------------------------------------
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    std::vector<std::u16string> parts;
    RegKey* k = nullptr;
    LONG r = LookupKey(key, &h);
    if (r == ERROR_SUCCESS) r = SplitPath(sub_key, &parts);
    if (r == ERROR_SUCCESS) r = ResolveKey(h, &k);
    if (r != ERROR_SUCCESS) return r;
    for (const std::u16string& name : parts) {
      k = FindChild(k, name);
      if (!k) return ERROR_FILE_NOT_FOUND;
      h.path.push_back(k->name);
    }
    h.serial = k->serial;
    r = GrantAccess(*h.store, access, &h.access);
    if (r != ERROR_SUCCESS) return r;
    *result = NewHandle(std::move(h));
    return ERROR_SUCCESS;
  });
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options,
                     REGSAM access, void* security, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle parent;
    std::vector<std::u16string> parts;
    LONG r = LookupKey(key, &parent);
    if (r == ERROR_SUCCESS) r = SplitPath(sub_key, &parts);
    if (r != ERROR_SUCCESS) return r;
    KeyHandle h = parent;
    r = GrantAccess(*h.store, access, &h.access);
    if (r != ERROR_SUCCESS) return r;

    // Most calls open a key that exists: no lock and no write for those.
    RegKey* k = nullptr;
    r = ResolveKey(parent, &k);
    if (r != ERROR_SUCCESS) return r;
    size_t found = 0;
    for (; found < parts.size(); ++found) {
      RegKey* next = FindChild(k, parts[found]);
      if (!next) break;
      k = next;
      h.path.push_back(k->name);
    }
    bool created = false;
    if (found == parts.size()) {
      h.serial = k->serial;
    } else {
      if (!(parent.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
      r = Mutate(*parent.store, [&](Tree& tree, bool* changed) -> LONG {
        RegKey* at = FindKey(tree, parent);
        if (!at) return ERROR_KEY_DELETED;
        h.path = parent.path;
        ULONGLONG now = FileTimeNow();
        for (const std::u16string& name : parts) {
          RegKey* next = FindChild(at, name);
          if (!next) {
            next = AddChild(at, name, tree.next_serial++, now);
            at->last_write = now;
            created = true;
          }
          at = next;
          h.path.push_back(at->name);
        }
        h.serial = at->serial;
        *changed = created;
        return ERROR_SUCCESS;
      });
      if (r != ERROR_SUCCESS) return r;
    }
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(std::move(h));
    return ERROR_SUCCESS;
  });
}

LONG RegOpenKeyW(HKEY key, LPCWSTR sub_key, PHKEY result) {
  return RegOpenKeyExW(key, sub_key, 0, kMaximumAllowed, result);
}

LONG RegCreateKeyW(HKEY key, LPCWSTR sub_key, PHKEY result) {
  return RegCreateKeyExW(key, sub_key, 0, nullptr, REG_OPTION_NON_VOLATILE, kMaximumAllowed,
                         nullptr, result, nullptr);
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefined(key)) return ERROR_SUCCESS;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_handles.erase(reinterpret_cast<uintptr_t>(key))
               ? ERROR_SUCCESS
               : static_cast<LONG>(ERROR_INVALID_HANDLE);
  });
}

// ---- Values -----------------------------------------------------------------------
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD data_size) {
  if (reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    RegKey* k = nullptr;
    LONG r = ResolveWithRight(key, KEY_QUERY_VALUE, &h, &k);
    if (r != ERROR_SUCCESS) return r;
    const RegValue* v = FindValue(k, name ? std::u16string_view(name) : std::u16string_view());
    if (!v) return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, type, data, data_size);
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) {
  if (reserved != 0) return ERROR_INVALID_PARAMETER;
  if (!data && size) return ERROR_NOACCESS;
  std::u16string_view value_name = name ? std::u16string_view(name) : std::u16string_view();
  if (value_name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  return MutateValues(key, [&](RegKey* k, bool* changed) -> LONG {
    RegValue* v = FindValue(k, value_name);
    if (!v) {
      k->values.emplace_back();
      v = &k->values.back();
      v->name = std::u16string(value_name);
    }
    v->type = type;
    v->data.assign(data, data + size);
    k->last_write = FileTimeNow();
    *changed = true;
    return ERROR_SUCCESS;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR name) {
  std::u16string_view value_name = name ? std::u16string_view(name) : std::u16string_view();
  return MutateValues(key, [&](RegKey* k, bool* changed) -> LONG {
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
      if (SameName(it->name, value_name)) {
        k->values.erase(it);
        k->last_write = FileTimeNow();
        *changed = true;
        return ERROR_SUCCESS;
      }
    }
    return ERROR_FILE_NOT_FOUND;
  });
}

// ---- Deleting keys -------------------------------------------------------------------
LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key) {
  if (!sub_key) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    std::vector<std::u16string> parts;
    LONG r = LookupKey(key, &h);
    if (r == ERROR_SUCCESS) r = SplitPath(sub_key, &parts);
    if (r != ERROR_SUCCESS) return r;
    return Mutate(*h.store, [&](Tree& tree, bool* changed) -> LONG {
      RegKey* parent = FindKey(tree, h);
      if (!parent) return ERROR_KEY_DELETED;
      std::vector<std::u16string> path = h.path;
      RegKey* target = parent;
      if (parts.empty()) {  // the handle's own key: find its parent
        if (path.empty()) return ERROR_ACCESS_DENIED;
        parent = tree.root.get();
        for (size_t i = 0; i + 1 < path.size(); ++i) parent = FindChild(parent, path[i]);
      } else {
        for (size_t i = 0; i < parts.size(); ++i) {
          if (i > 0) parent = target;
          target = FindChild(parent, parts[i]);
          if (!target) return ERROR_FILE_NOT_FOUND;
          path.push_back(target->name);
        }
      }
      if (IsBaseKeyPath(path) || !target->subkeys.empty()) return ERROR_ACCESS_DENIED;
      auto it = LowerBound(parent, target->name);
      parent->subkeys.erase(it);
      parent->last_write = FileTimeNow();
      *changed = true;
      return ERROR_SUCCESS;
    });
  });
}

// ---- Enumeration and facts ------------------------------------------------------------
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved,
                   LPWSTR key_class, LPDWORD class_size, FILETIME* last_write) {
  if (!name || !name_size || reserved || (key_class && !class_size)) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    RegKey* k = nullptr;
    LONG r = ResolveWithRight(key, KEY_ENUMERATE_SUB_KEYS, &h, &k);
    if (r != ERROR_SUCCESS) return r;
    if (index >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const RegKey& sub = *k->subkeys[index];
    if (key_class && *class_size == 0) return ERROR_MORE_DATA;
    r = CopyName(sub.name, name, name_size);
    if (r != ERROR_SUCCESS) return r;
    if (key_class) {
      key_class[0] = 0;
      *class_size = 0;
    }
    ToFileTime(sub.last_write, last_write);
    return ERROR_SUCCESS;
  });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size) {
  if (!name || !name_size || reserved || (data && !data_size)) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    RegKey* k = nullptr;
    LONG r = ResolveWithRight(key, KEY_QUERY_VALUE, &h, &k);
    if (r != ERROR_SUCCESS) return r;
    if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& v = k->values[index];
    r = CopyName(v.name, name, name_size);
    if (r != ERROR_SUCCESS) return r;
    return CopyData(v, type, data, data_size);
  });
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_size, LPDWORD reserved,
                      LPDWORD sub_keys, LPDWORD max_sub_key_len, LPDWORD max_class_len,
                      LPDWORD values, LPDWORD max_value_name_len, LPDWORD max_value_len,
                      LPDWORD security_descriptor_size, FILETIME* last_write) {
  if (reserved || (key_class && !class_size)) return ERROR_INVALID_PARAMETER;
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    RegKey* k = nullptr;
    LONG r = ResolveWithRight(key, KEY_QUERY_VALUE, &h, &k);
    if (r != ERROR_SUCCESS) return r;
    if (key_class) {
      if (*class_size == 0) return ERROR_MORE_DATA;
      key_class[0] = 0;
    }
    if (class_size) *class_size = 0;
    size_t max_sub = 0, max_name = 0, max_data = 0;
    for (const auto& sub : k->subkeys) max_sub = std::max(max_sub, sub->name.size());
    for (const RegValue& v : k->values) {
      max_name = std::max(max_name, v.name.size());
      max_data = std::max(max_data, v.data.size());
    }
    if (sub_keys) *sub_keys = static_cast<DWORD>(k->subkeys.size());
    if (max_sub_key_len) *max_sub_key_len = static_cast<DWORD>(max_sub);
    if (max_class_len) *max_class_len = 0;
    if (values) *values = static_cast<DWORD>(k->values.size());
    if (max_value_name_len) *max_value_name_len = static_cast<DWORD>(max_name);
    if (max_value_len) *max_value_len = static_cast<DWORD>(max_data);
    if (security_descriptor_size) *security_descriptor_size = 0;
    ToFileTime(k->last_write, last_write);
    return ERROR_SUCCESS;
  });
}

LONG RegFlushKey(HKEY key) {
  return Guard([&]() -> LONG {
    std::lock_guard<std::mutex> guard(g_lock);
    KeyHandle h;
    RegKey* k = nullptr;
    LONG r = LookupKey(key, &h);
    return r == ERROR_SUCCESS ? ResolveKey(h, &k) : r;
  });
}

namespace platform {

void RegistryForgetCache() {
  std::lock_guard<std::mutex> guard(g_lock);
  for (auto& entry : g_stores) {
    entry.second->loaded = false;
    entry.second->bad = false;
    entry.second->tree = Tree();
  }
}

}  // namespace platform
