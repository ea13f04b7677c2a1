// A fake plug-in world for the file-properties tests, driven by a
// description of media files: open readers with their streams, texts and
// values, a reader class (class id, state, string properties), a renderer
// class, a metadata reader with the loop-info, media-tag and enumerator
// kinds (over metatest::TestReadMeta), the file chain, and a manager that
// opens the described files and enumerates 592-byte plug-in records.
//
// Every object belongs to the world and is never deleted by Release; each
// counts the references it handed out, and every BSTR the fakes give is
// counted until someone frees it (SysFreeString is wrapped at link time in
// the test program), so a test sees every interface released and every
// text freed (World::Leaks).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fileio/WuFileIO.h"
#include "platform/com/oleauto.h"
#include "tests/mediaformats/TestReadMeta.h"

namespace fakefio {

// ---- BSTR accounting ----------------------------------------------------------------------
// A new BSTR of `text`, counted until freed.
BSTR CountedBstr(const std::u16string& text);
// Counted BSTRs not freed yet.
int LiveBstrs();

// ---- Answers ------------------------------------------------------------------------------
// A text answer: the result code and the text written into the caller's
// buffer (cut to its size, terminated, unless `unterminated`: then the
// whole buffer is filled with 'x' and no terminator).
struct Text {
  HRESULT hr = E_NOTIMPL;
  std::u16string text;
  bool unterminated = false;
};
inline Text Ok(const std::u16string& text) { return {S_OK, text, false}; }

// A value answer: the result code and the bytes copied into the caller's
// buffer (at most its size).
struct Value {
  HRESULT hr = E_NOTIMPL;
  std::string bytes;
};
inline Value OkBytes(const std::string& bytes) { return {S_OK, bytes}; }
inline Value OkI64(long long v) { return {S_OK, metatest::Le64(static_cast<uint64_t>(v))}; }

// One stream of a fake file.
struct StreamDesc {
  HRESULT identityResult = S_OK;  // GetStreamIdentity
  DWORD type = 1;                 // 1 audio, 2 video, 4 MIDI, 8 other
  LONG ordinal = 0;
  HRESULT formatResult = S_OK;    // GetStreamFormat
  LONGLONG length = 0;            // record bytes 8-15: samples or frames
  DWORD fieldOrder = 0;           // bytes 36-39
  double frameRate = 0;           // bytes 40-47
  DWORD sampleRate = 0;           // bytes 96-99
  DWORD answerSize = 184;         // written into the record's size field
  Text texts[4];                  // GetStreamText kinds 1 codec, 2 description, 3 text rate
  Value values[6];                // GetStreamValue kinds 1..5
};

// The metadata reader: TestReadMeta's kinds (broadcast wave, project link,
// version, enumerator, region, command and summary streams) and the
// loop-info and media-tag kinds, with text values by FOURCC.
class FakeMeta final : public IWuReadMeta, public IWuReadMetaLoopInfo, public IWuReadMetaMediaTag {
 public:
  metatest::TestReadMeta base;              // the kinds it delegates
  std::map<DWORD, Text> textValues;         // GetTextValue by id (others S_FALSE, empty)
  bool hasLoopInfo = false;                 // QueryInterface offers the loop-info kind
  HRESULT loopResult = S_FALSE;             // GetLoopRecord
  WuMetaLoopRecord loop{};                  // its record
  HRESULT stretchResult = S_FALSE;          // GetStretchRecord
  std::optional<std::string> stretchList;   // GetStretchList's stream
  bool hasMediaTag = false;                 // QueryInterface offers the media-tag kind
  HRESULT tagResult = S_FALSE;              // GetInfo
  WuMetaMediaTagInfo tagInfo{};             // its record

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT GetRegionStream(IStream** s) override { return base.GetRegionStream(s); }
  HRESULT GetCommandStream(IStream** s) override { return base.GetCommandStream(s); }
  HRESULT ReservedOperation(void*) override { return E_NOTIMPL; }
  HRESULT GetTextValue(DWORD id, LPWSTR buffer, int size) override;
  HRESULT GetSummaryStream(IStream** s) override { return base.GetSummaryStream(s); }
  HRESULT GetLoopRecord(WuMetaLoopRecord* record) override;
  HRESULT GetStretchRecord(void* record, DWORD bytes) override;
  HRESULT GetStretchList(IStream** stream) override;
  HRESULT GetTagStream(IStream** stream) override;
  HRESULT GetInfo(WuMetaMediaTagInfo* info) override;

