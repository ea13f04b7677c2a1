// Render templates made from templates, stream formats and plain formats,
// and the typed queries over their settings.
#include "fileio/WuFioTemplateMake.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "imaging/WuDib.h"
#include "imaging/WuPixelTypes.h"
#include "imaging/WuYuvLayout.h"

namespace {

constexpr UINT kAudioFormatRoom = 40;    // bytes of room of the format at 72
constexpr UINT kEncodedFormatRoom = 96;  // bytes of room of the format at 144

_wuwaveformat* AudioFormat(tagWUTEMPLATExV2* r) {
  return reinterpret_cast<_wuwaveformat*>(r->audio.format);
}
const _wuwaveformat* AudioFormat(const tagWUTEMPLATExV2* r) {
  return reinterpret_cast<const _wuwaveformat*>(r->audio.format);
}
_wuwaveformat* EncodedFormat(tagWUTEMPLATExV2* r) {
  return reinterpret_cast<_wuwaveformat*>(r->audio.encodedFormat);
}
const _wuwaveformat* EncodedFormat(const tagWUTEMPLATExV2* r) {
  return reinterpret_cast<const _wuwaveformat*>(r->audio.encodedFormat);
}

// Whether a format room holds a format with a tag (an empty room is zero).
bool HasTag(const _wuwaveformat* f) { return f->cbStruct != 0 && f->FormatTag() != 0; }

double ReadDouble(const BYTE* p) {
  double v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Fills the video part's bytes-per-second fallback and frame rate readers.
double FrameRate(const tagWUTEMPLATExV2* r) { return ReadDouble(r->video.settings + 16); }
double PixelAspect(const tagWUTEMPLATExV2* r) { return ReadDouble(r->video.settings + 24); }

void CopyTemplateFields(tagWUTEMPLATExV2* dest, const tagWUTEMPLATExV2* source, DWORD version,
                        DWORD parts) {
  dest->version = version;
  if (dest == source) return;  // the fields are already the source's
  dest->attributes = source->attributes;
  dest->id = source->id;
  dest->guid = source->guid;
  std::memcpy(dest->common, source->common, sizeof dest->common);
  if (parts & WUFIO_TEMPLATE_PART_AUDIO) dest->audio = source->audio;
  if (parts & WUFIO_TEMPLATE_PART_VIDEO) dest->video = source->video;
  if (source->privateSize > 0) {
    dest->classId = source->classId;
    std::memcpy(dest->PrivateData(), source->PrivateData(),
                static_cast<size_t>(source->privateSize));
  }
}

}  // namespace

HRESULT WuFio_MakeTemplate(tagWUTEMPLATExV2** slot, DWORD version, const tagWUTEMPLATExV2* source,
                           DWORD parts, LONG extraPrivate, LPCWSTR name, LPCWSTR notes) {
  if (!slot || !source) return E_POINTER;
  if (!source->HasValidLayout()) return WU_E_BAD_DATA;
  if (extraPrivate < 0 || source->privateSize > 0x7FFFFFFF - extraPrivate) return E_INVALIDARG;
  notes = WuFio_SkipDescriptionInTemplateNotesText(notes ? notes : u"");
  const LONG privateSize = source->privateSize + extraPrivate;
  const size_t textLength =
      static_cast<size_t>(WuStrLenSafe(name)) + static_cast<size_t>(WuStrLenSafe(notes)) + 2;
  tagWUTEMPLATExV2* old = *slot;
  tagWUTEMPLATExV2* record = nullptr;
  if (old && old->HasValidLayout() && old->textLength >= textLength &&
      old->privateSize == privateSize) {
    record = old;
    WuFio_SetTemplateNameAndNotes(record, name, notes);
    if (record != source) {
      std::memset(reinterpret_cast<BYTE*>(record) + 4, 0, WUTEMPLATE_FIXED_SIZE - 8 - 4);
      std::memset(record->PrivateData(), 0, record->PaddedPrivateSize());
    }
  } else {
    record = WuFio_NewTemplate(name, notes, privateSize, nullptr);
    if (!record) return E_OUTOFMEMORY;
  }
  CopyTemplateFields(record, source, version, parts);
  *slot = record;
  // Freed only now: the old record may be the source just copied.
  if (old && old != record) WuFio_ReleaseTemplate(old);
  return S_OK;
}

HRESULT WuFio_GenerateTemplate(tagWUTEMPLATExV2** out, const _WUFILESTREAMFORMATINFOv2* formats,
                               const _WUFILESTREAMFORMATINFOv2* native, LONG count,
                               LONG extraPrivate, LPCWSTR name, LPCWSTR notes) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!formats || count < 0) return E_INVALIDARG;
  tagWUTEMPLATExV2 record;
  WuFio_InitTemplateInPlace(&record, 2, 0);
  record.version = WUTEMPLATE_VERSION_V2;
  DWORD parts = 0;
  for (LONG i = 0; i < count; ++i) {
    const _WUFILESTREAMFORMATINFOv2& a = formats[i];
    const _WUFILESTREAMFORMATINFOv2* b = native ? &native[i] : nullptr;
    if (b && (b->size == 0 || b->streamType == 0)) b = nullptr;
    if (a.streamType == WUFILESTREAMTYPE_AUDIO) {
      parts |= WUFIO_TEMPLATE_PART_AUDIO;
      record.audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
      record.audio.streamCount = 1;
      const auto* af = reinterpret_cast<const _wuwaveformat*>(a.format);
      WuAudio_GeneralCopyWuWaveFormat(AudioFormat(&record), kAudioFormatRoom, *af,
                                      WUCOPYDEST_ASSOURCE);
      std::memcpy(record.audio.encoderSettings, &a.extension.audio, 32);
      if (b) {
        const auto* bf = reinterpret_cast<const _wuwaveformat*>(b->format);
        if (bf->cbStruct >= kWuWaveFormatFieldBytes && bf->IsCompressed())
          WuAudio_GeneralCopyWuWaveFormat(EncodedFormat(&record), kEncodedFormatRoom, *bf,
                                          WUCOPYDEST_ASSOURCE);
      }
    } else if (a.streamType == WUFILESTREAMTYPE_VIDEO) {
      parts |= WUFIO_TEMPLATE_PART_VIDEO;
      record.video.blockSize = WUTEMPLATE_BLOCK_SIZE;
      record.video.streamCount = 1;
      record.video.generated = 1;
      std::memcpy(&record.video.source, a.format, sizeof(BITMAPINFOHEADER));
      std::memcpy(record.video.settings, &a.extension.video, 64);
      if (b) {
        BITMAPINFOHEADER nh;
        std::memcpy(&nh, b->format, sizeof nh);
        if (nh.biWidth != 0 || nh.biHeight != 0 || nh.biCompression != 0)
          record.video.output = nh;
      }
    }
  }
  tagWUTEMPLATExV2* made = nullptr;
  HRESULT hr = WuFio_MakeTemplate(&made, WUTEMPLATE_VERSION_V2, &record, parts, extraPrivate,
                                  name, notes);
  if (SUCCEEDED(hr)) *out = made;
  return hr;
}

