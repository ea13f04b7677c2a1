// CSfxExtractProgress: the progress object of the self-extractor's worker.
#include "Sfx/CSfxExtractProgress.h"

#include "Sfx/ArchiveCodes.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/threads.h"

namespace {

// The length of a folder path without its trailing separators.
int TrimmedLength(LPCWSTR path) {
  int n = WuStrLenSafe(path);
  while (n > 1 && (path[n - 1] == u'/' || path[n - 1] == u'\\')) --n;
  return n;
}

// TRUE when the two texts name the same folder (separators '\' and '/'
// alike, trailing separators ignored).
bool SameFolder(LPCWSTR a, LPCWSTR b) {
  int n = TrimmedLength(a);
  if (n == 0 || n != TrimmedLength(b)) return false;
  for (int i = 0; i < n; ++i) {
    WCHAR x = a[i] == u'\\' ? u'/' : a[i];
    WCHAR y = b[i] == u'\\' ? u'/' : b[i];
    if (x != y) return false;
  }
  return true;
}

// Files met in the run's own new temporary folder were put there by this
// run (the control archive's contents): they are overwritten unasked, as
// with the TEMPEXT option. A quiet run asks nothing either.
bool OverwriteWithoutAsking() {
  return g_SfxRunState.overwriteAll || g_SfxRunState.quiet ||
         SameFolder(g_SfxRunState.extractFolder, g_SfxRunState.tempFolder);
}

}  // namespace

CSfxExtractProgress::CSfxExtractProgress(HWND page, HWND bar, HWND status)
    : CWuArchiveProgress(page),
      m_progressBar(bar),
      m_statusText(status),
      m_statusFormat{},
      m_pageEnded(0),
      m_unreportedEntries(0) {
  WuLoadString(g_SfxRunState.lang, SFX_IDS_STATUS_FORMAT, m_statusFormat, 260);
}

HRESULT CSfxExtractProgress::BeginItem(LPCWSTR name, ULONGLONG) {
  SetFileName(name);
  return ReportStatus(WUARC_STATUS_ITEM_BEGUN);
}

HRESULT CSfxExtractProgress::ReportError(HRESULT code) {
  SfxReportArchiveError(this, code);
  return 0;
}

HRESULT CSfxExtractProgress::ReportStatus(HRESULT code) {
  switch (code) {
    case WUARC_STATUS_EXTRACTING: {
      WCHAR text[SFX_PATH_SIZE * 2];
      WuPrintFN(text, SFX_PATH_SIZE * 2, m_statusFormat, m_itemName);
      if (m_statusText) SetWindowTextW(m_statusText, text);
      if (m_progressBar) SendMessageW(m_progressBar, PBM_STEPIT, 0, 0);
      break;
    }
    case WUARC_STATUS_ASK:
    case WUARC_STATUS_ASK_READONLY:
      if (OverwriteWithoutAsking())
        SetState(WUARC_ANSWER_YES_ALL);
      else
        SfxAskOverwrite(this, code == WUARC_STATUS_ASK_READONLY);
      break;
    case WUARC_STATUS_SKIPPED:
      // A file left as it is was handled too: one step of the bar.
      if (m_progressBar) SendMessageW(m_progressBar, PBM_STEPIT, 0, 0);
      break;
    case WUARC_STATUS_FINISHED:
      // Folder entries are made without a report; they count now, so that
      // a complete extraction leaves the bar full when the page ends.
      if (m_progressBar && m_unreportedEntries > 0)
        SendMessageW(m_progressBar, PBM_DELTAPOS, static_cast<WPARAM>(m_unreportedEntries), 0);
      EndPage(SFX_PAGE_DONE);
      break;
    default:
      break;
  }
  return 0;
}

void CSfxExtractProgress::EndPage(INT_PTR result) {
  if (InterlockedExchange(&m_pageEnded, 1) != 0) return;
  if (m_owner) EndDialog(m_owner, result);
}

BOOL CSfxExtractProgress::PageEnded() const {
  return __atomic_load_n(&m_pageEnded, __ATOMIC_SEQ_CST) != 0;
}

void CSfxExtractProgress::AskDeferredCancel(BOOL requested) {
  if (!requested) return;
  // Without a page to ask, the request is answered "continue" so that the
  // worker's next poll does not wait for ever.
  if (!m_owner || !PostMessageW(m_owner, SFX_WM_ASK_CANCEL, 0, 0)) SetAnswer(0);
}
