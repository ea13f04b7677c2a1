// The metadata sections read from the loop-info and media-tag kinds and
// from the metadata stream enumerator: VEMP information, Other metadata,
// Media tags, Sensing blocks and Pictures.
#include <cstring>
#include <memory>
#include <string>

#include "foundation/WuPrintF.h"
#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuFileId.h"
#include "mediaformats/WuPicture.h"
#include "mediaformats/WuSmfmf.h"
#include "shellui/WuFilePropMetaInternal.h"

namespace fpropmeta {

namespace {

// Room offered to the stretch-record getter.
constexpr DWORD kStretchRecordRoom = 256;
// Data bytes of the second stretch record and of a playlist that make
// them count as present.
constexpr ULONG kStr2Bytes = 20;
constexpr ULONG kPlaylistBytes = 24;
// Sensing-block data bytes dumped in the diagnostic listing.
constexpr DWORD kSensingDumpBytes = 24;
// Picture texts are copied up to this many characters (terminator
// included).
constexpr int kPictureTextChars = 260;

// Reads the next element of a sensing or picture stream: its sub-header,
// then its bytes into a new zeroed buffer. The element size is trusted
// only up to the bytes left in the stream. S_OK with the buffer and its
// size; WU_E_READ for a refused sub-header, E_OUTOFMEMORY, or 0x8004E038
// when fewer bytes than the size can be read.
HRESULT ReadElement(IStream* stream, const GUID& kind, std::unique_ptr<BYTE[]>* out, DWORD* size) {
  constexpr HRESULT kShortElement = static_cast<HRESULT>(0x8004E038);
  HRESULT hr = ReadMetaSubHeader(stream, kind, size);
  if (FAILED(hr)) return hr;
  ULONGLONG left = 0;
  if (!BytesLeft(stream, &left) || *size > left || *size > kMaxElementBytes) return kShortElement;
  *out = ZeroedBytes(*size ? *size : 1);
  if (!*out) return E_OUTOFMEMORY;
  if (*size && !ReadExact(stream, out->get(), *size)) return kShortElement;
  return S_OK;
}

// A picture text (UTF-16 with its terminator inside the block, as the
// accessor checked it) copied into `out`, cut and terminated.
void CopyPictureText(const WCHAR* text, DWORD byteCount, WCHAR (&out)[kPictureTextChars]) {
  out[0] = 0;
  if (!text) return;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
  DWORD units = byteCount / 2;
  DWORD n = 0;
  for (; n < units && n + 1 < static_cast<DWORD>(kPictureTextChars); ++n) {
    out[n] = riffbytes::Get16(bytes + 2 * n);
    if (!out[n]) break;
  }
  out[n < static_cast<DWORD>(kPictureTextChars) ? n : kPictureTextChars - 1] = 0;
}

LPCWSTR PictureTypeName(DWORD type) {
  static const char16_t* const names[] = {
      u"other", u"PNG", u"other file", u"front cover", u"back cover", u"leaflet page", u"CD label",
      u"lead artist", u"artist", u"conductor", u"orchestra", u"composer", u"lyricist",
      u"recording location", u"during recording", u"during performance", u"movie still",
      u"brightly colored fish", u"illustration", u"band/artist logo", u"publisher/studio logo"};
  return type < sizeof names / sizeof names[0] ? names[type] : u"unknown";
}

LPCWSTR PictureFormatName(DWORD type) {
  switch (type) {
    case 8192: return u"JPEG";
    case 8193: return u"PNG";
    case 8195: return u"PSD";
    case 8196: return u"GIF";
    case 8197: return u"TIF";
    case 8198: return u"TARGA";
    case 8199: return u"BMP";
    case 1: return u"Unknown";
    default: return nullptr;
  }
}

}  // namespace

// ---- VEMP information ---------------------------------------------------------------------

void WriteVemp(const WUFILEPROPMETA& in) {
  if (!in.loopInfo) return;
  Header(in.edit, WuLangText(WuLangRow_PropMetaVemp));
  WuMetaLoopRecord loop = {};
  Line(in.edit, WuLangText(WuLangRow_PropMetaVempChunk), YesNo(in.loopInfo->GetLoopRecord(&loop) == S_OK));
  BYTE stretch[kStretchRecordRoom] = {};
  Line(in.edit, WuLangText(WuLangRow_PropMetaStretchChunk),
       YesNo(in.loopInfo->GetStretchRecord(stretch, kStretchRecordRoom) == S_OK));

  // An absent stretch list is no error; a list whose header cannot be read
  // is, and then the streams are not walked.
  bool listError = false;
  LONG listCount = 0;
  IStream* list = nullptr;
  if (in.loopInfo->GetStretchList(&list) == S_OK && list) {
    if (!ReadItemCount(list, &listCount)) listError = true;
  }
  if (list) list->Release();
  if (listCount > 0)
    LineF(in.edit, WuLangText(WuLangRow_PropMetaStretchList), u"%d", listCount);
  else
    Line(in.edit, WuLangText(WuLangRow_PropMetaStretchList), YesNo(false));

  bool str2 = false;
  LONG markers = 0, beats = 0;
  if (in.streams && !listError) {
    WalkMetaStreams(in.streams, [&](IStream* stream, LONG size, const GUID& kind) {
      if (size <= 0) return true;
      if (IsEqualGUID(kind, kMetaGuidStr2)) {
        BYTE record[kStr2Bytes];
        if (SUCCEEDED(CheckMetaStreamHeader(stream)) && ReadExact(stream, record, sizeof record))
          str2 = true;
      } else if (IsEqualGUID(kind, kMetaGuidBookmarks)) {
        markers = size;
      } else if (IsEqualGUID(kind, kMetaGuidBeats)) {
        beats = size;
      }
      return true;
    });
  }
  Line(in.edit, WuLangText(WuLangRow_PropMetaStretchInfo2), YesNo(str2));
  if (markers > 0)
    LineF(in.edit, WuLangText(WuLangRow_PropMetaBeatMarkers), u"%d", markers);
  else
    Line(in.edit, WuLangText(WuLangRow_PropMetaBeatMarkers), YesNo(false));
  if (beats > 0)
    LineF(in.edit, WuLangText(WuLangRow_PropMetaDetectedBeats), u"%d", beats);
  else
    Line(in.edit, WuLangText(WuLangRow_PropMetaDetectedBeats), YesNo(false));
  EmptyLine(in.edit);
}

// ---- Other metadata -----------------------------------------------------------------------

namespace {

// A region or command stream with a positive item count.
template <typename Getter>
bool HasItems(IWuReadMeta* meta, Getter get) {
  if (!meta) return false;
  IStream* stream = nullptr;
  LONG count = 0;
  bool yes = (meta->*get)(&stream) == S_OK && stream && ReadItemCount(stream, &count) && count > 0;
  if (stream) stream->Release();
  return yes;
}

}  // namespace

void WriteOtherMetadata(const WUFILEPROPMETA& in) {
  Header(in.edit, WuLangText(WuLangRow_PropMetaOther));
  const bool regions = HasItems(in.meta, &IWuReadMeta::GetRegionStream);
  Line(in.edit, WuLangText(WuLangRow_PropMetaRegions), YesNo(regions));
  Line(in.edit, WuLangText(WuLangRow_PropMetaCommands), YesNo(HasItems(in.meta, &IWuReadMeta::GetCommandStream)));
  if (in.diagnostic) {
    // A playlist counts only beside regions, and only when its header and
    // its first record can be read.
    bool playlist = false;
    if (regions) {
      WalkMetaStreams(in.streams, [&](IStream* stream, LONG size, const GUID& kind) {
        if (size > 0 && IsEqualGUID(kind, kMetaGuidPlaylist)) {
          BYTE record[kPlaylistBytes];
          if (SUCCEEDED(CheckMetaStreamHeader(stream)) && ReadExact(stream, record, sizeof record))
            playlist = true;
        }
        return true;
      });
    }
    Line(in.edit, WuLangText(WuLangRow_PropMetaPlaylist), YesNo(playlist));
  }
  EmptyLine(in.edit);
}

// ---- Media tags ---------------------------------------------------------------------------

void WriteMediaTags(const WUFILEPROPMETA& in) {
  Header(in.edit, WuLangText(WuLangRow_PropMetaMediaTagHeader));
  // The record is read by its byte offsets: version at 0, count at 8.
  BYTE info[sizeof(WuMetaMediaTagInfo)] = {};
  WuMetaMediaTagInfo record = {};
  const bool tags = in.mediaTagsUsable && in.mediaTag && in.mediaTag->GetInfo(&record) == S_OK;
  Line(in.edit, WuLangText(WuLangRow_PropMetaMediaTags), YesNo(tags));
  if (tags) {
    std::memcpy(info, &record, sizeof info);
    LineF(in.edit, WuLangText(WuLangRow_PropMetaCount), u"%d", static_cast<int>(riffbytes::Get32(info + 8)));
    LineF(in.edit, WuLangText(WuLangRow_PropMetaVersion), u"%d", static_cast<int>(riffbytes::Get32(info)));
  }
  EmptyLine(in.edit);
}

// ---- Sensing blocks -----------------------------------------------------------------------

void WriteSensingBlocks(const WUFILEPROPMETA& in) {
  WalkMetaStreams(in.streams, [&](IStream* stream, LONG size, const GUID& kind) {
    if (size <= 0 || !IsEqualGUID(kind, kMetaGuidSensing)) return true;
    DWORD blockSize = 0;
    if (FAILED(ReadMetaSubHeader(stream, kMetaGuidSensing, &blockSize))) return false;
    Header(in.edit, WuLangText(WuLangRow_PropMetaSensing));
    std::unique_ptr<BYTE[]> block;
    ULONGLONG left = 0;
    bool read = BytesLeft(stream, &left) && blockSize <= left && blockSize <= kMaxElementBytes;
    if (read) {
      block = ZeroedBytes(blockSize ? blockSize : 1);
      read = block && ReadExact(stream, block.get(), blockSize);
    }
    // The block's own sizes are believed only within the bytes read: a block
    // shorter than its header, or whose total passes what was read, shows
    // nothing.
    if (read && blockSize >= WUSMFMF_HEADER_SIZE &&
        WuSmfmf_GetTotalSize(block.get()) >= WUSMFMF_HEADER_SIZE &&
        WuSmfmf_GetTotalSize(block.get()) <= blockSize) {
      const DWORD version = WuSmfmf_GetSmfmfVersion(block.get());
      LineF(in.edit, WuLangText(WuLangRow_PropMetaVersion), u"%d.%d.%d", static_cast<int>((version >> 16) & 0xFF),
            static_cast<int>((version >> 8) & 0xFF), static_cast<int>(version & 0xFF));
      LineF(in.edit, WuLangText(WuLangRow_PropMetaSize), u"%u", WuSmfmf_GetDataSize(block.get()));
      if (in.diagnostic) {
        const BYTE* data = static_cast<const BYTE*>(WuSmfmf_GetData(block.get()));
        DWORD room = WuSmfmf_GetTotalSize(block.get()) - WUSMFMF_HEADER_SIZE;
        DWORD n = data ? WuSmfmf_GetDataSize(block.get()) : 0;
        if (n > room) n = room;
        if (n > kSensingDumpBytes) n = kSensingDumpBytes;
        std::u16string dump;
        for (DWORD i = 0; i < n; ++i) {
          WCHAR hex[4];
          WuPrintFN(hex, 4, u"%02x ", data[i]);
          dump += hex;
        }
        Line(in.edit, u"Data", dump.c_str());
      }
    }
    EmptyLine(in.edit);
    return true;
  });
}

// ---- Pictures -----------------------------------------------------------------------------

void WritePictures(const WUFILEPROPMETA& in) {
  WalkMetaStreams(in.streams, [&](IStream* stream, LONG count, const GUID& kind) {
    if (count <= 0 || !IsEqualGUID(kind, kMetaGuidPictures)) return true;
    Header(in.edit, WuLangText(WuLangRow_PropMetaPictures));
    LineF(in.edit, WuLangText(WuLangRow_PropMetaCount), u"%d", count);
    EmptyLine(in.edit);
    for (LONG i = 0; i < count; ++i) {
      std::unique_ptr<BYTE[]> block;
      DWORD size = 0;
      if (FAILED(ReadElement(stream, kMetaGuidPictures, &block, &size))) return false;
      // The accessors check each part against the block's own total; the
      // total itself is believed only within the bytes read. A block
      // shorter than its header, or whose total passes what was read,
      // shows nothing.
      const DWORD total = size >= WUPICTURE_HEADER_SIZE ? WuPicture_GetPictureTotalSize(block.get()) : 0;
      if (total < WUPICTURE_HEADER_SIZE || total > size) continue;
      const BYTE* p = block.get();
      const DWORD type = WuPicture_GetPictureType(p);
      LineF(in.edit, WuLangText(WuLangRow_PropMetaType), u"%d (%s)", static_cast<int>(type), PictureTypeName(type));
      WCHAR text[kPictureTextChars];
      CopyPictureText(WuPicture_GetMimeType(p), WuPicture_GetMimeTypeByteCount(p), text);
      Line(in.edit, WuLangText(WuLangRow_PropMetaMimeType), text);
      CopyPictureText(WuPicture_GetDescription(p), WuPicture_GetDescriptionByteCount(p), text);
      Line(in.edit, WuLangText(WuLangRow_PropMetaDescription), text);
      const DWORD dataSize = WuPicture_GetPictureDataSize(p);
      LineF(in.edit, WuLangText(WuLangRow_PropMetaSize), u"%d", static_cast<int>(dataSize));
      const BYTE* data = static_cast<const BYTE*>(WuPicture_GetPictureData(p));
      if (dataSize && data) {
        WUFILEID_IDENTIFIED_TYPE identified = static_cast<WUFILEID_IDENTIFIED_TYPE>(0);
        WuIsQuicklyIdentifiableMediaFileFormat(data, dataSize, 0, &identified);
        if (LPCWSTR name = PictureFormatName(static_cast<DWORD>(identified)))
          Line(in.edit, WuLangText(WuLangRow_PropMetaFormat), name);
      }
      EmptyLine(in.edit);
    }
    return true;
  });
}

}  // namespace fpropmeta
