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
  if (iid != IID_IUnknown && iid != IID_IWuFileIOTemplateEditHolder) return E_NOINTERFACE;
  *out = static_cast<IWuFileIOTemplateEditHolder*>(this);
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
