// Metadata side files (names, the owner chunk, recognition, re-attaching)
// and metadata chunks deleted by kind.
#include "mediaformats/WuFMMeta.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "tests/common/TestUtil.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;

namespace {

std::u16string MetaName(const std::u16string& path, DWORD chars, int mode, HRESULT* status) {
  std::u16string out(chars + 1, u'#');
  *status = WuFMMeta_CreateMetaName(path.c_str(), out.data(), chars, mode);
  return *status == S_OK ? std::u16string(out.c_str()) : std::u16string();
}

TEST(FMMeta, CreateMetaName) {
  struct Case {
    std::u16string path;
    int mode;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"C:\\a\\song.wav", 0, u"C:\\a\\song.wul"},
      {u"C:\\a\\song.wav", 1, u"C:\\a\\song.wav.wul"},
      {u"/music/set.v2/take", 0, u"/music/set.v2/take.wul"},
      {u"/music/take.one.aif", 0, u"/music/take.one.wul"},
      {u"/music/take.aif", 7, u"/music/take.aif.wul"},
  };
  for (const Case& c : cases) {
    HRESULT status = E_FAIL;
    DWORD exact = static_cast<DWORD>(c.path.size() + 5);
    EXPECT_EQ(MetaName(c.path, exact, c.mode, &status), c.expected);
    EXPECT_EQ(status, S_OK);
    MetaName(c.path, exact - 1, c.mode, &status);
    EXPECT_EQ(status, E_INVALIDARG);
  }
  WCHAR out[8];
  EXPECT_EQ(WuFMMeta_CreateMetaName(nullptr, out, 8, 0), E_INVALIDARG);
}

// A folder holding media files and side files written through the
// platform.
struct Folder {
  std::string dir = wutest::MakeTempDir("meta");
  std::u16string Path(const std::string& name) const { return wutest::U16(dir + "/" + name); }
  std::string Read(const std::string& name) const { return wutest::ReadBytes(dir + "/" + name); }
  void Write(const std::string& name, const std::string& bytes) const {
    wutest::WriteBytes(dir + "/" + name, bytes);
  }
};

std::string Form(const char* type, const std::string& chunks) {
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id(type).Raw(chunks).s;
}

TEST(FMMeta, AttachedNameChunkPaddingAndRecognition) {
  Folder folder;
  struct Case {
    const char* media;
    std::string wupi;
  };
  // "abc.wav" is 7 bytes: size 8 and no pad; "ab.wav" is 6: size 7 and a pad.
  const Case cases[] = {
      {"abc.wav", Bytes().Id("WUPI").U32(8).Raw(std::string("abc.wav\0", 8)).s},
      {"ab.wav", Bytes().Id("WUPI").U32(7).Raw(std::string("ab.wav\0\0", 8)).s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.media);
    std::u16string side = folder.Path(std::string(c.media) + ".wul");
    HRESULT status = E_FAIL;
    HANDLE file = WuFMMeta_CreateSideFile(side.c_str(), &status);
    ASSERT_EQ(status, S_OK);
    std::u16string media = folder.Path(c.media);
    ASSERT_EQ(WuFMMeta_WriteAttachedNameChunk(file, media.c_str()), S_OK);
    EXPECT_EQ(WuFMMeta_WriteAttachedNameChunk(file, nullptr), E_FAIL);
    CloseHandle(file);
    EXPECT_EQ(folder.Read(std::string(c.media) + ".wul"), Form("WUPL", c.wupi));
    EXPECT_TRUE(WuFMMeta_IsMetaFile(media.c_str(), side.c_str()));
  }
  // Another media file, another case, a file without the chunk, a missing
  // file.
  std::u16string side = folder.Path("abc.wav.wul");
  EXPECT_FALSE(WuFMMeta_IsMetaFile(folder.Path("other.wav").c_str(), side.c_str()));
  EXPECT_FALSE(WuFMMeta_IsMetaFile(folder.Path("ABC.wav").c_str(), side.c_str()));
  folder.Write("plain.wul", Form("WUPL", Bytes().Chunk("cue ", "1234").s));
  EXPECT_FALSE(WuFMMeta_IsMetaFile(folder.Path("plain").c_str(), folder.Path("plain.wul").c_str()));
  EXPECT_FALSE(WuFMMeta_IsMetaFile(folder.Path("abc.wav").c_str(), folder.Path("none.wul").c_str()));
}

