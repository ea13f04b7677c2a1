// Menus: a headless model of the platform's menus (menu bars and pop-up
// menus as trees of items with flags, command ids, texts and sub-menus),
// loaded from menu templates or RT_MENU resources.
#pragma once

#include "platform/kernel/resource.h"
#include "platform/kernel/types.h"

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;
constexpr DWORD ERROR_MENU_ITEM_NOT_FOUND = 1456;
// Item flags of AppendMenuW, ModifyMenuW, GetMenuState and templates.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_END = 0x0080;  // last item of a template level
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_BITMAP = 0x0004;        // `text` is the item's HBITMAP
constexpr UINT MF_OWNERDRAW = 0x0100;     // `text` is the item data
constexpr UINT MF_MENUBARBREAK = 0x0020;  // starts a column, with a bar
constexpr UINT MF_MENUBREAK = 0x0040;     // starts a column
constexpr UINT MF_HILITE = 0x0080;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MF_SYSMENU = 0x2000;      // WM_UNINITMENUPOPUP: the window menu
// Item types of MENUITEMINFOW (the same bits as the MF_ flags).
constexpr UINT MFT_STRING = 0x0000;
constexpr UINT MFT_BITMAP = 0x0004;
constexpr UINT MFT_MENUBARBREAK = 0x0020;
constexpr UINT MFT_MENUBREAK = 0x0040;
constexpr UINT MFT_OWNERDRAW = 0x0100;
constexpr UINT MFT_RADIOCHECK = 0x0200;
constexpr UINT MFT_SEPARATOR = 0x0800;
// Item states of MENUITEMINFOW.
constexpr UINT MFS_ENABLED = 0x0000;
constexpr UINT MFS_UNCHECKED = 0x0000;
constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_DISABLED = MFS_GRAYED;
constexpr UINT MFS_CHECKED = 0x0008;
constexpr UINT MFS_HILITE = 0x0080;
constexpr UINT MFS_DEFAULT = 0x1000;
// Members of MENUITEMINFOW that a call reads or writes.
constexpr UINT MIIM_STATE = 0x0001;
constexpr UINT MIIM_ID = 0x0002;
constexpr UINT MIIM_SUBMENU = 0x0004;
constexpr UINT MIIM_CHECKMARKS = 0x0008;
constexpr UINT MIIM_TYPE = 0x0010;    // fType, with the text or bitmap in dwTypeData
constexpr UINT MIIM_DATA = 0x0020;
constexpr UINT MIIM_STRING = 0x0040;  // dwTypeData as text
constexpr UINT MIIM_BITMAP = 0x0080;  // hbmpItem
constexpr UINT MIIM_FTYPE = 0x0100;   // fType only

// An item as GetMenuItemInfoW, SetMenuItemInfoW and InsertMenuItemW see
// it (the native layout; cbSize must be its size).
struct MENUITEMINFOW {
  UINT cbSize;            // sizeof(MENUITEMINFOW)
  UINT fMask;             // MIIM_* members in use
  UINT fType;             // MFT_* type
  UINT fState;            // MFS_* state
  UINT wID;               // command id
  HMENU hSubMenu;         // sub-menu, or NULL
  HBITMAP hbmpChecked;    // check bitmap for the checked state, or NULL
  HBITMAP hbmpUnchecked;  // check bitmap for the unchecked state, or NULL
  ULONG_PTR dwItemData;   // the application's item data
  LPWSTR dwTypeData;      // text (string items), HBITMAP (MFT_BITMAP with MIIM_TYPE)
  UINT cch;               // text buffer size in characters; on return the text's length
  HBITMAP hbmpItem;       // item bitmap (MIIM_BITMAP)
};
typedef MENUITEMINFOW* LPMENUITEMINFOW;
typedef const MENUITEMINFOW* LPCMENUITEMINFOW;

// A new empty menu bar or pop-up menu; NULL when out of memory.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Destroys a menu and its sub-menus. FALSE (ERROR_INVALID_MENU_HANDLE) for
// a handle that is not a menu.
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);
// Appends an item: a separator (MF_SEPARATOR), a command (id, text) or,
// with MF_POPUP, a sub-menu (`item` the HMENU, which the menu then owns).
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR text);
// Replaces an item in place (by command or MF_BYPOSITION). A sub-menu that
// the new item does not keep is destroyed.
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text);
// Deletes an item; DeleteMenu destroys its sub-menu, RemoveMenu detaches it.
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
// Items of a menu; -1 for a handle that is not a menu.
int GetMenuItemCount(HMENU menu);
// Command id at a position; (UINT)-1 for a sub-menu item or a bad position.
UINT GetMenuItemID(HMENU menu, int position);
// Sub-menu at a position, or NULL.
HMENU GetSubMenu(HMENU menu, int position);
// Flags of an item (a sub-menu item: its item count in bits 8..15 with
// MF_POPUP); (UINT)-1 when there is no such item.
UINT GetMenuState(HMENU menu, UINT position, UINT flags);
// Text of an item, bounded by `size` (terminated); its length. With a NULL
// buffer the length only. 0 for no such item.
int GetMenuStringW(HMENU menu, UINT position, LPWSTR buffer, int size, UINT flags);
// Sets MF_GRAYED / MF_DISABLED of an item; the previous state, or (UINT)-1.
UINT EnableMenuItem(HMENU menu, UINT position, UINT flags);
// A menu from a menu template (header version 0, offset 0; items of a
// 16-bit flags word, a command id unless MF_POPUP, and a terminated text;
// MF_END closes a level; a command item with id 0 and an empty text is a
// separator). `size` bounds the reading; NULL (ERROR_INVALID_DATA) for a
// malformed template.
HMENU LoadMenuIndirectW(const void* menu_template, DWORD size);
// A module's RT_MENU resource made a menu; NULL with the resource error.
HMENU LoadMenuW(HINSTANCE module, LPCWSTR name);


// Reads the members named by info->fMask of an item (by position when
// `by_position`, else by command). Text: with a NULL dwTypeData only cch
// receives the length; otherwise at most cch - 1 characters are copied,
// terminated, and cch receives the count copied. FALSE for a bad menu,
// item (ERROR_MENU_ITEM_NOT_FOUND) or cbSize (ERROR_INVALID_PARAMETER).
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPMENUITEMINFOW info);
// Changes the members named by info->fMask. MIIM_TYPE sets the type and
// the text (or bitmap); MIIM_FTYPE the type alone; MIIM_STRING the text
// alone. A sub-menu that the item no longer keeps is destroyed.
BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info);
// Inserts a new item made from the members named by info->fMask before the
// item given (by position, or the item of that command in the menu that
// holds it); a position past the end appends to `menu`.
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info);
// Sets the bitmaps shown beside an item for its unchecked and checked
// states (NULL: the default check mark, or none).
BOOL SetMenuItemBitmaps(HMENU menu, UINT position, UINT flags, HBITMAP unchecked,
                        HBITMAP checked);

// The menu bar of a top-level window (NULL for none or a child window).
HMENU GetMenu(HWND window);
// Gives a top-level window a menu bar (NULL removes it; the old menu is not
// destroyed). FALSE for a child window or a bad handle.
BOOL SetMenu(HWND window, HMENU menu);
// Redraws a window's menu bar; nothing is shown on this platform, so this
// only checks the window.
BOOL DrawMenuBar(HWND window);
