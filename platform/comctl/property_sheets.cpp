// Property sheets and their pages, wizards included.
#include "platform/comctl/commctrl.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "platform/comctl/comctl_internal.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/error.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/resource.h"
#include "platform/user/control_state.h"
#include "platform/user/frontend.h"

namespace platform {
namespace {

// A page handle: the caller's page record copied whole (its dwSize bytes).
struct PageRecord {
  std::vector<BYTE> bytes;  // the copy; starts with a PROPSHEETPAGEW, 8-byte aligned
  PROPSHEETPAGEW* page() { return reinterpret_cast<PROPSHEETPAGEW*>(bytes.data()); }
};

struct PageRegistry {
  std::mutex lock;
  std::set<PageRecord*> live;  // page handles not yet destroyed
};

PageRegistry& Pages() {
  static PageRegistry* registry = new PageRegistry;  // lives to process exit
  return *registry;
}

PageRecord* RecordOf(HPROPSHEETPAGE handle) {
  PageRegistry& r = Pages();
  std::lock_guard<std::mutex> guard(r.lock);
  auto* record = reinterpret_cast<PageRecord*>(handle);
  return r.live.count(record) ? record : nullptr;
}

// One page of a running sheet.
struct SheetPage {
  PageRecord* record = nullptr;  // its page record
  HWND hwnd = nullptr;           // the page dialog, once made
  const void* bytes = nullptr;   // its template
  size_t size = 0;               // the template's size (0: unknown)
  std::u16string title;          // tab text
  SIZE pixels{0, 0};             // client size
  bool changed = false;          // PSM_CHANGED
};

// A running sheet.
struct Sheet {
  DWORD flags = 0;                 // PSH_*
  HWND hwnd = nullptr;             // the sheet dialog
  HWND tab = nullptr;              // the tab control (not in wizards)
  std::vector<SheetPage> pages;    // its pages
  int current = -1;                // the page shown
  RECT page_area{};                // where pages go (sheet client coordinates)
  INT_PTR result = 0;              // what PropertySheetW returns
  bool wizard = false;             // PSH_WIZARD / PSH_WIZARD97
  bool modeless = false;           // PSH_MODELESS
  bool done = false;               // a modeless sheet was closed
  PFNPROPSHEETCALLBACK callback = nullptr;  // PSH_USECALLBACK
};

constexpr LPCWSTR kSheetProp = u"platform.PropertySheet";

Sheet* SheetOf(HWND hwnd) { return reinterpret_cast<Sheet*>(GetPropW(hwnd, kSheetProp)); }

// Looks up a page's template and measures it; FALSE when it has none.
bool LoadPageTemplate(SheetPage* page) {
  PROPSHEETPAGEW* psp = page->record->page();
  if (psp->dwFlags & PSP_DLGINDIRECT) {
    page->bytes = psp->pResource;
    page->size = 0;
  } else {
    HRSRC res = FindResourceW(psp->hInstance, psp->pszTemplate, RT_DIALOG);
    if (!res) return false;
    page->bytes = LockResource(LoadResource(psp->hInstance, res));
    page->size = SizeofResource(psp->hInstance, res);
  }
  if (!page->bytes) return false;
  size_t size = page->size ? page->size : IndirectTemplateSize(page->bytes, 0x40000);
  DialogTemplateHeader header;
  if (!ReadDialogTemplateHeader(page->bytes, size, &header)) return false;
  if (!DialogTemplatePixelSize(page->bytes, size, &page->pixels)) return false;
  page->title = header.title;
  if (psp->dwFlags & PSP_USETITLE) {
    if (IS_INTRESOURCE(psp->pszTitle)) {
      WCHAR buffer[256];
      int n = LoadStringW(psp->hInstance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(psp->pszTitle)), buffer, 256);
      page->title.assign(buffer, static_cast<size_t>(std::max(n, 0)));
    } else {
      page->title = psp->pszTitle;
    }
  }
  return true;
}

// WM_NOTIFY with a PSHNOTIFY to a page; the page's answer.
LRESULT NotifyPage(Sheet* sheet, size_t index, UINT code, LPARAM lparam) {
  HWND page = sheet->pages[index].hwnd;
  if (!page) return 0;
  PSHNOTIFY n{{sheet->hwnd, 0, code}, lparam};
  return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
}

// Makes a page's dialog the first time it is shown.
bool MakePage(Sheet* sheet, size_t index) {
  SheetPage& page = sheet->pages[index];
  if (page.hwnd) return true;
  PROPSHEETPAGEW* psp = page.record->page();
  if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
      psp->pfnCallback(nullptr, PSPCB_CREATE, psp) == 0)
    return false;
  HWND hwnd = CreateChildDialog(psp->hInstance, page.bytes, page.size, sheet->hwnd, psp->pfnDlgProc,
                                reinterpret_cast<LPARAM>(psp));
  if (!hwnd) return false;
  page.hwnd = hwnd;
  SetWindowPos(hwnd, HWND_TOP, sheet->page_area.left, sheet->page_area.top,
               sheet->page_area.right - sheet->page_area.left, sheet->page_area.bottom - sheet->page_area.top,
               SWP_NOACTIVATE);
  return true;
}

