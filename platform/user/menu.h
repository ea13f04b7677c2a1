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

