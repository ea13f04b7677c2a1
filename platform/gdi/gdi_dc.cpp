// Device contexts: the table of open DCs, memory DCs, window DCs over kept
// window surfaces, object selection, saved states, attributes, coordinate
// origins and clipping.
#include <cstring>
#include <unordered_map>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

struct DcTable {
  std::unordered_map<uintptr_t, std::unique_ptr<Dc>> dcs;                   // open DCs by handle
  std::unordered_map<HWND, std::shared_ptr<Bitmap>> surfaces;              // kept window pixels
  WindowClientSizeFunction client_size = nullptr;                         // set by the window layer
};

DcTable& Dcs() {
  static DcTable* table = new DcTable;  // lives to process exit
  return *table;
}

// Counts the objects a state holds, so that DeleteObject refuses them.
void Hold(uintptr_t dc_handle, DcState& s) {
  if (s.bitmap) {
    ++s.bitmap->selected;
    s.bitmap->selected_dc = dc_handle;
  }
  if (s.pen) ++s.pen->selected;
  if (s.brush) ++s.brush->selected;
  if (s.font) ++s.font->selected;
  if (s.palette) ++s.palette->selected;
}

void Release(DcState& s) {
  if (s.bitmap && --s.bitmap->selected == 0) s.bitmap->selected_dc = 0;
  if (s.pen) --s.pen->selected;
  if (s.brush) --s.brush->selected;
  if (s.font) --s.font->selected;
  if (s.palette) --s.palette->selected;
}

template <class T>
std::shared_ptr<T> StockAs(int index) {
  return std::static_pointer_cast<T>(Stock(index));
}

HDC AddDc(std::unique_ptr<Dc> dc) {
  uintptr_t h = NewHandleValue();
  dc->state.pen = StockAs<Pen>(BLACK_PEN);
  dc->state.brush = StockAs<Brush>(WHITE_BRUSH);
  dc->state.font = StockAs<Font>(SYSTEM_FONT);
  dc->state.palette = StockAs<Palette>(DEFAULT_PALETTE);
  if (dc->kind == Dc::kMemory) dc->state.bitmap = StockAs<Bitmap>(9);
  Hold(h, dc->state);
  Dcs().dcs.emplace(h, std::move(dc));
  CountDc(1);
  return reinterpret_cast<HDC>(h);
}

void FreeDc(uintptr_t h) {
  auto it = Dcs().dcs.find(h);
  if (it == Dcs().dcs.end()) return;
  Dc& dc = *it->second;
  Release(dc.state);
  for (DcState& s : dc.saved) Release(s);
  Dcs().dcs.erase(it);
  CountDc(-1);
}

// A surface of the given size for a window, keeping what it showed.
std::shared_ptr<Bitmap> WindowSurface(HWND window, SIZE size) {
  auto& kept = Dcs().surfaces[window];
  if (size.cx <= 0 || size.cy <= 0) {
    kept.reset();
    return nullptr;
  }
  if (kept && kept->width == size.cx && kept->height == size.cy) return kept;
  std::shared_ptr<Bitmap> fresh = NewBitmap(size.cx, size.cy, 32, false);
  if (!fresh) return kept;
  if (kept) {
    int w = kept->width < fresh->width ? kept->width : fresh->width;
    int h = kept->height < fresh->height ? kept->height : fresh->height;
    for (int y = 0; y < h; ++y) std::memcpy(Row(*fresh, y), Row(*kept, y), static_cast<size_t>(w) * 4);
  }
  kept = fresh;
  return kept;
}

RECT DeviceBounds(Dc& dc) {
  if (Bitmap* s = Surface(dc)) return RECT{0, 0, s->width, s->height};
  if (dc.kind == Dc::kScreen) {
    SIZE size = PrimarySize();
    return RECT{0, 0, size.cx, size.cy};
  }
  return RECT{0, 0, 0, 0};
}

// The DC's clip as rectangles, the whole device when it has none.
std::vector<RECT> CurrentClip(Dc& dc) {
  if (dc.state.clip) return *dc.state.clip;
  RECT b = DeviceBounds(dc);
  return Empty(b) ? std::vector<RECT>() : std::vector<RECT>{b};
}

int SetClip(Dc& dc, std::vector<RECT> rects) {
  dc.state.clip = std::move(rects);
  return RegionType(RectIntersect(*dc.state.clip, {DeviceBounds(dc)}));
}

}  // namespace

