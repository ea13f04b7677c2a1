// Blankets around fake plug-in objects: the per-thread map and holder,
// wrapping, forwarding of every operation, the operations that do more,
// and the lifetimes of blankets made from each other.
#include "fileio/WuFioBlanket.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <thread>
#include <type_traits>
#include <vector>

#include "fileio/CWuGitHolder.h"
#include "fileio/CWuThreadMap.h"
#include "foundation/WuStatus.h"
#include "platform/com/globaltable.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/threads.h"
#include "tests/fileio/BlanketFakes.h"

namespace {

using namespace wu_test;

// Runs `f` on a new thread and waits for it.
void OnThread(const std::function<void()>& f) { std::thread(f).join(); }

// ---- The per-thread map ------------------------------------------------------------------

TEST(CWuThreadMapTest, StatusCodesOfInsertAndFind) {
  CWuThreadMap map;
  IUnknown** slot = nullptr;
  auto* a = reinterpret_cast<IUnknown*>(0x1000);
  auto* b = reinterpret_cast<IUnknown*>(0x2000);
  EXPECT_EQ(map.Insert(1, 0, a), E_FAIL);
  EXPECT_EQ(map.Find(1, 0, &slot), E_FAIL);
  ASSERT_EQ(map.Init(1), S_OK);
  EXPECT_EQ(map.BucketCount(), 2u);
  EXPECT_EQ(map.Find(1, 0, &slot), WU_E_NOT_FOUND);  // empty
  EXPECT_EQ(map.Insert(1, 2, a), E_INVALIDARG);
  EXPECT_EQ(map.Find(1, 2, &slot), E_INVALIDARG);
  EXPECT_EQ(map.Find(1, 0, nullptr), E_INVALIDARG);
  ASSERT_EQ(map.Insert(1, 0, a), S_OK);
  EXPECT_EQ(map.Insert(1, 0, b), WU_E_DUPLICATE);
  EXPECT_EQ(map.EntryCount(), 1);
  ASSERT_EQ(map.Find(1, 0, &slot), S_OK);
  EXPECT_EQ(*slot, a);  // the duplicate changed nothing
  EXPECT_EQ(map.Find(2, 0, &slot), WU_E_NOT_FOUND);
  EXPECT_EQ(map.Insert(1, 1, b), S_OK);  // the same key in another bucket
  map.Free();
  EXPECT_FALSE(map.IsInitialized());
  EXPECT_EQ(map.EntryCount(), 0);
  EXPECT_EQ(map.BucketCount(), 0u);
}

TEST(CWuThreadMapTest, FindMovesToFrontAndTheIteratorWalksEveryBucket) {
  CWuThreadMap map;
  EXPECT_EQ(map.begin(), map.end());  // not initialised
  ASSERT_EQ(map.Init(2), S_OK);
  EXPECT_EQ(map.begin(), map.end());  // empty
  auto ptr = [](int i) { return reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(i) * 16); };
  ASSERT_EQ(map.Insert(1, 1, ptr(1)), S_OK);
  ASSERT_EQ(map.Insert(2, 1, ptr(2)), S_OK);
  ASSERT_EQ(map.Insert(3, 1, ptr(3)), S_OK);
  ASSERT_EQ(map.Insert(4, 2, ptr(4)), S_OK);
  auto keys = [&] {
    std::vector<DWORD> k;
    for (CWuThreadMap::Node& n : map) k.push_back(n.key);
    return k;
  };
  EXPECT_EQ(keys(), (std::vector<DWORD>{3, 2, 1, 4}));  // bucket 0 empty, heads first
  IUnknown** slot = nullptr;
  ASSERT_EQ(map.Find(1, 1, &slot), S_OK);
  EXPECT_EQ(*slot, ptr(1));
  EXPECT_EQ(keys(), (std::vector<DWORD>{1, 3, 2, 4}));
  ASSERT_EQ(map.Find(2, 1, &slot), S_OK);
  EXPECT_EQ(keys(), (std::vector<DWORD>{2, 1, 3, 4}));
}

