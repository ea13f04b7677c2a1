// Preset bit rates, extension and dialog texts, and the post-save step over
// an in-process renderer class.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileio/WuFioRendererHelpers.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateMake.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/locale.h"

namespace {

// The post-save interface: method 3 by `mode` gives a new template (with
// the path's first unit changed), hands back the one given, or fails.
class PostSave final : public IWuRenderPostSave {
 public:
  enum Mode { kNew, kSame, kFail } mode = kNew;
  int refs = 0;
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT PostSaveDialog(HWND, LPWSTR path, DWORD size, const tagWUTEMPLATExV2* record,
                         tagWUTEMPLATExV2** out) override {
    if (mode == kFail) {
      path[0] = u'X';
      *out = WuFio_NewTemplate(u"Lost", u"", 0);  // must not leak or be stored
      return E_FAIL;
    }
    EXPECT_EQ(size, 260u);
    lstrcpynW(path, u"/new/path.tsr", size);
    *out = mode == kSame ? const_cast<tagWUTEMPLATExV2*>(record) : WuFio_NewTemplate(u"Made", u"", 0);
    return S_OK;
  }
};

// A renderer class with texts, presets and, optionally, the post-save
// interface; every other operation answers E_NOTIMPL.
class Renderer final : public IWuRenderFileClass {
 public:
  const char16_t* patterns = u"*.tsr;*.ts2";  // NULL: none
  const char16_t* description = u"Desc";
  HRESULT textStatus = S_OK;
  std::vector<tagWUTEMPLATExV2*> presets;  // templates handed out as copies
  LONG failAt = -1;                        // preset index that fails
  PostSave* post = nullptr;

  ~Renderer() {
    for (auto* p : presets) WuFio_ReleaseTemplate(p);
  }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (post && IsEqualGUID(iid, IID_IWuRenderPostSave)) {
      post->AddRef();
      *out = static_cast<IWuRenderPostSave*>(post);
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
  HRESULT GetClassId(GUID*) override { return E_NOTIMPL; }
  HRESULT GetPartMask(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    for (LONG i = 0; i < count; ++i) {
      const char16_t* t = ids[i] == 4 ? patterns : ids[i] == 5 ? description : nullptr;
      out[i] = t ? SysAllocString(t) : nullptr;
    }
    return textStatus;
  }
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return E_NOTIMPL; }
  HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE,
                           DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT GetPresetCount(LONG* count) override {
    *count = static_cast<LONG>(presets.size());
    return S_OK;
  }
  HRESULT GetPreset(tagWUTEMPLATExV2** out, LONG index) override {
    *out = nullptr;
    if (index == failAt) return E_ACCESSDENIED;
    if (index < 0 || index >= static_cast<LONG>(presets.size())) return E_INVALIDARG;
    return WuFio_CopyTemplate(out, presets[index]);
  }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override {
    return E_NOTIMPL;
  }
  HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*,
                            const tagWUTEMPLATExV2*, LONG) override {
    return E_NOTIMPL;
  }
  // The host's own query, as a plug-in would answer.
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2* r, void* out, DWORD bytes,
                          DWORD type) override {
    return WuFio_GetTemplateInfo(r, 3, out, bytes, type);
  }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT*, BSTR*) override { return E_NOTIMPL; }
};

std::u16string Units(const WCHAR* p, size_t n) { return std::u16string(p, n); }

TEST(WuFioRendererHelpers, ExtensionTexts) {
  Renderer cls;
  WCHAR buf[32];
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(&cls, buf, 32), S_OK);
  EXPECT_EQ(std::u16string(buf), u".tsr");
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(&cls, buf, 3), S_OK);
  EXPECT_EQ(std::u16string(buf), u".t");
  EXPECT_EQ(WuFio_GetRendererExtensionsList(&cls, buf, 32), S_OK);
  EXPECT_EQ(std::u16string(buf), u"*.tsr;*.ts2");
  cls.patterns = u"tsr";
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(&cls, buf, 32), S_OK);
  EXPECT_EQ(std::u16string(buf), u"tsr");
  cls.textStatus = E_FAIL;
  EXPECT_EQ(WuFio_GetDefaultRendererExtension(&cls, buf, 32), E_FAIL);
  EXPECT_EQ(buf[0], 0);
}

