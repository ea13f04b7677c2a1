// What all four scalers share: refusals that write nothing, the whole-pixel
// 1:1 row copy, and staying inside the images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScaleFixture.h"
#include "imaging/WuSubpixelParam.h"

namespace {

using namespace scaletest;

TEST(DibScaleRefusal, RefusedGeometryWritesNothing) {
  struct Case {
    const char* what;
    int srcW, srcH;
    int dstW, dstH;   // size passed for the destination (buffer is 4 x 4)
    RECT dstPx;       // whole-pixel destination rect (whole-pixel scalers)
    RECT dstQ;        // Q14 destination rect (sub-pixel scalers)
    RECT srcPx;       // whole-pixel source rect
    RECT srcQ;        // Q14 source rect
    int bpp;
    bool wholeOnly;   // the case only exists in whole pixels
    bool subOnly;     // the case only exists in Q14
  };
  const RECT all4{0, 0, 4, 4};
  const RECT all4q{0, 0, 4 * kPx, 4 * kPx};
  const Case cases[] = {
      {"1/32-pixel destination", 4, 4, 4, 4, all4, {0, 0, kPx / 32, kPx}, all4, all4q, 4, false, true},
      {"source under one pixel", 4, 4, 4, 4, all4, all4q, {1, 1, 1, 3}, {0, 0, kPx - 1, kPx}, 4,
       false, false},
      {"clipped destination under 1/16 pixel", 4, 4, 4, 4, all4,
       {4 * kPx - 0x200, 0, 8 * kPx, kPx}, all4, all4q, 4, false, true},
      {"ratio 0: one pixel onto 16,385", 1, 1, 4, 4, {0, 0, 16385, 1}, {0, 0, 16385 * kPx, kPx},
       {0, 0, 1, 1}, {0, 0, kPx, kPx}, 4, false, false},
      {"200,000 pixels wide, whole pixels", 4, 4, 4, 4, {0, 0, 200000, 2}, all4q, all4, all4q, 4,
       true, false},
      {"200,000 pixels wide image", 4, 4, 200000, 4, all4, all4q, all4, all4q, 4, false, false},
      {"3 bytes per pixel", 4, 4, 4, 4, all4, all4q, {0, 0, 2, 2}, {0, 0, 2 * kPx, 2 * kPx}, 3,
       false, false},
      {"ratio past 32 bits: 100,000 pixels onto 1/16", 100000, 1, 4, 4, all4,
       {0, 0, 0x400, kPx}, all4, {0, 0, 100000 * kPx, kPx}, 4, false, true},
      // A 1,100-fold enlargement whose visible part is its first 1/16
      // pixel: that maps onto no source at all.
      {"visible part maps onto no source", 1, 1, 1, 1, all4,
       {kPx - 0x400, 0, kPx - 0x400 + 1100 * kPx, kPx}, all4, {0, 0, kPx, kPx}, 4, false, true},
  };
  for (const Case& c : cases) {
    for (const Scaler& s : kScalers) {
      if ((c.wholeOnly && s.subPixel) || (c.subOnly && !s.subPixel)) continue;
      for (int area = 0; area <= 1; ++area) {
        Image src(c.srcW, c.srcH, 4);
        src.Random(1);
        Image dst(4, 4, 4);
        dst.FillBytes(0x5A);
        const SIZE ds{c.dstW, c.dstH};
        const SIZE ss = src.Size();
        const RECT* dr = s.subPixel ? &c.dstQ : &c.dstPx;
        const RECT* sr = s.subPixel ? &c.srcQ : &c.srcPx;
        EXPECT_EQ(s.fn(dst.Bits(), &ds, dst.Stride(), dr, src.Bits(), &ss, src.Stride(), sr, c.bpp,
                       area, 0),
                  0)
            << c.what << " " << s.name;
        const std::vector<BYTE> guard(dst.data.size(), 0x5A);
        EXPECT_EQ(dst.data, guard) << c.what << " " << s.name << " area " << area;
      }
    }
  }
  // Missing source bits.
  for (const Scaler& s : kScalers) {
    Image dst(4, 4, 4);
    dst.FillBytes(0x5A);
    const SIZE ds = dst.Size();
    const SIZE ss{2, 2};
    EXPECT_EQ(s.fn(dst.Bits(), &ds, dst.Stride(), nullptr, nullptr, &ss, 8, nullptr, 4, 0, 0), 0);
    EXPECT_EQ(dst.data, std::vector<BYTE>(dst.data.size(), 0x5A)) << s.name;
  }
  // Float rows off a 4-byte boundary: a source or destination that starts
  // there, or a stride that leads there.
  for (const Scaler& s : kScalers) {
    for (int which = 0; which < 3; ++which) {
      std::vector<BYTE> srcBytes(3 * 3 * 16 + 16 + 8, 0x11);
      std::vector<BYTE> dstBytes(4 * 4 * 16 + 16 + 8, 0x5A);
      const SIZE ss{3, 3};
      const SIZE ds{4, 4};
      const BYTE* srcBits = srcBytes.data() + (which == 0 ? 2 : 0);
      BYTE* dstBits = dstBytes.data() + (which == 1 ? 2 : 0);
      const LONG srcStride = which == 2 ? 3 * 16 + 2 : 3 * 16;
      const RECT dq{0, 0, 4 * kPx, 4 * kPx};
      const RECT dp{0, 0, 4, 4};
      EXPECT_EQ(s.fn(dstBits, &ds, 4 * 16, s.subPixel ? &dq : &dp, srcBits, &ss, srcStride, nullptr,
                     16, 0, 0),
                0);
      EXPECT_EQ(dstBytes, std::vector<BYTE>(dstBytes.size(), 0x5A)) << s.name << " case " << which;
    }
  }
}

TEST(DibScaleCopy, WholePixelOneToOneCopiesRowsExactly) {
  for (int bpp : {4, 16}) {
    for (const Scaler& s : kScalers) {
      if (s.subPixel) continue;
      for (int area = 0; area <= 1; ++area) {
        Image src(9, 7, bpp, true);
        src.Random(7);
        if (bpp == 16) {
          // Floats outside [0, 1] and odd bit patterns pass through a copy.
          src.F(1, 1)[0] = -3.5f;
          src.F(2, 2)[3] = 7.25f;
        }
        Image dst(8, 6, bpp);
        dst.FillBytes(0x33);
        const RECT dstRect{3, 1, 8, 5};  // 5 x 4 at (3, 1)
        const RECT srcRect{2, 3, 7, 7};
        ASSERT_EQ(Scale(s, dst, &dstRect, src, &srcRect, area), 0);
        for (int y = 0; y < dst.h; ++y) {
          for (int x = 0; x < dst.w; ++x) {
            const bool inside = x >= 3 && x < 8 && y >= 1 && y < 5;
            if (inside) {
              ASSERT_EQ(std::memcmp(dst.At(x, y), src.At(x - 1, y + 2), bpp), 0)
                  << s.name << " bpp " << bpp << " at " << x << "," << y;
            } else {
              for (int b = 0; b < bpp; ++b) ASSERT_EQ(dst.At(x, y)[b], 0x33);
            }
          }
        }
      }
    }
  }
}

// The rectangle of dst that a call may write: the clipped destination
// rounded out to whole pixels.
RECT WrittenArea(const Scaler& s, const Image& dst, const RECT* dstRect, const Image& src,
                 const RECT* srcRect) {
  RECT dq;
  RECT sq;
  if (dstRect) dq = *dstRect;
  if (srcRect) sq = *srcRect;
  if (!s.subPixel) {
    if (dstRect) WuRectPixelsToQ14(&dq, dstRect);
    if (srcRect) WuRectPixelsToQ14(&sq, srcRect);
  }
  WUSUBPIXELPARAM p;
  const SIZE ds = dst.Size();
  const SIZE ss = src.Size();
  BYTE dummy = 0;
  if (!WuPrepareSubpixelParam(&p, &dummy, &ds, 0, dstRect ? &dq : nullptr, &dummy, &ss, 0,
                              srcRect ? &sq : nullptr)) {
    return RECT{0, 0, 0, 0};
  }
  return RECT{p.dstClip.left >> 14, p.dstClip.top >> 14, (p.dstClip.right + kPx - 1) >> 14,
              (p.dstClip.bottom + kPx - 1) >> 14};
}

TEST(DibScaleBounds, TightImagesAreNeverOverrunNorWrittenOutsideTheClip) {
  struct Geometry {
    int srcW, srcH, dstW, dstH;
    bool hasDst, hasSrc;
    RECT dstQ, srcQ;  // Q14; whole-pixel scalers use them divided by 16,384 when exact
  };
  const Geometry geometries[] = {
      {5, 4, 13, 11, false, false, {}, {}},                     // enlarge
      {23, 17, 4, 3, false, false, {}, {}},                     // shrink both
      {3, 29, 7, 3, false, false, {}, {}},                      // width grows, height shrinks
      {31, 2, 3, 9, false, false, {}, {}},                      // width shrinks, height grows
      {1, 1, 3, 2, false, false, {}, {}},                       // one source pixel
      {6, 6, 6, 6, false, false, {}, {}},                       // 1:1
      {7, 5, 9, 9, true, true,                                  // fractional rects, off the edges
       {-kPx / 3, kPx / 2, 9 * kPx + kPx / 5, 8 * kPx + 77},
       {kPx / 4, 0, 7 * kPx - 5, 5 * kPx - kPx / 8}},
      {40, 33, 5, 6, true, true,
       {kPx / 2, kPx / 3, 5 * kPx - kPx / 2, 6 * kPx - 1},
       {3 * kPx + 11, 2 * kPx, 38 * kPx + kPx / 2, 33 * kPx}},
      {8, 8, 4, 4, true, true, {kPx, kPx, 3 * kPx, 3 * kPx}, {0, 0, 8 * kPx, 8 * kPx}},
  };
  for (const Geometry& g : geometries) {
    for (int bpp : {4, 16}) {
      for (bool bottomUp : {false, true}) {
        for (const Scaler& s : kScalers) {
          RECT dstR = g.dstQ;
          RECT srcR = g.srcQ;
          if (!s.subPixel) {
            dstR = RECT{g.dstQ.left / kPx, g.dstQ.top / kPx, g.dstQ.right / kPx, g.dstQ.bottom / kPx};
            srcR = RECT{g.srcQ.left / kPx, g.srcQ.top / kPx, g.srcQ.right / kPx, g.srcQ.bottom / kPx};
          }
          for (int flags = 0; flags < 4; ++flags) {
            Image src(g.srcW, g.srcH, bpp, bottomUp);
            src.Random(3);
            Image dst(g.dstW, g.dstH, bpp, !bottomUp);
            dst.FillBytes(0x7E);
            const RECT* dr = g.hasDst ? &dstR : nullptr;
            const RECT* sr = g.hasSrc ? &srcR : nullptr;
            ASSERT_EQ(Scale(s, dst, dr, src, sr, flags & 1, flags >> 1), 0);
            const RECT area = WrittenArea(s, dst, dr, src, sr);
            for (int y = 0; y < dst.h; ++y) {
              for (int x = 0; x < dst.w; ++x) {
                if (x >= area.left && x < area.right && y >= area.top && y < area.bottom) continue;
                for (int b = 0; b < bpp; ++b) {
                  ASSERT_EQ(dst.At(x, y)[b], 0x7E)
                      << s.name << " " << g.srcW << "x" << g.srcH << " at " << x << "," << y;
                }
              }
            }
          }
        }
      }
    }
  }
}

TEST(DibScaleBounds, LinearAndAreaIgnorePixelsOutsideTheUsedSource) {
  // Source rect strictly inside a 12 x 10 image; everything outside
  // srcUsed rounded out is poison, and two different poisons must give
  // the same picture.
  const RECT srcRect{2 * kPx + kPx / 4, kPx + kPx / 2, 9 * kPx + kPx / 2, 8 * kPx + 3 * kPx / 4};
  struct Target {
    int w, h;
  } targets[] = {{20, 15}, {3, 2}, {12, 2}, {2, 12}, {5, 5}};
  struct Use {
    ScaleFn fn;
    int area;
  } uses[] = {{WuDibScale_BilinearSubPixel, 0},
              {WuDibScale_BilinearSubPixel, 1},
              {WuDibScale_BiCubicSubPixel, 1}};
  for (int bpp : {4, 16}) {
    for (const Target& t : targets) {
      WUSUBPIXELPARAM p;
      BYTE dummy = 0;
      const SIZE ds{t.w, t.h};
      const SIZE ss{12, 10};
      ASSERT_EQ(WuPrepareSubpixelParam(&p, &dummy, &ds, 0, nullptr, &dummy, &ss, 0, &srcRect), 1);
      const int x0 = p.srcUsed.left >> 14, x1 = (p.srcUsed.right + kPx - 1) >> 14;
      const int y0 = p.srcUsed.top >> 14, y1 = (p.srcUsed.bottom + kPx - 1) >> 14;
      for (const Use& u : uses) {
        if (u.area == 1 && u.fn == WuDibScale_BiCubicSubPixel && t.w >= 7 && t.h >= 7) continue;
        std::vector<BYTE> results[2];
        for (int poison = 0; poison < 2; ++poison) {
          Image src(12, 10, bpp);
          src.Random(11);
          for (int y = 0; y < src.h; ++y) {
            for (int x = 0; x < src.w; ++x) {
              if (x >= x0 && x < x1 && y >= y0 && y < y1) continue;
              if (bpp == 4) {
                std::memset(src.At(x, y), poison ? 0xFF : 0x00, 4);
              } else {
                for (int c = 0; c < 4; ++c) src.F(x, y)[c] = poison ? 1e6f : -1e6f;
              }
            }
          }
          Image dst(t.w, t.h, bpp);
          dst.FillBytes(0);
          ASSERT_EQ(Scale(u.fn, dst, nullptr, src, &srcRect, u.area), 0);
          results[poison] = dst.data;
        }
        EXPECT_EQ(results[0], results[1]) << t.w << "x" << t.h << " bpp " << bpp << " area " << u.area;
      }
    }
  }
}

}  // namespace
