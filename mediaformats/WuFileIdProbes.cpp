// The 52 probes of quick identification and their table. Each probe checks
// the length it needs before it reads; none allocates.
#include "mediaformats/WuFileIdProbes.h"

#include <cstring>
#include <initializer_list>

#include "mediaformats/RiffBytes.h"
#include "mediaformats/WuBigEndian.h"

namespace fileid {

// ---- Helpers ------------------------------------------------------------------

bool ExtensionIs(const WCHAR* extension, const char* wanted) {
  if (extension == nullptr) return false;
  size_t i = 0;
  for (; wanted[i] != '\0'; ++i) {
    WCHAR c = extension[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + u'a');
    if (c != static_cast<WCHAR>(wanted[i])) return false;
  }
  return extension[i] == 0;
}

DWORD WordBitReader::Read(int count) {
  DWORD value = 0;
  for (int i = 0; i < count; ++i, ++cursor_) {
    DWORD bit = 0;
    if (cursor_ < bits_) {
      size_t word = cursor_ / 16;
      unsigned stored = data_[2 * word] | data_[2 * word + 1] << 8;
      bit = stored >> (15 - cursor_ % 16) & 1;
    }
    value = value << 1 | bit;
  }
  return value;
}

DWORD ByteBitReader::Read(int count) {
  // A byte's worth of bits at a time.
  DWORD value = 0;
  while (count > 0) {
    if (cursor_ >= bits_) {
      value <<= count;
      cursor_ += count;
      break;
    }
    const int room = 8 - static_cast<int>(cursor_ % 8);
    const int take = room < count ? room : count;
    const DWORD bits = data_[cursor_ / 8] >> (room - take) & ((1u << take) - 1);
    value = value << take | bits;
    cursor_ += take;
    count -= take;
  }
  return value;
}

MpegAudioHeader UnpackMpegAudioHeader(const BYTE* four_bytes) {
  ByteBitReader bits(four_bytes, 4);
  MpegAudioHeader h;
  h.sync = bits.Read(11);
  h.version = bits.Read(2);
  h.layer = bits.Read(2);
  h.protection = bits.Read(1);
  h.bitrate = bits.Read(4);
  h.sample_rate = bits.Read(2);
  h.padding = bits.Read(1);
  h.private_bit = bits.Read(1);
  h.mode = bits.Read(2);
  h.mode_ext = bits.Read(2);
  h.copyright = bits.Read(1);
  h.original = bits.Read(1);
  h.emphasis = bits.Read(2);
  return h;
}

bool IsValidMpegAudioHeader(const MpegAudioHeader& h, DWORD layer) {
  return h.sync == 0x7FF && h.layer == layer && h.version != 1 && h.bitrate >= 1 &&
         h.bitrate <= 14 && h.sample_rate != 3;
}

int BoundedCompare(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

void SwapBytes16(BYTE* words, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    BYTE t = words[2 * i];
    words[2 * i] = words[2 * i + 1];
    words[2 * i + 1] = t;
  }
}

void SwapBytes32(BYTE* words, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    BYTE* w = words + 4 * i;
    BYTE t0 = w[0], t1 = w[1];
    w[0] = w[3];
    w[1] = w[2];
    w[2] = t1;
    w[3] = t0;
  }
}

