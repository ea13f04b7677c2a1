// ErrorReport: a stand-in for the optional crash-report module. It records
// the process ids its two exports are given, under their C names (the
// callers ask for the decorated ones). See FioTestOop.h.
#include <mutex>
#include <vector>

#include "fileio/WuFileIO.h"
#include "platform/com/com.h"
#include "platform/kernel/threads.h"
#include "tests/fileio/plugins/FioTestOop.h"

#define ERROR_REPORT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex g_lock;
std::vector<DWORD> g_calls[2];   // process ids: 0 start, 1 stop
int g_publishedAtStart = 0;      // start calls that found the class published

// Whether the surrogate `pid` published its own class id: connecting
// answers for an interface without a table when somebody serves it.
bool Published(DWORD pid) {
  CLSID id = CLSID_WuFileIOSurrogate;
  id.Data1 ^= pid;
  void* object = nullptr;
  HRESULT hr = CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, &object);
  if (object) static_cast<IUnknown*>(object)->Release();
  return hr != REGDB_E_CLASSNOTREG;
}

}  // namespace

ERROR_REPORT_EXPORT HRESULT ErrorReport_StartMonitoringProcess(DWORD pid) {
  // Long enough for a running surrogate to publish its class.
  Sleep(200);
  bool published = Published(pid);
  std::lock_guard<std::mutex> hold(g_lock);
  g_calls[0].push_back(pid);
  if (published) ++g_publishedAtStart;
  return S_OK;
}

ERROR_REPORT_EXPORT HRESULT ErrorReport_StopMonitoringProcess(DWORD pid) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_calls[1].push_back(pid);
  return S_OK;
}

ERROR_REPORT_EXPORT int ErrorReport_Calls(int which, DWORD* pids, int max) {
  std::lock_guard<std::mutex> hold(g_lock);
  if (which < 0 || which > 1) return 0;
  const std::vector<DWORD>& calls = g_calls[which];
  for (int i = 0; i < max && i < static_cast<int>(calls.size()); ++i) pids[i] = calls[i];
  return static_cast<int>(calls.size());
}

ERROR_REPORT_EXPORT int ErrorReport_PublishedAtStart() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_publishedAtStart;
}
