#include "platform/registry/profile.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/state.h"

namespace {

// ---- Text helpers ----------------------------------------------------------------
bool IsBlank(WCHAR c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (platform::CharUpper(a[i]) != platform::CharUpper(b[i])) return false;
  return true;
}

bool HasLineBreak(std::u16string_view s) {
  return s.find(u'\r') != std::u16string_view::npos || s.find(u'\n') != std::u16string_view::npos;
}

// A value as readers see it: a matching pair of enclosing quotes removed.
std::u16string_view Unquote(std::u16string_view v) {
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// ---- Encodings -------------------------------------------------------------------
enum class Encoding {
  kUtf8,     // UTF-8 without a byte-order mark
  kUtf8Bom,  // UTF-8 with a byte-order mark
  kUtf16Le,  // UTF-16 little-endian with a mark
  kUtf16Be,  // UTF-16 big-endian with a mark
  kAnsi,     // the ANSI code page
};

bool IsValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    int extra;
    char32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
      return false;
    i += 1 + extra;
  }
  return true;
}

std::u16string DecodeUtf16(std::string_view bytes, bool big_endian) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    unsigned lo = static_cast<unsigned char>(bytes[i + (big_endian ? 1 : 0)]);
    unsigned hi = static_cast<unsigned char>(bytes[i + (big_endian ? 0 : 1)]);
    out.push_back(static_cast<WCHAR>(lo | (hi << 8)));
  }
  return out;
}

std::u16string DecodeAnsi(std::string_view bytes) {
  if (bytes.empty()) return std::u16string();
  int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return platform::ToUtf16(bytes);
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::u16string Decode(const std::string& bytes, Encoding* encoding) {
  std::string_view b(bytes);
  if (b.size() >= 3 && b.substr(0, 3) == "\xEF\xBB\xBF") {
    *encoding = Encoding::kUtf8Bom;
    return platform::ToUtf16(b.substr(3));
  }
  if (b.size() >= 2 && b.substr(0, 2) == "\xFF\xFE") {
    *encoding = Encoding::kUtf16Le;
    return DecodeUtf16(b.substr(2), false);
  }
  if (b.size() >= 2 && b.substr(0, 2) == "\xFE\xFF") {
    *encoding = Encoding::kUtf16Be;
    return DecodeUtf16(b.substr(2), true);
  }
  if (IsValidUtf8(b) || GetACP() == CP_UTF8) {
    *encoding = Encoding::kUtf8;
    return platform::ToUtf16(b);
  }
  *encoding = Encoding::kAnsi;
  return DecodeAnsi(b);
}

std::string EncodeUtf16(const std::u16string& text, bool big_endian) {
  std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (WCHAR c : text) {
    char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
    out.push_back(big_endian ? hi : lo);
    out.push_back(big_endian ? lo : hi);
  }
  return out;
}

// The bytes of a text in an encoding. An ANSI file that cannot hold the
// text switches to UTF-8 with a mark (and `encoding` says so).
std::string Encode(const std::u16string& text, Encoding* encoding) {
  switch (*encoding) {
    case Encoding::kUtf16Le:
      return EncodeUtf16(text, false);
    case Encoding::kUtf16Be:
      return EncodeUtf16(text, true);
    case Encoding::kUtf8:
      return platform::ToUtf8(text);
    case Encoding::kUtf8Bom:
      return "\xEF\xBB\xBF" + platform::ToUtf8(text);
    case Encoding::kAnsi:
      break;
  }
  if (text.empty()) return std::string();
  int n = static_cast<int>(text.size());
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, &lossy);
  if (bytes > 0 && !lossy) {
    std::string out(static_cast<size_t>(bytes), '\0');
    if (WideCharToMultiByte(CP_ACP, 0, text.data(), n, out.data(), bytes, nullptr, &lossy) ==
            bytes &&
        !lossy)
      return out;
  }
  *encoding = Encoding::kUtf8Bom;
  return Encode(text, encoding);
}

// ---- The file as lines -------------------------------------------------------------
struct Profile {
  Encoding encoding = Encoding::kUtf8;  // encoding of the file
  std::u16string newline = u"\r\n";     // line end the file uses
  std::vector<std::u16string> lines;    // lines without their ends
};

// One "[name]" header and the lines up to the next header.
struct Section {
  std::u16string_view name;  // trimmed name (views into Profile::lines)
  size_t header = 0;         // line of the header
  size_t end = 0;            // first line after the section
};

