#include "platform/shell/file_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/registry/registry.h"
#include "tests/common/TestUtil.h"

namespace {

void SetDefault(const std::u16string& key, const std::u16string& text) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, key.c_str(), &k), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR))),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

TEST(SHGetFileInfo, TypeNames) {
  std::string folder = wutest::MakeTempDir("file-info");
  SetDefault(u".wutake", u"Wu.Take.1");
  SetDefault(u"Wu.Take.1", u"Recorded Take");
  SetDefault(u".wuhalf", u"Wu.Half.1");  // names a type that has no name
  for (const char* name :
       {"a.wutake", "b.WUTAKE", "c.wuhalf", "d.xyz", "plain", "x.tar.gz", "take.wutake:2"})
    wutest::WriteBytes(folder + "/" + name, "x");
  ASSERT_TRUE(std::filesystem::create_directory(folder + "/dotted.dir"));
  wutest::WriteBytes(folder + "/dotted.dir/inner", "x");

  const struct {
    const char* name;
    const char16_t* type;
  } cases[] = {
      {"a.wutake", u"Recorded Take"},   // registered: the type's name
      {"b.WUTAKE", u"Recorded Take"},   // keys compare without case
      {"c.wuhalf", u"WUHALF File"},     // a type without a name falls back
      {"d.xyz", u"XYZ File"},           // unknown extension
      {"x.tar.gz", u"GZ File"},         // the last dot counts
      {"plain", u"File"},               // no extension
      {"take.wutake:2", u"WUTAKE:2 File"},  // a ':' in a name is no drive
      {"dotted.dir/inner", u"File"},    // a dot in the folder is no extension
      {"dotted.dir", u"File folder"},   // a folder
  };
  for (const auto& c : cases) {
    SHFILEINFOW info{};
    std::u16string path = wutest::U16(folder + "/" + c.name);
    EXPECT_NE(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME), 0u) << c.name;
    EXPECT_EQ(std::u16string(info.szTypeName), c.type) << c.name;
  }

  SHFILEINFOW info{};
  std::u16string path = wutest::U16(folder + "/a.wutake");
  std::u16string missing = wutest::U16(folder + "/missing.wutake");
  EXPECT_EQ(SHGetFileInfoW(missing.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME), 0u);
  EXPECT_EQ(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME | 0x100), 0u);
  EXPECT_EQ(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), 0x4000), 0u);
  EXPECT_EQ(SHGetFileInfoW(path.c_str(), 0, nullptr, sizeof(info), SHGFI_TYPENAME), 0u);
  EXPECT_EQ(SHGetFileInfoW(nullptr, 0, &info, sizeof(info), SHGFI_TYPENAME), 0u);

  // A long registered name is cut to the field.
  SetDefault(u"Wu.Take.1", std::u16string(100, u'n'));
  EXPECT_NE(SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_TYPENAME), 0u);
  EXPECT_EQ(std::u16string(info.szTypeName), std::u16string(79, u'n'));
}

}  // namespace
