// wuarc: makes and checks "UM" archives and self-extracting packages.
//
// Every archive operation goes through CArchive2; this program only reads
// the command line, prints listings, progress and errors, and answers the
// archive's questions.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "foundation/WuFolders.h"
#include "platform/kernel/filemode.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"

namespace {

constexpr const char kUsage[] =
    "wuarc - make and check \"UM\" archives and self-extracting packages\n"
    "\n"
    "Usage:\n"
    "  wuarc create ARCHIVE [--store | --level N] [--comment TEXT] [-C DIR] PATH...\n"
    "        A new archive of files, folders (with everything below them) and\n"
    "        wildcard patterns (\"dir/*.txt\"). Each is stored under the path\n"
    "        as given (\"./\" dropped; \"..\" refused; an absolute path without\n"
    "        its leading '/'); -C DIR takes the paths after it from DIR.\n"
    "        Entries are deflated at level 6 unless told otherwise.\n"
    "  wuarc add ARCHIVE [--store | --level N] [-C DIR] PATH...\n"
    "        Adds to an archive, naming entries as create does; an entry of\n"
    "        the same name is replaced.\n"
    "  wuarc delete ARCHIVE PATTERN...\n"
    "        Removes the entries that match.\n"
    "  wuarc list ARCHIVE\n"
    "        Lists the entries: size, stored size, method, CRC, time, name.\n"
    "  wuarc extract ARCHIVE [-d FOLDER] [--flat] [--overwrite | --skip-existing]\n"
    "                [PATTERN...]\n"
    "        Extracts all entries, or those matching the patterns, into FOLDER\n"
    "        (default: the current folder; created when missing). Existing\n"
    "        files are asked about on a terminal; elsewhere the run stops\n"
    "        unless --overwrite or --skip-existing says what to do.\n"
    "  wuarc test ARCHIVE\n"
    "        Checks the stored bytes of every entry against their CRC.\n"
    "  wuarc package OUTPUT --stub STUB SOURCE...\n"
    "        Builds a self-extracting package: STUB followed by the archive.\n"
    "        SOURCE is one archive, or files and folders that are archived\n"
    "        first (--store, --level and --comment apply to them).\n"
    "  wuarc unpackage PACKAGE FOLDER\n"
    "        Writes the package's stub (Seastub.exe) and its archive into FOLDER.\n"
    "  wuarc split ARCHIVE SIZE\n"
    "        Splits into volume files of SIZE bytes (suffixes k, M, G) beside\n"
    "        the archive: NAME2.EXT, NAME3.EXT, ...\n"
    "  wuarc merge ARCHIVE\n"
    "        Joins the volume files back into the archive.\n"
    "  wuarc comment ARCHIVE [TEXT]\n"
    "        Shows the volume comment, or sets it to TEXT.\n"
    "\n"
    "Patterns: \"*.*\" matches all; \"*text\" names ending with text; \"text*\"\n"
    "names beginning with it; anything else one exact name (or file name).\n"
    "Exit status: 0 on success, 1 when an operation failed, 2 on bad usage.\n";

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::u16string W(const std::string& s) { return platform::ToUtf16(s); }
std::string N(const WCHAR* s) { return platform::ToUtf8(s); }

bool IsTerminal(int fd) {
  HANDLE h = platform::FileHandleFromDescriptor(fd, fd == 0 ? GENERIC_READ : GENERIC_WRITE, false);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool terminal = GetFileType(h) == FILE_TYPE_CHAR;
  CloseHandle(h);
  return terminal;
}

// The text of an archive error code.
const char* ErrorText(HRESULT code) {
  switch (static_cast<uint32_t>(code)) {
    case 0xAAAAAAA0: return "invalid argument or missing target folder";
    case 0xAAAAAAA1: return "the archive is not open in a suitable mode";
    case 0xAAAAAAA2: return "cannot create file";
    case 0xAAAAAAA3: return "out of memory";
    case 0xAAAAAAA4: return "cannot open file";
    case 0xAAAAAAA5: return "not an archive (no end record), or its directory is damaged";
    case 0xAAAAAAA6: return "incomplete copy";
    case 0xAAAAAAA7: return "buffer too small or pattern too short";
    case 0xAAAAAAA8: return "not enough disk space";
    case 0xAAAAAAA9: return "write failure";
    case 0xAAAAAAAA: return "read failure";
    case 0xAAAAAAAB: return "cannot read the file's times";
    case 0xAAAAAAAC: return "not found (and no wildcard)";
    case 0xAAAAAAAD: return "volume file missing";
    case 0xAAAAAAAE: return "no such file";
    case 0xAAAAAAAF: return "CRC mismatch: the data is damaged";
    case 0xAAAAAAB0: return "no archive, or too few volumes";
    default: return "failure";
  }
}

// What to do with a file that exists already.
enum class Existing { kAsk, kOverwrite, kSkip };

// Progress on a terminal, error texts, and answers to the archive's questions.
class ToolProgress : public CWuArchiveProgress {
 public:
  explicit ToolProgress(Existing existing)
      : m_existing(existing), m_show(IsTerminal(1)), m_canAsk(IsTerminal(0) && IsTerminal(1)) {}

