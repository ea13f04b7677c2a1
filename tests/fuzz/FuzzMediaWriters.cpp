// Fuzz target of the writers that change a media file in place. The input
// is three control bytes and a file (RIFF/WAV, Wave64, AIFF or a side
// file): byte 0 chooses the writer (its top bit: a disk that takes only
// byte 2 x 8 more bytes), byte 1 its data. The file is copied to a scratch
// file and the writer runs on it: the "bext" updates, the metadata write
// and update of each kind, the deletes by kind and by chunk, the size
// updates, the header rewrites, the project-link writes, puts and deletes,
// and the side file's owner chunk. Then:
// - the file grew by no more than the data written plus headers and
//   padding;
// - a form whose chunks ended at its stated size still does (an
//   independent walk here), whatever the writer answered;
// - on S_OK the written chunk is found by its reader;
// - the writers that answer all or nothing (the "bext" and project-link
//   writers, the metadata write and update, the owner chunk) leave a file
//   they fail on as it was, whatever the failure;
// - the header repair leaves the audio of a well-formed WAV or Wave64 file
//   as it was;
// - every stream, reference and global block comes back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "mediaformats/Iff.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuBwf.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/memory.h"
#include "shellui/ProjectLinkChunks.h"
#include "tests/common/TestUtil.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/mediaformats/TestReadMeta.h"

namespace {

using metatest::Le32;
using metatest::Le64;

enum class Form { kRiff, kRiff64, kIff };

// The form a file's first bytes name.
Form FormOf(const std::string& f) {
  if (f.compare(0, 4, "FORM") == 0) return Form::kIff;
  return f.compare(0, 4, "riff") == 0 ? Form::kRiff64 : Form::kRiff;
}

// Four characters as a RIFF id (first character low) or an IFF id (first
// character high).
FOURCC RiffChars(const char* id) { return riffbytes::Get32(reinterpret_cast<const BYTE*>(id)); }
DWORD IffChars(const char* id) {
  DWORD v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | static_cast<BYTE>(id[i]);
  return v;
}

uint64_t Get(const std::string& s, size_t at, int bytes, bool big = false) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) {
    uint64_t b = static_cast<unsigned char>(s[at + i]);
    v |= big ? b << (8 * (bytes - 1 - i)) : b << (8 * i);
  }
  return v;
}

// Whether the file's form has the form's id, a size that covers its type,
// and chunks that end exactly at its stated end, the last one's padding
// aside, with the file holding every chunk's data, at most that padding
// and nothing after it.
bool Consistent(const std::string& f, Form form) {
  const bool w64 = form == Form::kRiff64;
  const size_t first = w64 ? 40 : 12, header = w64 ? 24 : 8, align = w64 ? 8 : 2;
  if (f.size() < first) return false;
  uint64_t end_of_form = 0;
  if (form == Form::kRiff) {
    if (f.compare(0, 4, "RIFF") != 0 || Get(f, 4, 4) < 4) return false;
    end_of_form = Get(f, 4, 4) + 8;
  } else if (form == Form::kIff) {
    if (f.compare(0, 4, "FORM") != 0 || Get(f, 4, 4, true) < 4) return false;
    end_of_form = Get(f, 4, 4, true) + 8;
  } else {
    static const std::string riff("riff\x2E\x91\xCF\x11\xA5\xD6\x28\xDB\x04\xC1\x00\x00", 16);
    if (f.compare(0, 16, riff) != 0 || Get(f, 16, 8) < 40) return false;
    end_of_form = Get(f, 16, 8);
  }
  uint64_t at = first, data_end = first;
  while (at < end_of_form) {
    if (end_of_form - at < header || f.size() < at + header) return false;
    uint64_t data = w64 ? Get(f, at + 16, 8) : Get(f, at + 4, 4, form == Form::kIff);
    if (w64) data = data >= 24 ? data - 24 : 0;
    if (data > end_of_form - at - header) return false;
    data_end = at + header + data;
    at = (data_end + align - 1) / align * align;
  }
  return f.size() >= data_end && f.size() <= at;
}

