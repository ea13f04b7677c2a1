// Channel operations on interleaved sample buffers.
#include "audio/WuAudioChannels.h"

#include <cstdint>
#include <cstring>

#include "audio/SampleCodec.h"
#include "audio/SampleIo.h"
#include "audio/WuAudioCopyApi.h"
#include "audio/WuWfx.h"

namespace {

using wuaudio::BytesOf;
using wuaudio::Decode;
using wuaudio::Encode;
using wuaudio::FullScale;
using wuaudio::IsFloat;
using wuaudio::LoadInt;
using wuaudio::ReadIntSample;
using wuaudio::RoundClamped;
using wuaudio::StoreInt;
using wuaudio::WriteIntSample;

unsigned char SilenceByte(WUSAMPLETYPE type) { return type == WUSAMPLE_PCM8 ? 0x80 : 0; }

// Types 16-19, 32, 33: the set the per-channel WAVEFORMATEX operations take.
bool IsBasicType(WUSAMPLETYPE type) {
  switch (type) {
    case WUSAMPLE_PCM8:
    case WUSAMPLE_PCM16:
    case WUSAMPLE_PCM24:
    case WUSAMPLE_PCM32:
    case WUSAMPLE_FLOAT32:
    case WUSAMPLE_FLOAT64:
      return true;
    default:
      return false;
  }
}

bool ChannelInRange(LONG channel, LONG channels) { return channel >= 0 && channel < channels; }

// A float sample's value, and back (float32 rounded once).
double ReadFloat(const unsigned char* p, WUSAMPLETYPE type) {
  return type == WUSAMPLE_FLOAT32 ? Decode<WUSAMPLE_FLOAT32>(p) : Decode<WUSAMPLE_FLOAT64>(p);
}

void WriteFloat(unsigned char* p, WUSAMPLETYPE type, double v) {
  if (type == WUSAMPLE_FLOAT32) {
    Encode<WUSAMPLE_FLOAT32>(p, v);
  } else {
    Encode<WUSAMPLE_FLOAT64>(p, v);
  }
}

// Sample size and frame stride of a WAVEFORMATEX for the per-channel
// operations; false when the record cannot hold samples of `type`.
bool Layout(const WAVEFORMATEX* format, WUSAMPLETYPE type, size_t* size, size_t* stride) {
  if (format->nChannels == 0) return false;
  *size = format->nBlockAlign / format->nChannels;
  *stride = *size * format->nChannels;
  return *size >= BytesOf(type) && BytesOf(type) != 0;
}

// n channels of one type to mono, by sum or by average. The integer types
// sum their raw values exactly (the normalising factors are powers of two,
// so this equals summing the normalised values).
template <WUSAMPLETYPE kType>
void MixToMonoInt(unsigned char* dst, const unsigned char* src, size_t size, LONG channels,
                  LONG frames, bool average) {
  const size_t stride = size * static_cast<size_t>(channels);
  for (LONG i = 0; i < frames; ++i, src += stride, dst += size) {
    int64_t sum = 0;
    for (LONG c = 0; c < channels; ++c) sum += LoadInt<kType>(src + size_t(c) * size);
    double v = average ? static_cast<double>(sum) / channels : static_cast<double>(sum);
    StoreInt<kType>(dst, RoundClamped(v, FullScale(kType)));
  }
}

// 16-bit stereo to mono by average, the common case. The half-sum of two
// 16-bit values is exact and within range, so the rounding helper's result
// (ties to even) is formed in integers: floor of the half, plus one when
// the half is a tie and the floor is odd.
void AverageStereo16(unsigned char* dst, const unsigned char* src, LONG frames) {
  for (LONG i = 0; i < frames; ++i) {
    int16_t a;
    int16_t b;
    std::memcpy(&a, src + 4 * size_t(i), 2);
    std::memcpy(&b, src + 4 * size_t(i) + 2, 2);
    const int32_t s = a + b;
    const int32_t q = s >> 1;
    const int16_t v = static_cast<int16_t>(q + (s & q & 1));
    std::memcpy(dst + 2 * size_t(i), &v, 2);
  }
}

HRESULT MixToMono(void* dstBuffer, const void* srcBuffer, const WAVEFORMATEX* format,
                  WUSAMPLETYPE type, LONG frames, bool average) {
  auto* dst = static_cast<unsigned char*>(dstBuffer);
  const auto* src = static_cast<const unsigned char*>(srcBuffer);
  const LONG channels = format->nChannels;
  const size_t size = BytesOf(type);
  if (IsFloat(type)) {
    for (LONG i = 0; i < frames; ++i) {
      double sum = 0;
      for (LONG c = 0; c < channels; ++c)
        sum += ReadFloat(src + (size_t(i) * channels + c) * size, type);
      WriteFloat(dst + size_t(i) * size, type, average ? sum / channels : sum);
    }
    return S_OK;
  }
  if (type == WUSAMPLE_PCM8 && average) {
    // On a 16-bit scale, averaged with truncating division, then back to
    // 8 bits through the rounding helper.
    for (LONG i = 0; i < frames; ++i) {
      int64_t sum = 0;
      for (LONG c = 0; c < channels; ++c)
        sum += (static_cast<int64_t>(src[size_t(i) * channels + c]) - 128) * 256;
      int64_t avg = sum / channels;
      if (avg < -32768) avg = -32768;
      if (avg > 32767) avg = 32767;
      dst[i] = static_cast<unsigned char>(RoundClamped(avg / 256.0, 128.0) + 128);
    }
    return S_OK;
  }
  if (type == WUSAMPLE_PCM16 && average && channels == 2) {
    AverageStereo16(dst, src, frames);
    return S_OK;
  }
  // WUSAMPLE_PCM24IN32 is not mixed: E_FAIL like the types outside the set.
  switch (type) {
#define WU_MIX_CASE(T)                                          \
  case T:                                                       \
    MixToMonoInt<T>(dst, src, size, channels, frames, average); \
    break;
    WU_MIX_CASE(WUSAMPLE_PCM8)
    WU_MIX_CASE(WUSAMPLE_PCM8S)
    WU_MIX_CASE(WUSAMPLE_PCM16)
    WU_MIX_CASE(WUSAMPLE_PCM16BE)
    WU_MIX_CASE(WUSAMPLE_PCM24)
    WU_MIX_CASE(WUSAMPLE_PCM24BE)
    WU_MIX_CASE(WUSAMPLE_PCM32)
    WU_MIX_CASE(WUSAMPLE_PCM32BE)
#undef WU_MIX_CASE
    default:
      return E_FAIL;
  }
  return S_OK;
}

HRESULT ChangeChannels(void* dst, LONG dstChannels, const void* src, const WAVEFORMATEX* srcFormat,
                       LONG frames, bool average) {
  if (frames < 0) return E_INVALIDARG;
  const LONG srcChannels = srcFormat->nChannels;
  if (dstChannels == srcChannels) return WuAudio_Copy(srcFormat, dst, srcFormat, src, frames, 1.0f);
  if (srcChannels < 1 || dstChannels < 1) return E_FAIL;
  const WUSAMPLETYPE type = WuAudio_GetSampleType(srcFormat);
  const size_t w = BytesOf(type);
  if (w == 0) return E_FAIL;
  if (dstChannels > srcChannels) {
    if (srcChannels != 1) return E_FAIL;
    // From the last frame backwards: frame i's destination starts at or
    // after every source sample not yet read.
    auto* d = static_cast<unsigned char*>(dst);
    const auto* s = static_cast<const unsigned char*>(src);
    unsigned char sample[8];
    for (LONG i = frames - 1; i >= 0; --i) {
      std::memcpy(sample, s + size_t(i) * w, w);
      for (LONG c = dstChannels - 1; c >= 0; --c)
        std::memcpy(d + (size_t(i) * dstChannels + c) * w, sample, w);
    }
    return S_OK;
  }
  if (dstChannels != 1) return E_FAIL;
  if (frames == 0) return S_OK;
  return MixToMono(dst, src, srcFormat, type, frames, average);
}

// Writes `sample` (w bytes) into channel `channel` of every frame.
void FillChannel(unsigned char* buffer, size_t stride, size_t offset, const unsigned char* sample,
                 size_t w, LONG frames) {
  for (LONG i = 0; i < frames; ++i) std::memcpy(buffer + size_t(i) * stride + offset, sample, w);
}

}  // namespace

