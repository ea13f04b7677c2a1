// Resources and menus through a language handle.
#include "foundation/WuResMenu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "tests/common/TestUtil.h"

namespace {

// Builds a menu template: Item/Popup/End in order.
struct MenuBytes {
  std::vector<BYTE> bytes{0, 0, 0, 0};
  void Word(WORD w) {
    bytes.push_back(static_cast<BYTE>(w));
    bytes.push_back(static_cast<BYTE>(w >> 8));
  }
  void Text(const char16_t* t) {
    for (; *t; ++t) Word(*t);
    Word(0);
  }
  MenuBytes& Item(WORD id, const char16_t* text, bool last = false) {
    Word(last ? MF_END : 0);
    Word(id);
    Text(text);
    return *this;
  }
  MenuBytes& Popup(const char16_t* text, bool last = false) {
    Word(MF_POPUP | (last ? MF_END : 0));
    Text(text);
    return *this;
  }
};

std::u16string TextAt(HMENU menu, int position) {
  WCHAR text[128];
  int n = GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
  return std::u16string(text, n);
}

// A menu from a compact description: 'c' command (ids from 1), '-'
// separator, 'e' empty sub-menu, '[' .. ']' a sub-menu.
HMENU Build(const char*& p) {
  HMENU menu = CreatePopupMenu();
  static UINT next = 1;
  for (; *p && *p != ']'; ++p) {
    if (*p == 'c') AppendMenuW(menu, MF_STRING, next++, u"x");
    if (*p == '-') AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    if (*p == 'e') AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(CreatePopupMenu()), u"e");
    if (*p == '[') {
      ++p;
      HMENU sub = Build(p);
      AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"s");
    }
  }
  return menu;
}
std::string Describe(HMENU menu) {
  std::string s;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    if (HMENU sub = GetSubMenu(menu, i)) s += "[" + Describe(sub) + "]";
    else s += (GetMenuState(menu, i, MF_BYPOSITION) & MF_SEPARATOR) ? '-' : 'c';
  }
  return s;
}

class WuResMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    owner_ = platform::CreateExportModule(u"ResOwner", nullptr, 0, nullptr);
    langmod_ = platform::CreateExportModule(u"ResLang", nullptr, 0, nullptr);
    ASSERT_TRUE(owner_ && langmod_);
    ASSERT_EQ(WuLang_Open(&lang_, owner_, 0x407, 0), S_OK);
  }
  void TearDown() override {
    lang_->langModule = owner_;  // the handle must not free the test's module
    lang_->ownsLangModule = FALSE;
    WuLang_Close(lang_);
    FreeLibrary(langmod_);
    FreeLibrary(owner_);
    platform::SetUserLocale(0, 0);
  }
  void Add(HMODULE module, WORD lang, const char* data, WORD id = 7,
           LPCWSTR type = RT_RCDATA) {
    platform::ResourceItem item{type, MAKEINTRESOURCEW(id), lang, data,
                                static_cast<DWORD>(std::strlen(data))};
    ASSERT_TRUE(platform::AddModuleResources(module, &item, 1));
  }
  void UseLangModule(HMODULE module) {
    lang_->langModule = module;
    lang_->langModuleEnabled = TRUE;
  }
  std::string Custom(WORD id = 7) {
    DWORD size = 0;
    HGLOBAL data = WuLoadResourceCustom(lang_, MAKEINTRESOURCEW(id), RT_RCDATA, &size);
    return data ? std::string(static_cast<const char*>(LockResource(data)), size) : "<none>";
  }
  HMODULE owner_ = nullptr, langmod_ = nullptr;
  HWULANG lang_ = nullptr;
};

