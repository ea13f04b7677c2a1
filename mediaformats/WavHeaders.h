// WAV, Wave64 and AIFF file headers: testers, writers of fresh headers,
// header insertion over reserved bytes, repair of damaged headers, and the
// format readers and rewriter.
//
// WAV header of H bytes (H = 46 without junk, else at least 54): "RIFF",
// RIFF size (H - 8 + data size), "WAVE", "fmt " of 18 bytes (an 18-byte
// WAVEFORMATEX with cbSize 0), for H >= 54 a "JUNK" chunk of H - 54 zero
// bytes, "data" and the data size; the audio starts at H.
//
// Wave64 header of H bytes (112 without junk, else a multiple of 8 of at
// least 136): riff GUID, size of the whole file, wave GUID, fmt GUID, 42,
// the 18-byte format, 6 zero bytes; for H >= 136 a junk chunk at 88 (junk
// GUID, H - 112, H - 136 zero bytes); the data GUID and data size + 24.
//
// Writers accept a format with cbSize 0; for PCM also bits other than 20
// and nBlockAlign = nChannels x (bits / 8); anything else gives
// WAV_E_FORMAT. Functions that take a name open and close the file
// themselves; those that take a handle put its position back on every
// exit. Each writer has an overload for a _wuwaveformat, written into a
// platform record as the record stands (WUCOPYDEST_ASSOURCE).
#pragma once

#include "audio/WuWaveFormat.h"
#include "mediaformats/RiffStatus.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// The format cannot be written into an 18-byte "fmt " chunk.
constexpr HRESULT WAV_E_FORMAT = WuStatusCode(0x8004E000);
// WuSetFileWfx on an AIFF file with a format other than PCM.
constexpr HRESULT WAV_E_AIFF_NOT_PCM = WuStatusCode(0x8004E016);

// Header sizes.
constexpr DWORD kWavHeaderBytes = 46;
constexpr DWORD kWavJunkHeaderBytes = 54;
constexpr ULONGLONG kW64HeaderBytes = 112;
constexpr ULONGLONG kW64JunkHeaderBytes = 136;
// The largest "fmt " chunk the readers take.
constexpr DWORD kWavMaxFmtBytes = 4096;

// Wave64 chunk GUIDs the RIFF64 layer does not name.
extern const GUID kW64GuidData;  // 61746164-ACF3-11D3-8CD1-00C04F8EDB8A
extern const GUID kW64GuidJunk;  // 6B6E756A-ACF3-11D3-8CD1-00C04F8EDB8A

// ---- Testers (FALSE on every failure) -----------------------------------------
// A RIFF "WAVE" with a readable "fmt " chunk, of a plain sample format
// unless allow_compressed.
BOOL WuFileIsWave(LPCWSTR path, BOOL allow_compressed);
BOOL WuFileIsWave64(LPCWSTR path, BOOL allow_compressed);
BOOL WuFileIsAiff(LPCWSTR path);

// ---- Fresh files ----------------------------------------------------------------
// The file always starts empty (OPEN_EXISTING truncates, OPEN_ALWAYS
// creates or truncates). RIFF_E_OPEN when it cannot be created.
HRESULT WuInitializeWav(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition);
HRESULT WuInitializeWav(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition);
HRESULT WuInitializeWav64(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition);
HRESULT WuInitializeWav64(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition);
// A header of header_size bytes rounded up to even, with a junk chunk;
// E_INVALIDARG below 54, checked before the file is touched.
HRESULT WuInitializeWavWithJunk(LPCWSTR path, const WAVEFORMATEX* wfx, DWORD disposition,
                                DWORD header_size);
HRESULT WuInitializeWavWithJunk(LPCWSTR path, const _wuwaveformat* wfx, DWORD disposition,
                                DWORD header_size);

// ---- Headers over reserved bytes -------------------------------------------------
// Writes the header at offset 0 of an open file. RIFF_E_BAD_SIZE when the
// size is odd, below 46 or from 47 to 53, or the file is shorter than 46.
HRESULT WuInsertWavHeader(HANDLE file, const WAVEFORMATEX* wfx, DWORD data_size, DWORD header_size);
HRESULT WuInsertWavHeader(HANDLE file, const _wuwaveformat* wfx, DWORD data_size,
                          DWORD header_size);
// RIFF_E_BAD_SIZE when the size is not a multiple of 8, below 112 or from
// 113 to 135, or the file is shorter than 112.
HRESULT WuInsertW64Header(HANDLE file, const WAVEFORMATEX* wfx, LONGLONG data_size,
                          LONGLONG header_size);
HRESULT WuInsertW64Header(HANDLE file, const _wuwaveformat* wfx, LONGLONG data_size,
                          LONGLONG header_size);

// ---- Repair ---------------------------------------------------------------------------
// Rebuilds the header of a damaged WAV file: the format at offset 20 is
// made sane (rates outside 2,000..192,000, channels other than 1 or 2 and
// tags other than 1 or 3 take the defaults: the given format, or PCM 16-bit
// stereo at 44,100 Hz), the audio start is the body of the "data" chunk
// found within `limit` bytes, else the first "data" a byte scan finds,
// else the limit; the data size is the rest of the file in whole frames.
// RIFF_E_READ when the header cannot be read, RIFF_E_NOT_FOUND when the
// scan reaches the end of the file first.
HRESULT WuFixTrashedWav(HANDLE file, const WAVEFORMATEX* defaults, DWORD limit);
HRESULT WuFixTrashedWav(HANDLE file, const _wuwaveformat* defaults, DWORD limit);
// The same for Wave64: format at 64, search from 88, scan for the data GUID.
HRESULT WuFixTrashedW64(HANDLE file, const WAVEFORMATEX* defaults, LONGLONG limit);
HRESULT WuFixTrashedW64(HANDLE file, const _wuwaveformat* defaults, LONGLONG limit);

// ---- Formats of files ----------------------------------------------------------------
// The format of a WAV, Wave64 or AIFF file holding plain samples, in a
// block of at least 40 zero-filled bytes from the runtime heap (the caller
// frees it with free), or null (the outputs then stay untouched). Either
// output may be null.
WAVEFORMATEX* WuGetFileWfx(LPCWSTR path, ULONGLONG* frames, ULONGLONG* data_offset);
// The readers behind it, on an open file: null with the outputs 0 when the
// file is not of their kind. 20-bit PCM reads as 24-bit and the block
// align of whole-byte samples is made to match the bits before the format
// is tested for compression. "fmt " chunks above 4,096 bytes are refused.
WAVEFORMATEX* WuGetWavFileWfx(HANDLE file, DWORD* frames, DWORD* data_offset);
WAVEFORMATEX* WuGetW64FileWfx(HANDLE file, ULONGLONG* frames, ULONGLONG* data_offset);
WAVEFORMATEX* WuGetAiffFileWfx(HANDLE file, DWORD* frames, DWORD* data_offset);
// Replaces the format of an existing WAV or AIFF file in place. WAV: a
// 16-byte "fmt " takes the first 16 bytes, 18 to 25 bytes take the 18
// bytes and the rest is zeroed, 26 bytes or more become an 18-byte chunk
// followed by a "JUNK" chunk over the rest; below 16, WAV_E_FORMAT. AIFF:
// the "COMM" body's first 18 bytes are rewritten (channels, frames, bits,
// rate); the format must be PCM (WAV_E_AIFF_NOT_PCM), and a body shorter
// than 18 bytes is refused (RIFF_E_WRONG_FORM) with the file unchanged.
HRESULT WuSetFileWfx(LPCWSTR path, const WAVEFORMATEX* wfx);
