// The dialog manager: templates of both layouts, modal loops ended from the
// dialog and from other threads, keyboard navigation, default buttons,
// dialog units, malformed templates, message boxes and property sheets.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/comctl/commctrl.h"
#include "platform/user/frontend.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"

namespace {

// ---- Writing templates (independently of the reader under test) ---------------------------

// A menu, class or title field: none, an ordinal, or a string.
struct Field {
  enum Form { kNone, kOrdinal, kString } form = kNone;
  WORD id = 0;
  std::u16string text;
};
Field Ordinal(WORD id) { return Field{Field::kOrdinal, id, {}}; }
Field Text(const std::u16string& text) { return Field{Field::kString, 0, text}; }

struct ItemLayout {
  DWORD style;
  DWORD id;
  SHORT x, y, cx, cy;
  Field cls;
  Field text;
  std::vector<BYTE> data;
};

struct DialogLayout {
  bool extended = false;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  SHORT x = 0, y = 0, cx = 200, cy = 100;
  Field menu, cls, title = Text(u"Test dialog");
  WORD points = 8;
  std::u16string face = u"MS Shell Dlg";
  std::vector<ItemLayout> items;
};

class Writer {
 public:
  void Word(WORD w) {
    bytes.push_back(static_cast<BYTE>(w & 0xFF));
    bytes.push_back(static_cast<BYTE>(w >> 8));
  }
  void DWord(DWORD d) {
    Word(static_cast<WORD>(d & 0xFFFF));
    Word(static_cast<WORD>(d >> 16));
  }
  void String(const std::u16string& s) {
    for (char16_t c : s) Word(c);
    Word(0);
  }
  void Put(const Field& f) {
    if (f.form == Field::kNone) {
      Word(0);
    } else if (f.form == Field::kOrdinal) {
      Word(0xFFFF);
      Word(f.id);
    } else {
      String(f.text);
    }
  }
  void Align() {
    while (bytes.size() % 4) bytes.push_back(0);
  }
  std::vector<BYTE> bytes;
};

std::vector<BYTE> Build(const DialogLayout& d) {
  Writer w;
  if (d.extended) {
    w.Word(1);
    w.Word(0xFFFF);
    w.DWord(0);  // help id
    w.DWord(0);  // ex style
    w.DWord(d.style);
  } else {
    w.DWord(d.style);
    w.DWord(0);
  }
  w.Word(static_cast<WORD>(d.items.size()));
  for (SHORT v : {d.x, d.y, d.cx, d.cy}) w.Word(static_cast<WORD>(v));
  w.Put(d.menu);
  w.Put(d.cls);
  w.Put(d.title);
  if (d.style & DS_SETFONT) {
    w.Word(d.points);
    if (d.extended) {
      w.Word(FW_NORMAL);
      w.bytes.push_back(0);  // italic
      w.bytes.push_back(1);  // character set
    }
    w.String(d.face);
  }
  for (const ItemLayout& item : d.items) {
    w.Align();
    if (d.extended) {
      w.DWord(0);  // help id
      w.DWord(0);  // ex style
      w.DWord(item.style);
    } else {
      w.DWord(item.style);
      w.DWord(0);
    }
    for (SHORT v : {item.x, item.y, item.cx, item.cy}) w.Word(static_cast<WORD>(v));
    if (d.extended) {
      w.DWord(item.id);
    } else {
      w.Word(static_cast<WORD>(item.id));
    }
    w.Put(item.cls);
    w.Put(item.text);
    w.Word(static_cast<WORD>(item.data.size()));
    w.bytes.insert(w.bytes.end(), item.data.begin(), item.data.end());
  }
  return w.bytes;
}

constexpr WORD kButton = 0x80, kEdit = 0x81, kStatic = 0x82;

// A dialog with a static text, an edit field and OK / Cancel.
DialogLayout StandardDialog(bool extended) {
  DialogLayout d;
  d.extended = extended;
  d.items = {
      {WS_VISIBLE, 100, 7, 7, 100, 8, Ordinal(kStatic), Text(u"&Name:"), {}},
      {WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 101, 7, 18, 150, 14, Ordinal(kEdit), Text(u""), {}},
      {WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 90, 80, 50, 14, Ordinal(kButton), Text(u"OK"), {}},
      {WS_VISIBLE | WS_TABSTOP, IDCANCEL, 145, 80, 50, 14, Ordinal(kButton), Text(u"Cancel"), {}},
  };
  return d;
}

// What a dialog procedure saw.
struct Record {
  std::vector<UINT> messages;
  LPARAM init_param = 0;
  std::vector<int> commands;
  DWORD thread = 0;
  INT_PTR init_result = TRUE;   // what WM_INITDIALOG returns
  std::u16string edit_text;     // the edit field at IDOK
};

INT_PTR RecordingDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    auto* record = reinterpret_cast<Record*>(lparam);
    record->init_param = lparam;
    record->thread = GetCurrentThreadId();
    record->messages.push_back(message);
    // A procedure that answers FALSE places the focus itself.
    if (!record->init_result) SetFocus(GetDlgItem(dialog, IDCANCEL));
    return record->init_result;
  }
  auto* record = reinterpret_cast<Record*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (!record) return FALSE;
  record->messages.push_back(message);
  if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
    int id = LOWORD(wparam);
    record->commands.push_back(id);
    if (id == IDOK) {
      WCHAR text[64] = {};
      GetDlgItemTextW(dialog, 101, text, 64);
      record->edit_text = text;
    }
    if (id == IDOK || id == IDCANCEL || id == 42) EndDialog(dialog, id == 42 ? 4242 : id);
    return TRUE;
  }
  return FALSE;
}

class DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    live_before_ = platform::LiveWindowCount();
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    EXPECT_TRUE(script_.errors().empty()) << script_.errors().front();
    EXPECT_EQ(platform::LiveWindowCount(), live_before_) << "windows leaked";
    EXPECT_EQ(platform::LivePropertySheetPageCount(), 0u);
  }
  INT_PTR Run(const std::vector<BYTE>& bytes, Record* record, HWND owner = nullptr) {
    return platform::DialogBoxFromTemplate(nullptr, bytes.data(), bytes.size(), owner, RecordingDialog,
                                           reinterpret_cast<LPARAM>(record));
  }
  platform::ScriptedFrontEnd script_;
  size_t live_before_ = 0;
};

// Every layout and every form of the menu, class and title fields runs.
TEST_F(DialogsTest, TemplatesOfBothLayoutsAndEveryFieldFormRunModally) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DefDlgProcW;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.lpszClassName = u"MyDialogClass";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  const Field menus[] = {Field(), Ordinal(300), Text(u"MAINMENU")};
  const Field classes[] = {Field(), Ordinal(0x8002), Text(u"MyDialogClass")};
  const Field titles[] = {Field(), Ordinal(5), Text(u"Unpacking Wizard")};
  for (bool extended : {false, true}) {
    for (int form = 0; form < 3; ++form) {
      DialogLayout d = StandardDialog(extended);
      d.menu = menus[form];
      d.cls = classes[form];
      d.title = titles[form];
      std::u16string want_title = form == 2 ? u"Unpacking Wizard" : u"";
      std::vector<BYTE> bytes = Build(d);
      Record record;
      script_.Run([&](HWND dialog) {
        EXPECT_EQ(platform::WindowText(dialog), want_title);
        WCHAR cls[32];
        GetClassNameW(dialog, cls, 32);
        EXPECT_EQ(std::u16string(cls), form == 2 ? u"MyDialogClass" : u"#32770");
      });
      script_.Press(IDCANCEL);
      EXPECT_EQ(Run(bytes, &record), IDCANCEL) << extended << form;
      EXPECT_EQ(record.init_param, reinterpret_cast<LPARAM>(&record));
      ASSERT_FALSE(record.messages.empty());
      EXPECT_EQ(record.messages.front(), static_cast<UINT>(WM_INITDIALOG));
      EXPECT_EQ(record.commands, std::vector<int>{IDCANCEL});
    }
  }
  UnregisterClassW(u"MyDialogClass", nullptr);
}

