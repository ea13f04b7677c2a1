// The order of the reader list, the type tables walked for a type code, and
// the dependent classes.
#include "fileio/CWuFileIOTypeEnum.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class OrderTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    WriteConfig("a.Fio2007-Config", {{"order", PluginPath("fio_test_order")}});
  }
  // The plug-in class ids of the reader list in key order; each class that
  // loads knows its key.
  static std::vector<GUID> PluginIdsByKey(IWuFileIOMgrForApp* app) {
    std::vector<GUID> ids;
    IWuFileIOTypeEnum* readers = nullptr;
    EXPECT_EQ(app->GetReaderEnum(&readers), S_OK);
    if (!readers) return ids;
    for (LONG key = 0; key < app->GetReaderCount(); ++key) {
      ids.push_back(static_cast<CWuFileIOTypeEnum*>(readers)->RecordAt(key)->classId);
      IWuReadFileClass* cls = nullptr;
      if (app->GetReaderClassByKey(&cls, key) == S_OK) {
        LONG own = -2;
        cls->GetKey(&own);
        EXPECT_EQ(own, key);  // told by SetIndex
        cls->Release();
      }
    }
    readers->Release();
    return ids;
  }
  // A manager whose classes are those of fio_test_order but `left`.
  IWuFileIOMgrForApp* CreateWithout(std::vector<GUID> left) {
    _WUFIO_KEYED_INFO info = {};
    info.filterList = left.data();
    info.filterCount = static_cast<LONG>(left.size());
    info.filterFlags = 0;
    return Create(0, &info);
  }
};

TEST_F(OrderTest, PriorityListsThenIdsDescending) {
  for (int start = 0; start < 2; ++start) {  // probed, then from the cache
    SCOPED_TRACE(start ? "cached start" : "first start");
    IWuFileIOMgrForApp* app = Create(0);
    std::vector<GUID> ids = PluginIdsByKey(app);
    const GUID expected[] = {
        kOrderFirst,       // first of the priority list: 44
        kOrderNeeded,      // position 6: 38
        kOrderDependentB,  // position 17: 27
        kOrderDependentA,  // position 20: 24
        // Priority 0, by reader class id in memory byte order, descending
        // (the first bytes are Data1's lowest).
        kOrderRow8, kOrderRow6, kOrderB2, kOrderB1, kOrderB3, kOrderZeroB, kOrderZeroA,
        kOrderLow,         // the low list: last, though its reader id is the greatest
    };
    ASSERT_EQ(ids.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i)
      EXPECT_TRUE(IsEqualGUID(ids[i], expected[i])) << i;
    app->Release();
  }
}

TEST_F(OrderTest, TypeCodesOfTheSecondTable) {
  IWuFileIOMgrForApp* app = Create(0);
  LONG key = 7;
  EXPECT_EQ(app->GetReaderKeyByTypeCode(0x5FFF, &key), E_INVALIDARG);
  EXPECT_EQ(app->GetReaderKeyByTypeCode(0x7002, nullptr), E_INVALIDARG);
  EXPECT_EQ(app->GetReaderKeyByTypeCode(0x7000, &key), WUFIO_E_NOT_FOUND);
  EXPECT_EQ(key, -1);
  app->Release();
  // 0x7002 takes its rows in order: the first installed class wins.
  struct Case {
    const char* name;
    std::vector<GUID> left;  // plug-ins left out
    GUID expected;           // the reader found, zero for none
  };
  const Case cases[] = {
      {"all three", {}, kB1Reader},
      {"without the first", {kOrderB1}, kB2Reader},
      {"only the third", {kOrderB1, kOrderB2}, kB3Reader},
      {"none", {kOrderB1, kOrderB2, kOrderB3}, GUID{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    app = c.left.empty() ? Create(0) : CreateWithout(c.left);
    IWuReadFileClass* cls = nullptr;
    HRESULT hr = app->GetReaderClassByTypeCode(&cls, 0x7002);
    if (IsEqualGUID(c.expected, GUID{})) {
      EXPECT_EQ(hr, WUFIO_E_NOT_FOUND);
    } else {
      ASSERT_EQ(hr, S_OK);
      GUID id = {};
      cls->GetClassId(&id);
      EXPECT_TRUE(IsEqualGUID(id, c.expected));
      cls->Release();
    }
    app->Release();
  }
}

TEST_F(OrderTest, DependentClassesNeedTheirClass) {
  // Its reader class id is known only once it loaded: fetched by key.
  IWuFileIOMgrForApp* app = CreateWithout({kOrderNeeded});
  IWuReadFileClass* cls = nullptr;
  ASSERT_NE(RecordOf(app, kOrderDependentA), nullptr);
  LONG key = RecordOf(app, kOrderDependentA)->reader.key;
  EXPECT_EQ(app->GetReaderClassByKey(&cls, key), WUFIO_E_DEPENDENCY);
  EXPECT_EQ(cls, nullptr);
  EXPECT_EQ(PluginCountsOf("fio_test_order/Needed")[kWuFioTestCalls], 0);
  app->Release();

  app = Create(0);
  key = RecordOf(app, kOrderDependentA)->reader.key;
  ASSERT_EQ(app->GetReaderClassByKey(&cls, key), S_OK);
  GUID id = {};
  cls->GetClassId(&id);
  EXPECT_TRUE(IsEqualGUID(id, kOrderDependentAReader));
  cls->Release();
  // The class it needs was loaded first.
  EXPECT_NE(RecordOf(app, kOrderNeeded)->reader.object, nullptr);
  // The second dependent also needs readers of codes 0x7002 and 0x6000;
  // nothing reads 0x6000 here.
  EXPECT_EQ(Impl(app)->LoadRecordClasses(RecordOf(app, kOrderDependentB)), WUFIO_E_NOT_FOUND);
  app->Release();
}

}  // namespace
}  // namespace fio_test
