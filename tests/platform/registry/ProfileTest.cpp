#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/error.h"
#include "platform/registry/profile.h"
#include "platform/shell/shell.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

std::string Utf16Le(const std::u16string& text) {
  std::string out = "\xFF\xFE";
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out;
}

// A profile file in a fresh folder, named as the library names files.
struct TempProfile {
  explicit TempProfile(const std::string& bytes) {
    path = wutest::MakeTempDir("profile") + "/test.ini";
    wutest::WriteBytes(path, bytes);
    name = U16(path);
  }
  std::string path;
  std::u16string name;
};

std::u16string GetString(const char16_t* section, const char16_t* key, const TempProfile& f,
                         DWORD size = 256, DWORD* result = nullptr) {
  std::u16string buffer(size, u'#');
  DWORD n =
      GetPrivateProfileStringW(section, key, u"(default) ", buffer.data(), size, f.name.c_str());
  if (result) *result = n;
  return buffer.substr(0, n);
}

const char kSample[] =
    "; leading comment\r\n"
    "[Vorlundage]\r\n"
    "  Name = \"Caf\xC3\xA9 Player\"  \r\n"
    "Title='quoted'\r\n"
    "; Banner=commented out\r\n"
    "Empty=\r\n"
    "\r\n"
    "[other]\r\n"
    "k=v\r\n"
    "[VORLUNDAGE]\r\n"
    "Later=2\r\n";

// Bytes of a text in one of the encodings a profile may have (no mark).
std::string Bytes(const std::string& encoding, const std::u16string& text) {
  if (encoding == "utf16le") return Utf16Le(text).substr(2);
  if (encoding != "ansi") return U8(text);
  std::string out;  // code page 1252 agrees with Latin-1 for these texts
  for (char16_t c : text) out.push_back(static_cast<char>(c));
  return out;
}

