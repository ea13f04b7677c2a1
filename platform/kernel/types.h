// Basic types, status codes and error numbers of the platform layer.
//
// The library above this layer was designed against a 32-bit Windows API.
// This header gives the same names with fixed widths on 64-bit Linux: LONG
// and DWORD are always 32 bits, text is UTF-16 (WCHAR is char16_t), and
// handles are opaque pointers. Status codes (HRESULT) and Win32 error
// numbers keep their platform values, because stored data and callers test
// for them.
#pragma once

#include <cstddef>
#include <cstdint>

// ---- Integer types -------------------------------------------------------
typedef int32_t BOOL;             // 32-bit truth value: 0 false, non-zero true
typedef uint8_t BYTE;             // 8-bit unsigned
typedef uint16_t WORD;            // 16-bit unsigned
typedef uint32_t DWORD;           // 32-bit unsigned
typedef int32_t LONG;             // 32-bit signed on every platform (never `long`)
typedef uint32_t ULONG;           // 32-bit unsigned
typedef int16_t SHORT;            // 16-bit signed
typedef uint16_t USHORT;          // 16-bit unsigned
typedef int32_t INT;              // 32-bit signed
typedef uint32_t UINT;            // 32-bit unsigned
typedef int64_t LONGLONG;         // 64-bit signed
typedef uint64_t ULONGLONG;       // 64-bit unsigned
typedef uint64_t DWORD64;         // 64-bit unsigned
typedef uint64_t QWORD;           // 64-bit unsigned
typedef float FLOAT;              // 32-bit float
typedef char CHAR;                // byte character (ANSI or UTF-8)
typedef unsigned char UCHAR;      // unsigned byte character
typedef char16_t WCHAR;           // UTF-16 code unit
typedef size_t SIZE_T;            // pointer-sized unsigned count
typedef intptr_t INT_PTR;         // pointer-sized signed
typedef uintptr_t UINT_PTR;       // pointer-sized unsigned
typedef intptr_t LONG_PTR;        // pointer-sized signed
typedef uintptr_t ULONG_PTR;      // pointer-sized unsigned
typedef uintptr_t DWORD_PTR;      // pointer-sized unsigned
typedef uintptr_t WPARAM;         // message parameter
typedef intptr_t LPARAM;          // message parameter
typedef intptr_t LRESULT;         // message result
typedef WORD ATOM;                // registered atom
typedef WORD LANGID;              // language identifier
typedef DWORD LCID;               // locale identifier
typedef DWORD COLORREF;           // 0x00BBGGRR

typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef BOOL* LPBOOL;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// ---- Handles --------------------------------------------------------------
// Every handle is an opaque pointer. Kernel objects (files, threads, events,
// processes...) live in the handle table of platform/kernel/handles.h.
typedef void* HANDLE;
#define WU_DECLARE_HANDLE(name) struct name##__ { int unused; }; typedef struct name##__* name
WU_DECLARE_HANDLE(HINSTANCE);
WU_DECLARE_HANDLE(HKEY);
WU_DECLARE_HANDLE(HWND);
WU_DECLARE_HANDLE(HDC);
WU_DECLARE_HANDLE(HMENU);
WU_DECLARE_HANDLE(HICON);
WU_DECLARE_HANDLE(HFONT);
WU_DECLARE_HANDLE(HBITMAP);
WU_DECLARE_HANDLE(HBRUSH);
WU_DECLARE_HANDLE(HPEN);
WU_DECLARE_HANDLE(HRGN);
WU_DECLARE_HANDLE(HPALETTE);
WU_DECLARE_HANDLE(HMONITOR);
WU_DECLARE_HANDLE(HRSRC);
WU_DECLARE_HANDLE(HHOOK);
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
typedef HANDLE HGLOBAL;
typedef HANDLE HLOCAL;
typedef void* HGDIOBJ;

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// ---- Records ---------------------------------------------------------------
// 64-bit integer seen as one value or as two 32-bit halves.
union LARGE_INTEGER {
  struct {
    DWORD LowPart;   // low 32 bits
    LONG HighPart;   // high 32 bits, signed
  } u;
  LONGLONG QuadPart;  // the whole value
};
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;   // low 32 bits
    DWORD HighPart;  // high 32 bits
  } u;
  ULONGLONG QuadPart;  // the whole value
};
static_assert(sizeof(LARGE_INTEGER) == 8 && sizeof(ULARGE_INTEGER) == 8);

