// Zero and copy kernel bodies of variants 1 to 4 (SSE2 intrinsics).
//
// Both align the destination to 16 bytes and move 64 bytes a step; above a
// size threshold they ask for the largest cache (dsp/CacheProbe.h) and, for
// blocks at least about that large, write with streaming stores followed by
// a store fence. Every path writes the bytes of a plain fill or copy; the
// paths differ only in speed. The copy variants differ in thresholds and in
// how they move small and misaligned pieces (CopyTraits).
//
// Internal linkage: each variant file gets its own copy, compiled for its
// own instruction set (see dsp/Variants.h).
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp/CacheProbe.h"

namespace wuperf {
namespace {

// Zero blocks up to this size never probe the cache.
constexpr size_t kZeroProbeAbove = 0x80000;
// The streaming copy reads ahead and copies the source in blocks this large.
constexpr size_t kCopyStreamBlock = 0x40000;
// Page size of the aligned copy's direction test.
constexpr intptr_t kPageBytes = 4096;

// Unaligned stores of 1, 2, 4 and 8 bytes.
inline void Put1(uint8_t* p, uint8_t v) { *p = v; }
inline void Put2(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline void Put4(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void Put8(uint8_t* p, uint64_t v) { std::memcpy(p, &v, 8); }
inline uint16_t Get2(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }
inline uint32_t Get4(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
inline uint64_t Get8(const uint8_t* p) { uint64_t v; std::memcpy(&v, p, 8); return v; }
inline __m128i Load16(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline __m128i Load16Aligned(const uint8_t* p) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(p));
}
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
inline void Store16Aligned(uint8_t* p, __m128i v) {
  _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
}
inline void Stream16(uint8_t* p, __m128i v) { _mm_stream_si128(reinterpret_cast<__m128i*>(p), v); }

// ---- Zero -----------------------------------------------------------------

// Fewer than 16 bytes: two overlapping 8- or 4-byte stores, or single bytes.
inline void ZeroSmall(uint8_t* p, size_t n) {
  if (n >= 8) {
    if (n > 8) Put8(p, 0);
    Put8(p + n - 8, 0);
  } else if (n >= 4) {
    if (n > 4) Put4(p, 0);
    Put4(p + n - 4, 0);
  } else {
    for (size_t i = 0; i < n; ++i) p[i] = 0;
  }
}

// Zeroes n >= 1 bytes; returns the destination.
inline void* ZeroKernelSse2(void* dst, int32_t count) {
  uint8_t* p = static_cast<uint8_t*>(dst);
  size_t n = static_cast<size_t>(count);
  if (n < 16) {
    ZeroSmall(p, n);
    return dst;
  }
  if (uintptr_t misaligned = reinterpret_cast<uintptr_t>(p) & 15) {
    size_t head = 16 - misaligned;
    if (head & 1) Put1(p, 0), p += 1;
    if (head & 2) Put2(p, 0), p += 2;
    if (head & 4) Put4(p, 0), p += 4;
    if (head & 8) Put8(p, 0), p += 8;
    n -= head;
    if (n == 0) return dst;
  }
  const __m128i zero = _mm_setzero_si128();
  if (n > kZeroProbeAbove) {
    uint64_t cache = WuPerfCpu_LargestCacheBytes();
    if (cache != 0 && n >= cache) {
      for (; n >= 64; n -= 64, p += 64) {
        Stream16(p, zero), Stream16(p + 16, zero);
        Stream16(p + 32, zero), Stream16(p + 48, zero);
      }
      for (; n >= 16; n -= 16, p += 16) Stream16(p, zero);
      _mm_sfence();
      ZeroSmall(p, n);
      return dst;
    }
  }
  for (; n >= 64; n -= 64, p += 64) {
    Store16Aligned(p, zero);
    Store16Aligned(p + 16, zero);
    Store16Aligned(p + 32, zero);
    Store16Aligned(p + 48, zero);
  }
  for (; n >= 16; n -= 16, p += 16) Store16Aligned(p, zero);
  if (n) ZeroSmall(p, n);
  return dst;
}

// ---- Copy -----------------------------------------------------------------

// The constants and choices that set the copy variants apart.
struct CopyTraitsV43 {
  static constexpr size_t kLargeFrom = 0x100000;   // large copy from this count
  static constexpr size_t kPageTestFrom = 0;       // aligned copy tests page offsets from here
  static constexpr bool kAlignedForwardOnly = false;
  static constexpr bool kUnalignedAfterHead = false;  // unaligned copy whatever the source
  static constexpr bool kShiftedBlocks = true;     // 4-byte-multiple sources shift aligned blocks
  static constexpr bool kWordSmallCopy = false;    // small copy walks aligned 4-byte words
  static constexpr bool kSplitLoads = false;       // unaligned loads built from 4/8-byte loads
  static constexpr size_t kReadAheadStride = 64;   // streaming read-ahead stride
};
struct CopyTraitsV2 {
  static constexpr size_t kLargeFrom = 0x80000;
  static constexpr size_t kPageTestFrom = 512;
  static constexpr bool kAlignedForwardOnly = false;
  static constexpr bool kUnalignedAfterHead = false;
  static constexpr bool kShiftedBlocks = false;
  static constexpr bool kWordSmallCopy = true;
  static constexpr bool kSplitLoads = false;
  static constexpr size_t kReadAheadStride = 64;
};
struct CopyTraitsV1 {
  static constexpr size_t kLargeFrom = 0x20001;
  static constexpr size_t kPageTestFrom = 0;
  static constexpr bool kAlignedForwardOnly = true;
  static constexpr bool kUnalignedAfterHead = true;
  static constexpr bool kShiftedBlocks = false;
  static constexpr bool kWordSmallCopy = true;
  static constexpr bool kSplitLoads = true;
  static constexpr size_t kReadAheadStride = 32;
};

// Fewer than 64 bytes.
template <class Traits>
void CopySmall(const uint8_t* s, uint8_t* d, size_t n) {
  if (Traits::kWordSmallCopy) {
    if (n < 4) {
      for (size_t i = n; i-- > 0;) d[i] = s[i];
      return;
    }
    // The last word, then destination-aligned words downward, then the first
    // word when the walk did not end at the start (the stores may overlap).
    Put4(d + n - 4, Get4(s + n - 4));
    intptr_t r = static_cast<intptr_t>(n) -
                 static_cast<intptr_t>((reinterpret_cast<uintptr_t>(d) + n) & 3) - 4;
    for (; r >= 0; r -= 4) Put4(d + r, Get4(s + r));
    if (r + 4 != 0) Put4(d, Get4(s));
    return;
  }
  size_t i = 0;
  if (n & 32) Store16(d + i, Load16(s + i)), Store16(d + i + 16, Load16(s + i + 16)), i += 32;
  if (n & 16) Store16(d + i, Load16(s + i)), i += 16;
  if (n & 8) Put8(d + i, Get8(s + i)), i += 8;
  if (n & 4) Put4(d + i, Get4(s + i)), i += 4;
  for (size_t j = n; j-- > i;) d[j] = s[j];
}

// 16 source bytes at any address, loaded as the variant loads them.
template <class Traits>
__m128i LoadSource16(const uint8_t* s) {
  if (!Traits::kSplitLoads) return Load16(s);
  uintptr_t m = reinterpret_cast<uintptr_t>(s) & 15;
  if (m == 4 || m == 12)
    return _mm_setr_epi32(static_cast<int>(Get4(s)), static_cast<int>(Get4(s + 4)),
                          static_cast<int>(Get4(s + 8)), static_cast<int>(Get4(s + 12)));
  return _mm_set_epi64x(static_cast<long long>(Get8(s + 8)), static_cast<long long>(Get8(s)));
}

// Destination and source 16-byte aligned, n >= 64.
template <class Traits>
void CopyAligned(const uint8_t* s, uint8_t* d, size_t n) {
  bool forward;
  if (Traits::kAlignedForwardOnly) {
    forward = true;
  } else if (n < Traits::kPageTestFrom) {
    forward = false;
  } else {
    intptr_t diff = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(s) % kPageBytes) -
                    static_cast<intptr_t>(reinterpret_cast<uintptr_t>(d) % kPageBytes);
    forward = (diff >= 1 && diff <= 160) || diff < -3936;
  }
  if (forward) {
    for (; n >= 64; n -= 64, s += 64, d += 64) {
      __m128i a = Load16Aligned(s), b = Load16Aligned(s + 16);
      __m128i c = Load16Aligned(s + 32), e = Load16Aligned(s + 48);
      Store16Aligned(d, a), Store16Aligned(d + 16, b);
      Store16Aligned(d + 32, c), Store16Aligned(d + 48, e);
    }
    if (Traits::kAlignedForwardOnly) {
      for (; n >= 16; n -= 16, s += 16, d += 16) Store16Aligned(d, Load16Aligned(s));
      CopySmall<Traits>(s, d, n);
      return;
    }
    if (n & 32) Store16(d, Load16(s)), Store16(d + 16, Load16(s + 16)), s += 32, d += 32;
    if (n & 16) Store16(d, Load16(s)), s += 16, d += 16;
    if (n & 8) Put8(d, Get8(s)), s += 8, d += 8;
    if (n & 4) Put4(d, Get4(s)), s += 4, d += 4;
    if (n & 2) Put2(d, Get2(s)), s += 2, d += 2;
    if (n & 1) Put1(d, *s);
    return;
  }
  // Backward: the tail piece by piece from the end, then 64 bytes a step.
  size_t e = n;
  if (n & 1) e -= 1, Put1(d + e, s[e]);
  if (n & 2) e -= 2, Put2(d + e, Get2(s + e));
  if (n & 4) e -= 4, Put4(d + e, Get4(s + e));
  if (n & 8) e -= 8, Put8(d + e, Get8(s + e));
  if (n & 16) e -= 16, Store16(d + e, Load16(s + e));
  if (n & 32) e -= 32, Store16(d + e, Load16(s + e)), Store16(d + e + 16, Load16(s + e + 16));
  while (e >= 64) {
    e -= 64;
    __m128i a = Load16Aligned(s + e + 48), b = Load16Aligned(s + e + 32);
    __m128i c = Load16Aligned(s + e + 16), f = Load16Aligned(s + e);
    Store16Aligned(d + e + 48, a), Store16Aligned(d + e + 32, b);
    Store16Aligned(d + e + 16, c), Store16Aligned(d + e, f);
  }
}

// Output block of the shifted copy: bytes m..15 of lo and 0..m-1 of hi.
template <int kShift>
__m128i Join16(__m128i lo, __m128i hi) {
  return _mm_or_si128(_mm_srli_si128(lo, kShift), _mm_slli_si128(hi, 16 - kShift));
}

// Source misaligned by kShift (4, 8 or 12) bytes, destination aligned,
// n >= 64: aligned source blocks shifted together.
template <class Traits, int kShift>
void CopyShifted(const uint8_t* s, uint8_t* d, size_t n) {
  Store16Aligned(d, Load16(s));
  s += 16, d += 16, n -= 16;
  const uint8_t* a = s - kShift;  // aligned source block under s
  while (n >= 64 + 16) {
    __m128i b0 = Load16Aligned(a), b1 = Load16Aligned(a + 16), b2 = Load16Aligned(a + 32);
    __m128i b3 = Load16Aligned(a + 48), b4 = Load16Aligned(a + 64);
    Store16Aligned(d, Join16<kShift>(b0, b1));
    Store16Aligned(d + 16, Join16<kShift>(b1, b2));
    Store16Aligned(d + 32, Join16<kShift>(b2, b3));
    Store16Aligned(d + 48, Join16<kShift>(b3, b4));
    a += 64, s += 64, d += 64, n -= 64;
  }
  for (; n >= 64; n -= 64, s += 64, d += 64) {
    __m128i x0 = Load16(s), x1 = Load16(s + 16), x2 = Load16(s + 32), x3 = Load16(s + 48);
    Store16Aligned(d, x0), Store16Aligned(d + 16, x1);
    Store16Aligned(d + 32, x2), Store16Aligned(d + 48, x3);
  }
  CopySmall<Traits>(s, d, n);
}

// Destination aligned, source anywhere, n >= 64.
template <class Traits>
void CopyUnaligned(const uint8_t* s, uint8_t* d, size_t n) {
  if (Traits::kShiftedBlocks) {
    switch (reinterpret_cast<uintptr_t>(s) & 15) {
      case 4: CopyShifted<Traits, 4>(s, d, n); return;
      case 8: CopyShifted<Traits, 8>(s, d, n); return;
      case 12: CopyShifted<Traits, 12>(s, d, n); return;
      default: break;
    }
  }
  for (; n >= 64; n -= 64, s += 64, d += 64) {
    __m128i x0 = LoadSource16<Traits>(s), x1 = LoadSource16<Traits>(s + 16);
    __m128i x2 = LoadSource16<Traits>(s + 32), x3 = LoadSource16<Traits>(s + 48);
    Store16Aligned(d, x0), Store16Aligned(d + 16, x1);
    Store16Aligned(d + 32, x2), Store16Aligned(d + 48, x3);
  }
  CopySmall<Traits>(s, d, n);
}

// Reads one byte of every stride bytes of [s, s + n), front to back, so the
// lines are on their way in before the copy reads them.
inline void TouchForward(const uint8_t* s, size_t n, size_t stride) {
  uint8_t sink = 0;
  for (size_t i = 0; i < n; i += stride) sink ^= *static_cast<const volatile uint8_t*>(s + i);
  (void)sink;
}

// Streaming copy: destination aligned, n large.
template <class Traits>
void CopyStreaming(const uint8_t* s, uint8_t* d, size_t n) {
  for (; n >= kCopyStreamBlock; n -= kCopyStreamBlock) {
    TouchForward(s, kCopyStreamBlock, Traits::kReadAheadStride);
    for (size_t i = 0; i < kCopyStreamBlock; i += 64, s += 64, d += 64) {
      __m128i x0 = Load16(s), x1 = Load16(s + 16), x2 = Load16(s + 32), x3 = Load16(s + 48);
      Stream16(d, x0), Stream16(d + 16, x1), Stream16(d + 32, x2), Stream16(d + 48, x3);
    }
  }
  if (n == 0) {
    _mm_sfence();
    return;
  }
  uint8_t sink = 0;
  for (size_t off = n; off >= Traits::kReadAheadStride;) {
    off -= Traits::kReadAheadStride;
    sink ^= *static_cast<const volatile uint8_t*>(s + off);
  }
  (void)sink;
  for (; n >= 16; n -= 16, s += 16, d += 16) Stream16(d, Load16(s));
  _mm_sfence();
  CopySmall<Traits>(s, d, n);
}

// Destination aligned, n >= kLargeFrom: streaming when the block is at least
// half the largest cache, else the ordinary copy.
template <class Traits>
void CopyLarge(const uint8_t* s, uint8_t* d, size_t n, bool sourceAligned) {
  uint64_t cache = WuPerfCpu_LargestCacheBytes();
  if (cache != 0 && n >= cache / 2) {
    CopyStreaming<Traits>(s, d, n);
  } else if (sourceAligned) {
    CopyAligned<Traits>(s, d, n);
  } else {
    CopyUnaligned<Traits>(s, d, n);
  }
}

// Copies n >= 1 bytes between buffers that do not overlap; returns dst.
template <class Traits>
void* CopyKernelSse2(const void* src, void* dst, int32_t count) {
  const uint8_t* s = static_cast<const uint8_t*>(src);
  uint8_t* d = static_cast<uint8_t*>(dst);
  size_t n = static_cast<size_t>(count);
  if (n < 64) {
    CopySmall<Traits>(s, d, n);
    return dst;
  }
  bool sourceAligned;
  if (uintptr_t misaligned = reinterpret_cast<uintptr_t>(d) & 15) {
    // The first 16 bytes unaligned; the bytes up to the boundary are then
    // written a second time by the aligned copy.
    Store16(d, Load16(s));
    size_t head = 16 - misaligned;
    s += head, d += head, n -= head;
    if (n < 64) {
      CopySmall<Traits>(s, d, n);
      return dst;
    }
    sourceAligned = (reinterpret_cast<uintptr_t>(s) & 15) == 0 && !Traits::kUnalignedAfterHead;
    if (sourceAligned) {
      CopyAligned<Traits>(s, d, n);
      return dst;
    }
  } else {
    sourceAligned = (reinterpret_cast<uintptr_t>(s) & 15) == 0;
  }
  if (n >= Traits::kLargeFrom) {
    CopyLarge<Traits>(s, d, n, sourceAligned);
  } else if (sourceAligned) {
    CopyAligned<Traits>(s, d, n);
  } else {
    CopyUnaligned<Traits>(s, d, n);
  }
  return dst;
}

}  // namespace
}  // namespace wuperf
