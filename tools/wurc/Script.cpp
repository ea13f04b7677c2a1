#include "Script.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "Dialog.h"
#include "Lexer.h"

namespace wurc {

const char kScriptHelp[] = R"(RESOURCE SCRIPTS
  // comment                      /* comment */
  LANGUAGE 0x407                  following resources are German (a LANGID)
  LANGUAGE 9, 1                   primary language, sublanguage
  STRINGTABLE BEGIN 101 "Text" 102, "Line\none" END
  107 32 "banner.png"             a file as a resource: name, type, file
  HELLO RCDATA BEGIN "bytes", L"UTF-16", 0x1234, 0x12345678L END
  2 BITMAP "logo.bmp"             the 14-byte file header is dropped
  1100 DIALOG 0, 0, 331, 207      a dialog template (RT_DIALOG 5); DIALOGEX
  STYLE DS_MODALFRAME | WS_POPUP    x, y, cx, cy [, help id] for the extended
  CAPTION "Title"                   form. Options: STYLE, EXSTYLE, CAPTION,
  FONT 8, "MS Sans Serif"           FONT size, face [, weight, italic,
  BEGIN                             charset (DIALOGEX)], MENU, CLASS,
    LTEXT "Text", 1102, 22, 112, 289, 12      LANGUAGE. Controls: LTEXT RTEXT
    EDITTEXT 1101, 22, 129, 289, 14, ES_AUTOHSCROLL   CTEXT PUSHBUTTON
    CONTROL "", 1001, "msctls_progress32", WS_BORDER, 22, 137, 289, 12
  END                               DEFPUSHBUTTON CHECKBOX AUTOCHECKBOX
                                    RADIOBUTTON AUTORADIOBUTTON STATE3
                                    AUTO3STATE GROUPBOX (text, id, x, y, cx,
                                    cy [, style [, exstyle]]); EDITTEXT
                                    LISTBOX COMBOBOX SCROLLBAR (id, x, y, cx,
                                    cy [, style [, exstyle]]); ICON text, id,
                                    x, y [, cx, cy ...]; CONTROL text, id,
                                    class, style, x, y, cx, cy [, exstyle].
                                    Styles: numbers and WS_ DS_ SS_ BS_ ES_
                                    LBS_ CBS_ PBS_ SBS_ WS_EX_ names joined
                                    by |; NOT clears a default bit. Id -1 is
                                    0xFFFF.
  ({ and } may stand for BEGIN and END.)

  Names and types: a number 1..65535 is an id; an identifier or a quoted text
  is a name, stored in capitals. Type keywords: RCDATA 10, BITMAP 2,
  MESSAGETABLE 11, FONTDIR 7, FONT 8, HTML 23, MANIFEST 24, ANICURSOR 21,
  ANIICON 22; a number is a type id; another identifier or text is a named
  type. STRINGTABLE makes RT_STRING (6) blocks: block id / 16 + 1 holds ids
  16*(block-1) .. 16*block-1, each entry a 16-bit count and that many UTF-16
  units; every text is stored with a counted 0 unit after it. MENU, MENUEX,
  ACCELERATORS, VERSIONINFO, ICON and CURSOR are reserved
  for their own statements; give raw data of those types by number. Files
  are relative to the script. The default language is 0x409. Strings take
  the escapes \\ \" \n \r \t \0 \xHH \uXXXX \UXXXXXXXX; data-block strings
  are UTF-8 bytes ("...") or UTF-16 units (L"..."), without terminator.
)";

bool operator<(const ResKey& a, const ResKey& b) {
  if (a.is_id != b.is_id) return !a.is_id;  // names first
  return a.is_id ? a.id < b.id : a.name < b.name;
}
bool operator==(const ResKey& a, const ResKey& b) {
  return a.is_id == b.is_id && (a.is_id ? a.id == b.id : a.name == b.name);
}

