// Writing a reader's metadata into RIFF media files and side files.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>

#include "mediaformats/WuBwf.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuFMMeta.h"
#include "mediaformats/Riff64.h"
#include "platform/kernel/handles.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using metatest::InfoItem;
using metatest::Le32;
using metatest::Le64;
using metatest::MarkerItem;
using metatest::MetaStream;
using metatest::ReaderStream;
using metatest::RegionItem;
using metatest::TestReadMeta;
using rifftest::Bytes;

namespace {

std::string Form(const char* type, const std::string& chunks) {
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id(type).Raw(chunks).s;
}

const std::string kAudio =
    Bytes().Chunk("fmt ", Bytes().U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16).s)
        .Chunk("data", std::string(16, '\x11')).s;

struct Folder {
  std::string dir = wutest::MakeTempDir("metaw");
  std::u16string Path(const std::string& name) const { return wutest::U16(dir + "/" + name); }
  std::string Read(const std::string& name) const { return wutest::ReadBytes(dir + "/" + name); }
  void Write(const std::string& name, const std::string& bytes) const {
    wutest::WriteBytes(dir + "/" + name, bytes);
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(dir + "/" + name); }
};

std::string Utf16(const std::u16string& t) { return metatest::Utf16Bytes(t); }

TEST(FMMetaWrite, EveryStreamKindIntoAWav) {
  const uint64_t far = 1ULL << 33;
  std::string plst(24, 'p');
  std::string scot(10, 's');
  std::string sampler = Bytes().U32(1).U32(2).U32(3).U32(60).U32(0).U32(0).U32(0).U32(2).U32(5).s +
                        Le32(7) + Le32(0) + Le64(10) + Le64(20) + Le32(0) + Le32(3) +  // loop
                        Le32(8) + Le32(0) + Le64(1ULL << 32) + Le64(5) + Le32(0) + Le32(0);
  std::string wu04 = MetaStream(kMetaGuidWu04, {"abc"});
  TestReadMeta reader;
  reader.meta_streams = {
      MetaStream(kMetaGuidMarkers, {MarkerItem(1, 100, kMetaPlainMarkerLength, u"A"),
                                    MarkerItem(2, 200, 50, u"Reg"),
                                    MarkerItem(3, far, kMetaPlainMarkerLength, u"Far")}),
      MetaStream(kMetaGuidInfo, {InfoItem("INAM", u"Title")}),
      MetaStream(kMetaGuidPlaylist, {plst}),
      MetaStream(kMetaGuidScot, {scot}),
      MetaStream(kMetaGuidSampler, {sampler}),
      MetaStream(kMetaGuidDisplay, {Le32(1) + Le32(2) + "hi", Le32(5) + Le32(1) + "x",
                                    Le32(8) + Le32(3) + "pic"}),
      wu04,
      MetaStream(kMetaGuidTracklist, {}),  // no items: nothing written
      MetaStream(kMetaGuidBookmarks, {std::string(52, 'b'), std::string(52, 'c')}),
      MetaStream(kMetaGuidBeats, {std::string(12, 'd')}),
      MetaStream(kMetaGuidBmpm, {std::string(56, 'm')}),
      MetaStream(kMetaGuidStr2, {std::string(20, '2')}),
      MetaStream(kMetaGuidBmpi, {std::string(47, 'i')}),
  };
  // The reader's own markers and summary are not used once the streams
  // wrote those kinds.
  reader.region = ReaderStream({RegionItem(9, 0, 0, false, u"unused")});
  reader.summary = ReaderStream({InfoItem("ICMT", u"unused")});
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio));
  const DWORD kinds = 0xFFFFFFFF & ~WUFIO_META_AIFF_MARKERS;
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), FALSE, 8000, &reader,
                                              kinds, 0),
            S_OK);
  std::string expected =
      kAudio +
      Bytes().Chunk("cue ", Bytes().U32(2).U32(1).U32(100).Id("data").U32(0).U32(0).U32(100)
                                .U32(2).U32(200).Id("data").U32(0).U32(0).U32(200).s)
          .Chunk("LIST", Bytes().Id("adtl")
                             .Chunk("ltxt", Bytes().U32(2).U32(50).Id("rgn ").Zeros(8).s)
                             .Chunk("labl", Bytes().U32(1).Raw(std::string("A\0", 2)).s)
                             .Chunk("labl", Bytes().U32(2).Raw(std::string("Reg\0", 4)).s).s)
          .Chunk("wu01", Bytes().U32(1).U32(3).U32(0).U64(far).U64(kMetaPlainMarkerLength).U32(8)
                             .U32(0).Raw(Utf16(u"Far")).s)
          .Chunk("LIST", Bytes().Id("INFO").Chunk("INAM", std::string("Title\0", 6)).s)
          .Chunk("plst", Bytes().U32(1).Raw(plst).s)
          .Chunk("scot", scot)
          .Chunk("smpl", Bytes().U32(1).U32(2).U32(3).U32(60).U32(0).U32(0).U32(0).U32(1).U32(0)
                             .U32(7).U32(0).U32(10).U32(29).U32(0).U32(3).s)
          .Chunk("DISP", Bytes().U32(1).Raw("hi").s)
          .Chunk("DISP", Bytes().U32(8).Raw("pic").s)
          .Chunk("wu04", wu04)
          .Chunk("bmrk", Bytes().U32(2).Raw(std::string(52, 'b')).Raw(std::string(52, 'c')).s)
          .Chunk("dtbt", Bytes().U32(1).Raw(std::string(12, 'd')).s)
          .Chunk("bmpm", Bytes().U32(1).Raw(std::string(56, 'm')).s)
          .Chunk("str2", std::string(20, '2'))
          .Chunk("bmpi", std::string(47, 'i')).s;
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", expected));
  EXPECT_EQ(reader.live(), 0);
  EXPECT_EQ(reader.refs(), 0u);
  EXPECT_FALSE(folder.Exists("m.wav.wul"));

  // Written again without "fresh": one set of chunks per kind.
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), FALSE, 8000, &reader,
                                              kinds, 0),
            S_OK);
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", expected));
  // With "fresh" nothing is deleted first.
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader,
                                              WUFIO_META_SCOT, 0),
            S_OK);
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", expected + Bytes().Chunk("scot", scot).s));
}

