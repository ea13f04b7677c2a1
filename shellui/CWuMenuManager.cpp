#include "shellui/CWuMenuManager.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuResMenu.h"
#include "foundation/WuString.h"
#include "foundation/WuUIColor.h"
#include "foundation/WuUIFont.h"
#include "foundation/WuUIGlyph.h"
#include "platform/kernel/memory.h"
#include "platform/user/keyboard_layout.h"

namespace {

constexpr int kTextUnits = 260;  // display texts, with the terminator
constexpr WCHAR kAcceleratorMark = 0x0008;

// Skin palette: index, colour without and with WUMENUMAN_UICOLORS.
struct SkinColour {
  int index;
  COLORREF plain;
  COLORREF ui;
};
constexpr SkinColour kSkin[] = {
    {COLOR_MENU, 0xAED7FF, 0xDCB9FF},
    {COLOR_MENUTEXT, 0x004182, 0x36006C},
    {COLOR_HIGHLIGHTTEXT, 0x9BCDFF, 0xD7AEFF},
    {COLOR_BTNFACE, 0x0080FF, 0x8000FF},
    {COLOR_BTNSHADOW, 0x006BD7, 0x6500CA},
    {COLOR_GRAYTEXT, 0x006CD9, 0x5900B3},
    {COLOR_BTNHIGHLIGHT, 0x7BBDFF, 0xBE7DFF},
    {COLOR_3DDKSHADOW, 0x00478E, 0x480091},
    {COLOR_3DLIGHT, 0x0078F0, 0x7700EE},
    {COLOR_GRADIENTINACTIVECAPTION, 0x53A9FF, 0xA74FFF},
};

// Fills a rectangle with a colour, leaving the DC's background colour.
void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
  COLORREF old = SetBkColor(dc, colour);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
  SetBkColor(dc, old);
}

}  // namespace

// ---- Construction ----------------------------------------------------------------------

CWuMenuManager::CWuMenuManager()
    : info_{},
      min_image_width_(20),
      min_item_height_(19),
      button_width_(18),
      button_height_(17),
      in_accelerator_(0),
      normal_font_(nullptr),
      bold_font_(nullptr),
      fake_bold_(0),
      flags_(0) {}

CWuMenuManager::CWuMenuManager(const CWuMenuManager& other) = default;
CWuMenuManager& CWuMenuManager::operator=(const CWuMenuManager& other) = default;
CWuMenuManager::~CWuMenuManager() = default;

// Managers live in the library's global memory.
void* CWuMenuManager::operator new(size_t size) {
  void* p = WuGlobalNew(size);
  if (!p) throw std::bad_alloc();
  return p;
}
void CWuMenuManager::operator delete(void* p) { WuGlobalDelete(p); }
void* CWuMenuManager::operator new[](size_t size) { return operator new(size); }
void CWuMenuManager::operator delete[](void* p) { WuGlobalDelete(p); }

int CWuMenuManager::MenuMan_GetImageIndex(UINT) { return -1; }
void CWuMenuManager::MenuMan_InitMenuState(HWND, HMENU) {}
int CWuMenuManager::MenuMan_GetAcceleratorInfo(UINT, _wuhotkey*) { return 0; }

// ---- Settings --------------------------------------------------------------------------

HRESULT CWuMenuManager::MenuMan_Init() {
  if (normal_font_ || bold_font_) return WUMENUMAN_E_INITIALISED;
  fake_bold_ = 0;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = 500;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0);
  normal_font_ = CreateFontIndirectW(&metrics.lfMenuFont);
  if (!normal_font_) return WUMENUMAN_E_GDI;
  LOGFONTW bold = metrics.lfMenuFont;
  if (bold.lfWeight < 700)
    bold.lfWeight = 700;
  else
    fake_bold_ = 1;
  bold_font_ = CreateFontIndirectW(&bold);
  if (!bold_font_) return WUMENUMAN_E_GDI;
  flags_ = 0;
  return 0;
}

