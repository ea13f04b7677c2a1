// Message boxes: the application record and its hooks, the unattended
// hook's answers, the platform box's centring, and the custom box's button
// sets, layout, Escape handling, details pane and check box, driven by the
// scripted front end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "platform/user/frontend.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/user/menu.h"
#include "platform/kernel/module.h"
#include "platform/user/windows.h"

namespace {

constexpr LPCWSTR kClass = u"WuMsgBoxTestClass";
constexpr LPCWSTR kCaption = u"Orvo Test";

// What the recording hooks saw.
struct Seen {
  int calls = 0;                 // hook calls
  HWND owner = nullptr;          // last owner
  std::u16string text;           // last text
  bool caption_null = false;     // last caption was NULL
  std::u16string caption;        // last caption
  UINT style = 0;                // last style
  int answer = -1;               // what the hook answers
};

int RecordingHook(void* data, HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  Seen* seen = static_cast<Seen*>(data);
  ++seen->calls;
  seen->owner = owner;
  seen->text = text ? text : u"";
  seen->caption_null = caption == nullptr;
  seen->caption = caption ? caption : u"";
  seen->style = style;
  return seen->answer;
}

std::vector<std::u16string> g_notes;  // texts the no-UI hook reported
void Note(LPCWSTR text) { g_notes.push_back(text); }

RECT ChildRect(HWND dialog, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}
RECT ItemRect(HWND dialog, int id) { return ChildRect(dialog, GetDlgItem(dialog, id)); }
bool Overlap(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}
LONG Height(const RECT& r) { return r.bottom - r.top; }

// The custom box as a test sees it.
struct Layout {
  RECT client{};                      // client area
  RECT window{};                      // window rectangle (screen)
  std::vector<int> ids;               // visible push buttons, left to right
  std::vector<std::u16string> labels; // their labels without mnemonics
  std::vector<RECT> rects;            // their rectangles (client coordinates)
  int default_id = 0;                 // the default push button
};

// Reads the box and checks the relations every layout keeps: visible
// controls inside the client area and not overlapping, buttons in one row of equal size and step.
Layout ReadLayout(HWND dialog) {
  Layout out;
  GetClientRect(dialog, &out.client);
  GetWindowRect(dialog, &out.window);
  out.default_id = platform::DefaultButtonId(dialog);
  for (const platform::ControlInfo& c : platform::DescribeDialog(dialog)) {
    if (c.kind != platform::ControlKind::kPushButton) continue;
    out.ids.push_back(c.id);
    out.labels.push_back(platform::StripMnemonics(c.text));
    out.rects.push_back(ChildRect(dialog, c.hwnd));
  }
  std::vector<RECT> shown;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c)) continue;
    RECT r = ChildRect(dialog, c);
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, out.client.right) << "control " << GetDlgCtrlID(c);
    EXPECT_LE(r.bottom, out.client.bottom) << "control " << GetDlgCtrlID(c);
    for (const RECT& other : shown) EXPECT_FALSE(Overlap(r, other)) << "control " << GetDlgCtrlID(c);
    shown.push_back(r);
  }
  for (size_t i = 1; i < out.rects.size(); ++i) {
    EXPECT_EQ(out.rects[i].top, out.rects[0].top);
    EXPECT_EQ(out.rects[i].right - out.rects[i].left, out.rects[0].right - out.rects[0].left);
    EXPECT_EQ(out.rects[i].left - out.rects[i - 1].left, out.rects[1].left - out.rects[0].left);
  }
  return out;
}

LONG LeftGap(const Layout& l) { return l.rects.front().left; }
LONG RightGap(const Layout& l) { return l.client.right - l.rects.back().right; }

class WuMsgBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = kClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    live_before_ = platform::LiveWindowCount();
    ASSERT_TRUE(WuMsgBoxSetAppData(nullptr, nullptr, kCaption));
    platform::SetFrontEnd(&script_);
    g_notes.clear();
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuMsgBoxSetAppData(nullptr, nullptr, nullptr);
    if (main_) DestroyWindow(main_);
    EXPECT_TRUE(script_.errors().empty());
    EXPECT_TRUE(script_.Done());
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << "windows leaked";
    UnregisterClassW(kClass, nullptr);
  }
  // A visible main window at a known place, registered as the default owner.
  HWND MakeMain() {
    main_ = CreateWindowExW(0, kClass, u"Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 90, 600, 450, nullptr,
                            nullptr, nullptr, nullptr);
    EXPECT_NE(main_, nullptr);
    WuMsgBoxSetAppData(nullptr, main_, kCaption);
    return main_;
  }

  platform::ScriptedFrontEnd script_;
  HWND main_ = nullptr;
  size_t live_before_ = 0;
};

