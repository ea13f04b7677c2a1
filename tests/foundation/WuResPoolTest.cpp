// Resource pools: searches by type, name and language over hand-built
// compiled resource images, malformed images, the pool dialog and packed
// bitmaps.
#include "foundation/WuResPool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuDlgTemplate.h"
#include "foundation/WuLang.h"
#include "platform/user/frontend.h"
#include "platform/kernel/resource.h"

namespace {

// A compiled resource image under construction.
struct Image {
  std::vector<BYTE> b;
  Image() { Add(MAKEINTRESOURCEW(0), MAKEINTRESOURCEW(0), 0, ""); }  // the empty entry

  void W(WORD v) { Put(&v, 2); }
  void D(DWORD v) { Put(&v, 4); }
  void Put(const void* p, size_t n) {
    b.insert(b.end(), static_cast<const BYTE*>(p), static_cast<const BYTE*>(p) + n);
  }
  void Align() { b.resize((b.size() + 3) & ~size_t{3}, 0); }
  void Id(LPCWSTR id) {
    if (IS_INTRESOURCE(id)) {
      W(0xFFFF);
      W(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(id)));
    } else {
      for (; *id; ++id) W(*id);
      W(0);
    }
  }
  // Appends an entry; returns the offset of its data.
  size_t Add(LPCWSTR type, LPCWSTR name, WORD language, const std::string& data) {
    size_t start = b.size();
    D(static_cast<DWORD>(data.size()));
    D(0);  // header size, patched below
    Id(type);
    Id(name);
    Align();
    D(0);
    W(0x30);
    W(language);
    D(0);
    D(0);
    DWORD header = static_cast<DWORD>(b.size() - start);
    std::memcpy(b.data() + start + 4, &header, 4);
    size_t at = b.size();
    Put(data.data(), data.size());
    Align();
    return at;
  }
  _WURESPOOL Pool() const { return _WURESPOOL{0, static_cast<DWORD>(b.size()), b.data()}; }
};

class WuResPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { Kernel(0x409); }
  void TearDown() override { Kernel(0); }
  void Kernel(LCID lcid) {
    if (kernel_) {
      WuKernel_SetLangHandle(nullptr);
      WuLang_Close(kernel_);
      kernel_ = nullptr;
    }
    if (!lcid) return;
    ASSERT_EQ(WuLang_Open(&kernel_, GetModuleHandleW(nullptr), lcid, 0), S_OK);
    WuKernel_SetLangHandle(kernel_);
  }
  // The data found, as text ("" for none), and its language.
  std::string Find(const _WURESPOOL& pool, LPCWSTR name, LPCWSTR type, LCID lcid,
                   LCID* found = nullptr) {
    DWORD size = 99;
    LCID language = 99;
    const void* p = WuFindResourceInResPool(&pool, &size, name, type, lcid, &language);
    if (found) *found = language;
    if (!p) {
      EXPECT_EQ(size, 0u);
      EXPECT_EQ(language, 0u);
      return "";
    }
    return std::string(static_cast<const char*>(p), size);
  }

  HWULANG kernel_ = nullptr;
};

TEST_F(WuResPoolTest, FindsByTypeNameAndLanguage) {
  Image img;
  img.Add(RT_DIALOG, MAKEINTRESOURCEW(101), 0x0409, "en");
  img.Add(RT_DIALOG, MAKEINTRESOURCEW(101), 0x000A, "es");
  img.Add(RT_DIALOG, MAKEINTRESOURCEW(101), 0x0407, "de");
  img.Add(RT_BITMAP, MAKEINTRESOURCEW(101), 0x040C, "bmp");
  img.Add(u"CUSTOM", u"Named", 0x0411, "named");
  img.Add(RT_DIALOG, MAKEINTRESOURCEW(102), 0x0407, "only-de");
  _WURESPOOL pool = img.Pool();
  struct Case {
    LPCWSTR name, type;
    LCID lcid;
    const char* data;
    LCID language;
  };
  const Case cases[] = {
      {MAKEINTRESOURCEW(101), RT_DIALOG, 0x0407, "de", 0x0407},
      {MAKEINTRESOURCEW(101), RT_DIALOG, 0x0C0A, "es", 0x000A},   // both condition to 0x040A
      {MAKEINTRESOURCEW(101), RT_DIALOG, 0, "en", 0x0409},        // the kernel's language
      {MAKEINTRESOURCEW(101), RT_DIALOG, 0x0411, "en", 0x0409},   // missing: the kernel's entry
      {MAKEINTRESOURCEW(102), RT_DIALOG, 0x0411, "only-de", 0x0407},  // else the first
      {MAKEINTRESOURCEW(101), RT_BITMAP, 0x0409, "bmp", 0x040C},
      {u"Named", u"CUSTOM", 0x0409, "named", 0x0411},
      {u"named", u"CUSTOM", 0x0409, "", 0},                       // case-sensitive
      {u"Name", u"CUSTOM", 0x0409, "", 0},                        // whole string
      {MAKEINTRESOURCEW(103), RT_DIALOG, 0x0409, "", 0},
      {u"Named", MAKEINTRESOURCEW(5), 0x0409, "", 0},             // string vs ordinal
  };
  for (const Case& c : cases) {
    LCID language = 0;
    EXPECT_EQ(Find(pool, c.name, c.type, c.lcid, &language), c.data) << c.lcid;
    EXPECT_EQ(language, c.language) << c.lcid;
  }
  // With a German kernel the German entry is preferred over the first.
  Kernel(0x0407);
  EXPECT_EQ(Find(pool, MAKEINTRESOURCEW(101), RT_DIALOG, 0x0411), "de");
  DWORD size = 0;
  EXPECT_NE(WuFindDialogTemplateInResPool(&pool, &size, MAKEINTRESOURCEW(102), 0x407), nullptr);
  EXPECT_EQ(size, 7u);
}

