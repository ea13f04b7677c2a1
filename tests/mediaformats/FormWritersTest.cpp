// The writers that change a media file in place, given forms whose sizes
// lie, unfinished recordings, last chunks without their padding, and a disk
// that fails part-way: "bext" updates (WAV and Wave64), the metadata writer
// (markers into a WAV, "INST" into an AIFF) and the side file's owner chunk.
// A writer either leaves a whole form whose size agrees with the file, with
// the new chunk where its reader finds it, or fails and leaves the file as
// it was.
#include <gtest/gtest.h>

#include <string>

#include "mediaformats/Iff.h"
#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuBwf.h"
#include "mediaformats/WuFMMeta.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/common/TestUtil.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using ifftest::BeBytes;
using metatest::Le32;
using metatest::Le64;
using rifftest::At32;
using rifftest::At64;
using rifftest::Bytes;
using rifftest::TempFile;

namespace {

// A bext body of `size` bytes whose description is 256 times `mark`.
std::string BextBody(char mark, size_t size) {
  std::string body(size, '\0');
  body.replace(0, 256, std::string(256, mark));
  return body;
}

const std::string kFmt8 = Bytes().U16(1).U16(1).U32(8000).U32(8000).U16(1).U16(8).s;
const std::string kFmt16 = Bytes().U16(1).U16(1).U32(8000).U32(16000).U16(2).U16(16).s;

// "RIFF" with the given size, then "WAVE" and the chunks as they stand.
std::string Riff(uint32_t size, const std::string& chunks) {
  return Bytes().Id("RIFF").U32(size).Id("WAVE").Raw(chunks).s;
}
std::string Wav(const std::string& chunks) {
  return Riff(static_cast<uint32_t>(4 + chunks.size()), chunks);
}

// The Wave64 form around its chunks; a size of ~0 stands for the file's.
std::string W64(const std::string& chunks, uint64_t size = ~0ULL) {
  return Bytes().Guid(kRiff64GuidRiff).U64(size == ~0ULL ? 40 + chunks.size() : size)
      .Guid(kRiff64GuidWave).Raw(chunks).s;
}

// An 8-bit mono WAV whose last chunk is "data" of 101 bytes: the form
// counts the data but not its pad byte (137), which the file holds or not.
std::string OddWav(bool pad) {
  std::string chunks = Bytes().Chunk("fmt ", kFmt8).Id("data").U32(101).Raw(std::string(101, 'a')).s;
  return Riff(137, chunks) + (pad ? std::string(1, '\0') : "");
}

// Its Wave64 twin: the 101 bytes of data end the form, not padded to 8
// (the file holds the padding or not).
std::string OddW64(bool pad) {
  std::string chunks = Bytes().Chunk64(kRiff64GuidFmt, kFmt8).Guid(kW64GuidData).U64(24 + 101)
                           .Raw(std::string(101, 'a')).s;
  return W64(chunks, 40 + chunks.size()) + (pad ? std::string(3, '\0') : "");
}

// An AIFF whose last chunk, "SSND", has an odd body of 109 bytes that the
// form counts without its pad byte.
std::string OddAiff(bool pad) {
  std::string chunks = BeBytes().Chunk("COMM", ifftest::Comm(1, 101, 8, 8000)).s +
                       BeBytes().Id("SSND").U32(109).Raw(ifftest::Ssnd(0, std::string(101, 'a'))).s;
  return BeBytes().Id("FORM").U32(static_cast<uint32_t>(4 + chunks.size())).Id("AIFF").Raw(chunks).s +
         (pad ? std::string(1, '\0') : "");
}

// A reader offering one marker, and one offering a sampler loop.
void OfferMarker(metatest::TestReadMeta* reader) {
  reader->meta_streams = {metatest::MetaStream(
      kMetaGuidMarkers, {metatest::MarkerItem(1, 10, kMetaPlainMarkerLength, u"M")})};
}
void OfferLoop(metatest::TestReadMeta* reader) {
  std::string header = Bytes().U32(0).U32(0).U32(125000).U32(60).U32(0).U32(0).U32(0).U32(1).U32(0).s;
  std::string loop = Le32(1) + Le32(0) + Le64(10) + Le64(20) + Le32(0) + Le32(0);
  reader->meta_streams = {metatest::MetaStream(kMetaGuidSampler, {header + loop})};
}

HRESULT UpdateBext(const TempFile& f, const std::string& body) {
  DWORD written = 0;
  return bwfriff_UpdateStreamChunk(f.h(), RiffId("bext"), body.data(),
                                   static_cast<DWORD>(body.size()), &written);
}
HRESULT UpdateBext64(const TempFile& f, const std::string& body) {
  ULONGLONG written = 0;
  return bwfriff64_UpdateStreamChunk(f.h(), body.data(), body.size(), &written);
}

// Whether a file still holds exactly `bytes` (without printing either).
testing::AssertionResult Unchanged(const TempFile& f, const std::string& bytes) {
  std::string now = f.Contents();
  if (now == bytes) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "the file changed: " << bytes.size() << " -> " << now.size()
                                     << " bytes";
}

// The description a file's bext chunk loads with, or "-" when it has none.
char LoadedMark(const TempFile& f, bool w64) {
  _tagWUBWF_Chunk r;
  r.WuBWF_Clear();
  int loaded = 0;
  HRESULT hr = w64 ? bwfriff64_LoadInfo(f.h(), &r, &loaded) : bwfriff_LoadInfo(f.h(), &r, &loaded);
  char mark = SUCCEEDED(hr) && loaded ? static_cast<char>(r.szDescription[0]) : '-';
  r.WuBWFChunk_FreeCodingHistory();
  return mark;
}

// The writers that append at a form's end.
enum Writer { kBext, kBext64, kMarkers, kAiffLoops, kOwner };

// Runs one of them on the file: a "bext" body of `bext_size` bytes, one
// marker (through the path, the file's handle closed first), a sampler
// loop (the same), or the owner chunk naming `media`.
HRESULT RunWriter(Writer writer, TempFile& f, size_t bext_size, const std::u16string& media) {
  metatest::TestReadMeta reader;
  switch (writer) {
    case kBext: return UpdateBext(f, BextBody('n', bext_size));
    case kBext64: return UpdateBext64(f, BextBody('n', bext_size));
    case kMarkers:
      OfferMarker(&reader);
      CloseHandle(f.Release());
      return WuFMMeta_UpdateMetaStream2(f.Wide().c_str(), 8000, &reader, WUFIO_META_MARKERS, 0);
    case kAiffLoops:
      OfferLoop(&reader);
      CloseHandle(f.Release());
      return WuFMMeta_openAndWriteMetaStreamEx(f.Wide().c_str(), FALSE, 8000, &reader,
                                               WUFIO_META_AIFF_MARKERS, 0);
    case kOwner:
      return WuFMMeta_WriteAttachedNameChunk(f.h(), media.c_str());
  }
  return E_FAIL;
}

TEST(FormWriters, BextClaimingMoreThanItsFormIsRefused) {
  struct Case {
    const char* name;
    bool w64;
    std::string file;
  };
  const std::string held = BextBody('o', 610);
  const Case cases[] = {
      // The last chunk claims 128 MiB and holds 610 bytes; the form agrees
      // with the file.
      {"last, 128 MiB", false,
       Wav(Bytes().Chunk("fmt ", kFmt16).Chunk("data", "pcm!").Id("bext").U32(128u << 20).Raw(held).s)},
      // A chunk in the middle that claims more than the rest of the form.
      {"middle", false,
       Wav(Bytes().Chunk("fmt ", kFmt16).Id("bext").U32(2000).Raw(held).Chunk("data", "pcm!").s)},
      {"Wave64, 1 TiB", true,
       W64(Bytes().Chunk64(kRiff64GuidFmt, kFmt16).Chunk64(kW64GuidData, "pcm!")
               .Guid(kRiff64GuidBext).U64(24 + (1ULL << 40)).Raw(held).Zeros(6).s)},
  };
  // Were the zeros after the new data written up to the claimed size, the
  // limit would stop them at 1 MiB.
  wutest::FileSizeLimit limit(1 << 20);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f(c.file);
    std::string update = BextBody('n', 650);
    EXPECT_EQ(c.w64 ? UpdateBext64(f, update) : UpdateBext(f, update), RIFF_E_WRONG_FORM);
    EXPECT_TRUE(Unchanged(f, c.file));
  }
}

