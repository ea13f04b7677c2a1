// CSfxExtractProgress: the self-extractor's progress object. The extraction
// worker's archive reports through it; it drives the progress page (status
// text and bar), asks the overwrite question (dialog 1200), shows error
// boxes and ends the page when extraction ends. Every callback runs on the
// worker thread; the boxes it shows are owned by the progress page.
//
// The progress page asks the cancel question on the main thread through
// the base class's RequestCancel/SetAnswer. When a cancel is requested
// while the worker shows a question of its own, the page is sent
// SFX_WM_ASK_CANCEL once that question has closed, and asks then.
//
// A quiet run's object has no page, bar or status text: it asks nothing
// (every existing file is overwritten) and its error boxes, without an
// owner, are answered by the front end, which writes them out.
#pragma once

#include "Sfx/CWuArchiveProgress.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// Posted to the progress page: ask the cancel question now.
constexpr UINT SFX_WM_ASK_CANCEL = WM_APP + 0x100;

class CSfxExtractProgress : public CWuArchiveProgress {
 public:
  // `page` owns the boxes and is ended by EndPage; `bar` and `status` are
  // its progress bar and status text (any may be NULL). Loads the status
  // format (UI string 154).
  CSfxExtractProgress(HWND page, HWND bar, HWND status);

  // Sets the item name and reports WUARC_STATUS_ITEM_BEGUN; no totals.
  HRESULT BeginItem(LPCWSTR name, ULONGLONG total) override;
  // Shows the error box for the code; the answer word becomes an abort.
  HRESULT ReportError(HRESULT code) override;
  // A file begins, or is skipped: one step of the bar (and, when it
  // begins, the status text). A target exists: the overwrite question (or
  // "yes to all" without one, see the .cpp). The operation finished: the
  // bar counts the unreported entries, the page ends with 1. Always 0.
  HRESULT ReportStatus(HRESULT code) override;

  // Ends the progress page with `result` the first time; later calls (and
  // calls without a page) do nothing.
  void EndPage(INT_PTR result);
  // TRUE once EndPage has ended the page.
  BOOL PageEnded() const;
  // Entries the archive handles without a report (folder entries): the
  // bar counts them when the operation finishes.
  void SetUnreportedEntries(LONG count) { m_unreportedEntries = count; }
  // After a question of the worker: has the page ask a cancel question that
  // was requested while it was open (EndQuestion's answer).
  void AskDeferredCancel(BOOL requested);

  HWND ProgressBar() const { return m_progressBar; }
  HWND StatusText() const { return m_statusText; }

 protected:
  HWND m_progressBar;        // the page's progress bar, or NULL
  HWND m_statusText;         // the page's status text, or NULL
  WCHAR m_statusFormat[260]; // UI string 154, "Extracting: %s"
  LONG m_pageEnded;          // 1 once the page was ended (interlocked)
  LONG m_unreportedEntries;  // folder entries, counted by the bar at the end
};

// The overwrite question for the progress object's current item: with the
// ShowOverwrite setting on, dialog 1200 owned by the progress page, its
// answer stored in the object (Yes 1, Yes to All 3, No 2, No to All 4,
// Cancel or a dialog that cannot be shown: abort). With the setting off the
// answer stays 0, which the archive takes as "overwrite".
void SfxAskOverwrite(CSfxExtractProgress* progress, BOOL readOnly);

// The error box of an archive error: the text by code (the item name is
// the operation text, optionally "|" and a detail that fills the text's
// "%s"), caption UI 500, owned by the progress page; afterwards the
// object's answer word is an abort, so the worker's next poll stops it.
// `progress` may be NULL (a box without owner; nothing is stored).
void SfxReportArchiveError(CSfxExtractProgress* progress, HRESULT code);
