// Helpers of the archive tests: a folder per test, file helpers, a builder
// that writes "UM" archives byte by byte from the format (independent of
// the library's writer), and a progress object driven by a script.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Sfx/CArchive2.h"
#include "Sfx/CWuArchiveProgress.h"
#include "platform/kernel/time.h"
#include "tests/common/TestUtil.h"

namespace archtest {

using wutest::U16;
using wutest::U8;

inline void PutFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string GetFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The names in a folder, sorted, separated by spaces.
inline std::string Names(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

inline bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The permission bits of a file (links followed), 0 when it is missing.
inline mode_t ModeOf(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets a file's modification time (seconds since 1970).
inline void SetMTime(const std::string& path, time_t seconds) {
  struct timespec t[2] = {{seconds, 0}, {seconds, 0}};
  utimensat(AT_FDCWD, path.c_str(), t, 0);
}

inline ULONGLONG FileTimeOf(time_t seconds) {
  return platform::FileTimeToU64(platform::UnixToFileTime(seconds, 0));
}

// Bytes that do not compress: a simple generator, fixed per seed.
inline std::string Noise(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s[i] = static_cast<char>(x);
  }
  return s;
}

inline std::string Text(size_t n) {
  std::string s;
  while (s.size() < n) s += "the quick brown fox jumps over the lazy dog ";
  s.resize(n);
  return s;
}

inline std::string RawDeflate(const std::string& data, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline DWORD Crc(const std::string& s) {
  return static_cast<DWORD>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

// ---- An archive written from the byte layout ----------------------------------------
struct HandEntry {
  std::u16string name;  // stored name ('\' separators)
  std::string data;     // uncompressed bytes
  DWORD method = 0;     // 0 stored, 1 deflate
  DWORD level = 0;      // level field
  ULONGLONG time = 0;   // FILETIME value
  DWORD attributes = 0x80;
  std::string stored;   // stored bytes (filled by Add unless given)
  ULONGLONG size = 0;   // uncompressed size field
  DWORD dataCrc = 0;    // CRC fields
  DWORD storedCrc = 0;
};

class HandArchive {
 public:
  // Adds an entry whose stored bytes, sizes and CRCs follow from its data.
  HandEntry& Add(const std::u16string& name, const std::string& data, DWORD method = 0,
                 ULONGLONG time = 0, DWORD attributes = 0x80) {
    HandEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    e.level = method ? 6 : 0;
    e.time = time;
    e.attributes = attributes;
    e.stored = method ? (data.empty() ? std::string() : RawDeflate(data)) : data;
    e.size = data.size();
    e.dataCrc = Crc(data);
    e.storedCrc = Crc(e.stored);
    entries.push_back(e);
    return entries.back();
  }

  // The archive bytes (no stub): entries, central directory, end record.
  std::string Build(ULONGLONG base = 0, const std::u16string& comment = u"",
                    const std::u16string& archiveName = u"", DWORD volumes = 1) const {
    std::string out;
    std::vector<ULONGLONG> offsets;
    for (const HandEntry& e : entries) {
      offsets.push_back(out.size());
      Put32(out, 0x0A034D55);
      Facts(out, e);
      Put32(out, e.attributes);
      Put32(out, static_cast<DWORD>(e.name.size()));
      Put32(out, 0);
      PutText(out, e.name);
      out += e.stored;
    }
    ULONGLONG dir = out.size();
    for (size_t i = 0; i < entries.size(); ++i) {
      const HandEntry& e = entries[i];
      Put32(out, 0x0B014D55);
      Facts(out, e);
      Put32(out, static_cast<DWORD>(e.name.size()));
      Put32(out, 0);
      Put32(out, 0);
      Put32(out, 0);
      Put32(out, e.attributes);
      Put32(out, 0);
      Put64(out, offsets[i]);
      PutText(out, e.name);
    }
    ULONGLONG dirSize = out.size() - dir;
    Put32(out, 0x0C054D55);
    Put32(out, volumes);
    Put32(out, 0);
    Put32(out, static_cast<DWORD>(entries.size()));
    Put32(out, static_cast<DWORD>(entries.size()));
    Put64(out, dirSize);
    Put64(out, dir);
    Put64(out, base);
    Put32(out, static_cast<DWORD>(comment.size()));
    Put32(out, static_cast<DWORD>(archiveName.size()));
    Put32(out, 0);
    PutText(out, comment);
    PutText(out, archiveName);
    return out;
  }

  std::vector<HandEntry> entries;

 private:
  static void Put32(std::string& s, DWORD v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
  }
  static void Put64(std::string& s, ULONGLONG v) {
    for (int i = 0; i < 8; ++i) s += static_cast<char>(v >> (8 * i));
  }
  static void PutText(std::string& s, const std::u16string& t) {
    for (char16_t c : t) {
      s += static_cast<char>(c & 0xFF);
      s += static_cast<char>(c >> 8);
    }
  }
  static void Facts(std::string& s, const HandEntry& e) {
    Put32(s, 0);
    Put32(s, 0);
    Put32(s, e.method);
    Put32(s, e.level);
    Put64(s, e.time);
    Put32(s, e.storedCrc);
    Put32(s, e.dataCrc);
    Put64(s, e.stored.size());
    Put64(s, e.size);
  }
};

// ---- A progress object that answers from a script -----------------------------------------
class ScriptedProgress : public CWuArchiveProgress {
 public:
  HRESULT ReportStatus(HRESULT code) override {
    statuses.push_back(code);
    if (code == WUARC_STATUS_ASK || code == WUARC_STATUS_ASK_READONLY) {
      asked.push_back(ItemName());
      if (!answers.empty()) {
        SetState(answers.front());
        answers.pop_front();
      }
    }
    return 0;
  }
  HRESULT ReportError(HRESULT code) override {
    errors.push_back(code);
    errorTexts.push_back(ItemName());
    return 0;
  }
  HRESULT AddBytes(ULONGLONG count) override {
    CWuArchiveProgress::AddBytes(count);
    ++blocks;
    if (onBytes) {
      auto hook = std::move(onBytes);
      onBytes = nullptr;
      hook();
    }
    return 0;
  }
  int Count(HRESULT status) const {
    int n = 0;
    for (HRESULT s : statuses) n += s == status;
    return n;
  }

  std::vector<HRESULT> statuses;          // every status reported
  std::vector<HRESULT> errors;            // every error reported
  std::vector<std::u16string> errorTexts; // the item name at each error
  std::vector<std::u16string> asked;      // targets of the overwrite questions
  std::deque<HRESULT> answers;            // answers to give, in order
  std::function<void()> onBytes;          // runs once, at the next AddBytes
  int blocks = 0;                         // AddBytes calls
};

// A fresh folder per test, with paths in both forms.
class ArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = wutest::MakeTempDir("arc");
    ASSERT_FALSE(dir.empty());
  }
  std::string P(const std::string& name) const { return dir + "/" + name; }
  std::u16string W(const std::string& name) const { return U16(P(name)); }
  void MakeDir(const std::string& name) const { mkdir(P(name).c_str(), 0755); }

  std::string dir;  // this test's folder (Linux path)
};

}  // namespace archtest
