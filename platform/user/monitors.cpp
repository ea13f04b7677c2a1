// Monitors and work areas, system metrics and system parameters.
#include "platform/user/windows.h"

#include "platform/user/window_internal.h"

namespace platform {
inline namespace window_model {

BOOL CollectMonitor(HMONITOR monitor, HDC, RECT*, LPARAM data) {
  auto* list = reinterpret_cast<std::vector<MonitorEntry>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(monitor, &info)) list->push_back({monitor, info.rcMonitor, info.rcWork});
  return TRUE;
}

// The monitors in list order (the primary first), with work areas. Calls
// the drawing layer: never under Model::lock.
std::vector<MonitorEntry> Monitors() {
  std::vector<MonitorEntry> list;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  for (size_t i = 0; i < list.size(); ++i) {
    auto it = s.work_areas.find(i);
    if (it != s.work_areas.end()) list[i].work = it->second;
  }
  return list;
}

RECT PrimaryRect() {
  std::vector<MonitorEntry> list = Monitors();
  return list.empty() ? RECT{0, 0, 1920, 1080} : list[0].rect;
}

RECT PrimaryWork() {
  std::vector<MonitorEntry> list = Monitors();
  return list.empty() ? RECT{0, 0, 1920, 1080} : list[0].work;
}

// The fixed part of the metric table.
int BaseMetric(int index) {
  switch (index) {
    case SM_CXVSCROLL: case SM_CYHSCROLL: case SM_CYVSCROLL: case SM_CXHSCROLL:
    case SM_CYVTHUMB: case SM_CXHTHUMB: return 17;
    case SM_CYCAPTION: return 22;
    case SM_CXBORDER: case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME: case SM_CYDLGFRAME: return 3;
    case SM_CXICON: case SM_CYICON: case SM_CXCURSOR: case SM_CYCURSOR: return 32;
    case SM_CYMENU: return 20;
    case SM_MOUSEPRESENT: return 1;
    case SM_CXMIN: case SM_CXMINTRACK: return 132;
    case SM_CYMIN: case SM_CYMINTRACK: return 38;
    case SM_CXSIZE: return 36;
    case SM_CYSIZE: return 22;
    case SM_CXFRAME: case SM_CYFRAME: return 4;
    case SM_CXDOUBLECLK: case SM_CYDOUBLECLK: case SM_CXDRAG: case SM_CYDRAG: return 4;
    case SM_CXICONSPACING: case SM_CYICONSPACING: return 75;
    case SM_CMOUSEBUTTONS: return 3;
    case SM_CXEDGE: case SM_CYEDGE: return 2;
    case SM_CXSMICON: case SM_CYSMICON: return 16;
    case SM_CYSMCAPTION: return 18;
    case SM_CXSMSIZE: return 12;
    case SM_CYSMSIZE: return 17;
    case SM_CXMENUSIZE: case SM_CYMENUSIZE: return 19;
    case SM_CXMINIMIZED: return 160;
    case SM_CYMINIMIZED: return 28;
    case SM_NETWORK: return 3;
    case SM_CXMENUCHECK: case SM_CYMENUCHECK: return 13;
    case SM_MOUSEWHEELPRESENT: case SM_SAMEDISPLAYFORMAT: return 1;
    default: return 0;  // SM_DEBUG, SM_SWAPBUTTON, SM_CLEANBOOT, ...: 0
  }
}

// A metric of the fixed table, with the tests' overrides. Safe under
// Model::lock.
int FixedMetric(int index) {
  Settings& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  auto it = s.metric_overrides.find(index);
  return it != s.metric_overrides.end() ? it->second : BaseMetric(index);
}

// The frame a style gives: how far the client area lies inside the window.
RECT FrameInsets(DWORD style, DWORD ex_style, bool menu) {
  int border = 0;
  if (style & WS_THICKFRAME) {
    border = FixedMetric(SM_CXFRAME);
  } else if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME)) {
    border = FixedMetric(SM_CXDLGFRAME);
  } else if (style & WS_BORDER) {
    border = FixedMetric(SM_CXBORDER);
  }
  if (ex_style & WS_EX_CLIENTEDGE) border += FixedMetric(SM_CXEDGE);
  RECT insets{border, border, border, border};
  if ((style & WS_CAPTION) == WS_CAPTION)
    insets.top += FixedMetric((ex_style & WS_EX_TOOLWINDOW) ? SM_CYSMCAPTION : SM_CYCAPTION);
  if (menu) insets.top += FixedMetric(SM_CYMENU);
  return insets;
}

// The client size of a window rectangle.
SIZE ClientSizeOf(const Window& w) {
  RECT in = InsetsOf(w);
  int cx = Width(w.rect) - in.left - in.right;
  int cy = Height(w.rect) - in.top - in.bottom;
  if (w.style & WS_VSCROLL) cx -= FixedMetric(SM_CXVSCROLL);
  if (w.style & WS_HSCROLL) cy -= FixedMetric(SM_CYHSCROLL);
  return SIZE{std::max(cx, 0), std::max(cy, 0)};
}