// Time as 100-nanosecond units since 1601-01-01 UTC, in two halves.
struct FILETIME {
  DWORD dwLowDateTime;   // low 32 bits
  DWORD dwHighDateTime;  // high 32 bits
};
static_assert(sizeof(FILETIME) == 8);

// Broken-down calendar time.
struct SYSTEMTIME {
  WORD wYear;          // 1601..30827
  WORD wMonth;         // 1..12
  WORD wDayOfWeek;     // 0 Sunday .. 6 Saturday
  WORD wDay;           // 1..31
  WORD wHour;          // 0..23
  WORD wMinute;        // 0..59
  WORD wSecond;        // 0..59
  WORD wMilliseconds;  // 0..999
};
static_assert(sizeof(SYSTEMTIME) == 16);

struct POINT {
  LONG x;  // horizontal
  LONG y;  // vertical
};
struct SIZE {
  LONG cx;  // width
  LONG cy;  // height
};
struct RECT {
  LONG left;    // left edge, inclusive
  LONG top;     // top edge, inclusive
  LONG right;   // right edge, exclusive
  LONG bottom;  // bottom edge, exclusive
};
static_assert(sizeof(POINT) == 8 && sizeof(SIZE) == 8 && sizeof(RECT) == 16);

// 128-bit globally unique identifier, stored little-endian field by field.
struct GUID {
  DWORD Data1;     // first 32 bits
  WORD Data2;      // next 16 bits
  WORD Data3;      // next 16 bits
  BYTE Data4[8];   // last 64 bits, byte order as written
};
static_assert(sizeof(GUID) == 16);
typedef GUID IID;
typedef GUID CLSID;
inline bool operator==(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline BOOL IsEqualGUID(const GUID& a, const GUID& b) { return a == b ? TRUE : FALSE; }

// ---- Status codes ----------------------------------------------------------
typedef int32_t HRESULT;  // negative on failure

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }
constexpr HRESULT MAKE_HRESULT(unsigned sev, unsigned fac, unsigned code) {
  return static_cast<HRESULT>((sev << 31) | (fac << 16) | (code & 0xFFFF));
}
constexpr HRESULT HRESULT_FROM_WIN32(DWORD x) {
  return static_cast<HRESULT>(x) <= 0 ? static_cast<HRESULT>(x)
                                      : static_cast<HRESULT>((x & 0xFFFF) | 0x80070000u);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT E_HANDLE = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// ---- Win32 error numbers (GetLastError) -------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_INVALID_DATA = 13;
constexpr DWORD ERROR_OUTOFMEMORY = 14;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_BAD_LENGTH = 24;
constexpr DWORD ERROR_SEEK = 25;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BROKEN_PIPE = 109;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_ENVVAR_NOT_FOUND = 203;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_TOO_MANY_POSTS = 298;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_ELEVATION_REQUIRED = 740;
constexpr DWORD ERROR_OPERATION_ABORTED = 995;
constexpr DWORD ERROR_NOACCESS = 998;
constexpr DWORD ERROR_INVALID_FLAGS = 1004;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_BADDB = 1009;
constexpr DWORD ERROR_BADKEY = 1010;
constexpr DWORD ERROR_CANTOPEN = 1011;
constexpr DWORD ERROR_CANTREAD = 1012;
constexpr DWORD ERROR_CANTWRITE = 1013;
constexpr DWORD ERROR_KEY_DELETED = 1018;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_CANCELLED = 1223;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_CLASS_ALREADY_EXISTS = 1410;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr DWORD ERROR_INVALID_MONITOR_HANDLE = 1461;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

// Path buffers hold this many characters, terminator included.
constexpr int MAX_PATH = 260;
