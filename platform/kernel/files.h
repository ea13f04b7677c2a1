// Files, folders and paths: the file layer of the platform stand-in.
//
// Paths of the library are UTF-16 and may use '\' or '/' as separators. A
// leading drive "X:" stands for a root folder configured per drive (see
// SetDriveRoot; every drive defaults to the file-system root "/"). A UNC
// prefix "\\server\share" stands for the folder
// FolderMapDir()/unc/<server>/<share> (both names lower-cased), so a share
// "exists" exactly when that folder does; "\\server" alone, and device paths
// "\\.\...", are refused with ERROR_BAD_PATHNAME. The long-path prefix
// "\\?\" is accepted and dropped. Paths that the layer builds use '/'.
//
// Within a drive or share, ".." never climbs above its root: "Q:\..\x" is
// "Q:\x". Relative paths stay relative to the process's current folder.
//
// Attributes are derived from Linux facts:
//   FILE_ATTRIBUTE_READONLY   no write bit for the owner (the layer enforces
//                             it even for root: opening such a file for
//                             writing, deleting or replacing it is refused)
//   FILE_ATTRIBUTE_HIDDEN     the name starts with '.'
//   FILE_ATTRIBUTE_DIRECTORY  a folder
//   FILE_ATTRIBUTE_DEVICE     a character or block device, fifo or socket
//   FILE_ATTRIBUTE_REPARSE_POINT  a symbolic link (with the attributes of
//                             what it points at); tree walkers must not
//                             descend into such folders
//   FILE_ATTRIBUTE_NORMAL     when none of the above applies (a plain,
//                             writable, visible file)
// Linux keeps no archive bit, so FILE_ATTRIBUTE_ARCHIVE is never reported.
//
// Share modes are enforced between the handles of this process (a second
// open that the first handle's share mode does not allow fails with
// ERROR_SHARING_VIOLATION, and so do deleting and renaming a file that is
// open without FILE_SHARE_DELETE). Other processes are not seen.
#pragma once

#include <string>
#include <string_view>

#include "platform/kernel/types.h"

// ---- Access rights, share modes, dispositions -------------------------------
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD GENERIC_EXECUTE = 0x20000000;
constexpr DWORD GENERIC_ALL = 0x10000000;
constexpr DWORD FILE_READ_DATA = 0x0001;
constexpr DWORD FILE_WRITE_DATA = 0x0002;
constexpr DWORD FILE_APPEND_DATA = 0x0004;
constexpr DWORD FILE_READ_ATTRIBUTES = 0x0080;
constexpr DWORD FILE_WRITE_ATTRIBUTES = 0x0100;

constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;

constexpr DWORD CREATE_NEW = 1;         // fails when the file exists
constexpr DWORD CREATE_ALWAYS = 2;      // creates or truncates
constexpr DWORD OPEN_EXISTING = 3;      // fails when the file is missing
constexpr DWORD OPEN_ALWAYS = 4;        // opens or creates
constexpr DWORD TRUNCATE_EXISTING = 5;  // opens and truncates; needs GENERIC_WRITE

// ---- Attributes and flags -----------------------------------------------------
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x00000040;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x00000100;
constexpr DWORD FILE_ATTRIBUTE_SPARSE_FILE = 0x00000200;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD FILE_ATTRIBUTE_COMPRESSED = 0x00000800;
constexpr DWORD FILE_ATTRIBUTE_OFFLINE = 0x00001000;
constexpr DWORD FILE_ATTRIBUTE_NOT_CONTENT_INDEXED = 0x00002000;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000;

// ---- File pointer and sizes ---------------------------------------------------
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFF;

// ---- File types (GetFileType) -----------------------------------------------------
constexpr DWORD FILE_TYPE_UNKNOWN = 0;
constexpr DWORD FILE_TYPE_DISK = 1;
constexpr DWORD FILE_TYPE_CHAR = 2;
constexpr DWORD FILE_TYPE_PIPE = 3;

