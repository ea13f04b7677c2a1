// The multilingual string table: the library's own texts in 17 languages,
// compiled into the program, one row per text.
//
// The table is generated at build time from the row files in
// foundation/strings/*.rows (see tools/wurc, "wurc --help"). The generated
// header "foundation/WuLangRows.h" declares one row per row of the files,
//
//   extern WuLangStringRow WuLangRow_<Name>;
//
// so code names a row as WuLangRow_SmpteLabel and passes its address
// wherever a string reference is taken (WuLangRowRef turns it into one).
//
// In memory the table is one writable block (the data section "wulang_t"):
// the 17 column LCIDs, a 0 ending that list, then the rows one after
// another. Rows are writable because a cell holding a string resource id is
// replaced by the text it resolves to the first time it is read. A program
// holds the rows its code names (each row is a section of its own that the
// link keeps only when it is referred to), so a small program does not
// carry the texts of every library.
//
// A string reference is a pointer-sized value in one of three forms:
//   below 0x10000                              a string resource id;
//   4-byte aligned, first 16-bit unit 0xFFFE   a WuLangStringRow;
//   any other non-null pointer                 a plain UTF-16 text;
//   null                                       no text.
#pragma once

#include "platform/kernel/types.h"

// Number of languages (columns) of every row of the table.
constexpr int WULANG_COLUMNS = 17;

// The marker that opens every row.
constexpr WORD WULANG_ROW_MARKER = 0xFFFE;

// The column LCIDs in column order (column 1 first).
constexpr DWORD WULANG_COLUMN_LCIDS[WULANG_COLUMNS] = {
    0x409, 0x411, 0x407, 0x40A, 0x40C, 0x804, 0x404, 0x406, 0x40B,
    0x410, 0x412, 0x413, 0x414, 0x416, 0x816, 0x419, 0x41D};

// One row of the table.
struct WuLangStringRow {
  WORD marker;   // WULANG_ROW_MARKER
  WORD count;    // number of cells (only the low 8 bits count); 17 in the table
  // Cell c-1 holds the text of column c: a pointer to a terminated UTF-16
  // text, or a string resource id (a value below 0x10000) that the first
  // lookup replaces by the text it names.
  const WCHAR* text[WULANG_COLUMNS];
};

// Size of a row whose cells are 32-bit pointers, as the table's stored form
// counts it. In memory the cells take the natural pointer size.
constexpr SIZE_T WULANG_ROW_SIZE_32 = 72;
static_assert(2 * sizeof(WORD) + WULANG_COLUMNS * 4 == WULANG_ROW_SIZE_32);

// The row as a string reference.
inline LPCWSTR WuLangRowRef(const WuLangStringRow& row) {
  return reinterpret_cast<LPCWSTR>(&row);
}
// A string resource id as a string reference.
inline LPCWSTR WuLangIdRef(UINT id) {
  return reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(id & 0xFFFF));
}

// ---- The generated table ------------------------------------------------------
// The column LCIDs as stored at the start of the table, ended by a 0.
const DWORD* WuLangTable_ColumnLCIDs();
// The rows of the table, one after another, and their number: the rows this
// program holds.
WuLangStringRow* WuLangTable_Rows();
int WuLangTable_RowCount();

// ---- Columns -------------------------------------------------------------------
// The normalised LCID used to compare languages: Chinese (primary 4) becomes
// 0x404 for sublanguages 1, 3 and 5 and 0x804 for every other; Portuguese
// (primary 0x16) keeps its LCID; every other language becomes its primary
// language with sublanguage 1.
LCID WuLang_GetConditionedLCID(LCID lcid);

// The column (1..17) whose LCID normalises to the same value as `lcid`, or
// 0 when none does.
int WuLangTable_FindColumn(LCID lcid);
