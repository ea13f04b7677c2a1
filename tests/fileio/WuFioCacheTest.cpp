// The cache cycle: the first start probes the libraries and writes the
// cache; later starts trust it until a library's time or the UI language
// changes.
#include <cstring>
#include <filesystem>

#include "platform/kernel/files.h"
#include "platform/kernel/time.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class CacheTest : public FioManagerTest {
 protected:
  // A plug-in record's description, for comparing two starts.
  struct Described {
    GUID classId, reader, renderer;
    DWORD flags, access, streamType, classFlags, modTime, langId;
    std::u16string name, path, dialog, readerExt, rendererExt;
    bool operator==(const Described&) const = default;
  };
  static std::u16string Text(LPCWSTR text) { return text ? text : u""; }
  static std::vector<Described> Describe(IWuFileIOMgrForApp* app) {
    std::vector<Described> out;
    for (WUFIO_PLUGIN_RECORD* r : Records(app)) {
      out.push_back({r->classId, r->reader.classId, r->renderer.classId,
                     r->flags & ~(WUFIO_PLUGIN_CHANGED | WUFIO_PLUGIN_STALE), r->access,
                     r->streamType, r->classFlags, r->modTime, r->langId, r->name, r->path,
                     Text(r->dialogName), Text(r->reader.extensions), Text(r->renderer.extensions)});
    }
    return out;
  }
};

TEST_F(CacheTest, FirstStartProbesLaterStartsTrustTheCache) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  std::vector<Described> first = Describe(app);
  app->Release();

  const std::string text = CacheText();
  const std::string tst = "{B0000001-0001-4000-8000-000000000001}";
  const std::string tsx = "{B0000002-0002-4000-8000-000000000002}";
  for (const std::string& line : std::vector<std::string>{"[fio_test_basic]", "Path=" + PluginPath("fio_test_basic"), tst + "=TST", tsx + "=TSX",
        "[fio_test_basic." + tst + "]", "Access=16", "Flags=0", "StreamType=1", "[" + tst + "]",
        std::string("DialogName=TST files"), std::string("ExtReader=*.tst;*.ts2"),
        "Reader={F0E00000-0001-4000-8000-000000000001}", "[" + tsx + "]", std::string("Access=48"),
        "Renderer={E1000000-0002-4000-8000-000000000002}", std::string("ExtRenderer=*.tsx;*.ts2"),
        std::string("PreloadModules="), std::string("LangID=")})
    EXPECT_NE(text.find(line), std::string::npos) << line;
  // TST has no renderer: no renderer keys in its section.
  size_t at = text.find("[" + tst + "]");
  size_t end = text.find("[", at + 1);
  EXPECT_EQ(text.substr(at, end - at).find("Renderer"), std::string::npos);

  wu_test::ResetPluginCounts();
  app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 0);
  EXPECT_TRUE(Describe(app) == first);
  // The classes still load on demand.
  IWuRenderFileClass* renderer = nullptr;
  LONG key = 0;
  EXPECT_EQ(app->FindRendererClassByExtension(&renderer, u".tsx", &key), S_OK);
  ASSERT_NE(renderer, nullptr);
  renderer->Release();
  app->Release();
}

TEST_F(CacheTest, ANewModificationTimeCausesAProbe) {
  std::string copy = dir_ + "/copy.so";
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_basic")).c_str(), U16(copy).c_str(), FALSE));
  WriteConfig("a.Fio2007-Config", {{"copy", copy}});
  Create(0)->Release();
  wu_test::ResetPluginCounts();
  Create(0)->Release();
  ASSERT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 0);

  HANDLE file = CreateFileW(U16(copy).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME written = {};
  SYSTEMTIME when = {2024, 5, 0, 17, 10, 30, 0, 0};
  ASSERT_TRUE(SystemTimeToFileTime(&when, &written));
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
  CloseHandle(file);
  IWuFileIOMgrForApp* app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  EXPECT_EQ(Records(app)[0]->modTime, WuDosGetDateTimeUTC(U16(copy).c_str()));
  app->Release();
  EXPECT_NE(CacheText().find("ModTime=" + std::to_string(static_cast<int>(
                                              WuDosGetDateTimeUTC(U16(copy).c_str())))),
            std::string::npos);
}

TEST_F(CacheTest, AnotherLanguageRewritesTheClassSections) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  // The cache as another UI language would have left it.
  std::string text = CacheText();
  const std::string current = "LangID=" + std::to_string(WuFio_CurrentLangId());
  size_t replaced = 0;
  for (size_t at = text.find(current); at != std::string::npos; at = text.find(current, at + 1)) {
    text.replace(at, current.size(), "LangID=1031");
    ++replaced;
  }
  ASSERT_EQ(replaced, 3u);
  wutest::WriteBytes(cachePath_, text);
  wu_test::ResetPluginCounts();
  Create(0)->Release();
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  text = CacheText();
  EXPECT_EQ(text.find("LangID=1031"), std::string::npos);
}

