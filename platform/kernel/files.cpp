#include "platform/kernel/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/kernel/comm.h"
#include "platform/kernel/error.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/state.h"
#include "platform/kernel/time.h"

namespace {

// ===========================================================================
// Small tools
// ===========================================================================

// Runs an exported function's body; an exception (allocation failure) turns
// into the failure value with a last error instead of crossing the
// interface.
template <class R, class F>
R Guarded(R on_failure, F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  } catch (...) {
    SetLastError(ERROR_GEN_FAILURE);
  }
  return on_failure;
}

// Sets the last error and returns FALSE.
BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// A descriptor closed when it goes out of scope.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;  // owned descriptor, -1 when none
};

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }
bool IsLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
WCHAR UpperAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c; }

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

// ===========================================================================
// Drive map
// ===========================================================================

// The drive letters' folders, read from FolderMapDir()/drives and reread
// whenever that file (or the state root) changes.
struct DriveTable {
  std::mutex lock;          // guards every field
  std::string file;         // map file last looked at
  bool exists = false;      // whether it existed then
  struct timespec mtime {}; // its modification time then
  off_t size = -1;          // its size then
  ino_t inode = 0;          // its inode then (a rewrite renames a new one in)
  std::string roots[26];    // folder per letter, "" = the file-system root
};

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
std::string CleanRoot(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

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

// ===========================================================================
// Path parsing
// ===========================================================================

enum class RootKind {
  kRelative,  // no root: relative to the current folder
  kSlash,     // a leading separator: the file-system root
  kDrive,     // "X:"
  kUnc,       // "\\server\share"
};

// A library path split into its root and its folded names. The views point
// into the parsed text.
struct ParsedPath {
  RootKind root = RootKind::kRelative;  // kind of root
  WCHAR drive = 0;                      // drive letter as written (kDrive)
  std::u16string_view server;           // server name (kUnc)
  std::u16string_view share;            // share name (kUnc)
  std::vector<std::u16string_view> parts;  // names; "." dropped, ".." folded
  bool trailing_separator = false;      // the text ended in a separator
};

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

// ===========================================================================
// File facts
// ===========================================================================

struct Facts {
  DWORD attributes = 0;    // FILE_ATTRIBUTE_*
  FILETIME creation{};     // birth time, else last write
  FILETIME access{};       // last access
  FILETIME write{};        // last write
  ULONGLONG size = 0;      // bytes (0 for folders)
  uint64_t device = 0;     // device number
  uint64_t inode = 0;      // inode number
  DWORD links = 0;         // hard links
  mode_t mode = 0;         // Linux type and permission bits
};

bool IsHiddenName(std::string_view name) {
  return !name.empty() && name[0] == '.' && name != "." && name != "..";
}

DWORD AttributesOf(mode_t mode, bool link, std::string_view name) {
  DWORD a = 0;
  if (S_ISDIR(mode))
    a |= FILE_ATTRIBUTE_DIRECTORY;
  else if (!S_ISREG(mode) && !S_ISLNK(mode))
    a |= FILE_ATTRIBUTE_DEVICE;
  if (!S_ISLNK(mode) && !(mode & S_IWUSR)) a |= FILE_ATTRIBUTE_READONLY;
  if (IsHiddenName(name)) a |= FILE_ATTRIBUTE_HIDDEN;
  if (link) a |= FILE_ATTRIBUTE_REPARSE_POINT;
  return a ? a : FILE_ATTRIBUTE_NORMAL;
}

FILETIME ToFileTime(const struct statx_timestamp& t) {
  return platform::UnixToFileTime(t.tv_sec, t.tv_nsec);
}

void FillFacts(const struct statx& sx, bool link, std::string_view name, Facts* f) {
  f->mode = sx.stx_mode;
  f->attributes = AttributesOf(sx.stx_mode, link, name);
  f->write = ToFileTime(sx.stx_mtime);
  f->access = ToFileTime(sx.stx_atime);
  f->creation = (sx.stx_mask & STATX_BTIME) ? ToFileTime(sx.stx_btime) : f->write;
  f->size = S_ISDIR(sx.stx_mode) ? 0 : sx.stx_size;
  f->device = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
  f->inode = sx.stx_ino;
  f->links = sx.stx_nlink;
}

constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

// Facts of a name (relative to `dir`, or AT_FDCWD). A symbolic link gives
// the facts of its target plus FILE_ATTRIBUTE_REPARSE_POINT (the link's own
// when the target is missing). Returns 0 or an errno value.
int FactsAt(int dir, const char* path, std::string_view name, Facts* f) {
  struct statx sx;
  if (statx(dir, path, AT_SYMLINK_NOFOLLOW, kStatxMask, &sx) != 0) return errno;
  bool link = S_ISLNK(sx.stx_mode);
  if (link) {
    struct statx target;
    if (statx(dir, path, 0, kStatxMask, &target) == 0) sx = target;
  }
  FillFacts(sx, link, name, f);
  return 0;
}

int FactsOfPath(const std::string& path, Facts* f) {
  return FactsAt(AT_FDCWD, path.c_str(), LastName(path), f);
}

void SplitSize(ULONGLONG size, DWORD* high, DWORD* low) {
  *high = static_cast<DWORD>(size >> 32);
  *low = static_cast<DWORD>(size);
}

// ===========================================================================
// Share modes between the handles of this process
// ===========================================================================

// Access kinds that share modes govern.
constexpr DWORD kAccessRead = 1;
constexpr DWORD kAccessWrite = 2;
constexpr DWORD kAccessDelete = 4;
constexpr DWORD kDeleteRight = 0x00010000;   // the standard DELETE right
constexpr DWORD kExecuteRight = 0x00000020;  // FILE_EXECUTE

DWORD AccessKinds(DWORD access) {
  DWORD kinds = 0;
  if (access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | FILE_READ_DATA | kExecuteRight))
    kinds |= kAccessRead;
  if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA))
    kinds |= kAccessWrite;
  if (access & (GENERIC_ALL | kDeleteRight)) kinds |= kAccessDelete;
  return kinds;
}

