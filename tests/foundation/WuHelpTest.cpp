// Help files found by the language search order, help and pop-ups reaching
// the platform's help entries, toolbar hit tests, web pages through the
// shell and mail through the mail library's send call.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/WuHelp.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/cpu.h"
#include "platform/shell/help.h"
#include "platform/kernel/module.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

class WuHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseLanguage(0x407);  // "DEU"
    module_ = platform::CreateExportModule(u"App.dll", nullptr, 0, U16(dir_ + "/App.dll").c_str());
    ASSERT_NE(module_, nullptr);
    platform::ClearHelpRequests();
  }
  void TearDown() override {
    WuKernel_SetLangHandle(nullptr);
    if (lang_) WuLang_Close(lang_);
    FreeLibrary(module_);
    platform::ResetSystemModel();
    WuHelp_SetHelpFilePath(WUHELP_HTMLHELP, nullptr);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Talvene\\Shared Information", 0,
                      KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, u"HelpFolder");
      RegCloseKey(key);
    }
  }

  void UseLanguage(LANGID language) {
    WuKernel_SetLangHandle(nullptr);
    if (lang_) WuLang_Close(lang_);
    lang_ = nullptr;
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), language, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
  }
  static void UseOldSystem() {
    platform::SystemModel model;
    model.major = 5;
    model.minor = 1;
    platform::SetSystemModel(model);
  }
  void Touch(const std::string& folder, const char* name) {
    wutest::WriteBytes(folder + "/" + name, "help");
  }
  void SetSharedFolder(const std::string& folder) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Talvene\\Shared Information", 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::u16string text = U16(folder);
    RegSetValueExW(key, u"HelpFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    RegCloseKey(key);
  }
  // The help path beside the module, as a name relative to `dir_`.
  std::string Beside(int type, LPCWSTR file = nullptr, BOOL no_variant = FALSE) {
    WCHAR path[MAX_PATH];
    if (!WuHelp_CreateHelpFilePath(type, module_, path, MAX_PATH, file, no_variant)) return "<none>";
    return Relative(path);
  }
  std::string Relative(const WCHAR* path) {
    std::string text = U8(path);
    return text.rfind(dir_ + "/", 0) == 0 ? text.substr(dir_.size() + 1) : text;
  }

  std::string dir_ = wutest::MakeTempDir("help");
  HMODULE module_ = nullptr;
  HWULANG lang_ = nullptr;
};

TEST_F(WuHelpTest, FindsTheLanguageVariantInSearchOrder) {
  struct Case {
    std::vector<const char*> files;
    const char* expected;
  } cases[] = {
      {{"App.chm", "AppDEU.chm", "App_DEU.chm", "AppDEx.chm"}, "AppDEU.chm"},
      {{"App.chm", "App_DEU.chm", "AppDEx.chm"}, "App_DEU.chm"},
      {{"App.chm", "AppDEx.chm"}, "AppDEx.chm"},
      {{"App.chm", "AppFRA.chm", "App_DE.hlp"}, "App.chm"},  // other language, other type
      {{}, "App.chm"},                                        // nothing there: the plain name
  };
  for (const Case& c : cases) {
    std::string folder = dir_;
    for (const char* name : c.files) Touch(folder, name);
    EXPECT_EQ(Beside(WUHELP_HTMLHELP), c.expected);
    for (const char* name : c.files) unlink((folder + "/" + name).c_str());
  }

  Touch(dir_, "AppDEU.chm");
  EXPECT_EQ(Beside(WUHELP_HTMLHELP, nullptr, TRUE), "App.chm");  // variants not wanted
  EXPECT_EQ(Beside(WUHELP_HTMLHELP, u"Guide.txt"), "Guide.chm");
  Touch(dir_, "AppENU.chm");
  UseLanguage(0x409);
  EXPECT_EQ(Beside(WUHELP_HTMLHELP), "App.chm");  // English seeks no variant
}

