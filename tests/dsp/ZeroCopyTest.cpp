// Zero and copy kernels, the cache-size probe, the validating zero and copy
// entries and the scale kernels, in every variant.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "dsp/CacheProbe.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::CacheProcessor;
using dsptest::GuardedBuffer;
using dsptest::Members;
using dsptest::ScopedProcessor;

class ZeroCopyTest : public dsptest::FftVariantTest {};

// Every size 1..300 at every destination offset 0..15 gives memset's bytes;
// the bytes around stay as they were.
TEST_F(ZeroCopyTest, ZeroMatchesMemsetForSmallSizesAndOffsets) {
  ForEachVariant([](int v) {
    for (int32_t n = 1; n <= 300; ++n) {
      for (size_t offset = 0; offset < 16; ++offset) {
        GuardedBuffer buffer(n + 32, offset);
        buffer.FillPattern(n);
        std::vector<uint8_t> expected(buffer.data(), buffer.data() + n + 32);
        std::memset(expected.data() + 8, 0, n);
        EXPECT_EQ(Members(v).zeroKernel(buffer.data() + 8, n), buffer.data() + 8);
        ASSERT_EQ(std::memcmp(buffer.data(), expected.data(), n + 32), 0)
            << "n " << n << " offset " << offset;
        ASSERT_TRUE(buffer.GuardsIntact());
      }
    }
  });
}

// Every size 1..300 at every destination and source offset 0..15 gives
// memcpy's bytes.
TEST_F(ZeroCopyTest, CopyMatchesMemcpyForSmallSizesAndOffsets) {
  ForEachSimdVariant([](int v) {
    for (int32_t n = 1; n <= 300; ++n) {
      GuardedBuffer src(n + 16, 0);
      src.FillPattern(n);
      for (size_t dstOffset = 0; dstOffset < 16; ++dstOffset) {
        GuardedBuffer dst(n, dstOffset);
        for (size_t srcOffset = 0; srcOffset < 16; ++srcOffset) {
          std::memset(dst.data(), 0, n);
          EXPECT_EQ(Members(v).copyKernel(src.data() + srcOffset, dst.data(), n), dst.data());
          ASSERT_EQ(std::memcmp(dst.data(), src.data() + srcOffset, n), 0)
              << "n " << n << " dst " << dstOffset << " src " << srcOffset;
          ASSERT_TRUE(dst.GuardsIntact());
        }
      }
    }
  });
}

// The small-fill and head cases: 1-3 bytes one at a time, 9 bytes as two
// overlapping stores, 16 bytes at 1 mod 16 as a 15-byte head and one byte.
TEST_F(ZeroCopyTest, ZeroWritesExactlyTheBytesOfTheSmallAndHeadPaths) {
  ForEachVariant([](int v) {
    struct Case {
      int32_t n;
      size_t offset;
    } cases[] = {{1, 0}, {2, 0}, {3, 0}, {9, 0}, {16, 1}, {17, 15}, {64, 1}};
    for (const Case& c : cases) {
      GuardedBuffer buffer(c.n, c.offset);
      buffer.FillPattern(7);
      Members(v).zeroKernel(buffer.data(), c.n);
      for (int32_t i = 0; i < c.n; ++i) ASSERT_EQ(buffer.data()[i], 0) << c.n << " byte " << i;
      EXPECT_TRUE(buffer.GuardsIntact()) << c.n;
    }
  });
}

// The direction test of the aligned copy: page offsets of source minus
// destination of 0, +-16, 160, 161, -3936, -3937 give memcpy's bytes, at
// 64 bytes (below variant 2's page test) and 4,000 bytes.
TEST_F(ZeroCopyTest, CopyGivesTheSameBytesForEveryPageOffsetDifference) {
  ForEachSimdVariant([](int v) {
    for (int32_t n : {63, 64, 4000}) {
      for (int diff : {0, 16, -16, 160, 161, -3936, -3937}) {
        GuardedBuffer src(3 * 4096, 0), dst(3 * 4096, 0);
        src.FillPattern(diff + 9000);
        // Destination at page offset 4000 - ... chosen so the source offset
        // is the destination offset plus diff.
        size_t dstOffset = 4096 + 3968;
        size_t srcOffset = 4096 + 3968 + diff;
        Members(v).copyKernel(src.data() + srcOffset, dst.data() + dstOffset, n);
        ASSERT_EQ(std::memcmp(dst.data() + dstOffset, src.data() + srcOffset, n), 0)
            << "n " << n << " diff " << diff;
        for (size_t i = 0; i < dstOffset; ++i) ASSERT_EQ(dst.data()[i], 0);
        ASSERT_TRUE(dst.GuardsIntact());
      }
    }
  });
}

