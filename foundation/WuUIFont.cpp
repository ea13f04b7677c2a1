// UI fonts: the stock-font copies, the cached library fonts and the cached
// average character sizes, all measured on the screen DC.
#include "foundation/WuUIFont.h"

#include "foundation/WuString.h"
#include "foundation/WuSystem.h"
#include "platform/kernel/cpu.h"
#include "platform/user/windows.h"

namespace {

constexpr int kStockKinds = 18;     // kinds 0..17
constexpr int kLibraryFirst = 100;  // first library kind
constexpr int kLibraryKinds = 48;   // kinds 100..147

// Font smoothing type query of the platform (not in the platform layer).
constexpr UINT kSpiGetFontSmoothingType = 0x200A;
constexpr UINT kFontSmoothingClearType = 0x0002;

HFONT g_fonts[kLibraryKinds] = {};             // cached library fonts
SIZE g_sizes[kStockKinds + kLibraryKinds] = {};  // cached "0" extents
bool g_size_known[kStockKinds + kLibraryKinds] = {};  // the extent was measured

// A measuring DC: the screen's, released by the guard.
struct ScreenDc {
  HDC dc = GetDC(nullptr);  // the screen DC, NULL on failure
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};

bool IsXpOrLater() { return WuOSVersionAtLeast(VER_PLATFORM_WIN32_NT, 5, 1, 0) != FALSE; }

int LogPixelsY() {
  ScreenDc screen;
  int dpi = screen.dc ? GetDeviceCaps(screen.dc, LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

LONG HeightOfPoints(int points) { return MulDiv(-points, LogPixelsY(), 72); }

bool ClearTypeOn() {
  BOOL smoothing = FALSE;
  if (!SystemParametersInfoW(SPI_GETFONTSMOOTHING, 0, &smoothing, 0) || !smoothing) return false;
  UINT type = 0;
  if (!SystemParametersInfoW(kSpiGetFontSmoothingType, 0, &type, 0)) return false;
  return type == kFontSmoothingClearType;
}

// The quality and output precision of the library's fonts.
void ApplyRendering(LOGFONTW* lf) {
  lf->lfQuality = PROOF_QUALITY;
  lf->lfOutPrecision = OUT_TT_PRECIS;
  if (IsXpOrLater()) {
    lf->lfOutPrecision = OUT_TT_ONLY_PRECIS;
    if (ClearTypeOn()) lf->lfQuality = CLEARTYPE_QUALITY;
  }
}

// A font description with the dialog face and the common fields.
LOGFONTW DialogFont(LONG height, LONG weight, BYTE pitch_and_family) {
  LOGFONTW lf = {};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = WuGetUIFontCharset();
  lf.lfPitchAndFamily = pitch_and_family;
  WuStrCpyN(lf.lfFaceName, IsXpOrLater() ? u"MS Shell Dlg 2" : u"MS Shell Dlg", 32);
  ApplyRendering(&lf);
  return lf;
}

LOGFONTW FaceFont(LPCWSTR face, LONG height, LONG weight, BYTE pitch_and_family) {
  LOGFONTW lf = DialogFont(height, weight, pitch_and_family);
  WuStrCpyN(lf.lfFaceName, face, 32);
  return lf;
}

LONG GuiHeight() {
  LONG height = -11;
  WuGetStockFontInfo(DEFAULT_GUI_FONT, nullptr, 0, &height, nullptr);
  return height;
}

int StockPoints(int stock, int fallback) {
  int points = fallback;
  WuGetStockFontInfo(stock, nullptr, 0, nullptr, &points);
  return points;
}

// Heights of the fonts a few points below ANSI_FIXED_FONT or DEFAULT_GUI_FONT.
LONG FixedHeight(int points_less) {
  return HeightOfPoints(StockPoints(ANSI_FIXED_FONT, 10) - points_less);
}
LONG SmallGuiHeight() { return HeightOfPoints(StockPoints(DEFAULT_GUI_FONT, 8) - 1); }

// A new font from the non-client metrics: index 0 caption .. 4 message.
HFONT NonClientFont(int index) {
  NONCLIENTMETRICSW ncm = {};
  ncm.cbSize = 500;  // the record without the padded border, known to every version
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &ncm, 0)) return nullptr;
  const LOGFONTW* fonts[] = {&ncm.lfCaptionFont, &ncm.lfSmCaptionFont, &ncm.lfMenuFont,
                             &ncm.lfStatusFont, &ncm.lfMessageFont};
  return CreateFontIndirectW(fonts[index]);
}

HFONT IconTitleFont(bool heavier) {
  LOGFONTW lf = {};
  if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(lf), &lf, 0)) return nullptr;
  if (heavier) {
    lf.lfWidth = 0;
    lf.lfWeight = lf.lfWeight >= FW_BOLD ? 800 : FW_BOLD;
  }
  return CreateFontIndirectW(&lf);
}

HFONT GuiItalicFont(LONG weight) {
  LOGFONTW lf = DialogFont(GuiHeight(), weight, 0);
  WuGetStockFontInfo(DEFAULT_GUI_FONT, lf.lfFaceName, 32, nullptr, nullptr);
  lf.lfItalic = 1;
  lf.lfQuality = PROOF_QUALITY;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  return CreateFontIndirectW(&lf);
}

HFONT Create(const LOGFONTW& lf) { return CreateFontIndirectW(&lf); }

