// Dialog templates from records: exact bytes of both layouts, mapping back,
// malformed input, sizes and a built dialog running under the scripted
// front end.
#include "foundation/WuDlgTemplate.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuLang.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuUIFont.h"
#include "platform/user/frontend.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resource.h"

namespace {

constexpr DWORD kSetFont = 0x40;

// Expected template bytes, written field by field.
struct Bytes {
  std::vector<BYTE> b;
  Bytes& W(WORD v) { return Put(&v, 2); }
  Bytes& D(DWORD v) { return Put(&v, 4); }
  Bytes& S(const std::u16string& s) {
    for (char16_t c : s) W(c);
    return W(0);
  }
  Bytes& Align() {
    b.resize((b.size() + 3) & ~size_t{3}, 0);
    return *this;
  }
  Bytes& Put(const void* p, size_t n) {
    b.insert(b.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
    return *this;
  }
};

std::vector<BYTE> Copy(const DLGTEMPLATE* t, size_t n) {
  const BYTE* p = reinterpret_cast<const BYTE*>(t);
  return std::vector<BYTE>(p, p + n);
}

class WuDlgTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(WuLang_Open(&lang_, GetModuleHandleW(nullptr), 0, 0), S_OK);
    row_ = WuLangStringRow{WULANG_ROW_MARKER, 1, {u"row text"}};
  }
  void TearDown() override { WuLang_Close(lang_); }
  LPCWSTR Row() { return reinterpret_cast<LPCWSTR>(&row_); }

  HWULANG lang_ = nullptr;
  WuLangStringRow row_;
};

// A plain template: menu and class ids, a caption by string id, the default
// face, a control by atom and one by class name, texts in all three forms.
TEST_F(WuDlgTemplateTest, PlainTemplateBytes) {
  _wudlghdrcreate h{};
  h.style = kSetFont | WS_POPUP;
  h.exStyle = 0x8;
  h.count = 3;
  h.x = 1, h.y = 2, h.cx = 100, h.cy = 50;
  h.menu = 7;
  h.windowClass = 9;
  h.caption = MAKEINTRESOURCEW(1);  // "main one" in the program's string table
  h.pointSize = 12;                  // ignored: no face given
  const _wudlgctrlcreate c[3] = {
      {MAKEINTRESOURCEW(0x82), Row(), 10, 1, 2, 3, 4, 0x20, WS_CHILD},
      {u"WuKrn_Static_Class", u"plain", 0xFFFF, 5, 6, 7, 8, 0, WS_CHILD},
      {MAKEINTRESOURCEW(0x80), nullptr, 1, 0, 0, 0, 0, 0, WS_CHILD}};
  const DLGTEMPLATE* t = WuCreateDialogTemplate(lang_, &h, c);
  ASSERT_NE(t, nullptr);
  Bytes e;
  e.D(h.style).D(0x8).W(3).W(1).W(2).W(100).W(50).W(0xFFFF).W(7).W(0xFFFF).W(9).S(u"main one");
  e.W(8).S(u"MS Shell Dlg");
  e.Align().D(WS_CHILD).D(0x20).W(1).W(2).W(3).W(4).W(10).W(0xFFFF).W(0x82).S(u"row text").W(0);
  e.Align().D(WS_CHILD).D(0).W(5).W(6).W(7).W(8).W(0xFFFF).S(u"WuKrn_Static_Class").S(u"plain");
  e.W(0);
  e.Align().D(WS_CHILD).D(0).W(0).W(0).W(0).W(0).W(1).W(0xFFFF).W(0x80).S(u"").W(0);
  EXPECT_EQ(Copy(t, e.b.size()), e.b);
  EXPECT_GE(GlobalSize(GlobalHandle(t)), e.b.size());
  EXPECT_TRUE(WuFreeDialogTemplate(t));

  // Without DS_SETFONT no font data; no menu or class gives single zeros.
  h.style = WS_POPUP, h.menu = 0, h.windowClass = 0, h.count = 0, h.caption = nullptr;
  t = WuCreateDialogTemplate(lang_, &h, nullptr);
  ASSERT_NE(t, nullptr);
  Bytes e2;
  e2.D(WS_POPUP).D(0x8).W(0).W(1).W(2).W(100).W(50).W(0).W(0).S(u"");
  EXPECT_EQ(Copy(t, e2.b.size()), e2.b);
  WuFreeDialogTemplate(t);
}

