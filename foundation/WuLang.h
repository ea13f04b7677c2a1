// The language layer: language handles, string references, the string
// cache, temporary texts and the process-wide locale settings.
//
// A language handle (HWULANG) ties together
//  - an owner module, whose resources are the default;
//  - a language resource module: the file beside the owner module with the
//    extension "LNG" (a resource file, see platform/kernel/resource.h), or the
//    owner module itself when there is no such file;
//  - the LCID in which texts are wanted and its column of the multilingual
//    string table (foundation/WuLangTable.h);
//  - a sorted cache of string resources, a circular buffer of temporary
//    texts and a lock.
// The language resource module is consulted only after
// WuLang_UpdateKernelLCID has enabled it (for every language but English);
// until then strings come from the owner module.
//
// The library keeps one handle of its own, the kernel language handle
// (foundation/WuKernelState.h); WuLang_UpdateKernelLCID and
// WuLang_ChangeLangInst change it together with an application's handle.
#pragma once

#include <cstddef>

#include "foundation/WuKernelState.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuList.h"
#include "platform/kernel/module.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/types.h"
#include "platform/user/windows.h"

// ---- The language handle ------------------------------------------------------------
// Text-buffer sizes, in characters.
constexpr int WULANG_DEFAULT_BUFFER = 8192;  // WuLang_Open with size 0
constexpr int WULANG_MIN_BUFFER = 2048;      // smaller sizes are raised to this
constexpr int WULANG_RESERVE = 1024;         // the longest temporary slice
// Characters of the buffer into which a string resource is loaded for the
// cache.
constexpr int WULANG_LOAD_BUFFER = 1024;

struct WULANG {
  HMODULE owner;            // the module whose resources are the default
  BOOL lockReady;           // the lock has been initialised
  CRITICAL_SECTION lock;    // guards the string cache and the text offset
  int textSize;             // characters of the text buffer
  int textReserve;          // WULANG_RESERVE
  int textOffset;           // where the next temporary slice starts
  WCHAR* text;              // the text buffer (zero-filled global memory)
  BOOL langModuleEnabled;   // lookups may use the language resource module
  HMODULE langModule;       // the language resource module (or the owner)
  LCID lcid;                // the LCID of the wanted texts; 0 = none chosen
  int column;               // string-table column of the LCID; 0 = not yet found
  tWULIST* cache;           // string cache: owned {DWORD id; WCHAR text[]} items by id
  BOOL ownsLangModule;      // the handle loaded langModule and frees it
};

