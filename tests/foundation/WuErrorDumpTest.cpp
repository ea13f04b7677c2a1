// Crash dumps: hex and word dumps of known bytes (unreadable memory shown,
// never touched), the room a line needs, and the sections of an exception
// dump of a synthetic access violation, with the stack scan's rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/WuErrorDump.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"

namespace {

const SIZE_T kPage = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));

std::string Hex16(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
  return text;
}
std::string Hex16(const void* p) { return Hex16(reinterpret_cast<uintptr_t>(p)); }

// Two pages: the first readable, the second closed.
class DumpOfClosedPage : public ::testing::Test {
 protected:
  void SetUp() override {
    pages_ = static_cast<unsigned char*>(platform::MapPages(2 * kPage, PAGE_READWRITE));
    ASSERT_NE(pages_, nullptr);
    ASSERT_TRUE(platform::ProtectPages(pages_ + kPage, kPage, PAGE_NOACCESS));
  }
  void TearDown() override { platform::UnmapPages(pages_, 2 * kPage); }
  // `n` bytes that end where the closed page begins.
  unsigned char* BeforeClosed(const void* bytes, size_t n) {
    unsigned char* at = pages_ + kPage - n;
    std::memcpy(at, bytes, n);
    return at;
  }
  unsigned char* pages_ = nullptr;
};

TEST(WuErrorDumpTest, HexDumpOfTenBytesWritesTwoLines) {
  const unsigned char bytes[10] = {'H', 'i', 0x00, 0x7F, 0x20, '~', 0x1F, '%', 0xFF, 'z'};
  char out[256];
  int n = WuErrorHandler_DumpHex(out, sizeof out, bytes, 10);
  std::string expected = " " + Hex16(bytes) + ": 48 69 00 7F 20 7E 1F 25 Hi.. ~.%\r\n" + " " +
                         Hex16(bytes + 8) + ": FF 7A                   .z\r\n";
  EXPECT_EQ(std::string(out), expected);
  EXPECT_EQ(n, static_cast<int>(expected.size()));
}