TEST_F(WuResMenuTest, CustomResourceFollowsTheLanguageOrder) {
  Add(owner_, 0x409, "owner");
  EXPECT_EQ(Custom(), "owner");  // no language module enabled yet
  Add(langmod_, 0x409, "lang-en");
  UseLangModule(langmod_);
  // A separate language module without the handle's language: the owner's
  // plain loader, not the language module's English copy.
  EXPECT_EQ(Custom(), "owner");
  EXPECT_EQ(WuFindResInstance(lang_, MAKEINTRESOURCEW(7), RT_RCDATA), owner_);
  Add(langmod_, 0x407, "lang-de");
  EXPECT_EQ(Custom(), "lang-de");
  EXPECT_EQ(WuFindResInstance(lang_, MAKEINTRESOURCEW(7), RT_RCDATA), langmod_);
  HRSRC found = WuFindResource(lang_, MAKEINTRESOURCEW(7), RT_RCDATA);
  EXPECT_EQ(WuSizeofResource(lang_, found), 7u);
  EXPECT_EQ(std::string(static_cast<const char*>(LockResource(WuLoadResource(lang_, found))), 7),
            "lang-de");
  EXPECT_EQ(Custom(8), "<none>");
  DWORD size = 99;
  EXPECT_EQ(WuLoadResourceCustom(nullptr, MAKEINTRESOURCEW(7), RT_RCDATA, &size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(WuResMenuTest, OwnerAsLanguageModuleFallsBackToEnglish) {
  Add(owner_, 0x409, "en");
  Add(owner_, 0x411, "ja");  // would win a plain lookup in no language order
  UseLangModule(owner_);
  EXPECT_EQ(Custom(), "en");
  Add(owner_, 0x407, "de");
  EXPECT_EQ(Custom(), "de");
}

TEST_F(WuResMenuTest, FindResourceMultiPrefersLocalisedOverTypeOrder) {
  Add(owner_, 0x409, "o", 7, RT_RCDATA);
  Add(langmod_, 0x407, "l", 7, RT_HTML);
  UseLangModule(langmod_);
  const LPCWSTR types[] = {RT_RCDATA, RT_HTML};
  int index = -5;
  HRSRC found = WuFindResourceMulti(lang_, MAKEINTRESOURCEW(7), types, 2, &index);
  EXPECT_NE(found, nullptr);
  EXPECT_EQ(index, 1);
  const LPCWSTR none[] = {RT_BITMAP};
  EXPECT_EQ(WuFindResourceMulti(lang_, MAKEINTRESOURCEW(7), none, 1, &index), nullptr);
  EXPECT_EQ(index, -1);
}

TEST_F(WuResMenuTest, LoadMenuStripsMarkersBelowTheBarOnly) {
  MenuBytes t;
  t.Popup(u"^*File").Item(1, u"^*Open").Popup(u"^*More").Item(2, u"^*Deep", true)
      .Item(0, u"").Item(3, u"Plain", true);
  t.Popup(u"Edit", true).Item(4, u"^*", true);
  platform::ResourceItem item{RT_MENU, MAKEINTRESOURCEW(5), 0x407, t.bytes.data(),
                              static_cast<DWORD>(t.bytes.size())};
  ASSERT_TRUE(platform::AddModuleResources(langmod_, &item, 1));
  EXPECT_EQ(WuLoadMenu(lang_, MAKEINTRESOURCEW(5)), nullptr);  // language module not enabled
  UseLangModule(langmod_);
  HMENU bar = WuLoadMenu(lang_, MAKEINTRESOURCEW(5));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(Describe(bar), "[c[c]-c][c]");
  EXPECT_EQ(TextAt(bar, 0), u"^*File");
  HMENU file = GetSubMenu(bar, 0);
  EXPECT_EQ(TextAt(file, 0), u"Open");
  EXPECT_EQ(TextAt(file, 1), u"More");
  EXPECT_EQ(TextAt(GetSubMenu(file, 1), 0), u"Deep");
  EXPECT_EQ(TextAt(GetSubMenu(bar, 1), 0), u"");

  int position = 0;
  EXPECT_EQ(WuGetSubmenuByID(bar, 2, &position), GetSubMenu(file, 1));
  EXPECT_EQ(position, 0);
  EXPECT_EQ(WuGetSubmenuByID(bar, 99, &position), nullptr);
  EXPECT_EQ(position, -1);
  DestroyMenu(bar);

  // A truncated template is refused, not read past its end.
  EXPECT_EQ(LoadMenuIndirectW(t.bytes.data(), static_cast<DWORD>(t.bytes.size() - 3)), nullptr);
}

TEST(WuMenuTidy, CleanMenuSeparatorRules) {
  struct Case {
    const char* before;
    const char* after;  // "" when the menu itself goes
  } cases[] = {
      {"--e", ""},
      {"-c-c-", "c-c"},
      {"c--c", "c-c"},
      {"c-e", "c"},
      {"c-[-e-]", "c"},
      {"c[c-e]-c", "c[c]-c"},
      {"", ""},
  };
  for (const Case& c : cases) {
    const char* p = c.before;
    HMENU parent = CreateMenu();
    HMENU menu = Build(p);
    AppendMenuW(parent, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), u"m");
    BOOL gone = WuCleanMenu(menu, parent, 0);
    EXPECT_EQ(gone, *c.after ? FALSE : TRUE) << c.before;
    EXPECT_EQ(gone ? std::string() : Describe(menu), c.after) << c.before;
    EXPECT_EQ(GetMenuItemCount(parent), gone ? 0 : 1) << c.before;
    DestroyMenu(parent);
  }
}

TEST(WuMenuTidy, CullAndGrayStopAtZeroId) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 101, u"a");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, 102, u"b");
  const UINT ids[] = {101, 0, 102};
  WuGrayMenu(menu, ids, 3);
  EXPECT_TRUE(GetMenuState(menu, 101, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(menu, 102, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(WuCullMenu(menu, ids, -1, TRUE));
  EXPECT_EQ(Describe(menu), "c");  // 101 gone, the leading separator cleaned
  EXPECT_EQ(GetMenuItemID(menu, 0), 102u);
  EXPECT_EQ(WuGrayAllMenuItems(menu), 0u);  // previous state of the last item
  EXPECT_EQ(WuEnableAllMenuItems(menu), static_cast<UINT>(MF_GRAYED));
  DestroyMenu(menu);
  HMENU empty = CreatePopupMenu();
  EXPECT_EQ(WuGrayAllMenuItems(empty), 0u);
  DestroyMenu(empty);
}

TEST(WuMenuTidy, ReplaceTokensExpandsReferencesOnlyAndKeepsSubMenus) {
  ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
  ASSERT_TRUE(WuPrintF_AddToken(u"AppName", u"Tool"));
  HMENU bar = CreateMenu();
  HMENU sub = CreatePopupMenu();
  AppendMenuW(sub, MF_STRING | MF_GRAYED, 7, u"About $(AppName) %s 50% $d");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"$(AppName)");
  EXPECT_TRUE(WuMenuReplaceTokens(bar));
  EXPECT_EQ(TextAt(bar, 0), u"Tool");
  EXPECT_EQ(GetSubMenu(bar, 0), sub);
  EXPECT_EQ(TextAt(sub, 0), u"About Tool %s 50% $d");
  EXPECT_EQ(GetMenuItemID(sub, 0), 7u);
  EXPECT_TRUE(GetMenuState(sub, 0, MF_BYPOSITION) & MF_GRAYED);
  DestroyMenu(bar);
  WuPrintF_DestroyTokens();
}

TEST_F(WuResMenuTest, CursorWithoutHandleSplitsSystemAndApplication) {
  EXPECT_EQ(WuLoadCursor(nullptr, MAKEINTRESOURCEW(0x7F00)), LoadCursorW(nullptr, IDC_ARROW));
  SetLastError(0);
  // Id 100 is not a system cursor: it is looked up in the application.
  EXPECT_EQ(WuLoadCursor(nullptr, MAKEINTRESOURCEW(100)), nullptr);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(WuLoadCursor(lang_, IDC_ARROW), nullptr);  // the owner has no cursors
}

// Bytes of a one-entry accelerator resource (Ctrl+key -> cmd); `cut`
// drops that many bytes from the end.
std::vector<BYTE> AccelBytes(WORD cmd, size_t cut = 0) {
  const WORD words[] = {FVIRTKEY | FCONTROL | 0x80, 'K', cmd, 0};
  std::vector<BYTE> bytes(reinterpret_cast<const BYTE*>(words),
                          reinterpret_cast<const BYTE*>(words) + sizeof(words));
  bytes.resize(bytes.size() - cut);
  return bytes;
}

// A packed 24-bit DIB `width` x 1, black.
std::vector<BYTE> BlackDib(int width) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof(h);
  h.biWidth = width;
  h.biHeight = 1;
  h.biPlanes = 1;
  h.biBitCount = 24;
  std::vector<BYTE> bytes(sizeof(h) + ((static_cast<size_t>(width) * 3 + 3) & ~size_t{3}), 0);
  std::memcpy(bytes.data(), &h, sizeof(h));
  return bytes;
}

