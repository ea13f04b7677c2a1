#include "foundation/WuUIColor.h"

#include <gtest/gtest.h>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuSystem.h"
#include "foundation/WuUIGlyph.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

class UIColorTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    EXPECT_EQ(platform::GdiObjectCount(), 0u);
  }
  static void Reset() {
    WuUIColor_SetHostKernel(FALSE);
    WuKernel_ReleaseUIObjects();
    WuKernel_ResetUIColors(FALSE);
    platform::ResetSysColors();
    platform::ResetMonitors();
  }
  static COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH lb = {};
    EXPECT_EQ(GetObjectW(brush, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
    return lb.lbColor;
  }
  static LOGPEN PenOf(HPEN pen) {
    LOGPEN lp = {};
    EXPECT_EQ(GetObjectW(pen, sizeof(lp), &lp), static_cast<int>(sizeof(lp)));
    return lp;
  }
};

TEST_F(UIColorTest, HslConversionsFollowThe240Scale) {
  struct Case {
    COLORREF rgb;
    DWORD hsl;  // hue | sat << 8 | lum << 16
  };
  const Case kCases[] = {
      {0xFFFFFF, 160 | (0 << 8) | (239u << 16)},    // white
      {0x0000FF, 0 | (240 << 8) | (120u << 16)},    // red
      {0x00FF00, 80 | (240 << 8) | (120u << 16)},   // green
      {0xFF0000, 160 | (240 << 8) | (120u << 16)},  // blue
      {0x000000, 160 | (0 << 8) | (0u << 16)},      // black
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(WuRGBtoHSL(c.rgb), c.hsl) << std::hex << c.rgb;
    if (c.rgb != 0xFFFFFF) {
      EXPECT_EQ(WuHSLtoRGB(c.hsl), c.rgb) << std::hex << c.rgb;
    }
  }
  EXPECT_EQ(WuHSLtoRGB(0 | (0 << 8) | (240u << 16)), 0xFFFFFFu);  // no saturation, full light
  EXPECT_EQ(WuHSLtoRGB(40 | (240 << 8) | (120u << 16)), 0x00FFFFu);  // hue 40: yellow
}

