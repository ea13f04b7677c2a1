// The shell-link object: a shortcut file's contents behind IShellLinkW and
// IPersistFile. The object is thread-safe in its reference count only; one
// thread uses it at a time.
#include "platform/shell/shelllink.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "platform/shell/shortcut_file.h"
#include "platform/user/windows.h"

namespace {

// Copies `value` into `out` of `size` characters, cut and terminated.
HRESULT CopyOut(const std::u16string& value, LPWSTR out, int size) {
  if (!out || size < 1) return E_INVALIDARG;
  size_t n = value.size();
  if (n > static_cast<size_t>(size - 1)) n = static_cast<size_t>(size - 1);
  value.copy(out, n);
  out[n] = 0;
  return S_OK;
}

// Stores `text` (NULL: empty) when it fits `limit` characters with its
// terminator.
HRESULT StoreIn(std::u16string& field, LPCWSTR text, size_t limit) {
  std::u16string_view value = text ? std::u16string_view(text) : std::u16string_view();
  if (value.size() >= limit) return E_INVALIDARG;
  try {
    field.assign(value);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

// Reads a plain field out; E_INVALIDARG without a place to put it.
template <typename T>
HRESULT ReadOut(const T& field, T* out) {
  if (!out) return E_INVALIDARG;
  *out = field;
  return S_OK;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The folder part of a path with its last separator ("" when none). A ':'
// ends only a drive ("X:" at the start), as the path mapping reads it; in a
// name ("12:30.lnk") it is a character.
std::u16string FolderOf(const std::u16string& path) {
  size_t end = path.size();
  const size_t drive = platform::StartsWithDrive(path) ? 2 : 0;
  while (end > drive && !IsSeparator(path[end - 1])) --end;
  return path.substr(0, end);
}

// TRUE for a path that does not depend on a folder: a root, a drive or a
// UNC name.
bool IsAbsolute(const std::u16string& path) {
  return (!path.empty() && IsSeparator(path[0])) || platform::StartsWithDrive(path);
}

// A text with its %name% references replaced (the text itself when that
// fails).
std::u16string Expand(const std::u16string& text) {
  std::vector<WCHAR> buffer(MAX_PATH);
  for (int tries = 0; tries < 4; ++tries) {
    DWORD n = ExpandEnvironmentStringsW(text.c_str(), buffer.data(),
                                        static_cast<DWORD>(buffer.size()));
    if (n == 0) break;
    if (n <= buffer.size()) return std::u16string(buffer.data());
    buffer.resize(n);
  }
  return text;
}

// The whole contents of a file; an HRESULT of its file error, or of
// ERROR_BAD_FORMAT for one larger than a shortcut file may be.
HRESULT ReadWholeFile(LPCWSTR path, std::vector<uint8_t>* bytes) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = S_OK;
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file, &size)) {
    hr = HRESULT_FROM_WIN32(GetLastError());
  } else if (size.QuadPart < 0 ||
             static_cast<uint64_t>(size.QuadPart) > platform::kLinkMaxFileSize) {
    hr = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
  } else {
    try {
      // One byte more than the size: a file that grew meanwhile is seen.
      bytes->resize(static_cast<size_t>(size.QuadPart) + 1);
      DWORD read = 0;
      if (!ReadFile(file, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr))
        hr = HRESULT_FROM_WIN32(GetLastError());
      else
        bytes->resize(read);
    } catch (const std::bad_alloc&) {
      hr = E_OUTOFMEMORY;
    }
  }
  CloseHandle(file);
  return hr;
}

class ShellLink final : public IShellLinkW, public IPersistFile {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
      *object = static_cast<IShellLinkW*>(this);
    } else if (iid == IID_IPersistFile || iid == IID_IPersist) {
      *object = static_cast<IPersistFile*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  // ---- IShellLinkW ----
  HRESULT GetPath(LPWSTR file, int size, void* find, DWORD flags) override {
    std::u16string path;
    try {
      path = Target((flags & SLGP_RAWPATH) != 0);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    HRESULT hr = CopyOut(path, file, size);
    if (FAILED(hr)) return hr;
    return path.empty() ? S_FALSE : S_OK;
  }
  HRESULT GetIDList(PIDLIST_ABSOLUTE* list) override {
    if (list) *list = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetIDList(PCIDLIST_ABSOLUTE list) override { return E_NOTIMPL; }
  HRESULT GetDescription(LPWSTR name, int size) override {
    return CopyOut(link_.description, name, size);
  }
  HRESULT SetDescription(LPCWSTR name) override {
    return Changed(StoreIn(link_.description, name, INFOTIPSIZE));
  }
  HRESULT GetWorkingDirectory(LPWSTR dir, int size) override {
    return CopyOut(link_.working_dir, dir, size);
  }
  HRESULT SetWorkingDirectory(LPCWSTR dir) override {
    return Changed(StoreIn(link_.working_dir, dir, MAX_PATH));
  }
  HRESULT GetArguments(LPWSTR args, int size) override {
    return CopyOut(link_.arguments, args, size);
  }
  HRESULT SetArguments(LPCWSTR args) override {
    return Changed(StoreIn(link_.arguments, args, INFOTIPSIZE));
  }
  HRESULT GetHotkey(WORD* hotkey) override { return ReadOut(link_.hotkey, hotkey); }
  HRESULT SetHotkey(WORD hotkey) override {
    link_.hotkey = hotkey;
    return Changed(S_OK);
  }
  HRESULT GetShowCmd(int* show) override {
    if (!show) return E_INVALIDARG;
    *show = link_.show_command;
    return S_OK;
  }
  HRESULT SetShowCmd(int show) override {
    link_.show_command = show;
    return Changed(S_OK);
  }
  HRESULT GetIconLocation(LPWSTR path, int size, int* index) override {
    if (!index) return E_INVALIDARG;
    HRESULT hr = CopyOut(link_.icon_location, path, size);
    if (SUCCEEDED(hr)) *index = link_.icon_index;
    return hr;
  }
  HRESULT SetIconLocation(LPCWSTR path, int index) override {
    HRESULT hr = StoreIn(link_.icon_location, path, MAX_PATH);
    if (SUCCEEDED(hr)) link_.icon_index = index;
    return Changed(hr);
  }
  HRESULT SetRelativePath(LPCWSTR path, DWORD reserved) override {
    return Changed(StoreIn(link_.relative_path, path, MAX_PATH));
  }
  HRESULT Resolve(HWND window, DWORD flags) override {
    std::u16string path;
    try {
      path = Target(false);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    if (path.empty()) return S_FALSE;
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? S_FALSE : S_OK;
  }
  HRESULT SetPath(LPCWSTR file) override {
    if (!file) return E_INVALIDARG;
    HRESULT hr = StoreIn(link_.local_base_path, file, MAX_PATH);
    if (SUCCEEDED(hr)) link_.path_suffix.clear();
    return Changed(hr);
  }

  // ---- IPersistFile ----
  HRESULT GetClassID(CLSID* clsid) override {
    if (!clsid) return E_INVALIDARG;
    *clsid = CLSID_ShellLink;
    return S_OK;
  }
  HRESULT IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Load(LPCOLESTR file, DWORD mode) override {
    if (!file) return E_INVALIDARG;
    try {
      std::vector<uint8_t> bytes;
      HRESULT hr = ReadWholeFile(file, &bytes);
      if (FAILED(hr)) return hr;
      platform::ShortcutFile loaded;
      if (!platform::ParseShortcutFile(bytes.data(), bytes.size(), &loaded))
        return HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
      std::u16string name(file);
      link_ = std::move(loaded);
      cur_file_ = std::move(name);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    dirty_ = false;
    return S_OK;
  }
  HRESULT Save(LPCOLESTR file, BOOL remember) override {
    try {
      std::u16string target = file ? std::u16string(file) : cur_file_;
      if (target.empty()) return E_INVALIDARG;
      const std::vector<uint8_t> bytes = platform::WriteShortcutFile(link_);
      if (!platform::WriteFileReplacing(target.c_str(), bytes.data(),
                                        static_cast<DWORD>(bytes.size()), true, u"lnk"))
        return HRESULT_FROM_WIN32(GetLastError());
      if (remember || !file) {
        cur_file_ = std::move(target);
        dirty_ = false;
      }
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    return S_OK;
  }
  HRESULT SaveCompleted(LPCOLESTR file) override { return S_OK; }
  HRESULT GetCurFile(LPOLESTR* file) override {
    if (!file) return E_INVALIDARG;
    *file = nullptr;
    const std::u16string& name = cur_file_.empty() ? kDefaultName : cur_file_;
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name.size() + 1) * sizeof(WCHAR)));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, name.c_str(), (name.size() + 1) * sizeof(WCHAR));
    *file = copy;
    return cur_file_.empty() ? S_FALSE : S_OK;
  }

 private:
  ~ShellLink() = default;

  // Marks the link changed after a successful setter.
  HRESULT Changed(HRESULT hr) {
    if (SUCCEEDED(hr)) dirty_ = true;
    return hr;
  }

  // The target path GetPath gives, `raw` without expanding references.
  std::u16string Target(bool raw) const {
    if (!link_.local_base_path.empty()) return link_.local_base_path + link_.path_suffix;
    if (!link_.net_name.empty()) {
      std::u16string net = link_.net_name;
      if (!link_.path_suffix.empty() && !IsSeparator(net.back())) net += u'\\';
      return net + link_.path_suffix;
    }
    if (!link_.environment_target.empty())
      return raw ? link_.environment_target : Expand(link_.environment_target);
    if (!link_.relative_path.empty()) {
      if (cur_file_.empty() || IsAbsolute(link_.relative_path)) return link_.relative_path;
      std::u16string joined = FolderOf(cur_file_) + link_.relative_path;
      WCHAR full[MAX_PATH];
      DWORD n = GetFullPathNameW(joined.c_str(), MAX_PATH, full, nullptr);
      return n > 0 && n < MAX_PATH ? std::u16string(full, n) : joined;
    }
    return std::u16string();
  }

  static inline const std::u16string kDefaultName = u"*.lnk";  // GetCurFile without a file

  std::atomic<ULONG> refs_{1};    // references held
  platform::ShortcutFile link_;   // what the link holds (local path: base path + suffix)
  std::u16string cur_file_;       // file last loaded or saved with `remember`
  bool dirty_ = false;            // changed since cur_file_ was loaded or saved
};

}  // namespace

const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000,
                               {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

struct ShellLinkRegistration {
  ShellLinkRegistration() {
    platform::RegisterBuiltinComClass(CLSID_ShellLink, &platform::CreateShellLink);
  }
};
const ShellLinkRegistration g_registration;

}  // namespace

namespace platform {

HRESULT CreateShellLink(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ShellLink* link = new (std::nothrow) ShellLink();
  if (!link) return E_OUTOFMEMORY;
  HRESULT hr = link->QueryInterface(iid, object);
  link->Release();
  return hr;
}

}  // namespace platform
