// The area-average workers: box in both directions, and box in the
// shrinking direction with cubic or linear filtering in the other.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <type_traits>
#include <vector>

#include "imaging/WuColorMath.h"
#include "imaging/WuScaleCommon.h"
#include "imaging/WuScaleLinearTaps.h"
#include "imaging/WuScaleWeights.h"
#include "imaging/WuScaleWorkers.h"

namespace wuscale {
namespace {

// The source lines that one destination row or column covers, with their
// overlap weights (Q14). Lines past the used source repeat its edge line.
struct Span {
  size_t first;  // index of the first entry in Spans::entries
  LONG count;    // number of entries
  LONG length;   // the span's length L, Q14
};
struct SpanEntry {
  LONG line;    // source line
  LONG weight;  // overlap, Q14
};
struct Spans {
  std::vector<Span> spans;
  std::vector<SpanEntry> entries;
};

// Spans of one direction: the first starts at the srcUsed edge, each is
// the Q14 multiply of its destination pixel's coverage and the ratio long,
// and each next one starts where the previous ended.
Spans MakeSpans(const Axis& axis, LONG srcLo, LONG srcHi, LONG ratio) {
  const Lines lines(srcLo, srcHi);
  Spans out;
  out.spans.resize(axis.count);
  int64_t s = srcLo;
  for (LONG k = 0; k < axis.count; ++k) {
    const int64_t len = MulQ14(axis.Coverage(k), ratio);
    const int64_t e = s + len;
    Span& span = out.spans[k];
    span.first = out.entries.size();
    span.length = static_cast<LONG>(len);
    const int64_t a = FloorPx(s);
    const int64_t b = CeilPx(e) - 1;
    for (int64_t line = a; line <= b; ++line) {
      int64_t w;
      if (a == b) {
        w = len;
      } else if (line == a) {
        w = kOne - (s & 0x3FFF);
      } else if (line == b) {
        w = e - b * kOne;
      } else {
        w = kOne;
      }
      out.entries.push_back(SpanEntry{lines.Clamp(line), static_cast<LONG>(w)});
    }
    span.count = static_cast<LONG>(out.entries.size() - span.first);
    s = e;
  }
  return out;
}

inline const BYTE* Pixel(const WUSUBPIXELPARAM& p, LONG row, LONG col, int bpp) {
  return SrcPixel(p, row, col, bpp);
}

// ---- Box in both directions ---------------------------------------------------------------

// The four bytes of a pixel as four 32-bit lanes.
inline __m128i LoadPixel32(const BYTE* px) {
  int v;
  std::memcpy(&v, px, 4);
  const __m128i zero = _mm_setzero_si128();
  return _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(v), zero), zero);
}

// How one horizontal span splits: partial weights sit only at its two
// ends; the entries between have full weight and, unless clamped at the
// image edge, name consecutive columns.
struct SpanSplit {
  LONG j0;          // first full-weight entry
  LONG j1;          // one past the last full-weight entry
  bool contiguous;  // the full-weight entries are consecutive columns
};
std::vector<SpanSplit> SplitSpans(const Spans& sx) {
  std::vector<SpanSplit> out(sx.spans.size());
  for (size_t k = 0; k < sx.spans.size(); ++k) {
    const Span& span = sx.spans[k];
    const SpanEntry* e = &sx.entries[span.first];
    LONG j0 = 0;
    LONG j1 = span.count;
    while (j0 < j1 && e[j0].weight != kOne) ++j0;
    while (j1 > j0 && e[j1 - 1].weight != kOne) --j1;
    out[k] = SpanSplit{j0, j1, j1 > j0 && e[j1 - 1].line - e[j0].line == j1 - 1 - j0};
  }
  return out;
}

