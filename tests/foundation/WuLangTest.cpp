// The language layer: string-table columns, string references, string
// loading through the owner and language modules, temporary slices, the
// locale settings, the user's language in the registry and code-page
// detection.
//
// Fixture: an owner module "<dir>/app.exe" with English string resources
// and, beside it, "<dir>/app.LNG" (built from WuLangTest.rc: German
// strings and version resources in German and French). The test program
// itself carries WuLangMain.rc.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "platform/comctl/commctrl.h"
#include "platform/user/frontend.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/exception.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/text/mlang.h"
#include "platform/registry/registry.h"
#include "platform/kernel/resource.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;
using wutest::U8;

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// An RT_STRING block as the resource compiler stores it (texts terminated).
std::string StringBlock(const std::map<int, std::u16string>& texts) {
  std::string block;
  for (int i = 0; i < 16; ++i) {
    auto it = texts.find(i);
    std::u16string units = it == texts.end() ? u"" : it->second + u'\0';
    block += static_cast<char>(units.size() & 0xFF);
    block += static_cast<char>(units.size() >> 8);
    for (char16_t c : units) {
      block += static_cast<char>(c & 0xFF);
      block += static_cast<char>(c >> 8);
    }
  }
  return block;
}

// A row whose column c holds "c<c>".
const char16_t* const kColumnTexts[WULANG_COLUMNS] = {
    u"c1", u"c2", u"c3", u"c4", u"c5", u"c6", u"c7", u"c8", u"c9",
    u"c10", u"c11", u"c12", u"c13", u"c14", u"c15", u"c16", u"c17"};
WuLangStringRow ColumnRow(int count = WULANG_COLUMNS) {
  WuLangStringRow row{WULANG_ROW_MARKER, static_cast<WORD>(count), {}};
  for (int c = 0; c < WULANG_COLUMNS; ++c) row.text[c] = kColumnTexts[c];
  return row;
}

class WuLangTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetUserLocale(0x409, 0x409);
    SetThreadUILanguage(0);
    dir_ = wutest::MakeTempDir("lang");
    WriteFileBytes(dir_ + "/app.exe", "program");
    WriteFileBytes(dir_ + "/app.LNG", ReadFileBytes(WU_TEST_LNG));
    owner_ = platform::CreateExportModule(u"LangOwner", nullptr, 0, U16(dir_ + "/app.exe").c_str());
    ASSERT_NE(owner_, nullptr);
    block1_ = StringBlock({{1, u"one"}, {2, u"two"}});
    block2_ = StringBlock({{1, u"seventeen"}, {2, u"^*wxyz"}});  // ids 17 and 18
    const platform::ResourceItem english[] = {
        {RT_STRING, MAKEINTRESOURCEW(1), 0x409, block1_.data(), static_cast<DWORD>(block1_.size())},
        {RT_STRING, MAKEINTRESOURCEW(2), 0x409, block2_.data(), static_cast<DWORD>(block2_.size())},
    };
    ASSERT_TRUE(platform::AddModuleResources(owner_, english, 2));
    ASSERT_EQ(WuLang_Open(&kernel_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    WuKernel_SetLangHandle(kernel_);
  }
  void TearDown() override {
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(kernel_);
    FreeLibrary(owner_);
    platform::SetUserLocale(0, 0);
    SetThreadLocale(GetUserDefaultLCID());
    platform::ClearLocaleOverrides();
    platform::ResetSystemModel();
    platform::SetAnsiCodePage(1252);
    SetProcessDefaultLayout(0);
    SetThreadUILanguage(0);
  }
  HWULANG Open(LCID lcid, HMODULE owner = nullptr) {
    HWULANG h = nullptr;
    EXPECT_EQ(WuLang_Open(&h, owner ? owner : owner_, lcid, 0), S_OK);
    return h;
  }

  std::string dir_;
  HMODULE owner_ = nullptr;
  HWULANG kernel_ = nullptr;
  std::string block1_, block2_;
};

// ---- The string table ----------------------------------------------------------------------------

TEST_F(WuLangTest, ColumnFollowsTheNormalisedLanguage) {
  struct Case {
    LCID lcid;
    int column;
  };
  const Case cases[] = {
      {0x409, 1},  {0x809, 1},   // every English is column 1
      {0x407, 3},  {0x807, 3},   // every German is column 3
      {0x816, 15}, {0x416, 14},  // Portuguese keeps its sublanguage
      {0xC16, 1},                // so another Portuguese matches nothing
      {0xC04, 7},  {0x1404, 7},  // Hong Kong and Macau: traditional
      {0x1004, 6}, {0x804, 6},   // Singapore and PRC: simplified
      {0x41D, 17}, {3, 1},       // Catalan is not a column
  };
  WuLangStringRow row = ColumnRow();
  for (const Case& c : cases) {
    HWULANG h = Open(c.lcid);
    EXPECT_EQ(std::u16string(WuGetString(h, &row)), kColumnTexts[c.column - 1]) << std::hex << c.lcid;
    WuLang_Close(h);
  }
  // Without an LCID the user's UI language chooses.
  platform::SetUserLocale(0x411, 0x411);
  HWULANG h = Open(0);
  EXPECT_EQ(std::u16string(WuGetString(h, &row)), u"c2");
  WuLang_Close(h);
}

TEST_F(WuLangTest, ShortRowsGiveTheirLastColumn) {
  WuLangStringRow row = ColumnRow(5);
  HWULANG h = Open(0x410);  // Italian: column 9
  EXPECT_EQ(std::u16string(WuGetString(h, &row)), u"c5");
  row.count = 0x105;  // only the low 8 bits count
  EXPECT_EQ(std::u16string(WuGetString(h, &row)), u"c5");
  row.count = 0;
  EXPECT_EQ(std::u16string(WuGetString(h, &row)), u"");
  WuLang_Close(h);
}

