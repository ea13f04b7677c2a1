// Writing a reader's metadata streams as chunks of a RIFF form (a media
// file or a side file).
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuString.h"
#include "mediaformats/FormAppend.h"
#include "mediaformats/Iff.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuBigEndian.h"
#include "mediaformats/WuBwf.h"
#include "mediaformats/WuDispList.h"
#include "mediaformats/WuFMMeta.h"
#include "mediaformats/WuFMMetaStream.h"
#include "mediaformats/WuSummary.h"
#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"

namespace {

using metastream::kBadStream;

constexpr ULONGLONG kNoLength = kMetaPlainMarkerLength;
constexpr DWORD kCuePointBytes = 24;
constexpr DWORD kSmplLoopBytes = 24;

// Appends little-endian fields to a chunk body.
struct Body {
  std::string s;
  Body& U16(WORD v) {
    BYTE b[2];
    riffbytes::Put16(b, v);
    s.append(reinterpret_cast<char*>(b), 2);
    return *this;
  }
  Body& U32(DWORD v) {
    BYTE b[4];
    riffbytes::Put32(b, v);
    s.append(reinterpret_cast<char*>(b), 4);
    return *this;
  }
  Body& U64(ULONGLONG v) { return U32(static_cast<DWORD>(v)).U32(static_cast<DWORD>(v >> 32)); }
  Body& Raw(const std::string& bytes) {
    s += bytes;
    return *this;
  }
};

const BYTE* Bytes(const std::string& s) { return reinterpret_cast<const BYTE*>(s.data()); }

// One replacement of a set of chunks in an open form: every new chunk goes
// after the form's old chunks, and the form grows once, when the whole set
// is written (a failure cuts the file back to its old length); only then
// do the old chunks that the set replaces go. So a failed write, a full
// disk above all, leaves the file byte for byte as it was, and a success
// leaves the whole new set.
struct Session {
  explicit Session(formappend::Layout layout) { point.layout = layout; }
  formappend::Point point;
  // The old chunks of `kinds` go (the delete tables' rows; AIFF: "INST"
  // and "MARK").
  bool clean = false;
  DWORD kinds = 0;
  // Every old chunk goes: the form is written anew.
  bool all = false;
  // Further old chunks that go: RIFF ids (with TRUE, the type of a
  // "LIST"), RIFF64 GUIDs, AIFF ids.
  std::vector<std::pair<FOURCC, BOOL>> ids;
  std::vector<GUID> guids;
  std::vector<DWORD> iff_ids;