  // References held, here and in the delegated kinds; streams not released.
  ULONG refs() const { return refs_ + base.refs(); }
  int live() const { return base.live() + live_; }

 private:
  ULONG refs_ = 0;
  int live_ = 0;
};

// The reader class: class id, state and string properties by id.
class FakeClass final : public IWuReadFileClass {
 public:
  GUID classId{};
  HRESULT classIdResult = S_OK;
  std::map<DWORD, std::u16string> strings;  // property id -> text
  HRESULT stringsResult = S_OK;
  HRESULT status = S_OK;                    // GetState's status
  std::optional<std::u16string> stateText;  // and its explanation

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
  HRESULT GetClassId(GUID* id) override;
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetStreamTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetRendererClass(IWuRenderFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override;
  HRESULT CheckFile(HANDLE, const void*, DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT CheckPath(LPCWSTR) override { return E_NOTIMPL; }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT Open(IWuReadFile**, HANDLE, DWORD, LPCWSTR, LONG) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT* status, BSTR* text) override;

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
};

// A renderer class: string properties by id and a state.
class FakeRenderClass final : public IWuRenderFileClass {
 public:
  GUID classId{};
  std::map<DWORD, std::u16string> strings;
  HRESULT stringsResult = S_OK;
  HRESULT status = S_OK;
  std::optional<std::u16string> stateText;

  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
  HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
  HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
  HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
  HRESULT GetClassId(GUID* id) override {
    *id = classId;
    return S_OK;
  }
  HRESULT GetPartMask(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) override;
  HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return E_NOTIMPL; }
  HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT GetPresetCount(LONG*) override { return E_NOTIMPL; }
  HRESULT GetPreset(tagWUTEMPLATExV2**, LONG) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override { return E_NOTIMPL; }
  HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, const tagWUTEMPLATExV2*,
                            LONG) override {
    return E_NOTIMPL;
  }
  HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
  HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
  HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT GetState(HRESULT* status, BSTR* text) override;

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
};

// An open media file, with the file-chain interface when `chain` is set.
class FakeReader final : public IWuReadFile, public IWuReadFileChain {
 public:
  std::u16string fileName;            // GetFileName
  HRESULT fileNameResult = S_OK;
  Text fileTexts[3];                  // GetFileText kinds 1 type name, 2 text rate
  Value fileValues[5];                // GetFileValue kinds 1..4
  HRESULT durationResult = S_OK;      // GetDuration
  LONGLONG duration = 0;
  HRESULT countResult = S_OK;         // GetStreamCount
  std::vector<StreamDesc> streams;
  FakeClass* cls = nullptr;           // GetClass (E_FAIL when null)
  FakeMeta* meta = nullptr;           // GetMetaReader (E_FAIL when null)
  // The next file of the chain; with `chainCounter`, each call names a new
  // file "<chain><n>.wav" (n = 1, 2, ...), a chain that never ends.
  std::optional<std::u16string> chain;
  bool chainCounter = false;

