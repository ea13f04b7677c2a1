// What the files of the file layer share: small tools, the drive map, path
// parsing, file facts, share modes, the file objects, copies, folder
// searches and volumes. Internal to platform/kernel/: callers include
// platform/kernel/files.h.
#pragma once

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
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/state.h"
#include "platform/kernel/time.h"

inline namespace files_internal {

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
BOOL Fail(DWORD error);

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

inline bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }
inline bool IsLetter(WCHAR c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
inline WCHAR UpperAscii(WCHAR c) { return (c >= u'a' && c <= u'z') ? static_cast<WCHAR>(c - 32) : c; }

// The last name of a Linux path ("" for "/").
std::string_view LastName(std::string_view path);

// The folder that holds a Linux path ("." for a bare name).
std::string ParentOf(std::string_view path);

// A Linux path without the '/' it ends in ("/" stays): a call on it sees a
// final symbolic link as the link, where Linux follows it when the path
// ends in '/'.
std::string WithoutTrailingSlashes(std::string path);

bool IsFolder(const std::string& path);

// Follows every final symbolic link of a Linux path in place: a relative
// link's text is read from the link's own folder, and a dangling link gives
// the name it points to. ".." that a link's text brought in is settled
// against the folders as they are (the library's mapping folds ".." by the
// text alone). Returns 0, or ELOOP for a loop of links, or the errno of a
// link that cannot be read.
int FollowFinalLinks(std::string* path);

// The text of the symbolic link `path`, of any length; 0 or errno.
int ReadLinkText(const std::string& path, std::string* text);

// `path` as it lies on disk, every link on the way resolved (realpath);
// empty with errno set when some part of it cannot be resolved.
std::string RealPathOf(const std::string& path);

// The library path that maps back to the Linux path `path` exactly: a
// leading "//" becomes "/" (it would read as a UNC root) and a relative
// path whose first name looks like a drive ("C:x") gets "./" before it.
// Empty for a path the library cannot name (a '\' inside a name).
std::u16string LibraryPathOf(std::string path);

// The Win32 error for a failed call on a path. A missing name is
// ERROR_FILE_NOT_FOUND when its folder exists and ERROR_PATH_NOT_FOUND when
// the folder is missing too, as the platform tells them apart.
DWORD PathError(int err, const std::string& path);

// Copies a text into a caller's buffer the platform's way: the length
// without terminator when it fits, else the size needed with terminator
// (buffer untouched).
DWORD CopyOut(std::u16string_view text, LPWSTR buffer, DWORD size);

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

DriveTable& Drives();
std::string Trim(std::string_view s);

// A folder as the map keeps it: absolute, no trailing '/' except for "/".
std::string CleanRoot(std::string folder);

void RefreshDrivesLocked(DriveTable& t);

// Writes the whole map through a temporary file so readers never see half
// of it.
bool WriteDrivesLocked(DriveTable& t);

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
DWORD ParsePath(std::u16string_view p, ParsedPath* out);

std::string LowerUtf8(std::u16string_view text);

// The Linux path of a parsed library path.
std::string LinuxFromParsed(const ParsedPath& pp);

bool HasWildcard(std::u16string_view text);

// Maps a name passed to an API function. FALSE with the last error set for
// a NULL, empty, malformed or wildcard name.
bool MapName(LPCWSTR name, std::string* out);

// Maps a name for a call that acts on the last component itself and never
// through a symbolic link there (attribute queries and changes, deletions,
// the source of a move): MapName without the separators the name ends in,
// so that a final link is seen as a link with or without them. A name that
// ends in a separator must still be a folder or a link to one: a file,
// or a link that leads to no folder (a dangling one included), named so
// fails with ERROR_PATH_NOT_FOUND.
bool MapLastName(LPCWSTR name, std::string* out);

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

bool IsHiddenName(std::string_view name);
DWORD AttributesOf(mode_t mode, bool link, std::string_view name);
FILETIME ToFileTime(const struct statx_timestamp& t);
void FillFacts(const struct statx& sx, bool link, std::string_view name, Facts* f);
constexpr unsigned kStatxMask = STATX_BASIC_STATS | STATX_BTIME;

// Facts of a name (relative to `dir`, or AT_FDCWD). A symbolic link gives
// the facts of its target plus FILE_ATTRIBUTE_REPARSE_POINT (the link's own
// when the target is missing). Returns 0 or an errno value.
int FactsAt(int dir, const char* path, std::string_view name, Facts* f);

int FactsOfPath(const std::string& path, Facts* f);
void SplitSize(ULONGLONG size, DWORD* high, DWORD* low);

// ===========================================================================
// Share modes between the handles of this process
// ===========================================================================

// Access kinds that share modes govern.
constexpr DWORD kAccessRead = 1;

constexpr DWORD kAccessWrite = 2;
constexpr DWORD kAccessDelete = 4;
constexpr DWORD kDeleteRight = 0x00010000;   // the standard DELETE right
constexpr DWORD kExecuteRight = 0x00000020;  // FILE_EXECUTE
DWORD AccessKinds(DWORD access);
using FileKey = std::pair<uint64_t, uint64_t>;  // device, inode

struct ShareRecord {
  DWORD kinds;  // kAccess* the handle holds
  DWORD share;  // FILE_SHARE_* it allows others
};

struct ShareTable {
  std::mutex lock;                                      // guards `open`
  std::multimap<FileKey, const ShareRecord*> open;      // every registered open
};

ShareTable& Shares();

// Can an open with `kinds`/`share` coexist with an existing one?
bool Compatible(const ShareRecord& held, DWORD kinds, DWORD share);

// Enters an open in the table; FALSE when an existing handle forbids it.
bool RegisterOpen(const FileKey& key, const ShareRecord* record);

void UnregisterOpen(const FileKey& key, const ShareRecord* record);

// TRUE when some handle of the file does not share `share_flag` (deleting
// or renaming needs FILE_SHARE_DELETE, overwriting FILE_SHARE_WRITE).
bool HeldWithout(const FileKey& key, DWORD share_flag);

FileKey KeyOf(const struct stat& st);

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

std::shared_ptr<FileObject> GetFile(HANDLE h);

// The position of an OVERLAPPED record; FALSE when it is out of range.
bool OffsetOf(const OVERLAPPED* ov, off_t* offset);

// Moves the file pointer; returns ERROR_SUCCESS or the error. `limit` is
// the largest position allowed.
DWORD MovePointer(FileObject& f, LONGLONG distance, DWORD method, LONGLONG limit,
                  LONGLONG* position);

// The descriptor's access mode for the access kinds an open asks for.
int AccessModeOf(DWORD kinds);

// Gives a new file object the identity of the opened file `st` and its
// open's access kinds and share mode, and enters them in the share table;
// false (ERROR_SHARING_VIOLATION) when an open handle forbids them.
bool ShareOpen(FileObject* object, const struct stat& st, DWORD kinds, DWORD share);

// Hands a ready object to the handle table.
HANDLE Publish(std::shared_ptr<FileObject> object);

HANDLE OpenFolderHandle(const std::string& path, DWORD disposition, DWORD flags);

// Opens a serial device: the file it is mapped to, created when missing and
// written at its end (platform/kernel/comm.h).
HANDLE OpenCommDevice(const std::u16string& device, DWORD access, DWORD share);

HANDLE CreateFileImpl(LPCWSTR name, DWORD access, DWORD share, DWORD disposition, DWORD flags,
                      bool no_follow = false);

// ===========================================================================
// Copies
// ===========================================================================

// Copies the bytes of one descriptor to another from their current
// positions; returns 0 or an errno value.
int CopyBytes(int from, int to);

void SyncFolderOf(const std::string& path);

// Copies `from` to `to` through a temporary file in the target's folder
// that is renamed into place at the end. Returns ERROR_SUCCESS or the error;
// on failure nothing is left behind and an existing target is untouched.
DWORD CopyFilePaths(const std::string& from, const std::string& to, bool fail_if_exists,
                    bool write_through);

DWORD MoveImpl(const std::string& from, const std::string& to, DWORD flags);

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

FindTable& Finds();

// Fills a find record; FALSE when the name does not fit.
bool FillFindData(std::u16string_view name, const Facts& facts, WIN32_FIND_DATAW* data);

// Report order: "." and ".." first, then the UTF-8 bytes of the names.
inline int DotRank(std::string_view name) { return name == "." ? 0 : name == ".." ? 1 : 2; }

// Lists the matches of a wildcard pattern in a folder; returns
// ERROR_SUCCESS (possibly with no entries) or the error.
DWORD ListFolder(const std::string& folder, std::u16string_view pattern,
                 std::vector<WIN32_FIND_DATAW>* out);

HANDLE FindFirstImpl(LPCWSTR pattern, LPWIN32_FIND_DATAW data);

// ===========================================================================
// Volumes
// ===========================================================================

// Maps a volume query's path; NULL means the current folder.
bool MapVolumePath(LPCWSTR path, std::string* out);

const char* FileSystemName(int64_t magic);

}  // namespace files_internal
