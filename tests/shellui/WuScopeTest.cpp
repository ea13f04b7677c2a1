// The phase scope: geometry, messages, the pixel rules of the plot modes,
// fade and overlay, the backdrops and their run list, both math sets,
// hostile input, and the window form.
#include "shellui/WuScope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "foundation/WuUIFont.h"
#include "imaging/WuPngWrite.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/user/dialogs.h"
#include "shellui/WuScopeDraw.h"

namespace {

constexpr float kPi = 3.14159274f;

// A hosted scope on bounds (0, 0, size, size), without a host window.
struct Scope {
  tSCOPEINST inst;
  explicit Scope(DWORD style, int size = 21) {
    ScopeInst_Init(&inst, style, nullptr, nullptr, 7);
    RECT r = {0, 0, size, size};
    ScopeInst_Move(&inst, &r);
  }
  ~Scope() { ScopeInst_Deinit(&inst); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

  int W() const { return inst.header.biWidth; }
  int H() const { return inst.header.biHeight; }
  const BYTE* Px(int x, int y) const { return inst.topRow + y * inst.rowStep + 4 * x; }
  BYTE I(int x, int y) const { return Px(x, y)[3]; }
  uint32_t Colour(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, Px(x, y), 4);
    return v;
  }
  std::vector<BYTE> Image() const {
    size_t bytes = static_cast<size_t>(-inst.rowStep) * H();
    return std::vector<BYTE>(inst.bits, inst.bits + bytes);
  }
  void SetFade(float v) { ScopeInst_SetFade(&inst, &v); }
  void Plot(std::vector<float> xy, int stride = 2) {
    tSCOPEPLOT block = {xy.data(), static_cast<int32_t>(xy.size() / stride), 0, 1, stride};
    ScopeInst_SetPos(&inst, &block);
  }
};

// The image a plot that draws nothing leaves with fade 0: the backdrop
// overlaid on black.
std::vector<BYTE> EmptyPlot(DWORD style, int size = 21) {
  Scope s(style, size);
  s.Plot({});
  return s.Image();
}

// ---- Geometry ----

TEST(WuScopeGeometry, SideImageAndPlotRectangle) {
  struct Case {
    RECT bounds;
    DWORD style;
    RECT plot;
    LONG image;
  } cases[] = {
      {{0, 0, 10, 10}, 0, {2, 2, 5, 5}, 3},
      {{0, 0, 11, 11}, 0, {2, 2, 7, 7}, 5},
      {{5, 8, 15, 18}, 0, {7, 10, 10, 13}, 3},
      {{0, 0, 30, 20}, 0, {2, 2, 15, 15}, 13},                  // top-left without centring
      {{0, 0, 30, 20}, SCOPES_CENTER, {8, 3, 21, 16}, 13},      // (30 - 17) / 2, (20 - 17) / 2
      {{0, 0, 20, 31}, SCOPES_CENTER, {3, 9, 16, 22}, 13},
      {{3, 3, 3, 3}, 0, {5, 5, 6, 6}, 1},                       // empty -> 7 x 7 -> side 5
  };
  for (const Case& c : cases) {
    tSCOPEINST inst;
    ScopeInst_Init(&inst, c.style, nullptr, nullptr, 0);
    EXPECT_EQ(ScopeInst_Move(&inst, &c.bounds), 1);
    EXPECT_TRUE(EqualRect(&inst.plot, &c.plot))
        << c.bounds.right << "x" << c.bounds.bottom << ": " << inst.plot.left << ","
        << inst.plot.top << "," << inst.plot.right << "," << inst.plot.bottom;
    EXPECT_EQ(inst.imageWidth, c.image);
    EXPECT_EQ(inst.imageHeight, c.image);
    EXPECT_EQ(inst.header.biWidth, c.image);
    EXPECT_EQ(inst.header.biHeight, c.image);
    ScopeInst_Deinit(&inst);
  }
}

TEST(WuScopeGeometry, MoveWidensEmptyBoundsAndKeepsEqualOnes) {
  tSCOPEINST inst;
  ScopeInst_Init(&inst, 0, nullptr, nullptr, 0);
  RECT expected = {0, 0, 7, 7};
  EXPECT_TRUE(EqualRect(&inst.bounds, &expected)) << "init widens the empty bounds";
  RECT zero = {0, 0, 0, 0};
  EXPECT_EQ(ScopeInst_Move(&inst, &zero), 1);
  EXPECT_TRUE(EqualRect(&inst.bounds, &expected));
  RECT r = {0, 0, 40, 40};
  EXPECT_EQ(ScopeInst_Move(&inst, &r), 1);
  EXPECT_EQ(inst.boundsWidth, 40);
  EXPECT_EQ(inst.imageWidth, 33);
  // Bounds too small for an image: the rebuild fails.
  RECT tiny = {0, 0, 4, 4};
  EXPECT_EQ(ScopeInst_Move(&inst, &tiny), 0);
  ScopeInst_Deinit(&inst);
}

// ---- Messages ----

TEST(WuScopeMessages, StoredValuesAndResults) {
  Scope s(0x12340000 | SCOPES_CENTER);
  tSCOPEINST& inst = s.inst;
  EXPECT_EQ(ScopeInst_GetStyle(&inst), SCOPES_CENTER) << "only the low word";
  EXPECT_EQ(ScopeInst_GetCount(&inst), 1);

  float fade = 0.81f;
  EXPECT_EQ(ScopeInst_SetFade(&inst, &fade), 0);
  EXPECT_NEAR(inst.fade, 0.9f, 1e-6);

  EXPECT_EQ(ScopeInst_SetEnabled(&inst, TRUE), 0);
  EXPECT_EQ(ScopeInst_SetEnabled(&inst, TRUE), -1) << "-1, not 1, when it was set";
  EXPECT_EQ(ScopeInst_SetEnabled(&inst, FALSE), -1);
  EXPECT_EQ(ScopeInst_SetEnabled(&inst, FALSE), 0);

  float range = 2.5f;
  EXPECT_EQ(ScopeInst_SetRange(&inst, &range), 0);
  EXPECT_EQ(inst.range, 2.5f);
  int table[3] = {};
  ScopeInst_SetColors(&inst, 3, table);
  ScopeInst_SetTicks(&inst, 2, table + 1);
  EXPECT_EQ(inst.colors, table);
  EXPECT_EQ(inst.colorCount, 3);
  EXPECT_EQ(inst.ticks, table + 1);
  EXPECT_EQ(inst.tickCount, 2);

  EXPECT_EQ(ScopeInst_SetCount(&inst, 12, TRUE), 12);
  EXPECT_EQ(ScopeInst_GetCount(&inst), 12);
  EXPECT_EQ(ScopeInst_SetCount(&inst, 12, FALSE), 12);

  EXPECT_EQ(ScopeInst_SetStyle(&inst, SCOPES_MIDSIDE | SCOPES_FASTMATH, TRUE),
            SCOPES_CENTER | SCOPES_MIDSIDE | SCOPES_FASTMATH);
  EXPECT_EQ(inst.sine, ScopeFastSine);
  EXPECT_EQ(inst.style >> 16, 0x1234u) << "window styles kept";
  EXPECT_EQ(ScopeInst_SetStyle(&inst, SCOPES_FASTMATH, FALSE), SCOPES_CENTER | SCOPES_MIDSIDE);
  EXPECT_EQ(inst.sine, ScopeExactSine);

  // Unlisted private messages, the same style again and null pointers
  // change nothing.
  std::vector<BYTE> before(reinterpret_cast<BYTE*>(&inst), reinterpret_cast<BYTE*>(&inst + 1));
  std::vector<BYTE> image = s.Image();
  for (UINT m = 0x614; m <= 0x618; ++m) EXPECT_EQ(ScopeInst_Message(&inst, m, 1, 1), 0) << m;
  EXPECT_EQ(ScopeInst_Message(&inst, 0x7FF, 1, 1), 0);
  EXPECT_EQ(ScopeInst_SetStyle(&inst, SCOPES_MIDSIDE, TRUE), SCOPES_CENTER | SCOPES_MIDSIDE);
  EXPECT_EQ(ScopeInst_SetPos(&inst, nullptr), 0);
  EXPECT_EQ(ScopeInst_SetRange(&inst, nullptr), 0);
  EXPECT_EQ(ScopeInst_SetFade(&inst, nullptr), 0);
  EXPECT_EQ(before, std::vector<BYTE>(reinterpret_cast<BYTE*>(&inst),
                                      reinterpret_cast<BYTE*>(&inst + 1)));
  EXPECT_EQ(image, s.Image());

  // Hosted forms of the window messages.
  EXPECT_EQ(ScopeInst_Message(&inst, WM_NCHITTEST, 0, 0), -1);
  ScopeInst_Message(&inst, WM_SETFONT, 0x1234, 0);
  EXPECT_EQ(ScopeInst_Message(&inst, WM_GETFONT, 0, 0), 0x1234);
  EXPECT_EQ(ScopeInst_Message(&inst, WM_PAINT, 0, 0), 0);
}

TEST(WuScopeMessages, SetOwnerOnlyForHostedInstances) {
  Scope s(0);
  HWND fake = reinterpret_cast<HWND>(0x5678);
  EXPECT_EQ(ScopeInst_SetOwnerHwnd(&s.inst, fake), &s.inst);
  EXPECT_EQ(s.inst.window, fake);
  EXPECT_EQ(s.inst.notifyWindow, fake);
  EXPECT_EQ(ScopeInst_SetOwnerHwnd(nullptr, fake), nullptr);
  s.inst.state &= ~SCOPE_STATE_HOSTED;
  ScopeInst_SetOwnerHwnd(&s.inst, nullptr);
  EXPECT_EQ(s.inst.window, fake) << "a window instance is left alone";
  s.inst.state |= SCOPE_STATE_HOSTED;
}

// ---- Pixel rules ----

// Expected bytes of a trace pixel of intensity i over backdrop colour c
// after the overlay without trail (fade 0): c * (255 - i) >> 8 added.
uint32_t OverBackdrop(int i, uint32_t c) {
  int f = 255 - i;
  int cb = c & 0xFF, cg = (c >> 8) & 0xFF, cr = (c >> 16) & 0xFF;
  int b = (i >> 2) + ((cb * f) >> 8), g = i + ((cg * f) >> 8), r = (cr * f) >> 8;
  return static_cast<uint32_t>(b | g << 8 | r << 16 | i << 24);
}

TEST(WuScopePixels, XyDotAtTheCentreAndOffTheImage) {
  Scope s(0);
  const int c = s.W() / 2;
  std::vector<uint32_t> backdrop;
  const int pts[5][2] = {{c, c}, {c - 1, c}, {c + 1, c}, {c, c - 1}, {c, c + 1}};
  for (auto& p : pts) backdrop.push_back(s.Colour(p[0], p[1]));
  EXPECT_EQ(backdrop[0], 0xC8C8C8u) << "the light crosshair crosses the centre";
  s.Plot({0.0f, 0.0f});
  EXPECT_EQ(s.Colour(c, c), OverBackdrop(110, backdrop[0]));
  for (int k = 1; k < 5; ++k)
    EXPECT_EQ(s.Colour(pts[k][0], pts[k][1]), OverBackdrop(55, backdrop[k])) << k;
  EXPECT_EQ(s.I(c - 2, c), 0);

  s.Plot({1.0f, 1.0f});
  EXPECT_EQ(s.Image(), EmptyPlot(0)) << "(1, 1) lands right of the image";
}

TEST(WuScopePixels, NothingDrawnCases) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* name;
    DWORD style;
    std::vector<float> xy;
  } cases[] = {
      {"polar silence", SCOPES_POLAR, {0, 0, 1e-12f, -1e-12f}},
      {"polar blanked sector", SCOPES_POLAR, {-0.3f, -0.6f, 0.0f, -0.5f, -0.5f, -0.5f}},
      {"polar fast blanked sector", SCOPES_POLAR | SCOPES_FASTMATH, {-0.3f, -0.6f, -0.5f, -0.5f}},
      {"half-plane silence", SCOPES_HALFPLANE, {0, 0, 1e-12f, 1e-12f}},
      {"xy off the image", 0, {1.0f, 1.0f, -1.2f, 0.0f, 0.0f, -1.2f}},
      {"nan", 0, {nan, 0.0f, 0.0f, nan}},
      {"nan mid-side", SCOPES_MIDSIDE, {nan, 0.0f}},
      {"nan polar", SCOPES_POLAR, {nan, 0.5f}},
      {"inf", 0, {inf, 0.0f, -inf, 0.0f, 0.0f, inf}},
      {"inf fold", SCOPES_FOLD, {inf, 0.2f}},
      {"inf half-plane", SCOPES_HALFPLANE, {-inf, 0.2f}},
      {"huge", 0, {1e30f, 0.0f, 0.0f, -1e30f}},
      {"huge mid-side", SCOPES_MIDSIDE | SCOPES_FASTMATH, {1e30f, 1e30f, -1e30f, 3e38f}},
  };
  for (const Case& c : cases) {
    Scope s(c.style);
    s.Plot(c.xy);
    EXPECT_EQ(s.Image(), EmptyPlot(c.style)) << c.name;
  }
  // Frame counts of 0 and below, and a null sample pointer.
  Scope s(0);
  float xy[2] = {0, 0};
  for (tSCOPEPLOT block : {tSCOPEPLOT{xy, 0, 0, 1, 2}, tSCOPEPLOT{xy, -5, 0, 1, 2},
                           tSCOPEPLOT{nullptr, 4, 0, 1, 2}}) {
    ScopeInst_SetPos(&s.inst, &block);
    EXPECT_EQ(s.Image(), EmptyPlot(0));
  }
}

