// The body of a WAV "fmt " chunk.
#include "mediaformats/WaveFmtBody.h"

#include <algorithm>
#include <cstring>

#include "mediaformats/RiffBytes.h"

namespace wavefmt {

using riffbytes::Get16;
using riffbytes::Get32;
using riffbytes::Put16;
using riffbytes::Put32;

// The fields after cbSize that an extensible record holds.
constexpr WORD kExtensibleCbSize = 22;

DWORD BodySize(const WAVEFORMATEX& wfx) {
  return wfx.wFormatTag == WAVE_FORMAT_PCM ? kPcmBytes : kPlainBytes + wfx.cbSize;
}

void EncodeBody(const WAVEFORMATEX& wfx, BYTE* out) {
  WORD tag = wfx.wFormatTag;
  if (tag == WAVE_FORMAT_PCM) {
    WORD frame = static_cast<WORD>(wfx.nChannels * (wfx.wBitsPerSample / 8));
    Put16(out, tag);
    Put16(out + 2, wfx.nChannels);
    Put32(out + 4, wfx.nSamplesPerSec);
    Put32(out + 8, wfx.nSamplesPerSec * frame);
    Put16(out + 12, frame);
    Put16(out + 14, wfx.wBitsPerSample);
    return;
  }
  Put16(out, tag);
  Put16(out + 2, wfx.nChannels);
  Put32(out + 4, wfx.nSamplesPerSec);
  Put32(out + 8, wfx.nAvgBytesPerSec);
  Put16(out + 12, wfx.nBlockAlign);
  Put16(out + 14, wfx.wBitsPerSample);
  Put16(out + 16, wfx.cbSize);
  const BYTE* extra = reinterpret_cast<const BYTE*>(&wfx) + kPlainBytes;
  DWORD raw_from = 0;
  if (tag == WAVE_FORMAT_EXTENSIBLE && wfx.cbSize >= kExtensibleCbSize) {
    const auto& ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(wfx);
    Put16(out + 18, ext.Samples.wValidBitsPerSample);
    Put32(out + 20, ext.dwChannelMask);
    riffbytes::PutGuid(out + 24, ext.SubFormat);
    raw_from = kExtensibleCbSize;
  }
  // Codec bytes are bytes: they go out as they stand.
  if (wfx.cbSize > raw_from) std::memcpy(out + kPlainBytes + raw_from, extra + raw_from, wfx.cbSize - raw_from);
}

void DecodeBody(const BYTE* body, DWORD count, WAVEFORMATEXTENSIBLE* out) {
  BYTE bytes[kExtensibleBytes] = {};
  std::memcpy(bytes, body, std::min(count, kExtensibleBytes));
  std::memset(out, 0, sizeof *out);
  out->Format.wFormatTag = Get16(bytes);
  out->Format.nChannels = Get16(bytes + 2);
  out->Format.nSamplesPerSec = Get32(bytes + 4);
  out->Format.nAvgBytesPerSec = Get32(bytes + 8);
  out->Format.nBlockAlign = Get16(bytes + 12);
  out->Format.wBitsPerSample = Get16(bytes + 14);
  out->Format.cbSize = Get16(bytes + 16);
  out->Samples.wValidBitsPerSample = Get16(bytes + 18);
  out->dwChannelMask = Get32(bytes + 20);
  out->SubFormat = riffbytes::GetGuid(bytes + 24);
}

}  // namespace wavefmt
