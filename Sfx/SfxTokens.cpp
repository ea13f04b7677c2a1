// Registering the run's formatted-text tokens.
#include "Sfx/SfxTokens.h"

#include "Sfx/CSfxAppData.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/shell/shell.h"

namespace {

// UI string used when the platform names no program-files folder.
constexpr UINT kProgramFilesTextId = 308;
// Root used when the Windows folder has none.
constexpr WCHAR kFileSystemRoot[] = u"/";

}  // namespace

BOOL SfxRegisterTokens(const CSfxAppData& settings) {
  BOOL ok = WuPrintF_AddToken(u"AppName", settings.Name);
  ok = WuPrintF_AddToken(u"AppName.Title", settings.Title) && ok;

  WCHAR folder[MAX_PATH] = {};
  WCHAR root[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_WINDOWS | CSIDL_FLAG_DONT_VERIFY, nullptr,
                              SHGFP_TYPE_CURRENT, folder)) ||
      WuGetRootPathFromFilePath(folder, root, MAX_PATH) == 0)
    WuStrCpyN(root, kFileSystemRoot, MAX_PATH);
  ok = WuPrintF_AddToken(u"WindowsDrive", root) && ok;

  // The extraction folder below it is created when needed, so the
  // program-files folder is named even when it does not exist yet.
  folder[0] = 0;
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES | CSIDL_FLAG_DONT_VERIFY, nullptr,
                              SHGFP_TYPE_CURRENT, folder)) ||
      !folder[0])
    WuStrCpyN(folder, WuGetString(g_SfxRunState.lang, kProgramFilesTextId), MAX_PATH);
  ok = WuPrintF_AddToken(u"ProgramFiles", folder) && ok;
  return ok;
}