int PageByResourceId(Sheet* sheet, LRESULT id) {
  for (size_t i = 0; i < sheet->pages.size(); ++i) {
    PROPSHEETPAGEW* psp = sheet->pages[i].record->page();
    if (!(psp->dwFlags & PSP_DLGINDIRECT) && psp->pszTemplate == reinterpret_cast<LPCWSTR>(id))
      return static_cast<int>(i);
  }
  return -1;
}

void UpdateApply(Sheet* sheet) {
  bool any = std::any_of(sheet->pages.begin(), sheet->pages.end(), [](const SheetPage& p) { return p.changed; });
  if (HWND apply = GetDlgItem(sheet->hwnd, IDC_SHEET_APPLY)) EnableWindow(apply, any);
}

// Shows page `index`; `kill` first asks the page shown (PSN_KILLACTIVE).
bool Activate(Sheet* sheet, int index, bool kill, int depth = 0) {
  if (index < 0 || static_cast<size_t>(index) >= sheet->pages.size() || depth > 16) return false;
  if (index == sheet->current) return true;
  if (kill && sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0))
    return false;
  if (!MakePage(sheet, static_cast<size_t>(index))) return false;
  LRESULT answer = NotifyPage(sheet, static_cast<size_t>(index), PSN_SETACTIVE, 0);
  if (answer == -1) return false;
  if (answer != 0) return Activate(sheet, PageByResourceId(sheet, answer), false, depth + 1);
  if (sheet->current >= 0 && sheet->pages[static_cast<size_t>(sheet->current)].hwnd)
    ShowWindow(sheet->pages[static_cast<size_t>(sheet->current)].hwnd, SW_HIDE);
  sheet->current = index;
  HWND page = sheet->pages[static_cast<size_t>(index)].hwnd;
  ShowWindow(page, SW_SHOWNA);
  if (sheet->tab) SendMessageW(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  return true;
}

void EndSheet(Sheet* sheet, INT_PTR result) {
  sheet->result = result;
  if (sheet->modeless) {
    sheet->done = true;
    ShowWindow(sheet->hwnd, SW_HIDE);
  } else {
    EndDialog(sheet->hwnd, result);
  }
}

// OK (close) or Apply (keep open): FALSE when a page objects.
bool ApplyPages(Sheet* sheet, bool close) {
  if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0)) return false;
  for (size_t i = 0; i < sheet->pages.size(); ++i) {
    LRESULT answer = NotifyPage(sheet, i, PSN_APPLY, close ? TRUE : FALSE);
    if (answer == PSNRET_INVALID) {
      Activate(sheet, static_cast<int>(i), false);
      return false;
    }
    if (answer == PSNRET_INVALID_NOCHANGEPAGE) return false;
  }
  for (SheetPage& p : sheet->pages) p.changed = false;
  UpdateApply(sheet);
  return true;
}

void Cancel(Sheet* sheet) {
  if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_QUERYCANCEL, 0)) return;
  for (size_t i = 0; i < sheet->pages.size(); ++i) NotifyPage(sheet, i, PSN_RESET, 0);
  EndSheet(sheet, 0);
}

// Wizard navigation: PSN_WIZNEXT / PSN_WIZBACK decide the target.
void Navigate(Sheet* sheet, bool forward) {
  if (sheet->current < 0) return;
  LRESULT answer = NotifyPage(sheet, static_cast<size_t>(sheet->current), forward ? PSN_WIZNEXT : PSN_WIZBACK, 0);
  if (answer == -1) return;
  int target = answer ? PageByResourceId(sheet, answer) : sheet->current + (forward ? 1 : -1);
  Activate(sheet, target, true);
}

