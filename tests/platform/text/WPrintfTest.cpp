#include "platform/text/wprintf.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "tests/common/TestUtil.h"

using wutest::U16;
using wutest::U8;

namespace {

// Formats with both the C runtime (narrow spec) and our engine (wide spec)
// and compares text and returned length.
template <typename... A>
void ExpectLikeC(const char16_t* wide, const char* narrow, A... args) {
  char expect[2048];
  int expect_len = std::snprintf(expect, sizeof expect, narrow, args...);
  WCHAR out[2048];
  int len = platform::Format(out, 2048, wide, args...);
  EXPECT_EQ(expect, U8(out)) << narrow;
  EXPECT_EQ(expect_len, len) << narrow;
}

TEST(Format, IntegersMatchTheRuntime) {
  // Width of the argument: the platform's "l" is 32-bit, so the C spec
  // differs where the sizes do.
  enum Width { k32, k64 };
  const struct {
    const char16_t* wide;
    const char* narrow;
    int64_t value;
    Width width;
  } cases[] = {
      {u"%d", "%d", -1234567, k32},       {u"%i", "%i", 0, k32},
      {u"%+d", "%+d", 5, k32},            {u"% d", "% d", 5, k32},
      {u"%05d", "%05d", -42, k32},        {u"%-6d|", "%-6d|", -42, k32},
      {u"%.3d", "%.3d", 7, k32},          {u"%08.3d", "%08.3d", -7, k32},
      {u"%.0d|", "%.0d|", 0, k32},        {u"%+u", "%+u", -1, k32},
      {u"%x", "%x", 0xBEEF, k32},         {u"%#X", "%#X", 0xBEEF, k32},
      {u"%#x", "%#x", 0, k32},            {u"%#o", "%#o", 8, k32},
      {u"%#.0o", "%#.0o", 0, k32},        {u"%#08x", "%#08x", 255, k32},
      {u"%-#8o|", "%-#8o|", 8, k32},      {u"%ld", "%d", INT32_MIN, k32},
      {u"%lu", "%u", 0xFFFFFFFF, k32},    {u"%I32d", "%d", -5, k32},
      {u"%hd", "%hd", 70000, k32},        {u"%hu", "%hu", -1, k32},
      {u"%hhd", "%hhd", 200, k32},        {u"%hhx", "%hhx", 0x1FF, k32},
      {u"%I64d", "%lld", INT64_MIN, k64}, {u"%lld", "%lld", INT64_MAX, k64},
      {u"%I64u", "%llu", -1, k64},        {u"%I64X", "%llX", 0x123456789ABCDEF, k64},
      {u"%Id", "%lld", -1LL << 40, k64},  {u"%zu", "%zu", 1LL << 33, k64},
      {u"%jd", "%jd", -3, k64},           {u"%-+20I64d|", "%-+20lld|", 1, k64},
      {u"%020I64o", "%020llo", 1LL << 62, k64},
  };
  for (const auto& c : cases) {
    if (c.width == k32)
      ExpectLikeC(c.wide, c.narrow, static_cast<int32_t>(c.value));
    else
      ExpectLikeC(c.wide, c.narrow, static_cast<long long>(c.value));
  }
  // '*' takes width and precision from the arguments; a negative width
  // means '-', a negative precision none.
  ExpectLikeC(u"%*d|%-*d|%.*d|%*d|%.*d", "%*d|%-*d|%.*d|%*d|%.*d", 5, 1, 5, 2, 3, 4, -4, 9,
              -1, 0);
}

TEST(Format, FloatingPointMatchesTheRuntime) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* spec;  // the same in both
    double value;
  } cases[] = {
      {"%f", 3.14159},     {"%.0f", 2.5},       {"%.2f", 1.005},    {"%e", 12345.678},
      {"%.3E", -0.000123}, {"%g", 1e-5},        {"%g", 123456789},  {"%#g", 1.0},
      {"%G", 1e20},        {"%+.1f", 2.25},     {"% f", 1.0},       {"%010.3f", -3.5},
      {"%-10.2e|", 5.0},   {"%a", 1.5},         {"%A", -0.1},       {"%012a", 1.5},
      {"%f", inf},         {"%F", inf},         {"%e", -inf},       {"%08f", inf},
      {"%f", nan},         {"%5.1f|", -nan},    {"%.600f", 1.0 / 3}, {"%f", 1e300},
      {"%lf", 0.5},        {"%.20g", 0.1},
  };
  for (const auto& c : cases) ExpectLikeC(U16(c.spec).c_str(), c.spec, c.value);
  ExpectLikeC(u"%Lf|%.3Le", "%Lf|%.3Le", 1.25L, -2.5L);
}