void CWuMenuManager::MenuMan_DeInit() {
  if (normal_font_) DeleteObject(normal_font_);
  if (bold_font_) DeleteObject(bold_font_);
  normal_font_ = nullptr;
  bold_font_ = nullptr;
}

uint32_t CWuMenuManager::MenuMan_SetFlags(uint32_t flags) {
  uint32_t old = flags_;
  flags_ = flags & (WUMENUMAN_UICOLORS | WUMENUMAN_SKIN);
  return old;
}

void CWuMenuManager::MenuMan_SetInfo(const _wumenuman_info* info) {
  if (!info) return;
  info_ = *info;
  button_width_ = info_.buttons.width;
  button_height_ = info_.buttons.height;
  IMAGEINFO image{};
  if (info_.buttons.normal && (button_width_ <= 0 || button_height_ <= 0) &&
      ImageList_GetImageInfo(info_.buttons.normal, 0, &image)) {
    button_width_ = image.rcImage.right - image.rcImage.left;
    button_height_ = image.rcImage.bottom - image.rcImage.top;
  }
}

HFONT CWuMenuManager::GetMenuFont(BOOL bold) const { return bold ? bold_font_ : normal_font_; }

COLORREF CWuMenuManager::MenuGetSysColor(int index) const {
  if (flags_ & WUMENUMAN_SKIN)
    for (const SkinColour& s : kSkin)
      if (s.index == index) return (flags_ & WUMENUMAN_UICOLORS) ? s.ui : s.plain;
  return (flags_ & WUMENUMAN_UICOLORS) ? WuGetSysColor(index) : GetSysColor(index);
}

HBRUSH CWuMenuManager::MenuGetSysColorBrush(int index) const {
  return (flags_ & WUMENUMAN_UICOLORS) ? WuGetUIBrush(index) : GetSysColorBrush(index);
}

// ---- Accelerators ----------------------------------------------------------------------

UINT CWuMenuManager::VkToScanCode(UINT vk) {
  UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
  return scan ? scan : vk;
}

LPARAM CWuMenuManager::VkToLParam(UINT vk, BOOL extended) {
  return static_cast<LPARAM>(((extended ? 0x100u : 0u) | (VkToScanCode(vk) & 0xFF)) << 16);
}

int CWuMenuManager::AcceleratorToString(const _wuhotkey* hotkey, LPWSTR buffer, int size) {
  if (!buffer || size <= 0) return 0;
  if (!hotkey || Hotkey2_GetKeyName(buffer, size, static_cast<WORD>(hotkey->keys & 0xFFFF),
                                    static_cast<WORD>(hotkey->keys >> 16),
                                    static_cast<WORD>(hotkey->modifiers & 0xFFFF)) == 0)
    buffer[0] = 0;
  return 0;
}

int CWuMenuManager::MenuMan_TranslateAccelerator(HWND window, HACCEL accelerators,
                                                 MSG* message) {
  in_accelerator_ = 1;
  int result = TranslateAcceleratorW(window, accelerators, message);
  in_accelerator_ = 0;
  return result;
}

// ---- Messages --------------------------------------------------------------------------

