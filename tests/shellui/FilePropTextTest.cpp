#include "shellui/WuFilePropText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "platform/kernel/date_format.h"
#include "platform/kernel/files.h"
#include "platform/kernel/locale.h"
#include "platform/kernel/module.h"
#include "platform/kernel/time.h"
#include "platform/user/frontend.h"
#include "platform/user/windows.h"
#include "shellui/WuFilePropFormat.h"
#include "tests/shellui/FakeFioWorld.h"

namespace {

using fakefio::World;

std::string U8(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string U16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// Built in one pass: a text of many lines is not moved once a line.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  std::string out;
  out.reserve(text.size());
  size_t done = 0;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, done)) {
    out.append(text, done, at - done);
    out += to;
    done = at + from.size();
  }
  out.append(text, done, std::string::npos);
  text.swap(out);
}

std::string StateRoot() {
  const char* root = std::getenv("WU_STATE_ROOT");
  return root ? root : "/tmp";
}

class FilePropTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
    ASSERT_TRUE(platform::SetUserLocale(0x409, 0x409));
    WuLang_GetInternationals(nullptr, 0);
    UseLanguage(0x409);
    edit_ = CreateWindowExW(0, u"EDIT", u"", WS_POPUP | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL, 0, 0,
                            400, 300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(edit_);
  }
  void TearDown() override {
    DestroyWindow(edit_);
    platform::SetUserLocale(0, 0);
    WuLang_GetInternationals(nullptr, 0);
    CloseLanguage();
    if (hadTz_) setenv("TZ", oldTz_.c_str(), 1);
    else unsetenv("TZ");
    tzset();
  }

  // The listing as UTF-8 with "\n" line ends.
  std::string Fill(LPCWSTR path, IWuReadFile* reader, IWuFileIOMgrForApp* manager, DWORD flags, BOOL diagnostic) {
    FillFilePropertiesText(edit_, path, reader, manager, flags, diagnostic);
    std::string text = U8(platform::WindowText(edit_));
    ReplaceAll(text, "\r\n", "\n");
    return text;
  }

  void CloseLanguage() {
    if (!lang_) return;
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
    lang_ = nullptr;
  }
  void UseLanguage(LCID lcid) {
    CloseLanguage();
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
  }

  // Compares with a golden listing of tests/shellui/golden; on a difference
  // the listing is written next to the test program for review.
  void ExpectGolden(const std::string& actual, const std::string& name) {
    std::ifstream in(std::string(WU_SHELLUI_GOLDEN_DIR) + "/" + name, std::ios::binary);
    std::stringstream golden;
    golden << in.rdbuf();
    if (golden.str() != actual) {
      std::ofstream(std::string(WU_SHELLUI_PICTURES_DIR) + "/" + name, std::ios::binary) << actual;
      ADD_FAILURE() << name << " differs; the listing is in " << WU_SHELLUI_PICTURES_DIR;
    }
  }

  HWND edit_ = nullptr;
  HWULANG lang_ = nullptr;
  bool hadTz_ = false;
  std::string oldTz_;
};

// The plug-in library named in the rich file's record: a program of the
// test build that carries a version block.
const std::string kModule = WU_LAUNCH_TARGET;

std::string ModuleTokens(std::string text) {
  std::string folder = kModule.substr(0, kModule.rfind('/'));
  ReplaceAll(text, folder, "{MODULE_DIR}");
  return text;
}

TEST_F(FilePropTextTest, RichFileListingsMatchTheGoldens) {
  struct Case {
    BOOL diagnostic;
    const char* golden;
  } cases[] = {{FALSE, "rich-normal.txt"}, {TRUE, "rich-diagnostic.txt"}};
  for (const Case& c : cases) {
    World world;
    fakefio::FakeReader& reader = fakefio::MakeRichFile(world, u"C:\\Media\\Rich take.wav", U16(kModule));
    std::string text = Fill(u"C:\\Media\\Rich take.wav", &reader, &world.manager, 1, c.diagnostic);
    ExpectGolden(ModuleTokens(text), c.golden);
    EXPECT_EQ(world.Leaks(), "") << c.golden;
    // The 592-byte records were asked with their size preset.
    for (DWORD size : world.plugins.sizesSeen) EXPECT_EQ(size, 592u);
  }
}