TEST(FMMeta, ChangeAttachedFilename) {
  Folder folder;
  std::string cue = Bytes().Chunk("cue ", "1234").s;
  // The owner chunk sits between other chunks: it moves to the end, the
  // rest is kept.
  folder.Write("s.wul", Form("WUPL", cue + Bytes().Chunk("WUPI", std::string("old.wav\0", 8)).s +
                                         Bytes().Chunk("smpl", "ab").s));
  std::u16string side = folder.Path("s.wul");
  ASSERT_EQ(WuFMMeta_ChangeAttachedFilename(side.c_str(), u"/x/new.wav"), S_OK);
  EXPECT_EQ(folder.Read("s.wul"),
            Form("WUPL", cue + Bytes().Chunk("smpl", "ab").s +
                             Bytes().Chunk("WUPI", std::string("new.wav\0", 8)).s));
  EXPECT_TRUE(WuFMMeta_IsMetaFile(u"/y/new.wav", side.c_str()));
  EXPECT_FALSE(WuFMMeta_IsMetaFile(u"/y/old.wav", side.c_str()));
  // A stale second owner chunk goes too: the first one found names the
  // media file.
  folder.Write("two.wul", Form("WUPL", Bytes().Chunk("WUPI", std::string("a.wav\0", 6)).s + cue +
                                           Bytes().Chunk("WUPI", std::string("b.wav\0", 6)).s));
  ASSERT_EQ(WuFMMeta_ChangeAttachedFilename(folder.Path("two.wul").c_str(), u"c.wav"), S_OK);
  EXPECT_EQ(folder.Read("two.wul"),
            Form("WUPL", cue + Bytes().Chunk("WUPI", std::string("c.wav\0", 6)).s));
  // A side file without the chunk gains one.
  folder.Write("bare.wul", Form("WUPL", cue));
  ASSERT_EQ(WuFMMeta_ChangeAttachedFilename(folder.Path("bare.wul").c_str(), u"m.aif"), S_OK);
  EXPECT_EQ(folder.Read("bare.wul"),
            Form("WUPL", cue + Bytes().Chunk("WUPI", std::string("m.aif\0", 6)).s));
  EXPECT_EQ(WuFMMeta_ChangeAttachedFilename(nullptr, u"m.aif"), E_FAIL);
  // On a full disk the new owner chunk cannot be written: the side file
  // still names its media file.
  std::string owned = Form("WUPL", cue + Bytes().Chunk("WUPI", std::string("old.wav\0", 8)).s);
  folder.Write("full.wul", owned);
  {
    wutest::FileSizeLimit limit(owned.size());
    EXPECT_EQ(WuFMMeta_ChangeAttachedFilename(folder.Path("full.wul").c_str(), u"/x/newer.wav"),
              RIFF_E_WRITE);
  }
  EXPECT_EQ(folder.Read("full.wul"), owned);
  EXPECT_TRUE(WuFMMeta_IsMetaFile(u"/y/old.wav", folder.Path("full.wul").c_str()));
  EXPECT_EQ(WuFMMeta_ChangeAttachedFilename(folder.Path("missing.wul").c_str(), u"m.aif"),
            RIFF_E_NOT_FOUND);
}

TEST(FMMeta, DeleteByKindRemovesExactlyEachKindsChunks) {
  struct Row {
    DWORD kind;
    std::string chunk;
  };
  auto list = [](const char* type) { return Bytes().Chunk("LIST", Bytes().Id(type).Chunk("ITEM", "x").s).s; };
  const Row rows[] = {
      {0x1, list("INFO")},
      {0x4, Bytes().Chunk("cue ", "cue").s},
      {0x4, list("adtl")},
      {0x4, Bytes().Chunk("wu01", "w1").s},
      {0x100000, Bytes().Chunk("wu04", "w4").s},
      {0x10, Bytes().Chunk("scot", "s").s},
      {0x20, Bytes().Chunk("plst", "p").s},
      {0x20, Bytes().Chunk("wu02", "w2").s},
      {0x40, Bytes().Chunk("tlst", "t").s},
      {0x80, Bytes().Chunk("DISP", "disp").s},
      {0x80, Bytes().Chunk("DISP", "second").s},
      {0x100, Bytes().Chunk("smpl", "smpl").s},
      {0x4000, Bytes().Chunk("str2", "s2").s},
      {0x8000, Bytes().Chunk("bmrk", "b").s},
      {0x10000, Bytes().Chunk("dtbt", "d").s},
      {0x40000, list("pic ")},
      {0x200000, Bytes().Chunk("bmpi", "bi").s},
      {0x400000, Bytes().Chunk("bmpm", "bm").s},
  };
  const std::string keep = Bytes().Chunk("fmt ", "format").Chunk("data", "audio").s + list("exif");
  Folder folder;
  for (const Row& target : rows) {
    std::string all = keep, expected = keep;
    for (const Row& r : rows) {
      all += r.chunk;
      if (r.kind != target.kind) expected += r.chunk;
    }
    folder.Write("m.wav", Form("WAVE", all));
    EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("m.wav").c_str(), target.kind, FALSE), S_OK);
    EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", expected)) << std::hex << target.kind;
  }
  // All at once leaves only what no kind names; the marker form.
  std::string all = keep;
  for (const Row& r : rows) all += r.chunk;
  folder.Write("m.wav", Form("WAVE", all));
  EXPECT_EQ(WuFMMeta_LookForMarkers(folder.Path("m.wav").c_str()), S_OK);
  EXPECT_EQ(WuFMMeta_DeleteMetaChunks(folder.Path("m.wav").c_str()), S_OK);
  EXPECT_EQ(WuFMMeta_LookForMarkers(folder.Path("m.wav").c_str()), RIFF_E_NOT_FOUND);
  EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("m.wav").c_str(), 0xFFFFFFFF, FALSE), S_OK);
  EXPECT_EQ(folder.Read("m.wav"), Form("WAVE", keep));
  EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("none.wav").c_str(), 0x4, FALSE), S_OK);
  EXPECT_EQ(WuFMMeta_LookForMarkers(folder.Path("none.wav").c_str()), RIFF_E_NOT_FOUND);
}