TEST_F(WuLangTest, GeneratedRowsAreRowsOfTheTable) {
  const DWORD* lcids = WuLangTable_ColumnLCIDs();
  for (int c = 0; c < WULANG_COLUMNS; ++c) EXPECT_EQ(lcids[c], WULANG_COLUMN_LCIDS[c]);
  EXPECT_EQ(lcids[WULANG_COLUMNS], 0u);
  // The rows follow the LCID list and its 0 in one block.
  EXPECT_EQ(reinterpret_cast<const BYTE*>(WuLangTable_Rows()),
            reinterpret_cast<const BYTE*>(lcids) + (WULANG_COLUMNS + 1) * sizeof(DWORD));
  const WuLangStringRow* first = WuLangTable_Rows();
  bool found = false;
  for (int r = 0; r < WuLangTable_RowCount(); ++r) {
    EXPECT_EQ(first[r].marker, WULANG_ROW_MARKER);
    EXPECT_EQ(first[r].count, WULANG_COLUMNS);
    found = found || &first[r] == &WuLangRow_SmpteLabels;
  }
  EXPECT_TRUE(found);
  EXPECT_TRUE(IsWULANGSTRINGID(nullptr, WuLangRowRef(WuLangRow_SmpteLabels)));
  EXPECT_EQ(std::u16string(WuGetString(kernel_, &WuLangRow_SmpteLabels)), u"hr%smn%ssc%sfr");
}

TEST_F(WuLangTest, StringReferencesInTheirThreeForms) {
  HWULANG h = Open(0x409);
  WuLangStringRow row = ColumnRow();
  // A text whose first unit is the row marker, at an odd address: plain.
  alignas(4) WCHAR storage[4] = {0, WULANG_ROW_MARKER, u'x', 0};
  LPCWSTR odd = reinterpret_cast<LPCWSTR>(reinterpret_cast<const BYTE*>(storage) + 1);
  alignas(4) const WCHAR marked[] = {WULANG_ROW_MARKER, u'y', 0};  // aligned: taken for a row
  const WCHAR plain[] = u"plain";

  EXPECT_TRUE(IsWULANGSTRINGID(h, WuLangRowRef(row)));
  EXPECT_TRUE(IsWULANGSTRINGID(nullptr, marked));
  EXPECT_FALSE(IsWULANGSTRINGID(h, odd));
  EXPECT_FALSE(IsWULANGSTRINGID(h, plain));
  EXPECT_FALSE(IsWULANGSTRINGID(h, WuLangIdRef(17)));

  EXPECT_EQ(WuGetStringSmart(h, nullptr), nullptr);
  EXPECT_EQ(std::u16string(WuGetStringSmart(h, WuLangIdRef(17))), u"seventeen");
  EXPECT_EQ(std::u16string(WuGetStringSmart(h, WuLangRowRef(row))), u"c1");
  EXPECT_EQ(WuGetStringSmart(h, plain), plain);
  EXPECT_EQ(WuGetStringSmart(h, odd), odd);
  EXPECT_EQ(std::u16string(WuGetStringSmart(h, WuLangIdRef(999))), u"");
  WuLang_Close(h);
}

TEST_F(WuLangTest, ResourceIdCellsResolveOnceOrFallBackToColumnOne) {
  WuLangStringRow row{WULANG_ROW_MARKER, WULANG_COLUMNS, {}};
  for (int c = 0; c < WULANG_COLUMNS; ++c) row.text[c] = u"first";
  row.text[1] = WuLangIdRef(6);  // Japanese: not in the language module
  row.text[2] = WuLangIdRef(5);  // German: "fünf" in the language module

  // The language module serves id cells even while it is not enabled.
  HWULANG german = Open(0x407);
  EXPECT_EQ(WuLang_InstFromLang(german), owner_);
  LPCWSTR text = WuGetString(german, &row);
  EXPECT_EQ(std::u16string(text), u"f\u00FCnf");
  EXPECT_EQ(row.text[2], text);  // the cell now holds the text itself

  HWULANG japanese = Open(0x411);
  EXPECT_EQ(std::u16string(WuGetString(japanese, &row)), u"first");
  EXPECT_EQ(row.text[1], row.text[0]);

  // A row whose first column is an id too yields an empty text.
  WuLangStringRow bare{WULANG_ROW_MARKER, 1, {WuLangIdRef(6)}};
  EXPECT_EQ(std::u16string(WuGetString(japanese, &bare)), u"");
  WuLang_Close(japanese);
  WuLang_Close(german);
  // The text stays readable after the module that held it is gone.
  EXPECT_EQ(std::u16string(row.text[2]), u"f\u00FCnf");
}

// ---- Loading strings ------------------------------------------------------------------------------

