// The display as the library sees it: a list of monitors, device contexts
// for the screen and for each monitor, and the device facts the library
// asks about (colour depth, size, resolution).
//
// There is no real screen behind it. The monitor list is configurable
// (platform::SetMonitors); by default there is one 1920x1080 monitor at 32
// bits per pixel, "\\.\DISPLAY1". The first monitor is the primary one, and
// the screen DC reports its facts.
//
// Below the display comes the drawing layer (device contexts over pixels in
// memory, objects, blits, shapes, fonts and text, frames, icons and
// cursors, system colours); its model is described where it starts.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/resource.h"
#include "platform/kernel/types.h"

// ---- Monitors ------------------------------------------------------------------
namespace platform {

// One monitor of the configured display.
struct MonitorConfig {
  std::u16string device;   // device name, e.g. u"\\\\.\\DISPLAY1"
  RECT rect;               // position and size on the virtual screen
  int bits_per_pixel;      // colour depth
};

// Replaces the monitor list (at least one monitor; an empty list restores
// the default). Handles of the previous monitors become invalid.
void SetMonitors(const std::vector<MonitorConfig>& monitors);
// Restores the default single monitor.
void ResetMonitors();

}  // namespace platform

constexpr DWORD MONITORINFOF_PRIMARY = 0x00000001;

struct MONITORINFO {
  DWORD cbSize;     // sizeof(MONITORINFO) or sizeof(MONITORINFOEXW), set by the caller
  RECT rcMonitor;   // the monitor on the virtual screen
  RECT rcWork;      // its work area (the whole monitor here)
  DWORD dwFlags;    // MONITORINFOF_PRIMARY for the primary monitor
};
struct MONITORINFOEXW : MONITORINFO {
  WCHAR szDevice[32];  // device name, for CreateDCW
};

typedef BOOL (*MONITORENUMPROC)(HMONITOR monitor, HDC dc, RECT* rect, LPARAM data);

// Calls `callback` for each monitor (intersecting `clip`, when given, with
// the intersection as the rectangle) until it returns FALSE. Only the
// screen (dc NULL or a screen DC) is supported. TRUE when the enumeration
// ran, FALSE (ERROR_INVALID_PARAMETER) without a callback or with another DC.
BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC callback, LPARAM data);

// Facts of a monitor. FALSE with ERROR_INVALID_MONITOR_HANDLE for a handle
// that is not a current monitor, ERROR_INVALID_PARAMETER for a bad size.
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);

// ---- Device contexts ---------------------------------------------------------------
// GetDC(NULL) gives a screen DC; GetDC(window) a DC over the window's client
// surface (see "Window surfaces" below). Free both with ReleaseDC.
HDC GetDC(HWND window);
// Releases a DC from GetDC: 1 when released, 0 otherwise.
int ReleaseDC(HWND window, HDC dc);

// A display DC: driver "DISPLAY" (any case) and a monitor's device name, or
// no device for the whole screen. NULL (ERROR_INVALID_PARAMETER) for
// another driver or an unknown device.
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const void* init_data);
// Deletes a DC from CreateDCW or CreateCompatibleDC; FALSE
// (ERROR_INVALID_HANDLE) for anything else.
BOOL DeleteDC(HDC dc);

// GetDeviceCaps indices.
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;     // millimetres
constexpr int VERTSIZE = 6;     // millimetres
constexpr int HORZRES = 8;      // pixels
constexpr int VERTRES = 10;     // pixels
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int DT_RASDISPLAY = 1;  // TECHNOLOGY of a display

// One fact of a DC's device; 0 for an unknown index or a bad DC. Memory and
// window DCs report the primary monitor, as the screen DC does.
int GetDeviceCaps(HDC dc, int index);

