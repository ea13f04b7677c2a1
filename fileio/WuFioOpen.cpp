// Opening files through the reader classes, the lookups by file name,
// dialog name and lock, telling a reader of a file, the last used renderer,
// the template editor and the file-type filter builders.
#include <cstring>
#include <string>
#include <vector>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuFioFilterBuilder.h"
#include "fileio/WuFioExports.h"
#include "fileio/WuFioSurrogate.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateList.h"
#include "fileio/WuTempEdit.h"
#include "foundation/WuList.h"
#include "foundation/WuErrorHandler.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/process.h"

namespace {

// The metric that keeps the searches to the file's content.
constexpr DWORD kMetricNoPathChecks = 22;
// How much of a file's head the lock search shows the classes.
constexpr DWORD kLockHeadBytes = 64 * 1024;
// Flags of OpenFile that ask the plug-in not to share the file.
constexpr DWORD kOpenNoShare = 0x1000 | 0x2000;

std::u16string Upper(LPCWSTR text) {
  std::u16string upper(text ? text : u"");
  for (char16_t& c : upper) c = platform::CharUpper(c);
  return upper;
}

// The text from the last "." of `path` (with the dot), empty without one.
LPCWSTR LastDot(LPCWSTR path) {
  LPCWSTR dot = nullptr;
  for (LPCWSTR at = path; *at; ++at)
    if (*at == u'.') dot = at;
  return dot ? dot : u"";
}

// The part of `path` before its first "?": 0x8004E03C when it is longer
// than the longest name part.
HRESULT NamePart(LPCWSTR path, std::u16string* name) {
  size_t length = 0;
  while (path[length] && path[length] != u'?') ++length;
  if (length > WUFIO_MAX_NAME_PART) return WUFIO_E_BUFFER_TOO_SMALL;
  name->assign(path, length);
  return S_OK;
}

// Opens the name part of `path` for reading; the converted Win32 error
// when it cannot be opened.
HRESULT OpenForReading(LPCWSTR path, std::u16string* name, HANDLE* file) {
  *file = INVALID_HANDLE_VALUE;
  HRESULT hr = NamePart(path, name);
  if (FAILED(hr)) return hr;
  HANDLE opened = CreateFileW(name->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (opened == INVALID_HANDLE_VALUE) {
    hr = WuErrorHandler_TranslateWin32Error(GetLastError());
    return FAILED(hr) ? hr : E_FAIL;
  }
  *file = opened;
  return S_OK;
}

// A handle closed when the scope ends.
struct FileHolder {
  HANDLE file = INVALID_HANDLE_VALUE;
  ~FileHolder() {
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  }
};

LONG KeyOf(IWuReadFileClass* cls) {
  LONG key = -1;
  cls->GetKey(&key);
  return key;
}

}  // namespace

// ---- Opening ------------------------------------------------------------------------------

HRESULT CWuFileIOManager::OpenFile(LPCWSTR path, IWuReadFile** out, DWORD flags) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!path) return E_INVALIDARG;
  std::u16string name;
  FileHolder held;
  HRESULT hr = OpenForReading(path, &name, &held.file);
  if (FAILED(hr)) return hr;
  LONG key = -1;
  HRESULT identified = IdentifyReader(held.file, name.c_str(), &key, flags);
  if (FAILED(identified)) {
    if (identified == WUFIO_E_REFUSED) return identified;
    // The name alone is consulted; the open still fails.
    if (metrics_[kMetricNoPathChecks] == 0) {
      LONG byName = -1;
      HRESULT found = FindReaderByFileName(name.c_str(), &byName);
      if (FAILED(found) && !WuFio_IsPossibleAnswer(found)) return found;
    }
    return identified;
  }
  IWuReadFileClass* cls = nullptr;
  hr = GetReaderClassByKey(&cls, key);
  if (FAILED(hr)) return hr;
  LONG share = (flags & kOpenNoShare) ? 0 : 1;
  hr = cls->Open(out, held.file, GetCurrentProcessId(), path, share);
  if (SUCCEEDED(hr) && *out) {
    NoteReaderClassUsed(cls);
    if (identified == WUFIO_S_PASSED_OVER) hr = identified;
  } else {
    if (*out) (*out)->Release();
    *out = nullptr;
    if (SUCCEEDED(hr)) hr = E_FAIL;
  }
  cls->Release();
  return hr;
}

