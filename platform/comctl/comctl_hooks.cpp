// The comctl area's answers to the areas below it. The window model (user
// area) registers the system classes the first time a class is looked up;
// the common control classes are among them, so this file hands the model
// their registration when the program starts. Every program that links the
// platform refers to wu_platform_comctl_hooks (platform/CMakeLists.txt), so
// this member of the archive is always linked.
#include "platform/comctl/commctrl.h"
#include "platform/user/windows.h"

// The symbol the link asks for.
extern "C" {
extern const int wu_platform_comctl_hooks;
const int wu_platform_comctl_hooks = 1;
}

namespace {

struct ComctlHooks {
  ComctlHooks() { platform::SetCommonControlClassRegistrar(&platform::RegisterCommonControlClasses); }
};
const ComctlHooks g_comctl_hooks;

}  // namespace
