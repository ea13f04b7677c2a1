// Checksums and content GUIDs of render templates, from known vectors, and
// the record operations built on them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "fileio/WuFioTemplate.h"
#include "foundation/WuStatus.h"

namespace {

struct FreeRecord {
  void operator()(tagWUTEMPLATExV2* r) const { WuFio_ReleaseTemplate(r); }
};
using Record = std::unique_ptr<tagWUTEMPLATExV2, FreeRecord>;

constexpr GUID G(DWORD d1, WORD d2, WORD d3, BYTE a, BYTE b, BYTE c, BYTE d, BYTE e, BYTE f,
                 BYTE g, BYTE h) {
  return {d1, d2, d3, {a, b, c, d, e, f, g, h}};
}

TEST(WuFioTemplateId, KnownVectors) {
  Record empty(WuFio_NewTemplate(nullptr, nullptr, 0));
  ASSERT_EQ(empty->totalSize, 540u);
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(empty.get(), FALSE), 0xEB998BF3u);
  GUID guid{};
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&guid, empty.get(), FALSE), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, G(0xC1FDD14C, 0x3156, 0x3C68, 0x86, 0xBC, 0x4C, 0xA9, 0x21, 0xA7,
                                  0x60, 0xE8)));
  EXPECT_TRUE(IsEqualGUID(WuFio_MakeUpliftedV1TemplateGuid(empty.get()),
                          G(0xEB998BF3, 0, 0x1010, 0x80, 0, 0, 0x11, 0, 0, 0, 0)));

  Record ab(WuFio_NewTemplate(u"A", u"B", 0));
  ab->audio.blockSize = 200;
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(ab.get(), FALSE), 0xD0A3DA2Fu);
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(ab.get(), TRUE), 0xBB15FFB3u);
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&guid, ab.get(), FALSE), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, G(0x139B3FB8, 0x802E, 0x3991, 0xA9, 0x54, 0x51, 0xE4, 0xFE, 0x31,
                                  0x15, 0x38)));
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&guid, ab.get(), TRUE), S_OK);
  EXPECT_TRUE(IsEqualGUID(guid, G(0xC856F30C, 0x9C95, 0x3CD3, 0xAA, 0x5A, 0xA2, 0x4A, 0xCE, 0x84,
                                  0x52, 0x80)));
  // Texts change the identifiers only when they are not empty.
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(empty.get(), TRUE), 0xEB998BF3u);
}

TEST(WuFioTemplateId, CoveredBytes) {
  // Size, version, attributes, class id and GUID are not covered; private
  // bytes (exact size, no padding) and settings are.
  Record a(WuFio_NewTemplate(u"n", u"o", 3));
  Record b(WuFio_DuplicateTemplate(a.get()));
  b->version = 0x02000005;
  b->attributes = 7;
  b->id = 9;
  b->classId.Data1 = 1;
  b->guid.Data1 = 2;
  b->PrivateData()[3] = 0x55;  // padding
  GUID ga{}, gb{};
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&ga, a.get(), TRUE), S_OK);
  ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&gb, b.get(), TRUE), S_OK);
  EXPECT_TRUE(IsEqualGUID(ga, gb));
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(a.get(), TRUE), WuFio_GetTemplateDataCRC32(b.get(), TRUE));
  for (size_t offset : {56u, 527u, 536u, 538u}) {
    Record c(WuFio_DuplicateTemplate(a.get()));
    reinterpret_cast<BYTE*>(c.get())[offset] ^= 1;
    GUID gc{};
    ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&gc, c.get(), FALSE), S_OK);
    ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&ga, a.get(), FALSE), S_OK);
    EXPECT_FALSE(IsEqualGUID(ga, gc)) << offset;
    EXPECT_NE(WuFio_GetTemplateDataCRC32(a.get(), FALSE), WuFio_GetTemplateDataCRC32(c.get(), FALSE))
        << offset;
  }
}

