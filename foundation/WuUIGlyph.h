// Standard UI glyphs (plus, minus, cross, arrows, chevrons, size grip) from a
// one-bit strip, and 3-D edges in custom colour sets.
//
// The strip is 224 x 10 pixels; glyph i lies at x = 16 i, its pixels 0 bits
// on a background of 1 bits. It is selected into a memory DC on first use
// and released by the kernel's UI-object release.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Glyph indexes.
constexpr int WUGLYPH_PLUS = 0;
constexpr int WUGLYPH_MINUS = 1;
constexpr int WUGLYPH_CROSS = 2;
constexpr int WUGLYPH_SMALL_DOWN = 3;      // 7 x 6
constexpr int WUGLYPH_LEFT = 4;            // solid triangles ...
constexpr int WUGLYPH_RIGHT = 5;
constexpr int WUGLYPH_CHEVRON_LEFT = 6;    // chevrons ...
constexpr int WUGLYPH_CHEVRON_RIGHT = 7;
constexpr int WUGLYPH_UP = 8;
constexpr int WUGLYPH_DOWN = 9;
constexpr int WUGLYPH_CHEVRON_UP = 10;
constexpr int WUGLYPH_CHEVRON_DOWN = 11;
constexpr int WUGLYPH_LEFT_RIGHT = 12;     // two triangles pointing apart
constexpr int WUGLYPH_SIZE_GRIP = 13;      // dots towards the bottom right
constexpr int WUGLYPH_COUNT = 14;

constexpr int WUGLYPH_STRIP_WIDTH = 224;   // strip size in pixels
constexpr int WUGLYPH_STRIP_HEIGHT = 10;

// Glyph flags.
constexpr UINT WUGLYPH_DISABLED = 0x0100;     // embossed, disabled look (draw only)
constexpr UINT WUGLYPH_PUSHED = 0x0200;       // one pixel right and down
constexpr UINT WUGLYPH_TRANSPARENT = 0x0800;  // keyed on the DC's background colour
constexpr UINT WUGLYPH_BRUSH = 0x8000;        // paint the DC brush where the glyph is set

// Side flags of WuDrawEdge that choose its colour set.
constexpr UINT WUEDGE_COLORS_WARM = 0x20000000;  // orange set (with UI: purple set)
constexpr UINT WUEDGE_COLORS_UI = 0x10000000;    // UI colours 20, 16, 22, 21, 15

// Copies a glyph into the DC, centred on `centre` (or on `rect` when
// `centre` is NULL) and kept from starting left of or above `rect`. With
// WUGLYPH_TRANSPARENT only the glyph's pixels are drawn. FALSE for a bad
// index, no position or a failed blit.
BOOL WuBltStandardUIGlyph(HDC dc, const POINT* centre, const RECT* rect, int index, UINT flags);
// Draws a glyph in `foreground` on `background` (see WuBltStandardUIGlyph),
// restoring the DC's colours afterwards. WUGLYPH_DISABLED draws the
// embossed disabled look.
BOOL WuDrawStandardUIGlyph(HDC dc, const POINT* centre, const RECT* rect, int index, UINT flags,
                           COLORREF foreground, COLORREF background);
// Whether the disabled look draws the grey glyph over its highlight (the
// default); returns the previous setting.
BOOL WuSetDisabledGlyphGrey(BOOL enabled);

// 3-D edges with the platform's BDR_* / BF_* meanings, in the colour set
// the side flags choose. The outer ring lies on the rectangle's border, the
// inner ring inside it; BF_MIDDLE fills the rest; BF_ADJUST returns the
// rectangle left inside the rings drawn. FALSE when both outer bits are
// set (nothing drawn), when both inner bits are set (outer ring only), or
// when edge bits come without any side or middle bit.
BOOL WuDrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);

// Releases the glyph strip's DC and bitmap (kernel hook).
void WuUIGlyph_Release();
