// The keyboard layout of the model: the built-in US layout and its
// replacement by tests.

#include "platform/user/keyboard_layout.h"

#include <memory>
#include <mutex>

namespace {

using platform::KeyboardLayout;

// Builds the US layout of a 101/102-key keyboard.
KeyboardLayout MakeUsLayout() {
  KeyboardLayout k;
  auto key = [&](int vk, WORD scan, UINT ch, const char16_t* name) {
    if (vk) {
      k.scan_codes[vk] = scan;
      k.characters[vk] = ch;
    }
    if (name) {
      if (scan & 0xE000)
        k.extended_names[scan & 0x7F] = name;
      else
        k.names[scan & 0x7F] = name;
    }
  };
  // Letters and digits of the main block.
  const char* letters = "QWERTYUIOP";
  for (int i = 0; letters[i]; ++i) {
    char16_t name[2] = {static_cast<char16_t>(letters[i]), 0};
    key(letters[i], static_cast<WORD>(0x10 + i), static_cast<UINT>(letters[i]), name);
  }
  letters = "ASDFGHJKL";
  for (int i = 0; letters[i]; ++i) {
    char16_t name[2] = {static_cast<char16_t>(letters[i]), 0};
    key(letters[i], static_cast<WORD>(0x1E + i), static_cast<UINT>(letters[i]), name);
  }
  letters = "ZXCVBNM";
  for (int i = 0; letters[i]; ++i) {
    char16_t name[2] = {static_cast<char16_t>(letters[i]), 0};
    key(letters[i], static_cast<WORD>(0x2C + i), static_cast<UINT>(letters[i]), name);
  }
  const char* digits = "1234567890";
  for (int i = 0; digits[i]; ++i) {
    char16_t name[2] = {static_cast<char16_t>(digits[i]), 0};
    key(digits[i], static_cast<WORD>(0x02 + i), static_cast<UINT>(digits[i]), name);
  }
  // Punctuation.
  key(0xBD, 0x0C, '-', u"-");
  key(0xBB, 0x0D, '=', u"=");
  key(0xDB, 0x1A, '[', u"[");
  key(0xDD, 0x1B, ']', u"]");
  key(0xBA, 0x27, ';', u";");
  key(0xDE, 0x28, '\'', u"'");
  key(0xC0, 0x29, '`', u"`");
  key(0xDC, 0x2B, '\\', u"\\");
  key(0xBC, 0x33, ',', u",");
  key(0xBE, 0x34, '.', u".");
  key(0xBF, 0x35, '/', u"/");
  key(0xE2, 0x56, '\\', u"\\");
  // Control keys.
  key(0x1B, 0x01, 0x1B, u"Esc");
  key(0x08, 0x0E, 0x08, u"Backspace");
  key(0x09, 0x0F, 0x09, u"Tab");
  key(0x0D, 0x1C, 0x0D, u"Enter");
  key(0x11, 0x1D, 0, u"Ctrl");
  key(0xA2, 0x1D, 0, nullptr);
  key(0x10, 0x2A, 0, u"Shift");
  key(0xA0, 0x2A, 0, nullptr);
  key(0xA1, 0x36, 0, u"Right Shift");
  key(0x12, 0x38, 0, u"Alt");
  key(0xA4, 0x38, 0, nullptr);
  key(0x20, 0x39, ' ', u"Space");
  key(0x14, 0x3A, 0, u"Caps Lock");
  key(0x13, 0x45, 0, u"Pause");
  key(0x91, 0x46, 0, u"Scroll Lock");
  key(0, 0x54, 0, u"Sys Req");
  // Function keys: F1-F10, F11, F12, F13-F23, F24.
  for (int i = 0; i < 10; ++i) {
    std::u16string name = u"F" + std::u16string(1, static_cast<char16_t>(u'1' + i));
    if (i == 9) name = u"F10";
    key(0x70 + i, static_cast<WORD>(0x3B + i), 0, name.c_str());
  }
  key(0x7A, 0x57, 0, u"F11");
  key(0x7B, 0x58, 0, u"F12");
  for (int i = 0; i < 11; ++i) {
    std::u16string name = u"F1" + std::u16string(1, static_cast<char16_t>(u'3' + i));
    if (i >= 7) name = u"F2" + std::u16string(1, static_cast<char16_t>(u'0' + i - 7));
    key(0x7C + i, static_cast<WORD>(0x64 + i), 0, name.c_str());
  }
  key(0x87, 0x76, 0, u"F24");
  // Numeric keypad.
  const WORD pad_scans[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};
  for (int i = 0; i < 10; ++i) {
    char16_t name[6] = {u'N', u'u', u'm', u' ', static_cast<char16_t>(u'0' + i), 0};
    key(0x60 + i, pad_scans[i], static_cast<UINT>('0' + i), name);
  }
  key(0x6A, 0x37, '*', u"Num *");
  key(0x6B, 0x4E, '+', u"Num +");
  key(0x6D, 0x4A, '-', u"Num -");
  key(0x6E, 0x53, '.', u"Num Del");
  key(0x6F, 0xE035, '/', u"Num /");
  key(0x90, 0xE045, 0, u"Num Lock");
  // Extended keys.
  key(0, 0xE01C, 0, u"Num Enter");
  key(0xA3, 0xE01D, 0, u"Right Ctrl");
  key(0xA5, 0xE038, 0, u"Right Alt");
  key(0x2C, 0xE037, 0, u"Prnt Scrn");
  key(0x24, 0xE047, 0, u"Home");
  key(0x26, 0xE048, 0, u"Up");
  key(0x21, 0xE049, 0, u"Page Up");
  key(0x25, 0xE04B, 0, u"Left");
  key(0x27, 0xE04D, 0, u"Right");
  key(0x23, 0xE04F, 0, u"End");
  key(0x28, 0xE050, 0, u"Down");
  key(0x22, 0xE051, 0, u"Page Down");
  key(0x2D, 0xE052, 0, u"Insert");
  key(0x2E, 0xE053, 0, u"Delete");
  key(0x5B, 0xE05B, 0, u"Left Windows");
  key(0x5C, 0xE05C, 0, u"Right Windows");
  key(0x5D, 0xE05D, 0, u"Application");
  return k;
}

struct State {
  std::mutex lock;
  std::shared_ptr<const KeyboardLayout> current;  // null: the US layout
};

State& S() {
  static State state;
  return state;
}

std::shared_ptr<const KeyboardLayout> Current() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.current;
}

}  // namespace

