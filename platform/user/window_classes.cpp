// Window classes: registration, lookup and class data.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

// The system classes are registered the first time a class is looked up.
// The common control classes follow as soon as their registrar is known:
// it arrives when the program starts, so a lookup made earlier (a static
// initialiser) does not leave them out for good.
void EnsureSystemClasses() {
  std::call_once(g_system_classes, [] {
    RegisterStandardControlClasses();
    RegisterDialogClass();
  });
  if (g_common_control_classes_done.load(std::memory_order_acquire)) return;
  void (*registrar)() = g_common_control_classes.load(std::memory_order_acquire);
  if (!registrar) return;
  std::lock_guard<std::mutex> hold(g_common_control_classes_lock);
  if (g_common_control_classes_done.load(std::memory_order_relaxed)) return;
  registrar();
  g_common_control_classes_done.store(true, std::memory_order_release);
}

// The main program stands for a NULL instance.
HINSTANCE NormalizeInstance(HINSTANCE instance) {
  return instance ? instance : GetModuleHandleW(nullptr);
}

// A class name or atom: the atom (for "#123" too) or the folded name.
bool ParseClassName(LPCWSTR name, ATOM* atom, std::u16string* folded) {
  *atom = 0;
  if (!name) return false;
  if (IS_INTRESOURCE(name)) {
    *atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return *atom != 0;
  }
  if (name[0] == u'#' && name[1]) {
    DWORD value = 0;
    int i = 1;
    for (; name[i] >= u'0' && name[i] <= u'9' && value < 0x10000; ++i) value = value * 10 + (name[i] - u'0');
    if (!name[i] && value > 0 && value < 0x10000) {
      *atom = static_cast<ATOM>(value);
      return true;
    }
  }
  *folded = Fold(name);
  return !folded->empty();
}

ATOM AtomForLocked(Model& m, const std::u16string& folded) {
  auto it = m.atoms.find(folded);
  if (it != m.atoms.end()) return it->second;
  ATOM atom = m.next_atom++;
  m.atoms[folded] = atom;
  return atom;
}

// The class a name means for an instance: its own, then a global one, then
// a system one.
std::shared_ptr<WindowClass> FindClassLocked(Model& m, LPCWSTR name, HINSTANCE instance) {
  ATOM atom;
  std::u16string folded;
  if (!ParseClassName(name, &atom, &folded)) return nullptr;
  if (!atom) {
    auto it = m.atoms.find(folded);
    if (it == m.atoms.end()) return nullptr;
    atom = it->second;
  }
  instance = NormalizeInstance(instance);
  for (auto& c : m.classes)
    if (!c->system && !(c->wc.style & CS_GLOBALCLASS) && c->atom == atom && c->wc.hInstance == instance)
      return c;
  for (auto& c : m.classes)
    if (!c->system && (c->wc.style & CS_GLOBALCLASS) && c->atom == atom) return c;
  for (auto& c : m.classes)
    if (c->system && c->atom == atom) return c;
  return nullptr;
}

// An application class of this name and instance (for registration).
std::shared_ptr<WindowClass> FindOwnClassLocked(Model& m, const std::u16string& folded,
                                                HINSTANCE instance) {
  for (auto& c : m.classes)
    if (!c->system && c->folded == folded && c->wc.hInstance == instance) return c;
  return nullptr;
}

bool ClassRecordIsValid(const WNDCLASSEXW* wc) {
  return wc && wc->lpszClassName && !IS_INTRESOURCE(wc->lpszClassName) && wc->lpszClassName[0] &&
         wc->lpfnWndProc && wc->cbClsExtra >= 0 && wc->cbWndExtra >= 0 &&
         wc->cbClsExtra <= 40000 && wc->cbWndExtra <= 40000;
}

ATOM RegisterLocked(Model& m, const WNDCLASSEXW& wc, bool system, ATOM atom) {
  auto c = std::make_shared<WindowClass>();
  c->name = wc.lpszClassName;
  c->folded = Fold(c->name);
  if (atom) {
    m.atoms[c->folded] = atom;
  } else {
    atom = AtomForLocked(m, c->folded);
  }
  c->atom = atom;
  c->wc = wc;
  c->wc.cbSize = sizeof(WNDCLASSEXW);
  c->wc.lpszClassName = c->name.c_str();
  c->wc.hInstance = system ? nullptr : NormalizeInstance(wc.hInstance);
  c->system = system;
  c->extra.assign(static_cast<size_t>(wc.cbClsExtra), 0);
  m.classes.push_back(std::move(c));
  return atom;
}

}  // namespace window_model
}  // namespace platform
// ==== Classes ======================================================================

