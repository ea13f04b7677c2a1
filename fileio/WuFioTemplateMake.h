// Render templates made from other templates, stream formats and plain
// audio and video formats, and the typed queries over their settings.
#pragma once

#include "audio/WuWaveFormat.h"
#include "fileio/WuFileIO.h"
#include "imaging/WuYuvMatrix.h"
#include "platform/kernel/types.h"

// Part bits of the helpers: which settings blocks take part.
constexpr DWORD WUFIO_TEMPLATE_PART_AUDIO = 1;  // the audio block (56)
constexpr DWORD WUFIO_TEMPLATE_PART_VIDEO = 2;  // the video block (256)

// Typed queries of WuFio_GetTemplateInfo.
typedef DWORD WUFIO_TEMPLATE_INFO;
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_AUDIO_TAG = 1;          // WORD format tag
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_VIDEO_COMPRESSION = 2;  // DWORD compression code
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_AUDIO_BITRATE = 3;      // DWORD bits per second
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_VIDEO_BITRATE = 4;      // i64 bits per second
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_AUDIO_STREAMS = 10;     // DWORD stream count
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_VIDEO_STREAMS = 11;     // DWORD stream count
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_SAMPLE_RATE = 12;       // DWORD
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_BITS_PER_SAMPLE = 13;   // WORD
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_CHANNELS = 14;          // WORD
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_CHANNEL_MASK = 15;      // DWORD
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_WIDTH = 16;             // LONG
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_HEIGHT = 17;            // LONG
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_FRAME_RATE = 18;        // double
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_PIXEL_ASPECT = 19;      // double
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_FRAME_SIZE = 20;        // two LONGs
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_VIDEO_FORMAT = 21;      // 64-byte video format record
constexpr WUFIO_TEMPLATE_INFO WUFIO_TI_AUDIO_EXTENSION = 22;   // 32-byte audio extension

// Makes *slot a template of `version` holding the source's attribute words,
// GUID, common settings, the blocks named by `parts` and its private data
// (class id and bytes), with `extraPrivate` more private bytes, the name and
// the notes (without their generated description). A slot record with room
// for the texts and exactly that private size is reused: its old settings
// and private data are zeroed first (unless it is the source). Otherwise a
// new record replaces it, the old one freed only once the new one is filled.
// E_POINTER, E_INVALIDARG (negative private size), WU_E_BAD_DATA (source
// layout), E_OUTOFMEMORY; the slot is unchanged on failure.
HRESULT WuFio_MakeTemplate(tagWUTEMPLATExV2** slot, DWORD version, const tagWUTEMPLATExV2* source,
                           DWORD parts, LONG extraPrivate, LPCWSTR name, LPCWSTR notes);

// *out = a new template from `count` stream formats: audio records give the
// audio block (format at 72, extension at 112, a compressed native format at
// 144), video records the video block (header at 264, extension at 304, a
// native header with a size or compression at 368). `native` may be NULL or
// hold zeroed records. *out is NULL on failure.
HRESULT WuFio_GenerateTemplate(tagWUTEMPLATExV2** out, const _WUFILESTREAMFORMATINFOv2* formats,
                               const _WUFILESTREAMFORMATINFOv2* native, LONG count,
                               LONG extraPrivate, LPCWSTR name, LPCWSTR notes);

// *out = a new template "Auto-generated" ("from GenerateTemplate") from
// open streams: kind bit 1 asks the audio interface (format 13, compressed
// format 14), bit 2 the video-format interface (format 12, compressed 13;
// without the latter the data rate is bytes per frame x frame rate). A
// failing query of the last stream is returned and nothing is made.
HRESULT WuFio_GenerateTemplate(tagWUTEMPLATExV2** out, IWuReadStream* const* streams, LONG count,
                               const DWORD* kinds, LONG extraPrivate);

// Fills a caller's 540-byte record as a template of the given audio and
// video formats (either count may be 0, its format then unread). A
// compressed audio format goes to 144 with its 16-bit PCM equivalent at 72;
// a video header that is not plain RGB goes to 368 with a 32-bit RGB header
// of its size at 264. Returns 0 (E_POINTER for no record).
HRESULT WuFio_InitBasicTemplate(tagWUTEMPLATExV2* record, LONG audioCount,
                                const _wuwaveformat* wfx, LONG videoCount,
                                const BITMAPINFOHEADER* header, double frameRate,
                                WUINTERLACETYPE interlace, double pixelAspect);
HRESULT WuFio_InitBasicAudioTemplate(tagWUTEMPLATExV2* record, const _wuwaveformat* wfx);

// Bytes of one frame of a header: the YUV image size for v210, I420, YUYV
// and UYVY, else the DWORD-aligned rows times the height's magnitude.
ULONGLONG WuFio_HeaderBytesPerFrame(const BITMAPINFOHEADER& header);

// Writes one typed value of the template's parts into `buffer` (zeroed
// first). 1 when the part the type needs is missing (types 2, 3, 4, 21, 22)
// or for an unknown type; types 12 to 20 then write 0 and return 0.
// E_INVALIDARG for no record or buffer or size 0, WU_E_BAD_DATA for a bad
// layout, 0x8004E03C for a buffer below the type's size.
HRESULT WuFio_GetTemplateInfo(const tagWUTEMPLATExV2* record, DWORD parts, void* buffer,
                              DWORD size, WUFIO_TEMPLATE_INFO type);
// *bitrate = bits per second of the video part (part bit 2), the audio part
// (bit 1), or both added. E_INVALIDARG for a null out, E_NOTIMPL without part
// bits; a failure or 1 from the query is returned.
HRESULT WuFio_GetTemplateBitrate(const tagWUTEMPLATExV2* record, DWORD parts, LONGLONG* bitrate);
