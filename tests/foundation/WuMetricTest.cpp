#include "foundation/WuMetric.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/WuStatus.h"
#include "platform/com/com.h"
#include "platform/kernel/locale.h"
#include "platform/registry/registry.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U8;

// Reads a value straight from the user's registry store.
bool ReadRaw(const std::u16string& key_path, const std::u16string& name, DWORD* type,
             std::string* bytes) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  BYTE data[256];
  DWORD size = sizeof data;
  LONG error = RegQueryValueExW(key, name.c_str(), nullptr, type, data, &size);
  RegCloseKey(key);
  if (error != ERROR_SUCCESS) return false;
  bytes->assign(reinterpret_cast<const char*>(data), size);
  return true;
}

bool KeyExists(HKEY root, const std::u16string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A store for the application "App", closed at the end.
class WuMetricTest : public ::testing::Test {
 protected:
  void TearDown() override {
    WuMetric_Close(store_);
    WuMetric_SetDefault(nullptr);
    WuMetric_DeleteAll(u"App", 0);  // every version of the application
  }
  void Open(DWORD version, LPCWSTR sub_key = nullptr) {
    ASSERT_EQ(S_OK, WuMetric_Open(&store_, u"App", version, sub_key));
    ASSERT_NE(nullptr, store_);
  }
  HWUMETRIC store_ = nullptr;
};

TEST_F(WuMetricTest, EveryKindRoundTripsUnderItsValueName) {
  Open(0x07000000);
  const std::u16string path = u"Software\\Talvene\\App\\7.0\\Metrics";
  EXPECT_EQ(path, store_->key_path);

  EXPECT_EQ(S_OK, WuSetMetric(store_, -17, 1234));
  EXPECT_EQ(S_OK, WuSetMetricString(store_, 3, u"text"));
  const BYTE blob[5] = {1, 2, 0, 4, 5};
  EXPECT_EQ(S_OK, WuSetMetricBinary(store_, 4, blob, sizeof blob));
  const WCHAR multi[] = u"a\0bc\0";  // two texts and the closing terminator
  EXPECT_EQ(S_OK, WuSetMetricMultiString(store_, 5, multi, 6));

  // Read back through the store...
  EXPECT_EQ(1234, WuGetMetric(store_, 17));
  WCHAR text[16];
  EXPECT_EQ(4, WuGetMetricStringEx(store_, -3, text, 16, u"default", FALSE));
  EXPECT_EQ(u"text", std::u16string(text));
  BYTE read[8];
  EXPECT_EQ(5, WuGetMetricBinary(store_, 4, read, sizeof read));
  EXPECT_EQ(0, std::memcmp(blob, read, sizeof blob));
  EXPECT_EQ(0, read[5] | read[6] | read[7]);
  WCHAR texts[16];
  EXPECT_EQ(6, WuGetMetricMultiStringEx(store_, 5, texts, 16, u"", FALSE));
  EXPECT_EQ(0, std::memcmp(multi, texts, 6 * sizeof(WCHAR)));

  // ...and straight from the registry, under the names and types of the
  // store's layout.
  struct Expected {
    const char16_t* name;
    DWORD type;
    size_t bytes;
  };
  const Expected expected[] = {{u"17", REG_DWORD, 4},
                               {u"S3", REG_SZ, 10},
                               {u"B4", REG_BINARY, 5},
                               {u"Z5", REG_MULTI_SZ, 12}};
  for (const Expected& e : expected) {
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(ReadRaw(path, e.name, &type, &bytes)) << U8(e.name);
    EXPECT_EQ(e.type, type) << U8(e.name);
    EXPECT_EQ(e.bytes, bytes.size()) << U8(e.name);
  }
}

TEST_F(WuMetricTest, KeyPathsFollowVersionAndSubKeys) {
  struct Case {
    DWORD version;
    const char16_t* sub_key;
    const char16_t* path;
  };
  const Case cases[] = {
      {0x00FFFFFF, nullptr, u"Software\\Talvene\\App\\Metrics"},
      {0x01020000, u"", u"Software\\Talvene\\App\\1.2\\Metrics"},
      {0x0C2A1234, u"Dialogs", u"Software\\Talvene\\App\\12.42\\Metrics\\Dialogs"},
  };
  for (const Case& c : cases) {
    HWUMETRIC store = nullptr;
    ASSERT_EQ(S_OK, WuMetric_Open(&store, u"App", c.version, c.sub_key));
    EXPECT_EQ(std::u16string(c.path), store->key_path);
    EXPECT_EQ(S_OK, WuSetMetric(store, 1, 1));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, c.path)) << U8(c.path);
    WuMetric_Close(store);
  }
  HWUMETRIC other = nullptr;
  ASSERT_EQ(S_OK, WuMetric_OpenRegHiveAndVersion(&other, u"Tool", 0x02000000, u"Maker", u"A"));
  HWUMETRIC sibling = nullptr;
  ASSERT_EQ(S_OK, WuMetric_OpenSubKey(&sibling, other, u"B"));
  EXPECT_EQ(u"Software\\Maker\\Tool\\2.0\\Metrics\\B", std::u16string(sibling->key_path));
  EXPECT_EQ(E_FAIL, WuMetric_OpenSubKey(&store_, nullptr, u"B"));
  WuMetric_Close(sibling);
  WuMetric_Close(other);
}

