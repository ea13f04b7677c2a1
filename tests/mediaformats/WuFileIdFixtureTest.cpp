// Quick identification of tiny real files (made once by
// fixtures/ident/make_ident_fixtures.sh) through the name, handle,
// handle-and-name and buffer forms.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "mediaformats/WuFileId.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "tests/common/TestUtil.h"

namespace {

TEST(WuFileIdFixtureTest, EveryFileThroughEveryForm) {
  const std::string folder = std::string(MEDIAFORMATS_FIXTURES) + "/ident/";
  std::ifstream list(folder + "expected.txt");
  ASSERT_TRUE(list.good());
  std::string line;
  int files = 0;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string name, reference;
    DWORD by_name = 0, unnamed = 0;
    fields >> name >> by_name >> unnamed >> reference;
    SCOPED_TRACE(name + " (" + reference + ")");
    ++files;
    const std::u16string path = wutest::U16(folder + name);
    WUFILEID_IDENTIFIED_TYPE type = WUFILEID_NOT_EXAMINED;
    EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(path.c_str(), 0, &type));
    EXPECT_EQ(type, by_name);

    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    type = WUFILEID_NOT_EXAMINED;
    EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(file, 0, &type));
    EXPECT_EQ(type, unnamed);
    type = WUFILEID_NOT_EXAMINED;
    EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(file, path.c_str(), 0, &type));
    EXPECT_EQ(type, by_name);
    CloseHandle(file);

    const std::string bytes = wutest::ReadBytes(folder + name);
    type = WUFILEID_NOT_EXAMINED;
    EXPECT_TRUE(WuIsQuicklyIdentifiableMediaFileFormat(reinterpret_cast<const BYTE*>(bytes.data()),
                                                       static_cast<DWORD>(bytes.size()), 0, &type));
    EXPECT_EQ(type, unnamed);
  }
  EXPECT_EQ(files, 30);
}

}  // namespace
