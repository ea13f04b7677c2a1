// The FFT benchmark's closing table: every transform row records its median
// times (ours and each peer's, measured in the same row); at the end one
// line per family, direction and size names the fastest variant among the
// rows that meet the targets' conditions (the caller's work buffer; complex
// out of place, as the peers run) and gives its median ns, its GFLOP/s and
// each peer's time over its time (above 1: ours is faster).
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "bench/FftPeers.h"

namespace fftbench {

// One row's medians.
struct RowTimes {
  int variant;       // 0..4
  double oursNs;     // our median ns per call
  double fftwRatio;  // FFTW's median time over ours, measured in the same row
  double kissRatio;  // KissFFT's median time over ours, measured in the same row
};

// Fastest qualifying row by (family, direction, order); family "complex" or
// "real", direction "fwd" or "inv".
inline std::map<std::tuple<std::string, std::string, int>, RowTimes>& FastestRows() {
  static std::map<std::tuple<std::string, std::string, int>, RowTimes> rows;
  return rows;
}

// Records a row that meets the targets' conditions.
inline void RecordRow(const std::string& family, const std::string& direction, int order,
                      const RowTimes& times) {
  auto [it, fresh] = FastestRows().try_emplace({family, direction, order}, times);
  if (!fresh && times.oursNs < it->second.oursNs) it->second = times;
}

// Prints the table (nothing when no transform row ran).
inline void PrintSummary() {
  if (FastestRows().empty()) return;
  std::printf("\nFastest variant per size (caller's buffer; complex out of place):\n");
  std::printf("%-8s %-4s %5s %7s %12s %9s %12s %12s\n", "family", "dir", "order", "variant",
              "median ns", "GFLOP/s", "fftw/ours", "kiss/ours");
  for (const auto& [key, t] : FastestRows()) {
    const auto& [family, direction, order] = key;
    const double gflops = family == "complex" ? ComplexGflops(order, t.oursNs)
                                              : RealGflops(order, t.oursNs);
    std::printf("%-8s %-4s %5d %7d %12.0f %9.2f %12.2f %12.2f\n", family.c_str(),
                direction.c_str(), order, t.variant, t.oursNs, gflops,
                t.fftwRatio, t.kissRatio);
  }
}

}  // namespace fftbench
