// The menu model shared by the menu functions (menu.cpp, menu_items.cpp,
// menu_bar.cpp): every live menu by handle, each a vector of items.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/user/menu.h"

namespace platform::menus {

struct MenuItem {
  UINT flags = 0;                   // MF_* state and kind (MF_POPUP, MF_SEPARATOR)
  UINT id = 0;                      // command id (0 for sub-menus and separators)
  std::u16string text;              // item text
  HMENU sub = nullptr;              // sub-menu of an MF_POPUP item, owned by the menu
  UINT type = 0;                    // MFT_BITMAP, MFT_OWNERDRAW, MFT_MENUBREAK,
                                    // MFT_MENUBARBREAK, MFT_RADIOCHECK
  UINT extra_state = 0;             // MFS_DEFAULT and MFS_HILITE
  ULONG_PTR data = 0;               // the application's item data
  HBITMAP checked = nullptr;        // check bitmap for the checked state
  HBITMAP unchecked = nullptr;      // check bitmap for the unchecked state
  HBITMAP bitmap = nullptr;         // item bitmap (MFT_BITMAP or MIIM_BITMAP)
};

struct Menu {
  std::vector<MenuItem> items;  // items in display order
};

// Every live menu by handle value; handles are never given out twice.
struct MenuTable {
  std::mutex lock;                                  // guards the map and the counter
  std::map<uintptr_t, std::unique_ptr<Menu>> menus;  // live menus
  uintptr_t next = 0x3000;                          // next handle value
};

MenuTable& Menus();
// The menu of a handle, or null with ERROR_INVALID_MENU_HANDLE.
Menu* MenuOf(HMENU menu);
HMENU NewMenu();
// Index of an item by position or by command (searched depth-first; *owner
// receives the menu that holds it), or -1 with ERROR_MENU_ITEM_NOT_FOUND.
int FindItem(HMENU menu, UINT position, UINT flags, Menu** owner);
// An item from AppendMenuW's flags; false for a bad sub-menu handle.
bool MakeItem(UINT flags, UINT_PTR item, LPCWSTR text, MenuItem* out);

}  // namespace platform::menus
