// UI bitmap helpers and the marker shape.
#include "foundation/WuUIBitmap.h"

#include <cstring>

#include "foundation/WuLang.h"
#include "foundation/WuResMenu.h"
#include "foundation/WuStatus.h"
#include "foundation/WuUIColor.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"

namespace {

constexpr DWORD kRopPaintMask = 0x00E20746;  // D ^ (S & (P ^ D)): the brush where the source is 1
constexpr int kUIPaletteSlots = 16;          // colour-table entries a UI bitmap must carry
constexpr int kFaceColorId = 15;             // UI colour of a marker's inner rectangle

// A resource found through the language handle: the localised copy in the
// language resource module first, then the owner module; without a handle,
// the main program.
struct FoundResource {
  HMODULE module;   // module that holds it
  HRSRC resource;   // the resource, NULL when missing
};

FoundResource FindLangResource(HWULANG lang, LPCWSTR name, LPCWSTR type) {
  if (!lang) return {nullptr, FindResourceW(nullptr, name, type)};
  HRSRC res = WuFindResource(lang, name, type);
  return {res ? WuFindResInstance(lang, name, type) : nullptr, res};
}

// The bytes of a resource, NULL (size 0) when missing or empty.
const BYTE* LoadLangResource(HWULANG lang, LPCWSTR name, LPCWSTR type, DWORD* size) {
  *size = 0;
  FoundResource found = FindLangResource(lang, name, type);
  if (!found.resource) return nullptr;
  HGLOBAL data = LoadResource(found.module, found.resource);
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(data));
  *size = bytes ? SizeofResource(found.module, found.resource) : 0;
  return *size ? bytes : nullptr;
}

RGBQUAD Quad(COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; }

// Bytes of the pixel rows of a bottom-up or top-down DIB.
uint64_t RowBytes(const BITMAPINFOHEADER& h) {
  uint64_t stride = (static_cast<uint64_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  uint64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
  return stride * rows;
}

COLORREF Scale(COLORREF c, int mul, int add) {
  return RGB(static_cast<BYTE>((GetRValue(c) * mul + add) / 3),
             static_cast<BYTE>((GetGValue(c) * mul + add) / 3),
             static_cast<BYTE>((GetBValue(c) * mul + add) / 3));
}

}  // namespace

HBITMAP WuLoadUIBitmapEx(HWULANG lang, LPCWSTR name, COLORREF c0, COLORREF c7, COLORREF c8,
                         COLORREF c15, COLORREF c11, COLORREF c10) {
  DWORD size = 0;
  const BYTE* bytes = LoadLangResource(lang, name, RT_BITMAP, &size);
  if (!bytes || size < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFOHEADER h;
  std::memcpy(&h, bytes, sizeof(h));
  if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biBitCount == 0 || h.biBitCount > 8 || h.biCompression != BI_RGB)
    return nullptr;
  // The six replaced entries must exist, and the rows follow the whole table.
  const uint64_t colors = h.biClrUsed ? h.biClrUsed : (1u << h.biBitCount);
  if (colors < kUIPaletteSlots || colors > (1u << h.biBitCount)) return nullptr;
  const uint64_t bitsOffset = sizeof(BITMAPINFOHEADER) + colors * sizeof(RGBQUAD);
  if (bitsOffset + RowBytes(h) > size) return nullptr;

  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return nullptr;
  BYTE* p = static_cast<BYTE*>(GlobalLock(copy));
  HBITMAP bitmap = nullptr;
  if (p) {
    std::memcpy(p, bytes, size);
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(p + sizeof(BITMAPINFOHEADER));
    const int slots[6] = {0, 7, 8, 15, 11, 10};
    const COLORREF values[6] = {c0, c7, c8, c15, c11, c10};
    for (int i = 0; i < 6; ++i) table[slots[i]] = Quad(values[i]);
    HDC screen = GetDC(nullptr);
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(p);
    bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, p + bitsOffset, info,
                            DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    GlobalUnlock(copy);
  }
  GlobalFree(copy);
  return bitmap;
}

