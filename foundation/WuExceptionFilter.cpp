// The unhandled-exception filter: a dump of the exception into the error
// details, then the error box.
#include <atomic>

#include "foundation/WuErrorDump.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"

namespace {

typedef BOOL (*DebuggerQuery)();

// IsDebuggerPresent as the system module exports it, looked up once; the
// platform's own function when the lookup finds nothing.
DebuggerQuery DebuggerCheck() {
  static std::atomic<DebuggerQuery> cached{nullptr};
  DebuggerQuery query = cached.load();
  if (query) return query;
  HMODULE kernel = GetModuleHandleW(u"KERNEL32");
  query = kernel ? reinterpret_cast<DebuggerQuery>(GetProcAddress(kernel, "IsDebuggerPresent"))
                 : nullptr;
  if (!query) query = &IsDebuggerPresent;
  cached.store(query);
  return query;
}

// Set while the filter runs: a fault inside it must not enter it again.
std::atomic<bool> g_filter_running{false};

// Puts the default caption and the dump into the error details and shows
// the exception's error box.
void ReportException(const char* dump) {
  // The dump in the ANSI code page, at most 4,095 characters.
  static WCHAR wide[WUDUMP_FILTER_BUFFER];
  if (MultiByteToWideChar(CP_ACP, 0, dump, -1, wide, WUDUMP_FILTER_BUFFER) <= 0) {
    int i = 0;
    for (; dump[i] && i < WUDUMP_FILTER_BUFFER - 1; ++i)
      wide[i] = static_cast<WCHAR>(static_cast<unsigned char>(dump[i]));
    wide[i] = 0;
  }
  wide[WUDUMP_FILTER_BUFFER - 1] = 0;
  WuErrorHandler_DetailsInit();
  // Both lines go in as arguments of "%s": a '%' or '$' in the caption or in
  // the dump's character column is shown as it stands.
  WuErrorHandler_DetailsAddString(WU_E_EXCEPTION, u"%s", WuMsgBox_GetDefaultCaption());
  WuErrorHandler_DetailsAddString(WU_E_EXCEPTION, u"%s", wide);
  LPCWSTR message = WuErrorHandler_GetErrorMessage(WuErrorContextId(0), WU_E_EXCEPTION, nullptr);
  WuErrorHandler_MsgBoxText(nullptr, MB_ICONEXCLAMATION | MB_OK, message, FALSE);
}

}  // namespace

LONG WuErrorHandler_ExceptionFilter(EXCEPTION_POINTERS* pointers, LPCSTR thread_label) {
  if (!pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
  if (pointers->ExceptionRecord->ExceptionCode == EXCEPTION_DATATYPE_MISALIGNMENT)
    return EXCEPTION_CONTINUE_SEARCH;
  if (g_filter_running.exchange(true)) return EXCEPTION_CONTINUE_SEARCH;
  // The crash path runs on a signal stack: the buffer is not on it.
  static char dump[WUDUMP_FILTER_BUFFER];
  WuErrorHandler_DumpExceptionRecord(dump, sizeof dump, thread_label, pointers, 0);
  LONG answer = EXCEPTION_CONTINUE_SEARCH;
  if (!DebuggerCheck()()) {
    ReportException(dump);
    answer = EXCEPTION_EXECUTE_HANDLER;
  }
  g_filter_running.store(false);
  return answer;
}