TEST_F(WuMetricTest, ValuesWithDefaultsAndClamping) {
  Open(0);
  struct Case {
    bool stored;
    LONG minimum, maximum, fallback;
    LONG expected;
  };
  const Case cases[] = {
      {true, 0, 0, 7, 50},  // minimum == maximum: unclamped
      {true, 0, 10, 7, 10}, {true, 60, 100, 7, 60}, {false, 0, 0, -3, -3}, {false, 0, 10, 20, 10},
  };
  for (const Case& c : cases) {
    if (c.stored)
      ASSERT_EQ(S_OK, WuSetMetric(store_, 9, 50));
    else
      WuDeleteMetric(store_, 9, REG_DWORD);
    EXPECT_EQ(c.expected, WuGetMetricEx(store_, 9, c.minimum, c.maximum, c.fallback));
  }
  EXPECT_EQ(0, WuGetMetric(store_, 9));
  EXPECT_TRUE(WuGetMetricBool(store_, 9, TRUE));
  EXPECT_EQ(S_OK, WuSetMetric(store_, 9, 0));
  EXPECT_FALSE(WuGetMetricBool(store_, 9, TRUE));
  EXPECT_EQ(S_OK, WuSetMetricUsingName(store_, u"Named", 42));
  EXPECT_EQ(42, WuGetMetricUsingName(store_, u"Named", 5));
  EXPECT_EQ(5, WuGetMetricUsingName(store_, u"Other", 5));
  // A text under the bare number is not a 32-bit value.
  ASSERT_EQ(S_OK, WuSetMetricString(store_, 11, u"x"));
  HKEY key = store_->key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegSetValueExW(key, u"12", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"x"), 4));
  EXPECT_EQ(0, WuGetMetric(store_, 12));
}

TEST_F(WuMetricTest, TextsFallBackToTheDefault) {
  Open(0);
  WCHAR text[8];
  std::memset(text, 0x55, sizeof text);
  EXPECT_EQ(3, WuGetMetricStringEx(store_, 1, text, 8, u"def", FALSE));
  EXPECT_EQ(u"def", std::u16string(text));
  for (int i = 4; i < 8; ++i) EXPECT_EQ(0, text[i]) << i;  // the rest is zero-filled

  ASSERT_EQ(S_OK, WuSetMetricString(store_, 1, u""));
  EXPECT_EQ(3, WuGetMetricStringEx(store_, 1, text, 8, u"def", FALSE));
  EXPECT_EQ(0, WuGetMetricStringEx(store_, 1, text, 8, u"def", TRUE));
  EXPECT_EQ(u"", std::u16string(text));

  ASSERT_EQ(S_OK, WuSetMetricString(store_, 1, u"a long text"));
  EXPECT_EQ(7, WuGetMetricStringEx(store_, 1, text, 8, u"def", FALSE));
  EXPECT_EQ(u"a long ", std::u16string(text));

  // Texts and blocks cannot go to the default store.
  EXPECT_EQ(E_FAIL, WuSetMetricString(WU_DEFAULT_METRIC, 1, u"x"));
  WuMetric_SetDefault(store_);
  EXPECT_EQ(E_FAIL, WuSetMetricString(WU_DEFAULT_METRIC, 1, u"x"));
  EXPECT_EQ(E_FAIL, WuSetMetricBinary(WU_DEFAULT_METRIC, 1, "x", 1));
  EXPECT_EQ(E_FAIL, WuSetMetricMultiString(WU_DEFAULT_METRIC, 1, u"x\0", 3));
  EXPECT_EQ(7, WuGetMetricStringEx(WU_DEFAULT_METRIC, 1, text, 8, u"def", FALSE));
}

