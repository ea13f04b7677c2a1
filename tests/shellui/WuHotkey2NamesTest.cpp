// Names of shortcuts: prefixes, every key family, the keyboard layout's
// punctuation keys, cutting to the capacity and the user's language.
#include <gtest/gtest.h>

#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "platform/kernel/module.h"
#include "platform/user/keyboard_layout.h"
#include "shellui/WuHotkey2.h"

namespace {

std::u16string Name(WORD first, WORD second = 0, WORD modifiers = 0, int capacity = 260) {
  WCHAR buffer[300];
  for (WCHAR& c : buffer) c = u'#';
  int n = Hotkey2_GetKeyName(buffer, capacity, first, second, modifiers);
  std::u16string name(buffer);
  EXPECT_EQ(static_cast<size_t>(n), name.size());
  EXPECT_LT(n, capacity);
  EXPECT_EQ(buffer[capacity], u'#') << "written past the capacity";
  return name;
}

class WuHotkey2NamesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::ResetKeyboardLayout();
    WuKernel_SetLangHandle(nullptr);
    if (lang_) WuLang_Close(lang_);
  }
  void UseLanguage(LCID lcid) {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
  }
  HWULANG lang_ = nullptr;
};

TEST_F(WuHotkey2NamesTest, KeysOfEveryFamilyWithTheirPrefixes) {
  struct Case {
    WORD first, second, modifiers;
    const char16_t* name;
  } cases[] = {
      {0x74, 0, 0x6, u"Ctrl+Shift+F5"},
      {0x41, 0, 0xE, u"Ctrl+Alt+Shift+A"},
      {0x4B, 0x63, 0x4, u"Ctrl+K, Num 3"},
      {0x30, 0, 0x8, u"Alt+0"},
      {0, 0, 0x4, u"Ctrl+"},          // a modifier alone shows its prefix
      {0, 0, 0, u""},                 // code 0: nothing
      {0x10, 0, 0, u"VK_016"},
      {0xE5, 0, 0, u"VK_229"},
      {0x88, 0, 0, u"VK_136"},
      {0x5E, 0, 0, u"VK_094"},        // between LWin..Apps and Sleep
      {0x20, 0, 0, u"Space"},
      {0x22, 0, 0, u"Page Down"},
      {0x2F, 0, 0, u"Help"},
      {0x60, 0, 0, u"Num 0"},
      {0x6C, 0, 0, u"Num Sep"},
      {0x6E, 0, 0, u"Num Del"},
      {0x6F, 0, 0, u"Num /"},
      {0x70, 0, 0, u"F1"},
      {0x87, 0, 0, u"F24"},
      {0xA6, 0, 0, u"Browse Back"},
      {0xAB, 0, 0, u"Browse Favorites"},
      {0xB3, 0, 0, u"Play"},
      {0xB7, 0, 0, u"Launch2"},
      {0x03, 0, 0, u"Break"},
      {0x08, 0, 0, u"Back"},
      {0x14, 0, 0, u"Caps Lock"},
      {0x1B, 0, 0, u"Esc"},
      {0x5F, 0, 0, u"Sleep"},
      {0x91, 0, 0, u"Scroll Lock"},
      {0x4B, 0x4B, 0x1, u"K, K"},     // bits other than Shift, Ctrl and Alt show nothing
  };
  for (const Case& c : cases)
    EXPECT_EQ(Name(c.first, c.second, c.modifiers), c.name) << std::hex << c.first;
}

TEST_F(WuHotkey2NamesTest, NamesAreCutToTheCapacity) {
  EXPECT_EQ(Name(0x74, 0, 0x6, 8), u"Ctrl+Sh");
  EXPECT_EQ(Name(0x74, 0, 0x6, 1), u"");
  // "Ctrl+K" is 6 characters: with capacity 9 three remain, enough for ", "
  // and no name; with 8 the second key is dropped.
  EXPECT_EQ(Name(0x4B, 0x63, 0x4, 9), u"Ctrl+K, ");
  EXPECT_EQ(Name(0x4B, 0x63, 0x4, 10), u"Ctrl+K, N");
  EXPECT_EQ(Name(0x4B, 0x63, 0x4, 8), u"Ctrl+K");
  // A capacity of 0 or less, or no buffer, writes nothing.
  WCHAR untouched[4] = {u'x', u'y', 0, 0};
  EXPECT_EQ(Hotkey2_GetKeyName(untouched, 0, 0x41, 0, 0), 0);
  EXPECT_EQ(Hotkey2_GetKeyName(untouched, -5, 0x41, 0, 0), 0);
  EXPECT_EQ(untouched[0], u'x');
  EXPECT_EQ(Hotkey2_GetKeyName(nullptr, 10, 0x41, 0, 0), 0);
}

TEST_F(WuHotkey2NamesTest, PunctuationKeysFollowTheKeyboardLayout) {
  // The US layout types the US characters.
  const WORD codes[] = {0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE};
  const char16_t us[] = u";=,-./`[\\]'";
  for (int i = 0; i < 11; ++i) EXPECT_EQ(Name(codes[i]), std::u16string(1, us[i])) << i;

  // Another layout: its characters, a dead key's mark, the key's name where
  // it types nothing, and the fixed character where it has neither.
  platform::KeyboardLayout layout = platform::UsKeyboardLayout();
  layout.characters[0xBA] = u'Ü';
  layout.characters[0xDC] = 0x80000000u | u'^';
  layout.characters[0xBF] = 0;               // named by its scan code 0x35
  layout.names[0x35] = u"Raute";
  layout.characters[0xDE] = 0;               // neither character nor name
  layout.names[0x28] = u"";
  layout.characters[0xC0] = 0x7F;            // not printable, and no name either
  layout.names[0x29] = u"";
  platform::SetKeyboardLayout(layout);
  EXPECT_EQ(Name(0xBA, 0, 0x4), u"Ctrl+Ü");
  EXPECT_EQ(Name(0xDC), u"^");
  EXPECT_EQ(Name(0xBF), u"Raute");
  EXPECT_EQ(Name(0xDE), u"'");
  EXPECT_EQ(Name(0xC0), u"`");
  // A long layout name is cut to the caller's capacity as any other.
  layout.names[0x35] = std::u16string(80, u'n');
  platform::SetKeyboardLayout(layout);
  EXPECT_EQ(Name(0xBF).size(), 60u);
  EXPECT_EQ(Name(0xBF, 0, 0x4, 10), u"Ctrl+nnnn");
}

TEST_F(WuHotkey2NamesTest, NamesSpeakTheUsersLanguage) {
  UseLanguage(0x407);
  EXPECT_EQ(Name(0x74, 0, 0x6), u"Strg+Umschalt+F5");
  EXPECT_EQ(Name(0x2E, 0x20, 0x8), u"Alt+Entf, Leertaste");
  EXPECT_EQ(Name(0x63), u"Num 3");  // the same text as in English
  WuKernel_SetLangHandle(nullptr);
  WuLang_Close(lang_);
  lang_ = nullptr;
  UseLanguage(0x411);  // a language without key names of its own
  EXPECT_EQ(Name(0x74, 0, 0x6), u"Ctrl+Shift+F5");
}

}  // namespace
