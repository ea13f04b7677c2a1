#include "tests/shellui/FakeFioWorld.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

#include "mediaformats/WuBwf.h"
#include "mediaformats/WuPicture.h"
#include "mediaformats/WuSmfmf.h"

// SysFreeString, wrapped by the linker (--wrap) in the test program, so the
// BSTRs the fakes hand out are counted until whoever received them frees
// them.
extern "C" void __real__Z13SysFreeStringPDs(BSTR text);

namespace fakefio {
namespace {

std::mutex& BstrLock() {
  static std::mutex lock;
  return lock;
}
std::set<BSTR>& Counted() {
  static std::set<BSTR> counted;
  return counted;
}

// Copies `t` into a caller's buffer of `size` characters as a plug-in
// would: cut and terminated, or filled to the last unit without a
// terminator.
void WriteText(const Text& t, LPWSTR buffer, LONG size) {
  if (!buffer || size <= 0) return;
  if (t.unterminated) {
    std::fill(buffer, buffer + size, u'x');
    return;
  }
  size_t n = std::min(t.text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, t.text.data(), n * sizeof(WCHAR));
  buffer[n] = 0;
}

void WriteValue(const Value& v, void* buffer, DWORD bytes) {
  if (!buffer) return;
  std::memcpy(buffer, v.bytes.data(), std::min<size_t>(v.bytes.size(), bytes));
}

template <typename T>
void Put(BYTE* record, size_t offset, T value) {
  std::memcpy(record + offset, &value, sizeof value);
}

}  // namespace

BSTR CountedBstr(const std::u16string& text) {
  BSTR b = SysAllocString(text.c_str());
  if (b) {
    std::lock_guard<std::mutex> hold(BstrLock());
    Counted().insert(b);
  }
  return b;
}

int LiveBstrs() {
  std::lock_guard<std::mutex> hold(BstrLock());
  return static_cast<int>(Counted().size());
}

// ---- FakeMeta -----------------------------------------------------------------------------
HRESULT FakeMeta::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadMeta)) {
    *object = static_cast<IWuReadMeta*>(this);
  } else if (hasLoopInfo && IsEqualGUID(iid, IID_IWuReadMetaLoopInfo)) {
    *object = static_cast<IWuReadMetaLoopInfo*>(this);
  } else if (hasMediaTag && IsEqualGUID(iid, IID_IWuReadMetaMediaTag)) {
    *object = static_cast<IWuReadMetaMediaTag*>(this);
  } else {
    return base.QueryInterface(iid, object);
  }
  ++refs_;
  return S_OK;
}

HRESULT FakeMeta::GetTextValue(DWORD id, LPWSTR buffer, int size) {
  auto it = textValues.find(id);
  if (it == textValues.end()) {
    if (buffer && size > 0) buffer[0] = 0;
    return S_FALSE;
  }
  WriteText(it->second, buffer, size);
  return it->second.hr;
}

HRESULT FakeMeta::GetLoopRecord(WuMetaLoopRecord* record) {
  *record = loopResult == S_OK ? loop : WuMetaLoopRecord{};
  return loopResult;
}

HRESULT FakeMeta::GetStretchRecord(void* record, DWORD bytes) {
  if (record) std::memset(record, stretchResult == S_OK ? 0x11 : 0, bytes);
  return stretchResult;
}

HRESULT FakeMeta::GetStretchList(IStream** stream) {
  *stream = nullptr;
  if (!stretchList) return S_FALSE;
  *stream = metatest::MakeStream(*stretchList, &live_);
  return *stream ? S_OK : E_OUTOFMEMORY;
}

HRESULT FakeMeta::GetTagStream(IStream** stream) {
  *stream = nullptr;
  return E_NOTIMPL;
}

HRESULT FakeMeta::GetInfo(WuMetaMediaTagInfo* info) {
  *info = tagInfo;
  return tagResult;
}

