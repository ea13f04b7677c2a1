// Version resources of files: the version block (RT_VERSION) that a
// program, a resource file or a language module may carry, read whole and
// then queried by path.
//
// A version block is a tree of nodes. Each node, on a 4-byte boundary:
//   WORD  wLength       bytes of the node, its children included
//   WORD  wValueLength  bytes of a binary value, characters of a text value
//                       (terminator included)
//   WORD  wType         0 binary, 1 text
//   WCHAR szKey[]       the key, terminated
//   padding to 4 bytes
//   the value, padding to 4 bytes
//   the children
// The root's key is "VS_VERSION_INFO" and its value a VS_FIXEDFILEINFO. Its
// children are "StringFileInfo" (tables keyed by language and code page as
// eight hexadecimal digits, "040904B0", holding one text per name) and
// "VarFileInfo" (the value "Translation": pairs of 16-bit language and code
// page).
//
// Which files have one: a file is loaded as a module without code
// (LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE, platform/kernel/module.h); the
// program's own file is the program with its compiled resources, a resource
// file brings its resources, and any other file has none. The block is the
// module's first RT_VERSION resource in the usual language order. A program
// or shared object of Linux (an ELF file) may carry its block in a section
// named ".wuversion" (put there by `wu_add_version_section`,
// cmake/Resources.cmake); that section comes first. The file's headers are
// checked against its size and nothing outside it is read: a header, a
// section-name table or a section that passes the file's end, or a section
// over 65,535 bytes, makes the file damaged (ERROR_BAD_FORMAT); an ELF file
// without the section has no block.
#pragma once

#include "platform/kernel/types.h"

// The signature of a VS_FIXEDFILEINFO.
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;

// The fixed part of a version block: the root node's value.
struct VS_FIXEDFILEINFO {
  DWORD dwSignature;         // VS_FFI_SIGNATURE
  DWORD dwStrucVersion;      // VS_FFI_STRUCVERSION
  DWORD dwFileVersionMS;     // file version, major << 16 | minor
  DWORD dwFileVersionLS;     // file version, build << 16 | revision
  DWORD dwProductVersionMS;  // product version, major << 16 | minor
  DWORD dwProductVersionLS;  // product version, build << 16 | revision
  DWORD dwFileFlagsMask;     // which bits of dwFileFlags are valid
  DWORD dwFileFlags;         // VS_FF_* bits
  DWORD dwFileOS;            // target operating system
  DWORD dwFileType;          // VFT_* kind of file
  DWORD dwFileSubtype;       // kind within the type
  DWORD dwFileDateMS;        // file date, high part
  DWORD dwFileDateLS;        // file date, low part
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

// The size of the file's version block in bytes, or 0 when it has none:
// last error ERROR_RESOURCE_DATA_NOT_FOUND (no resources at all),
// ERROR_RESOURCE_TYPE_NOT_FOUND (resources but no version block),
// ERROR_FILE_NOT_FOUND (no such file), ERROR_BAD_FORMAT (a damaged resource
// file, or a block whose root node is malformed) or ERROR_INVALID_PARAMETER.
// *handle (when given) is set to 0.
DWORD GetFileVersionInfoSizeW(LPCWSTR file, DWORD* handle);
// Copies the version block into `data` of `size` bytes. A block longer than
// `size` is cut, and its root length then says so, so that queries stay
// within what was copied. FALSE with the errors above, or
// ERROR_INVALID_PARAMETER for a NULL buffer or a size too small for the
// root node. `handle` is ignored.
BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data);
// Finds a value in a block read by GetFileVersionInfoW. `sub_block` is a
// path of keys separated by '\\' (compared without regard to ASCII case):
//   "\\"                                  the VS_FIXEDFILEINFO, *length 52
//   "\\VarFileInfo\\Translation"          the pairs, *length in bytes
//   "\\StringFileInfo\\040904B0\\Name"    the text, *length in characters
//                                         (terminator included)
// *buffer points into the block. FALSE (and *length 0) when the path is not
// there, its node has no value ("\\StringFileInfo") or the block is
// malformed; nodes are read only within their parents' lengths.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR sub_block, LPVOID* buffer, UINT* length);
