// SfxRunState: the process-wide state of one self-extractor run. The entry
// function zeroes it first; the command line, the settings, the worker and
// the wizard read and write it. Only the main thread changes it before the
// worker starts.
#pragma once

#include "platform/kernel/types.h"

typedef struct WULANG* HWULANG;  // language handle (foundation/WuLang.h)
class CSfxExtractProgress;       // the worker's progress object

// Capacities of the run state's texts, in UTF-16 units with the terminator.
constexpr int SFX_PATH_SIZE = 260;        // folders and the setup command line
constexpr int SFX_FONT_NAME_SIZE = 255;   // title font face name
constexpr int SFX_EXTRAS_SIZE = 286;      // extras passed on to the setup program

struct SfxRunState {
  HINSTANCE instance;                        // module instance handle
  HWULANG lang;                              // the run's language handle
  BOOL quiet;                                // QUIET: extract without windows, no setup
  BOOL run;                                  // RUN: launch from `extractFolder`, extract nothing
  WCHAR extractFolder[SFX_PATH_SIZE];        // extraction folder
  BOOL noSetup;                              // NOSETUP: do not launch the setup program
  BOOL postInstall;                          // POST_INSTALL: add " --post_install" to its parameters
  BOOL noTemp;                               // NOTEMP: extract to a folder of the user's choice
  WCHAR tempFolder[SFX_PATH_SIZE];           // the run's temporary folder (empty: none)
  WCHAR windowTitle[SFX_PATH_SIZE];          // wizard window title
  int wizardX;                               // saved wizard position (-1: none)
  int wizardY;
  HANDLE workerThread;                       // extraction worker thread
  HANDLE endEvent;                           // "ArchiveEndEvent"
  WORD longestEntryName;                     // length of the longest entry name
  HWND progressBar;                          // progress bar of the progress page
  HBITMAP banner;                            // banner bitmap
  int bannerHeight;                          // banner size in pixels
  int bannerWidth;
  WCHAR titleFont[SFX_FONT_NAME_SIZE];       // face name of the page headings
  COLORREF titleColor;                       // colour of the page headings
  BOOL overwriteAll;                         // TEMPEXT: overwrite existing files without asking
  BOOL showOverwrite;                        // setting ShowOverwrite
  HRESULT extractResult;                     // status code of the worker
  WCHAR setupCommand[SFX_PATH_SIZE];         // setup command line
  BOOL extras;                               // `extrasText` is passed on
  BOOL langOption;                           // the command line chose the language
  WCHAR extrasText[SFX_EXTRAS_SIZE];         // " -l xxx", " --nolaunch", " --ui xxx" ...
  CSfxExtractProgress* progress;             // the worker's progress object, or NULL
};

// The one run state of the process.
extern SfxRunState g_SfxRunState;
