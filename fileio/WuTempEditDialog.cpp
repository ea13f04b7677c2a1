// The template editor's dialog: its description, start, pages and tabs,
// the template list and selection, commands and layout.
#include <cstdlib>
#include <cstring>

#include "fileio/CFileIOTemplateHolder.h"
#include "fileio/CWuAppPropPage.h"
#include "fileio/CWuTempEditSite.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateDescription.h"
#include "fileio/WuFioTemplateLayout.h"
#include "fileio/WuTempEdit.h"
#include "fileio/WuTempEditState.h"
#include "foundation/WuDlgTemplate.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuLayout.h"
#include "foundation/WuList.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuString.h"
#include "foundation/WuTabCtl.h"
#include "foundation/WuUIFont.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/locale.h"

namespace {

const _wudlghdrcreate kHeader = {
    DS_MODALFRAME | DS_SETFONT | DS_CONTEXTHELP | WS_POPUP | WS_CAPTION | WS_SYSMENU,
    0,
    8,
    0,
    0,
    275,
    104,
    0,
    0,
    WuLangRowRef(WuLangRow_FioEditTitle),
    8,
    nullptr};

const _wudlgctrlcreate kControls[8] = {
    {MAKEINTRESOURCEW(0x82), WuLangRowRef(WuLangRow_FioEditTemplateLabel), 0xFFFF, 5, 7, 40, 8, 0,
     WS_CHILD | WS_VISIBLE},
    {MAKEINTRESOURCEW(0x85), nullptr, WUTE_ID_COMBO, 46, 5, 200, 150, 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL},
    {MAKEINTRESOURCEW(0x82), WuLangRowRef(WuLangRow_FioEditNotesLabel), 0xFFFF, 5, 22, 40, 8, 0,
     WS_CHILD | WS_VISIBLE},
    {MAKEINTRESOURCEW(0x81), nullptr, WUTE_ID_NOTES, 46, 21, 224, 28, 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE |
         ES_AUTOVSCROLL | ES_WANTRETURN},
    {MAKEINTRESOURCEW(0x82), WuLangRowRef(WuLangRow_FioEditFormatLabel), 0xFFFF, 5, 50, 40, 8, 0,
     WS_CHILD | WS_VISIBLE},
    {MAKEINTRESOURCEW(0x81), nullptr, WUTE_ID_DESCRIPTION, 46, 49, 224, 28, 0,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
         ES_AUTOVSCROLL},
    {MAKEINTRESOURCEW(0x80), WuLangRowRef(WuLangRow_FioEditOk), IDOK, 166, 86, 50, 14, 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
    {MAKEINTRESOURCEW(0x80), WuLangRowRef(WuLangRow_FioEditCancel), IDCANCEL, 220, 86, 50, 14, 0,
     WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON}};

// Description texts are at most 512 characters.
constexpr int kDescriptionUnits = 512;

WuTempEditState* StateOf(HWND dialog) {
  return reinterpret_cast<WuTempEditState*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Copies a page's title: read up to its terminator within 32 units; a
// title of 32 units or more shows its first 27 and "...".
void TakeTitle(WuTempEditPage* page) {
  LPCWSTR title = page->info.pszTitle;
  page->title[0] = 0;
  if (!title) return;
  int length = 0;
  while (length < WUTE_TITLE_UNITS && title[length]) ++length;
  if (length >= WUTE_TITLE_UNITS) {
    std::memcpy(page->title, title, 27 * sizeof(WCHAR));
    std::memcpy(page->title + 27, u"...", 4 * sizeof(WCHAR));
  } else {
    std::memcpy(page->title, title, length * sizeof(WCHAR));
    page->title[length] = 0;
  }
}

// Creates every page; pages that fail are dropped and the rest renumbered.
void CreatePages(WuTempEditState* state) {
  IUnknown* holder = static_cast<IWuFileIOTemplateEditHolder*>(state->holder);
  LONG kept = 0, firstKept = -1;
  for (LONG i = 0; i < state->pageCount; ++i) {
    WuTempEditPage page = state->pages[i];
    IWuFileIOPropertyPage* object = nullptr;
    if (page.flags & WUTE_PAGE_APP) {
      object = CWuAppPropPage::Create();
    } else if (FAILED(state->cls->GetPage(page.pluginNumber, IID_IWuFileIOPropertyPage,
                                          reinterpret_cast<void**>(&object)))) {
      object = nullptr;
    }
    bool ok = object != nullptr;
    if (ok) ok = SUCCEEDED(object->SetPageSite(state->site));
    if (ok) ok = SUCCEEDED(object->SetObjects(1, &holder));
    if (ok) {
      std::memset(&page.info, 0, sizeof(page.info));
      page.info.cb = sizeof(PROPPAGEINFO);
      ok = SUCCEEDED(object->GetPageInfo(&page.info));
      TakeTitle(&page);
      CoTaskMemFree(page.info.pszTitle);
      CoTaskMemFree(page.info.pszDocString);
      CoTaskMemFree(page.info.pszHelpFile);
      page.info.pszTitle = page.info.pszDocString = page.info.pszHelpFile = nullptr;
    }
    if (!ok) {
      if (object) {
        object->SetObjects(0, nullptr);
        object->SetPageSite(nullptr);
        object->Release();
      }
      continue;
    }
    page.page = object;
    page.number = kept;
    if ((page.flags & WUTE_PAGE_FIRST) && firstKept < 0) firstKept = kept;
    if (page.info.size.cx > state->pageSize.cx) state->pageSize.cx = page.info.size.cx;
    if (page.info.size.cy > state->pageSize.cy) state->pageSize.cy = page.info.size.cy;
    state->pages[kept++] = page;
  }
  for (LONG i = kept; i < state->pageCount; ++i)
    std::memset(&state->pages[i], 0, sizeof(WuTempEditPage));
  state->pageCount = kept;
  state->activePage = firstKept >= 0 ? firstKept : (kept > 0 ? 0 : -1);
}

// The site window's inside, where a page is shown.
RECT PageRect(const WuTempEditState* state) {
  RECT rect{};
  GetClientRect(state->siteWindow, &rect);
  rect.left += 2;
  rect.top += 2;
  rect.right -= 2;
  rect.bottom -= 2;
  return rect;
}

HRESULT ActivatePage(WuTempEditState* state, LONG index) {
  if (index < 0 || index >= state->pageCount) return E_INVALIDARG;
  WuTempEditPage& page = state->pages[index];
  RECT rect = PageRect(state);
  HRESULT hr = page.page->Activate(state->siteWindow, &rect, TRUE);
  if (FAILED(hr)) return hr;
  page.flags |= WUTE_PAGE_ACTIVE;
  page.page->Show(SW_SHOW);
  state->activePage = index;
  return S_OK;
}

// A person chose another tab: the shown page applies when dirty (a failed
// apply keeps it), then goes; the chosen one is shown.
void ChangeTab(WuTempEditState* state, LONG index) {
  if (index < 0 || index >= state->pageCount || index == state->activePage) return;
  if (state->activePage >= 0) {
    WuTempEditPage& old = state->pages[state->activePage];
    if (old.page->IsPageDirty() == S_OK && FAILED(old.page->Apply())) {
      SendMessageW(state->tabs, WUTABCTL_SELECT, static_cast<WPARAM>(state->activePage), 0);
      return;
    }
    old.page->Deactivate();
    old.flags &= ~WUTE_PAGE_ACTIVE;
    state->activePage = -1;
  }
  if (FAILED(ActivatePage(state, index))) return;
  SendMessageW(state->tabs, WUTABCTL_SELECT, static_cast<WPARAM>(index), 0);
}

void FillTabs(WuTempEditState* state) {
  WUTABCTL_TABS record{};
  const LONG count = state->pageCount < WUTE_MAX_TABS ? state->pageCount : WUTE_MAX_TABS;
  record.size = WUTABCTL_TABS_SIZE;
  record.count = static_cast<DWORD>(count);
  for (LONG i = 0; i < count; ++i) {
    std::memcpy(record.tabs[i].title, state->pages[i].title, sizeof(state->pages[i].title));
    record.tabs[i].page = static_cast<DWORD>(state->pages[i].number);
  }
  SendMessageW(state->tabs, WUTABCTL_SETTABS, 0, reinterpret_cast<LPARAM>(&record));
}

HWND CreateToolbar(WuTempEditState* state) {
  const DWORD style = WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS;
  HWND toolbar =
      WuCreateToolbarEmpty(WuKernel_GetLangHandle(), state->dialog, style, WUTE_ID_TOOLBAR);
  if (!toolbar) return nullptr;
  TBBUTTON buttons[3] = {};
  const int commands[3] = {WUTE_ID_SAVE, WUTE_ID_DELETE, WUTE_ID_HELP};
  for (int i = 0; i < 3; ++i) {
    buttons[i].iBitmap = i;
    buttons[i].idCommand = commands[i];
    buttons[i].fsState = TBSTATE_ENABLED;
    buttons[i].fsStyle = BTNS_BUTTON;
    buttons[i].iString = -1;
  }
  SendMessageW(toolbar, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(buttons));
  return toolbar;
}

// Places the controls around the pages: the dialog grows to hold the
// largest page, the site window sits under the top controls, the tab row
// (two pages or more) under it, the toolbar at the end of the shortened
// template list, and OK and Cancel move with the change.
void Layout(WuTempEditState* state) {
  HWND dialog = state->dialog;
  const int frame = GetSystemMetrics(SM_CXDLGFRAME);
  RECT window{};
  GetWindowRect(dialog, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int needWidth = state->pageSize.cx + 2 * frame + 28;
  const int newWidth = width > needWidth ? width : needWidth;
  const SIZE* font = WuGetUIFontSize(WUFONT_DIALOG);
  const int tabHeight = state->tabsShown ? (font ? font->cy : 8) + 5 : 0;
  const int growth = state->pageSize.cy + tabHeight + 4;
  SetWindowPos(dialog, nullptr, 0, 0, newWidth, height + growth, SWP_NOMOVE | SWP_NOZORDER);

  RECT top{};
  WuDlgGetControlRect(dialog, state->description, 0, &top);
  const int siteLeft = 12 - frame;
  const int siteTop = top.bottom + 12;
  const int siteWidth = newWidth - 24;
  MoveWindow(state->siteWindow, siteLeft, siteTop, siteWidth, state->pageSize.cy + 4, TRUE);
  if (state->tabs) {
    MoveWindow(state->tabs, siteLeft, siteTop + state->pageSize.cy + 4, siteWidth, tabHeight, TRUE);
    ShowWindow(state->tabs, state->tabsShown ? SW_SHOW : SW_HIDE);
  }
  const int dx = newWidth - width;
  for (int id : {IDOK, IDCANCEL}) WuDlgDeltaControlMove(dialog, id, dx, growth);

  if (state->toolbar) {
    SIZE bar{};
    WuGetToolbarSize(state->toolbar, &bar);
    RECT combo{};
    WuDlgGetControlRect(dialog, state->combo, 0, &combo);
    const int comboWidth = (combo.right - combo.left) - bar.cx;
    SetWindowPos(state->combo, nullptr, 0, 0, comboWidth, combo.bottom - combo.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    MoveWindow(state->toolbar, combo.left + comboWidth, combo.top, bar.cx, bar.cy, TRUE);
  }
}

void SetTitle(WuTempEditState* state) {
  WCHAR title[300];
  WuStrCpyNLen2(title, WuLangText(WuLangRow_FioEditTitle), 300);
  DWORD id = 5;
  BSTR text = nullptr;
  if (SUCCEEDED(state->cls->GetStrings(&id, 1, &text)) && text) {
    WuStrCatN(title, u" - ", 300);
    WuStrCatN(title, text, 300);
  }
  SysFreeString(text);
  SetWindowTextW(state->dialog, title);
}

BOOL Start(HWND dialog, WuTempEditState* state) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  state->dialog = dialog;
  state->combo = GetDlgItem(dialog, WUTE_ID_COMBO);
  state->notes = GetDlgItem(dialog, WUTE_ID_NOTES);
  state->description = GetDlgItem(dialog, WUTE_ID_DESCRIPTION);
  SendMessageW(state->notes, EM_LIMITTEXT, static_cast<WPARAM>(state->notesLimit), 0);
  CreatePages(state);
  state->siteWindow = WuTempEdit_CreateSiteWindow(state, dialog);
  state->toolbar = CreateToolbar(state);
  state->tabsShown = state->pageCount >= 2;
  WuTabCtl_Register(nullptr);
  HMENU tabsId = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(WUTE_ID_TABS));
  state->tabs = CreateWindowExW(0, WUTABCTL_CLASS, nullptr, WS_CHILD | WS_TABSTOP, 0, 0, 0, 0,
                                dialog, tabsId, nullptr, nullptr);
  if (!state->tabs) state->tabsShown = false;
  if (state->tabs) FillTabs(state);
  Layout(state);
  WuTempEdit_FillList(state);
  if (!state->current) WuTempEdit_Select(state, state->index >= 0 ? state->index : 0);
  WuTempEdit_ShowCurrent(state, true);
  if (state->activePage >= 0) {
    LONG first = state->activePage;
    state->activePage = -1;
    if (SUCCEEDED(ActivatePage(state, first)) && state->tabs)
      SendMessageW(state->tabs, WUTABCTL_SELECT, static_cast<WPARAM>(first), 0);
  }
  WuWndCenter(dialog, state->owner, nullptr, WUWC_CENTER);
  SetTitle(state);
  return TRUE;
}

void OpenHelp(WuTempEditState* state) {
  if (state->activePage >= 0) state->pages[state->activePage].page->Help(nullptr);
}

INT_PTR DialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG)
    return Start(dialog, reinterpret_cast<WuTempEditState*>(lparam));
  WuTempEditState* state = StateOf(dialog);
  if (!state) return FALSE;
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wparam);
      const int code = HIWORD(wparam);
      switch (id) {
        case IDOK:
          if (SendMessageW(state->combo, CB_GETDROPPEDSTATE, 0, 0))
            SendMessageW(state->combo, CB_SHOWDROPDOWN, FALSE, 0);
          state->lastSave = WuTempEdit_Save(state, WUTE_SAVE_CLOSING);
          if (SUCCEEDED(state->lastSave)) EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case WUTE_ID_COMBO:
          if (code == CBN_SELCHANGE) {
            LRESULT item = SendMessageW(state->combo, CB_GETCURSEL, 0, 0);
            if (item >= 0) {
              LRESULT data =
                  SendMessageW(state->combo, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
              WuTempEdit_Select(state, static_cast<LONG>(data));
            }
          } else if (code == CBN_EDITCHANGE) {
            state->state |= WUTE_PENDING;
          } else if (code == CBN_DROPDOWN) {
            WuRefreshComboBoxDropDownWidth(state->combo);
          }
          return TRUE;
        case WUTE_ID_NOTES:
          if (code == EN_CHANGE) state->state |= WUTE_NOTES_EDITED;
          return TRUE;
        case WUTE_ID_TABS:
          ChangeTab(state, code);
          return TRUE;
        case WUTE_ID_SAVE:
          state->lastSave = WuTempEdit_Save(state, WUTE_SAVE_INTERACTIVE);
          return TRUE;
        case WUTE_ID_DELETE:
          state->lastSave = WuTempEdit_Delete(state);
          return TRUE;
        case WUTE_ID_HELP:
          OpenHelp(state);
          return TRUE;
        default:
          break;
      }
      break;
    }
    case WM_NOTIFY: {
      // The toolbar's tips.
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (header && header->code == TTN_GETDISPINFOW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
        const UINT_PTR from = header->idFrom;
        const WuLangStringRow* row = from == WUTE_ID_SAVE     ? &WuLangRow_FioEditTipSave
                                     : from == WUTE_ID_DELETE ? &WuLangRow_FioEditTipDelete
                                     : from == WUTE_ID_HELP   ? &WuLangRow_FioEditTipHelp
                                                              : nullptr;
        if (row) {
          info->lpszText = const_cast<LPWSTR>(WuLangText(*row));
          info->hinst = nullptr;
        }
        return TRUE;
      }
      break;
    }
    case WM_HELP:
      OpenHelp(state);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

const _wudlghdrcreate* WuTempEdit_DialogHeader() { return &kHeader; }
const _wudlgctrlcreate* WuTempEdit_DialogControls() { return kControls; }

// ---- The list ----------------------------------------------------------------------------

void WuTempEdit_FillList(WuTempEditState* state) {
  SendMessageW(state->combo, CB_RESETCONTENT, 0, 0);
  tWULIST* list = state->cache->GetTemplateList();
  const bool all = (state->args->settings[1] & 1) != 0;
  LPCWSTR currentName = state->current ? WuTpl_Name(state->current) : nullptr;
  LRESULT chosen = -1;
  for (LONG i = 0; list && i < list->count; ++i) {
    auto* record = static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(list, i));
    if (!record) continue;
    if (!all && WuTpl_LayoutOk(record) && record->audio.streamCount >= 2) continue;
    LRESULT item = SendMessageW(state->combo, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(WuTpl_Name(record)));
    if (item < 0) continue;
    SendMessageW(state->combo, CB_SETITEMDATA, static_cast<WPARAM>(item), i);
    if (chosen < 0 && currentName && lstrcmpiW(WuTpl_Name(record), currentName) == 0) {
      chosen = item;
      state->index = i;
    }
  }
  if (chosen < 0 && SendMessageW(state->combo, CB_GETCOUNT, 0, 0) > 0) {
    chosen = 0;
    state->index = static_cast<LONG>(SendMessageW(state->combo, CB_GETITEMDATA, 0, 0));
  }
  SendMessageW(state->combo, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  if (chosen >= 0 && currentName) SetWindowTextW(state->combo, currentName);
}

void WuTempEdit_ShowCurrent(WuTempEditState* state, bool notes) {
  WCHAR text[kDescriptionUnits + 1] = {};
  if (state->current)
    WuFio_MakeTemplateDescription(state->current, 0, text, kDescriptionUnits);
  SetWindowTextW(state->description, text);
  if (notes) {
    SetWindowTextW(state->notes, state->current ? WuFio_GetTemplateNotesPtr(state->current) : u"");
    state->state &= ~WUTE_NOTES_EDITED;
  }
}

void WuTempEdit_Select(WuTempEditState* state, LONG index) {
  tWULIST* list = state->cache->GetTemplateList();
  auto* record = (list && index >= 0 && index < list->count)
                     ? static_cast<tagWUTEMPLATExV2*>(WuList_PointerAt(list, index))
                     : nullptr;
  if (!record) return;
  if (!WuTpl_LayoutOk(record)) {
    // The entry no longer gives a template: back to the old selection,
    // then the question.
    WCHAR name[261];
    const LRESULT item = SendMessageW(state->combo, CB_GETCURSEL, 0, 0);
    name[0] = 0;
    const WPARAM at = static_cast<WPARAM>(item);
    if (item >= 0 && SendMessageW(state->combo, CB_GETLBTEXTLEN, at, 0) < 261)
      SendMessageW(state->combo, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(name));
    WuTempEdit_FillList(state);
    if (WuMsgBox(state->dialog, MB_OKCANCEL | MB_ICONQUESTION, WuLangText(WuLangRow_FioEditCannotLoad),
                 name) == IDOK)
      WuTempEdit_DeleteRecord(state, record);
    return;
  }
  WuTempEdit_ReplaceCurrent(state, record, 0);
  state->index = index;
  state->state &= ~WUTE_PENDING;
  WuTempEdit_ShowCurrent(state, true);
  if (state->activePage >= 0) state->pages[state->activePage].page->Refresh();
}

INT_PTR WuTempEdit_RunDialog(WuTempEditState* state) {
  HWULANG lang = WuKernel_GetLangHandle();
  // The texts are looked up here, so that a program without a language
  // handle shows them too.
  _wudlghdrcreate header = kHeader;
  header.caption = WuGetStringSmart(lang, header.caption);
  _wudlgctrlcreate controls[8];
  for (int i = 0; i < 8; ++i) {
    controls[i] = kControls[i];
    controls[i].text = WuGetStringSmart(lang, controls[i].text);
  }
  const DLGTEMPLATE* description = WuCreateDialogTemplate(lang, &header, controls);
  if (!description) return -1;
  // A program that has not started the kernel has no language handle; its
  // dialog runs in the program's own module.
  INT_PTR result = lang ? WuDialogBoxIndirectParam(lang, description, state->owner, DialogProc,
                                                   reinterpret_cast<LPARAM>(state))
                        : DialogBoxIndirectParamW(nullptr, description, state->owner, DialogProc,
                                                  reinterpret_cast<LPARAM>(state));
  WuFreeDialogTemplate(description);
  state->dialog = nullptr;
  return result;
}
