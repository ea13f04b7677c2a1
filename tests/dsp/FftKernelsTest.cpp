// Block kernels of the split FFTs in every variant: block bit reversal,
// gather and scatter, and the radix-4 and radix-2 passes of both precisions
// and directions against a direct DFT per position.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tests/dsp/FftTableCheck.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::GuardedBuffer;
using dsptest::Members;
using dsptest::ReverseBits;
using CLD = std::complex<long double>;

class FftKernelsTest : public dsptest::FftVariantTest {};

// The pair table of an order, built by the generic builder.
std::vector<uint32_t> PairTable(int order) {
  std::vector<uint32_t> t((size_t{1} << order) / 4 + 16);
  wuperf::v0::WuPerfFFT_BitRevTable_V0(order, t.data());
  return t;
}

// Every in-place bit reversal of complex floats or doubles this variant has.
struct BitRevKernel {
  const char* name;
  size_t pointBytes;
  std::function<void(void*, int32_t, const uint32_t*)> run;
};
std::vector<BitRevKernel> BitRevKernels(int v) {
  std::vector<BitRevKernel> out;
  if (v == 0) {
    out.push_back({"32fc generic", 8, wuperf::v0::WuPerfFFT32fc_BitRevInPlace_V0});
    out.push_back({"64f generic", 16, [](void* d, int32_t n, const uint32_t* p) {
                     wuperf::v0::WuPerfFFT64f_BitRevInPlace_V0(static_cast<double*>(d), n, p);
                   }});
  } else {
    out.push_back({"32fc block", 8, Members(v).blockBitRev32fc});
    auto k64 = Members(v).blockBitRev64f;
    out.push_back({"64f block", 16, [k64](void* d, int32_t n, const uint32_t* p) {
                     k64(static_cast<double*>(d), n, p);
                   }});
  }
  return out;
}

// Points of 4, 8 and 16 with their small tables, and random 2^m points on
// every alignment against the index permutation; counts below 4 stay.
TEST_F(FftKernelsTest, BlockBitReversalPermutesIntoBitReversedOrder) {
  struct Fixed {
    int32_t count;
    std::vector<uint32_t> table;
    std::vector<uint32_t> expected;  // expected[i] = index of the point now at i
  } fixed[] = {{4, {0, 0}, {0, 2, 1, 3}},
               {8, {0, 4, 0}, {0, 4, 2, 6, 1, 5, 3, 7}},
               {16, {4, 8, 0, 12, 0}, {0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}}};
  ForEachVariant([&](int v) {
    for (const BitRevKernel& k : BitRevKernels(v)) {
      SCOPED_TRACE(k.name);
      auto check = [&](int32_t count, const uint32_t* table, size_t offset,
                       const std::function<uint32_t(uint32_t)>& source) {
        GuardedBuffer b(count * k.pointBytes, offset);
        // Point i holds i in every 4-byte word.
        for (int32_t i = 0; i < count; ++i)
          for (size_t w = 0; w < k.pointBytes / 4; ++w)
            std::memcpy(b.data() + i * k.pointBytes + 4 * w, &i, 4);
        k.run(b.data(), count, table);
        for (int32_t i = 0; i < count; ++i) {
          for (size_t w = 0; w < k.pointBytes / 4; ++w) {
            uint32_t got;
            std::memcpy(&got, b.data() + i * k.pointBytes + 4 * w, 4);
            ASSERT_EQ(got, source(i)) << "count " << count << " offset " << offset << " point " << i;
          }
        }
        ASSERT_TRUE(b.GuardsIntact());
      };
      for (const Fixed& f : fixed)
        check(f.count, f.table.data(), 0, [&](uint32_t i) { return f.expected[i]; });
      const uint32_t zeros[2] = {0, 0};
      for (int32_t count : {1, 2}) check(count, zeros, 0, [](uint32_t i) { return i; });
      for (int order = 2; order <= 12; ++order) {
        std::vector<uint32_t> table = PairTable(order);
        for (size_t offset = 0; offset < 16; offset += k.pointBytes == 8 ? 4 : 8)
          check(1 << order, table.data(), offset,
                [order](uint32_t i) { return static_cast<uint32_t>(ReverseBits(i, order)); });
      }
    }
  });
}