TEST_F(FilePropTextTest, AReaderOpenedByTheManagerIsReleasedAndAnEmptyPathComesFromTheReader) {
  World world;
  fakefio::FakeReader& reader = fakefio::MakeRichFile(world, u"C:\\Media\\Rich take.wav", U16(kModule));
  std::string byManager = Fill(u"C:\\Media\\Rich take.wav", nullptr, &world.manager, 1, FALSE);
  EXPECT_EQ(world.manager.opened.front(), u"C:\\Media\\Rich take.wav");
  EXPECT_EQ(world.Leaks(), "");
  std::string byReader = Fill(u"", &reader, &world.manager, 1, FALSE);
  EXPECT_EQ(byReader, byManager);
  EXPECT_EQ(world.Leaks(), "");
}

// A real file of the state root with a known write time.
std::u16string MakeFile(const std::string& name, const std::string& bytes, DWORD attributes = 0) {
  std::string path = StateRoot() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  std::u16string wide = U16(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  // 2024-03-05 13:02:03 UTC for both the write and the access time.
  ULONGLONG ticks = 133541173230000000ULL;
  FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  EXPECT_TRUE(SetFileTime(file, nullptr, &ft, &ft));
  CloseHandle(file);
  if (attributes) SetFileAttributesW(wide.c_str(), attributes);
  return wide;
}

// "<long date>, <time>" of a file time, as the listing shows it in en-US.
std::string Shown(const FILETIME& utc) {
  SYSTEMTIME st;
  FileTimeToSystemTime(&utc, &st);
  WCHAR date[80], time[80];
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_LONGDATE, &st, nullptr, date, 80);
  GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, 80);
  return U8(date) + ", " + U8(time);
}

TEST_F(FilePropTextTest, WithoutAReaderTheFileSystemAndTheTwoAlwaysWrittenSections) {
  std::u16string path = MakeFile("take.wav", std::string(1500, 'x'));
  WIN32_FILE_ATTRIBUTE_DATA entry{};
  ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &entry));
  std::string folder = StateRoot();
  std::string expected =
      "General\n"
      "    Name:            take.wav\n"
      "    Folder:          " + folder + "\n"
      "    Type:            WAV File\n"
      "    Size:            1.46 KB (1,500 bytes)\n"
      "    Created:         " + Shown(entry.ftCreationTime) + "\n"
      "    Modified:        Tuesday, March 5, 2024, 1:02:03 PM\n"
      "    Accessed:        Tuesday, March 5, 2024, 1:02:03 PM\n"
      "    Attributes:      Normal\n"
      "\n"
      "Other metadata\n"
      "    Regions/markers: no\n"
      "    Command markers: no\n"
      "\n"
      "Media catalogue tags\n"
      "    Media tags:      no\n"
      "\n";
  EXPECT_EQ(Fill(path.c_str(), nullptr, nullptr, 1, FALSE), expected);
  // A manager that cannot open the file changes nothing.
  World world;
  EXPECT_EQ(Fill(path.c_str(), nullptr, &world.manager, 1, FALSE), expected);
  EXPECT_EQ(world.Leaks(), "");
}

TEST_F(FilePropTextTest, AFolderListsNameFolderTypeCreatedAndAttributesOnly) {
  std::string dir = StateRoot() + "/Takes";
  std::u16string path = U16(dir);
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
  WIN32_FILE_ATTRIBUTE_DATA entry{};
  ASSERT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &entry));
  std::string text = Fill(path.c_str(), nullptr, nullptr, 0, FALSE);
  std::string general = text.substr(0, text.find("\n\n") + 2);
  EXPECT_EQ(general,
            "General\n"
            "    Name:            Takes\n"
            "    Folder:          " + StateRoot() + "\n"
            "    Type:            File folder\n"
            "    Created:         " + Shown(entry.ftCreationTime) + "\n"
            "    Attributes:      Subdirectory\n"
            "\n");
}

