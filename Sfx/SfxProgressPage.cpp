// The progress page (dialog 1000): starts the extraction worker with a
// progress object, shows what it extracts, and asks the cancel question.
// The worker ends the page: 1 when the archive operation ended, 2 when
// extraction could not go on.
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/ArchiveCodes.h"
#include "Sfx/SfxExtractWorker.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "Sfx/SfxWizard.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "platform/kernel/threads.h"

namespace {

void InitPage(HWND page) {
  SetWindowTextW(page, g_SfxRunState.windowTitle);
  WCHAR text[WUPRINTF_MAX];
  WuPrintFN(text, WUPRINTF_MAX, WuGetString(g_SfxRunState.lang, SFX_IDS_WAIT_TEXT));
  SetDlgItemTextW(page, SFX_IDC_WAIT_TEXT, text);
  HWND bar = GetDlgItem(page, SFX_IDC_PROGRESS_BAR);
  g_SfxRunState.progressBar = bar;
  SfxPlaceWindow(page);
  auto* progress = new CSfxExtractProgress(page, bar, GetDlgItem(page, SFX_IDC_STATUS));
  if (!progress) {
    // Nothing can be extracted: the run fails like a failed extraction.
    g_SfxRunState.extractResult = E_OUTOFMEMORY;
    if (g_SfxRunState.endEvent) SetEvent(g_SfxRunState.endEvent);
    EndDialog(page, SFX_PAGE_CANCEL);
    return;
  }
  if (g_SfxRunState.progress) {
    // A page shown again replaces the object of the earlier worker, once
    // that worker has ended.
    if (g_SfxRunState.workerThread) WaitForSingleObject(g_SfxRunState.workerThread, INFINITE);
    delete g_SfxRunState.progress;
  }
  g_SfxRunState.progress = progress;
  if (!SfxStartExtractWorker(progress)) EndDialog(page, SFX_PAGE_CANCEL);
}

// Asks the cancel question and hands the answer to the worker.
void AskCancel(HWND page) {
  CSfxExtractProgress* progress = g_SfxRunState.progress;
  if (!progress) return;
  progress->SetAnswer(SfxConfirmCancel(page) ? WUARC_ANSWER_CANCEL : 0);
}

void Paint(HWND page) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(page, &paint);
  if (!dc) return;
  SfxPaintBanner(page, dc);
  SfxPaintHeading(page, dc, SFX_IDS_EXTRACTING_HEADING, SFX_IDC_PROGRESS_BAR);
  EndPaint(page, &paint);
}

}  // namespace

INT_PTR SfxProgressPageProc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitPage(page);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDCANCEL && g_SfxRunState.progress) {
        // While the worker asks a question of its own the cancel question
        // waits; the progress object posts SFX_WM_ASK_CANCEL when it closes.
        if (g_SfxRunState.progress->RequestCancel()) AskCancel(page);
      }
      return TRUE;
    case SFX_WM_ASK_CANCEL:
      AskCancel(page);
      return TRUE;
    case WM_PAINT:
      Paint(page);
      return TRUE;
    case WM_DESTROY:
      g_SfxRunState.progressBar = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}
