// UI colours: the override table, the library palette, blends, the HSL
// conversions, colour profiles and the host kernel's colour functions, plus
// the caches of brushes and pens made from them.
#include "foundation/WuUIColor.h"

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuSystem.h"
#include "foundation/WuUIFont.h"
#include "foundation/WuUIGlyph.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/registry/profile.h"
#include "platform/user/windows.h"

namespace {

constexpr DWORD kNoOverride = 0xFFFFFFFF;  // an override entry that is not set
constexpr int kPenStyles = 3;              // WUPEN_SOLID .. WUPEN_LIGHTER
constexpr int kPatternCount = WUBRUSH_PATTERN_LAST - WUBRUSH_PATTERN_RESOURCE + 1;
constexpr int kMaxPaletteDepth = 4;  // palette entries nested deeper give WUCOLOR_INVALID_ID

// Default palette, ids 100..152.
constexpr DWORD kDefaultPalette[WUCOLOR_PALETTE_COUNT] = {
    0x640000, 0x640000, 0xFFFFFF, 0xF00000, 0xC0C0C0, 0x000000, 0x008000, 0x808000,  // 100
    0x0000FF, 0xFF0000, 0x808000, 0xFFFF00, 0x5C5C5C, 0x0000FF, 0xFF0000, 0xFF8000,  // 108
    0xFFFFFF, 0xC0C0C0, 0x0000FF, 0xFFFFFF, 0x00F4F9, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF,  // 116
    0x000000, 0xFFAE00, 0x74D826, 0x1896FF, 0xFF00BB, 0x808000, 0x578EDB, 0x659E54,  // 124
    0x808000, 0x008000, 0x7D5F38, 0x7D5F38, 0xDB57BD, 0x5757DB, 0x800000, 0x00F4F9,  // 132
    0xFF6121, 0xB5D2FD, 0x720092, 0xFFFFFF, 0xE6E6E6, 0xFF6121, 0x0000FF, 0xC00000,  // 140
    0xE6E6E6, 0x000064, 0x74AC26, 0x2450FF, 0xA2008F,                                // 148
};

// Profile names of the system colours (index 25 has none).
struct ProfileName {
  int index;         // system colour index
  const WCHAR* name; // key in the profile section
};
constexpr ProfileName kProfileNames[] = {
    {0, u"COLOR_SCROLLBAR"},
    {1, u"COLOR_BACKGROUND"},
    {2, u"COLOR_ACTIVECAPTION"},
    {3, u"COLOR_INACTIVECAPTION"},
    {4, u"COLOR_MENU"},
    {5, u"COLOR_WINDOW"},
    {6, u"COLOR_WINDOWFRAME"},
    {7, u"COLOR_MENUTEXT"},
    {8, u"COLOR_WINDOWTEXT"},
    {9, u"COLOR_CAPTIONTEXT"},
    {10, u"COLOR_ACTIVEBORDER"},
    {11, u"COLOR_INACTIVEBORDER"},
    {12, u"COLOR_APPWORKSPACE"},
    {13, u"COLOR_HIGHLIGHT"},
    {14, u"COLOR_HIGHLIGHTTEXT"},
    {15, u"COLOR_BTNFACE"},
    {16, u"COLOR_BTNSHADOW"},
    {17, u"COLOR_GRAYTEXT"},
    {18, u"COLOR_BTNTEXT"},
    {19, u"COLOR_INACTIVECAPTIONTEXT"},
    {20, u"COLOR_BTNHIGHLIGHT"},
    {21, u"COLOR_3DDKSHADOW"},
    {22, u"COLOR_3DLIGHT"},
    {23, u"COLOR_INFOTEXT"},
    {24, u"COLOR_INFOBK"},
    {26, u"COLOR_HOTLIGHT"},
    {27, u"COLOR_GRADIENTACTIVECAPTION"},
    {28, u"COLOR_GRADIENTINACTIVECAPTION"},
    {29, u"COLOR_MENUHILIGHT"},
    {30, u"COLOR_MENUBAR"},
};

// Row bytes (top row first) of the built-in 8x8 pattern brushes.
constexpr BYTE kPatterns[WUBRUSH_PATTERN_LAST - WUBRUSH_PATTERN_FIRST + 1][8] = {
    {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55},  // 10001
    {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},  // 10002
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},  // 10003
    {0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00},  // 10004
    {0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00},  // 10005
    {0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00},  // 10006
    {0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // 10007
    {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00},  // 10008
    {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},  // 10009
    {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC},  // 10010
    {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE},  // 10011
    {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88},  // 10012
    {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0},  // 10013
    {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33},  // 10014
    {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F},  // 10015
    {0xF8, 0x7C, 0x3E, 0x1F, 0x8F, 0xC7, 0xE3, 0xF1},  // 10016
};

// Colour state.
DWORD g_overrides[WUCOLOR_SYSTEM_COUNT] = {  // kNoOverride or a plain colour
    kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride,
    kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride,
    kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride,
    kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride, kNoOverride,
    kNoOverride, kNoOverride, kNoOverride};
DWORD g_palette[WUCOLOR_PALETTE_COUNT] = {  // current palette, ids 100..152
    0x640000, 0x640000, 0xFFFFFF, 0xF00000, 0xC0C0C0, 0x000000, 0x008000, 0x808000,
    0x0000FF, 0xFF0000, 0x808000, 0xFFFF00, 0x5C5C5C, 0x0000FF, 0xFF0000, 0xFF8000,
    0xFFFFFF, 0xC0C0C0, 0x0000FF, 0xFFFFFF, 0x00F4F9, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF,
    0x000000, 0xFFAE00, 0x74D826, 0x1896FF, 0xFF00BB, 0x808000, 0x578EDB, 0x659E54,
    0x808000, 0x008000, 0x7D5F38, 0x7D5F38, 0xDB57BD, 0x5757DB, 0x800000, 0x00F4F9,
    0xFF6121, 0xB5D2FD, 0x720092, 0xFFFFFF, 0xE6E6E6, 0xFF6121, 0x0000FF, 0xC00000,
    0xE6E6E6, 0x000064, 0x74AC26, 0x2450FF, 0xA2008F};
int g_palette_depth = 0;  // palette entries being evaluated (guards self-reference)

// Object caches: one slot per colour id (system ids first, then the palette).
constexpr int kColorSlots = WUCOLOR_SYSTEM_COUNT + WUCOLOR_PALETTE_COUNT;
HBRUSH g_brushes[kColorSlots] = {};             // solid brushes
HPEN g_pens[kColorSlots][kPenStyles] = {};      // pens by style
HBRUSH g_pattern_brushes[kPatternCount] = {};   // ids 10000..10016

// Host kernel.
typedef COLORREF (*HostColorFunction)(int id);
bool g_host_enabled = false;              // the host-kernel flag
bool g_host_resolved = false;             // the names were looked up
HostColorFunction g_host_absolute = nullptr;  // "_WuGetUIColorAbsolute@4"
HostColorFunction g_host_color = nullptr;     // "_WuGetUIColor@4"

// The slot of a colour id, or -1.
int ColorSlot(int id) {
  if (id >= 0 && id < WUCOLOR_SYSTEM_COUNT) return id;
  if (id >= WUCOLOR_PALETTE_FIRST && id <= WUCOLOR_PALETTE_LAST)
    return WUCOLOR_SYSTEM_COUNT + id - WUCOLOR_PALETTE_FIRST;
  return -1;
}

void ResolveHost() {
  if (g_host_resolved) return;
  g_host_resolved = true;
  WUAPPKERNELFUNC functions[2] = {{nullptr, "_WuGetUIColorAbsolute@4"},
                                  {nullptr, "_WuGetUIColor@4"}};
  WuApp_ResolveKernelFunctions(functions, 2);  // absent names stay NULL
  g_host_absolute = reinterpret_cast<HostColorFunction>(functions[0].function);
  g_host_color = reinterpret_cast<HostColorFunction>(functions[1].function);
}

// The host function to ask, or NULL to answer here. A missing function
// clears the host-kernel flag for good.
HostColorFunction HostFunction(bool nearest) {
  if (!g_host_enabled) return nullptr;
  ResolveHost();
  HostColorFunction f = nearest ? g_host_color : g_host_absolute;
  if (!f) g_host_enabled = false;
  return f;
}

int ScreenBitsPerPixel() {
  HDC screen = GetDC(nullptr);
  if (!screen) return 32;
  int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

// A system colour with its override.
COLORREF SystemColor(int index) {
  if (index < 0 || index >= WUCOLOR_SYSTEM_COUNT) return WUCOLOR_INVALID_ID;
  if (g_overrides[index] != kNoOverride) return g_overrides[index];
  return GetSysColor(index);
}

// Pushes a mid grey lighter or darker so that it stands apart from the
// greys of the system faces.
COLORREF PushGreyApart(COLORREF color) {
  DWORD hsl = WuRGBtoHSL(color);
  DWORD hue = hsl & 0xFF, sat = (hsl >> 8) & 0xFF, lum = (hsl >> 16) & 0xFF;
  if (sat >= 20 || lum < 91 || lum > 149) return color;
  lum = lum > 120 ? 150 : 90;
  return WuHSLtoRGB(hue | (sat << 8) | (lum << 16));
}

// The colour a palette entry stands for.
COLORREF PaletteEntryColor(DWORD entry) {
  DWORD tag = entry & 0xFF000000;
  if (tag == WUCOLOR_BLEND_TAG) {
    if ((entry & 0x00FFFF00) == 0) return SystemColor(static_cast<int>(entry & 0xFF));
    // A blend may name palette entries again: stop a loop of entries.
    if (g_palette_depth >= kMaxPaletteDepth) return WUCOLOR_INVALID_ID;
    ++g_palette_depth;
    COLORREF c = WuSysColorsAlphaBlend(entry);
    --g_palette_depth;
    return c;
  }
  if (tag == WUCOLOR_GREYPUSH_TAG) {
    COLORREF c = SystemColor(static_cast<int>(entry & 0x00FFFFFF));
    if (c == WUCOLOR_INVALID_ID) return c;
    return ScreenBitsPerPixel() > 8 ? PushGreyApart(c) : c;
  }
  return entry;
}

bool IsBlendId(DWORD id) {
  return (id & 0xFF000000) == WUCOLOR_BLEND_TAG && ((id >> 8) & 0xFF) < 100 &&
         ((id >> 16) & 0xFF) < 100;
}

// The colour of an id, answered here.
COLORREF LocalColor(int id) {
  if (id >= 0 && id < WUCOLOR_SYSTEM_COUNT) return SystemColor(id);
  if (id < 0 && id > -WUCOLOR_SYSTEM_COUNT) return GetSysColor(-id);
  if ((id >= WUCOLOR_SYSTEM_COUNT && id < WUCOLOR_PALETTE_FIRST) ||
      (id < -(WUCOLOR_SYSTEM_COUNT - 1) && id > -WUCOLOR_PALETTE_FIRST))
    return WUCOLOR_INVALID_ID;
  if (id >= WUCOLOR_PALETTE_FIRST && id <= WUCOLOR_PALETTE_LAST)
    return PaletteEntryColor(g_palette[id - WUCOLOR_PALETTE_FIRST]);
  if (id <= -WUCOLOR_PALETTE_FIRST && id >= -WUCOLOR_PALETTE_LAST)
    return PaletteEntryColor(kDefaultPalette[-id - WUCOLOR_PALETTE_FIRST]);
  if (IsBlendId(static_cast<DWORD>(id))) return WuSysColorsAlphaBlend(static_cast<DWORD>(id));
  return WUCOLOR_UNKNOWN;
}

void DeleteBrush(HBRUSH* brush) {
  if (*brush) DeleteObject(*brush);
  *brush = nullptr;
}

void DeletePen(HPEN* pen) {
  if (*pen) DeleteObject(*pen);
  *pen = nullptr;
}

void ReleaseColoredObjects() {
  for (int slot = 0; slot < kColorSlots; ++slot) {
    DeleteBrush(&g_brushes[slot]);
    for (HPEN& pen : g_pens[slot]) DeletePen(&pen);
  }
  for (HBRUSH& brush : g_pattern_brushes) DeleteBrush(&brush);
}

HBRUSH CreateBuiltInPattern(int index) {
  BYTE rows[16];  // 16 x 8 one-bit image: two equal bytes per row
  for (int y = 0; y < 8; ++y) rows[2 * y] = rows[2 * y + 1] = kPatterns[index][y];
  HBITMAP bitmap = CreateBitmap(16, 8, 1, 1, rows);
  if (!bitmap) return nullptr;
  HBRUSH brush = CreatePatternBrush(bitmap);
  DeleteObject(bitmap);
  return brush;
}

HBRUSH CreateResourcePattern() {
  HWULANG lang = WuKernel_GetLangHandle();
  HMODULE module = lang ? WuLang_InstFromLang(lang) : GetModuleHandleW(nullptr);
  HANDLE image = LoadImageW(module, MAKEINTRESOURCEW(101), IMAGE_BITMAP, 0, 0, 0);
  if (!image && lang) image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101),
                                         IMAGE_BITMAP, 0, 0, 0);
  if (!image) return nullptr;
  HBITMAP bitmap = static_cast<HBITMAP>(image);
  HBRUSH brush = CreatePatternBrush(bitmap);
  DeleteObject(bitmap);
  return brush;
}