TEST_F(WuHelpTest, WinHelpPathsOnlyBeforeVersionSix) {
  Touch(dir_, "App_DEU.hlp");
  EXPECT_EQ(Beside(WUHELP_WINHELP), "<none>");
  WuHelp_SetHelpFilePath(WUHELP_WINHELP, u"ignored.hlp");
  WCHAR text[MAX_PATH] = u"x";
  EXPECT_EQ(WuHelp_GetHelpFilePath(WUHELP_WINHELP, text, MAX_PATH), 0);
  EXPECT_EQ(text[0], 0);

  UseOldSystem();
  EXPECT_EQ(Beside(WUHELP_WINHELP), "App_DEU.hlp");
  WuHelp_SetHelpFilePath(WUHELP_WINHELP, u"kept.hlp");
  EXPECT_EQ(WuHelp_GetHelpFilePath(WUHELP_WINHELP, text, 5), 4);
  EXPECT_EQ(std::u16string(text), u"kept");
  WuHelp_SetHelpFilePath(WUHELP_WINHELP, nullptr);
}

TEST_F(WuHelpTest, SharedFolderUnsharedFallbackAndPluginOrder) {
  std::string shared = wutest::MakeTempDir("shared");
  WCHAR path[MAX_PATH];
  EXPECT_FALSE(WuHelp_CreateSharedHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, nullptr,
                                               FALSE));  // no folder named
  EXPECT_TRUE(WuHelp_CreateHelpFilePathEX(WUHELP_HTMLHELP, module_, path, MAX_PATH, nullptr, FALSE));
  EXPECT_EQ(Relative(path), "App.chm");

  SetSharedFolder(shared + "/missing");
  EXPECT_FALSE(WuHelp_CreateSharedHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, nullptr,
                                               FALSE));
  SetSharedFolder(shared);
  EXPECT_TRUE(WuHelp_CreateSharedHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, nullptr,
                                              FALSE));  // the file need not exist
  EXPECT_EQ(U8(path), shared + "/App.chm");
  Touch(shared, "Tool_DEU.chm");
  EXPECT_TRUE(WuHelp_CreateHelpFilePathEX(WUHELP_HTMLHELP, module_, path, MAX_PATH, u"Tool.hlp",
                                          FALSE));
  EXPECT_EQ(U8(path), shared + "/Tool_DEU.chm");

  // Neither file: empty and FALSE. The unshared path falls back to the
  // program's folder.
  EXPECT_FALSE(WuHelp_CreatePluginHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, TRUE));
  EXPECT_EQ(path[0], 0);
  EXPECT_FALSE(WuHelp_CreateUnsharedHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH));
  WCHAR program[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, program, MAX_PATH), 0u);
  std::string program_dir = U8(program).substr(0, U8(program).rfind('/'));
  EXPECT_EQ(U8(path), program_dir + "/App.chm");

  Touch(dir_, "App.chm");
  Touch(shared, "App.chm");
  EXPECT_TRUE(WuHelp_CreateUnsharedHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH));
  EXPECT_EQ(Relative(path), "App.chm");
  EXPECT_TRUE(WuHelp_CreatePluginHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, TRUE));
  EXPECT_EQ(U8(path), shared + "/App.chm");
  EXPECT_TRUE(WuHelp_CreatePluginHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, FALSE));
  EXPECT_EQ(Relative(path), "App.chm");
  unlink((dir_ + "/App.chm").c_str());
  EXPECT_TRUE(WuHelp_CreatePluginHelpFilePath(WUHELP_HTMLHELP, module_, path, MAX_PATH, FALSE));
  EXPECT_EQ(U8(path), shared + "/App.chm");
}

