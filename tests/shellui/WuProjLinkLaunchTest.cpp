// Project-link info and application launch: argument texts, application
// paths from open commands, the known-application test, loading the link,
// the launch's checks, the hand-over to running instances, the start of
// the registered application and the two launch dialogs.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuResPool.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/transport.h"
#include "platform/registry/registry.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "platform/user/frontend.h"
#include "shellui/CWuLinkProjectInfo.h"
#include "shellui/WuProjLinkLaunch.h"
#include "shellui/WuShellUIPool.h"
#include "tests/common/TestUtil.h"
#include "tests/common/VersionBlock.h"
#include "tests/mediaformats/TestReadMeta.h"
#include "tests/shellui/LaunchFakes.h"

namespace {

using wutest::ReadBytes;
using wutest::StateRoot;
using wutest::U16;
using wutest::U8;
using wutest::WriteBytes;

constexpr HRESULT kAbsent = static_cast<HRESULT>(0x8004E00A);
constexpr HRESULT kNoMediaPath = static_cast<HRESULT>(0x8004E016);
constexpr HRESULT kTooLong = static_cast<HRESULT>(0x8004E03C);
constexpr HRESULT kInvalidLink = static_cast<HRESULT>(0x8004E05D);

// ---- Side files built byte by byte ------------------------------------------------------------

void Put32(std::string* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::string Text(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  out += std::string(2, '\0');
  return out;
}
std::string Chunk(const char* id, const std::string& data) {
  std::string out(id, 4);
  Put32(&out, static_cast<uint32_t>(data.size()));
  out += data;
  if (data.size() % 2) out.push_back('\0');
  return out;
}
std::string Version() {
  std::string v;
  Put32(&v, 0x01000100);
  return Chunk("splv", v);
}
std::string SideFile(const std::string& chunks) {
  std::string out = "RIFF";
  Put32(&out, static_cast<uint32_t>(4 + chunks.size()));
  return out + "WUPL" + chunks;
}

// The fields of a link in a side file; an empty text leaves its chunk out.
struct Link {
  std::u16string projectPath;
  std::u16string commandLine;
  std::u16string windowClass;
  std::u16string creatorInfo;
  std::string projectData;  // a whole "LIST" "spel" block, or empty
};
std::string LinkChunks(const Link& link) {
  std::string chunks = Version();
  if (!link.projectPath.empty()) chunks += Chunk("splp", Text(link.projectPath));
  if (!link.commandLine.empty()) chunks += Chunk("spcl", Text(link.commandLine));
  if (!link.creatorInfo.empty()) chunks += Chunk("spca", Text(link.creatorInfo));
  if (!link.windowClass.empty()) chunks += Chunk("spcc", Text(link.windowClass));
  if (!link.projectData.empty()) chunks += Chunk("spem", link.projectData);
  return chunks;
}

// ---- Registry ------------------------------------------------------------------------------------

void SetDefault(const std::u16string& key, const std::u16string& value) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                            nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * 2)),
            ERROR_SUCCESS);
  RegCloseKey(h);
}
// Registers `command` as the open command of `ext` (file type "<ext>file").
void RegisterOpenCommand(const std::u16string& ext, const std::u16string& command) {
  std::u16string type = ext.substr(1) + u"file";
  SetDefault(ext, type);
  SetDefault(type + u"\\shell\\open\\command", command);
}

// Polls for a file the launch target writes (at most 10 s); its text.
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 1000; ++i) {
    if (std::filesystem::exists(path)) return ReadBytes(path);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return "";
}

// ---- Argument texts ---------------------------------------------------------------------------

TEST(ProjLinkArguments, CommandLinesBecomeArgumentTexts) {
  struct Case {
    const char16_t* commandLine;
    const char16_t* expected;
  } cases[] = {
      {u"-open %s", u"-open C:\\a.wav"},
      {u"-open", u"-open \"C:\\a.wav\""},
      {u"", u"\"C:\\a.wav\""},
      {nullptr, u"\"C:\\a.wav\""},
      // Data from a media file is never a format: only "%s" and "%%" mean
      // something; "%d", "$d" and a second "%s" read no arguments.
      {u"-x %d $d %s %s", u"-x %d $d C:\\a.wav C:\\a.wav"},
      {u"100%% %s", u"100% C:\\a.wav"},
      // "%%s" is a literal "%s": no path inside, so it is appended.
      {u"-p %%s", u"-p %%s \"C:\\a.wav\""},
      {u"%s%", u"C:\\a.wav%"},
  };
  for (const Case& c : cases) {
    WCHAR out[WULAUNCH_ARGS_CHARS];
    ASSERT_EQ(ProjLink_BuildArguments(c.commandLine, u"C:\\a.wav", out, WULAUNCH_ARGS_CHARS), S_OK)
        << U8(c.commandLine ? c.commandLine : u"(null)");
    EXPECT_EQ(std::u16string(out), c.expected) << U8(c.commandLine ? c.commandLine : u"(null)");
  }
}

