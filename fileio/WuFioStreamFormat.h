// Filling and converting the stream format records of WuFileIO.h: the
// version-2 record from the platform's format records, from a stream's
// answer in either version, and a version-1 answer of an open file turned
// into a version-2 record.
#pragma once

#include "fileio/WuFileIO.h"

struct _wuwaveformat;       // audio/WuWaveFormat.h
struct WAVEFORMATEX;        // platform/com/mmreg.h
struct BITMAPINFOHEADER;    // platform/gdi/gdi.h

// Each form zero-fills the 184 bytes of `record` and writes size 184, the
// stream type and `length`, then the format and the extension when given
// (either may be NULL).
// Audio from a wave record: copied into the format area's 96 bytes (extra
// bytes that do not fit are dropped); the extension's 32 bytes.
void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const _wuwaveformat* format,
                               const tWUAUDIOEXTENSION* extension, LONGLONG length);
// Audio from a platform wave record (read as its tag asks: 18 bytes, and
// the extra bytes after them, for tags other than PCM and float).
void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const WAVEFORMATEX* format,
                               const tWUAUDIOEXTENSION* extension, LONGLONG length);
// Video from a bitmap header (40 bytes); the extension's 64 bytes.
void WuFio_SetStreamFormatInfo(_WUFILESTREAMFORMATINFOv2* record, const BITMAPINFOHEADER* format,
                               const tWUVIDEOEXTENSION* extension, LONGLONG length);

// Asks a stream for its version-2 record. The record's size word, raised
// to at least 184, is kept as its size: that many bytes are zeroed, then
// size and `type` written. Audio (1) asks the stream's IWuReadAudioStream
// (operation 13), video (2) its IWuReadVideoStream (operation 12); the
// operation's result is returned, a failed query as it is. Any other type
// gives E_INVALIDARG; NULL arguments E_POINTER.
HRESULT WuFio_FillStreamFormatInfo(IWuReadStream* stream, DWORD type,
                                   _WUFILESTREAMFORMATINFOv2* record);
// Asks a stream for its version-1 answer: the record is zeroed (so no
// buffers are offered and the stream reports the sizes it needs) and its
// type set; audio asks IWuReadAudioStreamV1 for GetFormatV1 then
// GetLengthV1, video IWuReadVideoStreamV1 the same. The result of
// GetFormatV1 is returned (GetLengthV1's is not used); other types give
// E_INVALIDARG, NULL arguments E_POINTER.
HRESULT WuFio_FillStreamFormatInfo(IWuReadStream* stream, DWORD type,
                                   _WUFILESTREAMFORMATINFOv1* record);

// Largest format or extension buffer offered to a version-1 plug-in.
constexpr DWORD WUFIO_V1_BUFFER_LIMIT = 1u << 20;

// After a caller preset the size word of `record` to `expectedSize` and
// asked `file` for stream `stream` (IWuReadFile::GetStreamFormat), and the
// word changed: a plug-in that wrote a version-1 answer (word 0 holding
// type 1 or 2) is asked again with version-1 buffers of the sizes it named
// (words 3 and 6; above 1 MiB gives 0x8004E00B and nothing is asked), and
// its answer becomes the version-2 record. Only what the plug-in wrote and
// what fits its buffer is read: a wave record shorter than its 16 (PCM,
// float) or 18 + extra bytes, or a bitmap header shorter than 40 bytes,
// gives 0x8004E00B; shorter extensions and other formats are zero-filled.
// The size word is set to `expectedSize` once the answer was seen as
// version 1. Returns 1 when nothing was to be done, the plug-in's failure,
// 0x8004E00B, or 0 after a conversion.
HRESULT WuFio_ConvertToV2ifV1(IWuReadFile* file, LONG stream, _WUFILESTREAMFORMATINFOv2* record,
                              DWORD expectedSize);
