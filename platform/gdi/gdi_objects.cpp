// The table of drawing objects, stock objects, system colours, pens,
// brushes, palettes, and the generic object calls (DeleteObject,
// GetObjectW, GetObjectType).
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

constexpr int kKinds = static_cast<int>(GdiKind::kDc) + 1;

struct Table {
  std::unordered_map<uintptr_t, std::shared_ptr<Object>> objects;  // live objects by handle
  size_t counts[kKinds] = {};                                      // live non-stock objects by kind
  uintptr_t next = 0x00100000;                                     // next handle value (step 4)
  std::shared_ptr<Object> stock[20];                               // stock objects by index
  std::shared_ptr<Brush> sys_brushes[31];                          // GetSysColorBrush brushes
  COLORREF sys_colors[31] = {};                                    // current system colours
};

// The classic default system colours, by index.
constexpr COLORREF kDefaultSysColors[31] = {
    RGB(212, 208, 200),  // COLOR_SCROLLBAR
    RGB(58, 110, 165),   // COLOR_BACKGROUND
    RGB(10, 36, 106),    // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(212, 208, 200),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(212, 208, 200),  // COLOR_ACTIVEBORDER
    RGB(212, 208, 200),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(10, 36, 106),    // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(212, 208, 200),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(212, 208, 200),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(64, 64, 64),     // COLOR_3DDKSHADOW
    RGB(212, 208, 200),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(181, 181, 181),  // 25: unnamed
    RGB(0, 0, 128),      // COLOR_HOTLIGHT
    RGB(166, 202, 240),  // COLOR_GRADIENTACTIVECAPTION
    RGB(192, 192, 192),  // COLOR_GRADIENTINACTIVECAPTION
    RGB(49, 106, 197),   // COLOR_MENUHILIGHT
    RGB(212, 208, 200),  // COLOR_MENUBAR
};

LOGFONTW StockLogFont(LONG height, LONG weight, BYTE pitch_family, BYTE charset,
                      const char16_t* face) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = charset;
  lf.lfPitchAndFamily = pitch_family;
  for (int i = 0; face[i] && i < 31; ++i) lf.lfFaceName[i] = face[i];
  return lf;
}

void AddStock(Table& t, int index, std::shared_ptr<Object> object) {
  object->stock = true;
  object->handle = t.next;
  t.next += 4;
  t.objects.emplace(object->handle, object);
  t.stock[index] = std::move(object);
}

std::shared_ptr<Object> StockBrush(Brush::Style style, COLORREF color) {
  auto b = std::make_shared<Brush>();
  b->style = style;
  b->color = color;
  return b;
}

std::shared_ptr<Object> StockPen(int style, COLORREF color, bool dc_pen) {
  auto p = std::make_shared<Pen>();
  p->style = style;
  p->color = color;
  p->dc_pen = dc_pen;
  return p;
}

std::shared_ptr<Object> StockFont(const LOGFONTW& lf) {
  auto f = std::make_shared<Font>();
  f->lf = lf;
  f->m = ComputeMetrics(lf);
  return f;
}

