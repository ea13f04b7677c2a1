// archive_bench: creation and extraction speed of "UM" archives.
//
// Generates a payload at run time (default about 200 MB: incompressible
// data, compressible text and a few thousand small files) in a temporary
// folder, then measures:
//   - CArchive2 creation (AddEntryToArchive, deflate level 6) and extraction
//     (ExtractAll);
//   - the same payload through zip -6 / unzip and through a tar+gzip package
//     (tar czf / tar xzf), run as processes when the programs are present;
//   - the floor of this machine: zlib inflate of the archive's own streams
//     in memory, writing the payload's bytes to fresh files, and a plain
//     copy of the payload folder (cp -r).
// Every figure is the best of a few runs. Usage: archive_bench [MB] [runs]
// [keep]; with "keep" the payload and the archives stay in the temporary
// folder (its path is printed) for profiling.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "bench/BenchPayload.h"
#include "Sfx/UmRecords.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/time.h"

namespace {

using wubench::PayloadFile;
using wubench::MakePayload;
using Clock = std::chrono::steady_clock;

std::u16string W(const std::string& s) { return platform::ToUtf16(s); }

size_t TotalBytes(const std::vector<PayloadFile>& files) {
  size_t n = 0;
  for (const PayloadFile& f : files) n += f.data.size();
  return n;
}

// ---- Files through the platform layer -----------------------------------------------------
bool MakeFolders(const std::string& path) {
  std::u16string p = W(path);
  for (size_t i = 1; i <= p.size(); ++i) {
    if (i < p.size() && p[i] != u'/') continue;
    std::u16string part = p.substr(0, i);
    if (GetFileAttributesW(part.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !CreateDirectoryW(part.c_str(), nullptr))
      return false;
  }
  return true;
}

bool WriteWhole(const std::string& path, const std::string& data) {
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  // Blocks of the size extraction writes.
  bool ok = true;
  for (size_t at = 0; ok && at < data.size(); at += kArchiveZOutSize) {
    DWORD count = static_cast<DWORD>(std::min<size_t>(kArchiveZOutSize, data.size() - at));
    DWORD n = 0;
    ok = WriteFile(h, data.data() + at, count, &n, nullptr) && n == count;
  }
  CloseHandle(h);
  return ok;
}

std::string ReadWhole(const std::string& path) {
  HANDLE h = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER size{};
  GetFileSizeEx(h, &size);
  std::string data(static_cast<size_t>(size.QuadPart), '\0');
  DWORD n = 0;
  ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &n, nullptr);
  CloseHandle(h);
  data.resize(n);
  return data;
}

bool WritePayload(const std::string& root, const std::vector<const PayloadFile*>& files) {
  std::string lastFolder;
  for (const PayloadFile* file : files) {
    const PayloadFile& f = *file;
    std::string full = root + "/" + f.path;
    std::string folder = full.substr(0, full.rfind('/'));
    if (folder != lastFolder && !MakeFolders(folder)) return false;
    lastFolder = folder;
    if (!WriteWhole(full, f.data)) return false;
  }
  return true;
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

bool HaveProgram(const char* name) {
  return Shell(std::string("command -v ") + name + " >/dev/null 2>&1");
}

void Remove(const std::string& path) { Shell("rm -rf '" + path + "'"); }

// Best time of `runs` runs of `body` (seconds), with `prepare` before each
// run (not timed). Dirty pages are flushed before each run, so that the
// write-back of earlier runs does not slow this one down. A failed run
// gives -1.
double Best(int runs, const std::function<void()>& prepare, const std::function<bool()>& body) {
  double best = -1;
  for (int i = 0; i < runs; ++i) {
    prepare();
    Shell("sync");
    auto start = Clock::now();
    bool ok = body();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!ok) return -1;
    if (best < 0 || seconds < best) best = seconds;
  }
  return best;
}

// ---- The floor: inflate the archive's streams in memory -----------------------------------
// Walks the archive's central directory and inflates every deflated entry
// into one reused buffer. With `withCrc` it also computes the two CRC-32
// values that extraction checks (of the stored and of the inflated bytes).
bool InflateAll(const std::string& archive, bool withCrc) {
  if (archive.size() < kUmEndRecordSize) return false;
  const BYTE* bytes = reinterpret_cast<const BYTE*>(archive.data());
  size_t at = archive.rfind(std::string("UM\x05\x0C", 4));
  if (at == std::string::npos) return false;
  tUMENDRECORD end;
  UmDecodeEndRecord(bytes + at, &end);
  static std::vector<BYTE> out(1 << 20);
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  size_t pos = static_cast<size_t>(end.baseOffset + end.dirOffset);
  bool ok = true;
  for (DWORD i = 0; i < end.entryCount2 && ok; ++i) {
    tUMCENTRALRECORD r;
    UmDecodeCentralRecord(bytes + pos, &r);
    pos += static_cast<size_t>(UmCentralRecordBytes(r));
    const BYTE* data = bytes + end.baseOffset + UmDataOffset(r);
    if (r.facts.method == kUmMethodStored || r.facts.storedSize == 0) {
      if (withCrc) crc32(0, data, static_cast<uInt>(r.facts.storedSize));
      continue;
    }
    if (withCrc) crc32(0, data, static_cast<uInt>(r.facts.storedSize));
    inflateReset(&z);
    z.next_in = const_cast<BYTE*>(data);
    z.avail_in = static_cast<uInt>(r.facts.storedSize);
    int ret;
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      ret = inflate(&z, Z_NO_FLUSH);
      if (withCrc) crc32(0, out.data(), static_cast<uInt>(out.size() - z.avail_out));
    } while (ret == Z_OK);
    ok = ret == Z_STREAM_END;
  }
  inflateEnd(&z);
  return ok;
}

