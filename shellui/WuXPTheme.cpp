// The theme layer: binding, theme handles and the routing of themed drawing.
#include "shellui/WuXPTheme.h"

#include <cstddef>
#include <cstring>

#include "foundation/WuSystem.h"
#include "shellui/CWuThemeControl.h"

const char* const kXPThemeEntryNames[XPTHEME_ENTRY_COUNT] = {
    "OpenThemeData",
    "CloseThemeData",
    "DrawThemeBackground",
    "DrawThemeText",
    "GetThemeBackgroundContentRect",
    "GetThemeBackgroundExtent",
    "GetThemePartSize",
    "GetThemeTextExtent",
    "GetThemeTextMetrics",
    "GetThemeBackgroundRegion",
    "HitTestThemeBackground",
    "DrawThemeEdge",
    "DrawThemeIcon",
    "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent",
    "GetThemeColor",
    "GetThemeMetric",
    "GetThemeMargins",
    "GetThemeString",
    "GetThemeBool",
    "GetThemeInt",
    "GetThemeEnumValue",
    "GetThemePosition",
    "GetThemeFont",
    "GetThemeRect",
    "GetThemeIntList",
    "GetThemePropertyOrigin",
    "SetWindowTheme",
    "GetThemeFilename",
    "GetThemeSysColor",
    "GetThemeSysColorBrush",
    "GetThemeSysBool",
    "GetThemeSysSize",
    "GetThemeSysFont",
    "GetThemeSysString",
    "GetThemeSysInt",
    "IsThemeActive",
    "IsAppThemed",
    "GetWindowTheme",
    "EnableThemeDialogTexture",
    "IsThemeDialogTextureEnabled",
    "GetThemeAppProperties",
    "SetThemeAppProperties",
    "GetCurrentThemeName",
    "GetThemeDocumentationProperty",
    "DrawThemeParentBackground",
    "EnableTheming",
};

namespace {

// The entry points lie in the record one after another, in resolving order.
static_assert(offsetof(tXPTHEME, EnableTheming) - offsetof(tXPTHEME, OpenThemeData) ==
              (XPTHEME_ENTRY_COUNT - 1) * sizeof(void*));

const char16_t* const kClassNames[WUXPTHEME_COUNT] = {
    u"Window",   u"Button",  u"Rebar",   u"Toolbar",   u"Status",     u"ListView",
    u"Header",   u"Progress", u"Tab",    u"Trackbar",  u"Tooltip",    u"TreeView",
    u"Spin",     u"Scrollbar", u"Edit",  u"ComboBox",  u"ExplorerBar",
};

tXPTHEME g_record;                  // the library's own record
tXPTHEME* g_default = nullptr;      // the default binding

void Zero(tXPTHEME* record) { std::memset(static_cast<void*>(record), 0, sizeof(*record)); }

bool ValidControl(int control) { return control >= 0 && control < WUXPTHEME_COUNT; }

// The open theme of a class when the record draws themed, else null.
HTHEME ThemedHandle(const tXPTHEME* record, int control) {
  if (!record->themed || !record->enabled || !ValidControl(control)) return nullptr;
  return record->handles[control];
}

// Scroll-bar arrow hover states 17..20 (up, down, left, right) as the
// normal states 1, 5, 9, 13.
int PlainArrowState(int control, int part, int state) {
  if (control == WUXPTHEME_SCROLLBAR && part == SBP_ARROWBTN && state >= 17 && state <= 20)
    return (state - 17) * 4 + 1;
  return state;
}

// The state a themed call passes on: visual styles know the hover states
// from Windows Vista on.
int ThemedState(int control, int part, int state) {
  if (WuOSVersionOK(7, 0)) return state;
  return PlainArrowState(control, part, state);
}

void CloseHandles(tXPTHEME* record) {
  for (HTHEME& handle : record->handles) {
    if (handle && record->CloseThemeData) record->CloseThemeData(handle);
    handle = nullptr;
  }
}

void OpenHandles(tXPTHEME* record, HWND window) {
  for (int i = 0; i < WUXPTHEME_COUNT; ++i)
    record->handles[i] = record->OpenThemeData(window, kClassNames[i]);
}

}  // namespace