namespace {

// A stream format record for a plug-in to fill, its size word preset.
_WUFILESTREAMFORMATINFOv2 EmptyFormat() {
  _WUFILESTREAMFORMATINFOv2 f{};
  f.size = WUFILESTREAMFORMATINFO_SIZE;
  return f;
}

// The audio part from an audio stream; the status of its format query.
HRESULT AudioFromStream(tagWUTEMPLATExV2* record, IWuReadStream* stream, DWORD* parts) {
  IWuReadAudioStream* audio = nullptr;
  HRESULT hr = stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(&audio));
  if (FAILED(hr) || !audio) return FAILED(hr) ? hr : E_NOINTERFACE;
  record->audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
  record->audio.streamCount = 1;
  _WUFILESTREAMFORMATINFOv2 f = EmptyFormat();
  hr = audio->GetStreamFormat(&f);
  if (SUCCEEDED(hr)) {
    *parts |= WUFIO_TEMPLATE_PART_AUDIO;
    WuAudio_GeneralCopyWuWaveFormat(AudioFormat(record), kAudioFormatRoom,
                                    *reinterpret_cast<const _wuwaveformat*>(f.format),
                                    WUCOPYDEST_ASSOURCE);
    std::memcpy(record->audio.encoderSettings, &f.extension.audio, 32);
    _WUFILESTREAMFORMATINFOv2 c = EmptyFormat();
    const auto* cf = reinterpret_cast<const _wuwaveformat*>(c.format);
    if (SUCCEEDED(audio->GetCompressedFormat(&c)) && cf->cbStruct >= kWuWaveFormatFieldBytes &&
        cf->IsCompressed())
      WuAudio_GeneralCopyWuWaveFormat(EncodedFormat(record), kEncodedFormatRoom, *cf,
                                      WUCOPYDEST_ASSOURCE);
  }
  audio->Release();
  return hr;
}

