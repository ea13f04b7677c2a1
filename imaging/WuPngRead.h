// Reading PNG images into bitmap blocks.
//
// A PNG held in memory, in a file or in a resource of a language handle's
// module is decoded by libpng into a new bitmap block (imaging/WuDib.h)
// whose pixel type follows the image's colour type, bit depth and
// transparency:
//
//   colour type       depth       tRNS     pixel type
//   grey              1,2,4,8     none     17..20 (grey of that depth)
//   grey              16          none     21 (little-endian samples)
//   grey              1,2,4,8,16  present  29 / 31 (RGBA, alpha from tRNS)
//   RGB               8           none     27 (blue, green, red)
//   RGB               8           present  29 (alpha from tRNS)
//   RGB               16          either   31 (opaque unless tRNS says not)
//   palette           1 / 8       none     24 (one byte per index)
//   palette           2 / 4       none     23 (two indexes per byte)
//   palette           any         present  29 (expanded to colours)
//   grey + alpha      8 / 16      -        29 / 31
//   RGBA              8 / 16      -        29 / 31
// 16-bit samples are stored little-endian, colours blue first. Rows are
// bottom-up: the image's top row is the bitmap's last row. A gAMA chunk
// corrects the samples (and a kept palette) for a display gamma of 2.2;
// transparency is matched before that correction.
//
// Results: S_OK; 0x8004E00B for data that does not begin with the PNG
// signature (or a file shorter than 8 bytes); 0x8004E007 for a file that
// cannot be opened; 0x8004E00E for a missing or empty resource; E_FAIL for
// any libpng error (a truncated or corrupt stream included) and for an
// unsupported colour type and depth; E_OUTOFMEMORY; E_INVALIDARG for an
// image too large for a bitmap block. On failure nothing that was
// allocated survives and the out pointer is null. Every call has its own
// libpng state and may run on any thread.
#pragma once

#include "foundation/WuKernelState.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

constexpr DWORD WUPNG_FROM_FILE = 0x1;  // WuLoadPngDib: the name is a file path
constexpr WORD WUPNG_RESOURCE_TYPE = 32;         // first resource type searched
constexpr const WCHAR* WUPNG_RESOURCE_TYPE_NAME = u"BINARY";  // then this one

// Decodes `size` bytes of PNG data into a new bitmap block. *bitmap is set
// on every return (null on failure); E_POINTER for a null out pointer, or
// for null data with a positive size.
HRESULT WuDibFromPng(BITMAPINFOHEADER** bitmap, const void* data, LONG size);

// With WUPNG_FROM_FILE in `flags`, decodes the file `name` (the language
// handle is not used); a null name returns E_INVALIDARG and leaves *bitmap
// alone. Otherwise `name` is a resource name or MAKEINTRESOURCEW id looked
// up through the language handle (the localised module first, then the
// owner module; a null handle searches the main program), under type 32
// and then "BINARY". *bitmap is set on every other return.
HRESULT WuLoadPngDib(HWULANG lang, LPCWSTR name, DWORD flags, BITMAPINFOHEADER** bitmap);

// Resource mode.
inline HRESULT WuLoadPngDib(HWULANG lang, LPCWSTR name, BITMAPINFOHEADER** bitmap) {
  return WuLoadPngDib(lang, name, 0, bitmap);
}
// File mode: the new bitmap, or null on failure.
inline BITMAPINFOHEADER* WuLoadPngDib(LPCWSTR path) {
  BITMAPINFOHEADER* bitmap = nullptr;
  WuLoadPngDib(nullptr, path, WUPNG_FROM_FILE, &bitmap);
  return bitmap;
}
