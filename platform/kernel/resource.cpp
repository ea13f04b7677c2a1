#include "platform/kernel/resource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_set>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"

namespace platform {

namespace {

// ---- Keys ------------------------------------------------------------------------------
// A type or name: an id, or a name in capitals. Names sort before ids.
struct Key {
  bool is_id = true;      // true: id; false: name
  WORD id = 0;            // the id (1..65535)
  std::u16string name;    // the name, ASCII letters in capitals
};
bool operator<(const Key& a, const Key& b) {
  if (a.is_id != b.is_id) return !a.is_id;
  return a.is_id ? a.id < b.id : a.name < b.name;
}

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c; }
char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

// The key of a name or type argument; FALSE for 0, an empty name or a bad
// "#number".
bool KeyOf(LPCWSTR p, Key* key) {
  if (IS_INTRESOURCE(p)) {
    key->is_id = true;
    key->id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(p));
    return key->id != 0;
  }
  if (p[0] == u'#') {
    DWORD v = 0;
    size_t i = 1;
    for (; p[i] >= u'0' && p[i] <= u'9' && v <= 0xFFFF; ++i) v = v * 10 + (p[i] - u'0');
    if (i == 1 || p[i] != 0 || v == 0 || v > 0xFFFF) return false;
    key->is_id = true;
    key->id = static_cast<WORD>(v);
    return true;
  }
  key->is_id = false;
  key->name.clear();
  for (size_t i = 0; p[i]; ++i) key->name += UpperAscii(p[i]);
  return !key->name.empty();
}

// ---- The directory --------------------------------------------------------------------------
struct Resource {
  const BYTE* data = nullptr;  // its bytes
  DWORD size = 0;              // their number
};

typedef std::map<LANGID, Resource> LanguageMap;
typedef std::map<Key, LanguageMap> NameMap;
typedef std::map<Key, NameMap> TypeMap;

// A module's resources. Compiled-in tables are taken up lazily: a directory
// fed by compiled registrations remembers how many it has seen.
class ResourceDirectory : public ModuleExtension {
 public:
  ResourceDirectory(bool compiled, std::u16string compiled_name)
      : compiled_(compiled), compiled_name_(std::move(compiled_name)) {}

  std::mutex lock;                               // guards everything below
  TypeMap types;                                 // type -> name -> language
  std::unordered_set<const Resource*> handles;   // every HRSRC handed out
  std::vector<std::shared_ptr<const void>> keep; // storage of copied bytes and file images

  // Adds one resource (replacing the bytes of an equal one). Lock held.
  void AddLocked(const Key& type, const Key& name, LANGID language, const BYTE* data,
                 DWORD size) {
    Resource& r = types[type][name][language];
    r.data = data;
    r.size = size;
    handles.insert(&r);
  }

  // Takes up compiled tables registered since the last call.
  void TakeCompiled();

 private:
  bool compiled_;               // fed by compiled registrations
  std::u16string compiled_name_;  // the registration name ("" for the main program)
  size_t taken_ = 0;            // registrations already looked at (under `lock`)
};

// ---- Compiled registrations ----------------------------------------------------------------------
struct Registration {
  std::u16string module;            // "" for the main program
  const CompiledResource* table;    // the rows
  int count;                        // their number
};

struct Registry {
  std::mutex lock;
  std::vector<Registration> list;
};
Registry& Registrations() {
  static Registry* registry = new Registry;  // lives to process exit
  return *registry;
}

bool EqualFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}
// Module names match ignoring case, with or without ".dll" on either side.
bool ModuleNameMatches(std::u16string_view a, std::u16string_view b) {
  constexpr std::u16string_view kDll = u".dll";
  auto strip = [&](std::u16string_view s) {
    if (s.size() > kDll.size() && EqualFolded(s.substr(s.size() - kDll.size()), kDll))
      return s.substr(0, s.size() - kDll.size());
    return s;
  };
  return !a.empty() && !b.empty() && EqualFolded(strip(a), strip(b));
}

