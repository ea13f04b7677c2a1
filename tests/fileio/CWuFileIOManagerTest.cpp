// The manager as a host creates it: the factory forms and flags, failures
// that leave nothing behind, metrics in memory, the mutex and the
// application folder name, the enumerators and classes fetched from two
// threads at once.
#include <thread>

#include "fileio/CWuFileIOTypeEnum.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/threads.h"
#include "tests/common/VersionBlock.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

class ManagerTest : public FioManagerTest {
 protected:
  void ConfigureBasicAndOrder() {
    WriteConfig("a.Fio2007-Config",
                {{"basic", PluginPath("fio_test_basic")}, {"order", PluginPath("fio_test_order")}});
  }
};

TEST_F(ManagerTest, NoSearchGivesAManagerWithoutPlugins) {
  ConfigureBasicAndOrder();
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
  ASSERT_NE(app, nullptr);
  LONG count = -1;
  EXPECT_EQ(app->GetPluginCount(&count), S_FALSE);
  EXPECT_EQ(count, 0);
  IWuFileIOTypeEnum* readers = nullptr;
  EXPECT_EQ(app->GetReaderEnum(&readers), WUFIO_E_ABSENT);
  EXPECT_EQ(app->GetReaderCount(), 0);
  EXPECT_EQ(app->HasPlugin(kBasicTst), E_FAIL);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 0);
  EXPECT_EQ(app->Release(), 0u);
}

// The test plug-in folder's own configuration file names its libraries
// relative to the folder, without extension.
TEST_F(ManagerTest, TheTestPluginFolderConfigures) {
  WuFio_SetManagerModuleFolder(U16(FIO_TEST_PLUGIN_DIR).c_str());
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_CACHE_WRITE | WUFIO_CREATE_IGNORE_CACHE);
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->HasPlugin(kBasicTst), S_OK);
  EXPECT_EQ(app->HasPlugin(kOrderFirst), S_OK);
  EXPECT_EQ(app->HasPlugin(kPreload), S_FALSE);
  app->Release();
}

TEST_F(ManagerTest, PathsFormUsesExactlyTheGivenLibraries) {
  ConfigureBasicAndOrder();
  std::u16string basic = U16(PluginPath("fio_test_basic"));
  const WCHAR* paths[] = {basic.c_str()};
  IWuFileIOMgrForApp* app = nullptr;
  ASSERT_EQ(WUFileIO_CreateInstance(&app, 0, paths, 1), S_OK);
  LONG count = 0;
  EXPECT_EQ(app->GetPluginCount(&count), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(app->HasPlugin(kBasicTsx), S_OK);
  EXPECT_EQ(app->HasPlugin(kOrderFirst), S_FALSE);
  EXPECT_EQ(app->GetReaderCount(), 3);
  EXPECT_EQ(app->GetRendererCount(), 1);
  EXPECT_EQ(PluginCountsOf("fio_test_order")[kWuFioTestLoads], 0);
  app->Release();
}

TEST_F(ManagerTest, NoCacheWriteKeepsMetricZero) {
  ConfigureBasicAndOrder();
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_CACHE_WRITE | WUFIO_CREATE_IGNORE_CACHE);
  ASSERT_NE(app, nullptr);
  LONG metric = 0;
  EXPECT_EQ(app->GetMetric(0, &metric), S_OK);
  EXPECT_EQ(metric, static_cast<LONG>(WUFIO_CREATE_IGNORE_CACHE));
  EXPECT_EQ(CacheText(), "");
  EXPECT_EQ(app->HasPlugin(kBasicTst), S_OK);
  app->Release();
  // Without the flags the cache is written and metric 0 goes back to 0.
  app = Create(0);
  EXPECT_EQ(app->GetMetric(0, &metric), S_OK);
  EXPECT_EQ(metric, 0);
  EXPECT_NE(CacheText(), "");
  app->Release();
}

