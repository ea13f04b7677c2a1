#include "platform/text/wprintf.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"

namespace {

bool IsHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }

// ---- Output -----------------------------------------------------------------------

// Bounded output: keeps the first `room` units and counts all of them.
class Sink {
 public:
  Sink(WCHAR* out, size_t room) : out_(out), room_(room) {}

  void Put(WCHAR c) {
    if (count_ < room_)
      out_[count_] = c;
    else if (count_ == room_)
      first_dropped_ = c;
    ++count_;
  }
  // n copies of c; what cannot be kept is only counted.
  void Fill(WCHAR c, size_t n) {
    for (; n > 0 && count_ <= room_; --n) Put(c);
    count_ += n;
  }
  void Write(const WCHAR* text, size_t n) {
    for (size_t i = 0; i < n; ++i) Put(text[i]);
  }
  void WriteAscii(const char* text, size_t n) {
    for (size_t i = 0; i < n; ++i) Put(static_cast<unsigned char>(text[i]));
  }

  // Length of the whole result so far.
  size_t count() const { return count_; }

  // Returns the number of units kept and, when asked, terminates them. A
  // surrogate pair cut in half by the end of the room is dropped whole.
  size_t Finish(bool terminate) {
    size_t kept = count_ < room_ ? count_ : room_;
    if (count_ > room_ && kept > 0 && IsHighSurrogate(out_[kept - 1]) &&
        IsLowSurrogate(first_dropped_))
      --kept;
    if (terminate) out_[kept] = 0;
    return kept;
  }

 private:
  WCHAR* out_;               // output; room_ units plus the terminator
  size_t room_;              // units that may be kept
  size_t count_ = 0;         // units of the whole result
  WCHAR first_dropped_ = 0;  // the first unit that was not kept
};

// ---- Arguments ----------------------------------------------------------------------

// Where a conversion takes its argument from: a va_list, or the numbered
// inserts of a message.
class Args {
 public:
  virtual ~Args() = default;
  virtual int32_t Int32() = 0;
  virtual int64_t Int64() = 0;
  virtual uintptr_t Pointer() = 0;
  virtual double Double() = 0;
  virtual long double LongDouble() = 0;
};

class VaArgs final : public Args {
 public:
  explicit VaArgs(va_list args) { va_copy(args_, args); }
  ~VaArgs() override { va_end(args_); }
  VaArgs(const VaArgs&) = delete;
  VaArgs& operator=(const VaArgs&) = delete;

  int32_t Int32() override { return va_arg(args_, int32_t); }
  int64_t Int64() override { return va_arg(args_, int64_t); }
  uintptr_t Pointer() override { return va_arg(args_, uintptr_t); }
  double Double() override { return va_arg(args_, double); }
  long double LongDouble() override { return va_arg(args_, long double); }

 private:
  va_list args_;  // our own copy; the caller's list is not advanced
};

// Pointer-sized slots read in order from a start index (message inserts).
// A floating-point slot holds the bits of a double.
class SlotArgs final : public Args {
 public:
  SlotArgs(const DWORD_PTR* slots, size_t first) : slots_(slots), next_(first) {}

  int32_t Int32() override { return static_cast<int32_t>(slots_[next_++]); }
  int64_t Int64() override { return static_cast<int64_t>(slots_[next_++]); }
  uintptr_t Pointer() override { return slots_[next_++]; }
  double Double() override {
    double d;
    DWORD_PTR bits = slots_[next_++];
    static_assert(sizeof(d) == sizeof(bits));
    std::memcpy(&d, &bits, sizeof d);
    return d;
  }
  long double LongDouble() override { return Double(); }

 private:
  const DWORD_PTR* slots_;  // the caller's array (or our copy of a va_list)
  size_t next_;             // index of the next slot
};

// ---- Conversion directives ------------------------------------------------------

// Size prefix of a conversion.
enum class Size {
  kNone,        // int / double
  kChar,        // hh
  kShort,       // h (also: narrow text or character)
  kLong,        // l, w (32-bit; also: wide text or character)
  kLongLong,    // ll, I64, j
  kPtr,         // I, z, t
  kInt32,       // I32
  kLongDouble,  // L
};

