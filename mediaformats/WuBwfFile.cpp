// The broadcast-wave record in WAV and Wave64 files: loaders, deletion
// and rewriting of the "bext" chunk.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "mediaformats/FormAppend.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuBwf.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

// What a file offers the record: the rate of its "fmt " chunk and the
// bytes of its bext chunk (at most the fixed part in quick mode), with one
// zero byte after them.
struct BextSource {
  DWORD rate = 0;
  bool found = false;
  DWORD chunk_size = 0;        // the chunk's data size as stored (capped)
  std::vector<BYTE> bytes;     // max(read, 602) + 1 zero-filled bytes
};

// Reads the fmt body's rate: the body is taken into a zero-filled buffer
// of at least 40 bytes, and bodies above 4,096 bytes are refused.
HRESULT ReadRate(HANDLE file, ULONGLONG size, bool wave64, DWORD* rate) {
  if (size > kWavMaxFmtBytes) return RIFF_E_WRONG_FORM;
  std::vector<BYTE> body(std::max<size_t>(static_cast<size_t>(size), 40));
  HRESULT hr = wave64 ? riff64_ReadData(file, body.data(), size)
                      : riff_ReadData(file, body.data(), static_cast<DWORD>(size));
  if (FAILED(hr)) return hr;
  *rate = riffbytes::Get32(body.data() + 4);
  return S_OK;
}

// Reads `size` bytes of chunk data (of `chunk_size`) into source->bytes.
HRESULT ReadBext(HANDLE file, ULONGLONG chunk_size, bool quick, bool wave64, BextSource* source) {
  ULONGLONG take = quick ? std::min<ULONGLONG>(chunk_size, kBwfFixedBytes) : chunk_size;
  source->bytes.assign(static_cast<size_t>(std::max<ULONGLONG>(take, kBwfFixedBytes)) + 1, 0);
  source->chunk_size = static_cast<DWORD>(chunk_size);
  source->found = true;
  return wave64 ? riff64_ReadDataBounded(file, source->bytes.data(), static_cast<DWORD>(take), chunk_size)
                : riff_ReadDataBounded(file, source->bytes.data(), static_cast<DWORD>(take),
                                       static_cast<DWORD>(chunk_size));
}

// The bytes of the file from the position to its end.
ULONGLONG BytesToEnd(HANDLE file) {
  LONGLONG here = rifffile::Tell(file);
  LONGLONG end = rifffile::Size(file);
  return here >= 0 && end > here ? static_cast<ULONGLONG>(end - here) : 0;
}

HRESULT LocateWav(HANDLE file, bool quick, BextSource* source) {
  DWORD form_bytes = 0;
  FOURCC form_type = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  HRESULT hr = riff_ReadFileID(file, &form_bytes, &form_type);
  if (FAILED(hr)) return hr;
  if (form_type != RiffId("WAVE")) return RIFF_E_NOT_FOUND;
  DWORD left = form_bytes;
  DWORD size = 0;
  hr = riff_FindChunkHeader(file, RiffId("fmt "), &size, &left);
  if (FAILED(hr)) return hr;
  hr = ReadRate(file, size, false, &source->rate);
  if (FAILED(hr)) return hr;
  for (FOURCC id : {RiffId("bext"), RiffId("BEXT")}) {
    if (!rifffile::SeekTo(file, kRiffDataStart)) return RIFF_E_READ;
    left = form_bytes;
    hr = riff_FindChunkHeader(file, id, &size, &left);
    if (hr == RIFF_E_NOT_FOUND) continue;
    if (FAILED(hr)) return RIFF_E_WRONG_FORM;
    // A chunk shorter than 4 bytes, or claiming more than the rest of the
    // form or file, is refused before anything is allocated.
    if (size < 4 || size > left || size > BytesToEnd(file)) return RIFF_E_WRONG_FORM;
    return ReadBext(file, size, quick, false, source);
  }
  return S_OK;
}

