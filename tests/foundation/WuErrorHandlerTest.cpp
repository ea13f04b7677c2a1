#include "foundation/WuErrorHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

struct Translation {
  DWORD error;
  uint32_t status;
};

TEST(WuErrorHandlerTest, TranslatesWin32ErrorsThroughItsTable) {
  const Translation table[] = {
      {0, 0x00000000},
      {1, 0x80070057},
      {2, 0x8004E00A},
      {3, 0x8004E00A},
      {4, 0x8004E026},
      {5, 0x80070005},
      {6, 0x80070006},
      {14, 0x8007000E},
      {84, 0x8007000E},
      {15, 0x800404B0},
      {32, 0x8004E05A},
      {39, 0x8004E002},
      {112, 0x8004E002},
      {80, 0x8004E032},
      {110, 0x8004E007},
      {120, 0x80004001},
      {123, 0x8004E00D},
      {126, 0x8004E00A},
      {127, 0x8004E00A},
      {170, 0x8004E005},
      {183, 0x8004E170},
      // Every other number is E_FAIL, including those that would be
      // negative as signed values and codes that are already HRESULTs.
      {1000, 0x80004005},
      {7, 0x80004005},
      {8, 0x80004005},
      {87, 0x80004005},
      {0xFFFFFFFF, 0x80004005},
      {0x80070002, 0x80004005},
  };
  for (const Translation& t : table)
    EXPECT_EQ(static_cast<HRESULT>(t.status), WuErrorHandler_TranslateWin32Error(t.error))
        << "error " << t.error;
}

TEST(WuErrorHandlerTest, TranslatesCommonDialogErrorsThroughItsTable) {
  const Translation table[] = {
      {0, 0x00000000},      {1, 0x80070057},      {3, 0x80070057},      {4, 0x80070057},
      {11, 0x80070057},     {0x3003, 0x80070057}, {0x4001, 0x80070057}, {0xFFFF, 0x80070057},
      {2, 0x8007000E},      {5, 0x8007000E},      {7, 0x8007000E},      {8, 0x8007000E},
      {9, 0x8007000E},      {10, 0x8007000E},     {0x3001, 0x8007000E}, {6, 0x8004E00E},
      {0x3002, 0x8004E00D}, {12, 0x80004005},     {0x1001, 0x80004005}, {0x10000, 0x80004005},
  };
  for (const Translation& t : table)
    EXPECT_EQ(static_cast<HRESULT>(t.status), WuErrorHandler_TranslateCommDlgError(t.error))
        << "error " << t.error;
}

// The kernel state that composition uses: an English kernel language
// handle and the token table with "AppName"; the details start empty.
class ErrorHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
    ASSERT_TRUE(WuPrintF_AddToken(u"AppName", u"Tool"));
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    WuErrorHandler_DetailsInit();
  }
  void TearDown() override {
    WuErrorHandler_DetailsInit();
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    WuPrintF_DestroyTokens();
  }
  static std::string Message(LPCWSTR context, HRESULT code, LPCWSTR detail) {
    return U8(WuErrorHandler_GetErrorMessage(context, code, detail));
  }
  static std::string Details() {
    LPCWSTR text = WuErrorHandler_DetailsInfo(nullptr, nullptr, nullptr);
    return text ? U8(text) : "(none)";
  }

  HWULANG lang_ = nullptr;
};

TEST_F(ErrorHandlerTest, ContextTexts) {
  EXPECT_EQ(U8(WuErrorHandler_GetContextString(WuErrorContextId(5))),
            "An error occurred while loading the project file %s.");
  // Unknown ids (and NULL) take context 0's sentence.
  for (UINT id : {0u, 13u, 42u, 1000u, 0xFFFFu})
    EXPECT_EQ(U8(WuErrorHandler_GetContextString(WuErrorContextId(id))),
              "An error occurred during the current operation.")
        << id;
  // The device context has its own sentence.
  EXPECT_NE(U8(WuErrorHandler_GetContextString(WuErrorContextId(0x31))),
            "An error occurred during the current operation.");
  // A value above 0xFFFF is a text of its own.
  const WCHAR own[] = u"Copying %s failed.";
  EXPECT_EQ(WuErrorHandler_GetContextString(own), own);
  // A row is read in the kernel handle's language.
  EXPECT_EQ(U8(WuErrorHandler_GetContextString(WuLangRowRef(WuLangRow_ErrorWarningPrefix))),
            "Warning: ");
}

