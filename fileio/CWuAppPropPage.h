// The template editor's own page, "Project": the video rendering quality
// of the template (bits 0..2 of the option word at offset 22; the other
// bits are kept). It reads and hands back the template through the
// editor's holder (IWuFileIOTemplateEditHolder, given by SetObjects).
#pragma once

#include <atomic>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioPageInfo.h"
#include "platform/user/windows.h"

struct _wudlghdrcreate;
struct _wudlgctrlcreate;

// The page's dialog description (190 x 68 dialog units) and its controls.
const _wudlghdrcreate* WuTempEdit_AppPageHeader();
const _wudlgctrlcreate* WuTempEdit_AppPageControls();

class CWuAppPropPage final : public IWuFileIOPropertyPage {
 public:
  // A new page with one reference; NULL when memory runs out.
  static CWuAppPropPage* Create();

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // E_UNEXPECTED when a site is set already; NULL releases it.
  HRESULT SetPageSite(IPropertyPageSite* site) override;
  // Creates the page in `parent`, shows the holder's template and moves it
  // to `rect`. E_UNEXPECTED without a holder or when already created.
  HRESULT Activate(HWND parent, const RECT* rect, BOOL modal) override;
  HRESULT Deactivate() override;
  // Size sizeof(PROPPAGEINFO) (E_INVALIDARG otherwise), the title
  // "Project", the size of the description in pixels.
  HRESULT GetPageInfo(PROPPAGEINFO* info) override;
  // Count 1: the holder; 0: releases it; other counts E_UNEXPECTED.
  HRESULT SetObjects(ULONG count, IUnknown** objects) override;
  // SW_HIDE, SW_SHOWNORMAL and SW_SHOW only, else E_INVALIDARG.
  HRESULT Show(UINT command) override;
  HRESULT Move(const RECT* rect) override;
  // S_OK when a choice was made since the last apply, S_FALSE when clean.
  HRESULT IsPageDirty() override;
  // Hands a copy of the changed template to the holder.
  HRESULT Apply() override;
  // Help topic 230; 0x8004E046 when help cannot be shown.
  HRESULT Help(LPCWSTR helpFolder) override;
  HRESULT TranslateAccelerator(MSG* message) override;  // E_NOTIMPL
  // Takes a copy of the template to show.
  HRESULT SetTemplate(const tagWUTEMPLATExV2* record) override;
  // Shows the holder's current template again.
  HRESULT Refresh() override;

  // The page window (tests, the editor), NULL when not created.
  HWND Window() const { return window_; }

 private:
  CWuAppPropPage() = default;
  ~CWuAppPropPage();
  static INT_PTR PageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
  // Shows the template's quality in the list.
  void ShowTemplate();
  // The person picked row `row`.
  void Choose(int row);

  std::atomic<ULONG> references_{1};
  IPropertyPageSite* site_ = nullptr;              // one reference
  IWuFileIOTemplateEditHolder* holder_ = nullptr;  // one reference
  HWND window_ = nullptr;                          // the page dialog
  tagWUTEMPLATExV2* template_ = nullptr;           // the page's copy
  bool dirty_ = false;                             // a choice not yet applied
};
