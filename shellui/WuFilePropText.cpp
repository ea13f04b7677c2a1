// The file-properties text: the file-system facts, the file chain, the
// reader's streams (with the raw values of the diagnostic listing), then the
// metadata sections (WuFilePropMeta.h) and the reading plug-in.
//
// Everything a plug-in answers is untrusted: texts it writes into our
// buffers are terminated at their last unit, counts are bounded before they
// size anything, and the fields of its records are read little-endian at
// their byte offsets.
#include "shellui/WuFilePropText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "fileio/WuFioBstrArray.h"
#include "fileio/WuFioStreamFormat.h"
#include "foundation/WuAbout.h"
#include "foundation/WuLangRows.h"
#include "foundation/WuNanoTime.h"
#include "foundation/WuPathStrings.h"
#include "foundation/WuNumber.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "foundation/WuUIFont.h"
#include "mediaformats/RiffBytes.h"
#include "platform/kernel/date_format.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/shell/file_info.h"
#include "shellui/CWuLinkProjectInfo.h"
#include "shellui/ProjectLinkChunks.h"
#include "shellui/WuFilePropFormat.h"
#include "shellui/WuFilePropMeta.h"
#include "shellui/WuFilePropMetaInternal.h"

using fpropmeta::EmptyLine;
using fpropmeta::Header;
using fpropmeta::Line;
using fpropmeta::LineF;

namespace {

constexpr int kPathChars = 260;       // paths: at most 259 characters
constexpr int kTextChars = 2048;      // a composed value
constexpr int kDebugValueChars = 64;  // stream-block values: at most 63 characters
constexpr int kUIFontFileProps = 102;
// A chained recording is followed for at most this many files.
constexpr int kMaxChainFiles = 1000;
// Subtitle tables of more entries are not read.
constexpr LONGLONG kMaxSubtitleStreams = 65536;
// Streams beyond this many are not listed.
constexpr LONG kMaxStreams = 65536;

// The loop record's flags.
constexpr DWORD kLoopOneShot = 0x1;
constexpr DWORD kLoopRootNote = 0x2;
constexpr DWORD kLoop4 = 0x4;
constexpr DWORD kLoop8 = 0x8;
constexpr DWORD kLoop10 = 0x10;

// Stream types of GetStreamIdentity.
constexpr DWORD kAudio = 1, kVideo = 2, kMidi = 4, kOther = 8;

// Compatibility bits and their labels.
constexpr DWORD kCompatA = 0x1, kCompatB = 0x10;

DWORD Fourcc(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) | static_cast<DWORD>(static_cast<BYTE>(b)) << 8 |
         static_cast<DWORD>(static_cast<BYTE>(c)) << 16 | static_cast<DWORD>(static_cast<BYTE>(d)) << 24;
}

// Ends a text a plug-in wrote into `buffer` of `size` characters at its
// last unit, whatever it wrote.
void Terminate(LPWSTR buffer, int size) {
  if (size > 0) buffer[size - 1] = 0;
}

