// The theme layer: binding to a stand-in visual-styles module, routing to
// it or to the classic painters, handle lifetime and failed bindings.
#include "shellui/WuXPTheme.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/kernel/cpu.h"
#include "shellui/CWuThemeControl.h"
#include "tests/shellui/TestCanvas.h"
#include "tests/shellui/UxThemeStandIn.h"

namespace {

using uxtheme_standin::CallsOf;
using uxtheme_standin::StandIn;
using wutest::Canvas;

constexpr RECT kRect{4, 4, 24, 20};

bool AllZero(const tXPTHEME& record) {
  tXPTHEME zero;
  std::memset(static_cast<void*>(&zero), 0, sizeof(zero));
  return std::memcmp(&record, &zero, sizeof(zero)) == 0;
}

class ThemeLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    XPTheme_Default(1);
    modules_ = platform::LoadedModuleCount();
  }
  void TearDown() override {
    XPTheme_Cleanup(XPTheme_GetDefault());
    XPTheme_Default(0);
    standin_.reset();
    platform::ResetSystemModel();
    EXPECT_EQ(GetModuleHandleW(u"UxTheme.dll"), nullptr);
    EXPECT_EQ(platform::LoadedModuleCount(), modules_);
  }
  // Binds the library's record with the given preference over a stand-in.
  tXPTHEME* Bind(int preference, const uxtheme_standin::Options& options = {},
                 BOOL follow_system = FALSE) {
    standin_ = std::make_unique<StandIn>(options);
    XPTheme_Default(preference);
    tXPTHEME* t = XPTheme_Record();
    EXPECT_EQ(XPTheme_Initialize(t, nullptr, follow_system), S_OK);
    EXPECT_EQ(XPTheme_GetDefault(), t);
    return t;
  }
  std::unique_ptr<StandIn> standin_;
  size_t modules_ = 0;
};

TEST_F(ThemeLayer, WithoutTheModuleEverythingIsClassic) {
  tXPTHEME* t = XPTheme_Record();
  EXPECT_EQ(XPTheme_Initialize(t, nullptr, FALSE), S_FALSE);
  EXPECT_EQ(XPTheme_GetDefault(), nullptr);
  EXPECT_TRUE(AllZero(*t));
  EXPECT_EQ(XPTheme_Initialize(nullptr, nullptr, FALSE), E_INVALIDARG);
  Canvas routed, direct;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_BUTTON, routed.dc(), 3, 5, &kRect, nullptr), S_OK);
  WuThemePainter(WUXPTHEME_BUTTON)->PaintBackground(direct.dc(), 3, 5, &kRect, nullptr);
  EXPECT_FALSE(direct.Blank());
  EXPECT_TRUE(routed.SameAs(direct));
}

TEST_F(ThemeLayer, PreferenceZeroTurnsThemingOffAndDrawsClassically) {
  tXPTHEME* t = Bind(0);
  EXPECT_EQ(uxtheme_standin::LastSetAppProperties(), 0);
  EXPECT_EQ(t->themed, 0);
  EXPECT_EQ(t->enabled, 0);
  EXPECT_TRUE(CallsOf("OpenThemeData").empty());
  Canvas routed, direct;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_BUTTON, routed.dc(), 3, 5, &kRect, nullptr), S_OK);
  WuThemePainter(WUXPTHEME_BUTTON)->PaintBackground(direct.dc(), 3, 5, &kRect, nullptr);
  EXPECT_TRUE(routed.SameAs(direct));
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());
  // A theme change while the application asks for no theming keeps it classic.
  XPTheme_Handle_WM_THEMECHANGED(nullptr, nullptr);
  EXPECT_EQ(t->themed, 0);
}

