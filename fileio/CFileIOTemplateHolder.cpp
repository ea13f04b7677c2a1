#include "fileio/CFileIOTemplateHolder.h"

#include <new>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuTempEdit.h"

CFileIOTemplateHolder* CFileIOTemplateHolder::Create(WuTempEditState* state) {
  return new (std::nothrow) CFileIOTemplateHolder(state);
}

HRESULT CFileIOTemplateHolder::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IWuTempEditView) {
    *out = static_cast<IWuTempEditView*>(this);
  } else if (iid == IID_IUnknown || iid == IID_IWuFileIOTemplateEditHolder) {
    *out = static_cast<IWuFileIOTemplateEditHolder*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CFileIOTemplateHolder::AddRef() { return ++references_; }

ULONG CFileIOTemplateHolder::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT CFileIOTemplateHolder::GetTemplate(tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!state_) return E_UNEXPECTED;
  if (!state_->current) return E_FAIL;
  return WuFio_CopyTemplate(out, state_->current);
}

HRESULT CFileIOTemplateHolder::SetTemplate(const tagWUTEMPLATExV2* record) {
  if (!record) return E_POINTER;
  if (!state_) return E_UNEXPECTED;
  return WuTempEdit_SetCurrentFromPage(state_, record);
}

HRESULT CFileIOTemplateHolder::GetProjectTemplate(tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!state_) return E_UNEXPECTED;
  if (!state_->args || !state_->args->projectTemplate) return E_NOTIMPL;
  return WuFio_CopyTemplate(out, state_->args->projectTemplate);
}

HRESULT CFileIOTemplateHolder::GetMetric(DWORD id, LONG* value) {
  if (!state_ || !state_->manager) return E_UNEXPECTED;
  return state_->manager->GetMetric(id, value);
}

HRESULT CFileIOTemplateHolder::SetMetric(DWORD id, LONG value) {
  if (!state_ || !state_->manager) return E_UNEXPECTED;
  return state_->manager->SetMetric(id, value);
}

HRESULT CFileIOTemplateHolder::GetView(WUTEMPEDIT_VIEW* view) {
  if (!view) return E_POINTER;
  if (view->size != sizeof(WUTEMPEDIT_VIEW)) return E_INVALIDARG;
  if (!state_) return E_UNEXPECTED;
  view->renderer = state_->cls;
  view->cache = state_->cache;
  view->current = state_->current;
  view->state = state_->state & (WUTEMPEDIT_STATE_MODIFIED | WUTEMPEDIT_STATE_SAVED |
                                 WUTEMPEDIT_STATE_OWNED);
  return S_OK;
}
