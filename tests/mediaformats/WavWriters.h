// A WAV file and its Wave64 twin written only with the chunk writers, and
// the bytes each must hold, written out field by field. Shared by the
// layer tests and the interoperability tests.
#pragma once

#include <cmath>
#include <string>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "tests/mediaformats/RiffTestUtil.h"

namespace rifftest {

// GUIDs of Wave64 chunks that the RIFF64 layer does not name itself.
inline const GUID kW64Data = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline const GUID kW64Junk = {0x6B6E756A, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
// A list type and an entry id of our own.
inline const GUID kW64Notes = {0x65746F6E, 0x7A10, 0x4C2B, {0x9E, 0x31, 0x52, 0x11, 0x0C, 0x7D, 0x44, 0x01}};
inline const GUID kW64Name = {0x656D616E, 0x7A10, 0x4C2B, {0x9E, 0x31, 0x52, 0x11, 0x0C, 0x7D, 0x44, 0x02}};

constexpr DWORD kSineRate = 44100;

// `frames` of a 440 Hz sine, 16-bit stereo (the right channel at half
// amplitude), little-endian.
inline std::string StereoSine(DWORD frames) {
  Bytes b;
  for (DWORD i = 0; i < frames; ++i) {
    double v = std::sin(2 * 3.14159265358979 * 440 * i / kSineRate);
    b.U16(static_cast<uint16_t>(static_cast<int16_t>(v * 20000)));
    b.U16(static_cast<uint16_t>(static_cast<int16_t>(v * 10000)));
  }
  return b.s;
}

// The PCM format body of 16-bit stereo at 44,100 Hz.
inline std::string PcmFormat() {
  return Bytes().U16(1).U16(2).U32(kSineRate).U32(kSineRate * 4).U16(4).U16(16).s;
}

// Form "WAVE": fmt, an odd-sized "note", a "LIST" "INFO" of two ANSI
// strings, data.
inline HRESULT WriteWav(HANDLE file, const std::string& samples) {
  HRESULT hr = riff_WriteFileID(file, RiffId("WAVE"), 0);
  std::string format = PcmFormat();
  if (SUCCEEDED(hr)) hr = riff_WriteChunk(file, RiffId("fmt "), format.data(), 16, nullptr);
  if (SUCCEEDED(hr)) hr = riff_WriteChunk(file, RiffId("note"), "abc", 3, nullptr);
  const char16_t* texts[] = {u"Sine", u"Talvene"};
  const FOURCC ids[] = {RiffId("INAM"), RiffId("ISFT")};
  DWORD list = 4;
  for (const char16_t* text : texts) list += 8 + (riff_AnsiByteLength(text) + 2) / 2 * 2;
  if (SUCCEEDED(hr)) hr = riff_WriteListHeader(file, RiffId("INFO"), list);
  for (int i = 0; i < 2 && SUCCEEDED(hr); ++i) {
    DWORD written = 0;
    hr = riff_WriteChunkHeader(file, ids[i], riff_AnsiByteLength(texts[i]) + 1);
    if (SUCCEEDED(hr)) hr = riff_WriteANSIString(file, texts[i], &written);
  }
  if (SUCCEEDED(hr))
    hr = riff_WriteChunk(file, RiffId("data"), samples.data(), static_cast<DWORD>(samples.size()),
                         nullptr);
  DWORD end = 0;
  riff_SaveLocation(file, &end);
  if (SUCCEEDED(hr)) hr = riff_SetRIFFSize(file, end - 8);
  return hr;
}

inline std::string WavBytes(const std::string& samples) {
  Bytes body;
  body.Id("WAVE").Id("fmt ").U32(16).Raw(PcmFormat());
  body.Id("note").U32(3).Raw(std::string("abc\0", 4));
  body.Id("LIST").U32(4 + 14 + 16).Id("INFO");
  body.Id("INAM").U32(5).Raw(std::string("Sine\0\0", 6));
  body.Id("ISFT").U32(8).Raw(std::string("Talvene\0", 8));
  body.Id("data").U32(static_cast<uint32_t>(samples.size())).Raw(samples);
  if (samples.size() & 1) body.Zeros(1);
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body.s).s;
}

// The Wave64 twin: fmt and a list written in two steps, an odd-sized junk
// chunk, data.
inline HRESULT WriteWave64(HANDLE file, const std::string& samples) {
  HRESULT hr = riff64_WriteFileID(file, kRiff64GuidWave, 0);
  ULONGLONG start = 0;
  std::string format = PcmFormat();
  if (SUCCEEDED(hr)) hr = riff64_PrepareChunk(file, kRiff64GuidFmt, &start);
  if (SUCCEEDED(hr)) hr = riff64_WriteToFile(file, format.data(), format.size());
  if (SUCCEEDED(hr)) hr = riff64_CompleteChunk(file, start);
  if (SUCCEEDED(hr)) hr = riff64_WriteChunk(file, kW64Junk, "abc", 3, nullptr);
  if (SUCCEEDED(hr)) hr = riff64_PrepareList(file, kW64Notes, &start);
  if (SUCCEEDED(hr)) hr = riff64_WriteChunk(file, kW64Name, "Sine", 4, nullptr);
  if (SUCCEEDED(hr)) hr = riff64_CompleteChunk(file, start);
  if (SUCCEEDED(hr))
    hr = riff64_WriteChunkToFile(file, kW64Data, samples.data(), static_cast<DWORD>(samples.size()), 0);
  ULONGLONG end = 0;
  riff64_SaveLocation(file, &end);
  if (SUCCEEDED(hr)) hr = riff64_SetRIFFSize(file, end - 24);
  return hr;
}

inline std::string Wave64Bytes(const std::string& samples) {
  Bytes body;
  body.Guid(kRiff64GuidWave);
  body.Guid(kRiff64GuidFmt).U64(40).Raw(PcmFormat());
  body.Guid(kW64Junk).U64(27).Raw("abc").Zeros(5);
  body.Guid(kRiff64GuidList).U64(24 + 16 + 32).Guid(kW64Notes);
  body.Guid(kW64Name).U64(28).Raw("Sine").Zeros(4);
  size_t padded = (samples.size() + 7) / 8 * 8;
  body.Guid(kW64Data).U64(24 + padded).Raw(samples).Zeros(padded - samples.size());
  return Bytes().Guid(kRiff64GuidRiff).U64(24 + body.size()).Raw(body.s).s;
}

}  // namespace rifftest