TEST_F(WuMetricTest, BinaryReads) {
  Open(0);
  BYTE buffer[4] = {9, 9, 9, 9};
  DWORD bytes = 99;
  EXPECT_EQ(S_FALSE, WuGetMetricBinaryEx(store_, 2, buffer, 4, &bytes));
  EXPECT_EQ(0u, bytes);
  EXPECT_EQ(0, WuGetMetricBinary(store_, 2, buffer, 4));
  EXPECT_EQ(0, buffer[0] | buffer[1] | buffer[2] | buffer[3]);

  const BYTE six[6] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(S_OK, WuSetMetricBinary(store_, 2, six, 6));
  EXPECT_EQ(WU_E_BUFFER_TOO_SMALL, WuGetMetricBinaryEx(store_, 2, buffer, 4, &bytes));
  EXPECT_EQ(6u, bytes);
  EXPECT_EQ(0, WuGetMetricBinary(store_, 2, buffer, 4));
  EXPECT_EQ(E_INVALIDARG, WuGetMetricBinaryEx(store_, 2, buffer, 4, nullptr));
  EXPECT_EQ(WU_E_NOT_FOUND, WuGetMetricBinaryEx(nullptr, 2, buffer, 4, &bytes));
  BYTE big[8];
  EXPECT_EQ(S_OK, WuGetMetricBinaryEx(store_, -2, big, 8, &bytes));
  EXPECT_EQ(6u, bytes);
  EXPECT_EQ(0, std::memcmp(six, big, 6));
}

TEST_F(WuMetricTest, AnyKind) {
  Open(0);
  ASSERT_EQ(S_OK, WuSetMetric(store_, 1, 77));
  ASSERT_EQ(S_OK, WuSetMetricString(store_, 2, u"abc"));
  ASSERT_EQ(S_OK, WuSetMetricBinary(store_, 3, "\x01\x02", 2));

  struct Case {
    int number;
    DWORD type;
    DWORD size;
    HRESULT hr;
    DWORD bytes;
  };
  const Case cases[] = {
      {1, REG_DWORD, 4, S_OK, 4},
      {2, REG_SZ, 16, S_OK, 8},
      {2, REG_SZ, 8, S_OK, 8},                   // fits with its terminator
      {2, REG_SZ, 6, WU_E_BUFFER_TOO_SMALL, 8},  // needs 8
      {3, REG_BINARY, 4, S_OK, 2},
      {1, REG_SZ, 16, WU_E_NOT_FOUND, 0},  // no text of that number
      {4, REG_DWORD, 4, WU_E_NOT_FOUND, 0},
  };
  for (const Case& c : cases) {
    BYTE buffer[16];
    DWORD type = c.type;
    DWORD bytes = 0;
    EXPECT_EQ(c.hr, WuGetMetricAny(store_, c.number, &type, buffer, c.size, &bytes))
        << c.number << "/" << c.type << "/" << c.size;
    EXPECT_EQ(c.bytes, bytes) << c.number << "/" << c.type << "/" << c.size;
  }

  // A text stored without its terminator that fills the buffer exactly is
  // terminated inside it.
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(store_->key, u"S5", 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(u"wxyz"), 8));
  WCHAR text[4];
  DWORD type = REG_SZ;
  DWORD bytes = 0;
  EXPECT_EQ(WU_E_BUFFER_TOO_SMALL, WuGetMetricAny(store_, 5, &type, text, sizeof text, &bytes));
  EXPECT_EQ(10u, bytes);
  EXPECT_EQ(u"wxy", std::u16string(text));

  EXPECT_EQ(E_UNEXPECTED, WuGetMetricAny(nullptr, 1, &type, text, sizeof text, &bytes));
}