TEST_F(FilePropTextTest, Attributes) {
  struct Case {
    DWORD attributes;
    const char16_t* text;
  } cases[] = {
      {0x27, u"Read-only, Hidden, Archive, System"},
      {0, u"Normal"},
      {0x80, u"Normal"},  // the platform's plain file
      {0x81, u"Read-only"},
      {0x10, u"Subdirectory"},
      {0x1000, u""},  // other bits are not named
  };
  for (const Case& c : cases) {
    WCHAR out[128];
    FormatFileAttributes(c.attributes, out, 128);
    EXPECT_EQ(std::u16string(out), c.text) << std::hex << c.attributes;
  }
}

TEST_F(FilePropTextTest, RootNotes) {
  struct Case {
    DWORD note;
    HRESULT hr;
    const char16_t* text;
  } cases[] = {{60, S_OK, u"C4"},  {61, S_OK, u"C#4"},   {0, S_OK, u"None"},  {128, E_FAIL, u"Error"},
               {71, S_OK, u"B4"},  {127, S_OK, u"G9"},   {1, S_OK, u"C#-1"},  {1000, E_FAIL, u"Error"}};
  for (const Case& c : cases) {
    WCHAR out[32];
    EXPECT_EQ(FormatRootNoteName(out, 32, c.note), c.hr) << c.note;
    EXPECT_EQ(std::u16string(out), c.text) << c.note;
  }
  UseLanguage(0x407);
  WCHAR out[32];
  EXPECT_EQ(FormatRootNoteName(out, 32, 71), S_OK);
  EXPECT_EQ(std::u16string(out), u"H4");
  EXPECT_EQ(FormatRootNoteName(out, 32, 70), S_OK);
  EXPECT_EQ(std::u16string(out), u"A#4");
}

TEST_F(FilePropTextTest, FourCCAndLanguageTags) {
  struct FourCC {
    DWORD code;
    BOOL tagged;
    const char16_t* text;
  } fourccs[] = {
      {0x64737664, TRUE, u"[dvsd]"},   // bytes in memory order, lowest first
      {0x20203233, TRUE, u"[32  ]"},
      {0x00000001, FALSE, u"error"},
      {0x41424320 | 0x80u << 24, FALSE, u"error"},
      {0x5F736674, FALSE, u"error"},  // "tfs_": '_' is not a letter
  };
  for (const FourCC& c : fourccs) {
    WCHAR out[20];
    EXPECT_EQ(FormatFourCCTag(20, out, c.code), c.tagged) << std::hex << c.code;
    EXPECT_EQ(std::u16string(out), c.text) << std::hex << c.code;
  }
  WCHAR small[4];
  EXPECT_FALSE(FormatFourCCTag(4, small, 1));
  EXPECT_EQ(std::u16string(small), u"err");  // bounded by the size

  struct Lang {
    WORD code;
    BOOL tagged;
    const char16_t* text;
  } langs[] = {
      {0x656E, TRUE, u"[en]"},  // high byte first
      {0x6465, TRUE, u"[de]"},
      {0x454E, FALSE, u"error"},  // capitals
      {0xFFFF, FALSE, u"error"},
      {0x0000, FALSE, u"error"},
  };
  for (const Lang& c : langs) {
    WCHAR out[20];
    EXPECT_EQ(FormatLangCodeTag(20, out, c.code), c.tagged) << std::hex << c.code;
    EXPECT_EQ(std::u16string(out), c.text) << std::hex << c.code;
  }
}

