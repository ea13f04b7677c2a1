// Menu items through MENUITEMINFOW, check bitmaps, the menu bar of a window
// and accelerators that prepare the menu bar's pop-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/user/accel.h"
#include "platform/user/windows.h"

namespace {

MENUITEMINFOW Info(UINT mask) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = mask;
  return info;
}

HBITMAP Handle(uintptr_t v) { return reinterpret_cast<HBITMAP>(v); }

// Each member goes in through InsertMenuItemW with its mask alone and comes
// back through GetMenuItemInfoW; the members of other masks stay default.
TEST(MenuItemInfo, EachMaskThroughInsertAndGet) {
  HMENU sub = CreatePopupMenu();
  WCHAR text[] = u"Open";
  struct Case {
    const char* name;
    UINT mask;
    void (*fill)(MENUITEMINFOW*, HMENU, WCHAR*);
    void (*check)(const MENUITEMINFOW&, HMENU);
  } cases[] = {
      {"ID", MIIM_ID, [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->wID = 77; },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(o.wID, 77u); }},
      {"SUBMENU", MIIM_SUBMENU, [](MENUITEMINFOW* i, HMENU s, WCHAR*) { i->hSubMenu = s; },
       [](const MENUITEMINFOW& o, HMENU s) { EXPECT_EQ(o.hSubMenu, s); }},
      {"FTYPE", MIIM_FTYPE,
       [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->fType = MFT_MENUBREAK | MFT_RADIOCHECK; },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(o.fType, MFT_MENUBREAK | MFT_RADIOCHECK); }},
      {"TYPE string", MIIM_TYPE,
       [](MENUITEMINFOW* i, HMENU, WCHAR* t) {
         i->fType = MFT_STRING | MFT_MENUBARBREAK;
         i->dwTypeData = t;
       },
       [](const MENUITEMINFOW& o, HMENU) {
         EXPECT_EQ(o.fType, MFT_MENUBARBREAK);
         EXPECT_EQ(std::u16string(o.dwTypeData), u"Open");
         EXPECT_EQ(o.cch, 4u);
       }},
      {"TYPE bitmap", MIIM_TYPE,
       [](MENUITEMINFOW* i, HMENU, WCHAR*) {
         i->fType = MFT_BITMAP;
         i->dwTypeData = reinterpret_cast<LPWSTR>(Handle(0x5550));
       },
       [](const MENUITEMINFOW& o, HMENU) {
         EXPECT_EQ(o.fType, MFT_BITMAP);
         EXPECT_EQ(reinterpret_cast<HBITMAP>(o.dwTypeData), Handle(0x5550));
       }},
      {"TYPE separator", MIIM_TYPE,
       [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->fType = MFT_SEPARATOR; },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(o.fType, MFT_SEPARATOR); }},
      {"STRING", MIIM_STRING, [](MENUITEMINFOW* i, HMENU, WCHAR* t) { i->dwTypeData = t; },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(std::u16string(o.dwTypeData), u"Open"); }},
      {"STATE", MIIM_STATE,
       [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->fState = MFS_GRAYED | MFS_CHECKED | MFS_DEFAULT; },
       [](const MENUITEMINFOW& o, HMENU) {
         EXPECT_EQ(o.fState, MFS_GRAYED | MFS_CHECKED | MFS_DEFAULT);
       }},
      {"DATA", MIIM_DATA, [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->dwItemData = 0xABCDEF; },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(o.dwItemData, 0xABCDEFu); }},
      {"CHECKMARKS", MIIM_CHECKMARKS,
       [](MENUITEMINFOW* i, HMENU, WCHAR*) {
         i->hbmpChecked = Handle(0x100);
         i->hbmpUnchecked = Handle(0x200);
       },
       [](const MENUITEMINFOW& o, HMENU) {
         EXPECT_EQ(o.hbmpChecked, Handle(0x100));
         EXPECT_EQ(o.hbmpUnchecked, Handle(0x200));
       }},
      {"BITMAP", MIIM_BITMAP, [](MENUITEMINFOW* i, HMENU, WCHAR*) { i->hbmpItem = Handle(0x300); },
       [](const MENUITEMINFOW& o, HMENU) { EXPECT_EQ(o.hbmpItem, Handle(0x300)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, u"first");
    MENUITEMINFOW in = Info(c.mask);
    c.fill(&in, sub, text);
    ASSERT_TRUE(InsertMenuItemW(menu, 0, TRUE, &in));
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    WCHAR back[16] = {};
    MENUITEMINFOW out = Info(MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_DATA |
                             MIIM_CHECKMARKS | MIIM_BITMAP | (c.mask & (MIIM_TYPE | MIIM_STRING)));
    out.dwTypeData = back;
    out.cch = 16;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &out));
    c.check(out, sub);
    // The item before which it went is now second.
    EXPECT_EQ(GetMenuItemID(menu, 1), 1u);
    if (c.mask == MIIM_SUBMENU) RemoveMenu(menu, 0, MF_BYPOSITION);  // `sub` is reused
    DestroyMenu(menu);
  }
  DestroyMenu(sub);
}

