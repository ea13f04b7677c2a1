// The common file and folder dialogs: the folder browser with its callback
// and subclass, the open and save dialogs with the library's hook, and the
// version query of a library.
#include "foundation/WuCommDlg.h"

#include <new>

#include "foundation/WuFolders.h"
#include "foundation/WuHelp.h"
#include "foundation/WuKernel.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLayout.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/com/com.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/shell/shell.h"
#include "platform/shell/shlobj.h"

namespace {

// ---- Library versions ----------------------------------------------------------------------

ULONGLONG ShellVersion() { return WuGetDllVersion(u"Shell32.dll"); }

// ---- The folder browser --------------------------------------------------------------------

// The window procedure the browser's tree host had before our subclass. One
// process-wide slot: only one folder browser runs at a time.
WNDPROC g_browse_host_proc = nullptr;

// The subclass of the browser's tree host (control id 0): after a folder
// in the tree was renamed while selected, selects nothing and then the
// item again, so that the dialog takes up the renamed folder's path.
LRESULT BrowseHostSubclass(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC previous = g_browse_host_proc;
  if (message == WM_NOTIFY && lparam) {
    auto* header = reinterpret_cast<const NMHDR*>(lparam);
    auto* info = reinterpret_cast<const NMTVDISPINFOW*>(lparam);
    if (header->idFrom == IDC_BROWSE_TREE && header->code == TVN_ENDLABELEDITW && info->item.hItem &&
        info->item.pszText) {
      HTREEITEM item = info->item.hItem;
      HWND tree = header->hwndFrom;
      LRESULT result = CallWindowProcW(previous, window, message, wparam, lparam);
      if (item == reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0))) {
        PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, 0);
        PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
      }
      return result;
    }
  }
  if (message == WM_DESTROY) {
    LRESULT result = CallWindowProcW(previous, window, message, wparam, lparam);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    g_browse_host_proc = nullptr;
    return result;
  }
  return CallWindowProcW(previous, window, message, wparam, lparam);
}

