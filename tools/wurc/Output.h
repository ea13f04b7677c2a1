// What the compiler writes from a resource script: C++ source that
// registers the resources with the program's resource store, a resource
// file (the language resource module beside a program), and a dependency
// file for the build system.
//
// RESOURCE FILE FORMAT (version 1; every number little-endian)
//
//   header, 16 bytes
//     0  4  magic "WURM"
//     4  2  version, 1
//     6  2  header size, 16
//     8  4  number of entries n
//    12  4  size of the whole file in bytes
//   entry table, n entries of 20 bytes, from offset 16
//     0  4  type: an id (below 0x10000), or 0x80000000 | offset of a name
//     4  4  name: the same
//     8  2  language (LANGID)
//    10  2  0
//    12  4  offset of the data, a multiple of 4
//    16  4  size of the data in bytes
//   names: at an even offset, a 16-bit count (1..255) and that many UTF-16
//   units, no terminator; names are stored in capitals
//   data: the bytes of each resource
//
// Every offset and size lies inside the file; ids are 1..65535; no two
// entries share type, name and language. A reader refuses a file that
// breaks any of these rules.
#pragma once

#include <string>

#include "Script.h"

namespace wurc {

// Writes C++ source that registers the resources for the named module
// (empty: the program's main module) when the program starts. Throws Error.
void WriteCppSource(const ResourceSet& set, const std::string& module_name,
                    const std::string& script, const std::string& out_path);

// Writes C++ source whose only content is the script's version block (the
// first resource of type 16, RT_VERSION, in type, name and language order)
// as the bytes of the section ".wuversion": compiled into a program, the
// block is the program file's own, readable without running it. Throws
// Error when the script has no version block or one over 65,535 bytes.
void WriteVersionSection(const ResourceSet& set, const std::string& script,
                         const std::string& out_path);

// Writes a resource file. Throws Error.
void WriteResourceFile(const ResourceSet& set, const std::string& out_path);

// Writes "<target>: <inputs...>" in the make syntax. Throws Error.
void WriteDepFile(const std::string& out_path, const std::string& target,
                  const std::vector<std::string>& inputs);

// Writes a whole file. Throws Error.
void WriteWholeFile(const std::string& path, const std::string& contents);

// C++ literal of a UTF-16 text: u"..." with escapes for everything that is
// not printable ASCII.
std::string CppU16Literal(const std::u16string& text);

// The resource file format, for --help.
extern const char kResourceFileHelp[];

}  // namespace wurc
