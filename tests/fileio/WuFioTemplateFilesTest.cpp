// Template files and folders: checks on ".wut2" files, the last-used
// template, legacy numbering and refused class folder names.
#include "fileio/WuFioTemplateFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/WuErrorHandler.h"
#include "foundation/WuPrintF.h"
#include "platform/com/com.h"
#include "platform/kernel/files.h"
#include "platform/shell/shell.h"
#include "tests/common/TestUtil.h"
#include "tests/fileio/FakeRenderClass.h"

namespace {

using fio_test::BytesOf;
using fio_test::FakeRenderClass;
using fio_test::MakeRecord;
using wutest::U16;
using wutest::U8;

std::string AppData() {
  WCHAR path[260] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, path), S_OK);
  return U8(path);
}

std::string Bytes(const void* record, size_t size) {
  return std::string(static_cast<const char*>(record), size);
}

class TemplateFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuPrintF_CreateTokens(), S_OK);
    ASSERT_TRUE(WuPrintF_AddToken(u"AppName", u"TestApp"));
    orvo_ = AppData() + "/Orvo";
    std::filesystem::remove_all(orvo_);
    cls_.folderText = u"Test Render";
  }
  void TearDown() override {
    std::filesystem::remove_all(orvo_);
    WuPrintF_DestroyTokens();
  }

  // Writes `bytes` to a file and loads it through the file form.
  HRESULT LoadBytes(const std::string& bytes, tagWUTEMPLATExV2** out) {
    const std::string path = dir_ + "/t.wut2";
    wutest::WriteBytes(path, bytes);
    HANDLE file = CreateFileW(U16(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    const HRESULT hr = WuFio_LoadTemplateData(out, file);
    CloseHandle(file);
    return hr;
  }

  FakeRenderClass cls_;
  std::string orvo_;
  std::string dir_ = wutest::MakeTempDir("wut");
};

TEST_F(TemplateFilesTest, WholeFileChecks) {
  tagWUTEMPLATExV2* good = MakeRecord(u"");
  ASSERT_EQ(WuTpl_Size(good), 540u);
  const std::string base = Bytes(good, 540);
  std::free(good);
  auto with = [&](DWORD offset, DWORD value) {
    std::string b = base;
    WuTpl_SetWord(b.data(), offset, value);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
    HRESULT expected;
  } cases[] = {
      {"540 bytes, empty texts", base, S_OK},
      {"539 bytes", base.substr(0, 539), WU_E_BAD_DATA},
      {"empty file", "", WU_E_BAD_DATA},
      {"audio block size 100", with(WUTPL_OFFSET_AUDIO, 100), WU_E_BAD_DATA},
      {"video block size 200", with(WUTPL_OFFSET_VIDEO, 200), S_OK},
      {"stated size above the file", with(0, 541), WU_E_BAD_DATA},
      {"version 0x00FFFFFF", with(4, 0x00FFFFFF), WU_E_BAD_DATA},
      {"text past the total size", with(WUTPL_OFFSET_TEXTLEN, 3), WU_E_BAD_DATA},
      {"negative private size", with(WUTPL_OFFSET_PRIVSIZE, 0xFFFFFFFC), WU_E_BAD_DATA},
      {"generation 3 unchecked", with(4, 0x03000000), S_OK},
  };
  for (const Case& c : cases) {
    tagWUTEMPLATExV2* record = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    EXPECT_EQ(LoadBytes(c.bytes, &record), c.expected) << c.what;
    if (c.expected == S_OK) {
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(Bytes(record, 540), c.bytes) << c.what;
    } else {
      EXPECT_EQ(record, nullptr) << c.what;
    }
    std::free(record);
  }
}

TEST_F(TemplateFilesTest, OneRecordFromAStream) {
  tagWUTEMPLATExV2* good = MakeRecord(u"Streamed", u"n", 3);
  const std::string base = Bytes(good, WuTpl_Size(good));
  std::free(good);
  auto with = [&](DWORD offset, DWORD value) {
    std::string b = base;
    WuTpl_SetWord(b.data(), offset, value);
    return b;
  };
  struct Case {
    const char* what;
    std::string bytes;
    DWORD highest;
    HRESULT expected;
  } cases[] = {
      {"a record, then more", base + "tail", 0x02000000, S_OK},
      {"size 535", with(0, 535), 0x02000000, WU_E_BAD_DATA},
      {"size above 0x02000000", with(0, 0x02000001), 0x02000000, WU_E_BAD_DATA},
      {"short record", base.substr(0, base.size() - 1), 0x02000000, WU_E_BAD_DATA},
      {"short version", base.substr(0, 6), 0x02000000, WU_E_BAD_DATA},
      {"generation 3", with(4, 0x03000000), 0x7F000000, WU_E_BAD_DATA},
      {"newer than asked", base, 0x01000000, WU_E_BAD_DATA},
  };
  for (const Case& c : cases) {
    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    stream->Write(c.bytes.data(), static_cast<ULONG>(c.bytes.size()), nullptr);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    tagWUTEMPLATExV2* record = reinterpret_cast<tagWUTEMPLATExV2*>(1);
    EXPECT_EQ(WuFio_LoadTemplateData(&record, stream, c.highest, nullptr), c.expected) << c.what;
    if (c.expected == S_OK) {
      ASSERT_NE(record, nullptr);
      EXPECT_EQ(Bytes(record, WuTpl_Size(record)), base);
    } else {
      EXPECT_EQ(record, nullptr) << c.what;
    }
    std::free(record);
    stream->Release();
  }
}

// An older-generation file: size, version, name and notes (260 units
// each), then the audio-present word and, when `audioLength` is given, an
// audio part whose wave-record length is that value.
std::string V1File(const std::u16string& name, DWORD audioLength = 0) {
  std::string b(8 + 1040, '\0');
  WuTpl_SetWord(b.data(), 4, 0x01000005);
  std::memcpy(b.data() + 8, name.data(), 2 * name.size());
  auto word = [&](DWORD v) {
    b.resize(b.size() + 4);
    WuTpl_SetWord(b.data() + b.size() - 4, 0, v);
  };
  word(audioLength ? 1 : 0);
  if (audioLength) {
    b += std::string(18, '\0');
    word(1);
    word(audioLength);
  }
  word(0);  // no video part
  WuTpl_SetWord(b.data(), 0, static_cast<DWORD>(b.size()));
  return b;
}

TEST_F(TemplateFilesTest, OlderFilesAreLiftedOrRefused) {
  const std::string path = dir_ + "/old.wut";
  wutest::WriteBytes(path, V1File(u"Old"));
  tagWUTEMPLATExV2* record = nullptr;
  ASSERT_EQ(WuFio_LoadRawUserTemplate(&cls_, U16(path).c_str(), &record), S_OK);
  EXPECT_EQ(WuTpl_Word(record, 4), 0x02000005u);
  EXPECT_EQ(std::u16string(WuTpl_Name(record)), u"Old");
  EXPECT_TRUE(WuTpl_LayoutOk(record));
  std::free(record);
  // A wave record that claims more than any record holds.
  wutest::WriteBytes(path, V1File(u"Hostile", 0x7FFFFFF0));
  record = nullptr;
  EXPECT_EQ(WuFio_LoadRawUserTemplate(&cls_, U16(path).c_str(), &record), WU_E_BAD_DATA);
  EXPECT_EQ(record, nullptr);
}

TEST_F(TemplateFilesTest, OversizedFileIsRefusedWithoutReadingIt) {
  const std::string path = dir_ + "/big.wut2";
  wutest::WriteBytes(path, "x");
  std::filesystem::resize_file(path, 0x02000001);
  tagWUTEMPLATExV2* record = nullptr;
  EXPECT_EQ(WuFio_LoadRawUserTemplate(&cls_, U16(path).c_str(), &record), WU_E_BAD_DATA);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(WuFio_LoadRawUserTemplate(&cls_, U16(dir_ + "/none.wut2").c_str(), &record),
            WU_E_OPEN_FILE);
}

TEST_F(TemplateFilesTest, LastUsedTemplate) {
  cls_.folderText = u"ABC";
  WCHAR path[260];
  ASSERT_EQ(WuFio_GetLastUsedTemplatePath(&cls_, u"x", path, 260, FALSE), 1);
  EXPECT_EQ(U8(path), orvo_ + "/Render Templates/Last Used/TestApp-abcx.wut2");
  // The untitled name, in any case, and the empty name give the last-used file.
  WCHAR untitled[260];
  EXPECT_EQ(WuFio_GetUserTemplateFilePath(&cls_, u"(UNTITLED)", untitled, 260, FALSE), 1);
  EXPECT_EQ(U8(untitled), orvo_ + "/Render Templates/Last Used/TestApp-abc.wut2");
  EXPECT_EQ(WuFio_GetUserTemplateFilePath(&cls_, u"", path, 260, FALSE), 1);
  EXPECT_EQ(U8(path), U8(untitled));
  EXPECT_EQ(WuFio_GetUserTemplateFilePath(&cls_, u"My: Mix", path, 260, TRUE), 0);
  EXPECT_EQ(U8(path), orvo_ + "/Render Templates/abc/My_ Mix.wut2");
  EXPECT_EQ(WuFio_GetUserTemplateFilePath(&cls_, u"My: Mix", path, 20, FALSE),
            WU_E_BUFFER_TOO_SMALL);

  tagWUTEMPLATExV2* record = MakeRecord(u"Last", u"notes", 5);
  EXPECT_EQ(WuFio_DeleteAppLastUsedTemplate(&cls_, u"x"), WU_E_NOT_FOUND);
  ASSERT_EQ(WuFio_SaveAppLastUsedTemplate(&cls_, record, u"x", FALSE), S_OK);
  EXPECT_EQ(wutest::ReadBytes(orvo_ + "/Render Templates/Last Used/TestApp-abcx.wut2"),
            Bytes(record, WuTpl_Size(record)));
  EXPECT_EQ(WuFio_SaveAppLastUsedTemplate(&cls_, record, u"x", FALSE),
            WuErrorHandler_TranslateWin32Error(ERROR_FILE_EXISTS));
  EXPECT_EQ(WuFio_SaveAppLastUsedTemplate(&cls_, record, u"x", TRUE), S_OK);
  // A write that fails part-way leaves the file as it was, and no other.
  tagWUTEMPLATExV2* larger = MakeRecord(u"Larger", u"notes", 4000);
  {
    wutest::FileSizeLimit limit(1000);
    EXPECT_LT(WuFio_SaveAppLastUsedTemplate(&cls_, larger, u"x", TRUE), 0);
  }
  std::free(larger);
  EXPECT_EQ(wutest::ReadBytes(orvo_ + "/Render Templates/Last Used/TestApp-abcx.wut2"),
            Bytes(record, WuTpl_Size(record)));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(orvo_ + "/Render Templates/Last Used"),
                          std::filesystem::directory_iterator()),
            1);
  tagWUTEMPLATExV2* back = nullptr;
  ASSERT_EQ(WuFio_LoadAppLastUsedTemplate(&cls_, u"x", &back), S_OK);
  EXPECT_EQ(BytesOf(back), BytesOf(record));
  std::free(back);
  EXPECT_EQ(WuFio_DeleteAppLastUsedTemplate(&cls_, u"x"), S_OK);
  EXPECT_EQ(WuFio_LoadAppLastUsedTemplate(&cls_, u"x", &back), WU_E_OPEN_FILE);
  std::free(record);
}

