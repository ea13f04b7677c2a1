// The text log: exact line bytes, the state machine, rotation, the cut of
// long messages, copies and concurrent writers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "foundation/WuLog.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/time.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::ReadBytes;
using wutest::U16;

class WuLogTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = wutest::MakeTempDir("log"); }
  std::string Path(const char* name) const { return dir_ + "/" + name; }

  std::string dir_;
};

TEST_F(WuLogTest, LineBytes) {
  struct Case {
    LOGFLAGS flags;
    LOGFLAGS level;
    const char16_t* file;
    int line;
    const char16_t* message;
    std::string bytes;
  };
  const Case cases[] = {
      {0xF, LOGFLAGS_ERROR, u"a.cpp", 1, u"one", "ERR one\r\n"},
      {0xF, LOGFLAGS_WARNING, u"a.cpp", 1, u"two", "WARNtwo\r\n"},
      {0xF, LOGFLAGS_INFO, u"a.cpp", 1, u"three", "INFOthree\r\n"},
      {0xF, LOGFLAGS_DEBUG, u"a.cpp", 1, u"four", "DBG four\r\n"},
      {0x3, 0x3, u"a.cpp", 1, u"mixed", "????mixed\r\n"},      // not one level
      {0x7, LOGFLAGS_DEBUG, u"a.cpp", 1, u"off", ""},               // level not enabled
      // Location: the file name without folders, right-aligned in 15; a
      // '%' in it is text, not a conversion.
      {0x20001, LOGFLAGS_ERROR, u"C:\\src\\dir/100%sure.cpp", 42, u"m",
       "ERR    100%sure.cpp(  42): m\r\n"},
      {0x20001, LOGFLAGS_ERROR, u"a_very_long_source_name.cpp", 12345, u"m",
       "ERR a_very_long_source_name.cpp(12345): m\r\n"},
      // Line feeds become CR LF; text goes out in the ANSI code page (1252).
      {0x1, LOGFLAGS_ERROR, u"a.cpp", 1, u"caf\u00e9\nnext", "ERR caf\xe9\r\nnext\r\n"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    std::string path = Path(("line" + std::to_string(n++)).c_str());
    CLog log;
    ASSERT_EQ(log.Init(U16(path).c_str(), c.flags, -1), S_OK);
    EXPECT_EQ(log.Write(c.level, c.file, c.line, u"%s", c.message), S_OK);
    log.Shutdown();
    EXPECT_EQ(ReadBytes(path), c.bytes);
  }
}

TEST_F(WuLogTest, TimeStampIsTheLocalTime) {
  std::string path = Path("time");
  CLog log;
  const LOGFLAGS flags = LOGFLAGS_INFO | LOGFLAGS_TIME | LOGFLAGS_LOCATION;
  ASSERT_EQ(log.Init(U16(path).c_str(), flags, 0), S_OK);
  SYSTEMTIME before, after;
  GetLocalTime(&before);
  log.Write(LOGFLAGS_INFO, u"/x/t.cpp", 7, u"at %d", 5);
  GetLocalTime(&after);
  log.Shutdown();
  auto stamp = [](const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof(text), "INFO %04d-%02d-%02d %02d:%02d:%02d ", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond);
    return text + std::string(10, ' ') + "t.cpp(   7): at 5\r\n";
  };
  std::string line = ReadBytes(path);
  EXPECT_TRUE(line == stamp(before) || line == stamp(after)) << line;
}

TEST_F(WuLogTest, StatesAndFailures) {
  std::u16string path = U16(Path("state"));
  CLog log;
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"x"), WU_E_INIT_FAILED);
  EXPECT_EQ(log.Init(nullptr, LOGFLAGS_ERROR, 0), E_INVALIDARG);
  EXPECT_EQ(log.Init(path.c_str(), 0, 0), E_INVALIDARG);
  EXPECT_EQ(log.Init(U16(Path("missing/dir/log")).c_str(), LOGFLAGS_ERROR, 0), WU_E_OPEN_FILE);
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"x"), WU_E_INIT_FAILED);

  // Init appends to what the file holds.
  wutest::WriteBytes(Path("state"), "old\r\n");
  ASSERT_EQ(log.Init(path.c_str(), LOGFLAGS_ERROR, 0), S_OK);
  EXPECT_EQ(std::u16string(log.GetLogFileName()), path);
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"new"), S_OK);
  log.Shutdown();
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"lost"), WU_E_INIT_FAILED);
  EXPECT_EQ(ReadBytes(Path("state")), "old\r\nERR new\r\n");
}