void SetWizardButtons(Sheet* sheet, LPARAM flags) {
  HWND back = GetDlgItem(sheet->hwnd, IDC_SHEET_BACK);
  HWND next = GetDlgItem(sheet->hwnd, IDC_SHEET_NEXT);
  HWND finish = GetDlgItem(sheet->hwnd, IDC_SHEET_FINISH);
  if (back) EnableWindow(back, (flags & PSWIZB_BACK) != 0);
  bool finishing = (flags & (PSWIZB_FINISH | PSWIZB_DISABLEDFINISH)) != 0;
  if (next) {
    ShowWindow(next, finishing && !(sheet->flags & PSH_WIZARDHASFINISH) ? SW_HIDE : SW_SHOWNA);
    EnableWindow(next, (flags & PSWIZB_NEXT) != 0);
  }
  if (finish) {
    ShowWindow(finish, finishing || (sheet->flags & PSH_WIZARDHASFINISH) ? SW_SHOWNA : SW_HIDE);
    EnableWindow(finish, (flags & PSWIZB_FINISH) != 0);
  }
  SendMessageW(sheet->hwnd, DM_SETDEFID, finishing ? IDC_SHEET_FINISH : IDC_SHEET_NEXT, 0);
}

INT_PTR SheetCommand(Sheet* sheet, int id) {
  switch (id) {
    case IDOK:
      if (!sheet->wizard && ApplyPages(sheet, true)) EndSheet(sheet, sheet->result ? sheet->result : 1);
      return TRUE;
    case IDCANCEL:
      Cancel(sheet);
      return TRUE;
    case IDC_SHEET_APPLY:
      ApplyPages(sheet, false);
      return TRUE;
    case IDHELP:
      if (sheet->current >= 0) NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_HELP, 0);
      return TRUE;
    case IDC_SHEET_BACK:
    case IDC_SHEET_NEXT:
      Navigate(sheet, id == IDC_SHEET_NEXT);
      return TRUE;
    case IDC_SHEET_FINISH:
      if (sheet->current >= 0 && NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_WIZFINISH, 0)) return TRUE;
      EndSheet(sheet, sheet->result ? sheet->result : 1);
      return TRUE;
    default:
      return FALSE;
  }
}

int PressedButton(WPARAM button) {
  switch (button) {
    case PSBTN_BACK: return IDC_SHEET_BACK;
    case PSBTN_NEXT: return IDC_SHEET_NEXT;
    case PSBTN_FINISH: return IDC_SHEET_FINISH;
    case PSBTN_OK: return IDOK;
    case PSBTN_APPLYNOW: return IDC_SHEET_APPLY;
    case PSBTN_CANCEL: return IDCANCEL;
    case PSBTN_HELP: return IDHELP;
    default: return 0;
  }
}