COLORREF LighterColor(COLORREF c) {
  int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  int m = (r + g + b) / 3 + 192;
  return RGB(static_cast<BYTE>((m + r) / 3), static_cast<BYTE>((m + g) / 3),
             static_cast<BYTE>((m + b) / 3));
}

// The colour a brush or pen of a colour id is made in.
COLORREF ObjectColor(int id) {
  return id < WUCOLOR_SYSTEM_COUNT ? WuGetUIColor(id) : WuGetUIColorAbsolute(id);
}

}  // namespace

// ---- Colours --------------------------------------------------------------------------------

COLORREF WuGetUIColorAbsolute(int id) {
  if (HostColorFunction host = HostFunction(false)) return host(id);
  return LocalColor(id);
}

COLORREF WuGetUIColor(int id) {
  if (HostColorFunction host = HostFunction(true)) return host(id);
  COLORREF c = LocalColor(id);
  if (id < WUCOLOR_PALETTE_FIRST || id > WUCOLOR_PALETTE_LAST) return c;
  HDC screen = GetDC(nullptr);
  if (!screen) return c;
  COLORREF nearest = GetNearestColor(screen, c);
  ReleaseDC(nullptr, screen);
  return nearest == CLR_INVALID ? c : nearest;
}

COLORREF WuGetSysColor(int id) { return WuGetUIColor(id); }

