// The display as the library sees it: a list of monitors, device contexts
// for the screen and for each monitor, and the device facts the library
// asks about (colour depth, size, resolution).
//
// There is no real screen behind it. The monitor list is configurable
// (platform::SetMonitors); by default there is one 1920x1080 monitor at 32
// bits per pixel, "\\.\DISPLAY1". The first monitor is the primary one, and
// the screen DC reports its facts.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

// ---- Monitors ------------------------------------------------------------------
namespace platform {

// One monitor of the configured display.
struct MonitorConfig {
  std::u16string device;   // device name, e.g. u"\\\\.\\DISPLAY1"
  RECT rect;               // position and size on the virtual screen
  int bits_per_pixel;      // colour depth
};

// Replaces the monitor list (at least one monitor; an empty list restores
// the default). Handles of the previous monitors become invalid.
void SetMonitors(const std::vector<MonitorConfig>& monitors);
// Restores the default single monitor.
void ResetMonitors();

}  // namespace platform

constexpr DWORD MONITORINFOF_PRIMARY = 0x00000001;

struct MONITORINFO {
  DWORD cbSize;     // sizeof(MONITORINFO) or sizeof(MONITORINFOEXW), set by the caller
  RECT rcMonitor;   // the monitor on the virtual screen
  RECT rcWork;      // its work area (the whole monitor here)
  DWORD dwFlags;    // MONITORINFOF_PRIMARY for the primary monitor
};
struct MONITORINFOEXW : MONITORINFO {
  WCHAR szDevice[32];  // device name, for CreateDCW
};

typedef BOOL (*MONITORENUMPROC)(HMONITOR monitor, HDC dc, RECT* rect, LPARAM data);

// Calls `callback` for each monitor (intersecting `clip`, when given, with
// the intersection as the rectangle) until it returns FALSE. Only the
// screen (dc NULL or a screen DC) is supported. TRUE when the enumeration
// ran, FALSE (ERROR_INVALID_PARAMETER) without a callback or with another DC.
BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC callback, LPARAM data);

// Facts of a monitor. FALSE with ERROR_INVALID_MONITOR_HANDLE for a handle
// that is not a current monitor, ERROR_INVALID_PARAMETER for a bad size.
BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info);

// ---- Device contexts ---------------------------------------------------------------
// The screen DC for window NULL; windows are not modelled yet, so any other
// window fails with ERROR_INVALID_WINDOW_HANDLE.
HDC GetDC(HWND window);
// Releases a DC from GetDC: 1 when released, 0 otherwise.
int ReleaseDC(HWND window, HDC dc);

// A display DC: driver "DISPLAY" (any case) and a monitor's device name, or
// no device for the whole screen. NULL (ERROR_INVALID_PARAMETER) for
// another driver or an unknown device.
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const void* init_data);
// Deletes a DC from CreateDCW; FALSE for anything else.
BOOL DeleteDC(HDC dc);

// GetDeviceCaps indices.
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4;     // millimetres
constexpr int VERTSIZE = 6;     // millimetres
constexpr int HORZRES = 8;      // pixels
constexpr int VERTRES = 10;     // pixels
constexpr int BITSPIXEL = 12;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int DT_RASDISPLAY = 1;  // TECHNOLOGY of a display

// One fact of a DC's device; 0 for an unknown index or a bad DC.
int GetDeviceCaps(HDC dc, int index);

// ---- Arithmetic --------------------------------------------------------------------
// a * b / c with a 64-bit product, rounded to the nearest integer (halves
// away from zero); -1 when c is 0 or the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);
