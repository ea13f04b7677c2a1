// The profile store: absent values, class-id lists, empty values, sections,
// deleting the file, and paths too long to name the file.
#include "fileio/CWuProfile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/registry/profile.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

class CWuProfileTest : public ::testing::Test {
 protected:
  std::string dir_ = wutest::MakeTempDir("profile");
  std::u16string folder_ = U16(dir_);
};

GUID MakeGuid(uint32_t n) {
  GUID g = {n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, static_cast<uint8_t>(n)}};
  return g;
}

std::u16string Text(CWuProfile& p, LPCWSTR key, bool* present) {
  WCHAR buffer[64];
  *present = p.GetString(key, nullptr, buffer, 64);
  return buffer;
}

TEST_F(CWuProfileTest, AbsentMarkerTellsMissingFromEmptyValues) {
  CWuProfile profile(folder_.c_str(), u"FFCache_x86");
  ASSERT_TRUE(profile.IsValid());
  EXPECT_EQ(std::u16string(profile.Path()), folder_ + u"/FFCache_x86.ini");
  EXPECT_FALSE(profile.Exists());

  ASSERT_EQ(profile.WriteString(u"Name", u"Reader"), S_OK);
  ASSERT_EQ(profile.WriteString(u"Empty", u""), S_OK);
  ASSERT_EQ(profile.WriteString(u"Null", nullptr), S_OK);
  ASSERT_EQ(profile.WriteString(u"Marker", u"_._"), S_OK);
  ASSERT_EQ(profile.WriteInt(u"Time", -7), S_OK);
  EXPECT_TRUE(profile.Exists());

  bool present = false;
  EXPECT_EQ(Text(profile, u"Name", &present), u"Reader");
  EXPECT_TRUE(present);
  EXPECT_EQ(Text(profile, u"Empty", &present), u"");
  EXPECT_TRUE(present);  // the key exists with an empty value
  EXPECT_EQ(Text(profile, u"Null", &present), u"");
  EXPECT_TRUE(present);
  EXPECT_EQ(Text(profile, u"Marker", &present), u"");
  EXPECT_FALSE(present);  // a literal "_._" reads as absent
  EXPECT_EQ(Text(profile, u"Missing", &present), u"");
  EXPECT_FALSE(present);
  // The file holds the empty key as a line of its own.
  EXPECT_NE(wutest::ReadBytes(dir_ + "/FFCache_x86.ini").find("Empty=\r\n"), std::string::npos);

  // A buffer too small for the marker still tells absent from present.
  WCHAR tiny[2];
  EXPECT_FALSE(profile.GetString(u"Missing", nullptr, tiny, 2));
  EXPECT_EQ(tiny[0], 0);
  EXPECT_TRUE(profile.GetString(u"Name", nullptr, tiny, 2));
  EXPECT_EQ(std::u16string(tiny), u"R");

  // With a default given the answer is always true.
  WCHAR buffer[16];
  EXPECT_TRUE(profile.GetString(u"Missing", u"dflt", buffer, 16));
  EXPECT_EQ(std::u16string(buffer), u"dflt");

  EXPECT_EQ(profile.GetInt(u"Time", 0), -7);
  EXPECT_EQ(profile.GetInt(u"Missing", -1), -1);
  EXPECT_EQ(profile.WriteString(nullptr, u"x"), E_INVALIDARG);  // never deletes the section
  EXPECT_EQ(Text(profile, u"Name", &present), u"Reader");
}

TEST_F(CWuProfileTest, GetGuidsKeepsClassIdsInOrderAndReadsWholeLists) {
  CWuProfile profile(folder_.c_str(), u"ids");
  profile.SetSection(u"plain");
  ASSERT_EQ(profile.WriteString(u"Path", u"/x.so"), S_OK);
  ASSERT_EQ(profile.WriteString(u"ModTime", u"12"), S_OK);
  GUID out[64];
  EXPECT_EQ(profile.GetGuids(nullptr, out, 64), 0);

  // 40 class keys among other keys: past 672 characters and 16 ids.
  profile.SetSection(u"lib");
  ASSERT_EQ(profile.WriteString(u"Path", u"/x.so"), S_OK);
  for (uint32_t n = 0; n < 40; ++n) {
    ASSERT_EQ(profile.WriteGuid(nullptr, MakeGuid(n), u"Class"), S_OK);
    if (n == 3) {
      ASSERT_EQ(profile.WriteString(u"{not-an-id}", u"x"), S_OK);
    }
  }
  EXPECT_EQ(profile.GetGuids(nullptr, nullptr, 0), 40);
  ASSERT_EQ(profile.GetGuids(nullptr, out, 64), 40);
  for (uint32_t n = 0; n < 40; ++n) EXPECT_EQ(out[n], MakeGuid(n)) << n;
  GUID few[3] = {};
  EXPECT_EQ(profile.GetGuids(nullptr, few, 3), 3);
  EXPECT_EQ(few[2], MakeGuid(2));

  // With a key: the value itself, written by WriteGuid in registry form.
  profile.SetSection(u"{C}");
  ASSERT_EQ(profile.WriteGuid(u"Reader", MakeGuid(9), nullptr), S_OK);
  WCHAR text[64];
  ASSERT_TRUE(profile.GetString(u"Reader", nullptr, text, 64));
  EXPECT_EQ(std::u16string(text), u"{00000009-1234-5678-0102-030405060709}");
  EXPECT_EQ(profile.GetGuids(u"Reader", out, 1), 1);
  EXPECT_EQ(out[0], MakeGuid(9));
  ASSERT_EQ(profile.WriteString(u"Lower", u"{00000009-1234-5678-0102-0304050607ab}"), S_OK);
  EXPECT_EQ(profile.GetGuids(u"Lower", out, 1), 1);
  EXPECT_EQ(profile.GetGuids(u"Missing", out, 1), 0);
}

