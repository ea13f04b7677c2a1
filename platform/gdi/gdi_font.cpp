// Fonts: the deterministic metric model documented in gdi.h, the built-in
// 5 x 8 glyphs of the printable ASCII characters, and the font and text
// measurement calls.
#include <cstring>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

constexpr int kMaxCharHeight = 2048;

// Glyph art for 0x20..0x7E: eight rows of five columns, '#' for ink. Rows
// 0..6 stand on the baseline; row 7 hangs below it.
const char* const kGlyphs[95] = {
    ".....|.....|.....|.....|.....|.....|.....|.....",  // space
    "..#..|..#..|..#..|..#..|..#..|.....|..#..|.....",  // !
    ".#.#.|.#.#.|.#.#.|.....|.....|.....|.....|.....",  // "
    ".#.#.|.#.#.|#####|.#.#.|#####|.#.#.|.#.#.|.....",  // #
    "..#..|.####|#.#..|.###.|..#.#|####.|..#..|.....",  // $
    "##...|##..#|...#.|..#..|.#...|#..##|...##|.....",  // %
    ".##..|#..#.|#.#..|.#...|#.#.#|#..#.|.##.#|.....",  // &
    "..#..|..#..|.#...|.....|.....|.....|.....|.....",  // '
    "...#.|..#..|.#...|.#...|.#...|..#..|...#.|.....",  // (
    ".#...|..#..|...#.|...#.|...#.|..#..|.#...|.....",  // )
    ".....|..#..|#.#.#|.###.|#.#.#|..#..|.....|.....",  // *
    ".....|..#..|..#..|#####|..#..|..#..|.....|.....",  // +
    ".....|.....|.....|.....|.....|..#..|..#..|.#...",  // ,
    ".....|.....|.....|#####|.....|.....|.....|.....",  // -
    ".....|.....|.....|.....|.....|.##..|.##..|.....",  // .
    ".....|....#|...#.|..#..|.#...|#....|.....|.....",  // /
    ".###.|#...#|#..##|#.#.#|##..#|#...#|.###.|.....",  // 0
    "..#..|.##..|..#..|..#..|..#..|..#..|.###.|.....",  // 1
    ".###.|#...#|....#|...#.|..#..|.#...|#####|.....",  // 2
    "#####|...#.|..#..|...#.|....#|#...#|.###.|.....",  // 3
    "...#.|..##.|.#.#.|#..#.|#####|...#.|...#.|.....",  // 4
    "#####|#....|####.|....#|....#|#...#|.###.|.....",  // 5
    "..##.|.#...|#....|####.|#...#|#...#|.###.|.....",  // 6
    "#####|....#|...#.|..#..|.#...|.#...|.#...|.....",  // 7
    ".###.|#...#|#...#|.###.|#...#|#...#|.###.|.....",  // 8
    ".###.|#...#|#...#|.####|....#|...#.|.##..|.....",  // 9
    ".....|.##..|.##..|.....|.##..|.##..|.....|.....",  // :
    ".....|.##..|.##..|.....|.##..|..#..|.#...|.....",  // ;
    "...#.|..#..|.#...|#....|.#...|..#..|...#.|.....",  // <
    ".....|.....|#####|.....|#####|.....|.....|.....",  // =
    ".#...|..#..|...#.|....#|...#.|..#..|.#...|.....",  // >
    ".###.|#...#|....#|...#.|..#..|.....|..#..|.....",  // ?
    ".###.|#...#|....#|.##.#|#.#.#|#.#.#|.###.|.....",  // @
    ".###.|#...#|#...#|#...#|#####|#...#|#...#|.....",  // A
    "####.|#...#|#...#|####.|#...#|#...#|####.|.....",  // B
    ".###.|#...#|#....|#....|#....|#...#|.###.|.....",  // C
    "###..|#..#.|#...#|#...#|#...#|#..#.|###..|.....",  // D
    "#####|#....|#....|####.|#....|#....|#####|.....",  // E
    "#####|#....|#....|####.|#....|#....|#....|.....",  // F
    ".###.|#...#|#....|#.###|#...#|#...#|.####|.....",  // G
    "#...#|#...#|#...#|#####|#...#|#...#|#...#|.....",  // H
    ".###.|..#..|..#..|..#..|..#..|..#..|.###.|.....",  // I
    "..###|...#.|...#.|...#.|...#.|#..#.|.##..|.....",  // J
    "#...#|#..#.|#.#..|##...|#.#..|#..#.|#...#|.....",  // K
    "#....|#....|#....|#....|#....|#....|#####|.....",  // L
    "#...#|##.##|#.#.#|#.#.#|#...#|#...#|#...#|.....",  // M
    "#...#|#...#|##..#|#.#.#|#..##|#...#|#...#|.....",  // N
    ".###.|#...#|#...#|#...#|#...#|#...#|.###.|.....",  // O
    "####.|#...#|#...#|####.|#....|#....|#....|.....",  // P
    ".###.|#...#|#...#|#...#|#.#.#|#..#.|.##.#|.....",  // Q
    "####.|#...#|#...#|####.|#.#..|#..#.|#...#|.....",  // R
    ".####|#....|#....|.###.|....#|....#|####.|.....",  // S
    "#####|..#..|..#..|..#..|..#..|..#..|..#..|.....",  // T
    "#...#|#...#|#...#|#...#|#...#|#...#|.###.|.....",  // U
    "#...#|#...#|#...#|#...#|#...#|.#.#.|..#..|.....",  // V
    "#...#|#...#|#...#|#.#.#|#.#.#|#.#.#|.#.#.|.....",  // W
    "#...#|#...#|.#.#.|..#..|.#.#.|#...#|#...#|.....",  // X
    "#...#|#...#|#...#|.#.#.|..#..|..#..|..#..|.....",  // Y
    "#####|....#|...#.|..#..|.#...|#....|#####|.....",  // Z
    ".###.|.#...|.#...|.#...|.#...|.#...|.###.|.....",  // [
    ".....|#....|.#...|..#..|...#.|....#|.....|.....",  // backslash
    ".###.|...#.|...#.|...#.|...#.|...#.|.###.|.....",  // ]
    "..#..|.#.#.|#...#|.....|.....|.....|.....|.....",  // ^
    ".....|.....|.....|.....|.....|.....|.....|#####",  // _
    ".#...|..#..|...#.|.....|.....|.....|.....|.....",  // `
    ".....|.....|.###.|....#|.####|#...#|.####|.....",  // a
    "#....|#....|#.##.|##..#|#...#|#...#|####.|.....",  // b
    ".....|.....|.###.|#....|#....|#...#|.###.|.....",  // c
    "....#|....#|.##.#|#..##|#...#|#...#|.####|.....",  // d
    ".....|.....|.###.|#...#|#####|#....|.###.|.....",  // e
    "..##.|.#..#|.#...|###..|.#...|.#...|.#...|.....",  // f
    ".....|.....|.####|#...#|#...#|.####|....#|.###.",  // g
    "#....|#....|#.##.|##..#|#...#|#...#|#...#|.....",  // h
    "..#..|.....|.##..|..#..|..#..|..#..|.###.|.....",  // i
    "...#.|.....|..##.|...#.|...#.|...#.|#..#.|.##..",  // j
    "#....|#....|#..#.|#.#..|##...|#.#..|#..#.|.....",  // k
    ".##..|..#..|..#..|..#..|..#..|..#..|.###.|.....",  // l
    ".....|.....|##.#.|#.#.#|#.#.#|#...#|#...#|.....",  // m
    ".....|.....|#.##.|##..#|#...#|#...#|#...#|.....",  // n
    ".....|.....|.###.|#...#|#...#|#...#|.###.|.....",  // o
    ".....|.....|####.|#...#|#...#|####.|#....|#....",  // p
    ".....|.....|.####|#...#|#...#|.####|....#|....#",  // q
    ".....|.....|#.##.|##..#|#....|#....|#....|.....",  // r
    ".....|.....|.####|#....|.###.|....#|####.|.....",  // s
    ".#...|.#...|###..|.#...|.#...|.#..#|..##.|.....",  // t
    ".....|.....|#...#|#...#|#...#|#..##|.##.#|.....",  // u
    ".....|.....|#...#|#...#|#...#|.#.#.|..#..|.....",  // v
    ".....|.....|#...#|#...#|#.#.#|#.#.#|.#.#.|.....",  // w
    ".....|.....|#...#|.#.#.|..#..|.#.#.|#...#|.....",  // x
    ".....|.....|#...#|#...#|#...#|.####|....#|.###.",  // y
    ".....|.....|#####|...#.|..#..|.#...|#####|.....",  // z
    "...#.|..#..|..#..|.#...|..#..|..#..|...#.|.....",  // {
    "..#..|..#..|..#..|..#..|..#..|..#..|..#..|.....",  // |
    ".#...|..#..|..#..|...#.|..#..|..#..|.#...|.....",  // }
    ".....|.....|.#...|#.#.#|...#.|.....|.....|.....",  // ~
};

