// The display list: its chunks in RIFF and RIFF64 files, its stream, and
// bitmaps made from a file's bitmap item.
#include "mediaformats/WuDispList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "mediaformats/Riff.h"
#include "mediaformats/Riff64.h"
#include "tests/mediaformats/RiffTestUtil.h"
#include "tests/mediaformats/TestReadMeta.h"

using rifftest::Bytes;
using rifftest::TempFile;

namespace {

struct ListDeleter {
  void operator()(WuDispList* list) const { displist_Destroy(list); }
};
using List = std::unique_ptr<WuDispList, ListDeleter>;

List Make() {
  List list(displist_Create());
  EXPECT_NE(list, nullptr);
  return list;
}

std::string Data(const WuDispItem* item) {
  if (!item || !item->data) return "<none>";
  return std::string(static_cast<const char*>(item->data), item->size);
}

TEST(DispList, CreateSetAndFree) {
  List list = Make();
  ASSERT_EQ(list->count, 2u);
  EXPECT_EQ(list->items[0].id, kDispText);
  EXPECT_EQ(list->items[1].id, kDispBitmap);
  EXPECT_EQ(displist_GetItem(list.get(), 2), nullptr);
  EXPECT_EQ(displist_GetItem(nullptr, 1), nullptr);
  EXPECT_EQ(displist_SetItem(list.get(), 2, 3, "abc"), -1);
  EXPECT_EQ(displist_SetItem(nullptr, 1, 3, "abc"), -1);
  EXPECT_EQ(displist_SetItem(list.get(), kDispText, 3, "abc"), S_OK);
  EXPECT_EQ(displist_SetItem(list.get(), kDispText, 2, "xy"), S_OK);
  EXPECT_EQ(Data(displist_GetItem(list.get(), kDispText)), "xy");
  EXPECT_EQ(displist_SetItem(list.get(), kDispText, 0, "xy"), S_OK);
  EXPECT_EQ(list->items[0].size, 0u);
  EXPECT_EQ(list->items[0].data, nullptr);
  EXPECT_EQ(displist_SetItem(list.get(), kDispBitmap, 4, "abcd"), S_OK);
  EXPECT_EQ(displist_Free(list.get()), S_OK);
  EXPECT_EQ(list->items[1].data, nullptr);
  EXPECT_EQ(list->items[1].size, 4u);
  displist_Destroy(nullptr);
}

TEST(DispList, SaveWritesPaddedChunks) {
  List list = Make();
  std::string data(41, 'q');
  ASSERT_EQ(displist_SetItem(list.get(), kDispBitmap, 41, data.data()), S_OK);
  TempFile f("");
  DWORD written = 0;
  ASSERT_EQ(displist_Save(f.h(), list.get(), &written), S_OK);
  EXPECT_EQ(written, 54u);
  EXPECT_EQ(f.Contents(), Bytes().Id("DISP").U32(45).U32(8).Raw(data).Zeros(1).s);

  List small = Make();
  ASSERT_EQ(displist_SetItem(small.get(), kDispText, 5, "hello"), S_OK);
  TempFile g("");
  ULONGLONG written64 = 0;
  ASSERT_EQ(displist64_Save(g.h(), small.get(), &written64), S_OK);
  EXPECT_EQ(written64, 40u);
  EXPECT_EQ(g.Contents(), Bytes().Guid(kRiff64GuidDisp).U64(40).U32(1).Raw("hello").Zeros(7).s);

  // Nothing for an empty list; a failed write is reported.
  List empty = Make();
  TempFile h("");
  EXPECT_EQ(displist_Save(h.h(), empty.get(), &written), S_OK);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(h.Contents(), "");
  TempFile ro("", GENERIC_READ);
  EXPECT_EQ(displist_Save(ro.h(), list.get(), &written), RIFF_E_WRITE);
  EXPECT_EQ(displist64_Save(ro.h(), list.get(), &written64), RIFF_E_WRITE);
}

TEST(DispList, LoadSkipsOtherChunksUnknownIdsAndMalformedOnes) {
  // A format-2 item, a "DISP" too small for its id, another chunk, then
  // the text and bitmap items; the load must stay in step throughout.
  std::string chunks = Bytes()
                           .Chunk("DISP", Bytes().U32(2).Raw("bitmap?").s)
                           .Chunk("DISP", "x")
                           .Chunk("LIST", Bytes().Id("INFO").Chunk("INAM", "n").s)
                           .Chunk("DISP", Bytes().U32(1).Raw("text").s)
                           .Chunk("DISP", Bytes().U32(8).Raw("pic").s)
                           .s;
  TempFile f(chunks + "trailing");
  List list = Make();
  DWORD left = static_cast<DWORD>(chunks.size());
  ASSERT_EQ(displist_Load(f.h(), list.get(), &left), S_OK);
  EXPECT_EQ(left, 0u);
  EXPECT_EQ(f.Position(), 0);
  EXPECT_EQ(Data(displist_GetItem(list.get(), kDispText)), "text");
  EXPECT_EQ(Data(displist_GetItem(list.get(), kDispBitmap)), "pic");

  // The same items in a RIFF64 range.
  std::string chunks64 = Bytes()
                             .Chunk64(kRiff64GuidDisp, Bytes().U32(2).Raw("other").s)
                             .Chunk64(kRiff64GuidFmt, "fmt data")
                             .Chunk64(kRiff64GuidDisp, Bytes().U32(8).Raw("picture").s)
                             .s;
  TempFile g(chunks64);
  List list64 = Make();
  ULONGLONG left64 = chunks64.size();
  ASSERT_EQ(displist64_Load(g.h(), list64.get(), &left64), S_OK);
  EXPECT_EQ(left64, 0u);
  EXPECT_EQ(Data(displist_GetItem(list64.get(), kDispBitmap)), "picture");
  EXPECT_EQ(Data(displist_GetItem(list64.get(), kDispText)), "<none>");

  // An item claiming more than the range holds frees everything loaded.
  std::string bad = Bytes().Chunk("DISP", Bytes().U32(1).Raw("ok").s)
                        .Id("DISP").U32(0x7FFFFFF0).U32(8).Raw("short").s;
  TempFile h(bad);
  List lost = Make();
  left = static_cast<DWORD>(bad.size());
  EXPECT_EQ(displist_Load(h.h(), lost.get(), &left), RIFF_E_READ);
  EXPECT_EQ(lost->items[0].data, nullptr);
  EXPECT_EQ(h.Position(), 0);

  // A range that claims more than the file holds: a size it allows but the
  // file cannot back is refused before any block is made.
  std::string lying = Bytes().Id("DISP").U32(0x2D00003C).U32(8).Raw("tiny").s;
  TempFile l(lying);
  List never = Make();
  left = 0x7FFFFFFF;
  EXPECT_EQ(displist_Load(l.h(), never.get(), &left), RIFF_E_READ);
  EXPECT_EQ(never->items[1].data, nullptr);
}

TEST(DispList, SaveThenLoadRoundTrips) {
  List list = Make();
  ASSERT_EQ(displist_SetItem(list.get(), kDispText, 3, "odd"), S_OK);
  ASSERT_EQ(displist_SetItem(list.get(), kDispBitmap, 8, "evenbyte"), S_OK);
  TempFile f("");
  DWORD written = 0;
  ASSERT_EQ(displist_Save(f.h(), list.get(), &written), S_OK);
  f.Seek(0);
  List back = Make();
  ASSERT_EQ(displist_Load(f.h(), back.get(), &written), S_OK);
  EXPECT_EQ(Data(displist_GetItem(back.get(), kDispText)), "odd");
  EXPECT_EQ(Data(displist_GetItem(back.get(), kDispBitmap)), "evenbyte");
  TempFile g("");
  ULONGLONG written64 = 0;
  ASSERT_EQ(displist64_Save(g.h(), list.get(), &written64), S_OK);
  g.Seek(0);
  List back64 = Make();
  ASSERT_EQ(displist64_Load(g.h(), back64.get(), &written64), S_OK);
  // The stored size counts the padding, so the items come back padded to
  // the chunk's alignment.
  EXPECT_EQ(Data(displist_GetItem(back64.get(), kDispText)), std::string("odd\0", 4));
  EXPECT_EQ(Data(displist_GetItem(back64.get(), kDispBitmap)), std::string("evenbyte\0\0\0\0", 12));
}

TEST(DispList, LoadFromStream) {
  struct Case {
    const char* name;
    std::string bytes;
    HRESULT status;
    std::string first, second;
  };
  const Case cases[] = {
      // Three entries for a two-item list: the third is never read.
      {"count beyond items",
       Bytes().U32(3).U32(1).U32(2).Raw("hi").U32(8).U32(3).Raw("pic").U32(9).U32(1).Raw("z").s,
       S_OK, "hi", "pic"},
      {"empty entry", Bytes().U32(1).U32(8).U32(0).s, S_OK, "<none>", "<none>"},
      {"short data", Bytes().U32(2).U32(1).U32(100).Raw("short").s, RIFF_E_READ, "<none>",
       "<none>"},
      {"huge size", Bytes().U32(1).U32(1).U32(0xFFFFFFF0).Raw("x").s, RIFF_E_READ, "<none>",
       "<none>"},
      {"short header", Bytes().U32(1).U32(1).s, RIFF_E_READ, "<none>", "<none>"},
      {"no count", "ab", RIFF_E_READ, "<none>", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int live = 0;
    IStream* stream = metatest::MakeStream(c.bytes, &live);
    List list = Make();
    EXPECT_EQ(displist_LoadFromStream(list.get(), stream), c.status);
    EXPECT_EQ(Data(&list->items[0]), c.first);
    EXPECT_EQ(Data(&list->items[1]), c.second);
    stream->Release();
    EXPECT_EQ(live, 0);
  }
  EXPECT_EQ(displist_LoadFromStream(nullptr, nullptr), E_INVALIDARG);
}

// A RIFF file whose display list holds `item` as its bitmap.
std::string FileWithBitmap(const std::string& item) {
  std::string body = Bytes().Id("WAVE").Chunk("fmt ", std::string(16, '\0'))
                         .Chunk("DISP", Bytes().U32(8).Raw(item).s).s;
  return Bytes().Id("RIFF").U32(static_cast<uint32_t>(body.size())).Raw(body).s;
}

std::string InfoHeader(int width, int height, int bits, uint32_t colors = 0) {
  return Bytes().U32(40).U32(width).U32(height).U16(1).U16(bits).U32(0).U32(0)
      .U32(0).U32(0).U32(colors).U32(0).s;
}

// Pixel colours of a bitmap, read through a memory DC.
COLORREF Pixel(HBITMAP bitmap, int x, int y) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteDC(dc);
  return c;
}

TEST(DispList, BitmapFromFile) {
  // 2 x 2 pixels each, bottom-up: the bottom row is stored first.
  std::string one_bit = InfoHeader(2, 2, 1) + Bytes().U32(0x000000FF).U32(0x00FF0000).s +  // blue, red
                        Bytes().U32(0x40).U32(0x80).s;  // bottom: 0 1, top: 1 0
  std::string core8 = Bytes().U32(12).U16(2).U16(2).U16(1).U16(8).s;
  // Three-byte entries, blue first: entry i is red 255 - i, blue i.
  for (int i = 0; i < 256; ++i) core8 += std::string{static_cast<char>(i), 0, static_cast<char>(255 - i)};
  core8 += Bytes().U16(0x0100).U16(0).U16(0x0302).U16(0).s;
  std::string rgb24 = InfoHeader(2, 2, 24) +
                      std::string("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8) +  // red, green
                      std::string("\xFF\x00\x00\xFF\xFF\xFF\x00\x00", 8);   // blue, white
  struct Case {
    const char* name;
    std::string item;
    COLORREF top_left, top_right, bottom_left, bottom_right;
  };
  const Case cases[] = {
      {"1 bit", one_bit, RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 0, 255), RGB(255, 0, 0)},
      {"8 bit core", core8, RGB(253, 0, 2), RGB(252, 0, 3), RGB(255, 0, 0), RGB(254, 0, 1)},
      {"24 bit", rgb24, RGB(0, 0, 255), RGB(255, 255, 255), RGB(255, 0, 0), RGB(0, 255, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile f(FileWithBitmap(c.item));
    CloseHandle(f.Release());
    HBITMAP bitmap = displist_CreateBitmapFromFile(f.Wide().c_str());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(Pixel(bitmap, 0, 0), c.top_left);
    EXPECT_EQ(Pixel(bitmap, 1, 0), c.top_right);
    EXPECT_EQ(Pixel(bitmap, 0, 1), c.bottom_left);
    EXPECT_EQ(Pixel(bitmap, 1, 1), c.bottom_right);
    DeleteObject(bitmap);
  }

  const std::pair<const char*, std::string> hostile[] = {
      {"header beyond item", Bytes().U32(40).U32(2).s},
      {"too many colours", InfoHeader(1, 1, 8, 257) + std::string(257 * 4 + 4, '\0')},
      {"palette beyond item", InfoHeader(1, 1, 8) + std::string(16, '\0')},
      {"pixels beyond item", InfoHeader(100, 100, 24) + std::string(64, '\0')},
      {"core pixels beyond item", Bytes().U32(12).U16(64).U16(64).U16(1).U16(24).s},
      {"zero width", InfoHeader(0, 2, 24) + std::string(64, '\0')},
      {"odd depth", InfoHeader(2, 2, 7) + std::string(64, '\0')},
      {"tiny", "ab"},
  };
  for (const auto& [name, item] : hostile) {
    SCOPED_TRACE(name);
    TempFile f(FileWithBitmap(item));
    CloseHandle(f.Release());
    EXPECT_EQ(displist_CreateBitmapFromFile(f.Wide().c_str()), nullptr);
  }
  TempFile no_item(Bytes().Id("RIFF").U32(4).Id("WAVE").s);
  CloseHandle(no_item.Release());
  EXPECT_EQ(displist_CreateBitmapFromFile(no_item.Wide().c_str()), nullptr);
  EXPECT_EQ(displist_CreateBitmapFromFile(u"/nonexistent/file.wav"), nullptr);
}

}  // namespace
