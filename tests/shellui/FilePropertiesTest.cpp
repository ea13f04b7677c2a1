// The file-properties sheet and its General page, under the scripted front
// end: which requests show a sheet, what the page is given to list, the
// sheet's buttons, the page in a host's sheet, and the page template in the
// pool's languages.
#include "shellui/WuFileProperties.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuResPool.h"
#include "platform/comctl/commctrl.h"
#include "platform/user/controls.h"
#include "platform/user/dialogs.h"
#include "platform/user/frontend.h"
#include "shellui/WuFilePropText.h"
#include "shellui/WuShellUIPool.h"
#include "tests/common/TestUtil.h"

namespace {

// An open reader of one file that names the file and its type and counts
// its references and calls; everything else is not implemented.
class FakeReadFile final : public IWuReadFile {
 public:
  explicit FakeReadFile(std::u16string path) : path_(std::move(path)) {}
  LONG refs = 1;
  int calls = 0;  // calls besides IUnknown's

  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
  HRESULT GetClass(IWuReadFileClass** out) override { return Nothing(out); }
  HRESULT GetFileText(LPWSTR buffer, LONG size, LONG kind) override {
    ++calls;
    if (kind != 1 || size < 32) return E_NOTIMPL;
    std::u16string text = u"Fake clip type";
    text.copy(buffer, text.size());
    buffer[text.size()] = 0;
    return S_OK;
  }
  HRESULT GetStreamText(LPWSTR, LONG, LONG, LONG) override { return Fail(); }
  HRESULT GetFileValue(void*, DWORD, LONG) override { return Fail(); }
  HRESULT GetStreamValue(void*, DWORD, LONG, LONG) override { return Fail(); }
  HRESULT Clone(IWuReadFile** out) override { return Nothing(out); }
  HRESULT GetFileSize(LONGLONG*) override { return Fail(); }
  HRESULT GetFlags(DWORD*) override { return Fail(); }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return Fail(); }
  HRESULT SetProperty(DWORD, LONGLONG) override { return Fail(); }
  HRESULT GetFileName(LPWSTR buffer) override {
    ++calls;
    size_t n = path_.copy(buffer, 259);
    buffer[n] = 0;
    return S_OK;
  }
  HRESULT GetDuration(LONGLONG*) override { return Fail(); }
  HRESULT GetStreamCount(LONG* count) override {
    ++calls;
    *count = 0;
    return S_OK;
  }
  HRESULT FindStream(DWORD, LONG, LONG*) override { return Fail(); }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2*, LONG, LONG) override { return Fail(); }
  HRESULT GetStreamIdentity(LONG, DWORD*, LONG*) override { return Fail(); }
  HRESULT GetDefaultStream(DWORD, LONG*) override { return Fail(); }
  HRESULT OpenStream(IWuReadStream** out, LONG, DWORD, DWORD, void*) override { return Nothing(out); }
  HRESULT GetMetadataTypes(DWORD*) override { return Fail(); }
  HRESULT GetMetaReader(IWuReadMeta** out) override { return Nothing(out); }
  HRESULT Close() override { return Fail(); }

 private:
  HRESULT Fail() {
    ++calls;
    return E_NOTIMPL;
  }
  template <class T>
  HRESULT Nothing(T** out) {
    if (out) *out = nullptr;
    return Fail();
  }
  std::u16string path_;
};