TEST(CWuThreadMapTest, AllocationFailuresLeaveTheMapAsItWas) {
  CWuThreadMap map;
  platform::FailNextAllocations(1);
  EXPECT_EQ(map.Init(1), E_OUTOFMEMORY);
  EXPECT_FALSE(map.IsInitialized());
  EXPECT_EQ(map.BucketCount(), 0u);
  ASSERT_EQ(map.Init(1), S_OK);
  platform::FailNextAllocations(1);
  EXPECT_EQ(map.Insert(7, 0, nullptr), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(map.EntryCount(), 0);
}

// ---- The holder --------------------------------------------------------------------------

TEST(CWuGitHolderTest, EachThreadFetchesOnceAndAHitBecomesTheCachedPair) {
  FakeIWuReadFile fake;
  {
    CWuGitHolder holder(IID_IWuReadFile);
    EXPECT_EQ(holder.GetForThread(), nullptr);  // nothing registered
    holder.Register(&fake);
    ASSERT_NE(holder.Cookie(), 0u);
    const DWORD main = GetCurrentThreadId();
    EXPECT_EQ(holder.CachedThreadId(), main);
    size_t gets = platform::GlobalInterfaceTableGetCount();
    EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
    EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets);

    DWORD second = 0;
    OnThread([&] {
      second = GetCurrentThreadId();
      EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
      EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 1);
      EXPECT_EQ(holder.CachedThreadId(), main);  // a miss leaves the pair
      EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
      EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 1);
      EXPECT_EQ(holder.CachedThreadId(), second);  // the hit replaces it
    });
    OnThread([&] {
      EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
      EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 2);
      EXPECT_EQ(holder.CachedThreadId(), second);
    });
    EXPECT_EQ(holder.Map().EntryCount(), 2);
    EXPECT_EQ(fake.refs, 4);  // the table's and two threads'
    holder.Revoke();
    EXPECT_EQ(holder.Cookie(), 0u);
    EXPECT_EQ(holder.CachedThreadId(), 0u);
    EXPECT_EQ(fake.refs, 1);
    EXPECT_EQ(holder.GetForThread(), nullptr);
  }
  EXPECT_EQ(fake.refs, 1);
}

TEST(CWuGitHolderTest, WithoutTheCachedPairEveryThreadGoesToItsMap) {
  FakeIWuReadFileClass fake;
  CWuGitHolder holder(IID_IWuReadFileClass, false);
  holder.Register(&fake);
  EXPECT_EQ(holder.CachedThreadId(), 0u);
  size_t gets = platform::GlobalInterfaceTableGetCount();
  EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
  EXPECT_EQ(holder.GetForThread(), static_cast<IUnknown*>(&fake));
  EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 1);
  EXPECT_EQ(holder.Map().EntryCount(), 1);
  // Registering again revokes first: the thread's reference goes back.
  holder.Register(&fake);
  EXPECT_EQ(fake.refs, 2);
  EXPECT_EQ(holder.Map().EntryCount(), 0);
  holder.Register(nullptr);
  EXPECT_EQ(fake.refs, 1);
}

// ---- Wrapping ----------------------------------------------------------------------------

// Wraps `fake` as `iid` with a reference of its own, as the manager hands
// a plug-in pointer over.
template <class I>
I* WrapFake(REFIID iid, I* fake, IUnknown* parent = nullptr, IUnknown* data = nullptr) {
  fake->AddRef();
  void* object = fake;
  EXPECT_EQ(WuFio_WrapInBlanket(iid, &object, parent, data), S_OK);
  return static_cast<I*>(object);
}

TEST(WuFioWrapInBlanketTest, OtherIdsStayUnwrappedAndFailuresReleaseThePointer) {
  FakeIWuReadFile fake;
  void* object = &fake;
  EXPECT_EQ(WuFio_WrapInBlanket(IID_IWuReadFileChain, &object, nullptr, nullptr), S_OK);
  EXPECT_EQ(object, static_cast<IWuReadFile*>(&fake));
  EXPECT_EQ(fake.refs, 1);

  object = nullptr;
  EXPECT_EQ(WuFio_WrapInBlanket(IID_IWuReadFile, &object, nullptr, nullptr), E_OUTOFMEMORY);
  EXPECT_EQ(WuFio_WrapInBlanket(IID_IWuReadFile, nullptr, nullptr, nullptr), E_POINTER);

  fake.AddRef();
  object = &fake;
  platform::FailNextAllocations(1);
  EXPECT_EQ(WuFio_WrapInBlanket(IID_IWuReadFile, &object, nullptr, nullptr), E_OUTOFMEMORY);
  platform::FailNextAllocations(0);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(fake.refs, 1);  // the caller's reference went back
}