BOOL WuSetUIColor(int id, DWORD value) {
  DWORD* entry = nullptr;
  if (id >= 0 && id < WUCOLOR_SYSTEM_COUNT) {
    if (value != kNoOverride && (value & WUCOLOR_BLEND_TAG)) return FALSE;
    entry = &g_overrides[id];
  } else if (id >= WUCOLOR_PALETTE_FIRST && id <= WUCOLOR_PALETTE_LAST) {
    entry = &g_palette[id - WUCOLOR_PALETTE_FIRST];
  } else {
    return FALSE;
  }
  if (*entry != value) {
    *entry = value;
    WuFreeUIColoredObjects(id);
  }
  return TRUE;
}

COLORREF WuSysColorsAlphaBlend(DWORD v) {
  COLORREF c1 = WuGetUIColor(static_cast<int>(v & 0xFF));
  int a = static_cast<int>((v >> 8) & 0xFF);
  if (a == 0) return c1;
  COLORREF c2 = WuGetUIColor(static_cast<int>((v >> 16) & 0xFF));
  COLORREF result = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int x1 = static_cast<int>((c1 >> shift) & 0xFF), x2 = static_cast<int>((c2 >> shift) & 0xFF);
    int t = (x1 - x2) * a + 128;
    int channel = x2 + (((t >> 8) + t) >> 8);
    if (channel < 0) channel = 0;
    if (channel > 255) channel = 255;
    result |= static_cast<COLORREF>(channel) << shift;
  }
  return result;
}

