// The self-extractor's resources (Sfx/res/*.rc, compiled into this test
// program): every language carries every UI string and the three wizard
// dialogs; translations keep the English text's printf conversions, $(...)
// references and line structure; accelerators are usable; the dialogs hold
// the controls the pages look up, at their places; the language handle finds
// each language's texts, dialogs and the banner.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/WuKernelState.h"
#include "foundation/WuLang.h"
#include "imaging/WuDib.h"
#include "imaging/WuPngRead.h"
#include "platform/user/frontend.h"
#include "platform/kernel/resource.h"
#include "platform/user/windows.h"
#include "tests/common/TestUtil.h"

namespace {

using wutest::U8;

struct Language {
  LANGID id;         // the language of its resources
  const char* code;  // the self-extractor's language code
};

constexpr Language kLanguages[] = {
    {1033, "enu"}, {1041, "jpn"}, {1031, "deu"}, {3082, "esn"}, {1036, "fra"}, {2052, "chs"},
    {1028, "cht"}, {1030, "dan"}, {1035, "fin"}, {1040, "ita"}, {1042, "kor"}, {1043, "nld"},
    {1044, "nor"}, {1046, "ptb"}, {2070, "ptg"}, {1049, "rus"}, {1053, "sve"}};
constexpr LANGID kEnglish = 1033;

// Every string the self-extractor shows.
const std::vector<UINT>& StringIds() {
  static const std::vector<UINT> ids = [] {
    std::vector<UINT> v = {150, 152, 154, 160, 162, 164, 204, 302, 304,
                           305, 306, 307, 308, 600, 601, 602, 700};
    for (UINT id = 500; id <= 524; ++id) v.push_back(id);
    for (UINT id = 550; id <= 560; ++id) v.push_back(id);
    return v;
  }();
  return ids;
}

// Paths: the same text in every language.
bool IsPath(UINT id) { return id == 204 || id == 308; }

// Words a translation must keep: the options the help names.
struct KeptWords {
  UINT id;
  std::vector<std::u16string> words;
};
const std::vector<KeptWords>& Kept() {
  static const std::vector<KeptWords> kept = {{601, {u"-run ", u"-nosetup", u"-? ", u"-help"}}};
  return kept;
}

// The string `id` stored in exactly `language` (no fallback), if any.
std::optional<std::u16string> LoadText(LANGID language, UINT id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!block) return std::nullopt;
  const void* bytes = LockResource(LoadResource(module, block));
  const WCHAR* text = nullptr;
  DWORD count = 0;
  if (!platform::StringBlockEntry(bytes, SizeofResource(module, block), id % 16, &text, &count) ||
      count == 0)
    return std::nullopt;
  if (text[count - 1] == 0) --count;  // the stored terminator
  return std::u16string(text, count);
}

// ---- Dialog templates ----------------------------------------------------------------

struct Control {
  DWORD style = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::u16string cls;  // "button", "edit", "static" for the ordinals, else the name
  std::u16string text;
};

struct Dialog {
  DWORD style = 0;
  int cx = 0, cy = 0;
  int point_size = 0;
  std::u16string caption, face;
  std::vector<Control> items;
};

// Reads the plain template layout, every field inside the resource.
class TemplateReader {
 public:
  TemplateReader(const BYTE* bytes, size_t size) : bytes_(bytes), size_(size) {}

  bool Read(Dialog* d) {
    d->style = Dword();
    Dword();  // extended style
    WORD count = Word();
    Word(), Word();
    d->cx = static_cast<SHORT>(Word());
    d->cy = static_cast<SHORT>(Word());
    std::u16string ignored;
    SzOrOrd(&ignored);  // menu
    SzOrOrd(&ignored);  // class
    SzOrOrd(&d->caption);
    if (d->style & DS_SETFONT) {
      d->point_size = Word();
      d->face = Sz();
    }
    for (WORD i = 0; i < count && ok_; ++i) {
      at_ = (at_ + 3) & ~size_t{3};
      Control c;
      c.style = Dword();
      Dword();
      c.x = static_cast<SHORT>(Word());
      c.y = static_cast<SHORT>(Word());
      c.cx = static_cast<SHORT>(Word());
      c.cy = static_cast<SHORT>(Word());
      c.id = Word();
      SzOrOrd(&c.cls);
      SzOrOrd(&c.text);
      at_ += Word();  // creation data
      d->items.push_back(c);
    }
    return ok_ && at_ <= size_;
  }

