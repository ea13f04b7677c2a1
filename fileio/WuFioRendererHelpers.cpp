// Helpers over a renderer class: preset bit rates, extension and dialog
// texts, and the post-save step.
#include "fileio/WuFioRendererHelpers.h"

#include <algorithm>
#include <string>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/locale.h"

namespace {

bool HasPart(const tagWUTEMPLATExV2* r, bool video) {
  return video ? r->video.blockSize != 0 && r->video.streamCount != 0
               : r->audio.blockSize != 0 && r->audio.streamCount != 0;
}

// One value of the class's own template query (at most 8 bytes).
HRESULT ClassInfo(IWuRenderFileClass* cls, const tagWUTEMPLATExV2* r, DWORD type, LONGLONG* v) {
  LONGLONG value = 0;
  HRESULT hr = cls->GetTemplateInfo(r, &value, sizeof value, type);
  if (type == 3) value = static_cast<LONGLONG>(static_cast<DWORD>(value));  // a DWORD answer
  *v = hr == S_OK ? value : 0;
  return hr;
}

// The class's texts for `ids`, freed by the destructor.
struct ClassTexts {
  BSTR texts[2] = {nullptr, nullptr};
  HRESULT hr = E_FAIL;
  ClassTexts(IWuRenderFileClass* cls, const DWORD* ids, LONG count) {
    hr = cls ? cls->GetStrings(ids, count, texts) : E_POINTER;
    if (FAILED(hr)) {
      // A failing class may have left texts behind; nothing of them is used.
      for (BSTR& t : texts) {
        SysFreeString(t);
        t = nullptr;
      }
    }
  }
  ~ClassTexts() {
    for (BSTR t : texts) SysFreeString(t);
  }
  std::u16string Text(int i) const { return texts[i] ? std::u16string(texts[i]) : u""; }
};

// Copies at most size - 1 units of `text` and terminates; nothing for size 0.
void BoundedCopy(LPWSTR buffer, LONG size, const std::u16string& text) {
  if (!buffer || size <= 0) return;
  lstrcpynW(buffer, text.c_str(), size);
}

}  // namespace

HRESULT WuFio_GetBitratesForRangeOfPresets(IWuRenderFileClass* cls, LONG first, LONG count,
                                           DWORD parts, LONGLONG* out) {
  if (count == 0) return 1;
  if (!out || !cls || count < 0) return E_INVALIDARG;
  for (LONG i = 0; i < count; ++i) out[i] = 0;
  DWORD type;
  if (parts & 2)
    type = 4;
  else if (parts & 1)
    type = 3;
  else
    return E_NOTIMPL;
  HRESULT status = S_OK;
  for (LONG i = 0; i < count; ++i) {
    tagWUTEMPLATExV2* preset = nullptr;
    HRESULT hr = cls->GetPreset(&preset, first + i);
    if (FAILED(hr)) {
      WuFio_ReleaseTemplate(preset);
      return hr;
    }
    if (!preset || !preset->HasValidLayout()) {
      status = WU_E_BAD_DATA;
    } else if ((type == 3 && HasPart(preset, true)) || (type == 4 && !HasPart(preset, true))) {
      status = S_OK;  // not a preset of the part asked for: 0
    } else {
      LONGLONG value = 0;
      status = ClassInfo(cls, preset, type, &value);
      if (status == S_OK && type == 4 && (parts & 1)) {
        LONGLONG audio = 0;
        ClassInfo(cls, preset, 3, &audio);
        value += audio;
      }
      out[i] = status == S_OK ? value : 0;
    }
    WuFio_ReleaseTemplate(preset);
  }
  return status;
}

HRESULT WuFio_GetDefaultRendererExtension(IWuRenderFileClass* cls, LPWSTR buffer, LONG size) {
  if (buffer && size > 0) buffer[0] = 0;
  const DWORD ids[1] = {WUFIO_TEXT_PATTERNS};
  ClassTexts texts(cls, ids, 1);
  if (FAILED(texts.hr)) return texts.hr;
  std::u16string pattern = texts.Text(0);
  pattern = pattern.substr(0, pattern.find(u';'));
  if (!pattern.empty() && pattern[0] == u'*') pattern.erase(0, 1);
  BoundedCopy(buffer, size, pattern);
  return texts.hr;
}

HRESULT WuFio_GetRendererExtensionsList(IWuRenderFileClass* cls, LPWSTR buffer, LONG size) {
  if (buffer && size > 0) buffer[0] = 0;
  const DWORD ids[1] = {WUFIO_TEXT_PATTERNS};
  ClassTexts texts(cls, ids, 1);
  if (FAILED(texts.hr)) return texts.hr;
  BoundedCopy(buffer, size, texts.Text(0));
  return texts.hr;
}

HRESULT WuFio_GetRendererOpenDialogFilterString(IWuRenderFileClass* cls, LPWSTR buffer,
                                                LONG size, BOOL showPatterns) {
  if (!buffer) return E_POINTER;
  if (size < 14) return E_INVALIDARG;
  buffer[0] = buffer[1] = 0;
  const DWORD ids[2] = {WUFIO_TEXT_DESCRIPTION, WUFIO_TEXT_PATTERNS};
  ClassTexts texts(cls, ids, 2);
  if (FAILED(texts.hr)) return texts.hr;
  std::u16string description = texts.Text(0), patterns = texts.Text(1);
  if (patterns.empty())
    patterns = u"*.*";
  else if (showPatterns)
    description += u" (" + patterns + u")";
  // Two units stay free for the closing terminators throughout.
  const size_t n = static_cast<size_t>(size);
  size_t pos = std::min(description.size(), n - 2);
  description.copy(buffer, pos);
  if (n - pos >= 5) {
    buffer[pos++] = 0;
    size_t take = std::min(patterns.size(), n - 2 - pos);
    patterns.copy(buffer + pos, take);
    pos += take;
  }
  buffer[pos] = 0;
  buffer[pos + 1] = 0;
  return texts.hr;
}

HRESULT WuFio_PostSaveDialog(IWuRenderFileClass* cls, HWND owner, LPWSTR path, LONG pathSize,
                             tagWUTEMPLATExV2** record) {
  if (!cls || !record) return S_OK;
  IWuRenderPostSave* post = nullptr;
  if (FAILED(cls->QueryInterface(IID_IWuRenderPostSave, reinterpret_cast<void**>(&post))) ||
      !post)
    return S_OK;
  WCHAR local[260] = {};
  if (path) lstrcpynW(local, path, 260);
  tagWUTEMPLATExV2* made = nullptr;
  HRESULT hr = post->PostSaveDialog(owner, local, 260, *record, &made);
  local[259] = 0;  // whatever the plug-in wrote, the text ends inside
  if (SUCCEEDED(hr)) {
    if (path && pathSize > 0) lstrcpynW(path, local, pathSize);
    // Freed only when the plug-in handed back a different record.
    if (made != *record) {
      WuFio_ReleaseTemplate(*record);
      *record = made;
    }
  } else if (made && made != *record) {
    WuFio_ReleaseTemplate(made);
  }
  post->Release();
  return hr;
}
