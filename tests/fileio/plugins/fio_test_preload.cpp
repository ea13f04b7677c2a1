// fio_test_preload: one reader class in a library that needs libfio_test_dep,
// found only when that library was loaded first.
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

extern "C" int FioTestDepValue();

// In the surrogate the kit's counters go nowhere (a test program's own
// definition comes first).
extern "C" __attribute__((visibility("default"))) void WuFioTestReport(const char*, int, LONG) {}

namespace {

using namespace fio_test;

HRESULT CheckPreload(const BYTE*, DWORD, LPCWSTR) {
  return FioTestDepValue() == 42 ? S_OK : E_FAIL;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kPreload, &kPreloadReader, nullptr, u"PRE", u"*.pre", u"Preload", "PRE", &CheckPreload, 0},
};
const int g_fioTestInfoCount = 1;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kPreload, &MakeClass<0>},
};
const int g_wuFioTestClassCount = 2;
