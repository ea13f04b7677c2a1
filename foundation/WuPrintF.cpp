#include "foundation/WuPrintF.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuList.h"
#include "foundation/WuNumber.h"
#include "foundation/WuString.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/com/sound.h"
#include "platform/user/windows.h"
#include "platform/text/wprintf.h"

namespace {

// Characters of each working buffer of the engine: a conversion
// directive, a token name, one numeric conversion, a number reference.
constexpr int kWork = 260;

// ---- Output ---------------------------------------------------------------------------

// A bounded output: at most size-1 characters, then a terminator.
class Output {
 public:
  Output(WCHAR* buffer, int size) : buffer_(buffer), size_(size) { buffer_[0] = 0; }

  bool Full() const { return full_; }
  int Length() const { return length_; }
  WCHAR* Here() { return buffer_ + length_; }
  int Room() const { return size_ - length_; }  // room for text and terminator

  void Put(WCHAR c) { Put(&c, 1); }
  void Put(const WCHAR* text) { Put(text, WuStrLenSafe(text)); }
  void Put(const WCHAR* text, int count) {
    int room = size_ - 1 - length_;
    if (count > room) {
      count = room;
      full_ = true;
    }
    for (int i = 0; i < count; ++i) buffer_[length_ + i] = text[i];
    length_ += count;
  }
  // Accounts for `written` characters that a formatter put at Here() and
  // whose complete length was `wanted`.
  void Advance(int written, int wanted) {
    length_ += written;
    if (wanted > written) full_ = true;
  }

  // Terminates; a cut output never ends in the first half of a surrogate
  // pair.
  int Finish() {
    if (full_ && length_ > 0 && buffer_[length_ - 1] >= 0xD800 && buffer_[length_ - 1] <= 0xDBFF)
      --length_;
    buffer_[length_] = 0;
    return length_;
  }

