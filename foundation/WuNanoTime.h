// Time positions: signed 64-bit counts of 100-nanosecond units ("nano
// time") shown and read as samples, clock time, seconds, frames, time code,
// film feet and frames, musical measures, beats and ticks, or raw units.
//
// Format types and their format strings (normal set; alternative set with
// option bit 0 where it differs):
//
//   0  samples                               "$I64d"
//   1  clock time with milliseconds          "%02u$:%02u$:%02u$*%03u"  / "%02u$:%02u$:%02u"
//   2  seconds                               "$.3f"                    / "$.0f"
//   3  clock time with frames (frame rate)   "%02u$:%02u$:%02u$*%02u"  / "%02u$:%02u$:%02u"
//   4  frames (frame rate)                   "$.3f"                    / "$.0f"
//   5  measures:beats.ticks, counted from 1  "$u$&:%u$&.%03u"          / "$u$&:%u"
//   6  time code 29.97 fps non-drop          "%02u:%02u:%02u:%02u"
//   7  time code 30 fps                      "%02u:%02u:%02u:%02u"
//   8  time code 29.97 fps drop-frame        "%02u:%02u:%02u;%02u"
//   9  time code 25 fps                      "%02u:%02u:%02u:%02u"
//  10  time code 24 fps                      "%02u:%02u:%02u:%02u"
//  11  raw 100-ns units                      "$I64d"
//  12  microseconds                          "$I64d"
//  13  measures:beats.ticks, counted from 0  "$u$&:%u$&.%03u"          / "$u$&:%u"
//  14  beats (tempo)                         "$.3f"                    / "$.0f"
//  15  film feet+frames, 40 frames a foot    "$I64d+$I64d"
//  16  film feet+frames, 16 frames a foot    "$I64d+$I64d"
//  17  audio CD time, 75 frames a second     "%02u:%02u:%02u:%02u"     / "%02u$:%02u$:%02u"
//  18  time code 23.976 fps                  "%02u:%02u:%02u:%02u"
//  19  compact clock time                    "m:ss", "mm:ss" or "h:mm:ss"
//  other: raw units                          "$I64d"
//
// Every text writer takes an output of at least WUNANOTIME_TEXT_MAX
// characters and never writes more.
#pragma once

#include "foundation/WuSmpte.h"
#include "platform/kernel/types.h"

// Characters, terminator included, that a time or musical text needs at
// most.
constexpr int WUNANOTIME_TEXT_MAX = 128;

// 100-ns units in one second.
constexpr LONGLONG WUNANOTIME_SECOND = 10000000;

// Options of the time formatters and parsers.
constexpr DWORD WUPOSFMT_ALTERNATIVE = 0x1;  // the alternative format set
constexpr DWORD WUPOSFMT_LENGTH = 0x2;       // a length: no offset, musical counts from 0
constexpr DWORD WUPOSFMT_RANGE = 0x4;        // parsing: apply default, minimum and maximum

// How a time position is shown (40 bytes).
struct _wuposfmt {
  LONG formatType;        // 0..19, table above
  DWORD sampleRate;       // samples per second (type 0)
  double frameRate;       // frames per second (types 3, 4, 15, 16)
  double tempo;           // beats per minute (types 5, 13, 14)
  LONGLONG offset;        // subtracted before formatting, added after parsing (not for lengths)
  WORD beatUnit;          // note value of one beat (4 = quarter note)
  WORD beatsPerMeasure;   // beats in a measure
  DWORD ticksPerQuarter;  // ticks per quarter note
};
static_assert(sizeof(_wuposfmt) == 40);

// ---- Formatting -----------------------------------------------------------------------
// Writes a time with a format string of the type (see the table); a
// negative value writes '-' and its magnitude. Returns the characters
// written, the '-' counted.
int WuNanoTimeToTextFormat(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, LPCWSTR format,
                           DWORD options);
// Picks the type's format string (option bit 0: the alternative set).
int WuNanoTimeToTextEx(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, DWORD options);
int WuNanoTimeToText(WCHAR* out, const _wuposfmt* fmt, LONGLONG time, BOOL alternative);
// The format string of a type (normal or alternative set).
LPCWSTR WuNanoTimeFormatString(LONG formatType, BOOL alternative);