// ---- Arithmetic --------------------------------------------------------------------
// a * b / c with a 64-bit product, rounded to the nearest integer (halves
// away from zero); -1 when c is 0 or the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// =====================================================================================
// The drawing layer.
//
// Device contexts draw into real pixels held in memory:
//  - a memory DC (CreateCompatibleDC) draws into the bitmap selected into it
//    (at first a 1x1 monochrome stock bitmap);
//  - a window DC (GetDC(window)) draws into a surface of the window's client
//    size that is kept per window until the window layer drops it;
//  - a screen DC (GetDC(NULL), CreateDCW) has no pixels: drawing on it is
//    accepted and discarded, GetPixel answers CLR_INVALID, and a blit from
//    it reads black. Text measurement works on every DC.
//
// Bitmaps hold 1, 4, 8, 16, 24 or 32 bits per pixel. Device-dependent
// bitmaps (CreateBitmap, CreateCompatibleBitmap) are monochrome (1 bit) or
// 32-bit colour; DIB sections take every depth of a BITMAPINFOHEADER. The
// mapping mode is MM_TEXT; the window and viewport origins move logical
// coordinates (device = logical - window origin + viewport origin).
//
// Colour conversions in blits follow the platform's rules: a monochrome
// source paints its 0 bits in the destination's text colour and its 1 bits
// in the destination's background colour; a colour source becomes 1 (white)
// in a monochrome destination where it equals the source DC's background
// colour and 0 elsewhere. Raster operations work on the destination's raw
// pixel values (palette indexes for palette bitmaps).
//
// Font metric model (deterministic, the same on every machine):
//  - character height ch: -lfHeight for a negative height; for a positive
//    (cell) height h, ch = h - h / 6; 12 for lfHeight 0; at most 2048;
//  - tmInternalLeading = tmHeight - ch, where tmHeight is (ch + (ch + 2) / 5)
//    for a negative lfHeight and lfHeight itself for a positive one;
//  - tmDescent = (tmHeight + 2) / 5, tmAscent = tmHeight - tmDescent,
//    tmExternalLeading = ch / 10;
//  - base width a = |lfWidth| when given, else ceil(ch * 0.45);
//  - bold (lfWeight >= 600) adds b = max(1, ch / 12) to every character;
//  - fixed-pitch fonts (FIXED_PITCH, the FF_MODERN family, or one of the faces
//    "Courier", "Courier New", "Consolas", "Lucida Console", "Terminal",
//    "Fixedsys") give every character the width a + b;
//  - proportional fonts give a character round(a * p / 100) + b (at least
//    b + 1), where p is 100 for digits, lower-case letters and most
//    symbols, 55 for the space, 40 for "ijl!|'.,:;`", 60 for "ftrI()[]{}\"-",
//    120 for upper-case letters, 150 for "mwMW@%" and 200 for wide East Asian
//    characters;
//  - tmAveCharWidth is a + b (the width of "0"); tmMaxCharWidth the widest
//    character; italic slants the glyphs and keeps the widths.
// So the extent of a text is the sum of its characters' widths, and its
// height is tmHeight. Glyphs are drawn from a built-in 5 x 8 font of the
// printable ASCII characters scaled into each character's cell (the ascent
// holds seven rows, the eighth reaches below the baseline); other
// characters show as a box.
// =====================================================================================

// ---- Records ---------------------------------------------------------------------
struct RGBQUAD {
  BYTE rgbBlue;      // blue
  BYTE rgbGreen;     // green
  BYTE rgbRed;       // red
  BYTE rgbReserved;  // 0
};
static_assert(sizeof(RGBQUAD) == 4);

struct BITMAPINFOHEADER {
  DWORD biSize;          // 40
  LONG biWidth;          // pixels
  LONG biHeight;         // pixels; negative for a top-down bitmap
  WORD biPlanes;         // 1
  WORD biBitCount;       // 1, 4, 8, 16, 24 or 32
  DWORD biCompression;   // BI_RGB or BI_BITFIELDS
  DWORD biSizeImage;     // bytes of the pixel rows (may be 0 for BI_RGB)
  LONG biXPelsPerMeter;  // resolution, unused
  LONG biYPelsPerMeter;  // resolution, unused
  DWORD biClrUsed;       // palette entries (0: all 2^bits for 8 bits or fewer)
  DWORD biClrImportant;  // unused
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;  // the header
  RGBQUAD bmiColors[1];        // palette or the three BI_BITFIELDS masks
};

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;        // "BM"
  DWORD bfSize;       // file size
  WORD bfReserved1;   // 0
  WORD bfReserved2;   // 0
  DWORD bfOffBits;    // offset of the pixel rows from the file's start
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAP {
  LONG bmType;        // 0
  LONG bmWidth;       // pixels
  LONG bmHeight;      // pixels
  LONG bmWidthBytes;  // bytes per row (even for device bitmaps, 4-aligned for DIB sections)
  WORD bmPlanes;      // 1
  WORD bmBitsPixel;   // bits per pixel
  LPVOID bmBits;      // the pixel rows of a DIB section, else NULL
};

struct DIBSECTION {
  BITMAP dsBm;                 // as GetObjectW gives for any bitmap
  BITMAPINFOHEADER dsBmih;     // the header it was made from (positive height)
  DWORD dsBitfields[3];        // colour masks of BI_BITFIELDS
  HANDLE dshSection;           // always NULL here
  DWORD dsOffset;              // 0
};

struct LOGFONTW {
  LONG lfHeight;          // <0: character height, >0: cell height, 0: default
  LONG lfWidth;           // average width, 0: from the height
  LONG lfEscapement;      // tenths of degrees (kept, not drawn)
  LONG lfOrientation;     // tenths of degrees (kept, not drawn)
  LONG lfWeight;          // 0..1000, 400 normal, 700 bold
  BYTE lfItalic;          // non-zero: italic
  BYTE lfUnderline;       // non-zero: underlined
  BYTE lfStrikeOut;       // non-zero: struck out
  BYTE lfCharSet;         // character set
  BYTE lfOutPrecision;    // kept
  BYTE lfClipPrecision;   // kept
  BYTE lfQuality;         // kept
  BYTE lfPitchAndFamily;  // pitch (low 2 bits) and family (high 4 bits)
  WCHAR lfFaceName[32];   // face name, terminated
};
static_assert(sizeof(LOGFONTW) == 92);

