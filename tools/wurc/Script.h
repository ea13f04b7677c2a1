// Resource scripts: the readable source of a program's resources.
//
//   // comment                      /* comment */
//   LANGUAGE 0x407                  // following resources are German (a LANGID)
//   LANGUAGE 9, 1                   // the same as primary language, sublanguage
//
//   STRINGTABLE                     // string resources of the current language
//   BEGIN                           // ({ and } may stand for BEGIN and END)
//     101 "Unpacking"               // id 0..65535, text (adjacent strings join)
//     102, "Line\none"
//   END
//
//   107 32 "banner.png"             // a file as a resource: name, type, file
//   HELLO RCDATA                    // a data block
//   BEGIN
//     "bytes", L"UTF-16 units", 0x1234, 0x12345678L   // 16-bit and 32-bit items
//   END
//   2 BITMAP "logo.bmp"             // the file's 14-byte file header is dropped
//
// Names and types: a number 1..65535 is an id; an identifier or a quoted
// text is a name (stored in capitals; lookups ignore case). Type keywords:
// RCDATA 10, BITMAP 2, MESSAGETABLE 11, FONTDIR 7, FONT 8, HTML 23,
// MANIFEST 24, ANICURSOR 21, ANIICON 22; any number is a type id; any other
// identifier or text is a named type ("PNG"). STRINGTABLE is RT_STRING (6).
// DIALOG and DIALOGEX statements make dialog templates (tools/wurc/Dialog.h).
// The keywords MENU, MENUEX, ACCELERATORS, VERSIONINFO,
// ICON and CURSOR are reserved for their own statements; raw data of those
// types is given with the type's number (e.g. `1 16 "version.bin"`).
// File names are relative to the script's folder. The default language is
// 0x409. Strings are stored terminated: each entry of a string block counts
// its text and one 0 unit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wurc {

// A resource type or name: an id or a name in capitals.
struct ResKey {
  bool is_id = true;       // true: `id`; false: `name`
  uint16_t id = 0;         // the id
  std::u16string name;     // the name
};
// Named keys sort first (by name), then ids in ascending order.
bool operator<(const ResKey& a, const ResKey& b);
bool operator==(const ResKey& a, const ResKey& b);

struct Resource {
  ResKey type;                 // resource type
  ResKey name;                 // resource id or name
  uint16_t language = 0x409;   // LANGID
  std::vector<uint8_t> data;   // the bytes
};

struct ResourceSet {
  std::vector<Resource> resources;  // sorted by type, name, language
  std::vector<std::string> inputs;  // every file read (the script first)
};

// Reads a script and the files it names. Throws Error.
ResourceSet ParseScript(const std::string& path);

// The script syntax, for --help.
extern const char kScriptHelp[];

}  // namespace wurc
