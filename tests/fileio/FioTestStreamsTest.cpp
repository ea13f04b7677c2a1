// Stream formats asked of files and streams the test reader opens, in
// both versions, through the helpers that fill and convert the records.
#include <cstring>

#include "audio/WuWaveFormat.h"
#include "fileio/WuFioStreamFormat.h"
#include "fileio/WuFioTemplate.h"
#include "fileio/WuFioTemplateMake.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

constexpr HRESULT kBadData = static_cast<HRESULT>(0x8004E00B);

class StreamsTest : public FioManagerTest {
 protected:
  void SetUp() override {
    FioManagerTest::SetUp();
    WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
    app_ = Create(0);
    ASSERT_NE(app_, nullptr);
  }
  void TearDown() override {
    if (file_) file_->Release();
    if (app_) app_->Release();
    FioManagerTest::TearDown();
  }
  // Opens a test file whose head asks for `mode` answers and the stream
  // query `fail` to fail.
  IWuReadFile* Open(char mode, char fail = 'x') {
    std::string name = std::string("s") + mode + fail + ".tst";
    wutest::WriteBytes(dir_ + "/" + name, std::string("TST1") + mode + fail + "yz");
    if (file_) file_->Release();
    file_ = nullptr;
    EXPECT_EQ(app_->OpenFile(U16(dir_ + "/" + name).c_str(), &file_, 0), S_OK);
    return file_;
  }
  // Asks the file for a stream's format as a version-2 caller does, then
  // converts a version-1 answer.
  HRESULT Ask(LONG stream, _WUFILESTREAMFORMATINFOv2* record) {
    std::memset(record, 0, sizeof(*record));
    record->size = WUFILESTREAMFORMATINFO_SIZE;
    HRESULT hr = file_->GetStreamFormat(record, stream, 2);
    if (FAILED(hr)) return hr;
    return WuFio_ConvertToV2ifV1(file_, stream, record, WUFILESTREAMFORMATINFO_SIZE);
  }

  IWuFileIOMgrForApp* app_ = nullptr;
  IWuReadFile* file_ = nullptr;
};

void ExpectAudio(const _WUFILESTREAMFORMATINFOv2& record, bool fromV1) {
  EXPECT_EQ(record.size, WUFILESTREAMFORMATINFO_SIZE);
  EXPECT_EQ(record.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(record.length, kAudioLength);
  _wuwaveformat wave;
  std::memcpy(&wave, record.format, sizeof(wave));
  EXPECT_EQ(wave.nSamplesPerSec, kStreamRate);
  EXPECT_EQ(wave.nChannels, kStreamChannels);
  EXPECT_EQ(wave.nBlockAlign, kStreamChannels * 2);
  EXPECT_EQ(record.extension.audio.bytes[31], kAudioExtensionByte);
  EXPECT_EQ(record.values[0], fromV1 ? kV1Values[0] : 0u);
  EXPECT_EQ(record.values[1], fromV1 ? kV1Values[1] : 0u);
}

void ExpectVideo(const _WUFILESTREAMFORMATINFOv2& record) {
  EXPECT_EQ(record.size, WUFILESTREAMFORMATINFO_SIZE);
  EXPECT_EQ(record.streamType, WUFILESTREAMTYPE_VIDEO);
  EXPECT_EQ(record.length, kVideoLength);
  BITMAPINFOHEADER header;
  std::memcpy(&header, record.format, sizeof(header));
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biWidth, kVideoWidth);
  EXPECT_EQ(header.biHeight, kVideoHeight);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(record.extension.video.frameRate, kVideoRate);
  EXPECT_EQ(record.extension.video.interlace, -1);
}

