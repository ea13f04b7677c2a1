// The shell's name space over the file system (item lists), the shell
// allocator, the folder browser and the built-in "shell32.dll".
#include "platform/shell/shlobj.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/shell/shell.h"
#include "platform/user/frontend.h"

namespace platform {
namespace {

// ---- Items ---------------------------------------------------------------------------------
enum ItemKind : BYTE {
  kComputer = 1,  // the computer: holds the roots
  kRoot = 2,      // "/", "X:" or "//server/share"
  kName = 3,      // one folder or file name below a root
};

struct Item {
  BYTE kind;            // ItemKind
  std::u16string name;  // the name (empty for the computer)
};
typedef std::vector<Item> Items;

constexpr size_t kItemHeader = 3;  // the byte count and the kind byte

// The items of a list; stops at the terminator or at a malformed item.
Items Decode(LPCITEMIDLIST list) {
  Items items;
  if (!list) return items;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  for (;;) {
    USHORT cb;
    std::memcpy(&cb, p, sizeof(cb));
    if (cb < kItemHeader || (cb - kItemHeader) % 2 != 0) break;
    Item item;
    item.kind = p[2];
    item.name.resize((cb - kItemHeader) / 2);
    if (!item.name.empty()) std::memcpy(item.name.data(), p + kItemHeader, cb - kItemHeader);
    items.push_back(std::move(item));
    p += cb;
  }
  return items;
}

// A new list in task memory; NULL when memory runs out or an item is too long.
LPITEMIDLIST Encode(const Items& items) {
  size_t total = sizeof(USHORT);
  for (const Item& item : items) {
    size_t cb = kItemHeader + item.name.size() * 2;
    if (cb > 0xFFFF) return nullptr;
    total += cb;
  }
  BYTE* block = static_cast<BYTE*>(CoTaskMemAlloc(total));
  if (!block) return nullptr;
  BYTE* p = block;
  for (const Item& item : items) {
    USHORT cb = static_cast<USHORT>(kItemHeader + item.name.size() * 2);
    std::memcpy(p, &cb, sizeof(cb));
    p[2] = item.kind;
    if (!item.name.empty()) std::memcpy(p + kItemHeader, item.name.data(), item.name.size() * 2);
    p += cb;
  }
  std::memset(p, 0, sizeof(USHORT));
  return reinterpret_cast<LPITEMIDLIST>(block);
}

bool IsSeparator(WCHAR c) { return c == u'/' || c == u'\\'; }

bool SameItem(const Item& a, const Item& b) {
  if (a.kind != b.kind || a.name.size() != b.name.size()) return false;
  if (a.kind == kRoot)  // drive letters and share names without case
    return CompareText(a.name.data(), a.name.size(), b.name.data(), b.name.size(), true) == 0;
  return a.name == b.name;
}

bool StartsWith(const Items& items, const Items& prefix) {
  if (prefix.size() > items.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (!SameItem(items[i], prefix[i])) return false;
  return true;
}

// The items of an absolute path, existing or not; false for a path without
// a root after GetFullPathNameW.
bool ItemsOfPath(LPCWSTR path, Items* items) {
  WCHAR full[4 * MAX_PATH];
  DWORD n = GetFullPathNameW(path, 4 * MAX_PATH, full, nullptr);
  if (n == 0 || n >= 4 * MAX_PATH) return false;
  std::u16string text(full, n);
  for (WCHAR& c : text)
    if (c == u'\\') c = u'/';
  size_t pos;
  Item root{kRoot, {}};
  if (text.size() >= 2 && text[1] == u':') {
    root.name = text.substr(0, 2);
    root.name[0] = static_cast<WCHAR>(root.name[0] >= u'a' && root.name[0] <= u'z' ? root.name[0] - 32 : root.name[0]);
    pos = 2;
  } else if (text.size() >= 2 && text[0] == u'/' && text[1] == u'/') {
    size_t server_end = text.find(u'/', 2);
    if (server_end == std::u16string::npos) return false;
    size_t share_end = text.find(u'/', server_end + 1);
    if (share_end == std::u16string::npos) share_end = text.size();
    root.name = text.substr(0, share_end);
    pos = share_end;
  } else if (!text.empty() && text[0] == u'/') {
    root.name = u"/";
    pos = 0;
  } else {
    return false;
  }
  items->clear();
  items->push_back(Item{kComputer, {}});
  items->push_back(root);
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == u'/') ++pos;
    size_t end = text.find(u'/', pos);
    if (end == std::u16string::npos) end = text.size();
    if (end > pos) items->push_back(Item{kName, text.substr(pos, end - pos)});
    pos = end;
  }
  return true;
}

// The path of items: root and names joined by '/'. Empty for the computer
// or a malformed list. The desktop is the desktop folder.
std::u16string PathOfItems(const Items& items) {
  if (items.empty()) {
    WCHAR desktop[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)))
      return {};
    return desktop;
  }
  if (items.size() < 2 || items[0].kind != kComputer || items[1].kind != kRoot) return {};
  std::u16string path = items[1].name;
  if (path.empty() || path.back() != u'/') path += u'/';
  for (size_t i = 2; i < items.size(); ++i) {
    if (items[i].kind != kName) return {};
    if (path.back() != u'/') path += u'/';
    path += items[i].name;
  }
  return path;
}

