// The overwrite question: dialog 1200 on the worker thread, owned by the
// progress page, and the answer it leaves in the progress object.
#include "Sfx/ArchiveCodes.h"
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "Sfx/SfxWizard.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"

namespace {

// The parameter block of dialog 1200.
struct SfxFileExistsParams {
  WCHAR fileName[SFX_PATH_SIZE];  // the file that exists
  BOOL readOnly;                  // it is marked read-only
};

// The answer word for a button of dialog 1200.
HRESULT AnswerOfButton(INT_PTR id) {
  switch (id) {
    case SFX_IDC_YES: return WUARC_ANSWER_YES;
    case SFX_IDC_YES_ALL: return WUARC_ANSWER_YES_ALL;
    case SFX_IDC_NO: return WUARC_ANSWER_NO;
    case SFX_IDC_NO_ALL: return WUARC_ANSWER_NO_ALL;
    default: return WUARC_ANSWER_CANCEL;  // Cancel, or the dialog failed
  }
}

void InitFileExistsDialog(HWND dialog, const SfxFileExistsParams* params) {
  HWULANG lang = g_SfxRunState.lang;
  SetWindowTextW(dialog, WuGetString(lang, SFX_IDS_EXISTS_CAPTION));
  static const struct {
    int control;  // button
    UINT text;    // its text
  } kButtons[] = {{SFX_IDC_YES, SFX_IDS_YES_BUTTON},       {SFX_IDC_YES_ALL, SFX_IDS_YES_ALL_BUTTON},
                  {SFX_IDC_NO, SFX_IDS_NO_BUTTON},         {SFX_IDC_NO_ALL, SFX_IDS_NO_ALL_BUTTON},
                  {IDCANCEL, SFX_IDS_CANCEL_BUTTON}};
  for (const auto& b : kButtons) SetDlgItemTextW(dialog, b.control, WuGetString(lang, b.text));
  WCHAR text[SFX_PATH_SIZE * 3];
  UINT format = params->readOnly ? SFX_IDS_EXISTS_READONLY_TEXT : SFX_IDS_EXISTS_TEXT;
  WuPrintFN(text, SFX_PATH_SIZE * 3, WuGetString(lang, format), params->fileName);
  SetDlgItemTextW(dialog, SFX_IDC_EXISTS_TEXT, text);
  SetDlgItemTextW(dialog, SFX_IDC_EXISTS_QUESTION, WuGetString(lang, SFX_IDS_EXISTS_QUESTION));
}

}  // namespace

INT_PTR SfxFileExistsDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      InitFileExistsDialog(dialog, reinterpret_cast<const SfxFileExistsParams*>(lparam));
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wparam) == 0) {
        EndDialog(dialog, LOWORD(wparam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR SfxShowFileExistsDialog(HWND owner, LPCWSTR fileName, BOOL readOnly) {
  SfxFileExistsParams params{};
  WuStrCpyN(params.fileName, fileName ? fileName : u"", SFX_PATH_SIZE);
  params.readOnly = readOnly;
  return WuDialogBoxParam(g_SfxRunState.lang, SFX_DLG_FILE_EXISTS, owner, SfxFileExistsDialogProc,
                          reinterpret_cast<LPARAM>(&params));
}

void SfxAskOverwrite(CSfxExtractProgress* progress, BOOL readOnly) {
  if (!progress || !g_SfxRunState.showOverwrite) return;
  HRESULT answer = WUARC_ANSWER_CANCEL;
  // A cancel question of the page is answered first; after an abort there
  // is nothing to ask.
  if (progress->BeginQuestion())
    answer = AnswerOfButton(SfxShowFileExistsDialog(progress->Owner(), progress->ItemName(), readOnly));
  progress->AskDeferredCancel(progress->EndQuestion(answer));
}
