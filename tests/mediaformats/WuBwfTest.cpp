// The broadcast-wave record, its chunk in WAV and Wave64 files, and its
// load from a metadata reader.
#include "mediaformats/WuBwf.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/WavHeaders.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using rifftest::Bytes;
using rifftest::TempFile;

namespace {

// A record that frees its coding history at the end of the test.
struct Record : _tagWUBWF_Chunk {
  Record() { WuBWF_Clear(); }
  ~Record() { WuBWFChunk_FreeCodingHistory(); }
};

std::u16string Date(const Record& r) { return r.szOriginationDate; }
std::u16string Time(const Record& r) { return r.szOriginationTime; }

TEST(Bwf, DateAndTimeSettersAndNormalisation) {
  struct Case {
    const char* input;
    const char16_t* after_set;
    const char16_t* after_normalize;
    HRESULT status;
  };
  const Case dates[] = {
      {"2024/02/30", u"2024/02/30", u"2024/02/29", S_OK},
      {"2023-02-30", u"2023-02-30", u"2023-02-28", S_OK},
      {"1900-02-29", u"1900-02-29", u"1900-02-28", S_OK},
      {"2000-02-30", u"2000-02-30", u"2000-02-29", S_OK},
      {"2024x05x07", u"2024-05-07", u"2024-05-07", S_OK},
      {"2024-13-00", u"2024-13-00", u"2024-12-01", S_OK},
      {"2024-1A-01", u"2024-1A-01", u"YYYY-MM-DD", RIFF_E_WRONG_FORM},
      {"2024-01-1", u"2024-01-1", u"YYYY-MM-DD", RIFF_E_WRONG_FORM},
      {"", u"", u"", RIFF_E_WRONG_FORM},
  };
  for (const Case& c : dates) {
    SCOPED_TRACE(c.input);
    Record r;
    char field[10] = {};
    std::memcpy(field, c.input, std::strlen(c.input));
    r.WuBWF_SetOriginationDateA(field);
    EXPECT_EQ(Date(r), c.after_set);
    EXPECT_EQ(r.WuBWF_NormalizeDate(), c.status);
    EXPECT_EQ(Date(r), c.after_normalize);
  }
  const Case times[] = {
      {"25.61.99", u"25.61.99", u"23.59.59", S_OK},
      {"12/30/00", u"12:30:00", u"12:30:00", S_OK},
      // Digits at the separator positions are replaced by the setter.
      {"1:02:03", u"1::2::3", u"hh:mm:ss", RIFF_E_WRONG_FORM},
      {"", u"", u"", RIFF_E_WRONG_FORM},
  };
  for (const Case& c : times) {
    SCOPED_TRACE(c.input);
    Record r;
    char field[8] = {};
    std::memcpy(field, c.input, std::strlen(c.input));
    r.WuBWF_SetOriginationTimeA(field);
    EXPECT_EQ(Time(r), c.after_set);
    EXPECT_EQ(r.WuBWF_NormalizeTime(), c.status);
    EXPECT_EQ(Time(r), c.after_normalize);
  }
}

TEST(Bwf, AccessorsAndFlags) {
  Record r;
  WCHAR buffer[8] = {u'x'};
  EXPECT_EQ(r.WuBWF_GetDescription(buffer, 8), E_FAIL);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(r.WuBWFChunk_GetCodingHistory(buffer, 8), E_FAIL);
  r.WuBWF_SetTextsValid(1);
  EXPECT_EQ(r.WuBWFChunk_GetCodingHistory(buffer, 8), S_FALSE);
  char desc[256] = {};
  std::memcpy(desc, "a long description", 18);
  r.WuBWF_SetDescriptionA(desc);
  EXPECT_EQ(r.WuBWF_GetDescription(buffer, 8), S_OK);
  EXPECT_EQ(std::u16string(buffer), u"a long ");
  ULONGLONG t = 5;
  EXPECT_EQ(r.WuBWF_GetTimeReference(&t), E_FAIL);
  EXPECT_EQ(t, 5u);
  r.WuBWF_SetTimesValid(3);
  r.WuBWF_SetTimeReference(0x123456789ull);
  EXPECT_EQ(r.WuBWF_GetTimeReference(&t), S_OK);
  EXPECT_EQ(t, 0x123456789ull);
  r.WuBWF_SetTimesValid(2);
  EXPECT_FALSE(r.dwFlags & WUBWF_TIMES_VALID);

  BYTE reserved[190];
  std::memset(reserved, 7, sizeof reserved);
  EXPECT_EQ(r.WuBWF_SetReserved(reserved, 189), S_FALSE);
  EXPECT_EQ(r.abReserved[0], 0);
  EXPECT_EQ(r.WuBWF_SetReserved(reserved, 190), S_OK);
  BYTE umid[64];
  std::memset(umid, 9, sizeof umid);
  r.WuBWF_SetUMID(umid);
  // Buffers smaller than the field are refused and left alone.
  BYTE small[64] = {};
  EXPECT_EQ(r.WuBWF_GetUMID(small, 63), E_INVALIDARG);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(r.WuBWF_GetReserved(small, 64), E_INVALIDARG);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(r.WuBWF_GetUMID(small, 64), S_OK);
  EXPECT_EQ(small[63], 9);
}

TEST(Bwf, CodingHistoryLineEnds) {
  Record r;
  ASSERT_EQ(r.WuBWF_SetCodingHistoryA("A=PCM,F=48000"), S_OK);
  EXPECT_EQ(std::u16string(r.pszCodingHistory), u"A=PCM,F=48000\r\n");
  EXPECT_EQ(r.WuBWF_GetCodingHistorySize(), 13u + 2 + 1);
  EXPECT_TRUE(r.dwFlags & WUBWF_HISTORY_HELD);
  ASSERT_EQ(r.WuBWF_SetCodingHistoryW(u"one\r\ntwo"), S_OK);
  EXPECT_EQ(std::u16string(r.pszCodingHistory), u"one\r\ntwo");
  EXPECT_EQ(r.WuBWF_GetCodingHistorySize(), 9u);
  ASSERT_EQ(r.WuBWF_SetCodingHistoryA(""), S_OK);
  EXPECT_EQ(r.pszCodingHistory, nullptr);
  EXPECT_FALSE(r.dwFlags & WUBWF_HISTORY_HELD);
}

// A record with every field set.
void Fill(Record* r) {
  char desc[256];
  std::memset(desc, 'd', sizeof desc);  // 256 characters, no terminator
  r->WuBWF_SetDescriptionA(desc);
  char orig[32] = "Originator";
  r->WuBWF_SetOriginatorA(orig);
  char ref[32] = "Ref-42";
  r->WuBWF_SetOriginatorReferenceA(ref);
  r->WuBWF_SetOriginationDateA("2024-05-07");
  r->WuBWF_SetOriginationTimeA("12:34:56");
  r->WuBWF_SetTimeReference(0x100000002ull);
  r->WuBWF_SetVersion(1);
  BYTE umid[64];
  for (int i = 0; i < 64; ++i) umid[i] = static_cast<BYTE>(i);
  r->WuBWF_SetUMID(umid);
  r->WuBWF_SetCodingHistoryA("A=PCM");  // 5 + 2 + 1 = 8 characters
  r->WuBWF_SetTextsValid(1);
  r->WuBWF_SetTimesValid(1);
}

TEST(Bwf, BuildChunk) {
  Record r;
  Fill(&r);
  DWORD size = 0;
  ASSERT_EQ(r.WuBWF_BuildChunk(nullptr, &size), S_OK);
  EXPECT_EQ(size, 610u);
  std::string chunk(610, '\x55');
  size = 609;
  EXPECT_EQ(r.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &size), E_FAIL);
  EXPECT_EQ(size, 610u);
  EXPECT_EQ(chunk, std::string(610, '\x55'));
  ASSERT_EQ(r.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &size), S_OK);
  EXPECT_EQ(chunk.substr(0, 256), std::string(256, 'd'));
  EXPECT_EQ(chunk.substr(256, 11), std::string("Originator\0", 11));
  EXPECT_EQ(chunk.substr(288, 7), std::string("Ref-42\0", 7));
  EXPECT_EQ(chunk.substr(320, 18), "2024-05-0712:34:56");
  EXPECT_EQ(rifftest::At64(chunk, 338), 0x100000002ull);
  EXPECT_EQ(chunk[346], 1);
  EXPECT_EQ(chunk[348 + 63], 63);
  EXPECT_EQ(chunk.substr(602), std::string("A=PCM\r\n\0", 8));
  Record invalid;
  size = 602;
  BYTE b[602];
  EXPECT_EQ(invalid.WuBWF_BuildChunk(b, &size), E_FAIL);
}