int CWuMenuManager::MenuMan_HandleMessage(HWND window, UINT message, WPARAM wParam,
                                          LPARAM lParam, LRESULT* result) {
  bool own_popup = info_.active && !in_accelerator_ && HIWORD(lParam) == 0;
  int handled = 0;
  switch (message) {
    case WM_INITMENUPOPUP: {
      HMENU popup = reinterpret_cast<HMENU>(wParam);
      MenuMan_InitMenuState(window, popup);
      if (own_popup) AddButtons(popup, 1);
      handled = 1;
      break;
    }
    case WM_UNINITMENUPOPUP:
      if (own_popup) FreeButtons(reinterpret_cast<HMENU>(wParam), 1);
      handled = 1;
      break;
    case WM_MEASUREITEM:
      handled = OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)) != 0;
      break;
    case WM_DRAWITEM:
      handled = OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)) != 0;
      break;
    case WM_SYSCOLORCHANGE:
    case WM_WININICHANGE:
      if (!(GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) {
        if (HMENU bar = GetMenu(window)) {
          // The fonts follow the new settings; MenuMan_Init clears the
          // flags, which the host sets again.
          MenuMan_DeInit();
          MenuMan_Init();
          RefreshMenus(bar);
          DrawMenuBar(window);
        }
      }
      return 0;
    default:
      return 0;
  }
  if (handled && result) *result = 0;
  return handled;
}

// ---- Converting pop-ups -------------------------------------------------------------------

BOOL CWuMenuManager::IsSpacerMenuItem(LPCWSTR text) {
  if (!text) return FALSE;
  static const WCHAR kMarker[] = WUMENU_SPACER_TEXT;
  constexpr int kLength = static_cast<int>(sizeof(kMarker) / sizeof(WCHAR)) - 1;
  // The whole marker and nothing more: an application's "$Wide" is no spacer.
  return WuLstrCmpN(text, kMarker, kLength + 1) == 0 ? TRUE : FALSE;
}

WuMenuItemRecord* CWuMenuManager::RecordOf(ULONG_PTR data) {
  if (!data) return nullptr;
  auto* p = reinterpret_cast<const void*>(data);
  HGLOBAL block = GlobalHandle(p);
  if (!block || GlobalSize(block) != sizeof(WuMenuItemRecord)) return nullptr;
  return reinterpret_cast<WuMenuItemRecord*>(data);
}

BOOL CWuMenuManager::InsertColumnSpacers(HMENU popup) {
  if (!(flags_ & WUMENUMAN_UICOLORS)) return FALSE;
  int count = GetMenuItemCount(popup);
  if (count <= 0) return FALSE;
  WCHAR text[kTextUnits];
  WuPrintF(text, u"%s", WUMENU_SPACER_TEXT);
  MENUITEMINFOW spacer{};
  spacer.cbSize = sizeof(spacer);
  spacer.fMask = MIIM_TYPE | MIIM_STATE;
  spacer.fType = MFT_STRING;
  spacer.fState = MF_GRAYED;  // grayed (state 1)
  spacer.dwTypeData = text;
  BOOL inserted = FALSE;
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    if (!GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item)) continue;
    if (item.fType & MFT_OWNERDRAW) continue;
    if (item.fType & (MFT_MENUBREAK | MFT_MENUBARBREAK)) {
      if (InsertMenuItemW(popup, static_cast<UINT>(i), TRUE, &spacer)) {
        inserted = TRUE;
        ++i;
        ++count;
      }
    }
  }
  if (inserted) InsertMenuItemW(popup, static_cast<UINT>(count), TRUE, &spacer);
  return inserted;
}

void CWuMenuManager::FitSpacersToMenuHeight(HMENU popup, int tallest) {
  int count = GetMenuItemCount(popup);
  for (int i = 0; i < count; ++i) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_DATA;
    if (!GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item)) continue;
    WuMenuItemRecord* record = RecordOf(item.dwItemData);
    if (record && record->spacer) record->height = tallest - record->height;
  }
}

