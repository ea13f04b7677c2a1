// The shell's name space over the file system: item lists that name folders
// and files, the shell allocator, and the folder browser.
//
// An item list is a run of items, each a 16-bit byte count (counting itself)
// and that many bytes, ended by an item of count 0; the empty list names
// the desktop. Our items carry one kind byte and a UTF-16 name:
//   the computer ("My Computer"), which holds the file-system roots;
//   a root: "/", a drive "X:" or a share "//server/share";
//   a name below the root, one folder or file per item.
// So "/home/ann" is [computer]["/"]["home"]["ann"] and "C:\x" is
// [computer]["C:"]["x"]. Lists are task memory (CoTaskMemAlloc) and are
// freed with ILFree, CoTaskMemFree or the shell allocator.
//
// The folder browser is a modal dialog of the window model: a tree of
// folders (control 100), the caller's title text, a status text, an
// optional edit box, OK and Cancel. With BIF_NEWDIALOGSTYLE the tree sits
// in a host window of control id 0, which handles the tree's notifications
// and may be subclassed. The caller's callback hears BFFM_INITIALIZED,
// BFFM_SELCHANGED and BFFM_VALIDATEFAILEDW and may send the BFFM_SET*
// messages and BFFM_ENABLEOK back. Front ends choose a folder through
// platform::ChoosePath (platform/user/frontend.h).
//
// The built-in module "shell32.dll" exports "DllGetVersion", reporting the
// shell version platform::SetShellVersion sets (6.0 by default).
#pragma once

#include "platform/com/com.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/types.h"
#include "platform/shell/shell.h"
#include "platform/user/windows.h"

// ---- Item lists -----------------------------------------------------------------------
#pragma pack(push, 1)
struct SHITEMID {
  USHORT cb;       // bytes of this item, the count included; 0 ends the list
  BYTE abID[1];    // the item's bytes
};
struct ITEMIDLIST {
  SHITEMID mkid;   // the first item
};
#pragma pack(pop)
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;

// Bytes of a list, its terminator included; 0 for NULL.
UINT ILGetSize(LPCITEMIDLIST list);
// A copy in task memory; NULL for NULL or when memory runs out.
LPITEMIDLIST ILClone(LPCITEMIDLIST list);
// Frees a list (NULL: nothing).
void ILFree(LPITEMIDLIST list);
// TRUE when both name the same item (names compared exactly, drive letters
// without case).
BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b);
// The last item of a list (the terminator for the desktop); NULL for NULL.
LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list);
// The list of an existing file or folder (relative paths against the
// current folder); NULL when it does not exist.
LPITEMIDLIST ILCreateFromPathW(LPCWSTR path);

// The path of a list into `path` (MAX_PATH characters, '/' separators, a
// root keeps its separator: "/", "C:/"). The desktop gives the desktop
// folder. FALSE with an empty text for the computer or a path that does not
// fit.
BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path);

// Parses a path into a new list (*list; NULL on failure). The file or
// folder must exist: HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) otherwise,
// E_INVALIDARG for NULL arguments. The bind context must be NULL; the
// attribute masks are answered with 0.
HRESULT SHParseDisplayName(LPCWSTR name, void* bind_context, LPITEMIDLIST* list,
                           DWORD attributes_in, DWORD* attributes_out);

// The list of a special folder: CSIDL_DESKTOP is the empty list,
// CSIDL_DRIVES the computer, any other the folder's path
// (SHGetFolderPathW). E_INVALIDARG for a bad out pointer or a folder
// without a path.
HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list);
HRESULT SHGetFolderLocation(HWND owner, int csidl, HANDLE token, DWORD reserved,
                            LPITEMIDLIST* list);

