#include "fileio/CWuProfile.h"

#include <vector>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuRegistry.h"
#include "platform/com/com.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/registry/profile.h"

namespace {

constexpr HRESULT kPathRefused = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);

HRESULT LastError() {
  HRESULT hr = WuErrorHandler_TranslateWin32Error(GetLastError());
  return hr < 0 ? hr : E_FAIL;
}

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

// Whether a piece of a list is a class id in registry form; parses it.
bool ParseRegistryGuid(std::u16string_view piece, GUID* guid) {
  if (piece.size() != 38 || piece.front() != u'{' || piece.back() != u'}') return false;
  WCHAR inner[37];
  piece.substr(1, 36).copy(inner, 36);
  inner[36] = 0;
  return WuGuidFromString(inner, guid) == S_OK;
}

}  // namespace

CWuProfile::CWuProfile(LPCWSTR folder, LPCWSTR name) : section_(u"main") {
  std::u16string path = folder ? folder : u"";
  if (!path.empty() && !IsSep(path.back())) path += platform::kPathSeparator;
  path += name ? name : u"";
  // Room for the whole text and a new extension: the check below sees the
  // full length, never a cut one.
  std::vector<WCHAR> buffer(path.size() + 8, 0);
  path.copy(buffer.data(), path.size());
  int length = WuAddExtensionToPathName(buffer.data(), static_cast<int>(buffer.size()), u"ini");
  if (name && *name && length > 0 && length < MAX_PATH) {
    std::copy(buffer.begin(), buffer.begin() + length, path_);
    path_[length] = 0;
    valid_ = true;
  }
}

CWuProfile::CWuProfile(const CWuProfile& parent, LPCWSTR name)
    : valid_(parent.valid_), section_(parent.section_ + u"." + (name ? name : u"")) {
  std::copy(parent.path_, parent.path_ + MAX_PATH, path_);
}

void CWuProfile::SetSection(LPCWSTR section) { section_ = section ? section : u""; }

bool CWuProfile::GetString(LPCWSTR key, LPCWSTR def, LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return false;
  buffer[0] = 0;
  if (!valid_) return false;
  if (def) {
    GetPrivateProfileStringW(section_.c_str(), key, def, buffer, size, path_);
    return true;
  }
  // Read into room for the marker itself, so a small buffer still tells an
  // absent value from a short one.
  std::vector<WCHAR> text(size < 5 ? 5 : size, 0);
  DWORD got = GetPrivateProfileStringW(section_.c_str(), key, kWuProfileAbsent, text.data(),
                                       static_cast<DWORD>(text.size()), path_);
  if (got == 3 && std::u16string_view(text.data(), 3) == kWuProfileAbsent) return false;
  // A list (NULL key) keeps its terminators; a value is cut to the buffer.
  DWORD keep = got < size ? got : size - 1;
  std::copy(text.begin(), text.begin() + keep, buffer);
  buffer[keep] = 0;
  if (!key && keep + 1 < size) buffer[keep + 1] = 0;
  return true;
}

int CWuProfile::GetInt(LPCWSTR key, int def) {
  if (!valid_) return def;
  return static_cast<int>(GetPrivateProfileIntW(section_.c_str(), key, def, path_));
}

int CWuProfile::GetGuids(LPCWSTR key, GUID* out, int max) {
  if (!valid_) return 0;
  // Read the whole value or list: grow the buffer while the text is cut
  // (a value fills size - 1, a list size - 2).
  std::vector<WCHAR> text(1024);
  DWORD got = 0;
  for (;;) {
    DWORD size = static_cast<DWORD>(text.size());
    got = GetPrivateProfileStringW(section_.c_str(), key, u"", text.data(), size, path_);
    if (got + (key ? 1u : 2u) < size) break;
    text.assign(text.size() * 2, 0);
  }
  int stored = 0;
  int found = 0;
  size_t start = 0;
  for (size_t i = 0; i <= got; ++i) {
    if (i < got && text[i] != 0) continue;
    GUID guid;
    if (ParseRegistryGuid(std::u16string_view(text.data() + start, i - start), &guid)) {
      ++found;
      if (out && stored < max) out[stored++] = guid;
    }
    start = i + 1;
  }
  return out ? stored : found;
}

HRESULT CWuProfile::WriteString(LPCWSTR key, LPCWSTR text) {
  if (!valid_) return kPathRefused;
  if (!key) return E_INVALIDARG;  // a NULL key would delete the section
  if (!text || !*text) {
    // "." first, so the key exists; then its value is emptied.
    if (!WritePrivateProfileStringW(section_.c_str(), key, u".", path_)) return LastError();
    text = u"";
  }
  if (!WritePrivateProfileStringW(section_.c_str(), key, text, path_)) return LastError();
  return S_OK;
}

HRESULT CWuProfile::WriteInt(LPCWSTR key, int value) {
  std::string digits = std::to_string(value);
  std::u16string text(digits.begin(), digits.end());
  return WriteString(key, text.c_str());
}

HRESULT CWuProfile::WriteGuid(LPCWSTR key, const GUID& guid, LPCWSTR text) {
  WCHAR id[40];
  StringFromGUID2(guid, id, 40);
  return key ? WriteString(key, id) : WriteString(id, text);
}

HRESULT CWuProfile::ClearSection() {
  if (!valid_) return kPathRefused;
  const WCHAR empty[2] = {0, 0};
  if (!WritePrivateProfileSectionW(section_.c_str(), empty, path_)) return LastError();
  return S_OK;
}

HRESULT CWuProfile::DeleteFile() {
  if (!valid_) return kPathRefused;
  if (GetFileAttributesW(path_) == INVALID_FILE_ATTRIBUTES) return S_FALSE;
  if (!DeleteFileW(path_)) return LastError();
  return S_OK;
}

bool CWuProfile::Exists() {
  if (!valid_) return false;
  DWORD attributes = GetFileAttributesW(path_);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
