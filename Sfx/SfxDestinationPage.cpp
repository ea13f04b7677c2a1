// The destination page (dialog 1100): the folder the package extracts to,
// checked before the wizard goes on.
#include "Sfx/SfxExtractWorker.h"
#include "Sfx/SfxRunState.h"
#include "Sfx/SfxUiIds.h"
#include "Sfx/SfxWizard.h"
#include "foundation/WuCommDlg.h"
#include "foundation/WuFolders.h"
#include "foundation/WuLang.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"

namespace {

constexpr UINT kMessageStyle = 0x30;  // exclamation, OK
constexpr int kFolderFieldRoom = 210; // the folder and the longest entry name share this

// Shows a message about the folder field and puts the focus back into it.
void FolderMessage(HWND page, UINT id) {
  WuMsgBoxId(g_SfxRunState.lang, page, kMessageStyle, id);
  SetFocus(GetDlgItem(page, SFX_IDC_FOLDER_EDIT));
}

bool IsSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

// TRUE when the text is exactly its own drive or share root.
bool IsItsRoot(LPCWSTR text) {
  WCHAR root[SFX_PATH_SIZE];
  int rootLength = WuGetRootPathFromFilePath(text, root, SFX_PATH_SIZE);
  if (rootLength == 0 || rootLength != WuStrLenSafe(text)) return false;
  for (int i = 0; i < rootLength; ++i) {
    WCHAR a = platform::CharLower(text[i]);
    WCHAR b = platform::CharLower(root[i]);
    if (a != b && !(IsSeparator(a) && IsSeparator(b))) return false;
  }
  return true;
}

// TRUE when the folder text names nothing but a root: "C:\", "/",
// "\\server\share\", also without the final separator ("C:").
bool IsRootOnly(LPCWSTR text) {
  if (IsItsRoot(text)) return true;
  WCHAR withSeparator[SFX_PATH_SIZE + 1];
  WuStrCpyN(withSeparator, text, SFX_PATH_SIZE);
  WuStrCatN(withSeparator, u"/", SFX_PATH_SIZE + 1);
  return IsItsRoot(withSeparator);
}

// The message for a folder that could not be created. A root that does not
// exist (a drive mapped nowhere) is a missing drive whatever the error.
UINT CreateFailureMessage(LPCWSTR folder, DWORD error) {
  WCHAR root[SFX_PATH_SIZE];
  if (error == ERROR_INVALID_DRIVE ||
      (WuGetRootPathFromFilePath(folder, root, SFX_PATH_SIZE) > 0 && !WuIsDirectory(root)))
    return SFX_IDS_NO_DRIVE;
  if (error == ERROR_FILENAME_EXCED_RANGE) return SFX_IDS_PATH_TOO_LONG;
  return SFX_IDS_CANNOT_CREATE;
}

void InitPage(HWND page) {
  // Room for the longest entry name below the folder; always at least one
  // character, even for very long names.
  int limit = kFolderFieldRoom - g_SfxRunState.longestEntryName;
  if (limit < 1) limit = 1;
  SendDlgItemMessageW(page, SFX_IDC_FOLDER_EDIT, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
  SetDlgItemTextW(page, SFX_IDC_FOLDER_EDIT, g_SfxRunState.extractFolder);
  SetWindowTextW(page, g_SfxRunState.windowTitle);
  SfxPlaceWindow(page);
  SetForegroundWindow(page);
  SetFocus(GetDlgItem(page, SFX_IDC_NEXT));
}

// Next or Back: checks the folder text and ends the page when it will do.
void LeavePage(HWND page, int button) {
  WCHAR text[SFX_PATH_SIZE] = {};
  GetDlgItemTextW(page, SFX_IDC_FOLDER_EDIT, text, SFX_PATH_SIZE);
  WuStripWhiteSpace(text);
  if (!SfxIsValidFolderText(text)) return FolderMessage(page, SFX_IDS_BAD_FOLDER);
  if (IsRootOnly(text)) return FolderMessage(page, SFX_IDS_ROOT_FOLDER);
  WuStrCpyN(g_SfxRunState.extractFolder, text, SFX_PATH_SIZE);
  SfxSaveWindowPosition(page);
  if (button == SFX_IDC_BACK) {
    EndDialog(page, SFX_IDC_BACK);
    return;
  }
  if (!WuIsDirectory(text) && !WuCreateDirectory(text, nullptr))
    return FolderMessage(page, CreateFailureMessage(text, GetLastError()));
  if (!SfxIsSpaceForExtraction(text)) return FolderMessage(page, SFX_IDS_FOLDER_FULL);
  EndDialog(page, SFX_IDC_NEXT);
}

void OnCommand(HWND page, int id, int code) {
  switch (id) {
    case SFX_IDC_FOLDER_EDIT:
      if (code == EN_CHANGE)
        EnableWindow(GetDlgItem(page, SFX_IDC_NEXT),
                     GetWindowTextLengthW(GetDlgItem(page, SFX_IDC_FOLDER_EDIT)) > 0);
      break;
    case SFX_IDC_CHANGE: {
      WCHAR current[SFX_PATH_SIZE] = {};
      GetDlgItemTextW(page, SFX_IDC_FOLDER_EDIT, current, SFX_PATH_SIZE);
      if (SfxBrowseForFolder(page, current))
        SetDlgItemTextW(page, SFX_IDC_FOLDER_EDIT, g_SfxRunState.extractFolder);
      break;
    }
    case IDCANCEL:
      if (SfxConfirmCancel(page)) EndDialog(page, SFX_PAGE_CANCEL);
      break;
    case SFX_IDC_NEXT:
    case SFX_IDC_BACK:
      LeavePage(page, id);
      break;
    default:
      break;
  }
}

void Paint(HWND page) {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(page, &paint);
  if (!dc) return;
  SfxPaintBanner(page, dc);
  SfxPaintHeading(page, dc, SFX_IDS_LOCATION_HEADING, SFX_IDC_FOLDER_EDIT);
  EndPaint(page, &paint);
}

}  // namespace

BOOL SfxIsValidFolderText(LPCWSTR text) {
  if (!text || !*text) return FALSE;
  for (const WCHAR* p = text; *p; ++p)
    if (*p == u'"' || *p == u'*' || *p == u'<' || *p == u'>' || *p == u'?' || *p == u'|') return FALSE;
  return TRUE;
}

BOOL SfxBrowseForFolder(HWND window, LPCWSTR current) {
  WCHAR folder[SFX_PATH_SIZE] = {};
  WuStrCpyN(folder, current ? current : u"", SFX_PATH_SIZE);
  HRESULT hr = WuSelectDirectoryDlgEx(window, WuGetString(g_SfxRunState.lang, SFX_IDS_SELECT_DIRECTORY),
                                      folder, SFX_PATH_SIZE, TRUE, TRUE);
  if (FAILED(hr)) return FALSE;
  WuStrCpyN(g_SfxRunState.extractFolder, folder, SFX_PATH_SIZE);
  return TRUE;
}

INT_PTR SfxDestinationPageProc(HWND page, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      InitPage(page);
      return FALSE;  // the focus is set
    case WM_COMMAND:
      OnCommand(page, LOWORD(wparam), HIWORD(wparam));
      return TRUE;
    case WM_PAINT:
      Paint(page);
      return TRUE;
    default:
      return FALSE;
  }
}
