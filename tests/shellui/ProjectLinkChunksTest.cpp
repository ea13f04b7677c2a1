// Project-link chunks: loading from RIFF and RIFF64 files built byte by
// byte, putting single chunks, writing through a metadata reader into WAV,
// Wave64 and side files (and reading those back, also with libsndfile),
// and the metadata-reader path.
#include "shellui/ProjectLinkChunks.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mediaformats/Riff64.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "tests/common/TestUtil.h"
#include "tests/mediaformats/InteropTools.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

namespace {

using rifftest::At32;
using rifftest::Bytes;
using rifftest::TempFile;

constexpr HRESULT kRead = static_cast<HRESULT>(0x8004E008);
constexpr HRESULT kBadData = static_cast<HRESULT>(0x8004E00B);
constexpr HRESULT kTooNew = static_cast<HRESULT>(0x8004E01C);
constexpr HRESULT kStream = static_cast<HRESULT>(0x8004E038);
constexpr HRESULT kInvalid = static_cast<HRESULT>(0x8004E05D);

// The RIFF64 ids of the chunk set, and of the other chunks the tests use.
const std::map<std::string, GUID> kGuids = {
    {"splv", {0xE4E76B7B, 0x339F, 0x4820, {0x8A, 0xA9, 0x69, 0x15, 0xA7, 0x22, 0x02, 0x4E}}},
    {"splp", {0x830AC81C, 0x4C96, 0x4F91, {0x99, 0x75, 0xC7, 0x07, 0xE1, 0x73, 0x6E, 0xC7}}},
    {"spcl", {0xCBE52EDB, 0xC5D2, 0x44BC, {0xB5, 0xDC, 0xEF, 0x55, 0xE9, 0x46, 0xF0, 0x73}}},
    {"sprg", {0x9F4A912F, 0x9D66, 0x426E, {0xA7, 0x81, 0xF9, 0xE7, 0xE0, 0x15, 0x24, 0xFE}}},
    {"srtn", {0xB5EDD3A2, 0x0673, 0x4466, {0x84, 0x46, 0xCA, 0x87, 0xDD, 0x80, 0xA4, 0x87}}},
    {"srtd", {0x7834233F, 0x573A, 0x475E, {0x8F, 0x02, 0x56, 0x8D, 0x13, 0x1B, 0xE2, 0xDF}}},
    {"srat", {0x29C90B65, 0xD288, 0x4F92, {0x81, 0x4F, 0x1C, 0x67, 0x59, 0x3A, 0x68, 0x60}}},
    {"spca", {0xFCD163D0, 0xD709, 0x4568, {0x91, 0x10, 0x83, 0x1D, 0x2C, 0x94, 0x55, 0xF2}}},
    {"spcc", {0x738F13D9, 0xB70F, 0x4309, {0x98, 0x8E, 0x48, 0x42, 0x53, 0x26, 0xF6, 0x69}}},
    {"spem", {0x6D0BE4ED, 0xC296, 0x4596, {0x93, 0x43, 0x25, 0xEC, 0x04, 0x37, 0x54, 0xED}}},
    {"abcd", {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44}}},
    {"fmt ", kRiff64GuidFmt},
    {"data", {0x61746164, 0xACF3, 0x11D3, {0x8C, 0xD1, 0x00, 0xC0, 0x4F, 0x8E, 0xDB, 0x8A}}},
};

std::string U16Bytes(const std::u16string& text) { return metatest::Utf16Bytes(text); }
std::string Le32(uint32_t v) { return metatest::Le32(v); }

// A chunk of a test form: its name, its data and, when given, the content
// size its header claims instead.
struct TChunk {
  std::string id;
  std::string data;
  std::optional<uint64_t> claimed = std::nullopt;
};

// A "WAVE" form (RIFF) or a Wave64 form holding `chunks`.
std::string Form(bool w64, const std::vector<TChunk>& chunks) {
  Bytes body;
  for (const TChunk& c : chunks) {
    if (w64) {
      body.Guid(kGuids.at(c.id)).U64(24 + c.claimed.value_or(c.data.size())).Raw(c.data);
      body.Zeros((8 - c.data.size() % 8) % 8);
    } else {
      body.Id(c.id.c_str()).U32(static_cast<uint32_t>(c.claimed.value_or(c.data.size()))).Raw(c.data);
      if (c.data.size() & 1) body.Zeros(1);
    }
  }
  Bytes form;
  if (w64)
    form.Guid(kRiff64GuidRiff).U64(40 + body.size()).Guid(kRiff64GuidWave).Raw(body.s);
  else
    form.Id("RIFF").U32(static_cast<uint32_t>(4 + body.size())).Id("WAVE").Raw(body.s);
  return form.s;
}

// Occurrences of a chunk id (RIFF: the four characters; RIFF64: the GUID)
// in a file's bytes.
int CountId(const std::string& bytes, bool w64, const std::string& id) {
  std::string needle = w64 ? Bytes().Guid(kGuids.at(id)).s : id;
  int n = 0;
  for (size_t at = bytes.find(needle); at != std::string::npos; at = bytes.find(needle, at + 1)) ++n;
  return n;
}