  HRESULT BeginItem(LPCWSTR name, ULONGLONG total) override {
    m_done = 0;  // each item counts from its start
    HRESULT hr = CWuArchiveProgress::BeginItem(name, total);
    Draw(true);
    return hr;
  }
  HRESULT AddBytes(ULONGLONG count) override {
    CWuArchiveProgress::AddBytes(count);
    Draw(false);
    return 0;
  }
  HRESULT ReportError(HRESULT code) override {
    EndLine();
    std::string text = N(ItemName());
    size_t bar = text.find('|');
    if (bar != std::string::npos) text = text.substr(0, bar) + ": " + text.substr(bar + 1);
    std::fprintf(stderr, "wuarc: %s: %s\n", ErrorText(code), text.c_str());
    ++errors;
    return 0;
  }
  HRESULT ReportStatus(HRESULT code) override {
    if (code == WUARC_STATUS_ASK || code == WUARC_STATUS_ASK_READONLY) Answer(code);
    if (code == WUARC_STATUS_SKIPPED) ++skipped;
    if (code == WUARC_STATUS_EXTRACTING || code == WUARC_STATUS_ADDING) Draw(false);
    return 0;
  }
  // Ends the progress line, if one is shown.
  void EndLine() {
    if (!m_drawn) return;
    std::fputs("\r\033[K", stdout);
    std::fflush(stdout);
    m_drawn = false;
  }

  int errors = 0;   // errors reported
  int skipped = 0;  // existing files kept

 private:
  void Answer(HRESULT code) {
    EndLine();
    std::string target = N(ItemName());
    if (m_existing == Existing::kOverwrite) return SetState(WUARC_ANSWER_YES_ALL);
    if (m_existing == Existing::kSkip) return SetState(WUARC_ANSWER_NO_ALL);
    if (!m_canAsk) {
      std::fprintf(stderr, "wuarc: %s exists (use --overwrite or --skip-existing)\n",
                   target.c_str());
      ++errors;
      return SetState(WUARC_ANSWER_CANCEL);
    }
    for (;;) {
      std::printf("%s%s exists. Replace? [y]es, [n]o, [A]ll, [N]one, [q]uit: ",
                  code == WUARC_STATUS_ASK_READONLY ? "Read-only " : "", target.c_str());
      std::fflush(stdout);
      std::string line;
      if (!std::getline(std::cin, line)) return SetState(WUARC_ANSWER_CANCEL);
      if (line == "y") return SetState(WUARC_ANSWER_YES);
      if (line == "n") return SetState(WUARC_ANSWER_NO);
      if (line == "A") return SetState(WUARC_ANSWER_YES_ALL);
      if (line == "N") return SetState(WUARC_ANSWER_NO_ALL);
      if (line == "q") return SetState(WUARC_ANSWER_CANCEL);
    }
  }