// What a line is.
enum class LineKind { kBlank, kComment, kHeader, kEntry };

LineKind Classify(std::u16string_view line) {
  std::u16string_view t = Trim(line);
  if (t.empty()) return LineKind::kBlank;
  if (t[0] == u';') return LineKind::kComment;
  if (t[0] == u'[') return LineKind::kHeader;
  return LineKind::kEntry;
}

std::u16string_view HeaderName(std::u16string_view line) {
  std::u16string_view t = Trim(line).substr(1);
  size_t close = t.find(u']');
  return Trim(close == std::u16string_view::npos ? t : t.substr(0, close));
}

// Key and raw value of an entry line (value trimmed, quotes kept).
void SplitEntry(std::u16string_view line, std::u16string_view* key, std::u16string_view* value) {
  size_t eq = line.find(u'=');
  if (eq == std::u16string_view::npos) {
    *key = Trim(line);
    *value = std::u16string_view();
  } else {
    *key = Trim(line.substr(0, eq));
    *value = Trim(line.substr(eq + 1));
  }
}

std::vector<Section> Sections(const Profile& p) {
  std::vector<Section> out;
  for (size_t i = 0; i < p.lines.size(); ++i) {
    if (Classify(p.lines[i]) != LineKind::kHeader) continue;
    if (!out.empty()) out.back().end = i;
    Section s;
    s.name = HeaderName(p.lines[i]);
    s.header = i;
    out.push_back(s);
  }
  if (!out.empty()) out.back().end = p.lines.size();
  return out;
}

Profile ParseProfile(const std::string& bytes) {
  Profile p;
  std::u16string text = Decode(bytes, &p.encoding);
  if (text.find(u"\r\n") == std::u16string::npos && text.find(u'\n') != std::u16string::npos)
    p.newline = u"\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) {
      p.lines.push_back(text.substr(start));
      break;
    }
    p.lines.push_back(text.substr(start, end - start));
    start = end + (text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1);
  }
  return p;
}

std::u16string JoinLines(const Profile& p) {
  std::u16string text;
  for (const std::u16string& line : p.lines) text += line + p.newline;
  return text;
}

// Visits the entries of every part of a section; stops when `visit` says so.
void ForEachEntry(const Profile& p, std::u16string_view section,
                  const std::function<bool(size_t line, std::u16string_view key,
                                           std::u16string_view value)>& visit) {
  for (const Section& s : Sections(p)) {
    if (!SameName(s.name, section)) continue;
    for (size_t i = s.header + 1; i < s.end; ++i) {
      if (Classify(p.lines[i]) != LineKind::kEntry) continue;
      std::u16string_view key, value;
      SplitEntry(p.lines[i], &key, &value);
      if (!visit(i, key, value)) return;
    }
  }
}

bool FindValue(const Profile& p, std::u16string_view section, std::u16string_view key,
               std::u16string* value) {
  bool found = false;
  ForEachEntry(p, section, [&](size_t, std::u16string_view k, std::u16string_view v) {
    if (!SameName(k, key)) return true;
    *value = std::u16string(Unquote(v));
    found = true;
    return false;
  });
  return found;
}

// ---- Edits ---------------------------------------------------------------------------
bool DeleteSection(Profile& p, std::u16string_view section) {
  std::vector<Section> sections = Sections(p);
  bool changed = false;
  for (size_t n = sections.size(); n-- > 0;) {  // from the end: indexes stay valid
    if (!SameName(sections[n].name, section)) continue;
    p.lines.erase(p.lines.begin() + static_cast<ptrdiff_t>(sections[n].header),
                  p.lines.begin() + static_cast<ptrdiff_t>(sections[n].end));
    changed = true;
  }
  return changed;
}

bool DeleteKey(Profile& p, std::u16string_view section, std::u16string_view key) {
  std::vector<size_t> doomed;
  ForEachEntry(p, section, [&](size_t line, std::u16string_view k, std::u16string_view) {
    if (SameName(k, key)) doomed.push_back(line);
    return true;
  });
  for (size_t n = doomed.size(); n-- > 0;)
    p.lines.erase(p.lines.begin() + static_cast<ptrdiff_t>(doomed[n]));
  return !doomed.empty();
}

