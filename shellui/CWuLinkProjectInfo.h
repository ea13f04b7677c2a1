// The project link of a rendered media file, held in memory.
//
// A project link says where the project that produced a media file lives,
// how to reopen it (an argument template for the creating application),
// which render template and renderer made the file, which application
// created it, and optionally carries a copy of the project. The chunk
// loaders and writers (shellui/ProjectLinkChunks.h) fill and store it; the
// launcher reads it.
//
// Every buffer field owns a block of zero-filled movable global memory,
// kept locked; it is released by unlocking and freeing the block's handle.
// Sizes are in bytes; a text size counts its terminating NUL unit. A field
// counts as present only while its presence bit is set.
//
// Embedded project data is a RIFF list held in memory: "LIST", a u32 list
// size, the list type "spel", then sub-chunks (a four-character id, a u32
// size, the data padded with one zero byte to an even length). The list
// size counts the type and every padded sub-chunk.
#pragma once

#include "mediaformats/RiffBytes.h"
#include "platform/com/com.h"
#include "platform/kernel/types.h"

// Presence bits of the record's optional fields.
constexpr DWORD WULPI_PROJECT_PATH = 0x1;
constexpr DWORD WULPI_COMMAND_LINE = 0x2;
constexpr DWORD WULPI_RENDERER_GUID = 0x4;
constexpr DWORD WULPI_TEMPLATE_NAME = 0x8;
constexpr DWORD WULPI_TEMPLATE_DATA = 0x10;
constexpr DWORD WULPI_APP_TEMPLATE_DATA = 0x20;
constexpr DWORD WULPI_CREATOR_APP_INFO = 0x40;
constexpr DWORD WULPI_PROJECT_DATA = 0x80;
constexpr DWORD WULPI_CREATOR_WINDOW_CLASS = 0x100;

// The version that written files carry.
constexpr DWORD kProjectLinkVersion = 0x01000100;
// The embedded project's list type.
constexpr FOURCC kProjectDataListType = RiffId("spel");

// The invalid project link.
constexpr HRESULT WU_E_INVALID_PROJECT_LINK = static_cast<HRESULT>(0x8004E05D);

// The eight buffer fields, in the record's order:
//   X(field name, plain getter, presence bit, kind)
// where kind is TEXT (UTF-16 text with its NUL), DATA (opaque bytes) or
// LIST (the embedded project list). Every per-field member family below
// and in the source is generated from this one table.
#define WU_LINK_PROJECT_FIELDS(X)                                                   \
  X(ProjectPath, GetProjectPath, WULPI_PROJECT_PATH, TEXT)                          \
  X(CommandLine, GetCommandLineW, WULPI_COMMAND_LINE, TEXT)                         \
  X(TemplateName, GetTemplateName, WULPI_TEMPLATE_NAME, TEXT)                       \
  X(TemplateData, GetTemplateData, WULPI_TEMPLATE_DATA, DATA)                       \
  X(AppTemplateData, GetAppTemplateData, WULPI_APP_TEMPLATE_DATA, DATA)             \
  X(CreatorAppInfo, GetCreatorAppInfo, WULPI_CREATOR_APP_INFO, TEXT)                \
  X(CreatorAppWindowClassName, GetCreatorAppWindowClassName, WULPI_CREATOR_WINDOW_CLASS, TEXT) \
  X(ProjectData, GetProjectData, WULPI_PROJECT_DATA, LIST)

// The pointer type of a field of each kind.
#define WULPI_PTR_TEXT LPWSTR
#define WULPI_PTR_DATA void*
#define WULPI_PTR_LIST void*

// The setter and bounded getter of a field of each kind (the list field has
// its own SetProjectData and GetProjectData).
#define WULPI_SETTERS_TEXT(Name, Getter)                                  \
  HRESULT Set##Name(LPCWSTR text);                                        \
  int Getter(LPWSTR buffer, int capacity) const;
#define WULPI_SETTERS_DATA(Name, Getter) HRESULT Set##Name(const void* data, DWORD size);
#define WULPI_SETTERS_LIST(Name, Getter)

class CWuLinkProjectInfo {
 public:
  CWuLinkProjectInfo() { Init(); }
  // A deep copy, as operator=.
  CWuLinkProjectInfo(const CWuLinkProjectInfo& other);
  ~CWuLinkProjectInfo() { FreeMemory(); }

  // Empties the record without freeing anything: flags, version and sizes
  // 0, pointers null, the null renderer GUID.
  void Init();
  // Frees every buffer, clearing its bit. The renderer GUID, its bit and
  // the version stay.
  void FreeMemory();
  // Copies every field into buffers of this record's own (the two records
  // never share a block). A field whose copy cannot be allocated stays
  // empty with its bit clear.
  CWuLinkProjectInfo& operator=(const CWuLinkProjectInfo& other);