// Opens a handle. `lcid` 0 chooses none (rows then follow the user's UI
// language); `bufferSize` 0 takes WULANG_DEFAULT_BUFFER, other sizes are
// raised to WULANG_MIN_BUFFER. *lang is NULL on failure. S_OK,
// E_OUTOFMEMORY, E_POINTER or the list's error.
HRESULT WuLang_Open(HWULANG* lang, HMODULE owner, LCID lcid, int bufferSize);
// Closes a handle and frees what it holds (the language resource module too
// when it is not the owner). NULL is ignored. S_OK.
HRESULT WuLang_Close(HWULANG lang);
// The handle's LCID; 0 for NULL.
LCID WuLang_GetLCID(HWULANG lang);
// Makes `lcid` (0 means 1033) the language of the handle and of the kernel
// language handle: a changed LCID resets the column and empties the string
// cache; the language resource module is enabled for every language but
// English; the process layout becomes right-to-left for right-to-left
// languages. `reserved` is ignored. FALSE when the handle or the kernel
// language handle is missing.
BOOL WuLang_UpdateKernelLCID(HWULANG lang, LCID lcid, DWORD reserved);
// Makes `module` (when not NULL) the language resource module of the handle
// and of the kernel language handle. FALSE when either handle is missing.
BOOL WuLang_ChangeLangInst(HWULANG lang, HMODULE module);
// The language resource module when it is enabled and present, else the
// owner module (NULL for NULL).
HMODULE WuLang_InstFromLang(HWULANG lang);
// TRUE for Arabic, Hebrew, Urdu and Farsi; FALSE for NULL.
BOOL WuLang_UseRTL(HWULANG lang);
// The process default layout: right-to-left mirroring, or none.
BOOL WuLang_EnableProcessMirroring();
BOOL WuLang_DisableProcessMirroring();
// TRUE when the primary language is English.
BOOL WuLang_IsLCIDEnglish(LCID lcid);
// TRUE when the handle's LCID is 1041 (family name first).
BOOL WuLang_IsNameOrderReversed(HWULANG lang);
// First and last name joined without separator (last name first for 1041),
// bounded by `size`. Returns the length of the result.
int WuLang_LocalizeUserName(HWULANG lang, LPCWSTR first, LPCWSTR last, LPWSTR buffer, int size);
// The three-letter abbreviation of the handle's language. FALSE with an
// empty text when it cannot be read; NULL handle: FALSE, buffer untouched.
BOOL WuLang_GetLangAbbrev(HWULANG lang, LPWSTR buffer, int size);
// The languages in which the enabled language resource module holds a
// version resource of `id`, as three-letter abbreviations joined by ",";
// an empty text otherwise. Bounded by `size` (only whole names are added).
// Returns the length of the text.
int WuEnumResourceLanguages(HWULANG lang, UINT id, LPWSTR buffer, int size);
// Sets the thread locale, the common controls' UI language and the thread's
// UI language to the handle's LCID (NULL: LCID 0). Returns 0 when kernel32
// lacks "SetThreadPreferredUILanguages", else the result of
// SetThreadUILanguage.
LANGID WuLang_UpdateThreadLocale(HWULANG lang);
// The user's default UI language.
WORD WuGetUserDefaultUILanguage();

// ---- The user's language in the registry ---------------------------------------------
// HKEY_LOCAL_MACHINE "Software\<company>\<product>\Lang", or
// "Software\<company>\<product>\<major>.<minor>\Lang" when the version's top
// byte is not 0 (major = version >> 24, minor = bits 16..23); value
// "ULangID" (REG_DWORD, the LCID's low 16 bits). The company is "Talvene"
// unless given. `ignoreVersion` treats the version as 0. TRUE when read or
// written.
BOOL WuLang_LoadUserLCIDMetric(LPCWSTR product, DWORD version, LCID* lcid, BOOL ignoreVersion);
BOOL WuLang_LoadUserLCIDMetricAppReg(LPCWSTR product, DWORD version, LCID* lcid,
                                     LPCWSTR company);
BOOL WuLang_SaveUserLCIDMetric(LPCWSTR product, DWORD version, LCID lcid, BOOL ignoreVersion);
BOOL WuLang_SaveUserLCIDMetricAppReg(LPCWSTR product, DWORD version, LCID lcid,
                                     LPCWSTR company);

// ---- Multi-byte text -----------------------------------------------------------------
// TRUE when a lead byte followed by a valid trail byte of the process's
// multi-byte code page occurs within `count` bytes. FALSE for NULL, a count
// below 2 or a single-byte code page.
BOOL WuLang_DetectMultiByteCharacters(LPCSTR text, int count);
// Guesses the code page of 8-bit text. S_OK with the code page when a
// candidate was trusted (confidence 100), S_FALSE with 0 when none was (also
// for an empty text), E_POINTER for a NULL text with bytes or a NULL out.
HRESULT WuLang_DetectPossibleCodepage(LPCSTR text, int count, UINT* codePage);

