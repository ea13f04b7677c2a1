// File mappings and the memory of other processes.
//
// A mapping object is memory that views of it share: page-file memory (a
// Linux memfd) when CreateFileMappingW gets INVALID_HANDLE_VALUE, else the
// file of a file handle. Views are mmap'ed with MAP_SHARED (FILE_MAP_COPY:
// MAP_PRIVATE) and stay valid after the mapping handle is closed, until
// UnmapViewOfFile.
//
// Names: a named mapping is known to this process only (a second
// CreateFileMappingW of the name gives the same memory with
// ERROR_ALREADY_EXISTS, OpenFileMappingW finds it).
//
// Across processes a page-file mapping is reached by duplicating its
// handle: the owner's memfd carries the name "wu-mapping-<handle in hex>"
// of the handle CreateFileMappingW returned, and DuplicateHandle with a
// source process opened with PROCESS_DUP_HANDLE finds that descriptor under
// /proc/<pid>/fd and opens the same memory. Linux allows that for a process
// of the same user (a ptrace "read" check, which Yama does not restrict).
// Only handles returned by CreateFileMappingW cross this way; file-backed
// mappings and handles duplicated inside the owner do not.
//
// ReadProcessMemory and WriteProcessMemory use process_vm_readv and
// process_vm_writev. Linux allows them on a process of the same user that
// this process may ptrace: with Yama's ptrace_scope 1 only on descendants,
// or on a process that named this one (or everyone) with
// platform::AllowMemoryAccessFrom. Reads and writes of this process itself
// always work.
#pragma once

#include "platform/kernel/exception.h"  // PAGE_* protections
#include "platform/kernel/types.h"

// Win32 error numbers that platform/kernel/types.h does not hold.
constexpr DWORD ERROR_PARTIAL_COPY = 299;
constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;

// Protection of a mapping (with the PAGE_* values of platform/kernel/exception.h).
constexpr DWORD PAGE_WRITECOPY = 0x08;

// Access of a view.
constexpr DWORD FILE_MAP_COPY = 0x0001;  // private copy-on-write view
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// Views start at multiples of this many bytes.
constexpr DWORD kMappingGranularity = 65536;

// Creates a mapping object. `file` INVALID_HANDLE_VALUE: zero-filled
// page-file memory of the size given (ERROR_INVALID_PARAMETER for 0).
// Otherwise the file's bytes; size 0 means the file's size
// (ERROR_FILE_INVALID for an empty file), a larger size extends a file
// mapped PAGE_READWRITE. `protect` is PAGE_READONLY, PAGE_READWRITE or
// PAGE_WRITECOPY; a file handle must allow the access the protection needs
// (ERROR_ACCESS_DENIED). NULL on failure.
HANDLE CreateFileMappingW(HANDLE file, void* security, DWORD protect, DWORD max_size_high,
                          DWORD max_size_low, LPCWSTR name);
// A new handle to a named mapping of this process; NULL with
// ERROR_FILE_NOT_FOUND when there is none.
HANDLE OpenFileMappingW(DWORD access, BOOL inherit, LPCWSTR name);
// Maps `bytes` (0: to the end) from the offset, which must be a multiple of
// kMappingGranularity (ERROR_MAPPED_ALIGNMENT). FILE_MAP_WRITE and
// FILE_MAP_ALL_ACCESS need PAGE_READWRITE (ERROR_ACCESS_DENIED); a range
// beyond the mapping's size fails with ERROR_ACCESS_DENIED. NULL on failure.
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low,
                     SIZE_T bytes);
// Unmaps a view by the address MapViewOfFile returned; FALSE with
// ERROR_INVALID_ADDRESS for any other address.
BOOL UnmapViewOfFile(LPCVOID base);

// Copies memory of another process (or this one) named by a process handle
// with PROCESS_VM_READ (reads) or PROCESS_VM_WRITE and PROCESS_VM_OPERATION
// (writes). FALSE with ERROR_PARTIAL_COPY when only a part (possibly none)
// of the range could be copied (*done tells how much), ERROR_ACCESS_DENIED
// when Linux or the handle's rights refuse, ERROR_INVALID_HANDLE for a
// handle that is not a process. `done` may be NULL.
BOOL ReadProcessMemory(HANDLE process, LPCVOID base, LPVOID buffer, SIZE_T size, SIZE_T* done);
BOOL WriteProcessMemory(HANDLE process, LPVOID base, LPCVOID buffer, SIZE_T size,
                        SIZE_T* done);

namespace platform {

// A handle in this process to the mapping that handle `source` of process
// `process_id` stands for (see above); NULL with ERROR_INVALID_HANDLE when
// that process has no such mapping handle, ERROR_ACCESS_DENIED when Linux
// refuses. DuplicateHandle calls this for a source in another process.
HANDLE DuplicateMappingFromProcess(DWORD process_id, HANDLE source);

// Lets process `process_id` (0: any process of this user) read and write
// this process's memory where Yama would restrict it to ancestors. TRUE
// also when the system has no such restriction.
bool AllowMemoryAccessFrom(DWORD process_id);

}  // namespace platform
