// Interoperability of the WAV, Wave64 and AIFF headers and of the bext
// chunk: our files are read by libsndfile and soxi, and files made by sox
// and libsndfile's tools (committed fixtures, made by
// fixtures/make_fixtures.sh) are read here. A missing library or tool
// makes its test a skip, never a failure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "mediaformats/Iff.h"
#include "mediaformats/WavHeaders.h"
#include "mediaformats/WuBwf.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/InteropTools.h"
#include "tests/mediaformats/WavWriters.h"

using namespace interop;
using rifftest::TempFile;

namespace {

const std::string kFixtures = MEDIAFORMATS_FIXTURES;

std::string Fixture(const char* name) { return wutest::ReadBytes(kFixtures + "/" + name); }

// A copy of a fixture in a fresh folder.
std::string CopyOf(const char* name) {
  std::string path = wutest::MakeTempDir("wavinterop") + "/" + name;
  wutest::WriteBytes(path, Fixture(name));
  return path;
}

const WAVEFORMATEX kStereo = {WAVE_FORMAT_PCM, 2, rifftest::kSineRate, rifftest::kSineRate * 4,
                              4, 16, 0};

// Our WAV, Wave64, header-inserted and repaired files holding a second of
// stereo sine.
std::vector<std::string> OurFiles() {
  const std::string samples = rifftest::StereoSine(rifftest::kSineRate);
  std::string folder = wutest::MakeTempDir("wavinterop");
  std::vector<std::string> paths;
  for (bool w64 : {false, true}) {
    std::string path = folder + (w64 ? "/init.w64" : "/init.wav");
    std::u16string wide = wutest::U16(path);
    EXPECT_EQ(w64 ? WuInitializeWav64(wide.c_str(), &kStereo, CREATE_ALWAYS)
                  : WuInitializeWavWithJunk(wide.c_str(), &kStereo, CREATE_ALWAYS, 100),
              S_OK);
    // The samples after the header, then the header again with the size.
    std::string bytes = wutest::ReadBytes(path) + samples;
    wutest::WriteBytes(path, bytes);
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    EXPECT_EQ(w64 ? WuInsertW64Header(file, &kStereo, samples.size(), 112)
                  : WuInsertWavHeader(file, &kStereo, static_cast<DWORD>(samples.size()), 100),
              S_OK);
    CloseHandle(file);
    paths.push_back(path);
  }
  // A WAV whose header was overwritten with noise, repaired.
  std::string trashed = folder + "/trashed.wav";
  std::string noise = rifftest::Bytes().Id("XXXX").U32(7).Id("YYYY").Id("fmt ").U32(99).s +
                      std::string(18, '\x7F') + "data" + std::string(4, '\xFF');
  wutest::WriteBytes(trashed, noise + samples);
  HANDLE file = CreateFileW(wutest::U16(trashed).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(WuFixTrashedWav(file, static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF), S_OK);
  CloseHandle(file);
  paths.push_back(trashed);
  return paths;
}

void ExpectSecond(const AudioFacts& facts, const std::string& what) {
  EXPECT_EQ(facts.rate, rifftest::kSineRate) << what;
  EXPECT_EQ(facts.channels, 2) << what;
  EXPECT_EQ(facts.frames, rifftest::kSineRate) << what;
}

TEST(WavInterop, PeersReadOurHeaders) {
  std::vector<std::string> paths = OurFiles();
#if WU_HAVE_SNDFILE
  for (const std::string& path : paths) ExpectSecond(Sndfile(path), path);
#endif
  std::string soxi = FindTool("soxi");
  if (soxi.empty()) GTEST_SKIP() << "soxi is not installed (apt-get install sox)";
  for (const std::string& path : paths) ExpectSecond(Soxi(soxi, path), path);
}

TEST(WavInterop, WeReadPeerFiles) {
  struct Case {
    const char* name;
    WORD tag;
    WORD channels;
    DWORD rate;
    WORD bits;
    ULONGLONG frames;
    ULONGLONG offset;
  };
  const Case cases[] = {
      {"stereo16.wav", 1, 2, 44100, 16, 441, 44},
      {"surround24.wav", WAVE_FORMAT_EXTENSIBLE, 6, 48000, 24, 480, 80},
      {"stereo16.w64", 1, 2, 44100, 16, 441, 104},
      {"stereo16.aiff", 0xFE02, 2, 44100, 16, 441, 88},
      {"stereo16none.aifc", 0xFE02, 2, 44100, 16, 441, 86},
      {"stereo16sowt.aifc", 1, 2, 44100, 16, 441, 72},
      {"rate352800.aiff", 0xFE02, 1, 352800, 16, 353, 88},
      {"rate384000.aiff", 0xFE02, 1, 384000, 16, 384, 88},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = CopyOf(c.name);
    ULONGLONG frames = 0;
    ULONGLONG offset = 0;
    WAVEFORMATEX* wfx = WuGetFileWfx(wutest::U16(path).c_str(), &frames, &offset);
    ASSERT_NE(wfx, nullptr);
    EXPECT_EQ(wfx->wFormatTag, c.tag);
    EXPECT_EQ(wfx->nChannels, c.channels);
    EXPECT_EQ(wfx->nSamplesPerSec, c.rate);
    EXPECT_EQ(wfx->wBitsPerSample, c.bits);
    EXPECT_EQ(frames, c.frames);
    // The samples lie inside the file.
    std::string bytes = wutest::ReadBytes(path);
    ASSERT_LE(offset + frames * wfx->nBlockAlign, bytes.size());
    if (c.offset) {
      EXPECT_EQ(offset, c.offset);
    }
    std::free(wfx);
  }
}

TEST(WavInterop, RatesMatchSoxCommBytes) {
  for (DWORD rate : {44100u, 48000u, 96000u, 192000u, 352800u, 384000u}) {
    SCOPED_TRACE(rate);
    std::string name = "rate" + std::to_string(rate) + ".aiff";
    TempFile f(Fixture(name.c_str()), GENERIC_READ);
    DWORD size = 0;
    ASSERT_EQ(iff_FindChunkFromStart(f.h(), IffId("COMM"), &size), S_OK);
    BYTE comm[18];
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(f.h(), comm, 18, &got, nullptr));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(comm + 8), 10), ifftest::Rate80(rate));
    WORD words[5];
    for (int i = 0; i < 5; ++i) words[i] = static_cast<WORD>(comm[8 + 2 * i] << 8 | comm[9 + 2 * i]);
    EXPECT_EQ(aiff_ConvertRate(words[0], words + 1), rate);
  }
}

