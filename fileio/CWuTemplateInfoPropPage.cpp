#include "fileio/CWuTemplateInfoPropPage.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>

#include "fileio/CWuTemplateCache.h"
#include "fileio/WuFioPageInfo.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateDescription.h"
#include "fileio/WuFioTemplateLayout.h"
#include "foundation/WuDlgTemplate.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuList.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/com/oleauto.h"
#include "platform/com/propertypagesite.h"
#include "platform/user/windows.h"

namespace {

// The page's dialog "Internal": a label and the read-only text.
const _wudlghdrcreate kDialog = {
    WS_CHILD | DS_CONTROL | DS_SETFONT, WS_EX_CONTROLPARENT, 2, 0, 0, 190, 76, 0, 0,
    WuLangRowRef(WuLangRow_FioInfoPageTitle), 8, nullptr};
const _wudlgctrlcreate kControls[2] = {
    {MAKEINTATOM(0x82), WuLangRowRef(WuLangRow_FioInfoPageLabel), 0xFFFF, 5, 7, 80, 8, 0,
     WS_CHILD | WS_VISIBLE | SS_LEFT},
    {MAKEINTATOM(0x81), nullptr, WUFIO_INFOPAGE_TEXT_ID, 5, 18, 180, 60, 0,
     WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | ES_MULTILINE |
         ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL},
};

// The text being built, within the caller's room.
struct Text {
  LPWSTR out;
  int size;
  void Add(LPCWSTR part) { WuStrCatN(out, part, size); }
  void Line(LPCWSTR part) {
    Add(part);
    Add(u"\r\n");
  }
  // A line formatted from a row.
  template <class... Args>
  void Format(const WuLangStringRow& row, Args... args) {
    WCHAR line[WUPRINTF_MAX];
    WuPrintFN(line, WUPRINTF_MAX, WuLangText(row), args...);
    Line(line);
  }
};

// The GUID's text without braces.
std::u16string GuidText(const GUID& guid) {
  WCHAR text[40] = {};
  int n = StringFromGUID2(guid, text, 40);
  if (n < 3) return u"";
  return std::u16string(text + 1, static_cast<size_t>(n - 3));
}

// The renderer class's name (text 2), empty when it has none.
std::u16string RendererName(IWuRenderFileClass* cls) {
  const DWORD kind = 2;
  BSTR text = nullptr;
  std::u16string name;
  if (SUCCEEDED(cls->GetStrings(&kind, 1, &text)) && text) name = text;
  SysFreeString(text);
  return name;
}

bool SameBytes(const tagWUTEMPLATExV2* a, const tagWUTEMPLATExV2* b) {
  return a->totalSize == b->totalSize && std::memcmp(a, b, a->totalSize) == 0;
}

// The place in the private group of a record the merged list shows: the
// private records shown before it.
LONG PrivateIndex(const CWuPrivateTemplateCache* cache, const tagWUTEMPLATExV2* record) {
  tWULIST* merged = cache->GetTemplateList();
  LONG index = 0;
  for (LONG i = 0; merged && i < merged->count; ++i) {
    auto* entry = static_cast<const tagWUTEMPLATExV2*>(WuList_PointerAt(merged, i));
    if (entry == record) return index;
    if (cache->FindTemplateByName(WuTpl_Name(entry), true, WUTPL_KIND_PRIVATE, WUTPL_KIND_PRIVATE,
                                  nullptr, nullptr, nullptr, 0) == entry)
      ++index;
  }
  return -1;
}

// Where the template lives, as lines.
void AddPlace(Text& text, const CWuPrivateTemplateCache* cache, const tagWUTEMPLATExV2* record) {
  if (cache->CurrentTemplate() == record) {
    text.Line(WuLangText(WuLangRow_FioInfoUntitledPreset));
    return;
  }
  LPCWSTR name = WuTpl_Name(record);
  if (cache->FindTemplateByName(name, true, WUTPL_KIND_PRIVATE, WUTPL_KIND_PRIVATE, nullptr,
                                nullptr, nullptr, 0) == record) {
    text.Format(WuLangRow_FioInfoAppPreset, static_cast<int>(PrivateIndex(cache, record)));
    return;
  }
  const CWuGlobalTemplateCache* global = cache->Global();
  LONG g = 0, i = 0;
  if (global && global->FindRecord(record, &g, &i)) {
    const WuTemplateGroup* group = global->Group(g);
    if (group->kind < WUTPL_KIND_FOLDER) {
      text.Format(WuLangRow_FioInfoPreset, static_cast<int>(i));
    } else {
      text.Format(WuLangRow_FioInfoPath, group->folder);
      text.Format(WuLangRow_FioInfoFilename,
                  static_cast<LPCWSTR>(WuList_ItemAt(group->fileNames, i)));
    }
    return;
  }
  // No record of the cache: a copy of a preset of its name, or a name
  // that a file holds.
  const tagWUTEMPLATExV2* preset =
      global ? global->FindByName(name, false, WUTPL_KIND_PRESETS, WUTPL_KIND_PRESETS, &g, &i)
             : nullptr;
  if (preset) {
    text.Format(SameBytes(preset, record) ? WuLangRow_FioInfoCopyOfPreset
                                          : WuLangRow_FioInfoModifiedCopyOfPreset,
                static_cast<int>(preset->id));
    return;
  }
  if (global && global->FindByName(name, false, WUTPL_KIND_LEGACY, WUTPL_KIND_BOTH, &g, &i)) {
    const WuTemplateGroup* group = global->Group(g);
    text.Format(WuLangRow_FioInfoNamedFile, static_cast<int>(group->kind - WUTPL_KIND_LEGACY + 1));
    text.Format(WuLangRow_FioInfoNamedPath, group->folder);
    text.Format(WuLangRow_FioInfoNamedFilename,
                static_cast<LPCWSTR>(WuList_ItemAt(group->fileNames, i)));
    return;
  }
  text.Line(WuLangText(WuLangRow_FioInfoPresetNotFound));
}

}  // namespace

