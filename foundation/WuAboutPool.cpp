// The about box's resource pool: its page templates in the 17 languages of
// the string table and its bitmaps, assembled at start-up into one
// compiled resource image (see WuResPool.h for the entry layout).
//
// The pages are described once, below, with multilingual rows for their
// texts; each language's template is written with that language's column.
// The bitmaps are 16-colour images of our own: an emblem drawn as text art,
// badges that recolour it, and header strips that put it on a gradient.
// Each bitmap is stored once per language as well, so that every language
// holds the same 24 resources.
#include <cstring>
#include <new>
#include <vector>

#include "foundation/WuLangRows.h"
#include "foundation/WuLangTable.h"
#include "foundation/WuResPool.h"
#include "foundation/WuResPoolImage.h"
#include "foundation/WuStaticCtl.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/resource.h"
#include "platform/user/windows.h"

// Filled by the start-up initialiser below; until then it is empty and a
// search finds nothing.
_WURESPOOL WuAboutResPool = {0, 0, nullptr};

namespace {

using wupool::Align4;
using wupool::Column;
using wupool::Put16;
using wupool::Put32;
using wupool::PutEntry;
using wupool::PutDialogHead;
using wupool::PutItemHead;
using wupool::PutText;

// ---- Page descriptions ----------------------------------------------------------------------

constexpr WORD kButton = 0x0080;
constexpr WORD kEdit = 0x0081;
constexpr WORD kStatic = 0x0082;

// One control of a page.
struct Control {
  WORD atom;                     // class atom, or 0 for `className`
  const char16_t* className;     // class name when atom is 0
  const WuLangStringRow* text;   // the text's row, or NULL
  WORD ordinal;                  // the text as an ordinal (a bitmap id) when text is NULL
  WORD id;                       // control id
  SHORT x, y, cx, cy;            // dialog units
  DWORD style;                   // besides WS_CHILD | WS_VISIBLE
};

// One page: its dialog id, its title and its controls.
struct Page {
  WORD id;                       // dialog id in the pool
  const WuLangStringRow* title;  // caption, the tab's text
  std::vector<Control> controls; // in tab order
};

constexpr SHORT kWidth = 250;   // page size, dialog units
constexpr SHORT kHeight = 210;

constexpr DWORD kText = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kImage = SS_BITMAP;
constexpr DWORD kListing = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER | WS_TABSTOP;

Control Label(const WuLangStringRow* row, WORD id, SHORT x, SHORT y, SHORT cx, SHORT cy) {
  return {kStatic, nullptr, row, 0, id, x, y, cx, cy, kText};
}
Control Field(WORD id, SHORT x, SHORT y, SHORT cx, SHORT cy) {
  return {kStatic, nullptr, nullptr, 0, id, x, y, cx, cy, kText};
}
Control Image(WORD bitmap, WORD id, SHORT x, SHORT y) {
  return {kStatic, nullptr, nullptr, bitmap, id, x, y, 24, 24, kImage};
}
Control Listing(WORD id, SHORT x, SHORT y, SHORT cx, SHORT cy) {
  return {kEdit, nullptr, nullptr, 0, id, x, y, cx, cy, kListing};
}

// The General page's common fields, from `top` down.
void GeneralFields(std::vector<Control>* c, SHORT top) {
  c->push_back(Field(3009, 7, top, 236, 10));
  c->push_back(Field(3010, 7, top + 12, 236, 10));
  c->push_back(Field(3011, 7, top + 24, 236, 10));
  c->push_back(Field(3044, 7, top + 36, 236, 10));
  c->push_back(Field(3016, 7, top + 50, 236, 22));
  c->push_back(Field(3018, 7, top + 76, 236, 10));
  c->push_back(Field(3015, 7, top + 92, 236, 60));
}

// An acknowledgement page: an image and a text.
Page Acknowledgement(WORD id, const WuLangStringRow* title, const WuLangStringRow* text, WORD bitmap) {
  Page p{id, title, {}};
  p.controls.push_back(Image(bitmap, 0xFFFF, 7, 7));
  p.controls.push_back(Label(text, 0xFFFF, 40, 7, 203, 60));
  return p;
}

std::vector<Page> Pages() {
  std::vector<Page> pages;
  // 101 General: the emblem where the header bitmap goes.
  Page general{101, &WuLangRow_AboutPageGeneral, {}};
  general.controls.push_back(Image(202, 3008, 7, 7));
  GeneralFields(&general.controls, 48);
  pages.push_back(general);
  // 107 General, second layout: room for the caller's bitmap beside the emblem.
  Page general2{107, &WuLangRow_AboutPageGeneral, {}};
  general2.controls.push_back(Image(202, 3008, 7, 7));
  general2.controls.push_back(Field(3021, 40, 7, 203, 36));
  GeneralFields(&general2.controls, 48);
  pages.push_back(general2);
  // 102 Computer: the listing.
  pages.push_back({102, &WuLangRow_AboutPageComputer, {Listing(3017, 7, 7, 236, 196)}});
  // 103 Performance: nothing of its own.
  pages.push_back({103, &WuLangRow_AboutPagePerformance,
                   {Label(&WuLangRow_AboutNoPerformance, 0xFFFF, 7, 7, 236, 20)}});
  // 104 Credits, with three optional lines.
  Page credits{104, &WuLangRow_AboutPageCredits, {}};
  credits.controls.push_back(Image(224, 0xFFFF, 7, 7));
  credits.controls.push_back(Label(&WuLangRow_AboutCreditsText, 0xFFFF, 40, 7, 203, 40));
  credits.controls.push_back(Label(&WuLangRow_AboutCreditsLine1, 3040, 40, 52, 203, 20));
  credits.controls.push_back(Label(&WuLangRow_AboutCreditsLine2, 3041, 40, 76, 203, 20));
  credits.controls.push_back(Label(&WuLangRow_AboutCreditsLine3, 3042, 40, 100, 203, 20));
  pages.push_back(credits);
  pages.push_back(Acknowledgement(105, &WuLangRow_AboutPageCompression, &WuLangRow_AboutCompressionText, 220));
  // 106 Skin: four labelled fields.
  Page skin{106, &WuLangRow_AboutPageSkin, {}};
  const WuLangStringRow* labels[] = {&WuLangRow_AboutLabelTitle, &WuLangRow_AboutLabelAuthor,
                                     &WuLangRow_AboutLabelCopyright, &WuLangRow_AboutLabelDescription};
  for (int i = 0; i < 4; ++i) {
    SHORT y = static_cast<SHORT>(7 + 16 * i);
    skin.controls.push_back(Label(labels[i], 0xFFFF, 7, y, 56, 10));
    skin.controls.push_back(Field(static_cast<WORD>(3004 + i), 66, y, 177, i == 3 ? 60 : 10));
  }
  pages.push_back(skin);
  pages.push_back(Acknowledgement(108, &WuLangRow_AboutPageImages, &WuLangRow_AboutImagesText, 221));
  pages.push_back({109, &WuLangRow_AboutPageComponents, {Listing(3022, 7, 7, 236, 196)}});
  pages.push_back({110, &WuLangRow_AboutPageDevices, {Listing(3039, 7, 7, 236, 196)}});
  // 112 Copyrights: the text over a link and a row of images, which the
  // page hides by its flags and lets the text grow over.
  Page copyrights{112, &WuLangRow_AboutPageCopyrights, {}};
  copyrights.controls.push_back(Listing(3043, 7, 7, 236, 150));
  copyrights.controls.push_back({0, WUSTATIC_CLASS, &WuLangRow_AboutAckLink, 0, 3069, 7, 162, 236, 10,
                                 kText | SS_NOTIFY | WS_TABSTOP});
  copyrights.controls.push_back(Image(225, 3060, 7, 176));
  copyrights.controls.push_back(Image(226, 3067, 40, 176));
  copyrights.controls.push_back(Image(222, 3068, 73, 176));
  pages.push_back(copyrights);
  pages.push_back(Acknowledgement(113, &WuLangRow_AboutPageSignal, &WuLangRow_AboutSignalText, 222));
  pages.push_back(Acknowledgement(114, &WuLangRow_AboutPageFormats, &WuLangRow_AboutFormatsText, 223));
  pages.push_back(Acknowledgement(115, &WuLangRow_AboutPageThanks, &WuLangRow_AboutThanksText, 224));
  return pages;
}

// ---- Bitmaps ----------------------------------------------------------------------------------

// The emblem, 32 x 32, top row first: '.' background, 'b' rim, 'B' sky,
// 'W' wave, 'C' sea.
const char* const kEmblem[32] = {
    "................................", "...........bbbbbbbbbb...........",
    "........bbbbbbbbbbbbbbbb........", ".......bbbbBBBBBBBBBBbbbb.......",
    "......bbbBBBBBBBBBBBBBBbbb......", ".....bbbBBBBBBBBBBBBBBBBbbb.....",
    "....bbBBBBBBBBBBBBBBBBBBBBbb....", "...bbbBBBBBBBBBBBBBBBBBBBBbbb...",
    "..bbbBBBBBBBBBBBBBBBBBBBBBBbbb..", "..bbBBBBBBBBBBBBBBBBBBBWBBBBbb..",
    "..bbBBBBBBBBBBBBBBBBWWWWWWWBbb..", ".bbBBBBBBBBBBBBBBBBWWWWWWWWWBbb.",
    ".bbBBBBBBBBBBBBBBBWWWWWWWWWWWbb.", ".bbBBBBBBBBBBBBBBWWWWCCCCCWWWbb.",
    ".bbBBBBBBBBBBBBBWWWCCCCCCCCCWbb.", ".bbBBBBBBBBBBBBBWWCCCCCCCCCCCbb.",
    ".bbWBBBBBBBBBBBWWCCCCCCCCCCCCbb.", ".bbWWBBBBBBBBBWWWCCCCCCCCCCCCbb.",
    ".bbWWWWBBBBBWWWWCCCCCCCCCCCCCbb.", ".bbCWWWWWWWWWWWCCCCCCCCCCCCCCbb.",
    ".bbCCWWWWWWWWWCCCCCCCCCCCCCCCbb.", "..bbCCWWWWWWWCCCCCCCCCCCCCCCbb..",
    "..bbCCCCCWCCCCCCCCCCCCCCCCCCbb..", "..bbbCCCCCCCCCCCCCCCCCCCCCCbbb..",
    "...bbbCCCCCCCCCCCCCCCCCCCCbbb...", "....bbCCCCCCCCCCCCCCCCCCCCbb....",
    ".....bbbCCCCCCCCCCCCCCCCbbb.....", "......bbbCCCCCCCCCCCCCCbbb......",
    ".......bbbbCCCCCCCCCCbbbb.......", "........bbbbbbbbbbbbbbbb........",
    "...........bbbbbbbbbb...........", "................................"};
constexpr int kEmblemSize = 32;

// Palette indices of the art's characters; 8..15 are the header's gradient.
int ArtIndex(char c) {
  switch (c) {
    case 'b': return 1;
    case 'B': return 2;
    case 'W': return 3;
    case 'C': return 4;
    default: return 0;
  }
}

// Colours as 0xRRGGBB: background, rim, sky, wave, sea; then a spare slot.
struct Scheme {
  DWORD colors[5];
};
constexpr Scheme kEmblemColors = {{0xFFFFFF, 0x1B3A6B, 0x4A86C8, 0xFFFFFF, 0x2FA39A}};
// The badges of the acknowledgement pages (220 .. 226): the emblem recoloured.
constexpr Scheme kBadgeColors[7] = {
    {{0xFFFFFF, 0x5A2D0C, 0xD9822B, 0xFFF4E0, 0x9C4A1A}},  // 220
    {{0xFFFFFF, 0x1E4D2B, 0x5DAE6B, 0xF2FFF0, 0x2E7D4F}},  // 221
    {{0xFFFFFF, 0x3B1F5C, 0x8A63C4, 0xF6F0FF, 0x5C3A99}},  // 222
    {{0xFFFFFF, 0x5C1A1A, 0xC9504A, 0xFFF0F0, 0x8E2E2E}},  // 223
    {{0xFFFFFF, 0x333333, 0x8C8C8C, 0xFFFFFF, 0x555555}},  // 224
    {{0xFFFFFF, 0x0D4F5C, 0x3FB0C4, 0xF0FDFF, 0x1E7F8F}},  // 225
    {{0xFFFFFF, 0x5C4E0D, 0xD4B43A, 0xFFFBEA, 0x9C8420}},  // 226
};
// The header strips' gradients, left to right (203: locale 0, 204: locale 1).
constexpr DWORD kGradientFrom[2] = {0x1B3A6B, 0x2B2B2B};
constexpr DWORD kGradientTo[2] = {0xDCE8F5, 0xE8E8E8};
constexpr int kHeaderWidth = 240;
constexpr int kHeaderHeight = 40;


DWORD Blend(DWORD a, DWORD b, int step, int steps) {
  DWORD out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
    out |= static_cast<DWORD>(ca + (cb - ca) * step / steps) << shift;
  }
  return out;
}