DWORD WuRGBtoHSL(COLORREF rgb) {
  int r = GetRValue(rgb), g = GetGValue(rgb), b = GetBValue(rgb);
  int max = r > g ? (r > b ? r : b) : (g > b ? g : b);
  int min = r < g ? (r < b ? r : b) : (g < b ? g : b);
  int sum = max + min;
  int l = (sum * 240 + 256) / 512;
  int h = 160, s = 0;
  if (max != min) {
    int d = max - min;
    int q = l <= 120 ? sum : 512 - sum;
    s = (d * 240 + q / 2) / q;
    int rd = ((max - r) * 40 + d / 2) / d;
    int gd = ((max - g) * 40 + d / 2) / d;
    int bd = ((max - b) * 40 + d / 2) / d;
    if (r == max) h = bd - gd;
    else if (g == max) h = 80 + rd - bd;
    else h = 160 + gd - rd;
    if (h < 0) h += 240;
    if (h > 240) h -= 240;
  }
  return static_cast<DWORD>(h) | (static_cast<DWORD>(s) << 8) | (static_cast<DWORD>(l) << 16);
}

namespace {

// One channel of the HSL conversion, on the 0..240 scale.
int HueChannel(int m1, int m2, int h) {
  if (h >= 240) h -= 240;
  if (h < 0) h += 240;  // a negative hue lies above 160
  if (h < 40) return m1 + ((m2 - m1) * h + 20) / 40;
  if (h < 120) return m2;
  if (h < 160) return m1 + ((m2 - m1) * (160 - h) + 20) / 40;
  return m1;
}

BYTE Scale240(int x) {
  int v = (x * 255 + 120) / 240;
  return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

COLORREF WuHSLtoRGB(DWORD hsl) {
  int h = static_cast<int>(hsl & 0xFF), s = static_cast<int>((hsl >> 8) & 0xFF);
  int l = static_cast<int>((hsl >> 16) & 0xFF);
  if (s == 0) {
    int v = l * 255 / 240;
    BYTE c = static_cast<BYTE>(v > 255 ? 255 : v);
    return RGB(c, c, c);
  }
  int m2 = l <= 120 ? (l * (240 + s) + 120) / 240 : l + s - (l * s + 120) / 240;
  int m1 = 2 * l - m2;
  return RGB(Scale240(HueChannel(m1, m2, h + 80)), Scale240(HueChannel(m1, m2, h)),
             Scale240(HueChannel(m1, m2, h - 80)));
}

BOOL WuIsHighContrastMode() {
  HIGHCONTRASTW hc = {sizeof(HIGHCONTRASTW), 0, nullptr};
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(hc), &hc, 0)) return FALSE;
  return (hc.dwFlags & HCF_HIGHCONTRASTON) ? TRUE : FALSE;
}

