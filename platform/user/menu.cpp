#include "platform/user/menu.h"

#include "platform/user/menu_internal.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"

namespace platform::menus {

MenuTable& Menus() {
  static MenuTable* table = new MenuTable;  // lives to process end
  return *table;
}

// The menu of a handle, or null with ERROR_INVALID_MENU_HANDLE. Callers run
// on the UI thread; the lock guards only the map itself.
Menu* MenuOf(HMENU menu) {
  MenuTable& t = Menus();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.menus.find(reinterpret_cast<uintptr_t>(menu));
  if (it == t.menus.end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

HMENU NewMenu() {
  MenuTable& t = Menus();
  std::lock_guard<std::mutex> guard(t.lock);
  std::unique_ptr<Menu> m(new (std::nothrow) Menu);
  if (!m) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  uintptr_t h = t.next;
  t.next += 4;
  t.menus[h] = std::move(m);
  return reinterpret_cast<HMENU>(h);
}

// Index of an item by position or by command (searched depth-first; *owner
// receives the menu that holds it), or -1 with ERROR_MENU_ITEM_NOT_FOUND.
int FindItem(HMENU menu, UINT position, UINT flags, Menu** owner) {
  Menu* m = MenuOf(menu);
  if (!m) return -1;
  if (flags & MF_BYPOSITION) {
    if (position >= m->items.size()) {
      SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
      return -1;
    }
    *owner = m;
    return static_cast<int>(position);
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItem& item = m->items[i];
    if (item.sub) {
      int found = FindItem(item.sub, position, flags, owner);
      if (found >= 0) return found;
    } else if (!(item.flags & MF_SEPARATOR) && item.id == position) {
      *owner = m;
      return static_cast<int>(i);
    }
  }
  SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
  return -1;
}

bool MakeItem(UINT flags, UINT_PTR item, LPCWSTR text, MenuItem* out) {
  *out = MenuItem{};
  out->flags = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR);
  out->type = flags & (MFT_BITMAP | MFT_OWNERDRAW | MFT_MENUBREAK | MFT_MENUBARBREAK |
                       MFT_RADIOCHECK);
  out->extra_state = flags & (MFS_DEFAULT | MFS_HILITE);
  if (flags & MF_SEPARATOR) {
    out->type = 0;
    return true;
  }
  if (flags & MF_POPUP) {
    out->sub = reinterpret_cast<HMENU>(item);
    if (!MenuOf(out->sub)) return false;
  } else {
    out->id = static_cast<UINT>(item);
  }
  // The text argument carries the item data of an owner-drawn item and the
  // bitmap of a bitmap item.
  if (flags & MFT_OWNERDRAW)
    out->data = reinterpret_cast<ULONG_PTR>(text);
  else if (flags & MFT_BITMAP)
    out->bitmap = reinterpret_cast<HBITMAP>(const_cast<LPWSTR>(text));
  else if (text)
    out->text = text;
  return true;
}

}  // namespace platform::menus

using namespace platform::menus;

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

BOOL IsMenu(HMENU menu) {
  MenuTable& t = Menus();
  std::lock_guard<std::mutex> guard(t.lock);
  return t.menus.count(reinterpret_cast<uintptr_t>(menu)) ? TRUE : FALSE;
}

BOOL DestroyMenu(HMENU menu) {
  std::unique_ptr<Menu> owned;
  {
    MenuTable& t = Menus();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.menus.find(reinterpret_cast<uintptr_t>(menu));
    if (it == t.menus.end()) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return FALSE;
    }
    owned = std::move(it->second);
    t.menus.erase(it);
  }
  for (const MenuItem& item : owned->items)
    if (item.sub) DestroyMenu(item.sub);
  return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR text) {
  Menu* m = MenuOf(menu);
  MenuItem made;
  if (!m || !MakeItem(flags, item, text, &made)) return FALSE;
  if (made.sub == menu) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  m->items.push_back(std::move(made));
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  MenuItem made;
  if (i < 0 || !MakeItem(flags, item, text, &made)) return FALSE;
  HMENU old = owner->items[i].sub;
  // The application's item data and check bitmaps stay unless the new
  // item brings data of its own.
  if (!(flags & MFT_OWNERDRAW)) made.data = owner->items[i].data;
  made.checked = owner->items[i].checked;
  made.unchecked = owner->items[i].unchecked;
  owner->items[i] = std::move(made);
  if (old && old != owner->items[i].sub) DestroyMenu(old);
  return TRUE;
}

