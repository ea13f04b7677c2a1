#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/kernel/state.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

std::vector<BYTE> Bytes(const void* p, size_t n) {
  const BYTE* b = static_cast<const BYTE*>(p);
  return std::vector<BYTE>(b, b + n);
}

// A fresh key below HKEY_CURRENT_USER\Software, deleted again at the end.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = u"Software\\WuTest\\" +
            U16(::testing::UnitTest::GetInstance()->current_test_info()->name());
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key_, &disposition));
    ASSERT_EQ(REG_CREATED_NEW_KEY, disposition);
  }
  void TearDown() override {
    if (key_) RegCloseKey(key_);
  }

  std::u16string name_;
  HKEY key_ = nullptr;
};

TEST_F(RegistryTest, EveryValueTypeRoundTripsWithSizeQueries) {
  const char16_t text[] = u"Hello";
  const char16_t multi[] = u"one\0two\0";
  DWORD dword = 0xDEADBEEF;
  QWORD qword = 0x0123456789ABCDEFull;
  const BYTE blob[] = {0, 1, 0xFF, 0x7F, 0x80};
  struct Case {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> data;
  } cases[] = {
      {u"none", REG_NONE, {}},
      {u"", REG_SZ, Bytes(text, sizeof text)},  // the default value
      {u"sz", REG_SZ, Bytes(text, sizeof text)},
      {u"expand", REG_EXPAND_SZ, Bytes(u"%TMP%\\x", 16)},
      {u"binary", REG_BINARY, Bytes(blob, sizeof blob)},
      {u"dword", REG_DWORD, Bytes(&dword, 4)},
      {u"multi", REG_MULTI_SZ, Bytes(multi, sizeof multi)},
      {u"qword", REG_QWORD, Bytes(&qword, 8)},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, c.name, 0, c.type, c.data.data(),
                                            static_cast<DWORD>(c.data.size())));
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.name));
    DWORD type = 99, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, c.name, nullptr, &type, nullptr, &size));
    EXPECT_EQ(c.type, type);
    EXPECT_EQ(c.data.size(), size);
    std::vector<BYTE> got(c.data.size() + 4, 0xCC);
    if (!c.data.empty()) {
      DWORD small = size - 1;
      EXPECT_EQ(ERROR_MORE_DATA,
                RegQueryValueExW(key_, c.name, nullptr, &type, got.data(), &small));
      EXPECT_EQ(size, small);
    }
    DWORD big = static_cast<DWORD>(got.size());
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, c.name, nullptr, &type, got.data(), &big));
    ASSERT_EQ(size, big);
    got.resize(big);
    EXPECT_EQ(c.data, got);
  }
  // NULL and empty both name the default value; missing values are reported.
  DWORD size = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, nullptr, nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(sizeof text, size);
  EXPECT_EQ(ERROR_FILE_NOT_FOUND,
            RegQueryValueExW(key_, u"absent", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key_, u"SZ"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key_, u"sz", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key_, u"sz"));
}

TEST_F(RegistryTest, AStoreWriteThatFailsPartWayKeepsTheOldValue) {
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, u"v", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(u"old"), 8));
  const std::vector<BYTE> big(1 << 20, 0x5A);
  {
    wutest::FileSizeLimit limit(64 * 1024);  // the store file cannot grow that far
    EXPECT_NE(ERROR_SUCCESS, RegSetValueExW(key_, u"v", 0, REG_BINARY, big.data(),
                                            static_cast<DWORD>(big.size())));
  }
  HKEY again = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, KEY_READ, &again));
  WCHAR text[8] = {};
  DWORD type = 0, size = sizeof text;
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExW(again, u"v", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(std::u16string(u"old"), std::u16string(text));
  RegCloseKey(again);
}