HRESULT WuAudio_FillSilence(const _wuwaveformat* format, void* buffer, LONG frames) {
  if (BytesOf(format->SampleType) == 0) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  std::memset(buffer, SilenceByte(format->SampleType), size_t(frames) * format->nBlockAlign);
  return S_OK;
}

HRESULT WuAudio_FillSilence(const WAVEFORMATEX* format, void* buffer, LONG frames) {
  if (frames < 0) return E_INVALIDARG;
  int fill;
  switch (format->wFormatTag) {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_WU_PCMBE:
      fill = format->wBitsPerSample == 8 ? 0x80 : 0;
      break;
    case WAVE_FORMAT_IEEE_FLOAT:
    case WAVE_FORMAT_WU_PCM24IN32:
    case WAVE_FORMAT_WU_PCMSIGNED:
      fill = 0;
      break;
    case WAVE_FORMAT_EXTENSIBLE: {
      WuWfxExtensibleFields ext;
      WuAudio_ReadExtensibleFields(format, &ext);
      const bool base = WuAudio_IsBaseFormGuid(ext.sub_format);
      const DWORD tag = ext.sub_format.Data1;
      if (base && tag == WAVE_FORMAT_PCM) {
        fill = format->wBitsPerSample == 8 ? 0x80 : 0;
      } else if (base && tag == WAVE_FORMAT_IEEE_FLOAT) {
        fill = 0;
      } else {
        return S_OK;
      }
      break;
    }
    default:
      return E_FAIL;
  }
  std::memset(buffer, fill, size_t(frames) * format->nBlockAlign);
  return S_OK;
}

