// One-line texts of audio formats: channels, sample types, bit depths,
// tags and whole formats ("44,100 Hz, 16 Bit, Stereo, PCM"), the field
// orders of video, and the two wave-record copies. Texts are in the
// language of the default language handle; numbers follow its locale.
#pragma once

#include "audio/WuWaveFormat.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// 1 "Mono", 2 "Stereo"; mask 0x3F or 0x60F "5.1", 0xFF or 0x63F "7.1";
// else "6 Channel". Returns out.
LPWSTR WuAudio_GetChannelsText(UINT channels, DWORD mask, LPWSTR out, int size);
// "16 Bit", "32 Bit (IEEE Float)", "24 Bit (Unpacked)", "8 Bit (Signed)",
// "16 Bit (MAC)", "16 Bit (RA)"; "" for type 0 and types without a text.
// A format is read by its sample type. Return out.
LPWSTR WuAudio_GetSampleTypeText(WUSAMPLETYPE type, LPWSTR out, int size);
LPWSTR WuAudio_GetSampleTypeText(const _wuwaveformat& format, LPWSTR out, int size);
// "%d Bit" with the bits of the type; with `precision` the float types
// give their mantissa bits (24, 53) and 128, 129 their sample bits (16, 24),
// else 32 for all four. Return out.
LPWSTR WuAudio_GetBitDepthText(WUSAMPLETYPE type, LPWSTR out, int size, BOOL precision);
LPWSTR WuAudio_GetBitDepthText(const _wuwaveformat& format, LPWSTR out, int size,
                               BOOL precision);
// 0 "Progressive" .. 4 "One field (doubled)"; other types "Undefined" with
// `fallback`, else null.
LPCWSTR WuVideo_GetInterlaceTypeName(int type, BOOL fallback);

// WuAudio_GetFormatText flags.
constexpr DWORD WUFMTTEXT_ASPCM = 0x1;      // a compressed format as its decoded PCM form
constexpr DWORD WUFMTTEXT_PRECISION = 0x2;  // bit depths with precision; PCM and float end there
constexpr DWORD WUFMTTEXT_NONAME = 0x4;     // no compression name
constexpr DWORD WUFMTTEXT_LONGNAME = 0x8;   // the long compression name
constexpr DWORD WUFMTTEXT_ATTRIBS = 0x10;   // a compressed format by WuAudio_GetAttribsText
constexpr DWORD WUFMTTEXT_BITRATE = 0x20;   // a compressed format's bit rate first

// One line: bit rate, "$d Hz", sample type, channels, compression name,
// joined by the list separator; cut cleanly at `size`. Returns 0.
int WuAudio_GetFormatText(const _wuwaveformat& format, LPWSTR out, int size, DWORD flags);

// 1 "PCM", 3 "PCM (float)", 0xFE00..0xFE02 their PCM texts; other tags the
// installed codecs' name, or "Unknown" with E_FAIL (with no codecs, always).
HRESULT WuAudio_GetTagText(DWORD tag, LPWSTR out, int size);
// "44,100 Hz, 16 Bit, Stereo" or "... 32 Bit (IEEE Float) ..." for a plain
// format; a compressed one gets the codecs' format name, or "Unknown" with
// E_FAIL. A _wuwaveformat is written as a 136-byte platform record first.
HRESULT WuAudio_GetAttribsText(const WAVEFORMATEX* format, LPWSTR out, int size);
HRESULT WuAudio_GetAttribsText(const _wuwaveformat& format, LPWSTR out, int size);

// Copies 18 + cbSize bytes when cbSize is below 23, else 40 bytes.
void WuAudio_CopyWfxToWfExt(const WAVEFORMATEX* source, WAVEFORMATEXTENSIBLE* out);
// An extensible PCM or float record becomes its 16-byte plain form (tag 1
// or 3, cbSize 0); other sub-formats leave `out` untouched; any other tag
// copies the 18-byte header as it stands.
void WuAudio_CopyWfExtToWfx(const WAVEFORMATEXTENSIBLE* source, WAVEFORMATEX* out);