// A packed 4-bit bitmap from a palette and a pixel function (top row y = 0).
template <typename Pixel>
std::vector<BYTE> PackedDib(int width, int height, const DWORD (&palette)[16], Pixel pixel) {
  std::vector<BYTE> out;
  Put32(&out, sizeof(BITMAPINFOHEADER));
  Put32(&out, static_cast<DWORD>(width));
  Put32(&out, static_cast<DWORD>(height));  // bottom-up
  Put16(&out, 1);
  Put16(&out, 4);
  Put32(&out, 0);  // BI_RGB
  int stride = ((width * 4 + 31) / 32) * 4;
  Put32(&out, static_cast<DWORD>(stride * height));
  Put32(&out, 2835);  // 72 dpi
  Put32(&out, 2835);
  Put32(&out, 16);
  Put32(&out, 0);
  for (DWORD rgb : palette) Put32(&out, rgb & 0xFFFFFF);  // 0xRRGGBB lands blue first
  for (int row = height - 1; row >= 0; --row) {
    std::vector<BYTE> line(static_cast<size_t>(stride), 0);
    for (int x = 0; x < width; ++x) {
      int index = pixel(x, row) & 0xF;
      line[static_cast<size_t>(x / 2)] |= static_cast<BYTE>(x % 2 ? index : index << 4);
    }
    out.insert(out.end(), line.begin(), line.end());
  }
  return out;
}

