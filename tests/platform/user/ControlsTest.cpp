// The standard and common controls: what their messages do and which
// notifications reach the parent.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/comctl/commctrl.h"
#include "platform/user/frontend.h"
#include "platform/kernel/locale.h"
#include "platform/user/windows.h"

namespace {

// Notifications the parent received: (id, code) of WM_COMMAND, or
// (id, code) of WM_NOTIFY.
std::vector<std::pair<int, UINT>>* g_notes = nullptr;
LRESULT g_notify_answer = 0;  // what the parent answers to WM_NOTIFY

LRESULT ParentProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COMMAND && g_notes) g_notes->emplace_back(LOWORD(wparam), HIWORD(wparam));
  if (message == WM_NOTIFY && g_notes) {
    auto* header = reinterpret_cast<NMHDR*>(lparam);
    g_notes->emplace_back(static_cast<int>(header->idFrom), header->code);
    return g_notify_answer;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = ParentProc;
    wc.lpszClassName = u"ControlsParent";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    parent_ = CreateWindowExW(0, u"ControlsParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                              nullptr, nullptr);
    g_notes = &notes_;
    g_notify_answer = 0;
    live_before_ = platform::LiveWindowCount();
  }
  void TearDown() override {
    g_notes = nullptr;
    DestroyWindow(parent_);
    UnregisterClassW(u"ControlsParent", nullptr);
    EXPECT_EQ(platform::LiveWindowCount(), live_before_ - 1) << "the controls went with their parent";
  }
  HWND Make(LPCWSTR cls, DWORD style, int id, LPCWSTR text = u"") {
    HWND h = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 120, 24, parent_,
                             reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    EXPECT_TRUE(h);
    notes_.clear();
    return h;
  }
  static std::u16string Text(HWND h) { return platform::WindowText(h); }
  HWND parent_ = nullptr;
  std::vector<std::pair<int, UINT>> notes_;
  size_t live_before_ = 0;
};

using Notes = std::vector<std::pair<int, UINT>>;

TEST_F(ControlsTest, ButtonClicksCheckAndNotify) {
  struct Case {
    DWORD style;
    std::vector<LRESULT> checks;  // BM_GETCHECK after each of three clicks
  };
  const Case cases[] = {{BS_PUSHBUTTON, {0, 0, 0}},
                        {BS_AUTOCHECKBOX, {1, 0, 1}},
                        {BS_AUTO3STATE, {1, 2, 0}},
                        {BS_CHECKBOX, {0, 0, 0}}};  // not automatic: the parent decides
  for (const Case& c : cases) {
    HWND b = Make(WC_BUTTONW, c.style, 10);
    for (LRESULT want : c.checks) {
      SendMessageW(b, BM_CLICK, 0, 0);
      EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), want) << c.style;
    }
    EXPECT_EQ(notes_, Notes(3, {10, BN_CLICKED})) << c.style;
    notes_.clear();
    EnableWindow(b, FALSE);
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_TRUE(notes_.empty()) << "a disabled button does not click";
    DestroyWindow(b);
  }
  // Automatic radio buttons uncheck the others of their group only.
  HWND r1 = Make(WC_BUTTONW, BS_AUTORADIOBUTTON | WS_GROUP, 1);
  HWND r2 = Make(WC_BUTTONW, BS_AUTORADIOBUTTON, 2);
  HWND r3 = Make(WC_BUTTONW, BS_AUTORADIOBUTTON | WS_GROUP, 3);
  SendMessageW(r3, BM_SETCHECK, BST_CHECKED, 0);
  SendMessageW(r1, BM_CLICK, 0, 0);
  SendMessageW(r2, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(SendMessageW(r3, BM_GETCHECK, 0, 0), BST_CHECKED) << "another group";
  CheckRadioButton(parent_, 1, 3, 1);
  EXPECT_EQ(IsDlgButtonChecked(parent_, 1), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(parent_, 3), BST_UNCHECKED);
}

