#include "fileio/WuFioFormatNames.h"

#include <algorithm>
#include <array>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"

namespace {

// A four-character code from its text, first character in the low byte.
constexpr DWORD Fcc(const char (&s)[5]) {
  return static_cast<DWORD>(static_cast<unsigned char>(s[0])) |
         static_cast<DWORD>(static_cast<unsigned char>(s[1])) << 8 |
         static_cast<DWORD>(static_cast<unsigned char>(s[2])) << 16 |
         static_cast<DWORD>(static_cast<unsigned char>(s[3])) << 24;
}

// The tables are written in any order and sorted by unsigned key when the
// program is compiled, so the binary search below always holds.
template <typename Row, size_t N>
consteval std::array<Row, N> Sorted(std::array<Row, N> rows) {
  std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
  return rows;
}

// The seven tags of one vendor group, which carry no further name.
#define WU_VENDOR_TAG(t) WuFioNameRow{t, u"Audio Codec " #t}

constexpr auto kAudioLong = Sorted(std::array<WuFioNameRow, 19>{{
    {0x0003, u"IEEE Float"},
    {0x0050, u"MPEG Audio"},
    {0x0055, u"MPEG Layer 3"},
    {0x0092, u"Dolby AC3"},
    {0x0161, u"Windows Media Audio 9"},
    {0x0162, u"Windows Media Audio 9 Professional"},
    {0x0163, u"Windows Media Audio Lossless"},
    {0x674F, u"Ogg Vorbis 1"},
    {0x6750, u"Ogg Vorbis 2"},
    {0x6751, u"Ogg Vorbis 3"},
    {0x676F, u"Ogg Vorbis 1+"},
    {0x6770, u"Ogg Vorbis 2+"},
    {0x6771, u"Ogg Vorbis 3+"},
    {0xA106, u"MPEG-4 Advanced Audio Coding"},
    {0xFE00, u"PCM Unpacked"},
    {0xFE01, u"PCM Signed"},
    {0xFE02, u"PCM Big Endian"},
    {0xFE03, u"PCM Right Aligned"},
    WU_VENDOR_TAG(0x1971),
}});

constexpr auto kAudioShort = Sorted(std::array<WuFioNameRow, 48>{{
    {0x0001, u"PCM"},          {0x0002, u"ADPCM"},         {0x0003, u"Float"},
    {0x0006, u"ALaw"},         {0x0007, u"uLaw"},          {0x000A, u"WMA Voice"},
    {0x000B, u"RT Voice"},     {0x0022, u"TrueSpeech"},    {0x0050, u"MPEG"},
    {0x0055, u"MP3"},          {0x0062, u"Voxware"},       {0x0092, u"AC3"},
    {0x0160, u"MS Audio"},     {0x0161, u"WMA"},           {0x0162, u"WMA Pro"},
    {0x0163, u"WMA Lossless"}, {0x0164, u"WMA SPDIF"},     {0x0200, u"ADPCM"},
    {0x0216, u"DV"},           {0x0401, u"IMC"},           {0x0500, u"On2 VP7"},
    {0x0501, u"On2 VP6"},      {0x2000, u"AC3"},           {0x2001, u"Dolby DTS"},
    {0x2002, u"RealAudio"},    {0x2004, u"RealAudio G2"},  {0x2005, u"RealAudio Music"},
    {0x2006, u"RealAudio 10"}, {0x2007, u"RealAudio 10"},  {0x3313, u"AVIS"},
    {0x6771, u"Ogg"},          {0xA106, u"AAC"},           {0xAAC0, u"LC-AAC"},
    {0xAAC1, u"HE-AAC"},       {0xAAC2, u"HE-AAC V2"},     {0xF1AC, u"FLAC"},
    {0xFE00, u"PCM"},          {0xFE01, u"PCM"},           {0xFE02, u"PCM"},
    {0xFE03, u"PCM"},          {0xFFCA, u"DV"},
    WU_VENDOR_TAG(0x0270),     WU_VENDOR_TAG(0x0271),      WU_VENDOR_TAG(0x0272),
    WU_VENDOR_TAG(0x0273),     WU_VENDOR_TAG(0x0274),      WU_VENDOR_TAG(0x0275),
    WU_VENDOR_TAG(0x1971),
}});

#undef WU_VENDOR_TAG

constexpr auto kAudioCanonical = Sorted(std::array<WuFioAliasRow, 16>{{
    {0x0014, 0x0002}, {0x0017, 0x0002}, {0x0040, 0x0002}, {0x00D8, 0xFFCA},
    {0x00FF, 0xA106}, {0x0180, 0xA106}, {0x4143, 0xA106}, {0x706D, 0xA106},
    {0x0215, 0x0216}, {0x2003, 0x2002}, {0x674F, 0x6771}, {0x6750, 0x6771},
    {0x6751, 0x6771}, {0x676F, 0x6771}, {0x6770, 0x6771}, {0x6771, 0x6771},
}});

constexpr auto kVideoAliases = Sorted(std::array<WuFioAliasRow, 21>{{
    {Fcc("Y8  "), Fcc("GREY")}, {Fcc("Y800"), Fcc("GREY")}, {Fcc("DIB "), 0},
    {Fcc("None"), 0},           {Fcc(".raw"), 0},           {Fcc("RLE "), 2},
    {Fcc("RLE4"), 2},           {Fcc("RLE8"), 1},           {Fcc("JPEG"), 4},
    {Fcc("jpeg"), 4},           {Fcc("YV12"), Fcc("I420")}, {Fcc("IYUV"), Fcc("I420")},
    {Fcc("MP42"), Fcc("MPG4")}, {Fcc("mp42"), Fcc("MPG4")}, {Fcc("MP43"), Fcc("MPG4")},
    {Fcc("mp43"), Fcc("MPG4")}, {Fcc("YUY2"), Fcc("YUYV")}, {Fcc("cfhd"), Fcc("CFHD")},
    {Fcc("mrle"), Fcc("MRLE")}, {Fcc("mpeg"), Fcc("MPEG")}, {Fcc("divx"), Fcc("DIVX")},
}});

constexpr auto kVideoLong = Sorted(std::array<WuFioNameRow, 12>{{
    {0, u"RGB (Uncompressed)"},
    {3, u"RGB (Uncompressed)"},
    {Fcc("SVQ1"), u"Sorenson Video 1"},
    {Fcc("WMV1"), u"Windows Media Video 7"},
    {Fcc("WMV2"), u"Windows Media Video 8.1"},
    {Fcc("SVQ3"), u"Sorenson Video 3"},
    {Fcc("WMV3"), u"Windows Media Video 9"},
    {Fcc("WMVA"), u"Windows Media Video 9 Advanced"},
    {Fcc("MJ2C"), u"Motion JPEG 2000"},
    {Fcc("MSVC"), u"Microsoft Video 1"},
    {Fcc("wdvn"), u"NTSC DV Widescreen"},
    {Fcc("wdvp"), u"PAL DV Widescreen"},
}});

constexpr auto kVideoShort = Sorted(std::array<WuFioNameRow, 62>{{
    {0, u"RGB"},
    {1, u"RLE (8 bit)"},
    {2, u"RLE (4 bit)"},
    {3, u"RGB"},
    {4, u"JPEG"},
    {5, u"PNG"},
    {Fcc("v210"), u"YUV (10 bit)"},
    {Fcc("I420"), u"YUV"},
    {Fcc("rv20"), u"RealVideo G2"},
    {Fcc("rv30"), u"RealVideo 8"},
    {Fcc("IV40"), u"Indeo 5.0"},
    {Fcc("RV40"), u"RealVideo 10"},
    {Fcc("DX50"), u"DivX 5"},
    {Fcc("M101"), u"Matrox SD"},
    {Fcc("IR21"), u"Indeo 2.1"},
    {Fcc("M261"), u"MS H.261"},
    {Fcc("MPG1"), u"MPEG 1"},
    {Fcc("SVQ1"), u"Sorenson V1"},
    {Fcc("VCR1"), u"ATI Video 1"},
    {Fcc("3IV1"), u"3ivx"},
    {Fcc("WMV1"), u"WMV 7"},
    {Fcc("dmb1"), u"Motion JPEG"},
    {Fcc("M102"), u"Matrox HD"},
    {Fcc("h422"), u"MPEG HD422"},
    {Fcc("IV32"), u"Indeo 3.2"},
    {Fcc("MPG2"), u"MPEG 2"},
    {Fcc("VCR2"), u"ATI Video 2"},
    {Fcc("3IV2"), u"3ivx"},
    {Fcc("WMV2"), u"WMV 8.1"},
    {Fcc("M103"), u"Matrox Alpha SD"},
    {Fcc("M263"), u"MS H.263"},
    {Fcc("SVQ3"), u"Sorenson V3"},
    {Fcc("WMV3"), u"WMV"},
    {Fcc("imx3"), u"MPEG IMX"},
    {Fcc("M104"), u"Matrox Alpha HD"},
    {Fcc("MPG4"), u"MPEG 4"},
    {Fcc("imx4"), u"MPEG IMX"},
    {Fcc("imx5"), u"MPEG IMX"},
    {Fcc("YVU9"), u"ATI YUV"},
    {Fcc("WMVA"), u"WMV Advanced"},
    {Fcc("Y41B"), u"YUV"},
    {Fcc("MJ2C"), u"MJPEG 2000"},
    {Fcc("MSVC"), u"MS Video 1"},
    {Fcc("CFHD"), u"CineForm HDV"},
    {Fcc("XVID"), u"Xvid"},
    {Fcc("MRLE"), u"MS RLE"},
    {Fcc("MPEG"), u"MPEG"},
    {Fcc("MJPG"), u"Motion JPEG"},
    {Fcc("HFYU"), u"Huffman YUV"},
    {Fcc("YUYV"), u"YUV"},
    {Fcc("DIVX"), u"DivX"},
    {Fcc("GREY"), u"Greyscale"},
    {Fcc("VYUY"), u"ATI YUV"},
    {Fcc("UYVY"), u"YUV"},
    {Fcc("imx_"), u"MPEG IMX"},
    {Fcc("dvsd"), u"DV"},
    {Fcc("hmxf"), u"MPEG HD"},
    {Fcc("_dvn"), u"NTSC DV"},
    {Fcc("wdvn"), u"NTSC DV Wide"},
    {Fcc("_dvp"), u"PAL DV"},
    {Fcc("wdvp"), u"PAL DV Wide"},
    {Fcc("m2ts"), u"MPEG 2"},
}});

const WCHAR* const kBiNames[6] = {u"BI_RGB", u"BI_RLE8", u"BI_RLE4",
                                  u"BI_BITFIELDS", u"BI_JPEG", u"BI_PNG"};

// Binary search over rows sorted by unsigned key: index or -1.
template <typename Row>
long Search(const Row* rows, size_t count, DWORD key) {
  long low = 0;
  long high = static_cast<long>(count) - 1;
  while (low <= high) {
    const long mid = (low + high) / 2;
    if (rows[mid].key == key) return mid;
    if (rows[mid].key < key)
      low = mid + 1;
    else
      high = mid - 1;
  }
  return -1;
}

// Writes `name`, or `text` wrapped as "'%s' Compression" when `wrap`.
void WriteName(const WCHAR* text, bool wrap, LPWSTR out, int size) {
  if (!wrap) {
    WuStrCpyNLen2(out, text, size);
    return;
  }
  WCHAR wrapped[64];
  WuPrintFN(wrapped, 32, WuLangText(WuLangRow_FioCompressionUnknown),
            text);
  WuStrCpyNLen2(out, wrapped, size);
}

}  // namespace