Key KeyOfCompiled(WORD id, const char16_t* name) {
  Key k;
  if (id) {
    k.id = id;
  } else {
    k.is_id = false;
    for (size_t i = 0; name && name[i]; ++i) k.name += UpperAscii(name[i]);
  }
  return k;
}

void ResourceDirectory::TakeCompiled() {
  if (!compiled_) return;
  // The directory's lock is held throughout, so that a lookup on another
  // thread never sees a table half taken up. (Lock order: directory, then
  // registry; the registry's lock is never held while taking another.)
  std::lock_guard<std::mutex> guard(lock);
  std::vector<Registration> fresh;
  {
    Registry& r = Registrations();
    std::lock_guard<std::mutex> registry_guard(r.lock);
    for (; taken_ < r.list.size(); ++taken_) {
      const Registration& reg = r.list[taken_];
      bool mine = compiled_name_.empty() ? reg.module.empty()
                                         : ModuleNameMatches(reg.module, compiled_name_);
      if (mine) fresh.push_back(reg);
    }
  }
  for (const Registration& reg : fresh) {
    for (int i = 0; i < reg.count; ++i) {
      const CompiledResource& c = reg.table[i];
      Key type = KeyOfCompiled(c.type_id, c.type_name);
      Key name = KeyOfCompiled(c.name_id, c.name_name);
      if ((type.is_id && !type.id) || (!type.is_id && type.name.empty()) ||
          (name.is_id && !name.id) || (!name.is_id && name.name.empty()))
        continue;  // a broken row is skipped
      AddLocked(type, name, c.language, static_cast<const BYTE*>(c.data), c.size);
    }
  }
}

// The directory of a module, made for the main program and named resource
// modules (and for any module with `create`); null when the module has
// none. *error: ERROR_MOD_NOT_FOUND or ERROR_RESOURCE_DATA_NOT_FOUND.
std::shared_ptr<ResourceDirectory> DirectoryOf(HMODULE module, bool create, DWORD* error) {
  std::shared_ptr<Module> m = LookupModule(module);
  if (!m) {
    *error = ERROR_MOD_NOT_FOUND;
    return nullptr;
  }
  std::shared_ptr<ModuleExtension> ext = m->extension();
  if (!ext) {
    bool main = m->kind() == Module::Kind::kMain;
    bool named = m->kind() == Module::Kind::kResources;
    if (main || named || create) {
      ext = m->AttachExtension(std::make_shared<ResourceDirectory>(
          main || named, named ? m->name() : std::u16string()));
    }
  }
  auto dir = std::dynamic_pointer_cast<ResourceDirectory>(ext);
  if (!dir) {
    *error = ERROR_RESOURCE_DATA_NOT_FOUND;
    return nullptr;
  }
  dir->TakeCompiled();
  return dir;
}

// ---- Lookups ---------------------------------------------------------------------------------------
// The languages of a type and name, or null with *error set. Lock held.
const LanguageMap* LanguagesLocked(ResourceDirectory& dir, const Key& type, const Key& name,
                                   DWORD* error) {
  if (dir.types.empty()) {
    *error = ERROR_RESOURCE_DATA_NOT_FOUND;
    return nullptr;
  }
  auto t = dir.types.find(type);
  if (t == dir.types.end()) {
    *error = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return nullptr;
  }
  auto n = t->second.find(name);
  if (n == t->second.end() || n->second.empty()) {
    *error = ERROR_RESOURCE_NAME_NOT_FOUND;
    return nullptr;
  }
  return &n->second;
}

const Resource* PickDefaultLanguage(const LanguageMap& languages) {
  const LANGID order[] = {GetThreadUILanguage(), 0, GetUserDefaultUILanguage(), 0x409};
  for (LANGID l : order) {
    auto it = languages.find(l);
    if (it != languages.end()) return &it->second;
  }
  return &languages.begin()->second;
}