TEST_F(WuLangTest, LoadStringCutsStripsAndReportsTheCopiedLength) {
  HWULANG h = Open(0x409);
  WCHAR buffer[32];
  EXPECT_EQ(WuLoadString(h, 17, buffer, 32), 9);
  EXPECT_EQ(std::u16string(buffer), u"seventeen");
  EXPECT_EQ(WuLoadString(h, 17, buffer, 4), 3);  // the length copied, not the size
  EXPECT_EQ(std::u16string(buffer), u"sev");
  EXPECT_EQ(WuLoadString(h, 18, buffer, 32), 4);  // "^*" is dropped
  EXPECT_EQ(std::u16string(buffer), u"wxyz");
  buffer[0] = u'x';
  EXPECT_EQ(WuLoadString(h, 3, buffer, 32), 0);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(WuLoadString(h, 17, buffer, 0), 0);

  // The same through the language module, and through a row.
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 0x407, 0));
  EXPECT_EQ(WuLoadString(h, 17, buffer, 5), 4);
  EXPECT_EQ(std::u16string(buffer), u"sieb");
  EXPECT_EQ(WuLoadString(h, 18, buffer, 32), 4);
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  WuLangStringRow row{WULANG_ROW_MARKER, 1, {u"^*1234"}};
  EXPECT_EQ(WuLoadString(h, &row, buffer, 32), 4);
  EXPECT_EQ(std::u16string(buffer), u"1234");
  WuLang_Close(h);
}

TEST_F(WuLangTest, KernelLanguageChoosesOwnerOrLanguageModule) {
  HWULANG h = Open(0);
  WCHAR buffer[32];
  EXPECT_EQ(WuLang_InstFromLang(h), owner_);  // not enabled yet
  EXPECT_EQ(std::u16string(WuGetString(h, 1u)), u"one");

  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1031, 0));
  HMODULE lng = WuLang_InstFromLang(h);
  EXPECT_NE(lng, owner_);
  EXPECT_EQ(platform::LookupModule(lng)->file_name(), U16(dir_ + "/app.LNG"));
  EXPECT_EQ(std::u16string(WuGetString(h, 1u)), u"eins");  // the cache was emptied
  WuLoadString(h, 2, buffer, 32);
  EXPECT_EQ(std::u16string(buffer), u"two");  // missing in the language module
  EXPECT_EQ(WuLang_GetLCID(kernel_), 1031u);  // the kernel handle follows

  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 0, 0));  // 0 is 1033: English never comes from the file
  EXPECT_EQ(WuLang_GetLCID(h), 1033u);
  EXPECT_EQ(WuLang_InstFromLang(h), owner_);
  EXPECT_EQ(std::u16string(WuGetString(h, 1u)), u"one");

  WuKernel_SetLangHandle(nullptr);
  EXPECT_FALSE(WuLang_UpdateKernelLCID(h, 1031, 0));
  EXPECT_EQ(WuLang_GetLCID(h), 1033u);
  WuKernel_SetLangHandle(kernel_);
  EXPECT_FALSE(WuLang_UpdateKernelLCID(nullptr, 1031, 0));
  WuLang_Close(h);
}

TEST_F(WuLangTest, AnOwnerWithoutLanguageFileIsItsOwnLanguageModule) {
  // The test program has no extension: it is its own language module, and
  // English strings come from its 1033 resources.
  HWULANG h = Open(0, GetModuleHandleW(nullptr));
  WCHAR buffer[32];
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1031, 0));
  EXPECT_EQ(WuLang_InstFromLang(h), GetModuleHandleW(nullptr));
  WuLoadString(h, 1, buffer, 32);
  EXPECT_EQ(std::u16string(buffer), u"Haupt eins");
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1033, 0));
  WuLoadString(h, 1, buffer, 32);
  EXPECT_EQ(std::u16string(buffer), u"main one");
  WuLang_Close(h);

  // A dot in a folder name is not an extension: "<dir>/v1.2/app" does not
  // load "<dir>/v1.LNG".
  std::string folder = dir_ + "/v1.2";
  ASSERT_TRUE(platform::MakeDirs(folder));
  WriteFileBytes(dir_ + "/v1.LNG", ReadFileBytes(WU_TEST_LNG));
  WriteFileBytes(folder + "/app", "program");
  HMODULE plain = platform::CreateExportModule(u"PlainOwner", nullptr, 0, U16(folder + "/app").c_str());
  size_t before = platform::LoadedModuleCount();
  h = Open(0, plain);
  EXPECT_EQ(platform::LoadedModuleCount(), before);
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1031, 0));
  EXPECT_NE(platform::LookupModule(WuLang_InstFromLang(h))->file_name(), U16(dir_ + "/v1.LNG"));
  WuLang_Close(h);
  FreeLibrary(plain);
}

TEST_F(WuLangTest, ChangeLangInstDoesNotFreeWhatTheHandleDidNotLoad) {
  size_t before = platform::LoadedModuleCount();
  HWULANG h = Open(0x407);
  EXPECT_EQ(platform::LoadedModuleCount(), before + 1);  // app.LNG
  HMODULE other = LoadLibraryW(U16(std::string(WU_TEST_LNG)).c_str());
  ASSERT_NE(other, nullptr);
  ASSERT_TRUE(WuLang_ChangeLangInst(h, other));
  EXPECT_EQ(platform::LoadedModuleCount(), before + 1);  // app.LNG released
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 0x407, 0));
  EXPECT_EQ(WuLang_InstFromLang(h), other);
  EXPECT_EQ(WuLang_InstFromLang(kernel_), other);
  WuLang_Close(h);
  EXPECT_NE(platform::LookupModule(other), nullptr);  // still the caller's
  WuLang_ChangeLangInst(kernel_, GetModuleHandleW(nullptr));
  EXPECT_TRUE(FreeLibrary(other));
  EXPECT_EQ(platform::LoadedModuleCount(), before);
  EXPECT_FALSE(WuLang_ChangeLangInst(nullptr, other));
}

// ---- Text buffer ----------------------------------------------------------------------------------------