// The window rectangle in screen coordinates.
RECT ScreenRectLocked(Model& m, const Window& w) {
  RECT r = w.rect;
  if (w.parent) {
    POINT o = ClientOriginLocked(m, w.parent);
    OffsetRect(&r, o.x, o.y);
  }
  return r;
}

POINT ClientOriginLocked(Model& m, HWND hwnd) {
  std::shared_ptr<Window> w = FindLocked(m, hwnd);
  if (!w) return POINT{0, 0};
  RECT r = ScreenRectLocked(m, *w);
  RECT in = InsetsOf(*w);
  return POINT{r.left + in.left, r.top + in.top};
}

}  // namespace window_model
}  // namespace platform
// ==== Monitors ==========================================================================================

namespace platform {
inline namespace window_model {

LONGLONG Overlap(const RECT& a, const RECT& b) {
  RECT r;
  if (!IntersectRect(&r, &a, &b)) return 0;
  return static_cast<LONGLONG>(Width(r)) * Height(r);
}

LONGLONG DistanceSquared(const RECT& a, const RECT& b) {
  LONGLONG dx = std::max<LONGLONG>({0, static_cast<LONGLONG>(a.left) - b.right + 1,
                                    static_cast<LONGLONG>(b.left) - a.right + 1});
  LONGLONG dy = std::max<LONGLONG>({0, static_cast<LONGLONG>(a.top) - b.bottom + 1,
                                    static_cast<LONGLONG>(b.top) - a.bottom + 1});
  return dx * dx + dy * dy;
}

}  // namespace window_model
}  // namespace platform

HMONITOR MonitorFromRect(const RECT* rect, DWORD flags) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<platform::MonitorEntry> list = platform::Monitors();
  if (list.empty()) return nullptr;
  RECT probe = *rect;
  if (IsRectEmpty(&probe)) probe = RECT{rect->left, rect->top, rect->left + 1, rect->top + 1};
  const platform::MonitorEntry* best = nullptr;
  LONGLONG best_area = 0;
  for (const auto& e : list) {
    LONGLONG area = platform::Overlap(probe, e.rect);
    if (area > best_area) {
      best_area = area;
      best = &e;
    }
  }
  if (best) return best->handle;
  if (flags == MONITOR_DEFAULTTOPRIMARY) return list[0].handle;
  if (flags == MONITOR_DEFAULTTONEAREST) {
    best = &list[0];
    LONGLONG best_distance = platform::DistanceSquared(probe, list[0].rect);
    for (const auto& e : list) {
      LONGLONG d = platform::DistanceSquared(probe, e.rect);
      if (d < best_distance) {
        best_distance = d;
        best = &e;
      }
    }
    return best->handle;
  }
  return nullptr;
}

HMONITOR MonitorFromPoint(POINT point, DWORD flags) {
  RECT r{point.x, point.y, point.x + 1, point.y + 1};
  return MonitorFromRect(&r, flags);
}

HMONITOR MonitorFromWindow(HWND window, DWORD flags) {
  RECT r;
  if (platform::IsDesktop(window)) {
    r = platform::PrimaryRect();
  } else {
    Model& m = M();
    std::lock_guard<std::mutex> guard(m.lock);
    std::shared_ptr<Window> w = FindOrFailLocked(m, window);
    if (!w) return nullptr;
    r = w->show_state == SW_SHOWMINIMIZED && !w->parent ? w->normal_rect
                                                        : platform::ScreenRectLocked(m, *w);
  }
  return MonitorFromRect(&r, flags);
}

// ==== System metrics and parameters ===============================================================================

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXSCREEN: case SM_CYSCREEN: case SM_CMONITORS:
    case SM_XVIRTUALSCREEN: case SM_YVIRTUALSCREEN: case SM_CXVIRTUALSCREEN: case SM_CYVIRTUALSCREEN:
    case SM_CXFULLSCREEN: case SM_CYFULLSCREEN: case SM_CXMAXIMIZED: case SM_CYMAXIMIZED:
    case SM_CXMAXTRACK: case SM_CYMAXTRACK: {
      {
        platform::Settings& s = platform::S();
        std::lock_guard<std::mutex> guard(s.lock);
        auto it = s.metric_overrides.find(index);
        if (it != s.metric_overrides.end()) return it->second;
      }
      std::vector<platform::MonitorEntry> list = platform::Monitors();
      if (list.empty()) return 0;
      RECT virt = list[0].rect;
      for (const auto& e : list) UnionRect(&virt, &virt, &e.rect);
      const RECT& primary = list[0].rect;
      const RECT& work = list[0].work;
      int frame = 2 * platform::FixedMetric(SM_CXFRAME);
      switch (index) {
        case SM_CXSCREEN: return platform::Width(primary);
        case SM_CYSCREEN: return platform::Height(primary);
        case SM_CMONITORS: return static_cast<int>(list.size());
        case SM_XVIRTUALSCREEN: return virt.left;
        case SM_YVIRTUALSCREEN: return virt.top;
        case SM_CXVIRTUALSCREEN: return platform::Width(virt);
        case SM_CYVIRTUALSCREEN: return platform::Height(virt);
        case SM_CXFULLSCREEN: return platform::Width(work);
        case SM_CYFULLSCREEN: return platform::Height(work) - platform::FixedMetric(SM_CYCAPTION);
        case SM_CXMAXIMIZED: return platform::Width(work) + frame;
        case SM_CYMAXIMIZED: return platform::Height(work) + frame;
        case SM_CXMAXTRACK: return platform::Width(virt) + frame;
        default: return platform::Height(virt) + frame;  // SM_CYMAXTRACK
      }
    }
    default:
      return platform::FixedMetric(index);
  }
}

