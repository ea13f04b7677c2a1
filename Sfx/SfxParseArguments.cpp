// The option table and the parser that turns split arguments into a list of
// typed items.
#include "Sfx/SfxCommandLine.h"

#include "platform/kernel/locale.h"

const SfxOption g_SfxOptions[] = {
    {u"NOTEMP", SFXARG_NOTEMP, FALSE, 0},
    {u"RUN", SFXARG_RUN, TRUE, 0},
    {u"NOSETUP", SFXARG_NOSETUP, TRUE, 0},
    {u"POST_INSTALL", SFXARG_POST_INSTALL, TRUE, 0},
    {u"LOG", SFXARG_LOG, TRUE, 0},
    {u"DEBUG", SFXARG_DEBUG, TRUE, 0},
    {u"TRACE", SFXARG_TRACE, TRUE, 0},
    {u"TEMPEXT", SFXARG_TEMPEXT, FALSE, 0},
    {u"QUIET", SFXARG_QUIET, FALSE, 0},
    {u"HELP", SFXARG_HELP, FALSE, 0},
    {u"?", SFXARG_HELP, FALSE, 0},
    {u"l", SFXARG_LANGUAGE, TRUE, 0},
    {u"nl", SFXARG_NOLAUNCH, FALSE, 0},
    {u"nolaunch", SFXARG_NOLAUNCH, FALSE, 0},
    {u"ui", SFXARG_UI, TRUE, 0},
    {nullptr, 0, FALSE, 0},
};

namespace {

// An option argument taken apart: its table row and its value after ':'.
struct OptionParts {
  const SfxOption* option;  // the row, NULL when the name is not in the table
  LPWSTR value;             // text after the first ':', NULL without one
};

// The row named by `length` units at `name`, or NULL.
const SfxOption* FindOption(const WCHAR* name, size_t length) {
  if (length == 0 || length > SFX_OPTION_NAME_MAX) return nullptr;
  for (const SfxOption* row = g_SfxOptions; row->name; ++row) {
    if (platform::CompareText(name, length, row->name, platform::WStrLen(row->name), true) == 0)
      return row;
  }
  return nullptr;
}

// Takes apart an argument beginning with '-' or '/': one more '-' after the
// first character is skipped, the name runs to the first ':'.
OptionParts SplitOption(LPWSTR argument) {
  WCHAR* name = argument + 1;
  if (*name == u'-') ++name;
  WCHAR* colon = name;
  while (*colon && *colon != u':') ++colon;
  OptionParts parts;
  parts.option = FindOption(name, static_cast<size_t>(colon - name));
  parts.value = *colon ? colon + 1 : nullptr;
  return parts;
}

// TRUE when an argument is an option: "-..." always (an unknown name is then
// an error), "/..." only when its name is in the table (else it is a path).
bool IsOption(LPWSTR argument) {
  if (argument[0] == u'-') return true;
  return argument[0] == u'/' && SplitOption(argument).option != nullptr;
}

// The value an option or "@" finds in the next argument, or NULL when there
// is none or it is an option.
LPWSTR NextValue(LPWSTR* arguments, int index, int end) {
  if (index >= end || !arguments[index] || IsOption(arguments[index])) return nullptr;
  return arguments[index];
}

}  // namespace

HRESULT SfxParseArguments(tWULIST** list, LPWSTR* arguments, int first, int count) {
  if (!list) return E_POINTER;
  *list = nullptr;
  if (!arguments || first < 0 || count <= 0) return S_OK;
  tWULIST* items = nullptr;
  HRESULT hr = S_OK;
  int end = first + count;
  for (int i = first; i < end && arguments[i]; ++i) {
    LPWSTR argument = arguments[i];
    SfxArgument item = {SFXARG_WORD, FALSE, argument};
    if (argument[0] == u'@') {
      item.type = SFXARG_RESPONSE_FILE;
      item.takesValue = TRUE;
      item.value = argument[1] ? argument + 1 : NextValue(arguments, i + 1, end);
      if (!item.value) {
        hr = E_INVALIDARG;
        break;
      }
      if (!argument[1]) ++i;
    } else if (IsOption(argument)) {
      OptionParts parts = SplitOption(argument);
      if (!parts.option) {  // "-", "--" or an unknown name after '-'
        hr = E_INVALIDARG;
        break;
      }
      item.type = parts.option->type;
      item.takesValue = parts.option->takesValue;
      item.value = parts.value;
      bool hasValue = parts.value && *parts.value;
      if (!item.takesValue) {
        if (hasValue) {
          hr = E_INVALIDARG;
          break;
        }
        item.value = nullptr;
      } else if (!hasValue) {
        item.value = NextValue(arguments, i + 1, end);
        if (!item.value) {
          hr = E_INVALIDARG;
          break;
        }
        ++i;
      }
    }
    if (!items) {
      hr = WuList_CreateExZ(&items, sizeof(SfxArgument), -1, -1, WULIST_INPLACE);
      if (FAILED(hr)) {
        items = nullptr;
        break;
      }
    }
    hr = WuList_InsertList(items, -1, &item, 1);
    if (FAILED(hr)) break;
  }
  if (FAILED(hr)) {
    WuList_Destroy(items);
    return hr;
  }
  *list = items;
  return S_OK;
}