const std::string kVersion = Le32(0x01000100);
const std::string kPathText = U16Bytes(u"C:\\proj\\song.prj");
const std::string kCmdText = U16Bytes(u"-open %s");

struct Loaded {
  HRESULT hr;
  int flag;
};

Loaded Load(const std::string& bytes, bool w64, CWuLinkProjectInfo& info) {
  TempFile file(bytes);
  int flag = -1;
  HRESULT hr = w64 ? ProjectLinkRiff64_LoadInfo(file.h(), &info, &flag)
                   : ProjectLinkRiff_LoadInfo(file.h(), &info, &flag);
  EXPECT_EQ(bytes, file.Contents());  // loads never write
  return {hr, flag};
}

TEST(ProjectLinkLoad, VersionAndRequiredChunks) {
  struct Case {
    const char* name;
    std::vector<TChunk> chunks;
    HRESULT riff, riff64;
    int riff_flag;
  };
  const Case cases[] = {
      {"version of 8 bytes", {{"splv", kVersion + kVersion}, {"splp", kPathText}, {"spcl", kCmdText}},
       kBadData, kBadData, 0},
      {"version too high", {{"splv", Le32(0x02000000)}, {"splp", kPathText}, {"spcl", kCmdText}},
       kTooNew, kTooNew, 0},
      {"highest version", {{"splv", Le32(0x01FFFFFF)}, {"splp", kPathText}, {"spcl", kCmdText}},
       S_OK, S_OK, 1},
      {"no version", {{"splp", kPathText}, {"spcl", kCmdText}}, kBadData, kBadData, 0},
      {"only the version", {{"splv", kVersion}}, S_OK, kBadData, 0},
      {"command line too short", {{"splv", kVersion}, {"splp", kPathText}, {"spcl", "\x41"}}, S_OK,
       kBadData, 1},
      {"chunk past the form",
       {{"splv", kVersion}, {"splp", kPathText, 4000}, {"spcl", kCmdText}}, kRead, kRead, 0},
  };
  for (bool w64 : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (w64 ? " (RIFF64)" : " (RIFF)"));
      CWuLinkProjectInfo info;
      info.SetTemplateName(u"stale");  // a load resets the record
      Loaded got = Load(Form(w64, c.chunks), w64, info);
      EXPECT_EQ(w64 ? c.riff64 : c.riff, got.hr);
      EXPECT_EQ(SUCCEEDED(got.hr) ? (w64 ? 1 : c.riff_flag) : 0, got.flag);
      EXPECT_EQ(nullptr, info.GetTemplateName());
      if (FAILED(got.hr)) {
        EXPECT_EQ(0u, info.GetFlags());
      }
      if (got.hr == S_OK && c.riff_flag) {
        WCHAR path[64];
        info.GetProjectPath(path, 64);
        EXPECT_EQ(std::u16string(u"C:\\proj\\song.prj"), std::u16string(path));
      }
    }
  }
}

TEST(ProjectLinkLoad, OptionalChunksTakenSkippedAndTerminated) {
  const GUID renderer = {0xA1B2C3D4, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
  const std::string guid = Bytes().Guid(renderer).s;
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "RIFF64" : "RIFF");
    // "srat" without "srtd", a 15-byte "sprg", and a template name of 3
    // bytes without its NUL unit.
    CWuLinkProjectInfo info;
    Loaded got = Load(Form(w64, {{"splv", kVersion},
                                 {"splp", kPathText},
                                 {"spcl", kCmdText},
                                 {"sprg", guid.substr(0, 15)},
                                 {"srat", "app"},
                                 {"srtn", std::string("x\0y", 3)},
                                 {"spcc", U16Bytes(u"WndClass")}}),
                      w64, info);
    ASSERT_EQ(S_OK, got.hr);
    EXPECT_EQ(WULPI_PROJECT_PATH | WULPI_COMMAND_LINE | WULPI_TEMPLATE_NAME |
                  WULPI_CREATOR_WINDOW_CLASS,
              info.GetFlags());
    EXPECT_EQ(0x01000100u, info.GetVersion());
    ASSERT_EQ(6u, info.GetTemplateNameSize());  // rounded up to even, plus a NUL unit
    EXPECT_EQ(u'x', info.GetTemplateName()[0]);
    EXPECT_EQ(u'y', info.GetTemplateName()[1]);
    EXPECT_EQ(0, info.GetTemplateName()[2]);

    // With "srtd" the application's data and a whole GUID are taken.
    got = Load(Form(w64, {{"splv", kVersion},
                          {"splp", kPathText},
                          {"spcl", kCmdText},
                          {"sprg", guid},
                          {"srat", "app"},
                          {"srtd", "tpl"}}),
               w64, info);
    ASSERT_EQ(S_OK, got.hr);
    EXPECT_EQ(WULPI_PROJECT_PATH | WULPI_COMMAND_LINE | WULPI_RENDERER_GUID | WULPI_TEMPLATE_DATA |
                  WULPI_APP_TEMPLATE_DATA,
              info.GetFlags());
    EXPECT_EQ(renderer, *info.GetRendererGuid());
    EXPECT_EQ(3u, info.GetAppTemplateDataSize());
  }
}

