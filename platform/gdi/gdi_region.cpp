// Regions as sets of disjoint rectangles, the region calls, and the
// rectangle helpers.
#include "platform/kernel/error.h"
#include "platform/gdi/gdi_internal.h"

namespace platform::gdi {

bool Empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  if (Empty(r)) return RECT{0, 0, 0, 0};
  return r;
}

std::vector<RECT> RectIntersect(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  std::vector<RECT> out;
  for (const RECT& x : a)
    for (const RECT& y : b) {
      RECT r = Intersect(x, y);
      if (!Empty(r)) out.push_back(r);
    }
  return out;
}

namespace {

// The parts of `r` outside `cut` (at most four rectangles).
void SubtractOne(const RECT& r, const RECT& cut, std::vector<RECT>* out) {
  RECT i = Intersect(r, cut);
  if (Empty(i)) {
    out->push_back(r);
    return;
  }
  if (r.top < i.top) out->push_back(RECT{r.left, r.top, r.right, i.top});
  if (i.bottom < r.bottom) out->push_back(RECT{r.left, i.bottom, r.right, r.bottom});
  if (r.left < i.left) out->push_back(RECT{r.left, i.top, i.left, i.bottom});
  if (i.right < r.right) out->push_back(RECT{i.right, i.top, r.right, i.bottom});
}

int64_t Area(const std::vector<RECT>& rects) {
  int64_t n = 0;
  for (const RECT& r : rects) n += static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
  return n;
}

}  // namespace

std::vector<RECT> RectSubtract(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  std::vector<RECT> current = a;
  for (const RECT& cut : b) {
    std::vector<RECT> next;
    for (const RECT& r : current) SubtractOne(r, cut, &next);
    current.swap(next);
  }
  return current;
}

std::vector<RECT> RectUnion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
  std::vector<RECT> out = a;
  for (const RECT& r : RectSubtract(b, a)) out.push_back(r);
  return out;
}

RECT BoundingBox(const std::vector<RECT>& rects) {
  if (rects.empty()) return RECT{0, 0, 0, 0};
  RECT box = rects[0];
  for (const RECT& r : rects) {
    if (r.left < box.left) box.left = r.left;
    if (r.top < box.top) box.top = r.top;
    if (r.right > box.right) box.right = r.right;
    if (r.bottom > box.bottom) box.bottom = r.bottom;
  }
  return box;
}

