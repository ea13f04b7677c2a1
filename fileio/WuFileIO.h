// The file-I/O plug-in interfaces: what the file-I/O manager offers its
// callers and what a file-format plug-in offers the manager. This header is
// the binary contract between the host and plug-in libraries; it holds
// declarations only, so a plug-in that includes it links nothing of ours.
//
// Layout (platform/com/com.h): operation n of an interface, counting from
// QueryInterface = 0, AddRef = 1 and Release = 2, is entry n of its vtable.
// Interfaces declare protected non-virtual destructors; an object class is
// final or declares its own virtual destructor after every numbered
// operation. Operations the callers rely on carry their names and
// arguments; the plug-ins' other operations are kept for their slots and
// carry signatures of this library's choosing. Where a table names a
// "deleting destructor" slot, it is an ordinary operation taking the flags
// word (bit 0: free the memory).
//
// Across processes (a plug-in hosted by the surrogate): every operation of
// the plug-in interfaces crosses, its arguments described by their
// declarations (fileio/WuFioRemoteTables.cpp); window handles cross as
// null, so a plug-in's dialog there has no owner. An operation marked
// WUFIO_LOCAL_ONLY answers E_NOTIMPL across processes: it takes an
// interface of the caller's process, or windows that would be children of
// the caller's. Other
// interface arguments cross when they are NULL or objects of the callee's
// own process; any other answers E_NOTIMPL.
//
// Threads: the host has no apartments. Objects are called on whatever
// thread asks; a plug-in that needs one thread serialises itself.
//
// Plug-ins call the platform (BSTRs, reads on the file handles they are
// given, global memory) and the handle functions declared below (Handles
// between processes) through the host program's exported symbols, so they
// share its handles, heap and allocators. A plug-in library exports only
// "DllGetClassObject".
#pragma once

#include <cstddef>

// Marks an operation that does not cross processes (see above).
#define WUFIO_LOCAL_ONLY

#include "mediaformats/WuReadMeta.h"
#include "platform/com/com.h"
#include "platform/com/oleauto.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/types.h"

// Records whose layout the framework defines next to the code that fills
// them; the interfaces pass them by pointer.
struct tWULIST;                        // the generic list (foundation/WuList.h)
struct WUFIO_FILTER_ENTRY;             // one entry of a filter builder, as GetEntry copies it
struct PROPPAGEINFO;                   // a property page's title and size (fileio/WuFioPageInfo.h)
struct MSG;                            // a window message (platform/user)
class IPropertyPageSite;               // the frame that hosts a property page (platform/com)

class IWuFileIOManager;
class IWuFileIOMgrForApp;
class IWuReadFileClass;
class IWuRenderFileClass;
class IWuReadFile;
class IWuRenderFile;
class IWuReadStream;
class IWuFileIOTypeEnum;
class IWuFIOPluginEnum;
class IWuFioFilterBuilder2;

// ---- The render template record ------------------------------------------------------------
// A render template: one self-sized block from the runtime heap (zero-filled
// allocation, released with free), written to files and streams byte for
// byte, little-endian. Its fixed part is 536 bytes; then come `privateSize`
// bytes of the renderer class's private data padded with zeros to a
// multiple of 4, then the text area: `textLength` UTF-16 code units holding
// the name, a NUL, the notes and a NUL. Total size = 536 + pad4(privateSize)
// + 2 x textLength; the smallest record on disk (empty name and notes) is
// 540 bytes.
//
// The 472 bytes from `audio` to `textLength` are the settings span that the
// template GUID and checksum cover.

// The audio settings block: 200 bytes at offset 56 of the record.
struct WUTEMPLATE_AUDIO {
  DWORD blockSize;           // 56: 200, or 0 when the template has no audio part
  DWORD streamCount;         // 60: 0 none, n streams, 0xFFFFFF00 multistream
  BYTE reserved1[8];         // 64
  BYTE format[40];           // 72: the source format, a _wuwaveformat with 40 bytes of room
  BYTE encoderSettings[32];  // 112: the encoder's settings (the audio extension)
  BYTE encodedFormat[96];    // 144: the encoded format, a _wuwaveformat (tag 0: none)
  DWORD flags;               // 240: bit 0x20 the bit rate is not known
  BYTE reserved2[12];        // 244
};
static_assert(sizeof(WUTEMPLATE_AUDIO) == 200);
static_assert(offsetof(WUTEMPLATE_AUDIO, format) == 72 - 56);
static_assert(offsetof(WUTEMPLATE_AUDIO, encoderSettings) == 112 - 56);
static_assert(offsetof(WUTEMPLATE_AUDIO, encodedFormat) == 144 - 56);
static_assert(offsetof(WUTEMPLATE_AUDIO, flags) == 240 - 56);

// The video settings block: 200 bytes at offset 256 of the record. The
// 64-bit values sit at offsets that are not multiples of 8 in every
// enclosing record, so they are kept as bytes; read them with memcpy.
struct WUTEMPLATE_VIDEO {
  DWORD blockSize;           // 256: 200, or 0 when the template has no video part
  DWORD streamCount;         // 260: coded as the audio count
  BITMAPINFOHEADER source;   // 264: the source format
  BYTE settings[64];         // 304: video format record; +12 LONG interlace type (-1 none),
                             //      +16 double frame rate (0: the project's), +24 double
                             //      pixel aspect ratio (0: none)
  BITMAPINFOHEADER output;   // 368: the output format
  BYTE reserved1[16];        // 408
  DWORD flags;               // 424: bit 0 pulldown (bits 0+1 2-3-3-2), bit 4 CBR, bit 5 VBR
  DWORD reserved2;           // 428
  DWORD generated;           // 432: 1 when made by a template generator
  DWORD reserved3;           // 436
  BYTE bytesPerSecond[8];    // 440: i64 data rate of the encoded stream (0: computed)
  BYTE reserved4[8];         // 448
};
static_assert(sizeof(WUTEMPLATE_VIDEO) == 200);
static_assert(offsetof(WUTEMPLATE_VIDEO, settings) == 304 - 256);
static_assert(offsetof(WUTEMPLATE_VIDEO, output) == 368 - 256);
static_assert(offsetof(WUTEMPLATE_VIDEO, flags) == 424 - 256);
static_assert(offsetof(WUTEMPLATE_VIDEO, generated) == 432 - 256);
static_assert(offsetof(WUTEMPLATE_VIDEO, bytesPerSecond) == 440 - 256);

// Sizes of a record's parts.
constexpr DWORD WUTEMPLATE_FIXED_SIZE = 536;       // bytes before the private data
constexpr DWORD WUTEMPLATE_MIN_SIZE = 540;         // empty name and notes, no private data
constexpr DWORD WUTEMPLATE_SETTINGS_OFFSET = 56;   // the settings span...
constexpr DWORD WUTEMPLATE_SETTINGS_SIZE = 472;    // ...and its length
constexpr DWORD WUTEMPLATE_BLOCK_SIZE = 200;       // blockSize of a present audio or video part
constexpr DWORD WUTEMPLATE_VERSION_V1 = 0x01000000;
constexpr DWORD WUTEMPLATE_VERSION_V2 = 0x02000000;

struct tagWUTEMPLATExV2 {
  DWORD totalSize;            // 0: bytes of the whole record, this field included
  DWORD version;              // 4: top byte the generation (1, 2), low 24 bits its revision
  DWORD attributes;           // 8: attribute word, copied from the source template
  LONG id;                    // 12: preset number of a renderer-class preset
  BYTE reserved[6];           // 16: zero
  WORD options;               // 22: bits 0-2 video quality (0 project, 1 draft .. 4 best)
  GUID classId;               // 24: renderer class owning the private data
  GUID guid;                  // 40: template GUID
  WUTEMPLATE_AUDIO audio;     // 56: audio settings
  WUTEMPLATE_VIDEO video;     // 256: video settings
  BYTE common[72];            // 456: common settings; first DWORD the stream-format flags
  DWORD textLength;           // 528: code units of the text area, both NULs included; 0 none
  LONG privateSize;           // 532: bytes of private data, never negative
  BYTE data[4];               // 536: private data, padding, then the text area