HRESULT CWuFileIOManager::OpenFileWithClass(LPCWSTR path, IWuReadFile** out, GUID readerId,
                                            DWORD flags) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!path) return E_INVALIDARG;
  std::u16string name;
  HRESULT hr = NamePart(path, &name);
  if (FAILED(hr)) return hr;
  if (!IsEqualGUID(readerId, GUID{})) {
    IWuReadFileClass* cls = nullptr;
    if (SUCCEEDED(GetReaderClassById(&cls, readerId))) {
      FileHolder held;
      hr = OpenForReading(path, &name, &held.file);
      if (SUCCEEDED(hr)) {
        hr = cls->Open(out, held.file, GetCurrentProcessId(), path, 1);
        if (FAILED(hr) || !*out) {
          if (*out) (*out)->Release();
          *out = nullptr;
          if (SUCCEEDED(hr)) hr = E_FAIL;
        }
      }
      cls->Release();
      return hr;
    }
  }
  return OpenFile(path, out, flags);
}

// ---- Lookups ------------------------------------------------------------------------------

HRESULT CWuFileIOManager::FindReaderByFileName(LPCWSTR path, LONG* key) {
  if (!key) return E_POINTER;
  *key = -1;
  if (!path) return E_INVALIDARG;
  LONG won = -1;
  LONG possibleKey = -1;
  HRESULT possibleAnswer = S_OK;
  auto ask = [&](IWuReadFileClass* cls, LONG k) {
    HRESULT answer = cls->CheckPath(path);
    if (answer == S_OK) {
      won = k;
    } else if (possibleKey < 0 && WuFio_IsPossibleAnswer(answer)) {
      possibleKey = k;
      possibleAnswer = answer;
    }
  };
  // 1: the classes that claim the extension.
  LPCWSTR ext = LastDot(path);
  LONG lastExtension = -1;
  if (*ext) {
    LONG from = 0;
    IWuReadFileClass* cls = nullptr;
    // The lookup answers the place it found the class at; the next one
    // starts after it.
    while (won < 0 && FindReaderClassByExtension(&cls, ext, &from) == S_OK) {
      lastExtension = from;
      ask(cls, from);
      cls->Release();
      from += 1;
    }
  }
  // 2: the last used class.
  LONG lastUsed = -1;
  if (won < 0) {
    IWuReadFileClass* cls = nullptr;
    if (SUCCEEDED(GetLastUsedReaderClass(&cls))) {
      lastUsed = KeyOf(cls);
      if (lastUsed != lastExtension) ask(cls, lastUsed);
      cls->Release();
    }
  }
  // 3: every class in order; the generic reader only while nothing else
  // could open the file.
  for (LONG k = 0; won < 0 && k < GetReaderCount(); ++k) {
    if (k == lastUsed || k == lastExtension) continue;
    IWuReadFileClass* cls = nullptr;
    if (FAILED(GetReaderClassByKey(&cls, k))) continue;
    GUID id = {};
    cls->GetClassId(&id);
    if (!(possibleKey >= 0 && IsEqualGUID(id, CLSID_WuGenericReader))) ask(cls, k);
    cls->Release();
  }
  // 4: the answer.
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

HRESULT CWuFileIOManager::FindRendererClassByDialogName(IWuRenderFileClass** out, LPCWSTR text) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!text) return WUFIO_E_NOT_FOUND;
  std::u16string wanted = Upper(text);
  for (LONG key = 0; key < GetRendererCount(); ++key) {
    WUFIO_PLUGIN_RECORD* record = RendererRecord(key);
    if (!record || !record->dialogName) continue;
    if (Upper(record->dialogName).find(wanted) == std::u16string::npos) continue;
    return ClassOf(record, false, reinterpret_cast<void**>(out));
  }
  return WUFIO_E_NOT_FOUND;
}

