// Templates made from templates, stream formats and basic formats, and the
// typed queries over them.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateMake.h"
#include "foundation/WuStatus.h"
#include "imaging/WuPixelTypes.h"

namespace {

struct FreeRecord {
  void operator()(tagWUTEMPLATExV2* r) const { WuFio_ReleaseTemplate(r); }
};
using Record = std::unique_ptr<tagWUTEMPLATExV2, FreeRecord>;

const BYTE* Bytes(const tagWUTEMPLATExV2* r) { return reinterpret_cast<const BYTE*>(r); }
bool AllZero(const BYTE* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i]) return false;
  return true;
}
const _wuwaveformat* At(const tagWUTEMPLATExV2* r, size_t offset) {
  return reinterpret_cast<const _wuwaveformat*>(Bytes(r) + offset);
}

_wuwaveformat Typed16Stereo(DWORD rate = 44100) {
  _wuwaveformat f{};
  f.Init(rate, WUSAMPLE_PCM16, 2, 0, 32);
  return f;
}

// A compressed format (tag 0x55) of `channels` channels, with a mask.
_wuwaveformat Compressed(WORD channels, DWORD mask) {
  WAVEFORMATEX wfx{0x55, channels, 48000, 16000, 1, 0, 0};
  _wuwaveformat f{};
  f.Init(32, wfx);
  f.dwChannelMask = mask;
  return f;
}

BITMAPINFOHEADER Header(LONG w, LONG h, WORD bits, DWORD code, DWORD image = 0) {
  BITMAPINFOHEADER b{};
  b.biSize = 40;
  b.biWidth = w;
  b.biHeight = h;
  b.biPlanes = 1;
  b.biBitCount = bits;
  b.biCompression = code;
  b.biSizeImage = image;
  return b;
}

TEST(WuFioTemplateMake, InitInPlaceZeroesAndSizes) {
  BYTE block[560];
  std::memset(block, 0xAB, sizeof block);
  auto* r = reinterpret_cast<tagWUTEMPLATExV2*>(block);
  WuFio_InitTemplateInPlace(r, 2, 0);
  EXPECT_EQ(r->totalSize, 540u);
  EXPECT_EQ(r->textLength, 2u);
  EXPECT_EQ(r->privateSize, 0);
  EXPECT_TRUE(AllZero(block + 4, 524));
  EXPECT_TRUE(AllZero(block + 536, 4));
  EXPECT_EQ(block[540], 0xAB);  // nothing past the 540 bytes
}

// A source with settings, private data and a class id.
Record Source(LPCWSTR name = u"Src") {
  Record s(WuFio_NewTemplate(name, u"notes", 6));
  s->attributes = 7;
  s->id = 12;
  s->guid = {1, 2, 3, {4}};
  s->classId = {9, 9, 9, {9}};
  s->common[0] = 0x44;
  s->audio.blockSize = 200;
  s->audio.streamCount = 1;
  s->audio.format[8] = 0x11;
  s->video.blockSize = 200;
  s->video.streamCount = 1;
  s->video.source.biWidth = 320;
  std::memcpy(s->PrivateData(), "abcdef", 6);
  return s;
}

TEST(WuFioTemplateMake, MakeIntoSlotWithRoomKeepsBlockAndClearsOldSettings) {
  Record src = Source();
  tagWUTEMPLATExV2* slot = WuFio_NewTemplate(u"A much longer old name", u"", 6);
  slot->video.streamCount = 5;  // old settings that must not survive
  slot->video.output.biWidth = 99;
  std::memcpy(slot->PrivateData(), "zzzzzz", 6);
  tagWUTEMPLATExV2* block = slot;
  ASSERT_EQ(WuFio_MakeTemplate(&slot, 0x02000001, src.get(), WUFIO_TEMPLATE_PART_AUDIO, 0,
                               u"New", u"Video: 25 fps\r\nkept"),
            S_OK);
  Record made(slot);
  EXPECT_EQ(slot, block);
  EXPECT_EQ(slot->version, 0x02000001u);
  EXPECT_EQ(slot->attributes, 7u);
  EXPECT_EQ(slot->id, 12);
  EXPECT_EQ(slot->common[0], 0x44);
  EXPECT_EQ(slot->audio.format[8], 0x11);
  EXPECT_EQ(slot->video.streamCount, 0u);  // video part not asked for, old one zeroed
  EXPECT_EQ(slot->video.output.biWidth, 0);
  EXPECT_EQ(std::memcmp(slot->PrivateData(), "abcdef", 6), 0);
  EXPECT_EQ(std::u16string(slot->GetName()), u"New");
  EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(slot)), u"kept");
}

