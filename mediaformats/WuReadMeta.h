// The metadata-reader interfaces: what a file-format plug-in hands out to
// give a media file's metadata, one stream or value per kind. The media
// formats read them (broadcast-wave loader, metadata writers) and the
// file-I/O framework above passes them on; this header is their one
// declaration, and further kinds are added here.
//
// A kind is reached by QueryInterface on the reader with the kind's id.
// Streams handed out are new references the caller releases; they are read
// with Seek and Read (a Seek to the end gives the size).
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

// The metadata reader of an open media file.
inline constexpr IID IID_IWuReadMeta = {0x001420E1, 0x938C, 0x11D3,
                                        {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};

class IWuReadMeta : public IUnknown {
 public:
  // The stream of regions and markers; 0x8004E00A when the file has none.
  virtual HRESULT GetRegionStream(IStream** stream) = 0;
  // The stream of command markers; 0x8004E00A when the file has none.
  virtual HRESULT GetCommandStream(IStream** stream) = 0;
  // An operation kept for its slot; the library's own readers answer
  // E_NOTIMPL and callers never rely on it.
  virtual HRESULT ReservedOperation(void* reserved) = 0;
  // The text of one value (such as "_tfs", "TAPE", "CMNT") into a buffer
  // of `size` characters, terminated: S_OK when the value exists, S_FALSE
  // when it is not set, negative on failure.
  virtual HRESULT GetTextValue(DWORD id, LPWSTR buffer, int size) = 0;
  // The INFO summary stream; 0x8004E00A when the file has none.
  virtual HRESULT GetSummaryStream(IStream** stream) = 0;

 protected:
  ~IWuReadMeta() = default;
};

// The broadcast-wave kind: one stream per field of the record (see
// mediaformats/WuBwf.h for the indices and contents).
inline constexpr IID IID_IWuReadMetaBroadcastWave = {
    0x8A4FB0C3, 0x0353, 0x4356, {0x95, 0x73, 0x4E, 0x16, 0x14, 0x3D, 0x62, 0x9C}};

class IWuReadMetaBroadcastWave : public IUnknown {
 public:
  // The stream of field `field` (0..9); E_INVALIDARG for another index.
  virtual HRESULT GetFieldStream(IStream** stream, int field) = 0;

 protected:
  ~IWuReadMetaBroadcastWave() = default;
};

// ---- Further kinds ---------------------------------------------------------
// Each getter below hands out a new stream (read with Seek and Read; a Seek
// to the end gives the size) or answers 0x8004E00A when the file lacks the
// field.

// The project-link kind: where the project that produced the file lives and
// how it was rendered, one stream per field.
inline constexpr IID IID_IWuReadMetaProjectLink = {
    0xAF5F58C0, 0xF8E2, 0x4F2A, {0xB1, 0x48, 0x82, 0x92, 0x9D, 0x17, 0x2D, 0xBF}};

class IWuReadMetaProjectLink : public IUnknown {
 public:
  // The project file's path (UTF-16, terminated).
  virtual HRESULT GetProjectPath(IStream** stream) = 0;
  // The argument template for reopening the project (UTF-16).
  virtual HRESULT GetCommandLine(IStream** stream) = 0;
  // The renderer class that made the file (16 bytes).
  virtual HRESULT GetRendererGuid(IStream** stream) = 0;
  // The render template's name (UTF-16).
  virtual HRESULT GetTemplateName(IStream** stream) = 0;
  // The render template record (bytes).
  virtual HRESULT GetTemplateData(IStream** stream) = 0;
  // The creating application's private template data (bytes).
  virtual HRESULT GetAppTemplateData(IStream** stream) = 0;
  // The embedded project (bytes).
  virtual HRESULT GetProjectData(IStream** stream) = 0;
  // A description of the creating application (UTF-16).
  virtual HRESULT GetCreatorAppInfo(IStream** stream) = 0;
  // The window class of the creating application's main window (UTF-16).
  virtual HRESULT GetCreatorWindowClassName(IStream** stream) = 0;

 protected:
  ~IWuReadMetaProjectLink() = default;
};

// The version kind: the project-link version of the file.
inline constexpr IID IID_IWuReadMetaVersion = {
    0x13E407D5, 0x5FB5, 0x4626, {0xB6, 0xE4, 0x49, 0x66, 0x78, 0x88, 0xF5, 0xC0}};

class IWuReadMetaVersion : public IUnknown {
 public:
  // The version as a stream of one 32-bit value; `reserved` must be 0.
  virtual HRESULT GetVersion(IStream** stream, DWORD reserved) = 0;

 protected:
  ~IWuReadMetaVersion() = default;
};

// The loop record of the loop-info kind (24 bytes, little-endian).
struct WuMetaLoopRecord {
  DWORD flags;         // 0x1 one-shot, 0x2 root note set; 0x4, 0x8, 0x10 the reader's own
  BYTE rootNote;       // MIDI note number 0..127, when flag 0x2 is set
  BYTE reserved1[7];   // zero
  DWORD beats;         // number of beats
  DWORD reserved2;     // zero
  FLOAT tempo;         // beats per minute
};
static_assert(sizeof(WuMetaLoopRecord) == 24, "loop record is 24 bytes");

// The loop-info kind: loop and stretch information of a loop file.
inline constexpr IID IID_IWuReadMetaLoopInfo = {
    0xF0345341, 0xBAF2, 0x11D4, {0xB2, 0x6A, 0x00, 0xA0, 0xD2, 0x18, 0x83, 0x87}};

class IWuReadMetaLoopInfo : public IUnknown {
 public:
  // Fills the loop record: S_OK when the file has one, S_FALSE (record
  // zeroed) when not.
  virtual HRESULT GetLoopRecord(WuMetaLoopRecord* record) = 0;
  // Copies the stretch record into `bytes` bytes at `record`: S_OK when
  // the file has one, S_FALSE when not.
  virtual HRESULT GetStretchRecord(void* record, DWORD bytes) = 0;
  // The stretch list: a stream with the 12-byte reader stream header
  // {u32 12, u32 100, u32 item count} and its items.
  virtual HRESULT GetStretchList(IStream** stream) = 0;

 protected:
  ~IWuReadMetaLoopInfo() = default;
};

// The media-tag kind's information record (12 bytes, little-endian).
struct WuMetaMediaTagInfo {
  DWORD version;   // version of the tag data
  DWORD flags;     // the reader's own
  DWORD count;     // number of tags
};
static_assert(sizeof(WuMetaMediaTagInfo) == 12, "media-tag information is 12 bytes");

// The media-tag kind: catalogue tags carried by the file.
inline constexpr IID IID_IWuReadMetaMediaTag = {
    0x50FEB89B, 0x8026, 0x4FCC, {0xA2, 0xCC, 0x85, 0x5B, 0xCF, 0x8F, 0xF7, 0x4F}};

class IWuReadMetaMediaTag : public IUnknown {
 public:
  // The tags as a stream (the reader's own layout).
  virtual HRESULT GetTagStream(IStream** stream) = 0;
  // Fills the information record: S_OK when the file has tags.
  virtual HRESULT GetInfo(WuMetaMediaTagInfo* info) = 0;

 protected:
  ~IWuReadMetaMediaTag() = default;
};

// ---- Metadata streams -----------------------------------------------------
// The enumerator of a reader's metadata streams, one per kind, reached by
// QueryInterface on the reader.
inline constexpr IID IID_IWuEnumMetaStreams = {0x960A6634, 0x5DE0, 0x4C22,
                                               {0x90, 0xE0, 0x35, 0xD0, 0x1A, 0x0C, 0xF9, 0x71}};

class IWuEnumMetaStreams : public IUnknown {
 public:
  // Back to the first stream.
  virtual HRESULT Reset() = 0;
  // The next stream (a new reference): 0 while streams come, non-zero at
  // the end (*stream null then).
  virtual HRESULT Next(IStream** stream) = 0;

 protected:
  ~IWuEnumMetaStreams() = default;
};

// The metadata kinds, a bit mask. Each kind's GUID names both its stream
// from the enumerator and its RIFF64 chunk.
enum WUFIO_TYPESOFMETADATA : DWORD {
  WUFIO_META_INFO = 0x1,            // INFO summary: "LIST" "INFO"
  WUFIO_META_SLOT4 = 0x2,           // the record of the reader's slot 4
  WUFIO_META_MARKERS = 0x4,         // markers and regions: "cue ", "LIST" "adtl", "wu01"
  WUFIO_META_SCOT = 0x10,           // "scot" record
  WUFIO_META_PLAYLIST = 0x20,       // playlist: "plst", "wu02"
  WUFIO_META_TRACKLIST = 0x40,      // track list: "tlst"
  WUFIO_META_DISPLAY = 0x80,        // display list: "DISP"
  WUFIO_META_SAMPLER = 0x100,       // sampler loops: "smpl"
  WUFIO_META_AIFF_MARKERS = 0x200,  // AIFF "MARK" and "INST" (from the sampler stream)
  WUFIO_META_RAW = 0x400,           // raw chunks passed through
  WUFIO_META_STR2 = 0x4000,         // "str2" record
  WUFIO_META_BOOKMARKS = 0x8000,    // bookmarks: "bmrk"
  WUFIO_META_BEATS = 0x10000,       // beat marks: "dtbt"
  WUFIO_META_WU03 = 0x20000,        // "wu03" list
  WUFIO_META_PICTURES = 0x40000,    // "LIST" "pic "
  WUFIO_META_WU04 = 0x100000,       // "wu04" record
  WUFIO_META_BMPI = 0x200000,       // "bmpi" record
  WUFIO_META_BMPM = 0x400000,       // "bmpm" list
  WUFIO_META_BWF = 0x800000,        // broadcast-wave record: "bext"
};

inline constexpr GUID kMetaGuidInfo = {0x925F94BC, 0x525A, 0x11D2,
                                       {0x86, 0xDC, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline constexpr GUID kMetaGuidSlot4 = {0xC42554A2, 0x0DE9, 0x41F5,
                                        {0xBF, 0xF2, 0xC3, 0x25, 0x73, 0xF9, 0x05, 0xE3}};
inline constexpr GUID kMetaGuidMarkers = {0xABF76256, 0x392D, 0x11D2,
                                          {0x86, 0xC7, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline constexpr GUID kMetaGuidScot = {0xBD481736, 0x2F2C, 0x40E8,
                                       {0xA0, 0xAB, 0x3D, 0x52, 0x3E, 0xEB, 0x22, 0x6E}};
inline constexpr GUID kMetaGuidPlaylist = {0xF686AA44, 0x6773, 0x4AAD,
                                           {0x93, 0xB5, 0x10, 0x07, 0xC1, 0x2A, 0x8C, 0xDB}};
inline constexpr GUID kMetaGuidTracklist = {0xBE46E415, 0x5EA4, 0x4264,
                                            {0x92, 0x83, 0x3B, 0x20, 0x92, 0xD5, 0x7F, 0x66}};
inline constexpr GUID kMetaGuidDisplay = {0x612CCA25, 0x92BB, 0x4C55,
                                          {0x84, 0x08, 0x7B, 0xDA, 0x2F, 0x15, 0xBD, 0x27}};
inline constexpr GUID kMetaGuidSampler = {0x07A22A98, 0xF29A, 0x4FA4,
                                          {0xB7, 0xB5, 0x57, 0xC9, 0xD3, 0x71, 0xDB, 0x38}};
inline constexpr GUID kMetaGuidRaw = {0xD907621B, 0xCA0D, 0x40C3,
                                      {0xA8, 0x9D, 0x2A, 0x18, 0x2B, 0x5D, 0x20, 0xB7}};
inline constexpr GUID kMetaGuidStr2 = {0x62574347, 0x69A7, 0x473A,
                                       {0xA8, 0x9E, 0xD5, 0xB0, 0xFA, 0x7C, 0x9F, 0x7E}};
inline constexpr GUID kMetaGuidBookmarks = {0xB2A0A152, 0x055E, 0x4475,
                                            {0x86, 0xF1, 0x5D, 0x78, 0xAF, 0x15, 0xA0, 0x56}};
inline constexpr GUID kMetaGuidBeats = {0x3AE34B75, 0xF55E, 0x44EC,
                                        {0xA2, 0xF0, 0xF4, 0xEB, 0x3C, 0x53, 0xAF, 0x7D}};
inline constexpr GUID kMetaGuidWu03 = {0x6EE8897A, 0x3617, 0x4B2D,
                                       {0x92, 0x13, 0x91, 0x79, 0xE8, 0x84, 0xB7, 0x34}};
inline constexpr GUID kMetaGuidPictures = {0x20636970, 0xACF2, 0x11D3,
                                           {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
// Sensing blocks: one flat metadata block (WuSmfmf.h) per item.
inline constexpr GUID kMetaGuidSensing = {0x6D666D73, 0xACF2, 0x11D3,
                                          {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};
inline constexpr GUID kMetaGuidWu04 = {0x870914E2, 0x5832, 0x4639,
                                       {0x98, 0x8A, 0x37, 0x5E, 0x77, 0x8A, 0xC4, 0x4A}};
inline constexpr GUID kMetaGuidBmpi = {0xCC7E18D8, 0xBF95, 0x4D30,
                                       {0xBC, 0x30, 0xDF, 0xB6, 0xC2, 0x8C, 0x1D, 0x08}};
inline constexpr GUID kMetaGuidBmpm = {0x8A2EBAD0, 0xA180, 0x4C9E,
                                       {0x87, 0x78, 0x58, 0x7A, 0x7C, 0xBD, 0x9E, 0xF6}};
inline constexpr GUID kMetaGuidBwf = {0x9B15B15B, 0x9BE5, 0x46AB,
                                      {0x88, 0x47, 0xDB, 0xD0, 0xF9, 0x33, 0x68, 0x80}};

// The stream records (all numbers little-endian).
//
// An enumerator stream: a 28-byte header {u32 28, u32 100, u32 item count,
// kind GUID}; each item: a 28-byte sub-header {u32 28, u32 100, u32 item
// bytes n, kind GUID}, then the n bytes. Item bytes by kind:
//   markers: a 28-byte record {u32 field, u32 id, u64 position, u64 length
//     (all bits set for a plain marker), u32 text bytes}, then the UTF-16
//     text with its terminator;
//   INFO: a 12-byte entry {u32 12, FOURCC id, u32 text bytes}, then the
//     UTF-16 text;
//   broadcast-wave: the 12-byte field header and the field's bytes;
//   sampler: one item holding the 36-byte sampler header, then one 32-byte
//     loop per loop {u32 cue id, u32 type, u64 start, u64 length, u32
//     fraction, u32 play count};
//   "plst", "wu02", "tlst", "bmrk", "dtbt", "bmpm": one record per item;
//   "scot", "str2", "bmpi": one item holding the record;
//   display list: one entry {u32 id, u32 size, the bytes} per item;
//   raw chunks: one chunk per item (its 8-byte header, then its data);
//   "wu03", "wu04": the stream copied as it stands.
// The reader's region, command and summary streams: a 12-byte header {u32
// 12, u32 100, u32 item count}; a region item is a 28-byte record {u32 id,
// u64 start, u64 length in 100-ns units (all bits set for a plain marker),
// u32 region flag, u32 text bytes} and its text; a summary item is as the
// INFO entry.
constexpr DWORD kMetaStreamHeaderBytes = 28;
constexpr DWORD kMetaStreamVersion = 100;
constexpr DWORD kMetaReaderStreamHeaderBytes = 12;
constexpr DWORD kMetaMarkerRecordBytes = 28;
constexpr DWORD kMetaInfoEntryBytes = 12;
constexpr DWORD kMetaBwfFieldHeaderBytes = 12;
constexpr DWORD kMetaSamplerHeaderBytes = 36;
constexpr DWORD kMetaSamplerLoopBytes = 32;
constexpr DWORD kMetaRegionRecordBytes = 28;
constexpr ULONGLONG kMetaPlainMarkerLength = ~0ULL;
