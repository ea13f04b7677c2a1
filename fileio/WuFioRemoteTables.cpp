// The plug-in interfaces across processes: rows, proxies and calls are
// generated from the interface declarations (WuFioRemoteTables.inc, written
// by WuFioRemoteGen.cmake at build time); this file gives them their shared
// pieces (the frame size of sample reads among them) and registers them.
#include "fileio/WuFioRemoteTables.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>

#include "audio/SampleTypeTable.h"
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

// ---- Samples in whole frames ----------------------------------------------------------------

// Channels a stream may have (a format record states them in a WORD).
constexpr LONG kMaxChannels = 0xFFFF;

// Bytes of one frame of plain sample type `type` over `channels` channels;
// 0 for any other type or count.
DWORD SampleFrameBytes(DWORD type, LONG channels) {
  UINT bytes = wuaudio::BytesOf(static_cast<WUSAMPLETYPE>(type));
  if (!bytes || channels <= 0 || channels > kMaxChannels) return 0;
  return bytes * static_cast<DWORD>(channels);
}

// The frame size of an audio stream's ReadSamples: on the serving side,
// asked of the real stream as it is now.
HRESULT ServedFrameBytes_IWuReadAudioStream(IUnknown* object, DWORD, DWORD* bytes) {
  auto* stream = static_cast<IWuReadAudioStream*>(object);
  DWORD type = 0;
  LONG channels = 0;
  HRESULT hr = stream->GetSampleType(&type);
  if (SUCCEEDED(hr)) hr = stream->GetChannelCount(&channels);
  if (FAILED(hr)) return hr;
  *bytes = SampleFrameBytes(type, channels);
  return *bytes ? S_OK : E_UNEXPECTED;
}

// On the proxy side: asked across once and kept in *known until the
// sample type is set through the proxy (which clears it).
HRESULT ProxyFrameBytes_IWuReadAudioStream(IWuReadAudioStream* proxy, std::atomic<DWORD>* known,
                                           DWORD* bytes) {
  *bytes = known->load();
  if (*bytes) return S_OK;
  DWORD type = 0;
  LONG channels = 0;
  HRESULT hr = proxy->GetSampleType(&type);
  if (SUCCEEDED(hr)) hr = proxy->GetChannelCount(&channels);
  if (FAILED(hr)) return hr;
  *bytes = SampleFrameBytes(type, channels);
  if (!*bytes) return E_UNEXPECTED;
  known->store(*bytes);
  return S_OK;
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