// ---- Application record and hooks ----------------------------------------------------------

TEST_F(WuMsgBoxTest, DefaultCaptionIsBoundedAndClearedWithTheRecord) {
  std::u16string long_caption(300, u'c');
  long_caption[0] = u'A';
  ASSERT_TRUE(WuMsgBoxSetAppData(nullptr, nullptr, long_caption.c_str()));
  EXPECT_EQ(std::u16string(WuMsgBox_GetDefaultCaption()), long_caption.substr(0, 127));

  Seen seen;
  ASSERT_TRUE(WuMsgBoxSetHook(RecordingHook, &seen));
  WuMsgBoxSetAppData(nullptr, nullptr, nullptr);  // clears the hook too
  EXPECT_EQ(std::u16string(WuMsgBox_GetDefaultCaption()), u"");
  script_.Answer(IDOK);
  EXPECT_EQ(WuMessageBox(nullptr, u"shown", u"Plain", MB_OK), IDOK);
  EXPECT_EQ(seen.calls, 0);
}

TEST_F(WuMsgBoxTest, HookSeesResolvedOwnerAndCaptionAsGiven) {
  Seen seen;
  seen.answer = IDRETRY;
  ASSERT_TRUE(WuMsgBoxSetHook(RecordingHook, &seen));
  seen.owner = reinterpret_cast<HWND>(1);
  EXPECT_EQ(WuMessageBox(nullptr, u"t", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(seen.owner, nullptr);  // no main window

  // The main window's last active pop-up owns a box without owner.
  HWND main = MakeMain();
  ASSERT_TRUE(WuMsgBoxSetHook(RecordingHook, &seen));
  EXPECT_EQ(WuMessageBox(nullptr, u"t", nullptr, MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(seen.owner, main);
  EXPECT_TRUE(seen.caption_null);
  HWND popup = CreateWindowExW(0, kClass, u"Tool", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, main, nullptr, nullptr,
                               nullptr);
  SetActiveWindow(popup);
  WuMessageBox(nullptr, u"t", nullptr, MB_OK);
  EXPECT_EQ(seen.owner, popup);
  EXPECT_EQ(WuMessageBox(reinterpret_cast<HWND>(-1), u"t", u"Given", MB_OK), IDRETRY);
  EXPECT_EQ(seen.owner, nullptr);
  EXPECT_EQ(seen.caption, u"Given");

  // Formatting only when the format asks for it; a plain text of any length
  // passes whole.
  EXPECT_EQ(WuMsgBox(nullptr, MB_OK, u"%d files, 100%%", 3), IDRETRY);
  EXPECT_EQ(seen.text, u"3 files, 100%");
  std::u16string plain(5000, u'x');
  WuMsgBox(nullptr, MB_OK, plain.c_str());
  EXPECT_EQ(seen.text, plain);
  HWULANG lang = nullptr;
  ASSERT_EQ(WuLang_Open(&lang, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
  EXPECT_EQ(WuMsgBoxId(lang, nullptr, MB_OK, 1), IDRETRY);
  EXPECT_EQ(seen.text, u"main one");
  WuLang_Close(lang);

  // The custom box asks with the default caption; details ride along.
  EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_OK | WUMB_DETAILS, u"line 1", u"Failed %d", 7), IDRETRY);
  EXPECT_EQ(seen.text, u"Failed 7\r\n<Details>\r\nline 1\r\n</Details>");
  EXPECT_EQ(seen.caption, kCaption);
  EXPECT_EQ(seen.style, MB_OK | WUMB_DETAILS);

  // A hook answering -1 lets the box be shown.
  seen.answer = -1;
  script_.Answer(IDNO);
  EXPECT_EQ(WuMessageBox(nullptr, u"shown", nullptr, MB_YESNO), IDNO);
  ASSERT_EQ(script_.shown().size(), 1u);
  EXPECT_EQ(script_.shown()[0].title, kCaption);
}

TEST_F(WuMsgBoxTest, MissingDetailsOrCheckStateAnswerZeroWithoutAsking) {
  Seen seen;
  seen.answer = IDOK;
  ASSERT_TRUE(WuMsgBoxSetHook(RecordingHook, &seen));
  EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_OK | WUMB_DETAILS, nullptr, u"x"), 0);
  EXPECT_EQ(WuMsgBox_CustomEx(nullptr, MB_OK | WUMB_CHECKBOX, nullptr, nullptr, nullptr, u"x"), 0);
  EXPECT_EQ(seen.calls, 0);
}

TEST_F(WuMsgBoxTest, HookChangesAreRefusedFromOtherThreads) {
  Seen mine, theirs;
  mine.answer = IDYES;
  theirs.answer = IDNO;
  ASSERT_TRUE(WuMsgBoxSetHook(RecordingHook, &mine));
  BOOL set_hook = TRUE, set_noui = TRUE, clear_noui = TRUE;
  std::thread other([&] {
    set_hook = WuMsgBoxSetHook(RecordingHook, &theirs);
    set_noui = WuMsgBoxSetNoUIHook(Note);
    clear_noui = WuMsgBoxSetNoUIHook(nullptr);
  });
  other.join();
  EXPECT_FALSE(set_hook);
  EXPECT_FALSE(set_noui);
  EXPECT_FALSE(clear_noui);
  // Removing the no-UI hook leaves any other hook in place.
  EXPECT_TRUE(WuMsgBoxSetNoUIHook(nullptr));
  EXPECT_EQ(WuMessageBox(nullptr, u"t", nullptr, MB_YESNO), IDYES);
  EXPECT_EQ(mine.calls, 1);
  EXPECT_EQ(theirs.calls, 0);
}

// ---- The no-UI hook -----------------------------------------------------------------------

TEST_F(WuMsgBoxTest, NoUIHookAnswersWithTheDefaultButtonOfEachSet) {
  struct Case {
    UINT set;                  // button set
    std::vector<int> answers;  // answer per default index
  };
  const Case cases[] = {
      {MB_OK, {IDOK}},
      {MB_OKCANCEL, {IDOK, IDCANCEL}},
      {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
      {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
      {MB_YESNO, {IDYES, IDNO}},
      {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
      {WUMB_YESYESALLNOCANCEL, {IDYES, WUIDYESTOALL, IDNO, IDCANCEL}},
      {WUMB_YESNODELETE, {IDYES, IDNO, WUIDDELETE}},
      {WUMB_YESNONOALLCANCEL, {IDYES, IDNO, WUIDNOTOALL, IDCANCEL}},
      {WUMB_YESYESALLNONOALLCANCEL, {IDYES, WUIDYESTOALL, IDNO, WUIDNOTOALL, IDCANCEL}},
  };
  ASSERT_TRUE(WuMsgBoxSetNoUIHook(Note));
  for (const Case& c : cases) {
    for (size_t d = 0; d < c.answers.size(); ++d) {
      UINT style = c.set | static_cast<UINT>(d << 8) | MB_ICONQUESTION;
      g_notes.clear();
      EXPECT_EQ(WuMessageBox(nullptr, u"Question?", nullptr, style), c.answers[d]) << "set " << c.set << " d " << d;
      EXPECT_EQ(WuMsgBox_Custom(nullptr, style, nullptr, u"Question?"), c.answers[d]) << "set " << c.set;
      EXPECT_EQ(g_notes, (std::vector<std::u16string>{u"Question?", u"Question?"}));
    }
  }
  // The OK set and the platform-only sets answer OK whatever the index.
  for (UINT style : {MB_OK | MB_DEFBUTTON4, 7u, 9u | MB_DEFBUTTON2})
    EXPECT_EQ(WuMessageBox(nullptr, u"t", nullptr, style), IDOK) << style;
  EXPECT_TRUE(script_.shown().empty());
}

TEST_F(WuMsgBoxTest, NoUIHookShowsTheBoxForAnIndexBeyondTheButtons) {
  ASSERT_TRUE(WuMsgBoxSetNoUIHook(Note));
  script_.Answer(IDNO);
  EXPECT_EQ(WuMessageBox(nullptr, u"Overwrite?", nullptr, MB_YESNOCANCEL | MB_DEFBUTTON4), IDNO);
  EXPECT_EQ(g_notes, (std::vector<std::u16string>{
                         u"Overwrite?", u"Invalid Message Box parameter...User intervention is needed!!!!"}));
  ASSERT_EQ(script_.shown().size(), 1u);
  EXPECT_TRUE(script_.shown()[0].message_box);
}

TEST_F(WuMsgBoxTest, NoUIHookAnswersZeroOnOtherThreads) {
  ASSERT_TRUE(WuMsgBoxSetNoUIHook(Note));
  int answer = -5, custom = -5;
  std::thread other([&] {
    answer = WuMessageBox(nullptr, u"t", nullptr, MB_OKCANCEL);
    custom = WuMsgBox_Custom(nullptr, WUMB_YESNODELETE, nullptr, u"t");
  });
  other.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(custom, 0);
  EXPECT_TRUE(g_notes.empty());
  EXPECT_TRUE(script_.shown().empty());
}

// ---- The platform box's centring ----------------------------------------------------------

TEST_F(WuMsgBoxTest, PlatformBoxIsCentredAThirdDownExceptTheSystemModalStopBox) {
  RECT owner{};
  GetWindowRect(MakeMain(), &owner);
  auto top_of = [&](UINT style) {
    RECT box{};
    script_.Run([&](HWND b) { GetWindowRect(b, &box); }).Answer(IDOK);
    EXPECT_EQ(WuMessageBox(nullptr, u"Where am I?", nullptr, style), IDOK);
    EXPECT_LE(std::abs((box.left + box.right) / 2 - (owner.left + owner.right) / 2), 1);
    return std::make_pair(box.top, Height(box));
  };
  auto [third_top, h1] = top_of(MB_OK | MB_ICONHAND);
  EXPECT_EQ(third_top, owner.top + Height(owner) / 3 - h1 / 3);
  auto [centre_top, h2] = top_of(MB_SYSTEMMODAL | MB_ICONHAND);
  EXPECT_EQ(centre_top, owner.top + (Height(owner) - h2) / 2);
  // The hook went with its box: the next box is centred a third down again.
  auto [again_top, h3] = top_of(MB_OK | MB_ICONHAND);
  EXPECT_EQ(again_top, owner.top + Height(owner) / 3 - h3 / 3);
}

// ---- The custom box -------------------------------------------------------------------------

TEST_F(WuMsgBoxTest, CustomBoxOffersEachSetCentredWithTheDefaultClamped) {
  struct Case {
    UINT style;                          // style word
    std::vector<std::u16string> labels;  // buttons, left to right
    int default_id;                      // the default button
  };
  const Case cases[] = {
      {MB_OK, {u"OK"}, IDOK},
      {MB_OKCANCEL | MB_DEFBUTTON2, {u"OK", u"Cancel"}, IDCANCEL},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, {u"Abort", u"Retry", u"Ignore"}, IDIGNORE},
      {MB_YESNOCANCEL, {u"Yes", u"No", u"Cancel"}, IDYES},
      {MB_YESNO | MB_DEFBUTTON4, {u"Yes", u"No"}, IDNO},
      {MB_RETRYCANCEL, {u"Retry", u"Cancel"}, IDRETRY},
      {WUMB_YESYESALLNOCANCEL | MB_DEFBUTTON2, {u"Yes", u"Yes to All", u"No", u"Cancel"}, WUIDYESTOALL},
      {WUMB_YESNODELETE, {u"Yes", u"No", u"Delete"}, IDYES},
      {WUMB_YESNONOALLCANCEL | MB_DEFBUTTON3, {u"Yes", u"No", u"No to All", u"Cancel"}, WUIDNOTOALL},
      {WUMB_YESYESALLNONOALLCANCEL | 0xF00, {u"Yes", u"Yes to All", u"No", u"No to All", u"Cancel"}, IDCANCEL},
      {7 | MB_DEFBUTTON2, {u"OK"}, IDOK},  // unknown set: OK alone
  };
  for (const Case& c : cases) {
    Layout layout;
    script_.Run([&](HWND box) { layout = ReadLayout(box); }).Press(c.default_id);
    EXPECT_EQ(WuMsgBox_Custom(nullptr, c.style | MB_ICONEXCLAMATION, nullptr, u"Replace %s?", u"a.txt"),
              c.default_id);
    EXPECT_EQ(layout.labels, c.labels) << "style " << c.style;
    EXPECT_EQ(layout.default_id, c.default_id) << "style " << c.style;
    EXPECT_LE(std::abs(LeftGap(layout) - RightGap(layout)), 1) << "style " << c.style;
  }
  auto shown = script_.shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().title, kCaption);
  EXPECT_NE(std::find(shown.back().texts.begin(), shown.back().texts.end(), u"Replace a.txt?"),
            shown.back().texts.end());
}

TEST_F(WuMsgBoxTest, EscapeIsIgnoredWithoutCancelAndIsOkForTheOkSet) {
  UINT close_state = 0;
  script_.Run([&](HWND box) {
           close_state = GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND);
           SendMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
         })
      .Escape()
      .Press(WUIDDELETE);
  EXPECT_EQ(WuMsgBox_Custom(nullptr, WUMB_YESNODELETE, nullptr, u"Delete it?"), WUIDDELETE);
  EXPECT_NE(close_state & MF_GRAYED, 0u);

  // The platform box behaves alike.
  close_state = 0;
  script_.Run([&](HWND box) { close_state = GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND); })
      .Escape()
      .Press(IDNO);
  EXPECT_EQ(WuMessageBox(nullptr, u"Keep?", nullptr, MB_YESNO), IDNO);
  EXPECT_NE(close_state & MF_GRAYED, 0u);

  script_.Escape();
  EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_OK, nullptr, u"Done."), IDOK);
  script_.Escape();
  EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_YESNOCANCEL, nullptr, u"Save?"), IDCANCEL);
}