void CWuMenuManager::AddButtons(HMENU popup, int enabled) {
  if (enabled <= 0) return;
  BOOL spacers = InsertColumnSpacers(popup);
  int column = 0, tallest = 0;
  int count = GetMenuItemCount(popup);
  for (int i = 0; i < count; ++i) {
    WCHAR text[kTextUnits] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_TYPE | MIIM_DATA;
    item.dwTypeData = text;
    item.cch = kTextUnits;
    if (!GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item)) continue;
    if (item.fType & MFT_BITMAP) continue;
    auto* record = static_cast<WuMenuItemRecord*>(WuGlobalNew(sizeof(WuMenuItemRecord)));
    if (!record) continue;  // the item stays as it is
    record->saved = item;
    record->saved.dwTypeData = nullptr;  // the text is the record's own
    record->saved.cch = 0;
    bool application_drawn = (item.fType & MFT_OWNERDRAW) != 0;
    if (!application_drawn && !(item.fType & MFT_SEPARATOR)) {
      _wuhotkey hotkey{};
      WCHAR name[kTextUnits];
      if (MenuMan_GetAcceleratorInfo(item.wID, &hotkey) == 1 &&
          (AcceleratorToString(&hotkey, name, kTextUnits), name[0] != 0)) {
        // An accelerator name already in the text is replaced.
        for (WCHAR* c = text; *c; ++c)
          if (*c == kAcceleratorMark) {
            *c = 0;
            break;
          }
        WCHAR format[] = {u'%', u's', kAcceleratorMark, u'%', u's', 0};
        WuPrintFN(record->text, kTextUnits, format, text, name);
      } else {
        WuStrCpyN(record->text, text, kTextUnits);
      }
    }
    record->text[kTextUnits - 1] = 0;
    record->image = MenuMan_GetImageIndex(item.wID);
    if (spacers) {
      if (!IsSpacerMenuItem(text)) {
        MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.wID, 0, 0,
                                  reinterpret_cast<ULONG_PTR>(record)};
        OnMeasureItem(&measure);
        record->width = static_cast<int32_t>(measure.itemWidth);
        record->height = static_cast<int32_t>(measure.itemHeight);
        record->measured = 1;
        column += record->height;
      } else {
        record->spacer = 1;
        record->measured = 1;
        record->height = column;
        tallest = std::max(tallest, column);
        column = 0;
      }
    }
    MENUITEMINFOW owner_drawn{};
    owner_drawn.cbSize = sizeof(owner_drawn);
    owner_drawn.fMask = MIIM_TYPE | MIIM_DATA;
    owner_drawn.fType = item.fType | MFT_OWNERDRAW;  // separators and breaks stay
    owner_drawn.dwItemData = reinterpret_cast<ULONG_PTR>(record);
    if (!SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &owner_drawn)) WuGlobalDelete(record);
  }
  if (spacers) FitSpacersToMenuHeight(popup, tallest);
}

void CWuMenuManager::FreeButtons(HMENU popup, int enabled) {
  if (enabled <= 0) return;
  int count = GetMenuItemCount(popup);
  for (int i = 0; i < count;) {
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_DATA;
    if (!GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item) ||
        (item.fType & MFT_BITMAP)) {
      ++i;
      continue;
    }
    WuMenuItemRecord* record = RecordOf(item.dwItemData);
    if (!record) {
      ++i;
      continue;
    }
    MENUITEMINFOW restore = record->saved;
    restore.fMask &= ~MIIM_SUBMENU;
    if (!(restore.fType & (MFT_OWNERDRAW | MFT_SEPARATOR))) restore.dwTypeData = record->text;
    SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &restore);
    bool spacer = record->spacer != 0;
    WuGlobalDelete(record);
    if (spacer) {
      DeleteMenu(popup, static_cast<UINT>(i), MF_BYPOSITION);
      --count;
    } else {
      ++i;
    }
  }
}

void CWuMenuManager::RefreshMenus(HMENU menu) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    WCHAR text[kTextUnits] = {};
    MENUITEMINFOW item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_TYPE;
    item.dwTypeData = text;
    item.cch = kTextUnits;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
    UINT popup = item.hSubMenu ? MF_POPUP : 0;
    UINT_PTR what = item.hSubMenu ? reinterpret_cast<UINT_PTR>(item.hSubMenu) : item.wID;
    if (item.fType == MFT_STRING) {
      ModifyMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | popup, what, text);
    } else if (item.fType == MFT_SEPARATOR) {
      ModifyMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING | popup, what, u"WU");
      ModifyMenuW(menu, static_cast<UINT>(i), MF_BYPOSITION | MF_SEPARATOR | popup, what,
                  nullptr);
    }
    if (item.hSubMenu) RefreshMenus(item.hSubMenu);
  }
}

