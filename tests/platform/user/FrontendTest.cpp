// The front ends: the scripted driver, the non-interactive defaults and the
// terminal front end driven through a pseudo-terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/common/PtyHarness.h"

#include "platform/comctl/commctrl.h"
#include "platform/user/frontend.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"

namespace {

struct Control {
  LPCWSTR cls;   // class
  LPCWSTR text;  // text
  DWORD style;   // extra style
  int id;        // id
};

// Builds a dialog window with its controls, initialises it and runs it
// modally.
INT_PTR RunDialog(LPCWSTR title, const std::vector<Control>& controls, DLGPROC proc, LPARAM param,
                  HWND owner = nullptr) {
  HWND dialog = CreateWindowExW(WS_EX_DLGMODALFRAME, WC_DIALOG, title, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0,
                                320, 40 + 26 * static_cast<int>(controls.size()), owner, nullptr, nullptr, nullptr);
  if (!dialog) return -1;
  SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
  int y = 6;
  for (const Control& c : controls) {
    CreateWindowExW(0, c.cls, c.text, WS_CHILD | WS_VISIBLE | c.style, 6, y, 280, 22, dialog,
                    reinterpret_cast<HMENU>(static_cast<uintptr_t>(c.id)), nullptr, nullptr);
    y += 26;
  }
  if (SendMessageW(dialog, WM_INITDIALOG, 0, param)) SetFocus(GetNextDlgTabItem(dialog, nullptr, FALSE));
  return platform::RunModalDialog(dialog, owner);
}

// What a dialog's fields held when OK was pressed.
struct Values {
  std::u16string name;
  UINT remember = 0;
  LRESULT language = -1;
};

INT_PTR FormProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    for (const char16_t* s : {u"English", u"Deutsch", u"Francais"})
      SendDlgItemMessageW(dialog, 103, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(dialog, 103, CB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    int id = LOWORD(wparam);
    if (id == IDOK) {
      auto* values = reinterpret_cast<Values*>(GetWindowLongPtrW(dialog, DWLP_USER));
      values->name = platform::WindowText(GetDlgItem(dialog, 101));
      values->remember = IsDlgButtonChecked(dialog, 102);
      values->language = SendDlgItemMessageW(dialog, 103, CB_GETCURSEL, 0, 0);
    }
    if (id == IDOK || id == IDCANCEL || id >= 2002) EndDialog(dialog, id);
    return TRUE;
  }
  return FALSE;
}

const std::vector<Control> kForm = {
    {WC_STATICW, u"Please enter your name.", 0, 100},
    {WC_STATICW, u"&Name:", 0, 110},
    {WC_EDITW, u"guest", WS_TABSTOP | WS_BORDER, 101},
    {WC_BUTTONW, u"&Remember me", WS_TABSTOP | BS_AUTOCHECKBOX, 102},
    {WC_STATICW, u"Language:", 0, 111},
    {WC_COMBOBOXW, u"", WS_TABSTOP | CBS_DROPDOWNLIST, 103},
    {WC_BUTTONW, u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK},
    {WC_BUTTONW, u"Cancel", WS_TABSTOP, IDCANCEL},
};

class FrontendTest : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = platform::LiveWindowCount(); }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << "windows leaked";
  }
  size_t live_before_ = 0;
};

TEST_F(FrontendTest, ScriptFillsAFormAndRecordsWhatWasShown) {
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  script.Type(101, u"Marie").Check(102, true).Pick(103, 2).Press(IDOK);
  Values values;
  EXPECT_EQ(RunDialog(u"Sign in", kForm, FormProc, reinterpret_cast<LPARAM>(&values)), IDOK);
  EXPECT_EQ(values.name, u"Marie");
  EXPECT_EQ(values.remember, BST_CHECKED);
  EXPECT_EQ(values.language, 2);
  EXPECT_TRUE(script.Done());
  EXPECT_TRUE(script.errors().empty());
  auto shown = script.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, u"Sign in");
  EXPECT_FALSE(shown[0].open);
  EXPECT_EQ(shown[0].result, IDOK);
  EXPECT_EQ(shown[0].texts.front(), u"Please enter your name.");

  // Actions that cannot be done are reported, not performed.
  script.Press(999).Type(102, u"x").PressText(u"Remember me").PressText(u"&Cancel");
  Values again;
  EXPECT_EQ(RunDialog(u"Sign in", kForm, FormProc, reinterpret_cast<LPARAM>(&again)), IDCANCEL);
  std::vector<std::string> errors = script.errors();
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_NE(errors[0].find("no control 999"), std::string::npos);
  EXPECT_NE(errors[1].find("cannot type into control 102"), std::string::npos);
}

