// fio_test_basic: three classes. "TST" (its extension list is written
// loosely, to be normalised), "TSX" (reader and renderer) and a WAV reader
// whose reader class id is the first row of the type table. "TST" offers
// the notification interface.
#define FIO_TEST_NOTIFY_TAG "TST"
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace {

using namespace fio_test;

HRESULT CheckTst(const BYTE* head, DWORD bytes, LPCWSTR) {
  if (HeadIs(head, bytes, "TST1")) return S_OK;
  if (HeadIs(head, bytes, "BUSY")) return static_cast<HRESULT>(0x8004E086);
  return E_FAIL;
}

HRESULT CheckTsx(const BYTE* head, DWORD bytes, LPCWSTR ext) {
  if (HeadIs(head, bytes, "TSX1")) return S_OK;
  if (HeadIs(head, bytes, "BUSY") && ExtIs(ext, u"ts2")) return S_OK;
  return E_FAIL;
}

HRESULT CheckWav(const BYTE* head, DWORD bytes, LPCWSTR) {
  return bytes >= 12 && HeadIs(head, bytes, "RIFF") && HeadIs(head + 8, bytes - 8, "WAVE")
             ? S_OK
             : E_FAIL;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kBasicTst, &kBasicTstReader, nullptr, u"TST", u" *.tst x; ;*.ts2", u"TST files", "TST",
     &CheckTst, 0},
    {&kBasicTsx, &kBasicTsxReader, &kBasicTsxRenderer, u"TSX", u"*.tsx;*.ts2", u"TSX files",
     "TSX", &CheckTsx, 0},
    {&kBasicWav, &kBasicWavReader, nullptr, u"WAV", u"*.wav;*.w64", u"Wave files", "WAV",
     &CheckWav, 0},
};
const int g_fioTestInfoCount = 3;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kBasicTst, &MakeClass<0>},
    {&kBasicTsx, &MakeClass<1>},
    {&kBasicWav, &MakeClass<2>},
};
const int g_wuFioTestClassCount = 4;
