// Metadata written into AIFF and WAV files, byte for byte and as libsndfile
// and soxi read them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "mediaformats/Iff.h"
#include "mediaformats/WuFMMeta.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/InteropTools.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using metatest::InfoItem;
using metatest::Le32;
using metatest::Le64;
using metatest::MarkerItem;
using metatest::MetaStream;
using metatest::ReaderStream;
using metatest::TestReadMeta;
using rifftest::Bytes;

namespace {

using ifftest::BeBytes;

constexpr uint32_t kFrames = 200;

std::string AiffChunks() {
  return BeBytes()
      .Chunk("COMM", ifftest::Comm(1, kFrames, 16, 8000))
      .Chunk("SSND", ifftest::Ssnd(0, std::string(2 * kFrames, '\x01')))
      .s;
}

std::string Aiff(const std::string& chunks) { return ifftest::Form("AIFF", chunks); }

std::string Wav() {
  std::string body = Bytes().Id("WAVE")
                         .Chunk("fmt ", Bytes().U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16).s)
                         .Chunk("data", std::string(2 * kFrames, '\x01')).s;
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body).s;
}

// The sampler item: header (unity note 60, 3 loops in the header's count),
// a forward loop at 10 for 20 samples, a backward loop at 100 for 50, and a
// third loop beyond 32 bits that neither file can hold.
std::string Sampler() {
  std::string header = Bytes().U32(0).U32(0).U32(125000).U32(60).U32(0).U32(0).U32(0).U32(3).U32(0).s;
  auto loop = [](uint32_t id, uint32_t type, uint64_t start, uint64_t length) {
    return Le32(id) + Le32(type) + Le64(start) + Le64(length) + Le32(0) + Le32(0);
  };
  return header + loop(1, 0, 10, 20) + loop(2, 2, 100, 50) + loop(3, 0, 1ULL << 32, 1);
}

struct Folder {
  std::string dir = wutest::MakeTempDir("metai");
  std::string Full(const std::string& name) const { return dir + "/" + name; }
  std::u16string Path(const std::string& name) const { return wutest::U16(Full(name)); }
};

TEST(FMMetaAiff, InstAndMarkFromTheSamplerStream) {
  TestReadMeta reader;
  reader.meta_streams = {MetaStream(kMetaGuidSampler, {Sampler()})};
  Folder folder;
  // An old "MARK" and "INST" are replaced.
  wutest::WriteBytes(folder.Full("m.aif"),
                     Aiff(AiffChunks() + BeBytes().Chunk("INST", std::string(20, '\x05')).Chunk("MARK", BeBytes().U16(0).s).s));
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.aif").c_str(), FALSE, 8000, &reader,
                                              WUFIO_META_AIFF_MARKERS, 0),
            S_OK);
  // Marker ids 1..4; the backward loop plays forward (mode 1); end markers
  // stand at start + length.
  std::string inst = BeBytes().Raw(std::string("\x3C\0\0\x7F\0\x7F", 6)).U16(0)
                         .U16(1).U16(1).U16(2).U16(1).U16(3).U16(4).s;
  std::string name_begin = std::string("\x08") + "beg loop" + std::string(1, '\0');
  std::string name_end = std::string("\x08") + "end loop" + std::string(1, '\0');
  std::string mark = BeBytes().U16(4).U16(1).U32(10).Raw(name_begin).U16(2).U32(30).Raw(name_end)
                         .U16(3).U32(100).Raw(name_begin).U16(4).U32(150).Raw(name_end).s;
  EXPECT_EQ(wutest::ReadBytes(folder.Full("m.aif")),
            Aiff(AiffChunks() + BeBytes().Chunk("INST", inst).Chunk("MARK", mark).s));
  EXPECT_EQ(reader.live(), 0);
}