Dc* FindDc(HDC dc) {
  auto it = Dcs().dcs.find(reinterpret_cast<uintptr_t>(dc));
  return it == Dcs().dcs.end() ? nullptr : it->second.get();
}

Bitmap* Surface(Dc& dc) {
  switch (dc.kind) {
    case Dc::kMemory: return dc.state.bitmap.get();
    case Dc::kWindow: return dc.surface.get();
    default: return nullptr;
  }
}

bool DcMonitor(HDC dc, uintptr_t* monitor) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d) return false;
  *monitor = d->kind == Dc::kScreen ? d->monitor : 0;
  return true;
}

HDC NewScreenDc(bool from_get_dc, uintptr_t monitor) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  auto dc = std::make_unique<Dc>();
  dc->kind = Dc::kScreen;
  dc->from_get_dc = from_get_dc;
  dc->monitor = monitor;
  return AddDc(std::move(dc));
}

RECT ToDevice(const Dc& dc, const RECT& r) {
  POINT a = ToDevice(dc, r.left, r.top);
  POINT b = ToDevice(dc, r.right, r.bottom);
  return RECT{a.x, a.y, b.x, b.y};
}

std::vector<RECT> ClipRects(Dc& dc, const RECT& area) {
  RECT a = Intersect(area, DeviceBounds(dc));
  if (Empty(a)) return {};
  if (!dc.state.clip) return {a};
  return RectIntersect(*dc.state.clip, {a});
}

bool Visible(Dc& dc, int x, int y) {
  RECT b = DeviceBounds(dc);
  if (x < b.left || y < b.top || x >= b.right || y >= b.bottom) return false;
  if (!dc.state.clip) return true;
  for (const RECT& r : *dc.state.clip)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

const Font& DcFont(const Dc& dc) { return *dc.state.font; }

}  // namespace platform::gdi

namespace platform {

WindowClientSizeFunction SetWindowClientSizeFunction(WindowClientSizeFunction function) {
  std::lock_guard<std::recursive_mutex> guard(gdi::Lock());
  WindowClientSizeFunction previous = gdi::Dcs().client_size;
  gdi::Dcs().client_size = function;
  return previous;
}

void ReleaseWindowSurface(HWND window) {
  std::lock_guard<std::recursive_mutex> guard(gdi::Lock());
  gdi::Dcs().surfaces.erase(window);
}

}  // namespace platform

using platform::GdiKind;
using namespace platform::gdi;

#define WU_DC_OR(dc_handle, fail)                 \
  std::lock_guard<std::recursive_mutex> guard(Lock()); \
  Dc* d = FindDc(dc_handle);                      \
  if (!d) {                                       \
    SetLastError(ERROR_INVALID_HANDLE);           \
    return fail;                                  \
  }

HDC GetDC(HWND window) {
  if (!window) return NewScreenDc(true, 0);
  platform::WindowClientSizeFunction query;
  {
    std::lock_guard<std::recursive_mutex> guard(Lock());
    query = Dcs().client_size;
  }
  // Ask the window layer without holding the drawing lock.
  SIZE size{0, 0};
  if (!query || !query(window, &size)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  std::lock_guard<std::recursive_mutex> guard(Lock());
  auto dc = std::make_unique<Dc>();
  dc->kind = Dc::kWindow;
  dc->from_get_dc = true;
  dc->window = window;
  dc->surface = WindowSurface(window, size);
  return AddDc(std::move(dc));
}

int ReleaseDC(HWND window, HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || !d->from_get_dc) return 0;
  FreeDc(reinterpret_cast<uintptr_t>(dc));
  return 1;
}

BOOL DeleteDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  Dc* d = FindDc(dc);
  if (!d || d->from_get_dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  FreeDc(reinterpret_cast<uintptr_t>(dc));
  return TRUE;
}

