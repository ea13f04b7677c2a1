// The package banner: loaded once from the package's PNG (or the built-in
// one) into a DIB section, and painted with the page heading at the top of
// each wizard page.
#include <cstring>

#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "Sfx/SfxWizard.h"
#include "foundation/WuLang.h"
#include "imaging/WuDib.h"
#include "imaging/WuPngRead.h"

namespace {

constexpr int kBannerTop = 11;          // the banner's top edge in the client area
constexpr int kHeadingTop = 31;         // the heading's top below the banner
constexpr int kHeadingBottom = 51;      // and its bottom
constexpr int kHeadingHeight = 12;      // heading font: cell height
constexpr int kHeadingWeight = 700;     // bold
constexpr BYTE kHeadingCharSet = 1;     // the default character set

// Bytes of a BI_RGB DIB's rows.
DWORD RowBytes(const BITMAPINFOHEADER* h) {
  ULONGLONG stride = (static_cast<ULONGLONG>(h->biWidth) * h->biBitCount + 31) / 32 * 4;
  ULONGLONG height = h->biHeight < 0 ? -static_cast<LONGLONG>(h->biHeight) : h->biHeight;
  ULONGLONG bytes = stride * height;
  return bytes > 0xFFFFFFFFULL ? 0xFFFFFFFFu : static_cast<DWORD>(bytes);
}

// Turns a loaded bitmap block into the run's banner section.
HRESULT KeepAsBanner(BITMAPINFOHEADER* dib) {
  // The rows follow the header and its palette or masks: found before the
  // compression is changed, so masks are never taken for pixels.
  const BYTE* rows = WuDibGetBits(dib);
  DWORD available = dib->biSizeImage;
  dib->biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  void* bits = nullptr;
  HBITMAP section =
      CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(dib), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (screen) ReleaseDC(nullptr, screen);
  if (!section || !bits) {
    if (section) DeleteObject(section);
    return E_FAIL;
  }
  DWORD bytes = RowBytes(dib);
  if (available && available < bytes) bytes = available;
  std::memcpy(bits, rows, bytes);
  if (g_SfxRunState.banner) DeleteObject(g_SfxRunState.banner);
  g_SfxRunState.banner = section;
  g_SfxRunState.bannerWidth = dib->biWidth;
  g_SfxRunState.bannerHeight = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
  return S_OK;
}

}  // namespace

HRESULT SfxLoadBanner(LPCWSTR path) {
  BITMAPINFOHEADER* dib = nullptr;
  if (path && *path) dib = WuLoadPngDib(path);
  if (!dib) {
    HRESULT hr = WuLoadPngDib(g_SfxRunState.lang, MAKEINTRESOURCEW(SFX_IDR_BANNER), &dib);
    if (FAILED(hr)) return hr;
    if (!dib) return S_OK;  // no banner: the pages show none
  }
  HRESULT hr = KeepAsBanner(dib);
  WuDibFree(dib, 0);
  return hr;
}

void SfxPaintBanner(HWND window, HDC dc) {
  if (!g_SfxRunState.banner || !dc) return;
  RECT client{};
  GetClientRect(window, &client);
  int x = (client.right - client.left) - g_SfxRunState.bannerWidth;
  if (x > 40)
    x = 20;
  else if (x <= 0)
    x = 0;
  else
    x /= 2;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return;
  HGDIOBJ old = SelectObject(memory, g_SfxRunState.banner);
  BitBlt(dc, x, kBannerTop, g_SfxRunState.bannerWidth, g_SfxRunState.bannerHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

void SfxPaintHeading(HWND window, HDC dc, UINT textId, int controlId) {
  if (!dc) return;
  RECT control{};
  HWND item = GetDlgItem(window, controlId);
  if (!item || !GetWindowRect(item, &control)) return;
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control), 2);
  RECT rect{control.left, g_SfxRunState.bannerHeight + kHeadingTop, control.right,
            g_SfxRunState.bannerHeight + kHeadingBottom};
  int oldMode = SetBkMode(dc, TRANSPARENT);
  HFONT font = CreateFontW(kHeadingHeight, 0, 0, 0, kHeadingWeight, 0, 0, 0, kHeadingCharSet, 0, 0, 0, 0,
                           g_SfxRunState.titleFont);
  HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
  COLORREF oldColor = SetTextColor(dc, g_SfxRunState.titleColor);
  DrawTextW(dc, WuGetString(g_SfxRunState.lang, textId), -1, &rect, DT_SINGLELINE | DT_VCENTER);
  SetTextColor(dc, oldColor);
  if (oldFont) SelectObject(dc, oldFont);
  if (font) DeleteObject(font);
  SetBkMode(dc, oldMode);
}