ATOM RegisterClassExW(const WNDCLASSEXW* wc) {
  if (!wc || wc->cbSize != sizeof(WNDCLASSEXW) || !platform::ClassRecordIsValid(wc)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  HINSTANCE instance = platform::NormalizeInstance(wc->hInstance);
  if (platform::FindOwnClassLocked(m, platform::Fold(wc->lpszClassName), instance)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return platform::RegisterLocked(m, *wc, false, 0);
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSEXW ex{sizeof(WNDCLASSEXW), wc->style, wc->lpfnWndProc, wc->cbClsExtra, wc->cbWndExtra,
                 wc->hInstance, wc->hIcon, wc->hCursor, wc->hbrBackground, wc->lpszMenuName,
                 wc->lpszClassName, nullptr};
  return RegisterClassExW(&ex);
}

BOOL UnregisterClassW(LPCWSTR class_name, HINSTANCE instance) {
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<platform::WindowClass> cls = platform::FindClassLocked(m, class_name, instance);
  if (!cls || cls->system || cls->wc.hInstance != platform::NormalizeInstance(instance)) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (cls->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  m.classes.erase(std::remove(m.classes.begin(), m.classes.end(), cls), m.classes.end());
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSEXW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::EnsureSystemClasses();
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<platform::WindowClass> cls = platform::FindClassLocked(m, class_name, instance);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  *wc = cls->wc;
  return cls->atom;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR class_name, WNDCLASSW* wc) {
  if (!wc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WNDCLASSEXW ex{};
  BOOL atom = GetClassInfoExW(instance, class_name, &ex);
  if (!atom) return FALSE;
  *wc = WNDCLASSW{ex.style, ex.lpfnWndProc, ex.cbClsExtra, ex.cbWndExtra, ex.hInstance,
                  ex.hIcon, ex.hCursor, ex.hbrBackground, ex.lpszMenuName, ex.lpszClassName};
  return atom;
}

int GetClassNameW(HWND window, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (const platform::ForeignWindowCalls* foreign = platform::ForeignCalls();
      foreign && foreign->is_foreign(window))
    return foreign->class_name(window, buffer, size);
  std::u16string name;
  {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    if (platform::IsDesktop(window)) {
      name = u"#32769";
    } else {
      std::shared_ptr<Window> w = FindOrFailLocked(m, window);
      if (!w) return 0;
      name = w->cls->name;
    }
  }
  size_t n = std::min(name.size(), static_cast<size_t>(size - 1));
  name.copy(buffer, n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  const WNDCLASSEXW& wc = w->cls->wc;
  switch (index) {
    case GCLP_MENUNAME: return reinterpret_cast<ULONG_PTR>(wc.lpszMenuName);
    case GCLP_HBRBACKGROUND: return reinterpret_cast<ULONG_PTR>(wc.hbrBackground);
    case GCLP_HCURSOR: return reinterpret_cast<ULONG_PTR>(wc.hCursor);
    case GCLP_HICON: return reinterpret_cast<ULONG_PTR>(wc.hIcon);
    case GCLP_HICONSM: return reinterpret_cast<ULONG_PTR>(wc.hIconSm);
    case GCLP_HMODULE: return reinterpret_cast<ULONG_PTR>(wc.hInstance);
    case GCL_CBWNDEXTRA: return static_cast<ULONG_PTR>(wc.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<ULONG_PTR>(wc.cbClsExtra);
    case GCLP_WNDPROC: return reinterpret_cast<ULONG_PTR>(wc.lpfnWndProc);
    case GCL_STYLE: return wc.style;
    case GCW_ATOM: return w->cls->atom;
    default: break;
  }
  std::vector<BYTE>& extra = w->cls->extra;
  if (index < 0 || static_cast<size_t>(index) + sizeof(ULONG_PTR) > extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  ULONG_PTR value;
  std::memcpy(&value, extra.data() + index, sizeof(value));
  return value;
}

ULONG_PTR SetClassLongPtrW(HWND window, int index, LONG_PTR value) {
  Model& m = M();
  std::lock_guard<std::mutex> guard(m.lock);
  std::shared_ptr<Window> w = FindOrFailLocked(m, window);
  if (!w) return 0;
  WNDCLASSEXW& wc = w->cls->wc;
  ULONG_PTR old = 0;
  auto swap_ptr = [&](auto& field) {
    old = reinterpret_cast<ULONG_PTR>(field);
    field = reinterpret_cast<std::remove_reference_t<decltype(field)>>(value);
  };
  switch (index) {
    case GCLP_HBRBACKGROUND: swap_ptr(wc.hbrBackground); return old;
    case GCLP_HCURSOR: swap_ptr(wc.hCursor); return old;
    case GCLP_HICON: swap_ptr(wc.hIcon); return old;
    case GCLP_HICONSM: swap_ptr(wc.hIconSm); return old;
    case GCLP_WNDPROC: swap_ptr(wc.lpfnWndProc); return old;
    case GCL_STYLE: old = wc.style; wc.style = static_cast<UINT>(value); return old;
    default: break;
  }
  std::vector<BYTE>& extra = w->cls->extra;
  if (index < 0 || static_cast<size_t>(index) + sizeof(ULONG_PTR) > extra.size()) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  std::memcpy(&old, extra.data() + index, sizeof(old));
  std::memcpy(extra.data() + index, &value, sizeof(value));
  return old;
}
