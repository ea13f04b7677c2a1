// Loading a plug-in the way the manager does: the library is loaded, its
// class factory fetched and the object created by a call posted to the
// worker thread; the object is then used from the calling thread, and after
// its last release and FreeLibrary nothing of the plug-in is left.
#include <gtest/gtest.h>

#include "fileio/CWuFioCallThread.h"
#include "fileio/WuFileIO.h"
#include "platform/com/classfactory.h"
#include "platform/kernel/module.h"
#include "platform/kernel/locale.h"
#include "tests/fileio/kit/WuFioTestCounters.h"
#include "tests/fileio/plugins/FioTestMin.h"

namespace {

using wu_test::PluginCountsOf;

typedef HRESULT (*DllGetClassObjectFn)(REFCLSID, REFIID, void**);

const std::u16string& MinPath() {
  static const std::u16string path = platform::ToUtf16(FIO_TEST_MIN_PATH);
  return path;
}

// The posted call: load the library, fetch the factory of `clsid` and
// create an object for `iid`.
struct LoadRequest {
  CLSID clsid;
  IID iid;
  IUnknown* outer = nullptr;
  HMODULE module = nullptr;
  void* object = nullptr;
  HRESULT factoryStatus = E_FAIL;
};

HRESULT LoadAndCreate(void* data) {
  LoadRequest* request = static_cast<LoadRequest*>(data);
  request->module = LoadLibraryExW(MinPath().c_str(), nullptr, 0);
  if (!request->module) return E_UNEXPECTED;
  auto get = reinterpret_cast<DllGetClassObjectFn>(
      GetProcAddress(request->module, "DllGetClassObject"));
  if (!get) return E_NOINTERFACE;
  IClassFactory* factory = nullptr;
  request->factoryStatus = get(request->clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(request->factoryStatus)) return request->factoryStatus;
  HRESULT hr = factory->CreateInstance(request->outer, request->iid, &request->object);
  factory->Release();
  return hr;
}

class PluginLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wu_test::ResetPluginCounts();
    modulesBefore_ = platform::LoadedModuleCount();
  }
  // Frees the request's library and checks that nothing of the plug-in is
  // left: no live object, the module table as before, the file unloaded.
  void ExpectUnloaded(LoadRequest& request) {
    ASSERT_NE(request.module, nullptr);
    EXPECT_TRUE(FreeLibrary(request.module));
    wu_test::PluginCounts counts = PluginCountsOf("fio_test_min");
    EXPECT_EQ(counts[kWuFioTestLive], 0);
    EXPECT_EQ(counts[kWuFioTestLoads], 1);
    EXPECT_EQ(counts[kWuFioTestUnloads], 1);
    EXPECT_EQ(platform::LoadedModuleCount(), modulesBefore_);
    EXPECT_FALSE(platform::DynamicLoaderHolds(MinPath().c_str()));
  }

  CWuFioCallThread worker_;
  size_t modulesBefore_ = 0;
};

TEST_F(PluginLoadTest, ObjectIsMadeOnTheWorkerAndAnswersAnywhere) {
  LoadRequest request{CLSID_FioTestMin, IID_IWuReadMetaVersion};
  HRESULT created = E_FAIL;
  ASSERT_EQ(worker_.RunSync(&LoadAndCreate, &request, &created), S_OK);
  ASSERT_EQ(created, S_OK);
  wu_test::PluginCounts counts = PluginCountsOf("fio_test_min");
  EXPECT_EQ(counts[kWuFioTestCreations], 1);
  EXPECT_EQ(counts[kWuFioTestLive], 1);  // the object; the factory is gone
  EXPECT_EQ(counts.lastThread, worker_.ThreadId());

  // The object answers on this thread, with a stream the host's platform made.
  auto* version = static_cast<IWuReadMetaVersion*>(request.object);
  IStream* stream = nullptr;
  ASSERT_EQ(version->GetVersion(&stream, 0), S_OK);
  ASSERT_NE(stream, nullptr);
  DWORD value = 0;
  ULONG read = 0;
  ASSERT_EQ(stream->Read(&value, sizeof(value), &read), S_OK);
  EXPECT_EQ(read, sizeof(value));
  EXPECT_EQ(value, kFioTestMinVersion);
  // The stream is the host's own: the plug-in has no platform of its own,
  // so the host's global memory knows the stream's block.
  HGLOBAL block = nullptr;
  EXPECT_EQ(GetHGlobalFromStream(stream, &block), S_OK);
  EXPECT_EQ(GlobalSize(block), sizeof(value));
  stream->Release();
  EXPECT_EQ(version->GetVersion(&stream, 1), E_INVALIDARG);
  EXPECT_EQ(PluginCountsOf("fio_test_min")[kWuFioTestCalls], 2);
  EXPECT_EQ(PluginCountsOf("fio_test_min").lastThread, GetCurrentThreadId());

  EXPECT_EQ(version->Release(), 0u);
  ExpectUnloaded(request);
}

// The factory refuses what it cannot make and leaves nothing alive.
TEST_F(PluginLoadTest, RefusalsLeaveNothingBehind) {
  struct Case {
    const char* name;
    CLSID clsid;
    IID iid;
    bool outer;
    HRESULT factoryStatus;  // of DllGetClassObject
    HRESULT created;        // of the whole call
  };
  const CLSID kOther = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
  const Case cases[] = {
      {"unknown class", kOther, IID_IWuReadMetaVersion, false, CLASS_E_CLASSNOTAVAILABLE,
       CLASS_E_CLASSNOTAVAILABLE},
      {"interface it lacks", CLSID_FioTestMin, IID_IWuReadFile, false, S_OK, E_NOINTERFACE},
      {"aggregation", CLSID_FioTestMin, IID_IWuReadMetaVersion, true, S_OK,
       CLASS_E_NOAGGREGATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wu_test::ResetPluginCounts();
    LoadRequest request{c.clsid, c.iid};
    IUnknown* outer = reinterpret_cast<IUnknown*>(&request);  // never called
    if (c.outer) request.outer = outer;
    HRESULT created = S_OK;
    ASSERT_EQ(worker_.RunSync(&LoadAndCreate, &request, &created), S_OK);
    EXPECT_EQ(request.factoryStatus, c.factoryStatus);
    EXPECT_EQ(created, c.created);
    EXPECT_EQ(request.object, nullptr);
    EXPECT_EQ(PluginCountsOf("fio_test_min")[kWuFioTestCreations], 0);
    ExpectUnloaded(request);
  }
}

}  // namespace