namespace {

// ---- Byte access (callers check the length first) ------------------------------

// TRUE when the text `tag` (no NUL inside) stands at `offset`; the caller
// has checked that its bytes lie inside the data.
bool TagAt(const BYTE* data, size_t offset, const char* tag) {
  size_t len = std::strlen(tag);
  return BoundedCompare(reinterpret_cast<const char*>(data + offset), tag, len) == 0;
}
// TRUE when the bytes at `offset` equal `bytes`.
bool BytesAt(const BYTE* data, size_t offset, const BYTE* bytes, size_t count) {
  return std::memcmp(data + offset, bytes, count) == 0;
}
using riffbytes::Get16;
using riffbytes::Get32;
using riffbytes::Get64;
// The 28-bit size of an ID3v2 tag: four bytes of 7 bits each.
DWORD Synchsafe(const BYTE* p) {
  return (p[0] & 0x7Fu) << 21 | (p[1] & 0x7Fu) << 14 | (p[2] & 0x7Fu) << 7 | (p[3] & 0x7Fu);
}

// ---- Probes, in table order ---------------------------------------------------

// Row 0: AC-3, its sync word in either byte order, maybe after a prefix.
BOOL ProbeAc3(const BYTE* data, DWORD n, const WCHAR* ext) {
  if (ext != nullptr && !ExtensionIs(ext, ".ac3")) return FALSE;
  if (n == 0) return FALSE;
  size_t offset = 0;
  bool swap = true;
  BYTE first = data[0];
  if (first > 0x3F && first != 0x77) return FALSE;
  if (first == 0x00) {
    if (n < 16) return FALSE;
    offset = 16;
  } else if (first == 0x0B) {
    offset = 0;
  } else if (first == 0x77) {
    swap = false;
  } else {
    // A prefix whose length is byte 1.
    if (n < 16) return FALSE;
    offset = 16;
    if (data[1] > 16) offset = data[1];
  }
  if (offset > n || n - offset < 40) return FALSE;
  BYTE frame[40];
  std::memcpy(frame, data + offset, sizeof frame);
  if (swap) SwapBytes16(frame, 10);
  WordBitReader bits(frame, sizeof frame);
  if (bits.Read(16) != 0x0B77) return FALSE;
  bits.Read(16);  // CRC
  DWORD sample_rate_code = bits.Read(2);
  DWORD frame_size_code = bits.Read(6);
  return sample_rate_code <= 2 && frame_size_code < 38;
}

// Row 1: QuickTime atoms at the start of the file.
BOOL ProbeQuickTime(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 16) return FALSE;
  if (TagAt(data, 4, "wide") || TagAt(data, 4, "mdat")) return TRUE;
  if (TagAt(data, 4, "ftyp")) return TagAt(data, 8, "isom") || TagAt(data, 8, "qt  ");
  if (TagAt(data, 4, "free")) {
    static const BYTE kZero[4] = {};
    return TagAt(data, 12, "mvhd") || TagAt(data, 12, "cmov") || BytesAt(data, 12, kZero, 4);
  }
  if (TagAt(data, 4, "moov")) return TagAt(data, 12, "mvhd") || TagAt(data, 12, "cmov");
  if (TagAt(data, 4, "pnot")) return n < 14 || (data[12] == 0 && data[13] == 0);
  if (TagAt(data, 4, "skip")) {
    ULONGLONG s = bigendian::Get32(data);
    if (s + 8 > n) return TRUE;
    for (const char* next : {"mdat", "wide", "free", "skip", "pnot", "moov"})
      if (TagAt(data, s + 4, next)) return TRUE;
  }
  return FALSE;
}

// Row 2: GIF.
BOOL ProbeGif(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 6 && (TagAt(data, 0, "GIF87a") || TagAt(data, 0, "GIF89a"));
}

// Row 3: TIFF, either byte order.
BOOL ProbeTiff(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kIntel[4] = {'I', 'I', 0x2A, 0x00};
  static const BYTE kMotorola[4] = {'M', 'M', 0x00, 0x2A};
  return n >= 4 && (BytesAt(data, 0, kIntel, 4) || BytesAt(data, 0, kMotorola, 4));
}

// Row 4: HD Photo.
BOOL ProbeHdPhoto(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kMagic[4] = {0x49, 0x49, 0xBC, 0x01};
  return n >= 4 && BytesAt(data, 0, kMagic, 4);
}

// Row 5: Targa, from its image type, depth and non-zero size.
BOOL ProbeTarga(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 18) return FALSE;
  BYTE depth;
  switch (data[2]) {
    case 1:
    case 9:
      if (data[1] != 1) return FALSE;
      depth = data[7];
      break;
    case 2:
    case 3:
    case 10:
    case 11:
      depth = data[16];
      break;
    default:
      return FALSE;
  }
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return FALSE;
  return data[12] != 0 && data[14] != 0;
}

// Row 6: AIFF and AIFF-C.
BOOL ProbeAiff(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 12 && TagAt(data, 0, "FORM") && (TagAt(data, 8, "AIFF") || TagAt(data, 8, "AIFC"));
}

