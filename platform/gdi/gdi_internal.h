// Inside the drawing layer: the objects behind GDI handles, device contexts
// and the pixel primitives that the gdi_*.cpp sources share. Nothing outside
// platform/gdi*.cpp includes this header.
//
// Every public drawing function takes Lock() (recursive, so the frame and
// text painters may call the primitives) for its whole run; objects are held
// by shared pointers, so a DC state keeps what it selected alive.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace platform::gdi {

// The one lock of the drawing layer.
std::recursive_mutex& Lock();

// ---- Objects -------------------------------------------------------------------------
struct Object {
  explicit Object(GdiKind k) : kind(k) {}
  virtual ~Object() = default;
  GdiKind kind;           // what the handle stands for
  uintptr_t handle = 0;   // its handle value
  bool stock = false;     // stock or shared: never deleted, not counted
  int selected = 0;       // DC states (current and saved) that hold it
};

// A bitmap: rows of pixels in one of the DIB layouts.
struct Bitmap : Object {
  Bitmap() : Object(GdiKind::kBitmap) {}
  ~Bitmap() override;
  int width = 0;                  // pixels
  int height = 0;                 // pixels
  int bpp = 32;                   // 1, 4, 8, 16, 24 or 32
  int stride = 0;                 // bytes per row in memory
  bool bottom_up = false;         // the bottom row is first in memory
  uint8_t* bits = nullptr;        // the rows
  bool owns_bits = true;          // free `bits` with the bitmap
  bool dib = false;               // a DIB section (GetObjectW gives DIBSECTION)
  bool device_mono = false;       // a monochrome device bitmap
  bool bitfields = false;         // masks given (BI_BITFIELDS)
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue masks for 16 and 32 bits
  std::vector<RGBQUAD> palette;   // colour table for 8 bits or fewer
  uintptr_t selected_dc = 0;      // the DC it is selected into, 0 for none
};

struct Pen : Object {
  Pen() : Object(GdiKind::kPen) {}
  int style = PS_SOLID;      // PS_*
  int width = 1;             // pixels (0 counts as 1)
  COLORREF color = 0;        // colour
  bool dc_pen = false;       // the DC_PEN stock pen: colour from the DC
};

struct Brush : Object {
  Brush() : Object(GdiKind::kBrush) {}
  enum Style { kSolid, kNull, kHatch, kPattern, kDcBrush, kSysColor };
  Style style = kSolid;               // how it paints
  COLORREF color = 0;                 // solid and hatch colour
  int hatch = 0;                      // HS_* of a hatch brush
  int sys_index = 0;                  // system colour of a kSysColor brush
  std::shared_ptr<Bitmap> pattern;    // copy of the pattern bitmap
};

// Metrics of a font under the model documented in gdi.h.
struct FontMetrics {
  int height = 0;            // tmHeight
  int ascent = 0;            // tmAscent
  int descent = 0;           // tmDescent
  int internal_leading = 0;  // tmInternalLeading
  int external_leading = 0;  // tmExternalLeading
  int base_width = 0;        // a: width of an average character without bold
  int bold_extra = 0;        // b: added to every character
  bool fixed = false;        // every character a + b wide
};

struct Font : Object {
  Font() : Object(GdiKind::kFont) {}
  LOGFONTW lf{};        // as created
  FontMetrics m;        // derived from lf
};

// A region: disjoint rectangles.
struct Region : Object {
  Region() : Object(GdiKind::kRegion) {}
  std::vector<RECT> rects;  // non-overlapping, non-empty
};

struct Palette : Object {
  Palette() : Object(GdiKind::kPalette) {}
  std::vector<PALETTEENTRY> entries;  // the colours
};

// An icon or cursor: a colour image with a transparency mask.
struct Icon : Object {
  Icon() : Object(GdiKind::kIcon) {}
  bool is_icon = true;            // FALSE for a cursor
  int width = 0;                  // pixels
  int height = 0;                 // pixels
  POINT hotspot{0, 0};            // cursor hotspot
  bool mono = false;              // the image has only black and white
  bool alpha = false;             // `color` carries alpha to blend with
  std::vector<uint32_t> color;    // XOR image, 0xAARRGGBB, top row first
  std::vector<uint8_t> mask;      // AND mask: 1 keeps the destination
};