double GetDouble(const BYTE* p) {
  ULONGLONG bits = riffbytes::Get64(p);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

float GetFloat(const BYTE* p) {
  DWORD bits = riffbytes::Get32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The loop record's fields read, little-endian at their offsets.
struct LoopFields {
  DWORD flags = 0;
  DWORD rootNote = 0;
  DWORD beats = 0;
  float tempo = 0;
};

// What FillFilePropertiesText gathers before writing; released at the end.
struct Gathered {
  IWuReadFile* reader = nullptr;
  IWuReadFileClass* cls = nullptr;
  IWuReadMeta* meta = nullptr;
  IWuReadMetaLoopInfo* loopInfo = nullptr;
  bool loopPresent = false;
  LoopFields loop;
  IWuEnumMetaStreams* streams = nullptr;
  IWuReadMetaMediaTag* mediaTag = nullptr;
  BOOL tagsUsable = FALSE;
  CWuLinkProjectInfo link;
  int linkLoaded = 0;

  ~Gathered() {
    if (mediaTag) mediaTag->Release();
    if (streams) streams->Release();
    if (loopInfo) loopInfo->Release();
    if (meta) meta->Release();
    if (cls) cls->Release();
    if (reader) reader->Release();
    link.FreeMemory();
  }
};

void Gather(Gathered& g, LPCWSTR path, IWuReadFile* reader, IWuFileIOMgrForApp* manager) {
  if (reader) {
    reader->AddRef();
    g.reader = reader;
  } else if (manager && path[0]) {
    IWuReadFile* opened = nullptr;
    if (SUCCEEDED(manager->OpenFile(path, &opened, 0))) g.reader = opened;
    else if (opened) opened->Release();
  }
  if (!g.reader) return;
  if (FAILED(g.reader->GetClass(&g.cls)) && g.cls) {
    g.cls->Release();
    g.cls = nullptr;
  }
  if (FAILED(g.reader->GetMetaReader(&g.meta)) && g.meta) {
    g.meta->Release();
    g.meta = nullptr;
  }
  if (!g.meta) return;
  void* object = nullptr;
  if (SUCCEEDED(g.meta->QueryInterface(IID_IWuReadMetaLoopInfo, &object)) && object) {
    g.loopInfo = static_cast<IWuReadMetaLoopInfo*>(object);
    alignas(WuMetaLoopRecord) BYTE raw[sizeof(WuMetaLoopRecord)] = {};
    if (g.loopInfo->GetLoopRecord(reinterpret_cast<WuMetaLoopRecord*>(raw)) == S_OK) {
      g.loopPresent = true;
      g.loop.flags = riffbytes::Get32(raw);
      g.loop.rootNote = raw[4];
      g.loop.beats = riffbytes::Get32(raw + 12);
      g.loop.tempo = GetFloat(raw + 20);
    }
  }
  object = nullptr;
  if (SUCCEEDED(g.meta->QueryInterface(IID_IWuEnumMetaStreams, &object)) && object)
    g.streams = static_cast<IWuEnumMetaStreams*>(object);
  object = nullptr;
  if (g.meta->QueryInterface(IID_IWuReadMetaMediaTag, &object) == S_OK && object) {
    g.mediaTag = static_cast<IWuReadMetaMediaTag*>(object);
    g.tagsUsable = TRUE;
  }
  g.link.Init();
  if (FAILED(ProjectLinkReadMeta_LoadInfo(g.meta, &g.link, &g.linkLoaded))) g.linkLoaded = 0;
}

// ---- General -----------------------------------------------------------------------------
// "Name" and "Folder" of a path; nothing for an empty one.
void NameAndFolder(HWND edit, LPCWSTR path) {
  if (!path[0]) return;
  Line(edit, WuLangText(WuLangRow_PropTextName), WuGetFileNamePtrW(path));
  WCHAR folder[kPathChars] = {};
  int n = WuGetPathNameFromFilePath(path, folder, kPathChars);
  if (n > 0 && (folder[n - 1] == u'\\' || folder[n - 1] == u'/')) folder[n - 1] = 0;
  if (folder[0]) Line(edit, WuLangText(WuLangRow_PropTextFolder), folder);
}

void TimeLine(HWND edit, const WuLangStringRow& label, const FILETIME& utc) {
  FILETIME local;
  SYSTEMTIME st;
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st)) return;
  WCHAR date[80] = {}, time[80] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80);
  WCHAR column[fpropmeta::kLabelChars] = {};
  WuFormatPropLabel(WuLangText(label), fpropmeta::kLabelWidth, column, fpropmeta::kLabelChars);
  WuMEditPrintF(edit, u"%s%s, %s", column, date, time);
}

