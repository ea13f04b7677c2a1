// Planar YUV to 32-bit pixels: colours, matrix choice, size rules, the
// interlaced row pairing and the SSE2 kernels against the plain ones.
#include "imaging/WuYuvPlanar.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "YuvFixture.h"
#include "foundation/WuSystem.h"
#include "imaging/WuYuvKernels.h"

namespace {

using yuvtest::Guarded;

// A 4:2:0 frame with packed planes.
struct Frame420 {
  int w, h;
  std::vector<BYTE> y, u, v;
  Frame420(int width, int height, BYTE luma, BYTE cb, BYTE cr)
      : w(width), h(height), y(width * height, luma), u((width / 2) * (height / 2), cb),
        v((width / 2) * (height / 2), cr) {}
};

typedef HRESULT (*Export420)(int, int, BYTE*, LONG, const BYTE*, LONG, const BYTE*, LONG,
                             const BYTE*, LONG, WUINTERLACETYPE, LONG);

struct ExportCase {
  const char* name;
  Export420 fn;
  int xDiv, yDiv;  // output size = (w / xDiv, h / yDiv)
};
const ExportCase kExports[] = {
    {"full", WuYUV420ToRGBA, 1, 1},
    {"halfHorz", WuYUV420ToRGBA_HalfHorz, 2, 1},
    {"halfBlend", WuYUV420ToRGBA_Half_BlendFields, 2, 2},
    {"half", WuYUV420ToRGBA_Half, 2, 2},
    {"quarterHorzHalfVert", WuYUV420ToRGBA_QuarterHorz_HalfVert_BlendFields, 4, 2},
    {"quarterBlend", WuYUV420ToRGBA_Quarter_BlendFields, 4, 4},
    {"quarter", WuYUV420ToRGBA_Quarter, 4, 4},
};

// Runs an export on a frame into a fresh output; returns the first pixel.
std::array<BYTE, 4> First(const ExportCase& c, const Frame420& f, WUINTERLACETYPE il, LONG code,
                          std::vector<BYTE>* out = nullptr) {
  std::vector<BYTE> dst(4 * (f.w / c.xDiv) * (f.h / c.yDiv), 7);
  EXPECT_EQ(c.fn(f.w, f.h, dst.data(), 4 * (f.w / c.xDiv), f.y.data(), f.w, f.u.data(), f.w / 2,
                 f.v.data(), f.w / 2, il, code),
            S_OK)
      << c.name;
  if (out) *out = dst;
  return {dst[0], dst[1], dst[2], dst[3]};
}

TEST(YuvPlanar, NeutralChromaIsGreyInEveryKernelBothTablesBothPaths) {
  for (DWORD cpu : {0u, 0x40u}) {
    WuYUV_ResetKernelChoices();
    if (cpu == 0) WuDisallowCPUSupport(0x40);
    for (const ExportCase& c : kExports)
      for (LONG code : {515, 516})
        for (WUINTERLACETYPE il : {0, 1})
          for (BYTE luma : {16, 235}) {
            const Frame420 f(16, 16, luma, 128, 128);
            std::vector<BYTE> out;
            First(c, f, il, code, &out);
            for (size_t i = 0; i < out.size(); i += 4) {
              ASSERT_EQ(out[i], luma) << c.name << " code " << code << " il " << il;
              ASSERT_EQ(out[i + 1], luma);
              ASSERT_EQ(out[i + 2], luma);
              ASSERT_EQ(out[i + 3], 255);
            }
          }
    WuAllowCPUSupport(0x40);
  }
  WuYUV_ResetKernelChoices();
}

TEST(YuvPlanar, ColoursOfBothTables) {
  const ExportCase& full = kExports[0];
  struct Case {
    BYTE y, u, v;
    LONG code;
    std::array<BYTE, 4> bgra;
  } cases[] = {
      {16, 128, 255, 515, {16, 0, 190, 255}},
      {255, 255, 128, 515, {255, 212, 255, 255}},  // blue and red clamp
      {100, 200, 50, 516, {231, 123, 0, 255}},
      {100, 200, 50, 515, {225, 130, 0, 255}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(First(full, Frame420(8, 4, c.y, c.u, c.v), 0, c.code), c.bgra) << int(c.y);
    // The packed 4:2:2 row kernel gives the same colours.
    std::vector<BYTE> y(8 * 2, c.y), u(4 * 2, c.u), v(4 * 2, c.v), dst(8 * 2 * 4);
    ASSERT_EQ(WuYUV422PlanarToRGBA(8, 2, dst.data(), 32, y.data(), 8, u.data(), 4, v.data(), 4,
                                   c.code),
              S_OK);
    EXPECT_EQ((std::array<BYTE, 4>{dst[60], dst[61], dst[62], dst[63]}), c.bgra);
  }
  EXPECT_EQ(First(full, Frame420(8, 4, 255, 255, 128), 0, 515)[0], 255);
}

TEST(YuvPlanar, MatrixFollowsCodeOrHeight) {
  const std::array<BYTE, 4> bt601 = {225, 130, 0, 255}, bt709 = {231, 123, 0, 255};
  struct Case {
    LONG code;
    int height;
    std::array<BYTE, 4> bgra;
  } cases[] = {{0, 718, bt601}, {0, 720, bt709}, {515, 1080, bt601}, {516, 480, bt709}};
  for (const Case& c : cases)
    EXPECT_EQ(First(kExports[0], Frame420(2, c.height, 100, 200, 50), 0, c.code), c.bgra)
        << c.code << " " << c.height;
}

TEST(YuvPlanar, SizeRulesRefuseAndWriteNothing) {
  struct Case {
    int exportIndex;
    int w, h;
    WUINTERLACETYPE il;
    HRESULT expected;
  } cases[] = {
      {0, 7, 4, 0, E_INVALIDARG},  {0, 8, 5, 0, E_INVALIDARG},  {1, 7, 4, 0, E_INVALIDARG},
      {1, 8, 5, 1, E_INVALIDARG},  {2, 8, 3, 0, E_INVALIDARG},  {3, 9, 8, 0, E_INVALIDARG},
      {3, 8, 9, 1, E_INVALIDARG},  {3, 8, 6, 1, E_INVALIDARG},  {4, 6, 8, 0, E_INVALIDARG},
      {4, 8, 7, 0, E_INVALIDARG},  {5, 6, 8, 0, E_INVALIDARG},  {5, 8, 6, 0, E_INVALIDARG},
      {6, 6, 8, 0, E_INVALIDARG},  {6, 8, 9, 1, E_INVALIDARG},  {6, 8, 6, 1, E_INVALIDARG},
      {0, -2, 4, 0, E_INVALIDARG}, {3, 8, -4, 1, E_INVALIDARG}, {6, -8, 8, 0, E_INVALIDARG},
      {0, 0, 4, 0, S_OK},          {5, 8, 0, 0, S_OK},          {3, 0, 0, 1, S_OK},
  };
  for (const Case& c : cases) {
    const ExportCase& e = kExports[c.exportIndex];
    Guarded planes(4096, 128), dst(4096);
    EXPECT_EQ(e.fn(c.w, c.h, dst.data(), 64, planes.data(), 16, planes.data(), 8, planes.data(),
                   8, c.il, 515),
              c.expected)
        << e.name << " " << c.w << "x" << c.h << " il " << c.il;
    EXPECT_TRUE(dst.AllEqual(Guarded::kFill)) << e.name;
  }
  Guarded planes(4096, 128), dst(4096);
  EXPECT_EQ(WuYUV422PlanarToRGBA(7, 2, dst.data(), 64, planes.data(), 16, planes.data(), 8,
                                 planes.data(), 8, 515),
            E_INVALIDARG);
  EXPECT_EQ(WuYUV422PlanarToRGBA(8, -1, dst.data(), 64, planes.data(), 16, planes.data(), 8,
                                 planes.data(), 8, 515),
            E_INVALIDARG);
  EXPECT_TRUE(dst.AllEqual(Guarded::kFill));
}

// Blue of a grey-luma pixel whose chroma row has Cb `u` (BT.601-type,
// neutral Cr), by the full kernel's formula.
int BlueOf(int luma, int u) {
  const int t = (28384 * u - 3624960) >> 14;
  const int b = luma + t;
  return b < 0 ? 0 : (b > 255 ? 255 : b);
}

TEST(YuvPlanar, InterlacedRowPairsAndProgressiveTail) {
  // Six lines: chroma rows 0, 1, 2 carry distinct Cb values; the planes
  // are exactly as large as the frame, so a read past them is caught.
  const BYTE cb[3] = {60, 150, 240};
  for (DWORD cpu : {0u, 0x40u}) {
    WuYUV_ResetKernelChoices();
    if (cpu == 0) WuDisallowCPUSupport(0x40);
    Frame420 f(16, 6, 120, 0, 128);
    for (int r = 0; r < 3; ++r)
      for (int x = 0; x < 8; ++x) f.u[r * 8 + x] = cb[r];
    std::vector<BYTE> out;
    First(kExports[0], f, 2, 515, &out);
    const int chromaOfLine[6] = {0, 1, 0, 1, 2, 2};
    for (int line = 0; line < 6; ++line)
      EXPECT_EQ(out[line * 64], BlueOf(120, cb[chromaOfLine[line]])) << "line " << line;
    // Half-horizontal: same pairing, one output row per line.
    First(kExports[1], f, 1, 515, &out);
    for (int line = 0; line < 6; ++line) {
      const int t = (28384 * cb[chromaOfLine[line]] - 3624960) >> 13;
      EXPECT_EQ(out[line * 32], std::min(255, std::max(0, (240 + t) >> 1))) << "line " << line;
    }
    // Half-blend: rows (0, 1) of the first group, then the tail row 2 twice.
    First(kExports[2], f, 1, 515, &out);
    const int blend[3][2] = {{0, 1}, {0, 1}, {2, 2}};
    for (int r = 0; r < 3; ++r) {
      const int t = (28384 * (cb[blend[r][0]] + cb[blend[r][1]]) - 2 * 3624960) >> 13;
      EXPECT_EQ(out[r * 32], std::min(255, std::max(0, (480 + t) >> 2))) << "row " << r;
    }
    // Quarter-horizontal-half-vertical: the same chroma rows.
    First(kExports[4], f, 1, 515, &out);
    for (int r = 0; r < 3; ++r) {
      const int t = (28384 * 2 * (cb[blend[r][0]] + cb[blend[r][1]]) - 4 * 3624960) >> 13;
      EXPECT_EQ(out[r * 16], std::min(255, std::max(0, (960 + t) >> 3))) << "row " << r;
    }
    WuAllowCPUSupport(0x40);
  }
  WuYUV_ResetKernelChoices();
  // Two lines: the single pair uses chroma row 0.
  Frame420 f(4, 2, 120, 60, 128);
  EXPECT_EQ(First(kExports[0], f, 1, 515)[0], BlueOf(120, 60));
}

TEST(YuvPlanar, InterlacedHalfReadsFirstFieldOnly) {
  // Odd lines and odd chroma rows hold values that would show.
  Frame420 f(8, 8, 100, 128, 128);
  for (int line = 1; line < 8; line += 2)
    for (int x = 0; x < 8; ++x) f.y[line * 8 + x] = 250;
  for (int r = 1; r < 4; r += 2)
    for (int x = 0; x < 4; ++x) f.u[r * 4 + x] = f.v[r * 4 + x] = 255;
  for (const ExportCase* c : {&kExports[3], &kExports[6]}) {
    Guarded dst(4 * 8 * 8);
    ASSERT_EQ(c->fn(8, 8, dst.data(), 16, f.y.data(), 8, f.u.data(), 4, f.v.data(), 4, 1, 515),
              S_OK);
    const int rows = 8 / c->yDiv, cols = 8 / c->xDiv;
    for (int r = 0; r < rows; ++r)
      for (int x = 0; x < cols; ++x)
        for (int ch = 0; ch < 3; ++ch) ASSERT_EQ(dst[r * 16 + 4 * x + ch], 100) << c->name;
    EXPECT_EQ(dst[rows * 16], Guarded::kFill) << c->name << ": no row past the output";
  }
}

TEST(YuvPlanar, Sse2KernelsEqualPlainByteForByte) {
  for (int kind = 0; kind < WUYUV420_KINDS; ++kind) {
    const int wStep = kind >= WUYUV420_QUARTERHORZ_HALFVERT ? 4 : 2;
    const int hStep = kind == WUYUV420_QUARTERBLEND ? 4 : 2;
    for (int w = wStep; w <= 34; w += wStep)
      for (int h = hStep; h <= 12; h += hStep)
        for (WUINTERLACETYPE il : {0, 2})
          for (const WUYUVMATRIXF* m : {&g_WuYUVMatrixF601, &g_WuYUVMatrixF709}) {
            std::vector<BYTE> y(w * h), u((w / 2) * (h / 2)), v(u.size());
            yuvtest::FillRandom(y.data(), y.size(), w * 131 + h);
            yuvtest::FillRandom(u.data(), u.size(), w * 7 + h * 3 + 1);
            yuvtest::FillRandom(v.data(), v.size(), w * 5 + h * 11 + 2);
            std::vector<BYTE> a(4 * w * h, 9), b(4 * w * h, 9);
            const LONG ds = 4 * w;
            ASSERT_EQ(WuYUV420_PlainKernel(static_cast<WUYUV420KIND>(kind))(
                          w, h, a.data(), ds, y.data(), w, u.data(), w / 2, v.data(), w / 2, il,
                          &m->ints),
                      S_OK);
            ASSERT_EQ(WuYUV420_Sse2Kernel(static_cast<WUYUV420KIND>(kind))(
                          w, h, b.data(), ds, y.data(), w, u.data(), w / 2, v.data(), w / 2, il,
                          &m->ints),
                      S_OK);
            ASSERT_EQ(a, b) << "kind " << kind << " " << w << "x" << h << " il " << il;
          }
  }
}

TEST(YuvPlanar, KernelTableFollowsSse2Flag) {
  WuYUV_ResetKernelChoices();
  WuDisallowCPUSupport(0x40);
  WuYUV420_InitKernels();
  EXPECT_EQ(WuYUV420_GetKernel(WUYUV420_FULL), WuYUV420_PlainKernel(WUYUV420_FULL));
  WuAllowCPUSupport(0x40);
  EXPECT_EQ(WuYUV420_GetKernel(WUYUV420_FULL), WuYUV420_PlainKernel(WUYUV420_FULL))
      << "the choice is kept until reset";
  WuYUV_ResetKernelChoices();
  WuYUV420_InitKernels();
  EXPECT_EQ(WuYUV420_GetKernel(WUYUV420_QUARTERBLEND),
            WuYUV420_Sse2Kernel(WUYUV420_QUARTERBLEND));
}

}  // namespace

namespace {

TEST(YuvPlanar, Wide422LinesEqualPlain) {
  for (int w = 2; w <= 34; w += 2)
    for (LONG code : {515, 516}) {
      const int h = 3;
      std::vector<BYTE> y(w * h), u((w / 2) * h), v(u.size());
      yuvtest::FillRandom(y.data(), y.size(), w);
      yuvtest::FillRandom(u.data(), u.size(), w + 50);
      yuvtest::FillRandom(v.data(), v.size(), w + 90);
      std::vector<BYTE> out[2];
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0) WuDisallowCPUSupport(0x40);
        out[pass].assign(4 * w * h, 0);
        ASSERT_EQ(WuYUV422PlanarToRGBA(w, h, out[pass].data(), 4 * w, y.data(), w, u.data(),
                                       w / 2, v.data(), w / 2, code),
                  S_OK);
        WuAllowCPUSupport(0x40);
      }
      ASSERT_EQ(out[0], out[1]) << w;
    }
}

}  // namespace