// ---- Moves ----------------------------------------------------------------------
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_DELAY_UNTIL_REBOOT = 0x4;  // not supported here
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

// ---- Drive types -----------------------------------------------------------------
constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

// ---- Volume flags (GetVolumeInformationW) -----------------------------------------
constexpr DWORD FILE_CASE_SENSITIVE_SEARCH = 0x00000001;
constexpr DWORD FILE_CASE_PRESERVED_NAMES = 0x00000002;
constexpr DWORD FILE_UNICODE_ON_DISK = 0x00000004;
constexpr DWORD FILE_SUPPORTS_SPARSE_FILES = 0x00000040;
constexpr DWORD FILE_READ_ONLY_VOLUME = 0x00080000;

// ---- Records ----------------------------------------------------------------------
// Position of a synchronous read or write that does not use the file
// pointer. The file pointer ends after the bytes transferred.
struct OVERLAPPED {
  ULONG_PTR Internal;      // status; unused here
  ULONG_PTR InternalHigh;  // bytes transferred; unused here
  DWORD Offset;            // low 32 bits of the position
  DWORD OffsetHigh;        // high 32 bits of the position
  HANDLE hEvent;           // ignored: every operation here is synchronous
};
typedef OVERLAPPED* LPOVERLAPPED;

// One entry of a folder search.
struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;        // FILE_ATTRIBUTE_* of the entry
  FILETIME ftCreationTime;       // creation (birth) time, else last write
  FILETIME ftLastAccessTime;     // last access
  FILETIME ftLastWriteTime;      // last change of the contents
  DWORD nFileSizeHigh;           // size, high 32 bits (0 for folders)
  DWORD nFileSizeLow;            // size, low 32 bits
  DWORD dwReserved0;             // 0
  DWORD dwReserved1;             // 0
  WCHAR cFileName[MAX_PATH];     // the entry's name, terminated
  WCHAR cAlternateFileName[14];  // always empty: there are no short names
};
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

// What GetFileAttributesExW returns for GetFileExInfoStandard.
struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;     // FILE_ATTRIBUTE_*
  FILETIME ftCreationTime;    // creation (birth) time, else last write
  FILETIME ftLastAccessTime;  // last access
  FILETIME ftLastWriteTime;   // last change of the contents
  DWORD nFileSizeHigh;        // size, high 32 bits
  DWORD nFileSizeLow;         // size, low 32 bits
};

// What GetFileInformationByHandle returns.
struct BY_HANDLE_FILE_INFORMATION {
  DWORD dwFileAttributes;      // FILE_ATTRIBUTE_*
  FILETIME ftCreationTime;     // creation (birth) time, else last write
  FILETIME ftLastAccessTime;   // last access
  FILETIME ftLastWriteTime;    // last change of the contents
  DWORD dwVolumeSerialNumber;  // derived from the device number
  DWORD nFileSizeHigh;         // size, high 32 bits
  DWORD nFileSizeLow;          // size, low 32 bits
  DWORD nNumberOfLinks;        // hard links
  DWORD nFileIndexHigh;        // inode number, high 32 bits
  DWORD nFileIndexLow;         // inode number, low 32 bits
};

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0, GetFileExMaxInfoLevel = 1 };