// Answers a message with a result through DWLP_MSGRESULT.
INT_PTR Answer(HWND hwnd, LRESULT result) {
  SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

int PageIndexOf(Sheet* sheet, HWND page) {
  for (size_t i = 0; i < sheet->pages.size(); ++i)
    if (sheet->pages[i].hwnd == page) return static_cast<int>(i);
  return -1;
}

INT_PTR SheetProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Sheet* sheet = SheetOf(hwnd);
  if (!sheet) return FALSE;
  switch (message) {
    case WM_NCDESTROY:
      // A modeless sheet lives with its window; a modal one belongs to
      // PropertySheetW.
      RemovePropW(hwnd, kSheetProp);
      if (sheet->modeless) {
        for (SheetPage& p : sheet->pages) DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(p.record));
        delete sheet;
      }
      return FALSE;
    case WM_COMMAND:
      return SheetCommand(sheet, LOWORD(wparam));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lparam);
      if (!header || header->hwndFrom != sheet->tab) return FALSE;
      if (header->code == TCN_SELCHANGING) {
        bool refuse = sheet->current >= 0 &&
                      NotifyPage(sheet, static_cast<size_t>(sheet->current), PSN_KILLACTIVE, 0) != 0;
        return Answer(hwnd, refuse ? TRUE : FALSE);
      }
      if (header->code == TCN_SELCHANGE) {
        int chosen = static_cast<int>(SendMessageW(sheet->tab, TCM_GETCURSEL, 0, 0));
        if (!Activate(sheet, chosen, false))
          SendMessageW(sheet->tab, TCM_SETCURSEL, static_cast<WPARAM>(sheet->current), 0);
        return TRUE;
      }
      return FALSE;
    }
    case PSM_SETCURSEL: {
      int index = static_cast<int>(wparam);
      if (lparam) {
        index = -1;
        for (size_t i = 0; i < sheet->pages.size(); ++i)
          if (sheet->pages[i].record == reinterpret_cast<PageRecord*>(lparam)) index = static_cast<int>(i);
      }
      return Answer(hwnd, Activate(sheet, index, true) ? TRUE : FALSE);
    }
    case PSM_SETCURSELID:
      return Answer(hwnd, Activate(sheet, PageByResourceId(sheet, lparam), true) ? TRUE : FALSE);
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
      int index = PageIndexOf(sheet, reinterpret_cast<HWND>(wparam));
      if (index >= 0) sheet->pages[static_cast<size_t>(index)].changed = message == PSM_CHANGED;
      UpdateApply(sheet);
      return Answer(hwnd, 0);
    }
    case PSM_APPLY:
      return Answer(hwnd, ApplyPages(sheet, false) ? TRUE : FALSE);
    case PSM_PRESSBUTTON: {
      // As on the platform, the press happens later, from the queue.
      int id = PressedButton(wparam);
      if (id) PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED), 0);
      return Answer(hwnd, 0);
    }
    case PSM_SETWIZBUTTONS:
      SetWizardButtons(sheet, lparam);
      return Answer(hwnd, 0);
    case PSM_SETFINISHTEXTW:
      if (HWND finish = GetDlgItem(hwnd, IDC_SHEET_FINISH)) {
        SetWindowTextW(finish, reinterpret_cast<LPCWSTR>(lparam));
        ShowWindow(finish, SW_SHOWNA);
        EnableWindow(finish, TRUE);
      }
      if (HWND next = GetDlgItem(hwnd, IDC_SHEET_NEXT)) ShowWindow(next, SW_HIDE);
      if (HWND back = GetDlgItem(hwnd, IDC_SHEET_BACK)) ShowWindow(back, SW_HIDE);
      return Answer(hwnd, 0);
    case PSM_SETTITLEW: {
      std::u16string title = IS_INTRESOURCE(reinterpret_cast<LPCWSTR>(lparam)) ? std::u16string()
                                                                                : reinterpret_cast<LPCWSTR>(lparam);
      if (wparam & PSH_PROPTITLE) title += u" Properties";
      SetWindowTextW(hwnd, title.c_str());
      return Answer(hwnd, 0);
    }
    case PSM_CANCELTOCLOSE:
      if (HWND cancel = GetDlgItem(hwnd, IDCANCEL)) EnableWindow(cancel, FALSE);
      if (HWND ok = GetDlgItem(hwnd, IDOK)) SetWindowTextW(ok, u"Close");
      return Answer(hwnd, 0);
    case PSM_RESTARTWINDOWS:
      sheet->result |= ID_PSRESTARTWINDOWS;
      return Answer(hwnd, 0);
    case PSM_REBOOTSYSTEM:
      sheet->result |= ID_PSREBOOTSYSTEM;
      return Answer(hwnd, 0);
    case PSM_QUERYSIBLINGS:
      for (SheetPage& p : sheet->pages)
        if (p.hwnd)
          if (LRESULT r = SendMessageW(p.hwnd, PSM_QUERYSIBLINGS, wparam, lparam)) return Answer(hwnd, r);
      return Answer(hwnd, 0);
    case PSM_GETTABCONTROL:
      return Answer(hwnd, reinterpret_cast<LRESULT>(sheet->tab));
    case PSM_GETCURRENTPAGEHWND:
      return Answer(hwnd, sheet->done || sheet->current < 0
                              ? 0
                              : reinterpret_cast<LRESULT>(sheet->pages[static_cast<size_t>(sheet->current)].hwnd));
    case PSM_ISDIALOGMESSAGE:
      return Answer(hwnd, IsDialogMessageW(hwnd, reinterpret_cast<MSG*>(lparam)));
    case PSM_ADDPAGE: {
      PageRecord* record = RecordOf(reinterpret_cast<HPROPSHEETPAGE>(lparam));
      if (!record) return Answer(hwnd, FALSE);
      SheetPage page;
      page.record = record;
      if (!LoadPageTemplate(&page)) return Answer(hwnd, FALSE);
      sheet->pages.push_back(page);
      if (sheet->tab) {
        TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(page.title.c_str()), 0, -1, 0};
        SendMessageW(sheet->tab, TCM_INSERTITEMW, sheet->pages.size() - 1, reinterpret_cast<LPARAM>(&item));
      }
      return Answer(hwnd, TRUE);
    }
    case PSM_REMOVEPAGE: {
      int index = static_cast<int>(wparam);
      if (lparam)
        for (size_t i = 0; i < sheet->pages.size(); ++i)
          if (sheet->pages[i].record == reinterpret_cast<PageRecord*>(lparam)) index = static_cast<int>(i);
      if (index < 0 || static_cast<size_t>(index) >= sheet->pages.size()) return Answer(hwnd, 0);
      if (index == sheet->current) {
        int other = index > 0 ? index - 1 : index + 1;
        if (!Activate(sheet, other, false)) sheet->current = -1;
      }
      if (sheet->pages[static_cast<size_t>(index)].hwnd) DestroyWindow(sheet->pages[static_cast<size_t>(index)].hwnd);
      DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(sheet->pages[static_cast<size_t>(index)].record));
      sheet->pages.erase(sheet->pages.begin() + index);
      if (sheet->current > index) --sheet->current;
      if (sheet->tab) SendMessageW(sheet->tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
      return Answer(hwnd, 0);
    }
    default:
      return FALSE;
  }
}