bool Exists(const std::u16string& path) {
  return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::u16string& path) {
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The items of an existing path; false when it does not exist.
bool ItemsOfExistingPath(LPCWSTR path, Items* items) {
  if (!path || !path[0] || !ItemsOfPath(path, items)) return false;
  return Exists(PathOfItems(*items));
}

// The name a person sees for the last item.
std::u16string DisplayName(const Items& items) {
  if (items.empty()) return u"Desktop";
  const Item& last = items.back();
  if (last.kind == kComputer) return u"My Computer";
  return last.name;
}

// ---- The shell allocator ------------------------------------------------------------------
class TaskAllocator final : public IMalloc {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMalloc)) {
      *object = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // One process-wide object: the counts are kept but it is never destroyed.
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return refs_ > 1 ? --refs_ : 1; }
  void* Alloc(SIZE_T bytes) override { return CoTaskMemAlloc(bytes); }
  void* Realloc(void* block, SIZE_T bytes) override { return CoTaskMemRealloc(block, bytes); }
  void Free(void* block) override { CoTaskMemFree(block); }
  SIZE_T GetSize(void*) override { return static_cast<SIZE_T>(-1); }
  int DidAlloc(void*) override { return -1; }
  void HeapMinimize() override {}

 private:
  std::atomic<ULONG> refs_{1};
};

TaskAllocator& Allocator() {
  static TaskAllocator* allocator = new TaskAllocator;  // lives to process exit
  return *allocator;
}

// ---- shell32.dll ------------------------------------------------------------------------
std::atomic<DWORD> g_shell_version{(6u << 16) | 0u};  // major << 16 | minor

HRESULT ShellDllGetVersion(DLLVERSIONINFO* info) {
  if (!info) return E_POINTER;
  if (info->cbSize < sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
  DWORD version = g_shell_version.load();
  info->dwMajorVersion = version >> 16;
  info->dwMinorVersion = version & 0xFFFF;
  info->dwBuildNumber = 0;
  info->dwPlatformID = DLLVER_PLATFORM_NT;
  return S_OK;
}

// Registered when the program starts, so that the module is there before
// anyone loads it by name.
const bool g_shell_registered = [] {
  RegisterShellModule();
  return true;
}();

}  // namespace

void SetShellVersion(DWORD major, DWORD minor) {
  g_shell_version.store((major << 16) | (minor & 0xFFFF));
}

void RegisterShellModule() {
  static const bool done = [] {
    static const ExportEntry kExports[] = {
        {"DllGetVersion", reinterpret_cast<void*>(&ShellDllGetVersion)},
    };
    return CreateExportModule(u"shell32.dll", kExports, 1) != nullptr;
  }();
  (void)done;
}

}  // namespace platform

using platform::Items;

// ==== Item lists ===========================================================================

UINT ILGetSize(LPCITEMIDLIST list) {
  if (!list) return 0;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  UINT total = 0;
  for (;;) {
    USHORT cb;
    std::memcpy(&cb, p + total, sizeof(cb));
    if (cb == 0) return total + sizeof(USHORT);
    total += cb;
  }
}

