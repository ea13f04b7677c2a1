// The exported factories of the file-I/O manager.
#include <cstring>

#include "fileio/CWuFileIOManager.h"
#include "fileio/WuFioPaths.h"
#include "fileio/WuFioSurrogate.h"

namespace {

// A new manager asked for its application interface, initialised with
// `flags`; NULL with *status set on failure.
IWuFileIOMgrForApp* NewManager(DWORD flags, CWuFileIOManager** object, HRESULT* status) {
  CWuFileIOManager* manager = CWuFileIOManager::Create();
  if (!manager) {
    *status = E_OUTOFMEMORY;
    return nullptr;
  }
  IWuFileIOMgrForApp* app = nullptr;
  *status = manager->QueryInterface(IID_IWuFileIOMgrForApp, reinterpret_cast<void**>(&app));
  if (FAILED(*status)) {
    manager->DeletingDestructor(1);
    return nullptr;
  }
  *status = app->Initialize(flags);
  if (FAILED(*status)) {
    app->Release();
    return nullptr;
  }
  *object = manager;
  return app;
}

// Builds the lists from `list` (taken over), loads what must be renewed
// and sorts again by the class ids the loaded classes reported.
HRESULT UseList(CWuFileIOManager* manager, tWULIST* list, DWORD filterFlags, const GUID* filter,
                LONG filterCount) {
  HRESULT hr = manager->SetPluginList(list, filterFlags, filter, filterCount);
  if (manager->PluginList() != list) WuFio_FreePluginList(list);
  if (SUCCEEDED(hr)) {
    manager->Refresh();
    hr = manager->SetPluginList(list, filterFlags, filter, filterCount);
  }
  manager->ReleaseProbeHolds();
  return hr;
}

}  // namespace

HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags, _WUFIO_KEYED_INFO* info) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuFileIOManager* manager = nullptr;
  HRESULT hr = S_OK;
  IWuFileIOMgrForApp* app = NewManager(flags, &manager, &hr);
  if (!app) return hr;
  if (info) {
    // Metric 0 given and not 0 asks for the cache to be ignored.
    if ((info->metrics.mask & 1) && info->metrics.values[0] != 0) flags |= WUFIO_CREATE_IGNORE_CACHE;
    hr = app->ApplyInitializationMetrics(&info->metrics);
  }
  if (SUCCEEDED(hr) && !(flags & WUFIO_CREATE_NO_SEARCH)) {
    tWULIST* list = nullptr;
    hr = app->FindPlugins(&list, flags, nullptr);
    if (SUCCEEDED(hr)) {
      hr = UseList(manager, list, info ? info->filterFlags : flags, info ? info->filterList : nullptr,
                   info ? info->filterCount : 0);
    } else {
      WuFio_FreePluginList(list);
    }
    if (SUCCEEDED(hr) && !(flags & WUFIO_CREATE_NO_CACHE_WRITE)) {
      app->SaveCache(0);
      app->SetMetric(0, 0);
    }
  }
  if (FAILED(hr)) {
    app->Release();
    return hr;
  }
  *out = app;
  return S_OK;
}

HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags) {
  _WUFIO_KEYED_INFO info;
  std::memset(&info, 0, sizeof(info));
  info.filterFlags = flags;
  return WUFileIO_CreateInstance(out, flags, &info);
}

HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags, const WCHAR* const* paths,
                                LONG count) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuFileIOManager* manager = nullptr;
  HRESULT hr = S_OK;
  IWuFileIOMgrForApp* app = NewManager(flags, &manager, &hr);
  if (!app) return hr;
  if (count > 0) {
    tWULIST* list = nullptr;
    hr = app->AddPluginCandidates(&list, paths, count, flags, nullptr);
    if (SUCCEEDED(hr) && WuFio_PluginCount(list) > 0) {
      hr = UseList(manager, list, flags, nullptr, 0);
      if (SUCCEEDED(hr)) app->SaveCache(0);
    } else {
      WuFio_FreePluginList(list);
    }
  }
  if (FAILED(hr)) {
    app->Release();
    return hr;
  }
  *out = app;
  return S_OK;
}

HRESULT WUFileIO_CreateSurrogateManagerInstance(IWuFileIOMgrForApp** out, DWORD flags,
                                                _WUFIO_INITIALIZATION_METRICS* metrics,
                                                LPCWSTR modulePath) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!WuFio_CachePathsSet()) WuFio_EnsureCachePaths(nullptr, flags, modulePath);
  CWuFileIOManager* manager = nullptr;
  HRESULT hr = S_OK;
  IWuFileIOMgrForApp* app = NewManager(flags, &manager, &hr);
  if (!app) return hr;
  WuFio_MarkSurrogateManager(manager);
  if (metrics) hr = app->ApplyInitializationMetrics(metrics);
  if (FAILED(hr)) {
    app->Release();
    return hr;
  }
  *out = app;
  return S_OK;
}
