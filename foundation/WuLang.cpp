#include "foundation/WuLang.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuLangRows.h"
#include "foundation/WuPath.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/error.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/locale.h"
#include "platform/text/mlang.h"
#include "platform/registry/registry.h"
#include "platform/kernel/resource.h"

namespace {

const WCHAR kEmpty[] = u"";      // the shared empty text
const CHAR kEmptyA[] = "";       // its byte form
constexpr DWORD kMbPrecomposed = 0x00000001;  // MultiByteToWideChar: composed characters
constexpr LANGID kEnglishUS = 1033;
constexpr LCID kJapanese = 1041;

// ---- Small helpers ------------------------------------------------------------------------
// Holds a handle's lock for a scope (nothing when the lock was never made).
class HandleLock {
 public:
  explicit HandleLock(HWULANG lang) : lang_(lang) {
    if (lang_->lockReady) EnterCriticalSection(&lang_->lock);
  }
  ~HandleLock() {
    if (lang_->lockReady) LeaveCriticalSection(&lang_->lock);
  }
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;

 private:
  HWULANG lang_;
};

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// Copies `count` units (at most size-1) and terminates; returns the units
// copied. size must be at least 1.
int CopyCounted(LPWSTR dest, const WCHAR* source, DWORD count, int size) {
  DWORD copy = count < static_cast<DWORD>(size - 1) ? count : static_cast<DWORD>(size - 1);
  if (copy) std::memcpy(dest, source, copy * sizeof(WCHAR));
  dest[copy] = 0;
  return static_cast<int>(copy);
}

// A text that begins with "^*" loses those two characters.
int StripMarker(LPWSTR text, int length) {
  if (length >= 2 && text[0] == u'^' && text[1] == u'*') {
    std::memmove(text, text + 2, (static_cast<size_t>(length) - 2 + 1) * sizeof(WCHAR));
    return length - 2;
  }
  return length;
}

// Entry `id` of the RT_STRING block in `module` in `language`: its text
// (not terminated) and its length without a stored terminator. FALSE when
// the block or the entry is missing.
bool FindBlockString(HMODULE module, UINT id, LANGID language, const WCHAR** text,
                     DWORD* count, const WCHAR** block_end) {
  HRSRC found = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  HGLOBAL data = found ? LoadResource(module, found) : nullptr;
  const void* block = data ? LockResource(data) : nullptr;
  DWORD size = block ? SizeofResource(module, found) : 0;
  if (!block || !platform::StringBlockEntry(block, size, id % 16, text, count)) return false;
  if (*count > 0 && (*text)[*count - 1] == 0) --*count;  // the stored terminator
  *block_end = reinterpret_cast<const WCHAR*>(static_cast<const BYTE*>(block) + (size & ~1u));
  return true;
}

// Copies string `id` of a block lookup into the buffer; the length copied.
int LoadFromBlock(HMODULE module, UINT id, LANGID language, LPWSTR buffer, int size) {
  const WCHAR* text = nullptr;
  const WCHAR* end = nullptr;
  DWORD count = 0;
  if (!FindBlockString(module, id, language, &text, &count, &end)) return 0;
  return CopyCounted(buffer, text, count, size);
}

// String `id` in place when it is terminated inside its block, else NULL.
const WCHAR* InPlaceString(HMODULE module, UINT id, LANGID language) {
  const WCHAR* text = nullptr;
  const WCHAR* end = nullptr;
  DWORD count = 0;
  if (!FindBlockString(module, id, language, &text, &count, &end)) return nullptr;
  return text + count < end && text[count] == 0 ? text : nullptr;
}

// The handle's column, found on first use (any thread may find it; all
// find the same).
int ColumnOf(HWULANG lang) {
  if (!lang) return 1;
  std::atomic_ref<int> column(lang->column);
  int found = column.load(std::memory_order_relaxed);
  if (found <= 0) {
    LCID lcid = lang->lcid ? lang->lcid : GetUserDefaultUILanguage();
    found = WuLangTable_FindColumn(lcid);
    if (found <= 0) found = 1;
    column.store(found, std::memory_order_relaxed);
  }
  return found;
}

// The language resource module loaded from the file beside the owner
// module: its name with the extension (in the file-name part only)
// replaced by "LNG", unchanged when it has none. NULL when it does not load.
HMODULE LoadLanguageModule(HMODULE owner) {
  WCHAR path[MAX_PATH];
  DWORD n = WuGetModuleFileName(owner, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  int dot = -1;
  for (int i = static_cast<int>(n) - 1; i >= 0 && !IsSeparator(path[i]); --i) {
    if (path[i] == u'.') {
      dot = i;
      break;
    }
  }
  if (dot >= 0) {
    if (dot + 4 >= MAX_PATH) return nullptr;
    WuStrCpyN(path + dot + 1, u"LNG", MAX_PATH - dot - 1);
  }
  return LoadLibraryW(path);
}

// Sets a handle's language (for WuLang_UpdateKernelLCID).
void SetHandleLanguage(HWULANG lang, LCID lcid) {
  HandleLock lock(lang);
  if (lcid != lang->lcid) {
    lang->column = 0;
    lang->lcid = lcid;
    if (lang->cache) WuList_DeleteList(lang->cache, 0, -1, FALSE);
  }
  lang->langModuleEnabled = !WuLang_IsLCIDEnglish(lcid);
}

// Sets a handle's language resource module, releasing one it loaded itself.
void SetLanguageModule(HWULANG lang, HMODULE module) {
  if (lang->langModule == module) return;
  if (lang->ownsLangModule && lang->langModule) FreeLibrary(lang->langModule);
  lang->langModule = module;
  lang->ownsLangModule = FALSE;
}

int CompareCacheId(INT_PTR, const void* key, const void* item) {
  DWORD a = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(key));
  DWORD b;
  std::memcpy(&b, item, sizeof b);
  return a < b ? -1 : (a > b ? 1 : 0);
}

// ---- The internationals record ------------------------------------------------------------------
WUINTERNATIONALS g_inat;  // process-wide; written without a lock (start-up, language changes)

// Reads a text item into a field of `chars` characters (cut to fit).
void ReadLocaleText(LCTYPE type, WCHAR* field, DWORD* length, int chars) {
  WCHAR text[256];
  int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 256);
  *length = n > 0 ? static_cast<DWORD>(WuStrCpyNLen(field, text, chars)) : 0;
  if (n <= 0) field[0] = 0;
}