TEST(WuScopePixels, TinyValuesCountAsZero) {
  for (DWORD style : {0u, SCOPES_MIDSIDE, SCOPES_HALFPLANE}) {
    Scope a(style), b(style);
    a.Plot({1e-12f, 0.5f, 0.25f, -1e-12f});
    b.Plot({0.0f, 0.5f, 0.25f, 0.0f});
    EXPECT_EQ(a.Image(), b.Image()) << style;
  }
}

TEST(WuScopePixels, FadeRoundsClampsAndKeepsBackdrop) {
  struct Case {
    float value;  // SCOPEM_SETFADE value; the factor is its square root
    BYTE in[4];
    BYTE out[4];
  } cases[] = {
      {0.81f, {50, 200, 0, 200}, {46, 180, 0, 180}},  // factor 0.90000004
      {0.81f, {0, 1, 0, 1}, {0, 1, 0, 1}},      // byte * fade rounded up: 1 stays 1
      {0.81f, {9, 100, 3, 100}, {9, 90, 3, 90}},
      {4.0f, {60, 200, 0, 200}, {120, 255, 0, 255}},  // factor 2: clamped, no wrap
      {4.0f, {0, 128, 1, 128}, {0, 255, 2, 255}},
      {1e30f, {1, 2, 3, 4}, {255, 255, 255, 255}},
  };
  for (const Case& c : cases) {
    Scope s(0);
    s.SetFade(c.value);
    // One pixel inside the blocks handled together, one at the very end
    // of the image's memory (the top row's last pixel), handled alone.
    BYTE* p = const_cast<BYTE*>(s.Px(0, 1));
    BYTE* last = const_cast<BYTE*>(s.Px(s.W() - 1, 0));
    uint32_t grey = s.Colour(0, 0);  // on the diagonal, intensity 0
    std::memcpy(p, c.in, 4);
    std::memcpy(last, c.in, 4);
    ScopeFade(&s.inst);
    EXPECT_EQ(std::vector<BYTE>(p, p + 4), std::vector<BYTE>(c.out, c.out + 4)) << c.value;
    EXPECT_EQ(std::vector<BYTE>(last, last + 4), std::vector<BYTE>(c.out, c.out + 4)) << c.value;
    EXPECT_EQ(s.Colour(0, 0), grey) << "backdrop pixels (intensity 0) are left";
  }
}

