// fio_test_keys: two reader and renderer classes that answer GetKey with
// something other than the key the manager gave them: "Minus" answers -1,
// "Lower" the key before its own (as a class object shared with another
// manager would). Both accept heads "KEY1".
#include "platform/kernel/types.h"

struct FioTestClassInfo;
namespace {
LONG KeyAnswer(const FioTestClassInfo& info, LONG key);
}  // namespace
#define FIO_TEST_KEY_ANSWER KeyAnswer

#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace {

using namespace fio_test;

LONG KeyAnswer(const FioTestClassInfo& info, LONG key) {
  return info.pluginId == &kKeysMinus ? -1 : key - 1;
}

HRESULT CheckKey(const BYTE* head, DWORD bytes, LPCWSTR) {
  return HeadIs(head, bytes, "KEY1") ? S_OK : E_FAIL;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kKeysMinus, &kKeysMinusReader, &kKeysMinusRenderer, u"Minus", u"*.kym", u"Minus files",
     "Minus", &CheckKey, 0},
    {&kKeysLower, &kKeysLowerReader, &kKeysLowerRenderer, u"Lower", u"*.kyl", u"Lower files",
     "Lower", &CheckKey, 0},
};
const int g_fioTestInfoCount = 2;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kKeysMinus, &MakeClass<0>},
    {&kKeysLower, &MakeClass<1>},
};
const int g_wuFioTestClassCount = 3;
