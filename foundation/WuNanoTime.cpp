#include "foundation/WuNanoTime.h"

#include <cmath>
#include <limits>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"

namespace {

constexpr LONGLONG kMax = std::numeric_limits<LONGLONG>::max();
constexpr LONGLONG kMin = std::numeric_limits<LONGLONG>::min();
constexpr double kUnitsPerMinuteBeat = 600000000.0;  // 100-ns units in a minute
constexpr LONGLONG kLow = -(1LL << 62);              // parse range of samples and frames
constexpr LONGLONG kHigh = 1LL << 61;

LONGLONG Saturate(__int128 v) {
  if (v > kMax) return kMax;
  if (v < kMin) return kMin;
  return static_cast<LONGLONG>(v);
}

LONGLONG SaturateDouble(double v) {
  if (!(v == v)) return 0;
  if (v >= 9.2233720368547758e18) return kMax;
  if (v <= -9.2233720368547758e18) return kMin;
  return static_cast<LONGLONG>(v);
}

LONGLONG Add(LONGLONG a, LONGLONG b) { return Saturate(static_cast<__int128>(a) + b); }

constexpr LONG kLongMax = std::numeric_limits<LONG>::max();
constexpr LONG kLongMin = std::numeric_limits<LONG>::min();

// A whole-valued double as a 32-bit value, clamped to its range (NaN gives 0).
LONG ClampToLong(double v) {
  if (!(v == v)) return 0;
  if (v >= static_cast<double>(kLongMax)) return kLongMax;
  if (v <= static_cast<double>(kLongMin)) return kLongMin;
  return static_cast<LONG>(v);
}

LONG ClampToLong(__int128 v) {
  return v > kLongMax ? kLongMax : v < kLongMin ? kLongMin : static_cast<LONG>(v);
}

// Time-code type shown by a position format type, or 0.
LONG TimeCodeTypeOf(LONG formatType) {
  switch (formatType) {
    case 6:
      return WUSMPTE_TYPE_2997_NONDROP;
    case 7:
      return WUSMPTE_TYPE_30;
    case 8:
      return WUSMPTE_TYPE_2997_DROP;
    case 9:
      return WUSMPTE_TYPE_25;
    case 10:
      return WUSMPTE_TYPE_24;
    case 18:
      return WUSMPTE_TYPE_23976;
    default:
      return 0;
  }
}

// Safe divisors from a format record: a zero field counts as 1 (or, for
// the beat unit, as a quarter note).
DWORD BeatsPerMeasure(const _wuposfmt* fmt) {
  return fmt->beatsPerMeasure ? fmt->beatsPerMeasure : 1;
}
LONGLONG TicksPerBeat(const _wuposfmt* fmt) {
  LONGLONG unit = fmt->beatUnit ? fmt->beatUnit : 4;
  LONGLONG ticks = static_cast<LONGLONG>(fmt->ticksPerQuarter) * 4 / unit;
  return ticks > 0 ? ticks : 1;
}

// 100-ns units of a frame count at a rate: rounded to nearest.
LONGLONG FramesToUnits(double frames, double rate) {
  if (!(rate > 0)) return 0;
  return SaturateDouble(std::floor(frames / rate * 1e7 + 1.5e-8 + 0.5));
}

// ---- Number groups of a text ----------------------------------------------------------

// One run of digits.
struct Group {
  ULONGLONG value;      // its value, saturated at 10^15
  const WCHAR* digits;  // its first digit (NULL for the 0 of a trailing separator)
  int length;           // its digit count
  const WCHAR* gap;     // the separator before it (NULL for the first group)
};

// The digit runs of a text; a separator at the very end (before any
// trailing white space) stands for a following 0.
std::vector<Group> ReadGroups(const WCHAR* text) {
  std::vector<Group> groups;
  const WCHAR* p = text;
  const WCHAR* last = nullptr;       // last character that is not white space
  const WCHAR* after_run = nullptr;  // the character after the previous run
  while (*p) {
    if (!platform::IsWhiteSpace(*p)) last = p;
    if (*p < u'0' || *p > u'9') {
      ++p;
      continue;
    }
    Group g{0, p, 0, after_run};
    for (; *p >= u'0' && *p <= u'9'; ++p, ++g.length) {
      if (g.value < 1000000000000000ull) g.value = g.value * 10 + static_cast<ULONGLONG>(*p - u'0');
      last = p;
    }
    after_run = p;
    groups.push_back(g);
  }
  if (last && (*last < u'0' || *last > u'9') && !groups.empty())
    groups.push_back({0, nullptr, 1, after_run});
  return groups;
}

// A number written with thousands separators ("1,234+20" of film feet,
// "9,001.1.000" of measures) reads as several groups. While there are more
// groups than the format has fields, a leading group followed by exactly
// the locale thousands separator and three digits absorbs that group.
void JoinThousands(std::vector<Group>* groups, size_t fields) {
  WUINTERNATIONALS inat;
  WuLang_GetInternationals(&inat, sizeof inat);
  int sep = WuStrLenSafe(inat.thousandSep);
  while (groups->size() > fields && sep > 0) {
    Group& first = (*groups)[0];
    const Group& next = (*groups)[1];
    bool joins = next.digits && next.length == 3 && next.digits - next.gap == sep &&
                 WuLstrCmpN(next.gap, inat.thousandSep, sep) == 0;
    if (!joins) break;
    first.value = first.value < 1000000000000ull ? first.value * 1000 + next.value : first.value;
    first.length += 3;
    groups->erase(groups->begin() + 1);
  }
}

// The n-th group counted from the right (0 = the last), or 0.
ULONGLONG FromRight(const std::vector<Group>& g, size_t n) {
  return n < g.size() ? g[g.size() - 1 - n].value : 0;
}
// The n-th group from the left, or 0.
ULONGLONG FromLeft(const std::vector<Group>& g, size_t n) { return n < g.size() ? g[n].value : 0; }

// Milliseconds of the last group of a clock time: one or two digits are
// tenths or hundredths; more than three are cut to the first three.
ULONGLONG Milliseconds(const Group& g) {
  if (!g.digits) return 0;
  if (g.length == 1) return g.value * 100;
  if (g.length == 2) return g.value * 10;
  ULONGLONG ms = 0;
  for (int i = 0; i < 3; ++i) ms = ms * 10 + static_cast<ULONGLONG>(g.digits[i] - u'0');
  return ms;
}

__int128 Seconds(ULONGLONG h, ULONGLONG m, ULONGLONG s) {
  return (static_cast<__int128>(h) * 3600 + static_cast<__int128>(m) * 60 + s) * WUNANOTIME_SECOND;
}

// Hours, minutes, seconds and frames (right-aligned; alternative: hours,
// minutes, seconds) at a frame rate.
LONGLONG ReadHMSF(const WCHAR* text, double rate, DWORD options) {
  std::vector<Group> g = ReadGroups(text);
  if (options & WUPOSFMT_ALTERNATIVE)
    return Saturate(Seconds(FromRight(g, 2), FromRight(g, 1), FromRight(g, 0)));
  __int128 whole = Seconds(FromRight(g, 3), FromRight(g, 2), FromRight(g, 1));
  return Saturate(whole + FramesToUnits(static_cast<double>(FromRight(g, 0)), rate));
}

const WCHAR* TextEnd(const WCHAR* text) { return text + WuStrLenSafe(text); }

void StoreEnd(const WCHAR** end, const WCHAR* at) {
  if (end) *end = at;
}

// ---- Formatting one magnitude ---------------------------------------------------------

int WriteClock(WCHAR* out, int size, LPCWSTR format, const _smpteval& t) {
  return WuPrintFN(out, size, format, t.hours, t.minutes, t.seconds, t.frames);
}

// A double value with the caller's format; "$.0f" truncates instead of
// rounding (59.7 s shows 59).
int WriteDouble(WCHAR* out, int size, LPCWSTR format, double value) {
  if (lstrcmpW(format, u"$.0f") == 0)
    return WuPrintFN(out, size, u"$I64d", SaturateDouble(std::trunc(value)));
  return WuPrintFN(out, size, format, value);
}

int FormatMagnitude(WCHAR* out, int size, const _wuposfmt* fmt, LONGLONG t, LPCWSTR format,
                    DWORD options) {
  const double seconds = static_cast<double>(t) / 1e7;
  switch (fmt->formatType) {
    case 0:
      return WuPrintFN(out, size, format, WuNanoTimeToSamples(t, fmt->sampleRate));
    case 1:
    case 3:
    case 17: {
      double rate = fmt->formatType == 1 ? 1000.0 : fmt->formatType == 17 ? 75.0 : fmt->frameRate;
      _smpteval hmsf = {0, 0, 0, 0, 0};
      WuNanoTimeToHMSF(t, &hmsf, rate);
      return WriteClock(out, size, format, hmsf);
    }
    case 2:
      if (lstrcmpW(format, u"$.0f") == 0)
        return WuPrintFN(out, size, u"$I64d", t / WUNANOTIME_SECOND);
      return WuPrintFN(out, size, format, seconds);
    case 4:
      return WriteDouble(out, size, format, seconds * fmt->frameRate + 0.00001);
    case 14:
      return WriteDouble(out, size, format, seconds * fmt->tempo / 60.0);
    case 5:
    case 13: {
      LONG m = 0, b = 0, k = 0;
      WuNanoTimeToMeasures(t, fmt, &m, &b, &k);
      if (fmt->formatType == 5 && !(options & WUPOSFMT_LENGTH)) {
        // Counted from 1; a measure already clamped to the largest stays there.
        if (m < kLongMax) ++m;
        ++b;
      }
      return WuPrintFN(out, size, format, static_cast<DWORD>(m), static_cast<DWORD>(b),
                       static_cast<DWORD>(k));
    }
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 18: {
      _smpteval code = {TimeCodeTypeOf(fmt->formatType), 0, 0, 0, 0};
      WUSMPTE_NanoToSMPTE(t, &code);
      return WriteClock(out, size, format, code);
    }
    case 12:
      return WuPrintFN(out, size, format, (t > kMax - 5 ? kMax : t + 5) / 10);
    case 15:
    case 16: {
      LONGLONG per_foot = fmt->formatType == 15 ? 40 : 16;
      LONGLONG count = SaturateDouble(std::floor(seconds * fmt->frameRate + 0.00001));
      return WuPrintFN(out, size, format, count / per_foot, count % per_foot);
    }
    case 19: {
      _smpteval hmsf = {0, 0, 0, 0, 0};
      WuNanoTimeToHMSF(t, &hmsf, 1000.0);
      if (hmsf.hours != 0)
        return WuPrintFN(out, size, u"%u$:%02u$:%02u", hmsf.hours, hmsf.minutes, hmsf.seconds);
      return WuPrintFN(out, size, hmsf.minutes < 10 ? u"%u$:%02u" : u"%02u$:%02u", hmsf.minutes,
                       hmsf.seconds);
    }
    default:  // 11 and unknown types: raw units
      return WuPrintFN(out, size, format, t);
  }
}

}  // namespace