// The text FillFilePropertiesText writes for these inputs, in an edit
// control of its own.
std::u16string ExpectedText(LPCWSTR path, IWuReadFile* reader, DWORD flags, BOOL diagnostic) {
  HWND edit = CreateWindowExW(0, WC_EDITW, u"", WS_POPUP | ES_MULTILINE | ES_READONLY, 0, 0, 400, 300, nullptr,
                              nullptr, nullptr, nullptr);
  FillFilePropertiesText(edit, path, reader, nullptr, flags, diagnostic);
  std::u16string text = platform::WindowText(edit);
  DestroyWindow(edit);
  return text;
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// What a running sheet showed.
struct SheetView {
  std::u16string text;            // the page's text control
  std::vector<std::u16string> tabs, labels;
  bool cancelVisible = false;     // Cancel
  RECT ok{}, cancel{};            // the buttons, on the screen
  DWORD exStyle = 0;              // the sheet's extended style
  bool applyEnabled = false;      // Apply (host sheets only)
};

SheetView LookAt(HWND sheet) {
  SheetView v;
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  v.text = platform::WindowText(GetDlgItem(page, WUSHELLUI_FILEPROPS_TEXT));
  for (const platform::ControlInfo& c : platform::DescribeDialog(sheet)) {
    if (c.kind == platform::ControlKind::kTabs) v.tabs = c.items;
    if (c.kind == platform::ControlKind::kText) v.labels.push_back(c.text);
  }
  HWND cancel = GetDlgItem(sheet, IDCANCEL);
  v.cancelVisible = IsWindowVisible(cancel) != FALSE;
  v.ok = WindowRect(GetDlgItem(sheet, IDOK));
  v.cancel = WindowRect(cancel);
  v.exStyle = static_cast<DWORD>(GetWindowLongW(sheet, GWL_EXSTYLE));
  v.applyEnabled = IsWindowEnabled(GetDlgItem(sheet, IDC_SHEET_APPLY)) != FALSE;
  return v;
}

class FilePropertiesSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    OpenLanguage(0x409);
    std::string folder = wutest::MakeTempDir("fprop");
    wutest::WriteBytes(folder + "/take.xyz", std::string(3000, 'x'));
    path_ = wutest::U16(folder + "/take.xyz");
  }
  void OpenLanguage(LCID lcid) {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    platform::SetFrontEnd(&script_);
  }
  void TearDown() override {
    platform::SetKeyDown(VK_SHIFT, false);
    platform::SetFrontEnd(nullptr);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    EXPECT_TRUE(script_.Done());
    for (const std::string& e : script_.errors()) ADD_FAILURE() << e;
  }

  tPWUFILEPROPINFO Request() {
    tPWUFILEPROPINFO r{};
    r.mode = WUFILEPROP_MODE_GENERAL;
    r.pages = WUFILEPROP_PAGE_GENERAL;
    r.path = path_.c_str();
    r.caption = u"Clip properties";
    r.reader = &reader_;
    r.pageKey = 100;
    return r;
  }

  // Shows the sheet for `size` bytes of `request`, looks at it and presses
  // OK; returns what WuFileProperties returned.
  int ShowAndLook(const tPWUFILEPROPINFO& request, DWORD size, SheetView* view) {
    script_.Run([view](HWND sheet) { *view = LookAt(sheet); }).Press(IDOK);
    return WuFileProperties(nullptr, &request, size);
  }

  platform::ScriptedFrontEnd script_;
  HWULANG lang_ = nullptr;
  std::u16string path_;
  FakeReadFile reader_{u""};
};

TEST_F(FilePropertiesSheet, ModeAndPageMaskDecideWhetherTheSheetShows) {
  const struct {
    DWORD mode, pages;
    bool shows;
  } cases[] = {
      {1, 1, true}, {1, 0, true},  // 0 lists General
      {0, 0, true}, {2, 3, true},
      {1, 2, false},  // mode 1 insists on General
      {0, 2, false},  // no bit names a page
  };
  for (const auto& c : cases) {
    tPWUFILEPROPINFO r = Request();
    r.mode = c.mode;
    r.pages = c.pages;
    SheetView view;
    size_t before = script_.shown().size();
    if (c.shows) {
      EXPECT_EQ(ShowAndLook(r, sizeof r, &view), 0);
      EXPECT_EQ(view.tabs, std::vector<std::u16string>{u"General"}) << c.mode << " " << c.pages;
    } else {
      EXPECT_EQ(WuFileProperties(nullptr, &r, sizeof r), 0);
    }
    EXPECT_EQ(script_.shown().size(), before + (c.shows ? 1 : 0)) << c.mode << " " << c.pages;
  }
}