struct TEXTMETRICW {
  LONG tmHeight;            // cell height
  LONG tmAscent;            // above the baseline
  LONG tmDescent;           // below the baseline
  LONG tmInternalLeading;   // tmHeight minus the character height
  LONG tmExternalLeading;   // suggested gap between lines
  LONG tmAveCharWidth;      // width of "0"
  LONG tmMaxCharWidth;      // widest character
  LONG tmWeight;            // lfWeight (400 for 0)
  LONG tmOverhang;          // 0
  LONG tmDigitizedAspectX;  // 96
  LONG tmDigitizedAspectY;  // 96
  WCHAR tmFirstChar;        // 0x20
  WCHAR tmLastChar;         // 0xFFFC
  WCHAR tmDefaultChar;      // 0x1F
  WCHAR tmBreakChar;        // 0x20
  BYTE tmItalic;            // from the font
  BYTE tmUnderlined;        // from the font
  BYTE tmStruckOut;         // from the font
  BYTE tmPitchAndFamily;    // family; bit TMPF_FIXED_PITCH set for VARIABLE pitch (sic)
  BYTE tmCharSet;           // from the font
};
static_assert(sizeof(TEXTMETRICW) == 60);

struct LOGPEN {
  UINT lopnStyle;      // PS_*
  POINT lopnWidth;     // x is the width
  COLORREF lopnColor;  // colour
};
static_assert(sizeof(LOGPEN) == 16);

struct LOGBRUSH {
  UINT lbStyle;       // BS_*
  COLORREF lbColor;   // colour (solid and hatched)
  ULONG_PTR lbHatch;  // HS_* for BS_HATCHED, the HBITMAP for BS_PATTERN
};

struct PALETTEENTRY {
  BYTE peRed;    // red
  BYTE peGreen;  // green
  BYTE peBlue;   // blue
  BYTE peFlags;  // flags
};
struct LOGPALETTE {
  WORD palVersion;                // 0x300
  WORD palNumEntries;             // entries that follow
  PALETTEENTRY palPalEntry[1];    // the entries
};

struct ICONINFO {
  BOOL fIcon;        // TRUE icon, FALSE cursor
  DWORD xHotspot;    // cursor hotspot (icons: the centre)
  DWORD yHotspot;
  HBITMAP hbmMask;   // AND mask (for a monochrome icon: AND over XOR, double height)
  HBITMAP hbmColor;  // colour image, NULL for a monochrome icon
};

struct DRAWTEXTPARAMS {
  UINT cbSize;        // sizeof(DRAWTEXTPARAMS)
  int iTabLength;     // tab stops in average character widths
  int iLeftMargin;    // pixels
  int iRightMargin;   // pixels
  UINT uiLengthDrawn; // out: characters handled
};
static_assert(sizeof(DRAWTEXTPARAMS) == 20);

// ---- Constants ---------------------------------------------------------------------
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>(c >> 16); }

// Bitmap compressions and colour-table usage.
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;
constexpr DWORD CBM_INIT = 0x4;

// Object types (GetObjectType, GetCurrentObject).
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_PAL = 5;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_REGION = 8;
constexpr DWORD OBJ_MEMDC = 10;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int OEM_FIXED_FONT = 10;
constexpr int ANSI_FIXED_FONT = 11;
constexpr int ANSI_VAR_FONT = 12;
constexpr int SYSTEM_FONT = 13;
constexpr int DEVICE_DEFAULT_FONT = 14;
constexpr int DEFAULT_PALETTE = 15;
constexpr int SYSTEM_FIXED_FONT = 16;
constexpr int DEFAULT_GUI_FONT = 17;
constexpr int DC_BRUSH = 18;
constexpr int DC_PEN = 19;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DASH = 1;
constexpr int PS_DOT = 2;
constexpr int PS_DASHDOT = 3;
constexpr int PS_DASHDOTDOT = 4;
constexpr int PS_NULL = 5;
constexpr int PS_INSIDEFRAME = 6;
constexpr int PS_STYLE_MASK = 0xF;

// Brush styles and hatches.
constexpr UINT BS_SOLID = 0;
constexpr UINT BS_NULL = 1;
constexpr UINT BS_HOLLOW = BS_NULL;
constexpr UINT BS_HATCHED = 2;
constexpr UINT BS_PATTERN = 3;
constexpr int HS_HORIZONTAL = 0;
constexpr int HS_VERTICAL = 1;
constexpr int HS_FDIAGONAL = 2;
constexpr int HS_BDIAGONAL = 3;
constexpr int HS_CROSS = 4;
constexpr int HS_DIAGCROSS = 5;

// Background modes, polygon fill modes, stretch modes, mapping mode.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr int MM_TEXT = 1;

// Binary raster operations of pens (SetROP2): R2_* = 1 + the truth table
// of (pen, destination).
constexpr int R2_BLACK = 1;
constexpr int R2_NOTMERGEPEN = 2;
constexpr int R2_MASKNOTPEN = 3;
constexpr int R2_NOTCOPYPEN = 4;
constexpr int R2_MASKPENNOT = 5;
constexpr int R2_NOT = 6;
constexpr int R2_XORPEN = 7;
constexpr int R2_NOTMASKPEN = 8;
constexpr int R2_MASKPEN = 9;
constexpr int R2_NOTXORPEN = 10;
constexpr int R2_NOP = 11;
constexpr int R2_MERGENOTPEN = 12;
constexpr int R2_COPYPEN = 13;
constexpr int R2_MERGEPENNOT = 14;
constexpr int R2_MERGEPEN = 15;
constexpr int R2_WHITE = 16;

