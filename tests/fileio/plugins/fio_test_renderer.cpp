// fio_test_renderer: a renderer class with presets, texts and switchable
// template conversions (see FioTestRenderer.h). Records come from the
// runtime heap the host shares, as the template functions expect.
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestRenderer.h"

namespace {

using namespace fio_test;

void CountSlot(int slot) {
  std::string name = std::string(WU_FIO_TEST_PLUGIN_NAME) + "/" + std::to_string(slot);
  WuFioTestReport(name.c_str(), kWuFioTestCalls, 1);
}

size_t Units(const char16_t* s) {
  size_t n = 0;
  while (s && s[n]) ++n;
  return n;
}

// A zero-filled record with the texts and private size set.
tagWUTEMPLATExV2* NewRecord(const char16_t* name, const char16_t* notes, LONG privateSize) {
  size_t nameUnits = Units(name), notesUnits = Units(notes);
  DWORD textLength = static_cast<DWORD>(nameUnits + notesUnits + 2);
  DWORD padded = (static_cast<DWORD>(privateSize) + 3u) & ~3u;
  DWORD total = WUTEMPLATE_FIXED_SIZE + padded + 2 * textLength;
  auto* r = static_cast<tagWUTEMPLATExV2*>(std::calloc(1, total));
  if (!r) return nullptr;
  r->totalSize = total;
  r->textLength = textLength;
  r->privateSize = privateSize;
  WCHAR* text = r->Text();
  std::memcpy(text, name, 2 * nameUnits);
  std::memcpy(text + nameUnits + 1, notes, 2 * notesUnits);
  return r;
}

tagWUTEMPLATExV2* CopyRecord(const tagWUTEMPLATExV2* r) {
  auto* copy = static_cast<tagWUTEMPLATExV2*>(std::malloc(r->totalSize));
  if (copy) std::memcpy(copy, r, r->totalSize);
  return copy;
}

tagWUTEMPLATExV2* MakePreset(int index) {
  tagWUTEMPLATExV2* r =
      NewRecord(kRendererPresetNames[index], kRendererPresetNotes[index], kRendererPrivateSize);
  if (!r) return nullptr;
  r->version = WUTEMPLATE_VERSION_V2;
  r->id = index;
  r->classId = kRendererClassId;
  r->guid = RendererPresetGuid(index);
  if (index != 2) {  // audio: 48 kHz stereo 16-bit
    r->audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
    r->audio.streamCount = 1;
    const DWORD cbStruct = 32, rate = 48000, avg = 192000;
    const WORD channels = 2, align = 4;
    std::memcpy(r->audio.format + 0, &cbStruct, 4);
    std::memcpy(r->audio.format + 8, &rate, 4);
    std::memcpy(r->audio.format + 12, &channels, 2);
    std::memcpy(r->audio.format + 14, &align, 2);
    std::memcpy(r->audio.format + 28, &avg, 4);
  }
  if (index != 1) {  // video: 640x480 32-bit at 30 frames per second
    r->video.blockSize = WUTEMPLATE_BLOCK_SIZE;
    r->video.streamCount = 1;
    r->video.source.biSize = 40;
    r->video.source.biWidth = 640;
    r->video.source.biHeight = 480;
    r->video.source.biPlanes = 1;
    r->video.source.biBitCount = 32;
    const double rate = 30.0;
    std::memcpy(r->video.settings + 16, &rate, 8);
    const LONGLONG bytes = 1000000;
    std::memcpy(r->video.bytesPerSecond, &bytes, 8);
  }
  const BYTE priv[kRendererPrivateSize] = {'T', 'R', 'N', 'D', static_cast<BYTE>(index), 0xAA};
  std::memcpy(r->PrivateData(), priv, sizeof(priv));
  return r;
}

// The post-save step, answering as the renderer's switch said when asked.
class PostSave final : public WuFioTestObject<IWuRenderPostSave> {
 public:
  explicit PostSave(LONGLONG mode)
      : WuFioTestObject<IWuRenderPostSave>(IID_IWuRenderPostSave), mode_(mode) {}
  HRESULT PostSaveDialog(HWND, LPWSTR path, DWORD size, const tagWUTEMPLATExV2* record,
                         tagWUTEMPLATExV2** out) override {
    CountSlot(103);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (mode_ == 2) return E_ABORT;
    if (mode_ == 1) {
      *out = const_cast<tagWUTEMPLATExV2*>(record);
    } else {
      const tagWUTEMPLATExV2* from = record;
      tagWUTEMPLATExV2* preset = from ? nullptr : MakePreset(0);
      if (!from) from = preset;
      if (!from) return E_OUTOFMEMORY;
      *out = NewRecord(kRendererPostSaveName, u"", from->privateSize);
      if (*out) {
        const DWORD keep = (*out)->totalSize, textLength = (*out)->textLength;
        std::memcpy(*out, from, WUTEMPLATE_FIXED_SIZE);  // settings; texts stay
        (*out)->totalSize = keep;
        (*out)->textLength = textLength;
        std::memcpy((*out)->PrivateData(), from->PrivateData(),
                    static_cast<size_t>(from->privateSize));
      }
      std::free(preset);
      if (!*out) return E_OUTOFMEMORY;
    }
    if (path && size > 0) {
      size_t n = 0;
      for (; kRendererPostSavePath[n] && n + 1 < size; ++n) path[n] = kRendererPostSavePath[n];
      path[n] = 0;
    }
    return S_OK;
  }

