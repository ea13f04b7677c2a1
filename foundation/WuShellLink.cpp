// The shared shell-link object. Created on the first successful request and
// kept for the process; the kernel's process-exit step releases it.
#include "foundation/WuShellLink.h"

#include <mutex>

namespace {

std::mutex g_lock;                 // guards the cache
IShellLinkW* g_link = nullptr;     // the cached object (one reference held)

}  // namespace

HRESULT WuGetShellLink(IShellLinkW** link) {
  if (!link) return E_INVALIDARG;
  std::lock_guard<std::mutex> hold(g_lock);
  if (!g_link) {
    void* made = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  &made);
    if (FAILED(hr)) {
      *link = nullptr;
      return hr;
    }
    g_link = static_cast<IShellLinkW*>(made);
  }
  g_link->AddRef();
  *link = g_link;
  return S_OK;
}

void WuShellLink_ReleaseCache() {
  IShellLinkW* link = nullptr;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    link = g_link;
    g_link = nullptr;
  }
  if (link) link->Release();
}
