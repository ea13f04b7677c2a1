// The plug-in state query and the disclosure of a plug-in's problem, under
// the scripted front end.
#include "shellui/WuFioPluginProblems.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuResPool.h"
#include "platform/shell/shell.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "platform/user/frontend.h"
#include "shellui/WuShellUIPool.h"
#include "tests/shellui/FioClassFakes.h"

namespace {

using wu_test::FakeReaderClass;
using wu_test::FakeRenderClass;

constexpr HRESULT kNotInitialised = static_cast<HRESULT>(0x8004E047);

TEST(PluginAccessible, FollowsTheStatusSign) {
  EXPECT_FALSE(WuFio_IsPluginAccessible(static_cast<IWuReadFileClass*>(nullptr)));
  EXPECT_FALSE(WuFio_IsPluginAccessible(static_cast<IWuRenderFileClass*>(nullptr)));
  const struct {
    HRESULT status;
    BOOL accessible;
  } cases[] = {{S_OK, TRUE}, {S_FALSE, TRUE}, {E_FAIL, FALSE}, {kNotInitialised, FALSE}};
  for (const auto& c : cases) {
    FakeReaderClass reader;
    FakeRenderClass render;
    reader.s.status = render.s.status = c.status;
    reader.s.hasText = render.s.hasText = true;
    reader.s.text = render.s.text = u"explained";
    EXPECT_EQ(WuFio_IsPluginAccessible(&reader), c.accessible) << std::hex << c.status;
    EXPECT_EQ(WuFio_IsPluginAccessible(&render), c.accessible) << std::hex << c.status;
    // The status alone is asked for: no explanation is made and lost.
    EXPECT_EQ(reader.s.stateCalls, 1);
    EXPECT_EQ(reader.s.stateTextCalls, 0);
    EXPECT_EQ(render.s.stateTextCalls, 0);
  }
}

class PluginDisclosureTest : public ::testing::Test {
 protected:
  void SetUp() override { OpenLanguage(0x409); }
  void OpenLanguage(LCID lcid) {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    platform::SetFrontEnd(&script_);
    platform::SetShellRecordOnly(true);
    platform::ClearShellRequests();
  }
  void TearDown() override {
    platform::SetShellRecordOnly(false);
    platform::SetFrontEnd(nullptr);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    EXPECT_TRUE(script_.Done());
    for (const std::string& e : script_.errors()) ADD_FAILURE() << e;
  }
  static std::u16string ItemText(HWND dialog, int id) { return platform::WindowText(GetDlgItem(dialog, id)); }
  static bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

  // A reader class that failed with an explanation and answers all three
  // properties.
  static void Explaining(wu_test::FakeClassScript* s) {
    s->status = kNotInitialised;
    s->hasText = true;
    s->text = u"The codec library is missing.";
    s->strings = {{5, u"Example Reader"}, {8, u"https://example.invalid/help"}, {9, u"Read this:"}};
  }

  platform::ScriptedFrontEnd script_;
  HWULANG lang_ = nullptr;
};

TEST_F(PluginDisclosureTest, SuccessOrNoClassShowsNothing) {
  FakeReaderClass reader;
  Explaining(&reader.s);
  reader.s.status = S_FALSE;  // usable, though it has words to say
  WuFio_DisclosePluginProblems(&reader, nullptr);
  WuFio_DisclosePluginProblems(static_cast<IWuReadFileClass*>(nullptr), nullptr);
  WuFio_DisclosePluginProblems(static_cast<IWuRenderFileClass*>(nullptr), nullptr);
  EXPECT_TRUE(script_.shown().empty());
  EXPECT_EQ(reader.s.stateTextCalls, 1);
  EXPECT_EQ(reader.s.stringsCalls, 0);
}

TEST_F(PluginDisclosureTest, FailureWithoutTextShowsTheErrorContextOnly) {
  FakeRenderClass render;
  render.s.status = E_FAIL;
  render.s.strings = {{5, u"Never asked"}};
  script_.Answer(IDOK);
  WuFio_DisclosePluginProblems(&render, nullptr);
  auto shown = script_.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].message_box);
  bool found = false;
  for (const std::u16string& t : shown[0].texts)
    found = found || t.find(u"An error occurred in a file format plug-in.") != std::u16string::npos;
  EXPECT_TRUE(found);
  EXPECT_EQ(render.s.stringsCalls, 0);
}