namespace platform {

const KeyboardLayout& UsKeyboardLayout() {
  static const KeyboardLayout us = MakeUsLayout();
  return us;
}

void SetKeyboardLayout(const KeyboardLayout& layout) {
  auto copy = std::make_shared<const KeyboardLayout>(layout);
  State& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.current = std::move(copy);
}

void ResetKeyboardLayout() {
  State& s = S();
  std::lock_guard<std::mutex> guard(s.lock);
  s.current.reset();
}

}  // namespace platform

UINT MapVirtualKeyW(UINT code, UINT map_type) {
  auto held = Current();
  const KeyboardLayout& k = held ? *held : platform::UsKeyboardLayout();
  switch (map_type) {
    case MAPVK_VK_TO_VSC:
      return code < 256 ? (k.scan_codes[code] & 0xFF) : 0;
    case MAPVK_VK_TO_CHAR:
      return code < 256 ? k.characters[code] : 0;
    case MAPVK_VSC_TO_VK:
    case MAPVK_VSC_TO_VK_EX:
      if (code == 0 || code > 0xFF) return 0;
      // The first virtual key of that (non-extended) scan code.
      for (UINT vk = 1; vk < 256; ++vk)
        if (k.scan_codes[vk] == code) return vk;
      return 0;
    default:
      return 0;
  }
}

int GetKeyNameTextW(LONG lparam, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  auto held = Current();
  const KeyboardLayout& k = held ? *held : platform::UsKeyboardLayout();
  UINT scan = (static_cast<DWORD>(lparam) >> 16) & 0xFF;
  bool extended = (lparam & (1 << 24)) != 0;
  if ((lparam & (1 << 25)) != 0) {
    // Left and right alike: the right Shift is Shift, the right Ctrl and
    // Alt (extended) are Ctrl and Alt.
    if (scan == 0x36) scan = 0x2A;
    if (extended && (scan == 0x1D || scan == 0x38)) extended = false;
  }
  if (scan >= 128) return 0;
  const std::u16string& name = extended ? k.extended_names[scan] : k.names[scan];
  int n = static_cast<int>(name.size());
  if (n > size - 1) n = size - 1;
  for (int i = 0; i < n; ++i) buffer[i] = name[i];
  buffer[n] = 0;
  return n;
}
