// The dialog manager (dialog templates in both layouts, modal and modeless
// dialogs, keyboard navigation, default buttons) and message boxes. Part of
// platform/user/windows.h, which callers include.
#pragma once

#include <string>

#include "platform/kernel/types.h"
#include "platform/user/window_model.h"

// ---- Dialogs ----------------------------------------------------------------------------------
constexpr DWORD DS_ABSALIGN = 0x0001;
constexpr DWORD DS_SYSMODAL = 0x0002;
constexpr DWORD DS_3DLOOK = 0x0004;
constexpr DWORD DS_FIXEDSYS = 0x0008;
constexpr DWORD DS_NOFAILCREATE = 0x0010;
constexpr DWORD DS_LOCALEDIT = 0x0020;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_NOIDLEMSG = 0x0100;
constexpr DWORD DS_SETFOREGROUND = 0x0200;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;
constexpr DWORD DS_CENTERMOUSE = 0x1000;
constexpr DWORD DS_CONTEXTHELP = 0x2000;
constexpr DWORD DS_SHELLFONT = DS_SETFONT | DS_FIXEDSYS;

// The dialog class "#32770".
#define WC_DIALOG (MAKEINTATOM(0x8002))

constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr UINT DM_REPOSITION = WM_USER + 2;
constexpr WORD DC_HASDEFID = 0x534B;  // high word of a DM_GETDEFID answer

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// The fixed header of a plain dialog template (18 bytes, 2-byte aligned).
// After it, each as a WORD array: the menu, the class, the title (each 0x0000
// for none, 0xFFFF and an ordinal, or a terminated UTF-16 string), then with
// DS_SETFONT the point size (WORD) and the face name; then the items, each
// on a 4-byte boundary from the template's start: a DLGITEMTEMPLATE, the
// class (0xFFFF and 0x0080 button, 0x0081 edit, 0x0082 static, 0x0083 list
// box, 0x0084 scroll bar, 0x0085 combo box; or a name), the text (0xFFFF and
// a resource id, or a string), and a WORD byte count of creation data that
// follows it.
//
// The extended layout starts with WORD 1 (version), WORD 0xFFFF (signature),
// DWORD help id, DWORD exStyle, DWORD style, WORD item count, SHORT x, y, cx,
// cy (26 bytes); then menu, class and title as above; with DS_SETFONT the
// WORD point size, WORD weight, BYTE italic, BYTE character set and face;
// then the items, each on a 4-byte boundary: DWORD help id, DWORD exStyle,
// DWORD style, SHORT x, y, cx, cy, DWORD id (24 bytes), class, text, WORD
// creation-data size and the data.
#pragma pack(push, 2)
struct DLGTEMPLATE {
  DWORD style;             // WS_* and DS_* bits
  DWORD dwExtendedStyle;   // WS_EX_* bits
  WORD cdit;               // number of items
  SHORT x;                 // position and size in dialog units
  SHORT y;
  SHORT cx;
  SHORT cy;
};
struct DLGITEMTEMPLATE {
  DWORD style;             // WS_* and control style bits
  DWORD dwExtendedStyle;   // WS_EX_* bits
  SHORT x;                 // position and size in dialog units
  SHORT y;
  SHORT cx;
  SHORT cy;
  WORD id;                 // control id
};
#pragma pack(pop)
static_assert(sizeof(DLGTEMPLATE) == 18 && sizeof(DLGITEMTEMPLATE) == 18);

// Modal dialogs. The owner is disabled while the dialog runs and enabled
// again before the dialog is destroyed. The dialog's thread runs the loop
// (IsDialogMessageW for its keys) and, when nothing is queued, lets the front
// end act for the person. Returns the EndDialog result, -1 when the template
// is malformed (ERROR_INVALID_DATA), not found or a control cannot be
// created, 0 when the dialog was destroyed without EndDialog. A WM_QUIT that
// reaches the loop ends it and is posted again.
//
// DialogBoxParamW finds the template as an RT_DIALOG resource of the module
// and checks it against the resource's size. The indirect forms check the
// template against the size of the global memory block it starts (when it
// does) and otherwise trust it to be well formed; the platform:: form takes
// the size.
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR template_name, HWND owner, DLGPROC proc,
                        LPARAM param);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog_template,
                                HWND owner, DLGPROC proc, LPARAM param);
// Modeless dialogs: created, initialised and shown when the template asks
// for WS_VISIBLE. NULL on failure.
HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR template_name, HWND parent, DLGPROC proc,
                        LPARAM param);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const DLGTEMPLATE* dialog_template,
                                HWND parent, DLGPROC proc, LPARAM param);
