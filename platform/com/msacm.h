// Audio compression manager queries: the names of format tags and of
// formats that the installed codecs know.
//
// This stand-in has no codecs: every query about a tag or a format fails
// as it does for one that no codec knows (ACMERR_NOTPOSSIBLE), and leaves
// the caller's texts as they were. Bad arguments fail first, as the
// platform checks them.
#pragma once

#include "platform/com/mmreg.h"
#include "platform/kernel/types.h"

using MMRESULT = UINT;
using HACMDRIVER = HANDLE;

// Results.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;   // a driver handle that is not open
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;    // an unknown query kind
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;   // a null or undersized record
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;   // no codec knows the tag or format

// Query kinds.
constexpr DWORD ACM_FORMATTAGDETAILSF_INDEX = 0x0;       // by dwFormatTagIndex
constexpr DWORD ACM_FORMATTAGDETAILSF_FORMATTAG = 0x1;   // by dwFormatTag
constexpr DWORD ACM_FORMATTAGDETAILSF_LARGESTSIZE = 0x2; // largest format of dwFormatTag
constexpr DWORD ACM_FORMATDETAILSF_INDEX = 0x0;          // by dwFormatTag and dwFormatIndex
constexpr DWORD ACM_FORMATDETAILSF_FORMAT = 0x1;         // by the format at pwfx

// Characters of the name fields.
constexpr int ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;
constexpr int ACMFORMATDETAILS_FORMAT_CHARS = 128;

// A format tag as the codecs describe it.
struct ACMFORMATTAGDETAILSW {
  DWORD cbStruct;           // sizeof(ACMFORMATTAGDETAILSW), set by the caller
  DWORD dwFormatTagIndex;   // the tag's index (ACM_FORMATTAGDETAILSF_INDEX)
  DWORD dwFormatTag;        // the tag (ACM_FORMATTAGDETAILSF_FORMATTAG)
  DWORD cbFormatSize;       // largest format record of the tag, in bytes
  DWORD fdwSupport;         // what the codec does with the tag
  DWORD cStandardFormats;   // formats of the tag the codec lists
  WCHAR szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];  // the tag's name
};

// One format as the codecs describe it.
struct ACMFORMATDETAILSW {
  DWORD cbStruct;           // sizeof(ACMFORMATDETAILSW), set by the caller
  DWORD dwFormatIndex;      // the format's index (ACM_FORMATDETAILSF_INDEX)
  DWORD dwFormatTag;        // the format's tag
  DWORD fdwSupport;         // what the codec does with the format
  WAVEFORMATEX* pwfx;       // the format (ACM_FORMATDETAILSF_FORMAT)
  DWORD cbwfx;              // bytes at pwfx: 16 for PCM and float, else 18 + cbSize
  WCHAR szFormat[ACMFORMATDETAILS_FORMAT_CHARS];  // the format's name
};

// Describes a format tag. A driver handle must be null (all codecs). Fails
// with MMSYSERR_INVALPARAM for a null record or a cbStruct below the
// record, MMSYSERR_INVALFLAG for an unknown kind, MMSYSERR_INVALHANDLE for a
// driver handle, else ACMERR_NOTPOSSIBLE: no codec is installed.
MMRESULT acmFormatTagDetailsW(HACMDRIVER driver, ACMFORMATTAGDETAILSW* details, DWORD flags);
// Describes a format, with the same checks; by format, pwfx must be set and
// cbwfx at least 16 (MMSYSERR_INVALPARAM). Otherwise ACMERR_NOTPOSSIBLE.
MMRESULT acmFormatDetailsW(HACMDRIVER driver, ACMFORMATDETAILSW* details, DWORD flags);