// Reads an item and takes its leading decimal digits as a number.
DWORD ReadLocaleNumber(LCTYPE type) {
  WCHAR text[64];
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, type, text, 64) <= 0) return 0;
  DWORD value = 0;
  for (const WCHAR* p = WuSkipWhiteSpace(text); *p >= u'0' && *p <= u'9'; ++p)
    value = value * 10 + static_cast<DWORD>(*p - u'0');
  return value;
}

void SetSeparator(WCHAR* field, DWORD* length, const WCHAR* text) {
  *length = static_cast<DWORD>(WuStrCpyNLen(field, text, WUINAT_SEP_CHARS));
}

// TRUE when `text` holds exactly `count` "%s" conversions and no other
// ("%%" aside), so that it can be formatted with `count` texts.
bool HasOnlyTextConversions(const WCHAR* text, int count) {
  int found = 0;
  for (const WCHAR* p = text; *p; ++p) {
    if (*p != u'%') continue;
    if (p[1] == u'%') {
      ++p;
    } else if (p[1] == u's') {
      ++found;
      ++p;
    } else {
      return false;
    }
  }
  return found == count;
}

// The row's text in the kernel handle's language, formatted with the
// separators, and registered as a token.
void AddLabelToken(const WCHAR* name, const WuLangStringRow& row, const WCHAR* a, const WCHAR* b,
                   const WCHAR* c) {
  int count = c ? 3 : 2;
  const WCHAR* format = WuGetString(WuKernel_GetLangHandle(), &row);
  if (!HasOnlyTextConversions(format, count)) {
    // A translation that does not fit the arguments: the first language's.
    format = row.text[0];
    if (reinterpret_cast<UINT_PTR>(format) < 0x10000 || !HasOnlyTextConversions(format, count))
      return;
  }
  WCHAR label[WUPRINTF_MAX];
  WuPrintFN(label, WUPRINTF_MAX, format, a, b, c);
  WuPrintF_AddToken(name, label);
}

