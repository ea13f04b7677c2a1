// ImageList_DrawIndirect: an image drawn from an IMAGELISTDRAWPARAMS record,
// either as ImageList_DrawEx draws it or, with ILD_ROP, blitted with the
// record's raster operation.
#include "platform/comctl/commctrl.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"

namespace {

// Draws the image (or, with ILD_MASK, its mask: black image, white
// transparent pixels) into a 32-bit bitmap of its own and blits it to the
// destination with `rop`. The colour image has black under its
// transparent pixels.
BOOL DrawWithRop(const IMAGELISTDRAWPARAMS& p, int cx, int cy) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = -cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP image = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!image) return FALSE;
  HDC memory = CreateCompatibleDC(p.hdcDst);
  if (!memory) {
    DeleteObject(image);
    return FALSE;
  }
  HGDIOBJ old = SelectObject(memory, image);
  BOOL ok = ImageList_Draw(p.himl, p.i, memory, 0, 0, p.fStyle & ILD_MASK);
  int width = p.cx > 0 ? p.cx : cx;
  int height = p.cy > 0 ? p.cy : cy;
  if (ok) ok = BitBlt(p.hdcDst, p.x, p.y, width, height, memory, p.xBitmap, p.yBitmap, p.dwRop);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(image);
  return ok;
}

}  // namespace

BOOL ImageList_DrawIndirect(IMAGELISTDRAWPARAMS* params) {
  if (!params || params->cbSize < sizeof(IMAGELISTDRAWPARAMS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const IMAGELISTDRAWPARAMS& p = *params;
  int cx = 0, cy = 0;
  if (!ImageList_GetIconSize(p.himl, &cx, &cy)) return FALSE;
  if (p.i < 0 || p.i >= ImageList_GetImageCount(p.himl) || !p.hdcDst || p.xBitmap < 0 ||
      p.yBitmap < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (p.fStyle & ILD_ROP) return DrawWithRop(p, cx, cy);
  // Without a raster operation only the image's own origin can be drawn.
  if (p.xBitmap || p.yBitmap) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return ImageList_DrawEx(p.himl, p.i, p.hdcDst, p.x, p.y, p.cx, p.cy, p.rgbBk, p.rgbFg,
                          p.fStyle & ~ILD_ROP);
}

BOOL ImageList_GetImageInfo(HIMAGELIST list, int index, IMAGEINFO* info) {
  int cx = 0, cy = 0;
  if (!ImageList_GetIconSize(list, &cx, &cy)) return FALSE;
  if (!info || index < 0 || index >= ImageList_GetImageCount(list)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *info = IMAGEINFO{};
  info->rcImage = RECT{index * cx, 0, (index + 1) * cx, cy};
  return TRUE;
}
