// CD-audio track files.
#include <gtest/gtest.h>

#include "mediaformats/Riff.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;
using rifftest::TempFile;

namespace {

// Track 7 of disc 0x12345678: start sector 150, start 2:03.04, 9000
// sectors long (2:00.00).
std::string TrackRecord() {
  return Bytes().U16(1).U16(7).U32(0x12345678).U32(150).U32(9000).Raw("\x04\x03\x02").Zeros(1)
      .Raw(std::string("\x00\x00\x02", 3)).Zeros(1).s;
}
std::string TrackFile(const char* form, const std::string& fmt) {
  Bytes body;
  body.Id(form).Chunk("junk", "x").Chunk("fmt ", fmt);
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body.s).s;
}

TEST(RiffCddaTest, TrackRecordAndStartFrames) {
  TempFile file(TrackFile("CDDA", TrackRecord()), GENERIC_READ);
  tRIFFCDDAFORMAT record;
  ASSERT_EQ(riff_ReadRIFFCDDA(file.h(), &record), S_OK);
  EXPECT_EQ(record.wVersion, 1);
  EXPECT_EQ(record.wTrack, 7);
  EXPECT_EQ(record.dwSerial, 0x12345678u);
  EXPECT_EQ(record.dwStartSector, 150u);
  EXPECT_EQ(record.dwLengthSectors, 9000u);
  EXPECT_EQ(record.bStartMinute, 2);
  EXPECT_EQ(record.bLengthMinute, 2);

  DWORD track = 0, sector = 0, frames = 0, length = 0, serial = 0;
  ASSERT_EQ(riff_ReadCDAFile(file.Wide().c_str(), &track, &sector, &frames, &length, &serial), S_OK);
  EXPECT_EQ(track, 7u);
  EXPECT_EQ(sector, 150u);
  EXPECT_EQ(frames, 2u * 4500 + 3 * 75 + 4);
  EXPECT_EQ(length, 9000u);
  EXPECT_EQ(serial, 0x12345678u);
  EXPECT_EQ(riff_ReadCDAFile(file.Wide().c_str(), nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
}

TEST(RiffCddaTest, FilesThatAreNotTracks) {
  struct {
    std::string bytes;
    HRESULT expected;
  } const kCases[] = {
      {TrackFile("WAVE", TrackRecord()), RIFF_E_WRONG_FORM},
      {TrackFile("CDDA", TrackRecord() + "xx"), RIFF_E_CDDA_FORMAT},
      {TrackFile("CDDA", "short"), RIFF_E_CDDA_FORMAT},
      {TrackFile("CDDA", TrackRecord()).substr(0, 40), RIFF_E_READ},
      {"RIFX", RIFF_E_READ},
  };
  for (const auto& c : kCases) {
    TempFile file(c.bytes, GENERIC_READ);
    // Outs are filled from the zeroed record whatever failed.
    DWORD track = 9, sector = 9, frames = 9, length = 9, serial = 9;
    EXPECT_EQ(riff_ReadCDAFile(file.Wide().c_str(), &track, &sector, &frames, &length, &serial),
              c.expected);
    EXPECT_EQ(track + sector + frames + length + serial, 0u);
  }
  TempFile file("");
  std::u16string missing = file.Wide() + u".none";
  DWORD track = 9;
  EXPECT_EQ(riff_ReadCDAFile(missing.c_str(), &track, nullptr, nullptr, nullptr, nullptr), RIFF_E_OPEN);
}

}  // namespace
