// The tab control.
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

// ---- Tab control ---------------------------------------------------------------------------

struct TabItem {
  std::u16string text;  // tab text
  int image = -1;       // image index
  LPARAM param = 0;     // caller's value
  DWORD state = 0;      // TCIS_*
};

struct TabState {
  std::vector<TabItem> items;   // the tabs
  int current = -1;             // selected tab
  int focus = -1;               // focused tab
  HIMAGELIST images = nullptr;  // TCM_SETIMAGELIST
  SIZE item_size{0, 0};         // TCM_SETITEMSIZE (0: from the text)
};

constexpr int kTabBorder = 4;   // frame around the display area

int TabRowHeight(HWND hwnd) {
  HDC dc = CreateCompatibleDC(nullptr);
  int height = 20;
  if (dc) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    if (GetTextMetricsW(dc, &tm)) height = tm.tmHeight + 6;
    if (old) SelectObject(dc, old);
    DeleteDC(dc);
  }
  return height;
}

RECT TabItemRect(HWND hwnd, const TabState* s, size_t index) {
  int row = TabRowHeight(hwnd);
  int x = 2;
  for (size_t i = 0; i < s->items.size(); ++i) {
    int w = s->item_size.cx ? s->item_size.cx : TextWidth(hwnd, StripMnemonics(s->items[i].text)) + 12;
    if (i == index) return RECT{x, 0, x + w, row};
    x += w;
  }
  return RECT{};
}

void FillTabItem(TabItem* item, const TCITEMW* info) {
  if (info->mask & TCIF_TEXT) item->text = info->pszText ? info->pszText : u"";
  if (info->mask & TCIF_IMAGE) item->image = info->iImage;
  if (info->mask & TCIF_PARAM) item->param = info->lParam;
  if (info->mask & TCIF_STATE) item->state = (item->state & ~info->dwStateMask) | (info->dwState & info->dwStateMask);
}

// A person's choice of a tab: TCN_SELCHANGING, the change, TCN_SELCHANGE.
bool ChooseTab(HWND hwnd, TabState* s, int index) {
  if (index < 0 || static_cast<size_t>(index) >= s->items.size()) return false;
  if (index == s->current) return true;
  NMHDR header{nullptr, 0, TCN_SELCHANGING};
  if (NotifyParent(hwnd, &header)) return false;
  s->current = s->focus = index;
  InvalidateRect(hwnd, nullptr, TRUE);
  header.code = TCN_SELCHANGE;
  NotifyParent(hwnd, &header);
  return true;
}

