// RIFF in memory: a minimal WAV header, written and read.

#include "audio/WuWaveFormat.h"
#include "mediaformats/MRiffCursor.h"
#include "mediaformats/WaveFmtBody.h"

using namespace mriffcursor;

namespace {

constexpr FOURCC kWave = RiffId("WAVE");
constexpr FOURCC kFmt = RiffId("fmt ");
constexpr FOURCC kData = RiffId("data");
// The platform record's room (a _wuwaveformat_wfxplus).
constexpr UINT kRecordRoom = sizeof(_wuwaveformat_wfxplus);

}  // namespace

HRESULT mriff_WriteWaveHeader(_tMRIFF* m, const _wuwaveformat* format, DWORD data_size,
                              DWORD extra_size) {
  if (!m || !format) return E_POINTER;
  _wuwaveformat_wfxplus record;
  WuAudio_GeneralCopyWfx(&record, kRecordRoom, *format, WUCOPYDEST_ASSOURCE);
  DWORD fmt_size = wavefmt::BodySize(record);
  BYTE body[kRecordRoom + 1] = {};
  wavefmt::EncodeBody(record, body);
  // "WAVE", the fmt chunk with its pad, the data header and data, and what
  // the caller adds.
  ULONGLONG form = 4 + 8 + riffbytes::PadEven(fmt_size) + 8 + ULONGLONG{data_size} + extra_size;
  form = riffbytes::PadEven(form);
  if (form > 0xFFFFFFFFull) return E_INVALIDARG;
  if (HRESULT hr = mriff_WriteFileID(m, kWave, static_cast<DWORD>(form)); FAILED(hr)) return hr;
  if (HRESULT hr = mriff_WriteChunkHeader(m, kFmt, fmt_size); FAILED(hr)) return hr;
  DWORD padded = static_cast<DWORD>(riffbytes::PadEven(fmt_size));
  DWORD written = 0;
  mriff_WriteFile(m, body, padded, &written, nullptr);
  if (written != padded) return RIFF_E_WRITE;
  return mriff_WriteChunkHeader(m, kData, data_size);
}

HRESULT mriff_GetWfx(_wuwaveformat* format, const void* data, DWORD length, DWORD* data_size) {
  _tMRIFF m;
  if (HRESULT hr = mriff_Init(&m, const_cast<void*>(data), length, length); FAILED(hr)) return hr;
  DWORD form_left = 0;
  FOURCC form = 0;
  if (HRESULT hr = mriff_ReadFileID(&m, &form_left, &form); FAILED(hr)) return hr;
  if (form != kWave) return E_FAIL;

  mriff_SeekDataStart(&m);
  DWORD left = form_left, fmt_size = 0;
  if (HRESULT hr = mriff_FindChunkHeader(&m, kFmt, &fmt_size, &left); FAILED(hr)) return hr;
  BYTE body[wavefmt::kExtensibleBytes] = {};
  DWORD fmt_bytes = fmt_size < sizeof body ? fmt_size : sizeof body;
  if (HRESULT hr = mriff_ReadData(&m, body, fmt_bytes); FAILED(hr)) return hr;

  mriff_SeekDataStart(&m);
  left = form_left;
  DWORD found_data = 0;
  if (HRESULT hr = mriff_FindChunkHeader(&m, kData, &found_data, &left); FAILED(hr)) return hr;

  if (format) {
    WAVEFORMATEXTENSIBLE record;
    wavefmt::DecodeBody(body, fmt_bytes, &record);
    format->Init(kWuWaveFormatFieldBytes, record.Format);
  }
  if (data_size) *data_size = found_data;
  return S_OK;
}
