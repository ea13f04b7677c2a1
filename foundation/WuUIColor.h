// UI colours, brushes and pens by id.
//
// A colour id is a 32-bit number:
//   0 .. 30          a system colour (COLOR_*); an override wins when set
//   -1 .. -30        the system colour of the absolute value, no override
//   31 .. 99         invalid: WUCOLOR_INVALID_ID (0x00F000F0), as are -31 .. -99
//   0x04bbaann       a blend of the UI colours nn and bb by aa (aa, bb < 100)
//   100 .. 152       an entry of the library palette
//   -100 .. -152     the palette entry's default value
//   anything else    WUCOLOR_UNKNOWN (0xFFFFFFFF)
//
// Palette entries are themselves 32-bit values: top byte 0x04 a blend (with
// amount and second index 0 just the system colour of the low byte, override
// applied); top byte 0x05 a system colour whose mid greys are pushed apart on
// displays of more than 8 bits per pixel; anything else a plain COLORREF.
//
// Brushes and pens are created on first request, cached and owned by the
// library; callers never delete them. The caches are plain globals meant for
// the UI thread.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr COLORREF WUCOLOR_INVALID_ID = 0x00F000F0;  // ids 31..99
constexpr COLORREF WUCOLOR_UNKNOWN = 0xFFFFFFFF;     // any other unknown id
constexpr int WUCOLOR_SYSTEM_COUNT = 31;             // system colour ids 0..30
constexpr int WUCOLOR_PALETTE_FIRST = 100;           // first palette id
constexpr int WUCOLOR_PALETTE_LAST = 152;            // last palette id
constexpr int WUCOLOR_PALETTE_COUNT = 53;            // palette entries
constexpr DWORD WUCOLOR_BLEND_TAG = 0x04000000;      // top byte of a blend
constexpr DWORD WUCOLOR_GREYPUSH_TAG = 0x05000000;   // top byte of a grey-pushed entry

// Brush ids besides the colour ids.
constexpr int WUBRUSH_PATTERN_RESOURCE = 10000;  // bitmap 101 of the kernel language handle
constexpr int WUBRUSH_PATTERN_FIRST = 10001;     // built-in 8x8 patterns ...
constexpr int WUBRUSH_PATTERN_LAST = 10016;      // ... up to here

// Pen styles of WuGetUIPenWithStyle.
constexpr int WUPEN_SOLID = 0;    // solid
constexpr int WUPEN_DOTTED = 1;   // PS_DOT
constexpr int WUPEN_LIGHTER = 2;  // solid in a lightened colour

// Errors of the colour profiles.
constexpr HRESULT WU_E_COLORS_FILE_MISSING = static_cast<HRESULT>(0x8004E007);
constexpr HRESULT WU_E_COLORS_FILE_READONLY = static_cast<HRESULT>(0x8004E009);

// ---- Colours ----------------------------------------------------------------------------

// The colour of an id (host application kernel first, see below).
COLORREF WuGetUIColorAbsolute(int id);
// As WuGetUIColorAbsolute, but palette ids 100..152 give the screen's
// nearest colour.
COLORREF WuGetUIColor(int id);
// Same as WuGetUIColor.
COLORREF WuGetSysColor(int id);
// Sets an override (ids 0..30: -1 removes it, a value with bit 0x04000000
// is refused) or a palette entry (100..152, any value). Releases the id's
// cached brush and pens when the value changes. FALSE for a refused value
// or an id out of range.
BOOL WuSetUIColor(int id, DWORD value);
// Blends UI colours: v = 0x04bbaann mixes WuGetUIColor(nn) over
// WuGetUIColor(bb) by aa/255; aa 0 gives the first colour unchanged.
COLORREF WuSysColorsAlphaBlend(DWORD v);
// RGB <-> HSL on the 0..240 scale; HSL packed as hue | sat << 8 | lum << 16.
DWORD WuRGBtoHSL(COLORREF rgb);
COLORREF WuHSLtoRGB(DWORD hsl);
// TRUE when the system's high-contrast flag is on.
BOOL WuIsHighContrastMode();

// Loads the overrides of the system colours from a profile file (section
// NULL: "colors"); a missing name keeps the current system colour.
// S_OK, or WU_E_COLORS_FILE_MISSING.
HRESULT WuLoadUIColors(LPCWSTR file, LPCWSTR section);
// Saves every system colour (as WuGetUIColor gives it) as "0x00bbggrr".
// S_OK, or WU_E_COLORS_FILE_READONLY when the file cannot be written.
HRESULT WuSaveUIColors(LPCWSTR file, LPCWSTR section);

// ---- Brushes and pens ---------------------------------------------------------------------

// A cached brush: 0..30 solid WuGetUIColor, 100..152 solid
// WuGetUIColorAbsolute, 10000 the resource pattern, 10001..10016 the
// built-in patterns; BLACK_BRUSH for anything else or a failed creation.
HBRUSH WuGetUIBrush(int id);
// A cached one-pixel pen of a colour id (0..30, 100..152) in a style
// (WUPEN_*); BLACK_PEN for anything else or a failed creation.
HPEN WuGetUIPen(int id);
HPEN WuGetUIPenWithStyle(int id, int style);
// Releases the brush and pens cached for one colour id.
void WuFreeUIColoredObjects(int id);

// ---- Host application kernel --------------------------------------------------------------

// While set, the host kernel's "_WuGetUIColorAbsolute@4" and "_WuGetUIColor@4"
// (found once through WuApp_ResolveKernelFunctions) answer the colour
// queries; a function that is absent clears the flag for good. Kernel
// start-up sets it when the host kernel is present.
void WuUIColor_SetHostKernel(BOOL enabled);
BOOL WuUIColor_GetHostKernel();

// ---- Kernel hooks ---------------------------------------------------------------------------

// Copies the default palette and clears the overrides; with `keep_objects`
// FALSE it first releases every cached brush, pen and the glyph strip's DC.
void WuKernel_ResetUIColors(BOOL keep_objects);
// Shut-down: releases every cached brush, pen, font and the glyph strip's DC.
void WuKernel_ReleaseUIObjects();
