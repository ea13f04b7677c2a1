#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/user/frontend.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/com/sound.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

// Formats through the engine into a roomy buffer; returns UTF-8.
template <typename... Args>
std::string F(const char* format, Args... args) {
  std::u16string f = U16(format);
  WCHAR out[WUPRINTF_MAX];
  int n = WuPrintF(out, f.c_str(), args...);
  std::string text = U8(out);
  EXPECT_EQ(static_cast<size_t>(n), std::u16string(out).size()) << format;
  return text;
}

// The kernel state that formatting uses: the token table, a kernel language
// handle and the internationals of a chosen user locale.
class PrintFTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    UseLocale(0x409);
  }
  void TearDown() override {
    platform::ClearLocaleOverrides();
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    WuPrintF_DestroyTokens();
  }
  // Makes `lcid` the user's locale and reads the internationals again.
  static void UseLocale(LCID lcid) {
    ASSERT_TRUE(platform::SetUserLocale(lcid, 0x409));
    WuLang_GetInternationals(nullptr, 0);
  }

  HWULANG lang_ = nullptr;
};

struct Case {
  const char* expected;
  std::string actual;
};

void ExpectCases(const std::vector<Case>& cases) {
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(cases[i].actual, cases[i].expected) << "case " << i;
}

TEST_F(PrintFTest, EngineInEnglish) {
  WuPrintF_AddToken(u"appname", u"Vorl");
  ExpectCases({
      {"$", F("$$")},
      {"%", F("%%")},
      {"%", F("$%")},
      {"Vorl!", F("$(AppName)!")},
      {"$(Unknown) x", F("$(Unknown) x")},
      {"go $(AppName", F("go $(AppName")},
      {"$()", F("$()")},
      {"1,234,567", F("$(1234567)")},
      {"1,234.5", F("$(1234.5)")},
      {"-1,234", F("$(-1,234)")},
      {"$(12a)", F("$(12a)")},
      {"$(-)", F("$(-)")},
      {"-1234567", F("%d", -1234567)},
      {"-1,234,567", F("$d", -1234567)},
      {"   42", F("$5d", 42)},
      {"00042", F("$05d", 42)},
      {"4,000,000,000", F("$u", 4000000000u)},
      {"12,345,678,901,234", F("$I64d", 12345678901234LL)},
      {"12345678901234", F("%I64d", 12345678901234LL)},
      {"ff 12345", F("%x $x", 255, 0x12345)},
      {"123.45", F("%.2z", 12345)},
      {"1,234,567.89", F("$.2z", 123456789)},
      {"-0.05", F("%.2z", -5)},
      {"42 42", F("%z %.0z", 42, 42)},
      {"1,234.50", F("$.2f", 1234.5)},
      {"1234.50", F("%.2f", 1234.5)},
      {"1e+20", F("$g", 1e20)},
      {"1234.5", F("$g", 1234.5)},
      {"%", F("%")},
      {"abc%", F("abc$")},
      {"%5", F("%5")},
      {"text A narrow", F("%s %c %hs", u"text", 'A', "narrow")},
      {"[  ab]", F("[%4s]", u"ab")},
      {"01:02:03.456", F("%02u$:%02u$:%02u$*%03u", 1u, 2u, 3u, 456u)},
      {": . , . .", F("%!: %!. %!, %&: %&.")},
      {"x", F("%!x")},
      {". , :", F("$* $, $:")},
  });
}

TEST_F(PrintFTest, EngineWithOtherSeparators) {
  UseLocale(0x407);  // German: "." thousands, "," decimals, ";" lists
  ExpectCases({
      {"-1.234.567", F("$d", -1234567)},
      {"-1234567", F("%d", -1234567)},
      {"123,45", F("%.2z", 12345)},
      {"1.234.567,89", F("$.2z", 123456789)},
      {"1.234,50", F("$.2f", 1234.5)},
      {"1.234.567", F("$(1234567)")},
      {"1.234,5", F("$(1234.5)")},
      {", ;", F("$* $,")},
  });
  // A user's own thousands separator is picked up when the internationals
  // are read again.
  platform::SetLocaleOverride(0x407, LOCALE_STHOUSAND, u"'");
  WuLang_GetInternationals(nullptr, 0);
  EXPECT_EQ(F("$d", 1234567), "1'234'567");
}