std::vector<BYTE> EmblemDib(const Scheme& scheme) {
  DWORD palette[16] = {};
  for (int i = 0; i < 5; ++i) palette[i] = scheme.colors[i];
  return PackedDib(kEmblemSize, kEmblemSize, palette,
                   [](int x, int y) { return ArtIndex(kEmblem[y][x]); });
}

// A header strip: the emblem at the left on a gradient.
std::vector<BYTE> HeaderDib(int variant) {
  DWORD palette[16] = {};
  for (int i = 0; i < 5; ++i) palette[i] = kEmblemColors.colors[i];
  for (int i = 0; i < 8; ++i) palette[8 + i] = Blend(kGradientFrom[variant], kGradientTo[variant], i, 7);
  return PackedDib(kHeaderWidth, kHeaderHeight, palette, [](int x, int y) {
    int ex = x - 4, ey = y - 4;
    if (ex >= 0 && ey >= 0 && ex < kEmblemSize && ey < kEmblemSize && kEmblem[ey][ex] != '.')
      return ArtIndex(kEmblem[ey][ex]);
    return 8 + x * 8 / kHeaderWidth;
  });
}

// ---- Templates ----------------------------------------------------------------------------------



// An extended dialog template of a page in one column's language.
std::vector<BYTE> PageTemplate(const Page& page, int column) {
  std::vector<BYTE> out;
  PutDialogHead(&out, WS_CHILD | WS_CAPTION | DS_SETFONT | DS_3DLOOK, static_cast<WORD>(page.controls.size()),
                static_cast<WORD>(kWidth), static_cast<WORD>(kHeight), Column(page.title, column));
  for (const Control& c : page.controls) {
    PutItemHead(&out, c.style, c.x, c.y, c.cx, c.cy, c.id);
    if (c.atom) {
      Put16(&out, 0xFFFF);
      Put16(&out, c.atom);
    } else {
      PutText(&out, c.className);
    }
    if (c.text) {
      PutText(&out, Column(c.text, column));
    } else if (c.ordinal) {
      Put16(&out, 0xFFFF);
      Put16(&out, c.ordinal);
    } else {
      Put16(&out, 0);
    }
    Put16(&out, 0);      // no creation data
  }
  return out;
}