TEST(WuScopePixels, FadeOfEveryByteValue) {
  // Every byte value in every channel, across the whole image (blocks and
  // tail alike), against byte * fade + 0.5 rounded to even and clamped.
  for (float value : {0.81f, 0.25f, 0.5f, 0.0001f, 0.9998f, 1.0f, 2.25f, 4.0f}) {
    Scope s(0, 31);
    const float factor = std::sqrt(value);
    s.SetFade(value);
    ASSERT_EQ(s.inst.fade, factor);
    size_t bytes = static_cast<size_t>(-s.inst.rowStep) * s.H();
    std::vector<BYTE> in(bytes);
    for (size_t k = 0; k < bytes; ++k) in[k] = static_cast<BYTE>((k * 7 + k / 256) & 0xFF);
    for (size_t k = 3; k < bytes; k += 4)
      if (k % 44 == 3) in[k] = 0;  // some unlit pixels among them
    std::memcpy(s.inst.bits, in.data(), bytes);
    ScopeFade(&s.inst);
    for (size_t k = 0; k < bytes; ++k) {
      size_t pixel = k & ~size_t{3};
      BYTE expected = in[k];
      if (in[pixel + 3]) {
        float v = std::nearbyint(static_cast<float>(in[k]) * factor + 0.5f);
        expected = static_cast<BYTE>(std::min(v, 255.0f));
      }
      ASSERT_EQ(s.inst.bits[k], expected) << "value " << value << " byte " << k << " was "
                                          << int(in[k]);
    }
  }
}

TEST(WuScopePixels, FadeOfEveryByteAcrossFactors) {
  // The fast forms are chosen per factor and processor; a sweep of factors
  // (round ones among them, whose products land on integers) against the
  // rule itself, on the processor as found and on one without the wider
  // vectors.
  Scope s(0, 11);  // a 5 x 5 image: 100 bytes, one 64-byte block and a tail
  ASSERT_EQ(s.W(), 5);
  std::vector<float> factors;
  for (int k = 1; k <= 1100; ++k) factors.push_back(k / 1000.0f);
  for (float f : {1e-10f, 0.0625f, 0.999999f, 0.99999994f, 1.0000001f, 255.0f, 256.0f})
    factors.push_back(f);
  auto sweep = [&](const char* processor) {
    for (float factor : factors) {
      s.inst.fade = factor;
      for (int first = 0; first < 256; first += 64) {
        for (int k = 0; k < 100; ++k) s.inst.bits[k] = static_cast<BYTE>((first + k) & 0xFF);
        for (int k = 3; k < 100; k += 4) s.inst.bits[k] |= 1;  // every pixel lit
        std::vector<BYTE> in(s.inst.bits, s.inst.bits + 100);
        ScopeFade(&s.inst);
        for (int k = 0; k < 100; ++k) {
          float v = std::nearbyint(static_cast<float>(in[k]) * factor + 0.5f);
          ASSERT_EQ(s.inst.bits[k], static_cast<BYTE>(std::min(v, 255.0f)))
              << processor << ": factor " << factor << " byte " << int(in[k]);
        }
      }
    }
  };
  sweep("as found");
  struct Narrow {
    platform::FakeProcessor cpu;  // no leaves: no AVX2
    Narrow() { platform::SetProcessorSource(&cpu); }
    ~Narrow() { platform::SetProcessorSource(nullptr); }
  } narrow;
  sweep("without AVX2");
}

TEST(WuScopePixels, FadeZeroAndResetRestoreBackdropAt255Of256) {
  for (DWORD style : {0u, SCOPES_MIDSIDE, SCOPES_HALFPLANE, SCOPES_POLAR}) {
    Scope s(style, 64);
    std::vector<BYTE> first = s.Image();  // the drawn backdrop, intensity 0
    std::vector<BYTE> expected = first;
    for (size_t k = 0; k < expected.size(); k += 4) {
      for (int ch = 0; ch < 3; ++ch) expected[k + ch] = static_cast<BYTE>((first[k + ch] * 255) >> 8);
      expected[k + 3] = 0;
    }
    // Grey 200 somewhere reads 199.
    EXPECT_NE(std::find(first.begin(), first.end(), 200), first.end());
    s.Plot({0.3f, 0.2f, -0.4f, 0.1f});
    ScopeInst_Reset(&s.inst, 0, FALSE);
    EXPECT_EQ(s.Image(), expected) << "reset, style " << style;
    s.Plot({0.0f, 0.0f});
    s.Plot({});  // factor 0: every plot starts black
    EXPECT_EQ(s.Image(), expected) << "empty plot, style " << style;
  }
}