TEST_F(FilePropTextTest, DiagnosticValueFormatters) {
  struct Case {
    int formatter;  // 0 data rate, 1 quoted text, 2 FOURCC
    HRESULT hr;
    LONGLONG value;
    const char16_t* text;
  } cases[] = {
      {0, S_OK, 0, u"0 (bytes/sec)"},
      {0, S_OK, 16000, u"16,000 (bytes/sec)   =128 Kbps (calc.)"},
      {0, S_OK, 176400, u"176,400 (bytes/sec)   =1,411 Kbps (calc.)"},
      {0, S_OK, -5, u"-5 (bytes/sec)"},
      {0, S_FALSE, 16000, u"not set, hr=0x00000001 (S_FALSE)"},
      {0, 2, 16000, u"not set, hr=0x00000002"},
      {0, E_FAIL, 16000, u""},
      {1, S_OK, 0, u"'1,411 kbps'"},
      {1, S_FALSE, 0, u"not set, hr=0x00000001 (S_FALSE)"},
      {1, E_NOTIMPL, 0, u""},
      {2, S_OK, 0x64737664, u"0x64737664 [dvsd]"},
      {2, S_OK, 1, u"0x00000001 error"},
      {2, E_FAIL, 1, u""},
  };
  for (const Case& c : cases) {
    WCHAR out[WUFILEPROP_VALUE_CHARS] = u"stale";
    HRESULT hr = c.formatter == 0   ? FormatDataRateValue(c.hr, c.value, out, WUFILEPROP_VALUE_CHARS)
                 : c.formatter == 1 ? FormatQuotedTextValue(c.hr, u"1,411 kbps", out, WUFILEPROP_VALUE_CHARS)
                                    : FormatFourCCValue(c.hr, static_cast<DWORD>(c.value), out,
                                                        WUFILEPROP_VALUE_CHARS);
    EXPECT_EQ(hr, c.hr);
    EXPECT_EQ(std::u16string(out), c.text) << c.formatter << " " << c.value;
  }
  // A quoted text keeps at most 127 characters of the text.
  std::u16string longText(300, u'a');
  WCHAR out[WUFILEPROP_VALUE_CHARS];
  FormatQuotedTextValue(S_OK, longText.c_str(), out, WUFILEPROP_VALUE_CHARS);
  EXPECT_EQ(std::u16string(out).size(), 127u);
}

TEST_F(FilePropTextTest, PluginRecordsAreSearchedAtTheSelectorsOffsets) {
  World world;
  const GUID a = {0xA, 0, 0, {1}}, b = {0xB, 0, 0, {1}}, c = {0xC, 0, 0, {1}}, d = {0xD, 0, 0, {1}};
  world.AddPlugin(a, b, u"C:\\Plug-ins\\first.dll");
  // The second record: renderer class c at 40 and d in the last 16 bytes.
  world.AddPlugin(b, a, u"C:\\Plug-ins\\second.dll");
  world.plugins.records.back().rendererClassId = c;
  std::memcpy(world.plugins.records.back().zero, &d, 16);
  struct Case {
    GUID id;
    int selector;
    HRESULT hr;
    const char16_t* path;
  } cases[] = {
      {a, 0, S_OK, u"C:\\Plug-ins\\first.dll"},  {b, 0, S_OK, u"C:\\Plug-ins\\second.dll"},
      {b, 16, S_OK, u"C:\\Plug-ins\\first.dll"}, {a, 16, S_OK, u"C:\\Plug-ins\\second.dll"},
      {c, 32, S_OK, u"C:\\Plug-ins\\second.dll"}, {d, 48, S_OK, u"C:\\Plug-ins\\second.dll"},
      {c, 16, E_FAIL, u""},
  };
  for (const Case& k : cases) {
    WUFIO_PLUGIN_INFO record{};
    EXPECT_EQ(FindPluginInfoByClassId(&world.manager, k.id, k.selector, &record), k.hr) << k.selector;
    WCHAR path[260];
    PluginInfoModulePath(k.hr == S_OK ? &record : nullptr, path, 260);
    EXPECT_EQ(std::u16string(path), k.path);
  }
  WUFIO_PLUGIN_INFO record{};
  EXPECT_EQ(FindPluginInfoByClassId(nullptr, a, 0, &record), E_FAIL);
  world.plugins.resetResult = E_FAIL;
  EXPECT_EQ(FindPluginInfoByClassId(&world.manager, a, 0, &record), E_FAIL);
  world.manager.plugins = nullptr;
  EXPECT_EQ(FindPluginInfoByClassId(&world.manager, a, 0, &record), E_FAIL);
  EXPECT_EQ(world.Leaks(), "");
}

