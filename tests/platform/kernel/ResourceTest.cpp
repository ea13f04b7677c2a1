// The resource store: compiled-in resources of the program and of a named
// module, lookups by type, name and language with the fall-back order,
// string blocks, enumeration, resources added at run time, and resource
// files loaded as modules (including damaged ones).
//
// The compiled resources come from ResourceTest.rc and ResourceModule.rc;
// the resource file WU_TEST_LNG is built from ResourceLang.rc by the
// resource compiler.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

std::string Bytes(HMODULE module, HRSRC r) {
  HGLOBAL g = LoadResource(module, r);
  if (!g) return "<not loaded>";
  return std::string(static_cast<const char*>(LockResource(g)), SizeofResource(module, r));
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loaded_at_start_ = platform::LoadedModuleCount();
    platform::SetUserLocale(0x409, 0x409);
    SetThreadUILanguage(0);
  }
  void TearDown() override {
    SetThreadUILanguage(0);
    platform::SetUserLocale(0, 0);
    EXPECT_EQ(platform::LoadedModuleCount(), loaded_at_start_);
  }
  size_t loaded_at_start_ = 0;
};

TEST_F(ResourceTest, FindsCompiledResourcesByTypeNameAndLanguage) {
  std::string image = ReadFileBytes(WU_TEST_IMAGE);
  ASSERT_FALSE(image.empty());
  struct Case {
    LPCWSTR type;
    LPCWSTR name;
    int language;        // -1: FindResourceW
    const char* bytes;   // expected bytes, or null when not found
    DWORD error;         // last error when not found
  };
  const Case cases[] = {
      {u"PNG", MAKEINTRESOURCEW(107), -1, image.c_str(), 0},
      {u"png", u"#107", -1, image.c_str(), 0},              // any case; "#n" is the id n
      {RT_RCDATA, u"hello", -1, "ABCDEFGH", 0},             // strings, 16- and 32-bit items
      {RT_RCDATA, u"HELLO", 0x40C, "FR", 0},                // exact language
      {RT_RCDATA, u"HELLO", 0xC0C, "fr", 0},                // the primary language's neutral form
      {RT_RCDATA, u"HELLO", 0x407, nullptr, ERROR_RESOURCE_LANG_NOT_FOUND},
      {RT_RCDATA, u"HELLO", 0, "ABCDEFGH", 0},              // language 0: the default order
      {RT_RCDATA, u"EMPTY", -1, "", 0},
      {RT_RCDATA, u"NEUTRAL", -1, "neutral", 0},            // neutral before user default
      {RT_RCDATA, u"ONLYJA", -1, "ja only", 0},             // else any language
      {RT_RCDATA, u"MISSING", -1, nullptr, ERROR_RESOURCE_NAME_NOT_FOUND},
      {u"NOTYPE", u"HELLO", -1, nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND},
      {RT_RCDATA, u"#0", -1, nullptr, ERROR_RESOURCE_NAME_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "language " << c.language);
    SetLastError(0);
    HRSRC r = c.language < 0 ? FindResourceW(nullptr, c.name, c.type)
                             : FindResourceExW(nullptr, c.type, c.name, static_cast<WORD>(c.language));
    if (!c.bytes) {
      EXPECT_EQ(r, nullptr);
      EXPECT_EQ(GetLastError(), c.error);
      continue;
    }
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(Bytes(nullptr, r), std::string(c.bytes, c.bytes == image.c_str() ? image.size() : strlen(c.bytes)));
  }
}

TEST_F(ResourceTest, DefaultOrderFollowsTheThreadThenTheUser) {
  struct Case {
    LANGID thread;       // the thread's UI language (0: the user's)
    LANGID user;         // the user's UI language
    LPCWSTR name;        // resource
    const char* bytes;   // what is found
  };
  const Case cases[] = {
      {0, 0x409, u"HELLO", "ABCDEFGH"},
      {0x40C, 0x409, u"HELLO", "FR"},        // the thread first
      {0x411, 0x40C, u"HELLO", "FR"},        // then the user, before 1033
      {0x411, 0x40C, u"NEUTRAL", "ja"},
      {0x407, 0x411, u"NEUTRAL", "neutral"}, // neutral before the user
  };
  for (const Case& c : cases) {
    platform::SetUserLocale(c.user, c.user);
    SetThreadUILanguage(c.thread);
    EXPECT_EQ(Bytes(nullptr, FindResourceW(nullptr, c.name, RT_RCDATA)), c.bytes)
        << std::hex << c.thread << " " << c.user;
  }
}