const WAVEFORMATEX kPcm = {WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};

// A WAV holding `extra` chunks before its data.
std::string Wav(const std::string& extra) {
  Bytes chunks;
  chunks.Chunk("fmt ", Bytes().U16(1).U16(2).U32(48000).U32(192000).U16(4).U16(16).s).Raw(extra)
      .Chunk("data", std::string(8, '\0'));
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id("WAVE").Raw(chunks.s).s;
}

std::string BuiltChunk() {
  Record r;
  Fill(&r);
  std::string chunk(610, '\0');
  DWORD size = 610;
  r.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &size);
  return chunk;
}

void ExpectFilled(const Record& r) {
  EXPECT_EQ(r.dwFlags, WUBWF_TEXTS_VALID | WUBWF_HISTORY_HELD | WUBWF_TIMES_VALID | WUBWF_RATE_VALID);
  EXPECT_EQ(r.dwSampleRate, 48000u);
  EXPECT_EQ(std::u16string(r.szDescription), std::u16string(256, u'd'));
  EXPECT_EQ(std::u16string(r.szOriginator), u"Originator");
  EXPECT_EQ(std::u16string(r.szOriginatorReference), u"Ref-42");
  EXPECT_EQ(Date(r), u"2024-05-07");
  EXPECT_EQ(Time(r), u"12:34:56");
  EXPECT_EQ(r.qwTimeReference, 0x100000002ull);
  EXPECT_EQ(r.wVersion, 1);
  EXPECT_EQ(r.abUMID[63], 63);
  ASSERT_NE(r.pszCodingHistory, nullptr);
  EXPECT_EQ(std::u16string(r.pszCodingHistory), u"A=PCM\r\n");
}