// The glyph rows as bit masks (bit 4 is the leftmost column), decoded once.
// The columns a glyph inks (first and last) are kept too, so that a narrow
// character cell shows the glyph's strokes rather than its empty margins.
struct GlyphBits {
  uint8_t rows[95][8];
  uint8_t first[95];
  uint8_t last[95];
  GlyphBits() {
    for (int g = 0; g < 95; ++g) {
      uint8_t used = 0;
      for (int r = 0; r < 8; ++r) {
        uint8_t v = 0;
        for (int c = 0; c < 5; ++c) v = static_cast<uint8_t>((v << 1) | (kGlyphs[g][r * 6 + c] == '#'));
        rows[g][r] = v;
        used |= v;
      }
      first[g] = 0;
      last[g] = 4;
      while (first[g] < 4 && !(used & (0x10 >> first[g]))) ++first[g];
      while (last[g] > first[g] && !(used & (0x10 >> last[g]))) --last[g];
    }
  }
};

const GlyphBits& Glyphs() {
  static const GlyphBits bits;
  return bits;
}

bool EqualFace(const WCHAR* face, const char* name) {
  for (int i = 0;; ++i) {
    char16_t a = i < 32 ? face[i] : 0;
    char16_t b = static_cast<unsigned char>(name[i]);
    if (a >= u'A' && a <= u'Z') a += 32;
    if (b >= u'A' && b <= u'Z') b += 32;
    if (a != b) return false;
    if (!a) return true;
  }
}

