// The bit identities of both FFT families that hold within one variant and
// are not walked elsewhere: flags that leave a direction unscaled, exact
// power-of-two scaling of either direction, the inverse complex transform in
// place, and the real transforms of both directions out of place, into a
// destination off the 16-byte grid and with the caller's buffer, over every
// order the CI range holds. Each row is its own test, so each stays short.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/FftReal.h"
#include "dsp/WuPerf.h"
#include "dsp/WuPerfTesting.h"
#include "tests/dsp/FftComplexTestSupport.h"
#include "tests/dsp/FftIdentity.h"
#include "tests/dsp/FftOracle.h"
#include "tests/dsp/FftTestSupport.h"

namespace {

using dsptest::IdentityRow;
using dsptest::IdentityWay;

// Each value of T in `bytes` times `factor`; a power of two here, so each
// product is exact.
template <class T>
void ScaleValues(std::vector<uint8_t>* bytes, T factor) {
  for (size_t i = 0; i + sizeof(T) <= bytes->size(); i += sizeof(T)) {
    T v;
    std::memcpy(&v, bytes->data() + i, sizeof(T));
    v *= factor;
    std::memcpy(bytes->data() + i, &v, sizeof(T));
  }
}

// ---- Complex ---------------------------------------------------------------------------

dsptest::CfftRun Cfft(int flag, bool inverse, bool inPlace = false) {
  dsptest::CfftRun run;
  run.flag = flag, run.inverse = inverse, run.inPlace = inPlace, run.seed = 17;
  return run;
}

IdentityWay ComplexWay(int variant, dsptest::CfftRun base, double factor = 0.0) {
  return [=](int order) {
    if (!WuPerf_ForceVariantForTesting(variant)) return std::vector<uint8_t>{};
    dsptest::CfftRun run = base;
    run.order = order;
    std::vector<uint8_t> out = dsptest::RunCfft(run);
    WuPerf_ResetForTesting();
    // An even order's 1/sqrt(N) is a power of two, exact in float.
    if (factor != 0.0) ScaleValues(&out, static_cast<float>(std::ldexp(factor, -order / 2)));
    return out;
  };
}

// ---- Real ------------------------------------------------------------------------------

using RealDriver = WuPerfStatus (*)(const double*, double*, const void*, uint8_t*);
constexpr RealDriver kFwdDrivers[5] = {
    wuperf::v0::WuPerfFFTFwd_RToPerm64f_V0, wuperf::v1::WuPerfFFTFwd_RToPerm64f_V1,
    wuperf::v2::WuPerfFFTFwd_RToPerm64f_V2, wuperf::v3::WuPerfFFTFwd_RToPerm64f_V3,
    wuperf::v4::WuPerfFFTFwd_RToPerm64f_V4};
constexpr RealDriver kInvDrivers[5] = {
    wuperf::v0::WuPerfFFTInv_PermToR64f_V0, wuperf::v1::WuPerfFFTInv_PermToR64f_V1,
    wuperf::v2::WuPerfFFTInv_PermToR64f_V2, wuperf::v3::WuPerfFFTInv_PermToR64f_V3,
    wuperf::v4::WuPerfFFTInv_PermToR64f_V4};

enum class RealRoute {
  kExport,            // in place, array on a 32-byte boundary, no buffer
  kExportOffGrid,     // in place, array 8 bytes past a 16-byte boundary
  kBuffer,            // in place with the caller's buffer at an offset
  kDriver,            // the variant's driver, destination apart and aligned
  kDriverOffGrid,     // the same into a destination 8 bytes off the grid
};

constexpr HRESULT kOk = 0x0004E600;

std::vector<uint8_t> RealRun(int variant, int order, int flag, bool inverse, RealRoute route,
                             size_t offset) {
  const std::vector<double>& in = dsptest::RealInput(order, 13);
  const size_t bytes = 8 * in.size();
  EXPECT_TRUE(WuPerf_ForceVariantForTesting(variant));
  void* ctx = nullptr;
  EXPECT_EQ(WuPerfsFFTInitAlloc_R_64f(&ctx, order, flag, 0), kOk);
  if (ctx == nullptr) return {};
  const size_t misalign = route == RealRoute::kExportOffGrid || route == RealRoute::kDriverOffGrid
                              ? 8 : 0;
  dsptest::GuardedBuffer dst(bytes, misalign);
  double* d = reinterpret_cast<double*>(dst.data());
  auto transform = [&](double* data, uint8_t* work) {
    return inverse ? WuPerfsFFTInv_PermToR_64f_I(data, ctx, work)
                   : WuPerfsFFTFwd_RToPerm_64f_I(data, ctx, work);
  };
  switch (route) {
    case RealRoute::kExport:
    case RealRoute::kExportOffGrid:
      std::memcpy(d, in.data(), bytes);
      EXPECT_EQ(transform(d, nullptr), kOk);
      break;
    case RealRoute::kBuffer: {
      int32_t size = 0;
      EXPECT_EQ(WuPerfsFFTGetBufSize_R_64f(ctx, &size), kOk);
      dsptest::GuardedBuffer buf(static_cast<size_t>(size) + 1, offset);
      buf.FillPattern(static_cast<uint32_t>(order));
      std::memcpy(d, in.data(), bytes);
      EXPECT_EQ(transform(d, buf.data()), kOk);
      EXPECT_TRUE(buf.GuardsIntact());
      break;
    }
    case RealRoute::kDriver:
    case RealRoute::kDriverOffGrid: {
      const std::vector<double> src(in);
      const RealDriver driver = inverse ? kInvDrivers[variant] : kFwdDrivers[variant];
      EXPECT_EQ(driver(src.data(), d, ctx, nullptr), WuPerfOk);
      EXPECT_EQ(std::memcmp(src.data(), in.data(), bytes), 0) << "the source changed";
      break;
    }
  }
  EXPECT_TRUE(dst.GuardsIntact());
  EXPECT_EQ(WuPerfsFFTFree_R_64f(ctx), kOk);
  WuPerf_ResetForTesting();
  return std::vector<uint8_t>(dst.data(), dst.data() + bytes);
}

IdentityWay RealWay(int variant, int flag, bool inverse, RealRoute route = RealRoute::kExport,
                    size_t offset = 0) {
  return [=](int order) {
    if (!dsptest::VariantSupported(variant)) return std::vector<uint8_t>{};
    return RealRun(variant, order, flag, inverse, route, offset);
  };
}

// The unscaled result times 2^(-order/2), exact at even orders.
IdentityWay RealSqrtScaled(int variant, bool inverse) {
  return [=](int order) {
    std::vector<uint8_t> out = RealWay(variant, 8, inverse)(order);
    ScaleValues(&out, std::ldexp(1.0, -order / 2));
    return out;
  };
}

// ---- The rows ----------------------------------------------------------------------------

// The largest order of each variant's rows: past the first split of each
// family, within a small share of the sanitizer build's time (the placement
// rows of the complex family in FftComplexTest.cpp and the large orders go
// further).
constexpr int kComplexMax[5] = {19, 19, 18, 18, 19};
constexpr int kRealMax[5] = {19, 19, 19, 19, 19};

// A row of one variant; rows whose equality holds at even orders only are
// walked two orders a step.
struct EvenRow {
  IdentityRow row;
  int variant;
  bool evenOnly;
};

std::vector<EvenRow> Rows() {
  std::vector<EvenRow> rows;
  int v = 0;
  auto add = [&](IdentityRow row, bool evenOnly = false) {
    rows.push_back({std::move(row), v, evenOnly});
  };
  for (v = 0; v < 5; ++v) {
    const std::string c = "Complex" + std::to_string(v) + "_";
    const int cm = kComplexMax[v];
    add({c + "Flag1InverseIsUnscaled", 0, cm, ComplexWay(v, Cfft(1, true)),
         ComplexWay(v, Cfft(8, true))});
    add({c + "Flag2ForwardIsUnscaled", 0, cm, ComplexWay(v, Cfft(2, false)),
         ComplexWay(v, Cfft(8, false))});
    add({c + "InverseInPlaceIsOutOfPlace", 0, cm, ComplexWay(v, Cfft(2, true, true)),
         ComplexWay(v, Cfft(2, true))});
    add({c + "Flag4ForwardIsUnscaledTimesRootN", 0, cm, ComplexWay(v, Cfft(4, false)),
         ComplexWay(v, Cfft(8, false), 1.0)}, true);
    add({c + "Flag4InverseIsUnscaledTimesRootN", 0, cm, ComplexWay(v, Cfft(4, true, true)),
         ComplexWay(v, Cfft(8, true), 1.0)}, true);

    const std::string r = "Real" + std::to_string(v) + "_";
    const int rm = kRealMax[v];
    add({r + "Flag2ForwardIsUnscaled", 0, rm, RealWay(v, 2, false), RealWay(v, 8, false)});
    add({r + "Flag1InverseIsUnscaled", 0, rm, RealWay(v, 1, true), RealWay(v, 8, true)});
    add({r + "Flag4InverseIsUnscaledTimesRootN", 0, rm, RealWay(v, 4, true),
         RealSqrtScaled(v, true)}, true);
    for (bool inverse : {false, true}) {
      const std::string d = r + (inverse ? "Inverse" : "Forward");
      const int flag = inverse ? 2 : 1;
      add({d + "DriverOutOfPlaceIsInPlace", 0, rm, RealWay(v, flag, inverse, RealRoute::kDriver),
           RealWay(v, flag, inverse)});
      add({d + "DriverOffGridIsInPlace", 0, rm,
           RealWay(v, flag, inverse, RealRoute::kDriverOffGrid), RealWay(v, flag, inverse)});
      add({d + "ArrayOffGridIsAligned", 0, rm,
           RealWay(v, flag, inverse, RealRoute::kExportOffGrid), RealWay(v, flag, inverse)});
      for (size_t offset : {size_t{8}, size_t{21}})
        add({d + "BufferAtOffset" + std::to_string(offset) + "IsNone", 0, rm,
             RealWay(v, flag, inverse, RealRoute::kBuffer, offset), RealWay(v, flag, inverse)});
    }
  }
  return rows;
}

const std::vector<EvenRow>& AllRows() {
  static const std::vector<EvenRow> rows = Rows();
  return rows;
}

class FftIdentityTable : public dsptest::DspTest,
                         public testing::WithParamInterface<size_t> {};

TEST_P(FftIdentityTable, GivesEqualBitsAtEveryOrder) {
  const EvenRow& r = AllRows()[GetParam()];
  if (!dsptest::VariantSupported(r.variant)) GTEST_SKIP() << "variant not on this processor";
  for (int order = r.row.minOrder; order <= r.row.maxOrder; order += r.evenOnly ? 2 : 1) {
    const std::vector<uint8_t> first = r.row.first(order);
    const std::vector<uint8_t> second = r.row.second(order);
    ASSERT_FALSE(first.empty()) << "order " << order;
    ASSERT_EQ(first.size(), second.size()) << "order " << order;
    ASSERT_EQ(std::memcmp(first.data(), second.data(), first.size()), 0)
        << r.row.name << ", order " << order;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FftIdentityTable, testing::Range(size_t{0}, AllRows().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return AllRows()[info.param].row.name;
                         });

}  // namespace
