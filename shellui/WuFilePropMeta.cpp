// The metadata sections of the file-properties text: the shared line and
// stream helpers, the stream headers, the capture time, and the Summary and
// Capture sections.
#include "shellui/WuFilePropMeta.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

#include "foundation/WuAbout.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "mediaformats/RiffBytes.h"
#include "platform/kernel/date_format.h"
#include "shellui/WuFilePropFormat.h"
#include "shellui/WuFilePropMetaInternal.h"

namespace fpropmeta {

void Header(HWND edit, LPCWSTR text) { WuMEditPrintF(edit, u"%s", text); }

void EmptyLine(HWND edit) { WuMEditPrintF(edit, u""); }

void Line(HWND edit, LPCWSTR label, LPCWSTR value, int width) {
  WCHAR column[kLabelChars] = {};
  WuFormatPropLabel(label, width, column, kLabelChars);
  WuMEditPrintF(edit, u"%s%s", column, value ? value : u"");
}

void LineF(HWND edit, LPCWSTR label, LPCWSTR format, ...) {
  WCHAR value[WUPRINTF_MAX];
  va_list args;
  va_start(args, format);
  WuVPrintFN(value, WUPRINTF_MAX, format, args);
  va_end(args);
  Line(edit, label, value);
}

std::unique_ptr<BYTE[]> ZeroedBytes(size_t bytes) {
  return std::unique_ptr<BYTE[]>(new (std::nothrow) BYTE[bytes]());
}

bool ReadExact(IStream* stream, void* buffer, ULONG bytes) {
  ULONG read = 0;
  HRESULT hr = stream->Read(buffer, bytes, &read);
  return SUCCEEDED(hr) && read == bytes;
}

bool BytesLeft(IStream* stream, ULONGLONG* left) {
  LARGE_INTEGER zero = {};
  ULARGE_INTEGER here = {}, end = {};
  if (FAILED(stream->Seek(zero, STREAM_SEEK_CUR, &here))) return false;
  if (FAILED(stream->Seek(zero, STREAM_SEEK_END, &end))) return false;
  LARGE_INTEGER back = {};
  back.QuadPart = static_cast<LONGLONG>(here.QuadPart);
  if (FAILED(stream->Seek(back, STREAM_SEEK_SET, nullptr))) return false;
  *left = end.QuadPart > here.QuadPart ? end.QuadPart - here.QuadPart : 0;
  return true;
}

static bool SeekStart(IStream* stream) {
  LARGE_INTEGER zero = {};
  return SUCCEEDED(stream->Seek(zero, STREAM_SEEK_SET, nullptr));
}

bool ReadItemCount(IStream* stream, LONG* count) {
  BYTE head[kMetaReaderStreamHeaderBytes];
  if (!SeekStart(stream) || !ReadExact(stream, head, sizeof head)) return false;
  *count = static_cast<LONG>(riffbytes::Get32(head + 8));
  return true;
}

void WalkMetaStreams(IWuEnumMetaStreams* streams,
                     const std::function<bool(IStream*, LONG, const GUID&)>& visit) {
  if (!streams || FAILED(streams->Reset())) return;
  for (int n = 0; n < kMaxWalkStreams; ++n) {
    IStream* stream = nullptr;
    if (streams->Next(&stream) != S_OK || !stream) {
      if (stream) stream->Release();
      return;
    }
    LONG size = 0;
    GUID kind = {};
    bool go_on = SUCCEEDED(ReadMetaStreamHeader(stream, &size, &kind)) && visit(stream, size, kind);
    stream->Release();
    if (!go_on) return;
  }
}

// ---- Summary ------------------------------------------------------------------------------

namespace {

struct SummaryLabel {
  FOURCC id;
  const WuLangStringRow& row;
};

// Labels by id, looked up in this order.
const SummaryLabel* SummaryLabels(size_t* count) {
  static const SummaryLabel labels[] = {
      {RiffId("IART"), WuLangRow_PropMetaArtist},      {RiffId("ICMT"), WuLangRow_PropMetaComment},
      {RiffId("ICOP"), WuLangRow_PropMetaCopyright},   {RiffId("ICRD"), WuLangRow_PropMetaYear},
      {RiffId("IENG"), WuLangRow_PropMetaAuthor},      {RiffId("IGNR"), WuLangRow_PropMetaGenre},
      {RiffId("INAM"), WuLangRow_PropMetaTitle},       {RiffId("ISBJ"), WuLangRow_PropMetaSubject},
      {RiffId("ISRC"), WuLangRow_PropMetaAlbum},       {RiffId("ISFT"), WuLangRow_PropMetaSoftware},
      {RiffId("TLEN"), WuLangRow_PropMetaTextLength},  {RiffId("TRCK"), WuLangRow_PropMetaTrack},
      {RiffId("TURL"), WuLangRow_PropMetaWebPage},     {RiffId("DISP"), WuLangRow_PropMetaSoundScheme},
      {RiffId("TVER"), WuLangRow_PropMetaTrackVersion}, {RiffId("LOCA"), WuLangRow_PropMetaLocation},
      {RiffId("TORG"), WuLangRow_PropMetaOrganization},
  };
  *count = sizeof labels / sizeof labels[0];
  return labels;
}

// Ids the summary leaves to the Capture section or to nobody.
bool SkippedSummaryId(FOURCC id) {
  static const FOURCC skipped[] = {RiffId("TAPE"), RiffId("DTIM"), RiffId("VMAJ"), RiffId("CMNT"),
                                   RiffId("RATE"), RiffId("VMIN"), RiffId("_tfs"), RiffId("STAT"),
                                   RiffId("TCOD"), RiffId("TCDO")};
  for (FOURCC s : skipped)
    if (s == id) return true;
  return false;
}

}  // namespace

void WriteSummary(const WUFILEPROPMETA& in) {
  IStream* stream = nullptr;
  if (!in.meta || FAILED(in.meta->GetSummaryStream(&stream)) || !stream) {
    if (stream) stream->Release();
    return;
  }
  LONG count = 0;
  if (!ReadItemCount(stream, &count) || count <= 0) {
    stream->Release();
    return;
  }
  // The value buffer holds the value and one terminating unit; it starts at
  // 520 bytes and grows to value size + 2 for a larger value.
  size_t capacity = 520;
  std::unique_ptr<BYTE[]> value = ZeroedBytes(capacity);
  int lines = 0;
  for (LONG i = 0; value && i < count; ++i) {
    BYTE item[kMetaInfoEntryBytes];
    if (!ReadExact(stream, item, sizeof item)) break;
    const FOURCC id = riffbytes::Get32(item + 4);
    const DWORD size = riffbytes::Get32(item + 8);
    ULONGLONG left = 0;
    if (!BytesLeft(stream, &left) || size > left || size > kMaxElementBytes) break;
    if (size + size_t{2} > capacity) {
      capacity = size + size_t{2};
      value = ZeroedBytes(capacity);
      if (!value) break;
    }
    if (size && !ReadExact(stream, value.get(), size)) break;
    // The text: size / 2 units, terminated inside the buffer.
    WCHAR* text = reinterpret_cast<WCHAR*>(value.get());
    size_t units = size / 2;
    std::memset(value.get() + units * 2, 0, capacity - units * 2);
    for (size_t u = 0; u < units; ++u) text[u] = riffbytes::Get16(value.get() + 2 * u);

    if (SkippedSummaryId(id)) continue;
    WCHAR label[20];
    WuStrCpyN(label, WuLangText(WuLangRow_PropMetaUnknown), 20);
    size_t known = 0;
    const SummaryLabel* labels = SummaryLabels(&known);
    bool found = false;
    for (size_t k = 0; k < known && !found; ++k) {
      if (labels[k].id == id) {
        WuStrCpyN(label, WuLangText(labels[k].row), 20);
        found = true;
      }
    }
    if (!found) {
      // The id in brackets when it is printable; else the label stays.
      WCHAR tag[20];
      if (FormatFourCCTag(20, tag, id)) WuStrCpyN(label, tag, 20);
    }
    if (lines++ == 0) Header(in.edit, WuLangText(WuLangRow_PropMetaSummary));
    Line(in.edit, label, text);
  }
  if (lines) EmptyLine(in.edit);
  stream->Release();
}

// ---- Capture ------------------------------------------------------------------------------

namespace {

// A text value: true when the reader answers S_OK; the text is terminated
// at the buffer's last unit whatever the reader wrote.
bool TextValue(IWuReadMeta* meta, FOURCC id, LPWSTR buffer, int size) {
  buffer[0] = 0;
  HRESULT hr = meta->GetTextValue(id, buffer, size);
  buffer[size - 1] = 0;
  if (hr != S_OK) buffer[0] = 0;
  return hr == S_OK;
}

}  // namespace

void WriteCapture(const WUFILEPROPMETA& in) {
  if (!in.meta) return;
  struct Field {
    FOURCC id;
    const WuLangStringRow& row;
  };
  const Field fields[] = {
      {RiffId("TAPE"), WuLangRow_PropMetaTapeName}, {RiffId("DTIM"), WuLangRow_PropMetaRecorded},
      {RiffId("VMAJ"), WuLangRow_PropMetaVersion},  {RiffId("CMNT"), WuLangRow_PropMetaComment},
      {RiffId("RATE"), WuLangRow_PropMetaRating},
  };
  constexpr int kChars = 1024;
  std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[kChars]);
  std::unique_ptr<WCHAR[]> shown(new (std::nothrow) WCHAR[kChars]);
  if (!text || !shown) return;
  int lines = 0;
  for (const Field& field : fields) {
    if (!TextValue(in.meta, field.id, text.get(), kChars)) continue;
    if (field.id == RiffId("DTIM")) {
      FormatCaptureTime(text.get(), shown.get(), 512);
    } else {
      WuStrCpyN(shown.get(), text.get(), kChars);
    }
    if (field.id == RiffId("VMAJ")) {
      WCHAR minor[kChars];
      if (TextValue(in.meta, RiffId("VMIN"), minor, kChars)) {
        minor[15] = 0;
        WuStrCatN(shown.get(), u".", kChars);
        WuStrCatN(shown.get(), minor, kChars);
      }
    }
    if (lines++ == 0) Header(in.edit, WuLangText(WuLangRow_PropMetaCapture));
    Line(in.edit, WuLangText(field.row), shown.get());
  }
  if (!lines) return;
  if (TextValue(in.meta, RiffId("STAT"), text.get(), kChars)) {
    Line(in.edit, WuLangText(WuLangRow_PropMetaStatistics), u"");
    const WuLangStringRow* labels[] = {&WuLangRow_PropMetaCapturedFrames,
                                       &WuLangRow_PropMetaDroppedFrames,
                                       &WuLangRow_PropMetaDataRate};
    WCHAR* p = text.get();
    for (const WuLangStringRow* label : labels) {
      while (*p == u' ') ++p;
      if (!*p) break;
      WCHAR* end = p;
      while (*end && *end != u' ') ++end;
      const bool last = *end == 0;
      *end = 0;
      Line(in.edit, WuLangText(*label), p, kWideLabelWidth);
      if (last) break;
      p = end + 1;
    }
  }
  EmptyLine(in.edit);
}

}  // namespace fpropmeta

