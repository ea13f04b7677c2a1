// Candidate libraries: how configuration values and paths become plug-in
// records, the libraries that cannot be used, blocked classes, preload
// modules and extension lists.
#include "fileio/CWuFileIOTypeEnum.h"
#include "fileio/WuFioSurrogate.h"
#include "foundation/WuList.h"
#include "platform/kernel/files.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class CandidateTest : public FioManagerTest {
 protected:
  // The first records of the library at `path` (compared normalised).
  static std::vector<WUFIO_PLUGIN_RECORD*> RecordsAt(tWULIST* list, const std::string& path) {
    std::vector<WUFIO_PLUGIN_RECORD*> found;
    for (LONG i = 0; i < WuFio_PluginCount(list); ++i)
      if ((WuFio_PluginAt(list, i)->flags & WUFIO_PLUGIN_FIRST) &&
          WuFio_ComparePaths(WuFio_PluginAt(list, i)->path, U16(path).c_str()) == 0)
        found.push_back(WuFio_PluginAt(list, i));
    return found;
  }
  // The list the folder search makes, every library probed.
  tWULIST* Search() {
    IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
    tWULIST* list = nullptr;
    EXPECT_EQ(app->FindPlugins(&list, WUFIO_CREATE_NO_CACHE_WRITE, nullptr), S_OK);
    app->Release();
    return list;
  }
};

