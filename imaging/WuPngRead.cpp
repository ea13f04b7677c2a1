// Reading PNG images into bitmap blocks through libpng.
//
// libpng reports errors by longjmp to the jump buffer armed in DecodePng.
// The functions between that setjmp and the libpng calls (DecodePng,
// DecodeImage and the read callbacks) hold no objects with destructors and
// keep every resource in the DecodeState record, so the error path can
// release it all.
#include "imaging/WuPngRead.h"
#include "imaging/WuPngReadTesting.h"

#include <png.h>

#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "foundation/WuLang.h"
#include "foundation/WuStatus.h"
#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"

namespace {

constexpr int kSignatureBytes = 8;
constexpr png_fixed_point kScreenGamma = 220000;  // display gamma 2.2, in 1/100000
constexpr png_fixed_point kGammaUnit = 100000;    // 1.0
constexpr png_fixed_point kGammaThreshold = 5000; // corrections within 5% are skipped

// Limits on what a file can make libpng allocate. A chunk's length field is
// read before its data, so without them a few hundred bytes announcing a
// 2 GB chunk reserve 2 GB. No chunk the reader keeps (IHDR, PLTE, tRNS,
// gAMA, the colour-space chunks, IDAT in its own stream) comes near 4 MiB.
constexpr png_alloc_size_t kMaxChunkBytes = 4u << 20;
// Widest and tallest image accepted: libpng's own default, already below
// what a bitmap block can hold at any pixel type (2 GiB of rows), so the
// row buffers stay within kMaxSide * 8 bytes.
constexpr png_uint_32 kMaxSide = 1000000;
// Largest single allocation libpng may make: the chunk limit or a row of
// the widest image at 8 bytes a pixel (16-bit RGBA), with room to spare.
constexpr png_alloc_size_t kMaxAllocation = 16u << 20;
// Ancillary chunks the reader never uses. They are skipped unread rather
// than buffered and parsed (sPLT in particular is buffered whole).
constexpr png_byte kIgnoredChunks[] =
    "sPLT\0tEXt\0zTXt\0iTXt\0eXIf\0hIST\0pCAL\0sCAL\0tIME\0oFFs\0pHYs\0sBIT\0bKGD";
constexpr int kIgnoredChunkCount = 13;

// Largest allocation request libpng made of this reader, for tests.
std::atomic<size_t> g_largestRequest{0};

// Where the PNG bytes come from: a file, or memory (data, size, offset).
struct PngSource {
  HANDLE file;       // open file, or null for memory
  const BYTE* data;  // memory: the PNG bytes
  LONG size;         // memory: their number
  LONG offset;       // memory: the next byte to deliver
};

// Everything one decode holds; released by FinishDecode on every path.
struct DecodeState {
  PngSource* source;           // the byte source
  png_structp png;             // libpng read structure
  png_infop info;              // libpng info structure
  BITMAPINFOHEADER* bitmap;    // the bitmap being filled, until handed out
  RGBQUAD palette[256];        // palette of images kept as palettes
  int paletteCount;            // its entries
};

// ---- libpng callbacks ---------------------------------------------------------------

void OnPngError(png_structp png, png_const_charp message) { png_longjmp(png, 1); }
void OnPngWarning(png_structp png, png_const_charp message) {}

// libpng's allocations: requests above kMaxAllocation fail (libpng then
// skips the chunk or reports an error) instead of reserving memory.
png_voidp AllocateForPng(png_structp png, png_alloc_size_t size) {
  size_t seen = g_largestRequest.load(std::memory_order_relaxed);
  while (size > seen && !g_largestRequest.compare_exchange_weak(seen, size)) {
  }
  return size <= kMaxAllocation ? std::malloc(size) : nullptr;
}
void FreeForPng(png_structp png, png_voidp block) { std::free(block); }

// A source that cannot deliver every byte asked for is an error: libpng
// would otherwise parse bytes that were never read.
void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
  PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
  const int64_t remaining = static_cast<int64_t>(source->size) - source->offset;
  if (remaining < 0 || static_cast<uint64_t>(remaining) < count)
    png_error(png, "Read past the end of the data");
  std::memcpy(out, source->data + source->offset, count);
  source->offset += static_cast<LONG>(count);
}

