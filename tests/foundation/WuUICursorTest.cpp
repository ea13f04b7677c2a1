#include "foundation/WuUICursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "platform/kernel/module.h"
#include "platform/kernel/resource.h"

namespace {

using Bytes = std::vector<BYTE>;

DWORD Get32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}
void Set16(Bytes& b, size_t at, DWORD v) {
  b[at] = static_cast<BYTE>(v);
  b[at + 1] = static_cast<BYTE>(v >> 8);
}
void Set32(Bytes& b, size_t at, DWORD v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}

Bytes Kernel(UINT id) {
  DWORD size = 0;
  const BYTE* p = WuGetKernelCursorBits(id, &size);
  return p ? Bytes(p, p + size) : Bytes();
}

// Facts of a cursor: width and hotspot.
struct Facts {
  LONG width;
  DWORD hotX, hotY;
};
Facts Describe(HCURSOR c) {
  ICONINFO info{};
  EXPECT_TRUE(GetIconInfo(c, &info));
  BITMAP bm{};
  GetObjectW(info.hbmMask, sizeof bm, &bm);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return {bm.bmWidth, info.xHotspot, info.yHotspot};
}

// Offsets inside a container: file directory, and entry i of it.
size_t FileDir(const Bytes& c) { return Get32(c, 4); }
size_t FileEntry(const Bytes& c, int i) { return FileDir(c) + 6 + 16 * i; }

// A .cur file holding the images of a container.
Bytes CurFile(const Bytes& c) {
  const size_t dir = FileDir(c);
  const int count = c[dir + 4];
  Bytes out(6 + 16 * count, 0);
  Set16(out, 2, 2);
  Set16(out, 4, count);
  for (int i = 0; i < count; ++i) {
    size_t e = FileEntry(c, i);
    DWORD bytes = Get32(c, e + 8), offset = Get32(c, e + 12);
    std::memcpy(&out[6 + 16 * i], &c[e], 12);
    Set32(out, 6 + 16 * i + 12, static_cast<DWORD>(out.size()));
    out.insert(out.end(), c.begin() + offset, c.begin() + offset + bytes);
  }
  return out;
}

HCURSOR Load(const Bytes& b, int index = -1) {
  return WuLoadCursorFromBits(b.data(), static_cast<DWORD>(b.size()), index, 0);
}

size_t Live() { return platform::GdiObjectCount(platform::GdiKind::kIcon); }

TEST(WuUICursor, KernelTableHoldsEveryIdAsContainer) {
  const size_t before = Live();
  for (UINT id = 1; id <= WU_KERNEL_CURSOR_COUNT; ++id) {
    SCOPED_TRACE(id);
    Bytes c = Kernel(id);
    ASSERT_TRUE(IsWuGroupCursorPtr(c.data(), static_cast<DWORD>(c.size())));
    HCURSOR cur = WuLoadKernelCursor(id);
    ASSERT_NE(cur, nullptr);
    EXPECT_EQ(Describe(cur).width, 32);  // the display size wins the pick
    DestroyCursor(cur);
  }
  // Designs differ between ids.
  EXPECT_NE(Kernel(1), Kernel(5));
  DWORD size = 7;
  EXPECT_EQ(WuGetKernelCursorBits(0, &size), nullptr);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(WuGetKernelCursorBits(58, nullptr), nullptr);
  EXPECT_EQ(WuLoadKernelCursor(58), nullptr);
  EXPECT_EQ(Live(), before);
}