TEST(WuFioTemplateMake, MakeIntoSlotHoldingTheSource) {
  // Longer texts force a new block; the source is freed only after the copy.
  tagWUTEMPLATExV2* slot = Source().release();
  ASSERT_EQ(WuFio_MakeTemplate(&slot, WUTEMPLATE_VERSION_V2, slot, 3, 4, u"Longer name", u"more"),
            S_OK);
  Record made(slot);
  EXPECT_EQ(slot->privateSize, 10);
  EXPECT_EQ(slot->id, 12);
  EXPECT_EQ(slot->video.source.biWidth, 320);
  EXPECT_EQ(slot->classId.Data1, 9u);
  EXPECT_EQ(std::memcmp(slot->PrivateData(), "abcdef\0\0\0", 10), 0);
  // The same with room: the block stays and keeps its settings.
  tagWUTEMPLATExV2* before = slot;
  ASSERT_EQ(WuFio_MakeTemplate(&slot, WUTEMPLATE_VERSION_V2, slot, 3, 0, u"L", u""), S_OK);
  EXPECT_EQ(slot, before);
  EXPECT_EQ(slot->video.source.biWidth, 320);
  EXPECT_EQ(std::memcmp(slot->PrivateData(), "abcdef", 6), 0);
}

TEST(WuFioTemplateMake, MakeErrorsLeaveSlot) {
  Record src = Source();
  tagWUTEMPLATExV2* slot = nullptr;
  EXPECT_EQ(WuFio_MakeTemplate(nullptr, 0, src.get(), 0, 0, u"", u""), E_POINTER);
  EXPECT_EQ(WuFio_MakeTemplate(&slot, 0, nullptr, 0, 0, u"", u""), E_POINTER);
  EXPECT_EQ(WuFio_MakeTemplate(&slot, 0, src.get(), 0, -1, u"", u""), E_INVALIDARG);
  src->totalSize = 540;  // texts and private data past the stated size
  EXPECT_EQ(WuFio_MakeTemplate(&slot, 0, src.get(), 0, 0, u"", u""), WU_E_BAD_DATA);
  EXPECT_EQ(slot, nullptr);
}

