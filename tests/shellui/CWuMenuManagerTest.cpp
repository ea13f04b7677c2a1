// The owner-drawn menu manager, driven through the pop-up routine that plays
// the system's part.
#include "shellui/CWuMenuManager.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuUIColor.h"
#include "platform/kernel/memory.h"
#include "tests/shellui/MenuManagerFixture.h"
#include "tests/shellui/MenuPopupRoutine.h"

namespace {

using wutest::Canvas;
using wutest::PlayPopup;
using wutest::PopupItem;
using wutest::PopupOptions;
using wutest::PopupView;
using wutest::ReadItems;

using wutest::HostManager;
using wutest::MenuManager;
using wutest::g_app_drawn;
using wutest::g_app_measured;
using wutest::g_commands;

// ---- Life cycle -------------------------------------------------------------------------

TEST_F(MenuManager, InitTwiceFailsFlagsAreMaskedAndFontsAreReleased) {
  HFONT normal = manager_.GetMenuFont(FALSE);
  HFONT bold = manager_.GetMenuFont(TRUE);
  ASSERT_NE(normal, nullptr);
  ASSERT_NE(bold, nullptr);
  LOGFONTW lf{};
  GetObjectW(bold, sizeof(lf), &lf);
  EXPECT_GE(lf.lfWeight, 700);
  EXPECT_EQ(manager_.MenuMan_Init(), WUMENUMAN_E_INITIALISED);
  EXPECT_EQ(manager_.GetMenuFont(FALSE), normal);  // nothing changed

  EXPECT_EQ(manager_.MenuMan_SetFlags(0xFFFFFFFF), 0u);
  EXPECT_EQ(manager_.MenuMan_GetFlags(), 0x30000000u);

  // A copy shares the fonts; the original's DeInit releases them.
  CWuMenuManager copy(manager_);
  EXPECT_EQ(copy.GetMenuFont(TRUE), bold);
  EXPECT_EQ(copy.MenuMan_GetFlags(), 0x30000000u);
  manager_.MenuMan_DeInit();
  EXPECT_EQ(platform::GdiObjectCount(), gdi_start_);
  EXPECT_EQ(manager_.GetMenuFont(FALSE), nullptr);
  EXPECT_EQ(manager_.MenuMan_Init(), S_OK);
  EXPECT_EQ(manager_.MenuMan_GetFlags(), 0u);  // Init clears the flags
}

TEST_F(MenuManager, ObjectsLiveInGlobalMemory) {
  auto* one = new HostManager;
  EXPECT_NE(GlobalHandle(one), nullptr);
  CWuMenuManager* as_base = one;
  delete as_base;  // the deleting destructor frees through the global allocator
  auto* several = new CWuMenuManager[3];
  several[2].MenuMan_SetFlags(WUMENUMAN_SKIN);
  EXPECT_EQ(several[2].MenuMan_GetFlags(), WUMENUMAN_SKIN);
  delete[] several;
}

// ---- Conversion and restoring -------------------------------------------------------------

TEST_F(MenuManager, ColumnSpacersEqualiseColumnsAndCloseRestoresEverything) {
  HMENU popup = Columns({5, 3, 4});
  // Application data and a state to survive the round trip.
  MENUITEMINFOW set{};
  set.cbSize = sizeof(set);
  set.fMask = MIIM_DATA | MIIM_STATE;
  set.dwItemData = 0x1234;
  set.fState = MFS_CHECKED;
  SetMenuItemInfoW(popup, 1, TRUE, &set);
  std::vector<PopupItem> before = ReadItems(popup);
  manager_.MenuMan_SetFlags(WUMENUMAN_UICOLORS);

  bool seen = false;
  PopupOptions options;
  options.while_open = [&](const PopupView& view) {
    seen = true;
    ASSERT_EQ(view.items.size(), 15u);  // 12 items and 3 spacers
    std::vector<int> spacer_heights;
    int h = view.items[0].rect.bottom - view.items[0].rect.top;
    for (const PopupItem& item : view.items) {
      EXPECT_TRUE(item.type & MFT_OWNERDRAW);
      const WuMenuItemRecord* r = Record(item);
      ASSERT_NE(r, nullptr);
      EXPECT_EQ(r->measured, 1);
      if (r->spacer) {
        EXPECT_TRUE(CWuMenuManager::IsSpacerMenuItem(r->text));
        spacer_heights.push_back(item.rect.bottom - item.rect.top);
      } else {
        EXPECT_EQ(item.rect.bottom - item.rect.top, h);
      }
    }
    // At the ends of the columns of 5, 3 and 4 items.
    EXPECT_EQ(spacer_heights, (std::vector<int>{0, 2 * h, h}));
    EXPECT_TRUE(Record(view.items[5])->spacer);
    EXPECT_TRUE(Record(view.items[9])->spacer);
    EXPECT_TRUE(Record(view.items[14])->spacer);
    // Every column ends at the same height.
    EXPECT_EQ(view.items[5].rect.bottom, view.items[9].rect.bottom);
    EXPECT_EQ(view.items[9].rect.bottom, view.items[14].rect.bottom);
  };
  PlayPopup(window_, popup, options);
  EXPECT_TRUE(seen);
  EXPECT_EQ(manager_.init_calls, 1);

  std::vector<PopupItem> after = ReadItems(popup);
  ASSERT_EQ(after.size(), before.size());
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_EQ(after[i].type, before[i].type) << i;
    EXPECT_EQ(after[i].data, before[i].data) << i;
    EXPECT_EQ(after[i].state, before[i].state) << i;
    EXPECT_EQ(after[i].text, before[i].text) << i;
    EXPECT_EQ(after[i].id, before[i].id) << i;
  }
}