// The overwrite question of an extraction: a worker thread shows a modal
// dialog owned by the main thread's progress dialog; the script waits for
// it, answers it, and the worker then ends the progress dialog.
TEST_F(FrontendTest, ScriptAnswersADialogOfAWorkerThread) {
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  script.WaitFor(u"File Exists").Press(2003);
  std::atomic<INT_PTR> answer{0};
  std::atomic<bool> owner_disabled{false};
  auto progress_proc = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; };
  std::thread worker([&] {
    HWND page = script.WaitShown(u"Extracting Files...", 10000);
    ASSERT_TRUE(page);
    const std::vector<Control> question = {
        {WC_STATICW, u"The following file is already on your computer:", 0, 1201},
        {WC_BUTTONW, u"&Yes", WS_TABSTOP, 2002},
        {WC_BUTTONW, u"Y&es to All", WS_TABSTOP, 2003},
        {WC_BUTTONW, u"&Cancel", WS_TABSTOP, IDCANCEL},
    };
    Values unused;
    answer = RunDialog(u"File Exists", question, FormProc, reinterpret_cast<LPARAM>(&unused), page);
    owner_disabled = !IsWindowEnabled(page);
    EndDialog(page, 1);
  });
  const std::vector<Control> page = {
      {WC_STATICW, u"Status:", 0, 1002},
      {PROGRESS_CLASSW, u"", 0, 1001},
      {WC_BUTTONW, u"&Cancel", WS_TABSTOP, IDCANCEL},
  };
  EXPECT_EQ(RunDialog(u"Extracting Files...", page, progress_proc, 0), 1);
  worker.join();
  EXPECT_EQ(answer, 2003);
  EXPECT_FALSE(owner_disabled) << "the owner was enabled again";
  EXPECT_TRUE(script.errors().empty());
}

TEST_F(FrontendTest, NonInteractiveAnswersWithTheDefaults) {
  setenv("WU_FRONTEND_LOG", "1", 1);
  platform::NonInteractiveFrontEnd defaults;
  unsetenv("WU_FRONTEND_LOG");
  platform::SetFrontEnd(&defaults);
  struct Case {
    UINT type;
    int want;
  };
  const Case cases[] = {{MB_OK, IDOK},
                        {MB_YESNO | MB_DEFBUTTON2, IDNO},
                        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                        {MB_ABORTRETRYIGNORE | MB_DEFBUTTON2, IDRETRY},
                        {MB_YESNO | MB_DEFBUTTON4, IDYES}};  // past the set: the first button
  ::testing::internal::CaptureStderr();
  for (const Case& c : cases) EXPECT_EQ(MessageBoxW(nullptr, u"Overwrite?", u"Question", c.type), c.want) << c.type;

  // A dialog without a default button is left to the program, which ends
  // it after the front end had its turn; its Cancel button is never pressed.
  struct Watched : platform::FrontEnd {
    platform::FrontEnd* inner;
    HANDLE idled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    void ModalBegin(HWND d) override { inner->ModalBegin(d); }
    void ModalIdle(HWND d) override {
      inner->ModalIdle(d);
      SetEvent(idled);
    }
    void ModalEnd(HWND d, INT_PTR r) override { inner->ModalEnd(d, r); }
  } watched;
  watched.inner = &defaults;
  platform::SetFrontEnd(&watched);
  std::atomic<HWND> dialog{nullptr};
  std::thread worker([&] {
    WaitForSingleObject(watched.idled, INFINITE);
    EndDialog(dialog, 5);
  });
  auto proc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      reinterpret_cast<std::atomic<HWND>*>(lparam)->store(hwnd);
      return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDCANCEL) EndDialog(hwnd, IDCANCEL);
    return FALSE;
  };
  const std::vector<Control> no_default = {{WC_BUTTONW, u"&Cancel", WS_TABSTOP, IDCANCEL}};
  EXPECT_EQ(RunDialog(u"Progress", no_default, proc, reinterpret_cast<LPARAM>(&dialog)), 5);
  worker.join();
  CloseHandle(watched.idled);
  std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("message box \"Question\" shown"), std::string::npos) << log;
  EXPECT_NE(log.find("pressing the default button \"No\" (7)"), std::string::npos) << log;
  EXPECT_NE(log.find("no default button"), std::string::npos) << log;
}

