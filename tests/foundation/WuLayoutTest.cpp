// Window and dialog layout helpers: centring, keeping rectangles on the
// work area, pop-up placement, caption visibility, window placements in the
// settings store, dialog control moves and questions, and the window chores.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuLayout.h"
#include "foundation/WuMetric.h"
#include "platform/com/com.h"
#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/memory.h"
#include "platform/user/windows.h"

namespace {

constexpr LPCWSTR kClass = u"WuLayoutTestClass";

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }
LONG CentreX(const RECT& r) { return (r.left + r.right) / 2; }
LONG CentreY(const RECT& r) { return (r.top + r.bottom) / 2; }

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

RECT ClientOnScreen(HWND window) {
  RECT r{};
  GetClientRect(window, &r);
  POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
  MapWindowPoints(window, nullptr, p, 2);
  return RECT{p[0].x, p[0].y, p[1].x, p[1].y};
}

class WuLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    live_before_ = platform::LiveWindowCount();
  }
  void TearDown() override {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
      if (IsWindow(*it)) DestroyWindow(*it);
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << "windows leaked";
    UnregisterClassW(kClass, nullptr);
    platform::ResetWorkAreas();
    platform::ResetMonitors();
    platform::ResetSystemMetrics();
  }

  HWND Make(LPCWSTR cls, DWORD style, RECT r, HWND parent = nullptr, int id = 0) {
    HWND w = CreateWindowExW(0, cls, u"", style, r.left, r.top, Width(r), Height(r), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    EXPECT_NE(w, nullptr);
    windows_.push_back(w);
    return w;
  }
  HWND Top(RECT r, DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE) {
    return Make(kClass, style, r);
  }
  HWND Child(HWND parent, RECT r, int id = 0, LPCWSTR cls = kClass,
             DWORD style = WS_CHILD | WS_VISIBLE) {
    return Make(cls, style, r, parent, id);
  }

  std::vector<HWND> windows_;
  size_t live_before_ = 0;
};

// ---- Centring ---------------------------------------------------------------------------

TEST_F(WuLayoutTest, CentresByModeOnReferenceCursorAndPoint) {
  HWND ref = Top({300, 200, 1100, 800});
  HWND win = Top({0, 0, 200, 100});
  SetCursorPos(700, 500);
  const POINT point{400, 300};
  const RECT r = WindowRect(ref), client = ClientOnScreen(ref);
  struct Case {
    UINT flags;
    const POINT* point;
    LONG cx, cy;  // expected centre (mode 1: expected top in cy)
    bool third;
  } cases[] = {
      {0x0000, nullptr, CentreX(r), CentreY(r), false},
      {0x1000, nullptr, CentreX(client), CentreY(client), false},
      {0x0001, nullptr, CentreX(r), r.top + Height(r) / 3 - 100 / 3, true},
      {0x0002, nullptr, 700, 500, false},
      {0x0003, &point, 400, 300, false},
      {0x0003, nullptr, CentreX(r), CentreY(r), false},  // no point: centred
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    ASSERT_TRUE(WuWndCenter(win, ref, c.point, c.flags));
    RECT w = WindowRect(win);
    EXPECT_EQ(Width(w), 200);
    EXPECT_EQ(Height(w), 100);
    EXPECT_LE(std::abs(CentreX(w) - c.cx), 1);
    if (c.third)
      EXPECT_EQ(w.top, c.cy);
    else
      EXPECT_LE(std::abs(CentreY(w) - c.cy), 1);
  }
  EXPECT_FALSE(WuWndCenter(nullptr, ref, nullptr, 0));
}

TEST_F(WuLayoutTest, CentresOnOwnerOrScreenWhenOwnerMinimised) {
  HWND owner = Top({100, 100, 700, 500});
  HWND win = Make(kClass, WS_POPUP | WS_VISIBLE, {0, 0, 200, 100}, owner);
  ASSERT_TRUE(WuWndCenter(win, nullptr, nullptr, 0x8000));
  EXPECT_LE(std::abs(CentreX(WindowRect(win)) - CentreX(WindowRect(owner))), 1);
  EXPECT_LE(std::abs(CentreY(WindowRect(win)) - CentreY(WindowRect(owner))), 1);

  ShowWindow(owner, SW_MINIMIZE);
  ASSERT_TRUE(WuWndCenter(win, nullptr, nullptr, 0x8000));
  EXPECT_LE(std::abs(CentreX(WindowRect(win)) - GetSystemMetrics(SM_CXSCREEN) / 2), 1);
  EXPECT_LE(std::abs(CentreY(WindowRect(win)) - GetSystemMetrics(SM_CYSCREEN) / 2), 1);
}