  void Replaces(FOURCC id, BOOL is_list) {
    for (const auto& have : ids)
      if (have.first == id && have.second == is_list) return;
    ids.push_back({id, is_list});
  }
  void Replaces(const GUID& id) {
    for (const GUID& have : guids)
      if (IsEqualGUID(have, id)) return;
    guids.push_back(id);
  }
};

// An open file and its form: RIFF (media or side file) or RIFF64, and the
// replacement its chunks are written in.
struct Target {
  HANDLE h;
  bool riff64;
  Session* session = nullptr;
};

formappend::Layout LayoutOf(const Target& file) {
  return file.riff64 ? formappend::Layout::kRiff64 : formappend::Layout::kRiff;
}

// Zero bytes up to the next multiple of `align` from the position.
HRESULT PadHere(HANDLE file, ULONGLONG align) {
  static const BYTE kZeros[8] = {};
  LONGLONG here = rifffile::Tell(file);
  if (here < 0) return RIFF_E_WRITE;
  DWORD pad = static_cast<DWORD>((align - static_cast<ULONGLONG>(here) % align) % align);
  return pad ? rifffile::WriteExact(file, kZeros, pad) : S_OK;
}

// Writes what `write` writes (HRESULT(ULONGLONG* written)) as the next
// chunk of the target's replacement, at the form's alignment; the form
// grows when the replacement ends. Without one, the chunk is appended on
// its own (mediaformats/FormAppend.h).
template <class Write>
HRESULT AppendToForm(const Target& file, Write write) {
  if (!file.session) return formappend::Append(file.h, LayoutOf(file), write);
  HRESULT hr = PadHere(file.h, file.riff64 ? 8 : 2);
  ULONGLONG written = 0;
  return FAILED(hr) ? hr : write(&written);
}

// After the new set stands: every old chunk goes (all), or those the
// session replaces.
HRESULT RetireOld(HANDLE file, const Session& s) {
  const formappend::Layout layout = s.point.layout;
  // The old chunks that go, found by the walk that found the form whole,
  // then cut out from the last.
  std::vector<ULONGLONG> offsets;
  HRESULT hr = formappend::ForEachOld(file, s.point, [&](ULONGLONG at, const BYTE* header) -> HRESULT {
    bool goes = false;
    switch (layout) {
      case formappend::Layout::kRiff64: {
        GUID guid = riffbytes::GetGuid(header);
        goes = s.clean && (WuFMMeta64_KindOfChunk(guid) & s.kinds);
        for (const GUID& g : s.guids) goes = goes || IsEqualGUID(g, guid);
        break;
      }
      case formappend::Layout::kIff: {
        const DWORD chunk = bigendian::Get32(header);
        for (DWORD wanted : s.iff_ids) goes = goes || wanted == chunk;
        break;
      }
      case formappend::Layout::kRiff: {
        FOURCC chunk = riffbytes::Get32(header);
        BOOL is_list = FALSE;
        if (chunk == RiffId("LIST") && riffbytes::Get32(header + 4) >= 4) {
          BYTE type[4];
          if (!rifffile::SeekTo(file, at + 8)) return RIFF_E_READ;
          if (HRESULT read = rifffile::ReadExact(file, type, 4); FAILED(read)) return read;
          chunk = riffbytes::Get32(type);
          is_list = TRUE;
        }
        goes = s.clean && (WuFMMeta_KindOfChunk(chunk, is_list) & s.kinds);
        for (const auto& key : s.ids) goes = goes || (key.first == chunk && key.second == is_list);
        break;
      }
    }
    if (goes || s.all) offsets.push_back(at);
    return S_OK;
  });
  return FAILED(hr) ? hr : formappend::Remove(file, s.point, offsets);
}

// Runs `write_set` (HRESULT(), writing through targets that carry the
// session) as the session's replacement in an open file. A form that no
// chunk can be appended to is refused before anything is written.
template <class WriteSet>
HRESULT ReplaceSet(HANDLE file, Session* s, WriteSet write_set) {
  HRESULT hr = formappend::Begin(file, s->point.layout, &s->point);
  if (FAILED(hr)) return hr;
  hr = write_set();
  // The set runs from the append point to the file's new end.
  LONGLONG end = rifffile::Size(file);
  ULONGLONG written = 0;
  if (SUCCEEDED(hr)) {
    if (end < 0 || static_cast<ULONGLONG>(end) < s->point.at)
      hr = RIFF_E_WRITE;
    else
      written = static_cast<ULONGLONG>(end) - s->point.at;
  }
  if (SUCCEEDED(hr) && written == 0) {
    // Nothing new: the padding Begin wrote goes again, and the form is
    // left as it was but for the old chunks replaced by nothing.
    if (s->point.at > s->point.file_size && !rifffile::CutAt(file, s->point.file_size))
      return RIFF_E_WRITE;
  } else {
    hr = formappend::End(file, s->point, hr, written);
    if (FAILED(hr)) return hr;
  }
  return RetireOld(file, *s);
}

// The RIFF64 chunk of a RIFF chunk id, or null when Wave64 has none.
const GUID* Riff64Twin(FOURCC id) {
  static constexpr struct {
    FOURCC id;
    const GUID* guid;
  } kTwins[] = {
      {RiffId("plst"), &kMetaGuidPlaylist}, {RiffId("tlst"), &kMetaGuidTracklist},
      {RiffId("bmrk"), &kMetaGuidBookmarks}, {RiffId("dtbt"), &kMetaGuidBeats},
      {RiffId("bmpm"), &kMetaGuidBmpm},     {RiffId("scot"), &kMetaGuidScot},
      {RiffId("str2"), &kMetaGuidStr2},     {RiffId("bmpi"), &kMetaGuidBmpi},
      {RiffId("smpl"), &kMetaGuidSampler},  {RiffId("wu03"), &kMetaGuidWu03},
      {RiffId("wu04"), &kMetaGuidWu04},
  };
  for (const auto& t : kTwins)
    if (t.id == id) return t.guid;
  return nullptr;
}

HRESULT AppendChunk64(const Target& file, const GUID& id, const std::string& body) {
  return AppendToForm(file, [&](ULONGLONG* written) {
    return riff64_WriteChunk(file.h, id, body.data(), body.size(), written);
  });
}

// Appends one chunk at the end of the form (a RIFF64 form takes the id's
// GUID twin) and grows the form by it.
HRESULT AppendChunk(const Target& file, FOURCC id, const std::string& body) {
  if (file.riff64) {
    const GUID* twin = Riff64Twin(id);
    return twin ? AppendChunk64(file, *twin, body) : S_OK;
  }
  if (body.size() > kRiffMaxFormSize) return RIFF_E_TOO_LARGE;
  return AppendToForm(file, [&](ULONGLONG* written) {
    DWORD count = 0;
    HRESULT hr = riff_WriteChunk(file.h, id, body.data(), static_cast<DWORD>(body.size()), &count);
    *written = count;
    return hr;
  });
}

// UTF-16 bytes (little-endian) as a terminated wide text.
std::u16string WideText(const BYTE* bytes, DWORD count) {
  std::u16string text;
  for (DWORD i = 0; i + 2 <= count; i += 2) {
    WCHAR c = static_cast<WCHAR>(riffbytes::Get16(bytes + i));
    if (!c) break;
    text.push_back(c);
  }
  return text;
}

// 100-ns units to samples, rounded to nearest.
ULONGLONG ToSamples(ULONGLONG time, DWORD rate) {
  unsigned __int128 v = static_cast<unsigned __int128>(time) * rate + 5000000;
  v /= 10000000;
  return v > ~0ULL ? ~0ULL : static_cast<ULONGLONG>(v);
}

struct Marker {
  DWORD id;
  DWORD id64;          // the id in a RIFF64 markers chunk
  ULONGLONG position;  // samples
  ULONGLONG length;    // samples, kNoLength for a plain marker
  std::u16string text;
};

// Markers of a markers stream: records in samples.
HRESULT MarkersFromStream(IStream* stream, DWORD count, std::vector<Marker>* markers) {
  for (DWORD i = 0; i < count; ++i) {
    std::string item;
    HRESULT hr = metastream::ReadItem(stream, &item);
    if (FAILED(hr)) return hr;
    if (item.size() < kMetaMarkerRecordBytes) return kBadStream;
    const BYTE* p = Bytes(item);
    DWORD text_bytes = riffbytes::Get32(p + 24);
    if (text_bytes > item.size() - kMetaMarkerRecordBytes) return kBadStream;
    markers->push_back({riffbytes::Get32(p + 4), riffbytes::Get32(p + 4), riffbytes::Get64(p + 8), riffbytes::Get64(p + 16),
                        WideText(p + kMetaMarkerRecordBytes, text_bytes)});
  }
  return S_OK;
}

// Markers of the reader's region stream: times become samples and the id
// is the marker's 1-based place.
HRESULT MarkersFromReader(IWuReadMeta* reader, DWORD rate, std::vector<Marker>* markers) {
  IStream* stream = nullptr;
  if (FAILED(reader->GetRegionStream(&stream)) || !stream) return S_OK;
  DWORD count = 0;
  HRESULT hr = metastream::ReadReaderHeader(stream, &count);
  for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
    BYTE record[kMetaRegionRecordBytes];
    std::string text;
    hr = metastream::ReadReaderItem(stream, record, sizeof record, 24, &text);
    if (FAILED(hr)) break;
    DWORD text_bytes = static_cast<DWORD>(text.size());
    ULONGLONG length = riffbytes::Get64(record + 12);
    bool region = riffbytes::Get32(record + 20) != 0 && length != kNoLength;
    markers->push_back({i + 1, i, ToSamples(riffbytes::Get64(record + 4), rate),
                        region ? ToSamples(length, rate) : kNoLength,
                        WideText(Bytes(text), text_bytes)});
  }
  stream->Release();
  return hr;
}

bool Fits32(ULONGLONG v) { return v <= 0xFFFFFFFFULL; }

// The text in the ANSI code page with its terminator.
std::string AnsiText(const std::u16string& text) {
  DWORD n = riff_AnsiByteLength(text.c_str());
  std::string bytes(n + 1, '\0');
  if (n) WuWideToMultiByte(bytes.data(), text.c_str(), static_cast<int>(n + 1), CP_ACP);
  bytes[n] = 0;
  return bytes;
}

