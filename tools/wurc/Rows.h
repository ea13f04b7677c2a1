// Row files: the readable source of the multilingual string table.
//
//   // comment
//   SmpteLabels "hr%smn%ssc%sfr"        a row: its name at the left margin
//                                       and its text in the first language
//       de "Std%sMin%sSek%sBi"          indented: another column's text
//       ja #1234                        a string resource id as the cell
//
// A name is a C++ identifier, unique across all row files. Columns not
// given take the first text. Column tags, in column order: en (0x409) ja
// (0x411) de (0x407) es (0x40A) fr (0x40C) zh-CN (0x804) zh-TW (0x404) da
// (0x406) fi (0x40B) it (0x410) ko (0x412) nl (0x413) nb (0x414) pt-BR
// (0x416) pt-PT (0x816) ru (0x419) sv (0x41D); the LCID in hexadecimal
// (0x407) names a column too. Strings take the escapes of resource scripts.
//
// The generated header declares, per row,
//   extern WuLangStringRow WuLangRow_<Name>;
// and the generated source defines the table (section "wulang_t"): the 17
// column LCIDs, a 0, then the rows in the order of the files as given and
// of the rows within each file, each row a section of its own so that a
// program's link keeps only the rows it names.
#pragma once

#include <string>
#include <vector>

namespace wurc {

// Reads the row files and writes the header and source of the table.
// `header_include` is the name by which the source includes the header.
// Throws Error.
void GenerateRowTable(const std::vector<std::string>& row_files, const std::string& header_path,
                      const std::string& header_include, const std::string& source_path);

// The row-file syntax, for --help.
extern const char kRowsHelp[];

}  // namespace wurc