TEST(WuFioTemplateMake, GenerateFromStreamFormats) {
  _WUFILESTREAMFORMATINFOv2 a[2]{}, b[2]{};
  a[0].size = b[0].size = a[1].size = b[1].size = WUFILESTREAMFORMATINFO_SIZE;
  a[0].streamType = b[0].streamType = WUFILESTREAMTYPE_AUDIO;
  _wuwaveformat typed = Typed16Stereo(48000);
  std::memcpy(a[0].format, &typed, sizeof typed);
  a[0].extension.audio.bytes[0] = 0x5A;
  _wuwaveformat comp = Compressed(2, 0);
  std::memcpy(b[0].format, &comp, sizeof comp);
  a[1].streamType = b[1].streamType = WUFILESTREAMTYPE_VIDEO;
  BITMAPINFOHEADER src = Header(720, 576, 24, BI_RGB), nat = Header(720, 576, 16, WU_FOURCC_YUYV);
  std::memcpy(a[1].format, &src, sizeof src);
  std::memcpy(b[1].format, &nat, sizeof nat);
  a[1].extension.video.size = 64;
  tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  ASSERT_EQ(WuFio_GenerateTemplate(&out, a, b, 2, 0, u"Gen", u"n"), S_OK);
  Record r(out);
  EXPECT_EQ(r->version, WUTEMPLATE_VERSION_V2);
  EXPECT_EQ(r->audio.blockSize, 200u);
  EXPECT_EQ(At(r.get(), 72)->nSamplesPerSec, 48000u);
  EXPECT_EQ(At(r.get(), 72)->BitsPerSample(), 16);
  EXPECT_EQ(r->audio.encoderSettings[0], 0x5A);  // 112
  EXPECT_EQ(At(r.get(), 144)->FormatTag(), 0x55);
  EXPECT_EQ(r->video.source.biWidth, 720);        // 264
  EXPECT_EQ(r->video.settings[0], 64);            // 304
  EXPECT_EQ(r->video.output.biCompression, WU_FOURCC_YUYV);  // 368
  EXPECT_EQ(r->video.generated, 1u);               // 432
  EXPECT_EQ(std::u16string(r->GetName()), u"Gen");

  // Typed native audio is not compressed: 144 stays empty; a zero native
  // header leaves 368 empty.
  std::memcpy(b[0].format, &typed, sizeof typed);
  std::memset(b[1].format, 0, sizeof b[1].format);
  ASSERT_EQ(WuFio_GenerateTemplate(&out, a, b, 2, 0, nullptr, nullptr), S_OK);
  Record r2(out);
  EXPECT_TRUE(AllZero(Bytes(r2.get()) + 144, 96));
  EXPECT_TRUE(AllZero(Bytes(r2.get()) + 368, 40));
}

TEST(WuFioTemplateMake, GenerateReadsFormatsWithinTheirRoom) {
  _WUFILESTREAMFORMATINFOv2 a{};
  a.size = WUFILESTREAMFORMATINFO_SIZE;
  a.streamType = WUFILESTREAMTYPE_AUDIO;
  _wuwaveformat big = Compressed(2, 0);
  big.cbStruct = 5000;  // claims far more than the record holds
  big.cbExtra = 4966;
  std::memcpy(a.format, &big, sizeof big);
  tagWUTEMPLATExV2* out = nullptr;
  ASSERT_EQ(WuFio_GenerateTemplate(&out, &a, &a, 1, 0, u"", u""), S_OK);
  Record r(out);
  EXPECT_EQ(At(r.get(), 144)->FormatTag(), 0x55);
  EXPECT_TRUE(AllZero(Bytes(r.get()) + 240, 16));  // nothing past the 96-byte room
}

TEST(WuFioTemplateMake, InitBasicVideo) {
  tagWUTEMPLATExV2 r;
  BITMAPINFOHEADER yuy = Header(640, 480, 16, WU_FOURCC_YUYV);
  ASSERT_EQ(WuFio_InitBasicTemplate(&r, 0, nullptr, 1, &yuy, 25.0, 0, 1.0), S_OK);
  EXPECT_EQ(r.totalSize, 540u);
  EXPECT_EQ(r.version, WUTEMPLATE_VERSION_V2);
  EXPECT_EQ(r.audio.blockSize, 0u);
  EXPECT_EQ(r.video.blockSize, 200u);
  EXPECT_EQ(r.video.streamCount, 1u);
  EXPECT_EQ(r.video.output.biCompression, WU_FOURCC_YUYV);
  EXPECT_EQ(r.video.source.biCompression, BI_RGB);
  EXPECT_EQ(r.video.source.biBitCount, 32);
  EXPECT_EQ(r.video.source.biWidth, 640);
  EXPECT_EQ(r.video.source.biHeight, 480);
  double fps;
  std::memcpy(&fps, r.video.settings + 16, 8);
  EXPECT_EQ(fps, 25.0);

  BITMAPINFOHEADER rgb = Header(320, -240, 24, BI_RGB);
  ASSERT_EQ(WuFio_InitBasicTemplate(&r, 0, nullptr, 2, &rgb, 30.0, 0, 1.0), S_OK);
  EXPECT_EQ(r.video.source.biHeight, -240);
  EXPECT_EQ(r.video.streamCount, 2u);
  EXPECT_TRUE(AllZero(Bytes(&r) + 368, 40));
}