TEST_F(WuMsgBoxTest, DetailsButtonTogglesThePaneByGrowingTheWindow) {
  Layout collapsed, expanded, again;
  RECT pane{};
  bool shown_collapsed = true, shown_expanded = false;
  std::u16string pane_text(64, 0), label_open, label_closed;
  auto read = [&](Layout* l, std::u16string* label, bool* shown) {
    return [=, &pane](HWND box) {
      *l = ReadLayout(box);
      pane = ItemRect(box, WUMB_ID_PANE);
      if (shown) *shown = IsWindowVisible(GetDlgItem(box, WUMB_ID_PANE));
      if (label) *label = platform::WindowText(GetDlgItem(box, WUMB_ID_DETAILS));
    };
  };
  script_.Run(read(&collapsed, &label_closed, &shown_collapsed))
      .Run([&](HWND box) { GetDlgItemTextW(box, WUMB_ID_PANE, pane_text.data(), 64); })
      .Press(WUMB_ID_DETAILS)
      .Run(read(&expanded, &label_open, &shown_expanded))
      .Press(WUMB_ID_DETAILS)
      .Run(read(&again, nullptr, nullptr))
      .Press(IDRETRY);
  EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_RETRYCANCEL | WUMB_DETAILS | MB_ICONHAND, u"errno 5", u"Cannot read."),
            IDRETRY);

  EXPECT_EQ(collapsed.labels, (std::vector<std::u16string>{u"Retry", u"Cancel", u"Details >>"}));
  EXPECT_EQ(label_closed, u"&Details >>");
  EXPECT_EQ(label_open, u"No &Details");
  EXPECT_EQ(std::u16string(pane_text.c_str()), u"errno 5");
  EXPECT_FALSE(shown_collapsed);
  EXPECT_TRUE(shown_expanded);
  // The pane is as wide as the client less two margins and shows once the
  // window has grown by its height plus two margins.
  const LONG margin_x = pane.left, margin_y = pane.top - collapsed.client.bottom;
  EXPECT_GT(margin_y, 0);
  EXPECT_EQ(pane.right, expanded.client.right - margin_x);
  EXPECT_EQ(Height(expanded.window) - Height(collapsed.window), Height(pane) + 2 * margin_y);
  EXPECT_EQ(expanded.client.bottom - pane.bottom, margin_y);
  EXPECT_GE(collapsed.client.right - collapsed.client.left, GetSystemMetrics(SM_CXSCREEN) * 3 / 8);
  EXPECT_EQ(again.window.bottom, collapsed.window.bottom);
  ASSERT_EQ(again.rects.size(), collapsed.rects.size());
  for (size_t i = 0; i < again.rects.size(); ++i) EXPECT_TRUE(EqualRect(&again.rects[i], &collapsed.rects[i]));
}