const WuFioNameTable WuFio_AudioLongNames = {kAudioLong.data(), kAudioLong.size()};
const WuFioNameTable WuFio_AudioShortNames = {kAudioShort.data(), kAudioShort.size()};
const WuFioAliasTable WuFio_AudioCanonicalTags = {kAudioCanonical.data(), kAudioCanonical.size()};
const WuFioAliasTable WuFio_VideoAliases = {kVideoAliases.data(), kVideoAliases.size()};
const WuFioNameTable WuFio_VideoLongNames = {kVideoLong.data(), kVideoLong.size()};
const WuFioNameTable WuFio_VideoShortNames = {kVideoShort.data(), kVideoShort.size()};

const WCHAR* WuFio_FindName(const WuFioNameTable& table, DWORD key) {
  const long i = Search(table.rows, table.count, key);
  return i < 0 ? nullptr : table.rows[i].text;
}

bool WuFio_FindAlias(const WuFioAliasTable& table, DWORD key, DWORD* value) {
  const long i = Search(table.rows, table.count, key);
  if (i < 0) return false;
  if (value) *value = table.rows[i].value;
  return true;
}

LPWSTR WuVideo_FOURCCtoPrintStringW(DWORD code, LPWSTR out, int size) {
  if (!out || size <= 0) return out;
  // Code 0 has no characters; stopping here also ends the shift below.
  while (code != 0 && (code & 0xFF) == 0) code >>= 8;
  const int limit = std::min(size - 1, 4);
  int n = 0;
  while (n < limit && code != 0) {
    const DWORD c = code & 0xFF;
    if (c == 0) break;
    out[n++] = c < 32 ? u'?' : static_cast<WCHAR>(c);
    code >>= 8;
  }
  out[n] = 0;
  return out;
}