LRESULT TabProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT lifecycle = 0;
  if (ManageState<TabState>(hwnd, message, wparam, lparam, &lifecycle)) return lifecycle;
  TabState* s = StateOf<TabState>(hwnd);
  if (!s) return DefWindowProcW(hwnd, message, wparam, lparam);
  switch (message) {
    case TCM_INSERTITEMW: {
      auto* info = reinterpret_cast<const TCITEMW*>(lparam);
      if (!info) return -1;
      size_t at = std::min(static_cast<size_t>(wparam), s->items.size());
      TabItem item;
      FillTabItem(&item, info);
      s->items.insert(s->items.begin() + static_cast<std::ptrdiff_t>(at), item);
      if (s->current < 0) {
        s->current = s->focus = 0;
      } else if (s->current >= static_cast<int>(at)) {
        ++s->current;
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(at);
    }
    case TCM_GETITEMCOUNT:
      return static_cast<LRESULT>(s->items.size());
    case TCM_DELETEITEM: {
      if (wparam >= s->items.size()) return FALSE;
      s->items.erase(s->items.begin() + static_cast<std::ptrdiff_t>(wparam));
      int index = static_cast<int>(wparam);
      if (s->current == index) s->current = -1;
      else if (s->current > index) --s->current;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_DELETEALLITEMS:
      s->items.clear();
      s->current = s->focus = -1;
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    case TCM_GETITEMW: {
      auto* info = reinterpret_cast<TCITEMW*>(lparam);
      if (!info || wparam >= s->items.size()) return FALSE;
      const TabItem& item = s->items[wparam];
      if (info->mask & TCIF_TEXT) CopyOut(item.text, info->pszText, info->cchTextMax);
      if (info->mask & TCIF_IMAGE) info->iImage = item.image;
      if (info->mask & TCIF_PARAM) info->lParam = item.param;
      if (info->mask & TCIF_STATE) info->dwState = item.state & info->dwStateMask;
      return TRUE;
    }
    case TCM_SETITEMW: {
      auto* info = reinterpret_cast<const TCITEMW*>(lparam);
      if (!info || wparam >= s->items.size()) return FALSE;
      FillTabItem(&s->items[wparam], info);
      InvalidateRect(hwnd, nullptr, TRUE);
      return TRUE;
    }
    case TCM_GETCURSEL:
      return s->current;
    case TCM_SETCURSEL: {
      int old = s->current;
      if (wparam >= s->items.size()) return -1;
      s->current = s->focus = static_cast<int>(wparam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return old;
    }
    case TCM_GETCURFOCUS:
      return s->focus;
    case TCM_SETCURFOCUS:
      if (wparam < s->items.size()) s->focus = static_cast<int>(wparam);
      return 0;
    case TCM_GETITEMRECT:
      if (wparam >= s->items.size() || !lparam) return FALSE;
      *reinterpret_cast<RECT*>(lparam) = TabItemRect(hwnd, s, wparam);
      return TRUE;
    case TCM_HITTEST: {
      auto* info = reinterpret_cast<TCHITTESTINFO*>(lparam);
      if (!info) return -1;
      for (size_t i = 0; i < s->items.size(); ++i) {
        RECT r = TabItemRect(hwnd, s, i);
        if (PtInRect(&r, info->pt)) {
          info->flags = TCHT_ONITEM;
          return static_cast<LRESULT>(i);
        }
      }
      info->flags = TCHT_NOWHERE;
      return -1;
    }
    case TCM_ADJUSTRECT: {
      auto* r = reinterpret_cast<RECT*>(lparam);
      if (!r) return 0;
      int row = TabRowHeight(hwnd);
      int sign = wparam ? -1 : 1;  // TRUE: display rectangle to window rectangle
      r->left += sign * kTabBorder;
      r->right -= sign * kTabBorder;
      r->top += sign * (row + kTabBorder);
      r->bottom -= sign * kTabBorder;
      return 0;
    }
    case TCM_SETITEMSIZE: {
      SIZE old = s->item_size;
      s->item_size = SIZE{LOWORD(static_cast<DWORD_PTR>(lparam)), HIWORD(static_cast<DWORD_PTR>(lparam))};
      return MAKELRESULT(static_cast<WORD>(old.cx), static_cast<WORD>(old.cy));
    }
    case TCM_GETROWCOUNT:
      return 1;
    case TCM_SETITEMEXTRA:
      return TRUE;
    case TCM_SETIMAGELIST: {
      HIMAGELIST old = s->images;
      s->images = reinterpret_cast<HIMAGELIST>(lparam);
      return reinterpret_cast<LRESULT>(old);
    }
    case TCM_GETIMAGELIST:
      return reinterpret_cast<LRESULT>(s->images);
    case WM_KEYDOWN:
      if (wparam == VK_LEFT) ChooseTab(hwnd, s, s->current - 1);
      if (wparam == VK_RIGHT) ChooseTab(hwnd, s, s->current + 1);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (dc) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        RECT body = rc;
        body.top += TabRowHeight(hwnd);
        DrawEdge(dc, &body, EDGE_RAISED, BF_RECT);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SetBkMode(dc, TRANSPARENT);
        for (size_t i = 0; i < s->items.size(); ++i) {
          RECT r = TabItemRect(hwnd, s, i);
          DrawEdge(dc, &r, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
          DrawTextW(dc, s->items[i].text.c_str(), static_cast<int>(s->items[i].text.size()), &r,
                    DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        if (old) SelectObject(dc, old);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

void RegisterTabControlClass() { Register(WC_TABCONTROLW, TabProc); }

}  // namespace platform
