#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/shell/shell.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U8;

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(int csidl, HRESULT* hr, DWORD flags = SHGFP_TYPE_CURRENT) {
  WCHAR path[MAX_PATH];
  path[0] = u'#';
  *hr = SHGetFolderPathW(nullptr, csidl, nullptr, flags, path);
  return U8(path);
}

TEST(ShellTest, EveryFolderDefaultsBelowTheStateRoot) {
  const int ids[] = {CSIDL_DESKTOP,
                     CSIDL_PERSONAL,
                     CSIDL_MYDOCUMENTS,
                     CSIDL_DESKTOPDIRECTORY,
                     CSIDL_APPDATA,
                     CSIDL_LOCAL_APPDATA,
                     CSIDL_COMMON_APPDATA,
                     CSIDL_WINDOWS,
                     CSIDL_SYSTEM,
                     CSIDL_PROGRAM_FILES,
                     CSIDL_PROGRAM_FILES_COMMON,
                     CSIDL_PROFILE,
                     CSIDL_MYMUSIC,
                     CSIDL_MYPICTURES,
                     CSIDL_MYVIDEO,
                     CSIDL_COMMON_DESKTOPDIRECTORY,
                     CSIDL_COMMON_DOCUMENTS,
                     CSIDL_COMMON_MUSIC,
                     CSIDL_COMMON_PICTURES,
                     CSIDL_COMMON_VIDEO,
                     CSIDL_INTERNET_CACHE,
                     CSIDL_FONTS};
  std::string root = wutest::StateRoot() + "/";
  for (int id : ids) {
    HRESULT hr;
    std::string path = FolderOf(id | CSIDL_FLAG_CREATE, &hr);
    EXPECT_EQ(S_OK, hr) << id;
    EXPECT_EQ(0u, path.find(root)) << id << " " << path;
    EXPECT_TRUE(IsFolder(path)) << id;
    EXPECT_NE('/', path.back()) << id;
  }
  HRESULT hr;
  EXPECT_EQ(FolderOf(CSIDL_PROGRAM_FILES, &hr) + "/Common Files",
            FolderOf(CSIDL_PROGRAM_FILES_COMMON, &hr));

  // Numbers without a folder, and no buffer.
  for (int id : {CSIDL_DRIVES, CSIDL_BITBUCKET, 0x7F}) {
    EXPECT_EQ("", FolderOf(id | CSIDL_FLAG_CREATE, &hr)) << id;
    EXPECT_EQ(E_INVALIDARG, hr) << id;
  }
  EXPECT_EQ(E_INVALIDARG, SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, nullptr));
}

TEST(ShellTest, OverridesAndCreationFlags) {
  HRESULT hr;
  std::string def = FolderOf(CSIDL_MYVIDEO | CSIDL_FLAG_CREATE, &hr);
  std::string target = wutest::MakeTempDir("folders") + "/videos/here";
  ASSERT_TRUE(platform::SetSpecialFolder(CSIDL_MYVIDEO, target));

  // Missing and not to be created: failure with an empty path.
  EXPECT_EQ("", FolderOf(CSIDL_MYVIDEO, &hr));
  EXPECT_EQ(E_FAIL, hr);
  EXPECT_EQ(target, FolderOf(CSIDL_MYVIDEO | CSIDL_FLAG_DONT_VERIFY, &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_FALSE(IsFolder(target));
  EXPECT_EQ(target, FolderOf(CSIDL_MYVIDEO | CSIDL_FLAG_CREATE, &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_TRUE(IsFolder(target));
  EXPECT_EQ(target, platform::SpecialFolderPath(CSIDL_MYVIDEO, false));

  // The default ignores the override; removing the override restores it.
  EXPECT_EQ(def, FolderOf(CSIDL_MYVIDEO, &hr, SHGFP_TYPE_DEFAULT));
  ASSERT_TRUE(platform::SetSpecialFolder(CSIDL_MYVIDEO, ""));
  EXPECT_EQ(def, FolderOf(CSIDL_MYVIDEO, &hr));
  EXPECT_FALSE(platform::SetSpecialFolder(CSIDL_DRIVES, target));

  // The Windows folder, also through its own call with the size rules.
  ASSERT_TRUE(platform::SetSpecialFolder(CSIDL_WINDOWS, target));
  WCHAR buffer[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buffer, MAX_PATH);
  EXPECT_EQ(target, U8(buffer));
  EXPECT_EQ(target.size(), n);
  EXPECT_EQ(n + 1, GetWindowsDirectoryW(buffer, n));
  ASSERT_TRUE(platform::SetSpecialFolder(CSIDL_WINDOWS, ""));
}

}  // namespace
