// The library's tab control: the tab record, selection without notice, a
// person's pick as a command, and the inner control that fills it.
#include "foundation/WuTabCtl.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/WuUIFont.h"
#include "platform/comctl/commctrl.h"
#include "platform/user/dialogs.h"
#include "platform/user/frontend.h"

namespace {

constexpr int kId = 304;

// What the parent heard: WM_COMMAND as (id, code, lParam), and whether any
// WM_NOTIFY came.
struct Heard {
  std::vector<std::pair<std::pair<int, int>, LPARAM>> commands;
  int notifies = 0;
};
Heard* g_heard = nullptr;

LRESULT ParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_heard && message == WM_COMMAND)
    g_heard->commands.push_back({{LOWORD(wparam), HIWORD(wparam)}, lparam});
  if (g_heard && message == WM_NOTIFY) ++g_heard->notifies;
  return DefWindowProcW(window, message, wparam, lparam);
}

WUTABCTL_TABS Record(const std::vector<std::u16string>& titles) {
  WUTABCTL_TABS record{};
  record.size = WUTABCTL_TABS_SIZE;
  record.count = static_cast<DWORD>(titles.size());
  for (size_t i = 0; i < titles.size() && i < WUTABCTL_MAX_TABS; ++i) {
    titles[i].copy(record.tabs[i].title, WUTABCTL_TITLE_UNITS);
    record.tabs[i].page = static_cast<DWORD>(100 + i);
  }
  return record;
}

// The tabs as (title, page number).
std::vector<std::pair<std::u16string, LPARAM>> Tabs(HWND control) {
  std::vector<std::pair<std::u16string, LPARAM>> out;
  LRESULT n = SendMessageW(control, TCM_GETITEMCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    WCHAR text[64] = {};
    TCITEMW item{TCIF_TEXT | TCIF_PARAM, 0, 0, text, 64, 0, 0};
    SendMessageW(control, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    out.emplace_back(text, item.lParam);
  }
  return out;
}

class WuTabCtlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WuTabCtl_Register(nullptr));
    ASSERT_TRUE(WuTabCtl_Register(nullptr));  // a second registration is fine
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"WuTabCtlTestParent";
    RegisterClassW(&wc);
    parent_ = CreateWindowW(u"WuTabCtlTestParent", u"p", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                            nullptr);
    ASSERT_NE(parent_, nullptr);
    control_ = CreateWindowW(WUTABCTL_CLASS, nullptr, WS_CHILD | WS_VISIBLE, 10, 20, 300, 200, parent_,
                             reinterpret_cast<HMENU>(static_cast<uintptr_t>(kId)), nullptr, nullptr);
    ASSERT_NE(control_, nullptr);
    g_heard = &heard_;
  }
  void TearDown() override {
    g_heard = nullptr;
    DestroyWindow(parent_);
    EXPECT_TRUE(WuTabCtl_Unregister(nullptr)) << "no control outlives its parent";
  }
  HWND parent_ = nullptr;
  HWND control_ = nullptr;
  Heard heard_;
};

TEST_F(WuTabCtlTest, InnerTabControlFillsItAndFollowsItsSize) {
  HWND tabs = WuTabCtl_GetTabs(control_);
  ASSERT_NE(tabs, nullptr);
  EXPECT_EQ(GetParent(tabs), control_);
  EXPECT_EQ(GetDlgCtrlID(tabs), kId);
  EXPECT_TRUE(GetWindowLongW(control_, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
  EXPECT_EQ(WuTabCtl_GetTabs(parent_), nullptr) << "not a tab control";
  for (SIZE size : {SIZE{300, 200}, SIZE{520, 90}, SIZE{150, 40}}) {
    MoveWindow(control_, 5, 5, size.cx, size.cy, TRUE);
    RECT client{}, inner{};
    GetClientRect(control_, &client);
    GetWindowRect(tabs, &inner);
    MapWindowPoints(nullptr, control_, reinterpret_cast<POINT*>(&inner), 2);
    EXPECT_EQ(client.right, size.cx);
    EXPECT_TRUE(EqualRect(&inner, &client)) << size.cx << "x" << size.cy;
  }
  // The row is measured in the control's font: a taller font, a taller row.
  WUTABCTL_TABS one = Record({u"One"});
  ASSERT_TRUE(SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&one)));
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(tabs, WM_GETFONT, 0, 0)), WuGetUIFont(WUFONT_DIALOG));
  RECT small{}, large{};
  SendMessageW(control_, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&small));
  SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(WuGetUIFont(WUFONT_TITLE)), FALSE);
  SendMessageW(control_, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&large));
  EXPECT_GT(large.bottom - large.top, small.bottom - small.top);
}