TEST_F(WuMetricTest, ExistenceAndDeletion) {
  Open(0);
  ASSERT_EQ(S_OK, WuSetMetricString(store_, 6, u"longer than a byte"));
  EXPECT_EQ(S_OK, WuDoesMetricExist(store_, 6, REG_SZ));
  EXPECT_EQ(S_FALSE, WuDoesMetricExist(store_, 6, REG_DWORD));
  EXPECT_EQ(S_OK, WuDeleteMetric(store_, -6, REG_SZ));
  EXPECT_EQ(S_FALSE, WuDoesMetricExist(store_, 6, REG_SZ));
  EXPECT_EQ(E_FAIL, WuDeleteMetric(store_, 6, REG_SZ));
  ASSERT_EQ(S_OK, WuSetMetricUsingName(store_, u"N", 1));
  EXPECT_EQ(S_OK, WuDeleteMetricUsingName(store_, u"N", REG_DWORD));
  EXPECT_EQ(S_FALSE, WuDoesMetricExist(nullptr, 6, REG_SZ));
  EXPECT_EQ(S_FALSE, WuDeleteMetric(nullptr, 6, REG_SZ));
  EXPECT_EQ(S_FALSE, WuDeleteMetric(WU_DEFAULT_METRIC, 6, REG_SZ));
}

TEST_F(WuMetricTest, ReadsGiveDefaultsWhenNoKeyCanBeOpened) {
  // An empty application name makes an empty key name, which the registry
  // refuses: the store opens without a key.
  ASSERT_EQ(S_OK, WuMetric_Open(&store_, u"", 0, nullptr));
  ASSERT_NE(nullptr, store_);
  EXPECT_EQ(nullptr, store_->key);
  for (HWUMETRIC store : {store_, WU_DEFAULT_METRIC, static_cast<HWUMETRIC>(nullptr)}) {
    EXPECT_EQ(0, WuGetMetric(store, 1));
    EXPECT_EQ(5, WuGetMetricEx(store, 1, 0, 0, 5));
    EXPECT_TRUE(WuGetMetricBool(store, 1, TRUE));
    WCHAR text[8];
    EXPECT_EQ(3, WuGetMetricStringEx(store, 1, text, 8, u"def", TRUE));
    EXPECT_EQ(u"def", std::u16string(text));
    EXPECT_EQ(E_FAIL, WuSetMetric(store, 1, 1));
    EXPECT_EQ(S_FALSE, WuDoesMetricExist(store, 1, REG_DWORD));
  }
}

TEST_F(WuMetricTest, DefaultStore) {
  Open(0);
  EXPECT_EQ(E_FAIL, WuSetMetric(WU_DEFAULT_METRIC, 1, 3));
  WuMetric_SetDefault(store_);
  EXPECT_EQ(S_OK, WuSetMetric(WU_DEFAULT_METRIC, 1, 3));
  EXPECT_EQ(3, WuGetMetric(store_, 1));
  EXPECT_EQ(0, WuMetric_Close(WU_DEFAULT_METRIC));  // the handle value itself is not a store
  EXPECT_EQ(3, WuGetMetric(WU_DEFAULT_METRIC, 1));
  WuMetric_Close(store_);  // closing the default store clears the slot
  store_ = nullptr;
  EXPECT_EQ(0, WuGetMetric(WU_DEFAULT_METRIC, 1));
}

TEST_F(WuMetricTest, DeletingKeys) {
  Open(0x03000000, u"Sub");
  ASSERT_EQ(S_OK, WuSetMetric(store_, 1, 1));
  HWUMETRIC deeper = nullptr;
  ASSERT_EQ(S_OK, WuMetric_OpenAppVersion(&deeper, store_->key_path, u"Deeper\\Still"));
  ASSERT_EQ(S_OK, WuSetMetric(deeper, 1, 1));
  WuMetric_Close(deeper);

  const std::u16string versioned = u"Software\\Talvene\\App\\3.0";
  EXPECT_EQ(S_OK, WuMetric_CloseAndDeleteKey(store_));
  store_ = nullptr;
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, versioned + u"\\Metrics\\Sub"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, versioned + u"\\Metrics"));
  EXPECT_EQ(E_FAIL, WuMetric_CloseAndDeleteKey(nullptr));

  HWUMETRIC machine_side = nullptr;
  HKEY machine = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyW(HKEY_LOCAL_MACHINE, (versioned + u"\\Metrics").c_str(), &machine));
  RegCloseKey(machine);
  EXPECT_EQ(0, WuMetric_DeleteKey(u"App", 0x03000000, nullptr));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, versioned + u"\\Metrics"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, versioned + u"\\Metrics"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, versioned));

  ASSERT_EQ(S_OK, WuMetric_Open(&machine_side, u"App", 0, nullptr));
  WuMetric_Close(machine_side);
  EXPECT_EQ(0, WuMetric_DeleteAll(u"App", 0x03000000));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, versioned));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, u"Software\\Talvene\\App\\Metrics"));
  EXPECT_EQ(0, WuMetric_DeleteAll(u"App", 0));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, u"Software\\Talvene\\App"));
  EXPECT_EQ(0, WuMetric_DeleteAll(u"Missing", 0));
}