TEST(ProjLinkArguments, TextThatDoesNotFitIsRefusedNotCut) {
  WCHAR out[16];
  EXPECT_EQ(ProjLink_BuildArguments(u"%s %s", u"C:\\a.wav", out, 16), kTooLong);
  EXPECT_EQ(ProjLink_BuildArguments(u"%s", u"C:\\a.wav", out, 16), S_OK);
  EXPECT_EQ(std::u16string(out), u"C:\\a.wav");
}

// ---- Application paths ------------------------------------------------------------------------

TEST(ProjLinkAppPath, FirstTokenOfTheOpenCommand) {
  struct Case {
    const char16_t* ext;
    const char16_t* command;
    const char16_t* expected;
  } cases[] = {
      {u".q1", u"\"C:\\Program Files\\App\\app.exe\" \"%1\"", u"C:\\Program Files\\App\\app.exe"},
      {u".q2", u"C:\\App\\app.exe %1", u"C:\\App\\app.exe"},
      // No closing quotation mark: the rest of the command.
      {u".q3", u"\"C:\\App Dir\\app.exe", u"C:\\App Dir\\app.exe"},
      {u".q4", u"C:\\App\\app.exe", u"C:\\App\\app.exe"},
  };
  for (const Case& c : cases) RegisterOpenCommand(c.ext, c.command);
  for (const Case& c : cases) {
    WCHAR out[260];
    ASSERT_EQ(WuLaunch_GetAppPathForExt(c.ext, out, 260), S_OK) << U8(c.ext);
    EXPECT_EQ(std::u16string(out), c.expected) << U8(c.ext);
  }
  // The output is bounded.
  WCHAR small[8];
  ASSERT_EQ(WuLaunch_GetAppPathForExt(u".q1", small, 8), S_OK);
  EXPECT_EQ(std::u16string(small), u"C:\\Prog");
}

TEST(ProjLinkAppPath, RegistryFailuresAreWin32Results) {
  WCHAR out[260] = u"x";
  EXPECT_EQ(WuLaunch_GetAppPathForExt(u".unregistered", out, 260), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(out[0], 0);
  SetDefault(u"", u"rootfile");  // the root's own value names no type
  SetDefault(u"rootfile\\shell\\open\\command", u"/bin/root-app %1");
  EXPECT_EQ(WuLaunch_GetAppPathForExt(u"", out, 260), static_cast<HRESULT>(0x80070002));
  SetDefault(u".typeonly", u"typeonlyfile");  // a type without an open command
  EXPECT_EQ(WuLaunch_GetAppPathForExt(u".typeonly", out, 260), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(WuLaunch_GetAppPathForExt(nullptr, out, 260), E_INVALIDARG);
  EXPECT_EQ(WuLaunch_GetAppPathForExt(u".q1", nullptr, 260), E_INVALIDARG);
}

// ---- Known applications -----------------------------------------------------------------------

TEST(ProjLinkKnownApp, AllThreeKeysNonEmpty) {
  EXPECT_TRUE(WuIsKnownOrvoApp(U16(WU_LAUNCH_TARGET).c_str()));
  EXPECT_FALSE(WuIsKnownOrvoApp(nullptr));

  // Resource files with version blocks: an empty "WuLangID", and one
  // missing.
  auto write = [](const std::string& name, const std::vector<std::pair<std::u16string, std::u16string>>& texts) {
    std::string path = StateRoot() + "/" + name;
    WriteBytes(path, wutest::ResourceFile(
                         {{16, 1, wutest::VersionBlock(wutest::FixedInfo(), u"040904B0", texts, 0x04B00409)}}));
    return U16(path);
  };
  EXPECT_TRUE(WuIsKnownOrvoApp(
      write("all.res", {{u"WuCharSet", u"1200"}, {u"WuLangName", u"English"}, {u"WuLangID", u"0409"}}).c_str()));
  EXPECT_FALSE(WuIsKnownOrvoApp(
      write("empty.res", {{u"WuCharSet", u"1200"}, {u"WuLangName", u"English"}, {u"WuLangID", u""}}).c_str()));
  EXPECT_FALSE(WuIsKnownOrvoApp(write("two.res", {{u"WuCharSet", u"1200"}, {u"WuLangName", u"English"}}).c_str()));

  // A damaged program: its section header table moved past the file's end.
  std::string elf = ReadBytes(WU_LAUNCH_TARGET);
  ASSERT_GT(elf.size(), 64u);
  std::string damaged = elf;
  for (int i = 0; i < 8; ++i) damaged[0x28 + i] = static_cast<char>(0x7F);  // e_shoff
  std::string path = StateRoot() + "/damaged";
  WriteBytes(path, damaged);
  EXPECT_FALSE(WuIsKnownOrvoApp(U16(path).c_str()));
  // A program without a block.
  std::string plain = StateRoot() + "/plain.txt";
  WriteBytes(plain, "not a program");
  EXPECT_FALSE(WuIsKnownOrvoApp(U16(plain).c_str()));
}

// ---- Loading the link --------------------------------------------------------------------------

class ProjLinkInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    media_ = StateRoot() + "/take.wav";
    request_.manager = &manager_;
  }
  wu_test::LaunchFakeManager manager_;
  tWULAUNCHAPPINFO request_{};
  std::string media_;
};