// ---- Formatting -----------------------------------------------------------------------

LPCWSTR WuNanoTimeFormatString(LONG formatType, BOOL alternative) {
  static const char16_t* const kNormal[20] = {
      u"$I64d",
      u"%02u$:%02u$:%02u$*%03u",
      u"$.3f",
      u"%02u$:%02u$:%02u$*%02u",
      u"$.3f",
      u"$u$&:%u$&.%03u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u;%02u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u:%02u",
      u"$I64d",
      u"$I64d",
      u"$u$&:%u$&.%03u",
      u"$.3f",
      u"$I64d+$I64d",
      u"$I64d+$I64d",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u:%02u",
      u"",
  };
  static const char16_t* const kAlternative[20] = {
      u"$I64d",
      u"%02u$:%02u$:%02u",
      u"$.0f",
      u"%02u$:%02u$:%02u",
      u"$.0f",
      u"$u$&:%u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u;%02u",
      u"%02u:%02u:%02u:%02u",
      u"%02u:%02u:%02u:%02u",
      u"$I64d",
      u"$I64d",
      u"$u$&:%u",
      u"$.0f",
      u"$I64d+$I64d",
      u"$I64d+$I64d",
      u"%02u$:%02u$:%02u",
      u"%02u:%02u:%02u:%02u",
      u"",
  };
  if (formatType < 0 || formatType > 19) return u"$I64d";
  return alternative ? kAlternative[formatType] : kNormal[formatType];
}