TEST(FMMetaWrite, ReaderMarkersAndSummaryWithTimesInSamples) {
  TestReadMeta reader;
  reader.has_enum = false;
  // 1 s and 0.5 s at 44100 Hz; 1/3 s rounds to nearest (14700); a region.
  reader.region = ReaderStream({RegionItem(40, 10000000, kMetaPlainMarkerLength, false, u""),
                                RegionItem(41, 3333333, 5000000, true, u"R")});
  reader.summary = ReaderStream({InfoItem("ICMT", u"note"), InfoItem("INAM", u"name")});
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio));
  ASSERT_EQ(WuFMMeta_WriteMetaStream(folder.Path("m.wav").c_str(), FALSE, 44100, &reader), S_OK);
  std::string expected =
      kAudio +
      Bytes().Chunk("cue ", Bytes().U32(2).U32(1).U32(44100).Id("data").U32(0).U32(0).U32(44100)
                                .U32(2).U32(147000 / 10).Id("data").U32(0).U32(0).U32(14700).s)
          .Chunk("LIST", Bytes().Id("adtl")
                             .Chunk("ltxt", Bytes().U32(2).U32(22050).Id("rgn ").Zeros(8).s)
                             .Chunk("labl", Bytes().U32(2).Raw(std::string("R\0", 2)).s).s)
          .Chunk("LIST", Bytes().Id("INFO").Chunk("ICMT", std::string("note\0", 5))
                             .Chunk("INAM", std::string("name\0", 5)).s).s;
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", expected));
  EXPECT_EQ(WuFMMeta_LookForMarkers(folder.Path("m.wav").c_str()), S_OK);
  EXPECT_EQ(reader.live(), 0);
}