// One parsed %-directive.
struct Spec {
  bool left = false;   // '-': pad on the right
  bool plus = false;   // '+': signed conversions show '+'
  bool space = false;  // ' ': signed conversions show ' '
  bool alt = false;    // '#': alternative form
  bool zero = false;   // '0': pad with zeros
  int width = 0;       // minimum width in units
  int precision = -1;  // -1 when absent
  int stars = 0;       // number of '*' in width and precision
  Size size = Size::kNone;
  WCHAR conv = 0;      // conversion character
};

bool IsDigit(WCHAR c) { return c >= '0' && c <= '9'; }

// Reads a decimal number, saturating at INT_MAX.
int ReadNumber(const WCHAR*& p) {
  int64_t n = 0;
  for (; IsDigit(*p); ++p) {
    n = n * 10 + (*p - '0');
    if (n > INT_MAX) n = INT_MAX;
  }
  return static_cast<int>(n);
}

// Parses the directive after a '%'. '*' values are read from `args`
// when given (otherwise only counted). Returns the position after the
// conversion character, or nullptr when the format ends first.
const WCHAR* ParseSpec(const WCHAR* p, Spec& spec, Args* args) {
  for (;; ++p) {
    if (*p == '-') spec.left = true;
    else if (*p == '+') spec.plus = true;
    else if (*p == ' ') spec.space = true;
    else if (*p == '#') spec.alt = true;
    else if (*p == '0') spec.zero = true;
    else break;
  }
  if (*p == '*') {
    ++p;
    ++spec.stars;
    if (args) {
      int64_t w = args->Int32();
      if (w < 0) {
        spec.left = true;
        w = -w;
      }
      spec.width = static_cast<int>(w > INT_MAX ? INT_MAX : w);
    }
  } else {
    spec.width = ReadNumber(p);
  }
  if (*p == '.') {
    ++p;
    if (*p == '*') {
      ++p;
      ++spec.stars;
      if (args) {
        int32_t v = args->Int32();
        spec.precision = v < 0 ? -1 : v;
      }
    } else {
      spec.precision = ReadNumber(p);
    }
  }
  switch (*p) {
    case 'h':
      ++p;
      spec.size = Size::kShort;
      if (*p == 'h') {
        ++p;
        spec.size = Size::kChar;
      }
      break;
    case 'l':
      ++p;
      spec.size = Size::kLong;
      if (*p == 'l') {
        ++p;
        spec.size = Size::kLongLong;
      }
      break;
    case 'w': ++p; spec.size = Size::kLong; break;
    case 'L': ++p; spec.size = Size::kLongDouble; break;
    case 'j': ++p; spec.size = Size::kLongLong; break;
    case 'z':
    case 't': ++p; spec.size = Size::kPtr; break;
    case 'I':
      ++p;
      if (p[0] == '6' && p[1] == '4') {
        p += 2;
        spec.size = Size::kLongLong;
      } else if (p[0] == '3' && p[1] == '2') {
        p += 2;
        spec.size = Size::kInt32;
      } else {
        spec.size = Size::kPtr;
      }
      break;
    default: break;
  }
  if (*p == 0) return nullptr;
  spec.conv = *p;
  return p + 1;
}

bool IsIntegerConv(WCHAR c) {
  return c == 'd' || c == 'i' || c == 'u' || c == 'o' || c == 'x' || c == 'X';
}
bool IsFloatConv(WCHAR c) {
  return c == 'e' || c == 'E' || c == 'f' || c == 'F' || c == 'g' || c == 'G' || c == 'a' ||
         c == 'A';
}

// ---- Conversions -----------------------------------------------------------------------

// Pads a body of `body` units to the width, before or after it.
size_t PadCount(const Spec& spec, size_t body) {
  return static_cast<size_t>(spec.width) > body ? spec.width - body : 0;
}

