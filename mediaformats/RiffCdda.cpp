// CD-audio track files: a RIFF form "CDDA" whose "fmt " chunk describes
// one track of a disc.
#include <cstring>

#include "mediaformats/Riff.h"
#include "mediaformats/RiffFile.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"

namespace {

constexpr FOURCC kCdda = RiffId("CDDA");
constexpr FOURCC kFmt = RiffId("fmt ");
// Frames per second and per minute of CD audio time.
constexpr DWORD kFramesPerSecond = 75;
constexpr DWORD kFramesPerMinute = 60 * kFramesPerSecond;

tRIFFCDDAFORMAT Decode(const BYTE* p) {
  tRIFFCDDAFORMAT r;
  r.wVersion = riffbytes::Get16(p);
  r.wTrack = riffbytes::Get16(p + 2);
  r.dwSerial = riffbytes::Get32(p + 4);
  r.dwStartSector = riffbytes::Get32(p + 8);
  r.dwLengthSectors = riffbytes::Get32(p + 12);
  r.bStartFrame = p[16];
  r.bStartSecond = p[17];
  r.bStartMinute = p[18];
  r.bStartUnused = p[19];
  r.bLengthFrame = p[20];
  r.bLengthSecond = p[21];
  r.bLengthMinute = p[22];
  r.bLengthUnused = p[23];
  return r;
}

}  // namespace

HRESULT riff_ReadRIFFCDDA(HANDLE file, tRIFFCDDAFORMAT* record) {
  DWORD left = 0;
  FOURCC form = 0;
  if (HRESULT hr = riff_ReadFileID(file, &left, &form); FAILED(hr)) return hr;
  if (form != kCdda) return RIFF_E_WRONG_FORM;
  DWORD size = 0;
  if (HRESULT hr = riff_FindChunkHeader(file, kFmt, &size, &left); FAILED(hr)) return hr;
  if (size != kRiffCddaFormatBytes) return RIFF_E_CDDA_FORMAT;
  BYTE bytes[kRiffCddaFormatBytes];
  if (HRESULT hr = rifffile::ReadExact(file, bytes, sizeof bytes); FAILED(hr)) return hr;
  if (record) *record = Decode(bytes);
  return S_OK;
}

HRESULT riff_ReadCDAFile(LPCWSTR path, DWORD* track, DWORD* start_sector, DWORD* start_frames,
                         DWORD* length_sectors, DWORD* serial) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return RIFF_E_OPEN;
  tRIFFCDDAFORMAT record;
  std::memset(&record, 0, sizeof record);
  HRESULT hr = riff_ReadRIFFCDDA(file, &record);
  CloseHandle(file);
  if (FAILED(hr)) std::memset(&record, 0, sizeof record);
  if (track) *track = record.wTrack;
  if (start_sector) *start_sector = record.dwStartSector;
  if (start_frames)
    *start_frames = record.bStartMinute * kFramesPerMinute +
                    record.bStartSecond * kFramesPerSecond + record.bStartFrame;
  if (length_sectors) *length_sectors = record.dwLengthSectors;
  if (serial) *serial = record.dwSerial;
  return hr;
}