TEST_F(ProjLinkInfoTest, SideFileLoadsAndTheLoadedFlagIsClearedFirst) {
  std::u16string media = U16(media_);
  request_.mediaPath = media.c_str();
  WCHAR path[260];
  int loaded = 7;
  CWuLinkProjectInfo info;
  // No side file: result 0, and the flag is 0, not what the caller had.
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(std::u16string(path), media);
  EXPECT_EQ(manager_.openCalls, 1);  // asked for a reader first

  WriteBytes(media_ + ".wul", SideFile(LinkChunks({u"/p/song.wuproj", u"-open %s", {}, {}, {}})));
  loaded = 7;
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  WCHAR text[64];
  info.GetProjectPath(text, 64);
  EXPECT_EQ(std::u16string(text), u"/p/song.wuproj");
}

TEST_F(ProjLinkInfoTest, ReaderNameIsUsedAndTerminatedAtItsLastUnit) {
  WriteBytes(media_ + ".wul", SideFile(LinkChunks({u"/p/song.wuproj", u"-open", {}, {}, {}})));
  wu_test::LaunchFakeReader reader;
  std::u16string media = U16(media_);
  std::copy(media.begin(), media.end(), reader.name);
  request_.reader = &reader;
  WCHAR path[260];
  int loaded = 0;
  CWuLinkProjectInfo info;
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(std::u16string(path), media);
  EXPECT_EQ(manager_.openCalls, 0);
  EXPECT_EQ(reader.refs, 1);  // every reference taken is given back

  // A name filling all 260 units without a terminator is cut at the last.
  std::fill(std::begin(reader.name), std::end(reader.name), u'n');
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(std::u16string(path), std::u16string(259, u'n'));
  EXPECT_EQ(loaded, 0);

  // A reader that names nothing, and no media path: nothing to look at.
  std::fill(std::begin(reader.name), std::end(reader.name), u'\0');
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), kNoMediaPath);
  // With a media path, an empty name leaves it in place.
  request_.mediaPath = media.c_str();
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(std::u16string(path), media);
  EXPECT_EQ(loaded, 1);
}

TEST_F(ProjLinkInfoTest, MetadataReaderComesBeforeTheSideFile) {
  // A side file linking another project: not read when the reader offers
  // a metadata reader.
  WriteBytes(media_ + ".wul", SideFile(LinkChunks({u"/side/other.wuproj", u"-open", {}, {}, {}})));
  metatest::TestReadMeta meta;
  meta.has_link = true;
  meta.link[metatest::TestReadMeta::kPath] = metatest::Utf16Bytes(u"/meta/song.wuproj");
  meta.link[metatest::TestReadMeta::kCommandLine] = metatest::Utf16Bytes(u"-m %s");
  wu_test::LaunchFakeReader reader;
  reader.meta = &meta;
  manager_.reader = &reader;  // opened by the manager for the media path
  std::u16string media = U16(media_);
  request_.mediaPath = media.c_str();
  WCHAR path[260];
  int loaded = 0;
  CWuLinkProjectInfo info;
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, &loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  WCHAR text[64];
  info.GetProjectPath(text, 64);
  EXPECT_EQ(std::u16string(text), u"/meta/song.wuproj");
  EXPECT_EQ(manager_.openCalls, 1);
  // Every reference and stream came back.
  EXPECT_EQ(reader.refs, 1);
  EXPECT_EQ(meta.refs(), 0u);
  EXPECT_EQ(meta.live(), 0);
}

