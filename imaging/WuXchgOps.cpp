// Per-pixel operations of the pixel-exchange pipeline: one template per op
// code, instantiated for 16-bit and 8-bit lanes.
//
// Operands: A is slot 0 (one-pixel form) or slot i of the first record
// (four-pixel form) and receives the result; B is slot 1, or slot i of the
// second record, whose options then give the parameters. Lanes 0 to 2 are
// blue, green, red, lane 3 alpha.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "imaging/WuColorMath.h"
#include "imaging/WuXchg.h"
#include "imaging/WuXchgTables.h"

namespace {

// Lane form of 16-bit lanes: full scale 65535, amounts in 1/65536.
struct Lanes16 {
  using T = WORD;
  static constexpr int64_t kFull = 65535;
  static constexpr int kShift = 16;
  static T* Slot(WUXCHGFUNCS* r, int i) { return r->pixels.w[i]; }
  static const T* Slot(const WUXCHGFUNCS* r, int i) { return r->pixels.w[i]; }
  static const T* Key(const WUXCHGOPTIONS& o) { return o.key; }
  static LONG Tolerance(const WUXCHGOPTIONS& o) { return o.tolerance; }
  static int64_t Amount(const WUXCHGOPTIONS& o) { return o.amount; }
  static int64_t Param2(const WUXCHGOPTIONS& o) { return o.param2; }
  static LONG Distance(const T* a, const T* b) { return WuXchgRgbDistance16(a, b); }
  // a + floor((b - a) * w / 65536).
  static int64_t Mix(int64_t a, int64_t b, int64_t w) { return a + (((b - a) * w) >> 16); }
  static T Table(const WUXCHGFUNCS* r, int64_t v) {
    const unsigned i = static_cast<unsigned>(v) & 0xFFFF;
    return r->opTable2 ? r->opTable2[i] : static_cast<T>(i);
  }
};

// Lane form of 8-bit lanes: full scale 255, amounts in 1/256.
struct Lanes8 {
  using T = BYTE;
  static constexpr int64_t kFull = 255;
  static constexpr int kShift = 8;
  static T* Slot(WUXCHGFUNCS* r, int i) { return r->pixels.b[i]; }
  static const T* Slot(const WUXCHGFUNCS* r, int i) { return r->pixels.b[i]; }
  static const T* Key(const WUXCHGOPTIONS& o) { return o.key8; }
  static LONG Tolerance(const WUXCHGOPTIONS& o) { return o.tolerance8; }
  static int64_t Amount(const WUXCHGOPTIONS& o) { return o.amount8; }
  static int64_t Param2(const WUXCHGOPTIONS& o) { return o.param28; }
  static LONG Distance(const T* a, const T* b) { return WuXchgRgbDistance8(a, b); }
  // a + trunc((b - a) * w / 256), rounding toward zero.
  static int64_t Mix(int64_t a, int64_t b, int64_t w) { return a + (b - a) * w / 256; }
  static T Table(const WUXCHGFUNCS* r, int64_t v) {
    const unsigned i = static_cast<unsigned>(v) & 0xFF;
    return r->opTable1 ? r->opTable1[i] : static_cast<T>(i);
  }
};

// Variants of op code 3 (cross-fade).
constexpr int kFadeMix = 0;     // the lane form's mix
constexpr int kFadeBlend4 = 1;  // 4-bit blend of the four bytes (8-bit lanes)
constexpr int kFadeFloor = 2;   // a + floor((b - a) * w / 256) (8-bit lanes)

template <class L>
bool Outside(const typename L::T* p, const WUXCHGOPTIONS& o) {
  return L::Distance(p, L::Key(o)) > L::Tolerance(o);
}

template <class L>
int64_t MaxColour(const typename L::T* p) {
  return std::max<int64_t>(p[0], std::max<int64_t>(p[1], p[2]));
}

template <class L>
void MixLanes(typename L::T* a, const typename L::T* b, int64_t w, int lanes) {
  for (int c = 0; c < lanes; ++c) a[c] = static_cast<typename L::T>(L::Mix(a[c], b[c], w));
}

// One pixel pair: A (result) and B, parameters `o`, result tables of `r`.
template <class L, int Code, int Fade>
void Apply(typename L::T* a, const typename L::T* b, const WUXCHGOPTIONS& o, const WUXCHGFUNCS* r) {
  using T = typename L::T;
  constexpr int64_t kFull = L::kFull;
  if constexpr (Code == 0 || Code == 9 || Code == 10) {
    std::memcpy(a, b, 4 * sizeof(T));
  } else if constexpr (Code == 1) {
    MixLanes<L>(a, b, b[3], 4);
  } else if constexpr (Code == 2) {
    // (A x (F - B3) + B) / F in 64 bits; B enters unscaled.
    constexpr int64_t kF = kFull + 1;
    for (int c = 0; c < 4; ++c) a[c] = static_cast<T>((a[c] * (kF - b[3]) + b[c]) / kF);
  } else if constexpr (Code == 3) {
    if constexpr (Fade == kFadeBlend4) {
      const DWORD k = static_cast<DWORD>(L::Amount(o)) >> 4;
      DWORD wa, wb;
      std::memcpy(&wa, a, 4);
      std::memcpy(&wb, b, 4);
      const DWORD out = ((wa >> 4) & 0x0F0F0F0F) * (15 - k) + ((wb >> 4) & 0x0F0F0F0F) * k;
      std::memcpy(a, &out, 4);
    } else if constexpr (Fade == kFadeFloor) {
      const int64_t w = L::Amount(o);
      for (int c = 0; c < 4; ++c) a[c] = static_cast<T>(a[c] + (((b[c] - a[c]) * w) >> 8));
    } else {
      MixLanes<L>(a, b, L::Amount(o), 4);
    }
  } else if constexpr (Code == 4) {
    if (Outside<L>(b, o)) std::memcpy(a, b, 4 * sizeof(T));
  } else if constexpr (Code == 5) {
    if (Outside<L>(b, o)) MixLanes<L>(a, b, L::Amount(o), 4);
  } else if constexpr (Code == 6) {
    if (Outside<L>(b, o)) {
      MixLanes<L>(a, b, L::Amount(o), 4);
    } else {
      // Shade by the key pixel's brightest channel; a full-scale product
      // stays full scale.
      const int64_t m = MaxColour<L>(b) + 1;
      for (int c = 0; c < 3; ++c)
        a[c] = static_cast<T>(L::Mix(a[c], std::min(a[c] * m / kFull, kFull), L::Param2(o)));
    }
  } else if constexpr (Code == 7) {
    if (Outside<L>(b, o)) {
      // The destination rescaled to the source's brightness, kept in range.
      const int64_t ma = MaxColour<L>(a) + 1, mb = MaxColour<L>(b) + 1;
      for (int c = 0; c < 3; ++c)
        a[c] = static_cast<T>(L::Mix(b[c], std::min(a[c] * ma / mb, kFull), L::Param2(o)));
    }
  } else if constexpr (Code == 8) {
    for (int c = 0; c < 4; ++c) a[c] = static_cast<T>(a[c] > b[c] ? a[c] - b[c] : b[c] - a[c]);
  } else if constexpr (Code == 11) {
    const T* k = L::Key(o);
    for (int c = 0; c < 3; ++c) a[c] = static_cast<T>(L::Mix(b[c], k[c], L::Amount(o)));
  } else if constexpr (Code == 12) {
    for (int c = 0; c < 4; ++c) a[c] = static_cast<T>(L::Mix(a[c], kFull - b[c], L::Amount(o)));
  } else if constexpr (Code == 13) {
    const int64_t g = (static_cast<int64_t>(b[0]) + b[1] + b[2]) / 3;
    for (int c = 0; c < 3; ++c) a[c] = static_cast<T>(L::Mix(a[c], g, L::Amount(o)));
    a[3] = static_cast<T>(L::Mix(a[3], b[3], L::Amount(o)));
  } else if constexpr (Code == 14) {
    const T* k = L::Key(o);
    for (int c = 0; c < 3; ++c) {
      const int64_t d = static_cast<int64_t>(k[c]) - a[c];
      const int64_t v = b[c] - d + d * b[3] / (kFull + 1);
      a[c] = static_cast<T>(std::clamp<int64_t>(v, 0, kFull));
    }
  } else if constexpr (Code == 15) {
    const T* k = L::Key(o);
    int64_t d2 = 0;
    for (int c = 0; c < 3; ++c) {
      const int64_t d = static_cast<int64_t>(a[c]) - k[c];
      d2 += d * d;
    }
    const double s3 = static_cast<double>(std::sqrt(3.0f));
    const T v = L::Table(r, static_cast<int64_t>(std::sqrt(static_cast<double>(d2)) / s3));
    a[0] = a[1] = a[2] = v;
  } else if constexpr (Code == 17) {
    // Ramp from lo (0) to lo + T (full scale); a T of 0 or less is a step at lo.
    const double g = (static_cast<double>(a[0]) + a[1] + a[2]) / 3.0;
    const double lo = static_cast<double>(L::Param2(o));
    const LONG t = L::Tolerance(o);
    int64_t v;
    if (g < lo)
      v = 0;
    else if (t <= 0 || g > lo + t)
      v = kFull;
    else
      v = static_cast<int64_t>((g - lo) * static_cast<double>(kFull) / t);
    const T out = L::Table(r, v);
    a[0] = a[1] = a[2] = out;
  } else if constexpr (Code == 19) {
    // Accumulate, wrapping at full scale + 1.
    for (int c = 0; c < 4; ++c)
      a[c] = static_cast<T>((a[c] + ((static_cast<int64_t>(b[c]) * L::Amount(o)) >> L::kShift)) & kFull);
  }
  // Op codes 16 and 18 change nothing.
}

template <class L, int Code, int Fade>
void Op(WUXCHGFUNCS* r) {
  Apply<L, Code, Fade>(L::Slot(r, 0), L::Slot(r, 1), r->options, r);
}

template <class L, int Code, int Fade>
void Op4(WUXCHGFUNCS* a, const WUXCHGFUNCS* b) {
  if constexpr (Code < 15 || Code == 19) {
    for (int i = 0; i < 4; ++i) Apply<L, Code, Fade>(L::Slot(a, i), L::Slot(b, i), b->options, b);
  }
}

// Key mask: lanes 0 and 1 of slot 0 full scale when slot 1 is outside the
// key, else 0; lanes 2 and 3 cleared.
template <class L>
void KeyMask(WUXCHGFUNCS* r) {
  typename L::T* a = L::Slot(r, 0);
  const auto v = static_cast<typename L::T>(Outside<L>(L::Slot(r, 1), r->options) ? L::kFull : 0);
  a[0] = a[1] = v;
  a[2] = a[3] = 0;
}

// Key-aware 2x2 interpolation of the slots filled by fetch2x2: the first of
// pixel, right, below, below-right that lies inside the key wins whole, so
// the key colour survives scaling; otherwise a bilinear mix.
template <class L>
void Key2x2(WUXCHGFUNCS* r) {
  using T = typename L::T;
  T* s0 = L::Slot(r, 0);
  for (int i = 0; i < 4; ++i) {
    const T* s = L::Slot(r, i);
    if (!Outside<L>(s, r->options)) {
      if (i) std::memcpy(s0, s, 4 * sizeof(T));
      return;
    }
  }
  const int64_t fx = r->weightX, fy = r->weightY;
  const int64_t w[4] = {((WU_Q14_ONE - fx) * (WU_Q14_ONE - fy)) >> 14, (fx * (WU_Q14_ONE - fy)) >> 14,
                        ((WU_Q14_ONE - fx) * fy) >> 14, fx * fy / WU_Q14_ONE};
  const T* s1 = L::Slot(r, 1);
  const T* s2 = L::Slot(r, 2);
  const T* s3 = L::Slot(r, 3);
  for (int c = 0; c < 4; ++c)
    s0[c] = static_cast<T>((w[0] * s0[c] + w[1] * s1[c] + w[2] * s2[c] + w[3] * s3[c]) >> 14);
}

template <class L, int Code, int FadeOne, int FadeFour>
constexpr WuXchgOps Entry() {
  constexpr bool kKeyed = Code == 4 || Code == 5;
  return {&Op<L, Code, Code == 3 ? FadeOne : kFadeMix>, &Op4<L, Code, Code == 3 ? FadeFour : kFadeMix>,
          kKeyed ? &KeyMask<L> : nullptr, kKeyed ? &Key2x2<L> : nullptr};
}

template <class L, int FadeOne, int FadeFour, size_t... Code>
constexpr auto MakeRow(std::index_sequence<Code...>) {
  struct Row {
    WuXchgOps ops[WUXCHG_OP_CODES];
  };
  return Row{{Entry<L, static_cast<int>(Code), FadeOne, FadeFour>()...}};
}

template <class L, int FadeOne, int FadeFour>
constexpr auto kRow = MakeRow<L, FadeOne, FadeFour>(std::make_index_sequence<WUXCHG_OP_CODES>());

template <size_t N>
constexpr void CopyRow(WuXchgOps (&to)[N], const WuXchgOps (&from)[N]) {
  for (size_t i = 0; i < N; ++i) to[i] = from[i];
}

constexpr WuXchgOpTables MakeOpTables() {
  WuXchgOpTables o{};
  // Plain set: 16-bit rows mix; 8-bit first row the 4-bit blend, second row mix8.
  CopyRow(o.t[0][0], kRow<Lanes16, kFadeMix, kFadeMix>.ops);
  CopyRow(o.t[0][1], kRow<Lanes16, kFadeMix, kFadeMix>.ops);
  CopyRow(o.t[0][2], kRow<Lanes8, kFadeBlend4, kFadeBlend4>.ops);
  CopyRow(o.t[0][3], kRow<Lanes8, kFadeMix, kFadeMix>.ops);
  // Alternate set: the 8-bit one-pixel forms take the floor mix, the
  // four-pixel form of the first 8-bit row keeps the 4-bit blend.
  CopyRow(o.t[1][0], kRow<Lanes16, kFadeMix, kFadeMix>.ops);
  CopyRow(o.t[1][1], kRow<Lanes16, kFadeMix, kFadeMix>.ops);
  CopyRow(o.t[1][2], kRow<Lanes8, kFadeFloor, kFadeBlend4>.ops);
  CopyRow(o.t[1][3], kRow<Lanes8, kFadeFloor, kFadeFloor>.ops);
  return o;
}

void FloatCrossFade(float* a, const float* b, WORD amount) {
  const float w = static_cast<float>(amount);
  for (int c = 0; c < 4; ++c) a[c] = a[c] + (b[c] - a[c]) * w / 65536.0f;
}

}  // namespace

const WuXchgOpTables g_wuXchgOpTables = MakeOpTables();

void WuXchgOpFloatCrossFade(WUXCHGFUNCS* record) {
  FloatCrossFade(record->pixels.f[0], record->pixels.f[1], record->options.amount);
}

void WuXchgOp4FloatCrossFade(WUXCHGFUNCS* a, const WUXCHGFUNCS* b) {
  for (int i = 0; i < 4; ++i) FloatCrossFade(a->pixels.f[i], b->pixels.f[i], b->options.amount);
}