int WuNanoTimeToTextFormat(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, LPCWSTR format,
                           DWORD options) {
  if (!out) return 0;
  out[0] = 0;
  if (!fmt || !format) return 0;
  LONGLONG t =
      (options & WUPOSFMT_LENGTH) ? time : Saturate(static_cast<__int128>(time) - fmt->offset);
  int n = 0;
  if (t < 0) {
    out[n++] = u'-';
    t = t == kMin ? kMax : -t;
  }
  return n + FormatMagnitude(out + n, WUNANOTIME_TEXT_MAX - n, fmt, t, format, options);
}

int WuNanoTimeToTextEx(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, DWORD options) {
  if (!fmt) {
    if (out) out[0] = 0;
    return 0;
  }
  LPCWSTR format = WuNanoTimeFormatString(fmt->formatType, (options & WUPOSFMT_ALTERNATIVE) != 0);
  return WuNanoTimeToTextFormat(out, fmt, time, format, options);
}

int WuNanoTimeToText(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, BOOL alternative) {
  return WuNanoTimeToTextEx(out, fmt, time, alternative ? WUPOSFMT_ALTERNATIVE : 0);
}

// ---- Parsing --------------------------------------------------------------------------

LONGLONG WuTextToTimeToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options, const WCHAR** end) {
  if (!text) text = u"";
  StoreEnd(end, TextEnd(text));
  std::vector<Group> g = ReadGroups(text);
  if (g.size() == 1) return Saturate(Seconds(0, 0, g[0].value));
  if (options & WUPOSFMT_ALTERNATIVE)
    return Saturate(Seconds(FromRight(g, 2), FromRight(g, 1), FromRight(g, 0)));
  ULONGLONG ms = g.empty() ? 0 : Milliseconds(g.back());
  return Saturate(Seconds(FromRight(g, 3), FromRight(g, 2), FromRight(g, 1)) +
                  static_cast<__int128>(ms) * 10000);
}

