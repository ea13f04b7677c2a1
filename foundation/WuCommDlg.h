// The common file and folder dialogs: the folder browser, which always
// hands back a folder with one trailing separator, and the open and save
// dialogs, centred on their owner a third of the way down, starting in the
// folder of the path passed in, with optional help, a hidden type row and
// the typed name's extension following the chosen type.
//
// Every dialog returns S_OK, 0x8004E00C (WU_E_CANCELLED) when the person
// cancels (the caller's buffer is then left as it was), E_FAIL when the
// dialog itself fails and E_INVALIDARG for refused arguments. Buffers and
// sizes are in characters, terminator included. Everything runs on the
// caller's UI thread; only one folder browser may be open at a time.
#pragma once

#include "foundation/WuMetric.h"
#include "platform/shell/commdlg.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// The status code of a cancelled dialog.
constexpr HRESULT WU_E_CANCELLED = static_cast<HRESULT>(0x8004E00Cu);

// Folder-browser mode bits (WuSelectDirectoryDlgEx2).
constexpr DWORD WUSELDIR_STARTATPATH = 0x1;  // start at the folder in the buffer (else the current folder)
constexpr DWORD WUSELDIR_DESKTOPROOT = 0x2;  // root at the desktop (else My Computer)
constexpr DWORD WUSELDIR_EDITBOX = 0x4;      // an edit box with validation (shell 5.0 and later)

// Default flags of the open dialog: OFN_ENABLESIZING | OFN_EXPLORER |
// OFN_FILEMUSTEXIST | OFN_ENABLEHOOK | OFN_HIDEREADONLY.
constexpr DWORD WU_OPENDLG_FLAGS = 0x881024;
// Default flags of the save dialogs: OFN_ENABLESIZING | OFN_EXPLORER |
// OFN_ENABLEHOOK | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT.
constexpr DWORD WU_SAVEDLG_FLAGS = 0x880026;

// What the library's dialog hook reads; it lives on the dialog function's
// stack while the dialog runs and reaches the hook as the custom data.
struct WuFileDlgHookData {
  DWORD help_id;          // help context id
  LPCWSTR help_file;      // help file (".chm": HTML help, else WinHelp); NULL: no help
  int show_file_type;     // 0 hides the file-type label and combo box
  int replace_extension;  // non-zero: a type change replaces the typed name's extension
  void* caller_data;      // the caller's value (not read by the hook)
};

// Control ids the hook moves or fills when the hook dialog supplies them.
constexpr int WUFILEDLG_IDC_LABEL = 1185;      // placed over the file-name label
constexpr int WUFILEDLG_IDC_FOLDER = 328;      // shows the current folder
constexpr int WUFILEDLG_IDC_FREESPACE = 334;   // shows the folder's free space

// ---- Folders ---------------------------------------------------------------------------------
// The folder browser. `path` (at least MAX_PATH characters) gives the
// start folder with WUSELDIR_STARTATPATH and receives the chosen folder
// with one trailing separator. E_INVALIDARG for a NULL buffer or a size
// below MAX_PATH, before anything is touched.
HRESULT WuSelectDirectoryDlgEx2(HWND owner, LPCWSTR title, LPWSTR path, int size, DWORD mode);
// Mode bit 0x1 from `start_at_path`, 0x2 from `desktop_root`.
HRESULT WuSelectDirectoryDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, BOOL start_at_path,
                               BOOL desktop_root);
// Mode 0.
HRESULT WuSelectDirectoryDlg(HWND owner, LPCWSTR title, LPWSTR path, int size);

// ---- Files -------------------------------------------------------------------------------------
// Prepares a dialog record: size, the kernel's module, the file buffer,
// filter index 1, OFN_EXPLORER | OFN_HIDEREADONLY, everything else of the
// dialog's own cleared. Owner, filter, initial folder and template are left
// as they were.
void WuInitOpenFileName(OPENFILENAMEW* record, LPWSTR file, DWORD size);

// The open dialog. `path` gives the start folder and name and receives the
// chosen path (bounded by `size`); `filter_index` (may be NULL: the first
// type) is read and written back. With a hook, a template name and a
// template instance all given, the caller's hook runs with OFN_ENABLETEMPLATE
// and `caller_data` instead of the library's. `metric`, `unused` and
// `reserved` are not used. E_INVALIDARG for a NULL buffer or size 0.
HRESULT WuSelectFileDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                          DWORD* filter_index, HWUMETRIC metric, DWORD help_id, LPCWSTR help_file,
                          DWORD unused, BOOL show_file_type, DWORD flags, LPOFNHOOKPROC hook,
                          LPCWSTR template_name, HINSTANCE template_instance, LPARAM caller_data,
                          int reserved);
// The open dialog with WU_OPENDLG_FLAGS and no template.
HRESULT WuSelectFileDlg(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                        DWORD* filter_index, HWUMETRIC metric, DWORD help_id, LPCWSTR help_file,
                        DWORD unused, BOOL show_file_type);
// The save dialog with WU_SAVEDLG_FLAGS and the library hook.
// E_INVALIDARG when the title, the buffer or the filter is NULL, or the
// size is 0.
HRESULT WuGetFileNameForWriteDlg(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                                 DWORD* filter_index, HWUMETRIC metric, DWORD help_id,
                                 LPCWSTR help_file, DWORD unused, BOOL show_file_type,
                                 BOOL replace_extension);
// The save dialog with the caller's flags (0: WU_SAVEDLG_FLAGS) and, with
// `no_places_bar`, OFN_EX_NOPLACESBAR; a caller template as in the open
// dialog. E_INVALIDARG for a NULL buffer or size 0.
HRESULT WuGetFileNameForWriteDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                                   DWORD* filter_index, HWUMETRIC metric, DWORD help_id,
                                   LPCWSTR help_file, DWORD unused, BOOL show_file_type,
                                   LPOFNHOOKPROC hook, LPCWSTR template_name,
                                   HINSTANCE template_instance, LPARAM caller_data, DWORD flags,
                                   BOOL no_places_bar);

// ---- Library versions --------------------------------------------------------------------------
// Loads the library, asks its "DllGetVersion" and unloads it: the major
// version in bits 48 to 63 and the minor in bits 32 to 47 (low 32 bits 0);
// 0 when the library, the function or the call fails.
ULONGLONG WuGetDllVersion(LPCWSTR dll);
// The shell version 4.71 and 5.0 in WuGetDllVersion's form.
constexpr ULONGLONG WU_DLLVER_4_71 = (4ull << 48) | (71ull << 32);
constexpr ULONGLONG WU_DLLVER_5_0 = 5ull << 48;
