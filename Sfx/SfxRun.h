// The self-extractor's run: from the program's start to its exit code.
//
// SfxWinMain checks the platform and the user's rights, reads the command
// line, unpacks the control archive "sfxctrl.ach" from the package into a
// fresh private temporary folder, reads the package settings from it, runs
// the wizard (or extracts quietly), launches the setup program, waits for
// it, removes the temporary folder and returns the 32-bit exit code:
//   1                        a fatal start-up box (platform, language, rights)
//   negative status          command line, temporary folder, control archive,
//                            settings or banner failed (0x8004E070 after the
//                            help box, E_INVALIDARG after a syntax error,
//                            0x8004E071 when the temporary folder is not
//                            writable)
//   1602                     the wizard was cancelled or extraction failed
//   otherwise                the setup program's exit code (1 when it could
//                            not be started), 0 when none is run
#pragma once

#include "platform/kernel/types.h"

class CSfxAppData;

// Exit codes of the run besides the setup program's own.
constexpr DWORD SFX_EXIT_FATAL = 1;                 // fatal start-up box
constexpr DWORD SFX_EXIT_CANCELLED = 1602;          // cancelled, or extraction failed
constexpr HRESULT SFX_E_TEMP_NOT_WRITABLE = static_cast<HRESULT>(0x8004E071);

// Name of the control archive in the package and of the end event.
constexpr WCHAR kSfxControlArchiveName[] = u"sfxctrl.ach";
constexpr WCHAR kSfxEndEventName[] = u"ArchiveEndEvent";
// The temporary folder's name below the user's temporary path, before its
// number.
constexpr WCHAR kSfxTempFolderPrefix[] = u"OrvoInstall_";
// Thread message through which the launch watcher posts the exit code.
constexpr UINT SFX_WM_SETUP_ENDED = 0x8001;

// The whole run; returns the 32-bit exit code (above).
DWORD SfxWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

// The process status (8 bits) for a run's exit code: 0..255 unchanged;
// larger codes (and the negative status codes) their low 8 bits, or 1 when
// those are 0, so that a failure never reads as success.
int SfxExitStatus(DWORD exitCode);

// TRUE when the platform reports the Windows 9x family.
BOOL SfxIsWindows9x();
// TRUE when the machine's "SOFTWARE" key opens with full access.
BOOL SfxHasAdminRights();

// Creates the run's temporary folder "<temp path>OrvoInstall_<n>" (first
// free n) as a new private folder: an existing name is passed over, never
// adopted. 0 with the folder in `buffer`; 0x8004E071 after box 550 when the
// temporary path is not writable; E_INVALIDARG after box 550 when 100
// candidates could not be created (`buffer` then empty).
HRESULT SfxCreateTempFolder(LPWSTR buffer, int size);

// Length of the longest entry name of the package's archive (0 when it
// cannot be opened).
WORD SfxGetLongestEntryName();

// Unpacks "sfxctrl.ach" from the package into `folder` and then its
// entries there. 0 on success; the failure (after box 551 or 552)
// otherwise; a lack of space is E_FAIL-class failure, never success.
HRESULT SfxExtractControlArchive(LPCWSTR folder);

// UI string 700 expanded, at most size - 1 units.
void SfxGetWindowTitle(LPWSTR buffer, int size);

// Expands the $(token) references of a text and nothing else: '%' and any
// other '$' stay as written. The result is cut to `size` - 1 units.
void SfxExpandTokens(LPCWSTR text, LPWSTR out, int size);

// Chooses the extraction folder from DefaultTarget (or UI string 204).
void SfxSetDefaultTarget(const CSfxAppData& settings);

// Builds the setup command line: the quoted path of `setupApp` in the
// extraction folder, then `params` (when not empty), then the extras
// text. E_INVALIDARG (nothing launched) when it does not fit.
HRESULT SfxBuildSetupCommand(LPCWSTR setupApp, LPCWSTR params, LPWSTR out, int size);

// Launches the setup program and waits for it; its exit code (1 when it
// could not be started, E_FAIL when the watcher thread could not start;
// E_INVALIDARG when the command line does not fit).
DWORD SfxLaunchSetup(LPCWSTR setupApp, LPCWSTR params);
// Starts the watcher and pumps messages until it posts the exit code.
DWORD SfxRunSetupAndWait();
// The watcher thread: starts the setup program (the run state's setup
// command line), waits for it and posts SFX_WM_SETUP_ENDED to the thread
// whose id `mainThreadId` carries: wParam the launch's own error (0 when
// the program started), lParam the exit code (1 when it did not start).
DWORD SfxLaunchThreadProc(LPVOID mainThreadId);

// Deletes the files matching folder/pattern (clearing read-only first;
// folders stay), and with `recurse` the same in every sub-folder. Symbolic
// links are never followed. TRUE when every deletion succeeded.
BOOL Sfx_WuDeleteFiles(LPCWSTR folder, LPCWSTR pattern, BOOL recurse);
// Deletes everything below a folder, and the folder itself when asked.
// A symbolic link (to a file or a folder) is removed itself: what it
// points at is never touched. TRUE when every deletion succeeded.
BOOL Sfx_WuDeleteDirectoryTree(LPCWSTR folder, BOOL removeSelf);

// The package file the run reads: the program's own file, unless a host
// that runs packages in-process named another one with SfxSetPackagePath
// (NULL: back to the program's own file). Returns the length, 0 on failure.
DWORD SfxGetPackagePath(LPWSTR buffer, DWORD size);
void SfxSetPackagePath(LPCWSTR path);