void WriteGeneral(HWND edit, WCHAR (&path)[kPathChars], const Gathered& g) {
  Header(edit, WuLangText(WuLangRow_PropTextGeneral));
  if (!path[0] && g.reader) {
    WCHAR name[kPathChars] = {};
    if (SUCCEEDED(g.reader->GetFileName(name))) {
      Terminate(name, kPathChars);
      WuStrCpyN(path, name, kPathChars);
    }
  }
  NameAndFolder(edit, path);

  WCHAR type[kPathChars] = {};
  if (g.reader) {
    if (FAILED(g.reader->GetFileText(type, kPathChars, 1))) type[0] = 0;
    Terminate(type, kPathChars);
  } else if (path[0]) {
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path, 0, &info, sizeof info, SHGFI_TYPENAME)) {
      info.szTypeName[79] = 0;
      WuStrCpyN(type, info.szTypeName, kPathChars);
    }
  }
  if (type[0]) Line(edit, WuLangText(WuLangRow_PropMetaType), type);

  LONGLONG bytes = 0;
  if (g.meta) {
    WCHAR text[64] = {};
    if (g.meta->GetTextValue(Fourcc('_', 't', 'f', 's'), text, 64) == S_OK) {
      text[63] = 0;
      bytes = std::max<LONGLONG>(WuTextToLongLongToken(text, nullptr), 0);
    }
  }
  WIN32_FILE_ATTRIBUTE_DATA entry{};
  bool found = path[0] && GetFileAttributesExW(path, GetFileExInfoStandard, &entry);
  bool folder = found && (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (bytes == 0 && found && !folder)
    bytes = static_cast<LONGLONG>(static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32 | entry.nFileSizeLow);
  if (bytes > 0) {
    WCHAR size[WU_BYTESIZE_TEXT_MAX] = {};
    WuGetByteSizeText2(bytes, size);
    WCHAR column[fpropmeta::kLabelChars] = {};
    WuFormatPropLabel(WuLangText(WuLangRow_PropMetaSize), fpropmeta::kLabelWidth, column, fpropmeta::kLabelChars);
    WuMEditPrintF(edit, WuLangText(WuLangRow_PropTextSizeLine), column, size, bytes);
  }
  if (found) {
    TimeLine(edit, WuLangRow_PropTextCreated, entry.ftCreationTime);
    if (!folder) {
      TimeLine(edit, WuLangRow_PropTextModified, entry.ftLastWriteTime);
      TimeLine(edit, WuLangRow_PropTextAccessed, entry.ftLastAccessTime);
    }
  }
  if (path[0]) {
    DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      WCHAR names[kPathChars];
      FormatFileAttributes(attributes, names, kPathChars);
      Line(edit, WuLangText(WuLangRow_PropTextAttributes), names);
    }
  }
  EmptyLine(edit);
}

// ---- File Chain --------------------------------------------------------------------------
// The next file of `reader`'s chained recording into `name`; false when the
// reader has no chain or names no file.
bool NextChainFile(IWuReadFile* reader, WCHAR (&name)[kPathChars]) {
  name[0] = 0;
  void* object = nullptr;
  if (FAILED(reader->QueryInterface(IID_IWuReadFileChain, &object)) || !object) return false;
  IWuReadFileChain* chain = static_cast<IWuReadFileChain*>(object);
  HRESULT hr = chain->GetNextFile(reader, name, kPathChars);
  chain->Release();
  Terminate(name, kPathChars);
  if (FAILED(hr)) name[0] = 0;
  return name[0] != 0;
}

void WriteFileChain(HWND edit, LPCWSTR path, const Gathered& g, IWuFileIOMgrForApp* manager) {
  if (!g.reader) return;
  WCHAR name[kPathChars];
  if (!NextChainFile(g.reader, name)) return;
  Header(edit, WuLangText(WuLangRow_PropTextFileChain));
  // The walk stops at a name already listed (the file itself included),
  // so a chain that leads back ends, and after kMaxChainFiles files.
  std::vector<std::u16string> listed;
  if (path[0]) listed.push_back(path);
  for (int n = 1;; ++n) {
    WCHAR label[fpropmeta::kLabelChars];
    WuPrintFN(label, fpropmeta::kLabelChars, WuLangText(WuLangRow_PropTextFileN), n);
    Line(edit, label, name);
    if (!manager || n >= kMaxChainFiles) break;
    listed.push_back(name);
    IWuReadFile* next = nullptr;
    if (FAILED(manager->OpenFile(name, &next, 0)) || !next) {
      if (next) next->Release();
      break;
    }
    bool more = NextChainFile(next, name);
    next->Release();
    if (!more) break;
    bool seen = false;
    for (const std::u16string& earlier : listed) seen = seen || lstrcmpiW(earlier.c_str(), name) == 0;
    if (seen) break;
  }
  EmptyLine(edit);
}

// ---- File (debug) ------------------------------------------------------------------------
void LangCodeValue(LPWSTR out, int size, WORD code, LONG decoding) {
  WCHAR tag[20];
  if (!FormatLangCodeTag(20, tag, code)) WuStrCpyN(tag, u"     ", 20);  // five blanks for no tag
  WuPrintFN(out, size, u"LangCode=%#06x %s DecodingStreamNum=%d", code, tag, decoding);
}