TEST_F(ResourceTest, HandlesOfOtherModulesAreRefused) {
  HMODULE named = GetModuleHandleW(u"WuTestResources");
  ASSERT_NE(named, nullptr);
  HRSRC r = FindResourceW(nullptr, u"HELLO", RT_RCDATA);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(LoadResource(named, r), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SizeofResource(named, r), 0u);
  EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&r)), nullptr);
  EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(0x12345), u"HELLO", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ResourceTest, LoadStringReadsBlocksOfSixteen) {
  WCHAR buffer[32];
  EXPECT_EQ(LoadStringW(nullptr, 17, buffer, 32), 9);  // block 2, entry 1
  EXPECT_EQ(std::u16string(buffer), u"seventeen");
  EXPECT_EQ(LoadStringW(nullptr, 18, buffer, 32), 8);
  EXPECT_EQ(std::u16string(buffer), u"^*marked");  // the platform keeps markers
  // Cut to the buffer: size-1 characters, terminated; the count copied.
  EXPECT_EQ(LoadStringW(nullptr, 17, buffer, 4), 3);
  EXPECT_EQ(std::u16string(buffer), u"sev");
  // Size 0: the text in place.
  const WCHAR* in_place = nullptr;
  EXPECT_EQ(LoadStringW(nullptr, 17, reinterpret_cast<LPWSTR>(&in_place), 0), 9);
  ASSERT_NE(in_place, nullptr);
  EXPECT_EQ(std::u16string(in_place, 9), u"seventeen");
  // Missing entries of an existing block and missing blocks.
  buffer[0] = u'x';
  EXPECT_EQ(LoadStringW(nullptr, 2, buffer, 32), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(LoadStringW(nullptr, 999, buffer, 32), 0);
  // The thread's language picks the block.
  SetThreadUILanguage(0x407);
  EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 32), 4);
  EXPECT_EQ(std::u16string(buffer), u"eins");
}

TEST_F(ResourceTest, EnumerationGivesNamesFirstAndLanguagesInOrder) {
  std::vector<WORD> languages;
  auto collect = [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR p) -> BOOL {
    reinterpret_cast<std::vector<WORD>*>(p)->push_back(language);
    return TRUE;
  };
  ASSERT_TRUE(EnumResourceLanguagesW(nullptr, RT_RCDATA, u"hello", collect,
                                     reinterpret_cast<LONG_PTR>(&languages)));
  EXPECT_EQ(languages, (std::vector<WORD>{0x00C, 0x409, 0x40C}));

  auto stop = [](HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR) -> BOOL { return FALSE; };
  EXPECT_FALSE(EnumResourceLanguagesW(nullptr, RT_RCDATA, u"HELLO", stop, 0));
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_ENUM_USER_STOP);
  EXPECT_FALSE(EnumResourceLanguagesW(nullptr, RT_RCDATA, u"NONE", collect, 0));
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);

  std::vector<std::u16string> names;
  auto name_of = [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR p) -> BOOL {
    reinterpret_cast<std::vector<std::u16string>*>(p)->push_back(
        IS_INTRESOURCE(name) ? u"#" + U16(std::to_string(reinterpret_cast<ULONG_PTR>(name))) : name);
    return TRUE;
  };
  ASSERT_TRUE(EnumResourceNamesW(nullptr, RT_RCDATA, name_of, reinterpret_cast<LONG_PTR>(&names)));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"EMPTY", u"HELLO", u"NEUTRAL", u"ONLYJA"}));
  names.clear();
  ASSERT_TRUE(EnumResourceNamesW(nullptr, RT_STRING, name_of, reinterpret_cast<LONG_PTR>(&names)));
  EXPECT_EQ(names, (std::vector<std::u16string>{u"#1", u"#2"}));

  std::vector<std::u16string> types;
  auto type_of = [](HMODULE, LPWSTR type, LONG_PTR p) -> BOOL {
    reinterpret_cast<std::vector<std::u16string>*>(p)->push_back(
        IS_INTRESOURCE(type) ? u"#" + U16(std::to_string(reinterpret_cast<ULONG_PTR>(type))) : type);
    return TRUE;
  };
  ASSERT_TRUE(EnumResourceTypesW(nullptr, type_of, reinterpret_cast<LONG_PTR>(&types)));
  EXPECT_EQ(types, (std::vector<std::u16string>{u"PNG", u"#6", u"#10"}));
}

