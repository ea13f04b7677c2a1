// Shortcut files through the shell link's IPersistFile: a fixture built
// byte by byte, save and load round trips, damaged files, and the order in
// which GetPath finds the target.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/persist.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/process.h"
#include "platform/shell/shelllink.h"
#include "platform/shell/shortcut_file.h"
#include "tests/common/TestUtil.h"
#include "tests/platform/shell/ShortcutFixture.h"

namespace {

using namespace wutest;

constexpr HRESULT kBadFormat = static_cast<HRESULT>(0x8007000B);

// A new shell link with both interfaces.
struct Link {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  Link() {
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  }
  ~Link() {
    file->Release();
    link->Release();
  }
  HRESULT Load(const std::string& path) { return file->Load(U16(path).c_str(), STGM_READ); }
  HRESULT Save(const std::string& path) { return file->Save(U16(path).c_str(), TRUE); }
  std::u16string Path(DWORD flags = 0) {
    WCHAR buf[MAX_PATH];
    link->GetPath(buf, MAX_PATH, nullptr, flags);
    return buf;
  }
  std::u16string Text(HRESULT (IShellLinkW::*get)(LPWSTR, int)) {
    WCHAR buf[INFOTIPSIZE];
    (link->*get)(buf, INFOTIPSIZE);
    return buf;
  }
  std::u16string CurFile() {
    LPOLESTR name = nullptr;
    file->GetCurFile(&name);
    std::u16string copy = name ? name : u"";
    CoTaskMemFree(name);
    return copy;
  }
};

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Every field GetPath and the getters give, for comparing two links.
struct Fields {
  std::u16string path, description, working_dir, arguments, icon;
  int icon_index = 0, show = 0;
  WORD hotkey = 0;
  bool operator==(const Fields&) const = default;
};
Fields FieldsOf(Link& l) {
  Fields f;
  f.path = l.Path(SLGP_RAWPATH);
  f.description = l.Text(&IShellLinkW::GetDescription);
  f.working_dir = l.Text(&IShellLinkW::GetWorkingDirectory);
  f.arguments = l.Text(&IShellLinkW::GetArguments);
  WCHAR icon[MAX_PATH];
  l.link->GetIconLocation(icon, MAX_PATH, &f.icon_index);
  f.icon = icon;
  l.link->GetShowCmd(&f.show);
  l.link->GetHotkey(&f.hotkey);
  return f;
}

TEST(ShortcutFileTest, FixtureLoadsWithItsFieldsInBothEncodings) {
  std::string dir = MakeTempDir();
  for (bool unicode : {true, false}) {
    SCOPED_TRACE(unicode ? "UTF-16 strings" : "ANSI strings");
    ShortcutFixture fx = MakeShortcutFixture(unicode);
    platform::ShortcutFile parsed;
    ASSERT_TRUE(platform::ParseShortcutFile(reinterpret_cast<const uint8_t*>(fx.bytes.data()),
                                            fx.bytes.size(), &parsed));
    EXPECT_EQ(parsed.local_base_path, u"C:\\test\\a.txt");
    EXPECT_EQ(parsed.path_suffix, u"");
    EXPECT_EQ(parsed.description, u"Caf\u00E9");
    EXPECT_EQ(parsed.relative_path, u".\\a.txt");
    EXPECT_EQ(parsed.working_dir, u"C:\\test");
    EXPECT_EQ(parsed.arguments, u"-x");
    EXPECT_EQ(parsed.icon_location, u"");
    EXPECT_EQ(parsed.drive_type, 3u);
    EXPECT_EQ(parsed.drive_serial, 0x1234ABCDu);
    EXPECT_EQ(parsed.attributes, 0x20u);
    EXPECT_EQ(parsed.file_size, 1234u);
    EXPECT_EQ(parsed.write.dwHighDateTime, 0x01D00005u);
    EXPECT_EQ(parsed.id_list, Bytes(fx.id_list));
    EXPECT_EQ(parsed.extra, Bytes(fx.extra));

    std::string path = dir + (unicode ? "/u.lnk" : "/a.lnk");
    WriteBytes(path, fx.bytes);
    Link l;
    ASSERT_EQ(l.Load(path), S_OK);
    Fields f = FieldsOf(l);
    EXPECT_EQ(f.path, u"C:\\test\\a.txt");
    EXPECT_EQ(f.description, u"Caf\u00E9");
    EXPECT_EQ(f.working_dir, u"C:\\test");
    EXPECT_EQ(f.arguments, u"-x");
    EXPECT_EQ(f.icon, u"");
    EXPECT_EQ(f.show, 3);
    EXPECT_EQ(f.hotkey, 0x0241);
    EXPECT_EQ(l.CurFile(), U16(path));
    EXPECT_EQ(l.file->IsDirty(), S_FALSE);
  }
}

TEST(ShortcutFileTest, SavedLinksLoadBackAndSaveToTheSameBytes) {
  std::string dir = MakeTempDir();
  Link made;
  ASSERT_EQ(made.link->SetPath(u"C:\\apps\\run.exe"), S_OK);
  ASSERT_EQ(made.link->SetDescription(u"Runs \u00FCber"), S_OK);
  ASSERT_EQ(made.link->SetWorkingDirectory(u"C:\\apps"), S_OK);
  ASSERT_EQ(made.link->SetArguments(u"-a \"b c\""), S_OK);
  ASSERT_EQ(made.link->SetIconLocation(u"C:\\apps\\run.ico", -7), S_OK);
  ASSERT_EQ(made.link->SetRelativePath(u"..\\apps\\run.exe", 0), S_OK);
  ASSERT_EQ(made.link->SetHotkey(0x0655), S_OK);
  ASSERT_EQ(made.link->SetShowCmd(7), S_OK);
  EXPECT_EQ(made.file->IsDirty(), S_OK);
  ASSERT_EQ(made.Save(dir + "/made.lnk"), S_OK);
  EXPECT_EQ(made.file->IsDirty(), S_FALSE);

  Link loaded;
  ASSERT_EQ(loaded.Load(dir + "/made.lnk"), S_OK);
  EXPECT_EQ(FieldsOf(loaded), FieldsOf(made));
  ASSERT_EQ(loaded.Save(dir + "/again.lnk"), S_OK);
  EXPECT_EQ(ReadBytes(dir + "/again.lnk"), ReadBytes(dir + "/made.lnk"));
  // The local path is written in both encodings behind a fixed drive's
  // volume id, serial 0, empty label.
  std::string saved = ReadBytes(dir + "/made.lnk");
  platform::ShortcutFile parsed;
  ASSERT_TRUE(platform::ParseShortcutFile(reinterpret_cast<const uint8_t*>(saved.data()),
                                          saved.size(), &parsed));
  EXPECT_EQ(parsed.drive_type, platform::kLinkDriveFixed);
  EXPECT_EQ(parsed.drive_serial, 0u);
  EXPECT_EQ(parsed.volume_label, u"");
  EXPECT_EQ(parsed.relative_path, u"..\\apps\\run.exe");
  EXPECT_NE(saved.find("C:\\apps\\run.exe"), std::string::npos);  // the ANSI form

  // A loaded fixture keeps its item-id list and extra blocks byte for byte.
  ShortcutFixture fx = MakeShortcutFixture(true);
  WriteBytes(dir + "/fixture.lnk", fx.bytes);
  Link kept;
  ASSERT_EQ(kept.Load(dir + "/fixture.lnk"), S_OK);
  ASSERT_EQ(kept.file->Save(nullptr, FALSE), S_OK);  // over its own file
  Fields before = FieldsOf(kept);
  saved = ReadBytes(dir + "/fixture.lnk");
  ASSERT_TRUE(platform::ParseShortcutFile(reinterpret_cast<const uint8_t*>(saved.data()),
                                          saved.size(), &parsed));
  EXPECT_EQ(parsed.id_list, Bytes(fx.id_list));
  EXPECT_EQ(parsed.extra, Bytes(fx.extra));
  EXPECT_EQ(parsed.flags & 0xFFFFFC00u, 0u);
  Link reread;
  ASSERT_EQ(reread.Load(dir + "/fixture.lnk"), S_OK);
  EXPECT_EQ(FieldsOf(reread), before);
}

TEST(ShortcutFileTest, DamagedFilesFailAndLeaveTheObjectAsItWas) {
  std::string dir = MakeTempDir();
  Link l;
  ASSERT_EQ(l.link->SetPath(u"C:\\kept"), S_OK);
  ASSERT_EQ(l.link->SetArguments(u"kept"), S_OK);
  ASSERT_EQ(l.Save(dir + "/kept.lnk"), S_OK);
  ASSERT_EQ(l.link->SetDescription(u"unsaved"), S_OK);
  const Fields kept = FieldsOf(l);
  auto expect_refused = [&](const std::string& bytes, const std::string& what) {
    SCOPED_TRACE(what);
    WriteBytes(dir + "/bad.lnk", bytes);
    EXPECT_EQ(l.Load(dir + "/bad.lnk"), kBadFormat);
    EXPECT_EQ(FieldsOf(l), kept);
    EXPECT_EQ(l.CurFile(), U16(dir + "/kept.lnk"));
    EXPECT_EQ(l.file->IsDirty(), S_OK);
  };

  for (bool unicode : {true, false}) {
    ShortcutFixture fx = MakeShortcutFixture(unicode);
    for (size_t n = 0; n < fx.bytes.size(); ++n)
      expect_refused(fx.bytes.substr(0, n), "cut at " + std::to_string(n));
    for (const ShortcutField& field : fx.fields) {
      std::string bad = fx.bytes;
      for (int i = 0; i < field.width; ++i)
        bad[field.at + i] = static_cast<char>((field.past >> (8 * i)) & 0xFF);
      expect_refused(bad, field.name);
    }
  }
  ShortcutFixture fx = MakeShortcutFixture(true);
  std::string bad = fx.bytes;
  bad[19] ^= 1;
  expect_refused(bad, "class id");
  // Files above 1 MiB are refused whatever they hold; trailing bytes up to
  // it are not read.
  std::string padded = fx.bytes + std::string((1u << 20) - fx.bytes.size(), 'x');
  WriteBytes(dir + "/big.lnk", padded);
  Link big;
  EXPECT_EQ(big.Load(dir + "/big.lnk"), S_OK);
  expect_refused(padded + "x", "1 MiB + 1");

  EXPECT_EQ(l.Load(dir + "/missing.lnk"), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FieldsOf(l), kept);
}

// An environment-variable block holding `target` in both encodings.
std::vector<uint8_t> EnvironmentBlock(const std::string& target) {
  std::vector<uint8_t> block(platform::kLinkEnvironmentBlockSize, 0);
  auto set32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) block[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  set32(0, platform::kLinkEnvironmentBlockSize);
  set32(4, platform::kLinkEnvironmentSignature);
  for (size_t i = 0; i < target.size(); ++i) {
    block[8 + i] = static_cast<uint8_t>(target[i]);
    block[8 + 260 + 2 * i] = static_cast<uint8_t>(target[i]);
  }
  return block;
}

TEST(ShortcutFileTest, GetPathTakesTheFirstPathTheLinkHolds) {
  std::string dir = MakeTempDir();
  ASSERT_TRUE(SetEnvironmentVariableW(u"WU_LINK_TEST", U16(dir).c_str()));
  struct Case {
    const char* name;
    platform::ShortcutFile link;
    std::u16string raw;       // GetPath with SLGP_RAWPATH
    std::u16string expanded;  // GetPath with 0
  };
  auto link = [](auto fill) {
    platform::ShortcutFile f;
    fill(f);
    return f;
  };
  std::u16string folder = U16(dir);
  const Case cases[] = {
      {"local base path and suffix", link([](auto& f) {
         f.local_base_path = u"C:\\data\\";
         f.path_suffix = u"x.txt";
         f.net_name = u"\\\\server\\share";
         f.relative_path = u"y.txt";
       }),
       u"C:\\data\\x.txt", u"C:\\data\\x.txt"},
      {"network share and suffix", link([](auto& f) {
         f.net_name = u"\\\\server\\share";
         f.device_name = u"Z:";
         f.path_suffix = u"dir\\x.txt";
         f.relative_path = u"y.txt";
       }),
       u"\\\\server\\share\\dir\\x.txt", u"\\\\server\\share\\dir\\x.txt"},
      {"environment block", link([](auto& f) {
         f.extra = EnvironmentBlock("%WU_LINK_TEST%\\t.txt");
         f.relative_path = u"y.txt";
       }),
       u"%WU_LINK_TEST%\\t.txt", folder + u"\\t.txt"},
      {"relative path against the link's folder", link([](auto& f) {
         f.relative_path = u".\\sub\\..\\r.txt";
       }),
       folder + u"/r.txt", folder + u"/r.txt"},
      {"item-id list alone", link([](auto& f) { f.id_list = {4, 0, 1, 2, 0, 0}; }), u"", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> bytes = platform::WriteShortcutFile(c.link);
    WriteBytes(dir + "/case.lnk", std::string(bytes.begin(), bytes.end()));
    Link l;
    ASSERT_EQ(l.Load(dir + "/case.lnk"), S_OK);
    WCHAR buf[MAX_PATH];
    EXPECT_EQ(l.link->GetPath(buf, MAX_PATH, nullptr, SLGP_RAWPATH),
              c.raw.empty() ? S_FALSE : S_OK);
    EXPECT_EQ(std::u16string(buf), c.raw);
    EXPECT_EQ(l.Path(0), c.expanded);
    // Saved again, the link keeps what it held.
    ASSERT_EQ(l.Save(dir + "/resaved.lnk"), S_OK);
    EXPECT_EQ(ReadBytes(dir + "/resaved.lnk"), std::string(bytes.begin(), bytes.end()));
  }
  // Link info marked as not to be used gives way to the next path.
  ShortcutFixture fx = MakeShortcutFixture(true);
  fx.bytes[21] |= 0x01;  // flag 0x100 of the header
  WriteBytes(dir + "/forced.lnk", fx.bytes);
  Link forced;
  ASSERT_EQ(forced.Load(dir + "/forced.lnk"), S_OK);
  EXPECT_EQ(forced.Path(), folder + u"/a.txt");
  SetEnvironmentVariableW(u"WU_LINK_TEST", nullptr);
}

TEST(ShortcutFileTest, ResolveLooksThroughTheDriveMapAndNowhereElse) {
  std::string dir = MakeTempDir();
  ASSERT_TRUE(platform::SetDriveRoot(u'Q', dir));
  ASSERT_TRUE(CreateDirectoryW(u"Q:\\test", nullptr));
  Link l;
  ASSERT_EQ(l.link->SetPath(u"Q:\\test\\a.txt"), S_OK);
  EXPECT_EQ(l.link->Resolve(nullptr, SLR_NO_UI), S_FALSE);
  WriteBytes(dir + "/test/a.txt", "x");
  EXPECT_EQ(l.link->Resolve(nullptr, SLR_NO_UI), S_OK);
  // A relative path counts only once no other path is held.
  ASSERT_EQ(l.link->SetPath(u""), S_OK);
  ASSERT_EQ(l.link->SetRelativePath(u"test\\a.txt", 0), S_OK);
  ASSERT_EQ(l.Save(dir + "/rel.lnk"), S_OK);
  EXPECT_EQ(l.link->Resolve(nullptr, SLR_NO_UI), S_OK);
  ASSERT_EQ(l.link->SetRelativePath(u"test\\b.txt", 0), S_OK);
  EXPECT_EQ(l.link->Resolve(nullptr, SLR_NO_UI), S_FALSE);
  platform::SetDriveRoot(u'Q', "");
}

TEST(ShortcutFileTest, PersistFileBookkeeping) {
  std::string dir = MakeTempDir();
  Link l;
  CLSID clsid = {};
  EXPECT_EQ(l.file->GetClassID(&clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_ShellLink);
  IPersist* persist = nullptr;
  ASSERT_EQ(l.link->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)), S_OK);
  persist->Release();

  LPOLESTR name = nullptr;
  EXPECT_EQ(l.file->GetCurFile(&name), S_FALSE);
  EXPECT_EQ(std::u16string(name), u"*.lnk");
  CoTaskMemFree(name);
  EXPECT_EQ(l.file->IsDirty(), S_FALSE);
  EXPECT_EQ(l.file->Save(nullptr, TRUE), E_INVALIDARG);  // no current file yet

  l.link->SetArguments(u"-v");
  EXPECT_EQ(l.file->IsDirty(), S_OK);
  // A copy leaves the current file and the dirty state alone.
  ASSERT_EQ(l.file->Save(U16(dir + "/copy.lnk").c_str(), FALSE), S_OK);
  EXPECT_EQ(l.file->IsDirty(), S_OK);
  EXPECT_EQ(l.file->GetCurFile(&name), S_FALSE);
  CoTaskMemFree(name);
  ASSERT_EQ(l.Save(dir + "/main.lnk"), S_OK);
  EXPECT_EQ(l.CurFile(), U16(dir + "/main.lnk"));
  EXPECT_EQ(l.file->IsDirty(), S_FALSE);
  EXPECT_EQ(l.file->SaveCompleted(nullptr), S_OK);
  // Save replaces the file whole and leaves no temporary file behind.
  EXPECT_EQ(ReadBytes(dir + "/copy.lnk"), ReadBytes(dir + "/main.lnk"));
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(U16(dir + "/*.tmp").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  // Saving into a missing folder fails with its file error.
  EXPECT_EQ(l.Save(dir + "/no/such.lnk"), HRESULT_FROM_WIN32(ERROR_DIRECTORY));
  EXPECT_EQ(l.CurFile(), U16(dir + "/main.lnk"));
}

}  // namespace