TEST_F(WuLangTest, TextBufferSizesAndSlices) {
  struct Case {
    int asked;
    int size;
  };
  for (const Case& c : {Case{100, 2048}, Case{0, 8192}, Case{5000, 5000}}) {
    HWULANG h = nullptr;
    ASSERT_EQ(WuLang_Open(&h, owner_, 0, c.asked), S_OK);
    EXPECT_EQ(h->textSize, c.size);
    // Slices of 10 are 12 apart until the offset passes size - reserve.
    WCHAR* first = WuGetTempStringBuffer(h, 10);
    EXPECT_EQ(WuGetTempStringBuffer(h, 10), first + 12);
    int slices = 2;
    WCHAR* slice = nullptr;
    while ((slice = WuGetTempStringBuffer(h, 10)) != first) ++slices;
    EXPECT_EQ(slices, (c.size - WULANG_RESERVE) / 12 + 1);
    WuLang_Close(h);
  }
}

TEST_F(WuLangTest, SlicesNeverRunPastTheBuffer) {
  HWULANG h = Open(0);
  WCHAR* base = WuGetTempStringBuffer(h, 0);
  EXPECT_EQ(base[0], 0);
  // 2,048 characters: move the offset to exactly size - reserve, where a
  // slice of the whole reserve and its terminator no longer fits.
  HWULANG small = nullptr;
  ASSERT_EQ(WuLang_Open(&small, owner_, 0, 100), S_OK);
  WCHAR* start = WuGetTempStringBuffer(small, 1022);  // offset 0 -> 1024
  WCHAR* full = WuGetTempStringBuffer(small, WULANG_RESERVE);
  EXPECT_EQ(full, start);  // wrapped instead of ending one past the buffer
  EXPECT_EQ(WuGetTempStringBuffer(small, 1), start);  // past the reserve mark: from the start
  EXPECT_EQ(WuGetTempStringBuffer(small, WULANG_RESERVE + 1), nullptr);
  EXPECT_EQ(WuGetTempStringBuffer(small, -1), nullptr);
  EXPECT_EQ(WuGetTempStringBuffer(nullptr, 1), nullptr);
  WuLang_Close(small);

  // Conversions through slices.
  EXPECT_STREQ(WuGetMultiByteFromPrintString(h, u"caf\u00E9"), "caf\xE9");
  EXPECT_EQ(std::u16string(WuGetPrintFromMultiByteString(h, "caf\xE9")), u"caf\u00E9");
  platform::SetAnsiCodePage(CP_UTF8);
  EXPECT_STREQ(WuGetMultiByteFromPrintString(h, u"caf\u00E9"), "caf\xC3\xA9");
  EXPECT_EQ(std::u16string(WuGetPrintFromMultiByteString(h, "caf\xC3\xA9")), u"caf\u00E9");
  std::u16string long_text(3000, u'a');
  EXPECT_EQ(strlen(WuGetMultiByteFromPrintString(h, long_text.c_str())), 2 * WULANG_RESERVE + 1u);
  EXPECT_STREQ(WuGetMultiByteFromPrintString(nullptr, u"x"), "");
  const WCHAR text[] = u"same";
  EXPECT_EQ(WuGetWideFromPrintString(h, text), text);
  EXPECT_EQ(WuGetPrintFromWideString(h, text), text);
  EXPECT_EQ(std::u16string(WuGetPrintFromWideString(nullptr, text)), u"");
  WuLang_Close(h);
}

// ---- Small queries -----------------------------------------------------------------------------------

TEST_F(WuLangTest, LanguageFacts) {
  HWULANG japanese = Open(1041);
  HWULANG german = Open(0x807);
  WCHAR buffer[16];
  EXPECT_EQ(WuLang_LocalizeUserName(japanese, u"Taro", u"Yamada", buffer, 16), 10);
  EXPECT_EQ(std::u16string(buffer), u"YamadaTaro");
  EXPECT_EQ(WuLang_LocalizeUserName(german, u"Anna", u"Schmidt", buffer, 8), 7);
  EXPECT_EQ(std::u16string(buffer), u"AnnaSch");
  EXPECT_TRUE(WuLang_IsNameOrderReversed(japanese));
  EXPECT_FALSE(WuLang_IsNameOrderReversed(german));

  EXPECT_TRUE(WuLang_GetLangAbbrev(german, buffer, 16));  // of the normalised LCID
  EXPECT_EQ(std::u16string(buffer), u"DEU");
  buffer[0] = u'x';
  EXPECT_FALSE(WuLang_GetLangAbbrev(nullptr, buffer, 16));
  EXPECT_EQ(buffer[0], u'x');

  EXPECT_TRUE(WuLang_IsLCIDEnglish(0x809));
  EXPECT_FALSE(WuLang_IsLCIDEnglish(0x407));
  EXPECT_EQ(WuLang_GetLCID(nullptr), 0u);
  EXPECT_EQ(WuGetUserDefaultUILanguage(), 0x409);

  // Right-to-left languages mirror the process layout.
  HWULANG arabic = Open(0x401);
  EXPECT_TRUE(WuLang_UseRTL(arabic));
  EXPECT_FALSE(WuLang_UseRTL(german));
  DWORD layout = 0;
  ASSERT_TRUE(WuLang_UpdateKernelLCID(arabic, 0x401, 0));
  GetProcessDefaultLayout(&layout);
  EXPECT_EQ(layout, LAYOUT_RTL);
  ASSERT_TRUE(WuLang_UpdateKernelLCID(german, 0x807, 0));
  GetProcessDefaultLayout(&layout);
  EXPECT_EQ(layout, 0u);
  WuLang_Close(arabic);
  WuLang_Close(german);
  WuLang_Close(japanese);
}

