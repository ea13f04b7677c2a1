#include "shellui/WuFilePropFormat.h"

#include <cstring>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "imaging/WuColorMath.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "shellui/WuShellUIText.h"

namespace {


bool IsTagByte(BYTE c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ';
}

// "not set, hr=0x0000000n" for a positive result, " (S_FALSE)" added for 1.
void NotSet(HRESULT hr, LPWSTR out, int size) {
  WuPrintFN(out, size, hr == S_FALSE ? u"not set, hr=%#010x (S_FALSE)" : u"not set, hr=%#010x",
            static_cast<DWORD>(hr));
}

// Empties `out` and tells whether the result gives a text at all.
bool Start(HRESULT hr, LPWSTR out, int size) {
  if (!out || size <= 0) return false;
  out[0] = 0;
  if (hr < 0) return false;
  if (hr > 0) {
    NotSet(hr, out, size);
    return false;
  }
  return true;
}

}  // namespace

HRESULT FormatRootNoteName(LPWSTR out, int size, DWORD note) {
  static const char16_t* const kNames[12] = {u"C",  u"C#", u"D",  u"D#", u"E",  u"F",
                                             u"F#", u"G",  u"G#", u"A",  u"A#", u"B"};
  if (!out || size <= 0) return E_INVALIDARG;
  if (note >= 128) {
    WuStrCpyN(out, WuLangText(WuLangRow_PropMetaError), size);
    return E_FAIL;
  }
  if (note == 0) {
    WuStrCpyN(out, WuLangText(WuLangRow_PropTextNone), size);
    return S_OK;
  }
  LPCWSTR name = kNames[note % 12];
  if (note % 12 == 11) {
    WCHAR abbrev[8] = {};
    if (WuLang_GetLangAbbrev(WuKernel_GetLangHandle(), abbrev, 8) && lstrcmpiW(abbrev, u"deu") == 0)
      name = u"H";
  }
  WuPrintFN(out, size, u"%s%d", name, static_cast<int>(note / 12) - 1);
  return S_OK;
}

BOOL FormatFourCCTag(int size, LPWSTR out, DWORD code) {
  if (!out || size <= 0) return FALSE;
  WCHAR text[5] = {};
  for (int i = 0; i < 4; ++i) {
    BYTE c = static_cast<BYTE>(code >> (8 * i));
    if (!IsTagByte(c)) {
      WuStrCpyN(out, u"error", size);
      return FALSE;
    }
    text[i] = c;
  }
  WuPrintFN(out, size, u"[%s]", text);
  return TRUE;
}

BOOL FormatLangCodeTag(int size, LPWSTR out, WORD code) {
  if (!out || size <= 0) return FALSE;
  BYTE high = static_cast<BYTE>(code >> 8), low = static_cast<BYTE>(code);
  if (high < 'a' || high > 'z' || low < 'a' || low > 'z') {
    WuStrCpyN(out, u"error", size);
    return FALSE;
  }
  WCHAR text[3] = {high, low, 0};
  WuPrintFN(out, size, u"[%s]", text);
  return TRUE;
}

HRESULT FormatDataRateValue(HRESULT hr, LONGLONG bytesPerSecond, LPWSTR out, int size) {
  if (!Start(hr, out, size)) return hr;
  int n = WuPrintFN(out, size, u"$I64d (bytes/sec)", bytesPerSecond);
  if (bytesPerSecond > 0 && n < size - 1) {
    LONG kbps = WuRoundDoubleToInt(static_cast<double>(bytesPerSecond) * 8.0 / 1000.0);
    WuPrintFN(out + n, size - n, u"   =$d Kbps (calc.)", kbps);
  }
  return hr;
}

HRESULT FormatQuotedTextValue(HRESULT hr, LPCWSTR text, LPWSTR out, int size) {
  if (!Start(hr, out, size)) return hr;
  WCHAR cut[WUFILEPROP_VALUE_CHARS];
  WuStrCpyN(cut, text ? text : u"", WUFILEPROP_VALUE_CHARS);
  WuPrintFN(out, size, u"'%s'", cut);
  return hr;
}