// Adds the two pixels' worth of 16-bit lanes of s16 to the four 32-bit
// channel lanes of s32.
inline __m128i Flush16(__m128i s32, __m128i s16) {
  const __m128i zero = _mm_setzero_si128();
  return _mm_add_epi32(s32, _mm_add_epi32(_mm_unpacklo_epi16(s16, zero), _mm_unpackhi_epi16(s16, zero)));
}

// Source rows of full weight: their weights are the column weights
// themselves, so the pixels of full column weight are added as they are
// (in 16-bit lanes, four pixels a step, flushed to 32 bits before they can
// overflow) and their total is scaled once; the partial columns at the
// span ends are weighted one by one.
template <typename Sum>
void AddFullRows(const std::vector<const BYTE*>& rows, const Spans& sx,
                 const std::vector<SpanSplit>& splits, Sum* acc) {
  const __m128i zero = _mm_setzero_si128();
  for (size_t k = 0; k < splits.size(); ++k) {
    const Span& span = sx.spans[k];
    const SpanEntry* e = &sx.entries[span.first];
    const SpanSplit& sp = splits[k];
    Sum part[4] = {0, 0, 0, 0};
    __m128i s32 = zero;
    __m128i s16 = zero;
    int pending = 0;  // 16-bit steps added since the last flush
    const LONG n = sp.j1 - sp.j0;
    const bool hasPartial = sp.j0 > 0 || sp.j1 < span.count;
    const size_t steps = n > 0 && n % 4 == 0 && sp.contiguous ? static_cast<size_t>(n / 4) : 0;
    if (!hasPartial && steps > 0 && steps * rows.size() <= 128) {
      // The common case (whole spans, a multiple of four pixels wide):
      // every step fits 16-bit lanes without a flush.
      const ptrdiff_t at = static_cast<ptrdiff_t>(e[0].line) * 4;
      for (const BYTE* row : rows) {
        const BYTE* px = row + at;
        for (size_t q = 0; q < steps; ++q, px += 16) {
          const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
          s16 = _mm_add_epi16(s16, _mm_add_epi16(_mm_unpacklo_epi8(b, zero), _mm_unpackhi_epi8(b, zero)));
        }
      }
      s32 = Flush16(s32, s16);
      alignas(16) uint32_t w[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(w), s32);
      Sum* a = acc + k * 4;
      for (int c = 0; c < 4; ++c) a[c] += static_cast<Sum>(w[c]) * static_cast<Sum>(kOne);
      continue;
    }
    for (const BYTE* row : rows) {
      for (LONG j = 0; hasPartial && j < span.count; ++j) {
        if (j == sp.j0) j = sp.j1;
        if (j >= span.count) break;
        const BYTE* px = row + static_cast<ptrdiff_t>(e[j].line) * 4;
        for (int c = 0; c < 4; ++c) part[c] += static_cast<Sum>(e[j].weight) * px[c];
      }
      if (n <= 0) continue;
      const BYTE* px = row + static_cast<ptrdiff_t>(e[sp.j0].line) * 4;
      LONG j = 0;
      if (sp.contiguous) {
        for (; j + 4 <= n; j += 4, px += 16) {
          if (pending == 128) {
            s32 = Flush16(s32, s16);
            s16 = zero;
            pending = 0;
          }
          const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px));
          s16 = _mm_add_epi16(s16, _mm_add_epi16(_mm_unpacklo_epi8(b, zero), _mm_unpackhi_epi8(b, zero)));
          ++pending;
        }
        for (; j < n; ++j, px += 4) s32 = _mm_add_epi32(s32, LoadPixel32(px));
      } else {
        for (j = sp.j0; j < sp.j1; ++j) {
          s32 = _mm_add_epi32(s32, LoadPixel32(row + static_cast<ptrdiff_t>(e[j].line) * 4));
        }
      }
    }
    s32 = Flush16(s32, s16);
    alignas(16) uint32_t w[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(w), s32);
    Sum* a = acc + k * 4;
    for (int c = 0; c < 4; ++c) a[c] += static_cast<Sum>(w[c]) * static_cast<Sum>(kOne) + part[c];
  }
}

