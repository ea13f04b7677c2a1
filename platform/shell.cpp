#include "platform/shell.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/profile.h"
#include "platform/state.h"

namespace {

constexpr char16_t kOverrideSection[] = u"folders";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v ? std::string(v) : std::string();
}

std::string TrimSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

// The roots the defaults are built from.
struct Roots {
  bool isolated = false;  // under WU_STATE_ROOT: nothing outside it
  std::string home;       // the user's home
  std::string config;     // roaming application data
  std::string data;       // local application data
  std::string cache;      // cache
  std::string programs;   // program files
  std::string machine;    // machine-wide state
};

// An XDG base folder: the variable when it holds an absolute path, else
// the folder below home.
std::string XdgBase(const char* variable, const std::string& home, const char* fallback) {
  std::string v = Env(variable);
  return !v.empty() && v[0] == '/' ? TrimSlash(v) : home + fallback;
}

Roots GetRoots() {
  Roots r;
  std::string state = Env(platform::kStateRootVariable);
  r.machine = platform::MachineStateDir();
  if (!state.empty()) {
    r.isolated = true;
    r.home = TrimSlash(state) + "/home";
    r.config = r.home + "/.config";
    r.data = r.home + "/.local/share";
    r.cache = r.home + "/.cache";
    r.programs = TrimSlash(state) + "/opt";
    return r;
  }
  r.home = Env("HOME").empty() ? std::string("/tmp") : TrimSlash(Env("HOME"));
  r.config = XdgBase("XDG_CONFIG_HOME", r.home, "/.config");
  r.data = XdgBase("XDG_DATA_HOME", r.home, "/.local/share");
  r.cache = XdgBase("XDG_CACHE_HOME", r.home, "/.cache");
  r.programs = "/opt";
  return r;
}

// A user folder: from user-dirs.dirs (XDG_<name>_DIR="$HOME/...") when
// present and not isolated, else home + "/" + fallback.
std::string UserDir(const Roots& r, const std::string& name, const char* fallback) {
  std::string def = r.home + "/" + fallback;
  if (r.isolated) return def;
  std::ifstream in(r.config + "/user-dirs.dirs");
  std::string line, key = "XDG_" + name + "_DIR=";
  while (std::getline(in, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string v = line.substr(key.size());
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    if (v.compare(0, 5, "$HOME") == 0) v = r.home + v.substr(5);
    if (!v.empty() && v[0] == '/' && TrimSlash(v) != r.home) return TrimSlash(v);
  }
  return def;
}

// The default folder of a CSIDL; empty for numbers without one.
std::string DefaultFolder(int id) {
  Roots r = GetRoots();
  std::string windows = r.machine + "/windows";
  std::string shared = r.machine + "/public";
  switch (id) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
      return UserDir(r, "DESKTOP", "Desktop");
    case CSIDL_PERSONAL:
    case CSIDL_MYDOCUMENTS:
      return UserDir(r, "DOCUMENTS", "Documents");
    case CSIDL_MYMUSIC:
      return UserDir(r, "MUSIC", "Music");
    case CSIDL_MYVIDEO:
      return UserDir(r, "VIDEOS", "Videos");
    case CSIDL_MYPICTURES:
      return UserDir(r, "PICTURES", "Pictures");
    case CSIDL_TEMPLATES:
      return UserDir(r, "TEMPLATES", "Templates");
    case CSIDL_FAVORITES:
      return r.home + "/Favorites";
    case CSIDL_PROFILE:
      return r.home;
    case CSIDL_PROGRAMS:
      return r.data + "/applications";
    case CSIDL_STARTUP:
      return r.config + "/autostart";
    case CSIDL_FONTS:
      return r.data + "/fonts";
    case CSIDL_APPDATA:
      return r.config;
    case CSIDL_LOCAL_APPDATA:
      return r.data;
    case CSIDL_INTERNET_CACHE:
      return r.cache;
    case CSIDL_PROGRAM_FILES:
    case CSIDL_PROGRAM_FILESX86:
      return r.programs;
    case CSIDL_PROGRAM_FILES_COMMON:
    case CSIDL_PROGRAM_FILES_COMMONX86:
      return r.programs + "/Common Files";
    case CSIDL_WINDOWS:
      return windows;
    case CSIDL_SYSTEM:
    case CSIDL_SYSTEMX86:
      return windows + "/system32";
    case CSIDL_RESOURCES:
      return windows + "/Resources";
    case CSIDL_COMMON_APPDATA:
      return r.machine + "/programdata";
    case CSIDL_COMMON_DESKTOPDIRECTORY:
      return shared + "/Desktop";
    case CSIDL_COMMON_DOCUMENTS:
      return shared + "/Documents";
    case CSIDL_COMMON_MUSIC:
      return shared + "/Music";
    case CSIDL_COMMON_PICTURES:
      return shared + "/Pictures";
    case CSIDL_COMMON_VIDEO:
      return shared + "/Videos";
    case CSIDL_COMMON_TEMPLATES:
      return shared + "/Templates";
    default:
      return std::string();
  }
}

