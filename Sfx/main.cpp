// wusfx: the self-extracting package's program. It runs the package that
// it is the front of and ends with the run's exit code as its status.
#include "Sfx/SfxRun.h"
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"

int main(int argc, char** argv) {
  platform::SetCommandLineFromArgv(argc, argv);
  // What the setup program leaves behind comes back to us, never to init,
  // so that a signal can stop it too.
  platform::BecomeChildSubreaper();
  DWORD code = SfxWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), 1);
  // Linux keeps 8 bits of a status: codes above 255 keep their low byte,
  // or become 1, so that a failure never reads as success.
  return SfxExitStatus(code);
}
