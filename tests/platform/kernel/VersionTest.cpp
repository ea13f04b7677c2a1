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

// ---- Version blocks in a section of an ELF program ----

namespace {

// A little-endian ELF file (64-bit, or 32-bit with `wide` false) without
// program headers: the null section, ".shstrtab" and, unless `with_section`
// is false, ".wuversion" holding `block`. The offsets of the fields the
// damage cases patch are kept (64-bit files only).
struct ElfFile {
  std::string bytes;
  size_t shoff_field = 40;      // e_shoff in the ELF header
  size_t names_offset = 0;      // sh_offset of ".shstrtab"
  size_t section_offset = 0;    // sh_offset of ".wuversion"
  size_t section_size = 0;      // sh_size of ".wuversion"
  size_t block_at = 0;          // where its bytes are

  void Patch64(size_t at, uint64_t v) {
    for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  }
};

ElfFile MakeElf(const std::string& block, bool with_section = true, bool wide = true) {
  using wutest::Put16;
  using wutest::Put32;
  // Addresses and offsets: 8 bytes in a 64-bit file, 4 in a 32-bit one.
  auto put_word = [wide](std::string* out, uint64_t v) {
    Put32(out, static_cast<unsigned>(v & 0xFFFFFFFF));
    if (wide) Put32(out, static_cast<unsigned>(v >> 32));
  };
  const std::string names("\0.shstrtab\0.wuversion\0", 22);
  const size_t names_at = wide ? 64 : 52;
  const size_t block_at = (names_at + names.size() + 3) & ~size_t{3};
  const size_t table_at = (block_at + block.size() + 7) & ~size_t{7};
  const unsigned count = with_section ? 3 : 2;

  ElfFile f;
  f.block_at = block_at;
  std::string& out = f.bytes;
  out.append("\x7f" "ELF", 4);
  out.push_back(wide ? 2 : 1);  // 64-bit or 32-bit
  out.append("\x01\x01", 2);   // little-endian, version 1
  out.resize(16, '\0');
  Put16(&out, 2);      // e_type: a program
  Put16(&out, 62);     // e_machine: x86-64
  Put32(&out, 1);      // e_version
  put_word(&out, 0);      // e_entry
  put_word(&out, 0);      // e_phoff
  put_word(&out, table_at);  // e_shoff
  Put32(&out, 0);      // e_flags
  Put16(&out, wide ? 64 : 52);  // e_ehsize
  Put16(&out, wide ? 56 : 32);  // e_phentsize
  Put16(&out, 0);      // e_phnum
  Put16(&out, wide ? 64 : 40);  // e_shentsize
  Put16(&out, count);  // e_shnum
  Put16(&out, 1);      // e_shstrndx
  out += names;
  out.resize(block_at, '\0');
  if (with_section) out += block;
  out.resize(table_at, '\0');
  auto section = [&](unsigned name, unsigned type, uint64_t offset, uint64_t size) {
    size_t start = out.size();
    Put32(&out, name);
    Put32(&out, type);
    put_word(&out, 0);  // sh_flags
    put_word(&out, 0);  // sh_addr
    put_word(&out, offset);
    put_word(&out, size);
    Put32(&out, 0);  // sh_link
    Put32(&out, 0);  // sh_info
    put_word(&out, 1);  // sh_addralign
    put_word(&out, 0);  // sh_entsize
    return start;
  };
  section(0, 0, 0, 0);
  f.names_offset = section(1, 3, names_at, names.size()) + (wide ? 24 : 16);
  if (with_section) {
    f.section_offset = section(11, 1, block_at, block.size()) + (wide ? 24 : 16);
    f.section_size = f.section_offset + (wide ? 8 : 4);
  }
  return f;
}

}  // namespace

