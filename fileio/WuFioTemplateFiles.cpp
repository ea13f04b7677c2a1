// Render template files, folders and the last-used templates.
#include "fileio/WuFioTemplateFiles.h"

#include <cstdlib>
#include <cstring>

#include "fileio/WuFioCommon.h"
#include "fileio/WuFioExports.h"
#include "fileio/WuFioTemplateLayout.h"
#include "fileio/WuFioTemplateV1.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuFolders.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/shell/shell.h"

namespace {

constexpr DWORD kPath = 260;

// 0 when `path` is a folder, 1 otherwise.
HRESULT FolderState(LPCWSTR path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
}

// Creates a folder path that may end with a separator.
HRESULT CreateFolder(LPCWSTR folder) {
  WCHAR path[kPath];
  WuStrCpyN(path, folder, kPath);
  int len = WuStrLenSafe(path);
  while (len > 1 && (path[len - 1] == u'/' || path[len - 1] == u'\\')) path[--len] = 0;
  if (WuCreateDirectory(path, nullptr)) return S_OK;
  return WuErrorHandler_TranslateWin32Error(GetLastError());
}

// The preset count of a class (0 when it cannot say).
HRESULT PresetCount(IWuRenderFileClass* cls, LONG* count) {
  *count = 0;
  const HRESULT hr = cls->GetPresetCount(count);
  if (FAILED(hr)) return hr;
  if (*count < 0) *count = 0;
  return S_OK;
}

}  // namespace

bool WuFio_IsUntitledTemplateName(LPCWSTR name) {
  if (!name) return false;
  LPCWSTR untitled = WuLangText(WuLangRow_FioTemplateUntitled);
  return lstrcmpiW(name, untitled) == 0;
}

HRESULT WuFio_GetTemplateClassFolderName(IWuRenderFileClass* cls, LPWSTR out) {
  if (!cls || !out) return E_INVALIDARG;
  out[0] = 0;
  const DWORD kind = WUFIO_TEXT_TEMPLATE_FOLDER;
  BSTR text = nullptr;
  const HRESULT hr = cls->GetStrings(&kind, 1, &text);
  if (FAILED(hr)) {
    SysFreeString(text);
    return hr;
  }
  WuStrCpyN(out, text ? text : u"", kPath);
  SysFreeString(text);
  CharLowerW(out);
  WuValidateFileName(out, TRUE);
  // An empty name or one of dots only would name the kind folder or its
  // parent.
  bool dotsOnly = true;
  for (LPCWSTR c = out; *c; ++c)
    if (*c != u'.') dotsOnly = false;
  if (dotsOnly) {
    out[0] = 0;
    return WU_E_BAD_DATA;
  }
  return S_OK;
}

HRESULT WuFio_GetTemplateFolder(LPCWSTR kind, LPCWSTR sub, LPWSTR out, DWORD size) {
  if (!out || size == 0) return E_INVALIDARG;
  out[0] = 0;
  WCHAR appData[kPath] = {};
  const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
  if (FAILED(hr)) return hr;
  DWORD len = 0;
  int trimmed = WuStrLenSafe(appData);
  while (trimmed > 1 && (appData[trimmed - 1] == u'/' || appData[trimmed - 1] == u'\\'))
    appData[--trimmed] = 0;
  const LPCWSTR vendor = WuLangText(WuLangRow_FioTemplateVendorFolder);
  const LPCWSTR parts[] = {appData, u"/", vendor, u"/", kind, u"/", sub, u"/"};
  for (LPCWSTR part : parts) {
    if (!WuFio_AppendText(out, size, &len, part)) {
      out[0] = 0;
      return WU_E_BUFFER_TOO_SMALL;
    }
  }
  return FolderState(out);
}

HRESULT WuFio_GetRenderTemplateFolder(IWuRenderFileClass* cls, LPWSTR out, DWORD size) {
  if (out && size) out[0] = 0;
  WCHAR folder[kPath];
  const HRESULT hr = WuFio_GetTemplateClassFolderName(cls, folder);
  if (FAILED(hr)) return hr;
  return WuFio_GetTemplateFolder(WuLangText(WuLangRow_FioTemplateRenderFolder), folder, out, size);
}