// ---- The shell allocator ------------------------------------------------------------------
inline constexpr IID IID_IMalloc = {0x00000002, 0x0000, 0x0000,
                                    {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Task memory behind an interface.
class IMalloc : public IUnknown {
 public:
  virtual void* Alloc(SIZE_T bytes) = 0;
  virtual void* Realloc(void* block, SIZE_T bytes) = 0;
  virtual void Free(void* block) = 0;
  // The block's size, or (SIZE_T)-1 when unknown.
  virtual SIZE_T GetSize(void* block) = 0;
  // 1 for a block of this allocator, -1 when unknown.
  virtual int DidAlloc(void* block) = 0;
  virtual void HeapMinimize() = 0;

 protected:
  ~IMalloc() = default;
};

// A reference to the process's task-memory allocator (release it). E_POINTER
// for a NULL out pointer.
HRESULT SHGetMalloc(IMalloc** allocator);

// ---- The folder browser -----------------------------------------------------------------
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;  // OK only for folders with a file-system path
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002; // accepted, no effect
constexpr UINT BIF_STATUSTEXT = 0x0004;        // show the status text
constexpr UINT BIF_RETURNFSANCESTORS = 0x0008; // accepted, no effect
constexpr UINT BIF_EDITBOX = 0x0010;           // an edit box for a typed name
constexpr UINT BIF_VALIDATE = 0x0020;          // a typed name that names nothing: BFFM_VALIDATEFAILEDW
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;    // the resizable form with the tree in a host window
constexpr UINT BIF_USENEWUI = BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
constexpr UINT BIF_NONEWFOLDERBUTTON = 0x0200; // accepted, no effect
constexpr UINT BIF_BROWSEINCLUDEFILES = 0x4000; // files are listed too

// Messages to the callback.
constexpr UINT BFFM_INITIALIZED = 1;          // the dialog is ready (lParam 0)
constexpr UINT BFFM_SELCHANGED = 2;           // lParam: the selected item's list
constexpr UINT BFFM_VALIDATEFAILEDW = 4;      // lParam: the typed text; non-zero keeps the dialog open
constexpr UINT BFFM_IUNKNOWN = 5;             // not sent
// Messages to the dialog.
constexpr UINT BFFM_ENABLEOK = WM_USER + 101;         // lParam: enable
constexpr UINT BFFM_SETSELECTIONW = WM_USER + 103;    // wParam TRUE: lParam a path, else a list
constexpr UINT BFFM_SETSTATUSTEXTW = WM_USER + 104;   // lParam: the text
constexpr UINT BFFM_SETOKTEXT = WM_USER + 105;        // lParam: the OK button's text
constexpr UINT BFFM_SETEXPANDED = WM_USER + 106;      // as BFFM_SETSELECTIONW, expands the item

// Control ids of the browser.
constexpr int IDC_BROWSE_HOST = 0;        // host of the tree (BIF_NEWDIALOGSTYLE)
constexpr int IDC_BROWSE_TREE = 100;      // the folder tree
constexpr int IDC_BROWSE_STATUS = 14145;  // status text
constexpr int IDC_BROWSE_TITLE = 14146;   // the caller's title text
constexpr int IDC_BROWSE_EDITLABEL = 14147;  // label of the edit box
constexpr int IDC_BROWSE_EDIT = 14148;    // the edit box

// The tree's label-edit notification (TVN_ENDLABELEDITW): the item and its
// new text (pszText NULL when the edit was cancelled).
struct NMTVDISPINFOW {
  NMHDR hdr;      // the header
  TVITEMW item;   // the item; pszText the new label
};

typedef int (*BFFCALLBACK)(HWND dialog, UINT message, LPARAM lparam, LPARAM data);

struct BROWSEINFOW {
  HWND hwndOwner;            // owner window
  LPCITEMIDLIST pidlRoot;    // root of the tree (NULL: the desktop)
  LPWSTR pszDisplayName;     // receives the chosen item's name (MAX_PATH; may be NULL)
  LPCWSTR lpszTitle;         // text above the tree (may be NULL)
  UINT ulFlags;              // BIF_*
  BFFCALLBACK lpfn;          // callback (may be NULL)
  LPARAM lParam;             // the callback's data
  int iImage;                // receives the item's image index (0)
};

// Runs the browser. Returns the chosen item's list (free it with the shell
// allocator, ILFree or CoTaskMemFree), or NULL when the person cancels, a
// typed name fails validation and the callback lets the dialog end, or the
// dialog cannot be made.
LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* info);

// ---- Shell library version -----------------------------------------------------------------
// The record "DllGetVersion" fills; cbSize must be at least 20.
struct DLLVERSIONINFO {
  DWORD cbSize;          // sizeof(DLLVERSIONINFO), set by the caller
  DWORD dwMajorVersion;  // major version
  DWORD dwMinorVersion;  // minor version
  DWORD dwBuildNumber;   // build number
  DWORD dwPlatformID;    // DLLVER_PLATFORM_WINDOWS or _NT
};
constexpr DWORD DLLVER_PLATFORM_WINDOWS = 1;
constexpr DWORD DLLVER_PLATFORM_NT = 2;
typedef HRESULT (*DLLGETVERSIONPROC)(DLLVERSIONINFO* info);

namespace platform {

// The version "shell32.dll" reports through "DllGetVersion" (tests
// simulate older shells); 6.0 until set.
void SetShellVersion(DWORD major, DWORD minor);

// Registers the built-in module "shell32.dll" once; later calls do nothing.
// GetModuleHandleW and LoadLibraryW then find it by name. It is registered
// when the program starts; the functions here call it again, harmlessly.
void RegisterShellModule();

}  // namespace platform
