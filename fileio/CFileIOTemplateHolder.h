// The template editor's holder: how its pages read and change the template
// being edited (IWuFileIOTemplateEditHolder). Reference counted; the
// editor detaches it from its state before the state goes away, after
// which every template operation answers E_UNEXPECTED.
#pragma once

#include <atomic>

#include "fileio/CWuTemplateInfoPropPage.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuTempEditState.h"

class CFileIOTemplateHolder final : public IWuFileIOTemplateEditHolder, public IWuTempEditView {
 public:
  // A new holder over the editor's state with one reference; NULL when
  // memory runs out.
  static CFileIOTemplateHolder* Create(WuTempEditState* state);
  // The editor is done: the holder no longer reaches its state.
  void Detach() { state_ = nullptr; }

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // A copy of the current template (E_FAIL when there is none).
  HRESULT GetTemplate(tagWUTEMPLATExV2** out) override;
  // A copy of `record` becomes the current template, owned and modified;
  // an equal template changes nothing. 0x8004E00B for a bad record.
  HRESULT SetTemplate(const tagWUTEMPLATExV2* record) override;
  // A copy of the project template (E_NOTIMPL when there is none).
  HRESULT GetProjectTemplate(tagWUTEMPLATExV2** out) override;
  // The manager's metrics, unchanged.
  HRESULT GetMetric(DWORD id, LONG* value) override;
  HRESULT SetMetric(DWORD id, LONG value) override;
  // The editor's class, cache, current template and state bits;
  // E_INVALIDARG for another record size, E_UNEXPECTED once detached.
  HRESULT GetView(WUTEMPEDIT_VIEW* view) override;

 private:
  explicit CFileIOTemplateHolder(WuTempEditState* state) : state_(state) {}
  ~CFileIOTemplateHolder() = default;

  std::atomic<ULONG> references_{1};  // reference count
  WuTempEditState* state_;            // the editor's state, NULL once detached
};