// The lines of one section: from its header to the empty line.
std::string Section(const std::string& text, const std::string& header) {
  size_t at = text.find(header + "\n");
  if (at == std::string::npos) return "";
  return text.substr(at, text.find("\n\n", at) + 2 - at);
}

TEST_F(FilePropTextTest, LoopModesOfAudioAndMidiStreams) {
  struct Case {
    bool present;
    DWORD flags;
    DWORD beats;
    const char* audio;
    const char* midi;
  } cases[] = {
      {false, 0, 0, "00:00:10.000, desc, codec", "00:00:07.000, desc, codec"},
      {true, 0x1, 4, "One-Shot, 00:00:10.000, desc, codec", "One-Shot, 00:00:07.000, desc, codec"},
      {true, 0x0, 0, "One-Shot, 00:00:10.000, desc, codec", "00:00:07.000, desc, codec"},
      {true, 0x8, 4, "One-Shot, 00:00:10.000, desc, codec",
       "Loop, 4 beats at 24.0 BPM, \t\tRoot note: None, desc, codec"},
      {true, 0x6, 0, "Beatmapped, 00:00:10.000 at 120.0 BPM, Root note: C4, desc, codec",
       "Loop, 0 beats at 0.0 BPM, \t\tRoot note: C4, desc, codec"},
      {true, 0x11, 0, "Beatmapped, 00:00:10.000 at 120.0 BPM, Root note: None, desc, codec",
       "One-Shot, 00:00:07.000, desc, codec"},
      {true, 0xC, 0, "Beatmapped, 00:00:10.000 at 120.0 BPM, Root note: None, desc, codec",
       "Beatmapped, 00:00:10.000 at 120.0 BPM, \t\tRoot note: None, desc, codec"},
      {true, 0x2, 16, "Loop, 16 beats at 96.0 BPM, Root note: C4, desc, codec",
       "Loop, 16 beats at 96.0 BPM, \t\tRoot note: C4, desc, codec"},
  };
  for (const Case& c : cases) {
    World world;
    fakefio::FakeReader& reader = world.AddFile(u"");
    fakefio::FakeMeta& meta = world.AddMeta();
    reader.meta = &meta;
    reader.duration = 70000000;
    meta.hasLoopInfo = true;
    meta.loopResult = c.present ? S_OK : S_FALSE;
    meta.loop.flags = c.flags;
    meta.loop.rootNote = 60;
    meta.loop.beats = c.beats;
    meta.loop.tempo = 120.0f;
    fakefio::StreamDesc s;
    s.length = 441000;
    s.sampleRate = 44100;
    s.texts[1] = fakefio::Ok(u"codec");
    s.texts[2] = fakefio::Ok(u"desc");
    fakefio::StreamDesc m = s;
    m.type = 4;
    reader.streams = {s, m};
    std::string streams = Section(Fill(u"", &reader, nullptr, 0, FALSE), "Streams");
    EXPECT_EQ(streams, std::string("Streams\n    Audio:           ") + c.audio + "\n    MIDI:            " +
                           c.midi + "\n\n")
        << std::hex << c.flags;
    EXPECT_EQ(world.Leaks(), "");
  }
}

