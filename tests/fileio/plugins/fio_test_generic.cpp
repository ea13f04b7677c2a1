// fio_test_generic: the generic reader class, which accepts every file
// (the last resort of the reader searches).
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace {

HRESULT CheckAny(const BYTE*, DWORD, LPCWSTR) { return S_OK; }

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&fio_test::kGeneric, &CLSID_WuGenericReader, nullptr, u"GEN", u"*.gen", u"Any file", "GEN",
     &CheckAny, 0},
};
const int g_fioTestInfoCount = 1;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &fio_test::MakeClassList},
    {&fio_test::kGeneric, &fio_test::MakeClass<0>},
};
const int g_wuFioTestClassCount = 2;