// Every byte outside the "fmt " chunk's body is kept.
void ExpectOnlyFormatChanged(const std::string& before, const std::string& after, size_t fmt_at,
                             size_t fmt_bytes) {
  ASSERT_EQ(before.size(), after.size());
  EXPECT_EQ(before.substr(0, fmt_at), after.substr(0, fmt_at));
  EXPECT_EQ(before.substr(fmt_at + fmt_bytes), after.substr(fmt_at + fmt_bytes));
}

TEST(WavInterop, SetFileWfxKeepsTheRestAndPeersReadIt) {
  const WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  const WAVEFORMATEX six = {WAVE_FORMAT_PCM, 6, 32000, 32000 * 18, 18, 24, 0};
  struct Case {
    const char* name;
    const WAVEFORMATEX* wfx;
    size_t fmt_bytes;  // the chunk's header and body (12 + 8 + size)
    long long channels;
    long long rate;
  };
  const Case cases[] = {{"stereo16.wav", &mono, 16, 1, 22050}, {"surround24.wav", &six, 40, 6, 32000}};
  std::string soxi = FindTool("soxi");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = CopyOf(c.name);
    std::string before = wutest::ReadBytes(path);
    ASSERT_EQ(WuSetFileWfx(wutest::U16(path).c_str(), c.wfx), S_OK);
    std::string after = wutest::ReadBytes(path);
    // The "fmt " chunk's size field and body may change (an extensible
    // body becomes 18 bytes and a "JUNK" chunk); nothing else does.
    ExpectOnlyFormatChanged(before, after, 16, 4 + c.fmt_bytes);
#if WU_HAVE_SNDFILE
    AudioFacts facts = Sndfile(path);
    EXPECT_EQ(facts.channels, c.channels);
    EXPECT_EQ(facts.rate, c.rate);
#endif
    if (!soxi.empty()) {
      AudioFacts facts = Soxi(soxi, path);
      EXPECT_EQ(facts.channels, c.channels);
      EXPECT_EQ(facts.rate, c.rate);
    }
  }
  // AIFF: the new rate.
  std::string aiff = CopyOf("stereo16.aiff");
  const WAVEFORMATEX fast = {WAVE_FORMAT_PCM, 2, 352800, 352800 * 4, 4, 16, 0};
  ASSERT_EQ(WuSetFileWfx(wutest::U16(aiff).c_str(), &fast), S_OK);