BOOL WuBitmapColorTranslate(HDC dc, const BITMAP* bitmap, COLORREF color) {
  if (!dc || !bitmap || (bitmap->bmPlanes == 1 && bitmap->bmBitsPixel == 1)) return TRUE;
  const COLORREF background = GetPixel(dc, 0, 0);
  if (background == CLR_INVALID || background == color) return TRUE;
  const int w = bitmap->bmWidth, h = bitmap->bmHeight;
  HDC maskDc = CreateCompatibleDC(dc);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
  HBRUSH brush = CreateSolidBrush(color);
  if (maskDc && mask && brush) {
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    COLORREF oldBk = SetBkColor(dc, background);
    BitBlt(maskDc, 0, 0, w, h, dc, 0, 0, SRCCOPY);  // 1 where the background was
    SetBkColor(dc, RGB(255, 255, 255));
    COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    BitBlt(dc, 0, 0, w, h, maskDc, 0, 0, kRopPaintMask);
    SelectObject(dc, oldBrush);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBk);
    SelectObject(maskDc, oldMask);
  }
  if (brush) DeleteObject(brush);
  if (mask) DeleteObject(mask);
  if (maskDc) DeleteDC(maskDc);
  return TRUE;
}

HBITMAP WuCreateBitmapMask(HDC dc, HBITMAP bitmap, COLORREF key) {
  BITMAP bm;
  if (!bitmap || GetObjectW(bitmap, sizeof(bm), &bm) == 0) return nullptr;
  HDC screen = dc ? dc : GetDC(nullptr);
  HDC bitmapDc = CreateCompatibleDC(screen);
  HDC copyDc = CreateCompatibleDC(screen);
  HDC maskDc = CreateCompatibleDC(screen);
  HBITMAP copy = CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight);
  HBITMAP mask = CreateBitmap(bm.bmWidth, bm.bmHeight, 1, 1, nullptr);
  bool done = false;
  if (bitmapDc && copyDc && maskDc && copy && mask) {
    HGDIOBJ oldBitmap = SelectObject(bitmapDc, bitmap);
    HGDIOBJ oldCopy = SelectObject(copyDc, copy);
    HGDIOBJ oldMask = SelectObject(maskDc, mask);
    if (oldBitmap && oldCopy && oldMask) {
      BitBlt(copyDc, 0, 0, bm.bmWidth, bm.bmHeight, bitmapDc, 0, 0, SRCCOPY);
      SetBkColor(copyDc, key);
      BitBlt(maskDc, 0, 0, bm.bmWidth, bm.bmHeight, copyDc, 0, 0, SRCCOPY);
      // The mask's 1 bits show as black, its 0 bits as white: AND blackens the key.
      SetBkColor(copyDc, RGB(0, 0, 0));
      SetTextColor(copyDc, RGB(255, 255, 255));
      BitBlt(copyDc, 0, 0, bm.bmWidth, bm.bmHeight, maskDc, 0, 0, SRCAND);
      BitBlt(bitmapDc, 0, 0, bm.bmWidth, bm.bmHeight, copyDc, 0, 0, SRCCOPY);
      done = true;
    }
    if (oldBitmap) SelectObject(bitmapDc, oldBitmap);
    if (oldCopy) SelectObject(copyDc, oldCopy);
    if (oldMask) SelectObject(maskDc, oldMask);
  }
  if (copy) DeleteObject(copy);
  if (maskDc) DeleteDC(maskDc);
  if (copyDc) DeleteDC(copyDc);
  if (bitmapDc) DeleteDC(bitmapDc);
  if (!dc) ReleaseDC(nullptr, screen);
  if (!done && mask) {
    DeleteObject(mask);
    mask = nullptr;
  }
  return mask;
}

