// The menu manager's drawing: colours and palettes, measuring, default
// items, button images of disabled items, check marks; and pictures of
// owner-drawn pop-ups for people to look at.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuResMenu.h"
#include "foundation/WuUIColor.h"
#include "shellui/CWuMenuManager.h"
#include "tests/shellui/MenuManagerFixture.h"
#include "tests/shellui/MenuPopupRoutine.h"

namespace {

using wutest::Canvas;
using wutest::MenuManager;
using wutest::PlayPopup;
using wutest::PopupItem;
using wutest::PopupOptions;
using wutest::PopupView;

constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kGreen = RGB(0, 200, 0);
constexpr COLORREF kBlue = RGB(0, 0, 230);

// Pixels of a colour within a rectangle of a canvas.
int CountIn(const Canvas& c, const RECT& r, COLORREF colour) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += c.At(x, y) == colour;
  return n;
}

// The image column of a drawn item.
RECT ImageColumn(const PopupItem& item) {
  return RECT{item.rect.left, item.rect.top, item.rect.left + 21, item.rect.bottom};
}

// The view of a pop-up while it was open, canvas kept.
PopupView Open(HWND window, HMENU popup, int selected = -1) {
  PopupOptions options;
  options.selected = selected;
  return PlayPopup(window, popup, options);
}

TEST_F(MenuManager, ColoursFollowTheFlagsAndTheSkinPalette) {
  struct Case {
    uint32_t flags;
    int index;
    COLORREF expected;
  } cases[] = {
      {0, COLOR_MENU, GetSysColor(COLOR_MENU)},
      {WUMENUMAN_UICOLORS, COLOR_MENU, WuGetSysColor(COLOR_MENU)},
      {WUMENUMAN_SKIN, COLOR_MENU, 0xAED7FF},
      {WUMENUMAN_SKIN | WUMENUMAN_UICOLORS, COLOR_MENU, 0xDCB9FF},
      {WUMENUMAN_SKIN, COLOR_MENUTEXT, 0x004182},
      {WUMENUMAN_SKIN | WUMENUMAN_UICOLORS, COLOR_3DDKSHADOW, 0x480091},
      {WUMENUMAN_SKIN, COLOR_GRADIENTINACTIVECAPTION, 0x53A9FF},
      {WUMENUMAN_SKIN, COLOR_HIGHLIGHT, GetSysColor(COLOR_HIGHLIGHT)},  // not in the palette
      {WUMENUMAN_SKIN | WUMENUMAN_UICOLORS, COLOR_WINDOW, WuGetSysColor(COLOR_WINDOW)},
  };
  for (const Case& c : cases) {
    manager_.MenuMan_SetFlags(c.flags);
    EXPECT_EQ(manager_.MenuGetSysColor(c.index), c.expected) << c.flags << " " << c.index;
  }
  manager_.MenuMan_SetFlags(WUMENUMAN_UICOLORS);
  EXPECT_EQ(manager_.MenuGetSysColorBrush(COLOR_BTNHIGHLIGHT), WuGetUIBrush(COLOR_BTNHIGHLIGHT));
  manager_.MenuMan_SetFlags(0);
  EXPECT_EQ(manager_.MenuGetSysColorBrush(COLOR_BTNSHADOW), GetSysColorBrush(COLOR_BTNSHADOW));

  // Drawn: the item's background and image column in the skin colours.
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING, 1, u"Skin");
  for (uint32_t flags : {WUMENUMAN_SKIN, WUMENUMAN_SKIN | WUMENUMAN_UICOLORS}) {
    manager_.MenuMan_SetFlags(flags);
    PopupView view = Open(window_, popup);
    const RECT& r = view.items[0].rect;
    EXPECT_EQ(view.canvas->At(r.right - 2, r.top + 1), manager_.MenuGetSysColor(COLOR_MENU));
    EXPECT_EQ(view.canvas->At(r.left + 1, r.top + 1), manager_.MenuGetSysColor(COLOR_BTNFACE));
  }
}

