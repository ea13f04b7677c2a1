// RGB and HSL conversion: the plain and extended forms and their round trips.
#include "imaging/WuHsl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

WUHSL ToHsl(BYTE red, BYTE green, BYTE blue, BYTE alpha = 255) {
  const WURGBA in = {blue, green, red, alpha};
  WUHSL out;
  WURGBA_To_WUHSL(&out, &in);
  return out;
}

TEST(Hsl, FromBytes) {
  const struct {
    BYTE r, g, b;
    double H, S, L;
  } cases[] = {
      {255, 255, 255, 0.0, 0.0, 1.0},
      {0, 0, 0, 0.0, 0.0, 0.0},
      {90, 90, 90, 0.0, 0.0, 90 / 255.0},
      {255, 0, 0, 1.0, 1.0, 0.5},  // pure red sits at the end of the turn
      {255, 128, 0, (128 / 255.0) / 6, 1.0, 0.5},
      {0, 255, 0, 2.0 / 6, 1.0, 0.5},
      {0, 0, 255, 4.0 / 6, 1.0, 0.5},
      {255, 0, 255, 5.0 / 6, 1.0, 0.5},
      {0, 255, 255, 3.0 / 6, 1.0, 0.5},
      {255, 255, 0, 1.0 / 6, 1.0, 0.5},
      {192, 64, 64, 1.0, 128.0 / 254, 0.5019607843},  // red with equal green and blue
  };
  for (const auto& c : cases) {
    const WUHSL hsl = ToHsl(c.r, c.g, c.b, 51);
    EXPECT_NEAR(hsl.H, c.H, 1e-9) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_NEAR(hsl.S, c.S, 1e-6) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_NEAR(hsl.L, c.L, 1e-9) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_NEAR(hsl.A, 0.2, 1e-12);
  }
}

TEST(Hsl, ToBytes) {
  WURGBA out = {1, 2, 3, 4};
  WUHSL in = {0.0, 1.0, 0.5, 1.0};
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.red, 255);
  EXPECT_EQ(out.green, 0);
  EXPECT_EQ(out.blue, 0);
  EXPECT_EQ(out.alpha, 255);
  in = {1.0, 1.0, 0.5, 0.5};  // hue 1.0 takes the row of hue 0
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.red, 255);
  EXPECT_EQ(out.blue, 0);
  EXPECT_EQ(out.alpha, 127);

  // No lightness: black, alpha still written.
  out = {9, 9, 9, 9};
  in = {0.3, 0.8, 0.0, 0.2};
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.red, 0);
  EXPECT_EQ(out.green, 0);
  EXPECT_EQ(out.blue, 0);
  EXPECT_EQ(out.alpha, 51);

  // A hue beyond 7/6 leaves the colour as it was.
  out = {9, 9, 9, 9};
  in = {1.5, 1.0, 0.5, 1.0};
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.red, 9);
  EXPECT_EQ(out.alpha, 255);

  // Values beyond 0..1 are clamped, not wrapped.
  in = {0.0, 0.0, 1.4, 2.0};
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.red, 255);
  EXPECT_EQ(out.green, 255);
  EXPECT_EQ(out.alpha, 255);
  in = {0.0, 0.0, -0.5, -1.0};
  WUHSL_To_WURGBA(&out, &in);
  EXPECT_EQ(out.alpha, 0);

  // L = 0.75, S = 1: m2 = 1.0, m1 = 0.5; a cyan (hue 3/6) shows both.
  WURGBAFLOAT f;
  in = {0.5, 1.0, 0.75, 1.0};
  WUHSL_To_WURGBAFLOAT(&f, &in);
  EXPECT_FLOAT_EQ(f.red, 0.5f);
  EXPECT_FLOAT_EQ(f.green, 1.0f);
  EXPECT_FLOAT_EQ(f.blue, 1.0f);
}

