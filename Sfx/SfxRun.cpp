// The self-extractor's entry function: the road of one run, from the
// start-up checks to the exit code, with the clean-up that every path past
// the temporary folder goes through.
#include "Sfx/SfxRun.h"

#include "Sfx/CSfxAppData.h"
#include "Sfx/CSfxExtractProgress.h"
#include "Sfx/SfxCommandLine.h"
#include "Sfx/SfxExtractWorker.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxStop.h"
#include "Sfx/SfxTokens.h"
#include "Sfx/SfxWizard.h"
#include "foundation/WuKernel.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/comctl/commctrl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/threads.h"
#include "platform/user/frontend.h"

namespace {

constexpr UINT kFatalStyle = 0x40010;        // stop icon, topmost
constexpr UINT kBoxStyle = 0x30;             // exclamation
constexpr UINT kNoRightsId = 602;            // "Local system administrator privileges are required..."
constexpr UINT kCaptionId = 515;             // "Unpacking Wizard"
constexpr UINT kBannerErrorId = 553;         // "Unrecoverable error loading banner image."
constexpr WCHAR kNot9xText[] = u"This Operating System does not support this Application.";
constexpr WCHAR kNoLanguageText[] = u"Fatal Error!\nCould not load language strings.";
constexpr WCHAR kPostInstall[] = u" --post_install";

// ---- Steps ---------------------------------------------------------------------------
// A quiet run opens no windows, on a terminal either: its boxes are written
// to the output streams and answered as without a terminal, so a quiet run
// never waits for a person. A front end chosen by the host stays.
void KeepQuiet() {
  if (!dynamic_cast<platform::TerminalFrontEnd*>(platform::CurrentFrontEnd())) return;
  static platform::NonInteractiveFrontEnd quiet;  // lives to process exit
  platform::SetFrontEnd(&quiet);
}

// Ends a run that has no temporary folder yet: language handle and kernel.
DWORD EndEarly(HINSTANCE instance, DWORD code) {
  WuLang_Close(g_SfxRunState.lang);
  g_SfxRunState.lang = nullptr;
  WuKernel_LateTerminate(instance, 0);
  return code;
}

// Reads the settings of the control archive; NULL when memory is exhausted.
CSfxAppData* ReadSettings(HRESULT* result) {
  CSfxAppData* settings = new CSfxAppData();
  if (!settings) {
    *result = E_OUTOFMEMORY;
    return nullptr;
  }
  WCHAR path[SFX_PATH_SIZE] = {};
  WuPrintFN(path, SFX_PATH_SIZE, u"%s/%s", g_SfxRunState.tempFolder, kSfxSettingsFileName);
  *result = settings->ReadWriteProfile(path, FALSE);
  return settings;
}

// Tokens, fonts, folder, title and the saved position from the settings.
void ApplySettings(const CSfxAppData& settings) {
  WuMsgBoxSetAppData(g_SfxRunState.instance, nullptr, WuGetString(g_SfxRunState.lang, kCaptionId));
  SfxRegisterTokens(settings);
  WuStrCpyN(g_SfxRunState.titleFont, settings.TitleFont, SFX_FONT_NAME_SIZE);
  g_SfxRunState.titleColor = SfxParseColor(settings.TitleFontColor);
  if (settings.ExtractToTemp == 1 && !g_SfxRunState.run) {
    WuStrCpyN(g_SfxRunState.extractFolder, g_SfxRunState.tempFolder, SFX_PATH_SIZE);
  } else {
    SfxSetDefaultTarget(settings);
  }
  g_SfxRunState.showOverwrite = settings.ShowOverwrite;
  SfxGetWindowTitle(g_SfxRunState.windowTitle, SFX_PATH_SIZE);
  g_SfxRunState.wizardX = -1;
  g_SfxRunState.wizardY = -1;
}

// The banner from the control archive's file, or the built-in one.
HRESULT LoadBanner(const CSfxAppData& settings) {
  WCHAR path[SFX_PATH_SIZE] = {};
  if (settings.Banner[0])
    WuPrintFN(path, SFX_PATH_SIZE, u"%s/%s", g_SfxRunState.tempFolder, settings.Banner);
  HRESULT hr = SfxLoadBanner(path);
  if (FAILED(hr)) {
    WuMsgBoxId(g_SfxRunState.lang, nullptr, kBoxStyle, kBannerErrorId);
    return hr;
  }
  BITMAP info = {};
  if (g_SfxRunState.banner && GetObjectW(g_SfxRunState.banner, sizeof(info), &info)) {
    g_SfxRunState.bannerWidth = info.bmWidth;
    g_SfxRunState.bannerHeight = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  }
  return S_OK;
}

// Extraction (wizard or quiet); the exit code when the run stops, else 0.
DWORD Extract(const CSfxAppData& settings, bool* stop) {
  *stop = true;
  g_SfxRunState.endEvent = CreateEventW(nullptr, TRUE, FALSE, kSfxEndEventName);
  if (!g_SfxRunState.endEvent) return static_cast<DWORD>(E_FAIL);
  if (!g_SfxRunState.quiet) {
    if (!SfxRunWizard(settings.ExtractToTemp == 1)) return SFX_EXIT_CANCELLED;
  } else {
    // At once, with a progress object that has no page: it shows nothing
    // while the run goes well, asks nothing, and writes the box of a
    // failure to standard error through the front end, so that a quiet
    // run that fails says why. A worker that cannot start fails the
    // extraction and sets the event, so the wait never hangs.
    g_SfxRunState.progress = new CSfxExtractProgress(nullptr, nullptr, nullptr);
    SfxStartExtractWorker(g_SfxRunState.progress);
    g_SfxRunState.noSetup = TRUE;  // a quiet run extracts only
  }
  WaitForSingleObject(g_SfxRunState.endEvent, INFINITE);
  if (g_SfxRunState.extractResult < 0) return SFX_EXIT_CANCELLED;
  *stop = false;
  return 0;
}

// Launches the setup program unless told not to; its exit code.
DWORD Launch(CSfxAppData* settings) {
  if (g_SfxRunState.postInstall) {
    int len = WuStrLenSafe(settings->SetupAppParams);
    int add = WuStrLenSafe(kPostInstall);
    if (len + add >= SFXAPP_PATH_SIZE) return static_cast<DWORD>(E_INVALIDARG);
    WuStrCatN(settings->SetupAppParams, kPostInstall, SFXAPP_PATH_SIZE);
  }
  if (g_SfxRunState.noSetup) return 0;
  return SfxLaunchSetup(settings->SetupApp, settings->SetupAppParams);
}

// Clean-up of every path past the temporary folder.
void CleanUp(CSfxAppData* settings) {
  // A started worker always ends before anything it uses goes away.
  if (g_SfxRunState.workerThread) WaitForSingleObject(g_SfxRunState.workerThread, INFINITE);
  if (g_SfxRunState.banner) DeleteObject(g_SfxRunState.banner);
  g_SfxRunState.banner = nullptr;
  if (g_SfxRunState.endEvent) CloseHandle(g_SfxRunState.endEvent);
  g_SfxRunState.endEvent = nullptr;
  if (HANDLE worker = SfxTakeWorkerHandle()) CloseHandle(worker);
  delete g_SfxRunState.progress;
  g_SfxRunState.progress = nullptr;
  delete settings;
  // Under the signal handler's lock: a signal now waits until the tree is
  // gone instead of ending the process half-way through its removal.
  SfxRemoveTempFolder(g_SfxRunState.tempFolder);
}

// The run from the control archive to the launch; the exit code.
DWORD RunWithTempFolder(CSfxAppData** settingsOut) {
  HRESULT hr = SfxExtractControlArchive(g_SfxRunState.tempFolder);
  if (FAILED(hr)) return static_cast<DWORD>(hr);
  CSfxAppData* settings = ReadSettings(&hr);
  *settingsOut = settings;
  if (!settings || FAILED(hr)) return static_cast<DWORD>(hr);
  if (g_SfxRunState.noTemp) settings->ExtractToTemp = 0;
  if (!g_SfxRunState.langOption) WuLang_UpdateKernelLCID(g_SfxRunState.lang, settings->Lcid, 0);
  ApplySettings(*settings);
  hr = LoadBanner(*settings);
  if (FAILED(hr)) return static_cast<DWORD>(hr);
  if (settings->ExtractToTemp == 0) {
    // The settings are in memory: the folder is no longer needed.
    SfxRemoveTempFolder(g_SfxRunState.tempFolder);
  }
  if (!g_SfxRunState.run) {
    bool stop = false;
    DWORD code = Extract(*settings, &stop);
    if (stop) return code;
  }
  return Launch(settings);
}

}  // namespace