TEST_F(DialogsTest, DialogUnitsFollowTheFont) {
  for (bool extended : {false, true}) {
    DialogLayout small = StandardDialog(extended);
    DialogLayout large = small;
    large.points = 16;
    int widths[2];
    int index = 0;
    for (DialogLayout* d : {&small, &large}) {
      std::vector<BYTE> bytes = Build(*d);
      Record record;
      script_.Run([&](HWND dialog) {
        RECT units{0, 0, 200, 100};
        ASSERT_TRUE(MapDialogRect(dialog, &units));
        RECT client;
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, units.right) << "the dialog's size is in its own dialog units";
        EXPECT_EQ(client.bottom, units.bottom);
        // A control's rectangle is its template rectangle mapped.
        RECT edit{7, 18, 157, 32};
        MapDialogRect(dialog, &edit);
        RECT r;
        GetWindowRect(GetDlgItem(dialog, 101), &r);
        POINT origin{0, 0};
        ClientToScreen(dialog, &origin);
        EXPECT_EQ(r.left - origin.x, edit.left);
        EXPECT_EQ(r.bottom - r.top, edit.bottom - edit.top);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
        EXPECT_NE(font, nullptr);
        EXPECT_EQ(SendDlgItemMessageW(dialog, 101, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font))
            << "every control got the dialog font";
        widths[index++] = client.right;
      });
      script_.Press(IDOK);
      EXPECT_EQ(Run(bytes, &record), IDOK);
    }
    EXPECT_GT(widths[1], widths[0]) << "a larger font makes a larger dialog";
  }
}

TEST_F(DialogsTest, InitDialogResultDecidesTheFocus) {
  // The first tab stop is disabled: the focus goes to the next one.
  DialogLayout d = StandardDialog(false);
  d.items[1].style |= WS_DISABLED;
  std::vector<BYTE> bytes = Build(d);
  for (INT_PTR init : {TRUE, FALSE}) {
    Record record;
    record.init_result = init;
    HWND focus = nullptr, want = nullptr;
    script_.Run([&](HWND dialog) {
      focus = GetFocus();
      want = GetDlgItem(dialog, init ? IDOK : IDCANCEL);
    });
    script_.Press(IDOK);
    Run(bytes, &record);
    EXPECT_EQ(focus, want) << (init ? "TRUE: the first tab stop that can take it"
                                    : "FALSE: where the procedure put it");
  }
}

TEST_F(DialogsTest, KeysNavigateAndPressTheDefaultButton) {
  std::vector<BYTE> bytes = Build(StandardDialog(true));
  Record record;
  script_.Run([&](HWND dialog) {
    HWND edit = GetDlgItem(dialog, 101);
    EXPECT_EQ(GetFocus(), edit);
    MSG tab{edit, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageW(dialog, &tab));
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDOK));
    platform::SetKeyDown(VK_SHIFT, true);
    EXPECT_TRUE(IsDialogMessageW(dialog, &tab));
    platform::SetKeyDown(VK_SHIFT, false);
    EXPECT_EQ(GetFocus(), edit) << "Shift+Tab goes back";
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0);
    EXPECT_EQ(LOWORD(static_cast<DWORD_PTR>(SendMessageW(dialog, DM_GETDEFID, 0, 0))), IDCANCEL);
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON)
        << "the old default button lost its style";
    SendMessageW(dialog, DM_SETDEFID, IDOK, 0);
  });
  script_.Type(101, u"typed");
  script_.Enter();  // the focus is in the edit field: the default button answers
  EXPECT_EQ(Run(bytes, &record), IDOK);
  EXPECT_EQ(record.edit_text, u"typed");

  // Escape and Close both become IDCANCEL.
  Record second;
  script_.Escape();
  EXPECT_EQ(Run(bytes, &second), IDCANCEL);
  Record third;
  script_.Run([](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); });
  EXPECT_EQ(Run(bytes, &third), IDCANCEL);
}