void ReadInternationals() {
  WUINTERNATIONALS& r = g_inat;
  std::memset(&r, 0, sizeof r);
  r.size = WUINTERNATIONALS_SIZE;
  r.systemLCID = GetSystemDefaultLCID();
  r.language = ReadLocaleNumber(LOCALE_ILANGUAGE);
  ReadLocaleText(LOCALE_SLANGUAGE, r.languageName, &r.languageNameLen, WUINAT_NAME_CHARS);
  ReadLocaleText(LOCALE_SENGLANGUAGE, r.englishLanguageName, &r.englishLanguageNameLen,
                 WUINAT_NAME_CHARS);
  r.country = ReadLocaleNumber(LOCALE_ICOUNTRY);
  ReadLocaleText(LOCALE_SCOUNTRY, r.countryName, &r.countryNameLen, WUINAT_NAME_CHARS);
  ReadLocaleText(LOCALE_SENGCOUNTRY, r.englishCountryName, &r.englishCountryNameLen,
                 WUINAT_NAME_CHARS);
  ReadLocaleText(LOCALE_SNEGATIVESIGN, r.negativeSign, &r.negativeSignLen, WUINAT_SEP_CHARS);
  SetSeparator(r.minusSign, &r.minusSignLen, u"-");
  ReadLocaleText(LOCALE_STHOUSAND, r.thousandSep, &r.thousandSepLen, WUINAT_SEP_CHARS);
  ReadLocaleText(LOCALE_SDECIMAL, r.decimalSep, &r.decimalSepLen, WUINAT_SEP_CHARS);
  r.grouping = ReadLocaleNumber(LOCALE_SGROUPING);
  r.digits = ReadLocaleNumber(LOCALE_IDIGITS);
  r.leadingZero = ReadLocaleNumber(LOCALE_ILZERO);
  ReadLocaleText(LOCALE_STIME, r.timeSep, &r.timeSepLen, WUINAT_SEP_CHARS);
  ReadLocaleText(LOCALE_SLIST, r.listSep, &r.listSepLen, WUINAT_SEP_CHARS);
  r.measure = ReadLocaleNumber(LOCALE_IMEASURE);

  // Numbers must stay readable: a decimal separator equal to the thousands
  // separator becomes the other of "," and ".". (An empty thousands
  // separator equals nothing.)
  if (r.thousandSepLen > 0 &&
      std::memcmp(r.thousandSep, r.decimalSep, r.thousandSepLen * sizeof(WCHAR)) == 0)
    SetSeparator(r.decimalSep, &r.decimalSepLen,
                 r.thousandSepLen == 1 && r.thousandSep[0] == u'.' ? u"," : u".");

  SetSeparator(r.smpteWholeSep, &r.smpteWholeSepLen, u":");
  SetSeparator(r.smpteNonDropSep, &r.smpteNonDropSepLen, u".");
  SetSeparator(r.smpteDropSep, &r.smpteDropSepLen, u",");
  SetSeparator(r.measureBeatSep, &r.measureBeatSepLen, u".");
  SetSeparator(r.beatTickSep, &r.beatTickSepLen, u".");
  WuPrintF_AddToken(u"SMPTE.Whole", r.smpteWholeSep);
  WuPrintF_AddToken(u"SMPTE.NonDrop", r.smpteNonDropSep);
  WuPrintF_AddToken(u"SMPTE.Drop", r.smpteDropSep);
  WuPrintF_AddToken(u"m.b", r.measureBeatSep);
  WuPrintF_AddToken(u"b.t", r.beatTickSep);

  AddLabelToken(u"SMPTE.Label.NonDrop", WuLangRow_SmpteLabels, r.smpteWholeSep, r.smpteWholeSep,
                r.smpteNonDropSep);
  AddLabelToken(u"SMPTE.Label.Drop", WuLangRow_SmpteLabels, r.smpteWholeSep, r.smpteWholeSep,
                r.smpteDropSep);
  AddLabelToken(u"SMPTE.Label.NonDrop.Full", WuLangRow_SmpteLabelsFull, r.smpteWholeSep,
                r.smpteWholeSep, r.smpteNonDropSep);
  AddLabelToken(u"SMPTE.Label.Drop.Full", WuLangRow_SmpteLabelsFull, r.smpteWholeSep,
                r.smpteWholeSep, r.smpteDropSep);
  AddLabelToken(u"MusicTime.Label", WuLangRow_MusicTimeLabels, r.measureBeatSep, r.beatTickSep,
                nullptr);
  AddLabelToken(u"MusicTime.Label.Full", WuLangRow_MusicTimeLabelsFull, r.measureBeatSep,
                r.beatTickSep, nullptr);
}

// ---- The user's language in the registry ---------------------------------------------------------------
std::u16string LangKeyPath(LPCWSTR company, LPCWSTR product, DWORD version) {
  std::u16string key = u"Software\\";
  key += company;
  key += u"\\";
  key += product;
  if (version >> 24) {
    std::string numbers = std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 0xFF);
    key += u"\\";
    key += std::u16string(numbers.begin(), numbers.end());
  }
  return key + u"\\Lang";
}

BOOL LoadLangId(LPCWSTR company, LPCWSTR product, DWORD version, LCID* lcid) {
  if (!company || !product || !lcid) return FALSE;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, LangKeyPath(company, product, version).c_str(), 0,
                    KEY_READ, &key) != ERROR_SUCCESS)
    return FALSE;
  DWORD value = 0;
  DWORD size = sizeof value;
  LONG status = RegQueryValueExW(key, u"ULangID", nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return FALSE;
  *lcid = value & 0xFFFF;
  return TRUE;
}

