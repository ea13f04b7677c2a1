// The older generation of render templates (WUTEMPLATExV1): reading it from
// a stream and lifting it to a tagWUTEMPLATExV2.
//
// In a stream, little-endian: size and version (top byte 0x01) unless the
// caller has read them; the name and the notes, 520 bytes each (260 UTF-16
// units); an audio-present word and, when not 0, the audio part: an 18-byte
// wave header, an attribute word, a length L and L bytes of a full
// wave-format record, 32 bytes of encoder settings, a length P and P bytes
// of private data; a video-present word and, when not 0, the video part: a
// length L1 (not 0) and L1 bytes of the source BITMAPINFOHEADER, an
// attribute word, 64 bytes of settings, a length L2 (not 0) and L2 bytes of
// the output header, an attribute word, 64 bytes of settings, a length P2
// and P2 bytes of private data.
//
// Every stored length above WUTEMPLATEV1_MAX_LENGTH is refused before
// anything is allocated for it.
#pragma once

#include "fileio/WuFileIO.h"
#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

// The largest length of any blob of a stored template.
constexpr DWORD WUTEMPLATEV1_MAX_LENGTH = 0x02000000;
// Units of the name and of the notes.
constexpr int WUTEMPLATEV1_TEXT_UNITS = 260;

// The audio part in memory.
struct WUTEMPLATExV1_AUDIO {
  WAVEFORMATEX header;        // the 18-byte wave header
  DWORD attribute;            // the audio attribute (the stream count)
  DWORD formatLength;         // L: bytes at `format`
  BYTE* format;               // the full wave-format record (runtime heap), NULL when L is 0
  BYTE encoderSettings[32];   // the encoder's settings
  DWORD privateLength;        // P: bytes of private data
  DWORD privateCapacity;      // bytes `privateData` holds
  BYTE* privateData;          // the private data (runtime heap), NULL when P is 0
};

// The video part in memory.
struct WUTEMPLATExV1_VIDEO {
  DWORD sourceLength;         // L1: bytes at `source`
  BYTE* source;               // the source BITMAPINFOHEADER as stored (runtime heap)
  DWORD sourceAttribute;      // the video attribute (the stream count)
  BYTE sourceSettings[64];    // the video settings
  DWORD outputLength;         // L2: bytes at `output`
  BYTE* output;               // the output BITMAPINFOHEADER as stored (runtime heap)
  DWORD outputAttribute;      // a second attribute word, carried along
  BYTE outputSettings[64];    // a second settings record, carried along
  DWORD privateLength;        // P2: bytes of private data
  DWORD privateCapacity;      // bytes `privateData` holds
  BYTE* privateData;          // the private data (runtime heap), NULL when P2 is 0
};

// The record in memory (natural layout; only its stream form is fixed).
struct WUTEMPLATExV1 {
  DWORD totalSize;                          // as stored
  DWORD version;                            // top byte 0x01
  WCHAR name[WUTEMPLATEV1_TEXT_UNITS];      // always terminated at unit 259 at the latest
  WCHAR notes[WUTEMPLATEV1_TEXT_UNITS];     // likewise
  WUTEMPLATExV1_AUDIO* audio;               // NULL without an audio part
  WUTEMPLATExV1_VIDEO* video;               // NULL without a video part
};

// Reads a WUTEMPLATExV1 into `record`, reusing its parts and private
// buffers where they are large enough. With `headerRead` the size and
// version already in `record` are taken as read. A version whose top byte
// exceeds that of `highestVersion` or 0x02 gives WU_E_BAD_DATA; so do a
// length above WUTEMPLATEV1_MAX_LENGTH and a stream that ends early or
// fails. A zero L1 or L2 gives E_UNEXPECTED. On failure both parts are
// freed.
HRESULT WuFio_LoadTemplateDataV1(WUTEMPLATExV1* record, IStream* stream, DWORD highestVersion,
                                 BOOL headerRead);
// Frees the parts of a record (not the record itself) and clears them.
void WuFio_FreeTemplateDataV1(WUTEMPLATExV1* record);

// Lifts a read V1 record to a new V2 record in *out (NULL on failure). With
// private data and a renderer class, the class id and the lifted-V1 GUID
// are set and the class's conversion runs with mode 1: E_NOTIMPL keeps the
// record, a record it returns replaces it, another failure is returned.
// WU_E_BAD_DATA for a header below 40 bytes or a wave-format record that
// does not fit its length or the 96 bytes of room.
HRESULT WuFio_LiftTemplateV1(tagWUTEMPLATExV2** out, const WUTEMPLATExV1* record,
                             IWuRenderFileClass* cls);
// Reads the rest of a V1 record whose size and version were read and lifts it.
HRESULT WuFio_ReadAndLiftTemplateV1(tagWUTEMPLATExV2** out, IStream* stream, DWORD size,
                                    DWORD version, IWuRenderFileClass* cls);