TEST_F(WuLayoutTest, CentredTopLevelWindowIsKeptOnTheWorkArea) {
  const RECT work{0, 40, 1920, 1040};
  platform::SetWorkArea(0, work);
  HWND big = Top({0, 0, 2500, 1500});
  ASSERT_TRUE(WuWndCenter(big, nullptr, nullptr, 0));
  EXPECT_EQ(WindowRect(big).left, work.left);
  EXPECT_EQ(WindowRect(big).top, work.top);

  // A reference near the bottom right corner: the window stops at the edges.
  HWND ref = Top({1800, 950, 1900, 1000});
  HWND win = Top({0, 0, 400, 300});
  ASSERT_TRUE(WuWndCenter(win, ref, nullptr, 0));
  EXPECT_EQ(WindowRect(win).right, work.right);
  EXPECT_EQ(WindowRect(win).bottom, work.bottom);
}

TEST_F(WuLayoutTest, CentresChildInParentClientAreaWithoutDesktopClamp) {
  // The parent lies partly off the screen; its child must still be centred
  // in the parent's client area, not pushed onto the desktop nor offset by
  // the parent's frame.
  HWND parent = Top({-600, 100, 300, 700});
  HWND child = Child(parent, {0, 0, 200, 100});
  ASSERT_TRUE(WuWndCenter(child, nullptr, nullptr, 0x8000));
  RECT client = ClientOnScreen(parent), c = WindowRect(child);
  EXPECT_LE(std::abs(CentreX(c) - CentreX(client)), 1);
  EXPECT_LE(std::abs(CentreY(c) - CentreY(client)), 1);
  EXPECT_LT(c.left, 0);  // not forced onto the desktop

  ASSERT_TRUE(WuWndCenter(child, nullptr, nullptr, 0x8001));
  c = WindowRect(child);
  EXPECT_EQ(c.top, client.top + Height(client) / 3 - 100 / 3);
}

// ---- Work area and pop-ups ------------------------------------------------------------------

TEST_F(WuLayoutTest, ForceRectOntoDesktopUsesTheRectanglesMonitor) {
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", {0, 0, 1000, 800}, 32},
                         {u"\\\\.\\DISPLAY2", {1000, 0, 2000, 800}, 32}});
  platform::SetWorkArea(0, {0, 0, 1000, 760});
  platform::SetWorkArea(1, {1000, 50, 2000, 800});
  struct Case {
    RECT in;
    int mx, my;
    RECT out;
  } cases[] = {
      {{-50, -20, 150, 80}, 0, 0, {0, 0, 200, 100}},              // left/top edge
      {{900, 700, 990, 790}, 0, 0, {900, 670, 990, 760}},         // bottom of primary
      {{-50, -20, 150, 80}, 10, 5, {10, 5, 210, 105}},            // with margins
      {{1900, 10, 2100, 110}, 0, 0, {1800, 50, 2000, 150}},       // second monitor
      {{-100, -100, 1500, 900}, 0, 0, {0, 0, 1600, 1000}},        // larger: left, top win
      {{5000, 5000, 5100, 5100}, 0, 0, {900, 660, 1000, 760}},    // nowhere: primary
      {{100, 100, 300, 200}, 0, 0, {100, 100, 300, 200}},         // inside: unchanged
  };
  for (const Case& c : cases) {
    RECT r = c.in;
    WuForceRectOntoDesktop(&r, c.mx, c.my);
    EXPECT_EQ(r.left, c.out.left) << c.in.left << "," << c.in.top;
    EXPECT_EQ(r.top, c.out.top) << c.in.left << "," << c.in.top;
    EXPECT_EQ(r.right, c.out.right);
    EXPECT_EQ(r.bottom, c.out.bottom);
  }
}

