// Project-link info and application launch: find and load the project link
// that a media file carries, find the application registered for the
// project's file type, and reopen the project in it: handed over to a
// running instance of the creating application (WM_COPYDATA), or in a new
// process.
//
// Results are HRESULTs (0 success); output pointers are cleared before any
// work. The launch dialogs (102 "Run Application", 103 "Source Project Not
// Found") come from WuShellUIResPool.
#pragma once

#include "fileio/WuFileIO.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

class CWuLinkProjectInfo;

// ---- Failure codes ----------------------------------------------------------------------
constexpr HRESULT WU_E_PROJLINK_APP_MISSING = WuStatusCode(0x8004E0A6);     // the application file does not exist
constexpr HRESULT WU_E_PROJLINK_NOT_OWN_APP = WuStatusCode(0x8004E05C);     // not one of the library's applications
constexpr HRESULT WU_E_PROJLINK_PROJECT_MISSING = WuStatusCode(0x8004E05E); // the project file does not exist

// ---- The launch request -------------------------------------------------------------------
// tWULAUNCHAPPINFO::flags
constexpr LONG WULAUNCH_CHECK_ONLY = 0x1;      // load and check, never launch
constexpr LONG WULAUNCH_SHOW_DIALOG = 0x4;     // show "Run Application" first
constexpr LONG WULAUNCH_RUN_BUTTON = 0x8;      // that dialog offers its Run button
constexpr LONG WULAUNCH_NO_HANDOVER = 0x10;    // never offer the project to a running instance
constexpr LONG WULAUNCH_LOCATE_PROJECT = 0x20; // a missing project may be located by the user
// tWULAUNCHAPPINFO::options (0 means both)
constexpr DWORD WULAUNCH_OPT_OWN_APP = 0x1;    // the application must be one of the library's own
constexpr DWORD WULAUNCH_OPT_SECURITY = 0x2;   // "Launch with security" (shown hidden)

// The launch request, filled by the caller.
struct tWULAUNCHAPPINFO {
  LONG flags;                   // WULAUNCH_*
  DWORD options;                // WULAUNCH_OPT_*; 0 means 3
  LPCWSTR mediaPath;            // the media file; may be NULL when a reader is given
  LPCWSTR caption;              // caption of "Run Application"; NULL keeps the dialog's own
  IWuReadFile* reader;          // an open reader of the media file, or NULL
  IWuFileIOMgrForApp* manager;  // required: opens a reader for mediaPath
  LONG doNotShowAgain;          // out: the dialog's check box when it was closed
  LPWSTR projectPath;           // out: the project path (or the located one); may be NULL
                                //   except with WULAUNCH_LOCATE_PROJECT
  LONG projectPathSize;         // its capacity in characters
};

// Capacities of the launch texts, in characters with the terminator.
constexpr int WULAUNCH_PATH_CHARS = 260;       // application and project paths
constexpr int WULAUNCH_ARGS_CHARS = 2048;      // the argument text
constexpr int WULAUNCH_COMMAND_CHARS = 2311;   // the command started

// What the two launch dialogs are given.
struct tWULAUNCHDLGINFO {
  tWULAUNCHAPPINFO* request;              // the caller's request
  CWuLinkProjectInfo* info;               // the loaded project link
  WCHAR appPath[WULAUNCH_PATH_CHARS];     // the application
  WCHAR arguments[WULAUNCH_ARGS_CHARS];   // its argument text
  BOOL knownApp;                          // WuIsKnownOrvoApp(appPath)
  HWND parent;                            // the dialogs' parent window
  WCHAR projectPath[WULAUNCH_PATH_CHARS]; // the project path of the link
  WCHAR located[WULAUNCH_ARGS_CHARS];     // the path the user picked in dialog 103 (whole)
};

// ---- Exported functions -------------------------------------------------------------------