 private:
  WORD Word() {
    if (at_ + 2 > size_) {
      ok_ = false;
      return 0;
    }
    WORD w = static_cast<WORD>(bytes_[at_] | bytes_[at_ + 1] << 8);
    at_ += 2;
    return w;
  }
  DWORD Dword() {
    DWORD low = Word();
    return low | static_cast<DWORD>(Word()) << 16;
  }
  std::u16string Sz() {
    std::u16string s;
    for (WORD c = Word(); c != 0 && ok_; c = Word()) s += static_cast<char16_t>(c);
    return s;
  }
  // A name or an ordinal; the predefined class ordinals become their names.
  void SzOrOrd(std::u16string* out) {
    WORD first = Word();
    if (first == 0) {
      out->clear();
    } else if (first == 0xFFFF) {
      WORD ordinal = Word();
      static const char16_t* const kClasses[] = {u"button", u"edit", u"static"};
      *out = ordinal >= 0x80 && ordinal <= 0x82 ? kClasses[ordinal - 0x80]
                                                : u"#" + std::u16string(1, ordinal);
    } else {
      at_ -= 2;
      *out = Sz();
    }
  }

  const BYTE* bytes_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

// Dialog `id` stored in exactly `language`; nullopt when it is missing or
// malformed.
std::optional<Dialog> LoadDialog(LANGID language, int id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return std::nullopt;
  const BYTE* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  Dialog d;
  if (!TemplateReader(bytes, SizeofResource(module, found)).Read(&d)) return std::nullopt;
  return d;
}

const Control* FindControl(const Dialog& d, int id) {
  for (const Control& c : d.items)
    if (c.id == id) return &c;
  return nullptr;
}

// ---- Text checks -----------------------------------------------------------------------

// The printf conversions of a text in order ("%s", "%d", "%-5d", ...).
std::vector<std::u16string> Conversions(const std::u16string& text) {
  std::vector<std::u16string> out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'%') continue;
    if (i + 1 < text.size() && text[i + 1] == u'%') {
      ++i;
      continue;
    }
    size_t end = i + 1;
    while (end < text.size() && std::u16string_view(u"-+ #0123456789.*hlLIw").find(text[end]) !=
                                    std::u16string_view::npos)
      ++end;
    out.push_back(text.substr(i, end + 1 - i));
    i = end;
  }
  return out;
}

// The $(...) references of a text in order.
std::vector<std::u16string> Tokens(const std::u16string& text) {
  std::vector<std::u16string> out;
  for (size_t at = text.find(u"$("); at != std::u16string::npos; at = text.find(u"$(", at + 2)) {
    size_t close = text.find(u')', at);
    out.push_back(
        text.substr(at, close == std::u16string::npos ? std::u16string::npos : close + 1 - at));
  }
  return out;
}

// The text without its $(...) references.
std::u16string Untokenised(std::u16string text) {
  for (const std::u16string& token : Tokens(text)) text.erase(text.find(token), token.size());
  return text;
}

size_t CountOf(const std::u16string& text, char16_t c) {
  size_t n = 0;
  for (char16_t u : text) n += u == c;
  return n;
}

// Case folding for the scripts in use (ASCII, Latin-1, Cyrillic).
char16_t Fold(char16_t c) {
  if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
      (c >= 0x410 && c <= 0x42F))
    return static_cast<char16_t>(c + 0x20);
  return c;
}

// The accelerator letter of a text: 0 when it has none, u'?' when it is
// malformed (a "&" at the end, before a blank, or more than one).
char16_t Accelerator(const std::u16string& text) {
  char16_t found = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (i + 1 < text.size() && text[i + 1] == u'&') {
      ++i;
      continue;
    }
    if (found || i + 1 == text.size() || text[i + 1] == u' ') return u'?';
    found = Fold(text[i + 1]);
  }
  return found;
}

