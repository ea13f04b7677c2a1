// Choosing the reader class: for an open file (the refusal test of its
// head, the type tables walked for its identified type, the classes that
// claim its extension, the last used class and then every class), and for
// a type code of the second table.
#include <cstring>
#include <string>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuFileIOTypeEnum.h"
#include "fileio/WuFioExports.h"
#include "fileio/WuFioSurrogate.h"
#include "fileio/WuFioTypeTables.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuPathStrings.h"
#include "mediaformats/WuFileId.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"

namespace {

bool Is4(const BYTE* at, const char* text) { return std::memcmp(at, text, 4) == 0; }

// The Wave64 RIFF id and the forms of Wave64 files no plug-in may see.
constexpr GUID kWave64Riff = {0x66666972, 0x912E, 0x11CF,
                              {0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00}};
constexpr GUID kRefusedWave64Forms[] = {
    {0x46C429EF, 0x904A, 0x11D2, {0x87, 0x22, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}},
    {0x4D60BD88, 0x7758, 0x11D4, {0x88, 0x3A, 0x00, 0xB0, 0xD0, 0x22, 0x3D, 0x2B}},
    {0x533C1BF6, 0xD635, 0x43F3, {0x8A, 0x90, 0x64, 0xB8, 0x87, 0x23, 0x1F, 0x7F}},
    {0xE13F6219, 0x907F, 0x4CED, {0xA7, 0x03, 0xEE, 0xEE, 0x86, 0x7A, 0x3E, 0x7C}},
    {0xB3153884, 0x08DA, 0x4485, {0xB2, 0x2A, 0x5B, 0x70, 0xA1, 0x32, 0x15, 0xFF}},
};

// A GUID as it lies in a file (little-endian fields).
GUID GuidAt(const BYTE* at) {
  GUID id;
  id.Data1 = static_cast<DWORD>(at[0] | at[1] << 8 | at[2] << 16) | static_cast<DWORD>(at[3]) << 24;
  id.Data2 = static_cast<WORD>(at[4] | at[5] << 8);
  id.Data3 = static_cast<WORD>(at[6] | at[7] << 8);
  std::memcpy(id.Data4, at + 8, 8);
  return id;
}

constexpr WUFILEID_IDENTIFIED_TYPE kTypeNeedsPath = static_cast<WUFILEID_IDENTIFIED_TYPE>(0x100C);

}  // namespace

bool CWuFileIOManager::IsRefusedHead(const BYTE* head, DWORD bytes) {
  if (!head || bytes < 12) return false;
  if (Is4(head, "RIFF")) {
    const BYTE* form = head + 8;
    if (Is4(form, "VEMP") || Is4(form, "WUPJ") || Is4(form, "WUPL") || Is4(form, "WUSS") ||
        Is4(form, "WUXX"))
      return true;
    if (head[4] == 0 && head[5] == 0 && head[6] == 0 && head[7] == 0) return true;
  }
  if (Is4(head, "WUPK") || Is4(head, "MThd")) return true;
  if (bytes > 40 && IsEqualGUID(GuidAt(head), kWave64Riff)) {
    GUID form = GuidAt(head + 24);
    for (const GUID& refused : kRefusedWave64Forms)
      if (IsEqualGUID(form, refused)) return true;
  }
  return false;
}

HRESULT CWuFileIOManager::AskReader(LONG key, HANDLE file, HANDLE* copied, const BYTE* head,
                                    DWORD bytes, LPCWSTR ext) {
  WUFIO_PLUGIN_RECORD* record = ReaderRecord(key);
  if (!record) return E_UNEXPECTED;
  IWuReadFileClass* cls = nullptr;
  HRESULT hr = ClassOf(record, true, reinterpret_cast<void**>(&cls));
  if (FAILED(hr)) return hr;
  // A class hosted in the surrogate reads the file through a copy of the
  // handle made in its process, once per identification.
  if (record->flags & WUFIO_PLUGIN_IN_SURROGATE) {
    if (!*copied) hr = DuplicateHandleToProcessId(file, WuFio_ManagerSurrogateProcessId(this), copied);
    if (FAILED(hr)) {
      *copied = nullptr;
      cls->Release();
      return hr;
    }
    file = *copied;
  }
  hr = cls->CheckFile(file, head, bytes, ext);
  cls->Release();
  return hr;
}

