// The metadata sections of the file-properties text.
#include "shellui/WuFilePropMeta.h"

#include "foundation/WuStatus.h"
#include "shellui/CWuLinkProjectInfo.h"

void WuFilePropWriteMetaSections(const WUFILEPROPMETA* in) { (void)in; }

void FormatCaptureTime(LPCWSTR text, LPWSTR out, int outSize) {
  (void)text;
  if (out && outSize > 0) out[0] = 0;
}

HRESULT ReadMetaStreamHeader(IStream* stream, LONG* dataSize, GUID* kind) {
  (void)stream;
  (void)dataSize;
  (void)kind;
  return WU_E_READ;
}

HRESULT CheckMetaStreamHeader(IStream* stream) {
  (void)stream;
  return WU_E_READ;
}

HRESULT ReadMetaSubHeader(IStream* stream, const GUID& kind, DWORD* elementSize) {
  (void)stream;
  (void)kind;
  (void)elementSize;
  return WU_E_READ;
}
