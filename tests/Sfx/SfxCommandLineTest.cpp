// The self-extractor's command line: splitting, the option table, response
// files, the boxes and the extras passed on to the setup program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxRunState.h"
#include "platform/kernel/memory.h"
#include "tests/Sfx/SfxTestUtil.h"

namespace {

using sfxtest::U16;
using sfxtest::U8;

// The arguments SfxSplitCommandLine makes of a text (the block is freed).
std::vector<std::u16string> Split(const char16_t* text, int* count_out = nullptr) {
  int count = -1;
  LPWSTR* arguments = SfxSplitCommandLine(text, &count);
  if (count_out) *count_out = count;
  std::vector<std::u16string> out;
  if (!arguments) return out;
  for (int i = 0; arguments[i]; ++i) out.push_back(arguments[i]);
  EXPECT_EQ(static_cast<int>(out.size()), count);
  GlobalFree(arguments);
  return out;
}

TEST(SfxSplitCommandLine, QuotesAndWhiteSpace) {
  struct Case {
    const char16_t* text;
    std::vector<std::u16string> want;
  };
  const Case cases[] = {
      {u"a \"b c\"\td", {u"a", u"b c", u"d"}},
      {u"\"say \"\"hi\"\"\"", {u"say \"hi\""}},  // "" inside quotes: one quote
      {u"x\"y z\"w", {u"xy zw"}},                // quotes inside an argument
      {u"a\"\"b", {u"ab"}},                      // "" outside quotes: nothing
      {u"\"\" b", {u"", u"b"}},                  // an empty quoted argument counts
      {u"\"open to the end", {u"open to the end"}},
      {u"  lead  trail  ", {u"lead", u"trail"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text), c.want) << U8(c.text);

  int count = -1;
  EXPECT_TRUE(Split(u" \t\r\n ", &count).empty());
  EXPECT_EQ(count, 0);
  EXPECT_EQ(SfxSplitCommandLine(nullptr, &count), nullptr);
  EXPECT_EQ(count, 0);
}

class SfxCommandLine : public sfxtest::RunStateTest {
 protected:
  // Applies a command line holding only arguments.
  HRESULT Apply(const std::u16string& arguments) {
    return SfxProcessCommandLine(arguments.c_str(), FALSE);
  }
  std::u16string Extras() const { return g_SfxRunState.extrasText; }
};

// What a command line does to the run state.
struct OptionCase {
  const char16_t* line;      // the arguments
  HRESULT result;            // SfxProcessCommandLine's result
  const char16_t* folder;    // the extraction folder (RUN), "" when not set
  int boxes;                 // "Invalid Argument" boxes shown
};

TEST_F(SfxCommandLine, OptionTable) {
  const OptionCase cases[] = {
      {u"-run /opt/app", S_OK, u"/opt/app", 0},  // a '/' path is a value
      {u"/RUN:/opt/app", S_OK, u"/opt/app", 0},
      {u"--Run:/opt/app", S_OK, u"/opt/app", 0},
      {u"-RUN C:\\Setup", S_OK, u"C:\\Setup", 0},
      {u"\"-run\" \"/opt/my app\"", S_OK, u"/opt/my app", 0},
      {u"-run @x", S_OK, u"@x", 0},
      {u"-run", E_INVALIDARG, u"", 0},
      {u"-run /quiet", E_INVALIDARG, u"", 0},       // the next argument is an option
      {u"-run -quiet", E_INVALIDARG, u"", 0},
      {u"-run: /opt/app", S_OK, u"/opt/app", 0},    // empty after ':' takes the next one
      {u"-nosetup", E_INVALIDARG, u"", 0},
      {u"-nosetup -quiet", E_INVALIDARG, u"", 0},
      {u"-nosetup:yes", S_OK, u"", 0},
      {u"-nosetup yes", S_OK, u"", 0},
      {u"-quiet:yes", E_INVALIDARG, u"", 0},        // takes no value
      {u"-quiet:", S_OK, u"", 0},
      {u"-bogus", E_INVALIDARG, u"", 0},            // unknown after '-': syntax error
      {u"-", E_INVALIDARG, u"", 0},
      {u"--", E_INVALIDARG, u"", 0},
      {u"@", E_INVALIDARG, u"", 0},
      {u"/opt/app", E_INVALIDARG, u"", 1},          // unknown after '/': a plain word
      {u"/bogus:1", E_INVALIDARG, u"", 1},
      {u"setup.msi", E_INVALIDARG, u"", 1},
      {u"one -run /opt/app two", E_INVALIDARG, u"/opt/app", 2},  // later items still apply
  };
  for (const OptionCase& c : cases) {
    SCOPED_TRACE(U8(c.line));
    g_SfxRunState = {};
    g_SfxRunState.lang = lang_;
    size_t before = boxes_.boxes().size();
    EXPECT_EQ(Apply(c.line), c.result);
    EXPECT_EQ(std::u16string(g_SfxRunState.extractFolder), c.folder);
    EXPECT_EQ(g_SfxRunState.run, c.folder[0] ? TRUE : FALSE);
    auto boxes = boxes_.boxes();
    ASSERT_EQ(boxes.size() - before, static_cast<size_t>(c.boxes));
    if (c.boxes) {
      EXPECT_NE(boxes[before].text.find(u"Invalid Argument: "), std::u16string::npos);
    }
  }
  auto boxes = boxes_.boxes();
  EXPECT_NE(boxes.back().text.find(u"Invalid Argument: two"), std::u16string::npos);
}

TEST_F(SfxCommandLine, FlagsAndExtras) {
  EXPECT_EQ(Apply(u"-notemp -TEMPEXT -post_install:1 -log x -debug:y -trace z -quiet"), S_OK);
  const SfxRunState& run = g_SfxRunState;
  EXPECT_TRUE(run.noTemp && run.overwriteAll && run.postInstall && run.quiet);
  EXPECT_FALSE(run.noSetup || run.run || run.extras);
  EXPECT_EQ(run.extractFolder[0], 0);  // TEMPEXT leaves the folder alone

  EXPECT_EQ(Apply(u"-nl --nolaunch /ui:full -ui basic"), S_OK);
  EXPECT_EQ(Extras(), u" --nolaunch --nolaunch --ui full --ui basic");
  EXPECT_TRUE(run.extras);
  EXPECT_FALSE(run.langOption);
}

TEST_F(SfxCommandLine, LanguageOption) {
  ASSERT_TRUE(platform::SetUserLocale(0x40C, 0x40C));  // French user
  EXPECT_EQ(Apply(u"-l deu"), S_OK);
  EXPECT_EQ(Extras(), u" -l deu");
  EXPECT_EQ(WuLang_GetLCID(lang_), 1031u);
  EXPECT_TRUE(g_SfxRunState.langOption && g_SfxRunState.extras);

  // An unknown code is still passed on; the user's UI language is used.
  EXPECT_EQ(Apply(u"/L:xyz"), S_OK);
  EXPECT_EQ(Extras(), u" -l deu -l xyz");
  EXPECT_EQ(WuLang_GetLCID(lang_), 0x40Cu);

  struct Code {
    const char16_t* code;
    LCID lcid;
  };
  for (Code c : {Code{u"CHT", 1028}, Code{u"chs", 2052}, Code{u"Esn", 3082}, Code{u"ptg", 2070},
                 Code{u"ptb", 1046}, Code{u"sve", 1053}, Code{u"esp", 0x40C}, Code{u"", 0x40C}})
    EXPECT_EQ(SfxLanguageCodeToLCID(c.code), c.lcid) << U8(c.code);
}

TEST_F(SfxCommandLine, ExtrasStayWithinTheirSizeAndWhole) {
  std::u16string line;
  for (int i = 0; i < 100; ++i) line += u" -ui value";
  EXPECT_EQ(Apply(line), S_OK);
  const std::u16string piece = u" --ui value";
  std::u16string want;
  while (want.size() + piece.size() < static_cast<size_t>(SFX_EXTRAS_SIZE)) want += piece;
  EXPECT_EQ(Extras(), want);

  // A later piece that fits still goes in after one that did not.
  g_SfxRunState.extrasText[0] = 0;
  std::u16string longValue(SFX_EXTRAS_SIZE, u'v');
  EXPECT_EQ(Apply(u"-ui " + longValue + u" -nl"), S_OK);
  EXPECT_EQ(Extras(), u" --nolaunch");
}

TEST_F(SfxCommandLine, HelpStopsTheRun) {
  EXPECT_EQ(Apply(u"-quiet -? -notemp"), SFX_E_HELP_SHOWN);
  EXPECT_TRUE(g_SfxRunState.quiet);
  EXPECT_FALSE(g_SfxRunState.noTemp);  // not applied after the help
  auto boxes = boxes_.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  // The name is not known before the settings are read: it drops out of
  // the title with its separator, never shown as a raw token.
  EXPECT_EQ(boxes[0].title, u"Help");
  EXPECT_NE(boxes[0].text.find(u"-run <path>"), std::u16string::npos);

  WuPrintF_AddToken(u"AppName.Title", u"Demo");
  EXPECT_EQ(Apply(u"/HELP"), SFX_E_HELP_SHOWN);
  EXPECT_EQ(boxes_.boxes().back().title, u"Demo - Help");
}

TEST_F(SfxCommandLine, ProgramOnlyGoesOn) {
  EXPECT_EQ(SfxProcessCommandLine(u"\"C:\\My Setup\\setup.exe\"", TRUE), 1);
  EXPECT_EQ(SfxProcessCommandLine(u"", FALSE), 1);
  EXPECT_EQ(SfxProcessCommandLine(u"setup.exe -quiet", TRUE), S_OK);
  EXPECT_TRUE(g_SfxRunState.quiet);
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(SfxCommandLine, SplitFailureIsNotAnEmptyCommandLine) {
  platform::FailNextAllocations(1);
  EXPECT_EQ(SfxProcessCommandLine(u"setup.exe -quiet", TRUE), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_FALSE(g_SfxRunState.quiet);
  ASSERT_EQ(boxes_.boxes().size(), 1u);
  EXPECT_NE(boxes_.boxes()[0].text.find(u"Error 0x8007000e"), std::u16string::npos);
}

// Response files in a folder of their own.
class SfxResponseFile : public SfxCommandLine {
 protected:
  void SetUp() override {
    SfxCommandLine::SetUp();
    dir_ = wutest::MakeTempDir("rsp");
  }
  // Writes a response file and returns its path.
  std::u16string Put(const char* name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    wutest::WriteBytes(path, bytes);
    return U16(path);
  }
  std::string dir_;
};

TEST_F(SfxResponseFile, NestedFilesApplyInOrder) {
  std::u16string inner = Put("inner.rsp", "-run \"/opt/my app\"\r\n-nl\r\n");
  std::u16string outer = Put("outer.rsp", "-quiet\n@" + U8(inner) + "\n-ui full\n");
  EXPECT_EQ(Apply(u"@ " + outer), S_OK);  // "@" and a separate '/' path
  EXPECT_TRUE(g_SfxRunState.quiet);
  EXPECT_EQ(std::u16string(g_SfxRunState.extractFolder), u"/opt/my app");
  EXPECT_EQ(Extras(), u" --nolaunch --ui full");
  EXPECT_TRUE(boxes_.boxes().empty());
}

TEST_F(SfxResponseFile, AnsiTextUpToItsFirstZeroByte) {
  std::u16string path = Put("ansi.rsp", std::string("-run /opt/caf\xE9\n-notemp\0-quiet", 30));
  EXPECT_EQ(Apply(u"@" + path), S_OK);
  EXPECT_EQ(std::u16string(g_SfxRunState.extractFolder), u"/opt/caf\u00E9");
  EXPECT_TRUE(g_SfxRunState.noTemp);
  EXPECT_FALSE(g_SfxRunState.quiet);
}

TEST_F(SfxResponseFile, EmptyMissingAndHelp) {
  std::u16string empty = Put("empty.rsp", " \r\n\t");
  EXPECT_EQ(Apply(u"@" + empty), 1);

  // A plain word's failure is replaced by a later response file's result.
  EXPECT_EQ(Apply(u"word @" + empty), 1);
  EXPECT_EQ(boxes_.boxes().size(), 1u);

  // A missing file is shown with its code.
  EXPECT_EQ(Apply(u"@" + U16(dir_) + u"/missing.rsp"), static_cast<HRESULT>(0x8004E007));
  ASSERT_EQ(boxes_.boxes().size(), 2u);
  EXPECT_NE(boxes_.boxes()[1].text.find(u"Error 0x8004e007: "), std::u16string::npos);

  // Help inside a file ends the processing of the outer arguments too.
  std::u16string help = Put("help.rsp", "-help -notemp");
  EXPECT_EQ(Apply(u"@" + help + u" -quiet"), SFX_E_HELP_SHOWN);
  EXPECT_FALSE(g_SfxRunState.noTemp || g_SfxRunState.quiet);
  EXPECT_EQ(SfxReadResponseFile(nullptr), E_INVALIDARG);
}

TEST_F(SfxResponseFile, SelfNamingFileStopsAtTheDepthLimit) {
  std::string path = dir_ + "/self.rsp";
  wutest::WriteBytes(path, "-nl @" + path);
  EXPECT_EQ(Apply(u"@" + U16(path)), E_INVALIDARG);
  std::u16string want;
  for (int i = 0; i < SFX_MAX_RESPONSE_DEPTH; ++i) want += u" --nolaunch";
  EXPECT_EQ(Extras(), want);
  EXPECT_TRUE(boxes_.boxes().empty());  // silent, as every syntax error

  // Two files naming each other end the same way, and the depth is undone.
  std::string a = dir_ + "/a.rsp", b = dir_ + "/b.rsp";
  wutest::WriteBytes(a, "@" + b);
  wutest::WriteBytes(b, "@" + a);
  EXPECT_EQ(Apply(u"@" + U16(a)), E_INVALIDARG);
  EXPECT_EQ(Apply(u"@" + Put("ok.rsp", "-quiet")), S_OK);
}

// A file naming itself many times would be read 16^8 times within the depth
// limit: the number of files read for one on the command line is bounded,
// and the bound starts again for the next one.
TEST_F(SfxResponseFile, FanOutIsBoundedPerCommandLineFile) {
  std::string path = dir_ + "/fan.rsp";
  std::string text = "-nl";
  for (int i = 0; i < 16; ++i) text += " @" + path;
  wutest::WriteBytes(path, text);
  EXPECT_EQ(Apply(u"@" + U16(path)), E_INVALIDARG);
  // Every file read added its " --nolaunch" until the extras were full or
  // the bound was reached: far fewer than 16^8 reads.
  EXPECT_LE(Extras().size(), static_cast<size_t>(SFX_MAX_RESPONSE_FILES) * 11);
  EXPECT_EQ(Apply(u"@" + Put("ok2.rsp", "-quiet")), S_OK);
}

}  // namespace
