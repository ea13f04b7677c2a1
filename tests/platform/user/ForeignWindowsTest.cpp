// Windows of other processes: a child program's top-level windows seen by
// EnumWindows and GetClassNameW, WM_COPYDATA carried to its procedure and
// answered, and processes that are gone or do not answer.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/kernel/process.h"
#include "platform/kernel/state.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/transport.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// A child program with windows, ended (and its handles closed) by the
// destructor whatever the test did.
class Child {
 public:
  Child(const std::string& cls, const std::string& answer, const std::string& record,
        const std::string& mode) {
    std::u16string line = u"\"" + U16(WU_WINDOW_CHILD) + u"\" " + U16(cls) + u" " + U16(answer) +
                          u" \"" + U16(record) + u"\" " + U16(mode);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &si, &pi_) != FALSE;
  }
  ~Child() { End(); }
  bool started() const { return started_; }
  DWORD pid() const { return pi_.dwProcessId; }
  // The exit code once the child has ended by itself within `ms`
  // milliseconds; STILL_ACTIVE when it has not.
  DWORD Wait(DWORD ms) {
    DWORD code = STILL_ACTIVE;
    if (started_ && WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0)
      GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  void End() {
    if (!started_) return;
    TerminateProcess(pi_.hProcess, 1);
    WaitForSingleObject(pi_.hProcess, INFINITE);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    started_ = false;
  }

 private:
  PROCESS_INFORMATION pi_ = {};
  bool started_ = false;
};

std::u16string ClassOf(HWND h) {
  WCHAR name[257] = {};
  GetClassNameW(h, name, 257);
  return name;
}

// Top-level windows EnumWindows hands out, in its order.
std::vector<HWND> AllTopLevels() {
  std::vector<HWND> out;
  EnumWindows(
      [](HWND h, LPARAM data) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&out));
  return out;
}

// The first window of a class EnumWindows lists, waiting up to 10 s for a
// child to make it.
HWND WaitForClass(const std::u16string& cls) {
  for (int i = 0; i < 1000; ++i) {
    for (HWND h : AllTopLevels())
      if (ClassOf(h) == cls) return h;
    Sleep(10);
  }
  return nullptr;
}