TEST(ProjectLinkLoad, FailedAllocationFreesTheRecord) {
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "RIFF64" : "RIFF");
    TempFile file(Form(w64, {{"splv", kVersion},
                             {"splp", kPathText},
                             {"spcl", kCmdText},
                             {"spca", U16Bytes(u"app")}}));
    CWuLinkProjectInfo info;
    int loaded = -1;
    platform::FailAllocationsAfter(2, 1);  // the path and command line load, the third fails
    HRESULT hr = w64 ? ProjectLinkRiff64_LoadInfo(file.h(), &info, &loaded)
                     : ProjectLinkRiff_LoadInfo(file.h(), &info, &loaded);
    platform::FailNextAllocations(0);
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_EQ(0, loaded);
    EXPECT_EQ(0u, info.GetFlags());
    EXPECT_EQ(nullptr, info.GetProjectPath());
  }
}

// ---- Putting single chunks -------------------------------------------------------------

TEST(ProjectLinkPutChunk, SameSizeInPlaceOtherSizesRetiredAndAppended) {
  const std::string old10 = "0123456789";
  struct Case {
    const char* name;
    std::string data;
    bool in_place;
  };
  const Case cases[] = {{"equal", "ABCDEFGHIJ", true},
                        {"smaller", "ABCDEF", false},
                        {"larger", "ABCDEFGHIJKL", false}};
  for (bool w64 : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (w64 ? " (RIFF64)" : " (RIFF)"));
      std::string before = Form(w64, {{"fmt ", "FMT!"}, {"abcd", old10}, {"data", "xx"}});
      TempFile file(before);
      ULONGLONG added = 99;
      HRESULT hr;
      if (w64) {
        hr = ProjectLinkRiff64_PutChunk(file.h(), kGuids.at("abcd"), c.data.data(),
                                        static_cast<DWORD>(c.data.size()), &added);
      } else {
        DWORD small = 99;
        hr = ProjectLinkRiff_PutChunk(file.h(), RiffId("abcd"), c.data.data(),
                                      static_cast<DWORD>(c.data.size()), &small);
        added = small;
      }
      ASSERT_EQ(S_OK, hr);
      std::string after = file.Contents();
      if (c.in_place) {
        EXPECT_EQ(0u, added);
        std::string expect = before;
        expect.replace(expect.find(old10), 10, c.data);
        EXPECT_EQ(expect, after);
        continue;
      }
      std::string appended = Form(w64, {{"abcd", c.data}}).substr(w64 ? 40 : 12);
      EXPECT_EQ(appended.size(), added);
      ASSERT_EQ(before.size() + appended.size(), after.size());
      EXPECT_EQ(appended, after.substr(before.size()));
      EXPECT_EQ(1, CountId(after, w64, "abcd"));
      if (!w64) {
        EXPECT_EQ(1, CountId(after, false, "JUNK"));
        EXPECT_EQ(after.size() - 8, At32(after, 4));
      } else {
        EXPECT_EQ(after.size(), rifftest::At64(after, 16));
      }
      // The old content stays, under the retired id.
      EXPECT_NE(std::string::npos, after.find(old10));
    }
    // Two old chunks of the id: both are retired, so that the new one is
    // the one found.
    TempFile two(Form(w64, {{"abcd", "12"}, {"data", "xx"}, {"abcd", "34"}}));
    ULONGLONG added = 0;
    DWORD small = 0;
    ASSERT_EQ(S_OK, w64 ? ProjectLinkRiff64_PutChunk(two.h(), kGuids.at("abcd"), "ABCDEF", 6, &added)
                        : ProjectLinkRiff_PutChunk(two.h(), RiffId("abcd"), "ABCDEF", 6, &small));
    EXPECT_EQ(1, CountId(two.Contents(), w64, "abcd"));
  }
}

// Deletes the link from an open RIFF or RIFF64 file: the status, and in
// `removed` the bytes the delete reports.
HRESULT DeleteLink(HANDLE file, bool w64, ULONGLONG* removed) {
  if (w64) return ProjectLinkRiff64_DeleteInfo(file, removed);
  DWORD small = 0;
  HRESULT hr = ProjectLinkRiff_DeleteInfo(file, &small);
  *removed = small;
  return hr;
}

