// The error box of the extraction worker: an archive error code turned into
// a localised text, shown on the worker thread and owned by the progress
// page; the extraction then stops at the worker's next poll.
#include "Sfx/ArchiveCodes.h"
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"

namespace {

constexpr UINT kErrorBoxStyle = 0x30;  // exclamation, OK

// The main text and the second line of a code.
struct ErrorTexts {
  UINT main;    // UI string of the error
  UINT second;  // UI string of what happens now
};

ErrorTexts TextsOf(HRESULT code) {
  static const struct {
    HRESULT code;
    UINT main;
  } kTable[] = {
      {WUARC_ERR_MEMORY, SFX_IDS_ERR_MEMORY},       {WUARC_ERR_SIGNATURE, SFX_IDS_ERR_SIGNATURE},
      {WUARC_ERR_COPY, SFX_IDS_ERR_BLOCK},          {WUARC_ERR_BUFFER, SFX_IDS_ERR_BUFFER},
      {WUARC_ERR_DISK_SPACE, SFX_IDS_ERR_DISK_SPACE}, {WUARC_ERR_VOLUME_MISSING, SFX_IDS_ERR_VOLUME},
      {WUARC_ERR_NO_FILE, SFX_IDS_ERR_NO_FILE},     {WUARC_ERR_CRC, SFX_IDS_ERR_CRC},
  };
  for (const auto& row : kTable)
    if (row.code == code) return {row.main, SFX_IDS_ABORTING};
  return {SFX_IDS_ERR_OTHER, SFX_IDS_CANCELING};
}

// Builds the box text: the main text (filled with the detail after "|" of
// the operation text, when there is one), an empty line, the second line.
void BuildErrorText(HRESULT code, LPCWSTR operation, LPWSTR out, int size) {
  HWULANG lang = g_SfxRunState.lang;
  ErrorTexts texts = TextsOf(code);
  const WCHAR* bar = operation;
  while (*bar && *bar != u'|') ++bar;
  WCHAR main[SFX_PATH_SIZE * 2];
  if (*bar && bar[1])
    WuPrintFN(main, SFX_PATH_SIZE * 2, WuGetString(lang, texts.main), bar + 1);
  else
    WuStrCpyN(main, WuGetString(lang, texts.main), SFX_PATH_SIZE * 2);
  WuPrintFN(out, size, u"%s\n\n%s", main, WuGetString(lang, texts.second));
}

}  // namespace

void SfxReportArchiveError(CSfxExtractProgress* progress, HRESULT code) {
  WCHAR text[SFX_PATH_SIZE * 3];
  BuildErrorText(code, progress ? progress->ItemName() : u"", text, SFX_PATH_SIZE * 3);
  LPCWSTR caption = WuGetString(g_SfxRunState.lang, SFX_IDS_ERROR_CAPTION);
  if (!progress) {
    WuMessageBox(reinterpret_cast<HWND>(-1), text, caption, kErrorBoxStyle);
    return;
  }
  // The box waits for an open cancel question, and a cancel asked for while
  // it is shown is not asked any more: the extraction stops anyway.
  progress->BeginQuestion();
  WuMessageBox(progress->Owner() ? progress->Owner() : reinterpret_cast<HWND>(-1), text, caption,
               kErrorBoxStyle);
  progress->AskDeferredCancel(progress->EndQuestion(WUARC_ANSWER_CANCEL));
}
