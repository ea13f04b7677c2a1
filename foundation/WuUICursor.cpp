// Cursor loaders and the cursor caches.
#include "foundation/WuUICursor.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr UINT kPlatformBase = 0x7F00;   // first platform cursor id
constexpr UINT kPlatformSlots = 15;      // slots of the platform cache
constexpr UINT kSizerFirst = 32642;      // first id of the second platform range
constexpr UINT kSizerLast = 32651;       // last id of the second platform range
constexpr UINT kSizerSlot = 5;           // slot of kSizerFirst
constexpr DWORD kMinCursorBytes = 22;    // smallest thing that can be a cursor
constexpr DWORD kIconVersion = 0x30000;  // resource format version

// The caches: cursors by slot, NULL where none is loaded yet.
HCURSOR g_platform[kPlatformSlots];        // platform cursors (shared, never destroyed)
HCURSOR g_kernel[WU_KERNEL_CURSOR_COUNT];  // built-in cursors, ids 1..57
HCURSOR g_app[WU_APP_CURSOR_COUNT];        // application cursors, ids base..base+49
HINSTANCE g_appModule = nullptr;           // module of the application cursors
UINT g_appBase = 0;                        // first application cursor id (0: none)

WORD Rd16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Rd32(const BYTE* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
         (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

// TRUE when [offset, offset + length) lies inside `size` bytes.
bool Inside(uint64_t offset, uint64_t length, DWORD size) { return offset + length <= size; }

HCURSOR Arrow() { return LoadCursorW(nullptr, IDC_ARROW); }

// One chosen image of a directory: hotspot and image bytes.
struct CursorImage {
  WORD hotX;          // hotspot x
  WORD hotY;          // hotspot y
  DWORD offset;       // offset of the image (BITMAPINFOHEADER) in the data
  DWORD bytes;        // bytes of the image
};

// Reads entry `index` of a .cur-style directory at `dir` (header already
// checked to fit) and checks that its image lies inside the data.
bool ReadFileEntry(const BYTE* data, DWORD size, DWORD dir, int index, CursorImage* image) {
  const uint64_t e = dir + WU_CUR_DIR_HEADER_SIZE + static_cast<uint64_t>(index) * WU_CUR_DIR_ENTRY_SIZE;
  if (!Inside(e, WU_CUR_DIR_ENTRY_SIZE, size)) return false;
  image->hotX = Rd16(data + e + 4);
  image->hotY = Rd16(data + e + 6);
  image->bytes = Rd32(data + e + 8);
  image->offset = Rd32(data + e + 12);
  return image->bytes >= sizeof(BITMAPINFOHEADER) && Inside(image->offset, image->bytes, size);
}

// The index that the platform's best-size lookup chooses in a group
// directory, or `fallback` when the lookup fails.
int PickIndex(const BYTE* groupDir, UINT flags, int fallback) {
  int id = LookupIconIdFromDirectoryEx(groupDir, FALSE, 0, 0, flags);
  return id > 0 ? id - 1 : fallback;
}

// Picks from a .cur file: a group directory is built from the file's
// entries on the heap (the count is already bounded by the data size).
int PickFromFile(const BYTE* data, DWORD count, UINT flags, int fallback) {
  std::vector<BYTE> group;
  try {
    group.assign(WU_GROUP_DIR_HEADER_SIZE + count * WU_GROUP_DIR_ENTRY_SIZE, 0);
  } catch (const std::bad_alloc&) {
    return fallback;
  }
  group[2] = 2;
  group[4] = static_cast<BYTE>(count);
  group[5] = static_cast<BYTE>(count >> 8);
  for (DWORD i = 0; i < count; ++i) {
    const BYTE* f = data + WU_CUR_DIR_HEADER_SIZE + i * WU_CUR_DIR_ENTRY_SIZE;
    BYTE* g = &group[WU_GROUP_DIR_HEADER_SIZE + i * WU_GROUP_DIR_ENTRY_SIZE];
    WORD width = f[0] ? f[0] : 256, height = f[1] ? f[1] : 256;
    height = static_cast<WORD>(height * 2);  // group heights count the mask
    g[0] = static_cast<BYTE>(width);
    g[1] = static_cast<BYTE>(width >> 8);
    g[2] = static_cast<BYTE>(height);
    g[3] = static_cast<BYTE>(height >> 8);
    std::memcpy(g + 8, f + 8, 4);  // image bytes
    g[12] = static_cast<BYTE>(i + 1);
    g[13] = static_cast<BYTE>((i + 1) >> 8);
  }
  return PickIndex(group.data(), flags, fallback);
}

// Makes the cursor from hotspot + image, in place when the four bytes
// before the image already hold the hotspot, else from a copy.
HCURSOR CreateFromImage(const BYTE* data, const CursorImage& image, UINT flags) {
  if (image.offset >= 4) {
    const BYTE* before = data + image.offset - 4;
    if (Rd16(before) == image.hotX && Rd16(before + 2) == image.hotY)
      return CreateIconFromResourceEx(before, image.bytes + 4, FALSE, kIconVersion, 0, 0, flags);
  }
  std::vector<BYTE> copy;
  try {
    copy.resize(static_cast<size_t>(image.bytes) + 4);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  copy[0] = static_cast<BYTE>(image.hotX);
  copy[1] = static_cast<BYTE>(image.hotX >> 8);
  copy[2] = static_cast<BYTE>(image.hotY);
  copy[3] = static_cast<BYTE>(image.hotY >> 8);
  std::memcpy(copy.data() + 4, data + image.offset, image.bytes);
  return CreateIconFromResourceEx(copy.data(), image.bytes + 4, FALSE, kIconVersion, 0, 0,
                                  flags & ~LR_SHARED);
}

// A "gcur" container: both directories must be whole, of type 2 and agree
// on the count.
HCURSOR FromContainer(const BYTE* data, DWORD size, int index, UINT flags) {
  const BYTE* group = data + WU_GCUR_HEADER_SIZE;
  const DWORD dir = Rd32(data + 4);
  if (!Inside(WU_GCUR_HEADER_SIZE, WU_GROUP_DIR_HEADER_SIZE, size) || Rd16(group) != 0 ||
      Rd16(group + 2) != 2)
    return nullptr;
  const DWORD count = Rd16(group + 4);
  if (count == 0 ||
      !Inside(WU_GCUR_HEADER_SIZE + WU_GROUP_DIR_HEADER_SIZE, uint64_t{count} * WU_GROUP_DIR_ENTRY_SIZE, size) ||
      !Inside(dir, WU_CUR_DIR_HEADER_SIZE + uint64_t{count} * WU_CUR_DIR_ENTRY_SIZE, size) ||
      Rd16(data + dir) != 0 || Rd16(data + dir + 2) != 2 || Rd16(data + dir + 4) != count)
    return nullptr;
  if (index < 0) index = count > 1 ? PickIndex(group, flags, 0) : 0;
  if (index >= static_cast<int>(count)) return nullptr;
  CursorImage image;
  if (!ReadFileEntry(data, size, dir, index, &image)) return nullptr;
  return CreateFromImage(data, image, flags);
}

// A .cur file (already recognised by IsLikelyCursorFilePtr).
HCURSOR FromFile(const BYTE* data, DWORD size, int index, UINT flags) {
  const DWORD count = Rd16(data + 4);
  if (!Inside(WU_CUR_DIR_HEADER_SIZE, uint64_t{count} * WU_CUR_DIR_ENTRY_SIZE, size)) return nullptr;
  if (index < 0) index = count > 1 ? PickFromFile(data, count, flags, 0) : 0;
  if (index >= static_cast<int>(count)) return nullptr;
  CursorImage image;
  if (!ReadFileEntry(data, size, 0, index, &image)) return nullptr;
  return CreateFromImage(data, image, flags);
}

}  // namespace

BOOL IsWuGroupCursorPtr(const BYTE* data, DWORD size) {
  return data && size > 27 && std::memcmp(data, "gcur", 4) == 0;
}

BOOL IsLikelyCursorRESPtr(const BYTE* data, DWORD size) {
  if (!data || size < 44 || Rd32(data + 4) != 40) return FALSE;
  const LONG width = static_cast<LONG>(Rd32(data + 8));
  const LONG height = static_cast<LONG>(Rd32(data + 12));
  return Rd32(data + 24) < size && width >= Rd16(data) && height >= Rd16(data + 2);
}

BOOL IsLikelyCursorFilePtr(const BYTE* data, DWORD size) {
  if (!data || size <= 21 || Rd16(data) != 0 || Rd16(data + 2) != 2) return FALSE;
  const DWORD count = Rd16(data + 4);
  if (count == 0 || count >= size / 40) return FALSE;
  CursorImage image;
  if (!ReadFileEntry(data, size, 0, 0, &image)) return FALSE;
  const LONG width = data[6] ? data[6] : 256;
  return static_cast<LONG>(Rd32(data + image.offset + 4)) == width;
}

HCURSOR WuLoadCursorFromBits(const BYTE* data, DWORD size, int index, UINT flags) {
  if (!data || size < kMinCursorBytes) return nullptr;
  if (IsWuGroupCursorPtr(data, size)) return FromContainer(data, size, index, flags);
  if (IsLikelyCursorRESPtr(data, size))
    return CreateIconFromResourceEx(data, size, FALSE, kIconVersion, 0, 0, flags);
  if (IsLikelyCursorFilePtr(data, size)) return FromFile(data, size, index, flags);
  return nullptr;
}

HCURSOR WuLoadKernelCursor(UINT id) {
  DWORD size = 0;
  const BYTE* bits = WuGetKernelCursorBits(id, &size);
  return bits ? WuLoadCursorFromBits(bits, size, -1, LR_SHARED | LR_DEFAULTSIZE) : nullptr;
}

HCURSOR WuGetUICursor(UINT id) {
  HCURSOR* slot = nullptr;
  HCURSOR loaded = nullptr;
  if (id >= kPlatformBase) {
    if (id < kPlatformBase + kPlatformSlots) {
      slot = &g_platform[id - kPlatformBase];
    } else if (id >= kSizerFirst && id <= kSizerLast) {
      slot = &g_platform[kSizerSlot + id - kSizerFirst];
    } else {
      slot = &g_platform[0];
      id = OCR_NORMAL;
    }
    if (!*slot) loaded = LoadCursorW(nullptr, MAKEINTRESOURCEW(id));
  } else if (id >= 1 && id <= WU_KERNEL_CURSOR_COUNT) {
    slot = &g_kernel[id - 1];
    if (!*slot) loaded = WuLoadKernelCursor(id);
  } else if (g_appBase != 0 && id >= g_appBase && id - g_appBase < WU_APP_CURSOR_COUNT) {
    slot = &g_app[id - g_appBase];
    if (!*slot) loaded = LoadCursorW(g_appModule, MAKEINTRESOURCEW(id));
  } else {
    return Arrow();
  }
  if (!*slot) {
    if (!loaded) return Arrow();
    *slot = loaded;
  }
  return *slot;
}

void WuUICursor_SetAppCursors(HINSTANCE module, UINT baseId) {
  g_appModule = module;
  g_appBase = baseId;
}

void WuUICursor_LateTerminate() {
  SetCursor(Arrow());
  for (HCURSOR& c : g_kernel) {
    if (c) DestroyCursor(c);
    c = nullptr;
  }
  for (HCURSOR& c : g_app) {
    if (c) DestroyCursor(c);
    c = nullptr;
  }
  for (HCURSOR& c : g_platform) c = nullptr;  // shared: not destroyed
}