void WriteFileDebug(HWND edit, IWuReadFile* reader) {
  Header(edit, u"File (debug)");
  WCHAR value[WUFILEPROP_VALUE_CHARS];
  BYTE eight[8] = {};
  HRESULT hr = reader->GetFileValue(eight, 8, 1);
  if (FormatDataRateValue(hr, static_cast<LONGLONG>(riffbytes::Get64(eight)), value,
                          WUFILEPROP_VALUE_CHARS) >= 0)
    Line(edit, u"Total datarate", value);

  WCHAR text[128] = {};
  hr = reader->GetFileText(text, 128, 2);
  Terminate(text, 128);
  if (FormatQuotedTextValue(hr, text, value, WUFILEPROP_VALUE_CHARS) >= 0) Line(edit, u"Text datarate", value);

  std::memset(eight, 0, sizeof eight);
  if (reader->GetFileValue(eight, 8, 2) == S_OK) {
    LONGLONG count = static_cast<LONGLONG>(riffbytes::Get64(eight));
    LineF(edit, u"Subtitle strms", u"%I64d", count);
    // Only a count that sizes a sane table is asked for its entries.
    if (count > 0 && count <= kMaxSubtitleStreams) {
      size_t bytes = static_cast<size_t>(count) * 8;
      std::unique_ptr<BYTE[]> table(new (std::nothrow) BYTE[bytes]());
      if (table && reader->GetFileValue(table.get(), static_cast<DWORD>(bytes), 3) == S_OK) {
        for (LONGLONG i = 0; i < count; ++i) {
          const BYTE* entry = table.get() + i * 8;
          WCHAR label[fpropmeta::kLabelChars];
          WuPrintFN(label, fpropmeta::kLabelChars, u"Subtitle strm %d", static_cast<int>(i));
          LangCodeValue(value, WUFILEPROP_VALUE_CHARS, riffbytes::Get16(entry),
                        static_cast<LONG>(riffbytes::Get32(entry + 4)));
          Line(edit, label, value);
        }
      }
    }
  }

  std::memset(eight, 0, sizeof eight);
  if (reader->GetFileValue(eight, 8, 4) == S_OK) {
    DWORD flags = riffbytes::Get32(eight);
    int n = WuPrintFN(value, WUFILEPROP_VALUE_CHARS, u"%#010x", flags);
    if (flags != 0) {
      WCHAR names[64] = {};
      if (flags & kCompatA) WuStrCatN(names, u"Device class A", 64);
      if (flags & kCompatB) {
        if (names[0]) WuStrCatN(names, u", ", 64);
        WuStrCatN(names, u"Device class B", 64);
      }
      WuPrintFN(value + n, WUFILEPROP_VALUE_CHARS - n, u" (%s)", names);
    }
    Line(edit, u"Compatibility", value);
  }
  EmptyLine(edit);
}

// ---- Streams -----------------------------------------------------------------------------
struct StreamId {
  bool ok = false;
  DWORD type = 0;
  LONG ordinal = 0;
};

// A length in 100-ns units as time text.
void TimeText(LONGLONG length, LPWSTR out) {
  _wuposfmt fmt{};
  fmt.formatType = 1;
  WuNanoTimeToTextEx(out, &fmt, length, 2);
}

// Appends ", " and the stream texts of kinds 2 (128 characters) and 1 (260)
// when their calls do not fail.
void AppendStreamTexts(IWuReadFile* reader, LONG i, LPWSTR text) {
  WCHAR part[kPathChars];
  part[0] = 0;
  if (reader->GetStreamText(part, 128, i, 2) >= 0) {
    part[127] = 0;
    WuStrCatN(text, u", ", kTextChars);
    WuStrCatN(text, part, kTextChars);
  }
  part[0] = 0;
  if (reader->GetStreamText(part, kPathChars, i, 1) >= 0) {
    Terminate(part, kPathChars);
    WuStrCatN(text, u", ", kTextChars);
    WuStrCatN(text, part, kTextChars);
  }
}

void RootNoteText(const LoopFields& loop, LPWSTR out, int size) {
  if (loop.flags & kLoopRootNote) FormatRootNoteName(out, size, loop.rootNote);
  else WuStrCpyN(out, WuLangText(WuLangRow_PropTextNone), size);
}

