// The metadata sections of the file's project link and of its broadcast-
// wave record.
#include <memory>
#include <new>

#include "fileio/WuFioBstrArray.h"
#include "foundation/WuAbout.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "mediaformats/WuBwf.h"
#include "platform/com/com.h"
#include "shellui/CWuLinkProjectInfo.h"
#include "shellui/WuFilePropMetaInternal.h"

namespace fpropmeta {

namespace {

// Texts of the project link are read into buffers of this many characters.
constexpr int kLinkTextChars = 1024;
// The renderer's string property that names its format.
constexpr DWORD kFormatNameProperty = 5;
// The label column of a continuation line: 21 spaces.
constexpr const char16_t* kContinuationColumn = u"                     ";

}  // namespace

// ---- Project link -------------------------------------------------------------------------

void WriteProjectLink(const WUFILEPROPMETA& in) {
  if (!in.linkLoaded || !in.link || FAILED(in.link->Validate())) return;
  const CWuLinkProjectInfo& link = *in.link;
  const DWORD flags = link.GetFlags();
  std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[kLinkTextChars]);
  if (!text) return;
  Header(in.edit, WuLangText(WuLangRow_PropMetaProjectLink));

  const DWORD v = link.GetVersion();
  const int major = static_cast<int>(v >> 24), minor = static_cast<int>((v >> 16) & 0xFF),
            build = static_cast<int>((v >> 8) & 0xFF);
  const WCHAR suffix[2] = {static_cast<WCHAR>(v & 0xFF), 0};
  if (suffix[0])
    LineF(in.edit, WuLangText(WuLangRow_PropMetaVersion), u"%d.%d.%d.%s", major, minor, build, suffix);
  else
    LineF(in.edit, WuLangText(WuLangRow_PropMetaVersion), u"%d.%d.%d", major, minor, build);

  if (flags & WULPI_PROJECT_PATH) {
    Line(in.edit, WuLangText(WuLangRow_PropMetaOpenProject), WuLangText(WuLangRow_PropMetaByReference));
    link.GetProjectPath(text.get(), kLinkTextChars);
    Line(in.edit, WuLangText(WuLangRow_PropMetaProjectPath), text.get());
  }
  if (flags & WULPI_PROJECT_DATA) {
    WCHAR value[64];
    WuPrintFN(value, 64, u"%s", YesNo(true));
    WCHAR size[48];
    WuPrintFN(size, 48, WuLangText(WuLangRow_ShellUIBytesSuffix), static_cast<int>(link.GetProjectDataSize()));
    WuStrCatN(value, size, 64);
    Line(in.edit, WuLangText(WuLangRow_PropMetaEmbeddedData), value);
  } else {
    Line(in.edit, WuLangText(WuLangRow_PropMetaEmbeddedData), YesNo(false));
  }
  if (flags & WULPI_CREATOR_APP_INFO) {
    link.GetCreatorAppInfo(text.get(), kLinkTextChars);
    Line(in.edit, WuLangText(WuLangRow_PropMetaCreatedBy), text.get());
  }
  if (in.diagnostic && (flags & WULPI_COMMAND_LINE)) {
    link.GetCommandLineW(text.get(), kLinkTextChars);
    Line(in.edit, WuLangText(WuLangRow_PropMetaCommandLine), text.get());
  }
  if (in.diagnostic && (flags & WULPI_CREATOR_WINDOW_CLASS)) {
    link.GetCreatorAppWindowClassName(text.get(), kLinkTextChars);
    Line(in.edit, WuLangText(WuLangRow_PropMetaWindowClass), text.get());
  }
  if ((flags & WULPI_RENDERER_GUID) && in.manager) {
    IWuRenderFileClass* renderer = nullptr;
    GUID id = *const_cast<CWuLinkProjectInfo&>(link).GetRendererGuid();
    if (SUCCEEDED(in.manager->GetRendererClassById(&renderer, id)) && renderer) {
      BSTR name = nullptr;
      if (SUCCEEDED(renderer->GetStrings(&kFormatNameProperty, 1, &name)) && name) {
        WuStrCpyN(text.get(), name, kLinkTextChars);
        Line(in.edit, WuLangText(WuLangRow_PropMetaRenderFormat), text.get());
      }
      WuFio_FreeBstrArray(&name, 1);
    }
    if (renderer) renderer->Release();
  }
  if (flags & WULPI_TEMPLATE_NAME) {
    link.GetTemplateName(text.get(), kLinkTextChars);
    Line(in.edit, WuLangText(WuLangRow_PropMetaTemplateName), text.get());
  }
  if (flags & WULPI_TEMPLATE_DATA)
    Line(in.edit, WuLangText(WuLangRow_PropMetaTemplateData), WuLangText(WuLangRow_PropMetaIncluded));
  EmptyLine(in.edit);
}

