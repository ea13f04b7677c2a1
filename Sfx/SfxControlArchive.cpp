// The package file and its control archive "sfxctrl.ach": the small archive
// that carries the package settings (and the banner), unpacked into the
// run's temporary folder before anything else.
#include "Sfx/SfxRun.h"

#include <mutex>

#include "Sfx/ArchiveCodes.h"
#include "Sfx/CArchive2.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/kernel/module.h"

namespace {

constexpr UINT kReadErrorId = 551;   // "There was an error reading this install package..."
constexpr UINT kNoSpaceId = 552;     // "Out of disk space on %s."
constexpr UINT kBoxStyle = 0x30;     // exclamation
// Flat, and no questions: the temporary folder is ours.
constexpr DWORD kControlFlags = 7;

std::mutex g_packageLock;                // guards g_packagePath
WCHAR g_packagePath[SFX_PATH_SIZE] = {}; // another package file, or empty

// Box 552 with the root of `folder`; the run stops with WU_E_NO_SPACE.
HRESULT NoSpace(LPCWSTR folder) {
  WCHAR root[SFX_PATH_SIZE] = {};
  if (WuGetRootPathFromFilePath(folder, root, SFX_PATH_SIZE) == 0) WuStrCpyN(root, folder, SFX_PATH_SIZE);
  WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kNoSpaceId, root);
  return WU_E_NO_SPACE;
}

// Unpacks every entry of the control archive folder/sfxctrl.ach there.
HRESULT ExtractInner(LPCWSTR folder) {
  WCHAR path[SFX_PATH_SIZE] = {};
  if (WuPrintFN(path, SFX_PATH_SIZE, u"%s/%s", folder, kSfxControlArchiveName) >= SFX_PATH_SIZE - 1)
    return E_INVALIDARG;
  CArchive2 inner;
  HRESULT hr = inner.Open(path, WUARC_MODE_READ, nullptr);
  if (SUCCEEDED(hr)) {
    hr = inner.IsSpaceForExtractAll(folder, kControlFlags);
    if (hr > 0) hr = NoSpace(folder);
    if (hr == 0) hr = inner.ExtractAll(folder, kControlFlags);
  }
  inner.Close();
  return hr;
}

}  // namespace

void SfxSetPackagePath(LPCWSTR path) {
  std::lock_guard<std::mutex> hold(g_packageLock);
  WuStrCpyN(g_packagePath, path ? path : u"", SFX_PATH_SIZE);
}

DWORD SfxGetPackagePath(LPWSTR buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  {
    std::lock_guard<std::mutex> hold(g_packageLock);
    if (g_packagePath[0]) return WuStrCpyNLen2(buffer, g_packagePath, static_cast<int>(size));
  }
  DWORD len = GetModuleFileNameW(nullptr, buffer, size);
  return len < size ? len : 0;
}

WORD SfxGetLongestEntryName() {
  WCHAR package[SFX_PATH_SIZE] = {};
  if (!SfxGetPackagePath(package, SFX_PATH_SIZE)) return 0;
  CArchive2 archive;
  WORD longest = 0;
  if (SUCCEEDED(archive.Open(package, WUARC_MODE_READ, nullptr))) {
    LONG count = archive.GetArchiveCount();
    for (LONG i = 0; i < count; ++i) {
      WCHAR name[SFX_PATH_SIZE + 4] = {};
      if (FAILED(archive.GetEntryName(i, name, SFX_PATH_SIZE + 4))) continue;
      int len = WuStrLenSafe(name);
      if (len > longest) longest = static_cast<WORD>(len);
    }
  }
  archive.Close();
  return longest;
}

HRESULT SfxExtractControlArchive(LPCWSTR folder) {
  WCHAR package[SFX_PATH_SIZE] = {};
  CArchive2 archive;
  HRESULT hr = SfxGetPackagePath(package, SFX_PATH_SIZE) ? archive.Open(package, WUARC_MODE_READ, nullptr)
                                                          : E_FAIL;
  if (FAILED(hr)) {
    archive.Close();
    WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kReadErrorId);
    return hr;
  }
  hr = archive.IsSpaceForExtractEntry(kSfxControlArchiveName, folder, kControlFlags);
  if (hr > 0) {
    hr = NoSpace(folder);
  } else if (hr == 0) {
    hr = archive.ExtractEntry(kSfxControlArchiveName, folder, kControlFlags);
    // 1: the package has no control archive; its settings are the defaults.
    if (hr == 0) hr = ExtractInner(folder);
  }
  archive.Close();
  if (FAILED(hr) && hr != WU_E_NO_SPACE)
    WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kReadErrorId);
  return FAILED(hr) ? hr : S_OK;
}