TEST_F(MenuManager, SpacersOnlyWithUiColoursAndOnlyTheWholeMarker) {
  // Without the flag: no spacers.
  HMENU popup = Columns({2, 1});
  PopupOptions options;
  options.while_open = [](const PopupView& view) { EXPECT_EQ(view.items.size(), 3u); };
  PlayPopup(window_, popup, options);

  // An application item whose text starts like the marker is its own.
  manager_.MenuMan_SetFlags(WUMENUMAN_UICOLORS);
  HMENU wide = Popup();
  AppendMenuW(wide, MF_STRING, 1, u"$Wide");
  AppendMenuW(wide, MF_STRING | MF_MENUBREAK, 2, u"$W");
  AppendMenuW(wide, MF_STRING, 3, u"$WU_MENU_SPACER");
  PlayPopup(window_, wide);
  std::vector<PopupItem> after = ReadItems(wide);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0].text, u"$Wide");
  EXPECT_EQ(after[1].text, u"$W");
  EXPECT_EQ(after[2].text, u"$WU_MENU_SPACER");

  struct Case {
    const char16_t* text;
    BOOL spacer;
  } cases[] = {{u"$WU_MENU_SPACER$", TRUE}, {u"$Wide", FALSE}, {u"$W", FALSE},
               {u"$WU_MENU_SPACER$ more", FALSE}, {u"", FALSE}, {nullptr, FALSE}};
  for (const Case& c : cases) EXPECT_EQ(CWuMenuManager::IsSpacerMenuItem(c.text), c.spacer);
}