#if WU_HAVE_SNDFILE
  EXPECT_EQ(Sndfile(aiff).rate, 352800);
  EXPECT_EQ(Sndfile(aiff).frames, 441);
#endif
  if (!soxi.empty()) {
    EXPECT_EQ(Soxi(soxi, aiff).rate, 352800);
  }
}

// Files of sox (the fixtures) and of libsndfile, sound and as a recording
// that stopped before its sizes were written, keep their audio through the
// header repair; the stereo ones come out as they were made.
TEST(WavInterop, RepairKeepsPeerAudio) {
  struct Made {
    std::string name;
    std::string bytes;
  };
  std::vector<Made> files;
  for (const char* name : {"stereo16.wav", "stereo16.w64", "surround24.wav", "surround24.w64"})
    files.push_back({name, Fixture(name)});
#if WU_HAVE_SNDFILE
  // libsndfile's own WAV and Wave64 of 2,048 stereo frames (8 KB, past the
  // 4,096-byte limit).
  for (int major : {SF_FORMAT_WAV, SF_FORMAT_W64}) {
    std::string path = wutest::MakeTempDir("wavinterop") + (major == SF_FORMAT_WAV ? "/sf.wav" : "/sf.w64");
    SF_INFO info = {};
    info.samplerate = 8000;
    info.channels = 2;
    info.format = major | SF_FORMAT_PCM_16;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(sf, nullptr);
    std::vector<short> samples(4096);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(i * 37);
    ASSERT_EQ(sf_write_short(sf, samples.data(), static_cast<sf_count_t>(samples.size())), 4096);
    sf_close(sf);
    files.push_back({path, wutest::ReadBytes(path)});
  }
#endif
  for (const Made& made : files) {
    const bool w64 = made.bytes.compare(0, 4, "riff") == 0;
    TempFile probe(made.bytes, GENERIC_READ);
    DWORD frames32 = 0, offset32 = 0;
    ULONGLONG frames = 0, offset = 0;
    WAVEFORMATEX* wfx = w64 ? WuGetW64FileWfx(probe.h(), &frames, &offset)
                            : WuGetWavFileWfx(probe.h(), &frames32, &offset32);
    ASSERT_NE(wfx, nullptr) << made.name;
    if (!w64) frames = frames32, offset = offset32;
    const std::string audio = made.bytes.substr(offset, frames * wfx->nBlockAlign);
    const bool stereo = wfx->nChannels == 2;
    std::free(wfx);
    for (bool zeroed : {false, true}) {
      std::string bytes = made.bytes;
      if (zeroed) {
        // The form size and the data size as a recorder writes them first.
        bytes.replace(w64 ? 16 : 4, w64 ? 8 : 4, w64 ? 8 : 4, '\0');
        bytes.replace(offset - (w64 ? 8 : 4), w64 ? 8 : 4, w64 ? 8 : 4, '\0');
      }
      for (ULONGLONG limit : {ULONGLONG{4096}, ULONGLONG{bytes.size()}}) {
        SCOPED_TRACE(made.name + (zeroed ? ", sizes 0, limit " : ", limit ") + std::to_string(limit));
        TempFile f(bytes);
        ASSERT_EQ(w64 ? WuFixTrashedW64(f.h(), static_cast<const WAVEFORMATEX*>(nullptr),
                                        static_cast<LONGLONG>(limit))
                      : WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr),
                                        static_cast<DWORD>(limit)),
                  S_OK);
        std::string after = f.Contents();
        EXPECT_EQ(after.substr(offset, audio.size()), audio);
        if (stereo) {
          EXPECT_EQ(after, made.bytes);
        }
#if WU_HAVE_SNDFILE
        CloseHandle(f.Release());
        if (stereo) {
          EXPECT_EQ(Sndfile(f.path()).frames, static_cast<long long>(frames));
        }
#endif
      }
    }
  }
}

