#include "fileio/CWuAppPropPage.h"

#include <cstdlib>
#include <new>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuTempEditState.h"
#include "foundation/WuDlgTemplate.h"
#include "foundation/WuHelp.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/com/com.h"
#include "platform/com/propertypagesite.h"
#include "platform/shell/help.h"

namespace {

// The help topic of the page.
constexpr DWORD kHelpTopic = 230;
// Help could not be shown.
constexpr HRESULT kHelpFailed = WuStatusCode(0x8004E046);
// The quality bits of the option word.
constexpr WORD kQualityMask = 0x0007;

const _wudlghdrcreate kHeader = {WS_CHILD | DS_CONTROL | DS_SETFONT,
                                 WS_EX_CONTROLPARENT,
                                 2,
                                 0,
                                 0,
                                 190,
                                 68,
                                 0,
                                 0,
                                 nullptr,
                                 8,
                                 nullptr};

const _wudlgctrlcreate kControls[2] = {
    {MAKEINTRESOURCEW(0x82), WuLangRowRef(WuLangRow_FioEditQualityLabel), 0xFFFF, 5, 7, 80, 8, 0,
     WS_CHILD | WS_VISIBLE},
    {MAKEINTRESOURCEW(0x85), nullptr, WUTE_ID_QUALITY, 90, 5, 95, 94, 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST}};

const WuLangStringRow* const kQualityRows[5] = {
    &WuLangRow_FioEditQualityProject, &WuLangRow_FioEditQualityDraft,
    &WuLangRow_FioEditQualityPreview, &WuLangRow_FioEditQualityGood,
    &WuLangRow_FioEditQualityBest};

}  // namespace

const _wudlghdrcreate* WuTempEdit_AppPageHeader() { return &kHeader; }
const _wudlgctrlcreate* WuTempEdit_AppPageControls() { return kControls; }

CWuAppPropPage* CWuAppPropPage::Create() { return new (std::nothrow) CWuAppPropPage(); }

CWuAppPropPage::~CWuAppPropPage() {
  if (window_) DestroyWindow(window_);
  if (holder_) holder_->Release();
  if (site_) site_->Release();
  WuFio_ReleaseTemplate(template_);
}

HRESULT CWuAppPropPage::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IWuFileIOPropertyPage) return E_NOINTERFACE;
  *out = static_cast<IWuFileIOPropertyPage*>(this);
  AddRef();
  return S_OK;
}

ULONG CWuAppPropPage::AddRef() { return ++references_; }

ULONG CWuAppPropPage::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT CWuAppPropPage::SetPageSite(IPropertyPageSite* site) {
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

HRESULT CWuAppPropPage::Activate(HWND parent, const RECT* rect, BOOL) {
  if (!holder_ || window_) return E_UNEXPECTED;
  HWULANG lang = WuKernel_GetLangHandle();
  // The texts are looked up here, so that a program without a language
  // handle shows them too.
  _wudlgctrlcreate controls[2] = {kControls[0], kControls[1]};
  for (_wudlgctrlcreate& c : controls) c.text = WuGetStringSmart(lang, c.text);
  const DLGTEMPLATE* description = WuCreateDialogTemplate(lang, &kHeader, controls);
  if (!description) return E_OUTOFMEMORY;
  window_ = lang ? WuCreateDialogIndirectParam(lang, description, parent, PageProc,
                                               reinterpret_cast<LPARAM>(this))
                 : CreateDialogIndirectParamW(nullptr, description, parent, PageProc,
                                              reinterpret_cast<LPARAM>(this));
  WuFreeDialogTemplate(description);
  if (!window_) return E_FAIL;
  Refresh();
  if (rect) Move(rect);
  ShowWindow(window_, SW_SHOW);
  return S_OK;
}

HRESULT CWuAppPropPage::Deactivate() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  return S_OK;
}

HRESULT CWuAppPropPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  if (info->cb != sizeof(PROPPAGEINFO)) return E_INVALIDARG;
  SIZE size{300, 150};
  WuGetDialogSize(WuKernel_GetLangHandle(), &kHeader, &size);
  LPCWSTR title = WuLangText(WuLangRow_FioEditProjectTitle);
  int units = WuStrLenSafe(title) + 1;
  LPWSTR copy = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(WCHAR) * units));
  if (!copy) return E_OUTOFMEMORY;
  WuStrCpyNLen2(copy, title, units);
  info->pszTitle = copy;
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = kHelpTopic;
  return S_OK;
}

