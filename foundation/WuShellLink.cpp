// The shared shell-link object. Created on the first successful request and
// kept for the process; the kernel's process-exit step releases it
// (WuShellLinkCache.cpp).
#include "foundation/WuShellLink.h"

#include "foundation/WuShellLinkInternal.h"

HRESULT WuGetShellLink(IShellLinkW** link) {
  if (!link) return E_INVALIDARG;
  std::lock_guard<std::mutex> hold(WuShellLink_CacheLock());
  IShellLinkW*& cached = WuShellLink_Cached();
  if (!cached) {
    void* made = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  &made);
    if (FAILED(hr)) {
      *link = nullptr;
      return hr;
    }
    cached = static_cast<IShellLinkW*>(made);
  }
  cached->AddRef();
  *link = cached;
  return S_OK;
}
