#include "Rows.h"

#include <array>
#include <cctype>
#include <fstream>
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
  The header declares "extern WuLangStringRow& WuLangRow_<Name>;" per row.
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
    << "constexpr int WULANG_ROW_COUNT = " << rows.size() << ";\n\n";
  for (const Row& row : rows) {
    h << "// \"" << CommentText(row.cells[0].text) << "\"\n"
      << "extern WuLangStringRow& WuLangRow_" << row.name << ";\n";
  }
  WriteWholeFile(header_path, h.str());

  std::ostringstream s;
  s << "// The multilingual string table, generated by wurc. Do not edit.\n"
    << "#include \"" << header_include << "\"\n\n"
    << "namespace {\n\n";
  for (size_t r = 0; r < rows.size(); ++r) {
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = rows[r].cells[c];
      if (cell.set && !cell.is_id)
        s << "const char16_t kText" << r << "_" << c << "[] = " << CppU16Literal(cell.text) << ";\n";
    }
  }
  s << "\n}  // namespace\n\n"
    << "// The table as it lies in memory: the column LCIDs, a 0, then the rows.\n"
    << "struct WuLangTableImage {\n"
    << "  DWORD lcids[WULANG_COLUMNS + 1];\n"
    << "  WuLangStringRow rows[WULANG_ROW_COUNT];\n"
    << "};\n\n"
    << "__attribute__((section(\"wulang_t\"))) WuLangTableImage wulang_table = {\n"
    << "    {";
  for (int c = 0; c < kColumns; ++c) s << "0x" << std::hex << kColumnTable[c].lcid << std::dec << ", ";
  s << "0},\n    {\n";
  for (size_t r = 0; r < rows.size(); ++r) {
    s << "        {WULANG_ROW_MARKER, WULANG_COLUMNS, {";
    for (int c = 0; c < kColumns; ++c) {
      const Cell& cell = rows[r].cells[c];
      if (c) s << ", ";
      if (!cell.set)
        s << "kText" << r << "_0";
      else if (cell.is_id)
        s << "reinterpret_cast<const WCHAR*>(static_cast<UINT_PTR>(" << cell.id << "))";
      else
        s << "kText" << r << "_" << c;
    }
    s << "}},  // " << rows[r].name << "\n";
  }
  s << "    }};\n\n";
  for (int c = 0; c < kColumns; ++c)
    s << "static_assert(WULANG_COLUMN_LCIDS[" << c << "] == 0x" << std::hex << kColumnTable[c].lcid
      << std::dec << ");\n";
  s << "\n";
  for (size_t r = 0; r < rows.size(); ++r)
    s << "WuLangStringRow& WuLangRow_" << rows[r].name << " = wulang_table.rows[" << r << "];\n";
  s << "\nconst DWORD* WuLangTable_ColumnLCIDs() { return wulang_table.lcids; }\n"
    << "WuLangStringRow* WuLangTable_Rows() { return wulang_table.rows; }\n"
    << "int WuLangTable_RowCount() { return WULANG_ROW_COUNT; }\n";
  WriteWholeFile(source_path, s.str());
}

}  // namespace wurc
