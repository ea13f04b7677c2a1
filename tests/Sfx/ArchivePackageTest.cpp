// Self-extracting packages and volume files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "foundation/WuStatus.h"
#include "tests/Sfx/ArchiveTestUtil.h"

namespace archtest {
namespace {

class ArchivePackageTest : public ArchiveTest {
 protected:
  // An archive written by the library: three stored entries of noise
  // (stored, so that entry data sizes are known) and a deflated text.
  void MakeArchive(const std::string& name) {
    MakeDir("src");
    PutFile(P("src/one.bin"), Noise(500000, 1));
    PutFile(P("src/two.bin"), Noise(400000, 2));
    PutFile(P("src/three.bin"), Noise(300000, 3));
    PutFile(P("src/text.txt"), Text(200000));
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W(name).c_str(), WUARC_MODE_CREATE, nullptr));
    for (const char* f : {"src/one.bin", "src/two.bin", "src/three.bin"})
      ASSERT_EQ(0, a.AddEntryToArchive(W(f).c_str(), 0, 0, 0, nullptr));
    ASSERT_EQ(0, a.AddEntryToArchive(W("src/text.txt").c_str(), 1, 6, 0, nullptr));
    ASSERT_EQ(0, a.Close());
  }

  // Extracts an archive and compares every file with the sources.
  void ExpectExtractsLikeSources(const std::string& archive) {
    std::string out = wutest::MakeTempDir("out");
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W(archive).c_str(), WUARC_MODE_READ, nullptr));
    EXPECT_EQ(0, a.ValidateEntry(u"*.*"));
    ASSERT_EQ(0, a.ExtractAll(U16(out).c_str(), 0));
    a.Close();
    for (const char* f : {"one.bin", "two.bin", "three.bin", "text.txt"})
      EXPECT_EQ(GetFile(P("src/") + f), GetFile(out + "/" + f)) << f;
  }
};

