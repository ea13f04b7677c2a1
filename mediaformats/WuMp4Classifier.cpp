// The MPEG-4 file classifier: brands from the "ftyp" box, then a walk over
// "moov" / "trak" / "mdia" to each track's handler and first sample entry,
// with the elementary-stream descriptor of "mp4a" and "mp4v" entries.
#include "mediaformats/WuMp4Classifier.h"

#include <cstring>
#include <initializer_list>
#include <memory>

#include "mediaformats/RiffFile.h"
#include "mediaformats/WuBigEndian.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

constexpr DWORD kFtyp = WuMp4Type("ftyp");
constexpr DWORD kMoov = WuMp4Type("moov");
constexpr DWORD kUuid = WuMp4Type("uuid");

// A sample entry larger than this is not read into memory (its descriptor
// is then not parsed).
constexpr ULONGLONG kMaxSampleEntry = 65536;
// At most this much of a file's "ftyp" box is read for its brands.
constexpr DWORD kMaxFtyp = 65536;

// The kinds of box the walk knows.
struct BoxKind {
  DWORD type;
  // may stand at file level
  bool top_level;
  // carries version and flags
  bool full_box;
  // holds further boxes
  bool container;
  // carries a 32-bit entry count after version and flags
  bool entry_count;
};
constexpr BoxKind kKinds[16] = {
    {WuMp4Type("cmov"), false, false, false, false}, {WuMp4Type("free"), true, false, false, false},
    {WuMp4Type("ftyp"), true, false, false, false},  {WuMp4Type("hdlr"), false, true, false, false},
    {WuMp4Type("mdat"), true, false, false, false},  {WuMp4Type("mdia"), false, false, true, false},
    {WuMp4Type("minf"), false, false, true, false},  {WuMp4Type("moov"), true, false, true, false},
    {WuMp4Type("mvhd"), false, true, false, false},  {WuMp4Type("pnot"), true, false, false, false},
    {WuMp4Type("skip"), true, false, false, false},  {WuMp4Type("stbl"), false, false, true, false},
    {WuMp4Type("stsd"), false, true, true, true},    {WuMp4Type("trak"), false, false, true, false},
    {WuMp4Type("uuid"), true, false, false, false},  {WuMp4Type("wide"), true, false, false, false},
};

const BoxKind* FindKind(DWORD type) {
  for (const BoxKind& kind : kKinds)
    if (kind.type == type) return &kind;
  return nullptr;
}

using bigendian::Get32;
using bigendian::Get64;

void StartHeader(WUMP4BOXHEADER* h, DWORD stored, DWORD type, ULONGLONG offset) {
  std::memset(h, 0, sizeof *h);
  h->dwStoredSize = stored;
  h->dwType = type;
  h->dwVersionFlags = 0xFFFFFFFF;
  h->qwOffset = offset;
  h->dwHeaderSize = 8;
}

bool ReadBytes(HANDLE file, void* buffer, DWORD count) {
  return SUCCEEDED(rifffile::ReadExact(file, buffer, count));
}

// ---- The classification state ------------------------------------------------

struct Flags {
  bool plain_mp4 = false;
  bool aac_audio = false;
  bool avc_brand = false;
  bool avc_confirmed = false;
  bool mpeg2_video = false;
  bool mp4_family = false;
};

// What one track's walk found; -1 when absent.
struct TrackFacts {
  LONGLONG handler = -1;
  LONGLONG entry_type = -1;
  int object_type = -1;
  int audio_object_type = -1;
};

// Sets the brand flags from an "ftyp" box held in `end` bytes of `box`.
void EvaluateBrands(const BYTE* box, DWORD end, Flags* f) {
  DWORD major = Get32(box + 8);
  auto any = [&](std::initializer_list<DWORD> brands) {
    for (DWORD brand : brands) {
      if (major == brand) return true;
      for (DWORD i = 16; i + 4 <= end; i += 4)
        if (Get32(box + i) == brand) return true;
    }
    return false;
  };
  bool audio_major = major == WuMp4Type("M4A ") || major == WuMp4Type("M4V ") ||
                     major == WuMp4Type("M4VH") || major == WuMp4Type("M4VP");
  f->plain_mp4 = !audio_major && any({WuMp4Type("mp42"), WuMp4Type("mp41"), WuMp4Type("M4VH")});
  if (any({WuMp4Type("avc1")})) {
    f->avc_brand = true;
    f->avc_confirmed = true;
  } else if (any({WuMp4Type("mp42")})) {
    f->avc_brand = true;
  }
  f->mp4_family = any({WuMp4Type("mp42"), WuMp4Type("qt  "), WuMp4Type("M4V "), WuMp4Type("M4VH"),
                       WuMp4Type("M4VP"), WuMp4Type("mp41"), WuMp4Type("isom")});
}