// ---- Classes ------------------------------------------------------------------------------
HRESULT FakeClass::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadFileClass)) {
    *out = static_cast<IWuReadFileClass*>(this);
    ++refs_;
    return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT FakeClass::GetClassId(GUID* id) {
  *id = classIdResult == S_OK ? classId : GUID{};
  return classIdResult;
}

namespace {
HRESULT GiveStrings(const std::map<DWORD, std::u16string>& strings, HRESULT result, const DWORD* ids,
                    LONG count, BSTR* out) {
  for (LONG i = 0; i < count; ++i) {
    out[i] = nullptr;
    auto it = strings.find(ids[i]);
    if (SUCCEEDED(result) && it != strings.end()) out[i] = CountedBstr(it->second);
  }
  return result;
}
HRESULT GiveState(HRESULT status, const std::optional<std::u16string>& text, HRESULT* status_out,
                  BSTR* text_out) {
  *status_out = status;
  if (text_out) *text_out = text ? CountedBstr(*text) : nullptr;
  return S_OK;
}
}  // namespace

HRESULT FakeClass::GetStrings(const DWORD* ids, LONG count, BSTR* out) {
  return GiveStrings(strings, stringsResult, ids, count, out);
}
HRESULT FakeClass::GetState(HRESULT* status_out, BSTR* text) {
  return GiveState(status, stateText, status_out, text);
}
HRESULT FakeRenderClass::GetStrings(const DWORD* ids, LONG count, BSTR* out) {
  return GiveStrings(strings, stringsResult, ids, count, out);
}
HRESULT FakeRenderClass::GetState(HRESULT* status_out, BSTR* text) {
  return GiveState(status, stateText, status_out, text);
}

// ---- FakeReader ---------------------------------------------------------------------------
HRESULT FakeReader::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadFile)) {
    *out = static_cast<IWuReadFile*>(this);
  } else if (chain && IsEqualGUID(iid, IID_IWuReadFileChain)) {
    *out = static_cast<IWuReadFileChain*>(this);
  } else {
    return E_NOINTERFACE;
  }
  ++refs_;
  return S_OK;
}

HRESULT FakeReader::GetClass(IWuReadFileClass** out) {
  *out = nullptr;
  if (!cls) return E_FAIL;
  cls->AddRef();
  *out = cls;
  return S_OK;
}

HRESULT FakeReader::GetFileText(LPWSTR buffer, LONG size, LONG kind) {
  if (kind < 1 || kind > 2) return E_INVALIDARG;
  WriteText(fileTexts[kind], buffer, size);
  return fileTexts[kind].hr;
}

HRESULT FakeReader::GetStreamText(LPWSTR buffer, LONG size, LONG stream, LONG kind) {
  if (stream < 0 || static_cast<size_t>(stream) >= streams.size() || kind < 1 || kind > 3)
    return E_INVALIDARG;
  const Text& t = streams[stream].texts[kind];
  WriteText(t, buffer, size);
  return t.hr;
}

HRESULT FakeReader::GetFileValue(void* buffer, DWORD bytes, LONG kind) {
  fileValueKinds.push_back(kind);
  if (kind < 1 || kind > 4) return E_INVALIDARG;
  WriteValue(fileValues[kind], buffer, bytes);
  return fileValues[kind].hr;
}

HRESULT FakeReader::GetStreamValue(void* buffer, DWORD bytes, LONG stream, LONG kind) {
  if (stream < 0 || static_cast<size_t>(stream) >= streams.size() || kind < 1 || kind > 5)
    return E_INVALIDARG;
  const Value& v = streams[stream].values[kind];
  WriteValue(v, buffer, bytes);
  return v.hr;
}

HRESULT FakeReader::GetFileName(LPWSTR buffer) {
  WriteText(Text{fileNameResult, fileName, false}, buffer, 260);
  return fileNameResult;
}

HRESULT FakeReader::GetDuration(LONGLONG* out) {
  *out = durationResult == S_OK ? duration : 0;
  return durationResult;
}

