// Time-code arithmetic: converting between a time code (hours, minutes,
// seconds, frames), a frame count and a time in 100-nanosecond units;
// adding, subtracting, comparing and stepping time codes; reading them from
// text.
//
// Six time-code types are known:
//
//   type  counting    nominal fps  real rate            frames in 24 hours
//   1     non-drop    30           30                   2,592,000
//   2     drop-frame  30           30000/1001 (29.97)   2,589,408
//   3     non-drop    25           25                   2,160,000
//   4     non-drop    24           24                   2,073,600
//   5     non-drop    30           30000/1001 (29.97)   2,592,000
//   6     non-drop    24           24000/1001 (23.976)  2,073,600
//
// Drop-frame counting skips frame numbers 0 and 1 at the start of every
// minute that is not a multiple of ten. The 29.97 and 23.976 rates are the
// exact fractions, so that 30 frames of type 2 last exactly 1.001 seconds.
//
// Type 0 (plain clock time) and any other value are not time codes: their
// frame count is 0, conversions to and from 100-ns units use a rate of 30,
// and the remaining operations treat them as 30 fps non-drop.
#pragma once

#include "platform/kernel/types.h"

// Time-code types.
constexpr LONG WUSMPTE_TYPE_NONE = 0;          // plain clock time, not a time code
constexpr LONG WUSMPTE_TYPE_30 = 1;            // 30 fps
constexpr LONG WUSMPTE_TYPE_2997_DROP = 2;     // 29.97 fps drop-frame
constexpr LONG WUSMPTE_TYPE_25 = 3;            // 25 fps
constexpr LONG WUSMPTE_TYPE_24 = 4;            // 24 fps
constexpr LONG WUSMPTE_TYPE_2997_NONDROP = 5;  // 29.97 fps non-drop
constexpr LONG WUSMPTE_TYPE_23976 = 6;         // 23.976 fps non-drop

// A time code, or (type 0) a clock time split into its fields.
struct _smpteval {
  LONG type;      // time-code type, table above
  DWORD hours;    // 0..23
  DWORD minutes;  // 0..59
  DWORD seconds;  // 0..59
  DWORD frames;   // 0..nominal fps - 1
};
static_assert(sizeof(_smpteval) == 20);

// Nominal frames per second of a type (30 for non-time-code types).
DWORD WUSMPTE_NominalFps(LONG type);
// Real frame rate of a type (30 for non-time-code types).
double WUSMPTE_RealRate(LONG type);
// Frames in 24 hours of a type (that of 30 fps for non-time-code types).
DWORD WUSMPTE_FramesPerDay(LONG type);

// Frame count of a time code: fps x (s + 60 m + 3600 h) + f, less the
// dropped frames for drop-frame. A drop-frame code at frame 0 or 1 of a
// dropped minute counts as frame 2. 0 for a type that is not a time code.
DWORD WUSMPTE_SMPTEToFrameCount(const _smpteval* code);
// Fills hours, minutes, seconds and frames from a frame count (taken modulo
// the frames of a day), keeping the type.
void WUSMPTE_FrameCountToSMPTE(_smpteval* code, DWORD count);

// a = a + b, wrapped at 24 hours of a's type. Each code is counted in its
// own type.
void WUSMPTE_AddSMPTE(_smpteval* a, const _smpteval* b);
// a = a - b, wrapped into 0 .. 24 hours of a's type.
void WUSMPTE_SubtractSMPTE(_smpteval* a, const _smpteval* b);
// -1, 0 or 1: hours, then minutes, seconds and frames compared unsigned.
int WUSMPTE_SMPTECompare(const _smpteval* a, const _smpteval* b);

// One frame forward or back, wrapping at 24 hours; the result is always a
// valid code of the type (drop-frame skips the dropped frame numbers).
void WUSMPTE_IncrementByFrame(_smpteval* code);
void WUSMPTE_DeccrementByFrame(_smpteval* code);

// Time in 100-ns units to time code (type set by the caller): frames =
// floor(rate x units / 10^7 + 0.000005) at the real rate (the same as
// truncation for the usual positive times); a negative time counts back
// from midnight.
void WUSMPTE_NanoToSMPTE(LONGLONG units, _smpteval* code);
// Time code to 100-ns units: trunc(frame count / real rate x 10^7 + 0.999).
LONGLONG WUSMPTE_SMPTEToNanos(const _smpteval* code);
// Any rate, no drop-frame: ((h x 3600 + m x 60 + s) x rate + f) / rate x
// 10^7 + 0.999, truncated. 0 for a rate that is not above 0.
LONGLONG WUSMPTE_SmpteLikeToNanos(double rate, const _smpteval* code);

// Reads a time code from text into `code` (its type kept, the fields
// cleared first). Every non-digit separates numbers; a separator at the very
// end stands for a following 0 ("5:" is 00:00:05:00); digit runs longer than
// two are cut into pairs from the right ("01020304" is 01:02:03:04). Up to
// four numbers are read, the last being the frames, the one before the
// seconds, then minutes and hours. For time-code types the fields are then
// normalised (frames carry into seconds, seconds into minutes, minutes into
// hours, hours modulo 24; a dropped drop-frame number reads as frame 2).
// A NULL text clears the fields.
void WUSMPTE_TextToSMPTE(LPCWSTR text, _smpteval* code);
