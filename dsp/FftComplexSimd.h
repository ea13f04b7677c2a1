// The complex float FFT of variants 1 to 4 (SSE2 intrinsics): bit reversal,
// the radix passes in the split layout, the direct transform, scaling and
// the split transform of large orders, over a variant's traits `KT`
// (split tables, direct limit, radix-4-only odd orders, and the variant's
// block kernels of dsp/FftVariants.h).
//
// Passes run on 16-byte-aligned data in place; unaligned data is carried in
// the work buffer and written back by the last step. The first stage makes
// 4-point DFTs of the bit-reversed groups and stores them as split records;
// then radix-4 passes of span 4, 16, .. read the radix table in sequence;
// odd orders end with one radix-2 pass of span N/2 (variant 1 instead
// combines the 4-point DFTs into 8-point DFTs with the constants below and
// continues with radix-4 passes from span 8).
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp/FftBlockSimd.h"
#include "dsp/FftComplex.h"
#include "dsp/FftSmallKernels.h"

namespace wuperf {
namespace {

// exp(-2*pi*i*k/8), k = 0..3, as four real parts then four imaginary parts
// (c = 0x3F3504F4, one unit above the float nearest sqrt(1/2)): the
// twiddles of variant 1's 8-point stage.
alignas(16) const uint32_t kEighthRootsBits[8] = {0x3F800000, 0x3F3504F4, 0x00000000, 0xBF3504F4,
                                                  0x00000000, 0xBF3504F4, 0xBF800000, 0xBF3504F4};

inline bool Aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// One step of a bit-reversed counter of log2(n) bits.
inline size_t NextRev(size_t r, size_t n) {
  size_t bit = n >> 1;
  while (r & bit) r ^= bit, bit >>= 1;
  return r | bit;
}

// Reverses the low six bits.
constexpr uint8_t Rev6(unsigned v) {
  return static_cast<uint8_t>(((v & 1) << 5) | ((v & 2) << 3) | ((v & 4) << 1) | ((v & 8) >> 1) |
                              ((v & 16) >> 3) | ((v & 32) >> 5));
}
inline void Move8(const uint8_t* from, uint8_t* to) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(to),
                   _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)));
}

// One tile of 64 x 64 points: dst[rev6(l) * dstStride + rev6(h)] =
// src[h * srcStride + l] (strides in points). 32 KB each side, so both stay
// in the cache while the writes of one row fill 512 contiguous bytes.
inline void TileBitRev(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride) {
  for (unsigned h = 0; h < 64; ++h) {
    const uint8_t* row = src + 8 * (h * srcStride);
    uint8_t* column = dst + 8 * size_t{Rev6(h)};
    for (unsigned l = 0; l < 64; ++l) Move8(row + 8 * l, column + 8 * (Rev6(l) * dstStride));
  }
}

// Points j = (h, mid, l) with six-bit h and l move to (rev l, rev mid,
// rev h): tile `mid` of 64 rows of stride N/64 goes to tile rev(mid).
constexpr size_t kTileOrder = 12;  // orders from 2 * 6 + 2 use the tiles

// dst[rev(j)] = src[j], 8-byte points; src and dst do not overlap.
inline void BitRevCopySimd(const void* src, void* dst, size_t n) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  if (n >= (size_t{1} << (kTileOrder + 2))) {
    const size_t rows = n / 64, tiles = n >> kTileOrder;
    size_t rm = 0;
    for (size_t m = 0; m < tiles; ++m, rm = NextRev(rm, tiles))
      TileBitRev(s + 8 * (64 * m), rows, d + 8 * (64 * rm), rows);
    return;
  }
  size_t r = 0;
  for (size_t j = 0; j < n; ++j, r = NextRev(r, n)) Move8(s + 8 * j, d + 8 * r);
}

