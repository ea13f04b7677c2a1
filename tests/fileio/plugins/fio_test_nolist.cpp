// fio_test_nolist: a library with a class factory but no class list.
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

const FioTestClassInfo g_fioTestInfos[] = {
    {&fio_test::kNoList, &fio_test::kNoList, nullptr, u"NoList", u"", u"", "NoList", nullptr, 0},
};
const int g_fioTestInfoCount = 1;

const WuFioTestClass g_wuFioTestClasses[] = {{&fio_test::kNoList, &fio_test::MakeClass<0>}};
const int g_wuFioTestClassCount = 1;