TEST_F(WuLayoutTest, PopupGoesDiagonallyTowardsTheWorkAreaCentre) {
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", {0, 0, 1000, 800}, 32}});
  const RECT popup{0, 0, 100, 60};
  struct Case {
    RECT anchor;
    RECT out;
  } cases[] = {
      {{700, 600, 720, 620}, {600, 540, 700, 600}},   // right, below: up-left
      {{100, 600, 120, 620}, {120, 540, 220, 600}},   // left, below: up-right
      {{700, 100, 720, 120}, {600, 120, 700, 180}},   // right, above: down-left
      {{100, 100, 120, 120}, {120, 120, 220, 180}},   // left, above: down-right
      {{490, 390, 510, 410}, {510, 410, 610, 470}},   // exact centre: left and top
      {{950, 10, 990, 30}, {850, 30, 950, 90}},       // fits beside the anchor
      {{10, 770, 30, 790}, {30, 710, 130, 770}},      // bottom-left corner
  };
  for (const Case& c : cases) {
    RECT r = popup;
    WuForcePopupRectOntoDesktop(&r, &c.anchor, 0, 0);
    EXPECT_EQ(r.left, c.out.left) << c.anchor.left << "," << c.anchor.top;
    EXPECT_EQ(r.top, c.out.top) << c.anchor.left << "," << c.anchor.top;
    EXPECT_EQ(Width(r), 100);
    EXPECT_EQ(Height(r), 60);
  }
  // Not fitting: forced into the area shrunk by the margins.
  RECT r = popup;
  const RECT anchor{0, 0, 980, 20};  // centre left of the area's: goes right
  WuForcePopupRectOntoDesktop(&r, &anchor, 10, 10);
  EXPECT_EQ(r.right, 990);
  EXPECT_EQ(r.top, 20);
}

TEST_F(WuLayoutTest, CaptionVisibleNeedsThreePixelsOnOneMonitor) {
  platform::SetMonitors({{u"\\\\.\\DISPLAY1", {0, 0, 1000, 800}, 32},
                         {u"\\\\.\\DISPLAY2", {1000, 0, 2000, 800}, 32}});
  const int caption = GetSystemMetrics(SM_CYSMCAPTION);
  const int need = std::max(caption / 2, 3);
  struct Case {
    RECT r;
    BOOL visible;
  } cases[] = {
      {{100, 100, 500, 400}, TRUE},
      {{100, 800 - need, 500, 1000}, TRUE},
      {{100, 800 - need + 1, 500, 1000}, FALSE},
      {{100, -caption + need, 500, 300}, TRUE},
      {{100, -caption + need - 1, 500, 300}, FALSE},
      {{-400, 100, need - 1, 400}, FALSE},
      {{1000 - need, 100, 1000 + need - 1, 400}, TRUE},  // enough on the first
      {{3000, 100, 3400, 400}, FALSE},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WuIsWindowCaptionVisible(&c.r), c.visible) << c.r.left << "," << c.r.top;

  // Two pixels of overlap fail even when half the caption would be less.
  platform::SetSystemMetric(SM_CYSMCAPTION, 4);
  RECT sliver{100, 800 - 2, 500, 1000};
  EXPECT_FALSE(WuIsWindowCaptionVisible(&sliver));
  sliver.top = 800 - 3;
  EXPECT_TRUE(WuIsWindowCaptionVisible(&sliver));
}

// ---- Window placements ----------------------------------------------------------------------

class WuPlacementTest : public WuLayoutTest {
 protected:
  void SetUp() override {
    WuLayoutTest::SetUp();
    ASSERT_EQ(S_OK, WuMetric_Open(&store_, u"LayoutTest", 0x01000000, nullptr));
    WuMetric_CloseAndDeleteKey(store_);
    ASSERT_EQ(S_OK, WuMetric_Open(&store_, u"LayoutTest", 0x01000000, nullptr));
  }
  void TearDown() override {
    WuMetric_CloseAndDeleteKey(store_);
    WuLayoutTest::TearDown();
  }
  void Store(const WINDOWPLACEMENT& wp) {
    ASSERT_EQ(S_OK, WuSetMetricBinary(store_, kKey, &wp, sizeof(wp)));
  }
  static WINDOWPLACEMENT Placement(UINT show, RECT normal) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.showCmd = show;
    wp.ptMinPosition = POINT{-1, -1};
    wp.ptMaxPosition = POINT{-1, -1};
    wp.rcNormalPosition = normal;
    return wp;
  }
  static constexpr int kKey = 17;
  HWUMETRIC store_ = nullptr;
};

