// The project-link record: lifecycle, the per-field families generated
// from the field table, the inline fields, embedded project data and
// validation.
#include "shellui/CWuLinkProjectInfo.h"

#include <cstring>

#include "foundation/WuStatus.h"
#include "foundation/WuString.h"
#include "mediaformats/MRiff.h"

namespace {

constexpr FOURCC kList = RiffId("LIST");
constexpr DWORD kListHeaderBytes = 12;  // "LIST", size, type

// Writes `size` bytes of `data` to the stream when present, else 1.
HRESULT WriteField(IStream* stream, bool present, const void* data, DWORD size) {
  if (!present || !data) return S_FALSE;
  if (!stream) return E_INVALIDARG;
  ULONG written = 0;
  return stream->Write(data, size, &written);
}

// Characters of a text field up to its NUL unit or its size.
DWORD BoundedLength(LPCWSTR text, DWORD size) {
  DWORD units = size / sizeof(WCHAR);
  DWORD n = 0;
  while (n < units && text[n] != 0) ++n;
  return n;
}

// The bounded copy of a text field into `buffer` of `capacity` characters.
int CopyText(bool present, LPCWSTR text, DWORD size, LPWSTR buffer, int capacity) {
  if (!buffer || capacity <= 0) return 0;
  DWORD n = present && text ? BoundedLength(text, size) : 0;
  if (n > static_cast<DWORD>(capacity - 1)) n = static_cast<DWORD>(capacity - 1);
  if (n) std::memcpy(buffer, text, n * sizeof(WCHAR));
  buffer[n] = 0;
  return static_cast<int>(n);
}

// Checks an embedded project list of `size` bytes at `data`: the block
// holds the whole list (its size field + 8 equals the block) and its
// sub-chunks, each padded to even, end exactly at the list's end.
// 0x8004E008 when not; *foreign = the header is not "LIST" "spel".
HRESULT CheckProjectList(const BYTE* data, DWORD size, bool* foreign) {
  *foreign = false;
  if (!data || size < kListHeaderBytes) return WU_E_READ;
  if (riffbytes::Get32(data) != kList || riffbytes::Get32(data + 8) != kProjectDataListType) {
    *foreign = true;
    return S_OK;
  }
  ULONGLONG list = riffbytes::Get32(data + 4);
  if (list < 4 || list + 8 != size) return WU_E_READ;
  ULONGLONG at = kListHeaderBytes;
  while (at < size) {
    if (size - at < 8) return WU_E_READ;
    ULONGLONG chunk = riffbytes::Get32(data + at + 4);
    ULONGLONG padded = chunk + (chunk & 1);
    if (padded > size - at - 8) return WU_E_READ;
    at += 8 + padded;
  }
  return S_OK;
}

}  // namespace

// ---- Lifecycle ---------------------------------------------------------------

CWuLinkProjectInfo::CWuLinkProjectInfo(const CWuLinkProjectInfo& other) {
  Init();
  *this = other;
}

void CWuLinkProjectInfo::Init() {
  m_dwFlags = 0;
  m_dwVersion = 0;
  m_guidRenderer = GUID{};
#define WULPI_INIT(Name, Getter, Bit, Kind) \
  m_p##Name = nullptr;                      \
  m_cb##Name = 0;
  WU_LINK_PROJECT_FIELDS(WULPI_INIT)
#undef WULPI_INIT
}