TEST(FormWriters, FailedBextReplacementKeepsTheOldChunk) {
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "Wave64" : "WAV");
    std::string old = BextBody('o', 610);
    std::string file = w64 ? W64(Bytes().Chunk64(kRiff64GuidFmt, kFmt16).Chunk64(kW64GuidData, "pcm!")
                                     .Chunk64(kRiff64GuidBext, old).s)
                           : Wav(Bytes().Chunk("fmt ", kFmt16).Chunk("data", "pcm!").Chunk("bext", old).s);
    TempFile f(file);
    std::string larger = BextBody('n', 700);
    {
      // The file may grow by 100 bytes only: the new chunk does not fit.
      wutest::FileSizeLimit limit(file.size() + 100);
      EXPECT_EQ(w64 ? UpdateBext64(f, larger) : UpdateBext(f, larger), RIFF_E_WRITE);
    }
    EXPECT_TRUE(Unchanged(f, file));
    EXPECT_EQ(LoadedMark(f, w64), 'o');
    // With room the new chunk replaces the old one.
    ASSERT_EQ(w64 ? UpdateBext64(f, larger) : UpdateBext(f, larger), S_OK);
    EXPECT_EQ(LoadedMark(f, w64), 'n');
    std::string after = f.Contents();
    EXPECT_EQ(w64 ? At64(after, 16) : At32(after, 4) + 8ULL, after.size());
  }
}

