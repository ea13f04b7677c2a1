// Interoperability: files written by the chunk layers are read by
// libsndfile and by soxi, and files written by sox (committed fixtures,
// made by fixtures/make_fixtures.sh) are walked by the chunk layers. A
// missing library or tool makes its test a skip, never a failure.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "audio/WuWaveFormat.h"
#include "mediaformats/MRiff.h"
#include "tests/mediaformats/InteropTools.h"
#include "tests/mediaformats/WavWriters.h"

#if WU_HAVE_SNDFILE
#include <sndfile.h>
#endif

using namespace rifftest;
using namespace interop;

namespace {

// One second of sine as a WAV, a Wave64 file, and the in-memory header
// followed by the samples.
struct Files {
  std::string wav, w64, memory;
};
Files WriteFiles() {
  const std::string samples = StereoSine(kSineRate);
  Files files;
  std::string folder = wutest::MakeTempDir("interop");
  files.wav = folder + "/sine.wav";
  files.w64 = folder + "/sine.w64";
  files.memory = folder + "/memory.wav";
  for (const std::string* path : {&files.wav, &files.w64}) {
    wutest::WriteBytes(*path, "");
    HANDLE file = CreateFileW(wutest::U16(*path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(path == &files.wav ? WriteWav(file, samples) : WriteWave64(file, samples), S_OK);
    CloseHandle(file);
  }
  _wuwaveformat format;
  format.Init(kSineRate, WUSAMPLE_PCM16, 2, 0, 32);
  BYTE header[44];
  _tMRIFF m;
  mriff_Init(&m, header, 0, sizeof header);
  EXPECT_EQ(mriff_WriteWaveHeader(&m, &format, static_cast<DWORD>(samples.size()), 0), S_OK);
  wutest::WriteBytes(files.memory, std::string(reinterpret_cast<char*>(header), 44) + samples);
  return files;
}

void ExpectSecondOfStereo(const AudioFacts& facts, const std::string& what) {
  EXPECT_EQ(facts.rate, kSineRate) << what;
  EXPECT_EQ(facts.channels, 2) << what;
  EXPECT_EQ(facts.frames, kSineRate) << what;
}

TEST(RiffInteropTest, LibsndfileReadsOurFiles) {
#if WU_HAVE_SNDFILE
  Files files = WriteFiles();
  for (const std::string& path : {files.wav, files.w64, files.memory})
    ExpectSecondOfStereo(Sndfile(path), path);
#else
  GTEST_SKIP() << "libsndfile was not found when the tests were built";
#endif
}

TEST(RiffInteropTest, SoxiReadsOurFiles) {
  std::string soxi = FindTool("soxi");
  if (soxi.empty()) GTEST_SKIP() << "soxi is not installed (apt-get install sox)";
  Files files = WriteFiles();
  for (const std::string& path : {files.wav, files.w64, files.memory})
    ExpectSecondOfStereo(Soxi(soxi, path), path);
}

// Files written by sox: "fmt " and "data" are found at their sizes.
TEST(RiffInteropTest, OurSearchesWalkSoxFiles) {
  const std::string folder = MEDIAFORMATS_FIXTURES;
  struct {
    const char* name;
    DWORD fmt_size;
    DWORD data_size;
  } const kWav[] = {{"stereo16.wav", 16, 441 * 4}, {"surround24.wav", 40, 480 * 18}};
  for (const auto& c : kWav) {
    TempFile file(wutest::ReadBytes(folder + "/" + c.name), GENERIC_READ);
    DWORD size = 0, left = 0;
    ASSERT_EQ(riff_FindChunkHeaderInRIFF(file.h(), RiffId("fmt "), &size, &left), S_OK) << c.name;
    EXPECT_EQ(size, c.fmt_size) << c.name;
    ASSERT_EQ(riff_FindChunkHeaderInRIFF(file.h(), RiffId("data"), &size, &left), S_OK) << c.name;
    EXPECT_EQ(size, c.data_size) << c.name;
    _wuwaveformat_plus format;
    std::string bytes = file.Contents();
    ASSERT_EQ(mriff_GetWfx(&format, bytes.data(), static_cast<DWORD>(bytes.size()), &size), S_OK);
    EXPECT_EQ(size, c.data_size) << c.name;
    EXPECT_EQ(format.nBlockAlign * (c.data_size / format.nBlockAlign), c.data_size) << c.name;
  }
  // The extensible WAV holds its "fact" chunk too.
  TempFile surround(wutest::ReadBytes(folder + "/surround24.wav"), GENERIC_READ);
  DWORD fact = 0;
  EXPECT_EQ(riff_FindChunkHeaderInRIFF(surround.h(), RiffId("fact"), &fact, nullptr), S_OK);
  EXPECT_EQ(fact, 4u);

  struct {
    const char* name;
    ULONGLONG samples;  // bytes; the stored size may count the padding too
  } const kW64[] = {{"stereo16.w64", 441 * 4}, {"surround24.w64", 480 * 18}};
  for (const auto& c : kW64) {
    TempFile file(wutest::ReadBytes(folder + "/" + c.name), GENERIC_READ);
    ULONGLONG size = 0;
    LONGLONG left = 0;
    ASSERT_EQ(riff64_FindChunkHeaderInRIFF(file.h(), kRiff64GuidFmt, &size, &left), S_OK) << c.name;
    EXPECT_EQ(size, 16u) << c.name;
    ASSERT_EQ(riff64_FindChunkHeaderInRIFF(file.h(), kW64Data, &size, &left), S_OK) << c.name;
    EXPECT_GE(size, c.samples) << c.name;
    EXPECT_LT(size, c.samples + 8) << c.name;
  }
}

}  // namespace