// ---- The cache-size probe ----------------------------------------------------------

TEST_F(ZeroCopyTest, ProbeReadsTheLargestReportedCacheByTableOrder) {
  struct Case {
    bool intel;
    DWORD eax, ebx, ecx, edx;
    uint64_t expected;
  } cases[] = {
      // 0x43 (512 KiB) before 0x4D (16 MiB) in the bytes: the table decides.
      {true, 0x00434D01, 0, 0, 0, 16u << 20},
      {true, 0x00000001, 0, 0, 0x00430000, 512u << 10},
      {true, 0x00000001, 0x48000000, 0, 0, 3u << 20},
      {true, 0x00000001, 0, 0x4C000000, 0, 12u << 20},
      // Another vendor, a round count other than 1, only small caches, and
      // descriptors in words with bit 31 set: unknown.
      {false, 0x00434D01, 0, 0, 0, 0},
      {true, 0x00434D02, 0, 0, 0, 0},
      {true, 0x302C0801, 0x0A0B0C0D, 0, 0, 0},
      {true, 0x00000001, 0x80004D43, 0x80000043, 0, 0},
      {true, 0x80434D01, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CacheProcessor cpu(c.intel, c.eax, c.ebx, c.ecx, c.edx);
    ScopedProcessor scoped(&cpu);
    EXPECT_EQ(wuperf::WuPerfCpu_LargestCacheBytes(), c.expected) << std::hex << c.eax;
  }
}

// Zeroing 524,288 bytes never probes; 524,289 bytes from a 16-byte-aligned
// start does. Copies probe from their variant's large threshold.
TEST_F(ZeroCopyTest, LargeBlockPathsProbeFromTheirThresholds) {
  CacheProcessor cpu = dsptest::MakeStreamingProcessor();
  ScopedProcessor scoped(&cpu);
  GuardedBuffer dst((1 << 20) + 64, 0), src((1 << 20) + 64, 0);
  ForEachSimdVariant([&](int v) {
    cpu.leaf2Queries = 0;
    Members(v).zeroKernel(dst.data(), 524288);
    EXPECT_EQ(cpu.leaf2Queries, 0);
    Members(v).zeroKernel(dst.data(), 524289);
    EXPECT_EQ(cpu.leaf2Queries, 1);
    const int32_t largeFrom = v >= 3 ? 0x100000 : v == 2 ? 0x80000 : 0x20001;
    cpu.leaf2Queries = 0;
    Members(v).copyKernel(src.data(), dst.data(), largeFrom - 1);
    EXPECT_EQ(cpu.leaf2Queries, 0);
    Members(v).copyKernel(src.data(), dst.data(), largeFrom);
    EXPECT_EQ(cpu.leaf2Queries, 1);
    EXPECT_TRUE(dst.GuardsIntact());
  });
  // The generic zero never probes.
  cpu.leaf2Queries = 0;
  Members(0).zeroKernel(dst.data(), 1 << 20);
  EXPECT_EQ(cpu.leaf2Queries, 0);
}

// Blocks above a 512 KiB cache stream and still give memset's and memcpy's
// bytes, at aligned and misaligned addresses and odd lengths.
void CheckStreamingBlocks(const std::vector<int32_t>& sizes) {
  CacheProcessor cpu = dsptest::MakeStreamingProcessor();
  ScopedProcessor scoped(&cpu);
  for (int v = 1; v < wuperf::kVariantCount; ++v) {
    if (!dsptest::VariantSupported(v)) continue;
    for (int32_t n : sizes) {
      for (size_t offset : {size_t{0}, size_t{5}}) {
        SCOPED_TRACE(testing::Message() << "variant " << v << " n " << n << " offset " << offset);
        GuardedBuffer src(n + 16, 0), dst(n, offset);
        src.FillPattern(n);
        dst.FillPattern(n + 1);
        cpu.leaf2Queries = 0;
        Members(v).copyKernel(src.data() + 3 * offset, dst.data(), n);
        EXPECT_GE(cpu.leaf2Queries, 1);
        ASSERT_EQ(std::memcmp(dst.data(), src.data() + 3 * offset, n), 0);
        Members(v).zeroKernel(dst.data(), n);
        std::vector<uint8_t> zeros(n, 0);
        ASSERT_EQ(std::memcmp(dst.data(), zeros.data(), n), 0);
        ASSERT_TRUE(dst.GuardsIntact());
      }
    }
  }
}

TEST_F(ZeroCopyTest, StreamingBlocksGiveThePlainBytes) {
  CheckStreamingBlocks({4 << 20, (4 << 20) + 37, (1 << 20) + 262144 + 100});
}

// ---- Validating entries ---------------------------------------------------------------

// Null pointers first (-8 whatever the count), then counts of zero or less
// (-6), and nothing written on failure.
TEST_F(ZeroCopyTest, ValidatingEntriesCheckPointersThenCounts) {
  ForEachVariant([](int v) {
    const dsptest::FoundationMembers& m = Members(v);
    GuardedBuffer buffer(64, 0), src(64, 0);
    buffer.FillPattern(1);
    src.FillPattern(2);
    std::vector<uint8_t> before(buffer.data(), buffer.data() + 64);
    float* f = reinterpret_cast<float*>(buffer.data());
    double* d = reinterpret_cast<double*>(buffer.data());
    struct Case {
      bool null;
      int32_t n;
      WuPerfStatus expected;
    } cases[] = {{true, 4, -8}, {true, 0, -8}, {true, -1, -8}, {false, 0, -6}, {false, -5, -6},
                 {false, INT32_MIN, -6}};
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << "null " << c.null << " n " << c.n);
      EXPECT_EQ(m.zero8u(c.null ? nullptr : buffer.data(), c.n), c.expected);
      EXPECT_EQ(m.zero32f(c.null ? nullptr : f, c.n), c.expected);
      EXPECT_EQ(m.zero64f(c.null ? nullptr : d, c.n), c.expected);
      if (m.copy8u) {
        EXPECT_EQ(m.copy8u(c.null ? nullptr : src.data(), buffer.data(), c.n), c.expected);
        EXPECT_EQ(m.copy8u(src.data(), c.null ? nullptr : buffer.data(), c.n), c.expected);
      }
      ASSERT_EQ(std::memcmp(buffer.data(), before.data(), 64), 0);
    }
    // Success zeroes exactly n bytes, floats or doubles.
    EXPECT_EQ(m.zero8u(buffer.data(), 3), 0);
    EXPECT_EQ(m.zero32f(f + 1, 3), 0);
    EXPECT_EQ(m.zero64f(d + 3, 2), 0);
    for (int i = 0; i < 64; ++i) {
      bool zeroed = i < 3 || (i >= 4 && i < 16) || (i >= 24 && i < 40);
      EXPECT_EQ(buffer.data()[i] == 0, zeroed) << i;
    }
    if (m.copy8u) {
      EXPECT_EQ(m.copy8u(src.data(), buffer.data(), 64), 0);
      EXPECT_EQ(std::memcmp(buffer.data(), src.data(), 64), 0);
    }
    EXPECT_TRUE(buffer.GuardsIntact());
  });
}

