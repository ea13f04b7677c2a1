// Relations between windows: parents, owners, children, enumeration and
// search.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Relations ===========================================================================

HWND GetDesktopWindow() { return platform::ToHwnd(platform::kDesktopHandle); }

HWND GetParent(HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  if (w->style & WS_CHILD) return w->parent;
  return (w->style & WS_POPUP) ? w->owner : nullptr;
}

HWND SetParent(HWND child, HWND parent) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, child);
  if (!w) return nullptr;
  if (parent && !platform::IsDesktop(parent)) {
    if (!FindOrFailLocked(m, parent)) return nullptr;
    if (parent == child || platform::IsDescendantLocked(m, parent, child)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
  } else {
    parent = nullptr;
  }
  HWND old = w->parent ? w->parent : GetDesktopWindow();
  platform::UnlinkLocked(m, *w);
  w->parent = parent;
  w->message_only = false;
  std::vector<HWND>* siblings = platform::SiblingsLocked(m, *w);
  siblings->insert(siblings->begin(), child);
  platform::SyncWindowEndpointLocked(m);
  return old;
}

HWND GetAncestor(HWND window, UINT flags) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  switch (flags) {
    case GA_PARENT:
      if (w->message_only) return nullptr;
      return w->parent ? w->parent : platform::ToHwnd(platform::kDesktopHandle);
    case GA_ROOT:
      return platform::RootLocked(m, window);
    case GA_ROOTOWNER: {
      HWND root = platform::RootLocked(m, window);
      for (int guard_count = 0; guard_count < 1000; ++guard_count) {
        std::shared_ptr<Window> r = FindLocked(m, root);
        if (!r || !r->owner) break;
        root = r->owner;
      }
      return root;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetWindow(HWND window, UINT command) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  if (platform::IsDesktop(window)) {
    if (command == GW_CHILD) return m.top_levels.empty() ? nullptr : m.top_levels.front();
    return nullptr;
  }
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  switch (command) {
    case GW_OWNER: return w->owner;
    case GW_CHILD: return w->children.empty() ? nullptr : w->children.front();
    case GW_ENABLEDPOPUP:
      for (auto& [value, other] : m.windows)
        if (other->owner == window && (other->style & WS_VISIBLE) && !(other->style & WS_DISABLED))
          return other->handle;
      return nullptr;
    default: break;
  }
  std::vector<HWND>* list = platform::SiblingsLocked(m, *w);
  if (!list || list->empty()) return nullptr;
  auto it = std::find(list->begin(), list->end(), window);
  switch (command) {
    case GW_HWNDFIRST: return list->front();
    case GW_HWNDLAST: return list->back();
    case GW_HWNDNEXT: return (it == list->end() || it + 1 == list->end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == list->end() || it == list->begin()) ? nullptr : *(it - 1);
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

HWND GetTopWindow(HWND window) {
  return GetWindow(window ? window : GetDesktopWindow(), GW_CHILD);
}

BOOL IsChild(HWND parent, HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  return platform::IsDescendantLocked(m, window, parent) ? TRUE : FALSE;
}

HMENU GetSystemMenu(HWND window, BOOL revert) {
  HMENU dropped = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w || !(w->style & WS_SYSMENU)) return nullptr;
    if (revert) {
      dropped = w->system_menu;
      w->system_menu = nullptr;
    } else if (w->system_menu) {
      return w->system_menu;
    }
  }
  if (revert) {
    if (dropped) DestroyMenu(dropped);
    return nullptr;
  }
  // Made outside the model's lock; a menu made by another thread meanwhile wins.
  HMENU menu = platform::MakeSystemMenu();
  if (!menu) return nullptr;
  HMENU result = nullptr;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, window);
    if (w && !w->system_menu) w->system_menu = menu;
    result = w ? w->system_menu : nullptr;
  }
  if (result != menu) DestroyMenu(menu);
  return result;
}

HWND GetLastActivePopup(HWND window) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return nullptr;
  if (w->last_active_popup && FindLocked(m, w->last_active_popup)) return w->last_active_popup;
  return window;
}

namespace platform {
inline namespace window_model {

// Calls `callback` for each window of a snapshot that is still there.
BOOL EnumSnapshot(const std::vector<HWND>& list, WNDENUMPROC callback, LPARAM data) {
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (HWND h : list) {
    if (!IsWindow(h)) continue;
    if (!callback(h, data)) break;
  }
  return TRUE;
}

// Whether a window's class and text match a search (NULL matches any).
bool MatchesLocked(Model& m, const Window& w, LPCWSTR class_name, LPCWSTR window_name) {
  if (class_name) {
    ATOM atom;
    std::u16string folded;
    if (!ParseClassName(class_name, &atom, &folded)) return false;
    if (!atom) {
      auto it = m.atoms.find(folded);
      if (it == m.atoms.end()) return false;
      atom = it->second;
    }
    if (w.cls->atom != atom) return false;
  }
  return !window_name || w.text == window_name;
}

}  // namespace window_model
}  // namespace platform

BOOL EnumWindows(WNDENUMPROC callback, LPARAM data) {
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    list = m.top_levels;
  }
  if (!callback) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The process's own windows, then those of the user's other processes
  // (stand-ins; asked only when the callback has not stopped).
  bool stopped = false;
  auto until_stopped = [&](HWND h) {
    if (!callback(h, data)) stopped = true;
    return !stopped;
  };
  for (HWND h : list) {
    if (IsWindow(h) && !until_stopped(h)) return TRUE;
  }
  for (HWND h : platform::ForeignTopLevels()) {
    if (!until_stopped(h)) break;
  }
  return TRUE;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC callback, LPARAM data) {
  if (!parent || platform::IsDesktop(parent)) return EnumWindows(callback, data);
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, parent);
    if (!w) return FALSE;
    platform::CollectDescendantsLocked(m, *w, &list);
  }
  return platform::EnumSnapshot(list, callback, data);
}

BOOL EnumThreadWindows(DWORD thread_id, WNDENUMPROC callback, LPARAM data) {
  std::vector<HWND> list;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    for (HWND h : m.top_levels)
      if (std::shared_ptr<Window> w = FindLocked(m, h); w && w->thread_id == thread_id)
        list.push_back(h);
  }
  return platform::EnumSnapshot(list, callback, data);
}

HWND FindWindowExW(HWND parent, HWND after, LPCWSTR class_name, LPCWSTR window_name) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  const std::vector<HWND>* list = &m.top_levels;
  if (parent == HWND_MESSAGE) {
    list = &m.message_windows;
  } else if (parent && !platform::IsDesktop(parent)) {
    std::shared_ptr<Window> p = FindOrFailLocked(m, parent);
    if (!p) return nullptr;
    list = &p->children;
  }
  auto it = list->begin();
  if (after) {
    it = std::find(list->begin(), list->end(), after);
    if (it == list->end()) return nullptr;
    ++it;
  }
  for (; it != list->end(); ++it) {
    std::shared_ptr<Window> w = FindLocked(m, *it);
    if (w && !w->destroying && platform::MatchesLocked(m, *w, class_name, window_name)) return *it;
  }
  SetLastError(ERROR_FILE_NOT_FOUND);
  return nullptr;
}

HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name) {
  return FindWindowExW(nullptr, nullptr, class_name, window_name);
}