// Beats per minute of a loop of `beats` beats over `samples` at `rate`.
float LoopTempo(DWORD beats, LONGLONG samples, DWORD rate) {
  double seconds = rate ? static_cast<double>(samples) / rate : 0.0;
  return seconds != 0 ? static_cast<float>(beats / seconds * 60.0) : 0.0f;
}

// "%s, %s, %s" of the mode, the tempo part and the root-note part.
void LoopText(LPWSTR text, const WuLangStringRow& mode, LPCWSTR tempo, const WuLangStringRow& noteRow,
              LPCWSTR note) {
  WCHAR notePart[128];
  WuPrintFN(notePart, 128, WuLangText(noteRow), note);
  WuPrintFN(text, kTextChars, u"%s, %s, %s", WuLangText(mode), tempo, notePart);
}

void AudioLine(LPWSTR text, const BYTE* record, const Gathered& g) {
  LONGLONG samples = static_cast<LONGLONG>(riffbytes::Get64(record + 8));
  DWORD rate = riffbytes::Get32(record + 96);
  enum { kPlain, kOneShot, kBeatmapped, kLoopMode } mode = kPlain;
  const LoopFields& loop = g.loop;
  if (g.loopPresent) {
    DWORD f = loop.flags;
    if (((f & kLoopOneShot) && !(f & kLoop10)) || ((f & kLoop8) && !(f & kLoop4))) mode = kOneShot;
    else if (f & (kLoop4 | kLoop10)) mode = kBeatmapped;
    else mode = loop.beats != 0 ? kLoopMode : kOneShot;
  }
  // A length that a 64-bit count of 100-ns units cannot hold is unknown: 0, as for a rate of 0.
  double units = rate ? static_cast<double>(samples) / rate * 10000000.0 + 0.5 : 0.0;
  LONGLONG length = units < 9.2e18 && units > -9.2e18 ? static_cast<LONGLONG>(units) : 0;
  WCHAR time[kPathChars] = {};
  TimeText(length, time);
  WCHAR note[32];
  WCHAR tempo[kPathChars];
  switch (mode) {
    case kPlain:
      WuStrCpyN(text, time, kTextChars);
      break;
    case kOneShot:
      WuPrintFN(text, kTextChars, u"%s, %s", WuLangText(WuLangRow_PropTextOneShot), time);
      break;
    case kBeatmapped:
      RootNoteText(loop, note, 32);
      WuPrintFN(tempo, kPathChars, WuLangText(WuLangRow_PropTextAtBpm), time, static_cast<double>(loop.tempo));
      LoopText(text, WuLangRow_PropTextBeatmapped, tempo, WuLangRow_PropTextRootNote, note);
      break;
    case kLoopMode:
      RootNoteText(loop, note, 32);
      WuPrintFN(tempo, kPathChars, WuLangText(WuLangRow_PropTextBeatsAtBpm), static_cast<int>(loop.beats),
                static_cast<double>(LoopTempo(loop.beats, samples, rate)));
      LoopText(text, WuLangRow_PropTextLoop, tempo, WuLangRow_PropTextRootNote, note);
      break;
  }
}

void VideoLine(LPWSTR text, const BYTE* record) {
  LONGLONG frames = static_cast<LONGLONG>(riffbytes::Get64(record + 8));
  DWORD fieldOrder = riffbytes::Get32(record + 36);
  double rate = GetDouble(record + 40);
  text[0] = 0;
  if (rate != 0 && std::isfinite(rate)) {
    double units = std::floor(static_cast<double>(frames) / rate * 10000000.0 + 1.5e-8 + 0.5);
    LONGLONG length = units >= 9.2e18 || units <= -9.2e18 ? 0 : static_cast<LONGLONG>(units);
    WCHAR time[kPathChars] = {};
    TimeText(length, time);
    LPCWSTR interlace = fieldOrder == 0                      ? WuLangText(WuLangRow_PropTextProgressive)
                        : fieldOrder == 1 || fieldOrder == 2 ? WuLangText(WuLangRow_PropTextInterlaced)
                                                             : u"";
    WuPrintFN(text, kTextChars, WuLangText(WuLangRow_PropTextFps), time, rate, interlace);
  }
}

