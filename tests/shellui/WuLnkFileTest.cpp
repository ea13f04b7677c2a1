// Resolving shortcut files: which names count, live, broken, relative and
// environment links, the info record, and two threads at once.
#include "shellui/WuLnkFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/com/persist.h"
#include "platform/kernel/files.h"
#include "platform/kernel/process.h"
#include "platform/shell/shelllink.h"
#include "platform/shell/shortcut_file.h"
#include "tests/common/TestUtil.h"

namespace {

using namespace wutest;

// Saves a link made by `fill` as `path`.
template <typename Fill>
void SaveLink(const std::string& path, Fill fill) {
  IShellLinkW* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  fill(link);
  IPersistFile* file = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  EXPECT_EQ(file->Save(U16(path).c_str(), TRUE), S_OK);
  file->Release();
  link->Release();
}

// Writes the bytes of a shortcut file.
void WriteLink(const std::string& path, const platform::ShortcutFile& link) {
  std::vector<uint8_t> bytes = platform::WriteShortcutFile(link);
  WriteBytes(path, std::string(bytes.begin(), bytes.end()));
}

// An info record filled with a pattern, to see what was written.
tWUSHORTCUTINFO Marked() {
  tWUSHORTCUTINFO info;
  std::memset(&info, 0x5A, sizeof(info));
  return info;
}
bool Untouched(const tWUSHORTCUTINFO& info) {
  tWUSHORTCUTINFO marked = Marked();
  return std::memcmp(&info, &marked, sizeof(info)) == 0;
}

TEST(WuIsLnkFileTest, NamesThatAreNotShortcutsAreCopiedThrough) {
  std::string dir = MakeTempDir();
  CreateDirectoryW(U16(dir + "/folder.lnk").c_str(), nullptr);
  struct Case {
    std::u16string path;
    const char* why;
  } cases[] = {
      {U16(dir + "/folder.lnk/file.txt"), "a folder's name ends in .lnk"},
      {U16(dir + "/folder.lnk"), "a folder named .lnk loads nothing"},
      {u"C:\\a\\b.lnk.txt", "another extension"},
      {u"C:\\a\\lnk", "no extension"},
      {U16(dir + "/missing.lnk"), "a missing shortcut"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WCHAR out[MAX_PATH];
    tWUSHORTCUTINFO info = Marked();
    EXPECT_FALSE(WuIsLnkFile(c.path.c_str(), out, MAX_PATH, 0, &info));
    EXPECT_EQ(std::u16string(out), c.path);
    EXPECT_TRUE(Untouched(info));
  }
  // The copy is bounded; no size, or the path as its own output, writes
  // nothing.
  WCHAR small[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_FALSE(WuIsLnkFile(u"C:\\a.txt", small, 4, 0, nullptr));
  EXPECT_EQ(std::u16string(small), u"C:\\");
  small[0] = u'x';
  EXPECT_FALSE(WuIsLnkFile(u"C:\\a.txt", small, 0, 0, nullptr));
  EXPECT_EQ(small[0], u'x');
  WCHAR self[] = u"C:\\same.txt";
  EXPECT_FALSE(WuIsLnkFile(self, self, 12, 0, nullptr));
  EXPECT_EQ(std::u16string(self), u"C:\\same.txt");
}

// A shortcut saved under a name with ':', and through a symbolic link at
// its name: the link stays, and the shortcut it names is rewritten.
TEST(WuIsLnkFileTest, SavedShortcutsTakeColonNamesAndKeepLinks) {
  std::string dir = MakeTempDir();
  ASSERT_EQ(mkdir((dir + "/real").c_str(), 0755), 0);
  WriteBytes(dir + "/real/app.lnk", "old");
  ASSERT_EQ(symlink("real/app.lnk", (dir + "/app.lnk").c_str()), 0);
  const std::u16string target = U16(dir + "/run.exe");
  WriteBytes(dir + "/run.exe", "x");
  for (const std::string& name : {dir + "/run 12:30.lnk", dir + "/app.lnk"}) {
    SCOPED_TRACE(name);
    SaveLink(name, [&](IShellLinkW* l) { l->SetPath(target.c_str()); });
    WCHAR out[MAX_PATH];
    EXPECT_TRUE(WuIsLnkFile(U16(name).c_str(), out, MAX_PATH, 0, nullptr));
    EXPECT_EQ(std::u16string(out), target);
  }
  struct stat st;
  ASSERT_EQ(lstat((dir + "/app.lnk").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(ReadBytes(dir + "/real/app.lnk"), "old");
  // A relative target resolves against the folder of a shortcut whose name
  // holds a ':'.
  SaveLink(dir + "/rel 12:30.lnk", [](IShellLinkW* l) { l->SetRelativePath(u".\\run.exe", 0); });
  WCHAR out[MAX_PATH];
  ASSERT_TRUE(WuIsLnkFile(U16(dir + "/rel 12:30.lnk").c_str(), out, MAX_PATH, 0, nullptr));
  EXPECT_EQ(std::u16string(out), target);
}

TEST(WuIsLnkFileTest, LiveLinkGivesItsTargetAndFillsTheRecord) {
  std::string dir = MakeTempDir();
  std::u16string target = U16(dir + "/target.exe");
  WriteBytes(dir + "/target.exe", "x");
  SaveLink(dir + "/Live.LNK", [&](IShellLinkW* l) {
    l->SetPath(target.c_str());
    l->SetArguments(u"-open \"a b\"");
    l->SetWorkingDirectory(U16(dir).c_str());
    l->SetIconLocation(u"C:\\icons.dll", 12);
  });
  std::u16string link = U16(dir + "/Live.LNK");
  WCHAR out[MAX_PATH];
  tWUSHORTCUTINFO info = Marked();
  ASSERT_TRUE(WuIsLnkFile(link.c_str(), out, MAX_PATH, 0, &info));
  EXPECT_EQ(std::u16string(out), target);
  EXPECT_EQ(std::u16string(info.targetPath), target);
  EXPECT_EQ(std::u16string(info.arguments), u"-open \"a b\"");
  EXPECT_EQ(std::u16string(info.workingDir), U16(dir));
  EXPECT_EQ(std::u16string(info.iconLocation), u"C:\\icons.dll");
  EXPECT_EQ(info.iconIndex, 12);

  // The record may be the output itself: the target stays where it is.
  tWUSHORTCUTINFO shared = Marked();
  ASSERT_TRUE(WuIsLnkFile(link.c_str(), shared.targetPath, 520, 0, &shared));
  EXPECT_EQ(std::u16string(shared.targetPath), target);
  EXPECT_EQ(shared.iconIndex, 12);

  // Once the target is gone the link is broken: its own path comes back
  // and the record is not written.
  DeleteFileW(target.c_str());
  info = Marked();
  EXPECT_FALSE(WuIsLnkFile(link.c_str(), out, MAX_PATH, 0, &info));
  EXPECT_EQ(std::u16string(out), link);
  EXPECT_TRUE(Untouched(info));
}

TEST(WuIsLnkFileTest, RelativeEnvironmentAndItemListLinks) {
  std::string dir = MakeTempDir();
  WriteBytes(dir + "/t.txt", "x");
  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_LNK_DIR", U16(dir).c_str()));

  // A link with only a relative path resolves against its own folder.
  SaveLink(dir + "/rel.lnk", [](IShellLinkW* l) { l->SetRelativePath(u".\\t.txt", 0); });
  WCHAR out[MAX_PATH];
  ASSERT_TRUE(WuIsLnkFile(U16(dir + "/rel.lnk").c_str(), out, MAX_PATH, 0, nullptr));
  EXPECT_EQ(std::u16string(out), U16(dir + "/t.txt"));

  // A target in the environment block: flags 0 give it raw, other flags
  // expanded; either way it resolves through the expanded path.
  platform::ShortcutFile env;
  env.extra.assign(platform::kLinkEnvironmentBlockSize, 0);
  const uint32_t head[2] = {platform::kLinkEnvironmentBlockSize,
                            platform::kLinkEnvironmentSignature};
  std::memcpy(env.extra.data(), head, sizeof(head));
  const std::string raw = "%WU_LNK_DIR%\\t.txt";
  std::memcpy(env.extra.data() + 8, raw.data(), raw.size());
  WriteLink(dir + "/env.lnk", env);
  std::u16string env_link = U16(dir + "/env.lnk");
  ASSERT_TRUE(WuIsLnkFile(env_link.c_str(), out, MAX_PATH, 0, nullptr));
  EXPECT_EQ(std::u16string(out), U16(raw));
  ASSERT_TRUE(WuIsLnkFile(env_link.c_str(), out, MAX_PATH, SLGP_UNCPRIORITY, nullptr));
  EXPECT_EQ(std::u16string(out), U16(dir + "\\t.txt"));

  // An item-id list alone has no path.
  platform::ShortcutFile items;
  items.id_list = {4, 0, 1, 2, 0, 0};
  WriteLink(dir + "/items.lnk", items);
  std::u16string items_link = U16(dir + "/items.lnk");
  EXPECT_FALSE(WuIsLnkFile(items_link.c_str(), out, MAX_PATH, 0, nullptr));
  EXPECT_EQ(std::u16string(out), items_link);
  SetEnvironmentVariableW(u"WU_LNK_DIR", nullptr);
}

TEST(WuIsLnkFileTest, TwoThreadsResolvingAtOnceEachGetTheirOwn) {
  std::string dir = MakeTempDir();
  std::u16string targets[2];
  std::u16string links[2];
  for (int i = 0; i < 2; ++i) {
    std::string name = dir + "/target" + std::to_string(i);
    WriteBytes(name, "x");
    targets[i] = U16(name);
    links[i] = U16(dir + "/link" + std::to_string(i) + ".lnk");
    SaveLink(U8(links[i]), [&](IShellLinkW* l) {
      l->SetPath(targets[i].c_str());
      l->SetArguments(i == 0 ? u"zero" : u"one");
    });
  }
  int wrong[2] = {0, 0};
  auto resolve = [&](int i) {
    for (int n = 0; n < 2000; ++n) {
      WCHAR out[MAX_PATH];
      tWUSHORTCUTINFO info;
      if (!WuIsLnkFile(links[i].c_str(), out, MAX_PATH, 0, &info) || out != targets[i] ||
          std::u16string(info.arguments) != (i == 0 ? u"zero" : u"one"))
        ++wrong[i];
    }
  };
  std::thread first(resolve, 0), second(resolve, 1);
  first.join();
  second.join();
  EXPECT_EQ(wrong[0], 0);
  EXPECT_EQ(wrong[1], 0);
}

}  // namespace