namespace {

constexpr uint16_t kRtString = 6;
constexpr uint16_t kRtDialog = 5;

struct TypeKeyword {
  const char* word;  // keyword, upper case
  int id;            // type id; 0 = reserved for a statement of its own,
                     // negative: a statement of its own making type -id
};
const TypeKeyword kTypeKeywords[] = {
    {"RCDATA", 10},      {"BITMAP", 2},      {"MESSAGETABLE", 11}, {"FONTDIR", 7},
    {"FONT", 8},         {"HTML", 23},       {"MANIFEST", 24},     {"ANICURSOR", 21},
    {"ANIICON", 22},     {"MENU", 0},        {"MENUEX", 0},        {"DIALOG", -5},
    {"DIALOGEX", -5},     {"ACCELERATORS", 0}, {"VERSIONINFO", 0},  {"ICON", 0},
    {"CURSOR", 0},
};

std::string Upper(const std::string& s) {
  std::string u = s;
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u;
}
std::u16string Upper16(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}
std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Parser {
 public:
  Parser(const std::string& path) : path_(path) {
    set_.inputs.push_back(std::filesystem::absolute(path).string());
    tokens_ = Tokenize(ReadFile(path), path);
    folder_ = std::filesystem::path(path).parent_path();
  }

  ResourceSet Run() {
    while (Peek().kind != Token::Kind::kEnd) Statement();
    AddStringBlocks();
    std::sort(set_.resources.begin(), set_.resources.end(), [](const Resource& a, const Resource& b) {
      if (!(a.type == b.type)) return a.type < b.type;
      if (!(a.name == b.name)) return a.name < b.name;
      return a.language < b.language;
    });
    for (size_t i = 1; i < set_.resources.size(); ++i) {
      const Resource& a = set_.resources[i - 1];
      const Resource& b = set_.resources[i];
      if (a.type == b.type && a.name == b.name && a.language == b.language)
        throw Error(path_ + ": resource " + Describe(b.name) + " of type " + Describe(b.type) +
                    " is defined twice in language " + std::to_string(b.language));
    }
    return std::move(set_);
  }

 private:
  const Token& Peek() const { return tokens_[pos_]; }
  const Token& Next() {
    const Token& t = tokens_[pos_];
    if (t.kind != Token::Kind::kEnd) ++pos_;
    return t;
  }
  [[noreturn]] void Fail(const Token& at, const std::string& message) const {
    throw Error(path_ + ":" + std::to_string(at.line) + ": " + message);
  }
  bool IsWord(const Token& t, const char* word) const {
    return t.kind == Token::Kind::kIdent && Upper(t.text) == word;
  }
  bool IsPunct(const Token& t, char c) const {
    return t.kind == Token::Kind::kPunct && t.text.size() == 1 && t.text[0] == c;
  }
  void SkipComma() {
    if (IsPunct(Peek(), ',')) Next();
  }
  static std::string Describe(const ResKey& k) {
    if (k.is_id) return std::to_string(k.id);
    std::string quoted(1, '"');
    quoted.append(ToUtf8(k.name));
    quoted.push_back('"');
    return quoted;
  }

  void Statement() {
    const Token& t = Peek();
    if (IsWord(t, "LANGUAGE")) {
      Next();
      language_ = ReadLanguage();
    } else if (IsWord(t, "STRINGTABLE")) {
      Next();
      StringTable();
    } else {
      ResourceStatement();
    }
  }

  uint16_t ReadLanguage() {
    const Token& a = Next();
    if (a.kind != Token::Kind::kNumber || a.number < 0 || a.number > 0xFFFF)
      Fail(a, "LANGUAGE takes a language id");
    if (!IsPunct(Peek(), ',')) return static_cast<uint16_t>(a.number);
    Next();
    const Token& b = Next();
    if (a.number > 0x3FF || b.kind != Token::Kind::kNumber || b.number < 0 || b.number > 0x3F)
      Fail(b, "LANGUAGE takes a primary language and a sublanguage");
    return static_cast<uint16_t>((b.number << 10) | a.number);
  }

  void Open() {
    const Token& t = Next();
    if (!IsWord(t, "BEGIN") && !IsPunct(t, '{')) Fail(t, "BEGIN expected");
  }
  bool AtClose() const { return IsWord(Peek(), "END") || IsPunct(Peek(), '}'); }

  void StringTable() {
    uint16_t language = language_;
    if (IsWord(Peek(), "LANGUAGE")) {
      Next();
      language = ReadLanguage();
    }
    Open();
    auto& table = strings_[language];
    while (!AtClose()) {
      const Token& id = Next();
      if (id.kind != Token::Kind::kNumber || id.number < 0 || id.number > 0xFFFF)
        Fail(id, "string id 0..65535 expected");
      SkipComma();
      if (Peek().kind != Token::Kind::kString) Fail(Peek(), "string expected");
      std::u16string text;
      while (Peek().kind == Token::Kind::kString) text += Next().value;
      if (!table.emplace(static_cast<uint16_t>(id.number), text).second)
        Fail(id, "string " + std::to_string(id.number) + " is defined twice");
    }
    Next();
  }

  ResKey ReadName(const Token& t) {
    ResKey k;
    if (t.kind == Token::Kind::kNumber) {
      if (t.number < 1 || t.number > 0xFFFF) Fail(t, "ids are 1..65535");
      k.id = static_cast<uint16_t>(t.number);
    } else if (t.kind == Token::Kind::kIdent || t.kind == Token::Kind::kString) {
      k.is_id = false;
      k.name = Upper16(t.kind == Token::Kind::kIdent ? Widen(t.text) : t.value);
      if (k.name.empty() || k.name.size() > 255) Fail(t, "names hold 1..255 characters");
      if (k.name.find(u'\0') != std::u16string::npos) Fail(t, "names hold no 0 character");
    } else {
      Fail(t, "resource name expected");
    }
    return k;
  }

  ResKey ReadType(const Token& t) {
    if (t.kind == Token::Kind::kIdent) {
      std::string word = Upper(t.text);
      if (word == "STRINGTABLE" || word == "LANGUAGE" || word == "BEGIN" || word == "END")
        Fail(t, "resource type expected");
      for (const TypeKeyword& k : kTypeKeywords) {
        if (word != k.word) continue;
        if (k.id == 0) Fail(t, word + " resources are not supported yet; give raw data by type number");
        if (k.id < 0) Fail(t, word + " starts a statement: name " + word + " x, y, cx, cy ...");
        ResKey key;
        key.id = static_cast<uint16_t>(k.id);
        return key;
      }
    }
    return ReadName(t);
  }

  void ResourceStatement() {
    const Token& name_token = Next();
    Resource r;
    r.name = ReadName(name_token);
    if (name_token.kind == Token::Kind::kIdent && Upper(name_token.text) == "END")
      Fail(name_token, "END without BEGIN");
    if (IsWord(Peek(), "DIALOG") || IsWord(Peek(), "DIALOGEX")) {
      bool extended = IsWord(Next(), "DIALOGEX");
      r.type.id = kRtDialog;
      r.language = language_;
      r.data = SerializeDialog(DialogStatement(extended, &r.language));
      set_.resources.push_back(std::move(r));
      return;
    }
    const Token& type_token = Next();
    r.type = ReadType(type_token);
    if (r.type.is_id && r.type.id == kRtString) Fail(type_token, "use STRINGTABLE for strings");
    r.language = language_;
    if (Peek().kind == Token::Kind::kString && !Peek().wide) {
      r.data = ReadDataFile(Next());
      if (r.type.is_id && r.type.id == 2) StripBitmapFileHeader(type_token, r.data);
    } else if (IsWord(Peek(), "BEGIN") || IsPunct(Peek(), '{')) {
      DataBlock(r.data);
    } else {
      Fail(Peek(), "file name or BEGIN expected");
    }
    set_.resources.push_back(std::move(r));
  }

  std::vector<uint8_t> ReadDataFile(const Token& t) {
    std::filesystem::path file(ToUtf8(t.value));
    if (file.is_relative()) file = folder_ / file;
    std::string name = file.lexically_normal().string();
    std::ifstream in(name, std::ios::binary);
    if (!in) Fail(t, "cannot read " + name);
    set_.inputs.push_back(std::filesystem::absolute(name).string());
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() > 0x7FFFFFFF) Fail(t, name + " is too large");
    return bytes;
  }