void MidiLine(LPWSTR text, IWuReadFile* reader, const BYTE* record, const Gathered& g) {
  LONGLONG samples = static_cast<LONGLONG>(riffbytes::Get64(record + 8));
  DWORD rate = riffbytes::Get32(record + 96);
  const LoopFields& loop = g.loop;
  DWORD f = loop.flags;
  WCHAR time[kPathChars] = {};
  if (!g.loopPresent || (f & kLoopOneShot) || (!(f & kLoop4) && loop.beats == 0)) {
    LONGLONG duration = 0;
    if (FAILED(reader->GetDuration(&duration))) duration = 0;
    TimeText(duration, time);
    if (g.loopPresent && (f & kLoopOneShot))
      WuPrintFN(text, kTextChars, u"%s, %s", WuLangText(WuLangRow_PropTextOneShot), time);
    else
      WuStrCpyN(text, time, kTextChars);
    return;
  }
  WCHAR note[32];
  RootNoteText(loop, note, 32);
  WCHAR tempo[kPathChars];
  if ((f & kLoop4) && (f & kLoop8)) {
    TimeText(WuSamplesToNanoTime(samples, rate), time);
    WuPrintFN(tempo, kPathChars, WuLangText(WuLangRow_PropTextAtBpm), time, static_cast<double>(loop.tempo));
    LoopText(text, WuLangRow_PropTextBeatmapped, tempo, WuLangRow_PropTextMidiRootNote, note);
  } else {
    WuPrintFN(tempo, kPathChars, WuLangText(WuLangRow_PropTextBeatsAtBpm), static_cast<int>(loop.beats),
              static_cast<double>(LoopTempo(loop.beats, samples, rate)));
    LoopText(text, WuLangRow_PropTextLoop, tempo, WuLangRow_PropTextMidiRootNote, note);
  }
}

void StreamLabel(LPWSTR label, DWORD type, LONG ordinal, double frameRate, const int (&counts)[3]) {
  LPCWSTR base = type == kAudio   ? WuLangText(WuLangRow_PropTextAudio)
                 : type == kVideo ? (frameRate == 0 ? WuLangText(WuLangRow_PropTextStill) : WuLangText(WuLangRow_PropTextVideo))
                                  : WuLangText(WuLangRow_PropTextMidi);
  int count = counts[type == kAudio ? 0 : type == kVideo ? 1 : 2];
  constexpr int kLabelText = 40;  // the label text stays within 39 characters
  if (count > 1)
    WuPrintFN(label, kLabelText, u"%s %d", base, static_cast<int>(ordinal) + 1);
  else
    WuStrCpyN(label, base, kLabelText);
}

// A diagnostic line of a formatter's value cut to 63 characters, when the
// call did not fail.
void DebugLine(HWND edit, LPCWSTR label, HRESULT hr, LPWSTR value) {
  if (hr < 0) return;
  value[kDebugValueChars - 1] = 0;
  Line(edit, label, value);
}