using FileKey = std::pair<uint64_t, uint64_t>;  // device, inode

struct ShareRecord {
  DWORD kinds;  // kAccess* the handle holds
  DWORD share;  // FILE_SHARE_* it allows others
};

struct ShareTable {
  std::mutex lock;                                      // guards `open`
  std::multimap<FileKey, const ShareRecord*> open;      // every registered open
};

ShareTable& Shares() {
  static ShareTable* table = new ShareTable;  // lives to process exit
  return *table;
}

// Can an open with `kinds`/`share` coexist with an existing one?
bool Compatible(const ShareRecord& held, DWORD kinds, DWORD share) {
  if ((kinds & kAccessRead) && !(held.share & FILE_SHARE_READ)) return false;
  if ((kinds & kAccessWrite) && !(held.share & FILE_SHARE_WRITE)) return false;
  if ((kinds & kAccessDelete) && !(held.share & FILE_SHARE_DELETE)) return false;
  if ((held.kinds & kAccessRead) && !(share & FILE_SHARE_READ)) return false;
  if ((held.kinds & kAccessWrite) && !(share & FILE_SHARE_WRITE)) return false;
  if ((held.kinds & kAccessDelete) && !(share & FILE_SHARE_DELETE)) return false;
  return true;
}

// Enters an open in the table; FALSE when an existing handle forbids it.
bool RegisterOpen(const FileKey& key, const ShareRecord* record) {
  ShareTable& t = Shares();
  std::lock_guard<std::mutex> guard(t.lock);
  auto range = t.open.equal_range(key);
  for (auto it = range.first; it != range.second; ++it)
    if (!Compatible(*it->second, record->kinds, record->share)) return false;
  t.open.emplace(key, record);
  return true;
}

void UnregisterOpen(const FileKey& key, const ShareRecord* record) {
  ShareTable& t = Shares();
  std::lock_guard<std::mutex> guard(t.lock);
  auto range = t.open.equal_range(key);
  for (auto it = range.first; it != range.second; ++it)
    if (it->second == record) {
      t.open.erase(it);
      return;
    }
}

// TRUE when some handle of the file does not share `share_flag` (deleting
// or renaming needs FILE_SHARE_DELETE, overwriting FILE_SHARE_WRITE).
bool HeldWithout(const FileKey& key, DWORD share_flag) {
  ShareTable& t = Shares();
  std::lock_guard<std::mutex> guard(t.lock);
  auto range = t.open.equal_range(key);
  for (auto it = range.first; it != range.second; ++it)
    if (!(it->second->share & share_flag)) return true;
  return false;
}

