// Paths: the drive map, parsing, the layer settings and the mapping between
// the library's paths and Linux paths, and the path queries.
#include "platform/kernel/files.h"

#include "platform/kernel/files_internal.h"

inline namespace files_internal {

// Sets the last error and returns FALSE.
BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The last name of a Linux path ("" for "/").
std::string_view LastName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The folder that holds a Linux path ("." for a bare name).
std::string ParentOf(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Win32 error for a failed call on a path. A missing name is
// ERROR_FILE_NOT_FOUND when its folder exists and ERROR_PATH_NOT_FOUND when
// the folder is missing too, as the platform tells them apart.
DWORD PathError(int err, const std::string& path) {
  if (err == ENOENT) return IsFolder(ParentOf(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
  if (err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  if (err == ESPIPE) return ERROR_SEEK;
  return platform::ErrorFromErrno(err);
}

// Copies a text into a caller's buffer the platform's way: the length
// without terminator when it fits, else the size needed with terminator
// (buffer untouched).
DWORD CopyOut(std::u16string_view text, LPWSTR buffer, DWORD size) {
  if (!buffer || text.size() >= size) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = 0;
  return static_cast<DWORD>(text.size());
}

DriveTable& Drives() {
  static DriveTable* table = new DriveTable;  // lives to process exit
  return *table;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return std::string(s.substr(b, e - b));
}

// A folder as the map keeps it: absolute, no trailing '/' except for "/".
std::string CleanRoot(std::string folder) { return WithoutTrailingSlashes(std::move(folder)); }

void RefreshDrivesLocked(DriveTable& t) {
  std::string file = platform::FolderMapDir() + "/drives";
  struct stat st;
  bool exists = stat(file.c_str(), &st) == 0;
  if (file == t.file && exists == t.exists &&
      (!exists || (st.st_mtim.tv_sec == t.mtime.tv_sec && st.st_mtim.tv_nsec == t.mtime.tv_nsec &&
                   st.st_size == t.size && st.st_ino == t.inode)))
    return;
  for (std::string& r : t.roots) r.clear();
  t.file = file;
  t.exists = exists;
  if (!exists) return;
  t.mtime = st.st_mtim;
  t.size = st.st_size;
  t.inode = st.st_ino;
  FILE* f = fopen(file.c_str(), "r");
  if (!f) return;
  char line[4096];
  while (fgets(line, sizeof line, f)) {
    std::string text = Trim(std::string_view(line).substr(0, strcspn(line, "\n")));
    if (text.size() < 3 || text[1] != '=' || !IsLetter(static_cast<unsigned char>(text[0])))
      continue;  // blank lines, comments and malformed lines
    std::string folder = Trim(std::string_view(text).substr(2));
    if (folder.empty() || folder[0] != '/') continue;
    t.roots[UpperAscii(static_cast<unsigned char>(text[0])) - u'A'] = CleanRoot(folder);
  }
  fclose(f);
}

// Writes the whole map through a temporary file so readers never see half
// of it.
bool WriteDrivesLocked(DriveTable& t) {
  std::string dir = platform::FolderMapDir();
  if (!platform::MakeDirs(dir)) return false;
  std::string text;
  for (int i = 0; i < 26; ++i)
    if (!t.roots[i].empty())
      text += std::string(1, static_cast<char>('A' + i)) + "=" + t.roots[i] + "\n";
  bool ok = platform::ReplaceFileAtomically(dir + "/drives", text, 0644) == 0;
  t.file.clear();  // forces a reread that records the new file's stamp
  RefreshDrivesLocked(t);
  return ok;
}

// Splits a path; returns ERROR_SUCCESS or the error that refuses it.
DWORD ParsePath(std::u16string_view p, ParsedPath* out) {
  if (p.find(u'\0') != std::u16string_view::npos) return ERROR_INVALID_NAME;
  bool unc = false;
  if (p.size() >= 4 && IsSep(p[0]) && IsSep(p[1]) && p[2] == u'?' && IsSep(p[3])) {
    // Long-path prefix: "\\?\C:\..." or "\\?\UNC\server\share\...".
    p.remove_prefix(4);
    if (p.size() >= 4 && UpperAscii(p[0]) == u'U' && UpperAscii(p[1]) == u'N' &&
        UpperAscii(p[2]) == u'C' && IsSep(p[3])) {
      p.remove_prefix(4);
      unc = true;
    }
  } else if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
    if (p.size() >= 3 && (p[2] == u'.' || p[2] == u'?') && (p.size() == 3 || IsSep(p[3])))
      return ERROR_BAD_PATHNAME;  // device namespace
    p.remove_prefix(2);
    unc = true;
  }

  std::u16string_view rest;
  if (unc) {
    size_t s = p.find_first_of(u"\\/");
    if (s == std::u16string_view::npos || s == 0) return ERROR_BAD_PATHNAME;
    out->server = p.substr(0, s);
    p.remove_prefix(s + 1);
    s = p.find_first_of(u"\\/");
    out->share = p.substr(0, s);
    if (out->share.empty()) return ERROR_BAD_PATHNAME;
    rest = s == std::u16string_view::npos ? std::u16string_view() : p.substr(s);
    out->root = RootKind::kUnc;
  } else if (p.size() >= 2 && IsLetter(p[0]) && p[1] == u':') {
    out->root = RootKind::kDrive;
    out->drive = p[0];
    rest = p.substr(2);
  } else {
    if (!p.empty() && IsSep(p[0])) out->root = RootKind::kSlash;
    rest = p;
  }

  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && IsSep(rest[i])) ++i;
    size_t start = i;
    while (i < rest.size() && !IsSep(rest[i])) ++i;
    if (i == start) break;
    std::u16string_view part = rest.substr(start, i - start);
    if (part == u".") continue;
    if (part == u"..") {
      if (!out->parts.empty() && out->parts.back() != u"..")
        out->parts.pop_back();
      else if (out->root == RootKind::kRelative)
        out->parts.push_back(part);
      // At a root ".." stays at the root: nothing climbs out of a drive.
      continue;
    }
    out->parts.push_back(part);
  }
  out->trailing_separator = !rest.empty() && IsSep(rest.back());
  return ERROR_SUCCESS;
}

std::string LowerUtf8(std::u16string_view text) {
  std::u16string lower(text);
  for (WCHAR& c : lower) c = platform::CharLower(c);
  return platform::ToUtf8(lower);
}

// The Linux path of a parsed library path.
std::string LinuxFromParsed(const ParsedPath& pp) {
  std::string out;
  switch (pp.root) {
    case RootKind::kRelative: break;
    case RootKind::kSlash: out = "/"; break;
    case RootKind::kDrive: out = platform::DriveRoot(pp.drive); break;
    case RootKind::kUnc:
      out = platform::FolderMapDir() + "/unc/" + LowerUtf8(pp.server) + "/" + LowerUtf8(pp.share);
      break;
  }
  for (std::u16string_view part : pp.parts) {
    if (!out.empty() && out.back() != '/') out += '/';
    out += platform::ToUtf8(part);
  }
  if (out.empty()) return ".";
  if (pp.trailing_separator && !pp.parts.empty()) out += '/';
  return out;
}

bool HasWildcard(std::u16string_view text) {
  return text.find_first_of(u"*?") != std::u16string_view::npos;
}

// Maps a name passed to an API function. FALSE with the last error set for
// a NULL, empty, malformed or wildcard name.
bool MapName(LPCWSTR name, std::string* out) {
  if (!name) return Fail(ERROR_INVALID_PARAMETER);
  if (!*name) return Fail(ERROR_PATH_NOT_FOUND);
  ParsedPath pp;
  DWORD error = ParsePath(name, &pp);
  if (error != ERROR_SUCCESS) return Fail(error);
  for (std::u16string_view part : pp.parts)
    if (HasWildcard(part)) return Fail(ERROR_INVALID_NAME);
  *out = LinuxFromParsed(pp);
  return true;
}

bool MapLastName(LPCWSTR name, std::string* out) {
  if (!MapName(name, out)) return false;
  if (out->size() < 2 || out->back() != '/') return true;
  // Linux follows a final link when the path ends in '/': drop the
  // separators so that the call sees the link itself.
  *out = WithoutTrailingSlashes(std::move(*out));
  // They still ask for a folder: a file, or a link to one, named so is
  // refused as before, and so is a link that leads to no folder at all
  // (pointing nowhere, or round in a loop). A missing name is left to the
  // call to report.
  struct stat st;
  if (stat(out->c_str(), &st) == 0) {
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_PATH_NOT_FOUND);
  } else if ((errno == ENOENT || errno == ENOTDIR || errno == ELOOP) &&
             lstat(out->c_str(), &st) == 0) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  return true;
}

}  // namespace files_internal