// "cue ", "LIST" "adtl" and, for markers beyond 32 bits, "wu01".
// The 32-byte records and texts of "wu01" and of the RIFF64 markers chunk.
std::string MarkerRecords(const std::vector<const Marker*>& markers, bool riff64) {
  Body body;
  body.U32(static_cast<DWORD>(markers.size()));
  for (const Marker* m : markers) {
    std::string text(reinterpret_cast<const char*>(m->text.c_str()), (m->text.size() + 1) * 2);
    body.U32(riff64 ? m->id64 : m->id).U32(0).U64(m->position).U64(m->length)
        .U32(static_cast<DWORD>(text.size())).U32(0).Raw(text);
  }
  return body.s;
}

HRESULT WriteMarkers(const Target& file, const std::vector<Marker>& markers) {
  if (file.riff64) {
    std::vector<const Marker*> all;
    for (const Marker& m : markers) all.push_back(&m);
    return AppendChunk64(file, kMetaGuidMarkers, MarkerRecords(all, true));
  }
  std::vector<const Marker*> cue, wide;
  for (const Marker& m : markers)
    (Fits32(m.position) && (m.length == kNoLength || Fits32(m.length)) ? cue : wide).push_back(&m);
  if (!cue.empty()) {
    Body body;
    body.s.reserve(4 + kCuePointBytes * cue.size());
    body.U32(static_cast<DWORD>(cue.size()));
    for (const Marker* m : cue)
      body.U32(m->id).U32(static_cast<DWORD>(m->position)).U32(RiffId("data")).U32(0).U32(0)
          .U32(static_cast<DWORD>(m->position));
    HRESULT hr = AppendChunk(file, RiffId("cue "), body.s);
    if (FAILED(hr)) return hr;
    Body adtl;
    adtl.U32(RiffId("adtl"));
    bool any = false;
    for (const Marker* m : cue) {
      if (m->length == kNoLength) continue;
      Body ltxt;
      ltxt.U32(m->id).U32(static_cast<DWORD>(m->length)).U32(RiffId("rgn ")).U16(0).U16(0).U16(0).U16(0);
      adtl.U32(RiffId("ltxt")).U32(static_cast<DWORD>(ltxt.s.size())).Raw(ltxt.s);
      any = true;
    }
    for (const Marker* m : cue) {
      if (m->text.empty()) continue;
      std::string name = AnsiText(m->text);
      adtl.U32(RiffId("labl")).U32(static_cast<DWORD>(4 + name.size())).U32(m->id).Raw(name);
      if (name.size() & 1) adtl.s.push_back('\0');
      any = true;
    }
    if (any) {
      hr = AppendChunk(file, RiffId("LIST"), adtl.s);
      if (FAILED(hr)) return hr;
    }
  }
  if (wide.empty()) return S_OK;
  return AppendChunk(file, RiffId("wu01"), MarkerRecords(wide, false));
}

// INFO entries {12, id, text bytes} and their UTF-16 text into a summary.
HRESULT AddInfoEntry(WuSummary* summary, const BYTE* entry, const BYTE* text, DWORD text_bytes) {
  DWORD id = riffbytes::Get32(entry + 4);
  if (id == 0) return S_OK;
  std::u16string value = WideText(text, text_bytes);
  return WuSummary_SetItem(summary, id, value.c_str());
}

HRESULT SaveSummary(const Target& file, const WuSummary& summary) {
  if (summary.count == 0) return S_OK;
  return AppendToForm(file, [&](ULONGLONG* written) {
    if (file.riff64) {
      // The INFO list inside the kind's chunk.
      ULONGLONG start = 0;
      DWORD list = 0;
      HRESULT hr = riff64_PrepareChunk(file.h, kMetaGuidInfo, &start);
      if (SUCCEEDED(hr)) hr = WuSummary_Save(file.h, &summary, &list);
      if (SUCCEEDED(hr)) hr = riff64_CompleteChunk(file.h, start);
      *written = static_cast<ULONGLONG>(riff64_AmountWritten(file.h, start));
      return hr;
    }
    DWORD count = 0;
    HRESULT hr = WuSummary_Save(file.h, &summary, &count);
    *written = count;
    return hr;
  });
}

HRESULT WriteInfoFromStream(const Target& file, IStream* stream, DWORD count) {
  WuSummary summary{};
  HRESULT hr = S_OK;
  for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
    std::string item;
    hr = metastream::ReadItem(stream, &item);
    if (FAILED(hr)) break;
    if (item.size() < kMetaInfoEntryBytes ||
        riffbytes::Get32(Bytes(item) + 8) > item.size() - kMetaInfoEntryBytes) {
      hr = kBadStream;
      break;
    }
    hr = AddInfoEntry(&summary, Bytes(item), Bytes(item) + kMetaInfoEntryBytes,
                      riffbytes::Get32(Bytes(item) + 8));
  }
  if (SUCCEEDED(hr)) hr = SaveSummary(file, summary);
  WuSummary_Free(&summary);
  return hr;
}

HRESULT WriteInfoFromReader(const Target& file, IWuReadMeta* reader) {
  IStream* stream = nullptr;
  if (FAILED(reader->GetSummaryStream(&stream)) || !stream) return S_OK;
  DWORD count = 0;
  WuSummary summary{};
  HRESULT hr = metastream::ReadReaderHeader(stream, &count);
  for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
    BYTE entry[kMetaInfoEntryBytes];
    std::string text;
    hr = metastream::ReadReaderItem(stream, entry, sizeof entry, 8, &text);
    if (SUCCEEDED(hr))
      hr = AddInfoEntry(&summary, entry, Bytes(text), static_cast<DWORD>(text.size()));
  }
  stream->Release();
  if (SUCCEEDED(hr)) hr = SaveSummary(file, summary);
  WuSummary_Free(&summary);
  return hr;
}

// The record kinds: count and fixed records, or a single record of at
// most `size` bytes.
struct RecordKind {
  DWORD kind;
  FOURCC id;
  DWORD size;
  bool single;
};
constexpr RecordKind kRecordKinds[] = {
    {WUFIO_META_PLAYLIST, RiffId("plst"), 24, false},
    {WUFIO_META_TRACKLIST, RiffId("tlst"), 24, false},
    {WUFIO_META_BOOKMARKS, RiffId("bmrk"), 52, false},
    {WUFIO_META_BEATS, RiffId("dtbt"), 12, false},
    {WUFIO_META_BMPM, RiffId("bmpm"), 56, false},
    {WUFIO_META_SCOT, RiffId("scot"), 424, true},
    {WUFIO_META_STR2, RiffId("str2"), 20, true},
    {WUFIO_META_BMPI, RiffId("bmpi"), 48, true},
};