TEST_F(WuLangTest, VersionLanguagesOfTheLanguageModule) {
  HWULANG h = Open(0x407);
  WCHAR buffer[32];
  EXPECT_EQ(WuEnumResourceLanguages(h, 1, buffer, 32), 0);  // not enabled yet
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 0x407, 0));
  EXPECT_EQ(WuEnumResourceLanguages(h, 1, buffer, 32), 7);
  EXPECT_EQ(std::u16string(buffer), u"DEU,FRA");
  EXPECT_EQ(WuEnumResourceLanguages(h, 1, buffer, 7), 3);  // only whole names
  EXPECT_EQ(std::u16string(buffer), u"DEU");
  EXPECT_EQ(WuEnumResourceLanguages(h, 2, buffer, 32), 0);
  WuLang_Close(h);
}

TEST_F(WuLangTest, ThreadLocaleFollowsTheHandle) {
  HWULANG h = Open(0x407);
  EXPECT_EQ(WuLang_UpdateThreadLocale(h), 0x407);
  EXPECT_EQ(GetThreadUILanguage(), 0x407);
  EXPECT_EQ(GetThreadLocale(), 0x407u);
  EXPECT_EQ(platform::CommonControlsUILanguage(), 0x407);
  // A system without "SetThreadPreferredUILanguages" (before 6.0).
  platform::SystemModel xp;
  xp.major = 5;
  platform::SetSystemModel(xp);
  HWULANG french = Open(0x40C);
  EXPECT_EQ(WuLang_UpdateThreadLocale(french), 0);
  EXPECT_EQ(platform::CommonControlsUILanguage(), 0x40C);
  WuLang_Close(french);
  WuLang_Close(h);
}

// ---- Locale settings ---------------------------------------------------------------------------------

std::u16string Inat(int item) {
  WCHAR buffer[WUINAT_NAME_CHARS] = u"junk";
  int n = WuGetInat(item, buffer);
  EXPECT_EQ(n, static_cast<int>(std::u16string(buffer).size())) << item;
  return buffer;
}

std::u16string LocaleText(LCTYPE type) {
  WCHAR buffer[128];
  GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
  return buffer;
}

TEST_F(WuLangTest, InternationalsReadTheUserLocale) {
  ASSERT_EQ(WuLang_GetInternationals(nullptr, 0), S_OK);
  EXPECT_EQ(WuGetInat(WUINAT_SYSTEM_LCID, nullptr), static_cast<int>(GetSystemDefaultLCID()));
  EXPECT_EQ(WuGetInat(WUINAT_LANGUAGE, nullptr), 409);  // "0409" read as a decimal number
  EXPECT_EQ(WuGetInat(WUINAT_COUNTRY, nullptr), 1);
  struct Case {
    int item;
    std::u16string text;
  };
  const Case cases[] = {
      {WUINAT_LANGUAGE_NAME, LocaleText(LOCALE_SLANGUAGE)},
      {WUINAT_ENGLISH_LANGUAGE_NAME, u"English"},
      {WUINAT_DECIMAL_SEP, u"."},
      {WUINAT_LIST_SEP, LocaleText(LOCALE_SLIST)},
      {WUINAT_TIME_SEP, LocaleText(LOCALE_STIME)},
      {WUINAT_SMPTE_WHOLE_SEP, u":"},
      {WUINAT_SMPTE_NONDROP_SEP, u"."},
      {WUINAT_SMPTE_DROP_SEP, u","},
      {WUINAT_MEASURE_BEAT_SEP, u"."},
      {WUINAT_BEAT_TICK_SEP, u"."},
      {5, u""},  // not an item: 0, buffer cleared
  };
  for (const Case& c : cases) EXPECT_EQ(Inat(c.item), c.text) << c.item;
  WCHAR buffer[4] = u"xyz";
  EXPECT_EQ(WuGetInat(WUINAT_COUNTRY, buffer), 1);  // values write nothing but the cleared start
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], u'y');

  WUINTERNATIONALS copy;
  ASSERT_EQ(WuLang_GetInternationals(&copy, sizeof copy), S_OK);
  EXPECT_EQ(copy.size, WUINTERNATIONALS_SIZE);
  EXPECT_EQ(std::u16string(copy.minusSign), u"-");
  EXPECT_EQ(copy.grouping, 3u);
  EXPECT_EQ(copy.thousandSepLen, 1u);
  // A short copy says how much it holds; a copy too short for the count
  // itself writes only what it was given.
  BYTE part[12];
  std::memset(part, 0xAA, sizeof part);
  WuLang_GetInternationals(part, 8);
  DWORD stored;
  std::memcpy(&stored, part, 4);
  EXPECT_EQ(stored, 8u);
  EXPECT_EQ(part[8], 0xAA);
  std::memset(part, 0xAA, sizeof part);
  WuLang_GetInternationals(part, 2);
  EXPECT_EQ(part[2], 0xAA);

  EXPECT_EQ(WuSetLangID(u"DEUTSCH"), 3);
  WuLang_GetInternationals(&copy, sizeof copy);
  EXPECT_EQ(std::u16string(copy.langId), u"DEU");
  EXPECT_EQ(WuSetLangID(nullptr), 3);
  WuLang_GetInternationals(&copy, sizeof copy);
  EXPECT_EQ(std::u16string(copy.langId), u"ENU");
}