TEST(BwfFile, LoadsFromWav) {
  std::string chunk = BuiltChunk();
  {
    TempFile f(Wav(""));
    Record r;
    int loaded = 7;
    EXPECT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), S_OK);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(r.dwFlags, WUBWF_RATE_VALID);
    EXPECT_EQ(r.dwSampleRate, 48000u);
  }
  for (const char* id : {"bext", "BEXT"}) {
    SCOPED_TRACE(id);
    TempFile f(Wav(Bytes().Chunk(id, chunk).s));
    Record r;
    int loaded = 0;
    ASSERT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), S_OK);
    EXPECT_EQ(loaded, 1);
    ExpectFilled(r);
  }
  {
    TempFile f(Wav(Bytes().Chunk("bext", chunk.substr(0, 602)).s));
    Record r;
    int loaded = 0;
    ASSERT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), S_OK);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(r.pszCodingHistory, nullptr);
    EXPECT_FALSE(r.dwFlags & WUBWF_HISTORY_HELD);
  }
  // A chunk claiming more than the form holds, and one of 3 bytes.
  for (const std::string& bad : {Bytes().Id("bext").U32(0x7FFFFFF0).Raw(chunk).s,
                                 Bytes().Chunk("bext", "abc").s}) {
    TempFile f(Wav(bad));
    Record r;
    int loaded = 0;
    EXPECT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), RIFF_E_WRONG_FORM);
    EXPECT_EQ(loaded, 0);
    EXPECT_EQ(r.pszCodingHistory, nullptr);
  }
  TempFile not_wave(Bytes().Id("RIFF").U32(4).Id("AVI ").s);
  Record r;
  int loaded = 0;
  EXPECT_EQ(bwfriff_LoadInfo(not_wave.h(), &r, &loaded), RIFF_E_NOT_FOUND);
  EXPECT_EQ(bwfriff_LoadInfo(not_wave.h(), nullptr, &loaded), E_INVALIDARG);
}

// A Wave64 file with its bext chunk.
std::string W64(const std::string& bext) {
  Bytes chunks;
  chunks.Chunk64(kRiff64GuidFmt, Bytes().U16(1).U16(2).U32(48000).U32(192000).U16(4).U16(16).s);
  if (!bext.empty()) chunks.Chunk64(kRiff64GuidBext, bext);
  chunks.Chunk64(kW64GuidData, std::string(8, '\0'));
  return Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave).Raw(chunks.s).s;
}