// A worker thread drives the modal dialog: it sets a progress bar through
// SendMessageW (marshalled to the dialog's thread) and ends the dialog.
TEST_F(DialogsTest, AWorkerUpdatesAProgressBarAndEndsTheDialog) {
  DialogLayout d = StandardDialog(false);
  d.items.push_back({WS_VISIBLE | WS_BORDER, 1001, 7, 40, 180, 12, Text(PROGRESS_CLASSW), Text(u""), {}});
  std::vector<BYTE> bytes = Build(d);
  for (bool by_post : {false, true}) {
    Record record;
    std::atomic<HWND> dialog{nullptr};
    std::atomic<int> seen_pos{-1};
    std::thread worker([&] {
      HWND h = script_.WaitShown(u"Test dialog", 10000);
      dialog = h;
      HWND bar = GetDlgItem(h, 1001);
      SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 500));
      SendMessageW(bar, PBM_SETSTEP, 1, 0);
      for (int i = 0; i < 300; ++i) SendMessageW(bar, PBM_STEPIT, 0, 0);
      seen_pos = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
      if (by_post) {
        PostMessageW(h, WM_COMMAND, MAKEWPARAM(42, BN_CLICKED), 0);
      } else {
        EndDialog(h, 7);
      }
    });
    INT_PTR result = Run(bytes, &record);
    worker.join();
    EXPECT_EQ(result, by_post ? 4242 : 7);
    EXPECT_EQ(seen_pos, 300);
    EXPECT_FALSE(IsWindow(dialog));
  }
}

TEST_F(DialogsTest, TheOwnerIsDisabledWhileTheDialogRuns) {
  HWND owner = CreateWindowExW(0, WC_DIALOG, u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                               nullptr, nullptr);
  std::vector<BYTE> bytes = Build(StandardDialog(false));
  Record record;
  bool disabled_inside = false;
  script_.Run([&](HWND) { disabled_inside = !IsWindowEnabled(owner); });
  script_.Press(IDOK);
  EXPECT_EQ(Run(bytes, &record, owner), IDOK);
  EXPECT_TRUE(disabled_inside);
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_EQ(GetActiveWindow(), owner) << "the owner is active again";
  DestroyWindow(owner);
}

TEST_F(DialogsTest, QuitEndsTheModalLoopAndIsPostedAgain) {
  std::vector<BYTE> bytes = Build(StandardDialog(false));
  Record record;
  script_.Run([](HWND) { PostQuitMessage(3); });
  EXPECT_EQ(Run(bytes, &record), 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 3u);
}