FileKey KeyOf(const struct stat& st) {
  return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

// ===========================================================================
// File objects
// ===========================================================================

// What a file handle stands for.
class FileObject : public platform::KernelObject {
 public:
  ~FileObject() override {
    if (registered) UnregisterOpen(key, &record);
    // Only the file this handle opened is removed, never one that took its
    // name after it was deleted or renamed.
    struct stat st;
    if (delete_on_close && !path.empty() && lstat(path.c_str(), &st) == 0 && KeyOf(st) == key) {
      if (is_folder)
        rmdir(path.c_str());
      else
        unlink(path.c_str());
    }
    if (owns && fd >= 0) close(fd);
  }

  int fd = -1;                   // the Linux descriptor
  bool owns = true;              // close `fd` with the last handle
  ShareRecord record{0, 0};      // access kinds held and share mode given
  bool registered = false;       // `record` is in the share table
  FileKey key{0, 0};             // device and inode
  std::string path;              // Linux path as opened ("" when wrapped)
  bool delete_on_close = false;  // remove `path` with the last handle
  bool is_folder = false;        // a folder (FILE_FLAG_BACKUP_SEMANTICS)
  bool regular = true;           // a regular file: reads fill the buffer
  std::u16string device;         // serial device name ("" for files)
  std::mutex pointer_lock;       // makes a computed seek one step
};

std::shared_ptr<FileObject> GetFile(HANDLE h) {
  return platform::LookupHandleAs<FileObject>(h);
}

// The position of an OVERLAPPED record; FALSE when it is out of range.
bool OffsetOf(const OVERLAPPED* ov, off_t* offset) {
  ULONGLONG value = (static_cast<ULONGLONG>(ov->OffsetHigh) << 32) | ov->Offset;
  if (value > static_cast<ULONGLONG>(INT64_MAX)) return false;
  *offset = static_cast<off_t>(value);
  return true;
}

// Moves the file pointer; returns ERROR_SUCCESS or the error. `limit` is
// the largest position allowed.
DWORD MovePointer(FileObject& f, LONGLONG distance, DWORD method, LONGLONG limit,
                  LONGLONG* position) {
  std::lock_guard<std::mutex> guard(f.pointer_lock);
  LONGLONG base = 0;
  if (method == FILE_CURRENT) {
    off_t cur = lseek(f.fd, 0, SEEK_CUR);
    if (cur < 0) return PathError(errno, f.path);
    base = cur;
  } else if (method == FILE_END) {
    struct stat st;
    if (fstat(f.fd, &st) != 0) return PathError(errno, f.path);
    base = st.st_size;
  } else if (method != FILE_BEGIN) {
    return ERROR_INVALID_PARAMETER;
  }
  LONGLONG target;
  if (__builtin_add_overflow(base, distance, &target))
    return distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER;
  if (target < 0) return ERROR_NEGATIVE_SEEK;
  if (target > limit) return ERROR_INVALID_PARAMETER;
  if (lseek(f.fd, target, SEEK_SET) < 0) return PathError(errno, f.path);
  *position = target;
  return ERROR_SUCCESS;
}

// The descriptor's access mode for the access kinds an open asks for.
int AccessModeOf(DWORD kinds) {
  if ((kinds & kAccessRead) && (kinds & kAccessWrite)) return O_RDWR;
  if (kinds & kAccessWrite) return O_WRONLY;
  return O_RDONLY;
}

// Gives a new file object the identity of the opened file `st` and its
// open's access kinds and share mode, and enters them in the share table;
// false (ERROR_SHARING_VIOLATION) when an open handle forbids them.
bool ShareOpen(FileObject* object, const struct stat& st, DWORD kinds, DWORD share) {
  object->key = KeyOf(st);
  object->record = ShareRecord{kinds, share};
  if (kinds == 0) return true;
  if (!RegisterOpen(object->key, &object->record)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  object->registered = true;
  return true;
}

// Hands a ready object to the handle table.
HANDLE Publish(std::shared_ptr<FileObject> object) {
  HANDLE h = platform::AllocHandle(std::move(object));
  return h ? h : INVALID_HANDLE_VALUE;
}

HANDLE OpenFolderHandle(const std::string& path, DWORD disposition, DWORD flags) {
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() < 0) {
    SetLastError(PathError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0) {
    SetLastError(PathError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  auto object = std::make_shared<FileObject>();
  object->key = KeyOf(st);
  object->fd = fd.release();
  object->path = path;
  object->is_folder = true;
  object->regular = false;
  object->delete_on_close = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  HANDLE h = Publish(std::move(object));
  if (h != INVALID_HANDLE_VALUE)
    SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// Opens a serial device: the file it is mapped to, created when missing and
// written at its end (platform/kernel/comm.h).
HANDLE OpenCommDevice(const std::u16string& device, DWORD access, DWORD share) {
  std::string path = platform::CommDeviceFile(device);
  if (path.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  platform::MakeDirs(ParentOf(path));
  DWORD kinds = AccessKinds(access);
  int oflags = O_CLOEXEC | O_CREAT | O_APPEND | AccessModeOf(kinds);
  UniqueFd fd(open(path.c_str(), oflags, 0666));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) {
    SetLastError(PathError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  auto object = std::make_shared<FileObject>();
  object->path = path;
  object->regular = false;
  object->device = device;
  if (!ShareOpen(object.get(), st, kinds, share)) return INVALID_HANDLE_VALUE;
  object->fd = fd.release();
  HANDLE h = Publish(std::move(object));
  if (h != INVALID_HANDLE_VALUE) SetLastError(ERROR_SUCCESS);
  return h;
}

HANDLE CreateFileImpl(LPCWSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                      bool no_follow = false) {
  if (name) {
    std::u16string device = platform::CommDeviceName(name);
    if (!device.empty()) return OpenCommDevice(device, access, share);
  }
  std::string path;
  if (!MapName(name, &path)) return INVALID_HANDLE_VALUE;
  if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  DWORD kinds = AccessKinds(access);
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) kinds |= kAccessDelete;
  if (disposition == TRUNCATE_EXISTING && !(kinds & kAccessWrite)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }

  struct stat st;
  bool exists = (no_follow ? lstat(path.c_str(), &st) : stat(path.c_str(), &st)) == 0;
  if (!exists && errno != ENOENT) {
    SetLastError(PathError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  if (exists && no_follow && S_ISLNK(st.st_mode)) {  // never through a link
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
  if (exists) {
    DWORD refusal = ERROR_SUCCESS;
    if (disposition == CREATE_NEW)
      refusal = ERROR_FILE_EXISTS;
    else if (S_ISDIR(st.st_mode) && (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || truncates))
      refusal = ERROR_ACCESS_DENIED;
    else if (!S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR) &&
             ((kinds & (kAccessWrite | kAccessDelete)) || truncates))
      refusal = ERROR_ACCESS_DENIED;  // the read-only attribute holds for root too
    if (refusal != ERROR_SUCCESS) {
      SetLastError(refusal);
      return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(st.st_mode)) return OpenFolderHandle(path, disposition, flags);
  } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
    SetLastError(PathError(ENOENT, path));
    return INVALID_HANDLE_VALUE;
  }

  int oflags = O_CLOEXEC | AccessModeOf(kinds);
  if ((access & FILE_APPEND_DATA) &&
      !(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA)))
    oflags |= O_APPEND;
  if (flags & FILE_FLAG_WRITE_THROUGH) oflags |= O_DSYNC;
  if (no_follow) oflags |= O_NOFOLLOW;  // a link planted after the check fails too

  bool created = false;
  int raw = -1;
  if (!exists) {
    mode_t mode = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    raw = open(path.c_str(), oflags | O_CREAT | O_EXCL, mode);
    if (raw >= 0) {
      created = true;
    } else if (errno != EEXIST || disposition == CREATE_NEW) {
      SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS
                   : errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                     : PathError(errno, path));
      return INVALID_HANDLE_VALUE;
    }
    // else: it appeared meanwhile; open it as an existing file below.
  }
  if (raw < 0) {
    raw = open(path.c_str(), oflags);
    if (raw < 0 && errno == EACCES && kinds == 0) raw = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (raw < 0) {
      SetLastError(PathError(errno, path));
      return INVALID_HANDLE_VALUE;
    }
  }
  UniqueFd fd(raw);

  struct stat opened;
  if (fstat(fd.get(), &opened) != 0) {
    SetLastError(PathError(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  if (S_ISDIR(opened.st_mode)) {  // replaced by a folder meanwhile
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }

  auto object = std::make_shared<FileObject>();
  object->path = path;
  object->regular = S_ISREG(opened.st_mode);
  if (!ShareOpen(object.get(), opened, kinds, share)) return INVALID_HANDLE_VALUE;
  object->fd = fd.release();
  if (!created && truncates && object->regular) {
    int r = (oflags & O_ACCMODE) == O_RDONLY ? truncate(path.c_str(), 0) : ftruncate(object->fd, 0);
    if (r != 0) {
      SetLastError(PathError(errno, path));
      return INVALID_HANDLE_VALUE;
    }
    if (flags & FILE_ATTRIBUTE_READONLY) fchmod(object->fd, opened.st_mode & 07555);
  }
  object->delete_on_close = (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0;
  HANDLE h = Publish(std::move(object));
  if (h == INVALID_HANDLE_VALUE) return h;
  bool replaced = !created && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
  SetLastError(replaced ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}

// ===========================================================================
// Copies
// ===========================================================================

// Copies the bytes of one descriptor to another from their current
// positions; returns 0 or an errno value.
int CopyBytes(int from, int to) {
  bool fast = true;
  std::vector<char> buffer;
  for (;;) {
    if (fast) {
      ssize_t n = copy_file_range(from, nullptr, to, nullptr, size_t{1} << 30, 0);
      if (n > 0) continue;
      if (n == 0) return 0;
      if (errno == EINTR) continue;
      if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP &&
          errno != EPERM)
        return errno;
      fast = false;
      buffer.resize(1 << 20);
    }
    ssize_t n = read(from, buffer.data(), buffer.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      done += w;
    }
  }
}

void SyncFolderOf(const std::string& path) {
  UniqueFd dir(open(ParentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) fsync(dir.get());
}

// Copies `from` to `to` through a temporary file in the target's folder
// that is renamed into place at the end. Returns ERROR_SUCCESS or the error;
// on failure nothing is left behind and an existing target is untouched.
DWORD CopyFilePaths(const std::string& from, const std::string& to, bool fail_if_exists,
                    bool write_through) {
  UniqueFd src(open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (src.get() < 0) return PathError(errno, from);
  struct stat sst;
  if (fstat(src.get(), &sst) != 0) return PathError(errno, from);
  if (S_ISDIR(sst.st_mode)) return ERROR_ACCESS_DENIED;
  // Another handle of this process that denies reading blocks the copy.
  {
    ShareRecord probe{kAccessRead, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
    if (!RegisterOpen(KeyOf(sst), &probe)) return ERROR_SHARING_VIOLATION;
    UnregisterOpen(KeyOf(sst), &probe);
  }

  struct stat dst;
  if (lstat(to.c_str(), &dst) == 0) {
    if (fail_if_exists) return ERROR_FILE_EXISTS;
    if (S_ISDIR(dst.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISLNK(dst.st_mode) && !(dst.st_mode & S_IWUSR)) return ERROR_ACCESS_DENIED;
    if (KeyOf(dst) == KeyOf(sst)) return ERROR_SHARING_VIOLATION;
    if (HeldWithout(KeyOf(dst), FILE_SHARE_WRITE)) return ERROR_SHARING_VIOLATION;
  } else if (errno != ENOENT) {
    return PathError(errno, to);
  }

  std::string temp = ParentOf(to) + "/.~wucopy.XXXXXX";
  UniqueFd out(mkostemp(temp.data(), O_CLOEXEC));
  if (out.get() < 0) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : PathError(errno, to);
  int err = CopyBytes(src.get(), out.get());
  if (err == 0 && fchmod(out.get(), sst.st_mode & 07777) != 0) err = errno;
  struct timespec times[2] = {sst.st_atim, sst.st_mtim};
  if (err == 0 && futimens(out.get(), times) != 0) err = errno;
  if (err == 0 && write_through && fsync(out.get()) != 0) err = errno;
  if (err == 0) {
    int r = fail_if_exists
                ? renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE)
                : rename(temp.c_str(), to.c_str());
    if (r != 0) err = errno;
  }
  if (err != 0) {
    unlink(temp.c_str());
    return err == EEXIST ? ERROR_FILE_EXISTS : PathError(err, to);
  }
  if (write_through) SyncFolderOf(to);
  return ERROR_SUCCESS;
}

DWORD MoveImpl(const std::string& from, const std::string& to, DWORD flags) {
  struct stat sst;
  if (lstat(from.c_str(), &sst) != 0) return PathError(errno, from);
  if (!S_ISDIR(sst.st_mode) && HeldWithout(KeyOf(sst), FILE_SHARE_DELETE))
    return ERROR_SHARING_VIOLATION;
  bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;

  struct stat dst;
  if (lstat(to.c_str(), &dst) == 0 && KeyOf(dst) != KeyOf(sst)) {
    if (!replace) return ERROR_ALREADY_EXISTS;
    if (S_ISDIR(dst.st_mode) || S_ISDIR(sst.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISLNK(dst.st_mode) && !(dst.st_mode & S_IWUSR)) return ERROR_ACCESS_DENIED;
    if (HeldWithout(KeyOf(dst), FILE_SHARE_DELETE)) return ERROR_SHARING_VIOLATION;
  }

  int r = replace ? rename(from.c_str(), to.c_str())
                  : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  if (r == 0) {
    if (flags & MOVEFILE_WRITE_THROUGH) SyncFolderOf(to);
    return ERROR_SUCCESS;
  }
  if (errno == EEXIST) return ERROR_ALREADY_EXISTS;
  if (errno != EXDEV) return PathError(errno, errno == ENOENT ? to : from);
  if (S_ISDIR(sst.st_mode) || !(flags & MOVEFILE_COPY_ALLOWED)) return ERROR_NOT_SAME_DEVICE;
  DWORD error = CopyFilePaths(from, to, !replace, (flags & MOVEFILE_WRITE_THROUGH) != 0);
  if (error != ERROR_SUCCESS) return error;
  // The copy is complete; a source that cannot be removed is reported, and
  // both files stay.
  if (unlink(from.c_str()) != 0) return PathError(errno, from);
  return ERROR_SUCCESS;
}

// ===========================================================================
// Folder searches
// ===========================================================================

struct FindState {
  std::vector<WIN32_FIND_DATAW> entries;  // matches in report order
  size_t next = 0;                        // entry FindNextFileW returns next
};

struct FindTable {
  std::mutex lock;                                            // guards both fields
  std::unordered_map<uintptr_t, std::unique_ptr<FindState>> searches;  // open searches
  uintptr_t next = uintptr_t{1} << 40;  // apart from kernel handles, never reused
};

FindTable& Finds() {
  static FindTable* table = new FindTable;  // lives to process exit
  return *table;
}

// Fills a find record; FALSE when the name does not fit.
bool FillFindData(std::u16string_view name, const Facts& facts, WIN32_FIND_DATAW* data) {
  if (name.size() >= MAX_PATH) return false;
  std::memset(data, 0, sizeof *data);
  data->dwFileAttributes = facts.attributes;
  data->ftCreationTime = facts.creation;
  data->ftLastAccessTime = facts.access;
  data->ftLastWriteTime = facts.write;
  SplitSize(facts.size, &data->nFileSizeHigh, &data->nFileSizeLow);
  std::copy(name.begin(), name.end(), data->cFileName);
  return true;
}

// Report order: "." and ".." first, then the UTF-8 bytes of the names.
int DotRank(std::string_view name) { return name == "." ? 0 : name == ".." ? 1 : 2; }

// Lists the matches of a wildcard pattern in a folder; returns
// ERROR_SUCCESS (possibly with no entries) or the error.
DWORD ListFolder(const std::string& folder, std::u16string_view pattern,
                 std::vector<WIN32_FIND_DATAW>* out) {
  DIR* dir = opendir(folder.c_str());
  if (!dir)
    return errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : PathError(errno, folder);
  std::vector<std::pair<std::string, WIN32_FIND_DATAW>> found;
  while (struct dirent* e = readdir(dir)) {
    std::string_view name8(e->d_name);
    std::u16string name = platform::ToUtf16(name8);
    if (!platform::MatchFileName(pattern, name)) continue;
    Facts facts;
    if (FactsAt(dirfd(dir), e->d_name, name8, &facts) != 0) continue;  // vanished meanwhile
    WIN32_FIND_DATAW data;
    if (FillFindData(name, facts, &data)) found.emplace_back(std::string(name8), data);
  }
  closedir(dir);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    int ra = DotRank(a.first), rb = DotRank(b.first);
    return ra != rb ? ra < rb : a.first < b.first;
  });
  out->reserve(found.size());
  for (auto& f : found) out->push_back(f.second);
  return ERROR_SUCCESS;
}

HANDLE FindFirstImpl(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  if (!pattern || !data) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::u16string_view text(pattern);
  size_t split = text.find_last_of(u"\\/");
  bool drive_only = text.size() >= 2 && IsLetter(text[0]) && text[1] == u':';
  if (split == std::u16string_view::npos && drive_only) split = 1;  // "X:name"
  std::u16string folder_text(split == std::u16string_view::npos ? u"." : text.substr(0, split + 1));
  std::u16string_view name = split == std::u16string_view::npos ? text : text.substr(split + 1);
  if (name.empty()) {
    SetLastError(text.empty() ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string folder;
  if (!MapName(folder_text.c_str(), &folder)) return INVALID_HANDLE_VALUE;

  auto state = std::make_unique<FindState>();
  if (HasWildcard(name)) {
    DWORD error = ListFolder(folder, name, &state->entries);
    if (error != ERROR_SUCCESS) {
      SetLastError(error);
      return INVALID_HANDLE_VALUE;
    }
  } else {
    std::string path = folder + (folder.back() == '/' ? "" : "/") + platform::ToUtf8(name);
    Facts facts;
    int err = FactsAt(AT_FDCWD, path.c_str(), LastName(path), &facts);
    if (err != 0) {
      SetLastError(PathError(err, path));
      return INVALID_HANDLE_VALUE;
    }
    WIN32_FIND_DATAW entry;
    if (FillFindData(name, facts, &entry)) state->entries.push_back(entry);
  }
  if (state->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *data = state->entries[0];
  state->next = 1;
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  uintptr_t value = t.next;
  t.next += 4;
  t.searches.emplace(value, std::move(state));
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(value);
}

// ===========================================================================
// Volumes
// ===========================================================================

// Maps a volume query's path; NULL means the current folder.
bool MapVolumePath(LPCWSTR path, std::string* out) {
  if (!path) {
    *out = ".";
    return true;
  }
  return MapName(path, out);
}

const char* FileSystemName(int64_t magic) {
  switch (static_cast<uint32_t>(magic)) {
    case 0xEF53: return "ext4";  // ext2, ext3 and ext4 share this number
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlay";
    case 0x6969: return "nfs";
    case 0xFF534D42: return "cifs";
    case 0xFE534D42: return "smb2";
    case 0x4D44: return "vfat";
    case 0x2011BAB0: return "exfat";
    case 0x5346544E: return "ntfs";
    case 0x65735546: return "fuse";
    case 0x2FC12FC1: return "zfs";
    case 0xF2F52010: return "f2fs";
    case 0x858458F6: return "ramfs";
    case 0x01021997: return "9p";
    case 0x73717368: return "squashfs";
    case 0x9660: return "iso9660";
    case 0x9FA0: return "proc";
    case 0x62656572: return "sysfs";
    default: return nullptr;
  }
}

}  // namespace

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
// Open files
// ===========================================================================

HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share_mode, void* security,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE template_file) {
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] {
    return CreateFileImpl(name, access, share_mode, disposition, flags_and_attributes);
  });
}

HANDLE platform::CreateFileNoFollow(LPCWSTR name, DWORD access, DWORD share_mode,
                                    DWORD disposition, DWORD flags_and_attributes) {
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] {
    return CreateFileImpl(name, access, share_mode, disposition, flags_and_attributes, true);
  });
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read_count,
              LPOVERLAPPED overlapped) {
  if (read_count) *read_count = 0;
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!buffer && count) return Fail(ERROR_INVALID_PARAMETER);
  if (f->is_folder) return Fail(ERROR_INVALID_FUNCTION);
  if (!(f->record.kinds & kAccessRead)) return Fail(ERROR_ACCESS_DENIED);
  off_t offset = 0;
  if (overlapped && !OffsetOf(overlapped, &offset)) return Fail(ERROR_INVALID_PARAMETER);
  char* p = static_cast<char*>(buffer);
  size_t done = 0;
  while (done < count) {
    size_t chunk = std::min<size_t>(count - done, size_t{1} << 30);
    ssize_t n = overlapped ? pread(f->fd, p + done, chunk, offset + static_cast<off_t>(done))
                           : read(f->fd, p + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (read_count) *read_count = static_cast<DWORD>(done);
      return Fail(errno == EISDIR ? ERROR_INVALID_FUNCTION : PathError(errno, f->path));
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
    if (!f->regular) break;  // pipes and devices return what they have
  }
  if (read_count) *read_count = static_cast<DWORD>(done);
  if (overlapped) {
    std::lock_guard<std::mutex> guard(f->pointer_lock);
    lseek(f->fd, offset + static_cast<off_t>(done), SEEK_SET);
    // A positioned read that starts at or past the end reports it.
    if (done == 0 && count > 0 && f->regular) return Fail(ERROR_HANDLE_EOF);
  }
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written,
               LPOVERLAPPED overlapped) {
  if (written) *written = 0;
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!buffer && count) return Fail(ERROR_INVALID_PARAMETER);
  if (f->is_folder) return Fail(ERROR_INVALID_FUNCTION);
  if (!(f->record.kinds & kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  off_t offset = 0;
  if (overlapped && !OffsetOf(overlapped, &offset)) return Fail(ERROR_INVALID_PARAMETER);
  const char* p = static_cast<const char*>(buffer);
  size_t done = 0;
  while (done < count) {
    size_t chunk = std::min<size_t>(count - done, size_t{1} << 30);
    ssize_t n = overlapped ? pwrite(f->fd, p + done, chunk, offset + static_cast<off_t>(done))
                           : write(f->fd, p + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (written) *written = static_cast<DWORD>(done);
      return Fail(PathError(errno, f->path));
    }
    done += static_cast<size_t>(n);
  }
  if (written) *written = static_cast<DWORD>(done);
  if (overlapped) {
    std::lock_guard<std::mutex> guard(f->pointer_lock);
    lseek(f->fd, offset + static_cast<off_t>(done), SEEK_SET);
  }
  return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance_low, PLONG distance_high, DWORD method) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return INVALID_SET_FILE_POINTER;
  LONGLONG distance = distance_high
                          ? static_cast<LONGLONG>(
                                (static_cast<ULONGLONG>(static_cast<DWORD>(*distance_high)) << 32) |
                                static_cast<DWORD>(distance_low))
                          : static_cast<LONGLONG>(distance_low);
  // Without a high half the caller can only receive a 32-bit position.
  LONGLONG limit = distance_high ? INT64_MAX : LONGLONG{0xFFFFFFFF};
  LONGLONG position = 0;
  DWORD error = MovePointer(*f, distance, method, limit, &position);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return INVALID_SET_FILE_POINTER;
  }
  if (distance_high) *distance_high = static_cast<LONG>(position >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* new_position,
                      DWORD method) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  LONGLONG position = 0;
  DWORD error = MovePointer(*f, distance.QuadPart, method, INT64_MAX, &position);
  if (error != ERROR_SUCCESS) return Fail(error);
  if (new_position) new_position->QuadPart = position;
  return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!size) return Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (fstat(f->fd, &st) != 0) return Fail(PathError(errno, f->path));
  size->QuadPart = S_ISDIR(st.st_mode) ? 0 : st.st_size;
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD size_high) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return INVALID_FILE_SIZE;
  if (size_high) *size_high = static_cast<DWORD>(size.QuadPart >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size.QuadPart);
}

BOOL SetEndOfFile(HANDLE file) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!(f->record.kinds & kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  std::lock_guard<std::mutex> guard(f->pointer_lock);
  off_t position = lseek(f->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(f->fd, position) != 0) return Fail(PathError(errno, f->path));
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!(f->record.kinds & kAccessWrite)) return Fail(ERROR_ACCESS_DENIED);
  if (fsync(f->fd) != 0 && f->regular) return Fail(PathError(errno, f->path));
  return TRUE;
}

BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* last_access, FILETIME* last_write) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  struct statx sx;
  if (statx(f->fd, "", AT_EMPTY_PATH, kStatxMask, &sx) != 0) return Fail(PathError(errno, f->path));
  Facts facts;
  FillFacts(sx, false, LastName(f->path), &facts);
  if (creation) *creation = facts.creation;
  if (last_access) *last_access = facts.access;
  if (last_write) *last_write = facts.write;
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* last_access,
                 const FILETIME* last_write) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  auto to_timespec = [](const FILETIME* ft) {
    struct timespec ts {0, UTIME_OMIT};
    // NULL, zero and all-ones times leave the value as it is.
    if (!ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
        (ft->dwLowDateTime == 0xFFFFFFFF && ft->dwHighDateTime == 0xFFFFFFFF))
      return ts;
    LONGLONG seconds = 0, nanoseconds = 0;
    platform::FileTimeToUnix(*ft, &seconds, &nanoseconds);
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<decltype(ts.tv_nsec)>(nanoseconds);
    return ts;
  };
  struct timespec times[2] = {to_timespec(last_access), to_timespec(last_write)};
  if (futimens(f->fd, times) != 0) return Fail(PathError(errno, f->path));
  return TRUE;
}

DWORD GetFileType(HANDLE file) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FILE_TYPE_UNKNOWN;
  struct stat st;
  if (fstat(f->fd, &st) != 0) {
    SetLastError(PathError(errno, f->path));
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(ERROR_SUCCESS);
  if (S_ISCHR(st.st_mode) || !f->device.empty()) return FILE_TYPE_CHAR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_DISK;
}

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  std::shared_ptr<FileObject> f = GetFile(file);
  if (!f) return FALSE;
  if (!info) return Fail(ERROR_INVALID_PARAMETER);
  struct statx sx;
  if (statx(f->fd, "", AT_EMPTY_PATH, kStatxMask, &sx) != 0) return Fail(PathError(errno, f->path));
  Facts facts;
  FillFacts(sx, false, LastName(f->path), &facts);
  std::memset(info, 0, sizeof *info);
  info->dwFileAttributes = facts.attributes;
  info->ftCreationTime = facts.creation;
  info->ftLastAccessTime = facts.access;
  info->ftLastWriteTime = facts.write;
  info->dwVolumeSerialNumber = static_cast<DWORD>(facts.device ^ (facts.device >> 32));
  SplitSize(facts.size, &info->nFileSizeHigh, &info->nFileSizeLow);
  info->nNumberOfLinks = facts.links;
  info->nFileIndexHigh = static_cast<DWORD>(facts.inode >> 32);
  info->nFileIndexLow = static_cast<DWORD>(facts.inode);
  return TRUE;
}