TEST(WavInterop, BextBothWays) {
  // The fixture written by libsndfile's tool loads here.
  {
    TempFile f(Fixture("bext.wav"), GENERIC_READ);
    _tagWUBWF_Chunk r;
    r.WuBWF_Clear();
    int loaded = 0;
    ASSERT_EQ(bwfriff_LoadInfo(f.h(), &r, &loaded), S_OK);
    EXPECT_EQ(loaded, 1);
    EXPECT_EQ(std::u16string(r.szDescription), u"A test take");
    EXPECT_EQ(std::u16string(r.szOriginator), u"Fixture maker");
    EXPECT_EQ(std::u16string(r.szOriginatorReference), u"REF-0001");
    EXPECT_EQ(std::u16string(r.szOriginationDate), u"2024-05-07");
    EXPECT_EQ(std::u16string(r.szOriginationTime), u"12:34:56");
    EXPECT_EQ(r.dwSampleRate, 44100u);
    r.WuBWFChunk_FreeCodingHistory();
  }
#if WU_HAVE_SNDFILE
  // Ours is read whole by libsndfile.
  _tagWUBWF_Chunk r;
  r.WuBWF_Clear();
  char desc[256] = "Our description";
  char orig[32] = "Our originator";
  char ref[32] = "Our reference";
  r.WuBWF_SetDescriptionA(desc);
  r.WuBWF_SetOriginatorA(orig);
  r.WuBWF_SetOriginatorReferenceA(ref);
  r.WuBWF_SetOriginationDateA("2023-12-31");
  r.WuBWF_SetOriginationTimeA("23:59:58");
  r.WuBWF_SetTimeReference(0x1000000FFull);
  r.WuBWF_SetVersion(1);
  r.WuBWF_SetCodingHistoryA("A=PCM,F=44100,W=16,M=stereo");
  r.WuBWF_SetTextsValid(1);
  r.WuBWF_SetTimesValid(1);
  DWORD size = 0;
  r.WuBWF_BuildChunk(nullptr, &size);
  std::string chunk(size, '\0');
  ASSERT_EQ(r.WuBWF_BuildChunk(reinterpret_cast<BYTE*>(chunk.data()), &size), S_OK);
  r.WuBWFChunk_FreeCodingHistory();
  std::string path = CopyOf("stereo16.wav");
  HANDLE file = CreateFileW(wutest::U16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  DWORD written = 0;
  ASSERT_EQ(bwfriff_UpdateStreamChunk(file, RiffId("bext"), chunk.data(), size, &written), S_OK);
  CloseHandle(file);
  SF_INFO info = {};
  SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(sf, nullptr);
  SF_BROADCAST_INFO bext = {};
  ASSERT_EQ(sf_command(sf, SFC_GET_BROADCAST_INFO, &bext, sizeof bext), SF_TRUE);
  sf_close(sf);
  EXPECT_EQ(std::string(bext.description), "Our description");
  EXPECT_EQ(std::string(bext.originator), "Our originator");
  EXPECT_EQ(std::string(bext.originator_reference), "Our reference");
  EXPECT_EQ(std::string(bext.origination_date, 10), "2023-12-31");
  EXPECT_EQ(std::string(bext.origination_time, 8), "23:59:58");
  EXPECT_EQ(bext.time_reference_low, 0xFFu);
  EXPECT_EQ(bext.time_reference_high, 1u);
  EXPECT_EQ(std::string(bext.coding_history), "A=PCM,F=44100,W=16,M=stereo\r\n");
  EXPECT_EQ(info.frames, 441);
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

}  // namespace