// Row 7: AVI larger than 2,048 bytes.
BOOL ProbeAvi(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 12 && TagAt(data, 0, "RIFF") && TagAt(data, 8, "AVI ") && Get32(data + 4) > 2048;
}

// Row 8: DV, the DIF block headers of the first sequence.
BOOL ProbeDv(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 563) return FALSE;
  if (data[0] != 0x1F || data[1] != 0x07 || data[2] != 0x00) return FALSE;
  if (data[3] != 0x3F && data[3] != 0xBF) return FALSE;
  // Each later block: its offset, the high nibble (or whole byte) of its
  // first byte, and its third byte.
  struct Block {
    size_t offset;
    BYTE first, mask, third;
  };
  static const Block kBlocks[] = {
      {80, 0x3F, 0xFF, 0x00},  {160, 0x3F, 0xFF, 0x01}, {240, 0x50, 0xF0, 0x00},
      {320, 0x50, 0xF0, 0x01}, {400, 0x50, 0xF0, 0x02}, {480, 0x70, 0xF0, 0x00},
      {560, 0x90, 0xF0, 0x00},
  };
  for (const Block& b : kBlocks) {
    const BYTE* p = data + b.offset;
    if ((p[0] & b.mask) != b.first || p[1] != 0x07 || p[2] != b.third) return FALSE;
  }
  return TRUE;
}

// The size of a leading "ftyp" box cut to the data, or 0 when the data does
// not begin with one of at least 12 bytes.
DWORD FtypBoxEnd(const BYTE* data, DWORD n) {
  if (n <= 12 || !TagAt(data, 4, "ftyp")) return 0;
  DWORD size = bigendian::Get32(data);
  if (size > n) size = n;
  return size >= 12 ? size : 0;
}

// Row 9: MPEG-4 audio by brand.
BOOL ProbeM4aBrand(const BYTE* data, DWORD n, const WCHAR*) {
  DWORD end = FtypBoxEnd(data, n);
  for (DWORD i = 8; end != 0 && i + 4 <= end; i += 4) {
    if (TagAt(data, i, "M4A ")) return TRUE;
    if (TagAt(data, i, "M4V ") || TagAt(data, i, "M4VH")) return FALSE;
  }
  return FALSE;
}

// Row 10: RED camera file.
BOOL ProbeRed(const BYTE* data, DWORD n, const WCHAR*) { return n >= 8 && TagAt(data, 4, "RED1"); }

// Row 11: DLS and SoundFont 2.
BOOL ProbeDls(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 12 && TagAt(data, 0, "RIFF") && (TagAt(data, 8, "DLS ") || TagAt(data, 8, "sfbk"));
}

// Row 12: MPEG transport stream, 188-byte packets from 0 or 192-byte packets
// from 4, at least three of them.
BOOL ProbeTransportStream(const BYTE* data, DWORD n, const WCHAR*) {
  struct Layout {
    DWORD size, start;
  };
  for (Layout layout : {Layout{188, 0}, Layout{192, 4}}) {
    DWORD packets = n / layout.size;
    if (packets < 3) continue;
    bool all = true;
    for (DWORD k = 0; k < packets && all; ++k) all = data[layout.start + k * layout.size] == 0x47;
    if (all) return TRUE;
  }
  return FALSE;
}

const BYTE kPackStart[4] = {0x00, 0x00, 0x01, 0xBA};
const BYTE kSequenceStart[4] = {0x00, 0x00, 0x01, 0xB3};

// Row 13: MPEG-2 program stream, short transport stream, DVD-Video.
BOOL ProbeMpeg2(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 4) return FALSE;
  if (n >= 5 && BytesAt(data, 0, kPackStart, 4) && (data[4] & 0xC0) == 0x40) return TRUE;
  if (n >= 377 && data[0] == 0x47 && data[188] == 0x47 && data[376] == 0x47) return TRUE;
  if (BytesAt(data, 0, kSequenceStart, 4)) return TRUE;
  return n >= 10 && TagAt(data, 0, "DVDVIDEO-");
}