// The video part from a video stream; the status of its format query.
HRESULT VideoFromStream(tagWUTEMPLATExV2* record, IWuReadStream* stream, DWORD* parts) {
  IWuReadVideoStreamFormat* video = nullptr;
  HRESULT hr =
      stream->QueryInterface(IID_IWuReadVideoStreamFormat, reinterpret_cast<void**>(&video));
  if (FAILED(hr) || !video) return FAILED(hr) ? hr : E_NOINTERFACE;
  record->video.blockSize = WUTEMPLATE_BLOCK_SIZE;
  record->video.streamCount = 1;
  record->video.generated = 1;
  _WUFILESTREAMFORMATINFOv2 f = EmptyFormat();
  hr = video->GetStreamFormat(&f);
  if (SUCCEEDED(hr)) {
    *parts |= WUFIO_TEMPLATE_PART_VIDEO;
    std::memcpy(&record->video.source, f.format, sizeof(BITMAPINFOHEADER));
    std::memcpy(record->video.settings, &f.extension.video, 64);
    _WUFILESTREAMFORMATINFOv2 c = EmptyFormat();
    if (SUCCEEDED(video->GetCompressedFormat(&c))) {
      std::memcpy(&record->video.output, c.format, sizeof(BITMAPINFOHEADER));
    } else {
      const double bytes =
          static_cast<double>(WuFio_HeaderBytesPerFrame(record->video.source)) * FrameRate(record);
      const LONGLONG rate = bytes > 0 && bytes < 9.2e18 ? static_cast<LONGLONG>(bytes) : 0;
      std::memcpy(record->video.bytesPerSecond, &rate, sizeof rate);
    }
  }
  video->Release();
  return hr;
}

}  // namespace

HRESULT WuFio_GenerateTemplate(tagWUTEMPLATExV2** out, IWuReadStream* const* streams, LONG count,
                               const DWORD* kinds, LONG extraPrivate) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!streams || !kinds || count < 0) return E_INVALIDARG;
  tagWUTEMPLATExV2 record;
  WuFio_InitTemplateInPlace(&record, 2, 0);
  record.version = WUTEMPLATE_VERSION_V2;
  DWORD parts = 0;
  HRESULT last = S_OK;
  for (LONG i = 0; i < count; ++i) {
    last = S_OK;
    if (!streams[i]) {
      last = E_POINTER;
      continue;
    }
    if (kinds[i] & 1) {
      HRESULT hr = AudioFromStream(&record, streams[i], &parts);
      if (FAILED(hr)) last = hr;
    }
    if (kinds[i] & 2) {
      HRESULT hr = VideoFromStream(&record, streams[i], &parts);
      if (FAILED(hr)) last = hr;
    }
  }
  if (FAILED(last)) return last;
  tagWUTEMPLATExV2* made = nullptr;
  HRESULT hr = WuFio_MakeTemplate(&made, WUTEMPLATE_VERSION_V2, &record, parts, extraPrivate,
                                  WuLangText(WuLangRow_FioTemplateAutoName),
                                  WuLangText(WuLangRow_FioTemplateAutoNotes));
  if (SUCCEEDED(hr)) *out = made;
  return hr;
}

