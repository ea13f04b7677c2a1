// The about box: its pool of pages and bitmaps, the sheet it builds for a
// page mask and a start selector (run under the scripted driver), what the
// pages show, the bitmap statics of page templates, the label column and
// version texts of files.
#include "foundation/WuAbout.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/WuDlgTemplate.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuStaticCtl.h"
#include "foundation/WuStatus.h"
#include "platform/comctl/commctrl.h"
#include "platform/user/frontend.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"
#include "tests/common/TestUtil.h"
#include "tests/common/VersionBlock.h"

namespace {

using wutest::U16;
using wutest::U8;

constexpr WORD kDialogs[] = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 112, 113, 114, 115};
constexpr WORD kBitmaps[] = {202, 203, 204, 220, 221, 222, 223, 224, 225, 226};

std::u16string Text(HWND window) {
  WCHAR buffer[4096];
  int n = GetWindowTextW(window, buffer, 4096);
  return std::u16string(buffer, static_cast<size_t>(n > 0 ? n : 0));
}

// What a sheet showed: its caption, tab titles, the selected tab, and
// whatever a test wants to look at on the current page.
struct SheetView {
  std::u16string caption;
  std::vector<std::u16string> tabs;
  int current = -1;
};

SheetView ViewSheet(HWND sheet) {
  SheetView v;
  v.caption = Text(sheet);
  auto tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
  int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    WCHAR title[128] = {};
    TCITEMW item{TCIF_TEXT, 0, 0, title, 128, 0, 0};
    SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    v.tabs.push_back(title);
  }
  v.current = static_cast<int>(SendMessageW(tab, TCM_GETCURSEL, 0, 0));
  return v;
}

HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

class WuAboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuLang_Open(&kernel_, GetModuleHandleW(nullptr), 0x409, 0), S_OK);
    WuKernel_SetLangHandle(kernel_);
    WuLang_GetInternationals(nullptr, 0);  // the separators of the memory lines
    WuAboutBox_SetLastPage(0);
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    EXPECT_TRUE(script_.errors().empty());
    EXPECT_EQ(platform::LivePropertySheetPageCount(), 0u);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(kernel_);
  }
  // Runs the box; `look` runs on the open sheet, then OK closes it.
  INT_PTR Run(WUABOUTINFO info, std::function<void(HWND)> look) {
    script_.Run(std::move(look)).Press(IDOK);
    return WuAboutBox(nullptr, &info, sizeof(info));
  }
  HWULANG kernel_ = nullptr;
  platform::ScriptedFrontEnd script_;
};

// ---- The pool -------------------------------------------------------------------------------

TEST_F(WuAboutTest, PoolHoldsEveryPageAndBitmapInEveryLanguage) {
  for (DWORD lcid : WULANG_COLUMN_LCIDS) {
    for (WORD id : kDialogs) {
      LCID found = 0;
      DWORD size = 0;
      const void* t = WuFindResourceInResPool(&WuAboutResPool, &size, MAKEINTRESOURCEW(id), RT_DIALOG, lcid, &found);
      ASSERT_NE(t, nullptr) << id << " in " << lcid;
      EXPECT_EQ(found, lcid);
      _wudlghdrcreateex* header = nullptr;
      ASSERT_GT(WuMapDialogTemplate(static_cast<const DLGTEMPLATE*>(t), static_cast<int>(size), &header), 0);
      EXPECT_GT(header->count, 0);
      WuFreeDialogTemplate(header);
    }
    for (WORD id : kBitmaps) {
      LCID found = 0;
      const void* dib = WuFindResourceInResPool(&WuAboutResPool, nullptr, MAKEINTRESOURCEW(id), RT_BITMAP, lcid, &found);
      ASSERT_NE(dib, nullptr) << id;
      EXPECT_EQ(found, lcid);
    }
  }
  // The page titles follow the language.
  for (auto [lcid, title] : {std::pair{0x407u, u"Allgemein"}, {0x40Cu, u"Général"}, {0x411u, u"全般"}}) {
    DWORD size = 0;
    const DLGTEMPLATE* t = WuFindDialogTemplateInResPool(&WuAboutResPool, &size, MAKEINTRESOURCEW(101), lcid);
    _wudlghdrcreateex* header = nullptr;
    ASSERT_GT(WuMapDialogTemplate(t, static_cast<int>(size), &header), 0);
    EXPECT_EQ(std::u16string(header->caption), title);
    WuFreeDialogTemplate(header);
  }
}