// Creates a library font kind; NULL when creation failed or the kind has none.
HFONT CreateLibraryFont(int kind) {
  switch (kind) {
    case 100: return Create(DialogFont(GuiHeight(), FW_NORMAL, 0x22));
    case 102: return Create(FaceFont(u"Courier New", FixedHeight(1), FW_NORMAL, 0x31));
    case 104: return Create(DialogFont(GuiHeight(), FW_BOLD, 0x22));
    case 106: return GuiItalicFont(FW_NORMAL);
    case 108: return GuiItalicFont(FW_BOLD);
    case 110: return Create(DialogFont(SmallGuiHeight(), FW_NORMAL, 0));
    case 112: return Create(DialogFont(SmallGuiHeight(), FW_BOLD, 0));
    case 120: return Create(FaceFont(u"Courier New", FixedHeight(2), FW_NORMAL, 0x31));
    case 129: return Create(DialogFont(HeightOfPoints(16), FW_MEDIUM, 2));
    case 130: return Create(DialogFont(HeightOfPoints(12), FW_MEDIUM, 0x22));
    case 134: return Create(DialogFont(HeightOfPoints(12), FW_BOLD, 2));
    case 140: case 141: case 142: case 143: case 144: return NonClientFont(kind - 140);
    case 145: return IconTitleFont(false);
    case 146: return IconTitleFont(true);
    case 147: return Create(FaceFont(u"Consolas", HeightOfPoints(10), FW_MEDIUM, 2));
    default: return nullptr;
  }
}

bool IsCachedKind(int kind) {
  switch (kind) {
    case 100: case 102: case 104: case 106: case 108: case 110: case 112: case 120:
    case 129: case 130: case 134:
      return true;
    default:
      return kind >= 140 && kind <= 147;
  }
}

bool IsStockCopyKind(int kind) { return kind >= 10 && kind <= 17 && kind != 15; }

HFONT StockCopy(int kind) {
  HFONT stock = static_cast<HFONT>(GetStockObject(kind));
  LOGFONTW lf = {};
  if (!stock || GetObjectW(stock, sizeof(lf), &lf) == 0) return stock;
  ApplyRendering(&lf);
  HFONT copy = CreateFontIndirectW(&lf);
  return copy ? copy : stock;
}

HFONT DefaultGuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

// The font a kind is measured in, without making a copy of a stock font.
HFONT MeasuringFont(int kind) {
  if (IsStockCopyKind(kind)) return static_cast<HFONT>(GetStockObject(kind));
  return WuGetUIFont(kind);
}

}  // namespace

HFONT WuGetUIFont(int kind) {
  if (IsStockCopyKind(kind)) return StockCopy(kind);
  if (!IsCachedKind(kind)) return DefaultGuiFont();
  HFONT& slot = g_fonts[kind - kLibraryFirst];
  if (!slot) slot = CreateLibraryFont(kind);
  if (slot) return slot;
  if (kind == 102 || kind == 120) return static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  return DefaultGuiFont();
}

const SIZE* WuGetUIFontSize(int kind) {
  int slot;
  if (kind >= 0 && kind < kStockKinds) slot = kind;
  else if (kind >= kLibraryFirst && kind < kLibraryFirst + kLibraryKinds)
    slot = kStockKinds + kind - kLibraryFirst;
  else
    return nullptr;
  if (!g_size_known[slot]) {
    SIZE size = {0, 0};
    if (WuGetFontSize(MeasuringFont(kind), &size)) {
      g_sizes[slot] = size;
      g_size_known[slot] = true;
    }
  }
  return &g_sizes[slot];
}

BOOL WuGetFontSize(HFONT font, SIZE* size) { return WuGetTextExtent(font, u"0", 1, size); }

BOOL WuGetTextExtent(HFONT font, LPCWSTR text, int count, SIZE* size) {
  if (!size || !text) return FALSE;
  size->cx = size->cy = 0;
  ScreenDc screen;
  if (!screen.dc) return FALSE;
  if (count <= 0) count = WuStrLenSafe(text);
  HGDIOBJ old = font ? SelectObject(screen.dc, font) : nullptr;
  BOOL ok = GetTextExtentPoint32W(screen.dc, text, count, size);
  if (old) SelectObject(screen.dc, old);
  return ok;
}

BYTE WuGetUIFontCharset() {
  ScreenDc screen;
  TEXTMETRICW tm = {};
  if (!screen.dc || !GetTextMetricsW(screen.dc, &tm)) return DEFAULT_CHARSET;
  return tm.tmCharSet;
}

BOOL WuGetStockFontInfo(int stock, LPWSTR face, int face_size, LONG* height, int* points) {
  HGDIOBJ font = GetStockObject(stock);
  ScreenDc screen;
  if (!font || !screen.dc) return FALSE;
  HGDIOBJ old = SelectObject(screen.dc, font);
  TEXTMETRICW tm = {};
  BOOL ok = GetTextMetricsW(screen.dc, &tm);
  if (ok && face && face_size > 0) GetTextFaceW(screen.dc, face_size, face);
  int dpi = GetDeviceCaps(screen.dc, LOGPIXELSY);
  if (old) SelectObject(screen.dc, old);
  if (!ok) return FALSE;
  LONG character = tm.tmHeight - tm.tmInternalLeading;
  if (height) *height = -character;
  if (points) *points = MulDiv(character, 72, dpi > 0 ? dpi : 96);
  return TRUE;
}

void WuKernel_ResetUIFonts() {
  for (HFONT& font : g_fonts) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
  for (int i = 0; i < kStockKinds + kLibraryKinds; ++i) {
    g_size_known[i] = false;
    g_sizes[i] = SIZE{0, 0};
  }
}