// ---- Path mapping and layer settings ---------------------------------------------
namespace platform {

// The Linux path (UTF-8) that a path of the library stands for: '\' and '/'
// both separate, a drive "X:" is replaced by the folder mapped to that drive
// (default "/"), and a relative path stays relative to the current folder.
// An empty text is returned for a path that cannot be mapped.
std::string ToLinuxPath(LPCWSTR path);
std::string ToLinuxPath(std::u16string_view path);

// The library's form of a Linux path (UTF-16, '/' separators).
std::u16string FromLinuxPath(const std::string& path);

// The one separator that built paths use.
constexpr WCHAR kPathSeparator = u'/';

// TRUE when `path` starts with a drive "X:" (an ASCII letter and ':'), as
// ToLinuxPath reads one. A ':' anywhere else is a character of a name
// ("shots/12:30.png", "1:30 take.wav").
constexpr bool StartsWithDrive(std::u16string_view path) {
  return path.size() >= 2 && path[1] == u':' &&
         ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

// Maps a drive letter (either case) to a Linux folder, written to the file
// FolderMapDir()/drives as a line "X=/folder". An empty folder removes the
// mapping (the drive is the file-system root again). FALSE for a letter
// outside A-Z, a folder that is not absolute, or when the file cannot be
// written.
bool SetDriveRoot(WCHAR letter, const std::string& linux_folder);
// The folder a drive letter stands for ("/" when unmapped; empty for a
// letter outside A-Z).
std::string DriveRoot(WCHAR letter);

// Wraps a Linux descriptor in a file handle (for standard handles and
// pipes). With `owns` the descriptor is closed with the last handle.
// `access` holds GENERIC_READ and/or GENERIC_WRITE.
HANDLE FileHandleFromDescriptor(int fd, DWORD access, bool owns);
// The Linux descriptor behind a file handle, or -1 (ERROR_INVALID_HANDLE).
int DescriptorOfFileHandle(HANDLE file);
// The serial device ("COM1", "AUX"...) a file handle was opened on, or an
// empty text for other files and for handles that are not files.
std::u16string DeviceNameOfFileHandle(HANDLE file);

// Wildcard match of one name as folder searches do it: '*' any run, '?' one
// character (or none at the end of the name), case-insensitive; a trailing
// "." or ".*" of the pattern also matches a name without extension, so
// "*.*" matches every name.
bool MatchFileName(std::u16string_view pattern, std::u16string_view name);

}  // namespace platform

// ---- Open files ---------------------------------------------------------------------
// Opens or creates a file (or, with FILE_FLAG_BACKUP_SEMANTICS, a folder).
// The serial-device names of platform/kernel/comm.h open the file their device is
// mapped to, whatever the disposition, and write at its end.
// INVALID_HANDLE_VALUE on failure. CREATE_ALWAYS and OPEN_ALWAYS on an
// existing file succeed with last error ERROR_ALREADY_EXISTS; every other
// success sets ERROR_SUCCESS.
HANDLE CreateFileW(LPCWSTR name, DWORD access, DWORD share_mode, void* security,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE template_file);
namespace platform {
// CreateFileW that never goes through a symbolic link in the last component
// of the name: such a link fails with ERROR_ACCESS_DENIED and neither the
// link nor its target is touched. For writers that must stay inside a
// folder tree (archive extraction).
HANDLE CreateFileNoFollow(LPCWSTR name, DWORD access, DWORD share_mode, DWORD disposition,
                          DWORD flags_and_attributes);
}  // namespace platform

// Reads up to `count` bytes; TRUE with fewer (0 at the end) when the file
// ends first.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written,
               LPOVERLAPPED overlapped);
// Moves the file pointer. Without `distance_high` the distance is a signed
// 32-bit value and the new position must fit in 32 bits. Returns the low
// half of the new position (the high half through `distance_high`) and sets
// ERROR_SUCCESS; INVALID_SET_FILE_POINTER with the last error on failure
// (ERROR_NEGATIVE_SEEK before the start; the pointer does not move).
DWORD SetFilePointer(HANDLE file, LONG distance_low, PLONG distance_high, DWORD method);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, LARGE_INTEGER* new_position,
                      DWORD method);