// ===========================================================================
// Names in folders
// ===========================================================================

DWORD GetFileAttributesW(LPCWSTR name) {
  return Guarded<DWORD>(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
    std::string path;
    if (!MapName(name, &path)) return INVALID_FILE_ATTRIBUTES;
    Facts facts;
    int err = FactsOfPath(path, &facts);
    if (err != 0) {
      SetLastError(PathError(err, path));
      return INVALID_FILE_ATTRIBUTES;
    }
    return facts.attributes;
  });
}

BOOL GetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (level != GetFileExInfoStandard || !info) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!MapName(name, &path)) return FALSE;
    Facts facts;
    int err = FactsOfPath(path, &facts);
    if (err != 0) return Fail(PathError(err, path));
    auto* data = static_cast<WIN32_FILE_ATTRIBUTE_DATA*>(info);
    data->dwFileAttributes = facts.attributes;
    data->ftCreationTime = facts.creation;
    data->ftLastAccessTime = facts.access;
    data->ftLastWriteTime = facts.write;
    SplitSize(facts.size, &data->nFileSizeHigh, &data->nFileSizeLow);
    return TRUE;
  });
}

BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!MapName(name, &path)) return FALSE;
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return Fail(PathError(errno, path));
    mode_t mode = st.st_mode & 07777;
    if (attributes & FILE_ATTRIBUTE_READONLY)
      mode &= ~static_cast<mode_t>(0222);
    else if (!(mode & S_IWUSR))
      mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && chmod(path.c_str(), mode) != 0)
      return Fail(PathError(errno, path));
    return TRUE;
  });
}