HRESULT CWuFileIOManager::IdentifyReader(HANDLE file, LPCWSTR path, LONG* key, DWORD flags) {
  (void)flags;
  if (!key) return E_POINTER;
  *key = -1;
  // 1: the head.
  std::vector<BYTE> head(WUFILEID_MAX_BYTES);
  DWORD bytes = 0;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != ERROR_SUCCESS)
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  if (!ReadFile(file, head.data(), WUFILEID_MAX_BYTES, &bytes, nullptr))
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  std::u16string ext;
  if (path) {
    const WCHAR* dot = WuGetFileNameExtensionPtrW(path);
    ext = (*dot == u'.') ? dot + 1 : dot;
  }
  // 2: content no plug-in may see.
  if (IsRefusedHead(head.data(), bytes)) return WUFIO_E_REFUSED;

  // 7, on every way out: the surrogate closes the copy it was given.
  struct SurrogateCopy {
    CWuFileIOManager* manager;
    HANDLE handle = nullptr;
    ~SurrogateCopy() {
      if (handle) WuFio_CloseInSurrogate(manager, handle);
    }
  } copy{this};

  LONG won = -1;
  LONG possibleKey = -1;
  HRESULT possibleAnswer = S_OK;
  std::vector<LONG> walked;  // keys tried in the table walk, in order
  auto remember = [&](LONG k, HRESULT answer) {
    if (possibleKey < 0 && WuFio_IsPossibleAnswer(answer)) {
      possibleKey = k;
      possibleAnswer = answer;
    }
  };
  auto classKey = [](IWuReadFileClass* cls) {
    LONG k = -1;
    cls->GetKey(&k);
    return k;
  };

  // 3: the rows of the identified type.
  WUFILEID_IDENTIFIED_TYPE type = WUFILEID_NOT_EXAMINED;
  WuIsQuicklyIdentifiableMediaFileFormat(file, path, 0, &type);
  if (type > WUFILEID_UNKNOWN) {
    for (const WuFioTypeRow& row : WuFio_TypeRowsOfCode(WuFio_TypeTableA(), type)) {
      if (won >= 0) break;
      IWuReadFileClass* cls = nullptr;
      if (FAILED(GetReaderClassById(&cls, row.readerClassId))) continue;
      LONG k = classKey(cls);
      HRESULT answer = AskReader(k, file, &copy.handle, head.data(), bytes, ext.c_str());
      if (answer == S_OK && type == kTypeNeedsPath) answer = cls->CheckPath(path);
      cls->Release();
      bool first = walked.empty();
      walked.push_back(k);
      if (answer == S_OK) {
        won = k;
      } else if (first) {
        remember(k, answer);
      }
    }
  }
  // A walk that ends with a possible key decides.
  const bool decided = won >= 0 || possibleKey >= 0;
  // 4: the classes that claim the extension.
  LONG lastExtension = -1;
  if (!decided && !ext.empty()) {
    LONG from = 0;
    IWuReadFileClass* cls = nullptr;
    // The lookup answers the place it found the class at; the next one
    // starts after it.
    while (won < 0 && FindReaderClassByExtension(&cls, ext.c_str(), &from) == S_OK) {
      LONG k = from;
      cls->Release();
      HRESULT answer = AskReader(k, file, &copy.handle, head.data(), bytes, ext.c_str());
      lastExtension = k;
      if (answer == S_OK) won = k;
      remember(k, answer);
      from = k + 1;
    }
  }
  auto walkedHas = [&](LONG k, size_t firstN) {
    for (size_t i = 0; i < walked.size() && i < firstN; ++i)
      if (walked[i] == k) return true;
    return false;
  };
  // 5: the last used class.
  LONG lastUsed = -1;
  if (!decided && won < 0) {
    IWuReadFileClass* cls = nullptr;
    if (SUCCEEDED(GetLastUsedReaderClass(&cls))) {
      lastUsed = classKey(cls);
      cls->Release();
      if (!walkedHas(lastUsed, walked.size()) && lastUsed != lastExtension) {
        HRESULT answer = AskReader(lastUsed, file, &copy.handle, head.data(), bytes, ext.c_str());
        if (answer == S_OK) won = lastUsed;
        remember(lastUsed, answer);
      }
    }
  }
  // 6: every class in order.
  if (!decided && won < 0) {
    for (LONG k = 0; k < GetReaderCount() && won < 0; ++k) {
      if (k == lastUsed || k == lastExtension || walkedHas(k, 2)) continue;
      HRESULT answer = AskReader(k, file, &copy.handle, head.data(), bytes, ext.c_str());
      if (answer == S_OK) won = k;
      remember(k, answer);
    }
  }
  // 7: the answer.
  if (won >= 0) {
    *key = won;
    return possibleKey >= 0 ? WUFIO_S_PASSED_OVER : S_OK;
  }
  if (possibleKey >= 0) {
    *key = possibleKey;
    return possibleAnswer;
  }
  return WUFIO_E_NOT_FOUND;
}

HRESULT CWuFileIOManager::GetReaderKeyByTypeCode(LONG code, LONG* key) {
  if (!key || code < 0x6000) return E_INVALIDARG;
  *key = -1;
  for (const WuFioTypeRow& row : WuFio_TypeRowsOfCode(WuFio_TypeTableB(), static_cast<DWORD>(code))) {
    IWuReadFileClass* cls = nullptr;
    if (FAILED(GetReaderClassById(&cls, row.readerClassId))) continue;
    cls->GetKey(key);
    cls->Release();
    return S_OK;
  }
  return WUFIO_E_NOT_FOUND;
}

HRESULT CWuFileIOManager::GetReaderClassByTypeCode(IWuReadFileClass** out, LONG code) {
  if (!out) return E_POINTER;
  *out = nullptr;
  LONG key = -1;
  HRESULT hr = GetReaderKeyByTypeCode(code, &key);
  if (FAILED(hr)) return hr;
  return GetReaderClassByKey(out, key);
}