// Expects the accelerators of `texts` to be well formed and distinct.
void ExpectDistinctAccelerators(const std::vector<std::u16string>& texts,
                                const std::string& where) {
  std::u16string seen;
  for (const std::u16string& t : texts) {
    char16_t a = Accelerator(t);
    EXPECT_NE(a, u'?') << where << ": malformed accelerator in \"" << U8(t) << "\"";
    if (a == 0 || a == u'?') continue;
    EXPECT_TRUE(seen.find(a) == std::u16string::npos)
        << where << ": the accelerator of \"" << U8(t) << "\" is taken";
    seen += a;
  }
}

// ---- Strings ------------------------------------------------------------------------------

TEST(SfxResourcesTest, EveryLanguageHasEveryStringAndDialog) {
  for (const Language& lang : kLanguages) {
    for (UINT id : StringIds()) {
      std::optional<std::u16string> text = LoadText(lang.id, id);
      EXPECT_TRUE(text && !text->empty()) << lang.code << ": string " << id;
    }
    for (int id : {1000, 1100, 1200})
      EXPECT_TRUE(LoadDialog(lang.id, id)) << lang.code << ": dialog " << id;
  }
}

// A translation that drops, adds or reorders a conversion reads the wrong
// argument; a lost $(...) reference leaves the product name out; lost line
// breaks or tabs run the help and the message boxes together.
TEST(SfxResourcesTest, TranslationsKeepConversionsReferencesAndLayout) {
  for (const Language& lang : kLanguages) {
    if (lang.id == kEnglish) continue;
    for (UINT id : StringIds()) {
      std::optional<std::u16string> english = LoadText(kEnglish, id), text = LoadText(lang.id, id);
      if (!english || !text) continue;  // reported by the test above
      SCOPED_TRACE(std::string(lang.code) + " string " + std::to_string(id) + ": " + U8(*text));
      EXPECT_EQ(Conversions(*text), Conversions(*english));
      EXPECT_EQ(Tokens(*text), Tokens(*english));
      EXPECT_EQ(CountOf(*text, u'\n'), CountOf(*english, u'\n'));
      EXPECT_EQ(CountOf(*text, u'\t'), CountOf(*english, u'\t'));
      for (const KeptWords& k : Kept()) {
        if (k.id != id) continue;
        for (const std::u16string& word : k.words)
          EXPECT_NE(text->find(word), std::u16string::npos) << "lost " << U8(word);
      }
      if (IsPath(id)) {
        EXPECT_EQ(*text, *english) << "paths stay as they are";
      } else if (Untokenised(*english).size() >= 20) {
        EXPECT_NE(*text, *english) << "an English copy, not a translation";
      }
    }
  }
}

// The texts of one dialog, and the button texts that dialog 1200 gets at run
// time, each have distinct accelerators.
TEST(SfxResourcesTest, AcceleratorsAreWellFormedAndDistinct) {
  for (const Language& lang : kLanguages) {
    for (int id : {1000, 1100, 1200}) {
      std::optional<Dialog> d = LoadDialog(lang.id, id);
      if (!d) continue;
      std::vector<std::u16string> texts;
      for (const Control& c : d->items)
        if (!(c.style & SS_NOPREFIX) || c.cls != u"static") texts.push_back(c.text);
      ExpectDistinctAccelerators(texts, std::string(lang.code) + " dialog " + std::to_string(id));
    }
    std::vector<std::u16string> buttons;
    for (UINT id : {302, 304, 305, 306, 307}) {
      std::optional<std::u16string> t = LoadText(lang.id, id);
      if (!t) continue;
      EXPECT_NE(Accelerator(*t), 0) << lang.code << ": string " << id << " has no accelerator";
      buttons.push_back(*t);
    }
    ExpectDistinctAccelerators(buttons, std::string(lang.code) + " strings 302..307");
  }
}

// ---- Dialogs ------------------------------------------------------------------------------

enum Flag : unsigned {
  kDefault = 1,   // the default push button
  kDisabled = 2,  // created disabled
};

struct ExpectedControl {
  int dialog;
  int id;
  const char16_t* cls;
  int x, y, cx, cy;
  unsigned flags;
  DWORD style;  // further style bits that must be set
};

