// The package settings: defaults, reading, writing, the automatic package
// language, the heading colour and the default extraction folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "Sfx/CSfxAppData.h"
#include "Sfx/SfxTokens.h"
#include "foundation/WuPrintF.h"
#include "foundation/WuString.h"
#include "platform/shell/shell.h"
#include "tests/Sfx/SfxTestUtil.h"

namespace {

using sfxtest::U16;
using sfxtest::U8;

class SfxAppData : public sfxtest::RunStateTest {
 protected:
  void SetUp() override {
    RunStateTest::SetUp();
    dir_ = wutest::MakeTempDir("ini");
    path_ = U16(dir_ + "/sfxinst.ini");
  }
  // Reads the settings file into a new object.
  CSfxAppData* Read() {
    auto* data = new CSfxAppData;
    EXPECT_NE(data, nullptr);
    if (data) {
      EXPECT_EQ(data->ReadWriteProfile(path_.c_str(), FALSE), S_OK);
    }
    return data;
  }
  std::string dir_;
  std::u16string path_;
};

TEST_F(SfxAppData, MissingFileOrSectionGivesTheDefaults) {
  for (const char* bytes : {static_cast<const char*>(nullptr), "[Other]\nName=x\nLCID=7\n"}) {
    if (bytes) wutest::WriteBytes(U8(path_), bytes);
    CSfxAppData* data = Read();
    EXPECT_EQ(data->ExtractToTemp, 1);
    EXPECT_EQ(data->ShowOverwrite, 1);
    EXPECT_EQ(data->Lcid, 9u);
    EXPECT_EQ(std::u16string(data->SetupApp), u"msisetup.exe");
    EXPECT_EQ(std::u16string(data->TitleFont), u"MS Sans Serif");
    EXPECT_EQ(SfxParseColor(data->TitleFontColor), 0u);
    EXPECT_EQ(std::u16string(data->Name), u"");
    EXPECT_EQ(std::u16string(data->Banner), u"");
    // The default folder carries no quotes, which the folder page refuses.
    EXPECT_EQ(std::u16string(data->DefaultTarget), kSfxDefaultTarget);
    EXPECT_EQ(std::u16string(data->DefaultTarget).find(u'"'), std::u16string::npos);
    delete data;
  }
}

TEST_F(SfxAppData, ReadsEveryKey) {
  std::string longName(1500, 'n');
  wutest::WriteBytes(U8(path_),
                     "[vorlundage]\r\n"
                     "extracttotemp=0\r\n"
                     "ShowOverwrite = 0\r\n"
                     "Banner=top.png\r\n"
                     "DefaultTarget=\"/srv/my app\"\r\n"
                     "Title=Demo Suite\r\n"
                     "Name=" + longName + "\r\n"
                     "SetupApp=install.exe\r\n"
                     "SetupAppParams=/i \"a b.msi\"\r\n"
                     "TitleFont=Sans\r\n"
                     "TitleFontColor=255,0,0\r\n"
                     "LCID=1031\r\n"
                     "Unknown=ignored\r\n");
  CSfxAppData* data = Read();
  EXPECT_EQ(data->ExtractToTemp, 0);
  EXPECT_EQ(data->ShowOverwrite, 0);
  EXPECT_EQ(std::u16string(data->Banner), u"top.png");
  EXPECT_EQ(std::u16string(data->DefaultTarget), u"/srv/my app");
  EXPECT_EQ(std::u16string(data->Title), u"Demo Suite");
  EXPECT_EQ(std::u16string(data->Name), U16(longName.substr(0, SFXAPP_NAME_SIZE - 1)));
  EXPECT_EQ(std::u16string(data->SetupApp), u"install.exe");
  EXPECT_EQ(std::u16string(data->SetupAppParams), u"/i \"a b.msi\"");
  EXPECT_EQ(std::u16string(data->TitleFont), u"Sans");
  EXPECT_EQ(SfxParseColor(data->TitleFontColor), 0x0000FFu);
  EXPECT_EQ(data->Lcid, 1031u);
  delete data;
}

TEST_F(SfxAppData, WriteAndReadBack) {
  auto* data = new CSfxAppData;
  data->ExtractToTemp = 0;
  data->ShowOverwrite = 0;
  WuStrCpyN(data->Banner, u"b.png", SFXAPP_PATH_SIZE);
  WuStrCpyN(data->DefaultTarget, u"$(ProgramFiles)/X/$(AppName)", SFXAPP_PATH_SIZE);
  WuStrCpyN(data->Title, u"  padded title ", SFXAPP_NAME_SIZE);
  WuStrCpyN(data->Name, u"\"quoted\"", SFXAPP_NAME_SIZE);
  WuStrCpyN(data->SetupApp, u"s.exe", SFXAPP_PATH_SIZE);
  WuStrCpyN(data->SetupAppParams, u"-a \"b c\"", SFXAPP_PATH_SIZE);
  WuStrCpyN(data->TitleFont, u"Serif", SFXAPP_FONT_SIZE);
  WuStrCpyN(data->TitleFontColor, u"1,2,3", SFXAPP_COLOR_SIZE);
  data->Lcid = 1031;
  ASSERT_EQ(data->ReadWriteProfile(path_.c_str(), TRUE), S_OK);
  EXPECT_NE(wutest::ReadBytes(U8(path_)).find("LCID=1031"), std::string::npos);

  CSfxAppData* back = Read();
  EXPECT_EQ(back->ExtractToTemp, 0);
  EXPECT_EQ(back->ShowOverwrite, 0);
  EXPECT_EQ(back->Lcid, 1031u);
  const WCHAR* const texts[][2] = {
      {data->Banner, back->Banner},           {data->DefaultTarget, back->DefaultTarget},
      {data->Title, back->Title},             {data->Name, back->Name},
      {data->SetupApp, back->SetupApp},       {data->SetupAppParams, back->SetupAppParams},
      {data->TitleFont, back->TitleFont},     {data->TitleFontColor, back->TitleFontColor},
  };
  for (const auto& t : texts) EXPECT_EQ(std::u16string(t[1]), std::u16string(t[0]));

  // A file that cannot be written fails the write.
  chmod(U8(path_).c_str(), 0444);
  EXPECT_EQ(data->ReadWriteProfile(path_.c_str(), TRUE), E_FAIL);
  delete back;
  delete data;
}

TEST_F(SfxAppData, AutomaticPackageLanguage) {
  struct Case {
    LCID user;    // the user's locale
    LCID system;  // the system's locale
    LCID want;
  };
  const Case cases[] = {
      {0x080A, 0x0816, 0x0816},  // Mexican Spanish counts as Spanish: the system's
      {0x0407, 0x0C0A, 0x040A},  // a package language: the system's, conditioned
      {0x0439, 0x040C, 1033},    // Hindi is not a package language
  };
  wutest::WriteBytes(U8(path_), "[Vorlundage]\nLCID=0\n");
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::SetUserLocale(c.user, static_cast<LANGID>(c.user)));
    ASSERT_TRUE(platform::SetSystemLocale(c.system));
    CSfxAppData* data = Read();
    EXPECT_EQ(data->Lcid, c.want) << std::hex << c.user;
    delete data;
  }
}