TEST_F(WuLogTest, MessagesAreCutAt1023Characters) {
  std::string path = Path("long");
  CLog log;
  ASSERT_EQ(log.Init(U16(path).c_str(), LOGFLAGS_ERROR, 0), S_OK);
  std::u16string message(1500, u'x');
  log.Write(LOGFLAGS_ERROR, u"a", 1, u"%s", message.c_str());
  message.assign(1023, u'y');
  log.Write(LOGFLAGS_ERROR, u"a", 1, u"%s", message.c_str());
  log.Shutdown();
  EXPECT_EQ(ReadBytes(path),
            "ERR " + std::string(1023, 'x') + "\r\nERR " + std::string(1023, 'y') + "\r\n");
}

TEST_F(WuLogTest, PathTooLongForTheLogIsNotOpened) {
  // Cut to the path field, the name would be another file in the folder.
  const std::string path = Path("") + std::string(300 - Path("").size(), 'p');
  const std::string cut = path.substr(0, MAX_PATH - 1);
  CLog log;
  EXPECT_EQ(log.Init(U16(path).c_str(), LOGFLAGS_ERROR, 0), WU_E_OPEN_FILE);
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"lost"), WU_E_INIT_FAILED);
  EXPECT_EQ(access(cut.c_str(), F_OK), -1) << "a file was made under the cut name";
  // A path that just fits is used.
  EXPECT_EQ(log.Init(U16(cut).c_str(), LOGFLAGS_ERROR, 0), S_OK);
  EXPECT_EQ(log.Write(LOGFLAGS_ERROR, u"a", 1, u"kept"), S_OK);
  log.Shutdown();
  EXPECT_EQ(ReadBytes(cut), "ERR kept\r\n");
}

TEST_F(WuLogTest, RotatesToPreviousAtTheSizeLimit) {
  std::string path = Path("rot.log");
  wutest::WriteBytes(path + ".previous", "older file\r\n");
  CLog log;
  ASSERT_EQ(log.Init(U16(path).c_str(), LOGFLAGS_INFO, 1000), S_OK);
  // 100-byte lines: ten reach the limit exactly; the file is not rotated
  // before it has reached it.
  const std::u16string body(94, u'a');  // "INFO" + 94 + CR LF = 100 bytes
  for (int i = 0; i < 10; ++i)
    ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"%s", body.c_str()), S_OK);
  EXPECT_EQ(ReadBytes(path).size(), 1000u);
  EXPECT_EQ(ReadBytes(path + ".previous"), "older file\r\n");

  ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"first of the new file"), S_OK);
  log.Shutdown();
  EXPECT_EQ(ReadBytes(path), "INFOfirst of the new file\r\n");
  EXPECT_EQ(ReadBytes(path + ".previous").size(), 1000u);
}

TEST_F(WuLogTest, ALineThatDoesNotFitIsTakenBackAndReported) {
  std::string path = Path("full.log");
  CLog log;
  ASSERT_EQ(log.Init(U16(path).c_str(), LOGFLAGS_INFO, 0), S_OK);
  ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"first"), S_OK);
  {
    wutest::FileSizeLimit limit(20);  // a disk that fills part-way through the next line
    EXPECT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"a line longer than the room left"), WU_E_WRITE);
  }
  EXPECT_EQ(ReadBytes(path), "INFOfirst\r\n");
  ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"next"), S_OK);
  log.Shutdown();
  EXPECT_EQ(ReadBytes(path), "INFOfirst\r\nINFOnext\r\n");
}