// ---- The terminal front end through a pseudo-terminal ------------------------------------

using wutest::Pty;

TEST_F(FrontendTest, TerminalShowsADialogAndTakesChoices) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::thread person([&] {
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    const std::string& screen = pty.output();
    EXPECT_NE(screen.find("== Sign in =="), std::string::npos);
    EXPECT_NE(screen.find("Please enter your name."), std::string::npos);
    EXPECT_NE(screen.find("Name: [guest]"), std::string::npos) << "a field shows its label and text";
    EXPECT_NE(screen.find("[ ] Remember me"), std::string::npos);
    pty.Type(pty.NumberOf("Name: [", 0) + "\r");
    at = pty.WaitFor("New text: ", at);
    pty.Type("Marie\r");
    at = pty.WaitFor("Choice: ", at);
    pty.Type(pty.NumberOf("[ ] Remember me", 0) + "\r");
    at = pty.WaitFor("[x] Remember me", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type(pty.NumberOf("Language:", at) + "\r");
    at = pty.WaitFor("3. Francais", at);
    pty.Type("3\r");
    at = pty.WaitFor("Language: Francais", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("\r");  // Enter alone: the default button
  });
  Values values;
  EXPECT_EQ(RunDialog(u"Sign in", kForm, FormProc, reinterpret_cast<LPARAM>(&values)), IDOK);
  person.join();
  EXPECT_EQ(values.name, u"Marie");
  EXPECT_EQ(values.remember, BST_CHECKED);
  EXPECT_EQ(values.language, 2);
}

TEST_F(FrontendTest, TerminalRedrawsAProgressBarThatAWorkerMoves) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::atomic<HWND> dialog{nullptr};
  auto proc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (message == WM_INITDIALOG) reinterpret_cast<std::atomic<HWND>*>(lparam)->store(hwnd);
    return message == WM_INITDIALOG;
  };
  std::thread worker([&] {
    ASSERT_NE(pty.WaitFor("Choice: "), std::string::npos);
    HWND bar = GetDlgItem(dialog, 1001);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 8));
    SendMessageW(bar, PBM_SETPOS, 4, 0);
    SetDlgItemTextW(dialog, 1002, u"Extracting: setup.msi");
    EXPECT_NE(pty.WaitFor("] 50%"), std::string::npos) << pty.output();
    EXPECT_NE(pty.WaitFor("Extracting: setup.msi"), std::string::npos) << pty.output();
    EndDialog(dialog, 1);
  });
  const std::vector<Control> page = {{WC_STATICW, u"Status:", 0, 1002},
                                     {PROGRESS_CLASSW, u"", 0, 1001},
                                     {WC_BUTTONW, u"&Cancel", WS_TABSTOP, IDCANCEL}};
  EXPECT_EQ(RunDialog(u"Extracting Files...", page, proc, reinterpret_cast<LPARAM>(&dialog)), 1);
  worker.join();
  EXPECT_NE(pty.output().find("] 0%"), std::string::npos) << "the bar was shown from the start";
}