template <typename Sum, bool kFloat>
void BoxBoth(const WUSUBPIXELPARAM& p, bool overwrite) {
  using Acc = std::conditional_t<kFloat, double, Sum>;
  constexpr int bpp = kFloat ? 16 : 4;
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const Spans sx = MakeSpans(ax, p.srcUsed.left, p.srcUsed.right, p.ratioX);
  const Spans sy = MakeSpans(ay, p.srcUsed.top, p.srcUsed.bottom, p.ratioY);
  const int64_t area = MulQ14(p.ratioX, p.ratioY);
  const double invArea = 1.0 / static_cast<double>(area);
  const double invAreaF = 1.0 / ((p.ratioX / 16384.0) * (p.ratioY / 16384.0));
  std::vector<Acc> acc(static_cast<size_t>(ax.count) * 4);
  std::vector<Acc> weights(sx.entries.size());

  const std::vector<SpanSplit> splits = kFloat ? std::vector<SpanSplit>() : SplitSpans(sx);
  std::vector<const BYTE*> fullRows;

  for (LONG r = 0; r < ay.count; ++r) {
    std::fill(acc.begin(), acc.end(), Acc{});
    const Span& spanY = sy.spans[r];
    if constexpr (!kFloat) {
      fullRows.clear();
      for (LONG i = 0; i < spanY.count; ++i) {
        const SpanEntry& ey = sy.entries[spanY.first + i];
        if (ey.weight == kOne) fullRows.push_back(Pixel(p, ey.line, 0, 4));
      }
      if (!fullRows.empty()) AddFullRows<Sum>(fullRows, sx, splits, acc.data());
    }
    for (LONG i = 0; i < spanY.count; ++i) {
      const SpanEntry& ey = sy.entries[spanY.first + i];
      if (!kFloat && ey.weight == kOne) continue;
      // A row of partial weight (the integer form has added the full ones):
      // the weight of each covered column in it.
      for (size_t j = 0; j < sx.entries.size(); ++j) {
        if constexpr (kFloat) {
          weights[j] = (ey.weight / 16384.0) * (sx.entries[j].weight / 16384.0);
        } else {
          weights[j] = static_cast<Sum>(MulQ14(ey.weight, sx.entries[j].weight));
        }
      }
      const BYTE* row = Pixel(p, ey.line, 0, bpp);
      for (LONG k = 0; k < ax.count; ++k) {
        const Span& spanX = sx.spans[k];
        Acc* a = &acc[static_cast<size_t>(k) * 4];
        Acc s0 = a[0], s1 = a[1], s2 = a[2], s3 = a[3];
        for (LONG j = 0; j < spanX.count; ++j) {
          const SpanEntry& ex = sx.entries[spanX.first + j];
          const Acc w = weights[spanX.first + j];
          if constexpr (kFloat) {
            const float* px = reinterpret_cast<const float*>(row + static_cast<ptrdiff_t>(ex.line) * 16);
            s0 += w * px[0];
            s1 += w * px[1];
            s2 += w * px[2];
            s3 += w * px[3];
          } else {
            const BYTE* px = row + static_cast<ptrdiff_t>(ex.line) * 4;
            s0 += w * px[0];
            s1 += w * px[1];
            s2 += w * px[2];
            s3 += w * px[3];
          }
        }
        a[0] = s0;
        a[1] = s1;
        a[2] = s2;
        a[3] = s3;
      }
    }

    BYTE* out = DstRow(p, ay.first + r) + static_cast<ptrdiff_t>(ax.first) * bpp;
    const LONG covY = ay.Coverage(r);
    for (LONG k = 0; k < ax.count; ++k, out += bpp) {
      const Acc* a = &acc[static_cast<size_t>(k) * 4];
      const LONG covX = ax.Coverage(k);
      const bool full = covX == kOne && covY == kOne;
      if constexpr (kFloat) {
        float v[4];
        if (full || overwrite) {
          for (int c = 0; c < 4; ++c) v[c] = static_cast<float>(a[c] * invAreaF);
          PutFloat4(reinterpret_cast<float*>(out), v, true, 1.0);
        } else {
          if (MulQ14(sx.spans[k].length, spanY.length) == 0) continue;
          const double actual = (sx.spans[k].length / 16384.0) * (spanY.length / 16384.0);
          for (int c = 0; c < 4; ++c) v[c] = static_cast<float>(a[c] * (1.0 / actual));
          PutFloat4(reinterpret_cast<float*>(out), v, false, BlendFactorF(covX, covY));
        }
      } else {
        int v[4];
        if (full || overwrite) {
          for (int c = 0; c < 4; ++c) {
            v[c] = WuRoundDoubleToInt(static_cast<double>(a[c]) * invArea) & 0xFF;
          }
          PutByte4(out, v, true, 255);
        } else {
          const int64_t actual = MulQ14(sx.spans[k].length, spanY.length);
          if (actual == 0) continue;
          for (int c = 0; c < 4; ++c) v[c] = static_cast<int>(static_cast<int64_t>(a[c]) / actual);
          PutByte4(out, v, false, BlendFactor8(covX, covY));
        }
      }
    }
  }
}