// An extended template with names for menu and class, a face and creation
// data; and the default font when the face is 0.
TEST_F(WuDlgTemplateTest, ExtendedTemplateBytes) {
  static const BYTE data[3] = {0xA1, 0xB2, 0xC3};
  _wudlghdrcreateex h{};
  h.caption = u"Title";
  h.style = kSetFont;
  h.exStyle = 1;
  h.menu = u"MENU";
  h.windowClass = MAKEINTRESOURCEW(0x20);
  h.count = 2;
  h.cx = 40, h.cy = 30;
  h.pointSize = 9, h.face = u"Face", h.weight = 700, h.italic = 1, h.charSet = 2;
  h.helpId = 0x1234;
  const _wudlgctrlcreateex c[2] = {
      {MAKEINTRESOURCEW(0x81), u"e", 0xFFFF, 1, 2, 3, 4, 5, 6, 77, 3, data},
      {u"Cls", nullptr, 4, 0, 0, 0, 0, 0, 0, 0, 9, nullptr}};  // size without pointer: none
  WORD size = 0;
  const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang_, &h, c, &size);
  ASSERT_NE(t, nullptr);
  Bytes e;
  e.W(1).W(0xFFFF).D(0x1234).D(1).D(kSetFont).W(2).W(0).W(0).W(40).W(30);
  e.S(u"MENU").W(0xFFFF).W(0x20).S(u"Title").W(9).W(700).Put("\x01\x02", 2).S(u"Face");
  e.Align().D(77).D(5).D(6).W(1).W(2).W(3).W(4).D(0xFFFF).W(0xFFFF).W(0x81).S(u"e");
  e.W(3).Put(data, 3);
  e.Align().D(0).D(0).D(0).W(0).W(0).W(0).W(0).D(4).S(u"Cls").S(u"").W(0);
  EXPECT_EQ(size, e.b.size());
  EXPECT_EQ(Copy(t, e.b.size()), e.b);
  WuFreeDialogTemplate(t);

  h.face = nullptr, h.count = 0, h.menu = nullptr, h.windowClass = nullptr;
  t = WuCreateDialogTemplateEx(lang_, &h, nullptr, &size);
  ASSERT_NE(t, nullptr);
  Bytes e2;
  e2.W(1).W(0xFFFF).D(0x1234).D(1).D(kSetFont).W(0).W(0).W(0).W(40).W(30).W(0).W(0);
  e2.S(u"Title").W(8).W(400).Put("\x00\x01", 2).S(u"MS Shell Dlg");
  EXPECT_EQ(Copy(t, size), e2.b);
  WuFreeDialogTemplate(t);
}

TEST_F(WuDlgTemplateTest, AtMost256Controls) {
  std::vector<_wudlgctrlcreate> plain(300, {MAKEINTRESOURCEW(0x82), u"x", 1, 0, 0, 1, 1, 0, 0});
  std::vector<_wudlgctrlcreateex> ex(300);
  for (auto& c : ex) c.ctrlClass = MAKEINTRESOURCEW(0x82);
  _wudlghdrcreate h{};
  h.count = 300;
  _wudlghdrcreateex hx{};
  hx.count = 300;
  WORD size = 0;
  const DLGTEMPLATE* t = WuCreateDialogTemplate(lang_, &h, plain.data());
  const DLGTEMPLATE* tx = WuCreateDialogTemplateEx(lang_, &hx, ex.data(), &size);
  ASSERT_TRUE(t && tx);
  EXPECT_EQ(t->cdit, 256);
  WORD count;
  std::memcpy(&count, reinterpret_cast<const BYTE*>(tx) + 16, 2);
  EXPECT_EQ(count, 256);
  _wudlghdrcreateex* mapped = nullptr;
  ASSERT_GT(WuMapDialogTemplate(tx, size, &mapped), 0);
  EXPECT_EQ(mapped->count, 256);
  WuFreeDialogTemplate(mapped);
  WuFreeDialogTemplate(t);
  WuFreeDialogTemplate(tx);
}

