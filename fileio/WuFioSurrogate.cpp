// The surrogate from the managers' side: the launch, the connection of each
// manager with the process-wide launch count, the disconnection and
// creation of plug-in classes there.
#include "fileio/WuFioSurrogate.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>

#include "fileio/CWuFileIOManager.h"
#include "fileio/CWuGitHolder.h"
#include "fileio/WuFioBlanket.h"
#include "fileio/WuFioRemoteTables.h"
#include "foundation/WuErrorHandler.h"
#include "foundation/WuPathStrings.h"
#include "platform/kernel/module.h"
#include "platform/kernel/process.h"
#include "platform/kernel/threads.h"

namespace {

constexpr int kConnectTries = 10;    // tries of the process's own class id
constexpr DWORD kTryPauseMs = 100;   // between two tries that found no class

// ---- Process-wide state ------------------------------------------------------------------------

// A manager's connection: its holder of the surrogate interface and the
// surrogate's process id as the manager knows it.
struct ManagerLink {
  std::unique_ptr<CWuGitHolder> holder;  // registered while connected
  DWORD processId = 0;                   // 0 while not connected
};

std::mutex g_lock;                                        // guards what follows
LONG g_launchCount = 0;                                   // connected managers
DWORD g_surrogatePid = 0;                                 // the last launched surrogate
std::map<const CWuFileIOManager*, ManagerLink> g_links;   // managers that asked
std::set<const CWuFileIOManager*> g_surrogateManagers;    // managers of a surrogate
std::u16string g_folder;                                  // test folder, empty: the program's
HANDLE g_input = nullptr;                                 // test: the surrogate's standard input

// ---- Launch ------------------------------------------------------------------------------------

typedef HRESULT (*MonitorFn)(DWORD processId);

// Calls an export of a loaded "ErrorReport" module with `processId`;
// without the module or the export nothing happens.
void TellErrorReport(const char* exportName, DWORD processId) {
  HMODULE module = GetModuleHandleW(u"ErrorReport");
  if (!module) return;
  auto monitor = reinterpret_cast<MonitorFn>(GetProcAddress(module, exportName));
  if (monitor) monitor(processId);
}

// The surrogate program's path: the main executable's folder (or the test
// folder) and the program name.
std::u16string ProgramPath() {
  std::u16string folder = g_folder;
  if (folder.empty()) {
    WCHAR self[1024] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, 1024);
    if (n == 0 || n >= 1024) return {};
    *WuGetFileNamePtrW(self) = 0;
    folder = self;
  }
  if (!folder.empty() && folder.back() != u'/' && folder.back() != u'\\') folder += u'/';
  return folder + kWuFioSurrogateProgram;
}

// Starts the surrogate suspended, announces it, lets it run; g_lock held.
HRESULT LaunchLocked() {
  std::u16string path = ProgramPath();
  if (path.empty()) return WuErrorHandler_TranslateWin32Error(ERROR_FILE_NOT_FOUND);
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "%u", static_cast<unsigned>(WuFio_CurrentLangId()));
  std::u16string line = u"\"" + path + u"\" ";
  for (const char* c = lcid; *c; ++c) line += static_cast<char16_t>(*c);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  if (g_input) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = g_input;  // the outputs stay this process's
  }
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      nullptr, nullptr, &startup, &info))
    return WuErrorHandler_TranslateWin32Error(GetLastError());
  TellErrorReport("_ErrorReport_StartMonitoringProcess@4", info.dwProcessId);
  ResumeThread(info.hThread);
  g_surrogatePid = info.dwProcessId;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return S_OK;
}

// Steps 1 to 4 of a connection: count, launch when first, the tries, the
// process id. `link` belongs to g_links; the caller holds the manager's
// mutex, so no other thread connects this manager meanwhile.
HRESULT ConnectLink(ManagerLink* link) {
  DWORD launched = 0;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    if (g_launchCount == 0) {
      HRESULT hr = LaunchLocked();
      if (FAILED(hr)) return hr;
    }
    ++g_launchCount;
    launched = g_surrogatePid;
  }
  IWuFileIOSurrogate* surrogate = nullptr;
  HRESULT hr = REGDB_E_CLASSNOTREG;
  const CLSID own = WuFio_SurrogateClassIdOf(launched);
  for (int i = 0; i < kConnectTries; ++i) {
    hr = CoCreateInstance(own, nullptr, CLSCTX_LOCAL_SERVER, IID_IWuFileIOSurrogate,
                          reinterpret_cast<void**>(&surrogate));
    if (hr != REGDB_E_CLASSNOTREG) break;
    Sleep(kTryPauseMs);
  }
  bool plain = false;
  if (FAILED(hr)) {
    surrogate = nullptr;
    plain = true;
    hr = CoCreateInstance(CLSID_WuFileIOSurrogate, nullptr, CLSCTX_LOCAL_SERVER,
                          IID_IWuFileIOSurrogate, reinterpret_cast<void**>(&surrogate));
  }
  if (FAILED(hr) || !surrogate) {
    std::lock_guard<std::mutex> hold(g_lock);
    --g_launchCount;
    return FAILED(hr) ? hr : E_FAIL;
  }
  link->holder->Register(surrogate);
  // Reached by the plain id, the surrogate is another one than the one
  // launched (which never published its own id): it tells its process id,
  // to which handles must be copied.
  DWORD pid = plain ? 0 : launched;
  if (!pid) surrogate->GetProcessId(&pid);
  surrogate->Release();
  if (link->holder->Cookie() == 0) {
    std::lock_guard<std::mutex> hold(g_lock);
    --g_launchCount;
    return E_OUTOFMEMORY;
  }
  link->processId = pid;
  return S_OK;
}

}  // namespace

