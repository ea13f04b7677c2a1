// The help entries (WinHelpW, the help control's HtmlHelpW), the shell's
// opener of documents and addresses, export modules found by LoadLibraryW
// and the braced GUID text of the component layer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/com/com.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/error.h"
#include "platform/shell/help.h"
#include "platform/kernel/module.h"
#include "platform/shell/shell.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearHelpRequests();
    wutest::WriteBytes(dir_ + "/Guide.chm", "chm");
    wutest::WriteBytes(dir_ + "/Guide.hlp", "hlp");
  }
  void TearDown() override { platform::ResetSystemModel(); }
  std::string dir_ = wutest::MakeTempDir("help");
};

TEST_F(HelpTest, WinHelpIsRefusedFromVersionSixAndAnsweredBefore) {
  std::u16string hlp = U16(dir_ + "/Guide.hlp");
  std::u16string missing = U16(dir_ + "/None.hlp");
  SetLastError(0);
  EXPECT_FALSE(WinHelpW(nullptr, hlp.c_str(), HELP_CONTEXT, 12));
  EXPECT_EQ(GetLastError(), ERROR_CALL_NOT_IMPLEMENTED);

  platform::SystemModel old_system;
  old_system.major = 5;
  old_system.minor = 1;
  platform::SetSystemModel(old_system);
  EXPECT_TRUE(WinHelpW(nullptr, (hlp + u">main").c_str(), HELP_CONTEXT, 12));  // window name
  EXPECT_FALSE(WinHelpW(nullptr, missing.c_str(), HELP_CONTEXT, 12));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(WinHelpW(nullptr, missing.c_str(), HELP_QUIT, 0));

  auto requests = platform::HelpRequests();
  ASSERT_EQ(requests.size(), 4u);
  EXPECT_FALSE(requests[0].succeeded);
  EXPECT_TRUE(requests[1].succeeded);
  EXPECT_EQ(requests[1].data, 12u);
  EXPECT_FALSE(requests[2].succeeded);
  EXPECT_TRUE(requests[3].succeeded);
}

TEST_F(HelpTest, HelpControlIsLoadedByNameAndOpensExistingFiles) {
  HMODULE control = LoadLibraryW(u"HHCTRL.OCX");
  ASSERT_NE(control, nullptr);
  auto html_help = reinterpret_cast<HTMLHELPW_FN>(GetProcAddress(control, "HtmlHelpW"));
  ASSERT_NE(html_help, nullptr);
  EXPECT_EQ(GetProcAddress(control, "HtmlHelpA"), nullptr);

  std::u16string topic = U16(dir_ + "/Guide.chm::/Popup.txt");
  HH_POPUP popup = {};
  popup.cbStruct = sizeof(popup);
  popup.idString = 4711;
  popup.pt = {10, 20};
  popup.pszFont = u"Face, 9";
  HWND shown = html_help(nullptr, topic.c_str(), HH_DISPLAY_TEXT_POPUP,
                         reinterpret_cast<DWORD_PTR>(&popup));
  EXPECT_TRUE(IsWindow(shown));
  EXPECT_EQ(html_help(nullptr, U16(dir_ + "/None.chm").c_str(), HH_DISPLAY_TOPIC, 0), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(html_help(nullptr, nullptr, HH_CLOSE_ALL, 0), nullptr);
  EXPECT_FALSE(IsWindow(shown));

  auto requests = platform::HelpRequests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].kind, platform::HelpRequest::Kind::kHtmlHelp);
  EXPECT_EQ(requests[0].file, topic);
  ASSERT_TRUE(requests[0].has_popup);
  EXPECT_EQ(requests[0].popup_id, 4711u);
  EXPECT_EQ(requests[0].popup_point.y, 20);
  EXPECT_EQ(requests[0].popup_font, u"Face, 9");
  EXPECT_FALSE(requests[1].succeeded);
  EXPECT_TRUE(FreeLibrary(control));
}

// ---- ShellExecuteW ------------------------------------------------------------------------

// A script that writes its arguments, one a line, to `out`.
std::string WriteScript(const std::string& path, const std::string& out) {
  wutest::WriteBytes(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + out + ".part\"\nmv \"" + out +
                               ".part\" \"" + out + "\"\n");
  chmod(path.c_str(), 0755);
  return path;
}

// The file a child writes, once it is there (bounded wait).
std::string AwaitFile(const std::string& path) {
  for (int i = 0; i < 500 && access(path.c_str(), F_OK) != 0; ++i) usleep(10000);
  return wutest::ReadBytes(path);
}

class ShellExecuteTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::SetShellOpener(std::string());
    platform::SetShellRecordOnly(false);
    platform::ClearShellRequests();
  }
  static uintptr_t Open(const std::u16string& file, LPCWSTR verb = u"open",
                        LPCWSTR parameters = nullptr, LPCWSTR directory = nullptr) {
    return reinterpret_cast<uintptr_t>(
        ShellExecuteW(nullptr, verb, file.c_str(), parameters, directory, SW_SHOWDEFAULT));
  }
  std::string dir_ = wutest::MakeTempDir("shell");
};