LPCWSTR XPTheme_ClassName(int control) {
  return ValidControl(control) ? kClassNames[control] : nullptr;
}

tXPTHEME* XPTheme_Record() { return &g_record; }

int XPTheme_Default(int enabled) {
  Zero(&g_record);
  g_record.enabled = enabled;
  g_default = nullptr;
  return enabled;
}

tXPTHEME* XPTheme_GetDefault() { return g_default; }

HRESULT XPTheme_Initialize(tXPTHEME* record, HWND window, BOOL follow_system) {
  if (!record) return E_INVALIDARG;
  int32_t preference = record->enabled;
  Zero(record);
  HMODULE module = LoadLibraryW(u"UxTheme.dll");
  if (!module) return S_FALSE;
  record->module = module;
  auto* entries = reinterpret_cast<unsigned char*>(&record->OpenThemeData);
  for (int i = 0; i < XPTHEME_ENTRY_COUNT; ++i) {
    FARPROC entry = GetProcAddress(module, kXPThemeEntryNames[i]);
    if (!entry) {
      // A record with some entry points and a loaded module would later
      // call through the missing ones: release it whatever the binding.
      FreeLibrary(module);
      Zero(record);
      g_default = nullptr;
      return E_UNEXPECTED;
    }
    std::memcpy(entries + static_cast<size_t>(i) * sizeof(entry), &entry, sizeof(entry));
  }
  DWORD properties = record->GetThemeAppProperties();
  if (follow_system) {
    record->enabled = properties != 0;
    record->themed = record->IsThemeActive() && (properties & STAP_ALLOW_CONTROLS);
  } else {
    record->enabled = preference;
    if (preference == 0) {
      record->SetThemeAppProperties(0);
    } else if (record->IsThemeActive()) {
      record->SetThemeAppProperties(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS |
                                    STAP_ALLOW_WEBCONTENT);
      record->themed = 1;
    }
  }
  if (record->themed) OpenHandles(record, window);
  g_default = record;
  return S_OK;
}

void XPTheme_Cleanup(tXPTHEME* record) {
  if (!g_default || !record) return;
  if (record->module) {
    CloseHandles(record);
    FreeLibrary(record->module);
  }
  Zero(record);
}

LRESULT XPTheme_Handle_WM_THEMECHANGED(tXPTHEME* record, HWND window) {
  if (!record) record = g_default;
  if (!record) return 0;
  CloseHandles(record);
  record->themed = 0;
  if (record->module && record->IsThemeActive() &&
      (record->GetThemeAppProperties() & STAP_ALLOW_CONTROLS)) {
    OpenHandles(record, window);
    record->themed = 1;
  }
  return 0;
}

BOOL XPTheme_DrawFrameControl(HDC dc, RECT* rect, UINT flags) {
  if (!rect) return FALSE;
  HTHEME button = g_default ? ThemedHandle(g_default, WUXPTHEME_BUTTON) : nullptr;
  if (!button) return DrawFrameControl(dc, rect, DFC_BUTTON, flags);
  int part = (flags & DFCS_BUTTONRADIO) ? BP_RADIOBUTTON : BP_CHECKBOX;
  int state;
  if (!(flags & DFCS_INACTIVE))
    state = static_cast<int>((flags >> 9) & 3) * 2 + 1;
  else
    state = (flags & DFCS_CHECKED) ? 8 : 4;
  return SUCCEEDED(g_default->DrawThemeBackground(button, dc, part, state, rect, nullptr));
}

// ---- Themed drawing -----------------------------------------------------------------------

