// Copying, moving and deleting files, and the names in folders.
#include "platform/kernel/files.h"

#include "platform/kernel/filemode.h"
#include "platform/kernel/files_internal.h"

inline namespace files_internal {

// ===========================================================================
// Final links
// ===========================================================================

int ReadLinkText(const std::string& path, std::string* text) {
  std::string buffer(256, '\0');
  for (;;) {
    ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      *text = std::move(buffer);
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string RealPathOf(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return std::string();
  std::string real(resolved);
  free(resolved);
  return real;
}

namespace {

bool HasDotDot(const std::string& path) {
  for (size_t at = path.find(".."); at != std::string::npos; at = path.find("..", at + 1)) {
    bool starts = at == 0 || path[at - 1] == '/';
    bool ends = at + 2 == path.size() || path[at + 2] == '/';
    if (starts && ends) return true;
  }
  return false;
}

}  // namespace

int FollowFinalLinks(std::string* path) {
  // As many links as the kernel follows in one path before it gives up.
  constexpr int kMaxLinks = 40;
  bool followed = false;
  for (int hops = 0;; ++hops) {
    struct stat st;
    if (lstat(path->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    if (hops == kMaxLinks) return ELOOP;
    std::string text;
    if (int err = ReadLinkText(*path, &text)) return err;
    if (text.empty()) return ENOENT;
    if (text[0] == '/') {
      *path = std::move(text);
    } else {
      size_t slash = path->rfind('/');
      *path = slash == std::string::npos ? text : path->substr(0, slash + 1) + text;
    }
    followed = true;
  }
  if (!followed || !HasDotDot(*path)) return 0;
  // "a/link/../x" means the folder above where a/link leads: settle it
  // here, while the folders are there to ask.
  std::string name(LastName(*path));
  if (name == "." || name == "..") return 0;
  std::string folder = RealPathOf(ParentOf(*path));
  if (folder.empty()) return errno == ENOENT || errno == ENOTDIR ? ENOENT : errno;
  *path = folder == "/" ? "/" + name : folder + "/" + name;
  return 0;
}

std::u16string LibraryPathOf(std::string path) {
  if (path.find('\\') != std::string::npos) return std::u16string();
  while (path.size() > 1 && path[0] == '/' && path[1] == '/') path.erase(0, 1);
  if (path.size() >= 2 && path[1] == ':' && IsLetter(static_cast<unsigned char>(path[0])))
    path.insert(0, "./");
  return platform::FromLinuxPath(path);
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

}  // namespace files_internal
// Names in folders
// ===========================================================================

DWORD GetFileAttributesW(LPCWSTR name) {
  return Guarded<DWORD>(INVALID_FILE_ATTRIBUTES, [&]() -> DWORD {
    std::string path;
    if (!MapLastName(name, &path)) return INVALID_FILE_ATTRIBUTES;
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
    if (!MapLastName(name, &path)) return FALSE;
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
    if (!MapLastName(name, &path)) return FALSE;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return Fail(PathError(errno, path));
    if (S_ISLNK(st.st_mode)) {
      // A link has no attributes of its own to change here (it is never
      // read-only), and its target is not changed through it.
      return (attributes & FILE_ATTRIBUTE_READONLY) ? Fail(ERROR_ACCESS_DENIED) : TRUE;
    }
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
    if (!MapLastName(name, &path)) return FALSE;
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
    if (!MapLastName(name, &path)) return FALSE;
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
    // A link named as the source moves itself, with or without a separator.
    if (!MapLastName(existing, &from) || !MapName(target, &to)) return FALSE;
    DWORD error = MoveImpl(from, to, flags);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  });
}

BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL fail_if_exists) {
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string from, to;
    if (!MapName(existing, &from) || !MapName(target, &to)) return FALSE;
    // A link at the target stays and the file it names gets the copy, as
    // opening the target for writing would. With `fail_if_exists` the
    // link itself is there already.
    if (!fail_if_exists) {
      int err = FollowFinalLinks(&to);
      if (err != 0) return Fail(err == ELOOP ? ERROR_CANT_RESOLVE_FILENAME : PathError(err, to));
    }
    DWORD error = CopyFilePaths(from, to, fail_if_exists != FALSE, false);
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
  });
}

// ===========================================================================

namespace platform {

BOOL WriteFileReplacing(LPCWSTR target, LPCVOID bytes, DWORD size, bool replace, LPCWSTR prefix) {
  if (!target || !*target || (!bytes && size)) return Fail(ERROR_INVALID_PARAMETER);
  return Guarded<BOOL>(FALSE, [&]() -> BOOL {
    std::string name;
    if (!MapName(target, &name)) return FALSE;
    // Without `replace` anything at the name refuses, a link included (as
    // CREATE_NEW refuses it).
    struct stat st;
    if (!replace && lstat(WithoutTrailingSlashes(name).c_str(), &st) == 0)
      return Fail(ERROR_FILE_EXISTS);
    // A link at the name stays: the file it names takes the new bytes.
    std::u16string file;
    if (!GetReplacedFileName(target, &file)) return FALSE;
    // The new file is named after the one it replaces with its dots made
    // '_', so that searches for the file's kind ("*.png") do not see it
    // while it is written.
    size_t slash = file.rfind(u'/');
    std::u16string beside = slash == std::u16string::npos ? u"./" : file.substr(0, slash + 1);
    for (size_t i = slash == std::u16string::npos ? 0 : slash + 1; i < file.size(); ++i)
      beside += file[i] == u'.' ? u'_' : file[i];
    // The new bytes are readable by nobody else until they have the
    // replaced file's permission bits, just before they take its place.
    std::u16string work;
    HANDLE handle = CreatePrivateFileBeside(beside.c_str(), prefix, &work, GENERIC_WRITE);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD error = GetLastError();
      return Fail(error == ERROR_PATH_NOT_FOUND ? ERROR_DIRECTORY : error);
    }
    DWORD error = ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(handle, bytes, size, &written, nullptr) || !FlushFileBuffers(handle))
      error = GetLastError();
    else if (written != size)
      error = ERROR_WRITE_FAULT;
    else if (!SetFileModeLike(handle, file.c_str()))
      error = GetLastError();
    CloseHandle(handle);
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(work.c_str(), file.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) {
      error = GetLastError();
      if (error == ERROR_ALREADY_EXISTS) error = ERROR_FILE_EXISTS;
    }
    if (error == ERROR_SUCCESS) return TRUE;
    SetFileAttributesW(work.c_str(), FILE_ATTRIBUTE_NORMAL);  // it may have a read-only target's bits
    DeleteFileW(work.c_str());
    return Fail(error);
  });
}

}  // namespace platform
