// Launching the setup program: its command line, the watcher thread that
// starts it and waits for its end, and the box for a launch that failed.
//
// The setup program runs in this process's group and on its terminal, with
// the inherited environment, standard streams and current folder, so that
// Ctrl+C reaches it as it reaches us. Its exit code becomes ours. A signal
// sent to us alone is passed on to it (Sfx/SfxStop.h).
#include "Sfx/SfxRun.h"

#include "Sfx/SfxRunState.h"
#include "Sfx/SfxStop.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"

namespace {

constexpr UINT kLaunchErrorId = 517;     // "An error occurred while trying to launch the installer:..."
constexpr UINT kLaunchCaptionId = 518;   // "Launch Error"
constexpr UINT kUnknownErrorId = 524;    // "Unknown error: %d"
constexpr UINT kBoxStyle = 0x30;         // exclamation
constexpr DWORD kNotStarted = 1;         // exit code of a setup program that did not start
constexpr DWORD kStopPollMs = 100;       // how often the bound of a stop is looked at

// Appends `text` to out[*len]; false when it does not fit.
bool Append(LPWSTR out, int size, int* len, LPCWSTR text) {
  int add = WuStrLenSafe(text);
  if (*len + add >= size) return false;
  WuStrCpyN(out + *len, text, size - *len);
  *len += add;
  return true;
}

// The reason text of a launch error.
void LaunchReason(DWORD error, LPWSTR out, int size) {
  UINT id = 0;
  switch (error) {
    case ERROR_FILE_NOT_FOUND: id = 519; break;     // "The file was not found."
    case ERROR_PATH_NOT_FOUND: id = 520; break;     // "The path was not found."
    case ERROR_ACCESS_DENIED: id = 521; break;      // "Access denied."
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: id = 522; break;        // "Out of memory."
    case ERROR_SHARING_VIOLATION: id = 523; break;  // "Sharing violation."
    default: break;
  }
  if (id) {
    WuLoadString(g_SfxRunState.lang, id, out, size);
  } else {
    WuPrintFN(out, size, WuGetString(g_SfxRunState.lang, kUnknownErrorId), static_cast<int>(error));
  }
}

void ShowLaunchError(LPCWSTR command, DWORD error) {
  WCHAR reason[SFX_PATH_SIZE] = {};
  LaunchReason(error, reason, SFX_PATH_SIZE);
  WCHAR text[WUPRINTF_MAX] = {};
  WuPrintFN(text, WUPRINTF_MAX, WuGetString(g_SfxRunState.lang, kLaunchErrorId), command, reason);
  WuMessageBox(nullptr, text, WuGetString(g_SfxRunState.lang, kLaunchCaptionId), kBoxStyle);
}

// What the watcher thread gets and gives back.
struct LaunchRequest {
  DWORD mainThreadId;  // where to post SFX_WM_SETUP_ENDED
};

}  // namespace

HRESULT SfxBuildSetupCommand(LPCWSTR setupApp, LPCWSTR params, LPWSTR out, int size) {
  if (!setupApp || !out || size < 1) return E_INVALIDARG;
  out[0] = 0;
  int len = 0;
  const WCHAR* folder = g_SfxRunState.extractFolder;
  int folderLen = WuStrLenSafe(folder);
  bool needsSlash = folderLen > 0 && folder[folderLen - 1] != u'/' && folder[folderLen - 1] != u'\\';
  bool ok = Append(out, size, &len, u"\"") && Append(out, size, &len, folder) &&
            (!needsSlash || Append(out, size, &len, u"/")) && Append(out, size, &len, setupApp) &&
            Append(out, size, &len, u"\"");
  if (ok && params && params[0]) ok = Append(out, size, &len, u" ") && Append(out, size, &len, params);
  if (ok && g_SfxRunState.extras) ok = Append(out, size, &len, g_SfxRunState.extrasText);
  if (ok) return S_OK;
  out[0] = 0;
  return E_INVALIDARG;
}

DWORD SfxLaunchThreadProc(LPVOID parameter) {
  const LaunchRequest* request = static_cast<const LaunchRequest*>(parameter);
  DWORD exitCode = kNotStarted;
  DWORD launchError = 0;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  WCHAR command[SFX_PATH_SIZE] = {};
  WuStrCpyN(command, g_SfxRunState.setupCommand, SFX_PATH_SIZE);
  if (!SfxSetupStarting()) {
    // A signal stops the run: nothing is started any more.
  } else if (CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                            nullptr, nullptr, &startup, &process)) {
    SfxSetupStarted(process.hProcess);
    WaitForInputIdle(process.hProcess, INFINITE);
    // No time-out of its own; after a signal, the bound of the stop.
    while (WaitForSingleObject(process.hProcess, kStopPollMs) == WAIT_TIMEOUT)
      if (SfxStopBoundPassed()) TerminateProcess(process.hProcess, kNotStarted);
    SfxSetupEnded();
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = kNotStarted;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    launchError = GetLastError();
    if (launchError == 0) launchError = ERROR_FILE_NOT_FOUND;
  }
  PostThreadMessageW(request->mainThreadId, SFX_WM_SETUP_ENDED, launchError,
                     static_cast<LPARAM>(exitCode));
  return 0;
}

DWORD SfxRunSetupAndWait() {
  // The queue must exist before the watcher can post to it.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  LaunchRequest request{GetCurrentThreadId()};
  HANDLE thread = CreateThread(nullptr, 0, SfxLaunchThreadProc, &request, 0, nullptr);
  if (!thread) return static_cast<DWORD>(E_FAIL);
  DWORD exitCode = kNotStarted;
  DWORD launchError = 0;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) break;
    if (got == 0) continue;  // a WM_QUIT does not end the wait for the setup program
    if (!msg.hwnd && msg.message == SFX_WM_SETUP_ENDED) {
      launchError = static_cast<DWORD>(msg.wParam);
      exitCode = static_cast<DWORD>(msg.lParam);
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The watcher reads `request` until it posts; it has posted, or the
  // queue failed: either way wait for it before `request` goes away.
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  if (launchError) {
    ShowLaunchError(g_SfxRunState.setupCommand, launchError);
    return kNotStarted;
  }
  return exitCode;
}

DWORD SfxLaunchSetup(LPCWSTR setupApp, LPCWSTR params) {
  if (FAILED(SfxBuildSetupCommand(setupApp, params, g_SfxRunState.setupCommand, SFX_PATH_SIZE))) {
    // Too long for the command line: refused rather than cut and launched.
    ShowLaunchError(setupApp, ERROR_FILENAME_EXCED_RANGE);
    return static_cast<DWORD>(E_INVALIDARG);
  }
  WCHAR program[SFX_PATH_SIZE] = {};
  WuPrintFN(program, SFX_PATH_SIZE, u"%s/%s", g_SfxRunState.extractFolder, setupApp);
  // Archives keep no permission bits: the unpacked program must be made
  // runnable (a missing one fails in the launch with its own reason).
  platform::MakeFileExecutable(program);
  return SfxRunSetupAndWait();
}