TEST_F(ProjLinkInfoTest, MissingArguments) {
  std::u16string media = U16(media_);
  WCHAR path[260];
  int loaded = 5;
  CWuLinkProjectInfo info;
  tWULAUNCHAPPINFO none{};
  none.manager = &manager_;  // neither media path nor reader
  tWULAUNCHAPPINFO noManager{};
  noManager.mediaPath = media.c_str();
  request_.mediaPath = media.c_str();
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &none, &info, &loaded), E_INVALIDARG);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &noManager, &info, &loaded), E_INVALIDARG);
  EXPECT_EQ(WuGetProjectLinkInfo(path, 0, &request_, &info, &loaded), E_INVALIDARG);
  EXPECT_EQ(WuGetProjectLinkInfo(nullptr, 260, &request_, &info, &loaded), E_INVALIDARG);
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, nullptr, &loaded), E_INVALIDARG);
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, &request_, &info, nullptr), E_INVALIDARG);
  EXPECT_EQ(WuGetProjectLinkInfo(path, 260, nullptr, &info, &loaded), E_INVALIDARG);
}

// ---- The launch -----------------------------------------------------------------------------------

// A media file whose side file links a project of type ".wuproj", opened
// by the launch target.
class ProjLinkLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = StateRoot();
    media_ = root_ + "/take.wav";
    project_ = root_ + "/song.wuproj";
    WriteBytes(project_, "project");
    RegisterOpenCommand(u".wuproj", u"\"" + U16(WU_LAUNCH_TARGET) + u"\" \"%1\"");
    mediaW_ = U16(media_);
    request_.manager = &manager_;
    request_.mediaPath = mediaW_.c_str();
    request_.flags = WULAUNCH_NO_HANDOVER;
    std::remove((root_ + "/launch-record.txt").c_str());
  }
  void WriteLink(const Link& link) { WriteBytes(media_ + ".wul", SideFile(LinkChunks(link))); }
  Link DefaultLink() { return {U16(project_), u"-open %s", {}, {}, {}}; }
  // The launch target's arguments, one a line (waits for them).
  std::string Launched() { return WaitForFile(root_ + "/launch-record.txt"); }
  bool NothingLaunched() {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return !std::filesystem::exists(root_ + "/launch-record.txt");
  }

  std::string root_, media_, project_;
  std::u16string mediaW_;
  wu_test::LaunchFakeManager manager_;
  tWULAUNCHAPPINFO request_{};
};

TEST_F(ProjLinkLaunchTest, StartsTheRegisteredApplicationWithTheArgumentText) {
  WriteLink({U16(project_), u"-x %d $d %s", {}, {}, {}});
  WCHAR out[260];
  request_.projectPath = out;
  request_.projectPathSize = 260;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(Launched(), "-x\n%d\n$d\n" + media_ + "\n");
  EXPECT_EQ(U8(out), project_);
}

TEST_F(ProjLinkLaunchTest, ErrorLadder) {
  std::string longLine(2048, 'a');
  // (length + 1) + media path + 4 = 2,049.
  std::u16string limitLine = u"%s" + std::u16string(2048 - 4 - 1 - mediaW_.size() + 1 - 2, u'a');
  std::string plainApp = root_ + "/plain-app";
  WriteBytes(plainApp, "no version block");
  struct Case {
    const char* what;
    LONG flags;
    DWORD options;
    bool writeLink;
    Link link;
    std::u16string command;  // the open command of ".wuproj"; empty: the launch target
    HRESULT expected;
    LONG outSize = -1;  // the project-path output's size; -1: no output
  } cases[] = {
      {"no link", 0, 0, false, {}, {}, kAbsent},
      {"no command line", 0, 0, true, {U16(project_), {}, {}, {}, {}}, {}, kInvalidLink},
      {"application missing", 0, 0, true, DefaultLink(), u"\"" + U16(root_) + u"/gone\" \"%1\"",
       WU_E_PROJLINK_APP_MISSING},
      {"command line too long", 0, 0, true, {U16(project_), U16(longLine), {}, {}, {}}, {}, kTooLong},
      // Size / 2 + media path + 4 above 2,048 is refused even where the
      // text itself would fit ("%s" is shorter than the path).
      {"limit of size and media path", 0, 0, true, {U16(project_), limitLine, {}, {}, {}}, {}, kTooLong},
      {"just within the limit", 0, 0, true, {U16(project_), limitLine.substr(1), {}, {}, {}}, {}, S_OK},
      {"not our application", 0, 0, true, DefaultLink(), U16(plainApp) + u" %1", WU_E_PROJLINK_NOT_OWN_APP},
      {"any application with option 2", 0, 2, true, DefaultLink(), U16(plainApp) + u" %1", S_OK},
      {"project missing", 0, 0, true, {U16(root_ + "/moved.wuproj"), u"-open", {}, {}, {}}, {},
       WU_E_PROJLINK_PROJECT_MISSING},
      {"check only, every check passes", WULAUNCH_CHECK_ONLY, 0, true, DefaultLink(), {}, S_OK},
      {"check only still checks", WULAUNCH_CHECK_ONLY, 0, true, DefaultLink(), U16(plainApp) + u" %1",
       WU_E_PROJLINK_NOT_OWN_APP},
      // Locating the project writes the picked path into the output: it
      // must be given.
      {"locate without output", WULAUNCH_LOCATE_PROJECT, 0, true, DefaultLink(), {}, E_INVALIDARG},
      {"locate with an output of size 0", WULAUNCH_LOCATE_PROJECT, 0, true, DefaultLink(), {}, E_INVALIDARG, 0},
  };
  WCHAR out[8];
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove((media_ + ".wul").c_str());
    if (c.writeLink) WriteLink(c.link);
    RegisterOpenCommand(u".wuproj", c.command.empty() ? u"\"" + U16(WU_LAUNCH_TARGET) + u"\" \"%1\"" : c.command);
    request_.flags = WULAUNCH_NO_HANDOVER | WULAUNCH_CHECK_ONLY | c.flags;
    request_.options = c.options;
    request_.projectPath = c.outSize >= 0 ? out : nullptr;
    request_.projectPathSize = c.outSize;
    EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), c.expected);
  }
  EXPECT_TRUE(NothingLaunched());
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, nullptr), E_INVALIDARG);
}

