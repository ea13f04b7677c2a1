// Writing "UM" archives: new archives, appending, deleting, comments, and
// the space checks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "foundation/WuStatus.h"
#include "tests/Sfx/ArchiveTestUtil.h"

namespace archtest {
namespace {

constexpr time_t kTime = 1600000000;

class ArchiveWriteTest : public ArchiveTest {
 protected:
  // Writes an archive of the given files (bare names, deflated at level 6).
  void Create(const std::string& archive, const std::vector<std::string>& files,
              DWORD method = 1) {
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W(archive).c_str(), WUARC_MODE_CREATE, nullptr));
    for (const std::string& f : files)
      ASSERT_EQ(0, a.AddEntryToArchive(W(f).c_str(), method, method ? 6 : 0, 0, nullptr));
    ASSERT_EQ(0, a.Close());
  }

  // Entry names of an archive, in directory order.
  std::vector<std::u16string> Names(const std::string& archive) {
    std::vector<std::u16string> names;
    CArchive2 a;
    if (a.Open(W(archive).c_str(), WUARC_MODE_READ, nullptr) != S_OK) return names;
    for (LONG i = 0; i < a.GetArchiveCount(); ++i) {
      WCHAR name[260];
      a.GetEntryName(i, name, 260);
      names.push_back(name);
    }
    a.Close();
    return names;
  }

  std::string ExtractedFile(const std::string& archive, const std::string& name) {
    std::string out = wutest::MakeTempDir("out");
    CArchive2 a;
    if (a.Open(W(archive).c_str(), WUARC_MODE_READ, nullptr) != S_OK) return "<no archive>";
    HRESULT hr = a.ExtractAll(U16(out).c_str(), 0);
    a.Close();
    return hr == 0 ? GetFile(out + "/" + name) : "<failed>";
  }
};

TEST_F(ArchiveWriteTest, WriterEmitsTheBytesOfTheFormat) {
  PutFile(P("one.txt"), Text(3000));
  PutFile(P("two.bin"), Noise(2000));
  PutFile(P("empty.txt"), "");
  for (const char* f : {"one.txt", "two.bin", "empty.txt"}) SetMTime(P(f), kTime);

  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("w.um").c_str(), WUARC_MODE_CREATE, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("one.txt").c_str(), 1, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("two.bin").c_str(), 0, 0, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("empty.txt").c_str(), 1, 6, 0, nullptr));
  a.AddVolumeComment(u"note");
  ASSERT_EQ(0, a.Close());

  HandArchive h;
  h.Add(u"one.txt", Text(3000), 1, FileTimeOf(kTime));
  h.Add(u"two.bin", Noise(2000), 0, FileTimeOf(kTime));
  h.Add(u"empty.txt", "", 1, FileTimeOf(kTime));
  EXPECT_EQ(h.Build(0, u"note"), GetFile(P("w.um")));
}