void ReadFromFile(png_structp png, png_bytep out, size_t count) {
  PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
  while (count > 0) {
    const DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD got = 0;
    if (!ReadFile(source->file, out, chunk, &got, nullptr) || got != chunk)
      png_error(png, "Read past the end of the file");
    out += got;
    count -= got;
  }
}

// ---- Pixel types ----------------------------------------------------------------------

// The bitmap type of a colour type, depth and transparency; 0 when
// unsupported.
WUPIXELTYPE ChoosePixelType(int colorType, int depth, bool transparent) {
  const bool small = depth == 1 || depth == 2 || depth == 4 || depth == 8;
  switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
      if (small && transparent) return WUPIXEL_RGBA32;
      if (small) {
        return depth == 1   ? WUPIXEL_GREY1
               : depth == 2 ? WUPIXEL_GREY2
               : depth == 4 ? WUPIXEL_GREY4
                            : WUPIXEL_GREY8;
      }
      if (depth == 16) return transparent ? WUPIXEL_RGBA64 : WUPIXEL_GREY16;
      return WUPIXEL_UNKNOWN;
    case PNG_COLOR_TYPE_RGB:
      if (depth == 8) return transparent ? WUPIXEL_RGBA32 : WUPIXEL_RGB24;
      if (depth == 16) return WUPIXEL_RGBA64;
      return WUPIXEL_UNKNOWN;
    case PNG_COLOR_TYPE_PALETTE:
      if (!small) return WUPIXEL_UNKNOWN;
      if (transparent) return WUPIXEL_RGBA32;
      return (depth == 2 || depth == 4) ? WUPIXEL_PAL4 : WUPIXEL_PAL8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
      if (depth == 8) return WUPIXEL_RGBA32;
      if (depth == 16) return WUPIXEL_RGBA64;
      return WUPIXEL_UNKNOWN;
    default:
      return WUPIXEL_UNKNOWN;
  }
}

// Asks libpng for the row layout of the chosen type.
void RequestTransforms(png_structp png, int colorType, int depth, bool transparent) {
  const bool paletteExpanded = colorType == PNG_COLOR_TYPE_PALETTE && transparent;
  if (transparent) {
    // Palette and small grey images are widened to 8 bits; every
    // transparent colour or level becomes an alpha channel here, before any
    // gamma correction changes the samples it is compared with.
    if (colorType == PNG_COLOR_TYPE_PALETTE || depth < 8) png_set_expand(png);
    png_set_tRNS_to_alpha(png);
  }
  if ((colorType == PNG_COLOR_TYPE_GRAY && transparent) || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE && depth == 1 && !transparent) png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_RGB && depth == 16 && !transparent)
    png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
  if (depth == 16) png_set_swap(png);
  if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA || paletteExpanded)
    png_set_bgr(png);
}

// ---- Palette -----------------------------------------------------------------------------

bool GammaSignificant(double gamma) {
  return gamma < kGammaUnit - kGammaThreshold || gamma > kGammaUnit + kGammaThreshold;
}

// Copies the PLTE entries (at most 2^depth) as opaque RGBQUADs. With a
// file gamma the entries get the same correction that libpng applies to
// the samples of colour images: exponent 1 / (file gamma * 2.2), rounded,
// and nothing when that exponent lies within 5% of 1.
void TakePalette(DecodeState* state, int depth, png_fixed_point fileGamma) {
  png_colorp entries = nullptr;
  int count = 0;
  png_get_PLTE(state->png, state->info, &entries, &count);
  if (count > (1 << depth)) count = 1 << depth;
  double exponent = 1.0;
  bool correct = false;
  if (fileGamma > 0) {
    const double product = static_cast<double>(fileGamma) * kScreenGamma / kGammaUnit;
    const double reciprocal = std::floor(1e15 / fileGamma / kScreenGamma + 0.5);
    correct = GammaSignificant(product) && GammaSignificant(reciprocal);
    exponent = reciprocal / kGammaUnit;
  }
  for (int i = 0; i < count; ++i) {
    BYTE rgb[3] = {entries[i].red, entries[i].green, entries[i].blue};
    for (BYTE& v : rgb) {
      if (correct && v > 0 && v < 255)
        v = static_cast<BYTE>(std::floor(255.0 * std::pow(v / 255.0, exponent) + 0.5));
    }
    state->palette[i].rgbRed = rgb[0];
    state->palette[i].rgbGreen = rgb[1];
    state->palette[i].rgbBlue = rgb[2];
    state->palette[i].rgbReserved = 255;
  }
  state->paletteCount = count;
}