  void StripBitmapFileHeader(const Token& at, std::vector<uint8_t>& data) {
    if (data.size() < 14 || data[0] != 'B' || data[1] != 'M') Fail(at, "not a bitmap file");
    data.erase(data.begin(), data.begin() + 14);
  }

  void DataBlock(std::vector<uint8_t>& out) {
    Open();
    while (!AtClose()) {
      const Token& t = Next();
      if (t.kind == Token::Kind::kString && t.wide) {
        for (char16_t c : t.value) {
          out.push_back(static_cast<uint8_t>(c & 0xFF));
          out.push_back(static_cast<uint8_t>(c >> 8));
        }
      } else if (t.kind == Token::Kind::kString) {
        std::string bytes = ToUtf8(t.value);
        out.insert(out.end(), bytes.begin(), bytes.end());
      } else if (t.kind == Token::Kind::kNumber) {
        int bytes = t.long_suffix ? 4 : 2;
        int64_t lo = t.long_suffix ? -0x80000000ll : -0x8000;
        int64_t hi = t.long_suffix ? 0xFFFFFFFFll : 0xFFFF;
        if (t.number < lo || t.number > hi) Fail(t, "number does not fit its item");
        uint32_t v = static_cast<uint32_t>(t.number);
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
      } else {
        Fail(t, "data item expected");
      }
      SkipComma();
    }
    Next();
  }