// ---- Parsing --------------------------------------------------------------------------
// Reads a time: leading white space is skipped and a leading '-' noted; an
// empty text gives the default. Numbers are separated by any non-digit, and
// a separator at the very end stands for a following 0. The '-' negates the
// result; unless WUPOSFMT_LENGTH the offset is added; with WUPOSFMT_RANGE a
// result of 0 while unread text is left takes the default and the result is
// clamped to minimum .. maximum. *end (when not NULL) receives the position
// where reading stopped.
LONGLONG WuTextToNanoTimeToken2(LPCWSTR text, const _wuposfmt* fmt, LONGLONG def, LONGLONG minimum,
                                LONGLONG maximum, DWORD options, const WCHAR** end);
LONGLONG WuTextToNanoTimeToken(LPCWSTR text, const _wuposfmt* fmt, BOOL alternative,
                               const WCHAR** end);
LONGLONG WuTextToNanoTimeTokenEx(LPCWSTR text, const _wuposfmt* fmt, BOOL alternative, LONGLONG def,
                                 LONGLONG minimum, LONGLONG maximum, const WCHAR** end);

// The per-format readers (no sign, no offset): clock time (type 1), hours
// minutes seconds frames at the record's frame rate (type 3), feet and
// frames (types 15, 16), measures beats ticks (types 5, 13).
LONGLONG WuTextToTimeToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options, const WCHAR** end);
LONGLONG WuTextToHMSFToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options, const WCHAR** end);
LONGLONG WuTextToFeetAndFramesToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options,
                                    const WCHAR** end);
LONGLONG WuTextToMusicTimeToken(LPCWSTR text, const _wuposfmt* fmt, DWORD options,
                                const WCHAR** end);

// ---- Clock time and samples -----------------------------------------------------------
// Splits a time into hours (modulo 24), minutes, seconds and frames at a
// frame rate (half a frame is added first when the rate is above 0.01). A
// record whose type is a time-code type (1..6) is filled as that time code.
void WuNanoTimeToHMSF(LONGLONG time, _smpteval* hmsf, double frameRate);
// (h x 3600 + m x 60 + s + frames / rate) x 10^7 + 0.5, truncated (frames
// ignored for a rate not above 0); time-code types convert as time codes.
// Results beyond the 64-bit range give 0x8000000000000000.
LONGLONG WuHMSFToNanoTime(const _smpteval* hmsf, double frameRate);
// samples / rate x 10^7 + 0.5, truncated; 0 for rate 0.
LONGLONG WuSamplesToNanoTime(LONGLONG samples, DWORD rate);
// time / 10^7 x rate + 0.5, truncated.
LONGLONG WuNanoTimeToSamples(LONGLONG time, DWORD rate);

// ---- Musical time ---------------------------------------------------------------------
// Measure, beat and tick of a time at the record's tempo (all counted from
// 0, truncated toward zero).
void WuNanoTimeToMeasures(LONGLONG time, const _wuposfmt* fmt, LONG* measures, LONG* beats,
                          LONG* ticks);
// "measure:beat.tick" (short: "measure:beat") of a measure and a tick count
// within it (a tick count beyond a measure or below 0 moves the measure).
// Ticks per beat = ticks per quarter x 4 / beat unit; the tick shown is
// divided by the divisor. With origin 1 beats and non-negative measures
// count from 1.
int WuMeasuresAndTicksToText(WCHAR* out, const _wuposfmt* fmt, LONG measures, LONGLONG ticks,
                             int origin, BOOL shortForm, LONG tickDivisor);
// The same for an absolute tick count.
int WuTicksToText(WCHAR* out, const _wuposfmt* fmt, LONGLONG ticks, int origin, BOOL shortForm,
                  LONG tickDivisor);
// Reads "measure:beat.tick" into ticks: (measure x beats per measure +
// beat) x ticks per quarter + tick x multiplier. A leading '-' negates the
// measure; with origin 1 positive measures and beats count from 1. The
// outs (optional) receive the measure, beat and tick as used.
LONGLONG WuTextToMeasuresBeatsTicks(LPCWSTR text, const _wuposfmt* fmt, int origin,
                                    LONG tickMultiplier, LONG* measure, LONG* beat, LONG* tick);
LONGLONG WuTextToTicks(LPCWSTR text, const _wuposfmt* fmt, int origin, LONG tickMultiplier);
// Reads "beat.tick" (a leading '-' skipped): beat x ticks per quarter +
// tick x multiplier.
LONGLONG WuTextToBeatsTicks(LPCWSTR text, const _wuposfmt* fmt, LONG tickMultiplier, LONG* beat,
                            LONG* tick);
