// The owner-drawn menu manager: while a window's pop-up menu is open its
// items are drawn by the manager, with an image column holding a button
// image or a 3-D check mark, the text with the accelerator right-aligned,
// etched separators and, optionally, invisible spacer items that give the
// columns of a multi-column pop-up equal heights. Closing the pop-up
// restores the items as the application set them.
//
// Use: construct, MenuMan_SetInfo, MenuMan_Init, then MenuMan_SetFlags
// (MenuMan_Init clears the flags), and route the window's messages
// through MenuMan_HandleMessage before its own handling; MenuMan_DeInit
// before destruction. Everything runs on the window's thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/accel.h"
#include "platform/user/windows.h"
#include "shellui/WuHotkey2.h"

// One set of button images.
struct _wummskin_buttonimage {
  uint32_t reserved;     // not read by the manager
  int32_t width;         // image width
  int32_t height;        // image height
  HIMAGELIST normal;     // images of enabled items
  HIMAGELIST hot;        // images of the selected item (NULL: `normal`)
  HIMAGELIST disabled;   // images of disabled items (NULL: an embossed mask of `normal`)
};

// The manager's settings.
struct _wumenuman_info {
  uint32_t active;                    // 0: pop-ups are left alone
  _wummskin_buttonimage buttons;      // command images (MenuMan_GetImageIndex)
  _wummskin_buttonimage checkmarks;   // check marks: index 0 check, 1 radio mark
};

// Flags of MenuMan_SetFlags.
constexpr uint32_t WUMENUMAN_UICOLORS = 0x10000000;  // library UI colours, column spacers
constexpr uint32_t WUMENUMAN_SKIN = 0x20000000;      // the fixed skin palette

// Error codes.
constexpr HRESULT WUMENUMAN_E_GDI = static_cast<HRESULT>(0x8004E003);          // font not made
constexpr HRESULT WUMENUMAN_E_INITIALISED = static_cast<HRESULT>(0x8004E01B);  // fonts exist

// The text of a spacer item.
#define WUMENU_SPACER_TEXT u"$WU_MENU_SPACER$"

// What the manager keeps for each item of an open pop-up, as the item's
// data (global memory, zero-filled and locked).
struct WuMenuItemRecord {
  WCHAR text[260];      // display text; the last unit is always 0
  int32_t image;        // button image index, < 0 for none
  MENUITEMINFOW saved;  // the item as the application set it
  int32_t spacer;       // 1 for a spacer item
  int32_t measured;     // 1 when width and height below are valid
  int32_t width;        // measured width
  int32_t height;       // measured height (a spacer: the height it fills)
};

class CWuMenuManager {
 public:
  CWuMenuManager();
  CWuMenuManager(const CWuMenuManager& other);
  CWuMenuManager& operator=(const CWuMenuManager& other);
  // Frees nothing: MenuMan_DeInit releases the fonts.
  virtual ~CWuMenuManager();

  // Objects live in the library's global memory.
  static void* operator new(size_t size);
  static void operator delete(void* p);
  static void* operator new[](size_t size);
  static void operator delete[](void* p);

  // Button image index of a command; -1 (no image) by default.
  virtual int MenuMan_GetImageIndex(UINT id);
  // Called on every WM_INITMENUPOPUP first, to enable, check or rename
  // items; does nothing by default.
  virtual void MenuMan_InitMenuState(HWND window, HMENU menu);
  // 1 when the command has an accelerator and *hotkey was filled; 0 by
  // default.
  virtual int MenuMan_GetAcceleratorInfo(UINT id, _wuhotkey* hotkey);

  // Creates the normal and bold menu fonts and clears the flags. 0,
  // WUMENUMAN_E_INITIALISED when a font exists (nothing changed) or
  // WUMENUMAN_E_GDI.
  HRESULT MenuMan_Init();
  // Deletes the fonts.
  void MenuMan_DeInit();
  // Keeps flags & 0x30000000; returns the old flags.
  uint32_t MenuMan_SetFlags(uint32_t flags);
  uint32_t MenuMan_GetFlags() const { return flags_; }
  // Copies the settings; the button image size comes from the command
  // images (from their first image when a size is not positive).
  void MenuMan_SetInfo(const _wumenuman_info* info);
  HFONT GetMenuFont(BOOL bold) const;
  // Colours and brushes by the flags (see WUMENUMAN_*).
  COLORREF MenuGetSysColor(int index) const;
  HBRUSH MenuGetSysColorBrush(int index) const;
  // The scan code of a virtual key (the key itself when it has none), and
  // the lParam of a key message for it.
  static UINT VkToScanCode(UINT vk);
  static LPARAM VkToLParam(UINT vk, BOOL extended);
  // The name of a shortcut into the buffer (emptied when it has none);
  // returns 0.
  static int AcceleratorToString(const _wuhotkey* hotkey, LPWSTR buffer, int size);
  // TranslateAcceleratorW with the pop-ups it prepares left unconverted.
  int MenuMan_TranslateAccelerator(HWND window, HACCEL accelerators, MSG* message);
  // Non-zero when the message was handled (*result = 0 then).
  int MenuMan_HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT* result);

  // Whether an item text is the spacer marker (the whole marker).
  static BOOL IsSpacerMenuItem(LPCWSTR text);

 protected:
  void AddButtons(HMENU popup, int enabled);
  BOOL InsertColumnSpacers(HMENU popup);
  void FitSpacersToMenuHeight(HMENU popup, int tallest);
  void FreeButtons(HMENU popup, int enabled);
  void RefreshMenus(HMENU menu);
  int OnMeasureItem(MEASUREITEMSTRUCT* measure);
  int OnDrawItem(DRAWITEMSTRUCT* draw);
  void DrawMenuItem(HDC dc, const RECT* item, DRAWITEMSTRUCT* draw);
  void DrawMenuText(HDC dc, RECT* rect, LPCWSTR text, COLORREF colour, BOOL is_default);
  void DrawButton(HDC dc, const _wummskin_buttonimage* images, int index, const RECT* cell,
                  const DRAWITEMSTRUCT* draw);
  int Draw3DCheckmark(HDC dc, const RECT* cell, BOOL selected, HBITMAP bitmap);

 private:
  // The record behind an item's data, or null for data the manager did
  // not give.
  static WuMenuItemRecord* RecordOf(ULONG_PTR data);

  _wumenuman_info info_;      // settings
  int32_t min_image_width_;   // minimum image-column width (20)
  int32_t min_item_height_;   // minimum item height (19)
  int32_t button_width_;      // button image width (18)
  int32_t button_height_;     // button image height (17)
  int32_t in_accelerator_;    // 1 during MenuMan_TranslateAccelerator
  HFONT normal_font_;         // the menu font
  HFONT bold_font_;           // the menu font at weight 700
  int32_t fake_bold_;         // 1 when the menu font is already bold
  uint32_t flags_;            // WUMENUMAN_* bits
};