TEST(Format, TextsAndCharacters) {
  const char16_t* emoji = u"a\U0001F600b";  // a surrogate pair in the middle
  const struct {
    const char16_t* format;
    const void* arg;  // a wide or narrow text, as the format says
    const char16_t* expect;
  } texts[] = {
      {u"%s", emoji, u"a\U0001F600b"},
      {u"%5s|", u"ab", u"   ab|"},
      {u"%-5s|", u"ab", u"ab   |"},
      {u"%05s", u"ab", u"000ab"},
      {u"%.2s", u"abc", u"ab"},
      {u"%.2s", emoji, u"a"},  // the pair is never split
      {u"%.3s", emoji, u"a\U0001F600"},
      {u"%s", nullptr, u"(null)"},
      {u"%.3s", nullptr, u"(nu"},
      {u"%S", "caf\xE9", u"caf\u00E9"},  // narrow texts are in code page 1252
      {u"%hs", "\x80", u"\u20AC"},
      {u"%3.2S|", "xyz", u" xy|"},
      {u"%S", nullptr, u"(null)"},
  };
  for (const auto& t : texts) {
    WCHAR out[64];
    int n = platform::Format(out, 64, t.format, t.arg);
    EXPECT_EQ(std::u16string(t.expect), out) << U8(t.format);
    EXPECT_EQ(static_cast<int>(std::char_traits<char16_t>::length(t.expect)), n);
  }
  WCHAR out[64];
  platform::Format(out, 64, u"%ls|%ws", emoji, u"z");
  EXPECT_EQ(u"a\U0001F600b|z", std::u16string(out));

  // Characters: %c wide, %C and %hc narrow.
  EXPECT_EQ(9, platform::Format(out, 64, u"%c%c%C%hc%lc%3c|", u'x', 0xE9, 0xE9, 'A', u'\u4E2D',
                                u'y'));
  EXPECT_EQ(u"x\u00E9\u00E9A\u4E2D  y|", std::u16string(out));
  // A zero character is written (and counted) like any other.
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(3, platform::Format(out, 64, u"a%cb", 0));
  EXPECT_EQ(u'\0', out[1]);
  EXPECT_EQ(u'b', out[2]);
}

TEST(Format, NarrowTextsInUtf8) {
  ASSERT_TRUE(platform::SetAnsiCodePage(CP_UTF8));
  WCHAR out[32];
  platform::Format(out, 32, u"%S|%.2S|%S", "a\xF0\x9F\x98\x80", "a\xF0\x9F\x98\x80", "\xE2\x82x");
  EXPECT_EQ(u"a\U0001F600|a|\uFFFD\uFFFDx", std::u16string(out));
  platform::SetAnsiCodePage(1252);
}

TEST(Format, OtherConversionsAndMalformedSpecs) {
  const struct {
    const char16_t* format;
    const char16_t* expect;
  } cases[] = {
      {u"100%%", u"100%"},
      {u"%y|", u"%y|"},     // unknown conversion: written as it stands
      {u"ab%-5", u"ab%-5"},  // cut short by the end
      {u"abc%", u"abc%"},
  };
  for (const auto& c : cases) {
    WCHAR out[32];
    EXPECT_EQ(static_cast<int>(std::char_traits<char16_t>::length(c.expect)),
              platform::Format(out, 32, c.format));
    EXPECT_EQ(std::u16string(c.expect), out);
  }
  WCHAR out[64];
  platform::Format(out, 64, u"%p|%20p|", reinterpret_cast<void*>(0x1234ABCD), nullptr);
  EXPECT_EQ(u"000000001234ABCD|    0000000000000000|", std::u16string(out));
  // %n consumes its pointer, writes nothing there, and the next argument follows.
  int untouched = 77;
  platform::Format(out, 64, u"%d%n%d", 1, &untouched, 2);
  EXPECT_EQ(u"12", std::u16string(out));
  EXPECT_EQ(77, untouched);
}

TEST(Format, TruncationAtEverySize) {
  const char16_t* text = u"ab\U0001F600cd";
  const std::u16string full = u"ab\U0001F600cd-12345";
  const int len = static_cast<int>(full.size());
  for (int size = 0; size <= len + 1; ++size) {
    SCOPED_TRACE(size);
    WCHAR out[32];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(len, platform::Format(out, size, u"%s-%d", text, 12345));
    if (size == 0) {
      EXPECT_EQ(u'#', out[0]);
      continue;
    }
    size_t kept = std::min<size_t>(size - 1, full.size());
    if (kept == 3) kept = 2;  // would end in the first half of the pair
    EXPECT_EQ(full.substr(0, kept), std::u16string(out));
    for (int i = size; i < 32; ++i) ASSERT_EQ(u'#', out[i]) << i;
  }
  // Measuring without output, and failures.
  EXPECT_EQ(len, platform::Format(nullptr, 0, u"%s-%d", text, 12345));
  WCHAR out[8] = {u'#'};
  EXPECT_EQ(-1, platform::Format(out, 8, nullptr));
  EXPECT_EQ(u'\0', out[0]);
  EXPECT_EQ(-1, platform::Format(nullptr, 8, u"x"));
  // A huge width is counted, not written.
  EXPECT_EQ(100000, platform::Format(out, 8, u"%100000d", 1));
  EXPECT_EQ(u"       ", std::u16string(out));
}

