#include "tests/shellui/MenuPopupRoutine.h"

#include <algorithm>
#include <cstring>

#include "imaging/WuPngWrite.h"
#include "platform/kernel/locale.h"

namespace wutest {

namespace {

constexpr int kBorder = 3;  // frame around the items

}  // namespace

std::vector<PopupItem> ReadItems(HMENU menu) {
  std::vector<PopupItem> items;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    WCHAR text[1024] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_DATA | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 1024;
    PopupItem item;
    if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) {
      item.id = info.wID;
      item.type = info.fType;
      item.state = info.fState;
      item.data = info.dwItemData;
      item.text = text;
    }
    items.push_back(item);
  }
  return items;
}

PopupView PlayPopup(HWND window, HMENU popup, const PopupOptions& options) {
  PopupView view;
  LPARAM where = MAKELPARAM(options.position, options.window_menu ? 1 : 0);
  SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), where);
  view.items = ReadItems(popup);

  // Measure: owner-drawn items ask the window, the others are sized here.
  HDC screen = GetDC(nullptr);
  std::vector<SIZE> sizes;
  for (const PopupItem& item : view.items) {
    SIZE size{0, 0};
    if (item.type & MFT_OWNERDRAW) {
      MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, 0, item.data};
      SendMessageW(window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
      // As the system does, the owner-drawn width gets room for a check mark.
      size = SIZE{static_cast<LONG>(measure.itemWidth) + GetSystemMetrics(SM_CXMENUCHECK) - 1,
                  static_cast<LONG>(measure.itemHeight)};
    } else if (item.type & MFT_SEPARATOR) {
      size = SIZE{0, GetSystemMetrics(SM_CYMENU) / 2};
    } else {
      GetTextExtentPoint32W(screen, item.text.c_str(), static_cast<int>(item.text.size()), &size);
      size.cx += 32;
      size.cy = std::max<LONG>(size.cy, GetSystemMetrics(SM_CYMENU));
    }
    sizes.push_back(size);
  }
  ReleaseDC(nullptr, screen);

  // Columns start at the breaks; a column is as wide as its widest item.
  std::vector<int> widths(1, 0);
  std::vector<int> heights(1, 0);
  for (size_t i = 0; i < view.items.size(); ++i) {
    if (i > 0 && (view.items[i].type & (MFT_MENUBREAK | MFT_MENUBARBREAK))) {
      widths.push_back(0);
      heights.push_back(0);
    }
    view.items[i].column = static_cast<int>(widths.size()) - 1;
    widths.back() = std::max(widths.back(), static_cast<int>(sizes[i].cx));
    heights.back() += sizes[i].cy;
  }
  int total_width = 2 * kBorder;
  for (int w : widths) total_width += w;
  int total_height = 2 * kBorder + *std::max_element(heights.begin(), heights.end());
  std::vector<int> lefts(widths.size(), kBorder);
  for (size_t c = 1; c < widths.size(); ++c) lefts[c] = lefts[c - 1] + widths[c - 1];
  std::vector<int> tops(widths.size(), kBorder);
  for (size_t i = 0; i < view.items.size(); ++i) {
    PopupItem& item = view.items[i];
    int c = item.column;
    item.rect = RECT{lefts[c], tops[c], lefts[c] + widths[c], tops[c] + sizes[i].cy};
    tops[c] += sizes[i].cy;
  }

  // Draw: the frame and plain items here, owner-drawn items by the window.
  view.canvas = std::make_unique<Canvas>(std::max(total_width, 1), std::max(total_height, 1));
  HDC dc = view.canvas->dc();
  RECT all{0, 0, total_width, total_height};
  FillRect(dc, &all, GetSysColorBrush(COLOR_MENU));
  DrawEdge(dc, &all, EDGE_RAISED, BF_RECT);
  for (size_t i = 0; i < view.items.size(); ++i) {
    const PopupItem& item = view.items[i];
    UINT state = 0;
    if (item.state & MFS_GRAYED) state |= ODS_GRAYED;
    if (item.state & MFS_CHECKED) state |= ODS_CHECKED;
    if (item.state & MFS_DEFAULT) state |= ODS_DEFAULT;
    if (static_cast<int>(i) == options.selected) state |= ODS_SELECTED;
    if (item.type & MFT_OWNERDRAW) {
      DRAWITEMSTRUCT draw{ODT_MENU, 0, item.id, ODA_DRAWENTIRE, state,
                          reinterpret_cast<HWND>(popup), dc, item.rect, item.data};
      SendMessageW(window, WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    } else if (!(item.type & MFT_SEPARATOR)) {
      RECT r = item.rect;
      r.left += 16;
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, item.text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER);
    }
  }
  if (options.while_open) options.while_open(view);
  SendMessageW(window, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
               MAKELPARAM(0, options.window_menu ? MF_SYSMENU : 0));
  return view;
}

bool SaveCanvasPng(const Canvas& canvas, const std::string& path) {
  const int width = canvas.width();
  const int height = canvas.height();
  // The file takes the rows bottom first, with an opaque alpha.
  std::vector<uint32_t> rows_up(static_cast<size_t>(width) * static_cast<size_t>(height));
  const auto* top_down = static_cast<const uint32_t*>(canvas.bits());
  for (int r = 0; r < height; ++r)
    std::memcpy(&rows_up[static_cast<size_t>(height - 1 - r) * static_cast<size_t>(width)],
                top_down + static_cast<size_t>(r) * static_cast<size_t>(width),
                static_cast<size_t>(width) * 4);
  for (uint32_t& pixel : rows_up) pixel |= 0xFF000000u;
  WUPNGFILEOPTIONS options{28, 0};
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::u16string wide = platform::ToUtf16(path);
  return WuSaveDiskPngDib(wide.c_str(), &header, rows_up.data(), &options) == S_OK;
}

}  // namespace wutest
