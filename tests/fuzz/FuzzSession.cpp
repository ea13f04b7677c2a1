// The self-extractor's process state of the fuzz targets (FuzzSession.h).
#include "tests/fuzz/FuzzSession.h"

#include "Sfx/SfxRunState.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuPrintF.h"
#include "platform/user/frontend.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "tests/fuzz/FuzzSupport.h"

namespace wufuzz {

HWULANG SfxSession() {
  static HWULANG lang = [] {
    Root();
    HWULANG made = nullptr;
    if (WuLang_Open(&made, GetModuleHandleW(nullptr), 0, 0) != S_OK)
      Fail("cannot open", "language handle");
    WuKernel_SetLangHandle(made);
    WuPrintF_CreateTokens();
    static platform::NonInteractiveFrontEnd frontEnd;
    platform::SetFrontEnd(&frontEnd);
    return made;
  }();
  return lang;
}

void ResetSfxRun() {
  HWULANG lang = SfxSession();
  g_SfxRunState = {};
  g_SfxRunState.lang = lang;
  g_SfxRunState.wizardX = -1;
  g_SfxRunState.wizardY = -1;
  platform::SetUserLocale(0, 0);
  platform::SetSystemLocale(0);
  WuLang_UpdateKernelLCID(lang, 0, 1);
}

}  // namespace wufuzz
