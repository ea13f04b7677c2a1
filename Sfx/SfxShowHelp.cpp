// The help box of the command line.
#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"

namespace {

// UI strings of the help box: its title and its text.
constexpr UINT kHelpTitleId = 600;
constexpr UINT kHelpTextId = 601;

}  // namespace

void SfxShowHelp() {
  HWULANG lang = g_SfxRunState.lang;
  WCHAR title[WUPRINTF_MAX];
  WCHAR text[WUPRINTF_MAX];
  // Both are formatted text: the title names "$(AppName.Title)", which
  // stays as written while the settings have not been read.
  WuPrintFN(title, WUPRINTF_MAX, WuGetString(lang, kHelpTitleId));
  WuPrintFN(text, WUPRINTF_MAX, WuGetString(lang, kHelpTextId));
  WuMessageBox(nullptr, text, title, 0);
}
