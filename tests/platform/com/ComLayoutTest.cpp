// The binary layout of the platform's interfaces: operation n is vtable
// entry n, so code that calls through the raw table (as another component
// built against the same convention does) reaches the right operation.
#include <gtest/gtest.h>

#include <string>

#include "platform/com/classfactory.h"
#include "platform/com/com.h"
#include "platform/com/globaltable.h"
#include "platform/com/persist.h"
#include "platform/com/propertypagesite.h"
#include "platform/shell/shelllink.h"
#include "platform/shell/shlobj.h"

namespace {

// The entries of an interface pointer's vtable.
void* const* Vtable(void* object) { return *static_cast<void* const* const*>(object); }

// Calls entry `slot` as a function taking the object first (the platform's
// calling convention for interface operations).
template <typename R, typename... Args>
R CallSlot(void* object, size_t slot, Args... args) {
  auto fn = reinterpret_cast<R (*)(void*, Args...)>(Vtable(object)[slot]);
  return fn(object, args...);
}

HRESULT RawQueryInterface(void* object, REFIID iid, void** out) {
  return CallSlot<HRESULT, const IID*, void**>(object, 0, &iid, out);
}
ULONG RawAddRef(void* object) { return CallSlot<ULONG>(object, 1); }
ULONG RawRelease(void* object) { return CallSlot<ULONG>(object, 2); }

struct LayoutCase {
  const char* name;       // the object
  IID iid;                // the interface the pointer stands for
  void* (*make)();        // a new reference (count 1, except the shared allocator)
};

void* MakeStream() {
  IStream* stream = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
  return stream;
}
void* MakeShellLink() {
  void* link = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             &link),
            S_OK);
  return link;
}
void* MakeShellLinkFile() {
  void* file = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistFile,
                             &file),
            S_OK);
  return file;
}
void* MakeGlobalTable() {
  void* table = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, &table),
            S_OK);
  return table;
}
void* MakeAllocator() {
  IMalloc* allocator = nullptr;
  EXPECT_EQ(SHGetMalloc(&allocator), S_OK);
  return allocator;
}

