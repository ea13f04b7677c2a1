// The stand-in visual-styles module.
#include "tests/shellui/UxThemeStandIn.h"

#include <cstring>
#include <type_traits>

namespace uxtheme_standin {
namespace {

struct State {
  Options options;
  std::vector<Call> calls;
  int open = 0;
  long long last_set = -1;
};

State& S() {
  static State* state = new State;
  return *state;
}

// A theme handle points at the cell of its class.
char g_class_cells[WUXPTHEME_COUNT];

int ControlOf(HTHEME theme) {
  auto* cell = static_cast<char*>(theme);
  if (cell < g_class_cells || cell >= g_class_cells + WUXPTHEME_COUNT) return -1;
  return static_cast<int>(cell - g_class_cells);
}

void Record(const char* name, HTHEME theme = nullptr, int part = 0, int state = 0) {
  S().calls.push_back(Call{name, theme ? ControlOf(theme) : -1, part, state});
}

void FillIn(HDC dc, const RECT* rect, COLORREF color) {
  if (!rect) return;
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, rect, brush);
  DeleteObject(brush);
}

// Entry points the layer never calls: recorded, answering 0.
template <int Index, typename F>
struct Stub;
template <int Index, typename R, typename... A>
struct Stub<Index, R (*)(A...)> {
  static R Call(A...) {
    Record(kXPThemeEntryNames[Index]);
    if constexpr (!std::is_void_v<R>) return R{};
  }
};

HTHEME OpenThemeData(HWND, LPCWSTR name) {
  Record("OpenThemeData");
  for (int i = 0; i < WUXPTHEME_COUNT; ++i) {
    if (name && std::u16string(name) == XPTheme_ClassName(i)) {
      if (i == S().options.refused_class) return nullptr;
      ++S().open;
      S().calls.back().control = i;
      return &g_class_cells[i];
    }
  }
  return nullptr;
}

HRESULT CloseThemeData(HTHEME theme) {
  Record("CloseThemeData", theme);
  if (ControlOf(theme) < 0) return E_INVALIDARG;
  --S().open;
  return S_OK;
}

HRESULT DrawThemeBackground(HTHEME theme, HDC dc, int part, int state, const RECT* rect,
                            const RECT*) {
  Record("DrawThemeBackground", theme, part, state);
  FillIn(dc, rect, BackgroundColor(ControlOf(theme), part, state));
  return S_OK;
}

HRESULT DrawThemeText(HTHEME theme, HDC dc, int part, int state, LPCWSTR, int, DWORD, DWORD,
                      const RECT* rect) {
  Record("DrawThemeText", theme, part, state);
  FillIn(dc, rect, TextColor(ControlOf(theme), part, state));
  return S_OK;
}

// Content 2 pixels inside the bounds, extent 2 outside the content.
HRESULT GetThemeBackgroundContentRect(HTHEME theme, HDC, int part, int state, const RECT* b,
                                      RECT* out) {
  Record("GetThemeBackgroundContentRect", theme, part, state);
  *out = RECT{b->left + 2, b->top + 2, b->right - 2, b->bottom - 2};
  return S_OK;
}

HRESULT GetThemeBackgroundExtent(HTHEME theme, HDC, int part, int state, const RECT* c,
                                 RECT* out) {
  Record("GetThemeBackgroundExtent", theme, part, state);
  *out = RECT{c->left - 2, c->top - 2, c->right + 2, c->bottom + 2};
  return S_OK;
}

// 7 x 13 pixels a character.
HRESULT GetThemeTextExtent(HTHEME theme, HDC, int part, int state, LPCWSTR, int count, DWORD,
                           const RECT*, RECT* out) {
  Record("GetThemeTextExtent", theme, part, state);
  *out = RECT{0, 0, 7 * count, 13};
  return S_OK;
}

HRESULT DrawThemeIcon(HTHEME theme, HDC, int part, int state, const RECT*, HIMAGELIST, int) {
  Record("DrawThemeIcon", theme, part, state);
  return S_OK;
}

BOOL IsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int state) {
  Record("IsThemeBackgroundPartiallyTransparent", theme, part, state);
  return TRUE;
}

HRESULT GetThemeFont(HTHEME theme, HDC, int part, int state, int, LOGFONTW* font) {
  Record("GetThemeFont", theme, part, state);
  *font = LOGFONTW{};
  std::memcpy(font->lfFaceName, u"StandIn", sizeof(u"StandIn"));
  return S_OK;
}

BOOL IsThemeActive() {
  Record("IsThemeActive");
  return S().options.theme_active;
}

DWORD GetThemeAppProperties() {
  Record("GetThemeAppProperties");
  return S().options.app_properties;
}

void SetThemeAppProperties(DWORD flags) {
  Record("SetThemeAppProperties");
  S().options.app_properties = flags;
  S().last_set = flags;
}

// The table: the real ones above, stubs for the rest.
template <int I, typename F>
void* Entry(F real) {
  return real ? reinterpret_cast<void*>(real) : reinterpret_cast<void*>(&Stub<I, F>::Call);
}

}  // namespace