TEST(WuFioTemplateId, StampsSetVersionAndVariant) {
  // Every GUID has version 3 and variant bits 10, whatever the digest.
  for (int seed = 0; seed < 64; ++seed) {
    Record r(WuFio_NewTemplate(nullptr, nullptr, 0));
    r->audio.streamCount = static_cast<DWORD>(seed);
    GUID g{};
    ASSERT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&g, r.get(), FALSE), S_OK);
    EXPECT_EQ(g.Data3 >> 12, 3);
    EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
  }
  const GUID ones = G(0xFFFFFFFF, 0xFFFF, 0xFFFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF);
  GUID out{};
  EXPECT_EQ(WuGuid_StampVersion5(&out, &ones), &out);
  EXPECT_TRUE(IsEqualGUID(out, G(0xFFFFFFFF, 0xFFFF, 0x5FFF, 0xBF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF)));
  const GUID zeros{};
  WuGuid_StampVersion3(&out, &zeros);
  EXPECT_TRUE(IsEqualGUID(out, G(0, 0, 0x3000, 0x80, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(WuFioTemplateId, UpliftedV1Recognition) {
  Record r(WuFio_NewTemplate(nullptr, nullptr, 0));
  r->version = WUTEMPLATE_VERSION_V2;
  r->guid = WuFio_MakeUpliftedV1TemplateGuid(r.get());
  EXPECT_TRUE(WuFio_IsUpliftedV1Template(r.get()));
  r->version = 0x02000001;  // low 24 bits set
  EXPECT_FALSE(WuFio_IsUpliftedV1Template(r.get()));
  r->version = WUTEMPLATE_VERSION_V2;
  r->guid.Data4[7] = 1;
  EXPECT_FALSE(WuFio_IsUpliftedV1Template(r.get()));
  EXPECT_FALSE(WuFio_IsUpliftedV1Template(nullptr));
  EXPECT_TRUE(WuFio_IsUpliftedV1TemplateGuid(G(1, 2, 0x1010, 0x80, 0, 0, 0x11, 0, 0, 0, 0)));
}

TEST(WuFioTemplateId, BadLayoutIsRefused) {
  Record r(WuFio_NewTemplate(u"name", u"notes", 4));
  DWORD crcSettingsOnly = WuFio_GetTemplateDataCRC32(r.get(), FALSE);
  r->textLength = 1000;  // runs past the total size
  GUID g = G(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);
  EXPECT_EQ(WuFio_InitGUIDFromTemplateMD5DataHash(&g, r.get(), TRUE), WU_E_BAD_DATA);
  EXPECT_EQ(g.Data1, 1u);  // untouched
  tagWUTEMPLATExV2* copy = reinterpret_cast<tagWUTEMPLATExV2*>(1);
  EXPECT_EQ(WuFio_CopyTemplate(&copy, r.get()), WU_E_BAD_DATA);
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(WuFio_DuplicateTemplate(r.get()), nullptr);
  // Read as having no private data and no texts.
  Record plain(WuFio_NewTemplate(nullptr, nullptr, 0));
  EXPECT_EQ(WuFio_GetTemplateDataCRC32(r.get(), TRUE), WuFio_GetTemplateDataCRC32(plain.get(), TRUE));
  EXPECT_NE(WuFio_GetTemplateDataCRC32(r.get(), TRUE), crcSettingsOnly);
}

TEST(WuFioTemplateOps, SetTemplate) {
  // COPY into a larger record keeps its block; its stated size becomes the new one's.
  tagWUTEMPLATExV2* slot = WuFio_NewTemplate(u"a much longer name", u"and notes", 0);
  tagWUTEMPLATExV2* block = slot;
  Record small(WuFio_NewTemplate(u"s", nullptr, 0));
  EXPECT_EQ(WuFio_SetTemplate(&slot, small.get(), WUFIO_SETTEMPLATE_COPY), S_OK);
  EXPECT_EQ(slot, block);
  EXPECT_EQ(slot->totalSize, small->totalSize);
  EXPECT_EQ(std::u16string(slot->GetName()), u"s");
  // Comparison: equal copies, different records, the same pointer, null/null.
  EXPECT_EQ(WuFio_SetTemplate(&slot, small.get(), WUFIO_SETTEMPLATE_COPY | WUFIO_SETTEMPLATE_COMPARE),
            TRUE);
  Record other(WuFio_NewTemplate(u"t", nullptr, 0));
  EXPECT_EQ(WuFio_SetTemplate(&slot, other.get(), WUFIO_SETTEMPLATE_COPY | WUFIO_SETTEMPLATE_COMPARE),
            FALSE);
  EXPECT_EQ(WuFio_SetTemplate(&slot, slot, WUFIO_SETTEMPLATE_COMPARE), TRUE);
  EXPECT_EQ(slot, block);
  // COPY into a smaller record: a new block.
  Record big(WuFio_NewTemplate(u"bigger than the slot", u"by far", 8));
  EXPECT_EQ(WuFio_SetTemplate(&slot, big.get(), WUFIO_SETTEMPLATE_COPY), S_OK);
  EXPECT_NE(slot, big.get());
  EXPECT_EQ(std::memcmp(slot, big.get(), big->totalSize), 0);
  // Without COPY the slot takes the caller's record and frees the old one.
  tagWUTEMPLATExV2* handed = WuFio_NewTemplate(u"h", nullptr, 0);
  EXPECT_EQ(WuFio_SetTemplate(&slot, handed, 0), S_OK);
  EXPECT_EQ(slot, handed);
  EXPECT_EQ(WuFio_SetTemplate(&slot, nullptr, WUFIO_SETTEMPLATE_COMPARE), FALSE);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(WuFio_SetTemplate(&slot, nullptr, WUFIO_SETTEMPLATE_COMPARE), TRUE);
  // A bad record is not copied and the slot is kept.
  slot = WuFio_NewTemplate(u"keep", nullptr, 0);
  other->privateSize = -1;
  EXPECT_EQ(WuFio_SetTemplate(&slot, other.get(), WUFIO_SETTEMPLATE_COPY), WU_E_BAD_DATA);
  EXPECT_EQ(std::u16string(slot->GetName()), u"keep");
  WuFio_ReleaseTemplate(slot);
}

TEST(WuFioTemplateOps, DataSpanAndCopy) {
  Record r(WuFio_NewTemplate(u"x", u"y", 5));
  DWORD length = 0;
  const BYTE* span = WuFio_GetTemplateDataSpan(static_cast<const tagWUTEMPLATExV2*>(r.get()), &length);
  EXPECT_EQ(span, reinterpret_cast<const BYTE*>(&r->audio));
  EXPECT_EQ(length, 472u);
  tagWUTEMPLATExV2* copy = nullptr;
  ASSERT_EQ(WuFio_CopyTemplate(&copy, r.get()), S_OK);
  EXPECT_EQ(std::memcmp(copy, r.get(), r->totalSize), 0);
  WuFio_ReleaseTemplate(copy);
  EXPECT_EQ(WuFio_DuplicateTemplate(nullptr), nullptr);
}

TEST(WuFioTemplateOps, SkipDescription) {
  struct Case {
    const char16_t* notes;
    const char16_t* rest;
  } cases[] = {
      {u"  Audio: 44,100 Hz\r\nVideo: 640x480\r\n\r\nMine", u"Mine"},
      {u"Pixel Aspect Ratio: 1.0\nAudio: x\n  kept\nVideo: later", u"kept\nVideo: later"},
      {u"Audio:", u""},
      {u"Audio x\nVideo: y", u"Audio x\nVideo: y"},  // 6 characters must match
      {u"Pixel Aspect: 2", u"Pixel Aspect: 2"},
      {u"", u""},
      {u"\t\v\f Audio: x\r\n\v\fMine", u"Mine"},  // blanks other than spaces
  };
  for (const Case& c : cases)
    EXPECT_EQ(std::u16string(WuFio_SkipDescriptionInTemplateNotesText(c.notes)), c.rest);
  EXPECT_EQ(std::u16string(WuFio_SkipDescriptionInTemplateNotesText(nullptr)), u"");
}

}  // namespace
