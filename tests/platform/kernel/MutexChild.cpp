// The child program of the named-mutex tests, on the platform like the
// program that starts it. argv[1] says what to do with the mutex named
// argv[2] (UTF-8):
//   wait NAME LIMIT    waits up to LIMIT milliseconds (-1: no limit); the exit
//                      status tells the outcome: 0 obtained (and released
//                      again), 1 the limit passed, 2 abandoned, 3 the mutex
//                      could not be made or the wait failed
//   hold NAME MARKER   takes the mutex, creates the file MARKER, waits 300 ms
//                      and ends without releasing it (exit status 0)
// Anything else ends with 4.
#include <cstdlib>
#include <string>

#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/threads.h"

int main(int argc, char** argv) {
  if (argc < 4) return 4;
  const std::string mode = argv[1];
  const std::u16string name = platform::ToUtf16(argv[2]);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (!mutex) return 3;
  if (mode == "wait") {
    const long limit = std::strtol(argv[3], nullptr, 10);
    const DWORD result =
        WaitForSingleObject(mutex, limit < 0 ? INFINITE : static_cast<DWORD>(limit));
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
    return result == WAIT_OBJECT_0 ? 0 : result == WAIT_TIMEOUT ? 1
                                     : result == WAIT_ABANDONED ? 2
                                                                : 3;
  }
  if (mode == "hold") {
    if (WaitForSingleObject(mutex, INFINITE) != WAIT_OBJECT_0) return 3;
    HANDLE marker = CreateFileW(platform::ToUtf16(argv[3]).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (marker == INVALID_HANDLE_VALUE) return 3;
    CloseHandle(marker);
    Sleep(300);
    return 0;  // still the owner: ending the process frees the lock
  }
  return 4;
}
