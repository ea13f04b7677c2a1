// wudemo: a short tour of a few of the library's services. It reports the
// processor and platform as the library sees them, keeps a sorted list,
// times itself with the library clock and runs the vector primitives.
#include <cstdio>
#include <string>
#include <vector>

#include "dsp/WuPerf.h"
#include "foundation/WuList.h"
#include "foundation/WuString.h"
#include "foundation/WuSystem.h"
#include "foundation/WuTimer.h"
#include "platform/kernel/locale.h"

namespace {

std::string Narrow(const WCHAR* text) { return platform::ToUtf8(text); }

int CompareNumbers(INT_PTR, const void* key, const void* item) {
  auto a = reinterpret_cast<intptr_t>(key);
  auto b = reinterpret_cast<intptr_t>(item);
  return a < b ? -1 : (a > b ? 1 : 0);
}

bool ShowPlatform() {
  WCHAR text[64];
  WuGetOS(text, 64);
  std::printf("platform:   %s, %u processor(s)\n", Narrow(text).c_str(), WuGetProcessorCount());
  if (SUCCEEDED(WuGetCPUVendorString(text, 64))) std::printf("vendor:     %s\n", Narrow(text).c_str());
  if (SUCCEEDED(WuGetCPUBrandString(text, 64))) std::printf("processor:  %s\n", Narrow(text).c_str());
  DWORD support = WuGetCPUSupport(0);
  std::printf("support:    0x%05X (class %u%s%s%s%s)\n", support, support & 0xF,
              support & 0x40 ? ", SSE2" : "", support & 0x80 ? ", SSE3" : "",
              support & 0x100 ? ", SSSE3" : "", support & 0x200 ? ", SSE4.1" : "");
  return (support & 0xF) != 0;
}

bool ShowList() {
  tWULIST* list = nullptr;
  if (FAILED(WuList_CreateExZ(&list, sizeof(void*), 0, 0, WULIST_LOCKED))) return false;
  const intptr_t values[] = {42, 7, 19, 3, 28, 11};
  for (intptr_t v : values) {
    LONG at = WuList_FindSortedInsertIndexRange(list, reinterpret_cast<void*>(v), 0, -1,
                                                CompareNumbers);
    WuList_InsertItem(list, at, reinterpret_cast<void*>(v));
  }
  std::printf("list:      ");
  for (LONG i = 0; i < list->count; ++i)
    std::printf(" %ld", static_cast<long>(reinterpret_cast<intptr_t>(WuList_PointerAt(list, i))));
  LONG found = WuList_FindSortedItemRange(list, reinterpret_cast<void*>(19), 0, -1, CompareNumbers);
  std::printf("  (19 at index %d)\n", found);
  WuList_Destroy(list);
  return found == 3;
}

bool ShowVectors() {
  WuPerf_Initialize();
  const int n = 8;
  float* in = reinterpret_cast<float*>(WuPerfsMalloc_8u(n * sizeof(float)));
  float* out = reinterpret_cast<float*>(WuPerfsMalloc_8u(n * sizeof(float)));
  if (!in || !out) return false;
  for (int i = 0; i < n; ++i) in[i] = static_cast<float>(i * i);
  HRESULT hr = WuPerfsSqrt_32f(in, out, n);
  std::printf("sqrt:      ");
  for (int i = 0; i < n; ++i) std::printf(" %g", out[i]);
  std::printf("  (status 0x%08X)\n", static_cast<unsigned>(hr));
  bool ok = SUCCEEDED(hr) && out[7] == 7.0f;
  WuPerfsFree(in);
  WuPerfsFree(out);
  return ok;
}

}  // namespace

int main() {
  ULONGLONG stamp = 0;
  WuTimer_SetupClock(4);
  WuDeltaMicrosecEx(&stamp);

  bool ok = ShowPlatform();
  ok = ShowList() && ok;
  ok = ShowVectors() && ok;

  WCHAR name[16];
  WuStrCpyN(name, u"Unpacking Wizard", 10);
  std::printf("bounded:    \"%s\" (copy into 10 characters)\n", Narrow(name).c_str());
  std::printf("elapsed:    %u us\n", WuDeltaMicrosecEx(&stamp));
  std::printf("%s\n", ok ? "all checks passed" : "a check FAILED");
  return ok ? 0 : 1;
}