// Creation data and template lengths beyond what their 16-bit counts hold
// are refused, never cut: data of 0x10000 bytes or more (size and pointer
// both set), and a template over 0xFFFF bytes when its length is asked for.
// Without the length, such a template is built whole.
TEST_F(WuDlgTemplateTest, NothingIsCutToSixteenBits) {
  std::vector<BYTE> data(0x10001);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 7 + i / 256);
  struct Case {
    std::vector<DWORD> sizes;  // creation-data bytes of each control
    bool askLength;            // a size pointer is given
    bool built;
  };
  const Case cases[] = {
      {{0x10000}, false, false}, {{0x10001}, false, false}, {{0x10000}, true, false},
      {{0x8000, 0x8000}, true, false}, {{0xFFFF}, true, false},
      {{0x8000, 0x8000}, false, true}, {{0xFFFF}, false, true}, {{0xFF00}, true, true},
  };
  for (const Case& c : cases) {
    std::vector<_wudlgctrlcreateex> controls;
    for (DWORD n : c.sizes) {
      _wudlgctrlcreateex k{};
      k.ctrlClass = MAKEINTRESOURCEW(0x82);
      k.dataSize = n;
      k.data = data.data();
      controls.push_back(k);
    }
    _wudlghdrcreateex h{};
    h.count = static_cast<WORD>(controls.size());
    WORD size = 0;
    const DLGTEMPLATE* t =
        WuCreateDialogTemplateEx(lang_, &h, controls.data(), c.askLength ? &size : nullptr);
    EXPECT_EQ(t != nullptr, c.built) << c.sizes[0] << "/" << c.askLength;
    if (!t) continue;
    // Mapped back (the block is rounded up to 4 bytes), every control has
    // all of its data.
    int length = static_cast<int>(GlobalSize(GlobalHandle(t)));
    if (c.askLength) {
      EXPECT_EQ((size + 3) & ~3, length);
    }
    _wudlghdrcreateex* m = nullptr;
    ASSERT_GT(WuMapDialogTemplate(t, length, &m), 0);
    auto* mc = reinterpret_cast<_wudlgctrlcreateex*>(m + 1);
    for (size_t i = 0; i < c.sizes.size(); ++i) {
      ASSERT_EQ(mc[i].dataSize, c.sizes[i]);
      EXPECT_EQ(std::memcmp(mc[i].data, data.data(), c.sizes[i]), 0);
    }
    WuFreeDialogTemplate(m);
    WuFreeDialogTemplate(t);
  }
}

// Mapping an extended template and rebuilding it gives the same bytes, for
// menu and class in each of their three forms.
TEST_F(WuDlgTemplateTest, ExtendedRoundTrip) {
  static const BYTE data[4] = {1, 2, 3, 4};
  const LPCWSTR forms[3] = {nullptr, MAKEINTRESOURCEW(300), u"Name"};
  for (LPCWSTR menu : forms) {
    for (LPCWSTR cls : forms) {
      _wudlghdrcreateex h{};
      h.caption = u"Cap";
      h.style = kSetFont | WS_CAPTION;
      h.menu = menu, h.windowClass = cls;
      h.count = 2, h.cx = 10, h.cy = 20, h.pointSize = 10, h.face = u"Sans", h.weight = 600;
      h.charSet = 1, h.helpId = 5;
      const _wudlgctrlcreateex c[2] = {
          {u"Edit", u"t1", 3, 1, 1, 9, 9, 2, WS_CHILD, 11, 4, data},
          {MAKEINTRESOURCEW(0x80), u"t2", 4, 2, 2, 8, 8, 0, WS_CHILD, 12, 0, nullptr}};
      WORD size = 0;
      const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang_, &h, c, &size);
      ASSERT_NE(t, nullptr);
      _wudlghdrcreateex* m = nullptr;
      int offset = WuMapDialogTemplate(t, size, &m);
      ASSERT_EQ(offset, int(sizeof(_wudlghdrcreateex) + 2 * sizeof(_wudlgctrlcreateex)));
      auto* mc = reinterpret_cast<_wudlgctrlcreateex*>(m + 1);
      EXPECT_EQ(mc[0].dataSize, 4u);
      EXPECT_EQ(mc[1].helpId, 12u);
      WORD size2 = 0;
      const DLGTEMPLATE* t2 = WuCreateDialogTemplateEx(lang_, m, mc, &size2);
      ASSERT_NE(t2, nullptr);
      EXPECT_EQ(Copy(t2, size2), Copy(t, size));
      WuFreeDialogTemplate(t2);
      WuFreeDialogTemplate(m);
      WuFreeDialogTemplate(t);
    }
  }
}