HRESULT tXPTHEME::WuDrawThemeBackground(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                        const RECT* rect, const RECT* clip) {
  if (HTHEME theme = ThemedHandle(this, control)) {
    // The sort arrow is always the library's own.
    if (control == WUXPTHEME_HEADER && part == HP_HEADERSORTARROW)
      return CWuHeaderThemeControl::PaintSortArrow(dc, state, rect);
    return DrawThemeBackground(theme, dc, part, ThemedState(control, part, state), rect, clip);
  }
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) return E_INVALIDARG;
  return painter->PaintBackground(dc, part, PlainArrowState(control, part, state), rect, clip);
}

HRESULT tXPTHEME::WuDrawThemeText(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                  LPCWSTR text, int count, DWORD flags, DWORD flags2,
                                  const RECT* rect) {
  if (HTHEME theme = ThemedHandle(this, control))
    return DrawThemeText(theme, dc, part, ThemedState(control, part, state), text, count, flags,
                         flags2, rect);
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) return E_INVALIDARG;
  return painter->PaintText(dc, part, PlainArrowState(control, part, state), text, count, flags,
                            flags2, rect);
}

HRESULT tXPTHEME::WuDrawThemeIcon(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                  const RECT* rect, HIMAGELIST list, int index) {
  if (HTHEME theme = ThemedHandle(this, control))
    return DrawThemeIcon(theme, dc, part, ThemedState(control, part, state), rect, list, index);
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) return E_INVALIDARG;
  return painter->PaintIcon(dc, part, PlainArrowState(control, part, state), rect, list, index);
}

HRESULT tXPTHEME::WuGetThemeBackgroundContentRect(WUXPTHEME_CONTROL control, HDC dc, int part,
                                                  int state, const RECT* bounds,
                                                  RECT* content) {
  if (HTHEME theme = ThemedHandle(this, control))
    return GetThemeBackgroundContentRect(theme, dc, part, ThemedState(control, part, state),
                                         bounds, content);
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) {
    if (bounds && content) *content = *bounds;
    return E_INVALIDARG;
  }
  return painter->ContentRect(dc, part, PlainArrowState(control, part, state), bounds, content);
}

HRESULT tXPTHEME::WuGetThemeBackgroundExtentRect(WUXPTHEME_CONTROL control, HDC dc, int part,
                                                 int state, const RECT* content,
                                                 RECT* extent) {
  if (HTHEME theme = ThemedHandle(this, control))
    return GetThemeBackgroundExtent(theme, dc, part, ThemedState(control, part, state), content,
                                    extent);
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) {
    if (content && extent) *extent = *content;
    return E_INVALIDARG;
  }
  return painter->ExtentRect(dc, part, PlainArrowState(control, part, state), content, extent);
}

BOOL tXPTHEME::WuIsThemeBackgroundPartiallyTransparent(WUXPTHEME_CONTROL control, int part,
                                                       int state) {
  if (HTHEME theme = ThemedHandle(this, control))
    return IsThemeBackgroundPartiallyTransparent(theme, part, ThemedState(control, part, state));
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) return FALSE;
  return painter->IsPartiallyTransparent(part, PlainArrowState(control, part, state));
}

HRESULT tXPTHEME::WuGetThemeTextExtent(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                       LPCWSTR text, int count, DWORD flags,
                                       const RECT* bounding, RECT* extent) {
  if (HTHEME theme = ThemedHandle(this, control))
    return GetThemeTextExtent(theme, dc, part, ThemedState(control, part, state), text, count,
                              flags, bounding, extent);
  CWuThemeControl* painter = WuThemePainter(control);
  if (!painter) return E_INVALIDARG;
  return painter->TextExtent(dc, part, PlainArrowState(control, part, state), text, count, flags,
                             bounding, extent);
}

HRESULT tXPTHEME::WuGetThemeFont(WUXPTHEME_CONTROL control, HDC dc, int part, int state,
                                 int prop, LOGFONTW* font) {
  if (HTHEME theme = ThemedHandle(this, control))
    return GetThemeFont(theme, dc, part, ThemedState(control, part, state), prop, font);
  return E_NOTIMPL;
}