// Where a new key of a section goes: after the last line of the section's
// first part that is not blank. Appends the header when the section is
// missing.
size_t InsertionPoint(Profile& p, std::u16string_view section) {
  std::vector<Section> sections = Sections(p);
  for (const Section& s : sections) {
    if (!SameName(s.name, section)) continue;
    size_t at = s.end;
    while (at > s.header + 1 && Classify(p.lines[at - 1]) == LineKind::kBlank) --at;
    return at;
  }
  p.lines.push_back(u"[" + std::u16string(section) + u"]");
  return p.lines.size();
}

bool SetValue(Profile& p, std::u16string_view section, std::u16string_view key,
              std::u16string_view value) {
  size_t found = SIZE_MAX;
  std::u16string line;
  ForEachEntry(p, section, [&](size_t i, std::u16string_view k, std::u16string_view) {
    if (!SameName(k, key)) return true;
    found = i;
    line = std::u16string(k) + u"=" + std::u16string(value);
    return false;
  });
  if (found != SIZE_MAX) {
    if (p.lines[found] == line) return false;
    p.lines[found] = line;
    return true;
  }
  size_t at = InsertionPoint(p, section);
  p.lines.insert(p.lines.begin() + static_cast<ptrdiff_t>(at),
                 std::u16string(key) + u"=" + std::u16string(value));
  return true;
}

// Replaces the body of a section (all its parts become the first one).
bool ReplaceSection(Profile& p, std::u16string_view section,
                    const std::vector<std::u16string>& body) {
  std::vector<Section> sections = Sections(p);
  const Section* first = nullptr;
  for (const Section& s : sections)
    if (SameName(s.name, section)) {
      first = &s;
      break;
    }
  if (!first) {
    p.lines.push_back(u"[" + std::u16string(section) + u"]");
    p.lines.insert(p.lines.end(), body.begin(), body.end());
    return true;
  }
  // Keep the first header and the blank lines that end the section.
  size_t header = first->header;
  std::u16string header_line = p.lines[header];
  size_t tail = first->end;
  while (tail > header + 1 && Classify(p.lines[tail - 1]) == LineKind::kBlank) --tail;
  std::vector<std::u16string> blanks(p.lines.begin() + static_cast<ptrdiff_t>(tail),
                                     p.lines.begin() + static_cast<ptrdiff_t>(first->end));
  DeleteSection(p, section);
  std::vector<std::u16string> block;
  block.push_back(header_line);
  block.insert(block.end(), body.begin(), body.end());
  block.insert(block.end(), blanks.begin(), blanks.end());
  p.lines.insert(p.lines.begin() + static_cast<ptrdiff_t>(header), block.begin(), block.end());
  return true;
}

// ---- Files ------------------------------------------------------------------------------
std::mutex g_lock;  // one change of a profile at a time in this process


// Reads a profile; FALSE when the file cannot be read.
bool LoadProfile(const std::string& path, Profile* p) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes;
  bool ok = platform::ReadAllFd(fd, &bytes);
  close(fd);
  if (ok) *p = ParseProfile(bytes);
  return ok;
}

// An edit of a profile: changes the lines, says whether anything changed.
using Edit = std::function<bool(Profile& p)>;

// Opens the file and locks it, making sure the locked file is still the
// one at `path` (another process may have replaced it meanwhile). -1 with
// errno set on failure.
int OpenLocked(const std::string& path, bool create) {
  for (;;) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) return -1;
    while (flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        int err = errno;
        close(fd);
        errno = err;
        return -1;
      }
    }
    struct stat held, now;
    if (fstat(fd, &held) == 0 && stat(path.c_str(), &now) == 0 && held.st_ino == now.st_ino &&
        held.st_dev == now.st_dev)
      return fd;
    close(fd);
  }
}

DWORD ErrorOfOpen(int err) {
  // A missing folder on the way is a missing path, as the platform says.
  return err == ENOENT ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(err);
}

