// The common open and save dialogs, on the window model.
//
// A file dialog is a modal dialog ("Open" / "Save As" unless a title is
// given) with these controls, by their usual ids:
//   1091 "Look in:" label and 1137 the current folder (a drop-down list)
//   1120 a hidden list box (kept for hooks that look for it)
//   1121 the folder's entries: ".." first, then folders ("name/") and the
//        files that match the selected type's patterns; picking a folder
//        goes into it, picking a file puts its name into the name field
//   1090 "File name:" label, 1148 the name field (an editable combo box)
//        and 1152 a hidden edit with the field's rectangle
//   1089 "Files of type:" label and 1136 the types (a drop-down list)
//   IDOK "Open" / "Save", IDCANCEL "Cancel", 1038 "Help" (OFN_SHOWHELP)
// With OFN_EXPLORER | OFN_ENABLEHOOK a child dialog is made for the hook
// (from the caller's template with OFN_ENABLETEMPLATE or
// OFN_ENABLETEMPLATEHANDLE, else an empty one). The hook receives
// WM_INITDIALOG with the OPENFILENAMEW as lParam and then WM_NOTIFY with an
// OFNOTIFYW for CDN_INITDONE, CDN_FOLDERCHANGE, CDN_SELCHANGE,
// CDN_TYPECHANGE, CDN_HELP and CDN_FILEOK (a non-zero DWLP_MSGRESULT
// refuses the name); it may send the CDM_* messages to the file dialog
// (the hook dialog's parent). Without OFN_EXPLORER hooks are not supported
// (CDERR_NOHOOK... the call fails with CDERR_INITIALIZATION).
//
// OK takes the name field: a folder (relative to the current one or
// absolute) is entered; otherwise the name is joined to the current folder,
// given the default extension when it has none, and checked
// (OFN_PATHMUSTEXIST, OFN_FILEMUSTEXIST with a "not found" box,
// OFN_OVERWRITEPROMPT with a Yes/No box) before CDN_FILEOK. Front ends
// choose a path through platform::ChoosePath (platform/user/frontend.h). The
// process's current folder is never changed by the dialogs (as with
// OFN_NOCHANGEDIR).
#pragma once

#include "platform/kernel/types.h"
#include "platform/user/windows.h"