// The legacy folder names the plug-in library: "mp3plug" for one class,
// else the library's file name without extension.
HRESULT WuFio_GetLegacyTemplateFolder(IWuRenderFileClass* cls, LPWSTR out, DWORD size) {
  if (out && size) out[0] = 0;
  if (!cls) return E_INVALIDARG;
  static constexpr GUID kMp3Class = {0xADFA6A4B, 0xA99B, 0x42E3,
                                     {0xAE, 0x1F, 0x08, 0x11, 0x23, 0xAD, 0xA0, 0x4B}};
  GUID id{};
  HRESULT hr = cls->GetClassId(&id);
  if (FAILED(hr)) return hr;
  WCHAR plugin[kPath];
  if (IsEqualGUID(id, kMp3Class)) {
    WuStrCpyN(plugin, WuLangText(WuLangRow_FioTemplateLegacyFolder), kPath);
  } else {
    WCHAR path[kPath] = {};
    hr = WuFio_GetPluginPath(cls, path, kPath);
    if (FAILED(hr)) return hr;
    WuGetFileNameWithoutPathOrExtension(path, plugin, kPath);
  }
  WCHAR sub[kPath];
  WCHAR idText[40];
  StringFromGUID2(id, idText, 40);
  DWORD len = 0;
  sub[0] = 0;
  for (LPCWSTR part : {static_cast<LPCWSTR>(plugin), u"/", static_cast<LPCWSTR>(idText)})
    if (!WuFio_AppendText(sub, kPath, &len, part)) return WU_E_BUFFER_TOO_SMALL;
  return WuFio_GetTemplateFolder(WuLangText(WuLangRow_FioTemplateFileFolder), sub, out, size);
}

HRESULT WuFio_GetLastUsedTemplatePath(IWuRenderFileClass* cls, LPCWSTR suffix, LPWSTR out,
                                      DWORD size, BOOL createFolder) {
  if (out && size) out[0] = 0;
  WCHAR folder[kPath];
  HRESULT hr = WuFio_GetTemplateClassFolderName(cls, folder);
  if (FAILED(hr)) return hr;
  const HRESULT state = WuFio_GetTemplateFolder(WuLangText(WuLangRow_FioTemplateRenderFolder),
                                                WuLangText(WuLangRow_FioTemplateLastUsedFolder),
                                                out, size);
  if (FAILED(state)) return state;
  if (state == 1 && createFolder && FAILED(hr = CreateFolder(out))) return hr;
  WCHAR name[kPath];
  WuPrintFN(name, kPath, WuLangText(WuLangRow_FioTemplateLastUsedName), folder,
            suffix ? suffix : u"");
  WuValidateFileName(name, TRUE);
  DWORD len = static_cast<DWORD>(WuStrLenSafe(out));
  if (!WuFio_AppendText(out, size, &len, name) ||
      !WuFio_AppendText(out, size, &len, WuLangText(WuLangRow_FioTemplateExtension))) {
    out[0] = 0;
    return WU_E_BUFFER_TOO_SMALL;
  }
  return createFolder ? 0 : state;
}

HRESULT WuFio_GetUserTemplateFilePath(IWuRenderFileClass* cls, LPCWSTR name, LPWSTR out,
                                      DWORD size, BOOL createFolder) {
  if (!name || !*name || WuFio_IsUntitledTemplateName(name))
    return WuFio_GetLastUsedTemplatePath(cls, nullptr, out, size, createFolder);
  HRESULT state = WuFio_GetRenderTemplateFolder(cls, out, size);
  if (FAILED(state)) return state;
  if (state == 1 && createFolder) {
    const HRESULT hr = CreateFolder(out);
    if (FAILED(hr)) return hr;
    state = 0;
  }
  WCHAR file[kPath];
  WuStrCpyN(file, name, 256);
  WuValidateFileName(file, TRUE);
  DWORD len = static_cast<DWORD>(WuStrLenSafe(out));
  if (!WuFio_AppendText(out, size, &len, file) ||
      !WuFio_AppendText(out, size, &len, WuLangText(WuLangRow_FioTemplateExtension))) {
    out[0] = 0;
    return WU_E_BUFFER_TOO_SMALL;
  }
  return state;
}

