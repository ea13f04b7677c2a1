// Fake plug-in objects served by a child process to the tests of the
// plug-in interfaces across processes: a reader class whose Open pulls the
// caller's file handle, its file and audio stream, and a renderer class
// with templates, settings and a template check. Operations the tests do
// not use answer E_NOTIMPL.
#pragma once

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "audio/WuSampleType.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuFioBlanketSlots.h"
#include "fileio/WuFioExports.h"
#include "platform/com/classfactory.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/threads.h"

namespace wu_remote_test {

inline constexpr CLSID CLSID_RemoteFakeReader = {0x7E57C0E1, 0x1234, 0x5678,
                                                 {1, 2, 3, 4, 5, 6, 7, 11}};
inline constexpr CLSID CLSID_RemoteFakeRenderer = {0x7E57C0E2, 0x1234, 0x5678,
                                                   {1, 2, 3, 4, 5, 6, 7, 12}};
inline constexpr CLSID CLSID_RemoteFakeSurrogate = {0x7E57C0E3, 0x1234, 0x5678,
                                                    {1, 2, 3, 4, 5, 6, 7, 13}};
inline constexpr GUID kFakeReaderId = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};

#define WU_REMOTE_STUB(slot, R, Name, Params, Args) \
  R Name Params override { return static_cast<R>(E_NOTIMPL); }

// IUnknown over interface I (and `Extra`, answered by `extra`), then every
// operation answering E_NOTIMPL; the fakes override what they serve.
#define WU_REMOTE_FAKE_BASE(I)                                                  \
  class Stub##I : public I {                                                    \
   public:                                                                      \
    virtual ~Stub##I() = default;                                               \
    HRESULT QueryInterface(REFIID iid, void** out) override {                   \
      *out = nullptr;                                                           \
      if (iid == IID_IUnknown || iid == IID_##I || Also(iid)) {                 \
        AddRef();                                                               \
        *out = static_cast<I*>(this);                                           \
        return S_OK;                                                            \
      }                                                                         \
      return Other(iid, out);                                                   \
    }                                                                           \
    ULONG AddRef() override { return ++refs_; }                                 \
    ULONG Release() override {                                                  \
      ULONG left = --refs_;                                                     \
      if (!left) delete this;                                                   \
      return left;                                                              \
    }                                                                           \
    virtual bool Also(REFIID) { return false; }                                 \
    virtual HRESULT Other(REFIID, void**) { return E_NOINTERFACE; }             \
    WU_FIO_SLOTS_##I(WU_REMOTE_STUB)                                            \
                                                                                \
   private:                                                                     \
    std::atomic<ULONG> refs_{1};                                                \
  };

WU_REMOTE_FAKE_BASE(IWuReadFileClass)
WU_REMOTE_FAKE_BASE(IWuRenderFileClass)
WU_REMOTE_FAKE_BASE(IWuReadFile)
WU_REMOTE_FAKE_BASE(IWuReadAudioStream)

// An audio stream of the bytes 0, 1, 2... (Read), and of samples whose
// bytes follow from the frame number and the sample type (ReadSamples); a
// lying one says it gave a frame more than asked.
class FakeAudio final : public StubIWuReadAudioStream {
 public:
  FakeAudio(DWORD type = WUSAMPLE_PCM16, LONG channels = 2, bool lies = false)
      : type_(type), channels_(channels), lies_(lies) {}
  bool Also(REFIID iid) override { return iid == IID_IWuReadStream; }
  HRESULT ReadSamples(void* buffer, LONGLONG first, LONG frames, LONG* got) override {
    const LONGLONG frame = WuAudio_BytesFromSampleType(static_cast<WUSAMPLETYPE>(type_.load())) *
                           channels_;
    for (LONGLONG i = 0; i < frames * frame; ++i)
      static_cast<BYTE*>(buffer)[i] = static_cast<BYTE>((first * frame + i) * 7 + type_);
    *got = lies_ ? frames + 1 : frames;
    return S_OK;
  }
  HRESULT GetSampleType(DWORD* type) override {
    *type = type_;
    return S_OK;
  }
  HRESULT SetSampleType(DWORD type) override {
    if (!WuAudio_BytesFromSampleType(static_cast<WUSAMPLETYPE>(type))) return E_INVALIDARG;
    type_ = type;
    return S_OK;
  }
  HRESULT GetChannelCount(LONG* channels) override {
    *channels = channels_;
    return S_OK;
  }
  HRESULT Read(void* buffer, DWORD bytes, DWORD* read) override {
    for (DWORD i = 0; i < bytes; ++i) static_cast<BYTE*>(buffer)[i] = static_cast<BYTE>(i);
    *read = bytes / 2;  // gives half of what was asked
    return S_OK;
  }
  HRESULT GetStreamType(DWORD* type) override {
    *type = WUFILESTREAMTYPE_AUDIO;
    return S_OK;
  }