  // Bytes of private data rounded up to a multiple of 4 (0 when negative).
  DWORD PaddedPrivateSize() const {
    return privateSize > 0 ? (static_cast<DWORD>(privateSize) + 3u) & ~3u : 0u;
  }
  // The layout every reader checks first: private size not negative, the
  // text area inside the stated total size, and a text area that ends with
  // a NUL so that its texts end inside the record.
  bool HasValidLayout() const {
    if (privateSize < 0 || totalSize < WUTEMPLATE_FIXED_SIZE) return false;
    unsigned long long need = WUTEMPLATE_FIXED_SIZE + static_cast<unsigned long long>(PaddedPrivateSize()) +
                              2ull * textLength;
    if (need > totalSize) return false;
    return textLength == 0 || Text()[textLength - 1] == 0;
  }
  // Start of the private data.
  BYTE* PrivateData() { return data; }
  const BYTE* PrivateData() const { return data; }
  // Start of the text area (no checks). Counted from the record's start:
  // `data` names only the first bytes of the variable part, and pointer
  // arithmetic past its four bytes would leave the array.
  WCHAR* Text() {
    return reinterpret_cast<WCHAR*>(reinterpret_cast<BYTE*>(this) + WUTEMPLATE_FIXED_SIZE +
                                    PaddedPrivateSize());
  }
  const WCHAR* Text() const {
    return reinterpret_cast<const WCHAR*>(reinterpret_cast<const BYTE*>(this) +
                                          WUTEMPLATE_FIXED_SIZE + PaddedPrivateSize());
  }
  // The name; "" when the record has no text or fails its layout check.
  const WCHAR* GetName() const { return textLength != 0 && HasValidLayout() ? Text() : u""; }
};
static_assert(offsetof(tagWUTEMPLATExV2, version) == 4);
static_assert(offsetof(tagWUTEMPLATExV2, attributes) == 8);
static_assert(offsetof(tagWUTEMPLATExV2, id) == 12);
static_assert(offsetof(tagWUTEMPLATExV2, options) == 22);
static_assert(offsetof(tagWUTEMPLATExV2, classId) == 24);
static_assert(offsetof(tagWUTEMPLATExV2, guid) == 40);
static_assert(offsetof(tagWUTEMPLATExV2, audio) == 56);
static_assert(offsetof(tagWUTEMPLATExV2, video) == 256);
static_assert(offsetof(tagWUTEMPLATExV2, common) == 456);
static_assert(offsetof(tagWUTEMPLATExV2, textLength) == 528);
static_assert(offsetof(tagWUTEMPLATExV2, privateSize) == 532);
static_assert(offsetof(tagWUTEMPLATExV2, data) == WUTEMPLATE_FIXED_SIZE);
static_assert(sizeof(tagWUTEMPLATExV2) == WUTEMPLATE_MIN_SIZE);
typedef tagWUTEMPLATExV2 WUTEMPLATExV2;

// ---- Records of the factories and the plug-in enumerator -----------------------------------
// Metric values handed to a new manager: bit i of `mask` set means values[i]
// is given (i in 0..39; higher bits are ignored).
struct _WUFIO_INITIALIZATION_METRICS {
  ULONGLONG mask;    // which values are given
  LONG values[40];   // metrics 0..39
};
static_assert(sizeof(_WUFIO_INITIALIZATION_METRICS) == 168);

// What a host hands the factory besides its flags: which plug-ins to use
// and the metrics to start with.
struct _WUFIO_KEYED_INFO {
  DWORD reserved;                           // unused
  const GUID* filterList;                   // plug-in class ids, or NULL
  LONG filterCount;                         // ids in filterList
  DWORD filterFlags;                        // bit 0: the list names the plug-ins to use, else those to leave out
  _WUFIO_INITIALIZATION_METRICS metrics;    // metric values
};
// 184 bytes where pointers take 32 bits; its natural size here.
constexpr size_t WUFIO_KEYED_INFO_SIZE = sizeof(_WUFIO_KEYED_INFO);
static_assert(WUFIO_KEYED_INFO_SIZE == (sizeof(void*) == 4 ? 184 : 192));

// What the plug-in enumerator tells of one plug-in class: 592 bytes,
// little-endian, the size word set by the caller.
struct WUFIO_PLUGIN_INFO {
  DWORD size;            // 0: set by the caller to WUFIO_PLUGIN_INFO_SIZE
  DWORD unused;          // 4: not written
  GUID classId;          // 8: the plug-in class
  GUID readerClassId;    // 24: its reader class, zero when none
  GUID rendererClassId;  // 40: its renderer class, zero when none
  WCHAR path[260];       // 56: the library's full path, terminated
  BYTE zero[16];         // 576: written as zero
};
constexpr DWORD WUFIO_PLUGIN_INFO_SIZE = 592;
static_assert(sizeof(WUFIO_PLUGIN_INFO) == WUFIO_PLUGIN_INFO_SIZE);
static_assert(offsetof(WUFIO_PLUGIN_INFO, classId) == 8);
static_assert(offsetof(WUFIO_PLUGIN_INFO, readerClassId) == 24);
static_assert(offsetof(WUFIO_PLUGIN_INFO, rendererClassId) == 40);
static_assert(offsetof(WUFIO_PLUGIN_INFO, path) == 56);
static_assert(offsetof(WUFIO_PLUGIN_INFO, zero) == 576);

// ---- Stream format records -----------------------------------------------------------------
// Stream types (WUFILESTREAMTYPE).
constexpr DWORD WUFILESTREAMTYPE_AUDIO = 1;
constexpr DWORD WUFILESTREAMTYPE_VIDEO = 2;
constexpr DWORD WUFILESTREAMTYPE_OTHER = 4;

// An audio stream's extension: the plug-ins' own 32 bytes, carried unread.
struct tWUAUDIOEXTENSION {
  BYTE bytes[32];  // plug-in data
};
static_assert(sizeof(tWUAUDIOEXTENSION) == 32);

// A video stream's extension: the layout of the imaging library's video
// format record (WUVIDEOFORMATINFO; the helpers assert the two agree).
struct tWUVIDEOEXTENSION {
  DWORD size;          // 0: 64
  LONG attributes;     // 4: -1, or 0x1000 for grey codes
  DWORD reserved;      // 8: 0
  LONG interlace;      // 12: interlace kind (field order); -1 not given
  double frameRate;    // 16: frames per second
  double pixelAspect;  // 24: pixel aspect ratio
  BYTE zero[32];       // 32: zeros
};
static_assert(sizeof(tWUVIDEOEXTENSION) == 64);
static_assert(offsetof(tWUVIDEOEXTENSION, interlace) == 12);
static_assert(offsetof(tWUVIDEOEXTENSION, frameRate) == 16);
static_assert(offsetof(tWUVIDEOEXTENSION, pixelAspect) == 24);

// One stream's format, 184 bytes, little-endian. The caller presets `size`
// to the room of its buffer (184 or more); a plug-in that only knows the
// version-1 record overwrites it with a stream type instead
// (WuFio_ConvertToV2ifV1).
constexpr DWORD WUFILESTREAMFORMATINFO_SIZE = 184;
struct _WUFILESTREAMFORMATINFOv2 {
  DWORD size;        // 0: record size (184)
  DWORD streamType;  // 4: WUFILESTREAMTYPE_*
  LONGLONG length;   // 8: length in the stream's own units (frames for video)
  DWORD values[2];   // 16: filled only by the conversion from version 1
  union {
    tWUAUDIOEXTENSION audio;  // audio: 32 bytes
    tWUVIDEOEXTENSION video;  // video: 64 bytes
    BYTE other[40];           // other streams: 40 bytes
    BYTE bytes[64];           // the whole block; unused bytes are zero
  } extension;                // 24
  // 88: audio, a _wuwaveformat (audio/WuWaveFormat.h) given 96 bytes of
  // room; video, a BITMAPINFOHEADER (40 bytes); other, a 20-byte record.
  BYTE format[96];
};
static_assert(sizeof(_WUFILESTREAMFORMATINFOv2) == WUFILESTREAMFORMATINFO_SIZE);
static_assert(offsetof(_WUFILESTREAMFORMATINFOv2, length) == 8);
static_assert(offsetof(_WUFILESTREAMFORMATINFOv2, values) == 16);
static_assert(offsetof(_WUFILESTREAMFORMATINFOv2, extension) == 24);
static_assert(offsetof(_WUFILESTREAMFORMATINFOv2, format) == 88);