BOOL CreateDirectoryW(LPCWSTR name, void* security) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!MapName(name, &path)) return FALSE;
    if (mkdir(path.c_str(), 0777) == 0) return TRUE;
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT || errno == ENOTDIR) return Fail(ERROR_PATH_NOT_FOUND);
    return Fail(PathError(errno, path));
  });
}

BOOL RemoveDirectoryW(LPCWSTR name) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!MapName(name, &path)) return FALSE;
    while (path.size() > 1 && path.back() == '/') path.pop_back();  // so lstat sees a link
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return Fail(PathError(errno, path));
    if (S_ISLNK(st.st_mode)) {
      // A link to a folder goes away itself; its target is not touched.
      if (!IsFolder(path)) return Fail(ERROR_DIRECTORY);
      if (unlink(path.c_str()) != 0) return Fail(PathError(errno, path));
      return TRUE;
    }
    if (!S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
    if (!(st.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED);
    if (rmdir(path.c_str()) == 0) return TRUE;
    if (errno == ENOTEMPTY || errno == EEXIST) return Fail(ERROR_DIR_NOT_EMPTY);
    return Fail(PathError(errno, path));
  });
}

BOOL DeleteFileW(LPCWSTR name) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string path;
    if (!MapName(name, &path)) return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return Fail(PathError(errno, path));
    if (S_ISDIR(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return Fail(ERROR_ACCESS_DENIED);
    if (HeldWithout(KeyOf(st), FILE_SHARE_DELETE)) return Fail(ERROR_SHARING_VIOLATION);
    if (unlink(path.c_str()) != 0) return Fail(PathError(errno, path));
    return TRUE;
  });
}