HRESULT WriteRecords(const Target& file, IStream* stream, DWORD count, const RecordKind& kind) {
  Body body;
  if (!kind.single) body.U32(count);
  for (DWORD i = 0; i < (kind.single ? 1 : count); ++i) {
    std::string item;
    HRESULT hr = metastream::ReadItem(stream, &item);
    if (FAILED(hr)) return hr;
    if (kind.single ? item.size() > kind.size : item.size() != kind.size) return kBadStream;
    body.Raw(item);
  }
  return AppendChunk(file, kind.id, body.s);
}

// The sampler stream's one item: the 36-byte header and whole 32-byte loops.
HRESULT ReadSamplerItem(IStream* stream, std::string* item) {
  HRESULT hr = metastream::ReadItem(stream, item);
  if (FAILED(hr)) return hr;
  if (item->size() < kMetaSamplerHeaderBytes ||
      (item->size() - kMetaSamplerHeaderBytes) % kMetaSamplerLoopBytes != 0)
    return kBadStream;
  return S_OK;
}

// "smpl": the header with the count of loops written, no sampler data,
// and each loop that fits in 32 bits with end = start + length - 1.
HRESULT WriteSampler(const Target& file, IStream* stream) {
  std::string item;
  HRESULT hr = ReadSamplerItem(stream, &item);
  if (FAILED(hr)) return hr;
  const BYTE* p = Bytes(item);
  Body loops;
  loops.s.reserve(kSmplLoopBytes * ((item.size() - kMetaSamplerHeaderBytes) / kMetaSamplerLoopBytes));
  DWORD written = 0;
  for (size_t at = kMetaSamplerHeaderBytes; at < item.size(); at += kMetaSamplerLoopBytes) {
    ULONGLONG start = riffbytes::Get64(p + at + 8);
    ULONGLONG length = riffbytes::Get64(p + at + 16);
    if (length == 0 || !Fits32(start) || !Fits32(start + length - 1) || start + length < start)
      continue;
    loops.U32(riffbytes::Get32(p + at)).U32(riffbytes::Get32(p + at + 4))
        .U32(static_cast<DWORD>(start)).U32(static_cast<DWORD>(start + length - 1))
        .U32(riffbytes::Get32(p + at + 24)).U32(riffbytes::Get32(p + at + 28));
    ++written;
  }
  std::string header = item.substr(0, kMetaSamplerHeaderBytes);
  BYTE* h = reinterpret_cast<BYTE*>(header.data());
  riffbytes::Put32(h + 28, written);
  riffbytes::Put32(h + 32, 0);
  return AppendChunk(file, RiffId("smpl"), header + loops.s);
}

// "DISP": entries {id, size, bytes} set into a new display list (ids it
// does not hold are skipped) and saved.
HRESULT WriteDisplay(const Target& file, IStream* stream, DWORD count) {
  std::unique_ptr<WuDispList, void (*)(WuDispList*)> list(displist_Create(), displist_Destroy);
  if (!list) return E_OUTOFMEMORY;
  for (DWORD i = 0; i < count; ++i) {
    std::string item;
    HRESULT hr = metastream::ReadItem(stream, &item);
    if (FAILED(hr)) return hr;
    if (item.size() < 8 || riffbytes::Get32(Bytes(item) + 4) != item.size() - 8) return kBadStream;
    displist_SetItem(list.get(), riffbytes::Get32(Bytes(item)),
                     static_cast<DWORD>(item.size() - 8), item.data() + 8);
  }
  return AppendToForm(file, [&](ULONGLONG* written) {
    if (file.riff64) return displist64_Save(file.h, list.get(), written);
    DWORD count = 0;
    HRESULT hr = displist_Save(file.h, list.get(), &count);
    *written = count;
    return hr;
  });
}

// "wu03" and "wu04": the stream as it stands.
HRESULT WriteWhole(const Target& file, IStream* stream, FOURCC id) {
  LARGE_INTEGER zero{};
  if (FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) return RIFF_E_READ;
  ULONGLONG size = metastream::Remaining(stream);
  if (size > kRiffMaxFormSize) return kBadStream;
  std::string bytes(size, '\0');
  HRESULT hr = size ? metastream::ReadExact(stream, bytes.data(), static_cast<ULONG>(size)) : S_OK;
  return FAILED(hr) ? hr : AppendChunk(file, id, bytes);
}

// The chunks a raw pass-through item may never replace: the file's format
// and audio.
bool Protected(FOURCC id) { return id == RiffId("fmt ") || id == RiffId("data"); }

// Each raw item: its 8-byte chunk header (id, size) and the size bytes
// (a pad byte after them is allowed).
HRESULT RawItem(const std::string& item, FOURCC* id, std::string* data = nullptr) {
  if (item.size() < 8) return kBadStream;
  DWORD size = riffbytes::Get32(Bytes(item) + 4);
  if (size > item.size() - 8 || item.size() - 8 - size > 1) return kBadStream;
  *id = riffbytes::Get32(Bytes(item));
  if (data) *data = item.substr(8, size);
  return S_OK;
}