TEST(WuScopePixels, FadedTrailOverBackdrop) {
  struct Case {
    const char* name;
    float x, y;
    int px, py;
    BYTE first[4];   // after the plot
    BYTE second[4];  // after one more, empty plot
  } cases[] = {
      // On the light crosshair a dimmer trace gives way to the grey.
      {"under the grey", 0.0f, 0.0f, 7, 7, {200, 200, 200, 0}, {200, 200, 200, 0}},
      // On the dark diagonal it is brighter: 70 * 145 >> 8 = 39 added; then
      // faded by 0.9 (rounded up) and left, its red no longer 0.
      {"over the dark", -0.55f, 0.55f, 3, 3, {66, 149, 39, 110}, {60, 135, 36, 100}},
      // Off the backdrop it fades and stays.
      {"on black", 0.55f, 0.4f, 11, 4, {27, 110, 0, 110}, {25, 100, 0, 100}},
  };
  for (const Case& c : cases) {
    Scope s(0);
    ASSERT_EQ(s.W(), 15);
    s.SetFade(0.81f);
    s.Plot({c.x, c.y});
    EXPECT_EQ(std::vector<BYTE>(s.Px(c.px, c.py), s.Px(c.px, c.py) + 4),
              std::vector<BYTE>(c.first, c.first + 4)) << c.name;
    s.Plot({});
    EXPECT_EQ(std::vector<BYTE>(s.Px(c.px, c.py), s.Px(c.px, c.py) + 4),
              std::vector<BYTE>(c.second, c.second + 4)) << c.name;
  }
  // A lone trace off the backdrop settles at a residue instead of 0.
  Scope t(0);
  t.SetFade(0.81f);
  t.Plot({0.55f, 0.4f});
  for (int k = 0; k < 200; ++k) t.Plot({});
  EXPECT_GT(t.I(11, 4), 0);
}

TEST(WuScopePixels, OverlayOfNoisyImagesFollowsTheRule) {
  // Random pixels (trace-like ones with red 0 among them, and copies of the
  // backdrop) over each backdrop, with and without the trail, against the
  // overlay rule applied pixel by pixel to the backdrop drawn first.
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
  for (DWORD style : {0u, SCOPES_MIDSIDE, SCOPES_HALFPLANE, SCOPES_POLAR}) {
    for (bool trail : {true, false}) {
      Scope s(style, 40);
      s.SetFade(0.81f);
      const std::vector<BYTE> backdrop = s.Image();
      std::vector<BYTE> in = backdrop;
      for (size_t k = 0; k < in.size(); k += 4) {
        uint32_t r = next();
        if (r % 4 == 0) continue;  // the backdrop as it is
        for (int ch = 0; ch < 4; ++ch) in[k + ch] = static_cast<BYTE>(next() >> 24);
        if (r % 4 == 1) in[k + 2] = 0;  // a trace pixel
        if (r % 8 == 2) in[k + 3] = 0;
      }
      std::memcpy(s.inst.bits, in.data(), in.size());
      ScopeOverlay(&s.inst, trail);
      for (size_t k = 0; k < in.size(); k += 4) {
        const BYTE* c = &backdrop[k];
        BYTE px[4] = {in[k], in[k + 1], in[k + 2], in[k + 3]};
        const bool blackRun = !c[0] && !c[1] && !c[2];
        const int f = 255 - px[3];
        auto add = [&] {
          for (int ch = 0; ch < 3; ++ch) px[ch] = static_cast<BYTE>(std::min(255, px[ch] + ((c[ch] * f) >> 8)));
        };
        if (blackRun) {
        } else if (!trail) {
          add();
        } else if (px[1] > c[1] || px[0] > c[0] || px[2] > c[2]) {
          if (px[2] == 0) add();
        } else {
          std::memcpy(px, c, 4);
        }
        ASSERT_EQ(std::vector<BYTE>(s.inst.bits + k, s.inst.bits + k + 4), std::vector<BYTE>(px, px + 4))
            << "style " << style << " trail " << trail << " pixel " << k / 4;
      }
    }
  }
}

TEST(WuScopePixels, MidSideMonoLightsTheCentreColumn) {
  for (DWORD math : {0u, SCOPES_FASTMATH}) {
    Scope s(SCOPES_MIDSIDE | math, 104);
    const int c = s.W() / 2;
    s.Plot({0.3f, 0.3f, -0.5f, -0.5f, 0.9f, 0.9f, -0.05f, -0.05f});
    int dots = 0;
    for (int y = 0; y < s.H(); ++y)
      for (int x = 0; x < s.W(); ++x) {
        if (s.I(x, y) >= 110) {
          EXPECT_EQ(x, c) << "row " << y;
          ++dots;
        }
        if (s.I(x, y)) {
          EXPECT_LE(std::abs(x - c), 1) << x << "," << y;
        }
      }
    EXPECT_EQ(dots, 4);
  }
}

TEST(WuScopePixels, HalfPlaneBars) {
  // Image 97: half 48; hard left at column 48 + 24, hard right at
  // 48 + trunc(-23.5), mono at the centre; r = 1 rises 69 rows, r = sqrt 2
  // the whole height.
  // The fast magnitude of 1 is 0.998: one row less.
  struct Case {
    const char* name;
    float x, y;
    int column;
    int top[2];  // exact, fast
  } cases[] = {
      {"hard left", 1.0f, 0.0f, 72, {28, 29}},
      {"hard right", 0.0f, 1.0f, 25, {28, 29}},
      {"mono", 1.0f, 1.0f, 48, {0, 0}},
      {"anti-phase", 0.6f, -0.6f, 96, {39, 39}},
  };
  for (DWORD math : {0u, SCOPES_FASTMATH}) {
    for (const Case& c : cases) {
      Scope s(SCOPES_HALFPLANE | math, 104);
      ASSERT_EQ(s.W(), 97);
      s.Plot({c.x, c.y});
      for (int y = 0; y < s.H(); ++y)
        for (int x = 0; x < s.W(); ++x) {
          int expected = 0;
          if (y >= c.top[math ? 1 : 0]) {
            if (x == c.column) expected = 110;
            if (std::abs(x - c.column) == 1) expected = 55;
          }
          ASSERT_EQ(s.I(x, y), expected) << c.name << " math " << math << " at " << x << "," << y;
        }
    }
  }
}

TEST(WuScopePixels, PolarRayBetweenTheRadii) {
  // A mono frame points straight up: a vertical segment from the outer
  // radius down to the inner end of the ray.
  for (DWORD math : {0u, SCOPES_FASTMATH}) {
    Scope s(SCOPES_POLAR | math, 104);
    const int half = s.W() / 2, cy = s.H() * 17 / 32;
    s.Plot({0.5f, 0.5f});
    // r = 0.7071, v = 0.45, rv = 48 - 21.6 = 26.4, ro = 43.2.
    for (int y = 0; y < s.H(); ++y) {
      bool on = y >= cy - 43 && y < cy - 26;  // the bar excludes its end row
      EXPECT_EQ(s.I(half, y), on ? 110 : 0) << "math " << math << " row " << y;
    }
  }
}

// ---- Backdrops ----

