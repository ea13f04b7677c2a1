#include "fileio/WuFioTemplateDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "audio/WuWaveFormat.h"
#include "foundation/WuLang.h"
#include "foundation/WuStatus.h"
#include "foundation/WuUIFont.h"
#include "platform/kernel/locale.h"
#include "platform/user/controls.h"
#include "platform/user/window_model.h"

namespace {

class WuFioTemplateDescriptionTest : public ::testing::Test {
 public:  // the case table's lambdas reach the fixture
  void SetUp() override {
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    WuLang_GetInternationals(nullptr, 0);
    std::memset(&tpl_, 0, sizeof(tpl_));
    tpl_.totalSize = WUTEMPLATE_MIN_SIZE;
    tpl_.version = WUTEMPLATE_VERSION_V2;
  }
  void TearDown() override {
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
  }
  BYTE* At(DWORD offset) { return reinterpret_cast<BYTE*>(&tpl_) + offset; }
  void Audio(DWORD count = 1) {
    tpl_.audio.blockSize = 200;
    tpl_.audio.streamCount = count;
    _wuwaveformat f{};
    f.Init(48000, WUSAMPLE_PCM16, 2, 0, 32);
    std::memcpy(At(72), &f, 32);
  }
  // 25 fps, 720x576 in the source header, progressive.
  void Video(double rate = 25.0, DWORD count = 1) {
    tpl_.video.blockSize = 200;
    tpl_.video.streamCount = count;
    tpl_.video.source.biSize = 40;
    tpl_.video.source.biWidth = 720;
    tpl_.video.source.biHeight = 576;
    std::memcpy(At(304 + 16), &rate, 8);
  }
  std::u16string Describe(DWORD parts = 0, int size = 512) {
    WCHAR out[512];
    EXPECT_EQ(WuFio_MakeTemplateDescription(&tpl_, parts, out, size), S_OK);
    return out;
  }
  WUTEMPLATExV2 tpl_;
};

TEST_F(WuFioTemplateDescriptionTest, AudioAndVideoLines) {
  EXPECT_EQ(Describe(), u"");  // no streams, no flags
  Video();
  EXPECT_EQ(Describe(), u"Video: 25 fps, 720x576, Progressive\r\n");
  Audio();
  const std::u16string both =
      u"Audio: 48,000 Hz, 16 Bit, Stereo, PCM\r\nVideo: 25 fps, 720x576, Progressive\r\n";
  EXPECT_EQ(Describe(), both);
  EXPECT_EQ(Describe(1), u"Audio: 48,000 Hz, 16 Bit, Stereo, PCM\r\n");
  EXPECT_EQ(Describe(2), u"Video: 25 fps, 720x576, Progressive\r\n");
  // A small buffer is cut cleanly, never past its size.
  WCHAR small[20];
  small[16] = u'#';
  EXPECT_EQ(WuFio_MakeTemplateDescription(&tpl_, 0, small, 16), S_OK);
  EXPECT_EQ(std::u16string(small), both.substr(0, 15));
  EXPECT_EQ(small[16], u'#');
}

TEST_F(WuFioTemplateDescriptionTest, VideoVariants) {
  struct Case {
    const char* what;
    void (*change)(WuFioTemplateDescriptionTest&);
    const char16_t* text;
  } cases[] = {
      {"fraction", [](WuFioTemplateDescriptionTest& t) { t.Video(29.97); },
       u"Video: 29.970 fps, 720x576, Progressive\r\n"},
      {"project rate", [](WuFioTemplateDescriptionTest& t) { t.Video(0); },
       u"Video: Project Frame Rate, 720x576, Progressive\r\n"},
      {"no size",
       [](WuFioTemplateDescriptionTest& t) { t.tpl_.video.source.biWidth = 0; },
       u"Video: 25 fps, Project Frame Size, Progressive\r\n"},
      {"3-2", [](WuFioTemplateDescriptionTest& t) { t.tpl_.video.flags = 1; },
       u"Video: 25 fps inserting 3-2 pulldown, 720x576, Progressive\r\n"},
      {"2-3-3-2", [](WuFioTemplateDescriptionTest& t) { t.tpl_.video.flags = 3; },
       u"Video: 25 fps inserting 2-3-3-2 pulldown, 720x576, Progressive\r\n"},
      {"vbr", [](WuFioTemplateDescriptionTest& t) { t.tpl_.video.flags = 0x30; },
       u"Video: 25 fps, 720x576, Progressive, VBR\r\n"},
      {"cbr",
       [](WuFioTemplateDescriptionTest& t) {
         t.tpl_.video.flags = 0x10;
         const LONGLONG bps = 1000000;  // 8 Mbps
         std::memcpy(t.At(440), &bps, 8);
       },
       u"Video: 25 fps, 720x576, Progressive, 8 Mbps\r\n"},
      {"streams", [](WuFioTemplateDescriptionTest& t) { t.Video(25.0, 2); },
       u"Video: 2 Streams, 25 fps, 720x576, Progressive\r\n"},
      {"multistream", [](WuFioTemplateDescriptionTest& t) { t.Video(25.0, 0xFFFFFF00u); },
       u"Video: Multistream, 25 fps, 720x576, Progressive\r\n"},
      {"no interlace",
       [](WuFioTemplateDescriptionTest& t) {
         const LONG none = -1;
         std::memcpy(t.At(304 + 12), &none, 4);
       },
       u"Video: 25 fps, 720x576\r\n"},
      {"output, top-down, codec",
       [](WuFioTemplateDescriptionTest& t) {
         t.tpl_.video.output.biSize = 40;
         t.tpl_.video.output.biWidth = 640;
         t.tpl_.video.output.biHeight = -480;
         t.tpl_.video.output.biCompression = 0x32595559;  // 'YUY2'
       },
       u"Video: 25 fps, 640x480, Progressive, YUV\r\n"},
      {"aspect",
       [](WuFioTemplateDescriptionTest& t) {
         const double par = 1.0926;
         std::memcpy(t.At(304 + 24), &par, 8);
       },
       u"Video: 25 fps, 720x576, Progressive\r\nPixel Aspect Ratio: 1.093\r\n"},
  };
  for (const Case& c : cases) {
    SetUp();
    Video();
    c.change(*this);
    EXPECT_EQ(Describe(), c.text) << c.what;
  }
}

TEST_F(WuFioTemplateDescriptionTest, AudioFormatsAndFlagLines) {
  Audio(2);
  // An encoded format wins over the source format; its bit rate comes first.
  _wuwaveformat mp3{};
  mp3.InitAsWfx(0x55, 44100, 0, 2, 0, 32);
  mp3.nBlockAlign = 1;
  mp3.nAvgBytesPerSec = 16000;
  mp3.cbStruct = 5000;  // claims more than its room: read within the 96 bytes
  std::memcpy(At(144), &mp3, 32);
  EXPECT_EQ(Describe(), u"Audio: 2 Streams, 128 Kbps, 44,100 Hz, Stereo, MP3\r\n");

  std::memset(At(144), 0, 96);
  const DWORD flags = 0x1 | 0x2 | 0x4 | 0x10 | 0x20 | 0x40 | 0x1000;
  std::memcpy(At(456), &flags, 4);
  const std::u16string audioOnly =
      u"Audio: 2 Streams, 48,000 Hz, 16 Bit, Stereo, PCM\r\nElementary Stream\r\n"
      u"Transport Stream\r\nMultifile\r\nMUI\r\nExternal Metadata\r\nNo External Metadata\r\n";
  EXPECT_EQ(Describe(), audioOnly);  // "No Interleave" needs both parts
  Video();
  EXPECT_NE(Describe().find(u"MUI\r\nNo Interleave\r\nExternal Metadata"), std::u16string::npos);
  EXPECT_EQ(Describe(1), audioOnly);

  WCHAR out[8];
  EXPECT_EQ(WuFio_MakeTemplateDescription(nullptr, 0, out, 8), E_INVALIDARG);
  EXPECT_EQ(WuFio_MakeTemplateDescription(&tpl_, 0, out, 0), E_INVALIDARG);
  tpl_.privateSize = -1;
  EXPECT_EQ(WuFio_MakeTemplateDescription(&tpl_, 0, out, 8), WU_E_BAD_DATA);
}

TEST_F(WuFioTemplateDescriptionTest, DropDownWidthFollowsWidestItem) {
  HWND combo = CreateWindowExW(0, WC_COMBOBOXW, u"", WS_POPUP | CBS_DROPDOWNLIST, 0, 0, 100,
                               200, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(combo, nullptr);
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
  const std::u16string longItem(600, u'W');
  for (const char16_t* item : {u"a", longItem.c_str(), u"bb"})
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  WuRefreshComboBoxDropDownWidth(combo);
  SIZE extent{};
  ASSERT_TRUE(WuGetTextExtent(font, longItem.c_str(), 600, &extent));
  ASSERT_GT(extent.cx, 0);
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDWIDTH, 0, 0),
            extent.cx + GetSystemMetrics(SM_CXHSCROLL) + 5);
  DestroyWindow(combo);
}

}  // namespace