namespace platform {
inline namespace window_model {

// The UI font of the non-client metrics.
LOGFONTW UiFont() {
  {
    Settings& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.has_ui_font) return s.ui_font;
  }
  LOGFONTW font{};
  bool modern = CurrentSystemModel().major >= 6;
  font.lfHeight = modern ? -12 : -11;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  const char16_t* face = modern ? u"Segoe UI" : u"Tahoma";
  for (int i = 0; face[i] && i < 31; ++i) font.lfFaceName[i] = face[i];
  return font;
}

bool AnswerBool(LPVOID out, BOOL value) {
  if (!out) return false;
  *static_cast<BOOL*>(out) = value;
  return true;
}

}  // namespace window_model
}  // namespace platform

BOOL SystemParametersInfoW(UINT action, UINT ui_param, LPVOID pv_param, UINT win_ini) {
  bool ok = false;
  switch (action) {
    case SPI_GETWORKAREA:
      if (pv_param) {
        *static_cast<RECT*>(pv_param) = platform::PrimaryWork();
        ok = true;
      }
      break;
    case SPI_SETWORKAREA:
      if (pv_param) {
        platform::SetWorkArea(0, *static_cast<const RECT*>(pv_param));
        ok = true;
      }
      break;
    case SPI_GETNONCLIENTMETRICS: {
      auto* ncm = static_cast<NONCLIENTMETRICSW*>(pv_param);
      const UINT full = sizeof(NONCLIENTMETRICSW);
      const UINT old = offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth);
      bool modern = platform::CurrentSystemModel().major >= 6;
      if (!ncm || (ncm->cbSize != old && !(modern && ncm->cbSize == full)) ||
          (ui_param != 0 && ui_param != ncm->cbSize))
        break;
      UINT size = ncm->cbSize;
      LOGFONTW font = platform::UiFont();
      NONCLIENTMETRICSW out{};
      out.cbSize = size;
      out.iBorderWidth = GetSystemMetrics(SM_CXFRAME);
      out.iScrollWidth = GetSystemMetrics(SM_CXVSCROLL);
      out.iScrollHeight = GetSystemMetrics(SM_CYHSCROLL);
      out.iCaptionWidth = GetSystemMetrics(SM_CXSIZE);
      out.iCaptionHeight = GetSystemMetrics(SM_CYSIZE);
      out.lfCaptionFont = font;
      out.iSmCaptionWidth = GetSystemMetrics(SM_CXSMSIZE);
      out.iSmCaptionHeight = GetSystemMetrics(SM_CYSMSIZE);
      out.lfSmCaptionFont = font;
      out.iMenuWidth = GetSystemMetrics(SM_CXMENUSIZE);
      out.iMenuHeight = GetSystemMetrics(SM_CYMENUSIZE);
      out.lfMenuFont = font;
      out.lfStatusFont = font;
      out.lfMessageFont = font;
      out.iPaddedBorderWidth = 0;
      std::memcpy(ncm, &out, size);
      ok = true;
      break;
    }
    case SPI_GETICONTITLELOGFONT:
      if (pv_param && (ui_param == 0 || ui_param == sizeof(LOGFONTW))) {
        *static_cast<LOGFONTW*>(pv_param) = platform::UiFont();
        ok = true;
      }
      break;
    case SPI_GETHIGHCONTRAST: {
      auto* hc = static_cast<HIGHCONTRASTW*>(pv_param);
      if (hc && hc->cbSize == sizeof(HIGHCONTRASTW)) {
        hc->dwFlags = 0;
        hc->lpszDefaultScheme = nullptr;
        ok = true;
      }
      break;
    }
    case SPI_GETWHEELSCROLLLINES:
      if (pv_param) {
        *static_cast<UINT*>(pv_param) = 3;
        ok = true;
      }
      break;
    case SPI_GETFONTSMOOTHING:
    case SPI_GETGRADIENTCAPTIONS:
      ok = platform::AnswerBool(pv_param, TRUE);
      break;
    case SPI_GETMENUDROPALIGNMENT:
    case SPI_GETSCREENREADER:
    case SPI_GETKEYBOARDCUES:
    case SPI_GETFLATMENU:
    case SPI_GETDROPSHADOW:
      ok = platform::AnswerBool(pv_param, FALSE);
      break;
    default:
      break;
  }
  if (!ok) SetLastError(ERROR_INVALID_PARAMETER);
  return ok ? TRUE : FALSE;
}