// What a person sees: the terminal's output played on a screen that knows
// the few controls the front end writes (carriage return, line feed, erase
// to the end of the line or screen, cursor up, save and restore).
std::vector<std::string> Screen(const std::string& output) {
  std::vector<std::string> lines(1);
  size_t row = 0, column = 0, saved_row = 0, saved_column = 0;
  for (size_t i = 0; i < output.size(); ++i) {
    char c = output[i];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == lines.size()) lines.emplace_back();
    } else if (c == '\x1b' && i + 1 < output.size()) {
      char next = output[++i];
      if (next == '7') {
        saved_row = row;
        saved_column = column;
      } else if (next == '8') {
        row = saved_row;
        column = saved_column;
      } else if (next == '[') {
        size_t n = 0;
        while (i + 1 < output.size() && isdigit(static_cast<unsigned char>(output[i + 1])))
          n = n * 10 + static_cast<size_t>(output[++i] - '0');
        char command = i + 1 < output.size() ? output[++i] : 0;
        if (command == 'K') lines[row].resize(std::min(column, lines[row].size()));
        if (command == 'J') {
          lines[row].resize(std::min(column, lines[row].size()));
          lines.resize(row + 1);
        }
        if (command == 'A') row -= std::min(row, n == 0 ? 1 : n);
      }
    } else {
      if (lines[row].size() < column) lines[row].resize(column, ' ');
      if (column < lines[row].size()) {
        lines[row][column] = c;
      } else {
        lines[row].push_back(c);
      }
      ++column;
    }
  }
  return lines;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
  return n;
}

// File names show '/': in texts, fields and titles, when shown and when a
// text changes; a lone backslash is no separator and stays.
TEST_F(FrontendTest, TerminalShowsFileNamesWithSlashes) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::atomic<HWND> dialog{nullptr};
  auto proc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (message == WM_INITDIALOG) reinterpret_cast<std::atomic<HWND>*>(lparam)->store(hwnd);
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) EndDialog(hwnd, IDOK);
    return message == WM_INITDIALOG;
  };
  std::thread person([&] {
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    SetDlgItemTextW(dialog, 100, u"Copying: \\\\server\\share\\x.txt");
    EXPECT_NE(pty.WaitFor("Copying: //server/share/x.txt", at), std::string::npos) << pty.output();
    pty.Type("\r");
  });
  const std::vector<Control> page = {{WC_STATICW, u"Extracting: docs\\notes.txt", SS_NOPREFIX, 100},
                                     {WC_STATICW, u"Keys: a \\ b", 0, 101},
                                     {WC_STATICW, u"&Folder:", 0, 102},
                                     {WC_EDITW, u"C:\\Program Files\\Demo", WS_TABSTOP | WS_BORDER, 103},
                                     {WC_BUTTONW, u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK}};
  EXPECT_EQ(RunDialog(u"Setup\\Demo", page, proc, reinterpret_cast<LPARAM>(&dialog)), IDOK);
  person.join();
  const std::string& screen = pty.output();
  for (const char* shown : {"== Setup/Demo ==", "Extracting: docs/notes.txt", "Keys: a \\ b",
                            "Folder: [C:/Program Files/Demo]"})
    EXPECT_NE(screen.find(shown), std::string::npos) << shown << "\n" << screen;
  EXPECT_EQ(Count(screen, "\\"), 1u) << screen;
}

