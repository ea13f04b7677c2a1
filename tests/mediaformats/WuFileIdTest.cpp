// Quick identification over synthetic buffers: one accepting case per probe
// with a near miss beside it, the table's order, the flag filters, the
// sources and the errors.
#include "mediaformats/WuFileId.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/WuErrorHandler.h"
#include "mediaformats/Riff64.h"
#include "platform/kernel/handles.h"
#include "tests/mediaformats/RiffTestUtil.h"

namespace {

using rifftest::Bytes;
using rifftest::TempFile;

// The code for `bytes` through the buffer form, or, with a name, through a
// file of that name opened by name.
DWORD Identify(const std::string& bytes, const char* name = nullptr, DWORD flags = 0) {
  WUFILEID_IDENTIFIED_TYPE type = WUFILEID_NOT_EXAMINED;
  if (name == nullptr) {
    WuIsQuicklyIdentifiableMediaFileFormat(reinterpret_cast<const BYTE*>(bytes.data()),
                                           static_cast<DWORD>(bytes.size()), flags, &type);
  } else {
    std::string path = wutest::MakeTempDir("fileid") + "/" + name;
    wutest::WriteBytes(path, bytes);
    WuIsQuicklyIdentifiableMediaFileFormat(wutest::U16(path).c_str(), flags, &type);
  }
  return type;
}

std::string Pad(std::string s, size_t size) {
  if (s.size() < size) s.resize(size, '\0');
  return s;
}

std::string Be32(uint32_t v) {
  std::string s;
  for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}

// A box: big-endian size, type, body.
std::string Box(const char* type, const std::string& body) {
  return Be32(static_cast<uint32_t>(8 + body.size())) + type + body;
}
std::string Ftyp(const char* major, std::vector<const char*> compatible) {
  std::string body = std::string(major) + Be32(0);
  for (const char* brand : compatible) body += brand;
  return Box("ftyp", body);
}

std::string Ac3(unsigned char first, unsigned char second, unsigned char code_byte) {
  std::string s;
  s.push_back(static_cast<char>(first));
  s.push_back(static_cast<char>(second));
  s += std::string("\x12\x34", 2);
  // The byte after the CRC holds the sample-rate code (2 bits) and the
  // frame-size code (6 bits); byte-swapped words put it at 5.
  if (first == 0x0B) s += std::string(1, static_cast<char>(code_byte)) + std::string(1, '\x40');
  else s += std::string(1, '\x40') + std::string(1, static_cast<char>(code_byte));
  return Pad(s, 64);
}

std::string DvSequence(unsigned char video_block) {
  std::string s(600, '\0');
  auto put = [&](size_t at, unsigned char a, unsigned char b, unsigned char c) {
    s[at] = static_cast<char>(a), s[at + 1] = static_cast<char>(b), s[at + 2] = static_cast<char>(c);
  };
  put(0, 0x1F, 0x07, 0x00);
  s[3] = '\x3F';
  put(80, 0x3F, 0x07, 0x00);
  put(160, 0x3F, 0x07, 0x01);
  put(240, 0x56, 0x07, 0x00);
  put(320, 0x56, 0x07, 0x01);
  put(400, 0x56, 0x07, 0x02);
  put(480, 0x76, 0x07, 0x00);
  put(560, video_block, 0x07, 0x00);
  return s;
}

std::string TransportStream(size_t size, size_t packet, size_t start) {
  std::string s(size, '\0');
  for (size_t at = start; at < size; at += packet) s[at] = 0x47;
  return s;
}

std::string Id3(uint32_t tag_size, const std::string& after, size_t total) {
  std::string s = "ID3";
  s += std::string("\x04\x00\x00", 3);
  for (int shift = 21; shift >= 0; shift -= 7) s.push_back(static_cast<char>(tag_size >> shift & 0x7F));
  s += std::string(tag_size, '\0');
  s += after;
  return Pad(s, total);
}

const std::string kLayer3Frame("\xFF\xFB\x90\x00", 4);
const std::string kLayer2Frame("\xFF\xFD\x90\x00", 4);

std::string At(size_t offset, const std::string& what, size_t total) {
  std::string s(total, '\0');
  s.replace(offset, what.size(), what);
  return s;
}

std::string Wav(uint32_t riff_size = 36, uint16_t tag = 1) {
  return Pad(Bytes().Id("RIFF").U32(riff_size).Id("WAVE").Id("fmt ").U32(16).U16(tag).U16(2).s, 44);
}

const unsigned char kAsfHeader[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                      0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
std::string Asf(uint64_t size) {
  return Pad(Bytes().Raw(std::string(reinterpret_cast<const char*>(kAsfHeader), 16)).U64(size).s, 64);
}

std::string Wave64(bool good_wave) {
  Bytes b;
  b.Guid(kRiff64GuidRiff).U64(80);
  GUID wave = kRiff64GuidWave;
  if (!good_wave) wave.Data1 ^= 1;
  b.Guid(wave);
  return Pad(b.s, 64);
}

const std::string kMxfKey("\x06\x0E\x2B\x34\x02\x05\x01\x01\x0D\x01\x02", 11);

struct Case {
  const char* what;
  std::string bytes;
  const char* name;  // file name for the extension, or null for the buffer form
  DWORD expected;
};

TEST(WuFileIdTest, ProbeTable) {
  const Case cases[] = {
      // Row 0: AC-3, both byte orders and behind a prefix; the extension
      // must be ".ac3" when there is one.
      {"ac3", Ac3(0x0B, 0x77, 0x1C), "a.ac3", 8},
      {"ac3 no name", Ac3(0x0B, 0x77, 0x1C), nullptr, 8},
      {"ac3 swapped words", Ac3(0x77, 0x0B, 0x1C), nullptr, 8},
      {"ac3 behind 16 zero bytes", std::string(16, '\0') + Ac3(0x0B, 0x77, 0x1C), nullptr, 8},
      {"ac3 under .mp3", Ac3(0x0B, 0x77, 0x1C), "a.mp3", 1},
      {"ac3 without extension", Ac3(0x0B, 0x77, 0x1C), "noext", 1},
      {"ac3 frame size code 38", Ac3(0x0B, 0x77, 0x26), nullptr, 1},
      {"ac3 sample rate code 3", Ac3(0x0B, 0x77, 0xC0), nullptr, 1},
      {"ac3 cut at 39 bytes", Ac3(0x0B, 0x77, 0x1C).substr(0, 39), nullptr, 1},
      // Row 1: QuickTime atoms.
      {"wide", Pad(Box("wide", ""), 16), nullptr, 4105},
      {"ftyp isom (before the classifier)", Ftyp("isom", {"isom", "avc1"}), nullptr, 4105},
      {"ftyp qt", Ftyp("qt  ", {}), nullptr, 4105},
      {"free then mvhd", Pad(Box("free", "") + Box("mvhd", ""), 16), nullptr, 4105},
      {"moov then cmov", Pad(Box("moov", Box("cmov", "")), 16), nullptr, 4105},
      {"moov then other", Pad(Box("moov", Box("udta", "")), 16), nullptr, 1},
      {"skip then moov", Box("skip", std::string(8, '\0')) + Box("moov", ""), nullptr, 4105},
      {"skip then unknown", Box("skip", std::string(8, '\0')) + Box("abcd", ""), nullptr, 1},
      {"skip past the data", Pad(Be32(64) + "skip", 16), nullptr, 4105},
      {"wide in 15 bytes", Pad(Box("wide", ""), 15), nullptr, 1},
      // Rows 2 to 5: images.
      {"gif", Pad("GIF89a", 16), nullptr, 8196},
      {"gif 88", Pad("GIF88a", 16), nullptr, 1},
      {"tiff intel", std::string("II\x2A\x00", 4), nullptr, 8197},
      {"tiff motorola", std::string("MM\x00\x2A", 4), nullptr, 8197},
      {"tiff wrong magic", std::string("II\x2B\x00", 4), nullptr, 1},
      {"hd photo", std::string("\x49\x49\xBC\x01", 4), nullptr, 8201},
      {"hd photo version 2", std::string("\x49\x49\xBC\x02", 4), nullptr, 1},
      {"tga true colour", At(2, "\x02", 18).replace(12, 1, "\x01").replace(14, 1, "\x01").replace(16, 1, "\x18"),
       nullptr, 8198},
      {"tga depth 23", At(2, "\x02", 18).replace(12, 1, "\x01").replace(14, 1, "\x01").replace(16, 1, "\x17"),
       nullptr, 1},
      {"tga colour-mapped", At(1, "\x01\x01", 18).replace(7, 1, "\x10").replace(12, 1, "\x05").replace(14, 1, "\x05"),
       nullptr, 8198},
      {"tga colour-mapped without map", At(2, "\x01", 18).replace(7, 1, "\x10").replace(12, 1, "\x05").replace(14, 1, "\x05"),
       nullptr, 1},
      // Rows 6 and 7.
      {"aiff-c", Bytes().Id("FORM").U32(4).Id("AIFC").s, nullptr, 9},
      {"form 8svx", Bytes().Id("FORM").U32(4).Id("8SVX").s, nullptr, 1},
      {"avi", Bytes().Id("RIFF").U32(4000).Id("AVI ").s, nullptr, 4096},
      {"avi of 100 bytes", Bytes().Id("RIFF").U32(100).Id("AVI ").s, nullptr, 1},
      // Row 8: DV.
      {"dv", DvSequence(0x90), nullptr, 4113},
      {"dv wrong video block", DvSequence(0x80), nullptr, 1},
      {"dv cut at 562", DvSequence(0x90).substr(0, 562), nullptr, 1},
      // Row 9: MPEG-4 audio brand; "M4V " first refuses it (the classifier
      // then answers on the brands).
      {"m4a", Ftyp("M4A ", {"M4A ", "mp42", "isom"}), nullptr, 19},
      {"m4v before m4a", Ftyp("M4V ", {"M4A "}), nullptr, 4111},
      // Rows 10 and 11.
      {"red", std::string(4, '\0') + "RED1", nullptr, 4117},
      {"red2", Pad(std::string(4, '\0') + "RED2", 8), nullptr, 1},
      {"soundfont", Bytes().Id("RIFF").U32(4).Id("sfbk").s, nullptr, 23},
      {"dls", Bytes().Id("RIFF").U32(4).Id("DLS ").s, nullptr, 23},
      // Rows 12 to 14: MPEG streams.
      {"ts 564", TransportStream(564, 188, 0), nullptr, 4114},
      {"ts 563 is short", TransportStream(563, 188, 0), nullptr, 4098},
      {"ts 377", TransportStream(377, 188, 0), nullptr, 4098},
      {"ts 376", TransportStream(376, 188, 0), nullptr, 1},
      {"ts 192-byte packets", TransportStream(576, 192, 4), nullptr, 4114},
      {"ts one packet wrong", TransportStream(1000, 188, 0).replace(752, 1, "\x46"), nullptr, 4098},
      {"mpeg-2 pack", std::string("\x00\x00\x01\xBA\x44", 5), nullptr, 4098},
      {"mpeg-1 pack", std::string("\x00\x00\x01\xBA\x21", 5), nullptr, 4097},
      {"pack with reserved bits", std::string("\x00\x00\x01\xBA\x81", 5), nullptr, 1},
      {"sequence header (row 13 first)", std::string("\x00\x00\x01\xB3\x00", 5), nullptr, 4098},
      {"dvd video", "DVDVIDEO-VTS", nullptr, 4098},
      {"dvd video cut", "DVDVIDEO-", nullptr, 1},
      // Row 15: FLAC, plain or behind a tag.
      {"flac", "fLaC", nullptr, 21},
      {"flac behind id3", Id3(10, "fLaC", 24), nullptr, 21},
      {"flac behind id3, cut", Id3(10, "fLa", 23), nullptr, 4},  // the tag then fills the buffer
      // Row 16: MP3 with a tag or a leading frame.
      {"id3 larger than the buffer", Id3(0, "", 100).replace(6, 4, std::string("\x00\x01\x00\x00", 4)),
       nullptr, 4},
      {"id3 then a layer III frame", Id3(20, kLayer3Frame, 100), nullptr, 4},
      {"id3 then nothing, short", Id3(20, "", 100), nullptr, 1},
      {"leading frame, short", Pad(kLayer3Frame, 100), nullptr, 1},
      {"leading frame, scanned", Pad(kLayer3Frame, 2048), nullptr, 4},
      // Rows 17 to 24.
      {"bmp", "BM", nullptr, 8199},
      {"jpeg", std::string("\xFF\xD8\xFF", 3), nullptr, 8192},
      {"jpeg wrong", std::string("\xFF\xD8\x00", 3), nullptr, 1},
      {"dpx", "SDPX", nullptr, 8200},
      {"dpx little-endian", "XPDS", nullptr, 1},
      {"png", std::string("\x89PNG\r\n\x1A\n", 8), nullptr, 8193},
      {"png cut", std::string("\x89PNG\r\n\x1A", 7), nullptr, 1},
      {"exr", std::string("\x76\x2F\x31\x01", 4), nullptr, 8194},
      {"psd", Pad("8BPS", 26), nullptr, 8195},
      {"psd short", Pad("8BPS", 25), nullptr, 1},
      {"swf compressed", Pad("FWC", 9), nullptr, 4106},
      {"swf plain", Pad("FWS", 9), nullptr, 4106},
      {"swf short", Pad("FWC", 8), nullptr, 1},
      {"pal", Pad("PAL", 9), nullptr, 4107},
      {"ntc wide", Pad(std::string("N\0T\0C\0", 6), 9), nullptr, 4107},
      {"pax", Pad("PAX", 9), nullptr, 1},
      // Rows 25 to 29: RIFF forms and WAV.
      {"riff wua", Bytes().Id("RIFF").U32(4).Id("WUA ").s, nullptr, 14},
      {"wav with scot at 60", Pad(Wav(), 60) + Pad("scot", 9), nullptr, 6},
      {"wav with scot at 64", Pad(Wav(), 64) + Pad("scot", 9), nullptr, 2},
      {"wav tag 0x1971", Wav(36, 0x1971), nullptr, 5},
      {"wav tag 0x1971 and scot", Pad(Wav(36, 0x1971), 60) + Pad("scot", 9), nullptr, 5},
      {"wav", Wav(), nullptr, 2},
      {"wav of 12 bytes", Bytes().Id("RIFF").U32(4).Id("WAVE").s, nullptr, 2},
      {"wav of size 0", Wav(0), nullptr, 1},
      {"riff csw", Bytes().Id("RIFF").U32(4).Id("CSW ").s, nullptr, 17},
      // Rows 30, 31.
      {"wave64", Wave64(true), nullptr, 3},
      {"wave64 wrong form", Wave64(false), nullptr, 1},
      {"tivo", "TiVo", nullptr, 4103},
      // Rows 32 to 35: ASF, by extension.
      {"asf .wma", Asf(5000), "a.wma", 4101},
      {"asf .WMV", Asf(5000), "a.WMV", 4100},
      {"asf .asf", Asf(5000), "a.asf", 4100},
      {"asf .dvr-ms", Asf(5000), "a.dvr-ms", 4102},
      {"asf .dvr", Asf(5000), "a.dvr", 4102},
      {"asf other extension", Asf(5000), "a.bin", 4099},
      {"asf no name", Asf(5000), nullptr, 4099},
      {"asf size 0", Asf(0), "a.wma", 1},
      {"asf size 4 MiB", Asf(4194304), nullptr, 1},
      // Rows 38 to 40.
      {"aaf", Pad(std::string(8, '\x01') + "AAF", 11), nullptr, 4109},
      {"3gpp", Ftyp("3gp4", {"isom", "3gp4"}), nullptr, 4112},
      {"3gpp only as major", Ftyp("3gp4", {"3gp3"}), nullptr, 1},
      {"3gpp under mp42 (the classifier answers)", Ftyp("mp42", {"3gp4"}), nullptr, 4111},
      {"avc by extension", "anything", "a.AVC", 4115},
      {"bsf by extension", "anything", "a.bsf", 4115},
      // Row 42: MXF key anywhere, or the extension.
      {"mxf key at 100", At(100, kMxfKey, 200), nullptr, 4108},
      {"mxf key at the end", At(189, kMxfKey, 200), nullptr, 4108},
      {"mxf key cut", At(190, kMxfKey.substr(0, 10), 200), nullptr, 1},
      {"mxf by extension", "anything", "a.mxf", 4108},
      // Rows 43 to 49.
      {"ogg", Pad("OggS", 6), nullptr, 7},
      {"ogg short", Pad("OggS", 5), nullptr, 1},
      {"word header 0x0001", std::string("\x01\x00\x0C", 3), nullptr, 10},
      {"word header 0xFFFF", std::string("\xFF\xFF\x13", 3), nullptr, 10},
      {"word header unlisted", std::string("\x01\x00\x0F", 3), nullptr, 1},
      {"snd", ".snd", nullptr, 11},
      {"word 0x3805", std::string("\x05\x38", 2), nullptr, 12},
      {"vox", "anything", "a.vox", 13},
      {"raw", "anything", "a.raw", 15},
      {"raw holding ogg", Pad("OggS", 6), "a.raw", 7},
      {"rm", "anything", "a.rm", 4104},
      {"rmvb", "anything", "a.rmvb", 4104},
      {"no extension at all", "anything", "anything", 1},
      // Rows 50 and 51: frame scans.
      {"layer III inside", At(100, kLayer3Frame, 2048), nullptr, 4},
      {"layer III inside, short", At(100, kLayer3Frame, 2047), nullptr, 1},
      {"layer II inside", At(100, kLayer2Frame, 2048), nullptr, 18},
      {"layer II before layer III", At(100, kLayer2Frame, 2048).replace(200, 4, kLayer3Frame), nullptr, 18},
      {"layer II under .mp2", At(100, kLayer2Frame, 2048), "a.mp2", 18},
      {"layer II under .mp3", At(100, kLayer2Frame, 2048), "a.mp3", 1},
      {"reserved version", At(100, std::string("\xFF\xEB\x90\x00", 4), 2048), nullptr, 1},
      {"bitrate 15", At(100, std::string("\xFF\xFB\xF0\x00", 4), 2048), nullptr, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(Identify(c.bytes, c.name), c.expected) << c.what;
}

TEST(WuFileIdTest, FlagsFilterAndRewrite) {
  std::string scot = Pad(Wav(), 60) + Pad("scot", 9);
  EXPECT_EQ(Identify(scot, nullptr, WUFILEID_FLAG_SCOT_AS_WAV), 2u);
  EXPECT_EQ(Identify(scot, nullptr, WUFILEID_FLAG_AUDIO), 6u);

  // Images only: a WAV is examined but not identified.
  std::string wav = Wav();
  WUFILEIDINFO info = {};
  info.hFile = INVALID_HANDLE_VALUE;
  info.pBuffer = reinterpret_cast<const BYTE*>(wav.data());
  info.dwBufferSize = static_cast<DWORD>(wav.size());
  info.dwFlags = WUFILEID_FLAG_IMAGE;
  BOOL identified = TRUE;
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(&info, &identified), S_OK);
  EXPECT_FALSE(identified);
  EXPECT_EQ(info.eIdentifiedType, WUFILEID_UNKNOWN);

  EXPECT_EQ(Identify("BM", nullptr, WUFILEID_FLAG_IMAGE), 8199u);
  EXPECT_EQ(Identify("BM", nullptr, WUFILEID_FLAG_AUDIO | WUFILEID_FLAG_VIDEO), 1u);
  EXPECT_EQ(Identify(Bytes().Id("RIFF").U32(4000).Id("AVI ").s, nullptr, WUFILEID_FLAG_VIDEO), 4096u);
  // Video only: the ".raw" row (audio) is passed over.
  EXPECT_EQ(Identify("anything", "a.raw", WUFILEID_FLAG_VIDEO), 1u);
  // Flag 0x1: the extension is ignored.
  EXPECT_EQ(Identify("anything", "a.raw", WUFILEID_FLAG_NO_EXTENSION), 1u);
  EXPECT_EQ(Identify(Ac3(0x0B, 0x77, 0x1C), "a.mp3", WUFILEID_FLAG_NO_EXTENSION), 8u);
}

TEST(WuFileIdTest, OnlyTheFirst64KiBAreExamined) {
  std::string late = At(65536, kMxfKey, 70000);
  EXPECT_EQ(Identify(late), 1u);
  EXPECT_EQ(Identify(late, "late.bin"), 1u);
  EXPECT_EQ(Identify(At(65536 - 11, kMxfKey, 70000)), 4108u);
  EXPECT_EQ(Identify(Pad("OggS", 70000)), 7u);
}

TEST(WuFileIdTest, ArgumentsAndSources) {
  BOOL identified = TRUE;
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(nullptr, &identified), E_INVALIDARG);
  WUFILEIDINFO info = {};
  info.hFile = INVALID_HANDLE_VALUE;
  info.eIdentifiedType = WUFILEID_MP3;
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(&info, nullptr), E_INVALIDARG);
  // No source at all, and a buffer of size 0.
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(&info, &identified), E_INVALIDARG);
  EXPECT_FALSE(identified);
  EXPECT_EQ(info.eIdentifiedType, WUFILEID_NOT_EXAMINED);
  BYTE byte = 0;
  info.pBuffer = &byte;
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(&info, &identified), E_INVALIDARG);

  // A missing file: the converted Win32 error, type 0, nothing left open.
  size_t handles = platform::OpenHandleCount();
  std::u16string missing = wutest::U16(wutest::MakeTempDir("fileid") + "/missing.wav");
  info = {};
  info.hFile = INVALID_HANDLE_VALUE;
  info.pszFileName = missing.c_str();
  EXPECT_EQ(WuIsQuicklyIdentifiableMediaFileFormat(&info, &identified),
            WuErrorHandler_TranslateWin32Error(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(info.eIdentifiedType, WUFILEID_NOT_EXAMINED);
  WUFILEID_IDENTIFIED_TYPE type = WUFILEID_MP3;
  EXPECT_FALSE(WuIsQuicklyIdentifiableMediaFileFormat(missing.c_str(), 0, &type));
  EXPECT_EQ(type, WUFILEID_NOT_EXAMINED);

  // A file opened by name is closed again.
  TempFile ogg(Pad("OggS", 100), GENERIC_READ);
  handles = platform::OpenHandleCount();
  EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(ogg.Wide().c_str(), 0, &type));
  EXPECT_EQ(type, WUFILEID_OGG);
  EXPECT_EQ(platform::OpenHandleCount(), handles);

  // A caller's handle stays open and is left after the bytes read; the
  // handle-and-name form takes the extension from the name.
  ogg.Seek(50);
  EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(ogg.h(), 0, &type));
  EXPECT_EQ(type, WUFILEID_OGG);
  EXPECT_EQ(ogg.Position(), 100);
  TempFile raw("anything");
  std::u16string raw_name = u"take.raw";
  EXPECT_FALSE(WuIsQuicklyIdentifiableMediaFileFormat(raw.h(), 0, &type));
  EXPECT_EQ(type, WUFILEID_UNKNOWN);
  EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(raw.h(), raw_name.c_str(), 0, &type));
  EXPECT_EQ(type, WUFILEID_RAW);
  EXPECT_EQ(raw.Position(), 8);
  // Larger than 64 KiB: left at 64 KiB, also when the classifier walked the
  // file (its brands say MPEG-4, but the file holds no "moov").
  TempFile big(Ftyp("mp42", {"mp42"}) + std::string(70000, '\0'));
  EXPECT_FALSE(WuIsQuicklyIdentifiableMediaFileFormat(big.h(), 0, &type));
  EXPECT_EQ(type, WUFILEID_UNKNOWN);
  EXPECT_EQ(big.Position(), 65536);
  EXPECT_EQ(platform::OpenHandleCount(), handles + 2);
}

}  // namespace