// ---- Box in one direction, cubic or linear in the other -----------------------------------
// `kVertical`: the box runs over rows (the height shrinks) and the filter
// over columns; otherwise the other way round.

template <bool kVertical>
inline const BYTE* BoxPixel(const WUSUBPIXELPARAM& p, LONG boxLine, LONG filterLine, int bpp) {
  return kVertical ? Pixel(p, boxLine, filterLine, bpp) : Pixel(p, filterLine, boxLine, bpp);
}

// The cubic taps of the box-with-cubic workers: from the srcUsed edge plus
// half a ratio plus half a pixel, advancing by each pixel's coverage share
// of the ratio, all four taps clamped to the used lines.
struct BoxCubicTap {
  LONG line[4];  // source lines of taps 0..3
  int phase;     // weight-table phase
};
std::vector<BoxCubicTap> BoxCubicTaps(const Axis& axis, LONG srcLo, LONG srcHi, LONG ratio) {
  const Lines lines(srcLo, srcHi);
  std::vector<BoxCubicTap> taps(axis.count);
  int64_t pos = static_cast<int64_t>(srcLo) + ratio / 2 + 8192;
  for (LONG k = 0; k < axis.count; ++k) {
    taps[k].phase = static_cast<int>((pos & 0x3FFF) >> 2);
    const int64_t centre = FloorPx(pos);
    for (int n = 0; n < 4; ++n) taps[k].line[n] = lines.Clamp(centre - 2 + n);
    pos += MulQ14(axis.Coverage(k), ratio);
  }
  return taps;
}

// Common frame of the one-direction box workers: walks the destination,
// hands each pixel's span and filter index to `compute`, which fills the
// value for a divisor, and writes or blends the result.
template <bool kVertical, bool kFloat, typename Compute>
void BoxOneDirection(const WUSUBPIXELPARAM& p, bool overwrite, Compute compute) {
  constexpr int bpp = kFloat ? 16 : 4;
  const Axis ax(p.dstClip.left, p.dstClip.right);
  const Axis ay(p.dstClip.top, p.dstClip.bottom);
  const LONG ratio = kVertical ? p.ratioY : p.ratioX;
  const Spans spans = kVertical ? MakeSpans(ay, p.srcUsed.top, p.srcUsed.bottom, ratio)
                                : MakeSpans(ax, p.srcUsed.left, p.srcUsed.right, ratio);
  for (LONG r = 0; r < ay.count; ++r) {
    BYTE* out = DstRow(p, ay.first + r) + static_cast<ptrdiff_t>(ax.first) * bpp;
    const LONG covY = ay.Coverage(r);
    for (LONG k = 0; k < ax.count; ++k, out += bpp) {
      const LONG covX = ax.Coverage(k);
      const Span& span = spans.spans[kVertical ? r : k];
      const SpanEntry* entries = &spans.entries[span.first];
      const LONG filterIndex = kVertical ? k : r;
      const bool full = covX == kOne && covY == kOne;
      // Partly covered pixels are divided by their actual span unless
      // written over a full footprint.
      const LONG divisor = overwrite ? ratio : span.length;
      if (divisor == 0) continue;
      if constexpr (kFloat) {
        float v[4];
        compute(entries, span.count, filterIndex, divisor, v);
        PutFloat4(reinterpret_cast<float*>(out), v, full || overwrite, BlendFactorF(covX, covY));
      } else {
        int v[4];
        compute(entries, span.count, filterIndex, divisor, v);
        PutByte4(out, v, full || overwrite, BlendFactor8(covX, covY));
      }
    }
  }
}