TEST_F(WuResMenuTest, AcceleratorsPreferAUsableLocalisedTable) {
  auto add = [](HMODULE module, WORD lang, const std::vector<BYTE>& bytes) {
    platform::ResourceItem item{RT_ACCELERATOR, MAKEINTRESOURCEW(40), lang, bytes.data(),
                                static_cast<DWORD>(bytes.size())};
    ASSERT_TRUE(platform::AddModuleResources(module, &item, 1));
  };
  auto command = [&](HWULANG lang) -> int {
    HACCEL table = WuLoadAccelerators(lang, MAKEINTRESOURCEW(40));
    if (!table) return 0;
    ACCEL entry{};
    CopyAcceleratorTableW(table, &entry, 1);
    DestroyAcceleratorTable(table);
    return entry.cmd;
  };
  size_t live = platform::LiveAcceleratorTableCount();
  EXPECT_EQ(command(lang_), 0);
  add(owner_, 0x409, AccelBytes(1));
  UseLangModule(langmod_);
  EXPECT_EQ(command(lang_), 1);  // no localised copy
  add(langmod_, 0x407, AccelBytes(2, 2));
  EXPECT_EQ(command(lang_), 1);  // a damaged localised copy makes no table
  add(langmod_, 0x407, AccelBytes(2));
  EXPECT_EQ(command(lang_), 2);
  lang_->langModuleEnabled = FALSE;
  EXPECT_EQ(command(lang_), 1);
  EXPECT_EQ(command(nullptr), 0);
  EXPECT_EQ(platform::LiveAcceleratorTableCount(), live);
}

