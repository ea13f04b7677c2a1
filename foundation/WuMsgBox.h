// Message boxes: application-wide defaults, a replaceable answering hook, a
// per-thread no-user-interface hook for unattended runs, and a custom box
// with the button sets the platform lacks, a details pane and a "do not
// show again" check box. Button texts come from the kernel language handle.
#pragma once

#include <cstdarg>

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)

// Style word of every box (the platform's MB_ values where they exist).
constexpr UINT WUMB_BUTTONSET_MASK = 0x000F;   // button set
constexpr UINT WUMB_YESYESALLNOCANCEL = 10;    // Yes, Yes to All, No, Cancel
constexpr UINT WUMB_YESNODELETE = 11;          // Yes, No, Delete
constexpr UINT WUMB_YESNONOALLCANCEL = 12;     // Yes, No, No to All, Cancel
constexpr UINT WUMB_YESYESALLNONOALLCANCEL = 13;  // Yes, Yes to All, No, No to All, Cancel
constexpr UINT WUMB_ICON_MASK = 0x00F0;        // icon (MB_ICON*)
constexpr UINT WUMB_DEFBUTTON_MASK = 0x0F00;   // default button index << 8
constexpr UINT WUMB_CHECKBOX = 0x1000;         // show the "do not show again" box
constexpr UINT WUMB_DETAILS = 0xC000;          // Details button and hidden pane

// Results beyond the platform's IDOK..IDNO.
constexpr int WUIDYESTOALL = 100;  // Yes to All
constexpr int WUIDDELETE = 101;    // Delete
constexpr int WUIDNOTOALL = 102;   // No to All

// Answers a box instead of the platform: returns a result code, or -1 to let
// the box be shown normally.
typedef int (*WUMSGBOXHOOK)(void* data, HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);

// Called by the no-UI hook with each message text it answers.
typedef void (*WUMSGBOXNOTIFY)(LPCWSTR text);

// Clears the application record, then stores the module instance, the main
// window (default owner) and the default caption (at most 127 characters
// kept); the calling thread becomes the registered thread. TRUE.
BOOL WuMsgBoxSetAppData(HINSTANCE instance, HWND main_window, LPCWSTR caption);
// Installs (or with NULL removes) the answering hook; FALSE from any thread
// but the registered one.
BOOL WuMsgBoxSetHook(WUMSGBOXHOOK hook, void* data);
// Installs the no-UI hook with `notify` as its data, or with NULL removes it
// when it is the hook in place; FALSE from any thread but the registered one.
BOOL WuMsgBoxSetNoUIHook(WUMSGBOXNOTIFY notify);

// Shows a platform box; owner NULL = the main window's last active pop-up,
// (HWND)-1 = no owner; caption NULL = the default caption.
int WuMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style);
// Formats (through WuVPrintF when the format holds '%' or '$') and shows a
// box with the default caption.
int WuMsgBox(HWND owner, UINT style, LPCWSTR format, ...);
int WuMsgBoxV(HWND owner, UINT style, LPCWSTR format, va_list args);
// As WuMsgBox with the format WuGetString(lang, id).
int WuMsgBoxId(HWULANG lang, HWND owner, UINT style, UINT id, ...);

// The custom box: returns the id of the button that ended it; 0 when details
// mode is asked without details text (or, for the Ex form, the check box
// without a state pointer). `check_text` NULL = the default check-box text.
int WuMsgBox_Custom(HWND owner, UINT style, LPCWSTR details, LPCWSTR format, ...);
int WuMsgBox_CustomEx(HWND owner, UINT style, LPCWSTR details, LPCWSTR check_text,
                      BOOL* check_state, LPCWSTR format, ...);
int WuMsgBox_CustomExV(HWND owner, UINT style, LPCWSTR details, LPCWSTR check_text,
                       BOOL* check_state, LPCWSTR format, va_list args);

// Sets `font` (NULL = the library's UI font) on every child of `dialog`;
// FALSE, doing nothing, when the ANSI code page is 1252.
BOOL WuDlgInitFont(HWND dialog, HFONT font);

// The default caption of the application record (empty before
// WuMsgBoxSetAppData).
LPCWSTR WuMsgBox_GetDefaultCaption();

// ---- Shared by the box's two source files ---------------------------------------------

// Control ids of the custom box.
constexpr int WUMB_ID_ICON = 1001;      // icon static
constexpr int WUMB_ID_PROTOTYPE = 1002; // hidden prototype button
constexpr int WUMB_ID_TEXT = 1003;      // message text
constexpr int WUMB_ID_DETAILS = 200;    // Details button
constexpr int WUMB_ID_PANE = 201;       // read-only details pane
constexpr int WUMB_ID_CHECK = 300;      // "do not show again" check box

// The custom box's creation parameter.
struct WuMsgBoxCustom {
  UINT style;          // box style word
  LPCWSTR text;        // message text
  LPCWSTR details;     // details text (details mode)
  BOOL expanded;       // the details pane is shown
  int details_height;  // pane height plus two margins, in pixels
  BOOL no_close;       // the set has no Cancel: close and Escape are ignored
  LPCWSTR check_text;  // check-box text (check-box mode)
  BOOL* check_state;   // the caller's check-box state (check-box mode)
};

// Runs the custom box modally from its static template; the id of the
// button that ended it, or what the dialog manager returns on failure.
int WuMsgBox_RunCustom(HWND owner, WuMsgBoxCustom* box);

// The application record's module instance.
HINSTANCE WuMsgBox_GetInstance();
