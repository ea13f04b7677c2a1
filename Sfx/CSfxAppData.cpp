// CSfxAppData: defaults, reading and writing of the package settings.
#include "Sfx/CSfxAppData.h"

#include "foundation/WuLangTable.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/locale.h"
#include "platform/registry/profile.h"

namespace {

// Defaults of the keys without an empty default.
constexpr WCHAR kDefaultSetupApp[] = u"msisetup.exe";
constexpr WCHAR kDefaultTitleFont[] = u"MS Sans Serif";
constexpr WCHAR kDefaultTitleFontColor[] = u"0,0,0";
constexpr INT kDefaultLcid = 9;
constexpr INT kDefaultFlag = 1;

// Primary language id of Spanish; every Spanish counts as 3082 when the
// package language is chosen automatically.
constexpr WORD kSpanishPrimary = 10;
constexpr LANGID kSpanish = 3082;

// The package's languages (only the LCIDs are used).
struct PackageLanguage {
  WCHAR code[4];  // three-letter code
  WORD lcid;      // its LCID
};
constexpr PackageLanguage kPackageLanguages[] = {
    {u"enu", 1033}, {u"chs", 2052}, {u"cht", 1028}, {u"deu", 1031}, {u"esp", 3082},
    {u"fra", 1036}, {u"ita", 1040}, {u"jpn", 1041}, {u"kor", 1042}, {u"nld", 1043},
    {u"ptg", 2070}, {u"ptb", 1046}, {u"fin", 1035}, {u"sve", 1053}, {u"nor", 1044},
    {u"rus", 1049}, {u"dan", 1030},
};

// Reads one text key.
void ReadText(LPCWSTR path, LPCWSTR key, LPCWSTR def, WCHAR* buffer, int size) {
  GetPrivateProfileStringW(kSfxSettingsSection, key, def, buffer, static_cast<DWORD>(size), path);
}

// TRUE when a text would not read back as written: white space at either
// end is trimmed and a matching pair of enclosing quotes is dropped.
bool NeedsQuotes(LPCWSTR text) {
  SIZE_T n = platform::WStrLen(text);
  if (n == 0) return false;
  if (platform::IsWhiteSpace(text[0]) || platform::IsWhiteSpace(text[n - 1])) return true;
  return n >= 2 && (text[0] == u'"' || text[0] == u'\'') && text[n - 1] == text[0];
}

// Writes one text key, enclosed in double quotes when the reader would
// otherwise change it. FALSE when the write fails.
bool WriteText(LPCWSTR path, LPCWSTR key, LPCWSTR value) {
  if (!NeedsQuotes(value))
    return WritePrivateProfileStringW(kSfxSettingsSection, key, value, path) != FALSE;
  // The longest member (1,023 units) and its quotes; copied, not formatted,
  // so that token references stay as written.
  WCHAR quoted[SFXAPP_NAME_SIZE + 2];
  SIZE_T n = platform::WStrLen(value);
  if (n > SFXAPP_NAME_SIZE - 1) n = SFXAPP_NAME_SIZE - 1;
  quoted[0] = u'"';
  for (SIZE_T i = 0; i < n; ++i) quoted[i + 1] = value[i];
  quoted[n + 1] = u'"';
  quoted[n + 2] = 0;
  return WritePrivateProfileStringW(kSfxSettingsSection, key, quoted, path) != FALSE;
}

// Writes one number key ("%d").
bool WriteInt(LPCWSTR path, LPCWSTR key, INT value) {
  WCHAR text[WUNUMBER_TEXT_MAX];
  WuPrintFN(text, WUNUMBER_TEXT_MAX, u"%d", value);
  return WritePrivateProfileStringW(kSfxSettingsSection, key, text, path) != FALSE;
}

}  // namespace

CSfxAppData::CSfxAppData()
    : ExtractToTemp(kDefaultFlag),
      ShowOverwrite(kDefaultFlag),
      Banner{},
      DefaultTarget{},
      Title{},
      Name{},
      SetupApp{},
      SetupAppParams{},
      TitleFont{},
      TitleFontColor{},
      Lcid(kDefaultLcid) {
  WuStrCpyN(DefaultTarget, kSfxDefaultTarget, SFXAPP_PATH_SIZE);
  WuStrCpyN(SetupApp, kDefaultSetupApp, SFXAPP_PATH_SIZE);
  WuStrCpyN(TitleFont, kDefaultTitleFont, SFXAPP_FONT_SIZE);
  WuStrCpyN(TitleFontColor, kDefaultTitleFontColor, SFXAPP_COLOR_SIZE);
}