// The version-1 form, in which the caller supplies the buffers: eleven
// words where pointers take 32 bits, its natural layout here. A plug-in
// writes the needed or written sizes and the 16 bytes at `length`.
struct _WUFILESTREAMFORMATINFOv1 {
  DWORD streamType;       // word 0: WUFILESTREAMTYPE_*
  void* format;           // word 1: the format buffer (WAVEFORMATEX or BITMAPINFOHEADER)
  DWORD formatBytes;      // word 2: its size in bytes
  DWORD formatNeeded;     // word 3: size the plug-in needed or wrote
  void* extension;        // word 4: the extension buffer, or NULL
  DWORD extensionBytes;   // word 5: its size in bytes
  DWORD extensionNeeded;  // word 6: size the plug-in needed or wrote
  LONGLONG length;        // words 7-8: the stream's length
  DWORD values[2];        // words 9-10: two plug-in values
};
static_assert(sizeof(void*) != 8 || sizeof(_WUFILESTREAMFORMATINFOv1) == 56);
static_assert(sizeof(void*) != 8 || offsetof(_WUFILESTREAMFORMATINFOv1, length) == 40);

// One entry of a map from info-text ids (WUFIO_FILECLASS_INFO_TEXT) to
// string references: a string resource id below 0x10000, a multilingual
// row, or plain text (anything WuGetStringSmart accepts).
struct FILECLASS_INFO_STRING_MAP {
  DWORD id;     // the info-text id
  LPCWSTR ref;  // its string reference
};

// ---- Identifiers -------------------------------------------------------------------------
inline constexpr IID IID_IWuFileIOManager = {0xD4FF4749, 0x8ACE, 0x457E,
                                             {0xA8, 0x78, 0xD4, 0xAD, 0x33, 0x21, 0x74, 0xBA}};
inline constexpr IID IID_IWuFileIOMgrForApp = {0xD4FF4750, 0x8ACE, 0x457E,
                                               {0xA8, 0x78, 0xD4, 0xAD, 0x33, 0x21, 0x74, 0xBA}};
inline constexpr IID IID_IWuReadFileClass = {0xEEF647F1, 0x02AB, 0x4FCD,
                                             {0xB0, 0x6E, 0xA5, 0x01, 0xAE, 0xFF, 0x2D, 0x34}};
inline constexpr IID IID_IWuRenderFileClass = {0x5F351064, 0x46AD, 0x47EE,
                                               {0x89, 0x99, 0x54, 0x87, 0x69, 0xE7, 0x36, 0x39}};
inline constexpr IID IID_IWuReadFile = {0x08458FE3, 0x09B8, 0x4C25,
                                        {0x8B, 0x42, 0xFA, 0x7A, 0x46, 0x0D, 0xFC, 0x47}};
inline constexpr IID IID_IWuRenderFile = {0xA69223F6, 0x6701, 0x4B79,
                                          {0x95, 0xE5, 0x86, 0x4C, 0x2B, 0x24, 0xDC, 0xD7}};