// A progress page: its bar and status line are redrawn in place above a
// prompt printed once, and the page is left on the screen as it ended.
TEST_F(FrontendTest, TerminalProgressPageRedrawsInPlaceAndEndsInItsFinalState) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::atomic<HWND> dialog{nullptr};
  auto proc = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) -> INT_PTR {
    if (message == WM_INITDIALOG) reinterpret_cast<std::atomic<HWND>*>(lparam)->store(hwnd);
    return message == WM_INITDIALOG;
  };
  std::thread worker([&] {
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    HWND bar = GetDlgItem(dialog, 1001);
    SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 5));
    for (int n = 1; n <= 5; ++n) {
      std::u16string file = u"Extracting: file" + std::u16string(1, static_cast<char16_t>(u'0' + n));
      SetDlgItemTextW(dialog, 1002, file.c_str());
      SendMessageW(bar, PBM_SETPOS, n, 0);
    }
    EndDialog(dialog, 1);
  });
  const std::vector<Control> page = {{WC_STATICW, u"Status:", 0, 1002},
                                     {PROGRESS_CLASSW, u"", 0, 1001},
                                     {WC_BUTTONW, u"&Cancel", WS_TABSTOP, IDCANCEL}};
  EXPECT_EQ(RunDialog(u"Extracting Files...", page, proc, reinterpret_cast<LPARAM>(&dialog)), 1);
  worker.join();
  pty.Drain();
  const std::string& output = pty.output();
  EXPECT_EQ(Count(output, "Choice: "), 1u) << output;
  for (const char* step : {"] 20%", "] 40%", "] 60%", "] 80%", "] 100%"})
    EXPECT_NE(output.find(step), std::string::npos) << step;
  std::vector<std::string> lines = Screen(output);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  ASSERT_GE(lines.size(), 2u) << output;
  EXPECT_EQ(lines[lines.size() - 2], "  Extracting: file5");
  EXPECT_EQ(lines.back(), "[##############################] 100%");
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  EXPECT_EQ(Count(all, "%"), 1u) << "one bar line, redrawn in place:\n" << all;
  EXPECT_EQ(Count(all, "Choice:"), 0u) << "the prompt goes with the page:\n" << all;

  // A page that ends before the terminal showed it is drawn once, as it
  // ended, without a prompt.
  auto quick = [](HWND hwnd, UINT message, WPARAM wparam, LPARAM) -> INT_PTR {
    if (message == WM_INITDIALOG) {
      SendDlgItemMessageW(hwnd, 1001, PBM_SETRANGE, 0, MAKELPARAM(0, 4));
      SendDlgItemMessageW(hwnd, 1001, PBM_SETPOS, 4, 0);
      PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    }
    if (message == WM_COMMAND && LOWORD(wparam) == IDOK) EndDialog(hwnd, IDOK);
    return message == WM_INITDIALOG;
  };
  size_t before = pty.output().size();
  EXPECT_EQ(RunDialog(u"Quick", page, quick, 0), IDOK);
  pty.Drain();
  const std::string quick_output = pty.output().substr(before);
  EXPECT_NE(quick_output.find("== Quick =="), std::string::npos) << quick_output;
  EXPECT_NE(quick_output.find("[##############################] 100%"), std::string::npos) << quick_output;
  EXPECT_EQ(Count(quick_output, "Choice: "), 0u) << quick_output;
}

// A pick past the end of a list is refused and keeps what was chosen.
TEST_F(FrontendTest, PickPastTheEndKeepsTheSelection) {
  struct Case {
    LPCWSTR cls;
    DWORD style;
    UINT add, get;
    const char16_t* text;  // its window text after the picks
  };
  const Case cases[] = {{WC_LISTBOXW, LBS_NOTIFY, LB_ADDSTRING, LB_GETCURSEL, u""},
                        {WC_COMBOBOXW, CBS_DROPDOWNLIST, CB_ADDSTRING, CB_GETCURSEL, u"b"},
                        {WC_COMBOBOXW, CBS_DROPDOWN, CB_ADDSTRING, CB_GETCURSEL, u"b"}};
  HWND parent = CreateWindowExW(0, WC_DIALOG, u"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(parent);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    HWND control = CreateWindowExW(0, c.cls, u"", WS_CHILD | WS_VISIBLE | c.style, 0, 0, 100, 60, parent,
                                   reinterpret_cast<HMENU>(static_cast<uintptr_t>(7)), nullptr, nullptr);
    ASSERT_TRUE(control);
    for (const char16_t* s : {u"a", u"b"}) SendMessageW(control, c.add, 0, reinterpret_cast<LPARAM>(s));
    EXPECT_TRUE(platform::PickInControl(control, 1));
    EXPECT_FALSE(platform::PickInControl(control, 2));
    EXPECT_EQ(SendMessageW(control, c.get, 0, 0), 1);
    EXPECT_EQ(platform::WindowText(control), c.text);
    DestroyWindow(control);
  }
  DestroyWindow(parent);
}

// ---- An editable combo box at the terminal ----------------------------------------------

// What an editable combo box (120, entries "Default", "Mine", "Other",
// "Default" chosen) held when OK was pressed, and the notifications it
// sent besides focus changes.
struct ComboValues {
  std::u16string text;
  LRESULT selected = -2;
  std::vector<int> codes;
};