// Row 14: MPEG-1 program or video stream.
BOOL ProbeMpeg1(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 5) return FALSE;
  return (BytesAt(data, 0, kPackStart, 4) && (data[4] & 0xC0) == 0) ||
         BytesAt(data, 0, kSequenceStart, 4);
}

// Row 15: FLAC, maybe behind an ID3v2 tag.
BOOL ProbeFlac(const BYTE* data, DWORD n, const WCHAR*) {
  if (n >= 4 && TagAt(data, 0, "fLaC")) return TRUE;
  if (n <= 10 || !TagAt(data, 0, "ID3")) return FALSE;
  ULONGLONG tag = Synchsafe(data + 6);
  return n >= tag + 14 && TagAt(data, tag + 10, "fLaC");
}

// The frame scan of rows 50 and 51: the first valid header of `accept`
// layer accepts, one of `refuse` layer (0 for none) ends the scan.
BOOL ScanMpegAudio(const BYTE* data, DWORD n, DWORD accept, DWORD refuse) {
  if (n < 2048) return FALSE;
  for (DWORD i = 0; i + 4 <= n; ++i) {
    // Straight to the next 0xFF that can start a header.
    const void* next = std::memchr(data + i, 0xFF, n - 3 - i);
    if (next == nullptr) break;
    i = static_cast<DWORD>(static_cast<const BYTE*>(next) - data);
    if (data[i + 1] < 0xE0) continue;
    // The fields that make most candidates invalid, read straight from the
    // bytes: layer I or reserved layer, reserved version, bitrate index 0
    // or 15, sample-rate index 3. Only the rest are unpacked.
    const DWORD layer = data[i + 1] >> 1 & 3, version = data[i + 1] >> 3 & 3;
    const DWORD bitrate = data[i + 2] >> 4, sample_rate = data[i + 2] >> 2 & 3;
    if (layer == 0 || layer == 3 || version == 1 || bitrate == 0 || bitrate == 15 || sample_rate == 3)
      continue;
    MpegAudioHeader header = UnpackMpegAudioHeader(data + i);
    if (IsValidMpegAudioHeader(header, accept)) return TRUE;
    if (refuse != 0 && IsValidMpegAudioHeader(header, refuse)) return FALSE;
  }
  return FALSE;
}

constexpr DWORD kLayer3 = 1;
constexpr DWORD kLayer2 = 2;

// Row 50: a layer III frame before any layer II frame.
BOOL ProbeMp3Scan(const BYTE* data, DWORD n, const WCHAR*) {
  return ScanMpegAudio(data, n, kLayer3, kLayer2);
}

// Row 16: MP3 behind an ID3v2 tag, or starting with a frame.
BOOL ProbeMp3Id3(const BYTE* data, DWORD n, const WCHAR* ext) {
  bool tagged = n > 8 && TagAt(data, 0, "ID3") && n >= 14;
  if (tagged) {
    ULONGLONG tag = Synchsafe(data + 6);
    // A tag that fills the buffer hides the frames: accept on the tag.
    if (tag >= n - 10 || n - tag - 10 <= 3) return TRUE;
    if (IsValidMpegAudioHeader(UnpackMpegAudioHeader(data + tag + 10), kLayer3)) return TRUE;
  }
  if (!tagged && !(n >= 2 && data[0] == 0xFF && data[1] == 0xFB)) return FALSE;
  return ProbeMp3Scan(data, n, ext);
}

// Row 17: BMP.
BOOL ProbeBmp(const BYTE* data, DWORD n, const WCHAR*) { return n >= 2 && TagAt(data, 0, "BM"); }

