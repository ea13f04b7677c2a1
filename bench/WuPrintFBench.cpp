// WuPrintF against the C runtime's snprintf on the same kinds of format:
// integers, grouped integers, floats, texts and a token reference. The
// runtime has no grouping nor tokens; its row for those formats is the
// nearest plain equivalent, so the difference is the cost of the addition.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/kernel/module.h"

namespace {

// Kernel state for the whole run: token table, language handle, locale.
struct Kernel {
  Kernel() {
    WuPrintF_CreateTokens();
    WuLang_Open(&lang, GetModuleHandleW(nullptr), 0, 0);
    WuKernel_SetLangHandle(lang);
    WuLang_GetInternationals(nullptr, 0);
    WuPrintF_AddToken(u"AppName", u"Vorlundage");
  }
  HWULANG lang = nullptr;
};

void EnsureKernel() { static Kernel kernel; }

void BM_WuPrintF_Integers(benchmark::State& state) {
  EnsureKernel();
  WCHAR out[WUPRINTF_MAX];
  int i = 0;
  for (auto _ : state) {
    ++i;
    benchmark::DoNotOptimize(WuPrintF(out, u"%d of %u (%08x)", i, 1000u, i));
  }
}
void BM_snprintf_Integers(benchmark::State& state) {
  char out[WUPRINTF_MAX];
  int i = 0;
  for (auto _ : state) {
    ++i;
    benchmark::DoNotOptimize(snprintf(out, sizeof out, "%d of %u (%08x)", i, 1000u, i));
  }
}

void BM_WuPrintF_GroupedIntegers(benchmark::State& state) {
  EnsureKernel();
  WCHAR out[WUPRINTF_MAX];
  int i = 1234567;
  for (auto _ : state)
    benchmark::DoNotOptimize(WuPrintF(out, u"$d bytes, $I64d total", ++i, 1234567890123LL));
}
void BM_snprintf_GroupedIntegers(benchmark::State& state) {
  char out[WUPRINTF_MAX];
  int i = 1234567;
  for (auto _ : state)
    benchmark::DoNotOptimize(
        snprintf(out, sizeof out, "%d bytes, %lld total", ++i, 1234567890123LL));
}

void BM_WuPrintF_Floats(benchmark::State& state) {
  EnsureKernel();
  WCHAR out[WUPRINTF_MAX];
  double x = 1234.5;
  for (auto _ : state) benchmark::DoNotOptimize(WuPrintF(out, u"%.2f and $.3f", x, x * 7));
}
void BM_snprintf_Floats(benchmark::State& state) {
  char out[WUPRINTF_MAX];
  double x = 1234.5;
  for (auto _ : state)
    benchmark::DoNotOptimize(snprintf(out, sizeof out, "%.2f and %.3f", x, x * 7));
}

void BM_WuPrintF_Strings(benchmark::State& state) {
  EnsureKernel();
  WCHAR out[WUPRINTF_MAX];
  for (auto _ : state)
    benchmark::DoNotOptimize(
        WuPrintF(out, u"Copying %s to %s", u"C:/Setup/data1.cab", u"D:/Program Files/App"));
}
void BM_snprintf_Strings(benchmark::State& state) {
  char out[WUPRINTF_MAX];
  for (auto _ : state)
    benchmark::DoNotOptimize(snprintf(out, sizeof out, "Copying %s to %s", "C:/Setup/data1.cab",
                                      "D:/Program Files/App"));
}

void BM_WuPrintF_TokenReference(benchmark::State& state) {
  EnsureKernel();
  WCHAR out[WUPRINTF_MAX];
  for (auto _ : state) benchmark::DoNotOptimize(WuPrintF(out, u"$(AppName) - Unpacking Wizard"));
}
void BM_snprintf_TokenReference(benchmark::State& state) {
  char out[WUPRINTF_MAX];
  for (auto _ : state)
    benchmark::DoNotOptimize(snprintf(out, sizeof out, "%s - Unpacking Wizard", "Vorlundage"));
}

BENCHMARK(BM_WuPrintF_Integers);
BENCHMARK(BM_snprintf_Integers);
BENCHMARK(BM_WuPrintF_GroupedIntegers);
BENCHMARK(BM_snprintf_GroupedIntegers);
BENCHMARK(BM_WuPrintF_Floats);
BENCHMARK(BM_snprintf_Floats);
BENCHMARK(BM_WuPrintF_Strings);
BENCHMARK(BM_snprintf_Strings);
BENCHMARK(BM_WuPrintF_TokenReference);
BENCHMARK(BM_snprintf_TokenReference);

}  // namespace
