// The older template generation from hand-built streams: reading, lifting,
// hostile lengths, and the renderer's conversion of a lifted record.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/WuWaveFormat.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateV1.h"
#include "foundation/WuStatus.h"
#include "platform/com/com.h"
#include "tests/fileio/FioRendererFixture.h"
#include "tests/fileio/TestByteStream.h"

namespace {

// A V1 record as stream bytes, built field by field.
struct V1Builder {
  DWORD size = 0x1000;
  DWORD version = 0x01000007;
  std::u16string name = u"Old", notes = u"Older notes";
  bool audio = true;
  WAVEFORMATEX header{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  DWORD audioAttribute = 1;
  std::vector<BYTE> format;   // the full wave-format record
  DWORD formatLength = ~0u;   // stored L; ~0: format.size()
  std::vector<BYTE> audioPrivate;
  DWORD audioPrivateLength = ~0u;
  bool video = false;
  DWORD l1 = 40, l2 = 40, p2 = ~0u;
  std::vector<BYTE> videoPrivate;

  std::vector<BYTE> bytes;
  void Word(DWORD v) { Raw(&v, 4); }
  void Raw(const void* p, size_t n) {
    if (n == 0) return;
    const BYTE* b = static_cast<const BYTE*>(p);
    bytes.insert(bytes.end(), b, b + n);
  }
  void Text(const std::u16string& t) {
    std::vector<char16_t> units(260, 0);
    for (size_t i = 0; i < t.size() && i < 260; ++i) units[i] = t[i];
    Raw(units.data(), 520);
  }
  std::vector<BYTE> Build(bool withHeader = false) {
    bytes.clear();
    if (withHeader) {
      Word(size);
      Word(version);
    }
    Text(name);
    Text(notes);
    Word(audio);
    if (audio) {
      Raw(&header, 18);
      Word(audioAttribute);
      Word(formatLength == ~0u ? static_cast<DWORD>(format.size()) : formatLength);
      Raw(format.data(), format.size());
      BYTE encoder[32];
      for (int i = 0; i < 32; ++i) encoder[i] = static_cast<BYTE>(0xE0 + i % 16);
      Raw(encoder, 32);
      Word(audioPrivateLength == ~0u ? static_cast<DWORD>(audioPrivate.size()) : audioPrivateLength);
      Raw(audioPrivate.data(), audioPrivate.size());
    }
    Word(video);
    if (video) {
      BITMAPINFOHEADER bih{};
      bih.biSize = 40;
      bih.biWidth = 320;
      bih.biHeight = 240;
      std::vector<BYTE> src(l1 <= 4096 ? l1 : 0), out(l2 <= 4096 ? l2 : 0);
      if (!src.empty()) std::memcpy(src.data(), &bih, std::min<size_t>(40, src.size()));
      bih.biWidth = 720;
      if (!out.empty()) std::memcpy(out.data(), &bih, std::min<size_t>(40, out.size()));
      Word(l1);
      Raw(src.data(), src.size());
      Word(2);  // attribute: two streams
      BYTE settings[64] = {7};
      Raw(settings, 64);
      Word(l2);
      Raw(out.data(), out.size());
      Word(9);
      Raw(settings, 64);
      Word(p2 == ~0u ? static_cast<DWORD>(videoPrivate.size()) : p2);
      Raw(videoPrivate.data(), videoPrivate.size());
    }
    return bytes;
  }
};

IStream* StreamOf(const std::vector<BYTE>& bytes) {
  IStream* s = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
  LARGE_INTEGER zero{};
  s->Seek(zero, STREAM_SEEK_SET, nullptr);
  return s;
}

// Reads the builder's record (header already read) and lifts it.
HRESULT Lift(V1Builder& b, tagWUTEMPLATExV2** out, IWuRenderFileClass* cls = nullptr) {
  IStream* s = StreamOf(b.Build());
  HRESULT hr = WuFio_ReadAndLiftTemplateV1(out, s, b.size, b.version, cls);
  s->Release();
  return hr;
}

const _wuwaveformat* SourceFormat(const tagWUTEMPLATExV2* r) {
  return reinterpret_cast<const _wuwaveformat*>(r->audio.format);
}
const _wuwaveformat* EncodedFormat(const tagWUTEMPLATExV2* r) {
  return reinterpret_cast<const _wuwaveformat*>(r->audio.encodedFormat);
}

std::vector<BYTE> WaveRecord(WORD tag, WORD bits, size_t bytes, WORD cbSize = 0) {
  WAVEFORMATEX w{tag, 2, 48000, 192000, 4, bits, cbSize};
  std::vector<BYTE> v(bytes, 0x5A);
  std::memcpy(v.data(), &w, std::min(bytes, sizeof(w)));
  return v;
}

TEST(WuFioTemplateV1, LiftsAudioAndVideoInOrder) {
  V1Builder b;
  b.audioPrivate = {1, 2, 3};
  b.video = true;
  b.videoPrivate = {4, 5, 6, 7, 8};
  b.format = WaveRecord(WAVE_FORMAT_PCM, 16, 18);
  tagWUTEMPLATExV2* r = nullptr;
  ASSERT_EQ(Lift(b, &r), S_OK);
  ASSERT_TRUE(r && r->HasValidLayout());
  EXPECT_EQ(r->version, 0x02000007u);  // revision carried
  EXPECT_EQ(std::u16string(r->GetName()), u"Old");
  EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(r)), u"Older notes");
  EXPECT_EQ(r->audio.blockSize, 200u);
  EXPECT_EQ(r->audio.streamCount, 1u);
  EXPECT_EQ(SourceFormat(r)->nSamplesPerSec, 44100u);
  EXPECT_EQ(r->audio.encoderSettings[1], 0xE1);
  EXPECT_EQ(EncodedFormat(r)->nSamplesPerSec, 48000u);
  EXPECT_EQ(r->video.blockSize, 200u);
  EXPECT_EQ(r->video.streamCount, 2u);
  EXPECT_EQ(r->video.source.biWidth, 320);
  EXPECT_EQ(r->video.output.biWidth, 720);
  EXPECT_EQ(r->video.settings[0], 7);
  ASSERT_EQ(r->privateSize, 8);
  const BYTE want[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(std::memcmp(r->PrivateData(), want, 8), 0);
  // Without a renderer class the class id and GUID stay zero.
  EXPECT_TRUE(IsEqualGUID(r->classId, GUID{}));
  EXPECT_TRUE(IsEqualGUID(r->guid, GUID{}));
  WuFio_ReleaseTemplate(r);
}

TEST(WuFioTemplateV1, ExtensibleHeaderBecomesPlainTag) {
  struct Case {
    WORD bits;
    WORD tag;
  } cases[] = {{32, WAVE_FORMAT_IEEE_FLOAT}, {16, WAVE_FORMAT_PCM}, {24, WAVE_FORMAT_PCM}};
  for (const Case& c : cases) {
    V1Builder b;
    b.header = {WAVE_FORMAT_EXTENSIBLE, 2, 48000, 0, 0, c.bits, 22};
    tagWUTEMPLATExV2* r = nullptr;
    ASSERT_EQ(Lift(b, &r), S_OK);
    EXPECT_EQ(SourceFormat(r)->FormatTag(), c.tag) << c.bits;
    EXPECT_EQ(SourceFormat(r)->ExtraSize(), 0u);
    EXPECT_EQ(EncodedFormat(r)->cbStruct, 0u);  // L = 0: no encoded format
    WuFio_ReleaseTemplate(r);
  }
  // A compressed header's stored extra-byte count is not followed.
  V1Builder b;
  b.header = {0x0055, 2, 48000, 16000, 1, 0, 500};
  tagWUTEMPLATExV2* r = nullptr;
  ASSERT_EQ(Lift(b, &r), S_OK);
  EXPECT_EQ(SourceFormat(r)->ExtraSize(), 0u);
  WuFio_ReleaseTemplate(r);
}

TEST(WuFioTemplateV1, WaveRecordsAgainstTheirLength) {
  struct Case {
    const char* what;
    std::vector<BYTE> format;
    HRESULT expect;
  } cases[] = {
      // Exactly 16 bytes of PCM or float: Init reads a zeroed 18-byte copy
      // (AddressSanitizer sees any read past the 16 bytes).
      {"pcm16", WaveRecord(WAVE_FORMAT_PCM, 16, 16), S_OK},
      {"float16", WaveRecord(WAVE_FORMAT_IEEE_FLOAT, 32, 16), S_OK},
      {"short", WaveRecord(WAVE_FORMAT_PCM, 16, 12), WU_E_BAD_DATA},
      {"extra past L", WaveRecord(0x0055, 0, 20, 12), WU_E_BAD_DATA},
      {"extra fits", WaveRecord(0x0055, 0, 30, 12), S_OK},
      {"compressed 16", WaveRecord(0x0055, 0, 16), WU_E_BAD_DATA},
      {"over 96", WaveRecord(0x0055, 0, 18 + 79, 79), WU_E_BAD_DATA},
      {"96 exactly", WaveRecord(0x0055, 0, 18 + 78, 78), S_OK},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    V1Builder b;
    b.format = c.format;
    tagWUTEMPLATExV2* r = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    EXPECT_EQ(Lift(b, &r), c.expect);
    if (FAILED(c.expect)) {
      EXPECT_EQ(r, nullptr);
      continue;
    }
    EXPECT_EQ(EncodedFormat(r)->nSamplesPerSec, 48000u);
    WuFio_ReleaseTemplate(r);
  }
}

TEST(WuFioTemplateV1, HostileLengthsAreRefusedWithoutAllocating) {
  // Each stored length in turn is huge; a 4 GiB allocation would fail the
  // test under AddressSanitizer. The stream holds nothing behind it.
  for (int which = 0; which < 5; ++which) {
    SCOPED_TRACE(which);
    V1Builder b;
    b.video = true;
    const DWORD huge = which % 2 ? 0xFFFFFFF0u : WUTEMPLATEV1_MAX_LENGTH + 1;
    switch (which) {
      case 0: b.formatLength = huge; break;
      case 1: b.audioPrivateLength = huge; break;
      case 2: b.l1 = huge; break;
      case 3: b.l2 = huge; break;
      case 4: b.p2 = huge; break;
    }
    fio_test::TestByteStream s(b.Build());
    tagWUTEMPLATExV2* r = nullptr;
    EXPECT_EQ(WuFio_ReadAndLiftTemplateV1(&r, &s, b.size, b.version, nullptr), WU_E_BAD_DATA);
    EXPECT_EQ(r, nullptr);
    EXPECT_LE(s.largestRead, 520u);  // never asked for the stored length
  }
  // A stream that fails part-way is a record that ends early, as the
  // reader of the record's head answers it.
  V1Builder b;
  fio_test::TestByteStream s(b.Build());
  s.failFrom = 600;
  tagWUTEMPLATExV2* r = nullptr;
  EXPECT_EQ(WuFio_ReadAndLiftTemplateV1(&r, &s, b.size, b.version, nullptr), WU_E_BAD_DATA);
  EXPECT_EQ(r, nullptr);
}

TEST(WuFioTemplateV1, ReaderErrors) {
  struct Case {
    const char* what;
    DWORD l1, l2;
    size_t cut;  // bytes dropped from the end
    HRESULT expect;
  } cases[] = {
      {"L1 zero", 0, 40, 0, E_UNEXPECTED},
      {"L2 zero", 40, 0, 0, E_UNEXPECTED},
      {"L1 short", 20, 40, 0, WU_E_BAD_DATA},
      {"L2 short", 40, 39, 0, WU_E_BAD_DATA},
      {"truncated", 40, 40, 3, WU_E_BAD_DATA},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    V1Builder b;
    b.video = true;
    b.l1 = c.l1;
    b.l2 = c.l2;
    std::vector<BYTE> bytes = b.Build();
    bytes.resize(bytes.size() - c.cut);
    IStream* s = StreamOf(bytes);
    tagWUTEMPLATExV2* r = nullptr;
    EXPECT_EQ(WuFio_ReadAndLiftTemplateV1(&r, s, b.size, b.version, nullptr), c.expect);
    EXPECT_EQ(r, nullptr);
    s->Release();
  }
  // Versions against the highest accepted one, header read by the reader.
  struct VersionCase {
    DWORD version, highest;
    HRESULT expect;
  } versions[] = {{0x01000000, 0x01000000, S_OK},
                  {0x02000000, 0x01FFFFFF, WU_E_BAD_DATA},
                  {0x03000000, 0x03000000, WU_E_BAD_DATA},
                  {0x01000005, 0x02000000, S_OK}};
  for (const VersionCase& c : versions) {
    V1Builder b;
    b.version = c.version;
    IStream* s = StreamOf(b.Build(true));
    WUTEMPLATExV1 v1{};
    EXPECT_EQ(WuFio_LoadTemplateDataV1(&v1, s, c.highest, FALSE), c.expect) << std::hex << c.version;
    EXPECT_EQ(v1.audio != nullptr, SUCCEEDED(c.expect));
    WuFio_FreeTemplateDataV1(&v1);
    s->Release();
  }
}

TEST(WuFioTemplateV1, TextsEndAtUnit259AndPartsAreReused) {
  V1Builder b;
  b.name = std::u16string(300, u'n');
  b.notes = std::u16string(260, u'o');
  b.audioPrivate = {1, 2, 3, 4};
  IStream* s = StreamOf(b.Build(true));
  WUTEMPLATExV1 v1{};
  ASSERT_EQ(WuFio_LoadTemplateDataV1(&v1, s, WUTEMPLATE_VERSION_V2, FALSE), S_OK);
  s->Release();
  EXPECT_EQ(std::u16string(v1.name).size(), 259u);
  EXPECT_EQ(std::u16string(v1.notes).size(), 259u);
  BYTE* buffer = v1.audio->privateData;
  // A second read with smaller private data keeps the buffer; with none drops it.
  b.audioPrivate = {9};
  s = StreamOf(b.Build(true));
  ASSERT_EQ(WuFio_LoadTemplateDataV1(&v1, s, WUTEMPLATE_VERSION_V2, FALSE), S_OK);
  s->Release();
  EXPECT_EQ(v1.audio->privateData, buffer);
  EXPECT_EQ(v1.audio->privateLength, 1u);
  b.audioPrivate.clear();
  b.audio = false;
  s = StreamOf(b.Build(true));
  ASSERT_EQ(WuFio_LoadTemplateDataV1(&v1, s, WUTEMPLATE_VERSION_V2, FALSE), S_OK);
  s->Release();
  EXPECT_EQ(v1.audio, nullptr);
  tagWUTEMPLATExV2* r = nullptr;
  ASSERT_EQ(WuFio_LiftTemplateV1(&r, &v1, nullptr), S_OK);
  EXPECT_EQ(std::u16string(r->GetName()).size(), 259u);
  EXPECT_EQ(r->audio.blockSize, 0u);
  WuFio_ReleaseTemplate(r);
  WuFio_FreeTemplateDataV1(&v1);
}

}  // namespace