void CWuLinkProjectInfo::FreeMemory() {
#define WULPI_FREE_ALL(Name, Getter, Bit, Kind) \
  if (m_p##Name) _Free##Name();
  WU_LINK_PROJECT_FIELDS(WULPI_FREE_ALL)
#undef WULPI_FREE_ALL
}

CWuLinkProjectInfo& CWuLinkProjectInfo::operator=(const CWuLinkProjectInfo& other) {
  if (this == &other) return *this;
  FreeMemory();
  m_dwFlags = other.m_dwFlags;
  m_dwVersion = other.m_dwVersion;
  m_guidRenderer = other.m_guidRenderer;
#define WULPI_COPY(Name, Getter, Bit, Kind)                           \
  if (other.m_p##Name) {                                              \
    void* copy = WuGlobalNew(other.m_cb##Name);                       \
    if (copy) {                                                       \
      std::memcpy(copy, other.m_p##Name, other.m_cb##Name);           \
      m_p##Name = static_cast<WULPI_PTR_##Kind>(copy);                \
      m_cb##Name = other.m_cb##Name;                                  \
    } else {                                                          \
      m_dwFlags &= ~static_cast<DWORD>(Bit);                          \
    }                                                                 \
  }
  WU_LINK_PROJECT_FIELDS(WULPI_COPY)
#undef WULPI_COPY
  return *this;
}

// ---- Per-field families ------------------------------------------------------

#define WULPI_DEFINE(Name, Getter, Bit, Kind)                                       \
  void CWuLinkProjectInfo::_Free##Name() {                                          \
    WuGlobalDelete(m_p##Name);                                                      \
    m_p##Name = nullptr;                                                            \
    m_cb##Name = 0;                                                                 \
    m_dwFlags &= ~static_cast<DWORD>(Bit);                                          \
  }                                                                                 \
  WULPI_PTR_##Kind CWuLinkProjectInfo::Alloc##Name(DWORD size) {                    \
    _Free##Name();                                                                  \
    void* block = WuGlobalNew(size);                                                \
    if (!block) return nullptr;                                                     \
    m_p##Name = static_cast<WULPI_PTR_##Kind>(block);                               \
    m_cb##Name = size;                                                              \
    return m_p##Name;                                                               \
  }                                                                                 \
  void CWuLinkProjectInfo::Set##Name##ToBuffer(WULPI_PTR_##Kind buffer, DWORD size) { \
    _Free##Name();                                                                  \
    m_p##Name = buffer;                                                             \
    m_cb##Name = size;                                                              \
  }                                                                                 \
  HRESULT CWuLinkProjectInfo::Write##Name##ToStream(IStream* stream) const {        \
    return WriteField(stream, (m_dwFlags & (Bit)) != 0, m_p##Name, m_cb##Name);     \
  }                                                                                 \
  WULPI_DEFINE_##Kind(Name, Getter, Bit)

#define WULPI_DEFINE_TEXT(Name, Getter, Bit)                                        \
  HRESULT CWuLinkProjectInfo::Set##Name(LPCWSTR text) {                             \
    if (!text) return E_INVALIDARG;                                                 \
    HRESULT hr = WULPI_SETSTRING_##Name(&m_p##Name, &m_cb##Name, text);             \
    if (FAILED(hr)) {                                                               \
      m_dwFlags &= ~static_cast<DWORD>(Bit);                                        \
      return hr;                                                                    \
    }                                                                               \
    m_dwFlags |= (Bit);                                                             \
    return S_OK;                                                                    \
  }                                                                                 \
  int CWuLinkProjectInfo::Getter(LPWSTR buffer, int capacity) const {               \
    return CopyText((m_dwFlags & (Bit)) != 0, m_p##Name, m_cb##Name, buffer, capacity); \
  }

#define WULPI_DEFINE_DATA(Name, Getter, Bit)                                        \
  HRESULT CWuLinkProjectInfo::Set##Name(const void* data, DWORD size) {             \
    if (!data || size == 0) return E_INVALIDARG;                                    \
    void* block = Alloc##Name(size);                                                \
    if (!block) return E_OUTOFMEMORY;                                               \
    std::memcpy(block, data, size);                                                 \
    m_dwFlags |= (Bit);                                                             \
    return S_OK;                                                                    \
  }

#define WULPI_DEFINE_LIST(Name, Getter, Bit)