TEST(ProjectLinkDelete, RemovesEverySetChunkAndKeepsTheRest) {
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "RIFF64" : "RIFF");
    std::string kept = Form(w64, {{"fmt ", "FMT!"}, {"data", "pcm"}});
    std::string bytes = Form(w64, {{"splv", kVersion},
                                   {"fmt ", "FMT!"},
                                   {"spca", U16Bytes(u"app")},
                                   {"data", "pcm"},
                                   {"spem", "LIST"},
                                   {"splp", kPathText}});
    TempFile file(bytes);
    ULONGLONG removed = 0;
    ASSERT_EQ(S_OK, DeleteLink(file.h(), w64, &removed));
    EXPECT_EQ(bytes.size() - kept.size(), removed);
    EXPECT_EQ(kept, file.Contents());
    // A last chunk whose pad byte the file lacks: what went is reported and
    // taken from the form.
    if (!w64) {
      std::string odd = Form(false, {{"fmt ", "FMT!"}, {"srtd", std::string(79, 't')}});
      odd.pop_back();
      odd.replace(4, 4, Le32(static_cast<uint32_t>(odd.size() - 8)));
      TempFile last(odd);
      DWORD gone = 0;
      ASSERT_EQ(S_OK, ProjectLinkRiff_DeleteInfo(last.h(), &gone));
      EXPECT_EQ(87u, gone);
      EXPECT_EQ(Form(false, {{"fmt ", "FMT!"}}), last.Contents());
    }
    // Nothing left to delete is no error.
    EXPECT_EQ(S_OK, w64 ? ProjectLinkRiff64_DeleteInfo(file.h(), nullptr)
                        : ProjectLinkRiff_DeleteInfo(file.h(), nullptr));
  }
}

// A file holding the set twice, as another writer or an earlier build may
// leave it, loses both; so does one whose form claims more than the file
// holds. After S_OK no link loads.
TEST(ProjectLinkDelete, SetHeldTwiceLeavesNoLink) {
  const std::vector<TChunk> set = {{"splp", kPathText}, {"spcl", kCmdText}, {"srtd", "tpl"},
                                   {"spca", U16Bytes(u"app")}, {"splv", kVersion}};
  for (bool w64 : {false, true}) {
    for (ULONGLONG beyond : {0, 100}) {
      SCOPED_TRACE(std::string(w64 ? "RIFF64" : "RIFF") + (beyond ? ", form beyond the file" : ""));
      std::vector<TChunk> chunks = {{"fmt ", "FMT!"}, {"data", "pcm"}};
      chunks.insert(chunks.end(), set.begin(), set.end());
      chunks.insert(chunks.end(), set.begin(), set.end());
      std::string bytes = Form(w64, chunks);
      std::string kept = Form(w64, {{"fmt ", "FMT!"}, {"data", "pcm"}});
      // The form's size claims `beyond` more bytes than the file holds.
      auto raise = [&](std::string& f) {
        if (w64)
          f.replace(16, 8, Bytes().U64(f.size() + beyond).s);
        else
          f.replace(4, 4, Le32(static_cast<uint32_t>(f.size() - 8 + beyond)));
      };
      raise(bytes);
      raise(kept);
      TempFile file(bytes);
      ULONGLONG removed = 0;
      ASSERT_EQ(S_OK, DeleteLink(file.h(), w64, &removed));
      EXPECT_EQ(bytes.size() - kept.size(), removed);
      EXPECT_EQ(kept, file.Contents());
      CWuLinkProjectInfo info;
      int flag = -1;
      // No version chunk; past the file's end the search cannot read.
      EXPECT_EQ(beyond ? kRead : kBadData, w64 ? ProjectLinkRiff64_LoadInfo(file.h(), &info, &flag)
                                               : ProjectLinkRiff_LoadInfo(file.h(), &info, &flag));
      EXPECT_EQ(0, flag);
    }
  }
  // A chunk of the set that claims more than its form holds cannot be cut:
  // the delete is refused before the good chunks go.
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "RIFF64" : "RIFF");
    std::string bytes = Form(w64, {{"splv", kVersion}, {"fmt ", "FMT!"}, {"srtd", "tpl", 1000}});
    TempFile file(bytes);
    ULONGLONG removed = 0;
    DWORD small = 0;
    EXPECT_EQ(RIFF_E_WRONG_FORM, w64 ? ProjectLinkRiff64_DeleteInfo(file.h(), &removed)
                                     : ProjectLinkRiff_DeleteInfo(file.h(), &small));
    EXPECT_EQ(bytes, file.Contents());
  }
}

// ---- Writing through a metadata reader ---------------------------------------------------

// A reader offering a full project link.
void OfferLink(metatest::TestReadMeta& reader) {
  using R = metatest::TestReadMeta;
  reader.has_link = true;
  reader.link[R::kPath] = U16Bytes(u"/projects/song.prj");
  reader.link[R::kCommandLine] = U16Bytes(u"-open %s");
  reader.link[R::kRendererGuid] = Bytes().Guid(kGuids.at("abcd")).s;
  reader.link[R::kTemplateName] = U16Bytes(u"Template");
  reader.link[R::kTemplateData] = "tpl-data-odd";
  reader.link[R::kAppTemplateData] = "app";
  reader.link[R::kCreatorAppInfo] = U16Bytes(u"Creator 1.0");
  reader.link[R::kCreatorWindowClass] = U16Bytes(u"CreatorWnd");
  reader.link[R::kProjectData] = std::string("LIST\x0c\0\0\0spelqqqq\0\0\0\0", 20);
}

