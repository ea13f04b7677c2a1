#include "foundation/WuPathStrings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

std::string Str(const WCHAR* text) { return text ? U8(text) : std::string("(null)"); }

// ---- Pointers --------------------------------------------------------------------------

TEST(WuPathStringsTest, FileNameAndExtensionPointers) {
  struct Case {
    const char16_t* path;
    const char16_t* name;  // expected text at the file-name pointer
    const char16_t* ext;   // expected text at the extension pointer
  };
  const Case cases[] = {
      {u"C:name.txt", u"name.txt", u".txt"},
      {u"a/b", u"b", u""},  // '/' separates like '\'
      {u"C:\\dir\\sub\\f.txt", u"f.txt", u".txt"},
      {u"/usr/lib/libx.so", u"libx.so", u".so"},
      {u"a.b.c", u"a.b.c", u".c"},
      {u"a. b", u"a. b", u""},         // white space after the dot: no extension
      {u"my.dir/file", u"file", u""},  // a dot in a folder is not the file's
      {u"C:\\dir\\", u"", u""},
      {u"", u"", u""},
      {u"/home/u/.bashrc", u".bashrc", u".bashrc"},
      // Only "X:" at the start is a drive; a ':' elsewhere is in a name.
      {u"shots/2024-05-01T12:30:00.png", u"2024-05-01T12:30:00.png", u".png"},
      {u"12:30.bin", u"12:30.bin", u".bin"},
      {u"\\\\?\\C:x.txt", u"x.txt", u".txt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(std::u16string(c.name), WuGetFileNamePtrW(c.path)) << Str(c.path);
    EXPECT_EQ(std::u16string(c.ext), WuGetFileNameExtensionPtrW(c.path)) << Str(c.path);
    std::string bytes = U8(c.path);
    EXPECT_EQ(U8(c.name), WuGetFileNamePtrA(bytes.c_str())) << bytes;
    EXPECT_EQ(U8(c.ext), WuGetFileNameExtensionPtrA(bytes.c_str())) << bytes;
  }
  EXPECT_EQ(nullptr, WuGetFileNamePtrW(static_cast<const WCHAR*>(nullptr)));

  WCHAR buffer[8];
  WCHAR* cut = WuGetFileNameWithoutPathOrExtension(u"C:\\d\\name.txt", buffer, 8);
  EXPECT_EQ(u"name", std::u16string(buffer));
  EXPECT_EQ(buffer + 4, cut);
  WuGetFileNameWithoutPathOrExtension(u"/d/longname.txt", buffer, 3);
  EXPECT_EQ(u"lo", std::u16string(buffer));
}

// ---- Editing -----------------------------------------------------------------------------

// A buffer of `size` characters holding `text`.
std::vector<WCHAR> Buffer(const char16_t* text, int size) {
  std::vector<WCHAR> b(static_cast<size_t>(size) + 1, u'#');  // one guard character
  std::u16string t(text);
  for (size_t i = 0; i <= t.size() && i < static_cast<size_t>(size); ++i)
    b[i] = i < t.size() ? t[i] : 0;
  return b;
}

TEST(WuPathStringsTest, SlashEditsStayInsideTheBuffer) {
  struct Case {
    const char16_t* path;
    int size;
    bool add;  // add or remove
    const char16_t* result;
    int length;
  };
  const Case cases[] = {
      {u"abcd", 4 + 1, true, u"abcd", 0},  // length 4, size 5: no room for '/' and terminator
      {u"abcd", 6, true, u"abcd/", 5},
      {u"ab\\", 10, true, u"ab\\", 3},
      {u"ab/", 10, true, u"ab/", 3},
      {u"", 10, true, u"", 0},
      {u"C:\\dir\\", 10, false, u"C:\\dir", 6},
      {u"/usr/", 10, false, u"/usr", 4},
      {u"/", 10, false, u"/", 1},  // the root stays a root
      {u"abc", 10, false, u"abc", 3},
      {u"", 10, false, u"", 0},
  };
  for (const Case& c : cases) {
    std::vector<WCHAR> b = Buffer(c.path, c.size);
    int n = c.add ? WuAddSlashToPathName(b.data(), c.size)
                  : WuRemoveSlashFromPathNameEnd(b.data(), c.size);
    EXPECT_EQ(c.length, n) << Str(c.path);
    EXPECT_EQ(std::u16string(c.result), b.data()) << Str(c.path);
    EXPECT_EQ(u'#', b[static_cast<size_t>(c.size)]) << Str(c.path);
  }
  // No terminator within the size: nothing is changed.
  WCHAR full[6] = {u'a', u'b', u'c', u'd', u'e', 0};
  EXPECT_EQ(0, WuAddSlashToPathName(full, 3));
  EXPECT_EQ(0, WuRemoveSlashFromPathNameEnd(full, 3));
  EXPECT_EQ(u"abcde", std::u16string(full));
}

TEST(WuPathStringsTest, ExtensionEditsAreBounded) {
  enum Op { kReplace, kAdd };
  struct Case {
    Op op;
    const char16_t* path;
    int size;
    const char16_t* ext;
    const char16_t* result;
  };
  const Case cases[] = {
      {kReplace, u"C:\\d\\a.txt", 260, u"wav", u"C:\\d\\a.wav"},
      {kReplace, u"C:\\d\\a.txt", 260, u".wav", u"C:\\d\\a.wav"},
      {kReplace, u"C:\\my.dir\\file", 260, u"txt", u"C:\\my.dir\\file.txt"},
      {kReplace, u"a.txt", 260, u"", u"a"},
      {kReplace, u"C:\\d\\", 260, u"txt", u"C:\\d\\"},  // no file name: unchanged
      {kReplace, u"a.txt", 6, u"html", u"a.htm"},
      {kAdd, u"a.TXT", 260, u"txt", u"a.TXT"},  // same extension, other case: kept
      {kAdd, u"abc", 260, u".wav", u"abc.wav"},
      {kAdd, u"a.txt", 7, u"html", u"a.html"},  // bounded by the room from the dot on
      {kAdd, u"a.txt", 6, u"html", u"a.htm"},
      {kAdd, u"/x.y/name", 260, u"wav", u"/x.y/name.wav"},
  };
  for (const Case& c : cases) {
    std::vector<WCHAR> b = Buffer(c.path, c.size);
    int n = c.op == kReplace ? WuReplaceExtensionOnPathName(b.data(), c.size, c.ext)
                             : WuAddExtensionToPathName(b.data(), c.size, c.ext);
    EXPECT_EQ(std::u16string(c.result), b.data()) << Str(c.path) << " + " << Str(c.ext);
    EXPECT_EQ(static_cast<int>(std::u16string(c.result).size()), n) << Str(c.path);
    EXPECT_EQ(u'#', b[static_cast<size_t>(c.size)]) << Str(c.path);
  }
}

TEST(WuPathStringsTest, AppendToPathName) {
  WCHAR path[MAX_PATH] = u"C:\\d";
  EXPECT_EQ(14, WuAppendToPathName(path, MAX_PATH, u"\\sub\\f.txt", nullptr));
  EXPECT_EQ(u"C:\\d/sub\\f.txt", std::u16string(path));
  WCHAR other[MAX_PATH] = u"/base/";
  WuAppendToPathName(other, MAX_PATH, u"f.txt", u"wav");
  EXPECT_EQ(u"/base/f.wav", std::u16string(other));
  // The extension applies to the appended part only.
  WCHAR dotted[MAX_PATH] = u"/a.b";
  WuAppendToPathName(dotted, MAX_PATH, u"name", u"x");
  EXPECT_EQ(u"/a.b/name.x", std::u16string(dotted));
  WCHAR small[8] = u"/ab";
  EXPECT_EQ(7, WuAppendToPathName(small, 8, u"longname", nullptr));
  EXPECT_EQ(u"/ab/lon", std::u16string(small));
}

TEST(WuPathStringsTest, ValidateFileName) {
  WCHAR fixed[] = u"a:b?c";
  EXPECT_FALSE(WuValidateFileName(fixed, TRUE));
  EXPECT_EQ(u"a_b_c", std::u16string(fixed));
  WCHAR all[] = u"\"*/:<>?\\|";
  EXPECT_FALSE(WuValidateFileName(all, TRUE));
  EXPECT_EQ(u"_________", std::u16string(all));
  WCHAR kept[] = u"a|b";
  EXPECT_FALSE(WuValidateFileName(kept, FALSE));
  EXPECT_EQ(u"a|b", std::u16string(kept));
  WCHAR clean[] = u"file name.txt";
  EXPECT_TRUE(WuValidateFileName(clean, TRUE));
}

// ---- Parts of a path ---------------------------------------------------------------------

TEST(WuPathStringsTest, FolderAndRootParts) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
    const char16_t* root;
  };
  const Case cases[] = {
      {u"C:\\d\\f.txt", u"C:\\d\\", u"C:\\"},
      {u"C:f", u"C:", u""},
      {u"/usr/bin/x", u"/usr/bin/", u"/"},
      {u"\\\\srv\\share\\dir\\f", u"\\\\srv\\share\\dir\\", u"\\\\srv\\share\\"},
      {u"//srv/share/f", u"//srv/share/", u"//srv/share/"},
      {u"\\\\srv\\share", u"\\\\srv\\", u""},  // no separator after the share
      {u"dir/f", u"dir/", u""},                // relative: no root
      {u"sub/12:30.bin", u"sub/", u""},        // ':' in a name
      {u"12:30.bin", u"", u""},
      {u"name", u"", u""},
      {u"", u"", u""},
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH] = u"junk";
    int n = WuGetPathNameFromFilePath(c.path, out, MAX_PATH);
    EXPECT_EQ(static_cast<int>(std::u16string(c.folder).size()), n) << Str(c.path);
    if (n) {
      EXPECT_EQ(std::u16string(c.folder), out) << Str(c.path);
    }
    n = WuGetRootPathFromFilePath(c.path, out, MAX_PATH);
    EXPECT_EQ(static_cast<int>(std::u16string(c.root).size()), n) << Str(c.path);
    EXPECT_EQ(std::u16string(c.root), out) << Str(c.path);
  }
  // Copied only when they fit; the root's destination is cleared anyway.
  WCHAR out[4] = u"xyz";
  EXPECT_EQ(0, WuGetPathNameFromFilePath(u"C:\\d\\f", out, 4));
  EXPECT_EQ(u"xyz", std::u16string(out));
  EXPECT_EQ(0, WuGetRootPathFromFilePath(u"\\\\s\\sh\\f", out, 4));
  EXPECT_EQ(u"", std::u16string(out));
  // In place.
  WCHAR in_place[MAX_PATH] = u"/a/b/c.txt";
  EXPECT_EQ(5, WuGetPathNameFromFilePath(in_place, in_place, MAX_PATH));
  EXPECT_EQ(u"/a/b/", std::u16string(in_place));
}

