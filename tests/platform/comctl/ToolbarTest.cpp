// The toolbar's clicks and tips: which presses and releases make a command,
// and how a button's tip comes from the parent's answer.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/comctl/commctrl.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"
#include "platform/user/frontend.h"
#include "platform/user/windows.h"

namespace {

// What the parent heard: WM_COMMAND as (wParam, lParam), tip requests as
// (idFrom, lParam of the record).
struct Heard {
  std::vector<std::pair<WPARAM, LPARAM>> commands;
  std::vector<std::pair<UINT_PTR, LPARAM>> tips;
};
Heard* g_heard = nullptr;
const char16_t kSave[] = u"Save Template";

LRESULT ParentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_heard && message == WM_COMMAND) g_heard->commands.emplace_back(wparam, lparam);
  if (g_heard && message == WM_NOTIFY) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
    if (info->hdr.code != TTN_GETDISPINFOW) return 0;
    g_heard->tips.emplace_back(info->hdr.idFrom, info->lParam);
    // Each answer form: a pointer, a copy into szText, a string resource.
    if (info->hdr.idFrom == 307) info->lpszText = const_cast<LPWSTR>(kSave);
    if (info->hdr.idFrom == 308) std::u16string(u"Delete Template").copy(info->szText, 79);
    if (info->hdr.idFrom == 309) {
      info->hinst = GetModuleHandleW(nullptr);
      info->lpszText = MAKEINTRESOURCEW(17);  // "seventeen" in the test program's strings
    }
    return 0;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

class ToolbarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"ToolbarTestParent";
    ASSERT_NE(RegisterClassW(&wc), 0);
    parent_ = CreateWindowW(u"ToolbarTestParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 100, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    g_heard = &heard_;
  }
  void TearDown() override {
    g_heard = nullptr;
    DestroyWindow(parent_);
    UnregisterClassW(u"ToolbarTestParent", nullptr);
  }
  // Buttons: 307, a separator, 308 (disabled), 309 (a check button), 310.
  HWND Make(DWORD style) {
    HWND tb = CreateWindowExW(0, TOOLBARCLASSNAMEW, u"", WS_CHILD | WS_VISIBLE | style, 0, 0, 300, 30, parent_,
                              reinterpret_cast<HMENU>(static_cast<uintptr_t>(306)), nullptr, nullptr);
    EXPECT_NE(tb, nullptr);
    TBBUTTON buttons[5] = {};
    const int ids[5] = {307, 0, 308, 309, 310};
    for (int i = 0; i < 5; ++i) {
      buttons[i].idCommand = ids[i];
      buttons[i].fsState = ids[i] == 308 ? 0 : TBSTATE_ENABLED;
      buttons[i].fsStyle = ids[i] == 0 ? BTNS_SEP : ids[i] == 309 ? BTNS_CHECK : BTNS_BUTTON;
      buttons[i].dwData = static_cast<DWORD_PTR>(1000 + ids[i]);
    }
    SendMessageW(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(tb, TB_ADDBUTTONSW, 5, reinterpret_cast<LPARAM>(buttons));
    return tb;
  }
  // The middle of a button (of a separator too), by index.
  static LPARAM Middle(HWND tb, int index) {
    RECT r{};
    SendMessageW(tb, TB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
    return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  HWND parent_ = nullptr;
  Heard heard_;
};

TEST_F(ToolbarTest, PressAndReleaseOverOneEnabledButtonIsAClick) {
  HWND tb = Make(TBSTYLE_FLAT);
  const LPARAM outside = MAKELPARAM(290, 10);
  struct Case {
    const char* what;   // the gesture
    int down;           // index the button goes down on (-1: outside)
    int up;             // index it comes up on (-1: outside)
    int command;        // command expected (0: none)
  };
  const Case cases[] = {
      {"down and up on 307", 0, 0, 307},
      {"down on 307, up on 309", 0, 3, 0},
      {"down on 307, up outside", 0, -1, 0},
      {"down outside, up on 307", -1, 0, 0},
      {"a separator", 1, 1, 0},
      {"a disabled button", 2, 2, 0},
      {"down and up on 310", 4, 4, 310},
  };
  for (const Case& c : cases) {
    heard_.commands.clear();
    SendMessageW(tb, WM_LBUTTONDOWN, 1, c.down < 0 ? outside : Middle(tb, c.down));
    SendMessageW(tb, WM_LBUTTONUP, 0, c.up < 0 ? outside : Middle(tb, c.up));
    if (c.command) {
      ASSERT_EQ(heard_.commands.size(), 1u) << c.what;
      EXPECT_EQ(heard_.commands[0].first, static_cast<WPARAM>(c.command)) << c.what;
      EXPECT_EQ(heard_.commands[0].second, reinterpret_cast<LPARAM>(tb)) << c.what;
    } else {
      EXPECT_TRUE(heard_.commands.empty()) << c.what;
    }
    EXPECT_FALSE(SendMessageW(tb, TB_ISBUTTONPRESSED, 307, 0)) << c.what;
  }

  // Held: shown pressed while over the button, and a button disabled in
  // between does not click.
  SendMessageW(tb, WM_LBUTTONDOWN, 1, Middle(tb, 0));
  EXPECT_TRUE(SendMessageW(tb, TB_ISBUTTONPRESSED, 307, 0));
  SendMessageW(tb, WM_MOUSEMOVE, 1, outside);
  EXPECT_FALSE(SendMessageW(tb, TB_ISBUTTONPRESSED, 307, 0));
  SendMessageW(tb, WM_MOUSEMOVE, 1, Middle(tb, 0));
  EXPECT_TRUE(SendMessageW(tb, TB_ISBUTTONPRESSED, 307, 0));
  SendMessageW(tb, TB_ENABLEBUTTON, 307, FALSE);
  heard_.commands.clear();
  SendMessageW(tb, WM_LBUTTONUP, 0, Middle(tb, 0));
  EXPECT_TRUE(heard_.commands.empty());

  // A check button turns over with each click.
  for (BOOL checked : {TRUE, FALSE}) {
    SendMessageW(tb, WM_LBUTTONDOWN, 1, Middle(tb, 3));
    SendMessageW(tb, WM_LBUTTONUP, 0, Middle(tb, 3));
    EXPECT_EQ(SendMessageW(tb, TB_ISBUTTONCHECKED, 309, 0), checked);
  }

  // TB_SETPARENT sends the commands elsewhere.
  HWND other = CreateWindowW(u"ToolbarTestParent", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(tb, TB_SETPARENT, reinterpret_cast<WPARAM>(other), 0)), parent_);
  heard_.commands.clear();
  ASSERT_TRUE(platform::PressToolbarButton(tb, 310));
  ASSERT_EQ(heard_.commands.size(), 1u);
  EXPECT_EQ(heard_.commands[0].first, 310u) << "heard by the other window, with the same procedure";
  EXPECT_EQ(reinterpret_cast<HWND>(SendMessageW(tb, TB_SETPARENT, 0, 0)), other);
  DestroyWindow(other);
}

TEST_F(ToolbarTest, TipIsTheParentsAnswerOnlyWithTheTipStyle) {
  HWND plain = Make(TBSTYLE_FLAT);
  EXPECT_EQ(platform::ToolbarButtonTip(plain, 307), u"");
  EXPECT_TRUE(heard_.tips.empty()) << "without TBSTYLE_TOOLTIPS the parent is not asked";

  HWND tb = Make(TBSTYLE_FLAT | TBSTYLE_TOOLTIPS);
  struct Case {
    int command;            // button
    std::u16string tip;     // expected tip
  };
  const Case cases[] = {
      {307, u"Save Template"},    // a pointer to the text
      {308, u"Delete Template"},  // copied into szText
      {309, u"seventeen"},        // a string resource
      {310, u""},                 // no answer
  };
  for (const Case& c : cases) {
    heard_.tips.clear();
    EXPECT_EQ(platform::ToolbarButtonTip(tb, c.command), c.tip) << c.command;
    ASSERT_EQ(heard_.tips.size(), 1u);
    EXPECT_EQ(heard_.tips[0], std::make_pair(static_cast<UINT_PTR>(c.command), static_cast<LPARAM>(1000 + c.command)))
        << "idFrom is the command, lParam the button's data";
  }
  heard_.tips.clear();
  EXPECT_EQ(platform::ToolbarButtonTip(tb, 4242), u"");
  EXPECT_TRUE(heard_.tips.empty()) << "no such button: nobody is asked";
}

}  // namespace