TEST_F(WuResPoolTest, BadPoolsAndImagesFindNothing) {
  Image img;
  size_t at = img.Add(RT_DIALOG, MAKEINTRESOURCEW(1), 0x409, "data");
  _WURESPOOL pool = img.Pool();
  ASSERT_EQ(Find(pool, MAKEINTRESOURCEW(1), RT_DIALOG, 0x409), "data");
  _WURESPOOL small = pool;
  small.size = 31;
  _WURESPOOL empty = pool;
  empty.data = nullptr;
  EXPECT_EQ(Find(small, MAKEINTRESOURCEW(1), RT_DIALOG, 0x409), "");
  EXPECT_EQ(Find(empty, MAKEINTRESOURCEW(1), RT_DIALOG, 0x409), "");
  EXPECT_EQ(WuFindResourceInResPool(nullptr, nullptr, MAKEINTRESOURCEW(1), RT_DIALOG, 0, nullptr),
            nullptr);
  // The built-in pools hold no entry yet but are searchable.
  EXPECT_EQ(Find(WuShellUIResPool, MAKEINTRESOURCEW(100), RT_DIALOG, 0x409), "");

  // Every truncation: the walk ends inside the image (exact-size copies, so
  // ASan sees any overrun) and finds the entry only when it is whole.
  for (size_t n = 32; n < img.b.size(); ++n) {
    std::vector<BYTE> cut(img.b.begin(), img.b.begin() + n);
    _WURESPOOL p{0, static_cast<DWORD>(n), cut.data()};
    EXPECT_EQ(Find(p, MAKEINTRESOURCEW(1), RT_DIALOG, 0x409), n >= at + 4 ? "data" : "") << n;
  }

  struct Patch {
    size_t offset;
    DWORD value;
    const char* what;
  };
  const size_t entry = 32;  // the second entry starts after the empty one
  const Patch patches[] = {
      {entry + 0, 0xFFFFFFF0u, "data size wraps a 32-bit sum"},
      {entry + 4, 0xFFFFFFF8u, "header size wraps a 32-bit sum"},
      {entry + 4, 10, "header shorter than its fields"},
      {entry + 8, 0x00410041u, "type string runs past the header"},
  };
  for (const Patch& k : patches) {
    Image bad = img;
    if (k.offset == entry + 8) {
      // A type string with no terminator inside the header.
      for (size_t o = entry + 8; o < at; o += 2) bad.b[o] = 'A', bad.b[o + 1] = 0;
    } else {
      std::memcpy(bad.b.data() + k.offset, &k.value, 4);
    }
    std::vector<BYTE> exact = bad.b;
    _WURESPOOL p{0, static_cast<DWORD>(exact.size()), exact.data()};
    EXPECT_EQ(Find(p, MAKEINTRESOURCEW(1), RT_DIALOG, 0x409), "") << k.what;
    EXPECT_EQ(Find(p, u"AAAA", RT_DIALOG, 0x409), "") << k.what;
  }
}

INT_PTR QuietDialog(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST_F(WuResPoolTest, PoolDialogRunsInTheHandlesLanguage) {
  HWULANG lang = nullptr;
  ASSERT_EQ(WuLang_Open(&lang, GetModuleHandleW(nullptr), 0x407, 0), S_OK);
  Image img;
  for (auto [language, title] : {std::pair{WORD(0x409), u"English"}, {WORD(0x407), u"Deutsch"}}) {
    _wudlghdrcreateex h{};
    h.caption = title;
    h.style = WS_POPUP | WS_CAPTION;
    h.cx = 50, h.cy = 20;
    WORD size = 0;
    const DLGTEMPLATE* t = WuCreateDialogTemplateEx(lang, &h, nullptr, &size);
    ASSERT_NE(t, nullptr);
    img.Add(RT_DIALOG, MAKEINTRESOURCEW(101), language,
            std::string(reinterpret_cast<const char*>(t), size));
    WuFreeDialogTemplate(t);
  }
  _WURESPOOL pool = img.Pool();
  platform::ScriptedFrontEnd script;
  platform::SetFrontEnd(&script);
  script.Run([](HWND dialog) { EndDialog(dialog, 5); });
  EXPECT_EQ(WuResPoolDialogBox(&pool, lang, MAKEINTRESOURCEW(101), nullptr, QuietDialog, 0), 5);
  EXPECT_EQ(WuResPoolDialogBox(&pool, lang, MAKEINTRESOURCEW(102), nullptr, QuietDialog, 0), -1);
  platform::SetFrontEnd(nullptr);
  std::vector<platform::ScriptedFrontEnd::Shown> shown = script.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, u"Deutsch");
  WuLang_Close(lang);
}

