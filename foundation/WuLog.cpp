// The text log: CLog.
#include "foundation/WuLog.h"

#include <string>

#include "foundation/WuPathStrings.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"
#include "platform/text/wprintf.h"

namespace {

// Every piece of a line is formatted into a buffer of this many characters.
constexpr int kPieceSize = CLOG_MESSAGE_MAX + 1;

const WCHAR kPreviousSuffix[] = u".previous";

// The four-character tag of a level.
const WCHAR* LevelTag(LOGFLAGS level) {
  switch (level) {
    case LOGFLAGS_ERROR: return u"ERR ";
    case LOGFLAGS_WARNING: return u"WARN";
    case LOGFLAGS_INFO: return u"INFO";
    case LOGFLAGS_DEBUG: return u"DBG ";
    default: return u"????";
  }
}

// TRUE when the path and its terminator fit the log's path field.
bool FitsPath(const WCHAR* path) {
  for (int i = 0; i < MAX_PATH; ++i)
    if (!path[i]) return true;
  return false;
}

// Appends a wide piece to the line in the ANSI code page, storing each line
// feed as CR LF, as a text-mode stream of the platform does.
void AppendAnsi(std::string& line, const WCHAR* piece) {
  const int length = static_cast<int>(platform::WStrLen(piece));
  if (length == 0) return;
  int bytes = WideCharToMultiByte(CP_ACP, 0, piece, length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  std::string ansi(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, piece, length, ansi.data(), bytes, nullptr, nullptr);
  for (char c : ansi) {
    if (c == '\n') line.push_back('\r');
    line.push_back(c);
  }
}

// Builds the bytes of one line.
std::string BuildLine(LOGFLAGS flags, LOGFLAGS level, const WCHAR* source_file, int source_line,
                      const WCHAR* format, va_list args) {
  std::string line;
  WCHAR piece[kPieceSize];
  AppendAnsi(line, LevelTag(level));
  if (flags & LOGFLAGS_TIME) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    platform::Format(piece, kPieceSize, u" %02d-%02d-%02d %02d:%02d:%02d ", now.wYear, now.wMonth,
                     now.wDay, now.wHour, now.wMinute, now.wSecond);
    AppendAnsi(line, piece);
  }
  if (flags & LOGFLAGS_LOCATION) {
    // The file name is an argument of the piece, never part of a format.
    const WCHAR* name = source_file ? WuGetFileNamePtrW(source_file) : u"";
    platform::Format(piece, kPieceSize, u"%15s(%4d): ", name, source_line);
    AppendAnsi(line, piece);
  }
  piece[0] = 0;
  if (format && platform::FormatV(piece, kPieceSize, format, args) < 0) piece[0] = 0;
  AppendAnsi(line, piece);
  AppendAnsi(line, u"\n");
  return line;
}

}  // namespace

void* CLog::operator new(size_t bytes) noexcept { return WuGlobalNew(bytes); }

void CLog::operator delete(void* block) noexcept { WuGlobalDelete(block); }

CLog::CLog()
    : m_bInitialized(0), m_hStream(nullptr), m_dwFlags(0), m_lSizeLimit(-1),
      m_szLogPath{}, m_szPreviousPath{}, m_Lock{} {
  InitializeCriticalSection(&m_Lock);
}

CLog::CLog(const CLog& other) : CLog() { *this = other; }

CLog& CLog::operator=(const CLog& other) {
  if (this == &other) return *this;
  // Take a snapshot of the other log under its lock, then reopen its file
  // under this one: the two objects never share a stream.
  int32_t initialized;
  LOGFLAGS flags;
  LONG size_limit;
  WCHAR log_path[MAX_PATH];
  WCHAR previous_path[MAX_PATH];
  EnterCriticalSection(&other.m_Lock);
  initialized = other.m_bInitialized;
  flags = other.m_dwFlags;
  size_limit = other.m_lSizeLimit;
  WuStrCpyN(log_path, other.m_szLogPath, MAX_PATH);
  WuStrCpyN(previous_path, other.m_szPreviousPath, MAX_PATH);
  LeaveCriticalSection(&other.m_Lock);

  EnterCriticalSection(&m_Lock);
  CloseLocked();
  m_dwFlags = flags;
  m_lSizeLimit = size_limit;
  WuStrCpyN(m_szLogPath, log_path, MAX_PATH);
  WuStrCpyN(m_szPreviousPath, previous_path, MAX_PATH);
  if (initialized) OpenLocked();
  LeaveCriticalSection(&m_Lock);
  return *this;
}

