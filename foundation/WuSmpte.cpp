#include "foundation/WuSmpte.h"

#include <cmath>

namespace {

constexpr DWORD kDropFramesPerDay = 2589408;     // 24 x 107,892
constexpr DWORD kNominalFramesPerHour = 108000;  // 30 x 3600
constexpr DWORD kNominalFramesPerTenMinutes = 18000;
constexpr DWORD kNominalFramesPerMinute = 1800;

bool IsTimeCodeType(LONG type) { return type >= 1 && type <= 6; }

bool IsDrop(LONG type) { return type == WUSMPTE_TYPE_2997_DROP; }

// TRUE for a minute whose first two frame numbers drop-frame counting skips.
bool IsDroppedMinute(DWORD minutes) { return minutes % 10 != 0; }

// Raises a dropped frame number (0 or 1 at second 0 of a dropped minute) to 2.
void SkipDroppedFrame(_smpteval* code) {
  if (IsDrop(code->type) && code->seconds == 0 && code->frames < 2 &&
      IsDroppedMinute(code->minutes))
    code->frames = 2;
}

// Dropped frames before a nominal (30 fps) count within one day.
DWORD DroppedBefore(DWORD nominal) {
  DWORD in_hour = nominal % kNominalFramesPerHour;
  DWORD minute = in_hour / kNominalFramesPerMinute;
  DWORD dropped = 108 * (nominal / kNominalFramesPerHour);
  if (minute != 0) dropped += 2 * minute - 2 * (in_hour / kNominalFramesPerTenMinutes);
  return dropped;
}

// Splits a nominal count at `fps` into the fields (hours modulo 24).
void SplitNominal(_smpteval* code, DWORD nominal, DWORD fps) {
  code->frames = nominal % fps;
  DWORD total_seconds = nominal / fps;
  code->seconds = total_seconds % 60;
  code->minutes = (total_seconds / 60) % 60;
  code->hours = (total_seconds / 3600) % 24;
}

// Frame count of a code as a signed 64-bit value (no overflow for any
// 32-bit fields).
LONGLONG FrameCount64(const _smpteval* code) {
  if (!IsTimeCodeType(code->type)) return 0;
  _smpteval c = *code;
  SkipDroppedFrame(&c);
  LONGLONG fps = WUSMPTE_NominalFps(c.type);
  LONGLONG h = c.hours, m = c.minutes, s = c.seconds, f = c.frames;
  LONGLONG count = fps * (s + 60 * m + 3600 * h) + f;
  if (IsDrop(c.type)) count -= 108 * h + 2 * m - 2 * (m / 10);
  return count;
}

// x modulo a day of frames, into 0 .. day-1 also for negative x.
DWORD WrapDay(LONGLONG x, DWORD day) {
  LONGLONG r = x % static_cast<LONGLONG>(day);
  if (r < 0) r += day;
  return static_cast<DWORD>(r);
}

}  // namespace

DWORD WUSMPTE_NominalFps(LONG type) {
  switch (type) {
    case WUSMPTE_TYPE_25:
      return 25;
    case WUSMPTE_TYPE_24:
    case WUSMPTE_TYPE_23976:
      return 24;
    default:
      return 30;
  }
}

double WUSMPTE_RealRate(LONG type) {
  switch (type) {
    case WUSMPTE_TYPE_2997_DROP:
    case WUSMPTE_TYPE_2997_NONDROP:
      return 30000.0 / 1001.0;
    case WUSMPTE_TYPE_25:
      return 25.0;
    case WUSMPTE_TYPE_24:
      return 24.0;
    case WUSMPTE_TYPE_23976:
      return 24000.0 / 1001.0;
    default:
      return 30.0;
  }
}

DWORD WUSMPTE_FramesPerDay(LONG type) {
  if (IsDrop(type)) return kDropFramesPerDay;
  return WUSMPTE_NominalFps(type) * 86400;
}

DWORD WUSMPTE_SMPTEToFrameCount(const _smpteval* code) {
  if (!code) return 0;
  return static_cast<DWORD>(FrameCount64(code));
}

void WUSMPTE_FrameCountToSMPTE(_smpteval* code, DWORD count) {
  if (!code) return;
  count %= WUSMPTE_FramesPerDay(code->type);
  if (!IsDrop(code->type)) {
    SplitNominal(code, count, WUSMPTE_NominalFps(code->type));
    return;
  }
  // Add the dropped frames until the nominal count is stable: the smallest
  // nominal count n with n - dropped(n) == count.
  DWORD nominal = count;
  for (;;) {
    DWORD next = count + DroppedBefore(nominal);
    if (next == nominal) break;
    nominal = next;
  }
  SplitNominal(code, nominal, 30);
  SkipDroppedFrame(code);
}

void WUSMPTE_AddSMPTE(_smpteval* a, const _smpteval* b) {
  if (!a || !b) return;
  LONGLONG sum = FrameCount64(a) + FrameCount64(b);
  WUSMPTE_FrameCountToSMPTE(a, WrapDay(sum, WUSMPTE_FramesPerDay(a->type)));
}

void WUSMPTE_SubtractSMPTE(_smpteval* a, const _smpteval* b) {
  if (!a || !b) return;
  LONGLONG difference = FrameCount64(a) - FrameCount64(b);
  WUSMPTE_FrameCountToSMPTE(a, WrapDay(difference, WUSMPTE_FramesPerDay(a->type)));
}

