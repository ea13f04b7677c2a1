// Resources and menus through a language handle (see WuResMenu.h).
#include "foundation/WuResMenu.h"

#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "foundation/WuDlgTemplate.h"
#include "foundation/WuPrintF.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"

// ==== Resources ====================================================================================
namespace {

// The language resource module when lookups may use it, else NULL.
HMODULE LangModule(HWULANG lang) {
  return lang && lang->langModuleEnabled && lang->langModule ? lang->langModule : nullptr;
}

// The localised lookup.
HRSRC FindLocalised(HWULANG lang, LPCWSTR name, LPCWSTR type) {
  HMODULE module = LangModule(lang);
  if (!module) return nullptr;
  return FindResourceExW(module, type, name, LANGIDFROMLCID(lang->lcid));
}

// The fallback: 1033 when the owner is the language resource module, else
// the owner's plain lookup.
HRSRC FindFallback(HWULANG lang, LPCWSTR name, LPCWSTR type) {
  if (!lang || !lang->owner) return nullptr;
  if (lang->owner == lang->langModule) return FindResourceExW(lang->owner, type, name, 1033);
  return FindResourceW(lang->owner, name, type);
}

// A found resource's module, bytes and size.
HGLOBAL LoadFrom(HMODULE module, HRSRC found, DWORD* size) {
  HGLOBAL data = LoadResource(module, found);
  if (size) *size = data ? SizeofResource(module, found) : 0;
  return data;
}

HMODULE OwnerOrNull(HWULANG lang) { return lang ? lang->owner : nullptr; }

}  // namespace

HRSRC WuFindResource(HWULANG lang, LPCWSTR name, LPCWSTR type) {
  if (!lang) return nullptr;
  HRSRC found = FindLocalised(lang, name, type);
  return found ? found : FindResourceW(lang->owner, name, type);
}

HINSTANCE WuFindResInstance(HWULANG lang, LPCWSTR name, LPCWSTR type) {
  if (!lang) return nullptr;
  return FindLocalised(lang, name, type) ? lang->langModule : lang->owner;
}

HRSRC WuFindResourceMulti(HWULANG lang, LPCWSTR name, const LPCWSTR* types, int count,
                          int* index) {
  if (index) *index = -1;
  if (!lang || !types || count <= 0) return nullptr;
  for (int i = 0; i < count; ++i) {
    if (HRSRC found = FindLocalised(lang, name, types[i])) {
      if (index) *index = i;
      return found;
    }
  }
  for (int i = 0; i < count; ++i) {
    if (HRSRC found = FindResourceW(lang->owner, name, types[i])) {
      if (index) *index = i;
      return found;
    }
  }
  return nullptr;
}

HGLOBAL WuLoadResource(HWULANG lang, HRSRC resource) {
  if (!lang || !resource) return nullptr;
  if (HMODULE module = LangModule(lang))
    if (HGLOBAL data = LoadResource(module, resource)) return data;
  return LoadResource(lang->owner, resource);
}

DWORD WuSizeofResource(HWULANG lang, HRSRC resource) {
  if (!lang || !resource) return 0;
  if (HMODULE module = LangModule(lang))
    if (DWORD size = SizeofResource(module, resource)) return size;
  return SizeofResource(lang->owner, resource);
}

HGLOBAL WuLoadResourceCustom(HWULANG lang, LPCWSTR name, LPCWSTR type, DWORD* size) {
  if (size) *size = 0;
  if (!lang) return nullptr;
  if (HRSRC found = FindLocalised(lang, name, type)) {
    if (HGLOBAL data = LoadFrom(lang->langModule, found, size)) return data;
  }
  HRSRC found = FindFallback(lang, name, type);
  return found ? LoadFrom(lang->owner, found, size) : nullptr;
}

HBITMAP WuLoadBitmap(HWULANG lang, LPCWSTR name) {
  return static_cast<HBITMAP>(LoadImageW(OwnerOrNull(lang), name, IMAGE_BITMAP, 0, 0, 0));
}

HICON WuLoadIcon(HWULANG lang, LPCWSTR name) { return LoadIconW(OwnerOrNull(lang), name); }

HANDLE WuLoadImage(HWULANG lang, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  return LoadImageW(OwnerOrNull(lang), name, type, width, height, flags);
}

HIMAGELIST WuImageList_LoadImage(HWULANG lang, LPCWSTR name, int cx, int grow, COLORREF mask,
                                 UINT type, UINT flags) {
  return ImageList_LoadImageW(OwnerOrNull(lang), name, cx, grow, mask, type, flags);
}