TEST_F(WuPlacementTest, SaveStoresAllBytesAndRestoreAppliesThem) {
  HWND win = Top({120, 80, 620, 480});
  ASSERT_EQ(S_OK, WuWindowPlacement(win, store_, kKey, 0));
  BYTE raw[64];
  EXPECT_EQ(WuGetMetricBinary(store_, kKey, raw, sizeof(raw)), 44);

  MoveWindow(win, 10, 10, 50, 50, TRUE);
  EXPECT_EQ(0, WuWindowPlacement(win, store_, kKey, 1));
  RECT r = WindowRect(win);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(Width(r), 500);
  EXPECT_EQ(Height(r), 400);
  EXPECT_EQ(E_FAIL, WuWindowPlacement(win, store_, kKey, 3));
  EXPECT_EQ(E_FAIL, WuWindowPlacement(nullptr, store_, kKey, 0));
}

TEST_F(WuPlacementTest, NothingStoredRestoresDefaultOnlyInOperationTwo) {
  const RECT work{0, 0, 1600, 800};
  platform::SetWorkArea(0, work);
  HWND win = Top({10, 20, 110, 220});
  EXPECT_EQ(1, WuWindowPlacement(win, store_, kKey, 1));
  EXPECT_EQ(WindowRect(win).left, 10);  // untouched
  EXPECT_EQ(Width(WindowRect(win)), 100);

  EXPECT_EQ(1, WuWindowPlacement(win, store_, kKey, 2));
  RECT r = WindowRect(win);
  EXPECT_EQ(r.left, 1600 / 16);
  EXPECT_EQ(r.top, 800 / 16);
  EXPECT_EQ(r.right, 1600 - 1600 / 16);
  EXPECT_EQ(r.bottom, 800 - 800 / 16);
}

TEST_F(WuPlacementTest, LoadModesAndTheirResults) {
  // Default inset rounds towards zero: 1000 / 16 = 62, 700 / 16 = 43.
  platform::SetWorkArea(0, {-1000, 0, 0, 700});
  WINDOWPLACEMENT wp{};
  EXPECT_EQ(1, WuLoadWindowPlacement(store_, kKey, 1, &wp));
  EXPECT_EQ(1, WuLoadWindowPlacement(store_, kKey, 2, &wp));
  EXPECT_EQ(wp.length, 44u);
  EXPECT_EQ(wp.showCmd, 1u);
  EXPECT_EQ(wp.ptMinPosition.x, -1);
  EXPECT_EQ(wp.ptMaxPosition.y, -1);
  EXPECT_EQ(wp.rcNormalPosition.left, -1000 + 62);
  EXPECT_EQ(wp.rcNormalPosition.right, -62);
  EXPECT_EQ(wp.rcNormalPosition.top, 43);
  EXPECT_EQ(wp.rcNormalPosition.bottom, 700 - 43);

  // A stored record with a maximised position: mode 1 takes it, mode 2 not.
  WINDOWPLACEMENT stored = Placement(1, {50, 60, 250, 260});
  stored.ptMaxPosition = POINT{0, 0};
  Store(stored);
  EXPECT_EQ(0, WuLoadWindowPlacement(store_, kKey, 1, &wp));
  EXPECT_EQ(wp.rcNormalPosition.left, 50);
  EXPECT_EQ(1, WuLoadWindowPlacement(store_, kKey, 2, &wp));
  EXPECT_EQ(wp.rcNormalPosition.left, -1000 + 62);
  stored.ptMaxPosition = POINT{-1, -1};
  Store(stored);
  EXPECT_EQ(0, WuLoadWindowPlacement(store_, kKey, 2, &wp));
  EXPECT_EQ(wp.rcNormalPosition.top, 60);

  // A short record is not usable.
  ASSERT_EQ(S_OK, WuSetMetricBinary(store_, kKey, &stored, 20));
  EXPECT_EQ(1, WuLoadWindowPlacement(store_, kKey, 1, &wp));
}

