// Developer output: device mode to a profile-named file, the serial ports
// and their fall-back, control codes, the 640-byte bound, and the screen
// box.
#include <gtest/gtest.h>

#include <string>

#include "foundation/WuDebug.h"
#include "platform/kernel/comm.h"
#include "platform/gdi/gdi.h"
#include "platform/registry/profile.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::ReadBytes;
using wutest::U16;

class WuDebugTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("debug");
    WriteProfileStringW(u"Debug", nullptr, nullptr);
    WuDebugString_Terminate();
    for (const char16_t* device : {u"COM1", u"AUX"}) {
      platform::SetCommDevicePresent(device, true);
      platform::SetCommDeviceFile(device, dir_ + "/" + wutest::U8(device));
    }
  }
  void TearDown() override {
    WuDebugString_Terminate();
    WriteProfileStringW(u"Debug", nullptr, nullptr);
    platform::SetCommDevicePresent(u"COM1", true);
    platform::SetCommDeviceFile(u"COM1", "");
    platform::SetCommDeviceFile(u"AUX", "");
  }

  std::string dir_;
};

TEST_F(WuDebugTest, ProfileNamedFileReceivesTheOutputAtItsEnd) {
  const std::string path = dir_ + "/out.txt";
  wutest::WriteBytes(path, "earlier\r\n");
  WriteProfileStringW(u"Debug", u"LogToFilePath", U16(path).c_str());
  EXPECT_TRUE(WuDebugString(u"caf\u00e9", TRUE, WUDEBUG_DEVICE));
  EXPECT_TRUE(WuDebugString(u"no end", FALSE, WUDEBUG_DEVICE));
  EXPECT_TRUE(WuDebugString(nullptr, TRUE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(path), "earlier\r\ncaf\xe9\r\nno end\r\n");
  EXPECT_EQ(ReadBytes(dir_ + "/COM1"), "");
}

TEST_F(WuDebugTest, AFileKeepsNoPartOfATextThatDidNotFit) {
  const std::string path = dir_ + "/full.txt";
  wutest::WriteBytes(path, "earlier\r\n");
  WriteProfileStringW(u"Debug", u"LogToFilePath", U16(path).c_str());
  {
    wutest::FileSizeLimit limit(20);  // a disk that fills part-way through the text
    EXPECT_FALSE(WuDebugString(u"a text longer than the room left", TRUE, WUDEBUG_DEVICE));
  }
  EXPECT_EQ(ReadBytes(path), "earlier\r\n");
  EXPECT_TRUE(WuDebugString(u"next", TRUE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(path), "earlier\r\nnext\r\n");
}

TEST_F(WuDebugTest, DefaultIsCOM1FallingBackToAUX) {
  struct Case {
    bool com1_present;
    const char* receiver;
  };
  for (const Case& c : {Case{true, "COM1"}, Case{false, "AUX"}}) {
    SCOPED_TRACE(c.receiver);
    WuDebugString_Terminate();
    platform::SetCommDevicePresent(u"COM1", c.com1_present);
    EXPECT_TRUE(WuDebugString(u"line", TRUE, WUDEBUG_DEVICE));
    EXPECT_EQ(ReadBytes(dir_ + "/" + c.receiver), "line\r\n");
    DCB dcb{};
    ASSERT_TRUE(platform::CommDeviceState(U16(c.receiver), &dcb, nullptr));
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
  }
}

TEST_F(WuDebugTest, UnopenablePathDiscardsOutput) {
  // Only "COM1" falls back to "AUX"; other names that fail stay silent.
  WriteProfileStringW(u"Debug", u"LogToFilePath", U16(dir_ + "/missing/out.txt").c_str());
  EXPECT_FALSE(WuDebugString(u"lost", TRUE, WUDEBUG_DEVICE));
  EXPECT_FALSE(WuDebugString(u"lost again", TRUE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(dir_ + "/AUX"), "");

  // A path longer than a path field is not opened under its cut name.
  WuDebugString_Terminate();
  const std::string long_path = dir_ + "/" + std::string(300 - dir_.size(), 'd');
  const std::string cut = long_path.substr(0, MAX_PATH - 1);
  WriteProfileStringW(u"Debug", u"LogToFilePath", U16(long_path).c_str());
  EXPECT_FALSE(WuDebugString(u"lost", TRUE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(cut), "");
  EXPECT_EQ(ReadBytes(dir_ + "/AUX"), "");

  WuDebugString_Terminate();
  platform::SetCommDevicePresent(u"COM1", false);
  platform::SetCommDevicePresent(u"AUX", false);
  WriteProfileStringW(u"Debug", u"LogToFilePath", u"COM1");
  EXPECT_FALSE(WuDebugString(u"lost", TRUE, WUDEBUG_DEVICE));
  platform::SetCommDevicePresent(u"AUX", true);
}

TEST_F(WuDebugTest, ControlCodeSendsTheTextWithALineFeed) {
  WriteProfileStringW(u"Debug", u"LogToFilePath", u"AUX");
  WriteProfileStringW(u"Debug", u"DeviceIoctl", u"2236416");
  EXPECT_TRUE(WuDebugString(u"abc", TRUE, WUDEBUG_DEVICE));
  EXPECT_TRUE(WuDebugString(u"def", FALSE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(dir_ + "/AUX"), "abc\ndef");
  DWORD code = 0;
  ASSERT_TRUE(platform::CommDeviceState(u"AUX", nullptr, &code));
  EXPECT_EQ(code, 2236416u);
}

TEST_F(WuDebugTest, LongTextIsCutSoThatTheLineEndFits) {
  const std::string path = dir_ + "/long.txt";
  WriteProfileStringW(u"Debug", u"LogToFilePath", U16(path).c_str());
  const std::u16string text(1000, u'x');
  EXPECT_TRUE(WuDebugString(text.c_str(), TRUE, WUDEBUG_DEVICE));
  EXPECT_EQ(ReadBytes(path), std::string(WUDEBUG_DEVICE_BUFFER - 3, 'x') + "\r\n");
}

TEST_F(WuDebugTest, ScreenBoxAndTextPosition) {
  WriteProfileStringW(u"Debug", u"LogToScreenLines", u"3");
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
  SIZE zero{}, ab{};
  GetTextExtentPoint32W(dc, u"0", 1, &zero);
  GetTextExtentPoint32W(dc, u"ab", 2, &ab);
  const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  ASSERT_GT(zero.cy, 0);

  EXPECT_TRUE(WuDebugString(u"ab", FALSE, WUDEBUG_SCREEN));
  RECT box{};
  POINT at{};
  WuDebugString_GetScreenState(&box, &at);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.right, width - 80);
  EXPECT_EQ(box.bottom, height);
  EXPECT_EQ(box.top, height - 3 * zero.cy);
  EXPECT_EQ(at.x, ab.cx);
  EXPECT_EQ(at.y, box.top);

  EXPECT_TRUE(WuDebugString(u"ab", TRUE, WUDEBUG_SCREEN));
  WuDebugString_GetScreenState(nullptr, &at);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.y, box.top + zero.cy);
  // Two more lines fill the box; the next text starts at its top again.
  WuDebugString(u"2", TRUE, WUDEBUG_SCREEN);
  WuDebugString(u"3", TRUE, WUDEBUG_SCREEN);
  EXPECT_TRUE(WuDebugString(u"ab", FALSE, WUDEBUG_SCREEN));
  WuDebugString_GetScreenState(nullptr, &at);
  EXPECT_EQ(at.x, ab.cx);
  EXPECT_EQ(at.y, box.top);
}

}  // namespace