// ---- Hostile plug-ins ---------------------------------------------------------------------
TEST_F(FilePropTextTest, ASubtitleCountOfTwoToTheSixtyFirstIsShownButNotRead) {
  struct Case {
    long long count;
    bool tableAsked;
  } cases[] = {{1LL << 61, false}, {-3, false}, {0, false}, {65537, false}, {65536, true}, {2, true}};
  for (const Case& c : cases) {
    World world;
    fakefio::FakeReader& reader = world.AddFile(u"");
    reader.fileValues[2] = fakefio::OkI64(c.count);
    reader.fileValues[3] = fakefio::OkBytes(std::string("ne\0\0\x05\0\0\0", 8));  // a single entry
    std::string text = Section(Fill(u"", &reader, nullptr, 0, TRUE), "File (debug)");
    EXPECT_NE(text.find("    Subtitle strms:  " + std::to_string(c.count) + "\n"), std::string::npos) << text;
    bool asked = false;
    for (LONG kind : reader.fileValueKinds) asked = asked || kind == 3;
    EXPECT_EQ(asked, c.tableAsked) << c.count;
    if (c.tableAsked) {
      // Entries the plug-in did not fill read as zero.
      EXPECT_NE(text.find("    Subtitle strm 0: LangCode=0x656e [en] DecodingStreamNum=5\n"), std::string::npos);
      EXPECT_NE(text.find("    Subtitle strm 1: LangCode=000000       DecodingStreamNum=0\n"), std::string::npos);
    }
    EXPECT_EQ(world.Leaks(), "");
  }
}

TEST_F(FilePropTextTest, FileChainsEndAtAListedNameOrAfterAThousandFiles) {
  {
    // a.wav -> b.wav -> c.wav -> b.wav: ends before listing b.wav again.
    World world;
    fakefio::FakeReader& a = world.AddFile(u"a.wav");
    a.chain = u"b.wav";
    world.AddFile(u"b.wav").chain = u"c.wav";
    world.AddFile(u"c.wav").chain = u"B.WAV";
    EXPECT_EQ(Section(Fill(u"a.wav", &a, &world.manager, 0, FALSE), "File Chain"),
              "File Chain\n    File 1:          b.wav\n    File 2:          c.wav\n\n");
    // Back to the file itself.
    world.manager.files[u"c.wav"]->chain = u"a.wav";
    EXPECT_EQ(Section(Fill(u"a.wav", &a, &world.manager, 0, FALSE), "File Chain"),
              "File Chain\n    File 1:          b.wav\n    File 2:          c.wav\n\n");
    // Without a manager only the first name.
    EXPECT_EQ(Section(Fill(u"a.wav", &a, nullptr, 0, FALSE), "File Chain"),
              "File Chain\n    File 1:          b.wav\n\n");
    EXPECT_EQ(world.Leaks(), "");
  }
  {
    // Every file names a new one.
    World world;
    fakefio::FakeReader& first = world.AddFile(u"first.wav");
    first.chain = u"next";
    fakefio::FakeReader& endless = world.AddFile(u"");
    endless.chain = u"part";
    endless.chainCounter = true;
    world.manager.anyFile = &endless;
    std::string text = Section(Fill(u"first.wav", &first, &world.manager, 0, FALSE), "File Chain");
    EXPECT_NE(text.find("    File 1000:       part999.wav\n\n"), std::string::npos);
    EXPECT_EQ(text.find("File 1001"), std::string::npos);
    EXPECT_EQ(world.manager.opened.size(), 999u);
    EXPECT_EQ(world.Leaks(), "");
  }
}

TEST_F(FilePropTextTest, AReaderGrowingTheFormatSizeNeverGetsMoreThanTheRecord) {
  World world;
  fakefio::FakeReader& reader = world.AddFile(u"");
  fakefio::StreamDesc s;
  s.length = 44100;
  s.sampleRate = 44100;
  s.answerSize = 1u << 20;  // claims a record of a megabyte
  reader.streams = {s, s, s};
  reader.streams[1].ordinal = 1;
  reader.streams[2].ordinal = 2;
  std::string text = Section(Fill(u"", &reader, nullptr, 0, FALSE), "Streams");
  EXPECT_EQ(text,
            "Streams\n    Audio 1:         00:00:01.000\n    Audio 2:         00:00:01.000\n"
            "    Audio 3:         00:00:01.000\n\n");
  EXPECT_EQ(reader.formatPresets, (std::vector<DWORD>{184, 184, 184}));
  EXPECT_EQ(world.Leaks(), "");
}

