// Metrics kept in the metrics profile: numbers, texts, binary data, their
// keys, deletion and persistence from one manager to the next.
#include <cstdio>
#include <cstring>

#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class MetricsTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    app_ = Create(WUFIO_CREATE_NO_SEARCH);
    ASSERT_NE(app_, nullptr);
    WCHAR folder[260] = {}, name[260] = {};
    ASSERT_TRUE(WuFio_GetMetricsProfile(folder, name));
    path_ = U8(folder) + "/" + U8(name);
    std::remove(path_.c_str());  // the profile is shared by the tests of this process
  }
  void TearDown() override {
    if (app_) app_->Release();
    FioManagerTest::TearDown();
  }
  // The profile's text (empty when there is no file).
  std::string Text() const { return wutest::ReadBytes(path_); }
  // Whether the profile has the line `line` whole.
  bool HasLine(const std::string& line) const {
    std::string text = "\n" + Text();
    for (const char* end : {"\n", "\r\n"})
      if (text.find("\n" + line + end) != std::string::npos) return true;
    return false;
  }

  IWuFileIOMgrForApp* app_ = nullptr;
  std::string path_;
};

TEST_F(MetricsTest, IdFortyAndBelowRefuseTheProfileKinds) {
  WCHAR text[8] = {u'x', 0};
  LONG chars = 5;
  EXPECT_EQ(app_->GetMetricString(40, text, 8, &chars), E_INVALIDARG);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(chars, 0);
  EXPECT_EQ(app_->SetMetricString(12, u"a"), E_INVALIDARG);
  EXPECT_EQ(app_->DeleteMetric(40, 1), E_INVALIDARG);
  DWORD data[2] = {7, 7}, got = 9;
  EXPECT_EQ(app_->GetMetricBinary(40, data, 8, &got), E_INVALIDARG);
  EXPECT_EQ(data[0] | data[1], 0u);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(app_->SetMetricBinary(40, data, 8), E_INVALIDARG);
  EXPECT_EQ(Text(), "");
}