// Applies an edit to the locked file `fd` at `path` and writes the result
// back atomically: a temporary file next to it, flushed, renamed over it.
DWORD EditLocked(int fd, const std::string& path, const Edit& edit) {
  struct stat st;
  std::string bytes;
  if (fstat(fd, &st) != 0 || !platform::ReadAllFd(fd, &bytes)) return platform::ErrorFromErrno(errno);
  if ((st.st_mode & 0222) == 0 || faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    return ERROR_ACCESS_DENIED;                                 // read-only file: leave it as it is
  Profile p = bytes.empty() ? Profile() : ParseProfile(bytes);  // a new file gets our defaults
  if (!edit(p)) return ERROR_SUCCESS;
  std::string out = Encode(JoinLines(p), &p.encoding);
  int err = platform::ReplaceFileAtomically(path, out, st.st_mode & 07777);
  return err == 0 ? ERROR_SUCCESS : platform::ErrorFromErrno(err);
}

// Applies an edit to the file at `path` under its lock. A missing file is
// created only with `create`; without it there is nothing to change and
// the call succeeds.
DWORD ModifyProfile(std::string path, bool create, const Edit& edit) {
  std::lock_guard<std::mutex> guard(g_lock);
  char real[PATH_MAX];
  if (realpath(path.c_str(), real)) path = real;  // write through links to their file
  int fd = OpenLocked(path, false);
  if (fd < 0 && errno == ENOENT) {
    if (!create) return ERROR_SUCCESS;
    fd = OpenLocked(path, true);
    // Through a dangling link that made the file it names: that file is
    // the one to replace, and the link stays.
    if (fd >= 0 && realpath(path.c_str(), real)) path = real;
  }
  if (fd < 0) return ErrorOfOpen(errno);
  DWORD result;
  try {
    result = EditLocked(fd, path, edit);
  } catch (...) {
    result = ERROR_NOT_ENOUGH_MEMORY;
  }
  flock(fd, LOCK_UN);
  close(fd);
  return result;
}

// The path of a file in a folder. File names of the library ignore case:
// when no file has the exact name, one whose name differs only in case is
// taken.
std::string FindInFolder(const std::string& folder, std::u16string_view name) {
  std::string exact = folder + "/" + platform::ToUtf8(name);
  struct stat st;
  if (stat(exact.c_str(), &st) == 0) return exact;
  DIR* dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return exact;
  std::string found = exact;
  while (struct dirent* e = readdir(dir)) {
    if (SameName(platform::ToUtf16(e->d_name), name)) {
      found = folder + "/" + e->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

// The Windows folder as registered by the shell area (empty until then:
// the file system's root).
std::atomic<platform::WindowsFolderQuery> g_windows_folder{nullptr};

std::string WindowsFolder(bool create) {
  platform::WindowsFolderQuery query = g_windows_folder.load(std::memory_order_acquire);
  return query ? query(create) : std::string();
}

// The Linux path of a profile named by the library: a bare file name is
// taken from the Windows folder.
std::string ResolvePath(LPCWSTR file, bool for_write) {
  std::u16string_view name =
      file && *file ? std::u16string_view(file) : std::u16string_view(u"win.ini");
  if (name.find_first_of(u"\\/:") == std::u16string_view::npos) {
    std::string folder = WindowsFolder(for_write);
    return FindInFolder(folder == "/" ? std::string() : folder, name);
  }
  return platform::ToLinuxPath(name);
}

// ---- Copies into caller buffers ----------------------------------------------------------
DWORD CopyText(std::u16string_view text, LPWSTR buffer, DWORD size) {
  size_t n = std::min<size_t>(text.size(), size - 1);
  std::copy(text.begin(), text.begin() + static_cast<ptrdiff_t>(n), buffer);
  buffer[n] = 0;
  return static_cast<DWORD>(n);
}

// Copies texts as a list: each terminated, then one more terminator. A list
// that does not fit is cut, ends with two terminators and gives size - 2.
DWORD CopyList(const std::vector<std::u16string>& items, LPWSTR buffer, DWORD size) {
  if (size < 2) {
    buffer[0] = 0;
    return 0;
  }
  size_t pos = 0;
  for (const std::u16string& item : items) {
    if (pos + item.size() + 1 > size - 1) {
      size_t n = pos < size - 2 ? size - 2 - pos : 0;
      std::copy(item.begin(), item.begin() + static_cast<ptrdiff_t>(n), buffer + pos);
      buffer[size - 2] = 0;
      buffer[size - 1] = 0;
      return size - 2;
    }
    std::copy(item.begin(), item.end(), buffer + pos);
    pos += item.size();
    buffer[pos++] = 0;
  }
  buffer[pos] = 0;
  return static_cast<DWORD>(pos);
}

void AddUnique(std::vector<std::u16string>& list, std::u16string_view name) {
  for (const std::u16string& n : list)
    if (SameName(n, name)) return;
  list.emplace_back(name);
}

// ---- Argument checks -----------------------------------------------------------------------
bool ValidSection(std::u16string_view s) {
  return !Trim(s).empty() && !HasLineBreak(s) && s.find(u']') == std::u16string_view::npos;
}

bool ValidKey(std::u16string_view k) {
  std::u16string_view t = Trim(k);
  return !t.empty() && !HasLineBreak(k) && k.find(u'=') == std::u16string_view::npos &&
         t[0] != u';' && t[0] != u'[';
}

// Parses a number the way profile integers are read.
UINT ParseProfileInt(std::u16string_view v) {
  size_t i = 0;
  bool negative = false;
  if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) negative = v[i++] == u'-';
  uint32_t n = 0;
  if (i + 1 < v.size() && v[i] == u'0' && (v[i + 1] == u'x' || v[i + 1] == u'X')) {
    for (i += 2; i < v.size(); ++i) {
      WCHAR c = v[i];
      uint32_t d;
      if (c >= u'0' && c <= u'9')
        d = c - u'0';
      else if (c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
      else if (c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
      else
        break;
      n = n * 16 + d;
    }
  } else {
    for (; i < v.size() && v[i] >= u'0' && v[i] <= u'9'; ++i) n = n * 10 + (v[i] - u'0');
  }
  return negative ? 0u - n : n;
}

// Runs the body of an exported function: an allocation failure (or any
// other exception) gives `failure` with ERROR_NOT_ENOUGH_MEMORY instead of
// leaving the call.
template <class Result, class Body>
Result Guard(Result failure, Body&& body) {
  try {
    return body();
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return failure;
  }
}

}  // namespace

// ---- Reading ---------------------------------------------------------------------------
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer,
                               DWORD size, LPCWSTR file) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  return Guard<DWORD>(0, [&]() -> DWORD {
    Profile p;
    bool have = LoadProfile(ResolvePath(file, false), &p);
    if (!have) SetLastError(ERROR_FILE_NOT_FOUND);
    if (!section || !key) {
      std::vector<std::u16string> names;
      if (have && !section) {
        for (const Section& s : Sections(p)) AddUnique(names, s.name);
      } else if (have) {
        ForEachEntry(p, section, [&](size_t, std::u16string_view k, std::u16string_view) {
          AddUnique(names, k);
          return true;
        });
      }
      return CopyList(names, buffer, size);
    }
    std::u16string value;
    if (have && FindValue(p, section, key, &value)) return CopyText(value, buffer, size);
    SetLastError(ERROR_FILE_NOT_FOUND);
    std::u16string_view def = default_value ? std::u16string_view(default_value) : u"";
    while (!def.empty() && def.back() == u' ') def.remove_suffix(1);
    return CopyText(def, buffer, size);
  });
}

UINT GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value, LPCWSTR file) {
  UINT fallback = static_cast<UINT>(default_value);
  if (!section || !key) return fallback;
  return Guard<UINT>(fallback, [&]() -> UINT {
    Profile p;
    std::u16string value;
    if (!LoadProfile(ResolvePath(file, false), &p) || !FindValue(p, section, key, &value) ||
        Trim(value).empty())
      return fallback;
    return ParseProfileInt(Trim(value));
  });
}

DWORD GetPrivateProfileSectionW(LPCWSTR section, LPWSTR buffer, DWORD size, LPCWSTR file) {
  if (!buffer || size == 0) return 0;
  buffer[0] = 0;
  return Guard<DWORD>(0, [&]() -> DWORD {
    std::vector<std::u16string> lines;
    Profile p;
    if (section && LoadProfile(ResolvePath(file, false), &p)) {
      ForEachEntry(p, section, [&](size_t i, std::u16string_view k, std::u16string_view v) {
        bool has_value = p.lines[i].find(u'=') != std::u16string::npos;
        lines.push_back(has_value ? std::u16string(k) + u"=" + std::u16string(v)
                                  : std::u16string(k));
        return true;
      });
    }
    return CopyList(lines, buffer, size);
  });
}

DWORD GetPrivateProfileSectionNamesW(LPWSTR buffer, DWORD size, LPCWSTR file) {
  return GetPrivateProfileStringW(nullptr, nullptr, nullptr, buffer, size, file);
}

// ---- Writing ---------------------------------------------------------------------------
namespace {

BOOL Finish(DWORD err) {
  if (err == ERROR_SUCCESS) return TRUE;
  SetLastError(err);
  return FALSE;
}

}  // namespace

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR file) {
  if (!section) {
    if (!key && !value) return TRUE;  // "flush": every write is on disk already
    return Finish(ERROR_INVALID_PARAMETER);
  }
  if (!ValidSection(section) || (key && !ValidKey(key)) || (value && HasLineBreak(value)))
    return Finish(ERROR_INVALID_PARAMETER);
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    std::u16string_view s = Trim(section);
    std::u16string_view k = key ? Trim(key) : std::u16string_view();
    std::string path = ResolvePath(file, true);
    if (!key)
      return Finish(ModifyProfile(path, false, [&](Profile& p) { return DeleteSection(p, s); }));
    if (!value)
      return Finish(ModifyProfile(path, false, [&](Profile& p) { return DeleteKey(p, s, k); }));
    std::u16string_view v(value);
    return Finish(ModifyProfile(path, true, [&](Profile& p) { return SetValue(p, s, k, v); }));
  });
}

