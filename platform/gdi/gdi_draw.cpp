// Lines and shapes: pens along Bresenham lines (end point left out), styled
// one-pixel pens, polygon fills by pixel centres, rectangles and ellipses.
#include <algorithm>
#include <cmath>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform::gdi {

namespace {

// Whether position `pos` along a styled pen is drawn (on) or a gap.
bool StyleOn(int style, int pos) {
  switch (style) {
    case PS_DOT: return pos % 2 == 0;
    case PS_DASH: return pos % 8 < 6;
    case PS_DASHDOT: {
      int p = pos % 11;
      return p < 6 || p == 8;
    }
    case PS_DASHDOTDOT: {
      int p = pos % 14;
      return p < 6 || p == 8 || p == 11;
    }
    default: return true;
  }
}

// Draws one pen position at a device point.
void PenPoint(Dc& dc, Bitmap& s, const Pen& pen, int x, int y, uint32_t ink, uint32_t paper) {
  bool on = StyleOn(pen.style, dc.state.style_pos++);
  if (!on) {
    if (dc.state.bk_mode == OPAQUE && Visible(dc, x, y)) WriteRaw(s, x, y, paper);
    return;
  }
  int w = pen.width;
  if (w <= 1) {
    if (Visible(dc, x, y)) PlotPen(dc, x, y, ink, s);
    return;
  }
  int x0 = x - w / 2, y0 = y - w / 2;
  for (int yy = y0; yy < y0 + w; ++yy)
    for (int xx = x0; xx < x0 + w; ++xx)
      if (Visible(dc, xx, yy)) PlotPen(dc, xx, yy, ink, s);
}

// A line in device coordinates from a to b, b left out.
void DeviceLine(Dc& dc, POINT a, POINT b) {
  Bitmap* s = Surface(dc);
  const Pen& pen = *dc.state.pen;
  if (!s || pen.style == PS_NULL) return;
  uint32_t ink = RawFromColor(*s, PenColor(dc, pen));
  uint32_t paper = RawFromColor(*s, dc.state.bk_color);
  int64_t dx = std::abs(static_cast<int64_t>(b.x) - a.x), dy = -std::abs(static_cast<int64_t>(b.y) - a.y);
  int sx = a.x < b.x ? 1 : -1, sy = a.y < b.y ? 1 : -1;
  int64_t err = dx + dy;
  int x = a.x, y = a.y;
  while (x != b.x || y != b.y) {
    PenPoint(dc, *s, pen, x, y, ink, paper);
    int64_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

// Fills a polygon (device points) with the DC's brush, by pixel centres.
void FillPolygon(Dc& dc, const std::vector<POINT>& pts) {
  const Brush* brush = dc.state.brush.get();
  if (!Surface(dc) || !brush || brush->style == Brush::kNull || pts.size() < 3) return;
  int top = pts[0].y, bottom = pts[0].y;
  for (const POINT& p : pts) {
    top = std::min<int>(top, p.y);
    bottom = std::max<int>(bottom, p.y);
  }
  RECT bounds = Intersect(RECT{-(1 << 30), top, 1 << 30, bottom}, RECT{-(1 << 30), 0, 1 << 30, Surface(dc)->height});
  struct Crossing {
    double x;
    int dir;
  };
  std::vector<Crossing> crossings;
  for (int y = bounds.top; y < bounds.bottom; ++y) {
    double yc = y + 0.5;
    crossings.clear();
    for (size_t i = 0; i < pts.size(); ++i) {
      const POINT& p = pts[i];
      const POINT& q = pts[(i + 1) % pts.size()];
      if (p.y == q.y) continue;
      bool down = p.y < q.y;
      double y0 = down ? p.y : q.y, y1 = down ? q.y : p.y;
      if (yc < y0 || yc >= y1) continue;
      double x = p.x + (yc - p.y) * (static_cast<double>(q.x) - p.x) / (static_cast<double>(q.y) - p.y);
      crossings.push_back(Crossing{x, down ? 1 : -1});
    }
    std::sort(crossings.begin(), crossings.end(),
              [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
    int winding = 0;
    for (size_t i = 0; i + 1 < crossings.size(); ++i) {
      winding += crossings[i].dir;
      bool inside = dc.state.poly_fill == WINDING ? winding != 0 : (i % 2) == 0;
      if (!inside) continue;
      int x0 = static_cast<int>(std::ceil(crossings[i].x - 0.5));
      int x1 = static_cast<int>(std::ceil(crossings[i + 1].x - 0.5));
      if (x0 < x1) PatDevice(dc, RECT{x0, y, x1, y + 1}, brush, PATCOPY);
    }
  }
}

std::vector<POINT> DevicePoints(const Dc& dc, const POINT* points, int count) {
  std::vector<POINT> out;
  for (int i = 0; i < count; ++i) out.push_back(ToDevice(dc, points[i].x, points[i].y));
  return out;
}

}  // namespace

}  // namespace platform::gdi

using namespace platform::gdi;

#define WU_DRAW_DC(dc_handle)                            \
  std::lock_guard<std::recursive_mutex> guard(Lock());   \
  Dc* d = FindDc(dc_handle);                             \
  if (!d) {                                              \
    SetLastError(ERROR_INVALID_HANDLE);                  \
    return FALSE;                                        \
  }

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  WU_DRAW_DC(dc)
  if (previous) *previous = d->state.position;
  d->state.position = POINT{x, y};
  d->state.style_pos = 0;
  return TRUE;
}

BOOL GetCurrentPositionEx(HDC dc, POINT* position) {
  WU_DRAW_DC(dc)
  if (!position) return FALSE;
  *position = d->state.position;
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  WU_DRAW_DC(dc)
  DeviceLine(*d, ToDevice(*d, d->state.position.x, d->state.position.y), ToDevice(*d, x, y));
  d->state.position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC dc, const POINT* points, int count) {
  WU_DRAW_DC(dc)
  if (!points || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<POINT> p = DevicePoints(*d, points, count);
  d->state.style_pos = 0;
  for (int i = 0; i + 1 < count; ++i) DeviceLine(*d, p[i], p[i + 1]);
  return TRUE;
}

BOOL PolylineTo(HDC dc, const POINT* points, int count) {
  WU_DRAW_DC(dc)
  if (!points || count < 1) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  POINT from = ToDevice(*d, d->state.position.x, d->state.position.y);
  for (int i = 0; i < count; ++i) {
    POINT to = ToDevice(*d, points[i].x, points[i].y);
    DeviceLine(*d, from, to);
    from = to;
  }
  d->state.position = points[count - 1];
  return TRUE;
}

BOOL Polygon(HDC dc, const POINT* points, int count) {
  WU_DRAW_DC(dc)
  if (!points || count < 2) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<POINT> p = DevicePoints(*d, points, count);
  FillPolygon(*d, p);
  d->state.style_pos = 0;
  for (int i = 0; i < count; ++i) DeviceLine(*d, p[i], p[(i + 1) % count]);
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  WU_DRAW_DC(dc)
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  RECT r = ToDevice(*d, RECT{left, top, right, bottom});
  if (Empty(r)) return TRUE;
  const Brush* brush = d->state.brush.get();
  if (d->state.pen->style == PS_NULL) {
    PatDevice(*d, r, brush, PATCOPY);
    return TRUE;
  }
  PatDevice(*d, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush, PATCOPY);
  POINT corners[4] = {{r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1},
                      {r.left, r.bottom - 1}};
  d->state.style_pos = 0;
  if (r.right - r.left == 1 && r.bottom - r.top == 1) {
    DeviceLine(*d, corners[0], POINT{r.right, r.top});  // a single pixel
    return TRUE;
  }
  for (int i = 0; i < 4; ++i) DeviceLine(*d, corners[i], corners[(i + 1) % 4]);
  return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  WU_DRAW_DC(dc)
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  RECT r = ToDevice(*d, RECT{left, top, right, bottom});
  Bitmap* s = Surface(*d);
  if (!s || Empty(r)) return TRUE;
  double cx = (r.left + r.right) / 2.0, cy = (r.top + r.bottom) / 2.0;
  double a = (r.right - r.left) / 2.0, b = (r.bottom - r.top) / 2.0;
  auto inside = [&](int x, int y) {
    if (x < r.left || x >= r.right || y < r.top || y >= r.bottom) return false;
    double u = (x + 0.5 - cx) / a, v = (y + 0.5 - cy) / b;
    return u * u + v * v <= 1.0;
  };
  const Pen& pen = *d->state.pen;
  bool outline = pen.style != PS_NULL;
  uint32_t ink = RawFromColor(*s, PenColor(*d, pen));
  const Brush* brush = d->state.brush.get();
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      if (!inside(x, y)) continue;
      bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      if (edge && outline) {
        if (Visible(*d, x, y)) PlotPen(*d, x, y, ink, *s);
      } else {
        PatDevice(*d, RECT{x, y, x + 1, y + 1}, brush, PATCOPY);
      }
    }
  return TRUE;
}