  // What the reader was asked.
  std::vector<DWORD> formatPresets;   // size fields preset by GetStreamFormat's callers
  std::vector<LONG> fileValueKinds;   // GetFileValue kinds asked, in order
  int chainCalls = 0;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT GetClass(IWuReadFileClass** out) override;
  HRESULT GetFileText(LPWSTR buffer, LONG size, LONG kind) override;
  HRESULT GetStreamText(LPWSTR buffer, LONG size, LONG stream, LONG kind) override;
  HRESULT GetFileValue(void* buffer, DWORD bytes, LONG kind) override;
  HRESULT GetStreamValue(void* buffer, DWORD bytes, LONG stream, LONG kind) override;
  HRESULT Clone(IWuReadFile**) override { return E_NOTIMPL; }
  HRESULT GetFileSize(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetFlags(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
  HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
  HRESULT GetFileName(LPWSTR buffer) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStreamCount(LONG* count) override;
  HRESULT FindStream(DWORD, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format, LONG stream, LONG version) override;
  HRESULT GetStreamIdentity(LONG stream, DWORD* type, LONG* ordinal) override;
  HRESULT GetDefaultStream(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenStream(IWuReadStream**, LONG, DWORD, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT GetMetadataTypes(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetMetaReader(IWuReadMeta** out) override;
  HRESULT Close() override { return S_OK; }
  HRESULT GetNextFile(IWuReadFile* reader, LPWSTR buffer, DWORD size) override;

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
};

// The plug-in enumerator over raw 592-byte records.
class FakePluginEnum final : public IWuFIOPluginEnum {
 public:
  std::vector<WUFIO_PLUGIN_INFO> records;
  HRESULT resetResult = S_OK;
  std::vector<DWORD> sizesSeen;  // the size fields Next found preset

  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT Next(ULONG count, WUFIO_PLUGIN_INFO* info, ULONG* fetched) override;
  HRESULT Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT Reset() override {
    next_ = 0;
    return resetResult;
  }
  HRESULT Reserved6() override { return E_NOTIMPL; }
  HRESULT FindById(REFCLSID, WUFIO_PLUGIN_INFO*) override { return E_NOTIMPL; }
  HRESULT Reserved8() override { return E_NOTIMPL; }
  HRESULT Reserved9() override { return E_NOTIMPL; }

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
  size_t next_ = 0;
};

// The manager: opens the world's files by path and hands out the plug-in
// enumerator and renderer classes by id.
class FakeManager final : public IWuFileIOMgrForApp {
 public:
  std::map<std::u16string, FakeReader*> files;  // OpenFile by exact path
  FakeReader* anyFile = nullptr;                // opened for any other path when set
  FakePluginEnum* plugins = nullptr;            // GetPluginEnum (E_FAIL when null)
  std::vector<FakeRenderClass*> renderers;      // GetRendererClassById
  std::vector<std::u16string> opened;           // paths OpenFile was asked for

  HRESULT QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }
  HRESULT OpenFile(LPCWSTR path, IWuReadFile** out, DWORD flags) override;
  HRESULT GetPluginEnum(IWuFIOPluginEnum** out) override;
  HRESULT GetRendererClassById(IWuRenderFileClass** out, GUID id) override;

  HRESULT GetLanguageId(DWORD*, LONG) override { return E_NOTIMPL; }
  HRESULT Reserved4() override { return E_NOTIMPL; }
  HRESULT GetMetric(DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT SetMetric(DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetMetricString(DWORD, LPWSTR, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT SetMetricString(DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT DeleteMetric(DWORD, LONG) override { return E_NOTIMPL; }
  HRESULT GetMetricBinary(DWORD, void*, DWORD, DWORD*) override { return E_NOTIMPL; }
  HRESULT SetMetricBinary(DWORD, const void*, DWORD) override { return E_NOTIMPL; }
  HRESULT Reserved12() override { return E_NOTIMPL; }
  HRESULT GetReaderClassByTypeCode(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetReaderClassById(IWuReadFileClass**, GUID) override { return E_NOTIMPL; }
  HRESULT FindReaderClassByExtension(IWuReadFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT FindRendererClassByExtension(IWuRenderFileClass**, LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT OpenFileWithClass(LPCWSTR, IWuReadFile**, GUID, DWORD) override { return E_NOTIMPL; }
  HRESULT EditTemplate(HWND, IWuRenderFileClass*, LONG, const void*, DWORD*, IStream*, tagWUTEMPLATExV2*,
                       tagWUTEMPLATExV2**) override {
    return E_NOTIMPL;
  }
  HRESULT Initialize(DWORD) override { return E_NOTIMPL; }
  HRESULT Shutdown() override { return E_NOTIMPL; }
  HRESULT GetReaderEnum(IWuFileIOTypeEnum**) override { return E_NOTIMPL; }
  HRESULT GetRendererEnum(IWuFileIOTypeEnum**) override { return E_NOTIMPL; }
  LONG GetReaderCount() override { return 0; }
  LONG GetRendererCount() override { return 0; }
  HRESULT IdentifyReader(HANDLE, LPCWSTR, LONG*, DWORD) override { return E_NOTIMPL; }
  HRESULT FindReaderByFileName(LPCWSTR, LONG*) override { return E_NOTIMPL; }
  HRESULT GetReaderClassByKey(IWuReadFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT GetRendererClassByKey(IWuRenderFileClass**, LONG) override { return E_NOTIMPL; }
  HRESULT FindRendererClassByDialogName(IWuRenderFileClass**, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT Reserved32() override { return E_NOTIMPL; }
  HRESULT FindLockingReaderClass(LPCWSTR, IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT NotifyReaderOfFile(LPCWSTR, DWORD) override { return E_NOTIMPL; }
  HRESULT GetPluginCount(LONG*) override { return E_NOTIMPL; }
  HRESULT HasPlugin(GUID) override { return E_NOTIMPL; }
  HRESULT GetPluginInfo(GUID, WUFIO_PLUGIN_INFO*) override { return E_NOTIMPL; }
  HRESULT CreateFilterBuilder(IWuFioFilterBuilder2**, LONG, LONG, DWORD) override { return E_NOTIMPL; }
  HRESULT CreateFilterBuilderEx(IWuFioFilterBuilder2**, LONG, DWORD, DWORD, DWORD) override { return E_NOTIMPL; }
  void DeletingDestructor(LONG) override {}
  HRESULT InitializeEx(DWORD, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT LoadPluginsFromCache(tWULIST*, DWORD, void*) override { return E_NOTIMPL; }
  HRESULT AddPluginCandidates(tWULIST**, const WCHAR* const*, LONG, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT FindPlugins(tWULIST**, DWORD, LONG*) override { return E_NOTIMPL; }
  HRESULT Reserved46() override { return E_NOTIMPL; }
  HRESULT ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS*) override { return E_NOTIMPL; }
  HRESULT SetPluginList(tWULIST*, DWORD, const GUID*, LONG) override { return E_NOTIMPL; }
  HRESULT SaveCache(DWORD) override { return E_NOTIMPL; }
  HRESULT GetReaderKeyByTypeCode(LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetLastUsedReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
  HRESULT NoteReaderClassUsed(IWuReadFileClass*) override { return E_NOTIMPL; }
  HRESULT GetLastUsedRendererClass(IWuRenderFileClass**) override { return E_NOTIMPL; }
  HRESULT NoteRendererClassUsed(IWuRenderFileClass*) override { return E_NOTIMPL; }

  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 0;
};

// A world: owns its objects, which live as long as it does.
class World {
 public:
  FakeManager manager;
  FakePluginEnum plugins;

  World() { manager.plugins = &plugins; }
  // A new file, reachable through the manager at `path` (none when empty).
  FakeReader& AddFile(const std::u16string& path);
  FakeClass& AddClass();
  FakeMeta& AddMeta();
  FakeRenderClass& AddRenderer();
  // A plug-in record: class id at byte 8, reader class id at 24, renderer
  // class id at 40, the module path at 56.
  void AddPlugin(const GUID& pluginId, const GUID& readerId, const std::u16string& modulePath);

  // "" when every reference the fakes handed out came back, every stream
  // was released and every counted BSTR freed; else what is left.
  std::string Leaks() const;

 private:
  std::vector<std::unique_ptr<FakeReader>> readers_;
  std::vector<std::unique_ptr<FakeClass>> classes_;
  std::vector<std::unique_ptr<FakeMeta>> metas_;
  std::vector<std::unique_ptr<FakeRenderClass>> renderers_;
  int bstrsAtStart_ = LiveBstrs();
};

// GUIDs of the rich file.
inline constexpr GUID kRichPluginId = {0x1A2B3C4D, 0x0001, 0x4000, {0x80, 1, 2, 3, 4, 5, 6, 7}};
inline constexpr GUID kRichReaderId = {0x1A2B3C4D, 0x0002, 0x4000, {0x80, 1, 2, 3, 4, 5, 6, 7}};
inline constexpr GUID kRichRendererId = {0x1A2B3C4D, 0x0003, 0x4000, {0x80, 1, 2, 3, 4, 5, 6, 7}};

// Fills `world` with the rich media file at `path` (an existing file or
// not): two audio streams (loop, beat-mapped), a one-shot MIDI stream,
// video with pulldown, a still; a chain of three files; summary, capture
// with statistics, loop and stretch data, regions and a playlist, media
// tags, a sensing block, two pictures, a project link of version
// 0x01000162, a broadcast-wave record with a two-line coding history; and
// the reader's plug-in record. Returns the file's reader.
FakeReader& MakeRichFile(World& world, const std::u16string& path, const std::u16string& modulePath);

}  // namespace fakefio