TEST_F(ProjLinkLaunchTest, ApplicationThatCannotStartGivesTheTranslatedError) {
  // Registered, present, accepted with option 2 alone, but not executable.
  std::string plainApp = root_ + "/plain-app";
  WriteBytes(plainApp, "not a program");
  RegisterOpenCommand(u".wuproj", U16(plainApp) + u" %1");
  WriteLink(DefaultLink());
  request_.options = WULAUNCH_OPT_SECURITY;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), E_ACCESSDENIED);
  EXPECT_EQ(ProjLink_StartProcess(u"", u"x"), E_INVALIDARG);
}

// ---- Hand-over ------------------------------------------------------------------------------------

// Windows of this process: the first answers 0, the second 1.
struct Receiver {
  static inline std::vector<std::u16string> texts;
  static inline std::vector<ULONG_PTR> data;
  static inline int calls = 0;
  static LRESULT Proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA) {
      const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
      data.push_back(cds->dwData);
      const auto* text = static_cast<const char16_t*>(cds->lpData);
      size_t units = cds->cbData / 2;
      EXPECT_TRUE(units > 0 && text[units - 1] == 0);
      texts.emplace_back(text, units ? units - 1 : 0);
      return ++calls == 2 ? 1 : 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
  }
};

TEST_F(ProjLinkLaunchTest, RunningInstanceTakesTheProject) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Receiver::Proc;
  wc.lpszClassName = u"WuTestCreatorMain";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND a = CreateWindowExW(0, u"WuTestCreatorMain", u"a", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                           nullptr, nullptr, nullptr);
  HWND b = CreateWindowExW(0, u"WuTestCreatorMain", u"b", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                           nullptr, nullptr, nullptr);
  ASSERT_TRUE(a && b);
  Link link = DefaultLink();
  link.windowClass = u"WuTestCreatorMain";
  WriteLink(link);
  request_.flags = 0;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), 1);
  EXPECT_EQ(Receiver::calls, 2);
  ASSERT_EQ(Receiver::texts.size(), 2u);
  EXPECT_EQ(Receiver::texts[0], U16(project_));
  EXPECT_EQ(Receiver::texts[1], U16(project_));
  EXPECT_EQ(Receiver::data[0], WULAUNCH_COPYDATA_PROJECT);
  EXPECT_TRUE(NothingLaunched());

  // With WULAUNCH_NO_HANDOVER nobody is asked.
  request_.flags = WULAUNCH_NO_HANDOVER;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(Receiver::calls, 2);
  EXPECT_EQ(Launched(), "-open\n" + media_ + "\n");
  DestroyWindow(a);
  DestroyWindow(b);
  UnregisterClassW(u"WuTestCreatorMain", nullptr);
}

// The launch target showing a window of `className` in a process of its
// own; ended (and waited for) when the test is done with it.
class CreatorProcess {
 public:
  explicit CreatorProcess(const std::string& className) {
    std::remove((StateRoot() + "/window-ready.txt").c_str());
    std::u16string command = u"\"" + U16(WU_LAUNCH_TARGET) + u"\" --window " + U16(className);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
    if (started_) ready_ = !WaitForFile(StateRoot() + "/window-ready.txt").empty();
  }
  ~CreatorProcess() { End(); }
  bool ready() const { return started_ && ready_; }
  DWORD pid() const { return pi_.dwProcessId; }
  void End() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 10000);
    }
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
    started_ = false;
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
  bool ready_ = false;
};

