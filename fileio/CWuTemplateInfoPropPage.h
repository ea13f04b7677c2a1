// The template-information page: a template-editor page that shows the
// editor's current template as text (sizes, version, identity, owner,
// description) and where the template lives (the editor's own template,
// a private or class preset, a file, or a copy of one of them). A
// renderer class may offer it among its pages; it edits nothing.
//
// Like every page it gets the editor's template holder through SetObjects.
// When the holder has an editor behind it (it answers IWuTempEditView),
// the page reads the editor's current template, its state and its private
// cache; otherwise it shows the template the holder gives, without the
// modified mark and without the place.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/kernel/types.h"

class CWuPrivateTemplateCache;

// The page's read-only text control.
constexpr int WUFIO_INFOPAGE_TEXT_ID = 1200;
// The longest description the page shows, in characters.
constexpr int WUFIO_INFOPAGE_DESCRIPTION_MAX = 512;

// What the editor behind a holder tells its pages. Every pointer is
// borrowed and valid until the holder's next call.
struct WUTEMPEDIT_VIEW {
  DWORD size;                        // sizeof(WUTEMPEDIT_VIEW), set by the caller
  IWuRenderFileClass* renderer;      // the class whose templates are edited
  CWuPrivateTemplateCache* cache;    // the editor's private cache, or NULL
  const tagWUTEMPLATExV2* current;   // the editor's current template, or NULL
  DWORD state;                       // its state bits (WUTEMPEDIT_STATE_*)
};

constexpr DWORD WUTEMPEDIT_STATE_MODIFIED = 0x1;  // changed since it was chosen
constexpr DWORD WUTEMPEDIT_STATE_SAVED = 0x2;     // written to its file
constexpr DWORD WUTEMPEDIT_STATE_OWNED = 0x4;     // the editor's own copy

inline constexpr IID IID_IWuTempEditView = {0x91CDEB6B, 0xA9EC, 0x4E81,
                                            {0x94, 0xE5, 0x03, 0x02, 0x64, 0xF7, 0x82, 0x60}};

// Offered by a template holder that has an editor behind it.
class IWuTempEditView : public IUnknown {
 public:
  // 3: fills `view` (whose size word the caller set); E_INVALIDARG for
  // another size.
  virtual HRESULT GetView(WUTEMPEDIT_VIEW* view) = 0;

 protected:
  ~IWuTempEditView() = default;
};

// A new information page in *out (reference count 1). E_POINTER without
// out, E_OUTOFMEMORY (*out NULL).
HRESULT WuFio_CreateTemplateInfoPropPage(IWuFileIOPropertyPage** out);

// The page's text for `view` (its current template and state), or for
// `record` alone when `view` is NULL, into `out` of `size` characters
// (cut to fit, always terminated). E_INVALIDARG for no template, a
// template failing its layout check or no room.
HRESULT WuFio_MakeTemplateInfoText(const WUTEMPEDIT_VIEW* view, const tagWUTEMPLATExV2* record,
                                   LPWSTR out, int size);
