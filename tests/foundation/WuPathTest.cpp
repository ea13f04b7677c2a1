// Paths from the system in long form: long path names with the fall-back
// to the short name, full paths with their file part, the temporary folder
// and module file names and folders.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "foundation/WuPath.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

void Touch(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
}

TEST(WuPathTest, LongPathNameFallsBackToTheShortName) {
  std::string dir = wutest::MakeTempDir("long");
  std::u16string file = U16(dir + "/file.txt");
  Touch(dir + "/file.txt");
  const DWORD length = static_cast<DWORD>(file.size());
  struct Case {
    std::u16string path;
    DWORD size;
    DWORD result;          // the system's answer
    std::u16string text;   // what the buffer holds
  };
  const std::u16string missing = U16(dir + "/missing.txt");
  const Case cases[] = {
      {file, 260, length, file},
      {missing, 260, 0, missing},                   // fails: the short name instead
      {file, 5, length + 1, file.substr(0, 4)},    // too small: the size needed, the name cut
      {missing, 5, 0, missing.substr(0, 4)},
  };
  for (const Case& c : cases) {
    WCHAR buffer[260] = u"junk";
    EXPECT_EQ(WuGetLongPathName(c.path.c_str(), buffer, c.size), c.result) << wutest::U8(c.path);
    EXPECT_EQ(std::u16string(buffer), c.text);
  }
  // In place, and with nothing to write into.
  WCHAR same[260];
  std::char_traits<char16_t>::copy(same, file.c_str(), file.size() + 1);
  EXPECT_EQ(WuGetLongPathName(same, same, 260), length);
  EXPECT_EQ(std::u16string(same), file);
  WCHAR untouched[4] = u"abc";
  EXPECT_EQ(WuGetLongPathName(file.c_str(), untouched, 0), length + 1);
  EXPECT_EQ(std::u16string(untouched), u"abc");
  EXPECT_EQ(WuGetLongPathName(nullptr, untouched, 4), 0u);
  EXPECT_EQ(untouched[0], 0);
}

TEST(WuPathTest, FullPathNameFoldsAndPointsAtTheLastName) {
  std::string dir = wutest::MakeTempDir("full");
  Touch(dir + "/b.txt");
  struct Case {
    std::string name;       // asked for
    std::string full;       // the result
    const char* file_part;  // the last name, or null
  };
  const Case cases[] = {
      {dir + "/a/../b.txt", dir + "/b.txt", "b.txt"},    // existing: the long form
      {dir + "\\sub\\..\\c.txt", dir + "/c.txt", "c.txt"},  // '\' separates; '/' is written
      {dir + "/folder/", dir + "/folder/", nullptr},
      {dir + "/shots/12:30.png", dir + "/shots/12:30.png", "12:30.png"},  // ':' in a name
  };
  for (const Case& c : cases) {
    WCHAR buffer[260];
    LPWSTR part = reinterpret_cast<LPWSTR>(1);
    DWORD n = WuGetFullPathName(U16(c.name).c_str(), 260, buffer, &part);
    EXPECT_EQ(std::u16string(buffer), U16(c.full)) << c.name;
    EXPECT_EQ(n, c.full.size());
    if (c.file_part) {
      ASSERT_NE(part, nullptr);
      EXPECT_EQ(std::u16string(part), U16(c.file_part));
    } else {
      EXPECT_EQ(part, nullptr);
    }
  }
  WCHAR small[8];
  LPWSTR part = reinterpret_cast<LPWSTR>(1);
  DWORD needed = WuGetFullPathName(U16(dir + "/b.txt").c_str(), 8, small, &part);
  EXPECT_EQ(needed, dir.size() + 6 + 1);
  EXPECT_EQ(part, nullptr);
}

TEST(WuPathTest, TempPathKeepsItsTrailingSeparator) {
  std::string dir = wutest::MakeTempDir("temp");
  const char* old = getenv("TMPDIR");
  std::string saved = old ? old : "";
  setenv("TMPDIR", dir.c_str(), 1);
  WCHAR buffer[260];
  DWORD n = WuGetTempPath(260, buffer);
  EXPECT_EQ(std::u16string(buffer), U16(dir + "/"));
  EXPECT_EQ(n, dir.size() + 1);
  EXPECT_EQ(WuGetTempPath(4, buffer), dir.size() + 2);  // the size needed
  if (old)
    setenv("TMPDIR", saved.c_str(), 1);
  else
    unsetenv("TMPDIR");
}

TEST(WuPathTest, ModuleFileNameAndFolder) {
  char exe[4096];
  ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(len, 0);
  exe[len] = 0;
  std::u16string program = U16(exe);
  std::u16string folder = program.substr(0, program.rfind(u'/') + 1);

  WCHAR buffer[260];
  EXPECT_EQ(WuGetModuleFileName(nullptr, buffer, 260), program.size());
  EXPECT_EQ(std::u16string(buffer), program);
  EXPECT_EQ(WuGetModulePath(nullptr, buffer, 260), folder.size());
  EXPECT_EQ(std::u16string(buffer), folder);
  // A folder that does not fit is not cut: nothing.
  EXPECT_EQ(WuGetModulePath(nullptr, buffer, static_cast<DWORD>(folder.size())), 0u);
  EXPECT_EQ(buffer[0], 0);

  // A module whose file does not exist keeps the name as given, cut to fit.
  const std::u16string name = u"C:\\Program Files\\App\\mod.dll";
  HMODULE m = platform::CreateExportModule(u"PathModule", nullptr, 0, name.c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(WuGetModuleFileName(m, buffer, 260), name.size());
  EXPECT_EQ(std::u16string(buffer), name);
  EXPECT_EQ(WuGetModuleFileName(m, buffer, 8), name.size() + 1);
  EXPECT_EQ(std::u16string(buffer), name.substr(0, 7));
  EXPECT_EQ(WuGetModulePath(m, buffer, 260), 21u);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Program Files\\App\\");
  EXPECT_TRUE(FreeLibrary(m));

  buffer[0] = u'x';
  EXPECT_EQ(WuGetModuleFileName(m, buffer, 260), 0u);  // no longer a module
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(WuGetModulePath(m, buffer, 260), 0u);
}

}  // namespace