  // Redraws the progress line at most ten times a second.
  void Draw(bool force) {
    if (!m_show) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    int percent = Total() ? static_cast<int>(Done() * 100 / Total()) : 0;
    std::string name = N(ItemName());
    if (name.size() > 60) name = "..." + name.substr(name.size() - 57);
    std::printf("\r\033[K[%3d%%] %s", percent, name.c_str());
    std::fflush(stdout);
    m_drawn = true;
  }

  Existing m_existing;                              // the answer to "file exists"
  bool m_show;                                      // stdout is a terminal
  bool m_canAsk;                                    // stdin and stdout are terminals
  bool m_drawn = false;                             // a progress line is on screen
  std::chrono::steady_clock::time_point m_last{};   // when it was drawn
};

// ---- Command line ------------------------------------------------------------------
struct Options {
  std::vector<std::string> args;  // positional arguments
  std::vector<std::string> bases; // per positional argument: the -C folder before it ("" none)
  DWORD method = 1;               // 0 stored, 1 deflate
  DWORD level = 6;                // deflate level
  bool hasComment = false;        // --comment given
  std::string comment;            // its text
  std::string folder = ".";       // -d
  std::string stub;               // --stub
  bool flat = false;              // --flat
  Existing existing = Existing::kAsk;
};

bool Usage(const std::string& message) {
  std::fprintf(stderr, "wuarc: %s\nTry 'wuarc --help'.\n", message.c_str());
  return false;
}

bool ParseOptions(int argc, char** argv, Options* o) {
  std::string base;  // the -C folder in effect
  auto positional = [&](const std::string& a) {
    o->args.push_back(a);
    o->bases.push_back(base);
  };
  for (int i = 2; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return Usage("option " + a + " needs a value");
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--store" || a == "-0") {
      o->method = 0;
      o->level = 0;
    } else if (a.size() == 2 && a[0] == '-' && a[1] >= '1' && a[1] <= '9') {
      o->method = 1;
      o->level = static_cast<DWORD>(a[1] - '0');
    } else if (a == "--level") {
      if (!value(&v)) return false;
      if (v.size() != 1 || v[0] < '0' || v[0] > '9') return Usage("level must be 0 to 9");
      o->level = static_cast<DWORD>(v[0] - '0');
      o->method = o->level ? 1 : 0;
    } else if (a == "--comment") {
      if (!value(&o->comment)) return false;
      o->hasComment = true;
    } else if (a == "-d" || a == "--folder") {
      if (!value(&o->folder)) return false;
    } else if (a == "-C" || a == "--directory") {
      if (!value(&base)) return false;
    } else if (a == "--stub") {
      if (!value(&o->stub)) return false;
    } else if (a == "--flat") {
      o->flat = true;
    } else if (a == "--overwrite") {
      o->existing = Existing::kOverwrite;
    } else if (a == "--skip-existing") {
      o->existing = Existing::kSkip;
    } else if (a == "--") {
      for (++i; i < argc; ++i) positional(argv[i]);
    } else if (a.size() > 1 && a[0] == '-') {
      return Usage("unknown option " + a);
    } else {
      positional(a);
    }
  }
  return true;
}

bool NeedArgs(const Options& o, size_t min, size_t max, const char* what) {
  if (o.args.size() >= min && o.args.size() <= max) return true;
  return Usage(std::string("usage: wuarc ") + what);
}

int Result(HRESULT hr, ToolProgress& progress, const std::string& what) {
  progress.EndLine();
  if (SUCCEEDED(hr) && progress.errors == 0) return 0;
  if (progress.errors == 0)
    std::fprintf(stderr, "wuarc: %s failed (0x%08X)\n", what.c_str(), static_cast<unsigned>(hr));
  return kExitFailed;
}

// Creates a folder and its missing parents.
bool MakeFolder(const std::string& path) {
  WCHAR full[kArchivePathUnits];
  return ArcFullPath(W(path).c_str(), full, kArchivePathUnits) && WuCreateDirectory(full, nullptr);
}