BOOL MoveFileW(LPCWSTR existing, LPCWSTR target) {
  return MoveFileExW(existing, target, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
  if (flags & MOVEFILE_DELAY_UNTIL_REBOOT) return Fail(ERROR_NOT_SUPPORTED);
  if (!target) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string from, to;
    if (!MapName(existing, &from) || !MapName(target, &to)) return FALSE;
    DWORD error = MoveImpl(from, to, flags);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  });
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL fail_if_exists) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string from, to;
    if (!MapName(existing, &from) || !MapName(target, &to)) return FALSE;
    DWORD error = CopyFilePaths(from, to, fail_if_exists != FALSE, false);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  });
}

// ===========================================================================
// Folder searches
// ===========================================================================

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data) {
  return Guarded<HANDLE>(INVALID_HANDLE_VALUE, [&] { return FindFirstImpl(pattern, data); });
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data) {
  if (!data) return Fail(ERROR_INVALID_PARAMETER);
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.searches.find(reinterpret_cast<uintptr_t>(find));
  if (it == t.searches.end()) return Fail(ERROR_INVALID_HANDLE);
  FindState& state = *it->second;
  if (state.next >= state.entries.size()) return Fail(ERROR_NO_MORE_FILES);
  *data = state.entries[state.next++];
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  std::unique_ptr<FindState> state;
  FindTable& t = Finds();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.searches.find(reinterpret_cast<uintptr_t>(find));
  if (it == t.searches.end()) return Fail(ERROR_INVALID_HANDLE);
  state = std::move(it->second);
  t.searches.erase(it);
  return TRUE;
}

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
// Drives and volumes
// ===========================================================================

