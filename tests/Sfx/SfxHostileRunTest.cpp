// The hostile packages of tests/Sfx/hostile/, run as real packages: each
// one's stub is replaced by the wusfx program, and the package runs as a
// child process with "-quiet -notemp", an environment of only a fresh state
// root and TMPDIR, and a time limit. Every package carries a control archive
// that sends the extraction to $(ProgramFiles)/hostile-target; the program
// files folder is mapped to a fresh folder of each run.
//
// For each package the test checks the exit status, the reason a failed
// run gives (one box; a sound run writes nothing), what the extraction
// folder holds, that nothing else changed in the run's fresh folder (state
// root, TMPDIR, the folders beside the target, the package's own folder),
// that no escaped file appeared anywhere a hostile name could point, that
// the temporary folder is gone, and that the run ended in time.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "Sfx/UmRecords.h"
#include "tests/Sfx/ArchiveTestUtil.h"
#include "tests/Sfx/ChildProcess.h"

namespace sfxtest {
namespace {

using archtest::Exists;
using archtest::GetFile;
using archtest::Noise;
using archtest::PutFile;
using archtest::Text;

// The stub the committed packages start with (their archive base).
constexpr char kCorpusStub[] = "#!/bin/false\n# hostile test package\n";
constexpr size_t kCorpusStubSize = sizeof kCorpusStub - 1;
constexpr char kEscaped[] = "escaped-by-package.txt";
constexpr char kControl[] = "sfxctrl.ach";
constexpr int kSeconds = 30;  // time limit of one run

// Exit statuses (low 8 bits of the run's code).
constexpr int kDone = 0;         // everything extracted
constexpr int kFailed = 66;      // extraction failed (1602)
constexpr int kUnreadable = 0xB0;  // the package does not open (0x8004E0B0)
constexpr int kNoVolume = 0x0B;    // the control archive's volume is missing (0x8004E00B)

// What a folder holds: a relative path, then the file's bytes, "<folder>",
// "<link>", for the control archive "<control>", and for a file of more than
// 1 MiB (the packages) its size and modification time.
using Tree = std::map<std::string, std::string>;

void ListInto(const std::string& folder, const std::string& prefix, Tree* tree) {
  DIR* d = opendir(folder.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string rel = prefix + name, full = folder + "/" + name;
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      (*tree)[rel] = "<link>";
    } else if (S_ISDIR(st.st_mode)) {
      (*tree)[rel] = "<folder>";
      ListInto(full, rel + "/", tree);
    } else if (rel == kControl) {
      (*tree)[rel] = "<control>";
    } else if (st.st_size > (1 << 20)) {
      (*tree)[rel] = "<" + std::to_string(st.st_size) + " bytes, " + std::to_string(st.st_mtim.tv_sec) +
                     "." + std::to_string(st.st_mtim.tv_nsec) + ">";
    } else {
      (*tree)[rel] = GetFile(full);
    }
  }
  closedir(d);
}

Tree List(const std::string& folder) {
  Tree tree;
  ListInto(folder, "", &tree);
  return tree;
}

// Everything but the subtree `skip` (a relative path).
Tree ListBut(const std::string& folder, const std::string& skip) {
  Tree tree = List(folder);
  for (auto it = tree.begin(); it != tree.end();)
    it = it->first == skip || it->first.rfind(skip + "/", 0) == 0 ? tree.erase(it) : std::next(it);
  return tree;
}

std::string CorpusFolder() {
  return SFX_HOSTILE_CORPUS;
}

// The archive part of a package, to follow a stub of `stubSize` bytes in
// place of the committed one. End records whose base lies past the old stub
// and inside the old file move with the archive; a base pointing outside
// stays outside, and the control archive's own end record (base 0, inside
// an entry's data) is left as it is. Empty when the stub is not ours.
std::string ArchiveAfter(const std::string& package, ULONGLONG stubSize) {
  if (package.compare(0, kCorpusStubSize, kCorpusStub) != 0) return {};
  const ULONGLONG shift = stubSize - kCorpusStubSize;
  std::string out = package.substr(kCorpusStubSize);
  const char signature[] = {'U', 'M', 0x05, 0x0C};  // kUmEndSignature, little-endian
  for (size_t at = out.find(signature, 0, 4); at != std::string::npos; at = out.find(signature, at + 1, 4)) {
    if (at + kUmEndRecordSize > out.size()) break;
    BYTE* base = reinterpret_cast<BYTE*>(out.data()) + at + offsetof(tUMENDRECORD, baseOffset);
    ULONGLONG old = UmGet64(base);
    if (old >= kCorpusStubSize && old <= package.size()) UmPut64(base, old + shift);
  }
  return out;
}

struct Case {
  const char* file;  // package in tests/Sfx/hostile/
  int status;        // exit status
  Tree target;       // the extraction folder afterwards (absent: {})
  std::function<void(const std::string& fresh, const std::string& target)> plant = {};
};

Tree WithControl(Tree tree) {
  tree[kControl] = "<control>";
  return tree;
}

std::vector<Case> Cases() {
  const Tree fine = WithControl({{"fine.txt", "ok"}});
  return {
      {"dotdot.pkg", kFailed, fine},
      {"dotdot-inner.pkg", kFailed, fine},
      {"dotdot-slash.pkg", kFailed, fine},
      {"dotdot-folder.pkg", kFailed, fine},
      {"absolute-backslash.pkg", kFailed, fine},
      {"absolute-slash.pkg", kFailed, fine},
      {"drive.pkg", kFailed, fine},
      {"drive-relative.pkg", kFailed, fine},
      {"unc.pkg", kFailed, fine},
      {"nul-in-name.pkg", kFailed, fine},
      // A quiet run asks nothing: the second twin overwrites the first.
      {"separator-twins.pkg", kDone, WithControl({{"dir", "<folder>"}, {"dir/twin.txt", "second"}})},
      {"planted-link-folder.pkg", kFailed, WithControl({{"linkdir", "<link>"}}),
       [](const std::string& fresh, const std::string& target) {
         mkdir((fresh + "/outside").c_str(), 0755);
         mkdir(target.c_str(), 0755);
         symlink((fresh + "/outside").c_str(), (target + "/linkdir").c_str());
       }},
      {"planted-link-file.pkg", kFailed, WithControl({{"linkfile.txt", "<link>"}}),
       [](const std::string& fresh, const std::string& target) {
         mkdir((fresh + "/outside").c_str(), 0755);
         PutFile(fresh + "/outside/victim.txt", "precious");
         mkdir(target.c_str(), 0755);
         symlink((fresh + "/outside/victim.txt").c_str(), (target + "/linkfile.txt").c_str());
       }},
      {"folder-then-file.pkg", kFailed, WithControl({{"same", "<folder>"}})},
      {"file-then-folder.pkg", kFailed, WithControl({{"same", "file"}})},
      {"end-directory-outside.pkg", kUnreadable, {}},
      {"end-base-outside.pkg", kUnreadable, {}},
      {"end-directory-size-outside.pkg", kUnreadable, {}},
      {"local-offset-wraps.pkg", kFailed, fine},
      {"count-4-billion.pkg", kUnreadable, {}},
      {"overlapping.pkg", kFailed,
       WithControl({{"one.txt", Text(3000)}, {"two.txt", Text(3000)}, {"six.bin", Noise(100)}})},
      {"deflate-bomb.pkg", kFailed, WithControl({{"bomb.bin", ""}})},
      {"huge-recorded-size.pkg", kFailed, {}},
      {"size-sum-wraps.pkg", kFailed, {}},
      // The control archive itself cannot be read: the run stops before
      // the payload, with the reader's code.
      {"missing-volumes.pkg", kNoVolume, {}},
      {"volume-count-4-billion.pkg", kNoVolume, {}},
      {"false-end-in-trailing-data.pkg", kDone, fine},
      {"false-archive-in-trailing-data.pkg", kFailed, WithControl({{"decoy.txt", "decoy"}})},
      {"long-texts.pkg", kDone, WithControl({{"kept.txt", "kept"}, {"after.txt", "after"}})},
      {"long-entry-name.pkg", kFailed, fine},
      // A damaged directory: the run stops before anything is extracted,
      // with the corrupt-package box and the reader's code.
      {"damaged-record-signature.pkg", kUnreadable, {}},
      {"damaged-record-name-length.pkg", kUnreadable, {}},
      {"damaged-record-third-length.pkg", kUnreadable, {}},
      {"damaged-control-directory.pkg", kUnreadable, {}},
  };
}

// One run of a package: its folders, the child and how it ended.
struct PackageRun {
  const Case* c = nullptr;
  std::string fresh;    // everything of this run
  std::string target;   // the extraction folder
  std::string output;   // the child's stdout and stderr (outside `fresh`)
  Tree before;          // `fresh` before the run, the target left out
  int pid = -1;
  int status = -1;      // exit status, or -1
  int signal = 0;       // ending signal, or 0
  bool hung = false;
};

// Lays out the run's fresh folder: state root (program files mapped to
// fresh/programs), TMPDIR, the package with wusfx in front; plants links.
bool Prepare(PackageRun* r, ULONGLONG wusfxSize, const std::string& scratch) {
  r->fresh = wutest::MakeTempDir("hostile-run");
  if (r->fresh.empty()) return false;
  const std::string state = r->fresh + "/state";
  mkdir(state.c_str(), 0700);
  mkdir((state + "/folders").c_str(), 0755);
  PutFile(state + "/folders/folders.ini", "[folders]\n38=" + r->fresh + "/programs\n");
  mkdir((r->fresh + "/programs").c_str(), 0755);
  mkdir((r->fresh + "/tmp").c_str(), 0755);
  mkdir((r->fresh + "/package").c_str(), 0755);
  std::string archive = ArchiveAfter(GetFile(CorpusFolder() + "/" + r->c->file), wusfxSize);
  const std::string package = r->fresh + "/package/" + r->c->file;
  std::error_code error;
  if (archive.empty() || !std::filesystem::copy_file(WUSFX_PROGRAM, package, error)) return false;
  std::ofstream(package, std::ios::binary | std::ios::app) << archive;
  chmod(package.c_str(), 0755);
  r->target = r->fresh + "/programs/hostile-target";
  if (r->c->plant) r->c->plant(r->fresh, r->target);
  r->before = ListBut(r->fresh, "programs/hostile-target");
  r->output = scratch + "/" + r->c->file + ".out";
  return true;
}

int Start(const PackageRun& r) {
  std::vector<std::string> argv = {r.fresh + "/package/" + r.c->file, "-quiet", "-notemp"};
  std::vector<std::string> env = {"WU_STATE_ROOT=" + r.fresh + "/state", "TMPDIR=" + r.fresh + "/tmp"};
  return StartChild(argv, env, r.output);
}

// Waits for every started run; a run past the limit is killed.
void WaitAll(std::vector<PackageRun>* runs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds);
  for (PackageRun& r : *runs) {
    if (r.pid <= 0) continue;
    int raw = 0;
    while (waitpid(r.pid, &raw, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(r.pid, SIGKILL);
        waitpid(r.pid, &raw, 0);
        r.hung = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    if (WIFSIGNALED(raw)) r.signal = WTERMSIG(raw);
  }
}

// Places outside `fresh` that a hostile name could reach.
std::vector<std::string> EscapeSpots(const std::string& fresh) {
  std::string up = fresh.substr(0, fresh.rfind('/'));
  return {up + "/" + kEscaped, "/tmp/" + std::string(kEscaped), "/" + std::string(kEscaped),
          "//server/share/" + std::string(kEscaped), wutest::StateRoot() + "/" + kEscaped};
}

// Every hostile package run by the self-extractor: refused or handled as
// its case says, with a failure status whenever something was refused,
// nothing written beside the extraction folder, and no hang.
TEST(SfxHostileRunTest, EveryPackageRunsSafelyWithItsExitStatus) {
  struct stat wusfx;
  ASSERT_EQ(0, stat(WUSFX_PROGRAM, &wusfx));
  const std::string scratch = wutest::MakeTempDir("hostile-output");
  ASSERT_FALSE(scratch.empty());
  const std::vector<Case> cases = Cases();
  // The committed corpus and this table name the same packages.
  size_t committed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder()))
    committed += entry.path().extension() == ".pkg";
  EXPECT_EQ(cases.size(), committed);