TEST_F(ControlsTest, EditLimitSelectionAndReplacement) {
  HWND e = Make(WC_EDITW, ES_AUTOHSCROLL, 20);
  SendMessageW(e, EM_LIMITTEXT, 8, 0);
  SetWindowTextW(e, u"C:\\Temp\\OrvoInstall_1");  // not cut: the limit is for typing
  EXPECT_EQ(Text(e).size(), 21u);
  EXPECT_EQ(notes_, (Notes{{20, EN_UPDATE}, {20, EN_CHANGE}}));
  SetWindowTextW(e, u"abc");
  DWORD start = 9, end = 9;
  SendMessageW(e, EM_SETSEL, 0, -1);
  SendMessageW(e, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);
  SendMessageW(e, EM_SETSEL, 1, 2);
  notes_.clear();
  SendMessageW(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"XYZXYZXYZ"));
  EXPECT_EQ(Text(e), u"aXYZXYZc") << "cut to the limit of 8";
  EXPECT_EQ(notes_.front(), std::make_pair(20, static_cast<UINT>(EN_MAXTEXT)));
  EXPECT_EQ(notes_.back(), std::make_pair(20, static_cast<UINT>(EN_CHANGE)));
  EXPECT_EQ(SendMessageW(e, EM_GETSEL, 0, 0), MAKELRESULT(7, 7)) << "the caret after the insertion";

  // Typing honours read-only and ES_NUMBER; EM_REPLACESEL does not care
  // about read-only.
  SendMessageW(e, EM_SETREADONLY, TRUE, 0);
  SendMessageW(e, WM_CHAR, u'q', 0);
  EXPECT_EQ(Text(e), u"aXYZXYZc");
  SendMessageW(e, EM_SETSEL, 0, -1);
  SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"ok"));
  EXPECT_EQ(Text(e), u"ok");
  HWND n = Make(WC_EDITW, ES_NUMBER, 21);
  for (char16_t c : std::u16string(u"1a2")) SendMessageW(n, WM_CHAR, c, 0);
  SendMessageW(n, WM_CHAR, 8, 0);  // backspace
  EXPECT_EQ(Text(n), u"1");

  HWND m = Make(WC_EDITW, ES_MULTILINE, 22);
  SetWindowTextW(m, u"one\r\ntwo\r\nthree");
  EXPECT_EQ(SendMessageW(m, EM_GETLINECOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(m, EM_LINEINDEX, 2, 0), 10);
  EXPECT_EQ(SendMessageW(m, EM_LINELENGTH, 10, 0), 5);
  EXPECT_EQ(SendMessageW(m, EM_LINEFROMCHAR, 6, 0), 1);
  WCHAR line[8] = {4};  // room for four characters
  EXPECT_EQ(SendMessageW(m, EM_GETLINE, 2, reinterpret_cast<LPARAM>(line)), 4);
  EXPECT_EQ(std::u16string(line, 4), u"thre");
}

TEST_F(ControlsTest, ListBoxItemsSortingAndSearch) {
  HWND l = Make(WC_LISTBOXW, LBS_SORT | LBS_NOTIFY, 30);
  for (const char16_t* s : {u"delta", u"Alpha", u"charlie", u"bravo"}) SendMessageW(l, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
  std::vector<std::u16string> items;
  for (int i = 0; i < SendMessageW(l, LB_GETCOUNT, 0, 0); ++i) {
    WCHAR buffer[16];
    SendMessageW(l, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer));
    items.push_back(buffer);
  }
  EXPECT_EQ(items, (std::vector<std::u16string>{u"Alpha", u"bravo", u"charlie", u"delta"}));
  struct Find {
    UINT message;
    LONG start;
    const char16_t* text;
    LRESULT want;
  };
  const Find finds[] = {{LB_FINDSTRING, -1, u"CH", 2},     {LB_FINDSTRING, 2, u"a", 0},  // wraps round
                        {LB_FINDSTRINGEXACT, -1, u"bra", LB_ERR}, {LB_FINDSTRINGEXACT, -1, u"BRAVO", 1}};
  for (const Find& f : finds)
    EXPECT_EQ(SendMessageW(l, f.message, static_cast<WPARAM>(f.start), reinterpret_cast<LPARAM>(f.text)), f.want)
        << platform::ToUtf8(f.text);
  EXPECT_EQ(SendMessageW(l, LB_SETCURSEL, 3, 0), 3);
  SendMessageW(l, LB_DELETESTRING, 1, 0);
  EXPECT_EQ(SendMessageW(l, LB_GETCURSEL, 0, 0), 2) << "the selection moves with its item";
  SendMessageW(l, LB_DELETESTRING, 2, 0);
  EXPECT_EQ(SendMessageW(l, LB_GETCURSEL, 0, 0), LB_ERR);
  EXPECT_EQ(SendMessageW(l, LB_GETTEXT, 9, 0), LB_ERR);
  EXPECT_TRUE(notes_.empty()) << "programmatic changes do not notify";
  EXPECT_TRUE(platform::PickInControl(l, 1));
  EXPECT_EQ(notes_, (Notes{{30, LBN_SELCHANGE}})) << "a person's choice does";
}