BOOL GetDiskFreeSpaceExW(LPCWSTR path, ULARGE_INTEGER* free_to_caller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* total_free) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string linux_path;
    if (!MapVolumePath(path, &linux_path)) return FALSE;
    struct statfs fs;
    if (statfs(linux_path.c_str(), &fs) != 0) return Fail(PathError(errno, linux_path));
    ULONGLONG unit = static_cast<ULONGLONG>(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
    if (free_to_caller) free_to_caller->QuadPart = fs.f_bavail * unit;
    if (total) total->QuadPart = fs.f_blocks * unit;
    if (total_free) total_free->QuadPart = fs.f_bfree * unit;
    return TRUE;
  });
}

BOOL GetDiskFreeSpaceW(LPCWSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector,
                       LPDWORD free_clusters, LPDWORD total_clusters) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string linux_path;
    if (!MapVolumePath(root, &linux_path)) return FALSE;
    struct statfs fs;
    if (statfs(linux_path.c_str(), &fs) != 0) return Fail(PathError(errno, linux_path));
    ULONGLONG unit = static_cast<ULONGLONG>(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
    ULONGLONG sectors = std::max<ULONGLONG>(1, unit / 512);
    ULONGLONG cluster = sectors * 512;
    auto cap = [](ULONGLONG v) { return static_cast<DWORD>(std::min<ULONGLONG>(v, 0xFFFFFFFF)); };
    if (sectors_per_cluster) *sectors_per_cluster = static_cast<DWORD>(sectors);
    if (bytes_per_sector) *bytes_per_sector = 512;
    if (free_clusters) *free_clusters = cap(fs.f_bavail * unit / cluster);
    if (total_clusters) *total_clusters = cap(fs.f_blocks * unit / cluster);
    return TRUE;
  });
}

