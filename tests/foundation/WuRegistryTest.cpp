// Registry helpers: GUID texts, key counts and tree deletion, server
// registration into the machine or the user's store, self-registration of
// a module that declares it, and the small settings.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuRegistry.h"
#include "platform/com/com.h"
#include "platform/kernel/module.h"
#include "platform/registry/registry.h"
#include "platform/kernel/state.h"
#include "tests/common/TestUtil.h"
#include "tests/common/VersionBlock.h"

namespace {

using wutest::U16;

constexpr GUID kGuid = {0x1A2B3C4D, 0xE5F6, 0x0789, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}};
constexpr char16_t kGuidText[] = u"1a2b3c4d-e5f6-0789-abcd-ef0123456789";

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

TEST(WuGuidTextTest, RoundTripsInLowerCaseAndBoundsTheBuffer) {
  WCHAR text[40];
  EXPECT_EQ(WuGuidToString(kGuid, text, 40), 0);
  EXPECT_EQ(std::u16string(text), kGuidText);

  GUID back = {};
  EXPECT_EQ(WuGuidFromString(u"1A2B3C4D-E5F6-0789-ABCD-EF0123456789", &back), S_OK);
  EXPECT_TRUE(SameGuid(back, kGuid));

  WuGuidToString(kGuid, text, 10);
  EXPECT_EQ(std::u16string(text), u"1a2b3c4d-");
  text[0] = u'#';
  WuGuidToString(kGuid, text, 0);
  EXPECT_EQ(text[0], u'#');
}

TEST(WuGuidTextTest, RefusesAnythingButTheExactForm) {
  const char16_t* bad[] = {
      u"{1a2b3c4d-e5f6-0789-abcd-ef0123456789}",  // braces
      u"1a2b3c4d-e5f6-0789-abcd-ef012345678",     // one digit short
      u"1a2b3c4d-e5f6-0789-abcd-ef01234567890",   // one character more
      u"1a2b3c4d-e5f6-0789-abcd-ef0123456789 ",   // trailing space
      u"1a2b3c4de5f6-0789-abcd-ef0123456789-",    // dash out of place
      u"1a2b3c4d-e5f6-0789-abcdef0123456789xx",   // last dash missing
      u"1a2b3c4d-e5f6-0789-abcd-ef012345678g",    // not hexadecimal
      u"+a2b3c4d-e5f6-0789-abcd-ef0123456789",    // sign where a digit belongs
      u"",
  };
  for (const char16_t* text : bad) {
    GUID guid = kGuid;
    EXPECT_EQ(WuGuidFromString(text, &guid), E_FAIL) << wutest::U8(text);
    EXPECT_TRUE(SameGuid(guid, kGuid)) << wutest::U8(text);
  }
  GUID guid = kGuid;
  EXPECT_EQ(WuGuidFromString(nullptr, &guid), E_FAIL);
}