bool FixedFace(const WCHAR* face) {
  static const char* const kFixed[] = {"Courier", "Courier New", "Consolas", "Lucida Console",
                                       "Terminal", "Fixedsys"};
  for (const char* name : kFixed)
    if (EqualFace(face, name)) return true;
  return false;
}

bool Wide(char16_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6);
}

// Width of a character in percent of the base width (proportional fonts).
int WidthPercent(char16_t c) {
  if (c == u' ') return 55;
  if (c < 0x80 && std::strchr("ijl!|'.,:;`", static_cast<char>(c)) && c) return 40;
  if (c < 0x80 && std::strchr("ftrI()[]{}\"-", static_cast<char>(c)) && c) return 60;
  if (c < 0x80 && std::strchr("mwMW@%", static_cast<char>(c)) && c) return 150;
  if (c >= u'A' && c <= u'Z') return 120;
  if (Wide(c)) return 200;
  return 100;
}

}  // namespace

FontMetrics ComputeMetrics(const LOGFONTW& lf) {
  FontMetrics m;
  int64_t h = lf.lfHeight;
  int ch;
  if (h > 0) {
    m.height = static_cast<int>(h > kMaxCharHeight ? kMaxCharHeight : h);
    ch = m.height - m.height / 6;
  } else {
    int64_t c = h < 0 ? -h : 12;
    ch = static_cast<int>(c > kMaxCharHeight ? kMaxCharHeight : c);
    m.height = ch + (ch + 2) / 5;
  }
  m.internal_leading = m.height - ch;
  m.descent = (m.height + 2) / 5;
  m.ascent = m.height - m.descent;
  m.external_leading = ch / 10;
  int64_t w = lf.lfWidth < 0 ? -static_cast<int64_t>(lf.lfWidth) : lf.lfWidth;
  m.base_width = w ? static_cast<int>(w > kMaxCharHeight ? kMaxCharHeight : w) : (ch * 9 + 19) / 20;
  m.bold_extra = lf.lfWeight >= FW_SEMIBOLD ? (ch / 12 > 1 ? ch / 12 : 1) : 0;
  int pitch = lf.lfPitchAndFamily & 3;
  m.fixed = pitch == FIXED_PITCH ||
            (pitch == DEFAULT_PITCH && ((lf.lfPitchAndFamily & 0xF0) == FF_MODERN || FixedFace(lf.lfFaceName)));
  return m;
}

