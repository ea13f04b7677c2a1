// A metadata reader for the tests: IWuReadMeta with the broadcast-wave,
// project-link and version kinds over streams built in memory
// (CreateStreamOnHGlobal). Every stream it
// hands out is wrapped so that the tests see how many are still held; the
// reader counts its own references too.
#pragma once

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/WuStatus.h"
#include "mediaformats/WuReadMeta.h"
#include "platform/com/com.h"
#include "platform/kernel/memory.h"

namespace metatest {

// An IStream that forwards to a memory stream and counts itself live. With
// a claimed size, a seek to the end reports that size instead of the bytes
// there (a stream that lies about its length).
class CountingStream final : public IStream {
 public:
  CountingStream(IStream* inner, int* live, std::optional<uint64_t> claimed = std::nullopt)
      : inner_(inner), live_(live), claimed_(claimed) {
    ++*live_;
  }
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_ISequentialStream) ||
        IsEqualGUID(iid, IID_IStream)) {
      *object = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      inner_->Release();
      --*live_;
      delete this;
    }
    return left;
  }
  HRESULT Read(void* b, ULONG n, ULONG* r) override { return inner_->Read(b, n, r); }
  HRESULT Write(const void* b, ULONG n, ULONG* w) override { return inner_->Write(b, n, w); }
  HRESULT Seek(LARGE_INTEGER m, DWORD o, ULARGE_INTEGER* p) override {
    if (claimed_ && o == STREAM_SEEK_END) {
      if (p) p->QuadPart = *claimed_ + static_cast<uint64_t>(m.QuadPart);
      return S_OK;
    }
    return inner_->Seek(m, o, p);
  }
  HRESULT SetSize(ULARGE_INTEGER s) override { return inner_->SetSize(s); }
  HRESULT CopyTo(IStream* t, ULARGE_INTEGER n, ULARGE_INTEGER* r, ULARGE_INTEGER* w) override {
    return inner_->CopyTo(t, n, r, w);
  }
  HRESULT Commit(DWORD f) override { return inner_->Commit(f); }
  HRESULT Revert() override { return inner_->Revert(); }
  HRESULT LockRegion(ULARGE_INTEGER o, ULARGE_INTEGER n, DWORD t) override {
    return inner_->LockRegion(o, n, t);
  }
  HRESULT UnlockRegion(ULARGE_INTEGER o, ULARGE_INTEGER n, DWORD t) override {
    return inner_->UnlockRegion(o, n, t);
  }
  HRESULT Stat(STATSTG* s, DWORD f) override { return inner_->Stat(s, f); }
  HRESULT Clone(IStream** s) override { return inner_->Clone(s); }

 private:
  ~CountingStream() = default;
  IStream* inner_;
  int* live_;
  std::optional<uint64_t> claimed_;
  ULONG refs_ = 1;
};

// A new stream holding `bytes` (claiming `claimed` bytes when given),
// counted in *live; null on failure.
inline IStream* MakeStream(const std::string& bytes, int* live,
                           std::optional<uint64_t> claimed = std::nullopt) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) return nullptr;
  if (!bytes.empty()) {
    void* p = GlobalLock(block);
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  IStream* inner = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &inner))) {
    GlobalFree(block);
    return nullptr;
  }
  return new CountingStream(inner, live, claimed);
}

// UTF-16 text with its terminator, as a field stream carries it.
inline std::string Utf16Bytes(const std::u16string& text) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
}

