// The eight blanket classes and WuFio_WrapInBlanket. The forwarders come
// from the interface declarations (WuFioBlanketSlots.h, generated at build
// time by WuFioSlotGen.cmake); the classes below add only the operations
// that do more than forward.
#include "fileio/WuFioBlanket.h"

#include "fileio/CWuGitHolder.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuFioBlanketSlots.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/kernel/memory.h"

namespace {

// What every blanket has besides its interface; reached from an IUnknown
// pointer by a cross cast, to tell blankets from other objects.
class CWuBlanketCore {
 public:
  CWuBlanketCore(REFIID iid, IUnknown* parent, IUnknown* data);
  virtual ~CWuBlanketCore();

  // Blankets live in zero-filled global memory; NULL when none is left
  // (the new expression then makes nothing).
  static void* operator new(size_t bytes) noexcept { return GlobalAlloc(GPTR, bytes); }
  static void operator delete(void* block) { GlobalFree(block); }

  // The object a blanket was made with (the manager, or its maker).
  IUnknown* Data() const { return data_; }
  // Whether this is a stream blanket.
  virtual bool IsStream() const { return false; }

 protected:
  LONG volatile refs_ = 1;  // reference count
  IUnknown* parent_;        // the blanket this one was asked of, or NULL (referenced)
  CWuGitHolder holder_;     // the plug-in pointer's registration
  IUnknown* data_;          // the manager or the making blanket (referenced when a blanket)
  bool dataHeld_;           // whether data_ carries a reference of ours
};

// Whether `object` is one of our blankets.
CWuBlanketCore* AsBlanket(IUnknown* object) {
  return object ? dynamic_cast<CWuBlanketCore*>(object) : nullptr;
}

CWuBlanketCore::CWuBlanketCore(REFIID iid, IUnknown* parent, IUnknown* data)
    : parent_(parent), holder_(iid), data_(data), dataHeld_(AsBlanket(data) != nullptr) {
  if (parent_) parent_->AddRef();
  if (dataHeld_) data_->AddRef();
}

CWuBlanketCore::~CWuBlanketCore() {
  holder_.Revoke();
  if (dataHeld_) data_->Release();
  if (parent_) parent_->Release();
}

// QueryInterface of `object` for `iid`; E_NOINTERFACE without an object.
HRESULT AskObject(IUnknown* object, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!object) return E_NOINTERFACE;
  return object->QueryInterface(iid, out);
}

// Wraps the plug-in object a forwarded call handed out; the call's own
// success code is kept unless no blanket could be made.
HRESULT WrapResult(HRESULT hr, REFIID iid, void** out, IUnknown* parent, IUnknown* data) {
  if (FAILED(hr) || !out) return hr;
  HRESULT wrapped = WuFio_WrapInBlanket(iid, out, parent, data);
  return FAILED(wrapped) ? wrapped : hr;
}

// The blanket of interface I: reference counting, QueryInterface and the
// pointer of the calling thread.
template <class I>
class CWuBlanket : public I, public CWuBlanketCore {
 public:
  CWuBlanket(REFIID iid, IUnknown* parent, IUnknown* data)
      : CWuBlanketCore(iid, parent, data), iid_(iid) {}

  // Registers the plug-in pointer; false when the table refused it.
  bool Register(I* object) {
    holder_.Register(object);
    return holder_.Cookie() != 0;
  }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, iid_)) {
      AddRef();
      *out = static_cast<I*>(this);
      return S_OK;
    }
    I* target = Target();
    if (!target) return CO_E_NOTINITIALIZED;
    HRESULT hr = target->QueryInterface(iid, out);
    IUnknown* self = static_cast<I*>(this);
    return WrapResult(hr, iid, out, self, self);
  }
  ULONG AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

 protected:
  // The plug-in pointer of the calling thread (no reference), or NULL.
  I* Target() { return static_cast<I*>(holder_.GetForThread()); }
  // This blanket as the interface.
  IUnknown* Self() { return static_cast<I*>(this); }

 private:
  IID iid_;  // the wrapped interface
};

// One forwarder per operation after IUnknown's: the calling thread's
// plug-in pointer gets the same call; without a pointer nothing is called.
#define WU_FIO_FORWARD(slot, R, Name, Params, Args)                 \
  R Name Params override {                                          \
    auto* target = this->Target();                                  \
    if (!target) return CO_E_NOTINITIALIZED;                        \
    return target->Name Args;                                       \
  }

#define WU_FIO_FORWARDERS(I)                                                         \
  class I##Forwarders : public CWuBlanket<I> {                                       \
   public:                                                                           \
    I##Forwarders(IUnknown* parent, IUnknown* data)                                  \
        : CWuBlanket<I>(IID_##I, parent, data) {}                                    \
    WU_FIO_SLOTS_##I(WU_FIO_FORWARD)                                                 \
  };