int TickSpacing(int h) {
  const SIZE* font = WuGetUIFontSize(kScopeTickFont);
  int threshold = std::max(font ? static_cast<int>(font->cy) : 0, 6);
  int size = h, last = 0;
  while ((size /= 2) >= threshold) last = size;
  return last;
}

TEST(WuScopeBackdrop, DefaultAndMidSide) {
  Scope plain(0, 68), midSide(SCOPES_MIDSIDE, 68);  // image 61
  const int n = plain.W(), c = n / 2;
  ASSERT_EQ(n, 61);
  // Crosshair light without mid-side, dark with it; diagonals the other way.
  EXPECT_EQ(plain.Colour(c, 0), 0xC8C8C8u);
  EXPECT_EQ(plain.Colour(0, c), 0xC8C8C8u);
  EXPECT_EQ(plain.Colour(3, 3), 0x464646u);
  EXPECT_EQ(plain.Colour(0, n - 1), 0x464646u);
  EXPECT_EQ(plain.Colour(n - 2, 1), 0x464646u);
  EXPECT_EQ(midSide.Colour(c, 0), 0x464646u);
  EXPECT_EQ(midSide.Colour(3, 3), 0xC8C8C8u);
  // The tick grid: full-length lines at the centre +- multiples of the
  // spacing, nothing between.
  int spacing = TickSpacing(n);
  for (Scope* s : {&plain, &midSide}) {
    int row = 2;  // off the horizontal lines of the grid
    if (spacing && (row - c) % spacing == 0) row = 3;
    for (int x = 0; x < n; ++x) {
      if (x == row || x == n - 1 - row || x == c) continue;  // diagonals, crosshair
      bool line = spacing && (x - c) % spacing == 0 && std::abs(x - c) < n / 2 + 1;
      EXPECT_EQ(s->Colour(x, row), line ? 0x464646u : 0u) << "spacing " << spacing << " x " << x;
    }
  }
}

TEST(WuScopeBackdrop, HalfPlaneAndPolar) {
  Scope half(SCOPES_HALFPLANE, 68);
  const int n = half.W(), c = n / 2;
  EXPECT_EQ(half.Colour(c, 1), 0xC8C8C8u) << "light vertical";
  EXPECT_EQ(half.Colour(1, c), 0x464646u) << "dark horizontal";
  EXPECT_EQ(half.Colour(3, 3), 0u) << "no diagonals";

  Scope polar(SCOPES_POLAR, 104);  // image 97: half 48, cy 51
  const int h = 48, cx = 48, cy = 97 * 17 / 32;
  ASSERT_EQ(cy, 51);
  // ri = 8.6, ro = 43.2: spokes from 9 to 43 pixels out.
  EXPECT_EQ(polar.Colour(cx + 20, cy), 0x464646u);
  EXPECT_EQ(polar.Colour(cx - 20, cy), 0x464646u);
  EXPECT_EQ(polar.Colour(cx, cy - 20), 0x464646u);
  EXPECT_EQ(polar.Colour(cx, cy), 0u);
  // The lower sector is black, its edges light.
  EXPECT_EQ(polar.Colour(cx, cy + 20), 0u);
  EXPECT_EQ(polar.Colour(cx, 96), 0u);
  EXPECT_EQ(polar.Colour(cx + 20, cy + 20), 0xC8C8C8u);
  EXPECT_EQ(polar.Colour(cx - 20, cy + 20), 0xC8C8C8u);
  EXPECT_EQ(polar.Colour(cx + 20, cy + 21), 0u);
  // The outer circle, anti-aliased: the ring at 43 from the centre is
  // lit in grey, nothing beyond 45.
  uint32_t ring = polar.Colour(cx, cy - 44);
  EXPECT_GT(ring & 0xFF, 100u);
  EXPECT_EQ(ring & 0xFF, (ring >> 8) & 0xFF);
  EXPECT_EQ(polar.Colour(cx, cy - 46), 0u);
  EXPECT_EQ(polar.Colour(h - 44, cy - 1), polar.Colour(h + 43, cy - 1)) << "mirrored";
}

TEST(WuScopeBackdrop, RunListEqualsNaiveScan) {
  for (DWORD style : {0u, SCOPES_MIDSIDE, SCOPES_HALFPLANE, SCOPES_POLAR}) {
    for (int size : {7, 12, 68, 131}) {
      Scope s(style, size);
      std::vector<std::pair<int32_t, uint32_t>> naive;
      for (int y = 0; y < s.H(); ++y)
        for (int x = 0; x < s.W(); ++x) {
          uint32_t c = s.Colour(x, y);
          ASSERT_EQ(c >> 24, 0u);
          if (x == 0 || naive.back().second != c)
            naive.push_back({1, c});
          else
            ++naive.back().first;
        }
      ASSERT_EQ(s.inst.runBytes, naive.size() * 8) << style << " " << size;
      const BYTE* runs = static_cast<const BYTE*>(s.inst.runs);
      for (size_t k = 0; k < naive.size(); ++k) {
        int32_t length;
        uint32_t colour;
        std::memcpy(&length, runs + 8 * k, 4);
        std::memcpy(&colour, runs + 8 * k + 4, 4);
        ASSERT_EQ(length, naive[k].first) << k;
        ASSERT_EQ(colour, naive[k].second) << k;
      }
      RECT expected = {0, 0, s.W(), s.H()};
      EXPECT_TRUE(EqualRect(&s.inst.runRect, &expected));
    }
  }
}

TEST(WuScopeBackdrop, StyleChangeRedrawsWithoutNewImage) {
  Scope s(0, 68);
  BYTE* bits = s.inst.bits;
  HBITMAP image = s.inst.image;
  ScopeInst_SetStyle(&s.inst, SCOPES_POLAR, TRUE);
  EXPECT_EQ(s.inst.bits, bits);
  EXPECT_EQ(s.inst.image, image);
  Scope polar(SCOPES_POLAR, 68);
  EXPECT_EQ(s.Image(), polar.Image());
}

// ---- Math sets ----

TEST(WuScopeMath, FastAgainstExact) {
  for (float x = 1e-6f; x < 1e6f; x *= 1.37f)
    EXPECT_NEAR(ScopeFastMagnitude(x), std::sqrt(x), std::sqrt(x) * 0.002) << x;
  EXPECT_EQ(ScopeFastMagnitude(0.0f), 0.0f);
  for (float a = -20.0f; a < 20.0f; a += 0.0037f) {
    ASSERT_NEAR(ScopeFastSine(a), std::sin(a), 0.0065) << a;
    ASSERT_NEAR(ScopeFastCosine(a), std::cos(a), 0.0065) << a;
  }
  for (float y = -2.0f; y <= 2.0f; y += 0.031f)
    for (float x = -2.0f; x <= 2.0f; x += 0.029f)
      ASSERT_NEAR(ScopeFastAngle(y, x), std::atan2(y, x), 0.075) << y << "," << x;
}

