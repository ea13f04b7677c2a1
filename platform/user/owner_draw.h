// Owner drawing: the records of WM_MEASUREITEM and WM_DRAWITEM, by which a
// window measures and draws the items of its menus and controls itself.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Kinds of owner-drawn items (CtlType).
constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;
// What WM_DRAWITEM asks for (itemAction).
constexpr UINT ODA_DRAWENTIRE = 0x0001;  // the whole item
constexpr UINT ODA_SELECT = 0x0002;      // the selection changed
constexpr UINT ODA_FOCUS = 0x0004;       // the focus changed
// The item's state (itemState).
constexpr UINT ODS_SELECTED = 0x0001;
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;
constexpr UINT ODS_DEFAULT = 0x0020;
constexpr UINT ODS_HOTLIGHT = 0x0040;
constexpr UINT ODS_INACTIVE = 0x0080;
constexpr UINT ODS_NOACCEL = 0x0100;
constexpr UINT ODS_NOFOCUSRECT = 0x0200;

// WM_MEASUREITEM's lParam: the window fills itemWidth and itemHeight.
struct MEASUREITEMSTRUCT {
  UINT CtlType;          // ODT_*
  UINT CtlID;            // control id (0 for menus)
  UINT itemID;           // command id of a menu item, index of a list item
  UINT itemWidth;        // out: width in pixels
  UINT itemHeight;       // out: height in pixels
  ULONG_PTR itemData;    // the item's data
};
typedef MEASUREITEMSTRUCT* LPMEASUREITEMSTRUCT;

// WM_DRAWITEM's lParam: where and what to draw.
struct DRAWITEMSTRUCT {
  UINT CtlType;          // ODT_*
  UINT CtlID;            // control id (0 for menus)
  UINT itemID;           // command id of a menu item, index of a list item
  UINT itemAction;       // ODA_*
  UINT itemState;        // ODS_*
  HWND hwndItem;         // the control, or the HMENU of a menu item
  HDC hDC;               // the DC to draw into
  RECT rcItem;           // the item's rectangle in that DC
  ULONG_PTR itemData;    // the item's data
};
typedef DRAWITEMSTRUCT* LPDRAWITEMSTRUCT;
