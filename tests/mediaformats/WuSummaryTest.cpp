// The INFO summary: its stored lists byte for byte, loads, the single-text
// read, and the set, copy, compare and merge rules.
#include "mediaformats/WuSummary.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mediaformats/Riff.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;
using rifftest::TempFile;

namespace {

constexpr DWORD kInam = RiffId("INAM");
constexpr DWORD kIcmt = RiffId("ICMT");
constexpr DWORD kIart = RiffId("IART");

// A summary freed at the end of the test.
struct Summary : WuSummary {
  Summary() : WuSummary{} {}
  Summary(std::initializer_list<std::pair<const char*, const char16_t*>> items) : WuSummary{} {
    for (const auto& [id, text] : items) {
      DWORD four = static_cast<DWORD>(id[0]) | static_cast<DWORD>(id[1]) << 8 |
                   static_cast<DWORD>(id[2]) << 16 | static_cast<DWORD>(id[3]) << 24;
      EXPECT_EQ(WuSummary_SetItem(this, four, text), S_OK);
    }
  }
  ~Summary() { WuSummary_Free(this); }
  Summary(const Summary&) = delete;
  Summary& operator=(const Summary&) = delete;
};

// "id=text" per item, "id=-" for a null text.
std::string Dump(const WuSummary& s) {
  std::string out;
  for (DWORD i = 0; i < s.count; ++i) {
    if (!out.empty()) out += ' ';
    for (int b = 0; b < 4; ++b) out += s.items[i].id ? static_cast<char>(s.items[i].id >> (8 * b)) : '0';
    out += '=';
    if (!s.items[i].text) {
      out += '-';
      continue;
    }
    for (const char16_t* p = s.items[i].text; *p; ++p) out += static_cast<char>(*p);
  }
  return out;
}

TEST(Summary, SaveWritesTheListByteForByte) {
  struct Case {
    const char16_t* text;
    bool unfo;
    std::string expected;
    DWORD written;
  };
  const Case cases[] = {
      {u"abc", false,
       Bytes().Id("LIST").U32(16).Id("INFO").Id("INAM").U32(4).Raw(std::string("abc\0", 4)).s, 24},
      {u"ab", false,
       Bytes().Id("LIST").U32(16).Id("INFO").Id("INAM").U32(3).Raw(std::string("ab\0\0", 4)).s, 24},
      {u"abc", true,
       Bytes().Id("LIST").U32(20).Id("UNFO").Id("INAM").U32(8).U16('a').U16('b').U16('c').U16(0).s,
       28},
      {u"", false,
       Bytes().Id("LIST").U32(14).Id("INFO").Id("INAM").U32(1).Zeros(2).s, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.size());
    Summary s{{"INAM", c.text}};
    TempFile f("");
    DWORD written = 99;
    EXPECT_EQ((c.unfo ? WuSummary_SaveUNFO : WuSummary_Save)(f.h(), &s, &written), S_OK);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(f.Position(), static_cast<LONGLONG>(c.written));
    EXPECT_EQ(f.Contents(), c.expected);
  }
  // Nothing at all for an empty summary; items without a text are left out.
  Summary empty;
  TempFile f("");
  DWORD written = 99;
  EXPECT_EQ(WuSummary_Save(f.h(), &empty, &written), S_OK);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(f.Contents(), "");
  Summary mixed{{"IART", nullptr}, {"ICMT", u"\u00e9"}};
  EXPECT_EQ(WuSummary_Save(f.h(), &mixed, &written), S_OK);
  EXPECT_EQ(f.Contents(), Bytes().Id("LIST").U32(14).Id("INFO").Id("ICMT").U32(2).Raw("\xE9").Zeros(1).s);
}

TEST(Summary, SaveToAReadOnlyFileFails) {
  Summary s{{"INAM", u"abc"}};
  TempFile f("", GENERIC_READ);
  DWORD written = 99;
  EXPECT_EQ(WuSummary_Save(f.h(), &s, &written), RIFF_E_WRITE);
  EXPECT_EQ(written, 0u);
}

TEST(Summary, LoadKeepsOrderDuplicatesAndOddItems) {
  // Code page 1252 text, an odd size with its pad, a missing terminator and
  // a duplicate id, then a chunk after the list that must stay unread.
  std::string entries = Bytes()
                            .Chunk("INAM", std::string("caf\xE9\0", 5))
                            .Chunk("ICMT", "xyz")
                            .Chunk("INAM", std::string("b\0", 2))
                            .s;
  std::string file = Bytes().Raw(entries).Chunk("data", "zz").s;
  TempFile f(file);
  Summary s;
  ASSERT_EQ(WuSummary_Load(f.h(), &s, static_cast<DWORD>(entries.size())), S_OK);
  ASSERT_EQ(s.count, 3u);
  EXPECT_EQ(std::u16string(s.items[0].text), u"caf\u00e9");
  EXPECT_EQ(Dump(s), "INAM=caf\xE9 ICMT=xyz INAM=b");
  EXPECT_EQ(std::u16string(WuSummary_GetItemText(&s, kInam)), u"caf\u00e9");
  EXPECT_EQ(WuSummary_GetItemIndex(&s, kIcmt), 1);
  EXPECT_EQ(WuSummary_GetItemIndex(&s, kIart), RIFF_E_NOT_FOUND);

  // UTF-16: an odd size is cut to whole characters.
  std::string unfo = Bytes().Chunk("INAM", std::string("h\0i\0!", 5)).Chunk("ICMT", "").s;
  TempFile g(unfo);
  Summary u;
  ASSERT_EQ(WuSummary_LoadUNFO(g.h(), &u, static_cast<DWORD>(unfo.size())), S_OK);
  EXPECT_EQ(Dump(u), "INAM=hi ICMT=");

  // An entry running past the list, and a list cut short, leave nothing.
  std::string bad = Bytes().Chunk("INAM", "ab").Id("ICMT").U32(100).Raw("short").s;
  TempFile h(bad);
  Summary b{{"IART", u"old"}};
  EXPECT_EQ(WuSummary_Load(h.h(), &b, static_cast<DWORD>(bad.size())), RIFF_E_READ);
  EXPECT_EQ(b.count, 0u);
  EXPECT_EQ(b.items, nullptr);
  // A list size that lies about the file: the entry is refused unread.
  std::string lying = Bytes().Id("INAM").U32(0x30000000).Raw("abc").s;
  TempFile l(lying);
  EXPECT_EQ(WuSummary_Load(l.h(), &b, 0x7FFFFFFF), RIFF_E_READ);
  EXPECT_EQ(b.items, nullptr);
  TempFile none("");
  EXPECT_EQ(WuSummary_Load(none.h(), &b, 0), S_OK);
  EXPECT_EQ(b.count, 0u);
}

TEST(Summary, SaveThenLoadRoundTrips) {
  Summary s{{"INAM", u"Title \u00e9"}, {"ICMT", u"odd"}, {"IART", u""}};
  for (bool unfo : {false, true}) {
    TempFile f("");
    DWORD written = 0;
    ASSERT_EQ((unfo ? WuSummary_SaveUNFO : WuSummary_Save)(f.h(), &s, &written), S_OK);
    f.Seek(12);
    Summary back;
    ASSERT_EQ((unfo ? WuSummary_LoadUNFO : WuSummary_Load)(f.h(), &back, written - 12), S_OK);
    EXPECT_EQ(WuSummary_Compare(&s, &back), 1);
    EXPECT_EQ(Dump(back), Dump(s));
  }
}

TEST(Summary, GetStringFromFileReadsOnlyTheItem) {
  // The item has no terminator and the list is followed by another chunk:
  // only the item's own three bytes are read.
  std::string list = Bytes().Id("INFO").Chunk("INAM", "abc").Chunk("ICMT", "note").s;
  std::string file = Bytes().Id("RIFF").U32(0).Id("WAVE").Chunk("fmt ", "12345678")
                         .Id("LIST").U32(static_cast<uint32_t>(list.size())).Raw(list)
                         .Chunk("data", "tail").s;
  TempFile f(file);
  f.Seek(12);
  WCHAR buffer[16];
  EXPECT_EQ(WuSummary_GetStringFromFile(f.h(), kInam, buffer, 16, nullptr), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"abc");
  EXPECT_EQ(f.Position(), 12);
  // A small buffer keeps what fits, terminated.
  EXPECT_EQ(WuSummary_GetStringFromFile(f.h(), kIcmt, buffer, 3, nullptr), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"no");
  // A missing item or list, on the bounded and the open search.
  DWORD left = static_cast<DWORD>(file.size() - 12);
  EXPECT_EQ(WuSummary_GetStringFromFile(f.h(), kIart, buffer, 16, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(f.Position(), 12);
  TempFile g(Bytes().Id("RIFF").U32(12).Id("WAVE").Chunk("data", "tail").s);
  g.Seek(12);
  EXPECT_LT(WuSummary_GetStringFromFile(g.h(), kInam, buffer, 16, nullptr), 0);
  EXPECT_EQ(g.Position(), 12);
}

TEST(Summary, SetCopyCompareAndMergeRules) {
  // SetItem: replace, remove, keep a null item, append; id 0 refused.
  Summary s{{"INAM", u"a"}, {"ICMT", u"b"}};
  EXPECT_EQ(WuSummary_SetItem(&s, 0, u"x"), E_INVALIDARG);
  EXPECT_EQ(WuSummary_SetItem(&s, kInam, u"longer text"), S_OK);
  EXPECT_EQ(WuSummary_SetItem(&s, kIart, nullptr), S_OK);
  EXPECT_EQ(Dump(s), "INAM=longer text ICMT=b IART=-");
  EXPECT_EQ(WuSummary_SetItem(&s, kIart, nullptr), S_OK);
  EXPECT_EQ(WuSummary_SetItem(&s, kInam, nullptr), S_OK);
  EXPECT_EQ(Dump(s), "ICMT=b IART=-");
  EXPECT_EQ(WuSummary_SetItem(&s, kIcmt, u""), S_OK);
  EXPECT_EQ(Dump(s), "ICMT= IART=-");
  Summary only{{"INAM", u"a"}};
  EXPECT_EQ(WuSummary_SetItem(&only, kInam, nullptr), S_OK);
  EXPECT_EQ(only.count, 0u);
  EXPECT_EQ(only.items, nullptr);

  // Copy and compare: texts by position, ids ignored.
  Summary copy;
  ASSERT_EQ(WuSummary_Copy(&copy, &s), S_OK);
  EXPECT_EQ(Dump(copy), Dump(s));
  EXPECT_NE(copy.items[0].text, s.items[0].text);
  Summary other_ids{{"IART", u""}, {"ISFT", nullptr}};
  Summary empty1, empty2;
  EXPECT_EQ(WuSummary_Compare(&copy, &s), 1);
  EXPECT_EQ(WuSummary_Compare(&other_ids, &s), 1);
  EXPECT_EQ(WuSummary_Compare(&empty1, &empty2), 1);
  EXPECT_EQ(WuSummary_Compare(&empty1, &s), 0);
  EXPECT_EQ(WuSummary_Compare(&s, nullptr), 0);
  Summary swapped{{"ICMT", nullptr}, {"IART", u""}};
  EXPECT_EQ(WuSummary_Compare(&swapped, &s), 0);
  Summary copy_of_empty;
  EXPECT_EQ(WuSummary_Copy(&copy_of_empty, &empty1), S_OK);
  EXPECT_EQ(copy_of_empty.items, nullptr);

  struct Case {
    const char* name;
    BOOL replace, move;
    std::vector<std::pair<const char*, const char16_t*>> destination, source;
    std::string after, source_after;
  };
  using L = std::vector<std::pair<const char*, const char16_t*>>;
  const Case cases[] = {
      {"move replace", TRUE, TRUE, L{{"INAM", u"d1"}, {"ICMT", u"d2"}},
       L{{"ICMT", u"s2"}, {"IART", u"s3"}}, "INAM=d1 ICMT=s2 IART=s3", ""},
      {"move keep", FALSE, TRUE, L{{"INAM", u"d1"}, {"ICMT", u"d2"}},
       L{{"ICMT", u"s2"}, {"IART", u"s3"}}, "INAM=d1 ICMT=d2 IART=s3", ""},
      {"move all replaced", TRUE, TRUE, L{{"INAM", u"d1"}}, L{{"INAM", u"s1"}}, "INAM=s1", ""},
      {"move into empty", TRUE, TRUE, L{}, L{{"INAM", u"s1"}, {"IART", nullptr}}, "INAM=s1 IART=-",
       ""},
      {"move from empty", TRUE, TRUE, L{{"INAM", u"d1"}}, L{}, "INAM=d1", ""},
      {"copy replace", TRUE, FALSE, L{{"INAM", u"d1"}, {"ICMT", u"d2"}},
       L{{"ICMT", u"s2"}, {"IART", u"s3"}}, "INAM=d1 ICMT=s2 IART=s3", "ICMT=s2 IART=s3"},
      {"copy keep", FALSE, FALSE, L{{"INAM", u"d1"}, {"ICMT", u"d2"}},
       L{{"ICMT", u"s2"}, {"IART", u"s3"}}, "INAM=d1 ICMT=d2 IART=s3", "ICMT=s2 IART=s3"},
      {"copy null removes", TRUE, FALSE, L{{"INAM", u"d1"}, {"ICMT", u"d2"}},
       L{{"INAM", nullptr}}, "ICMT=d2", "INAM=-"},
      {"copy into empty", FALSE, FALSE, L{}, L{{"INAM", u"s1"}}, "INAM=s1", "INAM=s1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Summary d, src;
    for (const auto& [id, text] : c.destination)
      WuSummary_SetItem(&d, RiffId(*reinterpret_cast<const char(*)[5]>(id)), text);
    for (const auto& [id, text] : c.source)
      WuSummary_SetItem(&src, RiffId(*reinterpret_cast<const char(*)[5]>(id)), text);
    EXPECT_EQ(WuSummary_Merge(&d, &src, c.replace, c.move), S_OK);
    EXPECT_EQ(Dump(d), c.after);
    EXPECT_EQ(Dump(src), c.source_after);
    if (c.move && !c.source.empty()) {
      EXPECT_EQ(src.items, nullptr);
    }
  }
}

}  // namespace