void StreamDebugBlock(HWND edit, IWuReadFile* reader, LONG i, const StreamId& id) {
  LineF(edit, u"Raw stream", u"%d", static_cast<int>(i));
  LineF(edit, id.type == kAudio ? u"Audio stream" : u"Video stream", u"%d", static_cast<int>(id.ordinal));
  WCHAR text[kPathChars] = {};
  WCHAR value[WUFILEPROP_VALUE_CHARS];
  if (reader->GetStreamText(text, kPathChars, i, 1) >= 0) {
    text[kDebugValueChars - 1] = 0;
    LineF(edit, u"Codec name", u"'%s'", text);
  }
  BYTE bytes[12] = {};
  HRESULT hr = reader->GetStreamValue(bytes, 4, i, 1);
  DebugLine(edit, u"Codec fourcc", FormatFourCCValue(hr, riffbytes::Get32(bytes), value, WUFILEPROP_VALUE_CHARS),
            value);
  std::memset(bytes, 0, sizeof bytes);
  hr = reader->GetStreamValue(bytes, 8, i, 2);
  DebugLine(edit, u"Data rate",
            FormatDataRateValue(hr, static_cast<LONGLONG>(riffbytes::Get64(bytes)), value, WUFILEPROP_VALUE_CHARS),
            value);
  text[0] = 0;
  hr = reader->GetStreamText(text, 128, i, 3);
  text[127] = 0;
  DebugLine(edit, u"Text data rate", FormatQuotedTextValue(hr, text, value, WUFILEPROP_VALUE_CHARS), value);
  if (id.type == kVideo) {
    std::memset(bytes, 0, sizeof bytes);
    if (reader->GetStreamValue(bytes, 12, i, 3) == S_OK) {
      DWORD flags = riffbytes::Get32(bytes);
      LineF(edit, u"Pulldown removal", u"fAllowPulldownRemoval=%d  fEnabled=%d  f2332Cadence=%d",
            static_cast<int>(flags & 1), static_cast<int>(flags >> 1 & 1), static_cast<int>(flags >> 2 & 1));
      LineF(edit, u"Pulldown removal", u"cFirstFramePhase_Video=%d  cFirstFramePhase_Film=%d",
            static_cast<int>(riffbytes::Get32(bytes + 4)), static_cast<int>(riffbytes::Get32(bytes + 8)));
    }
  } else {
    std::memset(bytes, 0, sizeof bytes);
    if (reader->GetStreamValue(bytes, 8, i, 4) == S_OK)
      LineF(edit, u"Group info", u"fOriginalStream=%d  lStreamGroup=%d", static_cast<int>(riffbytes::Get32(bytes + 4)),
            static_cast<int>(riffbytes::Get32(bytes)));
    std::memset(bytes, 0, sizeof bytes);
    if (reader->GetStreamValue(bytes, 8, i, 5) == S_OK) {
      LangCodeValue(value, WUFILEPROP_VALUE_CHARS, riffbytes::Get16(bytes),
                    static_cast<LONG>(riffbytes::Get32(bytes + 4)));
      Line(edit, u"Audio info", value);
    }
  }
  EmptyLine(edit);
}

void WriteStreams(HWND edit, const Gathered& g, BOOL diagnostic) {
  IWuReadFile* reader = g.reader;
  LONG count = 0;
  if (!reader || FAILED(reader->GetStreamCount(&count)) || count <= 0) return;
  count = std::min(count, kMaxStreams);

  std::vector<StreamId> ids(static_cast<size_t>(count));
  int counts[3] = {};
  for (LONG i = 0; i < count; ++i) {
    StreamId& id = ids[static_cast<size_t>(i)];
    id.ok = SUCCEEDED(reader->GetStreamIdentity(i, &id.type, &id.ordinal));
    if (!id.ok) continue;
    if (id.type == kAudio) ++counts[0];
    else if (id.type == kVideo) ++counts[1];
    else if (id.type == kMidi) ++counts[2];
  }

  Header(edit, WuLangText(WuLangRow_PropTextStreams));
  _WUFILESTREAMFORMATINFOv2 record;
  DWORD previous = 0;
  std::unique_ptr<WCHAR[]> text(new (std::nothrow) WCHAR[kTextChars]);
  if (!text) return;
  for (LONG i = 0; i < count; ++i) {
    const StreamId& id = ids[static_cast<size_t>(i)];
    if (!id.ok) continue;
    // The preset is the larger of 184 and what the last call left, but
    // never more than the record has: a plug-in that answered a large size
    // must not make us zero or offer memory past it.
    DWORD preset = std::min<DWORD>(std::max<DWORD>(previous, WUFILESTREAMFORMATINFO_SIZE),
                                   static_cast<DWORD>(sizeof record));
    std::memset(&record, 0, preset);
    record.size = preset;
    HRESULT hr = reader->GetStreamFormat(&record, i, 1);
    if (SUCCEEDED(hr) && record.size != preset) hr = WuFio_ConvertToV2ifV1(reader, i, &record, preset);
    previous = record.size;
    if (FAILED(hr)) continue;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&record);
    WCHAR label[40];
    text[0] = 0;
    switch (id.type) {
      case kAudio:
        StreamLabel(label, id.type, id.ordinal, 0, counts);
        AudioLine(text.get(), bytes, g);
        AppendStreamTexts(reader, i, text.get());
        Line(edit, label, text.get());
        break;
      case kVideo:
        StreamLabel(label, id.type, id.ordinal, GetDouble(bytes + 40), counts);
        VideoLine(text.get(), bytes);
        text[kTextChars - 1] = 0;
        {
          WCHAR part[kPathChars];
          part[0] = 0;
          if (reader->GetStreamText(part, 128, i, 2) >= 0) {
            part[127] = 0;
            WuStrCatN(text.get(), part, kTextChars);
            WuStrCatN(text.get(), u", ", kTextChars);
          }
          part[0] = 0;
          if (reader->GetStreamText(part, kPathChars, i, 1) >= 0) {
            Terminate(part, kPathChars);
            WuStrCatN(text.get(), part, kTextChars);
          }
        }
        Line(edit, label, text.get());
        break;
      case kMidi:
        StreamLabel(label, id.type, id.ordinal, 0, counts);
        MidiLine(text.get(), reader, bytes, g);
        AppendStreamTexts(reader, i, text.get());
        Line(edit, label, text.get());
        break;
      case kOther:
        break;
      default:
        WuMEditPrintF(edit, WuLangText(WuLangRow_PropTextUnknownStream), static_cast<int>(i) + 1);
        break;
    }
  }
  EmptyLine(edit);

  if (!diagnostic) return;
  Header(edit, u"Streams (debug)");
  for (LONG i = 0; i < count; ++i) {
    const StreamId& id = ids[static_cast<size_t>(i)];
    if (id.ok && (id.type == kAudio || id.type == kVideo)) StreamDebugBlock(edit, reader, i, id);
  }
}

