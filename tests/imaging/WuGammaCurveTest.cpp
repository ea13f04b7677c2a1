// Gamma curves: parameters, values, tables and lookups.
#include "imaging/WuGammaCurve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "imaging/WuColorMath.h"
#include "platform/kernel/memory.h"

namespace {

// A curve that is released at the end of a test.
struct Curve {
  explicit Curve(float gamma) {
    WuGammaCurve_Init(&c);
    WuGammaCurve_SetGamma(&c, gamma);
  }
  ~Curve() { WuGammaCurve_Destroy(&c); }
  WuGammaCurve c;
};

// The parameters follow the derivation from g alone.
TEST(GammaCurve, ParametersFollowTheirFormulas) {
  for (float g : {0.3f, 0.45f, 0.8f, 1.25f, 2.2222222f, 3.0f}) {
    Curve curve(g);
    const float inverse = 1.0f / g;
    const float k = std::pow(inverse, 1.8836103677749634f);
    const float t = 0.03818376734852791f * std::pow(inverse, -0.9418051838874817f);
    EXPECT_EQ(curve.c.mode, g <= 1.0f ? 1 : 0) << g;
    EXPECT_FLOAT_EQ(curve.c.slope, k) << g;
    EXPECT_FLOAT_EQ(curve.c.threshold, t) << g;
    // Continuous where the linear part meets the power part, and odd.
    const float below = WuGammaCurve_Apply(&curve.c, std::nextafter(t, 0.0f));
    const float at = WuGammaCurve_Apply(&curve.c, t);
    EXPECT_NEAR(below, at, 1e-5f) << g;
    EXPECT_NEAR(WuGammaCurve_Apply(&curve.c, 1.0f), 1.0f, 1e-6f) << g;
    for (float x : {0.001f, 0.01f, 0.2f, 0.7f, 1.3f})
      EXPECT_EQ(WuGammaCurve_Apply(&curve.c, -x), -WuGammaCurve_Apply(&curve.c, x)) << g << " " << x;
  }
  Curve encode(0.45f);
  EXPECT_NEAR(encode.c.threshold, 0.018f, 0.0005f);
  EXPECT_NEAR(encode.c.slope, 4.5f, 0.01f);
  EXPECT_NEAR(encode.c.offset, 0.099f, 0.001f);
  EXPECT_FLOAT_EQ(WuGammaCurve_Apply(&encode.c, 0.01f), encode.c.slope * 0.01f);
  EXPECT_FLOAT_EQ(WuGammaCurve_Apply(&encode.c, 0.5f),
                  (1.0f + encode.c.offset) * std::pow(0.5f, 0.45f) - encode.c.offset);
}

TEST(GammaCurve, DecodingCurveInvertsTheEncodingCurve) {
  Curve encode(0.45f), decode(1.0f / 0.45f);
  for (float x = 0.0f; x <= 1.0f; x += 0.03125f)
    EXPECT_NEAR(WuGammaCurve_Apply(&decode.c, WuGammaCurve_Apply(&encode.c, x)), x, 2e-4f) << x;
}

TEST(GammaCurve, UnityAndInvalidGammasAreTheIdentity) {
  for (float g : {1.0f, 0.0f, -2.0f, std::numeric_limits<float>::quiet_NaN()}) {
    Curve curve(g);
    EXPECT_EQ(curve.c.gamma, 1.0f);
    for (float x : {-3.0f, 0.0f, 0.25f, 1.0f, 7.5f}) EXPECT_EQ(WuGammaCurve_Apply(&curve.c, x), x) << g;
  }
  Curve near(1.0005f), far(1.002f), below(0.998f);
  EXPECT_FALSE(WuGammaCurve_IsNonUnity(&near.c));
  EXPECT_TRUE(WuGammaCurve_IsNonUnity(&far.c));
  EXPECT_TRUE(WuGammaCurve_IsNonUnity(&below.c));
}

TEST(GammaCurve, FloatTableAndLookup) {
  const size_t before = platform::LiveGlobalBlockCount();
  {
    Curve curve(0.45f);
    WuGammaCurve_BuildTable(&curve.c, 256);
    ASSERT_NE(curve.c.table, nullptr);
    EXPECT_EQ(curve.c.last, 255);
    EXPECT_EQ(GlobalSize(curve.c.table), 257 * sizeof(float));
    EXPECT_EQ(WuGammaCurve_GetTableEntry(&curve.c, 0), 0.0f);
    EXPECT_EQ(WuGammaCurve_GetTableEntry(&curve.c, 255), WuGammaCurve_Apply(&curve.c, 1.0f));
    EXPECT_EQ(WuGammaCurve_GetTableEntry(&curve.c, 256), WuGammaCurve_Apply(&curve.c, 256.0f / 255.0f));
    EXPECT_EQ(WuGammaCurve_GetTableEntry(&curve.c, 257), 0.0f);  // past the table

    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, 1.0f), curve.c.table[255]);
    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, 0.0f), curve.c.table[0]);
    // Between samples: linear interpolation of the two neighbours.
    const float x = 100.25f / 255.0f;
    const float u = x * 255.0f;
    const float f = u - 100.0f;
    EXPECT_FLOAT_EQ(WuGammaCurve_Lookup(&curve.c, x), (1 - f) * curve.c.table[100] + f * curve.c.table[101]);
    EXPECT_NEAR(WuGammaCurve_Lookup(&curve.c, x), WuGammaCurve_Apply(&curve.c, x), 1e-4f);
    // Outside 0..1 the curve itself; NaN gives 0.
    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, 1.5f), WuGammaCurve_Apply(&curve.c, 1.5f));
    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, -0.5f), WuGammaCurve_Apply(&curve.c, -0.5f));
    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, std::numeric_limits<float>::quiet_NaN()), 0.0f);

    // A new gamma drops the table, and the lookup still answers.
    WuGammaCurve_SetGamma(&curve.c, 2.0f);
    EXPECT_EQ(curve.c.table, nullptr);
    EXPECT_EQ(WuGammaCurve_Lookup(&curve.c, 0.5f), WuGammaCurve_Apply(&curve.c, 0.5f));
    // Counts that give no sample spacing build nothing.
    for (int count : {1, 0, -5}) {
      WuGammaCurve_BuildTable(&curve.c, count);
      EXPECT_EQ(curve.c.table, nullptr) << count;
    }
  }
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