  // ---- Dialogs --------------------------------------------------------------------------

  int64_t ReadNumber(const char* what) {
    const Token& t = Next();
    if (t.kind != Token::Kind::kNumber) Fail(t, std::string(what) + " expected");
    return t.number;
  }
  int16_t ReadCoordinate() {
    const Token& at = Peek();
    int64_t v = ReadNumber("coordinate");
    if (v < -32768 || v > 32767) Fail(at, "coordinate out of range");
    return static_cast<int16_t>(v);
  }
  void ExpectComma() {
    if (!IsPunct(Peek(), ',')) Fail(Peek(), "',' expected");
    Next();
  }
  // A comma followed by more of the statement (not the next statement).
  bool MoreArguments() {
    if (!IsPunct(Peek(), ',')) return false;
    Next();
    return true;
  }

  // A style expression: terms joined by '|', each a number or a constant,
  // optionally preceded by NOT (bits to clear from the defaults).
  void ReadStyle(uint32_t* set, uint32_t* cleared) {
    *set = 0;
    *cleared = 0;
    for (;;) {
      bool negate = false;
      if (IsWord(Peek(), "NOT")) {
        Next();
        negate = true;
      }
      const Token& t = Next();
      uint32_t value = 0;
      if (t.kind == Token::Kind::kNumber) {
        if (t.number < -0x80000000ll || t.number > 0xFFFFFFFFll) Fail(t, "style out of range");
        value = static_cast<uint32_t>(t.number);
      } else if (t.kind != Token::Kind::kIdent || !LookupStyleConstant(Upper(t.text), &value)) {
        Fail(t, "style constant or number expected");
      }
      if (negate)
        *cleared |= value;
      else
        *set |= value;
      if (!IsPunct(Peek(), '|')) break;
      Next();
    }
  }
  uint32_t ApplyStyle(uint32_t defaults) {
    uint32_t set, cleared;
    ReadStyle(&set, &cleared);
    return (defaults & ~cleared) | set;
  }

  DialogRef ReadTextRef() {
    const Token& t = Next();
    DialogRef r;
    if (t.kind == Token::Kind::kString) {
      r.kind = DialogRef::Kind::kText;
      r.text = t.value;
    } else if (t.kind == Token::Kind::kNumber && t.number >= 0 && t.number <= 0xFFFF) {
      r.kind = DialogRef::Kind::kOrdinal;
      r.ordinal = static_cast<uint16_t>(t.number);
    } else {
      Fail(t, "text or resource id expected");
    }
    return r;
  }
  DialogRef ReadClassRef() {
    const Token& t = Next();
    DialogRef r;
    std::u16string name;
    if (t.kind == Token::Kind::kString)
      name = t.value;
    else if (t.kind == Token::Kind::kIdent)
      name = Widen(t.text);
    else
      Fail(t, "control class expected");
    if (uint16_t ordinal = PredefinedClassOrdinal(name)) {
      r.kind = DialogRef::Kind::kOrdinal;
      r.ordinal = ordinal;
    } else {
      r.kind = DialogRef::Kind::kText;
      r.text = name;
    }
    return r;
  }
  uint32_t ReadControlId(bool extended) {
    const Token& t = Peek();
    int64_t v = ReadNumber("control id");
    if (v == -1) return extended ? 0xFFFFFFFFu : 0xFFFFu;
    if (v < 0 || v > (extended ? 0xFFFFFFFFll : 0xFFFFll)) Fail(t, "control id out of range");
    return static_cast<uint32_t>(v);
  }
  void ReadRect(DialogItem* item) {
    item->x = ReadCoordinate();
    ExpectComma();
    item->y = ReadCoordinate();
    ExpectComma();
    item->cx = ReadCoordinate();
    ExpectComma();
    item->cy = ReadCoordinate();
  }
  // Optional trailing style, extended style and (DIALOGEX) help id.
  void ReadItemTail(bool extended, DialogItem* item) {
    if (!MoreArguments()) return;
    item->style = ApplyStyle(item->style);
    if (!MoreArguments()) return;
    uint32_t set, cleared;
    ReadStyle(&set, &cleared);
    item->ex_style = set & ~cleared;
    if (extended && MoreArguments()) item->help_id = static_cast<uint32_t>(ReadNumber("help id"));
  }