TEST_F(WuPlacementTest, RestoreFixesMinimisedAndLostWindows) {
  HWND win = Top({10, 20, 110, 220});
  Store(Placement(SW_SHOWMINIMIZED, {200, 150, 600, 450}));
  EXPECT_EQ(0, WuWindowPlacement(win, store_, kKey, 1));
  EXPECT_FALSE(IsIconic(win));
  WINDOWPLACEMENT now{};
  now.length = sizeof(now);
  ASSERT_TRUE(GetWindowPlacement(win, &now));
  EXPECT_EQ(now.showCmd, static_cast<UINT>(SW_SHOWNORMAL));
  EXPECT_EQ(WindowRect(win).left, 200);

  // Stored far off the screen: brought back onto the work area, size kept.
  for (int operation : {1, 2}) {
    Store(Placement(SW_SHOWNORMAL, {5000, 3000, 5400, 3300}));
    EXPECT_EQ(0, WuWindowPlacement(win, store_, kKey, operation));
    RECT r = WindowRect(win);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(Width(r), 400);
    EXPECT_EQ(Height(r), 300);
    EXPECT_TRUE(WuIsWindowCaptionVisible(&r));
  }

  WINDOWPLACEMENT fix = Placement(SW_SHOWMINIMIZED, {100, -500, 300, -100});
  WuFixWindowPlacement(&fix);
  EXPECT_EQ(fix.showCmd, 1u);
  EXPECT_EQ(fix.rcNormalPosition.top, 0);
  EXPECT_EQ(Height(fix.rcNormalPosition), 400);
}

// ---- Dialog controls ------------------------------------------------------------------------

TEST_F(WuLayoutTest, DeltaMoveAndSizeKeepTheOtherDimension) {
  HWND dialog = Top({100, 100, 600, 500});
  HWND bordered = Child(dialog, {10, 20, 110, 50}, 7, WC_EDITW, WS_CHILD | WS_VISIBLE | WS_BORDER);
  RECT before;
  ASSERT_TRUE(WuDlgGetControlRect(dialog, nullptr, 7, &before));
  EXPECT_EQ(before.left, 10);
  EXPECT_EQ(before.top, 20);

  ASSERT_TRUE(WuDlgDeltaControlMove(dialog, 7, 5, -3));
  RECT moved;
  WuDlgGetControlRect(dialog, bordered, 0, &moved);
  EXPECT_EQ(moved.left, 15);
  EXPECT_EQ(moved.top, 17);
  EXPECT_EQ(Width(moved), 100);

  // A bordered control grows by exactly the delta (zero: unchanged).
  ASSERT_TRUE(WuDlgDeltaControlSize(dialog, 7, 0, 0));
  EXPECT_EQ(Width(WindowRect(bordered)), 100);
  EXPECT_EQ(Height(WindowRect(bordered)), 30);
  ASSERT_TRUE(WuDlgDeltaControlSize(dialog, 7, 12, -4));
  RECT sized;
  WuDlgGetControlRect(dialog, bordered, 0, &sized);
  EXPECT_EQ(sized.left, 15);
  EXPECT_EQ(Width(sized), 112);
  EXPECT_EQ(Height(sized), 26);

  EXPECT_FALSE(WuDlgDeltaControlMove(dialog, 99, 1, 1));
  EXPECT_FALSE(WuDlgDeltaControlSize(dialog, 99, 1, 1));
  RECT missing{1, 2, 3, 4};
  EXPECT_FALSE(WuDlgGetControlRect(dialog, nullptr, 99, &missing));
  EXPECT_TRUE(IsRectEmpty(&missing));
}

