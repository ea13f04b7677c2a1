// The template editor's saving and deleting.
#include <cstdlib>
#include <cstring>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateFiles.h"
#include "fileio/WuFioTemplateLayout.h"
#include "fileio/WuTempEdit.h"
#include "fileio/WuTempEditState.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuList.h"
#include "foundation/WuMsgBox.h"
#include "foundation/WuString.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"

namespace {

constexpr int kName = 260;

// A refusal: a warning box, then "cancelled".
HRESULT Refuse(WuTempEditState* state, LPCWSTR format, LPCWSTR name) {
  WuMsgBox(state->dialog, MB_OK | MB_ICONWARNING, format, name);
  return WUTE_E_CANCELLED;
}

bool IsProjectDefault(LPCWSTR name) {
  return lstrcmpiW(name, WuLangText(WuLangRow_FioEditProjectDefault)) == 0;
}

// Whether a preset or one of the caller's private templates has the name.
bool IsBuiltIn(const WuTempEditState* state, LPCWSTR name) {
  LONG where = 0, index = -1;
  return state->cache->FindTemplateByName(name, false, WUTPL_KIND_PRIVATE, WUTPL_KIND_PRESETS,
                                          &where, &index, nullptr, 0) != nullptr;
}

// A copy of `source` (settings, private data and every other field) with
// a new name and notes.
tagWUTEMPLATExV2* CopyWithTexts(const tagWUTEMPLATExV2* source, LPCWSTR name, LPCWSTR notes) {
  tagWUTEMPLATExV2* made = WuFio_NewTemplate(name, notes, source->privateSize, source);
  if (!made) return nullptr;
  const DWORD textLength = made->textLength;
  const DWORD totalSize = made->totalSize;
  std::memcpy(reinterpret_cast<BYTE*>(made) + 4, reinterpret_cast<const BYTE*>(source) + 4,
              WUTPL_OFFSET_TEXTLEN - 4);
  made->totalSize = totalSize;
  made->textLength = textLength;
  std::memcpy(made->PrivateData(), source->PrivateData(), source->PaddedPrivateSize());
  return made;
}

// The template to save from: the current one, which the class may replace
// first when it is the editor's own. Must be a version-2 record.
HRESULT TakeSource(WuTempEditState* state, tagWUTEMPLATExV2** out) {
  *out = nullptr;
  if (!state->current) return E_UNEXPECTED;
  tagWUTEMPLATExV2* work = nullptr;
  HRESULT hr = WuFio_CopyTemplate(&work, state->current);
  if (FAILED(hr)) return hr;
  if (state->state & WUTE_OWNED) {
    tagWUTEMPLATExV2* before = work;
    // Its answer matters only through the record it leaves.
    const tagWUTEMPLATExV2* firstPrivate = state->cache->GetFirstPrivateTemplate();
    state->cls->TemplateOperation(&work, state->current, firstPrivate, 2);
    if (!work) return E_UNEXPECTED;
    if (work != before && !WuTpl_LayoutOk(work)) {
      // The class's answer is outside data: a record that fails its layout
      // check is refused (and freed: the class handed it over).
      WuFio_ReleaseTemplate(work);
      return WUTE_E_BAD_TEMPLATE;
    }
  }
  if ((work->version >> 24) != 2) {
    WuFio_ReleaseTemplate(work);
    return WUTE_E_BAD_TEMPLATE;
  }
  *out = work;
  return S_OK;
}

}  // namespace

void WuTempEdit_GetTypedName(WuTempEditState* state, LPWSTR name, int size) {
  WCHAR text[kName + 8] = {};
  GetWindowTextW(state->combo, text, kName + 8);
  LPCWSTR start = text;
  while (*start == u'\\') ++start;
  start = WuSkipWhiteSpace(start);
  WuStrCpyNLen2(name, start, size);
  int length = WuStrLenSafe(name);
  while (length > 0 && platform::IsWhiteSpace(name[length - 1])) name[--length] = 0;
  WuTempEdit_StripModifiedMark(name);
}