  DialogSpec DialogStatement(bool extended, uint16_t* language) {
    constexpr uint32_t kChildVisible = 0x50000000;  // WS_CHILD | WS_VISIBLE
    constexpr uint32_t kTabStop = 0x00010000;
    constexpr uint32_t kGroup = 0x00020000;
    constexpr uint32_t kBorder = 0x00800000;
    DialogSpec d;
    d.extended = extended;
    d.x = ReadCoordinate();
    ExpectComma();
    d.y = ReadCoordinate();
    ExpectComma();
    d.cx = ReadCoordinate();
    ExpectComma();
    d.cy = ReadCoordinate();
    if (extended && MoreArguments()) d.help_id = static_cast<uint32_t>(ReadNumber("help id"));
    d.style = 0x80880000;  // WS_POPUP | WS_BORDER | WS_SYSMENU unless STYLE says otherwise
    bool has_caption = false;
    for (;;) {
      const Token& t = Peek();
      if (IsWord(t, "STYLE")) {
        Next();
        uint32_t set, cleared;
        ReadStyle(&set, &cleared);
        d.style = set & ~cleared;
      } else if (IsWord(t, "EXSTYLE")) {
        Next();
        uint32_t set, cleared;
        ReadStyle(&set, &cleared);
        d.ex_style = set & ~cleared;
      } else if (IsWord(t, "CAPTION")) {
        Next();
        if (Peek().kind != Token::Kind::kString) Fail(Peek(), "caption text expected");
        d.caption = Next().value;
        has_caption = true;
      } else if (IsWord(t, "FONT")) {
        Next();
        const Token& size = Peek();
        int64_t points = ReadNumber("font size");
        if (points < 1 || points > 0xFFFF) Fail(size, "font size out of range");
        d.point_size = static_cast<uint16_t>(points);
        ExpectComma();
        if (Peek().kind != Token::Kind::kString) Fail(Peek(), "font face expected");
        d.face = Next().value;
        d.has_font = true;
        if (extended && MoreArguments()) {
          d.weight = static_cast<uint16_t>(ReadNumber("font weight"));
          if (MoreArguments()) d.italic = static_cast<uint8_t>(ReadNumber("italic flag"));
          if (MoreArguments()) d.charset = static_cast<uint8_t>(ReadNumber("character set"));
        }
      } else if (IsWord(t, "MENU")) {
        Next();
        ResKey menu = ReadName(Next());
        d.menu.kind = menu.is_id ? DialogRef::Kind::kOrdinal : DialogRef::Kind::kText;
        d.menu.ordinal = menu.id;
        d.menu.text = menu.name;
      } else if (IsWord(t, "CLASS")) {
        Next();
        d.cls = ReadClassRef();
      } else if (IsWord(t, "LANGUAGE")) {
        Next();
        *language = ReadLanguage();
      } else {
        break;
      }
    }
    if (has_caption) d.style |= 0x00C00000;  // WS_CAPTION
    Open();
    while (!AtClose()) {
      const Token& kw = Next();
      if (kw.kind != Token::Kind::kIdent) Fail(kw, "control statement expected");
      std::string word = Upper(kw.text);
      DialogItem item;
      // Statements with fixed class and default style: "text, id, x, y, cx,
      // cy" (texts and buttons) or "id, x, y, cx, cy" (edits and lists),
      // each optionally followed by style, extended style and help id.
      struct SimpleControl {
        const char* word;   // statement
        bool has_text;      // starts with a text
        uint16_t cls;       // class ordinal
        uint32_t defaults;  // style bits besides WS_CHILD | WS_VISIBLE
      };
      static const SimpleControl kSimpleControls[] = {
          {"LTEXT", true, 0x82, 0x00 | kGroup},
          {"RTEXT", true, 0x82, 0x02 | kGroup},
          {"CTEXT", true, 0x82, 0x01 | kGroup},
          {"PUSHBUTTON", true, 0x80, 0x00 | kTabStop},
          {"DEFPUSHBUTTON", true, 0x80, 0x01 | kTabStop},
          {"CHECKBOX", true, 0x80, 0x02 | kTabStop},
          {"AUTOCHECKBOX", true, 0x80, 0x03 | kTabStop},
          {"RADIOBUTTON", true, 0x80, 0x04},
          {"AUTORADIOBUTTON", true, 0x80, 0x09},
          {"STATE3", true, 0x80, 0x05 | kTabStop},
          {"AUTO3STATE", true, 0x80, 0x06 | kTabStop},
          {"GROUPBOX", true, 0x80, 0x07},
          {"EDITTEXT", false, 0x81, kBorder | kTabStop},
          {"LISTBOX", false, 0x83, kBorder | 0x01},
          {"COMBOBOX", false, 0x85, kTabStop | 0x01},
          {"SCROLLBAR", false, 0x84, 0x00},
      };
      bool done = false;
      for (const SimpleControl& c : kSimpleControls) {
        if (word != c.word) continue;
        if (c.has_text) {
          item.text = ReadTextRef();
          ExpectComma();
        }
        item.id = ReadControlId(extended);
        ExpectComma();
        ReadRect(&item);
        item.cls.kind = DialogRef::Kind::kOrdinal;
        item.cls.ordinal = c.cls;
        item.style = kChildVisible | c.defaults;
        ReadItemTail(extended, &item);
        done = true;
        break;
      }
      if (!done && word == "ICON") {
        item.text = ReadTextRef();
        ExpectComma();
        item.id = ReadControlId(extended);
        ExpectComma();
        item.x = ReadCoordinate();
        ExpectComma();
        item.y = ReadCoordinate();
        item.cls.kind = DialogRef::Kind::kOrdinal;
        item.cls.ordinal = 0x82;
        item.style = kChildVisible | 0x03;  // SS_ICON
        if (MoreArguments()) {
          item.cx = ReadCoordinate();
          ExpectComma();
          item.cy = ReadCoordinate();
          ReadItemTail(extended, &item);
        }
        done = true;
      }
      if (!done && word == "CONTROL") {
        item.text = ReadTextRef();
        ExpectComma();
        item.id = ReadControlId(extended);
        ExpectComma();
        item.cls = ReadClassRef();
        ExpectComma();
        item.style = ApplyStyle(kChildVisible);
        ExpectComma();
        ReadRect(&item);
        if (MoreArguments()) {
          uint32_t set, cleared;
          ReadStyle(&set, &cleared);
          item.ex_style = set & ~cleared;
          if (extended && MoreArguments())
            item.help_id = static_cast<uint32_t>(ReadNumber("help id"));
        }
        done = true;
      }
      if (!done) Fail(kw, "unknown control statement " + kw.text);
      if (d.items.size() == 0xFFFF) Fail(kw, "too many controls");
      d.items.push_back(std::move(item));
    }
    Next();
    return d;
  }

