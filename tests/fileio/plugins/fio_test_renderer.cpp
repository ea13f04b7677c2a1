// fio_test_renderer: a renderer class with presets, texts and switchable
// template conversions (see FioTestRenderer.h). Records come from the
// runtime heap the host shares, as the template functions expect.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/CWuTemplateInfoPropPage.h"
#include "fileio/WuFioPageInfo.h"
#include "platform/com/propertypagesite.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/user/windows.h"
#include "tests/fileio/plugins/FioTestClasses.h"
#include "tests/fileio/plugins/FioTestRenderer.h"

// In the surrogate the kit's counters go nowhere (a test program's own
// definition comes first).
extern "C" __attribute__((visibility("default"))) void WuFioTestReport(const char*, int, LONG) {}

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

// ---- The property pages ----------------------------------------------------------------------
// The page's dialog template: a child dialog (no font) with one check box.
std::vector<WORD> PageTemplate() {
  std::vector<WORD> t;
  auto dword = [&t](DWORD v) {
    t.push_back(static_cast<WORD>(v & 0xFFFF));
    t.push_back(static_cast<WORD>(v >> 16));
  };
  auto text = [&t](const char16_t* s) {
    for (; *s; ++s) t.push_back(*s);
    t.push_back(0);
  };
  dword(WS_CHILD | DS_CONTROL);
  dword(WS_EX_CONTROLPARENT);
  t.insert(t.end(), {1, 0, 0, kRendererPageWidth, kRendererPageHeight});
  t.insert(t.end(), {0, 0, 0});  // no menu, the dialog class, no title
  if (t.size() % 2) t.push_back(0);  // items start on 4 bytes
  dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX);
  dword(0);
  t.insert(t.end(), {5, 5, kRendererPageWidth - 10, 10, kRendererPageControl});
  t.insert(t.end(), {0xFFFF, 0x0080});  // a button
  text(kRendererPageControlText);
  t.push_back(0);  // no creation data
  return t;
}

// The size of the page in pixels, from the system font's dialog units.
SIZE PagePixels() {
  LONG units = GetDialogBaseUnits();
  LONG x = units & 0xFFFF, y = (units >> 16) & 0xFFFF;
  return SIZE{kRendererPageWidth * x / 4, kRendererPageHeight * y / 8};
}

class TestPage final : public WuFioTestObject<IWuFileIOPropertyPage> {
 public:
  TestPage(LONG number, bool applyFails, bool longTitle)
      : WuFioTestObject<IWuFileIOPropertyPage>(IID_IWuFileIOPropertyPage),
        number_(number),
        applyFails_(applyFails),
        longTitle_(longTitle) {}