WUFILEID_IDENTIFIED_TYPE Answer(const Flags& f) {
  if (f.plain_mp4 && f.aac_audio) return WUFILEID_MP4_AAC;
  if (f.avc_confirmed) return WUFILEID_MP4_AVC;
  if (f.mpeg2_video) return WUFILEID_MP4_MPEG2;
  if (f.mp4_family) return WUFILEID_MP4;
  return WUFILEID_UNKNOWN;
}

// ---- Searches on the file -------------------------------------------------------

// The first box of `type` in [from, to); false when a header is refused,
// a seek fails or the range ends first.
bool FindBox(HANDLE file, DWORD type, ULONGLONG from, ULONGLONG to, WUMP4BOXHEADER* found) {
  for (ULONGLONG at = from; at < to;) {
    if (!rifffile::SeekTo(file, at) || !WuMp4ReadBoxHeader(file, to, found)) return false;
    if (found->dwType == type) return true;
    at = found->End();
  }
  return false;
}

// Follows a path of box types, each searched inside the payload of the box
// found for the one before; every box on the path must be a container.
bool FindPath(HANDLE file, const WUMP4BOXHEADER& parent, std::initializer_list<DWORD> path,
              WUMP4BOXHEADER* found) {
  WUMP4BOXHEADER current = parent;
  for (DWORD type : path) {
    const BoxKind* kind = FindKind(current.dwType);
    if (kind == nullptr || !kind->container) return false;
    if (!FindBox(file, type, current.PayloadStart(), current.End(), found)) return false;
    current = *found;
  }
  const BoxKind* kind = FindKind(current.dwType);
  return kind != nullptr && kind->container;
}

// Reads an expandable descriptor length at `*at` (7 bits a byte, at most
// four bytes) and checks that the body fits before `*limit`, which becomes
// the body's end.
bool ReadDescriptorBody(const BYTE* bytes, size_t* at, size_t* limit) {
  size_t length = 0;
  for (int i = 0;; ++i) {
    if (i == 4 || *at >= *limit) return false;
    BYTE b = bytes[(*at)++];
    length = length << 7 | (b & 0x7F);
    if ((b & 0x80) == 0) break;
  }
  if (length > *limit - *at) return false;
  *limit = *at + length;
  return true;
}

// Reads the object type indication (and, for "mp4a", the audio object type)
// from the "esds" box of a sample entry.
void ReadElementaryStreamDescriptor(HANDLE file, const WUMP4BOXHEADER& entry, bool audio,
                                    TrackFacts* facts) {
  if (entry.dwStoredSize < 8) return;  // sizes 0 and 1: not a 32-bit size
  const size_t offset = audio ? 36 : 86;
  const size_t size = entry.dwStoredSize;
  if (offset + 12 >= size || size > kMaxSampleEntry) return;
  std::unique_ptr<BYTE[]> bytes(new BYTE[size]);
  if (!rifffile::SeekTo(file, entry.qwOffset) || !ReadBytes(file, bytes.get(), static_cast<DWORD>(size)))
    return;
  const BYTE* b = bytes.get();
  DWORD esds_size = Get32(b + offset);
  if (Get32(b + offset + 4) != WuMp4Type("esds") || esds_size < 12 || esds_size > size - offset) return;
  size_t limit = offset + esds_size;
  size_t at = offset + 12;
  // The ES descriptor.
  if (at >= limit || b[at++] != 3 || !ReadDescriptorBody(b, &at, &limit)) return;
  at += 2;  // ES id
  if (at >= limit) return;
  BYTE es_flags = b[at++];
  if (es_flags & 0x80) at += 2;  // depends on another stream
  if (es_flags & 0x40) {         // URL
    if (at >= limit) return;
    at += 1 + b[at];
  }
  if (es_flags & 0x20) at += 2;  // OCR stream
  // The decoder configuration.
  if (at >= limit || b[at++] != 4 || !ReadDescriptorBody(b, &at, &limit)) return;
  if (at >= limit) return;
  facts->object_type = b[at];
  if (!audio) return;
  // Decoder-specific information 13 bytes into the configuration.
  size_t info = at + 13;
  if (info >= limit || b[info++] != 5 || !ReadDescriptorBody(b, &info, &limit)) return;
  if (info < limit) facts->audio_object_type = b[info] >> 3;
}

