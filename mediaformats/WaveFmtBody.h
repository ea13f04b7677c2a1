// The body of a WAV "fmt " chunk and the platform's wave-format records
// (internal to the media formats). Bodies are written and read field by
// field, little-endian.
#pragma once

#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

namespace wavefmt {

// The plain header, and the header with the extensible fields.
constexpr DWORD kPlainBytes = 18;
constexpr DWORD kExtensibleBytes = 40;
// The body of a PCM "fmt " chunk (no cbSize).
constexpr DWORD kPcmBytes = 16;

// Bytes of the body that EncodeBody writes for a platform record: 16 for
// PCM, else 18 + cbSize.
DWORD BodySize(const WAVEFORMATEX& wfx);
// Writes the body of a platform record (which holds its cbSize bytes after
// the header) into `out` (room for BodySize bytes). A PCM body gets its
// byte rate and block align from rate, channels and bits.
void EncodeBody(const WAVEFORMATEX& wfx, BYTE* out);
// Reads the first min(count, 40) bytes of a body into a zero-filled
// extensible record (the fields the body does not reach stay 0).
void DecodeBody(const BYTE* body, DWORD count, WAVEFORMATEXTENSIBLE* out);

}  // namespace wavefmt