TEST_F(WuLayoutTest, EnableShowAndRadioButtons) {
  HWND dialog = Top({100, 100, 600, 500});
  const DWORD radio = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;
  for (int id = 10; id <= 12; ++id) Child(dialog, {10, id * 20, 100, id * 20 + 15}, id, WC_BUTTONW, radio);
  EXPECT_EQ(WuDlgWhichRadioButton(dialog, 10, 12, 42), 42);
  CheckDlgButton(dialog, 11, BST_CHECKED);
  EXPECT_EQ(WuDlgWhichRadioButton(dialog, 10, 12, 42), 11);
  EXPECT_EQ(WuDlgWhichRadioButton(dialog, 12, 12, 42), 42);

  const int ids[] = {10, 12, 99};
  WuDlgEnableControls(dialog, ids, 3, FALSE);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 10)));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 11)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 12)));
  WuDlgEnableControls(dialog, ids, 2, TRUE);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 12)));

  WuDlgShowControls(dialog, ids, 3, FALSE);
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 10)));
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 11)));
  WuDlgShowControls(dialog, ids, 1, TRUE);
  EXPECT_TRUE(IsWindowVisible(GetDlgItem(dialog, 10)));
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 12)));
  WuDlgEnableControls(dialog, nullptr, 3, FALSE);  // no list: nothing
}

TEST_F(WuLayoutTest, MouseInControlExcludesRightAndBottom) {
  HWND dialog = Top({100, 100, 600, 500});
  Child(dialog, {10, 20, 110, 50}, 5);
  RECT screen = WindowRect(GetDlgItem(dialog, 5));
  struct Case {
    int x, y;
    BOOL client;
    BOOL in;
  } cases[] = {
      {10, 20, TRUE, TRUE},   {109, 49, TRUE, TRUE},  {110, 20, TRUE, FALSE},
      {10, 50, TRUE, FALSE},  {9, 20, TRUE, FALSE},
      {screen.left, screen.top, FALSE, TRUE}, {screen.right, screen.top, FALSE, FALSE},
      {10, 20, FALSE, FALSE},  // client coordinates against the screen rectangle
  };
  for (const Case& c : cases)
    EXPECT_EQ(WuIsMouseInControl(dialog, 5, c.x, c.y, c.client), c.in) << c.x << "," << c.y;
  EXPECT_FALSE(WuIsMouseInControl(dialog, 6, 10, 20, TRUE));
}

TEST_F(WuLayoutTest, HookDialogFollowsTheMainDialog) {
  HWND main = Top({100, 100, 700, 500});
  HWND hook = Child(main, {20, 300, 400, 380});
  Child(main, {50, 30, 450, 60}, 1);    // main control
  Child(hook, {5, 10, 100, 30}, 2);     // hook control
  ASSERT_TRUE(WuSetHorizHookControlPos(hook, nullptr, 2, 1));
  RECT main_control = WindowRect(GetDlgItem(main, 1)), hook_control = WindowRect(GetDlgItem(hook, 2));
  EXPECT_EQ(hook_control.left, main_control.left);
  EXPECT_EQ(hook_control.right, main_control.right);
  RECT in_hook;
  WuDlgGetControlRect(hook, nullptr, 2, &in_hook);
  EXPECT_EQ(in_hook.top, 10);
  EXPECT_EQ(Height(in_hook), 20);
  EXPECT_FALSE(WuSetHorizHookControlPos(hook, main, 2, 77));

  EXPECT_FALSE(WuLineupHookWithMainDialog(hook, nullptr));
  EXPECT_EQ(WindowRect(hook).right, WindowRect(main).right);
  EXPECT_EQ(Height(WindowRect(hook)), 80);
  EXPECT_TRUE(WuLineupHookWithMainDialog(hook, main));
}