inline constexpr IID IID_IWuReadStream = {0x60FD1C41, 0x7825, 0x11D3,
                                          {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};
inline constexpr IID IID_IWuReadAudioStream = {0x6E362EA8, 0xF473, 0x4167,
                                               {0xB8, 0x5F, 0x07, 0x4E, 0xAB, 0x32, 0x90, 0xCE}};
inline constexpr IID IID_IWuReadVideoStream = {0xD8E86F3C, 0x4C2F, 0x403C,
                                               {0xAC, 0x5B, 0x43, 0xF0, 0x2A, 0xF1, 0xB4, 0x27}};
inline constexpr IID IID_IWuReadVideoStreamFormat = {
    0x68EFE083, 0x5F0C, 0x4415, {0x93, 0x34, 0xF6, 0xCE, 0x84, 0x48, 0x78, 0x29}};
inline constexpr IID IID_IWuReadAudioStreamV1 = {0x8EBC1B81, 0x775E, 0x11D3,
                                                 {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};
inline constexpr IID IID_IWuReadVideoStreamV1 = {0x60FD1C42, 0x7825, 0x11D3,
                                                 {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};
inline constexpr IID IID_IWuRenderPostSave = {0x90E4C591, 0xDB0F, 0x4E05,
                                              {0x9A, 0x67, 0xB5, 0x20, 0xB2, 0x1A, 0x94, 0x02}};
inline constexpr IID IID_IWuReadFileNotify = {0xE769409F, 0x5CE7, 0x459F,
                                              {0x8F, 0x30, 0x4A, 0xF5, 0xA1, 0x64, 0xE0, 0x2A}};
inline constexpr IID IID_IWuReadFileChain = {0x807FF000, 0xB08C, 0x4A6D,
                                             {0x80, 0x2D, 0x08, 0xBE, 0x24, 0x0C, 0xAF, 0x99}};
inline constexpr IID IID_IWuFileIOClassList = {0x404E18A7, 0xC288, 0x4499,
                                               {0x8E, 0x42, 0x33, 0xFE, 0xCF, 0xA1, 0x64, 0x2C}};
inline constexpr IID IID_IWuFileIOTypeEnum = {0x39D2F264, 0x7655, 0x11D3,
                                              {0xA4, 0x83, 0x00, 0x10, 0x5A, 0x24, 0xAA, 0x37}};
inline constexpr IID IID_IWuFIOPluginEnum = {0xE0399842, 0xAA55, 0x11D4,
                                             {0xB2, 0x6A, 0x00, 0xA0, 0xD2, 0x18, 0x83, 0x87}};
inline constexpr IID IID_IWuFileIOSurrogate = {0x7618D4F5, 0xDF31, 0x45E9,
                                               {0x9D, 0x39, 0x40, 0xFD, 0x90, 0xD4, 0x4C, 0x9B}};
inline constexpr IID IID_IWuFioFilterBuilder2 = {0xA886D595, 0x5FAE, 0x4124,
                                                 {0x8F, 0x48, 0x4A, 0x23, 0x48, 0x0E, 0xE3, 0x58}};
inline constexpr IID IID_IWuFileIOPropertyPage = {
    0x9A518D06, 0x4ABD, 0x4860, {0xB7, 0x90, 0x7C, 0x7F, 0x80, 0xDF, 0x80, 0xAD}};
inline constexpr IID IID_IWuFileIOTemplateEditHolder = {
    0x2F5F5809, 0xAE7E, 0x44DF, {0x83, 0xA7, 0x76, 0xE6, 0x0C, 0xE4, 0x4E, 0xC5}};

// The class every plug-in library offers to describe its classes
// (IWuFileIOClassList).
inline constexpr CLSID CLSID_WuFileIOClassList = {
    0xF6E48972, 0x515B, 0x4A5E, {0xB3, 0x16, 0xA4, 0x6A, 0x03, 0xC9, 0xC3, 0xC0}};
// The out-of-process surrogate (IWuFileIOSurrogate).
inline constexpr CLSID CLSID_WuFileIOSurrogate = {
    0x5CDF45F4, 0x888C, 0x461A, {0x8A, 0xB2, 0x5A, 0xAA, 0x01, 0x5B, 0x46, 0x42}};
// The generic reader class, the last resort of the reader searches.
inline constexpr CLSID CLSID_WuGenericReader = {
    0xBFD5DB7F, 0xE73B, 0x41F9, {0xAF, 0x05, 0x61, 0x7C, 0x1D, 0x2E, 0x4A, 0x09}};

// ---- The manager ---------------------------------------------------------------------------
// Every operation returns a status code unless said otherwise. Keys are
// positions in the manager's sorted reader or renderer list.
class IWuFileIOManager : public IUnknown {
 public:
  // 3: the UI language's LCID; `reserved` must be 0.
  virtual HRESULT GetLanguageId(DWORD* lcid, LONG reserved) = 0;
  // 4: E_NOTIMPL.
  virtual HRESULT Reserved4() = 0;
  // 5-11: numbered settings, 0..39 in memory, above 40 (and negative) in
  // the metrics profile.
  virtual HRESULT GetMetric(DWORD id, LONG* value) = 0;
  virtual HRESULT SetMetric(DWORD id, LONG value) = 0;
  virtual HRESULT GetMetricString(DWORD id, LPWSTR buffer, LONG size, LONG* chars) = 0;
  virtual HRESULT SetMetricString(DWORD id, LPCWSTR text) = 0;
  virtual HRESULT DeleteMetric(DWORD id, LONG kind) = 0;
  virtual HRESULT GetMetricBinary(DWORD id, void* buffer, DWORD bytes, DWORD* got) = 0;
  virtual HRESULT SetMetricBinary(DWORD id, const void* data, DWORD bytes) = 0;
  // 12: E_NOTIMPL.
  virtual HRESULT Reserved12() = 0;
  // 13-17: reader and renderer classes by type code, id and extension.
  virtual HRESULT GetReaderClassByTypeCode(IWuReadFileClass** out, LONG code) = 0;
  virtual HRESULT GetReaderClassById(IWuReadFileClass** out, GUID id) = 0;
  virtual HRESULT GetRendererClassById(IWuRenderFileClass** out, GUID id) = 0;
  // 16, 17: the scan starts at *key (-1 counts as 0); *key receives the
  // key (place in the list) of the class found. A search for the next
  // claimant passes that key + 1.
  virtual HRESULT FindReaderClassByExtension(IWuReadFileClass** out, LPCWSTR ext, LONG* key) = 0;
  virtual HRESULT FindRendererClassByExtension(IWuRenderFileClass** out, LPCWSTR ext,
                                               LONG* key) = 0;
  // 18, 19: open a file for reading (the path may carry a "?" suffix).
  virtual HRESULT OpenFile(LPCWSTR path, IWuReadFile** out, DWORD flags) = 0;
  virtual HRESULT OpenFileWithClass(LPCWSTR path, IWuReadFile** out, GUID readerId,
                                    DWORD flags) = 0;
  // 20: the template editor.
  virtual HRESULT EditTemplate(HWND owner, IWuRenderFileClass* cls, LONG pageWord,
                               const void* settings, DWORD* flags, IStream* templates,
                               tagWUTEMPLATExV2* in, tagWUTEMPLATExV2** out) = 0;
  // 21, 22: set-up and teardown.
  virtual HRESULT Initialize(DWORD flags) = 0;
  virtual HRESULT Shutdown() = 0;
  // 23-26: the type enumerators and their counts (25 and 26 return counts).
  virtual HRESULT GetReaderEnum(IWuFileIOTypeEnum** out) = 0;
  virtual HRESULT GetRendererEnum(IWuFileIOTypeEnum** out) = 0;
  virtual LONG GetReaderCount() = 0;
  virtual LONG GetRendererCount() = 0;
  // 27, 28: the reader key for an open file and for a file name.
  virtual HRESULT IdentifyReader(HANDLE file, LPCWSTR path, LONG* key, DWORD flags) = 0;
  virtual HRESULT FindReaderByFileName(LPCWSTR path, LONG* key) = 0;
  // 29-31: classes by key and by dialog name.
  virtual HRESULT GetReaderClassByKey(IWuReadFileClass** out, LONG key) = 0;
  virtual HRESULT GetRendererClassByKey(IWuRenderFileClass** out, LONG key) = 0;
  virtual HRESULT FindRendererClassByDialogName(IWuRenderFileClass** out, LPCWSTR text) = 0;
  // 32: E_NOTIMPL.
  virtual HRESULT Reserved32() = 0;
  // 33, 34: the reader class that holds a file; tell a reader of a file.
  virtual HRESULT FindLockingReaderClass(LPCWSTR path, IWuReadFileClass** out) = 0;
  virtual HRESULT NotifyReaderOfFile(LPCWSTR path, DWORD flags) = 0;
  // 35-38: the plug-ins.
  virtual HRESULT GetPluginCount(LONG* count) = 0;
  virtual HRESULT HasPlugin(GUID id) = 0;
  virtual HRESULT GetPluginEnum(IWuFIOPluginEnum** out) = 0;
  virtual HRESULT GetPluginInfo(GUID id, WUFIO_PLUGIN_INFO* info) = 0;
  // 39, 40: file-type filter builders (kind 16 readers, 32 renderers).
  virtual HRESULT CreateFilterBuilder(IWuFioFilterBuilder2** out, LONG kind, LONG value,
                                      DWORD flags) = 0;
  virtual HRESULT CreateFilterBuilderEx(IWuFioFilterBuilder2** out, LONG kind, DWORD mask,
                                        DWORD matchValue, DWORD flags) = 0;
  // 41: teardown; frees the object when bit 0 of `flags` is set.
  virtual void DeletingDestructor(LONG flags) = 0;
  // 42-49: set-up, discovery and the plug-in cache.
  virtual HRESULT InitializeEx(DWORD flags, LPCWSTR appFolderName) = 0;
  virtual HRESULT LoadPluginsFromCache(tWULIST* list, DWORD flags, void* context) = 0;
  virtual HRESULT AddPluginCandidates(tWULIST** out, const WCHAR* const* paths, LONG count,
                                      DWORD flags, LONG* reserved) = 0;
  virtual HRESULT FindPlugins(tWULIST** out, DWORD flags, LONG* reserved) = 0;
  virtual HRESULT Reserved46() = 0;
  virtual HRESULT ApplyInitializationMetrics(const _WUFIO_INITIALIZATION_METRICS* metrics) = 0;
  virtual HRESULT SetPluginList(tWULIST* list, DWORD filterFlags, const GUID* filterList,
                                LONG filterCount) = 0;
  virtual HRESULT SaveCache(DWORD flags) = 0;
  // 50-54: type codes and the last used classes.
  virtual HRESULT GetReaderKeyByTypeCode(LONG code, LONG* key) = 0;
  virtual HRESULT GetLastUsedReaderClass(IWuReadFileClass** out) = 0;
  virtual HRESULT NoteReaderClassUsed(IWuReadFileClass* cls) = 0;
  virtual HRESULT GetLastUsedRendererClass(IWuRenderFileClass** out) = 0;
  virtual HRESULT NoteRendererClassUsed(IWuRenderFileClass* cls) = 0;

 protected:
  ~IWuFileIOManager() = default;
};

// The application's view of the manager: the same table.
class IWuFileIOMgrForApp : public IWuFileIOManager {
 protected:
  ~IWuFileIOMgrForApp() = default;
};

// ---- Handles between processes -------------------------------------------------------------
// Functions of the host program that plug-ins call. A class hosted in the
// surrogate lives in another process than its caller: a handle it is given
// together with the caller's process id (IWuReadFileClass::Open) is a
// handle value of the caller's process, which the class takes into its own
// with DuplicateHandleFromProcessId during the call. In the caller's own
// process the same call makes a copy, so a class does it wherever it runs.

// A handle of this process for `handle`, a handle value of the process
// `processId`: within this process a copy with the same access; from
// another process only while that process has a call in progress to this
// one with that handle as an argument, else the converted
// ERROR_ACCESS_DENIED. Other failures give the converted Win32 error. *out
// is NULL on failure (E_POINTER without out); the caller closes it.
HRESULT DuplicateHandleFromProcessId(DWORD handle, DWORD processId, HANDLE* out);
// A handle for the process `processId` to the object of `handle` (of this
// process): within this process a copy; for another process only over a
// connection between the two (else the converted ERROR_ACCESS_DENIED), the
// copy then being noted as made for this process. *out is the handle value
// in that process.
HRESULT DuplicateHandleToProcessId(HANDLE handle, DWORD processId, HANDLE* out);

// ---- Plug-in classes -----------------------------------------------------------------------
// A reader class: identifies and opens the files of one format.
class IWuReadFileClass : public IUnknown {
 public:
  // 3, 4: the class's key in the manager's reader list (callers preset -1).
  virtual HRESULT SetIndex(LONG key) = 0;
  virtual HRESULT GetKey(LONG* key) = 0;
  // 5: called once after creation with the manager (of the caller's process).
  WUFIO_LOCAL_ONLY virtual HRESULT Initialize(IWuFileIOManager* manager) = 0;
  // 6: the manager given to Initialize (a new reference).
  virtual HRESULT GetManager(IWuFileIOManager** manager) = 0;
  // 7: the reader class id.
  virtual HRESULT GetClassId(GUID* id) = 0;
  // 8: the access and class flags values.
  virtual HRESULT GetFlags(DWORD* access, DWORD* flags) = 0;
  // 9: the kinds of stream the class reads (1 audio, 2 video, 4 other).
  virtual HRESULT GetStreamTypes(DWORD* types) = 0;
  // 10: the matching renderer class, when the plug-in has one.
  virtual HRESULT GetRendererClass(IWuRenderFileClass** out) = 0;
  // 11: texts by info-text id into `count` new BSTRs (owned by the caller).
  virtual HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) = 0;
  // 12, 13: 0 accepts the file; 0x8004E086 or 0x8004E047: could open it,
  // but not now; other values refuse. CheckFile's `file` is a handle of the
  // class's own process for the call (for a class hosted in the surrogate,
  // a copy the manager made there).
  virtual HRESULT CheckFile(HANDLE file, const void* head, DWORD headBytes, LPCWSTR ext) = 0;
  virtual HRESULT CheckPath(LPCWSTR path) = 0;
  // 14: the metadata kinds (WUFIO_TYPESOFMETADATA) the class reads.
  virtual HRESULT GetMetadataTypes(DWORD* kinds) = 0;
  // 15: opens a file; `processId` owns the handle. `file` is a handle value
  // of that process, not necessarily of the class's: a class that reads
  // through it takes a handle of its own with DuplicateHandleFromProcessId
  // (the value of `file`, processId) during the call and closes that when
  // done. Hosted in the surrogate, `file` is no handle of the surrogate's.
  virtual HRESULT Open(IWuReadFile** out, HANDLE file, DWORD processId, LPCWSTR path,
                       LONG shareFlag) = 0;
  // 16, 17: numbered class properties.
  virtual HRESULT GetProperty(DWORD id, LONGLONG* value) = 0;
  virtual HRESULT SetProperty(DWORD id, LONGLONG value) = 0;
  // 18: whether the plug-in is usable: *status its state, *text (may be
  // NULL; a new BSTR owned by the caller) an explanation.
  virtual HRESULT GetState(HRESULT* status, BSTR* text) = 0;

 protected:
  ~IWuReadFileClass() = default;
};

// A renderer class: writes files of one format from render templates.
class IWuRenderFileClass : public IUnknown {
 public:
  // 3-7 as for reader classes.
  virtual HRESULT SetIndex(LONG key) = 0;
  virtual HRESULT GetKey(LONG* key) = 0;
  WUFIO_LOCAL_ONLY virtual HRESULT Initialize(IWuFileIOManager* manager) = 0;
  virtual HRESULT GetManager(IWuFileIOManager** manager) = 0;
  virtual HRESULT GetClassId(GUID* id) = 0;
  // 8: the parts templates of the class have (bit 1 audio, bit 2 video).
  virtual HRESULT GetPartMask(DWORD* mask) = 0;
  // 9: the access and class flags values.
  virtual HRESULT GetFlags(DWORD* access, DWORD* flags) = 0;
  // 10: the matching reader class, when the plug-in has one.
  virtual HRESULT GetReaderClass(IWuReadFileClass** out) = 0;
  // 11: texts by info-text id, as for reader classes.
  virtual HRESULT GetStrings(const DWORD* ids, LONG count, BSTR* out) = 0;
  // 12: whether a render template suits the class (0 yes).
  virtual HRESULT CheckTemplate(const tagWUTEMPLATExV2* record) = 0;
  // 13: a new file to render into.
  virtual HRESULT CreateRenderFile(IWuRenderFile** out, LPCWSTR path,
                                   const tagWUTEMPLATExV2* record, HANDLE file,
                                   DWORD flags) = 0;
  // 14, 15: the built-in presets; the preset is a new record the caller frees.
  virtual HRESULT GetPresetCount(LONG* count) = 0;
  virtual HRESULT GetPreset(tagWUTEMPLATExV2** out, LONG index) = 0;
  // 16, 17: numbered class properties.
  virtual HRESULT GetProperty(DWORD id, LONGLONG* value) = 0;
  virtual HRESULT SetProperty(DWORD id, LONGLONG value) = 0;
  // 18: converts a record (mode 1 lifted from version 1, 2 the project
  // default) into a new one; E_NOTIMPL keeps the record as it is.
  virtual HRESULT ConvertTemplate(tagWUTEMPLATExV2** out, const tagWUTEMPLATExV2* record,
                                  LONG mode) = 0;
  // 19: may replace *record (freeing the old one) in view of `other` and
  // the first private template.
  virtual HRESULT TemplateOperation(tagWUTEMPLATExV2** record, const tagWUTEMPLATExV2* other,
                                    const tagWUTEMPLATExV2* firstPrivate, LONG mode) = 0;
  // 20: a value of a template (such as type 3 or 4, a bit rate) into
  // `bytes` bytes at `out`.
  virtual HRESULT GetTemplateInfo(const tagWUTEMPLATExV2* record, void* out, DWORD bytes,
                                  DWORD type) = 0;
  // 21-23: the property pages of the template editor; extra pages count
  // only when bit 0 of *flags is set.
  virtual HRESULT GetPageCount(LONG* count, LONG* extraCount, DWORD* flags) = 0;
  // 22: property pages, whose windows would be children of the caller's.
  WUFIO_LOCAL_ONLY virtual HRESULT GetPage(LONG number, REFIID iid, void** page) = 0;
  virtual HRESULT PreparePages(HWND owner) = 0;
  // 24, 25: the class's own settings as bytes.
  virtual HRESULT GetSettings(void* buffer, DWORD bytes, DWORD* got) = 0;
  virtual HRESULT SetSettings(const void* data, DWORD bytes) = 0;
  // 26: whether the plug-in is usable, as reader classes' 18.
  virtual HRESULT GetState(HRESULT* status, BSTR* text) = 0;

 protected:
  ~IWuRenderFileClass() = default;
};

// ---- Files and streams ---------------------------------------------------------------------
// An open media file. Text and value operations answer S_OK when the value
// exists, S_FALSE when it is not set, negative on failure.
class IWuReadFile : public IUnknown {
 public:
  // 3: the reader class (a new reference).
  virtual HRESULT GetClass(IWuReadFileClass** out) = 0;
  // 4: kind 1 type name, 2 data rate as text.
  virtual HRESULT GetFileText(LPWSTR buffer, LONG size, LONG kind) = 0;
  // 5: kind 1 codec name, 2 stream description, 3 data rate as text.
  virtual HRESULT GetStreamText(LPWSTR buffer, LONG size, LONG stream, LONG kind) = 0;
  // 6: kind 1 total data rate, 2 subtitle-stream count, 3 subtitle-stream
  // table, 4 compatibility flags.
  virtual HRESULT GetFileValue(void* buffer, DWORD bytes, LONG kind) = 0;
  // 7: kind 1 codec FOURCC, 2 data rate, 3 pulldown, 4 group, 5 language.
  virtual HRESULT GetStreamValue(void* buffer, DWORD bytes, LONG stream, LONG kind) = 0;
  // 8: a second reader of the same file.
  virtual HRESULT Clone(IWuReadFile** out) = 0;
  // 9, 10: the file's size in bytes and the reader's flags.
  virtual HRESULT GetFileSize(LONGLONG* bytes) = 0;
  virtual HRESULT GetFlags(DWORD* flags) = 0;
  // 11, 12: numbered file properties.
  virtual HRESULT GetProperty(DWORD id, LONGLONG* value) = 0;
  virtual HRESULT SetProperty(DWORD id, LONGLONG value) = 0;
  // 13: the file's path into 260 characters.
  virtual HRESULT GetFileName(LPWSTR buffer) = 0;
  // 14: the duration in 100-ns units.
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  // 15: the number of streams.
  virtual HRESULT GetStreamCount(LONG* count) = 0;
  // 16: the stream of a type and ordinal (the inverse of 18).
  virtual HRESULT FindStream(DWORD type, LONG ordinal, LONG* stream) = 0;
  // 17: fills a stream's format record (its size word preset).
  virtual HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format, LONG stream,
                                  LONG version) = 0;
  // 18: type (1 audio, 2 video, 4 MIDI, 8 other) and ordinal of a stream.
  virtual HRESULT GetStreamIdentity(LONG stream, DWORD* type, LONG* ordinal) = 0;
  // 19: the default stream of a type.
  virtual HRESULT GetDefaultStream(DWORD type, LONG* stream) = 0;
  // 20: a reader of one stream.
  virtual HRESULT OpenStream(IWuReadStream** out, LONG stream, DWORD type, DWORD flags,
                             void* reserved) = 0;
  // 21: the metadata kinds (WUFIO_TYPESOFMETADATA) the file carries.
  virtual HRESULT GetMetadataTypes(DWORD* kinds) = 0;
  // 22: the metadata reader.
  virtual HRESULT GetMetaReader(IWuReadMeta** out) = 0;
  // 23: releases the file before the last reference goes.
  virtual HRESULT Close() = 0;

 protected:
  ~IWuReadFile() = default;
};

// A file being rendered.
class IWuRenderFile : public IUnknown {
 public:
  // 3: the renderer class (a new reference).
  virtual HRESULT GetClass(IWuRenderFileClass** out) = 0;
  // 4-6: the streams to write.
  virtual HRESULT AddStream(const _WUFILESTREAMFORMATINFOv2* format, LONG* stream) = 0;
  virtual HRESULT GetStreamCount(LONG* count) = 0;
  virtual HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format, LONG stream) = 0;
  // 7-10: writing.
  virtual HRESULT Begin() = 0;
  virtual HRESULT WriteAudio(LONG stream, const void* data, DWORD bytes, DWORD* written) = 0;
  virtual HRESULT WriteVideoFrame(LONG stream, const void* data, DWORD bytes,
                                  LONGLONG frame) = 0;
  virtual HRESULT End() = 0;
  // 11: stops and removes what was written.
  virtual HRESULT Abort() = 0;
  // 12: a metadata kind's stream to store with the file.
  WUFIO_LOCAL_ONLY virtual HRESULT SetMetaStream(REFIID kind, IStream* stream) = 0;
  // 13: the file's path into `size` characters.
  virtual HRESULT GetFileName(LPWSTR buffer, LONG size) = 0;
  // 14: a copy of the template the file is rendered with.
  virtual HRESULT GetTemplate(tagWUTEMPLATExV2** out) = 0;
  // 15: bytes written so far.
  virtual HRESULT GetBytesWritten(LONGLONG* bytes) = 0;
  // 16, 17: numbered file properties.
  virtual HRESULT GetProperty(DWORD id, LONGLONG* value) = 0;
  virtual HRESULT SetProperty(DWORD id, LONGLONG value) = 0;

 protected:
  ~IWuRenderFile() = default;
};