TEST(WuScopeMath, TableIndexesBothSigns) {
  const float* table = ScopeSineTable();
  EXPECT_EQ(table[0], 0.0f);
  EXPECT_EQ(table[512], 0.0f);
  EXPECT_EQ(table[128], 1.0f);
  for (int k = -1300; k <= 1300; ++k) {
    float a = static_cast<float>(k) * kPi / 256.0f;
    ASSERT_EQ(ScopeTableIndex(a), k);
    int m = ((k % 512) + 512) % 512;
    // Negative k reads table[512 - (-k mod 512)]: the 513th entry (0)
    // for multiples of 512.
    float sine = k >= 0 ? table[k % 512] : table[512 - ((-k) % 512)];
    ASSERT_EQ(ScopeFastSine(a), sine) << k;
    ASSERT_EQ(ScopeFastSine(a), m ? table[m] : 0.0f) << k;
    float cosine = k >= 0 ? table[(k + 128) % 512] : table[(128 - k) % 512];
    ASSERT_EQ(ScopeFastCosine(a), cosine) << k;
  }
  // Non-finite and huge angles read inside the table.
  for (float a : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                  -std::numeric_limits<float>::infinity(), 3e38f, -3e38f, -1e10f}) {
    float s = ScopeFastSine(a), c = ScopeFastCosine(a);
    EXPECT_LE(std::fabs(s), 1.0f);
    EXPECT_LE(std::fabs(c), 1.0f);
  }
}

// ---- Hostile memory and failures ----

TEST(WuScopeSafety, GarbageRecordBeforeInit) {
  WuGetUIFontSize(kScopeTickFont);  // the library's cached font is not ours to count
  alignas(tSCOPEINST) BYTE memory[sizeof(tSCOPEINST)];
  std::memset(memory, 0xFF, sizeof memory);
  auto* inst = reinterpret_cast<tSCOPEINST*>(memory);
  size_t objects = platform::GdiObjectCount();
  EXPECT_EQ(ScopeInst_GetSize(), static_cast<int>(sizeof(tSCOPEINST)));
  EXPECT_EQ(ScopeInst_Init(inst, SCOPES_POLAR, nullptr, nullptr, 0), 1);
  RECT expected = {0, 0, 7, 7};
  EXPECT_TRUE(EqualRect(&inst->bounds, &expected));
  EXPECT_EQ(inst->imageWidth, 1);
  EXPECT_EQ(inst->fade, 0.0f);
  float xy[2] = {0.5f, 0.5f};
  tSCOPEPLOT block = {xy, 1, 0, 1, 2};
  ScopeInst_SetPos(inst, &block);
  RECT r = {0, 0, 50, 50};
  EXPECT_EQ(ScopeInst_Move(inst, &r), 1);
  ScopeInst_SetPos(inst, &block);
  ScopeInst_Deinit(inst);
  EXPECT_EQ(platform::GdiObjectCount(), objects);
}

TEST(WuScopeSafety, PolarImagesOfEveryWidthStayInside) {
  for (DWORD math : {0u, SCOPES_FASTMATH}) {
    for (int size = 5; size <= 72; ++size) {
      Scope s(SCOPES_POLAR | math, size);
      if (!s.inst.bits) continue;
      std::vector<float> sweep;
      for (int k = 0; k < 64; ++k) {
        sweep.push_back(std::cos(k * 0.1f) * (k % 7) / 6.0f);
        sweep.push_back(std::sin(k * 0.1f));
      }
      s.Plot(sweep);
      ScopeInst_Reset(&s.inst, 0, FALSE);
    }
  }
}

TEST(WuScopeSafety, CircleTouchesOnlyPixelsOfTheImage) {
  // Circles centred on the left edge mirror onto column -1, which in the
  // bottom-up image is the last pixel of the row below.
  for (int size : {7, 8, 9, 10, 11, 12, 13, 14}) {
    Scope s(0, size);
    std::memset(s.inst.bits, 0, static_cast<size_t>(-s.inst.rowStep) * s.H());
    for (double r : {0.5, 1.0, 1.5, 2.0, 3.0})
      for (int cy = 0; cy <= s.H(); ++cy) ScopeCircle(&s.inst, 0, cy, r, 0xFFFFFF);
    for (int y = 0; y < s.H(); ++y)
      if (s.W() > 5) {
        EXPECT_EQ(s.Colour(s.W() - 1, y), 0u) << size << " row " << y;
      }
  }
  // Polar images 3 to 9 wide draw their inner circle at the image's edge.
  for (int size = 7; size <= 14; ++size) {
    Scope s(SCOPES_POLAR, size);
    ASSERT_NE(s.inst.bits, nullptr);
    Scope plain(0, size);
    std::memset(s.inst.bits, 0, static_cast<size_t>(-s.inst.rowStep) * s.H());
    int half = s.W() / 2;
    ScopeCircle(&s.inst, half, s.H() * 17 / 32, half * 0.19999998807907104 - 1, 0xFFFFFF);
    ScopeCircle(&s.inst, half, s.H() * 17 / 32, half * 0.8999999985098839, 0xFFFFFF);
    // Every touched pixel has a mirror partner inside the image about the
    // centre column, so nothing wraps to the far side.
    for (int y = 0; y < s.H(); ++y)
      for (int x = 0; x < s.W(); ++x) {
        int mx = 2 * half - x - 1;
        if (s.Colour(x, y) && mx >= 0 && mx < s.W()) {
          EXPECT_NE(s.Colour(mx, y), 0u) << size << ": " << x << "," << y;
        }
      }
  }
}

TEST(WuScopeSafety, RunListFailureAtInitReleasesEverything) {
  WuGetUIFontSize(kScopeTickFont);  // the library's cached font is not ours to count
  size_t objects = platform::GdiObjectCount();
  size_t blocks = platform::LiveGlobalBlockCount();
  tSCOPEINST inst;
  platform::FailNextAllocations(1);
  EXPECT_EQ(ScopeInst_Init(&inst, 0, nullptr, nullptr, 0), 1);
  platform::FailNextAllocations(0);
  EXPECT_EQ(inst.memDC, nullptr);
  EXPECT_EQ(inst.image, nullptr);
  EXPECT_EQ(inst.runs, nullptr);
  EXPECT_EQ(platform::GdiObjectCount(), objects);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);
  // Later plots, resets, moves and paints draw nothing.
  float xy[2] = {0, 0};
  tSCOPEPLOT block = {xy, 1, 0, 1, 2};
  EXPECT_EQ(ScopeInst_SetPos(&inst, &block), 0);
  EXPECT_EQ(ScopeInst_Reset(&inst, 0, TRUE), 0);
  RECT r = {0, 0, 30, 30};
  EXPECT_EQ(ScopeInst_Move(&inst, &r), 0);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP target = CreateBitmap(40, 40, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  RECT all = {0, 0, 40, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  bool called = false;
  ScopeInst_Draw(&inst, dc, [](tSCOPEINST*, HDC, const RECT*, int, LPARAM user) {
    *reinterpret_cast<bool*>(user) = true;
  }, reinterpret_cast<LPARAM>(&called));
  EXPECT_FALSE(called);
  for (int y = 0; y < 40; y += 3)
    for (int x = 0; x < 40; x += 3) ASSERT_EQ(GetPixel(dc, x, y), RGB(255, 255, 255));
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ScopeInst_Deinit(&inst);
  EXPECT_EQ(platform::GdiObjectCount(), objects);
}

TEST(WuScopeSafety, RunListFailureOnMoveDropsTheList) {
  Scope s(0, 20);
  size_t blocks = platform::LiveGlobalBlockCount();
  RECT r = {0, 0, 60, 60};
  platform::FailNextAllocations(1);
  EXPECT_EQ(ScopeInst_Move(&s.inst, &r), 0);
  platform::FailNextAllocations(0);
  EXPECT_EQ(s.inst.runs, nullptr);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks - 1);
  s.Plot({0.0f, 0.0f});  // no overlay without a list, but no harm
  RECT again = {0, 0, 61, 61};
  EXPECT_EQ(ScopeInst_Move(&s.inst, &again), 1);
  EXPECT_NE(s.inst.runs, nullptr);
}