TEST(GammaCurve, ByteTableAndLookup) {
  Curve curve(0.45f);
  WuGammaCurve_BuildTable(&curve.c, 16);
  WuGammaCurve_BuildByteTable(&curve.c, 1024);
  EXPECT_EQ(curve.c.table, nullptr);  // building one table drops the other
  ASSERT_NE(curve.c.byteTable, nullptr);
  EXPECT_EQ(curve.c.last, 1023);
  for (int i = 0; i <= 1023; i += 31) {
    const float x = static_cast<float>(i) / 1023.0f;
    const LONG expected = WuRoundDoubleToInt(static_cast<double>(WuGammaCurve_Apply(&curve.c, x)) * 255.0);
    EXPECT_EQ(WuGammaCurve_LookupByte(&curve.c, x), expected) << i;
  }
  EXPECT_EQ(WuGammaCurve_LookupByte(&curve.c, 1.0f), 255);
  EXPECT_EQ(WuGammaCurve_LookupByte(&curve.c, -0.1f), 0);
  EXPECT_EQ(WuGammaCurve_LookupByte(&curve.c, 1.1f), 255);
  EXPECT_EQ(WuGammaCurve_LookupByte(&curve.c, std::numeric_limits<float>::quiet_NaN()), 0);
  WuGammaCurve_FreeTables(&curve.c);
  EXPECT_EQ(curve.c.byteTable, nullptr);

  // The entry past 1.0 of the identity at 256 samples is 256 * 255 / 255:
  // clamped to 255, not wrapped to 0.
  Curve identity(1.0f);
  WuGammaCurve_BuildByteTable(&identity.c, 256);
  EXPECT_EQ(identity.c.byteTable[255], 255);
  EXPECT_EQ(identity.c.byteTable[256], 255);
}

TEST(GammaCurve, PairInitialisesAndFreesBothCurves) {
  const size_t before = platform::LiveGlobalBlockCount();
  WuGammaCurve pair[2];
  WuGammaCurvePair_Init(pair);
  EXPECT_EQ(pair[0].gamma, 1.0f);
  EXPECT_EQ(pair[1].gamma, 1.0f);
  WuGammaCurve_BuildTable(&pair[0], 64);
  WuGammaCurve_BuildByteTable(&pair[1], 64);
  WuGammaCurvePair_Free(pair);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), before);
}

}  // namespace