// One stream of an open file.
class IWuReadStream : public IUnknown {
 public:
  // 3: the reader class; 4: the file (new references).
  virtual HRESULT GetClass(IWuReadFileClass** out) = 0;
  virtual HRESULT GetFile(IWuReadFile** out) = 0;
  // 5-7: what the stream is.
  virtual HRESULT GetStreamType(DWORD* type) = 0;
  virtual HRESULT GetStreamIndex(LONG* stream) = 0;
  virtual HRESULT GetLength(LONGLONG* length) = 0;
  // 8-10: reading in the stream's own units.
  virtual HRESULT Seek(LONGLONG position) = 0;
  virtual HRESULT GetPosition(LONGLONG* position) = 0;
  virtual HRESULT Read(void* buffer, DWORD bytes, DWORD* read) = 0;

 protected:
  ~IWuReadStream() = default;
};

// An audio stream.
class IWuReadAudioStream : public IWuReadStream {
 public:
  // 11, 12: samples.
  // (The buffer holds `frames` frames of the sample type and channel count
  // set; across processes both sides size it so.)
  virtual HRESULT ReadSamples(void* buffer, LONGLONG first, LONG frames, LONG* got) = 0;
  virtual HRESULT GetSampleCount(LONGLONG* frames) = 0;
  // 13: the stream's format as a version-2 record (size word preset).
  virtual HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format) = 0;
  // 14: the stream's compressed format, as 13.
  virtual HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* format) = 0;
  // 15-18: the format asked of ReadSamples.
  virtual HRESULT GetSampleType(DWORD* type) = 0;
  virtual HRESULT SetSampleType(DWORD type) = 0;
  virtual HRESULT GetChannelCount(LONG* channels) = 0;
  virtual HRESULT GetSampleRate(DWORD* rate) = 0;

 protected:
  ~IWuReadAudioStream() = default;
};

