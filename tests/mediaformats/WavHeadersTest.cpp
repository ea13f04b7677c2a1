// WAV, Wave64 and AIFF file headers: byte-exact writers, testers, repair,
// readers and the format rewrite.
#include "mediaformats/WavHeaders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "mediaformats/Riff64.h"
#include "tests/mediaformats/IffTestUtil.h"
#include "tests/mediaformats/RiffTestUtil.h"

using rifftest::Bytes;
using rifftest::TempFile;

namespace {

const WAVEFORMATEX kStereo48 = {WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};

// The 18 bytes of a format as the writers store it.
std::string Fmt18(const WAVEFORMATEX& w) {
  return Bytes().U16(w.wFormatTag).U16(w.nChannels).U32(w.nSamplesPerSec).U32(w.nAvgBytesPerSec)
      .U16(w.nBlockAlign).U16(w.wBitsPerSample).U16(0).s;
}

// A WAV header of `h` bytes (46 or 54 and more) for `data` bytes.
std::string WavHeader(const WAVEFORMATEX& w, uint32_t data, uint32_t h) {
  Bytes b;
  b.Id("RIFF").U32(h - 8 + data).Id("WAVE").Id("fmt ").U32(18).Raw(Fmt18(w));
  if (h > 46) b.Id("JUNK").U32(h - 54).Zeros(h - 54);
  return b.Id("data").U32(data).s;
}

std::string W64Header(const WAVEFORMATEX& w, uint64_t data, uint64_t h) {
  Bytes b;
  b.Guid(kRiff64GuidRiff).U64(h + data).Guid(kRiff64GuidWave).Guid(kRiff64GuidFmt).U64(42)
      .Raw(Fmt18(w)).Zeros(6);
  if (h > 112) b.Guid(kW64GuidJunk).U64(h - 112).Zeros(h - 136);
  return b.Guid(kW64GuidData).U64(data + 24).s;
}

bool FileExists(const std::string& path) { return std::ifstream(path).good(); }

std::string TempPath() { return wutest::MakeTempDir("wavhdr") + "/out.wav"; }

// A file holding `bytes`, not held open, for the functions that open
// their file by name.
struct NamedFile {
  std::string path = TempPath();
  explicit NamedFile(const std::string& bytes) { wutest::WriteBytes(path, bytes); }
  std::u16string Wide() const { return wutest::U16(path); }
  std::string Contents() const { return wutest::ReadBytes(path); }
};

struct HeaderCase {
  const char* name;
  bool by_name;
  std::function<HRESULT(HANDLE, LPCWSTR)> run;  // on a 200-byte file of 'x'
  HRESULT status;
  std::string expected;  // the whole file afterwards
};

TEST(WavHeaders, ByteExactWritersTable) {
  const std::string body(200, 'x');
  auto over = [&](const std::string& header) { return header + body.substr(header.size()); };
  _wuwaveformat record;
  record.InitFromWfx(kStereo48);
  WAVEFORMATEX extensible_like = kStereo48;
  extensible_like.cbSize = 22;
  const HeaderCase cases[] = {
      {"init", true, [](HANDLE, LPCWSTR p) { return WuInitializeWav(p, &kStereo48, OPEN_EXISTING); },
       S_OK, WavHeader(kStereo48, 0, 46)},
      {"init record", true, [&](HANDLE, LPCWSTR p) { return WuInitializeWav(p, &record, CREATE_ALWAYS); },
       S_OK, WavHeader(kStereo48, 0, 46)},
      {"init 64", true, [](HANDLE, LPCWSTR p) { return WuInitializeWav64(p, &kStereo48, OPEN_ALWAYS); },
       S_OK, W64Header(kStereo48, 0, 112)},
      {"init 64 record", true, [&](HANDLE, LPCWSTR p) { return WuInitializeWav64(p, &record, OPEN_ALWAYS); },
       S_OK, W64Header(kStereo48, 0, 112)},
      {"junk 53", true, [](HANDLE, LPCWSTR p) { return WuInitializeWavWithJunk(p, &kStereo48, OPEN_EXISTING, 53); },
       S_OK, WavHeader(kStereo48, 0, 54)},
      {"junk 100", true, [&](HANDLE, LPCWSTR p) { return WuInitializeWavWithJunk(p, &record, OPEN_EXISTING, 100); },
       S_OK, WavHeader(kStereo48, 0, 100)},
      // A bad size or format leaves the existing file untouched.
      {"junk 52", true, [](HANDLE, LPCWSTR p) { return WuInitializeWavWithJunk(p, &kStereo48, OPEN_EXISTING, 52); },
       E_INVALIDARG, body},
      {"extra bytes", true, [&](HANDLE, LPCWSTR p) { return WuInitializeWav(p, &extensible_like, OPEN_EXISTING); },
       WAV_E_FORMAT, body},
      {"insert 46", false, [](HANDLE f, LPCWSTR) { return WuInsertWavHeader(f, &kStereo48, 154, 46); },
       S_OK, over(WavHeader(kStereo48, 154, 46))},
      {"insert 46 record", false, [&](HANDLE f, LPCWSTR) { return WuInsertWavHeader(f, &record, 154, 46); },
       S_OK, over(WavHeader(kStereo48, 154, 46))},
      {"insert 48", false, [](HANDLE f, LPCWSTR) { return WuInsertWavHeader(f, &kStereo48, 0, 48); },
       RIFF_E_BAD_SIZE, body},
      {"insert 47", false, [](HANDLE f, LPCWSTR) { return WuInsertWavHeader(f, &kStereo48, 0, 47); },
       RIFF_E_BAD_SIZE, body},
      {"insert 60", false, [](HANDLE f, LPCWSTR) { return WuInsertWavHeader(f, &kStereo48, 140, 60); },
       S_OK, over(WavHeader(kStereo48, 140, 60))},
      {"insert 64 112", false, [](HANDLE f, LPCWSTR) { return WuInsertW64Header(f, &kStereo48, 88, 112); },
       S_OK, over(W64Header(kStereo48, 88, 112))},
      {"insert 64 120", false, [](HANDLE f, LPCWSTR) { return WuInsertW64Header(f, &kStereo48, 80, 120); },
       RIFF_E_BAD_SIZE, body},
      {"insert 64 136", false, [&](HANDLE f, LPCWSTR) { return WuInsertW64Header(f, &record, 64, 136); },
       S_OK, over(W64Header(kStereo48, 64, 136))},
      {"insert 64 odd", false, [](HANDLE f, LPCWSTR) { return WuInsertW64Header(f, &kStereo48, 0, 140); },
       RIFF_E_BAD_SIZE, body},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path;
    {
      TempFile f(body);
      f.Seek(17);
      path = f.path();
      if (c.by_name) {
        // The name forms open the file themselves.
        CloseHandle(f.Release());
        EXPECT_EQ(c.run(INVALID_HANDLE_VALUE, f.Wide().c_str()), c.status);
      } else {
        EXPECT_EQ(c.run(f.h(), nullptr), c.status);
        EXPECT_EQ(f.Position(), 17);
      }
    }
    EXPECT_EQ(wutest::ReadBytes(path), c.expected);
  }
}

TEST(WavHeaders, WritersRefuseFormatsWithoutCreating) {
  WAVEFORMATEX bad_pcm[3] = {kStereo48, kStereo48, kStereo48};
  bad_pcm[0].cbSize = 22;
  bad_pcm[1].wBitsPerSample = 20;
  bad_pcm[1].nBlockAlign = 6;
  bad_pcm[2].nBlockAlign = 6;
  for (const WAVEFORMATEX& w : bad_pcm) {
    std::string path = TempPath();
    EXPECT_EQ(WuInitializeWav(wutest::U16(path).c_str(), &w, CREATE_ALWAYS), WAV_E_FORMAT);
    EXPECT_EQ(WuInitializeWav64(wutest::U16(path).c_str(), &w, CREATE_ALWAYS), WAV_E_FORMAT);
    EXPECT_EQ(WuInitializeWavWithJunk(wutest::U16(path).c_str(), &w, CREATE_ALWAYS, 100),
              WAV_E_FORMAT);
    EXPECT_FALSE(FileExists(path));
  }
  std::string path = TempPath();
  EXPECT_EQ(WuInitializeWavWithJunk(wutest::U16(path).c_str(), &kStereo48, CREATE_ALWAYS, 52),
            E_INVALIDARG);
  EXPECT_FALSE(FileExists(path));
  // A float format of any block align is written as it stands.
  WAVEFORMATEX flt = {WAVE_FORMAT_IEEE_FLOAT, 1, 8000, 32000, 4, 32, 0};
  EXPECT_EQ(WuInitializeWav(wutest::U16(path).c_str(), &flt, CREATE_ALWAYS), S_OK);
  EXPECT_EQ(wutest::ReadBytes(path), WavHeader(flt, 0, 46));
  // Too short a file for a header.
  TempFile tiny(std::string(40, 'x'));
  EXPECT_EQ(WuInsertWavHeader(tiny.h(), &kStereo48, 0, 46), RIFF_E_BAD_SIZE);
  EXPECT_EQ(WuInsertW64Header(tiny.h(), &kStereo48, 0, 112), RIFF_E_BAD_SIZE);
}

// A WAV file of `frames` frames of the format, with a "fact" chunk before
// the data.
std::string WavFile(const std::string& fmt_body, uint32_t data_bytes) {
  Bytes chunks;
  chunks.Chunk("fmt ", fmt_body).Chunk("fact", std::string("\x01\0\0\0", 4)).Chunk("data", std::string(data_bytes, '\x05'));
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id("WAVE").Raw(chunks.s).s;
}

std::string PcmBody(unsigned channels, unsigned bits, unsigned align, unsigned cb_size = ~0u) {
  Bytes b;
  b.U16(1).U16(channels).U32(44100).U32(44100 * align).U16(align).U16(bits);
  if (cb_size != ~0u) b.U16(cb_size);
  return b.s;
}

struct ReadCase {
  const char* name;
  std::string file;
  bool accepted;
  WORD tag;
  WORD bits;
  WORD align;
  ULONGLONG frames;
  ULONGLONG offset;
};

TEST(WavHeaders, GetFileWfxTable) {
  const std::string msadpcm = Bytes().U16(2).U16(1).U32(8000).U32(4096).U16(256).U16(4).U16(32).Zeros(32).s;
  std::string w64 = W64Header(kStereo48, 40, 112) + std::string(40, '\x07');
  std::string aiff = ifftest::Form("AIFC", ifftest::BeBytes().Chunk("COMM", ifftest::Comm(2, 100, 16, 22050, "sowt"))
                                               .Chunk("SSND", ifftest::Ssnd(0, std::string(40, 'a'))).s);
  std::string aiff20 = ifftest::Form("AIFF", ifftest::BeBytes().Chunk("COMM", ifftest::Comm(1, 100, 20, 8000))
                                                 .Chunk("SSND", ifftest::Ssnd(0, std::string(30, 'a'))).s);
  // An 18-byte chunk whose cbSize claims 22 more.
  std::string claims = WavFile(PcmBody(2, 16, 4, 22), 40);
  // A "fmt " above the cap.
  std::string huge = WavFile(PcmBody(2, 16, 4, 4080) + std::string(4080, '\0'), 40);
  const ReadCase cases[] = {
      {"pcm16 fmt16", WavFile(PcmBody(2, 16, 4), 40), true, 1, 16, 4, 10, 12 + 24 + 12 + 8},
      {"pcm20 in 3 bytes", WavFile(PcmBody(2, 20, 6), 60), true, 1, 24, 6, 10, 12 + 24 + 12 + 8},
      {"pcm24 wrong align", WavFile(PcmBody(2, 24, 4), 60), true, 1, 24, 6, 10, 12 + 24 + 12 + 8},
      {"pcm12", WavFile(PcmBody(1, 12, 2), 60), false, 0, 0, 0, 0, 0},
      {"cbSize past chunk", claims, true, 1, 16, 4, 10, 12 + 26 + 12 + 8},
      {"compressed", WavFile(msadpcm, 512), false, 0, 0, 0, 0, 0},
      {"fmt too large", huge, false, 0, 0, 0, 0, 0},
      {"wave64", w64, true, 1, 16, 4, 10, 112},
      {"aifc sowt", aiff, true, 1, 16, 4, 10, 12 + 32 + 16},
      {"aiff 20", aiff20, true, 0xFE02, 24, 3, 10, 12 + 26 + 16},
      {"not audio", std::string(100, 'z'), false, 0, 0, 0, 0, 0},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    NamedFile f(c.file);
    ULONGLONG frames = 77;
    ULONGLONG offset = 77;
    WAVEFORMATEX* wfx = WuGetFileWfx(f.Wide().c_str(), &frames, &offset);
    if (!c.accepted) {
      EXPECT_EQ(wfx, nullptr);
      EXPECT_EQ(frames, 77u);
      EXPECT_EQ(offset, 77u);
      continue;
    }
    ASSERT_NE(wfx, nullptr);
    EXPECT_EQ(wfx->wFormatTag, c.tag);
    EXPECT_EQ(wfx->wBitsPerSample, c.bits);
    EXPECT_EQ(wfx->nBlockAlign, c.align);
    EXPECT_EQ(frames, c.frames);
    EXPECT_EQ(offset, c.offset);
    std::free(wfx);
  }
}

TEST(WavHeaders, TestersAndReadersKeepThePosition) {
  const std::string msadpcm = Bytes().U16(2).U16(1).U32(8000).U32(4096).U16(256).U16(4).U16(32).Zeros(32).s;
  TempFile pcm(WavFile(PcmBody(2, 16, 4), 40), GENERIC_READ);
  TempFile adpcm(WavFile(msadpcm, 512), GENERIC_READ);
  TempFile w64(W64Header(kStereo48, 0, 112), GENERIC_READ);
  TempFile aiff(ifftest::Form("AIFF", ifftest::BeBytes().Chunk("COMM", ifftest::Comm(1, 0, 8, 8000)).s), GENERIC_READ);
  EXPECT_TRUE(WuFileIsWave(pcm.Wide().c_str(), FALSE));
  EXPECT_FALSE(WuFileIsWave(adpcm.Wide().c_str(), FALSE));
  EXPECT_TRUE(WuFileIsWave(adpcm.Wide().c_str(), TRUE));
  EXPECT_FALSE(WuFileIsWave(w64.Wide().c_str(), TRUE));
  EXPECT_TRUE(WuFileIsWave64(w64.Wide().c_str(), FALSE));
  EXPECT_FALSE(WuFileIsWave64(pcm.Wide().c_str(), TRUE));
  EXPECT_TRUE(WuFileIsAiff(aiff.Wide().c_str()));
  EXPECT_FALSE(WuFileIsAiff(pcm.Wide().c_str()));
  EXPECT_FALSE(WuFileIsWave(u"/nonexistent/x.wav", TRUE));

  pcm.Seek(5);
  DWORD frames = 9;
  DWORD offset = 9;
  WAVEFORMATEX* wfx = WuGetWavFileWfx(pcm.h(), &frames, &offset);
  ASSERT_NE(wfx, nullptr);
  std::free(wfx);
  EXPECT_EQ(pcm.Position(), 5);
  adpcm.Seek(3);
  EXPECT_EQ(WuGetWavFileWfx(adpcm.h(), &frames, &offset), nullptr);
  EXPECT_EQ(frames, 0u);
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(adpcm.Position(), 3);
}

// A damaged WAV: a format at 20, then `filler`, then the rest.
std::string Damaged(const std::string& fmt18, const std::string& after) {
  return Bytes().Id("RIFX").U32(0).Id("WAV?").Id("fmt?").U32(0).Raw(fmt18).Raw(after).s;
}

TEST(WavRepair, RebuildsHeaders) {
  // Rate 1,000 and 6 channels: 44,100 Hz stereo, and the partial frame cut.
  WAVEFORMATEX bad = {WAVE_FORMAT_PCM, 6, 1000, 0, 0, 16, 0};
  std::string file = Damaged(Fmt18(bad), Bytes().Id("data").U32(0xFFFF).Zeros(41).s);
  {
    TempFile f(file);
    f.Seek(9);
    ASSERT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF), S_OK);
    EXPECT_EQ(f.Position(), 9);
    WAVEFORMATEX want = {WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    EXPECT_EQ(f.Contents(), WavHeader(want, 40, 46) + std::string(41, '\0'));
  }
  // Defaults given: a mono float file keeps its tag; 24 bits become 32.
  {
    WAVEFORMATEX odd = {WAVE_FORMAT_IEEE_FLOAT, 1, 96000, 0, 0, 24, 0};
    WAVEFORMATEX defaults = {WAVE_FORMAT_PCM, 2, 8000, 32000, 4, 16, 0};
    TempFile f(Damaged(Fmt18(odd), Bytes().Id("data").U32(1).Zeros(16).s));
    ASSERT_EQ(WuFixTrashedWav(f.h(), &defaults, 0xFFFFFFFF), S_OK);
    WAVEFORMATEX want = {WAVE_FORMAT_IEEE_FLOAT, 1, 96000, 384000, 4, 32, 0};
    EXPECT_EQ(f.Contents().substr(0, 46), WavHeader(want, 16, 46));
  }
  // No "data" before the limit: the audio starts at the limit; 44 is too
  // small for a header.
  {
    std::string junk = Damaged(Fmt18(kStereo48), std::string(200, 'q'));
    TempFile f(junk);
    EXPECT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 44), RIFF_E_BAD_SIZE);
    EXPECT_EQ(f.Contents(), junk);
    ASSERT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 100), S_OK);
    EXPECT_EQ(f.Contents().substr(0, 100), WavHeader(kStereo48, 136, 100));
    EXPECT_EQ(rifftest::At32(f.Contents(), 4), 100 - 8 + 136u);
  }
  // "data" found by the block scan across a 4,096-byte boundary: the
  // chunk search stops at a chunk that claims too much.
  {
    std::string after = Bytes().Id("LIST").U32(0x7FFFFFF0).Raw(std::string(4096 - 38 - 8 - 2, 'q')).s;
    after += "data";
    after += std::string(6 + 32, '\0');
    std::string damaged = Damaged(Fmt18(kStereo48), after);
    ASSERT_EQ(damaged.substr(4094, 4), "data");
    TempFile f(damaged);
    ASSERT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF), S_OK);
    std::string out = f.Contents();
    // 34 bytes follow the hit's header: 8 whole frames.
    EXPECT_EQ(out.size(), 4136u);
    EXPECT_EQ(rifftest::At32(out, 4), 4102u - 8 + 32);
    EXPECT_EQ(out.substr(0, 38), WavHeader(kStereo48, 32, 4102).substr(0, 38));
    EXPECT_EQ(out.substr(4094, 8), Bytes().Id("data").U32(32).s);
  }
  // The end of the file before the limit without "data".
  {
    TempFile f(Damaged(Fmt18(kStereo48), std::string(5000, 'q')));
    EXPECT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF), S_OK);
    TempFile short_file(std::string(30, 'q'));
    EXPECT_EQ(WuFixTrashedWav(short_file.h(), static_cast<const WAVEFORMATEX*>(nullptr), 100), RIFF_E_READ);
  }
  // "data" in the last bytes of the file, without room for its size: no
  // chunk, so the header does not run past the end of the file.
  {
    std::string damaged = Damaged(Fmt18(kStereo48), std::string(60, 'q') + "data");
    TempFile f(damaged);
    ASSERT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF), S_OK);
    EXPECT_EQ(f.Contents().size(), damaged.size());
    EXPECT_EQ(f.Contents().substr(0, 38), WavHeader(kStereo48, 0, damaged.size()).substr(0, 38));
  }
}