HRESULT WuExtractResourceToFile(HWULANG lang, LPCWSTR name, LPCWSTR type, LPCWSTR path) {
  FoundResource found = FindLangResource(lang, name, type);
  if (!found.resource) return WU_E_NOT_FOUND;
  HGLOBAL data = LoadResource(found.module, found.resource);
  const void* bytes = LockResource(data);
  const DWORD size = bytes ? SizeofResource(found.module, found.resource) : 0;
  if (!bytes || size == 0) return E_UNEXPECTED;
  // A file that is there is replaced whole, keeping its permission bits
  // (through a link at the name, the file it names): a write that fails
  // part-way leaves it as it was.
  if (platform::WriteFileReplacing(path, bytes, size, true, u"res")) return S_OK;
  // Only the bytes failing to go to the disk are a write failure; a file
  // that cannot be made or put in its place is one that cannot be opened.
  switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_ENOUGH_MEMORY:
      return WU_E_WRITE;
    default:
      return WU_E_OPEN_FILE;
  }
}

int WuMarker_Create(HDC dc, const RECT* rect, int type, COLORREF color, int pointHeight) {
  if (!dc || !rect) return 0;
  const int left = rect->left, top = rect->top;
  const int w = rect->right - rect->left, h = rect->bottom - rect->top;
  int f = h - pointHeight;
  if (f < 0) f = 0;
  if (f > w) f = w;
  const int b = w < h - 1 ? w : h - 1;
  const int R = left + b - 1, B = top + h - 1;
  const bool partial = f > 0 && f < b;

  POINT pts[6];
  int n = 0;
  switch (type) {
    case 1:
    case 5:
      pts[n++] = {left, top + h - f};
      pts[n++] = {left, top};
      pts[n++] = {R, top};
      pts[n++] = {R, B};
      if (partial) pts[n++] = {left + b - f, top + h - f};
      pts[n++] = {left, top + h - f};
      break;
    case 2:
    case 6:
      pts[n++] = {left, B};
      pts[n++] = {left, top};
      pts[n++] = {R, top + f - 1};
      pts[n++] = {R, B};
      pts[n++] = {left, B};
      break;
    case 3:
    case 7:
      pts[n++] = {left, B};
      pts[n++] = {left, top + f - 1};
      pts[n++] = {R, top};
      pts[n++] = {R, B};
      pts[n++] = {left, B};
      break;
    default:
      pts[n++] = {left, B};
      pts[n++] = {left, top};
      pts[n++] = {R, top};
      pts[n++] = {R, B - f + 1};
      if (partial) pts[n++] = {left + f - 1, B - f + 1};
      pts[n++] = {left, B};
      break;
  }

  HBRUSH brush = CreateSolidBrush(color);
  HPEN outline = CreatePen(PS_SOLID, 1, Scale(color, 2, 0));
  HPEN highlight = CreatePen(PS_SOLID, 1, Scale(color, 2, 255));
  if (brush && outline && highlight) {
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    Polygon(dc, pts, n);
    SelectObject(dc, highlight);
    MoveToEx(dc, pts[2].x, pts[2].y, nullptr);
    LineTo(dc, pts[1].x, pts[1].y);
    LineTo(dc, pts[0].x, pts[0].y);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    if (type >= 4 && type <= 7) {
      RECT inner = {left + 2, top + 2, R - 1, B - 1};
      if (type == 4 || type == 5) inner.bottom = B - f;
      if (type == 6 || type == 7) inner.top = top + f + 1;
      if (inner.right > inner.left && inner.bottom > inner.top) {
        HBRUSH face = CreateSolidBrush(WuGetUIColor(kFaceColorId));
        if (face) {
          FillRect(dc, &inner, face);
          DeleteObject(face);
        }
      }
    }
  }
  if (highlight) DeleteObject(highlight);
  if (outline) DeleteObject(outline);
  if (brush) DeleteObject(brush);
  return 0;
}

void WuFillRectWithBkColor(HDC dc, const RECT* rect) {
  if (dc && rect) ExtTextOutW(dc, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
}
