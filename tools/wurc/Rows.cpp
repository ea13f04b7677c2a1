#include "Rows.h"

#include <array>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "Lexer.h"
#include "Output.h"

namespace wurc {

const char kRowsHelp[] = R"(ROW FILES (the multilingual string table)
  // comment
  SmpteLabels "hr%smn%ssc%sfr"      a row: name at the left margin, then the
                                    text of the first language
      de "Std%sMin%sSek%sBi"        indented: another column's text
      ja #1234                      a string resource id as the cell
  Names are C++ identifiers, unique across the files. Columns not given take
  the first text. Column tags in column order: en ja de es fr zh-CN zh-TW da
  fi it ko nl nb pt-BR pt-PT ru sv, or the column's LCID (0x407).
  The header declares "extern WuLangStringRow WuLangRow_<Name>;" per row;
  a program's table holds the rows it names.
)";

namespace {

constexpr int kColumns = 17;
struct Column {
  const char* tag;  // language tag
  unsigned lcid;    // the column's LCID
};
const Column kColumnTable[kColumns] = {
    {"en", 0x409},    {"ja", 0x411},    {"de", 0x407},    {"es", 0x40A}, {"fr", 0x40C},
    {"zh-CN", 0x804}, {"zh-TW", 0x404}, {"da", 0x406},    {"fi", 0x40B}, {"it", 0x410},
    {"ko", 0x412},    {"nl", 0x413},    {"nb", 0x414},    {"pt-BR", 0x416},
    {"pt-PT", 0x816}, {"ru", 0x419},    {"sv", 0x41D},
};

// A cell: a text, or a string resource id.
struct Cell {
  bool set = false;        // given in the file
  bool is_id = false;      // a string resource id
  unsigned id = 0;         // the id (1..0xFFFF)
  std::u16string text;     // the text
};

struct Row {
  std::string name;                   // C++ identifier
  std::array<Cell, kColumns> cells;   // cell 0 is always a text
};

bool IsIdentifier(const std::string& s) {
  if (s.empty() || !(std::isalpha(static_cast<unsigned char>(s[0])) || s[0] == '_')) return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  return true;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int ColumnOf(const Token& t) {
  for (int c = 0; c < kColumns; ++c) {
    if (t.kind == Token::Kind::kIdent && t.text == kColumnTable[c].tag) return c;
    if (t.kind == Token::Kind::kNumber && t.number == kColumnTable[c].lcid) return c;
  }
  return -1;
}

void ParseRowFile(const std::string& path, std::vector<Row>& rows, std::set<std::string>& names) {
  std::vector<Token> tokens = Tokenize(ReadFile(path), path);
  size_t pos = 0;
  auto fail = [&](const Token& t, const std::string& message) {
    throw Error(path + ":" + std::to_string(t.line) + ": " + message);
  };
  // Reads one or more adjacent strings, or "#id", into a cell.
  auto read_cell = [&](Cell& cell) {
    const Token& t = tokens[pos];
    if (t.kind == Token::Kind::kPunct && t.text == "#") {
      const Token& id = tokens[++pos];
      if (id.kind != Token::Kind::kNumber || id.number < 1 || id.number > 0xFFFF)
        fail(id, "string resource id 1..65535 expected");
      cell.is_id = true;
      cell.id = static_cast<unsigned>(id.number);
      ++pos;
    } else if (t.kind == Token::Kind::kString && !t.wide) {
      while (tokens[pos].kind == Token::Kind::kString && !tokens[pos].wide &&
             (!tokens[pos].line_start || &tokens[pos] == &t))
        cell.text += tokens[pos++].value;
    } else {
      fail(t, "text or #id expected");
    }
    cell.set = true;
  };
  while (tokens[pos].kind != Token::Kind::kEnd) {
    const Token& name = tokens[pos];
    if (!name.at_margin) fail(name, "a row name at the left margin expected");
    if (name.kind != Token::Kind::kIdent || !IsIdentifier(name.text))
      fail(name, "row names are C++ identifiers");
    if (!names.insert(name.text).second) fail(name, "row " + name.text + " is defined twice");
    ++pos;
    Row row;
    row.name = name.text;
    if (tokens[pos].line_start) fail(tokens[pos], "the row's first text belongs on its line");
    read_cell(row.cells[0]);
    if (row.cells[0].is_id) fail(name, "the first column holds a text");
    while (tokens[pos].kind != Token::Kind::kEnd && !tokens[pos].at_margin) {
      const Token& tag = tokens[pos];
      if (!tag.line_start) fail(tag, "one column per line");
      int c = ColumnOf(tag);
      if (c < 0) fail(tag, "unknown column tag");
      if (row.cells[c].set) fail(tag, "column given twice");
      ++pos;
      if (tokens[pos].line_start) fail(tokens[pos], "the column's text belongs on its line");
      read_cell(row.cells[c]);
    }
    if (tokens[pos].kind != Token::Kind::kEnd && !tokens[pos].line_start)
      fail(tokens[pos], "end of line expected");
    rows.push_back(std::move(row));
  }
}

// A text as it may stand in a one-line comment: line breaks, other control
// characters and backslashes are written as escapes.
std::string CommentText(const std::u16string& text) {
  std::u16string escaped;
  for (char16_t c : text) {
    if (c == u'\n') {
      escaped += u"\\n";
    } else if (c == u'\r') {
      escaped += u"\\r";
    } else if (c == u'\t') {
      escaped += u"\\t";
    } else if (c == u'\\') {
      escaped += u"\\\\";
    } else if (c < 0x20) {
      escaped += u"\\x";
      const char16_t* digits = u"0123456789ABCDEF";
      escaped += digits[(c >> 4) & 0xF];
      escaped += digits[c & 0xF];
    } else {
      escaped += c;
    }
  }
  return ToUtf8(escaped);
}

}  // namespace

void GenerateRowTable(const std::vector<std::string>& row_files, const std::string& header_path,
                      const std::string& header_include, const std::string& source_path) {
  std::vector<Row> rows;
  std::set<std::string> names;
  for (const std::string& file : row_files) ParseRowFile(file, rows, names);
  if (rows.empty()) throw Error("no rows in the row files");

  std::ostringstream h;
  h << "// The rows of the multilingual string table, generated by wurc from\n"
    << "// foundation/strings/*.rows. Do not edit.\n"
    << "#pragma once\n\n"
    << "#include \"foundation/WuLangTable.h\"\n\n"
    << "// Rows in the row files; a program holds those it names.\n"
    << "constexpr int WULANG_ROW_COUNT = " << rows.size() << ";\n\n";
  for (const Row& row : rows) {
    h << "// \"" << CommentText(row.cells[0].text) << "\"\n"
      << "extern WuLangStringRow WuLangRow_" << row.name << ";\n";
  }
  WriteWholeFile(header_path, h.str());

  // The texts, each once however many cells hold it, under assembler names
  // the rows below refer to. They keep their units' own alignment, which
  // spares the padding the compiler would put between larger arrays.
  std::map<std::u16string, std::string> text_symbols;
  std::ostringstream texts;
  auto text_symbol = [&](const std::u16string& text) {
    auto [it, added] = text_symbols.emplace(text, "");
    if (added) {
      it->second = "wulang_text_" + std::to_string(text_symbols.size() - 1);
      texts << "[[gnu::used]] alignas(2) const char16_t k" << it->second << "[] asm(\"" << it->second
            << "\") = " << CppU16Literal(text) << ";\n";
    }
    return it->second;
  };

  // Every row is an assembler section of its own named "wulang_t" (sections
  // of one name told apart by "unique"), between the section of the column
  // LCIDs and the closing one, in this order. The link drops the rows that
  // nothing in the program names, and the rows it keeps still follow the
  // LCIDs one after another in the one output section "wulang_t". Each row
  // refers to the LCIDs by a relocation of no effect, so they stay with any
  // row.
  std::ostringstream table;
  int section = 0;
  auto open_section = [&]() {
    table << "    \".pushsection wulang_t,\\\"aw\\\",@progbits,unique," << ++section << "\\n\"\n"
          << "    \".balign 8\\n\"\n";
  };
  auto label = [&](const std::string& symbol, bool hidden, size_t size) {
    table << "    \".globl " << symbol << "\\n\"\n";
    if (hidden) table << "    \".hidden " << symbol << "\\n\"\n";
    table << "    \".type " << symbol << ",@object\\n\"\n"
          << "    \".size " << symbol << "," << size << "\\n\"\n"
          << "    \"" << symbol << ":\\n\"\n";
  };
  open_section();
  label("wulang_table", true, (kColumns + 1) * 4);
  table << "    \".4byte ";
  for (int c = 0; c < kColumns; ++c) table << "0x" << std::hex << kColumnTable[c].lcid << std::dec << ", ";
  table << "0\\n\"\n";
  label("wulang_table_rows", true, 0);
  table << "    \".popsection\\n\"\n";
  for (const Row& row : rows) {
    const std::string symbol = "WuLangRow_" + row.name;
    open_section();
    label(symbol, false, 8 + kColumns * 8);
    table << "    \".2byte 0xFFFE, " << kColumns << "\\n\"\n"
          << "    \".4byte 0\\n\"\n";
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = row.cells[c];
      table << "    \".quad ";
      if (!cell.set)
        table << text_symbol(row.cells[0].text);
      else if (cell.is_id)
        table << cell.id;
      else
        table << text_symbol(cell.text);
      table << "\\n\"\n";
    }
    table << "    \".reloc " << symbol << ", BFD_RELOC_NONE, wulang_table\\n\"\n"
          << "    \".popsection\\n\"\n";
  }
  open_section();
  label("wulang_table_end", true, 0);
  table << "    \".popsection\\n\");\n";