// ---- Pages and start selectors ------------------------------------------------------------------

TEST_F(WuAboutTest, SheetHasTheMaskedPagesInOrderAndStartsAtTheRequiredPage) {
  struct Case {
    DWORD mask;
    int start;
    std::vector<std::u16string> tabs;
    int current;
  } cases[] = {
      {0, 0, {u"General", u"Computer", u"Performance"}, 0},
      {0, 3, {u"General", u"Computer", u"Performance"}, 2},
      // Pages go in the fixed order whatever the bits' order.
      {0x1000 | 0x100 | 0x200 | 0x80 | 0x1, 1, {u"General", u"General", u"Skin", u"Credits", u"Copyrights"}, 0},
      // The required page's own position, not the sheet's nth page.
      {0x2 | 0x4, 2, {u"Computer", u"Performance"}, 0},
      {0x4 | 0x8 | 0x800, 3, {u"Performance", u"Signal Processing", u"Multimedia Devices"}, 0},
      {0x1 | 0x2 | 0x4 | 0x400, 2, {u"General", u"Computer", u"Performance", u"Components"}, 1},
  };
  for (const Case& c : cases) {
    WUABOUTINFO info{};
    info.productName = u"Sample";
    info.pageMask = c.mask;
    info.startPage = c.start;
    SheetView view;
    EXPECT_EQ(Run(info, [&](HWND sheet) { view = ViewSheet(sheet); }), 0);
    EXPECT_EQ(view.caption, u"About Sample");
    EXPECT_EQ(view.tabs, c.tabs) << c.mask;
    EXPECT_EQ(view.current, c.current) << c.mask << " start " << c.start;
  }
}

TEST_F(WuAboutTest, MissingRequiredPageShowsNothing) {
  for (auto [mask, start] : {std::pair{0x1u | 0x4u, 2}, {0x2u, 1}, {0x1u | 0x2u, 3}}) {
    WUABOUTINFO info{};
    info.pageMask = mask;
    info.startPage = start;
    EXPECT_EQ(WuAboutBox(nullptr, &info, sizeof(info)), 0);
  }
  EXPECT_TRUE(script_.shown().empty());
}

TEST_F(WuAboutTest, StartZeroReturnsToTheLastActivePage) {
  WUABOUTINFO info{};
  info.pageMask = 0x1 | 0x2 | 0x80;
  info.startPage = 2;
  Run(info, [](HWND) {});
  EXPECT_EQ(WuAboutBox_GetLastPage(), 102);
  info.startPage = 0;
  SheetView view;
  Run(info, [&](HWND sheet) { view = ViewSheet(sheet); });
  EXPECT_EQ(view.current, 1);
  // A last page that is not among the chosen ones: the first page.
  info.pageMask = 0x1 | 0x80;
  Run(info, [&](HWND sheet) { view = ViewSheet(sheet); });
  EXPECT_EQ(view.current, 0);
}

TEST_F(WuAboutTest, PageWithoutTemplateIsLeftOut) {
  // A pool with General and Performance only.
  std::vector<BYTE> image(WuAboutResPool.data, WuAboutResPool.data + 32);
  for (WORD id : {101, 103}) {
    DWORD size = 0;
    const void* t = WuFindDialogTemplateInResPool(&WuAboutResPool, &size, MAKEINTRESOURCEW(id), 0x409);
    ASSERT_NE(t, nullptr);
    BYTE head[32] = {};
    std::memcpy(head, &size, 4);
    head[4] = 32;
    const WORD ids[] = {0xFFFF, 5, 0xFFFF, id};
    std::memcpy(head + 8, ids, 8);
    head[22] = 0x09;
    head[23] = 0x04;
    image.insert(image.end(), head, head + 32);
    image.insert(image.end(), static_cast<const BYTE*>(t), static_cast<const BYTE*>(t) + size);
    image.resize((image.size() + 3) & ~size_t{3});
  }
  _WURESPOOL saved = WuAboutResPool;
  WuAboutResPool = {0, static_cast<DWORD>(image.size()), image.data()};
  WUABOUTINFO info{};
  SheetView view;
  Run(info, [&](HWND sheet) { view = ViewSheet(sheet); });
  WuAboutResPool = saved;
  EXPECT_EQ(view.tabs, (std::vector<std::u16string>{u"General", u"Performance"}));
}