// In place; with 64 KB of scratch the tiles of large orders are exchanged
// through it.
inline void BitRevInPlaceSimd(void* data, size_t n, uint8_t* scratch = nullptr) {
  uint8_t* p = static_cast<uint8_t*>(data);
  if (scratch && n >= (size_t{1} << (kTileOrder + 2))) {
    const size_t rows = n / 64, tiles = n >> kTileOrder;
    uint8_t* a = scratch;
    uint8_t* b = scratch + 0x8000;
    size_t rm = 0;
    for (size_t m = 0; m < tiles; ++m, rm = NextRev(rm, tiles)) {
      if (rm < m) continue;
      for (size_t h = 0; h < 64; ++h) {
        std::memcpy(a + 512 * h, p + 8 * (64 * m + h * rows), 512);
        if (rm != m) std::memcpy(b + 512 * h, p + 8 * (64 * rm + h * rows), 512);
      }
      TileBitRev(a, 64, p + 8 * (64 * rm), rows);
      if (rm != m) TileBitRev(b, 64, p + 8 * (64 * m), rows);
    }
    return;
  }
  size_t r = 0;
  for (size_t j = 0; j < n; ++j, r = NextRev(r, n)) {
    if (j >= r) continue;
    __m128i x = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8 * j));
    __m128i y = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 8 * r));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8 * j), y);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p + 8 * r), x);
  }
}

// 4-point DFTs of the groups of four bit-reversed points, in place, each
// group stored as one split record: X0 = (a + b) + (c + d), X1 = (a - b) -
// i(c - d) (inverse + i), X2 = (a + b) - (c + d), X3 = (a - b) + i(c - d).
// Four groups a step: their points transposed so that each lane holds one
// group, then the records transposed back.
template <bool kInv>
void FirstStage4(float* p, size_t n, const float* tw16 = nullptr) {
  for (size_t g = 0; g < n; g += 16, p += 32) {
    __m128 re[4], im[4];
    for (int k = 0; k < 4; ++k) {
      __m128 v01 = _mm_load_ps(p + 8 * k), v23 = _mm_load_ps(p + 8 * k + 4);
      re[k] = _mm_shuffle_ps(v01, v23, _MM_SHUFFLE(2, 0, 2, 0));  // a b c d of group k
      im[k] = _mm_shuffle_ps(v01, v23, _MM_SHUFFLE(3, 1, 3, 1));
    }
    _MM_TRANSPOSE4_PS(re[0], re[1], re[2], re[3]);  // re[0] = a of groups 0..3, ..
    _MM_TRANSPOSE4_PS(im[0], im[1], im[2], im[3]);
    __m128 s1r = _mm_add_ps(re[0], re[1]), s1i = _mm_add_ps(im[0], im[1]);
    __m128 d1r = _mm_sub_ps(re[0], re[1]), d1i = _mm_sub_ps(im[0], im[1]);
    __m128 s2r = _mm_add_ps(re[2], re[3]), s2i = _mm_add_ps(im[2], im[3]);
    __m128 cr = _mm_sub_ps(re[2], re[3]), ci = _mm_sub_ps(im[2], im[3]);
    const __m128 sign = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
    // rot(c - d): forward (ci, -cr), inverse (-ci, cr).
    __m128 d2r = kInv ? _mm_xor_ps(ci, sign) : ci;
    __m128 d2i = kInv ? cr : _mm_xor_ps(cr, sign);
    __m128 xr[4] = {_mm_add_ps(s1r, s2r), _mm_add_ps(d1r, d2r), _mm_sub_ps(s1r, s2r),
                    _mm_sub_ps(d1r, d2r)};
    __m128 xi[4] = {_mm_add_ps(s1i, s2i), _mm_add_ps(d1i, d2i), _mm_sub_ps(s1i, s2i),
                    _mm_sub_ps(d1i, d2i)};
    _MM_TRANSPOSE4_PS(xr[0], xr[1], xr[2], xr[3]);  // xr[k] = X0..X3 of group k
    _MM_TRANSPOSE4_PS(xi[0], xi[1], xi[2], xi[3]);
    if (tw16) {
      // The radix-4 pass of span 4 in registers: 16-point DFTs.
      Lanes4f q0{xr[0], xi[0]}, q1{xr[1], xi[1]}, q2{xr[2], xi[2]}, q3{xr[3], xi[3]};
      Lanes4f y2 = MulTwiddle<kInv>(q2, _mm_load_ps(tw16), _mm_load_ps(tw16 + 4));
      Lanes4f y1 = MulTwiddle<kInv>(q1, _mm_load_ps(tw16 + 8), _mm_load_ps(tw16 + 12));
      Lanes4f y3 = MulTwiddle<kInv>(q3, _mm_load_ps(tw16 + 16), _mm_load_ps(tw16 + 20));
      Lanes4f s1 = Add(q0, y1), s2 = Add(y2, y3), d1 = Sub(q0, y1), d2 = Sub(y2, y3);
      StoreRecord(p, Add(s2, s1));
      StoreRecord(p + 16, Sub(s1, s2));
      StoreRecord(p + 8, RotateAdd<!kInv>(d1, d2));
      StoreRecord(p + 24, RotateAdd<kInv>(d1, d2));
      continue;
    }
    for (int k = 0; k < 4; ++k) {
      _mm_store_ps(p + 8 * k, xr[k]);
      _mm_store_ps(p + 8 * k + 4, xi[k]);
    }
  }
}