HRESULT CWuFileIOManager::FindLockingReaderClass(LPCWSTR path, IWuReadFileClass** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!path) return E_INVALIDARG;
  // The class whose extension list holds the extension.
  std::u16string ext = Upper(LastDot(path));
  LONG extensionKey = -1;
  if (!ext.empty()) {
    for (LONG key = 0; key < GetReaderCount() && extensionKey < 0; ++key) {
      WUFIO_PLUGIN_RECORD* record = ReaderRecord(key);
      if (record && Upper(record->reader.extensions).find(ext) != std::u16string::npos)
        extensionKey = key;
    }
  }
  // 0x8004E086 says the class holds the file (0); 0 that it reads it (1).
  HRESULT result = WUFIO_E_NOT_FOUND;
  HRESULT lastAnswer = WUFIO_E_NOT_FOUND;
  auto ask = [&](LONG key, auto&& check) {
    IWuReadFileClass* cls = nullptr;
    if (FAILED(GetReaderClassByKey(&cls, key))) return false;
    lastAnswer = check(cls);
    if (lastAnswer == WUFIO_E_NOT_NOW || lastAnswer == S_OK) {
      result = lastAnswer == S_OK ? S_FALSE : S_OK;
      *out = cls;
      return true;
    }
    cls->Release();
    return false;
  };
  auto round = [&](auto&& check) {
    if (extensionKey >= 0 && ask(extensionKey, check)) return true;
    for (LONG key = 0; key < GetReaderCount(); ++key)
      if (key != extensionKey && ask(key, check)) return true;
    return false;
  };

  std::u16string name;
  FileHolder held;
  if (SUCCEEDED(OpenForReading(path, &name, &held.file))) {
    std::vector<BYTE> head(kLockHeadBytes);
    DWORD bytes = 0;
    if (!ReadFile(held.file, head.data(), kLockHeadBytes, &bytes, nullptr)) bytes = 0;
    auto checkFile = [&](IWuReadFileClass* cls) {
      return cls->CheckFile(held.file, head.data(), bytes, nullptr);
    };
    bool found = extensionKey >= 0 && ask(extensionKey, checkFile);
    if (!found && lastAnswer != S_OK && lastAnswer != S_FALSE) {
      for (LONG key = 0; key < GetReaderCount() && !found; ++key)
        if (key != extensionKey) found = ask(key, checkFile);
    }
    if (found) return result;
  }
  if (metrics_[kMetricNoPathChecks] == 0)
    round([&](IWuReadFileClass* cls) { return cls->CheckPath(path); });
  return result;
}

HRESULT CWuFileIOManager::NotifyReaderOfFile(LPCWSTR path, DWORD flags) {
  if (!path) return E_INVALIDARG;
  std::u16string name;
  FileHolder held;
  HRESULT hr = OpenForReading(path, &name, &held.file);
  if (FAILED(hr)) return hr;
  LONG key = -1;
  if (FAILED(IdentifyReader(held.file, name.c_str(), &key, flags))) return S_FALSE;
  IWuReadFileClass* cls = nullptr;
  if (FAILED(GetReaderClassByKey(&cls, key))) return S_FALSE;
  IWuReadFileNotify* notify = nullptr;
  hr = cls->QueryInterface(IID_IWuReadFileNotify, reinterpret_cast<void**>(&notify));
  cls->Release();
  if (FAILED(hr) || !notify) return S_FALSE;
  hr = notify->NotifyFile(path);
  notify->Release();
  return hr >= 0 ? hr : S_FALSE;
}

// ---- The last used renderer -----------------------------------------------------------

HRESULT CWuFileIOManager::GetLastUsedRendererClass(IWuRenderFileClass** out) {
  return GetRendererClassByKey(out, lastRenderer_);
}

HRESULT CWuFileIOManager::NoteRendererClassUsed(IWuRenderFileClass* cls) {
  if (!cls) return S_OK;
  LONG key = -1;
  cls->GetKey(&key);
  lastRenderer_ = key;
  return S_OK;
}

// ---- The template editor ----------------------------------------------------------------

