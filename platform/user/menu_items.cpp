// Menu items through MENUITEMINFOW: GetMenuItemInfoW, SetMenuItemInfoW,
// InsertMenuItemW and SetMenuItemBitmaps over the menu model.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/kernel/error.h"
#include "platform/user/menu.h"
#include "platform/user/menu_internal.h"

using namespace platform::menus;

namespace {

constexpr UINT kTypeBits =
    MFT_BITMAP | MFT_OWNERDRAW | MFT_MENUBREAK | MFT_MENUBARBREAK | MFT_RADIOCHECK;

bool GoodInfo(const MENUITEMINFOW* info) {
  if (info && info->cbSize == sizeof(MENUITEMINFOW)) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

UINT FlagsOf(BOOL by_position) { return by_position ? MF_BYPOSITION : MF_BYCOMMAND; }

void SetType(MenuItem* item, UINT type) {
  item->type = type & kTypeBits;
  if (type & MFT_SEPARATOR)
    item->flags |= MF_SEPARATOR;
  else
    item->flags &= ~MF_SEPARATOR;
}

// Applies the members of `info` to `item`; false for a bad sub-menu (the
// item unchanged). *dropped receives a sub-menu the item no longer keeps.
bool Apply(const MENUITEMINFOW& info, HMENU self, MenuItem* item, HMENU* dropped) {
  MenuItem next = *item;
  UINT mask = info.fMask;
  if (mask & MIIM_SUBMENU) {
    if (info.hSubMenu && (info.hSubMenu == self || !MenuOf(info.hSubMenu))) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    next.sub = info.hSubMenu;
    if (next.sub) next.flags |= MF_POPUP;
    else next.flags &= ~MF_POPUP;
  }
  if (mask & MIIM_TYPE) {
    SetType(&next, info.fType);
    next.text.clear();
    next.bitmap = nullptr;
    if (info.fType & MFT_BITMAP)
      next.bitmap = reinterpret_cast<HBITMAP>(info.dwTypeData);
    else if (!(info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW)) && info.dwTypeData)
      next.text = info.dwTypeData;
  }
  if (mask & MIIM_FTYPE) SetType(&next, info.fType);
  if (mask & MIIM_STRING) {
    next.text.clear();
    if (info.dwTypeData) next.text = info.dwTypeData;
  }
  if (mask & MIIM_STATE) {
    next.flags = (next.flags & ~(MF_GRAYED | MF_DISABLED | MF_CHECKED)) |
                 (info.fState & (MFS_GRAYED | MFS_CHECKED));
    next.extra_state = info.fState & (MFS_DEFAULT | MFS_HILITE);
  }
  if (mask & MIIM_ID) next.id = info.wID;
  if (mask & MIIM_DATA) next.data = info.dwItemData;
  if (mask & MIIM_CHECKMARKS) {
    next.checked = info.hbmpChecked;
    next.unchecked = info.hbmpUnchecked;
  }
  if (mask & MIIM_BITMAP) next.bitmap = info.hbmpItem;
  *dropped = item->sub && item->sub != next.sub ? item->sub : nullptr;
  *item = std::move(next);
  return true;
}

}  // namespace

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPMENUITEMINFOW info) {
  if (!GoodInfo(info)) return FALSE;
  Menu* owner = nullptr;
  int i = FindItem(menu, item, FlagsOf(by_position), &owner);
  if (i < 0) return FALSE;
  const MenuItem& it = owner->items[i];
  UINT mask = info->fMask;
  UINT type = it.type | (it.flags & MF_SEPARATOR);
  if (mask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = type;
  if (mask & MIIM_STATE)
    info->fState = (it.flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED)) | it.extra_state;
  if (mask & MIIM_ID) info->wID = it.id;
  if (mask & MIIM_SUBMENU) info->hSubMenu = it.sub;
  if (mask & MIIM_DATA) info->dwItemData = it.data;
  if (mask & MIIM_CHECKMARKS) {
    info->hbmpChecked = it.checked;
    info->hbmpUnchecked = it.unchecked;
  }
  if (mask & MIIM_BITMAP) info->hbmpItem = it.bitmap;
  if ((mask & MIIM_TYPE) && (type & MFT_BITMAP)) {
    info->dwTypeData = reinterpret_cast<LPWSTR>(it.bitmap);
  } else if ((mask & MIIM_STRING) ||
             ((mask & MIIM_TYPE) && !(type & (MFT_SEPARATOR | MFT_OWNERDRAW)))) {
    UINT length = static_cast<UINT>(it.text.size());
    if (!info->dwTypeData) {
      info->cch = length;
    } else if (info->cch > 0) {
      UINT n = std::min(length, info->cch - 1);
      std::memcpy(info->dwTypeData, it.text.data(), n * sizeof(WCHAR));
      info->dwTypeData[n] = 0;
      info->cch = n;
    }
  }
  return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info) {
  if (!GoodInfo(info)) return FALSE;
  Menu* owner = nullptr;
  int i = FindItem(menu, item, FlagsOf(by_position), &owner);
  if (i < 0) return FALSE;
  HMENU dropped = nullptr;
  // The menu whose item changes may not become its own sub-menu.
  HMENU self = nullptr;
  if (by_position) self = menu;
  if (!Apply(*info, self, &owner->items[i], &dropped)) return FALSE;
  if (dropped) DestroyMenu(dropped);
  return TRUE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info) {
  if (!GoodInfo(info)) return FALSE;
  Menu* owner = MenuOf(menu);
  if (!owner) return FALSE;
  size_t at = owner->items.size();
  if (by_position) {
    at = std::min<size_t>(item, owner->items.size());
  } else {
    int i = FindItem(menu, item, MF_BYCOMMAND, &owner);
    if (i < 0) return FALSE;
    at = static_cast<size_t>(i);
  }
  MenuItem made;
  HMENU dropped = nullptr;
  if (!Apply(*info, menu, &made, &dropped)) return FALSE;
  try {
    owner->items.insert(owner->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(made));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}

BOOL SetMenuItemBitmaps(HMENU menu, UINT position, UINT flags, HBITMAP unchecked,
                        HBITMAP checked) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  if (i < 0) return FALSE;
  owner->items[i].unchecked = unchecked;
  owner->items[i].checked = checked;
  return TRUE;
}