TEST(Hsl, RoundTrips) {
  // Bytes come back within the truncation of value * 255; floats exactly
  // to double rounding.
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 17)
      for (int b = 0; b < 256; b += 51) {
        const WUHSL hsl = ToHsl(BYTE(r), BYTE(g), BYTE(b), 200);
        WURGBA back;
        WUHSL_To_WURGBA(&back, &hsl);
        ASSERT_NEAR(back.red, r, 1) << r << "," << g << "," << b;
        ASSERT_NEAR(back.green, g, 1) << r << "," << g << "," << b;
        ASSERT_NEAR(back.blue, b, 1) << r << "," << g << "," << b;
        ASSERT_EQ(back.alpha, 200);

        const WUDIBPIXEL p = {b / 255.0f, g / 255.0f, r / 255.0f, 0.5f};
        WUHSL h2;
        WUDIBPIXEL q;
        WUDIBPIXEL_To_WUHSL(&h2, &p);
        WUHSL_To_WUDIBPIXEL(&q, &h2);
        ASSERT_NEAR(q.red, p.red, 1e-6f);
        ASSERT_NEAR(q.green, p.green, 1e-6f);
        ASSERT_NEAR(q.blue, p.blue, 1e-6f);
        ASSERT_EQ(q.alpha, 0.5f);
      }
}

TEST(Hsl, ExtendedCoreEdgeCases) {
  WUHSL h;
  WuRgbToHslCoreExtended(&h, 0.0, 0.0, 0.0, 1.0);
  const double eps = static_cast<double>(0.000001f);
  EXPECT_DOUBLE_EQ(h.L, eps / 2);
  EXPECT_DOUBLE_EQ(h.S, -eps);
  EXPECT_EQ(h.H, 0.0);
  WuRgbToHslCoreExtended(&h, 1.5, 1.5, 1.5, 1.0);
  EXPECT_DOUBLE_EQ(h.L, 1.5);
  EXPECT_EQ(h.S, 0.0);
  EXPECT_EQ(h.H, 0.0);
  WuRgbToHslCoreExtended(&h, 1.5, 1.2, 1.2, 1.0);
  EXPECT_NEAR(h.L, 1.35, 1e-12);
  EXPECT_NEAR(h.S, 0.3 / 0.7, 1e-12);  // -0.3 / 0.7, negated above L = 1
  EXPECT_NEAR(h.H, 1.0, 1e-12);
  // Near max + min = 2 the maximum moves away by 1e-6 so that S stays finite.
  WuRgbToHslCoreExtended(&h, 1.0, 0.5, 1.0 - 1e-7, 1.0);
  EXPECT_TRUE(std::isfinite(h.S));
}

// The extended pair round-trips colours outside 0..1, and the inverse does
// not touch the caller's record (a second call gives the same colour).
TEST(Hsl, ExtendedPairRoundTripsAndKeepsItsInput) {
  const WUDIBPIXEL colours[] = {
      {1.2f, 1.2f, 1.5f, 1.0f},   {-0.2f, 0.3f, 0.1f, 0.5f}, {2.0f, 0.5f, 0.25f, 1.0f},
      {-0.5f, -0.1f, -0.3f, 0.0f}, {0.2f, 0.4f, 0.6f, 0.8f},  {1.7f, 1.1f, 3.0f, 1.0f},
  };
  for (const WUDIBPIXEL& p : colours) {
    WUHSL hsl;
    WUDIBPIXEL_To_WUHSL_Float(&hsl, &p);
    const WUHSL saved = hsl;
    WUDIBPIXEL q = {}, again = {};
    WUHSL_To_WUDIBPIXEL_Float(&q, &hsl);
    EXPECT_EQ(std::memcmp(&hsl, &saved, sizeof(hsl)), 0);
    WUHSL_To_WUDIBPIXEL_Float(&again, &hsl);
    EXPECT_EQ(std::memcmp(&q, &again, sizeof(q)), 0);
    EXPECT_NEAR(q.red, p.red, 2e-6f) << p.red << "," << p.green << "," << p.blue;
    EXPECT_NEAR(q.green, p.green, 2e-6f) << p.red << "," << p.green << "," << p.blue;
    EXPECT_NEAR(q.blue, p.blue, 2e-6f) << p.red << "," << p.green << "," << p.blue;
    EXPECT_EQ(q.alpha, p.alpha);
  }
}

}  // namespace
