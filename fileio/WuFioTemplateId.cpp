// The checksum and the content GUIDs of render templates.
#include <zlib.h>

#include <cstring>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuMd5.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"

namespace {

// The parts a checksum or GUID covers: private data and texts, empty for a
// record with a bad layout.
struct Covered {
  const BYTE* privateData = nullptr;
  size_t privateBytes = 0;
  const WCHAR* name = nullptr;
  size_t nameUnits = 0;
  const WCHAR* notes = nullptr;
  size_t notesUnits = 0;
};

Covered CoveredParts(const tagWUTEMPLATExV2* record) {
  Covered c;
  if (!record->HasValidLayout()) return c;
  if (record->privateSize > 0) {
    c.privateData = record->PrivateData();
    c.privateBytes = static_cast<size_t>(record->privateSize);
  }
  if (record->textLength != 0) {
    c.name = record->Text();
    // A record that passes its layout check ends its text area with a
    // terminator: both texts end inside it.
    c.nameUnits = static_cast<size_t>(WuStrLenSafe(c.name));
    c.notes = WuFio_GetTemplateNotesPtr(record);
    c.notesUnits = static_cast<size_t>(WuStrLenSafe(c.notes));
  }
  return c;
}

GUID* Stamp(GUID* out, const GUID* in, WORD version) {
  *out = *in;
  out->Data3 = static_cast<WORD>((out->Data3 & 0x0FFF) | (version << 12));
  out->Data4[0] = static_cast<BYTE>((out->Data4[0] & 0x3F) | 0x80);
  return out;
}

constexpr BYTE kUpliftedTail[10] = {0x10, 0x10, 0x80, 0x00, 0x00, 0x11, 0x00, 0x00, 0x00, 0x00};

}  // namespace

DWORD WuFio_GetTemplateDataCRC32(const tagWUTEMPLATExV2* record, BOOL includeTexts) {
  if (!record) return 0;
  Covered c = CoveredParts(record);
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, reinterpret_cast<const Bytef*>(record) + WUTEMPLATE_SETTINGS_OFFSET,
              WUTEMPLATE_SETTINGS_SIZE);
  if (c.privateBytes)
    crc = crc32(crc, c.privateData, static_cast<uInt>(c.privateBytes));
  if (includeTexts) {
    if (c.nameUnits)
      crc = crc32(crc, reinterpret_cast<const Bytef*>(c.name), static_cast<uInt>(2 * c.nameUnits));
    if (c.notesUnits)
      crc = crc32(crc, reinterpret_cast<const Bytef*>(c.notes), static_cast<uInt>(2 * c.notesUnits));
  }
  return static_cast<DWORD>(crc);
}

HRESULT WuFio_InitGUIDFromTemplateMD5DataHash(GUID* out, const tagWUTEMPLATExV2* record,
                                              BOOL includeTexts) {
  if (!out || !record) return E_POINTER;
  if (!record->HasValidLayout()) return WU_E_BAD_DATA;
  Covered c = CoveredParts(record);
  static const char kSalt[] = "Kavrel1993 Q4 Pattern Blobs";
  static_assert(sizeof(kSalt) == 28);
  WU_MD5_CTX ctx;
  WuMd5_Init(&ctx);
  WuMd5_Update(&ctx, kSalt, sizeof(kSalt));
  WuMd5_Update(&ctx, reinterpret_cast<const BYTE*>(record) + WUTEMPLATE_SETTINGS_OFFSET,
               WUTEMPLATE_SETTINGS_SIZE);
  if (c.privateBytes) WuMd5_Update(&ctx, c.privateData, c.privateBytes);
  if (includeTexts) {
    if (c.nameUnits) WuMd5_Update(&ctx, c.name, 2 * c.nameUnits);
    if (c.notesUnits) WuMd5_Update(&ctx, c.notes, 2 * c.notesUnits);
  }
  WuMd5_Final(&ctx);
  // Digest bytes in order; Data1..Data3 little-endian.
  GUID digest;
  digest.Data1 = static_cast<DWORD>(ctx.digest[0]) | static_cast<DWORD>(ctx.digest[1]) << 8 |
                 static_cast<DWORD>(ctx.digest[2]) << 16 | static_cast<DWORD>(ctx.digest[3]) << 24;
  digest.Data2 = static_cast<WORD>(ctx.digest[4] | ctx.digest[5] << 8);
  digest.Data3 = static_cast<WORD>(ctx.digest[6] | ctx.digest[7] << 8);
  std::memcpy(digest.Data4, ctx.digest + 8, 8);
  WuGuid_StampVersion3(out, &digest);
  return S_OK;
}

GUID WuFio_MakeUpliftedV1TemplateGuid(const tagWUTEMPLATExV2* record) {
  GUID g{};
  g.Data1 = WuFio_GetTemplateDataCRC32(record, FALSE);
  g.Data2 = 0;
  g.Data3 = 0x1010;
  std::memcpy(g.Data4, kUpliftedTail + 2, 8);
  return g;
}

bool WuFio_IsUpliftedV1TemplateGuid(const GUID& guid) {
  BYTE tail[10];
  tail[0] = static_cast<BYTE>(guid.Data3);
  tail[1] = static_cast<BYTE>(guid.Data3 >> 8);
  std::memcpy(tail + 2, guid.Data4, 8);
  return std::memcmp(tail, kUpliftedTail, sizeof(tail)) == 0;
}

BOOL WuFio_IsUpliftedV1Template(const tagWUTEMPLATExV2* record) {
  return record && record->version == WUTEMPLATE_VERSION_V2 &&
                 WuFio_IsUpliftedV1TemplateGuid(record->guid)
             ? TRUE
             : FALSE;
}

GUID* WuGuid_StampVersion3(GUID* out, const GUID* in) { return Stamp(out, in, 3); }
GUID* WuGuid_StampVersion5(GUID* out, const GUID* in) { return Stamp(out, in, 5); }