// ---- Measuring and drawing ----------------------------------------------------------------

int CWuMenuManager::OnMeasureItem(MEASUREITEMSTRUCT* measure) {
  if (!measure || measure->CtlType != ODT_MENU) return 0;
  WuMenuItemRecord* record = RecordOf(measure->itemData);
  if (!record) return 0;
  if (record->saved.fType & MFT_OWNERDRAW) {
    measure->itemData = record->saved.dwItemData;  // the application measures it
    return 0;
  }
  if (record->measured) {
    measure->itemWidth = static_cast<UINT>(record->width);
    measure->itemHeight = static_cast<UINT>(record->height);
    return 1;
  }
  if (record->saved.fType & MFT_SEPARATOR) {
    measure->itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYMENU) >> 1);
    measure->itemWidth = 0;
    return 1;
  }
  SIZE extent{0, 0};
  WuGetTextExtent(bold_font_, record->text, -1, &extent);
  int height = std::max({static_cast<int>(extent.cy), GetSystemMetrics(SM_CYMENU),
                         static_cast<int>(min_item_height_)});
  int width = extent.cx;
  LCID lcid = WuLang_GetLCID(WuKernel_GetLangHandle());
  UINT primary = lcid & 0x3FF;
  if (primary == 4 || primary == 17 || primary == 18) width += 3;
  width += 2 * std::max(static_cast<int>(min_image_width_), height) -
           GetSystemMetrics(SM_CXMENUCHECK) + 6;
  measure->itemWidth = static_cast<UINT>(std::max(width, 0));
  measure->itemHeight = static_cast<UINT>(height);
  return 1;
}

int CWuMenuManager::OnDrawItem(DRAWITEMSTRUCT* draw) {
  if (!draw || draw->CtlType != ODT_MENU) return 0;
  WuMenuItemRecord* record = RecordOf(draw->itemData);
  if (!record) return 0;
  if (record->saved.fType & MFT_OWNERDRAW) {
    draw->itemData = record->saved.dwItemData;  // the application draws it
    return 0;
  }
  HGDIOBJ old = SelectObject(draw->hDC, GetMenuFont((draw->itemState & ODS_DEFAULT) != 0));
  RECT item = draw->rcItem;
  DrawMenuItem(draw->hDC, &item, draw);
  if (old) SelectObject(draw->hDC, old);
  return 1;
}