HRESULT CWuAppPropPage::SetObjects(ULONG count, IUnknown** objects) {
  if (count == 0) {
    if (holder_) holder_->Release();
    holder_ = nullptr;
    return S_OK;
  }
  if (count != 1 || !objects || !objects[0]) return E_UNEXPECTED;
  IWuFileIOTemplateEditHolder* holder = nullptr;
  HRESULT hr = objects[0]->QueryInterface(IID_IWuFileIOTemplateEditHolder,
                                          reinterpret_cast<void**>(&holder));
  if (FAILED(hr) || !holder) return FAILED(hr) ? hr : E_NOINTERFACE;
  if (holder_) holder_->Release();
  holder_ = holder;
  return S_OK;
}

HRESULT CWuAppPropPage::Show(UINT command) {
  if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW) return E_INVALIDARG;
  if (window_) ShowWindow(window_, static_cast<int>(command));
  return S_OK;
}

HRESULT CWuAppPropPage::Move(const RECT* rect) {
  if (!rect) return E_POINTER;
  if (window_)
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left,
               rect->bottom - rect->top, TRUE);
  return S_OK;
}

HRESULT CWuAppPropPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT CWuAppPropPage::Apply() {
  if (!dirty_) return S_OK;
  if (!holder_ || !template_) return E_UNEXPECTED;
  HRESULT hr = holder_->SetTemplate(template_);
  if (FAILED(hr)) return hr;
  dirty_ = false;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_CLEAN);
  return S_OK;
}

HRESULT CWuAppPropPage::Help(LPCWSTR) {
  if (!WuHelp_ContextHelp(WUHELP_HTMLHELP, window_, kHelpTopic, HH_HELP_CONTEXT, nullptr))
    return kHelpFailed;
  return S_OK;
}

HRESULT CWuAppPropPage::TranslateAccelerator(MSG*) { return E_NOTIMPL; }

HRESULT CWuAppPropPage::SetTemplate(const tagWUTEMPLATExV2* record) {
  tagWUTEMPLATExV2* copy = nullptr;
  HRESULT hr = WuFio_CopyTemplate(&copy, record);
  if (FAILED(hr)) return hr;
  WuFio_ReleaseTemplate(template_);
  template_ = copy;
  dirty_ = false;
  ShowTemplate();
  return S_OK;
}

HRESULT CWuAppPropPage::Refresh() {
  if (!holder_) return E_UNEXPECTED;
  tagWUTEMPLATExV2* copy = nullptr;
  HRESULT hr = holder_->GetTemplate(&copy);
  if (FAILED(hr)) return hr;
  WuFio_ReleaseTemplate(template_);
  template_ = copy;
  dirty_ = false;
  ShowTemplate();
  return S_OK;
}

void CWuAppPropPage::ShowTemplate() {
  if (!window_) return;
  HWND list = GetDlgItem(window_, WUTE_ID_QUALITY);
  int row = template_ ? (template_->options & kQualityMask) : 0;
  if (row > 4) row = -1;
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

void CWuAppPropPage::Choose(int row) {
  if (!template_ || row < 0 || row > 4) return;
  WORD options = static_cast<WORD>((template_->options & ~kQualityMask) | row);
  if (options == template_->options) return;
  template_->options = options;
  dirty_ = true;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

INT_PTR CWuAppPropPage::PageProc(HWND dialog, UINT message, WPARAM wparam,
                                          LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dialog, GWLP_USERDATA, lparam);
      HWND list = GetDlgItem(dialog, WUTE_ID_QUALITY);
      for (const WuLangStringRow* row : kQualityRows)
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WuLangText(*row)));
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wparam) == WUTE_ID_QUALITY && HIWORD(wparam) == CBN_SELCHANGE) {
        auto* page = reinterpret_cast<CWuAppPropPage*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        if (page)
          page->Choose(static_cast<int>(
              SendMessageW(reinterpret_cast<HWND>(lparam), CB_GETCURSEL, 0, 0)));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}