// ---- What the pages show --------------------------------------------------------------------------

TEST_F(WuAboutTest, GeneralPageShowsTheRecordAndTheSheetKeepsOneButton) {
  WUABOUTINFO info{};
  info.productName = u"Sample";
  info.version = u"Version 3.1";
  info.copyright = u"(c) Makers";
  info.comments = u"Comments here";
  info.linkText = u"Visit us";
  info.pageMask = 0x1;
  struct Seen {
    std::u16string product, version, copyright, comments, link_class, link_text;
    bool header_hidden = false, cancel_visible = true, help = true, enabled = false;
    RECT ok{}, cancel{};
  } seen;
  Run(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    seen.enabled = IsWindowEnabled(page);
    seen.product = Text(GetDlgItem(page, WUABOUT_IDC_PRODUCT));
    seen.version = Text(GetDlgItem(page, WUABOUT_IDC_VERSION));
    seen.copyright = Text(GetDlgItem(page, WUABOUT_IDC_COPYRIGHT));
    seen.comments = Text(GetDlgItem(page, WUABOUT_IDC_COMMENTS));
    HWND link = GetDlgItem(page, WUABOUT_IDC_LINK);
    WCHAR cls[64] = {};
    GetClassNameW(link, cls, 64);
    seen.link_class = cls;
    seen.link_text = Text(link);
    seen.header_hidden = !IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_HEADER));
    seen.cancel_visible = IsWindowVisible(GetDlgItem(sheet, IDCANCEL));
    seen.help = (GetWindowLongPtrW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    GetWindowRect(GetDlgItem(sheet, IDOK), &seen.ok);
    GetWindowRect(GetDlgItem(sheet, IDCANCEL), &seen.cancel);
  });
  EXPECT_TRUE(seen.enabled);
  EXPECT_EQ(seen.product, u"Sample");
  EXPECT_EQ(seen.version, u"Version 3.1");
  EXPECT_EQ(seen.copyright, u"(c) Makers");
  EXPECT_EQ(seen.comments, u"Comments here");
  EXPECT_EQ(seen.link_class, WUSTATIC_CLASS);
  EXPECT_EQ(seen.link_text, u"Visit us");
  EXPECT_TRUE(seen.header_hidden);  // the header bitmap is drawn in its place
  EXPECT_FALSE(seen.cancel_visible);
  EXPECT_FALSE(seen.help);
  EXPECT_EQ(seen.ok.left, seen.cancel.left);
  EXPECT_EQ(seen.ok.top, seen.cancel.top);
}

TEST_F(WuAboutTest, ComputerPageListsSectionsAndDetailsOnlyWithShift) {
  MEMORYSTATUSEX big{};
  big.ullTotalPhys = 300ull << 30;  // beyond what 32-bit tenths of MB can hold
  big.ullAvailPageFile = (5ull << 20) + (1ull << 19);
  big.ullTotalVirtual = 1ull << 47;
  platform::SetMemoryStatus(&big);
  WUABOUTINFO info{};
  info.pageMask = 0x2;
  std::u16string plain, shifted;
  Run(info, [&](HWND sheet) { plain = Text(GetDlgItem(CurrentPage(sheet), WUABOUT_IDC_SYSINFO)); });
  platform::SetKeyDown(VK_SHIFT, true);
  Run(info, [&](HWND sheet) { shifted = Text(GetDlgItem(CurrentPage(sheet), WUABOUT_IDC_SYSINFO)); });
  platform::ResetKeyState();
  platform::SetMemoryStatus(nullptr);

  std::string text = U8(plain);
  for (const char* part : {"Operating System\r\n", "    Platform:", "\r\n\r\nProcessor\r\n", "\r\n\r\nDisplay\r\n",
                           "\r\n\r\nMemory\r\n", "    Physical memory:         307,200.0 MB\r\n",
                           "    Paging memory available: 5.5 MB\r\n",
                           "    Virtual memory possible: 134,217,728.0 MB\r\n"})
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  // Without Shift the listing ends with the memory section.
  EXPECT_EQ(text.find("Page size"), std::string::npos);
  EXPECT_EQ(text.rfind("    Virtual memory possible:"), text.rfind("\r\n    ") + 2);
  std::string details = U8(shifted);
  EXPECT_EQ(details.compare(0, text.size(), text), 0);
  for (const char* part : {"    Page size:", "    Memory load (current):", "    CPU ID level supported:",
                           "    Cache/TLB (EDX):"})
    EXPECT_NE(details.find(part), std::string::npos) << part;
}