TEST(WuMetricNameTest, ProfileFileNames) {
  struct Case {
    int number;
    DWORD type;
    const char16_t* name;
  };
  const Case cases[] = {{5, REG_SZ, u"S5"},     {-5, REG_BINARY, u"B5"},
                        {7, REG_DWORD, u"D7"},  {7, REG_MULTI_SZ, u"Z7"},
                        {12, REG_NONE, u"Z12"}, {INT32_MIN, REG_SZ, u"S2147483648"}};
  for (const Case& c : cases) {
    WCHAR out[16];
    EXPECT_EQ(static_cast<int>(std::u16string(c.name).size()),
              WuMetricGetName(c.number, c.type, out));
    EXPECT_EQ(std::u16string(c.name), out);
  }
}

TEST_F(WuMetricTest, StreamsRoundTripABinarySetting) {
  Open(0x07000000);
  IStream* source = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &source), S_OK);
  const char data[] = "window placement \x01\x02\x00\x03";
  source->Write(data, sizeof(data), nullptr);  // the pointer is now at the end
  EXPECT_EQ(WuSetMetricStream(store_, 40, source), S_OK);
  BYTE stored[64];
  EXPECT_EQ(WuGetMetricBinary(store_, 40, stored, sizeof(stored)), static_cast<int>(sizeof(data)));
  EXPECT_EQ(std::memcmp(stored, data, sizeof(data)), 0);

  // Read back into a stream that already holds something: appended at the
  // pointer, which is left at the setting's start.
  IStream* target = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target), S_OK);
  target->Write("ab", 2, nullptr);
  EXPECT_EQ(WuGetMetricStream(store_, -40, target), S_OK);
  char back[64] = {};
  ULONG read = 0;
  EXPECT_EQ(target->Read(back, sizeof(back), &read), S_OK);
  EXPECT_EQ(read, sizeof(data));
  EXPECT_EQ(std::memcmp(back, data, sizeof(data)), 0);

  // Errors.
  IStream* empty = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &empty), S_OK);
  EXPECT_EQ(WuSetMetricStream(store_, 41, empty), E_UNEXPECTED);
  EXPECT_EQ(WuGetMetricStream(store_, 41, empty), E_UNEXPECTED);  // missing
  EXPECT_EQ(WuSetMetricBinary(store_, 42, nullptr, 0), S_OK);
  EXPECT_EQ(WuGetMetricStream(store_, 42, empty), E_UNEXPECTED);  // empty setting
  EXPECT_EQ(WuSetMetricStream(store_, 41, nullptr), E_POINTER);
  EXPECT_EQ(WuGetMetricStream(store_, 40, nullptr), E_POINTER);
  std::string big(WUMETRIC_MAX_STREAM + 1, 'z');
  empty->Write(big.data(), static_cast<ULONG>(big.size()), nullptr);
  EXPECT_EQ(WuSetMetricStream(store_, 43, empty), E_INVALIDARG);
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  ULARGE_INTEGER exact;
  exact.QuadPart = WUMETRIC_MAX_STREAM;
  empty->SetSize(exact);
  empty->Seek(zero, STREAM_SEEK_SET, nullptr);
  EXPECT_EQ(WuSetMetricStream(store_, 43, empty), S_OK);  // 2,048 bytes fit
  source->Release();
  target->Release();
  empty->Release();
}

}  // namespace