// ---- Reading records -------------------------------------------------------------------

HRESULT WuFio_LoadTemplateData(tagWUTEMPLATExV2** out, IStream* stream, DWORD highestVersion,
                               IWuRenderFileClass* cls) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!stream) return E_POINTER;
  BYTE head[8];
  if (FAILED(WuFio_ReadExact(stream, head, 4)) || FAILED(WuFio_ReadExact(stream, head + 4, 4)))
    return WU_E_BAD_DATA;
  const DWORD size = WuTpl_Word(head, 0);
  const DWORD version = WuTpl_Word(head, 4);
  const DWORD generation = version >> 24;
  if (generation > (highestVersion >> 24) || generation > 2) return WU_E_BAD_DATA;
  if (generation == 1) return WuFio_ReadAndLiftTemplateV1(out, stream, size, version, cls);
  if (size < WUTPL_HEADER_BYTES || size > WUTPL_MAX_BYTES) return WU_E_BAD_DATA;
  BYTE* record = static_cast<BYTE*>(std::calloc(1, size));
  if (!record) return E_OUTOFMEMORY;
  std::memcpy(record, head, 8);
  if (FAILED(WuFio_ReadExact(stream, record + 8, size - 8))) {
    std::free(record);
    return WU_E_BAD_DATA;
  }
  *out = reinterpret_cast<tagWUTEMPLATExV2*>(record);
  return S_OK;
}

HRESULT WuFio_LoadTemplateData(tagWUTEMPLATExV2** out, HANDLE file) {
  if (!out) return E_POINTER;
  *out = nullptr;
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(file, &fileSize)) return WU_E_READ;
  if (fileSize.QuadPart <= 0 || fileSize.QuadPart > WUTPL_MAX_BYTES) return WU_E_BAD_DATA;
  const DWORD bytes = static_cast<DWORD>(fileSize.QuadPart);
  BYTE* buffer = static_cast<BYTE*>(std::calloc(1, bytes));
  if (!buffer) return E_OUTOFMEMORY;
  DWORD read = 0;
  if (!ReadFile(file, buffer, bytes, &read, nullptr)) {
    std::free(buffer);
    return WU_E_READ;
  }
  bool ok = read >= WUTPL_MIN_FILE_BYTES && WuTpl_Size(buffer) <= read &&
            WuTpl_Word(buffer, WUTPL_OFFSET_VERSION) > 0x00FFFFFF;
  if (ok && (WuTpl_Word(buffer, WUTPL_OFFSET_VERSION) >> 24) == 2) {
    const DWORD audio = WuTpl_Word(buffer, WUTPL_OFFSET_AUDIO);
    const DWORD video = WuTpl_Word(buffer, WUTPL_OFFSET_VIDEO);
    ok = WuTpl_Size(buffer) >= WUTPL_MIN_FILE_BYTES && WuTpl_LayoutOk(buffer) &&
         (audio == 0 || audio == 200) && (video == 0 || video == 200);
  }
  if (!ok) {
    std::free(buffer);
    return WU_E_BAD_DATA;
  }
  *out = reinterpret_cast<tagWUTEMPLATExV2*>(buffer);
  return S_OK;
}

