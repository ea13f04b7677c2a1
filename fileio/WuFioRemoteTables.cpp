// The plug-in interfaces across processes: rows, proxies and calls are
// generated from the interface declarations (WuFioRemoteTables.inc, written
// by WuFioRemoteGen.cmake at build time); this file gives them their shared
// pieces and registers them.
#include "fileio/WuFioRemoteTables.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "fileio/WuFileIO.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/com/remote.h"

namespace wufio_remote {

using K = platform::ComArgKind;
constexpr BYTE kNo = 0xFF;

// What a proxy's operation returns for a call's status: the status itself,
// or for an operation returning a value, that value (0 when the call
// failed).
template <typename T>
T Result(HRESULT hr) {
  if constexpr (std::is_same_v<T, HRESULT>) {
    return hr;
  } else {
    return FAILED(hr) ? T{} : static_cast<T>(hr);
  }
}

// The status word an operation's result crosses as.
template <typename T>
HRESULT Status(T value) {
  return static_cast<HRESULT>(value);
}

// QueryInterface for an interface the proxy does not answer itself: asked
// of the real object, which gives a new proxy (E_NOINTERFACE when the
// interface does not cross).
HRESULT RemoteQueryInterface(platform::ComRemoteObject* remote, REFIID iid, void** object) {
  platform::ComArg a[2];
  a[0].in = &iid;
  a[1].out = object;
  return remote->Call(0, a);
}

}  // namespace wufio_remote

#include "fileio/WuFioRemoteTables.inc"

void WuFio_RegisterRemoteTables() {
  static std::once_flag once;
  std::call_once(once, [] {
#define WU_FIO_REGISTER(I) platform::RegisterComInterfaceTable(IID_##I, &wufio_remote::kTable_##I);
    WU_FIO_REMOTE_INTERFACES(WU_FIO_REGISTER)
#undef WU_FIO_REGISTER
  });
}