// Every size from 0 to beyond the result: never a character past size-1,
// always terminated, the text a prefix of the whole result.
TEST_F(PrintFTest, OutputIsBoundedAtEverySize) {
  WuPrintF_AddToken(u"Name", u"Value of a token");
  std::function<int(WCHAR*, int)> calls[] = {
      [](WCHAR* o, int n) { return WuPrintFN(o, n, u"ab $d cd", -1234567); },
      [](WCHAR* o, int n) {
        return WuPrintFN(o, n, u"[%s] $(Name) $(1234567) %.2z", u"text", 12345);
      },
      [](WCHAR* o, int n) { return WuPrintFN(o, n, u"%c%c %02u$:%02u", 'x', 'y', 1u, 2u); },
      [](WCHAR* o, int n) { return WuPrintFN(o, n, u"\U0001F600\U0001F600 x"); },
  };
  for (size_t k = 0; k < std::size(calls); ++k) {
    WCHAR whole[256];
    int length = calls[k](whole, 256);
    ASSERT_GT(length, 4);
    for (int size = 0; size <= length + 2; ++size) {
      WCHAR out[300];
      for (WCHAR& c : out) c = u'#';
      int n = calls[k](out, size);
      ASSERT_LE(n, size > 0 ? size - 1 : 0) << "call " << k << " size " << size;
      for (int i = size; i < 300; ++i) ASSERT_EQ(out[i], u'#') << "wrote past " << size;
      if (size == 0) continue;
      ASSERT_EQ(out[n], 0);
      ASSERT_EQ(std::u16string(out, n), std::u16string(whole, n));
      // A cut never leaves the first half of a surrogate pair.
      if (n > 0) {
        ASSERT_FALSE(out[n - 1] >= 0xD800 && out[n - 1] <= 0xDBFF);
      }
    }
  }
}

// Token values come from package files: a very long one fills the
// 2,048-character wrappers to the brim and no further.
TEST_F(PrintFTest, LongTokenIsCutAtTheWrapperSize) {
  std::u16string huge(5000, u'A');
  ASSERT_TRUE(WuPrintF_AddToken(u"AppName.Title", huge.c_str()));
  std::vector<WCHAR> out(WUPRINTF_MAX + 64, u'#');
  int n = WuPrintF(out.data(), u"$(AppName.Title) - Unpacking Wizard");
  EXPECT_EQ(n, WUPRINTF_MAX - 1);
  EXPECT_EQ(out[WUPRINTF_MAX - 1], 0);
  EXPECT_EQ(out[WUPRINTF_MAX], u'#');
  EXPECT_EQ(std::u16string(out.data(), 3), u"AAA");
}

TEST_F(PrintFTest, TokensAddReplaceDelete) {
  ASSERT_TRUE(WuPrintF_AddToken(u"AppName", u"Vorlundage"));
  ASSERT_TRUE(WuPrintF_AddToken(u"AppName.Title", u"Vorlundage Setup"));
  EXPECT_EQ(F("$(AppName.Title) - Unpacking Wizard"), "Vorlundage Setup - Unpacking Wizard");
  // Names compare without regard to case; a new value replaces the old.
  ASSERT_TRUE(WuPrintF_AddToken(u"APPNAME", u"Other"));
  EXPECT_EQ(F("$(appname)"), "Other");
  ASSERT_TRUE(WuPrintF_AddToken(u"Empty", nullptr));
  EXPECT_EQ(F("[$(Empty)]"), "[]");
  EXPECT_TRUE(WuPrintF_DeleteToken(u"appName"));
  EXPECT_FALSE(WuPrintF_DeleteToken(u"AppName"));
  EXPECT_EQ(F("$(AppName) $(AppName.Title)"), "$(AppName) Vorlundage Setup");
  EXPECT_FALSE(WuPrintF_AddToken(nullptr, u"x"));

  // Without a table nothing is added and references stay as written.
  WuPrintF_DestroyTokens();
  EXPECT_FALSE(WuPrintF_AddToken(u"A", u"B"));
  EXPECT_EQ(F("$(A)"), "$(A)");
}