TEST(WavRepair, Wave64Twin) {
  WAVEFORMATEX bad = {WAVE_FORMAT_PCM, 9, 500000, 0, 0, 13, 0};
  Bytes b;
  // A chunk header of garbage at 88 stops the chunk search; the scan finds
  // the data GUID at 112.
  b.Zeros(64).Raw(Fmt18(bad)).Zeros(6).Raw(std::string(24, 'q')).Guid(kW64GuidData).U64(3).Zeros(43);
  TempFile f(b.s);
  f.Seek(11);
  _wuwaveformat defaults;
  WAVEFORMATEX mono8 = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
  defaults.InitFromWfx(mono8);
  ASSERT_EQ(WuFixTrashedW64(f.h(), &defaults, 1 << 20), S_OK);
  EXPECT_EQ(f.Position(), 11);
  WAVEFORMATEX want = {WAVE_FORMAT_PCM, 1, 22050, 22050, 1, 8, 0};
  std::string out = f.Contents();
  // The audio starts at 136: the header gets an empty junk chunk.
  EXPECT_EQ(out.substr(0, 136), W64Header(want, 43, 136));
  EXPECT_EQ(out.size(), 179u);
}

// A sound WAV or Wave64 file as programs write it: the format chunk of
// `fmt_body`, the chunks of `between`, then the data chunk of `audio`.
std::string SoundWav(const std::string& fmt_body, const std::string& between,
                     const std::string& audio) {
  Bytes chunks;
  chunks.Chunk("fmt ", fmt_body).Raw(between).Id("data").U32(static_cast<uint32_t>(audio.size())).Raw(audio);
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + chunks.size())).Id("WAVE").Raw(chunks.s).s;
}

