// FileIOSurrogate: hosts file-I/O plug-in classes outside the application.
//
//   FileIOSurrogate.exe LCID
//
// Starts the library kernel in the language LCID, makes a surrogate
// manager and publishes its class object under the class id whose first
// 32 bits are XORed with this process's id, and under the plain id unless
// a live surrogate already holds it. Ends when its last client goes, or
// 30 s after its start when no client came.
//
// Test builds: WU_FIO_SURROGATE_DELAY_MS publishes that much later;
// WU_FIO_SURROGATE_NEVER_MS never publishes and ends after that long;
// WU_FIO_SURROGATE_IDLE_MS waits that long for a first client.
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuTemplateInfoPropPage.h"
#include "fileio/WuFioHostExports.h"
#include "fileio/WuFioSurrogate.h"
#include "foundation/WuKernel.h"
#include "foundation/WuLang.h"
#include "platform/com/remote.h"
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"
#include "platform/kernel/time.h"

#ifndef WU_FIO_SURROGATE_DELAY_MS
#define WU_FIO_SURROGATE_DELAY_MS 0
#endif
#ifndef WU_FIO_SURROGATE_IDLE_MS
#define WU_FIO_SURROGATE_IDLE_MS 30000
#endif

namespace {

constexpr ULONGLONG kNoClientMs = WU_FIO_SURROGATE_IDLE_MS;  // the life of a surrogate nobody reached

// Exports of this program that renderer plug-ins call besides the host's
// (WuFio_KeepHostExports): the template-information page they may offer
// among their pages, which the template editor shows here.
const void* const kSurrogateExports[] = {
    reinterpret_cast<const void*>(&WuFio_CreateTemplateInfoPropPage),
};

// Learns when the first client comes and the last one goes.
class Host final : public IWuFioSurrogateHost {
 public:
  void ClientCame() override {
    std::lock_guard<std::mutex> hold(lock_);
    came_ = true;
    changed_.notify_all();
  }
  void ClientLeft(bool last) override {
    std::lock_guard<std::mutex> hold(lock_);
    if (last) gone_ = true;
    changed_.notify_all();
  }
  // Waits until a client came and every client went, or until `deadline`
  // (a tick count) passes without a client. True when clients came.
  bool Wait(ULONGLONG deadline) {
    std::unique_lock<std::mutex> hold(lock_);
    while (!came_) {
      ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      changed_.wait_for(hold, std::chrono::milliseconds(deadline - now));
    }
    changed_.wait(hold, [this] { return gone_; });
    return true;
  }

 private:
  std::mutex lock_;                    // guards what follows
  std::condition_variable changed_;    // a client came or went
  bool came_ = false;                  // a client came
  bool gone_ = false;                  // the last client went
};

}  // namespace

int main(int argc, char** argv) {
  const ULONGLONG started = GetTickCount64();
  platform::SetCommandLineFromArgv(argc, argv);
  WuFio_KeepHostExports();
  // Read through a volatile pointer, so that the table stays linked.
  const void* const* volatile kept = kSurrogateExports;
  (void)kept;
  const LCID lcid = argc > 1 ? static_cast<LCID>(std::strtoul(argv[1], nullptr, 10)) : 0;
  WuKernel_EarlyInitialize(GetModuleHandleW(nullptr), 0);
  WuLang_UpdateKernelLCID(WuKernel_GetLangHandle(), lcid, 0);

  WCHAR self[1024] = {};
  DWORD n = GetModuleFileNameW(nullptr, self, 1024);
  if (n == 0 || n >= 1024) return 1;
  IWuFileIOMgrForApp* manager = nullptr;
  if (FAILED(WUFileIO_CreateSurrogateManagerInstance(&manager, WUFIO_CREATE_NO_SEARCH, nullptr, self)))
    return 1;
  Host host;
  IUnknown* classObject = nullptr;
  if (FAILED(WuFio_NewSurrogateClassObject(manager, &host, &classObject))) return 1;
  manager->Release();  // the class object holds it

#ifdef WU_FIO_SURROGATE_NEVER_MS
  Sleep(WU_FIO_SURROGATE_NEVER_MS);
  ExitProcess(0);
#endif
  if (WU_FIO_SURROGATE_DELAY_MS) Sleep(WU_FIO_SURROGATE_DELAY_MS);

  DWORD own = 0, plain = 0;
  if (FAILED(CoRegisterClassObject(WuFio_SurrogateClassIdOf(GetCurrentProcessId()), classObject,
                                   CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &own)))
    ExitProcess(1);
  // A live surrogate keeps the plain id (CO_E_OBJISREG); this one is then
  // reached by its own id only.
  CoRegisterClassObject(CLSID_WuFileIOSurrogate, classObject, CLSCTX_LOCAL_SERVER,
                        REGCLS_MULTIPLEUSE, &plain);
  host.Wait(started + kNoClientMs);
  if (plain) CoRevokeClassObject(plain);
  CoRevokeClassObject(own);
  // Connections and their threads end with the process.
  ExitProcess(0);
}
