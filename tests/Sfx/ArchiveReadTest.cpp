// Reading "UM" archives: archives written byte by byte from the format,
// packages behind a stub, damaged and hostile archives.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "Sfx/CArchive2.h"
#include "foundation/WuStatus.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/Sfx/ArchiveTestUtil.h"

namespace archtest {
namespace {

constexpr time_t kTime = 1577934245;  // 2020-01-02 03:04:05 UTC

class ArchiveReadTest : public ArchiveTest {
 protected:
  // A small archive of every kind of entry.
  HandArchive Sample() {
    HandArchive a;
    a.Add(u"docs\\", "", 0, FileTimeOf(kTime), 0x10);
    a.Add(u"docs\\readme.txt", Text(5000), 1, FileTimeOf(kTime));
    a.Add(u"docs\\empty.bin", "", 1, FileTimeOf(kTime));
    a.Add(u"raw.bin", Noise(3000), 0, FileTimeOf(kTime), 0x01);  // read-only
    return a;
  }

  void ExpectSampleExtracted(const std::string& to) {
    EXPECT_EQ(Text(5000), GetFile(to + "/docs/readme.txt"));
    EXPECT_TRUE(Exists(to + "/docs/empty.bin"));
    EXPECT_EQ("", GetFile(to + "/docs/empty.bin"));
    EXPECT_EQ(Noise(3000), GetFile(to + "/raw.bin"));
    struct stat st;
    ASSERT_EQ(0, stat((to + "/raw.bin").c_str(), &st));
    EXPECT_EQ(kTime, st.st_mtime);
    EXPECT_EQ(0, st.st_mode & 0222) << "read-only attribute clears the write bits";
    ASSERT_EQ(0, stat((to + "/docs/readme.txt").c_str(), &st));
    EXPECT_EQ(kTime, st.st_mtime);
    EXPECT_NE(0, st.st_mode & 0200);
  }
};

TEST_F(ArchiveReadTest, HandWrittenArchiveOpensListsAndExtracts) {
  PutFile(P("a.um"), Sample().Build(0, u"a comment"));
  MakeDir("out");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("a.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(4, a.GetArchiveCount());
  EXPECT_FALSE(a.GetArchiveSEAStatus());
  EXPECT_EQ(1, a.GetMultiVolumeStatus());

  WCHAR name[260];
  a.GetEntryName(1, name, 260);
  EXPECT_EQ(u"docs\\readme.txt", std::u16string(name));
  a.GetEntryName(4, name, 260);
  EXPECT_EQ(u"", std::u16string(name)) << "out of range gives an empty name";

  ULONGLONG size = 0;
  EXPECT_EQ(0, a.GetEntryUncompressedSize(u"DOCS\\README.TXT", size)) << "names ignore case";
  EXPECT_EQ(5000u, size);
  EXPECT_EQ(1, a.GetEntryUncompressedSize(u"missing", size));
  EXPECT_EQ(0u, size);
  DWORD crc = 0, method = 9, attributes = 0;
  a.GetEntryCRC32(LONG{3}, crc);
  EXPECT_EQ(Crc(Noise(3000)), crc);
  a.GetEntryCompressionType(LONG{1}, method);
  EXPECT_EQ(1u, method);
  a.GetEntryFileAttributes(u"raw.bin", attributes);
  EXPECT_EQ(1u, attributes);
  FILETIME t{};
  a.GetEntryFileTime(LONG{3}, t);
  EXPECT_EQ(FileTimeOf(kTime), platform::FileTimeToU64(t));
  ULONGLONG total = 0;
  a.GetSizeExtractAll(total);
  EXPECT_EQ(8000u, total);
  WCHAR comment[64];
  EXPECT_EQ(0, a.GetVolumeComment(comment, 64));
  EXPECT_EQ(u"a comment", std::u16string(comment));
  EXPECT_EQ(WU_E_BUFFER_TOO_SMALL, a.GetVolumeComment(comment, 9));

  EXPECT_EQ(0, a.ExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(0, a.ValidateEntry(u"*.*"));
  EXPECT_EQ(0, a.Close());
  ExpectSampleExtracted(P("out"));
}

TEST_F(ArchiveReadTest, PackageBehindStubReadsLikeThePlainArchive) {
  // The trailing bytes end with a false end signature: a candidate that
  // describes no directory is passed over.
  std::string stub = Noise(70000, 7);
  std::string fake = "UM\x05\x0C" + std::string(52, '\x01');
  std::string trailing = Noise(5376 - fake.size(), 9) + fake;
  PutFile(P("setup.exe"), stub + Sample().Build(stub.size()) + trailing);
  MakeDir("out");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("setup.exe").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_TRUE(a.GetArchiveSEAStatus());
  EXPECT_EQ(4, a.GetArchiveCount());
  EXPECT_EQ(0, a.ExtractAll(W("out").c_str(), 0));
  a.Close();
  ExpectSampleExtracted(P("out"));
}

TEST_F(ArchiveReadTest, EndRecordOutsideTheScanWindowIsNotFound) {
  std::string archive = Sample().Build();
  std::string endAndTexts = archive.substr(archive.rfind("UM\x05\x0C"));
  // The end record starts 32,768 bytes before the end: still in the window.
  PutFile(P("edge.um"), archive + std::string(32768 - endAndTexts.size(), 'x'));
  // One byte further out it is not.
  PutFile(P("far.um"), archive + std::string(32769 - endAndTexts.size(), 'x'));
  PutFile(P("tiny.um"), "UM\x05\x0C");
  CArchive2 a;
  EXPECT_EQ(S_OK, a.Open(W("edge.um").c_str(), WUARC_MODE_READ, nullptr));
  a.Close();
  ScriptedProgress progress;
  EXPECT_EQ(WU_E_BAD_SIGNATURE, a.Open(W("far.um").c_str(), WUARC_MODE_READ, &progress));
  EXPECT_EQ(WU_E_BAD_SIGNATURE, a.Open(W("tiny.um").c_str(), WUARC_MODE_READ, &progress));
  EXPECT_EQ(WU_E_FILE_EXISTS, a.Open(W("none.um").c_str(), WUARC_MODE_READ, &progress));
  EXPECT_EQ((std::vector<HRESULT>{WUARC_ERR_SIGNATURE, WUARC_ERR_SIGNATURE, WUARC_ERR_NO_FILE}),
            progress.errors);
  EXPECT_EQ(-1, a.GetArchiveCount());
}

TEST_F(ArchiveReadTest, CorruptStoredEntryFailsItsCrcAndStaysOnDisk) {
  HandArchive h;
  h.Add(u"a.bin", Noise(1000), 0);
  std::string bytes = h.Build();
  bytes[64 + 10 + 500] ^= 0x40;  // a byte of the stored data
  PutFile(P("bad.um"), bytes);
  MakeDir("out");
  ScriptedProgress progress;
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("bad.um").c_str(), WUARC_MODE_READ, &progress));
  EXPECT_EQ(WU_E_BAD_DATA, a.ValidateEntry(LONG{0}));
  EXPECT_EQ(WU_E_BAD_DATA, a.ExtractAll(W("out").c_str(), 0));
  EXPECT_EQ(WUARC_ERR_CRC, progress.errors.back());
  EXPECT_EQ(1000u, GetFile(P("out/a.bin")).size());
}

// Damaged deflate data must end with an error, whatever zlib makes of it.
TEST_F(ArchiveReadTest, DamagedDeflateStreamsEndWithADataError) {
  std::string data = Text(400000) + Noise(300000);
  std::string full = RawDeflate(data);
  struct Case {
    const char* what;
    std::string stored;  // stored bytes
    ULONGLONG size;      // recorded uncompressed size
  } cases[] = {
      {"truncated to a third", full.substr(0, full.size() / 3), data.size()},
      {"cut one byte short", full.substr(0, full.size() - 1), data.size()},
      {"output longer than recorded", full, data.size() - 100},
      {"stray bytes after the stream", full + "junk", data.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HandArchive h;
    HandEntry& e = h.Add(u"big.bin", data, 1);
    e.stored = c.stored;
    e.size = c.size;
    e.storedCrc = Crc(c.stored);
    PutFile(P("damaged.um"), h.Build());
    std::string out = wutest::MakeTempDir("out");
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("damaged.um").c_str(), WUARC_MODE_READ, nullptr));
    EXPECT_EQ(WU_E_BAD_DATA, a.ExtractAll(U16(out).c_str(), 0));
    a.Close();
    struct stat st;
    ASSERT_EQ(0, stat((out + "/big.bin").c_str(), &st));
    EXPECT_LE(static_cast<ULONGLONG>(st.st_size), data.size()) << "output is bounded";
  }
}

// Data the decompressor itself refuses (an invalid block type, stored block
// lengths that disagree) is a decompressor failure: 0xAAAAAAA9 with 0x8004E009. A
// stream that merely never ends stays a data error (above).
TEST_F(ArchiveReadTest, DecompressorFailuresAreWriteFailures) {
  std::string data = Text(5000);
  std::string full = RawDeflate(data);
  struct Case {
    const char* what;
    std::string stored;
  } cases[] = {
      {"invalid block type", std::string("\xff\xff\xff\xff") + full},
      {"stored block lengths that disagree", std::string("\x01\x05\x00\x00\x00hello", 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HandArchive h;
    HandEntry& e = h.Add(u"big.bin", data, 1);
    e.stored = c.stored;
    e.storedCrc = Crc(c.stored);
    PutFile(P("refused.um"), h.Build());
    std::string out = wutest::MakeTempDir("out");
    ScriptedProgress progress;
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("refused.um").c_str(), WUARC_MODE_READ, &progress));
    EXPECT_EQ(WU_E_WRITE, a.ExtractAll(U16(out).c_str(), 0));
    ASSERT_FALSE(progress.errors.empty());
    EXPECT_EQ(WUARC_ERR_WRITE, progress.errors.back());
    a.Close();
  }
}

// Names that would leave the target folder are refused; nothing is written
// outside it.
TEST_F(ArchiveReadTest, UnsafeNamesAreRefused) {
  const char16_t* names[] = {u"..\\evil.txt",  u"a\\..\\..\\evil.txt", u"\\evil.txt",
                             u"/evil.txt",     u"C:\\evil.txt",       u"a\\\\evil.txt",
                             u"a/../../evil.txt", u"..",              u"sub\\..\\..\\evil.txt"};
  for (const char16_t* name : names) {
    SCOPED_TRACE(U8(name));
    HandArchive h;
    h.Add(u"fine.txt", "ok");
    h.Add(name, "evil");
    PutFile(P("x.um"), h.Build());
    std::string box = wutest::MakeTempDir("box");
    mkdir((box + "/target").c_str(), 0755);
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("x.um").c_str(), WUARC_MODE_READ, nullptr));
    EXPECT_EQ(WU_E_BAD_FILE_NAME, a.ExtractAll(U16(box + "/target").c_str(), 0));
    EXPECT_EQ(WU_E_BAD_FILE_NAME, a.ExtractEntry(LONG{1}, nullptr, U16(box + "/target").c_str(), 0));
    a.Close();
    EXPECT_FALSE(Exists(box + "/evil.txt"));
    EXPECT_FALSE(Exists("/evil.txt"));
    EXPECT_EQ("ok", GetFile(box + "/target/fine.txt"));
  }
}