TEST(WSPrintF, FormatsLikeTheRuntimeWithinItsLimit) {
  WCHAR out[1100];
  EXPECT_EQ(10, wsprintfW(out, u"%s=%d %S %c", u"x", -5, "nar", u'z'));
  EXPECT_EQ(u"x=-5 nar z", std::u16string(out));
  // No floating point: the double is consumed and nothing is printed.
  EXPECT_EQ(3, wsprintfW(out, u"[%f]%d", 1.5, 7));
  EXPECT_EQ(u"[]7", std::u16string(out));

  // 1,024 characters with the terminator at most.
  std::u16string long_text(2000, u'a');
  std::fill(std::begin(out), std::end(out), u'#');
  EXPECT_EQ(WSPRINTF_LIMIT - 1, wsprintfW(out, u"%s", long_text.c_str()));
  EXPECT_EQ(u'\0', out[WSPRINTF_LIMIT - 1]);
  EXPECT_EQ(u'#', out[WSPRINTF_LIMIT]);
  EXPECT_EQ(0, wsprintfW(nullptr, u"x"));
}

// ---- FormatMessageW ----------------------------------------------------------------------

DWORD FromArray(const WCHAR* text, const DWORD_PTR* args, WCHAR* out, DWORD size,
                DWORD extra_flags = 0) {
  return FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY | extra_flags,
                        text, 0, 0, out, size,
                        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(args)));
}

DWORD FromVaList(const WCHAR* text, WCHAR* out, DWORD size, ...) {
  va_list args;
  va_start(args, size);
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING, text, 0, 0, out, size, &args);
  va_end(args);
  return n;
}

TEST(FormatMessage, InsertsAndEscapes) {
  const DWORD_PTR args[] = {
      reinterpret_cast<DWORD_PTR>(u"one"), reinterpret_cast<DWORD_PTR>(u"two"), 42,
      static_cast<DWORD_PTR>(-7),          reinterpret_cast<DWORD_PTR>("narrow"), 5,
      6, 7, 8, reinterpret_cast<DWORD_PTR>(u"ten"),
  };
  const struct {
    const char16_t* text;
    const char16_t* expect;
  } cases[] = {
      {u"%1 and %2", u"one and two"},
      {u"%2 %1 %2", u"two one two"},
      {u"%3!d! %4!d! %4!u!", u"42 -7 4294967289"},
      {u"%3!04X!|%1!5s!|%5!S!", u"002A|  one|narrow"},
      {u"%10|%100", u"ten|ten0"},  // two digits at most
      {u"a%nb%rc%td%%e%!f%.g% h%qi", u"a\r\nb\rc\td%e!f.g hqi"},
      {u"stop%0here", u"stop"},
      {u"keep\r\nbreaks\n", u"keep\r\nbreaks\n"},
  };
  for (const auto& c : cases) {
    WCHAR out[64];
    DWORD n = FromArray(c.text, args, out, 64);
    EXPECT_EQ(std::u16string(c.expect), std::u16string(out)) << U8(c.text);
    EXPECT_EQ(std::char_traits<char16_t>::length(c.expect), n);
  }

  // '*' takes the inserts in order: width, precision, then the value.
  const DWORD_PTR starred[] = {4, 2, reinterpret_cast<DWORD_PTR>(u"Bill"),
                               reinterpret_cast<DWORD_PTR>(u"Bob"), 6,
                               reinterpret_cast<DWORD_PTR>(u"Bill")};
  WCHAR out[64];
  EXPECT_EQ(15u, FromArray(u"%1!*.*s! %4 %5!*s!", starred, out, 64));
  EXPECT_EQ(u"  Bi Bob   Bill", std::u16string(out));

  // A line width turns the text's line breaks into spaces; %n stays.
  EXPECT_EQ(8u, FromArray(u"a\r\nb\nc%nd", args, out, 64, FORMAT_MESSAGE_MAX_WIDTH_MASK));
  EXPECT_EQ(u"a b c\r\nd", std::u16string(out));
}

TEST(FormatMessage, VaListReadsEachInsertWithItsType) {
  WCHAR out[96];
  // A 32-bit int before a 64-bit one, an unused insert 5 (pointer-sized),
  // and a character.
  DWORD n = FromVaList(u"%1 %2!d! %3!I64d! %4!c! %2!u! %6", out, 96, u"x", -3,
                       int64_t{1} << 40, u'Z', nullptr, u"six");
  EXPECT_EQ(u"x -3 1099511627776 Z 4294967293 six", std::u16string(out));
  EXPECT_EQ(35u, n);
  // The caller's list is not consumed: formatting works the same twice.
  EXPECT_EQ(5u, FromVaList(u"%1!*d!", out, 96, 5, 42));
  EXPECT_EQ(u"   42", std::u16string(out));
}