TEST_F(WuAboutTest, CopyrightsPageComposesItsTextAndHidesByFlags) {
  struct Case {
    DWORD flags;
    std::vector<const char*> in_order;  // parts that appear, in this order
    std::vector<const char*> absent;
    bool images, link;
  } cases[] = {
      {0x1 | 0x4 | 0x20, {"Signal processing:", "Compression:", "Thanks to everyone", "All other names"},
       {"Images:", "Media formats:"}, false, false},
      {0x2 | 0x8 | 0x10 | 0x40, {"Media formats:", "Licence details", "Images:"},
       {"Thanks to everyone", "All other names"}, true, true},
  };
  for (const Case& c : cases) {
    WUABOUTINFO info{};
    info.pageMask = 0x1000;
    info.ackFlags = c.flags;
    std::string text;
    bool images = false, link = false;
    RECT box{}, page_rect{};
    Run(info, [&](HWND sheet) {
      HWND page = CurrentPage(sheet);
      text = U8(Text(GetDlgItem(page, WUABOUT_IDC_ACK_TEXT)));
      images = IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_ACK_IMAGE1)) &&
               IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_ACK_IMAGE2));
      link = IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_ACK_LINK)) &&
             IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_ACK_IMAGE3));
      GetWindowRect(GetDlgItem(page, WUABOUT_IDC_ACK_TEXT), &box);
      GetWindowRect(GetDlgItem(page, WUABOUT_IDC_ACK_IMAGE1), &page_rect);
    });
    size_t at = 0;
    for (const char* part : c.in_order) {
      size_t found = text.find(part, at);
      EXPECT_NE(found, std::string::npos) << part << " in\n" << text;
      at = found == std::string::npos ? at : found;
    }
    for (const char* part : c.absent) EXPECT_EQ(text.find(part), std::string::npos) << part;
    EXPECT_EQ(images, c.images);
    EXPECT_EQ(link, c.link);
    // With everything below it hidden, the text covers the images' row.
    if (!c.images && !c.link)
      EXPECT_GE(box.bottom, page_rect.bottom);
    else
      EXPECT_LT(box.bottom, page_rect.top);
  }
}

TEST_F(WuAboutTest, CreditsLinesFollowTheFlagsAndDefaultToTheFirstTwo) {
  for (auto [flags, shown] : {std::pair{0x0u, 0x3u}, {0x4u, 0x4u}, {0x7u, 0x7u}}) {
    WUABOUTINFO info{};
    info.pageMask = 0x100;
    info.ackFlags = flags;
    DWORD visible = 0;
    Run(info, [&](HWND sheet) {
      HWND page = CurrentPage(sheet);
      for (int i = 0; i < 3; ++i)
        if (IsWindowVisible(GetDlgItem(page, WUABOUT_IDC_ACK_LINE1 + i))) visible |= 1u << i;
    });
    EXPECT_EQ(visible, shown) << flags;
  }
}

// A provider that answers with a fixed text and counts its calls.
class Devices : public IWuAboutDevices {
 public:
  HRESULT Initialize(HWND page) override {
    ++initialized;
    this->page = page;
    return S_OK;
  }
  HRESULT Refresh(DWORD) override {
    ++refreshed;
    return S_OK;
  }
  HRESULT GetText(LPCWSTR* text, DWORD* extra) override {
    *text = answer;
    *extra = 0;
    return S_OK;
  }
  HWND page = nullptr;
  int initialized = 0, refreshed = 0;
  LPCWSTR answer = u"Sound card A";
};