HACCEL WuLoadAccelerators(HWULANG lang, LPCWSTR name) {
  if (!lang) return nullptr;
  if (HRSRC found = FindLocalised(lang, name, RT_ACCELERATOR)) {
    if (HGLOBAL data = LoadResource(lang->langModule, found)) {
      HACCEL table = platform::CreateAcceleratorTableFromResource(
          LockResource(data), SizeofResource(lang->langModule, found));
      if (table) return table;
    }
  }
  return LoadAcceleratorsW(lang->owner, name);
}

HCURSOR WuLoadCursor(HWULANG lang, LPCWSTR name) {
  if (lang) return LoadCursorW(lang->owner, name);
  ULONG_PTR value = reinterpret_cast<ULONG_PTR>(name);
  if (IS_INTRESOURCE(name) && value >= 0x7F00) return LoadCursorW(nullptr, name);
  // The application's own cursors live in its main module.
  return LoadCursorW(GetModuleHandleW(nullptr), name);
}

// ==== Menus through the language handle ===================================================
namespace {

// Drops a leading "^*" from every item of `menu` and its sub-menus.
void StripMarkers(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) StripMarkers(sub);
    WCHAR text[256];
    int n = GetMenuStringW(menu, i, text, 256, MF_BYPOSITION);
    if (n < 2 || text[0] != u'^' || text[1] != u'*') continue;
    UINT state = GetMenuState(menu, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    HMENU sub = GetSubMenu(menu, i);
    UINT_PTR item = sub ? reinterpret_cast<UINT_PTR>(sub) : GetMenuItemID(menu, i);
    ModifyMenuW(menu, i, MF_BYPOSITION | state | (sub ? MF_POPUP : MF_STRING), item, text + 2);
  }
}

HMENU MenuFrom(HMODULE module, HRSRC found) {
  HGLOBAL data = LoadResource(module, found);
  return data ? LoadMenuIndirectW(LockResource(data), SizeofResource(module, found)) : nullptr;
}

// Count of a list: below 0 means at most 10,000.
int ListCount(int count) { return count < 0 ? 10000 : count; }

}  // namespace

HMENU WuLoadMenu(HWULANG lang, LPCWSTR name) {
  if (!lang) return nullptr;
  HMENU menu = nullptr;
  if (HRSRC found = FindLocalised(lang, name, RT_MENU)) menu = MenuFrom(lang->langModule, found);
  if (!menu) {
    if (lang->owner == lang->langModule) {
      if (HRSRC found = FindResourceExW(lang->owner, RT_MENU, name, 1033))
        menu = MenuFrom(lang->owner, found);
    } else {
      menu = LoadMenuW(lang->owner, name);
    }
  }
  if (!menu) return nullptr;
  // Top-level texts stay as they are; their sub-menus are cleaned.
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i)
    if (HMENU sub = GetSubMenu(menu, i)) StripMarkers(sub);
  return menu;
}

HMENU WuLoadCulledMenu(HWULANG lang, LPCWSTR name, const UINT* ids, int count, BOOL clean) {
  HMENU menu = WuLoadMenu(lang, name);
  if (menu) WuCullMenu(menu, ids, count, clean);
  return menu;
}

namespace {

bool HoldsCommand(HMENU menu, UINT id, HMENU* found) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (HoldsCommand(sub, id, found)) return true;
    } else if (!(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) &&
               GetMenuItemID(menu, i) == id) {
      *found = menu;
      return true;
    }
  }
  return false;
}

}  // namespace

BOOL WuFindSubMenu(HMENU menu, UINT id, HMENU* found, int* position) {
  HMENU holder = nullptr;
  int top = -1;
  bool hit = false;
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count && !hit; ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (HoldsCommand(sub, id, &holder)) {
        hit = true;
        top = i;
      }
    } else if (!(GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) &&
               GetMenuItemID(menu, i) == id) {
      hit = true;
      holder = menu;
    }
  }
  if (found) *found = hit ? holder : nullptr;
  if (position) *position = hit ? top : -1;
  return hit ? TRUE : FALSE;
}

HMENU WuGetSubmenuByID(HMENU menu, UINT id, int* position) {
  HMENU found = nullptr;
  WuFindSubMenu(menu, id, &found, position);
  return found;
}

BOOL WuGrayMenu(HMENU menu, const UINT* ids, int count) {
  if (!IsMenu(menu)) return FALSE;
  count = ListCount(count);
  for (int i = 0; ids && i < count && ids[i]; ++i)
    EnableMenuItem(menu, ids[i], MF_BYCOMMAND | MF_GRAYED);
  return TRUE;
}