// Every truncation of a valid template, and templates with fields that point
// past their end, are refused without reading past the bytes.
TEST_F(DialogsTest, MalformedTemplatesAreRefused) {
  for (bool extended : {false, true}) {
    DialogLayout d = StandardDialog(extended);
    d.items[0].data = {1, 2, 3};
    std::vector<BYTE> good = Build(d);
    for (size_t n = 0; n < good.size(); ++n) {
      // The copy holds exactly n bytes, so a read past them is caught.
      std::unique_ptr<BYTE[]> cut(new BYTE[n ? n : 1]);
      std::memcpy(cut.get(), good.data(), n);
      Record record;
      EXPECT_EQ(platform::DialogBoxFromTemplate(nullptr, cut.get(), n, nullptr, RecordingDialog,
                                                reinterpret_cast<LPARAM>(&record)),
                -1)
          << (extended ? "extended " : "plain ") << n << " of " << good.size();
      EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
      EXPECT_TRUE(record.messages.empty());
    }
  }
  struct Case {
    const char* what;
    std::vector<BYTE> bytes;
  };
  DialogLayout d = StandardDialog(true);
  std::vector<BYTE> ext = Build(d);
  std::vector<BYTE> wrong_version = ext;
  wrong_version[0] = 2;
  std::vector<BYTE> more_items = Build(StandardDialog(false));
  more_items[8] = 9;  // nine items, four present
  DialogLayout big_data = StandardDialog(false);
  big_data.items[3].data = {1, 2};
  std::vector<BYTE> overlong = Build(big_data);
  overlong[overlong.size() - 4] = 0xFF;  // the data count now runs past the end
  const Case cases[] = {{"extended version 2", wrong_version},
                        {"more items than bytes", more_items},
                        {"creation data past the end", overlong}};
  for (const Case& c : cases) {
    Record record;
    EXPECT_EQ(Run(c.bytes, &record), -1) << c.what;
  }
  // A control of an unknown class fails the dialog, unless DS_NOFAILCREATE.
  DialogLayout unknown = StandardDialog(false);
  unknown.items.push_back({WS_VISIBLE, 5, 0, 0, 10, 10, Text(u"NoSuchControl"), Text(u""), {}});
  Record record;
  EXPECT_EQ(Run(Build(unknown), &record), -1);
  unknown.style |= DS_NOFAILCREATE;
  script_.Press(IDOK);
  EXPECT_EQ(Run(Build(unknown), &record), IDOK);
}

// The creation data of an item reaches its control's WM_CREATE, behind its
// WORD size.
std::vector<BYTE>* g_creation_data = nullptr;
LRESULT DataControl(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lparam);
    const BYTE* p = static_cast<const BYTE*>(cs->lpCreateParams);
    WORD size;
    std::memcpy(&size, p, 2);
    g_creation_data->assign(p + 2, p + 2 + size);
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

TEST_F(DialogsTest, CreationDataReachesTheControl) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = DataControl;
  wc.lpszClassName = u"DataControl";
  ASSERT_NE(RegisterClassExW(&wc), 0);
  std::vector<BYTE> seen;
  g_creation_data = &seen;
  for (bool extended : {false, true}) {
    seen.clear();
    DialogLayout d = StandardDialog(extended);
    d.items.push_back({WS_VISIBLE, 9, 0, 0, 10, 10, Text(u"DataControl"), Text(u""), {7, 8, 9}});
    Record record;
    script_.Press(IDOK);
    EXPECT_EQ(Run(Build(d), &record), IDOK);
    EXPECT_EQ(seen, (std::vector<BYTE>{7, 8, 9}));
  }
  UnregisterClassW(u"DataControl", nullptr);
}

TEST_F(DialogsTest, DialogFromTheModulesResources) {
  std::vector<BYTE> bytes = Build(StandardDialog(false));
  platform::ResourceItem item{RT_DIALOG, MAKEINTRESOURCEW(1200), 1033, bytes.data(),
                              static_cast<DWORD>(bytes.size())};
  ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
  Record record;
  script_.Press(IDOK);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(1200), nullptr, RecordingDialog,
                            reinterpret_cast<LPARAM>(&record)),
            IDOK);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(1201), nullptr, RecordingDialog, 0), -1);

  // The same template as a modeless dialog with a loop of its own.
  HWND modeless = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(1200), nullptr, RecordingDialog,
                                     reinterpret_cast<LPARAM>(&record));
  ASSERT_TRUE(modeless);
  PostMessageW(GetDlgItem(modeless, 101), WM_KEYDOWN, VK_ESCAPE, 0);
  MSG msg;
  record.commands.clear();
  while (record.commands.empty() && GetMessageW(&msg, nullptr, 0, 0))
    if (!IsDialogMessageW(modeless, &msg)) DispatchMessageW(&msg);
  EXPECT_EQ(record.commands, std::vector<int>{IDCANCEL});
  DestroyWindow(modeless);
}

