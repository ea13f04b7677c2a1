// The property pages of the test renderer (slots 21 to 23 and the pages
// themselves), driven directly with a fake holder and site.
#include <cstring>
#include <string>

#include "fileio/WuFioPageInfo.h"
#include "platform/user/windows.h"
#include "tests/fileio/FioRendererFixture.h"
#include "tests/fileio/PageFakes.h"

namespace fio_test {
namespace {

class RendererPagesTest : public FioRendererTest {
 protected:
  void TearDown() override {
    if (parent_) DestroyWindow(parent_);
    FioRendererTest::TearDown();
  }
  void Set(DWORD id, LONGLONG value) { ASSERT_EQ(renderer_->SetProperty(id, value), S_OK); }
  IWuFileIOPropertyPage* Page(LONG number) {
    IWuFileIOPropertyPage* page = nullptr;
    EXPECT_EQ(renderer_->GetPage(number, IID_IWuFileIOPropertyPage, reinterpret_cast<void**>(&page)),
              S_OK);
    return page;
  }
  // A page with the site and a holder on preset `preset`.
  IWuFileIOPropertyPage* ReadyPage(LONG number, int preset = 0) {
    tagWUTEMPLATExV2* record = nullptr;
    EXPECT_EQ(renderer_->GetPreset(&record, preset), S_OK);
    holder_.Take(record);
    IWuFileIOPropertyPage* page = Page(number);
    if (!page) return nullptr;
    IUnknown* objects[1] = {&holder_};
    EXPECT_EQ(page->SetPageSite(&site_), S_OK);
    EXPECT_EQ(page->SetObjects(1, objects), S_OK);
    return page;
  }
  HWND Parent() {
    if (!parent_)
      parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_DIALOG, u"Editor", WS_POPUP | WS_VISIBLE,
                                0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    return parent_;
  }
  // Activates the page in the parent; the page's dialog window.
  HWND Activate(IWuFileIOPropertyPage* page) {
    RECT rect{10, 20, 310, 120};
    EXPECT_EQ(page->Activate(Parent(), &rect, TRUE), S_OK);
    HWND control = FindWindowExW(Parent(), nullptr, nullptr, nullptr);
    return control;
  }
  // Releases the page after taking the site and holder back.
  void Close(IWuFileIOPropertyPage* page) {
    page->Deactivate();
    page->SetObjects(0, nullptr);
    page->SetPageSite(nullptr);
    EXPECT_EQ(page->Release(), 0u);
    EXPECT_EQ(holder_.references, 1u);
    EXPECT_EQ(site_.references, 1u);
  }
  static BYTE Setting(const tagWUTEMPLATExV2* record) {
    return record->PrivateData()[kRendererSettingsByte];
  }

