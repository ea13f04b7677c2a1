#include "fileio/WuFioMetrics.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/fileio/FioFormatFakes.h"
#include "tests/fileio/FioManagerFixture.h"

namespace {

using fio_test::FakeMetricManager;

constexpr HRESULT kDoesNotFit = static_cast<HRESULT>(0x8004E03C);

// Only an answer of exactly 0 counts; anything else gives the default,
// also a success code and a value the manager wrote anyway.
TEST(WuFioMetricsTest, ReadersFallBackToTheDefault) {
  struct Case {
    HRESULT status;
    bool writes;
    DWORD expected;
  } cases[] = {
      {S_OK, true, 7}, {S_OK, false, 42},  // the value is preset to the default
      {S_FALSE, true, 42}, {E_FAIL, true, 42}, {static_cast<HRESULT>(0x8004E00A), true, 42},
  };
  for (const Case& c : cases) {
    FakeMetricManager m;
    m.status = c.status;
    m.writes = c.writes;
    m.value = 7;
    EXPECT_EQ(WuFio_GetMetric(&m, 41, 42u), c.expected) << std::hex << c.status;
    EXPECT_EQ(m.id, 41u);
  }
  EXPECT_EQ(WuFio_GetMetric(nullptr, 41, 42u), 42u);

  FakeMetricManager m;
  m.value = 2;
  EXPECT_EQ(WuFio_GetMetricBool(&m, 5, FALSE), TRUE);
  m.value = 0;
  EXPECT_EQ(WuFio_GetMetricBool(&m, 5, TRUE), FALSE);
  m.status = E_FAIL;
  EXPECT_EQ(WuFio_GetMetricBool(&m, 5, TRUE), TRUE);
}

TEST(WuFioMetricsTest, ClampedReader) {
  struct Case {
    HRESULT status;
    LONG value;
    LONG fallback;
    LONG expected;
  } cases[] = {
      {S_OK, 4, 5, 4},      {S_OK, 20, 5, 10},  {S_OK, -3, 5, 0},
      {E_FAIL, 20, 5, 5},   // the default when the read fails
      {E_FAIL, 20, 50, 10}, // and the default is clamped as well
      {S_OK, -1, 5, 0},     // negative values compare signed
  };
  for (const Case& c : cases) {
    FakeMetricManager m;
    m.status = c.status;
    m.value = c.value;
    EXPECT_EQ(WuFio_GetMetric(&m, 41, 0, 10, c.fallback), c.expected) << c.value;
  }
}

TEST(WuFioMetricsTest, StringAndBinaryReaders) {
  FakeMetricManager m;
  m.text = u"abcdef";
  WCHAR buffer[4] = {};
  EXPECT_EQ(WuFio_GetMetricString(&m, 60, buffer, 4), 6);
  EXPECT_EQ(m.argument, 4);
  m.status = kDoesNotFit;  // the length + 1
  EXPECT_EQ(WuFio_GetMetricString(&m, 60, buffer, 4), 7);
  m.status = E_INVALIDARG;
  EXPECT_EQ(WuFio_GetMetricString(&m, 60, buffer, 4), 0);
  EXPECT_EQ(WuFio_GetMetricString(nullptr, 60, buffer, 4), 0);

  FakeMetricManager b;
  b.bytes = {1, 2, 3, 4, 5, 6, 7, 8};
  BYTE data[16] = {};
  EXPECT_EQ(WuFio_GetMetricBinary(&b, 41, data, 16), 8u);
  EXPECT_EQ(data[7], 8);
  b.status = kDoesNotFit;  // the size the manager reported, no + 1
  EXPECT_EQ(WuFio_GetMetricBinary(&b, 41, data, 4), 8u);
  b.status = E_FAIL;
  EXPECT_EQ(WuFio_GetMetricBinary(&b, 41, data, 16), 0u);
}

TEST(WuFioMetricsTest, WritersPassThrough) {
  FakeMetricManager m;
  m.status = static_cast<HRESULT>(0x8000FFFF);
  EXPECT_EQ(WuFio_SetMetric(&m, 41, -5), m.status);
  EXPECT_EQ(m.called, "SetMetric");
  EXPECT_EQ(m.argument, -5);
  EXPECT_EQ(WuFio_SetMetricString(&m, 42, u"text"), m.status);
  EXPECT_EQ(m.called, "SetMetricString");
  EXPECT_EQ(m.textGiven, u"text");
  EXPECT_EQ(WuFio_DeleteMetric(&m, 43, 3), m.status);
  EXPECT_EQ(m.called, "DeleteMetric");
  EXPECT_EQ(m.id, 43u);
  EXPECT_EQ(m.argument, 3);
  const BYTE data[] = {5, 0, 0, 0};
  EXPECT_EQ(WuFio_SetMetricBinary(&m, 44, data, 4), m.status);
  EXPECT_EQ(m.called, "SetMetricBinary");
  EXPECT_EQ(m.dataGiven, std::vector<BYTE>(data, data + 4));
  for (HRESULT hr : {WuFio_SetMetric(nullptr, 1, 1), WuFio_SetMetricString(nullptr, 1, u""),
                     WuFio_DeleteMetric(nullptr, 1, 0), WuFio_SetMetricBinary(nullptr, 1, data, 4)})
    EXPECT_EQ(hr, E_POINTER);
}

// The shortcuts against the manager itself: its failures (which clear the
// value) still give the caller's default; what was stored comes back.
class WuFioMetricsManagerTest : public fio_test::FioManagerTest {};

TEST_F(WuFioMetricsManagerTest, ShortcutsOnTheManager) {
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
  ASSERT_NE(app, nullptr);
  WCHAR folder[260] = {}, name[260] = {};
  ASSERT_TRUE(WuFio_GetMetricsProfile(folder, name));
  std::remove((fio_test::U8(folder) + "/" + fio_test::U8(name)).c_str());

  EXPECT_EQ(WuFio_GetMetric(app, 141, 9u), 9u);  // absent
  EXPECT_EQ(WuFio_SetMetric(app, 141, 61453), S_OK);
  EXPECT_EQ(WuFio_GetMetric(app, 141, 9u), 61453u);
  EXPECT_EQ(WuFio_GetMetric(app, 141, 0, 100, 5), 100);
  EXPECT_EQ(WuFio_SetMetric(app, 40, 1), E_UNEXPECTED);

  WCHAR text[16];
  EXPECT_EQ(WuFio_SetMetricString(app, 142, u"hello"), S_OK);
  EXPECT_EQ(WuFio_GetMetricString(app, 142, text, 16), 6);  // the manager counts the terminator
  EXPECT_EQ(std::u16string(text), u"hello");
  EXPECT_EQ(WuFio_GetMetricString(app, 40, text, 16), 0);

  const DWORD five[4] = {5, 0, 0, 0};
  DWORD back[4] = {};
  EXPECT_EQ(WuFio_SetMetricBinary(app, 143, five, 16), S_OK);
  EXPECT_EQ(WuFio_GetMetricBinary(app, 143, back, 16), 16u);
  EXPECT_EQ(back[0], 5u);
  EXPECT_EQ(WuFio_GetMetricBinary(app, 143, back, 6), 0u);  // not whole values
  EXPECT_EQ(WuFio_DeleteMetric(app, 143, 3), S_OK);
  EXPECT_EQ(WuFio_GetMetricBinary(app, 143, back, 16), 0u);
  app->Release();
}

}  // namespace
