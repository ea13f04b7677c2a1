// The file-properties sheet and its General page.
#include "shellui/WuFileProperties.h"

#include <atomic>
#include <cstddef>
#include <cstring>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLayout.h"
#include "foundation/WuResPool.h"
#include "foundation/WuString.h"
#include "platform/comctl/commctrl.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/module.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "shellui/WuFilePropText.h"
#include "shellui/WuShellUIPool.h"

namespace {

// The page key of the page that was active when the last sheet closed.
std::atomic<DWORD> g_lastPage{0};

// The sheet's pages: the request bit that lists each, its template in the
// pool and its procedure. Only bit 0 names a page.
struct PageEntry {
  DWORD bit;       // bit of tPWUFILEPROPINFO::pages
  WORD templateId; // dialog in WuShellUIResPool
  DLGPROC proc;    // its procedure
};
const PageEntry kPageTable[] = {
    {WUFILEPROP_PAGE_GENERAL, WUSHELLUI_DLG_FILEPROPS, FilePropPageProc},
};
constexpr size_t kPageCount = sizeof(kPageTable) / sizeof(kPageTable[0]);

// The request's fields, in order: a short request copies those it covers
// whole, so no pointer is ever half copied.
struct Field {
  size_t offset;  // in tPWUFILEPROPINFO
  size_t size;    // bytes
};
#define WU_FIELD(name) {offsetof(tPWUFILEPROPINFO, name), sizeof(tPWUFILEPROPINFO::name)}
#define WU_RESERVED(i) {offsetof(tPWUFILEPROPINFO, reserved) + (i) * sizeof(DWORD), sizeof(DWORD)}
constexpr Field kRequestFields[] = {
    WU_FIELD(mode),    WU_FIELD(pages),   WU_FIELD(flags),   WU_FIELD(path),    WU_FIELD(caption),
    WU_FIELD(reader),  WU_FIELD(manager), WU_FIELD(pageKey), WU_RESERVED(0),    WU_RESERVED(1),
    WU_RESERVED(2),    WU_RESERVED(3),    WU_RESERVED(4),    WU_RESERVED(5),    WU_RESERVED(6),
    WU_RESERVED(7),    WU_RESERVED(8)};
#undef WU_FIELD
#undef WU_RESERVED
static_assert(sizeof(kRequestFields) / sizeof(kRequestFields[0]) == 17, "the request has 17 fields");

void CopyRequest(tPWUFILEPROPINFO* to, const tPWUFILEPROPINFO* from, DWORD size) {
  const BYTE* src = reinterpret_cast<const BYTE*>(from);
  BYTE* dst = reinterpret_cast<BYTE*>(to);
  for (const Field& f : kRequestFields)
    if (f.offset + f.size <= size) std::memcpy(dst + f.offset, src + f.offset, f.size);
}

WUFILEPROPPAGE* RecordOf(HWND page) {
  return reinterpret_cast<WUFILEPROPPAGE*>(GetWindowLongPtrW(page, GWLP_USERDATA));
}

// The page's WM_INITDIALOG: `param` is its page description.
void InitPage(HWND page, LPARAM param) {
  const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(param);
  auto* record = psp ? reinterpret_cast<WUFILEPROPPAGE*>(psp->lParam) : nullptr;
  SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
  if (!record) return;
  HWND sheet = GetParent(page);
  if (record->centreOnce) {
    WuWndCenter(sheet, nullptr, nullptr, WUWC_PARENT | WUWC_THIRD);
    record->centreOnce = 0;
  }
  record->initialising = 1;
  const BOOL diagnostic = (GetAsyncKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE;
  const tPWUFILEPROPINFO& r = record->request;
  FillFilePropertiesText(GetDlgItem(page, static_cast<int>(record->textId)), r.path ? r.path : u"", r.reader,
                         r.manager, r.flags, diagnostic);
  if (!record->embedded) FilePropHideCancel(page);
  record->initialising = 0;
}

INT_PTR PageNotify(HWND page, WUFILEPROPPAGE* record, const NMHDR* header) {
  if (!header) return FALSE;
  switch (header->code) {
    case PSN_RESET:
      record->changed = 0;
      return FALSE;
    case PSN_APPLY:
      SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
      return TRUE;
    case PSN_SETACTIVE:
      record->lastPage = record->request.pageKey;
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WuFileProperties(HWND parent, const tPWUFILEPROPINFO* request, DWORD size) {
  if (!request) return E_INVALIDARG;
  WUFILEPROPPAGE record{};
  record.parent = parent;
  record.textId = WUSHELLUI_FILEPROPS_TEXT;
  record.centreOnce = 1;
  CopyRequest(&record.request, request, size);
  const tPWUFILEPROPINFO& r = record.request;
  if (!r.caption) return E_INVALIDARG;
  WCHAR caption[128];
  WuStrCpyN(caption, r.caption, 128);

  // The listed pages.
  const DWORD mask = r.pages ? r.pages : WUFILEPROP_PAGE_GENERAL;
  const PageEntry* listed[kPageCount];
  size_t count = 0;
  for (const PageEntry& e : kPageTable)
    if (mask & e.bit) listed[count++] = &e;
  size_t start = 0;
  if (r.mode == WUFILEPROP_MODE_GENERAL) {
    start = count;
    for (size_t i = 0; i < count && start == count; ++i)
      if (listed[i]->bit == WUFILEPROP_PAGE_GENERAL) start = i;
    if (start == count) return 0;
  } else {
    for (size_t i = 0; i < count; ++i)
      if (listed[i]->templateId == g_lastPage.load()) {
        start = i;
        break;
      }
  }

  // One page description each, its template copied out of the pool into a
  // block of its own (whose size tells the sheet the template's length).
  WuShellUI_InstallResPool();
  const HINSTANCE instance = WuLang_InstFromLang(WuKernel_GetLangHandle());
  HPROPSHEETPAGE pages[kPageCount];
  HGLOBAL templates[kPageCount] = {};
  UINT made = 0;
  UINT startMade = 0;
  for (size_t i = 0; i < count; ++i) {
    PROPSHEETPAGEW psp{};
    psp.dwSize = PROPSHEETPAGEW_V1_SIZE;
    psp.dwFlags = PSP_DLGINDIRECT;
    psp.hInstance = instance;
    DWORD bytes = 0;
    const DLGTEMPLATE* found =
        WuFindDialogTemplateInResPool(&WuShellUIResPool, &bytes, MAKEINTRESOURCEW(listed[i]->templateId), 0);
    if (found && bytes) {
      templates[i] = GlobalAlloc(GMEM_FIXED, bytes);
      if (templates[i]) {
        std::memcpy(templates[i], found, bytes);
        psp.pResource = static_cast<const DLGTEMPLATE*>(templates[i]);
      }
    }
    psp.pfnDlgProc = listed[i]->proc;
    psp.lParam = reinterpret_cast<LPARAM>(&record);
    HPROPSHEETPAGE page = CreatePropertySheetPageW(&psp);
    if (!page) continue;
    if (i == start) startMade = made;
    pages[made++] = page;
  }

  if (made) {
    PROPSHEETHEADERW header{};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_NOAPPLYNOW;
    header.hwndParent = parent;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = caption;
    header.nPages = made;
    header.nStartPage = startMade;
    header.phpage = pages;
    PropertySheetW(&header);  // takes the page handles over
  }
  for (HGLOBAL t : templates)
    if (t) GlobalFree(t);
  g_lastPage.store(record.lastPage);
  return record.result;
}

INT_PTR WuCallFilePropGeneral_DlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG && lParam) {
    const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    if (auto* record = reinterpret_cast<WUFILEPROPPAGE*>(psp->lParam)) record->embedded = 1;
  }
  return FilePropPageProc(window, message, wParam, lParam);
}

INT_PTR FilePropPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    InitPage(window, lParam);
    return FALSE;
  }
  WUFILEPROPPAGE* record = RecordOf(window);
  if (!record) return FALSE;
  switch (message) {
    case WM_NOTIFY:
      return PageNotify(window, record, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE && !record->initialising) {
        SendMessageW(GetParent(window), PSM_CHANGED, reinterpret_cast<WPARAM>(window), 0);
        record->changed = 1;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

void FilePropHideCancel(HWND page) {
  HWND sheet = GetParent(page);
  HWND cancel = sheet ? GetDlgItem(sheet, IDCANCEL) : nullptr;
  if (!cancel || !(static_cast<DWORD>(GetWindowLongW(cancel, GWL_STYLE)) & WS_VISIBLE)) return;
  ShowWindow(cancel, SW_HIDE);
  RECT r;
  GetWindowRect(cancel, &r);
  POINT corner{r.left, r.top};
  ScreenToClient(sheet, &corner);
  if (HWND ok = GetDlgItem(sheet, IDOK))
    SetWindowPos(ok, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const DWORD ex = static_cast<DWORD>(GetWindowLongW(sheet, GWL_EXSTYLE));
  SetWindowLongW(sheet, GWL_EXSTYLE, static_cast<LONG>(ex & ~WS_EX_CONTEXTHELP));
}

DWORD WuFileProperties_LastPage() { return g_lastPage.load(); }
