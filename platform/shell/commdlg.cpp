// The common open and save dialogs on the window model: the dialog and its
// controls, folder navigation, the hook dialog with its notifications, the
// CDM_* requests and the checks of the OK button.
#include "platform/shell/commdlg.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/frontend.h"

namespace platform {
namespace {

thread_local DWORD g_error = 0;  // CommDlgExtendedError of this thread

constexpr INT_PTR kFailed = 3;   // EndDialog result of a failed dialog (g_error holds why)
constexpr LPCWSTR kHookProp = u"platform.FileDialogHook";

// What one running file dialog keeps; it lives on the caller's stack.
struct FileDialog {
  OPENFILENAMEW* ofn;                      // the caller's record
  bool save;                               // the save dialog
  std::u16string folder;                   // the current folder ('/' separators)
  std::vector<std::u16string> type_names;  // the filter's descriptions
  std::vector<std::u16string> patterns;    // the filter's patterns ("*.wav;*.aif")
  std::u16string default_ext;              // added to a name without extension
  HWND dialog = nullptr;                   // the file dialog
  HWND hook = nullptr;                     // the hook dialog, or NULL
};

FileDialog* StateOf(HWND dialog) {
  return reinterpret_cast<FileDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

bool IsSeparator(WCHAR c) { return c == u'/' || c == u'\\'; }

bool IsAbsolute(const std::u16string& path) {
  return (!path.empty() && IsSeparator(path[0])) || platform::StartsWithDrive(path);
}

bool IsFolder(const std::u16string& path) {
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The absolute, folded form of a path ('/' separators); empty on failure.
std::u16string FullPath(const std::u16string& path) {
  std::vector<WCHAR> buffer(4 * MAX_PATH);
  DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (n == 0 || n >= buffer.size()) return {};
  std::u16string full(buffer.data(), n);
  // A folder keeps no trailing separator except a root's.
  while (full.size() > 1 && full.back() == u'/' && !(full.size() == 3 && full[1] == u':')) full.pop_back();
  return full;
}

std::u16string Join(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return name;
  return folder + (IsSeparator(folder.back()) ? u"" : u"/") + name;
}

// Splits a path at its last separator (or drive colon): the folder part
// (without the separator, a root keeps it) and the name.
void SplitPath(const std::u16string& path, std::u16string* folder, std::u16string* name) {
  size_t cut = path.find_last_of(u"/\\");
  if (cut == std::u16string::npos) cut = platform::StartsWithDrive(path) ? 1 : std::u16string::npos;
  if (cut == std::u16string::npos) {
    folder->clear();
    *name = path;
    return;
  }
  *name = path.substr(cut + 1);
  *folder = path.substr(0, cut + 1);
  if (folder->size() > 1 && IsSeparator(folder->back()) && !(folder->size() == 3 && (*folder)[1] == u':'))
    folder->pop_back();
}

// ---- Patterns ------------------------------------------------------------------------------
WCHAR Lower(WCHAR c) { return c >= u'A' && c <= u'Z' ? static_cast<WCHAR>(c + 32) : c; }

// '*' and '?' against a name, without regard to case.
bool Matches(const WCHAR* pattern, const WCHAR* name) {
  if (!*pattern) return !*name;
  if (*pattern == u'*') {
    for (const WCHAR* p = name;; ++p) {
      if (Matches(pattern + 1, p)) return true;
      if (!*p) return false;
    }
  }
  if (!*name) return false;
  if (*pattern != u'?' && Lower(*pattern) != Lower(*name)) return false;
  return Matches(pattern + 1, name + 1);
}

bool MatchesAny(const std::u16string& patterns, const std::u16string& name) {
  if (patterns.empty()) return true;
  size_t start = 0;
  while (start <= patterns.size()) {
    size_t end = patterns.find(u';', start);
    if (end == std::u16string::npos) end = patterns.size();
    std::u16string one = patterns.substr(start, end - start);
    while (!one.empty() && one.front() == u' ') one.erase(one.begin());
    while (!one.empty() && one.back() == u' ') one.pop_back();
    if (one == u"*.*" || (!one.empty() && Matches(one.c_str(), name.c_str()))) return true;
    start = end + 1;
  }
  return false;
}

// The selected type's patterns (all files without a filter).
std::u16string CurrentPatterns(const FileDialog& f) {
  if (f.patterns.empty()) return {};
  DWORD index = f.ofn->nFilterIndex;
  if (index == 0 || index > f.patterns.size()) index = 1;
  return f.patterns[index - 1];
}

// ---- Hook and notifications ----------------------------------------------------------------
// The hook dialog's procedure: passes every message from WM_INITDIALOG on
// to the caller's hook.
INT_PTR HookTrampoline(HWND hook, UINT message, WPARAM wparam, LPARAM lparam) {
  auto proc = reinterpret_cast<LPOFNHOOKPROC>(GetPropW(hook, kHookProp));
  if (!proc && message == WM_INITDIALOG && lparam) {
    proc = reinterpret_cast<const OPENFILENAMEW*>(lparam)->lpfnHook;
    SetPropW(hook, kHookProp, reinterpret_cast<HANDLE>(proc));
  }
  return proc ? static_cast<INT_PTR>(proc(hook, message, wparam, lparam)) : 0;
}

// Sends a CDN_* notification to the hook; its DWLP_MSGRESULT answer.
LRESULT Notify(FileDialog* f, UINT code) {
  if (!f->hook || !IsWindow(f->hook)) return 0;
  OFNOTIFYW notify{{f->dialog, 0, code}, f->ofn, nullptr};
  SetWindowLongPtrW(f->hook, DWLP_MSGRESULT, 0);
  SendMessageW(f->hook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
  return IsWindow(f->hook) ? GetWindowLongPtrW(f->hook, DWLP_MSGRESULT) : 0;
}

// ---- The folder view -------------------------------------------------------------------------
void FillEntries(FileDialog* f) {
  HWND list = GetDlgItem(f->dialog, lst2);
  SendMessageW(list, LB_RESETCONTENT, 0, 0);
  std::vector<std::u16string> folders, files;
  std::u16string patterns = CurrentPatterns(*f);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(Join(f->folder, u"*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::u16string name = data.cFileName;
      if (name == u"." || name == u"..") continue;
      if ((data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) && !(f->ofn->Flags & OFN_FORCESHOWHIDDEN)) continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        folders.push_back(name + u"/");
      } else if (MatchesAny(patterns, name)) {
        files.push_back(name);
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  std::sort(folders.begin(), folders.end());
  std::sort(files.begin(), files.end());
  std::u16string up_folder, up_name;
  SplitPath(f->folder, &up_folder, &up_name);
  if (!up_name.empty()) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u".."));
  for (const auto* group : {&folders, &files})
    for (const std::u16string& name : *group)
      SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

// Goes to a folder; with `notify` the hook hears CDN_FOLDERCHANGE.
void SetFolder(FileDialog* f, const std::u16string& folder, bool notify) {
  f->folder = folder;
  HWND look_in = GetDlgItem(f->dialog, cmb2);
  SendMessageW(look_in, CB_RESETCONTENT, 0, 0);
  SendMessageW(look_in, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  SendMessageW(look_in, CB_SETCURSEL, 0, 0);
  FillEntries(f);
  if (notify) Notify(f, CDN_FOLDERCHANGE);
}

std::u16string NameField(FileDialog* f) { return WindowText(GetDlgItem(f->dialog, cmb13)); }

void SetNameField(FileDialog* f, const std::u16string& name) {
  SetWindowTextW(GetDlgItem(f->dialog, cmb13), name.c_str());
}

// What CDM_GETFILEPATH answers: the current folder joined with the name
// field (the folder alone when the field is empty).
std::u16string CurrentFilePath(FileDialog* f) {
  std::u16string name = NameField(f);
  if (name.empty()) return f->folder;
  return IsAbsolute(name) ? name : Join(f->folder, name);
}

// A picked entry of the folder view.
void EntryPicked(FileDialog* f) {
  HWND list = GetDlgItem(f->dialog, lst2);
  LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
  if (index < 0) return;
  LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length <= 0) return;
  std::u16string text(static_cast<size_t>(length) + 1, u'\0');
  SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  if (text == u"..") {
    std::u16string up, name;
    SplitPath(f->folder, &up, &name);
    if (!up.empty()) SetFolder(f, up, true);
  } else if (text.back() == u'/') {
    text.pop_back();
    SetFolder(f, Join(f->folder, text), true);
  } else {
    SetNameField(f, text);
    Notify(f, CDN_SELCHANGE);
  }
}

// ---- OK ----------------------------------------------------------------------------------------
int Box(FileDialog* f, const std::u16string& text, UINT type) {
  std::u16string title = WindowText(f->dialog);
  return MessageBoxW(f->dialog, text.c_str(), title.c_str(), type);
}

// Writes the chosen path into the caller's record; false (with the error
// set) when it does not fit.
bool StoreResult(FileDialog* f, const std::u16string& path) {
  OPENFILENAMEW* ofn = f->ofn;
  if (path.size() + 1 > ofn->nMaxFile) {
    // The size needed goes into the first character, as the platform does.
    ofn->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(path.size() + 1, 0xFFFF));
    g_error = FNERR_BUFFERTOOSMALL;
    return false;
  }
  std::memcpy(ofn->lpstrFile, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
  size_t name_at = path.find_last_of(u"/\\");
  name_at = name_at == std::u16string::npos ? 0 : name_at + 1;
  size_t dot = path.find_last_of(u'.');
  ofn->nFileOffset = static_cast<WORD>(std::min<size_t>(name_at, 0xFFFF));
  ofn->nFileExtension = static_cast<WORD>(
      std::min<size_t>(dot != std::u16string::npos && dot >= name_at ? dot + 1 : path.size(), 0xFFFF));
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0) {
    std::u16string name = path.substr(name_at);
    size_t n = std::min<size_t>(name.size(), ofn->nMaxFileTitle - 1);
    std::memcpy(ofn->lpstrFileTitle, name.data(), n * sizeof(WCHAR));
    ofn->lpstrFileTitle[n] = 0;
  }
  return true;
}

void Accept(FileDialog* f) {
  std::u16string name = NameField(f);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  if (name.size() >= 2 && name.front() == u'"' && name.back() == u'"') name = name.substr(1, name.size() - 2);
  if (name.empty()) return;
  std::u16string full = FullPath(IsAbsolute(name) ? name : Join(f->folder, name));
  if (full.empty()) return;
  if (IsFolder(full)) {  // a folder is entered, not chosen
    SetNameField(f, u"");
    SetFolder(f, full, true);
    return;
  }
  std::u16string folder, file;
  SplitPath(full, &folder, &file);
  DWORD flags = f->ofn->Flags;
  if (!IsFolder(folder) && (flags & (OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST))) {
    Box(f, folder + u"\nPath does not exist.\nCheck the path and try again.", MB_OK | MB_ICONWARNING);
    return;
  }
  if (!f->default_ext.empty() && file.find(u'.') == std::u16string::npos) {
    std::u16string ext = f->default_ext[0] == u'.' ? f->default_ext.substr(1) : f->default_ext;
    full += u"." + ext;
    file += u"." + ext;
  }
  if (!f->save && (flags & OFN_FILEMUSTEXIST) && !Exists(full)) {
    Box(f, file + u"\nFile not found.\nCheck the file name and try again.", MB_OK | MB_ICONWARNING);
    return;
  }
  if (f->save && (flags & OFN_OVERWRITEPROMPT) && Exists(full) &&
      Box(f, file + u" already exists.\nDo you want to replace it?", MB_YESNO | MB_ICONWARNING) != IDYES)
    return;
  if (!StoreResult(f, full)) {
    EndDialog(f->dialog, kFailed);
    return;
  }
  if (Notify(f, CDN_FILEOK)) return;  // the hook refused the name
  EndDialog(f->dialog, IDOK);
}

// Answers a CDM_GET* request: the length with terminator, copied when it fits.
LRESULT Answer(const std::u16string& text, WPARAM size, LPARAM buffer) {
  LRESULT needed = static_cast<LRESULT>(text.size() + 1);
  if (buffer && static_cast<size_t>(needed) <= size)
    std::memcpy(reinterpret_cast<WCHAR*>(buffer), text.c_str(), static_cast<size_t>(needed) * sizeof(WCHAR));
  return needed;
}

INT_PTR FileProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  FileDialog* f = StateOf(dialog);
  if (!f) return FALSE;
  auto reply = [&](LRESULT value) {
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, value);
    return TRUE;
  };
  switch (message) {
    case WM_COMMAND: {
      WORD id = LOWORD(wparam), code = HIWORD(wparam);
      if (id == IDOK && code == BN_CLICKED) Accept(f);
      if (id == IDCANCEL) EndDialog(dialog, IDCANCEL);
      if (id == pshHelp && code == BN_CLICKED) Notify(f, CDN_HELP);
      if (id == lst2 && (code == LBN_SELCHANGE || code == LBN_DBLCLK)) EntryPicked(f);
      if (id == cmb1 && code == CBN_SELCHANGE) {
        LRESULT index = SendMessageW(GetDlgItem(dialog, cmb1), CB_GETCURSEL, 0, 0);
        if (index >= 0 && static_cast<DWORD>(index) + 1 != f->ofn->nFilterIndex) {
          f->ofn->nFilterIndex = static_cast<DWORD>(index) + 1;
          FillEntries(f);
          Notify(f, CDN_TYPECHANGE);
        }
      }
      return TRUE;
    }
    case CDM_GETSPEC:
      return reply(Answer(NameField(f), wparam, lparam));
    case CDM_GETFILEPATH:
      return reply(Answer(CurrentFilePath(f), wparam, lparam));
    case CDM_GETFOLDERPATH:
      return reply(Answer(f->folder, wparam, lparam));
    case CDM_SETCONTROLTEXT:
      return reply(SetDlgItemTextW(dialog, static_cast<int>(wparam), reinterpret_cast<LPCWSTR>(lparam)));
    case CDM_HIDECONTROL:
      ShowWindow(GetDlgItem(dialog, static_cast<int>(wparam)), SW_HIDE);
      return reply(0);
    case CDM_SETDEFEXT:
      f->default_ext = lparam ? reinterpret_cast<LPCWSTR>(lparam) : u"";
      return reply(0);
    default:
      return FALSE;
  }
}

// ---- Front ends ----------------------------------------------------------------------------
std::u16string ChooserCurrent(HWND dialog) {
  FileDialog* f = StateOf(dialog);
  return f ? CurrentFilePath(f) : std::u16string();
}

bool ChooserChoose(HWND dialog, const std::u16string& path) {
  FileDialog* f = StateOf(dialog);
  std::u16string full = f ? FullPath(IsAbsolute(path) ? path : Join(f->folder, path)) : std::u16string();
  if (full.empty()) return false;
  if (IsFolder(full)) {
    SetNameField(f, u"");
    SetFolder(f, full, true);
    return true;
  }
  std::u16string folder, name;
  SplitPath(full, &folder, &name);
  if (!IsFolder(folder) || name.empty()) return false;
  if (folder != f->folder) SetFolder(f, folder, true);
  SetNameField(f, name);
  Notify(f, CDN_SELCHANGE);
  return true;
}

const PathChooser kFileChooser = {false, ChooserCurrent, ChooserChoose};

// ---- Making the dialog -------------------------------------------------------------------------
HWND AddControl(HWND parent, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int cx, int cy, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | style, x, y, cx, cy, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

bool MakeControls(FileDialog* f) {
  HWND d = f->dialog;
  DWORD flags = f->ofn->Flags;
  bool ok = AddControl(d, WC_STATICW, u"Look &in:", WS_VISIBLE, 10, 10, 80, 20, stc4) &&
            AddControl(d, WC_COMBOBOXW, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 95, 8, 400, 200, cmb2) &&
            AddControl(d, WC_LISTBOXW, u"", 0, 10, 40, 485, 200, lst1) &&
            AddControl(d, WC_LISTBOXW, u"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | LBS_NOTIFY | WS_VSCROLL, 10, 40,
                       485, 200, lst2) &&
            AddControl(d, WC_STATICW, u"File &name:", WS_VISIBLE, 10, 252, 90, 20, stc3) &&
            AddControl(d, WC_COMBOBOXW, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL, 105, 250,
                       300, 200, cmb13) &&
            AddControl(d, WC_EDITW, u"", ES_AUTOHSCROLL, 105, 250, 300, 22, edt1) &&
            AddControl(d, WC_STATICW, u"Files of &type:", WS_VISIBLE, 10, 282, 90, 20, stc2) &&
            AddControl(d, WC_COMBOBOXW, u"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 105, 280, 300, 200, cmb1) &&
            AddControl(d, WC_BUTTONW, f->save ? u"&Save" : u"&Open", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                       415, 250, 80, 24, IDOK) &&
            AddControl(d, WC_BUTTONW, u"Cancel", WS_VISIBLE | WS_TABSTOP, 415, 280, 80, 24, IDCANCEL);
  if (ok && (flags & OFN_SHOWHELP))
    ok = AddControl(d, WC_BUTTONW, u"&Help", WS_VISIBLE | WS_TABSTOP, 415, 310, 80, 24, pshHelp) != nullptr;
  if (!ok) return false;
  HWND types = GetDlgItem(d, cmb1);
  for (const std::u16string& name : f->type_names)
    SendMessageW(types, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  if (!f->type_names.empty()) SendMessageW(types, CB_SETCURSEL, f->ofn->nFilterIndex - 1, 0);
  SendMessageW(d, DM_SETDEFID, IDOK, 0);
  return true;
}

// The hook dialog: the caller's template or an empty one. False (with the
// error set) when the template cannot be had or the dialog not made.
bool MakeHookDialog(FileDialog* f) {
  OPENFILENAMEW* ofn = f->ofn;
  const void* bytes = nullptr;
  size_t size = 0;
  HINSTANCE instance = ofn->hInstance;
  // An empty child dialog: the header and empty menu, class and title.
  static const WORD kEmpty[] = {0x0400, 0x4000, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};  // WS_CHILD | DS_CONTROL
  if (ofn->Flags & OFN_ENABLETEMPLATEHANDLE) {
    bytes = ofn->hInstance;
    instance = nullptr;
  } else if (ofn->Flags & OFN_ENABLETEMPLATE) {
    HRSRC found = FindResourceW(ofn->hInstance, ofn->lpTemplateName, RT_DIALOG);
    if (!found) {
      g_error = CDERR_FINDRESFAILURE;
      return false;
    }
    bytes = LockResource(LoadResource(ofn->hInstance, found));
    size = SizeofResource(ofn->hInstance, found);
  } else {
    bytes = kEmpty;
    size = sizeof(kEmpty);
  }
  f->hook = CreateChildDialog(instance, bytes, size, f->dialog, HookTrampoline, reinterpret_cast<LPARAM>(ofn));
  if (!f->hook) {
    g_error = CDERR_DIALOGFAILURE;
    return false;
  }
  SetWindowPos(f->hook, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(f->hook, SW_SHOWNA);
  return true;
}

// Checks the record; the error code, or 0.
DWORD CheckRecord(const OPENFILENAMEW* ofn) {
  if (!ofn) return CDERR_INITIALIZATION;
  if (ofn->lStructSize != sizeof(OPENFILENAMEW)) return CDERR_STRUCTSIZE;
  if (!ofn->lpstrFile || ofn->nMaxFile == 0) return CDERR_INITIALIZATION;
  if ((ofn->Flags & OFN_ENABLEHOOK) && !ofn->lpfnHook) return CDERR_NOHOOK;
  if ((ofn->Flags & OFN_ENABLETEMPLATE) && !(ofn->Flags & OFN_ENABLETEMPLATEHANDLE)) {
    if (!ofn->lpTemplateName) return CDERR_NOTEMPLATE;
    if (!ofn->hInstance) return CDERR_NOHINSTANCE;
  }
  if ((ofn->Flags & OFN_ENABLETEMPLATEHANDLE) && !ofn->hInstance) return CDERR_NOTEMPLATE;
  return 0;
}

// The starting folder and name: the folder part of the caller's text when
// it names a folder, else the initial folder, else the current one.
void StartingPoint(FileDialog* f, std::u16string* name) {
  OPENFILENAMEW* ofn = f->ofn;
  size_t length = 0;
  while (length < ofn->nMaxFile && ofn->lpstrFile[length]) ++length;
  std::u16string text(ofn->lpstrFile, length);
  std::u16string folder;
  SplitPath(text, &folder, name);
  if (!folder.empty()) folder = FullPath(folder);
  if (!IsFolder(folder) && ofn->lpstrInitialDir) folder = FullPath(ofn->lpstrInitialDir);
  if (!IsFolder(folder)) folder = FullPath(u".");
  f->folder = folder;
}

void ReadFilter(FileDialog* f) {
  const WCHAR* p = f->ofn->lpstrFilter;
  while (p && *p) {
    std::u16string name = p;
    p += name.size() + 1;
    std::u16string patterns = p;
    p += patterns.size() + (*p ? 1 : 0);
    f->type_names.push_back(name);
    f->patterns.push_back(patterns);
    if (patterns.empty()) break;
  }
  if (f->ofn->nFilterIndex == 0 || f->ofn->nFilterIndex > f->patterns.size()) f->ofn->nFilterIndex = 1;
}

BOOL RunFileDialog(OPENFILENAMEW* ofn, bool save) {
  g_error = CheckRecord(ofn);
  if (g_error) return FALSE;
  FileDialog f;
  f.ofn = ofn;
  f.save = save;
  if (ofn->lpstrDefExt) f.default_ext = ofn->lpstrDefExt;
  ReadFilter(&f);
  std::u16string name;
  StartingPoint(&f, &name);
  HWND owner = ofn->hwndOwner ? GetAncestor(ofn->hwndOwner, GA_ROOT) : nullptr;
  LPCWSTR title = ofn->lpstrTitle ? ofn->lpstrTitle : save ? u"Save As" : u"Open";
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                ((ofn->Flags & OFN_ENABLESIZING) ? WS_THICKFRAME : 0);
  f.dialog = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, WC_DIALOG, title, style, 0, 0, 520, 360,
                             owner, nullptr, nullptr, nullptr);
  if (!f.dialog) {
    g_error = CDERR_DIALOGFAILURE;
    return FALSE;
  }
  SetWindowLongPtrW(f.dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&f));
  SetWindowLongPtrW(f.dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(FileProc));
  if (!MakeControls(&f)) {
    DestroyWindow(f.dialog);
    g_error = CDERR_DIALOGFAILURE;
    return FALSE;
  }
  SetFolder(&f, f.folder, false);
  SetNameField(&f, name);
  bool hooked = (ofn->Flags & OFN_EXPLORER) && (ofn->Flags & OFN_ENABLEHOOK);
  if (hooked && !MakeHookDialog(&f)) {
    DestroyWindow(f.dialog);
    return FALSE;
  }
  SetPathChooser(f.dialog, &kFileChooser);
  SetFocus(GetDlgItem(f.dialog, cmb13));
  Notify(&f, CDN_INITDONE);
  Notify(&f, CDN_FOLDERCHANGE);
  INT_PTR result = RunModalDialog(f.dialog, owner);
  if (result == IDOK) {
    g_error = 0;
    return TRUE;
  }
  if (result != kFailed) g_error = 0;  // cancelled
  return FALSE;
}

}  // namespace
}  // namespace platform

BOOL GetOpenFileNameW(LPOPENFILENAMEW record) { return platform::RunFileDialog(record, false); }

BOOL GetSaveFileNameW(LPOPENFILENAMEW record) { return platform::RunFileDialog(record, true); }

DWORD CommDlgExtendedError() { return platform::g_error; }