// A replacement that cannot be allocated keeps the old value.
TEST_F(PrintFTest, FailedReplacementKeepsTheOldToken) {
  ASSERT_TRUE(WuPrintF_AddToken(u"AppName", u"Old"));
  platform::FailNextAllocations(1);
  EXPECT_FALSE(WuPrintF_AddToken(u"AppName", u"New value"));
  platform::FailNextAllocations(0);
  EXPECT_EQ(F("$(AppName)"), "Old");
  EXPECT_TRUE(WuPrintF_AddToken(u"AppName", u"New value"));
  EXPECT_EQ(F("$(AppName)"), "New value");
}

// Two threads replace and delete a token while a third formats it: every
// result is one whole value or the reference itself.
TEST_F(PrintFTest, TokensAreNeverSeenTorn) {
  const std::u16string a(300, u'a'), b(700, u'b');
  const std::string ra = "[" + std::string(300, 'a') + "]";
  const std::string rb = "[" + std::string(700, 'b') + "]";
  std::atomic<bool> stop{false};
  std::thread writer1([&] {
    while (!stop) WuPrintF_AddToken(u"Race", a.c_str());
  });
  std::thread writer2([&] {
    while (!stop) {
      WuPrintF_AddToken(u"race", b.c_str());
      WuPrintF_DeleteToken(u"RACE");
    }
  });
  int seen_a = 0, seen_b = 0, seen_none = 0, torn = 0;
  WCHAR out[WUPRINTF_MAX];
  for (int i = 0; i < 20000 || seen_a == 0 || seen_b == 0; ++i) {
    WuPrintF(out, u"[$(Race)]");
    std::string r = U8(out);
    if (r == ra)
      ++seen_a;
    else if (r == rb)
      ++seen_b;
    else if (r == "[$(Race)]")
      ++seen_none;
    else
      ++torn;
    if (i > 2000000) break;
  }
  stop = true;
  writer1.join();
  writer2.join();
  EXPECT_EQ(torn, 0);
  EXPECT_GT(seen_a + seen_b, 0);
}

TEST_F(PrintFTest, TimeCodeLabelsComeFromTheInternationals) {
  EXPECT_EQ(F("$(SMPTE.Label.Drop)"), "hr:mn:sc,fr");
  EXPECT_EQ(F("$(SMPTE.Label.NonDrop)"), "hr:mn:sc.fr");
}

TEST_F(PrintFTest, FileSizes) {
  struct SizeCase {
    LONGLONG bytes;
    BOOL long_units;
    const char* expected;
  } cases[] = {
      {998, FALSE, "998 B"},
      {998, TRUE, "998 bytes"},
      {-5, FALSE, "0 B"},
      {999, FALSE, "0.97 KB"},
      {1536, FALSE, "1.50 KB"},
      {512000, FALSE, "500 KB"},
      {1022975, FALSE, "999 KB"},
      {1022976, FALSE, "0.97 MB"},
      {1048576, FALSE, "1.00 MB"},
      {12939428, FALSE, "12.3 MB"},
      {5LL << 30, TRUE, "5.00 GB"},
      {3LL << 40, FALSE, "3.00 TB"},
      {7LL << 50, FALSE, "7.00 PB"},
      {1LL << 60, FALSE, "1.00 EB"},
      {0x6FFFFFFFFFFFFFFFLL, FALSE, "6.99 EB"},
      {0x7000000000000000LL, FALSE, "> 9 YB"},
  };
  for (const SizeCase& c : cases) {
    WCHAR out[64];
    WuFormatFileSize(c.bytes, out, 64, c.long_units);
    EXPECT_EQ(U8(out), c.expected) << c.bytes;
  }
  WCHAR small[4];
  WuFormatFileSize(1536, small, 4, FALSE);
  EXPECT_EQ(U8(small), "1.5");
  UseLocale(0x407);
  WCHAR out[64];
  WuFormatFileSize(1536, out, 64, FALSE);
  EXPECT_EQ(U8(out), "1,50 KB");
}