HRESULT WuFio_LoadRawUserTemplate(IWuRenderFileClass* cls, LPCWSTR path,
                                  tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!path) return E_INVALIDARG;
  HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WU_E_OPEN_FILE;
  tagWUTEMPLATExV2* record = nullptr;
  HRESULT hr = WuFio_LoadTemplateData(&record, file);
  CloseHandle(file);
  if (FAILED(hr)) return hr;
  if ((WuTpl_Word(record, WUTPL_OFFSET_VERSION) >> 24) != 1) {
    *out = record;
    return S_OK;
  }
  // Generation 1: read again as a stream, which lifts it.
  IStream* stream = nullptr;
  hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (SUCCEEDED(hr)) {
    ULONG written = 0;
    hr = stream->Write(record, WuTpl_Size(record), &written);
    LARGE_INTEGER start{};
    if (SUCCEEDED(hr)) hr = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(hr)) hr = WuFio_LoadTemplateData(out, stream, 0x02000000, cls);
    stream->Release();
  }
  std::free(record);
  return hr;
}

HRESULT WuFio_LoadRawLegacyTemplate(IWuRenderFileClass* cls, LONG number,
                                    tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!cls) return E_INVALIDARG;
  LONG presets = 0;
  HRESULT hr = PresetCount(cls, &presets);
  if (FAILED(hr)) return hr;
  if (number < presets) return E_UNEXPECTED;
  WCHAR folder[kPath];
  hr = WuFio_GetLegacyTemplateFolder(cls, folder, kPath);
  if (FAILED(hr)) return hr;
  WCHAR pattern[kPath];
  WuStrCpyN(pattern, folder, kPath);
  WuStrCatN(pattern, u"*", kPath);
  WuStrCatN(pattern, WuLangText(WuLangRow_FioTemplateLegacyExtension), kPath);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(pattern, &data);
  if (find == INVALID_HANDLE_VALUE) return E_UNEXPECTED;
  LONG left = number - presets;
  bool found = false;
  do {
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM)) continue;
    if (left-- == 0) {
      found = true;
      break;
    }
  } while (FindNextFileW(find, &data));
  FindClose(find);
  if (!found) return E_UNEXPECTED;
  WCHAR path[kPath];
  WuStrCpyN(path, folder, kPath);
  if (WuStrLenSafe(path) + WuStrLenSafe(data.cFileName) + 1 > static_cast<int>(kPath))
    return WU_E_BUFFER_TOO_SMALL;
  WuStrCatN(path, data.cFileName, kPath);
  return WuFio_LoadRawUserTemplate(cls, path, out);
}

// ---- The last-used template --------------------------------------------------------------

HRESULT WuFio_WriteTemplateFile(LPCWSTR path, const tagWUTEMPLATExV2* record, BOOL overwrite) {
  if (!path || !record) return E_POINTER;
  // The prefix keeps the new file out of folder scans ("*.wut*") until it
  // has its name.
  if (!platform::WriteFileReplacing(path, record, WuTpl_Size(record), overwrite != FALSE, u"wut"))
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  return S_OK;
}

HRESULT WuFio_SaveAppLastUsedTemplate(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* record,
                                      LPCWSTR suffix, BOOL overwrite) {
  if (!record) return E_POINTER;
  WCHAR path[kPath];
  const HRESULT hr = WuFio_GetLastUsedTemplatePath(cls, suffix, path, kPath, TRUE);
  if (FAILED(hr)) return hr;
  return WuFio_WriteTemplateFile(path, record, overwrite);
}

HRESULT WuFio_LoadAppLastUsedTemplate(IWuRenderFileClass* cls, LPCWSTR suffix,
                                      tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  WCHAR path[kPath];
  const HRESULT hr = WuFio_GetLastUsedTemplatePath(cls, suffix, path, kPath, FALSE);
  if (FAILED(hr)) return hr;
  return WuFio_LoadRawUserTemplate(cls, path, out);
}

HRESULT WuFio_DeleteAppLastUsedTemplate(IWuRenderFileClass* cls, LPCWSTR suffix) {
  WCHAR path[kPath];
  const HRESULT hr = WuFio_GetLastUsedTemplatePath(cls, suffix, path, kPath, FALSE);
  if (FAILED(hr)) return hr;
  return DeleteFileW(path) ? S_OK : WU_E_NOT_FOUND;
}