TEST_F(ManagerTest, KeyedInfoFiltersThePlugins) {
  ConfigureBasicAndOrder();
  struct Case {
    const char* name;
    DWORD filterFlags;
    LONG readers;           // expected reader count
    bool tstReader;         // whether the TST reader is listed
  };
  const Case cases[] = {
      {"include", 1, 1, true},
      {"exclude", 0, 2, false},
  };
  const GUID list[] = {kBasicTst, kOrderFirst};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Only fio_test_basic's classes take part: order's are excluded the same way.
    _WUFIO_KEYED_INFO info = {};
    info.filterList = list;
    info.filterCount = 1;
    info.filterFlags = c.filterFlags;
    WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
    IWuFileIOMgrForApp* app = Create(0, &info);
    ASSERT_NE(app, nullptr);
    EXPECT_EQ(app->GetReaderCount(), c.readers);
    IWuReadFileClass* cls = nullptr;
    EXPECT_EQ(app->GetReaderClassById(&cls, kBasicTstReader),
              c.tstReader ? S_OK : WUFIO_E_NOT_FOUND);
    if (cls) cls->Release();
    app->Release();
  }
}

// Two libraries offering the same plug-in classes: the lists take the first.
TEST_F(ManagerTest, DuplicateClassesAreListedOnce) {
  std::string copy = dir_ + "/copy.so";
  ASSERT_TRUE(CopyFileW(U16(PluginPath("fio_test_basic")).c_str(), U16(copy).c_str(), FALSE));
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}, {"copy", copy}});
  IWuFileIOMgrForApp* app = Create(0);
  LONG plugins = 0;
  app->GetPluginCount(&plugins);
  EXPECT_EQ(plugins, 6);
  EXPECT_EQ(app->GetReaderCount(), 3);
  EXPECT_EQ(app->GetRendererCount(), 1);
  IWuReadFileClass* cls = nullptr;
  ASSERT_EQ(app->GetReaderClassById(&cls, kBasicTstReader), S_OK);
  cls->Release();
  WUFIO_PLUGIN_INFO info = {};
  info.size = WUFIO_PLUGIN_INFO_SIZE;
  ASSERT_EQ(app->GetPluginInfo(kBasicTst, &info), S_OK);
  EXPECT_EQ(std::u16string(info.path), U16(PluginPath("fio_test_basic")));
  app->Release();
}

TEST_F(ManagerTest, KeyedInfoMetricZeroIgnoresTheCache) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  ASSERT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  _WUFIO_KEYED_INFO info = {};
  info.metrics.mask = 1 | (ULONGLONG{1} << 7);
  info.metrics.values[0] = 1;
  info.metrics.values[7] = 77;
  IWuFileIOMgrForApp* app = Create(0, &info);
  // The cache was bypassed: the library was probed again.
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 2);
  LONG value = 0;
  EXPECT_EQ(app->GetMetric(7, &value), S_OK);
  EXPECT_EQ(value, 77);
  app->Release();
}

// Every allocation of a creation failing in turn: the factory fails with a
// null out pointer and leaves no object, library or block behind.
TEST_F(ManagerTest, FailedCreationLeavesNothingAlive) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  const size_t blocksBefore = platform::LiveGlobalBlockCount();
  int failures = 0;
  for (int skip = 0; skip < 2000; ++skip) {
    std::remove(cachePath_.c_str());
    IWuFileIOMgrForApp* app = reinterpret_cast<IWuFileIOMgrForApp*>(this);
    platform::FailAllocationsAfter(skip, 1);
    HRESULT hr = WUFileIO_CreateInstance(&app, 0);
    platform::FailNextAllocations(0);
    if (SUCCEEDED(hr)) {
      ASSERT_NE(app, nullptr);
      app->Release();
      if (failures > 0 && app) break;
      continue;
    }
    ++failures;
    EXPECT_EQ(app, nullptr) << skip;
    EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLive], 0) << skip;
    EXPECT_EQ(platform::LiveGlobalBlockCount(), blocksBefore) << skip;
  }
  EXPECT_GT(failures, 0);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocksBefore);
}

TEST_F(ManagerTest, LastReleaseUnloadsEveryLibrary) {
  ConfigureBasicAndOrder();
  IWuFileIOMgrForApp* app = Create(0);
  IWuFileIOManager* second = nullptr;
  ASSERT_EQ(app->QueryInterface(IID_IWuFileIOManager, reinterpret_cast<void**>(&second)), S_OK);
  EXPECT_EQ(app->Release(), 1u);
  EXPECT_GT(PluginCountsOf("fio_test_basic")[kWuFioTestLive], 0);
  EXPECT_EQ(second->Release(), 0u);
  // TearDown checks live objects, loads against unloads and the module table.
}