// 2-bit indexes (four per byte) become 4-bit indexes (two per byte, the
// first in the high nibble), worked from the right so the row widens in
// place.
void RepackTwoBitRow(BYTE* row, LONG width) {
  for (LONG j = (width + 1) / 2 - 1; j >= 0; --j) {
    BYTE out = 0;
    for (int half = 0; half < 2; ++half) {
      const LONG pixel = 2 * j + half;
      if (pixel >= width) break;
      const int index = (row[pixel / 4] >> (6 - 2 * (pixel % 4))) & 3;
      out |= static_cast<BYTE>(index << (half == 0 ? 4 : 0));
    }
    row[j] = out;
  }
}

// ---- Decoding -------------------------------------------------------------------------------

// Decodes the image after the signature into state->bitmap. libpng errors
// leave through the jump buffer of DecodePng.
HRESULT DecodeImage(DecodeState* state) {
  png_structp png = state->png;
  png_infop info = state->info;
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr);

  png_fixed_point fileGamma = 0;
  if (png_get_valid(png, info, PNG_INFO_gAMA) && png_get_gAMA_fixed(png, info, &fileGamma) &&
      fileGamma > 0)
    png_set_gamma_fixed(png, kScreenGamma, fileGamma);
  else
    fileGamma = 0;

  const bool transparent = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  const WUPIXELTYPE type = ChoosePixelType(colorType, depth, transparent);
  if (type == WUPIXEL_UNKNOWN) return E_FAIL;
  const bool keepsPalette = colorType == PNG_COLOR_TYPE_PALETTE && !transparent;
  if (keepsPalette) TakePalette(state, depth, fileGamma);

  // Zero-filled so that row padding never carries stale memory.
  const HRESULT hr =
      WuDibAlloc(&state->bitmap, type, static_cast<LONG>(width), static_cast<LONG>(height),
                 keepsPalette ? state->palette : nullptr, keepsPalette ? state->paletteCount : 0,
                 WUDIB_ZEROINIT);
  if (FAILED(hr)) return hr;
  BITMAPINFOHEADER* bitmap = state->bitmap;
  if (bitmap->biHeight == 0) return E_INVALIDARG;
  const size_t stride = bitmap->biSizeImage / static_cast<DWORD>(bitmap->biHeight);

  RequestTransforms(png, colorType, depth, transparent);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // The rows libpng delivers must fit the bitmap's rows.
  if (png_get_rowbytes(png, info) > stride) return E_FAIL;

  BYTE* rows = WuDibGetBits(bitmap);
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, rows + (height - 1 - y) * stride, nullptr);
  }
  if (keepsPalette && depth == 2) {
    for (png_uint_32 y = 0; y < height; ++y) RepackTwoBitRow(rows + y * stride, static_cast<LONG>(width));
  }
  png_read_end(png, nullptr);
  return S_OK;
}

// Releases what a decode holds; the bitmap too unless it was handed out.
void FinishDecode(DecodeState* state) {
  if (state->bitmap) WuDibFree(state->bitmap, WUDIB_FREE_CHECKED);
  state->bitmap = nullptr;
  if (state->png) png_destroy_read_struct(&state->png, state->info ? &state->info : nullptr, nullptr);
  state->png = nullptr;
  state->info = nullptr;
}

// Decodes from a source whose 8 signature bytes have been checked and
// consumed. *bitmap receives the bitmap, or null.
HRESULT DecodePng(PngSource* source, BITMAPINFOHEADER** bitmap) {
  DecodeState* state = static_cast<DecodeState*>(std::calloc(1, sizeof(DecodeState)));
  if (!state) return E_OUTOFMEMORY;
  state->source = source;
  state->png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning,
                                        nullptr, AllocateForPng, FreeForPng);
  if (state->png) {
    state->info = png_create_info_struct(state->png);
    png_set_user_limits(state->png, kMaxSide, kMaxSide);
    png_set_chunk_malloc_max(state->png, kMaxChunkBytes);
    // Unknown chunks and the unused ancillary ones are skipped, never stored.
    png_set_keep_unknown_chunks(state->png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(state->png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                                kIgnoredChunkCount);
  }
  HRESULT hr = E_FAIL;
  if (state->png && state->info) {
    if (setjmp(png_jmpbuf(state->png)) == 0) {
      png_set_read_fn(state->png, source, source->file ? ReadFromFile : ReadFromMemory);
      png_set_sig_bytes(state->png, kSignatureBytes);
      hr = DecodeImage(state);
    } else {
      hr = E_FAIL;  // a libpng error
    }
  }
  if (SUCCEEDED(hr)) {
    *bitmap = state->bitmap;
    state->bitmap = nullptr;
  }
  FinishDecode(state);
  std::free(state);
  return hr;
}