namespace {

// The section name, "colors" by default, cut at 259 characters.
void SectionName(LPCWSTR section, WCHAR (&out)[260]) {
  if (!section) section = u"colors";
  int n = 0;
  while (n < 259 && section[n]) {
    out[n] = section[n];
    ++n;
  }
  out[n] = 0;
}

}  // namespace

HRESULT WuLoadUIColors(LPCWSTR file, LPCWSTR section) {
  if (!file || GetFileAttributesW(file) == INVALID_FILE_ATTRIBUTES) return WU_E_COLORS_FILE_MISSING;
  WCHAR name[260];
  SectionName(section, name);
  for (const ProfileName& p : kProfileNames) {
    UINT value = GetPrivateProfileIntW(name, p.name, static_cast<INT>(GetSysColor(p.index)), file);
    WuSetUIColor(p.index, value);  // a value that is not a plain colour is refused
  }
  return S_OK;
}

HRESULT WuSaveUIColors(LPCWSTR file, LPCWSTR section) {
  if (!file) return WU_E_COLORS_FILE_READONLY;
  WCHAR name[260];
  SectionName(section, name);
  for (const ProfileName& p : kProfileNames) {
    WCHAR text[32];
    WuPrintFN(text, 32, u"%#010x", static_cast<unsigned>(WuGetUIColor(p.index)));
    if (!WritePrivateProfileStringW(name, p.name, text, file)) return WU_E_COLORS_FILE_READONLY;
  }
  return S_OK;
}