HRESULT FormatFourCCValue(HRESULT hr, DWORD code, LPWSTR out, int size) {
  if (!Start(hr, out, size)) return hr;
  WCHAR tag[20];
  FormatFourCCTag(20, tag, code);
  WuPrintFN(out, size, u"%#010x %s", code, tag);
  return hr;
}

void FormatFileAttributes(DWORD attributes, LPWSTR out, int size) {
  if (!out || size <= 0) return;
  out[0] = 0;
  // The platform reports a plain file as FILE_ATTRIBUTE_NORMAL alone.
  if (attributes == 0 || attributes == FILE_ATTRIBUTE_NORMAL) {
    WuStrCpyN(out, WuLangText(WuLangRow_PropTextNormal), size);
    return;
  }
  struct Name {
    DWORD bit;
    const WuLangStringRow& row;
  };
  const Name names[] = {{FILE_ATTRIBUTE_READONLY, WuLangRow_PropTextReadOnly},
                        {FILE_ATTRIBUTE_HIDDEN, WuLangRow_PropTextHidden},
                        {FILE_ATTRIBUTE_ARCHIVE, WuLangRow_PropTextArchive},
                        {FILE_ATTRIBUTE_SYSTEM, WuLangRow_PropTextSystem},
                        {FILE_ATTRIBUTE_DIRECTORY, WuLangRow_PropTextSubdirectory}};
  for (const Name& name : names) {
    if (!(attributes & name.bit)) continue;
    if (out[0]) WuStrCatN(out, u", ", size);
    WuStrCatN(out, WuLangText(name.row), size);
  }
}

HRESULT FindPluginInfoByClassId(IWuFileIOMgrForApp* manager, const GUID& classId, int selector,
                                WUFIO_PLUGIN_INFO* record) {
  if (!manager || !record) return E_FAIL;
  IWuFIOPluginEnum* plugins = nullptr;
  if (FAILED(manager->GetPluginEnum(&plugins)) || !plugins) return E_FAIL;
  size_t offset = selector == 0 ? 8 : selector == 16 ? 24 : selector == 32 ? 40 : 576;
  HRESULT result = E_FAIL;
  if (plugins->Reset() == S_OK) {
    // A plug-in that keeps answering records is not followed for ever.
    for (int i = 0; i < 100000; ++i) {
      std::memset(record, 0, sizeof *record);
      record->size = WUFIO_PLUGIN_INFO_SIZE;
      ULONG fetched = 0;
      if (plugins->Next(1, record, &fetched) != S_OK) break;
      const BYTE* bytes = reinterpret_cast<const BYTE*>(record);
      GUID id;
      id.Data1 = static_cast<DWORD>(bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
                                    static_cast<DWORD>(bytes[offset + 3]) << 24);
      id.Data2 = static_cast<WORD>(bytes[offset + 4] | bytes[offset + 5] << 8);
      id.Data3 = static_cast<WORD>(bytes[offset + 6] | bytes[offset + 7] << 8);
      std::memcpy(id.Data4, bytes + offset + 8, 8);
      if (IsEqualGUID(id, classId)) {
        result = S_OK;
        break;
      }
    }
  }
  plugins->Release();
  return result;
}

void PluginInfoModulePath(const WUFIO_PLUGIN_INFO* record, LPWSTR out, int size) {
  if (!out || size <= 0) return;
  out[0] = 0;
  if (!record) return;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(record) + offsetof(WUFIO_PLUGIN_INFO, path);
  int n = 0;
  for (; n < 259 && n < size - 1; ++n) {
    WCHAR c = static_cast<WCHAR>(bytes[2 * n] | bytes[2 * n + 1] << 8);
    if (c == 0) break;
    out[n] = c;
  }
  out[n] = 0;
}
