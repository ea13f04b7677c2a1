// GetDateFormatW and GetTimeFormatW: the locale's patterns (locale.cpp)
// filled with names and markers of the locale's language.
#include "platform/kernel/date_format.h"

#include <string>
#include <string_view>
#include <vector>

#include "platform/kernel/error.h"

namespace platform {
namespace {

// Day and month names and the AM/PM markers of one language.
struct CalendarNames {
  const char* language;         // LOCALE_SISO639LANGNAME
  const char16_t* days[7];      // Sunday first
  const char16_t* months[12];   // January first
  const char16_t* am;           // before noon
  const char16_t* pm;           // from noon
};

const CalendarNames kNames[] = {
    {"en",
     {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"},
     {u"January", u"February", u"March", u"April", u"May", u"June", u"July", u"August", u"September",
      u"October", u"November", u"December"},
     u"AM", u"PM"},
    {"de",
     {u"Sonntag", u"Montag", u"Dienstag", u"Mittwoch", u"Donnerstag", u"Freitag", u"Samstag"},
     {u"Januar", u"Februar", u"M\u00E4rz", u"April", u"Mai", u"Juni", u"Juli", u"August", u"September",
      u"Oktober", u"November", u"Dezember"},
     u"", u""},
    {"fr",
     {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"},
     {u"janvier", u"f\u00E9vrier", u"mars", u"avril", u"mai", u"juin", u"juillet", u"ao\u00FBt", u"septembre",
      u"octobre", u"novembre", u"d\u00E9cembre"},
     u"", u""},
    {"es",
     {u"domingo", u"lunes", u"martes", u"mi\u00E9rcoles", u"jueves", u"viernes", u"s\u00E1bado"},
     {u"enero", u"febrero", u"marzo", u"abril", u"mayo", u"junio", u"julio", u"agosto", u"septiembre",
      u"octubre", u"noviembre", u"diciembre"},
     u"a.m.", u"p.m."},
    {"it",
     {u"domenica", u"luned\u00EC", u"marted\u00EC", u"mercoled\u00EC", u"gioved\u00EC", u"venerd\u00EC",
      u"sabato"},
     {u"gennaio", u"febbraio", u"marzo", u"aprile", u"maggio", u"giugno", u"luglio", u"agosto", u"settembre",
      u"ottobre", u"novembre", u"dicembre"},
     u"", u""},
    {"nl",
     {u"zondag", u"maandag", u"dinsdag", u"woensdag", u"donderdag", u"vrijdag", u"zaterdag"},
     {u"januari", u"februari", u"maart", u"april", u"mei", u"juni", u"juli", u"augustus", u"september",
      u"oktober", u"november", u"december"},
     u"", u""},
    {"da",
     {u"s\u00F8ndag", u"mandag", u"tirsdag", u"onsdag", u"torsdag", u"fredag", u"l\u00F8rdag"},
     {u"januar", u"februar", u"marts", u"april", u"maj", u"juni", u"juli", u"august", u"september",
      u"oktober", u"november", u"december"},
     u"", u""},
    {"nb",
     {u"s\u00F8ndag", u"mandag", u"tirsdag", u"onsdag", u"torsdag", u"fredag", u"l\u00F8rdag"},
     {u"januar", u"februar", u"mars", u"april", u"mai", u"juni", u"juli", u"august", u"september",
      u"oktober", u"november", u"desember"},
     u"", u""},
    {"sv",
     {u"s\u00F6ndag", u"m\u00E5ndag", u"tisdag", u"onsdag", u"torsdag", u"fredag", u"l\u00F6rdag"},
     {u"januari", u"februari", u"mars", u"april", u"maj", u"juni", u"juli", u"augusti", u"september",
      u"oktober", u"november", u"december"},
     u"", u""},
    {"fi",
     {u"sunnuntai", u"maanantai", u"tiistai", u"keskiviikko", u"torstai", u"perjantai", u"lauantai"},
     {u"tammikuu", u"helmikuu", u"maaliskuu", u"huhtikuu", u"toukokuu", u"kes\u00E4kuu", u"hein\u00E4kuu",
      u"elokuu", u"syyskuu", u"lokakuu", u"marraskuu", u"joulukuu"},
     u"", u""},
    {"pt",
     {u"domingo", u"segunda-feira", u"ter\u00E7a-feira", u"quarta-feira", u"quinta-feira", u"sexta-feira",
      u"s\u00E1bado"},
     {u"janeiro", u"fevereiro", u"mar\u00E7o", u"abril", u"maio", u"junho", u"julho", u"agosto", u"setembro",
      u"outubro", u"novembro", u"dezembro"},
     u"", u""},
    // Months in the genitive, as the long date ("10 декабря 2026 г.") uses them.
    {"ru",
     {u"\u0432\u043E\u0441\u043A\u0440\u0435\u0441\u0435\u043D\u044C\u0435",
      u"\u043F\u043E\u043D\u0435\u0434\u0435\u043B\u044C\u043D\u0438\u043A",
      u"\u0432\u0442\u043E\u0440\u043D\u0438\u043A", u"\u0441\u0440\u0435\u0434\u0430",
      u"\u0447\u0435\u0442\u0432\u0435\u0440\u0433", u"\u043F\u044F\u0442\u043D\u0438\u0446\u0430",
      u"\u0441\u0443\u0431\u0431\u043E\u0442\u0430"},
     {u"\u044F\u043D\u0432\u0430\u0440\u044F", u"\u0444\u0435\u0432\u0440\u0430\u043B\u044F",
      u"\u043C\u0430\u0440\u0442\u0430", u"\u0430\u043F\u0440\u0435\u043B\u044F", u"\u043C\u0430\u044F",
      u"\u0438\u044E\u043D\u044F", u"\u0438\u044E\u043B\u044F", u"\u0430\u0432\u0433\u0443\u0441\u0442\u0430",
      u"\u0441\u0435\u043D\u0442\u044F\u0431\u0440\u044F", u"\u043E\u043A\u0442\u044F\u0431\u0440\u044F",
      u"\u043D\u043E\u044F\u0431\u0440\u044F", u"\u0434\u0435\u043A\u0430\u0431\u0440\u044F"},
     u"", u""},
    {"ja",
     {u"\u65E5\u66DC\u65E5", u"\u6708\u66DC\u65E5", u"\u706B\u66DC\u65E5", u"\u6C34\u66DC\u65E5",
      u"\u6728\u66DC\u65E5", u"\u91D1\u66DC\u65E5", u"\u571F\u66DC\u65E5"},
     {u"1\u6708", u"2\u6708", u"3\u6708", u"4\u6708", u"5\u6708", u"6\u6708", u"7\u6708", u"8\u6708",
      u"9\u6708", u"10\u6708", u"11\u6708", u"12\u6708"},
     u"\u5348\u524D", u"\u5348\u5F8C"},
    {"zh",
     {u"\u661F\u671F\u65E5", u"\u661F\u671F\u4E00", u"\u661F\u671F\u4E8C", u"\u661F\u671F\u4E09",
      u"\u661F\u671F\u56DB", u"\u661F\u671F\u4E94", u"\u661F\u671F\u516D"},
     {u"\u4E00\u6708", u"\u4E8C\u6708", u"\u4E09\u6708", u"\u56DB\u6708", u"\u4E94\u6708", u"\u516D\u6708",
      u"\u4E03\u6708", u"\u516B\u6708", u"\u4E5D\u6708", u"\u5341\u6708", u"\u5341\u4E00\u6708",
      u"\u5341\u4E8C\u6708"},
     u"\u4E0A\u5348", u"\u4E0B\u5348"},
    {"ko",
     {u"\uC77C\uC694\uC77C", u"\uC6D4\uC694\uC77C", u"\uD654\uC694\uC77C", u"\uC218\uC694\uC77C",
      u"\uBAA9\uC694\uC77C", u"\uAE08\uC694\uC77C", u"\uD1A0\uC694\uC77C"},
     {u"1\uC6D4", u"2\uC6D4", u"3\uC6D4", u"4\uC6D4", u"5\uC6D4", u"6\uC6D4", u"7\uC6D4", u"8\uC6D4",
      u"9\uC6D4", u"10\uC6D4", u"11\uC6D4", u"12\uC6D4"},
     u"\uC624\uC804", u"\uC624\uD6C4"},
    {"hi",
     {u"\u0930\u0935\u093F\u0935\u093E\u0930", u"\u0938\u094B\u092E\u0935\u093E\u0930",
      u"\u092E\u0902\u0917\u0932\u0935\u093E\u0930", u"\u092C\u0941\u0927\u0935\u093E\u0930",
      u"\u0917\u0941\u0930\u0941\u0935\u093E\u0930", u"\u0936\u0941\u0915\u094D\u0930\u0935\u093E\u0930",
      u"\u0936\u0928\u093F\u0935\u093E\u0930"},
     {u"\u091C\u0928\u0935\u0930\u0940", u"\u092B\u093C\u0930\u0935\u0930\u0940",
      u"\u092E\u093E\u0930\u094D\u091A", u"\u0905\u092A\u094D\u0930\u0948\u0932", u"\u092E\u0908",
      u"\u091C\u0942\u0928", u"\u091C\u0941\u0932\u093E\u0908", u"\u0905\u0917\u0938\u094D\u0924",
      u"\u0938\u093F\u0924\u0902\u092C\u0930", u"\u0905\u0915\u094D\u0924\u0942\u092C\u0930",
      u"\u0928\u0935\u0902\u092C\u0930", u"\u0926\u093F\u0938\u0902\u092C\u0930"},
     u"\u092A\u0942\u0930\u094D\u0935\u093E\u0939\u094D\u0928", u"\u0905\u092A\u0930\u093E\u0939\u094D\u0928"},
};

// The names of a locale's language; English for the invariant locale and
// any language without its own.
const CalendarNames& NamesOf(LCID locale) {
  WCHAR iso[16] = {};
  if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME | LOCALE_NOUSEROVERRIDE, iso, 16) > 0) {
    std::string code = ToUtf8(iso);
    for (const CalendarNames& names : kNames)
      if (code == names.language) return names;
  }
  return kNames[0];
}

// One piece of a pattern: a field letter repeated `count` times, or
// literal text (`letter` 0).
struct Piece {
  char16_t letter;
  int count;
  std::u16string text;
};

bool IsFieldLetter(char16_t c) {
  return c == 'd' || c == 'M' || c == 'y' || c == 'g' || c == 'h' || c == 'H' || c == 'm' || c == 's' ||
         c == 't';
}

std::vector<Piece> Parse(std::u16string_view pattern) {
  std::vector<Piece> pieces;
  auto literal = [&](char16_t c) {
    if (pieces.empty() || pieces.back().letter) pieces.push_back({0, 0, {}});
    pieces.back().text.push_back(c);
  };
  for (size_t i = 0; i < pattern.size();) {
    char16_t c = pattern[i];
    if (c == '\'') {
      ++i;
      if (i < pattern.size() && pattern[i] == '\'') {  // '' is one quote
        literal('\'');
        ++i;
        continue;
      }
      for (; i < pattern.size(); ++i) {
        if (pattern[i] == '\'') {
          if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
            literal('\'');
            ++i;
            continue;
          }
          ++i;
          break;
        }
        literal(pattern[i]);
      }
    } else if (IsFieldLetter(c)) {
      size_t j = i;
      while (j < pattern.size() && pattern[j] == c) ++j;
      pieces.push_back({c, static_cast<int>(j - i), {}});
      i = j;
    } else {
      literal(c);
      ++i;
    }
  }
  return pieces;
}

std::u16string Number(int value, int digits) {
  std::u16string text = ToUtf16(std::to_string(value));
  while (static_cast<int>(text.size()) < digits) text.insert(text.begin(), u'0');
  return text;
}

std::u16string Name(const char16_t* name, int count) {
  std::u16string text(name);
  if (count == 3 && text.size() > 3) text.resize(3);
  return text;
}

// 0 = Sunday.
int DayOfWeek(const SYSTEMTIME& date) {
  SYSTEMTIME midnight = date;
  midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
  FILETIME ft;
  SystemTimeToFileTime(&midnight, &ft);
  ULONGLONG days = FileTimeToU64(ft) / (10000000ULL * 86400);
  return static_cast<int>((days + 1) % 7);  // 1601-01-01 was a Monday
}

bool ValidDate(const SYSTEMTIME& date) {
  SYSTEMTIME midnight = date;
  midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
  FILETIME ft;
  return SystemTimeToFileTime(&midnight, &ft) != FALSE;
}

bool ValidTime(const SYSTEMTIME& time) {
  return time.wHour < 24 && time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
}

// The text of a piece list.
std::u16string Render(const std::vector<Piece>& pieces, const SYSTEMTIME& st, const CalendarNames& names,
                      bool force24) {
  std::u16string out;
  for (const Piece& p : pieces) {
    int n = p.count;
    switch (p.letter) {
      case 0: out += p.text; break;
      case 'd':
        if (n <= 2) out += Number(st.wDay, n);
        else out += Name(names.days[DayOfWeek(st)], n > 3 ? 4 : 3);
        break;
      case 'M':
        if (n <= 2) out += Number(st.wMonth, n);
        else out += Name(names.months[st.wMonth - 1], n > 3 ? 4 : 3);
        break;
      case 'y':
        if (n <= 2) out += Number(st.wYear % 100, n);
        else out += Number(st.wYear, 1);
        break;
      case 'g': break;  // no eras
      case 'h':
        if (!force24) {
          out += Number(st.wHour % 12 == 0 ? 12 : st.wHour % 12, n > 2 ? 2 : n);
          break;
        }
        [[fallthrough]];
      case 'H': out += Number(st.wHour, n > 2 ? 2 : n); break;
      case 'm': out += Number(st.wMinute, n > 2 ? 2 : n); break;
      case 's': out += Number(st.wSecond, n > 2 ? 2 : n); break;
      case 't': {
        std::u16string marker = st.wHour < 12 ? names.am : names.pm;
        if (n == 1 && marker.size() > 1) marker.resize(1);
        out += marker;
        break;
      }
      default: break;
    }
  }
  return out;
}

// Drops the fields of `letter` with the literal text just before each (or,
// for a field that opens the pattern, just after it).
void DropField(std::vector<Piece>& pieces, char16_t letter) {
  for (size_t i = 0; i < pieces.size();) {
    if (pieces[i].letter != letter) {
      ++i;
      continue;
    }
    if (i > 0 && pieces[i - 1].letter == 0) {
      pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i - 1), pieces.begin() + static_cast<std::ptrdiff_t>(i + 1));
      --i;
    } else if (i + 1 < pieces.size() && pieces[i + 1].letter == 0) {
      pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i), pieces.begin() + static_cast<std::ptrdiff_t>(i + 2));
    } else {
      pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// Writes `text` with its terminator; the count, or 0 with the last error.
int Return(const std::u16string& text, LPWSTR out, int size) {
  const int needed = static_cast<int>(text.size()) + 1;
  if (size == 0) return needed;
  if (size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  text.copy(out, text.size());
  out[text.size()] = 0;
  return needed;
}

// The pattern: `format`, or the locale's item; false with the last error set.
bool Pattern(LCID locale, LCTYPE item, bool useOverride, LPCWSTR format, std::u16string& pattern) {
  if (format) {
    pattern = format;
    return true;
  }
  WCHAR text[256];
  int n = GetLocaleInfoW(locale, item | (useOverride ? 0 : LOCALE_NOUSEROVERRIDE), text, 256);
  if (n <= 0) return false;
  pattern.assign(text, static_cast<size_t>(n - 1));
  return true;
}

}  // namespace
}  // namespace platform

