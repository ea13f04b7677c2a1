// The file-properties sheet: a modal property sheet with one page,
// "General", whose read-only text lists what the library learns about a
// media file (shellui/WuFilePropText.h). Hosts with a property sheet of
// their own embed the same page through WuCallFilePropGeneral_DlgProc.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/user/windows.h"

// The request a caller fills for WuFileProperties. Laid out natively; the
// caller passes its size in bytes, and a shorter request leaves the fields
// it does not wholly cover at 0.
struct tPWUFILEPROPINFO {
  DWORD mode;                   // 1: the General page must be requested (else nothing is shown); the sheet opens on it
  DWORD pages;                  // requested pages, bit 0 General (the only page); 0 means bit 0
  DWORD flags;                  // bit 0: the text gets the broadcast-wave section
  const WCHAR* path;            // the media file (at most 259 characters); may be empty with a reader
  const WCHAR* caption;         // the sheet's caption (at most 127 characters); required
  IWuReadFile* reader;          // an open reader of the file, or NULL
  IWuFileIOMgrForApp* manager;  // the file-I/O manager, or NULL (no reader: file-system lines only)
  DWORD pageKey;                // stored as the last page whenever the page becomes active
  DWORD reserved[9];            // copied with the request, not read
};

// Bits of tPWUFILEPROPINFO::pages and its mode.
constexpr DWORD WUFILEPROP_PAGE_GENERAL = 0x1;
constexpr DWORD WUFILEPROP_MODE_GENERAL = 1;

// The record a sheet's pages share (their creation parameter). A host that
// embeds the page zero-fills one, sets textId to 1027 and the request's
// fields it wants, and keeps it alive while the page exists.
struct WUFILEPROPPAGE {
  tPWUFILEPROPINFO request;  // the caller's request (fields beyond its size 0)
  HWND parent;               // the window passed to WuFileProperties
  DWORD changed;             // 1 after the text control reported a change, 0 after a reset
  int result;                // what WuFileProperties returns; the General page leaves it 0
  DWORD initialising;        // 1 while the page fills its text
  DWORD centreOnce;          // 1: centre the sheet on its parent when the first page opens
  DWORD embedded;            // 1: the page runs in a host's sheet (its buttons stay as they are)
  DWORD lastPage;            // the page key the active page stored
  DWORD textId;              // the page's text control, 1027
  DWORD reserved[7];         // zero
};

// Shows the sheet modally over `parent` for the first `size` bytes of
// `request` (at most sizeof(tPWUFILEPROPINFO) are read) and returns 0 when
// it closes. 0 without showing anything when the mode is 1 and the General
// page is not requested, or when no page could be made. E_INVALIDARG,
// showing nothing, for a NULL request or caption.
int WuFileProperties(HWND parent, const tPWUFILEPROPINFO* request, DWORD size);

// The General page's procedure for a host's sheet: on WM_INITDIALOG (whose
// page record's lParam is a WUFILEPROPPAGE) marks the page embedded, so the
// host's Cancel and help buttons stay; otherwise as FilePropPageProc.
INT_PTR WuCallFilePropGeneral_DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The General page's dialog procedure. WM_INITDIALOG centres the sheet once
// (when asked), fills the text (the diagnostic listing while Shift is held)
// and, outside a host's sheet, hides Cancel (FilePropHideCancel).
// PSN_SETACTIVE stores the request's page key as the last page, PSN_APPLY
// answers PSNRET_NOERROR, PSN_RESET clears `changed`; EN_CHANGE after
// initialisation sends PSM_CHANGED to the sheet and sets `changed`.
INT_PTR FilePropPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// On the sheet holding `page`: when Cancel (IDCANCEL) is visible, hides it,
// moves OK (IDOK) to Cancel's top-left corner (size and Z order kept) and
// drops WS_EX_CONTEXTHELP from the sheet. A sheet whose Cancel is already
// hidden is left alone.
void FilePropHideCancel(HWND page);

// The page key the last sheet of this process left active (initially 0).
// A later sheet not opened in mode 1 starts on the listed page whose
// template id equals it.
DWORD WuFileProperties_LastPage();
