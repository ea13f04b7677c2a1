// The help box of the command line.
#include <string>
#include <string_view>

#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"

namespace {

// UI strings of the help box: its title and its text.
constexpr UINT kHelpTitleId = 600;
constexpr UINT kHelpTextId = 601;

// The package's name in the title, a token set once the settings are read.
constexpr std::u16string_view kTitleToken = u"$(AppName.Title)";

// Formats the help box's title into `title` (WUPRINTF_MAX characters). The
// help may be asked for before the settings are read, while the package's
// name is not known yet: the name then drops out of the title together with
// the separator that joined it ("$(AppName.Title) - Help" reads "Help"),
// rather than showing the token as written.
void FormatHelpTitle(const WCHAR* format, WCHAR* title) {
  WCHAR probe[kTitleToken.size() + 1];
  WuPrintFN(probe, static_cast<int>(kTitleToken.size() + 1), kTitleToken.data());
  if (!format || std::u16string_view(probe) != kTitleToken) {
    WuPrintFN(title, WUPRINTF_MAX, format);
    return;
  }
  std::u16string_view rest(format);
  std::u16string stripped;
  for (size_t at; (at = rest.find(kTitleToken)) != std::u16string_view::npos;) {
    stripped.append(rest.substr(0, at));
    rest.remove_prefix(at + kTitleToken.size());
  }
  stripped.append(rest);
  // The separator and spaces left at either end.
  constexpr std::u16string_view kTrim = u" -\u2013\u2014:";
  size_t first = stripped.find_first_not_of(kTrim);
  size_t last = stripped.find_last_not_of(kTrim);
  stripped = first == std::u16string::npos ? std::u16string() : stripped.substr(first, last - first + 1);
  WuPrintFN(title, WUPRINTF_MAX, stripped.c_str());
}

}  // namespace

void SfxShowHelp() {
  HWULANG lang = g_SfxRunState.lang;
  WCHAR title[WUPRINTF_MAX];
  WCHAR text[WUPRINTF_MAX];
  FormatHelpTitle(WuGetString(lang, kHelpTitleId), title);
  WuPrintFN(text, WUPRINTF_MAX, WuGetString(lang, kHelpTextId));
  WuMessageBox(nullptr, text, title, 0);
}
