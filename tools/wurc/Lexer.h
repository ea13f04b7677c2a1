// Tokens of resource scripts and row files.
//
// Input is UTF-8 (a byte-order mark is skipped). Comments run from "//" to
// the end of the line or between "/*" and "*/". Tokens:
//   identifier  a letter or '_', then letters, digits, '_', '.', '-'
//   number      decimal or 0x hexadecimal, optionally negative, optionally
//               followed by 'L' (a 32-bit item in data blocks)
//   string      "..." (L"..." marks UTF-16 data), with the escapes \\ \" \n
//               \r \t \0 \xHH \uXXXX \UXXXXXXXX; adjacent strings are not
//               joined here
//   punctuation , { } # |
// Each token knows its line and whether it opens its line at the left
// margin (row files use indentation).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace wurc {

// An input error: the message already names the file and line.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Token {
  enum class Kind { kIdent, kNumber, kString, kPunct, kEnd };
  Kind kind = Kind::kEnd;
  std::string text;       // identifier or punctuation as written
  std::u16string value;   // string contents (UTF-16)
  int64_t number = 0;     // number value
  bool long_suffix = false;  // number written with 'L'
  bool wide = false;         // string written as L"..."
  int line = 0;              // 1-based line
  bool at_margin = false;    // first token of its line, in column 1
  bool line_start = false;   // first token of its line
};

// Splits a whole file into tokens (the last one is kEnd). Throws Error.
std::vector<Token> Tokenize(const std::string& source, const std::string& file_name);

// Appends the UTF-16 form of a code point.
void AppendCodePoint(std::u16string& out, uint32_t code_point);

// UTF-16 -> UTF-8 (for messages and generated comments).
std::string ToUtf8(const std::u16string& text);

}  // namespace wurc
