// Resource pools: searches over compiled resource images, the pool dialog
// and packed bitmaps found in pools.
#include "foundation/WuResPool.h"

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuLangTable.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"

namespace {

constexpr DWORD kMinImage = 32;      // the empty first entry
constexpr DWORD kEntryHead = 8;      // DataSize and HeaderSize
constexpr DWORD kEntryTail = 16;     // DataVersion .. Characteristics
constexpr LCID kEnglishUS = 1033;

// An image holding only the customary empty entry, preceded by its byte
// count as the pools are stored. The shell pages' contents are linked in by
// the programs that show them.
alignas(4) constexpr BYTE kEmptyImage[4 + 32] = {
    32, 0, 0, 0,                                  // byte count
    0, 0, 0, 0, 32, 0, 0, 0,                      // DataSize 0, HeaderSize 32
    0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,           // TYPE 0, NAME 0
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

constexpr DWORD ImageCount(const BYTE* image) {
  return image[0] | image[1] << 8 | image[2] << 16 | static_cast<DWORD>(image[3]) << 24;
}

DWORD ReadDWord(const BYTE* p) {
  DWORD v;
  std::memcpy(&v, p, 4);
  return v;
}
WORD ReadWord(const BYTE* p) {
  WORD v;
  std::memcpy(&v, p, 2);
  return v;
}

// One TYPE or NAME field of an entry header, read within [pos, end).
struct Id {
  bool ordinal = false;  // 0xFFFF and a number
  WORD number = 0;       // the number
  const BYTE* text = nullptr;  // the string's first character
  size_t length = 0;     // its characters
};

// Reads a field at *pos; false when it does not end before `end`.
bool ReadId(const BYTE* image, size_t* pos, size_t end, Id* id) {
  if (end - *pos < 2) return false;
  if (ReadWord(image + *pos) == 0xFFFF) {
    if (end - *pos < 4) return false;
    id->ordinal = true;
    id->number = ReadWord(image + *pos + 2);
    *pos += 4;
    return true;
  }
  id->ordinal = false;
  id->text = image + *pos;
  for (size_t p = *pos; end - p >= 2; p += 2) {
    if (ReadWord(image + p) == 0) {
      id->length = (p - *pos) / 2;
      *pos = p + 2;
      return true;
    }
  }
  return false;
}

// Whether a requested type or name matches an entry's field.
bool Matches(LPCWSTR want, const Id& id) {
  if (IS_INTRESOURCE(want))
    return id.ordinal && id.number == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(want));
  if (id.ordinal) return false;
  size_t n = std::char_traits<char16_t>::length(want);
  if (n != id.length) return false;
  for (size_t i = 0; i < n; ++i)
    if (ReadWord(id.text + 2 * i) != static_cast<WORD>(want[i])) return false;
  return true;
}

}  // namespace

_WURESPOOL WuShellUIResPool = {0, ImageCount(kEmptyImage), kEmptyImage + 4};
// The about box's pool is assembled with its pages in WuAboutPool.cpp.

const void* WuFindResourceInResPool(const _WURESPOOL* pool, DWORD* size, LPCWSTR name,
                                    LPCWSTR type, LCID lcid, LCID* found) {
  if (size) *size = 0;
  if (found) *found = 0;
  if (!pool || !pool->data || pool->size < kMinImage || !name || !type) return nullptr;
  LCID kernel = WuLang_GetLCID(WuKernel_GetLangHandle());
  LCID wanted = WuLang_GetConditionedLCID(lcid ? lcid : kernel);

  const BYTE* image = pool->data;
  const size_t end = pool->size;
  const BYTE* fallback = nullptr;
  DWORD fallbackSize = 0;
  LCID fallbackLang = 0;
  // Sizes are summed in 64 bits so that no entry can wrap past the end.
  for (size_t pos = 0; end - pos > 12;) {
    uint64_t dataSize = ReadDWord(image + pos);
    uint64_t headerSize = ReadDWord(image + pos + 4);
    uint64_t total = dataSize + headerSize;
    if (total <= 12 || total > end - pos) break;
    // The header's own fields must lie inside the header.
    size_t headerEnd = pos + static_cast<size_t>(headerSize);
    size_t p = pos + kEntryHead;
    Id entryType, entryName;
    if (headerSize < kEntryHead + kEntryTail || !ReadId(image, &p, headerEnd, &entryType) ||
        !ReadId(image, &p, headerEnd, &entryName))
      break;
    p = (p + 3) & ~static_cast<size_t>(3);
    if (p > headerEnd || headerEnd - p < kEntryTail) break;
    LCID language = ReadWord(image + p + 6);
    if (Matches(type, entryType) && Matches(name, entryName)) {
      const BYTE* data = image + headerEnd;
      if (WuLang_GetConditionedLCID(language) == wanted) {
        if (size) *size = static_cast<DWORD>(dataSize);
        if (found) *found = language;
        return data;
      }
      if (!fallback || language == kernel) {
        fallback = data;
        fallbackSize = static_cast<DWORD>(dataSize);
        fallbackLang = language;
      }
    }
    uint64_t step = (total + 3) & ~uint64_t{3};
    if (step >= end - pos) break;
    pos += static_cast<size_t>(step);
  }
  if (fallback) {
    if (size) *size = fallbackSize;
    if (found) *found = fallbackLang;
  }
  return fallback;
}

