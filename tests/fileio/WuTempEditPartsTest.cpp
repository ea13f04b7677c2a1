// The template editor's parts on their own: the "Project" page, the
// holder and the page site.
#include <cstdlib>
#include <cstring>

#include "fileio/CFileIOTemplateHolder.h"
#include "fileio/CWuAppPropPage.h"
#include "fileio/CWuTempEditSite.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuTempEdit.h"
#include "platform/user/frontend.h"
#include "tests/fileio/FioRendererFixture.h"
#include "tests/fileio/PageFakes.h"

namespace fio_test {
namespace {

tagWUTEMPLATExV2* V2(const char16_t* name, WORD options = 0) {
  tagWUTEMPLATExV2* r = WuFio_NewTemplate(name, u"", 0);
  r->version = WUTEMPLATE_VERSION_V2;
  r->options = options;
  return r;
}

class AppPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_DIALOG, u"Editor", WS_POPUP | WS_VISIBLE, 0,
                              0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    page_ = CWuAppPropPage::Create();
    ASSERT_NE(page_, nullptr);
  }
  void TearDown() override {
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
    EXPECT_EQ(page_->Release(), 0u);
    EXPECT_EQ(holder_.references, 1u);
    EXPECT_EQ(site_.references, 1u);
    DestroyWindow(parent_);
  }
  FakeHolder holder_;
  FakeSite site_;
  HWND parent_ = nullptr;
  CWuAppPropPage* page_ = nullptr;
};

// A choice sets bits 0 to 2 of the option word and keeps the others; the
// list shows the template's bits; applying hands the holder a copy.
TEST_F(AppPageTest, QualityChoiceKeepsOtherBits) {
  struct Case {
    WORD start;
    int row;
    WORD applied;
  } cases[] = {
      {0x00F8 | 2, 4, 0x00F8 | 4},
      {0x0007 & 4, 0, 0x0000},
      {0x1230, 3, 0x1233},
  };
  IUnknown* objects[1] = {&holder_};
  ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
  ASSERT_EQ(page_->SetObjects(1, objects), S_OK);
  for (const Case& c : cases) {
    holder_.Take(V2(u"T", c.start));
    RECT rect{0, 0, 300, 100};
    ASSERT_EQ(page_->Activate(parent_, &rect, TRUE), S_OK);
    HWND list = GetDlgItem(page_->Window(), WUTE_ID_QUALITY);
    EXPECT_EQ(SendMessageW(list, CB_GETCURSEL, 0, 0), c.start & 7);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    ASSERT_TRUE(platform::PickInControl(list, c.row));
    EXPECT_EQ(page_->IsPageDirty(), S_OK);
    EXPECT_EQ(page_->Apply(), S_OK);
    EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
    EXPECT_EQ(holder_.current->options, c.applied);
    EXPECT_EQ(page_->Deactivate(), S_OK);
  }
}

TEST_F(AppPageTest, SlotsRefuseWhatTheyMust) {
  RECT rect{0, 0, 10, 10};
  EXPECT_EQ(page_->Activate(parent_, &rect, TRUE), E_UNEXPECTED);  // no holder
  EXPECT_EQ(page_->SetPageSite(&site_), S_OK);
  EXPECT_EQ(page_->SetPageSite(&site_), E_UNEXPECTED);
  IUnknown* objects[2] = {&holder_, &holder_};
  EXPECT_EQ(page_->SetObjects(2, objects), E_UNEXPECTED);
  EXPECT_EQ(page_->SetObjects(1, objects), S_OK);
  holder_.Take(V2(u"T"));
  EXPECT_EQ(page_->Activate(parent_, &rect, TRUE), S_OK);
  EXPECT_EQ(page_->Activate(parent_, &rect, TRUE), E_UNEXPECTED);  // created already
  for (UINT command : {SW_HIDE, SW_SHOWNORMAL, SW_SHOW}) EXPECT_EQ(page_->Show(command), S_OK);
  EXPECT_EQ(page_->Show(SW_MAXIMIZE), E_INVALIDARG);
  EXPECT_EQ(page_->TranslateAccelerator(nullptr), E_NOTIMPL);
  PROPPAGEINFO info{};
  info.cb = 28;
  EXPECT_EQ(page_->GetPageInfo(&info), E_INVALIDARG);
  info.cb = sizeof(info);
  ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
  EXPECT_EQ(std::u16string(info.pszTitle), u"Project");
  EXPECT_GT(info.size.cx, 0);
  EXPECT_GT(info.size.cy, 0);
  EXPECT_NE(info.size.cx, 300);  // computed from the description
  CoTaskMemFree(info.pszTitle);
  page_->Deactivate();
}