TEST_F(ArchiveReadTest, SymbolicLinksInTheTargetAreNeverFollowed) {
  MakeDir("outside");
  MakeDir("target");
  PutFile(P("outside/victim.txt"), "precious");
  ASSERT_EQ(0, symlink(P("outside").c_str(), P("target/dir").c_str()));
  ASSERT_EQ(0, symlink(P("outside/victim.txt").c_str(), P("target/file.txt").c_str()));
  for (const char16_t* name : {u"dir\\victim.txt", u"file.txt", u"dir\\new.txt"}) {
    SCOPED_TRACE(U8(name));
    HandArchive h;
    h.Add(name, "overwritten");
    PutFile(P("x.um"), h.Build());
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("x.um").c_str(), WUARC_MODE_READ, nullptr));
    EXPECT_EQ(WU_E_CREATE_FILE, a.ExtractAll(W("target").c_str(), WUARC_EXTRACT_NO_ASK));
    a.Close();
    EXPECT_EQ("precious", GetFile(P("outside/victim.txt")));
    EXPECT_FALSE(Exists(P("outside/new.txt")));
  }
}

TEST_F(ArchiveReadTest, CreateFileNoFollowRefusesALinkButCreatesFiles) {
  PutFile(P("real.txt"), "keep");
  ASSERT_EQ(0, symlink(P("real.txt").c_str(), P("link.txt").c_str()));
  HANDLE h = platform::CreateFileNoFollow(W("link.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(INVALID_HANDLE_VALUE, h);
  EXPECT_EQ(ERROR_ACCESS_DENIED, GetLastError());
  EXPECT_EQ("keep", GetFile(P("real.txt")));
  h = platform::CreateFileNoFollow(W("new.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  DWORD n = 0;
  EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
  CloseHandle(h);
  EXPECT_EQ("abc", GetFile(P("new.txt")));
  h = platform::CreateFileNoFollow(W("real.txt").c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(INVALID_HANDLE_VALUE, h) << "a plain existing file is truncated as usual";
  CloseHandle(h);
  EXPECT_EQ("", GetFile(P("real.txt")));
}

TEST_F(ArchiveReadTest, FlatExtractionAndEntryResults) {
  PutFile(P("a.um"), Sample().Build());
  MakeDir("flat");
  MakeDir("one");
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("a.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(0, a.ExtractAll(W("flat").c_str(), WUARC_EXTRACT_FLAT));
  EXPECT_EQ(Text(5000), GetFile(P("flat/readme.txt")));
  EXPECT_FALSE(Exists(P("flat/docs")));

  LONG two = 2;
  EXPECT_EQ(0, a.ExtractEntry(LONG{1}, &two, W("one").c_str(), 0));
  EXPECT_TRUE(Exists(P("one/docs/readme.txt")));
  EXPECT_TRUE(Exists(P("one/docs/empty.bin")));
  EXPECT_FALSE(Exists(P("one/raw.bin")));
  EXPECT_EQ(1, a.ExtractEntry(LONG{4}, nullptr, W("one").c_str(), 0)) << "nothing at that index";
  EXPECT_EQ(0, a.ExtractEntry(u"raw.bin", W("one").c_str(), 0)) << "file-name part matches";
  EXPECT_EQ(1, a.ExtractEntry(u"nothing*", W("one").c_str(), 0));
  EXPECT_EQ(WU_E_BUFFER_TOO_SMALL, a.ExtractEntry(u"*", W("one").c_str(), 0));
  EXPECT_EQ(WU_E_NO_SPACE, a.ExtractEntry(u"*.txt", W("missing").c_str(), 0));
  EXPECT_EQ(E_INVALIDARG, a.IsSpaceForExtractEntry(u"*.txt", W("missing").c_str(), 0));
  a.Close();

  HandArchive bad;
  bad.Add(u"a.bin", "data").storedCrc ^= 1;
  PutFile(P("bad.um"), bad.Build());
  ASSERT_EQ(S_OK, a.Open(W("bad.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(WU_E_BAD_DATA, a.ExtractEntry(LONG{0}, nullptr, W("one").c_str(), 0))
      << "a failed entry is reported, not 1";
}

// The overwrite question: answers, remembered all-decisions per kind,
// read-only targets, the no-ask flag, and cancel.
TEST_F(ArchiveReadTest, OverwriteDecisions) {
  HandArchive h;
  for (const char16_t* n : {u"a.txt", u"b.txt", u"c.txt", u"r.txt", u"s.txt"}) h.Add(n, "new");
  PutFile(P("a.um"), h.Build());
  struct Case {
    const char* what;
    std::deque<HRESULT> answers;
    DWORD flags;
    bool withProgress;
    const char* expected;  // "n" new or "o" old, for a b c r s
    size_t questions;
    HRESULT result;
  } cases[] = {
      {"yes, no, yes, then read-only yes-to-all", {1, 2, 1, 3}, 0, true, "nonnn", 4, 0},
      {"yes to all asks once per kind", {3, 3}, 0, true, "nnnnn", 2, 0},
      {"no to all keeps every ordinary file", {4, 1, 1}, 0, true, "ooonn", 3, 0},
      {"read-only no-to-all is its own decision", {1, 1, 1, 4}, 0, true, "nnnoo", 4, 0},
      {"no answer means overwrite", {}, 0, true, "nnnnn", 5, 0},
      {"flag 4 never asks", {2, 2, 2, 2, 2}, WUARC_EXTRACT_NO_ASK, true, "nnnnn", 0, 0},
      {"without progress object nobody is asked", {}, 0, false, "nnnnn", 0, 0},
      {"cancel stops at once", {1, WU_E_CANCELLED}, 0, true, "noooo", 2, WU_E_CANCELLED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string out = wutest::MakeTempDir("out");
    for (const char* n : {"a.txt", "b.txt", "c.txt", "r.txt", "s.txt"}) PutFile(out + "/" + n, "old");
    chmod((out + "/r.txt").c_str(), 0444);
    chmod((out + "/s.txt").c_str(), 0444);
    ScriptedProgress progress;
    progress.answers = c.answers;
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("a.um").c_str(), WUARC_MODE_READ, c.withProgress ? &progress : nullptr));
    EXPECT_EQ(c.result, a.ExtractAll(U16(out).c_str(), c.flags));
    a.Close();
    std::string got;
    for (const char* n : {"a.txt", "b.txt", "c.txt", "r.txt", "s.txt"})
      got += GetFile(out + "/" + n) == "new" ? 'n' : 'o';
    EXPECT_EQ(c.expected, got);
    EXPECT_EQ(c.questions, progress.asked.size());
    if (!c.answers.empty() && !(c.flags & WUARC_EXTRACT_NO_ASK) && c.result == 0) {
      EXPECT_EQ(5, progress.Count(WUARC_STATUS_OVERWRITTEN) + progress.Count(WUARC_STATUS_SKIPPED));
    }
  }
}

// An existing file is replaced only by a whole, correct new one: a write
// that a failing disk cuts short, a damaged entry and a cancel leave it as
// it was. The file that replaces it keeps its permission bits.
TEST_F(ArchiveReadTest, ExtractionReplacesAFileOnlyWithAWholeOne) {
  HandArchive h;
  h.Add(u"big.bin", Noise(300000), 0);
  h.Add(u"small.txt", "new small", 1);
  PutFile(P("r.um"), h.Build());
  HandArchive bad;
  bad.Add(u"big.bin", Noise(1000), 0).storedCrc ^= 1;
  PutFile(P("bad.um"), bad.Build());
  std::string out = wutest::MakeTempDir("out");
  auto listing = [&] {
    std::vector<std::string> names;
    for (const char* n : {"big.bin", "small.txt"}) names.push_back(GetFile(out + "/" + n));
    return names;
  };
  PutFile(out + "/big.bin", "old big");
  PutFile(out + "/small.txt", "old small");
  ASSERT_EQ(0, chmod((out + "/big.bin").c_str(), 0751));
  const std::vector<std::string> old = listing();
  CArchive2 a;
  ASSERT_EQ(S_OK, a.Open(W("r.um").c_str(), WUARC_MODE_READ, nullptr));
  {
    wutest::FileSizeLimit limit(100000);
    EXPECT_EQ(WU_E_WRITE, a.ExtractEntry(u"big.bin", U16(out).c_str(), WUARC_EXTRACT_NO_ASK));
  }
  a.Close();
  ASSERT_EQ(S_OK, a.Open(W("bad.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(WU_E_BAD_DATA, a.ExtractAll(U16(out).c_str(), WUARC_EXTRACT_NO_ASK));
  a.Close();
  EXPECT_EQ(old, listing());
  std::atomic<bool> stop{true};  // a cancel at the first poll
  a.SetStopFlag(&stop);
  ASSERT_EQ(S_OK, a.Open(W("r.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(WU_E_CANCELLED, a.ExtractAll(U16(out).c_str(), WUARC_EXTRACT_NO_ASK));
  a.Close();
  a.SetStopFlag(nullptr);
  EXPECT_EQ(old, listing());
  size_t files = 0;
  for (const auto& item : std::filesystem::directory_iterator(out)) files += !item.is_directory();
  EXPECT_EQ(2u, files) << "no work file is left";

  ASSERT_EQ(S_OK, a.Open(W("r.um").c_str(), WUARC_MODE_READ, nullptr));
  EXPECT_EQ(0, a.ExtractAll(U16(out).c_str(), WUARC_EXTRACT_NO_ASK));
  a.Close();
  EXPECT_EQ((std::vector<std::string>{Noise(300000), "new small"}), listing());
  EXPECT_EQ(0751u, ModeOf(out + "/big.bin"));
}

// Cancel from another thread: the worker blocks at its next poll until the
// question is answered, then stops (or goes on after "no").
TEST_F(ArchiveReadTest, CancelFromASecondThread) {
  HandArchive h;
  h.Add(u"big.bin", Noise(4 * 262144), 0);
  h.Add(u"after.bin", "x");
  PutFile(P("a.um"), h.Build());
  for (HRESULT answer : {WU_E_CANCELLED, HRESULT{0}}) {
    SCOPED_TRACE(answer);
    std::string out = wutest::MakeTempDir("out");
    ScriptedProgress progress;
    std::thread ui;
    int blocksAtQuestion = 0;
    progress.onBytes = [&] {
      progress.SetState(WUARC_ANSWER_PENDING);  // the user pressed Cancel
      blocksAtQuestion = progress.blocks;
      ui = std::thread([&progress, answer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        progress.SetAnswer(answer);
      });
    };
    CArchive2 a;
    ASSERT_EQ(S_OK, a.Open(W("a.um").c_str(), WUARC_MODE_READ, &progress));
    HRESULT result = a.ExtractAll(U16(out).c_str(), 0);
    ui.join();
    a.Close();
    EXPECT_EQ(answer, result);
    EXPECT_EQ(answer == 0, Exists(out + "/after.bin"));
    if (answer != 0) {
      EXPECT_EQ(blocksAtQuestion, progress.blocks) << "no block after the cancel";
    }
    EXPECT_EQ(0, progress.State());
  }
}

// The semaphore protocol itself: an answer given before the worker polls is
// kept for that poll, and a pending question blocks until answered.
TEST_F(ArchiveReadTest, ProgressAnswerWordAcrossThreads) {
  CWuArchiveProgress* p = new CWuArchiveProgress();
  ASSERT_NE(nullptr, p);
  p->SetAnswer(WU_E_CANCELLED);
  EXPECT_EQ(WU_E_CANCELLED, p->WaitForAnswer());
  EXPECT_EQ(0, p->WaitForAnswer());
  p->SetState(WUARC_ANSWER_PENDING);
  std::thread ui([p] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p->SetAnswer(0);
  });
  EXPECT_EQ(0, p->WaitForAnswer());
  ui.join();
  EXPECT_EQ(0, p->State());
  p->SetTotal(10);
  p->AddBytes(25);
  p->SetTotal(20);
  EXPECT_EQ(20u, p->Done()) << "done is clamped to the total";
  delete p;
}

}  // namespace
}  // namespace archtest