TEST(WuPathStringsTest, DirectoryUpOneLevel) {
  struct Case {
    const char16_t* path;
    bool ok;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"C:\\a\\b\\", true, u"C:\\a\\"}, {u"C:\\a", true, u"C:\\"}, {u"/usr", true, u"/"},
      {u"/usr/lib", true, u"/usr/"},     {u"abc", false, u"abc"},  // too short
      {u"abcd", false, u"abcd"},                                   // no separator
  };
  for (const Case& c : cases) {
    WCHAR path[MAX_PATH];
    lstrcpynW(path, c.path, MAX_PATH);
    EXPECT_EQ(c.ok, WuDirectoryUpOneLevel(path, MAX_PATH) != FALSE) << Str(c.path);
    EXPECT_EQ(std::u16string(c.result), path) << Str(c.path);
  }
  std::u16string long_path = u"/" + std::u16string(300, u'a');
  std::vector<WCHAR> b(long_path.begin(), long_path.end());
  b.push_back(0);
  EXPECT_FALSE(WuDirectoryUpOneLevel(b.data(), static_cast<int>(b.size())));
}

TEST(WuPathStringsTest, RelativeBasePaths) {
  struct Case {
    const char16_t* base;
    const char16_t* path;
    const char16_t* tail;
  };
  const Case cases[] = {
      {u"D:\\new\\common\\f.txt", u"C:\\old\\common\\f.txt", u"common\\f.txt"},
      {u"C:\\xb\\f", u"C:\\b\\f", u"f"},  // "b" and "xb" are different names
      {u"sub/F.TXT", u"C:\\data\\sub\\f.txt", u"sub\\f.txt"},
      {u"C:\\same", u"C:\\same", u"C:\\same"},
      {u"other", u"C:\\x\\name", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::u16string(c.tail), WuGetFileNamePtrRelative(c.base, c.path)) << Str(c.path);

  WCHAR out[MAX_PATH];
  EXPECT_EQ(S_OK, WuGetBasePathRelative(u"sub\\f.txt", u"C:\\data\\sub\\f.txt", out, MAX_PATH));
  EXPECT_EQ(u"C:\\data\\", std::u16string(out));
  EXPECT_EQ(S_OK, WuGetBasePathRelative(u"X:\\q\\f.txt", u"/p/f.txt", out, MAX_PATH));
  EXPECT_EQ(u"/p/", std::u16string(out));
  EXPECT_EQ(E_FAIL, WuGetBasePathRelative(u"sub\\f.txt", u"C:\\data\\sub\\f.txt", out, 5));
}

TEST(WuPathStringsTest, ReplaceBasePath) {
  struct Case {
    const char16_t* path;
    const char16_t* old_base;
    const char16_t* new_base;
    HRESULT hr;
    const char16_t* result;
  };
  const Case cases[] = {
      {u"C:\\old\\a\\f.txt", u"C:\\OLD", u"D:\\new", S_OK, u"D:\\new\\a\\f.txt"},
      {u"C:\\old\\f", u"C:\\old\\", u"D:/", S_OK, u"D:/f"},
      {u"C:\\old\\f", u"C:\\old\\", u"/n", S_OK, u"/n/f"},
      {u"C:/old/f", u"C:\\old", u"E:", S_OK, u"E:/f"},
      {u"C:\\oldx\\f", u"C:\\old", u"D:\\n", E_FAIL, u""},  // not the whole name
      {u"C:\\x\\f", u"C:\\y", u"D:\\n", E_FAIL, u""},
  };
  for (const Case& c : cases) {
    WCHAR out[MAX_PATH] = u"junk";
    EXPECT_EQ(c.hr, WuReplaceBasePathRelative(c.path, c.old_base, c.new_base, out, MAX_PATH))
        << Str(c.path);
    EXPECT_EQ(std::u16string(c.result), out) << Str(c.path);
  }
  WCHAR small[6];
  EXPECT_EQ(E_FAIL, WuReplaceBasePathRelative(u"C:\\old\\file", u"C:\\old", u"D:\\", small, 6));
  EXPECT_EQ(u"", std::u16string(small));
  // Results longer than 259 characters are refused even with a large buffer.
  std::u16string base = u"/" + std::u16string(250, u'b');
  std::vector<WCHAR> big(600);
  EXPECT_EQ(E_FAIL,
            WuReplaceBasePathRelative(u"/a/0123456789", u"/a", base.c_str(), big.data(), 600));
}

TEST(WuPathStringsTest, WildcardMatchFollowsDosRules) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool match;
  };
  const Case cases[] = {
      {u"*", u"anything.at.all", true},
      {u"*.txt", u"a.txt", true},
      {u"*.txt", u"a.TXT", false},  // case counts
      {u"a*", u"abc", true},
      {u"a*", u"abc.txt", false},  // a star never crosses the '.'
      {u"a.b", u"abc", false},
      {u"?b", u"ab", true},
      {u"a?", u"a", false},
      {u"abc", u"abc.", true},
      {u"abc.", u"abc", true},
      {u"*.*", u"abc", true},  // a name without extension
      {u"*.*", u"abc.d", true},
      {u"abc*.txt", u"abc", false},  // the pattern still wants ".txt"
      {u"abc*", u"abc", true},
      {u"a", u"\u0161", false},  // U+0161 is not 'a', though its low byte is 0x61
      {u"*.wav", u"x.wav", true},
      {u"*.wav", u"x.way", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.match, WuIsMatchWildCard(c.pattern, c.name) != FALSE)
        << Str(c.pattern) << " vs " << Str(c.name);
  EXPECT_FALSE(WuIsMatchWildCard(nullptr, u"a"));
}

