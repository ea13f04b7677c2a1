// The text log: one CLog per log file. Each line carries a four-character
// level tag, optionally the local time and the source location, then the
// message. Several threads may write through one object; the object's lock
// makes every line and every rotation whole.
//
// File format: text in the ANSI code page (platform/kernel/locale.h), each line
// feed stored as CR LF. A line is
//   tag [" YYYY-MM-DD hh:mm:ss "] ["%15s(%4d): " file name, line] message LF
// with no other separators. When a size limit is set and the file has
// reached it, the next Write closes it, renames it to the log path with
// ".previous" appended (replacing an older such file) and starts a new file
// with the same permission bits before writing its line.
#pragma once

#include <cstdarg>

#include "platform/kernel/threads.h"
#include "platform/kernel/types.h"

// Flags of a log and the level of one line. The low 16 bits are levels;
// a line is written when its level shares a bit with the log's flags.
typedef DWORD LOGFLAGS;
constexpr LOGFLAGS LOGFLAGS_ERROR = 0x1;         // tag "ERR "
constexpr LOGFLAGS LOGFLAGS_WARNING = 0x2;       // tag "WARN"
constexpr LOGFLAGS LOGFLAGS_INFO = 0x4;          // tag "INFO"
constexpr LOGFLAGS LOGFLAGS_DEBUG = 0x8;         // tag "DBG "; any other level "????"
constexpr LOGFLAGS LOGFLAGS_LEVELS = 0xFFFF;     // the level bits of the flags
constexpr LOGFLAGS LOGFLAGS_TIME = 0x10000;      // stamp each line with the local time
constexpr LOGFLAGS LOGFLAGS_LOCATION = 0x20000;  // stamp each line with file and line

// Longest message in characters; longer ones are cut.
constexpr int CLOG_MESSAGE_MAX = 1023;

class CLog {
 public:
  CLog();
  // Copies the settings and, when `other` is open, opens the same file
  // again: each object owns its own lock and stream.
  CLog(const CLog& other);
  CLog& operator=(const CLog& other);
  virtual ~CLog();

  // Objects live in the library's zero-filled global memory; NULL from new
  // when it is exhausted.
  static void* operator new(size_t bytes) noexcept;
  static void operator delete(void* block) noexcept;

  // Opens (creates) the log file for appending. E_INVALIDARG for a NULL
  // path or flags 0; 0x8004E007 when the file cannot be opened, or when the
  // path does not fit MAX_PATH characters with its terminator. A size
  // limit of 0 or less means no rotation. Calling it on an open log closes
  // the old file first.
  HRESULT Init(const WCHAR* path, LOGFLAGS flags, LONG size_limit);
  // Writes one line. S_OK, also when the level is not enabled; 0x8004E01B
  // before Init (or after Shutdown or a failed rotation); 0x8004E007 when a
  // rotation cannot reopen the file (the log is then closed); 0x8004E009
  // when the line could not be written whole (a full disk): what went out
  // of it is cut off again, so the file holds whole lines only.
  HRESULT Write(LOGFLAGS level, const WCHAR* source_file, int source_line,
                const WCHAR* format, ...);
  HRESULT WriteV(LOGFLAGS level, const WCHAR* source_file, int source_line,
                 const WCHAR* format, va_list args);
  // Closes the file; Write then returns 0x8004E01B.
  void Shutdown();
  // The log path given to Init.
  const WCHAR* GetLogFileName() const { return m_szLogPath; }

 private:
  HRESULT OpenLocked();
  void CloseLocked();
  HRESULT RotateLocked();

  int32_t m_bInitialized;           // 1 while the log is open for writing
  HANDLE m_hStream;                 // the open log file, NULL when closed
  LOGFLAGS m_dwFlags;               // levels, LOGFLAGS_TIME, LOGFLAGS_LOCATION
  LONG m_lSizeLimit;                // rotate at this many bytes; <= 0: never
  WCHAR m_szLogPath[MAX_PATH];      // the file given to Init
  WCHAR m_szPreviousPath[MAX_PATH]; // the log path + ".previous"; "" when it does not fit
  mutable CRITICAL_SECTION m_Lock;  // guards everything above
};