TEST_F(WuResMenuTest, ImageListsComeFromTheOwner) {
  std::vector<BYTE> owner_strip = BlackDib(4), lang_strip = BlackDib(6);
  platform::ResourceItem items[] = {
      {RT_BITMAP, MAKEINTRESOURCEW(41), 0x409, owner_strip.data(),
       static_cast<DWORD>(owner_strip.size())},
      {RT_BITMAP, MAKEINTRESOURCEW(41), 0x407, lang_strip.data(),
       static_cast<DWORD>(lang_strip.size())},
  };
  ASSERT_TRUE(platform::AddModuleResources(owner_, &items[0], 1));
  ASSERT_TRUE(platform::AddModuleResources(langmod_, &items[1], 1));
  UseLangModule(langmod_);
  HIMAGELIST list = WuImageList_LoadImage(lang_, MAKEINTRESOURCEW(41), 2, 1, CLR_NONE,
                                          IMAGE_BITMAP, LR_CREATEDIBSECTION);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  ImageList_Destroy(list);
  EXPECT_EQ(WuImageList_LoadImage(nullptr, MAKEINTRESOURCEW(41), 2, 1, CLR_NONE, IMAGE_BITMAP, 0),
            nullptr);
}

TEST(WuDialogMeasure, TemplateSizeScalesByFontUnits) {
  SIZE units{};
  ASSERT_TRUE(WuGetDialogUnitsForFont(u"MS Shell Dlg", 8, 400, 1, FALSE, &units));
  SIZE big{};
  ASSERT_TRUE(WuGetDialogUnitsForFont(u"MS Shell Dlg", 16, 400, 1, FALSE, &big));
  EXPECT_GT(big.cx, units.cx);
  EXPECT_GT(big.cy, units.cy);
  // Extended template, DS_SETFONT, no menu, class 0xFFFF ordinal, title "T".
  std::vector<WORD> t = {1, 0xFFFF, 0, 0, 0, 0, static_cast<WORD>(DS_SETFONT), 0, 0, 0, 0, 200, 100,
                         0, 0xFFFF, 0x20, u'T', 0, 8, 400, 0x0100};
  for (const char16_t* f = u"MS Shell Dlg"; *f; ++f) t.push_back(*f);
  t.push_back(0);
  SIZE size{};
  ASSERT_TRUE(WuGetDialogSizeIndirect(nullptr, t.data(), &size));
  EXPECT_EQ(size.cx, MulDiv(200, units.cx, 4));
  EXPECT_EQ(size.cy, MulDiv(100, units.cy, 8));
}

