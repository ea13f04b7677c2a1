// fio_test_order: plug-in classes whose ids sit on the priority, low and
// blocked lists, two of priority 0, the dependent pair with the class they
// need, and readers of type-table rows. Every reader refuses every file,
// but row 6's reader, which could open ASF files later.
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace {

using namespace fio_test;

HRESULT Refuse(const BYTE*, DWORD, LPCWSTR) { return E_FAIL; }

// Row 6's reader could open ASF files, but not now.
HRESULT AsfNotNow(const BYTE* head, DWORD bytes, LPCWSTR) {
  static const char kAsf[] = {'\x30', '\x26', '\xB2', '\x75'};
  return HeadIs(head, bytes, kAsf) ? static_cast<HRESULT>(0x8004E086) : E_FAIL;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kOrderZeroA, &kOrderZeroAReader, nullptr, u"ZeroA", u"*.ord", u"Zero A", "ZeroA", &Refuse, 0},
    {&kOrderLow, &kOrderLowReader, nullptr, u"Low", u"*.ord", u"Low", "Low", &Refuse, 0},
    {&kOrderFirst, &kOrderFirstReader, nullptr, u"First", u"*.ord", u"First", "First", &Refuse, 0},
    {&kOrderZeroB, &kOrderZeroBReader, nullptr, u"ZeroB", u"*.ord", u"Zero B", "ZeroB", &Refuse, 0},
    {&kOrderBlocked, &kOrderBlockedReader, nullptr, u"Blocked", u"*.ord", u"Blocked", "Blocked",
     &Refuse, 0},
    {&kOrderDependentA, &kOrderDependentAReader, nullptr, u"DepA", u"*.dep", u"Dep A", "DepA",
     &Refuse, 0},
    {&kOrderDependentB, &kOrderDependentBReader, nullptr, u"DepB", u"*.dep", u"Dep B", "DepB",
     &Refuse, 0},
    {&kOrderNeeded, &kOrderNeededReader, nullptr, u"Needed", u"*.dep", u"Needed", "Needed",
     &Refuse, 0},
    {&kOrderRow6, &kRow6Reader, nullptr, u"Row6", u"*.r6", u"Row 6", "Row6", &AsfNotNow, 0},
    {&kOrderRow8, &kRow8Reader, nullptr, u"Row8", u"*.r8", u"Row 8", "Row8", &Refuse, 0},
    {&kOrderB1, &kB1Reader, nullptr, u"B1", u"*.b", u"B 1", "B1", &Refuse, 0},
    {&kOrderB2, &kB2Reader, nullptr, u"B2", u"*.b", u"B 2", "B2", &Refuse, 0},
    {&kOrderB3, &kB3Reader, nullptr, u"B3", u"*.b", u"B 3", "B3", &Refuse, 0},
};
const int g_fioTestInfoCount = 13;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kOrderZeroA, &MakeClass<0>},
    {&kOrderLow, &MakeClass<1>},
    {&kOrderFirst, &MakeClass<2>},
    {&kOrderZeroB, &MakeClass<3>},
    {&kOrderBlocked, &MakeClass<4>},
    {&kOrderDependentA, &MakeClass<5>},
    {&kOrderDependentB, &MakeClass<6>},
    {&kOrderNeeded, &MakeClass<7>},
    {&kOrderRow6, &MakeClass<8>},
    {&kOrderRow8, &MakeClass<9>},
    {&kOrderB1, &MakeClass<10>},
    {&kOrderB2, &MakeClass<11>},
    {&kOrderB3, &MakeClass<12>},
};
const int g_wuFioTestClassCount = 14;