// A reader with one marker (id 4 at sample 8) and the title "t", and the
// chunks they become.
void SetMarkerAndTitle(TestReadMeta* reader) {
  reader->meta_streams = {MetaStream(kMetaGuidMarkers, {MarkerItem(4, 8, kMetaPlainMarkerLength, u"")})};
  reader->summary = ReaderStream({InfoItem("INAM", u"t")});
}
const std::string kMarkerAndTitle =
    Bytes().Chunk("cue ", Bytes().U32(1).U32(4).U32(8).Id("data").U32(0).U32(0).U32(8).s)
        .Chunk("LIST", Bytes().Id("INFO").Chunk("INAM", std::string("t\0", 2)).s).s;

TEST(FMMetaWrite, SideFileLeavesTheMediaUnopenedAndOthersSideFilesAlone) {
  TestReadMeta reader;
  SetMarkerAndTitle(&reader);
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio));
  auto stamp = std::filesystem::last_write_time(folder.dir + "/m.wav");
  // The replacing-form name belongs to another media file and survives; a
  // stale side file of this media file is replaced.
  std::string foreign = Form("WUPL", Bytes().Chunk("WUPI", std::string("m.aif\0", 6)).s);
  folder.Write("m.wul", foreign);
  folder.Write("m.wav.wul", Form("WUPL", Bytes().Chunk("scot", "x").Chunk("WUPI", std::string("m.wav\0", 6)).s));
  ASSERT_EQ(WuFMMeta_WriteMetaStream(folder.Path("m.wav").c_str(), TRUE, 8000, &reader), S_OK);
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", kAudio));
  EXPECT_EQ(std::filesystem::last_write_time(folder.dir + "/m.wav"), stamp);
  EXPECT_EQ(folder.Read("m.wul"), foreign);
  std::string side = kMarkerAndTitle + Bytes().Chunk("WUPI", std::string("m.wav\0", 6)).s;
  EXPECT_EQ(folder.Read("m.wav.wul"), Form("WUPL", side));

  // The update form on the existing pair, twice: the side file keeps one
  // set of chunks and one owner chunk, the last.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(WuFMMeta_UpdateMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader, 0x5),
              S_OK);
    EXPECT_EQ(folder.Read("m.wav.wul"), Form("WUPL", side));
    EXPECT_TRUE(WuFMMeta_IsMetaFile(folder.Path("m.wav").c_str(), folder.Path("m.wav.wul").c_str()));
  }
  // Markers moved to the media file leave the side file.
  ASSERT_EQ(WuFMMeta_UpdateMetaStream(folder.Path("m.wav").c_str(), FALSE, 8000, &reader), S_OK);
  EXPECT_EQ(folder.Read("m.wav.wul"),
            Form("WUPL", Bytes().Chunk("LIST", Bytes().Id("INFO").Chunk("INAM", std::string("t\0", 2)).s)
                             .Chunk("WUPI", std::string("m.wav\0", 6)).s));
  EXPECT_EQ(WuFMMeta_LookForMarkers(folder.Path("m.wav").c_str()), S_OK);
  EXPECT_EQ(reader.live(), 0);
  // A media file that cannot be opened.
  EXPECT_EQ(WuFMMeta_WriteMetaStream(folder.Path("none.wav").c_str(), FALSE, 8000, &reader),
            RIFF_E_NOT_FOUND);
}