  std::ostringstream s;
  s << "// The multilingual string table, generated by wurc. Do not edit.\n"
    << "#include \"" << header_include << "\"\n\n"
    << "#include <cstddef>\n\n"
    << "// The rows below are written for this layout.\n"
    << "static_assert(sizeof(void*) == 8);\n"
    << "static_assert(offsetof(WuLangStringRow, text) == 8);\n"
    << "static_assert(sizeof(WuLangStringRow) == 8 + WULANG_COLUMNS * 8);\n";
  for (int c = 0; c < kColumns; ++c)
    s << "static_assert(WULANG_COLUMN_LCIDS[" << c << "] == 0x" << std::hex << kColumnTable[c].lcid
      << std::dec << ");\n";
  s << "\nnamespace {\n\n";
  s << texts.str() << "\n}  // namespace\n\n"
    << "// The column LCIDs and a 0, each row, then the end of the table.\n"
    << "asm(\n" << table.str() << "\n"
    << "extern \"C\" {\n"
    << "[[gnu::visibility(\"hidden\")]] extern DWORD wulang_table[];\n"
    << "[[gnu::visibility(\"hidden\")]] extern WuLangStringRow wulang_table_rows[];\n"
    << "[[gnu::visibility(\"hidden\")]] extern WuLangStringRow wulang_table_end[];\n"
    << "}\n\n"
    << "const DWORD* WuLangTable_ColumnLCIDs() { return wulang_table; }\n"
    << "WuLangStringRow* WuLangTable_Rows() { return wulang_table_rows; }\n"
    << "int WuLangTable_RowCount() { return static_cast<int>(wulang_table_end - wulang_table_rows); }\n";
  WriteWholeFile(source_path, s.str());
}

}  // namespace wurc