 private:
  WCHAR* buffer_;      // the caller's output
  int size_;           // its size in characters, terminator included
  int length_ = 0;     // characters written so far
  bool full_ = false;  // something did not fit
};

// ---- The token table ------------------------------------------------------------------

// One token: a single block holding the record, then the name, then (at
// the next 4-byte boundary) the value.
struct Token {
  DWORD reserved;    // always 0
  WCHAR* name;       // the name text, inside the block
  LONG valueLength;  // characters of the value
  WCHAR* value;      // the value text, inside the block
};

std::atomic<tWULIST*> g_tokens{nullptr};  // the process-wide token table

int CompareToken(INT_PTR, const void* key, const void* item) {
  return lstrcmpiW(static_cast<LPCWSTR>(key), static_cast<const Token*>(item)->name);
}

// Writes the value of a token; false when there is no such token. The
// value is copied while the table's lock is held.
bool PutToken(const WCHAR* name, Output* out) {
  tWULIST* list = g_tokens.load(std::memory_order_acquire);
  if (!list) return false;
  EnterCriticalSection(&list->lock);
  LONG index = WuList_FindSortedItemRange(list, name, 0, -1, CompareToken);
  if (index >= 0) {
    const Token* token = static_cast<const Token*>(WuList_PointerAt(list, index));
    out->Put(token->value, token->valueLength);
  }
  LeaveCriticalSection(&list->lock);
  return index >= 0;
}

// ---- Conversions ----------------------------------------------------------------------

bool IsConversion(WCHAR c) {
  switch (c) {
    case u'!':
    case u'&':
    case u'*':
    case u',':
    case u':':
    case u'E':
    case u'G':
    case u'X':
    case u'c':
    case u'd':
    case u'e':
    case u'f':
    case u'g':
    case u'i':
    case u'o':
    case u's':
    case u'u':
    case u'x':
    case u'z':
      return true;
    default:
      return false;
  }
}

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

bool Contains(const WCHAR* text, const WCHAR* part) {
  size_t n = static_cast<size_t>(WuStrLenSafe(part));
  for (; *text; ++text)
    if (WuLstrCmpN(text, part, static_cast<int>(n)) == 0) return true;
  return false;
}

// The directive takes a 64-bit integer: it holds the size prefix "I64"
// (or "ll").
bool Is64(const WCHAR* directive) {
  return Contains(directive, u"I64") || Contains(directive, u"ll");
}

// Writes the text of a numeric conversion, grouping it when asked.
void PutNumber(const WCHAR* text, bool group, Output* out) {
  if (!group) {
    out->Put(text);
    return;
  }
  WCHAR grouped[kWork];
  WuFormatNumber(text, grouped, kWork);
  out->Put(grouped);
}

// 'd' 'i' 'u' 'o' 'x' 'X'.
void ConvertInteger(const WCHAR* directive, WCHAR conversion, bool group, va_list* args,
                    Output* out) {
  WCHAR text[kWork];
  text[0] = 0;
  bool decimal = conversion == u'd' || conversion == u'i' || conversion == u'u';
  if (Is64(directive)) {
    LONGLONG value = va_arg(*args, LONGLONG);
    if (platform::Format(text, kWork, directive, value) <= 0) return;
  } else {
    int value = va_arg(*args, int);
    if (lstrcmpW(directive, u"%d") == 0 || lstrcmpW(directive, u"%i") == 0) {
      WuLongToText(value, text, group);
      out->Put(text);
      return;
    }
    if (lstrcmpW(directive, u"%u") == 0) {
      WuDWordToText(static_cast<DWORD>(value), text, group);
      out->Put(text);
      return;
    }
    if (platform::Format(text, kWork, directive, value) <= 0) return;
  }
  PutNumber(text, group && decimal, out);
}

// 'e' 'E' 'f' 'g' 'G'.
void ConvertDouble(const WCHAR* directive, WCHAR conversion, bool group, va_list* args,
                   Output* out) {
  double value = va_arg(*args, double);
  WCHAR text[kWork];
  if (platform::Format(text, kWork, directive, value) <= 0) return;
  bool exponent = Contains(text, u"e") || Contains(text, u"E");
  if (!group || conversion == u'e' || conversion == u'E' || exponent) {
    out->Put(text);
    return;
  }
  WCHAR local[kWork];
  if (conversion == u'f')
    WuFormatGroupDecimalNumber(text, local, kWork, -1);
  else
    WuFormatDecimalNumber(text, local, kWork);
  out->Put(local);
}

// 'z': "%.Nz" divides a 32-bit integer by 10^N; any other form is 'd'.
void ConvertFixed(WCHAR* directive, bool group, va_list* args, Output* out) {
  int decimals = 0;
  bool fixed = directive[1] == u'.' && IsDigit(directive[2]);
  const WCHAR* p = directive + 2;
  for (; fixed && IsDigit(*p); ++p) {
    decimals = decimals * 10 + (*p - u'0');
    if (decimals > 99) fixed = false;
  }
  fixed = fixed && *p == u'z' && p[1] == 0 && decimals != 0;
  if (!fixed) {
    directive[WuStrLenSafe(directive) - 1] = u'd';
    ConvertInteger(directive, u'd', group, args, out);
    return;
  }
  static const double kPowers[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  int value = va_arg(*args, int);
  double scaled = value / (decimals < 16 ? kPowers[decimals] : std::pow(10.0, decimals));
  WCHAR fixed_directive[16];
  platform::Format(fixed_directive, 16, u"%%.%df", decimals);
  WCHAR text[kWork];
  if (platform::Format(text, kWork, fixed_directive, scaled) <= 0) return;
  WCHAR local[kWork];
  if (group)
    WuFormatGroupDecimalNumber(text, local, kWork, decimals);
  else
    WuFormatDecimalNumber(text, local, kWork);
  out->Put(local);
}

// 'c' and 's': formatted straight into the output, bounded by its room.
void ConvertText(const WCHAR* directive, WCHAR conversion, va_list* args, Output* out) {
  int wanted;
  if (conversion == u'c') {
    int value = va_arg(*args, int);
    wanted = platform::Format(out->Here(), static_cast<size_t>(out->Room()), directive, value);
  } else if (Contains(directive, u"h")) {
    const char* value = va_arg(*args, const char*);
    wanted = platform::Format(out->Here(), static_cast<size_t>(out->Room()), directive, value);
  } else {
    const WCHAR* value = va_arg(*args, const WCHAR*);
    wanted = platform::Format(out->Here(), static_cast<size_t>(out->Room()), directive, value);
  }
  if (wanted <= 0) {
    *out->Here() = 0;
    return;
  }
  out->Advance(WuStrLenSafe(out->Here()), wanted);
}

// Writes an internationals text item; false when it is empty.
bool PutInat(int item, Output* out) {
  WCHAR text[WUINAT_NAME_CHARS];
  text[0] = 0;
  WuGetInat(item, text);
  if (!text[0]) return false;
  out->Put(text);
  return true;
}

// The conversion at `p` (its introducer, '%' or '$'). Returns where the
// engine continues, or NULL when the format ended inside the directive.
const WCHAR* Convert(const WCHAR* p, va_list* args, Output* out) {
  bool group = *p == u'$';
  WCHAR directive[kWork];
  int n = 0;
  directive[n++] = u'%';
  ++p;
  while (*p && !IsConversion(*p) && n < kWork - 2) directive[n++] = *p++;
  directive[n] = 0;
  if (!*p) {  // the format ended: the directive is written as it stands
    out->Put(directive, n);
    return nullptr;
  }
  if (!IsConversion(*p)) {  // overlong: written as it stands
    out->Put(directive, n);
    return p;
  }
  WCHAR conversion = *p++;
  directive[n++] = conversion;
  directive[n] = 0;

  switch (conversion) {
    case u'd':
    case u'i':
    case u'u':
    case u'o':
    case u'x':
    case u'X':
      ConvertInteger(directive, conversion, group, args, out);
      break;
    case u'e':
    case u'E':
    case u'f':
    case u'g':
    case u'G':
      ConvertDouble(directive, conversion, group, args, out);
      break;
    case u'z':
      ConvertFixed(directive, group, args, out);
      break;
    case u'c':
    case u's':
      ConvertText(directive, conversion, args, out);
      break;
    case u'*':
      PutInat(WUINAT_DECIMAL_SEP, out);
      break;
    case u',':
      PutInat(WUINAT_LIST_SEP, out);
      break;
    case u':':
      PutInat(WUINAT_TIME_SEP, out);
      break;
    case u'!':
    case u'&': {
      // The qualifier chooses the separator; it is consumed only when the
      // separator is not empty, and an unknown one stays in the text.
      int item = -1;
      if (conversion == u'!') {
        if (*p == u':')
          item = WUINAT_SMPTE_WHOLE_SEP;
        else if (*p == u'.')
          item = WUINAT_SMPTE_NONDROP_SEP;
        else if (*p == u',')
          item = WUINAT_SMPTE_DROP_SEP;
      } else {
        if (*p == u':')
          item = WUINAT_MEASURE_BEAT_SEP;
        else if (*p == u'.')
          item = WUINAT_BEAT_TICK_SEP;
      }
      if (item >= 0 && PutInat(item, out)) ++p;
      break;
    }
    default:
      break;
  }
  return p;
}

// ---- References -----------------------------------------------------------------------

// "$(" name ")": the token's value; an unknown or unclosed reference is
// written back as it stands.
const WCHAR* TokenReference(const WCHAR* p, Output* out) {
  const WCHAR* name = p + 2;
  int n = 0;
  while (name[n] && name[n] != u')' && n < kWork - 1) ++n;
  if (name[n] != u')') {
    out->Put(u"$(", 2);
    out->Put(name, n);
    return name + n;
  }
  WCHAR key[kWork];
  std::memcpy(key, name, static_cast<size_t>(n) * sizeof(WCHAR));
  key[n] = 0;
  if (!PutToken(key, out)) {
    out->Put(u"$(", 2);
    out->Put(name, n + 1);
  }
  return name + n + 1;
}

// A plain number: an optional leading '-', digits and at most one '.', with
// at least one digit.
bool IsPlainNumber(const WCHAR* text) {
  if (*text == u'-') ++text;
  int digits = 0, points = 0;
  for (; *text; ++text) {
    if (IsDigit(*text))
      ++digits;
    else if (*text == u'.')
      ++points;
    else
      return false;
  }
  return digits > 0 && points <= 1;
}

// "$(" number ")": the number grouped in the locale, its decimals kept. Any
// other ending, or a number the locale formatter refuses, is written back.
const WCHAR* NumberReference(const WCHAR* p, Output* out) {
  const WCHAR* number = p + 2;
  int n = 1;
  while (n < kWork - 1 && (IsDigit(number[n]) || number[n] == u'.' || number[n] == u',')) ++n;
  if (number[n] != u')') {
    out->Put(u"$(", 2);
    out->Put(number, n);
    return number + n;
  }
  // Commas of the reference are thousands separators of the source text.
  WCHAR plain[kWork];
  int k = 0;
  for (int i = 0; i < n; ++i)
    if (number[i] != u',') plain[k++] = number[i];
  plain[k] = 0;
  if (!IsPlainNumber(plain)) {  // "$(-)", "$(1.2.3)": written back
    out->Put(u"$(", 2);
    out->Put(number, n + 1);
  } else {
    WCHAR local[kWork];
    WuFormatGroupDecimalNumber(plain, local, kWork, -1);
    out->Put(local);
  }
  return number + n + 1;
}

}  // namespace

// ---- The engine -----------------------------------------------------------------------

int WuVPrintFN(WCHAR* out, int size, const WCHAR* format, va_list args) {
  if (!out || size <= 0) return 0;
  Output output(out, size);
  if (!format) return output.Finish();
  va_list ap;
  va_copy(ap, args);
  const WCHAR* p = format;
  while (p && *p && !output.Full()) {
    WCHAR c = *p;
    if (c != u'$' && c != u'%') {
      output.Put(c);
      ++p;
    } else if (c == u'$' && p[1] == u'$') {
      output.Put(u'$');
      p += 2;
    } else if (p[1] == u'%') {  // "%%" and "$%"
      output.Put(u'%');
      p += 2;
    } else if (c == u'$' && p[1] == u'(') {
      WCHAR first = p[2];
      p = (IsDigit(first) || first == u'-' || first == u'.') ? NumberReference(p, &output)
                                                             : TokenReference(p, &output);
    } else {
      p = Convert(p, &ap, &output);
    }
  }
  va_end(ap);
  return output.Finish();
}

int WuPrintFN(WCHAR* out, int size, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  int n = WuVPrintFN(out, size, format, args);
  va_end(args);
  return n;
}

int WuVPrintF(WCHAR* out, const WCHAR* format, va_list args) {
  return WuVPrintFN(out, WUPRINTF_MAX, format, args);
}

int WuPrintF(WCHAR* out, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  int n = WuVPrintFN(out, WUPRINTF_MAX, format, args);
  va_end(args);
  return n;
}

// ---- The token table ------------------------------------------------------------------

HRESULT WuPrintF_CreateTokens() {
  if (g_tokens.load(std::memory_order_acquire)) return S_OK;
  tWULIST* list = nullptr;
  // Owned items from the list's private heap, under the list's own lock.
  HRESULT hr =
      WuList_CreateExZ(&list, 0, 16, 16, WULIST_LOCKED | WULIST_OWNITEMS | WULIST_PRIVATEHEAP);
  if (FAILED(hr)) return hr;
  tWULIST* expected = nullptr;
  if (!g_tokens.compare_exchange_strong(expected, list)) WuList_Destroy(list);
  return S_OK;
}

HRESULT WuPrintF_DestroyTokens() {
  WuList_Destroy(g_tokens.exchange(nullptr));
  return 0;
}

BOOL WuPrintF_AddToken(LPCWSTR name, LPCWSTR value) {
  tWULIST* list = g_tokens.load(std::memory_order_acquire);
  if (!list || !name) return FALSE;
  if (!value) value = u"";
  size_t name_length = static_cast<size_t>(WuStrLenSafe(name));
  size_t value_length = static_cast<size_t>(WuStrLenSafe(value));
  size_t name_bytes = ((name_length + 1) * sizeof(WCHAR) + 3) & ~static_cast<size_t>(3);
  size_t bytes = sizeof(Token) + name_bytes + (value_length + 1) * sizeof(WCHAR);

  EnterCriticalSection(&list->lock);
  // The new token is made first, so that a failure keeps the old one.
  void* block = nullptr;
  BOOL done = FALSE;
  if (SUCCEEDED(WuList_AllocItem(list, bytes, &block))) {
    Token* token = static_cast<Token*>(block);
    token->reserved = 0;
    token->name = reinterpret_cast<WCHAR*>(token + 1);
    token->valueLength = static_cast<LONG>(value_length);
    token->value = reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(token->name) + name_bytes);
    std::memcpy(token->name, name, (name_length + 1) * sizeof(WCHAR));
    std::memcpy(token->value, value, (value_length + 1) * sizeof(WCHAR));

    LONG index = WuList_FindSortedInsertIndexRange(list, name, 0, -1, CompareToken);
    if (index < 0) index = list->count;
    bool replace = index < list->count && CompareToken(0, name, WuList_PointerAt(list, index)) == 0;
    if (SUCCEEDED(WuList_InsertList(list, index, nullptr, -1))) {
      if (replace) WuList_DeleteList(list, index + 1, 1, FALSE);
      done = TRUE;
    } else {
      WuList_DeleteList(list, -1, -1, FALSE);  // frees the pending item
    }
  }
  LeaveCriticalSection(&list->lock);
  return done;
}