DWORD WUFileIO_GetSurrogateProcessID() {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_surrogatePid;
}

void WuFio_SetSurrogateFolder(LPCWSTR folder) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_folder = folder ? folder : u"";
}

void WuFio_SetSurrogateInput(HANDLE input) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_input = input;
}

CLSID WuFio_SurrogateClassIdOf(DWORD processId) {
  CLSID id = CLSID_WuFileIOSurrogate;
  id.Data1 ^= processId;
  return id;
}

HRESULT WuFio_ConnectSurrogate(CWuFileIOManager* manager, IWuFileIOSurrogate** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!manager) return E_INVALIDARG;
  WuFio_RegisterRemoteTables();
  ManagerLink* link = nullptr;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    link = &g_links[manager];  // map nodes stay where they are
    if (!link->holder) link->holder = std::make_unique<CWuGitHolder>(IID_IWuFileIOSurrogate);
  }
  if (link->holder->Cookie() == 0) {
    HRESULT hr = ConnectLink(link);
    if (FAILED(hr)) return hr;
  }
  IUnknown* mine = link->holder->GetForThread();
  if (!mine) return CO_E_NOTINITIALIZED;
  mine->AddRef();
  *out = static_cast<IWuFileIOSurrogate*>(mine);
  return S_OK;
}

void WuFio_DisconnectSurrogate(CWuFileIOManager* manager) {
  std::unique_ptr<CWuGitHolder> holder;
  {
    std::lock_guard<std::mutex> hold(g_lock);
    auto it = g_links.find(manager);
    if (it == g_links.end()) return;
    holder = std::move(it->second.holder);
    g_links.erase(it);
    if (!holder || holder->Cookie() == 0) return;
    if (--g_launchCount == 0) TellErrorReport("_ErrorReport_StopMonitoringProcess@4", g_surrogatePid);
  }
  holder->Revoke();
}

DWORD WuFio_ManagerSurrogateProcessId(const CWuFileIOManager* manager) {
  std::lock_guard<std::mutex> hold(g_lock);
  auto it = g_links.find(manager);
  return it == g_links.end() ? 0 : it->second.processId;
}

HRESULT WuFio_CreateInSurrogate(CWuFileIOManager* manager, WUFIO_PLUGIN_RECORD* record,
                                REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!record) return E_INVALIDARG;
  // The library text: the path, '|' and the preload modules.
  std::u16string library = record->path;
  library += u'|';
  if (record->preloads) {
    if (std::u16string_view(record->preloads).find(u'|') != std::u16string_view::npos)
      return E_INVALIDARG;
    library += record->preloads;
  }
  IWuFileIOSurrogate* surrogate = nullptr;
  HRESULT hr = WuFio_ConnectSurrogate(manager, &surrogate);
  if (FAILED(hr)) return hr;
  hr = surrogate->CreatePluginClass(library.c_str(), record->classId, iid, out);
  surrogate->Release();
  if (FAILED(hr)) {
    *out = nullptr;
    return hr;
  }
  if (!*out) return E_FAIL;
  record->flags |= WUFIO_PLUGIN_IN_SURROGATE;
  if (IsEqualGUID(iid, IID_IWuReadFileClass) || IsEqualGUID(iid, IID_IWuRenderFileClass)) {
    HRESULT wrapped =
        WuFio_WrapInBlanket(iid, out, nullptr, static_cast<IWuFileIOMgrForApp*>(manager));
    if (FAILED(wrapped)) return wrapped;
  }
  return hr;
}

HRESULT WuFio_EditInSurrogate(CWuFileIOManager* manager, IWuRenderFileClass* cls, LONG pageWord,
                              const void* settings, DWORD* flags, IStream* templates,
                              tagWUTEMPLATExV2* in, tagWUTEMPLATExV2** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IWuFileIOSurrogate* surrogate = nullptr;
  HRESULT hr = WuFio_ConnectSurrogate(manager, &surrogate);
  if (FAILED(hr)) return hr;
  hr = surrogate->EditTemplate(nullptr, cls, pageWord, settings, flags, templates, in, out);
  surrogate->Release();
  return hr;
}

HRESULT WuFio_CloseInSurrogate(CWuFileIOManager* manager, HANDLE copy) {
  IWuFileIOSurrogate* surrogate = nullptr;
  HRESULT hr = WuFio_ConnectSurrogate(manager, &surrogate);
  if (FAILED(hr)) return hr;
  hr = surrogate->CloseCopiedHandle(static_cast<ULONGLONG>(reinterpret_cast<ULONG_PTR>(copy)));
  surrogate->Release();
  return hr;
}

void WuFio_MarkSurrogateManager(const CWuFileIOManager* manager) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_surrogateManagers.insert(manager);
}

bool WuFio_IsSurrogateManager(const CWuFileIOManager* manager) {
  std::lock_guard<std::mutex> hold(g_lock);
  return g_surrogateManagers.count(manager) != 0;
}

void WuFio_ForgetManager(const CWuFileIOManager* manager) {
  std::lock_guard<std::mutex> hold(g_lock);
  g_surrogateManagers.erase(manager);
}
