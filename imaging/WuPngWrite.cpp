// Writing bitmaps as PNG files through libpng.
//
// libpng reports errors by longjmp to the jump buffer armed in EncodePng.
// That function holds no objects with destructors; the locals it changes
// after setjmp are volatile, and the caller releases everything.
//
// Order of a save: the working bitmap, then libpng's structures, then the
// whole file encoded into memory, and only then the disk: the bytes go to a
// new file beside the target, which is renamed over it once written whole.
// zlib allocates while the rows are written, and a disk may fill part-way;
// either failure leaves an existing file as it was.
#include "imaging/WuPngWrite.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

#include "foundation/WuStatus.h"
#include "imaging/WuDib.h"
#include "imaging/WuDibCopy.h"
#include "imaging/WuDibPixelOps.h"
#include "imaging/WuPixelTypes.h"
#include "platform/kernel/files.h"
#include "platform/kernel/error.h"
#include "platform/kernel/memory.h"

namespace {

constexpr int kFilters = PNG_FILTER_NONE | PNG_FILTER_SUB | PNG_FILTER_PAETH;  // 0x98
static_assert(kFilters == 0x98);
constexpr int kZlibLevel = 9;
constexpr int kFlushRows = 50;
constexpr DWORD kCopyQuality = 3;

void OnPngError(png_structp png, png_const_charp message) { png_longjmp(png, 1); }
void OnPngWarning(png_structp png, png_const_charp message) {}

// The encoded file as it grows: one fixed global block, so that it is
// counted and fails under the platform's allocation switch like libpng's
// own memory.
struct PngBytes {
  BYTE* data;         // block, or null
  size_t size;        // bytes written
  size_t capacity;    // bytes the block holds
  bool outOfMemory;   // the block could not grow
};

constexpr size_t kMaxPngBytes = 0xFFFFFFFF;  // what one file write takes
constexpr size_t kFirstCapacity = 64 * 1024;

// Appends to the memory file, growing it by doubling; a block that cannot
// grow is a libpng error (reported as E_OUTOFMEMORY by the save).
void WriteToMemory(png_structp png, png_bytep data, png_size_t length) {
  PngBytes* out = static_cast<PngBytes*>(png_get_io_ptr(png));
  if (length > kMaxPngBytes - out->size) png_error(png, "file too large");
  const size_t needed = out->size + length;
  if (needed > out->capacity) {
    size_t capacity = out->capacity < kFirstCapacity ? kFirstCapacity : out->capacity;
    while (capacity < needed) capacity = capacity > kMaxPngBytes / 2 ? kMaxPngBytes : 2 * capacity;
    BYTE* grown = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, capacity));
    if (grown == nullptr) {
      out->outOfMemory = true;
      png_error(png, "out of memory");
    }
    if (out->size != 0) std::memcpy(grown, out->data, out->size);
    if (out->data != nullptr) GlobalFree(out->data);
    out->data = grown;
    out->capacity = capacity;
  }
  std::memcpy(out->data + out->size, data, length);
  out->size = needed;
}

void FlushFile(png_structp png) {}

// libpng's memory comes from fixed global blocks, like the bitmaps': it is
// counted with them and fails under the platform's allocation switch.
png_voidp AllocateForPng(png_structp png, png_alloc_size_t size) {
  return GlobalAlloc(GMEM_FIXED, size);
}
void FreeForPng(png_structp png, png_voidp block) {
  if (block != nullptr) GlobalFree(block);
}

// libpng's write structure and its info structure.
struct PngWriter {
  png_structp png;  // write structure, or null
  png_infop info;   // info structure, or null
};

// Creates both structures; E_FAIL (nothing kept) when either cannot be.
HRESULT CreateWriter(PngWriter* writer) {
  writer->png = png_create_write_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnPngError,
                                          OnPngWarning, nullptr, AllocateForPng, FreeForPng);
  writer->info = nullptr;
  if (writer->png == nullptr) return E_FAIL;
  writer->info = png_create_info_struct(writer->png);
  if (writer->info == nullptr) {
    png_destroy_write_struct(&writer->png, nullptr);
    return E_FAIL;
  }
  return S_OK;
}