TEST_F(MetricsTest, NumbersAndTheirKeys) {
  LONG value = 7;
  EXPECT_EQ(app_->GetMetric(41, &value), WUFIO_E_ABSENT);
  EXPECT_EQ(value, 0);
  struct Case {
    DWORD id;
    LONG value;
    const char* line;
  } cases[] = {
      {41, 61453, "D41=61453"},  // the first read's default, stored
      {42, 0, "D42=0"},          // a stored 0 is a value
      {43, -12, "D43=-12"},
      {static_cast<DWORD>(-44), 9, "D44=9"},
      {0x80000000u, 5, "D2147483648=5"},
      {0xFFFFFFFFu, 6, "D1=6"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app_->SetMetric(c.id, c.value), S_OK) << c.line;
    EXPECT_TRUE(HasLine(c.line)) << Text();
    value = 99;
    EXPECT_EQ(app_->GetMetric(c.id, &value), S_OK) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
  // -41 and 41 are one key.
  EXPECT_EQ(app_->SetMetric(static_cast<DWORD>(-41), 3), S_OK);
  EXPECT_EQ(app_->GetMetric(41, &value), S_OK);
  EXPECT_EQ(value, 3);
}

TEST_F(MetricsTest, Texts) {
  WCHAR text[16] = {u'x', 0};
  LONG chars = 5;
  EXPECT_EQ(app_->GetMetricString(50, text, 16, &chars), WUFIO_E_ABSENT);
  EXPECT_EQ(chars, 0);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(app_->SetMetricString(50, u"hello"), S_OK);
  EXPECT_TRUE(HasLine("S50=hello"));
  EXPECT_EQ(app_->GetMetricString(50, text, 16, &chars), S_OK);
  EXPECT_EQ(std::u16string(text), u"hello");
  EXPECT_EQ(chars, 6);
  // An empty text is present.
  EXPECT_EQ(app_->SetMetricString(51, u""), S_OK);
  EXPECT_EQ(app_->GetMetricString(51, text, 16, &chars), S_OK);
  EXPECT_EQ(chars, 1);
  // Cut to the buffer.
  EXPECT_EQ(app_->GetMetricString(50, text, 3, &chars), S_OK);
  EXPECT_EQ(std::u16string(text), u"he");
}

TEST_F(MetricsTest, BinaryData) {
  const DWORD five[4] = {5, 0, 0, 0};
  EXPECT_EQ(app_->SetMetricBinary(41, five, 16), S_OK);
  EXPECT_TRUE(HasLine("B41=5")) << Text();
  DWORD back[6] = {1, 1, 1, 1, 1, 1}, got = 0;
  EXPECT_EQ(app_->GetMetricBinary(41, back, 16, &got), S_OK);
  EXPECT_EQ(got, 16u);
  EXPECT_EQ(std::memcmp(back, five, 16), 0);
  EXPECT_EQ(back[4], 1u) << "wrote past the bytes asked for";

  const DWORD mixed[3] = {0xFFFFFFFFu, 0, 7};
  EXPECT_EQ(app_->SetMetricBinary(42, mixed, 12), S_OK);
  EXPECT_TRUE(HasLine("B42=-1,0,7"));
  // Fewer values asked for than stored; more than stored are zero.
  EXPECT_EQ(app_->GetMetricBinary(42, back, 8, &got), S_OK);
  EXPECT_EQ(back[0], 0xFFFFFFFFu);
  EXPECT_EQ(back[1], 0u);
  EXPECT_EQ(app_->GetMetricBinary(42, back, 24, &got), S_OK);
  EXPECT_EQ(back[2], 7u);
  EXPECT_EQ(back[3] | back[4] | back[5], 0u);
  EXPECT_EQ(got, 24u);

  const DWORD zeros[2] = {0, 0};
  EXPECT_EQ(app_->SetMetricBinary(43, zeros, 8), S_OK);
  EXPECT_TRUE(HasLine("B43=0")) << "one value always stays";

  DWORD many[129] = {};
  EXPECT_EQ(app_->SetMetricBinary(44, many, 516), E_INVALIDARG);
  EXPECT_EQ(app_->SetMetricBinary(44, many, 512), S_OK);
  EXPECT_EQ(app_->GetMetricBinary(41, back, 6, &got), E_INVALIDARG);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(app_->GetMetricBinary(45, back, 8, &got), WUFIO_E_ABSENT);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(back[0] | back[1], 0u);
}

TEST_F(MetricsTest, DeleteRemovesTheKeyOfItsKind) {
  struct Case {
    LONG kind;
    const char* key;
  } cases[] = {{1, "S60="}, {3, "B60="}, {4, "D60="}, {0, "Z60="}, {7, "Z60="}};
  for (const Case& c : cases) {
    wutest::WriteBytes(path_, std::string("[Metrics]\nS60=a\nB60=1\nD60=2\nZ60=3\n"));
    EXPECT_EQ(app_->DeleteMetric(60, c.kind), S_OK);
    std::string text = Text();
    EXPECT_EQ(text.find(c.key), std::string::npos) << c.kind;
    for (const char* other : {"S60=", "B60=", "D60=", "Z60="})
      if (std::strcmp(other, c.key) != 0) {
        EXPECT_NE(text.find(other), std::string::npos) << c.kind << " " << other;
      }
  }
  EXPECT_EQ(app_->DeleteMetric(61, 4), S_OK);  // nothing to delete
}

TEST_F(MetricsTest, ValuesOutliveTheManager) {
  EXPECT_EQ(app_->SetMetric(70, 8), S_OK);
  EXPECT_EQ(app_->SetMetric(5, 8), S_OK);
  app_->Release();
  app_ = Create(WUFIO_CREATE_NO_SEARCH);
  ASSERT_NE(app_, nullptr);
  LONG value = 0;
  EXPECT_EQ(app_->GetMetric(70, &value), S_OK);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(app_->GetMetric(5, &value), S_OK);
  EXPECT_EQ(value, 0) << "metrics below 40 live in memory only";
}

TEST_F(MetricsTest, LanguageIdReservedMustBeZero) {
  DWORD lcid = 1;
  EXPECT_EQ(app_->GetLanguageId(&lcid, 1), E_INVALIDARG);
  EXPECT_EQ(app_->GetLanguageId(&lcid, 0), S_OK);
  EXPECT_EQ(lcid, WuFio_CurrentLangId());
  EXPECT_EQ(app_->Reserved4(), E_NOTIMPL);
  EXPECT_EQ(app_->Reserved12(), E_NOTIMPL);
  EXPECT_EQ(app_->Reserved32(), E_NOTIMPL);
  EXPECT_EQ(app_->Reserved46(), E_NOTIMPL);
}

}  // namespace
}  // namespace fio_test