TEST_F(CandidateTest, ConfigurationValuesBecomeRecords) {
  std::string sub = dir_ + "/sub";
  ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_basic")).c_str(), U16(sub + "/x.so").c_str(), FALSE));
  wutest::WriteBytes(dir_ + "/notes.so", "just text");
  std::vector<BYTE> elf(64, 0);
  const BYTE head[] = {0x7F, 'E', 'L', 'F', 1, 1, 1, 0};
  std::copy(std::begin(head), std::end(head), elf.begin());
  elf[16] = 3;  // a shared object
  elf[18] = 3;  // machine: i386
  wutest::WriteBytes(dir_ + "/foreign.so", std::string(elf.begin(), elf.end()));
  std::string longName(300, 'y');
  WriteConfig("a.Fio2007-Config",
              {{"sub", "sub\\x"},
               {"basic", PluginPath("fio_test_basic")},
               {"missing", "missing"},
               {"long", longName},
               {"text", "notes"},
               {"foreign", "foreign"},
               {"forced", PluginPath("fio_test_order")}},
              "[forced]\nForceOutOfProcess=1\n");
  WriteConfig("b.Fio2007-Config", {{"again", PluginPath("fio_test_basic")}});
  // No surrogate program where the manager looks for one.
  WuFio_SetSurrogateFolder(U16(dir_ + "/none").c_str());
  tWULIST* list = Search();
  WuFio_SetSurrogateFolder(nullptr);
  ASSERT_NE(list, nullptr);
  struct Case {
    const char* name;
    std::string path;
    size_t records;  // records of that library
    DWORD flags;     // the first record's flags
  };
  const Case cases[] = {
      {"sub\\x", sub + "/x.so", 1, WUFIO_PLUGIN_FIRST},
      {"named twice", PluginPath("fio_test_basic"), 1, WUFIO_PLUGIN_FIRST},
      {"missing", dir_ + "/missing.so", 0, 0},
      {"not an image", dir_ + "/notes.so", 1, WUFIO_PLUGIN_FIRST | WUFIO_PLUGIN_UNUSABLE},
      // Both belong in the surrogate, which cannot be had: unusable.
      {"foreign image", dir_ + "/foreign.so", 1,
       WUFIO_PLUGIN_FIRST | WUFIO_PLUGIN_FOREIGN | WUFIO_PLUGIN_UNUSABLE},
      {"forced out", PluginPath("fio_test_order"), 1,
       WUFIO_PLUGIN_FIRST | WUFIO_PLUGIN_FORCED_OUT | WUFIO_PLUGIN_UNUSABLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<WUFIO_PLUGIN_RECORD*> found = RecordsAt(list, c.path);
    ASSERT_EQ(found.size(), c.records);
    if (c.records) {
      EXPECT_EQ(found[0]->flags & ~(WUFIO_PLUGIN_STALE | WUFIO_PLUGIN_CHANGED), c.flags);
    }
  }
  // The long name was skipped; the two usable libraries have 3 classes each.
  EXPECT_EQ(WuFio_PluginCount(list), 3 + 3 + 3);
  WuFio_FreePluginList(list);
}

// A configuration's key list is read whole, however long it is.
TEST_F(CandidateTest, LongKeyListsAreReadWhole) {
  std::vector<std::pair<std::string, std::string>> plugins;
  for (int i = 0; i < 400; ++i)
    plugins.push_back({"missing_library_number_" + std::to_string(1000 + i), "missing"});
  plugins.push_back({"basic", PluginPath("fio_test_basic")});
  WriteConfig("a.Fio2007-Config", plugins);
  ASSERT_GT(wutest::ReadBytes(dir_ + "/a.Fio2007-Config").size(), 12000u);
  tWULIST* list = Search();
  EXPECT_EQ(RecordsAt(list, PluginPath("fio_test_basic")).size(), 1u);
  WuFio_FreePluginList(list);
}

TEST_F(CandidateTest, CandidateListsFromPaths) {
  std::u16string basic = U16(PluginPath("fio_test_basic"));
  std::u16string bare = U16(std::string(FIO_TEST_PLUGIN_DIR) + "/FIO_TEST_ORDER");  // no extension
  std::u16string again = U16(std::string(FIO_TEST_PLUGIN_DIR) + "/./x/../fio_test_basic.so");
  tWULIST* paths = nullptr;
  ASSERT_EQ(WuList_CreateExZ(&paths, 0, 4, 4, 0), S_OK);
  for (const std::u16string* path : {&basic, &bare, &again})
    ASSERT_EQ(WuList_InsertItem(paths, -1, path->c_str()), S_OK);
  tWULIST* list = nullptr;
  ASSERT_EQ(WuFio_SetPluginCandidateDLLs(&list, paths), S_OK);
  // The bare name gets ".so" (and names no file, case counting on this
  // system); the same library again is skipped.
  ASSERT_EQ(WuFio_PluginCount(list), 1);
  EXPECT_EQ(std::u16string(WuFio_PluginAt(list, 0)->path), basic);
  EXPECT_EQ(WuFio_PluginAt(list, 0)->version, WUFIO_PLUGIN_RECORD_VERSION);
  EXPECT_EQ(WuFio_PluginAt(list, 0)->modTime, WuDosGetDateTimeUTC(basic.c_str()));
  WuFio_FreePluginList(list);
  WuList_Destroy(paths);
  ASSERT_EQ(WuFio_SetPluginCandidateDLLs(&list, nullptr, 0), S_OK);
  EXPECT_EQ(WuFio_PluginCount(list), 0);
  WuFio_FreePluginList(list);
}

TEST_F(CandidateTest, PathsTooLongAreRefused) {
  tWULIST* list = WuFio_NewPluginList();
  std::u16string tooLong = U16(dir_) + u"/" + std::u16string(270, u'z');
  EXPECT_EQ(WuFio_AddPluginCandidate(list, tooLong.c_str()), S_FALSE);
  // 256 characters plus ".so" would not fit either.
  std::u16string almost = U16(dir_) + u"/";
  almost += std::u16string(258 - almost.size(), u'z');
  EXPECT_EQ(WuFio_AddPluginCandidate(list, almost.c_str()), S_FALSE);
  EXPECT_EQ(WuFio_PluginCount(list), 0);
  WuFio_FreePluginList(list);
  // A folder joined to a value that passes MAX_PATH is skipped, not cut.
  WriteConfig("a.Fio2007-Config", {{"deep", std::string(250, 'd') + "\\fio_test_basic"}});
  list = Search();
  EXPECT_EQ(WuFio_PluginCount(list), 0);
  WuFio_FreePluginList(list);
}

TEST_F(CandidateTest, UnusableLibrariesAreCachedWithPathAndTimeOnly) {
  wutest::WriteBytes(dir_ + "/notes.so", "just text");
  WriteConfig("a.Fio2007-Config", {{"text", "notes"},
                                   {"noexport", PluginPath("fio_test_noexport")},
                                   {"nolist", PluginPath("fio_test_nolist")},
                                   {"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  ASSERT_NE(app, nullptr);
  for (const char* name : {"notes", "fio_test_noexport", "fio_test_nolist"}) {
    SCOPED_TRACE(name);
    std::string path = std::string(name) == "notes" ? dir_ + "/notes.so" : PluginPath(name);
    std::vector<WUFIO_PLUGIN_RECORD*> found = RecordsAt(Impl(app)->PluginList(), path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0]->flags & WUFIO_PLUGIN_UNUSABLE);
    std::string text = CacheText();
    size_t at = text.find("[" + std::string(name) + "]");
    ASSERT_NE(at, std::string::npos);
    size_t end = text.find("[", at + 1);
    std::string section = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    EXPECT_NE(section.find("Path="), std::string::npos);
    EXPECT_NE(section.find("ModTime="), std::string::npos);
    EXPECT_EQ(section.find("{"), std::string::npos) << section;
  }
  EXPECT_EQ(app->GetReaderCount(), 3);
  EXPECT_EQ(PluginCountsOf("fio_test_nolist")[kWuFioTestLoads], 1);
  app->Release();
  // A cached start keeps them unusable without loading them.
  wu_test::ResetPluginCounts();
  app = Create(0);
  EXPECT_EQ(PluginCountsOf("fio_test_nolist")[kWuFioTestLoads], 0);
  std::vector<WUFIO_PLUGIN_RECORD*> found =
      RecordsAt(Impl(app)->PluginList(), PluginPath("fio_test_nolist"));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_TRUE(found[0]->flags & WUFIO_PLUGIN_UNUSABLE);
  app->Release();
}

TEST_F(CandidateTest, ForeignAndForcedOutClassesAreUnavailable) {
  WriteConfig("a.Fio2007-Config", {{"forced", PluginPath("fio_test_basic")}},
              "[Default]\nForceOutOfProcess=1\n");
  // No surrogate program where the manager looks for one.
  WuFio_SetSurrogateFolder(U16(dir_ + "/none").c_str());
  IWuFileIOMgrForApp* app = Create(0);
  WuFio_SetSurrogateFolder(nullptr);
  ASSERT_NE(app, nullptr);
  // The surrogate is not available: the library is not loaded in process.
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 0);
  for (WUFIO_PLUGIN_RECORD* record : Records(app)) {
    EXPECT_TRUE(record->flags & WUFIO_PLUGIN_FORCED_OUT);
    EXPECT_TRUE(record->flags & WUFIO_PLUGIN_UNUSABLE);
  }
  app->Release();
}

TEST_F(CandidateTest, BlockedClassesNeverReachAnEnumerator) {
  WriteConfig("a.Fio2007-Config", {{"order", PluginPath("fio_test_order")}});
  IWuFileIOMgrForApp* app = Create(0);
  WUFIO_PLUGIN_RECORD* blocked = RecordOf(app, kOrderBlocked);
  ASSERT_NE(blocked, nullptr);
  EXPECT_EQ(blocked->flags & (WUFIO_PLUGIN_UNUSABLE | WUFIO_PLUGIN_BLOCKED),
            WUFIO_PLUGIN_UNUSABLE | WUFIO_PLUGIN_BLOCKED);
  EXPECT_EQ(blocked->reader.object, nullptr);
  EXPECT_EQ(PluginCountsOf("fio_test_order/Blocked")[kWuFioTestCalls], 0);
  IWuReadFileClass* cls = nullptr;
  EXPECT_EQ(app->GetReaderClassById(&cls, kOrderBlockedReader), WUFIO_E_NOT_FOUND);
  EXPECT_EQ(app->HasPlugin(kOrderBlocked), S_FALSE);
  IWuFileIOTypeEnum* readers = nullptr;
  ASSERT_EQ(app->GetReaderEnum(&readers), S_OK);
  IUnknown* got[20] = {};
  ULONG fetched = 0;
  readers->Next(20, got, &fetched);
  for (ULONG i = 0; i < fetched; ++i) {
    IWuReadFileClass* reader = nullptr;
    ASSERT_EQ(got[i]->QueryInterface(IID_IWuReadFileClass, reinterpret_cast<void**>(&reader)), S_OK);
    GUID id = {};
    reader->GetClassId(&id);
    EXPECT_FALSE(IsEqualGUID(id, kOrderBlockedReader));
    reader->Release();
    got[i]->Release();
  }
  readers->Release();
  app->Release();
}

// Writes a cache that names the class of the preload plug-in at `plugin`
// with `preloads`.
void WritePreloadCache(const std::string& cachePath, const std::string& plugin,
                       const std::string& preloads) {
  DWORD time = WuDosGetDateTimeUTC(U16(plugin).c_str());
  const std::string id = "{A0000000-0001-4000-8000-000000000001}";
  const std::string reader = "{A1000000-0001-4000-8000-000000000001}";
  const std::string stamp = std::to_string(static_cast<int>(time));
  std::string text = "[fio_test_preload]\nPath=" + plugin + "\nModTime=" + stamp + "\n" + id +
                     "=PRE\n[fio_test_preload." + id + "]\nAccess=16\nFlags=0\nStreamType=1\n[" +
                     id + "]\nDialogName=Preload\nLangID=" +
                     std::to_string(static_cast<int>(WuFio_CurrentLangId())) + "\nModTime=" + stamp +
                     "\nPreloadModules=" + preloads + "\nReader=" + reader + "\nExtReader=*.pre\n";
  wutest::WriteBytes(cachePath, text);
}

TEST_F(CandidateTest, PreloadModules) {
  // The plug-in and the library it needs in one folder, and a second copy
  // of that library just outside it.
  const std::string folder = dir_ + "/plug";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string plugin = folder + "/fio_test_preload.so";
  const std::string dep = std::string(FIO_TEST_PLUGIN_DIR) + "/libfio_test_dep.so";
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_preload")).c_str(), U16(plugin).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(U16(dep).c_str(), U16(folder + "/libfio_test_dep.so").c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(U16(dep).c_str(), U16(dir_ + "/libfio_test_dep.so").c_str(), FALSE));
  WriteConfig("a.Fio2007-Config", {{"pre", plugin}});
  struct Case {
    const char* name;
    std::string preloads;
    HRESULT loaded;      // loading the record's classes
    LONG depLoads;       // loads of the needed library
  };
  const Case cases[] = {
      {"found", "missing;libfio_test_dep", S_OK, 1},
      {"outside the folder", "..\\libfio_test_dep", E_UNEXPECTED, 0},
      {"list too long", std::string(260, 'p'), WUFIO_E_BUFFER_TOO_SMALL, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wu_test::ResetPluginCounts();
    WritePreloadCache(cachePath_, plugin, c.preloads);
    IWuFileIOMgrForApp* app = Create(0);
    ASSERT_NE(app, nullptr);
    ASSERT_EQ(app->GetReaderCount(), 1);
    WUFIO_PLUGIN_RECORD* record = RecordOf(app, kPreload);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->reader.object, nullptr);  // the cache told everything: nothing loaded
    EXPECT_EQ(Impl(app)->LoadRecordClasses(record), c.loaded);
    EXPECT_EQ(PluginCountsOf("fio_test_dep")[kWuFioTestLoads], c.depLoads);
    IWuReadFileClass* cls = nullptr;
    EXPECT_EQ(app->GetReaderClassById(&cls, kPreloadReader), c.loaded == S_OK ? S_OK : E_NOINTERFACE);
    if (cls) {
      EXPECT_EQ(cls->CheckPath(U16(plugin).c_str()), S_OK);  // calls into the needed library
      EXPECT_TRUE(record->flags & WUFIO_PLUGIN_PRELOADED);
      cls->Release();
    }
    app->Release();
    EXPECT_EQ(PluginCountsOf("fio_test_dep")[kWuFioTestUnloads], c.depLoads);
    EXPECT_FALSE(platform::DynamicLoaderHolds(U16(plugin).c_str()));
  }
}

// A listed module the record skipped is not freed with it, even when the
// program has loaded it (here the copy outside the plug-in's folder, which
// also satisfies the plug-in).
TEST_F(CandidateTest, OnlyThePreloadsARecordLoadedAreFreed) {
  const std::string folder = dir_ + "/plug";
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  const std::string plugin = folder + "/fio_test_preload.so";
  const std::string outside = dir_ + "/libfio_test_dep.so";
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_preload")).c_str(), U16(plugin).c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(U16(std::string(FIO_TEST_PLUGIN_DIR) + "/libfio_test_dep.so").c_str(),
                        U16(outside).c_str(), FALSE));
  WriteConfig("a.Fio2007-Config", {{"pre", plugin}});
  WritePreloadCache(cachePath_, plugin, "..\\libfio_test_dep");
  HMODULE own = LoadLibraryW(U16(outside).c_str());
  ASSERT_NE(own, nullptr);
  IWuFileIOMgrForApp* app = Create(0);
  WUFIO_PLUGIN_RECORD* record = RecordOf(app, kPreload);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(Impl(app)->LoadRecordClasses(record), S_OK);
  EXPECT_EQ(record->preloadedCount, 0);
  app->Release();
  EXPECT_EQ(PluginCountsOf("fio_test_dep")[kWuFioTestUnloads], 0);
  EXPECT_TRUE(FreeLibrary(own));
  EXPECT_EQ(PluginCountsOf("fio_test_dep")[kWuFioTestUnloads], 1);
}