typedef UINT_PTR (*LPOFNHOOKPROC)(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The record of both dialogs (the full form, with the FlagsEx field).
struct OPENFILENAMEW {
  DWORD lStructSize;            // sizeof(OPENFILENAMEW)
  HWND hwndOwner;               // owner window (may be NULL)
  HINSTANCE hInstance;          // template module (OFN_ENABLETEMPLATE) or template (..HANDLE)
  LPCWSTR lpstrFilter;          // pairs of description and patterns, ended by an empty text
  LPWSTR lpstrCustomFilter;     // not supported (ignored)
  DWORD nMaxCustFilter;         // size of lpstrCustomFilter
  DWORD nFilterIndex;           // in/out: selected filter, from 1 (0: the first)
  LPWSTR lpstrFile;             // in/out: initial name or path; receives the chosen path
  DWORD nMaxFile;               // size of lpstrFile in characters
  LPWSTR lpstrFileTitle;        // receives the chosen name without folder (may be NULL)
  DWORD nMaxFileTitle;          // its size
  LPCWSTR lpstrInitialDir;      // starting folder when lpstrFile holds none (NULL: current)
  LPCWSTR lpstrTitle;           // caption (NULL: "Open" / "Save As")
  DWORD Flags;                  // OFN_*
  WORD nFileOffset;             // out: where the name starts in lpstrFile
  WORD nFileExtension;          // out: where the extension starts (after the '.'); the end when none
  LPCWSTR lpstrDefExt;          // extension added to a name without one (no '.')
  LPARAM lCustData;             // passed to the hook in WM_INITDIALOG's record
  LPOFNHOOKPROC lpfnHook;       // hook procedure (OFN_ENABLEHOOK)
  LPCWSTR lpTemplateName;       // hook dialog template (OFN_ENABLETEMPLATE)
  void* pvReserved;             // 0
  DWORD dwReserved;             // 0
  DWORD FlagsEx;                // OFN_EX_*
};
typedef OPENFILENAMEW* LPOPENFILENAMEW;

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_SHOWHELP = 0x00000010;
constexpr DWORD OFN_ENABLEHOOK = 0x00000020;
constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080;
constexpr DWORD OFN_NOVALIDATE = 0x00000100;
constexpr DWORD OFN_ALLOWMULTISELECT = 0x00000200;
constexpr DWORD OFN_EXTENSIONDIFFERENT = 0x00000400;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_SHAREAWARE = 0x00004000;
constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
constexpr DWORD OFN_NOTESTFILECREATE = 0x00010000;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;
constexpr DWORD OFN_NOLONGNAMES = 0x00040000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_NODEREFERENCELINKS = 0x00100000;
constexpr DWORD OFN_LONGNAMES = 0x00200000;
constexpr DWORD OFN_ENABLEINCLUDENOTIFY = 0x00400000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;
constexpr DWORD OFN_DONTADDTORECENT = 0x02000000;
constexpr DWORD OFN_FORCESHOWHIDDEN = 0x10000000;
constexpr DWORD OFN_EX_NOPLACESBAR = 0x00000001;

// Control ids of the file dialogs.
constexpr int pshHelp = 1038;   // Help button
constexpr int stc2 = 1089;      // "Files of type:" label
constexpr int stc3 = 1090;      // "File name:" label
constexpr int stc4 = 1091;      // "Look in:" label
constexpr int lst1 = 1120;      // hidden list box
constexpr int lst2 = 1121;      // the folder's entries
constexpr int cmb1 = 1136;      // the types
constexpr int cmb2 = 1137;      // the current folder
constexpr int cmb13 = 1148;     // the name field
constexpr int edt1 = 1152;      // hidden edit under the name field

// Notifications to the hook (WM_NOTIFY, lParam an OFNOTIFYW).
constexpr UINT CDN_FIRST = 0U - 601U;
constexpr UINT CDN_INITDONE = CDN_FIRST - 0;
constexpr UINT CDN_SELCHANGE = CDN_FIRST - 1;
constexpr UINT CDN_FOLDERCHANGE = CDN_FIRST - 2;
constexpr UINT CDN_SHAREVIOLATION = CDN_FIRST - 3;
constexpr UINT CDN_HELP = CDN_FIRST - 4;
constexpr UINT CDN_FILEOK = CDN_FIRST - 5;
constexpr UINT CDN_TYPECHANGE = CDN_FIRST - 6;

struct OFNOTIFYW {
  NMHDR hdr;               // hwndFrom: the file dialog; code: CDN_*
  LPOPENFILENAMEW lpOFN;   // the caller's record
  LPWSTR pszFile;          // CDN_SHAREVIOLATION only
};

// Messages to the file dialog. The CDM_GET* answers are the length with
// terminator; when the buffer is smaller, nothing is copied and the
// length needed is returned; a negative answer is a failure.
constexpr UINT CDM_FIRST = WM_USER + 100;
constexpr UINT CDM_GETSPEC = CDM_FIRST + 0;        // the name field's text
constexpr UINT CDM_GETFILEPATH = CDM_FIRST + 1;    // the current folder joined with the name
constexpr UINT CDM_GETFOLDERPATH = CDM_FIRST + 2;  // the current folder
constexpr UINT CDM_SETCONTROLTEXT = CDM_FIRST + 4; // wParam id, lParam text
constexpr UINT CDM_HIDECONTROL = CDM_FIRST + 5;    // wParam id
constexpr UINT CDM_SETDEFEXT = CDM_FIRST + 6;      // lParam the extension

// Runs the dialogs. TRUE with the chosen path in lpstrFile. FALSE when the
// person cancels (CommDlgExtendedError 0) or on failure (its code).
BOOL GetOpenFileNameW(LPOPENFILENAMEW record);
BOOL GetSaveFileNameW(LPOPENFILENAMEW record);

// The calling thread's last common-dialog error (0: none, or cancelled).
DWORD CommDlgExtendedError();

// Error codes of CommDlgExtendedError.
constexpr DWORD CDERR_DIALOGFAILURE = 0xFFFF;   // the dialog could not be made
constexpr DWORD CDERR_STRUCTSIZE = 0x0001;      // bad lStructSize
constexpr DWORD CDERR_INITIALIZATION = 0x0002;  // bad arguments
constexpr DWORD CDERR_NOTEMPLATE = 0x0003;      // no template name / handle
constexpr DWORD CDERR_NOHINSTANCE = 0x0004;     // no module for the template
constexpr DWORD CDERR_FINDRESFAILURE = 0x0006;  // the template is not found
constexpr DWORD CDERR_NOHOOK = 0x000B;          // hook flag without a hook
constexpr DWORD FNERR_SUBCLASSFAILURE = 0x3001; // not used
constexpr DWORD FNERR_INVALIDFILENAME = 0x3002; // bad initial name
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;  // lpstrFile too small: its first WORDs hold the size needed