// ---- Scale kernels -----------------------------------------------------------------------

// Every value is the single product value * factor on every path: the plain
// loop (10 floats, 4 doubles), the scalar head (11 floats at 4 mod 16, 5
// doubles at 8 mod 16), aligned and unaligned blocks, and the tails.
TEST_F(ZeroCopyTest, ScaleIsOneMultiplicationPerValueOnEveryPath) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> value(-1e6, 1e6);
  ForEachSimdVariant([&](int v) {
    for (int32_t n : {1, 4, 5, 10, 11, 12, 19, 33, 100}) {
      for (size_t offset : {size_t{0}, size_t{4}, size_t{8}, size_t{12}}) {
        SCOPED_TRACE(testing::Message() << "n " << n << " offset " << offset);
        const float ff = 0.3f;
        const double fd = 1.0 / 3.0;
        GuardedBuffer fb(4 * n, offset), db(8 * n, offset & 8);
        float* f = reinterpret_cast<float*>(fb.data());
        double* d = reinterpret_cast<double*>(db.data());
        std::vector<float> fx(n);
        std::vector<double> dx(n);
        for (int32_t i = 0; i < n; ++i) f[i] = fx[i] = static_cast<float>(value(gen));
        for (int32_t i = 0; i < n; ++i) d[i] = dx[i] = value(gen);
        Members(v).scale32f(ff, f, n);
        Members(v).scale64f(fd, d, n);
        for (int32_t i = 0; i < n; ++i) {
          volatile float pf = fx[i] * ff;
          volatile double pd = dx[i] * fd;
          ASSERT_EQ(dsptest::Bits(f[i]), dsptest::Bits(static_cast<float>(pf))) << i;
          ASSERT_EQ(dsptest::Bits(d[i]), dsptest::Bits(static_cast<double>(pd))) << i;
        }
        EXPECT_TRUE(fb.GuardsIntact());
        EXPECT_TRUE(db.GuardsIntact());
      }
    }
  });
}

}  // namespace