template <bool kVertical, typename Sum, bool kFloat>
void BoxCubic(const WUSUBPIXELPARAM& p, bool overwrite) {
  constexpr int bpp = kFloat ? 16 : 4;
  const WUCUBICWEIGHTS& w = WuCubicWeights();
  const Axis filterAxis = kVertical ? Axis(p.dstClip.left, p.dstClip.right)
                                    : Axis(p.dstClip.top, p.dstClip.bottom);
  const std::vector<BoxCubicTap> taps =
      kVertical ? BoxCubicTaps(filterAxis, p.srcUsed.left, p.srcUsed.right, p.ratioX)
                : BoxCubicTaps(filterAxis, p.srcUsed.top, p.srcUsed.bottom, p.ratioY);
  BoxOneDirection<kVertical, kFloat>(
      p, overwrite,
      [&](const SpanEntry* entries, LONG count, LONG filterIndex, LONG divisor, auto* v) {
        const BoxCubicTap& t = taps[filterIndex];
        if constexpr (kFloat) {
          double total[4] = {0, 0, 0, 0};
          for (int n = 0; n < 4; ++n) {
            double s[4] = {0, 0, 0, 0};
            for (LONG i = 0; i < count; ++i) {
              const float* px =
                  reinterpret_cast<const float*>(BoxPixel<kVertical>(p, entries[i].line, t.line[n], bpp));
              const double wy = entries[i].weight / 16384.0;
              for (int c = 0; c < 4; ++c) s[c] += wy * px[c];
            }
            for (int c = 0; c < 4; ++c) total[c] += s[c] * w.f[t.phase][n];
          }
          const double inv = 1.0 / (divisor / 16384.0);
          for (int c = 0; c < 4; ++c) v[c] = static_cast<float>(total[c] * inv);
          v[3] = WuClamp01(v[3]);
        } else {
          Sum total[4] = {0, 0, 0, 0};
          for (int n = 0; n < 4; ++n) {
            Sum s[4] = {0, 0, 0, 0};
            for (LONG i = 0; i < count; ++i) {
              const BYTE* px = BoxPixel<kVertical>(p, entries[i].line, t.line[n], bpp);
              const Sum wy = entries[i].weight;
              for (int c = 0; c < 4; ++c) s[c] += wy * px[c];
            }
            for (int c = 0; c < 4; ++c) {
              total[c] += static_cast<Sum>(MulQ14(s[c], w.q[t.phase][n]));
            }
          }
          for (int c = 0; c < 4; ++c) {
            v[c] = static_cast<int>(std::clamp<Sum>((total[c] + 8192) / divisor, 0, 255));
          }
        }
      });
}