LONGLONG WuTextToHMSFToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options, const WCHAR** end) {
  if (!text) text = u"";
  StoreEnd(end, TextEnd(text));
  return ReadHMSF(text, fmt ? fmt->frameRate : 0.0, options);
}

LONGLONG WuTextToFeetAndFramesToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options,
                                    const WCHAR** end) {
  if (!text) text = u"";
  StoreEnd(end, TextEnd(text));
  if (!fmt) return 0;
  std::vector<Group> g = ReadGroups(text);
  JoinThousands(&g, 2);
  double per_foot = fmt->formatType == 16 ? 16.0 : 40.0;
  double frames =
      static_cast<double>(FromRight(g, 1)) * per_foot + static_cast<double>(FromRight(g, 0));
  return FramesToUnits(frames, fmt->frameRate);
}

LONGLONG WuTextToMusicTimeToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options,
                                const WCHAR** end) {
  if (!text) text = u"";
  StoreEnd(end, TextEnd(text));
  if (!fmt || !(fmt->tempo > 0)) return 0;
  std::vector<Group> g = ReadGroups(text);
  JoinThousands(&g, (options & WUPOSFMT_ALTERNATIVE) ? 2 : 3);
  double m = static_cast<double>(FromLeft(g, 0));
  double b = static_cast<double>(FromLeft(g, 1));
  double t = (options & WUPOSFMT_ALTERNATIVE) ? 0.0 : static_cast<double>(FromLeft(g, 2));
  if (fmt->formatType == 5 && !(options & WUPOSFMT_LENGTH)) {
    if (m > 0) m -= 1;  // counted from 1
    if (b > 0) b -= 1;
  }
  double beats =
      m * fmt->beatsPerMeasure + b + (fmt->ticksPerQuarter ? t / fmt->ticksPerQuarter : 0.0);
  return SaturateDouble(std::floor(beats / fmt->tempo * kUnitsPerMinuteBeat + 0.5));
}