  HRESULT SetPageSite(IPropertyPageSite* site) override {
    Count(3);
    if (!site) {
      if (site_) site_->Release();
      site_ = nullptr;
      return S_OK;
    }
    if (site_) return E_UNEXPECTED;
    site_ = site;
    site_->AddRef();
    return S_OK;
  }
  HRESULT Activate(HWND parent, const RECT* rect, BOOL) override {
    Count(4);
    if (!holder_ || window_) return E_UNEXPECTED;
    if (!rect) return E_POINTER;
    HRESULT hr = LoadFromHolder();
    if (FAILED(hr)) return hr;
    std::vector<WORD> bytes = PageTemplate();
    window_ = CreateDialogIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(bytes.data()),
                                         parent, &PageProc, reinterpret_cast<LPARAM>(this));
    if (!window_) return E_FAIL;
    ShowSetting();
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  HRESULT Deactivate() override {
    Count(5);
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }
  HRESULT GetPageInfo(PROPPAGEINFO* info) override {
    Count(6);
    if (!info) return E_POINTER;
    std::u16string title = longTitle_ ? kRendererLongPageTitle : kRendererPageTitle;
    if (!longTitle_)
      for (char c : std::to_string(number_ + 1)) title += static_cast<char16_t>(c);
    std::memset(info, 0, sizeof(*info));
    info->cb = sizeof(*info);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(2 * (title.size() + 1)));
    if (!info->pszTitle) return E_OUTOFMEMORY;
    std::memcpy(info->pszTitle, title.c_str(), 2 * (title.size() + 1));
    info->size = PagePixels();
    return S_OK;
  }
  HRESULT SetObjects(ULONG count, IUnknown** objects) override {
    Count(7);
    if (count > 1) return E_UNEXPECTED;
    if (count == 1 && (!objects || !objects[0])) return E_POINTER;
    if (holder_) holder_->Release();
    holder_ = nullptr;
    if (count == 0) return S_OK;
    return objects[0]->QueryInterface(IID_IWuFileIOTemplateEditHolder,
                                      reinterpret_cast<void**>(&holder_));
  }
  HRESULT Show(UINT command) override {
    Count(8);
    if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW) return E_INVALIDARG;
    if (!window_) return E_UNEXPECTED;
    ShowWindow(window_, static_cast<int>(command));
    return S_OK;
  }
  HRESULT Move(const RECT* rect) override {
    Count(9);
    if (!rect) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
  }
  HRESULT IsPageDirty() override {
    Count(10);
    return dirty_ ? S_OK : S_FALSE;
  }
  HRESULT Apply() override {
    Count(11);
    if (!holder_) return E_UNEXPECTED;
    if (!dirty_) return S_OK;
    if (applyFails_) return E_FAIL;
    HRESULT hr = holder_->SetTemplate(template_);
    if (FAILED(hr)) return hr;
    dirty_ = false;
    return S_OK;
  }
  HRESULT Help(LPCWSTR) override { Count(12); return E_NOTIMPL; }
  HRESULT TranslateAccelerator(MSG*) override { Count(13); return E_NOTIMPL; }
  HRESULT SetTemplate(const tagWUTEMPLATExV2* record) override {
    Count(14);
    if (!record) return E_POINTER;
    if (record->totalSize < WUTEMPLATE_MIN_SIZE) return E_INVALIDARG;
    tagWUTEMPLATExV2* copy = CopyRecord(record);
    if (!copy) return E_OUTOFMEMORY;
    Keep(copy);
    return S_OK;
  }
  HRESULT Refresh() override {
    Count(15);
    if (!holder_) return E_UNEXPECTED;
    return LoadFromHolder();
  }

 private:
  ~TestPage() override {
    if (window_) DestroyWindow(window_);
    if (holder_) holder_->Release();
    if (site_) site_->Release();
    std::free(template_);
  }

  static void Count(int slot) {
    std::string name = std::string(WU_FIO_TEST_PLUGIN_NAME) + "/page/" + std::to_string(slot);
    WuFioTestReport(name.c_str(), kWuFioTestCalls, 1);
  }

  // Takes `record` as the page's template, clean, and shows it.
  void Keep(tagWUTEMPLATExV2* record) {
    std::free(template_);
    template_ = record;
    dirty_ = false;
    ShowSetting();
  }
  HRESULT LoadFromHolder() {
    tagWUTEMPLATExV2* record = nullptr;
    HRESULT hr = holder_->GetTemplate(&record);
    if (FAILED(hr)) return hr;
    if (!record) return E_FAIL;
    Keep(record);
    return S_OK;
  }
  // The settings byte of the template, NULL when it has none.
  BYTE* SettingsByte() const {
    if (!template_ || template_->privateSize <= kRendererSettingsByte ||
        template_->totalSize < WUTEMPLATE_FIXED_SIZE + kRendererSettingsByte + 1)
      return nullptr;
    return template_->PrivateData() + kRendererSettingsByte;
  }
  void ShowSetting() {
    if (!window_) return;
    BYTE* b = SettingsByte();
    CheckDlgButton(window_, kRendererPageControl, b && (*b & 1) ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(window_, kRendererPageControl), b != nullptr);
  }
  void Clicked() {
    BYTE* b = SettingsByte();
    if (!b) return;
    *b ^= 1;
    dirty_ = true;
    if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
  }
  static INT_PTR PageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      return TRUE;
    }
    auto* page = reinterpret_cast<TestPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_COMMAND && page && LOWORD(wparam) == kRendererPageControl &&
        HIWORD(wparam) == BN_CLICKED) {
      page->Clicked();
      return TRUE;
    }
    return FALSE;
  }

  const LONG number_;
  const bool applyFails_;
  const bool longTitle_;
  IPropertyPageSite* site_ = nullptr;               // a reference, or NULL
  IWuFileIOTemplateEditHolder* holder_ = nullptr;   // a reference, or NULL
  HWND window_ = nullptr;                           // the dialog while active
  tagWUTEMPLATExV2* template_ = nullptr;            // the page's own copy
  bool dirty_ = false;                              // changed since the last apply or load
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
      case kRendererPropPages: *value = pages_; return S_OK;
      case kRendererPropExtraPages: *value = extraPages_; return S_OK;
      case kRendererPropPageFlags: *value = pageFlags_; return S_OK;
      case kRendererPropFailingPages: *value = failingPages_; return S_OK;
      case kRendererPropApplyFails: *value = applyFails_; return S_OK;
      case kRendererPropLongTitles: *value = longTitles_; return S_OK;
      case kRendererPropInfoPages: *value = infoPages_; return S_OK;
      case kRendererPropPreparedOwner: *value = preparedOwner_; return S_OK;
      case kRendererPropPageCountDelay: *value = pageCountDelay_; return S_OK;
      case kRendererPropProcessId: *value = GetCurrentProcessId(); return S_OK;
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
      case kRendererPropPages: pages_ = value; return S_OK;
      case kRendererPropExtraPages:
        if (value < 0) return E_INVALIDARG;
        extraPages_ = value;
        return S_OK;
      case kRendererPropPageFlags: pageFlags_ = value; return S_OK;
      case kRendererPropFailingPages: failingPages_ = value; return S_OK;
      case kRendererPropApplyFails: applyFails_ = value; return S_OK;
      case kRendererPropLongTitles: longTitles_ = value; return S_OK;
      case kRendererPropInfoPages: infoPages_ = value; return S_OK;
      case kRendererPropPageCountDelay: pageCountDelay_ = value; return S_OK;
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
  HRESULT GetPageCount(LONG* count, LONG* extraCount, DWORD* flags) override {
    CountSlot(21);
    if (!count || !extraCount || !flags) return E_POINTER;
    if (pageCountDelay_ > 0) Sleep(static_cast<DWORD>(pageCountDelay_));
    if (pages_ < 0) return E_NOTIMPL;
    *count = static_cast<LONG>(pages_);
    *extraCount = static_cast<LONG>(extraPages_);
    *flags = static_cast<DWORD>(pageFlags_);
    return S_OK;
  }
  HRESULT GetPage(LONG number, REFIID iid, void** page) override {
    CountSlot(22);
    if (!page) return E_POINTER;
    *page = nullptr;
    if (number < 0 || pages_ < 0 || number >= pages_ + extraPages_ || number >= 63)
      return E_INVALIDARG;
    const LONGLONG bit = 1LL << number;
    if ((failingPages_ & bit) || (number >= pages_ && !preparedOwner_)) return E_FAIL;
    if (infoPages_ & bit) {
      IWuFileIOPropertyPage* info = nullptr;
      HRESULT hr = WuFio_CreateTemplateInfoPropPage(&info);
      if (FAILED(hr)) return hr;
      hr = info->QueryInterface(iid, page);
      info->Release();
      return hr;
    }
    TestPage* made = new TestPage(number, (applyFails_ & bit) != 0, (longTitles_ & bit) != 0);
    HRESULT hr = made->QueryInterface(iid, page);
    made->Release();
    return hr;
  }
  HRESULT PreparePages(HWND owner) override {
    CountSlot(23);
    preparedOwner_ = reinterpret_cast<LONGLONG>(owner);
    if (!preparedOwner_) preparedOwner_ = -1;  // prepared without an owner
    return S_OK;
  }
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
  LONGLONG pages_ = 1;
  LONGLONG extraPages_ = 0;
  LONGLONG pageFlags_ = 0;
  LONGLONG failingPages_ = 0;
  LONGLONG applyFails_ = 0;
  LONGLONG longTitles_ = 0;
  LONGLONG infoPages_ = 0;
  LONGLONG preparedOwner_ = 0;  // the owner slot 23 was given (-1 for none), 0 before
  LONGLONG pageCountDelay_ = 0;  // milliseconds slot 21 waits before answering
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