// Ends a modal dialog with a result. Safe from any thread: it records the
// result and wakes the dialog's loop, which ends at its next turn.
BOOL EndDialog(HWND dialog, INT_PTR result);
// Handles dialog keys (Tab and Shift+Tab move the focus between WS_TABSTOP
// controls, Enter presses the focused push button or else the default one
// (IDOK when there is none), Escape sends IDCANCEL) and passes everything
// else on for the dialog; FALSE when the message is not for this dialog.
BOOL IsDialogMessageW(HWND dialog, MSG* msg);
// The dialog class procedure: calls the dialog procedure and handles what it
// leaves (WM_CLOSE as IDCANCEL, DM_GETDEFID/DM_SETDEFID, WM_NEXTDLGCTL,
// WM_SETFONT/WM_GETFONT, focus restore on activation).
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND control);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wparam, LPARAM lparam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int size);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL is_signed);
// Reads a decimal number (blanks around, a sign when signed); *translated
// FALSE (result 0) for anything else or a value out of range.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL is_signed);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
// Checks `check` and unchecks the other buttons first..last.
BOOL CheckRadioButton(HWND dialog, int first, int last, int check);
// The next (or previous) visible, enabled WS_TABSTOP control after
// `control` (NULL: from the start), wrapping around.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
// The next (or previous) visible, enabled control of `control`'s group
// (WS_GROUP starts a group), wrapping within it.
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

// Dialog units: the dialog font's average character width (of the 52 Latin
// letters, rounded) and height give the base units; x = units * width / 4,
// y = units * height / 8.
LONG GetDialogBaseUnits();  // of the system font: low word width, high word height
BOOL MapDialogRect(HWND dialog, RECT* rect);

// ---- Message boxes -----------------------------------------------------------------------------
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_CANCELTRYCONTINUE = 0x00000006;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFBUTTON4 = 0x00000300;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_HELP = 0x00004000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;
constexpr UINT MB_RIGHT = 0x00080000;
constexpr UINT MB_RTLREADING = 0x00100000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDCLOSE = 8;
constexpr int IDHELP = 9;
constexpr int IDTRYAGAIN = 10;
constexpr int IDCONTINUE = 11;

// A message box: a modal dialog of class "#32770" titled `caption` ("Error"
// when NULL) with the text in a static control (id 0xFFFF), an icon static
// (id 20) for MB_ICON*, and one push button per answer whose id is the
// answer (IDOK...); MB_DEFBUTTONn makes the n-th the default push button
// (the first when the set is shorter). Escape and Close answer IDCANCEL when
// the set has Cancel, IDOK for MB_OK, and are ignored otherwise. The owner
// is disabled while it runs. The calling thread's WH_CBT hooks see
// HCBT_ACTIVATE for the box window and its WH_CALLWNDPROC hooks its
// WM_CREATE. Returns the answer, or 0 (ERROR_INVALID_PARAMETER) for an
// unknown button set.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---- The dialog manager's own interface -----------------------------------------------------------
namespace platform {

// TRUE for a window made by MessageBoxW.
bool IsMessageBoxWindow(HWND window);

// Registers the dialog class "#32770" (the model calls it on its first class
// lookup).
void RegisterDialogClass();             // platform/user/dialogs.cpp

// Runs a modal loop for a dialog window that is already created and
// initialised (message boxes, property sheets): shows it, disables `owner`,
// pumps until EndDialog, lets the front end act when idle, enables the owner
// again and destroys the dialog. Returns the EndDialog result.
INT_PTR RunModalDialog(HWND dialog, HWND owner);

// Creates a modeless dialog from template bytes of a known size (checked
// strictly: every field, string and item inside `size`); shown when the
// template asks for WS_VISIBLE.
HWND CreateDialogFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND parent,
                              DLGPROC proc, LPARAM param);
// The modal form over template bytes of a known size.
INT_PTR DialogBoxFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND owner,
                              DLGPROC proc, LPARAM param);
// Creates a dialog as a child control of `parent` (a property page): the
// template's WS_POPUP, WS_CAPTION, WS_SYSMENU, WS_THICKFRAME, DS_MODALFRAME
// and WS_VISIBLE are dropped (the caller shows it) and WS_CHILD | DS_CONTROL
// added. The size may be 0 when it is not known: then the size of the global
// memory block the template starts is used, or the template is trusted.
HWND CreateChildDialog(HINSTANCE instance, const void* bytes, size_t size, HWND parent,
                       DLGPROC proc, LPARAM param);

// The header facts of a dialog template (either layout), checked as
// CreateDialogFromTemplate checks it; FALSE for a malformed template.
struct DialogTemplateHeader {
  bool extended;          // the extended layout
  DWORD style;            // WS_* and DS_*
  DWORD ex_style;         // WS_EX_*
  int cx;                 // size in dialog units
  int cy;
  std::u16string title;   // caption
  bool has_font;          // DS_SETFONT with a face
  int point_size;         // font size in points
  std::u16string face;    // font face
};
bool ReadDialogTemplateHeader(const void* bytes, size_t size, DialogTemplateHeader* header);
// The pixel size of a template's client area, in the units of its own font.
bool DialogTemplatePixelSize(const void* bytes, size_t size, SIZE* pixels);
// The size to check an indirect template against: the size of the global
// memory block that starts at it, else `fallback`.
size_t IndirectTemplateSize(const void* bytes, size_t fallback);

}  // namespace platform
