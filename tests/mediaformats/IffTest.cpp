// IFF chunk input and output and the AIFF readers.
#include <gtest/gtest.h>

#include "mediaformats/Iff.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/RiffTestUtil.h"

using namespace ifftest;
using rifftest::TempFile;

namespace {

struct RateCase {
  DWORD rate;
  WORD exponent;
  WORD mantissa0;
};

TEST(IffRate, CreateAndConvertBothWays) {
  const RateCase cases[] = {
      {44100, 0x400E, 0xAC44}, {48000, 0x400E, 0xBB80}, {96000, 0x400F, 0xBB80},
      {192000, 0x4010, 0xBB80}, {352800, 0x4011, 0xAC44}, {384000, 0x4011, 0xBB80},
      {0, 0x3FFF, 0x0000},     {1, 0x3FFF, 0x8000},     {0xFFFFFFFF, 0x401E, 0xFFFF},
  };
  for (const RateCase& c : cases) {
    SCOPED_TRACE(c.rate);
    WORD e = 0;
    WORD m[4] = {1, 1, 1, 1};
    aiff_CreateRate(c.rate, &e, m);
    EXPECT_EQ(e, c.exponent);
    EXPECT_EQ(m[0], c.mantissa0);
    if (c.rate != 0xFFFFFFFF) {
      EXPECT_EQ(m[1], 0);
    }
    EXPECT_EQ(m[2], 0);
    EXPECT_EQ(m[3], 0);
    EXPECT_EQ(aiff_ConvertRate(e, m), c.rate);
  }
}

TEST(IffRate, SignExponentBelowBiasAndSaturation) {
  const WORD half[4] = {0x8000, 0, 0, 0};
  const WORD zero[4] = {0, 0, 0, 0};
  // Negative values read as 44,100.
  EXPECT_EQ(aiff_ConvertRate(0xC00E, half), 44100u);
  // 0.5 below the bias doubles until it passes 96,000: 2^17 = 131,072.
  EXPECT_EQ(aiff_ConvertRate(0x3FFE, half), 131072u);
  EXPECT_EQ(aiff_ConvertRate(0x3FFE, zero), 0u);
  // Above 2^32 the rate saturates.
  EXPECT_EQ(aiff_ConvertRate(0x4020, half), 0xFFFFFFFFu);
  EXPECT_EQ(aiff_ConvertRate(0x7FFF, half), 0xFFFFFFFFu);
  // A fraction is truncated: 44,100.5.
  const WORD fraction[4] = {0xAC44, 0x8000, 0, 0};
  EXPECT_EQ(aiff_ConvertRate(0x400E, fraction), 44100u);
}

TEST(IffPrimitives, SwapsReadsAndWrites) {
  WORD w[2] = {0x1234, 0xABCD};
  iff_ByteSwap16(w, 2);
  EXPECT_EQ(w[0], 0x3412);
  EXPECT_EQ(w[1], 0xCDAB);
  DWORD d = 0x11223344;
  aiff_WriteByteSwap32(&d, 1);
  EXPECT_EQ(d, 0x44332211u);
  iff_ByteSwap32(&d, 0);
  EXPECT_EQ(d, 0x44332211u);

  TempFile f("");
  const DWORD hdr[2] = {IffId("COMM"), 18};
  ASSERT_EQ(iff_WriteFileID(f.h(), IffId("AIFF"), 0x01020304), S_OK);
  ASSERT_EQ(iff_WriteChunk(f.h(), hdr), S_OK);
  ASSERT_EQ(iff_WriteWORD(f.h(), 0xBEEF), S_OK);
  ASSERT_EQ(iff_WriteDWORD(f.h(), 0xCAFEF00D), S_OK);
  EXPECT_EQ(hdr[1], 18u);
  EXPECT_EQ(f.Contents(), BeBytes().Id("FORM").U32(0x01020304).Id("AIFF").Id("COMM").U32(18)
                              .U16(0xBEEF).U32(0xCAFEF00D).s);
  f.Seek(0);
  DWORD read_hdr[2];
  DWORD form_type = 0;
  ASSERT_EQ(iff_ReadFormType(f.h(), read_hdr, &form_type), S_OK);
  EXPECT_EQ(read_hdr[1], 0x01020304u);
  EXPECT_EQ(form_type, IffId("AIFF"));
  ASSERT_EQ(iff_ReadChunkHdr(f.h(), read_hdr), S_OK);
  EXPECT_EQ(read_hdr[0], IffId("COMM"));
  WORD word = 0;
  DWORD dword = 0;
  ASSERT_EQ(iff_ReadWORD(f.h(), &word), S_OK);
  ASSERT_EQ(iff_ReadDWORD(f.h(), &dword), S_OK);
  EXPECT_EQ(word, 0xBEEF);
  EXPECT_EQ(dword, 0xCAFEF00Du);
  EXPECT_EQ(iff_ReadWORD(f.h(), &word), RIFF_E_READ);
  f.Seek(12);
  EXPECT_EQ(iff_ReadFormType(f.h(), read_hdr, &form_type), RIFF_E_WRONG_FORM);
  f.Seek(0);
  EXPECT_EQ(iff_SkipChunk(f.h(), 5), 6u);
  EXPECT_EQ(f.Position(), 6);
}

TEST(IffSearch, RangesAndStarts) {
  std::string file = Form("AIFF", BeBytes().Chunk("ANNO", "odd").Chunk("COMM", Comm(2, 1, 16, 44100)).s);
  TempFile f(file);
  // 7 bytes left: not found without reading.
  f.Seek(12);
  DWORD left = 7;
  DWORD size = 0;
  EXPECT_EQ(iff_FindChunkHeader(f.h(), IffId("COMM"), &size, &left), RIFF_E_NOT_FOUND);
  EXPECT_EQ(f.Position(), 12);
  EXPECT_EQ(left, 7u);
  // The odd chunk's pad is skipped.
  left = static_cast<DWORD>(file.size() - 12);
  ASSERT_EQ(iff_FindChunkHeader(f.h(), IffId("COMM"), &size, &left), S_OK);
  EXPECT_EQ(size, 18u);
  EXPECT_EQ(f.Position(), 12 + 12 + 8);
  EXPECT_EQ(left, 18u);
  f.Seek(12);
  EXPECT_EQ(iff_SeekChunkHeader(f.h(), IffId("MARK"), &size), RIFF_E_READ);
  ASSERT_EQ(iff_FindChunkFromStart(f.h(), IffId("COMM"), &size), S_OK);
  EXPECT_EQ(f.Position(), 32);
  EXPECT_EQ(iff_FindChunkFromStart(f.h(), IffId("SSND"), &size), RIFF_E_NOT_FOUND);
  EXPECT_EQ(size, 0u);

  TempFile riff(rifftest::Bytes().Id("RIFF").U32(4).Id("WAVE").s);
  EXPECT_EQ(iff_FindChunkFromStart(riff.h(), IffId("COMM"), &size), IFF_E_NOT_FORM);
  // A form type cut short.
  TempFile short_form(BeBytes().Id("FORM").U32(4).Raw("AI").s);
  EXPECT_EQ(iff_FindChunkFromStart(short_form.h(), IffId("COMM"), &size), IFF_E_NOT_FORM);
}

struct FormatCase {
  const char* name;
  const char* form;
  const char* compression;  // AIFF-C only
  unsigned bits;
  HRESULT status;
  WORD tag;
  WORD block_align;  // stereo
};

TEST(IffAiffFormat, CompressionAndBitsTable) {
  const FormatCase cases[] = {
      {"aiff16", "AIFF", nullptr, 16, S_OK, 0xFE02, 4},
      {"aifc none", "AIFC", "NONE", 16, S_OK, 0xFE02, 4},
      {"aifc sowt", "AIFC", "sowt", 16, S_OK, WAVE_FORMAT_PCM, 4},
      {"aiff8", "AIFF", nullptr, 8, S_OK, 0xFE01, 2},
      {"aifc sowt 8", "AIFC", "sowt", 8, S_OK, 0xFE01, 2},
      {"aiff12", "AIFF", nullptr, 12, S_OK, 0xFE02, 4},
      {"aiff20", "AIFF", nullptr, 20, S_OK, 0xFE02, 6},
      {"aiff24", "AIFF", nullptr, 24, S_OK, 0xFE02, 6},
      {"aifc ima4", "AIFC", "ima4", 16, RIFF_E_WRONG_FORM, 0, 0},
      {"other form", "8SVX", nullptr, 8, RIFF_E_WRONG_FORM, 0, 0},
  };
  for (const FormatCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string data(120, '\x11');
    TempFile f(Form(c.form, BeBytes().Chunk("COMM", Comm(2, 10, c.bits, 48000, c.compression))
                                .Chunk("SSND", Ssnd(0, data)).s));
    WAVEFORMATEX wfx = {};
    DWORD frames = 0;
    DWORD offset = 0;
    ASSERT_EQ(iff_GetAIFFWfx(f.h(), &wfx, &frames, &offset), c.status);
    if (FAILED(c.status)) continue;
    EXPECT_EQ(wfx.wFormatTag, c.tag);
    EXPECT_EQ(wfx.nChannels, 2);
    EXPECT_EQ(wfx.nSamplesPerSec, 48000u);
    EXPECT_EQ(wfx.wBitsPerSample, c.bits);
    EXPECT_EQ(wfx.nBlockAlign, c.block_align);
    EXPECT_EQ(wfx.nAvgBytesPerSec, 48000u * c.block_align);
    EXPECT_EQ(frames, std::min<DWORD>(10, 120 / c.block_align));
    size_t comm = c.compression ? 8 + 24 : 8 + 18;
    EXPECT_EQ(offset, 12 + comm + 16);
  }
}

TEST(IffAiffFormat, SsndOffsetsAndFrameCounts) {
  struct Case {
    uint32_t offset;
    uint32_t comm_frames;
    size_t data;
    DWORD frames;
  };
  const Case cases[] = {
      {0, 100, 40, 10},   // the data is shorter: its frames
      {0, 3, 40, 3},      // the count is smaller: the count
      {4, 100, 40, 9},    // offset 4 shortens the data by 4 bytes
      {49, 100, 40, 0},   // an offset beyond the chunk leaves nothing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.offset);
    // `data` bytes follow the offset and block-size fields, the offset's
    // bytes among them.
    std::string ssnd = BeBytes().U32(c.offset).U32(0).Zeros(c.data).s;
    TempFile f(Form("AIFF", BeBytes().Chunk("COMM", Comm(2, c.comm_frames, 16, 44100))
                                .Chunk("SSND", ssnd).s));
    DWORD frames = 99;
    DWORD offset = 0;
    ASSERT_EQ(iff_GetAIFFWfx(f.h(), nullptr, &frames, &offset), S_OK);
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(offset, 12 + 26 + 16 + c.offset);
  }
  // A frame that no block align can describe is refused, not divided by 0.
  TempFile huge(Form("AIFF", BeBytes().Chunk("COMM", Comm(65535, 1, 16, 44100))
                                 .Chunk("SSND", Ssnd(0, "abcd")).s));
  EXPECT_EQ(iff_GetAIFFWfx(huge.h(), nullptr, nullptr, nullptr), RIFF_E_WRONG_FORM);
  // No "SSND" within the form, and a "COMM" cut short.
  TempFile no_ssnd(Form("AIFF", BeBytes().Chunk("COMM", Comm(2, 1, 16, 44100)).s));
  EXPECT_EQ(iff_GetAIFFWfx(no_ssnd.h(), nullptr, nullptr, nullptr), RIFF_E_NOT_FOUND);
  TempFile cut(Form("AIFF", BeBytes().Id("COMM").U32(18).U16(2).s));
  EXPECT_EQ(iff_GetAIFFWfx(cut.h(), nullptr, nullptr, nullptr), RIFF_E_READ);
}

TEST(IffAiffFormat, IsAiffFlags) {
  TempFile sowt(Form("AIFC", BeBytes().Chunk("FVER", "\xA2\x80\x51\x40").Chunk("COMM", Comm(1, 0, 16, 8000, "sowt")).s));
  DWORD form_size = 0;
  BOOL aifc = FALSE;
  BOOL is_sowt = FALSE;
  EXPECT_TRUE(iff_IsAIFFFileEx(sowt.h(), &form_size, &aifc, &is_sowt));
  EXPECT_TRUE(aifc);
  EXPECT_TRUE(is_sowt);
  EXPECT_EQ(sowt.Position(), 12);
  EXPECT_EQ(form_size, sowt.Contents().size() - 8);
  TempFile wav(rifftest::Bytes().Id("RIFF").U32(4).Id("WAVE").s);
  EXPECT_FALSE(iff_IsAIFFFile(wav.h(), nullptr));
}

TEST(IffMarker, FoundAbsentAndTruncated) {
  // Markers 1 "ab" (count even: padded) and 7 "x"; each takes 7 bytes and
  // its name.
  std::string mark = BeBytes().U16(2).U16(1).U32(1000).Raw(std::string("\x02" "ab\0", 4))
                         .U16(7).U32(2000).Raw("\x01x").s;
  TempFile f(Form("AIFF", BeBytes().Chunk("COMM", Comm(1, 0, 16, 8000)).Chunk("MARK", mark).s));
  tIFFMARKER m = {};
  ASSERT_EQ(iff_FindMarker(f.h(), &m, 7), S_OK);
  EXPECT_EQ(WORD{m.wId}, 7);
  EXPECT_EQ(DWORD{m.dwPosition}, 2000u);
  EXPECT_EQ(m.bNameLength, 1);
  char name = 0;
  DWORD got = 0;
  ReadFile(f.h(), &name, 1, &got, nullptr);
  EXPECT_EQ(name, 'x');
  ASSERT_EQ(iff_FindMarker(f.h(), &m, 1), S_OK);
  EXPECT_EQ(DWORD{m.dwPosition}, 1000u);
  EXPECT_EQ(iff_FindMarker(f.h(), &m, 3), RIFF_E_NOT_FOUND);

  TempFile none(Form("AIFF", BeBytes().Chunk("MARK", BeBytes().U16(0).s).s));
  EXPECT_EQ(iff_FindMarker(none.h(), &m, 1), RIFF_E_NOT_FOUND);
  TempFile no_mark(Form("AIFF", BeBytes().Chunk("COMM", Comm(1, 0, 16, 8000)).s));
  EXPECT_EQ(iff_FindMarker(no_mark.h(), &m, 1), RIFF_E_NOT_FOUND);
  // The file ends inside the second marker.
  std::string cut = Form("AIFF", BeBytes().Chunk("MARK", mark).s);
  cut.resize(cut.size() - 5);
  TempFile truncated(cut);
  EXPECT_EQ(iff_FindMarker(truncated.h(), &m, 7), IFF_E_NOT_FORM);
}

// A "MARK" chunk whose count claims more markers than its bytes hold: the
// search ends at the chunk's end. The bytes after it (a chunk id of
// 00 07 ...) would complete a record for marker 7 if they were read.
TEST(IffMarker, CountBeyondTheChunkReadsNothingOutsideIt) {
  const std::string marker1 = BeBytes().U16(1).U32(1000).Raw(std::string("\0\0", 2)).s;
  struct Case {
    const char* what;
    std::string body;  // the MARK body
  };
  const Case cases[] = {
      {"four claimed, one held", BeBytes().U16(4).Raw(marker1).s},
      {"a record cut by the chunk's end",
       BeBytes().U16(2).Raw(marker1).U16(7).Raw(std::string("\0", 1)).s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string before = BeBytes().Chunk("COMM", Comm(1, 0, 16, 8000)).s;
    // An empty chunk whose id begins 00 07 00.
    const std::string after = BeBytes().Raw(std::string("\0\x07\0\0", 4)).U32(0).s;
    TempFile f(Form("AIFF", before + BeBytes().Chunk("MARK", c.body).s + after));
    tIFFMARKER m = {};
    EXPECT_EQ(iff_FindMarker(f.h(), &m, 7), RIFF_E_NOT_FOUND);
    const LONG chunk_end = static_cast<LONG>(12 + before.size() + 8 + c.body.size());
    EXPECT_LE(static_cast<LONG>(SetFilePointer(f.h(), 0, nullptr, FILE_CURRENT)), chunk_end);
    ASSERT_EQ(iff_FindMarker(f.h(), &m, 1), S_OK);
    EXPECT_EQ(DWORD{m.dwPosition}, 1000u);
  }
}

TEST(IffDelete, OddChunkWithItsPad) {
  std::string comm = BeBytes().Chunk("COMM", Comm(1, 0, 16, 8000)).s;
  std::string ssnd = BeBytes().Chunk("SSND", Ssnd(0, "abcd")).s;
  TempFile f(Form("AIFF", comm + BeBytes().Chunk("ANNO", "hello").s + ssnd));
  DWORD removed = 0;
  ASSERT_EQ(iff_DeleteChunk(f.h(), IffId("ANNO"), &removed), S_OK);
  EXPECT_EQ(removed, 8u + 6u);
  EXPECT_EQ(f.Contents(), Form("AIFF", comm + ssnd));
  EXPECT_EQ(iff_DeleteChunk(f.h(), IffId("ANNO"), &removed), RIFF_E_NOT_FOUND);
  EXPECT_EQ(removed, 0u);
  TempFile wav(rifftest::Bytes().Id("RIFF").U32(4).Id("WAVE").s);
  EXPECT_EQ(iff_DeleteChunk(wav.h(), IffId("ANNO"), &removed), RIFF_E_WRONG_FORM);
  // A body that runs past the end of the file: nothing is written.
  std::string over = Form("AIFF", comm + BeBytes().Id("ANNO").U32(1000).Raw("ab").s);
  TempFile beyond(over);
  EXPECT_EQ(iff_DeleteChunk(beyond.h(), IffId("ANNO"), &removed), RIFF_E_WRONG_FORM);
  EXPECT_EQ(beyond.Contents(), over);
  // A body that runs past the form's end, into bytes after it: refused too.
  std::string past = BeBytes().Id("FORM").U32(4 + 26 + 8 + 2).Id("AIFF").Raw(comm).Id("ANNO")
                         .U32(10).Raw("0123456789").s;
  TempFile outside(past);
  EXPECT_EQ(iff_DeleteChunk(outside.h(), IffId("ANNO"), &removed), RIFF_E_WRONG_FORM);
  EXPECT_EQ(outside.Contents(), past);
}

// A last chunk of odd size whose pad byte the form does not count (held by
// the file or not), or counts while the file lacks it: the form shrinks by
// what it held and ends where the file does.
TEST(IffDelete, LastChunkWithoutItsPadByte) {
  std::string comm = BeBytes().Chunk("COMM", Comm(1, 0, 16, 8000)).s;
  for (bool pad : {false, true}) {
    SCOPED_TRACE(pad ? "pad byte not counted" : "no pad byte");
    std::string chunks = comm + BeBytes().Id("ANNO").U32(5).Raw("hello").s;
    TempFile f(Form("AIFF", chunks) + (pad ? std::string(1, '\0') : ""));
    DWORD removed = 0;
    ASSERT_EQ(iff_DeleteChunk(f.h(), IffId("ANNO"), &removed), S_OK);
    EXPECT_EQ(removed, 13u);
    EXPECT_EQ(f.Contents(), Form("AIFF", comm));
  }
  // The form counts the pad byte that the file lacks.
  std::string counted = BeBytes().Id("FORM").U32(4 + static_cast<uint32_t>(comm.size()) + 14).Id("AIFF")
                            .Raw(comm).Id("ANNO").U32(5).Raw("hello").s;
  TempFile f(counted);
  DWORD removed = 0;
  ASSERT_EQ(iff_DeleteChunk(f.h(), IffId("ANNO"), &removed), S_OK);
  EXPECT_EQ(removed, 14u);
  EXPECT_EQ(f.Contents(), Form("AIFF", comm));
}

}  // namespace