// ---- Brushes and pens ---------------------------------------------------------------------

HBRUSH WuGetUIBrush(int id) {
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  HBRUSH* slot = nullptr;
  int slot_index = ColorSlot(id);
  if (slot_index >= 0) slot = &g_brushes[slot_index];
  else if (id >= WUBRUSH_PATTERN_RESOURCE && id <= WUBRUSH_PATTERN_LAST)
    slot = &g_pattern_brushes[id - WUBRUSH_PATTERN_RESOURCE];
  else
    return black;
  if (!*slot) {
    if (slot_index >= 0) *slot = CreateSolidBrush(ObjectColor(id));
    else if (id == WUBRUSH_PATTERN_RESOURCE) *slot = CreateResourcePattern();
    else *slot = CreateBuiltInPattern(id - WUBRUSH_PATTERN_FIRST);
  }
  return *slot ? *slot : black;
}

HPEN WuGetUIPen(int id) { return WuGetUIPenWithStyle(id, WUPEN_SOLID); }

HPEN WuGetUIPenWithStyle(int id, int style) {
  HPEN black = static_cast<HPEN>(GetStockObject(BLACK_PEN));
  int slot = ColorSlot(id);
  if (slot < 0 || style < 0 || style >= kPenStyles) return black;
  HPEN& pen = g_pens[slot][style];
  if (!pen) {
    COLORREF c = ObjectColor(id);
    if (style == WUPEN_LIGHTER) c = LighterColor(c);
    pen = CreatePen(style == WUPEN_DOTTED ? PS_DOT : PS_SOLID, 1, c);
  }
  return pen ? pen : black;
}

void WuFreeUIColoredObjects(int id) {
  int slot = ColorSlot(id);
  if (slot < 0) return;
  DeleteBrush(&g_brushes[slot]);
  for (HPEN& pen : g_pens[slot]) DeletePen(&pen);
}

// ---- Host application kernel --------------------------------------------------------------

void WuUIColor_SetHostKernel(BOOL enabled) {
  g_host_enabled = enabled != FALSE;
  g_host_resolved = false;
  g_host_absolute = nullptr;
  g_host_color = nullptr;
}

BOOL WuUIColor_GetHostKernel() { return g_host_enabled ? TRUE : FALSE; }

// ---- Kernel hooks ---------------------------------------------------------------------------

void WuKernel_ResetUIColors(BOOL keep_objects) {
  if (!keep_objects) {
    ReleaseColoredObjects();
    WuUIGlyph_Release();
  }
  for (int i = 0; i < WUCOLOR_PALETTE_COUNT; ++i) g_palette[i] = kDefaultPalette[i];
  for (DWORD& o : g_overrides) o = kNoOverride;
}

void WuKernel_ReleaseUIObjects() {
  ReleaseColoredObjects();
  WuUIGlyph_Release();
  WuKernel_ResetUIFonts();
}
