// ImageList_DrawEx: an image drawn over a background colour, or a part of it.
#include "platform/comctl/commctrl.h"

#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"

BOOL ImageList_DrawEx(HIMAGELIST list, int index, HDC dc, int x, int y, int dx, int dy,
                      COLORREF bk, COLORREF fg, UINT style) {
  (void)fg;
  int cx = 0, cy = 0;
  if (!ImageList_GetIconSize(list, &cx, &cy)) return FALSE;
  if (index < 0 || index >= ImageList_GetImageCount(list) || !dc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  int width = dx > 0 ? dx : cx;
  int height = dy > 0 ? dy : cy;
  int saved = SaveDC(dc);
  if (!saved) return FALSE;
  IntersectClipRect(dc, x, y, x + width, y + height);
  bool masked_style = (style & (ILD_TRANSPARENT | ILD_MASK)) != 0;
  if (!masked_style && bk != CLR_NONE && bk != CLR_DEFAULT) {
    // The background under the transparent pixels.
    RECT r{x, y, x + (width < cx ? width : cx), y + (height < cy ? height : cy)};
    SetBkColor(dc, bk);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  }
  BOOL ok = ImageList_Draw(list, index, dc, x, y, style);
  RestoreDC(dc, saved);
  return ok;
}