 private:
  std::atomic<DWORD> type_;
  const LONG channels_;
  const bool lies_;
};

// The streams of FakeFile::OpenStream, by number.
inline FakeAudio* NewFakeAudio(LONG stream) {
  switch (stream) {
    case 1:
      return new FakeAudio(WUSAMPLE_FLOAT32, 1);
    case 2:
      return new FakeAudio(WUSAMPLE_PCM16, 2, true);
    default:
      return new FakeAudio();
  }
}

// A file holding the first bytes of the handle it was opened with.
class FakeFile final : public StubIWuReadFile {
 public:
  explicit FakeFile(std::string head) : head_(std::move(head)) {}
  HRESULT GetFileText(LPWSTR buffer, LONG size, LONG kind) override {
    const char16_t* text = kind == 1 ? u"fake type" : u"";
    LONG n = 0;
    for (; text[n] && n + 1 < size; ++n) buffer[n] = text[n];
    buffer[n] = 0;
    return kind == 1 ? S_OK : S_FALSE;
  }
  HRESULT GetFileName(LPWSTR buffer) override {
    for (size_t i = 0; i < head_.size(); ++i) buffer[i] = static_cast<WCHAR>(head_[i]);
    buffer[head_.size()] = 0;
    return S_OK;
  }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format, LONG stream, LONG version) override {
    if (format->size < WUFILESTREAMFORMATINFO_SIZE) return E_INVALIDARG;
    format->streamType = WUFILESTREAMTYPE_AUDIO;
    format->length = 1000 + stream;
    return S_OK;
  }
  HRESULT OpenStream(IWuReadStream** out, LONG stream, DWORD type, DWORD flags,
                     void* reserved) override {
    if (reserved) return E_INVALIDARG;
    *out = NewFakeAudio(stream);  // 0: 16-bit stereo, 1: float mono, 2: lying
    return S_OK;
  }
  HRESULT Close() override {
    ++closes;
    return S_OK;
  }
  std::atomic<int> closes{0};

 private:
  std::string head_;
};

class FakeReader final : public StubIWuReadFileClass {
 public:
  HRESULT SetIndex(LONG key) override {
    key_ = key;
    return S_OK;
  }
  HRESULT GetKey(LONG* key) override {
    *key += key_;  // the caller's preset counts
    return S_OK;
  }
  HRESULT GetClassId(GUID* id) override {
    *id = kFakeReaderId;
    return S_OK;
  }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    for (LONG i = 0; i < count; ++i) {
      WCHAR text[] = u"s0";
      text[1] = static_cast<WCHAR>(u'0' + ids[i] % 10);
      out[i] = SysAllocString(text);
    }
    return S_OK;
  }
  HRESULT CheckPath(LPCWSTR path) override {
    size_t n = 0;
    while (path[n]) ++n;
    return n > 4 && path[n - 4] == u'.' && path[n - 3] == u'w' ? S_OK : S_FALSE;
  }
  // Pulls the caller's handle as a surrogate's plug-in does, and reads it.
  HRESULT Open(IWuReadFile** out, HANDLE file, DWORD processId, LPCWSTR path,
               LONG shareFlag) override {
    HANDLE copy = nullptr;
    HRESULT hr = DuplicateHandleFromProcessId(
        static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(file)), processId, &copy);
    if (FAILED(hr)) return hr;
    char head[8] = {};
    DWORD got = 0;
    SetFilePointer(copy, 0, nullptr, FILE_BEGIN);
    ReadFile(copy, head, sizeof head, &got, nullptr);
    CloseHandle(copy);
    *out = new FakeFile(std::string(head, got));
    return S_OK;
  }
  HRESULT GetState(HRESULT* status, BSTR* text) override {
    *status = S_FALSE;
    if (text) *text = SysAllocString(u"ready");
    return S_OK;
  }

 private:
  LONG key_ = 0;
};