// Row 18: JPEG.
BOOL ProbeJpeg(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// Row 19: DPX (big-endian magic).
BOOL ProbeDpx(const BYTE* data, DWORD n, const WCHAR*) { return n >= 4 && TagAt(data, 0, "SDPX"); }

// Row 20: PNG.
BOOL ProbePng(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  return n >= 8 && BytesAt(data, 0, kSignature, 8);
}

// Row 21: OpenEXR.
BOOL ProbeExr(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kMagic[4] = {0x76, 0x2F, 0x31, 0x01};
  return n >= 4 && BytesAt(data, 0, kMagic, 4);
}

// Row 22: Photoshop document.
BOOL ProbePsd(const BYTE* data, DWORD n, const WCHAR*) { return n >= 26 && TagAt(data, 0, "8BPS"); }

// Row 23: Flash SWF, plain or compressed.
BOOL ProbeSwf(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 9 && (TagAt(data, 0, "FWS") || TagAt(data, 0, "FWC"));
}

// Row 24: "PAL" or "NTC" as 8-bit or UTF-16 characters.
BOOL ProbePalNtsc(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 9) return FALSE;
  for (const char* word : {"PAL", "NTC"}) {
    if (TagAt(data, 0, word)) return TRUE;
    bool wide = true;
    for (int i = 0; i < 3 && wide; ++i)
      wide = data[2 * i] == static_cast<BYTE>(word[i]) && data[2 * i + 1] == 0;
    if (wide) return TRUE;
  }
  return FALSE;
}

// Row 25: RIFF form "WUA ".
BOOL ProbeRiffWua(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 12 && TagAt(data, 0, "RIFF") && TagAt(data, 8, "WUA ");
}

// "fmt " at 12 with format tag 0x1971 (looked at only when n > 24).
bool IsWaveTag1971(const BYTE* data, DWORD n) {
  return n > 24 && TagAt(data, 12, "fmt ") && Get16(data + 20) == 0x1971;
}

// Row 26: WAV with a "scot" chunk at 60.
BOOL ProbeWavScot(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 69 && TagAt(data, 0, "RIFF") && TagAt(data, 8, "WAVE") && !IsWaveTag1971(data, n) &&
         TagAt(data, 60, "scot");
}

// Row 27: WAV whose format tag is 0x1971.
BOOL ProbeWavTag1971(const BYTE* data, DWORD n, const WCHAR*) {
  return n > 24 && TagAt(data, 0, "RIFF") && Get32(data + 4) != 0 && TagAt(data, 8, "WAVE") &&
         IsWaveTag1971(data, n);
}

// Rows 28 and 29: a RIFF form with a non-zero size, not of tag 0x1971.
BOOL IsRiffForm(const BYTE* data, DWORD n, const char* form) {
  return n >= 12 && TagAt(data, 0, "RIFF") && Get32(data + 4) != 0 && TagAt(data, 8, form) &&
         !IsWaveTag1971(data, n);
}
BOOL ProbeWav(const BYTE* data, DWORD n, const WCHAR*) { return IsRiffForm(data, n, "WAVE"); }
BOOL ProbeRiffCsw(const BYTE* data, DWORD n, const WCHAR*) { return IsRiffForm(data, n, "CSW "); }

// Row 30: Wave64, its "riff" and "wave" GUIDs.
BOOL ProbeWave64(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kRiff[16] = {0x72, 0x69, 0x66, 0x66, 0x2E, 0x91, 0xCF, 0x11,
                                 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00};
  static const BYTE kWave[16] = {0x77, 0x61, 0x76, 0x65, 0xF3, 0xAC, 0xD3, 0x11,
                                 0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A};
  return n >= 40 && BytesAt(data, 0, kRiff, 16) && BytesAt(data, 24, kWave, 16);
}

// Row 31: TiVo.
BOOL ProbeTivo(const BYTE* data, DWORD n, const WCHAR*) { return n >= 4 && TagAt(data, 0, "TiVo"); }

// Row 35: the ASF header object with a plausible size.
BOOL ProbeAsf(const BYTE* data, DWORD n, const WCHAR*) {
  static const BYTE kHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  if (n < 30 || !BytesAt(data, 0, kHeader, 16)) return FALSE;
  ULONGLONG size = Get64(data + 16);
  return size >= 1 && size <= 4194303;
}