TEST(MenuItemInfo, TextBoundsPlacesAndErrors) {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 10, u"Save");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");

  // Length only, then a buffer that cuts the text.
  MENUITEMINFOW out = Info(MIIM_STRING);
  ASSERT_TRUE(GetMenuItemInfoW(bar, 10, FALSE, &out));
  EXPECT_EQ(out.cch, 4u);
  WCHAR small[3] = {u'x', u'x', u'x'};
  out.dwTypeData = small;
  out.cch = 3;
  ASSERT_TRUE(GetMenuItemInfoW(bar, 10, FALSE, &out));
  EXPECT_EQ(std::u16string(small), u"Sa");
  EXPECT_EQ(out.cch, 2u);

  // By command: the new item goes before it in the pop-up that holds it.
  WCHAR text[] = u"Save as";
  MENUITEMINFOW in = Info(MIIM_ID | MIIM_STRING);
  in.wID = 11;
  in.dwTypeData = text;
  ASSERT_TRUE(InsertMenuItemW(bar, 10, FALSE, &in));
  EXPECT_EQ(GetMenuItemID(file, 0), 11u);
  // A position past the end appends.
  in.wID = 12;
  ASSERT_TRUE(InsertMenuItemW(file, 99, TRUE, &in));
  EXPECT_EQ(GetMenuItemID(file, 2), 12u);

  // Setting the type keeps the data; owner-drawn items report their type.
  MENUITEMINFOW set = Info(MIIM_FTYPE | MIIM_DATA);
  set.fType = MFT_OWNERDRAW;
  set.dwItemData = 42;
  ASSERT_TRUE(SetMenuItemInfoW(file, 0, TRUE, &set));
  EXPECT_EQ(GetMenuState(file, 0, MF_BYPOSITION) & MF_OWNERDRAW, MF_OWNERDRAW);
  MENUITEMINFOW read = Info(MIIM_FTYPE | MIIM_DATA | MIIM_STRING);
  WCHAR back[16];
  read.dwTypeData = back;
  read.cch = 16;
  ASSERT_TRUE(GetMenuItemInfoW(file, 11, FALSE, &read));
  EXPECT_EQ(read.dwItemData, 42u);
  EXPECT_EQ(std::u16string(back), u"Save as");  // MIIM_FTYPE left the text

  ASSERT_TRUE(SetMenuItemBitmaps(file, 12, MF_BYCOMMAND, Handle(0x10), Handle(0x20)));
  read = Info(MIIM_CHECKMARKS);
  ASSERT_TRUE(GetMenuItemInfoW(file, 2, TRUE, &read));
  EXPECT_EQ(read.hbmpUnchecked, Handle(0x10));
  EXPECT_EQ(read.hbmpChecked, Handle(0x20));

  // Errors: a wrong size, a missing item, a menu as its own sub-menu.
  MENUITEMINFOW bad = Info(MIIM_ID);
  bad.cbSize = 48;
  SetLastError(0);
  EXPECT_FALSE(GetMenuItemInfoW(file, 0, TRUE, &bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  MENUITEMINFOW id = Info(MIIM_ID);
  EXPECT_FALSE(GetMenuItemInfoW(file, 7, TRUE, &id));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
  EXPECT_FALSE(InsertMenuItemW(file, 999, FALSE, &id));
  MENUITEMINFOW self = Info(MIIM_SUBMENU);
  self.hSubMenu = file;
  EXPECT_FALSE(SetMenuItemInfoW(file, 0, TRUE, &self));
  EXPECT_FALSE(InsertMenuItemW(file, 0, TRUE, &self));
  EXPECT_EQ(GetMenuItemCount(file), 3);
  DestroyMenu(bar);
}

std::vector<std::pair<UINT, LPARAM>>* g_seen = nullptr;

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_seen && (message == WM_INITMENUPOPUP || message == WM_COMMAND))
    g_seen->push_back({message, message == WM_INITMENUPOPUP ? static_cast<LPARAM>(wparam)
                                                             : static_cast<LPARAM>(wparam)});
  if (g_seen && message == WM_INITMENUPOPUP) g_seen->push_back({0, lparam});
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// The menu bar of a top-level window, and accelerators of its commands
// preparing the pop-up that holds them before the command arrives.
TEST(MenuBar, SetGetAndAcceleratorsPreparingThePopup) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = u"MenuBarTarget";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  HWND window = CreateWindowExW(0, u"MenuBarTarget", u"", WS_OVERLAPPEDWINDOW, 0, 0, 200, 200,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  HWND child = CreateWindowExW(0, u"MenuBarTarget", u"", WS_CHILD, 0, 0, 10, 10, window,
                               reinterpret_cast<HMENU>(5), nullptr, nullptr);
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  HMENU edit = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 101, u"Open");
  AppendMenuW(edit, MF_STRING, 201, u"Copy");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), u"Edit");

  EXPECT_EQ(GetMenu(window), nullptr);
  RECT before{};
  GetClientRect(window, &before);
  ASSERT_TRUE(SetMenu(window, bar));
  EXPECT_EQ(GetMenu(window), bar);
  RECT after{};
  GetClientRect(window, &after);
  EXPECT_LT(after.bottom, before.bottom);  // the bar takes room
  EXPECT_TRUE(DrawMenuBar(window));
  EXPECT_FALSE(SetMenu(child, bar));
  EXPECT_EQ(GetMenu(child), nullptr);
  EXPECT_FALSE(SetMenu(window, reinterpret_cast<HMENU>(0x7777)));

  ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'C', 201}, {FVIRTKEY | FCONTROL, 'Q', 999}};
  HACCEL table = CreateAcceleratorTableW(keys, 2);
  std::vector<std::pair<UINT, LPARAM>> seen;
  g_seen = &seen;
  platform::SetKeyDown(VK_CONTROL, true);
  MSG copy{window, WM_KEYDOWN, 'C', 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorW(window, table, &copy), 1);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].first, WM_INITMENUPOPUP);
  EXPECT_EQ(seen[0].second, reinterpret_cast<LPARAM>(edit));
  EXPECT_EQ(seen[1].second, MAKELPARAM(1, 0));  // position 1, not the window menu
  EXPECT_EQ(seen[2].first, WM_COMMAND);
  // A command not on the menu bar: only the command.
  seen.clear();
  MSG quit{window, WM_KEYDOWN, 'Q', 0, 0, {0, 0}};
  EXPECT_EQ(TranslateAcceleratorW(window, table, &quit), 1);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].first, WM_COMMAND);
  platform::ResetKeyState();
  g_seen = nullptr;

  DestroyAcceleratorTable(table);
  ASSERT_TRUE(SetMenu(window, nullptr));
  EXPECT_EQ(GetMenu(window), nullptr);
  DestroyMenu(bar);
  DestroyWindow(window);
  UnregisterClassW(u"MenuBarTarget", nullptr);
}

}  // namespace
