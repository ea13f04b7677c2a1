// Window data: window values and styles, texts and properties.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

// ==== Window data ==========================================================================

namespace platform {
inline namespace window_model {

// Reads `size` bytes of a window's extra bytes.
bool ReadExtra(const Window& w, int index, void* out, size_t size) {
  if (index < 0 || static_cast<size_t>(index) + size > w.extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return false;
  }
  std::memcpy(out, w.extra.data() + index, size);
  return true;
}

// Reads a window value; `size` is 4 (GetWindowLongW) or 8.
LONG_PTR GetWindowValue(HWND hwnd, int index, size_t size) {
  SetLastError(ERROR_SUCCESS);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
  if (!w) return 0;
  switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWLP_ID: return w->id;
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w->ex_style));
    case GWLP_USERDATA: return w->user_data;
    default: break;
  }
  if (size == sizeof(LONG)) {
    LONG value = 0;
    return ReadExtra(*w, index, &value, sizeof(value)) ? value : 0;
  }
  LONG_PTR value = 0;
  return ReadExtra(*w, index, &value, sizeof(value)) ? value : 0;
}

// Changes GWL_STYLE or GWL_EXSTYLE with WM_STYLECHANGING/WM_STYLECHANGED.
LONG_PTR SetStyle(HWND hwnd, int index, DWORD value) {
  DWORD old;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
    if (!w) return 0;
    old = index == GWL_STYLE ? w->style : w->ex_style;
  }
  STYLESTRUCT ss{old, value};
  SendMessageW(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
  std::shared_ptr<MessageQueue> hint;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindLocked(m, hwnd);
    if (!w) return 0;
    if (index == GWL_STYLE) {
      w->style = ss.styleNew;
      if ((ss.styleNew & WS_VISIBLE) && !(old & WS_VISIBLE))
        hint = InvalidateLocked(m, *w, nullptr, true);
    } else {
      w->ex_style = ss.styleNew;
    }
  }
  HintPaint(hint);
  SendMessageW(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ss));
  return static_cast<LONG_PTR>(static_cast<LONG>(old));
}

LONG_PTR SetWindowValue(HWND hwnd, int index, LONG_PTR value, size_t size) {
  SetLastError(ERROR_SUCCESS);
  if (index == GWL_STYLE || index == GWL_EXSTYLE)
    return SetStyle(hwnd, index, static_cast<DWORD>(value));
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, hwnd);
  if (!w) return 0;
  LONG_PTR old = 0;
  switch (index) {
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->proc);
      w->proc = reinterpret_cast<WNDPROC>(value);
      return old;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(value);
      return old;
    case GWLP_ID:
      old = w->id;
      w->id = value;
      return old;
    case GWLP_USERDATA:
      old = w->user_data;
      w->user_data = value;
      return old;
    case GWLP_HWNDPARENT:
      if (w->parent) return reinterpret_cast<LONG_PTR>(w->parent);  // children keep their parent
      old = reinterpret_cast<LONG_PTR>(w->owner);
      w->owner = value ? RootLocked(m, reinterpret_cast<HWND>(value)) : nullptr;
      return old;
    default:
      break;
  }
  if (index < 0 || static_cast<size_t>(index) + size > w->extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  if (size == sizeof(LONG)) {
    LONG previous, now = static_cast<LONG>(value);
    std::memcpy(&previous, w->extra.data() + index, sizeof(previous));
    std::memcpy(w->extra.data() + index, &now, sizeof(now));
    return previous;
  }
  std::memcpy(&old, w->extra.data() + index, sizeof(old));
  std::memcpy(w->extra.data() + index, &value, sizeof(value));
  return old;
}

}  // namespace window_model
}  // namespace platform

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  return platform::GetWindowValue(window, index, sizeof(LONG_PTR));
}
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  return platform::SetWindowValue(window, index, value, sizeof(LONG_PTR));
}
LONG GetWindowLongW(HWND window, int index) {
  return static_cast<LONG>(platform::GetWindowValue(window, index, sizeof(LONG)));
}
LONG SetWindowLongW(HWND window, int index, LONG value) {
  return static_cast<LONG>(platform::SetWindowValue(window, index, value, sizeof(LONG)));
}

LRESULT CallWindowProcW(WNDPROC proc, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!proc) return 0;
  return proc(window, message, wparam, lparam);
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(size),
                                       reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND window) {
  if (!IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

namespace platform {
inline namespace window_model {

// The folded key of a property name (an atom as "#n").
std::u16string PropKey(LPCWSTR name) {
  if (IS_INTRESOURCE(name)) {
    std::string digits = std::to_string(reinterpret_cast<ULONG_PTR>(name));
    return u"#" + ToUtf16(digits);
  }
  return Fold(name);
}

}  // namespace window_model
}  // namespace platform

BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return FALSE;
  for (auto& p : w->props)
    if (p.first == key) {
      p.second = data;
      return TRUE;
    }
  w->props.emplace_back(std::move(key), data);
  return TRUE;
}

HANDLE GetPropW(HWND window, LPCWSTR name) {
  if (!name) return nullptr;
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, window);
  if (!w) return nullptr;
  for (auto& p : w->props)
    if (p.first == key) return p.second;
  return nullptr;
}

HANDLE RemovePropW(HWND window, LPCWSTR name) {
  if (!name) return nullptr;
  std::u16string key = platform::PropKey(name);
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindLocked(m, window);
  if (!w) return nullptr;
  for (auto it = w->props.begin(); it != w->props.end(); ++it)
    if (it->first == key) {
      HANDLE data = it->second;
      w->props.erase(it);
      return data;
    }
  return nullptr;
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD process_id) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  if (process_id) *process_id = GetCurrentProcessId();
  return w->thread_id;
}