int BrowseCallback(HWND dialog, UINT message, LPARAM lparam, LPARAM data) {
  switch (message) {
    case BFFM_INITIALIZED: {
      if (ShellVersion() >= WU_DLLVER_5_0 && !g_browse_host_proc) {
        if (HWND host = GetDlgItem(dialog, 0)) {
          g_browse_host_proc = reinterpret_cast<WNDPROC>(
              SetWindowLongPtrW(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(BrowseHostSubclass)));
        }
      }
      WCHAR current[MAX_PATH];
      LPCWSTR start = reinterpret_cast<LPCWSTR>(data);
      if (!start) {
        DWORD n = GetCurrentDirectoryW(MAX_PATH, current);
        if (n > 0 && n < MAX_PATH) start = current;
      }
      if (start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
      return 0;
    }
    case BFFM_SELCHANGED: {
      WCHAR path[MAX_PATH];
      if (SHGetPathFromIDListW(reinterpret_cast<LPCITEMIDLIST>(lparam), path)) {
        SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
        SendMessageW(dialog, BFFM_ENABLEOK, 0, TRUE);
      } else {
        SendMessageW(dialog, BFFM_ENABLEOK, 0, FALSE);
      }
      return 0;
    }
    case BFFM_VALIDATEFAILEDW: {
      // "The path is invalid.\n\n%s" with the typed name.
      WCHAR format[512];
      WuStrCpyN(format, WuGetString(WuKernel_GetLangHandle(), &WuLangRow_CommDlgPathInvalid), 500);
      WuStrCatN(format, u"\n\n%s", 512);
      WuMsgBox(dialog, MB_OK | MB_ICONSTOP, format, reinterpret_cast<LPCWSTR>(lparam));
      return 1;  // the dialog stays open
    }
    default:
      return 0;
  }
}

// Length of a text within `size` characters, or -1 when it has no
// terminator there.
int BoundedLength(LPCWSTR text, int size) {
  for (int i = 0; i < size; ++i)
    if (!text[i]) return i;
  return -1;
}

// The start folder as the browser selects it: a drive alone gets its root
// separator ("C:" becomes "C:/"), any other path loses one trailing
// separator (a root "/" is kept).
void NormaliseStartFolder(LPWSTR path, int size) {
  int length = BoundedLength(path, size);
  if (length < 0) return;
  bool drive = length >= 2 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
               path[1] == u':';
  if (length <= 3 && drive) {
    WuAddSlashToPathName(path, size);
  } else {
    WuRemoveSlashFromPathNameEnd(path, size);
  }
}

// ---- The library's file-dialog hook --------------------------------------------------------

bool IsHtmlHelp(LPCWSTR file) { return file && lstrcmpiW(WuGetFileNameExtensionPtrW(file), u".chm") == 0; }

WuFileDlgHookData* HookDataOf(HWND hook) {
  return reinterpret_cast<WuFileDlgHookData*>(GetWindowLongPtrW(hook, GWLP_USERDATA));
}

// A control's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Moves a control of the hook dialog onto the file dialog at `rect`, after
// `after` in the z-order, and shows it.
void MoveOnto(HWND control, HWND file_dialog, HWND after, const RECT& rect) {
  SetParent(control, file_dialog);
  SetWindowPos(control, after, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

void HookInit(HWND hook, const OPENFILENAMEW* record) {
  auto* data = reinterpret_cast<WuFileDlgHookData*>(record->lCustData);
  SetWindowLongPtrW(hook, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
  HWND file_dialog = GetParent(hook);
  ShowWindow(GetDlgItem(file_dialog, lst1), SW_HIDE);
  HWND name_label = GetDlgItem(file_dialog, stc3);
  HWND name_edit = GetDlgItem(file_dialog, edt1);
  HWND label = GetDlgItem(hook, WUFILEDLG_IDC_LABEL);
  if (label && name_label) MoveOnto(label, file_dialog, name_label, RectInParent(name_label));
  HWND folder = GetDlgItem(hook, WUFILEDLG_IDC_FOLDER);
  if (folder && name_edit && name_label) {
    RECT across = RectInParent(name_edit), down = RectInParent(name_label);
    MoveOnto(folder, file_dialog, name_edit, RECT{across.left, down.top, across.right, down.bottom});
  }
  if (data && !data->show_file_type) {
    ShowWindow(GetDlgItem(file_dialog, stc2), SW_HIDE);
    ShowWindow(GetDlgItem(file_dialog, cmb1), SW_HIDE);
  }
}

// The current folder: an existing folder as it is, else the folder part of
// the dialog's current path; empty when the dialog cannot say.
void HookFolderChanged(HWND hook) {
  HWND file_dialog = GetParent(hook);
  WCHAR path[MAX_PATH] = {};
  LRESULT n = SendMessageW(file_dialog, CDM_GETFILEPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
  if (n <= 0 || n > MAX_PATH) {
    path[0] = 0;
  } else if (!WuIsDirectory(path)) {
    if (WuGetPathNameFromFilePath(path, path, MAX_PATH) <= 0) path[0] = 0;
  }
  SetDlgItemTextW(file_dialog, WUFILEDLG_IDC_FOLDER, path);
  WCHAR space[WU_DISKSPACE_TEXT_MAX];
  WuFormatDiskFreeSpace(path, space);
  SetDlgItemTextW(hook, WUFILEDLG_IDC_FREESPACE, space);
}

// The extension of a type item such as "Wave (*.wav;*.aif)": from the first
// '.' after the first '(' up to the next ')' or ';' or the end; ".*" and
// anything starting so is none. False when there is none.
bool TypeExtension(LPCWSTR item, WCHAR* ext, int size) {
  const WCHAR* open = item;
  while (*open && *open != u'(') ++open;
  if (!*open) return false;
  const WCHAR* dot = open;
  while (*dot && *dot != u'.') ++dot;
  if (!*dot || dot[1] == u'*') return false;
  int n = 0;
  for (const WCHAR* p = dot; *p && *p != u')' && *p != u';' && n < size - 1; ++p) ext[n++] = *p;
  ext[n] = 0;
  return n > 1;
}

void HookTypeChanged(HWND hook) {
  WuFileDlgHookData* data = HookDataOf(hook);
  if (!data || !data->replace_extension) return;
  HWND file_dialog = GetParent(hook);
  HWND types = GetDlgItem(file_dialog, cmb1);
  LRESULT index = SendMessageW(types, CB_GETCURSEL, 0, 0);
  LRESULT length = index < 0 ? -1 : SendMessageW(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length < 0 || length >= 1024) return;
  WCHAR item[1024];
  SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item));
  WCHAR ext[MAX_PATH];
  if (!TypeExtension(item, ext, MAX_PATH)) return;
  WCHAR name[MAX_PATH];
  if (GetDlgItemTextW(file_dialog, cmb13, name, MAX_PATH) == 0) return;
  WuReplaceExtensionOnPathName(name, MAX_PATH, ext);
  SetDlgItemTextW(file_dialog, cmb13, name);
}

UINT_PTR LibraryHook(HWND hook, UINT message, WPARAM /*wparam*/, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      HookInit(hook, reinterpret_cast<const OPENFILENAMEW*>(lparam));
      return TRUE;
    case WM_NOTIFY: {
      auto* notify = reinterpret_cast<const OFNOTIFYW*>(lparam);
      WuFileDlgHookData* data = HookDataOf(hook);
      switch (notify->hdr.code) {
        case CDN_INITDONE:
          WuWndCenter(GetParent(hook), nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
          break;
        case CDN_FOLDERCHANGE:
          HookFolderChanged(hook);
          break;
        case CDN_TYPECHANGE:
          HookTypeChanged(hook);
          break;
        case CDN_HELP:
          if (data && data->help_file) {
            WuHelp_ContextHelp(IsHtmlHelp(data->help_file) ? WUHELP_HTMLHELP : WUHELP_WINHELP, GetParent(hook),
                               data->help_id, 1, data->help_file);
            return TRUE;
          }
          break;
        default:
          break;
      }
      return FALSE;
    }
    case WM_HELP: {
      auto* info = reinterpret_cast<const HELPINFO*>(lparam);
      return info && info->iCtrlId == IDHELP ? FALSE : TRUE;
    }
    case WM_DESTROY: {
      WuFileDlgHookData* data = HookDataOf(hook);
      if (data && data->help_file && !IsHtmlHelp(data->help_file))
        WuHelp_ContextHelp(WUHELP_WINHELP, GetParent(hook), 0, 2, data->help_file);
      return FALSE;
    }
    default:
      return FALSE;
  }
}

// ---- Running the file dialogs --------------------------------------------------------------

struct FileDialogArgs {
  bool save;                     // GetSaveFileNameW
  bool init_record;              // prepare with WuInitOpenFileName
  HWND owner;
  LPCWSTR title;
  LPWSTR path;                   // caller's buffer
  int size;                      // its size
  LPCWSTR filter;
  DWORD* filter_index;           // may be NULL
  DWORD help_id;
  LPCWSTR help_file;
  BOOL show_file_type;
  BOOL replace_extension;
  DWORD flags;                   // OFN_*
  DWORD flags_ex;                // OFN_EX_*
  LPOFNHOOKPROC hook;            // caller's hook, template and data
  LPCWSTR template_name;
  HINSTANCE template_instance;
  LPARAM caller_data;
};

// The arguments every file dialog takes; the rest stay zero.
FileDialogArgs CommonArgs(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                          DWORD* filter_index, DWORD help_id, LPCWSTR help_file, BOOL show_file_type) {
  FileDialogArgs a{};
  a.owner = owner;
  a.title = title;
  a.path = path;
  a.size = size;
  a.filter = filter;
  a.filter_index = filter_index;
  a.help_id = help_id;
  a.help_file = help_file;
  a.show_file_type = show_file_type;
  return a;
}

// The caller's own hook with its template and data.
void SetCallerTemplate(FileDialogArgs* a, LPOFNHOOKPROC hook, LPCWSTR template_name,
                       HINSTANCE template_instance, LPARAM caller_data) {
  a->hook = hook;
  a->template_name = template_name;
  a->template_instance = template_instance;
  a->caller_data = caller_data;
}

HRESULT RunFileDialog(const FileDialogArgs& a) {
  if (!a.path || a.size <= 0) return E_INVALIDARG;
  WuFileDlgHookData hook_data{};
  hook_data.help_id = a.help_id;
  hook_data.help_file = a.help_file;
  hook_data.show_file_type = a.show_file_type;
  hook_data.replace_extension = a.save ? a.replace_extension : 0;
  // The caller's text, read only within its buffer.
  int length = BoundedLength(a.path, a.size);
  WCHAR* start = new (std::nothrow) WCHAR[static_cast<size_t>(a.size) + 1];
  WCHAR* file = new (std::nothrow) WCHAR[static_cast<size_t>(a.size)];
  if (!start || !file) {
    delete[] start;
    delete[] file;
    return E_OUTOFMEMORY;
  }
  WuStrCpyN(start, a.path, length < 0 ? a.size : length + 1);
  WCHAR folder[MAX_PATH];
  bool has_folder = WuGetPathNameFromFilePath(start, folder, MAX_PATH) > 0;
  WuStrCpyN(file, WuGetFileNamePtrW(start), a.size);

  OPENFILENAMEW record{};
  if (a.init_record) WuInitOpenFileName(&record, file, static_cast<DWORD>(a.size));
  record.lStructSize = sizeof(record);
  record.hwndOwner = a.owner;
  record.hInstance = WuKernel_GetAppKernel();
  record.lpstrFilter = a.filter;
  record.lpstrTitle = a.title;
  record.nFilterIndex = a.filter_index ? *a.filter_index : 1;
  record.lpstrFile = file;
  record.nMaxFile = static_cast<DWORD>(a.size);
  record.lpstrInitialDir = has_folder ? folder : nullptr;
  record.Flags = a.flags;
  record.FlagsEx = a.flags_ex;
  record.lpfnHook = LibraryHook;
  record.lCustData = reinterpret_cast<LPARAM>(&hook_data);
  if (a.hook && a.template_name && a.template_instance) {
    record.Flags |= OFN_ENABLETEMPLATE | (a.save ? OFN_EXPLORER : 0);
    record.lpfnHook = a.hook;
    record.lpTemplateName = a.template_name;
    record.hInstance = a.template_instance;
    record.lCustData = a.caller_data;
  }
  BOOL chosen = a.save ? GetSaveFileNameW(&record) : GetOpenFileNameW(&record);
  HRESULT hr;
  if (chosen) {
    if (a.filter_index) *a.filter_index = record.nFilterIndex;
    WuStrCpyN(a.path, file, a.size);
    hr = S_OK;
  } else {
    hr = CommDlgExtendedError() ? E_FAIL : WU_E_CANCELLED;
  }
  delete[] start;
  delete[] file;
  return hr;
}

}  // namespace

// ==== Folders ================================================================================

HRESULT WuSelectDirectoryDlgEx2(HWND owner, LPCWSTR title, LPWSTR path, int size, DWORD mode) {
  // The buffer is checked before anything reads or writes it.
  if (!path || size < MAX_PATH) return E_INVALIDARG;
  bool start_at_path = (mode & WUSELDIR_STARTATPATH) != 0;
  if (start_at_path) NormaliseStartFolder(path, size);
  HRESULT hr = CoInitialize(nullptr);
  if (FAILED(hr)) return hr;
  IMalloc* allocator = nullptr;
  hr = SHGetMalloc(&allocator);
  if (FAILED(hr)) {
    CoUninitialize();
    return hr;
  }
  LPITEMIDLIST root = nullptr;
  hr = SHGetSpecialFolderLocation(owner, (mode & WUSELDIR_DESKTOPROOT) ? CSIDL_DESKTOP : CSIDL_DRIVES, &root);
  if (FAILED(hr)) {
    allocator->Release();
    CoUninitialize();
    return hr;
  }
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = root;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallback;
  // An unterminated start path is not handed on.
  info.lParam = start_at_path && BoundedLength(path, size) >= 0 ? reinterpret_cast<LPARAM>(path) : 0;
  ULONGLONG version = ShellVersion();
  bool ole = false;
  if (version >= WU_DLLVER_5_0) {
    // OLE for the calling thread: a single-threaded apartment.
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
      info.ulFlags |= BIF_NEWDIALOGSTYLE;
      ole = true;
    }
    if (mode & WUSELDIR_EDITBOX) info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
  } else if (version >= WU_DLLVER_4_71) {
    info.ulFlags |= BIF_EDITBOX | BIF_VALIDATE;
  }
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  if (!chosen) {
    hr = WU_E_CANCELLED;
  } else {
    WCHAR folder[MAX_PATH];
    // The folder comes back with its separator, or not at all.
    if (SHGetPathFromIDListW(chosen, folder) && WuStrCpyNLen(path, folder, size) > 0 &&
        (WuIsPathSeparator(path[WuStrLenSafe(path) - 1]) || WuAddSlashToPathName(path, size) > 0)) {
      hr = S_OK;
    } else {
      path[0] = 0;
      hr = E_FAIL;
    }
    allocator->Free(chosen);
  }
  allocator->Free(root);
  allocator->Release();
  if (ole) CoUninitialize();
  CoUninitialize();
  return hr;
}

HRESULT WuSelectDirectoryDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, BOOL start_at_path,
                               BOOL desktop_root) {
  DWORD mode = (start_at_path ? WUSELDIR_STARTATPATH : 0) | (desktop_root ? WUSELDIR_DESKTOPROOT : 0);
  return WuSelectDirectoryDlgEx2(owner, title, path, size, mode);
}