TEST(WuFioTemplateMake, InitBasicAudio) {
  tagWUTEMPLATExV2 r;
  _wuwaveformat comp = Compressed(2, 0);
  ASSERT_EQ(WuFio_InitBasicAudioTemplate(&r, &comp), S_OK);
  EXPECT_EQ(r.audio.streamCount, 1u);
  EXPECT_EQ(At(&r, 144)->FormatTag(), 0x55);
  EXPECT_EQ(At(&r, 72)->FormatTag(), 1);
  EXPECT_EQ(At(&r, 72)->BitsPerSample(), 16);
  EXPECT_EQ(At(&r, 72)->nSamplesPerSec, 48000u);
  EXPECT_EQ(At(&r, 72)->nChannels, 2);
  EXPECT_EQ(r.video.blockSize, 0u);

  comp = Compressed(2, 0x7);  // three speakers for two channels
  ASSERT_EQ(WuFio_InitBasicAudioTemplate(&r, &comp), S_OK);
  EXPECT_TRUE(AllZero(Bytes(&r) + 72, 40));
  EXPECT_EQ(At(&r, 144)->FormatTag(), 0x55);

  _wuwaveformat pcm = Typed16Stereo();
  ASSERT_EQ(WuFio_InitBasicAudioTemplate(&r, &pcm), S_OK);
  EXPECT_EQ(At(&r, 72)->nSamplesPerSec, 44100u);
  EXPECT_TRUE(AllZero(Bytes(&r) + 144, 96));
}

// 640x480 24-bit RGB at 25 fps with stereo 16-bit audio.
tagWUTEMPLATExV2 AudioVideo(LONG height = 480) {
  tagWUTEMPLATExV2 r;
  _wuwaveformat pcm = Typed16Stereo();
  BITMAPINFOHEADER rgb = Header(640, height, 24, BI_RGB);
  WuFio_InitBasicTemplate(&r, 1, &pcm, 1, &rgb, 25.0, 0, 1.0);
  return r;
}

TEST(WuFioTemplateMake, InfoSizesAndMissingParts) {
  tagWUTEMPLATExV2 r = AudioVideo(), none;
  WuFio_InitBasicTemplate(&none, 0, nullptr, 0, nullptr, 0, 0, 0);
  struct Case {
    const tagWUTEMPLATExV2* rec;
    DWORD parts, size, type;
    HRESULT hr;
  } cases[] = {
      {&r, 3, 1, 1, WU_E_BUFFER_TOO_SMALL},   {&r, 3, 1, 13, WU_E_BUFFER_TOO_SMALL},
      {&r, 3, 1, 14, WU_E_BUFFER_TOO_SMALL},  {&r, 3, 4, 4, WU_E_BUFFER_TOO_SMALL},
      {&r, 3, 3, 12, WU_E_BUFFER_TOO_SMALL},  {&r, 3, 32, 21, WU_E_BUFFER_TOO_SMALL},
      {&r, 3, 2, 1, S_OK},                    {&r, 3, 8, 99, 1},
      {&none, 3, 64, 2, 1}, {&none, 3, 64, 3, 1}, {&none, 3, 64, 4, 1},
      {&none, 3, 64, 21, 1}, {&none, 3, 64, 22, 1},
      {&r, 0, 64, 2, 1},  // parts not asked for count as missing
      {&r, 3, 0, 1, E_INVALIDARG},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " size " << c.size);
    BYTE buf[64];
    EXPECT_EQ(WuFio_GetTemplateInfo(c.rec, c.parts, buf, c.size, c.type), c.hr);
  }
  EXPECT_EQ(WuFio_GetTemplateInfo(nullptr, 3, &r, 4, 3), E_INVALIDARG);
  EXPECT_EQ(WuFio_GetTemplateInfo(&r, 3, nullptr, 4, 3), E_INVALIDARG);
  // Types 12 to 20 give 0 and zeros without their part.
  for (DWORD type = 12; type <= 20; ++type) {
    SCOPED_TRACE(type);
    BYTE buf[8];
    std::memset(buf, 0xCC, sizeof buf);
    EXPECT_EQ(WuFio_GetTemplateInfo(&none, 3, buf, 8, type), S_OK);
    EXPECT_TRUE(AllZero(buf, 8));
  }
}