void MakeStockObjects(Table& t) {
  AddStock(t, WHITE_BRUSH, StockBrush(Brush::kSolid, RGB(255, 255, 255)));
  AddStock(t, LTGRAY_BRUSH, StockBrush(Brush::kSolid, RGB(192, 192, 192)));
  AddStock(t, GRAY_BRUSH, StockBrush(Brush::kSolid, RGB(128, 128, 128)));
  AddStock(t, DKGRAY_BRUSH, StockBrush(Brush::kSolid, RGB(64, 64, 64)));
  AddStock(t, BLACK_BRUSH, StockBrush(Brush::kSolid, RGB(0, 0, 0)));
  AddStock(t, NULL_BRUSH, StockBrush(Brush::kNull, 0));
  AddStock(t, WHITE_PEN, StockPen(PS_SOLID, RGB(255, 255, 255), false));
  AddStock(t, BLACK_PEN, StockPen(PS_SOLID, 0, false));
  AddStock(t, NULL_PEN, StockPen(PS_NULL, 0, false));
  AddStock(t, OEM_FIXED_FONT,
           StockFont(StockLogFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, OEM_CHARSET, u"Terminal")));
  AddStock(t, ANSI_FIXED_FONT,
           StockFont(StockLogFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, ANSI_CHARSET, u"Courier")));
  AddStock(t, ANSI_VAR_FONT, StockFont(StockLogFont(12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS,
                                                    ANSI_CHARSET, u"MS Sans Serif")));
  AddStock(t, SYSTEM_FONT, StockFont(StockLogFont(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS,
                                                  ANSI_CHARSET, u"System")));
  AddStock(t, DEVICE_DEFAULT_FONT, StockFont(StockLogFont(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS,
                                                          ANSI_CHARSET, u"System")));
  auto palette = std::make_shared<Palette>();
  for (int i = 0; i < 16; ++i) {
    // The 16 colours of the classic default palette: black, the dark and
    // the bright primaries and their mixes, two greys and white.
    static const BYTE kVga[16][3] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    palette->entries.push_back(PALETTEENTRY{kVga[i][0], kVga[i][1], kVga[i][2], 0});
  }
  AddStock(t, DEFAULT_PALETTE, palette);
  AddStock(t, SYSTEM_FIXED_FONT,
           StockFont(StockLogFont(15, FW_NORMAL, FIXED_PITCH | FF_MODERN, ANSI_CHARSET, u"Fixedsys")));
  AddStock(t, DEFAULT_GUI_FONT, StockFont(StockLogFont(-11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS,
                                                       DEFAULT_CHARSET, u"MS Shell Dlg")));
  AddStock(t, DC_BRUSH, StockBrush(Brush::kDcBrush, RGB(255, 255, 255)));
  AddStock(t, DC_PEN, StockPen(PS_SOLID, 0, true));
  // The default bitmap of memory DCs: 1x1 monochrome.
  auto bitmap = NewBitmap(1, 1, 1, false);
  bitmap->device_mono = true;
  AddStock(t, 9, bitmap);  // index 9 is unused by the stock indexes: our slot
  for (int i = 0; i < 31; ++i) {
    auto b = std::make_shared<Brush>();
    b->style = Brush::kSysColor;
    b->sys_index = i;
    b->stock = true;
    b->handle = t.next;
    t.next += 4;
    t.objects.emplace(b->handle, b);
    t.sys_brushes[i] = b;
    t.sys_colors[i] = kDefaultSysColors[i];
  }
}

Table& TheTable() {
  static Table* table = [] {
    Table* t = new Table;  // lives to process exit
    MakeStockObjects(*t);
    return t;
  }();
  return *table;
}

template <class T>
HANDLE InsertNew(std::shared_ptr<T> object) {
  return reinterpret_cast<HANDLE>(Insert(std::move(object)));
}

}  // namespace

std::recursive_mutex& Lock() {
  static std::recursive_mutex* lock = new std::recursive_mutex;
  return *lock;
}

uintptr_t NewHandleValue() {
  Table& t = TheTable();
  uintptr_t v = t.next;
  t.next += 4;
  return v;
}

uintptr_t Insert(std::shared_ptr<Object> object) {
  Table& t = TheTable();
  object->handle = NewHandleValue();
  if (!object->stock) ++t.counts[static_cast<int>(object->kind)];
  uintptr_t h = object->handle;
  t.objects.emplace(h, std::move(object));
  return h;
}

std::shared_ptr<Object> Find(const void* handle) {
  Table& t = TheTable();
  auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

void Remove(uintptr_t handle) {
  Table& t = TheTable();
  auto it = t.objects.find(handle);
  if (it == t.objects.end()) return;
  if (!it->second->stock) --t.counts[static_cast<int>(it->second->kind)];
  t.objects.erase(it);
}

void CountDc(int delta) {
  Table& t = TheTable();
  t.counts[static_cast<int>(GdiKind::kDc)] += delta;
}

std::shared_ptr<Object> Stock(int index) {
  if (index < 0 || index >= 20) return nullptr;
  return TheTable().stock[index];
}

std::shared_ptr<Brush> SysColorBrush(int index) {
  if (index < 0 || index > 30) return nullptr;
  return TheTable().sys_brushes[index];
}

COLORREF SysColor(int index) {
  if (index < 0 || index > 30) return 0;
  return TheTable().sys_colors[index];
}

COLORREF PenColor(const Dc& dc, const Pen& pen) {
  return pen.dc_pen ? dc.state.dc_pen_color : pen.color;
}

COLORREF BrushColor(const Dc& dc, const Brush& brush) {
  switch (brush.style) {
    case Brush::kDcBrush: return dc.state.dc_brush_color;
    case Brush::kSysColor: return SysColor(brush.sys_index);
    default: return brush.color;
  }
}

}  // namespace platform::gdi

