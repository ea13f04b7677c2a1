// Dialog templates of resource scripts: the DIALOG and DIALOGEX statements
// and their binary form (RT_DIALOG, type 5).
//
//   1100 DIALOG 0, 0, 331, 207          // or DIALOGEX x, y, cx, cy [, help id]
//   STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
//   EXSTYLE WS_EX_TOOLWINDOW
//   CAPTION "Select destination..."
//   FONT 8, "MS Sans Serif"              // DIALOGEX: size, face, weight, italic, charset
//   BEGIN
//     LTEXT "&Save files in folder:", 1102, 22, 112, 289, 12
//     EDITTEXT 1101, 22, 129, 289, 14, ES_AUTOHSCROLL
//     DEFPUSHBUTTON "&Next >", 2000, 201, 186, 50, 14
//     CONTROL "", 1001, "msctls_progress32", WS_BORDER, 22, 137, 289, 12
//   END
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wurc {

// A class, text or menu reference: none, an ordinal, or a text.
struct DialogRef {
  enum class Kind { kNone, kOrdinal, kText };
  Kind kind = Kind::kNone;  // which form
  uint16_t ordinal = 0;     // kOrdinal
  std::u16string text;      // kText
};

struct DialogItem {
  uint32_t help_id = 0;     // DIALOGEX only
  uint32_t ex_style = 0;    // WS_EX_* bits
  uint32_t style = 0;       // WS_* and control bits
  int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  uint32_t id = 0;          // control id (16 bits in DIALOG)
  DialogRef cls;            // window class (ordinal 0x80..0x85 or a name)
  DialogRef text;           // title text or resource ordinal
};

struct DialogSpec {
  bool extended = false;    // DIALOGEX layout
  uint32_t help_id = 0;     // DIALOGEX only
  uint32_t ex_style = 0;    // WS_EX_* bits
  uint32_t style = 0;       // WS_* and DS_* bits
  int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DialogRef menu;           // menu resource
  DialogRef cls;            // dialog class
  std::u16string caption;   // title
  bool has_font = false;    // FONT given (DS_SETFONT is set)
  uint16_t point_size = 0;  // font size in points
  uint16_t weight = 0;      // DIALOGEX: font weight
  uint8_t italic = 0;       // DIALOGEX: italic flag
  uint8_t charset = 1;      // DIALOGEX: character set
  std::u16string face;      // font face
  std::vector<DialogItem> items;  // controls in tab order
};

// The value of a symbolic style constant (WS_*, DS_*, SS_*, BS_*, ES_*,
// LBS_*, CBS_*, PBS_*, SBS_*, WS_EX_*); false when unknown.
bool LookupStyleConstant(const std::string& name, uint32_t* value);

// The class ordinal of a predefined class keyword or name (BUTTON 0x80,
// EDIT 0x81, STATIC 0x82, LISTBOX 0x83, SCROLLBAR 0x84, COMBOBOX 0x85),
// case-insensitive; 0 for any other class.
uint16_t PredefinedClassOrdinal(const std::u16string& name);

// The binary template, little-endian, items on 4-byte boundaries.
std::vector<uint8_t> SerializeDialog(const DialogSpec& dialog);

}  // namespace wurc
