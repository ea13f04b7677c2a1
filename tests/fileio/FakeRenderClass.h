// An in-process renderer class for the template tests: its id, template
// folder text, presets and manager are set by the test; every other
// operation answers E_NOTIMPL. Counts its preset requests.
#pragma once

#include <string>
#include <vector>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioTemplateLayout.h"
#include "platform/com/oleauto.h"
#include "tests/fileio/TemplateBytes.h"

namespace fio_test {

class FakeRenderClass final : public IWuRenderFileClass {
 public:
  GUID id{0x5E1F0001, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
  std::u16string folderText = u"Test Render";
  std::vector<std::vector<BYTE>> presets;  // record bytes handed out as new records
  IWuFileIOManager* manager = nullptr;     // slot 6 (not owned)
  HRESULT presetFailure = S_OK;            // slot 15's answer when failing
  int presetCalls = 0;
  HRESULT partMaskStatus = E_NOTIMPL;      // slot 8's answer; partMask when it succeeds
  DWORD partMask = 0;

  // Adds a preset of that name and Id.
  void AddPreset(const std::u16string& name, LONG presetId, DWORD priv = 0) {
    tagWUTEMPLATExV2* r = MakeRecord(name, u"", priv, 7);
    WuTpl_SetWord(r, WUTPL_OFFSET_ID, static_cast<DWORD>(presetId));
    presets.push_back(BytesOf(r));
    std::free(r);
  }

  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager** out) override {
    *out = manager;
    if (!manager) return E_FAIL;
    manager->AddRef();
    return S_OK;
  }
  HRESULT GetClassId(GUID* out) override {
    *out = id;
    return S_OK;
  }
  HRESULT GetPartMask(DWORD* out) override {
    if (SUCCEEDED(partMaskStatus)) *out = partMask;
    return partMaskStatus;
  }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override {
    if (count != 1 || ids[0] != 1) return E_INVALIDARG;
    out[0] = SysAllocString(folderText.c_str());
    return S_OK;
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
    ++presetCalls;
    *out = nullptr;
    if (FAILED(presetFailure)) return presetFailure;
    if (index < 0 || index >= static_cast<LONG>(presets.size())) return E_INVALIDARG;
    const std::vector<BYTE>& bytes = presets[index];
    void* r = std::malloc(bytes.size());
    std::memcpy(r, bytes.data(), bytes.size());
    *out = static_cast<tagWUTEMPLATExV2*>(r);
    return S_OK;
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
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT*, BSTR*) override { return E_NOTIMPL; }
};

}  // namespace fio_test
