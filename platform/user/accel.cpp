// Keyboard accelerator tables (see accel.h).
#include "platform/user/accel.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/resource.h"
#include "platform/user/menu.h"

namespace platform {
namespace {

// A table behind an HACCEL.
struct AccelTable {
  std::vector<ACCEL> entries;  // in resource order; the first match wins
};

// The live tables, so that handles can be checked.
struct AccelRegistry {
  std::mutex lock;                      // guards `live`
  std::unordered_set<AccelTable*> live; // every table not yet destroyed
};

AccelRegistry& Registry() {
  static AccelRegistry* registry = new AccelRegistry;
  return *registry;
}

// Runs `use` on the table of a handle with the registry locked, so that a
// table destroyed by another thread is never read; false
// (ERROR_INVALID_HANDLE) when the handle is not a live table.
template <typename F>
bool WithTable(HACCEL handle, F use) {
  auto* table = reinterpret_cast<AccelTable*>(handle);
  AccelRegistry& r = Registry();
  {
    std::lock_guard<std::mutex> guard(r.lock);
    if (table && r.live.count(table)) {
      use(*table);
      return true;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

// Registers a filled table and hands out its handle; NULL on no memory.
HACCEL Publish(std::vector<ACCEL>&& entries) {
  auto* table = new (std::nothrow) AccelTable;
  if (!table) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  table->entries = std::move(entries);
  try {
    AccelRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.insert(table);
  } catch (...) {
    delete table;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return reinterpret_cast<HACCEL>(table);
}

WORD ReadWord(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

bool KeyDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

HACCEL CreateAcceleratorTableFromResource(const void* data, DWORD size) {
  constexpr DWORD kEntry = 8;
  constexpr WORD kLast = 0x80;
  const BYTE* bytes = static_cast<const BYTE*>(data);
  std::vector<ACCEL> entries;
  try {
    for (DWORD offset = 0; bytes && offset + kEntry <= size; offset += kEntry) {
      WORD flags = ReadWord(bytes + offset);
      entries.push_back(ACCEL{static_cast<BYTE>(flags & 0x7F), ReadWord(bytes + offset + 2),
                              ReadWord(bytes + offset + 4)});
      if (flags & kLast) return Publish(std::move(entries));
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The bytes ended before the entry marked last: a damaged resource.
  SetLastError(ERROR_INVALID_DATA);
  return nullptr;
}

size_t LiveAcceleratorTableCount() {
  AccelRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.live.size();
}

}  // namespace platform

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (!entries || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<ACCEL> copy;
  try {
    copy.assign(entries, entries + count);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return platform::Publish(std::move(copy));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  auto* t = reinterpret_cast<platform::AccelTable*>(table);
  {
    platform::AccelRegistry& r = platform::Registry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!t || !r.live.erase(t)) t = nullptr;
  }
  if (!t) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  delete t;
  return TRUE;
}

int CopyAcceleratorTableW(HACCEL table, ACCEL* entries, int count) {
  int result = 0;
  platform::WithTable(table, [&](const platform::AccelTable& t) {
    int total = static_cast<int>(t.entries.size());
    if (!entries) {
      result = total;
      return;
    }
    result = count < total ? (count < 0 ? 0 : count) : total;
    std::memcpy(entries, t.entries.data(), static_cast<size_t>(result) * sizeof(ACCEL));
  });
  return result;
}

HACCEL LoadAcceleratorsW(HINSTANCE module, LPCWSTR name) {
  HRSRC found = FindResourceW(module, name, RT_ACCELERATOR);
  if (!found) return nullptr;
  HGLOBAL data = LoadResource(module, found);
  if (!data) return nullptr;
  return platform::CreateAcceleratorTableFromResource(LockResource(data),
                                                      SizeofResource(module, found));
}

namespace {

// The pop-up of `menu` (searched depth-first) that holds command `id`
// directly, with its position in the menu above it.
bool PopupHolding(HMENU menu, UINT id, HMENU* popup, int* position) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    HMENU sub = GetSubMenu(menu, i);
    if (!sub) continue;
    int n = GetMenuItemCount(sub);
    for (int j = 0; j < n; ++j) {
      if (!GetSubMenu(sub, j) && GetMenuItemID(sub, j) == id &&
          !(GetMenuState(sub, static_cast<UINT>(j), MF_BYPOSITION) & MF_SEPARATOR)) {
        *popup = sub;
        *position = i;
        return true;
      }
    }
    if (PopupHolding(sub, id, popup, position)) return true;
  }
  return false;
}

}  // namespace

int TranslateAcceleratorW(HWND window, HACCEL table, MSG* message) {
  if (!message) return 0;
  UINT kind = message->message;
  bool key = kind == WM_KEYDOWN || kind == WM_SYSKEYDOWN;
  bool character = kind == WM_CHAR || kind == WM_SYSCHAR;
  if (!key && !character) return 0;
  BYTE held = static_cast<BYTE>((platform::KeyDown(VK_SHIFT) ? FSHIFT : 0) |
                                (platform::KeyDown(VK_CONTROL) ? FCONTROL : 0) |
                                (platform::KeyDown(VK_MENU) ? FALT : 0));
  WORD code = static_cast<WORD>(message->wParam);
  // The match is copied out so the window's procedure, which runs after the
  // lock is released, may destroy the table.
  ACCEL hit{};
  bool matched = false;
  platform::WithTable(table, [&](const platform::AccelTable& t) {
    for (const ACCEL& a : t.entries) {
      bool virtual_key = (a.fVirt & FVIRTKEY) != 0;
      if (a.key != code || virtual_key != key) continue;
      // A virtual key needs exactly its modifiers. A character already
      // carries Shift and Ctrl; only Alt is asked for.
      bool modifiers = virtual_key
                           ? (a.fVirt & (FSHIFT | FCONTROL | FALT)) == held
                           : ((a.fVirt & FALT) != 0) == ((held & FALT) != 0);
      if (modifiers) {
        hit = a;
        matched = true;
        return;
      }
    }
  });
  if (!matched) return 0;
  // A command of the menu bar: its pop-up is prepared first (so that the
  // window can enable or check the item), as when the user opens it.
  HMENU popup = nullptr;
  int position = 0;
  if (HMENU bar = GetMenu(window); bar && PopupHolding(bar, hit.cmd, &popup, &position))
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup),
                 MAKELPARAM(position, 0));
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(hit.cmd, 1), 0);
  return 1;
}