// ---- Window form ----

constexpr const WCHAR* kScopeClass = u"WuScopeTestClass";
constexpr const WCHAR* kParentClass = u"WuScopeTestParent";
std::vector<UINT> g_parentMessages;

LRESULT ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CONTEXTMENU || message == WM_ENTERIDLE) g_parentMessages.push_back(message);
  return DefWindowProcW(window, message, wparam, lparam);
}

class WuScopeWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ScopeInitialize(nullptr, kScopeClass), 1);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = kParentClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    parent_ = CreateWindowExW(0, kParentClass, u"", WS_VISIBLE, 0, 0, 200, 200, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    g_parentMessages.clear();
  }
  void TearDown() override {
    DestroyWindow(parent_);
    EXPECT_TRUE(ScopeTerminate(nullptr, kScopeClass));
    UnregisterClassW(kParentClass, nullptr);
  }
  HWND Create(DWORD style, int w, int h) {
    return CreateWindowExW(0, kScopeClass, u"", WS_CHILD | WS_VISIBLE | style, 10, 10, w, h,
                           parent_, reinterpret_cast<HMENU>(42), nullptr, nullptr);
  }
  static tSCOPEINST* Inst(HWND w) {
    return reinterpret_cast<tSCOPEINST*>(GetWindowLongPtrW(w, GWLP_USERDATA));
  }
  static bool NeedsPaint(HWND w) {
    RECT r;
    return GetUpdateRect(w, &r, FALSE) != 0;
  }
  HWND parent_ = nullptr;
};

TEST_F(WuScopeWindow, ClassAndCreation) {
  WNDCLASSW wc = {};
  ASSERT_TRUE(GetClassInfoW(nullptr, kScopeClass, &wc));
  EXPECT_EQ(wc.style, 0x400Bu);
  EXPECT_NE(wc.hCursor, nullptr);
  EXPECT_EQ(wc.hbrBackground, nullptr);
  EXPECT_EQ(ScopeInitialize(nullptr, kScopeClass), 0) << "already registered";

  HWND w = Create(SCOPES_CENTER, 40, 30);
  ASSERT_NE(w, nullptr);
  tSCOPEINST* inst = Inst(w);
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(inst->state & SCOPE_STATE_HOSTED, 0u);
  EXPECT_EQ(inst->controlId, 42u);
  EXPECT_EQ(inst->notifyWindow, nullptr) << "the parent is the creation parent";
  EXPECT_EQ(inst->boundsWidth, 40);
  EXPECT_EQ(inst->imageWidth, 23);
  EXPECT_EQ(SendMessageW(w, WM_NCHITTEST, 0, 0), -1);
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), 0x100);
  EXPECT_EQ(SendMessageW(w, WM_ERASEBKGND, 0, 0), 0);
  SendMessageW(w, WM_SETFONT, 0x77, 0);
  EXPECT_EQ(SendMessageW(w, WM_GETFONT, 0, 0), 0x77);
  SendMessageW(w, WM_CONTEXTMENU, 0, 0);
  SendMessageW(w, WM_ENTERIDLE, 0, 0);
  EXPECT_EQ(g_parentMessages, (std::vector<UINT>{WM_CONTEXTMENU, WM_ENTERIDLE}));

  // A zero-sized client area gives 7 x 7 bounds.
  SetWindowPos(w, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOZORDER);
  RECT seven = {0, 0, 7, 7};
  EXPECT_TRUE(EqualRect(&inst->bounds, &seven));
  size_t objects = platform::GdiObjectCount();
  DestroyWindow(w);
  EXPECT_LT(platform::GdiObjectCount(), objects) << "image and memory DC released";
}

