// The fixed class-id tables: the walk of a type code, the codes' ranges, the
// priorities of the ordering lists and the blocked ids.
#include "fileio/WuFioTypeTables.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <vector>

#include "foundation/WuRegistry.h"
#include "mediaformats/WuFileIdType.h"

namespace {

GUID Id(const char16_t* text) {
  GUID g = {};
  EXPECT_EQ(WuGuidFromString(text, &g), S_OK) << "bad id in the test";
  return g;
}

// The rows (numbered from 1) a code's walk takes, and their classes.
struct Walk {
  std::vector<int> rows;
  std::vector<GUID> classes;
};

Walk WalkOf(std::span<const WuFioTypeRow> table, DWORD code) {
  Walk walk;
  for (const WuFioTypeRow& row : WuFio_TypeRowsOfCode(table, code)) {
    walk.rows.push_back(static_cast<int>(&row - table.data()) + 1);
    walk.classes.push_back(row.readerClassId);
  }
  return walk;
}

TEST(WuFioTypeTablesTest, WalksTakeTheFirstRunOfACode) {
  auto a = WuFio_TypeTableA();
  auto b = WuFio_TypeTableB();
  ASSERT_EQ(a.size(), 90u);
  ASSERT_EQ(b.size(), 8u);

  Walk wav = WalkOf(a, WUFILEID_WAV);
  EXPECT_EQ(wav.rows, std::vector<int>{1});
  EXPECT_EQ(wav.classes[0], Id(u"0A30C422-B91B-11D3-A484-00105A24AA37"));
  // 0x1004 and 0x1005 alternate: rows 8 and 9 are never reached.
  Walk w1004 = WalkOf(a, 0x1004);
  EXPECT_EQ(w1004.rows, std::vector<int>{6});
  EXPECT_EQ(w1004.classes[0], Id(u"0117AE4C-AF7F-43D3-A8DB-C58A6098918B"));
  EXPECT_EQ(WalkOf(a, 0x1005).rows, std::vector<int>{7});
  EXPECT_EQ(WalkOf(a, 0x1003).rows, (std::vector<int>{12, 13, 14, 15}));
  EXPECT_EQ(WalkOf(a, 0x100F).rows, (std::vector<int>{30, 31, 32, 33, 34, 35}));
  EXPECT_EQ(WalkOf(a, 0x1013).rows, std::vector<int>{90});

  Walk w7002 = WalkOf(b, 0x7002);
  EXPECT_EQ(w7002.rows, (std::vector<int>{6, 7, 8}));
  EXPECT_EQ(w7002.classes, (std::vector<GUID>{Id(u"E6D45519-793E-462A-81A5-C9F4458E8C0F"),
                                              Id(u"3B0F152B-6354-40B8-A277-77FBEC1329DA"),
                                              Id(u"A818A004-5CB3-45E9-BD3A-3B1B5C67F971")}));
  EXPECT_EQ(WalkOf(b, 0x6000).rows, (std::vector<int>{1, 2}));

  for (DWORD absent : {0x0u, 0x1u, 0x18u, 0x5FFFu, 0x7002u})
    EXPECT_TRUE(WuFio_TypeRowsOfCode(a, absent).empty()) << absent;
  EXPECT_TRUE(WuFio_TypeRowsOfCode(b, 0x5FFF).empty());
  EXPECT_TRUE(WuFio_TypeRowsOfCode(b, 0x7001).empty());
  EXPECT_TRUE(WuFio_TypeRowsOfCode(b, WUFILEID_WAV).empty());
}

TEST(WuFioTypeTablesTest, CodesAreIdentifiedTypesAndEveryOtherRowIsReached) {
  // Table A holds only codes that quick identification gives; table B only
  // codes asked for by number.
  std::set<DWORD> codes;
  for (const WuFioTypeRow& row : WuFio_TypeTableA()) {
    bool identified = (row.code >= 2 && row.code <= 23) ||
                      (row.code >= 4096 && row.code <= 4117) ||
                      (row.code >= 8192 && row.code <= 8201);
    EXPECT_TRUE(identified) << std::hex << row.code;
    codes.insert(row.code);
  }
  for (const WuFioTypeRow& row : WuFio_TypeTableB()) EXPECT_GE(row.code, 0x6000u);
  // The walks of all codes together reach every row but 8 and 9.
  size_t reached = 0;
  for (DWORD code : codes) reached += WuFio_TypeRowsOfCode(WuFio_TypeTableA(), code).size();
  EXPECT_EQ(reached, 88u);
}

TEST(WuFioTypeTablesTest, PrioritiesFollowTheListsAndOtherIdsAreZero) {
  struct Case {
    const char16_t* id;
    int reader;    // expected reader priority
    int renderer;  // expected renderer priority
  };
  const Case cases[] = {
      {u"5A8D382F-EF79-4647-A2F8-00AA006BA2BA", 44, 21},  // first of both
      {u"2611DA5E-FE84-11D3-8B09-00AA006BA2BA", 43, -1},  // renderer low list
      {u"ABD1218C-B335-4343-B578-00AA006BA2BA", 1, 3},    // last reader entry
      {u"341D000D-95CA-458A-AC65-00AA006BA2BA", 24, 15},
      {u"85CB92DF-8309-42F2-AD61-00AA006BA2BA", 0, 1},    // last renderer entry
      {u"E61EEE69-6229-40CC-AE46-00AA006BA2BA", -1, 0},   // reader low list
      {u"DF171157-6AAF-4071-A74D-00AA006BA2BA", -5, 0},
      {u"ADD461A1-40AA-47D2-B208-00AA006BA2BA", -4, 2},
      {u"7EC4F92B-7ECA-41E1-807B-00AA006BA2BA", 0, -2},
      {u"0A30C422-B91B-11D3-A484-00105A24AA37", 0, 0},    // a type-table class only
      // Differs from {5A8D382F-...} in its last byte: ids compare whole.
      {u"5A8D382F-EF79-4647-A2F8-00AA006BA2BB", 0, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    GUID id = Id(cases[i].id);
    EXPECT_EQ(WuFio_ReaderPriority(id), cases[i].reader);
    EXPECT_EQ(WuFio_RendererPriority(id), cases[i].renderer);
  }
  GUID fourth = Id(u"C6D72CA1-C847-11D3-A484-00AA006BA2BA");
  EXPECT_EQ(WuFio_ListPosition(WuFio_ReaderPriorityList(), fourth), 3);
  EXPECT_EQ(WuFio_ListPosition(WuFio_ReaderLowList(), fourth), -1);
}

TEST(WuFioTypeTablesTest, BlockedAndAlwaysRefreshedIds) {
  EXPECT_EQ(WuFio_BlockedList().size(), 18u);
  EXPECT_TRUE(WuFio_IsBlockedClass(Id(u"B50802D8-9917-11D3-8AB7-00AA006BA2BA")));
  EXPECT_TRUE(WuFio_IsBlockedClass(Id(u"1A25D1F1-3EDA-4A4D-A5E3-00AA006BA2BA")));
  EXPECT_FALSE(WuFio_IsBlockedClass(Id(u"5A8D382F-EF79-4647-A2F8-00AA006BA2BA")));
  EXPECT_FALSE(WuFio_IsBlockedClass(CLSID_WuFioDependentA));
  // The always-refreshed ids are all blocked as well.
  ASSERT_EQ(WuFio_AlwaysRefreshedList().size(), 3u);
  for (const GUID& id : WuFio_AlwaysRefreshedList()) {
    EXPECT_TRUE(WuFio_IsAlwaysRefreshedClass(id));
    EXPECT_TRUE(WuFio_IsBlockedClass(id));
  }
  EXPECT_FALSE(WuFio_IsAlwaysRefreshedClass(Id(u"B50802D8-9917-11D3-8AB7-00AA006BA2BA")));

  // No list names an id twice (a doubled id would hide a lost one).
  for (std::span<const GUID> list :
       {WuFio_ReaderPriorityList(), WuFio_ReaderLowList(), WuFio_RendererPriorityList(),
        WuFio_RendererLowList(), WuFio_BlockedList()}) {
    for (size_t i = 0; i < list.size(); ++i)
      EXPECT_EQ(WuFio_ListPosition(list, list[i]), static_cast<int>(i));
  }
  // The dependents' required class ranks above both dependents.
  EXPECT_GT(WuFio_ReaderPriority(CLSID_WuFioRequiredByDependents),
            WuFio_ReaderPriority(CLSID_WuFioDependentA));
  EXPECT_GT(WuFio_ReaderPriority(CLSID_WuFioRequiredByDependents),
            WuFio_ReaderPriority(CLSID_WuFioDependentB));
}

}  // namespace
