// Serial devices: which names open a device, the backing file, presence,
// line settings and control requests.
#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/comm.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::ReadBytes;
using wutest::U16;

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = wutest::MakeTempDir("comm");
    platform::SetCommDeviceFile(u"COM3", dir_ + "/com3");
  }
  void TearDown() override {
    platform::SetCommDeviceFile(u"COM3", "");
    platform::SetCommDevicePresent(u"COM3", true);
  }
  static HANDLE Open(const char16_t* name, DWORD share = 0) {
    return CreateFileW(name, GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr);
  }

  std::string dir_;
};

TEST_F(CommTest, DeviceNames) {
  struct Case {
    const char16_t* name;
    const char16_t* device;
  };
  const Case cases[] = {
      {u"COM1", u"COM1"}, {u"com9", u"COM9"},  {u"aux", u"AUX"},   {u"\\\\.\\COM3", u"COM3"},
      {u"COM3:", u"COM3"}, {u"COM0", u""},     {u"COM10", u""},    {u"C:\\x\\COM1", u""},
      {u"AUXX", u""},      {u"", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(platform::CommDeviceName(c.name), std::u16string(c.device)) << wutest::U8(c.name);
}

TEST_F(CommTest, WritesGoToTheDeviceFileAtItsEnd) {
  wutest::WriteBytes(dir_ + "/com3", "before|");
  for (const char16_t* name : {u"COM3", u"\\\\.\\com3"}) {
    HANDLE port = Open(name);
    ASSERT_NE(port, INVALID_HANDLE_VALUE) << wutest::U8(name);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(port, "data|", 5, &written, nullptr));
    EXPECT_EQ(platform::DeviceNameOfFileHandle(port), u"COM3");
    CloseHandle(port);
  }
  EXPECT_EQ(ReadBytes(dir_ + "/com3"), "before|data|data|");
}

TEST_F(CommTest, PresenceAndExclusiveOpen) {
  platform::SetCommDevicePresent(u"COM3", false);
  EXPECT_EQ(Open(u"COM3"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::CommDeviceFile(u"COM3"), "");

  platform::SetCommDevicePresent(u"COM3", true);
  HANDLE port = Open(u"COM3");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open(u"COM3"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(port);
}

TEST_F(CommTest, LineSettingsAreKeptPerDevice) {
  HANDLE port = Open(u"COM3");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  EXPECT_EQ(dcb.BaudRate, 9600u);
  EXPECT_EQ(dcb.ByteSize, 8);
  dcb.BaudRate = 115200;
  dcb.Parity = EVENPARITY;
  dcb.ByteSize = 7;
  ASSERT_TRUE(SetCommState(port, &dcb));
  CloseHandle(port);

  // The next open sees them.
  port = Open(u"COM3");
  DCB again{};
  ASSERT_TRUE(GetCommState(port, &again));
  EXPECT_EQ(again.BaudRate, 115200u);
  EXPECT_EQ(again.Parity, EVENPARITY);
  EXPECT_EQ(again.ByteSize, 7);

  DCB bad = again;
  bad.ByteSize = 9;
  EXPECT_FALSE(SetCommState(port, &bad));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  bad = again;
  bad.BaudRate = 0;
  EXPECT_FALSE(SetCommState(port, &bad));
  CloseHandle(port);

  // A plain file is not a port.
  HANDLE file = CreateFileW(U16(dir_ + "/plain").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(GetCommState(file, &dcb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(file);
}

TEST_F(CommTest, DeviceIoControlWritesInputAndRecordsTheCode) {
  HANDLE port = Open(u"COM3");
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  char bytes[] = "ioctl";
  DWORD returned = 7;
  EXPECT_TRUE(DeviceIoControl(port, 0x222004, bytes, 5, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(returned, 0u);
  CloseHandle(port);
  EXPECT_EQ(ReadBytes(dir_ + "/com3"), "ioctl");
  DWORD code = 0;
  ASSERT_TRUE(platform::CommDeviceState(u"COM3", nullptr, &code));
  EXPECT_EQ(code, 0x222004u);
  EXPECT_FALSE(DeviceIoControl(nullptr, 1, bytes, 5, nullptr, 0, &returned, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