BOOL WuPrintF_DeleteToken(LPCWSTR name) {
  tWULIST* list = g_tokens.load(std::memory_order_acquire);
  if (!list || !name) return FALSE;
  EnterCriticalSection(&list->lock);
  LONG index = WuList_FindSortedItemRange(list, name, 0, -1, CompareToken);
  if (index >= 0) WuList_DeleteList(list, index, 1, TRUE);
  LeaveCriticalSection(&list->lock);
  return index >= 0 ? TRUE : FALSE;
}

// ---- Helpers --------------------------------------------------------------------------

int WuComposeStr(WCHAR* out, int size, LPCWSTR message, ...) {
  if (!out || size <= 0) return 0;
  va_list args;
  va_start(args, message);
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING, message, 0, 0, out, static_cast<DWORD>(size),
                           &args);
  va_end(args);
  if (n == 0) out[0] = 0;
  return static_cast<int>(n);
}

void WuFormatFileSize(LONGLONG bytes, WCHAR* out, int size, BOOL longUnits) {
  if (!out || size <= 0) return;
  HWULANG lang = WuKernel_GetLangHandle();
  if (bytes < 0) bytes = 0;
  if (bytes >= 0x7000000000000000LL) {
    WuStrCpyNLen(out, WuGetString(lang, &WuLangRow_FileSizeHuge), size);
    return;
  }
  WCHAR value[kWork];
  WCHAR message[kWork];
  if (bytes < 999) {
    WuLongLongToText(bytes, value, FALSE);
    const WuLangStringRow* row = longUnits ? &WuLangRow_FileSizeBytes : &WuLangRow_FileSizeB;
    WuComposeStr(message, kWork, WuGetString(lang, row), value);
    WuStrCpyNLen(out, message, size);
    return;
  }
  static const WuLangStringRow* const kUnits[6] = {&WuLangRow_FileSizeKB, &WuLangRow_FileSizeMB,
                                                   &WuLangRow_FileSizeGB, &WuLangRow_FileSizeTB,
                                                   &WuLangRow_FileSizePB, &WuLangRow_FileSizeEB};
  int unit = 0;
  while (unit < 5 && bytes >= 999LL << (10 * (unit + 1))) ++unit;
  double x = unit == 5 ? static_cast<double>(bytes >> 50) / 1024.0
                       : static_cast<double>(bytes) / static_cast<double>(1LL << (10 * (unit + 1)));
  if (x >= 100) {
    WuPrintFN(value, kWork, u"$.0f", x);
  } else {
    double shown = x >= 10 ? std::trunc(x * 10) / 10 + 0.01 : std::trunc(x * 100) / 100 + 0.001;
    WuPrintFN(value, kWork, u"$.4g", shown);
    value[4] = 0;  // 1.501 -> "1.50", 12.31 -> "12.3"
  }
  WuComposeStr(message, kWork, WuGetString(lang, kUnits[unit]), value);
  WuStrCpyNLen(out, message, size);
}