void Row(const char* what, double seconds, size_t bytes, double floor = 0) {
  if (seconds < 0) {
    std::printf("  %-38s %9s\n", what, "failed");
    return;
  }
  double mbs = bytes / seconds / (1 << 20);
  if (floor > 0)
    std::printf("  %-38s %8.3f s %8.1f MB/s   %5.2fx floor\n", what, seconds, mbs, seconds / floor);
  else
    std::printf("  %-38s %8.3f s %8.1f MB/s\n", what, seconds, mbs);
}

void Skip(const char* what, const char* why) { std::printf("  %-38s skipped: %s\n", what, why); }

}  // namespace

int main(int argc, char** argv) {
  double megabytes = argc > 1 ? std::atof(argv[1]) : 200.0;
  int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  if (megabytes <= 0 || runs <= 0) {
    std::fprintf(stderr, "usage: archive_bench [MB] [runs]\n");
    return 2;
  }
  WCHAR tempPath[MAX_PATH];
  if (!GetTempPathW(MAX_PATH, tempPath)) return 1;
  std::string root;
  for (int attempt = 0; root.empty() && attempt < 100; ++attempt) {
    std::string candidate = platform::ToUtf8(tempPath) + "archive_bench." +
                            std::to_string(GetTickCount64() + attempt);
    if (CreateDirectoryW(W(candidate).c_str(), nullptr)) root = candidate;
  }
  if (root.empty()) return 1;
  std::string payload = root + "/payload";
  std::string um = root + "/payload.um";

  std::vector<PayloadFile> files = MakePayload(megabytes);
  size_t bytes = TotalBytes(files);
  // The payload in the order the archive stores it (folder by folder, names
  // in byte order), for the write floor.
  std::vector<const PayloadFile*> ordered;
  for (const PayloadFile& f : files) ordered.push_back(&f);
  std::sort(ordered.begin(), ordered.end(),
            [](const PayloadFile* a, const PayloadFile* b) { return a->path < b->path; });
  if (!WritePayload(payload, ordered)) {
    std::fprintf(stderr, "cannot write the payload under %s\n", root.c_str());
    return 1;
  }
  std::printf("payload: %.1f MB in %zu files (half incompressible, 30%% log text, "
              "20%% in small files); best of %d runs\n\n",
              bytes / double(1 << 20), files.size(), runs);

  // ---- Creation ----
  std::printf("create\n");
  double create = Best(runs, [&] { Remove(um); }, [&] {
    CArchive2 a;
    if (a.Open(W(um).c_str(), WUARC_MODE_CREATE, nullptr) != S_OK) return false;
    HRESULT hr = a.AddEntryToArchive(W(payload).c_str(), kUmMethodDeflate, 6, 0, nullptr);
    return a.Close() == 0 && hr == 0;
  });
  Row("CArchive2 AddEntryToArchive (-6)", create, bytes);
  bool zip = HaveProgram("zip") && HaveProgram("unzip");
  bool tar = HaveProgram("tar") && HaveProgram("gzip");
  double zipCreate = -1, tarCreate = -1;
  if (zip) {
    zipCreate = Best(runs, [&] { Remove(root + "/payload.zip"); },
                     [&] { return Shell("cd '" + root + "' && zip -6 -r -q payload.zip payload"); });
    Row("zip -6 -r", zipCreate, bytes);
  } else {
    Skip("zip -6 -r", "zip/unzip not installed (apt-get install zip unzip)");
  }
  if (tar) {
    tarCreate = Best(runs, [&] { Remove(root + "/payload.tgz"); },
                     [&] { return Shell("cd '" + root + "' && tar czf payload.tgz payload"); });
    Row("tar czf (makeself-style)", tarCreate, bytes);
  } else {
    Skip("tar czf", "tar/gzip not installed");
  }
  std::string archive = ReadWhole(um);
  std::printf("  archive sizes: UM %.1f MB", archive.size() / double(1 << 20));
  if (zip) std::printf(", zip %.1f MB", ReadWhole(root + "/payload.zip").size() / double(1 << 20));
  if (tar) std::printf(", tgz %.1f MB", ReadWhole(root + "/payload.tgz").size() / double(1 << 20));
  std::printf("\n\n");

  // ---- The floor ----
  // Every run extracts into a new folder: ext4 scans recently deleted inodes
  // when it allocates new ones, so deleting the previous run's 3,000 files
  // just before would slow down whatever runs next. All is removed at the end.
  std::string out;
  int outputs = 0;
  auto fresh = [&] {
    out = root + "/out" + std::to_string(++outputs);
    MakeFolders(out);
  };
  double inflateOnly = Best(runs, [] {}, [&] { return InflateAll(archive, false); });
  double inflateCrc = Best(runs, [] {}, [&] { return InflateAll(archive, true); });

  // The file-writing measurements run in rounds, one run of each per round,
  // so that every method meets the same state of the disk; each keeps its
  // best round.
  struct Method {
    const char* name;             // row label
    bool present;                 // the program exists
    std::function<bool()> run;    // one timed run into `out`
    double best;                  // best time so far, -1 none
  };
  std::vector<Method> methods = {
      {"write the payload's files", true, [&] { return WritePayload(out, ordered); }, -1},
      {"cp -r of the payload folder", true,
       [&] { return Shell("cp -r '" + payload + "' '" + out + "/'"); }, -1},
      {"CArchive2 ExtractAll", true,
       [&] {
         CArchive2 a;
         if (a.Open(W(um).c_str(), WUARC_MODE_READ, nullptr) != S_OK) return false;
         HRESULT hr = a.ExtractAll(W(out).c_str(), WUARC_EXTRACT_NO_ASK);
         a.Close();
         return hr == 0;
       },
       -1},
      {"unzip", zip,
       [&] { return Shell("cd '" + out + "' && unzip -q '" + root + "/payload.zip'"); }, -1},
      {"tar xzf (makeself-style)", tar,
       [&] { return Shell("cd '" + out + "' && tar xzf '" + root + "/payload.tgz'"); }, -1},
  };
  bool same = true;
  for (int round = 0; round < runs; ++round) {
    for (Method& m : methods) {
      if (!m.present) continue;
      double t = Best(1, fresh, m.run);
      if (t >= 0 && (m.best < 0 || t < m.best)) m.best = t;
      if (m.name[0] == 'C')
        same = same && ReadWhole(out + "/payload/" + files.back().path) == files.back().data &&
               ReadWhole(out + "/payload/" + files.front().path) == files.front().data;
    }
  }
  double write = methods[0].best, extract = methods[2].best;
  double unzipTime = methods[3].best, untarTime = methods[4].best;
  double floor = inflateOnly + write;
  std::printf("floor\n");
  Row("zlib inflate in memory", inflateOnly, bytes);
  Row("zlib inflate + both crc32 in memory", inflateCrc, bytes);
  Row(methods[0].name, write, bytes);
  Row(methods[1].name, methods[1].best, bytes);
  Row("floor: inflate + write", floor, bytes);
  Row("floor with the CRC checks", inflateCrc + write, bytes);
  std::printf("\nextract\n");
  Row(methods[2].name, extract, bytes, floor);
  if (zip) Row(methods[3].name, unzipTime, bytes, floor); else Skip("unzip", "not installed");
  if (tar) Row(methods[4].name, untarTime, bytes, floor); else Skip("tar xzf", "not installed");
  std::printf("\nratios\n");
  if (extract > 0 && floor > 0) std::printf("  ExtractAll / floor         %.2f (goal <= 1.25)\n", extract / floor);
  if (extract > 0 && write > 0)
    std::printf("  ExtractAll / floor with CRC checks %.2f\n", extract / (inflateCrc + write));
  if (extract > 0 && unzipTime > 0) std::printf("  unzip / ExtractAll         %.2f (above 1: faster than unzip)\n", unzipTime / extract);
  if (extract > 0 && untarTime > 0) std::printf("  tar xzf / ExtractAll       %.2f (above 1: faster than tar)\n", untarTime / extract);
  if (create > 0 && zipCreate > 0) std::printf("  zip -6 / AddEntryToArchive %.2f\n", zipCreate / create);
  if (create > 0 && tarCreate > 0) std::printf("  tar czf / AddEntryToArchive %.2f\n", tarCreate / create);
  if (!same) std::printf("  WARNING: extracted files differ from the payload\n");
  if (argc > 3 && std::string(argv[3]) == "keep") {
    for (int i = 1; i <= outputs; ++i) Remove(root + "/out" + std::to_string(i));
    std::printf("\nkept: %s\n", root.c_str());
  } else {
    Remove(root);
  }
  return same ? 0 : 1;
}