HRESULT LocateW64(HANDLE file, bool quick, BextSource* source) {
  ULONGLONG form_bytes = 0;
  GUID form_type = {};
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  HRESULT hr = riff64_ReadFileID(file, &form_bytes, &form_type);
  if (FAILED(hr)) return hr;
  if (!IsEqualGUID(form_type, kRiff64GuidWave)) return RIFF_E_NOT_FOUND;
  LONGLONG start_left = static_cast<LONGLONG>(std::min<ULONGLONG>(form_bytes, 0x7FFFFFFFFFFFFFFFull));
  LONGLONG left = start_left;
  ULONGLONG size = 0;
  hr = riff64_FindChunkHeader(file, kRiff64GuidFmt, &size, &left);
  if (FAILED(hr)) return hr;
  hr = ReadRate(file, size, true, &source->rate);
  if (FAILED(hr)) return hr;
  if (FAILED(riff64_SeekDataStart(file))) return RIFF_E_READ;
  left = start_left;
  hr = riff64_FindChunkHeader(file, kRiff64GuidBext, &size, &left);
  if (hr == RIFF_E_NOT_FOUND) return S_OK;
  if (FAILED(hr)) return RIFF_E_WRONG_FORM;
  if (size < 4 || left < 0 || size > static_cast<ULONGLONG>(left) || size > BytesToEnd(file) ||
      size > 0xFFFFFFFFull)
    return RIFF_E_WRONG_FORM;
  return ReadBext(file, size, quick, true, source);
}

// Fills the record from what the file offered (the quick mode takes only
// the times).
HRESULT FillRecord(const BextSource& source, bool quick, _tagWUBWF_Chunk* record, int* loaded) {
  record->WuBWFChunk_FreeCodingHistory();
  record->WuBWF_Clear();
  record->dwFlags = WUBWF_RATE_VALID;
  record->dwSampleRate = source.rate;
  if (!source.found) return S_OK;
  const BYTE* b = source.bytes.data();
  const char* text = reinterpret_cast<const char*>(b);
  record->WuBWF_SetOriginationDateA(text + 320);
  record->WuBWF_SetOriginationTimeA(text + 330);
  record->WuBWF_SetTimeReference(riffbytes::Get64(b + 338));
  record->WuBWF_SetVersion(riffbytes::Get16(b + 346));
  record->dwFlags |= WUBWF_TIMES_VALID;
  if (!quick) {
    record->WuBWF_SetDescriptionA(text);
    record->WuBWF_SetOriginatorA(text + 256);
    record->WuBWF_SetOriginatorReferenceA(text + 288);
    record->WuBWF_SetUMID(b + 348);
    record->WuBWF_SetReserved(b + 412, kBwfReservedBytes);
    HRESULT hr = source.chunk_size > kBwfFixedBytes
                     ? record->WuBWF_SetCodingHistoryA(text + kBwfFixedBytes)
                     : (record->WuBWFChunk_FreeCodingHistory(), S_OK);
    if (FAILED(hr)) {
      record->WuBWFChunk_FreeCodingHistory();
      return hr;
    }
    record->dwFlags |= WUBWF_TEXTS_VALID;
  }
  *loaded = 1;
  return S_OK;
}

HRESULT LoadInfo(HANDLE file, _tagWUBWF_Chunk* record, int* loaded, bool wave64, bool quick) {
  if (!record || !loaded) return E_INVALIDARG;
  *loaded = 0;
  BextSource source;
  HRESULT hr = wave64 ? LocateW64(file, quick, &source) : LocateWav(file, quick, &source);
  if (FAILED(hr)) {
    if (source.rate) {
      record->WuBWFChunk_FreeCodingHistory();
      record->WuBWF_Clear();
      record->dwFlags = WUBWF_RATE_VALID;
      record->dwSampleRate = source.rate;
    }
    return hr;
  }
  return FillRecord(source, quick, record, loaded);
}

}  // namespace

