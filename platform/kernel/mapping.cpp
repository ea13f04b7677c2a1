// File mappings, views, cross-process mapping handles and the memory of
// other processes.
#include "platform/kernel/mapping.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"

namespace platform {

namespace {

// What a mapping handle stands for.
class MappingObject : public KernelObject {
 public:
  ~MappingObject() override {
    if (fd >= 0) close(fd);
  }

  int fd = -1;                // memfd or a duplicate of the file's descriptor
  ULONGLONG size = 0;         // bytes a view may cover
  bool writable = false;      // PAGE_READWRITE: shared writable views allowed
  std::u16string name;        // "" when unnamed
};

// Named mappings of this process and the views it has mapped.
struct MappingTables {
  std::mutex lock;                                              // guards both maps
  std::map<std::u16string, std::weak_ptr<MappingObject>> names;  // by name
  std::map<uintptr_t, size_t> views;                            // base -> length
};

MappingTables& Tables() {
  static MappingTables* tables = new MappingTables;  // lives to process exit
  return *tables;
}

// The memfd name that makes a page-file mapping findable by its handle.
std::string MemfdName(HANDLE handle) {
  char text[48];
  std::snprintf(text, sizeof(text), "wu-mapping-%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(handle)));
  return text;
}

HANDLE FailNull(DWORD error) {
  SetLastError(error);
  return nullptr;
}

bool ValidProtect(DWORD protect) {
  return protect == PAGE_READONLY || protect == PAGE_READWRITE || protect == PAGE_WRITECOPY;
}

// Gives a mapping object a handle; for page-file memory also creates the
// memfd under the name of that handle.
HANDLE PublishMapping(const std::shared_ptr<MappingObject>& object, bool page_file) {
  HANDLE h = AllocHandle(object);
  if (!h) return nullptr;
  if (page_file) {
    int fd = static_cast<int>(memfd_create(MemfdName(h).c_str(), MFD_CLOEXEC));
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(object->size)) != 0) {
      DWORD error = (errno == ENOMEM || errno == ENOSPC || errno == EFBIG)
                        ? ERROR_NOT_ENOUGH_MEMORY
                        : ERROR_INVALID_PARAMETER;
      if (fd >= 0) close(fd);
      FreeHandle(h);
      return FailNull(error);
    }
    object->fd = fd;
  }
  return h;
}

// The descriptor number in /proc/<pid>/fd whose memfd carries `wanted`.
int FindMemfd(DWORD pid, const std::string& wanted) {
  const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return -2;  // errno tells why
  const std::string link_text = "/memfd:" + wanted + " (deleted)";
  int found = -1;
  while (struct dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    char target[256];
    std::string path = folder + "/" + entry->d_name;
    ssize_t n = readlink(path.c_str(), target, sizeof(target) - 1);
    if (n <= 0) continue;
    if (std::string(target, static_cast<size_t>(n)) == link_text) {
      found = std::atoi(entry->d_name);
      break;
    }
  }
  closedir(dir);
  return found;
}

bool LookupView(const void* base, size_t* length, bool remove) {
  MappingTables& t = Tables();
  std::lock_guard<std::mutex> guard(t.lock);
  auto it = t.views.find(reinterpret_cast<uintptr_t>(base));
  if (it == t.views.end()) return false;
  *length = it->second;
  if (remove) t.views.erase(it);
  return true;
}

// process_vm_readv/writev over the whole range; returns bytes moved and
// sets *error when fewer than `size` were.
size_t MoveMemory(pid_t pid, bool write, void* local, void* remote, size_t size,
                  DWORD* error) {
  size_t done = 0;
  *error = ERROR_SUCCESS;
  while (done < size) {
    struct iovec here = {static_cast<char*>(local) + done, size - done};
    struct iovec there = {static_cast<char*>(remote) + done, size - done};
    ssize_t n = write ? process_vm_writev(pid, &here, 1, &there, 1, 0)
                      : process_vm_readv(pid, &here, 1, &there, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = (n < 0 && (errno == EPERM || errno == ESRCH)) ? ERROR_ACCESS_DENIED
                                                              : ERROR_PARTIAL_COPY;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

HANDLE DuplicateMappingFromProcess(DWORD process_id, HANDLE source) {
  try {
    int number = FindMemfd(process_id, MemfdName(source));
    if (number == -2) return FailNull(errno == ENOENT ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
    if (number < 0) return FailNull(ERROR_INVALID_HANDLE);
    const std::string path =
        "/proc/" + std::to_string(process_id) + "/fd/" + std::to_string(number);
    auto object = std::make_shared<MappingObject>();
    bool writable = true;
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
      writable = false;
      fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd < 0) return FailNull(errno == ENOENT ? ERROR_INVALID_HANDLE : ERROR_ACCESS_DENIED);
    object->fd = fd;  // owned from here on
    struct stat st;
    if (fstat(fd, &st) != 0) return FailNull(ERROR_ACCESS_DENIED);
    object->size = static_cast<ULONGLONG>(st.st_size);
    object->writable = writable;
    return AllocHandle(std::move(object));
  } catch (const std::bad_alloc&) {
    return FailNull(ERROR_NOT_ENOUGH_MEMORY);
  }
}

bool AllowMemoryAccessFrom(DWORD process_id) {
  unsigned long who = process_id ? static_cast<unsigned long>(process_id) : PR_SET_PTRACER_ANY;
  // EINVAL: the system has no Yama module, so nothing needs allowing.
  return prctl(PR_SET_PTRACER, who, 0, 0, 0) == 0 || errno == EINVAL;
}

}  // namespace platform

using platform::FailNull;
using platform::MappingObject;

HANDLE CreateFileMappingW(HANDLE file, void* security, DWORD protect, DWORD max_size_high,
                          DWORD max_size_low, LPCWSTR name) {
  if (!platform::ValidProtect(protect)) return FailNull(ERROR_INVALID_PARAMETER);
  const ULONGLONG size = (static_cast<ULONGLONG>(max_size_high) << 32) | max_size_low;
  if (size > static_cast<ULONGLONG>(INT64_MAX)) return FailNull(ERROR_INVALID_PARAMETER);
  const bool page_file = file == INVALID_HANDLE_VALUE;
  try {
    platform::MappingTables& t = platform::Tables();
    std::u16string key = name ? std::u16string(name) : std::u16string();
    if (!key.empty()) {
      std::lock_guard<std::mutex> guard(t.lock);
      auto it = t.names.find(key);
      if (it != t.names.end()) {
        if (std::shared_ptr<MappingObject> existing = it->second.lock()) {
          HANDLE h = platform::AllocHandle(std::move(existing));
          if (h) SetLastError(ERROR_ALREADY_EXISTS);
          return h;
        }
      }
    }
    auto object = std::make_shared<MappingObject>();
    object->writable = protect == PAGE_READWRITE;
    object->name = key;
    if (page_file) {
      if (size == 0) return FailNull(ERROR_INVALID_PARAMETER);
      object->size = size;
    } else {
      int file_fd = platform::DescriptorOfFileHandle(file);
      if (file_fd < 0) return FailNull(ERROR_INVALID_HANDLE);
      int mode = fcntl(file_fd, F_GETFL) & O_ACCMODE;
      if (mode == O_WRONLY || (object->writable && mode != O_RDWR))
        return FailNull(ERROR_ACCESS_DENIED);
      struct stat st;
      if (fstat(file_fd, &st) != 0 || !S_ISREG(st.st_mode)) return FailNull(ERROR_INVALID_HANDLE);
      ULONGLONG file_size = static_cast<ULONGLONG>(st.st_size);
      if (size == 0 && file_size == 0) return FailNull(ERROR_FILE_INVALID);
      if (size > file_size) {
        if (!object->writable) return FailNull(ERROR_ACCESS_DENIED);
        if (ftruncate(file_fd, static_cast<off_t>(size)) != 0) return FailNull(ERROR_DISK_FULL);
      }
      object->size = size ? size : file_size;
      object->fd = fcntl(file_fd, F_DUPFD_CLOEXEC, 0);
      if (object->fd < 0) return FailNull(ERROR_TOO_MANY_OPEN_FILES);
    }
    HANDLE h = platform::PublishMapping(object, page_file);
    if (!h) return nullptr;
    if (!key.empty()) {
      // The name goes to whoever enters it first: a thread that made the
      // same name meanwhile wins, and this caller gets its mapping.
      std::shared_ptr<MappingObject> earlier;
      try {
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.names.find(key);
        if (it != t.names.end()) earlier = it->second.lock();
        if (!earlier) t.names[key] = object;
      } catch (const std::bad_alloc&) {
        platform::FreeHandle(h);
        return FailNull(ERROR_NOT_ENOUGH_MEMORY);
      }
      if (earlier) {
        platform::FreeHandle(h);
        HANDLE other = platform::AllocHandle(std::move(earlier));
        if (other) SetLastError(ERROR_ALREADY_EXISTS);
        return other;
      }
    }
    SetLastError(ERROR_SUCCESS);
    return h;
  } catch (const std::bad_alloc&) {
    return FailNull(ERROR_NOT_ENOUGH_MEMORY);
  }
}

HANDLE OpenFileMappingW(DWORD access, BOOL inherit, LPCWSTR name) {
  if (!name || !*name) return FailNull(ERROR_INVALID_PARAMETER);
  try {
    platform::MappingTables& t = platform::Tables();
    std::shared_ptr<MappingObject> object;
    {
      std::lock_guard<std::mutex> guard(t.lock);
      auto it = t.names.find(name);
      if (it != t.names.end()) object = it->second.lock();
    }
    if (!object) return FailNull(ERROR_FILE_NOT_FOUND);
    if ((access & FILE_MAP_WRITE) && !object->writable) return FailNull(ERROR_ACCESS_DENIED);
    return platform::AllocHandle(std::move(object));
  } catch (const std::bad_alloc&) {
    return FailNull(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offset_high, DWORD offset_low,
                     SIZE_T bytes) {
  auto object = platform::LookupHandleAs<MappingObject>(mapping);
  if (!object) return nullptr;
  const ULONGLONG offset = (static_cast<ULONGLONG>(offset_high) << 32) | offset_low;
  if (offset % kMappingGranularity != 0) return FailNull(ERROR_MAPPED_ALIGNMENT);
  if (offset >= object->size) return FailNull(ERROR_ACCESS_DENIED);
  const ULONGLONG length = bytes ? bytes : object->size - offset;
  if (length > object->size - offset) return FailNull(ERROR_ACCESS_DENIED);
  const bool copy = (access & FILE_MAP_COPY) && !(access & FILE_MAP_WRITE);
  const bool write = (access & FILE_MAP_WRITE) != 0;
  if (write && !object->writable) return FailNull(ERROR_ACCESS_DENIED);
  int prot = PROT_READ | ((write || copy) ? PROT_WRITE : 0);
  void* view = mmap(nullptr, length, prot, copy ? MAP_PRIVATE : MAP_SHARED, object->fd,
                    static_cast<off_t>(offset));
  if (view == MAP_FAILED)
    return FailNull(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_NOT_ENOUGH_MEMORY);
  try {
    platform::MappingTables& t = platform::Tables();
    std::lock_guard<std::mutex> guard(t.lock);
    t.views[reinterpret_cast<uintptr_t>(view)] = length;
  } catch (const std::bad_alloc&) {
    munmap(view, length);
    return FailNull(ERROR_NOT_ENOUGH_MEMORY);
  }
  return view;
}

BOOL UnmapViewOfFile(LPCVOID base) {
  size_t length = 0;
  if (!base || !platform::LookupView(base, &length, true)) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  munmap(const_cast<void*>(base), length);
  return TRUE;
}

BOOL ReadProcessMemory(HANDLE process, LPCVOID base, LPVOID buffer, SIZE_T size, SIZE_T* done) {
  if (done) *done = 0;
  DWORD pid = 0;
  if (!platform::ProcessIdWithAccess(process, PROCESS_VM_READ, &pid)) return FALSE;
  if (!buffer && size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = ERROR_SUCCESS;
  size_t moved = platform::MoveMemory(static_cast<pid_t>(pid), false, buffer,
                                      const_cast<void*>(base), size, &error);
  if (done) *done = moved;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

BOOL WriteProcessMemory(HANDLE process, LPVOID base, LPCVOID buffer, SIZE_T size,
                        SIZE_T* done) {
  if (done) *done = 0;
  DWORD pid = 0;
  if (!platform::ProcessIdWithAccess(process, PROCESS_VM_WRITE | PROCESS_VM_OPERATION, &pid))
    return FALSE;
  if (!buffer && size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  DWORD error = ERROR_SUCCESS;
  size_t moved = platform::MoveMemory(static_cast<pid_t>(pid), true, const_cast<void*>(buffer),
                                      base, size, &error);
  if (done) *done = moved;
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
