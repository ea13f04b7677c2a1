#include "platform/kernel/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/links.h"
#include "platform/kernel/time.h"
#include "tests/common/TestUtil.h"

using wutest::U16;
using wutest::U8;

namespace {

// A fresh folder per test, with helpers to name and fill files in it.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("files");
    ASSERT_FALSE(dir_.empty());
  }

  std::string Linux(const std::string& name) const { return dir_ + "/" + name; }
  // The library's form, written with '\' to show both separators work.
  std::u16string Path(const std::string& name) const {
    std::u16string p = U16(dir_ + "\\" + name);
    return p;
  }

  void Put(const std::string& name, const std::string& content) const {
    std::ofstream(Linux(name), std::ios::binary) << content;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(Linux(name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool Exists(const std::string& name) const {
    struct stat st;
    return lstat(Linux(name).c_str(), &st) == 0;
  }
  // The names in the test folder, or in its subfolder `sub`.
  std::vector<std::string> Listing(const std::string& sub = "") const {
    std::vector<std::string> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((Path(sub.empty() ? "*" : sub + "\\*")).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      std::string n = U8(fd.cFileName);
      if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return names;
  }

  std::string dir_;  // this test's folder (Linux path)
};

HANDLE Open(const std::u16string& path, DWORD access, DWORD disposition, DWORD share = 0,
            DWORD flags = 0) {
  return CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// Restores the current folder when a test changed it.
struct CwdGuard {
  CwdGuard() { cwd = getcwd(nullptr, 0); }
  ~CwdGuard() {
    if (cwd && chdir(cwd) != 0) ADD_FAILURE() << "cannot restore the current folder";
    free(cwd);
  }
  char* cwd;
};

// ---- Opening ----------------------------------------------------------------------

TEST_F(FilesTest, DispositionsFollowThePlatformsResultsAndLastErrors) {
  struct Case {
    DWORD disposition;
    bool exists;           // the file exists beforehand with "old"
    bool opens;            // expected success
    DWORD error;           // expected last error
    const char* content;   // content afterwards (nullptr: no file)
  } cases[] = {
      {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
  };
  int i = 0;
  for (const Case& c : cases) {
    std::string name = "f" + std::to_string(i++);
    if (c.exists) Put(name, "old");
    SetLastError(12345);
    HANDLE h = Open(Path(name), GENERIC_READ | GENERIC_WRITE, c.disposition);
    SCOPED_TRACE("disposition " + std::to_string(c.disposition) +
                 (c.exists ? " existing" : " missing"));
    EXPECT_EQ(c.opens, h != INVALID_HANDLE_VALUE);
    EXPECT_EQ(c.error, GetLastError());
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    EXPECT_EQ(c.content != nullptr, Exists(name));
    if (c.content) { EXPECT_EQ(c.content, Get(name)); }
  }
}

TEST_F(FilesTest, OpenRefusalsNameTheCause) {
  Put("ro.txt", "keep");
  ASSERT_TRUE(SetFileAttributesW(Path("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  mkdir(Linux("folder").c_str(), 0755);
  struct Case {
    const char* name;
    DWORD access;
    DWORD disposition;
    DWORD flags;
    DWORD error;
  } cases[] = {
      {"missing\\x.txt", GENERIC_READ, OPEN_EXISTING, 0, ERROR_PATH_NOT_FOUND},
      {"missing\\x.txt", GENERIC_WRITE, CREATE_ALWAYS, 0, ERROR_PATH_NOT_FOUND},
      {"folder", GENERIC_READ, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
      {"folder", GENERIC_READ, CREATE_NEW, 0, ERROR_FILE_EXISTS},
      // The read-only attribute holds even where permission bits would not
      // stop the user (root).
      {"ro.txt", GENERIC_WRITE, OPEN_EXISTING, 0, ERROR_ACCESS_DENIED},
      {"ro.txt", GENERIC_READ, CREATE_ALWAYS, 0, ERROR_ACCESS_DENIED},
      {"ro.txt", GENERIC_READ, 0, 0, ERROR_INVALID_PARAMETER},
      {"ro.txt", GENERIC_READ, TRUNCATE_EXISTING, 0, ERROR_INVALID_PARAMETER},
      {"a*.txt", GENERIC_READ, OPEN_EXISTING, 0, ERROR_INVALID_NAME},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path(c.name), c.access, c.disposition, 0, c.flags));
    EXPECT_EQ(c.error, GetLastError());
  }
  EXPECT_EQ("keep", Get("ro.txt"));
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(u"", GENERIC_READ, OPEN_EXISTING));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

  HANDLE folder = Open(Path("folder"), GENERIC_READ, OPEN_EXISTING, 0, FILE_FLAG_BACKUP_SEMANTICS);
  ASSERT_NE(INVALID_HANDLE_VALUE, folder);
  BY_HANDLE_FILE_INFORMATION info;
  ASSERT_TRUE(GetFileInformationByHandle(folder, &info));
  EXPECT_TRUE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(folder);
}

TEST_F(FilesTest, ShareModesAreEnforcedBetweenHandles) {
  Put("s.txt", "data");
  HANDLE writer = Open(Path("s.txt"), GENERIC_WRITE, OPEN_EXISTING, FILE_SHARE_READ);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  // A second writer is refused; a reader that lets the writer write is not.
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("s.txt"), GENERIC_WRITE, OPEN_EXISTING,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            Open(Path("s.txt"), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  HANDLE reader =
      Open(Path("s.txt"), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
  EXPECT_NE(INVALID_HANDLE_VALUE, reader);
  // A refused CREATE_ALWAYS must not have truncated the file on the way.
  EXPECT_EQ(INVALID_HANDLE_VALUE, Open(Path("s.txt"), GENERIC_WRITE, CREATE_ALWAYS));
  EXPECT_EQ("data", Get("s.txt"));
  // Deleting and renaming need FILE_SHARE_DELETE from every handle.
  EXPECT_FALSE(DeleteFileW(Path("s.txt").c_str()));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  EXPECT_FALSE(MoveFileW(Path("s.txt").c_str(), Path("t.txt").c_str()));
  EXPECT_EQ(ERROR_SHARING_VIOLATION, GetLastError());
  CloseHandle(writer);
  CloseHandle(reader);
  EXPECT_TRUE(DeleteFileW(Path("s.txt").c_str()));
}

TEST_F(FilesTest, DeleteOnCloseWaitsForTheLastHandle) {
  HANDLE h = Open(Path("tmp.bin"), GENERIC_WRITE, CREATE_NEW, FILE_SHARE_DELETE,
                  FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  HANDLE dup = nullptr;
  ASSERT_TRUE(DuplicateHandle(INVALID_HANDLE_VALUE, h, INVALID_HANDLE_VALUE, &dup, 0, FALSE,
                              DUPLICATE_SAME_ACCESS));
  int fd = platform::DescriptorOfFileHandle(h);
  CloseHandle(h);
  EXPECT_TRUE(Exists("tmp.bin"));
  EXPECT_NE(-1, fcntl(fd, F_GETFD));  // still open for the duplicate
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(dup, "x", 1, &written, nullptr));
  CloseHandle(dup);
  EXPECT_FALSE(Exists("tmp.bin"));
  EXPECT_EQ(-1, fcntl(fd, F_GETFD));

  // A file that took the name after the first one was deleted survives.
  h = Open(Path("tmp.bin"), GENERIC_WRITE, CREATE_NEW, FILE_SHARE_DELETE,
           FILE_FLAG_DELETE_ON_CLOSE);
  ASSERT_TRUE(DeleteFileW(Path("tmp.bin").c_str()));
  Put("tmp.bin", "newcomer");
  CloseHandle(h);
  EXPECT_EQ("newcomer", Get("tmp.bin"));
}

// ---- Reading, writing, seeking ----------------------------------------------------

TEST_F(FilesTest, ReadWriteSeekAndTruncateRoundTrip) {
  HANDLE h = Open(Path("rw.bin"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "hello world", 11, &n, nullptr));
  EXPECT_EQ(11u, n);

  EXPECT_EQ(6u, SetFilePointer(h, 6, nullptr, FILE_BEGIN));
  char buf[32] = {};
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // short read at the end
  EXPECT_EQ(5u, n);
  EXPECT_EQ("world", std::string(buf, n));
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
  EXPECT_EQ(0u, n);

  EXPECT_EQ(6u, SetFilePointer(h, -5, nullptr, FILE_END));
  EXPECT_EQ(8u, SetFilePointer(h, 2, nullptr, FILE_CURRENT));
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -9, nullptr, FILE_CURRENT));
  EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
  EXPECT_EQ(8u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));  // did not move

  // Positioned read: leaves the pointer after the bytes read.
  OVERLAPPED ov = {};
  ov.Offset = 1;
  ASSERT_TRUE(ReadFile(h, buf, 4, &n, &ov));
  EXPECT_EQ("ello", std::string(buf, n));
  EXPECT_EQ(5u, SetFilePointer(h, 0, nullptr, FILE_CURRENT));
  ov.Offset = 100;
  EXPECT_FALSE(ReadFile(h, buf, 4, &n, &ov));
  EXPECT_EQ(ERROR_HANDLE_EOF, GetLastError());

  SetFilePointer(h, 5, nullptr, FILE_BEGIN);
  ASSERT_TRUE(SetEndOfFile(h));
  DWORD high = 7;
  EXPECT_EQ(5u, GetFileSize(h, &high));
  EXPECT_EQ(0u, high);
  ASSERT_TRUE(FlushFileBuffers(h));
  CloseHandle(h);
  EXPECT_EQ("hello", Get("rw.bin"));

  HANDLE ro = Open(Path("rw.bin"), GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
  EXPECT_FALSE(WriteFile(ro, "x", 1, &n, nullptr));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_FALSE(SetEndOfFile(ro));
  CloseHandle(ro);
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(ro, nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FilesTest, PositionsPast4GiBUseTheHighHalf) {
  HANDLE h = Open(Path("big.bin"), GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  // Without a high half the position must stay below 4 GiB.
  EXPECT_EQ(0x7FFFFFFFu, SetFilePointer(h, 0x7FFFFFFF, nullptr, FILE_BEGIN));
  EXPECT_EQ(0xFFFFFFFEu, SetFilePointer(h, 0x7FFFFFFF, nullptr, FILE_CURRENT));
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, 2, nullptr, FILE_CURRENT));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());

  LONG high = 1;
  EXPECT_EQ(0x10u, SetFilePointer(h, 0x10, &high, FILE_BEGIN));  // 4 GiB + 16
  EXPECT_EQ(1, high);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(h, "z", 1, &n, nullptr));  // sparse: one block on disk
  DWORD size_high = 0;
  EXPECT_EQ(0x11u, GetFileSize(h, &size_high));
  EXPECT_EQ(1u, size_high);

  // A low half of 0xFFFFFFFF is a real position: last error tells.
  high = 0;
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -1, &high, FILE_BEGIN));
  EXPECT_EQ(ERROR_SUCCESS, GetLastError());
  EXPECT_EQ(0, high);
  // Going back across the 4 GiB line from the end.
  high = -1;
  EXPECT_EQ(0xFFFFFFF0u, SetFilePointer(h, -0x21, &high, FILE_END));
  EXPECT_EQ(0, high);

  LARGE_INTEGER dist, pos;
  dist.QuadPart = -(LONGLONG{1} << 33);
  EXPECT_FALSE(SetFilePointerEx(h, dist, &pos, FILE_END));
  EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
  dist.QuadPart = 0;
  ASSERT_TRUE(SetFilePointerEx(h, dist, &pos, FILE_END));
  EXPECT_EQ((LONGLONG{1} << 32) + 0x11, pos.QuadPart);
  CloseHandle(h);
}

// ---- Attributes and times --------------------------------------------------------------

TEST_F(FilesTest, AttributesFollowModeNameAndKind) {
  Put("plain.txt", "x");
  Put(".hidden", "x");
  mkdir(Linux("sub").c_str(), 0755);
  EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(Path("plain.txt").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, GetFileAttributesW(Path(".hidden").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(Path("sub").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesW(Path("sub\\..\\sub\\.\\").c_str()));

  // Read-only round trip: all write bits go, the owner's comes back.
  chmod(Linux("plain.txt").c_str(), 0666);
  ASSERT_TRUE(SetFileAttributesW(Path("plain.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  struct stat st;
  stat(Linux("plain.txt").c_str(), &st);
  EXPECT_EQ(0u, st.st_mode & 0222);
  EXPECT_EQ(FILE_ATTRIBUTE_READONLY, GetFileAttributesW(Path("plain.txt").c_str()));
  EXPECT_FALSE(DeleteFileW(Path("plain.txt").c_str()));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  ASSERT_TRUE(SetFileAttributesW(Path("plain.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  stat(Linux("plain.txt").c_str(), &st);
  EXPECT_EQ(static_cast<mode_t>(S_IWUSR), st.st_mode & 0222);
  EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(Path("plain.txt").c_str()));

  // A link reports what it points at, marked as a reparse point.
  ASSERT_EQ(0, symlink(Linux("sub").c_str(), Linux("link").c_str()));
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
            GetFileAttributesW(Path("link").c_str()));

  struct Missing {
    const char* name;
    DWORD error;
  } missing[] = {{"nothing", ERROR_FILE_NOT_FOUND},
                 {"nothing\\deeper", ERROR_PATH_NOT_FOUND},
                 {"plain.txt\\deeper", ERROR_PATH_NOT_FOUND}};
  for (const Missing& m : missing) {
    SCOPED_TRACE(m.name);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Path(m.name).c_str()));
    EXPECT_EQ(m.error, GetLastError());
  }
}

// A link in the last place of a name is the link itself for every call
// that must not follow it, whether or not the name ends in a separator
// (Linux follows a final link named with a trailing '/'): the folder it
// points at keeps its files and its mode.
TEST_F(FilesTest, AFinalLinkIsTheLinkWithOrWithoutATrailingSeparator) {
  mkdir(Linux("out").c_str(), 0755);
  Put("out/keep.txt", "keep");
  chmod(Linux("out").c_str(), 0555);
  auto out_intact = [&] {
    struct stat st;
    return stat(Linux("out").c_str(), &st) == 0 && (st.st_mode & 0777) == 0555 &&
           Get("out/keep.txt") == "keep";
  };
  auto is_link = [&](const std::string& name) {
    struct stat st;
    return lstat(Linux(name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
  };
  for (const char* suffix : {"", "\\", "/"}) {
    SCOPED_TRACE(std::string("suffix '") + suffix + "'");
    ASSERT_EQ(0, symlink(Linux("out").c_str(), Linux("ln").c_str()));
    std::u16string ln = Path("ln") + U16(suffix);
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_REPARSE_POINT,
              GetFileAttributesW(ln.c_str()));
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(ln.c_str(), GetFileExInfoStandard, &data));
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    // Attributes are never changed through the link.
    EXPECT_TRUE(SetFileAttributesW(ln.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(SetFileAttributesW(ln.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
    EXPECT_TRUE(out_intact());
    // Never opened through it.
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              platform::CreateFileNoFollow(ln.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS));
    // Moved, then removed, as the link.
    ASSERT_TRUE(MoveFileExW(ln.c_str(), Path("moved").c_str(), 0));
    EXPECT_TRUE(is_link("moved"));
    ASSERT_TRUE(MoveFileExW((Path("moved") + U16(suffix)).c_str(), Path("ln").c_str(), 0));
    EXPECT_TRUE(DeleteFileW(ln.c_str()));
    EXPECT_FALSE(Exists("ln"));
    ASSERT_EQ(0, symlink(Linux("out").c_str(), Linux("ln").c_str()));
    EXPECT_TRUE(RemoveDirectoryW(ln.c_str()));
    EXPECT_FALSE(Exists("ln"));
    EXPECT_TRUE(out_intact());
  }

  // A separator after a file, or a link to one, still asks for a folder.
  ASSERT_EQ(0, symlink(Linux("out/keep.txt").c_str(), Linux("fl").c_str()));
  for (const char* name : {"out\\keep.txt\\", "fl/"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Path(name).c_str()));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    EXPECT_FALSE(DeleteFileW(Path(name).c_str()));
  }
  EXPECT_TRUE(is_link("fl"));
  EXPECT_TRUE(out_intact());
  chmod(Linux("out").c_str(), 0755);
}

// A name that ends in a separator asks for a folder: a link that points
// nowhere (or at itself) named so gets the answers of a file named so from
// every call, and stays; nothing is created where it points.
TEST_F(FilesTest, ALinkThatPointsNowhereNamedWithASeparatorIsNoFolder) {
  Put("file", "f");
  Put("src", "s");
  ASSERT_EQ(0, symlink(Linux("file").c_str(), Linux("to-file").c_str()));
  ASSERT_EQ(0, symlink(Linux("gone").c_str(), Linux("dangling").c_str()));
  ASSERT_EQ(0, symlink("loop", Linux("loop").c_str()));
  for (const char* name : {"file", "to-file", "dangling", "loop"}) {
    for (const char* suffix : {"\\", "/"}) {
      std::u16string path = Path(name) + U16(suffix);
      SCOPED_TRACE(U8(path));
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      WIN32_FILE_ATTRIBUTE_DATA data;
      EXPECT_FALSE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      EXPECT_FALSE(DeleteFileW(path.c_str()));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      EXPECT_FALSE(RemoveDirectoryW(path.c_str()));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      EXPECT_FALSE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      EXPECT_FALSE(MoveFileExW(path.c_str(), Path("moved").c_str(), 0));
      EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
      EXPECT_FALSE(MoveFileExW(Path("src").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
      EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_READ, OPEN_EXISTING));
      EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_WRITE, CREATE_ALWAYS));
      EXPECT_EQ(INVALID_HANDLE_VALUE, Open(path, GENERIC_WRITE, OPEN_ALWAYS));
      EXPECT_EQ(INVALID_HANDLE_VALUE, platform::CreateFileNoFollow(path.c_str(), GENERIC_READ, 0,
                                                                    OPEN_EXISTING, 0));
      WIN32_FIND_DATAW found;
      EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(path.c_str(), &found));
      EXPECT_TRUE(Exists(name));
      EXPECT_FALSE(Exists("moved"));
      EXPECT_FALSE(Exists("gone"));
    }
  }
  EXPECT_EQ("f", Get("file"));
  EXPECT_EQ("s", Get("src"));
}

// A link moved as a link keeps naming what it named, even nothing; it never
// takes a name that is in use, and a failed move leaves both names alone.
TEST_F(FilesTest, MoveSymbolicLinkKeepsWhatTheLinkNames) {
  auto text_of = [&](const std::string& name) {
    char text[256] = {};
    return readlink(Linux(name).c_str(), text, sizeof text - 1) > 0 ? std::string(text) : "";
  };
  mkdir(Linux("sub").c_str(), 0755);
  Put("file", "f");
  ASSERT_EQ(0, symlink("gone", Linux("dangling").c_str()));
  ASSERT_TRUE(platform::MoveSymbolicLink(Path("dangling").c_str(), Path("sub\\d").c_str()));
  EXPECT_EQ("../gone", text_of("sub/d"));
  EXPECT_FALSE(Exists("dangling"));

  ASSERT_EQ(0, symlink("file", Linux("ln").c_str()));
  struct Refused {
    const char* from;
    const char* to;
    DWORD error;
  } refused[] = {
      {"ln", "sub\\d", ERROR_ALREADY_EXISTS},  // a dangling link is a name in use
      {"ln", "file", ERROR_ALREADY_EXISTS},
      {"ln", "none\\ln", ERROR_PATH_NOT_FOUND},  // the new folder must exist
      {"file", "sub\\f", ERROR_INVALID_PARAMETER},  // no link
      {"missing", "sub\\m", ERROR_FILE_NOT_FOUND},
  };
  for (const Refused& r : refused) {
    SCOPED_TRACE(std::string(r.from) + " -> " + r.to);
    EXPECT_FALSE(platform::MoveSymbolicLink(Path(r.from).c_str(), Path(r.to).c_str()));
    EXPECT_EQ(r.error, GetLastError());
  }
  EXPECT_EQ("file", text_of("ln"));
  EXPECT_EQ("../gone", text_of("sub/d"));
  EXPECT_EQ("f", Get("file"));
  EXPECT_FALSE(Exists("sub/f"));
}

TEST_F(FilesTest, TimesSetThroughAHandleReadBackEverywhere) {
  Put("t.txt", "12345");
  HANDLE h = Open(Path("t.txt"), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  FILETIME access = platform::UnixToFileTime(1000000000, 500);   // 2001
  FILETIME write = platform::UnixToFileTime(1234567890, 100);    // 2009
  ASSERT_TRUE(SetFileTime(h, nullptr, &access, &write));
  FILETIME c{}, a{}, w{};
  ASSERT_TRUE(GetFileTime(h, &c, &a, &w));
  EXPECT_EQ(0, CompareFileTime(&access, &a));
  EXPECT_EQ(0, CompareFileTime(&write, &w));
  EXPECT_NE(0u, c.dwHighDateTime);  // birth time, or the write time without one
  // NULL leaves a time alone.
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &access));
  ASSERT_TRUE(GetFileTime(h, nullptr, &a, &w));
  EXPECT_EQ(0, CompareFileTime(&access, &a));
  EXPECT_EQ(0, CompareFileTime(&access, &w));
  CloseHandle(h);

  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW(Path("t.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(0, CompareFileTime(&access, &data.ftLastWriteTime));
  EXPECT_EQ(5u, data.nFileSizeLow);
  EXPECT_FALSE(GetFileAttributesExW(Path("t.txt").c_str(), GetFileExMaxInfoLevel, &data));
}

// ---- Folders ----------------------------------------------------------------------------

TEST_F(FilesTest, FolderCreationAndRemovalErrors) {
  EXPECT_TRUE(CreateDirectoryW(Path("d").c_str(), nullptr));
  EXPECT_FALSE(CreateDirectoryW(Path("d").c_str(), nullptr));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_FALSE(CreateDirectoryW(Path("no\\d").c_str(), nullptr));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

  Put("d/f", "x");
  EXPECT_FALSE(RemoveDirectoryW(Path("d").c_str()));
  EXPECT_EQ(ERROR_DIR_NOT_EMPTY, GetLastError());
  EXPECT_FALSE(RemoveDirectoryW(Path("d\\f").c_str()));
  EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
  EXPECT_FALSE(DeleteFileW(Path("d").c_str()));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());

  // Removing a link to a folder removes the link, never the folder's files.
  ASSERT_EQ(0, symlink(Linux("d").c_str(), Linux("dl").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(Path("dl\\").c_str()));
  EXPECT_FALSE(Exists("dl"));
  EXPECT_TRUE(Exists("d/f"));

  EXPECT_TRUE(DeleteFileW(Path("d\\f").c_str()));
  EXPECT_TRUE(RemoveDirectoryW(Path("d").c_str()));
  EXPECT_FALSE(RemoveDirectoryW(Path("d").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST(FileNameMatch, WildcardRules) {
  struct Case {
    const char16_t* pattern;
    const char16_t* name;
    bool match;
  } cases[] = {
      {u"*", u"anything.at.all", true},
      {u"*.*", u"noext", true},
      {u"*.*", u"a.b", true},
      {u"*.txt", u"A.TXT", true},  // case-insensitive
      {u"*.txt", u"a.txt.bak", false},
      {u"*.txt", u"atxt", false},
      {u"a*c", u"abxbc", true},
      {u"a*c", u"abxcb", false},
      {u"a?c", u"abc", true},
      {u"a?c", u"ac", false},     // '?' skips nothing inside the name
      {u"ab?", u"ab", true},      // ... but may at its end
      {u"ab??", u"abc", true},
      {u"?", u"", true},
      {u"x.*", u"x", true},
      {u"x.", u"x", true},
      {u"x.y", u"x", false},
      {u"**a*", u"bab", true},
      {u"\u00e9*", u"\u00c9t\u00e9", true},  // non-ASCII case folding
      {u"", u"", true},
      {u"", u"a", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.match, platform::MatchFileName(c.pattern, c.name))
        << U8(c.pattern) << " vs " << U8(c.name);
  }
}

TEST_F(FilesTest, FindListsMatchesSortedWithDotsFirst) {
  for (const char* name : {"b.txt", "A.TXT", "c.dat", "noext", ".hidden", "-dash"}) Put(name, "x");
  mkdir(Linux("sub").c_str(), 0755);

  struct Case {
    const char* pattern;
    std::vector<std::string> names;  // empty: no match
  } cases[] = {
      {"*", {".", "..", "-dash", ".hidden", "A.TXT", "b.txt", "c.dat", "noext", "sub"}},
      {"*.*", {".", "..", "-dash", ".hidden", "A.TXT", "b.txt", "c.dat", "noext", "sub"}},
      {"*.txt", {"A.TXT", "b.txt"}},
      {"?.dat", {"c.dat"}},
      {"noext", {"noext"}},  // no wildcard: that one entry
      {"zz*", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(Path(c.pattern).c_str(), &fd);
    if (c.names.empty()) {
      EXPECT_EQ(INVALID_HANDLE_VALUE, h);
      EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
      continue;
    }
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    std::vector<std::string> got;
    do {
      got.push_back(U8(fd.cFileName));
      if (got.back() == "sub") { EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, fd.dwFileAttributes); }
      if (got.back() == ".hidden") { EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN, fd.dwFileAttributes); }
      if (got.back() == "b.txt") { EXPECT_EQ(1u, fd.nFileSizeLow); }
    } while (FindNextFileW(h, &fd));
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_EQ(c.names, got);
    EXPECT_FALSE(CloseHandle(h));  // a search is not a kernel handle
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  }

  WIN32_FIND_DATAW fd;
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(Path("missing\\*").c_str(), &fd));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(Path("missing.txt").c_str(), &fd));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

// ---- Moving and copying -------------------------------------------------------------

TEST_F(FilesTest, MoveRefusesOrReplacesAnExistingTarget) {
  Put("a", "A");
  Put("b", "B");
  EXPECT_FALSE(MoveFileW(Path("a").c_str(), Path("b").c_str()));
  EXPECT_EQ(ERROR_ALREADY_EXISTS, GetLastError());
  EXPECT_EQ("A", Get("a"));
  EXPECT_EQ("B", Get("b"));

  ASSERT_TRUE(MoveFileExW(Path("a").c_str(), Path("b").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(Exists("a"));
  EXPECT_EQ("A", Get("b"));

  Put("c", "C");
  ASSERT_TRUE(SetFileAttributesW(Path("b").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(MoveFileExW(Path("c").c_str(), Path("b").c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("A", Get("b"));

  EXPECT_FALSE(MoveFileW(Path("gone").c_str(), Path("x").c_str()));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_FALSE(MoveFileW(Path("c").c_str(), Path("no\\x").c_str()));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
  // A folder moves as a whole.
  mkdir(Linux("d").c_str(), 0755);
  Put("d/in", "I");
  ASSERT_TRUE(MoveFileW(Path("d").c_str(), Path("e").c_str()));
  EXPECT_EQ("I", Get("e/in"));
}

TEST_F(FilesTest, MoveAcrossFileSystemsNeedsCopyAllowed) {
  struct stat here, shm;
  if (stat("/dev/shm", &shm) != 0 || stat(dir_.c_str(), &here) != 0 || shm.st_dev == here.st_dev ||
      access("/dev/shm", W_OK) != 0)
    GTEST_SKIP() << "no second writable file system at /dev/shm";
  std::string other = "/dev/shm/wu-files-" + std::to_string(getpid());
  Put("m", "moved");
  EXPECT_FALSE(MoveFileExW(Path("m").c_str(), U16(other).c_str(), 0));
  EXPECT_EQ(ERROR_NOT_SAME_DEVICE, GetLastError());
  ASSERT_TRUE(MoveFileExW(Path("m").c_str(), U16(other).c_str(), MOVEFILE_COPY_ALLOWED));
  EXPECT_FALSE(Exists("m"));
  std::ifstream in(other);
  std::string content;
  std::getline(in, content);
  EXPECT_EQ("moved", content);
  unlink(other.c_str());
}

TEST_F(FilesTest, CopyKeepsContentModeAndTimesAndHonoursFailIfExists) {
  Put("src", "source data");
  chmod(Linux("src").c_str(), 0640);
  struct timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
  utimensat(AT_FDCWD, Linux("src").c_str(), times, 0);

  ASSERT_TRUE(CopyFileW(Path("src").c_str(), Path("dst").c_str(), TRUE));
  EXPECT_EQ("source data", Get("dst"));
  struct stat st;
  stat(Linux("dst").c_str(), &st);
  EXPECT_EQ(0640u, st.st_mode & 07777);
  EXPECT_EQ(1234567890, st.st_mtim.tv_sec);

  Put("other", "other data");
  EXPECT_FALSE(CopyFileW(Path("other").c_str(), Path("dst").c_str(), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_EQ("source data", Get("dst"));
  ASSERT_TRUE(CopyFileW(Path("other").c_str(), Path("dst").c_str(), FALSE));
  EXPECT_EQ("other data", Get("dst"));

  EXPECT_FALSE(CopyFileW(Path("missing").c_str(), Path("dst").c_str(), FALSE));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
  EXPECT_EQ((std::vector<std::string>{"dst", "other", "src"}), Listing());
}

TEST_F(FilesTest, FailedCopyLeavesTheTargetWholeAndNoPartialFile) {
  // Reading this file fails after it opened, half way through a copy.
  Put("dst", "precious");
  EXPECT_FALSE(CopyFileW(u"/proc/self/mem", Path("dst").c_str(), FALSE));
  EXPECT_EQ("precious", Get("dst"));
  EXPECT_EQ(std::vector<std::string>{"dst"}, Listing());
}

// Makes nested folders under `base` (Linux path) until the path is at least
// `length` characters long; returns it.
std::string LongFolder(const std::string& base, size_t length) {
  std::string path = base;
  while (path.size() < length) {
    path += "/" + std::string(40, 'd');
    if (mkdir(path.c_str(), 0755) != 0) return std::string();
  }
  return path;
}

TEST_F(FilesTest, WriteReplacingSwapsInAWholeFileOrLeavesTheTarget) {
  const std::string bytes(4096, 'n');
  Put("t", "old");
  ASSERT_TRUE(platform::WriteFileReplacing(Path("t").c_str(), bytes.data(), 4096, true, u"ab"));
  EXPECT_EQ(bytes, Get("t"));
  // Without `replace` an existing target refuses; a new one is written.
  EXPECT_FALSE(platform::WriteFileReplacing(Path("t").c_str(), "x", 1, false, u"ab"));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  ASSERT_TRUE(platform::WriteFileReplacing(Path("u").c_str(), "x", 1, false, u"ab"));
  EXPECT_EQ("x", Get("u"));
  // A write that fails part-way, and a read-only target.
  Put("t", "old");
  {
    wutest::FileSizeLimit limit(100);
    EXPECT_FALSE(platform::WriteFileReplacing(Path("t").c_str(), bytes.data(), 4096, true, u"ab"));
  }
  EXPECT_NE(ERROR_SUCCESS, GetLastError());
  EXPECT_EQ("old", Get("t"));
  ASSERT_TRUE(SetFileAttributesW(Path("u").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(platform::WriteFileReplacing(Path("u").c_str(), "y", 1, true, u"ab"));
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("x", Get("u"));
  EXPECT_EQ((std::vector<std::string>{"t", "u"}), Listing());
}

// The permission bits of a file (Linux path).
mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The bits a new file gets under the process's umask.
mode_t NewFileMode() {
  mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

TEST_F(FilesTest, WriteReplacingKeepsTheTargetsPermissionBits) {
  for (mode_t mode : {0600u, 0755u, 0640u, 0444u}) {
    SCOPED_TRACE(mode);
    Put("t", "old");
    ASSERT_EQ(0, chmod(Linux("t").c_str(), mode));
    BOOL ok = platform::WriteFileReplacing(Path("t").c_str(), "new", 3, true, u"ab");
    if (mode & S_IWUSR) {
      ASSERT_TRUE(ok);
      EXPECT_EQ("new", Get("t"));
    } else {
      EXPECT_FALSE(ok);  // read-only: refused, as before
      EXPECT_EQ("old", Get("t"));
    }
    EXPECT_EQ(mode, ModeOf(Linux("t")));
    chmod(Linux("t").c_str(), 0644);
  }
  // A new target gets the bits of any new file.
  ASSERT_TRUE(platform::WriteFileReplacing(Path("n").c_str(), "x", 1, false, u"ab"));
  EXPECT_EQ(NewFileMode(), ModeOf(Linux("n")));
  EXPECT_EQ((std::vector<std::string>{"n", "t"}), Listing());
}

TEST_F(FilesTest, WriteReplacingTakesColonsLongPathsAndLinks) {
  ASSERT_EQ(0, mkdir(Linux("shots").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Linux("real").c_str(), 0755));
  std::string deep = LongFolder(dir_, 300);
  ASSERT_FALSE(deep.empty());
  const std::string deep_name = deep.substr(dir_.size() + 1) + "/deep.bin";
  Put(deep_name, "old");
  Put("real/r.png", "old");
  ASSERT_EQ(0, chmod(Linux("real/r.png").c_str(), 0640));
  ASSERT_EQ(0, symlink("real/r.png", Linux("link.png").c_str()));
  ASSERT_EQ(0, symlink("real/new.png", Linux("dangling.png").c_str()));
  Put("~taken", "user's");
  const std::string long_name(255, 'n');  // no room for a prefix
  for (const std::string& name : {std::string("shots/2024-05-01T12:30:00.png"), deep_name,
                                  std::string("link.png"), std::string("dangling.png"),
                                  std::string("taken"), long_name}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(platform::WriteFileReplacing(U16(Linux(name)).c_str(), "new", 3, true, u"~"));
    EXPECT_EQ("new", Get(name));
  }
  // The links stay links; the files they name took the bytes.
  struct stat st;
  ASSERT_EQ(0, lstat(Linux("link.png").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("new", Get("real/r.png"));
  EXPECT_EQ(0640u, ModeOf(Linux("real/r.png")));
  ASSERT_EQ(0, lstat(Linux("dangling.png").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("new", Get("real/new.png"));
  EXPECT_EQ("user's", Get("~taken"));

  // A failed write leaves the file the link names as it was, and nothing
  // beside it; so does a name already taken by a link to elsewhere.
  {
    wutest::FileSizeLimit limit(2);
    EXPECT_FALSE(platform::WriteFileReplacing(Path("link.png").c_str(), "newer", 5, true, u"~"));
  }
  EXPECT_EQ("new", Get("real/r.png"));
  EXPECT_EQ((std::vector<std::string>{"new.png", "r.png"}), Listing("real"));
  // Without `replace` a link at the name is there already, dangling or not.
  ASSERT_EQ(0, symlink("real/none.png", Linux("dangling2.png").c_str()));
  EXPECT_FALSE(platform::WriteFileReplacing(Path("dangling2.png").c_str(), "x", 1, false, u"~"));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  EXPECT_FALSE(Exists("real/none.png"));
  ASSERT_EQ(0, symlink("loop", Linux("loop").c_str()));
  EXPECT_FALSE(platform::WriteFileReplacing(Path("loop").c_str(), "x", 1, true, u"~"));
  EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, GetLastError());
}

TEST_F(FilesTest, CopyWritesThroughALinkAtTheTarget) {
  Put("src", "source");
  ASSERT_EQ(0, mkdir(Linux("real").c_str(), 0755));
  Put("real/r", "old");
  ASSERT_EQ(0, symlink("real/r", Linux("link").c_str()));
  std::string deep = LongFolder(dir_, 300);
  ASSERT_FALSE(deep.empty());
  for (const std::string& target : {Linux("link"), Linux("12:30.bin"), deep + "/copy"}) {
    SCOPED_TRACE(target);
    ASSERT_TRUE(CopyFileW(Path("src").c_str(), U16(target).c_str(), FALSE));
    EXPECT_EQ("source", wutest::ReadBytes(target));
  }
  struct stat st;
  ASSERT_EQ(0, lstat(Linux("link").c_str(), &st));
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ("source", Get("real/r"));
  // With fail_if_exists the link is there already.
  EXPECT_FALSE(CopyFileW(Path("src").c_str(), Path("link").c_str(), TRUE));
  EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
}

TEST_F(FilesTest, PrivateFilesAreTheOwnersAloneAndNeverReuseAName) {
  HANDLE h = platform::CreatePrivateFile(Path("p").c_str(), GENERIC_READ | GENERIC_WRITE, 0);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(0600u, ModeOf(Linux("p")));
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
  // The bits of a model file, or those of a new file when there is none.
  Put("model", "m");
  ASSERT_EQ(0, chmod(Linux("model").c_str(), 0751));
  EXPECT_TRUE(platform::SetFileModeLike(h, Path("model").c_str()));
  EXPECT_EQ(0751u, ModeOf(Linux("p")));
  EXPECT_TRUE(platform::SetFileModeLike(h, Path("none").c_str()));
  EXPECT_EQ(NewFileMode(), ModeOf(Linux("p")));
  CloseHandle(h);
  EXPECT_EQ("abc", Get("p"));

  // Whatever holds the name already is refused and left alone: a file, a
  // folder, a link (dangling or not).
  ASSERT_EQ(0, mkdir(Linux("d").c_str(), 0755));
  ASSERT_EQ(0, symlink(Linux("model").c_str(), Linux("link").c_str()));
  ASSERT_EQ(0, symlink(Linux("gone").c_str(), Linux("dangling").c_str()));
  for (const char* name : {"p", "d", "link", "dangling"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(INVALID_HANDLE_VALUE, platform::CreatePrivateFile(Path(name).c_str(), GENERIC_WRITE, 0));
    EXPECT_EQ(ERROR_FILE_EXISTS, GetLastError());
  }
  EXPECT_EQ("m", Get("model"));
  EXPECT_FALSE(Exists("gone"));
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            platform::CreatePrivateFile(Path("missing\\x").c_str(), GENERIC_WRITE, 0));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

  // A fresh name in a folder, made private too.
  WCHAR temp[MAX_PATH];
  h = platform::CreatePrivateTempFile(U16(dir_).c_str(), u"wxyz", temp, GENERIC_WRITE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  std::string name = U8(temp).substr(dir_.size() + 1);
  EXPECT_EQ("wxy", name.substr(0, 3));
  EXPECT_EQ(0600u, ModeOf(U8(temp)));
  EXPECT_EQ(INVALID_HANDLE_VALUE,
            platform::CreatePrivateTempFile(Path("model").c_str(), u"w", temp, GENERIC_WRITE));
  EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
}

TEST_F(FilesTest, ReplacedFileNameFollowsFinalLinks) {
  ASSERT_EQ(0, mkdir(Linux("real").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Linux("sub").c_str(), 0755));
  Put("real/r.png", "old");
  ASSERT_EQ(0, symlink("real/r.png", Linux("rel").c_str()));
  ASSERT_EQ(0, symlink(Linux("real/r.png").c_str(), Linux("abs").c_str()));
  ASSERT_EQ(0, symlink("rel", Linux("chain").c_str()));
  ASSERT_EQ(0, symlink("../real/gone.png", Linux("sub/dangling").c_str()));
  // "../" in a link's text climbs from where a linked folder leads.
  ASSERT_EQ(0, symlink(Linux("real").c_str(), Linux("sub/to_real").c_str()));
  ASSERT_EQ(0, symlink("../up", Linux("real/climb").c_str()));
  ASSERT_EQ(0, symlink("loop2", Linux("loop1").c_str()));
  ASSERT_EQ(0, symlink("loop1", Linux("loop2").c_str()));
  struct Case {
    std::string name;      // under the test folder
    std::string expected;  // Linux path of the file to replace
  } cases[] = {
      {"plain.png", Linux("plain.png")},
      {"shots/2024-05-01T12:30:00.png", Linux("shots/2024-05-01T12:30:00.png")},
      {"rel", Linux("real/r.png")},
      {"abs", Linux("real/r.png")},
      {"chain", Linux("real/r.png")},
      {"sub/dangling", Linux("real/gone.png")},
      {"sub/to_real/climb", dir_ + "/up"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string file;
    ASSERT_TRUE(platform::GetReplacedFileName(U16(dir_ + "/" + c.name).c_str(), &file));
    EXPECT_EQ(c.expected, U8(file));
  }
  // A relative name stays relative, and one whose folder looks like a
  // drive is written so that it maps back to itself.
  CwdGuard guard;
  ASSERT_EQ(0, chdir(dir_.c_str()));
  ASSERT_EQ(0, symlink("C:x", Linux("drive_like").c_str()));
  std::u16string file;
  ASSERT_TRUE(platform::GetReplacedFileName(u"chain", &file));
  EXPECT_EQ(u"real/r.png", file);
  ASSERT_TRUE(platform::GetReplacedFileName(u"drive_like", &file));
  EXPECT_EQ("C:x", platform::ToLinuxPath(file));
  // No MAX_PATH bound; a loop of links is refused.
  std::string deep = LongFolder(dir_, 300);
  ASSERT_FALSE(deep.empty());
  ASSERT_EQ(0, symlink("target", (deep + "/link").c_str()));
  ASSERT_TRUE(platform::GetReplacedFileName(U16(deep + "/link").c_str(), &file));
  EXPECT_EQ(deep + "/target", U8(file));
  EXPECT_FALSE(platform::GetReplacedFileName(Path("loop1").c_str(), &file));
  EXPECT_EQ(ERROR_CANT_RESOLVE_FILENAME, GetLastError());
}

TEST_F(FilesTest, PrivateFileBesideTakesAFreeNameOfAnyLength) {
  Put("data.ach", "mine");
  Put("~taken.ach", "user's");
  ASSERT_EQ(0, symlink(Linux("data.ach").c_str(), Linux("~linked.ach").c_str()));
  const std::string long_name(250, 'n');  // "~" + it fits, "~~~~~~" + it does not
  struct Case {
    std::string file;      // the file the copy goes beside
    const char16_t* prefix;
    std::string expected;  // the name made
  } cases[] = {
      {"data.ach", u"~", "~data.ach"},
      {"12:30.bin", u"~", "~12:30.bin"},
      {"taken.ach", u"~", "~taken.ach.1"},    // a user's file keeps its name
      {"linked.ach", u"~", "~linked.ach.1"},  // and so does a link
      {long_name, u"~", "~" + long_name},
      {long_name, u"~~~~~~", "~~~~~~" + long_name.substr(0, 255 - 6 - 2) + ".1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    std::u16string work;
    HANDLE h = platform::CreatePrivateFileBeside(Path(c.file).c_str(), c.prefix, &work,
                                                 GENERIC_WRITE);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "w", 1, &n, nullptr));
    CloseHandle(h);
    EXPECT_EQ(Linux(c.expected), platform::ToLinuxPath(work));
    EXPECT_EQ(0600u, ModeOf(Linux(c.expected)));
    EXPECT_EQ("w", Get(c.expected));
  }
  EXPECT_EQ("user's", Get("~taken.ach"));
  EXPECT_EQ("mine", Get("data.ach"));
  // The next copy beside a taken name takes the next number.
  std::u16string work;
  HANDLE h =
      platform::CreatePrivateFileBeside(Path("taken.ach").c_str(), u"~", &work, GENERIC_WRITE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  EXPECT_EQ(Linux("~taken.ach.2"), U8(work));
  // Deep folders are no limit.
  std::string deep = LongFolder(dir_, 300);
  ASSERT_FALSE(deep.empty());
  h = platform::CreatePrivateFileBeside(U16(deep + "/x").c_str(), u"~", &work, GENERIC_WRITE);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  EXPECT_EQ(deep + "/~x", U8(work));
  // A missing folder, and one that is a file.
  struct Refusal {
    const char* file;
    DWORD error;
  } refusals[] = {{"missing/x", ERROR_PATH_NOT_FOUND}, {"data.ach/x", ERROR_DIRECTORY}};
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.file);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              platform::CreatePrivateFileBeside(Path(r.file).c_str(), u"~", &work, GENERIC_WRITE));
    EXPECT_EQ(r.error, GetLastError());
  }
}

// ---- Paths ---------------------------------------------------------------------------------

TEST_F(FilesTest, FullPathFoldsDotsAndKeepsRoots) {
  CwdGuard guard;
  ASSERT_TRUE(SetCurrentDirectoryW(U16(dir_).c_str()));
  const std::string cwd = dir_;
  const std::string parent = cwd.substr(0, cwd.rfind('/'));
  struct Case {
    const char16_t* input;
    std::string expected;
    std::string file_part;  // "": no file part
  } cases[] = {
      {u"C:\\a\\b\\..\\c", "C:/a/c", "c"},
      {u"c:/a/./b/", "c:/a/b/", ""},
      {u"C:\\..\\..\\x", "C:/x", "x"},
      {u"C:", "C:/", ""},
      {u"\\\\srv\\share\\a\\..\\b", "//srv/share/b", "b"},
      {u"/x//y/../z", "/x/z", "z"},
      {u"rel\\x.txt", cwd + "/rel/x.txt", "x.txt"},
      {u"..", parent, parent.substr(parent.rfind('/') + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.input));
    WCHAR buf[MAX_PATH];
    LPWSTR part = nullptr;
    DWORD n = GetFullPathNameW(c.input, MAX_PATH, buf, &part);
    EXPECT_EQ(c.expected, U8(buf));
    EXPECT_EQ(c.expected.size(), n);
    EXPECT_EQ(c.file_part, part ? U8(part) : "");
  }
  WCHAR small[4];
  EXPECT_EQ(7u, GetFullPathNameW(u"C:\\abc", 4, small, nullptr));  // size needed
  EXPECT_EQ(0u, GetFullPathNameW(u"\\\\srv", MAX_PATH, small, nullptr));
  EXPECT_EQ(ERROR_BAD_PATHNAME, GetLastError());

  WCHAR cur[MAX_PATH];
  EXPECT_EQ(cwd.size(), GetCurrentDirectoryW(MAX_PATH, cur));
  EXPECT_EQ(cwd, U8(cur));
  EXPECT_EQ(cwd.size() + 1, GetCurrentDirectoryW(2, cur));
  Put("f", "x");
  EXPECT_FALSE(SetCurrentDirectoryW(u"f"));
  EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
}

TEST_F(FilesTest, LongAndShortNamesAreThePathWhenItExists) {
  Put("Long Name.txt", "x");
  std::u16string p = Path("Long Name.txt");
  WCHAR buf[MAX_PATH];
  std::copy(p.begin(), p.end() + 1, buf);
  EXPECT_EQ(p.size(), GetLongPathNameW(buf, buf, MAX_PATH));  // in place
  EXPECT_EQ(p, buf);
  EXPECT_EQ(p.size(), GetShortPathNameW(p.c_str(), buf, MAX_PATH));
  EXPECT_EQ(p.size() + 1, GetShortPathNameW(p.c_str(), buf, 3));
  EXPECT_EQ(0u, GetLongPathNameW(Path("nope").c_str(), buf, MAX_PATH));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
}

TEST_F(FilesTest, DriveLettersMapToConfiguredFolders) {
  ASSERT_TRUE(platform::SetDriveRoot(u'q', dir_ + "/"));
  EXPECT_EQ(dir_, platform::DriveRoot(u'Q'));
  ASSERT_TRUE(CreateDirectoryW(u"Q:\\sub", nullptr));
  HANDLE h = Open(u"q:/sub\\file.txt", GENERIC_WRITE, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  WriteFile(h, "via Q", 5, &n, nullptr);
  CloseHandle(h);
  EXPECT_EQ("via Q", Get("sub/file.txt"));
  EXPECT_EQ(DRIVE_FIXED, GetDriveTypeW(u"Q:\\"));
  // ".." never climbs out of the drive's folder.
  EXPECT_EQ(dir_ + "/x", platform::ToLinuxPath(u"Q:\\..\\..\\x"));

  // The map is a file under the state root.
  std::ifstream map(platform::FolderMapDir() + "/drives");
  std::string line;
  std::getline(map, line);
  EXPECT_EQ("Q=" + dir_, line);

  ASSERT_TRUE(platform::SetDriveRoot(u'R', dir_ + "/missing"));
  EXPECT_EQ(DRIVE_NO_ROOT_DIR, GetDriveTypeW(u"R:\\"));
  ASSERT_TRUE(platform::SetDriveRoot(u'Q', ""));
  EXPECT_EQ("/", platform::DriveRoot(u'q'));
  EXPECT_EQ("/etc/x", platform::ToLinuxPath(u"Q:\\etc\\x"));
  EXPECT_FALSE(platform::SetDriveRoot(u'1', dir_));
  EXPECT_FALSE(platform::SetDriveRoot(u'S', "relative/folder"));
  platform::SetDriveRoot(u'R', "");
}

TEST(PathMapping, RootsAndSeparators) {
  const std::string unc = platform::FolderMapDir() + "/unc/srv/share";
  struct Case {
    const char16_t* input;
    std::string expected;  // "" = refused
  } cases[] = {
      {u"/usr\\lib/x", "/usr/lib/x"},
      {u"rel\\.\\a\\..\\b", "rel/b"},
      {u"..\\up", "../up"},
      {u"dir\\", "dir/"},
      {u"\\\\SRV\\Share\\f.txt", unc + "/f.txt"},
      {u"//srv/share", unc},
      {u"\\\\?\\C:\\x", "/x"},
      {u"\\\\?\\UNC\\srv\\share\\y", unc + "/y"},
      {u"\\\\srv", ""},
      {u"\\\\.\\pipe\\x", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, platform::ToLinuxPath(c.input)) << U8(c.input);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(u"\\\\srv"));
  EXPECT_EQ(ERROR_BAD_PATHNAME, GetLastError());
  EXPECT_EQ(u"/a/b", platform::FromLinuxPath("/a/b"));
}

TEST_F(FilesTest, TempPathAndTempFileNames) {
  const char* old = getenv("TMPDIR");
  std::string saved = old ? old : "";
  setenv("TMPDIR", dir_.c_str(), 1);
  WCHAR buf[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, buf);
  EXPECT_EQ(dir_ + "/", U8(buf));
  EXPECT_EQ(dir_.size() + 1, n);
  EXPECT_EQ(dir_.size() + 2, GetTempPathW(3, buf));
  unsetenv("TMPDIR");
  GetTempPathW(MAX_PATH, buf);
  EXPECT_EQ("/tmp/", U8(buf));
  if (old) setenv("TMPDIR", saved.c_str(), 1);

  WCHAR first[MAX_PATH], second[MAX_PATH];
  UINT a = GetTempFileNameW(U16(dir_).c_str(), u"abcdef", 0, first);
  UINT b = GetTempFileNameW(U16(dir_ + "/").c_str(), u"abcdef", 0, second);
  ASSERT_NE(0u, a);
  ASSERT_NE(0u, b);
  EXPECT_NE(a, b);
  char hex[8];
  snprintf(hex, sizeof hex, "%X", a);
  EXPECT_EQ(dir_ + "/abc" + hex + ".tmp", U8(first));
  EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, GetFileAttributesW(first));  // created, empty
  EXPECT_EQ(2u, Listing().size());

  EXPECT_EQ(0x1234Au, GetTempFileNameW(U16(dir_).c_str(), u"p", 0x1234A, first));
  EXPECT_EQ(dir_ + "/p234A.tmp", U8(first));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(first));  // only named
  EXPECT_EQ(0u, GetTempFileNameW(Path("missing").c_str(), u"p", 0, first));
  EXPECT_EQ(ERROR_DIRECTORY, GetLastError());
}

// ---- Volumes --------------------------------------------------------------------------------

TEST_F(FilesTest, DiskSpaceAndVolumeFacts) {
  ULARGE_INTEGER avail, total, free_bytes;
  ASSERT_TRUE(GetDiskFreeSpaceExW(U16(dir_).c_str(), &avail, &total, &free_bytes));
  EXPECT_GT(avail.QuadPart, 0u);
  EXPECT_LE(avail.QuadPart, free_bytes.QuadPart);
  EXPECT_LE(free_bytes.QuadPart, total.QuadPart);
  DWORD spc = 0, bps = 0, free_clusters = 0, clusters = 0;
  ASSERT_TRUE(GetDiskFreeSpaceW(U16(dir_).c_str(), &spc, &bps, &free_clusters, &clusters));
  EXPECT_EQ(512u, bps);
  if (total.QuadPart / (spc * 512ull) < 0xFFFFFFFFull) {
    EXPECT_EQ(total.QuadPart, ULONGLONG{spc} * bps * clusters);
  }
  EXPECT_FALSE(GetDiskFreeSpaceExW(Path("missing\\deeper").c_str(), &avail, nullptr, nullptr));
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());

  WCHAR label[32], fs_name[32];
  DWORD serial = 0, max_len = 0, flags = 0;
  ASSERT_TRUE(GetVolumeInformationW(U16(dir_).c_str(), label, 32, &serial, &max_len, &flags,
                                    fs_name, 32));
  EXPECT_EQ(u"", std::u16string(label));
  EXPECT_GE(max_len, 255u);
  struct statfs fs;
  ASSERT_EQ(0, statfs(dir_.c_str(), &fs));
  std::string name = U8(fs_name);
  EXPECT_FALSE(name.empty());
  if (fs.f_type == 0xEF53) { EXPECT_EQ("ext4", name); }
  if (fs.f_type == 0x01021994) { EXPECT_EQ("tmpfs", name); }
  if (fs.f_type == 0x794C7630) { EXPECT_EQ("overlay", name); }
  EXPECT_FALSE(GetVolumeInformationW(U16(dir_).c_str(), nullptr, 0, nullptr, nullptr, nullptr,
                                     fs_name, 2));
  EXPECT_EQ(ERROR_BAD_LENGTH, GetLastError());
  EXPECT_EQ(DRIVE_FIXED, GetDriveTypeW(nullptr));
}

}  // namespace