std::string SoundW64(const std::string& fmt_body, const std::string& audio) {
  Bytes chunks;
  chunks.Chunk64(kRiff64GuidFmt, fmt_body).Guid(kW64GuidData).U64(24 + audio.size()).Raw(audio);
  return Bytes().Guid(kRiff64GuidRiff).U64(40 + chunks.size()).Guid(kRiff64GuidWave).Raw(chunks.s).s;
}

// The file as a recording that stopped before its sizes were written
// leaves it: the form size and the data size 0.
std::string SizesZeroed(std::string file, bool w64, size_t audio_at) {
  if (w64) {
    file.replace(16, 8, 8, '\0');
    file.replace(audio_at - 8, 8, 8, '\0');
  } else {
    file.replace(4, 4, 4, '\0');
    file.replace(audio_at - 4, 4, 4, '\0');
  }
  return file;
}

TEST(WavRepair, SoundFilesKeepTheirAudio) {
  std::string audio(5000, '\0');
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<char>(i * 7 % 251);
  const std::string fmt16 = Fmt18(kStereo48).substr(0, 16);
  const std::string fmt18 = Fmt18(kStereo48);
  // The extensible form of the same format (40 bytes, PCM subformat).
  const GUID kPcmSubformat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
  const std::string fmt40 = Bytes().U16(0xFFFE).U16(2).U32(48000).U32(192000).U16(4).U16(16).U16(22)
                                .U16(16).U32(3).Guid(kPcmSubformat).s;
  const std::string list = Bytes().Chunk("LIST", Bytes().Id("INFO").Chunk("INAM", "Title").s).s;
  const std::string fact = Bytes().Chunk("fact", std::string("\x88\x13\0\0", 4)).s;
  // A 16-byte layout whose format size was overwritten: the data chunk at
  // 36 is found by the scan.
  std::string trashed = SoundWav(fmt16, "", audio);
  trashed.replace(0, 20, std::string(20, '\x7F'));
  std::string extensible = SoundWav(fmt40, fact, audio);
  std::string extensible_repaired = extensible;
  extensible_repaired.replace(20, 40, fmt18 + std::string(22, '\0'));
  struct Case {
    const char* name;
    bool w64;
    std::string file;
    std::string expected;  // the whole file after the repair
  };
  const Case cases[] = {
      {"wav fmt 16", false, SoundWav(fmt16, "", audio), SoundWav(fmt16, "", audio)},
      {"wav fmt 18", false, SoundWav(fmt18, "", audio), SoundWav(fmt18, "", audio)},
      {"wav fmt 16, LIST before data", false, SoundWav(fmt16, list, audio), SoundWav(fmt16, list, audio)},
      {"wav extensible, fact", false, extensible, extensible_repaired},
      {"wav fmt 16, header trashed", false, trashed, SoundWav(fmt16, "", audio)},
      {"w64 fmt 16", true, SoundW64(fmt16, audio), SoundW64(fmt16, audio)},
      {"w64 fmt 18", true, SoundW64(fmt18, audio), SoundW64(fmt18, audio)},
  };
  for (const Case& c : cases) {
    const size_t audio_at = c.file.size() - audio.size();
    for (bool zeroed : {false, true}) {
      if (zeroed && c.file == trashed) continue;
      const std::string file = zeroed ? SizesZeroed(c.file, c.w64, audio_at) : c.file;
      for (ULONGLONG limit : {ULONGLONG{4096}, ULONGLONG{file.size()}}) {
        SCOPED_TRACE(std::string(c.name) + (zeroed ? ", sizes 0" : "") + ", limit " + std::to_string(limit));
        TempFile f(file);
        f.Seek(3);
        HRESULT hr = c.w64 ? WuFixTrashedW64(f.h(), static_cast<const WAVEFORMATEX*>(nullptr),
                                             static_cast<LONGLONG>(limit))
                           : WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr),
                                             static_cast<DWORD>(limit));
        ASSERT_EQ(hr, S_OK);
        EXPECT_EQ(f.Position(), 3);
        std::string after = f.Contents();
        EXPECT_EQ(after.substr(audio_at), audio);
        EXPECT_EQ(after, c.expected);
      }
    }
  }
  // Audio that no header fits before (a data chunk at 40 behind a format
  // of unknown size) is refused with the file as it was.
  std::string odd = SoundWav(fmt16 + std::string(4, '\0'), "", audio);
  odd.replace(16, 4, "\x7F\x7F\x7F\x7F");
  // So is a file whose data chunk comes before its format.
  std::string data_first =
      Bytes().Id("RIFF").U32(static_cast<uint32_t>(4 + 8 + audio.size() + 24)).Id("WAVE")
          .Chunk("data", audio).Chunk("fmt ", fmt16).s;
  for (const std::string& refused : {odd, data_first}) {
    TempFile f(refused);
    EXPECT_EQ(WuFixTrashedWav(f.h(), static_cast<const WAVEFORMATEX*>(nullptr), 0xFFFFFFFF),
              RIFF_E_BAD_SIZE);
    EXPECT_EQ(f.Contents(), refused);
  }
}

