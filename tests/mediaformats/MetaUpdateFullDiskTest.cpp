// The metadata writers on a disk that fills part-way: a file-size limit is
// stepped through every size from the file's own up to the finished one.
// Every failed call leaves each file byte for byte as it was, and a call
// that succeeds leaves the whole new set. The files come from libsndfile,
// as a user has them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/common/TestUtil.h"
#include "tests/mediaformats/InteropTools.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using metatest::InfoItem;
using metatest::Le32;
using metatest::Le64;
using metatest::MarkerItem;
using metatest::MetaStream;
using metatest::TestReadMeta;

namespace {

struct Folder {
  std::string dir = wutest::MakeTempDir("metafull");
  std::string Full(const std::string& name) const { return dir + "/" + name; }
  std::u16string Path(const std::string& name) const { return wutest::U16(Full(name)); }
  std::string Read(const std::string& name) const { return wutest::ReadBytes(Full(name)); }
  void Write(const std::string& name, const std::string& bytes) const {
    wutest::WriteBytes(Full(name), bytes);
  }
};

uint32_t Le32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

uint32_t Be32At(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

// The ids of the top-level chunks of a RIFF or AIFF form ("LIST" as
// "LIST:type") and how many of each.
std::map<std::string, int> ChunkIds(const std::string& file) {
  std::map<std::string, int> ids;
  const bool big = file.compare(0, 4, "FORM") == 0;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    std::string id = file.substr(at, 4);
    uint32_t size = big ? Be32At(file, at + 4) : Le32At(file, at + 4);
    if (id == "LIST" && at + 12 <= file.size()) id += ":" + file.substr(at + 8, 4);
    ++ids[id];
    at += 8 + size + (size & 1);
  }
  return ids;
}

// The ids of the chunks of a Wave64 form: the first four bytes of each GUID.
std::map<std::string, int> Chunk64Ids(const std::string& file) {
  std::map<std::string, int> ids;
  size_t at = 40;
  while (at + 24 <= file.size()) {
    ++ids[file.substr(at, 4)];
    uint64_t size = Le32At(file, at + 16) | static_cast<uint64_t>(Le32At(file, at + 20)) << 32;
    if (size < 24) break;
    at += (size + 7) / 8 * 8;
  }
  return ids;
}

// The sampler item: a unity note and one or two loops from `start`.
std::string Sampler(uint32_t note, uint32_t start, uint32_t loops = 2) {
  std::string header = Le32(0) + Le32(0) + Le32(125000) + Le32(note) + Le32(0) + Le32(0) + Le32(0) +
                       Le32(loops) + Le32(0);
  auto loop = [](uint32_t id, uint64_t begin, uint64_t length) {
    return Le32(id) + Le32(0) + Le64(begin) + Le64(length) + Le32(0) + Le32(0);
  };
  return header + loop(1, start, 20) + (loops > 1 ? loop(2, start + 100, 50) : "");
}

// A reader with content of every kind a RIFF form takes; `tag` tells two
// sets apart.
void EveryKind(TestReadMeta* reader, const std::u16string& tag) {
  const std::string t(tag.begin(), tag.end());
  reader->meta_streams = {
      MetaStream(kMetaGuidMarkers, {MarkerItem(1, 10, kMetaPlainMarkerLength, tag),
                                    MarkerItem(2, 30, 40, u"Region " + tag)}),
      MetaStream(kMetaGuidInfo, {InfoItem("INAM", u"Title " + tag), InfoItem("IART", u"Artist " + tag),
                                 InfoItem("ICMT", u"Comment " + tag)}),
      MetaStream(kMetaGuidPlaylist, {std::string(24, t[0])}),
      MetaStream(kMetaGuidScot, {std::string(10, t[0])}),
      MetaStream(kMetaGuidSampler, {Sampler(60, 10)}),
      MetaStream(kMetaGuidDisplay, {Le32(1) + Le32(2) + t.substr(0, 2)}),
      MetaStream(kMetaGuidWu03, {t}),
      MetaStream(kMetaGuidWu04, {t}),
      MetaStream(kMetaGuidBookmarks, {std::string(52, t[0])}),
      MetaStream(kMetaGuidBeats, {std::string(12, t[0])}),
      MetaStream(kMetaGuidBmpm, {std::string(56, t[0])}),
      MetaStream(kMetaGuidStr2, {std::string(20, t[0])}),
      MetaStream(kMetaGuidBmpi, {std::string(40, t[0])}),
      MetaStream(kMetaGuidBwf, {Le32(12) + Le32(0) + Le32(static_cast<uint32_t>(2 * tag.size() + 2)) +
                                metatest::Utf16Bytes(tag)}),
      MetaStream(kMetaGuidRaw, {"abcd" + Le32(4) + t.substr(0, 4)}),
  };
}

const DWORD kRiffKinds = WUFIO_META_MARKERS | WUFIO_META_INFO | WUFIO_META_PLAYLIST | WUFIO_META_SCOT |
                         WUFIO_META_SAMPLER | WUFIO_META_DISPLAY | WUFIO_META_WU03 | WUFIO_META_WU04 |
                         WUFIO_META_BOOKMARKS | WUFIO_META_BEATS | WUFIO_META_BMPM | WUFIO_META_STR2 |
                         WUFIO_META_BMPI | WUFIO_META_BWF | WUFIO_META_RAW;

// Runs `call` with the files `names` put back as they were before each
// try, under file-size limits from the first file's size up to the size
// where it succeeds: every failed try leaves every file byte for byte.
// Returns the limit at which it succeeded (0 when it never did). Every
// size is tried over the first bytes, where the first chunk and the
// padding go; beyond them every kStride-th, which keeps the test fast
// (with kStride 1 every size is tried).
constexpr size_t kStride = 13;

template <class Call>
size_t StepLimit(const Folder& folder, const std::vector<std::string>& names, Call call) {
  std::vector<std::string> before;
  for (const std::string& name : names) before.push_back(folder.Read(name));
  const size_t first = before[0].size();
  for (size_t limit = first; limit < first + 16384; limit += limit < first + 32 ? 1 : kStride) {
    for (size_t i = 0; i < names.size(); ++i) folder.Write(names[i], before[i]);
    HRESULT hr;
    {
      wutest::FileSizeLimit cap(limit);
      hr = call();
    }
    if (SUCCEEDED(hr)) return limit;
    for (size_t i = 0; i < names.size(); ++i) {
      if (folder.Read(names[i]) == before[i]) continue;
      ADD_FAILURE() << names[i] << " changed by a failed call (0x" << std::hex << hr << ") at limit "
                    << std::dec << limit;
      return 0;
    }
  }
  ADD_FAILURE() << "never succeeded";
  return 0;
}

#if WU_HAVE_SNDFILE
// A file libsndfile writes: 400 frames of mono at 8000 Hz, with a title,
// an artist and a comment.
void SndfileWrite(const std::string& path, int format) {
  SF_INFO info = {};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = format;
  SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
  sf_set_string(sf, SF_STR_TITLE, "Old title");
  sf_set_string(sf, SF_STR_ARTIST, "Old artist");
  sf_set_string(sf, SF_STR_COMMENT, "Old comment");
  std::vector<short> frames(400, 1000);
  sf_write_short(sf, frames.data(), static_cast<sf_count_t>(frames.size()));
  sf_close(sf);
}

struct Tags {
  std::string title, artist, comment;
  bool operator==(const Tags&) const = default;
  friend void PrintTo(const Tags& t, std::ostream* os) {
    *os << "{" << t.title << ", " << t.artist << ", " << t.comment << "}";
  }
};

Tags SndfileTags(const std::string& path) {
  Tags tags;
  SF_INFO info = {};
  if (SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info)) {
    auto get = [&](int which) {
      const char* s = sf_get_string(sf, which);
      return std::string(s ? s : "");
    };
    tags = {get(SF_STR_TITLE), get(SF_STR_ARTIST), get(SF_STR_COMMENT)};
    sf_close(sf);
  }
  return tags;
}