// A form holding two old chunks, both too small for the new one: the new
// chunk is the one readers find, and neither old one is left in front of it.
TEST(FormWriters, EveryOldBextTooSmallIsRetired) {
  for (bool w64 : {false, true}) {
    SCOPED_TRACE(w64 ? "Wave64" : "WAV");
    std::string a = BextBody('a', 602), b = BextBody('b', 606);
    std::string file = w64 ? W64(Bytes().Chunk64(kRiff64GuidFmt, kFmt16).Chunk64(kRiff64GuidBext, a)
                                     .Chunk64(kW64GuidData, "pcm!").Chunk64(kRiff64GuidBext, b).s)
                           : Wav(Bytes().Chunk("fmt ", kFmt16).Chunk("bext", a).Chunk("data", "pcm!")
                                     .Chunk("bext", b).s);
    TempFile f(file);
    ASSERT_EQ(w64 ? UpdateBext64(f, BextBody('n', 610)) : UpdateBext(f, BextBody('n', 610)), S_OK);
    EXPECT_EQ(LoadedMark(f, w64), 'n');
    std::string after = f.Contents();
    std::string bext_id = w64 ? Bytes().Guid(kRiff64GuidBext).s : "bext";
    EXPECT_EQ(after.find(bext_id), after.rfind(bext_id));
  }
}

// Forms whose stated size ends before, or inside, the chunks the file
// holds: a recording whose header was never finalised. Every writer that
// appends at the form's end refuses them and leaves them as they are.
TEST(FormWriters, UnfinishedFormSizesAreRefusedUntouched) {
  struct Case {
    const char* name;
    Writer writer;
    std::string file;
    HRESULT expected;
  };
  const std::string wav_chunks = Bytes().Chunk("fmt ", kFmt16).Chunk("data", std::string(100, 'a')).s;
  const std::string w64_chunks =
      Bytes().Chunk64(kRiff64GuidFmt, kFmt16).Chunk64(kW64GuidData, std::string(100, 'a')).s;
  const std::string aiff_chunks = BeBytes().Chunk("COMM", ifftest::Comm(1, 50, 16, 8000))
                                      .Chunk("SSND", ifftest::Ssnd(0, std::string(100, 'a'))).s;
  const std::string aiff0 = BeBytes().Id("FORM").U32(0).Id("AIFF").Raw(aiff_chunks).s;
  const Case cases[] = {
      {"bext, size 0", kBext, Riff(0, wav_chunks), RIFF_E_WRONG_FORM},
      {"bext, size 4", kBext, Riff(4, wav_chunks), RIFF_E_WRONG_FORM},
      {"bext, inside data", kBext, Riff(40, wav_chunks), RIFF_E_WRONG_FORM},
      {"markers, size 0", kMarkers, Riff(0, wav_chunks), RIFF_E_WRONG_FORM},
      {"markers, size 4", kMarkers, Riff(4, wav_chunks), RIFF_E_WRONG_FORM},
      {"Wave64 bext, size 0", kBext64, W64(w64_chunks, 0), RIFF_E_WRONG_FORM},
      {"Wave64 bext, size 40", kBext64, W64(w64_chunks, 40), RIFF_E_WRONG_FORM},
      {"AIFF loops, size 0", kAiffLoops, aiff0, RIFF_E_WRONG_FORM},
      // Sizes beyond the file were refused before; they stay refused.
      {"bext, size ~0", kBext, Riff(0xFFFFFFFF, wav_chunks), RIFF_E_READ},
      {"markers, size ~0", kMarkers, Riff(0xFFFFFFFF, wav_chunks), RIFF_E_WRONG_FORM},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f(c.file);
    EXPECT_EQ(RunWriter(c.writer, f, 650, u""), c.expected);
    EXPECT_TRUE(Unchanged(f, c.file));
  }
  std::string path = wutest::MakeTempDir("aiff") + "/m.aif";
  wutest::WriteBytes(path, aiff0);
  EXPECT_TRUE(WuFileIsAiff(wutest::U16(path).c_str()));
}