DWORD SfxWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  g_SfxRunState = {};
  g_SfxRunState.instance = instance;
  WuKernel_EarlyInitialize(instance, 0);

  if (SfxIsWindows9x()) {
    WuMessageBox(nullptr, kNot9xText, nullptr, kFatalStyle);
    return EndEarly(instance, SFX_EXIT_FATAL);
  }
  HWULANG lang = nullptr;
  if (WuLang_Open(&lang, instance, 3, 0) != 0) {
    WuMessageBox(nullptr, kNoLanguageText, nullptr, kFatalStyle);
    g_SfxRunState.lang = lang;
    return EndEarly(instance, SFX_EXIT_FATAL);
  }
  g_SfxRunState.lang = lang;
  WuLang_ChangeLangInst(lang, instance);
  if (!SfxHasAdminRights()) {
    WuMsgBoxId(lang, nullptr, kFatalStyle, kNoRightsId);
    return EndEarly(instance, SFX_EXIT_FATAL);
  }
  INITCOMMONCONTROLSEX controls = {sizeof(INITCOMMONCONTROLSEX), 0};
  InitCommonControlsEx(&controls);

  HRESULT hr = SfxProcessCommandLine(commandLine, TRUE);
  if (hr < 0) return EndEarly(instance, static_cast<DWORD>(hr));
  if (g_SfxRunState.quiet) KeepQuiet();

  g_SfxRunState.longestEntryName = SfxGetLongestEntryName();
  hr = SfxCreateTempFolder(g_SfxRunState.tempFolder, SFX_PATH_SIZE);
  if (FAILED(hr)) return EndEarly(instance, static_cast<DWORD>(hr));
  SfxWatchTempFolder(g_SfxRunState.tempFolder);

  CSfxAppData* settings = nullptr;
  DWORD code = RunWithTempFolder(&settings);
  // A signal during the setup program: what it left running goes first.
  SfxStopLeftovers();
  CleanUp(settings);
  code = EndEarly(instance, code);
  // A signal that stopped the run ends the process by that signal, once
  // everything is cleaned up.
  SfxEndIfStopped();
  return code;
}