TEST_F(MenuManager, AcceleratorNamesReplaceOldOnesAndWindowMenuStaysPlain) {
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING, 10, u"Open\bCtrl+X");
  AppendMenuW(popup, MF_STRING, 11, u"Save");
  AppendMenuW(popup, MF_STRING, 12, u"Odd key");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  manager_.accelerators[10] = _wuhotkey{'O', 0x4};
  manager_.accelerators[11] = _wuhotkey{0x74, 0x6};
  manager_.accelerators[12] = _wuhotkey{0, 0};  // no key, no modifier: no name
  PopupOptions options;
  options.while_open = [](const PopupView& view) {
    EXPECT_EQ(std::u16string(Record(view.items[0])->text), u"Open\bCtrl+O");
    EXPECT_EQ(std::u16string(Record(view.items[1])->text), u"Save\bCtrl+Shift+F5");
    EXPECT_EQ(std::u16string(Record(view.items[2])->text), u"Odd key");
    EXPECT_EQ(std::u16string(Record(view.items[3])->text), u"");
  };
  PlayPopup(window_, popup, options);
  std::vector<PopupItem> after = ReadItems(popup);
  EXPECT_EQ(after[0].text, u"Open\bCtrl+O");  // the text as displayed
  EXPECT_EQ(after[3].type, MFT_SEPARATOR);

  // The window menu: the state hook runs, nothing is converted.
  options.window_menu = true;
  options.while_open = [](const PopupView& view) {
    for (const PopupItem& item : view.items) EXPECT_FALSE(item.type & MFT_OWNERDRAW);
  };
  PlayPopup(window_, popup, options);
  EXPECT_EQ(manager_.init_calls, 2);

  // Inactive settings: nothing converted either.
  _wumenuman_info off{};
  manager_.MenuMan_SetInfo(&off);
  PlayPopup(window_, popup, options);
}

TEST_F(MenuManager, LongTextsAreCutAt259Units) {
  HMENU popup = Popup();
  std::u16string longer(400, u'x');
  AppendMenuW(popup, MF_STRING, 1, longer.c_str());
  std::u16string with_mark = std::u16string(300, u'y') + u"\bOld";
  AppendMenuW(popup, MF_STRING, 2, with_mark.c_str());
  manager_.accelerators[2] = _wuhotkey{'N', 0x4};
  PopupOptions options;
  options.selected = 0;
  options.while_open = [](const PopupView& view) {
    for (const PopupItem& item : view.items) {
      const WuMenuItemRecord* r = Record(item);
      EXPECT_EQ(std::char_traits<char16_t>::length(r->text), 259u);
      EXPECT_EQ(r->text[259], 0);
    }
  };
  PlayPopup(window_, popup, options);
  EXPECT_EQ(ReadItems(popup)[0].text, std::u16string(259, u'x'));
}

TEST_F(MenuManager, ApplicationOwnerDrawnItemsReachTheWindowWithTheirData) {
  HMENU popup = Popup();
  AppendMenuW(popup, MF_OWNERDRAW, 5, reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(0xBEEF)));
  AppendMenuW(popup, MF_STRING, 6, u"Plain");
  PopupOptions options;
  options.while_open = [](const PopupView& view) {
    EXPECT_EQ(view.items[0].rect.bottom - view.items[0].rect.top, 30);  // the window's size
  };
  PlayPopup(window_, popup, options);
  EXPECT_EQ(g_app_measured, (std::vector<ULONG_PTR>{0xBEEF}));
  EXPECT_EQ(g_app_drawn, (std::vector<ULONG_PTR>{0xBEEF}));
  std::vector<PopupItem> after = ReadItems(popup);
  EXPECT_EQ(after[0].type, MFT_OWNERDRAW);
  EXPECT_EQ(after[0].data, 0xBEEFu);
  // Data the manager did not give is never taken for its record.
  MEASUREITEMSTRUCT stray{ODT_MENU, 0, 5, 0, 0, 0xBEEF};
  LRESULT result = 7;
  EXPECT_EQ(manager_.MenuMan_HandleMessage(window_, WM_MEASUREITEM, 0,
                                           reinterpret_cast<LPARAM>(&stray), &result),
            0);
  EXPECT_EQ(result, 7);
}

// ---- Messages ---------------------------------------------------------------------------------