TEST_F(ArchivePackageTest, CreateSEAAndSplitSEARoundTrip) {
  MakeArchive("data.um");
  std::string stub = Noise(12345, 42);
  PutFile(P("stub.exe"), stub);
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("data.um").c_str(), WUARC_MODE_SEA, nullptr));
  EXPECT_EQ(E_INVALIDARG, a.CreateSEA(W("data.um").c_str(), W("stub.exe").c_str(), 0))
      << "the output may not be the source";
  ASSERT_EQ(0, a.CreateSEA(W("setup.exe").c_str(), W("stub.exe").c_str(), 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(stub, GetFile(P("setup.exe")).substr(0, stub.size()));
  ExpectExtractsLikeSources("setup.exe");

  // A package may be the source of another package.
  PutFile(P("stub2.exe"), "tiny stub");
  ASSERT_EQ(S_OK, a.Open(W("setup.exe").c_str(), WUARC_MODE_SEA, nullptr));
  ASSERT_EQ(0, a.CreateSEA(W("setup2.exe").c_str(), W("stub2.exe").c_str(), 0));
  ASSERT_EQ(0, a.Close());
  ExpectExtractsLikeSources("setup2.exe");

  // Taking it apart gives the stub and the original archive back.
  MakeDir("apart");
  ASSERT_EQ(S_OK, a.Open(W("setup.exe").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_TRUE(a.GetArchiveSEAStatus());
  ASSERT_EQ(0, a.SplitSEA(W("apart").c_str(), 0));
  a.Close();
  EXPECT_EQ(stub, GetFile(P("apart/Seastub.exe")));
  EXPECT_EQ(GetFile(P("data.um")), GetFile(P("apart/data.um")));

  // A plain archive cannot be taken apart.
  ScriptedProgress progress;
  ASSERT_EQ(S_OK, a.Open(W("data.um").c_str(), WUARC_MODE_READ, &progress));
  EXPECT_EQ(WU_E_OPEN_FILE, a.SplitSEA(W("apart").c_str(), 0));
  EXPECT_EQ(WUARC_ERR_OPEN, progress.errors.back());
}

TEST_F(ArchivePackageTest, SplitAndMergeVolumes) {
  MakeArchive("v.um");
  std::string original = GetFile(P("v.um"));
  CArchive2 a;
  // The entry data: all but the directory (four records and their names)
  // and the end record. A volume size of all of it gives two volumes.
  ULONGLONG data = original.size() - 56 - 4 * 84 - 2 * (7 + 7 + 9 + 8);
  struct Case {
    LONGLONG volumeSize;
    LONG volumes;
  } cases[] = {{static_cast<LONGLONG>(data), 2}, {300000, 5}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volumeSize);
    PutFile(P("v.um"), original);
    ASSERT_EQ(S_OK, a.Open(W("v.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
    EXPECT_EQ(E_INVALIDARG, a.SplitArchive(static_cast<LONGLONG>(data) + 1, 0));
    ASSERT_EQ(0, a.SplitArchive(c.volumeSize, 0));
    ASSERT_EQ(0, a.Close());
    EXPECT_FALSE(Exists(P("~v.um")));
    for (LONG n = 2; n <= c.volumes; ++n) EXPECT_TRUE(Exists(P("v" + std::to_string(n) + ".um")));
    EXPECT_FALSE(Exists(P("v" + std::to_string(c.volumes + 1) + ".um")));
    EXPECT_LE(GetFile(P("v.um")).size(), static_cast<size_t>(c.volumeSize));
    CArchive2 r;
    ASSERT_EQ(S_OK, r.Open(W("v.um").c_str(), WUARC_MODE_READ, nullptr));
    EXPECT_EQ(c.volumes, r.GetMultiVolumeStatus());
    EXPECT_EQ(static_cast<LONGLONG>(original.size()) + 8, r.GetArchiveSize())
        << "the same bytes, plus the stored name \"v.um\"";
    r.Close();
    ExpectExtractsLikeSources("v.um");

    ASSERT_EQ(S_OK, a.Open(W("v.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
    ASSERT_EQ(0, a.MergeArchive(0));
    EXPECT_TRUE(Exists(P("v2.um"))) << "volumes stay until the merged archive is in place";
    ASSERT_EQ(0, a.Close());
    EXPECT_EQ(original, GetFile(P("v.um")));
    for (LONG n = 2; n <= c.volumes; ++n) EXPECT_FALSE(Exists(P("v" + std::to_string(n) + ".um")));
  }
  ScriptedProgress progress;
  ASSERT_EQ(S_OK, a.Open(W("v.um").c_str(), WUARC_MODE_VOLUMES, &progress));
  EXPECT_EQ(E_FAIL, a.MergeArchive(0)) << "one volume cannot be merged";
  EXPECT_EQ(WUARC_ERR_NO_ARCHIVE, progress.errors.back());
  EXPECT_EQ(1, a.Close());
}

TEST_F(ArchivePackageTest, AFailedSplitRemovesItsVolumesAndKeepsTheArchive) {
  MakeArchive("f.um");
  std::string original = GetFile(P("f.um"));
  MakeDir("f3.um");  // volume 3 cannot be created
  ScriptedProgress progress;
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("f.um").c_str(), WUARC_MODE_VOLUMES, &progress));
  EXPECT_EQ(WU_E_CREATE_FILE, a.SplitArchive(300000, 0));
  EXPECT_EQ(WUARC_ERR_CREATE, progress.errors.back());
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(original, GetFile(P("f.um")));
  EXPECT_FALSE(Exists(P("f2.um")));
  EXPECT_FALSE(Exists(P("~f.um")));
}

// Every rewrite keeps the archive's permission bits (its volume files get
// them too), and its work copy is readable by its owner alone while it is
// written.
TEST_F(ArchivePackageTest, RewritesKeepTheModeAndHideTheWorkCopyWhileWritten) {
  MakeArchive("m.um");
  PutFile(P("extra.bin"), Noise(300000, 9));
  mode_t during = 0;
  ScriptedProgress progress;
  auto watch = [&] {
    during = 0;
    progress.onBytes = [&] { during = ModeOf(P("~m.um")); };
  };
  CArchive2 a;

  ASSERT_EQ(0, chmod(P("m.um").c_str(), 0755));
  watch();
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_APPEND, &progress));
  ASSERT_EQ(0, a.AddEntryToArchive(W("extra.bin").c_str(), 0, 0, 0, nullptr));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(0600u, during) << "add";
  EXPECT_EQ(0755u, ModeOf(P("m.um"))) << "add";

  ASSERT_EQ(0, chmod(P("m.um").c_str(), 0600));
  watch();
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_DELETE, &progress));
  ASSERT_EQ(0, a.DeleteEntryFromArchive(u"extra.bin", 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(0600u, during) << "delete";
  EXPECT_EQ(0600u, ModeOf(P("m.um"))) << "delete";

  ASSERT_EQ(0, chmod(P("m.um").c_str(), 0640));
  watch();
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_VOLUMES, &progress));
  ASSERT_EQ(0, a.SplitArchive(300000, 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(0600u, during) << "split";
  for (const char* f : {"m.um", "m2.um", "m3.um"}) EXPECT_EQ(0640u, ModeOf(P(f))) << f;

  ASSERT_EQ(0, chmod(P("m.um").c_str(), 0604));
  watch();
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_VOLUMES, &progress));
  ASSERT_EQ(0, a.MergeArchive(0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(0600u, during) << "merge";
  EXPECT_EQ(0604u, ModeOf(P("m.um"))) << "merge";
  ExpectExtractsLikeSources("m.um");
}

// A split run again (a new archive of the same name, as a build script run
// twice makes) replaces the volume files of the last one, but only once the
// whole split is written: one that fails, part-way through the volumes or
// on a full disk, leaves the archive and the old volume files byte for
// byte, with nothing new beside them.
TEST_F(ArchivePackageTest, ASplitRunAgainReplacesTheOldVolumesOnlyWhenWhole) {
  const char* files[] = {"s.um", "s2.um", "s3.um", "s4.um", "s5.um"};
  auto split = [&](HRESULT expected) {
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("s.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
    EXPECT_EQ(expected, a.SplitArchive(300000, 0));
    EXPECT_EQ(expected == 0 ? 0 : 1, a.Close());
  };
  MakeArchive("s.um");
  PutFile(P("s3.um"), "not a volume");
  split(0);
  ExpectExtractsLikeSources("s.um");

  MakeArchive("s.um");
  std::vector<std::string> before;
  for (const char* f : files) before.push_back(GetFile(P(f)));
  std::string names = Names(dir);
  ASSERT_EQ(0, chmod(P("s4.um").c_str(), 0444));  // volume 4 cannot be replaced
  split(WU_E_CREATE_FILE);
  ASSERT_EQ(0, chmod(P("s4.um").c_str(), 0644));
  {
    wutest::FileSizeLimit limit(250000);  // a disk that fills part-way
    split(WU_E_WRITE);
  }
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_TRUE(before[i] == GetFile(P(files[i]))) << files[i] << " changed";
  EXPECT_EQ(names, Names(dir)) << "nothing new is left";

  split(0);
  ExpectExtractsLikeSources("s.um");
  EXPECT_EQ(names, Names(dir));
}

// A package or its parts written over existing files that a failing disk
// cuts short: the existing files stay whole, no work file is left.
TEST_F(ArchivePackageTest, FailedPackageWritesLeaveExistingFilesWhole) {
  MakeArchive("p.um");
  PutFile(P("stub.bin"), Noise(5000, 7));
  PutFile(P("setup.run"), "the old package");
  ASSERT_EQ(0, chmod(P("setup.run").c_str(), 0750));
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("p.um").c_str(), WUARC_MODE_SEA, nullptr));
  {
    wutest::FileSizeLimit limit(100000);
    EXPECT_EQ(WU_E_WRITE, a.CreateSEA(W("setup.run").c_str(), W("stub.bin").c_str(), 0));
  }
  a.Close();
  EXPECT_EQ("the old package", GetFile(P("setup.run")));
  EXPECT_FALSE(Exists(P("~setup.run")));

  // Made whole, it replaces the old one and keeps its permission bits.
  ASSERT_EQ(S_OK, a.Open(W("p.um").c_str(), WUARC_MODE_SEA, nullptr));
  ASSERT_EQ(0, a.CreateSEA(W("setup.run").c_str(), W("stub.bin").c_str(), 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(0750u, ModeOf(P("setup.run")));
  EXPECT_EQ(Noise(5000, 7), GetFile(P("setup.run")).substr(0, 5000));

  // Taking it apart over existing files.
  MakeDir("parts");
  PutFile(P("parts/Seastub.exe"), "old stub");
  PutFile(P("parts/p.um"), "old archive");
  ASSERT_EQ(0, chmod(P("parts/p.um").c_str(), 0600));
  for (rlim_t cut : {rlim_t{1000}, rlim_t{100000}}) {  // in the stub, in the archive
    SCOPED_TRACE(cut);
    ASSERT_EQ(S_OK, a.Open(W("setup.run").c_str(), WUARC_MODE_READ, nullptr));
    {
      wutest::FileSizeLimit limit(cut);
      EXPECT_NE(0, a.SplitSEA(W("parts").c_str(), WUARC_SPLIT_NO_ASK));
    }
    a.Close();
    EXPECT_EQ(cut == 1000 ? "old stub" : Noise(5000, 7), GetFile(P("parts/Seastub.exe")));
    EXPECT_EQ("old archive", GetFile(P("parts/p.um")));
    EXPECT_FALSE(Exists(P("parts/~Seastub.exe")));
    EXPECT_FALSE(Exists(P("parts/~p.um")));
  }
  ASSERT_EQ(S_OK, a.Open(W("setup.run").c_str(), WUARC_MODE_READ, nullptr));
  ASSERT_EQ(0, a.SplitSEA(W("parts").c_str(), WUARC_SPLIT_NO_ASK));
  a.Close();
  EXPECT_EQ(0600u, ModeOf(P("parts/p.um")));
  ExpectExtractsLikeSources("parts/p.um");
}

TEST_F(ArchivePackageTest, MissingVolumesAreReported) {
  MakeArchive("m.um");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
  ASSERT_EQ(0, a.SplitArchive(300000, 0));
  ASSERT_EQ(0, a.Close());
  std::string first = GetFile(P("m.um"));
  ASSERT_EQ(0, rename(P("m3.um").c_str(), P("gone.um").c_str()));

  ScriptedProgress progress;
  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_READ, &progress));
  MakeDir("out");
  EXPECT_EQ(WU_E_BAD_DATA, a.ExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(WUARC_ERR_VOLUME_MISSING, progress.errors.back());
  EXPECT_EQ(U16("ExtractAll|" + P("m3.um")), progress.errorTexts.back());
  a.Close();

  ASSERT_EQ(S_OK, a.Open(W("m.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
  EXPECT_EQ(WU_E_CREATE_FILE, a.MergeArchive(0));
  EXPECT_EQ(1, a.Close());
  EXPECT_EQ(first, GetFile(P("m.um")));
  EXPECT_TRUE(Exists(P("m2.um")));
  EXPECT_TRUE(Exists(P("m4.um")));
}

TEST_F(ArchivePackageTest, PackagesOfSplitArchivesCarryTheirVolumes) {
  MakeArchive("s.um");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("s.um").c_str(), WUARC_MODE_VOLUMES, nullptr));
  ASSERT_EQ(0, a.SplitArchive(400000, 0));
  ASSERT_EQ(0, a.Close());
  MakeDir("dist");
  PutFile(P("stub.exe"), "stub");
  ASSERT_EQ(S_OK, a.Open(W("s.um").c_str(), WUARC_MODE_SEA, nullptr));
  ASSERT_EQ(0, a.CreateSEA(W("dist/setup.exe").c_str(), W("stub.exe").c_str(), 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_EQ(GetFile(P("s2.um")), GetFile(P("dist/s2.um")));
  EXPECT_EQ(GetFile(P("s3.um")), GetFile(P("dist/s3.um")));
  ExpectExtractsLikeSources("dist/setup.exe");

  // A package of that package keeps the volume names.
  MakeDir("dist2");
  ASSERT_EQ(S_OK, a.Open(W("dist/setup.exe").c_str(), WUARC_MODE_SEA, nullptr));
  ASSERT_EQ(0, a.CreateSEA(W("dist2/again.exe").c_str(), W("stub.exe").c_str(), 0));
  ASSERT_EQ(0, a.Close());
  EXPECT_TRUE(Exists(P("dist2/s2.um")));
  ExpectExtractsLikeSources("dist2/again.exe");
}

}  // namespace
}  // namespace archtest