TEST_F(PrintFTest, BeepPlaysTheSystemSounds) {
  platform::ClearSoundLog();
  const char* aliases[] = {"SystemDefault",  "SystemExclamation",           "SystemAsterisk",
                           "SystemQuestion", "Brisvanemoor_DoneProcessing", "SystemDefault"};
  for (int kind = 0; kind <= 5; ++kind) EXPECT_TRUE(WuBeep(kind)) << kind;
  std::vector<platform::SoundRequest> log = platform::GetSoundLog();
  ASSERT_EQ(log.size(), 6u);
  for (int kind = 0; kind <= 5; ++kind) {
    EXPECT_EQ(U8(log[kind].name), aliases[kind]);
    EXPECT_EQ(log[kind].flags, SND_ASYNC);
  }
  EXPECT_FALSE(sndPlaySoundW(u"NoSuchSound", SND_ASYNC));
  EXPECT_TRUE(sndPlaySoundW(u"systemhand", SND_SYNC));
}

TEST_F(PrintFTest, SmallHelpers) {
  WCHAR out[64];
  EXPECT_EQ(WuComposeStr(out, 64, u"%1 of %2", u"one", u"two"), 10);
  EXPECT_EQ(U8(out), "one of two");
  EXPECT_EQ(WuComposeStr(out, 4, u"%1 of %2", u"one", u"two"), 0);
  EXPECT_EQ(out[0], 0);

  EXPECT_TRUE(WuHasFormatChars(u"50%"));
  EXPECT_TRUE(WuHasFormatChars(u"$(AppName)"));
  EXPECT_FALSE(WuHasFormatChars(u"plain"));
  EXPECT_FALSE(WuHasFormatChars(nullptr));

  const WCHAR* text = u"a/b";
  EXPECT_EQ(WuStrChrOrEnd(text, u'/'), text + 1);
  EXPECT_EQ(WuStrChrOrEnd(text, u'x'), text + 3);
  EXPECT_EQ(WuStrChrOrEnd(static_cast<const WCHAR*>(nullptr), u'x'), nullptr);
}

}  // namespace

// ---- Formatting into windows and fitting texts to a width --------------------------------
namespace {

// A parent window that counts the EN_CHANGE notes of its edit controls (one
// per text change, so an unchanged item shows as no note).
std::atomic<int> g_edit_changes{0};
LRESULT CountingParent(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE) ++g_edit_changes;
  return DefWindowProcW(window, message, wparam, lparam);
}

class PrintFWindowTest : public PrintFTest {
 protected:
  void SetUp() override {
    PrintFTest::SetUp();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CountingParent;
    wc.lpszClassName = u"PrintFParent";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    parent_ = CreateWindowExW(0, u"PrintFParent", u"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_TRUE(parent_);
    edit_ = CreateWindowExW(0, u"EDIT", u"", WS_CHILD | ES_MULTILINE, 0, 0, 200, 100, parent_,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(kEditId)), nullptr,
                            nullptr);
    ASSERT_TRUE(edit_);
    g_edit_changes = 0;
  }
  void TearDown() override {
    DestroyWindow(parent_);
    UnregisterClassW(u"PrintFParent", nullptr);
    PrintFTest::TearDown();
  }
  static constexpr int kEditId = 101;
  HWND parent_ = nullptr;
  HWND edit_ = nullptr;
};