TEST_F(WuTabCtlTest, RecordIsTakenWholeOrRefused) {
  WUTABCTL_TABS first = Record({u"Project", u"Audio"});
  ASSERT_TRUE(SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&first)));
  const auto before = Tabs(control_);
  ASSERT_EQ(before, (std::vector<std::pair<std::u16string, LPARAM>>{{u"Project", 100}, {u"Audio", 101}}));

  struct Case {
    DWORD size;     // size word
    DWORD count;    // count word
    BOOL taken;     // expected answer
  };
  const Case cases[] = {
      {660, 0, TRUE},  {660, 9, TRUE},  {660, 10, FALSE}, {660, 0xFFFFFFFF, FALSE},
      {659, 2, FALSE}, {661, 2, FALSE}, {624, 2, FALSE},  {0, 0, FALSE},
  };
  for (const Case& c : cases) {
    SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&first));
    WUTABCTL_TABS record = Record({u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i"});
    record.size = c.size;
    record.count = c.count;
    EXPECT_EQ(SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&record)), c.taken)
        << c.size << " " << c.count;
    EXPECT_EQ(SendMessageW(control_, TCM_GETITEMCOUNT, 0, 0), c.taken ? static_cast<LRESULT>(c.count) : 2)
        << c.size << " " << c.count;
    if (!c.taken) {
      EXPECT_EQ(Tabs(control_), before) << "a refused record changes nothing";
    }
  }
  EXPECT_FALSE(SendMessageW(control_, WUTABCTL_SETTABS, 0, 0));

  // A title that fills its 32 units has no terminator: it ends there, and
  // the page number behind it is not read as text.
  WUTABCTL_TABS full = Record({u"x"});
  const std::u16string units32 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
  units32.copy(full.tabs[0].title, 32);
  full.tabs[0].page = 0x00410041;  // "AA" if read as text
  ASSERT_TRUE(SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&full)));
  EXPECT_EQ(Tabs(control_), (std::vector<std::pair<std::u16string, LPARAM>>{{units32, 0x00410041}}));
  EXPECT_TRUE(heard_.commands.empty() && heard_.notifies == 0) << "setting tabs is not a choice";
}

TEST_F(WuTabCtlTest, SelectSendsNothingAndAPickSendsTheIndex) {
  WUTABCTL_TABS record = Record({u"One", u"Two", u"Three"});
  ASSERT_TRUE(SendMessageW(control_, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&record)));
  EXPECT_EQ(SendMessageW(control_, TCM_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(SendMessageW(control_, WUTABCTL_SELECT, 2, 0), 0) << "the previous index";
  EXPECT_EQ(SendMessageW(control_, WUTABCTL_SELECT, 3, 0), -1) << "no such tab";
  EXPECT_EQ(SendMessageW(control_, TCM_GETCURSEL, 0, 0), 2);
  EXPECT_TRUE(heard_.commands.empty());
  EXPECT_EQ(heard_.notifies, 0);

  HWND tabs = WuTabCtl_GetTabs(control_);
  for (int index : {1, 0, 2}) {
    heard_.commands.clear();
    ASSERT_TRUE(platform::PickInControl(tabs, index));
    ASSERT_EQ(heard_.commands.size(), 1u) << index;
    EXPECT_EQ(heard_.commands[0].first, std::make_pair(kId, index));
    EXPECT_EQ(heard_.commands[0].second, reinterpret_cast<LPARAM>(control_));
    EXPECT_EQ(SendMessageW(control_, TCM_GETCURSEL, 0, 0), index);
  }
  // The arrow keys are a person's choice too.
  heard_.commands.clear();
  SendMessageW(tabs, WM_KEYDOWN, VK_LEFT, 0);
  ASSERT_EQ(heard_.commands.size(), 1u);
  EXPECT_EQ(heard_.commands[0].first, std::make_pair(kId, 1));
  EXPECT_EQ(heard_.notifies, 0) << "the inner control's notices stay inside";
}

// In a modal dialog, front ends list the tabs and the scripted driver's
// Pick reaches them by the control's id.
INT_PTR TabsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    WUTABCTL_TABS record = Record({u"Project", u"Audio", u"Video"});
    SendDlgItemMessageW(dialog, kId, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&record));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == kId) {
    SetWindowLongPtrW(dialog, DWLP_USER, 1000 + HIWORD(wparam));
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wparam) == IDOK) {
    EndDialog(dialog, GetWindowLongPtrW(dialog, DWLP_USER));
    return TRUE;
  }
  return FALSE;
}

TEST_F(WuTabCtlTest, FrontEndsListAndPickItsTabs) {
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_DIALOG, u"Tabs", WS_POPUP | WS_CAPTION, 0, 0, 320, 240,
                                nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(dialog, nullptr);
  SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(TabsDialogProc));
  CreateWindowW(WUTABCTL_CLASS, nullptr, WS_CHILD | WS_VISIBLE, 5, 5, 300, 150, dialog,
                reinterpret_cast<HMENU>(static_cast<uintptr_t>(kId)), nullptr, nullptr);
  CreateWindowW(WC_BUTTONW, u"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 5, 180, 80, 24, dialog,
                reinterpret_cast<HMENU>(static_cast<uintptr_t>(IDOK)), nullptr, nullptr);
  SendMessageW(dialog, WM_INITDIALOG, 0, 0);

  std::vector<platform::ControlInfo> listed;
  platform::ScriptedFrontEnd script;
  script.Run([&](HWND d) { listed = platform::DescribeDialog(d); }).Pick(kId, 2).Press(IDOK);
  platform::SetFrontEnd(&script);
  INT_PTR result = platform::RunModalDialog(dialog, nullptr);
  platform::SetFrontEnd(nullptr);
  DestroyWindow(dialog);
  EXPECT_TRUE(script.errors().empty()) << script.errors().front();
  EXPECT_EQ(result, 1002) << "the pick came as command (304, 2)";
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed[0].kind, platform::ControlKind::kTabs);
  EXPECT_EQ(listed[0].id, kId);
  EXPECT_EQ(listed[0].items, (std::vector<std::u16string>{u"Project", u"Audio", u"Video"}));
}

}  // namespace