TEST_F(ManagerTest, QueryInterfaceAnswersTheManagerOnly) {
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(app->QueryInterface(IID_IWuReadStream, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(app->QueryInterface(IID_IUnknown, &object), S_OK);
  EXPECT_EQ(object, static_cast<void*>(app));
  app->Release();
  app->Release();
}

TEST_F(ManagerTest, SurrogateManagerHasNoPluginLists) {
  ConfigureBasicAndOrder();
  WuFio_SetManagerModuleFolder(U16(dir_).c_str());  // the cache paths are not set
  std::string module = dir_ + "/FileIOSurrogate";
  wutest::WriteBytes(module, "program");
  _WUFIO_INITIALIZATION_METRICS metrics = {};
  metrics.mask = 1u << 5;
  metrics.values[5] = 55;
  IWuFileIOMgrForApp* app = nullptr;
  ASSERT_EQ(WUFileIO_CreateSurrogateManagerInstance(&app, WUFIO_CREATE_NEXT_TO_MODULE, &metrics,
                                                    U16(module).c_str()),
            S_OK);
  LONG value = 0;
  EXPECT_EQ(app->GetMetric(5, &value), S_OK);
  EXPECT_EQ(value, 55);
  EXPECT_EQ(app->GetReaderCount(), 0);
  EXPECT_EQ(app->HasPlugin(kBasicTst), E_FAIL);
  // Its caches live next to the module given, named after it.
  WCHAR folder[260] = {}, name[260] = {};
  ASSERT_TRUE(WuFio_GetCacheProfile(folder, name));
  EXPECT_EQ(std::u16string(name), u"FileIOSurrogate FFCache_x86.ini");
  EXPECT_EQ(WuFio_ComparePaths(folder, U16(dir_).c_str()), 0);
  app->Release();
}

TEST_F(ManagerTest, ReferencesCountFromManyThreads) {
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([app] {
      for (int i = 0; i < 20000; ++i) {
        app->AddRef();
        app->Release();
      }
    });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(app->AddRef(), 2u);
  EXPECT_EQ(app->Release(), 1u);
  EXPECT_EQ(app->Release(), 0u);
}

TEST_F(ManagerTest, MetricsInMemory) {
  IWuFileIOMgrForApp* app = Create(WUFIO_CREATE_NO_SEARCH);
  EXPECT_EQ(app->SetMetric(39, -5), S_OK);
  LONG value = 0;
  EXPECT_EQ(app->GetMetric(39, &value), S_OK);
  EXPECT_EQ(value, -5);
  value = 9;
  EXPECT_EQ(app->GetMetric(40, &value), S_OK);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(app->SetMetric(40, 1), E_UNEXPECTED);
  _WUFIO_INITIALIZATION_METRICS metrics = {};
  metrics.mask = (ULONGLONG{1} << 3) | (ULONGLONG{1} << 40);
  metrics.values[3] = 33;
  metrics.values[4] = 44;
  EXPECT_EQ(app->ApplyInitializationMetrics(&metrics), S_OK);
  app->GetMetric(3, &value);
  EXPECT_EQ(value, 33);
  app->GetMetric(4, &value);
  EXPECT_EQ(value, 0);
  app->Release();
}

TEST_F(ManagerTest, MutexIsNamedAfterTheApplicationFolder) {
  WCHAR name[260] = {};
  WuFio_MakeMutexName(u"Orvo\\Tool\\2.0", name, 260);
  EXPECT_EQ(std::u16string(name), u"Local\\Talvene Orvo Tool 2.0");

  CWuFileIOManager* manager = CWuFileIOManager::Create();
  ASSERT_NE(manager, nullptr);
  manager->AddRef();
  ASSERT_EQ(manager->InitializeEx(0, u"Orvo\\Tool\\2.0"), S_OK);
  HANDLE found = OpenMutexW(SYNCHRONIZE, FALSE, name);
  ASSERT_NE(found, nullptr);
  CloseHandle(found);
  EXPECT_EQ(manager->Shutdown(), S_OK);
  EXPECT_EQ(manager->MutexHandle(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, name), nullptr);
  manager->Release();

  // The whole name is cut to 259 characters.
  std::u16string longName(400, u'x');
  WuFio_MakeMutexName(longName.c_str(), name, 260);
  EXPECT_EQ(std::u16string(name).size(), 259u);
}

TEST_F(ManagerTest, ApplicationFolderNameComesFromTheVersionBlock) {
  struct Case {
    const char* name;
    std::u16string product;   // empty: no product name
    bool fixed;               // whether the block has its fixed part
    std::u16string expected;
  };
  const Case cases[] = {
      {"product and version", u"Orvo Tool", true, u"Orvo\\Tool\\2.0"},
      {"prefix of any case", u"oRvO Tool", true, u"Orvo\\Tool\\2.0"},
      {"no prefix", u"Other", true, u"Orvo\\Other\\2.0"},
      {"no product name", u"", true, u"tool\\2.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<std::u16string, std::u16string>> strings;
    if (!c.product.empty()) strings.push_back({u"ProductName", c.product});
    std::string block = wutest::VersionBlock(
        wutest::FixedInfo({0x00010000u, 0u, 0x00020000u, 0u, 0x3Fu, 0u, 4u, 1u}), u"040904E4",
        strings, 0x04E40409);
    std::string path = dir_ + "/tool.dll";
    wutest::WriteBytes(path, wutest::ResourceFile({{16, 1, block}}));
    WCHAR folder[260] = {};
    ASSERT_EQ(WuFio_GetAppFolderName(U16(path).c_str(), folder, 260), S_OK);
    EXPECT_EQ(std::u16string(folder), c.expected);
  }
  // Without a version block: the file name without extension.
  std::string plain = dir_ + "/plain.dll";
  wutest::WriteBytes(plain, "none");
  WCHAR folder[260] = {};
  ASSERT_EQ(WuFio_GetAppFolderName(U16(plain).c_str(), folder, 260), S_OK);
  EXPECT_EQ(std::u16string(folder), u"plain");
}

TEST_F(ManagerTest, TwoThreadsFetchingClassesEachLoadThemOnce) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();  // writes the cache: the next start loads no class
  wu_test::ResetPluginCounts();
  IWuFileIOMgrForApp* app = Create(0);
  ASSERT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestCreations], 0);
  const GUID ids[] = {kBasicTstReader, kBasicTsxReader, kBasicWavReader};
  std::vector<LONG> keys;
  for (LONG key = 0; key < app->GetReaderCount(); ++key) keys.push_back(key);
  GUID byId[3] = {}, byKey[3] = {};
  std::thread first([&] {
    for (int i = 0; i < 3; ++i) {
      IWuReadFileClass* cls = nullptr;
      if (app->GetReaderClassById(&cls, ids[i]) == S_OK) {
        cls->GetClassId(&byId[i]);
        cls->Release();
      }
    }
  });
  std::thread second([&] {
    for (int i = 0; i < 3; ++i) {
      IWuReadFileClass* cls = nullptr;
      if (app->GetReaderClassByKey(&cls, keys[static_cast<size_t>(i)]) == S_OK) {
        cls->GetClassId(&byKey[i]);
        cls->Release();
      }
    }
  });
  first.join();
  second.join();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsEqualGUID(byId[i], ids[i])) << i;
  // By key: the sorted order, reader class ids descending in memory byte
  // order (Data1's lowest byte first): the WAV reader, TST, TSX.
  EXPECT_TRUE(IsEqualGUID(byKey[0], kBasicWavReader));
  EXPECT_TRUE(IsEqualGUID(byKey[1], kBasicTstReader));
  EXPECT_TRUE(IsEqualGUID(byKey[2], kBasicTsxReader));
  // Three readers and TSX's renderer, each made once.
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestCreations], 4);
  EXPECT_EQ(PluginCountsOf("fio_test_basic")[kWuFioTestLoads], 1);
  app->Release();
}

