// Code-page detection of 8-bit text, and the lead and trail bytes of the
// multi-byte code pages.
//
// The detector answers as the platform's multi-language object does: a list
// of candidate code pages, best first, each with a confidence from 0 to
// 100. It knows
//   20127  US-ASCII: every byte below 0x80 (confidence 100);
//   65001  UTF-8: valid sequences, at least one of them multi-byte (100);
//   932    Shift-JIS, 936 GBK, 949 EUC-KR (unified Hangul code), 950 Big5:
//          text that is valid in the code page, rated by how much of it
//          falls in the ranges of common characters and among the most
//          frequent characters of its language (100 only for a clear
//          winner over at least 16 characters);
//   1252   Western European: always present, as the fall-back (confidence
//          50 when nothing else fits, else 10).
#pragma once

#include "platform/kernel/types.h"

// Detection flags (the platform's values; only the 8-bit case is modelled,
// the others are accepted).
constexpr DWORD MLDETECTCP_NONE = 0;
constexpr DWORD MLDETECTCP_7BIT = 1;
constexpr DWORD MLDETECTCP_8BIT = 2;
constexpr DWORD MLDETECTCP_DBCS = 4;
constexpr DWORD MLDETECTCP_HTML = 8;

// One candidate.
struct DetectEncodingInfo {
  UINT nLangID;      // language of the candidate (a LANGID), 0 when none applies
  UINT nCodePage;    // the code page
  INT nDocPercent;   // share of the text that the code page explains, 0..100
  INT nConfidence;   // 0..100
};

namespace platform {

// Detects the code page of `count` bytes. `*count_inout` is the number of
// records `out` holds on entry and the number written on return, best
// first. S_OK with at least one candidate; S_FALSE with none for an empty
// text; E_INVALIDARG for a negative count, NULL bytes with a count, or a
// missing output.
HRESULT DetectInputCodepage(const char* bytes, int count, DWORD flags, DetectEncodingInfo* out,
                            int* count_inout);

// Lead and trail bytes of 932, 936, 949, 950 and 65001; FALSE for every
// byte of a single-byte code page.
bool IsMultiByteLeadByte(UINT code_page, BYTE b);
bool IsMultiByteTrailByte(UINT code_page, BYTE b);

// The process's multi-byte code page: the ANSI code page when it is a
// multi-byte one, else 0.
UINT MultiByteCodePage();

}  // namespace platform
