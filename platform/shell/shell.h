// Special folders: the well-known folders of the user and of the machine,
// named by CSIDL numbers, mapped to folders of a Linux system.
//
// Defaults, without WU_STATE_ROOT:
//   user folders      the XDG user folders (~/.config/user-dirs.dirs, else
//                     ~/Desktop, ~/Documents, ~/Music, ~/Pictures, ~/Videos,
//                     ~/Templates)
//   application data  $XDG_CONFIG_HOME (roaming), $XDG_DATA_HOME (local),
//                     $XDG_CACHE_HOME (internet cache), with the XDG defaults
//   program files     /opt, and "/opt/Common Files"
//   Windows, system   platform::MachineStateDir() + "/windows", and
//                     "/windows/system32" below it
//   shared folders    platform::MachineStateDir() + "/programdata" and
//                     "/public/Documents" (Music, Pictures, Videos, Desktop,
//                     Templates)
// With WU_STATE_ROOT set, the user's home is $WU_STATE_ROOT/home (XDG
// variables and user-dirs.dirs are not read) and program files are
// $WU_STATE_ROOT/opt, so nothing outside the state root is touched.
//
// Every folder can be overridden in platform::FolderMapDir() + "/folders.ini":
// section "folders", one key per CSIDL number in decimal, the value a Linux
// folder, e.g. "38=/usr/local/programs". platform::SetSpecialFolder writes
// such a line.
#pragma once

#include <string>
#include <vector>

#include "platform/kernel/types.h"

// ---- Folder numbers (CSIDL) ---------------------------------------------------------
constexpr int CSIDL_DESKTOP = 0x0000;
constexpr int CSIDL_INTERNET = 0x0001;  // virtual: no folder
constexpr int CSIDL_PROGRAMS = 0x0002;
constexpr int CSIDL_CONTROLS = 0x0003;  // virtual
constexpr int CSIDL_PRINTERS = 0x0004;  // virtual
constexpr int CSIDL_PERSONAL = 0x0005;
constexpr int CSIDL_FAVORITES = 0x0006;
constexpr int CSIDL_STARTUP = 0x0007;
constexpr int CSIDL_BITBUCKET = 0x000A;  // virtual
constexpr int CSIDL_MYDOCUMENTS = 0x000C;
constexpr int CSIDL_MYMUSIC = 0x000D;
constexpr int CSIDL_MYVIDEO = 0x000E;
constexpr int CSIDL_DESKTOPDIRECTORY = 0x0010;
constexpr int CSIDL_DRIVES = 0x0011;   // virtual ("My Computer")
constexpr int CSIDL_NETWORK = 0x0012;  // virtual
constexpr int CSIDL_FONTS = 0x0014;
constexpr int CSIDL_TEMPLATES = 0x0015;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_LOCAL_APPDATA = 0x001C;
constexpr int CSIDL_INTERNET_CACHE = 0x0020;
constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_WINDOWS = 0x0024;
constexpr int CSIDL_SYSTEM = 0x0025;
constexpr int CSIDL_PROGRAM_FILES = 0x0026;
constexpr int CSIDL_MYPICTURES = 0x0027;
constexpr int CSIDL_PROFILE = 0x0028;
constexpr int CSIDL_SYSTEMX86 = 0x0029;
constexpr int CSIDL_PROGRAM_FILESX86 = 0x002A;
constexpr int CSIDL_PROGRAM_FILES_COMMON = 0x002B;
constexpr int CSIDL_PROGRAM_FILES_COMMONX86 = 0x002C;
constexpr int CSIDL_COMMON_TEMPLATES = 0x002D;
constexpr int CSIDL_COMMON_DOCUMENTS = 0x002E;
constexpr int CSIDL_COMMON_MUSIC = 0x0035;
constexpr int CSIDL_COMMON_PICTURES = 0x0036;
constexpr int CSIDL_COMMON_VIDEO = 0x0037;
constexpr int CSIDL_RESOURCES = 0x0038;

// Flags added to a folder number.
constexpr int CSIDL_FLAG_CREATE = 0x8000;       // create the folder when missing
constexpr int CSIDL_FLAG_DONT_VERIFY = 0x4000;  // give the path without checking it
constexpr int CSIDL_FLAG_MASK = 0xFF00;         // every flag bit

// Which path SHGetFolderPathW gives.
constexpr DWORD SHGFP_TYPE_CURRENT = 0;  // with overrides
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;  // the default, ignoring overrides

// The folder of a CSIDL (plus flags) into `path` (MAX_PATH characters, no
// trailing separator). S_OK; E_INVALIDARG for a number without a folder;
// E_FAIL when the folder is missing and CSIDL_FLAG_CREATE is not given (the
// path is then empty); the error of the creation when that fails. `hwnd`
// and `token` are ignored: the folders are the calling user's.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPWSTR path);

// The Windows and system folders: the length without terminator, or the
// size needed (with terminator) when `size` is too small.
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);

// ---- Opening documents and web pages ---------------------------------------------------
// ShellExecuteW results at or below 32 are errors.
constexpr int SE_ERR_FNF = 2;            // the file does not exist
constexpr int SE_ERR_PNF = 3;            // a folder of the path does not exist
constexpr int SE_ERR_ACCESSDENIED = 5;   // the program could not be started
constexpr int SE_ERR_OOM = 8;            // out of memory
constexpr int SE_ERR_NOASSOC = 31;       // nothing here opens it
constexpr int SE_OPENED = 42;            // the success value handed back
constexpr DWORD ERROR_NO_ASSOCIATION = 1155;  // last error: nothing opens the target

// Opens a document, a folder or an address ("scheme:...") with the desktop's
// opener: "xdg-open" (searched in PATH) started as a child process with the
// target as its one argument, never through a shell. A document that is an
// executable program is started itself, with `parameters` split as a
// command line and `directory` as its working folder. `verb` NULL, "open"
// and "explore" open; other verbs give SE_ERR_NOASSOC. `window` and `show`
// are not used. Every request is recorded (platform::ShellRequests). When
// no opener exists the request stays recorded only and the result is
// SE_ERR_NOASSOC. Returns a value above 32 on success.
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int show);

namespace platform {

// One ShellExecuteW request as it was made.
struct ShellRequest {
  std::u16string verb;        // the verb ("" for NULL)
  std::u16string file;        // the document, folder or address
  std::u16string parameters;  // parameters ("" for NULL)
  std::u16string directory;   // working folder ("" for NULL)
  int show = 0;               // the show state asked for
  bool started = false;       // a child process was started for it
};

// The requests made since the last ClearShellRequests, oldest first.
std::vector<ShellRequest> ShellRequests();
void ClearShellRequests();
// With `record_only` ShellExecuteW records and answers success without
// starting anything (for tests).
void SetShellRecordOnly(bool record_only);
// The program that opens documents and addresses (a Linux path); empty
// restores the default, "xdg-open" from PATH.
void SetShellOpener(const std::string& program);

// The Linux folder of a CSIDL (flag bits ignored), overrides included;
// empty for a number without a folder. With `create` the folder is made
// when missing (still returned when that fails).
std::string SpecialFolderPath(int csidl, bool create);

// Maps a CSIDL to a Linux folder in the override file; an empty path
// removes the override. FALSE for a number without a folder or when the
// file cannot be written.
bool SetSpecialFolder(int csidl, const std::string& linux_path);

}  // namespace platform