HRESULT WuSelectDirectoryDlg(HWND owner, LPCWSTR title, LPWSTR path, int size) {
  return WuSelectDirectoryDlgEx2(owner, title, path, size, 0);
}

// ==== Files ==================================================================================

void WuInitOpenFileName(OPENFILENAMEW* record, LPWSTR file, DWORD size) {
  if (!record) return;
  record->lStructSize = sizeof(OPENFILENAMEW);
  record->hInstance = WuKernel_GetAppKernel();
  record->lpstrCustomFilter = nullptr;
  record->nMaxCustFilter = 0;
  record->nFilterIndex = 1;
  record->lpstrFile = file;
  record->nMaxFile = size;
  record->lpstrFileTitle = nullptr;
  record->nMaxFileTitle = 0;
  record->lpstrTitle = nullptr;
  record->Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  record->nFileOffset = 0;
  record->nFileExtension = 0;
  record->lpstrDefExt = nullptr;
  record->lCustData = 0;
  record->lpfnHook = nullptr;
}

HRESULT WuSelectFileDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                          DWORD* filter_index, HWUMETRIC /*metric*/, DWORD help_id, LPCWSTR help_file,
                          DWORD /*unused*/, BOOL show_file_type, DWORD flags, LPOFNHOOKPROC hook,
                          LPCWSTR template_name, HINSTANCE template_instance, LPARAM caller_data,
                          int /*reserved*/) {
  FileDialogArgs a = CommonArgs(owner, title, path, size, filter, filter_index, help_id, help_file,
                                show_file_type);
  a.flags = flags;
  SetCallerTemplate(&a, hook, template_name, template_instance, caller_data);
  return RunFileDialog(a);
}