TEST_F(WuLogTest, RotationKeepsTheLogsPermissionBits) {
  std::string path = Path("private.log");
  wutest::WriteBytes(path, std::string(100, 'x'));
  wutest::WriteBytes(path + ".previous", "older file\r\n");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  CLog log;
  ASSERT_EQ(log.Init(U16(path).c_str(), LOGFLAGS_INFO, 50), S_OK);
  ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"new"), S_OK);
  log.Shutdown();
  EXPECT_EQ(ReadBytes(path), "INFOnew\r\n");
  EXPECT_EQ(ReadBytes(path + ".previous"), std::string(100, 'x'));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

// A log kept elsewhere behind links: rotation moves the files the links
// name, and both links stay.
TEST_F(WuLogTest, RotationKeepsLinksAtTheLogsNames) {
  ASSERT_EQ(mkdir(Path("real").c_str(), 0755), 0);
  wutest::WriteBytes(Path("real/app.log"), std::string(100, 'x'));
  ASSERT_EQ(symlink("real/app.log", Path("app.log").c_str()), 0);
  ASSERT_EQ(symlink("real/app.old", Path("app.log.previous").c_str()), 0);
  CLog log;
  ASSERT_EQ(log.Init(U16(Path("app.log")).c_str(), LOGFLAGS_INFO, 50), S_OK);
  ASSERT_EQ(log.Write(LOGFLAGS_INFO, u"a", 1, u"new"), S_OK);
  log.Shutdown();
  struct stat st;
  for (const char* link : {"app.log", "app.log.previous"}) {
    ASSERT_EQ(lstat(Path(link).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << link;
  }
  EXPECT_EQ(ReadBytes(Path("real/app.log")), "INFOnew\r\n");
  EXPECT_EQ(ReadBytes(Path("real/app.old")), std::string(100, 'x'));
}

TEST_F(WuLogTest, CopiesOwnTheirStream) {
  std::string path = Path("copy");
  const size_t handles = platform::OpenHandleCount();
  {
    CLog original;
    ASSERT_EQ(original.Init(U16(path).c_str(), LOGFLAGS_ERROR, 0), S_OK);
    CLog copy(original);
    original.Shutdown();
    EXPECT_EQ(copy.Write(LOGFLAGS_ERROR, u"a", 1, u"from copy"), S_OK);
    EXPECT_EQ(original.Write(LOGFLAGS_ERROR, u"a", 1, u"x"), WU_E_INIT_FAILED);
    CLog assigned;
    assigned = copy;
    copy.Shutdown();
    EXPECT_EQ(assigned.Write(LOGFLAGS_ERROR, u"a", 1, u"from assigned"), S_OK);
    EXPECT_EQ(std::u16string(assigned.GetLogFileName()), U16(path));
  }
  EXPECT_EQ(platform::OpenHandleCount(), handles);
  EXPECT_EQ(ReadBytes(path), "ERR from copy\r\nERR from assigned\r\n");
}

TEST_F(WuLogTest, ConcurrentWritersGiveWholeLines) {
  std::string path = Path("threads");
  CLog* log = new CLog;
  ASSERT_NE(log, nullptr);
  ASSERT_EQ(log->Init(U16(path).c_str(), LOGFLAGS_INFO | LOGFLAGS_LOCATION, 4000), S_OK);
  constexpr int kThreads = 4, kLines = 300;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([log, t] {
      for (int i = 0; i < kLines; ++i)
        log->Write(LOGFLAGS_INFO, u"w.cpp", t, u"thread %d line %03d %s", t, i,
                   u"--------------------");
    });
  for (std::thread& t : threads) t.join();
  delete log;

  // Rotation keeps only the newest lines; each must be whole.
  std::string text = ReadBytes(path + ".previous") + ReadBytes(path);
  const std::regex line(R"(INFO          w\.cpp\(   (\d)\): thread \1 line \d{3} -{20}\r\n)");
  constexpr size_t kLineBytes = 67;
  size_t count = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    EXPECT_EQ(static_cast<size_t>(it->position()), count * kLineBytes);
    ++count;
  }
  EXPECT_GT(count, 4000 / kLineBytes);
  EXPECT_EQ(count * kLineBytes, text.size());
}

}  // namespace