TEST_F(WuLangTest, EqualSeparatorsAreMadeDistinct) {
  struct Case {
    const char16_t* thousand;
    const char16_t* decimal;
    std::u16string expected;  // the decimal separator read
  };
  const Case cases[] = {
      {u",", u",", u"."},
      {u".", u".", u","},
      {u"", u",", u","},       // no thousands separator equals nothing
      {u" ", u" ", u"."},
      {u",", u".", u"."},
  };
  for (const Case& c : cases) {
    platform::SetLocaleOverride(0x409, LOCALE_STHOUSAND, c.thousand);
    platform::SetLocaleOverride(0x409, LOCALE_SDECIMAL, c.decimal);
    WuLang_GetInternationals(nullptr, 0);
    EXPECT_EQ(Inat(WUINAT_DECIMAL_SEP), c.expected) << U8(c.thousand) << U8(c.decimal);
  }
}

TEST_F(WuLangTest, LocaleSettingsRegisterTheLabelTokens) {
  ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
  WuLang_GetInternationals(nullptr, 0);
  WCHAR out[WUPRINTF_MAX];
  WuPrintF(out, u"$(MusicTime.Label.Full) $(m.b) $(SMPTE.Label.NonDrop)");
  EXPECT_EQ(std::u16string(out), u"measures.beats.ticks . hr:mn:sc.fr");
  WuPrintF_DestroyTokens();
}

// ---- The user's language in the registry -------------------------------------------------------------

TEST_F(WuLangTest, UserLanguageRoundTripsThroughTheRegistry) {
  const DWORD version = 0x02050000;  // 2.5
  LCID lcid = 0;
  EXPECT_FALSE(WuLang_LoadUserLCIDMetric(u"Prod", version, &lcid, FALSE));
  ASSERT_TRUE(WuLang_SaveUserLCIDMetric(u"Prod", version, 0x10407, FALSE));
  ASSERT_TRUE(WuLang_SaveUserLCIDMetric(u"Prod", version, 0x40C, TRUE));
  ASSERT_TRUE(WuLang_SaveUserLCIDMetricAppReg(u"Prod", 0x00FF0000, 0x411, u"Acme"));

  struct Case {
    const char16_t* key;
    DWORD value;
  };
  const Case cases[] = {
      {u"Software\\Talvene\\Prod\\2.5\\Lang", 0x407},  // the low 16 bits
      {u"Software\\Talvene\\Prod\\Lang", 0x40C},
      {u"Software\\Acme\\Prod\\Lang", 0x411},          // top byte 0: no version
  };
  for (const Case& c : cases) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, c.key, 0, KEY_READ, &key), ERROR_SUCCESS) << U8(c.key);
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"ULangID", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, c.value);
    RegCloseKey(key);
  }
  ASSERT_TRUE(WuLang_LoadUserLCIDMetric(u"Prod", version, &lcid, FALSE));
  EXPECT_EQ(lcid, 0x407u);
  ASSERT_TRUE(WuLang_LoadUserLCIDMetric(u"Prod", version, &lcid, TRUE));
  EXPECT_EQ(lcid, 0x40Cu);
  ASSERT_TRUE(WuLang_LoadUserLCIDMetricAppReg(u"Prod", 0x00FF0000, &lcid, u"Acme"));
  EXPECT_EQ(lcid, 0x411u);
  EXPECT_FALSE(WuLang_LoadUserLCIDMetricAppReg(u"Prod", version, &lcid, u"Acme"));

  // A value longer than 4 bytes is not read.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Talvene\\Long\\Lang", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const BYTE eight[8] = {7, 4, 0, 0, 0, 0, 0, 0};
  RegSetValueExW(key, u"ULangID", 0, REG_BINARY, eight, 8);
  RegCloseKey(key);
  EXPECT_FALSE(WuLang_LoadUserLCIDMetric(u"Long", 0, &lcid, TRUE));
}

// ---- Multi-byte text and code pages -----------------------------------------------------------------

TEST_F(WuLangTest, MultiByteCharactersNeedAMultiByteCodePage) {
  EXPECT_FALSE(WuLang_DetectMultiByteCharacters("caf\xC3\xA9", 5));  // 1252: single bytes
  platform::SetAnsiCodePage(CP_UTF8);
  EXPECT_TRUE(WuLang_DetectMultiByteCharacters("caf\xC3\xA9", 5));
  EXPECT_FALSE(WuLang_DetectMultiByteCharacters("caf\xC3\xA9", 4));  // the trail byte is outside
  EXPECT_FALSE(WuLang_DetectMultiByteCharacters("plain", 5));
  EXPECT_FALSE(WuLang_DetectMultiByteCharacters("\xC3", 1));
  EXPECT_FALSE(WuLang_DetectMultiByteCharacters(nullptr, 5));
}

TEST_F(WuLangTest, DetectPossibleCodepage) {
  struct Case {
    const char* text;
    int count;
    HRESULT result;
    UINT code_page;
  };
  const char utf8[] = "Gr\xC3\xBC\xC3\x9F\x65 aus K\xC3\xB6ln";
  const Case cases[] = {
      {utf8, static_cast<int>(sizeof utf8 - 1), S_OK, CP_UTF8},
      {"plain text", 10, S_OK, 20127},
      {"caf\xE9", 4, S_FALSE, 0},        // only the low-confidence fall-back
      {"\xC3\xBC", 2, S_OK, CP_UTF8},    // one character is enough
      {"", 0, S_FALSE, 0},               // nothing to repeat
      {nullptr, 0, S_FALSE, 0},
      {nullptr, 4, E_POINTER, 0},
  };
  for (const Case& c : cases) {
    UINT code_page = 1234;
    EXPECT_EQ(WuLang_DetectPossibleCodepage(c.text, c.count, &code_page), c.result) << c.count;
    EXPECT_EQ(code_page, c.code_page) << c.count;
  }
  EXPECT_EQ(WuLang_DetectPossibleCodepage("x", 1, nullptr), E_POINTER);
}

