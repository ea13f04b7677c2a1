// Window and dialog layout helpers: centring windows, keeping rectangles on
// the desktop, saving and restoring window placements through the settings
// store, nudging and sizing dialog controls, small questions about controls
// and windows, and a few window chores (previous instance, classes, empty
// toolbar, OLE initialisation).
//
// Rectangles are in screen coordinates unless a helper says otherwise. The
// work area of a rectangle is the work area of the monitor MonitorFromRect
// picks for it (MONITOR_DEFAULTTOPRIMARY), or the screen DC's clip box when
// no monitor can be had. All helpers run on the thread that owns the
// windows they touch.
#pragma once

#include "foundation/WuMetric.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// ---- WuWndCenter flags ----------------------------------------------------------------
constexpr UINT WUWC_CENTER = 0x0000;        // centre on the reference
constexpr UINT WUWC_THIRD = 0x0001;         // centred across, a third of the way down
constexpr UINT WUWC_ATCURSOR = 0x0002;      // the window's centre goes to the cursor
constexpr UINT WUWC_ATPOINT = 0x0003;       // the window's centre goes to the given point
constexpr UINT WUWC_MODEMASK = 0x000F;      // the mode is the low four bits
constexpr UINT WUWC_CLIENTRECT = 0x1000;    // use the reference's client rectangle
constexpr UINT WUWC_PARENT = 0x8000;        // the window's parent is the reference

// ---- Positioning ------------------------------------------------------------------------
// Moves `window` (no size or z-order change, not activated) by the mode in
// the low four bits of `flags`, relative to the reference rectangle: the
// parent's (WUWC_PARENT; the screen when there is none or it is
// minimised), else `reference`'s window or, with WUWC_CLIENTRECT, client
// rectangle, else the screen. `point` is used by WUWC_ATPOINT (NULL:
// centre). A top-level window is kept inside its work area; a child window
// is placed in its parent's client coordinates and not clamped to the
// desktop. Returns what SetWindowPos returns (FALSE for a bad window).
BOOL WuWndCenter(HWND window, HWND reference, const POINT* point, UINT flags);
// Moves `rect`, keeping its size, into its work area shrunk by the margins
// (left and top edges win for a rectangle larger than the area).
void WuForceRectOntoDesktop(RECT* rect, int margin_x, int margin_y);
// Places `popup` (keeping its size) diagonally at the corner of `anchor`
// that faces the centre of the anchor's work area shrunk by the margins;
// forced into that area when it does not fit.
void WuForcePopupRectOntoDesktop(RECT* popup, const RECT* anchor, int margin_x, int margin_y);
// TRUE when at least max(SM_CYSMCAPTION / 2, 3) pixels by as many of the
// rectangle's caption strip (its top SM_CYSMCAPTION rows) lie on one
// monitor.
BOOL WuIsWindowCaptionVisible(const RECT* window_rect);
// A minimised show state becomes normal; when the normal rectangle's caption
// would not be visible, that rectangle is forced onto the desktop.
void WuFixWindowPlacement(WINDOWPLACEMENT* placement);

// Modes of WuLoadWindowPlacement.
constexpr int WUWP_LOAD = 1;            // stored record only
constexpr int WUWP_LOAD_OR_DEFAULT = 2; // stored record, else a default one
// Reads the 44-byte placement stored as binary setting `key`. 0 when a whole
// record was read (in mode 2 also only when both coordinates of its
// maximised position are negative), else 1: in mode 2 the record then holds
// a default placement (show state normal, the primary work area inset by a
// sixteenth on each side), in other modes whatever was read.
int WuLoadWindowPlacement(HWUMETRIC store, int key, int mode, WINDOWPLACEMENT* placement);

// Operations of WuWindowPlacement.
constexpr int WUWP_SAVE = 0;             // store the window's placement
constexpr int WUWP_RESTORE = 1;          // apply a stored placement, if any
constexpr int WUWP_RESTORE_DEFAULT = 2;  // apply a stored or a default placement
// Saves (the settings store's result) or restores the window's placement.
// Restoring returns 1 at once when operation 1 finds nothing usable;
// otherwise it applies the fixed placement and returns the load's result
// (0, or 1 when the default was used), or E_FAIL when it cannot be applied.
// E_FAIL for any other operation.
HRESULT WuWindowPlacement(HWND window, HWUMETRIC store, int key, int operation);

