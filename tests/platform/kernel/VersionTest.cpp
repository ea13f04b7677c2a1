// Version blocks of files: read from a resource file, queried by path, and
// refused for files that carry none, for damaged blocks and for blocks cut
// short by a small buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/version.h"
#include "tests/common/TestUtil.h"
#include "tests/common/VersionBlock.h"

namespace {

using wutest::U16;

using wutest::ResourceFile;

// A block with file version 2.5.17.3, one string table 040904B0 and its
// translation.
std::string SampleBlock() {
  return wutest::VersionBlock(
      wutest::FixedInfo({0x00020005u, 0x00110003u, 0x00020005u, 0u, 0x3Fu, 0u, 4u, 1u}), u"040904B0",
      {{u"FileVersion", u"2.5.17.3"}, {u"ProductName", u"Sample Tool"}, {u"Empty", u""}}, 0x04B00409);
}

class VersionTest : public ::testing::Test {
 protected:
  std::u16string Write(const char* name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    wutest::WriteBytes(path, bytes);
    return U16(path);
  }
  std::vector<BYTE> Read(const std::u16string& path) {
    DWORD handle = 7;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    EXPECT_EQ(handle, 0u);
    std::vector<BYTE> block(size);
    if (size) {
      EXPECT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    }
    return block;
  }
  std::string dir_ = wutest::MakeTempDir("version");
};

TEST_F(VersionTest, ReadsBlockFromResourceFileAndQueriesIt) {
  std::string block = SampleBlock();
  std::u16string path = Write("tool.dll", ResourceFile({{6, 1, "xx"}, {16, 1, block}}));
  std::vector<BYTE> read = Read(path);
  ASSERT_EQ(read.size(), block.size());
  EXPECT_EQ(std::memcmp(read.data(), block.data(), block.size()), 0);

  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(read.data(), u"\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  auto* fixed = static_cast<VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00110003u);

  ASSERT_TRUE(VerQueryValueW(read.data(), u"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u);
  DWORD pair;
  std::memcpy(&pair, value, 4);
  EXPECT_EQ(pair, 0x04B00409u);

  // Keys compare without regard to case; a text's length counts characters
  // with the terminator.
  ASSERT_TRUE(VerQueryValueW(read.data(), u"\\StringFileInfo\\040904b0\\productname", &value, &length));
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), u"Sample Tool");
  EXPECT_EQ(length, 12u);
}

TEST_F(VersionTest, MissingPathsAndNodesWithoutValueAreNotFound) {
  std::vector<BYTE> read = Read(Write("tool.dll", ResourceFile({{16, 1, SampleBlock()}})));
  ASSERT_FALSE(read.empty());
  for (const char16_t* path : {u"\\StringFileInfo\\040904B0\\Comments", u"\\StringFileInfo\\04070000\\FileVersion",
                               u"\\VarFileInfo\\Translation\\More", u"\\StringFileInfo"}) {
    void* value = reinterpret_cast<void*>(1);
    UINT length = 9;
    EXPECT_FALSE(VerQueryValueW(read.data(), path, &value, &length)) << wutest::U8(path);
    EXPECT_EQ(value, nullptr);
    EXPECT_EQ(length, 0u);
  }
}

TEST_F(VersionTest, FilesWithoutVersionBlockReportNone) {
  struct Case {
    const char* name;
    std::string bytes;  // empty: the file is not written
    DWORD error;
  } cases[] = {
      {"plain.txt", "just some text", ERROR_RESOURCE_DATA_NOT_FOUND},
      {"strings.dll", ResourceFile({{6, 1, "abcd"}}), ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"missing.dll", "", ERROR_FILE_NOT_FOUND},
      {"damaged.dll", std::string("WURM\x01\x00\x10\x00garbage", 15), ERROR_BAD_FORMAT},
      {"badroot.dll", ResourceFile({{16, 1, std::string("\x40\x00\x00\x00", 4)}}), ERROR_BAD_FORMAT},
  };
  for (const Case& c : cases) {
    std::u16string path = c.bytes.empty() ? U16(dir_ + "/" + c.name) : Write(c.name, c.bytes);
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(path.c_str(), nullptr), 0u) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    BYTE buffer[64];
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, sizeof(buffer), buffer)) << c.name;
  }
}

TEST_F(VersionTest, ShortBufferCutsTheBlockAndQueriesStayInside) {
  std::string block = SampleBlock();
  std::u16string path = Write("tool.dll", ResourceFile({{16, 1, block}}));
  // Room for the root and its fixed part only: the string tables are cut off.
  std::vector<BYTE> cut(100, 0xCC);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, 100, cut.data()));
  void* value = nullptr;
  UINT length = 0;
  EXPECT_TRUE(VerQueryValueW(cut.data(), u"\\", &value, &length));
  EXPECT_FALSE(VerQueryValueW(cut.data(), u"\\VarFileInfo\\Translation", &value, &length));
  EXPECT_FALSE(VerQueryValueW(cut.data(), u"\\StringFileInfo\\040904B0\\ProductName", &value, &length));
}

TEST_F(VersionTest, ChildLongerThanItsParentIsRefused) {
  std::string block = SampleBlock();
  // The "StringFileInfo" node starts right after the root's 52-byte value;
  // make it claim more than the root holds.
  size_t at = block.find(std::string("S\0t\0r\0i\0n\0g\0F", 13)) - 6;
  block[at] = static_cast<char>(0xF0);
  block[at + 1] = 0x7F;
  std::vector<BYTE> read = Read(Write("tool.dll", ResourceFile({{16, 1, block}})));
  ASSERT_FALSE(read.empty());
  void* value = nullptr;
  UINT length = 0;
  EXPECT_FALSE(VerQueryValueW(read.data(), u"\\StringFileInfo\\040904B0\\ProductName", &value, &length));
  EXPECT_TRUE(VerQueryValueW(read.data(), u"\\", &value, &length));
}

}  // namespace