// A last chunk of odd size whose pad byte the form does not count (held
// by the file or not), and its Wave64 twin not padded to 8: the appended
// chunk starts at the next even offset (multiple of 8), the padding is
// written and counted, and the reader finds the chunk.
TEST(FormWriters, AppendsStartAtAlignedOffsets) {
  struct Case {
    const char* name;
    Writer writer;
    size_t end;  // where the last chunk's data ends
    size_t at;   // where the new chunk starts
  };
  const Case cases[] = {
      {"bext", kBext, 145, 146},           {"markers", kMarkers, 145, 146},
      {"Wave64 bext", kBext64, 205, 208},  {"AIFF loops", kAiffLoops, 155, 156},
      {"side file owner", kOwner, 23, 24},
  };
  for (const Case& c : cases) {
    for (bool pad : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (pad ? ", padding held" : ", no padding"));
      std::string file;
      switch (c.writer) {
        case kBext: case kMarkers: file = OddWav(pad); break;
        case kBext64: file = OddW64(pad); break;
        case kAiffLoops: file = OddAiff(pad); break;
        case kOwner:
          file = Bytes().Id("RIFF").U32(4 + 11).Id("WUPL").Id("note").U32(3).Raw("abc").s +
                 (pad ? std::string(1, '\0') : "");
          break;
      }
      TempFile f(file);
      std::u16string media = wutest::U16(wutest::MakeTempDir("media") + "/take.wav");
      ASSERT_EQ(RunWriter(c.writer, f, 610, media), S_OK);
      std::string after = f.Contents();
      // Everything after the form size and before the new chunk stands; the
      // padding is zero.
      size_t kept = c.writer == kBext64 ? 24 : 8;
      EXPECT_EQ(after.substr(kept, c.end - kept), file.substr(kept, c.end - kept));
      EXPECT_EQ(after.substr(c.end, c.at - c.end), std::string(c.at - c.end, '\0'));
      switch (c.writer) {
        case kBext:
          EXPECT_EQ(after.substr(c.at, 4), "bext");
          EXPECT_EQ(At32(after, 4) + 8ULL, after.size());
          EXPECT_EQ(LoadedMark(f, false), 'n');
          break;
        case kMarkers:
          EXPECT_EQ(after.substr(c.at, 4), "cue ");
          EXPECT_EQ(At32(after, 4) + 8ULL, after.size());
          EXPECT_EQ(WuFMMeta_LookForMarkers(f.Wide().c_str()), S_OK);
          break;
        case kBext64:
          EXPECT_EQ(after.substr(c.at, 16), Bytes().Guid(kRiff64GuidBext).s);
          EXPECT_EQ(At64(after, 16), after.size());
          EXPECT_EQ(LoadedMark(f, true), 'n');
          break;
        case kAiffLoops: {
          EXPECT_EQ(after.substr(c.at, 4), "INST");
          EXPECT_EQ(after.substr(4, 4), BeBytes().U32(static_cast<uint32_t>(after.size() - 8)).s);
          TempFile back(after, GENERIC_READ);
          DWORD size = 0;
          EXPECT_EQ(iff_FindChunkFromStart(back.h(), IffId("INST"), &size), S_OK);
          EXPECT_EQ(size, 20u);
          break;
        }
        case kOwner:
          EXPECT_EQ(after.substr(c.at, 4), "WUPI");
          EXPECT_EQ(At32(after, 4) + 8ULL, after.size());
          EXPECT_TRUE(WuFMMeta_IsMetaFile(media.c_str(), f.Wide().c_str()));
          break;
      }
    }
  }
}

// Padding after the last chunk that the file holds in part, and not as
// zeros: it stays as it is, the rest is written, and a failed write leaves
// the file as it was.
TEST(FormWriters, PaddingTheFileHoldsIsKept) {
  const std::string file = OddW64(false) + "zz";
  TempFile f(file);
  {
    wutest::FileSizeLimit limit(file.size() + 16);
    EXPECT_EQ(UpdateBext64(f, BextBody('n', 610)), RIFF_E_WRITE);
  }
  EXPECT_TRUE(Unchanged(f, file));
  ASSERT_EQ(UpdateBext64(f, BextBody('n', 610)), S_OK);
  std::string after = f.Contents();
  EXPECT_EQ(after.substr(205, 3), std::string("zz\0", 3));
  EXPECT_EQ(after.substr(208, 16), Bytes().Guid(kRiff64GuidBext).s);
  EXPECT_EQ(At64(after, 16), after.size());
}

}  // namespace