HRESULT WuTempEdit_Save(WuTempEditState* state, int mode) {
  const bool interactive = mode == WUTE_SAVE_INTERACTIVE;
  WCHAR name[kName];
  WuTempEdit_GetTypedName(state, name, kName);
  const bool project = IsProjectDefault(name);
  const bool untitled = WuFio_IsUntitledTemplateName(name);
  const bool empty = name[0] == 0;
  const bool builtIn = !project && !untitled && !empty && IsBuiltIn(state, name);

  // 1: names a person may not save under.
  if (interactive) {
    if (project) return Refuse(state, WuLangText(WuLangRow_FioEditNoSaveProject), nullptr);
    if (untitled) return Refuse(state, WuLangText(WuLangRow_FioEditNoSaveUntitled), nullptr);
    if (empty) return Refuse(state, WuLangText(WuLangRow_FioEditNoSaveEmpty), nullptr);
    if (builtIn) return Refuse(state, WuLangText(WuLangRow_FioEditNoSaveBuiltIn), name);
  }

  WCHAR path[kName] = {};
  LONG where = WUTPL_WHERE_NONE, index = -1;
  const tagWUTEMPLATExV2* found = state->cache->FindTemplateByName(
      name, false, WUTPL_KIND_FOLDER, WUTPL_KIND_BOTH, &where, &index, path, kName);
  const bool legacy = found && where == WUTPL_WHERE_LEGACY;

  // 2: nothing changed since the template was selected or saved.
  WCHAR notes[4097] = {};
  GetWindowTextW(state->notes, notes, 4097);
  const IWuFileIOPropertyPage* page =
      state->activePage >= 0 ? state->pages[state->activePage].page : nullptr;
  if (!page) return S_FALSE;
  const bool dirty = state->pages[state->activePage].page->IsPageDirty() == S_OK;
  const bool unsavedChange = (state->state & WUTE_MODIFIED) && !(state->state & WUTE_SAVED);
  const bool sameName = state->current && lstrcmpW(name, WuTpl_Name(state->current)) == 0;
  const bool sameNotes =
      state->current && lstrcmpW(notes, WuFio_GetTemplateNotesPtr(state->current)) == 0;
  if (!dirty && !unsavedChange && sameName && sameNotes && (!interactive || !legacy))
    return S_FALSE;

  // 3-7: the name to save under and the file.
  bool write = true;
  LPCWSTR newNotes = notes;
  if (!interactive && (project || untitled || empty)) {
    WuStrCpyNLen2(name, WuLangText(WuLangRow_FioTemplateUntitled), kName);
    newNotes = WuLangText(WuLangRow_FioEditLastUsedNotes);
    write = false;
  } else if (!interactive && (builtIn || found)) {
    WuTempEdit_AddModifiedMark(name, kName);
    write = false;
  } else if (interactive && legacy) {
    if (WuMsgBox(state->dialog, MB_OKCANCEL | MB_ICONQUESTION,
                 WuLangText(WuLangRow_FioEditLegacyQuestion), name) != IDOK)
      return WUTE_E_CANCELLED;
    HRESULT hr = WuFio_GetUserTemplateFilePath(state->cls, name, path, kName, TRUE);
    if (FAILED(hr)) return hr;
  } else if (interactive && found) {
    const bool selected =
        state->current && lstrcmpiW(WuTpl_Name(state->current), WuTpl_Name(found)) == 0;
    if (!selected && WuMsgBox(state->dialog, MB_OKCANCEL | MB_ICONQUESTION,
                              WuLangText(WuLangRow_FioEditOverwrite), path) != IDOK)
      return WUTE_E_CANCELLED;
  } else {
    HRESULT hr = WuFio_GetUserTemplateFilePath(state->cls, name, path, kName, TRUE);
    if (FAILED(hr)) return hr;
  }

  // 8: the page's changes, then the renamed copy becomes the current
  // template with a renewed identity.
  if (dirty) {
    HRESULT hr = state->pages[state->activePage].page->Apply();
    if (FAILED(hr)) return hr;
  }
  tagWUTEMPLATExV2* source = nullptr;
  HRESULT hr = TakeSource(state, &source);
  if (FAILED(hr)) return hr;
  tagWUTEMPLATExV2* made = CopyWithTexts(source, name, newNotes);
  WuFio_ReleaseTemplate(source);
  if (!made) return E_OUTOFMEMORY;
  if (WuFio_IsUpliftedV1Template(made))
    made->guid = WuFio_MakeUpliftedV1TemplateGuid(made);
  else
    WuFio_InitGUIDFromTemplateMD5DataHash(&made->guid, made, TRUE);
  WuTempEdit_ReplaceCurrent(state, made, WUTE_OWNED | WUTE_MODIFIED);
  if (!write) return S_OK;

  // 9: the file, then the cache, which takes the record when a group of
  // its folder holds it; otherwise the editor keeps it.
  hr = WuFio_WriteTemplateFile(path, made, TRUE);
  if (FAILED(hr)) return hr;
  LONG stored = -2;
  hr = state->cache->StoreTemplate(made, TRUE, path, &stored);
  if (SUCCEEDED(hr) && stored != -2) state->state &= ~WUTE_OWNED;
  state->state |= WUTE_SAVED;
  if (interactive) {
    if (stored >= 0) state->index = stored;
    WuTempEdit_FillList(state);
    WuTempEdit_ShowCurrent(state, true);
    if (state->activePage >= 0) state->pages[state->activePage].page->Refresh();
  }
  return S_OK;
}