// Finds and loads the project link of the request's media file into
// `info` (an initialised record). `path` (`size` characters) receives the
// media path used: the request's path, or the reader's file name. With a
// reader (the request's, or one the manager opens for the path) that offers
// a metadata reader, the link comes through it; otherwise from the side
// file (the media path with ".wul" appended) when that opens. *loaded is 0
// on entry and 1 when a link was loaded. E_INVALIDARG for a missing
// argument, manager, or both media path and reader; 0x8004E016 when no
// media path could be determined; 0 when there is no side file.
HRESULT WuGetProjectLinkInfo(LPWSTR path, int size, tWULAUNCHAPPINFO* request,
                             CWuLinkProjectInfo* info, int* loaded);

// Reopens the project of the request's media file in its application. 0
// when started (or, with WULAUNCH_CHECK_ONLY or a cancelled dialog, when
// all checks passed), 1 when a running instance took the project, else
// the failure (see the codes above, 0x8004E00A no link, 0x8004E05D a link
// without path or command line, 0x8004E03C a command line too long,
// 0x8007xxxx registry or process start failures).
HRESULT WuLaunchApp_ProjLink(HWND parent, tWULAUNCHAPPINFO* request);

// The application path of the open command registered for `ext` (with its
// dot) under HKEY_CLASSES_ROOT, into `out` of `size` characters (bounded):
// the command's first token, the text inside its leading quotation marks
// (up to the end when the closing one is missing) or up to the first
// blank. E_INVALIDARG for a null argument or a size below 1; a registry
// failure e as 0x80070000 | e.
HRESULT WuLaunch_GetAppPathForExt(LPCWSTR ext, LPWSTR out, int size);

// TRUE when the program's version block holds non-empty texts "WuCharSet",
// "WuLangName" and "WuLangID"; FALSE for NULL, a program without a block or
// a damaged one, or an empty or missing text.
BOOL WuIsKnownOrvoApp(LPCWSTR program);

// ---- Steps ----------------------------------------------------------------------------------

// The open command of the extension's file type (at most 519 characters,
// bounded by `size`). 0 or 0x80070000 | the registry's error.
HRESULT ProjLink_QueryOpenCommand(LPCWSTR ext, LPWSTR out, int size);

// The argument text of a command line for a media file, into `out` of
// `size` characters: an empty command line gives the media path in
// quotation marks; one holding "%s" gives the command line with each "%s"
// replaced by the media path and each "%%" by "%" (nothing else is
// interpreted); any other gives the command line, a blank and the media
// path in quotation marks. 0x8004E03C when the text does not fit.
HRESULT ProjLink_BuildArguments(LPCWSTR commandLine, LPCWSTR mediaPath, LPWSTR out, int size);

// Offers the link's project path to each top-level window of the link's
// creator window class (WM_COPYDATA, dwData 28, the path with its
// terminator). 1 when a window took it, 0 when none did or the link names
// no class or no path; E_INVALIDARG for NULL.
HRESULT ProjLink_SendToCreatorWindow(CWuLinkProjectInfo* info);

// Starts the application: the command is the application path in
// quotation marks, then a blank and the argument text when there is one
// (at most 2,310 characters), started with no separate application name.
// 0, 0x8004E03C when the command does not fit, or the translated error.
HRESULT ProjLink_StartProcess(LPCWSTR appPath, LPCWSTR arguments);

// The dialogs' set-up and procedures (the parameter is a tWULAUNCHDLGINFO).
void ProjLink_InitRunDialog(HWND dialog, tWULAUNCHDLGINFO* dlg);
INT_PTR ProjLink_RunDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
void ProjLink_InitNotFoundDialog(HWND dialog, tWULAUNCHDLGINFO* dlg);
INT_PTR ProjLink_NotFoundDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// The WM_COPYDATA dwData of a project handed to a running instance.
constexpr ULONG_PTR WULAUNCH_COPYDATA_PROJECT = 28;
