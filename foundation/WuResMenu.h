// Resources and menus through a language handle.
//
// Lookups prefer a localised copy: FindResourceExW in the handle's language
// resource module with the handle's LCID, tried only when that module is
// present and enabled. The fallback is, when the owner module is itself the
// language resource module, the same lookup with LCID 1033; otherwise the
// owner module's plain loader, which lets the system choose the language.
// Every loader answers NULL (or 0) when both fail.
//
// Menus are tidied after loading: "^*" markers leave item texts, items are
// greyed or culled by command id, empty sub-menus and surplus separators go
// and $(token) references in item texts are expanded.
#pragma once

#include <string>

#include "foundation/WuLang.h"
#include "platform/user/accel.h"
#include "platform/comctl/commctrl.h"
#include "platform/user/menu.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// ---- Resources -----------------------------------------------------------------------------
// Localised lookup, then FindResourceW in the owner module.
HRSRC WuFindResource(HWULANG lang, LPCWSTR name, LPCWSTR type);
// The module that holds what WuFindResource finds: the language resource
// module when the localised lookup finds it, else the owner module.
HINSTANCE WuFindResInstance(HWULANG lang, LPCWSTR name, LPCWSTR type);
// Each type in array order with the localised lookup, then each with
// FindResourceW in the owner module; the first hit and its array position
// in *index (-1 when none; `index` may be NULL).
HRSRC WuFindResourceMulti(HWULANG lang, LPCWSTR name, const LPCWSTR* types, int count,
                          int* index);
// LoadResource / SizeofResource from the language resource module when it
// is enabled, else (or when that module does not own it) from the owner.
HGLOBAL WuLoadResource(HWULANG lang, HRSRC resource);
DWORD WuSizeofResource(HWULANG lang, HRSRC resource);
// Localised lookup then fallback; the loaded resource (for LockResource)
// and its size in *size (0 when missing), or NULL.
HGLOBAL WuLoadResourceCustom(HWULANG lang, LPCWSTR name, LPCWSTR type, DWORD* size);
// Images of the owner module (system images for a NULL handle).
HBITMAP WuLoadBitmap(HWULANG lang, LPCWSTR name);
HICON WuLoadIcon(HWULANG lang, LPCWSTR name);
HANDLE WuLoadImage(HWULANG lang, LPCWSTR name, UINT type, int width, int height, UINT flags);
// ImageList_LoadImageW with the owner module (no module for a NULL handle)
// as the instance.
HIMAGELIST WuImageList_LoadImage(HWULANG lang, LPCWSTR name, int cx, int grow, COLORREF mask,
                                 UINT type, UINT flags);
// With a handle, the owner module's cursor. Without one, ids 0x7F00 to
// 0xFFFF are system cursors and every other name comes from the
// application module.
HCURSOR WuLoadCursor(HWULANG lang, LPCWSTR name);
// The table of the localised RT_ACCELERATOR resource; when none is found or
// its bytes make no table, LoadAcceleratorsW on the owner module.
HACCEL WuLoadAccelerators(HWULANG lang, LPCWSTR name);

// ---- Menus -----------------------------------------------------------------------------------
// Localised RT_MENU template, then fallback; items inside the top-level
// sub-menus (recursively) lose a leading "^*". NULL on failure.
HMENU WuLoadMenu(HWULANG lang, LPCWSTR name);
// WuLoadMenu then WuCullMenu with the ids.
HMENU WuLoadCulledMenu(HWULANG lang, LPCWSTR name, const UINT* ids, int count, BOOL clean);
// Depth-first search: TRUE with the menu holding the command in *found and
// the position of the top-level sub-menu leading to it in *position (-1
// when the command sits in `menu` itself). Either out may be NULL.
BOOL WuFindSubMenu(HMENU menu, UINT id, HMENU* found, int* position);
// The menu holding the command (NULL when none) and the top-level position
// (-1 when none).
HMENU WuGetSubmenuByID(HMENU menu, UINT id, int* position);
// Greys / deletes the items of the listed command ids, stopping at a 0 id;
// a count below 0 means at most 10,000 ids. WuCullMenu then tidies the menu
// when `clean` is set. TRUE when the menu is valid.
BOOL WuGrayMenu(HMENU menu, const UINT* ids, int count);
BOOL WuCullMenu(HMENU menu, const UINT* ids, int count, BOOL clean);
// Greys or enables every item by position; the last call's result (the
// item count for an empty menu).
UINT WuGrayAllMenuItems(HMENU menu);
UINT WuEnableAllMenuItems(HMENU menu);
// Tidies a menu: empty sub-menus and surplus separators go. When the menu
// ends empty it is deleted from `parent` at `position` (destroyed when it
// has no parent) and the result is TRUE.
BOOL WuCleanMenu(HMENU menu, HMENU parent, int position);
// Expands $(token) references in every non-separator item text (up to 100
// characters) with WuPrintF, recursively. TRUE when the menu is valid.
BOOL WuMenuReplaceTokens(HMENU menu);

// ---- Dialog measurement -----------------------------------------------------------------
// Base units of a font: average width of the 52 letters (rounded) and
// tmHeight + tmExternalLeading. TRUE when measured.
BOOL WuGetDialogUnitsForFont(LPCWSTR face, int points, int weight, int charset, BOOL italic,
                             SIZE* units);
// Pixel size of a plain or extended dialog template. TRUE when read.
BOOL WuGetDialogSizeIndirect(HWULANG lang, const void* dialog_template, SIZE* size);
// Pixel size of dialog `id`: from its template for an English UI on a
// 96-dpi screen, else by creating the dialog hidden and measuring it.
// FALSE when the template found is cut short or malformed for its size.
BOOL WuGetDialogSize(HWULANG lang, UINT id, DLGPROC proc, LPARAM param, SIZE* size);