namespace fio_test {
namespace {

using LiftConversionTest = FioRendererTest;

TEST_F(LiftConversionTest, RendererConvertsWithModeOne) {
  V1Builder b;
  b.audioPrivate = {1, 2};
  // E_NOTIMPL keeps the lifted record, stamped with the class id and the
  // lifted-V1 GUID.
  tagWUTEMPLATExV2* r = nullptr;
  ASSERT_EQ(Lift(b, &r, renderer_), S_OK);
  LONGLONG mode = 0;
  renderer_->GetProperty(kRendererPropLastConvertMode, &mode);
  EXPECT_EQ(mode, 1);
  EXPECT_TRUE(IsEqualGUID(r->classId, kRendererClassId));
  EXPECT_TRUE(WuFio_IsUpliftedV1TemplateGuid(r->guid));
  EXPECT_EQ(r->guid.Data1, WuFio_GetTemplateDataCRC32(r, FALSE));
  EXPECT_EQ(r->version, 0x02000007u);
  EXPECT_EQ(r->attributes, 0u);
  WuFio_ReleaseTemplate(r);
  // A replacement replaces it.
  renderer_->SetProperty(kRendererPropConvert, 1);
  ASSERT_EQ(Lift(b, &r, renderer_), S_OK);
  EXPECT_EQ(r->attributes, kRendererConvertedMark | 1);
  WuFio_ReleaseTemplate(r);
  // Another failure is returned with no record.
  renderer_->SetProperty(kRendererPropConvert, 2);
  EXPECT_EQ(Lift(b, &r, renderer_), E_FAIL);
  EXPECT_EQ(r, nullptr);
  // Without private data the class is not asked.
  LONG before = SlotCalls(18);
  b.audioPrivate.clear();
  ASSERT_EQ(Lift(b, &r, renderer_), S_OK);
  EXPECT_EQ(SlotCalls(18), before);
  EXPECT_TRUE(IsEqualGUID(r->guid, GUID{}));
  WuFio_ReleaseTemplate(r);
}

}  // namespace
}  // namespace fio_test
