// File objects: facts of a file, share modes between handles, the open
// files and their reads, writes, positions and times.
#include "platform/kernel/files.h"

#include <signal.h>

#include "platform/kernel/files_internal.h"

inline namespace files_internal {

namespace {

// A write past the process's file-size limit (a shell's "ulimit -f") fails
// with EFBIG, as a write to a full disk fails, instead of ending the
// process with SIGXFSZ: every writer then takes its failure path, which
// leaves the old file whole and removes its work file. Set once when the
// program starts; a handler or an ignore of the program's own is kept.
// Child processes start with the default actions again (process.cpp).
[[maybe_unused]] const bool g_file_size_signal_ignored = [] {
  struct sigaction old;
  if (sigaction(SIGXFSZ, nullptr, &old) != 0) return false;
  if (!(old.sa_flags & SA_SIGINFO) && old.sa_handler == SIG_DFL) signal(SIGXFSZ, SIG_IGN);
  return true;
}();

}  // namespace

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

DWORD AccessKinds(DWORD access) {
  DWORD kinds = 0;
  if (access & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | FILE_READ_DATA | kExecuteRight))
    kinds |= kAccessRead;
  if (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA))
    kinds |= kAccessWrite;
  if (access & (GENERIC_ALL | kDeleteRight)) kinds |= kAccessDelete;
  return kinds;
}

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
                      bool no_follow) {
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
  // Without following: a final link is seen as one also when the name ends
  // in a separator.
  bool exists = (no_follow ? lstat(WithoutTrailingSlashes(path).c_str(), &st)
                           : stat(path.c_str(), &st)) == 0;
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

}  // namespace files_internal
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
