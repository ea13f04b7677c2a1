// The file-I/O manager: the host of the media file-format plug-ins. It
// finds plug-in libraries through configuration files, keeps what they
// offer in a per-user cache, holds the sorted reader and renderer lists,
// loads plug-in classes on demand on its worker thread and identifies
// which reader opens a file. A host reaches it only through its interface
// pointer and the factories below.
#pragma once

#include <atomic>
#include <vector>

#include "fileio/CWuFioCallThread.h"
#include "fileio/WuFileIO.h"
#include "fileio/WuFioPluginRecord.h"
#include "platform/kernel/types.h"

class CWuReaderEnum;
class CWuRendererEnum;
class CWuFIOPluginEnum;
class CWuFileIOTypeEnum;

// Creation flags of the factories and of Initialize.
constexpr DWORD WUFIO_CREATE_IGNORE_CACHE = 0x4;     // probe every library (kept in metric 0 during creation)
constexpr DWORD WUFIO_CREATE_NEXT_TO_MODULE = 0x40;  // caches and metrics next to the module
constexpr DWORD WUFIO_CREATE_NO_CACHE_WRITE = 0x80;  // ignore the cache, write none, keep metric 0
constexpr DWORD WUFIO_CREATE_NO_SEARCH = 0x100;      // do not search for plug-ins

// Status codes of the manager.
constexpr HRESULT WUFIO_E_NOT_FOUND = static_cast<HRESULT>(0x8004E016);       // no reader or renderer
constexpr HRESULT WUFIO_S_PASSED_OVER = 0x0004E016;  // won while another could open it later
constexpr HRESULT WUFIO_E_ABSENT = static_cast<HRESULT>(0x8004E00A);          // absent metric, no enumerator
constexpr HRESULT WUFIO_E_REFUSED = static_cast<HRESULT>(0x8004E033);         // the file's content is refused
constexpr HRESULT WUFIO_E_NOT_NOW = static_cast<HRESULT>(0x8004E086);         // could open, but not now
constexpr HRESULT WUFIO_E_DEPENDENCY = static_cast<HRESULT>(0x8004E047);      // could open, but not now; a missing class
constexpr HRESULT WUFIO_E_BUFFER_TOO_SMALL = static_cast<HRESULT>(0x8004E03C);

// Whether a class's answer says it could open the file, but not now.
inline bool WuFio_IsPossibleAnswer(HRESULT answer) {
  return answer == WUFIO_E_NOT_NOW || answer == WUFIO_E_DEPENDENCY;
}

// Asked of QueryInterface, a manager of this library answers with the
// CWuFileIOManager object itself (a reference added).
inline constexpr IID IID_CWuFileIOManager = {0x6B1E2C9A, 0x3F47, 0x4D21,
                                             {0x9E, 0x58, 0x0C, 0x7A, 0x41, 0xD2, 0x8B, 0x63}};

