// Control placement: each edge rule, the adjustment rectangle, the widened
// hook position and missing controls.
#include "shellui/WuControlPlacement.h"

#include <gtest/gtest.h>

namespace {

constexpr int kRef = 101;      // reference control, in the outer dialog
constexpr int kControl = 201;  // moved control, in the inner dialog

// An outer dialog at (100, 100) holding the reference control at (50, 60),
// 80 x 20, and an inner dialog at (10, 20) of it holding the control at
// (5, 5), 30 x 10. In the inner dialog's client coordinates the reference
// is (40, 40)-(120, 60).
struct Dialogs {
  HWND outer, inner, control;
  Dialogs() {
    outer = CreateWindowExW(0, WC_DIALOG, u"", WS_POPUP, 100, 100, 400, 300, nullptr, nullptr,
                            nullptr, nullptr);
    CreateWindowExW(0, WC_STATICW, u"", WS_CHILD, 50, 60, 80, 20, outer,
                    reinterpret_cast<HMENU>(kRef), nullptr, nullptr);
    inner = CreateWindowExW(0, WC_DIALOG, u"", WS_CHILD, 10, 20, 300, 200, outer, nullptr,
                            nullptr, nullptr);
    control = CreateWindowExW(0, WC_STATICW, u"", WS_CHILD, 5, 5, 30, 10, inner,
                              reinterpret_cast<HMENU>(kControl), nullptr, nullptr);
  }
  ~Dialogs() { DestroyWindow(outer); }
  // The control's rectangle in the inner dialog.
  RECT Where() {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, inner, reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
};

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
  EXPECT_EQ(r.left, left);
  EXPECT_EQ(r.top, top);
  EXPECT_EQ(r.right, right);
  EXPECT_EQ(r.bottom, bottom);
}

TEST(WuControlPlacementTest, AlignTakesTheFlaggedEdgesOfTheReference) {
  struct Case {
    DWORD flags;
    bool adjust;
    RECT want;
  } cases[] = {
      {0x0, false, {5, 5, 35, 15}},          // nothing moves
      {0x1, false, {40, 5, 70, 15}},         // left edge, width kept
      {0x2, false, {90, 5, 120, 15}},        // right edge, width kept
      {0x3, false, {40, 5, 120, 15}},        // the reference's width
      {0x4, false, {5, 40, 35, 50}},         // top edge, height kept
      {0x8, false, {5, 50, 35, 60}},         // bottom edge, height kept
      {0xC, false, {5, 40, 35, 60}},         // the reference's height
      {0xF, false, {40, 40, 120, 60}},       // the reference's rectangle
      {0x3, true, {41, 7, 123, 19}},         // adjustment added to each edge
  };
  const RECT adjust = {1, 2, 3, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << c.flags << (c.adjust ? " adjusted" : ""));
    Dialogs d;
    // A NULL reference dialog is the dialog's parent; passing it gives the same.
    for (HWND ref_dialog : {static_cast<HWND>(nullptr), d.outer}) {
      SetWindowPos(d.control, nullptr, 5, 5, 30, 10, SWP_NOZORDER | SWP_NOACTIVATE);
      EXPECT_TRUE(WuAlignControlToOtherControl(ref_dialog, kRef, d.inner, kControl, c.flags,
                                               c.adjust ? &adjust : nullptr));
      ExpectRect(d.Where(), c.want.left, c.want.top, c.want.right, c.want.bottom);
    }
  }
}

TEST(WuControlPlacementTest, HookTakesTheWidenedReferenceExtent) {
  Dialogs d;
  EXPECT_TRUE(WuSetPosHookControl(d.inner, nullptr, kRef, kControl, 0));
  ExpectRect(d.Where(), 40, 5, 120, 15);
  // Grow 4: 8 wider than the reference, centred on it, own top and height.
  EXPECT_TRUE(WuSetPosHookControl(d.inner, d.outer, kRef, kControl, 4));
  ExpectRect(d.Where(), 36, 5, 124, 15);
}

TEST(WuControlPlacementTest, MissingControlsMoveNothing) {
  Dialogs d;
  EXPECT_FALSE(WuAlignControlToOtherControl(nullptr, 999, d.inner, kControl, 0xF, nullptr));
  EXPECT_FALSE(WuSetPosHookControl(d.inner, nullptr, 999, kControl, 4));
  ExpectRect(d.Where(), 5, 5, 35, 15);
  EXPECT_FALSE(WuAlignControlToOtherControl(nullptr, kRef, d.inner, 999, 0xF, nullptr));
  EXPECT_FALSE(WuSetPosHookControl(d.inner, nullptr, kRef, 999, 4));
  // A top-level dialog has no parent to take the reference from.
  EXPECT_FALSE(WuAlignControlToOtherControl(nullptr, kRef, d.outer, kRef, 0xF, nullptr));
}

}  // namespace