TEST_F(WuScopeWindow, WrappersRepaintRule) {
  HWND w = Create(0, 40, 40);
  tSCOPEINST* inst = Inst(w);
  UpdateWindow(w);
  ASSERT_FALSE(NeedsPaint(w));
  EXPECT_EQ(WuScope_SetStyle(w, SCOPES_MIDSIDE, FALSE), 0) << "unchanged";
  EXPECT_FALSE(NeedsPaint(w));
  EXPECT_EQ(WuScope_SetEnabled(w, TRUE), 0);
  EXPECT_EQ(WuScope_SetEnabled(w, TRUE), -1);
  EXPECT_FALSE(NeedsPaint(w)) << "no repaint for the enabled flag";
  EXPECT_EQ(WuScope_SetStyle(w, SCOPES_MIDSIDE, TRUE), SCOPES_MIDSIDE);
  EXPECT_EQ(WuScope_GetStyle(w), SCOPES_MIDSIDE);
  EXPECT_TRUE(NeedsPaint(w));
  ValidateRect(w, nullptr);
  EXPECT_EQ(WuScope_SetCount(w, 5, FALSE), 5);
  EXPECT_EQ(WuScope_GetCount(w), 5);
  EXPECT_TRUE(NeedsPaint(w));
  EXPECT_EQ(WuScope_SetCount(w, 6, TRUE), 6);
  EXPECT_FALSE(NeedsPaint(w)) << "updated at once";
  WuScope_Reset(w, 0, FALSE);
  EXPECT_TRUE(NeedsPaint(w));
  WuScope_Reset(w, 0, TRUE);
  EXPECT_FALSE(NeedsPaint(w));
  float f = 0.25f;
  WuScope_SetFade(w, &f);
  EXPECT_EQ(inst->fade, 0.5f);
  EXPECT_TRUE(NeedsPaint(w));
  ValidateRect(w, nullptr);
  float range = 3.0f;
  WuScope_SetRange(w, &range);
  EXPECT_TRUE(NeedsPaint(w));
  ValidateRect(w, nullptr);
  int table[2] = {};
  WuScope_SetColors(w, 2, table);
  EXPECT_EQ(inst->colorCount, 2);
  WuScope_SetTicks(w, 1, table);
  EXPECT_EQ(inst->tickCount, 1);
  ValidateRect(w, nullptr);
  EXPECT_EQ(WuScope_SetPos(w, nullptr), 0);
  EXPECT_FALSE(NeedsPaint(w)) << "null block ignored";
  float xy[2] = {0, 0};
  tSCOPEPLOT block = {xy, 1, 0, 1, 2};
  WuScope_SetPos(w, &block);
  EXPECT_TRUE(NeedsPaint(w));
  ValidateRect(w, nullptr);
  SendMessageW(w, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_TRUE(NeedsPaint(w)) << "the window form only invalidates";
  DestroyWindow(w);
}

TEST_F(WuScopeWindow, PaintDrawsRingAndImage) {
  HWND w = Create(SCOPES_CENTER, 50, 40);
  tSCOPEINST* inst = Inst(w);
  float xy[4] = {0.2f, -0.3f, 0.0f, 0.0f};
  tSCOPEPLOT block = {xy, 2, 0, 1, 2};
  WuScope_SetPos(w, &block);
  UpdateWindow(w);
  HDC dc = GetDC(w);
  const RECT& p = inst->plot;
  for (int y = p.top; y < p.bottom; ++y)
    for (int x = p.left; x < p.right; ++x)
      ASSERT_EQ(GetPixel(dc, x, y), GetPixel(inst->memDC, x - p.left, y - p.top)) << x << "," << y;
  EXPECT_EQ(GetPixel(dc, p.left - 2, p.top + 3), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(GetPixel(dc, p.left + 3, p.top - 2), GetSysColor(COLOR_BTNSHADOW));
  EXPECT_EQ(GetPixel(dc, p.right + 1, p.top + 3), GetSysColor(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(GetPixel(dc, p.left + 3, p.bottom + 1), GetSysColor(COLOR_BTNHIGHLIGHT));
  ReleaseDC(w, dc);
  DestroyWindow(w);
}

TEST_F(WuScopeWindow, HostedInstanceInAWindow) {
  tSCOPEINST inst;
  RECT r = {0, 0, 60, 60};
  ScopeInst_Init(&inst, 0, &r, parent_, 3);
  EXPECT_NE(inst.state & SCOPE_STATE_HOSTED, 0u);
  EXPECT_EQ(inst.notifyWindow, parent_);
  ScopeInst_Move(&inst, &r);
  UpdateWindow(parent_);
  ValidateRect(parent_, nullptr);
  float xy[2] = {0.1f, 0.1f};
  tSCOPEPLOT block = {xy, 1, 0, 1, 2};
  ScopeInst_SetPos(&inst, &block);
  ScopeInst_Reset(&inst, 0, TRUE);
  ScopeInst_SetCount(&inst, 9, TRUE);
  EXPECT_FALSE(NeedsPaint(parent_)) << "hosted instances are never invalidated";
  ScopeInst_Message(&inst, WM_CONTEXTMENU, 0, 0);
  EXPECT_EQ(g_parentMessages, std::vector<UINT>{WM_CONTEXTMENU});

  // WM_SYSCOLORCHANGE rebuilds the hosted image.
  std::vector<BYTE> backdrop(inst.bits, inst.bits + static_cast<size_t>(-inst.rowStep) * inst.imageHeight);
  ScopeInst_Reset(&inst, 0, FALSE);
  std::memset(inst.bits, 0x5A, backdrop.size());
  EXPECT_EQ(ScopeInst_Message(&inst, WM_SYSCOLORCHANGE, 0, 0), 0);
  Scope fresh(0, 60);
  EXPECT_EQ(std::vector<BYTE>(inst.bits, inst.bits + backdrop.size()), fresh.Image());

  // Drawing calls the background first, then the ring and image on top.
  HDC dc = GetDC(parent_);
  struct Seen {
    int calls = 0;
    RECT bounds = {};
    int flags = 0;
    tSCOPEINST* inst = nullptr;
  } seen;
  ScopeInst_Draw(&inst, dc, [](tSCOPEINST* i, HDC d, const RECT* b, int flags, LPARAM user) {
    auto* s = reinterpret_cast<Seen*>(user);
    ++s->calls;
    s->bounds = *b;
    s->flags = flags;
    s->inst = i;
    FillRect(d, b, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ(seen.calls, 1);
  EXPECT_TRUE(EqualRect(&seen.bounds, &r));
  EXPECT_EQ(seen.flags, 1);
  EXPECT_EQ(seen.inst, &inst);
  const RECT& p = inst.plot;
  EXPECT_EQ(GetPixel(dc, p.left + 1, p.top + 1), GetPixel(inst.memDC, 1, 1));
  EXPECT_EQ(GetPixel(dc, p.left - 1, p.top), RGB(255, 255, 255)) << "background between ring and image";
  EXPECT_EQ(GetPixel(dc, p.left - 2, p.top), GetSysColor(COLOR_BTNSHADOW));
  ReleaseDC(parent_, dc);
  ScopeInst_Deinit(&inst);
}

// ---- Pictures for people (compared by nothing) ----

TEST(WuScopePictures, EachModeAfterScriptedPlots) {
  std::string dir = WU_SCOPE_PICTURE_DIR;
  std::u16string wdir(dir.begin(), dir.end());
  struct Mode {
    const char16_t* name;
    DWORD style;
  } modes[] = {{u"xy", 0},
               {u"midside", SCOPES_MIDSIDE},
               {u"fold", SCOPES_FOLD},
               {u"midside-fold", SCOPES_MIDSIDE | SCOPES_FOLD},
               {u"halfplane", SCOPES_HALFPLANE},
               {u"polar", SCOPES_POLAR},
               {u"polar-fast", SCOPES_POLAR | SCOPES_FASTMATH}};
  CreateDirectoryW(wdir.c_str(), nullptr);
  for (const Mode& m : modes) {
    Scope s(m.style | SCOPES_CENTER, 260);
    s.SetFade(0.9f);
    // A stereo signal drifting from mono to wide, in blocks of 256 frames.
    for (int blockIndex = 0; blockIndex < 24; ++blockIndex) {
      std::vector<float> xy;
      for (int i = 0; i < 256; ++i) {
        float t = static_cast<float>(blockIndex * 256 + i);
        float l = 0.7f * std::sin(t * 0.031f);
        float r = 0.7f * std::sin(t * 0.031f + blockIndex * 0.12f) * (1.0f - blockIndex / 48.0f);
        xy.push_back(l);
        xy.push_back(r);
      }
      s.Plot(xy);
    }
    std::u16string path = wdir + u"/scope-" + m.name + u".png";
    // The fourth byte is the trace's intensity, not coverage: save opaque.
    std::vector<BYTE> rows = s.Image();
    for (size_t k = 3; k < rows.size(); k += 4) rows[k] = 255;
    WUPNGFILEOPTIONS options = {28, 0};
    EXPECT_EQ(WuSaveDiskPngDib(path.c_str(), &s.inst.header, rows.data(), &options), 0);
  }
}

}  // namespace
