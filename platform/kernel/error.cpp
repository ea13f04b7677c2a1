#include "platform/kernel/error.h"

#include <cerrno>

namespace {
thread_local DWORD t_last_error = ERROR_SUCCESS;
}

DWORD GetLastError() { return t_last_error; }
void SetLastError(DWORD error) { t_last_error = error; }

namespace platform {

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EAGAIN: return ERROR_LOCK_VIOLATION;
    case EPIPE: return ERROR_BROKEN_PIPE;
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case ETIMEDOUT: return ERROR_TIMEOUT;
    case EFAULT: return ERROR_NOACCESS;
    case ELOOP: return ERROR_BAD_PATHNAME;
    case ENOEXEC: return ERROR_BAD_EXE_FORMAT;
    case EIO: return ERROR_GEN_FAILURE;
    case ECANCELED: return ERROR_CANCELLED;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD SetLastErrorFromErrno() { return SetLastErrorFromErrno(errno); }

DWORD SetLastErrorFromErrno(int err) {
  DWORD e = ErrorFromErrno(err);
  SetLastError(e);
  return e;
}

}  // namespace platform