namespace platform {

size_t GdiObjectCount(GdiKind kind) {
  std::lock_guard<std::recursive_mutex> guard(gdi::Lock());
  return gdi::TheTable().counts[static_cast<int>(kind)];
}

size_t GdiObjectCount() {
  std::lock_guard<std::recursive_mutex> guard(gdi::Lock());
  size_t n = 0;
  for (size_t c : gdi::TheTable().counts) n += c;
  return n;
}

void ResetSysColors() {
  std::lock_guard<std::recursive_mutex> guard(gdi::Lock());
  for (int i = 0; i < 31; ++i) gdi::TheTable().sys_colors[i] = gdi::kDefaultSysColors[i];
}

}  // namespace platform

using platform::GdiKind;
using namespace platform::gdi;

HGDIOBJ GetStockObject(int index) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  if (index == 9) return nullptr;  // our private default-bitmap slot
  std::shared_ptr<Object> o = Stock(index);
  return o ? reinterpret_cast<HGDIOBJ>(o->handle) : nullptr;
}

BOOL DeleteObject(HGDIOBJ object) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Object> o = Find(object);
  if (!o || o->kind == GdiKind::kIcon) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (o->stock) return TRUE;
  bool in_dc = o->selected > 0;
  if (o->kind == GdiKind::kBitmap && static_cast<Bitmap&>(*o).selected_dc) in_dc = true;
  if (in_dc) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  Remove(o->handle);
  return TRUE;
}

namespace {

int CopyOut(const void* record, int record_size, int size, LPVOID buffer) {
  if (!buffer) return record_size;
  if (size <= 0) return 0;
  int n = size < record_size ? size : record_size;
  std::memcpy(buffer, record, n);
  return n;
}

BITMAP BitmapRecord(const Bitmap& b) {
  BITMAP r{};
  r.bmWidth = b.width;
  r.bmHeight = b.height;
  r.bmWidthBytes = b.dib ? b.stride : static_cast<LONG>(((static_cast<int64_t>(b.width) * b.bpp + 15) / 16) * 2);
  r.bmPlanes = 1;
  r.bmBitsPixel = static_cast<WORD>(b.bpp);
  r.bmBits = b.dib ? b.bits : nullptr;
  return r;
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Object> o = Find(object);
  if (!o || o->kind == GdiKind::kIcon) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->kind) {
    case GdiKind::kPen: {
      const Pen& p = static_cast<const Pen&>(*o);
      LOGPEN r{static_cast<UINT>(p.style), POINT{p.width, 0}, p.color};
      if (buffer && size < static_cast<int>(sizeof(r))) return 0;
      return CopyOut(&r, sizeof(r), size, buffer);
    }
    case GdiKind::kBrush: {
      const Brush& b = static_cast<const Brush&>(*o);
      LOGBRUSH r{BS_SOLID, b.color, 0};
      if (b.style == Brush::kNull) r.lbStyle = BS_NULL;
      if (b.style == Brush::kHatch) {
        r.lbStyle = BS_HATCHED;
        r.lbHatch = static_cast<ULONG_PTR>(b.hatch);
      }
      if (b.style == Brush::kPattern) r.lbStyle = BS_PATTERN;
      if (b.style == Brush::kSysColor) r.lbColor = SysColor(b.sys_index);
      if (buffer && size < static_cast<int>(sizeof(r))) return 0;
      return CopyOut(&r, sizeof(r), size, buffer);
    }
    case GdiKind::kFont: {
      const Font& f = static_cast<const Font&>(*o);
      return CopyOut(&f.lf, sizeof(f.lf), size, buffer);
    }
    case GdiKind::kBitmap: {
      const Bitmap& b = static_cast<const Bitmap&>(*o);
      if (b.dib && (!buffer || size >= static_cast<int>(sizeof(DIBSECTION)))) {
        DIBSECTION ds{};
        ds.dsBm = BitmapRecord(b);
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b.width;
        ds.dsBmih.biHeight = b.height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(b.bpp);
        ds.dsBmih.biCompression = b.bitfields ? BI_BITFIELDS : BI_RGB;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b.stride) * b.height;
        ds.dsBmih.biClrUsed = static_cast<DWORD>(b.palette.size());
        for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = b.bitfields ? b.masks[i] : 0;
        return CopyOut(&ds, sizeof(ds), size, buffer);
      }
      if (buffer && size < static_cast<int>(sizeof(BITMAP))) return 0;
      BITMAP r = BitmapRecord(b);
      return CopyOut(&r, sizeof(r), size, buffer);
    }
    case GdiKind::kPalette: {
      WORD n = static_cast<WORD>(static_cast<const Palette&>(*o).entries.size());
      if (buffer && size < 2) return 0;
      return CopyOut(&n, sizeof(n), size, buffer);
    }
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
  }
}