TEST_F(ProjLinkLaunchTest, CreatorWindowInAnotherProcessGetsThePathIntact) {
  // A path outside ASCII, in the project folder the link names.
  std::string project = root_ + "/S\xc3\xa5ng \xe2\x99\xab.wuproj";
  WriteBytes(project, "project");
  CreatorProcess creator("WuTestCreatorChild");
  ASSERT_TRUE(creator.ready());
  WriteLink({U16(project), u"-open %s", u"WuTestCreatorChild", {}, {}});
  request_.flags = 0;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), 1);
  std::string bytes = std::to_string((U16(project).size() + 1) * 2);
  EXPECT_EQ(WaitForFile(root_ + "/copydata.txt"), "28 " + bytes + " nul\n" + project + "\n");
  EXPECT_TRUE(NothingLaunched());
}

TEST_F(ProjLinkLaunchTest, GoneCreatorProcessIsSkippedAndTheApplicationStarted) {
  std::string socket;
  {
    CreatorProcess creator("WuTestCreatorGone");
    ASSERT_TRUE(creator.ready());
    socket = platform::TransportEndpointPath("windows-" + std::to_string(creator.pid()));
    ASSERT_TRUE(std::filesystem::exists(socket));
    creator.End();  // killed: its socket stays behind
  }
  ASSERT_TRUE(std::filesystem::exists(socket));
  WriteLink({U16(project_), u"-open %s", u"WuTestCreatorGone", {}, {}});
  request_.flags = 0;
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(Launched(), "-open\n" + media_ + "\n");
  EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST(ProjLinkHandOver, NothingToOfferGivesZero) {
  CWuLinkProjectInfo info;
  EXPECT_EQ(ProjLink_SendToCreatorWindow(nullptr), E_INVALIDARG);
  EXPECT_EQ(ProjLink_SendToCreatorWindow(&info), S_OK);
  ASSERT_EQ(info.SetCreatorAppWindowClassName(u"NoSuchClass"), S_OK);
  ASSERT_EQ(info.SetProjectPath(u"/p/x.wuproj"), S_OK);
  EXPECT_EQ(ProjLink_SendToCreatorWindow(&info), S_OK);
}

}  // namespace

// ---- The resource pool ------------------------------------------------------------------------------

namespace {

// The caption of an extended dialog template (no menu, standard class).
std::u16string Caption(const void* dialogTemplate) {
  const auto* units = static_cast<const char16_t*>(dialogTemplate);
  return std::u16string(units + 15);
}

TEST(ShellUIPool, BothDialogsInEachOfTheFiveLanguages) {
  ASSERT_TRUE(WuShellUI_InstallResPool());
  ASSERT_TRUE(WuShellUI_InstallResPool());  // once only
  struct Case {
    LCID language;
    const char16_t* runCaption;
    const char16_t* notFoundCaption;
  } cases[] = {
      {0x409, u"Run Application", u"Source Project Not Found"},
      {0x407, u"Anwendung ausführen", u"Quellprojekt nicht gefunden"},
      {0x0A, u"Ejecutar aplicación", u"No se encontró el proyecto de origen"},
      {0x40C, u"Exécuter l'application", u"Projet source introuvable"},
      {0x411, u"アプリケーションの実行", u"ソース プロジェクトが見つかりません"},
  };
  for (const Case& c : cases) {
    for (WORD id : {WUSHELLUI_DLG_RUNAPP, WUSHELLUI_DLG_NOTFOUND}) {
      DWORD size = 0;
      LCID found = 0;
      const void* t = WuFindResourceInResPool(&WuShellUIResPool, &size, MAKEINTRESOURCEW(id), RT_DIALOG,
                                              c.language, &found);
      ASSERT_NE(t, nullptr) << c.language << " " << id;
      EXPECT_EQ(found, c.language);
      EXPECT_GT(size, 30u);
      EXPECT_EQ(Caption(t), id == WUSHELLUI_DLG_RUNAPP ? c.runCaption : c.notFoundCaption);
    }
  }
  // Spanish of Spain, modern sort, finds the neutral Spanish entry.
  LCID found = 0;
  EXPECT_NE(WuFindResourceInResPool(&WuShellUIResPool, nullptr, MAKEINTRESOURCEW(102), RT_DIALOG, 0xC0A, &found),
            nullptr);
  EXPECT_EQ(found, 0x0Au);
}

// ---- The dialogs under the scripted driver ------------------------------------------------------------

class ProjLinkDialogTest : public ProjLinkLaunchTest {
 protected:
  void SetUp() override {
    ProjLinkLaunchTest::SetUp();
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    EXPECT_TRUE(script_.Done());
    for (const std::string& e : script_.errors()) ADD_FAILURE() << e;
  }
  static std::u16string ItemText(HWND dialog, int id) { return platform::WindowText(GetDlgItem(dialog, id)); }
  static bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