// ===========================================================================
// Layer settings and path mapping
// ===========================================================================

namespace platform {

std::string ToLinuxPath(LPCWSTR path) {
  if (!path) return std::string();
  return ToLinuxPath(std::u16string_view(path));
}

std::string ToLinuxPath(std::u16string_view path) {
  if (path.empty()) return std::string();
  try {
    ParsedPath pp;
    if (ParsePath(path, &pp) != ERROR_SUCCESS) return std::string();
    return LinuxFromParsed(pp);
  } catch (...) {
    return std::string();
  }
}

std::u16string FromLinuxPath(const std::string& path) { return ToUtf16(path); }

bool SetDriveRoot(WCHAR letter, const std::string& linux_folder) {
  if (!IsLetter(letter) || (!linux_folder.empty() && linux_folder[0] != '/')) return false;
  if (linux_folder.find('\n') != std::string::npos) return false;
  try {
    DriveTable& t = Drives();
    std::lock_guard<std::mutex> guard(t.lock);
    RefreshDrivesLocked(t);
    std::string& slot = t.roots[UpperAscii(letter) - u'A'];
    std::string old = slot;
    slot = linux_folder.empty() ? std::string() : CleanRoot(linux_folder);
    if (WriteDrivesLocked(t)) return true;
    t.roots[UpperAscii(letter) - u'A'] = old;
    return false;
  } catch (...) {
    return false;
  }
}

std::string DriveRoot(WCHAR letter) {
  if (!IsLetter(letter)) return std::string();
  DriveTable& t = Drives();
  std::lock_guard<std::mutex> guard(t.lock);
  RefreshDrivesLocked(t);
  const std::string& root = t.roots[UpperAscii(letter) - u'A'];
  return root.empty() ? std::string("/") : root;
}

HANDLE FileHandleFromDescriptor(int fd, DWORD access, bool owns) {
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_HANDLE_VALUE;
  }
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] {
    auto object = std::make_shared<FileObject>();
    object->fd = fd;
    object->owns = owns;
    object->record = ShareRecord{AccessKinds(access), FILE_SHARE_READ | FILE_SHARE_WRITE};
    object->key = KeyOf(st);
    object->regular = S_ISREG(st.st_mode);
    HANDLE h = platform::AllocHandle(object);
    if (!h) {
      object->owns = false;  // the caller still owns the descriptor
      return INVALID_HANDLE_VALUE;
    }
    return h;
  });
}