BOOL WritePrivateProfileSectionW(LPCWSTR section, LPCWSTR lines, LPCWSTR file) {
  if (!section || !ValidSection(section)) return Finish(ERROR_INVALID_PARAMETER);
  return Guard<BOOL>(FALSE, [&]() -> BOOL {
    std::u16string_view s = Trim(section);
    std::vector<std::u16string> body;
    for (LPCWSTR at = lines; at && *at; at += platform::WStrLen(at) + 1) {
      std::u16string_view line(at);
      if (HasLineBreak(line) || Classify(line) == LineKind::kHeader)
        return Finish(ERROR_INVALID_PARAMETER);
      body.emplace_back(line);
    }
    std::string path = ResolvePath(file, true);
    if (!lines)
      return Finish(ModifyProfile(path, false, [&](Profile& p) { return DeleteSection(p, s); }));
    return Finish(
        ModifyProfile(path, true, [&](Profile& p) { return ReplaceSection(p, s, body); }));
  });
}

// ---- The user's profile ----------------------------------------------------------------
// The user's own profile is per user, as the platform keeps it: "win.ini" in
// the user's store, so that every user can write it.
namespace {
std::u16string UserProfilePath(bool for_write) {
  std::string folder = platform::UserStateDir();
  if (for_write) platform::MakeDirs(folder);
  return platform::FromLinuxPath(folder + "/win.ini");
}
}  // namespace