template <typename T>
T Info(const tagWUTEMPLATExV2& r, DWORD parts, DWORD type, HRESULT expect = S_OK) {
  T v{};
  EXPECT_EQ(WuFio_GetTemplateInfo(&r, parts, &v, sizeof v, type), expect) << "type " << type;
  return v;
}

TEST(WuFioTemplateMake, InfoValues) {
  tagWUTEMPLATExV2 r = AudioVideo();
  EXPECT_EQ(Info<WORD>(r, 3, 1), 1);
  EXPECT_EQ(Info<WORD>(r, 3, 13), 16);
  EXPECT_EQ(Info<WORD>(r, 3, 14), 2);
  EXPECT_EQ(Info<DWORD>(r, 3, 2), BI_RGB);
  EXPECT_EQ(Info<DWORD>(r, 3, 3), 44100u * 4 * 8);
  EXPECT_EQ(Info<DWORD>(r, 3, 12), 44100u);
  EXPECT_EQ(Info<DWORD>(r, 3, 15), 3u);  // stereo, mask 0
  EXPECT_EQ(Info<LONG>(r, 3, 16), 640);
  EXPECT_EQ(Info<LONG>(r, 3, 17), 480);
  EXPECT_EQ(Info<double>(r, 3, 18), 25.0);
  EXPECT_EQ(Info<double>(r, 3, 19), 1.0);
  EXPECT_EQ(Info<ULONGLONG>(r, 3, 20), (480ull << 32) | 640u);
  // Stream counts whatever the part bits say.
  EXPECT_EQ(Info<DWORD>(r, 0, 10), 1u);
  EXPECT_EQ(Info<DWORD>(r, 0, 11), 1u);
  // An output header's compression wins over the source's.
  r.video.output.biCompression = WU_FOURCC_YUYV;
  EXPECT_EQ(Info<DWORD>(r, 3, 2), WU_FOURCC_YUYV);
  // An encoded format at 144 is the audio format; its rate may be unknown.
  _wuwaveformat comp = Compressed(1, 0);
  WuAudio_GeneralCopyWuWaveFormat(reinterpret_cast<_wuwaveformat*>(r.audio.encodedFormat), 96,
                                  comp, WUCOPYDEST_ASSOURCE);
  EXPECT_EQ(Info<WORD>(r, 3, 1), 0x55);
  EXPECT_EQ(Info<WORD>(r, 3, 14), 1);
  EXPECT_EQ(Info<DWORD>(r, 3, 3), 128000u);
  EXPECT_EQ(Info<DWORD>(r, 3, 15), 3u);  // always the format at 72
  r.audio.flags = 0x20;
  EXPECT_EQ(Info<DWORD>(r, 3, 3), 0u);
}

