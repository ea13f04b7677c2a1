// The template editor's state for one modal run, shared by the editor's
// files, its template holder and its application page. Not for callers
// outside the editor.
#pragma once

#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuFioPageInfo.h"
#include "platform/kernel/types.h"

class CFileIOTemplateHolder;
class CWuTempEditSite;

// Control ids of the dialog.
constexpr int WUTE_ID_COMBO = 302;        // the template list (editable drop-down)
constexpr int WUTE_ID_NOTES = 303;        // the notes
constexpr int WUTE_ID_TABS = 304;         // the tab control
constexpr int WUTE_ID_SITE = 305;         // the page-site window
constexpr int WUTE_ID_TOOLBAR = 306;      // the toolbar
constexpr int WUTE_ID_SAVE = 307;         // toolbar: save
constexpr int WUTE_ID_DELETE = 308;       // toolbar: delete
constexpr int WUTE_ID_HELP = 309;         // toolbar: the page's help
constexpr int WUTE_ID_DESCRIPTION = 310;  // the format description
constexpr int WUTE_ID_QUALITY = 1222;     // the application page's quality list

// State bits of the current template.
constexpr DWORD WUTE_MODIFIED = 0x01;     // changed since it was selected
constexpr DWORD WUTE_SAVED = 0x02;        // written to a file
constexpr DWORD WUTE_OWNED = 0x04;        // the editor's own record (else borrowed)
constexpr DWORD WUTE_NOTES_EDITED = 0x08; // the notes field was edited
constexpr DWORD WUTE_PENDING = 0x10;      // a typed name not yet taken as a selection

// Page flags.
constexpr DWORD WUTE_PAGE_ACTIVE = 0x03;  // activated (shown)
constexpr DWORD WUTE_PAGE_APP = 0x04;     // the editor's application page
constexpr DWORD WUTE_PAGE_FAILED = 0x20;  // could not be created
constexpr DWORD WUTE_PAGE_FIRST = 0x40;   // opens first

// The most tabs the editor shows, and the title room of a tab.
constexpr int WUTE_MAX_TABS = 8;
constexpr int WUTE_TITLE_UNITS = 32;

// One page.
struct WuTempEditPage {
  PROPPAGEINFO info;            // its information (size, title copied to `title`)
  WCHAR title[WUTE_TITLE_UNITS];// the title, at most 31 units and a terminator
  IWuFileIOPropertyPage* page;  // the page object (one reference)
  LONG number;                  // position among the pages
  LONG pluginNumber;            // the plug-in's page number, -1 for the application page
  DWORD flags;                  // WUTE_PAGE_*
};

struct WuTempEditState {
  _FIOEDITTEMPLATE* args;             // the caller's record
  HWND owner;                         // the dialog's owner
  DWORD flags;                        // the record's flags at entry (FIOEDIT_OWNED cleared)
  IWuRenderFileClass* cls;            // the renderer class
  IWuFileIOManager* manager;          // the manager (metrics)
  CWuPrivateTemplateCache* cache;     // the template list
  LONG index;                         // the selected merged index
  LONG entryIndex;                    // the caller's index at entry
  tagWUTEMPLATExV2* current;          // the current template (owned with WUTE_OWNED)
  DWORD state;                        // WUTE_MODIFIED...
  CFileIOTemplateHolder* holder;      // what the pages see
  CWuTempEditSite* site;              // the pages' site
  HWND dialog, combo, notes, description, tabs, siteWindow, toolbar;
  LONG notesLimit;                    // 4096
  LONG pageCount;                     // pages in `pages`
  LONG activePage;                    // the shown page, -1 none
  WuTempEditPage* pages;              // the pages
  SIZE pageSize;                      // the largest page
  bool tabsShown;                     // the tab row is shown
  HRESULT lastSave;                   // the last save's result (tests and the OK path)
};

// Makes a copy of `record` the current template (owned and modified); a
// template equal to the current one changes nothing (S_FALSE). A record
// failing its layout check gives 0x8004E00B.
HRESULT WuTempEdit_SetCurrentFromPage(WuTempEditState* state, const tagWUTEMPLATExV2* record);
// Replaces the current template by `record` with the given state bits; an
// owned previous one is freed after the replacement is in place.
void WuTempEdit_ReplaceCurrent(WuTempEditState* state, tagWUTEMPLATExV2* record, DWORD bits);

// Runs the dialog over the state (WuTempEditDialog.cpp): the dialog's
// result (1 OK, 2 Cancel) or -1 when it could not run.
INT_PTR WuTempEdit_RunDialog(WuTempEditState* state);
// The dialog's description (275 x 104 dialog units) and its 8 controls.
const struct _wudlghdrcreate* WuTempEdit_DialogHeader();
const struct _wudlgctrlcreate* WuTempEdit_DialogControls();

// Saving and deleting (WuTempEditSave.cpp). Save modes.
constexpr int WUTE_SAVE_INTERACTIVE = 0;  // the toolbar's Save
constexpr int WUTE_SAVE_CLOSING = 1;      // OK
// Saves the template named in the combo box: 0 when saved or kept, 1 when
// there was nothing to save, 0x8004E00C when refused or cancelled, a file
// error as its converted Win32 code.
HRESULT WuTempEdit_Save(WuTempEditState* state, int mode);
// Deletes the template named in the combo box: 0, 0x8004E00C when
// refused, E_FAIL when the name is not a file template's, a file error.
HRESULT WuTempEdit_Delete(WuTempEditState* state);
// Deletes a listed record (its file when it came from a folder) and
// selects the first entry. 
HRESULT WuTempEdit_DeleteRecord(WuTempEditState* state, const tagWUTEMPLATExV2* record);
// The name typed in the combo box: leading backslashes and surrounding
// white space removed, a trailing " (*)" stripped.
void WuTempEdit_GetTypedName(WuTempEditState* state, LPWSTR name, int size);

// The dialog's parts the save and delete code refresh (WuTempEditDialog.cpp).
// Fills the list and selects the current template's entry.
void WuTempEdit_FillList(WuTempEditState* state);
// Makes merged entry `index` the current template and shows it.
void WuTempEdit_Select(WuTempEditState* state, LONG index);
// Shows the current template's description and notes, and refreshes the
// shown page.
void WuTempEdit_ShowCurrent(WuTempEditState* state, bool notes);
