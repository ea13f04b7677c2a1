// The template editor's entry checks, pages, tabs and layout over
// fio_test_renderer's pages.
#include <string>
#include <vector>

#include "fileio/CWuTemplateInfoPropPage.h"
#include "foundation/WuLayout.h"
#include "foundation/WuTabCtl.h"
#include "foundation/WuUIFont.h"
#include "platform/user/control_messages.h"
#include "tests/fileio/TempEditFixture.h"

namespace fio_test {
namespace {

constexpr HRESULT kNoPages = static_cast<HRESULT>(0x8004E086);

class TempEditPagesTest : public TempEditTest {
 protected:
  // The texts of the tab row, empty when there is no tab control.
  static std::vector<std::u16string> Tabs(WuTempEditState* s) {
    std::vector<std::u16string> titles;
    HWND tabs = s->tabs ? WuTabCtl_GetTabs(s->tabs) : nullptr;
    LRESULT count = tabs ? SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i) {
      WCHAR text[64] = {};
      TCITEMW item{};
      item.mask = TCIF_TEXT;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(tabs, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      titles.push_back(text);
    }
    return titles;
  }
  static RECT ChildRect(WuTempEditState* s, HWND control) {
    RECT r{};
    WuDlgGetControlRect(s->dialog, control, 0, &r);
    return r;
  }
};

// What the editor answers before it shows anything.
TEST_F(TempEditPagesTest, EntryChecks) {
  struct Case {
    LONGLONG pages, extra, flags;
    HRESULT hr;
    LONG countCalls;  // slot 21 calls
    bool prepared;    // slot 23 called with the owner
  } cases[] = {
      {-1, 0, 0, S_FALSE, 1, false},          // E_NOTIMPL: nothing to edit
      {0, 0, 0, S_FALSE, 1, false},           // no page
      {0, 2, 0, kNoPages, 1, false},          // extra pages that do not count
      {0, 2, 0x1, kNoPages, 2, true},         // prepared, asked again, still not counted
      {0, 1, 0x1 | 0x4, S_FALSE, 2, true},    // prepared and counted: the dialog runs (Cancel)
  };
  LONG_PTR owner = 0x1000;
  for (const Case& c : cases) {
    Set(kRendererPropPages, c.pages);
    Set(kRendererPropExtraPages, c.extra);
    Set(kRendererPropPageFlags, c.flags);
    ++owner;
    const LONG before = SlotCalls(21);
    if (c.hr == S_FALSE && c.pages == 0 && c.extra > 0) script_.Escape();
    _FIOEDITTEMPLATE args = Args();
    args.owner = reinterpret_cast<HWND>(owner);
    EXPECT_EQ(Edit(&args), c.hr) << c.pages << " " << c.extra << " " << c.flags;
    EXPECT_EQ(SlotCalls(21) - before, c.countCalls) << c.flags;
    LONGLONG prepared = 0;
    renderer_->GetProperty(kRendererPropPreparedOwner, &prepared);
    EXPECT_EQ(prepared == owner, c.prepared) << c.flags;
  }
  // Arguments.
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(WuTempEdit_Edit(nullptr, app_), E_POINTER);
  EXPECT_EQ(WuTempEdit_Edit(&args, nullptr), E_POINTER);
  args.size = 4;
  EXPECT_EQ(Edit(&args), E_INVALIDARG);
  tagWUTEMPLATExV2* project = WuFio_NewTemplate(u"Proj", u"", 0);
  args = Args(FIOEDIT_OWNED);
  args.slot = project;
  args.projectTemplate = project;
  EXPECT_EQ(Edit(&args), E_INVALIDARG);
  EXPECT_EQ(args.slot, project);  // not taken
  std::free(project);
  // The manager's entry: no class gives 1, no page the count's status.
  args = Args();
  args.cls = nullptr;
  EXPECT_EQ(WuFioMgr_EditTemplate(app_, &args), S_FALSE);
  Set(kRendererPropPages, 0);
  Set(kRendererPropExtraPages, 3);
  Set(kRendererPropPageFlags, 0);
  args = Args();
  EXPECT_EQ(WuFioMgr_EditTemplate(app_, &args), S_OK);
}

// The tab row: none for one page, the application page first or last,
// the class's chosen page open first, long titles cut, failing pages
// dropped.
TEST_F(TempEditPagesTest, Tabs) {
  struct Case {
    LONGLONG pages, classFlags, failing, longTitles;
    DWORD flags;
    std::vector<std::u16string> tabs;
    LONG active;
  };
  const std::u16string cut = u"Thirty-two character page t...";
  const Case cases[] = {
      {1, 0, 0, 0, 0, {}, 0},
      {1, 0, 0, 0, FIOEDIT_APPPAGE, {u"Test Page 1", u"Project"}, 0},
      {1, 0, 0, 0, FIOEDIT_APPPAGE | FIOEDIT_APPPAGEFIRST, {u"Project", u"Test Page 1"}, 0},
      {3, 0x10 | (2 << 17), 0, 0, 0, {u"Test Page 1", u"Test Page 2", u"Test Page 3"}, 2},
      {2, 0, 0, 1, 0, {cut, u"Test Page 2"}, 0},
      {3, 0, 0x2, 0, 0, {u"Test Page 1", u"Test Page 3"}, 0},
  };
  for (const Case& c : cases) {
    Set(kRendererPropPages, c.pages);
    Set(kRendererPropPageFlags, c.classFlags);
    Set(kRendererPropFailingPages, c.failing);
    Set(kRendererPropLongTitles, c.longTitles);
    std::vector<std::u16string> tabs;
    bool shown = true;
    LONG active = -1, count = 0;
    Look([&](WuTempEditState* s) {
      tabs = Tabs(s);
      shown = s->tabs && IsWindowVisible(s->tabs);
      active = s->activePage;
      count = s->pageCount;
    });
    script_.Escape();
    _FIOEDITTEMPLATE args = Args(c.flags);
    EXPECT_EQ(Edit(&args), S_FALSE);
    EXPECT_EQ(count, static_cast<LONG>(c.tabs.empty() ? 1 : c.tabs.size()));
    EXPECT_EQ(shown, !c.tabs.empty());
    if (!c.tabs.empty()) {
      EXPECT_EQ(tabs, c.tabs);
    }
    EXPECT_EQ(active, c.active);
  }
}

// A tab change applies the shown page when it is dirty; a failed apply
// keeps the old tab.
TEST_F(TempEditPagesTest, TabChangeApplies) {
  struct Case {
    LONGLONG applyFails;
    LONG active;
    DWORD state;  // of the current template afterwards
  } cases[] = {
      {0, 1, WUTE_OWNED | WUTE_MODIFIED},
      {1, 0, 0},
  };
  for (const Case& c : cases) {
    Set(kRendererPropPages, 2);
    Set(kRendererPropApplyFails, c.applyFails);
    LONG active = -1, tab = -1;
    DWORD state = 0xFF;
    BYTE setting = 0;
    script_.Pick(WUTE_ID_COMBO, 0).Check(kRendererPageControl, true).Pick(WUTE_ID_TABS, 1);
    Look([&](WuTempEditState* s) {
      active = s->activePage;
      tab = static_cast<LONG>(SendMessageW(WuTabCtl_GetTabs(s->tabs), TCM_GETCURSEL, 0, 0));
      state = s->state & (WUTE_OWNED | WUTE_MODIFIED);
      setting = s->current->PrivateData()[kRendererSettingsByte];
    });
    script_.Escape();
    _FIOEDITTEMPLATE args = Args();
    EXPECT_EQ(Edit(&args), S_FALSE);
    EXPECT_EQ(active, c.active);
    EXPECT_EQ(tab, c.active);
    EXPECT_EQ(state, c.state);
    EXPECT_EQ(setting & 1, c.applyFails ? 0 : 1);
  }
}

// Layout by relations: the dialog holds the widest page, the site is 4
// pixels higher than the pages, the tab row sits under it only from two
// pages on, the toolbar ends the shortened template list, OK and Cancel
// stay below the pages.
TEST_F(TempEditPagesTest, LayoutRelations) {
  for (LONGLONG pages : {1, 2}) {
    Set(kRendererPropPages, pages);
    RECT window{}, site{}, tabs{}, combo{}, toolbar{}, ok{}, description{};
    SIZE page{};
    bool tabsShown = false;
    Look([&](WuTempEditState* s) {
      GetWindowRect(s->dialog, &window);
      site = ChildRect(s, s->siteWindow);
      tabs = ChildRect(s, s->tabs);
      combo = ChildRect(s, s->combo);
      toolbar = ChildRect(s, s->toolbar);
      ok = ChildRect(s, GetDlgItem(s->dialog, IDOK));
      description = ChildRect(s, s->description);
      page = s->pageSize;
      tabsShown = IsWindowVisible(s->tabs) != FALSE;
    });
    script_.Escape();
    _FIOEDITTEMPLATE args = Args();
    EXPECT_EQ(Edit(&args), S_FALSE);
    const int frame = GetSystemMetrics(SM_CXDLGFRAME);
    EXPECT_GT(page.cx, 0);
    EXPECT_GE(window.right - window.left, page.cx + 2 * frame + 28);
    EXPECT_EQ(site.bottom - site.top, page.cy + 4);
    EXPECT_EQ(site.right - site.left, (window.right - window.left) - 24);
    EXPECT_EQ(site.left, 12 - frame);
    EXPECT_EQ(site.top, description.bottom + 12);
    EXPECT_EQ(tabsShown, pages >= 2);
    if (pages >= 2) {
      EXPECT_EQ(tabs.top, site.bottom);
      EXPECT_EQ(tabs.bottom - tabs.top, WuGetUIFontSize(WUFONT_DIALOG)->cy + 5);
      EXPECT_GE(ok.top, tabs.bottom);
    } else {
      EXPECT_GE(ok.top, site.bottom);
    }
    EXPECT_GT(toolbar.right - toolbar.left, 0);
    EXPECT_EQ(toolbar.left, combo.right);
    EXPECT_EQ(toolbar.top, combo.top);
  }
}

// The information page a class offers reads the editor's state through
// the holder: after a change applied on a tab switch it shows the mark.
TEST_F(TempEditPagesTest, InformationPageSeesTheEditor) {
  Set(kRendererPropPages, 2);
  Set(kRendererPropInfoPages, 0x2);
  std::u16string before, after;
  auto read = [](WuTempEditState* s) {
    HWND page = GetWindow(s->siteWindow, GW_CHILD);
    WCHAR text[2048] = {};
    GetWindowTextW(GetDlgItem(page, WUFIO_INFOPAGE_TEXT_ID), text, 2048);
    return std::u16string(text);
  };
  script_.Pick(WUTE_ID_COMBO, 0).Pick(WUTE_ID_TABS, 1);
  Look([&](WuTempEditState* s) { before = read(s); });
  script_.Pick(WUTE_ID_TABS, 0).Check(kRendererPageControl, true).Pick(WUTE_ID_TABS, 1);
  Look([&](WuTempEditState* s) { after = read(s); });
  script_.Escape();
  _FIOEDITTEMPLATE args = Args();
  EXPECT_EQ(Edit(&args), S_FALSE);
  EXPECT_NE(before.find(u"Is Preset 1"), std::u16string::npos) << U8(before);
  EXPECT_EQ(before.find(u"<Modified>"), std::u16string::npos) << U8(before);
  EXPECT_NE(after.find(u"<Modified>"), std::u16string::npos) << U8(after);
}

}  // namespace
}  // namespace fio_test