TEST_F(FilePropertiesSheet, MissingRequestOrCaptionShowsNothing) {
  tPWUFILEPROPINFO noCaption = Request();
  noCaption.caption = nullptr;
  tPWUFILEPROPINFO r = Request();
  EXPECT_EQ(WuFileProperties(nullptr, nullptr, sizeof r), E_INVALIDARG);
  EXPECT_EQ(WuFileProperties(nullptr, &noCaption, sizeof r), E_INVALIDARG);
  // A size that stops inside the caption pointer leaves it out whole.
  EXPECT_EQ(WuFileProperties(nullptr, &r, offsetof(tPWUFILEPROPINFO, caption) + 4), E_INVALIDARG);
  EXPECT_EQ(WuFileProperties(nullptr, &r, 0), E_INVALIDARG);
  EXPECT_TRUE(script_.shown().empty());
  EXPECT_EQ(reader_.refs, 1);
}

TEST_F(FilePropertiesSheet, PageListsWhatTheTextWritesForTheRequestsFields) {
  const DWORD full = sizeof(tPWUFILEPROPINFO);
  const DWORD beforeReader = offsetof(tPWUFILEPROPINFO, reader);
  const struct {
    DWORD size;
    bool shift;
    bool readerGiven;  // the page gets the reader
  } cases[] = {
      {full, false, true},
      {beforeReader, false, false},      // file-system lines only
      {beforeReader + 4, false, false},  // half a pointer is no pointer
      {full, true, true},                // Shift held: the diagnostic listing
  };
  for (const auto& c : cases) {
    platform::SetKeyDown(VK_SHIFT, c.shift);
    tPWUFILEPROPINFO r = Request();
    r.flags = 1;
    reader_.calls = 0;
    SheetView view;
    EXPECT_EQ(ShowAndLook(r, c.size, &view), 0);
    const std::u16string expected = ExpectedText(path_.c_str(), c.readerGiven ? &reader_ : nullptr, 1, c.shift);
    EXPECT_EQ(view.text, expected) << c.size << " shift " << c.shift;
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(reader_.calls > 0, c.readerGiven) << c.size;
    EXPECT_EQ(reader_.refs, 1);
  }
  // The three listings differ, so each row above tells them apart.
  EXPECT_NE(ExpectedText(path_.c_str(), &reader_, 1, FALSE), ExpectedText(path_.c_str(), nullptr, 1, FALSE));
  EXPECT_NE(ExpectedText(path_.c_str(), &reader_, 1, TRUE), ExpectedText(path_.c_str(), &reader_, 1, FALSE));
}

TEST_F(FilePropertiesSheet, OwnSheetShowsOneOkInCancelsPlaceWithoutContextHelp) {
  SheetView view;
  tPWUFILEPROPINFO r = Request();
  r.caption = u"A caption far longer than the sheet keeps: "
              u"0123456789012345678901234567890123456789012345678901234567890123456789012345678901234567890123456789";
  EXPECT_EQ(ShowAndLook(r, sizeof r, &view), 0);
  EXPECT_FALSE(view.cancelVisible);
  EXPECT_TRUE(SameRect(view.ok, view.cancel));
  EXPECT_EQ(view.exStyle & WS_EX_CONTEXTHELP, 0u);
  ASSERT_EQ(script_.shown().size(), 1u);
  EXPECT_EQ(script_.shown()[0].title, std::u16string(r.caption).substr(0, 127));
  EXPECT_EQ(script_.shown()[0].result, 1);  // closed by OK
}

TEST_F(FilePropertiesSheet, CentresOnItsParentAThirdOfTheWayDown) {
  HWND parent = CreateWindowExW(0, u"STATIC", u"host", WS_POPUP | WS_VISIBLE, 40, 30, 1200, 900, nullptr,
                                nullptr, nullptr, nullptr);
  RECT sheet{};
  script_.Run([&](HWND s) { sheet = WindowRect(s); }).Press(IDOK);
  tPWUFILEPROPINFO r = Request();
  EXPECT_EQ(WuFileProperties(parent, &r, sizeof r), 0);
  const int w = sheet.right - sheet.left, h = sheet.bottom - sheet.top;
  EXPECT_NEAR(sheet.left, 40 + (1200 - w) / 2, 1);
  EXPECT_NEAR(sheet.top, 30 + (900 - h) / 3, 1);
  DestroyWindow(parent);
}

