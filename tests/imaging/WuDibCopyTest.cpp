// Bitmap copy: rectangles, the pipeline walks, the fast paths, routing to
// the scalers, edge fade and sub-pixel edges.
#include "imaging/WuDibCopy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuColorQuantize.h"
#include "imaging/WuDibPixelOps.h"
#include "imaging/WuDibScale.h"
#include "imaging/WuGammaCurve.h"
#include "imaging/WuXchg.h"
#include "platform/kernel/memory.h"
#include "tests/imaging/DibFixture.h"
#include "tests/imaging/GuardedRows.h"

namespace {

bool EqualRectForTest(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

using wutest::DibPtr;
using wutest::FillPattern;
using wutest::MakeDib;
using wutest::Row;
using wutest::Snapshot;

int PaletteSize(WUPIXELTYPE t) { return t == 16 ? 2 : t == 23 ? 16 : t == 24 ? 256 : 0; }

DibPtr Patterned(WUPIXELTYPE t, LONG w, LONG h, uint32_t seed) {
  auto dib = MakeDib(t, w, h, nullptr, PaletteSize(t));
  FillPattern(dib.get(), seed);
  return dib;
}

DibPtr Clone(const BITMAPINFOHEADER* dib) {
  auto copy = MakeDib(WuGetPixelType(dib), dib->biWidth, dib->biHeight, nullptr, 0);
  std::memcpy(copy.get(), dib, WuDibGetBits(dib) - reinterpret_cast<const BYTE*>(dib) +
                                   wutest::ImageBytes(dib));
  return copy;
}

TEST(DibCopy, Rgb24ToRgbaIsExact) {
  // 100 wide: runs of four only; 7 wide: a run and three more.
  for (LONG width : {100, 7}) {
    auto src = Patterned(WUPIXEL_RGB24, width, 50, 1);
    auto dst = MakeDib(WUPIXEL_RGBA32, width, 50);
    ASSERT_EQ(WuDibCopy(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
    for (LONG y = 0; y < 50; ++y)
      for (LONG x = 0; x < width; ++x) {
        const BYTE* s = Row(src.get(), y) + x * 3;
        const BYTE* d = Row(dst.get(), y) + x * 4;
        ASSERT_TRUE(d[0] == s[0] && d[1] == s[1] && d[2] == s[2] && d[3] == 255) << x << "," << y;
      }
  }
}

// Pairs the same-size copy converts through fast paths instead of the
// pipeline.
bool FastPair(int s, int d) {
  if (s == 27 && (d == 28 || d == 29 || d == 32)) return true;
  if ((s == 28 || s == 29) && d == 32) return true;
  if (s == 32 && (d == 27 || d == 28 || d == 29 || d == 32)) return true;
  return s == d && WuGetPixelBitsPerChannel(s, nullptr) > 8;
}

// Every other pair, at qualities 0 and 3, equals a plain walk of a record
// built for the same pair and flags: runs of four, then single pixels.
// Width 7 gives a run and three leftovers; rectangles start at odd columns.
TEST(DibCopy, SameSizePipelineEqualsAPlainWalk) {
  const RECT srcRect = {1, 1, 8, 4};
  const RECT dstRect = {3, 0, 10, 3};
  for (DWORD flags : {0u, 3u}) {
    for (int s = 16; s <= 32; ++s) {
      for (int d = 16; d <= 32; ++d) {
        if (FastPair(s, d)) continue;
        // At quality 3, 28 and 29 pairs belong to the scaler.
        if (flags == 3 && (s == 28 || s == 29) && (d == 28 || d == 29)) continue;
        auto src = Patterned(s, 9, 5, s * 31 + 7);
        auto dst = Patterned(d, 11, 4, d * 17 + 3);
        auto expected = Clone(dst.get());
        ASSERT_EQ(WuDibCopy(dst.get(), nullptr, &dstRect, 0, src.get(), nullptr, &srcRect, 0, flags, 0.0, 0.0),
                  S_OK)
            << s << "->" << d;

        BYTE* map = nullptr;
        if (d == 23 || d == 24) {
          ASSERT_EQ(WuDibCreateColorQuantizer(&map, expected.get()), S_OK);
        }
        WUXCHGFUNCS rec;
        ASSERT_EQ(WuXCHGGetFunctionPointers(d, s, flags, &rec, nullptr, 0.0, 0.0), S_OK);
        rec.srcPalette = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<BYTE*>(src.get()) + 40);
        rec.inverseMap = map;
        const int sb = src->biBitCount, db = dst->biBitCount;
        for (LONG y = 0; y < 3; ++y) {
          rec.src = Row(src.get(), srcRect.top + y) + srcRect.left * sb / 8;
          rec.srcBit = srcRect.left * sb % 8;
          rec.dst = Row(expected.get(), dstRect.top + y) + dstRect.left * db / 8;
          rec.dstBit = dstRect.left * db % 8;
          rec.fetch4(&rec);
          rec.store4(&rec);
          for (int i = 0; i < 3; ++i) {
            rec.fetch(&rec);
            rec.store(&rec);
          }
        }
        WuGammaCurve_FreeTables(&rec.storeCurve);
        WuGammaCurve_FreeTables(&rec.fetchCurve);
        WuDibFreeColorQuantizer(map);
        ASSERT_EQ(Snapshot(dst.get()), Snapshot(expected.get())) << s << "->" << d << " flags " << flags;
      }
    }
  }
}

// A curve of `gamma` with a table of `count` entries: the entry at
// `index`, or the looked-up value of `x` when index is negative.
float CurveValue(float gamma, int count, int index, float x = 0.0f) {
  WuGammaCurve curve;
  WuGammaCurve_Init(&curve);
  WuGammaCurve_SetGamma(&curve, gamma);
  WuGammaCurve_BuildTable(&curve, count);
  float v = index >= 0 ? WuGammaCurve_GetTableEntry(&curve, index) : WuGammaCurve_Lookup(&curve, x);
  WuGammaCurve_Destroy(&curve);
  return v;
}

TEST(DibCopy, FastPaths) {
  const LONG w = 9, h = 6;
  auto rgb = Patterned(WUPIXEL_RGB24, w, h, 2);
  auto fl = Patterned(WUPIXEL_RGBA128F, w, h, 3);
  // 27 -> 32: b / 255, or the store curve's table (source gamma 2.2 over
  // destination gamma 1.0); alpha 1.0.
  for (double srcGamma : {0.0, 2.2}) {
    auto out = MakeDib(WUPIXEL_RGBA128F, w, h);
    ASSERT_EQ(WuDibCopy(out.get(), nullptr, nullptr, 0, rgb.get(), nullptr, nullptr, 0, 0,
                        srcGamma == 0.0 ? 0.0 : 1.0, srcGamma),
              S_OK);
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x)
        for (int c = 0; c < 4; ++c) {
          float got = reinterpret_cast<const float*>(Row(out.get(), y))[x * 4 + c];
          BYTE b = Row(rgb.get(), y)[x * 3 + (c < 3 ? c : 0)];
          float want = c == 3 ? 1.0f : srcGamma == 0.0 ? b / 255.0f : CurveValue(2.2f, 256, b);
          ASSERT_EQ(got, want) << x << "," << y << " " << c;
        }
  }
  // 32 -> 27: ordered dither at quality 3, rounding below it.
  const BYTE dither[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  for (DWORD flags : {3u, 1u, 0u}) {
    auto out = MakeDib(WUPIXEL_RGB24, w, h);
    ASSERT_EQ(WuDibCopy(out.get(), nullptr, nullptr, 0, fl.get(), nullptr, nullptr, 0, flags, 0.0, 0.0), S_OK);
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) {
          float v = reinterpret_cast<const float*>(Row(fl.get(), y))[x * 4 + c];
          BYTE want = flags == 3 ? WuFloatToByte(v + dither[y & 3][x & 3] / 4080.0f)
                                 : WuFloatToByte(v + 0.0019607844f);
          ASSERT_EQ(Row(out.get(), y)[x * 3 + c], want) << flags << " " << x << "," << y;
        }
  }
  // The same through the fetch curve (source gamma 2.2 over 1.0): its
  // 256-entry float table before the dither, its 4096-entry byte table
  // below quality 3.
  for (DWORD flags : {3u, 0u}) {
    auto out = MakeDib(WUPIXEL_RGB24, w, h);
    ASSERT_EQ(WuDibCopy(out.get(), nullptr, nullptr, 0, fl.get(), nullptr, nullptr, 0, flags, 1.0, 2.2), S_OK);
    WuGammaCurve curve;
    WuGammaCurve_Init(&curve);
    WuGammaCurve_SetGamma(&curve, 2.2f);
    if (flags == 3) {
      WuGammaCurve_BuildTable(&curve, 256);
    } else {
      WuGammaCurve_BuildByteTable(&curve, 4096);
    }
    for (LONG y = 0; y < h; ++y)
      for (LONG x = 0; x < w; ++x)
        for (int c = 0; c < 3; ++c) {
          float v = reinterpret_cast<const float*>(Row(fl.get(), y))[x * 4 + c];
          BYTE want = flags == 3 ? WuFloatToByte(WuGammaCurve_Lookup(&curve, v) + dither[y & 3][x & 3] / 4080.0f)
                                 : WuGammaCurve_LookupByte(&curve, v);
          ASSERT_EQ(Row(out.get(), y)[x * 3 + c], want) << flags << " " << x << "," << y;
        }
    WuGammaCurve_Destroy(&curve);
  }
  // 32 -> 29 below quality 3: x 255 truncated, four channels.
  {
    auto out = MakeDib(WUPIXEL_RGBA32, w, h);
    ASSERT_EQ(WuDibCopy(out.get(), nullptr, nullptr, 0, fl.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
    for (LONG y = 0; y < h; ++y) {
      BYTE want[w * 4];
      WuFloatsToBytes(want, reinterpret_cast<const float*>(Row(fl.get(), y)), w * 4);
      ASSERT_EQ(std::memcmp(Row(out.get(), y), want, sizeof(want)), 0) << y;
    }
  }
  // 32 -> 32: a byte copy, or through the 2048-entry table.
  for (double srcGamma : {0.0, 2.2}) {
    auto out = MakeDib(WUPIXEL_RGBA128F, w, h);
    ASSERT_EQ(WuDibCopy(out.get(), nullptr, nullptr, 0, fl.get(), nullptr, nullptr, 0, 0,
                        srcGamma == 0.0 ? 0.0 : 1.0, srcGamma),
              S_OK);
    for (LONG y = 0; y < h; ++y)
      for (LONG i = 0; i < w * 4; ++i) {
        float v = reinterpret_cast<const float*>(Row(fl.get(), y))[i];
        float want = srcGamma == 0.0 ? v : CurveValue(2.2f, 2048, -1, v);
        ASSERT_EQ(reinterpret_cast<const float*>(Row(out.get(), y))[i], want) << i;
      }
  }
}

// 28/29 pairs at quality 3 go to the scalers, with the destination's top
// row and negative strides.
TEST(DibCopy, RoutesByteRgbPairsToTheScalers) {
  auto src = Patterned(WUPIXEL_RGB32, 13, 9, 4);
  const RECT dstRect = {1, 2, 20, 15};
  for (DWORD extra : {0u, WUDIBCOPY_BICUBIC}) {
    auto dst = Patterned(WUPIXEL_RGBA32, 21, 17, 5);
    auto expected = Clone(dst.get());
    ASSERT_EQ(WuDibCopy(dst.get(), nullptr, &dstRect, 0, src.get(), nullptr, nullptr, 0, 3 | extra, 0.0, 0.0),
              S_OK);
    const SIZE dSize = {21, 17}, sSize = {13, 9};
    const LONG ds = wutest::Stride(dst.get()), ss = wutest::Stride(src.get());
    auto scaler = extra ? WuDibScale_BiCubic : WuDibScale_Bilinear;
    ASSERT_EQ(scaler(Row(expected.get(), 0), &dSize, -ds, &dstRect, Row(src.get(), 0), &sSize, -ss, nullptr,
                     4, 0, 0),
              S_OK);
    EXPECT_EQ(Snapshot(dst.get()), Snapshot(expected.get())) << extra;
  }
}

// Scaled pipeline copies: whole-pixel sampling below quality 3,
// interpolation from end to end at quality 3.
TEST(DibCopy, ScaledPipelineCopies) {
  auto src = MakeDib(WUPIXEL_RGB24, 4, 2);
  for (LONG y = 0; y < 2; ++y)
    for (LONG x = 0; x < 4; ++x) std::memset(Row(src.get(), y) + x * 3, 40 * x + 100 * y, 3);
  // 4x2 -> 8x4 at quality 0: column x / 2, row y / 2; the last ones take
  // the last source pixel.
  auto near = MakeDib(WUPIXEL_RGB24, 8, 4);
  ASSERT_EQ(WuDibCopy(near.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
  for (LONG y = 0; y < 4; ++y)
    for (LONG x = 0; x < 8; ++x)
      EXPECT_EQ(Row(near.get(), y)[x * 3], 40 * (x / 2) + 100 * (y / 2)) << x << "," << y;
  // 4x2 -> 7x3 at quality 3 (8-bit interpolating lanes): the ends are the
  // source's corners, the middle column and row lie halfway.
  auto lin = MakeDib(WUPIXEL_RGB24, 7, 3);
  ASSERT_EQ(WuDibCopy(lin.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 3, 0.0, 0.0), S_OK);
  EXPECT_EQ(Row(lin.get(), 0)[0], 0);
  EXPECT_EQ(Row(lin.get(), 0)[6 * 3], 120);
  EXPECT_EQ(Row(lin.get(), 2)[6 * 3], 220);
  EXPECT_NEAR(Row(lin.get(), 0)[1 * 3], 20, 1);
  EXPECT_NEAR(Row(lin.get(), 1)[0], 50, 1);
}

TEST(DibCopy, Errors) {
  auto src = Patterned(WUPIXEL_RGB24, 4, 4, 6);
  auto pal = MakeDib(WUPIXEL_PAL8, 4, 4, nullptr, 256);  // rows stay in place at biClrUsed 0
  pal->biClrUsed = 0;
  auto before = Snapshot(pal.get());
  EXPECT_EQ(WuDibCopy(pal.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), E_INVALIDARG);
  EXPECT_EQ(Snapshot(pal.get()), before);
  BITMAPINFOHEADER yuv = *src;
  yuv.biCompression = WU_FOURCC_YUYV;
  yuv.biBitCount = 16;
  auto dst = MakeDib(WUPIXEL_RGB24, 4, 4);
  EXPECT_EQ(WuDibCopy(dst.get(), nullptr, nullptr, 0, &yuv, WuDibGetBits(src.get()), nullptr, 0, 0, 0.0, 0.0),
            E_NOTIMPL);
  EXPECT_EQ(WuDibCopy(&yuv, WuDibGetBits(src.get()), nullptr, 0, dst.get(), nullptr, nullptr, 0, 3, 0.0, 0.0),
            E_NOTIMPL);
  // An empty rectangle is success with nothing done.
  RECT outside = {4, 0, 8, 4};
  auto was = Snapshot(dst.get());
  EXPECT_EQ(WuDibCopy(dst.get(), nullptr, &outside, 0, src.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
  EXPECT_EQ(Snapshot(dst.get()), was);
  // Positions past 32-bit Q14: a source wider than 131,071 pixels scaled.
  auto wide = MakeDib(WUPIXEL_GREY8, 140000, 1);
  auto narrow = MakeDib(WUPIXEL_GREY8, 3, 1);
  EXPECT_EQ(WuDibCopy(narrow.get(), nullptr, nullptr, 0, wide.get(), nullptr, nullptr, 0, 0, 0.0, 0.0),
            E_INVALIDARG);
  // A one-pixel sub-pixel destination from a source over 16,384 pixels: the
  // factor would be 0.
  auto grey = MakeDib(WUPIXEL_GREY8, 20000, 1);
  auto two = MakeDib(WUPIXEL_GREY8, 2, 1);
  const RECT onePixel = {0x2000, 0, 0x6000, 0x4000};
  EXPECT_EQ(WuDibCopy(two.get(), nullptr, &onePixel, 0, grey.get(), nullptr, nullptr, 0, 3 | WUDIBCOPY_SUBPIXEL,
                      0.0, 0.0),
            E_INVALIDARG);
  // The colour table of a palette destination cannot be allocated.
  auto pal256 = MakeDib(WUPIXEL_PAL8, 4, 4, nullptr, 256);
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuDibCopy(pal256.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0, 0, 0.0, 0.0),
            E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  // Float rows off a 4-byte boundary: a source stride of 34 bytes, a
  // destination rows pointer one byte in.
  auto floats = Patterned(WUPIXEL_RGBA128F, 2, 2, 7);
  auto floatDst = MakeDib(WUPIXEL_RGBA128F, 2, 2);
  std::vector<BYTE> odd(72);
  const auto floatWas = Snapshot(floatDst.get());
  EXPECT_EQ(WuDibCopy(floatDst.get(), nullptr, nullptr, 0, floats.get(), odd.data(), nullptr, 34, 3, 0.0, 0.0),
            E_INVALIDARG);
  EXPECT_EQ(Snapshot(floatDst.get()), floatWas);
  EXPECT_EQ(WuDibCopy(floatDst.get(), odd.data() + 1, nullptr, 32, floats.get(), nullptr, nullptr, 0, 0, 0.0, 0.0),
            E_INVALIDARG);
  EXPECT_EQ(std::count(odd.begin(), odd.end(), 0), 72);
}

TEST(DibPrepareRects, ClippingTable) {
  auto dst = MakeDib(WUPIXEL_RGB24, 100, 50);
  auto src = MakeDib(WUPIXEL_RGB24, 80, 40);
  struct Case {
    const char* name;
    RECT dstIn;
    RECT srcIn;
    RECT dstOut;
    RECT srcOut;
    RECT deltas;
  } cases[] = {
      {"inside", {10, 10, 30, 20}, {0, 0, 20, 10}, {10, 10, 30, 20}, {0, 0, 20, 10}, {0, 0, 0, 0}},
      // A narrow 1:1 rectangle past the destination's right edge stays 1:1.
      {"narrow", {95, 0, 105, 10}, {0, 0, 10, 10}, {95, 0, 100, 10}, {0, 0, 5, 10}, {0, 0, 5, 0}},
      // Source cut on the left and top: the destination shrinks in proportion (x2).
      {"scaled", {0, 0, 40, 40}, {-5, -10, 15, 10}, {10, 20, 40, 40}, {0, 0, 15, 10}, {5, 10, 0, 0}},
      {"missing", {0, 0, 10, 10}, {80, 0, 90, 10}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {"touching", {-10, 0, 0, 10}, {0, 0, 10, 10}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    RECT d, s, deltas;
    WuDibPrepareRects(dst.get(), &d, &c.dstIn, src.get(), &s, &c.srcIn, &deltas);
    EXPECT_TRUE(EqualRectForTest(d, c.dstOut)) << c.name << " dst";
    EXPECT_TRUE(EqualRectForTest(s, c.srcOut)) << c.name << " src";
    EXPECT_TRUE(EqualRectForTest(deltas, c.deltas)) << c.name << " deltas";
  }
  // Defaults: the whole bitmaps; without a source rectangle the source
  // comes back whole and the deltas 0.
  RECT d, s, deltas = {1, 1, 1, 1};
  WuDibPrepareRects(dst.get(), &d, nullptr, src.get(), &s, nullptr, &deltas);
  EXPECT_TRUE(EqualRectForTest(d, RECT{0, 0, 100, 50}));
  EXPECT_TRUE(EqualRectForTest(s, RECT{0, 0, 80, 40}));
  EXPECT_TRUE(EqualRectForTest(deltas, RECT{0, 0, 0, 0}));
}

// Edge fade, left side, width 4, in 8-bit lanes: the amount is b - d, the
// edge keeps most of the destination; a clipped source counts the cut.
TEST(DibCopy, EdgeFade) {
  const DWORD flags = WUDIBCOPY_FADE_LEFT | (4u << 16);
  auto src = MakeDib(WUPIXEL_RGBA32, 8, 1);
  std::memset(WuDibGetBits(src.get()), 200, 32);
  auto run = [&](const RECT* srcRect, DWORD f) {
    auto dst = MakeDib(WUPIXEL_RGBA32, 8, 1);
    EXPECT_EQ(WuDibCopy(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, srcRect, 0, f, 0.0, 0.0), S_OK);
    std::vector<int> out;
    for (int x = 0; x < 8; ++x) out.push_back(Row(dst.get(), 0)[x * 4]);
    return out;
  };
  auto plain = run(nullptr, flags);
  // d = 0..3 fade, from d = 4 on the new pixel is whole.
  EXPECT_LT(plain[0], plain[1]);
  EXPECT_LT(plain[1], plain[2]);
  EXPECT_LT(plain[2], plain[3]);
  EXPECT_LT(plain[3], 200);
  EXPECT_LT(plain[0], 100);  // the edge keeps most of the old (0)
  for (int x = 4; x < 8; ++x) EXPECT_EQ(plain[x], 200);
  // Two columns cut off the source's left: the destination starts at
  // column 2, whose pixel lies at d = 2 of the requested edge.
  RECT cut = {-2, 0, 6, 1};
  auto clipped = run(&cut, flags);
  EXPECT_EQ(clipped[0], 0);
  EXPECT_EQ(clipped[2], plain[2]);
  EXPECT_EQ(clipped[3], plain[3]);
  EXPECT_EQ(clipped[4], 200);
  // Width 0: a plain copy.
  EXPECT_EQ(run(nullptr, WUDIBCOPY_FADE_LEFT), std::vector<int>(8, 200));

  // 32 -> 32 in float lanes: new + (old - new) * W / 65536.
  auto fsrc = MakeDib(WUPIXEL_RGBA128F, 4, 1);
  auto fdst = MakeDib(WUPIXEL_RGBA128F, 4, 1);
  float* fs = reinterpret_cast<float*>(Row(fsrc.get(), 0));
  float* fd = reinterpret_cast<float*>(Row(fdst.get(), 0));
  for (int i = 0; i < 16; ++i) fs[i] = 1.0f, fd[i] = 0.0f;
  ASSERT_EQ(WuDibCopy(fdst.get(), nullptr, nullptr, 0, fsrc.get(), nullptr, nullptr, 0,
                      WUDIBCOPY_FADE_RIGHT | (2u << 16), 0.0, 0.0),
            S_OK);
  const float unit = static_cast<float>(0xFFFF / 3);
  EXPECT_FLOAT_EQ(fd[3 * 4], 1.0f - 2 * unit / 65536.0f);
  EXPECT_FLOAT_EQ(fd[2 * 4], 1.0f - unit / 65536.0f);
  EXPECT_FLOAT_EQ(fd[1 * 4], 1.0f);
}

// Each side in float lanes: amount b - d from the enabled edges, the
// largest one winning; 0x2000 the first rows, 0x1000 the last, 0x4000 the
// first columns, 0x8000 the last.
TEST(DibCopy, EdgeFadeSides) {
  const DWORD sides[] = {WUDIBCOPY_FADE_TOP, WUDIBCOPY_FADE_BOTTOM, WUDIBCOPY_FADE_LEFT, WUDIBCOPY_FADE_RIGHT,
                         WUDIBCOPY_FADE_TOP | WUDIBCOPY_FADE_LEFT};
  const LONG n = 5, b = 2;
  for (DWORD side : sides) {
    auto src = MakeDib(WUPIXEL_RGBA128F, n, n), dst = MakeDib(WUPIXEL_RGBA128F, n, n);
    for (LONG y = 0; y < n; ++y)
      for (int i = 0; i < n * 4; ++i) reinterpret_cast<float*>(Row(src.get(), y))[i] = 1.0f;
    ASSERT_EQ(WuDibCopy(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                        side | (static_cast<DWORD>(b) << 16), 0.0, 0.0),
              S_OK);
    for (LONG y = 0; y < n; ++y)
      for (LONG x = 0; x < n; ++x) {
        LONG amount = 0;
        if (side & WUDIBCOPY_FADE_TOP) amount = std::max(amount, b - y);
        if (side & WUDIBCOPY_FADE_BOTTOM) amount = std::max(amount, b - (n - 1 - y));
        if (side & WUDIBCOPY_FADE_LEFT) amount = std::max(amount, b - x);
        if (side & WUDIBCOPY_FADE_RIGHT) amount = std::max(amount, b - (n - 1 - x));
        const float want = 1.0f - static_cast<float>(amount * (0xFFFF / (b + 1))) / 65536.0f;
        EXPECT_FLOAT_EQ(reinterpret_cast<const float*>(Row(dst.get(), y))[x * 4], want)
            << std::hex << side << std::dec << " " << x << "," << y;
      }
  }
}

// Scaling multiplies the edge width by the larger step and measures on
// source positions: 9 pixels onto 3 steps 4 source pixels, so an edge of
// width 1 reaches 4 source pixels; the middle destination pixel (source 4)
// is whole.
TEST(DibCopy, EdgeFadeWhenScaling) {
  auto src = MakeDib(WUPIXEL_RGBA128F, 9, 1), dst = MakeDib(WUPIXEL_RGBA128F, 3, 1);
  for (int i = 0; i < 36; ++i) reinterpret_cast<float*>(Row(src.get(), 0))[i] = 1.0f;
  ASSERT_EQ(WuDibCopy(dst.get(), nullptr, nullptr, 0, src.get(), nullptr, nullptr, 0,
                      3 | WUDIBCOPY_FADE_LEFT | (1u << 16), 0.0, 0.0),
            S_OK);
  const float* p = reinterpret_cast<const float*>(Row(dst.get(), 0));
  // b = 1 * 0x10000 / 0x4000 = 4; pixel 0 samples source 0 (amount 4).
  EXPECT_FLOAT_EQ(p[0], 1.0f - static_cast<float>(4 * (0xFFFF / 5)) / 65536.0f);
  EXPECT_FLOAT_EQ(p[4], 1.0f);
  EXPECT_FLOAT_EQ(p[8], 1.0f);
}

// Sub-pixel rectangles: whole multiples equal the whole-pixel copy; a
// half-pixel edge keeps half the old pixel unless flag bit 27 is set.
TEST(DibCopy, SubpixelEdges) {
  auto src = Patterned(WUPIXEL_RGB24, 6, 5, 8);
  const RECT whole = {1, 1, 5, 4}, q14 = {0x4000, 0x4000, 0x14000, 0x10000};
  auto a = MakeDib(WUPIXEL_RGB32, 7, 6), b = MakeDib(WUPIXEL_RGB32, 7, 6);
  ASSERT_EQ(WuDibCopy(a.get(), nullptr, &whole, 0, src.get(), nullptr, &whole, 0, 3, 0.0, 0.0), S_OK);
  ASSERT_EQ(WuDibCopy(b.get(), nullptr, &q14, 0, src.get(), nullptr, &q14, 0, 3 | WUDIBCOPY_SUBPIXEL, 0.0, 0.0),
            S_OK);
  EXPECT_EQ(Snapshot(a.get()), Snapshot(b.get()));

  auto flat = MakeDib(WUPIXEL_RGB24, 4, 1);
  std::memset(WuDibGetBits(flat.get()), 200, 12);
  const RECT srcQ = {0, 0, 0x10000, 0x4000}, dstQ = {0x2000, 0, 0x12000, 0x4000};
  for (DWORD extra : {0u, WUDIBCOPY_OVERWRITE}) {
    auto dst = MakeDib(WUPIXEL_RGB32, 6, 1);
    ASSERT_EQ(WuDibCopy(dst.get(), nullptr, &dstQ, 0, flat.get(), nullptr, &srcQ, 0,
                        3 | WUDIBCOPY_SUBPIXEL | extra, 0.0, 0.0),
              S_OK);
    const BYTE* p = Row(dst.get(), 0);
    int edge = extra ? 200 : 99;  // 200 * (0x2000 * 255 / 0x4000) / 256
    EXPECT_EQ(p[0], edge) << extra;
    EXPECT_EQ(p[4], 200);
    EXPECT_EQ(p[12], 200);
    EXPECT_EQ(p[16], edge) << extra;
    EXPECT_EQ(p[20], 0);
  }
  // Scaled (4 pixels onto 8.5): every fully covered pixel takes the flat
  // colour, the half-covered last one half of it.
  {
    auto dst = MakeDib(WUPIXEL_RGB32, 10, 1);
    const RECT wide = {0, 0, 0x22000, 0x4000};
    ASSERT_EQ(WuDibCopy(dst.get(), nullptr, &wide, 0, flat.get(), nullptr, &srcQ, 0, 3 | WUDIBCOPY_SUBPIXEL,
                        0.0, 0.0),
              S_OK);
    const BYTE* p = Row(dst.get(), 0);
    for (int x = 0; x < 8; ++x) EXPECT_EQ(p[x * 4], 200) << x;
    EXPECT_EQ(p[8 * 4], 99);
    EXPECT_EQ(p[9 * 4], 0);
  }
  // A rectangle under one pixel copies nothing and succeeds.
  auto dst = MakeDib(WUPIXEL_RGB32, 6, 1);
  const RECT tiny = {0x1000, 0, 0x3000, 0x4000};
  EXPECT_EQ(WuDibCopy(dst.get(), nullptr, &dstQ, 0, flat.get(), nullptr, &tiny, 0, 3 | WUDIBCOPY_SUBPIXEL, 0.0,
                      0.0),
            S_OK);
  EXPECT_EQ(Snapshot(dst.get()), std::vector<BYTE>(24, 0));
}

// A palette bitmap whose biClrUsed is below its depth's 256 indexes: an
// index past the entries reads black in every operation that fetches it,
// never the bytes after the table (the rows, or past the block).
TEST(DibCopy, IndexesPastAShortColourTableReadBlack) {
  const RGBQUAD two[2] = {{10, 20, 30, 0}, {40, 50, 60, 0}};
  auto pal = MakeDib(WUPIXEL_PAL8, 4, 1, two, 2);
  const BYTE indexes[4] = {0, 1, 2, 255};
  std::memcpy(Row(pal.get(), 0), indexes, 4);
  const BYTE want[4][3] = {{10, 20, 30}, {40, 50, 60}, {0, 0, 0}, {0, 0, 0}};
  auto check = [&](const BITMAPINFOHEADER* dst, int step, const char* what) {
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(std::memcmp(Row(dst, 0) + x * step * 4, want[x], 3), 0) << what << " " << x;
  };
  // The same-size walk, a scaled walk (each pixel twice) and a sub-pixel copy.
  auto same = MakeDib(WUPIXEL_RGB32, 4, 1);
  ASSERT_EQ(WuDibCopy(same.get(), nullptr, nullptr, 0, pal.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
  check(same.get(), 1, "same size");
  auto wide = MakeDib(WUPIXEL_RGB32, 8, 1);
  ASSERT_EQ(WuDibCopy(wide.get(), nullptr, nullptr, 0, pal.get(), nullptr, nullptr, 0, 0, 0.0, 0.0), S_OK);
  check(wide.get(), 2, "scaled");
  auto sub = MakeDib(WUPIXEL_RGB32, 4, 1);
  ASSERT_EQ(WuDibCopy(sub.get(), nullptr, nullptr, 0, pal.get(), nullptr, nullptr, 0, 3 | WUDIBCOPY_SUBPIXEL,
                      0.0, 0.0),
            S_OK);
  check(sub.get(), 1, "sub-pixel");
  // A single pixel.
  WORD lanes[4];
  ASSERT_EQ(WuDibGetPixel(pal.get(), nullptr, 0, 3, 0, reinterpret_cast<BYTE*>(lanes)), S_OK);
  EXPECT_EQ(lanes[0] | lanes[1] | lanes[2], 0);
}

// Scaled copies read nothing outside the source's rows: every source type
// into destinations of each lane form, one-column sources, growing and
// shrinking, at every sampling mode (whole pixels, bilinear, bicubic, edge
// fade, fractional rectangles). The source rows lie against inaccessible
// pages, first ending at one, then starting after one, so that a read of
// the neighbour past the last column faults in every build.
TEST(DibCopy, ScaledCopiesReadOnlyTheSourceRows) {
  struct Sizes {
    SIZE src, dst;
  };
  const Sizes sizes[] = {{{2, 6}, {4, 5}}, {{10, 10}, {7, 7}}, {{1, 3}, {3, 4}},
                         {{8, 5}, {3, 3}}, {{3, 2}, {16, 4}}, {{100, 50}, {50, 100}}};
  const WUPIXELTYPE dstTypes[] = {WUPIXEL_GREY1, WUPIXEL_GREY16, WUPIXEL_PAL8,
                                  WUPIXEL_RGB24, WUPIXEL_RGBA32, WUPIXEL_RGBA128F};
  const DWORD modes[] = {0, 3, 3 | WUDIBCOPY_BICUBIC, 3 | WUDIBCOPY_EDGES | (2u << 16),
                         3 | WUDIBCOPY_SUBPIXEL};
  struct Case {
    WUPIXELTYPE src, dst;
    Sizes size;
    DWORD flags;
    bool guardAfter;
  };
  std::vector<Case> cases;
  for (int s = 16; s <= 32; ++s)
    for (const Sizes& z : sizes)
      for (bool after : {true, false})
        for (WUPIXELTYPE d : dstTypes)
          for (DWORD f : modes) cases.push_back({static_cast<WUPIXELTYPE>(s), d, z, f, after});
  // One guarded source serves the cases that share it.
  std::unique_ptr<wutest::GuardedDib> src;
  const Case* made = nullptr;
  auto run = [&](int i) {
    const Case& c = cases[static_cast<size_t>(i)];
    if (made == nullptr || made->src != c.src || made->size.src.cx != c.size.src.cx ||
        made->size.src.cy != c.size.src.cy || made->guardAfter != c.guardAfter) {
      src = std::make_unique<wutest::GuardedDib>(c.src, c.size.src.cx, c.size.src.cy, c.guardAfter,
                                                 PaletteSize(c.src), static_cast<uint32_t>(i));
      made = &c;
    }
    auto dst = MakeDib(c.dst, c.size.dst.cx, c.size.dst.cy, nullptr, c.dst == WUPIXEL_PAL8 ? 4 : 0);
    if (!src->ok() || !dst) _exit(4);
    // Fractional destination edges: half a pixel in on every side.
    const RECT q14 = {0x2000, 0x2000, c.size.dst.cx * 0x4000 - 0x2000,
                      c.size.dst.cy * 0x4000 - 0x2000};
    const RECT* dstRect = (c.flags & WUDIBCOPY_SUBPIXEL) ? &q14 : nullptr;
    WuDibCopy(dst.get(), nullptr, dstRect, 0, src->header(), src->rows(), nullptr, src->stride(),
              c.flags, 0.0, 0.0);
  };
  const int failed = wutest::CaseThatFaults(static_cast<int>(cases.size()), run);
  if (failed >= 0) {
    const Case& c = cases[static_cast<size_t>(failed)];
    ADD_FAILURE() << "read outside the source rows: type " << c.src << " " << c.size.src.cx << "x"
                  << c.size.src.cy << " to type " << c.dst << " " << c.size.dst.cx << "x"
                  << c.size.dst.cy << ", flags 0x" << std::hex << c.flags
                  << (c.guardAfter ? ", past a row's end" : ", before a row's start");
  } else {
    EXPECT_EQ(failed, -1) << "the cases did not run";
  }
}

}  // namespace
