// The template editor: the modal "Custom Settings" dialog in which a person
// picks, edits, saves and deletes the render templates of one renderer
// class. The class's property pages edit the template's settings on tabs,
// beside the editor's own "Project" page; the list comes from a private
// template cache (CWuTemplateCache.h), its first entries the caller's
// private templates.
//
// The editor runs on the headless window model under whatever front end
// the platform has (platform/user/frontend.h).
#pragma once

#include "fileio/WuFileIO.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/types.h"

// Status codes of the editor.
constexpr HRESULT WUTE_E_CANCELLED = WuStatusCode(0x8004E00C);   // refused or cancelled
constexpr HRESULT WUTE_E_BAD_TEMPLATE = WuStatusCode(0x8004E00B);  // not a usable template
constexpr HRESULT WUTE_E_DIALOG = WuStatusCode(0x8004E00F);      // the dialog did not run
constexpr HRESULT WUTE_E_NO_PAGES = WuStatusCode(0x8004E086);    // the class has no page

// The manager's entry: asks the class for its pages (slot 21) and runs the
// editor when it has any (extra pages count only with the class's flag bit
// 0). Otherwise the page-count status as it came: 1 without a renderer
// class, E_NOTIMPL or 0 when the class offers no page.
HRESULT WuFioMgr_EditTemplate(IWuFileIOManager* manager, _FIOEDITTEMPLATE* args);

// Runs the editor: 0 when the person pressed OK, 1 for Cancel or nothing to
// edit, 0x8004E00F when the dialog could not run, E_POINTER, E_INVALIDARG
// (a record of another size; flag FIOEDIT_OWNED with an empty slot or the
// project template), E_OUTOFMEMORY, 0x8004E086 when the class has no page.
// On OK args->slot and args->index receive the chosen template and its
// list index; FIOEDIT_OWNED is set when the caller owns the slot's template
// (a template the editor made or a copy of a listed one), clear when the
// slot still holds the caller's own starting template. FIOEDIT_SAVED and
// FIOEDIT_MODIFIED tell what happened to it. On Cancel the index at entry
// is restored and the slot is emptied.
HRESULT WuTempEdit_Edit(_FIOEDITTEMPLATE* args, IWuFileIOManager* manager);

// Appends " (*)" to the name in `name` (`size` characters with the
// terminator) unless it already ends with it; the name is cut to make room.
void WuTempEdit_AddModifiedMark(LPWSTR name, int size);
// Removes a trailing " (*)" from a name longer than 4 characters.
void WuTempEdit_StripModifiedMark(LPWSTR name);