BOOL SaveLangId(LPCWSTR company, LPCWSTR product, DWORD version, LCID lcid) {
  if (!company || !product) return FALSE;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, LangKeyPath(company, product, version).c_str(), 0,
                      nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return FALSE;
  DWORD value = lcid & 0xFFFF;
  LONG status = RegSetValueExW(key, u"ULangID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                               sizeof value);
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

constexpr WCHAR kCompany[] = u"Talvene";

}  // namespace

// ---- Opening and closing ------------------------------------------------------------------------------
HRESULT WuLang_Open(HWULANG* out, HMODULE owner, LCID lcid, int bufferSize) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* lang = static_cast<WULANG*>(std::calloc(1, sizeof(WULANG)));
  if (!lang) return E_OUTOFMEMORY;
  lang->textSize = bufferSize == 0 ? WULANG_DEFAULT_BUFFER
                                   : (bufferSize < WULANG_MIN_BUFFER ? WULANG_MIN_BUFFER : bufferSize);
  lang->textReserve = WULANG_RESERVE;
  lang->textOffset = 0;
  lang->text = static_cast<WCHAR*>(WuGlobalNew(static_cast<SIZE_T>(lang->textSize) * sizeof(WCHAR)));
  if (!lang->text) {
    WuLang_Close(lang);
    return E_OUTOFMEMORY;
  }
  HRESULT hr = WuList_CreateExZ(&lang->cache, 0, WULIST_DEFAULT_INITIAL_COUNT,
                                WULIST_DEFAULT_GROW_STEP, WULIST_OWNITEMS | WULIST_ANYTHREAD);
  if (FAILED(hr)) {
    lang->cache = nullptr;
    WuLang_Close(lang);
    return hr;
  }
  if (lcid) {
    lang->lcid = lcid;
    lang->column = 0;
  }
  lang->owner = owner ? owner : GetModuleHandleW(nullptr);
  HMODULE module = LoadLanguageModule(lang->owner);
  lang->langModule = module ? module : lang->owner;
  lang->ownsLangModule = module && module != lang->owner;
  InitializeCriticalSection(&lang->lock);
  lang->lockReady = TRUE;
  *out = lang;
  return S_OK;
}

HRESULT WuLang_Close(HWULANG lang) {
  if (!lang) return S_OK;
  if (lang->lockReady) DeleteCriticalSection(&lang->lock);
  if (lang->ownsLangModule && lang->langModule && lang->langModule != lang->owner)
    FreeLibrary(lang->langModule);
  WuGlobalDelete(lang->text);
  WuList_Destroy(lang->cache);
  std::free(lang);
  return S_OK;
}

LCID WuLang_GetLCID(HWULANG lang) { return lang ? lang->lcid : 0; }

BOOL WuLang_UpdateKernelLCID(HWULANG lang, LCID lcid, DWORD reserved) {
  HWULANG kernel = WuKernel_GetLangHandle();
  if (!lang || !kernel) return FALSE;
  if (lcid == 0) lcid = kEnglishUS;
  SetHandleLanguage(lang, lcid);
  if (kernel != lang) SetHandleLanguage(kernel, lcid);
  SetProcessDefaultLayout(WuLang_UseRTL(lang) ? LAYOUT_RTL : 0);
  return TRUE;
}

BOOL WuLang_ChangeLangInst(HWULANG lang, HMODULE module) {
  HWULANG kernel = WuKernel_GetLangHandle();
  if (!lang || !kernel) return FALSE;
  if (module) {
    SetLanguageModule(lang, module);
    SetLanguageModule(kernel, module);
  }
  return TRUE;
}

HMODULE WuLang_InstFromLang(HWULANG lang) {
  if (!lang) return nullptr;
  return lang->langModuleEnabled && lang->langModule ? lang->langModule : lang->owner;
}

BOOL WuLang_UseRTL(HWULANG lang) {
  if (!lang) return FALSE;
  DWORD primary = lang->lcid & 0x3FF;
  return primary == 1 || primary == 13 || primary == 32 || primary == 41;
}

BOOL WuLang_EnableProcessMirroring() { return SetProcessDefaultLayout(LAYOUT_RTL); }
BOOL WuLang_DisableProcessMirroring() { return SetProcessDefaultLayout(0); }

BOOL WuLang_IsLCIDEnglish(LCID lcid) { return (lcid & 0x3FF) == 9; }

BOOL WuLang_IsNameOrderReversed(HWULANG lang) { return lang && lang->lcid == kJapanese; }

int WuLang_LocalizeUserName(HWULANG lang, LPCWSTR first, LPCWSTR last, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  bool reversed = WuLang_IsNameOrderReversed(lang);
  WuStrCpyN(buffer, reversed ? last : first, size);
  WuStrCatN(buffer, reversed ? first : last, size);
  return WuStrLenSafe(buffer);
}

