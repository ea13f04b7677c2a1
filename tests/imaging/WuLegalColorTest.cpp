// Legal-colour check for NTSC (YIQ and YUV) and PAL, with the pull-back.
#include "imaging/WuLegalColor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

WURGBAFLOAT Pixel(float blue, float green, float red, float alpha = 0.5f) {
  return WURGBAFLOAT{blue, green, red, alpha};
}

// One standard: its check, its pull-back, its forward matrix, its
// detection limit and the luma scaling of its pull-back target.
struct Standard {
  const char* name;
  int (*check)(const WURGBAFLOAT*);
  int (*pullBack)(WURGBAFLOAT*);
  void (*forward)(WURGBAFLOAT*, const WURGBAFLOAT*);
  float limit;
  bool scaled;
};
const Standard kStandards[] = {
    {"NTSC YIQ", HotCheckNTSCYIQ, HotCheckNTSCYIQReturn, HotRgbToYiq, 1.2162162f, true},
    {"NTSC YUV", HotCheckNTSCYUV, HotCheckNTSCYUVReturn, HotRgbToYuv, 1.2162162f, true},
    {"PAL YUV", HotCheckPALYUV, HotCheckPALYUVReturn, HotRgbToYuv, 1.2f, false},
};

// Luma and chroma magnitude of a linear colour in a standard's space.
void Measure(const Standard& s, const WURGBAFLOAT& pixel, float* luma, float* chroma) {
  WURGBAFLOAT video, ycc;
  HotLinearToVideo(&video, &pixel);
  s.forward(&ycc, &video);
  *luma = ycc.blue;
  *chroma = std::sqrt(ycc.green * ycc.green + ycc.red * ycc.red);
}

TEST(LegalColor, TransferCurveAndMatrices) {
  WURGBAFLOAT in = Pixel(0.01f, 0.018f, 0.5f, 0.25f), out;
  HotLinearToVideo(&out, &in);
  EXPECT_FLOAT_EQ(out.blue, 4.5f * 0.01f);
  EXPECT_FLOAT_EQ(out.green, 1.099f * std::pow(0.018f, 0.45f) - 0.099f);  // 0.018 takes the power branch
  EXPECT_EQ(out.alpha, 0.25f);
  WURGBAFLOAT back;
  HotVideoToLinear(&back, &out);
  EXPECT_NEAR(back.blue, 0.01f, 1e-6f);
  EXPECT_NEAR(back.green, 0.018f, 1e-6f);
  EXPECT_NEAR(back.red, 0.5f, 1e-6f);

  // Each inverse matrix undoes its forward matrix.
  const WURGBAFLOAT video = Pixel(0.2f, 0.7f, 0.9f);
  WURGBAFLOAT ycc, rgb;
  HotRgbToYuv(&ycc, &video);
  EXPECT_NEAR(ycc.blue, 0.114f * 0.2f + 0.587f * 0.7f + 0.299f * 0.9f, 1e-6f);
  HotYuvToRgb(&rgb, &ycc);
  EXPECT_NEAR(rgb.blue, 0.2f, 1e-4f);
  EXPECT_NEAR(rgb.green, 0.7f, 1e-4f);
  EXPECT_NEAR(rgb.red, 0.9f, 1e-4f);
  HotRgbToYiq(&ycc, &video);
  HotYiqToRgb(&rgb, &ycc);
  EXPECT_NEAR(rgb.blue, 0.2f, 1e-4f);
  EXPECT_NEAR(rgb.green, 0.7f, 1e-4f);
  EXPECT_NEAR(rgb.red, 0.9f, 1e-4f);
}