WU_FIO_FORWARDERS(IWuReadFileClass)
WU_FIO_FORWARDERS(IWuRenderFileClass)
WU_FIO_FORWARDERS(IWuReadFile)
WU_FIO_FORWARDERS(IWuRenderFile)
WU_FIO_FORWARDERS(IWuReadStream)
WU_FIO_FORWARDERS(IWuReadAudioStream)
WU_FIO_FORWARDERS(IWuReadVideoStream)
WU_FIO_FORWARDERS(IWuReadMeta)

// The operation counts, IUnknown's included, the interfaces are known by.
static_assert(WU_FIO_SLOT_COUNT_IWuReadFileClass == 19);
static_assert(WU_FIO_SLOT_COUNT_IWuRenderFileClass == 27);
static_assert(WU_FIO_SLOT_COUNT_IWuReadFile == 24);
static_assert(WU_FIO_SLOT_COUNT_IWuRenderFile == 18);
static_assert(WU_FIO_SLOT_COUNT_IWuReadStream == 11);
static_assert(WU_FIO_SLOT_COUNT_IWuReadAudioStream == 19);
static_assert(WU_FIO_SLOT_COUNT_IWuReadVideoStream == 23);
static_assert(WU_FIO_SLOT_COUNT_IWuReadMeta == 8);

// Class blankets keep the caller's key themselves (3, 4), take no
// initialisation (5), and answer the manager they were made with (6).
// `Base` is the forwarders of the class interface.
template <class Base>
class CWuClassBlanket : public Base {
 public:
  using Base::Base;
  HRESULT SetIndex(LONG key) override {
    key_ = key;
    return S_OK;
  }
  HRESULT GetKey(LONG* key) override {
    if (!key) return E_POINTER;
    *key = key_;
    return S_OK;
  }
  HRESULT Initialize(IWuFileIOManager*) override { return S_OK; }
  HRESULT GetManager(IWuFileIOManager** manager) override {
    return AskObject(this->Data(), IID_IWuFileIOManager, reinterpret_cast<void**>(manager));
  }

 private:
  LONG key_ = 0;  // the caller value of SetIndex and GetKey
};

class CWuReadFileClassBlanket final : public CWuClassBlanket<IWuReadFileClassForwarders> {
 public:
  using CWuClassBlanket::CWuClassBlanket;
  HRESULT GetRendererClass(IWuRenderFileClass** out) override {
    HRESULT hr = IWuReadFileClassForwarders::GetRendererClass(out);
    return WrapResult(hr, IID_IWuRenderFileClass, reinterpret_cast<void**>(out), nullptr, Data());
  }
  HRESULT Open(IWuReadFile** out, HANDLE file, DWORD processId, LPCWSTR path,
               LONG shareFlag) override {
    HRESULT hr = IWuReadFileClassForwarders::Open(out, file, processId, path, shareFlag);
    return WrapResult(hr, IID_IWuReadFile, reinterpret_cast<void**>(out), nullptr, Self());
  }
};

class CWuRenderFileClassBlanket final : public CWuClassBlanket<IWuRenderFileClassForwarders> {
 public:
  using CWuClassBlanket::CWuClassBlanket;
  HRESULT GetReaderClass(IWuReadFileClass** out) override {
    HRESULT hr = IWuRenderFileClassForwarders::GetReaderClass(out);
    return WrapResult(hr, IID_IWuReadFileClass, reinterpret_cast<void**>(out), nullptr, Data());
  }
  HRESULT CreateRenderFile(IWuRenderFile** out, LPCWSTR path, const tagWUTEMPLATExV2* record,
                           HANDLE file, DWORD flags) override {
    HRESULT hr = IWuRenderFileClassForwarders::CreateRenderFile(out, path, record, file, flags);
    return WrapResult(hr, IID_IWuRenderFile, reinterpret_cast<void**>(out), nullptr, Self());
  }
};

class CWuReadFileBlanket final : public IWuReadFileForwarders {
 public:
  using IWuReadFileForwarders::IWuReadFileForwarders;
  HRESULT GetClass(IWuReadFileClass** out) override {
    return AskObject(Data(), IID_IWuReadFileClass, reinterpret_cast<void**>(out));
  }
  HRESULT Clone(IWuReadFile** out) override {
    HRESULT hr = IWuReadFileForwarders::Clone(out);
    return WrapResult(hr, IID_IWuReadFile, reinterpret_cast<void**>(out), nullptr, Data());
  }
  HRESULT OpenStream(IWuReadStream** out, LONG stream, DWORD type, DWORD flags,
                     void* reserved) override {
    HRESULT hr = IWuReadFileForwarders::OpenStream(out, stream, type, flags, reserved);
    return WrapResult(hr, IID_IWuReadStream, reinterpret_cast<void**>(out), nullptr, Self());
  }
  HRESULT GetMetaReader(IWuReadMeta** out) override {
    HRESULT hr = IWuReadFileForwarders::GetMetaReader(out);
    return WrapResult(hr, IID_IWuReadMeta, reinterpret_cast<void**>(out), nullptr, nullptr);
  }
};

