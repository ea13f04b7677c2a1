// The ids of fio_test_oop, the plug-in whose classes live in the surrogate,
// and of the ErrorReport test module, shared by them and the tests.
#pragma once

#include "tests/fileio/plugins/FioTestIds.h"

namespace fio_test {

// fio_test_oop: one class with a reader and a renderer, both
// "ForceOutOfProcess" in its configuration. It accepts heads starting
// "OOP1" and paths ending ".oop".
inline constexpr GUID kOop = TestId(0x0F0E0001, 0x61);
inline constexpr GUID kOopReader = TestId(0x0F0E0002, 0x62);
inline constexpr GUID kOopRenderer = TestId(0x0F0E0003, 0x63);

// Reader and renderer class properties.
constexpr DWORD kOopProcessId = 0x100;  // Get: the process the class lives in
constexpr DWORD kOopExit = 0x101;       // Set: the process ends with that code, mid-call
constexpr DWORD kOopSleep = 0x102;      // Set: the call takes that many milliseconds
// Set: pulls the handle in the low 32 bits from the process in the high
// 32 bits with DuplicateHandleFromProcessId and answers its status (the
// copy, if any, is closed).
constexpr DWORD kOopPull = 0x103;
// Get: the handle CheckFile got last (0 none).
constexpr DWORD kOopLastChecked = 0x104;

// Files of the reader: their first 8 bytes, read through the handle Open
// pulled, as a little-endian number; the status of the pull.
constexpr DWORD kOopFileHead = 0x110;
constexpr DWORD kOopFilePull = 0x111;

}  // namespace fio_test

// The ErrorReport test module ("ErrorReport.so") records the process ids
// it is given: which 0 the start calls, 1 the stop calls. Its start call
// also notes, 200 ms later, whether the process already published the
// surrogate's class (it should not: it is still suspended).
extern "C" {
typedef int (*ErrorReportCallsFn)(int which, DWORD* pids, int max);
typedef int (*ErrorReportPublishedAtStartFn)();
}