  FakeHolder holder_;
  FakeSite site_;
  HWND parent_ = nullptr;
};

TEST_F(RendererPagesTest, PageCountAnswersTheSwitches) {
  struct Case {
    LONGLONG pages, extra, flags;
    HRESULT hr;
  } cases[] = {
      {1, 0, 0, S_OK},                                   // the default
      {2, 1, 0x1 | 0x4 | 0x10 | (1 << 17), S_OK},       // extra pages, the second opens first
      {0, 0, 0, S_OK},                                   // no page
      {-1, 0, 0, E_NOTIMPL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pages);
    Set(kRendererPropPages, c.pages);
    Set(kRendererPropExtraPages, c.extra);
    Set(kRendererPropPageFlags, c.flags);
    LONG count = -5, extra = -5;
    DWORD flags = 0xDEAD;
    EXPECT_EQ(renderer_->GetPageCount(&count, &extra, &flags), c.hr);
    if (c.hr != S_OK) continue;
    EXPECT_EQ(count, c.pages);
    EXPECT_EQ(extra, c.extra);
    EXPECT_EQ(flags, static_cast<DWORD>(c.flags));
  }
  LONG count = 0;
  EXPECT_EQ(renderer_->GetPageCount(&count, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(renderer_->SetProperty(kRendererPropExtraPages, -1), E_INVALIDARG);
}

TEST_F(RendererPagesTest, PagesByNumberFailAsSwitchedAndExtraPagesNeedPreparation) {
  Set(kRendererPropPages, 2);
  Set(kRendererPropExtraPages, 1);
  Set(kRendererPropFailingPages, 1 << 1);
  struct Case {
    LONG number;
    HRESULT before, after;  // before and after slot 23
  } cases[] = {
      {0, S_OK, S_OK},
      {1, E_FAIL, E_FAIL},          // fails at creation
      {2, E_FAIL, S_OK},            // the extra page
      {3, E_INVALIDARG, E_INVALIDARG},
      {-1, E_INVALIDARG, E_INVALIDARG},
  };
  auto ask = [&](LONG number) {
    IUnknown* page = reinterpret_cast<IUnknown*>(1);
    HRESULT hr = renderer_->GetPage(number, IID_IWuFileIOPropertyPage, reinterpret_cast<void**>(&page));
    EXPECT_EQ(page != nullptr, hr == S_OK);
    if (page) page->Release();
    return hr;
  };
  for (const Case& c : cases) EXPECT_EQ(ask(c.number), c.before) << c.number;
  LONGLONG owner = 0;
  EXPECT_EQ(renderer_->GetProperty(kRendererPropPreparedOwner, &owner), S_OK);
  EXPECT_EQ(owner, 0);
  ASSERT_EQ(renderer_->PreparePages(Parent()), S_OK);
  EXPECT_EQ(renderer_->GetProperty(kRendererPropPreparedOwner, &owner), S_OK);
  EXPECT_EQ(owner, reinterpret_cast<LONGLONG>(Parent()));
  for (const Case& c : cases) EXPECT_EQ(ask(c.number), c.after) << c.number;
  void* other = nullptr;
  EXPECT_EQ(renderer_->GetPage(0, IID_IWuRenderFileClass, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(renderer_->GetPage(0, IID_IWuFileIOPropertyPage, nullptr), E_POINTER);
}

TEST_F(RendererPagesTest, InfoGivesTheTitleAndTheDialogSize) {
  Set(kRendererPropPages, 2);
  Set(kRendererPropLongTitles, 1 << 1);
  const char16_t* titles[] = {u"Test Page 1", kRendererLongPageTitle};
  ASSERT_EQ(std::u16string(kRendererLongPageTitle).size(), 32u);
  LONG units = GetDialogBaseUnits();
  for (LONG n = 0; n < 2; ++n) {
    IWuFileIOPropertyPage* page = Page(n);
    ASSERT_NE(page, nullptr);
    PROPPAGEINFO info;
    std::memset(&info, 0xCC, sizeof(info));
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
    EXPECT_EQ(std::u16string(info.pszTitle), titles[n]);
    EXPECT_EQ(info.size.cx, kRendererPageWidth * (units & 0xFFFF) / 4);
    EXPECT_EQ(info.size.cy, kRendererPageHeight * ((units >> 16) & 0xFFFF) / 8);
    EXPECT_EQ(info.pszDocString, nullptr);
    EXPECT_EQ(info.pszHelpFile, nullptr);
    CoTaskMemFree(info.pszTitle);
    EXPECT_EQ(page->GetPageInfo(nullptr), E_POINTER);
    EXPECT_EQ(page->Release(), 0u);
  }
}

// The page's one control flips the settings byte and makes the page
// dirty; the holder sees the change only when the page applies it.
TEST_F(RendererPagesTest, TheControlChangesTheSettingAndApplyHandsTheHolderACopy) {
  IWuFileIOPropertyPage* page = ReadyPage(0);
  ASSERT_NE(page, nullptr);
  const BYTE before = Setting(holder_.current);
  HWND dialog = Activate(page);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_NE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_CONTROLPARENT, 0);
  RECT placed{};
  GetWindowRect(dialog, &placed);
  MapWindowPoints(nullptr, Parent(), reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(placed.left, 10);
  EXPECT_EQ(placed.top, 20);
  EXPECT_EQ(placed.right - placed.left, 300);
  HWND control = GetDlgItem(dialog, kRendererPageControl);
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), (before & 1) ? BST_CHECKED : BST_UNCHECKED);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Apply(), S_OK);  // clean: nothing handed over
  EXPECT_EQ(holder_.sets, 0);

  SendMessageW(control, BM_CLICK, 0, 0);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(site_.changes, 1);
  EXPECT_EQ(site_.lastFlags, PROPPAGESTATUS_DIRTY);
  EXPECT_EQ(Setting(holder_.current), before);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(holder_.sets, 1);
  EXPECT_EQ(Setting(holder_.current), before ^ 1);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);

  // A click back and a refresh: the holder's template shows again, clean.
  SendMessageW(control, BM_CLICK, 0, 0);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(page->Refresh(), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(SendMessageW(control, BM_GETCHECK, 0, 0), ((before ^ 1) & 1) ? BST_CHECKED : BST_UNCHECKED);

  EXPECT_EQ(page->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_EQ(page->Show(SW_MAXIMIZE), E_INVALIDARG);
  RECT moved{0, 0, 50, 60};
  EXPECT_EQ(page->Move(&moved), S_OK);
  GetClientRect(dialog, &placed);
  EXPECT_EQ(placed.right, 50);
  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(page->Show(SW_SHOW), E_UNEXPECTED);
  Close(page);
}

TEST_F(RendererPagesTest, AFailingApplyKeepsThePageDirtyAndTheHolderUnchanged) {
  Set(kRendererPropApplyFails, 1);
  IWuFileIOPropertyPage* page = ReadyPage(0);
  ASSERT_NE(page, nullptr);
  HWND dialog = Activate(page);
  const BYTE before = Setting(holder_.current);
  SendDlgItemMessageW(dialog, kRendererPageControl, BM_CLICK, 0, 0);
  EXPECT_EQ(page->Apply(), E_FAIL);
  EXPECT_EQ(page->IsPageDirty(), S_OK);
  EXPECT_EQ(holder_.sets, 0);
  EXPECT_EQ(Setting(holder_.current), before);
  Close(page);
}

TEST_F(RendererPagesTest, OutOfOrderCallsAreRefused) {
  IWuFileIOPropertyPage* page = Page(0);
  ASSERT_NE(page, nullptr);
  RECT rect{0, 0, 10, 10};
  EXPECT_EQ(page->Activate(Parent(), &rect, TRUE), E_UNEXPECTED);  // no holder
  EXPECT_EQ(page->Apply(), E_UNEXPECTED);
  EXPECT_EQ(page->Refresh(), E_UNEXPECTED);
  IUnknown* two[2] = {&holder_, &holder_};
  EXPECT_EQ(page->SetObjects(2, two), E_UNEXPECTED);
  EXPECT_EQ(page->SetObjects(1, nullptr), E_POINTER);
  EXPECT_EQ(page->SetObjects(1, two), S_OK);
  EXPECT_EQ(page->Activate(Parent(), &rect, TRUE), E_FAIL);  // the holder has no template
  EXPECT_EQ(page->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page->SetPageSite(&site_), E_UNEXPECTED);
  page->Release();  // gives back what it holds
  EXPECT_EQ(holder_.references, 1u);
  EXPECT_EQ(site_.references, 1u);

  // Activated twice, and a template too small for the setting.
  page = ReadyPage(0);
  ASSERT_NE(page, nullptr);
  HWND dialog = Activate(page);
  EXPECT_EQ(page->Activate(Parent(), &rect, TRUE), E_UNEXPECTED);
  holder_.Take(WuFio_NewTemplate(u"Bare", u"", 0));
  ASSERT_EQ(page->Refresh(), S_OK);
  HWND control = GetDlgItem(dialog, kRendererPageControl);
  EXPECT_FALSE(IsWindowEnabled(control));
  SendMessageW(control, WM_COMMAND, 0, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(kRendererPageControl, BN_CLICKED),
               reinterpret_cast<LPARAM>(control));
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  Close(page);
}

}  // namespace
}  // namespace fio_test