// ---- Public entry points -----------------------------------------------------------------

void WuFilePropWriteMetaSections(const WUFILEPROPMETA* in) {
  if (!in) return;
  fpropmeta::WriteSummary(*in);
  fpropmeta::WriteCapture(*in);
  fpropmeta::WriteVemp(*in);
  fpropmeta::WriteOtherMetadata(*in);
  fpropmeta::WriteMediaTags(*in);
  fpropmeta::WriteSensingBlocks(*in);
  fpropmeta::WritePictures(*in);
  fpropmeta::WriteProjectLink(*in);
  fpropmeta::WriteBwf(*in);
}

void FormatCaptureTime(LPCWSTR text, LPWSTR out, int outSize) {
  if (!out || outSize <= 0) return;
  out[0] = 0;
  if (!text) return;
  WuStrCpyN(out, text, outSize);
  const WCHAR* end = nullptr;
  FILETIME ft = {};
  ft.dwHighDateTime = WuTextToDWordToken(text, &end);
  ft.dwLowDateTime = WuTextToDWordToken(end ? end : u"", nullptr);
  if (ft.dwHighDateTime == 0 && ft.dwLowDateTime == 0) return;
  SYSTEMTIME st = {};
  if (!FileTimeToSystemTime(&ft, &st)) return;
  WCHAR time[100], date[100];
  if (!GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 100)) return;
  if (!GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, date, 100)) return;
  WuPrintFN(out, outSize, u"%s %s", date, time);
}

