// The plug-in side of the test kit: a reference-counted object base that
// reports to the test program, a class factory over a table of classes,
// and "DllGetClassObject" over the plug-in's table (WuFioTestPlugin.cpp).
//
// A test plug-in is built by wu_fio_test_plugin (tests/fileio/CMakeLists.txt),
// which names it (WU_FIO_TEST_PLUGIN_NAME) and compiles the kit into it.
// The plug-in defines its class table:
//   const WuFioTestClass g_wuFioTestClasses[] = {{&CLSID_Mine, &MakeMine}};
//   const int g_wuFioTestClassCount = 1;
#pragma once

#include <atomic>

#include "fileio/WuFileIO.h"
#include "platform/com/classfactory.h"
#include "tests/fileio/kit/WuFioTestCounters.h"

#ifndef WU_FIO_TEST_PLUGIN_NAME
#define WU_FIO_TEST_PLUGIN_NAME "host"
#endif

// Reports to this plug-in's counters.
inline void WuFioTestCount(WuFioTestCounter counter, LONG delta = 1) {
  WuFioTestReport(WU_FIO_TEST_PLUGIN_NAME, counter, delta);
}

// An object of a test plug-in implementing `Interface` (id `iid`): counted
// live from construction to destruction, destroyed by its last Release.
template <class Interface>
class WuFioTestObject : public Interface {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, iid_)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  explicit WuFioTestObject(const IID& iid) : iid_(iid) { WuFioTestCount(kWuFioTestLive, 1); }
  // After every numbered operation of Interface.
  virtual ~WuFioTestObject() { WuFioTestCount(kWuFioTestLive, -1); }

 private:
  const IID iid_;                      // the interface besides IUnknown
  std::atomic<ULONG> references_{1};   // born with the creator's reference
};

// One class of a test plug-in: its id and a function that makes an object
// and asks it for `iid` (*object NULL on failure).
struct WuFioTestClass {
  const CLSID* clsid;
  HRESULT (*create)(REFIID iid, void** object);
};

// The class factory of one class.
class WuFioTestFactory final : public WuFioTestObject<IClassFactory> {
 public:
  explicit WuFioTestFactory(const WuFioTestClass& cls)
      : WuFioTestObject<IClassFactory>(IID_IClassFactory), class_(cls) {}

  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    HRESULT hr = class_.create(iid, object);
    if (SUCCEEDED(hr)) WuFioTestCount(kWuFioTestCreations);
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    locks_ += lock ? 1 : -1;
    return S_OK;
  }
  // Locks taken by LockServer and not given back.
  LONG Locks() const { return locks_.load(); }

 private:
  ~WuFioTestFactory() override = default;

  const WuFioTestClass class_;  // the class this factory makes
  std::atomic<LONG> locks_{0};  // LockServer count
};

// The plug-in's classes, defined by the plug-in.
extern const WuFioTestClass g_wuFioTestClasses[];
extern const int g_wuFioTestClassCount;

// The factory of `clsid` from `classes`, asked for `iid`:
// CLASS_E_CLASSNOTAVAILABLE for a class not in the table.
HRESULT WuFioTestGetClassObject(const WuFioTestClass* classes, int count, REFCLSID clsid,
                                REFIID iid, void** object);