// A video stream.
class IWuReadVideoStream : public IWuReadStream {
 public:
  // 11: frames in the stream.
  virtual HRESULT GetFrameCount(LONGLONG* frames) = 0;
  // 12: the stream's format as a version-2 record (size word preset).
  virtual HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format) = 0;
  // 13-22: frames and their shape.
  virtual HRESULT ReadFrame(LONGLONG frame, void* buffer, DWORD bytes, DWORD* got) = 0;
  virtual HRESULT GetFrameRate(double* rate) = 0;
  virtual HRESULT GetFrameSize(LONG* width, LONG* height) = 0;
  virtual HRESULT GetPixelType(LONG* type) = 0;
  virtual HRESULT SetPixelType(LONG type) = 0;
  virtual HRESULT GetFieldOrder(LONG* order) = 0;
  virtual HRESULT GetAspectRatio(LONG* x, LONG* y) = 0;
  virtual HRESULT GetKeyFrame(LONGLONG frame, LONGLONG* key) = 0;
  virtual HRESULT GetFrameBytes(DWORD* bytes) = 0;
  virtual HRESULT GetTimecode(LONGLONG frame, DWORD* timecode) = 0;

 protected:
  ~IWuReadVideoStream() = default;
};

// The formats of a video stream, as render templates are made from them.
class IWuReadVideoStreamFormat : public IWuReadStream {
 public:
  // 11: the kinds of format the stream can give.
  virtual HRESULT GetFormatKinds(DWORD* kinds) = 0;
  // 12: the stream's format as a version-2 record.
  virtual HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* format) = 0;
  // 13: the stream's compressed format, as 12.
  virtual HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* format) = 0;

 protected:
  ~IWuReadVideoStreamFormat() = default;
};

// The version-1 audio stream: the caller supplies the format buffers.
class IWuReadAudioStreamV1 : public IWuReadStream {
 public:
  // 11: the length and two values (16 bytes at `out`).
  virtual HRESULT GetLengthV1(void* out) = 0;
  // 12: the platform format record into `formatBytes` at `format` and the
  // extension into `extensionBytes` at `extension`; the needed or written
  // sizes go to *formatNeeded and *extensionNeeded.
  virtual HRESULT GetFormatV1(void* format, DWORD formatBytes, DWORD* formatNeeded,
                              void* extension, DWORD extensionBytes,
                              DWORD* extensionNeeded) = 0;