TEST_F(DumpOfClosedPage, UnreadableBytesAndWordsAreShownWithoutFaulting) {
  unsigned char* at = BeforeClosed("ABCDEF", 6);
  char out[512];
  WuErrorHandler_DumpHex(out, sizeof out, at, 8);
  EXPECT_EQ(std::string(out), " " + Hex16(at) + ": 41 42 43 44 45 46 .. .. ABCDEF..\r\n");

  const unsigned char words[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  at = BeforeClosed(words, 16);
  int n = WuErrorHandler_DumpHexDWords(out, sizeof out, at, 5);
  EXPECT_EQ(std::string(out), " " + Hex16(at) + ": 04030201 08070605 0C0B0A09 100F0E0D \r\n" +
                                  " " + Hex16(at + 16) + ": ........ \r\n");
  EXPECT_EQ(n, static_cast<int>(std::strlen(out)));
  EXPECT_EQ(WuErrorHandler_DumpHexDWords(out, sizeof out, at, 0), 0);
  EXPECT_EQ(WuErrorHandler_DumpHexDWords(out, sizeof out, at, -4), 0);
  EXPECT_STREQ(out, "");
}

TEST(WuErrorDumpTest, LineIsWrittenOnlyWithRoomForIt) {
  const unsigned char bytes[16] = {};
  const int line = 53;  // one full hex line
  const struct {
    int size;   // output size
    int lines;  // lines written
  } cases[] = {
      {WUDUMP_HEX_LINE_ROOM - 1, 0},
      {WUDUMP_HEX_LINE_ROOM, 1},
      {line + WUDUMP_HEX_LINE_ROOM - 1, 1},
      {line + WUDUMP_HEX_LINE_ROOM, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    char out[256];
    std::memset(out, '#', sizeof out);
    int n = WuErrorHandler_DumpHex(out, c.size, bytes, 16);
    EXPECT_EQ(n, c.lines * line);
    EXPECT_EQ(static_cast<int>(std::strlen(out)), n);
    EXPECT_EQ(out[c.size], '#');  // nothing past the output
  }
  EXPECT_EQ(WuErrorHandler_DumpHex(nullptr, 100, bytes, 16), 0);
}

// ---- Exception dumps ---------------------------------------------------------------------------

int g_reports = 0;
EXCEPTION_POINTERS* g_reported = nullptr;
LONG CrashReport(EXCEPTION_POINTERS* pointers) {
  ++g_reports;
  g_reported = pointers;
  return 1;
}

// A synthetic write access violation at address 0x10, raised at one of
// the test's own functions, with the registers of the test's thread.
class ExceptionDump : public ::testing::Test {
 protected:
  void SetUp() override {
    RtlCaptureContext(&context_);
    record_.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record_.ExceptionAddress = reinterpret_cast<void*>(&CrashReport);
    record_.NumberParameters = 2;
    record_.ExceptionInformation[0] = EXCEPTION_WRITE_FAULT;
    record_.ExceptionInformation[1] = 0x10;
  }
  std::string Dump(DWORD flags, LPCSTR label = "Worker") {
    static char out[8192];
    int n = WuErrorHandler_DumpExceptionRecord(out, sizeof out, label, &pointers_, flags);
    EXPECT_EQ(n, static_cast<int>(std::strlen(out)));
    return out;
  }
  EXCEPTION_RECORD record_ = {};
  CONTEXT context_;
  EXCEPTION_POINTERS pointers_ = {&record_, &context_};
};

TEST_F(ExceptionDump, EachFlagWritesItsSection) {
  platform::ModuleSpan module;
  ASSERT_TRUE(platform::FindModuleOfAddress(record_.ExceptionAddress, &module));
  void* low;
  void* high;
  ASSERT_TRUE(platform::GetCurrentThreadStack(&low, &high));
  char thread[128];
  std::snprintf(thread, sizeof thread, "Thread: Worker ID=0x%X Stack=0x%s-0x%s\r\n",
                GetCurrentThreadId(), Hex16(low).c_str(), Hex16(high).c_str());
  char code[512];
  WuErrorHandler_DumpHex(code, sizeof code, reinterpret_cast<void*>(context_.Rip), 16);
  const std::string ip = Hex16(record_.ExceptionAddress);

  const std::string exception =
      "Exception 0xC0000005 (access violation) WRITE:0x0000000000000010 IP:0x" + ip + "\r\n";
  const std::string in_module =
      std::string("In Module '") + module.path + "' at Address 0x" + Hex16(module.base) + " + 0x" +
      Hex16(reinterpret_cast<uintptr_t>(record_.ExceptionAddress) -
            reinterpret_cast<uintptr_t>(module.base)) +
      "\r\n";
  const std::string code_bytes = std::string("Bytes at CS:RIP:\r\n") + code;
  EXPECT_EQ(Dump(WUDUMP_EXCEPTION), exception);
  EXPECT_EQ(Dump(WUDUMP_MODULE), in_module);
  EXPECT_EQ(Dump(WUDUMP_THREAD), thread);
  EXPECT_EQ(Dump(WUDUMP_CODE), code_bytes);

  std::string registers = Dump(WUDUMP_REGISTERS);
  EXPECT_EQ(registers.rfind("Registers:\r\n RAX=", 0), 0u) << registers;
  char rsp[64];
  std::snprintf(rsp, sizeof rsp, " RSP=%016llx", static_cast<unsigned long long>(context_.Rsp));
  EXPECT_NE(registers.find(rsp), std::string::npos) << registers;
  EXPECT_NE(registers.find(" R15="), std::string::npos) << registers;

  // All sections, in order; the stack last.
  std::string all = Dump(0);
  std::string fixed = exception + in_module + thread + registers + code_bytes + "Stack Dump:\r\n";
  EXPECT_EQ(all.substr(0, fixed.size()), fixed);

  // Without two parameters there is no access text; unknown codes have a name too.
  record_.ExceptionCode = 0x12345678;
  record_.NumberParameters = 0;
  EXPECT_EQ(Dump(WUDUMP_EXCEPTION), "Exception 0x12345678 (Unknown Type) IP:0x" + ip + "\r\n");
  EXPECT_EQ(Dump(WUDUMP_THREAD, nullptr).rfind("Thread:  ID=0x", 0), 0u);
}

TEST_F(ExceptionDump, CrashReportModuleIsOfferedTheExceptionFirst) {
  EXPECT_EQ(WuErrorHandler_DumpExceptionRecord(nullptr, 0, "x", nullptr, 0), 0);
  g_reports = 0;
  Dump(WUDUMP_EXCEPTION);
  EXPECT_EQ(g_reports, 0);  // not loaded
  const platform::ExportEntry exports[] = {
      {"_ErrorReport_UnmanagedException@4", reinterpret_cast<void*>(&CrashReport)}};
  HMODULE module = platform::CreateExportModule(u"ErrorReport", exports, 1);
  ASSERT_NE(module, nullptr);
  EXPECT_FALSE(Dump(WUDUMP_EXCEPTION).empty());
  EXPECT_EQ(g_reports, 1);
  EXPECT_EQ(g_reported, &pointers_);
  FreeLibrary(module);
}

// The stack scan over a stack laid out by hand: a local array that the
// context's stack pointer points at.
TEST_F(ExceptionDump, StackScanShowsModuleHitsWithContextUpToSixHits) {
  const DWORD64 code = reinterpret_cast<DWORD64>(&CrashReport);  // in the test program
  DWORD64 stack[48] = {};
  stack[2] = code;                       // hit 1, among the first 16 words
  stack[20] = code;                      // hit 2: '>' and 4 words of context
  for (int i = 21; i <= 25; ++i) stack[i] = 0x1111111111111111ull * static_cast<DWORD64>(i - 20);
  for (int i = 30; i <= 35; ++i) stack[i] = code;  // hits 3..6 at 30..33, then nothing
  context_.Rsp = reinterpret_cast<DWORD64>(stack);
  std::string dump = Dump(WUDUMP_STACK);
  auto line_of = [&](int i) {
    size_t at = dump.find(Hex16(&stack[i]) + ": ");
    if (at == std::string::npos || at == 0) return std::string();
    size_t end = dump.find("\r\n", at);
    return dump.substr(at - 1, end - at + 1);
  };
  const std::string module = std::string("(") + "foundation_tests" + ")";
  EXPECT_EQ(line_of(0), " " + Hex16(&stack[0]) + ": 0000000000000000 ");
  EXPECT_EQ(line_of(2).substr(0, 1), " ");
  EXPECT_NE(line_of(2).find(module), std::string::npos) << dump;
  EXPECT_EQ(line_of(16), "");  // plain words above the first 16 are skipped
  EXPECT_EQ(line_of(20).substr(0, 1), ">");
  EXPECT_NE(line_of(20).find(module), std::string::npos);
  EXPECT_EQ(line_of(21), " " + Hex16(&stack[21]) + ": 1111111111111111 ");
  EXPECT_NE(line_of(24), "");
  EXPECT_EQ(line_of(25), "");  // only 4 words of context
  EXPECT_EQ(line_of(33).substr(0, 1), ">");
  EXPECT_EQ(line_of(34), "");  // the sixth application hit ends the scan

  // The words below the stack's end close the dump.
  void* high;
  ASSERT_TRUE(platform::GetCurrentThreadStack(nullptr, &high));
  size_t tail = dump.find("- - -\r\n");
  ASSERT_NE(tail, std::string::npos) << dump;
  EXPECT_NE(dump.find(Hex16(static_cast<char*>(high) - 32) + ": ", tail), std::string::npos);
  EXPECT_NE(dump.find(Hex16(static_cast<char*>(high) - 8) + ": ", tail), std::string::npos);
}

TEST_F(ExceptionDump, StackLinesStopWhereRoomEnds) {
  for (int size : {100, 300, 1000}) {
    SCOPED_TRACE(size);
    char out[1024];
    std::memset(out, '#', sizeof out);
    int n = WuErrorHandler_DumpExceptionRecord(out, size, "", &pointers_, WUDUMP_STACK);
    EXPECT_EQ(static_cast<int>(std::strlen(out)), n);
    EXPECT_LT(n, size);
    EXPECT_GE(n, size - WUDUMP_STACK_LINE_ROOM);  // stopped for want of room only
    EXPECT_EQ(out[size], '#');
  }
}

}  // namespace
