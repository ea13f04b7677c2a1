// The format codes of quick identification. One shared enumeration: the
// file-I/O type tables key on these values and stored profiles hold them,
// so every value is fixed.
//   2 .. 23       audio formats
//   4096 .. 4117  video and container formats
//   8192 .. 8201  still images
//   1             the data was examined and no format accepted it
//   0             nothing was examined (the call failed before reading)
#pragma once

#include "platform/kernel/types.h"

enum WUFILEID_IDENTIFIED_TYPE : DWORD {
  WUFILEID_NOT_EXAMINED = 0,
  WUFILEID_UNKNOWN = 1,

  // ---- Audio ------------------------------------------------------------
  WUFILEID_WAV = 2,                 // RIFF form "WAVE"
  WUFILEID_WAVE64 = 3,              // Wave64
  WUFILEID_MP3 = 4,                 // MPEG audio layer III
  WUFILEID_WAV_TAG1971 = 5,         // WAV whose format tag is 0x1971
  WUFILEID_WAV_SCOT = 6,            // WAV carrying a "scot" chunk
  WUFILEID_OGG = 7,                 // Ogg
  WUFILEID_AC3 = 8,                 // AC-3
  WUFILEID_AIFF = 9,                // AIFF or AIFF-C
  WUFILEID_WORD_HEADER_AUDIO = 10,  // first word 0xFFFF or 0x0001, listed third byte
  WUFILEID_SND = 11,                // Sun/NeXT audio (".snd" magic)
  WUFILEID_WORD3805_AUDIO = 12,     // first 16-bit word 0x3805
  WUFILEID_VOX = 13,                // VOX ADPCM, by extension ".vox"
  WUFILEID_RIFF_WUA = 14,           // RIFF form "WUA "
  WUFILEID_RAW = 15,                // raw audio, by extension ".raw"
  WUFILEID_TAGGED_AUDIO = 16,       // reserved: nothing produces it
  WUFILEID_RIFF_CSW = 17,           // RIFF form "CSW "
  WUFILEID_MP2 = 18,                // MPEG audio layer II
  WUFILEID_M4A = 19,                // MPEG-4 audio by brand "M4A "
  WUFILEID_MP4_AAC = 20,            // MPEG-4 file with an AAC track and no video
  WUFILEID_FLAC = 21,               // FLAC
  WUFILEID_VOICE_RECORDER = 22,     // reserved: nothing produces it
  WUFILEID_DLS_SF2 = 23,            // RIFF form "DLS " or "sfbk"

  // ---- Video and containers ----------------------------------------------
  WUFILEID_AVI = 4096,
  WUFILEID_MPEG1 = 4097,          // MPEG-1 program or video stream
  WUFILEID_MPEG2 = 4098,          // MPEG-2 program stream, short transport stream, DVD-Video
  WUFILEID_ASF = 4099,            // ASF, any extension
  WUFILEID_ASF_WMV = 4100,        // ASF named ".wmv" or ".asf"
  WUFILEID_ASF_WMA = 4101,        // ASF named ".wma"
  WUFILEID_ASF_DVR = 4102,        // ASF named ".dvr-ms" or ".dvr"
  WUFILEID_TIVO = 4103,
  WUFILEID_REALMEDIA = 4104,      // by extension ".rm" or ".rmvb"
  WUFILEID_QUICKTIME = 4105,
  WUFILEID_SWF = 4106,
  WUFILEID_PAL_NTSC = 4107,       // file beginning "PAL" or "NTC"
  WUFILEID_MXF = 4108,
  WUFILEID_AAF = 4109,
  WUFILEID_MP4_AVC = 4110,        // MPEG-4 file with AVC video
  WUFILEID_MP4 = 4111,            // other MPEG-4 / ISO media file
  WUFILEID_3GPP = 4112,
  WUFILEID_DV = 4113,             // raw DIF stream
  WUFILEID_MPEG_TS = 4114,        // MPEG transport stream
  WUFILEID_AVC_ES = 4115,         // AVC elementary stream, by extension ".avc" or ".bsf"
  WUFILEID_MP4_MPEG2 = 4116,      // MPEG-4 file with MPEG-2 video
  WUFILEID_RED = 4117,            // RED camera file

  // ---- Still images ---------------------------------------------------------
  WUFILEID_JPEG = 8192,
  WUFILEID_PNG = 8193,
  WUFILEID_EXR = 8194,
  WUFILEID_PSD = 8195,
  WUFILEID_GIF = 8196,
  WUFILEID_TIFF = 8197,
  WUFILEID_TGA = 8198,
  WUFILEID_BMP = 8199,
  WUFILEID_DPX = 8200,
  WUFILEID_HDPHOTO = 8201,
};
