// Project-link chunks in RIFF and RIFF64 files and side files: loaders,
// writers, deletion and the metadata-reader path.
#include "shellui/ProjectLinkChunks.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "mediaformats/FormAppend.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffStatus.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

// Presence bits and resets of the record, for the loaders.
struct ProjectLinkRecordAccess {
  static void Mark(CWuLinkProjectInfo& r, DWORD bits) { r.m_dwFlags |= bits; }
  static void Reset(CWuLinkProjectInfo& r) {
    r.FreeMemory();
    r.Init();
  }
  // Frees every buffer and clears every bit (a failed file load).
  static void Clear(CWuLinkProjectInfo& r) {
    r.FreeMemory();
    r.m_dwFlags = 0;
  }
};

namespace {

using Access = ProjectLinkRecordAccess;

// ---- The chunk table -----------------------------------------------------------

// How the chunk code reaches one buffer field of the record.
struct FieldAccess {
  void (*adopt)(CWuLinkProjectInfo&, void*, DWORD);  // SetXToBuffer
  const void* (*data)(const CWuLinkProjectInfo&);      // the buffer
  DWORD (*bytes)(const CWuLinkProjectInfo&);           // its size
};

#define LINK_FIELD_ACCESS(Name, Getter, Bit, Kind)                                           \
  constexpr FieldAccess k##Name##Access = {                                                  \
      [](CWuLinkProjectInfo& r, void* p, DWORD n) {                                          \
        r.Set##Name##ToBuffer(static_cast<WULPI_PTR_##Kind>(p), n);                          \
      },                                                                                     \
      [](const CWuLinkProjectInfo& r) -> const void* { return r.Getter(); },                 \
      [](const CWuLinkProjectInfo& r) { return r.Get##Name##Size(); }};
WU_LINK_PROJECT_FIELDS(LINK_FIELD_ACCESS)
#undef LINK_FIELD_ACCESS

enum class ChunkKind { kText, kData, kGuid };

struct LinkChunk {
  FOURCC id;                  // RIFF id
  GUID guid;                  // RIFF64 id
  DWORD bit;                  // presence bit
  ChunkKind kind;             // how the content is taken
  DWORD min_bytes;            // the smallest content a loader takes
  const FieldAccess* field;   // the buffer field (null for the GUID)
};

// The fields' chunks in the order they are written and loaded.
const LinkChunk kChunks[] = {
    {RiffId("splp"), {0x830AC81C, 0x4C96, 0x4F91, {0x99, 0x75, 0xC7, 0x07, 0xE1, 0x73, 0x6E, 0xC7}},
     WULPI_PROJECT_PATH, ChunkKind::kText, 3, &kProjectPathAccess},
    {RiffId("spcl"), {0xCBE52EDB, 0xC5D2, 0x44BC, {0xB5, 0xDC, 0xEF, 0x55, 0xE9, 0x46, 0xF0, 0x73}},
     WULPI_COMMAND_LINE, ChunkKind::kText, 2, &kCommandLineAccess},
    {RiffId("sprg"), {0x9F4A912F, 0x9D66, 0x426E, {0xA7, 0x81, 0xF9, 0xE7, 0xE0, 0x15, 0x24, 0xFE}},
     WULPI_RENDERER_GUID, ChunkKind::kGuid, 16, nullptr},
    {RiffId("srtn"), {0xB5EDD3A2, 0x0673, 0x4466, {0x84, 0x46, 0xCA, 0x87, 0xDD, 0x80, 0xA4, 0x87}},
     WULPI_TEMPLATE_NAME, ChunkKind::kText, 1, &kTemplateNameAccess},
    {RiffId("srtd"), {0x7834233F, 0x573A, 0x475E, {0x8F, 0x02, 0x56, 0x8D, 0x13, 0x1B, 0xE2, 0xDF}},
     WULPI_TEMPLATE_DATA, ChunkKind::kData, 1, &kTemplateDataAccess},
    {RiffId("srat"), {0x29C90B65, 0xD288, 0x4F92, {0x81, 0x4F, 0x1C, 0x67, 0x59, 0x3A, 0x68, 0x60}},
     WULPI_APP_TEMPLATE_DATA, ChunkKind::kData, 1, &kAppTemplateDataAccess},
    {RiffId("spca"), {0xFCD163D0, 0xD709, 0x4568, {0x91, 0x10, 0x83, 0x1D, 0x2C, 0x94, 0x55, 0xF2}},
     WULPI_CREATOR_APP_INFO, ChunkKind::kText, 1, &kCreatorAppInfoAccess},
    {RiffId("spcc"), {0x738F13D9, 0xB70F, 0x4309, {0x98, 0x8E, 0x48, 0x42, 0x53, 0x26, 0xF6, 0x69}},
     WULPI_CREATOR_WINDOW_CLASS, ChunkKind::kText, 1, &kCreatorAppWindowClassNameAccess},
    {RiffId("spem"), {0x6D0BE4ED, 0xC296, 0x4596, {0x93, 0x43, 0x25, 0xEC, 0x04, 0x37, 0x54, 0xED}},
     WULPI_PROJECT_DATA, ChunkKind::kData, 1, &kProjectDataAccess},
};
constexpr int kPath = 0, kCommand = 1, kAppTemplateData = 5;

// The deletion order: "splv" first, then these entries of kChunks.
constexpr int kDeleteOrder[] = {6, 7, 0, 1, 8, 2, 3, 4, 5};

// ---- Files -------------------------------------------------------------------

bool SeekTo(HANDLE file, ULONGLONG position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

LONGLONG Tell(HANDLE file) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  return SetFilePointerEx(file, zero, &at, FILE_CURRENT) ? at.QuadPart : -1;
}

LONGLONG FileSize(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? size.QuadPart : -1;
}

// Bytes from the position to the end of the file.
ULONGLONG BytesToEnd(HANDLE file) {
  LONGLONG here = Tell(file);
  LONGLONG end = FileSize(file);
  return here >= 0 && end > here ? static_cast<ULONGLONG>(end - here) : 0;
}

HRESULT WriteBytes(HANDLE file, const void* data, DWORD count) {
  DWORD written = 0;
  if (!WriteFile(file, data, count, &written, nullptr) || written != count) return RIFF_E_WRITE;
  return S_OK;
}

// ---- Texts -----------------------------------------------------------------------

// The size a text field of `size` bytes is stored with: as it is when it
// ends in a NUL unit, else rounded up to even with a NUL unit added.
ULONGLONG TerminatedSize(const BYTE* text, DWORD size) {
  if (size >= 2 && !(size & 1) && text[size - 2] == 0 && text[size - 1] == 0) return size;
  return (static_cast<ULONGLONG>(size) + 1) / 2 * 2 + 2;
}

// Makes a text block (of `size` bytes) end in a NUL unit, copying it into
// a larger zero-filled block when it does not. E_OUTOFMEMORY leaves the
// caller's block as it was.
HRESULT TerminateText(void** block, DWORD* size) {
  ULONGLONG want = TerminatedSize(static_cast<const BYTE*>(*block), *size);
  if (want == *size) return S_OK;
  if (want > 0xFFFFFFFFull) return WU_E_STREAM_UNREADABLE;
  void* grown = WuGlobalNew(static_cast<DWORD>(want));
  if (!grown) return E_OUTOFMEMORY;
  if (*size) std::memcpy(grown, *block, *size);
  WuGlobalDelete(*block);
  *block = grown;
  *size = static_cast<DWORD>(want);
  return S_OK;
}

// ---- Loading from files ------------------------------------------------------------

// One form seen by a loader: RIFF or RIFF64, the start of its body and the
// bytes it declares after the form type.
struct Form {
  bool riff64;
  ULONGLONG body;
  ULONGLONG bytes;
};

// Finds `chunk` (the version when null) from the body start over the
// whole form. S_OK with the file at its data and *size its content;
// RIFF_E_NOT_FOUND; RIFF_E_READ for a header that cannot be read or a
// content that runs past the form or the file.
HRESULT FindInForm(HANDLE file, const Form& form, const LinkChunk* chunk, ULONGLONG* size) {
  if (!SeekTo(file, form.body)) return RIFF_E_READ;
  if (form.riff64) {
    LONGLONG left = static_cast<LONGLONG>(std::min<ULONGLONG>(form.bytes, 0x7FFFFFFFFFFFFFFFull));
    HRESULT hr = riff64_FindChunkHeader(file, chunk ? chunk->guid : kProjectLinkGuidVersion, size,
                                        &left);
    if (FAILED(hr)) return hr;
    if (left < 0 || *size > static_cast<ULONGLONG>(left)) return RIFF_E_READ;
  } else {
    DWORD left = static_cast<DWORD>(form.bytes);
    DWORD found = 0;
    HRESULT hr = riff_FindChunkHeader(file, chunk ? chunk->id : kProjectLinkVersionId, &found, &left);
    if (FAILED(hr)) return hr;
    *size = found;
    if (found > left) return RIFF_E_READ;
  }
  if (*size > BytesToEnd(file) || *size > 0xFFFFFFFFull) return RIFF_E_READ;
  return S_OK;
}

HRESULT ReadContent(HANDLE file, const Form& form, void* buffer, DWORD size) {
  return form.riff64 ? riff64_ReadDataBounded(file, buffer, size, size)
                     : riff_ReadDataBounded(file, buffer, size, size);
}

// Loads the version and every field chunk of the form into `info`.
HRESULT LoadChunks(HANDLE file, const Form& form, CWuLinkProjectInfo* info) {
  ULONGLONG size = 0;
  HRESULT hr = FindInForm(file, form, nullptr, &size);
  if (hr == RIFF_E_NOT_FOUND) return RIFF_E_WRONG_FORM;
  if (FAILED(hr)) return hr;
  if (size != 4) return RIFF_E_WRONG_FORM;
  BYTE version[4];
  if (FAILED(ReadContent(file, form, version, 4))) return RIFF_E_READ;
  DWORD value = riffbytes::Get32(version);
  if (value > 0x01FFFFFF) return WU_E_VERSION_TOO_HIGH;
  info->SetVersion(value);

  for (int i = 0; i < static_cast<int>(std::size(kChunks)); ++i) {
    const LinkChunk& chunk = kChunks[i];
    // The application's template data counts only with the template data.
    if (i == kAppTemplateData && !(info->GetFlags() & WULPI_TEMPLATE_DATA)) continue;
    hr = FindInForm(file, form, &chunk, &size);
    bool required = form.riff64 && (i == kPath || i == kCommand);
    if (hr == RIFF_E_NOT_FOUND) {
      if (required) return RIFF_E_WRONG_FORM;
      continue;
    }
    if (FAILED(hr)) return hr;
    if (chunk.kind == ChunkKind::kGuid ? size != 16 : size < chunk.min_bytes) {
      if (required) return RIFF_E_WRONG_FORM;
      continue;
    }
    DWORD bytes = static_cast<DWORD>(size);
    if (chunk.kind == ChunkKind::kGuid) {
      BYTE guid[16];
      if (FAILED(ReadContent(file, form, guid, 16))) return RIFF_E_READ;
      info->SetRendererGuid(riffbytes::GetGuid(guid));
      continue;
    }
    // Texts get room for a NUL unit that the chunk may lack.
    ULONGLONG room = chunk.kind == ChunkKind::kText ? (size + 1) / 2 * 2 + 2 : size;
    if (room > 0xFFFFFFFFull) return RIFF_E_READ;
    void* block = WuGlobalNew(static_cast<DWORD>(room));
    if (!block) return E_OUTOFMEMORY;
    if (FAILED(ReadContent(file, form, block, bytes))) {
      WuGlobalDelete(block);
      return RIFF_E_READ;
    }
    if (chunk.kind == ChunkKind::kText)
      bytes = static_cast<DWORD>(TerminatedSize(static_cast<const BYTE*>(block), bytes));
    chunk.field->adopt(*info, block, bytes);
    Access::Mark(*info, chunk.bit);
  }
  return S_OK;
}

HRESULT LoadFromFile(HANDLE file, CWuLinkProjectInfo* info, int* loaded, bool riff64) {
  if (!info || !loaded) return E_INVALIDARG;
  *loaded = 0;
  Access::Reset(*info);
  if (!SeekTo(file, 0)) return RIFF_E_READ;
  Form form{riff64, 0, 0};
  HRESULT hr;
  if (riff64) {
    GUID type;
    hr = riff64_ReadFileID(file, &form.bytes, &type);
    form.body = kRiff64DataStart;
  } else {
    DWORD bytes = 0;
    FOURCC type = 0;
    hr = riff_ReadFileID(file, &bytes, &type);
    form.bytes = bytes;
    form.body = kRiffDataStart;
  }
  if (SUCCEEDED(hr)) hr = LoadChunks(file, form, info);
  if (FAILED(hr)) {
    Access::Clear(*info);
    return hr;
  }
  *loaded = riff64 || (info->GetFlags() != 0) ? 1 : 0;
  return S_OK;
}

// ---- Writing into files ---------------------------------------------------------------

formappend::Layout LayoutOf(bool riff64) {
  return riff64 ? formappend::Layout::kRiff64 : formappend::Layout::kRiff;
}

// Slots of the set: 0 the version, 1 + i the chunk kChunks[i].
constexpr int kSetSlots = 1 + static_cast<int>(std::size(kChunks));

FOURCC SlotId(int slot) { return slot ? kChunks[slot - 1].id : kProjectLinkVersionId; }
const GUID& SlotGuid(int slot) { return slot ? kChunks[slot - 1].guid : kProjectLinkGuidVersion; }

// How many chunks of each slot the form holds; the form's chunks were
// found to end at its end (formappend::Find), so the walk stays inside.
HRESULT CountSet(HANDLE file, bool riff64, const formappend::Point& form, DWORD (&counts)[kSetSlots]) {
  for (DWORD& count : counts) count = 0;
  ULONGLONG at = riff64 ? kRiff64DataStart : kRiffDataStart;
  while (at < form.form_end) {
    if (!SeekTo(file, at)) return RIFF_E_READ;
    HRESULT hr;
    if (riff64) {
      GUID id;
      ULONGLONG size = 0;
      hr = riff64_ReadChunkHeader(file, &id, &size);
      for (int slot = 0; SUCCEEDED(hr) && slot < kSetSlots; ++slot)
        if (IsEqualGUID(id, SlotGuid(slot))) ++counts[slot];
      at += kRiff64HeaderBytes + riffbytes::Pad8(size);
    } else {
      FOURCC id = 0;
      DWORD size = 0;
      hr = riff_ReadChunkHeader(file, &id, &size);
      for (int slot = 0; SUCCEEDED(hr) && slot < kSetSlots; ++slot)
        if (id == SlotId(slot)) ++counts[slot];
      at += 8 + riffbytes::PadEven(size);
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// How many chunks of each slot the deletes will cut: the form's chunks
// walked as the chunk search walks them, up to the form's end or the end
// of the file, whichever comes first. A chunk of the set that claims more
// than the form holds cannot be cut (RIFF_E_WRONG_FORM); it is met here,
// before anything is deleted, so that a refused delete changes nothing.
HRESULT CountSetToDelete(HANDLE file, bool riff64, DWORD (&counts)[kSetSlots]) {
  for (DWORD& count : counts) count = 0;
  if (!SeekTo(file, 0)) return RIFF_E_READ;
  ULONGLONG left = 0;
  HRESULT hr;
  if (riff64) {
    hr = riff64_ReadFileID(file, &left, nullptr);
  } else {
    DWORD bytes = 0;
    hr = riff_ReadFileID(file, &bytes, nullptr);
    left = bytes;
  }
  if (FAILED(hr)) return hr;
  ULONGLONG at = riff64 ? kRiff64DataStart : kRiffDataStart;
  const ULONGLONG header = riff64 ? kRiff64HeaderBytes : 8;
  while (left >= header) {
    if (!SeekTo(file, at)) return RIFF_E_READ;
    int slot = -1;
    ULONGLONG size = 0;
    if (riff64) {
      GUID id;
      if (FAILED(riff64_ReadChunkHeader(file, &id, &size))) break;  // the file ends first
      for (int s = 0; s < kSetSlots; ++s)
        if (IsEqualGUID(id, SlotGuid(s))) slot = s;
    } else {
      FOURCC id = 0;
      DWORD small = 0;
      if (FAILED(riff_ReadChunkHeader(file, &id, &small))) break;  // the file ends first
      size = small;
      for (int s = 0; s < kSetSlots; ++s)
        if (id == SlotId(s)) slot = s;
    }
    left -= header;
    if (slot >= 0) {
      if (size > left) return RIFF_E_WRONG_FORM;
      ++counts[slot];
    }
    ULONGLONG padded = riff64 ? riffbytes::Pad8(size) : riffbytes::PadEven(size);
    left = padded >= left ? 0 : left - padded;
    at += header + padded;
  }
  return S_OK;
}

// Puts one chunk: `id` in a RIFF form, `guid` in a RIFF64 form.
HRESULT PutChunk(HANDLE file, bool riff64, FOURCC id, const GUID& guid, const void* data,
                 DWORD size, ULONGLONG* added) {
  *added = 0;
  if (!data) return E_INVALIDARG;
  formappend::Point form;
  HRESULT hr = formappend::Find(file, LayoutOf(riff64), &form);
  if (FAILED(hr)) return hr;
  // Search the form for the id.
  ULONGLONG found_size = 0;
  ULONGLONG left = 0;
  if (!SeekTo(file, riff64 ? kRiff64DataStart : kRiffDataStart)) return RIFF_E_READ;
  if (riff64) {
    LONGLONG counter = static_cast<LONGLONG>(form.form_end - kRiff64DataStart);
    hr = riff64_FindChunkHeader(file, guid, &found_size, &counter);
    left = counter > 0 ? static_cast<ULONGLONG>(counter) : 0;
  } else {
    DWORD counter = static_cast<DWORD>(form.form_end - kRiffDataStart);
    DWORD found = 0;
    hr = riff_FindChunkHeader(file, id, &found, &counter);
    found_size = found;
    left = counter;
  }
  if (FAILED(hr) && hr != RIFF_E_NOT_FOUND) return hr;
  bool found = SUCCEEDED(hr);
  if (found) {
    if (found_size > left) return RIFF_E_WRONG_FORM;  // runs past the form
    if (found_size == size) return WriteBytes(file, data, size);  // in place, same size
  }
  // The new chunk is appended and the form grown first (a failed write
  // leaves the file as it was); only then are the old chunks of the id
  // retired: "JUNK" in RIFF, a zero id in RIFF64.
  ULONGLONG written = 0;
  hr = formappend::Begin(file, LayoutOf(riff64), &form);
  if (FAILED(hr)) return hr;
  hr = ProjectLinkWriteChunkEither(file, riff64, id, guid, data, size, &written);
  hr = formappend::End(file, form, hr, written);
  if (FAILED(hr)) return hr;
  if (found) {
    static const BYTE kZeroId[16] = {};
    BYTE old_id[16];
    if (riff64)
      riffbytes::PutGuid(old_id, guid);
    else
      riffbytes::Put32(old_id, id);
    hr = formappend::Retire(file, form, old_id, riff64 ? kZeroId : reinterpret_cast<const BYTE*>("JUNK"));
    if (FAILED(hr)) return hr;
  }
  *added = form.at - form.form_end + written;
  return S_OK;
}

// Deletes chunks of the set in the deletion order: of each slot `counts`
// of them (all from the first one found), or without counts every one the
// form holds, so that no link is left to load.
template <class Count>
HRESULT DeleteSet(HANDLE file, bool riff64, Count* removed, const DWORD* counts = nullptr) {
  if (removed) *removed = 0;
  DWORD all[kSetSlots];
  if (!counts) {
    HRESULT hr = CountSetToDelete(file, riff64, all);
    if (FAILED(hr)) return hr;
    counts = all;
  }
  Count total = 0;
  for (int i = -1; i < static_cast<int>(std::size(kDeleteOrder)); ++i) {
    int slot = i < 0 ? 0 : kDeleteOrder[i] + 1;
    for (DWORD n = 0; n < counts[slot]; ++n) {
      HRESULT hr;
      if (riff64) {
        ULONGLONG gone = 0;
        hr = riff64_DeleteChunk(file, SlotGuid(slot), &gone);
        if (SUCCEEDED(hr)) total += static_cast<Count>(gone);
      } else {
        DWORD gone = 0;
        hr = riff_DeleteChunk(file, SlotId(slot), &gone, FALSE);
        if (SUCCEEDED(hr)) total += static_cast<Count>(gone);
      }
      if (hr == RIFF_E_NOT_FOUND) break;
      if (FAILED(hr)) {
        if (removed) *removed = total;
        return hr;
      }
    }
  }
  if (removed) *removed = total;
  return S_OK;
}

// One chunk of a record to write: its slot and content.
struct Piece {
  int slot;
  const void* data;
  DWORD size;
};

HRESULT WriteInfo(HANDLE file, const CWuLinkProjectInfo* info, bool riff64) {
  if (!info) return E_INVALIDARG;
  if (FAILED(info->Validate())) return WU_E_INVALID_PROJECT_LINK;
  // A form whose chunks do not end at its end is refused untouched.
  formappend::Point form;
  HRESULT hr = formappend::Find(file, LayoutOf(riff64), &form);
  if (FAILED(hr)) return hr;
  DWORD flags = info->GetFlags();
  BYTE guid[16];
  BYTE version[4];
  riffbytes::Put32(version, kProjectLinkVersion);
  std::vector<Piece> pieces;
  for (int i = 0; i < static_cast<int>(std::size(kChunks)); ++i) {
    const LinkChunk& chunk = kChunks[i];
    if (!(flags & chunk.bit)) continue;
    if (i == kAppTemplateData && !(flags & WULPI_TEMPLATE_DATA)) continue;
    if (chunk.kind == ChunkKind::kGuid) {
      riffbytes::PutGuid(guid, *const_cast<CWuLinkProjectInfo*>(info)->GetRendererGuid());
      pieces.push_back({i + 1, guid, 16});
      continue;
    }
    const void* data = chunk.field->data(*info);
    DWORD size = chunk.field->bytes(*info);
    if (data && size) pieces.push_back({i + 1, data, size});
  }
  // Nothing to write: the old set goes.
  if (pieces.empty()) return DeleteSet<ULONGLONG>(file, riff64, nullptr);
  pieces.push_back({0, version, 4});
  // The new set is appended whole, and the form grown once, before the old
  // set goes: a failed write leaves the old link (and the file) as it was.
  DWORD old[kSetSlots];
  hr = CountSet(file, riff64, form, old);
  if (FAILED(hr)) return hr;
  hr = formappend::Append(file, LayoutOf(riff64), [&](ULONGLONG* written) {
    *written = 0;
    for (const Piece& piece : pieces) {
      ULONGLONG count = 0;
      HRESULT put = ProjectLinkWriteChunkEither(file, riff64, SlotId(piece.slot), SlotGuid(piece.slot),
                                                piece.data, piece.size, &count);
      if (FAILED(put)) return put;
      *written += count;
    }
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  // The old chunks stand before the new ones: each slot's first ones go.
  return DeleteSet<ULONGLONG>(file, riff64, nullptr, old);
}

// ---- Metadata streams -------------------------------------------------------------------

// The whole size of a stream, leaving it at its start.
HRESULT StreamSize(IStream* stream, ULONGLONG* size) {
  if (!stream) return E_INVALIDARG;
  LARGE_INTEGER zero;
  zero.QuadPart = 0;
  ULARGE_INTEGER end;
  end.QuadPart = 0;
  if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end))) return WU_E_STREAM_UNREADABLE;
  if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return WU_E_STREAM_UNREADABLE;
  *size = end.QuadPart;
  if (*size > 0xFFFFFFFFull) return WU_E_STREAM_UNREADABLE;
  return S_OK;
}

HRESULT ReadExactly(IStream* stream, void* buffer, DWORD count) {
  if (!count) return S_OK;
  ULONG read = 0;
  HRESULT hr = stream->Read(buffer, count, &read);
  if (FAILED(hr) || read != count) return WU_E_STREAM_UNREADABLE;
  return S_OK;
}

// A getter of the project-link kind, in the order the fields are read,
// with the chunk entry the stream fills.
struct MetaField {
  HRESULT (IWuReadMetaProjectLink::*get)(IStream**);
  int chunk;
};
const MetaField kMetaFields[] = {
    {&IWuReadMetaProjectLink::GetProjectPath, 0},
    {&IWuReadMetaProjectLink::GetCommandLine, 1},
    {&IWuReadMetaProjectLink::GetRendererGuid, 2},
    {&IWuReadMetaProjectLink::GetTemplateName, 3},
    {&IWuReadMetaProjectLink::GetTemplateData, 4},
    {&IWuReadMetaProjectLink::GetAppTemplateData, 5},
    {&IWuReadMetaProjectLink::GetCreatorAppInfo, 6},
    {&IWuReadMetaProjectLink::GetCreatorWindowClassName, 7},
    {&IWuReadMetaProjectLink::GetProjectData, 8},
};

// Takes one field from its stream into the record.
HRESULT TakeStream(IStream* stream, const LinkChunk& chunk, CWuLinkProjectInfo* info) {
  if (chunk.kind == ChunkKind::kGuid) {
    BYTE bytes[16];
    ULONGLONG size = 0;
    HRESULT hr = ReadStreamToBuffer(stream, bytes, 16, &size);
    if (FAILED(hr)) return hr;
    if (size == 16) info->SetRendererGuid(riffbytes::GetGuid(bytes));
    return S_OK;
  }
  void* block = nullptr;
  DWORD size = 0;
  HRESULT hr = ReadStreamToGlobal(stream, &block, &size);
  if (FAILED(hr)) return hr;
  // An empty stream still offers the field: present without bytes, which
  // the record's validation refuses.
  if (block && chunk.kind == ChunkKind::kText) {
    hr = TerminateText(&block, &size);
    if (FAILED(hr)) {
      WuGlobalDelete(block);
      return hr;
    }
  }
  chunk.field->adopt(*info, block, size);
  Access::Mark(*info, chunk.bit);
  return S_OK;
}

// The version the version kind offers, or the written default.
DWORD ReadVersion(IWuReadMeta* reader) {
  DWORD version = kProjectLinkVersion;
  IWuReadMetaVersion* kind = nullptr;
  if (FAILED(reader->QueryInterface(IID_IWuReadMetaVersion, reinterpret_cast<void**>(&kind))) ||
      !kind)
    return version;
  IStream* stream = nullptr;
  if (SUCCEEDED(kind->GetVersion(&stream, 0)) && stream) {
    BYTE bytes[4];
    ULONGLONG size = 0;
    // A stream shorter than 4 bytes would replace only part of the value.
    if (SUCCEEDED(ReadStreamToBuffer(stream, bytes, 4, &size)) && size >= 4)
      version = riffbytes::Get32(bytes);
    stream->Release();
  }
  kind->Release();
  return version;
}

// Opens the project-link kind of a reader; null when it has none.
IWuReadMetaProjectLink* OpenKind(IWuReadMeta* reader, HRESULT* result) {
  IWuReadMetaProjectLink* kind = nullptr;
  *result = reader->QueryInterface(IID_IWuReadMetaProjectLink, reinterpret_cast<void**>(&kind));
  if (FAILED(*result)) return nullptr;
  return kind;
}

template <class WriteInfoFn>
HRESULT OpenAndWrite(LPCWSTR path, IWuReadMeta* reader, bool side_file, WriteInfoFn write_info) {
  if (!reader) return S_OK;
  if (!path) return E_INVALIDARG;
  WCHAR side[kMetaSideNameChars + 8];
  LPCWSTR target = path;
  if (side_file) {
    HRESULT hr = WuFMMeta_CreateMetaName(path, side, static_cast<DWORD>(std::size(side)), 1);
    if (FAILED(hr)) return hr;
    target = side;
  }
  HRESULT hr = S_OK;
  IWuReadMetaProjectLink* kind = OpenKind(reader, &hr);
  if (!kind) return S_OK;

  HANDLE file = CreateFileW(target, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    hr = WuErrorHandler_TranslateWin32Error(GetLastError());
    kind->Release();
    return hr;
  }
  bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  bool wrote = false;
  if (side_file && created) {
    hr = riff_WriteFileID(file, kMetaSideForm, 4);
    if (SUCCEEDED(hr)) hr = WuFMMeta_WriteAttachedNameChunk(file, path);
  }
  if (SUCCEEDED(hr)) {
    CWuLinkProjectInfo info;
    hr = ProjectLinkMeta_ReadFields(reader, kind, &info);
    if (hr == S_OK) {
      hr = write_info(file, &info);
      wrote = SUCCEEDED(hr);
    } else if (SUCCEEDED(hr)) {
      hr = S_OK;  // no project link: nothing written
    }
  }
  CloseHandle(file);
  // A target made here that ends up without a link is removed again.
  if (created && !wrote) DeleteFileW(target);
  kind->Release();
  return hr;
}

}  // namespace

// ---- Exported functions --------------------------------------------------------------------

HRESULT ProjectLinkRiff_LoadInfo(HANDLE file, CWuLinkProjectInfo* info, int* loaded) {
  return LoadFromFile(file, info, loaded, false);
}

HRESULT ProjectLinkRiff64_LoadInfo(HANDLE file, CWuLinkProjectInfo* info, int* loaded) {
  return LoadFromFile(file, info, loaded, true);
}

HRESULT ReadStreamToGlobal(IStream* stream, void** block, DWORD* size) {
  if (!block || !size) return E_INVALIDARG;
  *block = nullptr;
  *size = 0;
  ULONGLONG bytes = 0;
  HRESULT hr = StreamSize(stream, &bytes);
  if (FAILED(hr)) return hr;
  if (!bytes) return S_OK;
  void* data = WuGlobalNew(static_cast<DWORD>(bytes));
  if (!data) return E_OUTOFMEMORY;
  hr = ReadExactly(stream, data, static_cast<DWORD>(bytes));
  if (FAILED(hr)) {
    WuGlobalDelete(data);
    return hr;
  }
  *block = data;
  *size = static_cast<DWORD>(bytes);
  return S_OK;
}

HRESULT ReadStreamToBuffer(IStream* stream, void* buffer, DWORD capacity, ULONGLONG* size) {
  if (!size || (!buffer && capacity)) return E_INVALIDARG;
  *size = 0;
  ULONGLONG bytes = 0;
  HRESULT hr = StreamSize(stream, &bytes);
  if (FAILED(hr)) return hr;
  hr = ReadExactly(stream, buffer, static_cast<DWORD>(std::min<ULONGLONG>(bytes, capacity)));
  if (FAILED(hr)) return hr;
  *size = bytes;
  return S_OK;
}

HRESULT ProjectLinkMeta_ReadFields(IWuReadMeta* reader, IWuReadMetaProjectLink* kind,
                                   CWuLinkProjectInfo* info) {
  if (!reader || !kind || !info) return E_INVALIDARG;
  HRESULT failure = S_OK;
  for (const MetaField& field : kMetaFields) {
    IStream* stream = nullptr;
    HRESULT hr = (kind->*field.get)(&stream);
    if (hr == RIFF_E_NOT_FOUND) continue;
    if (SUCCEEDED(hr) && stream) hr = TakeStream(stream, kChunks[field.chunk], info);
    if (stream) stream->Release();
    if (FAILED(hr)) {
      failure = hr;
      break;
    }
  }
  info->SetVersion(ReadVersion(reader));
  if (FAILED(failure)) return failure;
  if (!info->GetFlags()) return S_FALSE;
  return info->Validate();
}

HRESULT ProjectLinkReadMeta_LoadInfo(IWuReadMeta* reader, CWuLinkProjectInfo* info, int* loaded) {
  if (!reader || !info || !loaded) return E_INVALIDARG;
  *loaded = 0;
  HRESULT hr = S_OK;
  IWuReadMetaProjectLink* kind = OpenKind(reader, &hr);
  if (!kind) return hr;
  ProjectLinkMeta_ReadFields(reader, kind, info);
  hr = info->Validate();
  if (SUCCEEDED(hr)) *loaded = 1;
  kind->Release();
  return hr;
}

HRESULT ProjectLinkRiff_WriteInfo(HANDLE file, const CWuLinkProjectInfo* info) {
  return WriteInfo(file, info, false);
}

HRESULT ProjectLinkRiff64_WriteInfo(HANDLE file, const CWuLinkProjectInfo* info) {
  return WriteInfo(file, info, true);
}

HRESULT ProjectLinkRiff_DeleteInfo(HANDLE file, DWORD* removed) {
  return DeleteSet(file, false, removed);
}

HRESULT ProjectLinkRiff64_DeleteInfo(HANDLE file, ULONGLONG* removed) {
  return DeleteSet(file, true, removed);
}

HRESULT ProjectLinkRiff_PutChunk(HANDLE file, FOURCC id, const void* data, DWORD size,
                                 DWORD* added) {
  ULONGLONG count = 0;
  HRESULT hr = PutChunk(file, false, id, GUID{}, data, size, &count);
  if (added) *added = static_cast<DWORD>(count);
  return hr;
}

HRESULT ProjectLinkRiff64_PutChunk(HANDLE file, const GUID& id, const void* data, DWORD size,
                                   ULONGLONG* added) {
  ULONGLONG count = 0;
  HRESULT hr = PutChunk(file, true, 0, id, data, size, &count);
  if (added) *added = count;
  return hr;
}

HRESULT ProjectLinkWriteChunkEither(HANDLE file, BOOL riff64, FOURCC id, const GUID& guid,
                                    const void* data, DWORD size, ULONGLONG* written) {
  if (written) *written = 0;
  if (!data) return S_OK;
  ULONGLONG count = 0;
  HRESULT hr;
  if (riff64) {
    hr = riff64_WriteChunk(file, guid, data, size, &count);
  } else {
    DWORD small = 0;
    hr = riff_WriteChunk(file, id, data, size, &small);
    count = small;
  }
  if (FAILED(hr)) return RIFF_E_WRITE;
  if (written) *written = count;
  return S_OK;
}

HRESULT ProjectLinkRiff_openAndWriteInfo(LPCWSTR path, IWuReadMeta* reader, BOOL side_file) {
  return OpenAndWrite(path, reader, side_file != FALSE, ProjectLinkRiff_WriteInfo);
}

HRESULT ProjectLinkRiff64_openAndWriteInfo(LPCWSTR path, IWuReadMeta* reader) {
  return OpenAndWrite(path, reader, false, ProjectLinkRiff64_WriteInfo);
}