TEST(LegalColor, ChecksAgreeWithLumaPlusChroma) {
  for (const Standard& s : kStandards) {
    for (const WURGBAFLOAT& legal : {Pixel(0, 0, 0), Pixel(1, 1, 1), Pixel(0.5f, 0.5f, 0.5f)}) {
      WURGBAFLOAT copy = legal;
      EXPECT_EQ(s.check(&legal), 0) << s.name;
      EXPECT_EQ(s.pullBack(&copy), 0) << s.name;
      EXPECT_EQ(std::memcmp(&copy, &legal, sizeof(copy)), 0) << s.name;
    }
    const WURGBAFLOAT yellow = Pixel(0, 1, 1);
    EXPECT_EQ(s.check(&yellow), 1) << s.name;
    // Over a grid of colours the verdict is Y + chroma > limit (away from
    // the boundary, where float rounding decides).
    int hot = 0;
    for (float b = 0; b <= 1.0f; b += 0.125f)
      for (float g = 0; g <= 1.0f; g += 0.125f)
        for (float r = 0; r <= 1.0f; r += 0.125f) {
          const WURGBAFLOAT p = Pixel(b, g, r);
          float luma, chroma;
          Measure(s, p, &luma, &chroma);
          if (std::fabs(luma + chroma - s.limit) < 1e-4f) continue;
          ASSERT_EQ(s.check(&p), luma + chroma > s.limit ? 1 : 0) << s.name << " " << b << g << r;
          hot += s.check(&p);
        }
    EXPECT_GT(hot, 0) << s.name;
  }
}

// A hot colour is pulled back to the target peak 1.15 (NTSC: measured on
// 0.925 * signal + 0.075), keeps its luma and alpha, and stays in 0..1.
TEST(LegalColor, PullBackReachesTheTargetPeak) {
  for (const Standard& s : kStandards) {
    for (float b = 0; b <= 1.0f; b += 0.25f)
      for (float g = 0; g <= 1.0f; g += 0.25f)
        for (float r = 0; r <= 1.0f; r += 0.25f) {
          WURGBAFLOAT p = Pixel(b, g, r, 0.75f);
          const WURGBAFLOAT before = p;
          if (!s.check(&p)) continue;
          ASSERT_EQ(s.pullBack(&p), 1);
          EXPECT_EQ(p.alpha, 0.75f);
          for (float v : {p.blue, p.green, p.red}) {
            EXPECT_GE(v, 0.0f);
            EXPECT_LE(v, 1.0f);
          }
          EXPECT_EQ(s.check(&p), 0) << s.name;
          float lumaBefore, lumaAfter, chroma, unused;
          Measure(s, before, &lumaBefore, &unused);
          Measure(s, p, &lumaAfter, &chroma);
          // Clamping may trim a channel; for yellow (checked below) it does not.
          EXPECT_NEAR(lumaAfter, lumaBefore, 0.02f) << s.name;
        }
    WURGBAFLOAT yellow = Pixel(0, 1, 1, 0.3f);
    ASSERT_EQ(s.pullBack(&yellow), 1);
    float luma, chroma;
    Measure(s, yellow, &luma, &chroma);
    const float peak = s.scaled ? 0.925f * (luma + chroma) + 0.075f : luma + chroma;
    EXPECT_NEAR(peak, 1.15f, 2e-3f) << s.name;
    EXPECT_NEAR(luma, 0.886f, 2e-3f) << s.name;  // yellow's luma is kept
    EXPECT_EQ(yellow.alpha, 0.3f);
  }
}

// A super-white colour whose luma alone lies above the target cannot be
// met by shrinking its chroma; the pull-back must not turn its chroma
// around (here: make the bluest channel the weakest).
TEST(LegalColor, SuperWhitePullBackDoesNotInvertChroma) {
  WURGBAFLOAT p = Pixel(3.0f, 1.5f, 2.0f);
  ASSERT_EQ(HotCheckPALYUV(&p), 1);
  ASSERT_EQ(HotCheckPALYUVReturn(&p), 1);
  EXPECT_GE(p.blue, p.red);
  EXPECT_GE(p.blue, p.green);
}

}  // namespace