TEST(SfxParseColor, Parts) {
  struct Case {
    const char16_t* text;
    COLORREF want;
  };
  const Case cases[] = {
      {u"255,0,0", 0x0000FF},   {u"0,128,255", 0xFF8000}, {u" 10 , 20 , 30", 0x1E140A},
      {u"256,257,-1", 0xFF0100}, {u"255,0", 0},          {u"", 0},
      {u"1,2,3,4", 0x030201},
  };
  for (const Case& c : cases) EXPECT_EQ(SfxParseColor(c.text), c.want) << U8(c.text);
  EXPECT_EQ(SfxParseColor(nullptr), 0u);
}

TEST_F(SfxAppData, DefaultTargetExpandsToAFolder) {
  ASSERT_TRUE(platform::SetSpecialFolder(CSIDL_PROGRAM_FILES, "/srv/programs"));
  CSfxAppData* data = Read();
  WuStrCpyN(data->Name, u"Demo", SFXAPP_NAME_SIZE);
  ASSERT_TRUE(SfxRegisterTokens(*data));
  WCHAR folder[WUPRINTF_MAX];
  WuPrintF(folder, data->DefaultTarget);
  EXPECT_EQ(std::u16string(folder), u"/srv/programs/Orvo Setup/Demo");
  WuPrintF(folder, u"$(WindowsDrive)");
  EXPECT_EQ(std::u16string(folder), u"/");
  platform::SetSpecialFolder(CSIDL_PROGRAM_FILES, "");
  delete data;
}

}  // namespace