TEST_F(WuLayoutTest, UndropComboBoxByFocusKind) {
  HWND dialog = Make(WC_DIALOG, WS_POPUP | WS_VISIBLE, {100, 100, 500, 400});
  HWND combo = Child(dialog, {10, 10, 200, 200}, 1, WC_COMBOBOXW,
                     WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST);
  HWND edit = Child(dialog, {10, 50, 200, 70}, 2, WC_EDITW, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
  HWND button = Child(dialog, {10, 80, 200, 100}, 3, WC_BUTTONW, WS_CHILD | WS_VISIBLE | WS_TABSTOP);

  SetFocus(combo);
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  EXPECT_TRUE(WuDlgUndropComboBox(0));
  EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_FALSE(WuDlgUndropComboBox(0));  // closed already

  SetFocus(edit);
  EXPECT_FALSE(WuDlgUndropComboBox(0));
  EXPECT_EQ(GetFocus(), button);  // the dialog moved the focus on

  EXPECT_FALSE(WuDlgUndropComboBox(0));
  EXPECT_EQ(GetFocus(), button);
}

// ---- Windows and controls -------------------------------------------------------------------

TEST_F(WuLayoutTest, RealClientRectAddsScrollBars) {
  const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYHSCROLL);
  struct Case {
    DWORD extra;
    int dx, dy;
  } cases[] = {{0, 0, 0}, {WS_VSCROLL, cx, 0}, {WS_HSCROLL, 0, cy}, {WS_VSCROLL | WS_HSCROLL, cx, cy}};
  HWND plain = Top({0, 0, 300, 200});
  RECT base;
  GetClientRect(plain, &base);
  for (const Case& c : cases) {
    HWND w = Top({0, 0, 300, 200}, WS_OVERLAPPEDWINDOW | c.extra);
    RECT r;
    ASSERT_TRUE(WuGetRealClientRect(w, &r));
    EXPECT_EQ(Width(r), Width(base)) << c.extra;
    EXPECT_EQ(Height(r), Height(base)) << c.extra;
    EXPECT_EQ(WuGetWindowStyle(w), static_cast<DWORD>(WS_OVERLAPPEDWINDOW | c.extra));
  }
}

TEST_F(WuLayoutTest, ToolbarCreatedEmptyAndSizedWithoutHiddenButtons) {
  HWND parent = Top({0, 0, 600, 400});
  EXPECT_EQ(WuCreateToolbarEmpty(nullptr, nullptr, 0, 5), nullptr);  // a child needs a parent
  HWND toolbar = WuCreateToolbarEmpty(nullptr, parent, WS_VISIBLE, 5);
  ASSERT_NE(toolbar, nullptr);
  windows_.push_back(toolbar);
  WCHAR cls[32] = {};
  GetClassNameW(toolbar, cls, 32);
  EXPECT_EQ(std::u16string(cls), u"ToolbarWindow32");
  EXPECT_EQ(GetDlgItem(parent, 5), toolbar);
  EXPECT_TRUE(WuGetWindowStyle(toolbar) & WS_CHILD);

  SIZE size{-1, -1};
  ASSERT_TRUE(WuGetToolbarSize(toolbar, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_EQ(size.cy, 0);

  SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELPARAM(24, 22));
  TBBUTTON hidden{};
  hidden.idCommand = 1;
  hidden.fsState = TBSTATE_ENABLED | TBSTATE_HIDDEN;
  SendMessageW(toolbar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&hidden));
  ASSERT_TRUE(WuGetToolbarSize(toolbar, &size));
  EXPECT_EQ(size.cx, 0);  // a hidden button counts for neither width nor height
  EXPECT_EQ(size.cy, 0);

  TBBUTTON shown[2] = {};
  shown[0].idCommand = 2;
  shown[0].fsState = TBSTATE_ENABLED;
  shown[1].iBitmap = 30;  // a separator 30 wide
  shown[1].fsStyle = BTNS_SEP;
  SendMessageW(toolbar, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(shown));
  ASSERT_TRUE(WuGetToolbarSize(toolbar, &size));
  RECT first, second;
  SendMessageW(toolbar, TB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&first));
  SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&second));
  EXPECT_EQ(size.cx, Width(first) + Width(second));
  EXPECT_EQ(size.cx, 24 + 30);
  EXPECT_EQ(size.cy, 22);
  EXPECT_FALSE(WuGetToolbarSize(toolbar, nullptr));
}

