// Reading the metadata streams of a reader.
#include "mediaformats/WuFMMetaStream.h"

#include <algorithm>

#include "mediaformats/RiffBytes.h"

namespace metastream {

namespace {

LARGE_INTEGER Offset(LONGLONG value) {
  LARGE_INTEGER offset;
  offset.QuadPart = value;
  return offset;
}

// Reads a 28-byte header or sub-header: its third word and its GUID.
HRESULT ReadHeader28(IStream* stream, DWORD* third, GUID* kind) {
  BYTE header[kMetaStreamHeaderBytes];
  if (FAILED(ReadExact(stream, header, sizeof header))) return RIFF_E_READ;
  if (riffbytes::Get32(header) != kMetaStreamHeaderBytes ||
      riffbytes::Get32(header + 4) != kMetaStreamVersion)
    return RIFF_E_READ;
  *third = riffbytes::Get32(header + 8);
  if (kind) *kind = riffbytes::GetGuid(header + 12);
  return S_OK;
}

}  // namespace

HRESULT ReadExact(IStream* stream, void* buffer, ULONG count) {
  ULONG read = 0;
  if (FAILED(stream->Read(buffer, count, &read)) || read != count) return RIFF_E_READ;
  return S_OK;
}

ULONGLONG Remaining(IStream* stream) {
  ULARGE_INTEGER here{}, end{};
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_CUR, &here))) return 0;
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_END, &end))) return 0;
  stream->Seek(Offset(static_cast<LONGLONG>(here.QuadPart)), STREAM_SEEK_SET, nullptr);
  return end.QuadPart > here.QuadPart ? end.QuadPart - here.QuadPart : 0;
}

HRESULT ReadHeader(IStream* stream, DWORD* count, GUID* kind) {
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr))) return RIFF_E_READ;
  return ReadHeader28(stream, count, kind);
}

HRESULT ReadItem(IStream* stream, std::string* bytes) {
  DWORD size = 0;
  HRESULT hr = ReadHeader28(stream, &size, nullptr);
  if (FAILED(hr)) return hr;
  // Never allocate more than the stream can deliver.
  if (size > Remaining(stream)) return kBadStream;
  bytes->assign(size, '\0');
  return size ? ReadExact(stream, bytes->data(), size) : S_OK;
}

HRESULT ReadReaderHeader(IStream* stream, DWORD* count) {
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr))) return RIFF_E_READ;
  BYTE header[kMetaReaderStreamHeaderBytes];
  if (FAILED(ReadExact(stream, header, sizeof header))) return RIFF_E_READ;
  if (riffbytes::Get32(header) != kMetaReaderStreamHeaderBytes ||
      riffbytes::Get32(header + 4) != kMetaStreamVersion)
    return RIFF_E_READ;
  *count = riffbytes::Get32(header + 8);
  return S_OK;
}

HRESULT ReadReaderItem(IStream* stream, BYTE* record, DWORD record_bytes, DWORD text_bytes_at,
                       std::string* text) {
  HRESULT hr = ReadExact(stream, record, record_bytes);
  if (FAILED(hr)) return hr;
  DWORD text_bytes = riffbytes::Get32(record + text_bytes_at);
  if (text_bytes > Remaining(stream)) return kBadStream;
  text->assign(text_bytes, '\0');
  return text_bytes ? ReadExact(stream, text->data(), text_bytes) : S_OK;
}

DWORD KindOf(const GUID& kind) {
  static constexpr struct {
    const GUID* id;
    DWORD bit;
  } kKinds[] = {
      {&kMetaGuidInfo, WUFIO_META_INFO},           {&kMetaGuidSlot4, WUFIO_META_SLOT4},
      {&kMetaGuidMarkers, WUFIO_META_MARKERS},     {&kMetaGuidScot, WUFIO_META_SCOT},
      {&kMetaGuidPlaylist, WUFIO_META_PLAYLIST},   {&kMetaGuidTracklist, WUFIO_META_TRACKLIST},
      {&kMetaGuidDisplay, WUFIO_META_DISPLAY},     {&kMetaGuidSampler, WUFIO_META_SAMPLER},
      {&kMetaGuidRaw, WUFIO_META_RAW},             {&kMetaGuidStr2, WUFIO_META_STR2},
      {&kMetaGuidBookmarks, WUFIO_META_BOOKMARKS}, {&kMetaGuidBeats, WUFIO_META_BEATS},
      {&kMetaGuidWu03, WUFIO_META_WU03},           {&kMetaGuidPictures, WUFIO_META_PICTURES},
      {&kMetaGuidWu04, WUFIO_META_WU04},           {&kMetaGuidBmpi, WUFIO_META_BMPI},
      {&kMetaGuidBmpm, WUFIO_META_BMPM},           {&kMetaGuidBwf, WUFIO_META_BWF},
  };
  for (const auto& k : kKinds)
    if (IsEqualGUID(*k.id, kind)) return k.bit;
  return 0;
}

HRESULT CollectStreams(IWuReadMeta* reader, Streams* streams) {
  IWuEnumMetaStreams* enumerator = nullptr;
  if (FAILED(reader->QueryInterface(IID_IWuEnumMetaStreams, reinterpret_cast<void**>(&enumerator))) ||
      !enumerator)
    return S_OK;
  HRESULT hr = enumerator->Reset();
  for (int guard = 0; SUCCEEDED(hr) && guard < 4096; ++guard) {
    IStream* stream = nullptr;
    if (enumerator->Next(&stream) != 0) {
      if (stream) stream->Release();
      break;
    }
    if (stream) streams->list.push_back(stream);
  }
  enumerator->Release();
  return hr;
}

}  // namespace metastream
