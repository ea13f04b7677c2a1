// fio_test_many: more reader classes than the cache's old fixed lists held.
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestIds.h"

namespace {

using namespace fio_test;

HRESULT Refuse(const BYTE*, DWORD, LPCWSTR) { return E_FAIL; }

constexpr CLSID kId0 = ManyId(0);
constexpr CLSID kReader0 = ManyReader(0);
constexpr CLSID kId1 = ManyId(1);
constexpr CLSID kReader1 = ManyReader(1);
constexpr CLSID kId2 = ManyId(2);
constexpr CLSID kReader2 = ManyReader(2);
constexpr CLSID kId3 = ManyId(3);
constexpr CLSID kReader3 = ManyReader(3);
constexpr CLSID kId4 = ManyId(4);
constexpr CLSID kReader4 = ManyReader(4);
constexpr CLSID kId5 = ManyId(5);
constexpr CLSID kReader5 = ManyReader(5);
constexpr CLSID kId6 = ManyId(6);
constexpr CLSID kReader6 = ManyReader(6);
constexpr CLSID kId7 = ManyId(7);
constexpr CLSID kReader7 = ManyReader(7);
constexpr CLSID kId8 = ManyId(8);
constexpr CLSID kReader8 = ManyReader(8);
constexpr CLSID kId9 = ManyId(9);
constexpr CLSID kReader9 = ManyReader(9);
constexpr CLSID kId10 = ManyId(10);
constexpr CLSID kReader10 = ManyReader(10);
constexpr CLSID kId11 = ManyId(11);
constexpr CLSID kReader11 = ManyReader(11);
constexpr CLSID kId12 = ManyId(12);
constexpr CLSID kReader12 = ManyReader(12);
constexpr CLSID kId13 = ManyId(13);
constexpr CLSID kReader13 = ManyReader(13);
constexpr CLSID kId14 = ManyId(14);
constexpr CLSID kReader14 = ManyReader(14);
constexpr CLSID kId15 = ManyId(15);
constexpr CLSID kReader15 = ManyReader(15);
constexpr CLSID kId16 = ManyId(16);
constexpr CLSID kReader16 = ManyReader(16);
constexpr CLSID kId17 = ManyId(17);
constexpr CLSID kReader17 = ManyReader(17);
constexpr CLSID kId18 = ManyId(18);
constexpr CLSID kReader18 = ManyReader(18);
constexpr CLSID kId19 = ManyId(19);
constexpr CLSID kReader19 = ManyReader(19);

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kId0, &kReader0, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId1, &kReader1, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId2, &kReader2, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId3, &kReader3, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId4, &kReader4, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId5, &kReader5, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId6, &kReader6, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId7, &kReader7, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId8, &kReader8, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId9, &kReader9, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId10, &kReader10, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId11, &kReader11, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId12, &kReader12, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId13, &kReader13, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId14, &kReader14, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId15, &kReader15, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId16, &kReader16, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId17, &kReader17, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId18, &kReader18, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
    {&kId19, &kReader19, nullptr, u"Many", u"*.many", u"Many", "Many", &Refuse, 0},
};
const int g_fioTestInfoCount = kManyCount;
static_assert(sizeof(g_fioTestInfos) / sizeof(g_fioTestInfos[0]) == kManyCount);

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kId0, &MakeClass<0>},
    {&kId1, &MakeClass<1>},
    {&kId2, &MakeClass<2>},
    {&kId3, &MakeClass<3>},
    {&kId4, &MakeClass<4>},
    {&kId5, &MakeClass<5>},
    {&kId6, &MakeClass<6>},
    {&kId7, &MakeClass<7>},
    {&kId8, &MakeClass<8>},
    {&kId9, &MakeClass<9>},
    {&kId10, &MakeClass<10>},
    {&kId11, &MakeClass<11>},
    {&kId12, &MakeClass<12>},
    {&kId13, &MakeClass<13>},
    {&kId14, &MakeClass<14>},
    {&kId15, &MakeClass<15>},
    {&kId16, &MakeClass<16>},
    {&kId17, &MakeClass<17>},
    {&kId18, &MakeClass<18>},
    {&kId19, &MakeClass<19>},
};
const int g_wuFioTestClassCount = kManyCount + 1;