// A plain template in the old default face maps to face 0 and rebuilds
// with the current default; a text ordinal becomes a string id.
TEST_F(WuDlgTemplateTest, PlainMapsOldDefaultFace) {
  Bytes p;
  p.D(kSetFont).D(0).W(1).W(0).W(0).W(30).W(40).W(0xFFFF).W(2).W(0).S(u"Hi");
  p.W(8).S(u"MS Sans Serif");
  p.Align().D(WS_CHILD).D(0).W(1).W(2).W(3).W(4).W(9).W(0xFFFF).W(0x82).W(0xFFFF).W(1);
  p.W(4).W(0xBEEF);  // plain creation data: the count includes itself
  _wudlghdrcreateex* m = nullptr;
  ASSERT_GT(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(p.b.data()),
                                int(p.b.size()), &m), 0);
  EXPECT_EQ(m->face, nullptr);
  EXPECT_EQ(m->weight, 400);
  EXPECT_EQ(m->charSet, 1);
  EXPECT_EQ(m->menu, MAKEINTRESOURCEW(2));
  EXPECT_EQ(std::u16string(m->caption), u"Hi");
  auto* c = reinterpret_cast<_wudlgctrlcreateex*>(m + 1);
  EXPECT_EQ(c->text, MAKEINTRESOURCEW(1));
  ASSERT_EQ(c->dataSize, 2u);
  EXPECT_EQ(std::memcmp(c->data, "\xEF\xBE", 2), 0);
  WORD size = 0;
  const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang_, m, c, &size);
  ASSERT_NE(t, nullptr);
  std::vector<BYTE> bytes = Copy(t, size);
  std::u16string text(reinterpret_cast<const char16_t*>(bytes.data()), size / 2);
  EXPECT_NE(text.find(u"MS Shell Dlg"), std::u16string::npos);
  EXPECT_NE(text.find(u"main one"), std::u16string::npos);  // string id 1 resolved
  WuFreeDialogTemplate(t);
  WuFreeDialogTemplate(m);
}

// Every truncation and a set of corruptions are refused; reads stay inside
// the template (each copy is exactly its size, so ASan sees any overrun).
TEST_F(WuDlgTemplateTest, MalformedTemplatesRefused) {
  static const BYTE data[2] = {7, 8};
  _wudlghdrcreateex h{};
  h.caption = u"C";
  h.style = kSetFont;
  h.menu = u"M";
  h.count = 1, h.face = u"F";
  const _wudlgctrlcreateex c{u"K", u"T", 1, 0, 0, 1, 1, 0, 0, 0, 2, data};
  WORD size = 0;
  const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang_, &h, &c, &size);
  ASSERT_NE(t, nullptr);
  std::vector<BYTE> good = Copy(t, size);
  WuFreeDialogTemplate(t);
  _wudlghdrcreateex* sentinel = reinterpret_cast<_wudlghdrcreateex*>(&h);
  for (size_t n = 1; n < good.size(); ++n) {
    std::vector<BYTE> cut(good.begin(), good.begin() + n);
    _wudlghdrcreateex* m = sentinel;
    EXPECT_EQ(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(cut.data()), int(n), &m), 0)
        << n;
    EXPECT_EQ(m, sentinel);
  }
  struct Corruption {
    size_t offset;
    WORD value;
    const char* what;
  };
  const Corruption cases[] = {
      {16, 0x7FFF, "count beyond the template"},
      {good.size() - 6, 0x00FF, "creation data past the end"},
  };
  for (const Corruption& k : cases) {
    std::vector<BYTE> bad = good;
    std::memcpy(bad.data() + k.offset, &k.value, 2);
    _wudlghdrcreateex* m = sentinel;
    EXPECT_EQ(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(bad.data()),
                                  int(bad.size()), &m), 0) << k.what;
  }
  // A plain template whose creation-data count is smaller than itself.
  Bytes p;
  p.D(0).D(0).W(1).W(0).W(0).W(0).W(0).W(0).W(0).S(u"");
  p.Align().D(0).D(0).W(0).W(0).W(0).W(0).W(1).W(0xFFFF).W(0x80).S(u"").W(1);
  _wudlghdrcreateex* m = sentinel;
  EXPECT_EQ(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(p.b.data()),
                                int(p.b.size()), &m), 0);
  EXPECT_EQ(WuMapDialogTemplate(nullptr, 10, &m), 0);
  EXPECT_EQ(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(good.data()), 0, &m), 0);
  EXPECT_EQ(WuMapDialogTemplate(reinterpret_cast<const DLGTEMPLATE*>(good.data()), -4, &m), 0);
}