TEST_F(VersionTest, ElfProgramCarriesItsBlockInASection) {
  std::string block = SampleBlock();
  for (bool wide : {true, false}) {
    std::vector<BYTE> read = Read(Write("tool", MakeElf(block, true, wide).bytes));
    ASSERT_EQ(read.size(), block.size()) << wide;
    EXPECT_EQ(std::memcmp(read.data(), block.data(), block.size()), 0) << wide;
  }

  // Without the section the program has no block, as any other file.
  std::u16string bare = Write("bare", MakeElf(block, false).bytes);
  SetLastError(0);
  EXPECT_EQ(GetFileVersionInfoSizeW(bare.c_str(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
}

TEST_F(VersionTest, DamagedElfFilesAreBadFormat) {
  std::string block = SampleBlock();
  const uint64_t kFar = 0x7FFFFFFFFFFFFFF0ull;
  struct Case {
    const char* name;
    void (*damage)(ElfFile*, uint64_t);
  };
  const Case cases[] = {
      {"section starts past the end",
       [](ElfFile* f, uint64_t) { f->Patch64(f->section_offset, f->bytes.size() + 4); }},
      {"section ends one byte past the end",
       [](ElfFile* f, uint64_t) { f->Patch64(f->section_size, f->bytes.size() + 1 - f->block_at); }},
      {"section size wraps the offset", [](ElfFile* f, uint64_t far) { f->Patch64(f->section_size, far); }},
      {"section table past the end",
       [](ElfFile* f, uint64_t) { f->Patch64(f->shoff_field, f->bytes.size() - 64); }},
      {"section table offset wraps", [](ElfFile* f, uint64_t far) { f->Patch64(f->shoff_field, far); }},
      {"name table past the end",
       [](ElfFile* f, uint64_t) { f->Patch64(f->names_offset, f->bytes.size()); }},
      {"file cut inside the section table", [](ElfFile* f, uint64_t) { f->bytes.resize(f->bytes.size() - 10); }},
      {"big-endian", [](ElfFile* f, uint64_t) { f->bytes[5] = 2; }},
  };
  for (const Case& c : cases) {
    ElfFile elf = MakeElf(block);
    c.damage(&elf, kFar);
    std::u16string path = Write("damaged", elf.bytes);
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(path.c_str(), nullptr), 0u) << c.name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT)) << c.name;
    std::vector<BYTE> out(block.size() + 16, 0xAB);
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(out.size()), out.data()))
        << c.name;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT)) << c.name;
    EXPECT_EQ(out[0], 0xAB) << c.name;
  }
  // A section whose bytes are no version block is damaged too.
  std::u16string junk = Write("junk", MakeElf(std::string("\x40\x00\x00\x00", 4)).bytes);
  EXPECT_EQ(GetFileVersionInfoSizeW(junk.c_str(), nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT));
}

TEST_F(VersionTest, BuiltProgramCarriesTheBlockOfItsScript) {
  // The child program gets its block from kernel/ChildProgram.rc through
  // wu_add_version_section; the file is read, the program never runs.
  std::vector<BYTE> read = Read(U16(WU_CHILD_PROGRAM));
  ASSERT_FALSE(read.empty());
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(read.data(), u"\\", &value, &length));
  EXPECT_EQ(static_cast<VS_FIXEDFILEINFO*>(value)->dwFileVersionMS, 0x00010002u);
  const std::pair<const char16_t*, const char16_t*> texts[] = {
      {u"WuCharSet", u"1200"},      {u"WuLangName", u"English"},
      {u"WuLangID", u"0409"},       {u"FileVersion", u"1.2.3.4"},
      {u"CompanyName", u"Talvene Test"}, {u"FileDescription", u"Argument Recorder"}};
  for (const auto& [key, text] : texts) {
    std::u16string path = std::u16string(u"\\StringFileInfo\\040904B0\\") + key;
    ASSERT_TRUE(VerQueryValueW(read.data(), path.c_str(), &value, &length)) << wutest::U8(key);
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(value)), text);
  }
}