// Object table. Insert gives the handle; stock objects are marked first.
uintptr_t NewHandleValue();
uintptr_t Insert(std::shared_ptr<Object> object);
std::shared_ptr<Object> Find(const void* handle);
template <class T>
std::shared_ptr<T> FindAs(const void* handle, GdiKind kind) {
  std::shared_ptr<Object> o = Find(handle);
  if (!o || o->kind != kind) return nullptr;
  return std::static_pointer_cast<T>(o);
}
// Removes an object from the table (DeleteObject, DestroyIcon).
void Remove(uintptr_t handle);
void CountDc(int delta);
// The stock object of an index, null for an unknown index.
std::shared_ptr<Object> Stock(int index);
// The shared system-colour brush of an index 0..30.
std::shared_ptr<Brush> SysColorBrush(int index);
COLORREF SysColor(int index);
// The shared built-in bitmap of an OBM_ id (OBM_CHECK), made on first
// request; null (ERROR_RESOURCE_NAME_NOT_FOUND) for an id we do not draw.
// (gdi_system_bitmaps.cpp)
HBITMAP SystemBitmap(WORD id);

// A fresh bitmap with zeroed pixels; null when memory runs out or the size
// is too large. `top_down` false stores the bottom row first.
std::shared_ptr<Bitmap> NewBitmap(int width, int height, int bpp, bool bottom_up);
// Stride of DIB rows.
inline int DibStride(int width, int bpp) {
  return static_cast<int>(((static_cast<int64_t>(width) * bpp + 31) / 32) * 4);
}

// The format of a DIB as a BITMAPINFO describes it.
struct DibFormat {
  int width = 0;                  // pixels
  int height = 0;                 // pixels (positive)
  bool bottom_up = true;          // positive biHeight
  int bpp = 0;                    // bits per pixel
  int stride = 0;                 // bytes per row
  bool bitfields = false;         // BI_BITFIELDS
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue masks
  std::vector<RGBQUAD> palette;   // colour table (8 bits or fewer)
  size_t table_bytes = 0;         // header plus masks plus colour table
};
// Checks and reads a BITMAPINFO (DIB_RGB_COLORS only).
bool ParseDib(const BITMAPINFO* info, UINT usage, DibFormat* out);
// Gives a bitmap the masks and colour table of a format.
void ApplyFormat(Bitmap& b, const DibFormat& f);
// A bitmap over caller memory in a format (not owned, not in the table).
Bitmap DibView(const DibFormat& f, const void* bits);
// TRUE when raw values of the two bitmaps mean the same colours.
bool SameRawFormat(const Bitmap& a, const Bitmap& b);
// Copies `width` pixels of a row, converting through colours when the
// formats differ.
void CopyPixels(const Bitmap& src, int sy, Bitmap& dst, int dy, int width);

// ---- Pixels ------------------------------------------------------------------------------
uint8_t* Row(const Bitmap& b, int y);
uint32_t ReadRaw(const Bitmap& b, int x, int y);
void WriteRaw(Bitmap& b, int x, int y, uint32_t value);
// All bits a raw pixel value can hold.
uint32_t RawMask(const Bitmap& b);
uint32_t RawFromColor(const Bitmap& b, COLORREF color);
COLORREF ColorFromRaw(const Bitmap& b, uint32_t raw);