TEST_F(WuLayoutTest, EditCursorToEndAndSelection) {
  HWND parent = Top({0, 0, 600, 400});
  HWND edit = Child(parent, {0, 0, 300, 100}, 1, WC_EDITW, WS_CHILD | WS_VISIBLE | ES_MULTILINE);
  struct Case {
    const char16_t* text;
    BOOL add_line;
    const char16_t* after;
  } cases[] = {
      {u"abc", FALSE, u"abc"},
      {u"abc", TRUE, u"abc\r\n"},
      {u"abc\r\n", TRUE, u"abc\r\n"},  // already at a line's start
      {u"", TRUE, u""},
  };
  for (const Case& c : cases) {
    SetWindowTextW(edit, c.text);
    SendMessageW(edit, EM_SETSEL, 0, 1);
    Edit_CursorToEnd(edit, c.add_line);
    WCHAR text[32] = {};
    GetWindowTextW(edit, text, 32);
    EXPECT_EQ(std::u16string(text), c.after);
    int start = 7, end = 7;
    Edit_GetSelection(edit, &start, &end);
    const int length = static_cast<int>(std::u16string(c.after).size());
    EXPECT_EQ(start, length);
    EXPECT_EQ(end, length);
  }
  int start = 0, end = 0;
  Edit_GetSelection(nullptr, &start, &end);
  EXPECT_EQ(start, -1);
  EXPECT_EQ(end, -1);
}

TEST_F(WuLayoutTest, ActivatePreviousInstance) {
  EXPECT_EQ(WuActivatePrevAppInstance(u"NoSuchLayoutClass"), nullptr);
  EXPECT_EQ(WuActivatePrevAppInstance(nullptr), nullptr);
  HWND other = Top({0, 0, 200, 200});
  HWND app = Top({300, 0, 500, 200});
  SetForegroundWindow(other);
  // FindWindowW takes the first in z-order: make `app` the front one.
  BringWindowToTop(app);
  EXPECT_EQ(WuActivatePrevAppInstance(kClass), app);
  EXPECT_EQ(GetForegroundWindow(), app);

  DestroyWindow(other);  // the only window of the class from here on
  ShowWindow(app, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(app));
  EXPECT_EQ(WuActivatePrevAppInstance(kClass), app);
  EXPECT_FALSE(IsIconic(app));
}

TEST_F(WuLayoutTest, CopyHandleCopiesBytesIntoAMoveableBlock) {
  HGLOBAL source = GlobalAlloc(GMEM_MOVEABLE, 5);
  ASSERT_NE(source, nullptr);
  std::memcpy(GlobalLock(source), "hello", 5);
  GlobalUnlock(source);
  HGLOBAL copy = WuCopyHandle(source);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, source);
  EXPECT_EQ(GlobalSize(copy), 5u);
  void* bytes = GlobalLock(copy);
  EXPECT_NE(bytes, static_cast<void*>(copy));  // moveable: the handle is not the pointer
  EXPECT_EQ(std::memcmp(bytes, "hello", 5), 0);
  GlobalUnlock(copy);
  GlobalFree(copy);
  GlobalFree(source);
  EXPECT_EQ(WuCopyHandle(nullptr), nullptr);
}

TEST_F(WuLayoutTest, RegisterAndUnregisterClasses) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = u"WuLayoutOwnClass";
  ATOM atom = WuRegisterClass(&wc);
  EXPECT_NE(atom, 0);
  EXPECT_EQ(WuRegisterClass(&wc), 0);  // taken
  EXPECT_FALSE(WuUnregisterClass(nullptr, nullptr));
  EXPECT_FALSE(WuUnregisterClass(u"WuLayoutNoClass", nullptr));
  EXPECT_TRUE(WuUnregisterClass(u"WuLayoutOwnClass", nullptr));
  EXPECT_FALSE(WuUnregisterClass(u"WuLayoutOwnClass", nullptr));
}

TEST(WuOleInitTest, InitialisesOnceAndTakesItBack) {
  ASSERT_TRUE(SUCCEEDED(WuOleInit(TRUE)));
  EXPECT_EQ(S_OK, WuOleInit(TRUE));  // already done: nothing counted
  // The thread holds exactly one initialisation: a further one says S_FALSE.
  EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  CoUninitialize();
  EXPECT_EQ(S_OK, WuOleInit(FALSE));
  // Taken back: the next initialisation is the first again.
  EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  CoUninitialize();
  EXPECT_EQ(S_OK, WuOleInit(FALSE));  // nothing to take back
  EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  CoUninitialize();
}

}  // namespace