TEST_F(WuHelpTest, ContextHelpReachesTheHelpEntries) {
  std::u16string hlp = U16(dir_ + "/App.hlp");
  std::u16string chm = U16(dir_ + "/App.chm");
  Touch(dir_, "App.hlp");
  Touch(dir_, "App.chm");
  HWND window = reinterpret_cast<HWND>(0x1234);

  // WinHelp from version 6.0 on: nothing at all.
  EXPECT_EQ(WuHelp_ContextHelp(WUHELP_WINHELP, window, 77, HELP_CONTEXT, hlp.c_str()), 0);
  EXPECT_TRUE(platform::HelpRequests().empty());

  UseOldSystem();
  EXPECT_NE(WuHelp_ContextHelp(WUHELP_WINHELP, window, 77, HELP_CONTEXT, hlp.c_str()), 0);
  std::u16string gone = U16(dir_ + "/Gone.hlp");
  EXPECT_EQ(WuHelp_ContextHelp(WUHELP_WINHELP, window, 0, HELP_QUIT, gone.c_str()), 0);
  EXPECT_EQ(WuHelp_ContextHelp(WUHELP_WINHELP, window, 0, HELP_QUIT, nullptr), 0);  // no default
  auto requests = platform::HelpRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].kind, platform::HelpRequest::Kind::kWinHelp);
  EXPECT_EQ(requests[0].window, window);
  EXPECT_EQ(requests[0].file, hlp);
  EXPECT_EQ(requests[0].command, HELP_CONTEXT);
  EXPECT_EQ(requests[0].data, 77u);

  // HTML help with the default file: the desktop owns it.
  platform::ClearHelpRequests();
  WuHelp_SetHelpFilePath(WUHELP_HTMLHELP, chm.c_str());
  EXPECT_NE(WuHelp_ContextHelp(WUHELP_HTMLHELP, window, 5, HH_HELP_CONTEXT, nullptr), 0);
  std::u16string missing = U16(dir_ + "/Missing.chm");
  EXPECT_EQ(WuHelp_ContextHelp(WUHELP_HTMLHELP, window, 5, HH_HELP_CONTEXT, missing.c_str()), 0);
  EXPECT_EQ(WuHelp_ContextHelp(7, window, 5, HH_HELP_CONTEXT, chm.c_str()), 0);  // unknown type
  requests = platform::HelpRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].kind, platform::HelpRequest::Kind::kHtmlHelp);
  EXPECT_EQ(requests[0].window, GetDesktopWindow());
  EXPECT_EQ(requests[0].file, chm);
  EXPECT_EQ(requests[0].command, HH_HELP_CONTEXT);
  EXPECT_EQ(requests[0].data, 5u);
}

TEST_F(WuHelpTest, PopupHelpMapsControlsToHelpIds) {
  UseOldSystem();
  std::u16string hlp = U16(dir_ + "/App.hlp");
  std::u16string chm = U16(dir_ + "/App.chm");
  Touch(dir_, "App.hlp");
  Touch(dir_, "App.chm");
  const DWORD map[] = {1001, 5001, 1002, 5002, 0, 0};
  struct Case {
    int type;
    DWORD default_id;
    int control;
    const DWORD* map;
    bool shown;
    UINT command;
    DWORD_PTR id;
  } cases[] = {
      {WUHELP_WINHELP, 0, 1002, map, true, HELP_CONTEXTPOPUP, 5002},
      {WUHELP_WINHELP, 9000, 1003, map, true, HELP_CONTEXTPOPUP, 9000},  // default id
      {WUHELP_WINHELP, 0, 1003, map, false, 0, 0},                       // nothing to show
      {WUHELP_WINHELP, 9000, -1, map, false, 0, 0},
      {WUHELP_WINHELP, 9000, 0, map, false, 0, 0},
      {WUHELP_WINHELP, 9000, 1001, nullptr, true, HELP_QUIT, 0},  // no map: closes
      {WUHELP_HTMLHELP, 9000, 1001, map, true, HH_DISPLAY_TEXT_POPUP, 5001},
      {WUHELP_HTMLHELP, 9000, 1005, nullptr, true, HH_DISPLAY_TEXT_POPUP, 9000},
      {WUHELP_HTMLHELP, 0, 1005, nullptr, false, 0, 0},
  };
  for (const Case& c : cases) {
    platform::ClearHelpRequests();
    const std::u16string& file = c.type == WUHELP_WINHELP ? hlp : chm;
    BOOL shown = WuHelp_ContextPopupHelp(c.type, nullptr, c.default_id, c.control, c.map,
                                         file.c_str());
    auto requests = platform::HelpRequests();
    SCOPED_TRACE(testing::Message() << "type " << c.type << " control " << c.control);
    EXPECT_EQ(shown != FALSE, c.shown);
    ASSERT_EQ(requests.size(), c.shown ? 1u : 0u);
    if (!c.shown) continue;
    EXPECT_EQ(requests[0].command, c.command);
    if (c.type == WUHELP_WINHELP) {
      EXPECT_EQ(requests[0].data, c.id);
      EXPECT_EQ(requests[0].file, hlp);
    } else {
      EXPECT_EQ(requests[0].file, chm + u"::/Popup.txt");
      ASSERT_TRUE(requests[0].has_popup);
      EXPECT_EQ(requests[0].popup_id, c.id);
      EXPECT_EQ(requests[0].popup_font, u"MS Shell Dlg, 8");
      EXPECT_EQ(requests[0].popup_colors[0], 0xFFFFFFFFu);
      EXPECT_EQ(requests[0].popup_margins.left, -1);
      EXPECT_EQ(requests[0].popup_margins.bottom, -1);
    }
  }
}