// ---- Device contexts ------------------------------------------------------------------
struct DcState {
  std::shared_ptr<Bitmap> bitmap;        // memory DCs: the selected bitmap
  std::shared_ptr<Pen> pen;              // selected pen
  std::shared_ptr<Brush> brush;          // selected brush
  std::shared_ptr<Font> font;            // selected font
  std::shared_ptr<Palette> palette;      // selected palette
  std::optional<std::vector<RECT>> clip; // clip region in device coordinates
  COLORREF bk_color = RGB(255, 255, 255);     // background colour
  COLORREF text_color = 0;                     // text colour
  COLORREF dc_brush_color = RGB(255, 255, 255);  // DC_BRUSH colour
  COLORREF dc_pen_color = 0;                   // DC_PEN colour
  int bk_mode = OPAQUE;                        // OPAQUE or TRANSPARENT
  UINT text_align = 0;                         // TA_*
  int rop2 = R2_COPYPEN;                       // pen mix
  int poly_fill = ALTERNATE;                   // polygon fill rule
  int stretch_mode = BLACKONWHITE;             // kept only
  POINT position{0, 0};                        // current position (logical)
  POINT viewport_org{0, 0};                    // device offset
  POINT window_org{0, 0};                      // logical offset
  POINT brush_org{0, 0};                       // pattern origin (device)
  int style_pos = 0;                           // position in the pen's dash pattern
};

struct Dc {
  enum Kind { kScreen, kMemory, kWindow };
  Kind kind = kScreen;                   // what it draws on
  bool from_get_dc = false;              // freed by ReleaseDC, not DeleteDC
  uintptr_t monitor = 0;                 // screen DCs: the monitor, 0 for all
  HWND window = nullptr;                 // window DCs: the window
  std::shared_ptr<Bitmap> surface;       // window DCs: the window's pixels
  DcState state;                         // current state
  std::vector<DcState> saved;            // SaveDC stack
};

// The DC of a handle or null (last error ERROR_INVALID_HANDLE).
Dc* FindDc(HDC dc);
// The pixels a DC draws on; null for the screen.
Bitmap* Surface(Dc& dc);
// Monitor of a DC for its device facts (0: the primary monitor).
bool DcMonitor(HDC dc, uintptr_t* monitor);
// Facts of the primary monitor (platform/gdi/gdi.cpp).
SIZE PrimarySize();
int PrimaryBitsPerPixel();
// Registers a screen DC made by the display code.
HDC NewScreenDc(bool from_get_dc, uintptr_t monitor);

// Logical to device coordinates.
inline POINT ToDevice(const Dc& dc, int x, int y) {
  return POINT{x - dc.state.window_org.x + dc.state.viewport_org.x,
               y - dc.state.window_org.y + dc.state.viewport_org.y};
}
RECT ToDevice(const Dc& dc, const RECT& r);
// The device rectangles a drawing inside `area` (device coordinates) may
// touch: `area` cut by the surface and the clip region.
std::vector<RECT> ClipRects(Dc& dc, const RECT& area);
bool Visible(Dc& dc, int x, int y);

// The colour of a pen as drawn, and whether it draws at all.
COLORREF PenColor(const Dc& dc, const Pen& pen);
COLORREF BrushColor(const Dc& dc, const Brush& brush);

// ---- Painting primitives (device coordinates, clipped) -----------------------------------
// Fills a device rectangle with a colour.
void FillDevice(Dc& dc, const RECT& area, COLORREF color);
// Combines a device rectangle with a brush under a ternary raster operation
// that uses no source. A null brush leaves the area alone.
void PatDevice(Dc& dc, const RECT& area, const Brush* brush, DWORD rop);
// Plots one pixel with the DC's pen mix.
void PlotPen(Dc& dc, int x, int y, uint32_t raw, Bitmap& surface);

// Region helpers.
std::vector<RECT> RectIntersect(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> RectSubtract(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> RectUnion(const std::vector<RECT>& a, const std::vector<RECT>& b);
RECT BoundingBox(const std::vector<RECT>& rects);
int RegionType(const std::vector<RECT>& rects);
bool Empty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);

// ---- Fonts -----------------------------------------------------------------------------
FontMetrics ComputeMetrics(const LOGFONTW& lf);
int CharWidth(const FontMetrics& m, char16_t c);
// The DC's font (the system font when none is selected).
const Font& DcFont(const Dc& dc);
// Draws one character's glyph with its cell's top-left at device (x, y).
void DrawGlyph(Dc& dc, const Font& font, char16_t c, int x, int y, int advance, COLORREF color,
               const RECT* clip);

}  // namespace platform::gdi
