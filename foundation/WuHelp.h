// Help files, web pages and mail.
//
// Help files are found by one set of rules: in the shared help folder named
// by the value "HelpFolder" of HKEY_LOCAL_MACHINE
// "Software\Talvene\Shared Information", or beside the module, as WinHelp
// (".hlp") or HTML help (".chm"), preferring a variant in the user-interface
// language of the kernel language handle. For a stem and an extension and
// the language's three-letter abbreviation the variants tried are
// stem+abbrev+ext, stem+"_"+abbrev+ext, then the first file matching
// stem+abbrev-without-its-last-letter+"*"+ext. No variant is sought for an
// empty abbreviation or "enu".
//
// WinHelp is refused on system version 6.0 and later: its paths are empty
// and its calls do nothing. HTML help is reached through the help control
// module "HHCTRL.OCX", loaded on first use and kept for the process.
//
// Web pages open in the default browser; mail goes through the simple mail
// interface of "MAPI32.DLL", loaded and released around each call.
//
// All of these run on the UI thread. Buffers and sizes are in characters,
// terminator included; every copy is bounded and terminated.
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Help types.
constexpr int WUHELP_WINHELP = 0;   // ".hlp" through WinHelpW
constexpr int WUHELP_HTMLHELP = 1;  // ".chm" through the help control

// Page numbers of Internet_BrowseWebPage (passed as the address pointer's
// value, like a resource id).
constexpr int WUWEB_NEWS = 101;     // product news
constexpr int WUWEB_FAQ = 102;      // frequently asked questions
constexpr int WUWEB_SUPPORT = 103;  // technical support
constexpr int WUWEB_HOME = 104;     // home page
constexpr int WUWEB_PRODUCT = 105;  // this product's page

// ---- Default help files ------------------------------------------------------------------
// Stores the default help file of a type (used when a call gives no file);
// NULL clears it. WinHelp is ignored on version 6.0 and later.
void WuHelp_SetHelpFilePath(int type, LPCWSTR path);
// Copies the default help file of a type (bounded); WinHelp on version 6.0
// and later, and unknown types, give an empty text. Returns the length.
int WuHelp_GetHelpFilePath(int type, LPWSTR buffer, int size);

// ---- Finding help files -------------------------------------------------------------------
// `file` (may be NULL) replaces the module's file name; the extension is set
// by type (".hlp" or ".chm"; other types keep it). Language variants are
// tried unless `no_variant` is set.

// The help path beside the module. TRUE when a path was made (FALSE and an
// empty text for WinHelp on version 6.0 and later, or a bad buffer).
BOOL WuHelp_CreateHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size, LPCWSTR file,
                               BOOL no_variant);
// The help path in the shared help folder; TRUE when the folder exists
// (whether or not the file does).
BOOL WuHelp_CreateSharedHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size,
                                     LPCWSTR file, BOOL no_variant);
// The shared path when the shared folder exists, else the path beside the
// module. TRUE when a path was made.
BOOL WuHelp_CreateHelpFilePathEX(int type, HMODULE module, LPWSTR buffer, int size, LPCWSTR file,
                                 BOOL no_variant);
// The path beside the module, or beside the main program when that file is
// missing. TRUE when the final file exists.
BOOL WuHelp_CreateUnsharedHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size);
// The first existing of the shared and the unshared path, the shared one
// first when `prefer_shared`; an empty text and FALSE when neither exists.
BOOL WuHelp_CreatePluginHelpFilePath(int type, HMODULE module, LPWSTR buffer, int size,
                                     BOOL prefer_shared);

// ---- Showing help ----------------------------------------------------------------------------
// Opens help: WinHelpW(window, file, command, data) or the HTML help entry
// (desktop owner, file, command, data). `file` NULL: the type's default.
// Non-zero on success; 0 for an empty file, a missing WinHelp file with
// command 0 or 2, or WinHelp on version 6.0 and later.
BOOL WuHelp_ContextHelp(int type, HWND window, DWORD_PTR data, UINT command, LPCWSTR file);
// Shows a context pop-up for a control. `map` (may be NULL) is a list of
// {control id, help id} pairs ended by a 0 control id; a control missing
// from it takes `default_id`. Non-zero on success.
BOOL WuHelp_ContextPopupHelp(int type, HWND window, DWORD default_id, int control_id,
                             const DWORD* map, LPCWSTR file);
// Finds the toolbar button under the help request's mouse position and
// stores its command id as info->iCtrlId. TRUE when one is found.
BOOL WuHelp_HitTestToolbar(HWND toolbar, HELPINFO* info);

// ---- Web and mail ----------------------------------------------------------------------------
// Opens a page in the default browser: a page number (WUWEB_*) as the
// pointer's value, or an address. Returns the shell's result (above 32 on
// success).
HINSTANCE Internet_BrowseWebPage(HWND window, LPCWSTR page);
// The send dialog of the mail client for a new message with a file
// attached. S_OK when sent or cancelled by the user; E_FAIL when there is no
// mail library, the logon failed or the mail call failed.
HRESULT Internet_MailFile(HWND window, LPCWSTR path, LPCWSTR name, LPCWSTR subject);
// The send dialog for a new message to one recipient; results as above.
HRESULT Internet_SendMail(HWND window, LPCWSTR subject, LPCWSTR recipient_name,
                          LPCWSTR recipient_address);
// Internet_SendMail to the product's technical-support address.
HRESULT Internet_SendFeedback(HWND window, LPCWSTR subject);