BOOL WuCullMenu(HMENU menu, const UINT* ids, int count, BOOL clean) {
  if (!IsMenu(menu)) return FALSE;
  count = ListCount(count);
  for (int i = 0; ids && i < count && ids[i]; ++i) DeleteMenu(menu, ids[i], MF_BYCOMMAND);
  if (clean) WuCleanMenu(menu, nullptr, 0);
  return TRUE;
}

UINT WuGrayAllMenuItems(HMENU menu) {
  int count = GetMenuItemCount(menu);
  UINT result = static_cast<UINT>(count);
  for (int i = 0; i < count; ++i) result = EnableMenuItem(menu, i, MF_BYPOSITION | MF_GRAYED);
  return result;
}

UINT WuEnableAllMenuItems(HMENU menu) {
  int count = GetMenuItemCount(menu);
  UINT result = static_cast<UINT>(count);
  for (int i = 0; i < count; ++i) result = EnableMenuItem(menu, i, MF_BYPOSITION | MF_ENABLED);
  return result;
}

namespace {

// A plain separator (not a sub-menu item) at a position.
bool IsSeparator(HMENU menu, int position) {
  if (position < 0 || position >= GetMenuItemCount(menu)) return false;
  if (GetSubMenu(menu, position)) return false;
  return (GetMenuState(menu, position, MF_BYPOSITION) & MF_SEPARATOR) != 0;
}

}  // namespace

BOOL WuCleanMenu(HMENU menu, HMENU parent, int position) {
  if (!IsMenu(menu)) return FALSE;
  for (int i = 0; i < GetMenuItemCount(menu);) {
    if (HMENU sub = GetSubMenu(menu, i)) {
      if (WuCleanMenu(sub, menu, i)) {
        // The sub-menu went; a separator left last goes with it.
        int count = GetMenuItemCount(menu);
        if (i == count && IsSeparator(menu, i - 1)) DeleteMenu(menu, i - 1, MF_BYPOSITION);
        continue;
      }
      ++i;
      continue;
    }
    if (IsSeparator(menu, i)) {
      int count = GetMenuItemCount(menu);
      if (i == 0 || i == count - 1 || IsSeparator(menu, i - 1) || IsSeparator(menu, i + 1)) {
        DeleteMenu(menu, i, MF_BYPOSITION);
        // Step back so the item now before this place is judged again.
        if (i > 0) --i;
        continue;
      }
    }
    ++i;
  }
  if (GetMenuItemCount(menu) != 0) return FALSE;
  if (parent)
    DeleteMenu(parent, static_cast<UINT>(position), MF_BYPOSITION);
  else
    DestroyMenu(menu);
  return TRUE;
}

namespace {

// A format that writes `text` as it stands except for its $(token)
// references: '%' becomes "%%" and a '$' that opens no reference "$$".
std::u16string TokenOnlyFormat(const WCHAR* text) {
  std::u16string format;
  for (const WCHAR* p = text; *p; ++p) {
    if (*p == u'%') {
      format += u"%%";
    } else if (*p == u'$' && p[1] != u'(') {
      format += u"$$";
    } else {
      format += *p;
    }
  }
  return format;
}

}  // namespace