TEST_F(RegistryTest, EnumerationIsOrderedAndQueryInfoCounts) {
  for (const char16_t* sub : {u"beta", u"Alpha", u"gamma-longest"}) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(key_, sub, 0, nullptr, 0, KEY_READ, nullptr, &k, nullptr));
    RegCloseKey(k);
  }
  DWORD one = 1;
  const BYTE four[4] = {};
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key_, u"zeta", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, u"a", 0, REG_BINARY, four, 3));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key_, u"mid", 0, REG_BINARY, four, 4));

  // Subkeys in name order ignoring case, values in creation order.
  std::vector<std::string> keys, values;
  WCHAR name[64];
  DWORD n = 64;
  for (DWORD i = 0;
       RegEnumKeyExW(key_, i, name, &n, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, n = 64)
    keys.push_back(U8(std::u16string(name, n)));
  EXPECT_EQ((std::vector<std::string>{"Alpha", "beta", "gamma-longest"}), keys);
  DWORD type, size = 4;
  BYTE data[4];
  for (DWORD i = 0;; ++i) {
    n = 64;
    size = 4;
    LONG r = RegEnumValueW(key_, i, name, &n, nullptr, &type, data, &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(ERROR_SUCCESS, r);
    values.push_back(U8(std::u16string(name, n)));
  }
  EXPECT_EQ((std::vector<std::string>{"zeta", "a", "mid"}), values);

  n = 5;  // "Alpha" needs 6 with its terminator
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExW(key_, 0, name, &n, nullptr, nullptr, nullptr, nullptr));
  n = 64;
  EXPECT_EQ(ERROR_NO_MORE_ITEMS,
            RegEnumKeyExW(key_, 3, name, &n, nullptr, nullptr, nullptr, nullptr));
  n = 64, size = 2;
  EXPECT_EQ(ERROR_MORE_DATA, RegEnumValueW(key_, 2, name, &n, nullptr, &type, data, &size));
  EXPECT_EQ(4u, size);

  DWORD subs, max_sub, nvalues, max_name, max_data;
  FILETIME written{};
  ASSERT_EQ(ERROR_SUCCESS,
            RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subs, &max_sub, nullptr, &nvalues,
                             &max_name, &max_data, nullptr, &written));
  EXPECT_EQ(3u, subs);
  EXPECT_EQ(13u, max_sub);
  EXPECT_EQ(3u, nvalues);
  EXPECT_EQ(4u, max_name);
  EXPECT_EQ(4u, max_data);
  EXPECT_NE(0u, written.dwHighDateTime);
}

TEST_F(RegistryTest, DeleteKeyRefusesSubkeysAndStaleHandlesSeeDeletion) {
  HKEY child;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, u"parent\\child", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &child, nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(key_, u"parent"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key_, u"PARENT\\Child"));
  EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key_, u"parent"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(key_, u"parent"));

  // A handle to the deleted key does not reach a key recreated at its path.
  HKEY again;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, u"parent\\child", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &again, nullptr));
  DWORD v = 7;
  EXPECT_EQ(ERROR_KEY_DELETED,
            RegSetValueExW(child, u"x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(child));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(child));
  RegCloseKey(again);

  // The base keys stay.
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Classes"));
}

TEST_F(RegistryTest, NamesIgnoreCaseButKeepIt) {
  HKEY k;
  DWORD disposition;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, u"MixedCase", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &k, &disposition));
  EXPECT_EQ(REG_CREATED_NEW_KEY, disposition);
  RegCloseKey(k);
  std::u16string upper = name_ + u"\\MIXEDCASE";
  for (WCHAR& c : upper) c = (c >= u'a' && c <= u'z') ? c - 32 : c;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, upper.c_str(), 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &k, &disposition));
  EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
  DWORD v = 5, got = 0, size = 4;
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(k, u"Value", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_SUCCESS,
            RegQueryValueExW(k, u"VALUE", nullptr, nullptr, reinterpret_cast<BYTE*>(&got), &size));
  EXPECT_EQ(5u, got);
  RegCloseKey(k);

  WCHAR name[32];
  DWORD n = 32;
  ASSERT_EQ(ERROR_SUCCESS, RegEnumKeyExW(key_, 0, name, &n, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(u"MixedCase", std::u16string(name, n));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(key_, u"Missing", 0, KEY_READ, &k));
  EXPECT_EQ(nullptr, k);
  EXPECT_EQ(ERROR_BAD_PATHNAME, RegOpenKeyExW(key_, u"\\MixedCase", 0, KEY_READ, &k));
}

TEST_F(RegistryTest, HandleRightsAreEnforced) {
  HKEY reader, writer;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, KEY_READ, &reader));
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, name_.c_str(), 0, KEY_SET_VALUE, &writer));
  DWORD v = 1, size = 4;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegSetValueExW(reader, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteValueW(reader, u"v"));
  HKEY sub;
  EXPECT_EQ(ERROR_ACCESS_DENIED,
            RegCreateKeyExW(reader, u"sub", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr));
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(writer, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegQueryValueExW(writer, u"v", nullptr, nullptr, nullptr, &size));
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(reader, u"v", nullptr, nullptr, nullptr, &size));
  RegCloseKey(reader);
  RegCloseKey(writer);
}