TEST(FMMetaInterop, LibsndfileAndSoxiReadWhatWasWritten) {
#if WU_HAVE_SNDFILE
  TestReadMeta reader;
  reader.meta_streams = {
      MetaStream(kMetaGuidMarkers, {MarkerItem(5, 12, kMetaPlainMarkerLength, u"one"),
                                    MarkerItem(6, 40, 10, u"two")}),
      MetaStream(kMetaGuidInfo, {InfoItem("INAM", u"The title"), InfoItem("ICMT", u"A comment")}),
      MetaStream(kMetaGuidSampler, {Sampler()}),
      MetaStream(kMetaGuidBwf, {Le32(12) + Le32(0) + Le32(10) + metatest::Utf16Bytes(u"Desc")}),
  };
  Folder folder;
  wutest::WriteBytes(folder.Full("m.wav"), Wav());
  wutest::WriteBytes(folder.Full("m.aif"), Aiff(AiffChunks()));
  std::string soxi = interop::FindTool("soxi");
  interop::AudioFacts wav_before, aif_before;
  if (!soxi.empty()) {
    wav_before = interop::Soxi(soxi, folder.Full("m.wav"));
    aif_before = interop::Soxi(soxi, folder.Full("m.aif"));
  }
  const DWORD kinds = WUFIO_META_MARKERS | WUFIO_META_INFO | WUFIO_META_SAMPLER |
                      WUFIO_META_AIFF_MARKERS | WUFIO_META_BWF;
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), FALSE, 8000, &reader,
                                              kinds & ~WUFIO_META_AIFF_MARKERS, 0),
            S_OK);
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.aif").c_str(), FALSE, 8000, &reader,
                                              WUFIO_META_AIFF_MARKERS, 0),
            S_OK);

  SF_INFO info = {};
  SNDFILE* sf = sf_open(folder.Full("m.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr);
  EXPECT_EQ(info.frames, kFrames);
  SF_CUES cues = {};
  ASSERT_EQ(sf_command(sf, SFC_GET_CUE, &cues, sizeof cues), SF_TRUE);
  ASSERT_EQ(cues.cue_count, 2u);
  EXPECT_EQ(cues.cue_points[0].indx, 5);
  EXPECT_EQ(cues.cue_points[0].position, 12u);
  EXPECT_EQ(cues.cue_points[1].indx, 6);
  EXPECT_EQ(cues.cue_points[1].sample_offset, 40u);
  SF_INSTRUMENT wav_inst = {};
  ASSERT_EQ(sf_command(sf, SFC_GET_INSTRUMENT, &wav_inst, sizeof wav_inst), SF_TRUE);
  ASSERT_EQ(wav_inst.loop_count, 2);
  EXPECT_EQ(wav_inst.basenote, 60);
  const char* title = sf_get_string(sf, SF_STR_TITLE);
  const char* comment = sf_get_string(sf, SF_STR_COMMENT);
  EXPECT_STREQ(title ? title : "", "The title");
  EXPECT_STREQ(comment ? comment : "", "A comment");
  SF_BROADCAST_INFO bext = {};
  ASSERT_EQ(sf_command(sf, SFC_GET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
  EXPECT_EQ(std::string(bext.description), "Desc");
  sf_close(sf);

  SF_INFO aif_info = {};
  sf = sf_open(folder.Full("m.aif").c_str(), SFM_READ, &aif_info);
  ASSERT_NE(sf, nullptr);
  SF_INSTRUMENT aif_inst = {};
  ASSERT_EQ(sf_command(sf, SFC_GET_INSTRUMENT, &aif_inst, sizeof aif_inst), SF_TRUE);
  sf_close(sf);
  // The same loops in both: start and end agree.
  ASSERT_EQ(aif_inst.loop_count, 2);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(aif_inst.loops[i].start, wav_inst.loops[i].start);
    EXPECT_EQ(aif_inst.loops[i].end, wav_inst.loops[i].end);
  }
  EXPECT_EQ(wav_inst.loops[0].start, 10u);
  EXPECT_EQ(aif_inst.loops[1].start, 100u);

  if (!soxi.empty()) {
    interop::AudioFacts wav_after = interop::Soxi(soxi, folder.Full("m.wav"));
    interop::AudioFacts aif_after = interop::Soxi(soxi, folder.Full("m.aif"));
    EXPECT_EQ(wav_after.frames, wav_before.frames);
    EXPECT_EQ(wav_after.rate, wav_before.rate);
    EXPECT_EQ(aif_after.frames, aif_before.frames);
    EXPECT_EQ(wav_before.frames, kFrames);
  }
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

}  // namespace