TEST_F(DialogsTest, DlgItemIntParsesStrictly) {
  HWND dialog = CreateWindowExW(0, WC_DIALOG, u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  CreateWindowExW(0, WC_EDITW, u"", WS_CHILD, 0, 0, 10, 10, dialog, reinterpret_cast<HMENU>(5), nullptr, nullptr);
  struct Case {
    const char16_t* text;
    BOOL is_signed;
    BOOL ok;
    UINT value;
  };
  const Case cases[] = {{u" 42 ", FALSE, TRUE, 42},        {u"-17", TRUE, TRUE, static_cast<UINT>(-17)},
                        {u"-17", FALSE, FALSE, 0},         {u"4294967295", FALSE, TRUE, 4294967295u},
                        {u"4294967296", FALSE, FALSE, 0},  {u"2147483648", TRUE, FALSE, 0},
                        {u"12ab", FALSE, FALSE, 0},        {u"", FALSE, FALSE, 0}};
  for (const Case& c : cases) {
    SetDlgItemTextW(dialog, 5, c.text);
    BOOL ok = -1;
    EXPECT_EQ(GetDlgItemInt(dialog, 5, &ok, c.is_signed), c.value) << platform::ToUtf8(c.text);
    EXPECT_EQ(ok, c.ok) << platform::ToUtf8(c.text);
  }
  SetDlgItemInt(dialog, 5, static_cast<UINT>(-5), TRUE);
  WCHAR text[16];
  GetDlgItemTextW(dialog, 5, text, 16);
  EXPECT_EQ(std::u16string(text), u"-5");
  DestroyWindow(dialog);
}

// ---- Message boxes ---------------------------------------------------------------------------

TEST_F(DialogsTest, MessageBoxesOfferTheirButtonsAndReturnTheAnswer) {
  struct Case {
    UINT type;
    std::vector<int> ids;
  };
  const Case cases[] = {{MB_OK, {IDOK}},
                        {MB_OKCANCEL, {IDOK, IDCANCEL}},
                        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}},
                        {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
                        {MB_YESNO, {IDYES, IDNO}},
                        {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}}};
  for (const Case& c : cases) {
    for (int id : c.ids) {
      script_.Answer(id);
      EXPECT_EQ(MessageBoxW(nullptr, u"Do you wish to cancel the installation?", u"Unpacking Wizard",
                            c.type | MB_ICONQUESTION),
                id)
          << c.type;
    }
  }
  EXPECT_EQ(MessageBoxW(nullptr, u"x", u"y", 9), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  auto shown = script_.shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(shown.back().message_box);
  EXPECT_EQ(shown.back().title, u"Unpacking Wizard");
  EXPECT_EQ(shown.back().texts, std::vector<std::u16string>{u"Do you wish to cancel the installation?"});
}

TEST_F(DialogsTest, EscapeAnswersOnlyWhenTheBoxHasACancel) {
  struct Case {
    UINT type;
    int want;  // 0: Escape is ignored (the box then waits; the script answers No)
  };
  const Case cases[] = {{MB_OK, IDOK}, {MB_OKCANCEL, IDCANCEL}, {MB_YESNOCANCEL, IDCANCEL}, {MB_YESNO, 0}};
  for (const Case& c : cases) {
    script_.Escape();
    if (!c.want) script_.Answer(IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, u"text", nullptr, c.type), c.want ? c.want : IDNO) << c.type;
  }
  EXPECT_EQ(script_.shown().back().title, u"Error") << "a NULL caption";
}

