// Applying parsed arguments to the run state, and the whole command line.
#include "Sfx/SfxCommandLine.h"

#include "Sfx/SfxRunState.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "platform/user/windows.h"
#include "platform/text/wprintf.h"

namespace {

// Style of the command line's boxes: exclamation icon, OK.
constexpr UINT kBoxStyle = 0x30;
// Language of the system's message texts: the user's default.
constexpr DWORD kMessageLanguage = 1024;
// Room for the system's text of a status code.
constexpr int kMessageSize = 512;
// Room for the format of a box.
constexpr int kFormatSize = 256;

// The format of a box: a row's text in the run's language and the line
// break that ends the box's text.
void BoxFormat(const WuLangStringRow& row, const WCHAR* ending, WCHAR* format, int size) {
  WuStrCpyN(format, WuGetString(g_SfxRunState.lang, &row), size);
  WuStrCatN(format, ending, size);
}

// Appends `head` and `value` (NULL: nothing) to the extras text when both
// fit whole; a piece that does not fit is left out, so the setup program
// never receives a cut option. Sets the extras flag.
void AppendExtras(const WCHAR* head, const WCHAR* value) {
  SfxRunState& run = g_SfxRunState;
  SIZE_T used = platform::WStrLen(run.extrasText);
  SIZE_T headLength = platform::WStrLen(head);
  SIZE_T valueLength = platform::WStrLen(value);
  run.extras = TRUE;
  if (used + headLength + valueLength >= static_cast<SIZE_T>(SFX_EXTRAS_SIZE)) return;
  WCHAR* at = run.extrasText + used;
  for (SIZE_T i = 0; i < headLength; ++i) *at++ = head[i];
  for (SIZE_T i = 0; i < valueLength; ++i) *at++ = value[i];
  *at = 0;
}

// The language option: passed on to the setup program and made the run's
// language.
void ApplyLanguage(const WCHAR* code) {
  if (!code || !*code) return;
  SfxRunState& run = g_SfxRunState;
  AppendExtras(u" -l ", code);
  WuLang_UpdateKernelLCID(run.lang, SfxLanguageCodeToLCID(code), 1);
  run.langOption = TRUE;
}

// Tells the user that an argument is not an option.
void ShowInvalidArgument(const WCHAR* argument) {
  WCHAR format[kFormatSize];
  BoxFormat(WuLangRow_SfxInvalidArgument, u"\n", format, kFormatSize);
  WuMsgBox(nullptr, kBoxStyle, format, argument);
}

// Applies one item to the run state and updates *result. Returns true when
// the remaining items must not be applied.
bool ApplyItem(const SfxArgument& item, HRESULT* result) {
  SfxRunState& run = g_SfxRunState;
  switch (item.type) {
    case SFXARG_RESPONSE_FILE:
      *result = SfxReadResponseFile(item.value);
      return *result == SFX_E_HELP_SHOWN;
    case SFXARG_HELP:
      SfxShowHelp();
      *result = SFX_E_HELP_SHOWN;
      return true;
    case SFXARG_RUN:
      run.run = TRUE;
      WuStrCpyN(run.extractFolder, item.value, SFX_PATH_SIZE);
      return false;
    case SFXARG_NOSETUP:
      run.noSetup = TRUE;
      return false;
    case SFXARG_POST_INSTALL:
      run.postInstall = TRUE;
      return false;
    case SFXARG_LOG:
    case SFXARG_DEBUG:
    case SFXARG_TRACE:
      return false;
    case SFXARG_QUIET:
      run.quiet = TRUE;
      return false;
    case SFXARG_TEMPEXT:
      // It takes no value, so the extraction folder stays as it is.
      run.overwriteAll = TRUE;
      return false;
    case SFXARG_NOTEMP:
      run.noTemp = TRUE;
      return false;
    case SFXARG_LANGUAGE:
      ApplyLanguage(item.value);
      return false;
    case SFXARG_NOLAUNCH:
      AppendExtras(u" --nolaunch", nullptr);
      return false;
    case SFXARG_UI:
      AppendExtras(u" --ui ", item.value);
      return false;
    default:
      ShowInvalidArgument(item.value);
      *result = E_INVALIDARG;
      return false;
  }
}

// Shows a failure of the command line with the system's text for the code
// (or, for the system's own codes, the library's).
void ShowFailure(HRESULT code) {
  WCHAR message[kMessageSize] = {};
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           static_cast<DWORD>(code), kMessageLanguage, message, kMessageSize,
                           nullptr);
  if (n == 0) WuStrCpyN(message, WuErrorHandler_GetHresultString(code), kMessageSize);
  WCHAR format[kFormatSize];
  BoxFormat(WuLangRow_SfxCommandLineError, u" \r\n", format, kFormatSize);
  WuMsgBox(nullptr, kBoxStyle, format, code, message);
}

// TRUE when the text holds something other than white space.
bool HasArguments(LPCWSTR text) {
  for (; text && *text; ++text)
    if (!platform::IsWhiteSpace(*text)) return true;
  return false;
}

}  // namespace

HRESULT SfxProcessOptions(LPWSTR* arguments, int first, int count) {
  tWULIST* list = nullptr;
  HRESULT hr = SfxParseArguments(&list, arguments, first, count);
  if (FAILED(hr)) return hr;
  HRESULT result = 0;
  LONG n = list ? list->count : 0;
  for (LONG i = 0; i < n; ++i) {
    SfxArgument item = *static_cast<const SfxArgument*>(WuList_ItemAt(list, i));
    if (ApplyItem(item, &result)) break;
  }
  WuList_Destroy(list);
  return result;
}

HRESULT SfxProcessCommandLine(LPCWSTR commandLine, BOOL skipFirst) {
  int count = 0;
  LPWSTR* arguments = SfxSplitCommandLine(commandLine, &count);
  HRESULT hr;
  int first = skipFirst ? 1 : 0;
  if (!arguments) {
    hr = HasArguments(commandLine) ? E_OUTOFMEMORY : 1;
  } else if (count <= first) {
    hr = 1;
  } else {
    hr = SfxProcessOptions(arguments, first, count - first);
  }
  if (arguments) GlobalFree(arguments);
  if (FAILED(hr) && hr != SFX_E_HELP_SHOWN && hr != E_INVALIDARG) ShowFailure(hr);
  return hr;
}