// Walks one "trak" box and folds what it holds into the flags.
void WalkTrack(HANDLE file, const WUMP4BOXHEADER& trak, Flags* f) {
  WUMP4BOXHEADER mdia;
  if (!FindBox(file, WuMp4Type("mdia"), trak.PayloadStart(), trak.End(), &mdia)) return;
  TrackFacts facts;
  for (ULONGLONG at = mdia.PayloadStart(); at < mdia.End();) {
    WUMP4BOXHEADER child;
    if (!rifffile::SeekTo(file, at) || !WuMp4ReadBoxHeader(file, mdia.End(), &child)) break;
    at = child.End();
    if (child.dwType == WuMp4Type("hdlr")) {
      BYTE handler[4];
      if (!rifffile::SeekTo(file, child.PayloadStart() + 4) || child.PayloadStart() + 8 > child.End() ||
          !ReadBytes(file, handler, 4))
        break;
      facts.handler = Get32(handler);
      if (facts.entry_type != -1) break;
    } else if (child.dwType == WuMp4Type("minf")) {
      WUMP4BOXHEADER stsd, entry;
      if (FindPath(file, child, {WuMp4Type("stbl"), WuMp4Type("stsd")}, &stsd) &&
          rifffile::SeekTo(file, stsd.PayloadStart()) && WuMp4ReadBoxHeader(file, stsd.End(), &entry)) {
        facts.entry_type = entry.dwType;
        if (entry.dwType == WuMp4Type("mp4a") || entry.dwType == WuMp4Type("mp4v"))
          ReadElementaryStreamDescriptor(file, entry, entry.dwType == WuMp4Type("mp4a"), &facts);
      }
      if (facts.handler != -1) break;
    }
  }
  if (facts.handler == WuMp4Type("vide")) {
    f->plain_mp4 = false;
    if (f->avc_brand && facts.entry_type == WuMp4Type("avc1"))
      f->avc_confirmed = true;
    else if (facts.entry_type == WuMp4Type("mp4v") && facts.object_type >= 96 && facts.object_type <= 101)
      f->mpeg2_video = true;
  } else if (facts.handler == WuMp4Type("soun") && facts.entry_type == WuMp4Type("mp4a") &&
             facts.object_type == 64) {
    int aot = facts.audio_object_type;
    f->aac_audio = aot == 2 || aot == 5 || aot == 29;
  }
}

bool HasFile(HANDLE file) { return file != INVALID_HANDLE_VALUE && file != nullptr; }

// Steps 2 to 6 of the classification, from a first box that is known to
// stand at top level. `brands` holds the first `brands_size` bytes of an
// "ftyp" first box, or is null.
WUFILEID_IDENTIFIED_TYPE Classify(HANDLE file, const WUMP4BOXHEADER& first, const BYTE* brands,
                                  DWORD brands_size) {
  Flags f;
  if (first.dwType == kFtyp && first.qwSize >= 16 && brands != nullptr && brands_size >= 16) {
    EvaluateBrands(brands, brands_size, &f);
    if (!f.plain_mp4 && !f.avc_brand && !f.mp4_family) return WUFILEID_UNKNOWN;
  }
  if (f.avc_brand && f.avc_confirmed && !f.plain_mp4) return WUFILEID_MP4_AVC;
  // Memory alone: the answer rests on the brands.
  if (!HasFile(file)) return Answer(f);

  LONGLONG file_size = rifffile::Size(file);
  if (file_size < 0) return Answer(f);
  WUMP4BOXHEADER moov;
  if (first.dwType == kMoov) {
    if (!rifffile::SeekTo(file, 0) || !WuMp4ReadBoxHeader(file, file_size, &moov)) return Answer(f);
  } else if (!FindBox(file, kMoov, first.End(), file_size, &moov)) {
    return WUFILEID_UNKNOWN;
  }
  for (ULONGLONG at = moov.PayloadStart(); at < moov.End();) {
    WUMP4BOXHEADER child;
    if (!rifffile::SeekTo(file, at) || !WuMp4ReadBoxHeader(file, moov.End(), &child)) break;
    at = child.End();
    if (child.dwType == WuMp4Type("trak")) WalkTrack(file, child, &f);
  }
  return Answer(f);
}

}  // namespace

