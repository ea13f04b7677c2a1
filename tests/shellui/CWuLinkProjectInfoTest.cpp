// The project-link record: validation, embedded project data, the
// allocate/adopt bit rules, stream writers, bounded getters and copies.
#include "shellui/CWuLinkProjectInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/WuString.h"
#include "platform/kernel/memory.h"

namespace {

constexpr HRESULT kInvalid = static_cast<HRESULT>(0x8004E05D);
constexpr HRESULT kRead = static_cast<HRESULT>(0x8004E008);
constexpr HRESULT kAbsent = static_cast<HRESULT>(0x8004E00A);
constexpr HRESULT kDuplicate = static_cast<HRESULT>(0x8004E0A9);

// A record with the two required texts.
void FillLink(CWuLinkProjectInfo& r) {
  ASSERT_EQ(S_OK, r.SetProjectPath(u"C:\\p\\song.prj"));
  ASSERT_EQ(S_OK, r.SetCommandLine(u"-open %s"));
}

// The bytes of a memory stream.
std::string StreamBytes(IStream* s) {
  HGLOBAL block = nullptr;
  EXPECT_EQ(S_OK, GetHGlobalFromStream(s, &block));
  STATSTG st{};
  s->Stat(&st, 1);
  auto* p = static_cast<const char*>(GlobalLock(block));
  std::string out(p, static_cast<size_t>(st.cbSize.QuadPart));
  GlobalUnlock(block);
  return out;
}

DWORD Le32(const void* p) {
  const auto* b = static_cast<const BYTE*>(p);
  return b[0] | b[1] << 8 | b[2] << 16 | static_cast<DWORD>(b[3]) << 24;
}

// Puts `n` bytes of `bytes` (none for null) in place of a field's block
// through its pointer and size accessors, keeping the presence bit: how a
// loader or a host fills a field directly.
template <class T>
void ReplaceBlock(T* field, DWORD* size, const void* bytes, DWORD n) {
  WuGlobalDelete(*field);
  *field = nullptr;
  if (bytes) {
    void* block = WuGlobalNew(n);
    std::memcpy(block, bytes, n);
    *field = static_cast<T>(block);
  }
  *size = n;
}

TEST(LinkRecordValidation, Table) {
  struct Case {
    const char* name;
    void (*build)(CWuLinkProjectInfo&);
    HRESULT link;  // ValidateProjectLink
    HRESULT all;   // Validate
  };
  const Case cases[] = {
      {"path and command line", [](CWuLinkProjectInfo& r) { FillLink(r); }, S_OK, S_OK},
      {"command line cleared",
       [](CWuLinkProjectInfo& r) {
         FillLink(r);
         r.AllocCommandLine(0);  // frees the text and clears its bit
       },
       kInvalid, kInvalid},
      {"command line bit without a buffer",
       [](CWuLinkProjectInfo& r) {
         FillLink(r);
         ReplaceBlock(r.GetCommandLinePtr(), r.GetCommandLineSizePtr(), nullptr, 4);
       },
       kInvalid, kInvalid},
      {"only embedded data",
       [](CWuLinkProjectInfo& r) {
         const char d[] = "abc";
         ASSERT_EQ(S_OK, r.SetProjectData(RiffId("aaaa"), d, 3));
       },
       kInvalid, S_OK},
      {"template name bit with a null pointer",
       [](CWuLinkProjectInfo& r) {
         FillLink(r);
         r.SetTemplateName(u"t");
         ReplaceBlock(r.GetTemplateNamePtr(), r.GetTemplateNameSizePtr(), nullptr, 4);
       },
       kInvalid, kInvalid},
      {"template data with zero size",
       [](CWuLinkProjectInfo& r) {
         FillLink(r);
         const char d[] = "x";
         r.SetTemplateData(d, 1);
         *r.GetTemplateDataSizePtr() = 0;
       },
       kInvalid, kInvalid},
      {"empty record", [](CWuLinkProjectInfo&) {}, kInvalid, kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWuLinkProjectInfo r;
    c.build(r);
    EXPECT_EQ(c.link, r.ValidateProjectLink());
    EXPECT_EQ(c.all, r.Validate());
  }
}

TEST(LinkRecordProjectData, OddSizeIsPaddedAndListGrows) {
  CWuLinkProjectInfo r;
  const BYTE five[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(S_OK, r.SetProjectData(RiffId("abcd"), five, 5));
  EXPECT_EQ(WULPI_PROJECT_DATA, r.GetFlags() & WULPI_PROJECT_DATA);
  const BYTE* p = static_cast<const BYTE*>(r.GetProjectData());
  ASSERT_EQ(12u + 8u + 6u, r.GetProjectDataSize());
  EXPECT_EQ(0, std::memcmp(p, "LIST", 4));
  EXPECT_EQ(4u + 14u, Le32(p + 4));
  EXPECT_EQ(0, std::memcmp(p + 8, "spelabcd", 8));
  EXPECT_EQ(5u, Le32(p + 16));
  EXPECT_EQ(0, p[25]);  // the pad byte

  const BYTE two[2] = {9, 9};
  ASSERT_EQ(S_OK, r.SetProjectData(RiffId("efgh"), two, 2));
  EXPECT_EQ(4u + 14u + 10u, Le32(static_cast<const BYTE*>(r.GetProjectData()) + 4));

  // A duplicate id is refused and the first kept.
  const BYTE other[3] = {7, 7, 7};
  EXPECT_EQ(kDuplicate, r.SetProjectData(RiffId("abcd"), other, 3));
  BYTE out[8] = {};
  DWORD size = sizeof out;
  ASSERT_EQ(S_OK, r.GetProjectData(RiffId("abcd"), out, &size));
  EXPECT_EQ(5u, size);
  EXPECT_EQ(0, std::memcmp(out, five, 5));
}

TEST(LinkRecordProjectData, GetReportsSizeAndRefusesShortBuffer) {
  CWuLinkProjectInfo r;
  const char data[] = "0123456";
  DWORD size = 99;
  EXPECT_EQ(kAbsent, r.GetProjectData(RiffId("abcd"), nullptr, &size));
  EXPECT_EQ(0u, size);
  EXPECT_EQ(E_INVALIDARG, r.GetProjectData(RiffId("abcd"), nullptr, nullptr));
  ASSERT_EQ(S_OK, r.SetProjectData(RiffId("abcd"), data, 7));
  size = 0;
  ASSERT_EQ(S_OK, r.GetProjectData(RiffId("abcd"), nullptr, &size));
  EXPECT_EQ(7u, size);
  char out[7] = {};
  size = 6;
  EXPECT_EQ(E_OUTOFMEMORY, r.GetProjectData(RiffId("abcd"), out, &size));
  EXPECT_EQ(kAbsent, r.GetProjectData(RiffId("zzzz"), nullptr, &size));
}

std::vector<BYTE> List(const char* type, DWORD list_size, const std::string& body) {
  std::vector<BYTE> v = {'L', 'I', 'S', 'T'};
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(list_size >> (8 * i)));
  v.insert(v.end(), type, type + 4);
  v.insert(v.end(), body.begin(), body.end());
  return v;
}

TEST(LinkRecordProjectData, DamagedOrForeignListsAreRefusedUntouched) {
  const std::string chunk("abcd\x02\0\0\0xy", 10);
  struct Case {
    const char* name;
    std::vector<BYTE> list;
    HRESULT set, get;
  };
  const Case cases[] = {
      {"list size larger than the block", List("spel", 4 + 10 + 100, chunk), kRead, kRead},
      {"list size smaller than the block", List("spel", 4, chunk), kRead, kRead},
      {"sub-chunk runs past the list", List("spel", 4 + 10, std::string("abcd\x40\0\0\0xy", 10)),
       kRead, kRead},
      {"stray bytes after the last sub-chunk", List("spel", 4 + 10 + 3, chunk + "zzz"), kRead,
       kRead},
      {"foreign list type", List("xxxx", 4 + 10, chunk), kAbsent, E_UNEXPECTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWuLinkProjectInfo r;
    const char x = 'x';
    ASSERT_EQ(S_OK, r.SetProjectData(RiffId("qqqq"), &x, 1));  // sets the bit
    ReplaceBlock(r.GetProjectDataPtr(), r.GetProjectDataSizePtr(), c.list.data(),
                 static_cast<DWORD>(c.list.size()));
    void* block = r.GetProjectData();
    DWORD size = 0;
    EXPECT_EQ(c.get, r.GetProjectData(RiffId("abcd"), nullptr, &size));
    const char add[] = "new";
    EXPECT_EQ(c.set, r.SetProjectData(RiffId("efgh"), add, 3));
    ASSERT_EQ(block, r.GetProjectData());
    ASSERT_EQ(c.list.size(), r.GetProjectDataSize());
    EXPECT_EQ(0, std::memcmp(block, c.list.data(), c.list.size()));
    EXPECT_EQ(WULPI_PROJECT_DATA, r.GetFlags());
  }
}

TEST(LinkRecordProjectData, GrowthThatCannotBeMadeLeavesTheList) {
  CWuLinkProjectInfo r;
  const char small[4] = "abc";
  // The data is never read: the size check comes first.
  EXPECT_EQ(E_UNEXPECTED, r.SetProjectData(RiffId("abcd"), small, 0xFFFFFFF0u));
  EXPECT_EQ(nullptr, r.GetProjectData());
  ASSERT_EQ(S_OK, r.SetProjectData(RiffId("abcd"), small, 3));
  void* before = r.GetProjectData();
  EXPECT_EQ(E_UNEXPECTED, r.SetProjectData(RiffId("efgh"), small, 0xFFFFFFE0u));
  EXPECT_EQ(before, r.GetProjectData());
  EXPECT_EQ(12u + 8u + 4u, r.GetProjectDataSize());
  // Memory for the grown list runs out: the list stays as it was.
  platform::FailNextAllocations(1);
  EXPECT_EQ(E_OUTOFMEMORY, r.SetProjectData(RiffId("efgh"), small, 3));
  EXPECT_EQ(before, r.GetProjectData());
  EXPECT_EQ(WULPI_PROJECT_DATA, r.GetFlags());
  char back[4] = {};
  DWORD size = sizeof back;
  EXPECT_EQ(S_OK, r.GetProjectData(RiffId("abcd"), back, &size));
  EXPECT_STREQ("abc", back);
  EXPECT_EQ(E_INVALIDARG, r.SetProjectData(RiffId("efgh"), small, 0));
  EXPECT_EQ(E_INVALIDARG, r.SetProjectData(RiffId("efgh"), nullptr, 3));
}

TEST(LinkRecordBits, AllocAdoptAndFreeClearTheBit) {
  CWuLinkProjectInfo r;
  ASSERT_EQ(S_OK, r.SetTemplateName(u"name"));
  EXPECT_EQ(WULPI_TEMPLATE_NAME, r.GetFlags());
  void* block = WuGlobalNew(6);
  r.SetTemplateNameToBuffer(static_cast<LPWSTR>(block), 6);
  EXPECT_EQ(0u, r.GetFlags());
  EXPECT_EQ(block, r.GetTemplateName());
  EXPECT_EQ(6u, r.GetTemplateNameSize());

  const BYTE d[3] = {1, 2, 3};
  ASSERT_EQ(S_OK, r.SetAppTemplateData(d, 3));
  EXPECT_EQ(WULPI_APP_TEMPLATE_DATA, r.GetFlags());
  void* fresh = r.AllocAppTemplateData(10);
  ASSERT_NE(nullptr, fresh);
  EXPECT_EQ(0u, r.GetFlags());
  EXPECT_EQ(10u, r.GetAppTemplateDataSize());
  EXPECT_EQ(0, static_cast<BYTE*>(fresh)[9]);

  // A failed allocation leaves the field empty.
  platform::FailNextAllocations(1);
  EXPECT_EQ(nullptr, r.AllocAppTemplateData(10));
  EXPECT_EQ(nullptr, r.GetAppTemplateData());
  EXPECT_EQ(0u, r.GetAppTemplateDataSize());
  platform::FailNextAllocations(1);
  EXPECT_EQ(E_OUTOFMEMORY, r.SetProjectPath(u"p"));
  EXPECT_EQ(0u, r.GetFlags());

  // FreeMemory keeps the renderer GUID, its bit and the version.
  r.SetRendererGuid(GUID{1, 2, 3, {4}});
  r.SetVersion(7);
  ASSERT_EQ(S_OK, r.SetCreatorAppInfo(u"app"));
  r.FreeMemory();
  EXPECT_EQ(WULPI_RENDERER_GUID, r.GetFlags());
  EXPECT_EQ(1u, r.GetRendererGuid()->Data1);
  EXPECT_EQ(7u, r.GetVersion());
  EXPECT_EQ(nullptr, r.GetCreatorAppInfo());

  EXPECT_EQ(E_INVALIDARG, r.SetCommandLine(nullptr));
  EXPECT_EQ(E_INVALIDARG, r.SetTemplateData(nullptr, 3));
  EXPECT_EQ(E_INVALIDARG, r.SetTemplateData(d, 0));
}

TEST(LinkRecordStreams, PresentFieldsWrittenAbsentAnswerOne) {
  CWuLinkProjectInfo r;
  IStream* s = nullptr;
  ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &s));
  // Absent fields, and a set bit without a buffer, write nothing.
  EXPECT_EQ(S_FALSE, r.WriteProjectPathToStream(s));
  EXPECT_EQ(S_FALSE, r.WriteRendererGuidToStream(s));
  EXPECT_EQ(S_FALSE, r.WriteProjectDataToStream(s));
  const BYTE d[2] = {5, 6};
  ASSERT_EQ(S_OK, r.SetTemplateData(d, 2));
  ReplaceBlock(r.GetTemplateDataPtr(), r.GetTemplateDataSizePtr(), nullptr, 2);
  EXPECT_EQ(S_FALSE, r.WriteTemplateDataToStream(s));
  EXPECT_EQ(std::string(), StreamBytes(s));

  ASSERT_EQ(S_OK, r.SetCommandLine(u"ab"));
  r.SetRendererGuid(GUID{0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}});
  r.SetVersion(0x01000100);
  EXPECT_EQ(S_OK, r.WriteCommandLineToStream(s));
  EXPECT_EQ(S_OK, r.WriteRendererGuidToStream(s));
  EXPECT_EQ(S_OK, r.WriteVersionToStream(s));
  EXPECT_EQ(std::string("a\0b\0\0\0", 6) +
                std::string("\x04\x03\x02\x01\x06\x05\x08\x07\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10", 16) +
                std::string("\x00\x01\x00\x01", 4),
            StreamBytes(s));
  s->Release();
}

