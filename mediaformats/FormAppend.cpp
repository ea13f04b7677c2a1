// Appending chunks at the end of a form of an open file.
#include "mediaformats/FormAppend.h"

#include <algorithm>
#include <cstring>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/RiffFile.h"
#include "mediaformats/WuBigEndian.h"

namespace formappend {

namespace {

// What differs between the layouts.
struct Shape {
  ULONGLONG first;      // offset of the first chunk
  ULONGLONG header;     // bytes of a chunk header
  ULONGLONG align;      // chunks start at multiples of this
  ULONGLONG min_size;   // the smallest stored form size (the form type)
  ULONGLONG max_size;   // the largest stored form size
};

Shape ShapeOf(Layout layout) {
  switch (layout) {
    case Layout::kRiff64: return {kRiff64DataStart, kRiff64HeaderBytes, 8, kRiff64DataStart, ~0ULL};
    case Layout::kIff: return {12, 8, 2, 4, kRiffMaxFormSize};
    case Layout::kRiff: break;
  }
  return {kRiffDataStart, 8, 2, 4, kRiffMaxFormSize};
}

// The form's end for a stored size (RIFF and IFF count from offset 8).
ULONGLONG FormEnd(Layout layout, ULONGLONG stored) {
  return layout == Layout::kRiff64 ? stored : stored + 8;
}

ULONGLONG AlignUp(ULONGLONG value, ULONGLONG align) {
  return (value + align - 1) / align * align;
}

// Reads `count` bytes at `offset`.
HRESULT ReadAt(HANDLE file, ULONGLONG offset, BYTE* bytes, DWORD count) {
  if (!rifffile::SeekTo(file, offset)) return RIFF_E_READ;
  return rifffile::ReadExact(file, bytes, count);
}

// The form's id check and stored size from its header.
HRESULT ReadForm(HANDLE file, Layout layout, ULONGLONG* stored) {
  BYTE bytes[kRiff64DataStart];
  DWORD count = layout == Layout::kRiff64 ? static_cast<DWORD>(kRiff64DataStart) : 12;
  if (HRESULT hr = ReadAt(file, 0, bytes, count); FAILED(hr)) return hr;
  switch (layout) {
    case Layout::kRiff64:
      if (!IsEqualGUID(riffbytes::GetGuid(bytes), kRiff64GuidRiff)) return RIFF_E_NOT_RIFF;
      *stored = riffbytes::Get64(bytes + 16);
      return S_OK;
    case Layout::kIff:
      if (bigendian::Get32(bytes) != 0x464F524D) return RIFF_E_WRONG_FORM;  // "FORM"
      *stored = bigendian::Get32(bytes + 4);
      return S_OK;
    case Layout::kRiff:
      break;
  }
  if (riffbytes::Get32(bytes) != RiffId("RIFF")) return RIFF_E_NOT_RIFF;
  *stored = riffbytes::Get32(bytes + 4);
  return S_OK;
}

// The header of the chunk at `offset` and the data size it gives (RIFF64:
// the stored size counts the header; one below it reads as no data).
HRESULT ReadHeader(HANDLE file, Layout layout, ULONGLONG offset, BYTE* bytes, ULONGLONG* data) {
  DWORD count = static_cast<DWORD>(ShapeOf(layout).header);
  if (HRESULT hr = ReadAt(file, offset, bytes, count); FAILED(hr)) return hr;
  switch (layout) {
    case Layout::kRiff64: {
      ULONGLONG stored = riffbytes::Get64(bytes + 16);
      *data = stored >= kRiff64HeaderBytes ? stored - kRiff64HeaderBytes : 0;
      return S_OK;
    }
    case Layout::kIff:
      *data = bigendian::Get32(bytes + 4);
      return S_OK;
    case Layout::kRiff:
      break;
  }
  *data = riffbytes::Get32(bytes + 4);
  return S_OK;
}

// Walks the chunks from the first to `form_end`, each of which must lie
// wholly inside the form and have its header in the file (else
// RIFF_E_WRONG_FORM), calling visit(offset, header bytes) for each. *end
// receives where the last chunk's data ends, *next where a following chunk
// would start.
template <class Visit>
HRESULT Walk(HANDLE file, Layout layout, ULONGLONG form_end, ULONGLONG file_size, ULONGLONG* end,
             ULONGLONG* next, Visit visit) {
  const Shape shape = ShapeOf(layout);
  *end = *next = shape.first;
  while (*next < form_end) {
    ULONGLONG at = *next;
    // A header that the form cuts, or that lies beyond the file.
    if (form_end - at < shape.header || file_size < at || file_size - at < shape.header)
      return RIFF_E_WRONG_FORM;
    BYTE header[kRiff64HeaderBytes];
    ULONGLONG data = 0;
    if (HRESULT hr = ReadHeader(file, layout, at, header, &data); FAILED(hr)) return hr;
    if (data > form_end - at - shape.header) return RIFF_E_WRONG_FORM;
    if (HRESULT hr = visit(at, header); FAILED(hr)) return hr;
    *end = at + shape.header + data;
    *next = AlignUp(*end, shape.align);
  }
  return S_OK;
}

HRESULT WriteStored(HANDLE file, Layout layout, ULONGLONG stored) {
  BYTE bytes[8];
  switch (layout) {
    case Layout::kRiff64:
      riffbytes::Put64(bytes, stored);
      return rifffile::SeekTo(file, 16) ? rifffile::WriteExact(file, bytes, 8) : RIFF_E_WRITE;
    case Layout::kIff:
      for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(stored >> (24 - 8 * i));
      break;
    case Layout::kRiff:
      riffbytes::Put32(bytes, static_cast<DWORD>(stored));
      break;
  }
  return rifffile::SeekTo(file, 4) ? rifffile::WriteExact(file, bytes, 4) : RIFF_E_WRITE;
}

}  // namespace

HRESULT Find(HANDLE file, Layout layout, Point* point) {
  *point = Point{};
  point->layout = layout;
  const Shape shape = ShapeOf(layout);
  LONGLONG size = rifffile::Size(file);
  if (size < 0) return RIFF_E_READ;
  ULONGLONG file_size = static_cast<ULONGLONG>(size);
  ULONGLONG stored = 0;
  if (HRESULT hr = ReadForm(file, layout, &stored); FAILED(hr)) return hr;
  if (stored < shape.min_size) return RIFF_E_WRONG_FORM;
  const ULONGLONG form_end = FormEnd(layout, stored);
  ULONGLONG end = 0;
  ULONGLONG next = 0;
  HRESULT hr = Walk(file, layout, form_end, file_size, &end, &next,
                    [](ULONGLONG, const BYTE*) { return S_OK; });
  if (FAILED(hr)) return hr;
  // The file holds every chunk's data and at most the last one's padding.
  if (file_size < end || file_size > next) return RIFF_E_WRONG_FORM;
  point->stored = stored;
  point->form_end = form_end;
  point->at = next;
  point->file_size = file_size;
  return S_OK;
}

HRESULT Begin(HANDLE file, Layout layout, Point* point) {
  HRESULT hr = Find(file, layout, point);
  if (FAILED(hr)) return hr;
  // The padding the file holds stays as it is; what it lacks is written as
  // zeros.
  if (point->at > point->file_size) {
    static const BYTE kZeros[8] = {};
    DWORD pad = static_cast<DWORD>(point->at - point->file_size);
    hr = rifffile::SeekTo(file, point->file_size) ? rifffile::WriteExact(file, kZeros, pad)
                                                  : RIFF_E_WRITE;
    if (FAILED(hr)) {
      rifffile::CutAt(file, point->file_size);
      return hr;
    }
  }
  return rifffile::SeekTo(file, point->at) ? S_OK : RIFF_E_WRITE;
}

HRESULT End(HANDLE file, const Point& point, HRESULT hr, ULONGLONG written) {
  LONGLONG here = rifffile::Tell(file);
  if (SUCCEEDED(hr)) {
    const ULONGLONG grow = point.at - point.form_end + written;
    const ULONGLONG max = ShapeOf(point.layout).max_size;
    if (grow > max || point.stored > max - grow)
      hr = RIFF_E_TOO_LARGE;
    else
      hr = WriteStored(file, point.layout, point.stored + grow);
  }
  if (FAILED(hr)) {
    rifffile::CutAt(file, point.file_size);
    return hr;
  }
  if (here >= 0) rifffile::SeekTo(file, static_cast<ULONGLONG>(here));
  return hr;
}

HRESULT Retire(HANDLE file, const Point& point, const BYTE* id, const BYTE* mark) {
  const DWORD id_bytes = point.layout == Layout::kRiff64 ? 16 : 4;
  ULONGLONG end = 0;
  ULONGLONG next = 0;
  return Walk(file, point.layout, point.form_end, point.at, &end, &next,
              [&](ULONGLONG at, const BYTE* header) {
                if (std::memcmp(header, id, id_bytes) != 0) return S_OK;
                return rifffile::SeekTo(file, at) ? rifffile::WriteExact(file, mark, id_bytes)
                                                  : RIFF_E_WRITE;
              });
}

HRESULT ForEachOld(HANDLE file, const Point& point,
                   const std::function<HRESULT(ULONGLONG at, const BYTE* header)>& visit) {
  ULONGLONG end = 0;
  ULONGLONG next = 0;
  return Walk(file, point.layout, point.form_end, point.at, &end, &next, visit);
}

HRESULT Remove(HANDLE file, const Point& point, const std::vector<ULONGLONG>& offsets) {
  const Shape shape = ShapeOf(point.layout);
  // From the last: the offsets of those before stay where they were.
  for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
    const ULONGLONG at = *it;
    BYTE header[kRiff64HeaderBytes];
    ULONGLONG data = 0;
    if (HRESULT hr = ReadHeader(file, point.layout, at, header, &data); FAILED(hr)) return hr;
    ULONGLONG stored = 0;
    if (HRESULT hr = ReadForm(file, point.layout, &stored); FAILED(hr)) return hr;
    LONGLONG size = rifffile::Size(file);
    if (size < 0) return RIFF_E_READ;
    const ULONGLONG form_end = FormEnd(point.layout, stored);
    const ULONGLONG span_end = AlignUp(at + shape.header + data, shape.align);
    // A last chunk's padding may be missing from the file or from the form.
    const ULONGLONG cut_end = std::min<ULONGLONG>(span_end, static_cast<ULONGLONG>(size));
    const ULONGLONG in_form = form_end > at ? std::min(span_end, form_end) - at : 0;
    if (HRESULT hr = rifffile::MoveTailDown(file, at, cut_end); FAILED(hr)) return hr;
    if (HRESULT hr = WriteStored(file, point.layout, stored - std::min(stored, in_form)); FAILED(hr))
      return hr;
  }
  return S_OK;
}

}  // namespace formappend