BOOL WuLang_GetLangAbbrev(HWULANG lang, LPWSTR buffer, int size) {
  if (!lang) return FALSE;
  if (!buffer || size <= 0) return FALSE;
  if (GetLocaleInfoW(WuLang_GetConditionedLCID(lang->lcid), LOCALE_SABBREVLANGNAME, buffer, size) > 0)
    return TRUE;
  buffer[0] = 0;
  return FALSE;
}

int WuEnumResourceLanguages(HWULANG lang, UINT id, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!lang || !lang->langModuleEnabled || !lang->langModule) return 0;
  std::vector<LANGID> languages;
  auto collect = [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
    reinterpret_cast<std::vector<LANGID>*>(param)->push_back(language);
    return TRUE;
  };
  EnumResourceLanguagesW(lang->langModule, RT_VERSION, MAKEINTRESOURCEW(id), collect,
                         reinterpret_cast<LONG_PTR>(&languages));
  // The list is built in a path-sized buffer; only whole names are added.
  WCHAR list[MAX_PATH] = u"";
  int length = 0;
  int limit = size < MAX_PATH ? size : MAX_PATH;
  for (LANGID language : languages) {
    WCHAR name[16];
    if (GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SABBREVLANGNAME, name, 16) <= 0)
      continue;
    int add = WuStrLenSafe(name) + (length ? 1 : 0);
    if (length + add >= limit) break;
    if (length) list[length++] = u',';
    length = WuStrCpyNLen(list + length, name, limit - length) + length;
  }
  return WuStrCpyNLen(buffer, list, size);
}

LANGID WuLang_UpdateThreadLocale(HWULANG lang) {
  LCID lcid = lang ? lang->lcid : 0;
  SetThreadLocale(lcid);
  InitMUILanguage(LANGIDFROMLCID(lcid));
  typedef BOOL (*SetPreferredProc)(DWORD flags, const WCHAR* languages, ULONG* count);
  auto set_preferred = reinterpret_cast<SetPreferredProc>(
      GetProcAddress(GetModuleHandleW(u"kernel32.dll"), "SetThreadPreferredUILanguages"));
  if (!set_preferred) return 0;
  set_preferred(1, nullptr, nullptr);
  return SetThreadUILanguage(LANGIDFROMLCID(lcid));
}

WORD WuGetUserDefaultUILanguage() { return GetUserDefaultUILanguage(); }

BOOL WuLang_LoadUserLCIDMetric(LPCWSTR product, DWORD version, LCID* lcid, BOOL ignoreVersion) {
  return LoadLangId(kCompany, product, ignoreVersion ? 0 : version, lcid);
}
BOOL WuLang_LoadUserLCIDMetricAppReg(LPCWSTR product, DWORD version, LCID* lcid,
                                     LPCWSTR company) {
  return LoadLangId(company, product, version, lcid);
}
BOOL WuLang_SaveUserLCIDMetric(LPCWSTR product, DWORD version, LCID lcid, BOOL ignoreVersion) {
  return SaveLangId(kCompany, product, ignoreVersion ? 0 : version, lcid);
}
BOOL WuLang_SaveUserLCIDMetricAppReg(LPCWSTR product, DWORD version, LCID lcid,
                                     LPCWSTR company) {
  return SaveLangId(company, product, version, lcid);
}

// ---- Multi-byte text --------------------------------------------------------------------------------------
BOOL WuLang_DetectMultiByteCharacters(LPCSTR text, int count) {
  if (!text || count < 2) return FALSE;
  UINT code_page = platform::MultiByteCodePage();
  if (!code_page) return FALSE;
  auto bytes = reinterpret_cast<const BYTE*>(text);
  for (int i = 0; i + 1 < count; ++i)
    if (platform::IsMultiByteLeadByte(code_page, bytes[i]) &&
        platform::IsMultiByteTrailByte(code_page, bytes[i + 1]))
      return TRUE;
  return FALSE;
}

namespace {

constexpr int kMaxCandidates = 10;  // candidates asked of the detector
constexpr int kSampleBytes = 256;   // size of the repeated sample

// Detects once and keeps the best candidate so far (the first of equals).
void DetectBest(const char* bytes, int count, UINT* best_code_page, int* best_confidence) {
  DetectEncodingInfo info[kMaxCandidates];
  int n = kMaxCandidates;
  if (FAILED(platform::DetectInputCodepage(bytes, count, MLDETECTCP_8BIT, info, &n))) return;
  for (int i = 0; i < n; ++i) {
    if (info[i].nConfidence > *best_confidence) {
      *best_confidence = info[i].nConfidence;
      *best_code_page = info[i].nCodePage;
    }
  }
}

}  // namespace