class CWuFileIOManager final : public IWuFileIOMgrForApp {
 public:
  // A zero-filled object from global memory, constructed; NULL when memory
  // runs out. Its reference count is 0 until QueryInterface.
  static CWuFileIOManager* Create();

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetLanguageId(DWORD* lcid, LONG reserved) override;
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT GetMetric(DWORD id, LONG* value) override;
  HRESULT SetMetric(DWORD id, LONG value) override;
  HRESULT GetMetricString(DWORD id, LPWSTR buffer, LONG size, LONG* chars) override;
  HRESULT SetMetricString(DWORD id, LPCWSTR text) override;
  HRESULT DeleteMetric(DWORD id, LONG kind) override;
  HRESULT GetMetricBinary(DWORD id, void* buffer, DWORD bytes, DWORD* got) override;
  HRESULT SetMetricBinary(DWORD id, const void* data, DWORD bytes) override;
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT GetReaderClassByTypeCode(IWuReadFileClass** out, LONG code) override;
  HRESULT GetReaderClassById(IWuReadFileClass** out, GUID id) override;
  HRESULT GetRendererClassById(IWuRenderFileClass** out, GUID id) override;
  HRESULT FindReaderClassByExtension(IWuReadFileClass** out, LPCWSTR ext, LONG* key) override;
  HRESULT FindRendererClassByExtension(IWuRenderFileClass** out, LPCWSTR ext,
                                       LONG* key) override;
  HRESULT OpenFile(LPCWSTR path, IWuReadFile** out, DWORD flags) override;
  HRESULT OpenFileWithClass(LPCWSTR path, IWuReadFile** out, GUID readerId, DWORD flags) override;
  // Runs the template editor (the surrogate's manager's, for a class
  // hosted there); *out the chosen template or NULL.
  HRESULT EditTemplate(HWND owner, IWuRenderFileClass* cls, LONG pageWord, const void* settings,
                       DWORD* flags, IStream* templates, tagWUTEMPLATExV2* in,
                       tagWUTEMPLATExV2** out) override;
  HRESULT Initialize(DWORD flags) override;
  HRESULT Shutdown() override;
  HRESULT GetReaderEnum(IWuFileIOTypeEnum** out) override;
  HRESULT GetRendererEnum(IWuFileIOTypeEnum** out) override;
  LONG GetReaderCount() override;
  LONG GetRendererCount() override;
  HRESULT IdentifyReader(HANDLE file, LPCWSTR path, LONG* key, DWORD flags) override;
  HRESULT FindReaderByFileName(LPCWSTR path, LONG* key) override;
  HRESULT GetReaderClassByKey(IWuReadFileClass** out, LONG key) override;
  HRESULT GetRendererClassByKey(IWuRenderFileClass** out, LONG key) override;
  HRESULT FindRendererClassByDialogName(IWuRenderFileClass** out, LPCWSTR text) override;
  HRESULT Reserved32() override { return E_NOTIMPL; }
  HRESULT FindLockingReaderClass(LPCWSTR path, IWuReadFileClass** out) override;
  HRESULT NotifyReaderOfFile(LPCWSTR path, DWORD flags) override;
  HRESULT GetPluginCount(LONG* count) override;
  HRESULT HasPlugin(GUID id) override;
  HRESULT GetPluginEnum(IWuFIOPluginEnum** out) override;
  HRESULT GetPluginInfo(GUID id, WUFIO_PLUGIN_INFO* info) override;
  // File-type filter builders over this manager's plug-in list.
  HRESULT CreateFilterBuilder(IWuFioFilterBuilder2** out, LONG kind, LONG value,
                              DWORD flags) override;
  HRESULT CreateFilterBuilderEx(IWuFioFilterBuilder2** out, LONG kind, DWORD mask,
                                DWORD matchValue, DWORD flags) override;
  void DeletingDestructor(LONG flags) override;
  HRESULT InitializeEx(DWORD flags, LPCWSTR appFolderName) override;
  HRESULT LoadPluginsFromCache(tWULIST* list, DWORD flags, void* context) override;
  HRESULT AddPluginCandidates(tWULIST** out, const WCHAR* const* paths, LONG count, DWORD flags,
                              LONG* reserved) override;
  HRESULT FindPlugins(tWULIST** out, DWORD flags, LONG* reserved) override;
  HRESULT Reserved46() override { return E_NOTIMPL; }
  HRESULT ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS* metrics) override;
  HRESULT SetPluginList(tWULIST* list, DWORD filterFlags, const GUID* filterList,
                        LONG filterCount) override;
  HRESULT SaveCache(DWORD flags) override;
  HRESULT GetReaderKeyByTypeCode(LONG code, LONG* key) override;
  HRESULT GetLastUsedReaderClass(IWuReadFileClass** out) override;
  HRESULT NoteReaderClassUsed(IWuReadFileClass* cls) override;
  HRESULT GetLastUsedRendererClass(IWuRenderFileClass** out) override;
  HRESULT NoteRendererClassUsed(IWuRenderFileClass* cls) override;

  // ---- For the enumerators, the factories and tests -----------------------------------
  // Loads a record's renderer and reader classes (dependencies first) on
  // the worker thread; the reader's failure is returned before the
  // renderer's.
  HRESULT LoadRecordClasses(WUFIO_PLUGIN_RECORD* record);
  // Loads every record of the reader list, the renderer list and the whole
  // plug-in list whose refresh bit is set, clearing the bit.
  void Refresh();
  // Creates a record's class object for `iid` as class loading does: in the
  // surrogate for foreign and forced-out records, unless this is a
  // surrogate's own manager, which creates every class in its process.
  HRESULT CreateRecordClass(WUFIO_PLUGIN_RECORD* record, REFIID iid, void** out) {
    return CreateClass(record, iid, out);
  }
  // Lets go of the libraries the probes kept loaded for the refresh.
  void ReleaseProbeHolds();
  // The plug-in list (not a new reference).
  tWULIST* PluginList() const { return plugins_; }
  // The mutex handle, INVALID_HANDLE_VALUE when none.
  HANDLE MutexHandle() const { return mutex_; }
  // The worker record (for tests).
  CWuFioCallThread& Worker() { return worker_; }
  // The global template cache (an owned reference, NULL none); the template
  // cache code keeps it.
  void** TemplateCacheSlot() { return &templateCache_; }
  // The library path of the first record of any live manager that offers
  // the renderer class `rendererId`; 0x8004E00A when none.
  static HRESULT FindRendererLibrary(const GUID& rendererId, LPWSTR out, DWORD size);
  // The refusal test of a file head: true when no plug-in may see it.
  static bool IsRefusedHead(const BYTE* head, DWORD bytes);

 private:
  CWuFileIOManager();
  ~CWuFileIOManager();

  // Frees the plug-in list (unless it is `list`) and keeps `list`.
  void ReplacePluginList(tWULIST* list);
  // Takes and releases the named mutex (nothing when there is none).
  void Lock();
  void Unlock();
  // The record of a reader (renderer) key, NULL when none.
  WUFIO_PLUGIN_RECORD* ReaderRecord(LONG key) const;
  WUFIO_PLUGIN_RECORD* RendererRecord(LONG key) const;
  // The class object of a record's part, loaded on demand, asked for `iid`.
  HRESULT ClassOf(WUFIO_PLUGIN_RECORD* record, bool reader, void** out);
  // Extension lookups over either list: *key receives the place of the
  // class found.
  HRESULT FindByExtension(bool reader, LPCWSTR ext, LONG* key, void** out);
  // Asks the reader of `key` whether it accepts the file; a class hosted in
  // the surrogate gets the copy of `file` in *copied, made on first need.
  HRESULT AskReader(LONG key, HANDLE file, HANDLE* copied, const BYTE* head, DWORD bytes,
                    LPCWSTR ext);
  // The posted call that loads a record's classes.
  static HRESULT LoadOnWorker(void* data);
  // Creates a record's class object for `iid` (in process, or in the
  // surrogate).
  HRESULT CreateClass(WUFIO_PLUGIN_RECORD* record, REFIID iid, void** out);
  // Loads a record's reader (renderer) part; under the mutex on the worker.
  HRESULT LoadPart(WUFIO_PLUGIN_RECORD* record, bool reader);
  // Cache read over a list; true when every library was fresh.
  bool ReadCache(tWULIST* list);
  // Probes the library of record `index`; returns the records it added.
  LONG Probe(tWULIST* list, LONG index);
  // Reads the configuration files into a candidate list.
  HRESULT SearchFolders(tWULIST* list);

  CWuReaderEnum* readers_;           // owned reference, NULL until the lists are built
  CWuRendererEnum* renderers_;       // owned reference
  CWuFIOPluginEnum* pluginEnum_;     // owned reference
  std::atomic<LONG> references_;     // reference count (atomic: blankets and builders share it)
  LONG lastReader_;                  // key of the last used reader class, -1 none
  LONG lastRenderer_;                // key of the last used renderer class, -1 none
  LONG initialisedCom_;              // never set: the worker initialises its own thread
  tWULIST* plugins_;                 // the plug-in list (owned records)
  LONG metrics_[40];                 // in-memory metrics 0..39
  HANDLE mutex_;                     // the named mutex, INVALID_HANDLE_VALUE when none
  DWORD flags_;                      // the flags of the last InitializeEx
  std::atomic<DWORD> lockOwner_;     // the thread that holds the mutex through Lock, 0 none
  LONG lockDepth_;                   // its holds (read and written by that thread only)
  void* templateCache_;              // the global template cache (CWuGlobalTemplateCache), NULL none
  DWORD surrogateProcessId_;         // the surrogate this manager talks to, 0 none
  std::vector<HMODULE> probeHolds_;  // libraries kept loaded between probe and refresh
  CWuFioCallThread worker_;          // the worker thread
};

// ---- Factories ---------------------------------------------------------------------------
// A manager with the plug-ins the configuration files name (filtered by
// `info` when given); NULL out on failure.
HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags, _WUFIO_KEYED_INFO* info);
HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags);
// A manager with exactly the libraries given.
HRESULT WUFileIO_CreateInstance(IWuFileIOMgrForApp** out, DWORD flags, const WCHAR* const* paths,
                                LONG count);
// The surrogate's manager: no plug-in lists; the cache paths come from
// `modulePath` when not set yet.
HRESULT WUFileIO_CreateSurrogateManagerInstance(IWuFileIOMgrForApp** out, DWORD flags,
                                                _WUFIO_INITIALIZATION_METRICS* metrics,
                                                LPCWSTR modulePath);