// ---- The image --------------------------------------------------------------------------------


// The image with its leading byte count, or empty when memory runs out.
std::vector<BYTE>* BuildImage() {
  auto* image = new (std::nothrow) std::vector<BYTE>;
  if (!image) return nullptr;
  try {
    std::vector<Page> pages = Pages();
    std::vector<std::pair<WORD, std::vector<BYTE>>> bitmaps;
    bitmaps.push_back({202, EmblemDib(kEmblemColors)});
    bitmaps.push_back({203, HeaderDib(0)});
    bitmaps.push_back({204, HeaderDib(1)});
    for (WORD i = 0; i < 7; ++i) bitmaps.push_back({static_cast<WORD>(220 + i), EmblemDib(kBadgeColors[i])});

    Put32(image, 0);  // the byte count, set below
    PutEntry(image, 0, 0, 0, {});  // the customary empty entry
    for (int column = 1; column <= WULANG_COLUMNS; ++column) {
      WORD language = static_cast<WORD>(WULANG_COLUMN_LCIDS[column - 1]);
      for (const Page& page : pages) PutEntry(image, 5, page.id, language, PageTemplate(page, column));
      for (const auto& [id, dib] : bitmaps) PutEntry(image, 2, id, language, dib);
    }
    DWORD count = static_cast<DWORD>(image->size() - 4);
    std::memcpy(image->data(), &count, 4);
  } catch (const std::bad_alloc&) {
    image->clear();
  }
  return image;
}

// Start-up: fills the pool before the kernel starts.
struct PoolInitializer {
  PoolInitializer() {
    static std::vector<BYTE>* image = BuildImage();  // lives for the process
    if (!image || image->size() < 4) return;
    DWORD count;
    std::memcpy(&count, image->data(), 4);
    WuAboutResPool.data = image->data() + 4;
    WuAboutResPool.size = count;
  }
} g_pool_initializer;

}  // namespace
