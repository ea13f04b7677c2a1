// Plays the system's part when a pop-up menu opens, since this platform
// shows no menus: WM_INITMENUPOPUP, WM_MEASUREITEM for each owner-drawn
// item (the width widened by the check-mark room, as the system does),
// columns at the breaks, WM_DRAWITEM into a memory bitmap, then
// WM_UNINITMENUPOPUP.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/user/windows.h"
#include "tests/shellui/TestCanvas.h"

namespace wutest {

// An item as the open pop-up has it.
struct PopupItem {
  UINT id = 0;              // command id
  UINT type = 0;            // MFT_* while open
  UINT state = 0;           // MFS_*
  ULONG_PTR data = 0;       // item data while open
  std::u16string text;      // text while open
  RECT rect{};              // where it was drawn
  int column = 0;           // column index
};

struct PopupView {
  std::vector<PopupItem> items;     // by position while open
  std::unique_ptr<Canvas> canvas;   // the drawn pop-up
};

struct PopupOptions {
  int position = 0;          // position of the pop-up in its menu (lParam's low word)
  bool window_menu = false;  // the window menu (lParam's high word 1)
  int selected = -1;         // the item drawn selected, by position
  // Called while the pop-up is open, after drawing.
  std::function<void(const PopupView&)> while_open;
};

// Opens, draws and closes the pop-up; the view as it was while open.
PopupView PlayPopup(HWND window, HMENU popup, const PopupOptions& options = {});

// The items of a menu as they are now.
std::vector<PopupItem> ReadItems(HMENU menu);

// Writes a canvas as a PNG file for people to look at (nothing compares
// it); false when it cannot be written.
bool SaveCanvasPng(const Canvas& canvas, const std::string& path);

}  // namespace wutest
