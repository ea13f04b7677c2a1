// SHGetFileInfoW: a file's type name from the registered file types.
#include "platform/shell/file_info.h"

#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/registry/registry.h"

namespace {

// The default value of HKEY_CLASSES_ROOT\<key> as text; empty when the key
// or value is missing or not text.
std::u16string ClassDefault(const std::u16string& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  std::u16string text;
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(opened, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ) && bytes >= sizeof(WCHAR)) {
    text.resize(bytes / sizeof(WCHAR));
    if (RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &bytes) !=
        ERROR_SUCCESS) {
      text.clear();
    } else {
      text.resize(bytes / sizeof(WCHAR));
      size_t end = text.find(u'\0');  // stored with or without its terminator
      if (end != std::u16string::npos) text.resize(end);
    }
  }
  RegCloseKey(opened);
  return text;
}

// The extension of a path's file name with its dot; empty without one.
std::u16string Extension(const std::u16string& path) {
  // A ':' ends only a drive ("X:" at the start); in a name it is a character.
  size_t name = path.find_last_of(u"\\/");
  if (name == std::u16string::npos && platform::StartsWithDrive(path)) name = 1;
  name = name == std::u16string::npos ? 0 : name + 1;
  size_t dot = path.rfind(u'.');
  if (dot == std::u16string::npos || dot < name) return {};
  return path.substr(dot);
}

std::u16string TypeName(const std::u16string& path, DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return u"File folder";
  std::u16string extension = Extension(path);
  if (extension.size() <= 1) return u"File";
  std::u16string type = ClassDefault(extension);
  if (!type.empty()) {
    std::u16string name = ClassDefault(type);
    if (!name.empty()) return name;
  }
  std::u16string upper = extension.substr(1);
  for (char16_t& c : upper) c = platform::CharUpper(c);
  return upper + u" File";
}

}  // namespace

DWORD_PTR SHGetFileInfoW(LPCWSTR path, DWORD /*attributes*/, SHFILEINFOW* info, UINT size, UINT flags) {
  if (flags != SHGFI_TYPENAME || !path || !info || size < sizeof(SHFILEINFOW)) return 0;
  DWORD found = GetFileAttributesW(path);
  if (found == INVALID_FILE_ATTRIBUTES) return 0;
  std::u16string name = TypeName(path, found);
  constexpr size_t kCapacity = sizeof(info->szTypeName) / sizeof(WCHAR);
  if (name.size() >= kCapacity) name.resize(kCapacity - 1);
  name.copy(info->szTypeName, name.size());
  info->szTypeName[name.size()] = 0;
  return 1;
}
