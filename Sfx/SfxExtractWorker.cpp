// The extraction worker thread and the space check of the destination page.
#include "Sfx/SfxExtractWorker.h"

#include <atomic>

#include "Sfx/ArchiveCodes.h"
#include "Sfx/CArchive2.h"
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/SfxRun.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxStop.h"
#include "Sfx/SfxUiIds.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuFolders.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/threads.h"

namespace {

std::atomic<bool> g_stopRequested{false};  // SfxRequestExtractStop was called

// The folders of a path that do not exist yet, deepest first, so that a
// failed extraction removes only what it created.
struct CreatedFolders {
  static constexpr int kMax = 32;  // deeper new paths are not removed beyond this
  WCHAR path[SFX_PATH_SIZE];       // the full path, cut per level
  int ends[kMax];                  // lengths of the missing levels, deepest first
  int count;                       // missing levels recorded
};

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool FolderExists(LPCWSTR path) {
  DWORD a = GetFileAttributesW(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Records the missing levels of `folder` (before it is created).
void FindMissingLevels(LPCWSTR folder, CreatedFolders* made) {
  made->count = 0;
  WuStrCpyN(made->path, folder, SFX_PATH_SIZE);
  int n = WuStrLenSafe(made->path);
  while (n > 0 && IsSeparator(made->path[n - 1])) --n;
  WCHAR root[SFX_PATH_SIZE];
  int rootLength = WuGetRootPathFromFilePath(folder, root, SFX_PATH_SIZE);
  while (n > rootLength && made->count < CreatedFolders::kMax) {
    WCHAR saved = made->path[n];
    made->path[n] = 0;
    bool exists = FolderExists(made->path);
    made->path[n] = saved;
    if (exists) break;
    made->ends[made->count++] = n;
    while (n > 0 && !IsSeparator(made->path[n - 1])) --n;  // up one level
    while (n > 0 && IsSeparator(made->path[n - 1])) --n;
  }
}

// Removes the recorded levels again, deepest first; a level that is no
// longer empty stays (RemoveDirectoryW removes only empty folders).
void RemoveCreatedLevels(CreatedFolders* made) {
  for (int i = 0; i < made->count; ++i) {
    WCHAR level[SFX_PATH_SIZE];
    WuStrCpyN(level, made->path, made->ends[i] + 1);
    if (!RemoveDirectoryW(level)) break;
  }
}

// Short of space: tells the person why extraction cannot start (the
// archive reports only a missing folder itself).
void ReportNoSpace(CSfxExtractProgress* progress, LPCWSTR folder) {
  if (!progress) return;
  WCHAR text[SFX_PATH_SIZE];
  WCHAR root[SFX_PATH_SIZE] = {};
  if (WuGetRootPathFromFilePath(folder, root, SFX_PATH_SIZE) == 0) WuStrCpyN(root, folder, SFX_PATH_SIZE);
  WuStrCpyN(text, u"ExtractAll|", SFX_PATH_SIZE);
  WuStrCatN(text, root, SFX_PATH_SIZE);
  progress->SetFileName(text);
  progress->ReportError(WUARC_ERR_DISK_SPACE);
}

// Opens the package and extracts it; the extraction result.
HRESULT ExtractPackage(CSfxExtractProgress* progress) {
  WCHAR package[SFX_PATH_SIZE] = {};
  if (!SfxGetPackagePath(package, SFX_PATH_SIZE)) return E_FAIL;
  CArchive2 archive;
  archive.SetStopFlag(&g_stopRequested);
  HRESULT hr = archive.Open(package, WUARC_MODE_READ, progress);
  if (FAILED(hr)) {
    archive.Close();
    return hr;
  }
  LPCWSTR folder = g_SfxRunState.extractFolder;
  // Stopped before it began: nothing is created (the folder may be going).
  if (g_stopRequested.load()) {
    archive.Close();
    return WUARC_ANSWER_CANCEL;
  }
  CreatedFolders made;
  FindMissingLevels(folder, &made);
  WuCreateDirectory(folder, nullptr);
  HRESULT space = archive.IsSpaceForExtractAll(folder, 0);
  if (space != 0) {
    if (space > 0) ReportNoSpace(progress, folder);
    archive.Close();
    RemoveCreatedLevels(&made);
    return FAILED(space) ? space : WU_E_NO_SPACE;
  }
  HWND bar = progress ? progress->ProgressBar() : nullptr;
  if (bar) {
    // A 32-bit range: packages may hold more than 65,535 entries. Each
    // file steps the bar; the folder entries count at the end.
    LONG count = archive.GetArchiveCount();
    SendMessageW(bar, PBM_SETRANGE32, 0, count > 0 ? count : 0);
    SendMessageW(bar, PBM_SETSTEP, 1, 0);
    LONG folders = 0;
    for (LONG i = 0; i < count; ++i) {
      DWORD attributes = 0;
      if (SUCCEEDED(archive.GetEntryFileAttributes(i, attributes)) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        ++folders;
    }
    progress->SetUnreportedEntries(folders);
  }
  hr = archive.ExtractAll(folder, 0);
  archive.Close();
  return hr;
}

}  // namespace

DWORD SfxExtractThreadProc(LPVOID parameter) {
  auto* progress = static_cast<CSfxExtractProgress*>(parameter);
  g_SfxRunState.extractResult = 0;
  HRESULT hr = ExtractPackage(progress);
  g_SfxRunState.extractResult = hr;
  // The archive ends the page when its operation finishes; failures before
  // that (a package that does not open, no room, missing volumes) end it here.
  if (progress) progress->EndPage(SUCCEEDED(hr) ? SFX_PAGE_DONE : SFX_PAGE_CANCEL);
  if (g_SfxRunState.endEvent) SetEvent(g_SfxRunState.endEvent);
  return 0;
}

void SfxRequestExtractStop() { g_stopRequested.store(true); }

BOOL SfxStartExtractWorker(CSfxExtractProgress* progress) {
  g_SfxRunState.extractResult = 0;
  g_stopRequested.store(false);
  DWORD id = 0;
  // Started suspended and handed over under the signal handler's lock
  // before it runs: a signal never finds a worker that it cannot wait for.
  HANDLE thread = CreateThread(nullptr, 0, SfxExtractThreadProc, progress, CREATE_SUSPENDED, &id);
  if (!thread) {
    DWORD error = GetLastError();
    g_SfxRunState.extractResult = error ? WuErrorHandler_TranslateWin32Error(error) : E_FAIL;
    if (g_SfxRunState.endEvent) SetEvent(g_SfxRunState.endEvent);
    return FALSE;
  }
  SfxAdoptWorkerHandle(thread);
  ResumeThread(thread);
  return TRUE;
}

BOOL SfxIsSpaceForExtraction(LPCWSTR folder) {
  WCHAR package[SFX_PATH_SIZE] = {};
  if (!SfxGetPackagePath(package, SFX_PATH_SIZE)) return FALSE;
  CArchive2 archive;
  BOOL enough = SUCCEEDED(archive.Open(package, WUARC_MODE_READ, nullptr)) &&
                archive.IsSpaceForExtractAll(folder, 0) == 0;
  archive.Close();
  return enough;
}
