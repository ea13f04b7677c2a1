#include "platform/gdi/gdi.h"

#include <atomic>
#include <mutex>

#include "platform/gdi/gdi_internal.h"
#include "platform/kernel/error.h"

namespace platform {

namespace {

constexpr int kLogPixels = 96;  // dots per inch of every display

// A monitor with the handle value it has in the current configuration.
struct Monitor {
  uintptr_t handle;      // HMONITOR value, never reused
  MonitorConfig config;  // as configured
};

struct Display {
  std::mutex lock;
  std::vector<Monitor> monitors;                          // monitors[0] is primary
  uintptr_t next_monitor = 0x10001;                       // next HMONITOR value
};

MonitorConfig DefaultMonitor() {
  return MonitorConfig{u"\\\\.\\DISPLAY1", RECT{0, 0, 1920, 1080}, 32};
}

void ConfigureLocked(Display& d, const std::vector<MonitorConfig>& list) {
  d.monitors.clear();
  for (const MonitorConfig& config : list) d.monitors.push_back(Monitor{d.next_monitor++, config});
  if (d.monitors.empty()) d.monitors.push_back(Monitor{d.next_monitor++, DefaultMonitor()});
}

Display& TheDisplay() {
  static Display* display = [] {
    Display* d = new Display;  // lives to process exit
    ConfigureLocked(*d, {});
    return d;
  }();
  return *display;
}

const Monitor* FindMonitorLocked(const Display& d, uintptr_t handle) {
  for (const Monitor& m : d.monitors)
    if (m.handle == handle) return &m;
  return nullptr;
}

bool EqualFolded(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? a[i] + 32 : a[i];
    char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? b[i] + 32 : b[i];
    if (x != y) return false;
  }
  return true;
}

bool Intersect(const RECT& a, const RECT& b, RECT* out) {
  RECT r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
         a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  if (r.left >= r.right || r.top >= r.bottom) return false;
  *out = r;
  return true;
}

}  // namespace

void SetMonitors(const std::vector<MonitorConfig>& monitors) {
  Display& d = TheDisplay();
  std::lock_guard<std::mutex> guard(d.lock);
  ConfigureLocked(d, monitors);
}

void ResetMonitors() { SetMonitors({}); }

namespace gdi {

SIZE PrimarySize() {
  Display& d = TheDisplay();
  std::lock_guard<std::mutex> guard(d.lock);
  const RECT& r = d.monitors[0].config.rect;
  return SIZE{r.right - r.left, r.bottom - r.top};
}

int PrimaryBitsPerPixel() {
  Display& d = TheDisplay();
  std::lock_guard<std::mutex> guard(d.lock);
  return d.monitors[0].config.bits_per_pixel;
}

}  // namespace gdi

}  // namespace platform