// ---- String references ----------------------------------------------------------------
// TRUE when `ref` is a WuLangStringRow: at least 0x10000, 4-byte aligned and
// starting with WULANG_ROW_MARKER. The handle is not used.
BOOL IsWULANGSTRINGID(HWULANG lang, LPCWSTR ref);
// The row's text in the handle's column (never NULL). A cell holding a
// string resource id is resolved in the handle's language resource module
// and replaced by the text it finds, or by column 1's text when it finds
// none. The row must be writable (the rows of the table are).
LPCWSTR WuGetString(HWULANG lang, const WuLangStringRow* row);
// The row's text in the kernel's language (WuKernel_GetLangHandle()), as
// the library's own UI shows it.
inline LPCWSTR WuLangText(const WuLangStringRow& row) {
  return WuGetString(WuKernel_GetLangHandle(), &row);
}
// The cached text of a string resource; an empty text when it does not
// exist. Valid until the handle's LCID changes or the handle is closed.
LPCWSTR WuGetString(HWULANG lang, UINT id);
// NULL for NULL; the id form below 0x10000; the row form for a row; the
// reference itself for a plain text.
LPCWSTR WuGetStringSmart(HWULANG lang, LPCWSTR ref);
// Copies a string resource into `buffer` of `size` characters (at most
// size-1, terminated) and returns the length copied; a text beginning with
// "^*" loses those two characters.
int WuLoadString(HWULANG lang, UINT id, LPWSTR buffer, int size);
// The same with the row's text.
int WuLoadString(HWULANG lang, const WuLangStringRow* row, LPWSTR buffer, int size);

// ---- Temporary texts ----------------------------------------------------------------------
// The next slice of n+1 characters of the handle's text buffer (n at most
// WULANG_RESERVE); NULL without a buffer or for a bad n. Slices are reused
// once the buffer wraps. With n = 0 the slice holds an empty text.
WCHAR* WuGetTempStringBuffer(HWULANG lang, int n);
// The text in the ANSI code page, in a temporary slice (cut at the
// reserve); an empty text when there is no buffer or on failure.
LPCSTR WuGetMultiByteFromPrintString(HWULANG lang, LPCWSTR text);
// The ANSI text in UTF-16, in a temporary slice; an empty text on failure.
LPCWSTR WuGetPrintFromMultiByteString(HWULANG lang, LPCSTR text);
// The text itself when the handle has a text buffer, else an empty text.
LPCWSTR WuGetWideFromPrintString(HWULANG lang, LPCWSTR text);
LPCWSTR WuGetPrintFromWideString(HWULANG lang, LPCWSTR text);

// ---- Locale settings (the internationals record) ---------------------------------------
// Process-wide, read at kernel start-up and by WuLang_GetInternationals(NULL).
// Texts are UTF-16 and terminated within their field; the length fields
// count characters without the terminator.
constexpr DWORD WUINTERNATIONALS_SIZE = 796;
constexpr int WUINAT_NAME_CHARS = 64;  // characters of a name field
constexpr int WUINAT_SEP_CHARS = 8;    // characters of a separator field
constexpr int WUINAT_LANGID_CHARS = 4; // characters of the language id field

struct WUINTERNATIONALS {
  DWORD size;                                   // WUINTERNATIONALS_SIZE (or the bytes copied)
  LCID systemLCID;                              // the system default LCID
  DWORD language;                               // LOCALE_ILANGUAGE read as a decimal number
  WCHAR languageName[WUINAT_NAME_CHARS];        // LOCALE_SLANGUAGE
  DWORD languageNameLen;
  WCHAR englishLanguageName[WUINAT_NAME_CHARS]; // LOCALE_SENGLANGUAGE
  DWORD englishLanguageNameLen;
  DWORD country;                                // LOCALE_ICOUNTRY as a number
  WCHAR countryName[WUINAT_NAME_CHARS];         // LOCALE_SCOUNTRY
  DWORD countryNameLen;
  WCHAR englishCountryName[WUINAT_NAME_CHARS];  // LOCALE_SENGCOUNTRY
  DWORD englishCountryNameLen;
  WCHAR negativeSign[WUINAT_SEP_CHARS];         // LOCALE_SNEGATIVESIGN
  DWORD negativeSignLen;
  WCHAR minusSign[WUINAT_SEP_CHARS];            // always "-"
  DWORD minusSignLen;
  WCHAR thousandSep[WUINAT_SEP_CHARS];          // LOCALE_STHOUSAND
  DWORD thousandSepLen;
  WCHAR decimalSep[WUINAT_SEP_CHARS];           // LOCALE_SDECIMAL (never equal to thousandSep)
  DWORD decimalSepLen;
  DWORD grouping;                               // LOCALE_SGROUPING read as a number ("3;0": 3)
  DWORD digits;                                 // LOCALE_IDIGITS
  DWORD leadingZero;                            // LOCALE_ILZERO
  WCHAR timeSep[WUINAT_SEP_CHARS];              // LOCALE_STIME
  DWORD timeSepLen;
  WCHAR listSep[WUINAT_SEP_CHARS];              // LOCALE_SLIST
  DWORD listSepLen;
  DWORD measure;                                // LOCALE_IMEASURE
  WCHAR smpteWholeSep[WUINAT_SEP_CHARS];        // time code between whole units, ":"
  DWORD smpteWholeSepLen;
  WCHAR smpteNonDropSep[WUINAT_SEP_CHARS];      // before frames, non-drop time code, "."
  DWORD smpteNonDropSepLen;
  WCHAR smpteDropSep[WUINAT_SEP_CHARS];         // before frames, drop-frame time code, ","
  DWORD smpteDropSepLen;
  WCHAR langId[WUINAT_LANGID_CHARS];            // three-letter language id (WuSetLangID)
  DWORD langIdLen;
  DWORD reserved;                               // 0
  WCHAR measureBeatSep[WUINAT_SEP_CHARS];       // musical time, measures to beats, "."
  DWORD measureBeatSepLen;
  WCHAR beatTickSep[WUINAT_SEP_CHARS];          // musical time, beats to ticks, "."
  DWORD beatTickSepLen;
};