// Ternary raster operations. Bits 16..23 hold the truth table: bit
// (pattern * 4 + source * 2 + destination) is the result. Every one of the
// 256 tables is honoured; the low 16 bits are ignored.
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr DWORD SRCPAINT = 0x00EE0086;
constexpr DWORD SRCAND = 0x008800C6;
constexpr DWORD SRCINVERT = 0x00660046;
constexpr DWORD SRCERASE = 0x00440328;
constexpr DWORD NOTSRCCOPY = 0x00330008;
constexpr DWORD NOTSRCERASE = 0x001100A6;
constexpr DWORD MERGECOPY = 0x00C000CA;
constexpr DWORD MERGEPAINT = 0x00BB0226;
constexpr DWORD PATCOPY = 0x00F00021;
constexpr DWORD PATPAINT = 0x00FB0A09;
constexpr DWORD PATINVERT = 0x005A0049;
constexpr DWORD DSTINVERT = 0x00550009;
constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// Regions.
constexpr int ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

// Text alignment (SetTextAlign).
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// ExtTextOutW options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// Font weights, pitches, families, character sets, qualities, precisions.
constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_THIN = 100;
constexpr LONG FW_LIGHT = 300;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_MEDIUM = 500;
constexpr LONG FW_SEMIBOLD = 600;
constexpr LONG FW_BOLD = 700;
constexpr LONG FW_HEAVY = 900;
constexpr BYTE DEFAULT_PITCH = 0;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;
constexpr BYTE FF_SCRIPT = 0x40;
constexpr BYTE FF_DECORATIVE = 0x50;
constexpr BYTE TMPF_FIXED_PITCH = 0x01;  // set for a VARIABLE-pitch font
constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SYMBOL_CHARSET = 2;
constexpr BYTE OEM_CHARSET = 255;
constexpr BYTE DEFAULT_QUALITY = 0;
constexpr BYTE PROOF_QUALITY = 2;
constexpr BYTE CLEARTYPE_QUALITY = 5;
constexpr BYTE OUT_DEFAULT_PRECIS = 0;
constexpr BYTE OUT_TT_PRECIS = 4;
constexpr BYTE OUT_TT_ONLY_PRECIS = 7;
constexpr BYTE CLIP_DEFAULT_PRECIS = 0;

// DrawTextW flags.
constexpr UINT DT_TOP = 0x00000000;
constexpr UINT DT_LEFT = 0x00000000;
constexpr UINT DT_CENTER = 0x00000001;
constexpr UINT DT_RIGHT = 0x00000002;
constexpr UINT DT_VCENTER = 0x00000004;
constexpr UINT DT_BOTTOM = 0x00000008;
constexpr UINT DT_WORDBREAK = 0x00000010;
constexpr UINT DT_SINGLELINE = 0x00000020;
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_TABSTOP = 0x00000080;
constexpr UINT DT_NOCLIP = 0x00000100;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_CALCRECT = 0x00000400;
constexpr UINT DT_NOPREFIX = 0x00000800;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

// DrawEdge edges and sides.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT BDR_OUTER = BDR_RAISEDOUTER | BDR_SUNKENOUTER;
constexpr UINT BDR_INNER = BDR_RAISEDINNER | BDR_SUNKENINNER;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_TOPLEFT = BF_TOP | BF_LEFT;
constexpr UINT BF_BOTTOMRIGHT = BF_BOTTOM | BF_RIGHT;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_DIAGONAL = 0x0010;
constexpr UINT BF_MIDDLE = 0x0800;
constexpr UINT BF_SOFT = 0x1000;
constexpr UINT BF_ADJUST = 0x2000;
constexpr UINT BF_FLAT = 0x4000;
constexpr UINT BF_MONO = 0x8000;

// DrawFrameControl types and states.
constexpr UINT DFC_CAPTION = 1;
constexpr UINT DFC_MENU = 2;
constexpr UINT DFC_SCROLL = 3;
constexpr UINT DFC_BUTTON = 4;
constexpr UINT DFCS_CAPTIONCLOSE = 0x0000;
constexpr UINT DFCS_CAPTIONMIN = 0x0001;
constexpr UINT DFCS_CAPTIONMAX = 0x0002;
constexpr UINT DFCS_CAPTIONRESTORE = 0x0003;
constexpr UINT DFCS_CAPTIONHELP = 0x0004;
constexpr UINT DFCS_MENUARROW = 0x0000;
constexpr UINT DFCS_MENUCHECK = 0x0001;
constexpr UINT DFCS_MENUBULLET = 0x0002;
constexpr UINT DFCS_SCROLLUP = 0x0000;
constexpr UINT DFCS_SCROLLDOWN = 0x0001;
constexpr UINT DFCS_SCROLLLEFT = 0x0002;
constexpr UINT DFCS_SCROLLRIGHT = 0x0003;
constexpr UINT DFCS_SCROLLCOMBOBOX = 0x0005;
constexpr UINT DFCS_SCROLLSIZEGRIP = 0x0008;
constexpr UINT DFCS_BUTTONCHECK = 0x0000;
constexpr UINT DFCS_BUTTONRADIO = 0x0004;
constexpr UINT DFCS_BUTTON3STATE = 0x0008;
constexpr UINT DFCS_BUTTONPUSH = 0x0010;
constexpr UINT DFCS_INACTIVE = 0x0100;
constexpr UINT DFCS_PUSHED = 0x0200;
constexpr UINT DFCS_CHECKED = 0x0400;
constexpr UINT DFCS_TRANSPARENT = 0x0800;
constexpr UINT DFCS_HOT = 0x1000;
constexpr UINT DFCS_ADJUSTRECT = 0x2000;
constexpr UINT DFCS_FLAT = 0x4000;
constexpr UINT DFCS_MONO = 0x8000;

