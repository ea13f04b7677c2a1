#include "platform/kernel/state.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace platform {

namespace {

struct Roots {
  std::string machine;
  std::string user;
  std::string folders;
  std::string runtime;
};

std::mutex g_lock;
bool g_loaded = false;
Roots g_roots;

std::string TrimSlash(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

void LoadLocked() {
  const char* root = std::getenv(kStateRootVariable);
  if (root && *root) {
    std::string r = TrimSlash(root);
    g_roots.machine = r + "/machine";
    g_roots.user = r + "/user";
    g_roots.folders = r + "/folders";
    g_roots.runtime = r + "/run";
  } else {
    g_roots.machine = "/var/lib/talvene/machine";
    std::string config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
      config = TrimSlash(xdg);
    } else {
      const char* home = std::getenv("HOME");
      config = std::string(home && *home ? TrimSlash(home) : std::string("/tmp")) + "/.config";
    }
    g_roots.user = config + "/talvene";
    g_roots.folders = g_roots.user + "/folders";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    g_roots.runtime =
        runtime && *runtime == '/' ? TrimSlash(runtime) + "/talvene" : g_roots.user + "/run";
  }
  g_loaded = true;
}

Roots Get() {
  std::lock_guard<std::mutex> guard(g_lock);
  if (!g_loaded) LoadLocked();
  return g_roots;
}

}  // namespace

std::string MachineStateDir() { return Get().machine; }
std::string UserStateDir() { return Get().user; }
std::string FolderMapDir() { return Get().folders; }
std::string RuntimeDir() { return Get().runtime; }

bool MakeRuntimeDir() {
  const std::string path = RuntimeDir();
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(path.substr(0, slash))) return false;
  // Only the user reaches the folder: the lock files are the user's own.
  if (mkdir(path.c_str(), 0700) == 0)
    chmod(path.c_str(), 0700);  // whatever the umask left
  else if (errno != EEXIST)
    return false;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ReloadStateRoot() {
  std::lock_guard<std::mutex> guard(g_lock);
  LoadLocked();
}

bool MakeDirs(const std::string& path) {
  if (path.empty()) return false;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirs(path.substr(0, slash)))
    return false;
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return false;
}

}  // namespace platform