HRESULT WuFio_MakeTemplateInfoText(const WUTEMPEDIT_VIEW* view, const tagWUTEMPLATExV2* record,
                                   LPWSTR out, int size) {
  if (view) record = view->current;
  if (!record || !out || size < 1 || !record->HasValidLayout()) return E_INVALIDARG;
  out[0] = 0;
  Text text{out, size};
  if (view && (view->state & WUTEMPEDIT_STATE_MODIFIED)) text.Line(WuLangText(WuLangRow_FioInfoModified));
  text.Format(WuLangRow_FioInfoSizes, static_cast<int>(record->totalSize), record->totalSize,
              record->version, static_cast<int>(record->id), static_cast<int>(record->privateSize),
              static_cast<DWORD>(record->privateSize));
  std::u16string owner = GuidText(record->classId), ownerName, guid = GuidText(record->guid);
  if (view && view->renderer) {
    GUID id{};
    if (SUCCEEDED(view->renderer->GetClassId(&id)) && IsEqualGUID(id, record->classId))
      ownerName = RendererName(view->renderer);
  }
  LPCWSTR kind = u"";
  if (WuFio_IsUpliftedV1Template(record))
    kind = WuLangText(WuLangRow_FioInfoV1Uplift);
  else if ((record->guid.Data3 >> 12) == 3)
    kind = WuLangText(WuLangRow_FioInfoMd5);
  text.Format(WuLangRow_FioInfoOwner, owner.c_str(), ownerName.c_str(), guid.c_str(), kind);
  text.Line(WuLangText(WuLangRow_FioInfoDescription));
  WCHAR description[WUFIO_INFOPAGE_DESCRIPTION_MAX + 1] = {};
  if (SUCCEEDED(WuFio_MakeTemplateDescription(record, 0, description,
                                              WUFIO_INFOPAGE_DESCRIPTION_MAX + 1)) &&
      description[0]) {
    text.Add(description);
    int n = WuStrLenSafe(description);
    if (n < 2 || description[n - 2] != u'\r' || description[n - 1] != u'\n') text.Add(u"\r\n");
  }
  if (view && view->cache) AddPlace(text, view->cache, record);
  return S_OK;
}

