// The run's start-up questions and texts: the platform and rights checks,
// the window title, the extraction folder proposed from the settings, and
// the process status made from the run's exit code.
#include "Sfx/SfxRun.h"

#include "Sfx/CSfxAppData.h"
#include "Sfx/SfxRunState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/kernel/cpu.h"
#include "platform/registry/registry.h"

namespace {

constexpr UINT kWindowTitleId = 700;     // "$(AppName.Title) - Unpacking Wizard"
constexpr UINT kDefaultTargetId = 204;   // "C:\Program Files\Orvo Setup\$(AppName)"

}  // namespace

int SfxExitStatus(DWORD exitCode) {
  if (exitCode <= 255) return static_cast<int>(exitCode);
  int low = static_cast<int>(exitCode & 0xFF);
  return low ? low : 1;
}

BOOL SfxIsWindows9x() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
  return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

BOOL SfxHasAdminRights() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
    return FALSE;
  RegCloseKey(key);
  return TRUE;
}

void SfxExpandTokens(LPCWSTR text, LPWSTR out, int size) {
  if (!out || size < 1) return;
  out[0] = 0;
  if (!text) return;
  // The text becomes a format in which only "$(" starts a conversion: every
  // '%' is doubled and every other '$' written as "$$".
  WCHAR format[WUPRINTF_MAX] = {};
  int len = 0;
  for (const WCHAR* p = text; *p && len < WUPRINTF_MAX - 3; ++p) {
    if (*p == u'%') {
      format[len++] = u'%';
    } else if (*p == u'$' && p[1] != u'(') {
      format[len++] = u'$';
    }
    format[len++] = *p;
  }
  format[len] = 0;
  WuPrintFN(out, size, format);
}

void SfxGetWindowTitle(LPWSTR buffer, int size) {
  if (!buffer || size < 1) return;
  WCHAR title[WUPRINTF_MAX] = {};
  WuPrintFN(title, WUPRINTF_MAX, WuGetString(g_SfxRunState.lang, kWindowTitleId));
  WuStrCpyN(buffer, title, size);
}

void SfxSetDefaultTarget(const CSfxAppData& settings) {
  if (g_SfxRunState.run) return;  // the folder given with RUN stays
  LPCWSTR target = settings.DefaultTarget[0] ? settings.DefaultTarget
                                             : WuGetString(g_SfxRunState.lang, kDefaultTargetId);
  SfxExpandTokens(target, g_SfxRunState.extractFolder, SFX_PATH_SIZE);
}
