// Names of shortcuts for the hotkey-entry control and its hosts.

#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/user/keyboard_layout.h"
#include "shellui/WuHotkey2.h"
#include "shellui/WuShellUIText.h"

namespace {

// Appends `text` to the name in `buffer` as far as the capacity allows;
// `*length` becomes the name's length.
void Append(LPWSTR buffer, int capacity, int* length, LPCWSTR text) {
  WuStrCatN(buffer, text, capacity);
  *length = WuStrLenSafe(buffer);
}

void AppendRow(LPWSTR buffer, int capacity, int* length, WuLangStringRow& row) {
  Append(buffer, capacity, length, WuLangText(row));
}

// The keys 0x20-0x2F.
WuLangStringRow& NavigationRow(int i) {
  static WuLangStringRow* const rows[16] = {
    &WuLangRow_HotkeyKeySpace,   &WuLangRow_HotkeyKeyPageUp,   &WuLangRow_HotkeyKeyPageDown,
    &WuLangRow_HotkeyKeyEnd,     &WuLangRow_HotkeyKeyHome,     &WuLangRow_HotkeyKeyLeft,
    &WuLangRow_HotkeyKeyUp,      &WuLangRow_HotkeyKeyRight,    &WuLangRow_HotkeyKeyDown,
    &WuLangRow_HotkeyKeySelect,  &WuLangRow_HotkeyKeyPrint,    &WuLangRow_HotkeyKeyExecute,
    &WuLangRow_HotkeyKeySnapshot, &WuLangRow_HotkeyKeyInsert,  &WuLangRow_HotkeyKeyDelete,
    &WuLangRow_HotkeyKeyHelp,
  };
  return *rows[i];
}

// The numeric keypad, 0x60-0x6F.
WuLangStringRow& KeypadRow(int i) {
  static WuLangStringRow* const rows[16] = {
    &WuLangRow_HotkeyKeyNum0,        &WuLangRow_HotkeyKeyNum1,      &WuLangRow_HotkeyKeyNum2,
    &WuLangRow_HotkeyKeyNum3,        &WuLangRow_HotkeyKeyNum4,      &WuLangRow_HotkeyKeyNum5,
    &WuLangRow_HotkeyKeyNum6,        &WuLangRow_HotkeyKeyNum7,      &WuLangRow_HotkeyKeyNum8,
    &WuLangRow_HotkeyKeyNum9,        &WuLangRow_HotkeyKeyNumMultiply, &WuLangRow_HotkeyKeyNumAdd,
    &WuLangRow_HotkeyKeyNumSeparator, &WuLangRow_HotkeyKeyNumSubtract,
    &WuLangRow_HotkeyKeyNumDecimal,  &WuLangRow_HotkeyKeyNumDivide,
  };
  return *rows[i];
}

// The browser, volume, media and launch keys, 0xA6-0xB7.
WuLangStringRow& BrowserRow(int i) {
  static WuLangStringRow* const rows[18] = {
    &WuLangRow_HotkeyKeyBrowseBack,    &WuLangRow_HotkeyKeyBrowseForward,
    &WuLangRow_HotkeyKeyBrowseRefresh, &WuLangRow_HotkeyKeyBrowseStop,
    &WuLangRow_HotkeyKeyBrowseSearch,  &WuLangRow_HotkeyKeyBrowseFavorites,
    &WuLangRow_HotkeyKeyBrowseHome,    &WuLangRow_HotkeyKeyVolumeMute,
    &WuLangRow_HotkeyKeyVolumeDown,    &WuLangRow_HotkeyKeyVolumeUp,
    &WuLangRow_HotkeyKeyMediaNext,     &WuLangRow_HotkeyKeyMediaPrev,
    &WuLangRow_HotkeyKeyMediaStop,     &WuLangRow_HotkeyKeyMediaPlay,
    &WuLangRow_HotkeyKeyLaunchMail,    &WuLangRow_HotkeyKeyLaunchMedia,
    &WuLangRow_HotkeyKeyLaunch1,       &WuLangRow_HotkeyKeyLaunch2,
  };
  return *rows[i];
}

// Keys with a name of their own.
struct SingleKey {
  WORD code;             // virtual key
  WuLangStringRow* row;  // its name
};
WuLangStringRow* SingleKeyRow(WORD code) {
  static const SingleKey keys[] = {
    {0x03, &WuLangRow_HotkeyKeyBreak},   {0x08, &WuLangRow_HotkeyKeyBack},
    {0x09, &WuLangRow_HotkeyKeyTab},     {0x0C, &WuLangRow_HotkeyKeyClear},
    {0x0D, &WuLangRow_HotkeyKeyEnter},   {0x13, &WuLangRow_HotkeyKeyPause},
    {0x14, &WuLangRow_HotkeyKeyCapsLock}, {0x1B, &WuLangRow_HotkeyKeyEsc},
    {0x5B, &WuLangRow_HotkeyKeyLWin},    {0x5C, &WuLangRow_HotkeyKeyRWin},
    {0x5D, &WuLangRow_HotkeyKeyApps},    {0x5F, &WuLangRow_HotkeyKeySleep},
    {0x90, &WuLangRow_HotkeyKeyNumLock}, {0x91, &WuLangRow_HotkeyKeyScrollLock},
  };
  for (const SingleKey& key : keys)
    if (key.code == code) return key.row;
  return nullptr;
}

// A character that can stand for a key on its own.
bool Printable(UINT character) {
  WCHAR c = static_cast<WCHAR>(character & 0xFFFF);  // a dead key still shows its mark
  return c > 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0xA0);
}