// A 16-bit mono PCM WAV (or Wave64) file of `frames` frames.
std::string Wave(bool w64, int frames) {
  std::string fmt = Bytes().U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16).s;
  return Form(w64, {{"fmt ", fmt}, {"data", std::string(static_cast<size_t>(frames) * 2, '\x11')}});
}

void ExpectFullLink(const CWuLinkProjectInfo& info) {
  EXPECT_EQ(0x1FFu, info.GetFlags());
  EXPECT_EQ(0x01000100u, info.GetVersion());
  WCHAR text[64];
  info.GetCreatorAppWindowClassName(text, 64);
  EXPECT_EQ(std::u16string(u"CreatorWnd"), std::u16string(text));
  EXPECT_EQ(12u, info.GetTemplateDataSize());
  BYTE q[4];
  DWORD size = 4;
  CWuLinkProjectInfo copy(info);
  EXPECT_EQ(S_OK, copy.GetProjectData(RiffId("qqqq"), q, &size));
}

TEST(ProjectLinkWrite, RoundTripsThroughWavWave64AndSideFile) {
  struct Target {
    const char* name;
    bool w64, side;
  };
  for (const Target t : {Target{"WAV", false, false}, Target{"Wave64", true, false},
                         Target{"side file", false, true}}) {
    SCOPED_TRACE(t.name);
    std::string path = wutest::MakeTempDir("link") + "/take.wav";
    std::string media = Wave(t.w64, 50);
    wutest::WriteBytes(path, media);
    metatest::TestReadMeta reader;
    OfferLink(reader);
    std::u16string wide = wutest::U16(path);
    for (int round = 0; round < 2; ++round) {
      HRESULT hr = t.w64 ? ProjectLinkRiff64_openAndWriteInfo(wide.c_str(), &reader)
                         : ProjectLinkRiff_openAndWriteInfo(wide.c_str(), &reader, t.side);
      ASSERT_EQ(S_OK, hr);
    }
    EXPECT_EQ(0u, reader.refs());
    EXPECT_EQ(0, reader.live());
    std::string stored = wutest::ReadBytes(t.side ? path + ".wul" : path);
    if (t.side) {
      EXPECT_EQ(media, wutest::ReadBytes(path));  // the media file is untouched
      EXPECT_EQ("RIFF", stored.substr(0, 4));
      EXPECT_EQ("WUPL", stored.substr(8, 4));
      EXPECT_EQ("WUPI", stored.substr(12, 4));
    } else {
      // The link is appended after the audio; only the form size changed.
      size_t size_bytes = t.w64 ? 24 : 8;
      EXPECT_EQ(media.substr(size_bytes), stored.substr(size_bytes, media.size() - size_bytes));
    }
    for (const char* id : {"splv", "splp", "spcl", "sprg", "srtn", "srtd", "srat", "spca", "spcc",
                           "spem"})
      EXPECT_EQ(1, CountId(stored, t.w64, id)) << id;

    TempFile back(stored);
    CWuLinkProjectInfo info;
    int loaded = 0;
    ASSERT_EQ(S_OK, t.w64 ? ProjectLinkRiff64_LoadInfo(back.h(), &info, &loaded)
                          : ProjectLinkRiff_LoadInfo(back.h(), &info, &loaded));
    EXPECT_EQ(1, loaded);
    ExpectFullLink(info);
#if WU_HAVE_SNDFILE
    // libsndfile opens the file with its format and frame count. (Its
    // Wave64 reader takes the audio to run to the end of the file whenever
    // any chunk follows "data", so there only the format is compared.)
    if (!t.side) {
      interop::AudioFacts facts = interop::Sndfile(path);
      EXPECT_EQ(8000, facts.rate);
      EXPECT_EQ(1, facts.channels);
      if (!t.w64) {
        EXPECT_EQ(50, facts.frames);
      }
    }
#endif
  }
}

TEST(ProjectLinkWrite, NothingOfferedWritesNothing) {
  std::string path = wutest::MakeTempDir("link") + "/take.wav";
  std::string media = Wave(false, 4);
  wutest::WriteBytes(path, media);
  std::u16string wide = wutest::U16(path);
  metatest::TestReadMeta reader;
  EXPECT_EQ(S_OK, ProjectLinkRiff_openAndWriteInfo(wide.c_str(), &reader, FALSE));  // no kind
  reader.has_link = true;  // the kind, but no field
  EXPECT_EQ(S_OK, ProjectLinkRiff_openAndWriteInfo(wide.c_str(), &reader, FALSE));
  EXPECT_EQ(S_OK, ProjectLinkRiff_openAndWriteInfo(wide.c_str(), &reader, TRUE));
  EXPECT_EQ(S_OK, ProjectLinkRiff_openAndWriteInfo(wide.c_str(), nullptr, FALSE));
  EXPECT_EQ(media, wutest::ReadBytes(path));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((wide + u".wul").c_str()));
  EXPECT_EQ(0u, reader.refs());
}