HRESULT FakeReader::GetStreamCount(LONG* count) {
  *count = countResult == S_OK ? static_cast<LONG>(streams.size()) : 0;
  return countResult;
}

HRESULT FakeReader::GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format, LONG stream, LONG) {
  if (!format) return E_POINTER;
  formatPresets.push_back(format->size);
  if (stream < 0 || static_cast<size_t>(stream) >= streams.size()) return E_INVALIDARG;
  const StreamDesc& s = streams[stream];
  if (FAILED(s.formatResult)) return s.formatResult;
  // Only the 184 bytes of the record are written, little-endian at their
  // offsets, whatever size the caller preset.
  BYTE* r = reinterpret_cast<BYTE*>(format);
  Put<DWORD>(r, 0, s.answerSize);
  Put<DWORD>(r, 4, s.type == 4 ? 4 : s.type);
  Put<LONGLONG>(r, 8, s.length);
  Put<DWORD>(r, 36, s.fieldOrder);
  Put<double>(r, 40, s.frameRate);
  Put<DWORD>(r, 96, s.sampleRate);
  return s.formatResult;
}

HRESULT FakeReader::GetStreamIdentity(LONG stream, DWORD* type, LONG* ordinal) {
  if (stream < 0 || static_cast<size_t>(stream) >= streams.size()) return E_INVALIDARG;
  const StreamDesc& s = streams[stream];
  *type = s.type;
  *ordinal = s.ordinal;
  return s.identityResult;
}

HRESULT FakeReader::GetMetaReader(IWuReadMeta** out) {
  *out = nullptr;
  if (!meta) return E_FAIL;
  meta->AddRef();
  *out = meta;
  return S_OK;
}

HRESULT FakeReader::GetNextFile(IWuReadFile*, LPWSTR buffer, DWORD size) {
  ++chainCalls;
  if (!chain) return E_FAIL;
  std::u16string name = *chain;
  if (chainCounter) {
    std::string n = std::to_string(chainCalls);
    name += std::u16string(n.begin(), n.end()) + u".wav";
  }
  WriteText(Ok(name), buffer, static_cast<LONG>(size));
  return S_OK;
}

// ---- Enumerator and manager ---------------------------------------------------------------
HRESULT FakePluginEnum::Next(ULONG count, WUFIO_PLUGIN_INFO* info, ULONG* fetched) {
  if (fetched) *fetched = 0;
  if (count != 1 || !info) return E_INVALIDARG;
  sizesSeen.push_back(info->size);
  if (next_ >= records.size()) return S_FALSE;
  std::memcpy(info, &records[next_++], sizeof(WUFIO_PLUGIN_INFO));
  if (fetched) *fetched = 1;
  return S_OK;
}

HRESULT FakeManager::OpenFile(LPCWSTR path, IWuReadFile** out, DWORD) {
  *out = nullptr;
  if (!path) return E_INVALIDARG;
  opened.push_back(path);
  auto it = files.find(path);
  FakeReader* r = it != files.end() ? it->second : anyFile;
  if (!r) return static_cast<HRESULT>(0x80070002);  // file not found
  r->AddRef();
  *out = r;
  return S_OK;
}

HRESULT FakeManager::GetPluginEnum(IWuFIOPluginEnum** out) {
  *out = nullptr;
  if (!plugins) return E_FAIL;
  plugins->AddRef();
  *out = plugins;
  return S_OK;
}

HRESULT FakeManager::GetRendererClassById(IWuRenderFileClass** out, GUID id) {
  *out = nullptr;
  for (FakeRenderClass* r : renderers) {
    if (IsEqualGUID(r->classId, id)) {
      r->AddRef();
      *out = r;
      return S_OK;
    }
  }
  return E_FAIL;
}