// The record is stored and compared byte for byte: every field keeps its
// offset.
static_assert(sizeof(WUINTERNATIONALS) == WUINTERNATIONALS_SIZE);
static_assert(offsetof(WUINTERNATIONALS, systemLCID) == 4);
static_assert(offsetof(WUINTERNATIONALS, language) == 8);
static_assert(offsetof(WUINTERNATIONALS, languageName) == 12);
static_assert(offsetof(WUINTERNATIONALS, languageNameLen) == 140);
static_assert(offsetof(WUINTERNATIONALS, englishLanguageName) == 144);
static_assert(offsetof(WUINTERNATIONALS, englishLanguageNameLen) == 272);
static_assert(offsetof(WUINTERNATIONALS, country) == 276);
static_assert(offsetof(WUINTERNATIONALS, countryName) == 280);
static_assert(offsetof(WUINTERNATIONALS, countryNameLen) == 408);
static_assert(offsetof(WUINTERNATIONALS, englishCountryName) == 412);
static_assert(offsetof(WUINTERNATIONALS, englishCountryNameLen) == 540);
static_assert(offsetof(WUINTERNATIONALS, negativeSign) == 544);
static_assert(offsetof(WUINTERNATIONALS, negativeSignLen) == 560);
static_assert(offsetof(WUINTERNATIONALS, minusSign) == 564);
static_assert(offsetof(WUINTERNATIONALS, minusSignLen) == 580);
static_assert(offsetof(WUINTERNATIONALS, thousandSep) == 584);
static_assert(offsetof(WUINTERNATIONALS, thousandSepLen) == 600);
static_assert(offsetof(WUINTERNATIONALS, decimalSep) == 604);
static_assert(offsetof(WUINTERNATIONALS, decimalSepLen) == 620);
static_assert(offsetof(WUINTERNATIONALS, grouping) == 624);
static_assert(offsetof(WUINTERNATIONALS, digits) == 628);
static_assert(offsetof(WUINTERNATIONALS, leadingZero) == 632);
static_assert(offsetof(WUINTERNATIONALS, timeSep) == 636);
static_assert(offsetof(WUINTERNATIONALS, timeSepLen) == 652);
static_assert(offsetof(WUINTERNATIONALS, listSep) == 656);
static_assert(offsetof(WUINTERNATIONALS, listSepLen) == 672);
static_assert(offsetof(WUINTERNATIONALS, measure) == 676);
static_assert(offsetof(WUINTERNATIONALS, smpteWholeSep) == 680);
static_assert(offsetof(WUINTERNATIONALS, smpteWholeSepLen) == 696);
static_assert(offsetof(WUINTERNATIONALS, smpteNonDropSep) == 700);
static_assert(offsetof(WUINTERNATIONALS, smpteNonDropSepLen) == 716);
static_assert(offsetof(WUINTERNATIONALS, smpteDropSep) == 720);
static_assert(offsetof(WUINTERNATIONALS, smpteDropSepLen) == 736);
static_assert(offsetof(WUINTERNATIONALS, langId) == 740);
static_assert(offsetof(WUINTERNATIONALS, langIdLen) == 748);
static_assert(offsetof(WUINTERNATIONALS, reserved) == 752);
static_assert(offsetof(WUINTERNATIONALS, measureBeatSep) == 756);
static_assert(offsetof(WUINTERNATIONALS, measureBeatSepLen) == 772);
static_assert(offsetof(WUINTERNATIONALS, beatTickSep) == 776);
static_assert(offsetof(WUINTERNATIONALS, beatTickSepLen) == 792);