constexpr ExpectedControl kControls[] = {
    {1100, 1102, u"static", 22, 112, 289, 12, 0, 0},
    {1100, 1101, u"edit", 22, 129, 289, 14, 0, ES_AUTOHSCROLL | WS_BORDER},
    {1100, 2000, u"button", 201, 186, 50, 14, kDefault, 0},
    {1100, 1104, u"button", 261, 148, 50, 14, 0, 0},
    {1100, 2001, u"button", 150, 186, 50, 14, kDisabled, 0},
    {1100, 2, u"button", 261, 186, 50, 14, 0, 0},
    {1100, 1300, u"static", 4, 174, 327, 1, 0, SS_ETCHEDHORZ},
    {1100, 1103, u"static", 22, 75, 289, 39, 0, 0},
    {1000, 1001, u"msctls_progress32", 22, 137, 289, 12, 0, WS_BORDER},
    {1000, 1004, u"static", 22, 71, 289, 39, 0, 0},
    {1000, 1002, u"static", 22, 117, 289, 16, 0, 0},
    {1000, 1300, u"static", 4, 174, 327, 1, 0, SS_ETCHEDHORZ},
    {1000, 2001, u"button", 150, 186, 50, 14, kDisabled, 0},
    {1000, 2000, u"button", 201, 186, 50, 14, kDisabled, 0},
    {1000, 2, u"button", 261, 186, 50, 14, 0, 0},
    {1200, 2002, u"button", 7, 97, 57, 14, kDefault, 0},
    {1200, 2003, u"button", 69, 97, 57, 14, 0, 0},
    {1200, 2004, u"button", 131, 97, 57, 14, 0, 0},
    {1200, 2005, u"button", 193, 97, 57, 14, 0, 0},
    {1200, 2, u"button", 258, 97, 57, 14, 0, 0},
    {1200, 1201, u"static", 7, 7, 308, 54, 0, 0},
    {1200, 1202, u"static", 7, 68, 308, 24, 0, 0},
};

TEST(SfxResourcesTest, DialogsHoldThePagesControlsAtTheirPlaces) {
  struct Size {
    int dialog, cx, cy;
  };
  constexpr Size kSizes[] = {{1000, 331, 207}, {1100, 331, 207}, {1200, 322, 119}};
  constexpr DWORD kFrame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;
  for (const Language& lang : kLanguages) {
    for (const Size& size : kSizes) {
      std::optional<Dialog> d = LoadDialog(lang.id, size.dialog);
      if (!d) continue;
      SCOPED_TRACE(std::string(lang.code) + " dialog " + std::to_string(size.dialog));
      EXPECT_EQ(d->style & kFrame, kFrame);
      EXPECT_EQ(d->cx, size.cx);
      EXPECT_EQ(d->cy, size.cy);
      EXPECT_EQ(d->face, u"MS Sans Serif");
      EXPECT_EQ(d->point_size, 8);
      size_t expected = 0;
      for (const ExpectedControl& e : kControls) {
        if (e.dialog != size.dialog) continue;
        ++expected;
        const Control* c = FindControl(*d, e.id);
        if (!c) {
          ADD_FAILURE() << "control " << e.id << " is missing";
          continue;
        }
        SCOPED_TRACE("control " + std::to_string(e.id));
        EXPECT_EQ(c->cls, e.cls);
        EXPECT_EQ((std::vector<int>{c->x, c->y, c->cx, c->cy}),
                  (std::vector<int>{e.x, e.y, e.cx, e.cy}));
        EXPECT_EQ(c->style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
        EXPECT_EQ(c->style & e.style, e.style);
        EXPECT_EQ((c->style & WS_DISABLED) != 0, (e.flags & kDisabled) != 0);
        if (e.cls == std::u16string(u"button")) {
          EXPECT_EQ(c->style & BS_TYPEMASK,
                    (e.flags & kDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        }
      }
      EXPECT_EQ(d->items.size(), expected) << "controls beyond the pages' own";
      if (size.dialog == 1100 && FindControl(*d, 1103)) {
        // The page never sets this text: the template carries string 162.
        EXPECT_EQ(FindControl(*d, 1103)->text, LoadText(lang.id, 162).value_or(u""));
      }
    }
  }
}

// ---- Through the language handle --------------------------------------------------------

class SfxResourcesHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    WuKernel_SetLangHandle(lang_);
    ASSERT_TRUE(WuLang_ChangeLangInst(lang_, GetModuleHandleW(nullptr)));
  }
  void TearDown() override {
    platform::SetFrontEnd(nullptr);
    WuKernel_SetLangHandle(nullptr);
    WuLang_Close(lang_);
  }

  HWULANG lang_ = nullptr;
};

// Records the caption and ends the dialog with the id of a pressed control,
// as the file-exists dialog does.
INT_PTR EndOnCommand(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    *reinterpret_cast<std::u16string*>(lparam) = platform::WindowText(dialog);
    return TRUE;
  }
  if (message == WM_COMMAND && HIWORD(wparam) == 0) {
    EndDialog(dialog, LOWORD(wparam));
    return TRUE;
  }
  return FALSE;
}