// ---- Entry names ----------------------------------------------------------------------
bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// Where positional argument `i` is read from: the path itself, or below
// the -C folder in effect when it is relative.
std::string SourcePath(const Options& o, size_t i) {
  const std::string& path = o.args[i];
  const std::string& base = o.bases[i];
  if (base.empty() || (!path.empty() && IsPathSeparator(path[0]))) return path;
  return base + "/" + path;
}

// The folder a path is stored under: its folder part as given, with the
// format's separators, without "." parts and without a root. False for a
// path with a ".." part (it would name entries outside the archive's
// tree). `rooted` tells that a root was dropped.
bool StoredFolderOf(const std::string& path, std::string* folder, bool* rooted) {
  *rooted = !path.empty() && IsPathSeparator(path[0]);
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i < path.size() && !IsPathSeparator(path[i])) {
      part += path[i];
      continue;
    }
    if (part == "..") return false;
    if (!part.empty() && part != ".") parts.push_back(part);
    part.clear();
  }
  folder->clear();
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    if (!folder->empty()) *folder += '\\';
    *folder += parts[i];
  }
  return true;
}

// ---- Commands ------------------------------------------------------------------------
// Adds positional arguments `first`.. under the paths as given. Every path
// is checked before anything is added.
int AddPaths(CArchive2& archive, const Options& o, size_t first, ToolProgress& progress) {
  std::vector<std::string> folders;
  bool rootNoticed = false;
  for (size_t i = first; i < o.args.size(); ++i) {
    std::string folder;
    bool rooted = false;
    if (!StoredFolderOf(o.args[i], &folder, &rooted)) {
      progress.EndLine();
      std::fprintf(stderr,
                   "wuarc: %s: a path with \"..\" cannot name an entry; give it from a folder "
                   "above (or with -C DIR)\n",
                   o.args[i].c_str());
      return kExitFailed;
    }
    if (rooted && !rootNoticed) {
      std::fprintf(stderr, "wuarc: removing the leading '/' from entry names\n");
      rootNoticed = true;
    }
    folders.push_back(folder);
  }
  for (size_t i = first; i < o.args.size(); ++i) {
    const std::string& path = o.args[i];
    std::u16string folder = W(folders[i - first]);
    HRESULT hr = archive.AddEntryToArchive(
        W(SourcePath(o, i)).c_str(), o.method, o.level,
        WUARC_ADD_RECURSE | WUARC_ADD_NO_ASK | WUARC_ADD_KEEP_PATH,
        folder.empty() ? nullptr : folder.c_str());
    if (hr != 0) {
      progress.EndLine();
      if (progress.errors == 0) std::fprintf(stderr, "wuarc: cannot add %s\n", path.c_str());
      return kExitFailed;
    }
  }
  return 0;
}

int CreateArchive(const std::string& archivePath, const Options& o, size_t first) {
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(archivePath).c_str(), WUARC_MODE_CREATE, &progress);
  if (FAILED(hr)) return Result(hr, progress, "create");
  // The archive is written as a work copy that takes its name on Close. A
  // failed add abandons it unclosed: the work copy goes, and a file that
  // had the name stays as it was.
  int status = AddPaths(archive, o, first, progress);
  if (status != 0) return status;
  if (o.hasComment) archive.AddVolumeComment(W(o.comment).c_str());
  return Result(archive.Close(), progress, "create");
}

int CmdCreate(const Options& o) {
  if (!NeedArgs(o, 2, SIZE_MAX, "create ARCHIVE PATH...")) return kExitUsage;
  return CreateArchive(o.args[0], o, 1);
}

int CmdAdd(const Options& o) {
  if (!NeedArgs(o, 2, SIZE_MAX, "add ARCHIVE PATH...")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_APPEND, &progress);
  if (FAILED(hr)) return Result(hr, progress, "add");
  int status = AddPaths(archive, o, 1, progress);
  if (o.hasComment) archive.AddVolumeComment(W(o.comment).c_str());
  hr = archive.Close();
  return status ? status : Result(hr, progress, "add");
}

