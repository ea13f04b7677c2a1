// Picture blocks: one picture with its MIME type and description in one
// contiguous, self-sized piece of memory. Little-endian layout:
//   0   total size = 24 + MIME bytes + description bytes + picture bytes
//   4   structure version, always 2
//   8   picture type (_PICTUREMETADATATYPE_); 255 stands for no picture
//   12  MIME byte count, its NUL included (0 when absent)
//   16  description byte count, its NUL included (0 when absent)
//   20  picture data size in bytes
//   24  MIME type (UTF-16 with its NUL), then the description (UTF-16 with
//       its NUL), then the picture's encoded bytes
// Accessors read a null block as empty. A part whose count does not fit the
// block's total size, or a text that is not whole UTF-16 characters ending
// in NUL, is damaged and reads as absent.
#pragma once

#include "platform/kernel/types.h"

// What a picture shows (the common tag-picture kinds).
enum _PICTUREMETADATATYPE_ : DWORD {
  PICTUREMETADATATYPE_OTHER = 0,
  PICTUREMETADATATYPE_FILE_ICON = 1,
  PICTUREMETADATATYPE_OTHER_FILE_ICON = 2,
  PICTUREMETADATATYPE_FRONT_COVER = 3,
  PICTUREMETADATATYPE_BACK_COVER = 4,
  PICTUREMETADATATYPE_LEAFLET = 5,
  PICTUREMETADATATYPE_MEDIA = 6,
  PICTUREMETADATATYPE_LEAD_ARTIST = 7,
  PICTUREMETADATATYPE_ARTIST = 8,
  PICTUREMETADATATYPE_CONDUCTOR = 9,
  PICTUREMETADATATYPE_BAND = 10,
  PICTUREMETADATATYPE_COMPOSER = 11,
  PICTUREMETADATATYPE_LYRICIST = 12,
  PICTUREMETADATATYPE_RECORDING_LOCATION = 13,
  PICTUREMETADATATYPE_DURING_RECORDING = 14,
  PICTUREMETADATATYPE_DURING_PERFORMANCE = 15,
  PICTUREMETADATATYPE_SCREEN_CAPTURE = 16,
  PICTUREMETADATATYPE_ILLUSTRATION = 18,
  PICTUREMETADATATYPE_BAND_LOGO = 19,
  PICTUREMETADATATYPE_PUBLISHER_LOGO = 20,
  PICTUREMETADATATYPE_NONE = 255,
};

constexpr DWORD WUPICTURE_HEADER_SIZE = 24;
constexpr DWORD WUPICTURE_STRUCT_VERSION = 2;
// WuPicture_SetMeta: a capacity meaning "large enough".
constexpr DWORD WUPICTURE_CAPACITY_UNCHECKED = 0xFFFFFFFF;

// 24 + the two text byte counts (2 x (characters + 1), 0 for a null text)
// + the data size; 0 when that does not fit in 32 bits.
DWORD WuPicture_GetMetaSizeNeeded(const WCHAR* mime_type, const WCHAR* description, DWORD data_size);
// A new block of exactly the needed size in zero-filled movable global
// memory, returned locked; null when memory runs out or the data is null
// with a non-zero size.
void* WuPicture_CreateMeta(_PICTUREMETADATATYPE_ type, const WCHAR* mime_type,
                           const WCHAR* description, DWORD data_size, const void* data);
// Fills a caller's block. E_INVALIDARG for a null block, a capacity of 0 or
// null data with a non-zero size; WU_E_BUFFER_TOO_SMALL (0x8004E03C),
// before anything is written, when the capacity is below the needed size
// (WUPICTURE_CAPACITY_UNCHECKED skips the check); else S_OK.
HRESULT WuPicture_SetMeta(void* block, DWORD capacity, _PICTUREMETADATATYPE_ type,
                          const WCHAR* mime_type, const WCHAR* description, DWORD data_size,
                          const void* data);

// The parts; null when the block is null or the part is absent or damaged.
const WCHAR* WuPicture_GetMimeType(const void* block);
const WCHAR* WuPicture_GetDescription(const void* block);
const void* WuPicture_GetPictureData(const void* block);
// The stored type, or PICTUREMETADATATYPE_NONE when the block is null or
// holds no (undamaged) picture bytes.
_PICTUREMETADATATYPE_ WuPicture_GetPictureType(const void* block);
// The header fields as stored; 0 for a null block.
DWORD WuPicture_GetMimeTypeByteCount(const void* block);
DWORD WuPicture_GetDescriptionByteCount(const void* block);
DWORD WuPicture_GetPictureDataSize(const void* block);
DWORD WuPicture_GetPictureTotalSize(const void* block);
DWORD WuPicture_GetStructVersion(const void* block);
