// Flat metadata blocks and picture blocks: exact layouts, the capacity
// check, null and damaged blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuStatus.h"
#include "mediaformats/WuPicture.h"
#include "mediaformats/WuSmfmf.h"
#include "platform/kernel/memory.h"

namespace {

// Unlocks and frees a block made by a create function.
void Release(void* block) {
  ASSERT_NE(block, nullptr);
  HGLOBAL handle = GlobalHandle(block);
  EXPECT_TRUE(GlobalFlags(handle) & GMEM_LOCKCOUNT);
  GlobalUnlock(handle);
  EXPECT_EQ(GlobalFree(handle), nullptr);
}

std::vector<BYTE> BytesOf(const void* block, size_t size) {
  const BYTE* p = static_cast<const BYTE*>(block);
  return std::vector<BYTE>(p, p + size);
}

void Put32(std::vector<BYTE>& block, size_t offset, DWORD value) {
  for (int i = 0; i < 4; ++i) block[offset + i] = static_cast<BYTE>(value >> (8 * i));
}

TEST(WuMetaBlockTest, SmfmfLayout) {
  size_t blocks = platform::LiveGlobalBlockCount();
  void* block = WuSmfmf_CreateMeta(3, "abc");
  const std::vector<BYTE> expected = {0x13, 0, 0, 0, 0x41, 0, 1, 0, 2, 0, 0, 0, 3, 0, 0, 0, 'a', 'b', 'c'};
  EXPECT_EQ(BytesOf(block, expected.size()), expected);
  EXPECT_EQ(WuSmfmf_GetTotalSize(block), 19u);
  EXPECT_EQ(WuSmfmf_GetDataSize(block), 3u);
  EXPECT_EQ(WuSmfmf_GetSmfmfVersion(block), 0x00010041u);
  EXPECT_EQ(WuSmfmf_GetStructVersion(block), 2u);
  EXPECT_EQ(std::memcmp(WuSmfmf_GetData(block), "abc", 3), 0);
  EXPECT_EQ(GlobalSize(GlobalHandle(block)), 19u);
  Release(block);

  void* empty = WuSmfmf_CreateMeta(0, nullptr);
  EXPECT_EQ(WuSmfmf_GetTotalSize(empty), 16u);
  EXPECT_EQ(WuSmfmf_GetData(empty), nullptr);
  EXPECT_EQ(GlobalSize(GlobalHandle(empty)), 16u);
  Release(empty);
  EXPECT_EQ(WuSmfmf_CreateMeta(5, nullptr), nullptr);
  EXPECT_EQ(WuSmfmf_GetMetaSizeNeeded(0xFFFFFFF0u), 0u);
  EXPECT_EQ(platform::LiveGlobalBlockCount(), blocks);

  // Into a caller's block.
  std::vector<BYTE> mine(WuSmfmf_GetMetaSizeNeeded(3) + 4, 0xEE);
  EXPECT_EQ(WuSmfmf_SetMeta(mine.data(), 3, "abc"), S_OK);
  EXPECT_EQ(std::vector<BYTE>(mine.begin(), mine.begin() + 19), expected);
  EXPECT_EQ(mine[19], 0xEE);
  EXPECT_EQ(WuSmfmf_SetMeta(nullptr, 3, "abc"), E_INVALIDARG);
  EXPECT_EQ(WuSmfmf_SetMeta(mine.data(), 0, nullptr), E_INVALIDARG);
  EXPECT_EQ(WuSmfmf_SetMeta(mine.data(), 3, nullptr), E_INVALIDARG);

  // A null block reads as empty; a payload that does not fit the total
  // size reads as absent.
  EXPECT_EQ(WuSmfmf_GetData(nullptr), nullptr);
  EXPECT_EQ(WuSmfmf_GetDataSize(nullptr) + WuSmfmf_GetTotalSize(nullptr) +
                WuSmfmf_GetSmfmfVersion(nullptr) + WuSmfmf_GetStructVersion(nullptr),
            0u);
  Put32(mine, 12, 4);
  EXPECT_EQ(WuSmfmf_GetData(mine.data()), nullptr);
  Put32(mine, 12, 0xFFFFFFFF);
  EXPECT_EQ(WuSmfmf_GetData(mine.data()), nullptr);
  Put32(mine, 12, 3);
  EXPECT_NE(WuSmfmf_GetData(mine.data()), nullptr);
}

TEST(WuMetaBlockTest, PictureLayout) {
  std::vector<BYTE> png(100);
  for (size_t i = 0; i < png.size(); ++i) png[i] = static_cast<BYTE>(i * 7);
  EXPECT_EQ(WuPicture_GetMetaSizeNeeded(u"image/png", nullptr, 100), 144u);
  void* block = WuPicture_CreateMeta(PICTUREMETADATATYPE_FRONT_COVER, u"image/png", nullptr, 100, png.data());
  EXPECT_EQ(GlobalSize(GlobalHandle(block)), 144u);
  EXPECT_EQ(WuPicture_GetPictureTotalSize(block), 144u);
  EXPECT_EQ(WuPicture_GetStructVersion(block), 2u);
  EXPECT_EQ(WuPicture_GetMimeTypeByteCount(block), 20u);
  EXPECT_EQ(WuPicture_GetDescriptionByteCount(block), 0u);
  EXPECT_EQ(WuPicture_GetPictureDataSize(block), 100u);
  EXPECT_EQ(std::u16string(WuPicture_GetMimeType(block)), u"image/png");
  EXPECT_EQ(WuPicture_GetDescription(block), nullptr);
  EXPECT_EQ(WuPicture_GetPictureData(block), static_cast<const BYTE*>(block) + 24 + 20);
  EXPECT_EQ(std::memcmp(WuPicture_GetPictureData(block), png.data(), 100), 0);
  EXPECT_EQ(WuPicture_GetPictureType(block), PICTUREMETADATATYPE_FRONT_COVER);
  Release(block);

  // All three parts, in order.
  block = WuPicture_CreateMeta(PICTUREMETADATATYPE_BAND_LOGO, u"image/jpeg", u"Logo", 3, "xyz");
  EXPECT_EQ(WuPicture_GetPictureTotalSize(block), 24u + 22 + 10 + 3);
  EXPECT_EQ(std::u16string(WuPicture_GetDescription(block)), u"Logo");
  EXPECT_EQ(WuPicture_GetPictureData(block), static_cast<const BYTE*>(block) + 56);
  Release(block);

  // No picture bytes: type 255 whatever was stored.
  block = WuPicture_CreateMeta(PICTUREMETADATATYPE_FRONT_COVER, u"image/png", u"none", 0, nullptr);
  EXPECT_EQ(WuPicture_GetPictureType(block), PICTUREMETADATATYPE_NONE);
  EXPECT_EQ(WuPicture_GetPictureData(block), nullptr);
  EXPECT_EQ(std::u16string(WuPicture_GetDescription(block)), u"none");
  Release(block);
}

TEST(WuMetaBlockTest, PictureSetMetaCapacity) {
  const DWORD needed = WuPicture_GetMetaSizeNeeded(u"image/png", u"d", 4);
  std::vector<BYTE> mine(needed + 8, 0xEE);
  const std::vector<BYTE> untouched = mine;
  EXPECT_EQ(WuPicture_SetMeta(mine.data(), needed - 1, PICTUREMETADATATYPE_OTHER, u"image/png", u"d", 4, "1234"),
            WU_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(static_cast<DWORD>(WU_E_BUFFER_TOO_SMALL), 0x8004E03Cu);
  EXPECT_EQ(mine, untouched);
  EXPECT_EQ(WuPicture_SetMeta(mine.data(), 0, PICTUREMETADATATYPE_OTHER, u"image/png", u"d", 4, "1234"),
            E_INVALIDARG);
  EXPECT_EQ(WuPicture_SetMeta(nullptr, needed, PICTUREMETADATATYPE_OTHER, u"image/png", u"d", 4, "1234"),
            E_INVALIDARG);
  EXPECT_EQ(mine, untouched);
  EXPECT_EQ(WuPicture_SetMeta(mine.data(), WUPICTURE_CAPACITY_UNCHECKED, PICTUREMETADATATYPE_MEDIA, u"image/png",
                              u"d", 4, "1234"),
            S_OK);
  EXPECT_EQ(WuPicture_GetPictureTotalSize(mine.data()), needed);
  EXPECT_EQ(mine[needed], 0xEE);
  EXPECT_EQ(WuPicture_SetMeta(mine.data(), needed, PICTUREMETADATATYPE_MEDIA, u"image/png", u"d", 4, "1234"), S_OK);
  EXPECT_EQ(WuPicture_GetPictureType(mine.data()), PICTUREMETADATATYPE_MEDIA);
  EXPECT_EQ(std::memcmp(WuPicture_GetPictureData(mine.data()), "1234", 4), 0);
}

TEST(WuMetaBlockTest, NullAndDamagedPictures) {
  EXPECT_EQ(WuPicture_GetMimeType(nullptr), nullptr);
  EXPECT_EQ(WuPicture_GetDescription(nullptr), nullptr);
  EXPECT_EQ(WuPicture_GetPictureData(nullptr), nullptr);
  EXPECT_EQ(WuPicture_GetPictureType(nullptr), PICTUREMETADATATYPE_NONE);
  EXPECT_EQ(WuPicture_GetMimeTypeByteCount(nullptr) + WuPicture_GetDescriptionByteCount(nullptr) +
                WuPicture_GetPictureDataSize(nullptr) + WuPicture_GetPictureTotalSize(nullptr) +
                WuPicture_GetStructVersion(nullptr),
            0u);

  const DWORD needed = WuPicture_GetMetaSizeNeeded(u"image/png", u"desc", 8);
  std::vector<BYTE> good(needed);
  ASSERT_EQ(WuPicture_SetMeta(good.data(), needed, PICTUREMETADATATYPE_ARTIST, u"image/png", u"desc", 8, "12345678"),
            S_OK);
  struct Damage {
    const char* what;
    size_t offset;
    DWORD value;
    bool mime, description, data;  // which parts still read
  };
  const Damage cases[] = {
      {"data size past the end", 20, 9, true, true, false},
      {"data size huge", 20, 0xFFFFFFFF, true, true, false},
      {"description past the end", 16, 100, true, false, false},
      {"mime past the end", 12, 0xFFFFFFF0, false, false, false},
      {"total size too small", 0, needed - 1, true, true, false},
      {"total size of the header only", 0, 24, false, false, false},
      {"odd mime count", 12, 19, false, false, true},
      {"mime without its NUL", 12, 18, false, false, true},
  };
  for (const Damage& d : cases) {
    std::vector<BYTE> block = good;
    Put32(block, d.offset, d.value);
    EXPECT_EQ(WuPicture_GetMimeType(block.data()) != nullptr, d.mime) << d.what;
    EXPECT_EQ(WuPicture_GetDescription(block.data()) != nullptr, d.description) << d.what;
    EXPECT_EQ(WuPicture_GetPictureData(block.data()) != nullptr, d.data) << d.what;
    EXPECT_EQ(WuPicture_GetPictureType(block.data()) == PICTUREMETADATATYPE_NONE, !d.data) << d.what;
  }
}

}  // namespace