HDC CreateCompatibleDC(HDC dc) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  if (dc && !FindDc(dc)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto memory = std::make_unique<Dc>();
  memory->kind = Dc::kMemory;
  return AddDc(std::move(memory));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  WU_DC_OR(dc, nullptr)
  std::shared_ptr<Object> o = Find(object);
  if (!o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  uintptr_t self = reinterpret_cast<uintptr_t>(dc);
  DcState& s = d->state;
  auto swap = [&](auto& slot) -> HGDIOBJ {
    using T = typename std::remove_reference_t<decltype(slot)>::element_type;
    HGDIOBJ previous = slot ? reinterpret_cast<HGDIOBJ>(slot->handle) : nullptr;
    if (slot) --slot->selected;
    slot = std::static_pointer_cast<T>(o);
    ++slot->selected;
    return previous;
  };
  switch (o->kind) {
    case GdiKind::kPen: return swap(s.pen);
    case GdiKind::kBrush: return swap(s.brush);
    case GdiKind::kFont: return swap(s.font);
    case GdiKind::kBitmap: {
      Bitmap& b = static_cast<Bitmap&>(*o);
      if (d->kind != Dc::kMemory || (b.selected_dc && b.selected_dc != self && !b.stock)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      HGDIOBJ previous = reinterpret_cast<HGDIOBJ>(s.bitmap->handle);
      if (--s.bitmap->selected == 0) s.bitmap->selected_dc = 0;
      s.bitmap = std::static_pointer_cast<Bitmap>(o);
      ++b.selected;
      b.selected_dc = self;
      return previous;
    }
    case GdiKind::kRegion: {
      const Region& r = static_cast<const Region&>(*o);
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(SetClip(*d, r.rects)));
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC dc, UINT type) {
  WU_DC_OR(dc, nullptr)
  Object* o = nullptr;
  switch (type) {
    case OBJ_PEN: o = d->state.pen.get(); break;
    case OBJ_BRUSH: o = d->state.brush.get(); break;
    case OBJ_FONT: o = d->state.font.get(); break;
    case OBJ_PAL: o = d->state.palette.get(); break;
    case OBJ_BITMAP: o = d->state.bitmap.get(); break;
    default: break;
  }
  return o ? reinterpret_cast<HGDIOBJ>(o->handle) : nullptr;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL force_background) {
  WU_DC_OR(dc, nullptr)
  std::shared_ptr<Palette> p = FindAs<Palette>(palette, GdiKind::kPalette);
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  HPALETTE previous = reinterpret_cast<HPALETTE>(d->state.palette->handle);
  --d->state.palette->selected;
  d->state.palette = p;
  ++p->selected;
  return previous;
}

UINT RealizePalette(HDC dc) {
  WU_DC_OR(dc, GDI_ERROR)
  return 0;  // true-colour devices map no entries
}

int SaveDC(HDC dc) {
  WU_DC_OR(dc, 0)
  d->saved.push_back(d->state);
  Hold(reinterpret_cast<uintptr_t>(dc), d->saved.back());
  return static_cast<int>(d->saved.size());
}

BOOL RestoreDC(HDC dc, int saved) {
  WU_DC_OR(dc, FALSE)
  int levels = static_cast<int>(d->saved.size());
  int level = saved < 0 ? levels + 1 + saved : saved;
  if (saved == 0 || level < 1 || level > levels) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Release(d->state);
  d->state = std::move(d->saved[level - 1]);
  for (int i = level; i < levels; ++i) Release(d->saved[i]);
  d->saved.resize(level - 1);
  return TRUE;
}

// ---- Attributes -------------------------------------------------------------------------
// Stores a colour (its reserved high byte cleared) and returns the one it
// replaces.
static COLORREF ExchangeColor(COLORREF* slot, COLORREF color) {
  COLORREF previous = *slot;
  *slot = color & 0x00FFFFFF;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  WU_DC_OR(dc, CLR_INVALID)
  return ExchangeColor(&d->state.bk_color, color);
}
COLORREF GetBkColor(HDC dc) {
  WU_DC_OR(dc, CLR_INVALID)
  return d->state.bk_color;
}
COLORREF SetTextColor(HDC dc, COLORREF color) {
  WU_DC_OR(dc, CLR_INVALID)
  return ExchangeColor(&d->state.text_color, color);
}
COLORREF GetTextColor(HDC dc) {
  WU_DC_OR(dc, CLR_INVALID)
  return d->state.text_color;
}
COLORREF SetDCBrushColor(HDC dc, COLORREF color) {
  WU_DC_OR(dc, CLR_INVALID)
  return ExchangeColor(&d->state.dc_brush_color, color);
}
COLORREF GetDCBrushColor(HDC dc) {
  WU_DC_OR(dc, CLR_INVALID)
  return d->state.dc_brush_color;
}
COLORREF SetDCPenColor(HDC dc, COLORREF color) {
  WU_DC_OR(dc, CLR_INVALID)
  return ExchangeColor(&d->state.dc_pen_color, color);
}
COLORREF GetDCPenColor(HDC dc) {
  WU_DC_OR(dc, CLR_INVALID)
  return d->state.dc_pen_color;
}

// Stores a DC mode and returns the previous one; 0 (ERROR_INVALID_PARAMETER)
// and nothing stored for a value outside the mode's range.
static int SwapMode(int* field, int value, bool valid) {
  if (!valid) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  int previous = *field;
  *field = value;
  return previous;
}

int SetBkMode(HDC dc, int mode) {
  WU_DC_OR(dc, 0)
  return SwapMode(&d->state.bk_mode, mode, mode == TRANSPARENT || mode == OPAQUE);
}
int GetBkMode(HDC dc) {
  WU_DC_OR(dc, 0)
  return d->state.bk_mode;
}
int SetROP2(HDC dc, int rop2) {
  WU_DC_OR(dc, 0)
  return SwapMode(&d->state.rop2, rop2, rop2 >= R2_BLACK && rop2 <= R2_WHITE);
}
int GetROP2(HDC dc) {
  WU_DC_OR(dc, 0)
  return d->state.rop2;
}
int SetPolyFillMode(HDC dc, int mode) {
  WU_DC_OR(dc, 0)
  return SwapMode(&d->state.poly_fill, mode, mode == ALTERNATE || mode == WINDING);
}
int GetPolyFillMode(HDC dc) {
  WU_DC_OR(dc, 0)
  return d->state.poly_fill;
}
int SetStretchBltMode(HDC dc, int mode) {
  WU_DC_OR(dc, 0)
  return SwapMode(&d->state.stretch_mode, mode, mode >= BLACKONWHITE && mode <= HALFTONE);
}
int GetStretchBltMode(HDC dc) {
  WU_DC_OR(dc, 0)
  return d->state.stretch_mode;
}
UINT SetTextAlign(HDC dc, UINT align) {
  WU_DC_OR(dc, GDI_ERROR)
  UINT previous = d->state.text_align;
  d->state.text_align = align;
  return previous;
}
UINT GetTextAlign(HDC dc) {
  WU_DC_OR(dc, GDI_ERROR)
  return d->state.text_align;
}
int SetMapMode(HDC dc, int mode) {
  WU_DC_OR(dc, 0)
  if (mode != MM_TEXT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return MM_TEXT;
}
int GetMapMode(HDC dc) {
  WU_DC_OR(dc, 0)
  return MM_TEXT;
}

namespace {

BOOL MovePoint(HDC dc, POINT DcState::*field, int x, int y, bool offset,
               POINT* previous) {
  WU_DC_OR(dc, FALSE)
  POINT& p = d->state.*field;
  if (previous) *previous = p;
  p = offset ? POINT{p.x + x, p.y + y} : POINT{x, y};
  return TRUE;
}

BOOL ReadPoint(HDC dc, POINT DcState::*field, POINT* out) {
  WU_DC_OR(dc, FALSE)
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *out = d->state.*field;
  return TRUE;
}

}  // namespace

BOOL SetBrushOrgEx(HDC dc, int x, int y, POINT* previous) {
  return MovePoint(dc, &DcState::brush_org, x, y, false, previous);
}
BOOL GetBrushOrgEx(HDC dc, POINT* origin) { return ReadPoint(dc, &DcState::brush_org, origin); }
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  return MovePoint(dc, &DcState::viewport_org, x, y, false, previous);
}
BOOL GetViewportOrgEx(HDC dc, POINT* origin) { return ReadPoint(dc, &DcState::viewport_org, origin); }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous) {
  return MovePoint(dc, &DcState::viewport_org, dx, dy, true, previous);
}
BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
  return MovePoint(dc, &DcState::window_org, x, y, false, previous);
}
BOOL GetWindowOrgEx(HDC dc, POINT* origin) { return ReadPoint(dc, &DcState::window_org, origin); }
BOOL OffsetWindowOrgEx(HDC dc, int dx, int dy, POINT* previous) {
  return MovePoint(dc, &DcState::window_org, dx, dy, true, previous);
}

BOOL LPtoDP(HDC dc, POINT* points, int count) {
  WU_DC_OR(dc, FALSE)
  for (int i = 0; points && i < count; ++i) points[i] = ToDevice(*d, points[i].x, points[i].y);
  return TRUE;
}

BOOL DPtoLP(HDC dc, POINT* points, int count) {
  WU_DC_OR(dc, FALSE)
  for (int i = 0; points && i < count; ++i) {
    points[i].x += d->state.window_org.x - d->state.viewport_org.x;
    points[i].y += d->state.window_org.y - d->state.viewport_org.y;
  }
  return TRUE;
}

COLORREF GetNearestColor(HDC dc, COLORREF color) {
  WU_DC_OR(dc, CLR_INVALID)
  color &= 0x00FFFFFF;
  if (Bitmap* s = Surface(*d)) return ColorFromRaw(*s, RawFromColor(*s, color));
  int bits = PrimaryBitsPerPixel();
  if (bits >= 24) return color;
  if (bits == 16 || bits == 15) {
    Bitmap view;
    view.bpp = 16;
    if (bits == 16) {
      view.bitfields = true;
      view.masks[0] = 0xF800;
      view.masks[1] = 0x07E0;
      view.masks[2] = 0x001F;
    }
    return ColorFromRaw(view, RawFromColor(view, color));
  }
  Bitmap view;
  view.bpp = 8;
  for (const PALETTEENTRY& e : std::static_pointer_cast<Palette>(Stock(DEFAULT_PALETTE))->entries)
    view.palette.push_back(RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0});
  return ColorFromRaw(view, RawFromColor(view, color));
}