TEST_F(ErrorHandlerTest, ComposesContextDetailAndCodeText) {
  struct Case {
    LPCWSTR context;
    HRESULT code;
    LPCWSTR detail;
    const char* expected;
  };
  const Case cases[] = {
      {WuErrorContextId(5), static_cast<HRESULT>(0x8004E00B), u"a.prj",
       "An error occurred while loading the project file a.prj.\n\n"
       "The file is most likely corrupted or of an unknown format."},
      // A context without "%s", no detail; a text without the blank line.
      {WuErrorContextId(1000), static_cast<HRESULT>(0x8004E03C), nullptr,
       "An error occurred during the current operation.Buffer to small."},
      // The context's own text; tokens of the code's text are replaced.
      {u"Copying %s failed.", static_cast<HRESULT>(0x8004E00E), u"x.wav",
       "Copying x.wav failed.\n\nA necessary resource is missing. You should re-install Tool as "
       "the application file appears to be corrupted."},
      // A code missing from every table: its code in 8 lower-case digits.
      {WuErrorContextId(0), static_cast<HRESULT>(0x8004ABCD), u"",
       "An error occurred during the current operation.\n\nError 0x8004abcd (message missing)"},
      {WuErrorContextId(0), 0x1F, u"",
       "An error occurred during the current operation.\n\nError 0x0000001f (message missing)"},
      // The code's text is a message, not a format: its "%s" has no
      // argument and stays as it is, while "$(AppName)" is replaced.
      {WuErrorContextId(0), static_cast<HRESULT>(0x8004E164), u"mp9",
       "An error occurred during the current operation.\n\n"
       "%s file type is unsupported in this version of Tool."},
  };
  for (const Case& c : cases) EXPECT_EQ(Message(c.context, c.code, c.detail), c.expected);
}

TEST_F(ErrorHandlerTest, CompositionIsBoundedByTheMessageBuffer) {
  // A context sentence of 1,948 characters or more is the whole message.
  std::u16string long_detail(3000, u'd');
  std::u16string message = WuErrorHandler_GetErrorMessage(WuErrorContextId(5), WU_E_BAD_DATA,
                                                          long_detail.c_str());
  ASSERT_EQ(message.size(), static_cast<size_t>(WUERROR_MESSAGE_SIZE - 1));
  EXPECT_EQ(U8(message.substr(0, 46)), "An error occurred while loading the project fi");
  // A shorter one leaves room: the code's text, its references replaced,
  // is cut at the buffer's end.
  std::u16string detail(1890, u'd');
  message = WuErrorHandler_GetErrorMessage(WuErrorContextId(5), static_cast<HRESULT>(0x8004E089),
                                           detail.c_str());
  ASSERT_EQ(message.size(), static_cast<size_t>(WUERROR_MESSAGE_SIZE - 1));
  const std::string code_text =
      "\n\nThis file appears to have been created in a newer version of Tool, and is not supported "
      "by this version of Tool.  Please download and install the latest update of Tool.";
  EXPECT_EQ(U8(message.substr(1940)), code_text.substr(0, WUERROR_MESSAGE_SIZE - 1 - 1940));
}