TEST_F(ShellExecuteTest, OpensAddressesAndDocumentsWithTheOpener) {
  platform::SetShellOpener(WriteScript(dir_ + "/opener", dir_ + "/opened"));
  EXPECT_EQ(Open(u"https://example.org/a b?x=1"), static_cast<uintptr_t>(SE_OPENED));
  EXPECT_EQ(AwaitFile(dir_ + "/opened"), "https://example.org/a b?x=1\n");

  wutest::WriteBytes(dir_ + "/doc.txt", "text");
  unlink((dir_ + "/opened").c_str());
  EXPECT_EQ(Open(U16(dir_ + "/doc.txt"), nullptr), static_cast<uintptr_t>(SE_OPENED));
  EXPECT_EQ(AwaitFile(dir_ + "/opened"), dir_ + "/doc.txt\n");

  auto requests = platform::ShellRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].started);
  EXPECT_EQ(requests[0].verb, u"open");
  EXPECT_EQ(requests[1].verb, u"");
}

TEST_F(ShellExecuteTest, RunsProgramsWithParametersAndReportsFailures) {
  WriteScript(dir_ + "/tool", dir_ + "/ran");
  EXPECT_EQ(Open(U16(dir_ + "/tool"), u"open", u"one \"two words\""),
            static_cast<uintptr_t>(SE_OPENED));
  EXPECT_EQ(AwaitFile(dir_ + "/ran"), "one\ntwo words\n");

  struct Case {
    std::u16string file;
    LPCWSTR verb;
    uintptr_t result;
  } cases[] = {
      {U16(dir_ + "/missing.txt"), u"open", SE_ERR_FNF},
      {U16(dir_ + "/no/such/folder.txt"), u"open", SE_ERR_PNF},
      {U16(dir_ + "/tool"), u"print", SE_ERR_NOASSOC},
  };
  for (const Case& c : cases) EXPECT_EQ(Open(c.file, c.verb), c.result);

  // No opener at all: the request is only recorded.
  platform::SetShellOpener(dir_ + "/no-opener");
  platform::ClearShellRequests();
  EXPECT_EQ(Open(u"mailto:someone@example.org"), static_cast<uintptr_t>(SE_ERR_NOASSOC));
  EXPECT_EQ(GetLastError(), ERROR_NO_ASSOCIATION);
  auto requests = platform::ShellRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_FALSE(requests[0].started);

  // Record-only: success, nothing started.
  platform::SetShellRecordOnly(true);
  EXPECT_EQ(Open(U16(dir_ + "/tool"), u"open", u"x", u"/"), static_cast<uintptr_t>(SE_OPENED));
  requests = platform::ShellRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_FALSE(requests[1].started);
  EXPECT_EQ(requests[1].parameters, u"x");
  EXPECT_EQ(requests[1].directory, u"/");
}

// ---- Modules and GUID texts ------------------------------------------------------------------

int Answer() { return 42; }

TEST(ExportModuleLoadTest, LoadLibraryFindsExportModulesByNameAndFile) {
  std::string dir = wutest::MakeTempDir("exports");
  std::u16string file = U16(dir + "/stand-in.dll");
  wutest::WriteBytes(dir + "/stand-in.dll", "not a shared object");
  const platform::ExportEntry exports[] = {{"Answer", reinterpret_cast<void*>(&Answer)}};
  size_t before = platform::LoadedModuleCount();
  HMODULE made = platform::CreateExportModule(u"STAND-IN.DLL", exports, 1, file.c_str());
  ASSERT_NE(made, nullptr);

  EXPECT_EQ(LoadLibraryW(u"stand-in"), made);        // name, case and ".dll" ignored
  EXPECT_EQ(LoadLibraryW(file.c_str()), made);       // its file
  HMODULE data = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(data, made);                             // the file's bytes, not the exports
  EXPECT_EQ(GetProcAddress(data, "Answer"), nullptr);
  if (data) FreeLibrary(data);
  auto answer = reinterpret_cast<int (*)()>(GetProcAddress(LoadLibraryW(u"stand-in.dll"), "Answer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);

  for (int i = 0; i < 3; ++i) EXPECT_TRUE(FreeLibrary(made));
  EXPECT_TRUE(FreeLibrary(made));  // the creation's own reference
  EXPECT_EQ(platform::LoadedModuleCount(), before);
  EXPECT_EQ(LoadLibraryW(u"stand-in"), nullptr);
  EXPECT_NE(GetProcAddress(GetModuleHandleW(u"kernel32"), "IsDebuggerPresent"), nullptr);
}

TEST(GuidTextTest, BracedUpperCaseFormNeedsThirtyNineCharacters) {
  const GUID guid = {0x0A1B2C3D, 0x4E5F, 0x6A7B, {0x8C, 0x9D, 0xAE, 0xBF, 0xC0, 0xD1, 0xE2, 0xF3}};
  WCHAR text[39];
  EXPECT_EQ(StringFromGUID2(guid, text, 39), 39);
  EXPECT_EQ(std::u16string(text), u"{0A1B2C3D-4E5F-6A7B-8C9D-AEBFC0D1E2F3}");
  text[0] = u'#';
  EXPECT_EQ(StringFromGUID2(guid, text, 38), 0);
  EXPECT_EQ(text[0], u'#');
}

}  // namespace