// Each raw item's chunk; with the replacement's old kinds going, it
// replaces the old chunks of its id, and a "LIST" item only the lists of
// its own type: the file's other lists (its summary, its markers' texts)
// stay.
HRESULT WriteRaw(const Target& file, IStream* stream, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    std::string item, data;
    FOURCC id = 0;
    HRESULT hr = metastream::ReadItem(stream, &item);
    if (SUCCEEDED(hr)) hr = RawItem(item, &id, &data);
    if (FAILED(hr)) return hr;
    if (Protected(id)) continue;
    if (file.session && file.session->clean) {
      if (id != RiffId("LIST"))
        file.session->Replaces(id, FALSE);
      else if (data.size() >= 4)
        file.session->Replaces(riffbytes::Get32(Bytes(data)), TRUE);
    }
    hr = AppendChunk(file, id, data);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// UTF-16 field bytes in the ANSI code page, at most 4,096 bytes.
std::string FieldText(const std::string& bytes) {
  std::string text = AnsiText(WideText(Bytes(bytes), static_cast<DWORD>(bytes.size())));
  text.pop_back();
  if (text.size() > 4096) text.resize(4096);
  return text;
}

// "bext" from the broadcast-wave stream: every field cleared, version 1,
// then each item {12-byte field header, bytes}; every old "bext" goes.
HRESULT WriteBroadcastWave(const Target& file, IStream* stream, DWORD count) {
  struct Record : _tagWUBWF_Chunk {
    Record() { WuBWF_Clear(); }
    ~Record() { WuBWFChunk_FreeCodingHistory(); }
  } record;
  record.WuBWF_SetVersion(1);
  for (DWORD i = 0; i < count; ++i) {
    std::string item;
    HRESULT hr = metastream::ReadItem(stream, &item);
    if (FAILED(hr)) return hr;
    if (item.size() < kMetaBwfFieldHeaderBytes ||
        riffbytes::Get32(Bytes(item) + 8) > item.size() - kMetaBwfFieldHeaderBytes)
      return kBadStream;
    DWORD field = riffbytes::Get32(Bytes(item) + 4);
    std::string bytes = item.substr(kMetaBwfFieldHeaderBytes, riffbytes::Get32(Bytes(item) + 8));
    std::string text = field <= WUBWF_FIELD_TIME || field == WUBWF_FIELD_TIME_REFERENCE ||
                               field == WUBWF_FIELD_CODING_HISTORY
                           ? FieldText(bytes)
                           : std::string();
    std::string padded = text + std::string(256, '\0');
    switch (field) {
      case WUBWF_FIELD_DESCRIPTION: record.WuBWF_SetDescriptionA(padded.c_str()); break;
      case WUBWF_FIELD_ORIGINATOR: record.WuBWF_SetOriginatorA(padded.c_str()); break;
      case WUBWF_FIELD_ORIGINATOR_REFERENCE: record.WuBWF_SetOriginatorReferenceA(padded.c_str()); break;
      case WUBWF_FIELD_DATE: record.WuBWF_SetOriginationDateA(padded.c_str()); break;
      case WUBWF_FIELD_TIME: record.WuBWF_SetOriginationTimeA(padded.c_str()); break;
      case WUBWF_FIELD_TIME_REFERENCE: {
        ULONGLONG value = 0;
        for (char c : text) {
          if (c < '0' || c > '9') break;
          value = value * 10 + static_cast<ULONGLONG>(c - '0');
        }
        record.WuBWF_SetTimeReference(value);
        break;
      }
      case WUBWF_FIELD_VERSION:
        if (bytes.size() >= 2) record.WuBWF_SetVersion(riffbytes::Get16(Bytes(bytes)));
        break;
      case WUBWF_FIELD_UMID:
        if (bytes.size() >= kBwfUmidBytes) record.WuBWF_SetUMID(Bytes(bytes));
        break;
      case WUBWF_FIELD_RESERVED:
        record.WuBWF_SetReserved(Bytes(bytes), static_cast<DWORD>(bytes.size()));
        break;
      case WUBWF_FIELD_CODING_HISTORY: {
        std::u16string history = WideText(Bytes(bytes), static_cast<DWORD>(bytes.size()));
        if (FAILED(record.WuBWF_SetCodingHistoryW(history.c_str()))) return E_OUTOFMEMORY;
        break;
      }
      default:
        break;
    }
  }
  record.WuBWF_SetTextsValid(1);
  record.WuBWF_SetTimesValid(1);
  HRESULT hr = record.WuBWF_CheckLoaded();
  if (FAILED(hr)) return hr;
  DWORD size = 0;
  record.WuBWF_BuildChunk(nullptr, &size);
  std::string data(size, '\0');
  hr = record.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(data.data()), &size);
  if (FAILED(hr)) return hr;
  data.resize(size);
  // The new "bext" replaces every old one (Wave64: every bext chunk).
  if (file.session) {
    if (file.riff64) {
      file.session->Replaces(kRiff64GuidBext);
    } else {
      file.session->Replaces(RiffId("bext"), FALSE);
      file.session->Replaces(RiffId("BEXT"), FALSE);
    }
  }
  return file.riff64 ? AppendChunk64(file, kRiff64GuidBext, data) : AppendChunk(file, RiffId("bext"), data);
}