DWORD GetObjectType(HGDIOBJ object) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  if (Dc* dc = FindDc(static_cast<HDC>(object))) return dc->kind == Dc::kMemory ? OBJ_MEMDC : OBJ_DC;
  std::shared_ptr<Object> o = Find(object);
  if (!o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->kind) {
    case GdiKind::kPen: return OBJ_PEN;
    case GdiKind::kBrush: return OBJ_BRUSH;
    case GdiKind::kFont: return OBJ_FONT;
    case GdiKind::kBitmap: return OBJ_BITMAP;
    case GdiKind::kRegion: return OBJ_REGION;
    case GdiKind::kPalette: return OBJ_PAL;
    default: SetLastError(ERROR_INVALID_HANDLE); return 0;
  }
}

// ---- Pens ---------------------------------------------------------------------------------
HPEN CreatePen(int style, int width, COLORREF color) {
  int kind = style & PS_STYLE_MASK;
  if (kind > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto p = std::make_shared<Pen>();
  p->style = kind;
  p->width = width < 1 ? 1 : width;
  // Styled pens are one pixel wide, as on the platform.
  if (kind != PS_SOLID && kind != PS_INSIDEFRAME && kind != PS_NULL) p->width = 1;
  p->color = color & 0x00FFFFFF;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return static_cast<HPEN>(InsertNew(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

// ---- Brushes -------------------------------------------------------------------------------
HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = std::make_shared<Brush>();
  b->color = color & 0x00FFFFFF;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return static_cast<HBRUSH>(InsertNew(b));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto b = std::make_shared<Brush>();
  b->style = Brush::kHatch;
  b->hatch = hatch;
  b->color = color & 0x00FFFFFF;
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return static_cast<HBRUSH>(InsertNew(b));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Bitmap> src = FindAs<Bitmap>(bitmap, GdiKind::kBitmap);
  if (!src) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  std::shared_ptr<Bitmap> copy = NewBitmap(src->width, src->height, src->bpp, false);
  if (!copy) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  copy->device_mono = src->device_mono || src->bpp == 1;
  copy->palette = src->palette;
  copy->bitfields = src->bitfields;
  for (int i = 0; i < 3; ++i) copy->masks[i] = src->masks[i];
  for (int y = 0; y < src->height; ++y)
    std::memcpy(Row(*copy, y), Row(*src, y), static_cast<size_t>(DibStride(src->width, src->bpp)));
  auto b = std::make_shared<Brush>();
  b->style = Brush::kPattern;
  b->pattern = copy;
  return static_cast<HBRUSH>(InsertNew(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_NULL: return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

HBRUSH GetSysColorBrush(int index) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Brush> b = SysColorBrush(index);
  return b ? reinterpret_cast<HBRUSH>(b->handle) : nullptr;
}

// ---- System colours -------------------------------------------------------------------------
DWORD GetSysColor(int index) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return SysColor(index);
}

BOOL SetSysColors(int count, const int* indexes, const COLORREF* colors) {
  if (count < 0 || (count > 0 && (!indexes || !colors))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (int i = 0; i < count; ++i)
    if (indexes[i] < 0 || indexes[i] > 30) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  for (int i = 0; i < count; ++i) TheTable().sys_colors[indexes[i]] = colors[i] & 0x00FFFFFF;
  return TRUE;
}

// ---- Palettes --------------------------------------------------------------------------------
HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto p = std::make_shared<Palette>();
  p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return static_cast<HPALETTE>(InsertNew(p));
}