TEST(BwfFile, LoadsFromWave64AndQuick) {
  std::string chunk = BuiltChunk();
  TempFile f(W64(chunk), GENERIC_READ);
  Record r;
  int loaded = 0;
  ASSERT_EQ(bwfriff64_LoadInfo(f.h(), &r, &loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  ExpectFilled(r);

  Record quick;
  ASSERT_EQ(bwfriff_LoadTimestampInfoQuick(f.Wide().c_str(), &quick, &loaded, TRUE), S_OK);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(quick.dwFlags, WUBWF_TIMES_VALID | WUBWF_RATE_VALID);
  EXPECT_EQ(Date(quick), u"2024-05-07");
  EXPECT_EQ(quick.qwTimeReference, 0x100000002ull);
  EXPECT_EQ(quick.szDescription[0], 0);
  // No record in the file: not loaded.
  TempFile plain(Wav(""), GENERIC_READ);
  loaded = 5;
  EXPECT_EQ(bwfriff_LoadTimestampInfoQuick(plain.Wide().c_str(), &quick, &loaded, FALSE), S_OK);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(bwfriff_LoadTimestampInfoQuick(u"/nonexistent/x.wav", &quick, &loaded, FALSE),
            RIFF_E_OPEN);
  EXPECT_EQ(loaded, 0);
}

TEST(BwfFile, UpdateAndDeleteWav) {
  std::string chunk = BuiltChunk();
  // Append: no chunk yet.
  std::string file = Wav("");
  TempFile f(file);
  DWORD written = 0;
  ASSERT_EQ(bwfriff_UpdateStreamChunk(f.h(), RiffId("bext"), chunk.data(), 610, &written), S_OK);
  EXPECT_EQ(written, 618u);
  std::string appended = f.Contents();
  EXPECT_EQ(appended.substr(0, 4) + appended.substr(8, file.size() - 8),
            file.substr(0, 4) + file.substr(8));
  EXPECT_EQ(rifftest::At32(appended, 4), file.size() - 8 + 618);
  EXPECT_EQ(appended.substr(file.size()), Bytes().Chunk("bext", chunk).s);
  // In place: a smaller chunk leaves zeros behind it.
  std::string smaller = chunk.substr(0, 603);
  ASSERT_EQ(bwfriff_UpdateStreamChunk(f.h(), RiffId("bext"), smaller.data(), 603, &written), S_OK);
  EXPECT_EQ(written, 0u);
  std::string in_place = f.Contents();
  EXPECT_EQ(in_place.substr(file.size() + 8), smaller + std::string(7, '\0'));
  // Too small: the old chunk becomes "JUNK" and the new one is appended.
  std::string larger = chunk + "more";
  ASSERT_EQ(bwfriff_UpdateStreamChunk(f.h(), RiffId("bext"), larger.data(), 614, &written), S_OK);
  EXPECT_EQ(written, 622u);
  std::string after = f.Contents();
  EXPECT_EQ(after.substr(file.size(), 4), "JUNK");
  EXPECT_EQ(after.substr(file.size() + 618), Bytes().Chunk("bext", larger).s);
  EXPECT_EQ(rifftest::At32(after, 4), after.size() - 8);
  // What was written loads.
  Record r;
  int loaded = 0;
  ASSERT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), S_OK);
  EXPECT_EQ(std::u16string(r.pszCodingHistory), u"A=PCM\r\n");

  // Delete-all takes both chunks of a file holding two.
  TempFile two(Wav(Bytes().Chunk("bext", chunk).Chunk("BEXT", smaller).s));
  LONG removed = 0;
  ASSERT_EQ(bwfriff_DeleteAllChunks(two.h(), &removed), S_OK);
  EXPECT_EQ(removed, 618 + 612);
  EXPECT_EQ(two.Contents(), Wav(""));
  loaded = 3;
  EXPECT_EQ(bwfriff_LoadInfo(two.h(), &r, &loaded), S_OK);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(bwfriff_DeleteAllChunks(two.h(), &removed), S_OK);
  EXPECT_EQ(removed, 0);
}

TEST(BwfFile, UpdateAndDeleteWave64) {
  std::string chunk = BuiltChunk();
  std::string file = W64("");
  TempFile f(file);
  ULONGLONG written = 0;
  ASSERT_EQ(bwfriff64_UpdateStreamChunk(f.h(), chunk.data(), 610, &written), S_OK);
  EXPECT_EQ(written, 616u + 24);
  std::string appended = f.Contents();
  EXPECT_EQ(rifftest::At64(appended, 16), appended.size());
  EXPECT_EQ(appended.substr(file.size()), Bytes().Guid(kRiff64GuidBext).U64(616 + 24).Raw(chunk).Zeros(6).s);
  ASSERT_EQ(bwfriff64_UpdateStreamChunk(f.h(), chunk.data(), 602, &written), S_OK);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(f.Contents().substr(file.size() + 24), chunk.substr(0, 602) + std::string(14, '\0'));
  std::string larger = chunk + std::string(20, 'z');
  ASSERT_EQ(bwfriff64_UpdateStreamChunk(f.h(), larger.data(), larger.size(), &written), S_OK);
  EXPECT_EQ(written, 632u + 24);
  std::string after = f.Contents();
  EXPECT_EQ(after.substr(file.size(), 16), Bytes().Guid(kW64GuidJunk).s);
  EXPECT_EQ(rifftest::At64(after, 16), after.size());
  Record r;
  int loaded = 0;
  ASSERT_EQ(bwfriff64_LoadInfo(f.h(), &r, &loaded), S_OK);
  EXPECT_EQ(std::u16string(r.szDescription), std::u16string(256, u'd'));

  // Delete-all takes both chunks of a file holding two.
  Bytes chunks;
  chunks.Chunk64(kRiff64GuidFmt, std::string(16, '\1')).Chunk64(kRiff64GuidBext, chunk)
      .Chunk64(kRiff64GuidBext, chunk.substr(0, 602));
  TempFile two(Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave)
                   .Raw(chunks.s).s);
  ULONGLONG removed = 0;
  ASSERT_EQ(bwfriff64_DeleteAllChunks(two.h(), &removed), S_OK);
  EXPECT_EQ(removed, (616u + 24) + (608u + 24));
  EXPECT_EQ(two.Contents().size(), 40u + 40);
}