BOOL GetVolumeInformationW(LPCWSTR root, LPWSTR volume_name, DWORD volume_name_size,
                           LPDWORD serial_number, LPDWORD max_component_length,
                           LPDWORD file_system_flags, LPWSTR file_system_name,
                           DWORD file_system_name_size) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string linux_path;
    if (!MapVolumePath(root, &linux_path)) return FALSE;
    struct statfs fs;
    if (statfs(linux_path.c_str(), &fs) != 0) return Fail(PathError(errno, linux_path));
    const char* known = FileSystemName(static_cast<int64_t>(fs.f_type));
    char unknown[16];
    if (!known) {
      snprintf(unknown, sizeof unknown, "0x%08x", static_cast<unsigned>(fs.f_type));
      known = unknown;
    }
    std::u16string fs_name = platform::ToUtf16(known);
    if (volume_name && volume_name_size < 1) return Fail(ERROR_BAD_LENGTH);
    if (file_system_name && file_system_name_size < fs_name.size() + 1)
      return Fail(ERROR_BAD_LENGTH);
    if (volume_name) volume_name[0] = 0;
    if (file_system_name) CopyOut(fs_name, file_system_name, file_system_name_size);
    if (serial_number) {
      int32_t id[2];
      static_assert(sizeof(fs.f_fsid) == sizeof id);
      std::memcpy(id, &fs.f_fsid, sizeof id);
      *serial_number = static_cast<DWORD>(id[0]) ^ static_cast<DWORD>(id[1]);
    }
    if (max_component_length) *max_component_length = static_cast<DWORD>(fs.f_namelen);
    if (file_system_flags) {
      DWORD flags = FILE_CASE_SENSITIVE_SEARCH | FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
      if (fs.f_flags & ST_RDONLY) flags |= FILE_READ_ONLY_VOLUME;
      *file_system_flags = flags;
    }
    return TRUE;
  });
}

UINT GetDriveTypeW(LPCWSTR root) {
  return Guarded<UINT>(DRIVE_UNKNOWN, [&]() -> UINT {
    if (!root) return IsFolder(".") ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
    ParsedPath pp;
    if (!*root || ParsePath(root, &pp) != ERROR_SUCCESS) return DRIVE_NO_ROOT_DIR;
    if (!IsFolder(LinuxFromParsed(pp))) return DRIVE_NO_ROOT_DIR;
    return pp.root == RootKind::kUnc ? DRIVE_REMOTE : DRIVE_FIXED;
  });
}
