// Fuzz target of profile files: the input is a profile file. Every section
// and key is listed and read, as text and as a number; then one value is
// changed, which rewrites the file, and the other values must read back as
// before.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"
#include "platform/registry/profile.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The names of a terminated list ("a\0b\0\0").
std::vector<std::u16string> Names(const WCHAR* list, DWORD length) {
  std::vector<std::u16string> names;
  for (DWORD at = 0; at < length && list[at];) {
    std::u16string name(list + at);
    at += static_cast<DWORD>(name.size()) + 1;
    names.push_back(name);
  }
  return names;
}

constexpr DWORD kListSize = 1 << 16;

// Every "section/key=value" of the file, read through the profile calls.
std::vector<std::u16string> ReadAll(LPCWSTR file, std::vector<WCHAR>& buffer) {
  std::vector<std::u16string> all;
  DWORD n = GetPrivateProfileSectionNamesW(buffer.data(), kListSize, file);
  for (const std::u16string& section : Names(buffer.data(), n)) {
    GetPrivateProfileSectionW(section.c_str(), buffer.data(), kListSize, file);
    n = GetPrivateProfileStringW(section.c_str(), nullptr, u"", buffer.data(), kListSize, file);
    for (const std::u16string& key : Names(buffer.data(), n)) {
      WCHAR value[256];
      GetPrivateProfileStringW(section.c_str(), key.c_str(), u"-", value, 256, file);
      GetPrivateProfileIntW(section.c_str(), key.c_str(), -1, file);
      all.push_back(section + u"/" + key + u"=" + value);
    }
  }
  return all;
}

// TRUE for a line of the section the target adds (names ignore case).
bool IsAdded(const std::u16string& line) {
  static const std::u16string kSection = u"fuzz-added/";
  if (line.size() < kSection.size()) return false;
  for (size_t i = 0; i < kSection.size(); ++i) {
    char16_t c = line[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    if (c != kSection[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = wufuzz::Root() + "/work/profile";
  platform::MakeDirs(folder);
  const std::string path = folder + "/fuzz.ini";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  std::u16string file = platform::ToUtf16(path);
  std::vector<WCHAR> buffer(kListSize);
  std::vector<std::u16string> before = ReadAll(file.c_str(), buffer);

  // A new section at the end leaves every other value as it was.
  if (WritePrivateProfileStringW(u"fuzz-added", u"key", u"value", file.c_str())) {
    std::vector<std::u16string> after = ReadAll(file.c_str(), buffer);
    after.erase(std::remove_if(after.begin(), after.end(), IsAdded), after.end());
    before.erase(std::remove_if(before.begin(), before.end(), IsAdded), before.end());
    if (before != after) wufuzz::Fail("values changed by an unrelated write", path);
  }
  wufuzz::RemoveTree(path);
  return 0;
}