  // Turns the string tables into RT_STRING blocks of 16 entries.
  void AddStringBlocks() {
    for (auto& [language, table] : strings_) {
      std::map<uint16_t, std::vector<const std::u16string*>> blocks;
      for (auto& [id, text] : table) {
        auto& block = blocks[static_cast<uint16_t>(id / 16 + 1)];
        block.resize(16, nullptr);
        block[id % 16] = &text;
      }
      for (auto& [block_id, entries] : blocks) {
        Resource r;
        r.type.id = kRtString;
        r.name.id = block_id;
        r.language = language;
        for (const std::u16string* text : entries) {
          size_t count = text ? text->size() + 1 : 0;
          if (count > 0xFFFF) throw Error(path_ + ": a string holds more than 65,534 characters");
          std::u16string units = text ? *text + u'\0' : u"";
          r.data.push_back(static_cast<uint8_t>(count & 0xFF));
          r.data.push_back(static_cast<uint8_t>(count >> 8));
          for (char16_t c : units) {
            r.data.push_back(static_cast<uint8_t>(c & 0xFF));
            r.data.push_back(static_cast<uint8_t>(c >> 8));
          }
        }
        set_.resources.push_back(std::move(r));
      }
    }
  }

  std::string path_;
  std::filesystem::path folder_;
  std::vector<Token> tokens_;
  size_t pos_ = 0;
  uint16_t language_ = 0x409;
  std::map<uint16_t, std::map<uint16_t, std::u16string>> strings_;  // language -> id -> text
  ResourceSet set_;
};

}  // namespace

ResourceSet ParseScript(const std::string& path) { return Parser(path).Run(); }

}  // namespace wurc
