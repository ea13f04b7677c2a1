// The shell-link object: an in-process class that holds what a shortcut
// describes (target path, arguments, working folder, description, icon
// location, hot key and show command), created with CoCreateInstance of
// CLSID_ShellLink and used through IShellLinkW.
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

inline constexpr CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
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
  // The target path; S_FALSE with an empty text when none is set. `find`
  // may be NULL.
  virtual HRESULT GetPath(LPWSTR file, int size, void* find, DWORD flags) = 0;
  // Item lists are not kept by this object: E_NOTIMPL.
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
  // Stored and given back by GetPath with SLGP_RAWPATH semantics unchanged;
  // no relative resolution is done.
  virtual HRESULT SetRelativePath(LPCWSTR path, DWORD reserved) = 0;
  // S_OK when the target path exists, S_FALSE when it does not (nothing is
  // searched or asked).
  virtual HRESULT Resolve(HWND window, DWORD flags) = 0;
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