// ---- World --------------------------------------------------------------------------------
FakeReader& World::AddFile(const std::u16string& path) {
  readers_.push_back(std::make_unique<FakeReader>());
  FakeReader& r = *readers_.back();
  r.fileName = path;
  if (!path.empty()) manager.files[path] = &r;
  return r;
}
FakeClass& World::AddClass() {
  classes_.push_back(std::make_unique<FakeClass>());
  return *classes_.back();
}
FakeMeta& World::AddMeta() {
  metas_.push_back(std::make_unique<FakeMeta>());
  return *metas_.back();
}
FakeRenderClass& World::AddRenderer() {
  renderers_.push_back(std::make_unique<FakeRenderClass>());
  manager.renderers.push_back(renderers_.back().get());
  return *renderers_.back();
}

void World::AddPlugin(const GUID& pluginId, const GUID& readerId, const std::u16string& modulePath) {
  WUFIO_PLUGIN_INFO info{};
  info.size = WUFIO_PLUGIN_INFO_SIZE;
  info.classId = pluginId;
  info.readerClassId = readerId;
  size_t n = std::min<size_t>(modulePath.size(), 259);
  std::memcpy(info.path, modulePath.data(), n * sizeof(WCHAR));
  plugins.records.push_back(info);
}

std::string World::Leaks() const {
  std::string why;
  auto note = [&why](const std::string& what, long n) {
    if (n != 0) why += what + "=" + std::to_string(n) + " ";
  };
  note("manager refs", static_cast<long>(manager.refs()));
  note("plug-in enumerator refs", static_cast<long>(plugins.refs()));
  for (size_t i = 0; i < readers_.size(); ++i)
    note("reader " + std::to_string(i) + " refs", static_cast<long>(readers_[i]->refs()));
  for (size_t i = 0; i < classes_.size(); ++i)
    note("class " + std::to_string(i) + " refs", static_cast<long>(classes_[i]->refs()));
  for (size_t i = 0; i < renderers_.size(); ++i)
    note("renderer " + std::to_string(i) + " refs", static_cast<long>(renderers_[i]->refs()));
  for (size_t i = 0; i < metas_.size(); ++i) {
    note("meta " + std::to_string(i) + " refs", static_cast<long>(metas_[i]->refs()));
    note("meta " + std::to_string(i) + " streams", metas_[i]->live());
  }
  note("BSTRs", LiveBstrs() - bstrsAtStart_);
  return why;
}

// ---- The rich file ------------------------------------------------------------------------
namespace {

std::string Utf16(const std::u16string& t) { return metatest::Utf16Bytes(t); }

DWORD Fourcc(const char* id) {
  return static_cast<DWORD>(static_cast<BYTE>(id[0])) | static_cast<DWORD>(static_cast<BYTE>(id[1])) << 8 |
         static_cast<DWORD>(static_cast<BYTE>(id[2])) << 16 | static_cast<DWORD>(static_cast<BYTE>(id[3])) << 24;
}

std::string SensingBlock(const std::string& payload) {
  std::string block(WuSmfmf_GetMetaSizeNeeded(static_cast<DWORD>(payload.size())), '\0');
  WuSmfmf_SetMeta(block.data(), static_cast<DWORD>(payload.size()), payload.data());
  return block;
}

std::string PictureBlock(DWORD type, const std::u16string& mime, const std::u16string& description,
                         const std::string& data) {
  DWORD size = WuPicture_GetMetaSizeNeeded(mime.c_str(), description.c_str(), static_cast<DWORD>(data.size()));
  std::string block(size, '\0');
  WuPicture_SetMeta(block.data(), size, static_cast<_PICTUREMETADATATYPE_>(type), mime.c_str(),
                    description.c_str(), static_cast<DWORD>(data.size()), data.data());
  return block;
}

}  // namespace