int CmdDelete(const Options& o) {
  if (!NeedArgs(o, 2, SIZE_MAX, "delete ARCHIVE PATTERN...")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_DELETE, &progress);
  if (FAILED(hr)) return Result(hr, progress, "delete");
  for (size_t i = 1; i < o.args.size() && SUCCEEDED(hr); ++i)
    hr = archive.DeleteEntryFromArchive(W(o.args[i]).c_str(), 0);
  if (SUCCEEDED(hr) && !archive.IsDeleteRequested()) {
    archive.Close();
    std::fprintf(stderr, "wuarc: no entry matches\n");
    return kExitFailed;
  }
  HRESULT closed = archive.Close();
  return Result(FAILED(hr) ? hr : closed, progress, "delete");
}

std::string FormatTime(const FILETIME& t) {
  SYSTEMTIME st{};
  if (!FileTimeToSystemTime(&t, &st)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth, st.wDay,
                st.wHour, st.wMinute, st.wSecond);
  return text;
}

int CmdList(const Options& o) {
  if (!NeedArgs(o, 1, 1, "list ARCHIVE")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_READ, &progress);
  if (FAILED(hr)) return Result(hr, progress, "list");
  LONG count = archive.GetArchiveCount();
  std::printf("%12s %12s  %-7s  %-8s  %-19s  %s\n", "Size", "Stored", "Method", "CRC32",
              "Modified (UTC)", "Name");
  ULONGLONG totalSize = 0, totalStored = 0;
  for (LONG i = 0; i < count; ++i) {
    WCHAR name[260];
    ULONGLONG size = 0, stored = 0;
    DWORD method = 0, crc = 0;
    FILETIME time{};
    archive.GetEntryName(i, name, 260);
    archive.GetEntryUncompressedSize(i, size);
    archive.GetEntryCompressedSize(i, stored);
    archive.GetEntryCompressionType(i, method);
    archive.GetEntryCRC32(i, crc);
    archive.GetEntryFileTime(i, time);
    totalSize += size;
    totalStored += stored;
    std::printf("%12llu %12llu  %-7s  %08x  %-19s  %s\n", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(stored),
                method == 0 ? "stored" : method == 1 ? "deflate" : "?", crc,
                FormatTime(time).c_str(), N(name).c_str());
  }
  std::printf("%12llu %12llu  %d entr%s", static_cast<unsigned long long>(totalSize),
              static_cast<unsigned long long>(totalStored), count, count == 1 ? "y" : "ies");
  if (archive.GetArchiveSEAStatus()) std::printf(", self-extracting package");
  if (archive.GetMultiVolumeStatus() > 1)
    std::printf(", %d volumes", static_cast<int>(archive.GetMultiVolumeStatus()));
  std::printf("\n");
  WCHAR comment[1024];
  if (archive.GetVolumeComment(comment, 1024) == 0 && comment[0])
    std::printf("Comment: %s\n", N(comment).c_str());
  archive.Close();
  return 0;
}

int CmdExtract(const Options& o) {
  if (!NeedArgs(o, 1, SIZE_MAX, "extract ARCHIVE [-d FOLDER] [PATTERN...]")) return kExitUsage;
  if (!MakeFolder(o.folder)) {
    std::fprintf(stderr, "wuarc: cannot create folder %s\n", o.folder.c_str());
    return kExitFailed;
  }
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_READ, &progress);
  if (FAILED(hr)) return Result(hr, progress, "extract");
  DWORD flags = (o.flat ? WUARC_EXTRACT_FLAT : 0) |
                (o.existing == Existing::kOverwrite ? WUARC_EXTRACT_NO_ASK : 0);
  std::u16string folder = W(o.folder);
  if (o.args.size() == 1) {
    hr = archive.ExtractAll(folder.c_str(), flags);
  } else {
    for (size_t i = 1; i < o.args.size() && SUCCEEDED(hr); ++i) {
      hr = archive.ExtractEntry(W(o.args[i]).c_str(), folder.c_str(), flags);
      if (hr == 1) {
        progress.EndLine();
        std::fprintf(stderr, "wuarc: no entry matches %s\n", o.args[i].c_str());
        hr = E_FAIL;
        ++progress.errors;
      }
    }
  }
  archive.Close();
  int status = Result(hr, progress, "extract");
  if (status == 0 && progress.skipped)
    std::printf("%d existing file%s kept\n", progress.skipped, progress.skipped == 1 ? "" : "s");
  return status;
}