TEST_F(PrintFWindowTest, WindowAndItemTextsGoThroughTheEngineOnlyWithFormatChars) {
  WuPrintF_AddToken(u"AppName", u"Vorl");
  EXPECT_EQ(WuSetWindowText(parent_, u"$(AppName) - $d", 1234567), 16);
  EXPECT_EQ(U8(platform::WindowText(parent_).c_str()), "Vorl - 1,234,567");
  // Without '%' or '$' the text is set as it stands (no argument is read).
  EXPECT_EQ(WuSetDlgItemText(parent_, kEditId, u"100 {x}"), 7);
  EXPECT_EQ(U8(platform::WindowText(edit_).c_str()), "100 {x}");
  EXPECT_EQ(WuSetDlgItemText(parent_, kEditId, nullptr), 0);
  EXPECT_EQ(WuSetDlgItemText(parent_, 999, u"%d", 5), 0);  // no such item
  // By string id: string 1 of the program is "main one".
  EXPECT_EQ(WuSetWindowTextId(lang_, parent_, 1), 8);
  EXPECT_EQ(U8(platform::WindowText(parent_).c_str()), "main one");
  EXPECT_EQ(WuSetDlgItemTextId(lang_, parent_, kEditId, 1), 8);
  EXPECT_EQ(U8(platform::WindowText(edit_).c_str()), "main one");
}

TEST_F(PrintFWindowTest, NoFlashLeavesAnUnchangedItemAlone) {
  g_edit_changes = 0;
  EXPECT_EQ(WuSetDlgItemTextNoFlash(parent_, kEditId, u"%d files", 3), 7);
  EXPECT_EQ(g_edit_changes, 1);
  EXPECT_EQ(WuSetDlgItemTextNoFlash(parent_, kEditId, u"%d files", 3), 7);
  EXPECT_EQ(g_edit_changes, 1);  // same text: not set again
  EXPECT_EQ(WuSetDlgItemTextNoFlash(parent_, kEditId, u"%d Files", 3), 7);
  EXPECT_EQ(g_edit_changes, 2);  // compared with case
  EXPECT_EQ(U8(platform::WindowText(edit_).c_str()), "3 Files");
}

TEST_F(PrintFWindowTest, MultiLineEditAppendsLinesAtTheEnd) {
  EXPECT_EQ(WuMEditPrintF(edit_, u"first %d", 1), 7);
  EXPECT_EQ(WuMEditPrintF(edit_, u"~~no break "), 9);
  // A caret left in the middle (as by a click) does not move the append.
  SendMessageW(edit_, EM_SETSEL, 2, 2);
  EXPECT_EQ(WuMEditPrintF(edit_, u"$d", 1000), 5);
  EXPECT_EQ(U8(platform::WindowText(edit_).c_str()), "first 1\r\nno break 1,000\r\n");
  EXPECT_EQ(WuMEditPrintF(edit_, nullptr), 0);
  EXPECT_EQ(platform::WindowText(edit_), u"");
}

// A screen DC with a proportional font of the deterministic metric model.
class EllipsisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dc_ = GetDC(nullptr);
    ASSERT_TRUE(dc_);
    font_ = CreateFontW(-16, 0, 0, 0, 400, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    ASSERT_TRUE(font_);
    old_ = SelectObject(dc_, font_);
  }
  void TearDown() override {
    SelectObject(dc_, old_);
    DeleteObject(font_);
    ReleaseDC(nullptr, dc_);
  }
  int Width(const std::u16string& text) {
    SIZE size = {0, 0};
    EXPECT_TRUE(GetTextExtentPoint32W(dc_, text.data(), static_cast<int>(text.size()), &size));
    return size.cx;
  }
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

