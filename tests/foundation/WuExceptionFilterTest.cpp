// The unhandled-exception filter: a synthetic access violation ends up in
// the error details and the error box (answered by a hook), misalignment
// and nested calls are passed on, and a real fault reaches the filter
// through the crash path.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/WuErrorDump.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuMsgBox.h"
#include "platform/kernel/exception.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/user/windows.h"

namespace {

const std::u16string kMessage =
    u"An error occurred during the current operation.\n\nAn Exception has occurred.";

// What the answering hook saw.
struct Seen {
  int calls = 0;        // boxes shown
  std::u16string text;  // the last text (with the details, when offered)
  UINT style = 0;       // the last style
};

int RecordBox(void* data, HWND, LPCWSTR text, LPCWSTR, UINT style) {
  Seen* seen = static_cast<Seen*>(data);
  ++seen->calls;
  seen->text = text ? text : u"";
  seen->style = style;
  return IDOK;
}

// A synthetic write access violation whose instruction pointer points at
// bytes that print as "%s%d$(AppName)%n" in the dump's character column.
class ExceptionFilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WuMsgBoxSetAppData(nullptr, nullptr, u"Filter Test");
    WuMsgBoxSetHook(&RecordBox, &seen_);
    WuErrorHandler_DetailsInit();
    RtlCaptureContext(&context_);
    std::memcpy(code_, "%s%d$(AppName)%n", 16);
    context_.Rip = reinterpret_cast<DWORD64>(code_);
    record_.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record_.ExceptionAddress = code_;
    record_.NumberParameters = 2;
    record_.ExceptionInformation[0] = EXCEPTION_WRITE_FAULT;
    record_.ExceptionInformation[1] = 0x10;
  }
  void TearDown() override {
    WuMsgBoxSetHook(nullptr, nullptr);
    WuErrorHandler_DetailsInit();
  }
  Seen seen_;
  char code_[16];
  EXCEPTION_RECORD record_ = {};
  CONTEXT context_;
  EXCEPTION_POINTERS pointers_ = {&record_, &context_};
};

TEST_F(ExceptionFilterTest, DumpGoesIntoFreshDetailsAndTheBox) {
  WuErrorHandler_DetailsAddString(E_FAIL, u"stale line");
  EXPECT_EQ(WuErrorHandler_ExceptionFilter(&pointers_, "Main"), EXCEPTION_EXECUTE_HANDLER);
  ASSERT_EQ(seen_.calls, 1);
  EXPECT_EQ(seen_.style & 0xFF, MB_ICONEXCLAMATION | MB_OK);
  EXPECT_EQ(seen_.style & WUMB_DETAILS, WUMB_DETAILS);
  const std::u16string details =
      u"\r\n<Details>\r\nFilter Test\r\n"
      u"Exception 0xC0000005 (access violation) WRITE:0x0000000000000010";
  EXPECT_EQ(seen_.text.substr(0, kMessage.size() + details.size()), kMessage + details)
      << platform::ToUtf8(seen_.text.c_str());
  EXPECT_EQ(seen_.text.find(u"stale line"), std::u16string::npos);
  EXPECT_NE(seen_.text.find(u"\r\nThread: Main ID=0x"), std::u16string::npos);
  EXPECT_NE(seen_.text.find(u"Registers:\r\n RAX="), std::u16string::npos);
  // The code bytes' characters stand as they are: neither '%' nor '$' is
  // taken for a conversion or a reference.
  EXPECT_NE(seen_.text.find(u"%s%d$(Ap\r\n"), std::u16string::npos)
      << platform::ToUtf8(seen_.text.c_str());
  EXPECT_NE(seen_.text.find(u"Stack Dump:\r\n"), std::u16string::npos);
  // The box has cleared the details.
  EXPECT_EQ(WuErrorHandler_DetailsInfo(nullptr, nullptr, nullptr), nullptr);
}

TEST_F(ExceptionFilterTest, MisalignmentIsPassedOn) {
  WuErrorHandler_DetailsAddString(E_FAIL, u"kept");
  record_.ExceptionCode = EXCEPTION_DATATYPE_MISALIGNMENT;
  EXPECT_EQ(WuErrorHandler_ExceptionFilter(&pointers_, "Main"), EXCEPTION_CONTINUE_SEARCH);
  EXPECT_EQ(seen_.calls, 0);
  int lines = 0;
  EXPECT_NE(WuErrorHandler_DetailsInfo(nullptr, &lines, nullptr), nullptr);
  EXPECT_EQ(lines, 1);
}

// The crash-report module calls the filter again while it runs.
LONG g_nested_answer = 99;
LONG ReportNested(EXCEPTION_POINTERS* pointers) {
  g_nested_answer = WuErrorHandler_ExceptionFilter(pointers, "nested");
  return 0;
}

TEST_F(ExceptionFilterTest, NestedCallIsPassedOnWithoutSecondBox) {
  const platform::ExportEntry exports[] = {
      {"_ErrorReport_UnmanagedException@4", reinterpret_cast<void*>(&ReportNested)}};
  HMODULE module = platform::CreateExportModule(u"ErrorReport", exports, 1);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(WuErrorHandler_ExceptionFilter(&pointers_, "Main"), EXCEPTION_EXECUTE_HANDLER);
  FreeLibrary(module);
  EXPECT_EQ(g_nested_answer, EXCEPTION_CONTINUE_SEARCH);
  EXPECT_EQ(seen_.calls, 1);
}

// ---- The crash path ------------------------------------------------------------------------

void PrintBox(LPCWSTR text) {
  std::fprintf(stderr, "box: %s\n", platform::ToUtf8(text).c_str());
}

LONG TopFilter(EXCEPTION_POINTERS* pointers) {
  return WuErrorHandler_ExceptionFilter(pointers, "Main");
}

TEST(ExceptionFilterDeathTest, RealFaultReachesTheFilterAndEndsTheProcess) {
  const SIZE_T page = static_cast<SIZE_T>(sysconf(_SC_PAGESIZE));
  void* closed = platform::MapPages(page, PAGE_NOACCESS);
  ASSERT_NE(closed, nullptr);
  EXPECT_EXIT(
      {
        WuMsgBoxSetAppData(nullptr, nullptr, u"Crash Test");
        WuMsgBoxSetNoUIHook(&PrintBox);
        SetUnhandledExceptionFilter(&TopFilter);
        *static_cast<volatile int*>(closed) = 1;
      },
      ::testing::KilledBySignal(SIGSEGV),
      "box: An error occurred during the current operation.*An Exception has occurred.*"
      "Crash Test.*Exception 0xC0000005 \\(access violation\\) WRITE:0x");
  platform::UnmapPages(closed, page);
}

}  // namespace
