// Kernel start-up and shut-down. The state here is plain process-wide data
// without a lock: start-up runs on the main thread before any other thread
// uses the library, shut-down after the others have stopped.
#include "foundation/WuKernel.h"

#include <cstdlib>

#include "dsp/WuPerf.h"
#include "foundation/WuDebug.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuShellLink.h"
#include "foundation/WuStaticCtl.h"
#include "foundation/WuSystem.h"
#include "foundation/WuTimer.h"
#include "foundation/WuUIColor.h"
#include "foundation/WuUICursor.h"
#include "platform/kernel/exception.h"
#include "platform/kernel/module.h"

namespace {

constexpr UINT kAppCursorBase = 100;  // application cursors 100..149 of the main module

HMODULE g_app_kernel = nullptr;   // module given to start-up
DWORD g_flags = 0;                // start-up flags, unchanged
int g_host_color_option = 0;      // 1, 2 or 0, from the flags
HMODULE g_main_module = nullptr;  // the executable's module
UINT g_cursor_base = 0;           // first application cursor id
void* g_splash = nullptr;         // splash window or object
BOOL g_is_win95 = FALSE;          // WuIsWin95 at start-up

// The process-exit step: the shared shell-link object is released once.
struct ExitStep {
  ExitStep() { std::atexit(&WuShellLink_ReleaseCache); }
};
const ExitStep g_exit_step;

}  // namespace

WuLangStringRow* const WuKernel_BitRateUnits[5] = {
    &WuLangRow_BitRateBps, &WuLangRow_BitRateKbps, &WuLangRow_BitRateMbps,
    &WuLangRow_BitRateGbps, &WuLangRow_BitRateTbps};

void WuKernel_SetErrorMode() {
  constexpr UINT kBits = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX;
  UINT previous = SetErrorMode(kBits);
  SetErrorMode(previous | kBits);
}

BOOL WuKernel_EarlyInitialize(HMODULE module, DWORD flags) {
  WuKernel_SetErrorMode();

  WuTimer_SetupClock(4);

  g_is_win95 = WuIsWin95();

  g_app_kernel = module;
  g_flags = flags;

  // Detection (once), then the cached word keeps only allowed features plus
  // the class override.
  WuSystem_ApplyCPUSupportMask();

  if (flags & WUKERNEL_HOSTCOLORS)
    g_host_color_option = 1;
  else if (flags & WUKERNEL_HOSTCOLORS_ALT)
    g_host_color_option = 2;
  else
    g_host_color_option = 0;
  WuUIColor_SetHostKernel((g_host_color_option & 2) != 0);

  g_cursor_base = kAppCursorBase;
  g_main_module = GetModuleHandleW(nullptr);
  g_splash = nullptr;
  WuUICursor_SetAppCursors(g_main_module, g_cursor_base);
  WuStaticCtl_Register(module);

  WuKernel_ResetUIColors(TRUE);

  WuPrintF_CreateTokens();  // a failed table is not reported

  HWULANG lang = nullptr;
  BOOL opened = SUCCEEDED(WuLang_Open(&lang, module, 0, 0)) && lang;
  if (opened) {
    WuKernel_SetLangHandle(lang);
    WuLang_GetInternationals(nullptr, 0);
  }

  WuTimer_LateInitialize();
  WuPerf_Initialize();  // the result does not stop start-up
  return opened;
}

BOOL WuKernel_LateTerminate(HMODULE module, DWORD flags) {
  HWULANG lang = WuKernel_GetLangHandle();
  if (lang) {
    WuLang_Close(lang);
    WuKernel_SetLangHandle(nullptr);
  }
  WuPrintF_DestroyTokens();
  WuKernel_ReleaseUIObjects();
  WuUICursor_LateTerminate();
  WuDebugString_Terminate();  // closes the debug device when one was opened
  g_app_kernel = nullptr;
  return TRUE;
}

HMODULE WuKernel_GetAppKernel() { return g_app_kernel; }

HRESULT WuKernel_GetAppKernelPathName(WCHAR* buffer, int size) {
  if (!buffer || size <= 0) return E_INVALIDARG;
  DWORD n = GetModuleFileNameW(g_app_kernel, buffer, static_cast<DWORD>(size));
  if (n == 0) return WuErrorHandler_TranslateWin32Error(GetLastError());
  if (n >= static_cast<DWORD>(size)) return WuErrorHandler_TranslateWin32Error(ERROR_INSUFFICIENT_BUFFER);
  return S_OK;
}

DWORD WuKernel_GetFlags() { return g_flags; }
int WuKernel_GetHostColorOption() { return g_host_color_option; }
HMODULE WuKernel_GetMainModule() { return g_main_module; }
UINT WuKernel_GetAppCursorBase() { return g_cursor_base; }

void* WuKernel_SetSplash(void* splash) {
  g_splash = splash;
  return splash;
}
void* WuKernel_GetSplash() { return g_splash; }

LRESULT WuKernel_UserPrefChanges(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SYSCOLORCHANGE:
      WuRefreshHighColor(TRUE);
      WuRefreshAllMonitorsHighColor(TRUE);
      // Releases the cached brushes, pens and the glyph strip's DC, then
      // copies the default palette again.
      WuKernel_ResetUIColors(FALSE);
      return TRUE;
    case WM_DISPLAYCHANGE:
      WuRefreshHighColor(TRUE);
      WuRefreshAllMonitorsHighColor(TRUE);  // enumerates the monitors again
      return TRUE;
    default:
      return static_cast<LRESULT>(message);
  }
}