BOOL EnumDisplayMonitors(HDC dc, const RECT* clip, MONITORENUMPROC callback, LPARAM data) {
  platform::Display& d = platform::TheDisplay();
  std::vector<std::pair<uintptr_t, RECT>> list;
  bool screen_dc = false;
  if (dc) {
    std::lock_guard<std::recursive_mutex> guard(platform::gdi::Lock());
    platform::gdi::Dc* found = platform::gdi::FindDc(dc);
    screen_dc = found && found->kind == platform::gdi::Dc::kScreen && found->monitor == 0;
  }
  {
    std::lock_guard<std::mutex> guard(d.lock);
    if (!callback || (dc && !screen_dc)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    for (const platform::Monitor& m : d.monitors) {
      RECT r = m.config.rect;
      if (clip && !platform::Intersect(r, *clip, &r)) continue;
      list.emplace_back(m.handle, r);
    }
  }
  // The callback runs without the lock: it may ask about the monitors.
  for (auto& [handle, rect] : list)
    if (!callback(reinterpret_cast<HMONITOR>(handle), dc, &rect, data)) break;
  return TRUE;
}

BOOL GetMonitorInfoW(HMONITOR monitor, MONITORINFO* info) {
  if (!info || (info->cbSize != sizeof(MONITORINFO) && info->cbSize != sizeof(MONITORINFOEXW))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  platform::Display& d = platform::TheDisplay();
  std::lock_guard<std::mutex> guard(d.lock);
  const platform::Monitor* m =
      platform::FindMonitorLocked(d, reinterpret_cast<uintptr_t>(monitor));
  if (!m) {
    SetLastError(ERROR_INVALID_MONITOR_HANDLE);
    return FALSE;
  }
  info->rcMonitor = m->config.rect;
  info->rcWork = m->config.rect;
  info->dwFlags = m == &d.monitors[0] ? MONITORINFOF_PRIMARY : 0;
  if (info->cbSize == sizeof(MONITORINFOEXW)) {
    MONITORINFOEXW* ex = static_cast<MONITORINFOEXW*>(info);
    constexpr size_t kCap = sizeof(ex->szDevice) / sizeof(ex->szDevice[0]);
    size_t n = m->config.device.copy(ex->szDevice, kCap - 1);
    for (; n < kCap; ++n) ex->szDevice[n] = 0;
  }
  return TRUE;
}

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const void* init_data) {
  if (!driver || !platform::EqualFolded(driver, u"DISPLAY")) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!device || !device[0]) return platform::gdi::NewScreenDc(false, 0);
  uintptr_t monitor = 0;
  {
    platform::Display& d = platform::TheDisplay();
    std::lock_guard<std::mutex> guard(d.lock);
    for (const platform::Monitor& m : d.monitors)
      if (platform::EqualFolded(device, m.config.device)) monitor = m.handle;
  }
  if (!monitor) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return platform::gdi::NewScreenDc(false, monitor);
}

int GetDeviceCaps(HDC dc, int index) {
  uintptr_t monitor = 0;
  if (!platform::gdi::DcMonitor(dc, &monitor)) return 0;
  platform::Display& d = platform::TheDisplay();
  std::lock_guard<std::mutex> guard(d.lock);
  // The screen (from GetDC or CreateDCW without a device), memory and
  // window DCs report the primary monitor; a monitor DC its monitor. A
  // monitor configured away since the DC was made has no facts left.
  const platform::Monitor* m =
      monitor == 0 ? &d.monitors[0] : platform::FindMonitorLocked(d, monitor);
  if (!m) return 0;
  const platform::Monitor& facts = *m;
  RECT area = facts.config.rect;
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  switch (index) {
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return MulDiv(width, 254, platform::kLogPixels * 10);
    case VERTSIZE: return MulDiv(height, 254, platform::kLogPixels * 10);
    case HORZRES: return width;
    case VERTRES: return height;
    case BITSPIXEL: return facts.config.bits_per_pixel;
    case PLANES: return 1;
    case NUMCOLORS: return facts.config.bits_per_pixel <= 8 ? 1 << facts.config.bits_per_pixel : -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return platform::kLogPixels;
    default: return 0;
  }
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  LONGLONG product = static_cast<LONGLONG>(a) * b;
  // Round half away from zero: add half the divisor in the product's
  // direction of the quotient's sign.
  LONGLONG half = (c < 0 ? -static_cast<LONGLONG>(c) : c) / 2;
  bool negative = (product < 0) != (c < 0);
  LONGLONG magnitude = (product < 0 ? -product : product) + half;
  LONGLONG quotient = magnitude / (c < 0 ? -static_cast<LONGLONG>(c) : c);
  if (negative) quotient = -quotient;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}

namespace {
std::atomic<DWORD> g_default_layout{0};  // the process default layout
}  // namespace

BOOL SetProcessDefaultLayout(DWORD layout) {
  if (layout != 0 && layout != LAYOUT_RTL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  g_default_layout.store(layout);
  return TRUE;
}

BOOL GetProcessDefaultLayout(DWORD* layout) {
  if (!layout) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *layout = g_default_layout.load();
  return TRUE;
}