// Without memory for its map a blanket still serves every thread, each
// call fetching from the table and giving the reference back at once.
TEST(WuFioWrapInBlanketTest, ABlanketWithoutItsMapStillServesOtherThreads) {
  FakeIWuReadFile fake;
  platform::FailAllocationsAfter(1, 1);  // the blanket is made, its map is not
  IWuReadFile* blanket = WrapFake(IID_IWuReadFile, &fake);
  platform::FailNextAllocations(0);
  ASSERT_NE(blanket, nullptr);
  size_t gets = platform::GlobalInterfaceTableGetCount();
  OnThread([&] {
    LONG count = 0;
    EXPECT_EQ(blanket->GetStreamCount(&count), S_OK);
    EXPECT_EQ(blanket->GetStreamCount(&count), S_OK);
  });
  EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 2);
  EXPECT_EQ(fake.calls[15], 2);
  EXPECT_EQ(fake.refs, 2);  // the test's and the table's
  blanket->Release();
  EXPECT_EQ(fake.refs, 1);
}

TEST(BlanketTest, QueryInterfaceForItsOwnIdGivesTheSameBlanket) {
  FakeIWuReadFile fake;
  IWuReadFile* blanket = WrapFake(IID_IWuReadFile, &fake);
  ASSERT_NE(blanket, nullptr);
  ASSERT_NE(blanket, static_cast<IWuReadFile*>(&fake));
  int qi = fake.qi;
  for (const IID& iid : {IID_IWuReadFile, IID_IUnknown}) {
    void* out = nullptr;
    EXPECT_EQ(blanket->QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, blanket);
  }
  EXPECT_EQ(fake.qi, qi);  // answered without the plug-in
  EXPECT_EQ(blanket->AddRef(), 4u);
  EXPECT_EQ(blanket->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(blanket->QueryInterface(IID_IWuReadFileChain, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(blanket->Release(), 3u);
  EXPECT_EQ(blanket->Release(), 2u);
  EXPECT_EQ(blanket->Release(), 1u);
  EXPECT_EQ(fake.refs, 2);
  EXPECT_EQ(blanket->Release(), 0u);
  EXPECT_EQ(fake.refs, 1);
}

// ---- Forwarding --------------------------------------------------------------------------

// Calls `method` of `object` with zero or null for every argument.
template <class P, class C, class... A>
HRESULT CallWithZeros(P* object, HRESULT (C::*method)(A...)) {
  return (object->*method)(std::remove_cvref_t<A>{}...);
}

// One forwarded operation: its slot and a call of it.
template <class I>
struct ForwardRow {
  int slot;
  HRESULT (*call)(I*);
};

#define WU_FORWARD_ROW(slot, R, Name, Params, Args) \
  {slot, [](Iface* p) { return CallWithZeros(p, &Iface::Name); }},

// Every slot of I through a blanket reaches the plug-in's slot once with
// its answer unchanged; `special` slots do more and are tested below.
template <class I, class Fake>
void CheckForwarders(REFIID iid, const std::vector<ForwardRow<I>>& rows, std::set<int> special,
                     size_t slotCount) {
  EXPECT_EQ(rows.size() + 3, slotCount);
  Fake fake;
  fake.result = static_cast<HRESULT>(0x80041000u);
  I* blanket = WrapFake<I>(iid, &fake);
  for (const auto& row : rows) {
    if (special.count(row.slot)) continue;
    SCOPED_TRACE(row.slot);
    int before = fake.calls[row.slot];
    EXPECT_EQ(row.call(blanket), static_cast<HRESULT>(0x80041000u + row.slot));
    EXPECT_EQ(fake.calls[row.slot], before + 1);
  }
  blanket->Release();
  EXPECT_EQ(fake.refs, 1);
}

#define WU_CHECK_FORWARDERS(I, ...)                                           \
  {                                                                           \
    SCOPED_TRACE(#I);                                                         \
    using Iface = I;                                                          \
    std::vector<ForwardRow<I>> rows = {WU_FIO_SLOTS_##I(WU_FORWARD_ROW)};    \
    CheckForwarders<I, Fake##I>(IID_##I, rows, {__VA_ARGS__}, WU_FIO_SLOT_COUNT_##I); \
  }

TEST(BlanketTest, EveryOtherOperationForwardsToThePlugIn) {
  WU_CHECK_FORWARDERS(IWuReadFileClass, 3, 4, 5, 6)
  WU_CHECK_FORWARDERS(IWuRenderFileClass, 3, 4, 5, 6)
  WU_CHECK_FORWARDERS(IWuReadFile, 3)
  WU_CHECK_FORWARDERS(IWuRenderFile, 3)
  WU_CHECK_FORWARDERS(IWuReadStream, 3, 4)
  WU_CHECK_FORWARDERS(IWuReadAudioStream, 3, 4)
  WU_CHECK_FORWARDERS(IWuReadVideoStream, 3, 4)
  WU_CHECK_FORWARDERS(IWuReadMeta)
}

TEST(BlanketTest, ArgumentsReachThePlugInUnchanged) {
  struct Fake : FakeIWuReadFileClass {
    HANDLE file = nullptr;
    const void* head = nullptr;
    DWORD bytes = 0;
    LPCWSTR ext = nullptr;
    HRESULT CheckFile(HANDLE f, const void* h, DWORD b, LPCWSTR e) override {
      file = f, head = h, bytes = b, ext = e;
      return S_FALSE;
    }
  } fake;
  IWuReadFileClass* blanket = WrapFake<IWuReadFileClass>(IID_IWuReadFileClass, &fake);
  char head[4];
  const WCHAR* ext = u"wav";
  EXPECT_EQ(blanket->CheckFile(reinterpret_cast<HANDLE>(0x44), head, 4, ext), S_FALSE);
  EXPECT_EQ(fake.file, reinterpret_cast<HANDLE>(0x44));
  EXPECT_EQ(fake.head, head);
  EXPECT_EQ(fake.bytes, 4u);
  EXPECT_EQ(fake.ext, ext);
  blanket->Release();
}

TEST(BlanketTest, AThreadWithoutAPointerGetsNotInitializedAndCallsNothing) {
  FakeIWuReadFile fake;
  IWuReadFile* blanket = WrapFake(IID_IWuReadFile, &fake);
  fake.refuse = true;  // the table then hands the thread no pointer
  OnThread([&] {
    LONGLONG bytes = 0;
    EXPECT_EQ(blanket->GetFileSize(&bytes), CO_E_NOTINITIALIZED);
    void* out = nullptr;
    EXPECT_EQ(blanket->QueryInterface(IID_IWuReadMeta, &out), CO_E_NOTINITIALIZED);
  });
  EXPECT_EQ(fake.calls[9], 0);
  fake.refuse = false;
  OnThread([&] {
    LONGLONG bytes = 0;
    EXPECT_EQ(blanket->GetFileSize(&bytes), S_OK);  // a later call fetches again
  });
  EXPECT_EQ(fake.calls[9], 1);
  blanket->Release();
  EXPECT_EQ(fake.refs, 1);
}

// ---- The operations that do more ---------------------------------------------------------

// The manager a class blanket is made with.
struct FakeManager : IUnknown {
  std::atomic<LONG> refs{1};
  HRESULT QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid != IID_IWuFileIOManager && iid != IID_IUnknown) return E_NOINTERFACE;
    AddRef();
    *out = this;
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG Release() override { return static_cast<ULONG>(--refs); }
  virtual ~FakeManager() = default;
};

// Hands `child` out of an operation's out-parameter, or fails with the
// fake's answer.
template <class T>
HRESULT Give(T** out, HRESULT result, void* child) {
  if (FAILED(result)) return result;
  static_cast<T*>(child)->AddRef();
  *out = static_cast<T*>(child);
  return result;
}

struct ReadClass : FakeIWuReadFileClass {
  void* renderer = nullptr;
  void* file = nullptr;
  HRESULT GetRendererClass(IWuRenderFileClass** out) override {
    ++calls[10];
    return Give(out, result, renderer);
  }
  HRESULT Open(IWuReadFile** out, HANDLE, DWORD, LPCWSTR, LONG) override {
    ++calls[15];
    return Give(out, result, file);
  }
};
struct RenderClass : FakeIWuRenderFileClass {
  void* reader = nullptr;
  void* file = nullptr;
  HRESULT GetReaderClass(IWuReadFileClass** out) override {
    ++calls[10];
    return Give(out, result, reader);
  }
  HRESULT CreateRenderFile(IWuRenderFile** out, LPCWSTR, const tagWUTEMPLATExV2*, HANDLE,
                           DWORD) override {
    ++calls[13];
    return Give(out, result, file);
  }
};
struct ReadFile : FakeIWuReadFile {
  void* clone = nullptr;
  void* stream = nullptr;
  void* meta = nullptr;
  HRESULT Clone(IWuReadFile** out) override {
    ++calls[8];
    return Give(out, result, clone);
  }
  HRESULT OpenStream(IWuReadStream** out, LONG, DWORD, DWORD, void*) override {
    ++calls[20];
    return Give(out, result, stream);
  }
  HRESULT GetMetaReader(IWuReadMeta** out) override {
    ++calls[22];
    return Give(out, result, meta);
  }
};

// A reader and a renderer plug-in with their files, streams and metadata
// reader, the two classes wrapped with the manager.
struct World {
  FakeManager manager;
  ReadClass readClass;
  RenderClass renderClass;
  ReadFile readFile;
  FakeIWuReadFile clone;
  FakeIWuRenderFile renderFile;
  FakeIWuReadStream stream;
  FakeIWuReadMeta meta;
  IWuReadFileClass* reader = nullptr;
  IWuRenderFileClass* renderer = nullptr;
  World() {
    readClass.renderer = static_cast<IWuRenderFileClass*>(&renderClass);
    readClass.file = static_cast<IWuReadFile*>(&readFile);
    renderClass.reader = static_cast<IWuReadFileClass*>(&readClass);
    renderClass.file = static_cast<IWuRenderFile*>(&renderFile);
    readFile.clone = static_cast<IWuReadFile*>(&clone);
    readFile.stream = static_cast<IWuReadStream*>(&stream);
    readFile.meta = static_cast<IWuReadMeta*>(&meta);
    reader = WrapFake<IWuReadFileClass>(IID_IWuReadFileClass, &readClass, nullptr, &manager);
    renderer = WrapFake<IWuRenderFileClass>(IID_IWuRenderFileClass, &renderClass, nullptr, &manager);
  }
  // A file blanket opened through the reader class blanket.
  IWuReadFile* OpenFile() {
    IWuReadFile* file = nullptr;
    EXPECT_EQ(reader->Open(&file, nullptr, 0, u"a.wav", 0), S_OK);
    return file;
  }
  ~World() {
    if (renderer) renderer->Release();
    if (reader) reader->Release();
    // Every plug-in object and the manager are back to the one reference
    // they started with.
    for (LONG refs : {readClass.refs.load(), renderClass.refs.load(), readFile.refs.load(),
                      clone.refs.load(), renderFile.refs.load(), stream.refs.load(),
                      meta.refs.load(), manager.refs.load()}) {
      EXPECT_EQ(refs, 1);
    }
  }
};

TEST(BlanketSpecialTest, ClassBlanketsKeepTheKeyAndAnswerTheManager) {
  World w;
  struct {
    const char* label;
    std::function<HRESULT(World&, LONG)> set;
    std::function<HRESULT(World&, LONG*)> get;
    std::function<HRESULT(World&)> init;
    std::function<HRESULT(World&, IWuFileIOManager**)> manager;
    int* calls;
  } rows[] = {
      {"reader", [](World& x, LONG k) { return x.reader->SetIndex(k); },
       [](World& x, LONG* k) { return x.reader->GetKey(k); },
       [](World& x) { return x.reader->Initialize(nullptr); },
       [](World& x, IWuFileIOManager** m) { return x.reader->GetManager(m); }, w.readClass.calls},
      {"renderer", [](World& x, LONG k) { return x.renderer->SetIndex(k); },
       [](World& x, LONG* k) { return x.renderer->GetKey(k); },
       [](World& x) { return x.renderer->Initialize(nullptr); },
       [](World& x, IWuFileIOManager** m) { return x.renderer->GetManager(m); },
       w.renderClass.calls},
  };
  for (auto& r : rows) {
    SCOPED_TRACE(r.label);
    LONG key = 0;
    EXPECT_EQ(r.set(w, -7), S_OK);
    EXPECT_EQ(r.get(w, &key), S_OK);
    EXPECT_EQ(key, -7);
    EXPECT_EQ(r.get(w, nullptr), E_POINTER);
    EXPECT_EQ(r.init(w), S_OK);
    IWuFileIOManager* m = nullptr;
    EXPECT_EQ(r.manager(w, &m), S_OK);
    EXPECT_EQ(static_cast<void*>(m), static_cast<void*>(&w.manager));
    EXPECT_EQ(w.manager.refs, 2);
    w.manager.Release();
    for (int slot = 3; slot <= 6; ++slot) EXPECT_EQ(r.calls[slot], 0) << slot;  // nothing forwarded
  }
}

// What a blanket tells of the object it was made with: the manager of a
// class blanket, the class of a file blanket, the file of a stream.
IUnknown* ClassOf(IWuReadFile* f) {
  IWuReadFileClass* c = nullptr;
  f->GetClass(&c);
  if (c) c->Release();
  return c;
}

TEST(BlanketSpecialTest, WrappingOperationsGiveBlanketsOfTheirKindWithTheirData) {
  World w;
  IWuReadFile* file = w.OpenFile();
  ASSERT_NE(file, nullptr);
  struct Row {
    const char* label;
    std::function<HRESULT(World&, IWuReadFile*, void**)> call;
    const IID& kind;
    std::function<void*(World&)> raw;               // the plug-in object handed out
    std::function<void*(void*)> data;                // what the result says it was made with
    std::function<void*(World&, IWuReadFile*)> expected;
    std::function<HRESULT&(World&)> result;          // the fake that answers
  };
  auto managerOf = [](auto* cls) -> void* {
    IWuFileIOManager* m = nullptr;
    cls->GetManager(&m);
    if (m) m->Release();
    return m;
  };
  const Row rows[] = {
      {"reader class 10", [](World& x, IWuReadFile*, void** o) {
         return x.reader->GetRendererClass(reinterpret_cast<IWuRenderFileClass**>(o)); },
       IID_IWuRenderFileClass, [](World& x) -> void* { return static_cast<IWuRenderFileClass*>(&x.renderClass); },
       [&](void* o) { return managerOf(static_cast<IWuRenderFileClass*>(o)); },
       [](World& x, IWuReadFile*) -> void* { return &x.manager; },
       [](World& x) -> HRESULT& { return x.readClass.result; }},
      {"reader class 15", [](World& x, IWuReadFile*, void** o) {
         return x.reader->Open(reinterpret_cast<IWuReadFile**>(o), nullptr, 0, u"b", 0); },
       IID_IWuReadFile, [](World& x) -> void* { return static_cast<IWuReadFile*>(&x.readFile); },
       [](void* o) -> void* { return ClassOf(static_cast<IWuReadFile*>(o)); },
       [](World& x, IWuReadFile*) -> void* { return x.reader; },
       [](World& x) -> HRESULT& { return x.readClass.result; }},
      {"renderer class 10", [](World& x, IWuReadFile*, void** o) {
         return x.renderer->GetReaderClass(reinterpret_cast<IWuReadFileClass**>(o)); },
       IID_IWuReadFileClass, [](World& x) -> void* { return static_cast<IWuReadFileClass*>(&x.readClass); },
       [&](void* o) { return managerOf(static_cast<IWuReadFileClass*>(o)); },
       [](World& x, IWuReadFile*) -> void* { return &x.manager; },
       [](World& x) -> HRESULT& { return x.renderClass.result; }},
      {"renderer class 13", [](World& x, IWuReadFile*, void** o) {
         return x.renderer->CreateRenderFile(reinterpret_cast<IWuRenderFile**>(o), u"c", nullptr,
                                             nullptr, 0); },
       IID_IWuRenderFile, [](World& x) -> void* { return static_cast<IWuRenderFile*>(&x.renderFile); },
       [](void* o) -> void* {
         IWuRenderFileClass* c = nullptr;
         static_cast<IWuRenderFile*>(o)->GetClass(&c);
         if (c) c->Release();
         return c; },
       [](World& x, IWuReadFile*) -> void* { return x.renderer; },
       [](World& x) -> HRESULT& { return x.renderClass.result; }},
      {"file 8", [](World&, IWuReadFile* f, void** o) {
         return f->Clone(reinterpret_cast<IWuReadFile**>(o)); },
       IID_IWuReadFile, [](World& x) -> void* { return static_cast<IWuReadFile*>(&x.clone); },
       [](void* o) -> void* { return ClassOf(static_cast<IWuReadFile*>(o)); },
       [](World& x, IWuReadFile*) -> void* { return x.reader; },
       [](World& x) -> HRESULT& { return x.readFile.result; }},
      {"file 20", [](World&, IWuReadFile* f, void** o) {
         return f->OpenStream(reinterpret_cast<IWuReadStream**>(o), 0, 1, 0, nullptr); },
       IID_IWuReadStream, [](World& x) -> void* { return static_cast<IWuReadStream*>(&x.stream); },
       [](void* o) -> void* {
         IWuReadFile* f = nullptr;
         static_cast<IWuReadStream*>(o)->GetFile(&f);
         if (f) f->Release();
         return f; },
       [](World&, IWuReadFile* f) -> void* { return f; },
       [](World& x) -> HRESULT& { return x.readFile.result; }},
      {"file 22", [](World&, IWuReadFile* f, void** o) {
         return f->GetMetaReader(reinterpret_cast<IWuReadMeta**>(o)); },
       IID_IWuReadMeta, [](World& x) -> void* { return static_cast<IWuReadMeta*>(&x.meta); },
       [](void*) -> void* { return nullptr; },
       [](World&, IWuReadFile*) -> void* { return nullptr; },
       [](World& x) -> HRESULT& { return x.readFile.result; }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    // A success comes back as a blanket of the row's kind around the
    // plug-in's object, with the row's data.
    void* out = nullptr;
    ASSERT_EQ(r.call(w, file, &out), S_OK);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(out, r.raw(w));
    auto* got = static_cast<IUnknown*>(out);
    void* same = nullptr;
    EXPECT_EQ(got->QueryInterface(r.kind, &same), S_OK);
    EXPECT_EQ(same, out);
    got->Release();
    EXPECT_EQ(r.data(out), r.expected(w, file));
    got->Release();
    // A failure of the plug-in comes back as it is, nothing wrapped.
    r.result(w) = E_ACCESSDENIED;
    out = nullptr;
    EXPECT_EQ(r.call(w, file, &out), static_cast<HRESULT>(E_ACCESSDENIED));
    EXPECT_EQ(out, nullptr);
    r.result(w) = S_OK;
  }
  // Stream operations 3 and 4 answer the file's class and the file.
  IWuReadStream* stream = nullptr;
  ASSERT_EQ(file->OpenStream(&stream, 0, 1, 0, nullptr), S_OK);
  IWuReadFileClass* cls = nullptr;
  EXPECT_EQ(stream->GetClass(&cls), S_OK);
  EXPECT_EQ(cls, w.reader);
  cls->Release();
  EXPECT_EQ(w.stream.calls[3] + w.stream.calls[4], 0);
  stream->Release();
  file->Release();
}

TEST(BlanketSpecialTest, AudioAndVideoStreamsSendIdentityRequestsToTheirParent) {
  World w;
  IWuReadFile* file = w.OpenFile();
  FakeIWuReadAudioStream audio;
  FakeIWuReadVideoStream video;
  w.stream.extra = static_cast<IWuReadAudioStream*>(&audio);
  w.stream.extraIid = IID_IWuReadAudioStream;
  IWuReadStream* stream = nullptr;
  ASSERT_EQ(file->OpenStream(&stream, 0, 1, 0, nullptr), S_OK);
  IWuReadAudioStream* a = nullptr;
  ASSERT_EQ(stream->QueryInterface(IID_IWuReadAudioStream, reinterpret_cast<void**>(&a)), S_OK);
  EXPECT_NE(static_cast<void*>(a), static_cast<void*>(&audio));
  for (const IID& iid : {IID_IUnknown, IID_IWuReadStream}) {
    void* out = nullptr;
    EXPECT_EQ(a->QueryInterface(iid, &out), S_OK);
    EXPECT_EQ(out, stream);  // one identity: the parent's
    stream->Release();
  }
  void* out = nullptr;
  EXPECT_EQ(a->QueryInterface(IID_IWuReadAudioStream, &out), S_OK);
  EXPECT_EQ(out, a);
  a->Release();
  // The audio blanket keeps its parent: released first, the stream lives.
  stream->Release();
  // Its class and file are those of the stream it was asked of.
  IWuReadFileClass* cls = nullptr;
  EXPECT_EQ(a->GetClass(&cls), S_OK);
  EXPECT_EQ(cls, w.reader);
  if (cls) cls->Release();
  IWuReadFile* f = nullptr;
  EXPECT_EQ(a->GetFile(&f), S_OK);
  EXPECT_EQ(f, file);
  if (f) f->Release();
  LONG channels = 0;
  EXPECT_EQ(a->GetChannelCount(&channels), S_OK);
  EXPECT_EQ(audio.calls[17], 1);
  a->Release();

  // Without a parent the blanket answers IUnknown itself.
  IWuReadVideoStream* v = WrapFake<IWuReadVideoStream>(IID_IWuReadVideoStream, &video);
  EXPECT_EQ(v->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(out, v);
  v->Release();
  v->Release();
  EXPECT_EQ(video.refs, 1);
  EXPECT_EQ(audio.refs, 1);
  file->Release();
}

// ---- Lifetimes ---------------------------------------------------------------------------

TEST(BlanketLifetimeTest, AStreamOutlivesItsReleasedFileAndClass) {
  World w;
  IWuReadFile* file = w.OpenFile();
  IWuReadStream* stream = nullptr;
  ASSERT_EQ(file->OpenStream(&stream, 0, 1, 0, nullptr), S_OK);
  file->Release();
  w.reader->Release();  // the last reference of the caller to the class blanket
  w.reader = nullptr;
  // Operations 3 and 4 go through the file and its class blanket.
  IWuReadFile* again = nullptr;
  ASSERT_EQ(stream->GetFile(&again), S_OK);
  EXPECT_EQ(again, file);
  IWuReadFileClass* cls = nullptr;
  ASSERT_EQ(stream->GetClass(&cls), S_OK);
  EXPECT_EQ(cls->SetIndex(3), S_OK);
  cls->Release();
  again->Release();
  EXPECT_GT(w.readFile.refs, 1);
  EXPECT_GT(w.readClass.refs, 1);
  stream->Release();
  EXPECT_EQ(w.readFile.refs, 1);
  EXPECT_EQ(w.readClass.refs, 1);
  EXPECT_EQ(w.stream.refs, 1);
}

TEST(BlanketLifetimeTest, CallsFromManyThreadsKeepOneReferenceEach) {
  struct Fake : FakeIWuReadFileClass {
    std::atomic<int> types{0};
    HRESULT GetStreamTypes(DWORD*) override {
      ++types;
      return S_OK;
    }
  } fake;
  IWuReadFileClass* blanket = WrapFake<IWuReadFileClass>(IID_IWuReadFileClass, &fake);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      for (int n = 0; n < 50; ++n) {
        DWORD types = 0;
        EXPECT_EQ(blanket->GetStreamTypes(&types), S_OK);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(fake.types.load(), 200);
  EXPECT_EQ(fake.refs, 1 + 1 + 4);  // the test's, the table's, one per thread
  blanket->Release();
  EXPECT_EQ(fake.refs, 1);
}

}  // namespace
