// Conversion of single colours between RGB records and WUHSL.
//
// All work is in double precision; bytes enter as value / 255. The plain
// forms expect colours within 0.0 .. 1.0. The _Float pair accepts colours
// outside that range (super-white, negative values): the forward form
// keeps max + min away from 0 and 2 and negates S where L lies outside
// 0 .. 1, and the inverse negates it back, so the pair round-trips such
// colours. Every function takes the output record first; none changes its
// input.
#pragma once

#include "imaging/WuColorRecords.h"
#include "platform/kernel/types.h"

void WURGBA_To_WUHSL(WUHSL* out, const WURGBA* in);
void WURGBAFLOAT_To_WUHSL(WUHSL* out, const WURGBAFLOAT* in);
void WUDIBPIXEL_To_WUHSL(WUHSL* out, const WUDIBPIXEL* in);
void WUDIBPIXEL_To_WUHSL_Float(WUHSL* out, const WUDIBPIXEL* in);

// To RGB. Alpha is always written (bytes: A * 255 truncated and clamped).
// Blue, green and red are 0 when the colour has no lightness
// (m2 <= 0, plain forms), and are left as they were for a hue outside
// 0 .. 7/6. Bytes are value * 255 truncated and clamped to 0..255.
void WUHSL_To_WURGBA(WURGBA* out, const WUHSL* in);
void WUHSL_To_WURGBAFLOAT(WURGBAFLOAT* out, const WUHSL* in);
void WUHSL_To_WUDIBPIXEL(WUDIBPIXEL* out, const WUHSL* in);
void WUHSL_To_WUDIBPIXEL_Float(WUDIBPIXEL* out, const WUHSL* in);

// The cores to HSL: channels as doubles in the order red, green, blue,
// alpha.
void WuRgbToHslCore(WUHSL* out, double red, double green, double blue, double alpha);
void WuRgbToHslCoreExtended(WUHSL* out, double red, double green, double blue, double alpha);