TEST(WavSetFormat, WavChunksOfEachSize) {
  WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
  struct Case {
    std::string body;
    HRESULT status;
    std::string expected_chunk;  // id, size and padded body afterwards
  };
  const Case cases[] = {
      {PcmBody(2, 16, 4), S_OK, Bytes().Chunk("fmt ", Fmt18(mono).substr(0, 16)).s},
      {PcmBody(2, 16, 4, 0) + "ab", S_OK, Bytes().Chunk("fmt ", Fmt18(mono) + std::string(2, '\0')).s},
      {PcmBody(2, 16, 4, 22) + std::string(22, '\x33'), S_OK,
       Bytes().Chunk("fmt ", Fmt18(mono)).Chunk("JUNK", std::string(14, '\0')).s},
      {PcmBody(2, 16, 4, 9) + std::string(9, '\x33'), S_OK,
       Bytes().Chunk("fmt ", Fmt18(mono)).Chunk("JUNK", std::string(2, '\0')).s},
      {PcmBody(2, 16, 4).substr(0, 14), WAV_E_FORMAT, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.size());
    std::string file = WavFile(c.body, 40);
    NamedFile f(file);
    HRESULT status = WuSetFileWfx(f.Wide().c_str(), &mono);
    if (c.body.size() < 16) {
      // Such a chunk is no WAV format at all: the AIFF branch refuses it.
      EXPECT_EQ(status, RIFF_E_WRONG_FORM);
      EXPECT_EQ(f.Contents(), file);
      continue;
    }
    ASSERT_EQ(status, c.status);
    std::string after = f.Contents();
    ASSERT_EQ(after.size(), file.size());
    EXPECT_EQ(after.substr(12, c.expected_chunk.size()), c.expected_chunk);
    EXPECT_EQ(after.substr(12 + c.expected_chunk.size()), file.substr(12 + c.expected_chunk.size()));
    EXPECT_EQ(after.substr(0, 12), file.substr(0, 12));
  }
  WAVEFORMATEX pcm20 = {WAVE_FORMAT_PCM, 1, 22050, 66150, 3, 20, 0};
  NamedFile f(WavFile(PcmBody(2, 16, 4), 40));
  EXPECT_EQ(WuSetFileWfx(f.Wide().c_str(), &pcm20), WAV_E_FORMAT);
  EXPECT_EQ(WuSetFileWfx(u"/nonexistent/x.wav", &mono), RIFF_E_OPEN);
}