LRESULT SendCopyData(HWND h, ULONG_PTR data, const std::string& bytes) {
  COPYDATASTRUCT cds{data, static_cast<DWORD>(bytes.size()),
                     bytes.empty() ? nullptr : const_cast<char*>(bytes.data())};
  return SendMessageW(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

std::string Endpoint(DWORD pid) {
  return platform::TransportEndpointPath("windows-" + std::to_string(pid));
}

LRESULT LocalProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(window, message, wparam, lparam);
}

class ForeignWindowsTest : public ::testing::Test {
 protected:
  std::string dir_ = wutest::MakeTempDir("foreign");
};

TEST_F(ForeignWindowsTest, ChildWindowGetsCopyDataIntactAndAnswers) {
  // A window of this process comes first and is not listed twice.
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = LocalProc;
  wc.lpszClassName = u"WuLocalTop";
  ASSERT_TRUE(RegisterClassExW(&wc));
  HWND local = CreateWindowExW(0, u"WuLocalTop", u"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_TRUE(local);
  EXPECT_TRUE(Exists(Endpoint(GetCurrentProcessId())));

  std::string record = dir_ + "/record";
  Child child("WuCreatorClass", "9", record, "pump");
  ASSERT_TRUE(child.started());
  HWND creator = WaitForClass(u"WuCreatorClass");
  ASSERT_TRUE(creator);
  // The child makes its second window after the first: wait for it too.
  ASSERT_TRUE(WaitForClass(u"WuChildOther"));
  std::vector<HWND> all = AllTopLevels();
  ASSERT_GE(all.size(), 3u);
  EXPECT_EQ(all.front(), local);
  EXPECT_EQ(std::count(all.begin(), all.end(), local), 1);
  EXPECT_NE(std::find_if(all.begin(), all.end(), [](HWND h) { return ClassOf(h) == u"WuChildOther"; }),
            all.end());
  // The stand-in stays the same from one enumeration to the next.
  EXPECT_EQ(WaitForClass(u"WuCreatorClass"), creator);
  WCHAR cut[5];
  EXPECT_EQ(GetClassNameW(creator, cut, 5), 4);
  EXPECT_EQ(std::u16string(cut), u"WuCr");

  // A path with its terminating NUL, then the largest block carried.
  std::u16string path = u"C:\\Projects\\S\u00fcd\\song.prj";
  std::string path_bytes(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * 2);
  std::string large(0x8000, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  for (const std::string& bytes : {path_bytes, large, std::string()}) {
    std::remove(record.c_str());
    EXPECT_EQ(SendCopyData(creator, 28, bytes), 9);
    std::string got = wutest::ReadBytes(record);
    EXPECT_EQ(got, std::string("main\0" "28\0", 8) + bytes);
  }

  // Nothing else crosses: other messages, an oversized or missing block.
  std::remove(record.c_str());
  EXPECT_EQ(SendMessageW(creator, WM_USER + 1, 1, 2), 0);
  EXPECT_EQ(SendMessageW(creator, WM_COPYDATA, 0, 0), 0);
  EXPECT_EQ(SendCopyData(creator, 28, std::string(0x8001, 'x')), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(Exists(record));

  // The last top-level window of this process takes its endpoint along.
  DestroyWindow(local);
  EXPECT_FALSE(Exists(Endpoint(GetCurrentProcessId())));
  UnregisterClassW(u"WuLocalTop", nullptr);
}

// Little-endian fields of the requests the platform sends between processes.
void Put32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
uint64_t Get64(const std::string& in, size_t at) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(in[at + i])) << (8 * i);
  return v;
}

TEST_F(ForeignWindowsTest, SendsForAnEarlierProcessOfTheSameIdAreRefused) {
  // A process that took a dead one's id answers on its endpoint, and its
  // window handles may repeat the dead one's: the instance in each send
  // tells them apart.
  std::string record = dir_ + "/record";
  Child child("WuInstanceClass", "9", record, "pump");
  ASSERT_TRUE(child.started());
  ASSERT_TRUE(WaitForClass(u"WuInstanceClass"));
  const std::string endpoint = "windows-" + std::to_string(child.pid());
  std::string list, answer;
  Put32(&list, 1);
  ASSERT_EQ(platform::CallTransportEndpoint(endpoint, list, &answer, 5000),
            platform::TransportResult::kAnswered);
  ASSERT_GE(answer.size(), 20u);
  const uint64_t instance = Get64(answer, 0);
  const uint64_t first_window = Get64(answer, 12);  // after the instance and the count
  for (uint64_t asked : {instance + 1, instance}) {
    std::string send;
    Put32(&send, 2);
    Put64(&send, asked);
    Put64(&send, first_window);
    Put64(&send, 28);
    Put32(&send, 2);
    send += "ok";
    ASSERT_EQ(platform::CallTransportEndpoint(endpoint, send, &answer, 5000),
              platform::TransportResult::kAnswered);
    ASSERT_EQ(answer.size(), 8u);
    EXPECT_EQ(Get64(answer, 0), asked == instance ? 9u : 0u);
    EXPECT_EQ(Exists(record), asked == instance);
  }
}

TEST_F(ForeignWindowsTest, ProcessThatIsGoneIsSkippedAndItsSocketRemoved) {
  Child child("WuGoneClass", "1", dir_ + "/record", "pump");
  ASSERT_TRUE(child.started());
  HWND gone = WaitForClass(u"WuGoneClass");
  ASSERT_TRUE(gone);
  std::string socket = Endpoint(child.pid());
  child.End();  // killed: its socket stays behind
  ASSERT_TRUE(Exists(socket));
  // The enumeration skips the process and removes its socket; a send to a
  // window it listed before reads as 0.
  for (HWND h : AllTopLevels()) EXPECT_NE(ClassOf(h), u"WuGoneClass");
  EXPECT_FALSE(Exists(socket));
  EXPECT_EQ(SendCopyData(gone, 28, "x"), 0);
}

TEST_F(ForeignWindowsTest, NoAnswerInTimeReadsAsZero) {
  std::string record = dir_ + "/record";
  Child child("WuHungClass", "5", record, "hang");
  ASSERT_TRUE(child.started());
  // The list is answered without the child's window thread.
  HWND hung = WaitForClass(u"WuHungClass");
  ASSERT_TRUE(hung);
  DWORD previous = platform::SetForeignWindowTimeout(200);
  EXPECT_EQ(previous, platform::kForeignWindowTimeoutMs);
  EXPECT_EQ(platform::kForeignWindowTimeoutMs, 5000u);
  EXPECT_EQ(SendCopyData(hung, 28, "x"), 0);
  platform::SetForeignWindowTimeout(previous);
  EXPECT_FALSE(Exists(record));
}

TEST_F(ForeignWindowsTest, AnswerArrivesThoughTheProcessEndsRightAfterIt) {
  // The child answers and ends at once: its answer still reaches the
  // sender, every time. The race is narrow, hence the rounds; the child
  // that keeps its window open ends soonest after its answer.
  struct Case {
    const char* mode;
    bool closes_window;  // its endpoint goes with its last window
  };
  const Case cases[] = {
      {"return", true},      // closes its windows, returns from main
      {"exit", true},        // closes its windows, ExitProcess
      {"exit-open", false},  // ExitProcess with its windows open
  };
  std::string record = dir_ + "/record";
  for (const Case& c : cases) {
    for (int round = 0; round < 50; ++round) {
      Child child("WuBriefClass", "1", record, c.mode);
      ASSERT_TRUE(child.started());
      HWND brief = WaitForClass(u"WuBriefClass");
      ASSERT_TRUE(brief) << c.mode << " round " << round << " child " << child.Wait(0);
      EXPECT_EQ(SendCopyData(brief, 28, "x"), 1) << c.mode << " round " << round;
      ASSERT_EQ(child.Wait(10000), 0u) << c.mode << " round " << round;
      // A socket left open is a dead process's: the next enumeration
      // removes it.
      EXPECT_EQ(Exists(Endpoint(child.pid())), !c.closes_window) << c.mode;
    }
  }
  for (HWND h : AllTopLevels()) EXPECT_NE(ClassOf(h), u"WuBriefClass");
  EXPECT_TRUE(platform::ListTransportEndpoints("windows-").empty());
}

TEST_F(ForeignWindowsTest, ProcessEndsThoughARequestWaitsOnItsWindowThread) {
  // The child ends through ExitProcess while a WM_COPYDATA waits for its
  // window thread, which will never answer: waiting for the request's
  // answer is bounded, so the child still ends (and the sender reads 0).
  std::string record = dir_ + "/record";
  Child child("WuStuckClass", "1", record, "stuck");
  ASSERT_TRUE(child.started());
  HWND stuck = WaitForClass(u"WuStuckClass");
  ASSERT_TRUE(stuck);
  EXPECT_EQ(SendCopyData(stuck, 28, "x"), 0);
  EXPECT_EQ(child.Wait(10000), 0u);
  EXPECT_FALSE(Exists(record));
}

}  // namespace