TEST(ProjectLinkWrite, FailedWriteToMissingTargetLeavesNoFile) {
  std::string dir = wutest::MakeTempDir("link");
  std::u16string missing = wutest::U16(dir + "/missing.wav");
  metatest::TestReadMeta reader;
  OfferLink(reader);
  // A new, empty media file has no form to write into.
  EXPECT_EQ(kRead, ProjectLinkRiff_openAndWriteInfo(missing.c_str(), &reader, FALSE));
  EXPECT_EQ(kRead, ProjectLinkRiff64_openAndWriteInfo(missing.c_str(), &reader));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(missing.c_str()));
  // A link without its command line does not validate: no bare side file.
  reader.link.erase(metatest::TestReadMeta::kCommandLine);
  reader.link.erase(metatest::TestReadMeta::kProjectData);
  EXPECT_EQ(kInvalid, ProjectLinkRiff_openAndWriteInfo(missing.c_str(), &reader, TRUE));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((missing + u".wul").c_str()));
  EXPECT_EQ(0, reader.live());
}

TEST(ProjectLinkWrite, FormWithTrailingBytesIsRefusedUntouched) {
  std::string path = wutest::MakeTempDir("link") + "/take.wav";
  std::string media = Wave(false, 4) + "TAIL";
  wutest::WriteBytes(path, media);
  metatest::TestReadMeta reader;
  OfferLink(reader);
  EXPECT_EQ(kBadData, ProjectLinkRiff_openAndWriteInfo(wutest::U16(path).c_str(), &reader, FALSE));
  EXPECT_EQ(media, wutest::ReadBytes(path));
}

// The file a link is written into: a WAV (RIFF) or Wave64 file, or the side
// file of a WAV.
struct LinkTarget {
  const char* name;
  bool w64, side;
};
const LinkTarget kTargets[] = {{"WAV", false, false}, {"Wave64", true, false},
                               {"side file", false, true}};

HRESULT WriteLink(const std::u16string& media, const LinkTarget& t, metatest::TestReadMeta& reader) {
  return t.w64 ? ProjectLinkRiff64_openAndWriteInfo(media.c_str(), &reader)
               : ProjectLinkRiff_openAndWriteInfo(media.c_str(), &reader, t.side);
}

// The project path the link of a file (RIFF or RIFF64) loads with, or
// "-" when none loads.
std::u16string LoadedPath(const std::string& bytes, bool w64) {
  CWuLinkProjectInfo info;
  Loaded l = Load(bytes, w64, info);
  if (FAILED(l.hr) || !l.flag || !info.GetProjectPath()) return u"-";
  return info.GetProjectPath();
}

// Whether a file still holds exactly `bytes` (without printing either).
testing::AssertionResult Holds(const std::string& path, const std::string& bytes) {
  std::string now = wutest::ReadBytes(path);
  if (now == bytes) return testing::AssertionSuccess();
  return testing::AssertionFailure() << path << " changed: " << bytes.size() << " -> " << now.size()
                                     << " bytes";
}

// A last chunk of odd size that the form counts without its pad byte (held
// by the file or not), and its Wave64 twin not padded to 8: the link goes
// after the padding, which the form then counts, and a second write
// replaces it rather than adding a copy.
TEST(ProjectLinkWrite, OddLastChunkIsPaddedBeforeTheLink) {
  for (bool w64 : {false, true}) {
    for (bool pad : {false, true}) {
      SCOPED_TRACE(std::string(w64 ? "Wave64" : "WAV") + (pad ? ", padding held" : ", no padding"));
      std::string fmt = Bytes().U16(1).U16(1).U32(8000).U32(8000).U16(1).U16(8).s;
      std::string media;
      size_t end = 0;
      if (w64) {
        std::string chunks = Bytes().Chunk64(kRiff64GuidFmt, fmt).Guid(kGuids.at("data")).U64(24 + 101)
                                 .Raw(std::string(101, 'a')).s;
        media = Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave).Raw(chunks).s;
        end = media.size();
        if (pad) media += std::string(3, '\0');
      } else {
        std::string chunks = Bytes().Chunk("fmt ", fmt).Id("data").U32(101).Raw(std::string(101, 'a')).s;
        media = Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id("WAVE").Raw(chunks).s;
        end = media.size();
        if (pad) media += std::string(1, '\0');
      }
      std::string path = wutest::MakeTempDir("link") + "/take.wav";
      wutest::WriteBytes(path, media);
      metatest::TestReadMeta reader;
      OfferLink(reader);
      const LinkTarget t{"", w64, false};
      ASSERT_EQ(S_OK, WriteLink(wutest::U16(path), t, reader));
      std::string once = wutest::ReadBytes(path);
      size_t at = w64 ? 208 : 146;
      EXPECT_EQ(std::string(at - end, '\0'), once.substr(end, at - end));
      EXPECT_EQ(w64 ? Bytes().Guid(kGuids.at("splp")).s : "splp", once.substr(at, w64 ? 16 : 4));
      EXPECT_EQ(w64 ? rifftest::At64(once, 16) : At32(once, 4) + 8ULL, once.size());
      EXPECT_EQ(u"/projects/song.prj", LoadedPath(once, w64));
      ASSERT_EQ(S_OK, WriteLink(wutest::U16(path), t, reader));
      EXPECT_TRUE(Holds(path, once));
    }
  }
}