FakeReader& MakeRichFile(World& world, const std::u16string& path, const std::u16string& modulePath) {
  using namespace metatest;
  FakeReader& r = world.AddFile(path);
  FakeClass& cls = world.AddClass();
  cls.classId = kRichReaderId;
  cls.strings[5] = u"Rich Wave Format";
  r.cls = &cls;
  world.AddPlugin(kRichPluginId, kRichReaderId, modulePath);

  r.fileTexts[1] = Ok(u"Rich Wave Audio");
  r.fileTexts[2] = Ok(u"1,411 kbps");
  r.fileValues[1] = OkI64(176400);
  r.fileValues[2] = OkI64(2);
  r.fileValues[3] = OkBytes(Le32(0x1234u << 16 | (('e' << 8) | 'n')) + Le32(3) +
                            Le32(static_cast<uint32_t>('d' << 8 | 'e')) + Le32(4));
  r.fileValues[4] = OkBytes(Le32(0x11) + Le32(0));
  r.duration = 100000000;  // 10 s

  // Two audio streams, a MIDI stream, video with pulldown and a still.
  StreamDesc a1;
  a1.type = 1;
  a1.ordinal = 0;
  a1.length = 441000;  // 10 s at 44,100 Hz
  a1.sampleRate = 44100;
  a1.texts[1] = Ok(u"PCM");
  a1.texts[2] = Ok(u"44,100 Hz, 16 Bit, Stereo");
  a1.texts[3] = Ok(u"1,411 kbps");
  a1.values[1] = OkBytes("\x01\0\0\0");
  a1.values[2] = OkI64(176400);
  a1.values[4] = OkBytes(Le32(1) + Le32(1));
  a1.values[5] = OkBytes(Le32('e' << 8 | 'n') + Le32(0));
  StreamDesc a2 = a1;
  a2.ordinal = 1;
  a2.length = 220500;  // 5 s at 44,100 Hz
  a2.texts[2] = Ok(u"44,100 Hz, 16 Bit, Mono");
  a2.values[2] = Value{S_FALSE, {}};
  a2.values[4] = Value{S_FALSE, {}};
  a2.values[5] = OkBytes(Le32(0xFFFF) + Le32(1));
  StreamDesc video;
  video.type = 2;
  video.length = 300;  // 10 s at 29.97 fps
  video.frameRate = 29.97;
  video.fieldOrder = 1;
  video.texts[1] = Ok(u"DV");
  video.texts[2] = Ok(u"720x480x24");
  video.texts[3] = Text{S_FALSE, u"", false};
  video.values[1] = OkBytes("dvsd");
  video.values[2] = OkI64(3600000);
  video.values[3] = OkBytes(Le32(0x7) + Le32(2) + Le32(3));
  StreamDesc still;
  still.type = 2;
  still.ordinal = 1;
  still.length = 1;
  still.texts[1] = Ok(u"PNG");
  still.texts[2] = Ok(u"640x480x32");
  still.values[1] = Value{E_FAIL, {}};
  still.values[3] = Value{S_FALSE, {}};
  StreamDesc midi;
  midi.type = 4;
  midi.length = 441000;
  midi.sampleRate = 44100;
  midi.texts[1] = Ok(u"Standard MIDI");
  midi.texts[2] = Text{S_FALSE, u"", false};
  StreamDesc odd;
  odd.type = 0x20;
  r.streams = {a1, a2, video, still, midi, odd};

  // The chain: this file, then two more.
  r.chain = u"Take 2.wav";
  FakeReader& second = world.AddFile(u"Take 2.wav");
  second.chain = u"Take 3.wav";
  FakeReader& third = world.AddFile(u"Take 3.wav");
  third.chain = u"";

  // Metadata.
  FakeMeta& m = world.AddMeta();
  r.meta = &m;
  m.textValues[Fourcc("_tfs")] = Ok(u"1764044");
  m.textValues[Fourcc("TAPE")] = Ok(u"Reel 7");
  m.textValues[Fourcc("DTIM")] = Ok(u"30000000 0");
  m.textValues[Fourcc("VMAJ")] = Ok(u"2");
  m.textValues[Fourcc("VMIN")] = Ok(u"5");
  m.textValues[Fourcc("CMNT")] = Ok(u"Second take");
  m.textValues[Fourcc("RATE")] = Ok(u"4");
  m.textValues[Fourcc("STAT")] = Ok(u"300 2 3600000");
  m.hasLoopInfo = true;
  m.loopResult = S_OK;
  m.loop.flags = 0x2;
  m.loop.rootNote = 60;
  m.loop.beats = 16;
  m.loop.tempo = 96.0f;
  m.stretchResult = S_OK;
  m.stretchList = ReaderStream({Le32(1) + Le32(2), Le32(3) + Le32(4), Le32(5) + Le32(6)});
  m.hasMediaTag = true;
  m.tagResult = S_OK;
  m.tagInfo = {3, 0, 12};
  m.base.summary = ReaderStream({InfoItem("INAM", u"Rich take"), InfoItem("IART", u"The Band"),
                                 InfoItem("ABCD", u"Custom value"), InfoItem("\x01XY\x7F", u"Hidden id"),
                                 InfoItem("TAPE", u"skipped")});
  m.base.region = ReaderStream({RegionItem(1, 0, 10000000, true, u"Intro")});
  m.base.command = ReaderStream({});
  const GUID sensing = {0x6D666D73, 0xACF2, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0", 29);
  m.base.meta_streams = {
      MetaStream(kMetaGuidStr2, {std::string(20, '\x02')}),
      MetaStream(kMetaGuidBookmarks, {std::string(8, '\0'), std::string(8, '\0'), std::string(8, '\0')}),
      MetaStream(kMetaGuidBeats, {std::string(8, '\0'), std::string(8, '\0')}),
      MetaStream(kMetaGuidPlaylist, {std::string(24, '\0')}),
      MetaStream(sensing, {SensingBlock(std::string("\x01\x02\x03\x04\x05\x06", 6))}),
      MetaStream(kMetaGuidPictures, {PictureBlock(3, u"image/png", u"Cover", png),
                                     PictureBlock(99, u"image/x-raw", u"Odd", std::string(5, '\x55'))}),
  };
  m.base.has_link = true;
  m.base.link[TestReadMeta::kPath] = Utf16(u"C:\\Projects\\Rich.prj");
  m.base.link[TestReadMeta::kCommandLine] = Utf16(u"-open %s");
  m.base.link[TestReadMeta::kRendererGuid] = GuidBytes(kRichRendererId);
  m.base.link[TestReadMeta::kTemplateName] = Utf16(u"CD Quality");
  m.base.link[TestReadMeta::kCreatorAppInfo] = Utf16(u"Mixer 9.0");
  m.base.version = Le32(0x01000162);
  FakeRenderClass& renderer = world.AddRenderer();
  renderer.classId = kRichRendererId;
  renderer.strings[5] = u"Rich Wave Renderer";
  m.base.fields[WUBWF_FIELD_DESCRIPTION] = Utf16(u"Field recording");
  m.base.fields[WUBWF_FIELD_ORIGINATOR] = Utf16(u"Recorder X");
  m.base.fields[WUBWF_FIELD_ORIGINATOR_REFERENCE] = Utf16(u"REF0001");
  m.base.fields[WUBWF_FIELD_DATE] = Utf16(u"2024-03-01");
  m.base.fields[WUBWF_FIELD_TIME] = Utf16(u"12:30:00");
  m.base.fields[WUBWF_FIELD_TIME_REFERENCE] = Le64(88200);
  m.base.fields[WUBWF_FIELD_VERSION] = std::string("\x01\x00", 2);
  m.base.fields[WUBWF_FIELD_UMID] = std::string(64, '\0');
  m.base.fields[WUBWF_FIELD_RESERVED] = std::string(190, '\0');
  m.base.fields[WUBWF_FIELD_CODING_HISTORY] = Utf16(u"A=PCM,F=44100\r\nA=PCM,F=48000\r\n");
  return r;
}

}  // namespace fakefio

// The linker sends every SysFreeString of the test program here.
extern "C" void __wrap__Z13SysFreeStringPDs(BSTR text) {
  if (text) {
    std::lock_guard<std::mutex> hold(fakefio::BstrLock());
    fakefio::Counted().erase(text);
  }
  __real__Z13SysFreeStringPDs(text);
}