LPWSTR WuVideo_FOURCCtoPrintString(DWORD code, LPWSTR out, int size) {
  return WuVideo_FOURCCtoPrintStringW(code, out, size);
}

LPWSTR WuVideo_DebugPrintBiCompression(DWORD code, LPWSTR out, int size, BOOL decorate) {
  if (!out || size <= 0) return out;
  if (code <= 6) {
    WuStrCpyNLen2(out, code < 6 ? kBiNames[code] : u"", size);
    return out;
  }
  if (decorate && size > 12) {
    WCHAR chars[5];
    WuVideo_FOURCCtoPrintStringW(code, chars, 5);
    WuPrintFN(out, size, u"FCC('%s')", chars);
    return out;
  }
  return WuVideo_FOURCCtoPrintStringW(code, out, size);
}

DWORD WuVideo_ConvertToCanonicalCompressionFormat(DWORD code) {
  DWORD value = code;
  WuFio_FindAlias(WuFio_VideoAliases, code, &value);
  return value;
}

DWORD WuAudio_ConvertToCanonicalWaveFormatTag(DWORD tag) {
  DWORD value = tag;
  WuFio_FindAlias(WuFio_AudioCanonicalTags, tag, &value);
  return value;
}

int WuVideo_GetCompressionTypeName(DWORD code, LPWSTR out, int size, BOOL shortName) {
  if (!out || size <= 0) return 0;
  const WCHAR* name = shortName ? nullptr : WuFio_FindName(WuFio_VideoLongNames, code);
  if (!name) name = WuFio_FindName(WuFio_VideoShortNames, code);
  if (!name)
    name = WuFio_FindName(WuFio_VideoShortNames, WuVideo_ConvertToCanonicalCompressionFormat(code));
  if (name) {
    WuStrCpyNLen2(out, name, size);
    return 0;
  }
  WCHAR chars[5];
  WuVideo_FOURCCtoPrintStringW(code, chars, 5);
  WriteName(chars, !shortName, out, size);
  return 0;
}

int WuAudio_GetCompressionTypeName(DWORD tag, LPWSTR out, int size, BOOL shortName) {
  if (!out || size <= 0) return 1;
  const WCHAR* name = shortName ? nullptr : WuFio_FindName(WuFio_AudioLongNames, tag);
  if (!name) name = WuFio_FindName(WuFio_AudioShortNames, tag);
  if (!name) name = WuFio_FindName(WuFio_AudioShortNames, WuAudio_ConvertToCanonicalWaveFormatTag(tag));
  if (name) {
    WuStrCpyNLen2(out, name, size);
    return 0;
  }
  WCHAR hex[16];
  WuPrintFN(hex, 16, u"0x%04X", static_cast<unsigned>(tag));
  WriteName(hex, !shortName, out, size);
  return 1;
}