TEST_F(ArchiveWriteTest, FoldersAreStoredBelowTheirParent) {
  MakeDir("data");
  MakeDir("data/sub");
  PutFile(P("data/a.txt"), "a");
  PutFile(P("data/sub/b.txt"), "b");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("f.um").c_str(), WUARC_MODE_CREATE, nullptr));
  LONG count = 0;
  a.GetCountAddEntry(W("data/").c_str(), count, 0);
  EXPECT_EQ(4, count);
  EXPECT_EQ(0, a.AddEntryToArchive(W("data/").c_str(), 1, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("data/a.txt").c_str(), 0, 0, 0, u"extra\\dir"));
  EXPECT_EQ(1, a.AddEntryToArchive(W("data/nothing.txt").c_str(), 0, 0, 0, nullptr))
      << "a missing file without a wildcard adds nothing";
  EXPECT_EQ(E_NOTIMPL, a.AddEntryToArchive(W("data/a.txt").c_str(), 2, 0, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ((std::vector<std::u16string>{u"data\\", u"data\\a.txt", u"data\\sub\\",
                                         u"data\\sub\\b.txt", u"extra\\dir\\a.txt"}),
            Names("f.um"));
  CArchive2 r;
  ASSERT_EQ(S_OK, r.Open(W("f.um").c_str(), WUARC_MODE_READ, nullptr));
  DWORD attributes = 0;
  ULONGLONG size = 9;
  r.GetEntryFileAttributes(LONG{2}, attributes);
  r.GetEntryCompressedSize(LONG{2}, size);
  EXPECT_EQ(0x10u, attributes & 0x10);
  EXPECT_EQ(0u, size);
}

TEST_F(ArchiveWriteTest, WildcardsAddMatchingItems) {
  MakeDir("w");
  MakeDir("w/logs.d");
  PutFile(P("w/a.log"), "1");
  PutFile(P("w/b.txt"), "2");
  PutFile(P("w/logs.d/c.txt"), "3");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("x.um").c_str(), WUARC_MODE_CREATE, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("w/*.log").c_str(), 1, 6, 0, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("w/logs*").c_str(), 1, 6, WUARC_ADD_RECURSE, nullptr));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ((std::vector<std::u16string>{u"a.log", u"logs.d\\", u"logs.d\\c.txt"}), Names("x.um"));
}

TEST_F(ArchiveWriteTest, EntriesRoundTrip) {
  struct Case {
    const char* what;
    std::string data;
    bool shrinks;  // deflate must make it much smaller
  } cases[] = {{"empty", "", false},
               {"small text", Text(100), false},
               {"600 KB text", Text(600 * 1024), true},
               {"600 KB noise", Noise(600 * 1024), false}};
  for (DWORD method : {0u, 1u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (method ? " deflated" : " stored"));
      PutFile(P("in.bin"), c.data);
      Create("rt.um", {"in.bin"}, method);
      EXPECT_EQ(c.data, ExtractedFile("rt.um", "in.bin"));
      CArchive2 a;
      ASSERT_EQ(S_OK, a.Open(W("rt.um").c_str(), WUARC_MODE_READ, nullptr));
      ULONGLONG stored = 0;
      a.GetEntryCompressedSize(LONG{0}, stored);
      if (method == 0) {
        EXPECT_EQ(c.data.size(), stored);
      } else if (c.shrinks) {
        EXPECT_LT(stored, c.data.size() / 10);
      }
    }
  }
}

TEST_F(ArchiveWriteTest, OverlongNamesAreRefusedNotCut) {
  std::string a200(200, 'a'), b100(100, 'b');
  MakeDir("top");
  MakeDir("top/" + a200);
  PutFile(P("top/" + a200 + "/" + b100), "x");
  PutFile(P("top/short.txt"), "y");
  ScriptedProgress progress;
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("long.um").c_str(), WUARC_MODE_CREATE, &progress));
  EXPECT_EQ(WU_E_BAD_FILE_NAME, a.AddEntryToArchive(W("top").c_str(), 1, 6, 0, nullptr));
  EXPECT_EQ(WUARC_ERR_INVALID_ARG, progress.errors.back());
  EXPECT_EQ(0, a.AddEntryToArchive(W("top/short.txt").c_str(), 1, 6, 0, nullptr));
  EXPECT_EQ(0, a.Close());
  // The entries added before the failure and after it are kept.
  EXPECT_EQ((std::vector<std::u16string>{u"top\\", U16("top\\" + a200 + "\\"), u"short.txt"}),
            Names("long.um"));
}

