#include "fileio/WuFioMetrics.h"

namespace {

// The manager's answer when a value does not fit the caller's room.
constexpr HRESULT kDoesNotFit = static_cast<HRESULT>(0x8004E03C);

}  // namespace

DWORD WuFio_GetMetric(IWuFileIOManager* manager, DWORD id, DWORD fallback) {
  if (!manager) return fallback;
  LONG value = static_cast<LONG>(fallback);
  return manager->GetMetric(id, &value) == 0 ? static_cast<DWORD>(value) : fallback;
}

BOOL WuFio_GetMetricBool(IWuFileIOManager* manager, DWORD id, BOOL fallback) {
  if (!manager) return fallback;
  LONG value = fallback;
  if (manager->GetMetric(id, &value) != 0) return fallback;
  return value != 0 ? TRUE : FALSE;
}

LONG WuFio_GetMetric(IWuFileIOManager* manager, DWORD id, LONG minimum, LONG maximum,
                     LONG fallback) {
  LONG value = static_cast<LONG>(WuFio_GetMetric(manager, id, static_cast<DWORD>(fallback)));
  if (value < minimum) return minimum;
  if (value > maximum) return maximum;
  return value;
}

LONG WuFio_GetMetricString(IWuFileIOManager* manager, DWORD id, LPWSTR buffer, LONG size) {
  if (!manager) return 0;
  LONG length = 0;
  HRESULT hr = manager->GetMetricString(id, buffer, size, &length);
  if (hr == 0) return length;
  if (hr == kDoesNotFit) return length + 1;
  return 0;
}

DWORD WuFio_GetMetricBinary(IWuFileIOManager* manager, DWORD id, void* buffer, DWORD size) {
  if (!manager) return 0;
  DWORD got = 0;
  HRESULT hr = manager->GetMetricBinary(id, buffer, size, &got);
  return hr == 0 || hr == kDoesNotFit ? got : 0;
}

HRESULT WuFio_SetMetric(IWuFileIOManager* manager, DWORD id, LONG value) {
  return manager ? manager->SetMetric(id, value) : E_POINTER;
}

HRESULT WuFio_SetMetricString(IWuFileIOManager* manager, DWORD id, LPCWSTR text) {
  return manager ? manager->SetMetricString(id, text) : E_POINTER;
}

HRESULT WuFio_DeleteMetric(IWuFileIOManager* manager, DWORD id, LONG kind) {
  return manager ? manager->DeleteMetric(id, kind) : E_POINTER;
}

HRESULT WuFio_SetMetricBinary(IWuFileIOManager* manager, DWORD id, const void* data,
                              DWORD size) {
  return manager ? manager->SetMetricBinary(id, data, size) : E_POINTER;
}