// A playlist is written as one "plst"; "wu02", the kind's second chunk, is
// removed with it by every form that replaces or deletes the kind.
TEST(FMMetaWrite, PlaylistKindReplacesBothOfItsChunks) {
  const std::string plst(24, 'p');
  const std::string other = Bytes().Chunk("tlst", Bytes().U32(0).s).s;
  const std::string old_chunks =
      Bytes().Chunk("plst", Bytes().U32(1).Raw(std::string(24, 'o')).s).Chunk("wu02", "old2").s;
  const std::string written = Bytes().Chunk("plst", Bytes().U32(1).Raw(plst).s).s;
  struct Case {
    const char* name;
    HRESULT (*run)(LPCWSTR path, IWuReadMeta* reader);
    std::string expected;
  };
  const Case cases[] = {
      {"write",
       [](LPCWSTR path, IWuReadMeta* reader) {
         return WuFMMeta_openAndWriteMetaStreamEx(path, FALSE, 8000, reader, WUFIO_META_PLAYLIST, 0);
       },
       written},
      {"update",
       [](LPCWSTR path, IWuReadMeta* reader) {
         return WuFMMeta_UpdateMetaStreamEx(path, FALSE, 8000, reader, WUFIO_META_PLAYLIST);
       },
       written},
      {"delete",
       [](LPCWSTR path, IWuReadMeta*) {
         return WuFMMeta_DeleteMetaChunksEx(path, WUFIO_META_PLAYLIST, FALSE);
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestReadMeta reader;
    reader.meta_streams = {MetaStream(kMetaGuidPlaylist, {plst})};
    Folder folder;
    folder.Write("m.wav", Form("WAVE", kAudio + old_chunks + other));
    ASSERT_EQ(c.run(folder.Path("m.wav").c_str(), &reader), S_OK);
    EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", kAudio + other + c.expected));
    EXPECT_EQ(reader.live(), 0);
  }
}

// The name "m.wav" appends is the replacing-form name of "m.wav.aif": a
// side file there that names that file keeps its metadata on every path.
TEST(FMMetaWrite, SideFileOfAnotherMediaFileIsNeverTruncated) {
  const std::string foreign =
      Form("WUPL", Bytes().Chunk("scot", "theirs").Chunk("WUPI", std::string("m.wav.aif\0", 10)).s);
  using Run = HRESULT (*)(LPCWSTR path, IWuReadMeta* reader);
  const std::pair<const char*, Run> cases[] = {
      {"write", [](LPCWSTR p, IWuReadMeta* r) {
         return WuFMMeta_WriteMetaStreamEx(p, TRUE, 8000, r, WUFIO_META_SCOT);
       }},
      {"update", [](LPCWSTR p, IWuReadMeta* r) {
         return WuFMMeta_UpdateMetaStreamEx(p, TRUE, 8000, r, WUFIO_META_SCOT);
       }},
      {"Wave64 write", [](LPCWSTR p, IWuReadMeta* r) {
         return WuFMMeta64_openAndWriteMetaStream(p, TRUE, 8000, r, 0, WUFIO_META_SCOT);
       }},
      {"Wave64 update", [](LPCWSTR p, IWuReadMeta* r) {
         return WuFMMeta64_UpdateMetaStream(p, 8000, r, 0, WUFIO_META_SCOT);
       }},
  };
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio));
  for (const auto& [name, run] : cases) {
    SCOPED_TRACE(name);
    TestReadMeta reader;
    reader.meta_streams = {MetaStream(kMetaGuidScot, {"mine"})};
    folder.Write("m.wav.wul", foreign);
    const size_t handles = platform::OpenHandleCount();
    EXPECT_EQ(run(folder.Path("m.wav").c_str(), &reader), WU_E_FILE_EXISTS);
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(folder.Read("m.wav.wul"), foreign);
    EXPECT_FALSE(folder.Exists("m.wul"));
    EXPECT_EQ(reader.live(), 0);
  }
  // A side file without an owner chunk (a write that failed midway) is no
  // media file's: it is replaced.
  TestReadMeta reader;
  reader.meta_streams = {MetaStream(kMetaGuidScot, {"mine"})};
  folder.Write("m.wav.wul", Form("WUPL", Bytes().Chunk("scot", "half").s));
  ASSERT_EQ(WuFMMeta_WriteMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader,
                                       WUFIO_META_SCOT),
            S_OK);
  EXPECT_EQ(folder.Read("m.wav.wul"),
            Form("WUPL", Bytes().Chunk("scot", "mine").Chunk("WUPI", std::string("m.wav\0", 6)).s));
}