// A dialog resource of the language module is measured only when it lies
// whole within its size: one cut short (a language file whose sizes lie) or
// an extended header of another version gives FALSE and reads nothing past
// its end.
TEST_F(WuResMenuTest, DialogSizeRefusesTemplatesCutShort) {
  ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));  // English UI: measured from the template
  // Extended template, DS_SETFONT, no controls, 200 x 100 units, class
  // ordinal 0x20, title "T", 8 points, weight 400, charset 1, "MS Shell Dlg".
  std::vector<WORD> whole = {1, 0xFFFF, 0, 0, 0, 0, static_cast<WORD>(DS_SETFONT), 0, 0, 0, 0, 200,
                             100, 0, 0xFFFF, 0x20, u'T', 0, 8, 400, 0x0100};
  for (const char16_t* f = u"MS Shell Dlg"; *f; ++f) whole.push_back(*f);
  whole.push_back(0);
  std::vector<WORD> version2 = whole;
  version2[0] = 2;
  // Plain template: style, exStyle, count 0, 40 x 30 units, no menu, class, title.
  const std::vector<WORD> plain = {0, 0, 0, 0, 0, 0, 0, 40, 30, 0, 0, 0};
  struct Case {
    const std::vector<WORD>* words;
    size_t bytes;
    BOOL measured;
  };
  const Case cases[] = {
      {&whole, 2 * whole.size(), TRUE},
      {&plain, 2 * plain.size(), TRUE},
      {&whole, 18, FALSE},                     // the header stops before the box
      {&whole, 26, FALSE},                     // nothing after the box
      {&whole, 42, FALSE},                     // the font without its face
      {&whole, 2 * whole.size() - 2, FALSE},   // the face without its terminator
      {&plain, 18, FALSE},                     // no menu, class or title
      {&version2, 2 * version2.size(), FALSE}, // not a template this code reads
  };
  WORD id = 300;
  for (const Case& c : cases) {
    platform::ResourceItem item{RT_DIALOG, MAKEINTRESOURCEW(id), 0x407, c.words->data(),
                                static_cast<DWORD>(c.bytes)};
    ASSERT_TRUE(platform::AddModuleResources(langmod_, &item, 1));
    UseLangModule(langmod_);
    SIZE size{-1, -1};
    EXPECT_EQ(WuGetDialogSize(lang_, id, nullptr, 0, &size), c.measured) << id;
    SIZE expected{0, 0};
    if (c.measured) {
      ASSERT_TRUE(WuGetDialogSizeIndirect(lang_, c.words->data(), &expected));
    }
    EXPECT_EQ(size.cx, expected.cx) << id;
    EXPECT_EQ(size.cy, expected.cy) << id;
    ++id;
  }
}

}  // namespace