int CharWidth(const FontMetrics& m, char16_t c) {
  if (m.fixed) return m.base_width + m.bold_extra;
  int w = (m.base_width * WidthPercent(c) + 50) / 100;
  return (w < 1 ? 1 : w) + m.bold_extra;
}

void DrawGlyph(Dc& dc, const Font& font, char16_t c, int x, int y, int advance, COLORREF color,
               const RECT* clip) {
  Bitmap* s = Surface(dc);
  if (!s || c == u' ' || advance <= 0) return;
  const FontMetrics& m = font.m;
  uint32_t raw = RawFromColor(*s, color);
  int gap = advance >= 3 ? 1 : 0;
  int ink = advance - gap - m.bold_extra;
  if (ink < 1) ink = 1;
  int zone = m.ascent - m.internal_leading;  // height of the seven rows above the baseline
  if (zone < 1) zone = m.ascent > 0 ? m.ascent : 1;
  int top = m.ascent - zone;
  bool italic = font.lf.lfItalic != 0;
  auto plot = [&](int px, int py) {
    int shift = italic ? (m.ascent - py) / 4 : 0;
    for (int k = 0; k <= m.bold_extra; ++k) {
      int dx = x + px + shift + k, dy = y + py;
      if (clip && (dx < clip->left || dx >= clip->right || dy < clip->top || dy >= clip->bottom)) continue;
      if (Visible(dc, dx, dy)) WriteRaw(*s, dx, dy, raw);
    }
  };
  if (c >= 0x21 && c <= 0x7E) {
    const GlyphBits& g = Glyphs();
    const uint8_t* rows = g.rows[c - 0x20];
    // Cells of five or more pixels show the whole 5-column design; narrower
    // ones only the columns the glyph inks, each pixel inked when any of the
    // columns it covers is, so that thin strokes survive.
    int first = ink >= 5 ? 0 : g.first[c - 0x20];
    int span = ink >= 5 ? 5 : g.last[c - 0x20] - first + 1;
    for (int py = top; py < m.height; ++py) {
      int gy = (py - top) * 7 / zone;
      if (gy > 7) break;
      for (int px = 0; px < ink; ++px) {
        int from = first + px * span / ink;
        int to = ink < span ? first + ((px + 1) * span - 1) / ink : from;
        uint8_t covered = static_cast<uint8_t>(((0x1F >> from) & ~(0x0F >> to)) & 0x1F);
        if (rows[gy] & covered) plot(px, py);
      }
    }
    return;
  }
  // No glyph: a box over the character's ascent.
  for (int px = 0; px < ink; ++px) {
    plot(px, top);
    plot(px, m.ascent - 1);
  }
  for (int py = top; py < m.ascent; ++py) {
    plot(0, py);
    plot(ink - 1, py);
  }
}

}  // namespace platform::gdi

