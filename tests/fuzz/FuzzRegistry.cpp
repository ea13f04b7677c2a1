// Fuzz target of the registry's store file: the input is the user's store.
// Every key is walked and every value read (with a buffer that fits and
// one that does not); then one value is set, which rewrites the store, and
// the walk must find everything it found before.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/kernel/state.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr int kMaxDepth = 16;
constexpr DWORD kMaxItems = 256;

// Walks `key` and its subkeys; each value becomes "path|name|type|size".
void Walk(HKEY key, const std::u16string& path, int depth, std::vector<std::u16string>* seen) {
  std::vector<BYTE> data(1 << 16);
  for (DWORD i = 0; i < kMaxItems; ++i) {
    WCHAR name[512];
    DWORD nameSize = 512;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    LONG r = RegEnumValueW(key, i, name, &nameSize, nullptr, &type, data.data(), &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;
    if (std::u16string_view(name, nameSize).find(u'\0') != std::u16string_view::npos)
      wufuzz::Fail("value name cannot be used again", "RegEnumValueW");
    BYTE tiny[2];
    DWORD tinySize = sizeof tiny;
    RegQueryValueExW(key, name, nullptr, nullptr, tiny, &tinySize);
    seen->push_back(path + u"|" + std::u16string(name, nameSize) + u"|" +
                    std::u16string(1, static_cast<char16_t>(u'0' + type % 10)) + u"|" +
                    std::u16string(1, static_cast<char16_t>(u'0' + size % 10)));
  }
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr);
  if (depth >= kMaxDepth) return;
  for (DWORD i = 0; i < kMaxItems; ++i) {
    WCHAR name[512];
    DWORD nameSize = 512;
    LONG r = RegEnumKeyExW(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r != ERROR_SUCCESS) continue;
    // A name the store yields must name that subkey again: no zero unit
    // inside it (it would end the text) and no '\' (it would be a path).
    std::u16string_view view(name, nameSize);
    if (view.find(u'\0') != view.npos || view.find(u'\\') != view.npos)
      wufuzz::Fail("key name cannot be used again", "RegEnumKeyExW");
    HKEY sub = nullptr;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      seen->push_back(path + u"\\" + name);
      Walk(sub, path + u"\\" + name, depth + 1, seen);
      RegCloseKey(sub);
    }
  }
}

// TRUE when the walk saw the key the target adds (names ignore case).
bool SawAddedKey(const std::vector<std::u16string>& seen) {
  static const std::u16string kKey = u"\\fuzzadded";
  for (const std::u16string& line : seen) {
    if (line.size() < kKey.size()) continue;
    bool same = true;
    for (size_t i = 0; i < kKey.size() && same; ++i) {
      char16_t c = line[i];
      if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
      same = c == kKey[i];
    }
    if (same) return true;
  }
  return false;
}

std::vector<std::u16string> WalkStore() {
  std::vector<std::u16string> seen;
  Walk(HKEY_CURRENT_USER, u"", 0, &seen);
  return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wufuzz::Root();
  const std::string folder = platform::UserStateDir();
  platform::MakeDirs(folder);
  const std::string store = folder + "/registry.txt";
  if (!wufuzz::WriteFile(store, data, size)) wufuzz::Fail("cannot write", store);
  platform::RegistryForgetCache();
  std::vector<std::u16string> before = WalkStore();

  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, u"FuzzAdded", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) == ERROR_SUCCESS) {
    static const BYTE kValue[4] = {1, 2, 3, 4};
    LONG set = RegSetValueExW(key, u"v", 0, REG_BINARY, kValue, sizeof kValue);
    RegCloseKey(key);
    platform::RegistryForgetCache();
    std::vector<std::u16string> after = WalkStore();
    // Everything seen before is still there, in the same order.
    size_t at = 0;
    for (const std::u16string& line : after)
      if (at < before.size() && line == before[at]) ++at;
    if (set == ERROR_SUCCESS && !SawAddedKey(before) && at != before.size())
      wufuzz::Fail("store lost an entry on rewrite", store);
  }
  wufuzz::RemoveTree(store);
  platform::RegistryForgetCache();
  return 0;
}