// Rows 32 to 34: ASF under a named extension.
BOOL ProbeAsfWma(const BYTE* data, DWORD n, const WCHAR* ext) {
  return ExtensionIs(ext, ".wma") && ProbeAsf(data, n, ext);
}
BOOL ProbeAsfWmv(const BYTE* data, DWORD n, const WCHAR* ext) {
  return (ExtensionIs(ext, ".wmv") || ExtensionIs(ext, ".asf")) && ProbeAsf(data, n, ext);
}
BOOL ProbeAsfDvr(const BYTE* data, DWORD n, const WCHAR* ext) {
  return (ExtensionIs(ext, ".dvr-ms") || ExtensionIs(ext, ".dvr")) && ProbeAsf(data, n, ext);
}

// Rows 36 and 37: reserved formats without a defined signature; they
// accept nothing.
BOOL ProbeReserved(const BYTE*, DWORD, const WCHAR*) { return FALSE; }

// Row 38: AAF.
BOOL ProbeAaf(const BYTE* data, DWORD n, const WCHAR*) { return n >= 11 && TagAt(data, 8, "AAF"); }

// Row 39: 3GPP by a compatible brand.
BOOL Probe3gpp(const BYTE* data, DWORD n, const WCHAR*) {
  DWORD end = FtypBoxEnd(data, n);
  if (end == 0 || TagAt(data, 8, "mp42")) return FALSE;
  for (DWORD i = 16; i + 4 <= end; i += 4)
    for (const char* brand : {"3gp4", "3gp5", "3gp6", "3gp7"})
      if (TagAt(data, i, brand)) return TRUE;
  return FALSE;
}

// Extension-only rows 40 and 47 to 49 (content not read).
BOOL ProbeAvcExtension(const BYTE*, DWORD, const WCHAR* ext) {
  return ExtensionIs(ext, ".avc") || ExtensionIs(ext, ".bsf");
}
BOOL ProbeVoxExtension(const BYTE*, DWORD, const WCHAR* ext) { return ExtensionIs(ext, ".vox"); }
BOOL ProbeRawExtension(const BYTE*, DWORD, const WCHAR* ext) { return ExtensionIs(ext, ".raw"); }
BOOL ProbeRealExtension(const BYTE*, DWORD, const WCHAR* ext) {
  return ExtensionIs(ext, ".rm") || ExtensionIs(ext, ".rmvb");
}

// Row 42: MXF, its SMPTE key prefix anywhere in the first 64 KiB.
BOOL ProbeMxf(const BYTE* data, DWORD n, const WCHAR* ext) {
  static const BYTE kKey[11] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02};
  DWORD limit = n < 65536 ? n : 65536;
  for (DWORD i = 0; i + sizeof kKey <= limit; ++i) {
    const void* hit = std::memchr(data + i, kKey[0], limit - sizeof kKey + 1 - i);
    if (hit == nullptr) break;
    i = static_cast<DWORD>(static_cast<const BYTE*>(hit) - data);
    if (BytesAt(data, i, kKey, sizeof kKey)) return TRUE;
  }
  return ExtensionIs(ext, ".mxf");
}

// Row 43: Ogg.
BOOL ProbeOgg(const BYTE* data, DWORD n, const WCHAR*) { return n >= 6 && TagAt(data, 0, "OggS"); }

// Row 44: first word 0xFFFF or 0x0001 and a listed third byte.
BOOL ProbeWordHeader(const BYTE* data, DWORD n, const WCHAR*) {
  if (n < 3) return FALSE;
  DWORD word = Get16(data);
  if (word != 0xFFFF && word != 0x0001) return FALSE;
  for (BYTE b : {5, 12, 13, 14, 16, 17, 18, 19})
    if (data[2] == b) return TRUE;
  return FALSE;
}

// Row 45: Sun/NeXT audio.
BOOL ProbeSnd(const BYTE* data, DWORD n, const WCHAR*) { return n >= 4 && TagAt(data, 0, ".snd"); }

// Row 46: first bytes 0x05 0x38.
BOOL ProbeWord3805(const BYTE* data, DWORD n, const WCHAR*) {
  return n >= 2 && data[0] == 0x05 && data[1] == 0x38;
}

// Row 51: MP2, a layer II frame (layer III frames are passed over).
BOOL ProbeMp2(const BYTE* data, DWORD n, const WCHAR* ext) {
  if (ext != nullptr && !ExtensionIs(ext, ".mp2")) return FALSE;
  return ScanMpegAudio(data, n, kLayer2, 0);
}

