// The template editor's page site: the IPropertyPageSite its pages are
// given, and the window class "WuTempEdit_PropPageSite" that holds the
// shown page. The window is a control parent, so front ends and keyboard
// navigation reach the page's controls through it; it draws a 2-pixel
// etched edge and, when destroyed, deactivates and closes every page.
#pragma once

#include <atomic>

#include "fileio/WuTempEditState.h"
#include "platform/com/propertypagesite.h"
#include "platform/user/windows.h"

#define WUTEMPEDIT_SITE_CLASS u"WuTempEdit_PropPageSite"

class CWuTempEditSite final : public IPropertyPageSite {
 public:
  // A new site with no reference counted yet; the editor frees it with
  // Destroy once the pages are gone. NULL when memory runs out.
  static CWuTempEditSite* Create();
  static void Destroy(CWuTempEditSite* site);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  // Counts down, never below 0; the editor frees the object.
  ULONG Release() override;
  HRESULT OnStatusChange(DWORD flags) override;    // 0
  HRESULT GetLocaleID(LCID* locale) override;      // 1024
  HRESULT GetPageContainer(IUnknown** out) override;  // S_FALSE with NULL
  HRESULT TranslateAccelerator(MSG* message) override;  // S_FALSE

  LONG References() const { return references_.load(); }

 private:
  CWuTempEditSite() = default;
  ~CWuTempEditSite() = default;

  std::atomic<LONG> references_{0};  // references the pages hold
};

// Registers the site window class (once per process). TRUE when it exists.
BOOL WuTempEdit_RegisterSiteClass();
// Makes the site window (id 305) as a child of the dialog, holding the
// state so that its destruction closes the pages.
HWND WuTempEdit_CreateSiteWindow(WuTempEditState* state, HWND dialog);
// Deactivates and releases every page (their site and holder set free).
void WuTempEdit_ClosePages(WuTempEditState* state);
