// The shell area's answers to the areas below it. A lower area may not call
// a higher one, so where kernel or registry need something the shell
// area holds, they keep a hook and this file fills it when the program
// starts:
//   kernel/module    the exports of the help control module "hhctrl.ocx"
//                    (the help viewers, help.cpp);
//   registry/profile the Windows folder where bare profile names live (the
//                    special folders, shell.cpp).
// (The built-in shell link class registers itself, in shelllink.cpp, in the
// programs that name it.)
// Every program that links the platform refers to wu_platform_shell_hooks
// (platform/CMakeLists.txt), so this member of the archive is always linked.
#include <string>

#include "platform/kernel/module.h"
#include "platform/registry/profile.h"
#include "platform/shell/help.h"
#include "platform/shell/shell.h"

// The symbol the link asks for.
extern "C" {
extern const int wu_platform_shell_hooks;
const int wu_platform_shell_hooks = 1;
}

namespace {

std::string WindowsFolder(bool create) {
  return platform::SpecialFolderPath(CSIDL_WINDOWS, create);
}

struct ShellHooks {
  ShellHooks() {
    platform::SetHelpControlExports(&platform::HelpControlExport);
    platform::SetWindowsFolderQuery(&WindowsFolder);
  }
};
const ShellHooks g_shell_hooks;

}  // namespace
