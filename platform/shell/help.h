// Help viewers: WinHelpW and the HTML help entry "HtmlHelpW" of the help
// control module "HHCTRL.OCX" (a built-in module, found by LoadLibraryW).
//
// There is no help viewer here: each request is recorded (for tests and
// diagnostics, platform::HelpRequests) and answered as the viewer would.
// - WinHelpW is refused on system version 6.0 and later (FALSE,
//   ERROR_CALL_NOT_IMPLEMENTED). Otherwise HELP_QUIT succeeds, and every
//   other command succeeds when the help file exists.
// - HtmlHelpW answers the help window for a file that exists (the part of
//   the name before "::" or ">"), NULL with ERROR_FILE_NOT_FOUND for one
//   that does not. The help window is one hidden pop-up window, made on
//   first use on the calling thread; HH_CLOSE_ALL destroys it and answers
//   NULL.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/types.h"

// ---- WinHelp commands ------------------------------------------------------------------
constexpr UINT HELP_CONTEXT = 0x0001;       // show the topic with this context id
constexpr UINT HELP_QUIT = 0x0002;          // close the help file
constexpr UINT HELP_CONTENTS = 0x0003;      // show the contents
constexpr UINT HELP_INDEX = 0x0003;         // the same
constexpr UINT HELP_HELPONHELP = 0x0004;    // help on using help
constexpr UINT HELP_SETINDEX = 0x0005;      // set the contents topic
constexpr UINT HELP_CONTEXTPOPUP = 0x0008;  // a topic in a pop-up window
constexpr UINT HELP_FINDER = 0x000B;        // the topics dialog
constexpr UINT HELP_WM_HELP = 0x000C;       // pop-up for a control

// ---- HTML help commands ----------------------------------------------------------------
constexpr UINT HH_DISPLAY_TOPIC = 0x0000;       // open a topic
constexpr UINT HH_HELP_FINDER = 0x0000;         // the same
constexpr UINT HH_DISPLAY_TOC = 0x0001;         // the contents
constexpr UINT HH_DISPLAY_INDEX = 0x0002;       // the index
constexpr UINT HH_DISPLAY_SEARCH = 0x0003;      // the search page
constexpr UINT HH_DISPLAY_TEXT_POPUP = 0x000E;  // a text pop-up (data: HH_POPUP*)
constexpr UINT HH_HELP_CONTEXT = 0x000F;        // a topic by context id
constexpr UINT HH_CLOSE_ALL = 0x0012;           // close every help window

// A text pop-up of HH_DISPLAY_TEXT_POPUP.
struct HH_POPUP {
  int cbStruct;            // size of this record
  HINSTANCE hinst;         // module of a string resource, or NULL
  UINT idString;           // the text's id (in the file's popup text), or 0
  LPCWSTR pszText;         // the text itself when idString is 0
  POINT pt;                // where the pop-up appears (screen)
  COLORREF clrForeground;  // text colour, -1 for the default
  COLORREF clrBackground;  // background colour, -1 for the default
  RECT rcMargins;          // margins, -1 for the defaults
  LPCWSTR pszFont;         // "face, size[, charset][, BOLD ITALIC UNDERLINE]"
};

// The type of the help control's "HtmlHelpW".
typedef HWND (*HTMLHELPW_FN)(HWND caller, LPCWSTR file, UINT command, DWORD_PTR data);

// Opens WinHelp for a file (see the top of this file). TRUE on success.
BOOL WinHelpW(HWND window, LPCWSTR file, UINT command, ULONG_PTR data);

// ---- Simple mail interface -------------------------------------------------------------
// The records of "MAPISendMail", the export of the mail library "MAPI32.DLL".
// No mail library exists here: LoadLibraryW of that name fails unless a
// host or a test registers one (platform::CreateExportModule). Texts are in
// the ANSI code page.
constexpr ULONG MAPI_ORIG = 0;       // recipient class: the sender
constexpr ULONG MAPI_TO = 1;         // recipient class: "to"
constexpr ULONG MAPI_CC = 2;         // recipient class: copy
constexpr ULONG MAPI_LOGON_UI = 0x00000001;  // send flag: a logon dialog when needed
constexpr ULONG MAPI_DIALOG = 0x00000008;    // send flag: show the send dialog
constexpr ULONG SUCCESS_SUCCESS = 0;         // sent
constexpr ULONG MAPI_USER_ABORT = 1;         // the user cancelled
constexpr ULONG MAPI_E_FAILURE = 2;          // failed
constexpr ULONG MAPI_E_LOGON_FAILURE = 3;    // the logon failed

struct MapiRecipDesc {
  ULONG ulReserved;    // 0
  ULONG ulRecipClass;  // MAPI_ORIG, MAPI_TO, MAPI_CC
  LPSTR lpszName;      // display name
  LPSTR lpszAddress;   // address, or NULL
  ULONG ulEIDSize;     // bytes of lpEntryID
  LPVOID lpEntryID;    // the mail system's id, or NULL
};

struct MapiFileDesc {
  ULONG ulReserved;    // 0
  ULONG flFlags;       // attachment flags, 0
  ULONG nPosition;     // character position in the note text, -1: none
  LPSTR lpszPathName;  // the file to attach
  LPSTR lpszFileName;  // the name the recipient sees, or NULL
  LPVOID lpFileType;   // reserved, NULL
};

struct MapiMessage {
  ULONG ulReserved;               // 0
  LPSTR lpszSubject;              // subject, or NULL
  LPSTR lpszNoteText;             // body, or NULL
  LPSTR lpszMessageType;          // NULL: an ordinary message
  LPSTR lpszDateReceived;         // NULL when sending
  LPSTR lpszConversationID;       // NULL
  ULONG flFlags;                  // 0 when sending
  MapiRecipDesc* lpOriginator;    // NULL when sending
  ULONG nRecipCount;              // entries of lpRecips
  MapiRecipDesc* lpRecips;        // recipients
  ULONG nFileCount;               // entries of lpFiles
  MapiFileDesc* lpFiles;          // attachments
};

// The type of "MAPISendMail": session 0 for a new one, the parent window.
typedef ULONG (*LPMAPISENDMAIL)(ULONG_PTR session, ULONG_PTR ui_param, MapiMessage* message,
                                ULONG flags, ULONG reserved);

namespace platform {

// One help request as it was made.
struct HelpRequest {
  enum class Kind { kWinHelp, kHtmlHelp };
  Kind kind = Kind::kWinHelp;  // which entry was called
  HWND window = nullptr;       // the calling or owning window
  std::u16string file;         // the file as given ("" for NULL)
  UINT command = 0;            // the command
  DWORD_PTR data = 0;          // the data word as given
  bool has_popup = false;      // an HH_POPUP came with it (fields below)
  UINT popup_id = 0;           // its idString
  POINT popup_point = {};      // its pt
  COLORREF popup_colors[2] = {};  // its foreground and background
  RECT popup_margins = {};     // its rcMargins
  std::u16string popup_font;   // its pszFont ("" for NULL)
  bool succeeded = false;      // what the request was answered
};

// The requests made since the last ClearHelpRequests, oldest first.
std::vector<HelpRequest> HelpRequests();
void ClearHelpRequests();

// The help control's export `name` ("HtmlHelpW"), or null. The module table
// answers GetProcAddress on "HHCTRL.OCX" with it.
void* HelpControlExport(const char* name);

}  // namespace platform
