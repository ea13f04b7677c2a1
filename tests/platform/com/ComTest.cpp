// The component object base: per-thread initialisation, the class table and
// the memory stream over global memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "platform/com/com.h"

namespace {

LARGE_INTEGER Li(LONGLONG v) {
  LARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}
ULARGE_INTEGER Uli(ULONGLONG v) {
  ULARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}

ULONGLONG Tell(IStream* s) {
  ULARGE_INTEGER pos = Uli(~0ull);
  EXPECT_EQ(s->Seek(Li(0), STREAM_SEEK_CUR, &pos), S_OK);
  return pos.QuadPart;
}
ULONGLONG SizeOf(IStream* s) {
  STATSTG st;
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, STGTY_STREAM);
  return st.cbSize.QuadPart;
}
std::string ReadAll(IStream* s) {
  s->Seek(Li(0), STREAM_SEEK_SET, nullptr);
  std::string out(static_cast<size_t>(SizeOf(s)), '\0');
  ULONG got = 0;
  EXPECT_EQ(s->Read(out.data(), static_cast<ULONG>(out.size()), &got), S_OK);
  out.resize(got);
  return out;
}

// ---- Initialisation ----------------------------------------------------------------------

TEST(ComTest, InitialisationIsCountedPerThreadAndModel) {
  std::thread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitialize(nullptr), RPC_E_CHANGED_MODE);  // not counted
    EXPECT_EQ(platform::ComInitCount(), 2);
    // Another thread starts from nothing.
    std::thread([] {
      EXPECT_EQ(platform::ComInitCount(), 0);
      EXPECT_EQ(CoInitialize(nullptr), S_OK);
      CoUninitialize();
    }).join();
    CoUninitialize();
    CoUninitialize();
    CoUninitialize();  // one too many: ignored
    EXPECT_EQ(platform::ComInitCount(), 0);
    // Fully taken back: the other model may be chosen now.
    EXPECT_EQ(CoInitialize(nullptr), S_OK);
    CoUninitialize();
    int reserved = 0;
    EXPECT_EQ(CoInitializeEx(&reserved, COINIT_MULTITHREADED), E_INVALIDARG);
  }).join();
}

// ---- The class table ------------------------------------------------------------------------

constexpr CLSID kTestClass = {0x1234ABCD, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID kOtherClass = {0x1234ABCD, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 9}};

// A class whose objects are memory streams.
HRESULT MakeStream(REFIID iid, void** object) {
  IStream* stream = nullptr;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  if (FAILED(hr)) return hr;
  hr = stream->QueryInterface(iid, object);
  stream->Release();
  return hr;
}

TEST(ComTest, CreateInstanceUsesTheClassTable) {
  platform::RegisterComClass(kTestClass, MakeStream);
  struct Case {
    CLSID clsid;
    bool outer;
    IID iid;
    HRESULT expected;
  };
  IStream* dummy_outer = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &dummy_outer), S_OK);
  const IID kUnknownIid = {0xDEADBEEF, 0, 0, {0}};
  const Case cases[] = {
      {kTestClass, false, IID_IStream, S_OK},
      {kTestClass, false, IID_IUnknown, S_OK},
      {kTestClass, false, kUnknownIid, E_NOINTERFACE},
      {kTestClass, true, IID_IStream, CLASS_E_NOAGGREGATION},
      {kOtherClass, false, IID_IStream, REGDB_E_CLASSNOTREG},
  };
  for (const Case& c : cases) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CoCreateInstance(c.clsid, c.outer ? dummy_outer : nullptr, CLSCTX_INPROC_SERVER,
                               c.iid, &object),
              c.expected);
    if (c.expected == S_OK) {
      ASSERT_NE(object, nullptr);
      static_cast<IUnknown*>(object)->Release();
    } else {
      EXPECT_EQ(object, nullptr);
    }
  }
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IStream, nullptr), E_POINTER);
  platform::RegisterComClass(kTestClass, nullptr);
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(kTestClass, nullptr, CLSCTX_ALL, IID_IStream, &object),
            REGDB_E_CLASSNOTREG);
  dummy_outer->Release();
}

TEST(ComTest, WellKnownIdentifiersAndTaskMemory) {
  // IUnknown's identifier is {00000000-0000-0000-C000-000000000046}.
  EXPECT_EQ(IID_IUnknown.Data1, 0u);
  EXPECT_EQ(IID_IUnknown.Data4[0], 0xC0);
  EXPECT_EQ(IID_IUnknown.Data4[7], 0x46);
  EXPECT_FALSE(IsEqualGUID(IID_IUnknown, IID_IStream));
  void* block = CoTaskMemAlloc(16);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0xAB, 16);
  CoTaskMemFree(block);
  CoTaskMemFree(nullptr);
}

// ---- The memory stream ----------------------------------------------------------------------------