HWND g_activated = nullptr;
std::u16string g_created_caption;
LRESULT CbtHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) g_activated = reinterpret_cast<HWND>(wparam);
  return 0;
}
LRESULT CallWndHook(int code, WPARAM wparam, LPARAM lparam) {
  auto* cwp = reinterpret_cast<CWPSTRUCT*>(lparam);
  if (cwp->message == WM_CREATE) {
    WCHAR cls[16];
    GetClassNameW(cwp->hwnd, cls, 16);
    if (std::u16string(cls) == u"#32770") {
      g_created_caption = platform::WindowText(cwp->hwnd);
      // A centring hook moves the box while it is created.
      SetWindowPos(cwp->hwnd, nullptr, 5, 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  return 0;
}

TEST_F(DialogsTest, MessageBoxesAreSeenByTheCallingThreadsHooks) {
  HHOOK cbt = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
  HHOOK call = SetWindowsHookExW(WH_CALLWNDPROC, CallWndHook, nullptr, GetCurrentThreadId());
  HWND box = nullptr;
  RECT placed{};
  script_.Run([&](HWND dialog) {
    box = dialog;
    GetWindowRect(dialog, &placed);
  });
  script_.Answer(IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, u"text", u"Caption", MB_OK), IDOK);
  UnhookWindowsHookEx(cbt);
  UnhookWindowsHookEx(call);
  EXPECT_EQ(g_activated, box) << "HCBT_ACTIVATE names the box";
  EXPECT_EQ(g_created_caption, u"Caption") << "WM_CREATE of a #32770 window with the caption";
  EXPECT_EQ(placed.left, 5) << "the hook's placement stands";
  EXPECT_EQ(placed.top, 7);
}

// ---- Property sheets ---------------------------------------------------------------------

struct PageLog {
  std::vector<std::pair<int, UINT>> notes;  // (page, PSN_*)
  LRESULT apply_answer[2] = {PSNRET_NOERROR, PSNRET_NOERROR};
  LRESULT next_answer = 0;
};
PageLog* g_pages = nullptr;

INT_PTR PageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lparam);
    SetWindowLongPtrW(page, DWLP_USER, psp->lParam);
    return TRUE;
  }
  if (message == WM_NOTIFY) {
    int index = static_cast<int>(GetWindowLongPtrW(page, DWLP_USER));
    UINT code = reinterpret_cast<NMHDR*>(lparam)->code;
    g_pages->notes.emplace_back(index, code);
    LRESULT answer = 0;
    if (code == PSN_APPLY) answer = g_pages->apply_answer[index];
    if (code == PSN_WIZNEXT) answer = g_pages->next_answer;
    SetWindowLongPtrW(page, DWLP_MSGRESULT, answer);
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE)
    SendMessageW(GetParent(page), PSM_CHANGED, reinterpret_cast<WPARAM>(page), 0);
  return FALSE;
}

class SheetTest : public DialogsTest {
 protected:
  void SetUp() override {
    DialogsTest::SetUp();
    g_pages = &log_;
    for (int i = 0; i < 2; ++i) {
      DialogLayout d = StandardDialog(i == 1);
      d.style = WS_CHILD | DS_SETFONT;
      d.title = Text(i == 0 ? u"General" : u"Details");
      d.items.resize(2);  // the text and the edit field
      templates_[i] = Build(d);
      pages_[i] = PROPSHEETPAGEW{};
      pages_[i].dwSize = PROPSHEETPAGEW_V1_SIZE;  // the first version is enough
      pages_[i].dwFlags = PSP_DLGINDIRECT;
      pages_[i].pResource = reinterpret_cast<const DLGTEMPLATE*>(templates_[i].data());
      pages_[i].pfnDlgProc = PageProc;
      pages_[i].lParam = i;
    }
  }
  INT_PTR RunSheet(DWORD flags) {
    HPROPSHEETPAGE handles[2] = {CreatePropertySheetPageW(&pages_[0]), CreatePropertySheetPageW(&pages_[1])};
    PROPSHEETHEADERW header{};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = flags;
    header.pszCaption = u"Sheet";
    header.nPages = 2;
    header.phpage = handles;
    return PropertySheetW(&header);
  }
  size_t Count(UINT code) const {
    size_t n = 0;
    for (auto& [page, c] : log_.notes) n += c == code;
    return n;
  }
  PageLog log_;
  std::vector<BYTE> templates_[2];
  PROPSHEETPAGEW pages_[2];
};

