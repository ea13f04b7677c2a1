// libfio_test_dep: a library that fio_test_preload needs by its shared-object
// name. It reports its loading and unloading under "fio_test_dep".
#include "tests/fileio/kit/WuFioTestCounters.h"

extern "C" __attribute__((visibility("default"))) int FioTestDepValue() { return 42; }

// In the surrogate the kit's counters go nowhere (a test program's own
// definition comes first).
extern "C" __attribute__((visibility("default"))) void WuFioTestReport(const char*, int, LONG) {}

namespace {

struct LoadReport {
  LoadReport() { WuFioTestReport("fio_test_dep", kWuFioTestLoads, 1); }
  ~LoadReport() { WuFioTestReport("fio_test_dep", kWuFioTestUnloads, 1); }
} g_loadReport;

}  // namespace
