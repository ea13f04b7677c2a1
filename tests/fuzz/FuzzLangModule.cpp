// Fuzz target of the language resource module and of resource pools. The
// input is written as "app.LNG" beside a loaded program module "app.dll",
// so that opening a language handle over that module loads it as the
// system does; every string block and resource is then read through the
// handle and the module. The same bytes are also searched as a resource
// pool image.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuResPool.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/state.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The owner module: an empty resource file loaded once.
HMODULE Owner(const std::string& folder) {
  static HMODULE owner = [&] {
    static const uint8_t kEmpty[16] = {'W', 'U', 'R', 'M', 1, 0, 16, 0, 0, 0, 0, 0, 16, 0, 0, 0};
    std::string path = folder + "/app.dll";
    if (!platform::MakeDirs(folder) || !wufuzz::WriteFile(path, kEmpty, sizeof kEmpty))
      wufuzz::Fail("cannot write", path);
    HMODULE made = LoadLibraryW(platform::ToUtf16(path).c_str());
    if (!made) wufuzz::Fail("cannot load", path);
    return made;
  }();
  return owner;
}

// Gives the file a modification time of its own, so that the module layer
// never takes it for the bytes of an earlier input.
void StampUnique(const std::string& path) {
  static int64_t serial = 0;
  ++serial;
  struct timespec times[2] = {{static_cast<time_t>(serial), 0}, {static_cast<time_t>(serial), 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

BOOL OnLanguage(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR) {
  HRSRC found = FindResourceExW(module, type, name, language);
  if (found) {
    const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    DWORD size = SizeofResource(module, found);
    volatile BYTE sum = 0;
    for (DWORD i = 0; bytes && i < size; ++i) sum = static_cast<BYTE>(sum + bytes[i]);
    if (type == RT_STRING)
      for (UINT i = 0; i < 16; ++i) {
        const WCHAR* text = nullptr;
        DWORD count = 0;
        platform::StringBlockEntry(bytes, size, i, &text, &count);
      }
  }
  return TRUE;
}

BOOL OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
  if (type == RT_STRING && IS_INTRESOURCE(name))
    reinterpret_cast<std::vector<UINT>*>(param)->push_back(
        static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name)));
  EnumResourceLanguagesW(module, type, name, OnLanguage, 0);
  return TRUE;
}

BOOL OnType(HMODULE module, LPWSTR type, LONG_PTR param) {
  EnumResourceNamesW(module, type, OnName, param);
  return TRUE;
}

void ReadLanguageModule(const std::string& folder) {
  HWULANG lang = nullptr;
  if (WuLang_Open(&lang, Owner(folder), 0, 0) != S_OK) return;
  // A program makes its handle the kernel's and picks a language other
  // than English, which enables the language module.
  WuKernel_SetLangHandle(lang);
  WuLang_UpdateKernelLCID(lang, 1031, 0);
  HMODULE module = WuLang_InstFromLang(lang);
  std::vector<UINT> blocks;
  EnumResourceTypesW(module, OnType, reinterpret_cast<LONG_PTR>(&blocks));
  WCHAR small[8];
  WCHAR large[512];
  for (size_t b = 0; b < blocks.size() && b < 64; ++b) {
    for (UINT i = 0; i < 16; ++i) {
      UINT id = (blocks[b] - 1) * 16 + i;
      WuLoadString(lang, id, small, 8);
      WuLoadString(lang, id, large, 512);
      LoadStringW(module, id, large, 512);
      WuGetString(lang, id);
    }
  }
  WuEnumResourceLanguages(lang, 1, large, 512);
  WuLang_GetLangAbbrev(lang, small, 8);
  WuKernel_SetLangHandle(nullptr);
  WuLang_Close(lang);
}

void SearchPool(const uint8_t* data, size_t size) {
  _WURESPOOL pool{0, static_cast<DWORD>(size), data};
  const LPCWSTR types[] = {RT_DIALOG, RT_BITMAP, RT_STRING, u"PNG"};
  const LPCWSTR names[] = {MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(100), u"ABOUT"};
  for (LPCWSTR type : types)
    for (LPCWSTR name : names) {
      DWORD found = 0;
      LCID language = 0;
      WuFindResourceInResPool(&pool, &found, name, type, 1031, &language);
    }
  DWORD found = 0;
  WuFindDialogTemplateInResPool(&pool, &found, MAKEINTRESOURCEW(1), 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string folder = wufuzz::Root() + "/work/lang";
  Owner(folder);
  const std::string path = folder + "/app.LNG";
  if (!wufuzz::WriteFile(path, data, size)) wufuzz::Fail("cannot write", path);
  StampUnique(path);
  ReadLanguageModule(folder);
  SearchPool(data, size);
  return 0;
}