TEST_F(WuAboutTest, DevicesPageAsksItsProviderEachTimeItIsShown) {
  Devices devices;
  WUABOUTINFO info{};
  info.pageMask = 0x800 | 0x400;
  info.components = u"Component list";
  info.devices = &devices;
  info.startPage = 0;
  std::u16string components, listing;
  script_.Run([&](HWND sheet) { components = Text(GetDlgItem(CurrentPage(sheet), WUABOUT_IDC_COMPONENTS)); })
      .PickPage(1)
      .PickPage(0)
      .PickPage(1)
      .Run([&](HWND sheet) { listing = Text(GetDlgItem(CurrentPage(sheet), WUABOUT_IDC_DEVICES)); })
      .Press(IDOK);
  WuAboutBox(nullptr, &info, sizeof(info));
  EXPECT_EQ(components, u"Component list");
  EXPECT_EQ(devices.initialized, 1);
  EXPECT_EQ(devices.refreshed, 2);
  EXPECT_EQ(listing, u"Sound card A\r\nSound card A\r\n");
}

TEST_F(WuAboutTest, ShortRecordReadsAsZero) {
  // Only the start page and the product name: the mask reads as 0 (the
  // three default pages).
  WUABOUTINFO info{};
  info.productName = u"Old";
  info.pageMask = 0x1000;
  SheetView view;
  script_.Run([&](HWND sheet) { view = ViewSheet(sheet); }).Press(IDOK);
  WuAboutBox(nullptr, &info, static_cast<int>(offsetof(WUABOUTINFO, version)));
  EXPECT_EQ(view.tabs.size(), 3u);
  EXPECT_EQ(view.caption, u"About Old");
}

// ---- Bitmap statics of page templates -------------------------------------------------------------

TEST_F(WuAboutTest, BitmapStaticsGetTheirPoolBitmaps) {
  // The General page's template: control 3008 is a bitmap static naming
  // bitmap 202 by ordinal.
  DWORD found_size = 0;
  const DLGTEMPLATE* t = WuFindDialogTemplateInResPool(&WuAboutResPool, &found_size, MAKEINTRESOURCEW(101), 0x409);
  ASSERT_NE(t, nullptr);
  const int size = static_cast<int>(found_size);
  const std::vector<BYTE> original(reinterpret_cast<const BYTE*>(t), reinterpret_cast<const BYTE*>(t) + size);
  auto control = [](_wudlghdrcreateex* header, int id) -> _wudlgctrlcreateex* {
    auto* c = reinterpret_cast<_wudlgctrlcreateex*>(header + 1);
    for (int i = 0; i < header->count; ++i)
      if (c[i].id == id) return &c[i];
    return nullptr;
  };

  // Room for the bitmap data: rebuilt, the bitmap handed to the control.
  std::vector<BYTE> buffer(original);
  buffer.resize(original.size() + 128);
  HBITMAP bitmaps[4] = {};
  int made = -1;
  int rebuilt = WuAboutBox_CreateDialog(&WuAboutResPool, buffer.data(), size, static_cast<int>(buffer.size()),
                                        bitmaps, 4, &made);
  ASSERT_EQ(made, 1);
  _wudlghdrcreateex* mapped = nullptr;
  ASSERT_GT(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(buffer.data()), rebuilt, &mapped), 0);
  _wudlgctrlcreateex* image = control(mapped, WUABOUT_IDC_HEADER);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(std::u16string(image->ctrlClass), WUSTATIC_CLASS);
  EXPECT_TRUE(image->text == nullptr || (!IS_INTRESOURCE(image->text) && image->text[0] == 0));
  ASSERT_EQ(image->dataSize, 6u);
  WORD kind;
  uint32_t handle;
  std::memcpy(&kind, image->data, 2);
  std::memcpy(&handle, static_cast<const BYTE*>(image->data) + 2, 4);
  EXPECT_EQ(kind, 1);
  EXPECT_EQ(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), bitmaps[0]);
  EXPECT_EQ(GetObjectType(bitmaps[0]), OBJ_BITMAP);
  // Plain statics stay as they are.
  EXPECT_EQ(reinterpret_cast<UINT_PTR>(control(mapped, WUABOUT_IDC_PRODUCT)->ctrlClass), 0x82u);
  WuFreeDialogTemplate(mapped);
  DeleteObject(bitmaps[0]);

  // A pool without the bitmap: the class changes, no data (the rebuild
  // resolves the ordinal as a string id, which the program lacks).
  const BYTE empty_image[32] = {0, 0, 0, 0, 32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
  _WURESPOOL empty{0, 32, empty_image};
  buffer = original;
  buffer.resize(original.size() + 128);
  rebuilt = WuAboutBox_CreateDialog(&empty, buffer.data(), size, static_cast<int>(buffer.size()), bitmaps, 4, &made);
  EXPECT_EQ(made, 0);
  ASSERT_GT(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(buffer.data()), rebuilt, &mapped), 0);
  image = control(mapped, WUABOUT_IDC_HEADER);
  EXPECT_EQ(std::u16string(image->ctrlClass), WUSTATIC_CLASS);
  EXPECT_EQ(image->dataSize, 0u);
  WuFreeDialogTemplate(mapped);

  // No room: the template stays as it was and no bitmap is left behind.
  buffer = original;
  made = -1;
  EXPECT_EQ(WuAboutBox_CreateDialog(&WuAboutResPool, buffer.data(), size, size, bitmaps, 4, &made), size);
  EXPECT_EQ(made, 0);
  EXPECT_EQ(buffer, original);
}