TEST(WuPathStringsTest, LogicalCompare) {
  struct Case {
    const char16_t* a;
    const char16_t* b;
    int result;
  };
  const Case cases[] = {
      {u"file2", u"file10", -1}, {u"file10", u"file2", 1}, {u"File10", u"file10", 0},
      {u"a", u"b", -1},          {u"b", u"a10", 1},        {u"x9y", u"x09z", -1},
      {u"ab", u"abc", -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.result, WuFilenameLogicalCompare(c.a, c.b)) << Str(c.a) << " vs " << Str(c.b);
}

// ---- Single files --------------------------------------------------------------------------

class WuPathFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = wutest::MakeTempDir("paths"); }

  std::string Linux(const std::string& name) const { return dir_ + "/" + name; }
  std::u16string Path(const std::string& name) const { return U16(Linux(name)); }

  std::u16string Write(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::ofstream out(Linux(name), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  std::string dir_;
};

TEST_F(WuPathFilesTest, ExistenceAndWritability) {
  std::u16string file = Write("plain.txt", {'x'});
  std::u16string hidden = Write(".hidden", {'x'});
  std::u16string locked = Write("locked.txt", {'x'});
  ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(WuDoesFileExist(file.c_str()));
  EXPECT_TRUE(WuDoesFileExist(locked.c_str()));
  EXPECT_FALSE(WuDoesFileExist(hidden.c_str()));
  EXPECT_FALSE(WuDoesFileExist(U16(dir_).c_str()));
  EXPECT_FALSE(WuDoesFileExist(Path("missing").c_str()));
  EXPECT_FALSE(WuDoesFileExist(u"/dev/null"));
  EXPECT_TRUE(WuIsFileWritable(file.c_str()));
  EXPECT_FALSE(WuIsFileWritable(locked.c_str()));
  EXPECT_FALSE(WuIsFileWritable(Path("missing").c_str()));
}

// Bytes of a platform image whose "PE" header starts at `header` in a file
// of `size` bytes (the header cut off when it does not fit).
std::vector<unsigned char> PeImage(uint32_t header, size_t size) {
  std::vector<unsigned char> b(size, 0);
  b[0] = 'M';
  b[1] = 'Z';
  for (int i = 0; i < 4; ++i) b[60 + i] = static_cast<unsigned char>(header >> (8 * i));
  const unsigned char pe[24] = {'P', 'E', 0, 0, 0x4C, 0x01, 0, 0, 0, 0, 0,    0,
                                0,   0,   0, 0, 0,    0,    0, 0, 0, 0, 0x02, 0x01};
  for (size_t i = 0; i < 24 && header + i < size; ++i) b[header + i] = pe[i];
  return b;
}

// An ELF header of the given class, data order, type and machine.
std::vector<unsigned char> ElfImage(unsigned char elf_class, uint16_t type, uint16_t machine) {
  std::vector<unsigned char> b(64, 0);
  b[0] = 0x7F;
  b[1] = 'E';
  b[2] = 'L';
  b[3] = 'F';
  b[4] = elf_class;
  b[5] = 1;  // little-endian
  b[6] = 1;
  b[16] = static_cast<unsigned char>(type);
  b[17] = static_cast<unsigned char>(type >> 8);
  b[18] = static_cast<unsigned char>(machine);
  b[19] = static_cast<unsigned char>(machine >> 8);
  return b;
}

TEST_F(WuPathFilesTest, ExecutableImages) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    HRESULT hr;
    WORD machine;
    WORD characteristics;
  };
  const Case cases[] = {
      {"near.exe", PeImage(0x80, 1024), S_OK, 0x014C, 0x0102},
      {"far.exe", PeImage(5000, 6000), S_OK, 0x014C, 0x0102},
      {"straddling.exe", PeImage(4090, 4200), S_OK, 0x014C, 0x0102},
      {"truncated.exe", PeImage(0x80, 0x80 + 10), WU_E_BAD_DATA, 0, 0},
      {"truncated-far.exe", PeImage(5000, 5010), WU_E_BAD_DATA, 0, 0},
      {"short.exe", {'M', 'Z', 0, 0, 0, 0, 0, 0}, WU_E_BAD_DATA, 0, 0},
      {"elf64", ElfImage(2, 3, 62), S_OK, 0x8664, 0x0022},
      {"elf32", ElfImage(1, 2, 3), S_OK, 0x014C, 0x0102},
      {"object.o", ElfImage(2, 1, 62), WU_E_BAD_DATA, 0, 0},
      {"text.txt", {'h', 'e', 'l', 'l', 'o'}, WU_E_BAD_DATA, 0, 0},
  };
  for (const Case& c : cases) {
    std::u16string path = Write(c.name, c.bytes);
    WORD machine = 0xFFFF;
    WORD characteristics = 0xFFFF;
    EXPECT_EQ(c.hr, WuGetFileExecutableInfo(path.c_str(), &machine, &characteristics)) << c.name;
    if (c.hr == S_OK) {
      EXPECT_EQ(c.machine, machine) << c.name;
      EXPECT_EQ(c.characteristics, characteristics) << c.name;
    }
  }
  EXPECT_EQ(WU_E_NOT_FOUND, WuGetFileExecutableInfo(Path("missing").c_str(), nullptr, nullptr));
}