HRESULT WuAudio_FillSilenceChannel(const WAVEFORMATEX* format, void* buffer, LONG channel,
                                   LONG frames) {
  const WORD bits = format->wBitsPerSample;
  unsigned char fill = 0;
  switch (format->wFormatTag) {
    case WAVE_FORMAT_PCM:
    case WAVE_FORMAT_WU_PCM24IN32:
    case WAVE_FORMAT_WU_PCMSIGNED:
    case WAVE_FORMAT_WU_PCMBE:
      if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return E_FAIL;
      if (bits == 8 && format->wFormatTag != WAVE_FORMAT_WU_PCMSIGNED) fill = 0x80;
      break;
    case WAVE_FORMAT_IEEE_FLOAT:
      if (bits != 32 && bits != 64) return E_FAIL;
      break;
    default:
      return E_FAIL;
  }
  if (!ChannelInRange(channel, format->nChannels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  if (format->nChannels == 1) return WuAudio_FillSilence(format, buffer, frames);
  const size_t w = bits / 8;
  const unsigned char silence[8] = {fill, fill, fill, fill, fill, fill, fill, fill};
  FillChannel(static_cast<unsigned char*>(buffer), w * format->nChannels, w * size_t(channel),
              silence, w, frames);
  return S_OK;
}

HRESULT WuAudio_CopyChannelToChannel(void* buffer, const WAVEFORMATEX* format, LONG srcChannel,
                                     LONG dstChannel, LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(format);
  size_t size = 0;
  size_t stride = 0;
  if (!IsBasicType(type) || !Layout(format, type, &size, &stride)) return E_FAIL;
  if (!ChannelInRange(srcChannel, format->nChannels) ||
      !ChannelInRange(dstChannel, format->nChannels))
    return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  if (format->nChannels == 1 || srcChannel == dstChannel) return S_OK;
  auto* p = static_cast<unsigned char*>(buffer);
  const size_t w = BytesOf(type);
  for (LONG i = 0; i < frames; ++i)
    std::memcpy(p + size_t(i) * stride + size * dstChannel,
                p + size_t(i) * stride + size * srcChannel, w);
  return S_OK;
}

HRESULT WuAudio_SwapStereoChannels(void* buffer, const WAVEFORMATEX* format, LONG frames) {
  // The copy reads both samples of a frame before writing, so it works in
  // place.
  return WuAudio_CopySwapStereoChannels(buffer, buffer, format, frames);
}

HRESULT WuAudio_CopySwapStereoChannels(void* dst, const void* src, const WAVEFORMATEX* format,
                                       LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(format);
  size_t size = 0;
  size_t stride = 0;
  if (!IsBasicType(type) || !Layout(format, type, &size, &stride)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  if (format->nChannels < 2) return S_OK;
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  const size_t w = BytesOf(type);
  unsigned char l[8];
  unsigned char r[8];
  for (LONG i = 0; i < frames; ++i) {
    const size_t f = size_t(i) * stride;
    std::memcpy(l, s + f, w);
    std::memcpy(r, s + f + size, w);
    std::memcpy(d + f, r, w);
    std::memcpy(d + f + size, l, w);
  }
  return S_OK;
}

HRESULT WuAudio_FillWithSample(const WAVEFORMATEX* dstFormat, void* dst,
                               const WAVEFORMATEX* sampleFormat, const void* sample, LONG frames) {
  if (frames == 0) return S_OK;
  if (frames < 0) return E_INVALIDARG;
  auto* d = static_cast<unsigned char*>(dst);
  const WUSAMPLETYPE dt = WuAudio_GetSampleType(dstFormat);
  const WUSAMPLETYPE st = WuAudio_GetSampleType(sampleFormat);
  const size_t align = dstFormat->nBlockAlign;
  if (dt == st && align == sampleFormat->nBlockAlign) {
    for (LONG i = 0; i < frames; ++i) std::memcpy(d + size_t(i) * align, sample, align);
    return S_OK;
  }
  const bool sampleOk = st == WUSAMPLE_PCM16 || st == WUSAMPLE_PCM24 || st == WUSAMPLE_FLOAT32 ||
                        st == WUSAMPLE_FLOAT64 || st == WUSAMPLE_PCM24IN32;
  const bool destOk = dt == WUSAMPLE_PCM16 || dt == WUSAMPLE_PCM24 || dt == WUSAMPLE_PCM32 ||
                      dt == WUSAMPLE_FLOAT32 || dt == WUSAMPLE_FLOAT64 || dt == WUSAMPLE_PCM24IN32;
  WuAudioCopyFunc kernel = WuAudio_GetCopyFunction2(dt, st);
  const size_t sw = BytesOf(st);
  const size_t dw = BytesOf(dt);
  const LONG channels = dstFormat->nChannels;
  if (!sampleOk || !destOk || kernel == nullptr || sampleFormat->nChannels == 0 || channels == 0 ||
      align < dw * static_cast<size_t>(channels)) {
    WuAudio_FillSilence(dstFormat, dst, frames);
    return S_OK;
  }
  // L and R side by side in the sample type, converted by the pair's kernel.
  const auto* s = static_cast<const unsigned char*>(sample);
  unsigned char in[16];
  std::memcpy(in, s, sw);
  std::memcpy(in + sw, sampleFormat->nChannels >= 2 ? s + sw : s, sw);
  unsigned char lr[16];
  kernel(lr, in, 2, 1.0f);
  unsigned char frame[8 * 2];
  if (channels == 1) {
    if (IsFloat(dt)) {
      WriteFloat(frame, dt, (ReadFloat(lr, dt) + ReadFloat(lr + dw, dt)) / 2);
    } else {
      const double sum = static_cast<double>(ReadIntSample(lr, dt)) + ReadIntSample(lr + dw, dt);
      WriteIntSample(frame, dt, RoundClamped(sum / 2, FullScale(dt)));
    }
    for (LONG i = 0; i < frames; ++i) std::memcpy(d + size_t(i) * align, frame, dw);
    return S_OK;
  }
  for (LONG i = 0; i < frames; ++i) {
    unsigned char* f = d + size_t(i) * align;
    std::memcpy(f, lr, 2 * dw);
    std::memset(f + 2 * dw, 0, align - 2 * dw);
  }
  return S_OK;
}

HRESULT WuAudio_ChannelChange(void* dst, LONG dstChannels, const void* src,
                              const WAVEFORMATEX* srcFormat, LONG frames) {
  return ChangeChannels(dst, dstChannels, src, srcFormat, frames, false);
}

HRESULT WuAudio_ChannelChangeAvg(void* dst, LONG dstChannels, const void* src,
                                 const WAVEFORMATEX* srcFormat, LONG frames) {
  return ChangeChannels(dst, dstChannels, src, srcFormat, frames, true);
}

HRESULT WuAudio_MonoChannel(void* dst, const void* src, const WAVEFORMATEX* format, LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(format);
  size_t size = 0;
  size_t stride = 0;
  if (!IsBasicType(type) || !Layout(format, type, &size, &stride)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  const LONG channels = format->nChannels;
  if (channels == 1) return WuAudio_Copy(format, dst, format, src, frames, 1.0f);
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  unsigned char out[8];
  for (LONG i = 0; i < frames; ++i) {
    const unsigned char* f = s + size_t(i) * stride;
    if (IsFloat(type)) {
      double sum = 0;
      for (LONG c = 0; c < channels; ++c) sum += ReadFloat(f + size * c, type);
      WriteFloat(out, type, sum / channels);
    } else if (type == WUSAMPLE_PCM24) {
      int64_t sum = 0;
      for (LONG c = 0; c < channels; ++c) sum += ReadIntSample(f + size * c, type);
      WriteIntSample(out, type,
                     RoundClamped(static_cast<double>(sum) / channels, FullScale(type)));
    } else if (type == WUSAMPLE_PCM8) {
      int64_t sum = 0;
      for (LONG c = 0; c < channels; ++c) sum += f[size * c];
      out[0] = static_cast<unsigned char>(sum / channels);
    } else {
      int64_t sum = 0;
      for (LONG c = 0; c < channels; ++c) sum += ReadIntSample(f + size * c, type);
      WriteIntSample(out, type, static_cast<int32_t>(sum / channels));
    }
    for (LONG c = 0; c < channels; ++c)
      std::memcpy(d + size_t(i) * stride + size * c, out, BytesOf(type));
  }
  return S_OK;
}

HRESULT WuAudio_CopyChannelToMultiMono2(void* dst, LONG dstChannels, const void* src,
                                        LONG srcChannels, LONG channel, LONG frames,
                                        WUSAMPLETYPE type) {
  const size_t w = BytesOf(type);
  if (w == 0 || dstChannels < 1 || srcChannels < 1) return E_INVALIDARG;
  if (!ChannelInRange(channel, srcChannels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  unsigned char sample[8];
  auto one = [&](LONG i) {
    std::memcpy(sample, s + (size_t(i) * srcChannels + channel) * w, w);
    for (LONG c = 0; c < dstChannels; ++c)
      std::memcpy(d + (size_t(i) * dstChannels + c) * w, sample, w);
  };
  if (dstChannels > srcChannels) {
    for (LONG i = frames - 1; i >= 0; --i) one(i);
  } else {
    for (LONG i = 0; i < frames; ++i) one(i);
  }
  return S_OK;
}

HRESULT WuAudio_CopyChannelToMultiMono(void* dst, const WAVEFORMATEX* dstFormat, const void* src,
                                       const WAVEFORMATEX* srcFormat, LONG channel, LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(srcFormat);
  if (WuAudio_GetSampleType(dstFormat) != type) return E_INVALIDARG;
  return WuAudio_CopyChannelToMultiMono2(dst, dstFormat->nChannels, src, srcFormat->nChannels,
                                         channel, frames, type);
}

HRESULT WuAudio_CopyChannelToAll(void* dst, const void* src, const WAVEFORMATEX* srcFormat,
                                 const WAVEFORMATEX* dstFormat, LONG channel, LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(srcFormat);
  if (WuAudio_GetSampleType(dstFormat) != type) return E_NOTIMPL;
  const size_t w = BytesOf(type);
  if (w == 0) return E_FAIL;
  const LONG srcChannels = srcFormat->nChannels;
  const LONG dstChannels = dstFormat->nChannels;
  if (!ChannelInRange(channel, srcChannels) || dstChannels < 1) return E_FAIL;
  if (dstChannels == 1) return WuAudio_ExtractChannel(dst, channel, src, type, srcChannels, frames);
  if (frames < 0) return E_INVALIDARG;
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  unsigned char sample[8];
  for (LONG i = 0; i < frames; ++i) {
    std::memcpy(sample, s + (size_t(i) * srcChannels + channel) * w, w);
    for (LONG c = 0; c < dstChannels; ++c)
      std::memcpy(d + (size_t(i) * dstChannels + c) * w, sample, w);
  }
  return S_OK;
}

HRESULT WuAudio_ExtractChannel(void* dst, LONG channel, const void* src, WUSAMPLETYPE type,
                               LONG channels, LONG frames) {
  const size_t w = BytesOf(type);
  if (w == 0) return E_FAIL;
  if (!ChannelInRange(channel, channels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  if (channels == 1) {
    WuAudioCopyFunc kernel = WuAudio_GetCopyFunction2(type, type);
    if (kernel == nullptr) return E_NOTIMPL;
    if (frames > 0) kernel(dst, src, frames, 1.0f);
    return S_OK;
  }
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  for (LONG i = 0; i < frames; ++i)
    std::memcpy(d + size_t(i) * w, s + (size_t(i) * channels + channel) * w, w);
  return S_OK;
}

HRESULT WuAudio_ExtractChannel(void* dst, LONG channel, const void* src,
                               const WAVEFORMATEX* srcFormat, LONG frames) {
  return WuAudio_ExtractChannel(dst, channel, src, WuAudio_GetSampleType(srcFormat),
                                srcFormat->nChannels, frames);
}

HRESULT WuAudio_ExtractChannelPair(void* dst, LONG firstChannel, const void* src,
                                   const WAVEFORMATEX* srcFormat, LONG frames) {
  const WUSAMPLETYPE type = WuAudio_GetSampleType(srcFormat);
  size_t size = 0;
  size_t stride = 0;
  if (!IsBasicType(type) || !Layout(srcFormat, type, &size, &stride)) return E_FAIL;
  if (firstChannel < 0 || !ChannelInRange(firstChannel + 1, srcFormat->nChannels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  if (srcFormat->nChannels == 2) return WuAudio_Copy(srcFormat, dst, srcFormat, src, frames, 1.0f);
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  const size_t w = BytesOf(type);
  for (LONG i = 0; i < frames; ++i) {
    const unsigned char* f = s + size_t(i) * stride + size * firstChannel;
    std::memcpy(d + size_t(i) * 2 * w, f, w);
    std::memcpy(d + size_t(i) * 2 * w + w, f + size, w);
  }
  return S_OK;
}

HRESULT WuAudio_InsertChannel(void* dst, WUSAMPLETYPE type, LONG channels, LONG channel,
                              const void* src, LONG frames) {
  const size_t w = BytesOf(type);
  if (w == 0) return E_FAIL;
  if (!ChannelInRange(channel, channels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  auto* d = static_cast<unsigned char*>(dst);
  const auto* s = static_cast<const unsigned char*>(src);
  if (channels == 1) {
    std::memmove(d, s, size_t(frames) * w);
    return S_OK;
  }
  for (LONG i = 0; i < frames; ++i)
    std::memcpy(d + (size_t(i) * channels + channel) * w, s + size_t(i) * w, w);
  return S_OK;
}

HRESULT WuAudio_MuteChannel(void* buffer, WUSAMPLETYPE type, LONG channels, LONG channel,
                            LONG frames) {
  const size_t w = BytesOf(type);
  if (w == 0) return E_FAIL;
  if (!ChannelInRange(channel, channels)) return E_FAIL;
  if (frames < 0) return E_INVALIDARG;
  const unsigned char f = SilenceByte(type);
  const unsigned char silence[8] = {f, f, f, f, f, f, f, f};
  FillChannel(static_cast<unsigned char*>(buffer), w * size_t(channels), w * size_t(channel),
              silence, w, frames);
  return S_OK;
}

HRESULT WuAudio_MuteChannel(void* buffer, const WAVEFORMATEX* format, LONG channel, LONG frames) {
  return WuAudio_MuteChannel(buffer, WuAudio_GetSampleType(format), format->nChannels, channel,
                             frames);
}

HRESULT WuAudio_MuteChannel(void* buffer, const _wuwaveformat* format, LONG channel, LONG frames) {
  return WuAudio_MuteChannel(buffer, format->SampleType, format->nChannels, channel, frames);
}