// The reader. Construct on the stack; tests check refs() and live() after
// the call under test. Fields absent from `fields` answer 0x8004E00A.
class TestReadMeta final : public IWuReadMeta,
                           public IWuReadMetaBroadcastWave,
                           public IWuEnumMetaStreams,
                           public IWuReadMetaProjectLink,
                           public IWuReadMetaVersion {
 public:
  std::map<int, std::string> fields;  // broadcast-wave field streams
  bool has_bwf = true;                // QueryInterface offers the kind
  // The project-link kind (offered with has_link): its field streams by
  // getter slot (LinkField), and the sizes that streams claim instead of
  // their bytes; fields absent from `link` answer 0x8004E00A. The version
  // kind is offered when `version` holds a stream.
  std::map<int, std::string> link;
  std::map<int, uint64_t> link_claimed;
  bool has_link = false;
  std::optional<std::string> version;
  // The enumerator's streams, in order (see MetaStream), and whether
  // QueryInterface offers the enumerator.
  std::vector<std::string> meta_streams;
  bool has_enum = true;
  // The region (slot 3), command (slot 4) and summary (slot 7) streams;
  // absent ones answer 0x8004E00A.
  std::optional<std::string> region, command, summary;

  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IWuReadMeta)) {
      *object = static_cast<IWuReadMeta*>(this);
    } else if (has_bwf && IsEqualGUID(iid, IID_IWuReadMetaBroadcastWave)) {
      *object = static_cast<IWuReadMetaBroadcastWave*>(this);
    } else if (has_enum && IsEqualGUID(iid, IID_IWuEnumMetaStreams)) {
      *object = static_cast<IWuEnumMetaStreams*>(this);
    } else if (has_link && IsEqualGUID(iid, IID_IWuReadMetaProjectLink)) {
      *object = static_cast<IWuReadMetaProjectLink*>(this);
    } else if (version && IsEqualGUID(iid, IID_IWuReadMetaVersion)) {
      *object = static_cast<IWuReadMetaVersion*>(this);
    } else {
      return E_NOINTERFACE;
    }
    ++refs_;
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override { return --refs_; }

  HRESULT GetRegionStream(IStream** stream) override { return Give(region, stream); }
  HRESULT GetCommandStream(IStream** stream) override { return Give(command, stream); }
  HRESULT ReservedOperation(void*) override { return E_NOTIMPL; }
  HRESULT GetTextValue(DWORD, LPWSTR buffer, int size) override {
    if (buffer && size > 0) buffer[0] = 0;
    return S_FALSE;
  }
  HRESULT GetSummaryStream(IStream** stream) override { return Give(summary, stream); }

  HRESULT Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT Next(IStream** stream) override {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (next_ >= meta_streams.size()) return S_FALSE;
    *stream = MakeStream(meta_streams[next_++], &live_);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT GetFieldStream(IStream** stream, int field) override {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (field < 0 || field > 9) return E_INVALIDARG;
    auto it = fields.find(field);
    if (it == fields.end()) return WuStatusCode(0x8004E00A);
    *stream = MakeStream(it->second, &live_);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }

  // The project-link kind's getters, in slot order.
  enum LinkField {
    kPath, kCommandLine, kRendererGuid, kTemplateName, kTemplateData, kAppTemplateData,
    kProjectData, kCreatorAppInfo, kCreatorWindowClass
  };
  HRESULT GetProjectPath(IStream** s) override { return GiveLink(kPath, s); }
  HRESULT GetCommandLine(IStream** s) override { return GiveLink(kCommandLine, s); }
  HRESULT GetRendererGuid(IStream** s) override { return GiveLink(kRendererGuid, s); }
  HRESULT GetTemplateName(IStream** s) override { return GiveLink(kTemplateName, s); }
  HRESULT GetTemplateData(IStream** s) override { return GiveLink(kTemplateData, s); }
  HRESULT GetAppTemplateData(IStream** s) override { return GiveLink(kAppTemplateData, s); }
  HRESULT GetProjectData(IStream** s) override { return GiveLink(kProjectData, s); }
  HRESULT GetCreatorAppInfo(IStream** s) override { return GiveLink(kCreatorAppInfo, s); }
  HRESULT GetCreatorWindowClassName(IStream** s) override {
    return GiveLink(kCreatorWindowClass, s);
  }
  HRESULT GetVersion(IStream** stream, DWORD) override { return Give(version, stream); }

  // References held beyond the caller's own (0 when every one came back).
  ULONG refs() const { return refs_; }
  // Streams handed out and not yet released.
  int live() const { return live_; }

 private:
  HRESULT GiveLink(int field, IStream** stream) {
    auto it = link.find(field);
    if (it == link.end()) return Absent(stream);
    auto claimed = link_claimed.find(field);
    *stream = MakeStream(it->second, &live_,
                         claimed == link_claimed.end() ? std::nullopt
                                                       : std::optional<uint64_t>(claimed->second));
    return *stream ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Give(const std::optional<std::string>& bytes, IStream** stream) {
    if (!bytes) return Absent(stream);
    *stream = MakeStream(*bytes, &live_);
    return *stream ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT Absent(IStream** stream) {
    if (stream) *stream = nullptr;
    return WuStatusCode(0x8004E00A);
  }
  ULONG refs_ = 0;
  int live_ = 0;
  size_t next_ = 0;
};

// Little-endian helpers of the stream records.
inline std::string Le32(uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
  return s;
}
inline std::string Le64(uint64_t v) { return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32)); }
inline std::string GuidBytes(const GUID& g) {
  std::string s = Le32(g.Data1);
  s += std::string{static_cast<char>(g.Data2), static_cast<char>(g.Data2 >> 8),
                   static_cast<char>(g.Data3), static_cast<char>(g.Data3 >> 8)};
  s.append(reinterpret_cast<const char*>(g.Data4), 8);
  return s;
}

// An enumerator stream of `kind`: header {28, 100, count, kind}, then each
// item behind its sub-header {28, 100, bytes, kind}.
inline std::string MetaStream(const GUID& kind, const std::vector<std::string>& items) {
  std::string s = Le32(28) + Le32(100) + Le32(static_cast<uint32_t>(items.size())) + GuidBytes(kind);
  for (const std::string& item : items)
    s += Le32(28) + Le32(100) + Le32(static_cast<uint32_t>(item.size())) + GuidBytes(kind) + item;
  return s;
}

// A markers-stream item: {field, id, position, length, text bytes} and the
// UTF-16 text with its terminator (none for an empty text).
inline std::string MarkerItem(uint32_t id, uint64_t position, uint64_t length,
                              const std::u16string& text) {
  std::string t = text.empty() ? std::string() : Utf16Bytes(text);
  return Le32(0) + Le32(id) + Le64(position) + Le64(length) + Le32(static_cast<uint32_t>(t.size())) + t;
}

// An INFO entry {12, id, text bytes} and its UTF-16 text.
inline std::string InfoItem(const char* id, const std::u16string& text) {
  std::string t = Utf16Bytes(text);
  return Le32(12) + std::string(id, 4) + Le32(static_cast<uint32_t>(t.size())) + t;
}

// A reader stream (region, command, summary): {12, 100, count} and items.
inline std::string ReaderStream(const std::vector<std::string>& items) {
  std::string s = Le32(12) + Le32(100) + Le32(static_cast<uint32_t>(items.size()));
  for (const std::string& item : items) s += item;
  return s;
}

// A region-stream item: {id, start, length in 100-ns units, region flag,
// text bytes} and the text.
inline std::string RegionItem(uint32_t id, uint64_t start, uint64_t length, bool region,
                              const std::u16string& text) {
  std::string t = text.empty() ? std::string() : Utf16Bytes(text);
  return Le32(id) + Le64(start) + Le64(length) + Le32(region) + Le32(static_cast<uint32_t>(t.size())) + t;
}

}  // namespace metatest
