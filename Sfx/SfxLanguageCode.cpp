// Language codes of the language option.
#include "Sfx/SfxCommandLine.h"

#include "platform/kernel/locale.h"

namespace {

// One three-letter code and its LCID.
struct LanguageCode {
  const WCHAR* code;  // e.g. "deu"
  LCID lcid;          // e.g. 1031
};

constexpr LanguageCode kLanguageCodes[] = {
    {u"cht", 1028}, {u"chs", 2052}, {u"dan", 1030}, {u"nld", 1043}, {u"enu", 1033},
    {u"fin", 1035}, {u"fra", 1036}, {u"deu", 1031}, {u"ita", 1040}, {u"jpn", 1041},
    {u"kor", 1042}, {u"nor", 1044}, {u"ptb", 1046}, {u"ptg", 2070}, {u"rus", 1049},
    {u"esn", 3082}, {u"sve", 1053},
};

}  // namespace

LCID SfxLanguageCodeToLCID(LPCWSTR code) {
  if (code) {
    for (const LanguageCode& row : kLanguageCodes)
      if (lstrcmpiW(code, row.code) == 0) return row.lcid;
  }
  return GetUserDefaultUILanguage();
}