// Gather then scatter in mode 0 restores the strided array; mode 1 turns
// float records into interleaved points and double pairs (Re a, Re b, Im a,
// Im b) into (Re a, Im a, Re b, Im b).
TEST_F(FftKernelsTest, GatherAndScatterMoveRowsAndConvertLayouts) {
  ForEachSimdVariant([](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    const int32_t stride = 40, rows = 5, len = 16;
    for (size_t offset : {size_t{0}, size_t{8}}) {
      // Complex floats (8-byte points).
      GuardedBuffer array(8 * stride * rows, offset), copy(8 * stride * rows, offset);
      GuardedBuffer block(8 * rows * len, 0);
      array.FillPattern(3);
      std::memcpy(copy.data(), array.data(), array.size());
      m.gather32fc(array.data(), block.data(), stride, rows, len);
      for (int32_t r = 0; r < rows; ++r)
        ASSERT_EQ(std::memcmp(block.data() + 8 * r * len, array.data() + 8 * r * stride, 8 * len), 0);
      std::memset(copy.data(), 0, copy.size());
      m.scatter32fc(copy.data(), block.data(), stride, rows, len, 0);
      for (int32_t r = 0; r < rows; ++r)
        ASSERT_EQ(std::memcmp(copy.data() + 8 * r * stride, array.data() + 8 * r * stride, 8 * len), 0);
      m.scatter32fc(copy.data(), block.data(), stride, rows, len, 1);
      const float* rec = reinterpret_cast<const float*>(block.data());
      const float* out = reinterpret_cast<const float*>(copy.data());
      for (int32_t r = 0; r < rows; ++r)
        for (int32_t p = 0; p < len; ++p) {
          const float* record = rec + r * 2 * len + (p / 4) * 8;
          ASSERT_EQ(dsptest::Bits(out[r * 2 * stride + 2 * p]), dsptest::Bits(record[p % 4]));
          ASSERT_EQ(dsptest::Bits(out[r * 2 * stride + 2 * p + 1]), dsptest::Bits(record[4 + p % 4]));
        }
      // Complex doubles (16-byte values).
      GuardedBuffer darray(16 * stride * rows, offset), dcopy(16 * stride * rows, offset);
      GuardedBuffer dblock(16 * rows * len, 0);
      darray.FillPattern(4);
      double* da = reinterpret_cast<double*>(darray.data());
      double* dc = reinterpret_cast<double*>(dcopy.data());
      double* db = reinterpret_cast<double*>(dblock.data());
      m.gather64f(da, db, stride, rows, len);
      m.scatter64f(dc, db, stride, rows, len, 0);
      for (int32_t r = 0; r < rows; ++r)
        ASSERT_EQ(std::memcmp(dc + 2 * r * stride, da + 2 * r * stride, 16 * len), 0);
      m.scatter64f(dc, db, stride, rows, len, 1);
      for (int32_t r = 0; r < rows; ++r)
        for (int32_t u = 0; u < len / 2; ++u) {
          const double* in = db + r * 2 * len + 4 * u;
          const double* o = dc + r * 2 * stride + 4 * u;
          ASSERT_EQ(dsptest::Bits(o[0]), dsptest::Bits(in[0]));
          ASSERT_EQ(dsptest::Bits(o[1]), dsptest::Bits(in[2]));
          ASSERT_EQ(dsptest::Bits(o[2]), dsptest::Bits(in[1]));
          ASSERT_EQ(dsptest::Bits(o[3]), dsptest::Bits(in[3]));
        }
      for (GuardedBuffer* b : {&array, &copy, &block, &darray, &dcopy, &dblock})
        EXPECT_TRUE(b->GuardsIntact());
    }
  });
}

