// Fuzz target of quick identification over a buffer: the input is the
// buffer, held in a block of exactly its size. It is identified with no
// flags and with flags taken from its first byte, and every probe of the
// table also runs on it under each extension that some row looks at. Nothing
// may be read outside the buffer, the input must stay as it was, and the
// answer must be a code of the table (or 1).
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "mediaformats/WuFileId.h"
#include "mediaformats/WuFileIdProbes.h"
#include "platform/kernel/handles.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool IsTableCode(DWORD code) {
  const fileid::ProbeRow* table = fileid::ProbeTable();
  for (int row = 0; row < fileid::kProbeRowCount; ++row)
    if (table[row].code == code) return true;
  // The classifier's other answers.
  return code == WUFILEID_UNKNOWN || code == WUFILEID_MP4_AAC || code == WUFILEID_MP4_AVC ||
         code == WUFILEID_MP4_MPEG2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 0x20000) return 0;
  DWORD n = static_cast<DWORD>(size);
  std::unique_ptr<BYTE[]> buffer(new BYTE[n]);
  std::memcpy(buffer.get(), data, n);
  size_t handles = platform::OpenHandleCount();

  for (DWORD flags : {0u, static_cast<DWORD>(data[0] & 0x1F)}) {
    WUFILEIDINFO info = {};
    info.dwFlags = flags;
    info.hFile = INVALID_HANDLE_VALUE;
    info.pBuffer = buffer.get();
    info.dwBufferSize = n;
    BOOL identified = FALSE;
    if (WuIsQuicklyIdentifiableMediaFileFormat(&info, &identified) != S_OK)
      wufuzz::Fail("a buffer gave an error", std::to_string(flags));
    if (!IsTableCode(info.eIdentifiedType))
      wufuzz::Fail("an unknown code", std::to_string(info.eIdentifiedType));
    if ((identified != FALSE) != (info.eIdentifiedType != WUFILEID_UNKNOWN))
      wufuzz::Fail("identified and the type disagree", std::to_string(info.eIdentifiedType));
  }

  // Each probe on the first 64 KiB, under each extension.
  static const char16_t* const kExtensions[] = {nullptr, u"",     u".ac3",  u".mp2", u".wma", u".WMV",
                                                u".asf", u".dvr-ms", u".avc", u".mxf", u".raw", u".rmvb"};
  DWORD examined = n < WUFILEID_MAX_BYTES ? n : WUFILEID_MAX_BYTES;
  const fileid::ProbeRow* table = fileid::ProbeTable();
  for (int row = 0; row < fileid::kProbeRowCount; ++row) {
    if (table[row].probe == nullptr) continue;
    for (const char16_t* extension : kExtensions) table[row].probe(buffer.get(), examined, extension);
  }
  if (std::memcmp(buffer.get(), data, n) != 0) wufuzz::Fail("the input changed", "fileid");
  if (platform::OpenHandleCount() != handles) wufuzz::Fail("a handle leaked", "fileid");
  return 0;
}