TEST_F(SheetTest, PagesHearOfActivationApplyAndReset) {
  bool apply_enabled = false;
  script_.Run([&](HWND sheet) {
    EXPECT_EQ(log_.notes, (std::vector<std::pair<int, UINT>>{{0, PSN_SETACTIVE}}));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, IDC_SHEET_APPLY)));
  });
  script_.PickPage(1);
  script_.Type(101, u"changed");  // the page asks PSM_CHANGED
  script_.Run([&](HWND sheet) { apply_enabled = IsWindowEnabled(GetDlgItem(sheet, IDC_SHEET_APPLY)) != FALSE; });
  script_.Press(IDOK);
  EXPECT_EQ(RunSheet(PSH_DEFAULT), 1);
  EXPECT_TRUE(apply_enabled);
  std::vector<std::pair<int, UINT>> want = {{0, PSN_SETACTIVE}, {0, PSN_KILLACTIVE}, {1, PSN_SETACTIVE},
                                            {1, PSN_KILLACTIVE}, {0, PSN_APPLY},      {1, PSN_APPLY}};
  EXPECT_EQ(log_.notes, want);

  log_.notes.clear();
  script_.Press(IDCANCEL);
  EXPECT_EQ(RunSheet(PSH_NOAPPLYNOW), 0);
  EXPECT_EQ(Count(PSN_QUERYCANCEL), 1u);
  EXPECT_EQ(Count(PSN_RESET), 1u) << "only the page that was made";
}

TEST_F(SheetTest, AnInvalidPageKeepsTheSheetOpen) {
  log_.apply_answer[1] = PSNRET_INVALID;
  script_.PickPage(1);
  script_.PickPage(0);
  script_.Press(IDOK);  // page 1 objects: the sheet shows it and stays
  HWND current = nullptr;
  script_.Run([&](HWND sheet) {
    current = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    log_.apply_answer[1] = PSNRET_NOERROR;
    EXPECT_EQ(GetWindowLongPtrW(current, DWLP_USER), 1);
  });
  script_.Press(IDOK);
  EXPECT_EQ(RunSheet(PSH_NOAPPLYNOW), 1);
  EXPECT_EQ(Count(PSN_APPLY), 4u) << "pages 0 and 1 (refused), then both again";
}

TEST_F(SheetTest, WizardNavigation) {
  script_.Run([](HWND sheet) { SendMessageW(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_NEXT); });
  script_.Press(IDC_SHEET_NEXT);
  script_.Run([](HWND sheet) {
    SendMessageW(sheet, PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_FINISH);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(sheet, IDC_SHEET_NEXT)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDC_SHEET_FINISH)));
  });
  script_.Press(IDC_SHEET_FINISH);
  EXPECT_EQ(RunSheet(PSH_WIZARD), 1);
  std::vector<std::pair<int, UINT>> want = {{0, PSN_SETACTIVE}, {0, PSN_WIZNEXT},    {0, PSN_KILLACTIVE},
                                            {1, PSN_SETACTIVE}, {1, PSN_WIZFINISH}};
  EXPECT_EQ(log_.notes, want);

  // -1 from PSN_WIZNEXT stays on the page.
  log_.notes.clear();
  log_.next_answer = -1;
  script_.Press(IDC_SHEET_NEXT);
  script_.Run([](HWND sheet) {
    HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    EXPECT_EQ(GetWindowLongPtrW(page, DWLP_USER), 0);
  });
  script_.Press(IDCANCEL);
  EXPECT_EQ(RunSheet(PSH_WIZARD), 0);
}

TEST_F(SheetTest, BadHeadersFail) {
  PROPSHEETHEADERW header{};
  header.dwSize = 8;
  EXPECT_EQ(PropertySheetW(&header), -1);
  PROPSHEETPAGEW short_page = pages_[0];
  short_page.dwSize = 16;
  EXPECT_EQ(CreatePropertySheetPageW(&short_page), nullptr);
}

}  // namespace