// The template name goes through the wide variant of the string setter.
#define WULPI_SETSTRING_ProjectPath _AllocSetString
#define WULPI_SETSTRING_CommandLine _AllocSetString
#define WULPI_SETSTRING_TemplateName _AllocSetStringW
#define WULPI_SETSTRING_CreatorAppInfo _AllocSetString
#define WULPI_SETSTRING_CreatorAppWindowClassName _AllocSetString

WU_LINK_PROJECT_FIELDS(WULPI_DEFINE)

HRESULT CWuLinkProjectInfo::_AllocSetString(LPWSTR* field, DWORD* size, LPCWSTR text) {
  WuGlobalDelete(*field);
  *field = nullptr;
  *size = 0;
  size_t chars = 0;
  while (text[chars]) ++chars;
  size_t bytes = (chars + 1) * sizeof(WCHAR);
  if (bytes > 0xFFFFFFFFu) return E_OUTOFMEMORY;
  auto* copy = static_cast<LPWSTR>(WuGlobalNew(static_cast<DWORD>(bytes)));
  if (!copy) return E_OUTOFMEMORY;
  std::memcpy(copy, text, bytes);
  *field = copy;
  *size = static_cast<DWORD>(bytes);
  return S_OK;
}

HRESULT CWuLinkProjectInfo::_AllocSetStringW(LPWSTR* field, DWORD* size, LPCWSTR text) {
  return _AllocSetString(field, size, text);
}

// ---- Inline fields -----------------------------------------------------------

HRESULT CWuLinkProjectInfo::SetRendererGuid(GUID guid) {
  m_guidRenderer = guid;
  m_dwFlags |= WULPI_RENDERER_GUID;
  return S_OK;
}

HRESULT CWuLinkProjectInfo::SetVersion(DWORD version) {
  m_dwVersion = version;
  return S_OK;
}

HRESULT CWuLinkProjectInfo::WriteRendererGuidToStream(IStream* stream) const {
  if (!(m_dwFlags & WULPI_RENDERER_GUID)) return S_FALSE;
  BYTE bytes[16];
  riffbytes::Put32(bytes, m_guidRenderer.Data1);
  riffbytes::Put16(bytes + 4, m_guidRenderer.Data2);
  riffbytes::Put16(bytes + 6, m_guidRenderer.Data3);
  std::memcpy(bytes + 8, m_guidRenderer.Data4, 8);
  return WriteField(stream, true, bytes, sizeof bytes);
}

HRESULT CWuLinkProjectInfo::WriteVersionToStream(IStream* stream) const {
  BYTE bytes[4];
  riffbytes::Put32(bytes, m_dwVersion);
  return WriteField(stream, true, bytes, sizeof bytes);
}

// ---- Embedded project data -----------------------------------------------------