  // ---- Per-field families ---------------------------------------------------
  // For each buffer field X (see WU_LINK_PROJECT_FIELDS):
  //   GetX()                 the buffer (GetCommandLineW for the command line)
  //   GetXPtr()              address of the pointer field
  //   GetXSize()             its size in bytes
  //   GetXSizePtr()          address of the size field
  //   AllocX(size)           frees the old buffer (bit cleared), allocates a
  //                          zero-filled block of `size` bytes and returns it
  //                          (null on failure, the field then empty); the
  //                          caller sets the bit after filling it
  //   SetXToBuffer(p, size)  adopts a block allocated the same way, freeing
  //                          the old buffer and clearing the bit first; the
  //                          bit is never set here
  //   WriteXToStream(stream) writes the whole buffer when the bit is set and
  //                          there is a buffer (the Write's result), else 1
  // Text fields also have SetX(text) (E_INVALIDARG for null, E_OUTOFMEMORY;
  // sets the bit) and the bounded GetX(buffer, capacity): the text up to
  // its NUL or the field's size, cut to capacity - 1 characters and
  // terminated (empty when absent); the result is the length copied. Data
  // fields have SetX(data, size): E_INVALIDARG for null data or size 0.
#define WULPI_DECLARE(Name, Getter, Bit, Kind)                   \
  WULPI_PTR_##Kind Getter() const { return m_p##Name; }          \
  WULPI_PTR_##Kind* Get##Name##Ptr() { return &m_p##Name; }      \
  DWORD Get##Name##Size() const { return m_cb##Name; }           \
  DWORD* Get##Name##SizePtr() { return &m_cb##Name; }            \
  WULPI_PTR_##Kind Alloc##Name(DWORD size);                      \
  void Set##Name##ToBuffer(WULPI_PTR_##Kind buffer, DWORD size); \
  HRESULT Write##Name##ToStream(IStream* stream) const;          \
  WULPI_SETTERS_##Kind(Name, Getter)
  WU_LINK_PROJECT_FIELDS(WULPI_DECLARE)
#undef WULPI_DECLARE

  // ---- Inline fields -------------------------------------------------------
  GUID* GetRendererGuid() { return &m_guidRenderer; }
  DWORD GetVersion() const { return m_dwVersion; }
  // Copies the GUID, sets bit 0x4; 0.
  HRESULT SetRendererGuid(GUID guid);
  // Stores the version; 0.
  HRESULT SetVersion(DWORD version);
  // The 16 GUID bytes when bit 0x4 is set, else 1.
  HRESULT WriteRendererGuidToStream(IStream* stream) const;
  // Always the 4 version bytes, little-endian.
  HRESULT WriteVersionToStream(IStream* stream) const;

  // The presence bits.
  DWORD GetFlags() const { return m_dwFlags; }

  // ---- Embedded project data -------------------------------------------------
  // Adds sub-chunk `id` holding `size` bytes (padded to even) to the list,
  // creating the list when there is none, and sets bit 0x80.
  // E_INVALIDARG for null data or size 0; 0x8004E0A9 when `id` is there
  // (the first kept); E_UNEXPECTED when the list would pass 32 bits;
  // 0x8004E008 for a list whose size disagrees with its block or whose
  // sub-chunks run past it; 0x8004E00A for a list not of type "spel". All
  // these leave the list as it was; so does a failed allocation
  // (E_OUTOFMEMORY).
  HRESULT SetProjectData(FOURCC id, const void* data, DWORD size);
  // Copies sub-chunk `id` into `buffer` (*size bytes of room) and sets
  // *size to its size; a null buffer only reports the size. E_INVALIDARG
  // for a null size; no list: *size = 0 and 0x8004E00A; 0x8004E008 for a
  // damaged list; E_UNEXPECTED for a list of another type; 0x8004E00A when
  // `id` is absent; E_OUTOFMEMORY when the buffer is too small.
  HRESULT GetProjectData(FOURCC id, void* buffer, DWORD* size) const;

  // ---- Validation ------------------------------------------------------------
  // 0 when the project path and command line are present (bit, pointer and
  // a non-zero size) and every other set bit has a buffer; else 0x8004E05D.
  HRESULT ValidateProjectLink() const;
  // 0 when embedded project data is present; else 0x8004E05D.
  HRESULT ValidateProjectData() const;
  // 0 when either of the two above succeeds; else 0x8004E05D.
  HRESULT Validate() const;

 private:
  // The chunk loaders set presence bits and reset the record directly.
  friend struct ProjectLinkRecordAccess;

#define WULPI_DECLARE_FREE(Name, Getter, Bit, Kind) void _Free##Name();
  WU_LINK_PROJECT_FIELDS(WULPI_DECLARE_FREE)
#undef WULPI_DECLARE_FREE
  // A copy of `text` in a new block stored in *field / *size; the old block
  // is freed first. E_OUTOFMEMORY when allocation fails (field empty).
  static HRESULT _AllocSetString(LPWSTR* field, DWORD* size, LPCWSTR text);
  static HRESULT _AllocSetStringW(LPWSTR* field, DWORD* size, LPCWSTR text);

  DWORD m_dwFlags;                    // presence bits (WULPI_*)
  DWORD m_dwVersion;                  // project-link version
  LPWSTR m_pProjectPath;              // path of the source project file
  DWORD m_cbProjectPath;              // its size in bytes
  LPWSTR m_pCommandLine;              // argument template of the creating application
  DWORD m_cbCommandLine;              // its size in bytes
  GUID m_guidRenderer;                // renderer class that produced the file
  LPWSTR m_pTemplateName;             // render template's name
  DWORD m_cbTemplateName;             // its size in bytes
  void* m_pTemplateData;              // render-template record (opaque)
  DWORD m_cbTemplateData;             // its size in bytes
  void* m_pAppTemplateData;           // application-private template data
  DWORD m_cbAppTemplateData;          // its size in bytes
  LPWSTR m_pCreatorAppInfo;           // description of the creating application
  DWORD m_cbCreatorAppInfo;           // its size in bytes
  LPWSTR m_pCreatorAppWindowClassName;  // window class of its main window
  DWORD m_cbCreatorAppWindowClassName;  // its size in bytes
  void* m_pProjectData;               // embedded project: "LIST" "spel"
  DWORD m_cbProjectData;              // its size in bytes
};

// The record's blocks are those of WuGlobalNew (foundation/WuString.h):
// zero-filled movable global memory, kept locked, freed by WuGlobalDelete.
