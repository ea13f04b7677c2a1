// The exports of a test plug-in: "DllGetClassObject" over the plug-in's
// class table, and the load and unload reports.
#include "tests/fileio/kit/WuFioTestPlugin.h"

HRESULT WuFioTestGetClassObject(const WuFioTestClass* classes, int count, REFCLSID clsid,
                                REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  for (int i = 0; i < count; ++i) {
    if (!IsEqualGUID(*classes[i].clsid, clsid)) continue;
    WuFioTestFactory* factory = new WuFioTestFactory(classes[i]);
    HRESULT hr = factory->QueryInterface(iid, object);
    factory->Release();
    return hr;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                           REFIID iid,
                                                                           void** object) {
  return WuFioTestGetClassObject(g_wuFioTestClasses, g_wuFioTestClassCount, clsid, iid, object);
}

namespace {

// Reports the library's loading and unloading.
struct LoadReport {
  LoadReport() { WuFioTestCount(kWuFioTestLoads); }
  ~LoadReport() { WuFioTestCount(kWuFioTestUnloads); }
} g_loadReport;

}  // namespace