// Split records to interleaved points, from `from` to `to` (may be equal).
inline void RecordsToPoints(const float* from, float* to, size_t n) {
  for (size_t k = 0; k < n; k += 4, from += 8, to += 8) {
    __m128 re = _mm_load_ps(from), im = _mm_load_ps(from + 4);
    _mm_storeu_ps(to, _mm_unpacklo_ps(re, im));
    _mm_storeu_ps(to + 4, _mm_unpackhi_ps(re, im));
  }
}

// All passes over n >= 32 aligned points in bit-reversed order, leaving
// split records.
template <class KT, bool kInv>
void PassesAligned(float* p, size_t n, const float* tw) {
  const bool blocked = KT::kBlockPoints != 0 && n > KT::kBlockPoints;
  const bool oddStart = KT::kOddRadix4Only && (Log2(n) & 1);
  // The first stage fused with the span-4 pass (16-point DFTs), except
  // before variant 1's 8-point stage.
  FirstStage4<kInv>(p, blocked ? KT::kBlockPoints : n, oddStart ? nullptr : tw);
  const int order = Log2(n);
  const int32_t groupsOf = static_cast<int32_t>(n);
  size_t span;
  if (KT::kOddRadix4Only && (order & 1)) {
    KT::template Radix2<kInv>(p, p, 4, groupsOf / 8, reinterpret_cast<const float*>(kEighthRootsBits));
    span = 8;
    for (; 4 * span <= n; span *= 4) {
      KT::template Radix4<kInv>(p, p, static_cast<int32_t>(span),
                                static_cast<int32_t>(n / (4 * span)), tw);
      tw += 6 * span;
    }
    return;
  }
  const size_t limit = (order & 1) ? n / 2 : n;
  span = 4;
  if (KT::kBlockPoints != 0 && n > KT::kBlockPoints) {
    // Cache blocking: the first stage and the passes up to span 256 block by
    // block (each block ends as whole 1024-point transforms), the table
    // read from its start for each block.
    const size_t block = KT::kBlockPoints;
    const float* blockTw = tw;
    for (float* b = p; b < p + 2 * n; b += 2 * block) {
      if (b != p) FirstStage4<kInv>(b, block, tw);
      blockTw = tw + 24;
      for (size_t s = 16; s <= 256; s *= 4) {
        KT::template Radix4<kInv>(b, b, static_cast<int32_t>(s),
                                  static_cast<int32_t>(block / (4 * s)), blockTw);
        blockTw += 6 * s;
      }
    }
    tw = blockTw;
    span = 1024;
  }
  if (span == 4) {
    tw += 24;  // span 4 ran inside the first stage
    span = 16;
  }
  for (; 4 * span <= limit; span *= 4) {
    KT::template Radix4<kInv>(p, p, static_cast<int32_t>(span), static_cast<int32_t>(n / (4 * span)),
                              tw);
    tw += 6 * span;
  }
  if (order & 1) KT::template Radix2<kInv>(p, p, static_cast<int32_t>(n / 2), 1, tw);
}