TEST_F(FilePropertiesSheet, ActivePagesKeyIsKeptForTheProcess) {
  for (DWORD key : {DWORD{100}, DWORD{7}}) {
    tPWUFILEPROPINFO r = Request();
    r.pageKey = key;
    SheetView view;
    ShowAndLook(r, sizeof r, &view);
    EXPECT_EQ(WuFileProperties_LastPage(), key);
  }
}

TEST_F(FilePropertiesSheet, GermanUserInterfaceOpensTheGermanPage) {
  WuKernel_SetLangHandle(nullptr);
  WuLang_Close(lang_);
  OpenLanguage(0x407);
  SheetView view;
  tPWUFILEPROPINFO r = Request();
  ShowAndLook(r, sizeof r, &view);
  EXPECT_EQ(view.tabs, std::vector<std::u16string>{u"Allgemein"});
  bool label = false;
  for (const std::u16string& t : view.labels) label = label || t.find(u"Dateieigenschaften:") != std::u16string::npos;
  EXPECT_TRUE(label);
}

// ---- The page in a host's sheet -------------------------------------------------------------

int g_changesWhileInitialising = 0;  // EN_CHANGE heard before WM_INITDIALOG returned
bool g_initialising = false;
std::vector<WPARAM> g_changedPages;  // PSM_CHANGED the sheet heard, by page
WNDPROC g_sheetProc = nullptr;       // the sheet's own procedure

LRESULT CountingSheetProc(HWND sheet, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PSM_CHANGED) g_changedPages.push_back(wParam);
  return CallWindowProcW(g_sheetProc, sheet, message, wParam, lParam);
}

// Listens to the host's sheet before its first page is made.
int HostSheetCallback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED)
    g_sheetProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingSheetProc)));
  return 0;
}

// The host's page procedure: counts the text's changes during
// initialisation, then hands everything to the embeddable procedure.
INT_PTR HostPageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE && g_initialising) ++g_changesWhileInitialising;
  if (message != WM_INITDIALOG) return WuCallFilePropGeneral_DlgProc(window, message, wParam, lParam);
  g_initialising = true;
  INT_PTR result = WuCallFilePropGeneral_DlgProc(window, message, wParam, lParam);
  g_initialising = false;
  return result;
}