HRESULT WuSelectFileDlg(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                        DWORD* filter_index, HWUMETRIC metric, DWORD help_id, LPCWSTR help_file,
                        DWORD unused, BOOL show_file_type) {
  return WuSelectFileDlgEx(owner, title, path, size, filter, filter_index, metric, help_id, help_file, unused,
                           show_file_type, WU_OPENDLG_FLAGS, nullptr, nullptr, nullptr, 0, 0);
}

HRESULT WuGetFileNameForWriteDlg(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                                 DWORD* filter_index, HWUMETRIC /*metric*/, DWORD help_id,
                                 LPCWSTR help_file, DWORD /*unused*/, BOOL show_file_type,
                                 BOOL replace_extension) {
  if (!title || !path || !filter || size <= 0) return E_INVALIDARG;
  FileDialogArgs a = CommonArgs(owner, title, path, size, filter, filter_index, help_id, help_file,
                                show_file_type);
  a.save = true;
  a.init_record = true;
  a.replace_extension = replace_extension;
  a.flags = WU_SAVEDLG_FLAGS;
  return RunFileDialog(a);
}

HRESULT WuGetFileNameForWriteDlgEx(HWND owner, LPCWSTR title, LPWSTR path, int size, LPCWSTR filter,
                                   DWORD* filter_index, HWUMETRIC /*metric*/, DWORD help_id,
                                   LPCWSTR help_file, DWORD /*unused*/, BOOL show_file_type,
                                   LPOFNHOOKPROC hook, LPCWSTR template_name,
                                   HINSTANCE template_instance, LPARAM caller_data, DWORD flags,
                                   BOOL no_places_bar) {
  FileDialogArgs a = CommonArgs(owner, title, path, size, filter, filter_index, help_id, help_file,
                                show_file_type);
  a.save = true;
  a.flags = flags ? flags : WU_SAVEDLG_FLAGS;
  a.flags_ex = no_places_bar ? OFN_EX_NOPLACESBAR : 0;
  SetCallerTemplate(&a, hook, template_name, template_instance, caller_data);
  return RunFileDialog(a);
}

// ==== Library versions ========================================================================

ULONGLONG WuGetDllVersion(LPCWSTR dll) {
  HMODULE module = dll ? LoadLibraryW(dll) : nullptr;
  if (!module) return 0;
  ULONGLONG version = 0;
  auto get_version = reinterpret_cast<DLLGETVERSIONPROC>(GetProcAddress(module, "DllGetVersion"));
  DLLVERSIONINFO info{};
  info.cbSize = sizeof(info);
  if (get_version && SUCCEEDED(get_version(&info)))
    version = (static_cast<ULONGLONG>(info.dwMajorVersion & 0xFFFF) << 48) |
              (static_cast<ULONGLONG>(info.dwMinorVersion & 0xFFFF) << 32);
  FreeLibrary(module);
  return version;
}