  // All packages run at once, each in its own fresh folder.
  std::vector<PackageRun> runs(cases.size());
  for (size_t n = 0; n < cases.size(); ++n) {
    runs[n].c = &cases[n];
    if (Prepare(&runs[n], static_cast<ULONGLONG>(wusfx.st_size), scratch)) runs[n].pid = Start(runs[n]);
  }
  WaitAll(&runs);

  for (const PackageRun& r : runs) {
    SCOPED_TRACE(r.c->file);
    if (r.pid <= 0) {
      ADD_FAILURE() << "the run could not be prepared or started";
      continue;
    }
    const std::string output = Exists(r.output) ? GetFile(r.output) : "";
    EXPECT_FALSE(r.hung) << "the run hangs";
    EXPECT_EQ(0, r.signal) << output;
    EXPECT_EQ(r.c->status, r.status) << output;
    // A failed quiet run says why, in one box; a sound one says nothing.
    if (r.c->status == kDone) {
      EXPECT_EQ("", output);
    } else if (r.c->status == kFailed) {
      // "Error: " (the caption) and the text, ending with what happens now.
      EXPECT_EQ(0u, output.find("Error: ")) << output;
      size_t end = output.find(" the installation.");
      EXPECT_NE(std::string::npos, end) << "no reason given: " << output;
      EXPECT_EQ(std::string::npos, output.find(" the installation.", end + 1)) << "the box once: " << output;
    } else {
      EXPECT_NE("", output) << "no reason given";
    }
    EXPECT_EQ(r.c->target, List(r.target));
    EXPECT_EQ(r.before, ListBut(r.fresh, "programs/hostile-target"))
        << "something changed outside the extraction folder";
    EXPECT_TRUE(List(r.fresh + "/tmp").empty()) << "the temporary folder is gone";
    for (const std::string& spot : EscapeSpots(r.fresh)) EXPECT_FALSE(Exists(spot)) << spot;
    std::filesystem::remove_all(r.fresh);
  }
}

}  // namespace
}  // namespace sfxtest