TEST_F(StreamsTest, FileAnswersInVersionTwoOrOne) {
  _WUFILESTREAMFORMATINFOv2 record;
  ASSERT_NE(Open(kAnswerV2), nullptr);
  EXPECT_EQ(Ask(0, &record), 1) << "a version-2 answer needs no conversion";
  ExpectAudio(record, false);
  EXPECT_EQ(Ask(1, &record), 1);
  ExpectVideo(record);

  for (char mode : {kAnswerV1, kAnswerV1Pcm16}) {
    ASSERT_NE(Open(mode), nullptr);
    EXPECT_EQ(Ask(0, &record), S_OK) << mode;
    ExpectAudio(record, true);
    EXPECT_EQ(Ask(1, &record), S_OK) << mode;
    ExpectVideo(record);
  }
  // A first answer whose buffers are missing names the sizes it needs.
  std::memset(&record, 0, sizeof(record));
  record.size = WUFILESTREAMFORMATINFO_SIZE;
  ASSERT_EQ(file_->GetStreamFormat(&record, 0, 2), S_OK);
  _WUFILESTREAMFORMATINFOv1 v1;
  std::memcpy(&v1, &record, sizeof(v1));
  EXPECT_EQ(v1.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(v1.formatNeeded, 16u);
  EXPECT_EQ(v1.extensionNeeded, 32u);
}

TEST_F(StreamsTest, AnAnswerClaimingAGibibyteIsRefused) {
  ASSERT_NE(Open(kAnswerV1Huge), nullptr);
  _WUFILESTREAMFORMATINFOv2 record;
  EXPECT_EQ(Ask(0, &record), kBadData);
  EXPECT_EQ(record.size, WUFILESTREAMFORMATINFO_SIZE);
}

TEST_F(StreamsTest, StreamsAnswerThroughTheirCurrentAndOldInterfaces) {
  ASSERT_NE(Open(kAnswerV2), nullptr);
  IWuReadStream* audio = nullptr;
  IWuReadStream* video = nullptr;
  ASSERT_EQ(file_->OpenStream(&audio, 0, WUFILESTREAMTYPE_AUDIO, 0, nullptr), S_OK);
  ASSERT_EQ(file_->OpenStream(&video, 1, WUFILESTREAMTYPE_VIDEO, 0, nullptr), S_OK);

  _WUFILESTREAMFORMATINFOv2 record = {};
  EXPECT_EQ(WuFio_FillStreamFormatInfo(audio, WUFILESTREAMTYPE_AUDIO, &record), S_OK);
  ExpectAudio(record, false);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(video, WUFILESTREAMTYPE_VIDEO, &record), S_OK);
  ExpectVideo(record);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(video, WUFILESTREAMTYPE_OTHER, &record), E_INVALIDARG);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(audio, WUFILESTREAMTYPE_VIDEO, &record), E_NOINTERFACE);

  _WUFILESTREAMFORMATINFOv1 v1;
  std::memset(&v1, 0xCC, sizeof(v1));
  EXPECT_EQ(WuFio_FillStreamFormatInfo(audio, WUFILESTREAMTYPE_AUDIO, &v1), S_OK);
  EXPECT_EQ(v1.streamType, WUFILESTREAMTYPE_AUDIO);
  EXPECT_EQ(v1.formatNeeded, 18u);
  EXPECT_EQ(v1.extensionNeeded, 32u);
  EXPECT_EQ(v1.length, kAudioLength);
  EXPECT_EQ(v1.values[1], kV1Values[1]);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(video, WUFILESTREAMTYPE_VIDEO, &v1), S_OK);
  EXPECT_EQ(v1.formatNeeded, 40u);
  EXPECT_EQ(v1.extensionNeeded, 64u);
  EXPECT_EQ(v1.length, kVideoLength);
  EXPECT_EQ(WuFio_FillStreamFormatInfo(audio, WUFILESTREAMTYPE_OTHER, &v1), E_INVALIDARG);
  audio->Release();
  video->Release();
}

// Templates generated from the plug-in's open streams, each of whose
// format queries can be made to fail.
TEST_F(StreamsTest, TemplatesAreGeneratedFromOpenStreams) {
  const LONGLONG kFrameRate = LONGLONG{kVideoWidth} * 3 * kVideoHeight * 25;
  struct Case {
    char fail;        // the failing query
    HRESULT status;   // of the generation
    bool audio;       // audio part made
    WORD encodedTag;  // tag at 144 (0: nothing there)
    LONGLONG rate;    // bytes per second at 440
  };
  const Case cases[] = {
      {'x', S_OK, true, kAudioCompressedTag, 0},
      {kFailAudioCompressed, S_OK, true, 0, 0},
      {kFailVideoCompressed, S_OK, true, kAudioCompressedTag, kFrameRate},
      {kFailAudioFormat, S_OK, false, 0, 0},  // an earlier stream only loses its part
      {kFailVideoFormat, kStreamFailure, false, 0, 0},  // the last stream: nothing made
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fail);
    ASSERT_NE(Open(kAnswerV2, c.fail), nullptr);
    IWuReadStream* streams[2] = {};
    ASSERT_EQ(file_->OpenStream(&streams[0], 0, WUFILESTREAMTYPE_AUDIO, 0, nullptr), S_OK);
    ASSERT_EQ(file_->OpenStream(&streams[1], 1, WUFILESTREAMTYPE_VIDEO, 0, nullptr), S_OK);
    const DWORD kinds[2] = {1, 2};
    tagWUTEMPLATExV2* out = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    EXPECT_EQ(WuFio_GenerateTemplate(&out, streams, 2, kinds, 8), c.status);
    streams[0]->Release();
    streams[1]->Release();
    if (FAILED(c.status)) {
      EXPECT_EQ(out, nullptr);
      continue;
    }
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::u16string(out->GetName()), u"Auto-generated");
    EXPECT_EQ(std::u16string(WuFio_GetTemplateNotesPtr(out)), u"from GenerateTemplate");
    EXPECT_EQ(out->privateSize, 8);
    const auto* a72 = reinterpret_cast<const _wuwaveformat*>(out->audio.format);
    const auto* a144 = reinterpret_cast<const _wuwaveformat*>(out->audio.encodedFormat);
    EXPECT_EQ(out->audio.blockSize != 0, c.audio);
    EXPECT_EQ(a72->nSamplesPerSec, c.audio ? kStreamRate : 0u);
    EXPECT_EQ(a72->nChannels, c.audio ? kStreamChannels : 0);
    EXPECT_EQ(out->audio.encoderSettings[31], c.audio ? kAudioExtensionByte : 0);
    EXPECT_EQ(a144->cbStruct != 0 ? a144->FormatTag() : 0, c.encodedTag);
    EXPECT_EQ(out->video.source.biWidth, kVideoWidth);
    EXPECT_EQ(out->video.source.biHeight, kVideoHeight);
    EXPECT_EQ(out->video.output.biCompression, c.rate ? 0u : kVideoCompression);
    LONGLONG rate = -1;
    std::memcpy(&rate, out->video.bytesPerSecond, 8);
    EXPECT_EQ(rate, c.rate);
    WuFio_ReleaseTemplate(out);
  }
}

}  // namespace
}  // namespace fio_test