TEST_F(WuPathFilesTest, ExecutableCheckRewindsTheFile) {
  std::u16string path = Write("far.exe", PeImage(5000, 6000));
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SetFilePointer(file, 100, nullptr, FILE_BEGIN);
  EXPECT_TRUE(WuIsFileExecutable(file, nullptr, nullptr));
  EXPECT_EQ(0u, SetFilePointer(file, 0, nullptr, FILE_CURRENT));
  CloseHandle(file);
}

#if defined(__x86_64__)
TEST_F(WuPathFilesTest, RecognisesThisProgram) {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(n, 0);
  self[n] = 0;
  WORD machine = 0;
  EXPECT_EQ(S_OK, WuGetFileExecutableInfo(U16(self).c_str(), &machine, nullptr));
  EXPECT_EQ(WU_MACHINE_AMD64, machine);
}
#endif

TEST_F(WuPathFilesTest, DosTimeStamps) {
  std::u16string path = Write("stamp.txt", {'x'});
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  SYSTEMTIME st = {2021, 3, 0, 4, 5, 6, 9, 0};
  FILETIME ft;
  ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &ft));
  CloseHandle(file);
  // 2021-03-04 05:06:08 (DOS seconds count in twos).
  DWORD expected = static_cast<DWORD>((41 << 9 | 3 << 5 | 4) << 16 | (5 << 11 | 6 << 5 | 4));
  EXPECT_EQ(expected, WuDosGetDateTimeUTC(path.c_str()));
  EXPECT_NE(0u, WuDosGetDateTime(path.c_str()));
  EXPECT_EQ(0u, WuDosGetDateTimeUTC(Path("missing").c_str()));
}

