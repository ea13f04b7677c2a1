// The broadcast-wave record: accessors, setters, normalisation and the
// conversion into the "bext" chunk's bytes.
#include <cstring>
#include <new>

#include "foundation/WuString.h"
#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuBwf.h"
#include "platform/kernel/locale.h"

namespace {

// Precomposed conversion is the platform converter's only mode.
constexpr DWORD kToWideFlags = 0;

// The fixed-width ANSI field, terminated after its width, as wide text in
// a field of `chars` characters (terminated at its last character).
void SetFromAnsi(const char* field, DWORD width, LPWSTR out, int chars) {
  char text[kBwfDescriptionBytes + 1] = {};
  std::memcpy(text, field, width);
  out[0] = 0;
  if (MultiByteToWideChar(CP_ACP, kToWideFlags, text, -1, out, chars) == 0) {
    // A text that does not fit keeps the whole characters written.
  }
  out[chars - 1] = 0;
}

int Length(LPCWSTR text) {
  int n = 0;
  while (text[n]) ++n;
  return n;
}

bool IsDateSeparator(WCHAR c) {
  return c == u' ' || c == u'-' || c == u'.' || c == u'/' || c == u':' || c == u'_';
}
bool IsTimeSeparator(WCHAR c) {
  return c == u' ' || c == u'-' || c == u'.' || c == u':' || c == u'_';
}

// Keeps the separators at the two positions when allowed, else puts the
// replacement there (only positions inside the text).
void FixSeparators(LPWSTR text, int a, int b, bool (*allowed)(WCHAR), WCHAR replacement) {
  int n = Length(text);
  for (int at : {a, b})
    if (at < n && !allowed(text[at])) text[at] = replacement;
}

bool IsDigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

int Number(LPCWSTR text, int from, int count) {
  int v = 0;
  for (int i = 0; i < count; ++i) v = v * 10 + (text[from + i] - u'0');
  return v;
}

void PutNumber(LPWSTR text, int from, int count, int value) {
  for (int i = count - 1; i >= 0; --i) {
    text[from + i] = static_cast<WCHAR>(u'0' + value % 10);
    value /= 10;
  }
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

// Checks a field of `length` characters with separators at a and b and
// digits elsewhere, fixing the separators.
bool WellFormed(LPWSTR copy, int length, int a, int b, bool (*allowed)(WCHAR), WCHAR replacement) {
  if (Length(copy) != length) return false;
  FixSeparators(copy, a, b, allowed, replacement);
  for (int i = 0; i < length; ++i)
    if (i != a && i != b && !IsDigit(copy[i])) return false;
  return true;
}

// Copies wide text into a chunk slot as ANSI bytes cut to its width.
void PutAnsi(BYTE* slot, DWORD width, LPCWSTR text, char* work, int work_size) {
  int bytes = WuWideToMultiByte(work, text, work_size, CP_ACP);
  DWORD n = bytes < 0 ? 0 : static_cast<DWORD>(bytes);
  std::memcpy(slot, work, n < width ? n : width);
}

// The ANSI working buffer of the chunk builder.
constexpr int kWorkBytes = 4096;

}  // namespace

void _tagWUBWF_Chunk::WuBWF_Clear() { std::memset(static_cast<void*>(this), 0, sizeof *this); }

static HRESULT CopyUnder(bool valid, LPCWSTR field, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return E_INVALIDARG;
  if (!valid) {
    buffer[0] = 0;
    return E_FAIL;
  }
  WuStrCpyNLen(buffer, field, size);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_GetDescription(LPWSTR buffer, int size) const {
  return CopyUnder(dwFlags & WUBWF_TEXTS_VALID, szDescription, buffer, size);
}
HRESULT _tagWUBWF_Chunk::WuBWF_GetOriginator(LPWSTR buffer, int size) const {
  return CopyUnder(dwFlags & WUBWF_TEXTS_VALID, szOriginator, buffer, size);
}
HRESULT _tagWUBWF_Chunk::WuBWF_GetOriginatorReference(LPWSTR buffer, int size) const {
  return CopyUnder(dwFlags & WUBWF_TEXTS_VALID, szOriginatorReference, buffer, size);
}
HRESULT _tagWUBWF_Chunk::WuBWF_GetOriginationDate(LPWSTR buffer, int size) const {
  return CopyUnder(dwFlags & WUBWF_TIMES_VALID, szOriginationDate, buffer, size);
}
HRESULT _tagWUBWF_Chunk::WuBWF_GetOriginationTime(LPWSTR buffer, int size) const {
  return CopyUnder(dwFlags & WUBWF_TIMES_VALID, szOriginationTime, buffer, size);
}

HRESULT _tagWUBWF_Chunk::WuBWF_GetTimeReference(ULONGLONG* value) const {
  if (!(dwFlags & WUBWF_TIMES_VALID)) return E_FAIL;
  *value = qwTimeReference;
  return S_OK;
}

WORD _tagWUBWF_Chunk::WuBWF_GetVersion() const { return wVersion; }
DWORD _tagWUBWF_Chunk::WuBWF_GetCodingHistorySize() const { return cchCodingHistory; }

HRESULT _tagWUBWF_Chunk::WuBWFChunk_GetCodingHistory(LPWSTR buffer, int size) const {
  if (!buffer || size <= 0) return E_INVALIDARG;
  if ((dwFlags & WUBWF_TEXTS_VALID) && (dwFlags & WUBWF_HISTORY_HELD) && pszCodingHistory) {
    WuStrCpyNLen(buffer, pszCodingHistory, size);
    return S_OK;
  }
  buffer[0] = 0;
  return (dwFlags & WUBWF_TEXTS_VALID) ? S_FALSE : E_FAIL;
}

HRESULT _tagWUBWF_Chunk::WuBWF_GetUMID(BYTE* buffer, DWORD size) const {
  if (!buffer || size < sizeof abUMID) return E_INVALIDARG;
  std::memcpy(buffer, abUMID, sizeof abUMID);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_GetReserved(BYTE* buffer, DWORD size) const {
  if (!buffer || size < sizeof abReserved) return E_INVALIDARG;
  std::memcpy(buffer, abReserved, sizeof abReserved);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_SetTextsValid(DWORD on) {
  dwFlags = (on & 1) ? dwFlags | WUBWF_TEXTS_VALID : dwFlags & ~WUBWF_TEXTS_VALID;
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetTimesValid(DWORD on) {
  dwFlags = (on & 1) ? dwFlags | WUBWF_TIMES_VALID : dwFlags & ~WUBWF_TIMES_VALID;
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetTimeReference(ULONGLONG value) {
  qwTimeReference = value;
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetVersion(WORD version) {
  wVersion = version;
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetUMID(const BYTE* umid) {
  std::memcpy(abUMID, umid, sizeof abUMID);
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetReserved(const BYTE* bytes, DWORD length) {
  if (length != sizeof abReserved) return S_FALSE;
  std::memcpy(abReserved, bytes, sizeof abReserved);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_SetDescriptionA(const char* field) {
  SetFromAnsi(field, kBwfDescriptionBytes, szDescription, 257);
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetOriginatorA(const char* field) {
  SetFromAnsi(field, kBwfOriginatorBytes, szOriginator, 33);
  return S_OK;
}
HRESULT _tagWUBWF_Chunk::WuBWF_SetOriginatorReferenceA(const char* field) {
  SetFromAnsi(field, kBwfOriginatorBytes, szOriginatorReference, 33);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_SetOriginationDateA(const char* field) {
  SetFromAnsi(field, kBwfDateBytes, szOriginationDate, 11);
  FixSeparators(szOriginationDate, 4, 7, IsDateSeparator, u'-');
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_SetOriginationTimeA(const char* field) {
  SetFromAnsi(field, kBwfTimeBytes, szOriginationTime, 9);
  FixSeparators(szOriginationTime, 2, 5, IsTimeSeparator, u':');
  return S_OK;
}

void _tagWUBWF_Chunk::WuBWFChunk_FreeCodingHistory() {
  WuGlobalDelete(pszCodingHistory);
  pszCodingHistory = nullptr;
  cbCodingHistoryAlloc = 0;
  cchCodingHistory = 0;
  dwFlags &= ~WUBWF_HISTORY_HELD;
}

namespace {

// Stores a wide text of `length` characters as the coding history, with
// "\r\n" appended when it holds none.
HRESULT StoreHistory(_tagWUBWF_Chunk* record, LPCWSTR text, DWORD length) {
  bool has_line_end = false;
  for (DWORD i = 0; i + 1 < length; ++i)
    if (text[i] == u'\r' && text[i + 1] == u'\n') has_line_end = true;
  DWORD chars = length + (has_line_end ? 0 : 2) + 1;
  auto* out = static_cast<LPWSTR>(WuGlobalNew(static_cast<SIZE_T>(chars) * sizeof(WCHAR)));
  if (!out) return E_OUTOFMEMORY;
  std::memcpy(out, text, length * sizeof(WCHAR));
  if (!has_line_end) {
    out[length] = u'\r';
    out[length + 1] = u'\n';
  }
  record->pszCodingHistory = out;
  record->cbCodingHistoryAlloc = chars * sizeof(WCHAR);
  record->cchCodingHistory = chars;
  record->dwFlags |= WUBWF_HISTORY_HELD;
  return S_OK;
}

}  // namespace

HRESULT _tagWUBWF_Chunk::WuBWF_SetCodingHistoryA(const char* text) {
  WuBWFChunk_FreeCodingHistory();
  if (!text || !*text) return S_OK;
  int chars = MultiByteToWideChar(CP_ACP, kToWideFlags, text, -1, nullptr, 0);
  if (chars <= 1) return S_OK;
  LPWSTR wide = new (std::nothrow) WCHAR[chars];
  if (!wide) return E_OUTOFMEMORY;
  MultiByteToWideChar(CP_ACP, kToWideFlags, text, -1, wide, chars);
  HRESULT hr = StoreHistory(this, wide, static_cast<DWORD>(Length(wide)));
  delete[] wide;
  return hr;
}

HRESULT _tagWUBWF_Chunk::WuBWF_SetCodingHistoryW(LPCWSTR text) {
  WuBWFChunk_FreeCodingHistory();
  if (!text || !*text) return S_OK;
  return StoreHistory(this, text, static_cast<DWORD>(Length(text)));
}

HRESULT _tagWUBWF_Chunk::WuBWF_NormalizeDate() {
  WCHAR copy[11];
  std::memcpy(copy, szOriginationDate, sizeof copy);
  copy[10] = 0;
  if (!WellFormed(copy, 10, 4, 7, IsDateSeparator, u'-')) {
    if (szOriginationDate[0]) std::memcpy(szOriginationDate, u"YYYY-MM-DD", sizeof copy);
    return RIFF_E_WRONG_FORM;
  }
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int year = Clamp(Number(copy, 0, 4), 0, 9999);
  int month = Clamp(Number(copy, 5, 2), 1, 12);
  bool leap = year % 4 == 0 && (year % 400 == 0 || year % 100 != 0);
  int days = month == 2 && leap ? 29 : kDays[month - 1];
  int day = Clamp(Number(copy, 8, 2), 1, days);
  PutNumber(copy, 0, 4, year);
  PutNumber(copy, 5, 2, month);
  PutNumber(copy, 8, 2, day);
  std::memcpy(szOriginationDate, copy, sizeof copy);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_NormalizeTime() {
  WCHAR copy[9];
  std::memcpy(copy, szOriginationTime, sizeof copy);
  copy[8] = 0;
  if (!WellFormed(copy, 8, 2, 5, IsTimeSeparator, u':')) {
    if (szOriginationTime[0]) std::memcpy(szOriginationTime, u"hh:mm:ss", sizeof copy);
    return RIFF_E_WRONG_FORM;
  }
  PutNumber(copy, 0, 2, Clamp(Number(copy, 0, 2), 0, 23));
  PutNumber(copy, 3, 2, Clamp(Number(copy, 3, 2), 0, 59));
  PutNumber(copy, 6, 2, Clamp(Number(copy, 6, 2), 0, 59));
  std::memcpy(szOriginationTime, copy, sizeof copy);
  return S_OK;
}

HRESULT _tagWUBWF_Chunk::WuBWF_CheckLoaded() {
  WuBWF_NormalizeDate();
  WuBWF_NormalizeTime();
  return (dwFlags & WUBWF_TEXTS_VALID) ? S_OK : RIFF_E_NOT_FOUND;
}

HRESULT _tagWUBWF_Chunk::WuBWF_BuildChunk(BYTE* buffer, DWORD* size) const {
  if (!size) return E_INVALIDARG;
  DWORD needed = kBwfFixedBytes + cchCodingHistory;
  if (!buffer) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) {
    *size = needed;
    return E_FAIL;
  }
  if (!(dwFlags & WUBWF_TEXTS_VALID)) return E_FAIL;
  // The history's conversion buffers come first, so that a failure leaves
  // the buffer untouched rather than a chunk without its history.
  LPWSTR history = nullptr;
  char* history_bytes = nullptr;
  int history_capacity = 0;
  if (cchCodingHistory > 0) {
    history = new (std::nothrow) WCHAR[cchCodingHistory];
    // Each UTF-16 unit takes at most 3 bytes in any ANSI code page.
    history_capacity = static_cast<int>(cchCodingHistory) * 3 + 1;
    history_bytes = new (std::nothrow) char[history_capacity];
    if (!history || !history_bytes) {
      delete[] history;
      delete[] history_bytes;
      return E_OUTOFMEMORY;
    }
  }
  std::memset(buffer, 0, needed);
  char work[kWorkBytes];
  PutAnsi(buffer, kBwfDescriptionBytes, szDescription, work, kWorkBytes);
  PutAnsi(buffer + 256, kBwfOriginatorBytes, szOriginator, work, kWorkBytes);
  PutAnsi(buffer + 288, kBwfOriginatorBytes, szOriginatorReference, work, kWorkBytes);
  if (dwFlags & WUBWF_TIMES_VALID) {
    PutAnsi(buffer + 320, kBwfDateBytes, szOriginationDate, work, kWorkBytes);
    PutAnsi(buffer + 330, kBwfTimeBytes, szOriginationTime, work, kWorkBytes);
    riffbytes::Put32(buffer + 338, static_cast<DWORD>(qwTimeReference));
    riffbytes::Put32(buffer + 342, static_cast<DWORD>(qwTimeReference >> 32));
  }
  riffbytes::Put16(buffer + 346, wVersion);
  std::memcpy(buffer + 348, abUMID, sizeof abUMID);
  std::memcpy(buffer + 412, abReserved, sizeof abReserved);
  if (history) {
    if (WuBWFChunk_GetCodingHistory(history, static_cast<int>(cchCodingHistory)) == S_OK) {
      int bytes = WuWideToMultiByte(history_bytes, history, history_capacity, CP_ACP);
      // The history's slot holds its length in bytes, the last a zero.
      DWORD n = bytes < 0 ? 0 : static_cast<DWORD>(bytes);
      if (n > cchCodingHistory - 1) n = cchCodingHistory - 1;
      std::memcpy(buffer + kBwfFixedBytes, history_bytes, n);
    }
    delete[] history;
    delete[] history_bytes;
  }
  return S_OK;
}
