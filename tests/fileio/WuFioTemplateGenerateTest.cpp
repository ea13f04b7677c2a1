// Templates generated from open streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateMake.h"
#include "imaging/WuPixelTypes.h"

namespace {

// The stream methods the generator does not use.
#define WU_UNUSED_STREAM_METHODS                                                   \
  ULONG AddRef() override { return 2; }                                          \
  ULONG Release() override { return 1; }                                         \
  HRESULT GetClass(IWuReadFileClass**) override { return E_NOTIMPL; }            \
  HRESULT GetFile(IWuReadFile**) override { return E_NOTIMPL; }                  \
  HRESULT GetStreamType(DWORD*) override { return E_NOTIMPL; }                   \
  HRESULT GetStreamIndex(LONG*) override { return E_NOTIMPL; }                   \
  HRESULT GetLength(LONGLONG*) override { return E_NOTIMPL; }                    \
  HRESULT Seek(LONGLONG) override { return E_NOTIMPL; }                          \
  HRESULT GetPosition(LONGLONG*) override { return E_NOTIMPL; }                  \
  HRESULT Read(void*, DWORD, DWORD*) override { return E_NOTIMPL; }

// An audio stream giving 48 kHz 16-bit stereo and, when asked, a
// compressed format; its format query fails on request.
class AudioStream final : public IWuReadAudioStream {
 public:
  HRESULT formatStatus = S_OK;
  bool compressed = true;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualGUID(iid, IID_IWuReadAudioStream) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  WU_UNUSED_STREAM_METHODS
  HRESULT ReadSamples(void*, LONGLONG, LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT GetSampleCount(LONGLONG*) override { return E_NOTIMPL; }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* f) override {
    if (FAILED(formatStatus)) return formatStatus;
    EXPECT_EQ(f->size, WUFILESTREAMFORMATINFO_SIZE);
    f->streamType = WUFILESTREAMTYPE_AUDIO;
    reinterpret_cast<_wuwaveformat*>(f->format)->Init(48000, WUSAMPLE_PCM16, 2, 0, 32);
    f->extension.audio.bytes[3] = 0x33;
    return S_OK;
  }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* f) override {
    if (!compressed) return E_NOTIMPL;
    WAVEFORMATEX wfx{0x55, 2, 48000, 24000, 1, 0, 0};
    reinterpret_cast<_wuwaveformat*>(f->format)->Init(32, wfx);
    return S_OK;
  }
  HRESULT GetSampleType(DWORD*) override { return E_NOTIMPL; }
  HRESULT SetSampleType(DWORD) override { return E_NOTIMPL; }
  HRESULT GetChannelCount(LONG*) override { return E_NOTIMPL; }
  HRESULT GetSampleRate(DWORD*) override { return E_NOTIMPL; }
};

// A video stream: 640x480 24-bit at 25 fps, a compressed format unless
// told otherwise.
class VideoStream final : public IWuReadVideoStreamFormat {
 public:
  HRESULT formatStatus = S_OK;
  bool compressed = true;
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = IsEqualGUID(iid, IID_IWuReadVideoStreamFormat) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
  }
  WU_UNUSED_STREAM_METHODS
  HRESULT GetFormatKinds(DWORD*) override { return E_NOTIMPL; }
  HRESULT GetStreamFormat(_WUFILESTREAMFORMATINFOv2* f) override {
    if (FAILED(formatStatus)) return formatStatus;
    f->streamType = WUFILESTREAMTYPE_VIDEO;
    BITMAPINFOHEADER h{40, 640, -480, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::memcpy(f->format, &h, sizeof h);
    f->extension.video.size = 64;
    const double fps = 25.0;
    std::memcpy(reinterpret_cast<BYTE*>(&f->extension.video) + 16, &fps, 8);
    return S_OK;
  }
  HRESULT GetCompressedFormat(_WUFILESTREAMFORMATINFOv2* f) override {
    if (!compressed) return E_FAIL;
    BITMAPINFOHEADER h{40, 640, 480, 1, 12, WU_FOURCC_I420, 460800, 0, 0, 0, 0};
    std::memcpy(f->format, &h, sizeof h);
    return S_OK;
  }
};

TEST(WuFioTemplateGenerate, FromStreams) {
  AudioStream audio;
  VideoStream video;
  IWuReadStream* streams[2] = {&audio, &video};
  const DWORD kinds[2] = {1, 2};
  tagWUTEMPLATExV2* out = nullptr;
  ASSERT_EQ(WuFio_GenerateTemplate(&out, streams, 2, kinds, 4), S_OK);
  EXPECT_EQ(std::u16string(out->GetName()), u"Auto-generated");
  EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(out)), u"from GenerateTemplate");
  EXPECT_EQ(out->privateSize, 4);
  const auto* a72 = reinterpret_cast<const _wuwaveformat*>(out->audio.format);
  const auto* a144 = reinterpret_cast<const _wuwaveformat*>(out->audio.encodedFormat);
  EXPECT_EQ(a72->nSamplesPerSec, 48000u);
  EXPECT_EQ(a144->FormatTag(), 0x55);
  EXPECT_EQ(out->audio.encoderSettings[3], 0x33);
  EXPECT_EQ(out->video.source.biHeight, -480);
  EXPECT_EQ(out->video.output.biCompression, WU_FOURCC_I420);
  EXPECT_EQ(out->video.generated, 1u);
  LONGLONG rate;
  std::memcpy(&rate, out->video.bytesPerSecond, 8);
  EXPECT_EQ(rate, 0);
  WuFio_ReleaseTemplate(out);

  // Without a compressed video format the data rate comes from the frame
  // size (magnitude of the top-down height) and the frame rate.
  video.compressed = false;
  audio.compressed = false;
  ASSERT_EQ(WuFio_GenerateTemplate(&out, streams, 2, kinds, 0), S_OK);
  std::memcpy(&rate, out->video.bytesPerSecond, 8);
  EXPECT_EQ(rate, 640LL * 3 * 480 * 25);
  EXPECT_EQ(reinterpret_cast<const _wuwaveformat*>(out->audio.encodedFormat)->cbStruct, 0u);
  WuFio_ReleaseTemplate(out);
}

TEST(WuFioTemplateGenerate, FailingStreams) {
  AudioStream audio;
  VideoStream video;
  IWuReadStream* streams[2] = {&audio, &video};
  const DWORD kinds[2] = {1, 2};
  tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  video.formatStatus = E_ACCESSDENIED;  // the last stream fails: nothing made
  EXPECT_EQ(WuFio_GenerateTemplate(&out, streams, 2, kinds, 0), E_ACCESSDENIED);
  EXPECT_EQ(out, nullptr);
  // A failing earlier stream only loses its part.
  video.formatStatus = S_OK;
  audio.formatStatus = E_FAIL;
  ASSERT_EQ(WuFio_GenerateTemplate(&out, streams, 2, kinds, 0), S_OK);
  EXPECT_EQ(out->video.source.biWidth, 640);
  EXPECT_EQ(out->audio.blockSize, 0u);  // the audio part was not asked for
  WuFio_ReleaseTemplate(out);
  // A stream without the interface asked for fails likewise.
  const DWORD wrong[2] = {1, 1};
  EXPECT_EQ(WuFio_GenerateTemplate(&out, streams, 2, wrong, 0), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
}

}  // namespace