HRESULT CWuLinkProjectInfo::SetProjectData(FOURCC id, const void* data, DWORD size) {
  if (!data || size == 0) return E_INVALIDARG;
  ULONGLONG padded = static_cast<ULONGLONG>(size) + (size & 1);
  bool fresh = !m_pProjectData;
  DWORD old_size = fresh ? kListHeaderBytes : m_cbProjectData;
  if (!fresh) {
    bool foreign = false;
    HRESULT hr = CheckProjectList(static_cast<const BYTE*>(m_pProjectData), m_cbProjectData, &foreign);
    if (FAILED(hr)) return hr;
    if (foreign) return WU_E_NOT_FOUND;
    // The list is sound: search it for the id.
    _tMRIFF cursor;
    mriff_Init(&cursor, m_pProjectData, m_cbProjectData, m_cbProjectData);
    FOURCC type = 0;
    DWORD entries = 0;
    hr = mriff_ReadListHeader(&cursor, &type, &entries);
    if (FAILED(hr)) return hr;
    DWORD found = 0;
    DWORD left = entries;
    if (SUCCEEDED(mriff_FindChunkHeader(&cursor, id, &found, &left))) return WU_E_DUPLICATE;
  }
  // The list (whose size is the block's less 8) must stay within 32 bits.
  ULONGLONG new_size = static_cast<ULONGLONG>(old_size) + padded + 8;
  if (new_size - 8 > 0xFFFFFFFFull || new_size > 0xFFFFFFFFull) return E_UNEXPECTED;

  void* grown = WuGlobalNew(static_cast<DWORD>(new_size));
  if (!grown) return E_OUTOFMEMORY;
  BYTE* p = static_cast<BYTE*>(grown);
  if (fresh) {
    riffbytes::Put32(p, kList);
    riffbytes::Put32(p + 8, kProjectDataListType);
  } else {
    std::memcpy(p, m_pProjectData, old_size);
  }
  riffbytes::Put32(p + old_size, id);
  riffbytes::Put32(p + old_size + 4, size);
  std::memcpy(p + old_size + 8, data, size);  // the pad byte stays zero
  riffbytes::Put32(p + 4, static_cast<DWORD>(new_size - 8));
  WuGlobalDelete(m_pProjectData);
  m_pProjectData = grown;
  m_cbProjectData = static_cast<DWORD>(new_size);
  m_dwFlags |= WULPI_PROJECT_DATA;
  return S_OK;
}

HRESULT CWuLinkProjectInfo::GetProjectData(FOURCC id, void* buffer, DWORD* size) const {
  if (!size) return E_INVALIDARG;
  if (!(m_dwFlags & WULPI_PROJECT_DATA) || !m_pProjectData) {
    *size = 0;
    return WU_E_NOT_FOUND;
  }
  bool foreign = false;
  HRESULT hr = CheckProjectList(static_cast<const BYTE*>(m_pProjectData), m_cbProjectData, &foreign);
  if (FAILED(hr)) return hr;
  if (foreign) return E_UNEXPECTED;
  _tMRIFF cursor;
  mriff_Init(&cursor, m_pProjectData, m_cbProjectData, m_cbProjectData);
  FOURCC type = 0;
  DWORD entries = 0;
  hr = mriff_ReadListHeader(&cursor, &type, &entries);
  if (FAILED(hr)) return hr;
  DWORD chunk = 0;
  DWORD left = entries;
  hr = mriff_FindChunkHeader(&cursor, id, &chunk, &left);
  if (FAILED(hr)) return hr;
  if (!buffer) {
    *size = chunk;
    return S_OK;
  }
  if (*size < chunk) return E_OUTOFMEMORY;
  *size = chunk;
  return mriff_ReadDataBounded(&cursor, buffer, chunk, chunk);
}

// ---- Validation ------------------------------------------------------------------

HRESULT CWuLinkProjectInfo::ValidateProjectLink() const {
  constexpr DWORD kRequired = WULPI_PROJECT_PATH | WULPI_COMMAND_LINE;
  if ((m_dwFlags & kRequired) != kRequired) return WU_E_INVALID_PROJECT_LINK;
#define WULPI_VALIDATE(Name, Getter, Bit, Kind) \
  if ((m_dwFlags & (Bit)) && (!m_p##Name || m_cb##Name == 0)) return WU_E_INVALID_PROJECT_LINK;
  WU_LINK_PROJECT_FIELDS(WULPI_VALIDATE)
#undef WULPI_VALIDATE
  return S_OK;
}

HRESULT CWuLinkProjectInfo::ValidateProjectData() const {
  if ((m_dwFlags & WULPI_PROJECT_DATA) && m_pProjectData && m_cbProjectData) return S_OK;
  return WU_E_INVALID_PROJECT_LINK;
}

HRESULT CWuLinkProjectInfo::Validate() const {
  HRESULT hr = ValidateProjectLink();
  if (SUCCEEDED(hr)) return hr;
  return SUCCEEDED(ValidateProjectData()) ? S_OK : WU_E_INVALID_PROJECT_LINK;
}