// ---- Sources ----------------------------------------------------------------------------------

HRESULT DecodeMemory(const BYTE* data, LONG size, BITMAPINFOHEADER** bitmap) {
  if (size <= 0) return WU_E_BAD_DATA;
  const size_t checked = size < kSignatureBytes ? static_cast<size_t>(size) : kSignatureBytes;
  if (png_sig_cmp(data, 0, checked) != 0) return WU_E_BAD_DATA;
  PngSource source = {nullptr, data, size, kSignatureBytes};
  return DecodePng(&source, bitmap);
}

HRESULT DecodeFile(LPCWSTR path, BITMAPINFOHEADER** bitmap) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WU_E_OPEN_FILE;
  BYTE signature[kSignatureBytes];
  DWORD got = 0;
  HRESULT hr;
  if (!ReadFile(file, signature, kSignatureBytes, &got, nullptr) || got != kSignatureBytes ||
      png_sig_cmp(signature, 0, kSignatureBytes) != 0) {
    hr = WU_E_BAD_DATA;
  } else {
    PngSource source = {file, nullptr, 0, 0};
    hr = DecodePng(&source, bitmap);
  }
  CloseHandle(file);
  return hr;
}

// The resource's module lookup: the language resource module in the
// handle's language when it is enabled, then the owner module (in 1033
// when it is also the language module), then the owner's plain lookup.
HRSRC FindInModules(HWULANG lang, LPCWSTR name, LPCWSTR type, HMODULE* module) {
  HMODULE owner = lang ? lang->owner : nullptr;
  HRSRC found = nullptr;
  if (lang && lang->langModuleEnabled && lang->langModule) {
    *module = lang->langModule;
    found = FindResourceExW(*module, type, name, LANGIDFROMLCID(lang->lcid));
    if (found) return found;
  }
  *module = owner;
  if (lang && lang->langModule == owner) {
    found = FindResourceExW(owner, type, name, 1033);
    if (found) return found;
  }
  return FindResourceW(owner, name, type);
}

// The bytes of the PNG resource and their number, or null.
const BYTE* LoadPngResource(HWULANG lang, LPCWSTR name, DWORD* size) {
  const LPCWSTR types[] = {MAKEINTRESOURCEW(WUPNG_RESOURCE_TYPE), WUPNG_RESOURCE_TYPE_NAME};
  for (LPCWSTR type : types) {
    HMODULE module = nullptr;
    HRSRC resource = FindInModules(lang, name, type, &module);
    if (!resource) continue;
    HGLOBAL loaded = LoadResource(module, resource);
    *size = SizeofResource(module, resource);
    return loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
  }
  return nullptr;
}

}  // namespace

size_t WuPngRead_LargestRequestForTesting(bool reset) {
  return reset ? g_largestRequest.exchange(0) : g_largestRequest.load();
}

HRESULT WuDibFromPng(BITMAPINFOHEADER** bitmap, const void* data, LONG size) {
  if (!bitmap) return E_POINTER;
  *bitmap = nullptr;
  if (!data && size > 0) return E_POINTER;
  return DecodeMemory(static_cast<const BYTE*>(data), size, bitmap);
}

HRESULT WuLoadPngDib(HWULANG lang, LPCWSTR name, DWORD flags, BITMAPINFOHEADER** bitmap) {
  if (!bitmap) return E_POINTER;
  if (flags & WUPNG_FROM_FILE) {
    if (!name) return E_INVALIDARG;
    *bitmap = nullptr;
    return DecodeFile(name, bitmap);
  }
  *bitmap = nullptr;
  DWORD size = 0;
  const BYTE* data = name ? LoadPngResource(lang, name, &size) : nullptr;
  if (!data || size == 0) return WU_E_RESOURCE_MISSING;
  // Resources larger than a signed 32-bit size cannot be PNG banners.
  if (size > 0x7FFFFFFFu) return WU_E_BAD_DATA;
  return DecodeMemory(data, static_cast<LONG>(size), bitmap);
}