// ---- Clipping ------------------------------------------------------------------------------
int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
  WU_DC_OR(dc, ERROR)
  if (!region) {
    if (mode != RGN_COPY) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return ERROR;
    }
    d->state.clip.reset();
    return SIMPLEREGION;
  }
  std::shared_ptr<Region> r = FindAs<Region>(region, GdiKind::kRegion);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return ERROR;
  }
  std::vector<RECT> current = CurrentClip(*d);
  switch (mode) {
    case RGN_COPY: return SetClip(*d, r->rects);
    case RGN_AND: return SetClip(*d, RectIntersect(current, r->rects));
    case RGN_OR: return SetClip(*d, RectUnion(current, r->rects));
    case RGN_DIFF: return SetClip(*d, RectSubtract(current, r->rects));
    case RGN_XOR:
      return SetClip(*d, RectUnion(RectSubtract(current, r->rects), RectSubtract(r->rects, current)));
    default: SetLastError(ERROR_INVALID_PARAMETER); return ERROR;
  }
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  WU_DC_OR(dc, ERROR)
  RECT r = ToDevice(*d, RECT{left, top, right, bottom});
  std::vector<RECT> cut = Empty(r) ? std::vector<RECT>() : std::vector<RECT>{r};
  return SetClip(*d, d->state.clip ? RectIntersect(*d->state.clip, cut) : cut);
}