// System colour indexes.
constexpr int COLOR_SCROLLBAR = 0;
constexpr int COLOR_BACKGROUND = 1;
constexpr int COLOR_ACTIVECAPTION = 2;
constexpr int COLOR_INACTIVECAPTION = 3;
constexpr int COLOR_MENU = 4;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWFRAME = 6;
constexpr int COLOR_MENUTEXT = 7;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_CAPTIONTEXT = 9;
constexpr int COLOR_ACTIVEBORDER = 10;
constexpr int COLOR_INACTIVEBORDER = 11;
constexpr int COLOR_APPWORKSPACE = 12;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_INACTIVECAPTIONTEXT = 19;
constexpr int COLOR_BTNHIGHLIGHT = 20;
constexpr int COLOR_3DDKSHADOW = 21;
constexpr int COLOR_3DLIGHT = 22;
constexpr int COLOR_INFOTEXT = 23;
constexpr int COLOR_INFOBK = 24;
constexpr int COLOR_HOTLIGHT = 26;
constexpr int COLOR_GRADIENTACTIVECAPTION = 27;
constexpr int COLOR_GRADIENTINACTIVECAPTION = 28;
constexpr int COLOR_MENUHILIGHT = 29;
constexpr int COLOR_MENUBAR = 30;
constexpr int COLOR_DESKTOP = COLOR_BACKGROUND;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_3DSHADOW = COLOR_BTNSHADOW;
constexpr int COLOR_3DHIGHLIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_3DHILIGHT = COLOR_BTNHIGHLIGHT;
constexpr int COLOR_BTNHILIGHT = COLOR_BTNHIGHLIGHT;

// Icons, cursors and images.
constexpr UINT DI_MASK = 0x0001;
constexpr UINT DI_IMAGE = 0x0002;
constexpr UINT DI_NORMAL = 0x0003;
constexpr UINT DI_COMPAT = 0x0004;
constexpr UINT DI_DEFAULTSIZE = 0x0008;
constexpr UINT DI_NOMIRROR = 0x0010;
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x00000000;
constexpr UINT LR_MONOCHROME = 0x00000001;
constexpr UINT LR_LOADFROMFILE = 0x00000010;
constexpr UINT LR_DEFAULTSIZE = 0x00000040;
constexpr UINT LR_CREATEDIBSECTION = 0x00002000;
constexpr UINT LR_SHARED = 0x00008000;
// System bitmaps (LoadImageW(NULL, MAKEINTRESOURCEW(id), IMAGE_BITMAP, ...)):
// shared monochrome images of our own drawing, never deleted.
constexpr WORD OBM_CHECK = 0x7FF8;  // 13 x 13 check mark, black on white
// System cursors (LoadCursorW(NULL, ...)), by number.
constexpr WORD OCR_NORMAL = 32512;       // IDC_ARROW
constexpr WORD OCR_IBEAM = 32513;        // IDC_IBEAM
constexpr WORD OCR_WAIT = 32514;         // IDC_WAIT
constexpr WORD OCR_CROSS = 32515;        // IDC_CROSS
constexpr WORD OCR_UP = 32516;           // IDC_UPARROW
constexpr WORD OCR_SIZE = 32640;         // IDC_SIZE
constexpr WORD OCR_ICON = 32641;         // IDC_ICON
constexpr WORD OCR_SIZENWSE = 32642;     // IDC_SIZENWSE
constexpr WORD OCR_SIZENESW = 32643;     // IDC_SIZENESW
constexpr WORD OCR_SIZEWE = 32644;       // IDC_SIZEWE
constexpr WORD OCR_SIZENS = 32645;       // IDC_SIZENS
constexpr WORD OCR_SIZEALL = 32646;      // IDC_SIZEALL
constexpr WORD OCR_NO = 32648;           // IDC_NO
constexpr WORD OCR_HAND = 32649;         // IDC_HAND
constexpr WORD OCR_APPSTARTING = 32650;  // IDC_APPSTARTING
constexpr WORD OCR_HELP = 32651;         // IDC_HELP
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_UPARROW MAKEINTRESOURCEW(32516)
#define IDC_SIZE MAKEINTRESOURCEW(32640)
#define IDC_ICON MAKEINTRESOURCEW(32641)
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_NO MAKEINTRESOURCEW(32648)
#define IDC_HAND MAKEINTRESOURCEW(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)
#define IDC_HELP MAKEINTRESOURCEW(32651)
// System icons (LoadIconW(NULL, ...)).
#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK MAKEINTRESOURCEW(32516)
#define IDI_WINLOGO MAKEINTRESOURCEW(32517)
#define IDI_SHIELD MAKEINTRESOURCEW(32518)
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_ERROR IDI_HAND
#define IDI_INFORMATION IDI_ASTERISK