namespace {

class CWuTemplateInfoPropPage final : public IWuFileIOPropertyPage {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuFileIOPropertyPage)) {
      *object = static_cast<IWuFileIOPropertyPage*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG Release() override {
    LONG left = --references_;
    if (left == 0) delete this;
    return static_cast<ULONG>(left < 0 ? 0 : left);
  }
  HRESULT SetPageSite(IPropertyPageSite* site) override {
    if (!site) {
      if (site_) site_->Release();
      site_ = nullptr;
      return S_OK;
    }
    if (site_) return E_UNEXPECTED;
    site_ = site;
    site_->AddRef();
    return S_OK;
  }
  HRESULT Activate(HWND parent, const RECT* rect, BOOL) override {
    if (!holder_ || window_) return E_UNEXPECTED;
    HWULANG lang = WuKernel_GetLangHandle();
    const DLGTEMPLATE* description = WuCreateDialogTemplate(lang, &kDialog, kControls);
    if (!description) return E_OUTOFMEMORY;
    // Before the kernel has a language handle the dialog runs in this
    // module, as it does when the handle has no language module.
    window_ = lang ? WuCreateDialogIndirectParam(lang, description, parent, &PageProc,
                                                 reinterpret_cast<LPARAM>(this))
                   : CreateDialogIndirectParamW(nullptr, description, parent, &PageProc,
                                                reinterpret_cast<LPARAM>(this));
    WuFreeDialogTemplate(description);
    if (!window_) return E_FAIL;
    Refresh();
    if (rect) Move(rect);
    ShowWindow(window_, SW_SHOW);
    return S_OK;
  }
  HRESULT Deactivate() override {
    if (window_) DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }
  HRESULT GetPageInfo(PROPPAGEINFO* info) override {
    if (!info) return E_POINTER;
    std::memset(info, 0, sizeof(*info));
    info->cb = sizeof(*info);
    info->size = SIZE{300, 150};
    SIZE size{};
    if (WuGetDialogSize(WuKernel_GetLangHandle(), &kDialog, &size)) info->size = size;
    LPCWSTR title = WuLangText(WuLangRow_FioInfoPageTitle);
    const size_t bytes = 2 * (static_cast<size_t>(WuStrLenSafe(title)) + 1);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!info->pszTitle) return E_OUTOFMEMORY;
    std::memcpy(info->pszTitle, title, bytes);
    return S_OK;
  }
  HRESULT SetObjects(ULONG count, IUnknown** objects) override {
    if (count > 1) return E_UNEXPECTED;
    if (count == 1 && (!objects || !objects[0])) return E_POINTER;
    if (holder_) holder_->Release();
    holder_ = nullptr;
    if (count == 0) return S_OK;
    return objects[0]->QueryInterface(IID_IWuFileIOTemplateEditHolder,
                                      reinterpret_cast<void**>(&holder_));
  }
  HRESULT Show(UINT command) override {
    if (command != SW_HIDE && command != SW_SHOWNORMAL && command != SW_SHOW) return E_INVALIDARG;
    if (!window_) return E_UNEXPECTED;
    ShowWindow(window_, static_cast<int>(command));
    return S_OK;
  }
  HRESULT Move(const RECT* rect) override {
    if (!rect) return E_POINTER;
    if (!window_) return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
  }
  // Nothing to apply: never dirty.
  HRESULT IsPageDirty() override { return S_FALSE; }
  HRESULT Apply() override { return holder_ && site_ ? S_OK : E_UNEXPECTED; }
  HRESULT Help(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT TranslateAccelerator(MSG*) override { return E_NOTIMPL; }
  // The page shows the editor's template, not the one handed to it; it
  // keeps the pointer only.
  HRESULT SetTemplate(const tagWUTEMPLATExV2* record) override {
    given_ = record;
    return S_OK;
  }
  HRESULT Refresh() override {
    if (!holder_) return E_UNEXPECTED;
    std::u16string text(kTextMax, u'\0');
    HRESULT hr = MakeText(text.data(), kTextMax);
    if (window_)
      SetDlgItemTextW(window_, WUFIO_INFOPAGE_TEXT_ID, SUCCEEDED(hr) ? text.c_str() : u"");
    return hr;
  }

 private:
  static constexpr int kTextMax = 4096;

  ~CWuTemplateInfoPropPage() {
    if (window_) DestroyWindow(window_);
    if (holder_) holder_->Release();
    if (site_) site_->Release();
  }

  // The text for the editor behind the holder, or for the holder's template.
  HRESULT MakeText(LPWSTR out, int size) {
    IWuTempEditView* source = nullptr;
    if (SUCCEEDED(
            holder_->QueryInterface(IID_IWuTempEditView, reinterpret_cast<void**>(&source))) &&
        source) {
      WUTEMPEDIT_VIEW view{};
      view.size = sizeof(view);
      HRESULT hr = source->GetView(&view);
      source->Release();
      if (FAILED(hr)) return hr;
      return WuFio_MakeTemplateInfoText(&view, nullptr, out, size);
    }
    tagWUTEMPLATExV2* record = nullptr;
    HRESULT hr = holder_->GetTemplate(&record);
    if (SUCCEEDED(hr)) hr = WuFio_MakeTemplateInfoText(nullptr, record, out, size);
    WuFio_ReleaseTemplate(record);
    return hr;
  }

  // Keeps the text filling the page below its label.
  static INT_PTR PageProc(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_SIZE) {
      HWND text = GetDlgItem(dialog, WUFIO_INFOPAGE_TEXT_ID);
      RECT r{};
      if (!text || !GetWindowRect(text, &r)) return FALSE;
      MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
      const int width = LOWORD(static_cast<DWORD_PTR>(lparam)) - 2 * r.left;
      const int height = HIWORD(static_cast<DWORD_PTR>(lparam)) - r.top - r.left;
      MoveWindow(text, r.left, r.top, width > 0 ? width : 0, height > 0 ? height : 0, TRUE);
      return TRUE;
    }
    return FALSE;
  }

  std::atomic<LONG> references_{1};                // born with the caller's reference
  IPropertyPageSite* site_ = nullptr;              // a reference, or NULL
  IWuFileIOTemplateEditHolder* holder_ = nullptr;  // a reference, or NULL
  HWND window_ = nullptr;                          // the dialog while active
  const tagWUTEMPLATExV2* given_ = nullptr;        // the last SetTemplate word, not read
};

}  // namespace

HRESULT WuFio_CreateTemplateInfoPropPage(IWuFileIOPropertyPage** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) CWuTemplateInfoPropPage();
  return *out ? S_OK : E_OUTOFMEMORY;
}
