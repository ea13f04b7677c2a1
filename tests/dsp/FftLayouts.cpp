// Large-order FFT set-up arrangements and their layout checks.
#include "tests/dsp/FftLayouts.h"

#include <cstring>

#include "dsp/FftSplitTables.h"
#include "tests/dsp/FftTestSupport.h"

namespace dsptest {

namespace {

int64_t Round32(int64_t x) { return (x + 31) & ~int64_t{31}; }
template <class T>
T* AlignUp32(T* p) {
  return reinterpret_cast<T*>((reinterpret_cast<uintptr_t>(p) + 31) & ~uintptr_t{31});
}

// Level tables of variants 1 to 4 (per column block: the radix-4 stages
// across the rows, then a radix-2 stage for an odd split).
template <class Sink>
void SimdLevelLayout(const SplitInfo& s, bool complex, int l, Sink& sink) {
  const int c = s.split[l];
  const int d = l - c;
  const uint64_t columns = uint64_t{1} << d;
  const uint64_t perBlock = uint64_t{1} << (s.block[l] - c);
  const uint64_t step = complex ? 4 : 2;
  auto record = [&](uint64_t p, int period, int last) {
    if (complex)
      FourLane(sink, p, period, 1, last);
    else
      PairOf(sink, p, period, 1, last);
  };
  for (uint64_t first = 0; first < columns; first += perBlock) {
    for (int i = d + 2; i <= l; i += 2)
      for (uint64_t j = 0; j < (uint64_t{1} << (i - d - 2)); ++j)
        for (uint64_t q = 0; q < perBlock; q += step) record(first + columns * j + q, i, 3);
    if (c & 1)
      for (uint64_t j = 0; j < (uint64_t{1} << (c - 1)); ++j)
        for (uint64_t q = 0; q < perBlock; q += step) record(first + columns * j + q, l, 1);
  }
}

// Level table of variant 0: per group of four columns and per row r, the
// four twiddles of rev(r)*(q+t).
template <class Sink>
void GenericLevelLayout(int l, int c, Sink& sink) {
  const uint64_t rows = uint64_t{1} << c;
  for (uint64_t q = 0; q < (uint64_t{1} << (l - c)); q += 4)
    for (uint64_t r = 0; r < rows; ++r)
      for (uint64_t t = 0; t < 4; ++t) Interleaved(sink, ReverseBits(r, c) * (q + t), l);
}

template <class T, class Layout>
::testing::AssertionResult CheckTable(const void* table, const T* base, int a, int ulps,
                                      Layout layout) {
  if (!table) return ::testing::AssertionFailure() << "table pointer missing";
  TableChecker<T> checker(static_cast<const T*>(table), base, a, ulps);
  layout(checker);
  return checker.Result();
}

// Checks the tables of a split level of order l at `depth` and below.
template <class T, class Spec>
::testing::AssertionResult CheckLevels(int variant, const SplitInfo& s, bool complex,
                                       const Spec& ctx, void* const* levelPass,
                                       void* quarterPairs, int l, int depth, const T* base,
                                       int a, int ulps) {
  const int c = s.split[l];
  const int d = l - c;
  ::testing::AssertionResult r = ::testing::AssertionSuccess();
  if (d <= s.directLimit) {
    r = CheckTable<T>(ctx.twiddleTable, base, a, ulps, [&](auto& sink) {
      if (complex) ComplexRadixLayout(variant, d, sink); else RealRadixLayout(variant, d, sink);
    });
  } else if (s.split[d] != 0) {
    r = CheckLevels<T>(variant, s, complex, ctx, levelPass, quarterPairs, d, depth + 1, base, a,
                       ulps);
  } else {
    r = CheckTable<T>(ctx.twiddleTable, base, a, ulps,
                      [&](auto& sink) { ComplexRadixLayout(0, 10, sink); });
    if (r)
      r = CheckTable<T>(quarterPairs, base, a, ulps, [&](auto& sink) {
        for (uint64_t k = 0; k < (uint64_t{1} << d) / 4; ++k) Interleaved(sink, k, d);
      });
  }
  if (!r) return r << " (below the level of order " << l << ")";
  if (variant == 0) {
    r = CheckTable<T>(levelPass[depth], base, a, ulps,
                      [&](auto& sink) { ComplexRadixLayout(0, c, sink); });
    if (r)
      r = CheckTable<T>(ctx.levelTwiddle[depth], base, a, ulps,
                        [&](auto& sink) { GenericLevelLayout(l, c, sink); });
  } else {
    r = CheckTable<T>(ctx.levelTwiddle[depth], base, a, ulps,
                      [&](auto& sink) { SimdLevelLayout(s, complex, l, sink); });
  }
  if (!r) return r << " (level of order " << l << ")";
  return r;
}

}  // namespace

SplitInfo ComplexSplit(int variant) {
  using namespace wuperf;
  switch (variant) {
    case 0: return {kComplexDirectLimitV0, 0, kComplexSplitV0.v, nullptr, false};
    case 1: return {kComplexV1.directLimit, kComplexV1.twoLevelFrom, kComplexV1.split,
                    kComplexV1.block, true};
    case 2: return {kComplexV2.directLimit, kComplexV2.twoLevelFrom, kComplexV2.split,
                    kComplexV2.block, false};
    default: return {kComplexV4.directLimit, kComplexV4.twoLevelFrom, kComplexV4.split,
                     kComplexV4.block, false};
  }
}

SplitInfo RealSplit(int variant) {
  using namespace wuperf;
  switch (variant) {
    case 0: return {kRealDirectLimitV0, 0, kRealSplitV0.v, nullptr, false};
    case 1: return {kRealV1.directLimit, kRealV1.twoLevelFrom, kRealV1.split, kRealV1.block, false};
    case 2: return {kRealV2.directLimit, kRealV2.twoLevelFrom, kRealV2.split, kRealV2.block, false};
    default: return {kRealV4.directLimit, kRealV4.twoLevelFrom, kRealV4.split, kRealV4.block,
                     false};
  }
}

BuiltSpec BuildComplexLarge(int variant, int m, int exactUlps) {
  const FoundationMembers& f = Members(variant);
  const SplitInfo s = ComplexSplit(variant);
  const int64_t n = int64_t{1} << m;
  BuiltSpec out{};
  f.getSizesLarge32fc(m, &out.specBytes, &out.initBytes, &out.workBytes);
  // Init buffer: the base table, then the builders' scratch.
  const int64_t baseBytes = Round32(n + 4);
  GuardedBuffer init(baseBytes + out.initBytes, 0);
  float* base = reinterpret_cast<float*>(init.data());
  uint8_t* scratch = reinterpret_cast<uint8_t*>(f.baseTwiddle32fc(m, base));
  // Block: head, the bit-reversal region, then the tables.
  const int64_t headBytes = Round32(sizeof(wuperf::FftSpec));
  GuardedBuffer block(headBytes + Round32(n + 4) + out.specBytes, 0);
  auto* ctx = reinterpret_cast<wuperf::FftSpec*>(block.data());
  ctx->bitRevTable = block.data() + sizeof(wuperf::FftSpec);
  uint8_t* dst = AlignUp32(block.data() + sizeof(wuperf::FftSpec) + Round32(n + 4));
  uint8_t* end = f.initLarge32fc(ctx, m, base, m, dst, scratch);
  out.withinReservation = scratch <= init.data() + baseBytes &&
                          end <= block.data() + block.size() && ctx->workSize == out.workBytes;
  out.guardsIntact = init.GuardsIntact() && block.GuardsIntact();
  out.head.assign(block.data(), block.data() + sizeof(wuperf::FftSpec));
  if (s.split[m] == 0) {
    out.tables = CheckTable<float>(ctx->twiddleTable, base, m, exactUlps,
                                   [&](auto& sink) { ComplexRadixLayout(variant, variant == 0 ? 10 : s.directLimit, sink); });
    if (out.tables)
      out.tables = CheckTable<float>(ctx->columnTwiddle, base, m, exactUlps, [&](auto& sink) {
        for (uint64_t k = 0; k < static_cast<uint64_t>(n) / 4; ++k) Interleaved(sink, k, m);
      });
  } else {
    out.tables = CheckLevels<float>(variant, s, true, *ctx, ctx->levelColumnTwiddle,
                                    ctx->columnTwiddle, m, 0, base, m, exactUlps);
  }
  return out;
}

BuiltSpec BuildRealLarge(int variant, int order, int exactUlps) {
  const FoundationMembers& f = Members(variant);
  const SplitInfo s = RealSplit(variant);
  const int h = order - 1;
  const int64_t n = int64_t{1} << order;
  BuiltSpec out{};
  f.getSizesLarge64f(h, &out.specBytes, &out.initBytes, &out.workBytes);
  const int64_t baseBytes = Round32((n / 4 + 1) * 8);
  GuardedBuffer init(baseBytes + out.initBytes, 0);
  double* base = reinterpret_cast<double*>(init.data());
  uint8_t* scratch = reinterpret_cast<uint8_t*>(f.baseTwiddle64f(order, base));
  const int64_t headBytes = Round32(sizeof(wuperf::FftSpecReal));
  GuardedBuffer block(headBytes + Round32(n / 2 + 4) + out.specBytes, 0);
  auto* ctx = reinterpret_cast<wuperf::FftSpecReal*>(block.data());
  ctx->bitRevTable = block.data() + sizeof(wuperf::FftSpecReal);
  uint8_t* dst = AlignUp32(block.data() + sizeof(wuperf::FftSpecReal) + Round32(n / 2 + 4));
  uint8_t* end = f.initLarge64f(ctx, h, base, order, dst, scratch);
  out.withinReservation = scratch <= init.data() + baseBytes &&
                          end <= block.data() + block.size() && ctx->workSize == out.workBytes;
  out.guardsIntact = init.GuardsIntact() && block.GuardsIntact();
  out.head.assign(block.data(), block.data() + sizeof(wuperf::FftSpecReal));
  if (s.split[h] == 0) {
    out.tables = CheckTable<double>(ctx->twiddleTable, base, order, exactUlps,
                                    [&](auto& sink) { RealRadixLayout(0, 10, sink); });
    if (out.tables)
      out.tables = CheckTable<double>(ctx->blockTwiddle, base, order, exactUlps, [&](auto& sink) {
        for (uint64_t k = 0; k < (uint64_t{1} << h) / 4; ++k) Interleaved(sink, k, h);
      });
  } else {
    out.tables = CheckLevels<double>(variant, s, false, *ctx, ctx->levelPassTwiddle,
                                     ctx->blockTwiddle, h, 0, base, order, exactUlps);
  }
  return out;
}

}  // namespace dsptest