TEST_F(WuHelpTest, HitTestFindsTheButtonUnderTheMouse) {
  HWND parent = CreateWindowExW(0, u"Static", u"", WS_POPUP, 50, 40, 300, 100, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  HWND toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, u"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 30,
                                 parent, nullptr, nullptr, nullptr);
  ASSERT_NE(toolbar, nullptr);
  SendMessageW(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBBUTTON buttons[3] = {};
  const int ids[3] = {301, 0, 303};
  for (int i = 0; i < 3; ++i) {
    buttons[i].idCommand = ids[i];
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = BTNS_BUTTON;
  }
  ASSERT_TRUE(SendMessageW(toolbar, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(buttons)));
  RECT first = {}, third = {};
  ASSERT_TRUE(SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first)));
  ASSERT_TRUE(SendMessageW(toolbar, TB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&third)));

  auto hit = [&](int x, int y, int* id) {
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iCtrlId = -7;
    info.MousePos = {x, y};
    ClientToScreen(toolbar, &info.MousePos);
    BOOL found = WuHelp_HitTestToolbar(toolbar, &info);
    *id = info.iCtrlId;
    return found != FALSE;
  };
  int id = 0;
  EXPECT_TRUE(hit(first.left, first.top, &id));  // left and top inclusive
  EXPECT_EQ(id, 301);
  EXPECT_TRUE(hit(third.right - 1, third.bottom - 1, &id));
  EXPECT_EQ(id, 303);
  EXPECT_FALSE(hit(third.right, third.top, &id));  // right exclusive: past the last button
  EXPECT_EQ(id, -7);
  EXPECT_FALSE(hit((first.right + third.left) / 2, first.top, &id));  // the button with id 0
  EXPECT_EQ(id, -7);
  DestroyWindow(parent);
}

TEST(WuWebPageTest, OpensServicePagesAndAddressesThroughTheShell) {
  platform::SetShellRecordOnly(true);
  platform::ClearShellRequests();
  struct Case {
    uintptr_t page;
    const char16_t* query;
  } pages[] = {{103, u"?Place=Support"}, {101, u"?Place=News"}, {105, u"?Product="}};
  for (const Case& c : pages) {
    HINSTANCE result = Internet_BrowseWebPage(nullptr, reinterpret_cast<LPCWSTR>(c.page));
    EXPECT_GT(reinterpret_cast<uintptr_t>(result), 32u);
  }
  EXPECT_GT(reinterpret_cast<uintptr_t>(Internet_BrowseWebPage(nullptr, u"https://example.org/x")),
            32u);
  // A number that names no page is refused, not read as an address.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(Internet_BrowseWebPage(nullptr, reinterpret_cast<LPCWSTR>(7))),
            2u);
  auto requests = platform::ShellRequests();
  platform::SetShellRecordOnly(false);
  ASSERT_EQ(requests.size(), 4u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_NE(requests[i].file.find(u"productinfo.asp" + std::u16string(pages[i].query)),
              std::u16string::npos)
        << U8(requests[i].file);
    EXPECT_EQ(requests[i].verb, u"open");
    EXPECT_EQ(requests[i].show, SW_SHOWDEFAULT);
  }
  EXPECT_EQ(requests[3].file, u"https://example.org/x");
  WCHAR windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  EXPECT_EQ(requests[3].directory, windows);
}

// ---- Mail --------------------------------------------------------------------------------------

// What the stand-in mail library saw of its one call.
struct SentMail {
  int calls = 0;
  ULONG_PTR window = 0;
  ULONG flags = 0;
  bool window_enabled = true;  // during the call
  HWND capture = nullptr;      // during the call
  std::string subject, recipient_name, recipient_address, path, file_name;
  ULONG recipient_class = 0, position = 0, recipients = 0, files = 0;
};
SentMail g_sent;
ULONG g_mail_answer = SUCCESS_SUCCESS;

ULONG StandInSendMail(ULONG_PTR session, ULONG_PTR ui_param, MapiMessage* message, ULONG flags,
                      ULONG reserved) {
  ++g_sent.calls;
  g_sent.window = ui_param;
  g_sent.flags = flags;
  HWND window = reinterpret_cast<HWND>(ui_param);
  g_sent.window_enabled = IsWindowEnabled(window) != FALSE;
  g_sent.capture = GetCapture();
  g_sent.subject = message->lpszSubject ? message->lpszSubject : "";
  g_sent.recipients = message->nRecipCount;
  g_sent.files = message->nFileCount;
  if (message->nRecipCount) {
    g_sent.recipient_class = message->lpRecips[0].ulRecipClass;
    g_sent.recipient_name = message->lpRecips[0].lpszName;
    g_sent.recipient_address = message->lpRecips[0].lpszAddress;
  }
  if (message->nFileCount) {
    g_sent.position = message->lpFiles[0].nPosition;
    g_sent.path = message->lpFiles[0].lpszPathName;
    g_sent.file_name = message->lpFiles[0].lpszFileName;
  }
  return g_mail_answer;
}