// "wu03" has no delete-table row and the sampler stream serves two kinds:
// a second write or update still leaves one chunk of each.
TEST(FMMetaWrite, Wu03AndSamplerAreReplacedNotAdded) {
  const std::string wu03 = MetaStream(kMetaGuidWu03, {"w3"});
  const std::string sampler = Bytes().Zeros(28).U32(5).U32(0).s +  // 5 loops claimed
                              Le32(1) + Le32(0) + Le64(10) + Le64(20) + Le32(0) + Le32(0);
  const std::string smpl = Bytes().Zeros(28).U32(1).U32(0).U32(1).U32(0).U32(10).U32(29).U32(0).U32(0).s;
  const std::string expected =
      Form("WAVE", kAudio + Bytes().Chunk("wu03", wu03).Chunk("smpl", smpl).s);
  // Both sampler kinds asked for, as a caller does that does not know the
  // media file's form.
  const DWORD kinds = WUFIO_META_WU03 | WUFIO_META_SAMPLER | WUFIO_META_AIFF_MARKERS;
  TestReadMeta reader;
  reader.meta_streams = {wu03, MetaStream(kMetaGuidSampler, {sampler})};
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio + Bytes().Chunk("smpl", "old smpl").Chunk("wu03", "old").s));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(WuFMMeta_UpdateMetaStream2(folder.Path("m.wav").c_str(), 8000, &reader, kinds, 0), S_OK);
    EXPECT_EQ(folder.Read("m.wav"), expected);
    ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), FALSE, 8000, &reader,
                                                kinds, 0),
              S_OK);
    EXPECT_EQ(folder.Read("m.wav"), expected);
  }
  // The side file takes the sampler too.
  ASSERT_EQ(WuFMMeta_UpdateMetaStream2(folder.Path("m.wav").c_str(), 8000, &reader, 0, kinds), S_OK);
  EXPECT_EQ(folder.Read("m.wav.wul"),
            Form("WUPL", Bytes().Chunk("wu03", wu03).Chunk("smpl", smpl)
                             .Chunk("WUPI", std::string("m.wav\0", 6)).s));
  EXPECT_EQ(reader.live(), 0);
}

// On a disk that takes no more bytes: the "wu03" chunk, which its writer
// replaces itself, stays as it was; a new side file is not left behind
// without its owner chunk.
TEST(FMMetaWrite, FailedWritesKeepOldChunksAndLeaveNoBareSideFile) {
  Folder folder;
  const std::string old = Form("WAVE", kAudio + Bytes().Chunk("wu03", "old").s);
  folder.Write("m.wav", old);
  TestReadMeta reader;
  reader.meta_streams = {MetaStream(kMetaGuidWu03, {"w3"})};
  {
    wutest::FileSizeLimit limit(old.size());
    EXPECT_EQ(WuFMMeta_UpdateMetaStream2(folder.Path("m.wav").c_str(), 8000, &reader,
                                         WUFIO_META_WU03, 0),
              RIFF_E_WRITE);
    EXPECT_EQ(WuFMMeta_WriteMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader,
                                         WUFIO_META_WU03),
              RIFF_E_WRITE);
  }
  {
    // Not even the side file's form header fits.
    wutest::FileSizeLimit limit(4);
    EXPECT_EQ(WuFMMeta_WriteMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader,
                                         WUFIO_META_WU03),
              RIFF_E_WRITE);
  }
  EXPECT_EQ(folder.Read("m.wav"), old);
  EXPECT_FALSE(folder.Exists("m.wav.wul"));
  EXPECT_EQ(reader.live(), 0);
}