// Lays out and creates the sheet window and its own controls.
bool BuildSheet(Sheet* sheet, const PROPSHEETHEADERW* header) {
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof(ncm);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(ncm), &ncm, 0);
  HFONT font = reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LONG units = GetDialogBaseUnits();
  const int margin = MulDiv(7, LOWORD(static_cast<DWORD>(units)), 4);
  const int button_w = MulDiv(50, LOWORD(static_cast<DWORD>(units)), 4);
  const int button_h = MulDiv(14, HIWORD(static_cast<DWORD>(units)), 8);
  SIZE page{0, 0};
  for (const SheetPage& p : sheet->pages) {
    page.cx = std::max(page.cx, p.pixels.cx);
    page.cy = std::max(page.cy, p.pixels.cy);
  }
  std::u16string caption;
  if (header->pszCaption && !IS_INTRESOURCE(header->pszCaption)) caption = header->pszCaption;
  if (header->pszCaption && IS_INTRESOURCE(header->pszCaption)) {
    WCHAR buffer[256];
    int n = LoadStringW(header->hInstance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(header->pszCaption)), buffer, 256);
    caption.assign(buffer, static_cast<size_t>(std::max(n, 0)));
  }
  if (header->dwFlags & PSH_PROPTITLE) caption += u" Properties";

  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | WS_CLIPCHILDREN;
  DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  if (!sheet->wizard && !(header->dwFlags & PSH_NOCONTEXTHELP)) ex_style |= WS_EX_CONTEXTHELP;
  RECT tab_rect{};
  int client_w, client_h;
  if (sheet->wizard) {
    sheet->page_area = RECT{0, 0, page.cx, page.cy};
    client_w = page.cx;
    client_h = page.cy + 2 * margin + button_h;
  } else {
    sheet->page_area = RECT{0, 0, page.cx, page.cy};
    client_w = page.cx + 2 * margin + 8;
    client_h = 0;  // after the tab control tells its frame
  }
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  HWND hwnd = CreateWindowExW(ex_style, WC_DIALOG, caption.c_str(), style, 0, 0, 100, 100, owner, nullptr,
                              header->hInstance, nullptr);
  if (!hwnd) return false;
  sheet->hwnd = hwnd;
  SetPropW(hwnd, kSheetProp, sheet);
  SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(SheetProc));
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  auto add = [&](LPCWSTR cls, LPCWSTR text, DWORD control_style, int x, int y, int w, int h, int id) {
    HWND c = CreateWindowExW(WS_EX_NOPARENTNOTIFY, cls, text, WS_CHILD | WS_VISIBLE | control_style, x, y, w, h,
                             hwnd, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    if (c) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return c;
  };
  if (!sheet->wizard) {
    sheet->tab = add(WC_TABCONTROLW, u"", WS_TABSTOP | WS_CLIPSIBLINGS, margin, margin, 10, 10, IDC_SHEET_TAB);
    if (!sheet->tab) return false;
    for (size_t i = 0; i < sheet->pages.size(); ++i) {
      TCITEMW item{TCIF_TEXT, 0, 0, const_cast<LPWSTR>(sheet->pages[i].title.c_str()), 0, -1, 0};
      SendMessageW(sheet->tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tab control's window around a display area of the page size.
    tab_rect = RECT{0, 0, page.cx, page.cy};
    SendMessageW(sheet->tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tab_rect));
    OffsetRect(&tab_rect, margin - tab_rect.left, margin - tab_rect.top);
    MoveWindow(sheet->tab, tab_rect.left, tab_rect.top, tab_rect.right - tab_rect.left,
               tab_rect.bottom - tab_rect.top, FALSE);
    sheet->page_area = RECT{0, 0, tab_rect.right - tab_rect.left, tab_rect.bottom - tab_rect.top};
    SendMessageW(sheet->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&sheet->page_area));
    OffsetRect(&sheet->page_area, tab_rect.left, tab_rect.top);
    client_w = tab_rect.right + margin;
    client_h = tab_rect.bottom + 2 * margin + button_h;
  }
  // Buttons, right-aligned in the bottom row.
  std::vector<std::pair<int, const char16_t*>> buttons;
  if (sheet->wizard) {
    buttons = {{IDC_SHEET_BACK, u"< &Back"}, {IDC_SHEET_NEXT, u"&Next >"}, {IDC_SHEET_FINISH, u"Finish"},
               {IDCANCEL, u"Cancel"}};
  } else {
    buttons = {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    if (!(header->dwFlags & PSH_NOAPPLYNOW)) buttons.push_back({IDC_SHEET_APPLY, u"&Apply"});
  }
  if (header->dwFlags & PSH_HASHELP) buttons.push_back({IDHELP, u"Help"});
  int x = client_w - margin - static_cast<int>(buttons.size()) * (button_w + margin / 2) + margin / 2;
  int y = client_h - margin - button_h;
  for (auto& [id, text] : buttons) {
    DWORD bs = WS_TABSTOP | ((id == IDOK || id == IDC_SHEET_NEXT) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    HWND b = add(WC_BUTTONW, text, bs, x, y, button_w, button_h, id);
    if (id == IDC_SHEET_FINISH && b && !(sheet->flags & PSH_WIZARDHASFINISH)) {
      ShowWindow(b, SW_HIDE);
      MoveWindow(b, x - button_w - margin / 2, y, button_w, button_h, FALSE);  // in Next's place
      continue;
    }
    x += button_w + margin / 2;
  }
  if (HWND apply = GetDlgItem(hwnd, IDC_SHEET_APPLY)) EnableWindow(apply, FALSE);
  RECT frame{0, 0, client_w, client_h};
  AdjustWindowRectEx(&frame, style, FALSE, ex_style);
  SetWindowPos(hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // Centred on the owner (or the work area), kept on the screen.
  RECT r, area;
  GetWindowRect(hwnd, &r);
  if (owner && IsWindowVisible(owner)) {
    GetWindowRect(owner, &area);
  } else {
    area = WorkAreaOfMonitor(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY));
  }
  SetWindowPos(hwnd, nullptr, area.left + (area.right - area.left - (r.right - r.left)) / 2,
               area.top + (area.bottom - area.top - (r.bottom - r.top)) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(hwnd, DM_REPOSITION, 0, 0);
  return true;
}

}  // namespace

size_t LivePropertySheetPageCount() {
  PageRegistry& r = Pages();
  std::lock_guard<std::mutex> guard(r.lock);
  return r.live.size();
}

}  // namespace platform

HPROPSHEETPAGE CreatePropertySheetPageW(const PROPSHEETPAGEW* page) {
  // The caller's data after the record is copied too; a size beyond 64 KiB
  // is taken for garbage rather than read.
  if (!page || page->dwSize < PROPSHEETPAGEW_V1_SIZE || page->dwSize > 0x10000) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* record = new (std::nothrow) platform::PageRecord;
  if (!record) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    // The fields past a shorter record read as zero.
    record->bytes.assign(std::max<size_t>(page->dwSize, sizeof(PROPSHEETPAGEW)), 0);
  } catch (const std::bad_alloc&) {
    delete record;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  std::memcpy(record->bytes.data(), page, page->dwSize);
  {
    platform::PageRegistry& r = platform::Pages();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.insert(record);
  }
  PROPSHEETPAGEW* copy = record->page();
  if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent) ++*copy->pcRefParent;
  if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback) copy->pfnCallback(nullptr, PSPCB_ADDREF, copy);
  return reinterpret_cast<HPROPSHEETPAGE>(record);
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
  platform::PageRecord* record = platform::RecordOf(page);
  if (!record) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  {
    platform::PageRegistry& r = platform::Pages();
    std::lock_guard<std::mutex> guard(r.lock);
    r.live.erase(record);
  }
  PROPSHEETPAGEW* copy = record->page();
  if ((copy->dwFlags & PSP_USECALLBACK) && copy->pfnCallback) copy->pfnCallback(nullptr, PSPCB_RELEASE, copy);
  if ((copy->dwFlags & PSP_USEREFPARENT) && copy->pcRefParent) --*copy->pcRefParent;
  delete record;
  return TRUE;
}