// A library probed again on a live manager asks it for a class that is
// not loaded yet, while the probing thread holds the manager's mutex.
TEST_F(ManagerTest, APluginAskingForClassesWhileProbedIsAnswered) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  Create(0)->Release();
  IWuFileIOMgrForApp* app = Create(0);  // from the cache: no class loaded
  ASSERT_EQ(RecordOf(app, kBasicTst)->reader.object, nullptr);
  tWULIST* list = nullptr;
  ASSERT_EQ(app->FindPlugins(&list, WUFIO_CREATE_IGNORE_CACHE, nullptr), S_OK);
  EXPECT_EQ(WuFio_PluginCount(list), 3);
  EXPECT_NE(RecordOf(app, kBasicTst)->reader.object, nullptr);  // loaded for the plug-in
  WuFio_FreePluginList(list);
  app->Release();
}

TEST_F(ManagerTest, TypeEnumeratorsSkipAndNext) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  IWuFileIOTypeEnum* readers = nullptr;
  ASSERT_EQ(app->GetReaderEnum(&readers), S_OK);
  ASSERT_EQ(readers->GetCount(), 3);
  IUnknown* got[5] = {};
  ULONG fetched = 9;
  EXPECT_EQ(readers->Next(5, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 3u);
  for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
  EXPECT_EQ(readers->Next(5, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);

  EXPECT_EQ(readers->Reset(), S_OK);
  EXPECT_EQ(readers->Skip(2), S_OK);
  EXPECT_EQ(readers->Skip(1), E_NOTIMPL);  // lands exactly on the end
  EXPECT_EQ(readers->Next(1, got, &fetched), S_FALSE);
  EXPECT_EQ(readers->Reset(), S_OK);
  EXPECT_EQ(readers->Skip(7), E_NOTIMPL);
  EXPECT_EQ(readers->Next(1, got, &fetched), S_FALSE);
  IWuFileIOTypeEnum* clone = nullptr;
  EXPECT_EQ(readers->Clone(&clone), E_NOTIMPL);
  readers->Release();
  app->Release();
}

TEST_F(ManagerTest, PluginEnumeratorAndInformation) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  IWuFIOPluginEnum* plugins = nullptr;
  ASSERT_EQ(app->GetPluginEnum(&plugins), S_OK);
  WUFIO_PLUGIN_INFO infos[4] = {};
  infos[0].size = WUFIO_PLUGIN_INFO_SIZE;
  infos[1].size = 500;  // a wrong size stops the step, uncounted
  ULONG fetched = 0;
  EXPECT_EQ(plugins->Next(4, infos, &fetched), E_FAIL);
  EXPECT_EQ(fetched, 1u);
  EXPECT_TRUE(IsEqualGUID(infos[0].classId, kBasicTst));
  EXPECT_TRUE(IsEqualGUID(infos[0].readerClassId, kBasicTstReader));
  // The path lies at byte 56 of the record.
  const BYTE* bytes = reinterpret_cast<const BYTE*>(&infos[0]);
  EXPECT_EQ(std::u16string(reinterpret_cast<const WCHAR*>(bytes + 56)),
            U16(PluginPath("fio_test_basic")));
  for (WUFIO_PLUGIN_INFO& info : infos) info.size = WUFIO_PLUGIN_INFO_SIZE;
  EXPECT_EQ(plugins->Next(4, infos, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  EXPECT_TRUE(IsEqualGUID(infos[0].rendererClassId, kBasicTsxRenderer));
  EXPECT_EQ(plugins->Next(4, infos, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
  plugins->Release();

  WUFIO_PLUGIN_INFO info = {};
  info.size = WUFIO_PLUGIN_INFO_SIZE;
  EXPECT_EQ(app->GetPluginInfo(kBasicWav, &info), S_OK);
  EXPECT_TRUE(IsEqualGUID(info.readerClassId, kBasicWavReader));
  EXPECT_EQ(app->GetPluginInfo(kOrderFirst, &info), E_FAIL);
  info.size = 591;
  EXPECT_EQ(app->GetPluginInfo(kBasicWav, &info), E_FAIL);
  EXPECT_EQ(app->HasPlugin(kBasicWav), S_OK);
  EXPECT_EQ(app->HasPlugin(kOrderFirst), S_FALSE);
  app->Release();
}

}  // namespace
}  // namespace fio_test
