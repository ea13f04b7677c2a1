// The keyboard layout: scan codes, characters and key names of the US
// layout, and a layout that replaces it.
#include "platform/user/keyboard_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// lParam of a key message for a scan code (0xE0xx: extended).
LONG KeyParam(UINT scan, bool any_side = false) {
  LONG lparam = static_cast<LONG>((scan & 0xFF) << 16);
  if (scan & 0xE000) lparam |= 1 << 24;
  if (any_side) lparam |= 1 << 25;
  return lparam;
}

std::u16string Name(LONG lparam, int size = 64) {
  WCHAR buffer[64] = {};
  int n = GetKeyNameTextW(lparam, buffer, size);
  std::u16string name(buffer);
  EXPECT_EQ(static_cast<size_t>(n), name.size());
  return name;
}

class KeyboardLayoutTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::ResetKeyboardLayout(); }
};

TEST_F(KeyboardLayoutTest, UsLayoutScanCodesCharactersAndNames) {
  struct Case {
    UINT vk;
    UINT scan;           // MAPVK_VK_TO_VSC (no extended prefix)
    UINT character;      // MAPVK_VK_TO_CHAR
    const char16_t* name;  // GetKeyNameTextW of the key's lParam
    bool extended;
  } cases[] = {
      {'A', 0x1E, 'A', u"A", false},          {'Q', 0x10, 'Q', u"Q", false},
      {'M', 0x32, 'M', u"M", false},          {'1', 0x02, '1', u"1", false},
      {'0', 0x0B, '0', u"0", false},          {VK_OEM_1, 0x27, ';', u";", false},
      {VK_OEM_PLUS, 0x0D, '=', u"=", false},  {VK_OEM_3, 0x29, '`', u"`", false},
      {VK_OEM_5, 0x2B, '\\', u"\\", false},   {VK_OEM_7, 0x28, '\'', u"'", false},
      {0x63, 0x51, '3', u"Num 3", false},     {0x6E, 0x53, '.', u"Num Del", false},
      {0x6F, 0x35, '/', u"Num /", true},      {0x70, 0x3B, 0, u"F1", false},
      {0x79, 0x44, 0, u"F10", false},         {0x7B, 0x58, 0, u"F12", false},
      {0x7C, 0x64, 0, u"F13", false},         {0x86, 0x6E, 0, u"F23", false},
      {0x87, 0x76, 0, u"F24", false},         {0x2E, 0x53, 0, u"Delete", true},
      {0x21, 0x49, 0, u"Page Up", true},      {0xA1, 0x36, 0, u"Right Shift", false},
      {0x20, 0x39, ' ', u"Space", false},     {0x90, 0x45, 0, u"Num Lock", true},
      {0x13, 0x45, 0, u"Pause", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vk);
    EXPECT_EQ(MapVirtualKeyW(c.vk, MAPVK_VK_TO_VSC), c.scan);
    EXPECT_EQ(MapVirtualKeyW(c.vk, MAPVK_VK_TO_CHAR), c.character);
    EXPECT_EQ(Name(KeyParam(c.scan | (c.extended ? 0xE000 : 0))), c.name);
  }
  // Keys the layout lacks, unknown translations and codes out of range.
  EXPECT_EQ(MapVirtualKeyW(0xE5, MAPVK_VK_TO_VSC), 0u);
  EXPECT_EQ(MapVirtualKeyW(0x41, 7), 0u);
  EXPECT_EQ(MapVirtualKeyW(0x141, MAPVK_VK_TO_CHAR), 0u);
  EXPECT_EQ(MapVirtualKeyW(0x1E, MAPVK_VSC_TO_VK), static_cast<UINT>('A'));
  EXPECT_EQ(Name(KeyParam(0x7F)), u"");
}

TEST_F(KeyboardLayoutTest, NamesAreCutToTheBufferAndSidesMerge) {
  EXPECT_EQ(Name(KeyParam(0x0E), 5), u"Back");  // "Backspace" in 5 characters
  EXPECT_EQ(Name(KeyParam(0x0E), 1), u"");
  WCHAR untouched[2] = {u'x', 0};
  EXPECT_EQ(GetKeyNameTextW(KeyParam(0x0E), untouched, 0), 0);
  EXPECT_EQ(untouched[0], u'x');
  EXPECT_EQ(GetKeyNameTextW(KeyParam(0x0E), nullptr, 10), 0);
  // Bit 25: the right-hand modifiers answer with the plain names.
  EXPECT_EQ(Name(KeyParam(0x36, true)), u"Shift");
  EXPECT_EQ(Name(KeyParam(0xE01D)), u"Right Ctrl");
  EXPECT_EQ(Name(KeyParam(0xE01D, true)), u"Ctrl");
  EXPECT_EQ(Name(KeyParam(0xE038, true)), u"Alt");
}

TEST_F(KeyboardLayoutTest, AReplacedLayoutAnswersUntilReset) {
  // A German-like layout: VK_OEM_5 is a dead circumflex, VK_OEM_1 types
  // 'Ü', VK_OEM_2 types nothing and its key is named by scan code.
  platform::KeyboardLayout german = platform::UsKeyboardLayout();
  german.characters[VK_OEM_5] = 0x80000000u | u'^';
  german.characters[VK_OEM_1] = u'Ü';
  german.characters[VK_OEM_2] = 0;
  german.names[0x35] = u"Minus";
  platform::SetKeyboardLayout(german);
  german.characters['A'] = 0;  // the model keeps its own copy
  EXPECT_EQ(MapVirtualKeyW(VK_OEM_5, MAPVK_VK_TO_CHAR), 0x8000005Eu);
  EXPECT_EQ(MapVirtualKeyW(VK_OEM_1, MAPVK_VK_TO_CHAR), static_cast<UINT>(u'Ü'));
  EXPECT_EQ(MapVirtualKeyW(VK_OEM_2, MAPVK_VK_TO_CHAR), 0u);
  EXPECT_EQ(MapVirtualKeyW('A', MAPVK_VK_TO_CHAR), static_cast<UINT>('A'));
  EXPECT_EQ(Name(KeyParam(0x35)), u"Minus");
  platform::ResetKeyboardLayout();
  EXPECT_EQ(MapVirtualKeyW(VK_OEM_1, MAPVK_VK_TO_CHAR), static_cast<UINT>(';'));
  EXPECT_EQ(Name(KeyParam(0x35)), u"/");
}

}  // namespace
