// The library kernel: start-up and shut-down of the process-wide state that
// the foundation services lean on (error mode, processor features, the
// application's module, the kernel language handle, locale settings and the
// clock source), and the refresh of cached display facts.
#pragma once

#include "foundation/WuKernelState.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

struct WuLangStringRow;

// Start-up flag bits that choose the host colour option.
constexpr DWORD WUKERNEL_HOSTCOLORS = 0x01;      // host module answers colours (option 1)
constexpr DWORD WUKERNEL_HOSTCOLORS_ALT = 0x20;  // host module answers colours (option 2)

// Starts the kernel: error mode, clock, processor features, module and
// flags, UI colours, token table, kernel language handle and locale
// settings, timers and signal processing, in that order. TRUE when the
// kernel language handle opened; every step runs either way.
BOOL WuKernel_EarlyInitialize(HMODULE module, DWORD flags);
// Stops the kernel: language handle, token table, UI objects and cursors.
// TRUE; the arguments are not used.
BOOL WuKernel_LateTerminate(HMODULE module, DWORD flags);

// The module given to WuKernel_EarlyInitialize (NULL before and after).
HMODULE WuKernel_GetAppKernel();
// Full file name of that module; S_OK or the converted platform error.
HRESULT WuKernel_GetAppKernelPathName(WCHAR* buffer, int size);
// The flags given to WuKernel_EarlyInitialize.
DWORD WuKernel_GetFlags();
// The host colour option: 1, 2 or 0 (see WUKERNEL_HOSTCOLORS*).
int WuKernel_GetHostColorOption();
// The executable's module handle taken at start-up.
HMODULE WuKernel_GetMainModule();
// The first id of the application cursors (100).
UINT WuKernel_GetAppCursorBase();
// Records the splash window or object; returns it.
void* WuKernel_SetSplash(void* splash);
void* WuKernel_GetSplash();
// Refreshes cached display facts for WM_SYSCOLORCHANGE and
// WM_DISPLAYCHANGE; any other message comes back unchanged.
LRESULT WuKernel_UserPrefChanges(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
// Adds SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX to the process error
// mode, keeping its other bits.
void WuKernel_SetErrorMode();

// The bit-rate unit names "bps", "Kbps", "Mbps", "Gbps" and "Tbps" as
// multilingual rows, in that order.
extern WuLangStringRow* const WuKernel_BitRateUnits[5];
