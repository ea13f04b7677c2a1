// The exports beside the factories: a renderer class's library path,
// monikers, and handle copies between processes.
#include <string>

#include "fileio/WuFioExports.h"
#include "platform/kernel/files.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/process.h"
#include "tests/fileio/FioManagerFixture.h"

namespace fio_test {
namespace {

using ExportsTest = FioManagerTest;

TEST_F(ExportsTest, PluginPathOfARendererClass) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  ASSERT_NE(app, nullptr);
  IWuRenderFileClass* cls = nullptr;
  ASSERT_EQ(app->GetRendererClassById(&cls, kBasicTsxRenderer), S_OK);
  WCHAR path[260] = {};
  EXPECT_EQ(WuFio_GetPluginPath(cls, path, 260), S_OK);
  EXPECT_EQ(WuFio_ComparePaths(path, U16(PluginPath("fio_test_basic")).c_str()), 0) << U8(path);
  // Cut to the buffer, terminated.
  WCHAR small[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(WuFio_GetPluginPath(cls, small, 5), S_OK);
  EXPECT_EQ(std::u16string(small), std::u16string(path, 4));
  EXPECT_EQ(WuFio_GetPluginPath(nullptr, path, 260), E_INVALIDARG);
  cls->Release();
  EXPECT_EQ(app->Release(), 0u);
}

// A class no live manager's records offer as a renderer.
TEST_F(ExportsTest, PluginPathOfAnUnknownClassIsAbsent) {
  WriteConfig("a.Fio2007-Config", {{"basic", PluginPath("fio_test_basic")}});
  IWuFileIOMgrForApp* app = Create(0);
  ASSERT_NE(app, nullptr);
  IWuReadFileClass* reader = nullptr;
  ASSERT_EQ(app->GetReaderClassById(&reader, kBasicTsxReader), S_OK);
  IWuRenderFileClass* renderer = nullptr;
  ASSERT_EQ(app->GetRendererClassById(&renderer, kBasicTsxRenderer), S_OK);
  WCHAR path[260] = {};
  // A class whose id no record offers as a renderer: a reader's id.
  struct Imposter final : IWuRenderFileClass {
    IWuRenderFileClass* inner;
    explicit Imposter(IWuRenderFileClass* in) : inner(in) {}
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT SetIndex(LONG) override { return E_NOTIMPL; }
    HRESULT GetKey(LONG*) override { return E_NOTIMPL; }
    HRESULT Initialize(IWuFileIOManager*) override { return E_NOTIMPL; }
    HRESULT GetManager(IWuFileIOManager**) override { return E_NOTIMPL; }
    HRESULT GetClassId(GUID* id) override {
      *id = kBasicTsxReader;
      return S_OK;
    }
    HRESULT GetPartMask(DWORD*) override { return E_NOTIMPL; }
    HRESULT GetFlags(DWORD*, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetReaderClass(IWuReadFileClass**) override { return E_NOTIMPL; }
    HRESULT GetStrings(const DWORD*, LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT CheckTemplate(const tagWUTEMPLATExV2*) override { return E_NOTIMPL; }
    HRESULT CreateRenderFile(IWuRenderFile**, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE,
                             DWORD) override { return E_NOTIMPL; }
    HRESULT GetPresetCount(LONG*) override { return E_NOTIMPL; }
    HRESULT GetPreset(tagWUTEMPLATExV2**, LONG) override { return E_NOTIMPL; }
    HRESULT GetProperty(DWORD, LONGLONG*) override { return E_NOTIMPL; }
    HRESULT SetProperty(DWORD, LONGLONG) override { return E_NOTIMPL; }
    HRESULT ConvertTemplate(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*, LONG) override {
      return E_NOTIMPL;
    }
    HRESULT TemplateOperation(tagWUTEMPLATExV2**, const tagWUTEMPLATExV2*,
                              const tagWUTEMPLATExV2*, LONG) override { return E_NOTIMPL; }
    HRESULT GetTemplateInfo(const tagWUTEMPLATExV2*, void*, DWORD, DWORD) override {
      return E_NOTIMPL;
    }
    HRESULT GetPageCount(LONG*, LONG*, DWORD*) override { return E_NOTIMPL; }
    HRESULT GetPage(LONG, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT PreparePages(HWND) override { return E_NOTIMPL; }
    HRESULT GetSettings(void*, DWORD, DWORD*) override { return E_NOTIMPL; }
    HRESULT SetSettings(const void*, DWORD) override { return E_NOTIMPL; }
    HRESULT GetState(HRESULT*, BSTR*) override { return E_NOTIMPL; }
  } imposter(renderer);
  EXPECT_EQ(WuFio_GetPluginPath(&imposter, path, 260), WUFIO_E_ABSENT);
  reader->Release();
  renderer->Release();
  EXPECT_EQ(app->Release(), 0u);
  // The manager is gone, its records with it.
  EXPECT_EQ(WuFio_GetPluginPath(&imposter, path, 260), WUFIO_E_ABSENT);
}

TEST(MonikerTest, Build) {
  struct Case {
    DWORD size;
    const char16_t* name;
    const char16_t* part1;
    const char16_t* part2;
    HRESULT hr;
    const char16_t* text;
  } cases[] = {
      {64, u"a.tst", u"x=1", u"y=2", S_OK, u"a.tst?x=1&y=2"},
      {64, u"a.tst", u"x=1", nullptr, S_OK, u"a.tst?x=1"},
      {64, u"a.tst", nullptr, u"y=2", S_OK, u"a.tst"},  // part2 only after part1
      {64, nullptr, u"x", nullptr, S_OK, u"?x"},
      {14, u"a.tst", u"x=1", u"y=2", S_OK, u"a.tst?x=1&y=2"},  // exactly fits
      {13, u"a.tst", u"x=1", u"y=2", WUFIO_E_BUFFER_TOO_SMALL, u"a.tst?x=1&y="},
      {4, u"a.tst", u"x=1", nullptr, WUFIO_E_BUFFER_TOO_SMALL, u"a.t"},
      {1, u"a", nullptr, nullptr, WUFIO_E_BUFFER_TOO_SMALL, u""},
  };
  for (const Case& c : cases) {
    WCHAR out[64];
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(WuFio_BuildMoniker(out, c.size, c.name, c.part1, c.part2), c.hr) << U8(c.text);
    EXPECT_EQ(std::u16string(out), c.text);
    EXPECT_EQ(out[c.size - 1 < 63 ? c.size : 63], u'#') << "wrote past the buffer";
  }
  WCHAR out[4];
  EXPECT_EQ(WuFio_BuildMoniker(nullptr, 4, u"a", nullptr, nullptr), E_POINTER);
  EXPECT_EQ(WuFio_BuildMoniker(out, 0, u"a", nullptr, nullptr), E_INVALIDARG);
  EXPECT_EQ(WuFio_BuildMoniker(out, 0x80000000u, u"a", nullptr, nullptr), E_INVALIDARG);
}

TEST(MonikerTest, Parse) {
  struct Case {
    const char16_t* moniker;
    DWORD nameSize, restSize;
    HRESULT hr;
    const char16_t* name;
    const char16_t* rest;
  } cases[] = {
      {u"a.tst?x=1&y=2", 64, 64, S_OK, u"a.tst", u"x=1&y=2"},
      {u"a.tst", 64, 64, S_FALSE, u"a.tst", u""},
      {u"a.tst?", 64, 64, S_OK, u"a.tst", u""},
      {u"a?b?c", 64, 64, S_OK, u"a", u"b?c"},  // the first "?" splits
      {u"a.tst?x=1", 4, 64, WUFIO_E_BUFFER_TOO_SMALL, u"a.t", u"x=1"},
      {u"a.tst?x=1", 64, 3, WUFIO_E_BUFFER_TOO_SMALL, u"a.tst", u"x="},
      {u"abcdef", 3, 8, WUFIO_E_BUFFER_TOO_SMALL, u"ab", u""},
  };
  for (const Case& c : cases) {
    WCHAR name[64], rest[64];
    std::fill(std::begin(rest), std::end(rest), u'#');
    EXPECT_EQ(WuFio_ParseMoniker(c.moniker, name, c.nameSize, rest, c.restSize), c.hr)
        << U8(c.moniker);
    EXPECT_EQ(std::u16string(name), c.name);
    EXPECT_EQ(std::u16string(rest), c.rest);
  }
  WCHAR name[8], rest[8];
  EXPECT_EQ(WuFio_ParseMoniker(nullptr, name, 8, rest, 8), E_INVALIDARG);
  EXPECT_EQ(WuFio_ParseMoniker(u"a?b", nullptr, 8, rest, 8), E_INVALIDARG);
  EXPECT_EQ(WuFio_ParseMoniker(u"a?b", name, 8, nullptr, 8), E_INVALIDARG);
}

TEST(DuplicateHandleTest, CopiesWithinThisProcessOnly) {
  std::string dir = wutest::MakeTempDir("dup");
  std::string path = dir + "/f.bin";
  wutest::WriteBytes(path, "0123456789");
  HANDLE file = CreateFileW(U16(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE copy = nullptr;
  ASSERT_EQ(DuplicateHandleToProcessId(file, GetCurrentProcessId(), &copy), S_OK);
  ASSERT_NE(copy, nullptr);
  char bytes[4] = {};
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(copy, bytes, 4, &got, nullptr));
  EXPECT_EQ(std::string(bytes, got), "0123");
  EXPECT_TRUE(CloseHandle(copy));

  // The handle value as another process would name it.
  DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(file));
  ASSERT_EQ(DuplicateHandleFromProcessId(value, GetCurrentProcessId(), &copy), S_OK);
  EXPECT_TRUE(CloseHandle(copy));

  // Another process (the parent) is refused; no such process too.
  copy = file;
  EXPECT_EQ(DuplicateHandleToProcessId(file, 1, &copy), E_ACCESSDENIED);
  EXPECT_EQ(copy, nullptr);
  EXPECT_TRUE(FAILED(DuplicateHandleFromProcessId(value, 0x7FFFFFF0, &copy)));
  HANDLE closed = nullptr;
  ASSERT_EQ(DuplicateHandleToProcessId(file, GetCurrentProcessId(), &closed), S_OK);
  EXPECT_TRUE(CloseHandle(closed));
  EXPECT_TRUE(FAILED(DuplicateHandleToProcessId(closed, GetCurrentProcessId(), &copy)));
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(DuplicateHandleToProcessId(file, GetCurrentProcessId(), nullptr), E_POINTER);
  EXPECT_TRUE(CloseHandle(file));
}

}  // namespace
}  // namespace fio_test