// Low half of the size (high half through `size_high`); INVALID_FILE_SIZE
// with the last error on failure, ERROR_SUCCESS on success.
DWORD GetFileSize(HANDLE file, LPDWORD size_high);
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);
// Cuts or extends the file at the file pointer.
BOOL SetEndOfFile(HANDLE file);
BOOL FlushFileBuffers(HANDLE file);
// Any pointer may be NULL. SetFileTime ignores the creation time (Linux
// cannot set it) and leaves a NULL or zero time unchanged.
BOOL GetFileTime(HANDLE file, FILETIME* creation, FILETIME* last_access, FILETIME* last_write);
BOOL SetFileTime(HANDLE file, const FILETIME* creation, const FILETIME* last_access,
                 const FILETIME* last_write);
DWORD GetFileType(HANDLE file);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION* info);

// ---- Names in folders -----------------------------------------------------------------
// The calls below act on what the last name is itself: a symbolic link there
// is the link (never what it points at, except the facts of its target that
// GetFileAttributes(Ex)W reports beside FILE_ATTRIBUTE_REPARSE_POINT),
// whether or not the name ends in a separator. A name ending in one must be
// a folder or a link to one (else ERROR_PATH_NOT_FOUND).
DWORD GetFileAttributesW(LPCWSTR name);
BOOL GetFileAttributesExW(LPCWSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID info);
// Only FILE_ATTRIBUTE_READONLY has an effect: set, it clears every write
// bit; clear, it restores the owner's write bit. The other attributes
// follow from the name and kind and are ignored. A link is never read-only
// and is left as it is: asking it to be fails with ERROR_ACCESS_DENIED.
BOOL SetFileAttributesW(LPCWSTR name, DWORD attributes);
BOOL CreateDirectoryW(LPCWSTR name, void* security);
// Fails with ERROR_DIR_NOT_EMPTY, ERROR_DIRECTORY for a file, and
// ERROR_ACCESS_DENIED for a read-only folder. A symbolic link to a folder is
// removed itself.
BOOL RemoveDirectoryW(LPCWSTR name);
// Refuses folders and read-only files with ERROR_ACCESS_DENIED. A link is
// removed itself.
BOOL DeleteFileW(LPCWSTR name);
// MoveFileW is MoveFileExW with MOVEFILE_COPY_ALLOWED. A rename in one file
// system is atomic; across file systems a file is copied and then deleted
// when MOVEFILE_COPY_ALLOWED is given (folders cannot cross:
// ERROR_NOT_SAME_DEVICE). An existing target fails with
// ERROR_ALREADY_EXISTS unless MOVEFILE_REPLACE_EXISTING is given. A link
// named as `existing` is moved itself; a link at `target` is replaced, never
// written through.
BOOL MoveFileW(LPCWSTR existing, LPCWSTR target);
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
// Copies contents, permission bits and times. The copy is written under a
// temporary name in the target's folder and renamed into place, so a failed
// copy leaves neither a partial file nor a damaged target. With
// `fail_if_exists` an existing target fails with ERROR_FILE_EXISTS;
// without it a symbolic link at the target stays and the file it names
// gets the copy.
BOOL CopyFileW(LPCWSTR existing, LPCWSTR target, BOOL fail_if_exists);
namespace platform {
// Makes `size` bytes the whole contents of the file `target` without ever
// leaving it part-written. A symbolic link at `target` stays: the file it
// names (GetReplacedFileName) is the one replaced. The bytes go to a new
// file beside that file (CreatePrivateFileBeside with `prefix` and the
// file's name with its dots made '_', so that a search such as "*.png" does
// not find it; a name that was free; no MAX_PATH bound; `prefix` itself
// holds no dot) that only its owner may read while it is written, are
// flushed, get the replaced file's permission bits (a new file: those of any
// new file), and that file is renamed over it once written whole
// (MoveFileExW, so a read-only or locked file refuses as it does there). On
// failure an existing file is as it was, the new file is removed and the
// last error says why (ERROR_DIRECTORY for a missing folder). With `replace`
// false anything at `target`, a link included, fails with ERROR_FILE_EXISTS,
// as CREATE_NEW would.
BOOL WriteFileReplacing(LPCWSTR target, LPCVOID bytes, DWORD size, bool replace, LPCWSTR prefix);
}  // namespace platform