// ---- Object bookkeeping (for tests) ---------------------------------------------------
namespace platform {

// Kinds of drawing objects that a test can count.
enum class GdiKind {
  kPen,      // CreatePen...
  kBrush,    // CreateSolidBrush, CreatePatternBrush, CreateHatchBrush...
  kFont,     // CreateFontIndirectW, CreateFontW
  kBitmap,   // CreateBitmap, CreateCompatibleBitmap, CreateDIBSection, CreateDIBitmap
  kRegion,   // CreateRectRgn...
  kPalette,  // CreatePalette
  kIcon,     // icons and cursors that DestroyIcon/DestroyCursor free
  kDc,       // DCs from CreateCompatibleDC, CreateDCW and GetDC not yet freed
};

// Number of live (created, not yet deleted) objects of one kind; stock and
// shared objects are not counted.
size_t GdiObjectCount(GdiKind kind);
// Sum over every kind.
size_t GdiObjectCount();

// ---- System colours ----
// Restores the classic default table of the 31 system colours.
void ResetSysColors();

// ---- Window surfaces ----
// The window layer tells the drawing layer how big a window's client area
// is: FALSE for a handle that is not a window. Until a function is set,
// GetDC(window) fails with ERROR_INVALID_WINDOW_HANDLE.
// Returns the function set before.
typedef BOOL (*WindowClientSizeFunction)(HWND window, SIZE* size);
WindowClientSizeFunction SetWindowClientSizeFunction(WindowClientSizeFunction function);
// Drops the pixels kept for a window; the window layer calls it when it
// destroys the window. DCs still open on the window keep drawing into the
// old surface until they are released.
void ReleaseWindowSurface(HWND window);

}  // namespace platform

// ---- Objects ------------------------------------------------------------------------
// A stock object by index; NULL for an unknown index. Stock objects are never
// deleted (DeleteObject answers TRUE and does nothing).
HGDIOBJ GetStockObject(int index);
// Deletes a pen, brush, font, bitmap, region or palette. FALSE
// (ERROR_INVALID_HANDLE) for anything else, for an object already deleted
// and for an object still selected into a DC (or held by a saved DC state).
BOOL DeleteObject(HGDIOBJ object);
// Copies an object's description: LOGPEN, LOGBRUSH, LOGFONTW, BITMAP or
// DIBSECTION, a WORD entry count for a palette. NULL buffer: the size
// needed. 0 for a bad handle or a buffer too small for anything.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
// OBJ_* of a handle (DCs included); 0 for a bad handle.
DWORD GetObjectType(HGDIOBJ object);

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* pen);
HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
// The bitmap is copied: the caller may delete it at once.
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* brush);
// A brush of a system colour that follows SetSysColors; never deleted.
// NULL for an index outside 0..30.
HBRUSH GetSysColorBrush(int index);

HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight,
                  DWORD italic, DWORD underline, DWORD strike_out, DWORD charset,
                  DWORD out_precision, DWORD clip_precision, DWORD quality,
                  DWORD pitch_and_family, LPCWSTR face);

HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL force_background);
UINT RealizePalette(HDC dc);
// The colour the DC's device shows for `color`: 32- and 24-bit surfaces
// (and the screen at those depths) show every colour; monochrome surfaces
// black or white; a 16-bit screen 5:6:5; palette surfaces their nearest
// entry.
COLORREF GetNearestColor(HDC dc, COLORREF color);

// ---- System colours ---------------------------------------------------------------
// A system colour (index 0..30, classic defaults); 0 for another index.
DWORD GetSysColor(int index);
// Sets `count` system colours; FALSE for an index outside 0..30 (nothing
// changed) or a NULL array with a count.
BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors);

// ---- Device contexts ---------------------------------------------------------------
// A memory DC compatible with `dc` (NULL: the screen). It holds the 1x1
// monochrome stock bitmap until a bitmap is selected.
HDC CreateCompatibleDC(HDC dc);
// Selects a pen, brush, font, bitmap (memory DCs only; a bitmap can be in one
// DC at a time) or region (as SelectClipRgn; returns the region type).
// Returns the previous object, NULL on failure.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// The object of a type (OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP, OBJ_PAL)
// selected in the DC.
HGDIOBJ GetCurrentObject(HDC dc, UINT type);
// Pushes the DC's state; returns its level (1 for the first), 0 on failure.
int SaveDC(HDC dc);
// Restores level `saved` (negative: relative to the top, -1 the last one)
// and drops the levels above it. FALSE for a level that does not exist.
BOOL RestoreDC(HDC dc, int saved);

COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
COLORREF SetDCBrushColor(HDC dc, COLORREF color);
COLORREF GetDCBrushColor(HDC dc);
COLORREF SetDCPenColor(HDC dc, COLORREF color);
COLORREF GetDCPenColor(HDC dc);
int SetROP2(HDC dc, int rop2);
int GetROP2(HDC dc);
int SetPolyFillMode(HDC dc, int mode);
int GetPolyFillMode(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
// Only MM_TEXT is supported; other modes give 0.
int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetBrushOrgEx(HDC dc, POINT* origin);

BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetViewportOrgEx(HDC dc, POINT* origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous);
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous);
BOOL GetWindowOrgEx(HDC dc, POINT* origin);
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* previous);
BOOL LPtoDP(HDC dc, POINT* points, int count);
BOOL DPtoLP(HDC dc, POINT* points, int count);

// ---- Regions and clipping ------------------------------------------------------------
HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// dest = a op b (RGN_COPY: a). Returns the type of the result.
int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
int GetRgnBox(HRGN region, RECT* box);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);