TEST(LinkRecordText, BoundedGettersStopAtCapacityAndFieldSize) {
  CWuLinkProjectInfo r;
  WCHAR buf[8];
  buf[0] = u'?';
  EXPECT_EQ(0, r.GetProjectPath(buf, 8));
  EXPECT_EQ(u'\0', buf[0]);
  ASSERT_EQ(S_OK, r.SetProjectPath(u"C:\\folder\\p.prj"));
  EXPECT_EQ(4, r.GetProjectPath(buf, 5));
  EXPECT_EQ(std::u16string(u"C:\\f"), std::u16string(buf));
  // A field without its NUL unit: the getter stops at the field's size.
  CWuLinkProjectInfo with;
  ASSERT_EQ(S_OK, with.SetCreatorAppInfo(u"q"));
  ReplaceBlock(with.GetCreatorAppInfoPtr(), with.GetCreatorAppInfoSizePtr(), u"mnop", 4);
  EXPECT_EQ(2, with.GetCreatorAppInfo(buf, 8));
  EXPECT_EQ(std::u16string(u"mn"), std::u16string(buf));
}

TEST(LinkRecordCopy, DeepCopiesDestroyedInEitherOrder) {
  for (int order = 0; order < 2; ++order) {
    auto* a = new CWuLinkProjectInfo;
    FillLink(*a);
    const char d[] = "data";
    ASSERT_EQ(S_OK, a->SetProjectData(RiffId("abcd"), d, 4));
    a->SetVersion(3);
    auto* b = new CWuLinkProjectInfo;
    ASSERT_EQ(S_OK, b->SetTemplateName(u"old"));
    *b = *a;
    EXPECT_NE(a->GetProjectPath(), b->GetProjectPath());
    EXPECT_EQ(a->GetFlags(), b->GetFlags());
    EXPECT_EQ(3u, b->GetVersion());
    EXPECT_EQ(S_OK, b->Validate());
    WCHAR buf[32];
    b->GetCommandLineW(buf, 32);
    EXPECT_EQ(std::u16string(u"-open %s"), std::u16string(buf));
    CWuLinkProjectInfo c(*b);
    EXPECT_EQ(S_OK, c.ValidateProjectLink());
    if (order == 0) {
      delete a;
      delete b;
    } else {
      delete b;
      delete a;
    }
  }
  // A field whose copy cannot be allocated stays empty, its bit clear.
  CWuLinkProjectInfo a;
  FillLink(a);
  CWuLinkProjectInfo b;
  platform::FailAllocationsAfter(1, 1);  // the path copies, the command line fails
  b = a;
  platform::FailNextAllocations(0);
  EXPECT_NE(nullptr, b.GetProjectPath());
  EXPECT_EQ(nullptr, b.GetCommandLineW());
  EXPECT_EQ(WULPI_PROJECT_PATH, b.GetFlags());
}

}  // namespace
