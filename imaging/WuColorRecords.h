// Single-colour records. Channels are blue first, as everywhere in the
// image code.
#pragma once

#include "platform/kernel/types.h"

// One colour as four bytes, 0 to 255.
struct WURGBA {
  BYTE blue;   // blue
  BYTE green;  // green
  BYTE red;    // red
  BYTE alpha;  // alpha, 255 opaque
};
static_assert(sizeof(WURGBA) == 4);

// One colour as four 32-bit floats, nominal range 0.0 to 1.0.
struct WURGBAFLOAT {
  float blue;   // blue
  float green;  // green
  float red;    // red
  float alpha;  // alpha, 1.0 opaque
};
static_assert(sizeof(WURGBAFLOAT) == 16);

// A working bitmap pixel: the layout of WURGBAFLOAT; values outside 0.0 ..
// 1.0 (super-white, negative) are allowed.
struct WUDIBPIXEL {
  float blue;   // blue
  float green;  // green
  float red;    // red
  float alpha;  // alpha, 1.0 opaque
};
static_assert(sizeof(WUDIBPIXEL) == 16);

// A colour as hue, saturation, lightness and alpha. H is a fraction of a
// full turn: red at 0.0 (and 1.0), yellow 1/6, green 2/6, cyan 3/6, blue
// 4/6, magenta 5/6. S, L and A run from 0.0 to 1.0.
struct WUHSL {
  double H;  // hue
  double S;  // saturation
  double L;  // lightness
  double A;  // alpha
};
static_assert(sizeof(WUHSL) == 32);