// The DC's clip region in logical coordinates (device coordinates for
// SelectClipRgn, which copies the region; NULL removes the clip).
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
// The bounding box of what can be drawn (clip and surface), in logical
// coordinates; the region type.
int GetClipBox(HDC dc, RECT* box);
// Copies the clip region into `region`: 1 when there is one, 0 when the
// DC is not clipped, -1 on failure.
int GetClipRgn(HDC dc, HRGN region);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT* rect);

// ---- Bitmaps --------------------------------------------------------------------------
// A device bitmap: 1 bit per pixel gives a monochrome bitmap, anything else
// a 32-bit colour one. `bits` (may be NULL) holds rows of even byte length,
// top row first, in the given depth (1 or 32 only).
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bits_per_pixel, const void* bits);
// A bitmap in the format of the DC's surface: monochrome for a memory DC
// holding a monochrome bitmap, else 32-bit colour.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A DIB section: pixels in the header's exact format, in memory that the
// caller reaches through *bits (bottom-up unless biHeight is negative).
// DIB_PAL_COLORS is not supported.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits,
                         HANDLE section, DWORD offset);
// A device bitmap compatible with the DC (see CreateCompatibleBitmap; a 32-bit
// colour one without a DC) of the header's size, set from the DIB `bits` in
// the format of `info` when `init` has CBM_INIT.
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
// Copies rows of a bitmap out in the format `info` asks for (its depth and
// the sign of its height; the bitmap's own width and height are written
// into it). With `bits` NULL and biBitCount 0 it describes the bitmap (size,
// depth, image size); with `bits` NULL and a depth it fills biSizeImage and
// the colour table. Scan lines count from the bottom of a bottom-up DIB.
// Returns the rows copied (1 for the forms without bits), 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info,
              UINT usage);
// Sets rows of a bitmap from a DIB; returns the rows set.
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
              const BITMAPINFO* info, UINT usage);
LONG GetBitmapBits(HBITMAP bitmap, LONG size, LPVOID bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD size, const void* bits);

COLORREF GetPixel(HDC dc, int x, int y);
// Returns the colour actually set, or CLR_INVALID when the point is clipped.
COLORREF SetPixel(HDC dc, int x, int y, COLORREF color);
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color);

// ---- Blits and fills ----------------------------------------------------------------
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
            DWORD rop);
// Nearest-neighbour stretch; negative sizes mirror.
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x, int src_y,
                int src_width, int src_height, DWORD rop);
// Draws a rectangle of a DIB in memory. The source rectangle counts rows
// from the bottom of a bottom-up DIB and from the top of a top-down one
// (negative biHeight), and is shown upright. Returns the rows drawn, 0 on
// failure.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int src_x, int src_y,
                  int src_width, int src_height, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop);
// Copies (and stretches) the source except the pixels of colour `key`.
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC src, int src_x,
                    int src_y, int src_width, int src_height, UINT key);
// The DC's brush combined with the destination (a raster operation that
// uses no source).
BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop);
// `brush` may also be a system colour index + 1 cast to HBRUSH.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL InvertRect(HDC dc, const RECT* rect);
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
// Inverts every other pixel of the rectangle's border.
BOOL DrawFocusRect(HDC dc, const RECT* rect);

// ---- Lines and shapes -------------------------------------------------------------------
// Lines leave out their end point. Pens of width 1 follow their style
// (dotted: one on, one off; dashed: six on, two off...), with the gaps in
// the background colour when the background mode is OPAQUE. Wider pens are
// solid squares along the line.
BOOL MoveToEx(HDC dc, int x, int y, POINT* previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL GetCurrentPositionEx(HDC dc, POINT* position);
BOOL Polyline(HDC dc, const POINT* points, int count);
BOOL PolylineTo(HDC dc, const POINT* points, int count);
// Fills with the brush (pixel centres inside, by the poly-fill mode) and
// outlines with the pen, closing the figure.
BOOL Polygon(HDC dc, const POINT* points, int count);
// The outline on the rectangle's border pixels, the inside with the brush;
// with the null pen the brush fills the whole rectangle.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);

// ---- Fonts and text ---------------------------------------------------------------------
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
// Face name of the DC's font into `count` characters (terminated); returns
// the characters written with the terminator, or the size needed when the
// buffer is NULL.
int GetTextFaceW(HDC dc, int count, LPWSTR face);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
BOOL GetTextExtentPointW(HDC dc, LPCWSTR text, int count, SIZE* size);
// Extent of the text, how many characters fit `max_extent` (when `fit` is
// given) and the extent of each prefix (when `dx` is given).
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int max_extent, int* fit, int* dx,
                           SIZE* size);
BOOL GetCharWidth32W(HDC dc, UINT first, UINT last, int* widths);
BOOL GetCharWidthW(HDC dc, UINT first, UINT last, int* widths);

// Draws text at a reference point (see SetTextAlign). ETO_OPAQUE fills
// `rect` with the background colour first; ETO_CLIPPED keeps the text inside
// `rect`. `dx` (may be NULL) gives each character's advance.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                 const int* dx);
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// Formats text into a rectangle (DT_* flags); a count of -1 means the
// whole terminated string. Returns the text's height (with DT_VCENTER or
// DT_BOTTOM the offset from the rectangle's top to the text's bottom), 0 on
// failure. DT_CALCRECT measures without drawing: it sets the rectangle's
// right (single lines) and bottom. Ellipses shorten each line that is too
// wide so that it fits, "..." included.
int DrawTextW(HDC dc, LPCWSTR text, int count, RECT* rect, UINT format);
int DrawTextExW(HDC dc, LPWSTR text, int count, RECT* rect, UINT format, DRAWTEXTPARAMS* params);

