// Developer output: WuDebugString in device and screen mode.
#include "foundation/WuDebug.h"

#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/comm.h"
#include "platform/kernel/files.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/registry/profile.h"

namespace {

const WCHAR kSection[] = u"Debug";
const WCHAR kDefaultDevice[] = u"COM1";
const WCHAR kFallbackDevice[] = u"AUX";
constexpr DWORD kDebugBaudRate = 115200;

// Device-mode state, set up on the first device-mode call.
struct DeviceState {
  bool set_up;            // the profile was read and the open tried
  WCHAR path[MAX_PATH];   // the device path from the profile
  HANDLE device;          // the open device, INVALID_HANDLE_VALUE when the open failed
  DWORD control_code;     // DeviceIoctl: 0 means plain writes
};
DeviceState g_device = {false, {}, INVALID_HANDLE_VALUE, 0};

// Screen-mode state, set up on the first screen-mode call.
struct ScreenState {
  bool set_up;       // the box was drawn
  RECT box;          // the output box on the screen
  POINT position;    // where the next text goes
  int line_height;   // height of "0" in the ANSI fixed font
};
ScreenState g_screen = {false, {}, {}, 0};

// A decimal number as the profile holds it: optional sign, digits; reading
// stops at the first other character.
DWORD ParseDecimal(const WCHAR* text) {
  while (*text == u' ' || *text == u'\t') ++text;
  bool negative = *text == u'-';
  if (*text == u'-' || *text == u'+') ++text;
  DWORD value = 0;
  for (; *text >= u'0' && *text <= u'9'; ++text)
    value = value * 10 + static_cast<DWORD>(*text - u'0');
  return negative ? 0u - value : value;
}

HANDLE OpenForWriting(const WCHAR* path) {
  return CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads the profile and opens the device once.
void SetUpDevice() {
  g_device.set_up = true;
  // Read with room for one more character: a path that does not fit is
  // not opened, as its cut form names another file.
  WCHAR path[MAX_PATH + 1] = {};
  DWORD length = GetProfileStringW(kSection, u"LogToFilePath", kDefaultDevice, path, MAX_PATH + 1);
  const bool fits = length < MAX_PATH;
  WuStrCpyN(g_device.path, fits ? path : u"", MAX_PATH);
  const bool serial = lstrcmpW(g_device.path, kDefaultDevice) == 0;
  HANDLE device = fits ? OpenForWriting(g_device.path) : INVALID_HANDLE_VALUE;
  if (device == INVALID_HANDLE_VALUE && serial) device = OpenForWriting(kFallbackDevice);
  if (device != INVALID_HANDLE_VALUE) {
    if (serial) {
      DCB dcb{};
      dcb.DCBlength = sizeof(dcb);
      if (GetCommState(device, &dcb)) {
        dcb.BaudRate = kDebugBaudRate;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        SetCommState(device, &dcb);
      }
    } else {
      // A plain file keeps what earlier runs wrote: output goes at its end.
      SetFilePointer(device, 0, nullptr, FILE_END);
    }
  }
  g_device.device = device;
  WCHAR code[32];
  GetProfileStringW(kSection, u"DeviceIoctl", u"0", code, 32);
  g_device.control_code = ParseDecimal(code);
}

BOOL DeviceOutput(const WCHAR* text, BOOL new_line) {
  // The text is cut so that the line end and the terminator always fit.
  char buffer[WUDEBUG_DEVICE_BUFFER];
  WuWideToMultiByte(buffer, text ? text : u"", WUDEBUG_DEVICE_BUFFER - 2, CP_ACP);
  int length = lstrlenA(buffer);  // a cut text reports 0: measure what was kept
  if (!g_device.set_up) SetUpDevice();
  if (g_device.device == INVALID_HANDLE_VALUE) return FALSE;
  DWORD done = 0;
  if (g_device.control_code != 0) {
    if (new_line) buffer[length++] = '\n';
    return DeviceIoControl(g_device.device, g_device.control_code, buffer,
                           static_cast<DWORD>(length), nullptr, 0, &done, nullptr);
  }
  if (new_line) {
    buffer[length++] = '\r';
    buffer[length++] = '\n';
  }
  // A plain file never keeps part of a text that did not go out whole.
  if (GetFileType(g_device.device) == FILE_TYPE_DISK)
    return WuAppendFileWhole(g_device.device, buffer, static_cast<DWORD>(length));
  return WriteFile(g_device.device, buffer, static_cast<DWORD>(length), &done, nullptr);
}

// Sets up the box on the first call: light grey, framed in black one pixel
// outside, at the bottom of the screen.
void SetUpScreen(HDC dc) {
  g_screen.set_up = true;
  SIZE zero{};
  GetTextExtentPoint32W(dc, u"0", 1, &zero);
  g_screen.line_height = zero.cy > 0 ? zero.cy : 1;
  const int width = GetDeviceCaps(dc, HORZRES);
  const int height = GetDeviceCaps(dc, VERTRES);
  const int lines = static_cast<int>(GetProfileIntW(kSection, u"LogToScreenLines", 5));
  int top = lines > 0 ? height - lines * g_screen.line_height : 0;
  if (top < 0) top = 0;
  SetRect(&g_screen.box, 0, top, width - 80, height);
  RECT frame = g_screen.box;
  InflateRect(&frame, 1, 1);
  FillRect(dc, &g_screen.box, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  g_screen.position = {g_screen.box.left, g_screen.box.top};
}

BOOL ScreenOutput(const WCHAR* text, BOOL new_line) {
  HDC dc = GetDC(nullptr);
  if (!dc) return FALSE;
  HGDIOBJ old_font = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  if (!g_screen.set_up) SetUpScreen(dc);
  const RECT& box = g_screen.box;
  POINT& at = g_screen.position;
  const int h = g_screen.line_height;
  if (at.x > box.right || at.y + h > box.bottom) at = {box.left, box.top};

  // The text goes through the ANSI code page, as 8-bit text output would
  // show it.
  char ansi[WUDEBUG_DEVICE_BUFFER];
  WuWideToMultiByte(ansi, text ? text : u"", WUDEBUG_DEVICE_BUFFER, CP_ACP);
  WCHAR shown[WUDEBUG_DEVICE_BUFFER];
  int count = MultiByteToWideChar(CP_ACP, 0, ansi, -1, shown, WUDEBUG_DEVICE_BUFFER);
  count = count > 0 ? count - 1 : 0;

  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(255, 255, 255));
  SetTextColor(dc, RGB(0, 0, 0));
  BOOL result = TextOutW(dc, at.x, at.y, shown, count);
  SIZE extent{};
  GetTextExtentPoint32W(dc, shown, count, &extent);
  if (new_line) {
    at = {box.left, at.y + h};
  } else {
    at.x += extent.cx;
  }
  // Clear the rest of the current line while two lines of room remain, so
  // that the newest output stands out.
  if (at.y + 2 * h <= box.bottom && at.x < box.right) {
    RECT rest = {at.x, at.y, box.right, at.y + h};
    FillRect(dc, &rest, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
  }
  SelectObject(dc, old_font);
  ReleaseDC(nullptr, dc);
  return result;
}

}  // namespace

BOOL WuDebugString(const WCHAR* text, BOOL new_line, int mode) {
  return mode == WUDEBUG_DEVICE ? DeviceOutput(text, new_line) : ScreenOutput(text, new_line);
}

void WuDebugString_Terminate() {
  if (g_device.device != INVALID_HANDLE_VALUE) CloseHandle(g_device.device);
  g_device = {false, {}, INVALID_HANDLE_VALUE, 0};
  g_screen = {false, {}, {}, 0};
}

void WuDebugString_GetScreenState(RECT* box, POINT* position) {
  if (box) *box = g_screen.box;
  if (position) *position = g_screen.position;
}