TEST_F(UIColorTest, IdsResolveBySystemOverridePaletteAndSentinels) {
  ASSERT_TRUE(WuSetUIColor(COLOR_WINDOW, 0x123456));
  EXPECT_EQ(WuGetUIColorAbsolute(COLOR_WINDOW), 0x123456u);
  EXPECT_EQ(WuGetUIColorAbsolute(-COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(WuGetSysColor(COLOR_WINDOW), 0x123456u);
  ASSERT_TRUE(WuSetUIColor(COLOR_WINDOW, 0xFFFFFFFF));  // -1 removes the override
  EXPECT_EQ(WuGetUIColorAbsolute(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));

  EXPECT_EQ(WuGetUIColorAbsolute(31), WUCOLOR_INVALID_ID);
  EXPECT_EQ(WuGetUIColorAbsolute(99), WUCOLOR_INVALID_ID);
  EXPECT_EQ(WuGetUIColorAbsolute(-50), WUCOLOR_INVALID_ID);
  EXPECT_EQ(WuGetUIColorAbsolute(153), WUCOLOR_UNKNOWN);
  EXPECT_EQ(WuGetUIColorAbsolute(-153), WUCOLOR_UNKNOWN);
  EXPECT_EQ(WuGetUIColorAbsolute(0x04640000), WUCOLOR_UNKNOWN);  // blend amount 100: not a blend

  EXPECT_EQ(WuGetUIColorAbsolute(100), 0x640000u);
  EXPECT_EQ(WuGetUIColorAbsolute(152), 0xA2008Fu);
  ASSERT_TRUE(WuSetUIColor(152, 0x010203));
  EXPECT_EQ(WuGetUIColorAbsolute(152), 0x010203u);
  EXPECT_EQ(WuGetUIColorAbsolute(-152), 0xA2008Fu);  // the default ignores changes
}

TEST_F(UIColorTest, SetRefusesBlendOverridesAndIdsOutOfRange) {
  EXPECT_FALSE(WuSetUIColor(5, 0x04000102));
  EXPECT_TRUE(WuSetUIColor(120, 0x04000102));
  EXPECT_FALSE(WuSetUIColor(31, 0));
  EXPECT_FALSE(WuSetUIColor(99, 0));
  EXPECT_FALSE(WuSetUIColor(153, 0));
  EXPECT_FALSE(WuSetUIColor(-1, 0));
}

TEST_F(UIColorTest, BlendsMixTwoUIColors) {
  ASSERT_TRUE(WuSetUIColor(0, 0x0000FF));
  ASSERT_TRUE(WuSetUIColor(1, 0x00FF00));
  EXPECT_EQ(WuSysColorsAlphaBlend(0x04010000), 0x0000FFu);  // amount 0: the first colour
  EXPECT_EQ(WuSysColorsAlphaBlend(0x0401FF00), 0x0000FFu);  // amount 255: the first colour
  EXPECT_EQ(WuSysColorsAlphaBlend(0x04010100), 0x00FE01u);  // amount 1: near the second
  // Amount 80 of red over green: red 80, green 175.
  EXPECT_EQ(WuGetUIColorAbsolute(0x04015000), 0x00AF50u);
  // The same blend as a palette entry; a zero amount and index is the
  // system colour of the low byte, override applied.
  ASSERT_TRUE(WuSetUIColor(140, 0x04015000));
  EXPECT_EQ(WuGetUIColorAbsolute(140), 0x00AF50u);
  ASSERT_TRUE(WuSetUIColor(141, 0x04000001));
  EXPECT_EQ(WuGetUIColorAbsolute(141), 0x00FF00u);
}

TEST_F(UIColorTest, PaletteEntriesThatNameThemselvesStop) {
  ASSERT_TRUE(WuSetUIColor(100, 0x04016564));  // blends palette 100 over 101
  ASSERT_TRUE(WuSetUIColor(101, 0x04016465));  // and 101 over 100
  COLORREF c = WuGetUIColorAbsolute(100);      // must come back
  EXPECT_NE(c, WUCOLOR_UNKNOWN);
  EXPECT_EQ(WuGetUIColorAbsolute(5), GetSysColor(5));
}

TEST_F(UIColorTest, GreyPushedApartOnlyOnDeepDisplays) {
  struct Case {
    COLORREF face;     // override of COLOR_BTNFACE
    COLORREF deep;     // result at 32 bits per pixel
  };
  const Case kCases[] = {
      {0x808080, 0x5F5F5F},  // luminance 120: darkened to 90
      {0x909090, 0x9F9F9F},  // luminance 135: lightened to 150
      {0x202020, 0x202020},  // dark: kept
      {0x0000FF, 0x0000FF},  // saturated: kept
  };
  for (const Case& c : kCases) {
    ASSERT_TRUE(WuSetUIColor(COLOR_BTNFACE, c.face));
    ASSERT_TRUE(WuSetUIColor(130, WUCOLOR_GREYPUSH_TAG | COLOR_BTNFACE));
    EXPECT_EQ(WuGetUIColorAbsolute(130), c.deep) << std::hex << c.face;
  }
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", RECT{0, 0, 1024, 768}, 8}});
  ASSERT_TRUE(WuSetUIColor(COLOR_BTNFACE, 0x808080));
  EXPECT_EQ(WuGetUIColorAbsolute(130), 0x808080u);
}

TEST_F(UIColorTest, PaletteIdsTakeTheScreensNearestColour) {
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", RECT{0, 0, 1024, 768}, 16}});
  ASSERT_TRUE(WuSetUIColor(120, 0x030303));
  EXPECT_EQ(WuGetUIColorAbsolute(120), 0x030303u);
  HDC screen = GetDC(nullptr);
  COLORREF nearest = GetNearestColor(screen, 0x030303);
  ReleaseDC(nullptr, screen);
  ASSERT_NE(nearest, 0x030303u);  // the 5:6:5 screen cannot show it
  EXPECT_EQ(WuGetUIColor(120), nearest);
}

TEST_F(UIColorTest, BrushesAreCachedPerIdAndFollowColourChanges) {
  HBRUSH face = WuGetUIBrush(COLOR_BTNFACE);
  EXPECT_EQ(WuGetUIBrush(COLOR_BTNFACE), face);
  EXPECT_EQ(BrushColor(face), GetSysColor(COLOR_BTNFACE));
  // The whole palette has brushes, the last entry included.
  for (int id : {100, 151, 152}) {
    HBRUSH b = WuGetUIBrush(id);
    ASSERT_NE(b, GetStockObject(BLACK_BRUSH)) << id;
    EXPECT_EQ(BrushColor(b), WuGetUIColorAbsolute(id)) << id;
  }
  for (int id : {-1, 31, 99, 153, 9999, 10017})
    EXPECT_EQ(WuGetUIBrush(id), GetStockObject(BLACK_BRUSH)) << id;

  ASSERT_TRUE(WuSetUIColor(COLOR_BTNFACE, 0x112233));
  EXPECT_EQ(BrushColor(WuGetUIBrush(COLOR_BTNFACE)), 0x112233u);
  ASSERT_TRUE(WuSetUIColor(152, 0x445566));
  EXPECT_EQ(BrushColor(WuGetUIBrush(152)), 0x445566u);
  EXPECT_GT(platform::GdiObjectCount(platform::GdiKind::kBrush), 0u);
  WuKernel_ReleaseUIObjects();
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kBrush), 0u);
}