TEST_F(MenuManager, EastAsianLanguagesWidenItemsByThree) {
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING, 1, u"Measure me");
  HWULANG saved = WuKernel_GetLangHandle();
  auto width_in = [&](LCID lcid) {
    HWULANG lang = nullptr;
    EXPECT_EQ(WuLang_Open(&lang, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(lang);
    PopupView view = Open(window_, popup);
    WuKernel_SetLangHandle(saved);
    WuLang_Close(lang);
    return view.items[0].rect.right - view.items[0].rect.left;
  };
  int english = width_in(1033);
  EXPECT_EQ(width_in(1041), english + 3);  // Japanese
  EXPECT_EQ(width_in(2052), english + 3);  // Chinese
  EXPECT_EQ(width_in(1042), english + 3);  // Korean
  EXPECT_EQ(width_in(1031), english);      // German
}

TEST_F(MenuManager, BoldSystemFontDrawsDefaultItemsTwiceOnePixelApart) {
  manager_.MenuMan_DeInit();
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  LOGFONTW bold = metrics.lfMenuFont;
  bold.lfWeight = 700;
  platform::SetUiFont(bold);
  ASSERT_EQ(manager_.MenuMan_Init(), S_OK);
  platform::ResetUiFont();

  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING, 1, u"Wide Default");
  PopupView plain = Open(window_, popup);
  MENUITEMINFOW state{};
  state.cbSize = sizeof(state);
  state.fMask = MIIM_STATE;
  state.fState = MFS_DEFAULT;
  SetMenuItemInfoW(popup, 0, TRUE, &state);
  PopupView twice = Open(window_, popup);
  ASSERT_EQ(plain.canvas->width(), twice.canvas->width());

  COLORREF ink = GetSysColor(COLOR_MENUTEXT);
  std::set<std::pair<int, int>> once, drawn;
  for (int y = 0; y < plain.canvas->height(); ++y)
    for (int x = 0; x < plain.canvas->width(); ++x) {
      if (plain.canvas->At(x, y) == ink) once.insert({x, y});
      if (twice.canvas->At(x, y) == ink) drawn.insert({x, y});
    }
  ASSERT_FALSE(once.empty());
  std::set<std::pair<int, int>> expected = once;
  for (auto [x, y] : once) expected.insert({x + 1, y});
  EXPECT_EQ(drawn, expected);
}

TEST_F(MenuManager, ButtonImagesAndTheTwoToneMaskOfDisabledItems) {
  _wumenuman_info info{};
  info.active = 1;
  info.buttons.normal = Images({kRed});
  info.buttons.hot = Images({kBlue});
  manager_.MenuMan_SetInfo(&info);  // the size comes from the list: 16 x 16
  manager_.images[1] = 0;
  manager_.images[2] = 0;
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING, 1, u"Cut");
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 2, u"Paste");
  AppendMenuW(popup, MF_STRING, 3, u"No image");

  PopupView view = Open(window_, popup);
  const Canvas& c = *view.canvas;
  EXPECT_EQ(CountIn(c, ImageColumn(view.items[0]), kRed), 100);
  // Disabled: the image's shape in the shadow colour over the highlight
  // one pixel down and right, no image colour.
  RECT cell = ImageColumn(view.items[1]);
  EXPECT_EQ(CountIn(c, cell, kRed), 0);
  EXPECT_EQ(CountIn(c, cell, GetSysColor(COLOR_BTNSHADOW)), 100);
  EXPECT_EQ(CountIn(c, cell, GetSysColor(COLOR_BTNHIGHLIGHT)), 19);
  EXPECT_EQ(CountIn(c, ImageColumn(view.items[2]), GetSysColor(COLOR_BTNFACE)),
            21 * (view.items[2].rect.bottom - view.items[2].rect.top));
  // The selected item takes the hot image.
  PopupView selected = Open(window_, popup, 0);
  EXPECT_EQ(CountIn(*selected.canvas, ImageColumn(selected.items[0]), kBlue), 100);
}