template <class KT, bool kInv>
void PassesSimd(void* data, size_t n, const float* tw, uint8_t* work, bool interleave) {
  float* d = static_cast<float*>(data);
  float* buf = d;
  if (!Aligned16(d)) {
    buf = reinterpret_cast<float*>(work);
    std::memcpy(buf, d, 8 * n);
  }
  PassesAligned<KT, kInv>(buf, n, tw);
  if (interleave)
    RecordsToPoints(buf, d, n);
  else if (buf != d)
    std::memcpy(d, buf, 8 * n);
}

template <class KT, bool kInv>
void DirectSimd(const void* src, void* dst, size_t n, const float* tw, uint8_t* work) {
  float* target = (src != dst && Aligned16(dst)) ? static_cast<float*>(dst)
                                                 : reinterpret_cast<float*>(work);
  BitRevCopySimd(src, target, n);
  PassesAligned<KT, kInv>(target, n, tw);
  RecordsToPoints(target, static_cast<float*>(dst), n);
}

// One split level on a bit-reversed block of order m at `depth`: the
// sub-blocks (recursively above the direct limit), each left in split
// records and scaled when asked, then the column passes block by block.
template <class KT, bool kInv>
void SplitLevelSimd(const FftSpec* s, float* p, int m, int depth, uint8_t* work) {
  const int split = KT::kSplit[m];
  const int sub = m - split;
  assert(split != 0);  // every order above the direct limit has a split entry
  // The split tables never nest deeper than the context has level tables;
  // saying so keeps the optimiser from unrolling the recursion past them.
  assert(depth < kFftSplitDepths);
  if (depth >= kFftSplitDepths) __builtin_unreachable();
  const size_t b = size_t{1} << sub, r = size_t{1} << split;
  const bool scaled = (kInv ? s->scaleInverse : s->scaleForward) == 1;
  for (size_t t = 0; t < r; ++t) {
    float* row = p + 2 * t * b;
    if (sub > KT::kDirectLimit) {
      SplitLevelSimd<KT, kInv>(s, row, sub, depth + 1, work);
    } else {
      PassesSimd<KT, kInv>(row, b, static_cast<const float*>(s->twiddleTable), work, false);
      if (scaled) KT::Scale(s->scaleFactor, row, static_cast<int32_t>(2 * b));
    }
  }
  const size_t g = size_t{1} << (KT::kBlock[m] - split);
  const float* tw = static_cast<const float*>(s->levelTwiddle[depth]);
  float* w = reinterpret_cast<float*>(work);
  for (size_t d = 0; d < b; d += g) {
    KT::Gather(p + 2 * d, w, static_cast<int32_t>(b), static_cast<int32_t>(r),
               static_cast<int32_t>(g));
    size_t quarter = g;
    for (int i = 2; i <= split; i += 2, quarter *= 4) {
      KT::template Radix4<kInv>(w, w, static_cast<int32_t>(quarter),
                                static_cast<int32_t>(r * g / (4 * quarter)), tw);
      tw += 6 * quarter;
    }
    if (split & 1) {
      KT::template Radix2<kInv>(w, w, static_cast<int32_t>(quarter), 1, tw);
      tw += 2 * quarter;
    }
    KT::Scatter(p + 2 * d, w, static_cast<int32_t>(b), static_cast<int32_t>(r),
                static_cast<int32_t>(g), depth == 0 ? 1 : 0);
  }
}

template <class KT, bool kInv>
void RecursiveSimd(const FftSpec* s, const void* src, void* dst, int order, uint8_t* work) {
  const size_t n = size_t{1} << order;
  if (src == dst)
    BitRevInPlaceSimd(dst, n, s->workSize >= 0x10000 ? work : nullptr);
  else
    BitRevCopySimd(src, dst, n);
  SplitLevelSimd<KT, kInv>(s, static_cast<float*>(dst), order, 0, work);
}

