// UI fonts by kind.
//
// Kinds 10..14, 16 and 17 give a new copy of that stock font (owned by the
// caller). The library kinds 100..147 are created on first request, cached
// and owned by the library (see WuGetUIFont for the list); any other kind
// gives the stock DEFAULT_GUI_FONT. Sizes are measured on the screen DC.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Library font kinds.
constexpr int WUFONT_DIALOG = 100;              // dialog face, GUI height
constexpr int WUFONT_FIXED = 102;               // "Courier New", 1 pt below ANSI_FIXED_FONT
constexpr int WUFONT_DIALOG_BOLD = 104;         // as 100, bold
constexpr int WUFONT_GUI_ITALIC = 106;          // DEFAULT_GUI_FONT face, italic
constexpr int WUFONT_GUI_ITALIC_BOLD = 108;     // as 106, bold
constexpr int WUFONT_DIALOG_SMALL = 110;        // dialog face, 1 pt below the GUI font
constexpr int WUFONT_DIALOG_SMALL_BOLD = 112;   // as 110, bold
constexpr int WUFONT_FIXED_SMALL = 120;         // "Courier New", 2 pt below ANSI_FIXED_FONT
constexpr int WUFONT_TITLE = 129;               // dialog face, 16 pt, weight 500
constexpr int WUFONT_HEADING = 130;             // dialog face, 12 pt, weight 500
constexpr int WUFONT_HEADING_BOLD = 134;        // dialog face, 12 pt, weight 700
constexpr int WUFONT_CAPTION = 140;             // non-client caption font
constexpr int WUFONT_SMALL_CAPTION = 141;       // non-client small-caption font
constexpr int WUFONT_MENU = 142;                // non-client menu font
constexpr int WUFONT_STATUS = 143;              // non-client status font
constexpr int WUFONT_MESSAGE = 144;             // non-client message font
constexpr int WUFONT_ICON_TITLE = 145;          // icon-title font
constexpr int WUFONT_ICON_TITLE_BOLD = 146;     // icon-title font, heavier
constexpr int WUFONT_CONSOLE = 147;             // "Consolas", 10 pt, weight 500

// The font of a kind. Library kinds are cached and must not be deleted;
// the stock-kind copies belong to the caller.
HFONT WuGetUIFont(int kind);
// The kind's average character size (the extent of "0"), measured once;
// NULL for a kind outside 0..17 and 100..147.
const SIZE* WuGetUIFontSize(int kind);
// The extent of "0" in any font: TRUE on success.
BOOL WuGetFontSize(HFONT font, SIZE* size);
// The extent of a text in a font on the screen DC; a count of 0 or less
// measures the whole string. TRUE on success.
BOOL WuGetTextExtent(HFONT font, LPCWSTR text, int count, SIZE* size);
// The screen DC's character set.
BYTE WuGetUIFontCharset();

// A stock font's facts: its face (into `face_size` characters, may be
// NULL), its character height as a negative number and its point size.
// FALSE when the stock font cannot be measured.
BOOL WuGetStockFontInfo(int stock, LPWSTR face, int face_size, LONG* height, int* points);

// Kernel hook: deletes every cached library font and forgets the cached
// character sizes; both are made again on the next request.
void WuKernel_ResetUIFonts();