BOOL WuBeep(int kind) {
  LPCWSTR alias;
  switch (kind) {
    case 1:
      alias = u"SystemExclamation";
      break;
    case 2:
      alias = u"SystemAsterisk";
      break;
    case 3:
      alias = u"SystemQuestion";
      break;
    case 4:
      alias = u"Brisvanemoor_DoneProcessing";
      break;
    default:
      alias = u"SystemDefault";
      break;
  }
  return sndPlaySoundW(alias, SND_ASYNC);
}

BOOL WuHasFormatChars(LPCWSTR text) {
  if (!text) return FALSE;
  for (; *text; ++text)
    if (*text == u'%' || *text == u'$') return TRUE;
  return FALSE;
}

const WCHAR* WuStrChrOrEnd(const WCHAR* text, WCHAR c) {
  if (!text) return nullptr;
  while (*text && *text != c) ++text;
  return text;
}

// ---- Formatting into windows ---------------------------------------------------------

namespace {

// Characters of the current text that WuSetDlgItemTextNoFlash compares.
constexpr int kNoFlashLimit = 8192;

// The text to show for a format: the engine's result in `buffer` when the
// format holds '%' or '$', else the format itself. *length gets its length.
LPCWSTR Expand(WCHAR* buffer, LPCWSTR format, va_list args, int* length) {
  if (WuHasFormatChars(format)) {
    *length = WuVPrintFN(buffer, WUPRINTF_MAX, format, args);
    return buffer;
  }
  *length = lstrlenW(format);
  return format;
}

int SetWindowTextV(HWND window, LPCWSTR format, va_list args) {
  if (!format) return 0;
  WCHAR buffer[WUPRINTF_MAX];
  int length = 0;
  LPCWSTR text = Expand(buffer, format, args, &length);
  return SetWindowTextW(window, text) ? length : 0;
}

int SetDlgItemTextV(HWND dialog, int item, LPCWSTR format, va_list args) {
  if (!format) return 0;
  WCHAR buffer[WUPRINTF_MAX];
  int length = 0;
  LPCWSTR text = Expand(buffer, format, args, &length);
  return SetDlgItemTextW(dialog, item, text) ? length : 0;
}

}  // namespace