// ---- Radix passes ------------------------------------------------------------------------

// Views of a complex value at a position of a working layout.
struct Layout {
  bool doubles;  // pair layout of doubles, else record layout of floats
  CLD Get(const void* data, size_t i) const {
    if (doubles) {
      const double* d = static_cast<const double*>(data) + (i / 2) * 4 + i % 2;
      return {d[0], d[2]};
    }
    const float* f = static_cast<const float*>(data) + (i / 4) * 8 + i % 4;
    return {f[0], f[4]};
  }
  // Twiddle f (1..3) of position k of a radix-4 record table, or the one
  // factor of a radix-2 table (radix4 false).
  CLD Twiddle(const void* table, size_t k, int f, bool radix4) const {
    if (doubles) {
      const double* d = static_cast<const double*>(table) + (k / 2) * (radix4 ? 12 : 4) +
                        (radix4 ? 4 * (f - 1) : 0) + k % 2;
      return {d[0], d[2]};
    }
    const float* t = static_cast<const float*>(table) + (k / 4) * (radix4 ? 24 : 8) +
                     (radix4 ? 8 * (f - 1) : 0) + k % 4;
    return {t[0], t[4]};
  }
};

// A stored twiddle (c, s) applied as in the passes: the forward product
// (c Re z - s Im z, Im z c + Re z s), the inverse its conjugate.
CLD Apply(CLD z, CLD w, bool inverse) { return z * (inverse ? std::conj(w) : w); }