BOOL WuMp4ReadBoxHeaderFromMemory(const BYTE* data, DWORD size, WUMP4BOXHEADER* h) {
  if (data == nullptr || h == nullptr || size < 8) return FALSE;
  DWORD stored = Get32(data);
  if (stored < 8 || stored > size) return FALSE;
  StartHeader(h, stored, Get32(data + 4), 0);
  h->qwSize = stored;
  if (h->dwType == kUuid) {
    if (stored < 24) return FALSE;
    std::memcpy(h->userType, data + 8, 16);
    h->dwHeaderSize += 16;
  }
  const BoxKind* kind = FindKind(h->dwType);
  if (kind == nullptr) return TRUE;
  h->bTopLevel = kind->top_level;
  h->lEntryCount = kind->container ? -1 : 0;
  if (kind->full_box && h->dwHeaderSize + 4 <= stored) {
    h->dwVersionFlags = Get32(data + h->dwHeaderSize);
    h->dwHeaderSize += 4;
    if (kind->entry_count && h->dwHeaderSize + 4 <= stored) {
      h->lEntryCount = static_cast<LONG>(Get32(data + h->dwHeaderSize));
      h->dwHeaderSize += 4;
    }
  }
  return TRUE;
}

BOOL WuMp4ReadBoxHeader(HANDLE file, ULONGLONG limit, WUMP4BOXHEADER* h) {
  if (h == nullptr) return FALSE;
  LONGLONG position = rifffile::Tell(file);
  if (position < 0 || static_cast<ULONGLONG>(position) >= limit) return FALSE;
  const ULONGLONG offset = static_cast<ULONGLONG>(position);
  BYTE bytes[16];
  if (!ReadBytes(file, bytes, 8)) return FALSE;
  StartHeader(h, Get32(bytes), Get32(bytes + 4), offset);
  if (h->dwStoredSize == 0) {
    h->qwSize = limit - offset;
  } else if (h->dwStoredSize == 1) {
    if (!ReadBytes(file, bytes + 8, 8)) return FALSE;
    h->qwSize = Get64(bytes + 8);
    h->dwHeaderSize += 8;
  } else {
    h->qwSize = h->dwStoredSize;
  }
  if (h->dwType == kUuid) {
    if (!ReadBytes(file, h->userType, 16)) return FALSE;
    h->dwHeaderSize += 16;
  }
  if (const BoxKind* kind = FindKind(h->dwType)) {
    h->bTopLevel = kind->top_level;
    h->lEntryCount = kind->container ? -1 : 0;
    if (kind->full_box) {
      if (!ReadBytes(file, bytes, 4)) return FALSE;
      h->dwVersionFlags = Get32(bytes);
      h->dwHeaderSize += 4;
      if (kind->entry_count) {
        if (!ReadBytes(file, bytes, 4)) return FALSE;
        h->lEntryCount = static_cast<LONG>(Get32(bytes));
        h->dwHeaderSize += 4;
      }
    }
  }
  return h->qwSize >= h->dwHeaderSize && h->qwSize <= limit - offset;
}

WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyBuffer(HANDLE file, const BYTE* data, DWORD size) {
  WUMP4BOXHEADER first;
  if (!WuMp4ReadBoxHeaderFromMemory(data, size, &first) || !first.bTopLevel) return WUFILEID_UNKNOWN;
  return Classify(file, first, data, static_cast<DWORD>(first.qwSize));
}

WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyFile(HANDLE file) {
  if (!HasFile(file)) return WUFILEID_UNKNOWN;
  LONGLONG file_size = rifffile::Size(file);
  WUMP4BOXHEADER first;
  if (file_size < 0 || !rifffile::SeekTo(file, 0) || !WuMp4ReadBoxHeader(file, file_size, &first) ||
      !first.bTopLevel)
    return WUFILEID_UNKNOWN;
  std::unique_ptr<BYTE[]> brands;
  DWORD brands_size = 0;
  if (first.dwType == kFtyp && first.qwSize >= 16) {
    brands_size = first.qwSize < kMaxFtyp ? static_cast<DWORD>(first.qwSize) : kMaxFtyp;
    brands.reset(new BYTE[brands_size]);
    if (!rifffile::SeekTo(file, 0) || !ReadBytes(file, brands.get(), brands_size)) return WUFILEID_UNKNOWN;
  }
  return Classify(file, first, brands.get(), brands_size);
}

WUFILEID_IDENTIFIED_TYPE WuMp4ClassifyFileW(const WCHAR* file_name) {
  if (file_name == nullptr) return WUFILEID_UNKNOWN;
  HANDLE file = CreateFileW(file_name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WUFILEID_UNKNOWN;
  WUFILEID_IDENTIFIED_TYPE type = WuMp4ClassifyFile(file);
  CloseHandle(file);
  return type;
}
