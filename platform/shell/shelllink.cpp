// The shell-link object: plain fields behind IShellLinkW. The object is
// thread-safe in its reference count only; one thread uses it at a time.
#include "platform/shell/shelllink.h"

#include <atomic>
#include <new>
#include <string>
#include <string_view>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
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

class ShellLink final : public IShellLinkW {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
      *object = static_cast<IShellLinkW*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetPath(LPWSTR file, int size, void* find, DWORD flags) override {
    HRESULT hr = CopyOut(path_, file, size);
    if (FAILED(hr)) return hr;
    return path_.empty() ? S_FALSE : S_OK;
  }
  HRESULT GetIDList(PIDLIST_ABSOLUTE* list) override {
    if (list) *list = nullptr;
    return E_NOTIMPL;
  }
  HRESULT SetIDList(PCIDLIST_ABSOLUTE list) override { return E_NOTIMPL; }
  HRESULT GetDescription(LPWSTR name, int size) override {
    return CopyOut(description_, name, size);
  }
  HRESULT SetDescription(LPCWSTR name) override {
    return StoreIn(description_, name, INFOTIPSIZE);
  }
  HRESULT GetWorkingDirectory(LPWSTR dir, int size) override {
    return CopyOut(working_dir_, dir, size);
  }
  HRESULT SetWorkingDirectory(LPCWSTR dir) override { return StoreIn(working_dir_, dir, MAX_PATH); }
  HRESULT GetArguments(LPWSTR args, int size) override { return CopyOut(arguments_, args, size); }
  HRESULT SetArguments(LPCWSTR args) override { return StoreIn(arguments_, args, INFOTIPSIZE); }
  HRESULT GetHotkey(WORD* hotkey) override { return ReadOut(hotkey_, hotkey); }
  HRESULT SetHotkey(WORD hotkey) override {
    hotkey_ = hotkey;
    return S_OK;
  }
  HRESULT GetShowCmd(int* show) override { return ReadOut(show_, show); }
  HRESULT SetShowCmd(int show) override {
    show_ = show;
    return S_OK;
  }
  HRESULT GetIconLocation(LPWSTR path, int size, int* index) override {
    if (!index) return E_INVALIDARG;
    HRESULT hr = CopyOut(icon_path_, path, size);
    if (SUCCEEDED(hr)) *index = icon_index_;
    return hr;
  }
  HRESULT SetIconLocation(LPCWSTR path, int index) override {
    HRESULT hr = StoreIn(icon_path_, path, MAX_PATH);
    if (SUCCEEDED(hr)) icon_index_ = index;
    return hr;
  }
  HRESULT SetRelativePath(LPCWSTR path, DWORD reserved) override {
    return StoreIn(relative_path_, path, MAX_PATH);
  }
  HRESULT Resolve(HWND window, DWORD flags) override {
    if (path_.empty()) return S_FALSE;
    return GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES ? S_FALSE : S_OK;
  }
  HRESULT SetPath(LPCWSTR file) override {
    if (!file) return E_INVALIDARG;
    return StoreIn(path_, file, MAX_PATH);
  }

 private:
  ~ShellLink() = default;

  std::atomic<ULONG> refs_{1};   // references held
  std::u16string path_;          // target path
  std::u16string arguments_;     // command-line arguments
  std::u16string working_dir_;   // working folder of the started program
  std::u16string description_;   // description (tool tip)
  std::u16string icon_path_;     // file holding the icon
  std::u16string relative_path_; // path the target is relative to
  int icon_index_ = 0;           // icon index within icon_path_
  WORD hotkey_ = 0;              // hot key (low byte key, high byte modifiers)
  int show_ = SW_SHOWNORMAL;     // show command
};

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