HRESULT WuLang_DetectPossibleCodepage(LPCSTR text, int count, UINT* codePage) {
  if (!codePage) return E_POINTER;
  *codePage = 0;
  if (count <= 0) return S_FALSE;  // nothing to detect (and nothing to repeat)
  if (!text) return E_POINTER;
  UINT best = 0;
  int confidence = -1;
  DetectBest(text, count, &best, &confidence);
  if (confidence < 100) {
    // Short texts say little: detect again over a sample made of whole
    // copies of the text (at least one, cut to the sample size).
    // The room left is compared with the count, never their sum, which
    // would overflow for a count near INT_MAX.
    char sample[kSampleBytes];
    int length = count < kSampleBytes ? count : kSampleBytes;
    std::memcpy(sample, text, static_cast<size_t>(length));
    while (count <= kSampleBytes - length) {
      std::memcpy(sample + length, text, static_cast<size_t>(count));
      length += count;
    }
    DetectBest(sample, length, &best, &confidence);
  }
  if (confidence < 100) return S_FALSE;
  *codePage = best;
  return S_OK;
}

// ---- String references ---------------------------------------------------------------------------
BOOL IsWULANGSTRINGID(HWULANG, LPCWSTR ref) {
  auto value = reinterpret_cast<UINT_PTR>(ref);
  return value >= 0x10000 && value % 4 == 0 && static_cast<WORD>(ref[0]) == WULANG_ROW_MARKER;
}

LPCWSTR WuGetString(HWULANG lang, const WuLangStringRow* row) {
  if (!row) return kEmpty;
  int count = row->count & 0xFF;
  if (count > WULANG_COLUMNS) count = WULANG_COLUMNS;
  if (count == 0) return kEmpty;
  int column = ColumnOf(lang);
  if (column > count) column = count;
  // Cells are rewritten at run time, possibly by several threads at once
  // (each writes the same value): access them atomically.
  auto* cells = const_cast<const WCHAR**>(row->text);
  std::atomic_ref<const WCHAR*> cell(cells[column - 1]);
  const WCHAR* text = cell.load(std::memory_order_acquire);
  if (reinterpret_cast<UINT_PTR>(text) >= 0x10000) return text;
  // A string resource id: resolved once per column, in the column's own
  // language, in the language resource module; else column 1's text.
  UINT id = static_cast<UINT>(reinterpret_cast<UINT_PTR>(text));
  const WCHAR* resolved = nullptr;
  if (lang && lang->langModule)
    resolved = InPlaceString(lang->langModule, id,
                             LANGIDFROMLCID(WULANG_COLUMN_LCIDS[column - 1]));
  if (!resolved) {
    resolved = std::atomic_ref<const WCHAR*>(cells[0]).load(std::memory_order_acquire);
    if (reinterpret_cast<UINT_PTR>(resolved) < 0x10000) return kEmpty;  // column 1 holds no text
  }
  cell.store(resolved, std::memory_order_release);
  return resolved;
}

LPCWSTR WuGetString(HWULANG lang, UINT id) {
  if (!lang || !lang->cache) return kEmpty;
  HandleLock lock(lang);
  const void* key = reinterpret_cast<const void*>(static_cast<UINT_PTR>(id));
  LONG at = WuList_FindSortedItemRange(lang->cache, key, 0, -1, &CompareCacheId);
  if (at >= 0) return reinterpret_cast<const WCHAR*>(static_cast<BYTE*>(WuList_PointerAt(lang->cache, at)) + sizeof(DWORD));
  WCHAR text[WULANG_LOAD_BUFFER];
  int n = WuLoadString(lang, id, text, WULANG_LOAD_BUFFER);
  if (n <= 0) return kEmpty;
  // The item: the id, then the terminated text (2n + 8 bytes).
  BYTE item[sizeof(DWORD) + (WULANG_LOAD_BUFFER + 1) * sizeof(WCHAR)];
  DWORD stored_id = id;
  std::memcpy(item, &stored_id, sizeof stored_id);
  std::memcpy(item + sizeof stored_id, text, (static_cast<size_t>(n) + 1) * sizeof(WCHAR));
  LONG index = WuList_FindSortedInsertIndexRange(lang->cache, key, 0, -1, &CompareCacheId);
  LONG inserted = -1;
  if (index < 0 || FAILED(WuList_AllocAndInsertItem(lang->cache, item, 2 * static_cast<SIZE_T>(n) + 8,
                                                     index, &inserted)) ||
      inserted < 0)
    return kEmpty;
  return reinterpret_cast<const WCHAR*>(static_cast<BYTE*>(WuList_PointerAt(lang->cache, inserted)) +
                                        sizeof(DWORD));
}