TEST_F(ThemeLayer, ThemedCallsReachTheModuleWithTheClassHandle) {
  tXPTHEME* t = Bind(1);
  EXPECT_EQ(uxtheme_standin::LastSetAppProperties(), 7);
  EXPECT_EQ(t->themed, 1);
  // The 17 classes are opened in order.
  auto opened = CallsOf("OpenThemeData");
  ASSERT_EQ(opened.size(), 17u);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(opened[static_cast<size_t>(i)].control, i);
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 17);

  Canvas c;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_BUTTON, c.dc(), 3, 5, &kRect, nullptr), S_OK);
  EXPECT_EQ(c.At(10, 10), uxtheme_standin::BackgroundColor(1, 3, 5));
  EXPECT_EQ(t->WuDrawThemeText(WUXPTHEME_TAB, c.dc(), 2, 3, u"x", -1, 0, 0, &kRect), S_OK);
  EXPECT_EQ(c.At(10, 10), uxtheme_standin::TextColor(8, 2, 3));
  RECT out{};
  EXPECT_EQ(t->WuGetThemeBackgroundContentRect(WUXPTHEME_EDIT, c.dc(), 1, 1, &kRect, &out), S_OK);
  EXPECT_EQ(out.left, 6);
  EXPECT_EQ(t->WuGetThemeBackgroundExtentRect(WUXPTHEME_EDIT, c.dc(), 1, 1, &kRect, &out), S_OK);
  EXPECT_EQ(out.left, 2);
  EXPECT_EQ(t->WuGetThemeTextExtent(WUXPTHEME_EDIT, c.dc(), 1, 1, u"abc", 3, 0, nullptr, &out),
            S_OK);
  EXPECT_EQ(out.right, 21);
  EXPECT_TRUE(t->WuIsThemeBackgroundPartiallyTransparent(WUXPTHEME_WINDOW, 1, 1));
  EXPECT_EQ(t->WuDrawThemeIcon(WUXPTHEME_WINDOW, c.dc(), 1, 1, &kRect, nullptr, 0), S_OK);
  LOGFONTW font{};
  EXPECT_EQ(t->WuGetThemeFont(WUXPTHEME_STATUS, c.dc(), 1, 1, 210, &font), S_OK);
  EXPECT_EQ(std::u16string(font.lfFaceName), u"StandIn");
  for (const char* name : {"DrawThemeText", "GetThemeBackgroundContentRect",
                           "GetThemeBackgroundExtent", "GetThemeTextExtent", "DrawThemeIcon",
                           "IsThemeBackgroundPartiallyTransparent", "GetThemeFont"})
    EXPECT_EQ(CallsOf(name).size(), 1u) << name;
}

TEST_F(ThemeLayer, FollowingTheSystemReadsItsSettings) {
  struct Case {
    BOOL active;
    DWORD properties;
    int enabled;
    int themed;
  } cases[] = {{TRUE, 7, 1, 1}, {TRUE, 2, 1, 1}, {TRUE, 1, 1, 0}, {FALSE, 7, 1, 0},
               {TRUE, 0, 0, 0}};
  for (const Case& k : cases) {
    uxtheme_standin::Options o;
    o.theme_active = k.active;
    o.app_properties = k.properties;
    tXPTHEME* t = Bind(0, o, TRUE);
    EXPECT_EQ(t->enabled, k.enabled) << k.active << " " << k.properties;
    EXPECT_EQ(t->themed, k.themed) << k.active << " " << k.properties;
    EXPECT_EQ(uxtheme_standin::LastSetAppProperties(), -1);
    EXPECT_EQ(uxtheme_standin::OpenThemeCount(), k.themed ? 17 : 0);
    XPTheme_Cleanup(t);
    EXPECT_TRUE(AllZero(*t));
    EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 0);
    standin_.reset();
    EXPECT_EQ(GetModuleHandleW(u"UxTheme.dll"), nullptr);
  }
}