// A chunk that claims more than its form holds, as streaming and unfinished
// recorders leave the data chunk, and files that hold only a form header:
// no link can be appended where a reader finds it, and the file is left as
// it was.
TEST(ProjectLinkWrite, FormsWhoseChunksDoNotEndAtTheirSizeAreRefusedUntouched) {
  struct Case {
    const char* name;
    bool w64;
    std::string media;
  };
  const std::string fmt = Bytes().U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16).s;
  const std::string audio(100, '\x11');
  auto wav = [&](uint32_t claimed) {
    return Form(false, {{"fmt ", fmt}, {"data", audio, claimed}});
  };
  auto w64 = [&](uint64_t claimed) {
    return Form(true, {{"fmt ", fmt}, {"data", audio, claimed}});
  };
  const Case cases[] = {
      {"data claims 0xFFFFFFFF", false, wav(0xFFFFFFFF)},
      {"data claims 0x7FFFFFFF", false, wav(0x7FFFFFFF)},
      {"data claims 0", false, wav(0)},
      {"Wave64 data claims 1 TiB", true, w64(1ULL << 40)},
      {"Wave64 data claims 0", true, w64(0)},
      {"RIFF header, size 0", false, Bytes().Id("RIFF").U32(0).Id("WAVE").s},
      {"RIFF header, size 2", false, Bytes().Id("RIFF").U32(2).Id("WAVE").s},
      {"Wave64 header, size 0", true, Bytes().Guid(kRiff64GuidRiff).U64(0).Guid(kRiff64GuidWave).s},
      {"Wave64 header, size 24", true, Bytes().Guid(kRiff64GuidRiff).U64(24).Guid(kRiff64GuidWave).s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = wutest::MakeTempDir("link") + "/take.wav";
    wutest::WriteBytes(path, c.media);
    metatest::TestReadMeta reader;
    OfferLink(reader);
    for (int round = 0; round < 2; ++round)
      EXPECT_EQ(kBadData, WriteLink(wutest::U16(path), LinkTarget{"", c.w64, false}, reader));
    EXPECT_TRUE(Holds(path, c.media));
    EXPECT_EQ(0, reader.live());
  }
}

// A rewrite that the disk cannot take leaves the old link: the new chunks
// are written before the old ones go.
TEST(ProjectLinkWrite, FailedRewriteKeepsTheOldLink) {
  for (const LinkTarget& t : kTargets) {
    SCOPED_TRACE(t.name);
    std::string path = wutest::MakeTempDir("link") + "/take.wav";
    wutest::WriteBytes(path, Wave(t.w64, 50));
    std::string stored = t.side ? path + ".wul" : path;
    metatest::TestReadMeta reader;
    OfferLink(reader);
    ASSERT_EQ(S_OK, WriteLink(wutest::U16(path), t, reader));
    std::string before = wutest::ReadBytes(stored);
    reader.link[metatest::TestReadMeta::kPath] = U16Bytes(u"/projects/a-longer-song-name.prj");
    {
      wutest::FileSizeLimit limit(before.size() + 40);
      EXPECT_EQ(static_cast<HRESULT>(0x8004E009), WriteLink(wutest::U16(path), t, reader));
    }
    EXPECT_TRUE(Holds(stored, before));
    EXPECT_EQ(u"/projects/song.prj", LoadedPath(before, t.w64));
    // With room the new link replaces the old one.
    ASSERT_EQ(S_OK, WriteLink(wutest::U16(path), t, reader));
    std::string after = wutest::ReadBytes(stored);
    EXPECT_EQ(u"/projects/a-longer-song-name.prj", LoadedPath(after, t.w64));
    for (const char* id : {"splv", "splp", "spcl", "sprg", "srtn", "srtd", "srat", "spca", "spcc",
                           "spem"})
      EXPECT_EQ(1, CountId(after, t.w64, id)) << id;
    EXPECT_EQ(t.w64 ? rifftest::At64(after, 16) : At32(after, 4) + 8ULL, after.size());
    EXPECT_EQ(0, reader.live());
  }
}

// ---- The metadata path -------------------------------------------------------------------