HRESULT WuTempEdit_DeleteRecord(WuTempEditState* state, const tagWUTEMPLATExV2* record) {
  // The file, when a folder group holds the record itself (found by its
  // address: a record that no longer reads has no usable name).
  CWuGlobalTemplateCache* global = state->cache->Global();
  LONG group = -1, item = -1;
  if (global && global->FindRecord(record, &group, &item)) {
    WuTemplateGroup* g = global->Group(group);
    if (g && g->kind >= WUTPL_KIND_FOLDER && g->fileNames && item < g->fileNames->count) {
      WCHAR path[kName];
      WuStrCpyNLen2(path, g->folder, kName);
      WuStrCatN(path, static_cast<LPCWSTR>(WuList_ItemAt(g->fileNames, item)), kName);
      if (!DeleteFileW(path)) return WuErrorHandler_TranslateWin32Error(GetLastError());
    }
  }
  if (record == state->current) WuTempEdit_ReplaceCurrent(state, nullptr, 0);
  state->cache->DeleteTemplate(record);
  WuTempEdit_Select(state, 0);
  WuTempEdit_FillList(state);
  return S_OK;
}

HRESULT WuTempEdit_Delete(WuTempEditState* state) {
  WCHAR name[kName];
  WuTempEdit_GetTypedName(state, name, kName);
  if (IsProjectDefault(name)) return Refuse(state, WuLangText(WuLangRow_FioEditNoDeleteProject), nullptr);
  if (WuFio_IsUntitledTemplateName(name) || state->cache->IsCurrentTemplateNamed(name, false) ||
      IsBuiltIn(state, name))
    return Refuse(state, WuLangText(WuLangRow_FioEditNoDeleteBuiltIn), name);
  WCHAR path[kName] = {};
  LONG where = WUTPL_WHERE_NONE, index = -1;
  const tagWUTEMPLATExV2* found = state->cache->FindTemplateByName(
      name, false, WUTPL_KIND_FOLDER, WUTPL_KIND_BOTH, &where, &index, path, kName);
  if (!found || !path[0]) return E_FAIL;
  return WuTempEdit_DeleteRecord(state, found);
}