template <void (*ScaleKernel)(float, float*, int32_t), WuPerfStatus (*Zero)(float*, int32_t)>
WuPerfStatus ScaleSimd(float factor, float* data, int32_t count) {
  if (!data) return WuPerfErrNullPointer;
  if (count <= 0) return WuPerfErrSize;
  if (factor == 1.0f) return WuPerfOk;
  if (factor == 0.0f) return Zero(data, count);
  ScaleKernel(factor, data, count);
  return WuPerfOk;
}

}  // namespace
}  // namespace wuperf

// The complex float FFT of SIMD variant V (index I) with its complex
// constants CT (dsp/FftSplitTables.h), split table S, block table B and
// the points of a cache block of the passes (0: no blocking).
#define WU_DEFINE_FFT32FC_SIMD(V, I, CT, S, B, BLOCK)                                                   \
  namespace {                                                                                     \
  struct Traits {                                                                                 \
    static constexpr int32_t kVariant = I;                                                        \
    static constexpr int kDirectLimit = CT.directLimit;                                          \
    static constexpr bool kGeneric = false;                                                       \
    static constexpr bool kOddRadix4Only = CT.oddRadix4Only;                                      \
    static constexpr size_t kBlockPoints = BLOCK;                                                \
    static constexpr const uint8_t* kSplit = S.v;                                                 \
    static constexpr const uint8_t* kBlock = B.v;                                                 \
    static uint8_t* Malloc(int32_t n) { return WuPerfsMalloc_##V(n); }                            \
    static void Free(void* p) { WuPerfsFree_##V(p); }                                             \
    static float* BaseTwiddle(int32_t o, float* d) { return WuPerfFFT32fc_BaseTwiddle_##V(o, d); } \
    static uint32_t* BitRevTable(int32_t o, uint32_t* d) { return WuPerfFFT_BitRevTable_##V(o, d); } \
    static float* RadixTwiddle(int32_t o, const float* s, int32_t a, float* d) {                  \
      return WuPerfFFT32fc_RadixTwiddle_##V(o, s, a, d);                                          \
    }                                                                                             \
    static void InitLarge(FftSpec* sp, int32_t o, const float* s, int32_t a, uint8_t* d,          \
                          uint8_t* scratch) {                                                     \
      WuPerfFFT32fc_InitLarge_##V(sp, o, s, a, d, scratch);                                       \
    }                                                                                             \
    static void GetSizesLarge(int32_t o, int32_t* s, int32_t* i, int32_t* w) {                    \
      WuPerfFFT32fc_GetSizesLarge_##V(o, s, i, w);                                                \
    }                                                                                             \
    static void Scale(float f, float* p, int32_t c) { WuPerfFFT32fc_Scale_##V(f, p, c); }         \
    static void Gather(const float* s, float* d, int32_t stride, int32_t rows, int32_t len) {     \
      WuPerfFFT32fc_BlockGather_##V(s, d, stride, rows, len);                                     \
    }                                                                                             \
    static void Scatter(float* d, const float* s, int32_t stride, int32_t rows, int32_t len,      \
                        int32_t mode) {                                                           \
      WuPerfFFT32fc_BlockScatter_##V(d, s, stride, rows, len, mode);                              \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Radix4(const float* s, float* d, int32_t q, int32_t g, const float* tw) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Radix4Pass_##V(s, d, q, g, tw);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Radix4Pass_##V(s, d, q, g, tw);                                          \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Radix2(const float* s, float* d, int32_t h, int32_t g, const float* tw) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Radix2Pass_##V(s, d, h, g, tw);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Radix2Pass_##V(s, d, h, g, tw);                                          \
    }                                                                                             \
    static void BitRevInPlace(void* p, int32_t n, const uint32_t* t) {                            \
      WuPerfFFT32fc_BitRevInPlace_##V(p, n, t);                                                   \
    }                                                                                             \
    static void BitRevCopy(const void* s, void* d, int32_t n, const uint32_t* t) {                \
      WuPerfFFT32fc_BitRevCopy_##V(s, d, n, t);                                                   \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Direct(const void* s, void* d, int32_t n, const float* tw, const uint32_t* br,    \
                       uint8_t* w) {                                                              \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Direct_##V(s, d, n, tw, br, w);                                          \
      else                                                                                        \
        WuPerfFFTFwd32fc_Direct_##V(s, d, n, tw, br, w);                                          \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Passes(void* p, int32_t n, const float* tw, uint8_t* w) {                         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Passes_##V(p, n, tw, w, 1);                                              \
      else                                                                                        \
        WuPerfFFTFwd32fc_Passes_##V(p, n, tw, w, 1);                                              \
    }                                                                                             \
    template <bool kInv>                                                                          \
    static void Large(const FftSpec* sp, const void* s, void* d, int32_t o, uint8_t* w) {         \
      if (kInv)                                                                                   \
        WuPerfFFTInv32fc_Recursive_##V(sp, s, d, o, w);                                           \
      else                                                                                        \
        WuPerfFFTFwd32fc_Recursive_##V(sp, s, d, o, w);                                           \
    }                                                                                             \
  };                                                                                              \
  }                                                                                               \
  WU_DEFINE_FFT32FC_ENTRIES(V, Traits)                                                            \
  WU_FFT32FC_FIXED_KERNELS(V, false)                                                              \
  void WuPerfFFT32fc_BitRevCopy_##V(const void* src, void* dst, int32_t n, const uint32_t*) {     \
    if (src == dst)                                                                               \
      BitRevInPlaceSimd(dst, static_cast<size_t>(n));                                             \
    else                                                                                          \
      BitRevCopySimd(src, dst, static_cast<size_t>(n));                                           \
  }                                                                                               \
  void WuPerfFFT32fc_BitRevInPlace_##V(void* data, int32_t n, const uint32_t*) {                  \
    BitRevInPlaceSimd(data, static_cast<size_t>(n));                                              \
  }                                                                                               \
  WuPerfStatus WuPerfFFT32fc_Scale_##V(float factor, float* data, int32_t count) {                \
    return ScaleSimd<WuPerfScale32f_Kernel_##V, WuPerfZero32f_##V>(factor, data, count);         \
  }                                                                                               \
  WU_DEFINE_FFT32FC_SIMD_DIR(Fwd, false, V)                                                       \
  WU_DEFINE_FFT32FC_SIMD_DIR(Inv, true, V)

#define WU_DEFINE_FFT32FC_SIMD_DIR(D, kInv, V)                                                   \
  void WuPerfFFT##D##32fc_Passes_##V(void* data, int32_t n, const float* tw, uint8_t* work,      \
                                     int32_t interleave) {                                        \
    PassesSimd<Traits, kInv>(data, static_cast<size_t>(n), tw, work, interleave == 1);            \
  }                                                                                               \
  void WuPerfFFT##D##32fc_Direct_##V(const void* src, void* dst, int32_t n, const float* tw,      \
                                     const uint32_t*, uint8_t* work) {                            \
    DirectSimd<Traits, kInv>(src, dst, static_cast<size_t>(n), tw, work);                         \
  }                                                                                               \
  void WuPerfFFT##D##32fc_Recursive_##V(const FftSpec* ctx, const void* src, void* dst,          \
                                        int32_t order, uint8_t* work) {                           \
    RecursiveSimd<Traits, kInv>(ctx, src, dst, order, work);                                     \
  }                                                                                               \
  void WuPerfFFT##D##32fc_SplitRecurse_##V(const FftSpec* ctx, void* block, int32_t order,       \
                                           int32_t depth, uint8_t* work) {                        \
    SplitLevelSimd<Traits, kInv>(ctx, static_cast<float*>(block), order, depth, work);           \
  }