static BOOL TakeItem(HMENU menu, UINT position, UINT flags, bool destroy) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  if (i < 0) return FALSE;
  HMENU sub = owner->items[i].sub;
  owner->items.erase(owner->items.begin() + i);
  if (sub && destroy) DestroyMenu(sub);
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  return TakeItem(menu, position, flags, true);
}
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  return TakeItem(menu, position, flags, false);
}

int GetMenuItemCount(HMENU menu) {
  Menu* m = MenuOf(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu* m = MenuOf(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return ~0u;
  const MenuItem& item = m->items[position];
  return item.sub ? ~0u : item.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = MenuOf(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
  return m->items[position].sub;
}

UINT GetMenuState(HMENU menu, UINT position, UINT flags) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  if (i < 0) return ~0u;
  const MenuItem& item = owner->items[i];
  UINT all = item.flags | item.type | item.extra_state;
  if (item.sub) return (static_cast<UINT>(GetMenuItemCount(item.sub)) << 8) | all;
  return all;
}

int GetMenuStringW(HMENU menu, UINT position, LPWSTR buffer, int size, UINT flags) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  if (i < 0) return 0;
  const std::u16string& text = owner->items[i].text;
  if (!buffer) return static_cast<int>(text.size());
  if (size <= 0) return 0;
  size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
  return static_cast<int>(n);
}

UINT EnableMenuItem(HMENU menu, UINT position, UINT flags) {
  Menu* owner = nullptr;
  int i = FindItem(menu, position, flags, &owner);
  if (i < 0) return ~0u;
  MenuItem& item = owner->items[i];
  UINT previous = item.flags & (MF_GRAYED | MF_DISABLED);
  item.flags = (item.flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return previous;
}

namespace {

// Bounded little-endian reader of a menu template.
struct TemplateReader {
  const BYTE* at;   // next byte
  const BYTE* end;  // end of the template
  bool Word(WORD* w) {
    if (end - at < 2) return false;
    *w = static_cast<WORD>(at[0] | (at[1] << 8));
    at += 2;
    return true;
  }
  bool Text(std::u16string* s) {
    s->clear();
    for (WORD c; Word(&c);) {
      if (!c) return true;
      s->push_back(static_cast<char16_t>(c));
    }
    return false;
  }
};

// Reads one level of items into `menu` up to the item with MF_END.
bool ReadLevel(TemplateReader* r, HMENU menu, int depth) {
  if (depth > 32) return false;  // refuse absurd nesting
  for (;;) {
    WORD flags = 0, id = 0;
    std::u16string text;
    if (!r->Word(&flags)) return false;
    if (!(flags & MF_POPUP) && !r->Word(&id)) return false;
    if (!r->Text(&text)) return false;
    UINT state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    if (flags & MF_POPUP) {
      HMENU sub = CreatePopupMenu();
      if (!sub) return false;
      if (!ReadLevel(r, sub, depth + 1) ||
          !AppendMenuW(menu, MF_POPUP | state, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
        DestroyMenu(sub);
        return false;
      }
    } else if ((flags & MF_SEPARATOR) || (id == 0 && text.empty())) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, MF_STRING | state, id, text.c_str());
    }
    if (flags & MF_END) return true;
  }
}

}  // namespace

HMENU LoadMenuIndirectW(const void* menu_template, DWORD size) {
  if (!menu_template) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const BYTE* bytes = static_cast<const BYTE*>(menu_template);
  TemplateReader r{bytes, bytes + size};
  WORD version = 0, offset = 0;
  if (!r.Word(&version) || !r.Word(&offset) || version != 0 || offset > r.end - r.at) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  r.at += offset;
  HMENU menu = CreateMenu();
  if (!menu) return nullptr;
  if (!ReadLevel(&r, menu, 0)) {
    DestroyMenu(menu);
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return menu;
}

HMENU LoadMenuW(HINSTANCE module, LPCWSTR name) {
  HRSRC found = FindResourceW(module, name, RT_MENU);
  if (!found) return nullptr;
  return LoadMenuIndirectW(LockResource(LoadResource(module, found)),
                           SizeofResource(module, found));
}