// A last-used template kept elsewhere behind a symbolic link: saving it
// rewrites the file the link names, and the link stays.
TEST_F(TemplateFilesTest, LastUsedTemplateThroughALink) {
  cls_.folderText = u"ABC";
  WCHAR path[260];
  ASSERT_TRUE(SUCCEEDED(WuFio_GetLastUsedTemplatePath(&cls_, u"x", path, 260, TRUE)));
  const std::string elsewhere = wutest::MakeTempDir("tpl") + "/kept.wut2";
  wutest::WriteBytes(elsewhere, "old");
  ASSERT_EQ(symlink(elsewhere.c_str(), U8(path).c_str()), 0);
  tagWUTEMPLATExV2* record = MakeRecord(u"Last", u"notes", 5);
  ASSERT_EQ(WuFio_SaveAppLastUsedTemplate(&cls_, record, u"x", TRUE), S_OK);
  EXPECT_TRUE(std::filesystem::is_symlink(U8(path)));
  EXPECT_EQ(wutest::ReadBytes(elsewhere), Bytes(record, WuTpl_Size(record)));
  std::free(record);
}

TEST_F(TemplateFilesTest, ClassFolderNamesThatLeaveTheFolderAreRefused) {
  tagWUTEMPLATExV2* record = MakeRecord(u"T");
  for (const char16_t* text : {u"..", u"", u".", u"..."}) {
    cls_.folderText = text;
    WCHAR path[260];
    EXPECT_EQ(WuFio_GetRenderTemplateFolder(&cls_, path, 260), WU_E_BAD_DATA);
    EXPECT_EQ(WuFio_GetUserTemplateFilePath(&cls_, u"T", path, 260, TRUE), WU_E_BAD_DATA);
    EXPECT_EQ(WuFio_SaveAppLastUsedTemplate(&cls_, record, nullptr, TRUE), WU_E_BAD_DATA);
  }
  EXPECT_FALSE(std::filesystem::exists(orvo_));
  // Separators become part of the name.
  cls_.folderText = u"../Up";
  WCHAR path[260];
  EXPECT_EQ(WuFio_GetRenderTemplateFolder(&cls_, path, 260), 1);
  EXPECT_EQ(U8(path), orvo_ + "/Render Templates/.._up/");
  std::free(record);
}