TEST_F(ControlsTest, ComboBoxSelectionTextAndDropState) {
  HWND c = Make(WC_COMBOBOXW, CBS_DROPDOWNLIST, 40);
  SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"English"));
  SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"Deutsch"));
  EXPECT_EQ(SendMessageW(c, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"Espanol")), 0);
  EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), CB_ERR);
  EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 2, 0), 2);
  EXPECT_EQ(Text(c), u"Deutsch") << "the selection shows as the text";
  EXPECT_EQ(SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"espanol")), TRUE);
  EXPECT_EQ(SendMessageW(c, CB_GETCURSEL, 0, 0), 0) << "a drop-down list can only show its items";
  EXPECT_EQ(SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"Klingon")), CB_ERR);
  WCHAR buffer[16];
  EXPECT_EQ(SendMessageW(c, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buffer)), 7);
  EXPECT_EQ(std::u16string(buffer), u"English");
  EXPECT_EQ(SendMessageW(c, CB_SETCURSEL, 5, 0), CB_ERR);
  EXPECT_EQ(Text(c), u"") << "an invalid index clears the selection";

  SendMessageW(c, CB_SHOWDROPDOWN, TRUE, 0);
  SendMessageW(c, CB_SHOWDROPDOWN, TRUE, 0);
  EXPECT_TRUE(SendMessageW(c, CB_GETDROPPEDSTATE, 0, 0));
  SendMessageW(c, CB_SHOWDROPDOWN, FALSE, 0);
  EXPECT_EQ(notes_, (Notes{{40, CBN_DROPDOWN}, {40, CBN_CLOSEUP}})) << "only real changes notify";

  HWND editable = Make(WC_COMBOBOXW, CBS_DROPDOWN, 41);
  SetWindowTextW(editable, u"free text");
  EXPECT_EQ(Text(editable), u"free text");
  EXPECT_EQ(SendMessageW(editable, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(ControlsTest, ProgressBarRangeAndPosition) {
  HWND p = Make(PROGRESS_CLASSW, 0, 50);
  EXPECT_EQ(SendMessageW(p, PBM_SETRANGE, 0, MAKELPARAM(0, 65535)), MAKELRESULT(0, 100));
  PBRANGE range{};
  EXPECT_EQ(SendMessageW(p, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range)), 65535)
      << "a 16-bit high word holds counts up to 65,535";
  EXPECT_EQ(range.iLow, 0);
  struct Step {
    UINT message;
    WPARAM wparam;
    LRESULT returns;  // the old position
    LRESULT pos;      // the position after
  };
  SendMessageW(p, PBM_SETRANGE32, 10, 20);
  const Step steps[] = {
      {PBM_SETPOS, 15, 10, 15},   {PBM_SETPOS, 99, 15, 20},  // clamped
      {PBM_DELTAPOS, static_cast<WPARAM>(-30), 20, 10},
      {PBM_SETSTEP, 4, 10, 10},   {PBM_STEPIT, 0, 10, 14},   {PBM_STEPIT, 0, 14, 18},
      {PBM_STEPIT, 0, 18, 10},  // past the end: starts over
  };
  for (const Step& s : steps) {
    EXPECT_EQ(SendMessageW(p, s.message, s.wparam, 0), s.returns) << s.message << " " << s.wparam;
    EXPECT_EQ(SendMessageW(p, PBM_GETPOS, 0, 0), s.pos) << s.message << " " << s.wparam;
  }
}

TEST_F(ControlsTest, TabControlSelectionAndAdjustRect) {
  HWND t = Make(WC_TABCONTROLW, 0, 60);
  for (const char16_t* text : {u"General", u"Details", u"About"}) {
    TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(text), 0, -1, 0};
    SendMessageW(t, TCM_INSERTITEMW, 99, reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(SendMessageW(t, TCM_GETITEMCOUNT, 0, 0), 3);
  EXPECT_EQ(SendMessageW(t, TCM_GETCURSEL, 0, 0), 0) << "the first tab is selected";
  EXPECT_EQ(SendMessageW(t, TCM_SETCURSEL, 2, 0), 0);
  EXPECT_TRUE(notes_.empty());
  RECT display{10, 10, 200, 150};
  RECT window = display;
  SendMessageW(t, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&window));
  EXPECT_LT(window.top, display.top);
  SendMessageW(t, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&window));
  EXPECT_TRUE(EqualRect(&window, &display)) << "the two directions are inverse";

  g_notify_answer = TRUE;  // the parent refuses the change
  EXPECT_FALSE(platform::PickInControl(t, 1));
  EXPECT_EQ(SendMessageW(t, TCM_GETCURSEL, 0, 0), 2);
  g_notify_answer = FALSE;
  notes_.clear();
  EXPECT_TRUE(platform::PickInControl(t, 1));
  EXPECT_EQ(notes_, (Notes{{60, TCN_SELCHANGING}, {60, TCN_SELCHANGE}}));
  WCHAR text[16];
  TCITEMW item{TCIF_TEXT, 0, 0, text, 16, 0, 0};
  SendMessageW(t, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::u16string(text), u"Details");
}

