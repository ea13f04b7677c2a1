#include "fileio/WuFioBstrArray.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "foundation/WuKernel.h"
#include "platform/kernel/memory.h"

namespace {

std::u16string Text(const WCHAR* text) { return text ? std::u16string(text) : u"<null>"; }

// A row reference: the bit-rate unit row "Kbps".
LPCWSTR RowRef() { return reinterpret_cast<LPCWSTR>(WuKernel_BitRateUnits[1]); }

// Made on first use: the row is another library's static.
const FILECLASS_INFO_STRING_MAP* Map() {
  static const FILECLASS_INFO_STRING_MAP map[] = {
      {1, u"Title"}, {2, u"Artist"}, {3, u"Album"}, {5, RowRef()}, {2, u"second entry"},
  };
  return map;
}

TEST(WuFioBstrArrayTest, MapInfoIdToStringId) {
  EXPECT_EQ(Text(WuFio_MapInfoIdToStringId(2, Map(), 5)), u"Artist");  // the first entry
  EXPECT_EQ(WuFio_MapInfoIdToStringId(4, Map(), 5), nullptr);
  EXPECT_EQ(WuFio_MapInfoIdToStringId(5, Map(), 3), nullptr);  // only `count` entries
  EXPECT_EQ(WuFio_MapInfoIdToStringId(1, nullptr, 5), nullptr);
}

TEST(WuFioBstrArrayTest, FillFromReferences) {
  const LPCWSTR refs[] = {u"plain", nullptr, RowRef()};
  BSTR out[3];
  ASSERT_EQ(WuFio_FillBstrArrayFromStringResources(nullptr, refs, 3, out), S_OK);
  EXPECT_EQ(Text(out[0]), u"plain");
  EXPECT_EQ(out[1], nullptr);
  EXPECT_EQ(Text(out[2]), u"Kbps");
  EXPECT_EQ(WuFio_FreeBstrArray(out, 3), S_OK);
  for (BSTR b : out) EXPECT_EQ(b, nullptr);
}

// The suffix follows only the texts of ids 2 and 5; an id without an entry
// gives a null entry.
TEST(WuFioBstrArrayTest, FillFromMapWithSuffix) {
  const DWORD ids[] = {1, 2, 3, 5, 4};
  BSTR out[5];
  ASSERT_EQ(WuFio_FillBstrArrayFromStringResourceMap(nullptr, ids, 5, out, Map(), 5, u" (x)"),
            S_OK);
  EXPECT_EQ(Text(out[0]), u"Title");
  EXPECT_EQ(Text(out[1]), u"Artist (x)");
  EXPECT_EQ(Text(out[2]), u"Album");
  EXPECT_EQ(Text(out[3]), u"Kbps (x)");
  EXPECT_EQ(out[4], nullptr);
  EXPECT_EQ(SysStringLen(out[1]), 10u);
  WuFio_FreeBstrArray(out, 5);

  for (LPCWSTR none : {static_cast<LPCWSTR>(u""), static_cast<LPCWSTR>(nullptr)}) {
    ASSERT_EQ(WuFio_FillBstrArrayFromStringResourceMap(nullptr, ids, 2, out, Map(), 5, none), S_OK);
    EXPECT_EQ(Text(out[1]), u"Artist");
    WuFio_FreeBstrArray(out, 2);
  }
}

// A failed allocation leaves its entry null, the others are still filled,
// and the result reports it.
TEST(WuFioBstrArrayTest, FillGoesOnAfterFailedAllocation) {
  const LPCWSTR refs[] = {u"a", u"b", u"c"};
  BSTR out[3];
  platform::FailBstrAllocationsAfter(1, 1);
  EXPECT_EQ(WuFio_FillBstrArrayFromStringResources(nullptr, refs, 3, out), E_OUTOFMEMORY);
  EXPECT_EQ(Text(out[0]), u"a");
  EXPECT_EQ(out[1], nullptr);
  EXPECT_EQ(Text(out[2]), u"c");
  WuFio_FreeBstrArray(out, 3);

  const DWORD ids[] = {1, 2, 3};
  platform::FailNextBstrAllocations(1);
  EXPECT_EQ(WuFio_FillBstrArrayFromStringResourceMap(nullptr, ids, 3, out, Map(), 5, u"!"),
            E_OUTOFMEMORY);
  EXPECT_EQ(out[0], nullptr);
  EXPECT_EQ(Text(out[1]), u"Artist!");
  EXPECT_EQ(Text(out[2]), u"Album");
  WuFio_FreeBstrArray(out, 3);
  platform::FailNextBstrAllocations(0);
}

TEST(WuFioBstrArrayTest, CopyAndFree) {
  BSTR source[3] = {SysAllocString(u"one"), nullptr, SysAllocStringLen(u"a\0b", 3)};
  LPWSTR copies[3] = {reinterpret_cast<LPWSTR>(1), reinterpret_cast<LPWSTR>(1),
                      reinterpret_cast<LPWSTR>(1)};
  ASSERT_EQ(WuFio_CopyAndFreeBstrArray(source, 3, copies, 0), S_OK);
  for (BSTR b : source) EXPECT_EQ(b, nullptr);  // freed and cleared
  EXPECT_EQ(Text(copies[0]), u"one");
  EXPECT_EQ(Text(copies[1]), u"");  // a null source gives an empty text
  // The whole BSTR is copied, its own zero included, and terminated.
  EXPECT_EQ(copies[2][2], u'b');
  EXPECT_EQ(copies[2][3], 0);
  for (LPWSTR c : copies) std::free(c);

  // A copy that fails still frees the source: a null destination array.
  BSTR more[1] = {SysAllocString(u"x")};
  EXPECT_EQ(WuFio_CopyAndFreeBstrArray(more, 1, nullptr, 0), E_POINTER);
  EXPECT_EQ(more[0], nullptr);
}

TEST(WuFioBstrArrayTest, AllocStringCopy) {
  LPWSTR copy = WuFio_AllocStringCopy(u"text");
  EXPECT_EQ(Text(copy), u"text");
  EXPECT_GE(platform::RuntimeBlockSize(copy), 10u);  // from the runtime heap
  std::free(copy);
  LPWSTR empty = WuFio_AllocStringCopy(nullptr);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty[0], 0);
  std::free(empty);
}

}  // namespace