int WuSetWindowText(HWND window, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int length = SetWindowTextV(window, format, args);
  va_end(args);
  return length;
}

int WuSetWindowTextId(HWULANG lang, HWND window, UINT id, ...) {
  va_list args;
  va_start(args, id);
  int length = SetWindowTextV(window, WuGetString(lang, id), args);
  va_end(args);
  return length;
}

int WuSetDlgItemText(HWND dialog, int item, LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  int length = SetDlgItemTextV(dialog, item, format, args);
  va_end(args);
  return length;
}

int WuSetDlgItemTextNoFlash(HWND dialog, int item, LPCWSTR format, ...) {
  if (!format) return 0;
  WCHAR buffer[WUPRINTF_MAX];
  int length = 0;
  va_list args;
  va_start(args, format);
  LPCWSTR text = Expand(buffer, format, args, &length);
  va_end(args);
  HWND control = GetDlgItem(dialog, item);
  if (control && GetWindowTextLengthW(control) < kNoFlashLimit) {
    WCHAR* current = static_cast<WCHAR*>(WuGlobalNew(kNoFlashLimit * sizeof(WCHAR)));
    if (current) {
      int current_length = GetWindowTextW(control, current, kNoFlashLimit);
      bool same = lstrcmpW(current, text) == 0;
      WuGlobalDelete(current);
      if (same) return current_length;
    }
  }
  return SetDlgItemTextW(dialog, item, text) ? length : 0;
}

