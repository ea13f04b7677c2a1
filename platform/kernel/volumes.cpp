// Drives and volumes.
#include "platform/kernel/files.h"

#include "platform/kernel/files_internal.h"

inline namespace files_internal {

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

}  // namespace files_internal
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
