// The out-of-process surrogate: the program "FileIOSurrogate.exe" next to
// the main executable hosts plug-in classes that must not run in the
// application (libraries for another machine and classes marked
// "ForceOutOfProcess"). It publishes a class object of its own
// (IWuFileIOSurrogate) through which managers create such classes there.
//
// Manager side (under the manager's named mutex):
//  - the first connection of the process launches the surrogate: created
//    suspended, announced to a loaded "ErrorReport" module
//    ("_ErrorReport_StartMonitoringProcess@4" with its process id),
//    resumed, both handles closed;
//  - connecting tries ten times, 100 ms apart, the class id whose first 32
//    bits are XORed with the launched process id, then once the plain id;
//  - each manager connects at most once: the process-wide launch count
//    counts connected managers; a failed connection takes its count back;
//    the last disconnection tells "ErrorReport"
//    ("_ErrorReport_StopMonitoringProcess@4") and lets the next connection
//    launch a new surrogate;
//  - the surrogate's interface is kept in a Global Interface Table holder
//    per manager, so any thread can use it.
//
// Surrogate side: its manager (made by WUFileIO_CreateSurrogateManagerInstance)
// creates every class in its own process; each client gets an object of
// its own from the class object, and the program ends when the last of
// them goes.
#pragma once

#include "fileio/WuFileIO.h"
#include "fileio/WuFioPluginRecord.h"
#include "platform/kernel/types.h"

class CWuFileIOManager;

// The program file name of the surrogate.
inline constexpr WCHAR kWuFioSurrogateProgram[] = u"FileIOSurrogate.exe";

// The process id of the surrogate this process launched last, 0 before
// any launch.
DWORD WUFileIO_GetSurrogateProcessID();

// Test hook: the folder the surrogate program is started from (NULL: the
// main executable's folder again).
void WuFio_SetSurrogateFolder(LPCWSTR folder);

// Test hook: a file handle the next surrogates get as their standard input
// (NULL: this process's), kept by the caller while it is set. A surrogate's
// dialogs run under the platform's automatic front end, which is the
// terminal's only when its standard input and output are one terminal.
void WuFio_SetSurrogateInput(HANDLE input);

// The class id a surrogate of process `processId` registers besides the
// plain one: Data1 XORed with the process id.
CLSID WuFio_SurrogateClassIdOf(DWORD processId);

// ---- Manager side ------------------------------------------------------------------------
// The surrogate interface for the calling thread (a new reference),
// connecting first when this manager is not connected. The converted
// launch error, or the last creation error after the tries.
HRESULT WuFio_ConnectSurrogate(CWuFileIOManager* manager, IWuFileIOSurrogate** out);
// Disconnects a connected manager (nothing otherwise).
void WuFio_DisconnectSurrogate(CWuFileIOManager* manager);
// The surrogate process id this manager is connected to, 0 none.
DWORD WuFio_ManagerSurrogateProcessId(const CWuFileIOManager* manager);
// Creates the class of `record` in the surrogate, asked for `iid`: operation
// 4 with the record's library text (below) and class id. On success the
// record gets 0x200 and a reader or renderer class comes wrapped in a
// blanket whose data is `manager`.
//
// Operation 4's library text is the library path, then '|' and the
// record's ";"-separated preload modules (empty when it has none), so that
// the surrogate's manager loads them first, as the in-process path does.
// The surrogate splits the text at its last '|'; a preload list holding
// '|' is refused (E_INVALIDARG). A text without '|' is a bare path.
HRESULT WuFio_CreateInSurrogate(CWuFileIOManager* manager, WUFIO_PLUGIN_RECORD* record,
                                REFIID iid, void** out);
// The template editor for a renderer class hosted in the surrogate (its
// record has 0x200): operation 9 with the manager's EditTemplate
// arguments. The editor runs in the surrogate, without an owner window,
// under the surrogate's front end; `cls` crosses as its class id and
// `templates` as its bytes (read from its position to its end, at most
// 32 MiB, else E_INVALIDARG). *out is a
// template record the caller owns (free) that passed the layout check
// (else 0x8004E00B); RPC_E_DISCONNECTED when the surrogate is gone.
HRESULT WuFio_EditInSurrogate(CWuFileIOManager* manager, IWuRenderFileClass* cls, LONG pageWord,
                              const void* settings, DWORD* flags, IStream* templates,
                              tagWUTEMPLATExV2* in, tagWUTEMPLATExV2** out);
// Tells the surrogate to close `copy`, a handle copied into it.
HRESULT WuFio_CloseInSurrogate(CWuFileIOManager* manager, HANDLE copy);

// Marks `manager` as a surrogate's own manager, which creates every class
// in its process; forgets it when `manager` goes (WuFio_ForgetManager).
void WuFio_MarkSurrogateManager(const CWuFileIOManager* manager);
bool WuFio_IsSurrogateManager(const CWuFileIOManager* manager);
void WuFio_ForgetManager(const CWuFileIOManager* manager);

// ---- Surrogate side ------------------------------------------------------------------------
// What the surrogate program serves.
class IWuFioSurrogateHost {
 public:
  // A client's object was made (true for the first of the program).
  virtual void ClientCame() = 0;
  // A client's object went; `last` when no client is left.
  virtual void ClientLeft(bool last) = 0;

 protected:
  ~IWuFioSurrogateHost() = default;
};

// Serving operation 9: the renderer class `id` among those that the client
// object `object` created (a new reference): matched by the class id it
// was created under or the one it answers. E_INVALIDARG when it made no
// such class; E_NOINTERFACE (and NULL) when `object` is not a surrogate's
// client object.
HRESULT WuFio_SurrogateClassById(IWuFileIOSurrogate* object, const GUID& id, IWuRenderFileClass** out);

// The surrogate's class object (IClassFactory): each CreateInstance makes
// a new IWuFileIOSurrogate over `manager` (held) and reports to `host`
// (which must outlive it).
HRESULT WuFio_NewSurrogateClassObject(IWuFileIOMgrForApp* manager, IWuFioSurrogateHost* host,
                                      IUnknown** out);