TEST(ComLayoutTest, UnknownOperationsAreTheFirstThreeEntries) {
  const LayoutCase cases[] = {
      {"memory stream", IID_IStream, &MakeStream},
      {"shell link", IID_IShellLinkW, &MakeShellLink},
      {"shell link's file persistence", IID_IPersistFile, &MakeShellLinkFile},
      {"shell allocator", IID_IMalloc, &MakeAllocator},
      {"global interface table", IID_IGlobalInterfaceTable, &MakeGlobalTable},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    void* object = c.make();
    ASSERT_NE(object, nullptr);
    // Entry 0: QueryInterface answers the interface and IUnknown, refuses others.
    void* same = nullptr;
    ASSERT_EQ(RawQueryInterface(object, c.iid, &same), S_OK);
    EXPECT_EQ(same, object);
    void* unknown = nullptr;
    ASSERT_EQ(RawQueryInterface(object, IID_IUnknown, &unknown), S_OK);
    EXPECT_NE(unknown, nullptr);
    void* none = &none;
    const IID kNoSuch = {0x5A5A5A5A, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(RawQueryInterface(object, kNoSuch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    // Entries 1 and 2: AddRef and Release move the count by one each way.
    ULONG up = RawAddRef(object);
    EXPECT_EQ(RawRelease(object), up - 1);
    // Give back the references QueryInterface added, then our own.
    RawRelease(unknown);
    RawRelease(same);
    RawRelease(object);
  }
}

TEST(ComLayoutTest, DerivedOperationsFollowTheBaseEntries) {
  IStream* stream = static_cast<IStream*>(MakeStream());
  ASSERT_NE(stream, nullptr);
  // ISequentialStream: Write is entry 4, Read entry 3; IStream: Seek is entry 5.
  const char text[] = "slot";
  ULONG written = 0;
  ASSERT_EQ((CallSlot<HRESULT, const void*, ULONG, ULONG*>(stream, 4, text, 4u, &written)), S_OK);
  EXPECT_EQ(written, 4u);
  LARGE_INTEGER start;
  start.QuadPart = 0;
  ULARGE_INTEGER at;
  ASSERT_EQ((CallSlot<HRESULT, LARGE_INTEGER, DWORD, ULARGE_INTEGER*>(stream, 5, start,
                                                                       STREAM_SEEK_SET, &at)),
            S_OK);
  EXPECT_EQ(at.QuadPart, 0u);
  char back[4] = {};
  ULONG read = 0;
  ASSERT_EQ((CallSlot<HRESULT, void*, ULONG, ULONG*>(stream, 3, back, 4u, &read)), S_OK);
  EXPECT_EQ(read, 4u);
  EXPECT_EQ(std::string(back, 4), "slot");
  stream->Release();

  // IShellLinkW: GetPath is entry 3 and answers S_FALSE before a path is set.
  void* link = MakeShellLink();
  ASSERT_NE(link, nullptr);
  WCHAR path[8] = {u'x'};
  EXPECT_EQ((CallSlot<HRESULT, LPWSTR, int, void*, DWORD>(link, 3, path, 8, nullptr, 0u)),
            S_FALSE);
  EXPECT_EQ(path[0], 0);
  RawRelease(link);

  // IPersistFile: GetClassID 3 (IPersist), IsDirty 4, GetCurFile 8.
  void* file = MakeShellLinkFile();
  ASSERT_NE(file, nullptr);
  CLSID clsid = {};
  EXPECT_EQ((CallSlot<HRESULT, CLSID*>(file, 3, &clsid)), S_OK);
  EXPECT_TRUE(clsid == CLSID_ShellLink);
  EXPECT_EQ((CallSlot<HRESULT>(file, 4)), S_FALSE);
  LPOLESTR name = nullptr;
  EXPECT_EQ((CallSlot<HRESULT, LPOLESTR*>(file, 8, &name)), S_FALSE);
  EXPECT_EQ(std::u16string(name), u"*.lnk");
  CoTaskMemFree(name);
  RawRelease(file);

  // IGlobalInterfaceTable: Register 3, Get 5, Revoke 4.
  void* table = MakeGlobalTable();
  ASSERT_NE(table, nullptr);
  IStream* registered = static_cast<IStream*>(MakeStream());
  DWORD cookie = 0;
  ASSERT_EQ((CallSlot<HRESULT, IUnknown*, const IID*, DWORD*>(table, 3, registered, &IID_IStream,
                                                               &cookie)),
            S_OK);
  void* fetched = nullptr;
  ASSERT_EQ((CallSlot<HRESULT, DWORD, const IID*, void**>(table, 5, cookie, &IID_IStream,
                                                           &fetched)),
            S_OK);
  EXPECT_EQ(fetched, registered);
  RawRelease(fetched);
  EXPECT_EQ((CallSlot<HRESULT, DWORD>(table, 4, cookie)), S_OK);
  EXPECT_EQ((CallSlot<HRESULT, DWORD>(table, 4, cookie)), E_INVALIDARG);
  registered->Release();
  RawRelease(table);
}

// A factory of memory streams that counts its locks, reached through the raw
// table as a component's host reaches one.
class StreamFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return hr;
    hr = stream->QueryInterface(iid, object);
    stream->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    locks += lock ? 1 : -1;
    return S_OK;
  }
  int locks = 0;
};

TEST(ComLayoutTest, ClassFactoryCreateInstanceAndLockServerAreEntriesThreeAndFour) {
  StreamFactory factory;
  void* made = nullptr;
  ASSERT_EQ((CallSlot<HRESULT, IUnknown*, const IID*, void**>(&factory, 3, nullptr, &IID_IStream,
                                                               &made)),
            S_OK);
  ASSERT_NE(made, nullptr);
  void* same = nullptr;
  EXPECT_EQ(RawQueryInterface(made, IID_IStream, &same), S_OK);  // a real stream
  RawRelease(same);
  RawRelease(made);
  EXPECT_EQ((CallSlot<HRESULT, BOOL>(&factory, 4, TRUE)), S_OK);
  EXPECT_EQ(factory.locks, 1);
  EXPECT_EQ((CallSlot<HRESULT, BOOL>(&factory, 4, FALSE)), S_OK);
  EXPECT_EQ(factory.locks, 0);
}

// A page site that records which operation ran last.
class RecordingSite final : public IPropertyPageSite {
 public:
  HRESULT QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT OnStatusChange(DWORD flags) override {
    last = "OnStatusChange " + std::to_string(flags);
    return S_OK;
  }
  HRESULT GetLocaleID(LCID* locale) override {
    last = "GetLocaleID";
    *locale = 0x0407;
    return S_OK;
  }
  HRESULT GetPageContainer(IUnknown** container) override {
    last = "GetPageContainer";
    *container = nullptr;
    return E_NOTIMPL;
  }
  HRESULT TranslateAccelerator(MSG* message) override {
    last = message ? "TranslateAccelerator with a message" : "TranslateAccelerator";
    return S_FALSE;
  }
  std::string last;
};

TEST(ComLayoutTest, PropertyPageSiteOperationsAreEntriesThreeToSix) {
  RecordingSite site;
  EXPECT_EQ((CallSlot<HRESULT, DWORD>(&site, 3, PROPPAGESTATUS_DIRTY)), S_OK);
  EXPECT_EQ(site.last, "OnStatusChange 1");
  LCID locale = 0;
  EXPECT_EQ((CallSlot<HRESULT, LCID*>(&site, 4, &locale)), S_OK);
  EXPECT_EQ(site.last, "GetLocaleID");
  EXPECT_EQ(locale, 0x0407u);
  IUnknown* container = nullptr;
  EXPECT_EQ((CallSlot<HRESULT, IUnknown**>(&site, 5, &container)), E_NOTIMPL);
  EXPECT_EQ(site.last, "GetPageContainer");
  EXPECT_EQ((CallSlot<HRESULT, MSG*>(&site, 6, nullptr)), S_FALSE);
  EXPECT_EQ(site.last, "TranslateAccelerator");
}

}  // namespace