TEST_F(CWuProfileTest, SubProfilesAndClearedSections) {
  CWuProfile profile(folder_.c_str(), u"m.ini");
  CWuProfile sub(profile, u"{C}");
  EXPECT_EQ(std::u16string(sub.Section()), u"main.{C}");
  EXPECT_EQ(std::u16string(sub.Path()), std::u16string(profile.Path()));
  ASSERT_EQ(profile.WriteString(u"Keep", u"1"), S_OK);
  ASSERT_EQ(sub.WriteString(u"A", u"1"), S_OK);
  ASSERT_EQ(sub.WriteString(u"B", u"2"), S_OK);

  ASSERT_EQ(sub.ClearSection(), S_OK);
  bool present = true;
  Text(sub, u"A", &present);
  EXPECT_FALSE(present);
  EXPECT_EQ(sub.GetGuids(nullptr, nullptr, 0), 0);
  Text(profile, u"Keep", &present);
  EXPECT_TRUE(present);
  // The section stays, empty.
  WCHAR names[128];
  DWORD n = GetPrivateProfileSectionNamesW(names, 128, profile.Path());
  EXPECT_EQ(std::u16string(names, n), std::u16string(u"main\0main.{C}\0", 14));
}

TEST_F(CWuProfileTest, DeleteFileAnswersNoneDeletedAndError) {
  CWuProfile profile(folder_.c_str(), u"d");
  EXPECT_EQ(profile.DeleteFile(), 1);
  ASSERT_EQ(profile.WriteInt(u"k", 1), S_OK);
  EXPECT_EQ(profile.DeleteFile(), 0);
  EXPECT_FALSE(profile.Exists());
  EXPECT_EQ(profile.DeleteFile(), 1);

  // A folder of that name is neither the file nor deleted.
  ASSERT_EQ(mkdir((dir_ + "/d.ini").c_str(), 0700), 0);
  EXPECT_FALSE(profile.Exists());
  HRESULT hr = profile.DeleteFile();
  EXPECT_LT(hr, 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/d.ini"));
}

TEST_F(CWuProfileTest, PathsPastMaxPathAreRefusedNeverCut) {
  // folder + "/" + name + ".ini": 259 characters fit, 260 do not.
  std::u16string name(259 - folder_.size() - 1 - 4, u'n');
  CWuProfile fits(folder_.c_str(), name.c_str());
  ASSERT_TRUE(fits.IsValid());
  EXPECT_EQ(std::u16string(fits.Path()).size(), 259u);
  ASSERT_EQ(fits.WriteInt(u"k", 1), S_OK);
  ASSERT_EQ(fits.DeleteFile(), 0);

  name += u'n';
  CWuProfile longer(folder_.c_str(), name.c_str());
  CWuProfile sub(longer, u"s");
  const HRESULT refused = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  for (CWuProfile* p : {&longer, &sub}) {
    EXPECT_FALSE(p->IsValid());
    EXPECT_EQ(std::u16string(p->Path()), u"");
    EXPECT_EQ(p->WriteString(u"k", u"v"), refused);
    EXPECT_EQ(p->WriteInt(u"k", 1), refused);
    EXPECT_EQ(p->WriteGuid(nullptr, MakeGuid(1), u"x"), refused);
    EXPECT_EQ(p->ClearSection(), refused);
    EXPECT_EQ(p->DeleteFile(), refused);
    EXPECT_FALSE(p->Exists());
    WCHAR buffer[8];
    EXPECT_FALSE(p->GetString(u"k", u"d", buffer, 8));
    EXPECT_EQ(p->GetInt(u"k", 5), 5);
    EXPECT_EQ(p->GetGuids(nullptr, nullptr, 0), 0);
  }
  // Nothing was written anywhere: not under a cut name either.
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

}  // namespace