const ProbeRow kTable[kProbeRowCount] = {
    {ProbeAc3, WUFILEID_AC3},                       // 0
    {ProbeQuickTime, WUFILEID_QUICKTIME},           // 1
    {ProbeGif, WUFILEID_GIF},                       // 2
    {ProbeTiff, WUFILEID_TIFF},                     // 3
    {ProbeHdPhoto, WUFILEID_HDPHOTO},               // 4
    {ProbeTarga, WUFILEID_TGA},                     // 5
    {ProbeAiff, WUFILEID_AIFF},                     // 6
    {ProbeAvi, WUFILEID_AVI},                       // 7
    {ProbeDv, WUFILEID_DV},                         // 8
    {ProbeM4aBrand, WUFILEID_M4A},                  // 9
    {ProbeRed, WUFILEID_RED},                       // 10
    {ProbeDls, WUFILEID_DLS_SF2},                   // 11
    {ProbeTransportStream, WUFILEID_MPEG_TS},       // 12
    {ProbeMpeg2, WUFILEID_MPEG2},                   // 13
    {ProbeMpeg1, WUFILEID_MPEG1},                   // 14
    {ProbeFlac, WUFILEID_FLAC},                     // 15
    {ProbeMp3Id3, WUFILEID_MP3},                    // 16
    {ProbeBmp, WUFILEID_BMP},                       // 17
    {ProbeJpeg, WUFILEID_JPEG},                     // 18
    {ProbeDpx, WUFILEID_DPX},                       // 19
    {ProbePng, WUFILEID_PNG},                       // 20
    {ProbeExr, WUFILEID_EXR},                       // 21
    {ProbePsd, WUFILEID_PSD},                       // 22
    {ProbeSwf, WUFILEID_SWF},                       // 23
    {ProbePalNtsc, WUFILEID_PAL_NTSC},              // 24
    {ProbeRiffWua, WUFILEID_RIFF_WUA},              // 25
    {ProbeWavScot, WUFILEID_WAV_SCOT},              // 26
    {ProbeWavTag1971, WUFILEID_WAV_TAG1971},        // 27
    {ProbeWav, WUFILEID_WAV},                       // 28
    {ProbeRiffCsw, WUFILEID_RIFF_CSW},              // 29
    {ProbeWave64, WUFILEID_WAVE64},                 // 30
    {ProbeTivo, WUFILEID_TIVO},                     // 31
    {ProbeAsfWma, WUFILEID_ASF_WMA},                // 32
    {ProbeAsfWmv, WUFILEID_ASF_WMV},                // 33
    {ProbeAsfDvr, WUFILEID_ASF_DVR},                // 34
    {ProbeAsf, WUFILEID_ASF},                       // 35
    {ProbeReserved, WUFILEID_TAGGED_AUDIO},         // 36
    {ProbeReserved, WUFILEID_VOICE_RECORDER},       // 37
    {ProbeAaf, WUFILEID_AAF},                       // 38
    {Probe3gpp, WUFILEID_3GPP},                     // 39
    {ProbeAvcExtension, WUFILEID_AVC_ES},           // 40
    {nullptr, WUFILEID_MP4},                        // 41: the MPEG-4 classifier
    {ProbeMxf, WUFILEID_MXF},                       // 42
    {ProbeOgg, WUFILEID_OGG},                       // 43
    {ProbeWordHeader, WUFILEID_WORD_HEADER_AUDIO},  // 44
    {ProbeSnd, WUFILEID_SND},                       // 45
    {ProbeWord3805, WUFILEID_WORD3805_AUDIO},       // 46
    {ProbeVoxExtension, WUFILEID_VOX},              // 47
    {ProbeRawExtension, WUFILEID_RAW},              // 48
    {ProbeRealExtension, WUFILEID_REALMEDIA},       // 49
    {ProbeMp3Scan, WUFILEID_MP3},                   // 50
    {ProbeMp2, WUFILEID_MP2},                       // 51
};

}  // namespace

const ProbeRow* ProbeTable() { return kTable; }

}  // namespace fileid
