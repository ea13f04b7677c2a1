// The template-information page: its text for the editor's current
// template (identity, description and place) through a fake holder, with
// and without an editor behind it, and the page as a page.
#include "fileio/CWuTemplateInfoPropPage.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioPageInfo.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateFiles.h"
#include "foundation/WuLang.h"
#include "platform/kernel/locale.h"
#include "platform/user/windows.h"
#include "tests/fileio/FioRendererFixture.h"
#include "tests/fileio/PageFakes.h"

namespace fio_test {
namespace {

// A holder with an editor behind it: it answers IWuTempEditView with
// `view`.
class EditorHolder final : public FakeHolder {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (object && IsEqualGUID(iid, IID_IWuTempEditView)) {
      *object = &source_;
      AddRef();
      return S_OK;
    }
    return FakeHolder::QueryInterface(iid, object);
  }
  WUTEMPEDIT_VIEW view{};

 private:
  struct Source final : IWuTempEditView {
    explicit Source(EditorHolder* h) : holder(h) {}
    HRESULT QueryInterface(REFIID iid, void** object) override {
      return holder->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return holder->AddRef(); }
    ULONG Release() override { return holder->Release(); }
    HRESULT GetView(WUTEMPEDIT_VIEW* out) override {
      if (!out || out->size != sizeof(WUTEMPEDIT_VIEW)) return E_INVALIDARG;
      *out = holder->view;
      out->size = sizeof(WUTEMPEDIT_VIEW);
      return S_OK;
    }
    EditorHolder* holder;
  } source_{this};
};

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back(text.substr(start) + u"<no line break>");
  return lines;
}

class TemplateInfoPageTest : public FioRendererTest {
 protected:
  void SetUp() override {
    // Descriptions in English numbers and separators.
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    WuLang_GetInternationals(nullptr, 0);
    FioRendererTest::SetUp();
    WCHAR folder[260] = {};
    ASSERT_TRUE(SUCCEEDED(WuFio_GetRenderTemplateFolder(renderer_, folder, 260)));
    folder_ = folder;
    std::filesystem::create_directories(U8(folder_));
    // "My File", a template file with the MD5 identity.
    tagWUTEMPLATExV2* file = WuFio_NewTemplate(u"My File", u"notes", 0);
    ASSERT_NE(file, nullptr);
    file->version = WUTEMPLATE_VERSION_V2;
    file->classId = kRendererClassId;
    ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&file->guid, file, TRUE), S_OK);
    wutest::WriteBytes(U8(folder_) + "My File.wut2",
                       std::string(reinterpret_cast<const char*>(file), file->totalSize));
    std::free(file);
    ASSERT_EQ(WuFio_CreatePrivateTemplateCache(renderer_, &cache_), S_OK);
    ASSERT_EQ(cache_->Rebuild(0), S_OK);
  }
  void TearDown() override {
    if (cache_) cache_->Close();
    if (parent_) DestroyWindow(parent_);
    std::filesystem::remove_all(U8(folder_));
    FioRendererTest::TearDown();
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
  }
  // A record of the global cache by name and kind.
  const tagWUTEMPLATExV2* Record(const char16_t* name, LONG kind) {
    LONG g = 0, i = 0;
    return cache_->Global()->FindByName(name, true, kind, kind, &g, &i);
  }
  std::u16string Text(const tagWUTEMPLATExV2* current, DWORD state = 0) {
    WUTEMPEDIT_VIEW view{sizeof(WUTEMPEDIT_VIEW), renderer_, cache_, current, state};
    std::u16string text(4096, u'\0');
    EXPECT_EQ(WuFio_MakeTemplateInfoText(&view, nullptr, text.data(), 4096), S_OK);
    return text.c_str();
  }

  std::u16string folder_;
  CWuPrivateTemplateCache* cache_ = nullptr;
  HWND parent_ = nullptr;
};