TEST_F(ArchiveWriteTest, AppendAsksAboutSameNamesAndReplacesOnClose) {
  PutFile(P("a.txt"), "old a");
  PutFile(P("b.txt"), "old b");
  Create("ap.um", {"a.txt", "b.txt"});
  std::string before = GetFile(P("ap.um"));

  // Appending nothing leaves the archive as it was.
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("ap.um").c_str(), WUARC_MODE_APPEND, nullptr));
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(before, GetFile(P("ap.um")));
  EXPECT_FALSE(Exists(P("~ap.um")));

  MakeDir("new");
  PutFile(P("new/a.txt"), "new a");
  PutFile(P("new/c.txt"), "new c");
  for (HRESULT answer : {WUARC_ANSWER_NO, WUARC_ANSWER_YES}) {
    SCOPED_TRACE(answer);
    PutFile(P("ap.um"), before);
    ScriptedProgress progress;
    progress.answers = {answer};
    ASSERT_EQ(S_OK, a.Open(W("ap.um").c_str(), WUARC_MODE_APPEND, &progress));
    EXPECT_EQ(0, a.AddEntryToArchive(W("new/a.txt").c_str(), 1, 6, 0, nullptr));
    EXPECT_EQ(0, a.AddEntryToArchive(W("new/c.txt").c_str(), 0, 0, 0, nullptr));
    EXPECT_EQ(before, GetFile(P("ap.um"))) << "nothing reaches the archive before Close";
    EXPECT_EQ(0, a.Close());
    EXPECT_FALSE(Exists(P("~ap.um")));
    EXPECT_EQ(1u, progress.asked.size());
    std::vector<std::u16string> names = Names("ap.um");
    EXPECT_EQ(3u, names.size());
    EXPECT_EQ(answer == WUARC_ANSWER_YES ? "new a" : "old a", ExtractedFile("ap.um", "a.txt"));
    EXPECT_EQ("new c", ExtractedFile("ap.um", "c.txt"));
    EXPECT_EQ("old b", ExtractedFile("ap.um", "b.txt"));
  }
}

TEST_F(ArchiveWriteTest, AFailedReplaceLeavesTheArchive) {
  PutFile(P("a.txt"), "a");
  Create("ro.um", {"a.txt"});
  std::string before = GetFile(P("ro.um"));
  chmod(P("ro.um").c_str(), 0444);
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("ro.um").c_str(), WUARC_MODE_APPEND, nullptr));
  EXPECT_EQ(0, a.AddEntryToArchive(W("a.txt").c_str(), 0, 0, WUARC_ADD_NO_ASK, nullptr));
  EXPECT_EQ(WU_E_WRITE, a.Close());
  EXPECT_EQ(before, GetFile(P("ro.um")));
  EXPECT_TRUE(Exists(P("~ro.um"))) << "the finished work copy is kept";
}

TEST_F(ArchiveWriteTest, DeleteByPatternAndByExactName) {
  // Two entries named "dup.txt": an exact name drops only the first, and the
  // entries after it are kept.
  HandArchive h;
  h.Add(u"dup.txt", "first");
  h.Add(u"x.log", "log");
  h.Add(u"dup.txt", "second");
  h.Add(u"keep.txt", "keep");
  h.Add(u"y.log", "log");
  PutFile(P("d.um"), h.Build());
  ScriptedProgress progress;
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("d.um").c_str(), WUARC_MODE_DELETE, &progress));
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"dup.txt", 0));
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"*.log", 0));
  EXPECT_EQ((std::vector<LONG>{1, 1, 0, 0, 1}),
            (std::vector<LONG>{a.GetEntryDeleteStatus(0), a.GetEntryDeleteStatus(1),
                               a.GetEntryDeleteStatus(2), a.GetEntryDeleteStatus(3),
                               a.GetEntryDeleteStatus(4)}));
  EXPECT_EQ(0, a.Close());
  EXPECT_EQ(3, progress.Count(WUARC_STATUS_DROPPED));
  EXPECT_EQ((std::vector<std::u16string>{u"dup.txt", u"keep.txt"}), Names("d.um"));
  EXPECT_EQ("second", ExtractedFile("d.um", "dup.txt"));
  EXPECT_EQ("keep", ExtractedFile("d.um", "keep.txt"));

  // No match and an aborted request leave the archive alone.
  std::string before = GetFile(P("d.um"));
  ASSERT_EQ(S_OK, a.Open(W("d.um").c_str(), WUARC_MODE_DELETE, nullptr));
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"*.none", 0));
  EXPECT_FALSE(a.IsDeleteRequested());
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"*.*", 0));
  EXPECT_TRUE(a.IsDeleteRequested());
  a.AbortDeletionProcess();
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(before, GetFile(P("d.um")));

  // Deleting everything leaves a valid empty archive.
  ASSERT_EQ(S_OK, a.Open(W("d.um").c_str(), WUARC_MODE_DELETE, nullptr));
  EXPECT_EQ(0, a.DeleteEntryFromArchive(u"*.*", 0));
  EXPECT_EQ(0, a.Close());
  EXPECT_EQ(HandArchive().Build(), GetFile(P("d.um")));
}