TEST_F(RegistryTest, StoreSurvivesReloadWithAwkwardNames) {
  // Names that the store file must escape to keep them apart.
  const std::u16string names[] = {u"with space",
                                  u"100%",
                                  u"a:b",
                                  u"back\\slash",
                                  u"line\nbreak",
                                  u"caf\u00e9 \u6f22",
                                  std::u16string(1, u'\xD800') + u"lone",
                                  u" "};
  for (size_t i = 0; i < std::size(names); ++i) {
    DWORD v = static_cast<DWORD>(i);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key_, names[i].c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  }
  HKEY sub;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key_, u"sub key%", 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &sub, nullptr));
  RegCloseKey(sub);

  platform::RegistryForgetCache();
  for (size_t i = 0; i < std::size(names); ++i) {
    DWORD v = 99, size = 4;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, names[i].c_str(), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&v), &size))
        << i;
    EXPECT_EQ(i, v);
  }
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(key_, u"SUB KEY%", 0, KEY_READ, &sub));
  RegCloseKey(sub);
}

TEST_F(RegistryTest, CorruptStoreIsRefusedAndLeftAlone) {
  std::string file = platform::UserStateDir() + "/registry.txt";
  std::string good = wutest::ReadBytes(file);
  ASSERT_FALSE(good.empty());
  std::string bad = good.substr(0, good.size() / 2) + "\nvalue zz :x xq\n";
  wutest::WriteBytes(file, bad);

  HKEY k = nullptr;
  DWORD v = 1;
  EXPECT_EQ(ERROR_BADDB, RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &k));
  EXPECT_EQ(ERROR_BADDB, RegSetValueExW(key_, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
  EXPECT_EQ(ERROR_BADDB, RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\New", 0, nullptr, 0,
                                         KEY_ALL_ACCESS, nullptr, &k, nullptr));
  EXPECT_EQ(bad, wutest::ReadBytes(file));

  wutest::WriteBytes(file, good);  // repaired: usable again
  EXPECT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key_, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4));
}

TEST_F(RegistryTest, TwoProcessesLoseNoUpdates) {
  constexpr int kEach = 200;
  auto add_values = [&](const char* prefix) {
    for (int i = 0; i < kEach; ++i) {
      std::u16string name = U16(prefix + std::to_string(i));
      DWORD v = static_cast<DWORD>(i);
      if (RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) !=
          ERROR_SUCCESS)
        return false;
    }
    return true;
  };
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(add_values("child") ? 0 : 1);
  bool parent_ok = add_values("parent");
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  ASSERT_TRUE(parent_ok);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  DWORD values = 0;
  ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(2u * kEach, values);
  DWORD v = 0, size = 4;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key_, u"child199", nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(&v), &size));
  EXPECT_EQ(199u, v);
}

// Checks, in a process that cannot write the machine store, that write
// rights are refused and reading still works. Returns a failure number.
int CheckReadOnlyMachineStore() {
  HKEY k = reinterpret_cast<HKEY>(1);
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_ALL_ACCESS, &k) != ERROR_ACCESS_DENIED)
    return 1;
  if (k != nullptr) return 2;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_SET_VALUE, &k) != ERROR_ACCESS_DENIED)
    return 3;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\WuTestNew", 0, nullptr, 0, KEY_READ, nullptr,
                      &k, nullptr) != ERROR_ACCESS_DENIED)
    return 4;
  DWORD v = 0, size = 4;
  if (RegSetValueExW(HKEY_LOCAL_MACHINE, u"v", 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4) !=
      ERROR_ACCESS_DENIED)
    return 5;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\WuTestRO", 0, KEY_READ, &k) != ERROR_SUCCESS)
    return 6;
  if (RegQueryValueExW(k, u"marker", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size) !=
          ERROR_SUCCESS ||
      v != 42)
    return 7;
  RegCloseKey(k);
  return 0;
}

TEST(RegistryStoreTest, MachineStoreRefusesWriteRightsToWhoCannotWriteIt) {
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\WuTestRO", 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &k, nullptr));
  DWORD marker = 42;
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(k, u"marker", 0, REG_DWORD, reinterpret_cast<BYTE*>(&marker), 4));
  RegCloseKey(k);
  std::string machine = platform::MachineStateDir();

  if (geteuid() == 0) {
    // Permission bits do not stop root: check from an unprivileged child.
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_ALL_ACCESS, &k));
    RegCloseKey(k);
    ASSERT_EQ(0, chmod(wutest::StateRoot().c_str(), 0755));
    ASSERT_EQ(0, chmod(machine.c_str(), 0755));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
      _exit(CheckReadOnlyMachineStore());
    }
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status));
  } else {
    ASSERT_EQ(0, chmod(machine.c_str(), 0555));
    int failure = CheckReadOnlyMachineStore();
    chmod(machine.c_str(), 0755);
    EXPECT_EQ(0, failure);
  }
}

}  // namespace