StandIn::StandIn(const Options& options) {
  S() = State{};
  S().options = options;
  platform::ExportEntry table[XPTHEME_ENTRY_COUNT] = {
      {"", Entry<0>(&OpenThemeData)},
      {"", Entry<1>(&CloseThemeData)},
      {"", Entry<2>(&DrawThemeBackground)},
      {"", Entry<3>(&DrawThemeText)},
      {"", Entry<4>(&GetThemeBackgroundContentRect)},
      {"", Entry<5>(&GetThemeBackgroundExtent)},
      {"", Entry<6>(PFN_GetThemePartSize{})},
      {"", Entry<7>(&GetThemeTextExtent)},
      {"", Entry<8>(PFN_GetThemeTextMetrics{})},
      {"", Entry<9>(PFN_GetThemeBackgroundRegion{})},
      {"", Entry<10>(PFN_HitTestThemeBackground{})},
      {"", Entry<11>(PFN_DrawThemeEdge{})},
      {"", Entry<12>(&DrawThemeIcon)},
      {"", Entry<13>(PFN_IsThemePartDefined{})},
      {"", Entry<14>(&IsThemeBackgroundPartiallyTransparent)},
      {"", Entry<15>(PFN_GetThemeColor{})},
      {"", Entry<16>(PFN_GetThemeMetric{})},
      {"", Entry<17>(PFN_GetThemeMargins{})},
      {"", Entry<18>(PFN_GetThemeString{})},
      {"", Entry<19>(PFN_GetThemeBool{})},
      {"", Entry<20>(PFN_GetThemeInt{})},
      {"", Entry<21>(PFN_GetThemeEnumValue{})},
      {"", Entry<22>(PFN_GetThemePosition{})},
      {"", Entry<23>(&GetThemeFont)},
      {"", Entry<24>(PFN_GetThemeRect{})},
      {"", Entry<25>(PFN_GetThemeIntList{})},
      {"", Entry<26>(PFN_GetThemePropertyOrigin{})},
      {"", Entry<27>(PFN_SetWindowTheme{})},
      {"", Entry<28>(PFN_GetThemeFilename{})},
      {"", Entry<29>(PFN_GetThemeSysColor{})},
      {"", Entry<30>(PFN_GetThemeSysColorBrush{})},
      {"", Entry<31>(PFN_GetThemeSysBool{})},
      {"", Entry<32>(PFN_GetThemeSysSize{})},
      {"", Entry<33>(PFN_GetThemeSysFont{})},
      {"", Entry<34>(PFN_GetThemeSysString{})},
      {"", Entry<35>(PFN_GetThemeSysInt{})},
      {"", Entry<36>(&IsThemeActive)},
      {"", Entry<37>(PFN_IsAppThemed{})},
      {"", Entry<38>(PFN_GetWindowTheme{})},
      {"", Entry<39>(PFN_EnableThemeDialogTexture{})},
      {"", Entry<40>(PFN_IsThemeDialogTextureEnabled{})},
      {"", Entry<41>(&GetThemeAppProperties)},
      {"", Entry<42>(&SetThemeAppProperties)},
      {"", Entry<43>(PFN_GetCurrentThemeName{})},
      {"", Entry<44>(PFN_GetThemeDocumentationProperty{})},
      {"", Entry<45>(PFN_DrawThemeParentBackground{})},
      {"", Entry<46>(PFN_EnableTheming{})},
  };
  for (int i = 0; i < XPTHEME_ENTRY_COUNT; ++i) table[i].name = kXPThemeEntryNames[i];
  // The variant without "EnableTheming" leaves out the last row.
  int count = options.enable_theming ? XPTHEME_ENTRY_COUNT : XPTHEME_ENTRY_COUNT - 1;
  module_ = platform::CreateExportModule(u"UxTheme.dll", table, count);
}

StandIn::~StandIn() {
  if (module_) FreeLibrary(module_);
}

void StandIn::SetThemeActive(BOOL active) { S().options.theme_active = active; }
void StandIn::SetAppProperties(DWORD properties) { S().options.app_properties = properties; }

const std::vector<Call>& Calls() { return S().calls; }
void ClearCalls() { S().calls.clear(); }

std::vector<Call> CallsOf(const std::string& name) {
  std::vector<Call> out;
  for (const Call& c : S().calls)
    if (c.name == name) out.push_back(c);
  return out;
}

int OpenThemeCount() { return S().open; }
long long LastSetAppProperties() { return S().last_set; }

COLORREF BackgroundColor(int control, int part, int state) {
  return RGB(static_cast<BYTE>(16 + control * 12), static_cast<BYTE>(part * 24),
             static_cast<BYTE>(state * 12));
}

COLORREF TextColor(int control, int part, int state) {
  return RGB(static_cast<BYTE>(16 + control * 12), static_cast<BYTE>(part * 24),
             static_cast<BYTE>(255 - state * 12));
}

}  // namespace uxtheme_standin