LPCWSTR WuGetStringSmart(HWULANG lang, LPCWSTR ref) {
  if (!ref) return nullptr;
  auto value = reinterpret_cast<UINT_PTR>(ref);
  if (value < 0x10000) return WuGetString(lang, static_cast<UINT>(value));
  if (IsWULANGSTRINGID(lang, ref)) return WuGetString(lang, reinterpret_cast<const WuLangStringRow*>(ref));
  return ref;
}

int WuLoadString(HWULANG lang, UINT id, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  buffer[0] = 0;
  if (!lang) return 0;
  int n = 0;
  if (lang->langModule && lang->langModuleEnabled)
    n = LoadFromBlock(lang->langModule, id, LANGIDFROMLCID(lang->lcid), buffer, size);
  if (n == 0) {
    if (lang->owner == lang->langModule)
      n = LoadFromBlock(lang->owner, id, kEnglishUS, buffer, size);
    else
      n = LoadStringW(lang->owner, id, buffer, size);
  }
  if (n <= 0) {
    buffer[0] = 0;
    return 0;
  }
  return StripMarker(buffer, n);
}

int WuLoadString(HWULANG lang, const WuLangStringRow* row, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  int n = WuStrCpyNLen(buffer, WuGetString(lang, row), size);
  return StripMarker(buffer, n);
}

// ---- Temporary texts ---------------------------------------------------------------------------------
WCHAR* WuGetTempStringBuffer(HWULANG lang, int n) {
  if (!lang || !lang->text || n < 0 || n > lang->textReserve || n + 1 > lang->textSize)
    return nullptr;
  HandleLock lock(lang);
  // Start again at 0 past the reserve mark, and whenever the slice and its
  // terminator would not fit.
  if (lang->textOffset > lang->textSize - lang->textReserve ||
      lang->textOffset + n + 1 > lang->textSize)
    lang->textOffset = 0;
  WCHAR* slice = lang->text + lang->textOffset;
  lang->textOffset += (n + 2) & ~1;
  if (n == 0) slice[0] = 0;
  return slice;
}

LPCSTR WuGetMultiByteFromPrintString(HWULANG lang, LPCWSTR text) {
  if (!lang || !lang->text || !text) return kEmptyA;
  int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return kEmptyA;
  int units = (bytes + 1) / 2;
  if (units > lang->textReserve) units = lang->textReserve;  // cut long texts
  WCHAR* slice = WuGetTempStringBuffer(lang, units);
  if (!slice) return kEmptyA;
  auto* out = reinterpret_cast<CHAR*>(slice);
  WuWideToMultiByte(out, text, (units + 1) * static_cast<int>(sizeof(WCHAR)), CP_ACP);
  return out;
}

LPCWSTR WuGetPrintFromMultiByteString(HWULANG lang, LPCSTR text) {
  if (!lang || !lang->text || !text) return kEmpty;
  // Composed characters are asked for where the code page knows the flag.
  DWORD flags = GetACP() == CP_UTF8 ? 0 : kMbPrecomposed;
  int units = MultiByteToWideChar(CP_ACP, flags, text, -1, nullptr, 0);
  if (units <= 0) return kEmpty;
  int n = units - 1 < lang->textReserve ? units - 1 : lang->textReserve;
  WCHAR* slice = WuGetTempStringBuffer(lang, n);
  if (!slice) return kEmpty;
  if (MultiByteToWideChar(CP_ACP, flags, text, -1, slice, n + 1) == 0) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return kEmpty;
    slice[n] = 0;  // cut: the whole characters that fit
  }
  return slice;
}

LPCWSTR WuGetWideFromPrintString(HWULANG lang, LPCWSTR text) {
  return lang && lang->text && text ? text : kEmpty;
}
LPCWSTR WuGetPrintFromWideString(HWULANG lang, LPCWSTR text) {
  return lang && lang->text && text ? text : kEmpty;
}

// ---- Locale settings ---------------------------------------------------------------------------------
HRESULT WuLang_GetInternationals(void* record, int size) {
  if (!record) {
    ReadInternationals();
    return S_OK;
  }
  if (size <= 0) return S_OK;
  DWORD bytes = static_cast<DWORD>(size) < WUINTERNATIONALS_SIZE ? static_cast<DWORD>(size)
                                                                 : WUINTERNATIONALS_SIZE;
  std::memcpy(record, &g_inat, bytes);
  if (bytes >= sizeof(DWORD)) std::memcpy(record, &bytes, sizeof bytes);
  return S_OK;
}