TEST_F(TemplateInfoPageTest, APresetShowsEveryLine) {
  const tagWUTEMPLATExV2* preset = Record(u"Test Audio", WUTPL_KIND_PRESETS);
  ASSERT_NE(preset, nullptr);
  EXPECT_EQ(Lines(Text(preset)),
            (std::vector<std::u16string>{
                u"Size = 614 (0x266)",
                u"Version = 0x02000000",
                u"Id = 1",
                u"cbExtra = 6 (0x6)",
                u"Owner = {E7100000-0001-4000-8000-000000000001} Test Render",
                u"Guid = {E7200000-0001-4000-8000-000000000001} ",
                u"",
                u"Description:",
                u"Audio: 48,000 Hz, Stereo",
                u"Is Preset 1",
            }));
}

// The lines that tell one template from another: the first line, the
// identity and the place.
TEST_F(TemplateInfoPageTest, IdentityAndPlaceOfEachKindOfTemplate) {
  const tagWUTEMPLATExV2* preset = Record(u"Test Audio", WUTPL_KIND_PRESETS);
  const tagWUTEMPLATExV2* file = Record(u"My File", WUTPL_KIND_CURRENT);
  ASSERT_TRUE(preset && file);
  const std::u16string path = u"Path = \"" + folder_ + u"\"";

  // A lifted template among the private ones, after another private one.
  tagWUTEMPLATExV2* lifted = WuFio_DuplicateTemplate(preset);
  ASSERT_EQ(WuFio_SetTemplateNameAndNotes(lifted, u"Lifted", u""), S_OK);
  lifted->guid = WuFio_MakeUpliftedV1TemplateGuid(lifted);
  ASSERT_TRUE(WuFio_IsUpliftedV1Template(lifted));
  tagWUTEMPLATExV2* other = WuFio_NewTemplate(u"Other", u"", 0);
  ASSERT_EQ(cache_->AddPrivateTemplate(other, false), S_OK);
  ASSERT_EQ(cache_->AddPrivateTemplate(lifted, false), S_OK);
  ASSERT_EQ(cache_->Rebuild(0), S_OK);
  // The editor's own template, and copies that no cache holds.
  tagWUTEMPLATExV2* untitled = WuFio_NewTemplate(u"(Untitled)", u"", 0);
  cache_->SetCurrentTemplate(untitled, 0);
  tagWUTEMPLATExV2* copy = WuFio_DuplicateTemplate(preset);
  tagWUTEMPLATExV2* changed = WuFio_DuplicateTemplate(preset);
  changed->PrivateData()[kRendererSettingsByte] ^= 1;
  tagWUTEMPLATExV2* sameName = WuFio_DuplicateTemplate(file);
  tagWUTEMPLATExV2* stray = WuFio_NewTemplate(u"Nowhere", u"", 0);

  struct Case {
    const char* what;
    const tagWUTEMPLATExV2* current;
    DWORD state;
    std::u16string first;                 // the first line
    std::u16string guidTail;              // what follows the GUID
    std::vector<std::u16string> place;    // the last lines
  } cases[] = {
      {"preset", preset, 0, u"Size = 614 (0x266)", u"} ", {u"Is Preset 1"}},
      {"file", file, 0, u"Size = 564 (0x234)", u"} (MD5 Hash)", {path, u"Filename = \"My File.wut2\""}},
      {"lifted", cache_->FindTemplateByName(u"Lifted", true, 1, 1, nullptr, nullptr, nullptr, 0), 0,
       u"Size = 614 (0x266)", u"} (V1 Uplift)", {u"Is App Preset 1"}},
      {"untitled", cache_->CurrentTemplate(), 0, u"Size = 560 (0x230)", u"} ", {u"Is Untitled Preset"}},
      {"copy", copy, 0, u"Size = 614 (0x266)", u"} ", {u"Copy of Preset 1"}},
      {"modified", changed, WUTEMPEDIT_STATE_MODIFIED | WUTEMPEDIT_STATE_OWNED, u"<Modified>", u"} ",
       {u"Modified Copy of Preset 1"}},
      {"named file", sameName, WUTEMPEDIT_STATE_MODIFIED, u"<Modified>", u"} (MD5 Hash)",
       {u"a v2 Template with this name exists at", u"  " + path,
        u"  Filename = \"My File.wut2\""}},
      {"stray", stray, 0, u"Size = 554 (0x22a)", u"} ", {u"Unexpected: Preset Not Found"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_NE(c.current, nullptr);
    std::vector<std::u16string> lines = Lines(Text(c.current, c.state));
    ASSERT_GE(lines.size(), 8u + c.place.size());
    EXPECT_EQ(lines[0], c.first);
    const size_t guidLine = c.first == u"<Modified>" ? 6 : 5;
    EXPECT_EQ(lines[guidLine].substr(0, 8), u"Guid = {");
    EXPECT_EQ(lines[guidLine].substr(44), c.guidTail);
    EXPECT_EQ(std::vector<std::u16string>(lines.end() - static_cast<long>(c.place.size()), lines.end()),
              c.place);
  }
  for (tagWUTEMPLATExV2* r : {copy, changed, sameName, stray}) std::free(r);
}

TEST_F(TemplateInfoPageTest, WithoutAnEditorTheHoldersTemplateShowsAlone) {
  FakeHolder holder;
  ASSERT_EQ(renderer_->GetPreset(&holder.current, 1), S_OK);
  IWuFileIOPropertyPage* page = nullptr;
  ASSERT_EQ(WuFio_CreateTemplateInfoPropPage(&page), S_OK);
  IUnknown* objects[1] = {&holder};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_DIALOG, u"Editor", WS_POPUP | WS_VISIBLE, 0, 0,
                            600, 400, nullptr, nullptr, nullptr, nullptr);
  RECT rect{10, 10, 410, 310};
  ASSERT_EQ(page->Activate(parent_, &rect, TRUE), S_OK);
  WCHAR shown[4096] = {};
  HWND pageWindow = FindWindowExW(parent_, nullptr, nullptr, nullptr);
  ASSERT_NE(pageWindow, nullptr);
  GetDlgItemTextW(pageWindow, WUFIO_INFOPAGE_TEXT_ID, shown, 4096);
  EXPECT_EQ(Lines(shown),
            (std::vector<std::u16string>{
                u"Size = 614 (0x266)",
                u"Version = 0x02000000",
                u"Id = 1",
                u"cbExtra = 6 (0x6)",
                u"Owner = {E7100000-0001-4000-8000-000000000001} ",
                u"Guid = {E7200000-0001-4000-8000-000000000001} ",
                u"",
                u"Description:",
                u"Audio: 48,000 Hz, Stereo",
            }));
  page->SetObjects(0, nullptr);
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_EQ(holder.references, 1u);
}

TEST_F(TemplateInfoPageTest, ThePageAsAPage) {
  EditorHolder holder;
  FakeSite site;
  holder.view = {0, renderer_, cache_, Record(u"Test Audio", WUTPL_KIND_PRESETS), 0};
  // Offered by the renderer class as its second page.
  ASSERT_EQ(renderer_->SetProperty(kRendererPropPages, 2), S_OK);
  ASSERT_EQ(renderer_->SetProperty(kRendererPropInfoPages, 1 << 1), S_OK);
  IWuFileIOPropertyPage* page = nullptr;
  ASSERT_EQ(renderer_->GetPage(1, IID_IWuFileIOPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
  ASSERT_NE(page, nullptr);

  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  EXPECT_EQ(info.cb, sizeof(PROPPAGEINFO));
  EXPECT_EQ(std::u16string(info.pszTitle), u"Internal");
  EXPECT_GT(info.size.cx, info.size.cy);
  CoTaskMemFree(info.pszTitle);

  RECT rect{10, 10, 410, 310};
  parent_ = CreateWindowExW(WS_EX_CONTROLPARENT, WC_DIALOG, u"Editor", WS_POPUP | WS_VISIBLE, 0, 0,
                            600, 400, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(page->Activate(parent_, &rect, TRUE), E_UNEXPECTED);  // no holder yet
  EXPECT_EQ(page->Apply(), E_UNEXPECTED);
  IUnknown* objects[1] = {&holder};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  EXPECT_EQ(page->Apply(), E_UNEXPECTED);  // no site yet
  ASSERT_EQ(page->SetPageSite(&site), S_OK);
  EXPECT_EQ(page->SetPageSite(&site), E_UNEXPECTED);
  EXPECT_EQ(page->Apply(), S_OK);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE);
  EXPECT_EQ(page->Help(nullptr), E_NOTIMPL);
  EXPECT_EQ(page->SetTemplate(holder.view.current), S_OK);

  ASSERT_EQ(page->Activate(parent_, &rect, TRUE), S_OK);
  EXPECT_EQ(page->Activate(parent_, &rect, TRUE), E_UNEXPECTED);
  HWND pageWindow = FindWindowExW(parent_, nullptr, nullptr, nullptr);
  ASSERT_NE(pageWindow, nullptr);
  EXPECT_TRUE(IsWindowVisible(pageWindow));
  HWND text = GetDlgItem(pageWindow, WUFIO_INFOPAGE_TEXT_ID);
  ASSERT_NE(text, nullptr);
  WCHAR shown[4096] = {};
  GetWindowTextW(text, shown, 4096);
  EXPECT_EQ(Lines(shown).back(), u"Is Preset 1");

  // The editor changed its template: a refresh shows it.
  tagWUTEMPLATExV2* changed = WuFio_DuplicateTemplate(holder.view.current);
  changed->PrivateData()[kRendererSettingsByte] ^= 1;
  holder.view.current = changed;
  holder.view.state = WUTEMPEDIT_STATE_MODIFIED;
  ASSERT_EQ(page->Refresh(), S_OK);
  GetWindowTextW(text, shown, 4096);
  EXPECT_EQ(Lines(shown).front(), u"<Modified>");
  EXPECT_EQ(Lines(shown).back(), u"Modified Copy of Preset 1");

  // The text follows the page's size.
  RECT before{}, after{};
  GetWindowRect(text, &before);
  RECT bigger{0, 0, 500, 380};
  ASSERT_EQ(page->Move(&bigger), S_OK);
  GetWindowRect(text, &after);
  EXPECT_EQ(after.right - after.left - (before.right - before.left), 100);
  EXPECT_EQ(after.bottom - after.top - (before.bottom - before.top), 80);
  EXPECT_EQ(page->Show(SW_HIDE), S_OK);
  EXPECT_FALSE(IsWindowVisible(pageWindow));
  EXPECT_EQ(page->Show(SW_MINIMIZE), E_INVALIDARG);

  EXPECT_EQ(page->Deactivate(), S_OK);
  EXPECT_FALSE(IsWindow(pageWindow));
  page->SetObjects(0, nullptr);
  page->SetPageSite(nullptr);
  EXPECT_EQ(page->Release(), 0u);
  EXPECT_EQ(holder.references, 1u);
  EXPECT_EQ(site.references, 1u);
  std::free(changed);
}

TEST_F(TemplateInfoPageTest, BadTemplatesAndArgumentsAreRefused) {
  WCHAR out[64] = u"x";
  tagWUTEMPLATExV2* bad = WuFio_NewTemplate(u"Bad", u"", 0);
  bad->textLength = 4000;  // beyond the record
  WUTEMPEDIT_VIEW empty{sizeof(WUTEMPEDIT_VIEW), renderer_, cache_, nullptr, 0};
  EXPECT_EQ(WuFio_MakeTemplateInfoText(nullptr, bad, out, 64), E_INVALIDARG);
  EXPECT_EQ(WuFio_MakeTemplateInfoText(&empty, bad, out, 64), E_INVALIDARG);  // the view's template counts
  EXPECT_EQ(WuFio_MakeTemplateInfoText(nullptr, nullptr, out, 64), E_INVALIDARG);
  EXPECT_EQ(WuFio_MakeTemplateInfoText(nullptr, Record(u"My File", WUTPL_KIND_CURRENT), out, 0),
            E_INVALIDARG);
  // A short room: cut and terminated.
  EXPECT_EQ(WuFio_MakeTemplateInfoText(nullptr, Record(u"My File", WUTPL_KIND_CURRENT), out, 8), S_OK);
  EXPECT_EQ(std::u16string(out), u"Size = ");
  EXPECT_EQ(WuFio_CreateTemplateInfoPropPage(nullptr), E_POINTER);
  std::free(bad);
}

}  // namespace
}  // namespace fio_test