int RegionType(const std::vector<RECT>& rects) {
  if (rects.empty()) return NULLREGION;
  // Disjoint pieces that fill their bounding box make one rectangle.
  return Area(rects) == Area({BoundingBox(rects)}) ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace platform::gdi

using platform::GdiKind;
using namespace platform::gdi;

namespace {

std::vector<RECT> OneRect(int left, int top, int right, int bottom) {
  RECT r{left < right ? left : right, top < bottom ? top : bottom, left < right ? right : left,
         top < bottom ? bottom : top};
  return Empty(r) ? std::vector<RECT>() : std::vector<RECT>{r};
}

std::shared_ptr<Region> FindRegion(HRGN region) {
  std::shared_ptr<Region> r = FindAs<Region>(region, GdiKind::kRegion);
  if (!r) SetLastError(ERROR_INVALID_HANDLE);
  return r;
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto r = std::make_shared<Region>();
  r->rects = OneRect(left, top, right, bottom);
  std::lock_guard<std::recursive_mutex> guard(Lock());
  return reinterpret_cast<HRGN>(Insert(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> r = FindRegion(region);
  if (!r) return FALSE;
  r->rects = OneRect(left, top, right, bottom);
  return TRUE;
}

int CombineRgn(HRGN dest, HRGN a, HRGN b, int mode) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> d = FindRegion(dest);
  std::shared_ptr<Region> ra = FindRegion(a);
  std::shared_ptr<Region> rb = mode == RGN_COPY ? ra : FindRegion(b);
  if (!d || !ra || !rb) return ERROR;
  switch (mode) {
    case RGN_COPY: d->rects = ra->rects; break;
    case RGN_AND: d->rects = RectIntersect(ra->rects, rb->rects); break;
    case RGN_OR: d->rects = RectUnion(ra->rects, rb->rects); break;
    case RGN_DIFF: d->rects = RectSubtract(ra->rects, rb->rects); break;
    case RGN_XOR:
      d->rects = RectUnion(RectSubtract(ra->rects, rb->rects), RectSubtract(rb->rects, ra->rects));
      break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return ERROR;
  }
  return RegionType(d->rects);
}

int OffsetRgn(HRGN region, int dx, int dy) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> r = FindRegion(region);
  if (!r) return ERROR;
  for (RECT& x : r->rects) {
    x.left += dx;
    x.right += dx;
    x.top += dy;
    x.bottom += dy;
  }
  return RegionType(r->rects);
}

int GetRgnBox(HRGN region, RECT* box) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> r = FindRegion(region);
  if (!r || !box) return ERROR;
  *box = BoundingBox(r->rects);
  return RegionType(r->rects);
}

BOOL PtInRegion(HRGN region, int x, int y) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> r = FindRegion(region);
  if (!r) return FALSE;
  for (const RECT& p : r->rects)
    if (x >= p.left && x < p.right && y >= p.top && y < p.bottom) return TRUE;
  return FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> r = FindRegion(region);
  if (!r || !rect) return FALSE;
  return RectIntersect(r->rects, OneRect(rect->left, rect->top, rect->right, rect->bottom)).empty()
             ? FALSE
             : TRUE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
  std::lock_guard<std::recursive_mutex> guard(Lock());
  std::shared_ptr<Region> ra = FindRegion(a);
  std::shared_ptr<Region> rb = FindRegion(b);
  if (!ra || !rb) return FALSE;
  return RectSubtract(ra->rects, rb->rects).empty() && RectSubtract(rb->rects, ra->rects).empty();
}

// ---- Rectangles ------------------------------------------------------------------------------
BOOL SetRect(RECT* rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT* dest, const RECT* src) {
  if (!dest || !src) return FALSE;
  *dest = *src;
  return TRUE;
}

namespace {

// 32-bit two's complement, as the rectangle calls behave on their own
// platform: a result past the limits wraps instead of overflowing.
LONG WrapAdd(LONG a, int b) {
  return static_cast<LONG>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
LONG WrapSub(LONG a, int b) {
  return static_cast<LONG>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

}  // namespace

BOOL InflateRect(RECT* rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left = WrapSub(rect->left, dx);
  rect->right = WrapAdd(rect->right, dx);
  rect->top = WrapSub(rect->top, dy);
  rect->bottom = WrapAdd(rect->bottom, dy);
  return TRUE;
}

BOOL OffsetRect(RECT* rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left = WrapAdd(rect->left, dx);
  rect->right = WrapAdd(rect->right, dx);
  rect->top = WrapAdd(rect->top, dy);
  rect->bottom = WrapAdd(rect->bottom, dy);
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || Empty(*rect); }

BOOL PtInRect(const RECT* rect, POINT point) {
  return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
         point.y < rect->bottom;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right &&
         a->bottom == b->bottom;
}

BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest) return FALSE;
  if (!a || !b) {
    *dest = RECT{0, 0, 0, 0};
    return FALSE;
  }
  *dest = Intersect(*a, *b);
  return !Empty(*dest);
}

BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  if (Empty(*a)) {
    *dest = Empty(*b) ? RECT{0, 0, 0, 0} : *b;
  } else if (Empty(*b)) {
    *dest = *a;
  } else {
    *dest = BoundingBox({*a, *b});
  }
  return !Empty(*dest);
}

BOOL SubtractRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  // Only a cut that spans a whole side shrinks the rectangle.
  std::vector<RECT> rest = RectSubtract({*a}, {*b});
  if (rest.size() == 1) {
    *dest = rest[0];
  } else if (rest.empty()) {
    *dest = RECT{0, 0, 0, 0};
  } else {
    *dest = *a;
  }
  return !Empty(*dest);
}