// A text near INT_MAX bytes long: its first byte fits no multi-byte code
// page, so the detector stops there and the call goes on to the repeated
// sample, which must take one copy and not count past the sample's end.
// The pages are reserved and only the first is ever touched.
TEST(CodePageDetection, CountsNearIntMaxTakeOneCopyIntoTheSample) {
  const SIZE_T bytes = static_cast<SIZE_T>(INT_MAX);
  auto* text = static_cast<char*>(platform::MapPages(bytes, PAGE_READWRITE));
  ASSERT_NE(text, nullptr);
  text[0] = '\x80';
  for (int count : {INT_MAX - 255, INT_MAX}) {
    UINT code_page = 1234;
    EXPECT_EQ(WuLang_DetectPossibleCodepage(text, count, &code_page), S_FALSE) << count;
    EXPECT_EQ(code_page, 0u) << count;
  }
  platform::UnmapPages(text, bytes);
}

TEST(CodePageDetection, DoubleByteTextsRankTheirCodePageFirst) {
  struct Case {
    UINT code_page;
    const char* text;
  };
  // The same kind of sentence in each code page.
  const Case cases[] = {
      {932, "\x82\xB1\x82\xEA\x82\xCD\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67"
            "\x82\xC5\x82\xB7\x81\x42\x8E\x84\x82\xBD\x82\xBF\x82\xCD\x82\xB1\x82\xB1\x82\xC5\x8C\x9F"
            "\x8F\x6F\x82\xF0\x83\x65\x83\x58\x83\x67\x82\xB5\x82\xC4\x82\xA2\x82\xDC\x82\xB7\x81\x42"},
      {936, "\xD5\xE2\xCA\xC7\xD2\xBB\xB8\xF6\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE\xB5\xC4\xC0\xFD\xD7\xD3"
            "\xA1\xA3\xCE\xD2\xC3\xC7\xD4\xDA\xD5\xE2\xC0\xEF\xB2\xE2\xCA\xD4\xB4\xFA\xC2\xEB\xD2\xB3"
            "\xB5\xC4\xBC\xEC\xB2\xE2\xA1\xA3"},
      {950, "\xB3\x6F\xAC\x4F\xA4\x40\xAD\xD3\xA4\xA4\xA4\xE5\xA4\xE5\xA5\xBB\xAA\xBA\xA8\xD2\xA4\x6C"
            "\xA1\x43\xA7\xDA\xAD\xCC\xA6\x62\xB3\x6F\xB8\xCC\xB4\xFA\xB8\xD5\xA5\x4E\xBD\x58\xAD\xB6"
            "\xAA\xBA\xC0\xCB\xB4\xFA\xA1\x43"},
      {949, "\xC0\xCC\xB0\xCD\xC0\xBA\x20\xC7\xD1\xB1\xB9\xBE\xEE\x20\xC5\xD8\xBD\xBA\xC6\xAE\xC0\xD4"
            "\xB4\xCF\xB4\xD9\x2E\x20\xBF\xEC\xB8\xAE\xB4\xC2\x20\xBF\xA9\xB1\xE2\xBC\xAD\x20\xC4\xDA"
            "\xB5\xE5\x20\xC6\xE4\xC0\xCC\xC1\xF6\x20\xB0\xA8\xC1\xF6\xB8\xA6\x20\xC5\xD7\xBD\xBA\xC6"
            "\xAE\xC7\xD5\xB4\xCF\xB4\xD9\x2E"},
  };
  for (const Case& c : cases) {
    DetectEncodingInfo info[10];
    int n = 10;
    ASSERT_EQ(platform::DetectInputCodepage(c.text, static_cast<int>(strlen(c.text)), MLDETECTCP_8BIT,
                                            info, &n),
              S_OK);
    ASSERT_GE(n, 2);
    EXPECT_EQ(info[0].nCodePage, c.code_page);
    EXPECT_EQ(info[n - 1].nCodePage, 1252u);  // the fall-back comes last
    for (int i = 1; i < n; ++i) EXPECT_GE(info[i - 1].nConfidence, info[i].nConfidence);
    UINT code_page = 0;
    EXPECT_EQ(WuLang_DetectPossibleCodepage(c.text, static_cast<int>(strlen(c.text)), &code_page), S_OK);
    EXPECT_EQ(code_page, c.code_page);
  }
  int n = 0;
  EXPECT_EQ(platform::DetectInputCodepage("abc", 3, MLDETECTCP_8BIT, nullptr, &n), S_OK);
  EXPECT_EQ(n, 0);
  n = 1;
  EXPECT_EQ(platform::DetectInputCodepage("abc", -1, MLDETECTCP_8BIT, nullptr, &n), E_INVALIDARG);
}

// ---- Dialogs through the handle -------------------------------------------------------------

// A dialog template without controls whose title tells where it came from.
std::vector<WORD> TitledTemplate(const std::u16string& title) {
  std::vector<WORD> t;
  DWORD style = WS_POPUP | WS_CAPTION;
  t.push_back(static_cast<WORD>(style & 0xFFFF));
  t.push_back(static_cast<WORD>(style >> 16));
  t.push_back(0);  // extended style
  t.push_back(0);
  t.push_back(0);  // no items
  for (int i = 0; i < 4; ++i) t.push_back(i < 2 ? 0 : 100);  // x, y, cx, cy
  t.push_back(0);  // no menu
  t.push_back(0);  // the dialog class
  for (char16_t c : title) t.push_back(c);
  t.push_back(0);
  return t;
}

