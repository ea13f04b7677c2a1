// The keyboard layout: what a virtual key types and what its key is called.
//
// The model holds one layout for the process, a built-in US layout unless a
// test replaces it (platform::SetKeyboardLayout). A layout gives, per
// virtual-key code, the scan code of the key and the character it types
// without modifiers, and per scan code the key's name.
#pragma once

#include <string>

#include "platform/kernel/types.h"

// MapVirtualKeyW translations.
constexpr UINT MAPVK_VK_TO_VSC = 0;     // virtual key -> scan code (0: none)
constexpr UINT MAPVK_VSC_TO_VK = 1;     // scan code -> virtual key (0: none)
constexpr UINT MAPVK_VK_TO_CHAR = 2;    // virtual key -> unshifted character; dead keys
                                        // carry the top bit (0x80000000)
constexpr UINT MAPVK_VSC_TO_VK_EX = 3;  // as MAPVK_VSC_TO_VK

// Virtual keys of the punctuation ("OEM") keys.
constexpr int VK_OEM_1 = 0xBA;       // ";:" on the US layout
constexpr int VK_OEM_PLUS = 0xBB;    // "=+"
constexpr int VK_OEM_COMMA = 0xBC;   // ",<"
constexpr int VK_OEM_MINUS = 0xBD;   // "-_"
constexpr int VK_OEM_PERIOD = 0xBE;  // ".>"
constexpr int VK_OEM_2 = 0xBF;       // "/?"
constexpr int VK_OEM_3 = 0xC0;       // "`~"
constexpr int VK_OEM_4 = 0xDB;       // "[{"
constexpr int VK_OEM_5 = 0xDC;       // "\|"
constexpr int VK_OEM_6 = 0xDD;       // "]}"
constexpr int VK_OEM_7 = 0xDE;       // "'""
constexpr int VK_OEM_102 = 0xE2;     // "<>" of the 102-key keyboards

// The translation `map_type` of `code` in the current layout; 0 when the
// layout has none or the type is unknown.
UINT MapVirtualKeyW(UINT code, UINT map_type);

// The layout's name of the key whose scan code is in bits 16..23 of
// `lparam` (a key message's lParam), bit 24 marking an extended key. With
// bit 25 set, left and right Shift, Ctrl and Alt are not told apart.
// Copies at most size - 1 characters and a terminator; returns the count
// copied, 0 for an unnamed key or a size of 0 or less.
int GetKeyNameTextW(LONG lparam, LPWSTR buffer, int size);

namespace platform {

// A keyboard layout. Scan codes of extended keys carry 0xE000.
struct KeyboardLayout {
  WORD scan_codes[256] = {};        // by virtual key; 0: no key
  UINT characters[256] = {};        // by virtual key: unshifted character, dead-key
                                    // bit 0x80000000; 0: types nothing
  std::u16string names[128];        // by scan code: the key's name ("" none)
  std::u16string extended_names[128];  // by scan code of an extended key
};

// The built-in US layout.
const KeyboardLayout& UsKeyboardLayout();
// Makes `layout` (copied) the current layout; ResetKeyboardLayout returns
// to the US layout.
void SetKeyboardLayout(const KeyboardLayout& layout);
void ResetKeyboardLayout();

}  // namespace platform