HRESULT WuFio_InitBasicTemplate(tagWUTEMPLATExV2* record, LONG audioCount,
                                const _wuwaveformat* wfx, LONG videoCount,
                                const BITMAPINFOHEADER* header, double frameRate,
                                WUINTERLACETYPE interlace, double pixelAspect) {
  if (!record) return E_POINTER;
  WuFio_InitTemplateInPlace(record, 2, 0);
  record->version = WUTEMPLATE_VERSION_V2;
  record->id = 0;
  if (audioCount > 0 && wfx) {
    record->audio.blockSize = WUTEMPLATE_BLOCK_SIZE;
    record->audio.streamCount = static_cast<DWORD>(audioCount);
    if (!wfx->IsCompressed()) {
      WuAudio_GeneralCopyWuWaveFormat(AudioFormat(record), kAudioFormatRoom, *wfx,
                                      WUCOPYDEST_ASSOURCE);
    } else {
      WuAudio_GeneralCopyWuWaveFormat(EncodedFormat(record), kEncodedFormatRoom, *wfx,
                                      WUCOPYDEST_ASSOURCE);
      // The PCM equivalent only when the mask agrees with the channels.
      if (wfx->dwChannelMask == 0 ||
          std::popcount(wfx->dwChannelMask) == static_cast<int>(wfx->nChannels))
        AudioFormat(record)->InitAsWfx(1, wfx->nSamplesPerSec, 16, wfx->nChannels,
                                       wfx->dwChannelMask, kAudioFormatRoom);
    }
  }
  if (videoCount > 0 && header) {
    record->video.blockSize = WUTEMPLATE_BLOCK_SIZE;
    record->video.streamCount = static_cast<DWORD>(videoCount);
    WUVIDEOFORMATINFO info;
    WuVideo_InitFormatInfo(&info, frameRate, interlace, pixelAspect);
    std::memcpy(record->video.settings, &info, sizeof info);
    const DWORD code = header->biCompression;
    if (code == BI_RGB || code == BI_BITFIELDS || code == WU_FOURCC_WUDB ||
        code == WU_FOURCC_WUGS) {
      record->video.source = *header;
    } else {
      record->video.output = *header;
      // Room for the masks a header may carry after its 40 bytes.
      struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
      } rgb{};
      WuVideo_InitBitmapInfo(&rgb.h, WUPIXEL_RGB32, header->biWidth, header->biHeight, nullptr,
                             0, nullptr);
      record->video.source = rgb.h;
    }
  }
  return S_OK;
}

HRESULT WuFio_InitBasicAudioTemplate(tagWUTEMPLATExV2* record, const _wuwaveformat* wfx) {
  return WuFio_InitBasicTemplate(record, 1, wfx, 0, nullptr, 0.0, 0, 0.0);
}