// The first two pixels of the top row of the bitmap made from a packed
// one; none when it is refused.
std::vector<COLORREF> FirstTwoPixels(const void* packed) {
  HBITMAP bitmap = WuCreateBitmapFromPackedDib(packed);
  if (!bitmap) return {};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  std::vector<COLORREF> pixels = {GetPixel(dc, 0, 0), GetPixel(dc, 1, 0)};
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return pixels;
}

TEST_F(WuResPoolTest, PackedBitmaps) {
  struct Case {
    DWORD headerSize;
    WORD bits;
    DWORD used;
    int bytes;
  };
  const Case cases[] = {
      {12, 1, 0, 6},    {12, 4, 0, 48},    {12, 8, 0, 768}, {12, 24, 0, 0},
      {40, 1, 0, 8},    {40, 4, 0, 64},    {40, 8, 0, 1024}, {40, 24, 0, 0},
      {40, 8, 3, 12},   {40, 32, 0, 0},    {40, 8, 256, 1024}, {40, 24, 256, 1024},
      // Counts no table holds, one of them wrapping 4 x count to a negative
      // int and one to 0 in 32 bits: refused.
      {40, 8, 257, -1}, {40, 8, 0x20000000, -1}, {40, 4, 0x40000000, -1}, {40, 24, 0xFFFFFFFF, -1},
  };
  for (const Case& c : cases) {
    BYTE h[40] = {};
    std::memcpy(h, &c.headerSize, 4);
    if (c.headerSize == 12) {
      std::memcpy(h + 10, &c.bits, 2);
    } else {
      BITMAPINFOHEADER info{};
      info.biSize = 40;
      info.biBitCount = c.bits;
      info.biClrUsed = c.used;
      std::memcpy(h, &info, 40);
    }
    EXPECT_EQ(WuDibColorTableBytes(h), c.bytes) << c.headerSize << "/" << c.bits << "/" << c.used;
  }

  // A 2x1 one-bit bitmap: black and white from the colour table.
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD colors[2];
    BYTE bits[4];
  } dib{};
  dib.h = BITMAPINFOHEADER{40, 2, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  dib.colors[1] = RGBQUAD{255, 255, 255, 0};
  dib.bits[0] = 0x40;  // pixel 0 black, pixel 1 white
  EXPECT_EQ(FirstTwoPixels(&dib), (std::vector<COLORREF>{RGB(0, 0, 0), RGB(255, 255, 255)}));
}

// Packed bitmaps come without a size: a header whose size or colour count
// would place the table or the bits far past the block is refused, and the
// masks after a 40-byte BI_BITFIELDS header are read as masks, not pixels.
TEST_F(WuResPoolTest, PackedBitmapsWithLyingHeaders) {
  struct {
    BITMAPINFOHEADER h;
    DWORD masks[3];
    DWORD bits[2];
  } dib{};
  dib.h = BITMAPINFOHEADER{40, 2, 1, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0};
  dib.masks[0] = 0x00FF0000;
  dib.masks[1] = 0x0000FF00;
  dib.masks[2] = 0x000000FF;
  dib.bits[0] = 0x00102030;
  dib.bits[1] = 0x00405060;
  EXPECT_EQ(FirstTwoPixels(&dib),
            (std::vector<COLORREF>{RGB(0x10, 0x20, 0x30), RGB(0x40, 0x50, 0x60)}));

  struct Case {
    DWORD headerSize;
    DWORD used;
  };
  const Case refused[] = {
      {40, 0x20000000}, {40, 0x10000000}, {40, 257},  // colour counts
      {0x7FFFFFF0, 0},  {39, 0},          {125, 0},   // header sizes
  };
  for (const Case& c : refused) {
    struct {
      BITMAPINFOHEADER h;
      BYTE rest[128];
    } lying{};
    lying.h = BITMAPINFOHEADER{c.headerSize, 2, 1, 1, 8, BI_RGB, 0, 0, 0, c.used, 0};
    EXPECT_EQ(WuCreateBitmapFromPackedDib(&lying), nullptr) << c.headerSize << "/" << c.used;
    EXPECT_EQ(WuPackedDibBitsOffset(&lying), -1) << c.headerSize << "/" << c.used;
  }
  // Where the bits start, as the about box draws them: after the masks of
  // a 40-byte BI_BITFIELDS header, inside a longer one, after the table.
  EXPECT_EQ(WuPackedDibBitsOffset(&dib), 52);
  dib.h.biSize = 108;
  EXPECT_EQ(WuPackedDibBitsOffset(&dib), 108);
  dib.h = BITMAPINFOHEADER{40, 2, 1, 1, 8, BI_RGB, 0, 0, 0, 3, 0};
  EXPECT_EQ(WuPackedDibBitsOffset(&dib), 52);
  EXPECT_EQ(WuPackedDibBitsOffset(nullptr), -1);
}

}  // namespace