 protected:
  ~IWuReadAudioStreamV1() = default;
};

// The version-1 video stream, as the audio one with the video header.
class IWuReadVideoStreamV1 : public IWuReadStream {
 public:
  // 11, 12: frames.
  virtual HRESULT GetFrameCountV1(LONGLONG* frames) = 0;
  virtual HRESULT ReadFrameV1(LONGLONG frame, void* buffer, DWORD bytes, DWORD* got) = 0;
  // 13, 14: as 11 and 12 of the audio stream.
  virtual HRESULT GetLengthV1(void* out) = 0;
  virtual HRESULT GetFormatV1(void* format, DWORD formatBytes, DWORD* formatNeeded,
                              void* extension, DWORD extensionBytes,
                              DWORD* extensionNeeded) = 0;

 protected:
  ~IWuReadVideoStreamV1() = default;
};

// ---- Optional interfaces of plug-in objects ----------------------------------------------
// A renderer class's step after its file was saved.
class IWuRenderPostSave : public IUnknown {
 public:
  // 3: may change the path (`size` characters) and hand back a new
  // template the caller then owns.
  virtual HRESULT PostSaveDialog(HWND owner, LPWSTR path, DWORD size,
                                 const tagWUTEMPLATExV2* record,
                                 tagWUTEMPLATExV2** newRecord) = 0;

 protected:
  ~IWuRenderPostSave() = default;
};

// A reader class told of a file.
class IWuReadFileNotify : public IUnknown {
 public:
  // 3
  virtual HRESULT NotifyFile(LPCWSTR path) = 0;

 protected:
  ~IWuReadFileNotify() = default;
};

// A reader's chained recording.
class IWuReadFileChain : public IUnknown {
 public:
  // 3: the next file's path into `size` (260) characters; empty when none.
  virtual HRESULT GetNextFile(IWuReadFile* reader, LPWSTR buffer, DWORD size) = 0;

 protected:
  ~IWuReadFileChain() = default;
};

// A plug-in library's list of classes (class CLSID_WuFileIOClassList).
class IWuFileIOClassList : public IUnknown {
 public:
  // 3: the manager that asks.
  virtual HRESULT Initialize(IWuFileIOManager* manager) = 0;
  // 4: the number of classes.
  virtual HRESULT GetCount(LONG* count) = 0;
  // 5: one class: id, display name into `nameSize` characters, access (0x10
  // reader, 0x20 renderer), stream type, four values the manager keeps
  // unread, a reserved word and the class flags.
  virtual HRESULT Describe(LONG index, GUID* classId, LPWSTR name, LONG nameSize, DWORD* access,
                           DWORD* streamType, DWORD* value1, DWORD* value2, DWORD* value3,
                           DWORD* value4, DWORD* reserved, DWORD* flags) = 0;

 protected:
  ~IWuFileIOClassList() = default;
};

// ---- The manager's enumerators -------------------------------------------------------------
// The reader or renderer classes, in key order.
class IWuFileIOTypeEnum : public IUnknown {
 public:
  // 3: up to `count` classes (new references); *fetched (may be NULL) how many.
  virtual HRESULT Next(ULONG count, IUnknown** out, ULONG* fetched) = 0;
  // 4-7
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IWuFileIOTypeEnum** out) = 0;
  virtual HRESULT Reserved7() = 0;
  // 8: the number of classes (a count, not a status).
  virtual LONG GetCount() = 0;

 protected:
  ~IWuFileIOTypeEnum() = default;
};

// The plug-in records.
class IWuFIOPluginEnum : public IUnknown {
 public:
  // 3: up to `count` records (size fields preset); *fetched how many.
  virtual HRESULT Next(ULONG count, WUFIO_PLUGIN_INFO* info, ULONG* fetched) = 0;
  // 4-6
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Reserved6() = 0;
  // 7: the record of one class id.
  virtual HRESULT FindById(REFCLSID id, WUFIO_PLUGIN_INFO* info) = 0;
  // 8, 9
  virtual HRESULT Reserved8() = 0;
  virtual HRESULT Reserved9() = 0;

 protected:
  ~IWuFIOPluginEnum() = default;
};

// ---- The out-of-process surrogate ----------------------------------------------------------
class IWuFileIOSurrogate : public IUnknown {
 public:
  // 3: the surrogate's process id.
  virtual HRESULT GetProcessId(DWORD* processId) = 0;
  // 4: creates a plug-in class inside the surrogate; `libraryPath` may end
  // with '|' and the library's ";"-separated preload modules, loaded first.
  virtual HRESULT CreatePluginClass(LPCWSTR libraryPath, REFCLSID clsid, REFIID iid,
                                    void** out) = 0;
  // 5: closes a handle copied into the surrogate.
  virtual HRESULT CloseCopiedHandle(ULONGLONG handle) = 0;
  // 6-8: the surrogate's own manager, a liveness check, an orderly end.
  virtual HRESULT GetManager(IWuFileIOMgrForApp** out) = 0;
  virtual HRESULT Ping() = 0;
  virtual HRESULT Quit() = 0;
  // 9: the template editor for renderer classes hosted there (the
  // surrogate manager's EditTemplate, without an owner window). Across
  // processes the class crosses as its class id (one the surrogate made
  // for this client, else E_INVALIDARG), the settings as 28 bytes, the
  // templates stream as its bytes from its position on, and the template
  // records as their bytes, each checked by the side that receives it
  // (0x8004E00B for a bad one); *out is the caller's (free).
  virtual HRESULT EditTemplate(HWND owner, IWuRenderFileClass* cls, LONG pageWord,
                               const void* settings, DWORD* flags, IStream* templates,
                               tagWUTEMPLATExV2* in, tagWUTEMPLATExV2** out) = 0;

 protected:
  ~IWuFileIOSurrogate() = default;
};

// ---- File-type filters ---------------------------------------------------------------------
// One entry of a filter builder as GetEntry copies it: 1,080 bytes.
struct WUFIO_FILTER_ENTRY {
  GUID key;                 // 0: the entry's first key (a class id)
  WCHAR description[260];   // 16: the description, cut at 259 and terminated
  WCHAR patterns[260];      // 536: ";"-separated patterns, cut at 259 and terminated
  DWORD id;                 // 1056: the caller's or the class's id
  DWORD flags;              // 1060: 4 no patterns shown, 0x800 hidden, 0x10000000 left out
  BYTE reserved[16];        // 1064: zero
};
static_assert(sizeof(WUFIO_FILTER_ENTRY) == 1080);
static_assert(offsetof(WUFIO_FILTER_ENTRY, patterns) == 536);
static_assert(offsetof(WUFIO_FILTER_ENTRY, id) == 1056);