TEST(WuFioRendererHelpers, OpenDialogFilter) {
  Renderer cls;
  struct Case {
    const char16_t* patterns;
    BOOL show;
    LONG size;
    std::u16string expect;  // through the two closing terminators
  } cases[] = {
      {nullptr, TRUE, 40, std::u16string(u"Desc\0*.*\0\0", 10)},
      {u"*.tsr;*.ts2", TRUE, 40, std::u16string(u"Desc (*.tsr;*.ts2)\0*.tsr;*.ts2\0\0", 32)},
      {u"*.tsr;*.ts2", FALSE, 40, std::u16string(u"Desc\0*.tsr;*.ts2\0\0", 18)},
      // 14 units: the description cut to leave room, no pattern part.
      {u"*.tsr;*.ts2", TRUE, 14, std::u16string(u"Desc (*.tsr;\0\0", 14)},
      // Room for a short pattern part, cut before the terminators.
      {u"*.tsr;*.ts2", FALSE, 14, std::u16string(u"Desc\0*.tsr;*\0\0", 14)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    cls.patterns = c.patterns;
    std::vector<WCHAR> buf(c.size + 4, u'#');
    EXPECT_EQ(WuFio_GetRendererOpenDialogFilterString(&cls, buf.data(), c.size, c.show), S_OK);
    EXPECT_EQ(Units(buf.data(), c.expect.size()), c.expect);
    EXPECT_EQ(buf[c.size], u'#');  // nothing past the buffer
  }
  WCHAR buf[20];
  EXPECT_EQ(WuFio_GetRendererOpenDialogFilterString(&cls, buf, 13, TRUE), E_INVALIDARG);
  EXPECT_EQ(WuFio_GetRendererOpenDialogFilterString(&cls, nullptr, 20, TRUE), E_POINTER);
}

TEST(WuFioRendererHelpers, PostSaveDialog) {
  Renderer cls;
  WCHAR path[64] = u"/old.tsr";
  tagWUTEMPLATExV2* slot = WuFio_NewTemplate(u"Old", u"", 0);
  // Without the interface nothing is called.
  EXPECT_EQ(WuFio_PostSaveDialog(&cls, nullptr, path, 64, &slot), S_OK);
  EXPECT_EQ(std::u16string(path), u"/old.tsr");

  PostSave post;
  cls.post = &post;
  EXPECT_EQ(WuFio_PostSaveDialog(&cls, nullptr, path, 64, nullptr), S_OK);  // no slot
  EXPECT_EQ(std::u16string(path), u"/old.tsr");

  EXPECT_EQ(WuFio_PostSaveDialog(&cls, nullptr, path, 64, &slot), S_OK);
  EXPECT_EQ(std::u16string(path), u"/new/path.tsr");
  EXPECT_EQ(std::u16string(slot->GetName()), u"Made");

  post.mode = PostSave::kSame;  // handed back: stays valid (AddressSanitizer)
  tagWUTEMPLATExV2* before = slot;
  EXPECT_EQ(WuFio_PostSaveDialog(&cls, nullptr, path, 8, &slot), S_OK);
  EXPECT_EQ(slot, before);
  EXPECT_EQ(std::u16string(slot->GetName()), u"Made");
  EXPECT_EQ(std::u16string(path), u"/new/pa");  // bounded to the caller's size

  post.mode = PostSave::kFail;
  EXPECT_EQ(WuFio_PostSaveDialog(&cls, nullptr, path, 64, &slot), E_FAIL);
  EXPECT_EQ(slot, before);
  EXPECT_EQ(std::u16string(path), u"/new/pa");
  EXPECT_EQ(post.refs, 0);
  WuFio_ReleaseTemplate(slot);
}

tagWUTEMPLATExV2* Preset(bool audio, bool video) {
  auto* r = static_cast<tagWUTEMPLATExV2*>(std::malloc(WUTEMPLATE_MIN_SIZE));
  _wuwaveformat pcm{};
  pcm.Init(48000, WUSAMPLE_PCM16, 2, 0, 32);  // 1,536,000 bits per second
  BITMAPINFOHEADER bih{40, 100, 100, 1, 8, BI_RGB, 0, 0, 0, 0, 0};  // 10,000 bytes a frame
  WuFio_InitBasicTemplate(r, audio ? 1 : 0, &pcm, video ? 1 : 0, &bih, 10.0, 0, 1.0);
  return r;
}

TEST(WuFioRendererHelpers, BitratesForRangeOfPresets) {
  Renderer cls;
  cls.presets = {Preset(true, true), Preset(true, false), Preset(false, true)};
  LONGLONG rates[4];
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 2, rates), S_OK);
  EXPECT_EQ(rates[0], 800000);
  EXPECT_EQ(rates[1], 0);  // no video
  EXPECT_EQ(rates[2], 800000);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 3, rates), S_OK);
  EXPECT_EQ(rates[0], 800000 + 1536000);
  EXPECT_EQ(rates[2], 800000);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 1, rates), S_OK);
  EXPECT_EQ(rates[0], 0);  // has video
  EXPECT_EQ(rates[1], 1536000);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 0, 3, rates), 1);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 0, rates), E_NOTIMPL);
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 3, nullptr), E_INVALIDARG);
  cls.failAt = 1;
  rates[2] = 77;
  EXPECT_EQ(WuFio_GetBitratesForRangeOfPresets(&cls, 0, 3, 2, rates), E_ACCESSDENIED);
  EXPECT_EQ(rates[0], 800000);
  EXPECT_EQ(rates[2], 0);  // zeroed, never reached
}

}  // namespace