// Checks one pass output against the DFT of each position's inputs.
::testing::AssertionResult CheckPass(const Layout& lay, const void* in, const void* out,
                                     const void* tw, int radix, int32_t quarter, int32_t groups,
                                     bool inverse) {
  const long double u = lay.doubles ? std::ldexp(1.0L, -53) : std::ldexp(1.0L, -24);
  const long double sign = inverse ? 1 : -1;
  for (int32_t g = 0; g < groups; ++g) {
    size_t base = static_cast<size_t>(g) * radix * quarter;
    for (int32_t k = 0; k < quarter; ++k) {
      CLD x[4];
      long double magnitude = 0;
      if (radix == 4) {
        // Natural-order DFT inputs: offset 0, offset 2q times W^k, offset q
        // times W^2k, offset 3q times W^3k.
        x[0] = lay.Get(in, base + k);
        x[1] = Apply(lay.Get(in, base + 2 * quarter + k), lay.Twiddle(tw, k, 1, true), inverse);
        x[2] = Apply(lay.Get(in, base + quarter + k), lay.Twiddle(tw, k, 2, true), inverse);
        x[3] = Apply(lay.Get(in, base + 3 * quarter + k), lay.Twiddle(tw, k, 3, true), inverse);
      } else {
        x[0] = lay.Get(in, base + k);
        x[1] = Apply(lay.Get(in, base + quarter + k), lay.Twiddle(tw, k, 1, false), inverse);
      }
      for (int j = 0; j < radix; ++j) magnitude += std::abs(x[j]);
      for (int q = 0; q < radix; ++q) {
        CLD expected = 0;
        for (int j = 0; j < radix; ++j)
          expected += x[j] * std::polar(1.0L, sign * 2 * dsptest::kPiL * j * q / radix);
        CLD got = lay.Get(out, base + q * quarter + k);
        if (std::abs(got - expected) > 8 * u * magnitude)
          return ::testing::AssertionFailure() << "group " << g << " position " << k << " output "
                                               << q << ": " << static_cast<double>(got.real())
                                               << " vs " << static_cast<double>(expected.real());
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// Random data and random unit twiddles; every pass of both precisions and
// directions, out of place and in place (the same bits).
TEST_F(FftKernelsTest, RadixPassesComputeTheDftOfEachPosition) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  ForEachSimdVariant([&](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    for (bool doubles : {false, true}) {
      for (int radix : {2, 4}) {
        for (bool inverse : {false, true}) {
          for (int32_t quarter : {4, 8, 16}) {
            SCOPED_TRACE(testing::Message() << (doubles ? "64f" : "32fc") << " radix " << radix
                                            << (inverse ? " inverse" : " forward") << " quarter "
                                            << quarter);
            const int32_t groups = 3;
            const size_t points = static_cast<size_t>(radix) * quarter * groups;
            const size_t elem = doubles ? 8 : 4;
            GuardedBuffer in(points * 2 * elem, 0), out(points * 2 * elem, 0),
                inPlace(points * 2 * elem, 0), tw(quarter * 3 * 2 * elem, 0);
            for (size_t i = 0; i < points * 2; ++i) {
              double x = value(gen);
              if (doubles) reinterpret_cast<double*>(in.data())[i] = x;
              else reinterpret_cast<float*>(in.data())[i] = static_cast<float>(x);
            }
            std::memcpy(inPlace.data(), in.data(), in.size());
            // Twiddle records: unit values (c, s) in each record's lanes.
            const size_t lanes = doubles ? 2 : 4;
            const size_t perRecord = (radix == 4 ? 3 : 1) * 2 * lanes;
            for (size_t r = 0; r < quarter / lanes; ++r)
              for (int f = 0; f < (radix == 4 ? 3 : 1); ++f)
                for (size_t t = 0; t < lanes; ++t) {
                  double th = value(gen) * 3.2;
                  size_t at = r * perRecord + f * 2 * lanes + t;
                  if (doubles) {
                    reinterpret_cast<double*>(tw.data())[at] = std::cos(th);
                    reinterpret_cast<double*>(tw.data())[at + lanes] = std::sin(th);
                  } else {
                    reinterpret_cast<float*>(tw.data())[at] = static_cast<float>(std::cos(th));
                    reinterpret_cast<float*>(tw.data())[at + lanes] = static_cast<float>(std::sin(th));
                  }
                }
            auto run = [&](const void* src, void* dst) {
              if (doubles) {
                auto* fn = radix == 4 ? (inverse ? m.radix4Inv64f : m.radix4Fwd64f)
                                      : (inverse ? m.radix2Inv64f : m.radix2Fwd64f);
                fn(static_cast<const double*>(src), static_cast<double*>(dst), quarter, groups,
                   reinterpret_cast<const double*>(tw.data()));
              } else {
                auto* fn = radix == 4 ? (inverse ? m.radix4Inv32fc : m.radix4Fwd32fc)
                                      : (inverse ? m.radix2Inv32fc : m.radix2Fwd32fc);
                fn(static_cast<const float*>(src), static_cast<float*>(dst), quarter, groups,
                   reinterpret_cast<const float*>(tw.data()));
              }
            };
            run(in.data(), out.data());
            run(inPlace.data(), inPlace.data());
            EXPECT_TRUE(CheckPass(Layout{doubles}, in.data(), out.data(), tw.data(), radix,
                                  quarter, groups, inverse));
            EXPECT_EQ(std::memcmp(out.data(), inPlace.data(), out.size()), 0);
            // The inverse radix-2 pass is the forward pass with conjugated
            // factors, bit for bit.
            if (radix == 2 && inverse) {
              for (size_t r = 0; r < quarter / lanes; ++r)
                for (size_t t = 0; t < lanes; ++t) {
                  size_t at = r * perRecord + lanes + t;
                  if (doubles) reinterpret_cast<double*>(tw.data())[at] *= -1;
                  else reinterpret_cast<float*>(tw.data())[at] *= -1;
                }
              inverse = false;
              run(in.data(), inPlace.data());
              inverse = true;
              EXPECT_EQ(std::memcmp(out.data(), inPlace.data(), out.size()), 0);
            }
            for (GuardedBuffer* b : {&in, &out, &inPlace, &tw}) EXPECT_TRUE(b->GuardsIntact());
          }
        }
      }
    }
  });
}

}  // namespace