// Paints an 8x8 area with a brush on white and reads which pixels took the
// pattern's 0 bits (the text colour, black).
std::vector<BYTE> PatternRows(HBRUSH brush) {
  HDC dc = CreateCompatibleDC(nullptr);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  SetTextColor(dc, 0x000000);
  SetBkColor(dc, 0xFFFFFF);
  HGDIOBJ old_brush = SelectObject(dc, brush);
  PatBlt(dc, 0, 0, 8, 8, PATCOPY);
  std::vector<BYTE> rows(8, 0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (GetPixel(dc, x, y) != 0) rows[y] |= static_cast<BYTE>(0x80 >> x);
  SelectObject(dc, old_brush);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return rows;
}

TEST_F(UIColorTest, PatternBrushesPaintTheirRows) {
  struct Case {
    int id;
    BYTE rows[8];
  };
  const Case kCases[] = {
      {10001, {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}},
      {10003, {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}},
      {10008, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00}},
      {10014, {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33}},
      {10016, {0xF8, 0x7C, 0x3E, 0x1F, 0x8F, 0xC7, 0xE3, 0xF1}},
  };
  for (const Case& c : kCases) {
    HBRUSH brush = WuGetUIBrush(c.id);
    ASSERT_NE(brush, GetStockObject(BLACK_BRUSH)) << c.id;
    EXPECT_EQ(WuGetUIBrush(c.id), brush);
    EXPECT_EQ(PatternRows(brush), std::vector<BYTE>(c.rows, c.rows + 8)) << c.id;
  }
}

TEST_F(UIColorTest, ResourcePatternComesFromTheKernelLanguageHandle) {
  EXPECT_EQ(WuGetUIBrush(WUBRUSH_PATTERN_RESOURCE), GetStockObject(BLACK_BRUSH));  // no bitmap yet
  HMODULE module = LoadLibraryW(u"WuUIKernelRes");
  ASSERT_NE(module, nullptr);
  HWULANG lang = nullptr;
  ASSERT_EQ(WuLang_Open(&lang, module, 1033, 0), S_OK);
  WuKernel_SetLangHandle(lang);
  HBRUSH brush = WuGetUIBrush(WUBRUSH_PATTERN_RESOURCE);
  ASSERT_NE(brush, GetStockObject(BLACK_BRUSH));
  std::vector<BYTE> rows = PatternRows(brush);
  EXPECT_EQ(rows[0], 0x7F);  // one black pixel at the top left
  EXPECT_EQ(rows[7], 0xFF);
  WuKernel_ReleaseUIObjects();
  WuKernel_SetLangHandle(nullptr);
  WuLang_Close(lang);
  FreeLibrary(module);
}