// The audio of a well-formed WAV or Wave64 file (Consistent, of form type
// WAVE, a format chunk first): where its data chunk's bytes start and how
// many the file holds. False for any other file.
bool AudioOf(const std::string& f, Form form, size_t* at, size_t* bytes) {
  static const std::string wave64("wave\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 16);
  static const std::string fmt64("fmt \xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 16);
  static const std::string data64("data\xF3\xAC\xD3\x11\x8C\xD1\x00\xC0\x4F\x8E\xDB\x8A", 16);
  const bool w64 = form == Form::kRiff64;
  if (form == Form::kIff || !Consistent(f, form)) return false;
  const size_t first = w64 ? 40 : 12, header = w64 ? 24 : 8, align = w64 ? 8 : 2, id = w64 ? 16 : 4;
  if (f.compare(w64 ? 24 : 8, id, w64 ? wave64 : std::string("WAVE")) != 0 ||
      f.compare(first, id, w64 ? fmt64 : std::string("fmt ")) != 0)
    return false;
  for (size_t pos = first; pos + header <= f.size();) {
    uint64_t data = w64 ? Get(f, pos + 16, 8) : Get(f, pos + 4, 4);
    if (w64) data = data >= 24 ? data - 24 : 0;
    if (f.compare(pos, id, w64 ? data64 : std::string("data")) == 0) {
      *at = pos + header;
      *bytes = static_cast<size_t>(std::min<uint64_t>(data, f.size() - *at));
      return true;
    }
    pos = static_cast<size_t>((pos + header + data + align - 1) / align * align);
  }
  return false;
}

// The bytes of the first chunk `id` (RIFF: four characters; RIFF64: the
// GUID) of a form found by the chunk layer's search, or none.
bool FindChunk(HANDLE file, bool w64, const char* id, const GUID& guid, std::string* bytes) {
  if (w64) {
    ULONGLONG size = 0;
    LONGLONG left = 0;
    if (FAILED(riff64_FindChunkHeaderInRIFF(file, guid, &size, &left))) return false;
    if (size > 0x10000) return true;
    bytes->assign(static_cast<size_t>(size), '\0');
    return SUCCEEDED(riff64_ReadDataBounded(file, bytes->data(), static_cast<DWORD>(size), size));
  }
  DWORD size = 0, left = 0;
  if (FAILED(riff_FindChunkHeaderInRIFF(file, RiffChars(id), &size, &left))) return false;
  if (size > 0x10000) return true;
  bytes->assign(size, '\0');
  return SUCCEEDED(riff_ReadDataBounded(file, bytes->data(), size, size));
}

// The metadata reader of the metadata writers: markers (one region), an
// INFO title, a "scot" record, a sampler loop, a picture, a "wu03" stream
// and broadcast-wave fields.
void OfferMetadata(metatest::TestReadMeta* reader) {
  using metatest::MetaStream;
  std::string sampler = std::string(28, '\0') + Le32(1) + Le32(0) + Le32(1) + Le32(0) + Le64(10) +
                        Le64(20) + Le32(0) + Le32(0);
  std::string description = metatest::Utf16Bytes(u"fuzz");
  reader->meta_streams = {
      MetaStream(kMetaGuidMarkers, {metatest::MarkerItem(1, 100, kMetaPlainMarkerLength, u"A"),
                                    metatest::MarkerItem(2, 200, 50, u"Region")}),
      MetaStream(kMetaGuidInfo, {metatest::InfoItem("INAM", u"Title")}),
      MetaStream(kMetaGuidScot, {std::string(10, 's')}),
      MetaStream(kMetaGuidSampler, {sampler}),
      MetaStream(kMetaGuidDisplay, {Le32(1) + Le32(2) + "hi"}),
      MetaStream(kMetaGuidWu03, {"w3"}),
      MetaStream(kMetaGuidBwf, {Le32(12) + Le32(0) + Le32(static_cast<uint32_t>(description.size())) +
                                description}),
  };
}

// Bytes the metadata writers may add for that reader: each stream's bytes
// several times over (texts become records and sub-chunks), with headers.
constexpr uint64_t kMetadataBound = 8192;

// The project link of the project-link writers.
void OfferLink(metatest::TestReadMeta* reader) {
  using R = metatest::TestReadMeta;
  reader->has_link = true;
  reader->link[R::kPath] = metatest::Utf16Bytes(u"/projects/fuzz.prj");
  reader->link[R::kCommandLine] = metatest::Utf16Bytes(u"-open %s");
  reader->link[R::kTemplateData] = "tpl";
  reader->link[R::kCreatorAppInfo] = metatest::Utf16Bytes(u"Creator");
}
constexpr uint64_t kLinkBound = 5 * 40 + 38 + 18 + 3 + 16 + 8;

// The kinds a parameter byte asks the metadata writers for.
DWORD Kinds(uint8_t p) {
  static const DWORD kBits[] = {WUFIO_META_INFO, WUFIO_META_MARKERS, WUFIO_META_SCOT,
                                WUFIO_META_SAMPLER | WUFIO_META_AIFF_MARKERS, WUFIO_META_DISPLAY,
                                WUFIO_META_WU03, WUFIO_META_BWF, WUFIO_META_RAW};
  DWORD kinds = 0;
  for (int i = 0; i < 8; ++i)
    if (p & (1 << i)) kinds |= kBits[i];
  return kinds;
}

enum Writer {
  kBext, kBext64, kMetaWrite, kMetaUpdate, kMetaUpdate64, kMetaDelete, kDeleteChunk,
  kDeleteChunk64, kDeleteIff, kSizeUpdate, kHeaders, kLinkWrite, kLinkPutDelete, kOwner,
  kWriters
};

struct Run {
  HRESULT hr = S_OK;
  uint64_t bound = 0;       // the bytes it may add
  bool all_or_nothing = false;
  bool keeps_form = true;   // a whole form stays whole
};

// The description of a written bext body: its first bytes.
std::string BextData(uint8_t p) {
  std::string data(4 + p * 3u, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  return data;
}

const GUID kGuidData = {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}};

Run Write(Writer writer, uint8_t p, const std::u16string& path) {
  Run run;
  metatest::TestReadMeta reader;
  auto open = [&] {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  };
  switch (writer) {
    case kBext:
    case kBext64: {
      std::string data = BextData(p);
      HANDLE file = open();
      if (writer == kBext) {
        DWORD written = 0;
        run.hr = bwfriff_UpdateStreamChunk(file, RiffId("bext"), data.data(),
                                           static_cast<DWORD>(data.size()), &written);
        run.bound = data.size() + 8 + 2;
      } else {
        ULONGLONG written = 0;
        run.hr = bwfriff64_UpdateStreamChunk(file, data.data(), data.size(), &written);
        run.bound = data.size() + 24 + 14;
      }
      CloseHandle(file);
      run.all_or_nothing = true;
      break;
    }
    case kMetaWrite:
    case kMetaUpdate:
    case kMetaUpdate64:
      OfferMetadata(&reader);
      if (writer == kMetaWrite)
        run.hr = WuFMMeta_openAndWriteMetaStreamEx(path.c_str(), p & 1, 8000, &reader, Kinds(p), 0);
      else if (writer == kMetaUpdate)
        run.hr = WuFMMeta_UpdateMetaStream2(path.c_str(), 8000, &reader, Kinds(p), 0);
      else
        run.hr = WuFMMeta64_UpdateMetaStream(path.c_str(), 8000, &reader, Kinds(p), 0);
      run.bound = kMetadataBound;
      // The whole new set or nothing: a failure of any kind leaves the file.
      run.all_or_nothing = true;
      break;
    case kMetaDelete:
      run.hr = WuFMMeta_DeleteMetaChunksEx(path.c_str(), Kinds(p), p & 0x80 ? TRUE : FALSE);
      break;
    case kDeleteChunk:
    case kDeleteChunk64:
    case kDeleteIff: {
      static const char* const kIds[] = {"data", "fmt ", "bext", "JUNK", "LIST", "INFO", "cue ", "SSND",
                                         "COMM", "INST", "splp", "WUPI"};
      const char* id = kIds[p % (sizeof kIds / sizeof kIds[0])];
      HANDLE file = open();
      if (writer == kDeleteChunk) {
        DWORD removed = 0;
        run.hr = riff_DeleteChunk(file, RiffChars(id), &removed, p & 0x80 ? TRUE : FALSE);
      } else if (writer == kDeleteChunk64) {
        ULONGLONG removed = 0;
        run.hr = riff64_DeleteChunk(file, p & 1 ? kRiff64GuidBext : kGuidData, &removed);
      } else {
        DWORD removed = 0;
        run.hr = iff_DeleteChunk(file, IffChars(id), &removed);
      }
      CloseHandle(file);
      break;
    }
    case kSizeUpdate: {
      HANDLE file = open();
      LONGLONG delta = static_cast<int8_t>(p) * 2;
      run.hr = p & 1 ? riff64_UpdateRIFFSize(file, delta)
                     : riff_UpdateRIFFSize(file, static_cast<DWORD>(delta), static_cast<LONG>(delta >> 32));
      CloseHandle(file);
      run.keeps_form = false;  // it changes the size it is told to
      break;
    }
    case kHeaders: {
      const WAVEFORMATEX pcm = {WAVE_FORMAT_PCM, static_cast<WORD>(1 + (p & 1)), 8000u + p,
                                (8000u + p) * 2 * (1 + (p & 1)), static_cast<WORD>(2 * (1 + (p & 1))),
                                16, 0};
      if (p % 3 == 0) {
        run.hr = WuSetFileWfx(path.c_str(), &pcm);
      } else {
        HANDLE file = open();
        run.hr = p % 3 == 1 ? WuFixTrashedWav(file, &pcm, 64u * p)
                            : WuFixTrashedW64(file, &pcm, 64LL * p);
        CloseHandle(file);
        run.keeps_form = false;  // it rebuilds the header
      }
      break;
    }
    case kLinkWrite:
      OfferLink(&reader);
      run.hr = p & 1 ? ProjectLinkRiff64_openAndWriteInfo(path.c_str(), &reader)
                     : ProjectLinkRiff_openAndWriteInfo(path.c_str(), &reader, FALSE);
      run.bound = kLinkBound;
      run.all_or_nothing = true;
      break;
    case kLinkPutDelete: {
      HANDLE file = open();
      bool w64 = p & 1;
      if (p & 2) {
        std::string data = BextData(p >> 2);
        ULONGLONG added = 0;
        DWORD small = 0;
        run.hr = w64 ? ProjectLinkRiff64_PutChunk(file, kRiff64GuidBext, data.data(),
                                                  static_cast<DWORD>(data.size()), &added)
                     : ProjectLinkRiff_PutChunk(file, RiffId("bext"), data.data(),
                                                static_cast<DWORD>(data.size()), &small);
        run.bound = data.size() + 24 + 14;
        run.all_or_nothing = true;
      } else {
        ULONGLONG removed = 0;
        DWORD small = 0;
        run.hr = w64 ? ProjectLinkRiff64_DeleteInfo(file, &removed)
                     : ProjectLinkRiff_DeleteInfo(file, &small);
      }
      CloseHandle(file);
      break;
    }
    case kOwner: {
      std::u16string media = p & 1 ? u"/media/take-two.wav" : u"/media/a.wav";
      if (p & 2) {
        run.hr = WuFMMeta_ChangeAttachedFilename(path.c_str(), media.c_str());
      } else {
        HANDLE file = open();
        run.hr = WuFMMeta_WriteAttachedNameChunk(file, media.c_str());
        CloseHandle(file);
      }
      run.all_or_nothing = true;
      run.bound = 8 + 20;
      break;
    }
    case kWriters:
      break;
  }
  if (reader.refs() != 0 || reader.live() != 0) wufuzz::Fail("a reference was kept", "");
  return run;
}

// What the writer wrote, found by its reader.
void CheckWritten(Writer writer, uint8_t p, const std::u16string& path, const std::string& where) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) wufuzz::Fail("cannot reopen", where);
  std::string bytes;
  bool ok = true;
  const char* what = "";
  switch (writer) {
    case kBext:
    case kBext64: {
      std::string data = BextData(p);
      ok = FindChunk(file, writer == kBext64, "bext", kRiff64GuidBext, &bytes) &&
           bytes.compare(0, data.size(), data) == 0;
      what = "the bext written is not the one found";
      break;
    }
    case kLinkWrite: {
      CWuLinkProjectInfo info;
      int loaded = 0;
      HRESULT hr = p & 1 ? ProjectLinkRiff64_LoadInfo(file, &info, &loaded)
                         : ProjectLinkRiff_LoadInfo(file, &info, &loaded);
      ok = SUCCEEDED(hr) && loaded == 1 && info.GetProjectPath() &&
           std::u16string(info.GetProjectPath()) == u"/projects/fuzz.prj";
      what = "the link written does not load";
      break;
    }
    case kLinkPutDelete:
      if (p & 2) {
        std::string data = BextData(p >> 2);
        ok = FindChunk(file, p & 1, "bext", kRiff64GuidBext, &bytes) && bytes.size() == data.size() &&
             bytes == data;
        what = "the chunk put is not the one found";
      } else {
        ok = !FindChunk(file, p & 1, "splv", kProjectLinkGuidVersion, &bytes);
        what = "a version chunk is left";
      }
      break;
    case kMetaWrite:
    case kMetaUpdate:
      // An AIFF or AIFF-C file (any compression) takes only the loops; a
      // RIFF file each other kind.
      if (iff_IsAIFFForm(file)) {
        DWORD found = 0;
        ok = !(Kinds(p) & WUFIO_META_AIFF_MARKERS) ||
             SUCCEEDED(iff_FindChunkFromStart(file, IffChars("INST"), &found));
      } else {
        DWORD found = 0;
        ok = (!(Kinds(p) & WUFIO_META_MARKERS) || FindChunk(file, false, "cue ", GUID{}, &bytes)) &&
             (!(Kinds(p) & WUFIO_META_BWF) || FindChunk(file, false, "bext", GUID{}, &bytes)) &&
             (!(Kinds(p) & WUFIO_META_INFO) ||
              SUCCEEDED(riff_FindListChunkFromStart(file, RiffChars("INFO"), &found)));
      }
      what = "a kind written is not found";
      break;
    case kMetaUpdate64:
      ok = !(Kinds(p) & WUFIO_META_MARKERS) || FindChunk(file, true, "", kMetaGuidMarkers, &bytes);
      what = "the markers written are not found";
      break;
    case kOwner: {
      std::u16string media = p & 1 ? u"/media/take-two.wav" : u"/media/a.wav";
      CloseHandle(file);
      file = INVALID_HANDLE_VALUE;
      ok = WuFMMeta_IsMetaFile(media.c_str(), path.c_str());
      what = "the owner chunk written does not name the media file";
      break;
    }
    default:
      break;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  if (!ok) wufuzz::Fail(what, where);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const Writer writer = static_cast<Writer>((data[0] & 0x7F) % kWriters);
  const bool limited = data[0] & 0x80;
  const uint8_t p = data[1];
  const std::string input(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::string path = wufuzz::Root() + "/work/m.wav";
  for (const char* side : {"/work/m.wav.wul", "/work/m.wul"})
    DeleteFileW(platform::ToUtf16(wufuzz::Root() + side).c_str());
  if (!wufuzz::WriteFile(path, input.data(), input.size())) wufuzz::Fail("cannot write", path);
  const std::u16string wide = platform::ToUtf16(path);
  size_t blocks = platform::LiveGlobalBlockCount();

  Run run;
  {
    // A disk that fails part-way: the file may grow by byte 2 x 8 bytes.
    std::unique_ptr<wutest::FileSizeLimit> limit;
    if (limited) limit = std::make_unique<wutest::FileSizeLimit>(input.size() + data[2] * 8u);
    run = Write(writer, p, wide);
  }
  if (platform::LiveGlobalBlockCount() != blocks) wufuzz::Fail("a block leaked", path);

  const std::string after = wutest::ReadBytes(path);
  if (after.size() > input.size() + run.bound) wufuzz::Fail("the file grew too much", path);
  const Form form = FormOf(input);
  if (run.keeps_form && Consistent(input, form) && !Consistent(after, form))
    wufuzz::Fail("a whole form was left broken", path);
  if (FAILED(run.hr) && run.all_or_nothing && after != input)
    wufuzz::Fail("a failed write changed the file", path);
  // The header repair on a well-formed file rewrites only its header: the
  // audio stays where and as it was.
  if (writer == kHeaders && p % 3 != 0 && SUCCEEDED(run.hr)) {
    size_t audio_at = 0, audio_bytes = 0;
    if (AudioOf(input, form, &audio_at, &audio_bytes) &&
        (after.size() < audio_at + audio_bytes ||
         after.compare(audio_at, audio_bytes, input, audio_at, audio_bytes) != 0))
      wufuzz::Fail("the repair changed the audio of a well-formed file", path);
  }
  if (run.hr == S_OK) CheckWritten(writer, p, wide, path);
  return 0;
}
