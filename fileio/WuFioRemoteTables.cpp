// The plug-in interfaces across processes: rows, proxies and calls are
// generated from the interface declarations (WuFioRemoteTables.inc, written
// by WuFioRemoteGen.cmake at build time); this file gives them their shared
// pieces (the frame size of sample reads among them) and registers them.
#include "fileio/WuFioRemoteTables.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "audio/SampleTypeTable.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuFioSurrogate.h"
#include "fileio/WuFioTemplateLayout.h"
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


// ---- The surrogate's template editor ----------------------------------------------------------
// Operation 9 of IWuFileIOSurrogate crosses as: the owner window (null),
// the renderer class as its class id, the page word, the 28 bytes of
// settings, the flags in and out, the templates stream as its bytes (with
// their count and whether there was a stream), the template in and the
// template out. Both template records must pass the layout check on the
// side that receives them (else WUTE_E_BAD_TEMPLATE).

constexpr DWORD kSettingsBytes = 28;                 // the editor's settings record
constexpr ULONGLONG kMaxStreamBytes = WUTPL_MAX_BYTES;  // templates stream bytes sent at most
constexpr HRESULT kBadTemplate = static_cast<HRESULT>(0x8004E00Bu);  // a record failing its check

inline const platform::ComOperationRow kRow_IWuFileIOSurrogate_EditTemplate = {
    10,
    {{K::kWindow, kNo, kNo, 0, nullptr},
     {K::kInRecord, kNo, kNo, 16, nullptr},
     {K::kValue, kNo, kNo, 0, nullptr},
     {K::kInRecord, kNo, kNo, kSettingsBytes, nullptr},
     {K::kInOutValue, kNo, kNo, 4, nullptr},
     {K::kInBuffer, 6, kNo, 1, nullptr},
     {K::kValue, kNo, kNo, 0, nullptr},
     {K::kValue, kNo, kNo, 0, nullptr},
     {K::kInSized, kNo, kNo, WUTEMPLATE_MIN_SIZE, nullptr},
     {K::kOutAlloc, kNo, kNo, WUTEMPLATE_MIN_SIZE, nullptr}}};

// The rest of `stream` from its position, at most kMaxStreamBytes. A short
// read ends it; so does a failing read after the first (some streams fail
// a read at their end), while a first read that fails is the stream's error.
HRESULT ReadRest(IStream* stream, std::vector<BYTE>* bytes) {
  BYTE chunk[65536];
  for (bool first = true;; first = false) {
    ULONG got = 0;
    HRESULT hr = stream->Read(chunk, sizeof(chunk), &got);
    if (FAILED(hr)) return first ? hr : S_OK;
    if (got > sizeof(chunk)) return E_UNEXPECTED;
    if (bytes->size() + got > kMaxStreamBytes) return E_INVALIDARG;
    try {
      bytes->insert(bytes->end(), chunk, chunk + got);
    } catch (...) {
      return E_OUTOFMEMORY;
    }
    if (got < sizeof(chunk)) return S_OK;
  }
}

HRESULT ProxyCall_IWuFileIOSurrogate_EditTemplate(platform::ComRemoteObject* remote, HWND owner,
                                                  IWuRenderFileClass* cls, LONG pageWord,
                                                  const void* settings, DWORD* flags,
                                                  IStream* templates, tagWUTEMPLATExV2* in,
                                                  tagWUTEMPLATExV2** out) {
  (void)owner;  // no window of this process can own a dialog there
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!flags) return E_POINTER;
  GUID id = {};
  if (cls) {
    HRESULT hr = cls->GetClassId(&id);
    if (FAILED(hr)) return hr;
  }
  // An empty record is no template, as in process.
  if (in && in->totalSize == 0) in = nullptr;
  if (in && !WuTpl_LayoutOk(in)) return kBadTemplate;
  BYTE noSettings[kSettingsBytes] = {};
  std::vector<BYTE> bytes;
  if (templates) {
    HRESULT hr = ReadRest(templates, &bytes);
    if (FAILED(hr)) return hr;
  }
  platform::ComArg a[10];
  a[1].in = &id;
  a[2].value = static_cast<ULONGLONG>(static_cast<DWORD>(pageWord));
  a[3].in = settings ? settings : noSettings;
  a[4].out = flags;
  a[5].in = bytes.empty() ? nullptr : bytes.data();
  a[6].value = bytes.size();
  a[7].value = templates ? 1 : 0;
  a[8].in = in;
  a[9].out = out;
  HRESULT hr = remote->Call(9, a);  // the operation's slot
  if (*out && !WuTpl_LayoutOk(*out)) {
    free(*out);
    *out = nullptr;
    return kBadTemplate;
  }
  return hr;
}

HRESULT ServeCall_IWuFileIOSurrogate_EditTemplate(IWuFileIOSurrogate* object, platform::ComArg* a) {
  auto* in = static_cast<tagWUTEMPLATExV2*>(const_cast<void*>(a[8].in));
  auto** out = static_cast<tagWUTEMPLATExV2**>(a[9].out);
  if (in && in->totalSize == 0) in = nullptr;
  if (in && !WuTpl_LayoutOk(in)) return kBadTemplate;
  IWuRenderFileClass* cls = nullptr;
  HRESULT hr = WuFio_SurrogateClassById(object, *static_cast<const GUID*>(a[1].in), &cls);
  if (FAILED(hr) && hr != E_NOINTERFACE) return hr;
  // The templates in a memory stream of this process, at its start.
  IStream* stream = nullptr;
  if (a[7].value) {
    hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    if (SUCCEEDED(hr) && a[6].value)
      hr = stream->Write(a[5].in, static_cast<ULONG>(a[6].value), &written);
    LARGE_INTEGER start = {};
    if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (FAILED(hr)) {
      if (stream) stream->Release();
      if (cls) cls->Release();
      return hr;
    }
  }
  hr = object->EditTemplate(nullptr, cls, static_cast<LONG>(a[2].value), a[3].in,
                            static_cast<DWORD*>(a[4].out), stream, in, out);
  if (stream) stream->Release();
  if (cls) cls->Release();
  return hr;
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