LONGLONG WuTextToNanoTimeToken2(LPCWSTR text, const _wuposfmt* fmt, LONGLONG def, LONGLONG minimum,
                                LONGLONG maximum, DWORD options, const WCHAR** end) {
  if (!text) text = u"";
  const WCHAR* p = WuSkipWhiteSpace(text);
  bool negative = *p == u'-';
  if (negative) ++p;
  const WCHAR* stop = TextEnd(p);
  const bool add_offset = fmt && !(options & WUPOSFMT_LENGTH);
  const bool range = (options & WUPOSFMT_RANGE) != 0;
  if (!fmt || !*WuSkipWhiteSpace(p)) {
    LONGLONG v = add_offset ? Add(def, fmt->offset) : def;
    StoreEnd(end, stop);
    return range ? (v < minimum ? minimum : v > maximum ? maximum : v) : v;
  }

  LONGLONG v = 0;
  switch (fmt->formatType) {
    case 0: {
      LONGLONG samples = WuTextToLongLongToken(p, &stop);
      LONGLONG lo = WuNanoTimeToSamples(kLow, fmt->sampleRate);
      LONGLONG hi = WuNanoTimeToSamples(kHigh, fmt->sampleRate);
      samples = samples < lo ? lo : samples > hi ? hi : samples;
      v = WuSamplesToNanoTime(samples, fmt->sampleRate);
      break;
    }
    case 1:
      v = WuTextToTimeToken(p, fmt, options, nullptr);
      break;
    case 19:  // compact clock time: hours, minutes, seconds
      v = WuTextToTimeToken(p, fmt, options | WUPOSFMT_ALTERNATIVE, nullptr);
      break;
    case 2: {
      double s = WuTextToDoubleToken(p, &stop, TRUE);
      s = s < -461168601842.0 ? -461168601842.0 : s > 230584300921.0 ? 230584300921.0 : s;
      v = SaturateDouble(std::floor(s * 1e7 + 0.5));
      break;
    }
    case 3:
      v = WuTextToHMSFToken(p, fmt, options, nullptr);
      break;
    case 17:
      v = ReadHMSF(p, 75.0, options);
      break;
    case 4: {
      double frames = WuTextToDoubleToken(p, &stop, TRUE);
      double lo = static_cast<double>(kLow) / 1e7 * fmt->frameRate;
      double hi = static_cast<double>(kHigh) / 1e7 * fmt->frameRate;
      frames = frames < lo ? lo : frames > hi ? hi : frames;
      v = FramesToUnits(frames, fmt->frameRate);
      break;
    }
    case 14: {  // beats at the tempo
      double beats = WuTextToDoubleToken(p, &stop, TRUE);
      v = fmt->tempo > 0
              ? SaturateDouble(std::floor(beats / fmt->tempo * kUnitsPerMinuteBeat + 0.5))
              : 0;
      break;
    }
    case 5:
    case 13:
      v = WuTextToMusicTimeToken(p, fmt, options, nullptr);
      break;
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 18: {
      _smpteval code = {TimeCodeTypeOf(fmt->formatType), 0, 0, 0, 0};
      WUSMPTE_TextToSMPTE(p, &code);
      v = WUSMPTE_SMPTEToNanos(&code);
      break;
    }
    case 11:
      v = WuTextToLongLongToken(p, &stop);
      break;
    case 12:
      v = Saturate(static_cast<__int128>(WuTextToLongLongToken(p, &stop)) * 10);
      break;
    case 15:
    case 16:
      v = WuTextToFeetAndFramesToken(p, fmt, options, nullptr);
      break;
    default:
      v = 0;
      break;
  }
  if (negative) v = v == kMin ? kMax : -v;
  if (add_offset) v = Add(v, fmt->offset);
  if (range) {
    if (v == 0 && *stop && !platform::IsWhiteSpace(*stop)) v = def;
    v = v < minimum ? minimum : v > maximum ? maximum : v;
  }
  StoreEnd(end, stop);
  return v;
}

LONGLONG WuTextToNanoTimeToken(LPCWSTR text, const _wuposfmt* fmt, BOOL alternative,
                               const WCHAR** end) {
  return WuTextToNanoTimeToken2(text, fmt, 0, 0, 0, alternative ? WUPOSFMT_ALTERNATIVE : 0, end);
}