// ---- Dialog controls ----------------------------------------------------------------------
// Moves control `id` by (dx, dy) in the dialog's client coordinates; FALSE
// when there is no such control.
BOOL WuDlgDeltaControlMove(HWND dialog, int id, int dx, int dy);
// Grows control `id`'s window by (dcx, dcy), keeping its position; FALSE
// when there is no such control.
BOOL WuDlgDeltaControlSize(HWND dialog, int id, int dcx, int dcy);
// Enables (or disables) / shows (SW_SHOWNA, or hides) each listed control.
void WuDlgEnableControls(HWND dialog, const int* ids, int count, BOOL enable);
void WuDlgShowControls(HWND dialog, const int* ids, int count, BOOL show);
// The first id in first..last whose button is checked, else `default_id`.
int WuDlgWhichRadioButton(HWND dialog, int first, int last, int default_id);
// The control's window rectangle in the dialog's client coordinates. The
// control is `control`, or looked up by `id` when that is NULL. FALSE and an
// empty rectangle when it does not exist.
BOOL WuDlgGetControlRect(HWND dialog, HWND control, int id, RECT* rect);
// TRUE when (x, y) lies in control `id`'s window rectangle (right and
// bottom excluded); with `client` the rectangle is first mapped into the
// dialog's client coordinates.
BOOL WuIsMouseInControl(HWND dialog, int id, int x, int y, BOOL client);
// Gives the hook dialog's control the horizontal extent of the main dialog's
// control (main NULL: the hook's parent), keeping its vertical extent.
// FALSE when either control is missing.
BOOL WuSetHorizHookControlPos(HWND hook, HWND main, int hook_id, int main_id);
// Widens the hook dialog to reach the main dialog's right edge (main NULL:
// the hook's parent) when it falls short; TRUE when nothing had to change.
BOOL WuLineupHookWithMainDialog(HWND hook, HWND main);
// For the focus window: a dropped combo box is closed (TRUE); an edit control
// makes its parent move the focus on (WM_NEXTDLGCTL 0, 0) (FALSE); else
// FALSE. The argument is not used.
BOOL WuDlgUndropComboBox(LPARAM unused);

// ---- Windows and controls ----------------------------------------------------------------
// The client rectangle plus the room of the window's scroll bars.
BOOL WuGetRealClientRect(HWND window, RECT* rect);
// Width: sum of the visible buttons' widths; height: the greatest of their
// heights; 0 and 0 without visible buttons. FALSE without a SIZE.
BOOL WuGetToolbarSize(HWND toolbar, SIZE* size);
// An empty toolbar child window at 0, 0, 0, 0 in the language handle's
// module, told the button record size; NULL on failure.
HWND WuCreateToolbarEmpty(HWULANG lang, HWND parent, DWORD style, UINT id);
// Moves the caret to the end; with `add_line` starts a new line there unless
// the caret already is at a line's start.
void Edit_CursorToEnd(HWND edit, BOOL add_line);
// The selection (-1 and -1 when the control does not answer).
void Edit_GetSelection(HWND edit, int* start, int* end);
DWORD WuGetWindowStyle(HWND window);
// Finds the first top-level window of the class and brings it (or its last
// active pop-up) forward, restoring a minimised pop-up. The window, or NULL.
HWND WuActivatePrevAppInstance(LPCWSTR class_name);
// A new moveable global block holding a copy of `mem`; NULL on failure.
HGLOBAL WuCopyHandle(HGLOBAL mem);
ATOM WuRegisterClass(const WNDCLASSW* wc);
// FALSE for a NULL name or a class not registered for the instance.
BOOL WuUnregisterClass(LPCWSTR class_name, HINSTANCE instance);
// Non-zero: initialises OLE for the calling thread unless this helper
// already did. Zero: takes back this helper's initialisation. Returns the
// initialisation's result (S_OK when nothing had to be done).
HRESULT WuOleInit(BOOL initialize);