INT_PTR QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class WuLangDialogTest : public WuLangTest {
 protected:
  void SetUp() override {
    WuLangTest::SetUp();
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuLangTest::TearDown();
  }
  void AddDialog(HMODULE module, UINT id, LANGID language, const std::u16string& title) {
    templates_.push_back(TitledTemplate(title));
    const std::vector<WORD>& t = templates_.back();
    platform::ResourceItem item{RT_DIALOG, MAKEINTRESOURCEW(id), language, t.data(),
                                static_cast<DWORD>(t.size() * sizeof(WORD))};
    ASSERT_TRUE(platform::AddModuleResources(module, &item, 1));
  }
  // Runs dialog `id` modally, ends it with 7 and returns the title shown.
  std::u16string RunModal(HWULANG h, UINT id, INT_PTR* result) {
    size_t before = script_.shown().size();
    script_.Run([](HWND dialog) { EndDialog(dialog, 7); });
    *result = WuDialogBoxParam(h, id, nullptr, QuietDialog, 0);
    std::vector<platform::ScriptedFrontEnd::Shown> shown = script_.shown();
    EXPECT_TRUE(script_.Done());
    return shown.size() > before ? shown.back().title : u"(none)";
  }

  platform::ScriptedFrontEnd script_;
  std::vector<std::vector<WORD>> templates_;
};

TEST_F(WuLangDialogTest, ModalTemplateFollowsTheLanguageModule) {
  HWULANG h = Open(0);
  ASSERT_NE(h->langModule, h->owner);  // app.LNG was loaded
  AddDialog(owner_, 300, 0x409, u"English");
  AddDialog(h->langModule, 300, 0x407, u"Deutsch");
  struct Case {
    LCID lcid;           // 0: not enabled yet
    const char16_t* title;
  };
  const Case cases[] = {
      {0, u"English"},     // the language module is not used before a language is chosen
      {1031, u"Deutsch"},  // enabled: its German template
      {1036, u"English"},  // enabled, no French template: the owner's lookup
      {1033, u"English"},  // English never comes from the language module
  };
  for (const Case& c : cases) {
    if (c.lcid) {
      ASSERT_TRUE(WuLang_UpdateKernelLCID(h, c.lcid, 0));
    }
    INT_PTR result = 0;
    EXPECT_EQ(RunModal(h, 300, &result), c.title) << c.lcid;
    EXPECT_EQ(result, 7) << c.lcid;
  }
  size_t shown = script_.shown().size();
  EXPECT_EQ(WuDialogBoxParam(h, 301, nullptr, QuietDialog, 0), -1);  // no such dialog anywhere
  EXPECT_EQ(script_.shown().size(), shown);
  EXPECT_EQ(WuDialogBoxParam(nullptr, 300, nullptr, QuietDialog, 0), -1);
  WuLang_Close(h);
}

TEST_F(WuLangDialogTest, OwnerAsLanguageModuleFallsBackToEnglish) {
  // No .LNG beside this owner: it is its own language module.
  std::string dir = wutest::MakeTempDir("lang-own");
  WriteFileBytes(dir + "/solo.exe", "program");
  HMODULE solo = platform::CreateExportModule(u"LangSolo", nullptr, 0, U16(dir + "/solo.exe").c_str());
  ASSERT_NE(solo, nullptr);
  HWULANG h = Open(0, solo);
  ASSERT_EQ(h->langModule, solo);
  AddDialog(solo, 310, 0x409, u"English");
  AddDialog(solo, 310, 0x407, u"Deutsch");
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1049, 0));  // Russian: not there
  INT_PTR result = 0;
  EXPECT_EQ(RunModal(h, 310, &result), u"English");
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1031, 0));
  EXPECT_EQ(RunModal(h, 310, &result), u"Deutsch");
  WuLang_Close(h);
  FreeLibrary(solo);
}

TEST_F(WuLangDialogTest, ModelessAndIndirectForms) {
  HWULANG h = Open(0);
  AddDialog(owner_, 320, 0x409, u"English");
  AddDialog(h->langModule, 320, 0x407, u"Deutsch");
  ASSERT_TRUE(WuLang_UpdateKernelLCID(h, 1031, 0));
  HWND modeless = WuCreateDialogParam(h, 320, nullptr, QuietDialog, 0);
  ASSERT_TRUE(modeless);
  EXPECT_EQ(platform::WindowText(modeless), u"Deutsch");
  DestroyWindow(modeless);
  EXPECT_EQ(WuCreateDialogParam(h, 321, nullptr, QuietDialog, 0), nullptr);

  std::vector<WORD> t = TitledTemplate(u"In memory");
  const DLGTEMPLATE* in_memory = reinterpret_cast<const DLGTEMPLATE*>(t.data());
  HWND indirect = WuCreateDialogIndirectParam(h, in_memory, nullptr, QuietDialog, 0);
  ASSERT_TRUE(indirect);
  EXPECT_EQ(platform::WindowText(indirect), u"In memory");
  DestroyWindow(indirect);
  script_.Run([](HWND dialog) { EndDialog(dialog, 9); });
  EXPECT_EQ(WuDialogBoxIndirectParam(h, in_memory, nullptr, QuietDialog, 0), 9);
  EXPECT_EQ(script_.shown().back().title, u"In memory");
  EXPECT_EQ(WuCreateDialogIndirectParam(h, nullptr, nullptr, QuietDialog, 0), nullptr);
  WuLang_Close(h);
}

}  // namespace