void CWuMenuManager::DrawMenuItem(HDC dc, const RECT* item, DRAWITEMSTRUCT* draw) {
  const WuMenuItemRecord* record = RecordOf(draw->itemData);
  if (!record || !item) return;
  const int c = min_image_width_ + 1;
  const int item_height = item->bottom - item->top;
  const int h = std::max(item_height, static_cast<int>(min_item_height_));
  RECT cell{item->left, item->top + ((item_height - h) >> 1), item->left + c, 0};
  cell.bottom = cell.top + h;
  RECT image_column{item->left, item->top, item->left + c, item->bottom};
  if (record->saved.fType & MFT_SEPARATOR) {
    RECT line{item->left + c, item->top, item->right, item->bottom};
    FillSolid(dc, line, MenuGetSysColor(COLOR_MENU));
    RECT etched{line.left + 1, item->top + (item_height >> 1), line.right + 1, item->bottom};
    WuDrawEdge(dc, &etched, EDGE_ETCHED, BF_TOP | flags_);
    FillSolid(dc, image_column, MenuGetSysColor(COLOR_BTNFACE));
    return;
  }
  FillSolid(dc, image_column, MenuGetSysColor(COLOR_BTNFACE));
  const bool selected = (draw->itemState & ODS_SELECTED) != 0;
  const bool spacer = record->spacer != 0;
  COLORREF background = MenuGetSysColor(selected && !spacer ? COLOR_HIGHLIGHT : COLOR_MENU);
  if (selected || (draw->itemAction & ODA_SELECT)) {
    RECT fill = *item;
    if (!selected) fill.left += c;
    FillSolid(dc, fill, background);
  } else if (draw->itemAction & ODA_DRAWENTIRE) {
    RECT fill{item->left + c, item->top, item->right, item->bottom};
    FillSolid(dc, fill, background);
  }
  if (record->image >= 0) {
    DrawButton(dc, &info_.buttons, record->image, &cell, draw);
  } else if (draw->itemState & ODS_CHECKED) {
    MENUITEMINFOW marks{};
    marks.cbSize = sizeof(marks);
    marks.fMask = MIIM_CHECKMARKS | MIIM_FTYPE;
    if (GetMenuItemInfoW(reinterpret_cast<HMENU>(draw->hwndItem), draw->itemID, FALSE, &marks)) {
      if (info_.checkmarks.normal)
        DrawButton(dc, &info_.checkmarks, (marks.fType & MFT_RADIOCHECK) ? 1 : 0, &cell, draw);
      else if (marks.hbmpUnchecked)
        Draw3DCheckmark(dc, &cell, selected, marks.hbmpChecked);
    }
  }
  if (spacer) return;
  RECT text{item->left + c + 3, item->top, item->right - c, item->bottom};
  const bool disabled = (draw->itemState & ODS_GRAYED) != 0;
  COLORREF colour = MenuGetSysColor(disabled   ? COLOR_GRAYTEXT
                                    : selected ? COLOR_HIGHLIGHTTEXT
                                               : COLOR_MENUTEXT);
  int old_mode = SetBkMode(dc, TRANSPARENT);
  const BOOL is_default = (draw->itemState & ODS_DEFAULT) != 0;
  if (disabled && (!selected || MenuGetSysColor(COLOR_GRAYTEXT) == background)) {
    RECT embossed{text.left + 1, text.top + 1, text.right + 1, text.bottom + 1};
    DrawMenuText(dc, &embossed, record->text, MenuGetSysColor(COLOR_BTNHIGHLIGHT), is_default);
  }
  DrawMenuText(dc, &text, record->text, colour, is_default);
  SetBkMode(dc, old_mode);
}

void CWuMenuManager::DrawMenuText(HDC dc, RECT* rect, LPCWSTR text, COLORREF colour,
                                  BOOL is_default) {
  if (!rect || !text) return;
  WCHAR copy[kTextUnits];
  WuStrCpyN(copy, text, kTextUnits);  // at most 259 units
  WCHAR* accelerator = nullptr;
  for (WCHAR* c = copy; *c; ++c)
    if (*c == u'\t' || *c == kAcceleratorMark) {
      *c = 0;
      accelerator = c + 1;
      break;
    }
  COLORREF old = SetTextColor(dc, colour);
  const int passes = (fake_bold_ && is_default) ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    RECT r = *rect;
    OffsetRect(&r, pass, 0);
    DrawTextW(dc, copy, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    if (accelerator && *accelerator) {
      SIZE size{0, 0};
      GetTextExtentPoint32W(dc, accelerator, static_cast<int>(std::char_traits<char16_t>::length(accelerator)), &size);
      RECT a{rect->right - size.cx - 1 + pass, rect->top, rect->right + pass, rect->bottom};
      DrawTextW(dc, accelerator, -1, &a, DT_NOCLIP | DT_SINGLELINE | DT_VCENTER);
    }
  }
  SetTextColor(dc, old);
}