namespace {

// The 28-byte header at the current position.
struct MetaHeader {
  DWORD headerSize;
  DWORD version;
  DWORD dataSize;
  GUID kind;
};

bool ReadMetaHeaderHere(IStream* stream, MetaHeader* header) {
  BYTE bytes[kMetaStreamHeaderBytes];
  if (!stream || !fpropmeta::ReadExact(stream, bytes, sizeof bytes)) return false;
  header->headerSize = riffbytes::Get32(bytes);
  header->version = riffbytes::Get32(bytes + 4);
  header->dataSize = riffbytes::Get32(bytes + 8);
  header->kind = riffbytes::GetGuid(bytes + 12);
  return true;
}

}  // namespace

HRESULT ReadMetaStreamHeader(IStream* stream, LONG* dataSize, GUID* kind) {
  LARGE_INTEGER zero = {};
  MetaHeader header;
  if (!stream || FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr)) ||
      !ReadMetaHeaderHere(stream, &header))
    return WU_E_READ;
  if (dataSize) *dataSize = static_cast<LONG>(header.dataSize);
  if (kind) *kind = header.kind;
  return S_OK;
}

HRESULT CheckMetaStreamHeader(IStream* stream) {
  LARGE_INTEGER zero = {};
  MetaHeader header;
  if (!stream || FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr)) ||
      !ReadMetaHeaderHere(stream, &header))
    return WU_E_READ;
  if (header.headerSize != kMetaStreamHeaderBytes || header.version != kMetaStreamVersion)
    return WU_E_READ;
  return S_OK;
}

HRESULT ReadMetaSubHeader(IStream* stream, const GUID& kind, DWORD* elementSize) {
  MetaHeader header;
  if (!ReadMetaHeaderHere(stream, &header)) return WU_E_READ;
  if (header.headerSize != kMetaStreamHeaderBytes || header.version != kMetaStreamVersion ||
      !IsEqualGUID(header.kind, kind))
    return WU_E_READ;
  if (elementSize) *elementSize = header.dataSize;
  return S_OK;
}