// Reads every setting anew when `record` is NULL (and registers the
// separator and label tokens of formatted text); otherwise copies
// min(size, 796) bytes of the record and stores that count in the copy's
// first field. S_OK.
HRESULT WuLang_GetInternationals(void* record, int size);

// WuGetInat items.
constexpr int WUINAT_SYSTEM_LCID = 0;            // value
constexpr int WUINAT_LANGUAGE = 1;               // value
constexpr int WUINAT_LANGUAGE_NAME = 2;          // text, 64 characters
constexpr int WUINAT_ENGLISH_LANGUAGE_NAME = 3;  // text, 64 characters
constexpr int WUINAT_COUNTRY = 4;                // value
constexpr int WUINAT_DECIMAL_SEP = 24;           // text, 8 characters
constexpr int WUINAT_LIST_SEP = 40;              // text, 8 characters
constexpr int WUINAT_TIME_SEP = 60;              // text, 8 characters
constexpr int WUINAT_SMPTE_WHOLE_SEP = 100;      // text, 8 characters
constexpr int WUINAT_SMPTE_NONDROP_SEP = 101;    // text, 8 characters
constexpr int WUINAT_SMPTE_DROP_SEP = 102;       // text, 8 characters
constexpr int WUINAT_MEASURE_BEAT_SEP = 120;     // text, 8 characters
constexpr int WUINAT_BEAT_TICK_SEP = 121;        // text, 8 characters

// One item of the record. The buffer's first character is cleared first.
// Value items return the value; text items copy the text (at most the
// field's size, terminator included) into the buffer when it is not NULL
// and return its length; any other item returns 0.
int WuGetInat(int item, WCHAR* buffer);
// Copies at most 3 characters of `text` ("ENU" when NULL or empty) into the
// record's language id; returns its length.
int WuSetLangID(LPCWSTR text);

// ---- Dialogs through the handle -----------------------------------------------------------
// Procedures and parameters are passed through unchanged.
//
// The template of dialog `id`: when the language resource module is
// enabled, its RT_DIALOG resource in the handle's language, then (when the
// owner module is the language resource module) in 1033; otherwise, or when
// neither is found, the owner module's own lookup (DialogBoxParamW). A
// template from the language resource module runs with that module as
// instance. Returns the dialog's result, or -1 (also for a NULL handle).
INT_PTR WuDialogBoxParam(HWULANG lang, UINT id, HWND parent, DLGPROC proc, LPARAM param);
// The same choice for a modeless dialog; the window, or NULL.
HWND WuCreateDialogParam(HWULANG lang, UINT id, HWND parent, DLGPROC proc, LPARAM param);
// A modeless dialog from a template in memory, with the language resource
// module as instance when it is enabled, and with the owner module when that
// fails (or when it is not enabled). The window, or NULL.
HWND WuCreateDialogIndirectParam(HWULANG lang, const DLGTEMPLATE* dialog_template, HWND parent,
                                 DLGPROC proc, LPARAM param);
// A modal dialog from a template in memory with the owner module as
// instance. The dialog's result, or -1.
INT_PTR WuDialogBoxIndirectParam(HWULANG lang, const DLGTEMPLATE* dialog_template, HWND parent,
                                 DLGPROC proc, LPARAM param);