// The front end of runs without a person; a dialog it leaves open (one
// without a default button) is closed with Escape after a few idle turns,
// so that the test fails instead of waiting.
class NoPersonFrontEnd : public platform::NonInteractiveFrontEnd {
 public:
  void ModalBegin(HWND dialog) override {
    idle_turns_ = 0;
    NonInteractiveFrontEnd::ModalBegin(dialog);
  }
  void ModalIdle(HWND dialog) override {
    if (++idle_turns_ > 10)
      platform::PressEscape(dialog);
    else
      NonInteractiveFrontEnd::ModalIdle(dialog);
  }

 private:
  int idle_turns_ = 0;  // idle turns of the dialog shown
};

// Each language's texts and file-exists dialog come through the handle in
// that language, and a run without a person answers the dialog with Yes.
TEST_F(SfxResourcesHandleTest, EachLanguageComesThroughTheHandle) {
  NoPersonFrontEnd front_end;
  platform::SetFrontEnd(&front_end);
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(lang.code);
    ASSERT_TRUE(WuLang_UpdateKernelLCID(lang_, lang.id, 0));
    std::optional<std::u16string> wizard = LoadText(lang.id, 515), exists = LoadText(lang.id, 511);
    ASSERT_TRUE(wizard && exists);
    EXPECT_EQ(std::u16string(WuGetString(lang_, 515)), *wizard);
    std::u16string caption;
    EXPECT_EQ(
        WuDialogBoxParam(lang_, 1200, nullptr, EndOnCommand, reinterpret_cast<LPARAM>(&caption)),
        2002);
    EXPECT_EQ(caption, *exists);
  }
}

// The built-in banner is found in every language and leaves room on the
// pages: it fits the page width with a margin, and the heading drawn below
// it (banner height + 31 .. + 51 pixels) ends above the first text.
TEST_F(SfxResourcesHandleTest, BannerLoadsInEveryLanguageAndFitsThePages) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC page = FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(1000), kEnglish);
  ASSERT_NE(page, nullptr);
  SIZE client{};
  ASSERT_TRUE(platform::DialogTemplatePixelSize(LockResource(LoadResource(module, page)),
                                                SizeofResource(module, page), &client));
  const int first_text_top = 71 * client.cy / 207;  // control 1004, the highest text of both pages
  for (const Language& lang : kLanguages) {
    SCOPED_TRACE(lang.code);
    ASSERT_TRUE(WuLang_UpdateKernelLCID(lang_, lang.id, 0));
    BITMAPINFOHEADER* banner = nullptr;
    ASSERT_EQ(WuLoadPngDib(lang_, MAKEINTRESOURCEW(107), &banner), S_OK);
    ASSERT_NE(banner, nullptr);
    const int width = banner->biWidth;
    const int height = banner->biHeight < 0 ? -banner->biHeight : banner->biHeight;
    WuDibFree(banner, 0);
    EXPECT_GT(width, client.cx / 2);
    EXPECT_LE(width, client.cx - 40) << "page client width " << client.cx;
    EXPECT_LE(height + 51, first_text_top) << "page client height " << client.cy;
  }
}

}  // namespace