// ---- Frames -----------------------------------------------------------------------------
// Draws 3-D rings in the system colours: the outer ring on the rectangle's
// border, the inner ring one pixel inside. Raised rings are light at the
// top and left (outer COLOR_3DLIGHT, inner COLOR_BTNHIGHLIGHT) and dark at
// the bottom and right (outer COLOR_3DDKSHADOW, inner COLOR_BTNSHADOW);
// sunken rings the other way round. BF_SOFT swaps the top-left colours of
// the two rings; BF_FLAT draws both rings in COLOR_BTNSHADOW and
// COLOR_BTNFACE; BF_MONO in COLOR_WINDOWFRAME and COLOR_WINDOW. BF_MIDDLE
// fills the inside with COLOR_BTNFACE (COLOR_WINDOW for BF_MONO); BF_ADJUST
// shrinks the rectangle past the rings drawn. A ring whose two bits (raised
// and sunken) are both set is not drawn. Diagonal edges are not supported.
BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
// Classic push buttons, check boxes, radio buttons, scroll arrows, the
// combo-box button, size grip, caption buttons and menu marks.
BOOL DrawFrameControl(HDC dc, RECT* rect, UINT type, UINT state);

// ---- Icons and cursors --------------------------------------------------------------------
// Makes an icon or cursor from the bytes of one image resource: for a cursor
// two 16-bit hotspot values, then (both) a BITMAPINFOHEADER whose height is
// twice the image's, its colour table, the XOR image and the 1-bit AND mask.
// `version` must be 0x30000. A width/height of 0 takes the image's own size
// (or 32 x 32 with LR_DEFAULTSIZE); other sizes scale the image. NULL
// (ERROR_INVALID_DATA) for bytes that do not hold a whole, valid image.
HICON CreateIconFromResourceEx(const BYTE* bits, DWORD size, BOOL icon, DWORD version, int width,
                               int height, UINT flags);
HICON CreateIconFromResource(const BYTE* bits, DWORD size, BOOL icon, DWORD version);
// The id of the group directory's entry closest to the size (0 counts as
// 32), the deeper colour winning a tie; 0 (ERROR_INVALID_DATA) when the
// directory is not a group directory of the kind asked for. The entries are
// read as the directory's count says: the caller vouches for its length.
int LookupIconIdFromDirectoryEx(const BYTE* directory, BOOL icon, int width, int height,
                                UINT flags);
// Makes an icon from a mask and an optional colour bitmap (both copied).
HICON CreateIconIndirect(ICONINFO* info);
// The icon's facts with new copies of its bitmaps, which the caller deletes.
BOOL GetIconInfo(HICON icon, ICONINFO* info);
HICON CopyIcon(HICON icon);
// Draws the icon: the mask ANDed into the destination (DI_MASK), then the
// image XORed (DI_IMAGE); 32-bit images with alpha are blended instead.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step,
                HBRUSH flicker_free, UINT flags);
BOOL DrawIcon(HDC dc, int x, int y, HICON icon);
// Frees an icon or cursor; shared (system) ones are kept and TRUE returned.
BOOL DestroyIcon(HICON icon);
BOOL DestroyCursor(HCURSOR cursor);
// System cursors and icons (module NULL) are built-in shapes. A module's
// cursor or icon is its RT_GROUP_CURSOR / RT_GROUP_ICON resource, the entry
// closest to 32 x 32 taken from RT_CURSOR / RT_ICON. Both are shared: the
// same handle for the same name, and never destroyed. NULL with the
// resource error (ERROR_RESOURCE_NAME_NOT_FOUND...) or ERROR_INVALID_DATA
// for resource bytes that do not hold an image.
HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR name);
HICON LoadIconW(HINSTANCE module, LPCWSTR name);
// Icons and cursors as LoadIconW and LoadCursorW give them (shared) or, with
// a size other than 32 x 32, made anew at that size; bitmaps from a module's
// RT_BITMAP resources; and with LR_LOADFROMFILE .bmp, .ico and .cur files.
// LR_CREATEDIBSECTION makes bitmaps DIB sections.
HANDLE LoadImageW(HINSTANCE module, LPCWSTR name, UINT type, int width, int height, UINT flags);
// The process's current cursor (this model has one pointer).
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// ---- Rectangles -----------------------------------------------------------------------------
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL CopyRect(RECT* dest, const RECT* src);
BOOL InflateRect(RECT* rect, int dx, int dy);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL IsRectEmpty(const RECT* rect);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL EqualRect(const RECT* a, const RECT* b);
// The intersection (empty and FALSE when there is none).
BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b);
BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b);
BOOL SubtractRect(RECT* dest, const RECT* a, const RECT* b);

// ---- Process default layout ------------------------------------------------------------------
// Layout of the windows the process creates from now on: 0, or LAYOUT_RTL
// (right-to-left mirroring). Process-wide; starts as 0.
constexpr DWORD LAYOUT_RTL = 0x00000001;
// FALSE (ERROR_INVALID_PARAMETER) for any other value.
BOOL SetProcessDefaultLayout(DWORD layout);
// FALSE (ERROR_INVALID_PARAMETER) for a NULL pointer.
BOOL GetProcessDefaultLayout(DWORD* layout);