int CmdTest(const Options& o) {
  if (!NeedArgs(o, 1, 1, "test ARCHIVE")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_READ, &progress);
  if (FAILED(hr)) return Result(hr, progress, "test");
  LONG count = archive.GetArchiveCount();
  int bad = 0;
  for (LONG i = 0; i < count; ++i) {
    if (FAILED(archive.ValidateEntry(i))) ++bad;
  }
  archive.Close();
  progress.EndLine();
  if (bad) {
    std::fprintf(stderr, "wuarc: %d of %d entries damaged\n", bad, static_cast<int>(count));
    return kExitFailed;
  }
  std::printf("%d entr%s OK\n", static_cast<int>(count), count == 1 ? "y" : "ies");
  return 0;
}

// True when the path names an archive that opens.
bool IsArchive(const std::string& path) {
  CArchive2 archive;
  if (archive.Open(W(path).c_str(), WUARC_MODE_READ, nullptr) != S_OK) return false;
  archive.Close();
  return true;
}

int CmdPackage(const Options& o) {
  if (!NeedArgs(o, 2, SIZE_MAX, "package OUTPUT --stub STUB SOURCE...")) return kExitUsage;
  if (o.stub.empty()) return Usage("package needs --stub STUB"), kExitUsage;
  std::string source = SourcePath(o, 1);
  std::string temporary, scratch;
  if (o.args.size() > 2 || !IsArchive(source)) {
    // The archive is made under the package's stem with the extension
    // ".ach" (the package stores that file name, and "unpackage" gives the
    // archive back under it) in a new private folder of a fresh name beside
    // the package: nothing already there is used or removed.
    std::string stem = platform::ToUtf8(ArcFileNamePart(W(o.args[0]).c_str()));
    size_t dot = stem.rfind('.');
    if (dot != std::string::npos && dot > 0) stem.resize(dot);
    std::string output = platform::ToLinuxPath(W(o.args[0]).c_str());
    scratch = output.substr(0, output.find_last_of('/') + 1) + ".wuarc-XXXXXX";
    if (output.empty() || !mkdtemp(scratch.data())) {
      std::fprintf(stderr, "wuarc: cannot create a folder beside %s\n", o.args[0].c_str());
      return kExitFailed;
    }
    temporary = scratch + "/" + stem + ".ach";
    int status = CreateArchive(temporary, o, 1);
    if (status != 0) {
      RemoveDirectoryW(W(scratch).c_str());
      return status;
    }
    source = temporary;
  }
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(source).c_str(), WUARC_MODE_SEA, &progress);
  if (SUCCEEDED(hr)) hr = archive.CreateSEA(W(o.args[0]).c_str(), W(o.stub).c_str(), 0);
  HRESULT closed = archive.Close();
  // A package is a program: it is made runnable like its stub (the file
  // that a link of the package's name points to).
  std::u16string written;
  if (SUCCEEDED(hr) && SUCCEEDED(closed) &&
      (!ArcReplacedFile(W(o.args[0]).c_str(), &written) ||
       !platform::MakeFileExecutable(written.c_str())))
    std::fprintf(stderr, "wuarc: cannot make %s executable\n", o.args[0].c_str());
  if (!temporary.empty()) {
    DeleteFileW(W(temporary).c_str());
    RemoveDirectoryW(W(scratch).c_str());
  }
  return Result(FAILED(hr) ? hr : closed, progress, "package");
}

