#include "Lexer.h"

#include <cctype>

namespace wurc {

namespace {

bool IsIdentStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}
bool IsIdentPart(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-';
}
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class Lexer {
 public:
  Lexer(const std::string& source, const std::string& file)
      : src_(source), file_(file) {}

  std::vector<Token> Run() {
    std::vector<Token> tokens;
    if (src_.compare(0, 3, "\xEF\xBB\xBF") == 0) start_ = pos_ = 3;  // a UTF-8 byte-order mark
    bool new_line = true;
    for (;;) {
      SkipSpaceAndComments(new_line);
      Token t;
      t.line = line_;
      t.line_start = new_line;
      t.at_margin = new_line && (pos_ == start_ || src_[pos_ - 1] == '\n');
      if (pos_ >= src_.size()) {
        t.kind = Token::Kind::kEnd;
        tokens.push_back(t);
        return tokens;
      }
      new_line = false;
      ReadToken(t);
      tokens.push_back(std::move(t));
    }
  }

 private:
  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

  [[noreturn]] void Fail(const std::string& message) const {
    throw Error(file_ + ":" + std::to_string(line_) + ": " + message);
  }

  // Skips blanks, line ends and comments; sets new_line when a line end is
  // crossed.
  void SkipSpaceAndComments(bool& new_line) {
    while (pos_ < src_.size()) {
      char c = src_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
        new_line = true;
      } else if (IsBlank(c)) {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '/') {
        while (pos_ < src_.size() && src_[pos_] != '\n') ++pos_;
      } else if (c == '/' && pos_ + 1 < src_.size() && src_[pos_ + 1] == '*') {
        pos_ += 2;
        while (pos_ + 1 < src_.size() && !(src_[pos_] == '*' && src_[pos_ + 1] == '/')) {
          if (src_[pos_] == '\n') {
            ++line_;
            new_line = true;
          }
          ++pos_;
        }
        if (pos_ + 1 >= src_.size()) Fail("unterminated comment");
        pos_ += 2;
      } else {
        return;
      }
    }
  }

  void ReadToken(Token& t) {
    char c = src_[pos_];
    if ((c == 'L' || c == 'l') && pos_ + 1 < src_.size() && src_[pos_ + 1] == '"') {
      ++pos_;
      t.wide = true;
      ReadString(t);
    } else if (c == '"') {
      ReadString(t);
    } else if (std::isdigit(static_cast<unsigned char>(c)) ||
               (c == '-' && pos_ + 1 < src_.size() &&
                std::isdigit(static_cast<unsigned char>(src_[pos_ + 1])))) {
      ReadNumber(t);
    } else if (IsIdentStart(c)) {
      t.kind = Token::Kind::kIdent;
      size_t start = pos_;
      while (pos_ < src_.size() && IsIdentPart(src_[pos_])) ++pos_;
      t.text = src_.substr(start, pos_ - start);
    } else if (c == ',' || c == '{' || c == '}' || c == '#' || c == '|') {
      t.kind = Token::Kind::kPunct;
      t.text = std::string(1, c);
      ++pos_;
    } else {
      Fail(std::string("unexpected character '") + c + "'");
    }
  }

  void ReadNumber(Token& t) {
    t.kind = Token::Kind::kNumber;
    bool negative = false;
    if (src_[pos_] == '-') {
      negative = true;
      ++pos_;
    }
    int64_t value = 0;
    int base = 10;
    if (src_[pos_] == '0' && pos_ + 1 < src_.size() && (src_[pos_ + 1] == 'x' || src_[pos_ + 1] == 'X')) {
      base = 16;
      pos_ += 2;
    }
    size_t digits = 0;
    while (pos_ < src_.size()) {
      int d = HexValue(src_[pos_]);
      if (d < 0 || d >= base) break;
      value = value * base + d;
      if (value > 0xFFFFFFFFll) Fail("number too large");
      ++pos_;
      ++digits;
    }
    if (digits == 0) Fail("number without digits");
    if (pos_ < src_.size() && (src_[pos_] == 'L' || src_[pos_] == 'l')) {
      t.long_suffix = true;
      ++pos_;
    }
    if (pos_ < src_.size() && IsIdentPart(src_[pos_])) Fail("bad number");
    t.number = negative ? -value : value;
  }

  // Reads one UTF-8 code point at pos_.
  uint32_t ReadUtf8() {
    unsigned char b = static_cast<unsigned char>(src_[pos_++]);
    if (b < 0x80) return b;
    int extra = 0;
    uint32_t cp = 0;
    if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      Fail("invalid UTF-8");
    }
    for (int i = 0; i < extra; ++i) {
      if (pos_ >= src_.size()) Fail("invalid UTF-8");
      unsigned char n = static_cast<unsigned char>(src_[pos_++]);
      if ((n & 0xC0) != 0x80) Fail("invalid UTF-8");
      cp = (cp << 6) | (n & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      Fail("invalid UTF-8");
    return cp;
  }

  uint32_t ReadHex(int count) {
    uint32_t v = 0;
    for (int i = 0; i < count; ++i) {
      int d = pos_ < src_.size() ? HexValue(src_[pos_]) : -1;
      if (d < 0) Fail("bad hexadecimal escape");
      v = v * 16 + static_cast<uint32_t>(d);
      ++pos_;
    }
    return v;
  }

  void ReadString(Token& t) {
    t.kind = Token::Kind::kString;
    ++pos_;  // opening quote
    for (;;) {
      if (pos_ >= src_.size() || src_[pos_] == '\n') Fail("unterminated string");
      char c = src_[pos_];
      if (c == '"') {
        ++pos_;
        return;
      }
      if (c != '\\') {
        AppendCodePoint(t.value, ReadUtf8());
        continue;
      }
      ++pos_;
      if (pos_ >= src_.size()) Fail("unterminated string");
      char e = src_[pos_++];
      switch (e) {
        case '\\': t.value += u'\\'; break;
        case '"': t.value += u'"'; break;
        case 'n': t.value += u'\n'; break;
        case 'r': t.value += u'\r'; break;
        case 't': t.value += u'\t'; break;
        case '0': t.value += u'\0'; break;
        case 'x': t.value += static_cast<char16_t>(ReadHex(2)); break;
        case 'u': t.value += static_cast<char16_t>(ReadHex(4)); break;
        case 'U': {
          uint32_t cp = ReadHex(8);
          if (cp > 0x10FFFF) Fail("code point out of range");
          AppendCodePoint(t.value, cp);
          break;
        }
        default:
          Fail(std::string("unknown escape \\") + e);
      }
    }
  }

  const std::string& src_;
  std::string file_;
  size_t start_ = 0;  // where the text starts (after a byte-order mark)
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

std::vector<Token> Tokenize(const std::string& source, const std::string& file_name) {
  return Lexer(source, file_name).Run();
}

void AppendCodePoint(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  } else {
    out += static_cast<char16_t>(cp);
  }
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace wurc