TEST_F(MenuManager, CheckMarksFromImagesItemBitmapsOrNone) {
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING | MF_CHECKED, 1, u"No mark");
  AppendMenuW(popup, MF_STRING | MF_CHECKED, 2, u"System mark");
  SetMenuItemBitmaps(popup, 2, MF_BYCOMMAND, WuLoadBitmap(nullptr, MAKEINTRESOURCEW(OBM_CHECK)),
                     nullptr);
  AppendMenuW(popup, MF_STRING | MF_CHECKED, 3, u"Radio");
  MENUITEMINFOW radio{};
  radio.cbSize = sizeof(radio);
  radio.fMask = MIIM_FTYPE;
  radio.fType = MFT_RADIOCHECK;
  SetMenuItemInfoW(popup, 2, TRUE, &radio);

  PopupView view = Open(window_, popup);
  const Canvas& c = *view.canvas;
  RECT none = ImageColumn(view.items[0]);
  EXPECT_EQ(CountIn(c, none, GetSysColor(COLOR_BTNFACE)),
            21 * (none.bottom - none.top));  // nothing but the column
  RECT system = ImageColumn(view.items[1]);
  EXPECT_GT(CountIn(c, system, RGB(0, 0, 0)), 15);                       // the mark
  EXPECT_GT(CountIn(c, system, GetSysColor(COLOR_3DLIGHT)), 50);         // its background
  EXPECT_GT(CountIn(c, system, GetSysColor(COLOR_BTNSHADOW)), 10);       // the sunken frame

  // With check-mark images: index 0 for a check, 1 for a radio mark.
  _wumenuman_info info{};
  info.active = 1;
  info.checkmarks.normal = Images({kGreen, kBlue});
  info.buttons.width = 16;  // both records are placed by the command images' size
  info.buttons.height = 16;
  manager_.MenuMan_SetInfo(&info);
  PopupView images = Open(window_, popup);
  EXPECT_EQ(CountIn(*images.canvas, ImageColumn(images.items[0]), kGreen), 100);
  EXPECT_EQ(CountIn(*images.canvas, ImageColumn(images.items[2]), kBlue), 100);
  EXPECT_EQ(CountIn(*images.canvas, ImageColumn(images.items[2]), kGreen), 0);
}

// Pictures for people: a plain pop-up, both skin palettes, three columns.
TEST_F(MenuManager, PicturesOfOwnerDrawnPopups) {
  _wumenuman_info info{};
  info.active = 1;
  info.buttons.normal = Images({kRed, kBlue});
  manager_.MenuMan_SetInfo(&info);
  manager_.images[1] = 0;
  manager_.images[3] = 1;
  manager_.accelerators[1] = _wuhotkey{'O', 0x4};
  manager_.accelerators[2] = _wuhotkey{'S', 0x6};
  HMENU popup = Popup();
  AppendMenuW(popup, MF_STRING | MF_DEFAULT, 1, u"Open");
  AppendMenuW(popup, MF_STRING, 2, u"Save as");
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 3, u"Export");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING | MF_CHECKED, 4, u"Auto save");
  SetMenuItemBitmaps(popup, 4, MF_BYCOMMAND, WuLoadBitmap(nullptr, MAKEINTRESOURCEW(OBM_CHECK)),
                     nullptr);
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 5, u"Close");
  const std::string dir = WU_SHELLUI_PICTURES_DIR;
  struct Picture {
    const char* name;
    uint32_t flags;
  } pictures[] = {{"menu_plain.png", 0},
                  {"menu_skin.png", WUMENUMAN_SKIN},
                  {"menu_skin_ui.png", WUMENUMAN_SKIN | WUMENUMAN_UICOLORS}};
  for (const Picture& p : pictures) {
    manager_.MenuMan_SetFlags(p.flags);
    PopupView view = Open(window_, popup, 1);
    EXPECT_TRUE(wutest::SaveCanvasPng(*view.canvas, dir + "/" + p.name)) << p.name;
  }
  manager_.MenuMan_SetFlags(WUMENUMAN_UICOLORS);
  PopupView columns = Open(window_, Columns({5, 3, 4}), 6);
  EXPECT_TRUE(wutest::SaveCanvasPng(*columns.canvas, dir + "/menu_columns.png"));
}

}  // namespace