TEST_F(UIColorTest, PensByStyleFallBackToBlackPen) {
  ASSERT_TRUE(WuSetUIColor(COLOR_WINDOW, 0xFFFFFF));
  ASSERT_TRUE(WuSetUIColor(152, 0x000000));
  HPEN solid = WuGetUIPen(COLOR_WINDOW);
  EXPECT_EQ(WuGetUIPenWithStyle(COLOR_WINDOW, WUPEN_SOLID), solid);
  EXPECT_EQ(PenOf(solid).lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(PenOf(solid).lopnColor, 0xFFFFFFu);
  EXPECT_EQ(PenOf(WuGetUIPenWithStyle(COLOR_WINDOW, WUPEN_DOTTED)).lopnStyle,
            static_cast<UINT>(PS_DOT));
  // Lightened: m = mean + 192, each channel (m + channel) / 3.
  EXPECT_EQ(PenOf(WuGetUIPenWithStyle(COLOR_WINDOW, WUPEN_LIGHTER)).lopnColor, 0xEAEAEAu);
  EXPECT_EQ(PenOf(WuGetUIPenWithStyle(152, WUPEN_LIGHTER)).lopnColor, 0x404040u);
  EXPECT_EQ(PenOf(WuGetUIPen(152)).lopnColor, 0x000000u);

  HGDIOBJ black = GetStockObject(BLACK_PEN);
  EXPECT_EQ(WuGetUIPenWithStyle(COLOR_WINDOW, 3), black);
  EXPECT_EQ(WuGetUIPenWithStyle(COLOR_WINDOW, -1), black);
  EXPECT_EQ(WuGetUIPen(31), black);
  EXPECT_EQ(WuGetUIPen(153), black);

  WuFreeUIColoredObjects(COLOR_WINDOW);
  WuFreeUIColoredObjects(152);
  EXPECT_EQ(platform::GdiObjectCount(platform::GdiKind::kPen), 0u);
}

TEST_F(UIColorTest, ProfilesSaveAndLoadTheSystemColours) {
  std::string dir = wutest::MakeTempDir("colors");
  std::u16string file = wutest::U16(dir + "/ui.ini");
  EXPECT_EQ(WuLoadUIColors(file.c_str(), nullptr), WU_E_COLORS_FILE_MISSING);

  ASSERT_TRUE(WuSetUIColor(COLOR_WINDOW, 0x123456));
  ASSERT_EQ(WuSaveUIColors(file.c_str(), nullptr), S_OK);
  std::string text = wutest::ReadBytes(dir + "/ui.ini");
  EXPECT_NE(text.find("[colors]"), std::string::npos);
  EXPECT_NE(text.find("COLOR_WINDOW=0x00123456"), std::string::npos);
  EXPECT_NE(text.find("COLOR_MENUBAR="), std::string::npos);
  EXPECT_EQ(text.find("COLOR_25"), std::string::npos);

  WuKernel_ResetUIColors(FALSE);
  EXPECT_EQ(WuGetUIColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  ASSERT_EQ(WuLoadUIColors(file.c_str(), nullptr), S_OK);
  EXPECT_EQ(WuGetUIColor(COLOR_WINDOW), 0x123456u);

  // Another section; a missing name keeps the current system colour, a
  // value that is not a plain colour is not taken as an override.
  wutest::WriteBytes(dir + "/other.ini",
                     "[theme]\nCOLOR_MENU=0x00ABCDEF\nCOLOR_BTNFACE=0x04000102\n");
  std::u16string other = wutest::U16(dir + "/other.ini");
  WuKernel_ResetUIColors(FALSE);
  ASSERT_EQ(WuLoadUIColors(other.c_str(), u"theme"), S_OK);
  EXPECT_EQ(WuGetUIColor(COLOR_MENU), 0xABCDEFu);
  EXPECT_EQ(WuGetUIColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(WuGetUIColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));

  std::u16string folder = wutest::U16(dir);  // a folder cannot be written as a file
  EXPECT_EQ(WuSaveUIColors(folder.c_str(), nullptr), WU_E_COLORS_FILE_READONLY);
}

TEST_F(UIColorTest, SystemColourChangeResetsOverridesPaletteAndObjects) {
  ASSERT_TRUE(WuSetUIColor(COLOR_WINDOW, 0x123456));
  ASSERT_TRUE(WuSetUIColor(110, 0x654321));
  EXPECT_EQ(BrushColor(WuGetUIBrush(COLOR_BTNFACE)), GetSysColor(COLOR_BTNFACE));
  POINT centre = {8, 8};
  HDC dc = CreateCompatibleDC(nullptr);
  WuBltStandardUIGlyph(dc, &centre, nullptr, WUGLYPH_PLUS, 0);  // makes the glyph DC
  DeleteDC(dc);

  const int index = COLOR_BTNFACE;
  const COLORREF pushed = 0x0A0B0C;
  ASSERT_TRUE(SetSysColors(1, &index, &pushed));
  EXPECT_NE(BrushColor(WuGetUIBrush(COLOR_BTNFACE)), pushed);  // cached until the reset
  WuKernel_ResetUIColors(FALSE);
  EXPECT_EQ(platform::GdiObjectCount(), 0u);  // brushes, pens and the glyph DC released
  EXPECT_EQ(BrushColor(WuGetUIBrush(COLOR_BTNFACE)), pushed);
  EXPECT_EQ(WuGetUIColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(WuGetUIColorAbsolute(110), 0x808000u);

  // With its flag set the reset keeps the cached objects.
  ASSERT_TRUE(WuSetUIColor(110, 0x654321));
  HBRUSH b = WuGetUIBrush(COLOR_BTNFACE);
  WuKernel_ResetUIColors(TRUE);
  EXPECT_EQ(WuGetUIBrush(COLOR_BTNFACE), b);
  EXPECT_EQ(WuGetUIColorAbsolute(110), 0x808000u);
}

// ---- Host application kernel ----

HMODULE g_host_module = nullptr;  // what the host's kernel export returns
HMODULE GetAppKernel() { return g_host_module; }
COLORREF HostAbsolute(int id) { return 0x010000u + static_cast<COLORREF>(id); }
COLORREF HostColor(int id) { return 0x020000u + static_cast<COLORREF>(id); }

class UIColorHostTest : public UIColorTest {
 protected:
  void Install(const platform::ExportEntry* exports, int count) {
    WuSystem_ResetForTesting();
    g_host_module = platform::CreateExportModule(u"AppKernel", exports, count);
    platform::RegisterMainModuleExport("_WuApp_GetAppKernel@0",
                                       reinterpret_cast<void*>(&GetAppKernel));
    WuUIColor_SetHostKernel(TRUE);
  }
  void TearDown() override {
    UIColorTest::TearDown();
    platform::RegisterMainModuleExport("_WuApp_GetAppKernel@0", nullptr);
    if (g_host_module) FreeLibrary(g_host_module);
    g_host_module = nullptr;
    WuSystem_ResetForTesting();
  }
};

TEST_F(UIColorHostTest, HostKernelAnswersColourQueriesAndEdgeColours) {
  const platform::ExportEntry kExports[] = {
      {"_WuGetUIColorAbsolute@4", reinterpret_cast<void*>(&HostAbsolute)},
      {"_WuGetUIColor@4", reinterpret_cast<void*>(&HostColor)}};
  Install(kExports, 2);
  EXPECT_EQ(WuGetUIColorAbsolute(7), 0x010007u);
  EXPECT_EQ(WuGetUIColor(120), 0x020078u);
  EXPECT_EQ(WuGetSysColor(5), 0x020005u);
  EXPECT_TRUE(WuUIColor_GetHostKernel());

  // The UI colour set of the edges asks the host too: the outer raised
  // top-left is UI colour 22 (COLOR_3DLIGHT).
  HDC dc = CreateCompatibleDC(nullptr);
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT r = {0, 0, 8, 8};
  EXPECT_TRUE(WuDrawEdge(dc, &r, EDGE_RAISED, BF_RECT | WUEDGE_COLORS_UI));
  EXPECT_EQ(GetPixel(dc, 0, 0), 0x020000u + COLOR_3DLIGHT);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

TEST_F(UIColorHostTest, AMissingHostFunctionClearsTheFlagForGood) {
  const platform::ExportEntry kExports[] = {
      {"_WuGetUIColor@4", reinterpret_cast<void*>(&HostColor)}};
  Install(kExports, 1);
  EXPECT_EQ(WuGetUIColorAbsolute(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
  EXPECT_FALSE(WuUIColor_GetHostKernel());
  EXPECT_EQ(WuGetUIColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW));  // no longer asked
}

TEST_F(UIColorHostTest, WithoutAHostKernelTheFlagClears) {
  WuSystem_ResetForTesting();
  WuUIColor_SetHostKernel(TRUE);
  EXPECT_EQ(WuGetUIColor(COLOR_MENU), GetSysColor(COLOR_MENU));
  EXPECT_FALSE(WuUIColor_GetHostKernel());
}

}  // namespace
