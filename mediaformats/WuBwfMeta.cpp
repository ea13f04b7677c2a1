// The broadcast-wave record from a plug-in's metadata reader: one stream
// per field of the broadcast-wave kind.
#include <cstring>
#include <new>

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuBwf.h"

namespace {

// Releases an interface on every exit.
template <typename T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p) p->Release();
  }
};

LARGE_INTEGER Offset(LONGLONG v) {
  LARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}

// The stream's size, learnt by seeking to its end; the pointer is then at
// the start. 0 when the first seek fails.
ULONGLONG StreamSize(IStream* stream) {
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr))) return 0;
  ULARGE_INTEGER end = {};
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_END, &end))) return 0;
  if (FAILED(stream->Seek(Offset(0), STREAM_SEEK_SET, nullptr))) return 0;
  return end.QuadPart;
}

// Reads exactly `count` bytes from the start.
HRESULT ReadAll(IStream* stream, void* buffer, ULONG count) {
  ULONG got = 0;
  if (FAILED(stream->Read(buffer, count, &got)) || got != count) return BWF_E_STREAM_SIZE;
  return S_OK;
}

// A UTF-16 text field of `capacity` characters: at most capacity - 1
// characters are read, and the field is always terminated.
HRESULT LoadText(IStream* stream, LPWSTR field, ULONG capacity) {
  ULONGLONG size = StreamSize(stream);
  ULONGLONG room = static_cast<ULONGLONG>(capacity - 1) * sizeof(WCHAR);
  ULONG want = static_cast<ULONG>(size < room ? size : room);
  if (want == 0) return BWF_E_STREAM_SIZE;
  ULONG got = 0;
  std::memset(field, 0, capacity * sizeof(WCHAR));
  if (FAILED(stream->Read(field, want, &got)) || got == 0) return BWF_E_STREAM_SIZE;
  field[got / sizeof(WCHAR)] = 0;
  field[capacity - 1] = 0;
  return S_OK;
}

// A field of exactly `count` bytes.
HRESULT LoadExact(IStream* stream, void* out, ULONG count) {
  if (StreamSize(stream) != count) return BWF_E_STREAM_SIZE;
  return ReadAll(stream, out, count);
}

// A field of `count` bytes kept as it is when the stream has another size
// (result 1).
HRESULT LoadFixed(IStream* stream, BYTE* out, ULONG count) {
  if (StreamSize(stream) != count) return S_FALSE;
  BYTE bytes[kBwfReservedBytes];
  HRESULT hr = ReadAll(stream, bytes, count);
  if (SUCCEEDED(hr)) std::memcpy(out, bytes, count);
  return hr;
}

HRESULT LoadHistory(IStream* stream, _tagWUBWF_Chunk* record) {
  ULONGLONG size = StreamSize(stream);
  if (size > 0xFFFFFFFEull) return BWF_E_STREAM_SIZE;
  ULONG chars = static_cast<ULONG>(size / sizeof(WCHAR));
  LPWSTR text = new (std::nothrow) WCHAR[chars + 1];
  if (!text) return E_OUTOFMEMORY;
  // The terminator goes in after the read: an odd last byte lands in it.
  HRESULT hr = ReadAll(stream, text, static_cast<ULONG>(size));
  text[chars] = 0;
  if (FAILED(hr)) {
    record->WuBWFChunk_FreeCodingHistory();
  } else {
    hr = record->WuBWF_SetCodingHistoryW(text);
  }
  delete[] text;
  return hr;
}

HRESULT LoadField(IStream* stream, int field, _tagWUBWF_Chunk* record) {
  switch (field) {
    case WUBWF_FIELD_DESCRIPTION:
      return LoadText(stream, record->szDescription, 257);
    case WUBWF_FIELD_ORIGINATOR:
      return LoadText(stream, record->szOriginator, 33);
    case WUBWF_FIELD_ORIGINATOR_REFERENCE:
      return LoadText(stream, record->szOriginatorReference, 33);
    case WUBWF_FIELD_DATE:
      return LoadText(stream, record->szOriginationDate, 11);
    case WUBWF_FIELD_TIME:
      return LoadText(stream, record->szOriginationTime, 9);
    case WUBWF_FIELD_TIME_REFERENCE: {
      BYTE bytes[8];
      HRESULT hr = LoadExact(stream, bytes, sizeof bytes);
      if (SUCCEEDED(hr)) record->qwTimeReference = riffbytes::Get64(bytes);
      return hr;
    }
    case WUBWF_FIELD_VERSION: {
      BYTE bytes[2];
      HRESULT hr = LoadExact(stream, bytes, sizeof bytes);
      if (SUCCEEDED(hr)) record->wVersion = riffbytes::Get16(bytes);
      return hr;
    }
    case WUBWF_FIELD_UMID:
      return LoadFixed(stream, record->abUMID, kBwfUmidBytes);
    case WUBWF_FIELD_RESERVED:
      return LoadFixed(stream, record->abReserved, kBwfReservedBytes);
    case WUBWF_FIELD_CODING_HISTORY:
      return LoadHistory(stream, record);
    default:
      return E_INVALIDARG;
  }
}

}  // namespace

HRESULT bwfmeta_LoadInfo(IWuReadMeta* reader, _tagWUBWF_Chunk* record, int* loaded) {
  if (!reader || !record || !loaded) return E_INVALIDARG;
  *loaded = 0;
  Held<IWuReadMetaBroadcastWave> kind;
  HRESULT hr = reader->QueryInterface(IID_IWuReadMetaBroadcastWave, reinterpret_cast<void**>(&kind.p));
  if (FAILED(hr) || !kind.p) return hr;
  for (int field = 0; field < WUBWF_FIELD_COUNT; ++field) {
    Held<IStream> stream;
    hr = kind.p->GetFieldStream(&stream.p, field);
    if (SUCCEEDED(hr)) hr = stream.p ? LoadField(stream.p, field, record) : BWF_E_STREAM_SIZE;
    if (FAILED(hr)) {
      record->WuBWFChunk_FreeCodingHistory();
      return hr;
    }
  }
  record->dwFlags |= WUBWF_TEXTS_VALID | WUBWF_TIMES_VALID;
  hr = record->WuBWF_CheckLoaded();
  if (SUCCEEDED(hr)) *loaded = 1;
  return hr;
}