TEST_F(MenuManager, SysColorChangeRecreatesFontsAndClearsFlags) {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 1, u"New");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File");
  SetMenu(window_, bar);
  menus_.push_back(bar);
  manager_.MenuMan_SetFlags(WUMENUMAN_UICOLORS | WUMENUMAN_SKIN);
  HFONT old_font = manager_.GetMenuFont(FALSE);
  LRESULT result = 7;
  EXPECT_EQ(manager_.MenuMan_HandleMessage(window_, WM_SYSCOLORCHANGE, 0, 0, &result), 0);
  EXPECT_NE(manager_.GetMenuFont(FALSE), old_font);
  EXPECT_NE(manager_.GetMenuFont(FALSE), nullptr);
  EXPECT_EQ(manager_.MenuMan_GetFlags(), 0u);
  EXPECT_EQ(platform::GdiObjectCount(), gdi_start_ + 2);  // the old fonts went
  // The bar's items are set again as they were.
  std::vector<PopupItem> items = ReadItems(file);
  EXPECT_EQ(items[0].text, u"New");
  EXPECT_EQ(items[1].type, MFT_SEPARATOR);
  SetMenu(window_, nullptr);

  // A window without a menu bar: nothing changes.
  manager_.MenuMan_SetFlags(WUMENUMAN_SKIN);
  HFONT kept = manager_.GetMenuFont(FALSE);
  EXPECT_EQ(manager_.MenuMan_HandleMessage(window_, WM_WININICHANGE, 0, 0, &result), 0);
  EXPECT_EQ(manager_.GetMenuFont(FALSE), kept);
  EXPECT_EQ(manager_.MenuMan_GetFlags(), WUMENUMAN_SKIN);
}

TEST_F(MenuManager, TranslateAcceleratorLeavesThePopupUnconverted) {
  HMENU bar = CreateMenu();
  HMENU edit = CreatePopupMenu();
  AppendMenuW(edit, MF_STRING, 201, u"Copy");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), u"Edit");
  SetMenu(window_, bar);
  menus_.push_back(bar);
  ACCEL key{FVIRTKEY | FCONTROL, 'C', 201};
  HACCEL table = CreateAcceleratorTableW(&key, 1);
  platform::SetKeyDown(VK_CONTROL, true);
  MSG msg{window_, WM_KEYDOWN, 'C', 0, 0, {0, 0}};
  EXPECT_EQ(manager_.MenuMan_TranslateAccelerator(window_, table, &msg), 1);
  platform::ResetKeyState();
  EXPECT_EQ(manager_.init_calls, 1);  // the state hook ran
  EXPECT_EQ(ReadItems(edit)[0].type, MFT_STRING);
  EXPECT_EQ(g_commands, (std::vector<UINT>{201}));
  // The flag is down again: the next opening converts.
  PopupOptions options;
  options.while_open = [](const PopupView& view) {
    EXPECT_TRUE(view.items[0].type & MFT_OWNERDRAW);
  };
  PlayPopup(window_, edit, options);
  DestroyAcceleratorTable(table);
  SetMenu(window_, nullptr);
}

TEST_F(MenuManager, KeyMessageParameters) {
  // The layout's scan code; a key without one stands for itself.
  EXPECT_EQ(CWuMenuManager::VkToScanCode('A'), 0x1Eu);
  EXPECT_EQ(CWuMenuManager::VkToLParam('A', FALSE), static_cast<LPARAM>(0x1E) << 16);
  EXPECT_EQ(CWuMenuManager::VkToScanCode(0xFF), 0xFFu);
  EXPECT_EQ(CWuMenuManager::VkToLParam(0x1FF, TRUE), static_cast<LPARAM>(0x1FF) << 16);
  WCHAR buffer[8] = {u'x'};
  _wuhotkey none{0, 0};
  EXPECT_EQ(CWuMenuManager::AcceleratorToString(&none, buffer, 8), 0);
  EXPECT_EQ(buffer[0], 0);
  _wuhotkey ctrl_shift_f5{0x74, 0x6};
  CWuMenuManager::AcceleratorToString(&ctrl_shift_f5, buffer, 8);
  EXPECT_EQ(std::u16string(buffer), u"Ctrl+Sh");  // bounded by the buffer
}

}  // namespace
