// Best wall times of the whole-program benchmarks (package runs, chunk
// deletes), kept per benchmark and printed at the end beside a reference
// run's as plain ratios.
#pragma once

#include <cstdio>
#include <map>
#include <string>

namespace wubench {

// Best wall time of each benchmark, in seconds, by name.
inline std::map<std::string, double>& BestTimes() {
  static std::map<std::string, double> times;
  return times;
}

// Prints every best time, then each one divided by the reference's (named
// `label` in the ratio lines), when the reference ran.
inline void PrintBestTimes(const std::string& reference, const char* label) {
  const std::map<std::string, double>& times = BestTimes();
  std::printf("\nBest wall times (s):");
  for (const auto& [name, seconds] : times) std::printf(" %s %.3f", name.c_str(), seconds);
  std::printf("\n");
  auto ref = times.find(reference);
  if (ref == times.end() || ref->second <= 0) return;
  for (const auto& [name, seconds] : times)
    std::printf("  %-18s / %s = %.2f\n", name.c_str(), label, seconds / ref->second);
}

}  // namespace wubench