TEST_F(ErrorHandlerTest, RegisteredTablesComeFirstAndAreLimitedTo32) {
  // Registered tables live for the process: every code here is used by
  // this test only.
  static const _wuerror_table overriding[] = {{WU_E_BUSY, u"Busy, $(AppName)!"}};
  ASSERT_EQ(WuErrorHandler_AddErrorTable(overriding, 1), S_OK);
  EXPECT_EQ(Message(WuErrorContextId(0), WU_E_BUSY, nullptr),
            "An error occurred during the current operation.Busy, Tool!");

  // A row is read through the table's own language handle.
  HWULANG german = nullptr;
  ASSERT_EQ(WuLang_Open(&german, GetModuleHandleW(nullptr), 0x407, 0), S_OK);
  const HRESULT row_code = static_cast<HRESULT>(0x8004EF01);
  static const _wuerror_table_rcid rows[] = {
      {row_code, WuLangRowRef(WuLangRow_ErrorWarningPrefix)}};
  ASSERT_EQ(WuErrorHandler_AddErrorTable(german, rows, 1), S_OK);
  EXPECT_EQ(U8(WuErrorHandler_GetHresultString(row_code)), "Warnung: ");

  // Thirty more fill the 32 places; the 33rd is refused and not stored.
  static const _wuerror_table filler[] = {{static_cast<HRESULT>(0x8004EF02), u"filler"}};
  for (int i = 0; i < 30; ++i) ASSERT_EQ(WuErrorHandler_AddErrorTable(filler, 1), S_OK) << i;
  static const _wuerror_table refused[] = {{static_cast<HRESULT>(0x8004EF03), u"refused"}};
  EXPECT_EQ(WuErrorHandler_AddErrorTable(refused, 1), S_FALSE);
  EXPECT_EQ(WuErrorHandler_GetHresultString(static_cast<HRESULT>(0x8004EF03)), nullptr);
  EXPECT_EQ(U8(WuErrorHandler_GetHresultString(static_cast<HRESULT>(0x8004EF02))), "filler");
  WuLang_Close(german);
}

// Runs `body` on a thread of its own and waits for it.
template <typename Body>
void OnOtherThread(Body body) {
  std::thread(body).join();
}

TEST_F(ErrorHandlerTest, DetailsBelongToTheThreadOfTheFirstLine) {
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, nullptr), E_POINTER);
  HRESULT last = 1;
  int lines = -1;
  DWORD owner = 1;
  EXPECT_EQ(WuErrorHandler_DetailsInfo(&last, &lines, &owner), nullptr);
  EXPECT_EQ(last, S_OK);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(owner, 0u);

  ASSERT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u"Line %d of $(AppName)", 7), S_OK);
  ASSERT_EQ(WuErrorHandler_DetailsAddString(WU_E_WRITE, u"as it stands"), S_OK);
  // Another thread is refused unless it passes the last line's code.
  OnOtherThread([] {
    EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u"refused"), E_FAIL);
    EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_WRITE, u"same code"), S_OK);
  });
  EXPECT_EQ(Details(), "Line 7 of Tool\r\nas it stands\r\nsame code\r\n");
  WuErrorHandler_DetailsInfo(&last, &lines, &owner);
  EXPECT_EQ(last, WU_E_WRITE);
  EXPECT_EQ(WuErrorHandler_GetLastError(), WU_E_WRITE);
  EXPECT_EQ(lines, 3);
  EXPECT_EQ(owner, GetCurrentThreadId());

  // After a clearing the next thread to add a line owns the details.
  WuErrorHandler_DetailsInit();
  DWORD other = 0;
  OnOtherThread([&other] {
    other = GetCurrentThreadId();
    EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u"mine"), S_OK);
  });
  WuErrorHandler_DetailsInfo(nullptr, nullptr, &owner);
  EXPECT_EQ(owner, other);
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_WRITE, u"refused"), E_FAIL);
}

TEST_F(ErrorHandlerTest, DetailsHoldLessThan8192Characters) {
  const std::u16string first(8000, u'a');
  ASSERT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, first.c_str()), S_OK);
  // 8,002 characters are taken: a line fits while line + "\r\n" stays
  // below the remaining room, terminator included.
  const std::u16string too_long(188, u'b');
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, too_long.c_str()), E_FAIL);
  int lines = 0;
  EXPECT_EQ(std::u16string(WuErrorHandler_DetailsInfo(nullptr, &lines, nullptr)), first + u"\r\n");
  EXPECT_EQ(lines, 1);
  const std::u16string fits(187, u'c');
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, fits.c_str()), S_OK);
  EXPECT_EQ(std::u16string(WuErrorHandler_DetailsInfo(nullptr, &lines, nullptr)).size(), 8191u);
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u""), E_FAIL);
  // A formatted line longer than the whole buffer is refused, not overrun.
  WuErrorHandler_DetailsInit();
  const std::u16string huge(20000, u'h');
  EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u"%s", huge.c_str()), E_FAIL);
  EXPECT_EQ(Details(), "(none)");
}