CLog::~CLog() {
  EnterCriticalSection(&m_Lock);
  CloseLocked();
  LeaveCriticalSection(&m_Lock);
  DeleteCriticalSection(&m_Lock);
}

HRESULT CLog::OpenLocked() {
  // Shared for reading, writing and deletion, so that copies of this log
  // and readers never block a rotation.
  HANDLE stream = CreateFileW(m_szLogPath, GENERIC_READ | FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (stream == INVALID_HANDLE_VALUE) {
    m_bInitialized = 0;
    return WU_E_OPEN_FILE;
  }
  m_hStream = stream;
  m_bInitialized = 1;
  return S_OK;
}

void CLog::CloseLocked() {
  m_bInitialized = 0;
  if (m_hStream) {
    CloseHandle(m_hStream);
    m_hStream = nullptr;
  }
}

HRESULT CLog::RotateLocked() {
  LARGE_INTEGER size{};
  if (!m_szPreviousPath[0] || !GetFileSizeEx(m_hStream, &size) || size.QuadPart < m_lSizeLimit)
    return S_OK;
  CloseLocked();
  // Links at either name stay: the files they name are the ones rotated.
  std::u16string log, previous;
  try {
    if (!platform::GetReplacedFileName(m_szLogPath, &log) ||
        !platform::GetReplacedFileName(m_szPreviousPath, &previous))
      return OpenLocked();
  } catch (...) {
    return OpenLocked();  // out of memory: no rotation this time
  }
  // One rename replaces the older file: when it fails, both stay as they
  // were and the log goes on in the same file.
  if (MoveFileExW(log.c_str(), previous.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    // The new file is readable by whom the old one was: made private, then
    // given the old one's permission bits.
    HANDLE fresh = platform::CreatePrivateFile(log.c_str(), GENERIC_WRITE, 0);
    if (fresh != INVALID_HANDLE_VALUE) {
      platform::SetFileModeLike(fresh, previous.c_str());
      CloseHandle(fresh);
    }
  }
  return OpenLocked();
}

HRESULT CLog::Init(const WCHAR* path, LOGFLAGS flags, LONG size_limit) {
  if (!path || flags == 0) return E_INVALIDARG;
  EnterCriticalSection(&m_Lock);
  CloseLocked();
  WuStrCpyN(m_szLogPath, path, MAX_PATH);
  // The previous path is only kept when the whole suffix fits: a cut one
  // could name the log file itself, which rotation would then delete.
  if (WuStrLenSafe(m_szLogPath) + WuStrLenSafe(kPreviousSuffix) < MAX_PATH) {
    WuStrCpyN(m_szPreviousPath, m_szLogPath, MAX_PATH);
    WuStrCatN(m_szPreviousPath, kPreviousSuffix, MAX_PATH);
  } else {
    m_szPreviousPath[0] = 0;
  }
  m_dwFlags = flags;
  m_lSizeLimit = size_limit;
  // A path that does not fit is not opened: its cut form names another
  // file.
  HRESULT hr = FitsPath(path) ? OpenLocked() : WU_E_OPEN_FILE;
  LeaveCriticalSection(&m_Lock);
  return hr;
}

HRESULT CLog::Write(LOGFLAGS level, const WCHAR* source_file, int source_line,
                    const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  HRESULT hr = WriteV(level, source_file, source_line, format, args);
  va_end(args);
  return hr;
}

HRESULT CLog::WriteV(LOGFLAGS level, const WCHAR* source_file, int source_line,
                     const WCHAR* format, va_list args) {
  HRESULT hr = S_OK;
  EnterCriticalSection(&m_Lock);
  if (!m_bInitialized) {
    hr = WU_E_INIT_FAILED;
  } else if ((level & m_dwFlags & LOGFLAGS_LEVELS) != 0) {
    if (m_lSizeLimit > 0) hr = RotateLocked();
    if (SUCCEEDED(hr)) {
      try {
        std::string line = BuildLine(m_dwFlags, level, source_file, source_line, format, args);
        // A line that does not go out whole (a full disk) is taken back,
        // so that the next one starts a line of its own, and reported.
        if (!WuAppendFileWhole(m_hStream, line.data(), static_cast<DWORD>(line.size())))
          hr = WU_E_WRITE;
      } catch (...) {
        // Out of memory for the line: it is lost, as a failed stream write is.
      }
    }
  }
  LeaveCriticalSection(&m_Lock);
  return hr;
}

void CLog::Shutdown() {
  EnterCriticalSection(&m_Lock);
  CloseLocked();
  LeaveCriticalSection(&m_Lock);
}