TEST(WuUICursor, LoadsEachFormAndIndex) {
  const Bytes c = Kernel(2);  // a cross-hair: hotspot at the centre
  const size_t e1 = FileEntry(c, 1);
  const DWORD off1 = Get32(c, e1 + 12), bytes1 = Get32(c, e1 + 8);
  const Bytes res(c.begin() + off1 - 4, c.begin() + off1 + bytes1);  // hotspot + image
  const Bytes cur = CurFile(c);
  ASSERT_TRUE(IsLikelyCursorRESPtr(res.data(), static_cast<DWORD>(res.size())));
  ASSERT_TRUE(IsLikelyCursorFilePtr(cur.data(), static_cast<DWORD>(cur.size())));
  EXPECT_FALSE(IsLikelyCursorFilePtr(res.data(), static_cast<DWORD>(res.size())));

  struct Case {
    const char* what;
    const Bytes* data;
    int index;
    LONG width;   // 0: NULL expected
    DWORD hot;
  } cases[] = {
      {"container, best", &c, -1, 32, 15},
      {"container, index 1", &c, 1, 16, 7},
      {"container, index 2", &c, 2, 0, 0},
      {"resource", &res, -1, 16, 7},
      {"cur file, best", &cur, -1, 32, 15},
      {"cur file, index 1", &cur, 1, 16, 7},
      {"cur file, index 2", &cur, 2, 0, 0},
  };
  const size_t before = Live();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    HCURSOR h = Load(*k.data, k.index);
    if (!k.width) {
      EXPECT_EQ(h, nullptr);
      continue;
    }
    ASSERT_NE(h, nullptr);
    Facts f = Describe(h);
    EXPECT_EQ(f.width, k.width);
    EXPECT_EQ(f.hotX, k.hot);
    EXPECT_EQ(f.hotY, k.hot);
    DestroyCursor(h);
  }
  EXPECT_EQ(Live(), before);
}

TEST(WuUICursor, HotspotFromDirectoryWhenNotInFrontOfImage) {
  Bytes c = Kernel(2);
  const size_t e0 = FileEntry(c, 0);
  const DWORD off0 = Get32(c, e0 + 12);
  Set16(c, off0 - 4, 3);  // the bytes in front of the image no longer match
  Set16(c, e0 + 4, 9);    // the directory's hotspot is the one that counts
  Set16(c, e0 + 6, 11);
  HCURSOR h = Load(c, 0);
  ASSERT_NE(h, nullptr);
  Facts f = Describe(h);
  EXPECT_EQ(f.hotX, 9u);
  EXPECT_EQ(f.hotY, 11u);
  DestroyCursor(h);

  // A container with one image needs no best-size lookup.
  Bytes one = Kernel(2);
  Set16(one, 12, 1);
  Set16(one, FileDir(one) + 4, 1);
  Set16(one, 8 + 6 + 12, 0);  // an id the lookup would not accept
  h = Load(one);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(Describe(h).width, 32);
  DestroyCursor(h);
}

// Malformed containers and files: every one refused; the buffers are sized
// exactly so that a read past them shows under AddressSanitizer.
TEST(WuUICursor, RefusesHostileBytes) {
  const Bytes good = Kernel(4);
  const size_t dir = FileDir(good), e0 = FileEntry(good, 0);
  struct Case {
    const char* what;
    std::function<void(Bytes&)> spoil;
  } cases[] = {
      {"21 bytes", [](Bytes& b) { b.resize(21); }},
      {"cut after the group directory", [](Bytes& b) { b.resize(40); }},
      {"cut inside the first image", [e0](Bytes& b) { b.resize(Get32(b, e0 + 12) + 100); }},
      {"directory offset past the end", [](Bytes& b) { Set32(b, 4, static_cast<DWORD>(b.size()) - 8); }},
      {"directory offset wraps", [](Bytes& b) { Set32(b, 4, 0xFFFFFFF0u); }},
      {"huge group count", [](Bytes& b) { Set16(b, 12, 0xFFFF); }},
      {"zero group count", [](Bytes& b) { Set16(b, 12, 0); }},
      {"counts disagree", [dir](Bytes& b) { Set16(b, dir + 4, 1); }},
      {"group type 1", [](Bytes& b) { Set16(b, 10, 1); }},
      {"image offset past the end", [e0](Bytes& b) { Set32(b, e0 + 12, static_cast<DWORD>(b.size())); }},
      {"image offset wraps", [e0](Bytes& b) { Set32(b, e0 + 12, 0xFFFFFFFFu); }},
      {"image size wraps", [e0](Bytes& b) { Set32(b, e0 + 8, 0xFFFFFFFCu); }},
      {"image offset 0", [e0](Bytes& b) { Set32(b, e0 + 12, 0); }},
  };
  const size_t before = Live();
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    Bytes b = good;
    k.spoil(b);
    b.shrink_to_fit();
    for (int index : {-1, 0}) EXPECT_EQ(Load(b, index), nullptr);
  }
  // .cur files whose directory or images lie outside the bytes.
  const Bytes cur = CurFile(good);
  struct CurCase {
    const char* what;
    std::function<void(Bytes&)> spoil;
  } curCases[] = {
      {"count beyond the bytes", [](Bytes& b) { Set16(b, 4, 0xFFFF); }},
      {"second image past the end", [](Bytes& b) { Set32(b, 6 + 16 + 12, static_cast<DWORD>(b.size()) - 8); }},
      {"second image size wraps", [](Bytes& b) { Set32(b, 6 + 16 + 8, 0xFFFFFFF8u); }},
      {"first width differs", [](Bytes& b) { b[6] = 48; }},
  };
  for (const CurCase& k : curCases) {
    SCOPED_TRACE(k.what);
    Bytes b = cur;
    k.spoil(b);
    b.shrink_to_fit();
    EXPECT_EQ(Load(b, 1), nullptr);
  }
  EXPECT_EQ(WuLoadCursorFromBits(nullptr, 400, -1, 0), nullptr);
  EXPECT_FALSE(IsWuGroupCursorPtr(good.data(), 27));
  EXPECT_EQ(Live(), before);
}