DWORD GetProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR default_value, LPWSTR buffer,
                        DWORD size) {
  return GetPrivateProfileStringW(section, key, default_value, buffer, size,
                                  UserProfilePath(false).c_str());
}

UINT GetProfileIntW(LPCWSTR section, LPCWSTR key, INT default_value) {
  return GetPrivateProfileIntW(section, key, default_value, UserProfilePath(false).c_str());
}

BOOL WriteProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value) {
  return WritePrivateProfileStringW(section, key, value, UserProfilePath(true).c_str());
}

namespace platform {

bool ReadProfileValue(const std::string& linux_file, std::u16string_view section,
                      std::u16string_view key, std::u16string* value) {
  return Guard<bool>(false, [&]() -> bool {
    Profile p;
    return LoadProfile(linux_file, &p) && FindValue(p, section, key, value);
  });
}

DWORD WriteProfileValue(const std::string& linux_file, std::u16string_view section,
                        std::u16string_view key, const std::u16string* value) {
  if (!ValidSection(section) || !ValidKey(key) || (value && HasLineBreak(*value)))
    return ERROR_INVALID_PARAMETER;
  return Guard<DWORD>(ERROR_NOT_ENOUGH_MEMORY, [&]() -> DWORD {
    std::u16string_view s = Trim(section), k = Trim(key);
    if (!value)
      return ModifyProfile(linux_file, false, [&](Profile& p) { return DeleteKey(p, s, k); });
    std::u16string_view v(*value);
    return ModifyProfile(linux_file, true, [&](Profile& p) { return SetValue(p, s, k, v); });
  });
}

void SetWindowsFolderQuery(WindowsFolderQuery query) {
  g_windows_folder.store(query, std::memory_order_release);
}

}  // namespace platform