TEST(ComTest, StreamReadsWritesAndSeeks) {
  IStream* s = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &s), S_OK);
  ULONG n = 0;
  EXPECT_EQ(s->Write("hello world", 11, &n), S_OK);
  EXPECT_EQ(n, 11u);
  EXPECT_EQ(SizeOf(s), 11u);

  struct SeekCase {
    LONGLONG move;
    DWORD origin;
    HRESULT expected;
    ULONGLONG position;  // afterwards
  };
  const SeekCase seeks[] = {
      {6, STREAM_SEEK_SET, S_OK, 6},
      {-2, STREAM_SEEK_CUR, S_OK, 4},
      {-3, STREAM_SEEK_END, S_OK, 8},
      {-9, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 8},  // before the start: pointer stays
      {0, 7, STG_E_INVALIDFUNCTION, 8},
      {5, STREAM_SEEK_END, S_OK, 16},                   // past the end is allowed
  };
  for (const SeekCase& c : seeks) {
    EXPECT_EQ(s->Seek(Li(c.move), c.origin, nullptr), c.expected) << c.move;
    EXPECT_EQ(Tell(s), c.position) << c.move;
  }
  // Reading past the end gives nothing; writing there grows the stream and
  // zero-fills the gap.
  char buffer[8];
  EXPECT_EQ(s->Read(buffer, 8, &n), S_OK);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(s->Write("!", 1, &n), S_OK);
  EXPECT_EQ(SizeOf(s), 17u);
  EXPECT_EQ(ReadAll(s), std::string("hello world\0\0\0\0\0!", 17));

  // A short read at the end reports what it got.
  s->Seek(Li(-3), STREAM_SEEK_END, nullptr);
  EXPECT_EQ(s->Read(buffer, 8, &n), S_OK);
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(s->Read(nullptr, 1, &n), STG_E_INVALIDPOINTER);
  s->Release();
}

TEST(ComTest, StreamSetSizeKeepsThePointerAndTheBlockFollows) {
  IStream* s = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, FALSE, &s), S_OK);
  s->Write("abcdefgh", 8, nullptr);
  EXPECT_EQ(s->SetSize(Uli(3)), S_OK);
  EXPECT_EQ(Tell(s), 8u);  // unchanged, now past the end
  EXPECT_EQ(ReadAll(s), "abc");
  EXPECT_EQ(s->SetSize(Uli(5)), S_OK);
  EXPECT_EQ(ReadAll(s), std::string("abc\0\0", 5));
  EXPECT_EQ(s->SetSize(Uli(~0ull)), STG_E_MEDIUMFULL);
  EXPECT_EQ(SizeOf(s), 5u);

  HGLOBAL block = nullptr;
  ASSERT_EQ(GetHGlobalFromStream(s, &block), S_OK);
  EXPECT_EQ(GlobalSize(block), 5u);
  // Without delete-on-release the block outlives the stream.
  s->Release();
  char* bytes = static_cast<char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(std::string(bytes, 3), "abc");
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(ComTest, StreamOverAGivenBlockAndDeleteOnRelease) {
  HGLOBAL block = GlobalAlloc(GHND, 4);
  ASSERT_NE(block, nullptr);
  std::memcpy(GlobalLock(block), "WXYZ", 4);
  GlobalUnlock(block);
  size_t live = platform::LiveGlobalBlockCount();

  IStream* s = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(block, TRUE, &s), S_OK);
  EXPECT_EQ(ReadAll(s), "WXYZ");  // the block's bytes are the stream
  IStream* clone = nullptr;
  s->Seek(Li(1), STREAM_SEEK_SET, nullptr);
  ASSERT_EQ(s->Clone(&clone), S_OK);
  EXPECT_EQ(Tell(clone), 1u);
  clone->Write("--", 2, nullptr);  // shared bytes, own pointer
  EXPECT_EQ(Tell(s), 1u);
  EXPECT_EQ(ReadAll(s), "W--Z");
  s->Release();
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live);  // the clone keeps it
  clone->Release();
  EXPECT_EQ(platform::LiveGlobalBlockCount(), live - 1);

  // Not a global block.
  int not_a_block = 0;
  s = reinterpret_cast<IStream*>(1);
  EXPECT_EQ(CreateStreamOnHGlobal(&not_a_block, TRUE, &s), E_INVALIDARG);
  EXPECT_EQ(s, nullptr);
}

TEST(ComTest, StreamCopyToStatAndUnsupportedCalls) {
  IStream* from = nullptr;
  IStream* to = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &from), S_OK);
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &to), S_OK);
  std::string data(10000, 'q');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>('a' + i % 26);
  from->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
  from->Seek(Li(100), STREAM_SEEK_SET, nullptr);
  ULARGE_INTEGER read, written;
  EXPECT_EQ(from->CopyTo(to, Uli(1u << 20), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 9900u);
  EXPECT_EQ(written.QuadPart, 9900u);
  EXPECT_EQ(ReadAll(to), data.substr(100));
  EXPECT_EQ(from->CopyTo(nullptr, Uli(1), nullptr, nullptr), STG_E_INVALIDPOINTER);

  EXPECT_EQ(from->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(from->Revert(), S_OK);
  EXPECT_EQ(from->LockRegion(Uli(0), Uli(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(from->UnlockRegion(Uli(0), Uli(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  STATSTG st;
  EXPECT_EQ(from->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(from->Stat(&st, 9), STG_E_INVALIDFLAG);

  void* seq = nullptr;
  EXPECT_EQ(from->QueryInterface(IID_ISequentialStream, &seq), S_OK);
  static_cast<IUnknown*>(seq)->Release();
  HGLOBAL block = reinterpret_cast<HGLOBAL>(1);
  from->Release();
  to->Release();
  EXPECT_EQ(GetHGlobalFromStream(nullptr, &block), E_INVALIDARG);
  EXPECT_EQ(block, nullptr);
}

}  // namespace
