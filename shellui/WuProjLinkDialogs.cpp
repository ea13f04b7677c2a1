// The launch dialogs: "Run Application" (102), which shows what would be
// started and asks, and "Source Project Not Found" (103), which lets the
// user locate a project that has moved.
#include <vector>

#include "foundation/WuAbout.h"
#include "foundation/WuFolders.h"
#include "foundation/WuLayout.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/shell/commdlg.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "shellui/WuProjLinkInternal.h"
#include "shellui/WuProjLinkLaunch.h"
#include "shellui/WuShellUIText.h"

namespace {

using shellui::YesNo;

constexpr int kTextChars = 512;

// Shows or hides (and enables or disables) a control.
void ShowItem(HWND dialog, int id, bool show) {
  HWND item = GetDlgItem(dialog, id);
  if (!item) return;
  ShowWindow(item, show ? SW_SHOW : SW_HIDE);
  EnableWindow(item, show ? TRUE : FALSE);
}

// Sets a label and its text from a text field of the record, both shown
// only when the field is present.
template <typename Getter>
void OptionalRow(HWND dialog, int labelId, int textId, bool present, Getter get) {
  if (present) {
    std::vector<WCHAR> text(kTextChars);
    get(text.data(), kTextChars);
    SetDlgItemTextW(dialog, textId, text.data());
  }
  ShowItem(dialog, labelId, present);
  ShowItem(dialog, textId, present);
}

tWULAUNCHDLGINFO* DialogInfo(HWND dialog) {
  return reinterpret_cast<tWULAUNCHDLGINFO*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Lets the user pick the project; TRUE with the path in dlg->located.
bool BrowseForProject(HWND dialog, tWULAUNCHDLGINFO* dlg) {
  const WCHAR* name = WuGetFileNamePtrW(dlg->projectPath);
  const WCHAR* ext = WuGetFileNameExtensionPtrW(name);
  // The filter: "Missing Project Extension: (<ext>)", "*<ext>", "All Files",
  // " *.*", each terminated, then an empty text. (The file dialog trims the
  // blanks around each pattern.)
  std::vector<WCHAR> filter;
  auto add = [&filter](const WCHAR* text) {
    for (; *text; ++text) filter.push_back(*text);
    filter.push_back(0);
  };
  std::vector<WCHAR> entry(kTextChars);
  WuPrintFN(entry.data(), kTextChars, WuLangText(WuLangRow_ShellUINotFoundFilter), ext);  // our own row; the extension is an argument
  add(entry.data());
  std::vector<WCHAR> pattern{u'*'};
  for (const WCHAR* p = ext; *p; ++p) pattern.push_back(*p);
  pattern.push_back(0);
  add(pattern.data());
  add(WuLangText(WuLangRow_ShellUINotFoundAllFiles));
  add(u" *.*");
  filter.push_back(0);

  WCHAR* file = dlg->located;
  WuStrCpyN(file, name, WULAUNCH_PATH_CHARS);
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = dialog;
  ofn.lpstrFilter = filter.data();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = WULAUNCH_ARGS_CHARS;
  ofn.lpstrDefExt = *ext == u'.' ? ext + 1 : ext;
  ofn.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING;
  if (!GetOpenFileNameW(&ofn) || !file[0]) {
    file[0] = 0;
    return false;
  }
  tWULAUNCHAPPINFO* request = dlg->request;
  if (request->projectPath) WuStrCpyN(request->projectPath, file, request->projectPathSize);
  return true;
}

}  // namespace

void ProjLink_InitRunDialog(HWND dialog, tWULAUNCHDLGINFO* dlg) {
  tWULAUNCHAPPINFO* request = dlg->request;
  CWuLinkProjectInfo* info = dlg->info;
  if (request->caption) SetWindowTextW(dialog, request->caption);

  // The application: its version texts, path and argument text.
  struct VersionText {
    int id;
    const WCHAR* name;
  };
  const VersionText texts[] = {{1011, u"FileDescription"}, {1012, u"FileVersion"}, {1016, u"CompanyName"}};
  std::vector<WCHAR> text(kTextChars);
  for (const VersionText& t : texts) {
    text[0] = 0;
    if (FAILED(WuVersion_GetString(dlg->appPath, t.name, text.data(), kTextChars))) text[0] = 0;
    SetDlgItemTextW(dialog, t.id, text.data());
  }
  SetDlgItemTextW(dialog, 1010, dlg->appPath);
  SetDlgItemTextW(dialog, 1013, dlg->arguments);

  // Embedded project data: "yes (<n> bytes)" or "no".
  if (ProjLink_HasField(info, WULPI_PROJECT_DATA)) {
    std::vector<WCHAR> suffix(kTextChars);
    WuPrintFN(suffix.data(), kTextChars, WuLangText(WuLangRow_ShellUIBytesSuffix),
              static_cast<int>(info->GetProjectDataSize()));
    WuStrCpyN(text.data(), YesNo(true), kTextChars);
    WuStrCatN(text.data(), suffix.data(), kTextChars);
    SetDlgItemTextW(dialog, 1017, text.data());
  } else {
    SetDlgItemTextW(dialog, 1017, YesNo(false));
  }

  OptionalRow(dialog, 1022, 1023, ProjLink_HasField(info, WULPI_CREATOR_APP_INFO),
              [info](WCHAR* out, int size) { info->GetCreatorAppInfo(out, size); });
  OptionalRow(dialog, 1024, 1025, ProjLink_HasField(info, WULPI_CREATOR_WINDOW_CLASS),
              [info](WCHAR* out, int size) { info->GetCreatorAppWindowClassName(out, size); });
  OptionalRow(dialog, 1018, 1019, ProjLink_HasField(info, WULPI_PROJECT_PATH),
              [dlg](WCHAR* out, int size) { WuStrCpyN(out, dlg->projectPath, size); });

  SetDlgItemTextW(dialog, 1014, YesNo(dlg->knownApp != FALSE));
  DWORD options = request->options ? request->options : (WULAUNCH_OPT_OWN_APP | WULAUNCH_OPT_SECURITY);
  SetDlgItemTextW(dialog, 1015, YesNo((options & WULAUNCH_OPT_SECURITY) != 0));
  ShowItem(dialog, 1021, false);
  ShowItem(dialog, 1015, false);

  bool canRun = (request->flags & WULAUNCH_RUN_BUTTON) != 0;
  if (canRun) {
    CheckDlgButton(dialog, 1020, BST_UNCHECKED);
    request->doNotShowAgain = 0;
  }
  ShowItem(dialog, IDOK, canRun);
  // Without Run, Enter cancels.
  SendMessageW(dialog, DM_SETDEFID, canRun ? IDOK : IDCANCEL, 0);
  WuWndCenter(dialog, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
}

INT_PTR ProjLink_RunDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* dlg = reinterpret_cast<tWULAUNCHDLGINFO*>(lparam);
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ProjLink_InitRunDialog(dialog, dlg);
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wparam);
      tWULAUNCHDLGINFO* dlg = DialogInfo(dialog);
      if (!dlg || (id != IDOK && id != IDCANCEL)) return FALSE;
      // Run exists only when offered (Enter without it cancels).
      if (id == IDOK && !(dlg->request->flags & WULAUNCH_RUN_BUTTON)) id = IDCANCEL;
      dlg->request->doNotShowAgain = IsDlgButtonChecked(dialog, 1020) == BST_CHECKED ? 1 : 0;
      EndDialog(dialog, id == IDOK ? 1 : 0);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void ProjLink_InitNotFoundDialog(HWND dialog, tWULAUNCHDLGINFO* dlg) {
  HWND pathItem = GetDlgItem(dialog, 1006);
  WCHAR shown[WULAUNCH_PATH_CHARS];
  if (!pathItem ||
      FAILED(WuCalcPathEllipsisExCtl(pathItem, dlg->projectPath, shown, WULAUNCH_PATH_CHARS, 0)))
    WuStrCpyN(shown, dlg->projectPath, WULAUNCH_PATH_CHARS);
  SetDlgItemTextW(dialog, 1006, shown);
  dlg->located[0] = 0;
  WuWndCenter(dialog, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
}

INT_PTR ProjLink_NotFoundDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lparam);
      ProjLink_InitNotFoundDialog(dialog, reinterpret_cast<tWULAUNCHDLGINFO*>(lparam));
      return TRUE;
    case WM_COMMAND: {
      tWULAUNCHDLGINFO* dlg = DialogInfo(dialog);
      if (!dlg) return FALSE;
      if (LOWORD(wparam) == 1026) {
        EndDialog(dialog, BrowseForProject(dialog, dlg) ? 1 : 0);
        return TRUE;
      }
      if (LOWORD(wparam) == IDCANCEL) {
        dlg->located[0] = 0;
        EndDialog(dialog, 0);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}
