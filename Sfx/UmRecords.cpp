// Field-by-field little-endian encoding of the "UM" records.
#include "Sfx/UmRecords.h"

namespace {

// Offsets 4..51: the facts shared by the local header and the central record.
void EncodeFacts(const tUMENTRYFACTS& f, BYTE* p) {
  UmPut32(p + 0, f.reserved1);
  UmPut32(p + 4, f.reserved2);
  UmPut32(p + 8, f.method);
  UmPut32(p + 12, f.level);
  UmPut64(p + 16, f.fileTime);
  UmPut32(p + 24, f.storedCrc);
  UmPut32(p + 28, f.dataCrc);
  UmPut64(p + 32, f.storedSize);
  UmPut64(p + 40, f.size);
}

tUMENTRYFACTS DecodeFacts(const BYTE* p) {
  tUMENTRYFACTS f;
  f.reserved1 = UmGet32(p + 0);
  f.reserved2 = UmGet32(p + 4);
  f.method = UmGet32(p + 8);
  f.level = UmGet32(p + 12);
  f.fileTime = UmGet64(p + 16);
  f.storedCrc = UmGet32(p + 24);
  f.dataCrc = UmGet32(p + 28);
  f.storedSize = UmGet64(p + 32);
  f.size = UmGet64(p + 40);
  return f;
}

}  // namespace

void UmEncodeLocalHeader(const tUMLOCALHEADER& h, BYTE out[kUmLocalHeaderSize]) {
  UmPut32(out + 0, h.signature);
  EncodeFacts(h.facts, out + 4);
  UmPut32(out + 52, h.attributes);
  UmPut32(out + 56, h.nameLength);
  UmPut32(out + 60, h.secondLength);
}

void UmDecodeLocalHeader(const BYTE in[kUmLocalHeaderSize], tUMLOCALHEADER* h) {
  h->signature = UmGet32(in + 0);
  h->facts = DecodeFacts(in + 4);
  h->attributes = UmGet32(in + 52);
  h->nameLength = UmGet32(in + 56);
  h->secondLength = UmGet32(in + 60);
}

void UmEncodeCentralRecord(const tUMCENTRALRECORD& r, BYTE out[kUmCentralRecordSize]) {
  UmPut32(out + 0, r.signature);
  EncodeFacts(r.facts, out + 4);
  UmPut32(out + 52, r.nameLength);
  UmPut32(out + 56, r.secondLength);
  UmPut32(out + 60, r.thirdLength);
  UmPut32(out + 64, r.reserved3);
  UmPut32(out + 68, r.attributes);
  UmPut32(out + 72, r.reserved4);
  UmPut64(out + 76, r.localOffset);
}

void UmDecodeCentralRecord(const BYTE in[kUmCentralRecordSize], tUMCENTRALRECORD* r) {
  r->signature = UmGet32(in + 0);
  r->facts = DecodeFacts(in + 4);
  r->nameLength = UmGet32(in + 52);
  r->secondLength = UmGet32(in + 56);
  r->thirdLength = UmGet32(in + 60);
  r->reserved3 = UmGet32(in + 64);
  r->attributes = UmGet32(in + 68);
  r->reserved4 = UmGet32(in + 72);
  r->localOffset = UmGet64(in + 76);
}

void UmEncodeEndRecord(const tUMENDRECORD& e, BYTE out[kUmEndRecordSize]) {
  UmPut32(out + 0, e.signature);
  UmPut32(out + 4, e.volumeCount);
  UmPut32(out + 8, e.reserved);
  UmPut32(out + 12, e.entryCount);
  UmPut32(out + 16, e.entryCount2);
  UmPut64(out + 20, e.dirSize);
  UmPut64(out + 28, e.dirOffset);
  UmPut64(out + 36, e.baseOffset);
  UmPut32(out + 44, e.commentLength);
  UmPut32(out + 48, e.nameLength);
  UmPut32(out + 52, e.thirdLength);
}

void UmDecodeEndRecord(const BYTE in[kUmEndRecordSize], tUMENDRECORD* e) {
  e->signature = UmGet32(in + 0);
  e->volumeCount = UmGet32(in + 4);
  e->reserved = UmGet32(in + 8);
  e->entryCount = UmGet32(in + 12);
  e->entryCount2 = UmGet32(in + 16);
  e->dirSize = UmGet64(in + 20);
  e->dirOffset = UmGet64(in + 28);
  e->baseOffset = UmGet64(in + 36);
  e->commentLength = UmGet32(in + 44);
  e->nameLength = UmGet32(in + 48);
  e->thirdLength = UmGet32(in + 52);
}

void UmEncodeText(const WCHAR* text, DWORD units, BYTE* out) {
  for (DWORD i = 0; i < units; ++i) {
    out[2 * i] = static_cast<BYTE>(text[i]);
    out[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
  }
}

int UmDecodeText(const BYTE* in, DWORD units, WCHAR* text, int size) {
  if (!text || size <= 0) return 0;
  DWORD keep = units < static_cast<DWORD>(size - 1) ? units : static_cast<DWORD>(size - 1);
  for (DWORD i = 0; i < keep; ++i)
    text[i] = static_cast<WCHAR>(in[2 * i] | (in[2 * i + 1] << 8));
  text[keep] = 0;
  return static_cast<int>(keep);
}