BOOL WuMenuReplaceTokens(HMENU menu) {
  int count = GetMenuItemCount(menu);
  if (count < 0) return FALSE;
  for (int i = 0; i < count; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (sub) WuMenuReplaceTokens(sub);
    else if (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) continue;
    WCHAR text[101];
    GetMenuStringW(menu, i, text, 101, MF_BYPOSITION);
    // Only $(token) references are expanded: any other '%' or '$' would
    // be a conversion reading an argument that is not there.
    std::u16string format = TokenOnlyFormat(text);
    WCHAR expanded[WUPRINTF_MAX];
    WuPrintFN(expanded, WUPRINTF_MAX, format.c_str());
    UINT state = GetMenuState(menu, i, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
    UINT_PTR item = sub ? reinterpret_cast<UINT_PTR>(sub) : GetMenuItemID(menu, i);
    ModifyMenuW(menu, i, MF_BYPOSITION | state | (sub ? MF_POPUP : MF_STRING), item, expanded);
  }
  return TRUE;
}

// ==== Dialog measurement ===================================================================
BOOL WuGetDialogUnitsForFont(LPCWSTR face, int points, int weight, int charset, BOOL italic,
                             SIZE* units) {
  if (!units) return FALSE;
  units->cx = units->cy = 0;
  HDC dc = GetDC(nullptr);
  if (!dc) return FALSE;
  WCHAR name[32] = {};
  for (int i = 0; face && i < 31 && face[i]; ++i) name[i] = face[i];
  int height = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
  HFONT font = CreateFontW(height, 0, 0, 0, weight, italic ? TRUE : FALSE, FALSE, FALSE,
                           static_cast<DWORD>(charset), 0, 0, 0, 0, name);
  BOOL measured = FALSE;
  if (font) {
    HGDIOBJ old = SelectObject(dc, font);
    static const WCHAR kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent{};
    TEXTMETRICW metrics{};
    if (GetTextExtentPoint32W(dc, kLetters, 52, &extent) && GetTextMetricsW(dc, &metrics)) {
      units->cx = (extent.cx + 26) / 52;
      units->cy = metrics.tmHeight + metrics.tmExternalLeading;
      measured = TRUE;
    }
    SelectObject(dc, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, dc);
  return measured;
}

namespace {

WORD Word16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Word32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// Skips a menu, class or title field: 0, 0xFFFF and an ordinal, or a
// terminated text.
const BYTE* SkipField(const BYTE* p) {
  WORD first = Word16(p);
  if (first == 0) return p + 2;
  if (first == 0xFFFF) return p + 4;
  while (Word16(p)) p += 2;
  return p + 2;
}

// Whether a template lies whole within its size, read as the measurement
// reads it (a resource, from a language file say, may be cut short): the
// bounded mapping must take it, and an extended header must be version 1.
bool IsWholeTemplate(const void* dialog_template, DWORD size) {
  if (!dialog_template || size > 0x7FFFFFFF) return false;
  _wudlghdrcreateex* mapped = nullptr;
  if (!WuMapDialogTemplate(static_cast<const DLGTEMPLATE*>(dialog_template),
                           static_cast<int>(size), &mapped))
    return false;
  WuFreeDialogTemplate(mapped);
  const BYTE* p = static_cast<const BYTE*>(dialog_template);
  return Word16(p + 2) != 0xFFFF || Word16(p) == 1;
}

}  // namespace

BOOL WuGetDialogSizeIndirect(HWULANG, const void* dialog_template, SIZE* size) {
  if (!dialog_template || !size) return FALSE;
  const BYTE* p = static_cast<const BYTE*>(dialog_template);
  bool extended = Word16(p) == 1 && Word16(p + 2) == 0xFFFF;
  DWORD style = extended ? Word32(p + 12) : Word32(p);
  const BYTE* box = p + (extended ? 18 : 10);  // x, y, cx, cy
  int cx = static_cast<short>(Word16(box + 4));
  int cy = static_cast<short>(Word16(box + 6));
  SIZE units{};
  if (style & DS_SETFONT) {
    const BYTE* q = SkipField(SkipField(SkipField(box + 8)));
    int points = Word16(q);
    int weight = FW_NORMAL, charset = 1;
    BOOL italic = FALSE;
    q += 2;
    if (extended) {
      weight = Word16(q);
      italic = q[2] ? TRUE : FALSE;
      charset = q[3];
      q += 4;
    }
    WuGetDialogUnitsForFont(reinterpret_cast<const WCHAR*>(q), points, weight, charset, italic,
                            &units);
  }
  if (!units.cx || !units.cy) {
    LONG base = GetDialogBaseUnits();
    units.cx = base & 0xFFFF;
    units.cy = (base >> 16) & 0xFFFF;
  }
  size->cx = MulDiv(cx, units.cx, 4);
  size->cy = MulDiv(cy, units.cy, 8);
  return TRUE;
}

BOOL WuGetDialogSize(HWULANG lang, UINT id, DLGPROC proc, LPARAM param, SIZE* size) {
  if (!lang || !size) return FALSE;
  size->cx = size->cy = 0;
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  if (PRIMARYLANGID(WuGetUserDefaultUILanguage()) == LANG_ENGLISH && dpi == 96) {
    DWORD bytes = 0;
    HGLOBAL data = WuLoadResourceCustom(lang, MAKEINTRESOURCEW(id), RT_DIALOG, &bytes);
    if (data) {
      const void* found = LockResource(data);
      if (!IsWholeTemplate(found, bytes)) return FALSE;
      return WuGetDialogSizeIndirect(lang, found, size);
    }
  }
  HWND dialog = WuCreateDialogParam(lang, id, GetDesktopWindow(), proc, param);
  if (!dialog) return FALSE;
  RECT rect{};
  BOOL measured = GetWindowRect(dialog, &rect);
  DestroyWindow(dialog);
  if (!measured) return FALSE;
  size->cx = rect.right - rect.left;
  size->cy = rect.bottom - rect.top;
  return TRUE;
}