HRESULT bwfriff_LoadInfo(HANDLE file, _tagWUBWF_Chunk* record, int* loaded) {
  return LoadInfo(file, record, loaded, false, false);
}

HRESULT bwfriff64_LoadInfo(HANDLE file, _tagWUBWF_Chunk* record, int* loaded) {
  return LoadInfo(file, record, loaded, true, false);
}

HRESULT bwfriff_LoadTimestampInfoQuick(LPCWSTR path, _tagWUBWF_Chunk* record, int* loaded,
                                       BOOL wave64) {
  if (!path || !record || !loaded) return E_INVALIDARG;
  *loaded = 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return RIFF_E_OPEN;
  HRESULT hr = LoadInfo(file, record, loaded, wave64 != FALSE, true);
  CloseHandle(file);
  return hr;
}

HRESULT bwfriff_DeleteAllChunks(HANDLE file, LONG* removed) {
  if (removed) *removed = 0;
  for (FOURCC id : {RiffId("bext"), RiffId("BEXT")}) {
    for (;;) {
      DWORD gone = 0;
      HRESULT hr = riff_DeleteChunk(file, id, &gone, FALSE);
      if (hr == RIFF_E_NOT_FOUND) break;
      if (FAILED(hr)) return hr;
      if (removed) *removed += static_cast<LONG>(gone);
    }
  }
  return S_OK;
}

HRESULT bwfriff64_DeleteAllChunks(HANDLE file, ULONGLONG* removed) {
  if (removed) *removed = 0;
  for (;;) {
    ULONGLONG gone = 0;
    HRESULT hr = riff64_DeleteChunk(file, kRiff64GuidBext, &gone);
    if (hr == RIFF_E_NOT_FOUND) return S_OK;
    if (FAILED(hr)) return hr;
    if (removed) *removed += gone;
  }
}

namespace {

// Writes `data` and then zero bytes up to `total` bytes.
HRESULT WriteWithZeros(HANDLE file, const void* data, ULONGLONG size, ULONGLONG total) {
  HRESULT hr = size ? rifffile::WriteExact(file, data, static_cast<DWORD>(size)) : S_OK;
  if (FAILED(hr) || total <= size) return hr;
  std::vector<BYTE> zeros(static_cast<size_t>(std::min<ULONGLONG>(total - size, 1 << 16)));
  for (ULONGLONG left = total - size; left > 0 && SUCCEEDED(hr);) {
    DWORD step = static_cast<DWORD>(std::min<ULONGLONG>(left, zeros.size()));
    hr = rifffile::WriteExact(file, zeros.data(), step);
    left -= step;
  }
  return hr;
}

}  // namespace