// The renderer's template check, reached through QueryInterface.
class FakeValidate final : public IWuFioTemplateValidate {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IWuFioTemplateValidate) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IWuFioTemplateValidate*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  BOOL AppliesTo(WUFIO_TEMPLATEVALIDATE kind) override {
    return kind == WUFIO_TEMPLATEVALIDATE_RENDER;
  }
  HRESULT Validate(HWND parent, const tagWUTEMPLATExV2* record, WUFIO_TEMPLATEVALIDATE kind,
                   int valueA, int valueB, int* out1, int* out2) override {
    *out1 += valueA;  // the caller's presets count
    *out2 = parent ? -1 : valueB;
    return record && record->id == 5 ? S_OK : S_FALSE;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// A new template of `total` bytes with preset number `id`.
inline tagWUTEMPLATExV2* NewTemplate(DWORD total, LONG id) {
  auto* t = static_cast<tagWUTEMPLATExV2*>(std::calloc(1, total));
  t->totalSize = total;
  t->version = WUTEMPLATE_VERSION_V2;
  t->id = id;
  return t;
}

class FakeRenderer final : public StubIWuRenderFileClass {
 public:
  HRESULT Other(REFIID iid, void** out) override {
    if (iid != IID_IWuFioTemplateValidate) return E_NOINTERFACE;
    *out = static_cast<IWuFioTemplateValidate*>(new FakeValidate());
    return S_OK;
  }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2* record) override {
    return record->totalSize == 600 && record->id == 9 ? S_OK : S_FALSE;
  }
  HRESULT GetPreset(tagWUTEMPLATExV2** out, LONG index) override {
    *out = index == 0 ? NewTemplate(560, 70) : nullptr;
    return index == 0 ? S_OK : E_INVALIDARG;
  }
  // Replaces a record with id 1, changes others in place.
  HRESULT TemplateOperation(tagWUTEMPLATExV2** record, const tagWUTEMPLATExV2* other,
                            const tagWUTEMPLATExV2* firstPrivate, LONG mode) override {
    if ((*record)->id == 1) {
      std::free(*record);
      *record = NewTemplate(580, other ? other->id : -1);
    } else {
      (*record)->id += mode;
    }
    return S_OK;
  }
  HRESULT GetSettings(void* buffer, DWORD bytes, DWORD* got) override {
    DWORD n = bytes < settings_size_ ? bytes : settings_size_;
    std::memcpy(buffer, settings_, n);
    *got = settings_size_;  // may say more than the buffer holds
    return S_OK;
  }
  HRESULT SetSettings(const void* data, DWORD bytes) override {
    if (bytes > sizeof settings_) return E_INVALIDARG;
    std::memcpy(settings_, data, bytes);
    settings_size_ = bytes;
    return S_OK;
  }
  HRESULT PreparePages(HWND owner) override { return owner ? E_UNEXPECTED : S_OK; }

 private:
  BYTE settings_[64] = {};
  DWORD settings_size_ = 0;
};

// A surrogate whose template editor (operation 9) reports what reached it,
// chosen by the page word: 0 a template record (540 bytes, valid) whose
// word 8 is the size of the template in (0 none), word 12 the bytes the
// templates stream held (0xFFFFFFFF without a stream), word 16 the first
// settings word and word 20 1 when owner and class came as null; the flags
// get 0x10. 1 a record whose text length overruns it; 2 E_ABORT.
class FakeSurrogate final : public IWuFileIOSurrogate {
 public:
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IWuFileIOSurrogate) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IWuFileIOSurrogate*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  HRESULT GetProcessId(DWORD*) override { return E_NOTIMPL; }
  HRESULT CreatePluginClass(LPCWSTR, REFCLSID, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT CloseCopiedHandle(ULONGLONG) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOMgrForApp**) override { return E_NOTIMPL; }
  HRESULT Ping() override { return E_NOTIMPL; }
  HRESULT Quit() override { return E_NOTIMPL; }
  HRESULT EditTemplate(HWND owner, IWuRenderFileClass* cls, LONG pageWord, const void* settings,
                       DWORD* flags, IStream* templates, tagWUTEMPLATExV2* in,
                       tagWUTEMPLATExV2** out) override {
    if (pageWord == 2) return E_ABORT;
    auto* made = static_cast<BYTE*>(std::calloc(1, WUTEMPLATE_MIN_SIZE));
    if (!made) return E_OUTOFMEMORY;
    const DWORD size = WUTEMPLATE_MIN_SIZE;
    std::memcpy(made, &size, 4);
    const DWORD texts = pageWord == 1 ? 100 : 2;  // the two terminators, or far past the end
    std::memcpy(made + 528, &texts, 4);
    DWORD word = in ? in->totalSize : 0;
    std::memcpy(made + 8, &word, 4);
    word = 0xFFFFFFFF;
    if (templates) {
      BYTE chunk[256];
      ULONG got = 0;
      word = 0;
      while (templates->Read(chunk, sizeof chunk, &got) == S_OK && got) word += got;
    }
    std::memcpy(made + 12, &word, 4);
    std::memcpy(made + 16, settings, 4);
    word = !owner && !cls ? 1 : 0;
    std::memcpy(made + 20, &word, 4);
    *flags |= 0x10;
    *out = reinterpret_cast<tagWUTEMPLATExV2*>(made);
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

// Makes the fake of `Made` for interface requests.
template <typename Made>
class Factory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (!left) delete this;
    return left;
  }
  HRESULT CreateInstance(IUnknown*, REFIID iid, void** object) override {
    auto* made = new Made();
    HRESULT hr = made->QueryInterface(iid, object);
    made->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace wu_remote_test