HRESULT CWuFileIOManager::EditTemplate(HWND owner, IWuRenderFileClass* cls, LONG pageWord,
                                       const void* settings, DWORD* flags, IStream* templates,
                                       tagWUTEMPLATExV2* in, tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!flags) return E_POINTER;
  // A class hosted in the surrogate is edited there, by the surrogate's
  // own manager, without an owner window.
  if (cls && !WuFio_IsSurrogateManager(this)) {
    LONG key = -1;
    WUFIO_PLUGIN_RECORD* record = SUCCEEDED(cls->GetKey(&key)) ? RendererRecord(key) : nullptr;
    if (record && (record->flags & WUFIO_PLUGIN_IN_SURROGATE))
      return WuFio_EditInSurrogate(this, cls, pageWord, settings, flags, templates, in, out);
  }
  _FIOEDITTEMPLATE args{};
  args.size = sizeof(args);
  args.owner = owner;
  args.cls = cls;
  if (settings) std::memcpy(args.settings, settings, sizeof(args.settings));
  args.pageWord = pageWord;
  args.slot = in && in->totalSize != 0 ? in : nullptr;
  args.index = -2;
  args.flags = ((*flags & 0x2) ? 0 : FIOEDIT_APPPAGEFIRST) | (*flags & (0x1 | 0x4 | 0x10));
  tWULIST* list = nullptr;
  if (templates) {
    HRESULT hr = WuList_CreateExZ(&list, 0, 4, 4, WULIST_OWNITEMS | WULIST_LOCKED);
    if (SUCCEEDED(hr)) hr = WuFio_AddTemplatesToListFromIStream(list, templates);
    if (FAILED(hr)) {
      WuFio_ReleaseTemplateList(list);
      return hr;
    }
    args.privateTemplates = list;
  }
  HRESULT hr = WuFioMgr_EditTemplate(this, &args);
  if (hr == S_OK && (args.slot == in || !args.slot)) {
    hr = S_FALSE;  // nothing chosen
    args.slot = nullptr;
  }
  if (args.slot && args.slot != in) {
    // Out is a template the caller owns, or nothing: a template the editor
    // handed over goes out as it is, the caller's own one is copied.
    if (hr != S_OK) {
      if (args.flags & FIOEDIT_OWNED) WuFio_ReleaseTemplate(args.slot);
    } else if (args.flags & FIOEDIT_OWNED) {
      *out = args.slot;
    } else {
      hr = WuFio_CopyTemplate(out, args.slot);
    }
  }
  *flags = (*flags & ~0x18u) | (args.flags & 0x18u);
  WuFio_ReleaseTemplateList(list);
  return hr;
}

// ---- Filter builders ------------------------------------------------------------------

HRESULT CWuFileIOManager::CreateFilterBuilder(IWuFioFilterBuilder2** out, LONG kind, LONG value,
                                              DWORD flags) {
  DWORD bits = static_cast<DWORD>(value);
  if (flags & 0x400) return CreateFilterBuilderEx(out, kind, 0x0FFFFFFF, bits, flags & ~0xC00u);
  if (bits != 0) flags |= 0x800;
  return CreateFilterBuilderEx(out, kind, bits, 0, flags);
}

HRESULT CWuFileIOManager::CreateFilterBuilderEx(IWuFioFilterBuilder2** out, LONG kind, DWORD mask,
                                                DWORD matchValue, DWORD flags) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CWuFioFilterBuilder* object = CWuFioFilterBuilder::Create(this);
  if (!object) return E_OUTOFMEMORY;
  IWuFioFilterBuilder2* builder = nullptr;
  HRESULT hr = object->QueryInterface(IID_IWuFioFilterBuilder2, reinterpret_cast<void**>(&builder));
  if (FAILED(hr) || !builder) {
    object->DeletingDestructor(1);
    return FAILED(hr) ? hr : E_FAIL;
  }
  builder->SetClassMask(mask, matchValue, (flags & 0x800) ? 1 : 0);
  if (flags & 0x200) builder->SetRequiredKind(kind == 32 ? 16 : 32);
  if (!(flags & 0x100)) {
    hr = builder->AddFileTypes(nullptr, 0, kind, flags & ~0x800u);
    if (FAILED(hr)) {
      builder->Release();
      return hr;
    }
    builder->Sort(FALSE);
  }
  *out = builder;
  return S_OK;
}