TEST_F(ThemeLayer, MissingEntryPointReleasesTheModuleAndLeavesNothingBound) {
  uxtheme_standin::Options without;
  without.enable_theming = false;
  // First with no binding yet, then with one: the outcome is the same.
  for (bool bound_before : {false, true}) {
    std::unique_ptr<StandIn> good;
    tXPTHEME earlier;
    std::memset(static_cast<void*>(&earlier), 0, sizeof(earlier));
    if (bound_before) {
      good = std::make_unique<StandIn>();
      earlier.enabled = 1;
      ASSERT_EQ(XPTheme_Initialize(&earlier, nullptr, FALSE), S_OK);
      XPTheme_Cleanup(&earlier);
      good.reset();
    }
    standin_ = std::make_unique<StandIn>(without);
    tXPTHEME record;
    std::memset(static_cast<void*>(&record), 0, sizeof(record));
    record.enabled = 1;
    EXPECT_EQ(XPTheme_Initialize(&record, nullptr, FALSE), E_UNEXPECTED);
    EXPECT_EQ(XPTheme_GetDefault(), nullptr);
    EXPECT_TRUE(AllZero(record));
    uxtheme_standin::ClearCalls();
    // A later theme change on that record calls nothing.
    EXPECT_EQ(XPTheme_Handle_WM_THEMECHANGED(&record, nullptr), 0);
    EXPECT_EQ(XPTheme_Handle_WM_THEMECHANGED(nullptr, nullptr), 0);
    EXPECT_TRUE(uxtheme_standin::Calls().empty());
    EXPECT_TRUE(AllZero(record));
    // The layer's reference is gone: dropping the test's removes the module.
    standin_.reset();
    EXPECT_EQ(GetModuleHandleW(u"UxTheme.dll"), nullptr) << bound_before;
  }
}

TEST_F(ThemeLayer, ScrollArrowHoverStatesByPathAndSystem) {
  struct Case {
    DWORD major, minor;
    int seen;
  } cases[] = {{5, 1, 5}, {6, 0, 18}, {6, 1, 18}};
  for (const Case& k : cases) {
    platform::SystemModel model;
    model.major = k.major;
    model.minor = k.minor;
    platform::SetSystemModel(model);
    tXPTHEME* t = Bind(1);
    Canvas c;
    EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_SCROLLBAR, c.dc(), 1, 18, &kRect, nullptr), S_OK);
    auto calls = CallsOf("DrawThemeBackground");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].state, k.seen) << k.major << "." << k.minor;
    // Other parts and classes keep their state.
    t->WuDrawThemeBackground(WUXPTHEME_SCROLLBAR, c.dc(), 2, 18, &kRect, nullptr);
    t->WuDrawThemeBackground(WUXPTHEME_SPIN, c.dc(), 1, 18, &kRect, nullptr);
    calls = CallsOf("DrawThemeBackground");
    EXPECT_EQ(calls[1].state, 18);
    EXPECT_EQ(calls[2].state, 18);
    XPTheme_Cleanup(t);
    standin_.reset();
  }
  // Classic: the down-arrow hover state draws as the plain down arrow, on
  // every system.
  XPTheme_Default(1);
  tXPTHEME* t = XPTheme_Record();
  Canvas hover, plain, up;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_SCROLLBAR, hover.dc(), 1, 18, &kRect, nullptr),
            S_OK);
  WuThemePainter(WUXPTHEME_SCROLLBAR)->PaintBackground(plain.dc(), 1, 5, &kRect, nullptr);
  WuThemePainter(WUXPTHEME_SCROLLBAR)->PaintBackground(up.dc(), 1, 1, &kRect, nullptr);
  EXPECT_TRUE(hover.SameAs(plain));
  EXPECT_FALSE(hover.SameAs(up));
}

TEST_F(ThemeLayer, SortArrowIsTheLibrarysOwnEvenWhenThemed) {
  tXPTHEME* t = Bind(1);
  Canvas themed, ours;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_HEADER, themed.dc(), 4, 2, &kRect, nullptr), S_OK);
  CWuHeaderThemeControl::PaintSortArrow(ours.dc(), 2, &kRect);
  EXPECT_TRUE(themed.SameAs(ours));
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_HEADER, themed.dc(), 4, 3, &kRect, nullptr),
            E_INVALIDARG);
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());
  // Other header parts are themed.
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_HEADER, themed.dc(), 1, 1, &kRect, nullptr), S_OK);
  EXPECT_EQ(CallsOf("DrawThemeBackground").size(), 1u);
}