// A side file written by an earlier version with its owner chunk first:
// the update through the Wave64 form leaves it last, once.
TEST(FMMetaWrite, Wave64UpdateLeavesTheOwnerChunkLast) {
  TestReadMeta reader;
  SetMarkerAndTitle(&reader);
  Folder folder;
  const std::string wupi = Bytes().Chunk("WUPI", std::string("n.w64\0", 6)).s;
  const std::string kept = Bytes().Chunk("scot", "keep").s;
  folder.Write("n.wul", Form("WUPL", wupi + Bytes().Chunk("cue ", "old!").s + kept));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(WuFMMeta64_UpdateMetaStream(folder.Path("n.w64").c_str(), 1000, &reader, 0, 0x5), S_OK);
    EXPECT_EQ(folder.Read("n.wul"), Form("WUPL", kept + kMarkerAndTitle + wupi));
    EXPECT_TRUE(WuFMMeta_IsMetaFile(folder.Path("n.w64").c_str(), folder.Path("n.wul").c_str()));
  }
  EXPECT_FALSE(folder.Exists("n.w64.wul"));
  EXPECT_EQ(reader.live(), 0);
}

TEST(FMMetaWrite, HostileStreamsFailCleanly) {
  auto header = [](uint32_t size, uint32_t version, uint32_t count) {
    return Le32(size) + Le32(version) + Le32(count) + metatest::GuidBytes(kMetaGuidScot);
  };
  struct Case {
    const char* name;
    std::string stream;
    HRESULT status;
  };
  const Case cases[] = {
      {"header size", header(24, 100, 1), RIFF_E_READ},
      {"version", header(28, 101, 1), RIFF_E_READ},
      {"short header", "abc", RIFF_E_READ},
      {"count beyond the data", header(28, 100, 2).substr(0, 28), RIFF_E_READ},
      {"item larger than the stream",
       header(28, 100, 1) + Le32(28) + Le32(100) + Le32(5000) + metatest::GuidBytes(kMetaGuidScot) + "x",
       WuStatusCode(0x8004E038)},
      {"record too large", MetaStream(kMetaGuidScot, {std::string(425, 'r')}),
       WuStatusCode(0x8004E038)},
      {"marker text beyond its item",
       MetaStream(kMetaGuidMarkers, {Le32(0) + Le32(1) + Le64(0) + Le64(0) + Le32(100)}),
       WuStatusCode(0x8004E038)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestReadMeta reader;
    std::string stream = c.stream;
    // Every hostile stream is given a kind the mask selects.
    reader.meta_streams = {MetaStream(kMetaGuidPlaylist, {std::string(24, 'p')}), stream};
    Folder folder;
    folder.Write("m.wav", Form("WAVE", kAudio));
    const size_t handles = platform::OpenHandleCount();
    EXPECT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), TRUE, 8000, &reader,
                                                0xFFFF, 0),
              c.status);
    // Nothing of a write that failed stays: not even the chunks of the
    // kinds read whole before the fault.
    EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", kAudio));
    // The same fault while updating an existing side file: it stays this
    // media file's.
    folder.Write("m.wav.wul", Form("WUPL", Bytes().Chunk("WUPI", std::string("m.wav\0", 6)).s));
    EXPECT_EQ(WuFMMeta_UpdateMetaStream2(folder.Path("m.wav").c_str(), 8000, &reader, 0, 0xFFFF),
              c.status);
    EXPECT_TRUE(WuFMMeta_IsMetaFile(folder.Path("m.wav").c_str(), folder.Path("m.wav.wul").c_str()));
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(reader.live(), 0);
    EXPECT_EQ(reader.refs(), 0u);
  }
}

}  // namespace