// Builds file-dialog filter strings and pattern lists from file types.
// Selections are lists of class ids matched on their first 10 bytes.
class IWuFioFilterBuilder2 : public IUnknown {
 public:
  // 3, 4: entries from the manager's file types (kind 16 readers, 32 renderers).
  virtual HRESULT AddFileTypes(const GUID* selection, LONG count, LONG kind, DWORD flags) = 0;
  virtual HRESULT AddFileTypesAnyKind(const GUID* selection, LONG count, LONG kind,
                                      DWORD flags) = 0;
  // 5-8: which types pass.
  virtual HRESULT SetClassFilter(BOOL exact, DWORD value) = 0;
  virtual HRESULT SetClassMask(DWORD mask, DWORD value, DWORD invert) = 0;
  virtual HRESULT SetRequiredKind(LONG kind) = 0;
  virtual HRESULT SetPatternMode(BOOL on) = 0;
  // 9-11: entries of the caller's (index -1 appends).
  virtual HRESULT AddEntry(LPCWSTR patterns, LPCWSTR description, DWORD id, LONG index,
                           DWORD flags, const GUID* firstKey) = 0;
  virtual HRESULT AddAllPatternsEntry(LPCWSTR description, DWORD id, LONG index, DWORD flags,
                                      const GUID* firstKey) = 0;
  virtual HRESULT AddAllPatternsEntryEx(LPCWSTR description, DWORD id, LONG index,
                                        DWORD flags, const GUID* firstKey,
                                        const GUID* selection, LONG count) = 0;
  // 12
  virtual HRESULT Sort(BOOL descending) = 0;
  // 13, 14: the filter string (size in bytes) and the entries' ids.
  virtual HRESULT GetFilterString(LPWSTR buffer, DWORD* size, DWORD* ids, LONG* idCount) = 0;
  virtual HRESULT GetFilterStringEx(LPWSTR buffer, DWORD* size, DWORD* ids, LONG* idCount,
                                    const GUID* selection, LONG count, DWORD flags) = 0;
  // 15-20: the entries.
  virtual HRESULT Clear() = 0;
  virtual HRESULT GetEntryCount(LONG* count) = 0;
  virtual HRESULT GetEntry(WUFIO_FILTER_ENTRY* out, LONG index) = 0;
  virtual HRESULT SetEntryHidden(LONG index, BOOL hidden) = 0;
  virtual HRESULT FindEntryByKey(LONG* index, const GUID* key) = 0;
  virtual HRESULT SelectEntries(const GUID* selection, LONG count, DWORD unused,
                                DWORD flags) = 0;
  // 21-26: the outputs.
  virtual HRESULT RefreshFilterString(const GUID* selection, LONG count, DWORD flags) = 0;
  virtual HRESULT RefreshPatternList(const GUID* selection, LONG count, DWORD flags) = 0;
  virtual HRESULT GetLengths(LONG* filterLength, LONG* patternLength, LONG* idCount) = 0;
  virtual HRESULT CopyFilterString(LPWSTR buffer, LONG size) = 0;
  virtual HRESULT CopyIds(DWORD* ids, LONG count) = 0;
  virtual HRESULT CopyPatternList(LPWSTR buffer, LONG size, WCHAR separator) = 0;
  // 27-32: the outputs as they stand (owned by the builder).
  virtual LPCWSTR GetFilterStringPointer() = 0;
  virtual LONG GetFilterStringLength() = 0;
  virtual LPCWSTR GetPatternListPointer() = 0;
  virtual LONG GetPatternListLength() = 0;
  virtual const DWORD* GetIdArray() = 0;
  virtual LONG GetIdCount() = 0;
  // 33: teardown; frees the object when bit 0 of `flags` is set.
  virtual void DeletingDestructor(LONG flags) = 0;

 protected:
  ~IWuFioFilterBuilder2() = default;
};

// ---- The template editor -------------------------------------------------------------------
// A page of the template editor (the editor's own or a renderer class's).
class IWuFileIOPropertyPage : public IUnknown {
 public:
  // 3-13: as a platform property page.
  virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
  virtual HRESULT Activate(HWND parent, const RECT* rect, BOOL modal) = 0;
  virtual HRESULT Deactivate() = 0;
  virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
  virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
  virtual HRESULT Show(UINT command) = 0;
  virtual HRESULT Move(const RECT* rect) = 0;
  virtual HRESULT IsPageDirty() = 0;
  virtual HRESULT Apply() = 0;
  virtual HRESULT Help(LPCWSTR helpFolder) = 0;
  virtual HRESULT TranslateAccelerator(MSG* message) = 0;
  // 14: hands the page a template to show (the page copies it).
  virtual HRESULT SetTemplate(const tagWUTEMPLATExV2* record) = 0;
  // 15: shows the holder's current template again.
  virtual HRESULT Refresh() = 0;

 protected:
  ~IWuFileIOPropertyPage() = default;
};

// The editor's template, as its pages see it.
class IWuFileIOTemplateEditHolder : public IUnknown {
 public:
  // 3: a copy of the current template (the caller frees it).
  virtual HRESULT GetTemplate(tagWUTEMPLATExV2** out) = 0;
  // 4: makes a copy of `record` the current template.
  virtual HRESULT SetTemplate(const tagWUTEMPLATExV2* record) = 0;
  // 5: a copy of the project template.
  virtual HRESULT GetProjectTemplate(tagWUTEMPLATExV2** out) = 0;
  // 6, 7: the manager's GetMetric and SetMetric.
  virtual HRESULT GetMetric(DWORD id, LONG* value) = 0;
  virtual HRESULT SetMetric(DWORD id, LONG value) = 0;

 protected:
  ~IWuFileIOTemplateEditHolder() = default;
};

// The template editor's arguments (WuFioMgr_EditTemplate, WuTempEdit_Edit).
// The record holds pointers, so it takes its natural size; `size` is that
// size (a record of another size is refused).
struct _FIOEDITTEMPLATE {
  DWORD size;                               // sizeof(_FIOEDITTEMPLATE)
  HWND owner;                               // the dialog's owner window
  DWORD flags;                              // FIOEDIT_* bits, in and out
  IWuRenderFileClass* cls;                  // the renderer class
  DWORD settings[7];                        // the caller's settings; settings[1] bit 0:
                                            //   list every template, multistream ones too
  tWULIST* privateTemplates;                // templates listed first (copied), or NULL
  LONG pageWord;                            // kept for the pages
  const tagWUTEMPLATExV2* projectTemplate;  // the project's template, or NULL
  tagWUTEMPLATExV2* slot;                   // the template in and out
  LONG index;                               // the selected list index in and out
};

// Bits of _FIOEDITTEMPLATE::flags.
constexpr DWORD FIOEDIT_APPPAGE = 0x01;       // in: add the application page
constexpr DWORD FIOEDIT_APPPAGEFIRST = 0x02;  // in: the application page before the plug-in's
constexpr DWORD FIOEDIT_SAVED = 0x08;         // out: the template was saved
constexpr DWORD FIOEDIT_MODIFIED = 0x10;      // out: the template was modified
constexpr DWORD FIOEDIT_OWNED = 0x20;         // in: the slot's template passes to the editor;
                                              // out: the caller owns the slot's template

// ---- Template validation -------------------------------------------------------------------
// What a render template is checked for; passed through to the plug-in as
// it stands (a plug-in may know kinds beyond these).
enum WUFIO_TEMPLATEVALIDATE : LONG {
  WUFIO_TEMPLATEVALIDATE_GENERAL = 0,  // the template as a whole
  WUFIO_TEMPLATEVALIDATE_RENDER = 1,   // before a render starts with it
  WUFIO_TEMPLATEVALIDATE_SAVE = 2,     // before it is stored as a preset
  WUFIO_TEMPLATEVALIDATE_PROJECT = 3,  // against the project's settings
};

inline constexpr IID IID_IWuFioTemplateValidate = {
    0x95FD010D, 0x074D, 0x44C5, {0xB7, 0xDA, 0x8B, 0x22, 0x22, 0xF5, 0x75, 0x23}};

// Offered by reader and renderer classes (QueryInterface) that check render
// templates themselves.
class IWuFioTemplateValidate : public IUnknown {
 public:
  // 3: non-zero when the class validates templates of `kind`.
  virtual BOOL AppliesTo(WUFIO_TEMPLATEVALIDATE kind) = 0;
  // 4: checks `record` for `kind`, asking the user over `parent` where it
  // must. `valueA` and `valueB` are the caller's own values, handed on
  // unread; `*out1` and `*out2` (preset by the caller, to 1 and 0 by the
  // front-end helper) receive the plug-in's two answers. S_OK when the
  // template passes, S_FALSE when it does not, negative on failure.
  virtual HRESULT Validate(HWND parent, const tagWUTEMPLATExV2* record, WUFIO_TEMPLATEVALIDATE kind,
                           int valueA, int valueB, int* out1, int* out2) = 0;

 protected:
  ~IWuFioTemplateValidate() = default;
};