void CWuMenuManager::DrawButton(HDC dc, const _wummskin_buttonimage* images, int index,
                                const RECT* cell, const DRAWITEMSTRUCT* draw) {
  if (!images || !cell || !images->normal) return;
  const int x = cell->left + (((cell->right - cell->left) - button_width_) >> 1);
  const int y = cell->top + (((cell->bottom - cell->top) - button_height_) >> 1);
  const bool disabled = (draw->itemState & ODS_GRAYED) != 0;
  const bool selected = (draw->itemState & ODS_SELECTED) != 0;
  if (disabled && !images->disabled) {
    // The image's shape, embossed: highlight one pixel down and right,
    // shadow over it.
    COLORREF old_text = SetTextColor(dc, MenuGetSysColor(COLOR_MENUTEXT));
    COLORREF old_back = SetBkColor(dc, MenuGetSysColor(COLOR_MENU));
    HGDIOBJ old_brush = SelectObject(dc, MenuGetSysColorBrush(COLOR_BTNHIGHLIGHT));
    IMAGELISTDRAWPARAMS p{};
    p.cbSize = sizeof(p);
    p.himl = images->normal;
    p.i = index;
    p.hdcDst = dc;
    p.x = x + 1;
    p.y = y + 1;
    p.rgbBk = CLR_NONE;
    p.rgbFg = CLR_NONE;
    p.fStyle = ILD_MASK | ILD_ROP;
    p.dwRop = 0xB8074A;
    ImageList_DrawIndirect(&p);
    SelectObject(dc, MenuGetSysColorBrush(COLOR_BTNSHADOW));
    p.x = x;
    p.y = y;
    ImageList_DrawIndirect(&p);
    SelectObject(dc, old_brush);
    SetBkColor(dc, old_back);
    SetTextColor(dc, old_text);
    return;
  }
  if (draw->itemState & ODS_CHECKED) {
    RECT frame = *cell;
    InflateRect(&frame, -1, -1);
    FillSolid(dc, frame, MenuGetSysColor(COLOR_HIGHLIGHT));
    InflateRect(&frame, -1, -1);
    FillSolid(dc, frame,
              MenuGetSysColor(selected ? COLOR_GRADIENTINACTIVECAPTION : COLOR_BTNFACE));
  }
  HIMAGELIST list = images->normal;
  if (disabled)
    list = images->disabled;
  else if (selected && images->hot)
    list = images->hot;
  ImageList_Draw(list, index, dc, x, y, ILD_TRANSPARENT);
}

int CWuMenuManager::Draw3DCheckmark(HDC dc, const RECT* cell, BOOL selected, HBITMAP bitmap) {
  if (!cell) return 1;
  if (!bitmap) bitmap = WuLoadBitmap(nullptr, MAKEINTRESOURCEW(OBM_CHECK));
  BITMAP info{};
  if (!bitmap || GetObjectW(bitmap, sizeof(info), &info) != sizeof(info)) return 1;
  const int bw = info.bmWidth;
  const int bh = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
  const int cw = cell->right - cell->left;
  const int ch = cell->bottom - cell->top;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return 1;
  HGDIOBJ old = SelectObject(memory, bitmap);
  COLORREF old_back =
      SetBkColor(dc, MenuGetSysColor(selected ? COLOR_MENU : COLOR_3DLIGHT));
  RECT frame = *cell;
  if (bw < cw) {
    int x = cell->left + (cw - bw) / 2;
    int y = cell->top + (ch - bh) / 2;
    BitBlt(dc, x, y, bw, bh, memory, 0, 0, SRCCOPY);
    frame = RECT{x - 1, y - 1, x + bw + 1, y + bh + 1};
  } else {
    BitBlt(dc, cell->left, cell->top, cw, ch, memory, (bw - cw) / 2, -(ch - bh) / 2, SRCCOPY);
  }
  SetBkColor(dc, old_back);
  SelectObject(memory, old);
  DeleteDC(memory);
  WuDrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT | flags_);
  return 1;
}