TEST_F(ArchiveWriteTest, AnnotateRewritesTheEndRecordAndKeepsTrailingBytes) {
  HandArchive h;
  h.Add(u"a.txt", "a");
  std::string stub = Noise(500);
  std::string signature = "signature block";
  PutFile(P("p.exe"), stub + h.Build(stub.size(), u"a rather long first comment") + signature);
  for (const char16_t* comment : {u"short", u"a much longer comment than the first one was"}) {
    SCOPED_TRACE(U8(comment));
    CArchive2 a;
    EXPECT_EQ(0, a.Annotate(W("p.exe").c_str(), comment));
    EXPECT_EQ(stub + h.Build(stub.size(), comment) + signature, GetFile(P("p.exe")));
    ASSERT_EQ(S_OK, a.Open(W("p.exe").c_str(), WUARC_MODE_READ, nullptr));
    WCHAR text[128];
    EXPECT_EQ(0, a.GetVolumeComment(text, 128));
    EXPECT_EQ(comment, std::u16string(text));
  }
}

TEST_F(ArchiveWriteTest, AFailedCommentLeavesTheArchiveAsItWas) {
  // A disk that fails part-way: the new end record with a long comment
  // does not fit. With and without bytes behind the end record.
  HandArchive h;
  h.Add(u"a.txt", "a");
  std::u16string longComment(1000, u'c');
  for (const std::string& trailing : {std::string(), std::string("signature block")}) {
    SCOPED_TRACE(trailing);
    std::string before = h.Build(0, u"old") + trailing;
    PutFile(P("c.um"), before);
    ScriptedProgress progress;
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("c.um").c_str(), WUARC_MODE_READ, &progress));  // sets the progress
    a.Close();
    {
      wutest::FileSizeLimit limit(before.size() + 100);
      EXPECT_EQ(WU_E_WRITE, a.Annotate(W("c.um").c_str(), longComment.c_str()));
    }
    EXPECT_EQ(WUARC_ERR_WRITE, progress.errors.back());
    EXPECT_EQ(before, GetFile(P("c.um")));
    ASSERT_EQ(S_OK, a.Open(W("c.um").c_str(), WUARC_MODE_READ, nullptr));
    WCHAR text[1024];
    EXPECT_EQ(0, a.GetVolumeComment(text, 1024));
    EXPECT_EQ(u"old", std::u16string(text));
    EXPECT_EQ(0, a.ValidateEntry(u"*.*"));
    a.Close();
  }
}

TEST_F(ArchiveWriteTest, CreatingOverAFileReplacesItOnlyWhenTheNewArchiveIsWhole) {
  PutFile(P("big.bin"), Noise(200000));
  std::string old = HandArchive().Build(0, u"old one");
  PutFile(P("n.um"), old);
  ASSERT_EQ(0, chmod(P("n.um").c_str(), 0751));
  {
    // Abandoned (destroyed unclosed) after a failed add: the old file and
    // nothing else.
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("n.um").c_str(), WUARC_MODE_CREATE, nullptr));
    wutest::FileSizeLimit limit(50000);
    EXPECT_EQ(WU_E_WRITE, a.AddEntryToArchive(W("big.bin").c_str(), 0, 0, 0, nullptr));
  }
  EXPECT_EQ(old, GetFile(P("n.um")));
  EXPECT_FALSE(Exists(P("~n.um")));

  // A whole new archive takes the old file's place and its permission bits.
  Create("n.um", {"big.bin"}, 0);
  EXPECT_EQ(std::vector<std::u16string>{u"big.bin"}, Names("n.um"));
  EXPECT_EQ(0751u, ModeOf(P("n.um")));
  EXPECT_FALSE(Exists(P("~n.um")));

  // A read-only file or a folder of that name is refused at once.
  ASSERT_EQ(0, chmod(P("n.um").c_str(), 0444));
  MakeDir("d.um");
  for (const char* name : {"n.um", "d.um"}) {
    CArchive2 a;
    EXPECT_EQ(WU_E_CREATE_FILE, a.Open(W(name).c_str(), WUARC_MODE_CREATE, nullptr)) << name;
  }
}