TEST_F(WuMsgBoxTest, CheckBoxSitsAboveRightAlignedButtonsAndReportsItsState) {
  BOOL state = TRUE;
  Layout layout;
  RECT check{}, text{}, icon{};
  std::u16string check_text;
  DWORD check_style = 0;
  auto look = [&](HWND box) {
    layout = ReadLayout(box);
    check = ItemRect(box, WUMB_ID_CHECK);
    text = ItemRect(box, WUMB_ID_TEXT);
    icon = ItemRect(box, WUMB_ID_ICON);
    check_text = platform::WindowText(GetDlgItem(box, WUMB_ID_CHECK));
    check_style = static_cast<DWORD>(GetWindowLongW(GetDlgItem(box, WUMB_ID_CHECK), GWL_STYLE));
    EXPECT_EQ(IsDlgButtonChecked(box, WUMB_ID_CHECK), static_cast<UINT>(state ? BST_CHECKED : BST_UNCHECKED));
  };
  script_.Run(look).Check(WUMB_ID_CHECK, false).Press(IDNO);
  EXPECT_EQ(WuMsgBox_CustomEx(nullptr, MB_YESNO | MB_ICONQUESTION | WUMB_CHECKBOX, nullptr, nullptr, &state,
                              u"Keep the file?"),
            IDNO);
  EXPECT_FALSE(state);
  EXPECT_EQ(check_text, u"Do no&t show this message again.");
  EXPECT_EQ(check_style & BS_MULTILINE, 0u);
  EXPECT_EQ(check.left, text.left);
  EXPECT_LT(check.bottom, layout.rects[0].top);
  EXPECT_GT(check.top, text.bottom - 1);
  EXPECT_EQ(RightGap(layout), icon.left);  // one margin from the right
  EXPECT_GT(LeftGap(layout), RightGap(layout));

  // A text of several lines makes a multi-line check box; the state is
  // kept for any answer.
  state = FALSE;
  script_.Run(look).Check(WUMB_ID_CHECK, true).Press(IDOK);
  EXPECT_EQ(WuMsgBox_CustomEx(nullptr, MB_OK | WUMB_CHECKBOX, nullptr, u"Remember\nthis choice", &state, u"Hi"),
            IDOK);
  EXPECT_NE(check_style & BS_MULTILINE, 0u);
  EXPECT_TRUE(state);
}