TEST(WuFioTemplateMake, VideoBitrate) {
  struct Case {
    LONG height;
    DWORD flags;
    LONGLONG stored;
    LONGLONG bits;
  } cases[] = {
      {480, 0, 0, 184320000},
      {480, 1, 0, 230400000},
      {-480, 0, 0, 184320000},  // top-down: the same size
      {480, 0, 1000, 8000},     // a stored rate wins
      {-480, 0, -5, 184320000}, // a negative stored rate is ignored
      // Rates from 2^62 bits per second on are unknown.
      {480, 0, (1LL << 59) - 1, ((1LL << 59) - 1) * 8},
      {480, 0, 1LL << 59, 0},
      {480, 0, 0x7FFFFFFFFFFFFFFF, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.height << " " << c.flags << " " << c.stored);
    tagWUTEMPLATExV2 r = AudioVideo(c.height);
    r.video.flags = c.flags;
    std::memcpy(r.video.bytesPerSecond, &c.stored, 8);
    EXPECT_EQ(Info<LONGLONG>(r, 2, 4), c.bits);
  }
  // Large frames do not overflow 32 bits.
  tagWUTEMPLATExV2 r;
  BITMAPINFOHEADER huge = Header(40000, -40000, 32, BI_RGB);
  WuFio_InitBasicTemplate(&r, 0, nullptr, 1, &huge, 2.0, 0, 1.0);
  EXPECT_EQ(Info<LONGLONG>(r, 2, 4), 40000LL * 40000 * 4 * 2 * 8);
  // A compressed output with an image size uses that size.
  r.video.output = Header(40000, 40000, 12, WuMakeFourCC('a', 'b', 'c', 'd'), 1000);
  EXPECT_EQ(Info<LONGLONG>(r, 2, 4), 1000LL * 2 * 8);
  // A frame rate from a file that gives no 64-bit rate: unknown.
  for (double rate : {1e300, -1e300, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(rate);
    std::memcpy(r.video.settings + 16, &rate, sizeof rate);
    EXPECT_EQ(Info<LONGLONG>(r, 2, 4), 0);
    LONGLONG bits = -1;
    EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 3, &bits), S_OK);
    EXPECT_EQ(bits, 0);
  }
}

TEST(WuFioTemplateMake, HeaderBytesPerFrame) {
  struct Case {
    BITMAPINFOHEADER header;
    ULONGLONG bytes;
  } cases[] = {
      {Header(640, 480, 24, BI_RGB), 921600},
      {Header(641, -480, 24, BI_RGB), 1924 * 480},  // rows padded to 4 bytes; top-down
      {Header(-640, 480, 24, BI_RGB), 0},
      {Header(0x7FFFFFFF, -0x7FFFFFFF - 1, 0xFFFF, BI_RGB), ~0ULL},  // beyond 64 bits: saturated
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.header.biWidth << "x" << c.header.biHeight);
    EXPECT_EQ(WuFio_HeaderBytesPerFrame(c.header), c.bytes);
  }
  // A video rate made from a saturated frame size is unknown.
  tagWUTEMPLATExV2 r = AudioVideo();
  r.video.source = cases[3].header;
  EXPECT_EQ(Info<LONGLONG>(r, 2, 4), 0);
}

TEST(WuFioTemplateMake, TemplateBitrate) {
  tagWUTEMPLATExV2 r = AudioVideo();
  LONGLONG bits = -1;
  EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 3, &bits), S_OK);
  EXPECT_EQ(bits, 184320000LL + 44100 * 4 * 8);
  EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 1, &bits), S_OK);
  EXPECT_EQ(bits, 44100 * 4 * 8);
  EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 2, &bits), S_OK);
  EXPECT_EQ(bits, 184320000LL);
  bits = -1;
  EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 0, &bits), E_NOTIMPL);
  EXPECT_EQ(bits, 0);
  EXPECT_EQ(WuFio_GetTemplateBitrate(&r, 3, nullptr), E_INVALIDARG);
  tagWUTEMPLATExV2 audioOnly;
  _wuwaveformat pcm = Typed16Stereo();
  WuFio_InitBasicAudioTemplate(&audioOnly, &pcm);
  EXPECT_EQ(WuFio_GetTemplateBitrate(&audioOnly, 2, &bits), 1);  // no video part
  EXPECT_EQ(WuFio_GetTemplateBitrate(&audioOnly, 3, &bits), 1);
}

}  // namespace