TEST(WavSetFormat, AiffComm) {
  std::string comm = ifftest::Comm(2, 10, 16, 44100);
  std::string file = ifftest::Form("AIFF", ifftest::BeBytes().Chunk("COMM", comm)
                                               .Chunk("SSND", ifftest::Ssnd(0, std::string(40, 'a'))).s);
  NamedFile f(file);
  WAVEFORMATEX mono = {WAVE_FORMAT_PCM, 1, 352800, 705600, 2, 16, 0};
  ASSERT_EQ(WuSetFileWfx(f.Wide().c_str(), &mono), S_OK);
  std::string after = f.Contents();
  EXPECT_EQ(after.substr(20, 18), ifftest::Comm(1, 10, 16, 352800));
  EXPECT_EQ(after.substr(38), file.substr(38));
  WAVEFORMATEX flt = {WAVE_FORMAT_IEEE_FLOAT, 1, 8000, 32000, 4, 32, 0};
  EXPECT_EQ(WuSetFileWfx(f.Wide().c_str(), &flt), WAV_E_AIFF_NOT_PCM);
  EXPECT_EQ(f.Contents(), after);
  // A "COMM" body shorter than the 18 bytes written: they would run over
  // the next chunk's header, so the file is refused as it is.
  std::string short_comm =
      ifftest::Form("AIFF", ifftest::BeBytes().Chunk("COMM", comm.substr(0, 10))
                                .Chunk("SSND", ifftest::Ssnd(0, std::string(40, 'a'))).s);
  NamedFile g(short_comm);
  EXPECT_EQ(WuSetFileWfx(g.Wide().c_str(), &mono), RIFF_E_WRONG_FORM);
  EXPECT_EQ(g.Contents(), short_comm);
}

}  // namespace