TEST_F(ControlsTest, ToolbarIgnoresHiddenButtons) {
  HWND tb = Make(TOOLBARCLASSNAMEW, TBSTYLE_FLAT, 70);
  SendMessageW(tb, TB_BUTTONSTRUCTSIZE, 20, 0);
  TBBUTTON buttons[4] = {};
  const int ids[4] = {307, 0, 308, 309};
  for (int i = 0; i < 4; ++i) {
    buttons[i].idCommand = ids[i];
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = ids[i] ? BTNS_BUTTON : BTNS_SEP;
  }
  EXPECT_TRUE(SendMessageW(tb, TB_ADDBUTTONSW, 4, reinterpret_cast<LPARAM>(buttons)));
  EXPECT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 4);
  SIZE all{}, fewer{};
  SendMessageW(tb, TB_GETIDEALSIZE, FALSE, reinterpret_cast<LPARAM>(&all));
  RECT r308;
  ASSERT_TRUE(SendMessageW(tb, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r308)));
  SendMessageW(tb, TB_HIDEBUTTON, 308, TRUE);
  EXPECT_TRUE(SendMessageW(tb, TB_ISBUTTONHIDDEN, 308, 0));
  SendMessageW(tb, TB_GETIDEALSIZE, FALSE, reinterpret_cast<LPARAM>(&fewer));
  EXPECT_EQ(all.cx - fewer.cx, r308.right - r308.left);
  RECT r;
  EXPECT_FALSE(SendMessageW(tb, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)));
  ASSERT_TRUE(SendMessageW(tb, TB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r)));
  EXPECT_EQ(r.left, r308.left) << "309 moves into 308's place";
  EXPECT_EQ(SendMessageW(tb, TB_COMMANDTOINDEX, 309, 0), 3);
  TBBUTTON got{};
  ASSERT_TRUE(SendMessageW(tb, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&got)));
  EXPECT_EQ(got.idCommand, 307);
  EXPECT_EQ(SendMessageW(tb, TB_GETSTATE, 1234, 0), -1);
}

TEST_F(ControlsTest, TreeViewCaret) {
  HWND tv = Make(WC_TREEVIEWW, 0, 80);
  TVINSERTSTRUCTW insert{};
  insert.hParent = TVI_ROOT;
  insert.hInsertAfter = TVI_LAST;
  insert.item.mask = TVIF_TEXT;
  insert.item.pszText = const_cast<LPWSTR>(u"Root");
  auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tv, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  insert.hParent = root;
  insert.item.pszText = const_cast<LPWSTR>(u"Leaf");
  auto leaf = reinterpret_cast<HTREEITEM>(SendMessageW(tv, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
  ASSERT_TRUE(root && leaf);
  EXPECT_EQ(SendMessageW(tv, TVM_GETNEXTITEM, TVGN_CARET, 0), 0);
  EXPECT_EQ(SendMessageW(tv, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)),
            reinterpret_cast<LRESULT>(leaf));
  EXPECT_TRUE(SendMessageW(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(leaf)));
  EXPECT_EQ(SendMessageW(tv, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(leaf));
  EXPECT_EQ(notes_, (Notes{{80, TVN_SELCHANGINGW}, {80, TVN_SELCHANGEDW}}));
  g_notify_answer = TRUE;
  EXPECT_FALSE(SendMessageW(tv, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root)));
  EXPECT_EQ(SendMessageW(tv, TVM_GETNEXTITEM, TVGN_CARET, 0), reinterpret_cast<LRESULT>(leaf));
  SendMessageW(tv, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(root));
  EXPECT_EQ(SendMessageW(tv, TVM_GETNEXTITEM, TVGN_CARET, 0), 0) << "the caret went with its item";
  EXPECT_EQ(SendMessageW(tv, TVM_GETCOUNT, 0, 0), 0);
}

}  // namespace