INT_PTR ComboProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* values = reinterpret_cast<ComboValues*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    for (const char16_t* s : {u"Default", u"Mine", u"Other"})
      SendDlgItemMessageW(dialog, 120, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(dialog, 120, CB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  if (LOWORD(wparam) == 120 && HIWORD(wparam) != CBN_SETFOCUS && HIWORD(wparam) != CBN_KILLFOCUS)
    values->codes.push_back(HIWORD(wparam));
  if (LOWORD(wparam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
  if (LOWORD(wparam) == IDOK) {
    values->text = platform::WindowText(GetDlgItem(dialog, 120));
    values->selected = SendDlgItemMessageW(dialog, 120, CB_GETCURSEL, 0, 0);
    EndDialog(dialog, IDOK);
  }
  return TRUE;
}

TEST_F(FrontendTest, TerminalTypesOrPicksInAnEditableComboBox) {
  const std::vector<Control> form = {
      {WC_STATICW, u"Name:", 0, 119},
      {WC_COMBOBOXW, u"", WS_TABSTOP | CBS_DROPDOWN, 120},
      {WC_BUTTONW, u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK},
  };
  const std::vector<int> typed = {CBN_EDITUPDATE, CBN_EDITCHANGE};
  const std::vector<int> picked = {CBN_SELCHANGE, CBN_SELENDOK};
  struct Case {
    const char* answer;     // the line typed at "Entry or text: "
    const char16_t* text;   // the combo box's text afterwards
    LRESULT selected;       // its entry afterwards
    std::vector<int> codes; // what its parent heard
    const char* note;       // what the terminal says (empty: nothing)
  };
  const Case cases[] = {
      {"My T", u"My T", 0, typed, ""},
      {"2", u"Mine", 1, picked, ""},
      {"", u"Default", 0, {}, ""},           // Enter alone keeps the text
      {"=2", u"2", 0, typed, ""},            // digits typed as they stand
      {"=", u"", 0, typed, ""},              // an empty text typed
      {"4", u"Default", 0, {}, "No such item."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Pty pty;
    ASSERT_TRUE(pty.ok());
    platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
    platform::SetFrontEnd(&terminal);
    std::thread person([&] {
      // A step that fails closes the dialog (end of input) rather than
      // leaving it waiting.
      struct Closer {
        Pty& pty;
        bool done = false;
        ~Closer() {
          if (!done) pty.Type("\x04");
        }
      } closer{pty};
      size_t at = pty.WaitFor("Choice: ");
      ASSERT_NE(at, std::string::npos) << pty.output();
      EXPECT_NE(pty.output().find("Name: Default (choose from 3 or type)"), std::string::npos) << pty.output();
      pty.Type(pty.NumberOf("Name: ", 0) + "\r");
      at = pty.WaitFor("Entry or text: ", at);
      ASSERT_NE(at, std::string::npos) << pty.output();
      EXPECT_NE(pty.output().find("3. Other"), std::string::npos) << pty.output();
      pty.Type(std::string(c.answer) + "\r");
      if (*c.note) {
        EXPECT_NE(pty.WaitFor(c.note, at), std::string::npos) << pty.output();
      }
      const std::string shown = "Name: " + platform::ToUtf8(c.text) + " (choose from 3 or type)";
      at = pty.WaitFor(shown, at);
      ASSERT_NE(at, std::string::npos) << "the screen shows what the box holds:\n" << pty.output();
      ASSERT_NE(pty.WaitFor("Choice: ", at), std::string::npos) << pty.output();
      pty.Type("\r");  // Enter alone: OK
      closer.done = true;
    });
    ComboValues values;
    EXPECT_EQ(RunDialog(u"Save As", form, ComboProc, reinterpret_cast<LPARAM>(&values)), IDOK);
    person.join();
    platform::SetFrontEnd(nullptr);
    EXPECT_EQ(values.text, c.text);
    EXPECT_EQ(values.selected, c.selected);
    EXPECT_EQ(values.codes, c.codes);
  }
}

// ---- Toolbars ----------------------------------------------------------------------------

// A dialog with a toolbar: 307 "Save Template", 308 disabled, 309 hidden,
// a separator, and 310 without a tip (its text is "Refresh"). Heard
// commands are collected in the vector given as the parameter.
const std::vector<Control> kToolbarDialog = {
    {TOOLBARCLASSNAMEW, u"", TBSTYLE_FLAT | TBSTYLE_TOOLTIPS, 306},
    {WC_BUTTONW, u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK},
};

INT_PTR ToolbarDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    TBBUTTON buttons[5] = {};
    const int ids[5] = {307, 308, 309, 0, 310};
    for (int i = 0; i < 5; ++i) {
      buttons[i].idCommand = ids[i];
      buttons[i].fsState = ids[i] == 308 ? 0 : ids[i] == 309 ? TBSTATE_ENABLED | TBSTATE_HIDDEN : TBSTATE_ENABLED;
      buttons[i].fsStyle = ids[i] ? BTNS_BUTTON : BTNS_SEP;
      buttons[i].iString = ids[i] == 310 ? reinterpret_cast<INT_PTR>(u"Refresh") : -1;
    }
    SendDlgItemMessageW(dialog, 306, TB_ADDBUTTONSW, 5, reinterpret_cast<LPARAM>(buttons));
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
    if (info->hdr.code == TTN_GETDISPINFOW) {
      static const char16_t* const kTips[] = {u"Save Template", u"Delete Template", u"Help for Plug-In"};
      if (info->hdr.idFrom >= 307 && info->hdr.idFrom <= 309)
        info->lpszText = const_cast<LPWSTR>(kTips[info->hdr.idFrom - 307]);
    }
    return TRUE;
  }
  if (message == WM_COMMAND) {
    reinterpret_cast<std::vector<int>*>(GetWindowLongPtrW(dialog, DWLP_USER))->push_back(LOWORD(wparam));
    if (LOWORD(wparam) == IDOK) EndDialog(dialog, IDOK);
    return TRUE;
  }
  return FALSE;
}

TEST_F(FrontendTest, ScriptListsAndPressesToolbarButtonsByTip) {
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  std::vector<std::pair<int, std::u16string>> buttons;  // (id, text) of the push buttons listed
  script.Run([&](HWND dialog) {
          for (const platform::ControlInfo& c : platform::DescribeDialog(dialog))
            if (c.kind == platform::ControlKind::kPushButton) buttons.emplace_back(c.id, c.text);
        })
      .Press(307)
      .PressText(u"Save Template")
      .PressText(u"Refresh")
      .Press(308)                       // disabled
      .Press(309)                       // hidden
      .PressText(u"Delete Template")    // disabled: not listed
      .Press(IDOK);
  std::vector<int> heard;
  EXPECT_EQ(RunDialog(u"Templates", kToolbarDialog, ToolbarDialogProc, reinterpret_cast<LPARAM>(&heard)), IDOK);
  EXPECT_EQ(buttons, (std::vector<std::pair<int, std::u16string>>{
                         {307, u"Save Template"}, {310, u"Refresh"}, {IDOK, u"OK"}}));
  EXPECT_EQ(heard, (std::vector<int>{307, 307, 310, IDOK}));
  std::vector<std::string> errors = script.errors();
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_NE(errors[0].find("toolbar button 308 cannot be pressed"), std::string::npos) << errors[0];
  EXPECT_NE(errors[1].find("toolbar button 309 cannot be pressed"), std::string::npos) << errors[1];
  EXPECT_NE(errors[2].find("no button \"Delete Template\""), std::string::npos) << errors[2];
}

TEST_F(FrontendTest, TerminalOffersToolbarButtonsByTip) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  platform::TerminalFrontEnd terminal(pty.slave(), pty.slave());
  platform::SetFrontEnd(&terminal);
  std::string first;
  std::thread person([&] {
    size_t at = pty.WaitFor("Choice: ");
    ASSERT_NE(at, std::string::npos) << pty.output();
    first = pty.output();
    pty.Type(pty.NumberOf("Save Template", 0) + "\r");
    at = pty.WaitFor("Choice: ", at);
    ASSERT_NE(at, std::string::npos) << pty.output();
    pty.Type("\r");  // Enter alone: OK
  });
  std::vector<int> heard;
  EXPECT_EQ(RunDialog(u"Templates", kToolbarDialog, ToolbarDialogProc, reinterpret_cast<LPARAM>(&heard)), IDOK);
  person.join();
  EXPECT_NE(first.find(") Save Template"), std::string::npos) << first;
  EXPECT_NE(first.find(") Refresh"), std::string::npos) << first;
  EXPECT_EQ(first.find("Delete Template"), std::string::npos) << "a disabled button is not offered:\n" << first;
  EXPECT_EQ(first.find("Help for Plug-In"), std::string::npos) << "a hidden button is not offered:\n" << first;
  EXPECT_EQ(heard, (std::vector<int>{307, IDOK}));
}

}  // namespace
