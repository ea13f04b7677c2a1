// The state root: where the platform layer keeps what the platform would
// keep for the whole machine or the user (registry stores, the special-folder
// map, the drive map).
//
// With the environment variable WU_STATE_ROOT set, everything lives under
// that one folder:
//   $WU_STATE_ROOT/machine   the machine registry store (HKEY_LOCAL_MACHINE)
//   $WU_STATE_ROOT/user      the user registry store (HKEY_CURRENT_USER) and
//                            the user's settings files
//   $WU_STATE_ROOT/folders   special-folder and drive overrides
//   $WU_STATE_ROOT/run       the runtime folder: lock files of named mutexes
//                            and the sockets of the local transport
//                            (platform/kernel/transport.h)
// Without it the machine store is /var/lib/talvene/machine (writable by root
// only, so "administrator" means what it means on Linux), the user store
// is $XDG_CONFIG_HOME/talvene (default ~/.config/talvene) and the runtime
// folder $XDG_RUNTIME_DIR/talvene, or "run" in the user store when that
// variable is unset. Tests always set the variable to a fresh temporary
// folder.
#pragma once

#include <string>

namespace platform {

// Name of the environment variable that moves the whole state root.
constexpr const char kStateRootVariable[] = "WU_STATE_ROOT";

// Folder of the machine-wide store (UTF-8 path, no trailing '/').
std::string MachineStateDir();
// Folder of the user's store (UTF-8 path, no trailing '/').
std::string UserStateDir();
// Folder of the special-folder and drive overrides (UTF-8, no trailing '/').
std::string FolderMapDir();

// The runtime folder (UTF-8, no trailing '/'): what lives only while the
// user's processes run, shared by all of them (named mutexes' lock files,
// the transport's sockets). The transport removes it when its last socket
// closes and nothing else is left, so its users make it again whenever they
// need it.
std::string RuntimeDir();
// Creates the runtime folder (mode 0700; its parents as MakeDirs does); TRUE
// when it exists afterwards.
bool MakeRuntimeDir();

// Creates a folder and its parents (mode 0755 for new folders); TRUE when it
// exists afterwards.
bool MakeDirs(const std::string& path);

// Rereads WU_STATE_ROOT and the XDG variables. Tests that change the
// environment call this; everything else reads them once.
void ReloadStateRoot();

}  // namespace platform