LPITEMIDLIST ILClone(LPCITEMIDLIST list) {
  UINT size = ILGetSize(list);
  if (!size) return nullptr;
  void* copy = CoTaskMemAlloc(size);
  if (copy) std::memcpy(copy, list, size);
  return static_cast<LPITEMIDLIST>(copy);
}

void ILFree(LPITEMIDLIST list) { CoTaskMemFree(list); }

BOOL ILIsEqual(LPCITEMIDLIST a, LPCITEMIDLIST b) {
  if (!a || !b) return FALSE;
  Items x = platform::Decode(a), y = platform::Decode(b);
  return x.size() == y.size() && platform::StartsWith(x, y);
}

LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list) {
  if (!list) return nullptr;
  const BYTE* p = reinterpret_cast<const BYTE*>(list);
  const BYTE* last = p;
  for (;;) {
    USHORT cb;
    std::memcpy(&cb, p, sizeof(cb));
    if (cb == 0) break;
    last = p;
    p += cb;
  }
  return reinterpret_cast<LPITEMIDLIST>(const_cast<BYTE*>(last));
}

LPITEMIDLIST ILCreateFromPathW(LPCWSTR path) {
  Items items;
  if (!platform::ItemsOfExistingPath(path, &items)) return nullptr;
  return platform::Encode(items);
}