// The name of a punctuation key: what the layout types, else the layout's
// name of the key, else the US character.
void AppendOemName(LPWSTR buffer, int capacity, int* length, WORD code) {
  WCHAR text[64] = {};
  UINT character = MapVirtualKeyW(code, MAPVK_VK_TO_CHAR);
  if (Printable(character)) {
    text[0] = static_cast<WCHAR>(character & 0xFFFF);
  } else {
    LONG lparam = static_cast<LONG>(MapVirtualKeyW(code, MAPVK_VK_TO_VSC) << 16);
    if (GetKeyNameTextW(lparam, text, 61) <= 0) {
      static const char16_t kLow[] = u";=,-./`";   // 0xBA-0xC0
      static const char16_t kHigh[] = u"[\\]'";    // 0xDB-0xDE
      text[0] = code <= 0xC0 ? kLow[code - 0xBA] : kHigh[code - 0xDB];
      text[1] = 0;
    }
  }
  Append(buffer, capacity, length, text);
}

// Appends one key's name.
void AppendKeyName(LPWSTR buffer, int capacity, int* length, WORD code) {
  WCHAR text[16] = {};
  if (code == 0) return;
  if (code >= 0x20 && code <= 0x2F) {
    AppendRow(buffer, capacity, length, NavigationRow(code - 0x20));
  } else if (code >= 0x30 && code <= 0x5A) {
    WuPrintF(text, u"%c", code);
    Append(buffer, capacity, length, text);
  } else if (code >= 0x60 && code <= 0x6F) {
    AppendRow(buffer, capacity, length, KeypadRow(code - 0x60));
  } else if (code >= 0x70 && code <= 0x87) {
    WuPrintF(text, u"F%u", static_cast<unsigned>(code - 0x6F));
    Append(buffer, capacity, length, text);
  } else if (code >= 0xA6 && code <= 0xB7) {
    AppendRow(buffer, capacity, length, BrowserRow(code - 0xA6));
  } else if ((code >= 0xBA && code <= 0xC0) || (code >= 0xDB && code <= 0xDE)) {
    AppendOemName(buffer, capacity, length, code);
  } else {
    if (WuLangStringRow* row = SingleKeyRow(code)) {
      AppendRow(buffer, capacity, length, *row);
      return;
    }
    WuPrintF(text, u"VK_%03u", static_cast<unsigned>(code));
    Append(buffer, capacity, length, text);
  }
}

}  // namespace

int Hotkey2_GetKeyName(LPWSTR buffer, int capacity, WORD first_key, WORD second_key,
                       WORD modifiers) {
  if (!buffer || capacity <= 0) return 0;
  buffer[0] = 0;
  int length = 0;
  if (modifiers & HOTKEY2_CTRL) AppendRow(buffer, capacity, &length, WuLangRow_HotkeyPrefixCtrl);
  if (modifiers & HOTKEY2_ALT) AppendRow(buffer, capacity, &length, WuLangRow_HotkeyPrefixAlt);
  if (modifiers & HOTKEY2_SHIFT) AppendRow(buffer, capacity, &length, WuLangRow_HotkeyPrefixShift);
  AppendKeyName(buffer, capacity, &length, first_key);
  if (second_key != 0 && length + 2 < capacity) {
    Append(buffer, capacity, &length, u", ");
    AppendKeyName(buffer, capacity, &length, second_key);
  }
  return length;
}