TEST(ProjectLinkMeta, VersionFieldsAndStreamFaults) {
  using R = metatest::TestReadMeta;
  {
    // Without the version kind, or with a short version stream, the
    // version is the written default; a 4-byte stream gives its value.
    R reader;
    OfferLink(reader);
    for (auto [stream, want] : {std::pair<std::optional<std::string>, DWORD>{std::nullopt, 0x01000100},
                                {std::string("\x05\x06", 2), 0x01000100},
                                {Le32(0x01000200), 0x01000200}}) {
      reader.version = stream;
      CWuLinkProjectInfo info;
      int loaded = 0;
      ASSERT_EQ(S_OK, ProjectLinkReadMeta_LoadInfo(&reader, &info, &loaded));
      EXPECT_EQ(1, loaded);
      EXPECT_EQ(want, info.GetVersion());
    }
    EXPECT_EQ(0u, reader.refs());
    EXPECT_EQ(0, reader.live());
  }
  {
    // A text stream without its NUL unit gets one.
    R reader;
    OfferLink(reader);
    reader.link[R::kCommandLine] = std::string("-\0o\0p", 5);
    CWuLinkProjectInfo info;
    int loaded = 0;
    ASSERT_EQ(S_OK, ProjectLinkReadMeta_LoadInfo(&reader, &info, &loaded));
    EXPECT_EQ(8u, info.GetCommandLineSize());
    EXPECT_EQ(std::u16string(u"-op"), std::u16string(info.GetCommandLineW()));
  }
  {
    // A template-data stream claiming 4 GB stops the reading: the fields
    // read before it stay (and validate), the writer reports the fault.
    R reader;
    OfferLink(reader);
    reader.link_claimed[R::kTemplateData] = 0x100000000ull;
    CWuLinkProjectInfo info;
    int loaded = 0;
    EXPECT_EQ(kStream, ProjectLinkMeta_ReadFields(&reader, &reader, &info));
    EXPECT_EQ(WULPI_PROJECT_PATH | WULPI_COMMAND_LINE | WULPI_RENDERER_GUID | WULPI_TEMPLATE_NAME,
              info.GetFlags());
    CWuLinkProjectInfo again;
    EXPECT_EQ(S_OK, ProjectLinkReadMeta_LoadInfo(&reader, &again, &loaded));
    EXPECT_EQ(nullptr, again.GetTemplateData());

    std::string path = wutest::MakeTempDir("link") + "/take.wav";
    std::string media = Wave(false, 4);
    wutest::WriteBytes(path, media);
    EXPECT_EQ(kStream, ProjectLinkRiff_openAndWriteInfo(wutest::U16(path).c_str(), &reader, FALSE));
    EXPECT_EQ(media, wutest::ReadBytes(path));
    EXPECT_EQ(0, reader.live());

    // A stream that claims more than it gives is a short read.
    reader.link_claimed.clear();
    reader.link_claimed[R::kPath] = 100;
    CWuLinkProjectInfo shorter;
    EXPECT_EQ(kStream, ProjectLinkMeta_ReadFields(&reader, &reader, &shorter));
    EXPECT_EQ(0u, shorter.GetFlags());
    EXPECT_EQ(kStream, ProjectLinkRiff_openAndWriteInfo(wutest::U16(path).c_str(), &reader, FALSE));
  }
  {
    // An empty stream offers its field without bytes, optional fields
    // included: the link does not validate (nor does it pass as embedded
    // project data alone), so it is neither loaded nor written.
    const std::pair<int, DWORD> fields[] = {{R::kTemplateName, WULPI_TEMPLATE_NAME},
                                            {R::kTemplateData, WULPI_TEMPLATE_DATA},
                                            {R::kCreatorAppInfo, WULPI_CREATOR_APP_INFO},
                                            {R::kProjectData, WULPI_PROJECT_DATA}};
    std::string path = wutest::MakeTempDir("link") + "/take.wav";
    std::string media = Wave(false, 4);
    wutest::WriteBytes(path, media);
    for (auto [field, bit] : fields) {
      SCOPED_TRACE(bit);
      R reader;
      OfferLink(reader);
      reader.link.erase(R::kProjectData);
      reader.link[field] = "";
      CWuLinkProjectInfo info;
      int loaded = 7;
      EXPECT_EQ(kInvalid, ProjectLinkReadMeta_LoadInfo(&reader, &info, &loaded));
      EXPECT_EQ(0, loaded);
      EXPECT_TRUE(info.GetFlags() & bit);
      EXPECT_EQ(kInvalid, ProjectLinkRiff_openAndWriteInfo(wutest::U16(path).c_str(), &reader, FALSE));
      EXPECT_EQ(media, wutest::ReadBytes(path));
      EXPECT_EQ(0, reader.live());
    }
  }
  {
    // A reader without the kind: its own answer, nothing loaded.
    R reader;
    CWuLinkProjectInfo info;
    int loaded = 7;
    EXPECT_EQ(E_NOINTERFACE, ProjectLinkReadMeta_LoadInfo(&reader, &info, &loaded));
    EXPECT_EQ(0, loaded);
    EXPECT_EQ(E_INVALIDARG, ProjectLinkReadMeta_LoadInfo(nullptr, &info, &loaded));
  }
}

}  // namespace