// Sizes scale the dialog units by the font's base units; the face is
// resolved through the handle, so a string id, a row and a plain text of
// the same face measure alike.
TEST_F(WuDlgTemplateTest, DialogSizes) {
  const SIZE* base = WuGetUIFontSize(100);
  ASSERT_NE(base, nullptr);
  _wudlghdrcreate h{};
  h.cx = 200, h.cy = 100;
  SIZE plain{}, fallback{};
  ASSERT_TRUE(WuGetDialogSize(lang_, &h, &fallback));
  EXPECT_EQ(fallback.cx, MulDiv(200, base->cx, 4));
  EXPECT_EQ(fallback.cy, MulDiv(100, base->cy, 8));

  h.style = kSetFont;
  h.pointSize = 8;
  h.face = u"main one";
  ASSERT_TRUE(WuGetDialogSize(lang_, &h, &plain));
  h.face = MAKEINTRESOURCEW(1);
  SIZE byId{};
  ASSERT_TRUE(WuGetDialogSize(lang_, &h, &byId));
  EXPECT_EQ(byId.cx, plain.cx);
  EXPECT_EQ(byId.cy, plain.cy);

  h.pointSize = 24;
  SIZE big{};
  WuGetDialogSize(lang_, &h, &big);
  EXPECT_GT(big.cx, plain.cx);
  EXPECT_GT(big.cy, plain.cy);

  _wudlghdrcreateex x{};
  x.style = kSetFont, x.cx = 200, x.cy = 100, x.pointSize = 8, x.face = u"main one";
  x.weight = 400, x.charSet = 1;
  SIZE ex{};
  ASSERT_TRUE(WuGetDialogSizeEx(lang_, &x, &ex));
  EXPECT_EQ(ex.cx, plain.cx);
  EXPECT_EQ(ex.cy, plain.cy);
  x.face = nullptr;  // no face: the fallback units
  WuGetDialogSizeEx(lang_, &x, &ex);
  EXPECT_EQ(ex.cx, fallback.cx);
  EXPECT_FALSE(WuGetDialogSize(lang_, nullptr, &ex));
}

// Ends the dialog with the id of the button pressed.
INT_PTR EndOnCommand(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return FALSE;
  EndDialog(dialog, static_cast<INT_PTR>(wparam & 0xFFFF));
  return TRUE;
}

// A built template runs: its title and texts are shown and its button ends it.
TEST_F(WuDlgTemplateTest, BuiltTemplateRuns) {
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  _wudlghdrcreate h{};
  h.style = WS_POPUP | WS_CAPTION | kSetFont | WS_VISIBLE;
  h.count = 2, h.cx = 100, h.cy = 60;
  h.caption = Row();
  const _wudlgctrlcreate c[2] = {
      {MAKEINTRESOURCEW(0x82), MAKEINTRESOURCEW(1), 0xFFFF, 5, 5, 80, 10, 0, WS_CHILD | WS_VISIBLE},
      {MAKEINTRESOURCEW(0x80), u"Go", 42, 5, 20, 40, 14, 0,
       WS_CHILD | WS_VISIBLE | WS_TABSTOP}};
  const DLGTEMPLATE* t = WuCreateDialogTemplate(lang_, &h, c);
  ASSERT_NE(t, nullptr);
  script.Press(42);
  EXPECT_EQ(WuDialogBoxIndirectParam(lang_, t, nullptr, EndOnCommand, 0), 42);
  platform::SetFrontEnd(nullptr);
  std::vector<platform::ScriptedFrontEnd::Shown> shown = script.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, u"row text");
  EXPECT_EQ(shown[0].texts, std::vector<std::u16string>{u"main one"});
  EXPECT_TRUE(script.errors().empty());
  WuFreeDialogTemplate(t);
}

// A dialog resource found through the handle and mapped; a missing one
// gives 0 and NULL.
TEST_F(WuDlgTemplateTest, TemplateFromResource) {
  _wudlghdrcreateex h{};
  h.caption = u"Res";
  h.cx = 5;
  WORD size = 0;
  const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang_, &h, nullptr, &size);
  ASSERT_NE(t, nullptr);
  std::vector<BYTE> bytes = Copy(t, size);
  WuFreeDialogTemplate(t);
  platform::ResourceItem item{RT_DIALOG, MAKEINTRESOURCEW(4711), 0x409, bytes.data(), size};
  ASSERT_TRUE(platform::AddModuleResources(nullptr, &item, 1));
  const DLGTEMPLATE* found = nullptr;
  EXPECT_EQ(WuDialogTemplateFromRCID(lang_, MAKEINTRESOURCEW(4711), &found), size);
  ASSERT_NE(found, nullptr);
  _wudlghdrcreateex* m = nullptr;
  ASSERT_GT(WuMapDialogTemplateFromRCID(lang_, MAKEINTRESOURCEW(4711), &m), 0);
  EXPECT_EQ(std::u16string(m->caption), u"Res");
  WuFreeDialogTemplate(m);
  found = t;
  EXPECT_EQ(WuDialogTemplateFromRCID(lang_, MAKEINTRESOURCEW(4712), &found), 0);
  EXPECT_EQ(found, nullptr);
}

}  // namespace