HRESULT bwfriff_UpdateStreamChunk(HANDLE file, DWORD id, const void* data, DWORD size,
                                  DWORD* written) {
  if (written) *written = 0;
  if (!data && size) return E_INVALIDARG;
  DWORD form_bytes = 0;
  FOURCC form_type = 0;
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  HRESULT hr = riff_ReadFileID(file, &form_bytes, &form_type);
  if (FAILED(hr)) return hr;
  DWORD left = form_bytes;
  DWORD old_size = 0;
  hr = riff_FindChunkHeader(file, id, &old_size, &left);
  if (FAILED(hr) && hr != RIFF_E_NOT_FOUND) return hr;
  bool found = SUCCEEDED(hr);
  if (found) {
    // A chunk that claims more than its form or its file holds is refused,
    // as a delete refuses it: its size cannot say where it ends.
    if (old_size > left || old_size > BytesToEnd(file)) return RIFF_E_WRONG_FORM;
    if (old_size >= size) {
      // In place: the old header and sizes stay, the old data's tail is
      // zeroed so that readers taking the chunk's size see no stale bytes.
      hr = WriteWithZeros(file, data, size, old_size);
      return FAILED(hr) ? RIFF_E_WRITE : S_OK;
    }
  }
  // The new chunk is appended and the form grown first; only then are the
  // smaller old chunks retired (they stay as "JUNK" filler), so that a
  // failed write leaves the old chunk and the file as they were.
  DWORD padded = static_cast<DWORD>(riffbytes::PadEven(size));
  DWORD count = padded + 8;
  formappend::Point point;
  hr = formappend::Begin(file, formappend::Layout::kRiff, &point);
  if (FAILED(hr)) return hr;
  hr = riff_WriteChunkHeader(file, id, padded);
  if (SUCCEEDED(hr)) hr = WriteWithZeros(file, data, size, padded);
  hr = formappend::End(file, point, FAILED(hr) ? RIFF_E_WRITE : S_OK, count);
  if (FAILED(hr)) return hr;
  if (found) {
    BYTE old_id[4], junk[4];
    riffbytes::Put32(old_id, id);
    riffbytes::Put32(junk, RiffId("JUNK"));
    hr = formappend::Retire(file, point, old_id, junk);
    if (FAILED(hr)) return hr;
  }
  if (written) *written = static_cast<DWORD>(point.at - point.form_end) + count;
  return S_OK;
}

HRESULT bwfriff64_UpdateStreamChunk(HANDLE file, const void* data, ULONGLONG size,
                                    ULONGLONG* written) {
  if (written) *written = 0;
  if ((!data && size) || size > 0xFFFFFFFFull) return E_INVALIDARG;
  ULONGLONG form_bytes = 0;
  GUID form_type = {};
  if (!rifffile::SeekTo(file, 0)) return RIFF_E_READ;
  HRESULT hr = riff64_ReadFileID(file, &form_bytes, &form_type);
  if (FAILED(hr)) return hr;
  LONGLONG left = static_cast<LONGLONG>(std::min<ULONGLONG>(form_bytes, 0x7FFFFFFFFFFFFFFFull));
  ULONGLONG old_size = 0;
  hr = riff64_FindChunkHeader(file, kRiff64GuidBext, &old_size, &left);
  if (FAILED(hr) && hr != RIFF_E_NOT_FOUND) return hr;
  bool found = SUCCEEDED(hr);
  if (found) {
    ULONGLONG room = left < 0 ? 0 : std::min<ULONGLONG>(static_cast<ULONGLONG>(left), BytesToEnd(file));
    if (old_size > room) return RIFF_E_WRONG_FORM;
    if (old_size >= size) {
      // The zeros reach the old chunk's padding where the form and the
      // file hold it.
      ULONGLONG padded = riffbytes::Pad8(old_size);
      hr = WriteWithZeros(file, data, size, padded <= room ? padded : old_size);
      return FAILED(hr) ? RIFF_E_WRITE : S_OK;
    }
  }
  ULONGLONG padded = riffbytes::Pad8(size);
  ULONGLONG count = padded + kRiff64HeaderBytes;
  formappend::Point point;
  hr = formappend::Begin(file, formappend::Layout::kRiff64, &point);
  if (FAILED(hr)) return hr;
  hr = riff64_WriteChunkHeader(file, kRiff64GuidBext, padded);
  if (SUCCEEDED(hr)) hr = WriteWithZeros(file, data, size, padded);
  hr = formappend::End(file, point, FAILED(hr) ? RIFF_E_WRITE : S_OK, count);
  if (FAILED(hr)) return hr;
  if (found) {
    BYTE old_id[riffbytes::kGuidBytes], junk[riffbytes::kGuidBytes];
    riffbytes::PutGuid(old_id, kRiff64GuidBext);
    riffbytes::PutGuid(junk, kW64GuidJunk);
    hr = formappend::Retire(file, point, old_id, junk);
    if (FAILED(hr)) return hr;
  }
  if (written) *written = point.at - point.form_end + count;
  return S_OK;
}