TEST_F(PluginDisclosureTest, DialogShowsThePluginsTexts) {
  FakeRenderClass render;
  Explaining(&render.s);
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(platform::WindowText(d), u"Example Reader");
        EXPECT_EQ(ItemText(d, 1002), u"The codec library is missing.");
        EXPECT_EQ(ItemText(d, 1001), u"https://example.invalid/help");
        EXPECT_EQ(ItemText(d, 1007), u"Read this:");
        EXPECT_TRUE(Visible(d, 1001));
        EXPECT_TRUE(Visible(d, 1007));
        EXPECT_FALSE(Visible(d, 1000));
        // The link control reports a click as its notification.
        NMHDR click{GetDlgItem(d, 1001), 1001, static_cast<UINT>(-105)};
        SendMessageW(d, WM_NOTIFY, 1001, reinterpret_cast<LPARAM>(&click));
      })
      .Press(IDOK);
  WuFio_DisclosePluginProblems(&render, nullptr);
  EXPECT_EQ(render.s.askedIds, (std::vector<DWORD>{5, 8, 9}));
  auto requests = platform::ShellRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].file, u"https://example.invalid/help");
  EXPECT_EQ(render.s.refs, 1);
}

TEST_F(PluginDisclosureTest, FailedPropertyQueryKeepsTheTemplateCaptionAndHidesLinkAndInfo) {
  FakeReaderClass reader;
  Explaining(&reader.s);
  reader.s.stringsResult = E_FAIL;
  reader.s.stringsOnFailure = true;  // texts handed out anyway are freed, not shown
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(platform::WindowText(d), u"Orvo File Format Plug-In");
        EXPECT_EQ(ItemText(d, 1002), u"The codec library is missing.");
        EXPECT_FALSE(Visible(d, 1001));
        EXPECT_FALSE(Visible(d, 1007));
        EXPECT_FALSE(Visible(d, 1000));
      })
      .Press(IDOK);
  WuFio_DisclosePluginProblems(&reader, nullptr);
  EXPECT_EQ(script_.shown().size(), 1u);
  EXPECT_TRUE(platform::ShellRequests().empty());
}

TEST_F(PluginDisclosureTest, OverlongTextsAreCut) {
  FakeReaderClass reader;
  Explaining(&reader.s);
  reader.s.text = std::u16string(3000, u'm');
  reader.s.strings = {{5, std::u16string(400, u't')}, {8, u""}, {9, std::u16string(3000, u'i')}};
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(ItemText(d, 1002), std::u16string(2047, u'm'));
        EXPECT_EQ(platform::WindowText(d), std::u16string(259, u't'));
        EXPECT_EQ(ItemText(d, 1007), std::u16string(2047, u'i'));
        EXPECT_FALSE(Visible(d, 1001));  // an empty link is hidden
      })
      .Press(IDOK);
  WuFio_DisclosePluginProblems(&reader, nullptr);
}

TEST_F(PluginDisclosureTest, GermanUserInterfaceOpensTheGermanTemplate) {
  WuKernel_SetLangHandle(nullptr);
  WuLang_Close(lang_);
  platform::SetFrontEnd(nullptr);
  OpenLanguage(0x407);
  FakeReaderClass reader;
  Explaining(&reader.s);
  reader.s.strings.clear();  // no title: the template's caption stays
  script_.Run([&](HWND d) { EXPECT_EQ(platform::WindowText(d), u"Orvo-Dateiformat-Plug-In"); }).Press(IDOK);
  WuFio_DisclosePluginProblems(&reader, nullptr);
  EXPECT_EQ(script_.shown().size(), 1u);
}

TEST(ShellUIPool, PluginProblemDialogInEachOfTheFiveLanguages) {
  ASSERT_TRUE(WuShellUI_InstallResPool());
  const struct {
    LCID language;
    const char16_t* caption;
  } cases[] = {{0x409, u"Orvo File Format Plug-In"},
               {0x407, u"Orvo-Dateiformat-Plug-In"},
               {0x0A, u"Complemento de formato de archivo de Orvo"},
               {0x40C, u"Plug-in de format de fichier Orvo"},
               {0x411, u"Orvo \u30D5\u30A1\u30A4\u30EB\u5F62\u5F0F\u30D7\u30E9\u30B0\u30A4\u30F3"}};
  for (const auto& c : cases) {
    LCID found = 0;
    const void* t = WuFindResourceInResPool(&WuShellUIResPool, nullptr, MAKEINTRESOURCEW(WUSHELLUI_DLG_PLUGINPROBLEM),
                                            RT_DIALOG, c.language, &found);
    ASSERT_NE(t, nullptr) << c.language;
    EXPECT_EQ(found, c.language);
    // Extended template without menu or class: the caption at unit 15.
    EXPECT_EQ(std::u16string(static_cast<const char16_t*>(t) + 15), c.caption);
  }
}

}  // namespace