LONGLONG WuTextToNanoTimeTokenEx(LPCWSTR text, const _wuposfmt* fmt, BOOL alternative, LONGLONG def,
                                 LONGLONG minimum, LONGLONG maximum, const WCHAR** end) {
  DWORD options = WUPOSFMT_RANGE | (alternative ? WUPOSFMT_ALTERNATIVE : 0);
  return WuTextToNanoTimeToken2(text, fmt, def, minimum, maximum, options, end);
}

// ---- Clock time and samples -----------------------------------------------------------

void WuNanoTimeToHMSF(LONGLONG time, _smpteval* hmsf, double frameRate) {
  if (!hmsf) return;
  if (hmsf->type >= 1 && hmsf->type <= 6) {
    WUSMPTE_NanoToSMPTE(time, hmsf);
    return;
  }
  double seconds = static_cast<double>(time) * 1e-7;
  if (frameRate > 0.01) seconds += 0.5 / frameRate;
  double whole = std::floor(seconds);
  double fraction = seconds - whole;
  double hours = std::floor(whole / 3600.0);
  double rest = whole - hours * 3600.0;
  double day_hours = std::fmod(hours, 24.0);
  if (day_hours < 0) day_hours += 24.0;
  hmsf->hours = static_cast<DWORD>(day_hours);
  hmsf->minutes = static_cast<DWORD>(rest / 60.0);
  hmsf->seconds = static_cast<DWORD>(rest - hmsf->minutes * 60.0);
  // A frame rate beyond 2^32 frames a second (or an infinite one) gives the
  // largest count instead of an undefined conversion.
  double frames = frameRate > 0 ? std::floor(frameRate * fraction) : 0.0;
  hmsf->frames = !(frames > 0)           ? 0
                 : frames >= 4294967295.0 ? 0xFFFFFFFFu
                                          : static_cast<DWORD>(frames);
}

LONGLONG WuHMSFToNanoTime(const _smpteval* hmsf, double frameRate) {
  if (!hmsf) return 0;
  if (hmsf->type >= 1 && hmsf->type <= 6) return WUSMPTE_SMPTEToNanos(hmsf);
  double seconds = hmsf->hours * 3600.0 + hmsf->minutes * 60.0 + hmsf->seconds;
  if (frameRate > 0) seconds += hmsf->frames / frameRate;
  double units = seconds * 1e7 + 0.5;
  if (!(units < 9.2233720368547758e18)) return kMin;
  return static_cast<LONGLONG>(units);
}

LONGLONG WuSamplesToNanoTime(LONGLONG samples, DWORD rate) {
  if (rate == 0) return 0;
  return SaturateDouble(static_cast<double>(samples) / rate * 1e7 + 0.5);
}

LONGLONG WuNanoTimeToSamples(LONGLONG time, DWORD rate) {
  return SaturateDouble(static_cast<double>(time) / 1e7 * rate + 0.5);
}

// ---- Musical time ---------------------------------------------------------------------

void WuNanoTimeToMeasures(LONGLONG time, const _wuposfmt* fmt, LONG* measures, LONG* beats,
                          LONG* ticks) {
  LONG m = 0, b = 0, t = 0;
  if (fmt) {
    double per_measure = BeatsPerMeasure(fmt);
    double mr =
        static_cast<double>(time) * fmt->tempo / per_measure / kUnitsPerMinuteBeat + 0.00005;
    double mt = std::trunc(mr);
    double br = (mr - mt) * per_measure;
    double bt = std::trunc(br);
    double tr = std::trunc((br - bt) * fmt->ticksPerQuarter);
    // Each part clamped to 32 bits: a tempo that is not finite, or ticks per
    // quarter note above 2^31, must not turn into an undefined conversion.
    m = ClampToLong(mt);
    b = ClampToLong(bt);
    t = ClampToLong(tr);
  }
  if (measures) *measures = m;
  if (beats) *beats = b;
  if (ticks) *ticks = t;
}