void CreateKey(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

bool KeyExists(HKEY root, const char16_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::u16string TextValue(HKEY root, const char16_t* path, const char16_t* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<no key>";
  WCHAR text[300] = {};
  DWORD type = 0, size = sizeof(text) - sizeof(WCHAR);
  LONG error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return u"<no value>";
  return type == REG_SZ ? std::u16string(text) : u"<not text>";
}

TEST(WuRegKeyTest, CountsSubkeysAndDeletesWholeTrees) {
  CreateKey(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree\\Short\\Deep\\Deeper");
  CreateKey(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree\\A longer name");
  CreateKey(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree\\Short\\Sibling");

  DWORD longest = 0;
  EXPECT_EQ(WuRegGetSubKeyCount(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree", &longest), 2u);
  EXPECT_EQ(longest, 14u);  // "A longer name" + 1
  EXPECT_EQ(WuRegGetSubKeyCount(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Missing", &longest), 0u);
  EXPECT_EQ(longest, 1u);

  EXPECT_TRUE(WuRegDeleteKey(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Software\\WuRegTest"));
  EXPECT_TRUE(WuRegDeleteKey(HKEY_CURRENT_USER, u"Software\\WuRegTest\\Tree"));
}

// Points the state root at a fresh folder whose machine store cannot be
// written (its folder is a plain file), for the length of a test.
class ReadOnlyMachineStore {
 public:
  ReadOnlyMachineStore() : old_root_(wutest::StateRoot()) {
    std::string root = wutest::MakeTempDir("ro-root");
    wutest::WriteBytes(root + "/machine", "not a folder");
    setenv(platform::kStateRootVariable, root.c_str(), 1);
    platform::ReloadStateRoot();
    platform::RegistryForgetCache();
  }
  ~ReadOnlyMachineStore() {
    setenv(platform::kStateRootVariable, old_root_.c_str(), 1);
    platform::ReloadStateRoot();
    platform::RegistryForgetCache();
  }

 private:
  std::string old_root_;
};

TEST(WuRegSettingsTest, PowerUserLocaleAndHiddenExtensions) {
  EXPECT_TRUE(WuIsPowerUser());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE,
                         u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\~WuTestLoginPrivilege"));
  {
    ReadOnlyMachineStore read_only;
    EXPECT_FALSE(WuIsPowerUser());
    EXPECT_EQ(WuSetLocale(0x407), E_FAIL);
  }

  EXPECT_EQ(WuSetLocale(0x407), S_OK);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Talvene\\Shared Information", 0,
                          KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD type = 0, value = 0, size = sizeof(value);
  EXPECT_EQ(RegQueryValueExW(key, u"Locale", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 0x407u);
  EXPECT_EQ(WuGetLocale(), 0u);

  const char16_t* advanced = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
  EXPECT_TRUE(WuIsExplorerFileExtHidden());  // no key
  CreateKey(HKEY_CURRENT_USER, advanced);
  struct Case {
    DWORD type;
    std::string bytes;
    BOOL hidden;
  } cases[] = {
      {REG_DWORD, std::string("\0\0\0\0", 4), FALSE},
      {REG_DWORD, std::string("\1\0\0\0", 4), TRUE},
      {REG_SZ, std::string("0\0\0\0", 4), TRUE},    // "0" as text
      {REG_BINARY, std::string("\0\0\0\0", 4), TRUE},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, advanced, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    RegSetValueExW(key, u"HideFileExt", 0, c.type, reinterpret_cast<const BYTE*>(c.bytes.data()),
                   static_cast<DWORD>(c.bytes.size()));
    RegCloseKey(key);
    EXPECT_EQ(WuIsExplorerFileExtHidden(), c.hidden) << "type " << c.type;
  }
}

// ---- Server registration -----------------------------------------------------------------

constexpr CLSID kClass = {0x0F1E2D3C, 0x4B5A, 0x6978, {0x87, 0x96, 0xA5, 0xB4, 0xC3, 0xD2, 0xE1, 0xF0}};
constexpr char16_t kClassKey[] = u"Software\\Classes\\CLSID\\{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
constexpr char16_t kServerKey[] =
    u"Software\\Classes\\CLSID\\{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\\InProcServer32";

// The module that registers itself: an export table over a file.
HMODULE g_server = nullptr;
HRESULT ServerRegister() { return WuRegisterServer(g_server, kClass, u"Test server", TRUE); }
HRESULT ServerUnregister() {
  return WuRegisterServer(g_server, kClass, nullptr, FALSE) == 1 ? S_OK : E_FAIL;
}

// A resource file whose version block has `names` (text values) in the
// table of its one translation, German (0407) with code page 1252.
std::string VersionedFile(const std::vector<std::u16string>& names) {
  std::vector<std::pair<std::u16string, std::u16string>> texts;
  for (const std::u16string& name : names) texts.emplace_back(name, u"1");
  std::string block = wutest::VersionBlock(
      wutest::FixedInfo({0x00010000u, 0u, 0x00010000u, 0u, 0x3Fu, 0u, 4u, 2u}), u"040704E4", texts, 0x04E40407);
  return wutest::ResourceFile({{16, 1, block}}, 0x407);  // RT_VERSION 1
}

class WuRegisterServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = U16(dir_ + "/selfreg.dll");
    wutest::WriteBytes(dir_ + "/selfreg.dll", VersionedFile({u"FileVersion", u"OLESelfRegister"}));
    const platform::ExportEntry exports[] = {
        {"DllRegisterServer", reinterpret_cast<void*>(&ServerRegister)},
        {"DllUnregisterServer", reinterpret_cast<void*>(&ServerUnregister)},
    };
    g_server = platform::CreateExportModule(u"selfreg.dll", exports, 2, path_.c_str());
    ASSERT_NE(g_server, nullptr);
  }
  void TearDown() override {
    FreeLibrary(g_server);
    g_server = nullptr;
    WuRegDeleteKey(HKEY_LOCAL_MACHINE, kClassKey);
    WuRegDeleteKey(HKEY_CURRENT_USER, kClassKey);
  }

  std::string dir_ = wutest::MakeTempDir("selfreg");
  std::u16string path_;
};

TEST_F(WuRegisterServerTest, SelfRegistersIntoTheMachineStoreAndRemovesItself) {
  EXPECT_EQ(WuSelfRegister_IsSupported(path_.c_str()), S_OK);
  size_t loaded = platform::LoadedModuleCount();
  EXPECT_EQ(WuSelfRegister_Register(path_.c_str(), FALSE), S_OK);
  EXPECT_EQ(platform::LoadedModuleCount(), loaded);  // the load was given back

  EXPECT_EQ(TextValue(HKEY_LOCAL_MACHINE, kClassKey, nullptr), u"Test server");
  EXPECT_EQ(TextValue(HKEY_LOCAL_MACHINE, kServerKey, nullptr), path_);
  EXPECT_EQ(TextValue(HKEY_LOCAL_MACHINE, kServerKey, u"ThreadingModel"), u"Both");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClassKey));

  EXPECT_EQ(WuSelfRegister_Register(path_.c_str(), TRUE), S_OK);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, u"Software\\Classes\\CLSID"));
  // Removing what is not there still answers 1.
  EXPECT_EQ(WuRegisterServer(g_server, kClass, nullptr, FALSE), 1);
}

TEST_F(WuRegisterServerTest, FallsBackToTheUserStoreWhenTheMachineStoreIsReadOnly) {
  ReadOnlyMachineStore read_only;
  EXPECT_EQ(WuRegisterServer(g_server, kClass, nullptr, TRUE), S_OK);
  EXPECT_EQ(TextValue(HKEY_CURRENT_USER, kClassKey, nullptr), u"");  // no description: empty
  EXPECT_EQ(TextValue(HKEY_CURRENT_USER, kServerKey, nullptr), path_);
  EXPECT_EQ(WuRegisterServer(g_server, kClass, nullptr, FALSE), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kClassKey));
}

TEST_F(WuRegisterServerTest, RefusesModulesThatDoNotDeclareSelfRegistration) {
  wutest::WriteBytes(dir_ + "/plain.dll", VersionedFile({u"FileVersion"}));
  wutest::WriteBytes(dir_ + "/none.dll", "no resources at all");
  EXPECT_EQ(WuSelfRegister_IsSupported(U16(dir_ + "/plain.dll").c_str()), E_NOTIMPL);
  EXPECT_EQ(WuSelfRegister_Register(U16(dir_ + "/plain.dll").c_str(), FALSE), E_NOTIMPL);
  EXPECT_EQ(WuSelfRegister_IsSupported(U16(dir_ + "/none.dll").c_str()), E_FAIL);
  EXPECT_EQ(WuSelfRegister_Register(U16(dir_ + "/none.dll").c_str(), FALSE), E_FAIL);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kClassKey));

  // Declared, but the module lacks the entry point asked for.
  const platform::ExportEntry only_register[] = {
      {"DllRegisterServer", reinterpret_cast<void*>(&ServerRegister)}};
  std::u16string half = U16(dir_ + "/half.dll");
  wutest::WriteBytes(dir_ + "/half.dll", VersionedFile({u"OLESelfRegister"}));
  HMODULE module = platform::CreateExportModule(u"half.dll", only_register, 1, half.c_str());
  EXPECT_EQ(WuSelfRegister_Register(half.c_str(), TRUE), E_NOTIMPL);
  FreeLibrary(module);
}

}  // namespace