const DLGTEMPLATE* WuFindDialogTemplateInResPool(const _WURESPOOL* pool, DWORD* size,
                                                 LPCWSTR name, LCID lcid) {
  return static_cast<const DLGTEMPLATE*>(
      WuFindResourceInResPool(pool, size, name, RT_DIALOG, lcid, nullptr));
}

INT_PTR WuResPoolDialogBox(const _WURESPOOL* pool, HWULANG lang, LPCWSTR name, HWND parent,
                           DLGPROC proc, LPARAM param) {
  LCID lcid = WuLang_GetLCID(lang);
  if (!lcid) lcid = kEnglishUS;
  DWORD size = 0;
  const DLGTEMPLATE* found = WuFindDialogTemplateInResPool(pool, &size, name, lcid);
  if (!found || !size) return -1;
  // A private, aligned copy in global memory: the dialog layer checks the
  // template against the size of the block it starts.
  HGLOBAL block = GlobalAlloc(GMEM_FIXED, size);
  if (!block) return -1;
  void* copy = GlobalLock(block);
  std::memcpy(copy, found, size);
  INT_PTR result =
      WuDialogBoxIndirectParam(lang, static_cast<const DLGTEMPLATE*>(copy), parent, proc, param);
  GlobalUnlock(block);
  GlobalFree(block);
  return result;
}

// ---- Packed bitmaps -----------------------------------------------------------------------

namespace {

constexpr DWORD kCoreHeader = 12;  // BITMAPCOREHEADER
constexpr DWORD kInfoHeader = 40;  // BITMAPINFOHEADER
constexpr DWORD kLargestHeader = 124;  // BITMAPV5HEADER
constexpr DWORD kMaskEnd = kInfoHeader + 12;  // the three masks of BI_BITFIELDS
constexpr DWORD kMaxEntries = 256;  // entries a colour table may hold

int EntriesByDepth(WORD bits) {
  switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

}  // namespace

int WuDibColorTableBytes(const void* header) {
  if (!header) return 0;
  const BYTE* h = static_cast<const BYTE*>(header);
  DWORD headerSize = ReadDWord(h);
  if (headerSize == kCoreHeader) return 3 * EntriesByDepth(ReadWord(h + 10));
  BITMAPINFOHEADER info;
  std::memcpy(&info, h, sizeof(info));
  // A count no table can hold is refused before it is multiplied, so that
  // a lying header never places the bits far past the block.
  if (info.biClrUsed > kMaxEntries) return -1;
  if (info.biClrUsed) return static_cast<int>(4 * info.biClrUsed);
  return 4 * EntriesByDepth(info.biBitCount);
}

int WuPackedDibBitsOffset(const void* packed) {
  if (!packed) return -1;
  const BYTE* p = static_cast<const BYTE*>(packed);
  DWORD headerSize = ReadDWord(p);
  if (headerSize != kCoreHeader && (headerSize < kInfoHeader || headerSize > kLargestHeader))
    return -1;
  int table = WuDibColorTableBytes(p);
  if (table < 0) return -1;
  // The three masks of BI_BITFIELDS sit at byte 40, inside the longer
  // headers and right after a 40-byte one, where they come before the
  // colour table and the bits.
  DWORD masks = 0;
  if (headerSize != kCoreHeader && ReadDWord(p + 16) == BI_BITFIELDS && headerSize < kMaskEnd)
    masks = kMaskEnd - headerSize;
  return static_cast<int>(headerSize + masks) + table;
}

HBITMAP WuCreateBitmapFromPackedDib(const void* packed) {
  const int offset = WuPackedDibBitsOffset(packed);
  if (offset < 0) return nullptr;
  const BYTE* p = static_cast<const BYTE*>(packed);
  const DWORD headerSize = ReadDWord(p);
  const int table = WuDibColorTableBytes(p);
  // The copy handed to the drawing layer holds the masks of a 40-byte
  // BI_BITFIELDS header.
  const DWORD end = static_cast<DWORD>(offset);
  const BYTE* bits = p + end;
  // The drawing layer takes info headers: a core header and its 3-byte
  // entries are widened into one.
  std::vector<BYTE> info;
  if (headerSize == kCoreHeader) {
    int entries = table / 3;
    info.assign(sizeof(BITMAPINFOHEADER) + 4 * static_cast<size_t>(entries), 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = ReadWord(p + 4);
    h.biHeight = static_cast<SHORT>(ReadWord(p + 6));
    h.biPlanes = 1;
    h.biBitCount = ReadWord(p + 10);
    std::memcpy(info.data(), &h, sizeof(h));
    for (int i = 0; i < entries; ++i)
      std::memcpy(info.data() + sizeof(h) + 4 * i, p + kCoreHeader + 3 * i, 3);
  } else {
    info.assign(p, p + end);
  }
  const auto* bmi = reinterpret_cast<const BITMAPINFO*>(info.data());
  HDC dc = GetDC(nullptr);
  if (!dc) return nullptr;
  HBITMAP bitmap = CreateDIBitmap(dc, &bmi->bmiHeader, CBM_INIT, bits, bmi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  return bitmap;
}