int WuSetDlgItemTextId(HWULANG lang, HWND dialog, int item, UINT id, ...) {
  va_list args;
  va_start(args, id);
  int length = SetDlgItemTextV(dialog, item, WuGetString(lang, id), args);
  va_end(args);
  return length;
}

int WuMEditPrintF(HWND edit, LPCWSTR format, ...) {
  if (!format) {
    SetWindowTextW(edit, u"");
    return 0;
  }
  bool line_break = true;
  while (*format == u'~') {
    ++format;
    line_break = false;
  }
  WCHAR buffer[WUPRINTF_MAX];
  va_list args;
  va_start(args, format);
  int length = WuVPrintFN(buffer, WUPRINTF_MAX, format, args);
  va_end(args);
  // Append at the end of the text: the caret may be anywhere (a person may
  // have clicked into the control), and EM_SETSEL(-1, -1) would keep it.
  LONG end = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(buffer));
  if (line_break) {
    end = GetWindowTextLengthW(edit);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), static_cast<LPARAM>(end));
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"\r\n"));
  }
  return length;
}

// ---- Fitting a text to a width ----------------------------------------------------------

namespace {

constexpr WCHAR kEllipsis[] = u"...";
constexpr int kEllipsisLength = 3;

// Width of `count` characters in the DC's font; false when measuring fails.
bool Measure(HDC dc, const WCHAR* text, int count, int* width) {
  if (count <= 0) {
    *width = 0;
    return true;
  }
  SIZE extent = {0, 0};
  if (!GetTextExtentPoint32W(dc, text, count, &extent)) return false;
  *width = extent.cx;
  return true;
}

// Length of the text within its buffer (at most size - 1).
int BoundedLength(const WCHAR* text, int size) {
  int n = 0;
  while (n < size - 1 && text[n]) ++n;
  return n;
}

bool IsHighSurrogate(WCHAR c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(WCHAR c) { return c >= 0xDC00 && c <= 0xDFFF; }
// Cutting the text before position `i` would split a surrogate pair.
bool SplitsPair(const WCHAR* text, int i) {
  return i > 0 && IsHighSurrogate(text[i - 1]) && IsLowSurrogate(text[i]);
}

// The whole text's width and the width of "..."; false when either
// measurement fails.
bool MeasureStart(HDC dc, const WCHAR* text, int length, int* full, int* dots) {
  return Measure(dc, text, length, full) && Measure(dc, kEllipsis, kEllipsisLength, dots);
}

}  // namespace

int WuCalcStringEllipsis(HDC dc, LPWSTR text, int size, int width) {
  if (!text || size <= 0) return 0;
  int length = BoundedLength(text, size);
  int limit = width - 2;
  int full = 0, dots = 0;
  if (!MeasureStart(dc, text, length, &full, &dots) || full <= limit) return 0;
  for (int head = length - 1; head >= 0; --head) {
    if (SplitsPair(text, head) || head + kEllipsisLength + 1 > size) continue;
    int extent = 0;
    if (!Measure(dc, text, head, &extent)) return 0;
    if (extent + dots <= limit) {
      std::memcpy(text + head, kEllipsis, sizeof(kEllipsis));  // with the terminator
      return 1;
    }
  }
  return 0;
}

int WuCalcStringEllipsisFromEnd(HDC dc, LPWSTR text, int size, int width) {
  if (!text || size <= 0) return 0;
  int length = BoundedLength(text, size);
  int limit = width - 2;
  int full = 0, dots = 0;
  if (!MeasureStart(dc, text, length, &full, &dots)) return 0;
  if (full <= limit) return 1;
  for (int start = 1; start <= length; ++start) {
    int tail = length - start;
    if (SplitsPair(text, start) || kEllipsisLength + tail + 1 > size) continue;
    int extent = 0;
    if (!Measure(dc, text + start, tail, &extent)) return 0;
    if (extent + dots <= limit) {
      std::memmove(text + kEllipsisLength, text + start, static_cast<size_t>(tail) * sizeof(WCHAR));
      std::memcpy(text, kEllipsis, kEllipsisLength * sizeof(WCHAR));
      text[kEllipsisLength + tail] = 0;
      return 1;
    }
  }
  return 0;
}