TEST_F(FilePropertiesSheet, EmbeddedPageKeepsTheHostsButtonsAndReportsChangesAfterInitialising) {
  ASSERT_TRUE(WuShellUI_InstallResPool());
  WUFILEPROPPAGE record{};
  record.textId = WUSHELLUI_FILEPROPS_TEXT;
  record.request.path = path_.c_str();
  record.request.pageKey = 55;
  PROPSHEETPAGEW psp{};
  psp.dwSize = PROPSHEETPAGEW_V1_SIZE;
  psp.dwFlags = PSP_DLGINDIRECT;
  psp.pResource = WuFindDialogTemplateInResPool(&WuShellUIResPool, nullptr, MAKEINTRESOURCEW(100), 0);
  ASSERT_NE(psp.pResource, nullptr);
  psp.pfnDlgProc = HostPageProc;
  psp.lParam = reinterpret_cast<LPARAM>(&record);
  HPROPSHEETPAGE page = CreatePropertySheetPageW(&psp);
  PROPSHEETHEADERW header{};
  header.dwSize = PROPSHEETHEADERW_V1_SIZE;
  header.dwFlags = PSH_USECALLBACK;
  header.pfnCallback = HostSheetCallback;
  header.pszCaption = u"Host";
  header.nPages = 1;
  header.phpage = &page;

  g_changesWhileInitialising = 0;
  g_changedPages.clear();
  SheetView before, after;
  HWND pageWindow = nullptr;
  std::vector<WPARAM> changedBeforeEdit;
  DWORD changedAfterEdit = 0;
  INT_PTR applyAnswer = 0;
  LONG_PTR applyResult = -1;
  script_
      .Run([&](HWND sheet) {
        before = LookAt(sheet);
        HWND p = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        pageWindow = p;
        changedBeforeEdit = g_changedPages;
        HWND edit = GetDlgItem(p, WUSHELLUI_FILEPROPS_TEXT);
        SendMessageW(p, WM_COMMAND, MAKEWPARAM(WUSHELLUI_FILEPROPS_TEXT, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
        after = LookAt(sheet);
        changedAfterEdit = record.changed;
        // Apply is accepted: the answer replaces whatever result was left.
        SetWindowLongPtrW(p, DWLP_MSGRESULT, PSNRET_INVALID);
        PSHNOTIFY apply{{sheet, 0, PSN_APPLY}, FALSE};
        applyAnswer = FilePropPageProc(p, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&apply));
        applyResult = GetWindowLongPtrW(p, DWLP_MSGRESULT);
      })
      .Escape();  // Cancel, also when a fault hid its button
  EXPECT_EQ(PropertySheetW(&header), 0);

  EXPECT_EQ(record.embedded, 1u);
  EXPECT_TRUE(before.cancelVisible);
  EXPECT_FALSE(SameRect(before.ok, before.cancel));
  EXPECT_NE(before.exStyle & WS_EX_CONTEXTHELP, 0u);
  EXPECT_EQ(before.text, ExpectedText(path_.c_str(), nullptr, 0, FALSE));
  // Filling the text changed it, but only a later change marks the sheet.
  EXPECT_GT(g_changesWhileInitialising, 0);
  EXPECT_TRUE(changedBeforeEdit.empty());
  EXPECT_EQ(g_changedPages, std::vector<WPARAM>{reinterpret_cast<WPARAM>(pageWindow)});
  EXPECT_TRUE(after.applyEnabled);
  EXPECT_EQ(changedAfterEdit, 1u);
  EXPECT_EQ(applyAnswer, TRUE);
  EXPECT_EQ(applyResult, PSNRET_NOERROR);
  EXPECT_EQ(record.changed, 0u);  // Cancel resets the sheet
  EXPECT_EQ(record.lastPage, 55u);
  EXPECT_EQ(record.initialising, 0u);
}

// ---- The page template -----------------------------------------------------------------------

TEST(ShellUIPool, FilePropertiesPageInEachOfTheFiveLanguages) {
  ASSERT_TRUE(WuShellUI_InstallResPool());
  const struct {
    LCID language;
    const char16_t *caption, *label;
  } cases[] = {{0x409, u"General", u"&File properties:"},
               {0x407, u"Allgemein", u"&Dateieigenschaften:"},
               {0x0A, u"General", u"Propiedades del &archivo:"},
               {0x40C, u"G\u00E9n\u00E9ral", u"Propri\u00E9t\u00E9s du &fichier :"},
               {0x411, u"\u5168\u822C", u"\u30D5\u30A1\u30A4\u30EB\u306E\u30D7\u30ED\u30D1\u30C6\u30A3(&F):"}};
  for (const auto& c : cases) {
    LCID found = 0;
    DWORD size = 0;
    const void* t = WuFindResourceInResPool(&WuShellUIResPool, &size, MAKEINTRESOURCEW(WUSHELLUI_DLG_FILEPROPS),
                                            RT_DIALOG, c.language, &found);
    ASSERT_NE(t, nullptr) << c.language;
    EXPECT_EQ(found, c.language);
    platform::DialogTemplateHeader head;
    ASSERT_TRUE(platform::ReadDialogTemplateHeader(t, size, &head));
    EXPECT_EQ(head.title, c.caption);
    EXPECT_EQ(head.cx, 350);
    EXPECT_EQ(head.cy, 200);
    EXPECT_EQ(head.face, u"MS Shell Dlg");
    EXPECT_EQ(head.point_size, 8);
    EXPECT_NE(head.style & WS_CHILD, 0u);
    HWND host = CreateWindowExW(0, u"STATIC", u"", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    HWND page = platform::CreateChildDialog(nullptr, t, size, host, nullptr, 0);
    ASSERT_NE(page, nullptr);
    HWND edit = GetDlgItem(page, WUSHELLUI_FILEPROPS_TEXT);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(edit, GWL_STYLE));
    const DWORD wanted = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_VSCROLL | ES_MULTILINE | ES_READONLY |
                         ES_AUTOHSCROLL | ES_AUTOVSCROLL;
    EXPECT_EQ(style & wanted, wanted) << std::hex << style;
    bool label = false;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      label = label || platform::WindowText(child) == c.label;
    EXPECT_TRUE(label) << c.language;
    DestroyWindow(host);
  }
}

}  // namespace