int WuGetInat(int item, WCHAR* buffer) {
  if (buffer) buffer[0] = 0;
  const WUINTERNATIONALS& r = g_inat;
  const WCHAR* field = nullptr;
  int chars = WUINAT_SEP_CHARS;
  switch (item) {
    case WUINAT_SYSTEM_LCID: return static_cast<int>(r.systemLCID);
    case WUINAT_LANGUAGE: return static_cast<int>(r.language);
    case WUINAT_COUNTRY: return static_cast<int>(r.country);
    case WUINAT_LANGUAGE_NAME: field = r.languageName; chars = WUINAT_NAME_CHARS; break;
    case WUINAT_ENGLISH_LANGUAGE_NAME: field = r.englishLanguageName; chars = WUINAT_NAME_CHARS; break;
    case WUINAT_DECIMAL_SEP: field = r.decimalSep; break;
    case WUINAT_LIST_SEP: field = r.listSep; break;
    case WUINAT_TIME_SEP: field = r.timeSep; break;
    case WUINAT_SMPTE_WHOLE_SEP: field = r.smpteWholeSep; break;
    case WUINAT_SMPTE_NONDROP_SEP: field = r.smpteNonDropSep; break;
    case WUINAT_SMPTE_DROP_SEP: field = r.smpteDropSep; break;
    case WUINAT_MEASURE_BEAT_SEP: field = r.measureBeatSep; break;
    case WUINAT_BEAT_TICK_SEP: field = r.beatTickSep; break;
    default: return 0;
  }
  // At most the field's size, terminator included.
  int length = 0;
  while (length < chars - 1 && field[length]) ++length;
  if (buffer) {
    std::memcpy(buffer, field, static_cast<size_t>(length) * sizeof(WCHAR));
    buffer[length] = 0;
  }
  return length;
}

int WuSetLangID(LPCWSTR text) {
  if (!text || !text[0]) text = u"ENU";
  g_inat.langIdLen = static_cast<DWORD>(WuStrCpyNLen(g_inat.langId, text, WUINAT_LANGID_CHARS));
  return static_cast<int>(g_inat.langIdLen);
}

// ---- Dialogs through the handle -----------------------------------------------------------

namespace {

// The localised template of dialog `id` in the handle's language resource
// module (see WuDialogBoxParam); false when the module is not enabled or
// holds no such template.
bool FindLocalDialog(HWULANG lang, UINT id, const void** bytes, DWORD* size) {
  if (!lang->langModuleEnabled || !lang->langModule) return false;
  HMODULE module = lang->langModule;
  LPCWSTR name = MAKEINTRESOURCEW(id);
  HRSRC found = FindResourceExW(module, RT_DIALOG, name, LANGIDFROMLCID(lang->lcid));
  if (!found && module == lang->owner) found = FindResourceExW(module, RT_DIALOG, name, kEnglishUS);
  HGLOBAL data = found ? LoadResource(module, found) : nullptr;
  *bytes = data ? LockResource(data) : nullptr;
  *size = *bytes ? SizeofResource(module, found) : 0;
  return *bytes && *size;
}

}  // namespace

INT_PTR WuDialogBoxParam(HWULANG lang, UINT id, HWND parent, DLGPROC proc, LPARAM param) {
  if (!lang) return -1;
  const void* bytes = nullptr;
  DWORD size = 0;
  if (FindLocalDialog(lang, id, &bytes, &size))
    return platform::DialogBoxFromTemplate(lang->langModule, bytes, size, parent, proc, param);
  return DialogBoxParamW(lang->owner, MAKEINTRESOURCEW(id), parent, proc, param);
}

HWND WuCreateDialogParam(HWULANG lang, UINT id, HWND parent, DLGPROC proc, LPARAM param) {
  if (!lang) return nullptr;
  const void* bytes = nullptr;
  DWORD size = 0;
  if (FindLocalDialog(lang, id, &bytes, &size))
    return platform::CreateDialogFromTemplate(lang->langModule, bytes, size, parent, proc, param);
  return CreateDialogParamW(lang->owner, MAKEINTRESOURCEW(id), parent, proc, param);
}

HWND WuCreateDialogIndirectParam(HWULANG lang, const DLGTEMPLATE* dialog_template, HWND parent,
                                 DLGPROC proc, LPARAM param) {
  if (!lang || !dialog_template) return nullptr;
  HWND dialog = nullptr;
  if (lang->langModuleEnabled && lang->langModule)
    dialog = CreateDialogIndirectParamW(lang->langModule, dialog_template, parent, proc, param);
  if (!dialog)
    dialog = CreateDialogIndirectParamW(lang->owner, dialog_template, parent, proc, param);
  return dialog;
}

INT_PTR WuDialogBoxIndirectParam(HWULANG lang, const DLGTEMPLATE* dialog_template, HWND parent,
                                 DLGPROC proc, LPARAM param) {
  if (!lang || !dialog_template) return -1;
  return DialogBoxIndirectParamW(lang->owner, dialog_template, parent, proc, param);
}