// ---- Folder searches ---------------------------------------------------------------
// Searches the folder part of `pattern` for names matching its last part
// (platform::MatchFileName). Entries come in byte order of their UTF-8
// names, with "." and ".." first; those two are reported in every folder
// whenever the pattern matches them. A last part without wildcards finds
// that one entry. Failures: ERROR_PATH_NOT_FOUND for a missing folder,
// ERROR_FILE_NOT_FOUND when nothing matches. The handle is closed with
// FindClose (not CloseHandle).
HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW data);
// FALSE with ERROR_NO_MORE_FILES after the last entry.
BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW data);
BOOL FindClose(HANDLE find);

// ---- Path queries ---------------------------------------------------------------------
// Sizes are in characters. Each returns the length written (terminator not
// counted), or the size needed (terminator counted) when the buffer is too
// small, or 0 with the last error.

// TMPDIR, else "/tmp", always ending in '/'.
DWORD GetTempPathW(DWORD size, LPWSTR buffer);
// Builds folder/<up to 3 characters of prefix><hex number>.tmp in `out`
// (MAX_PATH characters). With `unique` 0 it picks a free number, creates the
// empty file and returns the number; otherwise it only builds the name and
// returns `unique`. 0 on failure (ERROR_DIRECTORY for a missing folder;
// ERROR_BUFFER_OVERFLOW, with nothing created, when the name would not fit
// MAX_PATH: a file that replaces another is made with
// platform::CreatePrivateFileBeside, which has no such bound).
UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR out);
// The absolute form of a path: relative paths are joined to the current
// folder, "." and ".." are folded, separators become '/'; a drive or UNC
// root is kept. `file_part` (may be NULL) receives the start of the last
// name, or NULL when the result ends in a separator.
DWORD GetFullPathNameW(LPCWSTR name, DWORD size, LPWSTR buffer, LPWSTR* file_part);
// Both give the path unchanged when it exists (there are no short names);
// ERROR_FILE_NOT_FOUND otherwise. The buffers may be the same.
DWORD GetLongPathNameW(LPCWSTR short_path, LPWSTR long_path, DWORD size);
DWORD GetShortPathNameW(LPCWSTR long_path, LPWSTR short_path, DWORD size);
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);
BOOL SetCurrentDirectoryW(LPCWSTR path);

// ---- Drives and volumes -----------------------------------------------------------------
// A NULL path means the current folder. Any existing path on the volume is
// accepted, not only its root.
BOOL GetDiskFreeSpaceExW(LPCWSTR path, ULARGE_INTEGER* free_to_caller, ULARGE_INTEGER* total,
                         ULARGE_INTEGER* total_free);
// Sectors of 512 bytes; cluster counts are capped at 0xFFFFFFFF.
BOOL GetDiskFreeSpaceW(LPCWSTR root, LPDWORD sectors_per_cluster, LPDWORD bytes_per_sector,
                       LPDWORD free_clusters, LPDWORD total_clusters);
// The label is empty; the file-system name is the Linux one ("ext4",
// "tmpfs", "xfs", "btrfs", "overlay", ... or "0x<magic>" when unknown).
// ERROR_BAD_LENGTH when a buffer is too small.
BOOL GetVolumeInformationW(LPCWSTR root, LPWSTR volume_name, DWORD volume_name_size,
                           LPDWORD serial_number, LPDWORD max_component_length,
                           LPDWORD file_system_flags, LPWSTR file_system_name,
                           DWORD file_system_name_size);
// DRIVE_FIXED for a drive or path whose folder exists (DRIVE_REMOTE for a
// UNC share), DRIVE_NO_ROOT_DIR otherwise.
UINT GetDriveTypeW(LPCWSTR root);