class CWuRenderFileBlanket final : public IWuRenderFileForwarders {
 public:
  using IWuRenderFileForwarders::IWuRenderFileForwarders;
  HRESULT GetClass(IWuRenderFileClass** out) override {
    return AskObject(Data(), IID_IWuRenderFileClass, reinterpret_cast<void**>(out));
  }
};

// Stream blankets answer their file (4) and its class (3) from the
// blankets that made them: the file blanket that opened the stream, also
// for an audio or video stream asked of that stream.
template <class Base>
class CWuStreamBlanket : public Base {
 public:
  using Base::Base;
  bool IsStream() const override { return true; }
  HRESULT GetClass(IWuReadFileClass** out) override {
    CWuBlanketCore* file = AsBlanket(File());
    return AskObject(file ? file->Data() : nullptr, IID_IWuReadFileClass,
                     reinterpret_cast<void**>(out));
  }
  HRESULT GetFile(IWuReadFile** out) override {
    return AskObject(File(), IID_IWuReadFile, reinterpret_cast<void**>(out));
  }

 private:
  // The first object up the chain of makers that is not a stream blanket.
  IUnknown* File() {
    IUnknown* object = this->Data();
    for (CWuBlanketCore* b = AsBlanket(object); b && b->IsStream(); b = AsBlanket(object)) {
      object = b->Data();
    }
    return object;
  }
};

class CWuReadStreamBlanket final : public CWuStreamBlanket<IWuReadStreamForwarders> {
 public:
  using CWuStreamBlanket::CWuStreamBlanket;
};

// Audio and video streams made from another blanket send IUnknown and
// IWuReadStream requests to it, so the object keeps one identity.
template <class Base>
class CWuTypedStreamBlanket : public CWuStreamBlanket<Base> {
 public:
  using CWuStreamBlanket<Base>::CWuStreamBlanket;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (this->parent_ && out &&
        (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadStream))) {
      *out = nullptr;
      return this->parent_->QueryInterface(iid, out);
    }
    return Base::QueryInterface(iid, out);
  }
};

class CWuReadAudioStreamBlanket final : public CWuTypedStreamBlanket<IWuReadAudioStreamForwarders> {
 public:
  using CWuTypedStreamBlanket::CWuTypedStreamBlanket;
};

class CWuReadVideoStreamBlanket final : public CWuTypedStreamBlanket<IWuReadVideoStreamForwarders> {
 public:
  using CWuTypedStreamBlanket::CWuTypedStreamBlanket;
};

class CWuReadMetaBlanket final : public IWuReadMetaForwarders {
 public:
  // The metadata reader keeps no data object.
  CWuReadMetaBlanket(IUnknown* parent, IUnknown*) : IWuReadMetaForwarders(parent, nullptr) {}
};

// Makes blanket B around the interface I at *object.
template <class B, class I>
HRESULT Wrap(void** object, IUnknown* parent, IUnknown* data) {
  I* raw = static_cast<I*>(*object);
  B* blanket = new B(parent, data);
  // A blanket the table refused could reach nothing: it is not handed out.
  if (blanket && !blanket->Register(raw)) {
    blanket->Release();
    blanket = nullptr;
  }
  *object = blanket ? static_cast<I*>(blanket) : nullptr;
  raw->Release();  // the table keeps its own reference
  return blanket ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT WuFio_WrapInBlanket(REFIID iid, void** object, IUnknown* parent, IUnknown* data) {
  if (!object) return E_POINTER;
  if (!*object) return E_OUTOFMEMORY;
  if (IsEqualGUID(iid, IID_IWuReadFileClass))
    return Wrap<CWuReadFileClassBlanket, IWuReadFileClass>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuRenderFileClass))
    return Wrap<CWuRenderFileClassBlanket, IWuRenderFileClass>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuReadFile))
    return Wrap<CWuReadFileBlanket, IWuReadFile>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuRenderFile))
    return Wrap<CWuRenderFileBlanket, IWuRenderFile>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuReadStream))
    return Wrap<CWuReadStreamBlanket, IWuReadStream>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuReadAudioStream))
    return Wrap<CWuReadAudioStreamBlanket, IWuReadAudioStream>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuReadVideoStream))
    return Wrap<CWuReadVideoStreamBlanket, IWuReadVideoStream>(object, parent, data);
  if (IsEqualGUID(iid, IID_IWuReadMeta))
    return Wrap<CWuReadMetaBlanket, IWuReadMeta>(object, parent, data);
  return S_OK;
}
