// Fetch and store functions of the pixel-exchange pipeline, generated from
// one template per pixel layout.
//
// A layout (16-bit lanes) describes one pixel at a byte address and a bit
// position:
//   kBits         bits per pixel (cursor movement);
//   kHasAlpha     false: interpolated alpha is forced to 0xFFFF;
//   kTaps         how interpolating fetches sample (TapKind);
//   kCursorBelow  fetch2x2 leaves `src` on the row below;
//   Read          the plain fetch into four 16-bit lanes (exact: bytes x 257);
//   Write         the store of four 16-bit lanes (four: the four-pixel form).
// The 8-bit-lane layouts (types 24, 27, 28, 29) and the float-lane layout
// (type 32) have their own small templates below. Every instantiation is
// its own function: a pixel costs one indirect call and no type test.
#include <cstdint>
#include <cstring>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchg.h"
#include "imaging/WuXchgTables.h"

namespace {

// ---- Little helpers -------------------------------------------------------------------------

inline WORD Load16(const BYTE* p) {
  WORD v;
  std::memcpy(&v, p, 2);
  return v;
}
inline DWORD Load32(const BYTE* p) {
  DWORD v;
  std::memcpy(&v, p, 4);
  return v;
}
inline float LoadFloat(const BYTE* p) {
  float v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Save16(BYTE* p, WORD v) { std::memcpy(p, &v, 2); }
inline void Save32(BYTE* p, DWORD v) { std::memcpy(p, &v, 4); }
inline void SaveFloat(BYTE* p, float v) { std::memcpy(p, &v, 4); }

inline void SetLanes(WORD* out, unsigned b, unsigned g, unsigned r, unsigned a) {
  out[0] = static_cast<WORD>(b);
  out[1] = static_cast<WORD>(g);
  out[2] = static_cast<WORD>(r);
  out[3] = static_cast<WORD>(a);
}

// Inverse colour map index of 16-bit lanes: top five bits of each channel.
inline unsigned InverseIndex16(const WORD* in) {
  return (static_cast<unsigned>(in[2] >> 11) << 10) | (static_cast<unsigned>(in[1] >> 11) << 5) |
         (in[0] >> 11);
}
inline unsigned InverseIndex8(const BYTE* in) {
  return (static_cast<unsigned>(in[2] >> 3) << 10) | (static_cast<unsigned>(in[1] >> 3) << 5) |
         (in[0] >> 3);
}

// A lane value x 65,537 / 2^32 as a float: slightly below lane / 65,535.
inline float LaneToFloat(unsigned lane) {
  return static_cast<float>(static_cast<double>(lane) * 1.5259021893143654e-05);
}

inline float ThroughCurve(const WuGammaCurve* curve, float x) {
  return WuGammaCurve_IsNonUnity(curve) ? WuGammaCurve_Apply(curve, x) : x;
}

// Moves a cursor on by `n` pixels of `Bits` bits (sub-byte types move the
// bit position, counted from the top bit, and the byte when it wraps).
template <int Bits, class P>
inline void Advance(P& p, DWORD& bit, int n) {
  if constexpr (Bits < 8) {
    const DWORD next = bit + static_cast<DWORD>(Bits * n);
    p += next >> 3;
    bit = next & 7;
  } else {
    p += (Bits / 8) * n;
  }
}

// How an interpolating fetch samples its taps.
enum class TapKind {
  kPlain,       // the plain fetch's lanes at every tap
  kGrey8,       // bytes weighted, the weighted sum x 257
  kRowBelow,    // current row byte x 257, row below (below << 8) | above
  kHorizontal,  // the row below is not read: only the current row counts
};

// ---- Layouts, 16-bit lanes ----------------------------------------------------------------------

// 1-, 2- and 4-bit grey (and the 1-bit type 16), or the 4-bit palette.
template <int Bits, bool Palette>
struct SubByteLayout {
  static constexpr int kBits = Bits;
  static constexpr bool kHasAlpha = false;
  static constexpr TapKind kTaps = TapKind::kPlain;
  static constexpr bool kCursorBelow = false;
  static constexpr unsigned kMask = (1u << Bits) - 1;

  static void Read(const WUXCHGFUNCS* r, const BYTE* p, DWORD bit, WORD* out, bool) {
    const unsigned v = (*p >> (8 - Bits - bit)) & kMask;
    if constexpr (Palette) {
      const RGBQUAD& e = r->srcPalette[v];
      SetLanes(out, e.rgbBlue << 8, e.rgbGreen << 8, e.rgbRed << 8, 0xFFFF);
    } else {
      // 1 bit: 0 or 0xFFFF; 2 bits: v x 0x5555; 4 bits: v x 0x1111.
      const unsigned g = v * (0xFFFFu / kMask);
      SetLanes(out, g, g, g, 0xFFFF);
    }
  }
  static void Write(WUXCHGFUNCS* r, BYTE* p, DWORD bit, const WORD* in, bool four) {
    unsigned v;
    if constexpr (Palette) {
      v = r->inverseMap[InverseIndex16(in)];
    } else {
      const unsigned sum = static_cast<unsigned>(in[0]) + in[1] + in[2];
      if constexpr (Bits == 1)
        v = four ? sum / 98304 : (sum >= 98303 ? 1u : 0u);
      else if constexpr (Bits == 2)
        v = sum / 49152;
      else
        v = sum / 12288;
    }
    const unsigned shift = 8 - Bits - bit;
    *p = static_cast<BYTE>((*p & ~(kMask << shift)) | ((v & kMask) << shift));
  }
};

// 8-bit grey or the 8-bit palette.
template <bool Palette>
struct Byte8Layout {
  static constexpr int kBits = 8;
  static constexpr bool kHasAlpha = false;
  static constexpr TapKind kTaps = Palette ? TapKind::kPlain : TapKind::kGrey8;
  static constexpr bool kCursorBelow = false;

  static void Read(const WUXCHGFUNCS* r, const BYTE* p, DWORD, WORD* out, bool exact) {
    if constexpr (Palette) {
      const RGBQUAD& e = r->srcPalette[*p];
      SetLanes(out, e.rgbBlue << 8, e.rgbGreen << 8, e.rgbRed << 8, 0xFFFF);
    } else {
      const unsigned g = exact ? *p * 257u : *p * 256u;
      SetLanes(out, g, g, g, 0xFFFF);
    }
  }
  static void Write(WUXCHGFUNCS* r, BYTE* p, DWORD, const WORD* in, bool) {
    if constexpr (Palette)
      *p = r->inverseMap[InverseIndex16(in)];
    else
      *p = static_cast<BYTE>((static_cast<unsigned>(in[0]) + in[1] + in[2]) / 768);
  }
};

// 16-bit 5:5:5 (bit 15 written 0) or 5:6:5.
template <bool Green6>
struct Packed16Layout {
  static constexpr int kBits = 16;
  static constexpr bool kHasAlpha = false;
  static constexpr TapKind kTaps = TapKind::kPlain;
  static constexpr bool kCursorBelow = true;

  static void Read(const WUXCHGFUNCS*, const BYTE* p, DWORD, WORD* out, bool) {
    const unsigned v = Load16(p);
    if constexpr (Green6)
      SetLanes(out, v << 11, (v & 0x07E0) << 5, v & 0xF800, 0xFFFF);
    else
      SetLanes(out, v << 11, (v & 0x03E0) << 6, (v & 0x7C00) << 1, 0xFFFF);
  }
  static void Write(WUXCHGFUNCS*, BYTE* p, DWORD, const WORD* in, bool) {
    unsigned v;
    if constexpr (Green6)
      v = (in[2] & 0xF800u) | (static_cast<unsigned>(in[1] >> 10) << 5) | (in[0] >> 11);
    else
      v = (static_cast<unsigned>(in[2] >> 11) << 10) | (static_cast<unsigned>(in[1] >> 11) << 5) |
          (in[0] >> 11);
    Save16(p, static_cast<WORD>(v));
  }
};

// 8 bits a channel: blue, green, red (3 bytes) or with a fourth byte (4).
template <int Bytes>
struct ByteChannelLayout {
  static constexpr int kBits = Bytes * 8;
  static constexpr bool kHasAlpha = Bytes == 4;
  static constexpr TapKind kTaps = TapKind::kRowBelow;
  static constexpr bool kCursorBelow = true;

  static void Read(const WUXCHGFUNCS*, const BYTE* p, DWORD, WORD* out, bool exact) {
    const unsigned m = exact ? 257u : 256u;
    SetLanes(out, p[0] * m, p[1] * m, p[2] * m, Bytes == 4 ? p[3] * m : 0xFFFFu);
  }
  static void Write(WUXCHGFUNCS*, BYTE* p, DWORD, const WORD* in, bool) {
    p[0] = static_cast<BYTE>(in[0] >> 8);
    p[1] = static_cast<BYTE>(in[1] >> 8);
    p[2] = static_cast<BYTE>(in[2] >> 8);
    if constexpr (Bytes == 4) p[3] = static_cast<BYTE>(in[3] >> 8);
  }
};

// 10:10:10 with a 2-bit alpha.
struct Packed1010Layout {
  static constexpr int kBits = 32;
  static constexpr bool kHasAlpha = true;
  static constexpr TapKind kTaps = TapKind::kPlain;
  static constexpr bool kCursorBelow = true;

  static void Read(const WUXCHGFUNCS*, const BYTE* p, DWORD, WORD* out, bool) {
    const DWORD v = Load32(p);
    SetLanes(out, (v & 0x3FF) << 6, ((v >> 10) & 0x3FF) << 6, ((v >> 20) & 0x3FF) << 6,
             (v >> 30) * 0x5555u);
  }
  static void Write(WUXCHGFUNCS*, BYTE* p, DWORD, const WORD* in, bool) {
    Save32(p, static_cast<DWORD>(in[0] >> 6) | (static_cast<DWORD>(in[1] >> 6) << 10) |
                  (static_cast<DWORD>(in[2] >> 6) << 20) | (static_cast<DWORD>(in[3] >> 14) << 30));
  }
};

// 16 bits a channel: one grey word, or blue, green, red, alpha words
// (interpolated horizontally only).
template <int Channels>
struct WordChannelLayout {
  static constexpr int kBits = Channels * 16;
  static constexpr bool kHasAlpha = Channels == 4;
  static constexpr TapKind kTaps = Channels == 4 ? TapKind::kHorizontal : TapKind::kPlain;
  static constexpr bool kCursorBelow = false;

  static void Read(const WUXCHGFUNCS*, const BYTE* p, DWORD, WORD* out, bool) {
    if constexpr (Channels == 4) {
      std::memcpy(out, p, 8);
    } else {
      const WORD g = Load16(p);
      SetLanes(out, g, g, g, 0xFFFF);
    }
  }
  static void Write(WUXCHGFUNCS*, BYTE* p, DWORD, const WORD* in, bool) {
    if constexpr (Channels == 4)
      std::memcpy(p, in, 8);
    else
      Save16(p, static_cast<WORD>((static_cast<unsigned>(in[0]) + in[1] + in[2]) / 3));
  }
};

// 32-bit float grey or four floats blue, green, red, alpha, through the
// record's curves.
template <int Channels>
struct FloatChannelLayout {
  static constexpr int kBits = Channels * 32;
  static constexpr bool kHasAlpha = Channels == 4;
  static constexpr TapKind kTaps = TapKind::kPlain;
  static constexpr bool kCursorBelow = Channels == 4;

  static void Read(const WUXCHGFUNCS* r, const BYTE* p, DWORD, WORD* out, bool) {
    if constexpr (Channels == 4) {
      for (int c = 0; c < 4; ++c) out[c] = WuXchgFloatTo16(ThroughCurve(&r->fetchCurve, LoadFloat(p + 4 * c)));
    } else {
      const WORD g = WuXchgFloatTo16(ThroughCurve(&r->fetchCurve, LoadFloat(p)));
      SetLanes(out, g, g, g, 0xFFFF);
    }
  }
  static void Write(WUXCHGFUNCS* r, BYTE* p, DWORD, const WORD* in, bool) {
    if constexpr (Channels == 4) {
      for (int c = 0; c < 4; ++c) SaveFloat(p + 4 * c, ThroughCurve(&r->storeCurve, LaneToFloat(in[c])));
    } else {
      const unsigned g = (static_cast<unsigned>(in[0]) + in[1] + in[2]) / 3;
      SaveFloat(p, ThroughCurve(&r->storeCurve, LaneToFloat(g)));
    }
  }
};

// ---- Templates, 16-bit lanes ----------------------------------------------------------------

template <class L, bool Exact>
void Fetch16(WUXCHGFUNCS* r) {
  L::Read(r, r->src, r->srcBit, r->pixels.w[0], Exact);
  Advance<L::kBits>(r->src, r->srcBit, 1);
}

template <class L, bool Exact>
void Fetch4x16(WUXCHGFUNCS* r) {
  const BYTE* p = r->src;
  DWORD bit = r->srcBit;
  for (int i = 0; i < 4; ++i) {
    L::Read(r, p, bit, r->pixels.w[i], Exact);
    Advance<L::kBits>(p, bit, 1);
  }
  r->src = p;
  r->srcBit = bit;
}

template <class L>
void Store16(WUXCHGFUNCS* r) {
  L::Write(r, r->dst, r->dstBit, r->pixels.w[0], false);
  Advance<L::kBits>(r->dst, r->dstBit, 1);
}

template <class L>
void Store4x16(WUXCHGFUNCS* r) {
  BYTE* p = r->dst;
  DWORD bit = r->dstBit;
  for (int i = 0; i < 4; ++i) {
    L::Write(r, p, bit, r->pixels.w[i], true);
    Advance<L::kBits>(p, bit, 1);
  }
  r->dst = p;
  r->dstBit = bit;
}

// Pixel, right neighbour, pixel below and below-right, bytes widened x 257.
template <class L>
void Fetch2x2x16(WUXCHGFUNCS* r) {
  const BYTE* p = r->src;
  DWORD bit = r->srcBit;
  const BYTE* right = p;
  DWORD rightBit = bit;
  Advance<L::kBits>(right, rightBit, 1);
  L::Read(r, p, bit, r->pixels.w[0], true);
  L::Read(r, right, rightBit, r->pixels.w[1], true);
  L::Read(r, p + r->srcStride, bit, r->pixels.w[2], true);
  L::Read(r, right + r->srcStride, rightBit, r->pixels.w[3], true);
  if constexpr (L::kCursorBelow) r->src = p + r->srcStride;
}

// The two taps of one column of an interpolating fetch, the pixel at `p`
// and the one below it, in the layout's tap units. Nothing beside the
// column is read.
template <class L>
void ReadColumnTaps(const WUXCHGFUNCS* r, const BYTE* p, DWORD bit, WORD top[4], WORD below[4]) {
  if constexpr (L::kTaps == TapKind::kHorizontal) {
    L::Read(r, p, bit, top, false);
    std::memcpy(below, top, 8);
  } else if constexpr (L::kTaps == TapKind::kRowBelow) {
    WORD above[4];
    L::Read(r, p, bit, above, false);
    L::Read(r, p, bit, top, true);
    L::Read(r, p + r->srcStride, bit, below, false);
    for (int c = 0; c < 4; ++c) below[c] = static_cast<WORD>(below[c] | (above[c] >> 8));
  } else {
    L::Read(r, p, bit, top, false);
    L::Read(r, p + r->srcStride, bit, below, false);
    if constexpr (L::kTaps == TapKind::kGrey8)
      for (int c = 0; c < 4; ++c) {
        top[c] = static_cast<WORD>(top[c] >> 8);
        below[c] = static_cast<WORD>(below[c] >> 8);
      }
  }
}

// The four taps (pixel, right, below, below-right) of a bilinear fetch:
// the column at `src` and the one to its right, which the caller
// guarantees lies inside the row.
template <class L>
void ReadTaps(const WUXCHGFUNCS* r, WORD taps[4][4]) {
  const BYTE* right = r->src;
  DWORD rightBit = r->srcBit;
  Advance<L::kBits>(right, rightBit, 1);
  ReadColumnTaps<L>(r, r->src, r->srcBit, taps[0], taps[2]);
  ReadColumnTaps<L>(r, right, rightBit, taps[1], taps[3]);
}

// Tap weights (pixel, right, below, below-right) of a bilinear fetch: each
// product of Q14 weights divided by 0x4000, truncated toward zero.
struct BilinearWeights {
  int64_t w[4];
  explicit BilinearWeights(const WUXCHGFUNCS* r) {
    const int64_t wx = r->weightX, wy = r->weightY;
    w[0] = (WU_Q14_ONE - wx) * (WU_Q14_ONE - wy) / WU_Q14_ONE;
    w[1] = wx * (WU_Q14_ONE - wy) / WU_Q14_ONE;
    w[2] = (WU_Q14_ONE - wx) * wy / WU_Q14_ONE;
    w[3] = wx * wy / WU_Q14_ONE;
  }
};

template <class L>
void FetchBilinear16(WUXCHGFUNCS* r) {
  WORD taps[4][4];
  ReadTaps<L>(r, taps);
  const BilinearWeights bw(r);
  constexpr int64_t kMul = L::kTaps == TapKind::kGrey8 ? 257 : 1;
  for (int c = 0; c < 4; ++c) {
    const int64_t sum = taps[0][c] * bw.w[0] + taps[1][c] * bw.w[1] + taps[2][c] * bw.w[2] +
                        taps[3][c] * bw.w[3];
    r->pixels.w[0][c] = static_cast<WORD>((sum * kMul) >> 14);
  }
  if constexpr (!L::kHasAlpha) r->pixels.w[0][3] = 0xFFFF;
}

// The pixel and the one below only: callers use it where the right
// neighbour may lie past the row's end (the last column, a one-column source).
template <class L>
void FetchVertical16(WUXCHGFUNCS* r) {
  WORD top[4], below[4];
  ReadColumnTaps<L>(r, r->src, r->srcBit, top, below);
  const int64_t wy = r->weightY;
  constexpr int64_t kMul = L::kTaps == TapKind::kGrey8 ? 257 : 1;
  for (int c = 0; c < 4; ++c)
    r->pixels.w[0][c] =
        static_cast<WORD>((top[c] * (WU_Q14_ONE - wy) + below[c] * wy) * kMul / WU_Q14_ONE);
  if constexpr (!L::kHasAlpha) r->pixels.w[0][3] = 0xFFFF;
}

template <class L>
constexpr WuXchgSlots Slots16(bool interpolating) {
  if (interpolating)
    return {&Store16<L>,           &Fetch16<L, true>,       &FetchBilinear16<L>, &FetchBilinear16<L>,
            &FetchVertical16<L>,   &Fetch2x2x16<L>,         &Fetch4x16<L, true>, &Store4x16<L>};
  return {&Store16<L>,        &Fetch16<L, false>, &Fetch16<L, false>,    &Fetch16<L, false>,
          &Fetch16<L, false>, &Fetch2x2x16<L>,    &Fetch4x16<L, false>, &Store4x16<L>};
}

// ---- Layouts and templates, 8-bit lanes --------------------------------------------------------

// 8-bit palette (1 byte), blue, green, red (3) or four bytes (4).
template <int Bytes>
struct Lane8Layout {
  static constexpr int kBits = Bytes * 8;
  static constexpr bool kHasAlpha = Bytes == 4;
  static constexpr bool kCursorBelow = Bytes != 1;

  static void Read(const WUXCHGFUNCS* r, const BYTE* p, BYTE* out) {
    if constexpr (Bytes == 1) {
      const RGBQUAD& e = r->srcPalette[*p];
      out[0] = e.rgbBlue;
      out[1] = e.rgbGreen;
      out[2] = e.rgbRed;
      out[3] = 255;
    } else if constexpr (Bytes == 3) {
      out[0] = p[0];
      out[1] = p[1];
      out[2] = p[2];
      out[3] = 255;
    } else {
      std::memcpy(out, p, 4);
    }
  }
  static void Write(WUXCHGFUNCS* r, BYTE* p, const BYTE* in) {
    if constexpr (Bytes == 1)
      *p = r->inverseMap[InverseIndex8(in)];
    else
      std::memcpy(p, in, Bytes);
  }
};

template <class L>
void Fetch8(WUXCHGFUNCS* r) {
  L::Read(r, r->src, r->pixels.b[0]);
  r->src += L::kBits / 8;
}

template <class L>
void Fetch4x8(WUXCHGFUNCS* r) {
  const BYTE* p = r->src;
  for (int i = 0; i < 4; ++i) L::Read(r, p + i * (L::kBits / 8), r->pixels.b[i]);
  r->src = p + 4 * (L::kBits / 8);
}

template <class L>
void Store8(WUXCHGFUNCS* r) {
  L::Write(r, r->dst, r->pixels.b[0]);
  r->dst += L::kBits / 8;
}

template <class L>
void Store4x8(WUXCHGFUNCS* r) {
  BYTE* p = r->dst;
  for (int i = 0; i < 4; ++i) L::Write(r, p + i * (L::kBits / 8), r->pixels.b[i]);
  r->dst = p + 4 * (L::kBits / 8);
}

template <class L>
void Fetch2x2x8(WUXCHGFUNCS* r) {
  const BYTE* p = r->src;
  constexpr int kStep = L::kBits / 8;
  L::Read(r, p, r->pixels.b[0]);
  L::Read(r, p + kStep, r->pixels.b[1]);
  L::Read(r, p + r->srcStride, r->pixels.b[2]);
  L::Read(r, p + r->srcStride + kStep, r->pixels.b[3]);
  if constexpr (L::kCursorBelow) r->src = p + r->srcStride;
}

template <class L>
void FetchBilinear8(WUXCHGFUNCS* r) {
  BYTE taps[4][4];
  constexpr int kStep = L::kBits / 8;
  L::Read(r, r->src, taps[0]);
  L::Read(r, r->src + kStep, taps[1]);
  L::Read(r, r->src + r->srcStride, taps[2]);
  L::Read(r, r->src + r->srcStride + kStep, taps[3]);
  const BilinearWeights bw(r);
  for (int c = 0; c < 4; ++c)
    r->pixels.b[0][c] = static_cast<BYTE>(
        (taps[0][c] * bw.w[0] + taps[1][c] * bw.w[1] + taps[2][c] * bw.w[2] + taps[3][c] * bw.w[3]) >>
        14);
  if constexpr (!L::kHasAlpha) r->pixels.b[0][3] = 255;
}

template <class L>
void FetchVertical8(WUXCHGFUNCS* r) {
  BYTE taps[2][4];
  L::Read(r, r->src, taps[0]);
  L::Read(r, r->src + r->srcStride, taps[1]);
  const int64_t wy = r->weightY;
  for (int c = 0; c < 4; ++c)
    r->pixels.b[0][c] =
        static_cast<BYTE>((taps[0][c] * (WU_Q14_ONE - wy) + taps[1][c] * wy) / WU_Q14_ONE);
  if constexpr (!L::kHasAlpha) r->pixels.b[0][3] = 255;
}

// Area average of 24-bit pixels for shrinking: whole pixels from
// ceil(weightY) to floor(weightY + areaHeight) (rows) and from ceil(weightX)
// to floor(weightX + areaWidth) (columns), end excluded, measured from the
// pixel at `src`; rows are `srcStride` bytes apart, columns 3 bytes. An
// empty area gives black.
void FetchArea24x8(WUXCHGFUNCS* r) {
  const auto ceilPixel = [](int64_t q) { return (q + WU_Q14_ONE - 1) >> 14; };
  const auto floorPixel = [](int64_t q) { return q / WU_Q14_ONE; };
  const int64_t row0 = ceilPixel(r->weightY);
  const int64_t row1 = floorPixel(static_cast<int64_t>(r->weightY) + r->areaHeight);
  const int64_t col0 = ceilPixel(r->weightX);
  const int64_t col1 = floorPixel(static_cast<int64_t>(r->weightX) + r->areaWidth);
  uint64_t sum[3] = {0, 0, 0};
  uint64_t count = 0;
  for (int64_t y = row0; y < row1; ++y) {
    const BYTE* row = r->src + y * r->srcStride;
    for (int64_t x = col0; x < col1; ++x) {
      const BYTE* p = row + x * 3;
      sum[0] += p[0];
      sum[1] += p[1];
      sum[2] += p[2];
      ++count;
    }
  }
  BYTE* out = r->pixels.b[0];
  for (int c = 0; c < 3; ++c) out[c] = count ? static_cast<BYTE>(sum[c] / count) : 0;
  out[3] = 255;
}

template <class L>
constexpr WuXchgSlots Slots8(bool interpolating, WUXCHGFUNC area = nullptr) {
  if (interpolating)
    return {&Store8<L>,        &Fetch8<L>,     &FetchBilinear8<L>, area ? area : &FetchBilinear8<L>,
            &FetchVertical8<L>, &Fetch2x2x8<L>, &Fetch4x8<L>,       &Store4x8<L>};
  return {&Store8<L>, &Fetch8<L>, &Fetch8<L>, &Fetch8<L>, &Fetch8<L>, &Fetch2x2x8<L>, &Fetch4x8<L>,
          &Store4x8<L>};
}

// ---- Float lanes (type 32 to type 32) -------------------------------------------------------------

void FetchF(WUXCHGFUNCS* r) {
  std::memcpy(r->pixels.f[0], r->src, 16);
  r->src += 16;
}
void Fetch4F(WUXCHGFUNCS* r) {
  std::memcpy(r->pixels.f, r->src, 64);
  r->src += 64;
}
void StoreF(WUXCHGFUNCS* r) {
  std::memcpy(r->dst, r->pixels.f[0], 16);
  r->dst += 16;
}
void Store4F(WUXCHGFUNCS* r) {
  std::memcpy(r->dst, r->pixels.f, 64);
  r->dst += 64;
}
void Fetch2x2F(WUXCHGFUNCS* r) {
  const BYTE* p = r->src;
  std::memcpy(r->pixels.f[0], p, 32);
  std::memcpy(r->pixels.f[2], p + r->srcStride, 32);
  r->src = p + r->srcStride;
}
void FetchBilinearF(WUXCHGFUNCS* r) {
  float taps[4][4];
  std::memcpy(taps[0], r->src, 32);
  std::memcpy(taps[2], r->src + r->srcStride, 32);
  const float wx = static_cast<float>(r->weightX) * (1.0f / 16384.0f);
  const float wy = static_cast<float>(r->weightY) * (1.0f / 16384.0f);
  const float w0 = (1.0f - wy) * (1.0f - wx), w1 = (1.0f - wy) * wx;
  const float w2 = wy * (1.0f - wx), w3 = wy * wx;
  for (int c = 0; c < 4; ++c)
    r->pixels.f[0][c] = taps[0][c] * w0 + taps[1][c] * w1 + taps[2][c] * w2 + taps[3][c] * w3;
}
void FetchVerticalF(WUXCHGFUNCS* r) {
  float taps[2][4];
  std::memcpy(taps[0], r->src, 16);
  std::memcpy(taps[1], r->src + r->srcStride, 16);
  const float wy = static_cast<float>(r->weightY) * (1.0f / 16384.0f);
  for (int c = 0; c < 4; ++c) r->pixels.f[0][c] = (1.0f - wy) * taps[0][c] + wy * taps[1][c];
}

constexpr WuXchgSlots kFloatPlain = {&StoreF, &FetchF,    &FetchF, &FetchF,
                                     &FetchF, &Fetch2x2F, &Fetch4F, &Store4F};
constexpr WuXchgSlots kFloatInterp = {&StoreF,         &FetchF,    &FetchBilinearF, &FetchBilinearF,
                                      &FetchVerticalF, &Fetch2x2F, &Fetch4F,        &Store4F};
constexpr WuXchgSlots kNone = {};

using Bit1 = SubByteLayout<1, false>;
using Grey2 = SubByteLayout<2, false>;
using Grey4 = SubByteLayout<4, false>;
using Grey8 = Byte8Layout<false>;
using Grey16 = WordChannelLayout<1>;
using GreyF = FloatChannelLayout<1>;
using Pal4 = SubByteLayout<4, true>;
using Pal8 = Byte8Layout<true>;
using Rgb555 = Packed16Layout<false>;
using Rgb565 = Packed16Layout<true>;
using Rgb24 = ByteChannelLayout<3>;
using Rgb32 = ByteChannelLayout<4>;
using Rgb1010 = Packed1010Layout;
using Rgba64 = WordChannelLayout<4>;
using RgbaF = FloatChannelLayout<4>;

}  // namespace

// Types 16 to 22: 1-bit, grey 1, 2, 4, 8, 16 bits, float grey.
#define WUXCHG_SMALL_ROW(interp) \
  {Slots16<Bit1>(interp),  Slots16<Bit1>(interp),   Slots16<Grey2>(interp), Slots16<Grey4>(interp), \
   Slots16<Grey8>(interp), Slots16<Grey16>(interp), Slots16<GreyF>(interp)}
#define WUXCHG_NONE_ROW7 {kNone, kNone, kNone, kNone, kNone, kNone, kNone}

const WuXchgSlots g_wuXchgSmallSlots[WUXCHG_MODE_COUNT][WUXCHG_SMALL_COUNT] = {
    WUXCHG_SMALL_ROW(false), WUXCHG_SMALL_ROW(true), WUXCHG_NONE_ROW7,
    WUXCHG_NONE_ROW7,        WUXCHG_NONE_ROW7,       WUXCHG_NONE_ROW7,
};

// Types 23 to 32: 4- and 8-bit palette, 5:5:5, 5:6:5, 24-bit, 32-bit,
// 32-bit with alpha, 10:10:10, 64-bit, 128-bit float.
#define WUXCHG_LARGE_ROW16(interp)                                                                 \
  {Slots16<Pal4>(interp),   Slots16<Pal8>(interp),    Slots16<Rgb555>(interp), Slots16<Rgb565>(interp), \
   Slots16<Rgb24>(interp),  Slots16<Rgb32>(interp),   Slots16<Rgb32>(interp),  Slots16<Rgb1010>(interp), \
   Slots16<Rgba64>(interp), Slots16<RgbaF>(interp)}
#define WUXCHG_LARGE_ROW8(interp, area)                                                          \
  {kNone,                                                                                        \
   Slots8<Lane8Layout<1>>(interp),                                                               \
   kNone,                                                                                        \
   kNone,                                                                                        \
   Slots8<Lane8Layout<3>>(interp, area),                                                         \
   Slots8<Lane8Layout<4>>(interp),                                                               \
   Slots8<Lane8Layout<4>>(interp),                                                               \
   kNone,                                                                                        \
   kNone,                                                                                        \
   kNone}
#define WUXCHG_LARGE_ROWF(slots) {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone, slots}

const WuXchgSlots g_wuXchgLargeSlots[WUXCHG_MODE_COUNT][WUXCHG_LARGE_COUNT] = {
    WUXCHG_LARGE_ROW16(false),
    WUXCHG_LARGE_ROW16(true),
    WUXCHG_LARGE_ROW8(false, nullptr),
    WUXCHG_LARGE_ROW8(true, &FetchArea24x8),
    WUXCHG_LARGE_ROWF(kFloatPlain),
    WUXCHG_LARGE_ROWF(kFloatInterp),
};