TEST(ExtensionListTest, Normalises) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  };
  const Case cases[] = {
      {u" *.a x; ;*.b", u"*.a;*.b"},
      {u"", u""},
      {u";;\t;", u""},
      {u"\t*.wav\t;*.w64 extra words", u"*.wav;*.w64"},
  };
  for (const Case& c : cases) {
    LPWSTR made = WuFio_NormaliseExtensionList(c.in);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(std::u16string(made), c.out) << U8(c.in);
    WuGlobalDelete(made);
  }
}

TEST(FilterListTest, MatchesTheFirstTenBytes) {
  const GUID a = TestId(0x11111111, 1);
  GUID near = a;
  near.Data4[7] = 0x99;  // differs after byte 10
  GUID far = a;
  far.Data4[1] = 0x99;   // differs at byte 9
  EXPECT_TRUE(WuFio_GuidPassesFilterList(far, nullptr, 0, true));
  EXPECT_TRUE(WuFio_GuidPassesFilterList(near, &a, 1, true));
  EXPECT_FALSE(WuFio_GuidPassesFilterList(far, &a, 1, true));
  EXPECT_FALSE(WuFio_GuidPassesFilterList(near, &a, 1, false));
  EXPECT_TRUE(WuFio_GuidPassesFilterList(far, &a, 1, false));
}

}  // namespace
}  // namespace fio_test