// Writes the streams of the kinds in *mask into an open RIFF form; the
// markers, INFO and "wu03" writers clear their bit.
HRESULT WriteStreams(const Target& file, const metastream::Streams& streams, DWORD* mask) {
  for (IStream* stream : streams.list) {
    DWORD count = 0;
    GUID guid{};
    HRESULT hr = metastream::ReadHeader(stream, &count, &guid);
    if (FAILED(hr)) return hr;
    DWORD kind = metastream::KindOf(guid);
    if (count == 0 || !(kind & *mask)) continue;
    switch (kind) {
      case WUFIO_META_MARKERS: {
        std::vector<Marker> markers;
        hr = MarkersFromStream(stream, count, &markers);
        if (SUCCEEDED(hr)) hr = WriteMarkers(file, markers);
        if (SUCCEEDED(hr)) *mask &= ~WUFIO_META_MARKERS;
        break;
      }
      case WUFIO_META_INFO:
        hr = WriteInfoFromStream(file, stream, count);
        if (SUCCEEDED(hr)) *mask &= ~WUFIO_META_INFO;
        break;
      case WUFIO_META_SAMPLER:
        hr = WriteSampler(file, stream);
        break;
      case WUFIO_META_DISPLAY:
        hr = WriteDisplay(file, stream, count);
        break;
      case WUFIO_META_WU03:
        // No row of the delete tables names "wu03": the writer replaces its
        // own chunks, so that a second write leaves one.
        if (file.session) {
          if (file.riff64)
            file.session->Replaces(kMetaGuidWu03);
          else
            file.session->Replaces(RiffId("wu03"), FALSE);
        }
        hr = WriteWhole(file, stream, RiffId("wu03"));
        if (SUCCEEDED(hr)) *mask &= ~WUFIO_META_WU03;
        break;
      case WUFIO_META_WU04:
        hr = WriteWhole(file, stream, RiffId("wu04"));
        break;
      case WUFIO_META_RAW:
        if (!file.riff64) hr = WriteRaw(file, stream, count);
        break;
      case WUFIO_META_BWF:
        hr = WriteBroadcastWave(file, stream, count);
        if (SUCCEEDED(hr)) *mask &= ~WUFIO_META_BWF;
        break;
      default:
        for (const RecordKind& r : kRecordKinds)
          if (r.kind == kind) hr = WriteRecords(file, stream, count, r);
        break;
    }
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT WriteAll(const Target& file, IWuReadMeta* reader, DWORD rate, DWORD mask) {
  metastream::Streams streams;
  HRESULT hr = metastream::CollectStreams(reader, &streams);
  if (SUCCEEDED(hr)) hr = WriteStreams(file, streams, &mask);
  if (SUCCEEDED(hr) && (mask & WUFIO_META_MARKERS)) {
    std::vector<Marker> markers;
    hr = MarkersFromReader(reader, rate, &markers);
    if (SUCCEEDED(hr) && !markers.empty()) hr = WriteMarkers(file, markers);
  }
  if (SUCCEEDED(hr) && (mask & WUFIO_META_INFO)) hr = WriteInfoFromReader(file, reader);
  return hr;
}

// A reader stream of the region/command/summary shape with a positive count.
bool ReaderHasItems(IWuReadMeta* reader, HRESULT (IWuReadMeta::*get)(IStream**)) {
  IStream* stream = nullptr;
  if (FAILED((reader->*get)(&stream)) || !stream) return false;
  DWORD count = 0;
  bool has = SUCCEEDED(metastream::ReadReaderHeader(stream, &count)) && count > 0;
  stream->Release();
  return has;
}

HRESULT Translated() { return WuErrorHandler_TranslateWin32Error(GetLastError()); }

HANDLE OpenExisting(LPCWSTR path) {
  return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
}

// The side-file name of `media_path` in `mode`, or an empty name.
std::u16string MetaName(LPCWSTR media_path, int mode) {
  std::u16string name(WuStrLenSafe(media_path) + 5, u'\0');
  if (FAILED(WuFMMeta_CreateMetaName(media_path, name.data(), static_cast<DWORD>(name.size()), mode)))
    return {};
  name.resize(WuStrLenSafe(name.c_str()));
  return name;
}

// The side file of `media_path` under either name, or an empty name.
std::u16string ExistingSideFile(LPCWSTR media_path) {
  for (int mode : {0, 1}) {
    std::u16string name = MetaName(media_path, mode);
    if (!name.empty() && WuFMMeta_IsMetaFile(media_path, name.c_str())) return name;
  }
  return {};
}

std::u16string AppendingName(LPCWSTR media_path) {
  std::u16string name(WuStrLenSafe(media_path) + 5, u'\0');
  WuFMMeta_CreateMetaName(media_path, name.data(), static_cast<DWORD>(name.size()), 1);
  name.resize(WuStrLenSafe(name.c_str()));
  return name;
}

HRESULT ReplaceIn(const Target& file, IWuReadMeta* reader, DWORD rate, DWORD kinds, bool clean,
                  LPCWSTR owner = nullptr, bool all = false);

// A new appending-form side file holding `kinds` and the owner chunk.
HRESULT CreateSide(LPCWSTR media_path, IWuReadMeta* reader, DWORD rate, DWORD kinds) {
  HRESULT hr = S_OK;
  const std::u16string name = AppendingName(media_path);
  HANDLE side = WuFMMeta_CreateSideFile(name.c_str(), &hr);
  if (side == INVALID_HANDLE_VALUE) return hr;
  hr = ReplaceIn(Target{side, false}, reader, rate, kinds, false, media_path);
  CloseHandle(side);
  // A side file that could not be written whole names no media file: it is
  // not left behind.
  if (FAILED(hr)) DeleteFileW(name.c_str());
  return hr;
}

// The side file of `media_path` written anew with `kinds` under the
// appending name. One there that names this media file is rewritten in
// place: the new set and owner chunk go after its chunks and only then do
// all old chunks go, so that a failure leaves it as it was. One whose form
// takes no chunk holds nothing that could be kept: it is made new.
HRESULT WriteSide(LPCWSTR media_path, IWuReadMeta* reader, DWORD rate, DWORD kinds) {
  const std::u16string name = AppendingName(media_path);
  if (WuFMMeta_IsMetaFile(media_path, name.c_str())) {
    HANDLE side = OpenExisting(name.c_str());
    if (side == INVALID_HANDLE_VALUE) return Translated();
    HRESULT hr = ReplaceIn(Target{side, false}, reader, rate, kinds, false, media_path, true);
    CloseHandle(side);
    if (hr != RIFF_E_WRONG_FORM && hr != RIFF_E_NOT_RIFF) return hr;
    if (!DeleteFileW(name.c_str())) return Translated();
  }
  return CreateSide(media_path, reader, rate, kinds);
}

// Writes `kinds` into an open file as one replacement (Session): with
// `clean` the old chunks of those kinds go once the new ones stand, with
// `all` every old chunk; with an `owner` the owner chunk naming that media
// file ends the set and replaces the old one.
HRESULT ReplaceIn(const Target& file, IWuReadMeta* reader, DWORD rate, DWORD kinds, bool clean,
                  LPCWSTR owner, bool all) {
  Session session(LayoutOf(file));
  session.clean = clean;
  session.kinds = kinds;
  session.all = all;
  if (owner) session.Replaces(kMetaSideName, FALSE);
  const Target target{file.h, file.riff64, &session};
  return ReplaceSet(file.h, &session, [&] {
    HRESULT hr = WriteAll(target, reader, rate, kinds);
    if (SUCCEEDED(hr) && owner)
      hr = AppendToForm(target, [&](ULONGLONG* written) {
        return WuFMMeta_PutAttachedNameChunk(file.h, owner, written);
      });
    return hr;
  });
}

// ---- AIFF: "INST" and "MARK" from the sampler stream -------------------------

// Big-endian fields of an AIFF chunk body.
struct BigBody {
  std::string s;
  BigBody& U8(BYTE v) {
    s.push_back(static_cast<char>(v));
    return *this;
  }
  BigBody& U16(WORD v) { return U8(static_cast<BYTE>(v >> 8)).U8(static_cast<BYTE>(v)); }
  BigBody& U32(DWORD v) { return U16(static_cast<WORD>(v >> 16)).U16(static_cast<WORD>(v)); }
};

// Writes a chunk of the AIFF form's replacement (`file` carries it).
HRESULT AppendIffChunk(const Target& file, DWORD id, const std::string& body) {
  return AppendToForm(file, [&](ULONGLONG* written) {
    const DWORD header[2] = {id, static_cast<DWORD>(body.size())};
    HRESULT hr = iff_WriteChunk(file.h, header);
    std::string padded = body + std::string(body.size() & 1, '\0');
    if (SUCCEEDED(hr)) hr = rifffile::WriteExact(file.h, padded.data(), static_cast<DWORD>(padded.size()));
    *written = 8 + padded.size();
    return hr;
  });
}

// A marker name as a counted string: the count byte, the characters and a
// zero byte when needed for an even total.
void CountedString(BigBody* body, const char* text) {
  BYTE length = static_cast<BYTE>(std::strlen(text));
  body->U8(length);
  body->s.append(text, length);
  if (!((length + 1) & 1)) return;
  body->U8(0);
}

// Play modes: forward 1 for loop type 0, forward-backward 2 for type 1,
// forward for any other.
WORD PlayMode(DWORD loop_type) { return loop_type == 1 ? 2 : 1; }

HRESULT WriteAiffLoops(const Target& file, IStream* stream) {
  std::string item;
  HRESULT hr = ReadSamplerItem(stream, &item);
  if (FAILED(hr)) return hr;
  const BYTE* p = Bytes(item);
  struct Loop {
    DWORD type;
    ULONGLONG start, end;
  };
  std::vector<Loop> loops;
  for (size_t at = kMetaSamplerHeaderBytes; at < item.size() && loops.size() < 2;
       at += kMetaSamplerLoopBytes) {
    ULONGLONG start = riffbytes::Get64(p + at + 8);
    ULONGLONG length = riffbytes::Get64(p + at + 16);
    if (!Fits32(start) || !Fits32(length) || !Fits32(start + length)) break;
    loops.push_back({riffbytes::Get32(p + at + 4), start, start + length});
  }
  // Marker ids 1 and 2 bound the sustain loop, 3 and 4 the release loop:
  // an id of 0 would mean no marker.
  BigBody inst;
  inst.U8(static_cast<BYTE>(riffbytes::Get32(p + 12))).U8(0).U8(0).U8(127).U8(0).U8(127).U16(0);
  for (size_t i = 0; i < 2; ++i) {
    if (i < loops.size())
      inst.U16(PlayMode(loops[i].type)).U16(static_cast<WORD>(2 * i + 1)).U16(static_cast<WORD>(2 * i + 2));
    else
      inst.U16(0).U16(0).U16(0);
  }
  hr = AppendIffChunk(file, IffId("INST"), inst.s);
  if (FAILED(hr) || loops.empty()) return hr;
  BigBody mark;
  mark.U16(static_cast<WORD>(2 * loops.size()));
  for (size_t i = 0; i < loops.size(); ++i) {
    mark.U16(static_cast<WORD>(2 * i + 1)).U32(static_cast<DWORD>(loops[i].start));
    CountedString(&mark, "beg loop");
    mark.U16(static_cast<WORD>(2 * i + 2)).U32(static_cast<DWORD>(loops[i].end));
    CountedString(&mark, "end loop");
  }
  return AppendIffChunk(file, IffId("MARK"), mark.s);
}

// The AIFF step: "INST" and "MARK" replaced from the sampler stream as one
// replacement, so that both or neither stand after it (a form they cannot
// be appended to is refused untouched). The chunks do not depend on the
// compression: an AIFF-C file of any takes them.
HRESULT ReplaceAiff(HANDLE file, IWuReadMeta* reader, bool clean) {
  Session session(formappend::Layout::kIff);
  if (clean) session.iff_ids = {IffId("INST"), IffId("MARK")};
  const Target target{file, false, &session};
  return ReplaceSet(file, &session, [&] {
    metastream::Streams streams;
    HRESULT hr = metastream::CollectStreams(reader, &streams);
    for (IStream* stream : streams.list) {
      DWORD count = 0;
      GUID guid{};
      if (FAILED(hr)) break;
      hr = metastream::ReadHeader(stream, &count, &guid);
      if (SUCCEEDED(hr) && count > 0 && IsEqualGUID(guid, kMetaGuidSampler))
        return WriteAiffLoops(target, stream);
    }
    return hr;
  });
}

// Writes `kinds` into an open media file: an AIFF or AIFF-C file takes only
// its "INST" and "MARK" and is never sent down the RIFF path; a RIFF file
// everything else.
HRESULT ReplaceInMedia(HANDLE media, IWuReadMeta* reader, DWORD rate, DWORD kinds, bool clean) {
  if (iff_IsAIFFForm(media))
    return kinds & WUFIO_META_AIFF_MARKERS ? ReplaceAiff(media, reader, clean) : S_OK;
  return ReplaceIn(Target{media, false}, reader, rate, kinds & ~WUFIO_META_AIFF_MARKERS, clean);
}

}  // namespace

DWORD WuFMMeta_KindsPresent(IWuReadMeta* reader, DWORD mask, BOOL write_mode) {
  if (!reader) return 0;
  DWORD present = 0;
  metastream::Streams streams;
  metastream::CollectStreams(reader, &streams);
  for (IStream* stream : streams.list) {
    DWORD count = 0;
    GUID guid{};
    if (FAILED(metastream::ReadHeader(stream, &count, &guid)) || (write_mode && count == 0))
      continue;
    DWORD kind = metastream::KindOf(guid);
    // The sampler stream serves both "smpl" and the AIFF kind: each one
    // requested is present, and the media file's form picks what is written.
    if (kind == WUFIO_META_SAMPLER) kind |= WUFIO_META_AIFF_MARKERS;
    present |= kind & mask;
  }
  if ((mask & WUFIO_META_MARKERS) && ReaderHasItems(reader, &IWuReadMeta::GetRegionStream))
    present |= WUFIO_META_MARKERS;
  if ((mask & WUFIO_META_SLOT4) && ReaderHasItems(reader, &IWuReadMeta::GetCommandStream))
    present |= WUFIO_META_SLOT4;
  if ((mask & WUFIO_META_INFO) && ReaderHasItems(reader, &IWuReadMeta::GetSummaryStream))
    present |= WUFIO_META_INFO;
  return present;
}

HRESULT WuFMMeta_openAndWriteMetaStreamEx(LPCWSTR media_path, BOOL fresh, DWORD sample_rate,
                                          IWuReadMeta* reader, DWORD media_kinds,
                                          DWORD side_kinds) {
  if (!media_path || !reader) return E_INVALIDARG;
  DWORD side_present = WuFMMeta_KindsPresent(reader, side_kinds, TRUE);
  const std::u16string kept = side_present ? AppendingName(media_path) : std::u16string();
  if (side_present) {
    HRESULT hr = WriteSide(media_path, reader, sample_rate, side_present);
    if (FAILED(hr)) return hr;
  }
  // The other side files of this media file go once the new one stands
  // (all of them when there is nothing for one); another media file's
  // side file under the same name stays.
  for (int mode : {0, 1}) {
    std::u16string name = MetaName(media_path, mode);
    if (name.empty() || name == kept || !WuFMMeta_IsMetaFile(media_path, name.c_str())) continue;
    if (!DeleteFileW(name.c_str())) return Translated();
  }
  if (!media_kinds) return S_OK;
  HANDLE media = OpenExisting(media_path);
  if (media == INVALID_HANDLE_VALUE) return Translated();
  HRESULT hr = ReplaceInMedia(media, reader, sample_rate, media_kinds, !fresh);
  CloseHandle(media);
  return hr;
}

HRESULT WuFMMeta_WriteMetaStreamEx(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                   IWuReadMeta* reader, DWORD kinds) {
  return WuFMMeta_openAndWriteMetaStreamEx(media_path, TRUE, sample_rate, reader,
                                           to_side ? 0 : kinds, to_side ? kinds : 0);
}

HRESULT WuFMMeta_WriteMetaStream(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                 IWuReadMeta* reader) {
  return WuFMMeta_WriteMetaStreamEx(media_path, to_side, sample_rate, reader,
                                    WUFIO_META_INFO | WUFIO_META_MARKERS);
}

HRESULT WuFMMeta_openAndWriteMetaStream(LPCWSTR media_path, BOOL fresh, BOOL to_side,
                                        DWORD sample_rate, IWuReadMeta* reader) {
  DWORD kinds = WUFIO_META_INFO | WUFIO_META_MARKERS;
  return WuFMMeta_openAndWriteMetaStreamEx(media_path, fresh, sample_rate, reader,
                                           to_side ? 0 : kinds, to_side ? kinds : 0);
}

namespace {

HRESULT UpdatePair(LPCWSTR media_path, DWORD sample_rate, IWuReadMeta* reader, DWORD media_kinds,
                   DWORD side_kinds, bool riff64) {
  if (!media_path || !reader) return E_INVALIDARG;
  // No AIFF step and no raw chunks on a Wave64 file.
  if (riff64) media_kinds &= ~(WUFIO_META_AIFF_MARKERS | WUFIO_META_RAW);
  DWORD media_present = WuFMMeta_KindsPresent(reader, media_kinds, FALSE);
  DWORD side_present = WuFMMeta_KindsPresent(reader, side_kinds, FALSE);
  std::u16string side_name = ExistingSideFile(media_path);
  HRESULT hr = S_OK;
  if (side_present) {
    if (side_name.empty()) {
      hr = CreateSide(media_path, reader, sample_rate, side_present);
    } else {
      HANDLE side = OpenExisting(side_name.c_str());
      if (side == INVALID_HANDLE_VALUE) return Translated();
      // The owner chunk ends the new set: it stays the side file's last.
      hr = ReplaceIn(Target{side, false}, reader, sample_rate, side_present, true, media_path);
      CloseHandle(side);
    }
    if (FAILED(hr)) return hr;
  }
  if (!media_present) return S_OK;
  HANDLE media = OpenExisting(media_path);
  if (media == INVALID_HANDLE_VALUE) return Translated();
  hr = riff64 ? ReplaceIn(Target{media, true}, reader, sample_rate, media_present, true)
              : ReplaceInMedia(media, reader, sample_rate, media_present, true);
  CloseHandle(media);
  if (FAILED(hr) || side_name.empty()) return hr;
  // The media kinds leave the side file only once the media file holds
  // them: a failed media write leaves them where they were.
  HANDLE side = OpenExisting(side_name.c_str());
  if (side == INVALID_HANDLE_VALUE) return S_OK;
  hr = WuFMMeta_DeleteKindsFromFile(side, media_present, FALSE);
  CloseHandle(side);
  return hr;
}

}  // namespace

HRESULT WuFMMeta_UpdateMetaStream2(LPCWSTR media_path, DWORD sample_rate, IWuReadMeta* reader,
                                   DWORD media_kinds, DWORD side_kinds) {
  return UpdatePair(media_path, sample_rate, reader, media_kinds, side_kinds, false);
}

HRESULT WuFMMeta64_UpdateMetaStream(LPCWSTR media_path, DWORD sample_rate, IWuReadMeta* reader,
                                    DWORD media_kinds, DWORD side_kinds) {
  return UpdatePair(media_path, sample_rate, reader, media_kinds, side_kinds, true);
}

HRESULT WuFMMeta64_openAndWriteMetaStream(LPCWSTR media_path, BOOL fresh, DWORD sample_rate,
                                          IWuReadMeta* reader, DWORD media_kinds,
                                          DWORD side_kinds) {
  if (!media_path || !reader) return E_INVALIDARG;
  media_kinds &= ~(WUFIO_META_AIFF_MARKERS | WUFIO_META_RAW);
  // Only a side file that names this media file is replaced or deleted:
  // another media file's metadata under the same name survives.
  std::u16string side = AppendingName(media_path);
  if (side_kinds) {
    HRESULT hr = WriteSide(media_path, reader, sample_rate, side_kinds);
    if (FAILED(hr)) return hr;
  } else if (WuFMMeta_IsMetaFile(media_path, side.c_str()) && !DeleteFileW(side.c_str())) {
    return Translated();
  }
  if (!media_kinds) return S_OK;
  HANDLE media = OpenExisting(media_path);
  if (media == INVALID_HANDLE_VALUE) return Translated();
  HRESULT hr = ReplaceIn(Target{media, true}, reader, sample_rate, media_kinds, !fresh);
  CloseHandle(media);
  return hr;
}

HRESULT WuFMMeta_UpdateMetaStreamEx(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                    IWuReadMeta* reader, DWORD kinds) {
  return WuFMMeta_UpdateMetaStream2(media_path, sample_rate, reader, to_side ? 0 : kinds,
                                    to_side ? kinds : 0);
}

HRESULT WuFMMeta_UpdateMetaStream(LPCWSTR media_path, BOOL to_side, DWORD sample_rate,
                                  IWuReadMeta* reader) {
  return WuFMMeta_UpdateMetaStreamEx(media_path, to_side, sample_rate, reader, WUFIO_META_MARKERS);
}
