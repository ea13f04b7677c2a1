#include "fileio/CWuTempEditSite.h"

#include <new>

#include "fileio/CFileIOTemplateHolder.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"

CWuTempEditSite* CWuTempEditSite::Create() { return new (std::nothrow) CWuTempEditSite(); }

void CWuTempEditSite::Destroy(CWuTempEditSite* site) { delete site; }

HRESULT CWuTempEditSite::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IPropertyPageSite) return E_NOINTERFACE;
  *out = static_cast<IPropertyPageSite*>(this);
  AddRef();
  return S_OK;
}

ULONG CWuTempEditSite::AddRef() { return static_cast<ULONG>(++references_); }

ULONG CWuTempEditSite::Release() {
  LONG now = references_.load();
  while (now > 0 && !references_.compare_exchange_weak(now, now - 1)) {
  }
  return static_cast<ULONG>(now > 0 ? now - 1 : 0);
}

HRESULT CWuTempEditSite::OnStatusChange(DWORD) { return S_OK; }

HRESULT CWuTempEditSite::GetLocaleID(LCID* locale) {
  if (!locale) return E_POINTER;
  *locale = 1024;
  return S_OK;
}

HRESULT CWuTempEditSite::GetPageContainer(IUnknown** out) {
  if (out) *out = nullptr;
  return S_FALSE;
}

HRESULT CWuTempEditSite::TranslateAccelerator(MSG*) { return S_FALSE; }

// ---- The site window ---------------------------------------------------------------------

void WuTempEdit_ClosePages(WuTempEditState* state) {
  if (!state || !state->pages) return;
  for (LONG i = 0; i < state->pageCount; ++i) {
    WuTempEditPage& p = state->pages[i];
    if (!p.page) continue;
    if (p.flags & WUTE_PAGE_ACTIVE) p.page->Deactivate();
    p.flags &= ~WUTE_PAGE_ACTIVE;
    p.page->SetObjects(0, nullptr);
    p.page->SetPageSite(nullptr);
    p.page->Release();
    p.page = nullptr;
  }
  state->activePage = -1;
}

namespace {

LRESULT SiteProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NCCREATE: {
      const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA,
                        reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case WM_PAINT: {
      PAINTSTRUCT paint{};
      HDC dc = BeginPaint(window, &paint);
      RECT rect{};
      GetClientRect(window, &rect);
      DrawEdge(dc, &rect, EDGE_ETCHED, BF_RECT);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      WuTempEdit_ClosePages(
          reinterpret_cast<WuTempEditState*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

BOOL WuTempEdit_RegisterSiteClass() {
  WNDCLASSW wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = SiteProc;
  wc.lpszClassName = WUTEMPEDIT_SITE_CLASS;
  if (RegisterClassW(&wc)) return TRUE;
  return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? TRUE : FALSE;
}

HWND WuTempEdit_CreateSiteWindow(WuTempEditState* state, HWND dialog) {
  if (!WuTempEdit_RegisterSiteClass()) return nullptr;
  return CreateWindowExW(WS_EX_CONTROLPARENT, WUTEMPEDIT_SITE_CLASS, nullptr,
                         WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 0, 0, dialog,
                         reinterpret_cast<HMENU>(static_cast<UINT_PTR>(WUTE_ID_SITE)), nullptr,
                         state);
}