// ---- Label column --------------------------------------------------------------------------------

TEST(WuFormatPropLabelTest, PadsLabelsToTheWidth) {
  struct Case {
    const char16_t* label;
    int width, size;
    const char16_t* expected;
    int result;
  } cases[] = {
      {u"Version", 30, 128, u"    Version:                 ", 30},
      {u"Version", 30, 10, u"    Vers:", 10},             // the width is capped at the buffer
      {u"A long label that fills everything", 12, 128, u"    A long:", 12},
      {u"Version", 5, 128, u"    ", 5},                   // no room for label or colon
      {u"", 8, 128, u"    :  ", 8},
      {u"Version", 0, 128, u"", 0},
      {u"ab\xD83D\xDE00", 9, 128, u"    ab: ", 9},         // a surrogate pair is not split
  };
  for (const Case& c : cases) {
    WCHAR buffer[128];
    std::fill(buffer, buffer + 128, u'#');
    EXPECT_EQ(WuFormatPropLabel(c.label, c.width, buffer, c.size), c.result) << U8(c.label);
    EXPECT_EQ(std::u16string(buffer), c.expected) << U8(c.label) << " " << c.width;
  }
}

// ---- Version texts -------------------------------------------------------------------------------

TEST(WuVersionGetStringTest, ReadsTheFirstTranslationsText) {
  // German, code page 1252: the only table; the block is RT_VERSION 1 of a
  // resource file.
  std::string block =
      wutest::VersionBlock(wutest::FixedInfo(), u"040704E4", {{u"ProductVersion", u"4.2.0.17"}}, 0x04E40407);
  std::string file = wutest::ResourceFile({{16, 1, block}}, 0x407);
  std::string dir = wutest::MakeTempDir("about");
  wutest::WriteBytes(dir + "/tool.dll", file);
  wutest::WriteBytes(dir + "/plain.txt", "no resources");
  std::u16string tool = U16(dir + "/tool.dll");

  WCHAR buffer[64];
  EXPECT_EQ(WuVersion_GetString(tool.c_str(), u"ProductVersion", buffer, 64), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"4.2.0.17");
  EXPECT_EQ(WuVersion_GetString(tool.c_str(), u"ProductVersion", buffer, 4), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"4.2");
  EXPECT_EQ(WuVersion_GetString(tool.c_str(), u"FileDescription", buffer, 64), WU_E_NOT_FOUND);
  EXPECT_EQ(WuVersion_GetString(U16(dir + "/plain.txt").c_str(), u"ProductVersion", buffer, 64), WU_E_NOT_FOUND);
  EXPECT_EQ(WuVersion_GetString(U16(dir + "/none.dll").c_str(), u"ProductVersion", buffer, 64), WU_E_NOT_FOUND);
  EXPECT_EQ(std::u16string(buffer), u"");
}

}  // namespace