INT_PTR PropertySheetW(const PROPSHEETHEADERW* header) {
  if (!header || header->dwSize < PROPSHEETHEADERW_V1_SIZE || header->nPages == 0 || header->nPages > 100) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto sheet = std::make_unique<platform::Sheet>();
  sheet->flags = header->dwFlags;
  sheet->wizard = (header->dwFlags & (PSH_WIZARD | PSH_WIZARD97)) != 0;
  sheet->modeless = (header->dwFlags & PSH_MODELESS) != 0;
  sheet->callback = (header->dwFlags & PSH_USECALLBACK) ? header->pfnCallback : nullptr;
  // The pages: records are walked by their own sizes; handles are taken
  // over and destroyed with the sheet.
  const BYTE* walk = reinterpret_cast<const BYTE*>(header->ppsp);
  auto release = [&]() {
    for (platform::SheetPage& p : sheet->pages)
      DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(p.record));
    sheet->pages.clear();
  };
  for (UINT i = 0; i < header->nPages; ++i) {
    HPROPSHEETPAGE handle;
    if (header->dwFlags & PSH_PROPSHEETPAGE) {
      auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(walk);
      if (!psp || psp->dwSize < PROPSHEETPAGEW_V1_SIZE) break;
      handle = CreatePropertySheetPageW(psp);
      walk += psp->dwSize;
    } else {
      handle = header->phpage ? header->phpage[i] : nullptr;
    }
    platform::PageRecord* record = platform::RecordOf(handle);
    if (!record) continue;
    platform::SheetPage page;
    page.record = record;
    if (!platform::LoadPageTemplate(&page)) {
      DestroyPropertySheetPage(handle);
      continue;
    }
    sheet->pages.push_back(page);
  }
  if (sheet->pages.empty() || !platform::BuildSheet(sheet.get(), header)) {
    if (sheet->hwnd) DestroyWindow(sheet->hwnd);
    release();
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  HWND hwnd = sheet->hwnd;
  if (sheet->callback) sheet->callback(hwnd, PSCB_INITIALIZED, 0);
  int start = 0;
  if (header->dwFlags & PSH_USEPSTARTPAGE) {
    for (size_t i = 0; i < sheet->pages.size(); ++i)
      if (header->pStartPage && !IS_INTRESOURCE(header->pStartPage) && sheet->pages[i].title == header->pStartPage)
        start = static_cast<int>(i);
  } else if (header->nStartPage < sheet->pages.size()) {
    start = static_cast<int>(header->nStartPage);
  }
  if (!platform::Activate(sheet.get(), start, false)) {
    for (size_t i = 0; i < sheet->pages.size() && sheet->current < 0; ++i)
      platform::Activate(sheet.get(), static_cast<int>(i), false);
  }
  if (sheet->wizard) platform::SetWizardButtons(sheet.get(), PSWIZB_BACK | PSWIZB_NEXT);
  if (sheet->modeless) {
    ShowWindow(hwnd, SW_SHOWNORMAL);
    sheet.release();  // lives with the window: freed on WM_NCDESTROY
    return reinterpret_cast<INT_PTR>(hwnd);
  }
  HWND owner = header->hwndParent ? GetAncestor(header->hwndParent, GA_ROOT) : nullptr;
  platform::RunModalDialog(hwnd, owner);
  INT_PTR result = sheet->result;
  release();
  return result;
}