int CmdUnpackage(const Options& o) {
  if (!NeedArgs(o, 2, 2, "unpackage PACKAGE FOLDER")) return kExitUsage;
  if (!MakeFolder(o.args[1])) {
    std::fprintf(stderr, "wuarc: cannot create folder %s\n", o.args[1].c_str());
    return kExitFailed;
  }
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_READ, &progress);
  if (SUCCEEDED(hr))
    hr = archive.SplitSEA(W(o.args[1]).c_str(),
                          o.existing == Existing::kOverwrite ? WUARC_SPLIT_NO_ASK : 0);
  archive.Close();
  return Result(hr, progress, "unpackage");
}

bool ParseSize(const std::string& text, LONGLONG* size) {
  char* end = nullptr;
  unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return false;
  std::string suffix = end;
  unsigned long long unit = suffix.empty()                      ? 1
                            : suffix == "k" || suffix == "K"    ? 1ULL << 10
                            : suffix == "m" || suffix == "M"    ? 1ULL << 20
                            : suffix == "g" || suffix == "G"    ? 1ULL << 30
                                                                : 0;
  if (unit == 0 || v == 0 || v > (1ULL << 62) / unit) return false;
  *size = static_cast<LONGLONG>(v * unit);
  return true;
}

int CmdSplit(const Options& o) {
  if (!NeedArgs(o, 2, 2, "split ARCHIVE SIZE")) return kExitUsage;
  LONGLONG size = 0;
  if (!ParseSize(o.args[1], &size)) return Usage("bad volume size " + o.args[1]), kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_VOLUMES, &progress);
  if (FAILED(hr)) return Result(hr, progress, "split");
  if (archive.GetMultiVolumeStatus() > 1) {
    archive.Close();
    std::fprintf(stderr, "wuarc: %s is split already (merge it first)\n", o.args[0].c_str());
    return kExitFailed;
  }
  hr = archive.SplitArchive(size, 0);
  LONG volumes = archive.GetMultiVolumeStatus();
  HRESULT closed = archive.Close();
  int status = Result(FAILED(hr) ? hr : closed < 0 ? closed : 0, progress, "split");
  if (status == 0) std::printf("%d volumes\n", static_cast<int>(volumes));
  return status;
}

int CmdMerge(const Options& o) {
  if (!NeedArgs(o, 1, 1, "merge ARCHIVE")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_VOLUMES, &progress);
  if (SUCCEEDED(hr)) hr = archive.MergeArchive(0);
  HRESULT closed = archive.Close();
  return Result(FAILED(hr) ? hr : closed < 0 ? closed : 0, progress, "merge");
}

int CmdComment(const Options& o) {
  if (!NeedArgs(o, 1, 2, "comment ARCHIVE [TEXT]")) return kExitUsage;
  ToolProgress progress(o.existing);
  CArchive2 archive;
  if (o.args.size() == 2)
    return Result(archive.Annotate(W(o.args[0]).c_str(), W(o.args[1]).c_str()), progress,
                  "comment");
  HRESULT hr = archive.Open(W(o.args[0]).c_str(), WUARC_MODE_READ, &progress);
  if (FAILED(hr)) return Result(hr, progress, "comment");
  WCHAR comment[1024];
  hr = archive.GetVolumeComment(comment, 1024);
  archive.Close();
  if (SUCCEEDED(hr)) std::printf("%s\n", N(comment).c_str());
  return Result(hr, progress, "comment");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Options o;
  if (!ParseOptions(argc, argv, &o)) return kExitUsage;
  struct {
    const char* name;
    int (*run)(const Options&);
  } commands[] = {{"create", CmdCreate},   {"add", CmdAdd},         {"delete", CmdDelete},
                  {"list", CmdList},       {"extract", CmdExtract}, {"test", CmdTest},
                  {"package", CmdPackage}, {"unpackage", CmdUnpackage},
                  {"split", CmdSplit},     {"merge", CmdMerge},     {"comment", CmdComment}};
  for (const auto& c : commands)
    if (command == c.name) return c.run(o);
  Usage("unknown command " + command);
  return kExitUsage;
}