SF_INSTRUMENT SndfileInstrument(const std::string& path) {
  SF_INSTRUMENT inst = {};
  SF_INFO info = {};
  if (SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info)) {
    sf_command(sf, SFC_GET_INSTRUMENT, &inst, sizeof inst);
    sf_close(sf);
  }
  return inst;
}
#endif

TEST(MetaUpdateFullDisk, WavTagsSurviveEveryFailedUpdate) {
#if WU_HAVE_SNDFILE
  Folder folder;
  SndfileWrite(folder.Full("take:1.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  const Tags old{"Old title", "Old artist", "Old comment"};
  ASSERT_EQ(SndfileTags(folder.Full("take:1.wav")), old);
  const std::u16string media = folder.Path("take:1.wav");
  // A first update into libsndfile's file, then a second over the first's
  // set: each failed try keeps the file and its tags.
  for (const std::u16string tag : {u"first", u"second"}) {
    SCOPED_TRACE(std::string(tag.begin(), tag.end()));
    TestReadMeta reader;
    EveryKind(&reader, tag);
    const Tags before = SndfileTags(folder.Full("take:1.wav"));
    auto update = [&] { return WuFMMeta_UpdateMetaStream2(media.c_str(), 8000, &reader, kRiffKinds, 0); };
    {
      // No room beyond the file's own size: the tags stay readable.
      wutest::FileSizeLimit cap(folder.Read("take:1.wav").size());
      EXPECT_EQ(update(), RIFF_E_WRITE);
    }
    EXPECT_EQ(SndfileTags(folder.Full("take:1.wav")), before);
    ASSERT_NE(StepLimit(folder, {"take:1.wav"}, update), 0u);
    const std::string t(tag.begin(), tag.end());
    EXPECT_EQ(SndfileTags(folder.Full("take:1.wav")),
              (Tags{"Title " + t, "Artist " + t, "Comment " + t}));
    EXPECT_NE(before, SndfileTags(folder.Full("take:1.wav")));
    std::map<std::string, int> ids = ChunkIds(folder.Read("take:1.wav"));
    for (const char* id : {"cue ", "LIST:adtl", "LIST:INFO", "plst", "scot", "smpl", "DISP", "wu03",
                           "wu04", "bmrk", "dtbt", "bmpm", "str2", "bmpi", "bext", "abcd"}) {
      EXPECT_EQ(ids[id], 1) << id;
    }
    EXPECT_EQ(ids["data"], 1);
  }
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

TEST(MetaUpdateFullDisk, AiffInstrumentAndMarkersBothOrNeither) {
#if WU_HAVE_SNDFILE
  // Plain AIFF, and AIFF-C files whose samples are not plain PCM: float
  // and mu-law.
  const int formats[] = {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, SF_FORMAT_AIFF | SF_FORMAT_FLOAT,
                         SF_FORMAT_AIFF | SF_FORMAT_ULAW};
  for (int format : formats) {
    SCOPED_TRACE(format);
    Folder folder;
    SndfileWrite(folder.Full("m.aif"), format);
    const interop::AudioFacts facts = interop::Sndfile(folder.Full("m.aif"));
    const std::u16string media = folder.Path("m.aif");
    // A first instrument with one loop, then an update to two: the new
    // markers need more room than the old ones held.
    TestReadMeta first;
    first.meta_streams = {MetaStream(kMetaGuidSampler, {Sampler(40, 5, 1)})};
    ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(media.c_str(), FALSE, 8000, &first,
                                                WUFIO_META_AIFF_MARKERS, 0),
              S_OK);
    ASSERT_EQ(SndfileInstrument(folder.Full("m.aif")).basenote, 40);
    TestReadMeta reader;
    reader.meta_streams = {MetaStream(kMetaGuidSampler, {Sampler(72, 10)})};
    ASSERT_NE(StepLimit(folder, {"m.aif"}, [&] {
                return WuFMMeta_UpdateMetaStream2(media.c_str(), 8000, &reader,
                                                  kRiffKinds | WUFIO_META_AIFF_MARKERS, 0);
              }),
              0u);
    std::map<std::string, int> ids = ChunkIds(folder.Read("m.aif"));
    EXPECT_EQ(ids["INST"], 1);
    EXPECT_EQ(ids["MARK"], 1);
    SF_INSTRUMENT now = SndfileInstrument(folder.Full("m.aif"));
    EXPECT_EQ(now.basenote, 72);
    ASSERT_EQ(now.loop_count, 2);
    EXPECT_EQ(now.loops[0].start, 10u);
    EXPECT_EQ(now.loops[1].start, 110u);
    const interop::AudioFacts after = interop::Sndfile(folder.Full("m.aif"));
    EXPECT_EQ(after.frames, facts.frames);
    EXPECT_EQ(after.rate, facts.rate);
    // The write form and the delete take the same file; kinds an AIFF form
    // has no chunks for leave it as it is.
    EXPECT_EQ(WuFMMeta_openAndWriteMetaStreamEx(media.c_str(), FALSE, 8000, &reader,
                                                WUFIO_META_AIFF_MARKERS, 0),
              S_OK);
    EXPECT_EQ(ChunkIds(folder.Read("m.aif"))["INST"], 1);
    const std::string kept = folder.Read("m.aif");
    EXPECT_EQ(WuFMMeta_openAndWriteMetaStreamEx(media.c_str(), FALSE, 8000, &reader,
                                                WUFIO_META_INFO | WUFIO_META_SAMPLER, 0),
              S_OK);
    EXPECT_EQ(folder.Read("m.aif"), kept);
    EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(media.c_str(), WUFIO_META_AIFF_MARKERS, FALSE), S_OK);
    ids = ChunkIds(folder.Read("m.aif"));
    EXPECT_EQ(ids["INST"] + ids["MARK"], 0);
  }
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

TEST(MetaUpdateFullDisk, Wave64UpdateAndWrite) {
#if WU_HAVE_SNDFILE
  Folder folder;
  SndfileWrite(folder.Full("m.w64"), SF_FORMAT_W64 | SF_FORMAT_PCM_16);
  const std::u16string media = folder.Path("m.w64");
  const interop::AudioFacts facts = interop::Sndfile(folder.Full("m.w64"));
  const DWORD kinds = kRiffKinds & ~WUFIO_META_RAW;
  TestReadMeta first;
  EveryKind(&first, u"first");
  ASSERT_EQ(WuFMMeta64_UpdateMetaStream(media.c_str(), 8000, &first, kinds, 0), S_OK);
  TestReadMeta second;
  EveryKind(&second, u"second");
  ASSERT_NE(StepLimit(folder, {"m.w64"}, [&] {
              return WuFMMeta64_UpdateMetaStream(media.c_str(), 8000, &second, kinds, 0);
            }),
            0u);
  // The write form with fresh FALSE replaces the same set.
  TestReadMeta reader;
  EveryKind(&reader, u"third");
  ASSERT_NE(StepLimit(folder, {"m.w64"}, [&] {
              return WuFMMeta64_openAndWriteMetaStream(media.c_str(), FALSE, 8000, &reader, kinds, 0);
            }),
            0u);
  std::map<std::string, int> ids = Chunk64Ids(folder.Read("m.w64"));
  // One chunk of each kind (the GUIDs' first bytes): INFO, markers, scot,
  // playlist, display, sampler, wu03, wu04, bookmarks, beats, bmpm, str2,
  // bmpi, bext.
  for (const GUID* g : {&kMetaGuidInfo, &kMetaGuidMarkers, &kMetaGuidScot, &kMetaGuidPlaylist,
                        &kMetaGuidDisplay, &kMetaGuidSampler, &kMetaGuidWu03, &kMetaGuidWu04,
                        &kMetaGuidBookmarks, &kMetaGuidBeats, &kMetaGuidBmpm, &kMetaGuidStr2,
                        &kMetaGuidBmpi}) {
    EXPECT_EQ(ids[Le32(g->Data1)], 1) << std::hex << g->Data1;
  }
  EXPECT_EQ(ids["bext"], 1);
  // libsndfile takes a Wave64 file's audio to run to the file's end: only
  // the format is compared.
  const interop::AudioFacts after = interop::Sndfile(folder.Full("m.w64"));
  EXPECT_EQ(after.rate, facts.rate);
  EXPECT_EQ(after.channels, facts.channels);
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

TEST(MetaUpdateFullDisk, SideFileKeptWhole) {
#if WU_HAVE_SNDFILE
  Folder folder;
  SndfileWrite(folder.Full("take:1.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  const std::u16string media = folder.Path("take:1.wav");
  const DWORD side_kinds = kRiffKinds & ~(WUFIO_META_RAW | WUFIO_META_BWF);
  TestReadMeta first;
  EveryKind(&first, u"first");
  ASSERT_EQ(WuFMMeta_openAndWriteMetaStreamEx(media.c_str(), FALSE, 8000, &first, 0, side_kinds), S_OK);
  const std::string side = "take:1.wav.wul";
  const std::string media_before = folder.Read("take:1.wav");
  ASSERT_EQ(ChunkIds(folder.Read(side))["LIST:INFO"], 1);

  // The update of the existing side file, and the write that makes it anew.
  TestReadMeta second;
  EveryKind(&second, u"second");
  ASSERT_NE(StepLimit(folder, {side, "take:1.wav"}, [&] {
              return WuFMMeta_UpdateMetaStream2(media.c_str(), 8000, &second, 0, side_kinds);
            }),
            0u);
  ASSERT_NE(StepLimit(folder, {side, "take:1.wav"}, [&] {
              return WuFMMeta_openAndWriteMetaStreamEx(media.c_str(), FALSE, 8000, &second, 0, side_kinds);
            }),
            0u);
  EXPECT_EQ(folder.Read("take:1.wav"), media_before);
  std::map<std::string, int> ids = ChunkIds(folder.Read(side));
  for (const char* id : {"cue ", "LIST:adtl", "LIST:INFO", "plst", "scot", "smpl", "DISP", "wu03", "wu04",
                         "bmrk", "dtbt", "bmpm", "str2", "bmpi", "WUPI"}) {
    EXPECT_EQ(ids[id], 1) << id;
  }
  EXPECT_TRUE(WuFMMeta_IsMetaFile(media.c_str(), folder.Path(side).c_str()));

  // The media kinds move from the side file into the media file: when the
  // media file cannot take them, the side file keeps them.
  TestReadMeta third;
  EveryKind(&third, u"third");
  ASSERT_NE(StepLimit(folder, {"take:1.wav", side}, [&] {
              return WuFMMeta_UpdateMetaStream2(media.c_str(), 8000, &third, WUFIO_META_INFO, 0);
            }),
            0u);
  EXPECT_EQ(SndfileTags(folder.Full("take:1.wav")).title, "Title third");
  EXPECT_EQ(ChunkIds(folder.Read(side))["LIST:INFO"], 0);
  EXPECT_EQ(ChunkIds(folder.Read(side))["plst"], 1);
  EXPECT_TRUE(WuFMMeta_IsMetaFile(media.c_str(), folder.Path(side).c_str()));
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

TEST(MetaUpdateFullDisk, OwnerChunkIsReplaced) {
  Folder folder;
  // A side file that names another media file: after S_OK it names the new
  // one, and holds one owner chunk; a failed write keeps it whole.
  const std::string side = rifftest::Bytes().Id("RIFF").U32(4 + 8 + 6 + 8 + 4).Id("WUPL")
                               .Chunk("WUPI", std::string("a.wav\0", 6)).Chunk("plst", Le32(0)).s;
  folder.Write("s.wul", side);
  const std::u16string path = folder.Path("s.wul");
  ASSERT_TRUE(WuFMMeta_IsMetaFile(folder.Path("a.wav").c_str(), path.c_str()));
  ASSERT_NE(StepLimit(folder, {"s.wul"}, [&] {
              HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
              if (file == INVALID_HANDLE_VALUE) return E_FAIL;
              HRESULT hr = WuFMMeta_WriteAttachedNameChunk(file, folder.Path("b:take.wav").c_str());
              CloseHandle(file);
              return hr;
            }),
            0u);
  EXPECT_TRUE(WuFMMeta_IsMetaFile(folder.Path("b:take.wav").c_str(), path.c_str()));
  EXPECT_FALSE(WuFMMeta_IsMetaFile(folder.Path("a.wav").c_str(), path.c_str()));
  std::map<std::string, int> ids = ChunkIds(folder.Read("s.wul"));
  EXPECT_EQ(ids["WUPI"], 1);
  EXPECT_EQ(ids["plst"], 1);
  EXPECT_EQ(Le32At(folder.Read("s.wul"), 4) + 8, folder.Read("s.wul").size());
}

}  // namespace