std::string OverrideFile() { return platform::FolderMapDir() + "/folders.ini"; }

// The folder of a CSIDL with its override; empty for numbers without one.
std::string CurrentFolder(int id) {
  std::string def = DefaultFolder(id);
  if (def.empty()) return def;
  std::u16string value;
  std::u16string key = platform::ToUtf16(std::to_string(id));
  if (platform::ReadProfileValue(OverrideFile(), kOverrideSection, key, &value) && !value.empty())
    return TrimSlash(platform::ToUtf8(value));
  return def;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies a folder's library path into a caller buffer of `size` characters.
UINT CopyFolder(const std::string& folder, LPWSTR buffer, UINT size) {
  std::u16string path = platform::FromLinuxPath(folder);
  if (!buffer || size <= path.size()) return static_cast<UINT>(path.size() + 1);
  std::copy(path.begin(), path.end(), buffer);
  buffer[path.size()] = 0;
  return static_cast<UINT>(path.size());
}

// Runs the body of an exported function: an allocation failure (or any
// other exception) gives `failure` instead of leaving the call.
template <class Result, class Body>
Result Guard(Result failure, Body&& body) {
  try {
    return body();
  } catch (...) {
    return failure;
  }
}

}  // namespace

HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPWSTR path) {
  if (!path) return E_INVALIDARG;
  path[0] = 0;
  return Guard<HRESULT>(E_OUTOFMEMORY, [&]() -> HRESULT {
    int id = csidl & ~CSIDL_FLAG_MASK;
    std::string folder = flags == SHGFP_TYPE_DEFAULT ? DefaultFolder(id) : CurrentFolder(id);
    if (folder.empty()) return E_INVALIDARG;
    if (!(csidl & CSIDL_FLAG_DONT_VERIFY) && !IsFolder(folder)) {
      if (!(csidl & CSIDL_FLAG_CREATE)) return E_FAIL;
      errno = 0;
      if (!platform::MakeDirs(folder))
        return errno ? HRESULT_FROM_WIN32(platform::ErrorFromErrno(errno)) : E_FAIL;
    }
    std::u16string text = platform::FromLinuxPath(folder);
    if (text.size() >= static_cast<size_t>(MAX_PATH))
      return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    std::copy(text.begin(), text.end(), path);
    path[text.size()] = 0;
    return S_OK;
  });
}

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) {
  return Guard<UINT>(0, [&] {
    return CopyFolder(platform::SpecialFolderPath(CSIDL_WINDOWS, false), buffer, size);
  });
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
  return Guard<UINT>(0, [&] {
    return CopyFolder(platform::SpecialFolderPath(CSIDL_SYSTEM, false), buffer, size);
  });
}

namespace platform {

std::string SpecialFolderPath(int csidl, bool create) {
  return Guard<std::string>(std::string(), [&] {
    std::string folder = CurrentFolder(csidl & ~CSIDL_FLAG_MASK);
    if (create && !folder.empty() && !IsFolder(folder)) MakeDirs(folder);
    return folder;
  });
}

bool SetSpecialFolder(int csidl, const std::string& linux_path) {
  return Guard<bool>(false, [&] {
    int id = csidl & ~CSIDL_FLAG_MASK;
    if (DefaultFolder(id).empty() || !MakeDirs(FolderMapDir())) return false;
    std::u16string key = ToUtf16(std::to_string(id));
    std::u16string value = ToUtf16(TrimSlash(linux_path));
    return WriteProfileValue(OverrideFile(), kOverrideSection, key,
                             linux_path.empty() ? nullptr : &value) == ERROR_SUCCESS;
  });
}

}  // namespace platform