namespace {

std::string BwfField(uint32_t field, const std::string& bytes) {
  return Le32(12) + Le32(field) + Le32(static_cast<uint32_t>(bytes.size())) + bytes;
}

TEST(FMMetaWrite, BroadcastWaveAndRawChunks) {
  // A raw "LIST" replaces the list of its own type only.
  auto list = [](const char* type, const std::string& chunk) {
    return Bytes().Chunk("LIST", Bytes().Id(type).Raw(chunk).s).s;
  };
  const std::string info = list("INFO", Bytes().Chunk("INAM", "keep").s);
  const std::string exif_old = list("exif", Bytes().Chunk("ecor", "old!").s);
  const std::string exif_new = list("exif", Bytes().Chunk("ecor", "new!").s);
  TestReadMeta reader;
  reader.meta_streams = {
      MetaStream(kMetaGuidBwf, {BwfField(0, Utf16(u"Desc")), BwfField(1, Utf16(u"Orig")),
                                BwfField(3, Utf16(u"2024-05-07")), BwfField(4, Utf16(u"10:11:12")),
                                BwfField(5, Utf16(u"123456789012")),
                                BwfField(9, Utf16(u"A=PCM"))}),
      // A raw chunk replacing the file's own, and items that would destroy
      // the format or the audio, skipped.
      MetaStream(kMetaGuidRaw, {Bytes().Chunk("abcd", "new").s, Bytes().Chunk("fmt ", "evil").s,
                                Bytes().Chunk("data", "evil").s, exif_new}),
  };
  Folder folder;
  folder.Write("m.wav", Form("WAVE", kAudio + Bytes().Chunk("abcd", "old").Chunk("bext", "x").s +
                                        info + exif_old));
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(folder.Path("m.wav").c_str(), FALSE, 8000, &reader,
                                              WUFIO_META_BWF | WUFIO_META_RAW, 0),
            S_OK);
  EXPECT_EQ(reader.live(), 0);
  std::string bytes = folder.Read("m.wav");
  // The audio and format stand first as they were; the raw chunk once.
  EXPECT_EQ(bytes.substr(12, kAudio.size()), kAudio);
  EXPECT_EQ(bytes.find("old"), std::string::npos);
  EXPECT_NE(bytes.find(Bytes().Chunk("abcd", "new").s), std::string::npos);
  EXPECT_EQ(bytes.find("evil"), std::string::npos);
  EXPECT_NE(bytes.find(info), std::string::npos);
  EXPECT_EQ(bytes.find("old!"), std::string::npos);
  EXPECT_NE(bytes.find(exif_new), std::string::npos);
  EXPECT_EQ(rifftest::At32(bytes, 4), bytes.size() - 8);

  HANDLE file = CreateFileW(folder.Path("m.wav").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  struct Record : _tagWUBWF_Chunk {
    Record() { WuBWF_Clear(); }
    ~Record() { WuBWFChunk_FreeCodingHistory(); }
  } record;
  int loaded = 0;
  EXPECT_EQ(bwfriff_LoadInfo(file, &record, &loaded), S_OK);
  CloseHandle(file);
  EXPECT_EQ(loaded, 1);
  EXPECT_EQ(std::u16string(record.szDescription), u"Desc");
  EXPECT_EQ(std::u16string(record.szOriginator), u"Orig");
  EXPECT_EQ(std::u16string(record.szOriginationDate), u"2024-05-07");
  EXPECT_EQ(std::u16string(record.szOriginationTime), u"10:11:12");
  EXPECT_EQ(record.qwTimeReference, 123456789012ULL);
  EXPECT_EQ(record.wVersion, 1);
  ASSERT_NE(record.pszCodingHistory, nullptr);
  EXPECT_EQ(std::u16string(record.pszCodingHistory), u"A=PCM\r\n");
}

}  // namespace

namespace {

std::string Form64(const std::string& chunks) {
  return Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave).Raw(chunks).s;
}

