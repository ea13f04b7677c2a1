// A template holder and a page site for driving template-editor pages
// without the editor: the holder keeps one template and counts what the
// pages hand it; the site counts status changes.
#pragma once

#include <cstdlib>
#include <cstring>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioTemplate.h"
#include "platform/com/propertypagesite.h"

namespace fio_test {

// The editor's template as a page sees it.
class FakeHolder : public IWuFileIOTemplateEditHolder {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuFileIOTemplateEditHolder)) {
      *object = static_cast<IWuFileIOTemplateEditHolder*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT GetTemplate(tagWUTEMPLATExV2** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!current) return E_FAIL;
    return WuFio_CopyTemplate(out, current);
  }
  HRESULT SetTemplate(const tagWUTEMPLATExV2* record) override {
    ++sets;
    tagWUTEMPLATExV2* copy = nullptr;
    HRESULT hr = WuFio_CopyTemplate(&copy, record);
    if (FAILED(hr)) return hr;
    Take(copy);
    return S_OK;
  }
  HRESULT GetProjectTemplate(tagWUTEMPLATExV2** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT GetMetric(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT SetMetric(DWORD, LONG) override { return E_NOTIMPL; }

  // Makes `record` (taken) the current template.
  void Take(tagWUTEMPLATExV2* record) {
    std::free(current);
    current = record;
  }
  virtual ~FakeHolder() { std::free(current); }

  tagWUTEMPLATExV2* current = nullptr;  // owned
  ULONG references = 1;                 // the test's own
  int sets = 0;                         // SetTemplate calls
};

// The frame around a page.
class FakeSite final : public IPropertyPageSite {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPropertyPageSite)) {
      *object = static_cast<IPropertyPageSite*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references; }
  ULONG Release() override { return --references; }
  HRESULT OnStatusChange(DWORD flags) override {
    ++changes;
    lastFlags = flags;
    return S_OK;
  }
  HRESULT GetLocaleID(LCID* locale) override {
    if (!locale) return E_POINTER;
    *locale = 1024;
    return S_OK;
  }
  HRESULT GetPageContainer(IUnknown** container) override {
    if (container) *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT TranslateAccelerator(MSG*) override { return S_FALSE; }

  ULONG references = 1;  // the test's own
  int changes = 0;       // OnStatusChange calls
  DWORD lastFlags = 0;   // their last flags
};

}  // namespace fio_test