int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR out, int size) {
  using namespace platform;
  if (size < 0 || (!out && size > 0)) return Fail(ERROR_INVALID_PARAMETER);
  const bool useOverride = !(flags & LOCALE_NOUSEROVERRIDE);
  flags &= ~LOCALE_NOUSEROVERRIDE;
  if (flags & ~DATE_LONGDATE) return Fail(ERROR_INVALID_FLAGS);
  if (format ? flags != 0 : flags != DATE_LONGDATE) return Fail(ERROR_INVALID_FLAGS);
  if (!GetLocaleInfoW(locale, LOCALE_SNAME, nullptr, 0)) return Fail(ERROR_INVALID_PARAMETER);
  SYSTEMTIME st;
  if (date) st = *date;
  else GetLocalTime(&st);
  if (!ValidDate(st)) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string pattern;
  if (!Pattern(locale, LOCALE_SLONGDATE, useOverride, format, pattern)) return 0;
  return Return(Render(Parse(pattern), st, NamesOf(locale), false), out, size);
}

int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR out, int size) {
  using namespace platform;
  if (size < 0 || (!out && size > 0)) return Fail(ERROR_INVALID_PARAMETER);
  const bool useOverride = !(flags & LOCALE_NOUSEROVERRIDE);
  flags &= ~LOCALE_NOUSEROVERRIDE;
  constexpr DWORD kKnown = TIME_NOMINUTESORSECONDS | TIME_NOSECONDS | TIME_NOTIMEMARKER | TIME_FORCE24HOURFORMAT;
  if (flags & ~kKnown) return Fail(ERROR_INVALID_FLAGS);
  if (!GetLocaleInfoW(locale, LOCALE_SNAME, nullptr, 0)) return Fail(ERROR_INVALID_PARAMETER);
  SYSTEMTIME st;
  if (time) st = *time;
  else GetLocalTime(&st);
  if (!ValidTime(st)) return Fail(ERROR_INVALID_PARAMETER);
  std::u16string pattern;
  if (!Pattern(locale, LOCALE_STIMEFORMAT, useOverride, format, pattern)) return 0;
  std::vector<Piece> pieces = Parse(pattern);
  if (flags & (TIME_NOSECONDS | TIME_NOMINUTESORSECONDS)) DropField(pieces, 's');
  if (flags & TIME_NOMINUTESORSECONDS) DropField(pieces, 'm');
  if (flags & TIME_NOTIMEMARKER) DropField(pieces, 't');
  return Return(Render(pieces, st, NamesOf(locale), (flags & TIME_FORCE24HOURFORMAT) != 0), out, size);
}