TEST(FMMetaWrite, Wave64TakesGuidChunksAndSparesOtherSideFiles) {
  const std::string audio = Bytes().Chunk64(kRiff64GuidFmt, std::string(16, '\x01'))
                                .Chunk64(kW64GuidData, std::string(12, '\x22')).s;
  TestReadMeta reader;
  reader.meta_streams = {MetaStream(kMetaGuidScot, {"rec"}),
                         MetaStream(kMetaGuidDisplay, {Le32(8) + Le32(5) + "image"})};
  // The reader's markers: ids are 0-based places in a Wave64 file.
  reader.region = ReaderStream({RegionItem(70, 10000000, kMetaPlainMarkerLength, false, u"M"),
                                RegionItem(71, 20000000, 10000000, true, u"")});
  reader.summary = ReaderStream({InfoItem("INAM", u"abc")});
  Folder folder;
  folder.Write("m.w64", Form64(audio));
  std::string foreign = Form("WUPL", Bytes().Chunk("WUPI", std::string("other.w64\0", 10)).s);
  folder.Write("m.w64.wul", foreign);
  ASSERT_EQ(WuFMMeta64_openAndWriteMetaStream(folder.Path("m.w64").c_str(), FALSE, 1000, &reader,
                                              0xFFFFFFFF, 0),
            S_OK);
  std::string markers = Bytes().U32(2)
                            .U32(0).U32(0).U64(1000).U64(kMetaPlainMarkerLength).U32(4).U32(0)
                            .Raw(Utf16(u"M"))
                            .U32(1).U32(0).U64(2000).U64(1000).U32(2).U32(0).Zeros(2).s;
  std::string info = Bytes().Id("LIST").U32(16).Id("INFO").Id("INAM").U32(4).Raw(std::string("abc\0", 4)).s;
  std::string bytes = folder.Read("m.w64");
  // The display chunk's stored size counts its padding.
  std::string display = Bytes().Guid(kMetaGuidDisplay).U64(40).U32(8).Raw("image").Zeros(3).s;
  EXPECT_NE(bytes.find(display), std::string::npos);
  EXPECT_EQ(rifftest::At64(bytes, 16), bytes.size());
  EXPECT_EQ(bytes.substr(40, audio.size()), audio);
  EXPECT_NE(bytes.find(Bytes().Chunk64(kMetaGuidMarkers, markers).s), std::string::npos);
  EXPECT_NE(bytes.find(Bytes().Chunk64(kMetaGuidInfo, info).s), std::string::npos);
  EXPECT_NE(bytes.find(Bytes().Chunk64(kMetaGuidScot, "rec").s), std::string::npos);
  EXPECT_EQ(folder.Read("m.w64.wul"), foreign);
  EXPECT_EQ(reader.live(), 0);

  // The update form replaces rather than adds.
  ASSERT_EQ(WuFMMeta64_UpdateMetaStream(folder.Path("m.w64").c_str(), 1000, &reader, 0xFFFFFFFF, 0),
            S_OK);
  EXPECT_EQ(folder.Read("m.w64").size(), bytes.size());
  // Delete by kind through the RIFF64 table leaves the audio.
  EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("m.w64").c_str(), 0xFFFFFFFF, TRUE), S_OK);
  EXPECT_EQ(folder.Read("m.w64"), Form64(audio));
}

}  // namespace

namespace {

TEST(FMMetaWrite, HostileReaderStreams) {
  struct Case {
    const char* name;
    std::string region, summary;
    HRESULT status;
  };
  const Case cases[] = {
      {"region count beyond the data", ReaderStream({RegionItem(1, 0, 0, false, u"")}).replace(8, 4, Le32(2)),
       ReaderStream({}), RIFF_E_READ},
      {"region text beyond the stream",
       ReaderStream({RegionItem(1, 0, 0, false, u"").substr(0, 24) + Le32(1000)}), ReaderStream({}),
       WuStatusCode(0x8004E038)},
      {"region header version", Le32(12) + Le32(99) + Le32(0), ReaderStream({}), RIFF_E_READ},
      {"summary text beyond the stream", ReaderStream({}),
       ReaderStream({Le32(12) + "INAM" + Le32(5000)}), WuStatusCode(0x8004E038)},
      {"summary short entry", ReaderStream({}), ReaderStream({"short"}), RIFF_E_READ},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestReadMeta reader;
    reader.has_enum = false;
    reader.region = c.region;
    reader.summary = c.summary;
    Folder folder;
    folder.Write("m.wav", Form("WAVE", kAudio));
    const size_t handles = platform::OpenHandleCount();
    EXPECT_EQ(WuFMMeta_WriteMetaStream(folder.Path("m.wav").c_str(), FALSE, 8000, &reader), c.status);
    EXPECT_EQ(platform::OpenHandleCount(), handles);
    EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", kAudio));
    EXPECT_EQ(reader.live(), 0);
  }
}

}  // namespace