// A length beyond a 64-bit count of 100-ns units reads as unknown, as a rate
// of 0 does; lengths within the range are shown.
TEST_F(FilePropTextTest, StreamLengthsBeyondSixtyFourBitsShowAsUnknown) {
  struct Case {
    DWORD type;
    LONGLONG length;
    DWORD sampleRate;
    double frameRate;
    const char* value;
  } cases[] = {
      {1, 441000, 0, 0, "00:00:00.000"},
      {1, 1LL << 62, 1, 0, "00:00:00.000"},
      {1, 1500000000000LL, 1, 0, "00:00:00.000"},
      {1, -(1LL << 62), 44100, 0, "00:00:00.000"},
      {1, 900000000000LL, 1, 0, "16:00:00.000"},  // 9e18 units; the hours wrap at a day
      {2, 1LL << 62, 0, 1e-3, "00:00:00.000, 0.001 fps progressive, "},
  };
  for (const Case& c : cases) {
    World world;
    fakefio::FakeReader& reader = world.AddFile(u"");
    fakefio::StreamDesc s;
    s.type = c.type;
    s.length = c.length;
    s.sampleRate = c.sampleRate;
    s.frameRate = c.frameRate;
    reader.streams = {s};
    std::string text = Section(Fill(u"", &reader, nullptr, 0, FALSE), "Streams");
    EXPECT_EQ(text, std::string("Streams\n    ") + (c.type == 1 ? "Audio:           " : "Video:           ") +
                        c.value + "\n\n")
        << c.length;
    EXPECT_EQ(world.Leaks(), "");
  }
}

TEST_F(FilePropTextTest, UnterminatedPluginTextsAndFailingCallsOnlyRemoveLines) {
  World world;
  fakefio::FakeReader& reader = world.AddFile(u"");
  reader.fileNameResult = E_FAIL;
  reader.fileTexts[1] = fakefio::Text{S_OK, u"", true};
  reader.fileTexts[2] = fakefio::Text{S_OK, u"", true};
  fakefio::StreamDesc s;
  s.texts[1] = fakefio::Text{S_OK, u"", true};
  s.texts[2] = fakefio::Text{S_OK, u"", true};
  s.texts[3] = fakefio::Text{S_OK, u"", true};
  fakefio::StreamDesc broken;
  broken.formatResult = E_FAIL;
  fakefio::StreamDesc unknown;
  unknown.identityResult = E_FAIL;
  reader.streams = {s, broken, unknown};
  fakefio::FakeClass& cls = world.AddClass();
  cls.classIdResult = E_FAIL;
  cls.stringsResult = E_FAIL;
  reader.cls = &cls;
  std::string text = Fill(u"", &reader, &world.manager, 0, TRUE);
  // Texts are cut at the last unit of their buffers (259 and 127
  // characters); a diagnostic value keeps at most 127 characters.
  EXPECT_NE(text.find("    Type:            " + std::string(259, 'x') + "\n"), std::string::npos);
  EXPECT_NE(text.find("    Text datarate:   '" + std::string(126, 'x') + "\n"), std::string::npos);
  // The stream whose format fails still counts: its neighbour is "Audio 1".
  EXPECT_NE(text.find("    Audio 1:         00:00:00.000, " + std::string(127, 'x') + ", " + std::string(259, 'x') + "\n"),
            std::string::npos);
  EXPECT_NE(text.find("    Codec name:      '" + std::string(63, 'x') + "'\n"), std::string::npos);
  EXPECT_EQ(text.find("Plug-In"), std::string::npos);  // neither a record nor a format name
  EXPECT_EQ(world.Leaks(), "");
}

}  // namespace