int WUSMPTE_SMPTECompare(const _smpteval* a, const _smpteval* b) {
  if (!a || !b) return 0;
  const DWORD av[4] = {a->hours, a->minutes, a->seconds, a->frames};
  const DWORD bv[4] = {b->hours, b->minutes, b->seconds, b->frames};
  for (int i = 0; i < 4; ++i) {
    if (av[i] < bv[i]) return -1;
    if (av[i] > bv[i]) return 1;
  }
  return 0;
}

void WUSMPTE_IncrementByFrame(_smpteval* code) {
  if (!code) return;
  DWORD fps = WUSMPTE_NominalFps(code->type);
  if (++code->frames >= fps) {
    code->frames = 0;
    if (++code->seconds >= 60) {
      code->seconds = 0;
      if (++code->minutes >= 60) {
        code->minutes = 0;
        if (++code->hours >= 24) code->hours = 0;
      }
    }
  }
  SkipDroppedFrame(code);
}

void WUSMPTE_DeccrementByFrame(_smpteval* code) {
  if (!code) return;
  DWORD fps = WUSMPTE_NominalFps(code->type);
  // The first valid frame of the second: 2 in a dropped minute's second 0.
  DWORD first =
      (IsDrop(code->type) && code->seconds == 0 && IsDroppedMinute(code->minutes)) ? 2 : 0;
  if (code->frames > first && code->frames <= fps) {
    --code->frames;
    return;
  }
  code->frames = fps - 1;
  if (code->seconds > 0 && code->seconds <= 60) {
    --code->seconds;
    return;
  }
  code->seconds = 59;
  if (code->minutes > 0 && code->minutes <= 60) {
    --code->minutes;
    return;
  }
  code->minutes = 59;
  code->hours = (code->hours > 0 && code->hours <= 24) ? code->hours - 1 : 23;
}

void WUSMPTE_NanoToSMPTE(LONGLONG units, _smpteval* code) {
  if (!code) return;
  double rate = WUSMPTE_RealRate(code->type);
  // floor, not trunc: a negative time counts back whole frames from midnight.
  double frames = std::floor(rate * static_cast<double>(units) / 10000000.0 + 0.000005);
  DWORD day = WUSMPTE_FramesPerDay(code->type);
  // Reduce in floating point first: the frame count of any 64-bit time fits
  // easily in a double, not always in 32 bits.
  double wrapped = std::fmod(frames, static_cast<double>(day));
  if (wrapped < 0) wrapped += day;
  WUSMPTE_FrameCountToSMPTE(code, WrapDay(static_cast<LONGLONG>(wrapped), day));
}

LONGLONG WUSMPTE_SMPTEToNanos(const _smpteval* code) {
  if (!code) return 0;
  double count = static_cast<double>(WUSMPTE_SMPTEToFrameCount(code));
  return static_cast<LONGLONG>(count / WUSMPTE_RealRate(code->type) * 10000000.0 + 0.999);
}

LONGLONG WUSMPTE_SmpteLikeToNanos(double rate, const _smpteval* code) {
  if (!code || !(rate > 0)) return 0;
  double whole = static_cast<double>(code->hours) * 3600.0 + code->minutes * 60.0 + code->seconds;
  double units = (whole * rate + code->frames) / rate * 10000000.0 + 0.999;
  if (!(units < 9.2e18)) return 0;
  return static_cast<LONGLONG>(units);
}

void WUSMPTE_TextToSMPTE(LPCWSTR text, _smpteval* code) {
  if (!code) return;
  code->hours = code->minutes = code->seconds = code->frames = 0;
  if (!text) return;

  // Collect the numbers: digit runs, each cut into pairs from the right.
  DWORD fields[4] = {0, 0, 0, 0};  // hours, minutes, seconds, frames
  int read = 0;
  auto push = [&](DWORD value) {
    if (read >= 4) return;
    fields[0] = fields[1];
    fields[1] = fields[2];
    fields[2] = fields[3];
    fields[3] = value;
    ++read;
  };
  const WCHAR* p = text;
  bool last_was_separator = false;
  while (*p && read < 4) {
    if (*p < u'0' || *p > u'9') {
      // White space after the last digit is not a separator.
      last_was_separator = last_was_separator || (*p != u' ' && *p != u'\t');
      ++p;
      continue;
    }
    const WCHAR* run = p;
    while (*p >= u'0' && *p <= u'9') ++p;
    size_t length = static_cast<size_t>(p - run);
    // An odd-length run starts with a single digit; the rest are pairs.
    size_t first = length % 2 ? 1 : 2;
    for (size_t at = 0; at < length && read < 4; at += (at == 0 ? first : 2)) {
      size_t take = at == 0 ? first : 2;
      DWORD value = 0;
      for (size_t k = 0; k < take; ++k) value = value * 10 + static_cast<DWORD>(run[at + k] - u'0');
      push(value);
    }
    last_was_separator = false;
  }
  if (last_was_separator && read > 0 && !*p) push(0);

  code->hours = fields[0];
  code->minutes = fields[1];
  code->seconds = fields[2];
  code->frames = fields[3];
  if (!IsTimeCodeType(code->type)) return;

  // Normalise: carry into the next field, hours modulo 24.
  DWORD fps = WUSMPTE_NominalFps(code->type);
  code->seconds += code->frames / fps;
  code->frames %= fps;
  code->minutes += code->seconds / 60;
  code->seconds %= 60;
  code->hours += code->minutes / 60;
  code->minutes %= 60;
  code->hours %= 24;
  SkipDroppedFrame(code);
}