TEST_F(CacheTest, IncompleteEntriesAreProbedAgain) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  const std::string good = CacheText();
  struct Case {
    const char* name;
    std::string from, to;
  };
  const Case cases[] = {
      {"access missing", "Access=48", "Other=48"},
      {"renderer without extensions", "ExtRenderer=", "XExtRenderer="},
      {"reader without dialog name", "DialogName=TST files", "Dialog=TST files"},
      {"path of another file", "Path=", "Path=/elsewhere"},
      {"time not a number", "\nModTime=", "\nModTime=x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = good;
    size_t at = text.find(c.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, c.from.size(), c.to);
    wutest::WriteBytes(cachePath_, text);
    wu_test::ResetPluginCounts();
    IWuFileIOMgrForApp* app = Create(0);
    EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
    EXPECT_EQ(app->GetReaderCount(), 3);
    app->Release();
  }
}

// A cache whose first class of a library is on the blocked list (as one
// written before that class was blocked) marks the library unusable while
// it is read; when another class of it is stale, the library is probed all
// the same and its classes come back.
TEST_F(CacheTest, ALibraryMarkedUnusableByABlockedFirstClassIsProbed) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  std::string text = CacheText();
  const std::string tst = "{B0000001-0001-4000-8000-000000000001}=TST";
  const std::string blocked = "{B50802D8-9917-11D3-8AB7-00AA006BA2BA}";
  size_t at = text.find(tst);
  ASSERT_NE(at, std::string::npos);
  text.insert(at, blocked + "=Blocked\n");
  // The TST class as another UI language left it: stale.
  const std::string current = "LangID=" + std::to_string(WuFio_CurrentLangId());
  at = text.find(current);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, current.size(), "LangID=1031");
  wutest::WriteBytes(cachePath_, text);

  wu_test::ResetPluginCounts();
  IWuFileIOMgrForApp* app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  EXPECT_EQ(app->GetReaderCount(), 3);
  for (WUFIO_PLUGIN_RECORD* record : Records(app))
    EXPECT_FALSE(record->flags & WUFIO_PLUGIN_UNUSABLE);
  app->Release();
  // The rewritten cache names the library's own classes only.
  text = CacheText();
  EXPECT_EQ(text.find(blocked), std::string::npos);
  EXPECT_NE(text.find(tst), std::string::npos);
}

// Rewriting a library's first class clears the library's section: its
// other classes are written again with it, not lost.
TEST_F(CacheTest, RewritingTheFirstClassKeepsTheOthers) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  IWuFileIOMgrForApp* app = Create(0);
  std::vector<WUFIO_PLUGIN_RECORD*> records = Records(app);
  ASSERT_EQ(records.size(), 3u);
  ASSERT_TRUE(records[0]->flags & WUFIO_PLUGIN_FIRST);
  records[0]->flags |= WUFIO_PLUGIN_CHANGED;
  EXPECT_EQ(app->SaveCache(0), S_OK);
  app->Release();
  const std::string text = CacheText();
  for (const char* key : {"{B0000001-0001-4000-8000-000000000001}=TST",
                          "{B0000002-0002-4000-8000-000000000002}=TSX",
                          "{B0000003-0003-4000-8000-000000000003}=WAV"})
    EXPECT_NE(text.find(key), std::string::npos) << key;
  wu_test::ResetPluginCounts();
  app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 0);
  EXPECT_EQ(app->GetReaderCount(), 3);
  app->Release();
}

// A module folder too long for the cache's path: no cache is kept (none
// written under a cut name), and every start probes.
TEST_F(CacheTest, NoCacheWithoutAPathThatFits) {
  std::string folder = dir_ + "/" + std::string(200, 'a') + "/" + std::string(60, 'b');
  ASSERT_TRUE(std::filesystem::create_directories(folder));
  WuFio_SetManagerModuleFolder(U16(folder).c_str());
  std::u16string basic = U16(PluginPath("fio_test_basic"));
  const WCHAR* paths[] = {basic.c_str()};
  for (int start = 0; start < 2; ++start) {
    IWuFileIOMgrForApp* app = nullptr;
    ASSERT_EQ(WUFileIO_CreateInstance(&app, WUFIO_CREATE_NEXT_TO_MODULE, paths, 1), S_OK);
    EXPECT_EQ(app->GetReaderCount(), 3);
    app->Release();
  }
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 2);
  // Nothing was written in the folder or beside it under a cut name.
  EXPECT_TRUE(std::filesystem::is_empty(folder));
  const std::filesystem::path parent = std::filesystem::path(folder).parent_path();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(parent),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(CacheTest, MoreThanSixteenClassesSurviveACachedStart) {
  WriteConfig("a.Fio2007-Config", {{"many", PluginPath("fio_test_many")}});
  Create(0)->Release();
  wu_test::ResetPluginCounts();
  IWuFileIOMgrForApp* app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_many")[kWuFioTestLoads], 0);
  EXPECT_EQ(app->GetReaderCount(), kManyCount);
  for (int i = 0; i < kManyCount; ++i) EXPECT_EQ(app->HasPlugin(ManyId(i)), S_OK) << i;
  app->Release();
}

}  // namespace
}  // namespace fio_test