TEST_F(ErrorHandlerTest, ComposedTextCarriesTheDetailsAndKeepsThem) {
  const std::string message =
      "An error occurred while saving the project file b.prj.\n\nThe disk is full. Please free some "
      "space and try again.";
  BSTR text = WuErrorHandler_ComposeErrorText(WuErrorContextId(6), WU_E_DISK_FULL, u"b.prj");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(U8(std::u16string(text, SysStringLen(text))), message);
  SysFreeString(text);

  WuErrorHandler_DetailsAddString(WU_E_WRITE, u"one");
  WuErrorHandler_DetailsAddString(WU_E_WRITE, u"two");
  text = WuErrorHandler_ComposeErrorText(WuErrorContextId(6), WU_E_DISK_FULL, u"b.prj");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(U8(std::u16string(text, SysStringLen(text))),
            message + "\r\n<Details>\r\none\r\ntwo\r\n\r\n</Details>");
  SysFreeString(text);
  EXPECT_EQ(Details(), "one\r\ntwo\r\n");
}

// Error boxes, answered by a hook that records what it was shown.
class ErrorBoxTest : public ErrorHandlerTest {
 protected:
  struct Shown {
    std::string text;
    std::string caption;
    UINT style;
  };
  void SetUp() override {
    ErrorHandlerTest::SetUp();
    ASSERT_TRUE(WuMsgBoxSetAppData(nullptr, nullptr, u"Caption"));
    ASSERT_TRUE(WuMsgBoxSetHook(&Answer, this));
  }
  void TearDown() override {
    WuMsgBoxSetHook(nullptr, nullptr);
    ErrorHandlerTest::TearDown();
  }
  static int Answer(void* data, HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
    static_cast<ErrorBoxTest*>(data)->shown_.push_back(
        {text ? U8(text) : "(null)", caption ? U8(caption) : "(null)", style});
    return IDNO;
  }

  std::vector<Shown> shown_;
};

TEST_F(ErrorBoxTest, CancelledByTheUserShowsNothing) {
  EXPECT_EQ(
      WuErrorHandler_MsgBox(nullptr, MB_OK, WuErrorContextId(0), WU_E_CANCELLED, nullptr, FALSE), 1);
  EXPECT_TRUE(shown_.empty());
}

TEST_F(ErrorBoxTest, BoxOffersTheDetailsAndClearsThem) {
  ASSERT_EQ(WuErrorHandler_DetailsAddString(WU_E_BAD_DATA, u"crc 0x%08x", 0x1234u), S_OK);
  EXPECT_EQ(WuErrorHandler_MsgBox(nullptr, MB_ICONEXCLAMATION, WuErrorContextId(5), WU_E_BAD_DATA,
                                  u"c.prj", FALSE),
            IDNO);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text,
            "An error occurred while loading the project file c.prj.\n\nThe file is most likely "
            "corrupted or of an unknown format.\r\n<Details>\r\ncrc 0x00001234\r\n\r\n</Details>");
  EXPECT_EQ(shown_[0].caption, "Caption");
  EXPECT_EQ(shown_[0].style, MB_ICONEXCLAMATION | WUMB_DETAILS);
  // The details are empty and free for any thread.
  int lines = -1;
  DWORD owner = 1;
  EXPECT_EQ(WuErrorHandler_DetailsInfo(nullptr, &lines, &owner), nullptr);
  EXPECT_EQ(lines, 0);
  EXPECT_EQ(owner, 0u);
  OnOtherThread([] { EXPECT_EQ(WuErrorHandler_DetailsAddString(WU_E_READ, u"next"), S_OK); });
}

TEST_F(ErrorBoxTest, WarningShowsTheTextAsItStands) {
  // Without details the details bits are cleared; '%' and '$' are not
  // formatted again.
  EXPECT_EQ(WuErrorHandler_MsgBoxText(nullptr, WUMB_DETAILS | MB_YESNO, u"100% of $(AppName) %s", TRUE),
            IDNO);
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].text, "Warning: 100% of $(AppName) %s");
  EXPECT_EQ(shown_[0].style, static_cast<UINT>(MB_YESNO));
}

}  // namespace
