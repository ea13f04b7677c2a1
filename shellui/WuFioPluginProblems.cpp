// A file-format plug-in's state and the disclosure of its problems.
#include "shellui/WuFioPluginProblems.h"

#include <iterator>
#include <memory>
#include <new>

#include "fileio/WuFioBstrArray.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuHelp.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLayout.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuResPool.h"
#include "foundation/WuStaticCtl.h"
#include "foundation/WuString.h"
#include "platform/com/oleauto.h"
#include "platform/kernel/module.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "shellui/WuShellUIPool.h"

namespace {

// The error context shown when a failing plug-in explains nothing.
constexpr UINT kPluginErrorContext = 27;
// String properties asked for the dialog: title, link text, information line.
constexpr DWORD kProblemProperties[3] = {5, 8, 9};

// The state query (`text` NULL: no explanation asked for); the status,
// preset to 0.
template <class Class>
HRESULT PluginState(Class* cls, BSTR* text) {
  HRESULT status = 0;
  cls->GetState(&status, text);
  return status;
}

template <class Class>
BOOL IsAccessible(Class* cls) {
  if (!cls) return FALSE;
  return SUCCEEDED(PluginState(cls, nullptr)) ? TRUE : FALSE;
}

template <class Class>
void Disclose(Class* cls, HWND parent) {
  if (!cls) return;
  BSTR text = nullptr;
  HRESULT status = PluginState(cls, &text);
  if (SUCCEEDED(status)) {
    SysFreeString(text);
    return;
  }
  if (!text) {
    WuMsgBox(parent, MB_ICONERROR, u"%s",
             WuErrorHandler_GetContextString(MAKEINTRESOURCEW(kPluginErrorContext)));
    return;
  }
  std::unique_ptr<WUFIO_PLUGINPROBLEM> problem(new (std::nothrow) WUFIO_PLUGINPROBLEM());
  if (problem) {
    WuStrCpyN(problem->message, text, static_cast<int>(std::size(problem->message)));
    BSTR properties[3] = {};
    if (SUCCEEDED(cls->GetStrings(kProblemProperties, 3, properties))) {
      WuStrCpyN(problem->title, properties[0], static_cast<int>(std::size(problem->title)));
      WuStrCpyN(problem->link, properties[1], static_cast<int>(std::size(problem->link)));
      WuStrCpyN(problem->infoLine, properties[2], static_cast<int>(std::size(problem->infoLine)));
    }
    // A failing query may still have handed out texts.
    WuFio_FreeBstrArray(properties, 3);
    WuShellUI_InstallResPool();
    WuStaticCtl_Register(GetModuleHandleW(nullptr));
    WuResPoolDialogBox(&WuShellUIResPool, WuKernel_GetLangHandle(),
                       MAKEINTRESOURCEW(WUSHELLUI_DLG_PLUGINPROBLEM), parent, PluginProblem_DialogProc,
                       reinterpret_cast<LPARAM>(problem.get()));
  }
  SysFreeString(text);
}

void InitDialog(HWND dialog, const WUFIO_PLUGINPROBLEM* problem) {
  if (problem->title[0]) SetWindowTextW(dialog, problem->title);
  SetDlgItemTextW(dialog, 1002, problem->message);
  SetDlgItemTextW(dialog, 1001, problem->link);
  ShowWindow(GetDlgItem(dialog, 1001), problem->link[0] ? SW_SHOW : SW_HIDE);
  SetDlgItemTextW(dialog, 1007, problem->infoLine);
  ShowWindow(GetDlgItem(dialog, 1007), problem->infoLine[0] ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dialog, 1000), SW_HIDE);
  WuWndCenter(dialog, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
}

}  // namespace

BOOL WuFio_IsPluginAccessible(IWuReadFileClass* cls) { return IsAccessible(cls); }
BOOL WuFio_IsPluginAccessible(IWuRenderFileClass* cls) { return IsAccessible(cls); }

void WuFio_DisclosePluginProblems(IWuReadFileClass* cls, HWND parent) { Disclose(cls, parent); }
void WuFio_DisclosePluginProblems(IWuRenderFileClass* cls, HWND parent) { Disclose(cls, parent); }

INT_PTR PluginProblem_DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      if (lParam) InitDialog(dialog, reinterpret_cast<const WUFIO_PLUGINPROBLEM*>(lParam));
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      auto* problem = reinterpret_cast<const WUFIO_PLUGINPROBLEM*>(GetWindowLongPtrW(dialog, DWLP_USER));
      if (header && problem && header->idFrom == 1001 && header->code == WUSTATIC_NOTIFY_CLICK) {
        if (problem->link[0]) Internet_BrowseWebPage(dialog, problem->link);
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}
