#include "foundation/WuString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/common/TestUtil.h"

using wutest::U16;

namespace {

constexpr WCHAR kMark = u'#';  // fill of untouched buffer positions
constexpr int kBuffer = 8;

// A buffer of kBuffer marks, compared as a whole after a call.
struct WideBuffer {
  WCHAR units[kBuffer];
  WideBuffer() { std::fill(std::begin(units), std::end(units), kMark); }
  // The buffer with 0 shown as '0' so that every position is compared.
  std::u16string Shown() const {
    std::u16string s(units, kBuffer);
    for (auto& c : s)
      if (c == 0) c = u'0';
    return s;
  }
};

TEST(WuString, BoundedCopiesWriteTheWholeBuffer) {
  const struct {
    const char16_t* source;
    int size;
    const char16_t* buffer;  // all kBuffer positions afterwards
    int length;              // WuStrCpyNLen's result
  } cases[] = {
      {u"abc", -1, u"########", 0},
      {u"abc", 1, u"0#######", 0},
      {u"ab", 5, u"ab000###", 2},      // zero fill up to the terminator
      {u"abcd", 5, u"abcd0###", 4},    // exact fit
      {u"abcdefgh", 5, u"abcd0###", 4},  // cut, never overrun
      {nullptr, 3, u"000#####", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    WideBuffer a, b, d;
    EXPECT_EQ(a.units, WuStrCpyN(a.units, c.source, c.size));
    EXPECT_EQ(std::u16string(c.buffer), a.Shown());
    EXPECT_EQ(c.length, WuStrCpyNLen(b.units, c.source, c.size));
    EXPECT_EQ(std::u16string(c.buffer), b.Shown());
    EXPECT_EQ(c.length, WuStrCpyNLen2(d.units, c.source, c.size));
    EXPECT_EQ(std::u16string(c.buffer), d.Shown());
  }
  // Size 0 writes nothing; the Len forms report the existing length.
  WCHAR text[8] = u"hello";
  EXPECT_EQ(text, WuStrCpyN(text, u"xy", 0));
  EXPECT_EQ(5, WuStrCpyNLen(text, u"xy", 0));
  EXPECT_EQ(5, WuStrCpyNLen2(text, u"xy", 0));
  EXPECT_EQ(u"hello", std::u16string(text));
  EXPECT_EQ(0, WuStrCpyNLen(nullptr, u"xy", 0));
}

TEST(WuString, BoundedAppends) {
  const struct {
    const char* dest;  // initial text
    const char* source;
    int size;
    const char* expect;
  } cases[] = {
      {"ab", "cd", 8, "ab" "cd"},
      {"ab", "cdefgh", 5, "abcd"},   // cut to size-1
      {"abcd", "x", 5, "abcd"},      // already full
      {"abcdef", "x", 5, "abcdef"},  // text longer than the size: untouched
      {"ab", "cd", 0, "ab"},
      {"ab", nullptr, 8, "ab"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.dest << " + " << (c.source ? c.source : "null")
                                      << " in " << c.size);
    WCHAR wide[kBuffer + 1] = {};
    std::u16string initial = U16(c.dest);
    std::copy(initial.begin(), initial.end(), wide);
    WuStrCatN(wide, c.source ? U16(c.source).c_str() : nullptr, c.size);
    EXPECT_EQ(U16(c.expect), std::u16string(wide));

    char bytes[kBuffer + 1] = {};
    std::strcpy(bytes, c.dest);
    EXPECT_EQ(bytes, WuStrCatNA(bytes, c.source, c.size));
    EXPECT_STREQ(c.expect, bytes);
  }
  // A buffer without a terminator is treated as full, never read past size.
  WCHAR unterminated[4] = {u'a', u'b', u'c', u'd'};
  WuStrCatN(unterminated, u"x", 4);
  EXPECT_EQ(u"abcd", std::u16string(unterminated, 4));

  WCHAR whole[16] = u"ab";
  EXPECT_EQ(whole, WuStrCat(whole, u"cd"));
  EXPECT_EQ(u"abcd", std::u16string(whole));
  EXPECT_EQ(whole, WuStrCpy(whole, u"xyz"));
  EXPECT_EQ(u"xyz", std::u16string(whole));
}

TEST(WuString, ByteCopy) {
  const struct {
    const char* source;
    int size;
    const char* expect;  // "####" = untouched
  } cases[] = {{"abc", -1, "####"}, {"abc", 0, "####"}, {"abc", 1, ""},
               {"abc", 4, "abc"},   {"abcdef", 4, "abc"}};
  for (const auto& c : cases) {
    char bytes[5] = "####";
    EXPECT_EQ(bytes, WuStrCpyNA(bytes, c.source, c.size));
    EXPECT_STREQ(c.expect, bytes) << c.size;
  }
}

TEST(WuString, ScanningAndCase) {
  EXPECT_EQ(0, WuStrLenSafe(nullptr));
  EXPECT_EQ(3, WuStrLenSafe(u"abc"));

  const WCHAR* spaced = u" \t\u3000\nx y";
  EXPECT_EQ(spaced + 4, WuSkipWhiteSpace(spaced));
  const WCHAR* blank = u"  ";
  EXPECT_EQ(blank + 2, WuSkipWhiteSpace(blank));  // stops on the terminator

  const WCHAR* ab = u"ab";
  EXPECT_EQ(ab + 1, WuStrNextChar(ab));
  EXPECT_EQ(ab + 2, WuStrNextChar(ab + 2));  // stays on the terminator

  const WCHAR* path = u"a/b/c";
  EXPECT_EQ(path + 3, WuStrRChrOrEnd(path, u'/'));
  EXPECT_EQ(path + 5, WuStrRChrOrEnd(path, u'\\'));  // none: the terminator
  const WCHAR* empty = u"";
  EXPECT_EQ(empty, WuStrRChrOrEnd(empty, u'/'));
  EXPECT_EQ(nullptr, WuStrRChrOrEnd(static_cast<const WCHAR*>(nullptr), u'/'));

  WCHAR text[] = u"abc \u00E9\u00DF\u03C3";
  EXPECT_EQ(text, WuStrUpper(text));
  EXPECT_EQ(u"ABC \u00C9\u00DF\u03A3", std::u16string(text));
}

TEST(WuString, BoundedComparisons) {
  const struct {
    const char16_t* a;
    const char16_t* b;
    int n;
    int ci;  // WuStrCmpNI
    int cs;  // WuLstrCmpN
  } cases[] = {
      {u"abcX", u"ABCy", 3, 0, 1},
      {u"abcX", u"abcY", 4, -1, -1},
      {u"\u00C4bc!", u"\u00E4BC?", 3, 0, -1},
      {u"ab", u"abc", 5, -1, -1},  // a shorter text stops at its end
      {u"abc", u"xyz", 0, 0, 0},   // two empty prefixes
      {u"abc", u"xyz", -1, 0, 0},
      {nullptr, u"", 4, 0, 0},
      {u"$WU_", u"$WU_MENU", 2, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(c.ci, WuStrCmpNI(c.a, c.b, c.n));
    EXPECT_EQ(c.cs, WuLstrCmpN(c.a, c.b, c.n));
  }
}

TEST(WuString, WideToMultiByte) {
  const struct {
    const char16_t* source;
    int size;
    UINT code_page;
    int result;
    const char* buffer;  // text afterwards
  } cases[] = {
      {u"h\u00E9llo", 16, 1252, 5, "h\xE9llo"},
      {u"h\u00E9llo", 16, CP_UTF8, 6, "h\xC3\xA9llo"},
      {u"hello", 6, 1252, 5, "hello"},           // exact fit
      {u"hello", 3, 1252, 0, "he"},              // does not fit: terminated anyway
      {u"\u20AC\u20AC", 5, CP_UTF8, 0, "\xE2\x82\xAC"},  // whole characters only
      {u"", 4, 1252, 0, ""},
      {nullptr, 4, 1252, 0, ""},
      {u"abc", 8, 437, 0, ""},                   // unsupported code page
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.size << " " << c.code_page);
    char bytes[17];  // one guard byte past the largest size
    std::memset(bytes, '#', sizeof bytes);
    EXPECT_EQ(c.result, WuWideToMultiByte(bytes, c.source, c.size, c.code_page));
    EXPECT_STREQ(c.buffer, bytes);
    EXPECT_EQ(0, bytes[c.size - 1]);
    EXPECT_EQ('#', bytes[c.size]);  // nothing past the buffer
  }
  char untouched[2] = {'#', '#'};
  EXPECT_EQ(0, WuWideToMultiByte(untouched, u"abc", 0, 1252));
  EXPECT_EQ(0, WuWideToMultiByte(untouched, u"abc", -1, 1252));
  EXPECT_EQ('#', untouched[0]);
}

TEST(WuString, GlobalNewAndDelete) {
  const size_t live = platform::LiveGlobalBlockCount();
  unsigned char* p = static_cast<unsigned char*>(WuGlobalNew(100));
  ASSERT_NE(nullptr, p);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(0, p[i]);
  EXPECT_EQ(live + 1, platform::LiveGlobalBlockCount());
  EXPECT_EQ(1u, GlobalFlags(GlobalHandle(p)));  // kept locked
  WuGlobalDelete(p);
  EXPECT_EQ(live, platform::LiveGlobalBlockCount());

  // Pointers that are not blocks are ignored, a second delete too.
  int on_stack = 0;
  WuGlobalDelete(nullptr);
  WuGlobalDelete(&on_stack);
  WuGlobalDelete(p);
  EXPECT_EQ(live, platform::LiveGlobalBlockCount());

  platform::FailNextAllocations(1);
  EXPECT_EQ(nullptr, WuGlobalNew(16));
  platform::FailNextAllocations(0);
  EXPECT_EQ(live, platform::LiveGlobalBlockCount());
}

TEST(WuString, IsDirectory) {
  std::string dir = wutest::MakeTempDir("isdir");
  std::u16string folder = U16(dir);
  std::u16string file = U16(dir + "/file.txt");
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  EXPECT_TRUE(WuIsDirectory(folder.c_str()));
  EXPECT_FALSE(WuIsDirectory(file.c_str()));
  EXPECT_FALSE(WuIsDirectory(U16(dir + "/missing").c_str()));
}

TEST(WuString, SeekFile) {
  std::u16string name = U16(wutest::MakeTempDir("seek") + "/data.bin");
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "0123456789", 10, &written, nullptr));
  const struct {
    LONG low;
    LONG high;
    DWORD method;
    LONGLONG expect;
  } cases[] = {
      {4, 0, FILE_BEGIN, 4},
      {2, 0, FILE_CURRENT, 6},
      {-2, -1, FILE_END, 8},                 // negative 64-bit distance
      {0, 1, FILE_BEGIN, LONGLONG(1) << 32},  // the high half is passed through
      {-1, -1, FILE_BEGIN, -1},              // before the start: failure
  };
  for (const auto& c : cases) EXPECT_EQ(c.expect, WuSeekFile(h, c.low, c.high, c.method));
  EXPECT_EQ(ERROR_NEGATIVE_SEEK, GetLastError());
  CloseHandle(h);
  EXPECT_EQ(-1, WuSeekFile(h, 0, 0, FILE_BEGIN));  // closed handle
}

}  // namespace