TEST(WuPathStringsTest, DateTimeWords) {
  DWORD words[2] = {0, 0};
  DWORD hundredths = WuGetDateTime(words);
  EXPECT_LT(hundredths, 100u);
  EXPECT_EQ(hundredths, words[1] & 0xFF);
  EXPECT_GE(words[0] & 0xFFFF, 2020u);  // year
  DWORD month = (words[0] >> 24) & 0xFF;
  DWORD day = (words[0] >> 16) & 0xFF;
  EXPECT_TRUE(month >= 1 && month <= 12) << month;
  EXPECT_TRUE(day >= 1 && day <= 31) << day;
  EXPECT_LT(words[1] >> 24, 24u);  // hour
}

TEST(WuPathStringsTest, ByteSizeTexts) {
  ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
  WuLang_GetInternationals(nullptr, 0);  // the separators formatting uses
  struct Case {
    LONGLONG count;
    const char16_t* compact;
    const char16_t* spaced;
  };
  const Case cases[] = {
      {0, u"0", u"0 bytes"},
      {1023, u"1023", u"1023 bytes"},
      {1536, u"1.50KB", u"1.50 KB"},
      {1024000, u"1.00MB", u"1.00 MB"},
      {3000000000LL, u"2.93GB", u"2.93 GB"},  // above 2^31: an ordinary size
      {5000000000LL, u"4.88GB", u"4.88 GB"},
      {1099511627776LL, u"1,073.74GB", u"1,073.74 GB"},
      {-5, u"-5", u"-5 bytes"},
  };
  for (const Case& c : cases) {
    WCHAR text[WU_BYTESIZE_TEXT_MAX];
    EXPECT_EQ(static_cast<int>(std::u16string(c.compact).size()), WuGetByteSizeText(c.count, text));
    EXPECT_EQ(std::u16string(c.compact), text) << c.count;
    WuGetByteSizeText2(c.count, text);
    EXPECT_EQ(std::u16string(c.spaced), text) << c.count;
  }
  platform::SetUserLocale(0, 0);
  WuLang_GetInternationals(nullptr, 0);
}

TEST(WuPathStringsTest, HiddenFoldersByDefault) {
  for (int csidl : {5, 12, 16, 25, 40, 46, 53, 54, 55, 0x8005, 0x4010})
    EXPECT_FALSE(WuIsHiddenFolderByDefault(csidl)) << csidl;
  for (int csidl : {0, 0x1A, 0x1C, 0x23, 0x26, 0x800D})
    EXPECT_TRUE(WuIsHiddenFolderByDefault(csidl)) << csidl;
}

TEST(WuPathStringsTest, QualifyPath) {
  WCHAR out[MAX_PATH];
  EXPECT_FALSE(WuQualifyPath(u"x.txt", out, 0));
  EXPECT_FALSE(WuQualifyPath(u"x.txt", out, 3));
  ASSERT_TRUE(WuQualifyPath(u"/a/./b/../x.txt", out, MAX_PATH));
  EXPECT_EQ(u"/a/x.txt", std::u16string(out));
}

}  // namespace