CSfxAppData::~CSfxAppData() = default;

void* CSfxAppData::operator new(std::size_t bytes) noexcept { return WuGlobalNew(bytes); }

void CSfxAppData::operator delete(void* pointer) noexcept { WuGlobalDelete(pointer); }

HRESULT CSfxAppData::ReadWriteProfile(LPCWSTR path, BOOL write) {
  return write ? WriteProfile(path) : ReadProfile(path);
}

HRESULT CSfxAppData::ReadProfile(LPCWSTR path) {
  ReadText(path, u"Banner", u"", Banner, SFXAPP_PATH_SIZE);
  ReadText(path, u"DefaultTarget", kSfxDefaultTarget, DefaultTarget, SFXAPP_PATH_SIZE);
  ReadText(path, u"Title", u"", Title, SFXAPP_NAME_SIZE);
  ReadText(path, u"Name", u"", Name, SFXAPP_NAME_SIZE);
  ReadText(path, u"SetupApp", kDefaultSetupApp, SetupApp, SFXAPP_PATH_SIZE);
  ReadText(path, u"SetupAppParams", u"", SetupAppParams, SFXAPP_PATH_SIZE);
  ReadText(path, u"TitleFont", kDefaultTitleFont, TitleFont, SFXAPP_FONT_SIZE);
  ReadText(path, u"TitleFontColor", kDefaultTitleFontColor, TitleFontColor, SFXAPP_COLOR_SIZE);
  Lcid = GetPrivateProfileIntW(kSfxSettingsSection, u"LCID", kDefaultLcid, path);
  if (Lcid == 0) Lcid = SfxAutomaticPackageLCID();
  ExtractToTemp = static_cast<INT>(
      GetPrivateProfileIntW(kSfxSettingsSection, u"ExtractToTemp", kDefaultFlag, path));
  ShowOverwrite = static_cast<INT>(
      GetPrivateProfileIntW(kSfxSettingsSection, u"ShowOverwrite", kDefaultFlag, path));
  return S_OK;
}

HRESULT CSfxAppData::WriteProfile(LPCWSTR path) const {
  WCHAR lcid[WUNUMBER_TEXT_MAX];
  WuDWordToText(Lcid, lcid, FALSE);
  bool ok = WriteText(path, u"Banner", Banner) && WriteText(path, u"DefaultTarget", DefaultTarget) &&
            WriteText(path, u"Title", Title) && WriteText(path, u"Name", Name) &&
            WriteText(path, u"SetupApp", SetupApp) &&
            WriteText(path, u"SetupAppParams", SetupAppParams) &&
            WriteText(path, u"TitleFont", TitleFont) &&
            WriteText(path, u"TitleFontColor", TitleFontColor) &&
            WritePrivateProfileStringW(kSfxSettingsSection, u"LCID", lcid, path) &&
            WriteInt(path, u"ExtractToTemp", ExtractToTemp) &&
            WriteInt(path, u"ShowOverwrite", ShowOverwrite);
  return ok ? S_OK : E_FAIL;
}

LCID SfxAutomaticPackageLCID() {
  LCID system = WuLang_GetConditionedLCID(GetSystemDefaultLCID());
  LANGID user = GetUserDefaultLangID();
  if (PRIMARYLANGID(user) == kSpanishPrimary) user = kSpanish;
  for (const PackageLanguage& row : kPackageLanguages)
    if (row.lcid == user) return system;
  return SFXAPP_FALLBACK_LCID;
}

COLORREF SfxParseColor(LPCWSTR text) {
  if (!text) return 0;
  const WCHAR* first = text;
  while (*first && *first != u',') ++first;
  if (!*first) return 0;
  const WCHAR* second = first + 1;
  while (*second && *second != u',') ++second;
  if (!*second) return 0;
  // Each part is read from its own terminated copy, so that a number never
  // runs on into the next part.
  const WCHAR* starts[3] = {text, first + 1, second + 1};
  const WCHAR* ends[3] = {first, second, second + 1 + platform::WStrLen(second + 1)};
  COLORREF color = 0;
  for (int i = 0; i < 3; ++i) {
    WCHAR part[64];
    SIZE_T n = static_cast<SIZE_T>(ends[i] - starts[i]);
    if (n > 63) n = 63;
    for (SIZE_T k = 0; k < n; ++k) part[k] = starts[i][k];
    part[n] = 0;
    color |= (static_cast<COLORREF>(WuTextToLongToken(part, nullptr)) & 0xFF) << (8 * i);
  }
  return color;
}