TEST(WuMailTest, WithoutAMailLibraryMailFails) {
  EXPECT_EQ(Internet_SendMail(nullptr, u"Hi", u"Ann", u"ann@example.org"), E_FAIL);
  // A library without the send call fails too, and is given back.
  HMODULE empty = platform::CreateExportModule(u"MAPI32.DLL", nullptr, 0);
  size_t loaded = platform::LoadedModuleCount();
  EXPECT_EQ(Internet_MailFile(nullptr, u"/tmp/a.txt", u"a.txt", u"Hi"), E_FAIL);
  EXPECT_EQ(platform::LoadedModuleCount(), loaded);
  FreeLibrary(empty);
}

TEST(WuMailTest, SendsThroughTheMailLibraryWithTheWindowDisabled) {
  const platform::ExportEntry exports[] = {
      {"MAPISendMail", reinterpret_cast<void*>(&StandInSendMail)}};
  HMODULE mapi = platform::CreateExportModule(u"MAPI32.DLL", exports, 1);
  HWND window = CreateWindowExW(0, u"Static", u"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);

  g_sent = SentMail();
  std::u16string long_subject(300, u'x');
  EXPECT_EQ(Internet_SendMail(window, long_subject.c_str(), u"Ann", u"ann@example.org"), S_OK);
  EXPECT_EQ(g_sent.calls, 1);
  EXPECT_EQ(g_sent.window, reinterpret_cast<ULONG_PTR>(window));
  EXPECT_EQ(g_sent.flags, MAPI_LOGON_UI | MAPI_DIALOG);
  EXPECT_FALSE(g_sent.window_enabled);
  EXPECT_EQ(g_sent.capture, window);
  EXPECT_TRUE(IsWindowEnabled(window));
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(g_sent.subject, std::string(255, 'x'));
  EXPECT_EQ(g_sent.recipients, 1u);
  EXPECT_EQ(g_sent.recipient_class, MAPI_TO);
  EXPECT_EQ(g_sent.recipient_name, "Ann");
  EXPECT_EQ(g_sent.recipient_address, "ann@example.org");
  EXPECT_EQ(g_sent.files, 0u);

  g_sent = SentMail();
  EXPECT_EQ(Internet_MailFile(window, u"/data/Report.txt", u"Report.txt", u"Report"), S_OK);
  EXPECT_EQ(g_sent.files, 1u);
  EXPECT_EQ(g_sent.recipients, 0u);
  EXPECT_EQ(g_sent.position, static_cast<ULONG>(-1));
  EXPECT_EQ(g_sent.path, "/data/Report.txt");
  EXPECT_EQ(g_sent.file_name, "Report.txt");
  EXPECT_EQ(g_sent.subject, "Report");

  g_sent = SentMail();
  EXPECT_EQ(Internet_SendFeedback(window, u"Feedback"), S_OK);
  EXPECT_FALSE(g_sent.recipient_address.empty());
  EXPECT_EQ(g_sent.recipient_name, g_sent.recipient_address);

  // The user's cancel is no failure; a failed logon is.
  struct {
    ULONG answer;
    HRESULT result;
  } answers[] = {{SUCCESS_SUCCESS, S_OK}, {MAPI_USER_ABORT, S_OK},
                 {MAPI_E_LOGON_FAILURE, E_FAIL}, {MAPI_E_FAILURE, E_FAIL}};
  size_t loaded = platform::LoadedModuleCount();
  for (const auto& a : answers) {
    g_mail_answer = a.answer;
    EXPECT_EQ(Internet_SendMail(window, u"s", u"n", u"a"), a.result) << "answer " << a.answer;
  }
  g_mail_answer = SUCCESS_SUCCESS;
  EXPECT_EQ(platform::LoadedModuleCount(), loaded);  // loaded and released per call
  DestroyWindow(window);
  FreeLibrary(mapi);
}

}  // namespace