TEST_F(ThemeLayer, NeitherHandleNorPainterGivesTheNothingResults) {
  // Unbound, a class without painter and values outside 0..16; bound, a
  // class whose theme did not open and that has no painter.
  uxtheme_standin::Options o;
  o.refused_class = WUXPTHEME_REBAR;
  for (bool themed : {false, true}) {
    tXPTHEME* t = themed ? Bind(1, o) : XPTheme_Record();
    for (int control : {int{WUXPTHEME_WINDOW}, 17, -1, 1000, int{WUXPTHEME_REBAR}}) {
      if (themed && control != WUXPTHEME_REBAR) continue;
      auto c = static_cast<WUXPTHEME_CONTROL>(control);
      Canvas canvas;
      HDC dc = canvas.dc();
      EXPECT_EQ(t->WuDrawThemeBackground(c, dc, 1, 1, &kRect, nullptr), E_INVALIDARG) << control;
      EXPECT_EQ(t->WuDrawThemeText(c, dc, 1, 1, u"x", -1, 0, 0, &kRect), E_INVALIDARG);
      EXPECT_EQ(t->WuDrawThemeIcon(c, dc, 1, 1, &kRect, nullptr, 0), E_INVALIDARG);
      RECT out{1, 2, 3, 4};
      EXPECT_EQ(t->WuGetThemeBackgroundContentRect(c, dc, 1, 1, &kRect, &out), E_INVALIDARG);
      EXPECT_TRUE(EqualRect(&out, &kRect));
      out = RECT{1, 2, 3, 4};
      EXPECT_EQ(t->WuGetThemeBackgroundExtentRect(c, dc, 1, 1, &kRect, &out), E_INVALIDARG);
      EXPECT_TRUE(EqualRect(&out, &kRect));
      // Null rectangles are refused, nothing written.
      EXPECT_EQ(t->WuGetThemeBackgroundContentRect(c, dc, 1, 1, nullptr, &out), E_INVALIDARG);
      EXPECT_EQ(t->WuGetThemeBackgroundExtentRect(c, dc, 1, 1, &kRect, nullptr), E_INVALIDARG);
      EXPECT_FALSE(t->WuIsThemeBackgroundPartiallyTransparent(c, 1, 1));
      EXPECT_EQ(t->WuGetThemeTextExtent(c, dc, 1, 1, u"x", 1, 0, nullptr, &out), E_INVALIDARG);
      LOGFONTW font{};
      EXPECT_EQ(t->WuGetThemeFont(c, dc, 1, 1, 210, &font), E_NOTIMPL);
      EXPECT_TRUE(canvas.Blank());
    }
  }
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());
  EXPECT_EQ(XPTheme_ClassName(17), nullptr);
  EXPECT_EQ(std::u16string(XPTheme_ClassName(16)), u"ExplorerBar");
}

TEST_F(ThemeLayer, UnopenedClassWithPainterDrawsClassically) {
  uxtheme_standin::Options o;
  o.refused_class = WUXPTHEME_BUTTON;
  tXPTHEME* t = Bind(1, o);
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 16);
  Canvas routed, direct;
  EXPECT_EQ(t->WuDrawThemeBackground(WUXPTHEME_BUTTON, routed.dc(), 1, 1, &kRect, nullptr), S_OK);
  WuThemePainter(WUXPTHEME_BUTTON)->PaintBackground(direct.dc(), 1, 1, &kRect, nullptr);
  EXPECT_TRUE(routed.SameAs(direct));
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());
}

