// The resource compiler: scripts it refuses (with the line named), the
// bytes it stores for data blocks, string tables and files (checked by
// loading its resource files with the platform), and row files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U16;

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}
std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
// The names in a folder, sorted, separated by spaces.
std::string Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string& n : names) out += (out.empty() ? "" : " ") + n;
  return out;
}

class WurcTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = wutest::MakeTempDir("wurc"); }

  // Runs the compiler; returns its exit code, with its messages in *errors.
  int Run(const std::string& arguments, std::string* errors = nullptr) {
    std::string err = dir_ + "/stderr.txt";
    std::string command = std::string(WU_WURC) + " " + arguments + " >" + dir_ + "/stdout.txt 2>" + err;
    int status = std::system(command.c_str());
    if (errors) *errors = ReadText(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Compiles a script into a resource file and loads it.
  HMODULE Compile(const std::string& script) {
    WriteText(dir_ + "/script.rc", script);
    std::string errors;
    EXPECT_EQ(Run("--lng " + dir_ + "/out.LNG " + dir_ + "/script.rc", &errors), 0) << errors;
    return LoadLibraryW(U16(dir_ + "/out.LNG").c_str());
  }
  std::string Bytes(HMODULE m, LPCWSTR type, LPCWSTR name, WORD language) {
    HRSRC r = FindResourceExW(m, type, name, language);
    if (!r) return "<missing>";
    return std::string(static_cast<const char*>(LockResource(LoadResource(m, r))), SizeofResource(m, r));
  }

  std::string dir_;
};

TEST_F(WurcTest, RefusesBadScriptsNamingTheLine) {
  struct Case {
    const char* script;
    const char* message;  // part of the message, after "script.rc:<line>: "
    int line;
  };
  const Case cases[] = {
      {"STRINGTABLE BEGIN\n 1 \"a\"\n 1 \"b\"\nEND", "defined twice", 3},
      {"1 RCDATA BEGIN \"x\\q\" END", "unknown escape", 1},
      {"\n1 MENU BEGIN END", "not supported yet", 2},
      {"1 DIALOG 0, 0, 10\nBEGIN END", "',' expected", 2},
      {"1 DIALOG 0, 0, 10, 10 STYLE WS_BOGUS BEGIN END", "style constant", 1},
      {"1 DIALOG 0, 0, 10, 10\nBEGIN\n FOO \"x\", 1, 0, 0, 1, 1\nEND", "unknown control", 3},
      {"1 DIALOG 0, 0, 10, 10 BEGIN LTEXT \"x\", 70000, 0, 0, 1, 1 END", "control id", 1},
      {"1 RCDATA \"missing.bin\"", "cannot read", 1},
      {"LANGUAGE 0x10000", "LANGUAGE takes", 1},
      {"LANGUAGE 9, 64", "sublanguage", 1},
      {"1 RCDATA BEGIN \"open\nEND", "unterminated string", 1},
      {"0 RCDATA BEGIN END", "ids are 1..65535", 1},
      {"1 RCDATA BEGIN 0x10000 END", "does not fit", 1},
      {"1 RCDATA BEGIN 1 2", "data item expected", 1},
      {"1 6 BEGIN END", "use STRINGTABLE", 1},
      {"STRINGTABLE BEGIN 70000 \"x\" END", "string id", 1},
      {"1 RCDATA BEGIN \"\\xC3\" END\n/* open", "unterminated comment", 2},
      {"1 RCDATA BEGIN \"\xC3\" END", "invalid UTF-8", 1},
  };
  for (const Case& c : cases) {
    WriteText(dir_ + "/script.rc", c.script);
    std::string errors;
    EXPECT_EQ(Run("--lng " + dir_ + "/out.LNG " + dir_ + "/script.rc", &errors), 1) << c.script;
    EXPECT_NE(errors.find("script.rc:" + std::to_string(c.line) + ": "), std::string::npos) << errors;
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
  }
  // Names ignore case: these two are the same resource.
  WriteText(dir_ + "/script.rc", "Hello RCDATA { }\nHELLO RCDATA { }");
  std::string errors;
  EXPECT_EQ(Run("--lng " + dir_ + "/out.LNG " + dir_ + "/script.rc", &errors), 1);
  EXPECT_NE(errors.find("defined twice"), std::string::npos) << errors;
  EXPECT_EQ(Run(dir_ + "/script.rc", &errors), 1);  // nothing to write
  EXPECT_EQ(Run("--bogus " + dir_ + "/script.rc", &errors), 1);
  EXPECT_NE(errors.find("unknown option"), std::string::npos);
}

TEST_F(WurcTest, StoresDataBlocksStringsAndFiles) {
  std::string bitmap = "BM" + std::string(12, '\x01') + "pixels";
  WriteText(dir_ + "/logo.bmp", bitmap);
  WriteText(dir_ + "/raw.bin", std::string("\0\xFFraw", 5));
  HMODULE m = Compile(
      "// data items: bytes, UTF-16 units, 16- and 32-bit numbers\n"
      "1 RCDATA BEGIN \"AB\", L\"CD\", 0x0102, 0x03040506L, -1 END\n"
      "LANGUAGE 7, 1\n"
      "\"my data\" \"custom\" { \"de\" }\n"
      "STRINGTABLE BEGIN\n"
      "  15 \"Line\\none\" \" joined\"\n"
      "  16, \"\\x41\\u00E9\\U0001F600\"\n"
      "  17 \"\"\n"
      "END\n"
      "LANGUAGE 0x409\n"
      "2 BITMAP \"logo.bmp\"\n"
      "3 PNG \"raw.bin\"\n");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(Bytes(m, RT_RCDATA, MAKEINTRESOURCEW(1), 0x409),
            std::string("ABC\0D\0\x02\x01\x06\x05\x04\x03\xFF\xFF", 14));
  EXPECT_EQ(Bytes(m, u"CUSTOM", u"My Data", 0x407), "de");
  EXPECT_EQ(Bytes(m, RT_BITMAP, MAKEINTRESOURCEW(2), 0x409), "pixels");  // no file header
  EXPECT_EQ(Bytes(m, u"PNG", MAKEINTRESOURCEW(3), 0x409), std::string("\0\xFFraw", 5));

  WCHAR text[32];
  struct Case {
    UINT id;
    std::u16string text;
  };
  const Case strings[] = {
      {15, u"Line\none joined"},
      {16, u"A\u00E9\U0001F600"},
      {17, u""},
  };
  SetThreadUILanguage(0x407);
  for (const Case& c : strings) {
    EXPECT_EQ(LoadStringW(m, c.id, text, 32), static_cast<int>(c.text.size()));
    EXPECT_EQ(std::u16string(text), c.text);
  }
  SetThreadUILanguage(0);
  // Ids 15 and 16 lie in different blocks (1 and 2).
  EXPECT_NE(FindResourceExW(m, RT_STRING, MAKEINTRESOURCEW(1), 0x407), nullptr);
  EXPECT_NE(FindResourceExW(m, RT_STRING, MAKEINTRESOURCEW(2), 0x407), nullptr);
  EXPECT_EQ(FindResourceExW(m, RT_STRING, MAKEINTRESOURCEW(3), 0x407), nullptr);
  EXPECT_TRUE(FreeLibrary(m));

  // The same script as C++ source names the inputs in its dependency file.
  std::string errors;
  ASSERT_EQ(Run("--cpp " + dir_ + "/out.cpp --module Extra --depfile " + dir_ + "/out.d " + dir_ +
                    "/script.rc",
                &errors),
            0)
      << errors;
  std::string deps = ReadText(dir_ + "/out.d");
  EXPECT_NE(deps.find("logo.bmp"), std::string::npos);
  EXPECT_NE(deps.find("raw.bin"), std::string::npos);
  EXPECT_NE(ReadText(dir_ + "/out.cpp").find("RegisterCompiledResources(u\"Extra\""), std::string::npos);
}

// Dialog templates: the compiled bytes are what the platform's dialog
// loader builds windows from, with the statement defaults for each control.
TEST_F(WurcTest, AFailedWriteLeavesTheOldOutput) {
  WriteText(dir_ + "/big.bin", std::string(200000, 'b'));
  WriteText(dir_ + "/script.rc", "1 RCDATA \"big.bin\"\n");
  WriteText(dir_ + "/out.LNG", "the old output");
  ASSERT_EQ(chmod((dir_ + "/out.LNG").c_str(), 0640), 0);
  // A disk that fills part-way; then a shell's "ulimit -f", whose signal
  // must not end the program before it removes what it wrote.
  for (bool signal_default : {false, true}) {
    {
      wutest::FileSizeLimit limit(100000, signal_default);
      EXPECT_EQ(Run("--lng " + dir_ + "/out.LNG " + dir_ + "/script.rc"), 1) << signal_default;
    }
    EXPECT_EQ(ReadText(dir_ + "/out.LNG"), "the old output");
    EXPECT_EQ(Names(dir_), "big.bin out.LNG script.rc stderr.txt stdout.txt") << "no part is left";
  }
  std::string errors;
  ASSERT_EQ(Run("--lng " + dir_ + "/out.LNG " + dir_ + "/script.rc", &errors), 0) << errors;
  EXPECT_GT(ReadText(dir_ + "/out.LNG").size(), 200000u);
  struct stat st;
  ASSERT_EQ(stat((dir_ + "/out.LNG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// Outputs are replaced through a private file of a fresh name: a link
// planted at the old fixed temporary name is never written through, an
// output kept behind a link is replaced where the link points (the link
// stays), and names with ':' in deep folders or of the longest length work.
TEST_F(WurcTest, ReplacesOutputsThroughAFreshPrivateFile) {
  WriteText(dir_ + "/script.rc", "1 RCDATA BEGIN \"new\" END\n");
  std::string deep = dir_;
  for (int i = 0; i < 6; ++i)
    deep += "/" + std::string(50, static_cast<char>('a' + i)) + ":" + std::to_string(i);
  ASSERT_TRUE(std::filesystem::create_directories(deep));
  ASSERT_EQ(mkdir((dir_ + "/real").c_str(), 0755), 0);
  WriteText(dir_ + "/real/r.LNG", "old");
  ASSERT_EQ(symlink("real/r.LNG", (dir_ + "/link.LNG").c_str()), 0);
  WriteText(dir_ + "/victim", "keep");
  ASSERT_EQ(symlink("victim", (dir_ + "/out.LNG.wurc-tmp").c_str()), 0);
  const std::string outputs[] = {dir_ + "/out.LNG", deep + "/12:30.LNG", dir_ + "/link.LNG",
                                 dir_ + "/" + std::string(251, 'n') + ".LNG"};
  for (const std::string& out : outputs) {
    SCOPED_TRACE(out.substr(dir_.size()));
    for (int run = 0; run < 2; ++run) {  // a new output, then one replaced
      std::string errors;
      ASSERT_EQ(Run("--lng '" + out + "' " + dir_ + "/script.rc", &errors), 0) << errors;
      std::string bytes = ReadText(out);
      EXPECT_EQ(bytes.substr(0, 4), "WURM");
      EXPECT_EQ(bytes, ReadText(outputs[0]));
    }
  }
  EXPECT_EQ(ReadText(dir_ + "/victim"), "keep");
  struct stat st;
  ASSERT_EQ(lstat((dir_ + "/link.LNG").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays";
  EXPECT_EQ(ReadText(dir_ + "/real/r.LNG"), ReadText(outputs[0]));
  EXPECT_EQ(Names(deep), "12:30.LNG") << "nothing is left beside an output";
}

TEST_F(WurcTest, StoresDialogTemplatesThePlatformCanCreate) {
  HMODULE m = Compile(
      "1100 DIALOG 1, 2, 331, 207\n"
      "STYLE DS_MODALFRAME | WS_POPUP | WS_SYSMENU\n"
      "CAPTION \"Select\"\n"
      "FONT 8, \"MS Sans Serif\"\n"
      "BEGIN\n"
      "  LTEXT \"&Save files in folder:\", 1102, 22, 112, 289, 12\n"
      "  EDITTEXT 1101, 22, 129, 289, 14, ES_AUTOHSCROLL\n"
      "  DEFPUSHBUTTON \"&Next >\", 2000, 201, 186, 50, 14\n"
      "  PUSHBUTTON \"< &Back\", 2001, 150, 186, 50, 14, WS_DISABLED | NOT WS_TABSTOP\n"
      "  CONTROL \"\", 1001, \"msctls_progress32\", WS_BORDER, 22, 137, 289, 12\n"
      "  CONTROL \"\", 1300, STATIC, SS_ETCHEDHORZ, 4, 174, 327, 1\n"
      "END\n"
      "LANGUAGE 0x407\n"
      "1200 DIALOGEX 0, 0, 322, 119\n"
      "FONT 8, \"MS Shell Dlg\", 400, 0, 1\n"
      "BEGIN\n"
      "  PUSHBUTTON \"&Ja\", 2002, 7, 97, 57, 14\n"
      "END\n");
  ASSERT_NE(m, nullptr);
  std::string plain = Bytes(m, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(1100), 0x409);
  ASSERT_GE(plain.size(), sizeof(DLGTEMPLATE));
  const auto* header = reinterpret_cast<const DLGTEMPLATE*>(plain.data());
  EXPECT_EQ(header->style, 0x80C800C0u);  // + WS_CAPTION (CAPTION) + DS_SETFONT (FONT)
  EXPECT_EQ(header->cdit, 6);
  EXPECT_EQ(header->x, 1);
  EXPECT_EQ(header->cy, 207);

  HWND dialog = CreateDialogIndirectParamW(nullptr, header, nullptr, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  WCHAR text[64];
  GetWindowTextW(dialog, text, 64);
  EXPECT_EQ(std::u16string(text), u"Select");
  struct Expect {
    int id;
    const char16_t* cls;
    const char16_t* text;
    DWORD style;
  } expects[] = {
      {1102, u"Static", u"&Save files in folder:", 0x50020000},
      {1101, u"Edit", u"", 0x50810080},
      {2000, u"Button", u"&Next >", 0x50010001},
      {2001, u"Button", u"< &Back", 0x58000000},
      {1001, u"msctls_progress32", u"", 0x50800000},
      {1300, u"Static", u"", 0x50000010},
  };
  for (const Expect& e : expects) {
    HWND item = GetDlgItem(dialog, e.id);
    ASSERT_NE(item, nullptr) << e.id;
    GetClassNameW(item, text, 64);
    EXPECT_EQ(platform::ToUtf8(text), platform::ToUtf8(e.cls)) << e.id;
    GetWindowTextW(item, text, 64);
    EXPECT_EQ(std::u16string(text), e.text) << e.id;
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(item, GWL_STYLE)), e.style) << e.id;
  }
  DestroyWindow(dialog);

  // The extended form: version 1, signature 0xFFFF, then the header fields.
  std::string ex = Bytes(m, MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(1200), 0x407);
  ASSERT_GE(ex.size(), 26u);
  EXPECT_EQ(ex.substr(0, 4), std::string("\x01\x00\xFF\xFF", 4));
  dialog = CreateDialogIndirectParamW(nullptr, reinterpret_cast<const DLGTEMPLATE*>(ex.data()),
                                      nullptr, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  GetWindowTextW(GetDlgItem(dialog, 2002), text, 64);
  EXPECT_EQ(std::u16string(text), u"&Ja");
  DestroyWindow(dialog);
  FreeLibrary(m);
}

TEST_F(WurcTest, MergesRowFiles) {
  WriteText(dir_ + "/a.rows",
            "// labels\n"
            "First \"one\"\n"
            "    de \"eins\"\n"
            "    0x40C \"un\"\n"
            "    ja #1234\n"
            "Second \"two\" \" more\"\n"
            "Third \"line\\none\\\\\"\n");
  std::string args = "--rows --header " + dir_ + "/Rows.h --include Rows.h --source " + dir_ + "/Rows.cpp ";
  std::string errors;
  ASSERT_EQ(Run(args + dir_ + "/a.rows", &errors), 0) << errors;
  std::string header = ReadText(dir_ + "/Rows.h");
  EXPECT_NE(header.find("extern WuLangStringRow WuLangRow_First;"), std::string::npos);
  EXPECT_NE(header.find("extern WuLangStringRow WuLangRow_Second;"), std::string::npos);
  EXPECT_NE(header.find("WULANG_ROW_COUNT = 3;"), std::string::npos);
  // A line break in a text stays escaped in the header's comment.
  EXPECT_NE(header.find("// \"line\\none\\\\\"\n"), std::string::npos) << header;
  std::string source = ReadText(dir_ + "/Rows.cpp");
  EXPECT_NE(source.find("u\"two more\""), std::string::npos);
  EXPECT_NE(source.find(".quad 1234\\n"), std::string::npos);

  struct Case {
    const char* rows;
    const char* message;
  };
  const Case cases[] = {
      {"A \"x\"\nA \"y\"\n", "defined twice"},
      {"A \"x\"\n  xx \"y\"\n", "unknown column tag"},
      {"A #12\n", "first column holds a text"},
      {"A \"x\"\n  de \"y\"\n  de \"z\"\n", "column given twice"},
      {"A-b \"x\"\n", "C++ identifiers"},
      {"  A \"x\"\n", "left margin"},
      {"A\n\"x\"\n", "belongs on its line"},
  };
  for (const Case& c : cases) {
    WriteText(dir_ + "/b.rows", c.rows);
    EXPECT_EQ(Run(args + dir_ + "/b.rows", &errors), 1) << c.rows;
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
  }
  // Names are unique across files.
  WriteText(dir_ + "/b.rows", "First \"again\"\n");
  EXPECT_EQ(Run(args + dir_ + "/a.rows " + dir_ + "/b.rows", &errors), 1);
  EXPECT_NE(errors.find("defined twice"), std::string::npos);
}

TEST_F(WurcTest, HelpDocumentsTheFormats) {
  EXPECT_EQ(Run("--help"), 0);
  std::string help = ReadText(dir_ + "/stdout.txt");
  for (const char* part : {"RESOURCE SCRIPTS", "RESOURCE FILE FORMAT", "\"WURM\"", "ROW FILES"})
    EXPECT_NE(help.find(part), std::string::npos) << part;
}

}  // namespace