int WuMeasuresAndTicksToText(WCHAR* out, const _wuposfmt* fmt, LONG measures, LONGLONG ticks,
                             int origin, BOOL shortForm, LONG tickDivisor) {
  if (!out) return 0;
  out[0] = 0;
  if (!fmt) return 0;
  LONGLONG per_beat = TicksPerBeat(fmt);
  LONGLONG per_measure = per_beat * BeatsPerMeasure(fmt);
  LONGLONG carry = ticks / per_measure;
  LONGLONG within = ticks % per_measure;
  if (within < 0) {  // a negative tick count borrows a measure
    within += per_measure;
    --carry;
  }
  // 128 bits: the carry of a tick count near the 64-bit limits at one tick
  // a measure, added to any 32-bit measure, must not overflow before the
  // measure shown is clamped to 32 bits.
  __int128 measure = static_cast<__int128>(measures) + carry;
  LONGLONG beat = within / per_beat;
  LONGLONG tick = (within % per_beat) / (tickDivisor > 0 ? tickDivisor : 1);
  if (origin == 1) {
    ++beat;
    if (measure >= 0) ++measure;
  }
  const LONG shown = ClampToLong(measure);
  if (shortForm)
    return WuPrintFN(out, WUNANOTIME_TEXT_MAX, u"%d$&:%1u", shown, static_cast<DWORD>(beat));
  return WuPrintFN(out, WUNANOTIME_TEXT_MAX, u"%d$&:%u$&.%03u", shown, static_cast<DWORD>(beat),
                   static_cast<DWORD>(tick));
}

int WuTicksToText(WCHAR* out, const _wuposfmt* fmt, LONGLONG ticks, int origin, BOOL shortForm,
                  LONG tickDivisor) {
  return WuMeasuresAndTicksToText(out, fmt, 0, ticks, origin, shortForm, tickDivisor);
}

LONGLONG WuTextToMeasuresBeatsTicks(LPCWSTR text, const _wuposfmt* fmt, int origin,
                                    LONG tickMultiplier, LONG* measure, LONG* beat, LONG* tick) {
  LONGLONG m = 0, b = 0, t = 0;
  LONGLONG result = 0;
  if (text && fmt) {
    const WCHAR* p = WuSkipWhiteSpace(text);
    bool negative = *p == u'-';
    if (negative) ++p;
    std::vector<Group> g = ReadGroups(p);
    m = static_cast<LONGLONG>(FromLeft(g, 0) > 2147483647ull ? 2147483647ull : FromLeft(g, 0));
    b = static_cast<LONGLONG>(FromLeft(g, 1) > 2147483647ull ? 2147483647ull : FromLeft(g, 1));
    t = static_cast<LONGLONG>(FromLeft(g, 2) > 2147483647ull ? 2147483647ull : FromLeft(g, 2));
    if (origin == 1) {
      if (m > 0 && !negative) --m;  // positive measures count from 1
      if (b > 0) --b;
    }
    if (negative) m = -m;
    __int128 beats = static_cast<__int128>(m) * fmt->beatsPerMeasure + b;
    result = Saturate(beats * fmt->ticksPerQuarter + static_cast<__int128>(t) * tickMultiplier);
  }
  if (measure) *measure = static_cast<LONG>(m);
  if (beat) *beat = static_cast<LONG>(b);
  if (tick) *tick = static_cast<LONG>(t);
  return result;
}

LONGLONG WuTextToTicks(LPCWSTR text, const _wuposfmt* fmt, int origin, LONG tickMultiplier) {
  return WuTextToMeasuresBeatsTicks(text, fmt, origin, tickMultiplier, nullptr, nullptr, nullptr);
}

LONGLONG WuTextToBeatsTicks(LPCWSTR text, const _wuposfmt* fmt, LONG tickMultiplier, LONG* beat,
                            LONG* tick) {
  LONGLONG b = 0, t = 0, result = 0;
  if (text && fmt) {
    const WCHAR* p = WuSkipWhiteSpace(text);
    if (*p == u'-') ++p;
    std::vector<Group> g = ReadGroups(p);
    b = static_cast<LONGLONG>(FromLeft(g, 0) > 2147483647ull ? 2147483647ull : FromLeft(g, 0));
    t = static_cast<LONGLONG>(FromLeft(g, 1) > 2147483647ull ? 2147483647ull : FromLeft(g, 1));
    result = Saturate(static_cast<__int128>(b) * fmt->ticksPerQuarter +
                      static_cast<__int128>(t) * tickMultiplier);
  }
  if (beat) *beat = static_cast<LONG>(b);
  if (tick) *tick = static_cast<LONG>(t);
  return result;
}