// A file there that cannot be opened for writing keeps its chunks, and the
// delete says so; a file that is not there has nothing to delete.
TEST(FMMeta, DeleteFromAFileThatCannotBeWrittenFails) {
  const std::string file = Form("WAVE", Bytes().Chunk("fmt ", "format").Chunk("cue ", "cue!").s);
  const HRESULT denied = static_cast<HRESULT>(0x80070005);
  struct Case {
    const char* name;
    mode_t mode;
    bool owned;  // the file belongs to the user who deletes
  };
  const Case cases[] = {{"read-only", 0444, true}, {"another user's", 0644, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Without root no other user's file can be made.
    if (!c.owned && geteuid() != 0) continue;
    Folder folder;
    folder.Write("m.wav", file);
    std::string path = folder.dir + "/m.wav";
    ASSERT_EQ(chmod(path.c_str(), c.mode), 0);
    ASSERT_EQ(chmod(folder.dir.c_str(), 0755), 0);
    std::u16string wide = folder.Path("m.wav");
    int result = wutest::RunAsNonRoot(
        [&] {
          HRESULT markers = WuFMMeta_DeleteMetaChunks(wide.c_str());
          HRESULT all = WuFMMeta_DeleteMetaChunksEx(wide.c_str(), 0xFFFFFFFF, FALSE);
          return (markers == denied ? 0 : 1) | (all == denied ? 0 : 2);
        },
        c.owned ? folder.dir : "");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(folder.Read("m.wav"), file);
  }
  Folder folder;
  EXPECT_EQ(WuFMMeta_DeleteMetaChunks(folder.Path("none.wav").c_str()), S_OK);
  EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("no/such.wav").c_str(), 0x4, TRUE), S_OK);
}

TEST(FMMeta, DeleteByKindOnAiff) {
  using ifftest::BeBytes;
  const std::string audio = BeBytes().Chunk("COMM", ifftest::Comm(1, 2, 16, 8000))
                                .Chunk("SSND", ifftest::Ssnd(0, "abcd")).s;
  const std::string markers = BeBytes().Chunk("INST", std::string(20, '\x01'))
                                  .Chunk("MARK", BeBytes().U16(0).s).Chunk("INST", "x").s;
  struct Case {
    DWORD kinds;
    bool removes;
  };
  const Case cases[] = {{0x200, true}, {0xFFFFFFFF, true}, {0x4 | 0x100, false}};
  Folder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kinds);
    folder.Write("m.aif", ifftest::Form("AIFF", audio + markers));
    EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("m.aif").c_str(), c.kinds, FALSE), S_OK);
    EXPECT_EQ(folder.Read("m.aif"), ifftest::Form("AIFF", audio + (c.removes ? "" : markers)));
  }
}

TEST(FMMeta, DeleteByKindOnRiff64) {
  struct Row {
    DWORD kind;
    const GUID* id;
  };
  const Row rows[] = {
      {0x1, &kMetaGuidInfo},        {0x2, &kMetaGuidSlot4},      {0x4, &kMetaGuidMarkers},
      {0x100000, &kMetaGuidWu04},   {0x10, &kMetaGuidScot},      {0x20, &kMetaGuidPlaylist},
      {0x40, &kMetaGuidTracklist},  {0x80, &kMetaGuidDisplay},   {0x100, &kMetaGuidSampler},
      {0x4000, &kMetaGuidStr2},     {0x8000, &kMetaGuidBookmarks}, {0x10000, &kMetaGuidBeats},
      {0x40000, &kMetaGuidPictures}, {0x200000, &kMetaGuidBmpi}, {0x400000, &kMetaGuidBmpm},
  };
  auto form = [](const std::string& chunks) {
    return Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave).Raw(chunks).s;
  };
  const std::string keep =
      Bytes().Chunk64(kRiff64GuidFmt, "format").Chunk64(kRiff64GuidBext, "bext").s;
  Folder folder;
  for (const Row& target : rows) {
    std::string all = keep, expected = keep;
    for (const Row& r : rows) {
      std::string chunk = Bytes().Chunk64(*r.id, "data").s;
      all += chunk;
      if (r.kind != target.kind) expected += chunk;
    }
    folder.Write("m.w64", form(all));
    EXPECT_EQ(WuFMMeta_DeleteMetaChunksEx(folder.Path("m.w64").c_str(), target.kind, TRUE), S_OK);
    EXPECT_EQ(folder.Read("m.w64"), form(expected)) << std::hex << target.kind;
  }
}

}  // namespace