TEST_F(ResourceTest, NamedModulesCarryTheirOwnResources) {
  HMODULE named = GetModuleHandleW(u"wutestresources.dll");
  ASSERT_NE(named, nullptr);
  EXPECT_NE(named, GetModuleHandleW(nullptr));
  EXPECT_EQ(LoadLibraryW(u"WuTestResources"), named);  // no reference is counted
  EXPECT_TRUE(FreeLibrary(named));
  EXPECT_EQ(GetModuleHandleW(u"WuTestResources"), named);
  EXPECT_EQ(Bytes(named, FindResourceW(named, MAKEINTRESOURCEW(5), RT_RCDATA)), "module five");
  EXPECT_EQ(FindResourceW(nullptr, MAKEINTRESOURCEW(5), RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceW(named, u"HELLO", RT_RCDATA), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"NoSuchResources"), nullptr);
}

TEST_F(ResourceTest, ResourcesAddedAtRunTimeReplaceAndStayReadable) {
  HMODULE m = platform::CreateExportModule(u"RuntimeResources", nullptr, 0);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(FindResourceW(m, u"DATA", RT_RCDATA), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_DATA_NOT_FOUND);
  const platform::ResourceItem first[] = {{RT_RCDATA, u"data", 0x409, "first", 5}};
  ASSERT_TRUE(platform::AddModuleResources(m, first, 1));
  HRSRC r = FindResourceW(m, u"DATA", RT_RCDATA);
  const char* old_bytes = static_cast<const char*>(LockResource(LoadResource(m, r)));
  const platform::ResourceItem second[] = {{RT_RCDATA, u"DATA", 0x409, "second", 6}};
  ASSERT_TRUE(platform::AddModuleResources(m, second, 1));
  EXPECT_EQ(Bytes(m, FindResourceW(m, u"DATA", RT_RCDATA)), "second");
  EXPECT_EQ(std::string(old_bytes, 5), "first");

  const platform::ResourceItem bad[] = {{RT_RCDATA, u"OK", 0x409, "x", 1},
                                        {RT_RCDATA, u"", 0x409, "y", 1}};
  EXPECT_FALSE(platform::AddModuleResources(m, bad, 2));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(FindResourceW(m, u"OK", RT_RCDATA), nullptr);  // nothing was added
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_FALSE(platform::AddModuleResources(m, first, 1));
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST_F(ResourceTest, ResourceFilesLoadAsModules) {
  std::string dir = wutest::MakeTempDir("lng");
  std::string path = dir + "/app.LNG";
  WriteFileBytes(path, ReadFileBytes(WU_TEST_LNG));
  HMODULE lng = LoadLibraryW(U16(path).c_str());
  ASSERT_NE(lng, nullptr);
  EXPECT_EQ(LoadLibraryExW(U16(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), lng);
  EXPECT_TRUE(FreeLibrary(lng));
  EXPECT_EQ(GetProcAddress(lng, "anything"), nullptr);

  HRSRC block = FindResourceExW(lng, RT_STRING, MAKEINTRESOURCEW(3), 0x407);  // ids 32..47
  ASSERT_NE(block, nullptr);
  const WCHAR* text = nullptr;
  DWORD count = 0;
  ASSERT_TRUE(platform::StringBlockEntry(LockResource(LoadResource(lng, block)),
                                         SizeofResource(lng, block), 8, &text, &count));
  EXPECT_EQ(std::u16string(text, count), std::u16string(u"vierzig", 8));  // stored terminated
  EXPECT_FALSE(platform::StringBlockEntry(LockResource(LoadResource(lng, block)), 3, 8, &text, &count));

  WCHAR buffer[16];
  EXPECT_EQ(LoadStringW(lng, 2, buffer, 16), 4);
  EXPECT_EQ(std::u16string(buffer), u"zwei");
  EXPECT_EQ(Bytes(lng, FindResourceW(lng, u"named resource", u"NAMED TYPE")),
            std::string("w\0i\0d\0e\0", 8));
  EXPECT_EQ(Bytes(lng, FindResourceExW(lng, RT_VERSION, MAKEINTRESOURCEW(1), 0x40C)), "version-fr");

  // Texts read in place stay readable after the module is gone.
  const WCHAR* in_place = nullptr;
  ASSERT_EQ(LoadStringW(lng, 40, reinterpret_cast<LPWSTR>(&in_place), 0), 7);
  EXPECT_TRUE(FreeLibrary(lng));
  EXPECT_EQ(platform::LookupModule(lng), nullptr);
  EXPECT_EQ(std::u16string(in_place, 7), u"vierzig");
}

// A file rewritten with other bytes of the same size and time (within one
// tick of the file system's clock) loads with its new bytes, and a text read
// in place from the old ones stays readable.
TEST_F(ResourceTest, RewrittenResourceFileLoadsItsNewBytes) {
  std::string dir = wutest::MakeTempDir("relng");
  std::string path = dir + "/app.LNG";
  std::string bytes = ReadFileBytes(WU_TEST_LNG);
  WriteFileBytes(path, bytes);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  HMODULE first = LoadLibraryW(U16(path).c_str());
  ASSERT_NE(first, nullptr);
  const WCHAR* old_text = nullptr;
  ASSERT_EQ(LoadStringW(first, 2, reinterpret_cast<LPWSTR>(&old_text), 0), 4);
  EXPECT_TRUE(FreeLibrary(first));

  // "zwei" becomes "drei" in place; size and time stay as they were.
  std::string zwei("z\0w\0e\0i\0", 8), drei("d\0r\0e\0i\0", 8);
  size_t at = bytes.find(zwei);
  ASSERT_NE(at, std::string::npos);
  bytes.replace(at, zwei.size(), drei);
  WriteFileBytes(path, bytes);
  struct timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

  HMODULE second = LoadLibraryW(U16(path).c_str());
  ASSERT_NE(second, nullptr);
  WCHAR buffer[16];
  EXPECT_EQ(LoadStringW(second, 2, buffer, 16), 4);
  EXPECT_EQ(std::u16string(buffer), u"drei");
  EXPECT_EQ(std::u16string(old_text, 4), u"zwei");
  EXPECT_TRUE(FreeLibrary(second));
}

// Damaged files are refused as a whole; every byte of the header and the
// entry table is changed in turn and the loader must either refuse the file
// or load something well-formed, never read outside it.
TEST_F(ResourceTest, DamagedResourceFilesAreRefused) {
  const std::string good = ReadFileBytes(WU_TEST_LNG);
  ASSERT_GT(good.size(), 36u);
  std::string dir = wutest::MakeTempDir("badlng");
  int serial = 0;
  auto try_load = [&](const std::string& bytes) {
    std::string path = dir + "/f" + std::to_string(serial++) + ".LNG";
    WriteFileBytes(path, bytes);
    SetLastError(0);
    HMODULE m = LoadLibraryW(U16(path).c_str());
    DWORD error = GetLastError();
    std::remove(path.c_str());
    if (m) FreeLibrary(m);
    return m ? ERROR_SUCCESS : error;
  };
  auto put32 = [](std::string s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  ASSERT_EQ(try_load(good), ERROR_SUCCESS);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const uint32_t n = static_cast<uint32_t>(good.size());
  const Case cases[] = {
      {"magic only", good.substr(0, 4)},
      {"header only", good.substr(0, 16)},
      {"cut in the table", good.substr(0, 30)},
      {"cut in the data", good.substr(0, good.size() - 1)},
      {"version 2", put32(good, 4, 0x00100002)},
      {"size field", put32(good, 12, n + 1)},
      {"entry count", put32(good, 8, 0x10000000)},
      {"type id 0", put32(good, 16, 0)},
      {"name out of the file", put32(good, 20, 0x80000000u | n)},
      {"odd name offset", put32(good, 20, 0x80000001u)},
      {"id above 0xFFFF without flag", put32(good, 20, 0x10000)},
      {"reserved field", put32(good, 24, 0x00010409)},
      {"data offset past the end", put32(good, 28, n)},
      {"unaligned data", put32(good, 28, 18)},
      {"data inside the table", put32(good, 28, 16)},
      {"data size", put32(good, 32, n)},
  };
  for (const Case& c : cases) EXPECT_EQ(try_load(c.bytes), ERROR_BAD_FORMAT) << c.what;
  // Without its magic the file is no resource file, and no program either.
  EXPECT_EQ(try_load("X" + good.substr(1)), ERROR_BAD_EXE_FORMAT);

  size_t table_end = 16 + 20 * static_cast<size_t>(static_cast<unsigned char>(good[8]));
  for (size_t at = 0; at < table_end && at < good.size(); ++at) {
    for (unsigned char value : {0x00, 0x7F, 0x80, 0xFF}) {
      std::string bytes = good;
      bytes[at] = static_cast<char>(value);
      DWORD result = try_load(bytes);
      DWORD refused = at < 4 ? ERROR_BAD_EXE_FORMAT : ERROR_BAD_FORMAT;
      EXPECT_TRUE(result == ERROR_SUCCESS || result == refused) << at;
    }
  }
  // As a data file, a damaged resource file is refused too; any other file
  // loads without resources.
  std::string damaged = dir + "/damaged.LNG";
  WriteFileBytes(damaged, good.substr(0, 20));
  EXPECT_EQ(LoadLibraryExW(U16(damaged).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
}

}  // namespace