// A module cursor resource: group directory 1 -> image 1 (hotspot + image).
void AddAppCursor(WORD id) {
  const Bytes c = Kernel(1);
  const size_t e0 = FileEntry(c, 0);
  const DWORD off = Get32(c, e0 + 12), bytes = Get32(c, e0 + 8);
  const Bytes image(c.begin() + off - 4, c.begin() + off + bytes);
  Bytes group(6 + 14, 0);
  Set16(group, 2, 2);
  Set16(group, 4, 1);
  std::memcpy(&group[6], &c[8 + 6], 12);
  Set16(group, 6 + 12, id);
  platform::ResourceItem items[] = {  // the bytes are copied
      {RT_CURSOR, MAKEINTRESOURCEW(id), 1033, image.data(), static_cast<DWORD>(image.size())},
      {RT_GROUP_CURSOR, MAKEINTRESOURCEW(id), 1033, group.data(), static_cast<DWORD>(group.size())},
  };
  ASSERT_TRUE(platform::AddModuleResources(nullptr, items, 2));
}

TEST(WuUICursor, CachesAndReleases) {
  const HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
  WuUICursor_SetAppCursors(GetModuleHandleW(nullptr), 100);
  const size_t before = Live();

  // Kernel cursors: one live object per id, the same handle on every call.
  HCURSOR k1 = WuGetUICursor(1), k57 = WuGetUICursor(57);
  EXPECT_NE(k1, arrow);
  EXPECT_NE(k1, k57);
  EXPECT_EQ(WuGetUICursor(1), k1);
  EXPECT_EQ(Live(), before + 2);

  // Platform cursors: the help cursor shares slot 14 with 0x7F0E; an id
  // without a slot gives the arrow.
  HCURSOR help = WuGetUICursor(0x7F8B);
  EXPECT_EQ(help, LoadCursorW(nullptr, IDC_HELP));
  EXPECT_EQ(WuGetUICursor(0x7F0E), help);
  EXPECT_EQ(WuGetUICursor(0x7F80), arrow);
  EXPECT_EQ(WuGetUICursor(0x7F00), arrow);

  // Outside every range, and id 0: the arrow, nothing cached.
  EXPECT_EQ(WuGetUICursor(58), arrow);
  EXPECT_EQ(WuGetUICursor(0), arrow);
  EXPECT_EQ(WuGetUICursor(150), arrow);

  // Application range: a missing resource is not cached, so it loads once added.
  EXPECT_EQ(WuGetUICursor(149), arrow);
  AddAppCursor(149);
  HCURSOR app = WuGetUICursor(149);
  EXPECT_NE(app, arrow);
  EXPECT_EQ(WuGetUICursor(149), app);

  SetCursor(k1);
  WuUICursor_LateTerminate();
  EXPECT_EQ(GetCursor(), arrow);
  EXPECT_EQ(Live(), before);
  // The caches are empty: a new request loads again.
  HCURSOR again = WuGetUICursor(1);
  EXPECT_NE(again, arrow);
  EXPECT_EQ(Live(), before + 1);
  WuUICursor_LateTerminate();
  EXPECT_EQ(Live(), before);
  WuUICursor_SetAppCursors(nullptr, 0);
}

}  // namespace
