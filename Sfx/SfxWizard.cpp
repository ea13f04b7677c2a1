// The wizard's page sequence, the pages' shared placement and the cancel
// confirmation.
#include "Sfx/SfxWizard.h"

#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "foundation/WuLang.h"
#include "foundation/WuLayout.h"
#include "foundation/WuMsgBox.h"

namespace {

constexpr UINT kConfirmStyle = 0x24;  // Yes/No with the question icon

// The pages in their order.
struct WizardPage {
  UINT dialog;  // dialog id
  DLGPROC proc; // its procedure
};
const WizardPage kPages[] = {
    {SFX_DLG_DESTINATION, SfxDestinationPageProc},
    {SFX_DLG_PROGRESS, SfxProgressPageProc},
};
constexpr int kPageCount = sizeof(kPages) / sizeof(kPages[0]);

}  // namespace

BOOL SfxRunWizard(BOOL startOnProgressPage) {
  int page = startOnProgressPage ? kPageCount - 1 : 0;
  for (;;) {
    INT_PTR result = WuDialogBoxParam(g_SfxRunState.lang, kPages[page].dialog, nullptr,
                                      kPages[page].proc, 0);
    if (result == SFX_PAGE_DONE) return TRUE;
    if (result == SFX_IDC_BACK) {
      if (page > 0) --page;
    } else if (result == SFX_IDC_NEXT && page + 1 < kPageCount) {
      ++page;
    } else {
      // Cancelled (2), a page that could not be shown (-1) or was destroyed
      // without an end (0), or no page to go on to.
      return FALSE;
    }
  }
}

void SfxPlaceWindow(HWND window) {
  if (g_SfxRunState.wizardX != -1 && g_SfxRunState.wizardY != -1)
    SetWindowPos(window, nullptr, g_SfxRunState.wizardX, g_SfxRunState.wizardY, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  else
    WuWndCenter(window, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
}

void SfxSaveWindowPosition(HWND window) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return;
  g_SfxRunState.wizardX = rect.left;
  g_SfxRunState.wizardY = rect.top;
}

BOOL SfxConfirmCancel(HWND owner) {
  HWULANG lang = g_SfxRunState.lang;
  return WuMessageBox(owner, WuGetString(lang, SFX_IDS_CONFIRM_CANCEL),
                      WuGetString(lang, SFX_IDS_WIZARD_CAPTION), kConfirmStyle) == IDYES;
}