 private:
  ~PostSave() override = default;
  LONGLONG mode_;
};

class TestRenderer final : public WuFioTestObject<IWuRenderFileClass> {
 public:
  explicit TestRenderer(bool bare = false)
      : WuFioTestObject<IWuRenderFileClass>(IID_IWuRenderFileClass), bare_(bare) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object && !bare_ && IsEqualGUID(iid, IID_IWuRenderPostSave)) {
      *object = static_cast<IWuRenderPostSave*>(new PostSave(postSave_));
      return S_OK;
    }
    return WuFioTestObject<IWuRenderFileClass>::QueryInterface(iid, object);
  }
  HRESULT SetIndex(LONG key) override { CountSlot(3); key_ = key; return S_OK; }
  HRESULT GetKey(LONG* key) override { CountSlot(4); *key = key_; return S_OK; }
  // The manager owns this object, so it is not held.
  HRESULT Initialize(IWuFileIOManager* manager) override {
    CountSlot(5);
    manager_ = manager;
    return S_OK;
  }
  HRESULT GetManager(IWuFileIOManager** manager) override {
    CountSlot(6);
    if (!manager) return E_POINTER;
    *manager = manager_;
    if (!manager_) return E_FAIL;
    manager_->AddRef();
    return S_OK;
  }
  HRESULT GetClassId(GUID* id) override {
    CountSlot(7);
    *id = bare_ ? kBareRendererClassId : kRendererClassId;
    return S_OK;
  }
  HRESULT GetPartMask(DWORD* mask) override { CountSlot(8); *mask = 3; return S_OK; }
  HRESULT GetFlags(DWORD*, DWORD*) override { CountSlot(9); return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass** out) override {
    CountSlot(10);
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    CountSlot(11);
    for (LONG i = 0; i < count; ++i) out[i] = Text(ids[i]);
    return S_OK;
  }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { CountSlot(12); return E_NOTIMPL; }
  HRESULT CreateRenderFile(IWuRenderFile** out, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE,
                           DWORD) override {
    CountSlot(13);
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetPresetCount(LONG* count) override {
    CountSlot(14);
    *count = kRendererPresetCount;
    return S_OK;
  }
  HRESULT GetPreset(tagWUTEMPLATExV2** out, LONG index) override {
    CountSlot(15);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index < 0 || index >= kRendererPresetCount) return E_INVALIDARG;
    *out = MakePreset(index);
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT GetProperty(DWORD id, LONGLONG* value) override {
    CountSlot(16);
    switch (id) {
      case kRendererPropConvert: *value = convert_; return S_OK;
      case kRendererPropOperation: *value = operation_; return S_OK;
      case kRendererPropLastConvertMode: *value = lastMode_; return S_OK;
      case kRendererPropFolder: *value = folder_; return S_OK;
      case kRendererPropPostSave: *value = postSave_; return S_OK;
      default: return E_INVALIDARG;
    }
  }
  HRESULT SetProperty(DWORD id, LONGLONG value) override {
    CountSlot(17);
    switch (id) {
      case kRendererPropConvert: convert_ = value; return S_OK;
      case kRendererPropOperation: operation_ = value; return S_OK;
      case kRendererPropFolder: folder_ = value; return S_OK;
      case kRendererPropPostSave: postSave_ = value; return S_OK;
      default: return E_INVALIDARG;
    }
  }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2** out, const tagWUTEMPLATExV2* record,
                          LONG mode) override {
    CountSlot(18);
    lastMode_ = mode;
    if (!out) return E_POINTER;
    *out = nullptr;
    switch (convert_) {
      case 1: {
        tagWUTEMPLATExV2* made = record ? CopyRecord(record) : MakePreset(0);
        if (!made) return E_OUTOFMEMORY;
        made->attributes = kRendererConvertedMark | static_cast<DWORD>(mode);
        *out = made;
        return S_OK;
      }
      case 2: return E_FAIL;
      default: return E_NOTIMPL;
    }
  }
  HRESULT TemplateOperation(tagWUTEMPLATExV2** record, const tagWUTEMPLATExV2*,
                            const tagWUTEMPLATExV2*, LONG mode) override {
    CountSlot(19);
    if (operation_ != 1) return E_NOTIMPL;
    if (!record || !*record) return E_POINTER;
    tagWUTEMPLATExV2* made = CopyRecord(*record);
    if (!made) return E_OUTOFMEMORY;
    made->attributes = kRendererOperatedMark | static_cast<DWORD>(mode);
    std::free(*record);
    *record = made;
    return S_OK;
  }
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2* record, void* out, DWORD bytes,
                          DWORD type) override {
    CountSlot(20);
    if (!record || !out) return E_INVALIDARG;
    if (type == 3) {
      if (bytes < 4) return E_INVALIDARG;
      DWORD rate = 0;
      if (record->audio.blockSize == 0 || record->audio.streamCount == 0) return 1;
      std::memcpy(&rate, record->audio.format + 28, 4);
      rate *= 8;
      std::memcpy(out, &rate, 4);
      return S_OK;
    }
    if (type == 4) {
      if (bytes < 8) return E_INVALIDARG;
      if (record->video.blockSize == 0 || record->video.streamCount == 0) return 1;
      LONGLONG rate = 0;
      std::memcpy(&rate, record->video.bytesPerSecond, 8);
      rate *= 8;
      std::memcpy(out, &rate, 8);
      return S_OK;
    }
    return E_NOTIMPL;
  }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { CountSlot(21); return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void** page) override {
    CountSlot(22);
    if (page) *page = nullptr;
    return E_NOTIMPL;
  }
  HRESULT PreparePages(HWND) override { CountSlot(23); return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { CountSlot(24); return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { CountSlot(25); return E_NOTIMPL; }
  HRESULT GetState(HRESULT* status, BSTR* text) override {
    CountSlot(26);
    *status = S_OK;
    if (text) *text = nullptr;
    return S_OK;
  }

 private:
  ~TestRenderer() override = default;

  BSTR Text(DWORD id) const {
    switch (id) {
      case 1:
        switch (folder_) {
          case 0: return SysAllocString(kRendererFolder);
          case 1: return SysAllocString(u"..");
          case 2: return SysAllocString(u"");
          case 4: return SysAllocString(u"...");
          default: return nullptr;
        }
      case 2: return SysAllocString(u"Test Render");
      case 4: return bare_ ? nullptr : SysAllocString(kRendererPatterns);
      case 5: return SysAllocString(bare_ ? kBareRendererDescription : kRendererDescription);
      default: return nullptr;
    }
  }

  IWuFileIOManager* manager_ = nullptr;
  LONG key_ = -1;
  LONGLONG convert_ = 0;
  LONGLONG operation_ = 0;
  LONGLONG lastMode_ = 0;
  LONGLONG folder_ = 0;
  LONGLONG postSave_ = 0;
  const bool bare_;
};

template <bool Bare>
HRESULT MakeRenderer(REFIID iid, void** object) {
  if (!IsEqualGUID(iid, IID_IWuRenderFileClass) && !IsEqualGUID(iid, IID_IUnknown)) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  TestRenderer* made = new TestRenderer(Bare);
  HRESULT hr = made->QueryInterface(iid, object);
  made->Release();
  return hr;
}

}  // namespace

const FioTestClassInfo g_fioTestInfos[] = {
    {&kRendererPlugin, nullptr, &kRendererClassId, u"Test Render", kRendererPatterns,
     kRendererDescription, "render", nullptr, 0},
    {&kBareRendererPlugin, nullptr, &kBareRendererClassId, u"Bare Render", u"",
     kBareRendererDescription, "bare", nullptr, 0},
};
const int g_fioTestInfoCount = 2;

const WuFioTestClass g_wuFioTestClasses[] = {
    {&CLSID_WuFileIOClassList, &MakeClassList},
    {&kRendererPlugin, &MakeRenderer<false>},
    {&kBareRendererPlugin, &MakeRenderer<true>},
};
const int g_wuFioTestClassCount = 3;