ULONGLONG WuFio_HeaderBytesPerFrame(const BITMAPINFOHEADER& header) {
  const DWORD code = header.biCompression;
  if (code == WU_FOURCC_V210 || code == WU_FOURCC_I420 || code == WU_FOURCC_YUYV ||
      code == WU_FOURCC_UYVY)
    return WuYUVImageBytesAndOffsets(&header, nullptr);
  // 64-bit throughout, and the height's magnitude: a top-down header has a
  // negative height but the same number of bytes.
  const long long width = header.biWidth < 0 ? 0 : header.biWidth;
  const long long height = header.biHeight < 0 ? -static_cast<long long>(header.biHeight)
                                               : static_cast<long long>(header.biHeight);
  const ULONGLONG row = static_cast<ULONGLONG>(((width * header.biBitCount + 31) / 32) * 4);
  // A header from a file may state more bytes than 64 bits count: the count
  // saturates, which every rate made from it reads as unknown.
  const ULONGLONG rows = static_cast<ULONGLONG>(height);
  if (rows != 0 && row > ~ULONGLONG{0} / rows) return ~ULONGLONG{0};
  return row * rows;
}

HRESULT WuFio_GetTemplateInfo(const tagWUTEMPLATExV2* record, DWORD parts, void* buffer,
                              DWORD size, WUFIO_TEMPLATE_INFO type) {
  if (!record || !buffer || size == 0) return E_INVALIDARG;
  if (!record->HasValidLayout()) return WU_E_BAD_DATA;
  std::memset(buffer, 0, size);
  const bool hasAudio = (parts & WUFIO_TEMPLATE_PART_AUDIO) && record->audio.streamCount != 0;
  const bool hasVideo = (parts & WUFIO_TEMPLATE_PART_VIDEO) && record->video.streamCount != 0;
  const _wuwaveformat* audio = AudioFormat(record);
  bool rateUnknown = false;
  if (HasTag(EncodedFormat(record))) {
    audio = EncodedFormat(record);
    rateUnknown = (record->audio.flags & 0x20) != 0;
  }
  if (type == WUFIO_TI_AUDIO_TAG || type == WUFIO_TI_BITS_PER_SAMPLE || type == WUFIO_TI_CHANNELS) {
    if (size < 2) return WU_E_BUFFER_TOO_SMALL;
    WORD v = 0;
    if (hasAudio)
      v = type == WUFIO_TI_AUDIO_TAG        ? audio->FormatTag()
          : type == WUFIO_TI_BITS_PER_SAMPLE ? audio->BitsPerSample()
                                             : audio->nChannels;
    std::memcpy(buffer, &v, sizeof v);
    return S_OK;
  }
  if (size < 4) return WU_E_BUFFER_TOO_SMALL;
  auto put32 = [&](DWORD v) {
    std::memcpy(buffer, &v, sizeof v);
    return S_OK;
  };
  switch (type) {
    case WUFIO_TI_VIDEO_COMPRESSION:
      if (!hasVideo) return 1;
      return put32(record->video.output.biCompression ? record->video.output.biCompression
                                                      : record->video.source.biCompression);
    case WUFIO_TI_AUDIO_BITRATE:
      if (!hasAudio) return 1;
      return put32(rateUnknown ? 0 : audio->nAvgBytesPerSec * 8);
    case WUFIO_TI_VIDEO_BITRATE: {
      if (size < 8) return WU_E_BUFFER_TOO_SMALL;
      if (!hasVideo) return 1;
      LONGLONG stored;
      std::memcpy(&stored, record->video.bytesPerSecond, sizeof stored);
      // A rate of 2^62 bits per second or more (or no number at all, from a
      // frame rate that is not one) is unknown, 0: below that bound the
      // video rate and an audio rate still add up within 64 bits.
      constexpr LONGLONG kBitsBound = LONGLONG{1} << 62;
      LONGLONG bits;
      if (stored > 0) {
        bits = stored < kBitsBound / 8 ? stored * 8 : 0;
      } else {
        const BITMAPINFOHEADER& o = record->video.output;
        const double frame = (o.biCompression != 0 && o.biSizeImage != 0)
                                 ? static_cast<double>(o.biSizeImage)
                                 : static_cast<double>(WuFio_HeaderBytesPerFrame(record->video.source));
        double perSecond = frame * FrameRate(record);
        if (record->video.flags & 1) perSecond = perSecond * 5.0 / 4.0;
        const double perSecondBits = perSecond * 8.0;
        const double bound = static_cast<double>(kBitsBound);
        bits = perSecondBits < bound && perSecondBits > -bound ? static_cast<LONGLONG>(perSecondBits) : 0;
      }
      std::memcpy(buffer, &bits, sizeof bits);
      return S_OK;
    }
    case WUFIO_TI_AUDIO_STREAMS:
      return put32(record->audio.streamCount);
    case WUFIO_TI_VIDEO_STREAMS:
      return put32(record->video.streamCount);
    case WUFIO_TI_SAMPLE_RATE:
      return put32(hasAudio ? audio->nSamplesPerSec : 0);
    case WUFIO_TI_CHANNEL_MASK: {
      if (!hasAudio) return S_OK;
      const _wuwaveformat* f = AudioFormat(record);
      DWORD mask = f->dwChannelMask;
      if (mask == 0) mask = f->nChannels >= 32 ? 0xFFFFFFFFu : (1u << f->nChannels) - 1u;
      return put32(mask);
    }
    case WUFIO_TI_WIDTH:
      return put32(hasVideo ? static_cast<DWORD>(record->video.source.biWidth) : 0);
    case WUFIO_TI_HEIGHT:
      return put32(hasVideo ? static_cast<DWORD>(record->video.source.biHeight) : 0);
    case WUFIO_TI_FRAME_RATE:
    case WUFIO_TI_PIXEL_ASPECT: {
      if (size < 8) return WU_E_BUFFER_TOO_SMALL;
      if (!hasVideo) return S_OK;
      double v = type == WUFIO_TI_FRAME_RATE ? FrameRate(record) : PixelAspect(record);
      std::memcpy(buffer, &v, sizeof v);
      return S_OK;
    }
    case WUFIO_TI_FRAME_SIZE: {
      if (size < 8) return WU_E_BUFFER_TOO_SMALL;
      if (!hasVideo) return S_OK;
      LONG wh[2] = {record->video.source.biWidth, record->video.source.biHeight};
      std::memcpy(buffer, wh, sizeof wh);
      return S_OK;
    }
    case WUFIO_TI_VIDEO_FORMAT:
      if (size < 64) return WU_E_BUFFER_TOO_SMALL;
      if (!hasVideo) return 1;
      std::memcpy(buffer, record->video.settings, 64);
      return S_OK;
    case WUFIO_TI_AUDIO_EXTENSION:
      if (size < 32) return WU_E_BUFFER_TOO_SMALL;
      if (!hasAudio) return 1;
      std::memcpy(buffer, record->audio.encoderSettings, 32);
      return S_OK;
    default:
      return 1;
  }
}

HRESULT WuFio_GetTemplateBitrate(const tagWUTEMPLATExV2* record, DWORD parts, LONGLONG* bitrate) {
  if (!bitrate) return E_INVALIDARG;
  *bitrate = 0;
  if (!(parts & (WUFIO_TEMPLATE_PART_AUDIO | WUFIO_TEMPLATE_PART_VIDEO))) return E_NOTIMPL;
  DWORD audio = 0;
  if (parts & WUFIO_TEMPLATE_PART_VIDEO) {
    LONGLONG video = 0;
    HRESULT hr = WuFio_GetTemplateInfo(record, parts, &video, sizeof video, WUFIO_TI_VIDEO_BITRATE);
    if (hr != S_OK) return hr;
    if ((parts & WUFIO_TEMPLATE_PART_AUDIO) &&
        WuFio_GetTemplateInfo(record, parts, &audio, sizeof audio, WUFIO_TI_AUDIO_BITRATE) != S_OK)
      audio = 0;
    *bitrate = video + audio;
    return S_OK;
  }
  HRESULT hr = WuFio_GetTemplateInfo(record, parts, &audio, sizeof audio, WUFIO_TI_AUDIO_BITRATE);
  if (hr == S_OK) *bitrate = audio;
  return hr;
}