  platform::ScriptedFrontEnd script_;
  HWULANG lang_ = nullptr;
};

// An embedded project list with one sub-chunk of 3 bytes: 24 bytes.
std::string ProjectList() {
  std::string list = "LIST";
  Put32(&list, 16);
  return list + "spel" + Chunk("abcd", "xyz");
}

TEST_F(ProjLinkDialogTest, RunShowsTheLaunchAndReturnsTheCheckBox) {
  Link link = DefaultLink();
  link.creatorInfo = u"Creator 2.0";
  link.windowClass = u"WuNoSuchCreatorWindow";
  link.projectData = ProjectList();
  WriteLink(link);
  request_.flags = WULAUNCH_SHOW_DIALOG | WULAUNCH_RUN_BUTTON;
  request_.caption = u"Reopen take.wav";
  request_.doNotShowAgain = 5;
  std::string app = WU_LAUNCH_TARGET;
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(platform::WindowText(d), u"Reopen take.wav");
        EXPECT_EQ(ItemText(d, 1011), u"Argument Recorder");
        EXPECT_EQ(ItemText(d, 1012), u"1.2.3.4");
        EXPECT_EQ(ItemText(d, 1016), u"Talvene Test");
        EXPECT_EQ(ItemText(d, 1010), U16(app));
        EXPECT_EQ(ItemText(d, 1013), u"-open " + mediaW_);
        EXPECT_EQ(ItemText(d, 1017), u"yes (24 bytes)");
        EXPECT_EQ(ItemText(d, 1014), u"yes");
        EXPECT_EQ(ItemText(d, 1023), u"Creator 2.0");
        EXPECT_EQ(ItemText(d, 1025), u"WuNoSuchCreatorWindow");
        EXPECT_EQ(ItemText(d, 1019), U16(project_));
        for (int id : {1022, 1023, 1024, 1025, 1018, 1019, IDOK}) EXPECT_TRUE(Visible(d, id)) << id;
        for (int id : {1021, 1015}) EXPECT_FALSE(Visible(d, id)) << id;
        EXPECT_EQ(IsDlgButtonChecked(d, 1020), BST_UNCHECKED);
      })
      .Check(1020, true)
      .Press(IDOK);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(request_.doNotShowAgain, 1);
  EXPECT_EQ(Launched(), "-open\n" + media_ + "\n");
}

TEST_F(ProjLinkDialogTest, CancelLaunchesNothing) {
  WriteLink(DefaultLink());  // no creator rows, no project data
  request_.flags = WULAUNCH_SHOW_DIALOG | WULAUNCH_RUN_BUTTON | WULAUNCH_NO_HANDOVER;
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(platform::WindowText(d), u"Run Application");
        EXPECT_EQ(ItemText(d, 1017), u"no");
        for (int id : {1022, 1023, 1024, 1025}) EXPECT_FALSE(Visible(d, id)) << id;
        EXPECT_TRUE(Visible(d, 1019));
      })
      .Press(IDCANCEL);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(request_.doNotShowAgain, 0);
  EXPECT_TRUE(NothingLaunched());
}

TEST_F(ProjLinkDialogTest, WithoutRunButtonTheDialogCanOnlyCancel) {
  WriteLink(DefaultLink());
  request_.flags = WULAUNCH_SHOW_DIALOG | WULAUNCH_NO_HANDOVER;
  script_
      .Run([&](HWND d) {
        EXPECT_FALSE(Visible(d, IDOK));
        for (const platform::ControlInfo& c : platform::DescribeDialog(d)) EXPECT_NE(c.id, IDOK);
        EXPECT_EQ(platform::DefaultButtonId(d), IDCANCEL);
      })
      .Check(1020, true)
      .Enter();
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(request_.doNotShowAgain, 1);
  EXPECT_TRUE(NothingLaunched());
}