using platform::GdiKind;
using namespace platform::gdi;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto f = std::make_shared<Font>();
  f->lf = *font;
  f->lf.lfFaceName[31] = 0;
  f->m = ComputeMetrics(f->lf);
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return reinterpret_cast<HFONT>(Insert(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strike_out, DWORD charset,
                  DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCWSTR face) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strike_out);
  lf.lfCharSet = static_cast<BYTE>(charset);
  lf.lfOutPrecision = static_cast<BYTE>(out_precision);
  lf.lfClipPrecision = static_cast<BYTE>(clip_precision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
  for (int i = 0; face && face[i] && i < 31; ++i) lf.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&lf);
}

#define WU_TEXT_DC(dc_handle)                          \
  std::lock_guard<std::recursive_mutex> guard(Lock()); \
  Dc* d = FindDc(dc_handle);                           \
  if (!d) {                                            \
    SetLastError(ERROR_INVALID_HANDLE);                \
    return FALSE;                                      \
  }                                                    \
  const Font& font = DcFont(*d);

BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics) {
  WU_TEXT_DC(dc)
  if (!metrics) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const FontMetrics& m = font.m;
  TEXTMETRICW t{};
  t.tmHeight = m.height;
  t.tmAscent = m.ascent;
  t.tmDescent = m.descent;
  t.tmInternalLeading = m.internal_leading;
  t.tmExternalLeading = m.external_leading;
  t.tmAveCharWidth = m.base_width + m.bold_extra;
  t.tmMaxCharWidth = m.fixed ? m.base_width + m.bold_extra : CharWidth(m, 0x4E00);
  t.tmWeight = font.lf.lfWeight ? font.lf.lfWeight : FW_NORMAL;
  t.tmDigitizedAspectX = 96;
  t.tmDigitizedAspectY = 96;
  t.tmFirstChar = 0x20;
  t.tmLastChar = 0xFFFC;
  t.tmDefaultChar = 0x1F;
  t.tmBreakChar = 0x20;
  t.tmItalic = font.lf.lfItalic ? 1 : 0;
  t.tmUnderlined = font.lf.lfUnderline ? 1 : 0;
  t.tmStruckOut = font.lf.lfStrikeOut ? 1 : 0;
  t.tmPitchAndFamily = static_cast<BYTE>((font.lf.lfPitchAndFamily & 0xF0) | (m.fixed ? 0 : TMPF_FIXED_PITCH));
  t.tmCharSet = font.lf.lfCharSet;
  *metrics = t;
  return TRUE;
}

int GetTextFaceW(HDC dc, int count, LPWSTR face) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || (face && count <= 0)) {
    SetLastError(d ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return 0;
  }
  const WCHAR* name = DcFont(*d).lf.lfFaceName;
  int length = 0;
  while (length < 31 && name[length]) ++length;
  if (!face) return length + 1;
  int n = length < count - 1 ? length : count - 1;
  for (int i = 0; i < n; ++i) face[i] = name[i];
  face[n] = 0;
  return n + 1;
}

BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int max_extent, int* fit, int* dx,
                           SIZE* size) {
  WU_TEXT_DC(dc)
  if (count < 0 || (count > 0 && !text) || !size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int64_t total = 0;
  int fitted = 0;
  for (int i = 0; i < count; ++i) {
    total += CharWidth(font.m, text[i]);
    if (total > 0x3FFFFFFF) total = 0x3FFFFFFF;
    if (total <= max_extent) fitted = i + 1;
    if (dx) dx[i] = static_cast<int>(total);
  }
  if (fit) *fit = fitted;
  size->cx = static_cast<LONG>(total);
  size->cy = font.m.height;
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size) {
  return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int count, SIZE* size) {
  return GetTextExtentExPointW(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetCharWidth32W(HDC dc, UINT first, UINT last, int* widths) {
  WU_TEXT_DC(dc)
  if (!widths || last < first || last > 0xFFFF) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (UINT c = first; c <= last; ++c) widths[c - first] = CharWidth(font.m, static_cast<char16_t>(c));
  return TRUE;
}

BOOL GetCharWidthW(HDC dc, UINT first, UINT last, int* widths) {
  return GetCharWidth32W(dc, first, last, widths);
}