template <bool kVertical, typename Sum, bool kFloat>
void BoxLinear(const WUSUBPIXELPARAM& p, bool overwrite) {
  constexpr int bpp = kFloat ? 16 : 4;
  const std::vector<LinearTap> taps =
      kVertical ? LinearTaps(Axis(p.dstClip.left, p.dstClip.right), p.srcUsed.left,
                             p.srcUsed.right, p.stepX, true)
                : LinearTaps(Axis(p.dstClip.top, p.dstClip.bottom), p.srcUsed.top,
                             p.srcUsed.bottom, p.stepY, true);
  BoxOneDirection<kVertical, kFloat>(
      p, overwrite,
      [&](const SpanEntry* entries, LONG count, LONG filterIndex, LONG divisor, auto* v) {
        const LinearTap& t = taps[filterIndex];
        if constexpr (kFloat) {
          const float fx = static_cast<float>(t.frac / 16384.0);
          double s[4] = {0, 0, 0, 0};
          for (LONG i = 0; i < count; ++i) {
            const float* a =
                reinterpret_cast<const float*>(BoxPixel<kVertical>(p, entries[i].line, t.lo, bpp));
            const float* b =
                reinterpret_cast<const float*>(BoxPixel<kVertical>(p, entries[i].line, t.hi, bpp));
            const double wy = entries[i].weight / 16384.0;
            for (int c = 0; c < 4; ++c) {
              const float lerp = a[c] + fx * (b[c] - a[c]);
              s[c] += wy * lerp;
            }
          }
          const float inv = static_cast<float>(1.0 / (divisor / 16384.0));
          for (int c = 0; c < 4; ++c) v[c] = static_cast<float>(s[c] * inv);
        } else {
          Sum s[4] = {0, 0, 0, 0};
          for (LONG i = 0; i < count; ++i) {
            const BYTE* a = BoxPixel<kVertical>(p, entries[i].line, t.lo, bpp);
            const BYTE* b = BoxPixel<kVertical>(p, entries[i].line, t.hi, bpp);
            const Sum wy = entries[i].weight;
            for (int c = 0; c < 4; ++c) {
              const Sum lerp = (t.frac * b[c] + (kOne - t.frac) * a[c]) / kOne;
              s[c] += wy * lerp;
            }
          }
          for (int c = 0; c < 4; ++c) v[c] = static_cast<int>(s[c] / divisor) & 0xFF;
        }
      });
}

}  // namespace

void AreaBoxWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool wideSums, bool overwrite) {
  if (isFloat) {
    BoxBoth<double, true>(p, overwrite);
  } else if (wideSums) {
    BoxBoth<uint64_t, false>(p, overwrite);
  } else {
    BoxBoth<uint32_t, false>(p, overwrite);
  }
}

void AreaBoxCubicWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool boxVertical, bool wideSums,
                        bool overwrite) {
  if (boxVertical) {
    if (isFloat) {
      BoxCubic<true, double, true>(p, overwrite);
    } else if (wideSums) {
      BoxCubic<true, int64_t, false>(p, overwrite);
    } else {
      BoxCubic<true, int32_t, false>(p, overwrite);
    }
  } else {
    if (isFloat) {
      BoxCubic<false, double, true>(p, overwrite);
    } else if (wideSums) {
      BoxCubic<false, int64_t, false>(p, overwrite);
    } else {
      BoxCubic<false, int32_t, false>(p, overwrite);
    }
  }
}

void AreaBoxLinearWorker(const WUSUBPIXELPARAM& p, bool isFloat, bool boxVertical, bool wideSums,
                         bool overwrite) {
  if (boxVertical) {
    if (isFloat) {
      BoxLinear<true, double, true>(p, overwrite);
    } else if (wideSums) {
      BoxLinear<true, int64_t, false>(p, overwrite);
    } else {
      BoxLinear<true, int32_t, false>(p, overwrite);
    }
  } else {
    if (isFloat) {
      BoxLinear<false, double, true>(p, overwrite);
    } else if (wideSums) {
      BoxLinear<false, int64_t, false>(p, overwrite);
    } else {
      BoxLinear<false, int32_t, false>(p, overwrite);
    }
  }
}

}  // namespace wuscale