TEST_F(ProjLinkDialogTest, BrowseLaunchesTheWholePickedPath) {
  WriteLink({U16(root_ + "/moved/song.wuproj"), u"-open %s", {}, {}, {}});
  std::string folder = root_ + "/a-folder-with-a-long-name-for-the-project-that-moved";
  std::filesystem::create_directories(folder);
  std::string located = folder + "/song.wuproj";
  WriteBytes(located, "project");
  WriteBytes(folder + "/notes.txt", "other");
  WCHAR out[16];
  request_.projectPath = out;
  request_.projectPathSize = 16;
  request_.flags = WULAUNCH_LOCATE_PROJECT | WULAUNCH_NO_HANDOVER;
  // The files the file dialog lists for the selected type.
  auto listed = [](HWND d) {
    for (const platform::ControlInfo& c : platform::DescribeDialog(d))
      if (c.id == 1121) return c.items;
    return std::vector<std::u16string>{};
  };
  script_
      .Run([&](HWND d) {
        EXPECT_EQ(platform::WindowText(d), u"Source Project Not Found");
        std::u16string shown = ItemText(d, 1006);
        EXPECT_TRUE(shown.size() >= 11 && shown.substr(shown.size() - 11) == u"song.wuproj") << U8(shown);
      })
      .Press(1026)
      .Type(1148, U16(folder))
      .Press(IDOK)
      .Run([&](HWND d) {
        // The file dialog offers the missing project's type, then all files.
        bool offered = false;
        for (const platform::ControlInfo& c : platform::DescribeDialog(d))
          if (c.kind == platform::ControlKind::kCombo && c.items.size() == 2) {
            offered = true;
            EXPECT_EQ(c.items[0], u"Missing Project Extension: (.wuproj)");
            EXPECT_EQ(c.items[1], u"All Files");
          }
        EXPECT_TRUE(offered);
        EXPECT_EQ(listed(d), (std::vector<std::u16string>{u"..", u"song.wuproj"}));
      })
      .Pick(1136, 1)
      .Run([&](HWND d) {
        EXPECT_EQ(listed(d), (std::vector<std::u16string>{u"..", u"notes.txt", u"song.wuproj"}));
      })
      .ChoosePath(U16(located))
      .Press(IDOK);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  // The output holds what fits; the application gets the whole path.
  EXPECT_EQ(std::u16string(out), U16(located.substr(0, 15)));
  EXPECT_EQ(Launched(), located + "\n");
}

TEST_F(ProjLinkDialogTest, CancelInNotFoundLaunchesNothing) {
  WriteLink({U16(root_ + "/moved/song.wuproj"), u"-open %s", {}, {}, {}});
  WCHAR out[260];
  request_.projectPath = out;
  request_.projectPathSize = 260;
  request_.flags = WULAUNCH_LOCATE_PROJECT | WULAUNCH_NO_HANDOVER;
  script_.Press(IDCANCEL);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  EXPECT_EQ(U8(out), root_ + "/moved/song.wuproj");
  EXPECT_TRUE(NothingLaunched());
}

// Cancelling the Run dialog does not skip the check of the project: a
// missing project is an error, or, with the locate flag, the Not Found
// dialog asks next and its answer counts.
TEST_F(ProjLinkDialogTest, CancelledRunStillChecksTheProject) {
  WriteLink({U16(root_ + "/moved/song.wuproj"), u"-open %s", {}, {}, {}});
  WCHAR out[260];
  request_.projectPath = out;
  request_.projectPathSize = 260;
  request_.flags = WULAUNCH_SHOW_DIALOG | WULAUNCH_RUN_BUTTON | WULAUNCH_NO_HANDOVER;
  script_.Press(IDCANCEL);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), WU_E_PROJLINK_PROJECT_MISSING);

  request_.flags |= WULAUNCH_LOCATE_PROJECT;
  script_.Press(IDCANCEL).WaitFor(u"Source Project Not Found").Press(IDCANCEL);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), S_OK);
  std::vector<std::u16string> titles;
  for (const auto& shown : script_.shown()) titles.push_back(shown.title);
  EXPECT_EQ(titles, (std::vector<std::u16string>{u"Run Application", u"Run Application",
                                                  u"Source Project Not Found"}));
  EXPECT_TRUE(NothingLaunched());
}

}  // namespace

namespace {

// A running instance takes the project where the user found it, not where
// the link said it was.
std::u16string g_taken;
LRESULT TakeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_COPYDATA) return DefWindowProcW(window, message, wparam, lparam);
  const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
  g_taken.assign(static_cast<const char16_t*>(cds->lpData), cds->cbData / 2 - 1);
  return 1;
}

TEST_F(ProjLinkDialogTest, RunningInstanceGetsTheLocatedProject) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = TakeProc;
  wc.lpszClassName = u"WuTestCreatorTakes";
  ASSERT_NE(RegisterClassW(&wc), 0);
  HWND window = CreateWindowExW(0, u"WuTestCreatorTakes", u"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  WriteLink({U16(root_ + "/moved/song.wuproj"), u"-open %s", u"WuTestCreatorTakes", {}, {}});
  WCHAR out[260];
  request_.projectPath = out;
  request_.projectPathSize = 260;
  request_.flags = WULAUNCH_LOCATE_PROJECT;
  script_.Press(1026).ChoosePath(U16(project_)).Press(IDOK);
  EXPECT_EQ(WuLaunchApp_ProjLink(nullptr, &request_), 1);
  EXPECT_EQ(g_taken, U16(project_));
  EXPECT_TRUE(NothingLaunched());
  DestroyWindow(window);
  UnregisterClassW(u"WuTestCreatorTakes", nullptr);
}

}  // namespace