TEST(BwfMeta, LoadsThroughTheReader) {
  using metatest::TestReadMeta;
  using metatest::Utf16Bytes;
  TestReadMeta reader;
  reader.fields[0] = Utf16Bytes(std::u16string(300, u'x'));  // longer than the field
  reader.fields[1] = Utf16Bytes(u"Maker");
  reader.fields[2] = Utf16Bytes(u"");
  reader.fields[3] = Utf16Bytes(u"2024/02/30");
  reader.fields[4] = Utf16Bytes(u"25:00:00");
  reader.fields[5] = Bytes().U64(44100).s;
  reader.fields[6] = Bytes().U16(2).s;
  reader.fields[7] = std::string(63, 'u');  // wrong size: left as it is
  reader.fields[8] = std::string(190, 'r');
  reader.fields[9] = Utf16Bytes(u"A=PCM").substr(0, 10);
  Record r;
  int loaded = 0;
  ASSERT_EQ(bwfmeta_LoadInfo(&reader, &r, &loaded), S_OK);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(std::u16string(r.szDescription), std::u16string(256, u'x'));
  EXPECT_EQ(std::u16string(r.szOriginator), u"Maker");
  EXPECT_EQ(r.szOriginatorReference[0], 0);
  EXPECT_EQ(Date(r), u"2024/02/29");
  EXPECT_EQ(Time(r), u"23:00:00");
  EXPECT_EQ(r.qwTimeReference, 44100u);
  EXPECT_EQ(r.wVersion, 2);
  EXPECT_EQ(r.abUMID[0], 0);
  EXPECT_EQ(r.abReserved[189], 'r');
  EXPECT_EQ(std::u16string(r.pszCodingHistory), u"A=PCM\r\n");
  EXPECT_EQ(reader.refs(), 0u);
  EXPECT_EQ(reader.live(), 0);

  // A 0-byte text stream ends the load.
  reader.fields[1] = "";
  Record r2;
  EXPECT_EQ(bwfmeta_LoadInfo(&reader, &r2, &loaded), BWF_E_STREAM_SIZE);
  EXPECT_EQ(loaded, 0);
  EXPECT_EQ(reader.refs(), 0u);
  EXPECT_EQ(reader.live(), 0);
  // A missing field, and a time reference of the wrong size.
  reader.fields.erase(1);
  EXPECT_EQ(bwfmeta_LoadInfo(&reader, &r2, &loaded), RIFF_E_NOT_FOUND);
  reader.fields[1] = Utf16Bytes(u"Maker");
  reader.fields[5] = Bytes().U32(1).s;
  EXPECT_EQ(bwfmeta_LoadInfo(&reader, &r2, &loaded), BWF_E_STREAM_SIZE);
  EXPECT_EQ(r2.pszCodingHistory, nullptr);
  EXPECT_EQ(reader.live(), 0);
  // A coding history of an odd number of bytes: the last byte is dropped.
  reader.fields[5] = Bytes().U64(1).s;
  reader.fields[9] = Utf16Bytes(u"AB").substr(0, 5);
  Record r3;
  ASSERT_EQ(bwfmeta_LoadInfo(&reader, &r3, &loaded), S_OK);
  EXPECT_EQ(std::u16string(r3.pszCodingHistory), u"AB\r\n");
  // No broadcast-wave kind.
  reader.has_bwf = false;
  EXPECT_EQ(bwfmeta_LoadInfo(&reader, &r2, &loaded), E_NOINTERFACE);
  EXPECT_EQ(reader.refs(), 0u);
  EXPECT_EQ(reader.ReservedOperation(nullptr), E_NOTIMPL);
}

}  // namespace