TEST(ProfileTest, EveryEncodingIsReadAndWrittenBackInItsOwn) {
  std::string latin1 = Bytes("ansi", U16(kSample));
  struct Case {
    const char* label;
    std::string bytes;      // the file
    const char16_t* title;  // a new value for Title
    std::string written;    // the encoding the file has afterwards
    std::string mark;       // its byte-order mark
  } cases[] = {
      {"utf8", kSample, u"\u03a9 new", "utf8", ""},
      {"utf8-bom", "\xEF\xBB\xBF" + std::string(kSample), u"\u03a9 new", "utf8", "\xEF\xBB\xBF"},
      {"utf16le", Utf16Le(U16(kSample)), u"\u03a9 new", "utf16le", "\xFF\xFE"},
      {"ansi", latin1, u"\u00e9t\u00e9", "ansi", ""},
      // An ANSI file that cannot hold the new text becomes UTF-8, losing nothing.
      {"ansi-to-utf8", latin1, u"\u03a9 new", "utf8", "\xEF\xBB\xBF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    TempProfile f(c.bytes);
    EXPECT_EQ(u"Caf\u00e9 Player", GetString(u"vorlundage", u"NAME", f));
    EXPECT_EQ(u"quoted", GetString(u"Vorlundage", u"Title", f));
    EXPECT_EQ(u"", GetString(u"Vorlundage", u"Empty", f));
    EXPECT_EQ(u"2", GetString(u"Vorlundage", u"Later", f));  // second part of the section
    EXPECT_EQ(u"(default)", GetString(u"Vorlundage", u"Banner", f));

    ASSERT_TRUE(WritePrivateProfileStringW(u"Vorlundage", u"Title", c.title, f.name.c_str()));
    ASSERT_TRUE(WritePrivateProfileStringW(u"Vorlundage", u"Added", u"1", f.name.c_str()));
    EXPECT_EQ(c.title, GetString(u"Vorlundage", u"title", f));
    EXPECT_EQ(u"1", GetString(u"Vorlundage", u"Added", f));
    EXPECT_EQ(u"Caf\u00e9 Player", GetString(u"Vorlundage", u"Name", f));
    // Untouched lines stay as they were; the new key joins the first part.
    std::string after = wutest::ReadBytes(f.path);
    EXPECT_EQ(0u, after.find(c.mark + Bytes(c.written, u"; leading comment\r\n")));
    const std::u16string lines[] = {u"  Name = \"Caf\u00e9 Player\"  \r\n",
                                    u"Title=" + std::u16string(c.title) + u"\r\n",
                                    u"Empty=\r\nAdded=1\r\n\r\n[other]"};
    for (const std::u16string& line : lines)
      EXPECT_NE(std::string::npos, after.find(Bytes(c.written, line))) << U8(line);
  }
}

TEST(ProfileTest, ListsOfSectionsAndKeysWithTheirTruncation) {
  TempProfile f(kSample);
  DWORD n;
  EXPECT_EQ(std::u16string(u"Vorlundage\0other\0", 17), GetString(nullptr, nullptr, f, 256, &n));
  EXPECT_EQ(17u, n);
  EXPECT_EQ(std::u16string(u"Name\0Title\0Empty\0Later\0", 23),
            GetString(u"vorlundage", nullptr, f));

  std::u16string buffer(12, u'#');
  n = GetPrivateProfileSectionNamesW(buffer.data(), 12, f.name.c_str());
  EXPECT_EQ(10u, n);  // size - 2: the list was cut
  EXPECT_EQ(std::u16string(u"Vorlundage\0\0", 12), buffer);

  n = GetPrivateProfileStringW(u"Vorlundage", u"Name", nullptr, buffer.data(), 5, f.name.c_str());
  EXPECT_EQ(4u, n);  // size - 1: the value was cut
  EXPECT_EQ(std::u16string(u"Caf\u00e9\0", 5), buffer.substr(0, 5));

  buffer.assign(64, u'#');
  n = GetPrivateProfileSectionW(u"other", buffer.data(), 64, f.name.c_str());
  EXPECT_EQ(std::u16string(u"k=v\0\0", 5), buffer.substr(0, n + 1));

  TempProfile none("");
  EXPECT_EQ(u"", GetString(nullptr, nullptr, none));
}

TEST(ProfileTest, IntegersParseLikeThePlatform) {
  TempProfile f(
      "[n]\nhex=0x1F\nneg=-5\nplus=+7\ntrail=12abc\nempty=\nword=abc\nquoted=\"42\"\nspaced=  9  "
      "\n");
  struct Case {
    const char16_t* key;
    UINT expected;
  } cases[] = {
      {u"hex", 31},     {u"neg", static_cast<UINT>(-5)},
      {u"plus", 7},     {u"trail", 12},
      {u"empty", 77},   {u"word", 0},
      {u"quoted", 42},  {u"spaced", 9},
      {u"missing", 77},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, GetPrivateProfileIntW(u"n", c.key, 77, f.name.c_str())) << U8(c.key);
  EXPECT_EQ(77u, GetPrivateProfileIntW(u"n", u"hex", 77, u"/no/such/file.ini"));
}

TEST(ProfileTest, DeletesKeysAndSectionsAndReplacesSections) {
  TempProfile f(kSample);
  ASSERT_TRUE(WritePrivateProfileStringW(u"Vorlundage", u"later", nullptr, f.name.c_str()));
  EXPECT_EQ(u"(default)", GetString(u"Vorlundage", u"Later", f));
  ASSERT_TRUE(WritePrivateProfileStringW(u"OTHER", nullptr, nullptr, f.name.c_str()));
  EXPECT_EQ(std::u16string(u"Vorlundage\0", 11), GetString(nullptr, nullptr, f));
  EXPECT_EQ(std::string::npos, wutest::ReadBytes(f.path).find("k=v"));

  ASSERT_TRUE(WritePrivateProfileSectionW(u"Vorlundage", u"a=1\0b=2\0", f.name.c_str()));
  EXPECT_EQ(std::u16string(u"a\0b\0", 4), GetString(u"Vorlundage", nullptr, f));
  EXPECT_EQ(0u, wutest::ReadBytes(f.path).find("; leading comment\r\n[Vorlundage]\r\na=1\r\nb=2\r\n"));

  // A missing file is created by a write and not by a delete.
  std::string dir = wutest::MakeTempDir("profile");
  std::u16string fresh = U16(dir + "/fresh.ini");
  EXPECT_TRUE(WritePrivateProfileStringW(u"s", nullptr, nullptr, fresh.c_str()));
  EXPECT_NE(0, access((dir + "/fresh.ini").c_str(), F_OK));
  EXPECT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"v", fresh.c_str()));
  EXPECT_EQ("[s]\r\nk=v\r\n", wutest::ReadBytes(dir + "/fresh.ini"));
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"s", u"k", u"v", U16(dir + "/no/dir.ini").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
}