// Encodes the working bitmap (red, green, blue, alpha rows) into memory
// through the writer's structures.
HRESULT EncodePng(const PngWriter* writer, PngBytes* out, const BITMAPINFOHEADER* work,
                  BOOL interlace) {
  png_structp png = writer->png;
  png_infop info = writer->info;
  volatile HRESULT hr = E_FAIL;
  if (setjmp(png_jmpbuf(png)) == 0) {
    const png_uint_32 width = static_cast<png_uint_32>(work->biWidth);
    const png_uint_32 height = static_cast<png_uint_32>(work->biHeight);
    const LONG stride = WuDibGetStride(work, 0);
    BYTE* rows = WuDibGetBits(work);
    png_set_write_fn(png, out, WriteToMemory, FlushFile);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters);
    png_set_compression_level(png, kZlibLevel);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_flush(png, kFlushRows);
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass) {
      for (png_uint_32 y = 0; y < height; ++y)
        png_write_row(png, rows + static_cast<size_t>(height - 1 - y) * stride);
    }
    png_write_end(png, info);
    hr = S_OK;
  }
  return hr;
}

// Makes the encoded bytes the whole file at `path` (through a link at that
// name, the picture it names, and the link stays). A write that fails
// part-way (a full disk) is E_FAIL, as a libpng write error was; a file
// that cannot be created or renamed into place 0x8004E006. Either way an
// existing file is as it was and the new one is gone.
HRESULT WriteWholeFile(LPCWSTR path, const PngBytes& bytes) {
  if (platform::WriteFileReplacing(path, bytes.data, static_cast<DWORD>(bytes.size), true, u"png"))
    return S_OK;
  switch (GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
      return E_FAIL;
    default:
      return WU_E_CREATE_FILE;
  }
}

}  // namespace

HRESULT WuSaveDiskPngDib(LPCWSTR path, const BITMAPINFOHEADER* header, const void* rows,
                         const WUPNGFILEOPTIONS* options) {
  if (path == nullptr || header == nullptr || options == nullptr) return E_INVALIDARG;
  // The file is always RGBA: only four-byte working types carry its rows.
  if (options->pixelType != WUPIXEL_RGB32 && options->pixelType != WUPIXEL_RGBA32)
    return E_INVALIDARG;
  if (header->biWidth <= 0 || header->biHeight <= 0) return E_INVALIDARG;
  BITMAPINFOHEADER* work = nullptr;
  HRESULT hr = WuDibAlloc(&work, options->pixelType, header->biWidth, header->biHeight, nullptr,
                          0, WUDIB_ZEROINIT);
  if (FAILED(hr)) return hr;
  hr = WuDibCopy(work, nullptr, nullptr, 0, header, rows, nullptr, 0, kCopyQuality, 0.0, 0.0);
  if (SUCCEEDED(hr)) hr = WuDibSwapRB(work, nullptr, nullptr, 0);
  PngWriter writer = {nullptr, nullptr};
  if (SUCCEEDED(hr)) hr = CreateWriter(&writer);
  PngBytes bytes = {nullptr, 0, 0, false};
  if (SUCCEEDED(hr)) {
    hr = EncodePng(&writer, &bytes, work, options->interlace != 0);
    if (bytes.outOfMemory) hr = E_OUTOFMEMORY;
  }
  if (SUCCEEDED(hr)) hr = WriteWholeFile(path, bytes);
  if (bytes.data != nullptr) GlobalFree(bytes.data);
  if (writer.png != nullptr) png_destroy_write_struct(&writer.png, &writer.info);
  WuDibFree(work, 0);
  return hr;
}