TEST(FormatMessage, IgnoreInsertsAndArgumentErrors) {
  WCHAR out[64];
  EXPECT_EQ(12u, FormatMessageW(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS,
                                u"%1 x %2!d!%n", 0, 0, out, 64, nullptr));
  EXPECT_EQ(u"%1 x %2!d!\r\n", std::u16string(out));

  const struct {
    DWORD flags;
    const void* source;
    DWORD error;
  } failures[] = {
      {FORMAT_MESSAGE_FROM_STRING, u"needs %1", ERROR_INVALID_PARAMETER},  // no arguments
      {FORMAT_MESSAGE_FROM_STRING, nullptr, ERROR_INVALID_PARAMETER},
      {0, u"no source flag", ERROR_INVALID_PARAMETER},
      {FORMAT_MESSAGE_FROM_HMODULE, nullptr, ERROR_RESOURCE_TYPE_NOT_FOUND},
  };
  for (const auto& f : failures) {
    SetLastError(0);
    out[0] = u'#';
    EXPECT_EQ(0u, FormatMessageW(f.flags, f.source, 2, 0, out, 64, nullptr));
    EXPECT_EQ(f.error, GetLastError()) << f.flags;
  }
  const DWORD_PTR args[] = {1};
  SetLastError(0);
  EXPECT_EQ(0u, FromArray(u"open %1!d", args, out, 64));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_EQ(u'\0', out[0]);
}

TEST(FormatMessage, BufferSizesAndAllocation) {
  WCHAR out[8];
  std::fill(std::begin(out), std::end(out), u'#');
  SetLastError(0);
  EXPECT_EQ(0u, FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"hello", 0, 0, out, 5, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(u'\0', out[0]);
  EXPECT_EQ(u'#', out[5]);
  EXPECT_EQ(5u, FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"hello", 0, 0, out, 6, nullptr));
  EXPECT_EQ(u"hello", std::u16string(out));

  const DWORD_PTR args[] = {static_cast<DWORD_PTR>(-12)};
  LPWSTR block = nullptr;
  EXPECT_EQ(3u, FromArray(u"%1!d!", args, reinterpret_cast<LPWSTR>(&block), 100,
                          FORMAT_MESSAGE_ALLOCATE_BUFFER));
  ASSERT_NE(nullptr, block);
  EXPECT_EQ(u"-12", std::u16string(block));
  EXPECT_GE(GlobalSize(block), 100 * sizeof(WCHAR));  // at least the size asked for
  EXPECT_EQ(nullptr, LocalFree(block));

  platform::FailNextAllocations(1);
  SetLastError(0);
  block = reinterpret_cast<LPWSTR>(&block);
  EXPECT_EQ(0u, FromArray(u"%1!d!", args, reinterpret_cast<LPWSTR>(&block), 0,
                          FORMAT_MESSAGE_ALLOCATE_BUFFER));
  platform::FailNextAllocations(0);
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, GetLastError());
  EXPECT_EQ(nullptr, block);
}

TEST(FormatMessage, SystemTexts) {
  const DWORD system = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  const struct {
    DWORD flags;
    DWORD id;
    const char16_t* expect;
  } cases[] = {
      {system, ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
      {system, 0x80070002u, u"The system cannot find the file specified.\r\n"},  // as HRESULT
      {system, static_cast<DWORD>(E_FAIL), u"Unspecified error\r\n"},
      {system | FORMAT_MESSAGE_MAX_WIDTH_MASK, ERROR_ACCESS_DENIED, u"Access is denied. "},
      {system, ERROR_BAD_EXE_FORMAT, u"%1 is not a valid Win32 application.\r\n"},
      {system | FORMAT_MESSAGE_FROM_HMODULE, ERROR_INVALID_PARAMETER,
       u"The parameter is incorrect.\r\n"},
  };
  for (const auto& c : cases) {
    WCHAR out[128];
    EXPECT_EQ(std::char_traits<char16_t>::length(c.expect),
              FormatMessageW(c.flags, nullptr, c.id, 0x400, out, 128, nullptr));
    EXPECT_EQ(std::u16string(c.expect), std::u16string(out)) << c.id;
  }
  for (DWORD unknown : {DWORD{0x8004E00C}, DWORD{99999}}) {
    WCHAR out[128];
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageW(system, nullptr, unknown, 0, out, 128, nullptr));
    EXPECT_EQ(ERROR_MR_MID_NOT_FOUND, GetLastError()) << unknown;
  }
}

}  // namespace