TEST(ProfileTest, RefusedWritesLeaveTheFileUnchanged) {
  TempProfile f(kSample);
  ASSERT_EQ(0, chmod(f.path.c_str(), 0444));
  SetLastError(0);
  EXPECT_FALSE(WritePrivateProfileStringW(u"Vorlundage", u"Name", u"x", f.name.c_str()));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(WritePrivateProfileStringW(u"other", nullptr, nullptr, f.name.c_str()));
  EXPECT_EQ(kSample, wutest::ReadBytes(f.path));
  chmod(f.path.c_str(), 0644);

  // Texts that would not read back as written (a line break would smuggle
  // in a section of its own).
  struct Case {
    const char16_t* section;
    const char16_t* key;
    const char16_t* value;
  } cases[] = {
      {u"Vorlundage", u"Name", u"x\r\n[Injected]\r\nk=v"},
      {u"Vorlundage", u"a=b", u"x"},
      {u"bad]name", u"k", u"x"},
      {u"Vorlundage", u"", u"x"},
      {nullptr, u"k", u"x"},
  };
  for (const Case& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringW(c.section, c.key, c.value, f.name.c_str()));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  }
  EXPECT_FALSE(WritePrivateProfileSectionW(u"other", u"ok=1\0[Injected]\0", f.name.c_str()));
  EXPECT_EQ(kSample, wutest::ReadBytes(f.path));
}

TEST(ProfileTest, AWriteThatFailsPartWayLeavesTheFileAndKeepsItsMode) {
  TempProfile f(kSample);
  ASSERT_EQ(0, chmod(f.path.c_str(), 0600));
  const std::u16string big(4000, u'v');
  {
    wutest::FileSizeLimit limit(1000);
    SetLastError(0);
    EXPECT_FALSE(WritePrivateProfileStringW(u"Vorlundage", u"Name", big.c_str(), f.name.c_str()));
    EXPECT_NE(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
  }
  EXPECT_EQ(kSample, wutest::ReadBytes(f.path));
  EXPECT_TRUE(WritePrivateProfileStringW(u"Vorlundage", u"Name", u"x", f.name.c_str()));
  struct stat st;
  ASSERT_EQ(0, stat(f.path.c_str(), &st));
  EXPECT_EQ(0600u, st.st_mode & 07777);
}

// Writes to a name that leaves no room for a temporary suffix, and through
// a link that names a file not there yet: the link stays a link.
TEST(ProfileTest, WritesLongNamesAndThroughADanglingLink) {
  const std::string dir = wutest::MakeTempDir("profile");
  const std::string names[] = {dir + "/" + std::string(251, 'n') + ".ini", dir + "/12:30.ini",
                               dir + "/link.ini"};
  ASSERT_EQ(0, symlink("real.ini", names[2].c_str()));
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"v", U16(name).c_str()));
    EXPECT_EQ("[s]\r\nk=v\r\n", wutest::ReadBytes(name));
  }
  struct stat st;
  ASSERT_EQ(0, lstat(names[2].c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("[s]\r\nk=v\r\n", wutest::ReadBytes(dir + "/real.ini"));
}

TEST(ProfileTest, TheUserProfileIsPerUserAndBareNamesLiveInTheWindowsFolder) {
  ASSERT_TRUE(WriteProfileStringW(u"Debug", u"LogToScreenLines", u"7"));
  EXPECT_NE(std::string::npos,
            wutest::ReadBytes(platform::UserStateDir() + "/win.ini").find("LogToScreenLines=7"));
  EXPECT_EQ(7u, GetProfileIntW(u"debug", u"logtoscreenlines", 5));
  WCHAR buffer[16];
  EXPECT_EQ(4u, GetProfileStringW(u"Debug", u"LogToFilePath", u"COM1", buffer, 16));
  EXPECT_EQ(u"COM1", std::u16string(buffer));

  std::string windows = platform::SpecialFolderPath(CSIDL_WINDOWS, true);
  EXPECT_EQ(0u, windows.find(wutest::StateRoot()));
  ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"9", u"system.ini"));
  EXPECT_NE(std::string::npos, wutest::ReadBytes(windows + "/system.ini").find("k=9"));
  EXPECT_EQ(9u, GetPrivateProfileIntW(u"S", u"K", 5, u"SYSTEM.INI"));
}

}  // namespace