// ---- Plug-In -----------------------------------------------------------------------------
void WritePlugIn(HWND edit, IWuReadFileClass* cls, IWuFileIOMgrForApp* manager) {
  if (!cls) return;
  WCHAR format[kPathChars] = {};
  const DWORD property = 5;
  BSTR name = nullptr;
  if (SUCCEEDED(cls->GetStrings(&property, 1, &name)) && name)
    WuStrCpyN(format, name, kPathChars);
  WuFio_FreeBstrArray(&name, 1);

  WCHAR path[kPathChars] = {};
  GUID id{};
  WUFIO_PLUGIN_INFO record;
  if (SUCCEEDED(cls->GetClassId(&id)) && FindPluginInfoByClassId(manager, id, 16, &record) == S_OK)
    PluginInfoModulePath(&record, path, kPathChars);
  if (!path[0]) WuStrCpyN(path, format, kPathChars);
  if (!path[0]) return;

  Header(edit, WuLangText(WuLangRow_PropTextPlugIn));
  NameAndFolder(edit, path);
  if (format[0]) Line(edit, WuLangText(WuLangRow_PropMetaFormat), format);
  WCHAR value[kPathChars] = {};
  if (WuVersion_GetString(path, u"FileVersion", value, kPathChars) == S_OK)
    Line(edit, WuLangText(WuLangRow_PropMetaVersion), value);
  value[0] = 0;
  if (WuVersion_GetString(path, u"CompanyName", value, kPathChars) == S_OK)
    Line(edit, WuLangText(WuLangRow_PropTextCompany), value);
  EmptyLine(edit);
}

}  // namespace

void FillFilePropertiesText(HWND edit, LPCWSTR path, IWuReadFile* reader,
                            IWuFileIOMgrForApp* manager, DWORD flags, BOOL diagnostic) {
  WuMEditPrintF(edit, nullptr);
  SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(WuGetUIFont(kUIFontFileProps)), FALSE);

  WCHAR file[kPathChars] = {};
  if (path) WuStrCpyN(file, path, kPathChars);

  Gathered g;
  Gather(g, file, reader, manager);

  WriteGeneral(edit, file, g);
  WriteFileChain(edit, file, g, manager);
  if (diagnostic && g.reader) WriteFileDebug(edit, g.reader);
  WriteStreams(edit, g, diagnostic);

  WUFILEPROPMETA meta{};
  meta.edit = edit;
  meta.meta = g.meta;
  meta.loopInfo = g.loopInfo;
  meta.streams = g.streams;
  meta.mediaTag = g.mediaTag;
  meta.mediaTagsUsable = g.tagsUsable;
  meta.link = &g.link;
  meta.linkLoaded = g.linkLoaded;
  meta.manager = manager;
  meta.requestFlags = flags;
  meta.diagnostic = diagnostic;
  WuFilePropWriteMetaSections(&meta);

  WritePlugIn(edit, g.cls, manager);
}