// The resource, or NULL with the last error set. language < 0: the
// default order.
HRSRC Find(HMODULE module, LPCWSTR type, LPCWSTR name, int language) {
  Key type_key, name_key;
  if (!type || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  DWORD error = 0;
  std::shared_ptr<ResourceDirectory> dir = DirectoryOf(module, false, &error);
  if (!dir) {
    SetLastError(error);
    return nullptr;
  }
  if (!KeyOf(type, &type_key)) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  if (!KeyOf(name, &name_key)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard<std::mutex> guard(dir->lock);
  const LanguageMap* languages = LanguagesLocked(*dir, type_key, name_key, &error);
  if (!languages) {
    SetLastError(error);
    return nullptr;
  }
  const Resource* found = nullptr;
  if (language <= 0) {
    found = PickDefaultLanguage(*languages);
  } else {
    LANGID exact = static_cast<LANGID>(language);
    auto it = languages->find(exact);
    if (it == languages->end()) it = languages->find(static_cast<LANGID>(exact & 0x3FF));
    if (it != languages->end()) found = &it->second;
  }
  if (!found) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HRSRC>(const_cast<Resource*>(found));
}

// The resource behind a handle when it is one of the module's; copies it.
bool ResolveHandle(HMODULE module, HRSRC handle, Resource* out) {
  DWORD error = 0;
  std::shared_ptr<ResourceDirectory> dir = handle ? DirectoryOf(module, false, &error) : nullptr;
  if (dir) {
    std::lock_guard<std::mutex> guard(dir->lock);
    auto* r = reinterpret_cast<const Resource*>(handle);
    if (dir->handles.count(r)) {
      *out = *r;
      return true;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

// ---- Resource files ---------------------------------------------------------------------------------
constexpr char kMagic[4] = {'W', 'U', 'R', 'M'};
constexpr DWORD kVersion = 1;
constexpr DWORD kHeaderSize = 16;
constexpr DWORD kEntrySize = 20;
constexpr DWORD kNameFlag = 0x80000000u;
constexpr DWORD kMaxFileSize = 0x7FFFFFFF;
constexpr DWORD kMaxNameLength = 255;

// A file image with 8-byte alignment, so that data at offsets that are
// multiples of 4 can be read as 16- and 32-bit values.
struct FileImage {
  std::vector<uint64_t> words;  // the bytes, padded to whole words
  size_t size = 0;              // the file's size in bytes
  const BYTE* bytes() const { return reinterpret_cast<const BYTE*>(words.data()); }
};

DWORD Get16(const BYTE* p) { return static_cast<DWORD>(p[0] | (p[1] << 8)); }
DWORD Get32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Reads a type or name field; FALSE when it breaks the format.
bool ParseKey(const FileImage& image, DWORD value, Key* key) {
  if (value < 0x10000) {
    key->is_id = true;
    key->id = static_cast<WORD>(value);
    return value != 0;
  }
  if (!(value & kNameFlag)) return false;
  uint64_t at = value & ~kNameFlag;
  if (at % 2 || at + 2 > image.size) return false;
  DWORD count = Get16(image.bytes() + at);
  if (count == 0 || count > kMaxNameLength || at + 2 + 2 * uint64_t(count) > image.size) return false;
  key->is_id = false;
  key->name.clear();
  for (DWORD i = 0; i < count; ++i) {
    char16_t c = static_cast<char16_t>(Get16(image.bytes() + at + 2 + 2 * i));
    if (c == 0) return false;
    key->name += UpperAscii(c);
  }
  return true;
}

// Fills a directory from a file image; FALSE when the image breaks the format.
bool ParseImage(const std::shared_ptr<FileImage>& image, ResourceDirectory& dir) {
  const BYTE* b = image->bytes();
  if (image->size < kHeaderSize || std::memcmp(b, kMagic, 4) != 0) return false;
  if (Get16(b + 4) != kVersion || Get16(b + 6) != kHeaderSize) return false;
  uint64_t count = Get32(b + 8);
  if (Get32(b + 12) != image->size) return false;
  uint64_t table_end = kHeaderSize + count * kEntrySize;
  if (table_end > image->size) return false;
  std::lock_guard<std::mutex> guard(dir.lock);
  for (uint64_t i = 0; i < count; ++i) {
    const BYTE* e = b + kHeaderSize + i * kEntrySize;
    Key type, name;
    if (!ParseKey(*image, Get32(e), &type) || !ParseKey(*image, Get32(e + 4), &name)) return false;
    LANGID language = static_cast<LANGID>(Get16(e + 8));
    if (Get16(e + 10) != 0) return false;
    uint64_t offset = Get32(e + 12);
    uint64_t size = Get32(e + 16);
    if (offset % 4 || offset < table_end || offset + size > image->size) return false;
    LanguageMap& languages = dir.types[type][name];
    if (languages.count(language)) return false;  // the same resource twice
    dir.AddLocked(type, name, language, b + offset, static_cast<DWORD>(size));
  }
  dir.keep.push_back(image);
  return true;
}

// File images stay alive until the process ends: texts read in place from
// a language module are kept in the multilingual rows after the module is
// freed. A file loaded again with the same bytes reuses its image; the
// identity only finds the candidate, since a file rewritten within one tick
// of the file system's clock keeps its size and time.
typedef std::tuple<dev_t, ino_t, off_t, int64_t, int64_t> FileIdentity;  // device, inode, size, time
struct ImageCache {
  std::mutex lock;
  std::map<FileIdentity, std::shared_ptr<FileImage>> images;  // the images of good files
  std::vector<std::shared_ptr<FileImage>> replaced;          // images a rewrite replaced
};
ImageCache& Images() {
  static ImageCache* cache = new ImageCache;  // lives to process exit
  return *cache;
}

// Reads a file into an image, or finds the image of the unchanged file in
// the cache (*cached); null with *error set.
std::shared_ptr<FileImage> ReadImage(const std::string& path, FileIdentity* identity,
                                     bool* cached, DWORD* error) {
  *cached = false;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = ErrorFromErrno(errno);
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > static_cast<off_t>(kMaxFileSize)) {
    close(fd);
    *error = ERROR_BAD_FORMAT;
    return nullptr;
  }
  *identity = FileIdentity(st.st_dev, st.st_ino, st.st_size, static_cast<int64_t>(st.st_mtim.tv_sec),
                           static_cast<int64_t>(st.st_mtim.tv_nsec));
  std::string bytes;
  bool ok = ReadAllFd(fd, &bytes);
  int read_errno = errno;
  close(fd);
  if (!ok) {
    *error = ErrorFromErrno(read_errno);
    return nullptr;
  }
  {
    ImageCache& cache = Images();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto it = cache.images.find(*identity);
    if (it != cache.images.end() && it->second->size == bytes.size() &&
        std::memcmp(it->second->words.data(), bytes.data(), bytes.size()) == 0) {
      *cached = true;
      return it->second;
    }
  }
  auto image = std::make_shared<FileImage>();
  image->size = bytes.size();
  image->words.resize((bytes.size() + 7) / 8 + 1, 0);
  std::memcpy(image->words.data(), bytes.data(), bytes.size());
  return image;
}

}  // namespace

// ---- Registrations and run-time resources -----------------------------------------------------------
void RegisterCompiledResources(const char16_t* module_name, const CompiledResource* table,
                               int count) {
  if (!table || count <= 0) return;
  Registry& r = Registrations();
  std::lock_guard<std::mutex> guard(r.lock);
  r.list.push_back(Registration{module_name ? module_name : u"", table, count});
}

std::u16string FindCompiledResourceModule(std::u16string_view name) {
  Registry& r = Registrations();
  std::lock_guard<std::mutex> guard(r.lock);
  for (const Registration& reg : r.list)
    if (!reg.module.empty() && ModuleNameMatches(name, reg.module)) return reg.module;
  return std::u16string();
}

BOOL AddModuleResources(HMODULE module, const ResourceItem* items, int count) {
  if (count < 0 || (count > 0 && !items)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<std::pair<Key, Key>> keys(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    if (!items[i].type || !items[i].name || (items[i].size && !items[i].data) ||
        !KeyOf(items[i].type, &keys[i].first) || !KeyOf(items[i].name, &keys[i].second)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  }
  DWORD error = 0;
  std::shared_ptr<ResourceDirectory> dir = DirectoryOf(module, true, &error);
  if (!dir) {
    SetLastError(error == ERROR_MOD_NOT_FOUND ? ERROR_MOD_NOT_FOUND : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> guard(dir->lock);
  for (int i = 0; i < count; ++i) {
    auto bytes = std::make_shared<std::vector<uint64_t>>((items[i].size + 7) / 8 + 1, 0);
    if (items[i].size) std::memcpy(bytes->data(), items[i].data, items[i].size);
    dir->keep.push_back(bytes);
    dir->AddLocked(keys[i].first, keys[i].second, items[i].language,
                   reinterpret_cast<const BYTE*>(bytes->data()), items[i].size);
  }
  return TRUE;
}

bool IsResourceFile(const std::string& linux_path) {
  int fd = open(linux_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4];
  bool yes = pread(fd, magic, 4, 0) == 4 && std::memcmp(magic, kMagic, 4) == 0;
  close(fd);
  return yes;
}

std::shared_ptr<ModuleExtension> LoadResourceFile(const std::string& linux_path, DWORD* error) {
  DWORD ignored = 0;
  if (!error) error = &ignored;
  FileIdentity identity;
  bool cached = false;
  std::shared_ptr<FileImage> image = ReadImage(linux_path, &identity, &cached, error);
  if (!image) return nullptr;
  auto dir = std::make_shared<ResourceDirectory>(false, std::u16string());
  if (!ParseImage(image, *dir)) {
    *error = ERROR_BAD_FORMAT;
    return nullptr;
  }
  if (!cached) {
    ImageCache& cache = Images();
    std::lock_guard<std::mutex> guard(cache.lock);
    auto it = cache.images.find(identity);
    if (it == cache.images.end()) {
      cache.images.emplace(identity, image);
    } else {
      // Texts read in place from the old bytes stay readable.
      cache.replaced.push_back(it->second);
      it->second = image;
    }
  }
  return dir;
}

bool StringBlockEntry(const void* block, DWORD size, UINT index, const WCHAR** text,
                      DWORD* count) {
  if (!block || index > 15) return false;
  const BYTE* p = static_cast<const BYTE*>(block);
  DWORD at = 0;
  for (UINT i = 0;; ++i) {
    if (size < 2 || at > size - 2) return false;
    DWORD n = Get16(p + at);
    if (uint64_t(at) + 2 + 2 * uint64_t(n) > size) return false;
    if (i == index) {
      *text = reinterpret_cast<const WCHAR*>(p + at + 2);
      *count = n;
      return true;
    }
    at += 2 + 2 * n;
  }
}

}  // namespace platform

// ---- The platform's interface ---------------------------------------------------------------------------
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type) {
  return platform::Find(module, type, name, -1);
}

HRSRC FindResourceExW(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language) {
  return platform::Find(module, type, name, language);
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
  platform::Resource r;
  if (!platform::ResolveHandle(module, resource, &r)) return nullptr;
  // The handle is the pointer to the bytes; an empty resource still gets a
  // non-null handle.
  static const BYTE kEmpty[1] = {0};
  return const_cast<BYTE*>(r.data ? r.data : kEmpty);
}

LPVOID LockResource(HGLOBAL data) { return data; }

BOOL FreeResource(HGLOBAL) { return FALSE; }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  platform::Resource r;
  return platform::ResolveHandle(module, resource, &r) ? r.size : 0;
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
  if (!buffer || size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const WCHAR* text = nullptr;
  DWORD count = 0;
  HRSRC block = FindResourceW(instance, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
  HGLOBAL data = block ? LoadResource(instance, block) : nullptr;
  if (!data || !platform::StringBlockEntry(LockResource(data), SizeofResource(instance, block),
                                           id % 16, &text, &count)) {
    if (data) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (size > 0) buffer[0] = 0;
    return 0;
  }
  if (count > 0 && text[count - 1] == 0) --count;  // the stored terminator
  if (size == 0) {
    std::memcpy(buffer, &text, sizeof text);
    return static_cast<int>(count);
  }
  DWORD copy = std::min<DWORD>(count, static_cast<DWORD>(size - 1));
  std::memcpy(buffer, text, copy * sizeof(WCHAR));
  buffer[copy] = 0;
  return static_cast<int>(copy);
}

namespace {

// A key as the argument a callback receives; `storage` keeps a name.
LPWSTR KeyArgument(const platform::Key& k, std::u16string& storage) {
  if (k.is_id) return MAKEINTRESOURCEW(k.id);
  storage = k.name;
  return storage.data();
}

}  // namespace

BOOL EnumResourceTypesW(HMODULE module, ENUMRESTYPEPROCW callback, LONG_PTR param) {
  DWORD error = 0;
  std::shared_ptr<platform::ResourceDirectory> dir = platform::DirectoryOf(module, false, &error);
  std::vector<platform::Key> types;
  if (dir) {
    std::lock_guard<std::mutex> guard(dir->lock);
    for (auto& [type, names] : dir->types) types.push_back(type);
  }
  if (!callback || types.empty()) {
    SetLastError(!callback ? ERROR_INVALID_PARAMETER : dir ? ERROR_RESOURCE_DATA_NOT_FOUND : error);
    return FALSE;
  }
  for (const platform::Key& k : types) {
    std::u16string storage;
    if (!callback(module, KeyArgument(k, storage), param)) {
      SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
      return FALSE;
    }
  }
  return TRUE;
}

BOOL EnumResourceNamesW(HMODULE module, LPCWSTR type, ENUMRESNAMEPROCW callback, LONG_PTR param) {
  DWORD error = 0;
  platform::Key type_key;
  std::shared_ptr<platform::ResourceDirectory> dir = platform::DirectoryOf(module, false, &error);
  std::vector<platform::Key> names;
  if (!callback || !type) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!dir) {
    SetLastError(error);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(dir->lock);
    auto t = platform::KeyOf(type, &type_key) ? dir->types.find(type_key) : dir->types.end();
    if (t != dir->types.end())
      for (auto& [name, languages] : t->second) names.push_back(name);
  }
  if (names.empty()) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
  }
  for (const platform::Key& k : names) {
    std::u16string storage;
    if (!callback(module, type, KeyArgument(k, storage), param)) {
      SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
      return FALSE;
    }
  }
  return TRUE;
}

BOOL EnumResourceLanguagesW(HMODULE module, LPCWSTR type, LPCWSTR name,
                            ENUMRESLANGPROCW callback, LONG_PTR param) {
  if (!callback || !type || !name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = 0;
  std::shared_ptr<platform::ResourceDirectory> dir = platform::DirectoryOf(module, false, &error);
  if (!dir) {
    SetLastError(error);
    return FALSE;
  }
  std::vector<LANGID> languages;
  platform::Key type_key, name_key;
  if (!platform::KeyOf(type, &type_key) || !platform::KeyOf(name, &name_key)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  {
    std::lock_guard<std::mutex> guard(dir->lock);
    const platform::LanguageMap* found = platform::LanguagesLocked(*dir, type_key, name_key, &error);
    if (found)
      for (auto& [language, resource] : *found) languages.push_back(language);
  }
  if (languages.empty()) {
    SetLastError(error);
    return FALSE;
  }
  for (LANGID language : languages) {
    if (!callback(module, type, name, language, param)) {
      SetLastError(ERROR_RESOURCE_ENUM_USER_STOP);
      return FALSE;
    }
  }
  return TRUE;
}