int DescriptorOfFileHandle(HANDLE file) {
  std::shared_ptr<FileObject> f = GetFile(file);
  return f ? f->fd : -1;
}

std::u16string DeviceNameOfFileHandle(HANDLE file) {
  std::shared_ptr<FileObject> f = platform::LookupHandleAs<FileObject>(file);
  return f ? f->device : std::u16string();
}

bool MatchFileName(std::u16string_view pattern, std::u16string_view name) {
  // at_end[i]: does pattern[i..] match the empty rest of a name? Only runs of
  // '*' and '?' do, with at most one '.' among them (so "x.*" and "x."
  // match "x").
  const size_t m = pattern.size(), n = name.size();
  std::vector<char> at_end(m + 1, 0);
  at_end[m] = 1;
  bool dot_seen = false;
  for (size_t i = m; i-- > 0;) {
    WCHAR c = pattern[i];
    if (c == u'*' || c == u'?') {
      at_end[i] = at_end[i + 1];
    } else if (c == u'.' && !dot_seen) {
      at_end[i] = at_end[i + 1];
      dot_seen = true;
    } else {
      break;
    }
  }
  // row[i] for the current name position j, next[i] for j + 1.
  std::vector<char> next(at_end), row(m + 1, 0);
  for (size_t j = n; j-- > 0;) {
    row[m] = 0;
    WCHAR nc = CharUpper(name[j]);
    for (size_t i = m; i-- > 0;) {
      WCHAR pc = pattern[i];
      if (pc == u'*')
        row[i] = row[i + 1] || next[i];
      else if (pc == u'?')
        row[i] = next[i + 1];
      else
        row[i] = CharUpper(pc) == nc && next[i + 1];
    }
    std::swap(row, next);
  }
  return next[0] != 0;
}

}  // namespace platform

// ===========================================================================
// Path queries
// ===========================================================================

DWORD GetTempPathW(DWORD size, LPWSTR buffer) {
  return Guarded<DWORD>(0, [&] {
    const char* tmp = getenv("TMPDIR");
    std::string path = tmp && *tmp ? tmp : "/tmp";
    if (path.back() != '/') path += '/';
    return CopyOut(platform::FromLinuxPath(path), buffer, size);
  });
}

UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out) {
  if (!folder || !out) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Guarded<UINT>(0, [&]() -> UINT {
    std::u16string base(folder);
    if (!base.empty() && !IsSep(base.back())) base += platform::kPathSeparator;
    std::u16string_view pre = prefix ? std::u16string_view(prefix) : std::u16string_view();
    base += pre.substr(0, 3);
    auto name_for = [&](UINT number) {
      static const char16_t kHex[] = u"0123456789ABCDEF";
      std::u16string digits;
      do {
        digits.insert(digits.begin(), kHex[number & 0xF]);
        number >>= 4;
      } while (number);
      return base + digits + u".tmp";
    };
    auto put = [&](const std::u16string& name) -> bool {
      if (name.size() >= static_cast<size_t>(MAX_PATH)) return Fail(ERROR_BUFFER_OVERFLOW);
      std::copy(name.begin(), name.end(), out);
      out[name.size()] = 0;
      return true;
    };
    if (unique != 0) return put(name_for(unique & 0xFFFF)) ? unique : 0;  // low 16 bits only
    std::string linux_folder;
    if (!MapName(folder, &linux_folder)) return 0;
    if (!IsFolder(linux_folder)) {
      SetLastError(ERROR_DIRECTORY);
      return 0;
    }
    // Successive calls start at successive numbers so that a busy folder
    // does not make every call walk the same taken names.
    static std::atomic<UINT> counter{static_cast<UINT>(std::random_device{}())};
    UINT start = counter.fetch_add(1);
    for (UINT i = 0; i < 0x10000; ++i) {
      UINT number = (start + i) & 0xFFFF;
      if (number == 0) continue;
      std::u16string name = name_for(number);
      if (name.size() >= static_cast<size_t>(MAX_PATH)) {
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return 0;
      }
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        put(name);
        SetLastError(ERROR_SUCCESS);
        return number;
      }
      DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED &&
          error != ERROR_SHARING_VIOLATION)
        return 0;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
  });
}

DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part) {
  if (!name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!*name) {
    SetLastError(ERROR_INVALID_NAME);
    return 0;
  }
  return Guarded<DWORD>(0, [&]() -> DWORD {
    std::u16string text(name);
    ParsedPath pp;
    DWORD error = ParsePath(text, &pp);
    if (error == ERROR_SUCCESS && pp.root == RootKind::kRelative) {
      // Join to the current folder and parse again.
      WCHAR probe[1];
      DWORD needed = GetCurrentDirectoryW(1, probe);
      if (needed == 0) return 0;
      std::u16string cwd(needed, u'\0');
      cwd.resize(GetCurrentDirectoryW(needed, cwd.data()));
      text = cwd + u"/" + text;
      pp = ParsedPath();
      error = ParsePath(text, &pp);
    }
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return 0;
    }
    std::u16string full;
    switch (pp.root) {
      case RootKind::kDrive: full = {pp.drive, u':', u'/'}; break;
      case RootKind::kUnc:
        full = u"//" + std::u16string(pp.server) + u"/" + std::u16string(pp.share);
        if (!pp.parts.empty() || pp.trailing_separator) full += u'/';
        break;
      default: full = u"/"; break;
    }
    for (size_t i = 0; i < pp.parts.size(); ++i) {
      if (i) full += u'/';
      full += pp.parts[i];
    }
    if (pp.trailing_separator && !pp.parts.empty()) full += u'/';
    DWORD result = CopyOut(full, buffer, size);
    if (result < size && file_part) {
      size_t slash = full.find_last_of(u'/');
      *file_part = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
    }
    return result;
  });
}

// The common body of GetLongPathNameW and GetShortPathNameW.
static DWORD SamePathIfExists(LPCWSTR path, LPWSTR out, DWORD size) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return Guarded<DWORD>(0, [&]() -> DWORD {
    std::string linux_path;
    if (!MapName(path, &linux_path)) return 0;
    struct stat st;
    if (lstat(linux_path.c_str(), &st) != 0) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return 0;
    }
    std::u16string copy(path);  // the buffers may be the same
    return CopyOut(copy, out, size);
  });
}

DWORD GetLongPathNameW(LPCWSTR short_path, LPWSTR long_path, DWORD size) {
  return SamePathIfExists(short_path, long_path, size);
}

DWORD GetShortPathNameW(LPCWSTR long_path, LPWSTR short_path, DWORD size) {
  return SamePathIfExists(long_path, short_path, size);
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  return Guarded<DWORD>(0, [&]() -> DWORD {
    std::string cwd(256, '\0');
    while (!getcwd(cwd.data(), cwd.size())) {
      if (errno != ERANGE) {
        SetLastError(platform::ErrorFromErrno(errno));
        return 0;
      }
      cwd.resize(cwd.size() * 2);
    }
    cwd.resize(strlen(cwd.c_str()));
    return CopyOut(platform::FromLinuxPath(cwd), buffer, size);
  });
}

BOOL SetCurrentDirectoryW(LPCWSTR path) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string linux_path;
    if (!MapName(path, &linux_path)) return FALSE;
    struct stat st;
    if (stat(linux_path.c_str(), &st) != 0) return Fail(PathError(errno, linux_path));
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (chdir(linux_path.c_str()) != 0) return Fail(PathError(errno, linux_path));
    return TRUE;
  });
}

// ===========================================================================