TEST_F(ThemeLayer, ThemeChangeClosesAndReopensTheHandles) {
  tXPTHEME* t = Bind(1);
  uxtheme_standin::ClearCalls();
  standin_->SetThemeActive(FALSE);
  EXPECT_EQ(XPTheme_Handle_WM_THEMECHANGED(nullptr, nullptr), 0);
  EXPECT_EQ(CallsOf("CloseThemeData").size(), 17u);
  EXPECT_TRUE(CallsOf("OpenThemeData").empty());
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 0);
  EXPECT_EQ(t->themed, 0);
  for (HTHEME h : t->handles) EXPECT_EQ(h, nullptr);
  Canvas classic;
  t->WuDrawThemeBackground(WUXPTHEME_BUTTON, classic.dc(), 1, 1, &kRect, nullptr);
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());

  // Controls not allowed: still classic.
  standin_->SetThemeActive(TRUE);
  standin_->SetAppProperties(STAP_ALLOW_NONCLIENT);
  XPTheme_Handle_WM_THEMECHANGED(t, nullptr);
  EXPECT_EQ(t->themed, 0);
  standin_->SetAppProperties(7);
  XPTheme_Handle_WM_THEMECHANGED(t, nullptr);
  EXPECT_EQ(t->themed, 1);
  EXPECT_EQ(CallsOf("OpenThemeData").size(), 17u);
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 17);
  t->WuDrawThemeBackground(WUXPTHEME_BUTTON, classic.dc(), 1, 1, &kRect, nullptr);
  EXPECT_EQ(CallsOf("DrawThemeBackground").size(), 1u);

  // Cleanup closes the handles and frees the module.
  XPTheme_Cleanup(t);
  EXPECT_EQ(uxtheme_standin::OpenThemeCount(), 0);
  EXPECT_TRUE(AllZero(*t));
  EXPECT_EQ(XPTheme_GetDefault(), t);
}

TEST_F(ThemeLayer, CleanupWithoutBindingChangesNothing) {
  tXPTHEME record;
  std::memset(static_cast<void*>(&record), 0x5A, sizeof(record));
  tXPTHEME copy = record;
  ASSERT_EQ(XPTheme_GetDefault(), nullptr);
  XPTheme_Cleanup(&record);
  XPTheme_Cleanup(nullptr);
  EXPECT_EQ(std::memcmp(&record, &copy, sizeof(copy)), 0);
  // And a theme change without a binding does nothing either.
  EXPECT_EQ(XPTheme_Handle_WM_THEMECHANGED(nullptr, nullptr), 0);
}

TEST_F(ThemeLayer, DrawFrameControlThemedOrClassic) {
  struct Case {
    UINT flags;
    int part;
    int state;
  } cases[] = {{0, 3, 1},     {0x200, 3, 3}, {0x400, 3, 5}, {0x600, 3, 7}, {0x100, 3, 4},
               {0x500, 3, 8}, {0x4, 2, 1},   {0x604, 2, 7}, {0x504, 2, 8}, {0x304, 2, 4}};
  // Unbound: DrawFrameControl itself.
  for (const Case& k : cases) {
    Canvas routed, direct;
    RECT a = kRect, b = kRect;
    EXPECT_TRUE(XPTheme_DrawFrameControl(routed.dc(), &a, k.flags));
    DrawFrameControl(direct.dc(), &b, DFC_BUTTON, k.flags);
    EXPECT_TRUE(routed.SameAs(direct)) << k.flags;
  }
  EXPECT_FALSE(XPTheme_DrawFrameControl(nullptr, nullptr, 0));
  // Bound with theming off: still classic.
  Bind(0);
  Canvas off;
  RECT r = kRect;
  EXPECT_TRUE(XPTheme_DrawFrameControl(off.dc(), &r, 0));
  EXPECT_TRUE(CallsOf("DrawThemeBackground").empty());
  XPTheme_Cleanup(XPTheme_GetDefault());
  standin_.reset();
  // Themed: the "Button" theme with the part and state of the flags.
  Bind(1);
  for (const Case& k : cases) {
    uxtheme_standin::ClearCalls();
    Canvas c;
    RECT at = kRect;
    EXPECT_TRUE(XPTheme_DrawFrameControl(c.dc(), &at, k.flags));
    auto calls = CallsOf("DrawThemeBackground");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].control, WUXPTHEME_BUTTON);
    EXPECT_EQ(calls[0].part, k.part) << k.flags;
    EXPECT_EQ(calls[0].state, k.state) << k.flags;
  }
}

}  // namespace
