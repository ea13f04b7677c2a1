// The shell-link object: an in-process class that holds what a shortcut
// describes (target path, arguments, working folder, description, icon
// location, hot key and show command), created with CoCreateInstance of
// CLSID_ShellLink and used through IShellLinkW. Through IPersistFile
// (platform/com/persist.h) it loads and saves shortcut files
// (platform/shell/shortcut_file.h): Load replaces the whole link with the
// file's (a damaged file fails with HRESULT_FROM_WIN32(ERROR_BAD_FORMAT), a
// file that cannot be opened with its file error, and either leaves the
// object as it was); Save writes a temporary file beside the target and
// renames it over the target. The item-id list and the extra-data blocks of
// a loaded file are kept as bytes and saved again unchanged.
#pragma once

#include "platform/com/com.h"
#include "platform/com/persist.h"
#include "platform/kernel/types.h"

// The class id. It is defined beside the class, which registers itself
// with the platform's built-in classes when the program starts: a program
// that names CLSID_ShellLink links the class and can create it; one that
// never does carries none of it.
extern const CLSID CLSID_ShellLink;
inline constexpr IID IID_IShellLinkW = {0x000214F9, 0x0000, 0x0000,
                                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Flags of GetPath.
constexpr DWORD SLGP_SHORTPATH = 0x1;    // short form (same as the long form here)
constexpr DWORD SLGP_UNCPRIORITY = 0x2;  // UNC form first
constexpr DWORD SLGP_RAWPATH = 0x4;      // as stored, references not expanded

// Flags of Resolve.
constexpr DWORD SLR_NO_UI = 0x1;  // never ask the user

// An item list (defined in platform/shell/shlobj.h; this header and that one
// may be included together).
struct ITEMIDLIST;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;

// Every getter copies at most `size` characters including the terminator
// (a longer value is cut and terminated) and answers E_INVALIDARG for a
// NULL buffer or a size below 1. Setters copy the text (NULL stores the
// empty text); texts longer than the store's limit (MAX_PATH for paths and
// the working folder, INFOTIPSIZE for description and arguments) are
// refused with E_INVALIDARG and leave the old value.
class IShellLinkW : public IUnknown {
 public:
  // The target path: the first of the local path (base path and suffix),
  // the network share and suffix, the target of the environment-variable
  // block (expanded with ExpandEnvironmentStringsW unless SLGP_RAWPATH), and
  // the relative path resolved against the folder of the link's current
  // file (as stored without one). S_FALSE with an empty text when there is
  // none (an item-id list alone gives no path). `find` may be NULL and is
  // not filled.
  virtual HRESULT GetPath(LPWSTR file, int size, void* find, DWORD flags) = 0;
  // The item-id list of a loaded file is kept as bytes for Save, not
  // interpreted or handed out: E_NOTIMPL.
  virtual HRESULT GetIDList(PIDLIST_ABSOLUTE* list) = 0;
  virtual HRESULT SetIDList(PCIDLIST_ABSOLUTE list) = 0;
  virtual HRESULT GetDescription(LPWSTR name, int size) = 0;
  virtual HRESULT SetDescription(LPCWSTR name) = 0;
  virtual HRESULT GetWorkingDirectory(LPWSTR dir, int size) = 0;
  virtual HRESULT SetWorkingDirectory(LPCWSTR dir) = 0;
  virtual HRESULT GetArguments(LPWSTR args, int size) = 0;
  virtual HRESULT SetArguments(LPCWSTR args) = 0;
  // Hot key: virtual key in the low byte, modifiers in the high byte.
  virtual HRESULT GetHotkey(WORD* hotkey) = 0;
  virtual HRESULT SetHotkey(WORD hotkey) = 0;
  // Show command of the started program (SW_SHOWNORMAL by default).
  virtual HRESULT GetShowCmd(int* show) = 0;
  virtual HRESULT SetShowCmd(int show) = 0;
  virtual HRESULT GetIconLocation(LPWSTR path, int size, int* index) = 0;
  virtual HRESULT SetIconLocation(LPCWSTR path, int index) = 0;
  // Stores the relative path, which Save writes and GetPath falls back on
  // when the link has no other path.
  virtual HRESULT SetRelativePath(LPCWSTR path, DWORD reserved) = 0;
  // S_OK when the path GetPath gives (expanded) exists through the file
  // layer (drive map included), S_FALSE when it does not or there is none.
  // Nothing else is searched, nothing is asked; the flags and the window
  // are not used.
  virtual HRESULT Resolve(HWND window, DWORD flags) = 0;
  // Sets the local path, which GetPath and Save take before any other.
  virtual HRESULT SetPath(LPCWSTR file) = 0;

 protected:
  ~IShellLinkW() = default;
};

// Longest description or argument text, terminator included.
constexpr int INFOTIPSIZE = 1024;

namespace platform {

// Makes a new shell-link object and asks it for `iid` (the class factory
// behind CLSID_ShellLink).
HRESULT CreateShellLink(REFIID iid, void** object);

}  // namespace platform