TEST_F(WuMsgBoxTest, LongTextStaysOnTheScreen) {
  std::u16string many;
  for (int i = 0; i < 400; ++i) many += u"A line of the message\n";
  std::u16string wide(3000, u'W');
  for (const std::u16string& text : {many, wide}) {
    Layout layout;
    script_.Run([&](HWND box) { layout = ReadLayout(box); }).Press(IDOK);
    EXPECT_EQ(WuMsgBox_Custom(nullptr, MB_OK, nullptr, text.c_str()), IDOK);
    EXPECT_LE(layout.window.right - layout.window.left, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_LE(layout.window.bottom - layout.window.top, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_GE(layout.window.left, 0);
  }
}

// ---- Dialog font ---------------------------------------------------------------------------

TEST_F(WuMsgBoxTest, DlgInitFontLeavesWesternDialogsAlone) {
  HWND dialog = CreateWindowExW(0, kClass, u"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  HWND a = CreateWindowExW(0, WC_STATICW, u"a", WS_CHILD, 0, 0, 10, 10, dialog, nullptr, nullptr, nullptr);
  HWND b = CreateWindowExW(0, WC_BUTTONW, u"b", WS_CHILD, 0, 20, 10, 10, a, nullptr, nullptr, nullptr);
  HFONT font = static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
  platform::SetAnsiCodePage(1252);
  EXPECT_FALSE(WuDlgInitFont(dialog, font));
  EXPECT_NE(reinterpret_cast<HFONT>(SendMessageW(a, WM_GETFONT, 0, 0)), font);
  platform::SetAnsiCodePage(CP_UTF8);
  EXPECT_TRUE(WuDlgInitFont(dialog, font));
  platform::SetAnsiCodePage(1252);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(a, WM_GETFONT, 0, 0)), font);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(b, WM_GETFONT, 0, 0)), font);
  DestroyWindow(dialog);
}

}  // namespace