// Free space comes through a seam, so any disk can be presented.
struct FakeDisk {
  static ULONGLONG freeBytes;
  static const char16_t* fileSystem;
  static BOOL Info(LPCWSTR, tARCDISKINFO* info) {
    info->freeBytes = freeBytes;
    int i = 0;
    for (; fileSystem[i]; ++i) info->fileSystem[i] = fileSystem[i];
    info->fileSystem[i] = 0;
    return TRUE;
  }
};
ULONGLONG FakeDisk::freeBytes = 0;
const char16_t* FakeDisk::fileSystem = u"ext4";

class SpaceTest : public ArchiveWriteTest {
 protected:
  void SetUp() override {
    ArchiveWriteTest::SetUp();
    ArcSetDiskInfoSource(&FakeDisk::Info);
  }
  void TearDown() override { ArcSetDiskInfoSource(nullptr); }
};

TEST_F(SpaceTest, ExtractionNeedsTheUncompressedSize) {
  HandArchive h;
  h.Add(u"a.bin", Text(300 * 1024), 1);
  PutFile(P("s.um"), h.Build());
  MakeDir("out");
  ScriptedProgress progress;
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("s.um").c_str(), WUARC_MODE_READ, &progress));
  FakeDisk::fileSystem = u"ext4";
  FakeDisk::freeBytes = 299 * 1024;
  EXPECT_EQ(1, a.IsSpaceForExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(WU_E_NO_SPACE, a.ExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(WUARC_ERR_DISK_SPACE, progress.errors.back());
  EXPECT_FALSE(Exists(P("out/a.bin")));
  FakeDisk::freeBytes = 300 * 1024;
  EXPECT_EQ(0, a.IsSpaceForExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(0, a.ExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(WU_E_BAD_FILE_NAME, a.IsSpaceForExtractAll(W("missing").c_str(), 0));
}

TEST_F(SpaceTest, FatVolumesOfferAtMostFourGiB) {
  // A sparse 5 GiB file: adding it needs 5 GiB.
  int fd = open(P("big.bin").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(0, ftruncate(fd, 5LL << 30));
  close(fd);
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("big.um").c_str(), WUARC_MODE_CREATE, nullptr));
  FakeDisk::freeBytes = 100ULL << 30;
  for (const char16_t* fs : {u"FAT32", u"FAT"}) {
    FakeDisk::fileSystem = fs;
    EXPECT_EQ(1, a.IsSpaceForAddEntry(W("big.bin").c_str(), 0)) << U8(fs);
  }
  FakeDisk::fileSystem = u"ext4";
  EXPECT_EQ(0, a.IsSpaceForAddEntry(W("big.bin").c_str(), 0));
  // A small FAT volume offers what it has, not 4 GiB.
  FakeDisk::fileSystem = u"FAT32";
  FakeDisk::freeBytes = 1 << 20;
  PutFile(P("two.bin"), Noise(2 << 20));
  EXPECT_EQ(1, a.IsSpaceForAddEntry(W("two.bin").c_str(), 0));
  EXPECT_EQ(WU_E_NO_SPACE, a.AddEntryToArchive(W("two.bin").c_str(), 0, 0, 0, nullptr));
  a.Close();
}

}  // namespace
}  // namespace archtest