TEST_F(TemplateFilesTest, LegacyNumberingFollowsThePresets) {
  cls_.id = {0xADFA6A4B, 0xA99B, 0x42E3, {0xAE, 0x1F, 0x08, 0x11, 0x23, 0xAD, 0xA0, 0x4B}};
  cls_.AddPreset(u"P0", 0);
  cls_.AddPreset(u"P1", 1);
  cls_.AddPreset(u"P2", 2);
  WCHAR folder[260];
  ASSERT_EQ(WuFio_GetLegacyTemplateFolder(&cls_, folder, 260), 1);
  EXPECT_EQ(U8(folder),
            orvo_ + "/File Templates/mp3plug/{ADFA6A4B-A99B-42E3-AE1F-081123ADA04B}/");
  std::filesystem::create_directories(U8(folder));
  for (const char16_t* name : {u"b", u"a", u"c"}) {
    tagWUTEMPLATExV2* r = MakeRecord(name);
    wutest::WriteBytes(U8(folder) + U8(name) + ".wut", Bytes(r, WuTpl_Size(r)));
    std::free(r);
  }
  std::filesystem::create_directories(U8(folder) + "z.wut");  // a folder: not counted
  for (LONG k = 3; k < 6; ++k) {
    tagWUTEMPLATExV2* r = nullptr;
    ASSERT_EQ(WuFio_LoadRawLegacyTemplate(&cls_, k, &r), S_OK) << k;
    const char16_t expected[2] = {static_cast<char16_t>(u'a' + k - 3), 0};
    EXPECT_EQ(std::u16string(WuTpl_Name(r)), expected);
    std::free(r);
  }
  tagWUTEMPLATExV2* r = nullptr;
  EXPECT_EQ(WuFio_LoadRawLegacyTemplate(&cls_, 6, &r), E_UNEXPECTED);
  EXPECT_EQ(WuFio_LoadRawLegacyTemplate(&cls_, 1, &r), E_UNEXPECTED);
  EXPECT_EQ(r, nullptr);
}

}  // namespace