// ---- BWF information ----------------------------------------------------------------------

namespace {

// Writes the coding history: the pieces between "\r" (a "\n" starting a
// piece skipped), the first on the labelled line, each further piece, empty
// ones included, on a line of its own under a blank label column.
void WriteCodingHistory(HWND edit, LPCWSTR label, WCHAR* history) {
  WCHAR* piece = history;
  bool first = true;
  for (;;) {
    if (*piece == u'\n') ++piece;
    WCHAR* end = piece;
    while (*end && *end != u'\r') ++end;
    const bool last = *end == 0;
    *end = 0;
    if (first)
      Line(edit, label, piece);
    else
      WuMEditPrintF(edit, u"%s%s", kContinuationColumn, piece);
    first = false;
    if (last) return;
    piece = end + 1;
  }
}

}  // namespace

void WriteBwf(const WUFILEPROPMETA& in) {
  if (!(in.requestFlags & WUFILEPROP_REQUEST_BWF) || !in.meta) return;
  _tagWUBWF_Chunk record;
  record.WuBWF_Clear();
  int loaded = 0;
  if (FAILED(bwfmeta_LoadInfo(in.meta, &record, &loaded)) || !loaded) {
    record.WuBWFChunk_FreeCodingHistory();
    return;
  }
  const DWORD flags = record.dwFlags;
  const bool texts = (flags & WUBWF_TEXTS_VALID) != 0;
  const bool times = (flags & WUBWF_TIMES_VALID) != 0;
  LPCWSTR error = WuLangText(WuLangRow_PropMetaError);

  Header(in.edit, WuLangText(WuLangRow_PropMetaBwf));
  WCHAR column[kLabelChars] = {};
  WuFormatPropLabel(WuLangText(WuLangRow_PropMetaBwfVersion), kLabelWidth, column, kLabelChars);
  WuMEditPrintF(in.edit, u"%s%d", column, static_cast<int>(record.WuBWF_GetVersion()));

  WCHAR text[260];
  record.WuBWF_GetDescription(text, 260);
  Line(in.edit, WuLangText(WuLangRow_PropMetaDescription), texts ? text : error);
  record.WuBWF_GetOriginator(text, 260);
  Line(in.edit, WuLangText(WuLangRow_PropMetaOriginator), texts ? text : error);
  record.WuBWF_GetOriginatorReference(text, 260);
  Line(in.edit, WuLangText(WuLangRow_PropMetaOriginatorRef), texts ? text : error);
  record.WuBWF_GetOriginationDate(text, 260);
  Line(in.edit, WuLangText(WuLangRow_PropMetaOrigDate), times ? text : error);
  record.WuBWF_GetOriginationTime(text, 260);
  Line(in.edit, WuLangText(WuLangRow_PropMetaOrigTime), times ? text : error);
  ULONGLONG reference = 0;
  if (times && SUCCEEDED(record.WuBWF_GetTimeReference(&reference)))
    LineF(in.edit, WuLangText(WuLangRow_PropMetaTimeReference), u"%I64d", static_cast<LONGLONG>(reference));
  else
    Line(in.edit, WuLangText(WuLangRow_PropMetaTimeReference), error);

  LPCWSTR historyLabel = WuLangText(WuLangRow_PropMetaCodingHistory);
  const DWORD chars = record.WuBWF_GetCodingHistorySize();
  if (chars > 0x7FFFFFFE) {
    Line(in.edit, historyLabel, error);
  } else if (chars) {
    std::unique_ptr<WCHAR[]> history(new (std::nothrow) WCHAR[size_t{chars} + 1]());
    if (history && record.WuBWFChunk_GetCodingHistory(history.get(), static_cast<int>(chars)) == S_OK)
      WriteCodingHistory(in.edit, historyLabel, history.get());
    else
      Line(in.edit, historyLabel, error);
  } else {
    Line(in.edit, historyLabel, times ? u"" : error);
  }
  EmptyLine(in.edit);
  record.WuBWFChunk_FreeCodingHistory();
}

}  // namespace fpropmeta