class HolderTest : public FioRendererTest {};

TEST_F(HolderTest, Slots) {
  WuTempEditState state{};
  state.manager = app_;
  _FIOEDITTEMPLATE args{};
  state.args = &args;
  CFileIOTemplateHolder* holder = CFileIOTemplateHolder::Create(&state);
  ASSERT_NE(holder, nullptr);
  tagWUTEMPLATExV2* out = nullptr;
  EXPECT_EQ(holder->GetTemplate(&out), E_FAIL);
  EXPECT_EQ(holder->GetProjectTemplate(&out), E_NOTIMPL);
  // Set: a copy becomes the current template, owned and modified; an equal
  // template changes nothing; a bad record is refused.
  tagWUTEMPLATExV2* a = V2(u"A", 3);
  EXPECT_EQ(holder->SetTemplate(a), S_OK);
  tagWUTEMPLATExV2* current = state.current;
  ASSERT_NE(current, nullptr);
  EXPECT_NE(current, a);
  EXPECT_EQ(state.state, WUTE_OWNED | WUTE_MODIFIED);
  EXPECT_EQ(holder->SetTemplate(a), S_FALSE);
  EXPECT_EQ(state.current, current);
  a->privateSize = -1;
  EXPECT_EQ(holder->SetTemplate(a), WUTE_E_BAD_TEMPLATE);
  EXPECT_EQ(state.current, current);
  ASSERT_EQ(holder->GetTemplate(&out), S_OK);
  EXPECT_EQ(std::memcmp(out, current, current->totalSize), 0);
  std::free(out);
  args.projectTemplate = current;
  ASSERT_EQ(holder->GetProjectTemplate(&out), S_OK);
  EXPECT_NE(out, current);
  std::free(out);
  // Metrics reach the manager.
  EXPECT_EQ(holder->SetMetric(3, 77), S_OK);
  LONG value = 0;
  EXPECT_EQ(app_->GetMetric(3, &value), S_OK);
  EXPECT_EQ(value, 77);
  value = 0;
  EXPECT_EQ(holder->GetMetric(3, &value), S_OK);
  EXPECT_EQ(value, 77);
  // Pages read the editor's state behind it.
  IWuTempEditView* view = nullptr;
  ASSERT_EQ(holder->QueryInterface(IID_IWuTempEditView, reinterpret_cast<void**>(&view)), S_OK);
  WUTEMPEDIT_VIEW seen{};
  EXPECT_EQ(view->GetView(&seen), E_INVALIDARG);
  seen.size = sizeof(seen);
  ASSERT_EQ(view->GetView(&seen), S_OK);
  EXPECT_EQ(seen.current, current);
  EXPECT_EQ(seen.state, WUTEMPEDIT_STATE_OWNED | WUTEMPEDIT_STATE_MODIFIED);
  view->Release();
  // Detached, it no longer reaches the state.
  holder->Detach();
  EXPECT_EQ(holder->GetTemplate(&out), E_UNEXPECTED);
  EXPECT_EQ(holder->Release(), 0u);
  std::free(a);
  std::free(state.current);
}

TEST(TempEditSite, Answers) {
  CWuTempEditSite* site = CWuTempEditSite::Create();
  ASSERT_NE(site, nullptr);
  LCID locale = 0;
  EXPECT_EQ(site->GetLocaleID(&locale), S_OK);
  EXPECT_EQ(locale, 1024u);
  EXPECT_EQ(site->GetLocaleID(nullptr), E_POINTER);
  IUnknown* container = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(site->GetPageContainer(&container), S_FALSE);
  EXPECT_EQ(container, nullptr);
  EXPECT_EQ(site->OnStatusChange(PROPPAGESTATUS_DIRTY), S_OK);
  EXPECT_EQ(site->TranslateAccelerator(nullptr), S_FALSE);
  IPropertyPageSite* asked = nullptr;
  EXPECT_EQ(site->QueryInterface(IID_IPropertyPageSite, reinterpret_cast<void**>(&asked)), S_OK);
  EXPECT_EQ(site->References(), 1);
  EXPECT_EQ(site->Release(), 0u);
  EXPECT_EQ(site->Release(), 0u);  // never below 0; the editor frees it
  EXPECT_EQ(site->References(), 0);
  CWuTempEditSite::Destroy(site);
}

}  // namespace
}  // namespace fio_test
