// The self-extractor's wizard: the destination page (dialog 1100), the
// progress page (dialog 1000), the file-exists question (dialog 1200), the
// cancel confirmation, and the banner and heading the pages paint. Texts
// and dialogs come through the run's language handle; the pages share
// their place, banner, title font and folder through the run state.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Runs the pages modally, from the progress page or from the destination
// page. TRUE when the progress page ended with 1 (extraction ended); FALSE
// when the person cancelled, a page ended with 2 or could not be shown.
BOOL SfxRunWizard(BOOL startOnProgressPage);

// The pages' dialog procedures.
INT_PTR SfxDestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);
INT_PTR SfxProgressPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam);

// ---- Banner and heading ------------------------------------------------------------------
// Loads the banner from a PNG file (when `path` is not empty), else from
// the built-in PNG resource 107, into a DIB section kept in the run state
// with its width and height. 0 also when neither gives a bitmap (the pages
// then show none); the resource's failure otherwise.
HRESULT SfxLoadBanner(LPCWSTR path);
// Draws the banner at (x, 11): x = client width - banner width, then 20
// when that is above 40, 0 when it is not above 0, else half of it.
void SfxPaintBanner(HWND window, HDC dc);
// Draws UI string `textId` below the banner in the title font and colour,
// between the left and right edges of control `controlId`.
void SfxPaintHeading(HWND window, HDC dc, UINT textId, int controlId);

// ---- Placement ---------------------------------------------------------------------------
// Moves a page to the saved position (size kept), or centres it when none
// is saved.
void SfxPlaceWindow(HWND window);
// Saves the page's top-left screen position for the next page.
void SfxSaveWindowPosition(HWND window);

// ---- Questions ----------------------------------------------------------------------------
// "Do you wish to cancel the installation?" (Yes/No); TRUE on Yes.
BOOL SfxConfirmCancel(HWND owner);
// FALSE for an empty text or one holding '"', '*', '<', '>', '?' or '|'.
BOOL SfxIsValidFolderText(LPCWSTR text);
// The folder dialog, starting at `current`; TRUE when a folder was chosen
// (it is then the extraction folder).
BOOL SfxBrowseForFolder(HWND window, LPCWSTR current);
// Shows dialog 1200 for `fileName` (read-only wording with `readOnly`);
// the id of the button pressed (2002..2005, 2), or -1 when it cannot be
// shown.
INT_PTR SfxShowFileExistsDialog(HWND owner, LPCWSTR fileName, BOOL readOnly);
INT_PTR SfxFileExistsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