TEST_F(EllipsisTest, KeepsTheLongestHeadOrTailThatFits) {
  const std::u16string text = u"The quick brown fox jumps";
  const int full = Width(text);
  for (bool from_end : {false, true}) {
    for (int width : {full + 2, full + 1, full / 2, Width(u"...") + 2 + Width(u"T")}) {
      WCHAR buffer[64];
      std::copy(text.begin(), text.end(), buffer);
      buffer[text.size()] = 0;
      int result = from_end ? WuCalcStringEllipsisFromEnd(dc_, buffer, 64, width)
                            : WuCalcStringEllipsis(dc_, buffer, 64, width);
      std::u16string got = buffer;
      SCOPED_TRACE(std::to_string(width) + (from_end ? " from end" : " from start"));
      if (full <= width - 2) {
        EXPECT_EQ(got, text);
        EXPECT_EQ(result, from_end ? 1 : 0);
        continue;
      }
      EXPECT_EQ(result, 1);
      EXPECT_LE(Width(got), width - 2);
      ASSERT_GT(got.size(), 3u);
      // The kept part is the longest that fits: one more character does not.
      if (from_end) {
        ASSERT_EQ(got.substr(0, 3), u"...");
        std::u16string tail = got.substr(3);
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        EXPECT_GT(Width(u"..." + text.substr(text.size() - tail.size() - 1)), width - 2);
      } else {
        ASSERT_EQ(got.substr(got.size() - 3), u"...");
        std::u16string head = got.substr(0, got.size() - 3);
        EXPECT_EQ(text.substr(0, head.size()), head);
        EXPECT_GT(Width(text.substr(0, head.size() + 1) + u"..."), width - 2);
      }
    }
  }
}

TEST_F(EllipsisTest, RespectsTheBufferPairsAndFailures) {
  // Nothing fits: unchanged, 0 from both.
  WCHAR text[32] = u"abcdef";
  EXPECT_EQ(WuCalcStringEllipsis(dc_, text, 32, 3), 0);
  EXPECT_EQ(WuCalcStringEllipsisFromEnd(dc_, text, 32, 3), 0);
  EXPECT_EQ(std::u16string(text), u"abcdef");
  // A failed measurement (no DC) changes nothing.
  EXPECT_EQ(WuCalcStringEllipsis(nullptr, text, 32, 10), 0);
  EXPECT_EQ(WuCalcStringEllipsisFromEnd(nullptr, text, 32, 10), 0);
  EXPECT_EQ(std::u16string(text), u"abcdef");

  // A full buffer: the head plus "..." must stay inside it.
  WCHAR tight[8] = u"wwwwwww";  // 7 characters in 8
  tight[7] = 0;
  int width = Width(u"wwwwww") + 2;  // six fit alone, but not with "..."
  EXPECT_EQ(WuCalcStringEllipsis(dc_, tight, 8, width), 1);
  EXPECT_LE(std::u16string(tight).size(), 7u);
  EXPECT_EQ(std::u16string(tight).substr(std::u16string(tight).size() - 3), u"...");

  // A surrogate pair is never split: the head stops before it or after it.
  WCHAR pair[16] = {u'a', u'b', 0xD83D, 0xDE00, u'c', u'd', u'e', u'f', 0};
  std::u16string original = pair;
  for (int w = Width(u"...") + 2; w < Width(original) + 2; ++w) {
    WCHAR copy[16];
    std::copy(original.begin(), original.end() + 1, copy);
    if (WuCalcStringEllipsis(dc_, copy, 16, w)) {
      std::u16string got = copy;
      size_t head = got.size() - 3;
      EXPECT_FALSE(head > 0 && got[head - 1] == 0xD83D) << w;
    }
    std::copy(original.begin(), original.end() + 1, copy);
    if (WuCalcStringEllipsisFromEnd(dc_, copy, 16, w)) {
      EXPECT_NE(copy[3], 0xDE00) << w;
    }
  }
}

}  // namespace