BOOL SHGetPathFromIDListW(LPCITEMIDLIST list, LPWSTR path) {
  platform::RegisterShellModule();
  if (!path) return FALSE;
  path[0] = 0;
  if (!list) return FALSE;
  std::u16string text = platform::PathOfItems(platform::Decode(list));
  if (text.empty() || text.size() >= MAX_PATH) return FALSE;
  std::memcpy(path, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return TRUE;
}

HRESULT SHParseDisplayName(LPCWSTR name, void* bind_context, LPITEMIDLIST* list,
                           DWORD /*attributes_in*/, DWORD* attributes_out) {
  platform::RegisterShellModule();
  if (list) *list = nullptr;
  if (attributes_out) *attributes_out = 0;
  if (!name || !list || bind_context) return E_INVALIDARG;
  Items items;
  if (!platform::ItemsOfExistingPath(name, &items)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  *list = platform::Encode(items);
  return *list ? S_OK : E_OUTOFMEMORY;
}

HRESULT SHGetSpecialFolderLocation(HWND owner, int csidl, LPITEMIDLIST* list) {
  return SHGetFolderLocation(owner, csidl, nullptr, 0, list);
}

HRESULT SHGetFolderLocation(HWND owner, int csidl, HANDLE token, DWORD /*reserved*/,
                            LPITEMIDLIST* list) {
  platform::RegisterShellModule();
  if (!list) return E_INVALIDARG;
  *list = nullptr;
  Items items;
  int folder = csidl & ~CSIDL_FLAG_MASK;
  if (folder == CSIDL_DRIVES) {
    items.push_back(platform::Item{platform::kComputer, {}});
  } else if (folder != CSIDL_DESKTOP) {
    WCHAR path[MAX_PATH];
    HRESULT hr = SHGetFolderPathW(owner, csidl, token, SHGFP_TYPE_CURRENT, path);
    if (FAILED(hr)) return hr;
    if (!platform::ItemsOfPath(path, &items)) return E_INVALIDARG;
  }
  *list = platform::Encode(items);
  return *list ? S_OK : E_OUTOFMEMORY;
}

HRESULT SHGetMalloc(IMalloc** allocator) {
  if (!allocator) return E_POINTER;
  platform::Allocator().AddRef();
  *allocator = &platform::Allocator();
  return S_OK;
}

// ==== The folder browser ===================================================================

namespace platform {
namespace {

// What one running browser keeps; it lives on SHBrowseForFolderW's stack.
struct BrowseState {
  BROWSEINFOW* info;                 // the caller's record
  Items root;                        // the tree's root
  std::vector<Items> nodes;          // items of each tree item (its lParam is the index)
  std::vector<bool> filled;          // the node's children were listed
  HWND dialog = nullptr;             // the dialog
  HWND tree = nullptr;               // the folder tree
  LPITEMIDLIST result = nullptr;     // the chosen item's list
  bool initialising = false;         // no callbacks while the dialog is being made
};

constexpr LPCWSTR kHostClass = u"ShellFolderTreeHost";
constexpr size_t kMaxListed = 2000;  // most entries listed under one folder

BrowseState* StateOf(HWND dialog) {
  return reinterpret_cast<BrowseState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

int Callback(BrowseState* s, UINT message, LPARAM lparam) {
  if (!s->info->lpfn || s->initialising) return 0;
  return s->info->lpfn(s->dialog, message, lparam, s->info->lParam);
}

size_t NodeOf(BrowseState* s, HTREEITEM item) {
  TVITEMW tv{};
  tv.mask = TVIF_HANDLE | TVIF_PARAM;
  tv.hItem = item;
  if (!item || !SendMessageW(s->tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return SIZE_MAX;
  size_t index = static_cast<size_t>(tv.lParam);
  return index < s->nodes.size() ? index : SIZE_MAX;
}

HTREEITEM AddNode(BrowseState* s, HTREEITEM parent, const Items& items) {
  std::u16string text = DisplayName(items);
  TVINSERTSTRUCTW insert{};
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_SORT;
  insert.item.mask = TVIF_TEXT | TVIF_PARAM;
  insert.item.pszText = text.data();
  insert.item.lParam = static_cast<LPARAM>(s->nodes.size());
  s->nodes.push_back(items);
  s->filled.push_back(false);
  return reinterpret_cast<HTREEITEM>(SendMessageW(s->tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

// The child of `parent` holding `item`, or NULL.
HTREEITEM FindChild(BrowseState* s, HTREEITEM parent, const Item& item) {
  for (auto child = reinterpret_cast<HTREEITEM>(SendMessageW(s->tree, TVM_GETNEXTITEM, TVGN_CHILD,
                                                             reinterpret_cast<LPARAM>(parent)));
       child; child = reinterpret_cast<HTREEITEM>(
                  SendMessageW(s->tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)))) {
    size_t node = NodeOf(s, child);
    if (node != SIZE_MAX && SameItem(s->nodes[node].back(), item)) return child;
  }
  return nullptr;
}

// Lists the children of a tree item once: the computer's root, the
// desktop's computer and folders, a folder's subfolders (and files with
// BIF_BROWSEINCLUDEFILES). Hidden entries are left out.
void FillChildren(BrowseState* s, HTREEITEM item) {
  size_t node = NodeOf(s, item);
  if (node == SIZE_MAX || s->filled[node]) return;
  s->filled[node] = true;
  Items items = s->nodes[node];
  if (items.empty()) {
    if (!FindChild(s, item, Item{kComputer, {}})) AddNode(s, item, Items{Item{kComputer, {}}});
  } else if (items.back().kind == kComputer) {
    Items root = items;
    root.push_back(Item{kRoot, u"/"});
    if (!FindChild(s, item, root.back())) AddNode(s, item, root);
    return;
  }
  std::u16string folder = PathOfItems(items);
  if (!IsFolder(folder)) return;
  Items base = items;
  if (base.empty() && !ItemsOfPath(folder.c_str(), &base)) return;
  std::u16string pattern = folder + (folder.back() == u'/' ? u"*" : u"/*");
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  size_t listed = 0;
  do {
    std::u16string name = data.cFileName;
    if (name == u"." || name == u".." || (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN)) continue;
    bool folder_entry = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!folder_entry && !(s->info->ulFlags & BIF_BROWSEINCLUDEFILES)) continue;
    Items child = base;
    child.push_back(Item{kName, name});
    if (!FindChild(s, item, child.back())) AddNode(s, item, child);
  } while (++listed < kMaxListed && FindNextFileW(find, &data));
  FindClose(find);
}

// Selects the tree item of `items` (inserting the missing steps below the
// root), as a person's click would. False when the items lie outside the
// root.
bool SelectItems(BrowseState* s, const Items& items, bool expand) {
  if (!StartsWith(items, s->root)) return false;
  auto item = reinterpret_cast<HTREEITEM>(SendMessageW(s->tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  if (!item) return false;
  for (size_t i = s->root.size(); i < items.size(); ++i) {
    FillChildren(s, item);
    HTREEITEM child = FindChild(s, item, items[i]);
    if (!child) child = AddNode(s, item, Items(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(i) + 1));
    if (!child) return false;
    SendMessageW(s->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    item = child;
  }
  if (expand) SendMessageW(s->tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  SendMessageW(s->tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
  return true;
}

// The selected item's items; false when nothing is selected.
bool Selection(BrowseState* s, Items* items) {
  size_t node = NodeOf(s, reinterpret_cast<HTREEITEM>(SendMessageW(s->tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
  if (node == SIZE_MAX) return false;
  *items = s->nodes[node];
  return true;
}

void SelectionChanged(BrowseState* s, HTREEITEM item) {
  size_t node = NodeOf(s, item);
  if (node == SIZE_MAX) return;
  FillChildren(s, item);
  Items items = s->nodes[node];
  bool has_path = !PathOfItems(items).empty();
  if (s->info->ulFlags & BIF_RETURNONLYFSDIRS) EnableWindow(GetDlgItem(s->dialog, IDOK), has_path);
  if (HWND edit = GetDlgItem(s->dialog, IDC_BROWSE_EDIT)) SetWindowTextW(edit, DisplayName(items).c_str());
  if (LPITEMIDLIST list = Encode(items)) {
    Callback(s, BFFM_SELCHANGED, reinterpret_cast<LPARAM>(list));
    CoTaskMemFree(list);
  }
}

// A label edit renames the folder on disk; TRUE keeps the new label.
LRESULT LabelEdited(BrowseState* s, const NMTVDISPINFOW* info) {
  size_t node = NodeOf(s, info->item.hItem);
  if (node == SIZE_MAX || !info->item.pszText || !info->item.pszText[0]) return FALSE;
  Items old_items = s->nodes[node];
  if (old_items.empty() || old_items.back().kind != kName) return FALSE;
  for (const WCHAR* p = info->item.pszText; *p; ++p)
    if (IsSeparator(*p)) return FALSE;
  Items new_items = old_items;
  new_items.back().name = info->item.pszText;
  if (!MoveFileW(PathOfItems(old_items).c_str(), PathOfItems(new_items).c_str())) return FALSE;
  for (Items& items : s->nodes)
    if (StartsWith(items, old_items)) items[old_items.size() - 1].name = new_items.back().name;
  TVITEMW tv{};
  tv.mask = TVIF_HANDLE | TVIF_TEXT;
  tv.hItem = info->item.hItem;
  tv.pszText = const_cast<LPWSTR>(info->item.pszText);
  SendMessageW(s->tree, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
  return TRUE;
}

LRESULT TreeNotify(BrowseState* s, const NMHDR* header) {
  if (!s || !header || header->hwndFrom != s->tree) return 0;
  if (header->code == TVN_SELCHANGEDW)
    SelectionChanged(s, reinterpret_cast<const NMTREEVIEWW*>(header)->itemNew.hItem);
  if (header->code == TVN_ENDLABELEDITW) return LabelEdited(s, reinterpret_cast<const NMTVDISPINFOW*>(header));
  return 0;
}

// The host of the tree (BIF_NEWDIALOGSTYLE): passes the tree's
// notifications to the browser.
LRESULT HostProc(HWND host, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NOTIFY) return TreeNotify(StateOf(GetParent(host)), reinterpret_cast<const NMHDR*>(lparam));
  return DefWindowProcW(host, message, wparam, lparam);
}

void RegisterHostClass() {
  static const bool done = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = kHostClass;
    return RegisterSystemClass(wc, 0) != 0;
  }();
  (void)done;
}

// OK: the typed name when there is one that differs from the selection,
// else the selection.
void Accept(BrowseState* s) {
  Items chosen;
  if (!Selection(s, &chosen)) return;
  HWND edit = GetDlgItem(s->dialog, IDC_BROWSE_EDIT);
  std::u16string typed = edit ? WindowText(edit) : std::u16string();
  if (!typed.empty() && typed != DisplayName(chosen)) {
    bool absolute = IsSeparator(typed[0]) || platform::StartsWithDrive(typed);
    std::u16string base = PathOfItems(chosen);
    std::u16string path = absolute || base.empty() ? typed : base + (base.back() == u'/' ? u"" : u"/") + typed;
    Items typed_items;
    if (!base.empty() || absolute) {
      if (ItemsOfExistingPath(path.c_str(), &typed_items)) {
        chosen = typed_items;
      } else if (s->info->ulFlags & BIF_VALIDATE) {
        if (Callback(s, BFFM_VALIDATEFAILEDW, reinterpret_cast<LPARAM>(typed.c_str()))) return;
        EndDialog(s->dialog, IDCANCEL);
        return;
      }
    }
  }
  if ((s->info->ulFlags & BIF_RETURNONLYFSDIRS) && PathOfItems(chosen).empty()) return;
  s->result = Encode(chosen);
  EndDialog(s->dialog, IDOK);
}

bool SetSelectionMessage(BrowseState* s, WPARAM is_path, LPARAM value, bool expand) {
  Items items;
  if (is_path) {
    if (!ItemsOfPath(reinterpret_cast<LPCWSTR>(value), &items)) return false;
  } else {
    items = Decode(reinterpret_cast<LPCITEMIDLIST>(value));
  }
  return SelectItems(s, items, expand);
}

INT_PTR BrowseProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  BrowseState* s = StateOf(dialog);
  if (!s && message != WM_INITDIALOG) return FALSE;
  switch (message) {
    case WM_INITDIALOG: {
      s = reinterpret_cast<BrowseState*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      s->dialog = dialog;
      s->initialising = true;
      HTREEITEM root = AddNode(s, nullptr, s->root);
      SendMessageW(s->tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
      s->initialising = false;
      Items before;
      Selection(s, &before);
      Callback(s, BFFM_INITIALIZED, 0);
      Items after;
      // The callback chose nothing: it hears of the starting selection.
      if (Selection(s, &after) && after.size() == before.size() && StartsWith(after, before)) {
        SelectionChanged(s, reinterpret_cast<HTREEITEM>(SendMessageW(s->tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK && HIWORD(wparam) == BN_CLICKED) Accept(s);
      if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_NOTIFY:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TreeNotify(s, reinterpret_cast<const NMHDR*>(lparam)));
      return TRUE;
    case BFFM_ENABLEOK:
      EnableWindow(GetDlgItem(dialog, IDOK), lparam != 0);
      return TRUE;
    case BFFM_SETSELECTIONW:
    case BFFM_SETEXPANDED:
      if (s) SetSelectionMessage(s, wparam, lparam, message == BFFM_SETEXPANDED);
      return TRUE;
    case BFFM_SETSTATUSTEXTW:
      SetDlgItemTextW(dialog, IDC_BROWSE_STATUS, reinterpret_cast<LPCWSTR>(lparam));
      return TRUE;
    case BFFM_SETOKTEXT:
      SetDlgItemTextW(dialog, IDOK, reinterpret_cast<LPCWSTR>(lparam));
      return TRUE;
    default:
      return FALSE;
  }
}

// ---- Front ends ------------------------------------------------------------------------------
std::u16string BrowserCurrent(HWND dialog) {
  BrowseState* s = StateOf(dialog);
  Items items;
  return s && Selection(s, &items) ? PathOfItems(items) : std::u16string();
}

bool BrowserChoose(HWND dialog, const std::u16string& path) {
  BrowseState* s = StateOf(dialog);
  Items items;
  if (!s || !ItemsOfExistingPath(path.c_str(), &items)) return false;
  return SelectItems(s, items, false);
}

const PathChooser kBrowserChooser = {true, BrowserCurrent, BrowserChoose};

HWND AddControl(HWND parent, LPCWSTR cls, LPCWSTR text, DWORD style, int x, int y, int cx, int cy, int id,
                DWORD ex_style = 0) {
  return CreateWindowExW(ex_style, cls, text, WS_CHILD | style, x, y, cx, cy, parent,
                         reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

// Makes the dialog window and its controls; NULL when a window cannot be made.
HWND MakeBrowser(BrowseState* s) {
  UINT flags = s->info->ulFlags;
  HWND owner = s->info->hwndOwner ? GetAncestor(s->info->hwndOwner, GA_ROOT) : nullptr;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | ((flags & BIF_NEWDIALOGSTYLE) ? WS_THICKFRAME : 0);
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_DIALOG, u"Browse For Folder", style, 0, 0, 340, 420, owner,
                                nullptr, nullptr, nullptr);
  if (!dialog) return nullptr;
  SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(BrowseProc));
  bool ok = AddControl(dialog, WC_STATICW, s->info->lpszTitle ? s->info->lpszTitle : u"", WS_VISIBLE | SS_NOPREFIX,
                       10, 8, 310, 30, IDC_BROWSE_TITLE) != nullptr;
  ok = ok && AddControl(dialog, WC_STATICW, u"", ((flags & BIF_STATUSTEXT) ? WS_VISIBLE : 0) | SS_NOPREFIX, 10, 40,
                        310, 16, IDC_BROWSE_STATUS);
  HWND tree_parent = dialog;
  if (flags & BIF_NEWDIALOGSTYLE) {
    RegisterHostClass();
    tree_parent = AddControl(dialog, kHostClass, u"", WS_VISIBLE | WS_TABSTOP, 10, 60, 310, 250, IDC_BROWSE_HOST,
                             WS_EX_CONTROLPARENT);
    ok = ok && tree_parent;
  }
  if (ok) {
    int origin = tree_parent == dialog ? 60 : 0;
    int left = tree_parent == dialog ? 10 : 0;
    s->tree = AddControl(tree_parent, WC_TREEVIEWW, u"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS |
                         TVS_HASLINES | TVS_SHOWSELALWAYS | TVS_EDITLABELS, left, origin, 310, 250, IDC_BROWSE_TREE);
    ok = s->tree != nullptr;
  }
  if (ok && (flags & BIF_EDITBOX)) {
    ok = AddControl(dialog, WC_STATICW, u"Fold&er:", WS_VISIBLE, 10, 318, 60, 16, IDC_BROWSE_EDITLABEL) &&
         AddControl(dialog, WC_EDITW, u"", WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 72, 316, 248, 20,
                    IDC_BROWSE_EDIT);
  }
  ok = ok && AddControl(dialog, WC_BUTTONW, u"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 150, 350, 80, 24, IDOK);
  ok = ok && AddControl(dialog, WC_BUTTONW, u"Cancel", WS_VISIBLE | WS_TABSTOP, 240, 350, 80, 24, IDCANCEL);
  if (!ok) {
    DestroyWindow(dialog);
    return nullptr;
  }
  SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
  SetPathChooser(dialog, &kBrowserChooser);
  return dialog;
}

}  // namespace
}  // namespace platform

LPITEMIDLIST SHBrowseForFolderW(BROWSEINFOW* info) {
  platform::RegisterShellModule();
  if (!info) return nullptr;
  platform::BrowseState state;
  state.info = info;
  if (info->pidlRoot) state.root = platform::Decode(info->pidlRoot);
  HWND dialog = platform::MakeBrowser(&state);
  if (!dialog) return nullptr;
  if (SendMessageW(dialog, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&state)))
    SetFocus(GetNextDlgTabItem(dialog, nullptr, FALSE));
  HWND owner = info->hwndOwner ? GetAncestor(info->hwndOwner, GA_ROOT) : nullptr;
  INT_PTR ended = platform::RunModalDialog(dialog, owner);
  if (ended != IDOK || !state.result) {
    CoTaskMemFree(state.result);
    return nullptr;
  }
  if (info->pszDisplayName) {
    std::u16string name = platform::DisplayName(platform::Decode(state.result));
    size_t n = std::min<size_t>(name.size(), MAX_PATH - 1);
    std::memcpy(info->pszDisplayName, name.data(), n * sizeof(WCHAR));
    info->pszDisplayName[n] = 0;
  }
  info->iImage = 0;
  return state.result;
}