int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom) {
  WU_DC_OR(dc, ERROR)
  RECT r = ToDevice(*d, RECT{left, top, right, bottom});
  if (Empty(r)) return SetClip(*d, CurrentClip(*d));
  return SetClip(*d, RectSubtract(CurrentClip(*d), {r}));
}

int OffsetClipRgn(HDC dc, int dx, int dy) {
  WU_DC_OR(dc, ERROR)
  if (!d->state.clip) return SIMPLEREGION;
  for (RECT& r : *d->state.clip) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
  }
  return SetClip(*d, *d->state.clip);
}

int GetClipBox(HDC dc, RECT* box) {
  WU_DC_OR(dc, ERROR)
  if (!box) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  std::vector<RECT> visible = RectIntersect(CurrentClip(*d), {DeviceBounds(*d)});
  RECT b = BoundingBox(visible);
  int dx = d->state.window_org.x - d->state.viewport_org.x;
  int dy = d->state.window_org.y - d->state.viewport_org.y;
  *box = Empty(b) ? RECT{0, 0, 0, 0} : RECT{b.left + dx, b.top + dy, b.right + dx, b.bottom + dy};
  return RegionType(visible);
}

int GetClipRgn(HDC dc, HRGN region) {
  WU_DC_OR(dc, -1)
  std::shared_ptr<Region> r = FindAs<Region>(region, GdiKind::kRegion);
  if (!r) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (!d->state.clip) return 0;
  r->rects = *d->state.clip;
  return 1;
}

BOOL PtVisible(HDC dc, int x, int y) {
  WU_DC_OR(dc, FALSE)
  POINT p = ToDevice(*d, x, y);
  if (!d->state.clip) return TRUE;
  return Visible(*d, p.x, p.y);
}

BOOL RectVisible(HDC dc, const RECT* rect) {
  WU_DC_OR(dc, FALSE)
  if (!rect) return FALSE;
  RECT r = ToDevice(*d, *rect);
  return RectIntersect(CurrentClip(*d), {r}).empty() ? FALSE : TRUE;
}