void EmitInteger(Sink& sink, const Spec& spec, Args& args) {
  const bool is_signed = spec.conv == 'd' || spec.conv == 'i';
  uint64_t magnitude;
  bool negative = false;
  if (is_signed) {
    int64_t v;
    switch (spec.size) {
      case Size::kChar: v = static_cast<signed char>(args.Int32()); break;
      case Size::kShort: v = static_cast<int16_t>(args.Int32()); break;
      case Size::kLongLong: v = args.Int64(); break;
      case Size::kPtr: v = static_cast<intptr_t>(args.Pointer()); break;
      default: v = args.Int32(); break;
    }
    negative = v < 0;
    magnitude = negative ? static_cast<uint64_t>(-(v + 1)) + 1 : static_cast<uint64_t>(v);
  } else {
    switch (spec.size) {
      case Size::kChar: magnitude = static_cast<uint8_t>(args.Int32()); break;
      case Size::kShort: magnitude = static_cast<uint16_t>(args.Int32()); break;
      case Size::kLongLong: magnitude = static_cast<uint64_t>(args.Int64()); break;
      case Size::kPtr: magnitude = args.Pointer(); break;
      default: magnitude = static_cast<uint32_t>(args.Int32()); break;
    }
  }

  const unsigned base = spec.conv == 'o' ? 8 : (spec.conv == 'x' || spec.conv == 'X') ? 16 : 10;
  const char* digit_chars = spec.conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char digits[24];  // most significant first
  size_t n = 0;
  if (magnitude != 0 || spec.precision != 0) {
    char reversed[24];
    do {
      reversed[n++] = digit_chars[magnitude % base];
      magnitude /= base;
    } while (magnitude != 0);
    for (size_t i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
  }
  const bool value_is_zero = n == 0 || (n == 1 && digits[0] == '0');

  size_t zeros = spec.precision > 0 && static_cast<size_t>(spec.precision) > n
                     ? static_cast<size_t>(spec.precision) - n
                     : 0;
  if (spec.alt && base == 8 && zeros == 0 && (n == 0 || digits[0] != '0')) zeros = 1;

  char prefix[3];
  size_t prefix_len = 0;
  if (negative)
    prefix[prefix_len++] = '-';
  else if (is_signed && spec.plus)
    prefix[prefix_len++] = '+';
  else if (is_signed && spec.space)
    prefix[prefix_len++] = ' ';
  if (spec.alt && base == 16 && !value_is_zero) {
    prefix[prefix_len++] = '0';
    prefix[prefix_len++] = static_cast<char>(spec.conv);
  }

  size_t pad = PadCount(spec, prefix_len + zeros + n);
  if (spec.left) {
    sink.WriteAscii(prefix, prefix_len);
    sink.Fill('0', zeros);
    sink.WriteAscii(digits, n);
    sink.Fill(' ', pad);
  } else if (spec.zero && spec.precision < 0) {
    sink.WriteAscii(prefix, prefix_len);
    sink.Fill('0', pad + zeros);
    sink.WriteAscii(digits, n);
  } else {
    sink.Fill(' ', pad);
    sink.WriteAscii(prefix, prefix_len);
    sink.Fill('0', zeros);
    sink.WriteAscii(digits, n);
  }
}

// Floating point through the C runtime's snprintf, which fixes the digits;
// the width is applied here. Returns false when the runtime fails or memory
// runs out.
bool EmitFloat(Sink& sink, const Spec& spec, Args& args, bool enabled) {
  const bool long_double = spec.size == Size::kLongDouble;
  long double ld = 0;
  double d = 0;
  if (long_double)
    ld = args.LongDouble();
  else
    d = args.Double();
  if (!enabled) return true;

  char format[48];
  size_t f = 0;
  format[f++] = '%';
  if (spec.plus) format[f++] = '+';
  if (spec.space) format[f++] = ' ';
  if (spec.alt) format[f++] = '#';
  if (spec.precision >= 0) f += std::snprintf(format + f, sizeof format - f, ".%d", spec.precision);
  if (long_double) format[f++] = 'L';
  format[f++] = static_cast<char>(spec.conv);
  format[f] = 0;

  char small[512];
  char* text = small;
  int n = long_double ? std::snprintf(small, sizeof small, format, ld)
                      : std::snprintf(small, sizeof small, format, d);
  if (n < 0) return false;
  if (static_cast<size_t>(n) >= sizeof small) {
    text = static_cast<char*>(std::malloc(static_cast<size_t>(n) + 1));
    if (!text) return false;
    if (long_double)
      std::snprintf(text, static_cast<size_t>(n) + 1, format, ld);
    else
      std::snprintf(text, static_cast<size_t>(n) + 1, format, d);
  }

  const size_t len = static_cast<size_t>(n);
  const size_t pad = PadCount(spec, len);
  const bool finite = long_double ? std::isfinite(ld) : std::isfinite(d);
  if (spec.left) {
    sink.WriteAscii(text, len);
    sink.Fill(' ', pad);
  } else if (spec.zero && finite) {
    // Zeros go after the sign and after a "0x" prefix.
    size_t head = (text[0] == '-' || text[0] == '+' || text[0] == ' ') ? 1 : 0;
    if ((spec.conv == 'a' || spec.conv == 'A') && head + 1 < len && text[head] == '0' &&
        (text[head + 1] == 'x' || text[head + 1] == 'X'))
      head += 2;
    sink.WriteAscii(text, head);
    sink.Fill('0', pad);
    sink.WriteAscii(text + head, len - head);
  } else {
    sink.Fill(' ', pad);
    sink.WriteAscii(text, len);
  }
  if (text != small) std::free(text);
  return true;
}

// A narrow text in the ANSI code page as UTF-16, at most `limit` units
// (-1: all), never ending in half a surrogate pair.
std::u16string WidenNarrow(const char* text, int limit) {
  std::u16string out;
  const UINT page = GetACP();
  const size_t max = limit < 0 ? SIZE_MAX : static_cast<size_t>(limit);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (*p && out.size() < max) {
    // One character: a single byte, or a UTF-8 sequence as far as it is
    // well-formed (the decoder then turns a broken one into U+FFFD).
    int bytes = 1;
    if (page == CP_UTF8 && *p >= 0xC0) {
      int expect = *p >= 0xF0 ? 4 : (*p >= 0xE0 ? 3 : 2);
      while (bytes < expect && (p[bytes] & 0xC0) == 0x80) ++bytes;
    }
    WCHAR units[8];
    int k = MultiByteToWideChar(page, 0, reinterpret_cast<const char*>(p), bytes, units, 8);
    if (k <= 0) {
      units[0] = 0xFFFD;
      k = 1;
    }
    if (out.size() + static_cast<size_t>(k) > max) {
      // Take the units that fit unless that would split a pair.
      for (int i = 0; i < k && out.size() < max; ++i) {
        if (IsHighSurrogate(units[i])) break;
        out.push_back(units[i]);
      }
      break;
    }
    out.append(units, static_cast<size_t>(k));
    p += bytes;
  }
  return out;
}

// One character of the narrow character set as UTF-16 (U+FFFD when it is
// not a whole character; a zero byte stays 0).
WCHAR WidenByte(unsigned char byte) {
  if (byte == 0) return 0;
  WCHAR units[2];
  char b = static_cast<char>(byte);
  return MultiByteToWideChar(CP_ACP, 0, &b, 1, units, 2) == 1 ? units[0] : WCHAR(0xFFFD);
}

void EmitPadded(Sink& sink, const Spec& spec, const WCHAR* text, size_t len) {
  size_t pad = PadCount(spec, len);
  if (spec.left) {
    sink.Write(text, len);
    sink.Fill(' ', pad);
  } else {
    sink.Fill(spec.zero ? '0' : ' ', pad);
    sink.Write(text, len);
  }
}

void EmitChar(Sink& sink, const Spec& spec, Args& args) {
  const bool wide = spec.conv == 'c' ? spec.size != Size::kShort : spec.size == Size::kLong;
  int32_t v = args.Int32();
  WCHAR c = wide ? static_cast<WCHAR>(v) : WidenByte(static_cast<unsigned char>(v));
  EmitPadded(sink, spec, &c, 1);
}

void EmitString(Sink& sink, const Spec& spec, Args& args) {
  const bool wide = spec.conv == 's' ? spec.size != Size::kShort : spec.size == Size::kLong;
  uintptr_t value = args.Pointer();
  if (wide) {
    const WCHAR* text = value ? reinterpret_cast<const WCHAR*>(value) : u"(null)";
    size_t len = 0;
    if (spec.precision < 0) {
      while (text[len]) ++len;
    } else {
      const size_t max = static_cast<size_t>(spec.precision);
      while (len < max && text[len]) ++len;
      // A cut at the precision never keeps half a surrogate pair.
      if (len == max && len > 0 && IsHighSurrogate(text[len - 1])) --len;
    }
    EmitPadded(sink, spec, text, len);
  } else {
    const char* text = value ? reinterpret_cast<const char*>(value) : "(null)";
    std::u16string wide_text = WidenNarrow(text, spec.precision);
    EmitPadded(sink, spec, wide_text.data(), wide_text.size());
  }
}

void EmitPointer(Sink& sink, const Spec& spec, Args& args) {
  uintptr_t value = args.Pointer();
  WCHAR digits[2 * sizeof(uintptr_t)];
  for (size_t i = 0; i < 2 * sizeof(uintptr_t); ++i)
    digits[i] = "0123456789ABCDEF"[(value >> (4 * (2 * sizeof(uintptr_t) - 1 - i))) & 0xF];
  Spec padding = spec;
  padding.zero = false;
  EmitPadded(sink, padding, digits, 2 * sizeof(uintptr_t));
}

enum class Emitted { kDone, kUnknown, kFailed };

Emitted EmitConversion(Sink& sink, const Spec& spec, Args& args, bool floats) {
  if (IsIntegerConv(spec.conv)) {
    EmitInteger(sink, spec, args);
    return Emitted::kDone;
  }
  if (IsFloatConv(spec.conv))
    return EmitFloat(sink, spec, args, floats) ? Emitted::kDone : Emitted::kFailed;
  switch (spec.conv) {
    case 'c':
    case 'C': EmitChar(sink, spec, args); return Emitted::kDone;
    case 's':
    case 'S': EmitString(sink, spec, args); return Emitted::kDone;
    case 'p': EmitPointer(sink, spec, args); return Emitted::kDone;
    case 'n': args.Pointer(); return Emitted::kDone;
    case '%': sink.Put('%'); return Emitted::kDone;
    default: return Emitted::kUnknown;
  }
}

size_t TextLength(const WCHAR* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

// The formatting loop shared by every entry point. Returns false when a
// conversion failed.
bool FormatCore(Sink& sink, const WCHAR* format, Args& args, bool floats) {
  const WCHAR* p = format;
  while (*p) {
    if (*p != '%') {
      sink.Put(*p++);
      continue;
    }
    Spec spec;
    const WCHAR* next = ParseSpec(p + 1, spec, &args);
    if (!next) {  // cut short by the end of the format
      sink.Write(p, TextLength(p));
      break;
    }
    Emitted e = EmitConversion(sink, spec, args, floats);
    if (e == Emitted::kFailed) return false;
    if (e == Emitted::kUnknown) sink.Write(p, static_cast<size_t>(next - p));
    p = next;
  }
  return true;
}

// ---- System message texts -------------------------------------------------------------

struct SystemMessage {
  DWORD id;             // Win32 error number or status code
  const char16_t* text;  // English text, ending in "\r\n"
};

constexpr SystemMessage kSystemMessages[] = {
    {0, u"The operation completed successfully.\r\n"},
    {1, u"Incorrect function.\r\n"},
    {2, u"The system cannot find the file specified.\r\n"},
    {3, u"The system cannot find the path specified.\r\n"},
    {4, u"The system cannot open the file.\r\n"},
    {5, u"Access is denied.\r\n"},
    {6, u"The handle is invalid.\r\n"},
    {8, u"Not enough memory resources are available to process this command.\r\n"},
    {11, u"An attempt was made to load a program with an incorrect format.\r\n"},
    {13, u"The data is invalid.\r\n"},
    {14, u"Not enough memory resources are available to complete this operation.\r\n"},
    {15, u"The system cannot find the drive specified.\r\n"},
    {17, u"The system cannot move the file to a different disk drive.\r\n"},
    {18, u"There are no more files.\r\n"},
    {19, u"The media is write protected.\r\n"},
    {21, u"The device is not ready.\r\n"},
    {25, u"The drive cannot locate a specific area or track on the disk.\r\n"},
    {29, u"The system cannot write to the specified device.\r\n"},
    {30, u"The system cannot read from the specified device.\r\n"},
    {31, u"A device attached to the system is not functioning.\r\n"},
    {32, u"The process cannot access the file because it is being used by another "
         u"process.\r\n"},
    {33, u"The process cannot access the file because another process has locked a "
         u"portion of the file.\r\n"},
    {38, u"Reached the end of the file.\r\n"},
    {39, u"The disk is full.\r\n"},
    {50, u"The request is not supported.\r\n"},
    {80, u"The file exists.\r\n"},
    {87, u"The parameter is incorrect.\r\n"},
    {109, u"The pipe has been ended.\r\n"},
    {112, u"There is not enough space on the disk.\r\n"},
    {120, u"This function is not supported on this system.\r\n"},
    {122, u"The data area passed to a system call is too small.\r\n"},
    {123, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {126, u"The specified module could not be found.\r\n"},
    {127, u"The specified procedure could not be found.\r\n"},
    {131, u"An attempt was made to move the file pointer before the beginning of the "
          u"file.\r\n"},
    {145, u"The directory is not empty.\r\n"},
    {158, u"The segment is already unlocked.\r\n"},
    {161, u"The specified path is invalid.\r\n"},
    {170, u"The requested resource is in use.\r\n"},
    {183, u"Cannot create a file when that file already exists.\r\n"},
    {193, u"%1 is not a valid Win32 application.\r\n"},
    {203, u"The system could not find the environment option that was entered.\r\n"},
    {206, u"The filename or extension is too long.\r\n"},
    {234, u"More data is available.\r\n"},
    {258, u"The wait operation timed out.\r\n"},
    {259, u"No more data is available.\r\n"},
    {267, u"The directory name is invalid.\r\n"},
    {288, u"Attempt to release mutex not owned by caller.\r\n"},
    {298, u"Too many posts were made to a semaphore.\r\n"},
    {317, u"The system cannot find message text for message number 0x%1 in the message "
          u"file for %2.\r\n"},
    {740, u"The requested operation requires elevation.\r\n"},
    {998, u"Invalid access to memory location.\r\n"},
    {1004, u"Invalid flags.\r\n"},
    {1006, u"The volume for a file has been externally altered so that the opened file is "
           u"no longer valid.\r\n"},
    {1009, u"The configuration registry database is corrupt.\r\n"},
    {1010, u"The configuration registry key is invalid.\r\n"},
    {1011, u"The configuration registry key could not be opened.\r\n"},
    {1012, u"The configuration registry key could not be read.\r\n"},
    {1013, u"The configuration registry key could not be written.\r\n"},
    {1018, u"Illegal operation attempted on a registry key that has been marked for "
           u"deletion.\r\n"},
    {1113, u"No mapping for the Unicode character exists in the target multi-byte code "
           u"page.\r\n"},
    {1223, u"The operation was canceled by the user.\r\n"},
    {1400, u"Invalid window handle.\r\n"},
    {1407, u"Cannot find window class.\r\n"},
    {1410, u"Class already exists.\r\n"},
    {1460, u"This operation returned because the timeout period expired.\r\n"},
    {1812, u"The specified image file did not contain a resource section.\r\n"},
    {1813, u"The specified resource type cannot be found in the image file.\r\n"},
    {1814, u"The specified resource name cannot be found in the image file.\r\n"},
    {1815, u"The specified resource language ID cannot be found in the image file.\r\n"},
    // Status codes of the component layer.
    {0x80004001u, u"Not implemented\r\n"},
    {0x80004002u, u"No such interface supported\r\n"},
    {0x80004003u, u"Invalid pointer\r\n"},
    {0x80004004u, u"Operation aborted\r\n"},
    {0x80004005u, u"Unspecified error\r\n"},
    {0x8000FFFFu, u"Catastrophic failure\r\n"},
    {0x80040110u, u"Class does not support aggregation (or class object is remote)\r\n"},
    {0x80040111u, u"ClassFactory cannot supply requested class\r\n"},
    {0x80040154u, u"Class not registered\r\n"},
};

// The text of a message number, or nullptr. A Win32 error in its HRESULT
// form (0x8007xxxx) has the text of the error number.
const WCHAR* FindSystemMessage(DWORD id) {
  for (const SystemMessage& m : kSystemMessages)
    if (m.id == id) return m.text;
  if ((id & 0xFFFF0000u) == 0x80070000u && (id & 0xFFFF) != 0)
    return FindSystemMessage(id & 0xFFFF);
  return nullptr;
}

// ---- Message expansion ------------------------------------------------------------------

// One numbered insert of a message text.
struct Insert {
  int number = 0;                // 1..99
  const WCHAR* digits_end = nullptr;  // position after the number
  std::u16string spec;           // printf directive with its '%'
  const WCHAR* end = nullptr;    // position after the insert (and its "!spec!")
};

// Parses an insert whose first digit is at p. False when a "!spec!" is not
// closed.
bool ParseInsert(const WCHAR* p, Insert& insert) {
  insert.number = *p++ - '0';
  if (IsDigit(*p)) insert.number = insert.number * 10 + (*p++ - '0');
  insert.digits_end = p;
  if (*p != '!') {
    insert.spec = u"%s";
    insert.end = p;
    return true;
  }
  const WCHAR* close = p + 1;
  while (*close && *close != '!') ++close;
  if (!*close) return false;
  insert.spec = u"%";
  insert.spec.append(p + 1, close);
  insert.end = close + 1;
  return true;
}

// What a va_list argument of an insert is read as.
enum class Slot : uint8_t { kUnknown, kInt32, kInt64, kPointer, kDouble };

// The slot kinds an insert's directive reads, in order.
void SlotKinds(const std::u16string& spec, std::vector<Slot>& kinds) {
  Spec s;
  if (!ParseSpec(spec.c_str() + 1, s, nullptr)) {
    kinds.push_back(Slot::kPointer);
    return;
  }
  for (int i = 0; i < s.stars; ++i) kinds.push_back(Slot::kInt32);
  if (IsIntegerConv(s.conv) || s.conv == 'c' || s.conv == 'C') {
    kinds.push_back(s.size == Size::kLongLong ? Slot::kInt64
                    : s.size == Size::kPtr    ? Slot::kPointer
                                              : Slot::kInt32);
  } else if (IsFloatConv(s.conv)) {
    kinds.push_back(Slot::kDouble);
  } else {
    kinds.push_back(Slot::kPointer);
  }
}

// Reads a va_list into pointer-sized slots, one per insert of the text, each
// with the type its directive names.
std::vector<DWORD_PTR> ReadInsertArguments(const WCHAR* text, va_list* args) {
  std::vector<Slot> kinds;
  for (const WCHAR* p = text; *p; ++p) {
    if (*p != '%' || !p[1]) continue;
    if (p[1] == '0') break;  // the output ends here; later inserts are never read
    if (p[1] < '1' || p[1] > '9') {
      ++p;  // an escape: skip its character
      continue;
    }
    Insert insert;
    if (!ParseInsert(p + 1, insert)) break;
    std::vector<Slot> own;
    SlotKinds(insert.spec, own);
    size_t first = static_cast<size_t>(insert.number - 1);
    if (kinds.size() < first + own.size()) kinds.resize(first + own.size(), Slot::kUnknown);
    for (size_t i = 0; i < own.size(); ++i)
      if (kinds[first + i] == Slot::kUnknown) kinds[first + i] = own[i];
    p = insert.end - 1;
  }
  std::vector<DWORD_PTR> slots(kinds.size());
  va_list list;
  va_copy(list, *args);
  for (size_t i = 0; i < kinds.size(); ++i) {
    switch (kinds[i]) {
      case Slot::kInt32: slots[i] = static_cast<DWORD_PTR>(va_arg(list, int32_t)); break;
      case Slot::kInt64: slots[i] = static_cast<DWORD_PTR>(va_arg(list, int64_t)); break;
      case Slot::kDouble: {
        double d = va_arg(list, double);
        std::memcpy(&slots[i], &d, sizeof d);
        break;
      }
      default: slots[i] = va_arg(list, DWORD_PTR); break;
    }
  }
  va_end(list);
  return slots;
}

// Appends one insert formatted from the slots. False when memory runs out.
bool AppendInsert(std::u16string& out, const Insert& insert, const DWORD_PTR* slots) {
  const size_t first = static_cast<size_t>(insert.number - 1);
  SlotArgs measure_args(slots, first);
  Sink measure(nullptr, 0);
  if (!FormatCore(measure, insert.spec.c_str(), measure_args, true)) return false;
  const size_t at = out.size();
  out.resize(at + measure.count() + 1);
  SlotArgs args(slots, first);
  Sink sink(out.data() + at, measure.count());
  if (!FormatCore(sink, insert.spec.c_str(), args, true)) return false;
  out.resize(at + sink.Finish(true));
  return true;
}

// Expands a message text into `out`. Returns 0 or a Win32 error.
DWORD ExpandMessage(const WCHAR* text, DWORD flags, const DWORD_PTR* slots,
                    std::u16string& out) {
  const bool join_lines = (flags & FORMAT_MESSAGE_MAX_WIDTH_MASK) != 0;
  const bool ignore_inserts = (flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0;
  const WCHAR* p = text;
  while (*p) {
    const WCHAR c = *p;
    if (c == '%') {
      const WCHAR n = p[1];
      if (n == 0) {
        out.push_back('%');
        break;
      }
      if (n == '0') break;
      if (n >= '1' && n <= '9') {
        Insert insert;
        bool closed = ParseInsert(p + 1, insert);
        if (ignore_inserts) {
          out.append(p, insert.digits_end);
          p = insert.digits_end;
          continue;
        }
        if (!closed || !slots) return ERROR_INVALID_PARAMETER;
        if (!AppendInsert(out, insert, slots)) return ERROR_NOT_ENOUGH_MEMORY;
        p = insert.end;
        continue;
      }
      switch (n) {
        case 'n': out.append(u"\r\n"); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        default: out.push_back(n); break;
      }
      p += 2;
      continue;
    }
    if (join_lines && (c == '\r' || c == '\n')) {
      out.push_back(' ');
      p += (c == '\r' && p[1] == '\n') ? 2 : 1;
      continue;
    }
    out.push_back(c);
    ++p;
  }
  return ERROR_SUCCESS;
}

// Hands the expanded text to the caller. Returns its length, or 0 with the
// last error set.
DWORD DeliverMessage(const std::u16string& text, DWORD flags, LPWSTR buffer, DWORD size) {
  const size_t len = text.size();
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    size_t units = len + 1 > size ? len + 1 : size;
    auto* block = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, units * sizeof(WCHAR)));
    if (!block) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(block, text.c_str(), (len + 1) * sizeof(WCHAR));
    *reinterpret_cast<LPWSTR*>(buffer) = block;
    return static_cast<DWORD>(len);
  }
  if (len + 1 > size) {
    if (size > 0) buffer[0] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(buffer, text.c_str(), (len + 1) * sizeof(WCHAR));
  return static_cast<DWORD>(len);
}

}  // namespace

// ---- Entry points -------------------------------------------------------------------------

namespace platform {

int FormatV(WCHAR* out, size_t size, const WCHAR* format, va_list args) {
  if (!out && size > 0) return -1;
  if (!format) {
    if (size > 0) out[0] = 0;
    return -1;
  }
  Sink sink(out, size > 0 ? size - 1 : 0);
  bool ok;
  try {
    VaArgs list(args);
    ok = FormatCore(sink, format, list, true);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (size > 0) sink.Finish(true);
  if (!ok || sink.count() > static_cast<size_t>(INT_MAX)) return -1;
  return static_cast<int>(sink.count());
}

int Format(WCHAR* out, size_t size, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatV(out, size, format, args);
  va_end(args);
  return n;
}

}  // namespace platform

int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args) {
  if (!out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  Sink sink(out, WSPRINTF_LIMIT - 1);
  if (format) {
    try {
      VaArgs list(args);
      FormatCore(sink, format, list, false);
    } catch (const std::bad_alloc&) {
      // What was formatted so far stays.
    }
  }
  return static_cast<int>(sink.Finish(true));
}

int wsprintfW(LPWSTR out, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int n = wvsprintfW(out, format, args);
  va_end(args);
  return n;
}

DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD message_id, DWORD language_id,
                     LPWSTR buffer, DWORD size, va_list* args) {
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) *reinterpret_cast<LPWSTR*>(buffer) = nullptr;

  const WCHAR* text = nullptr;
  if (flags & FORMAT_MESSAGE_FROM_STRING) {
    text = static_cast<const WCHAR*>(source);
    if (!text) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  } else if (flags & (FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE)) {
    // No module carries message tables yet, so only the system texts remain.
    if (flags & FORMAT_MESSAGE_FROM_SYSTEM) text = FindSystemMessage(message_id);
    if (!text) {
      SetLastError((flags & FORMAT_MESSAGE_FROM_SYSTEM) ? ERROR_MR_MID_NOT_FOUND
                                                        : ERROR_RESOURCE_TYPE_NOT_FOUND);
      return 0;
    }
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }

  try {
    std::vector<DWORD_PTR> copied;
    const DWORD_PTR* slots = nullptr;
    if (args && !(flags & FORMAT_MESSAGE_IGNORE_INSERTS)) {
      if (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) {
        slots = reinterpret_cast<const DWORD_PTR*>(args);
      } else {
        // A text without inserts reads nothing; it still has (empty) arguments.
        static const DWORD_PTR kNoSlots[1] = {0};
        copied = ReadInsertArguments(text, args);
        slots = copied.empty() ? kNoSlots : copied.data();
      }
    }
    std::u16string out;
    DWORD error = ExpandMessage(text, flags, slots, out);
    if (error != ERROR_SUCCESS) {
      if (!(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) && size > 0) buffer[0] = 0;
      SetLastError(error);
      return 0;
    }
    return DeliverMessage(out, flags, buffer, size);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
}
