#include "platform/shell/shell.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/kernel/error.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/posix_io.h"
#include "platform/kernel/process.h"
#include "platform/kernel/state.h"
#include "platform/registry/profile.h"

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
  std::string text = platform::ReadLinuxFile(r.config + "/user-dirs.dirs");
  std::string key = "XDG_" + name + "_DIR=";
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
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
  return platform::KindOfLinuxPath(path) == platform::LinuxPathKind::kFolder;
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

// ---- ShellExecuteW --------------------------------------------------------------------

namespace {

// What ShellExecuteW keeps between calls.
struct ShellState {
  std::mutex lock;                             // guards the fields below
  std::vector<platform::ShellRequest> requests;  // every request, oldest first
  bool record_only = false;                    // record, start nothing
  std::string opener;                          // set opener; empty: xdg-open from PATH
};

ShellState& Shell() {
  static ShellState* state = new ShellState;  // lives to process exit
  return *state;
}

HINSTANCE ShellResult(int value) { return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(value)); }

// "scheme:rest" with a scheme of two or more letters, digits, '+', '-' or
// '.' starting with a letter (one letter is a drive).
bool IsAddress(std::u16string_view text) {
  size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos || colon < 2) return false;
  auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  if (!letter(text[0])) return false;
  for (size_t i = 1; i < colon; ++i) {
    char16_t c = text[i];
    if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
      return false;
  }
  return true;
}

// The executable `name` in PATH, or empty.
std::string SearchPath(const std::string& name) {
  std::string path = Env("PATH");
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (!dir.empty()) {
      std::string candidate = dir + "/" + name;
      if (platform::KindOfLinuxPath(candidate) == platform::LinuxPathKind::kFile &&
          platform::MayRunLinuxFile(candidate))
        return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// Starts `program` (a Linux path) with `args` after it; no waiting.
bool StartChild(const std::string& program, const std::vector<std::u16string>& args,
                LPCWSTR directory) {
  std::u16string app = platform::FromLinuxPath(program);
  std::vector<std::u16string> argv;
  argv.push_back(app);
  argv.insert(argv.end(), args.begin(), args.end());
  std::u16string line = platform::JoinCommandLine(argv);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(app.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory && directory[0] ? directory : nullptr, &startup, &info))
    return false;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  auto fold = [](char16_t c) -> char16_t { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return false;
  return true;
}

// Opens one request; the result value.
int OpenRequest(platform::ShellRequest& request, const std::string& opener_set) {
  if (!request.verb.empty() && !EqualsIgnoreCase(request.verb, u"open") &&
      !EqualsIgnoreCase(request.verb, u"explore"))
    return SE_ERR_NOASSOC;
  std::u16string target = request.file;
  if (!IsAddress(request.file)) {
    std::string path = platform::ToLinuxPath(request.file);
    platform::LinuxPathKind kind = platform::KindOfLinuxPath(path);
    if (kind == platform::LinuxPathKind::kNone) {
      size_t cut = path.find_last_of('/');
      std::string parent = cut == std::string::npos || cut == 0 ? "/" : path.substr(0, cut);
      return IsFolder(parent) ? SE_ERR_FNF : SE_ERR_PNF;
    }
    if (kind == platform::LinuxPathKind::kFile && platform::MayRunLinuxFile(path)) {
      request.started = StartChild(path, platform::SplitCommandLine(request.parameters),
                                   request.directory.c_str());
      return request.started ? SE_OPENED : SE_ERR_ACCESSDENIED;
    }
    target = platform::ToUtf16(path);  // the opener is a Linux program
  }
  std::string opener = opener_set.empty() ? SearchPath("xdg-open") : opener_set;
  if (opener.empty() || !platform::MayRunLinuxFile(opener)) return SE_ERR_NOASSOC;
  request.started = StartChild(opener, {target}, nullptr);
  return request.started ? SE_OPENED : SE_ERR_ACCESSDENIED;
}

}  // namespace

HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR directory, int show) {
  (void)window;
  return Guard<HINSTANCE>(ShellResult(SE_ERR_OOM), [&]() -> HINSTANCE {
    if (!file || !file[0]) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return ShellResult(SE_ERR_FNF);
    }
    platform::ShellRequest request;
    request.verb = verb ? verb : u"";
    request.file = file;
    request.parameters = parameters ? parameters : u"";
    request.directory = directory ? directory : u"";
    request.show = show;
    ShellState& state = Shell();
    bool record_only;
    std::string opener;
    {
      std::lock_guard<std::mutex> guard(state.lock);
      record_only = state.record_only;
      opener = state.opener;
    }
    int result = record_only ? SE_OPENED : OpenRequest(request, opener);
    {
      std::lock_guard<std::mutex> guard(state.lock);
      state.requests.push_back(request);
    }
    if (result <= 32) SetLastError(result == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION
                                   : result == SE_ERR_OOM  ? ERROR_NOT_ENOUGH_MEMORY
                                                           : static_cast<DWORD>(result));
    return ShellResult(result);
  });
}

namespace platform {

std::vector<ShellRequest> ShellRequests() {
  ShellState& state = Shell();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.requests;
}

void ClearShellRequests() {
  ShellState& state = Shell();
  std::lock_guard<std::mutex> guard(state.lock);
  state.requests.clear();
}

void SetShellRecordOnly(bool record_only) {
  ShellState& state = Shell();
  std::lock_guard<std::mutex> guard(state.lock);
  state.record_only = record_only;
}

void SetShellOpener(const std::string& program) {
  ShellState& state = Shell();
  std::lock_guard<std::mutex> guard(state.lock);
  state.opener = program;
}

}  // namespace platform
