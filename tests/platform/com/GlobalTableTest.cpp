// The Global Interface Table: registrations by cookie, fetched on any thread,
// references kept and released, refused cookies.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/com/globaltable.h"

namespace {

const IID IID_ITestThing = {0x7E571234, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

// An object that counts its references and says when it is gone; at its end
// it can revoke another registration (as an object that owns one does).
class Thing final : public IUnknown {
 public:
  explicit Thing(bool* gone) : gone_(gone) {}
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_ITestThing) return E_NOINTERFACE;
    *object = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) {
      if (revoke_at_end_) table_->RevokeInterfaceFromGlobal(revoke_at_end_);
      *gone_ = true;
      delete this;
    }
    return left;
  }
  ULONG Refs() const { return refs_; }
  void RevokeAtEnd(IGlobalInterfaceTable* table, DWORD cookie) {
    table_ = table;
    revoke_at_end_ = cookie;
  }

 private:
  ~Thing() = default;
  std::atomic<ULONG> refs_{1};
  bool* gone_;
  IGlobalInterfaceTable* table_ = nullptr;
  DWORD revoke_at_end_ = 0;
};

IGlobalInterfaceTable* OpenTable() {
  IGlobalInterfaceTable* table = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&table)),
            S_OK);
  return table;
}

TEST(GlobalTableTest, RegisteredOnOneThreadFetchedOnAnotherAndRevokeReleases) {
  IGlobalInterfaceTable* table = OpenTable();
  ASSERT_NE(table, nullptr);
  IGlobalInterfaceTable* again = OpenTable();
  EXPECT_EQ(again, table);  // the process's one table
  again->Release();

  bool gone = false;
  Thing* thing = new Thing(&gone);
  DWORD cookie = 0;
  std::thread([&] {
    EXPECT_EQ(table->RegisterInterfaceInGlobal(thing, IID_ITestThing, &cookie), S_OK);
  }).join();
  EXPECT_NE(cookie, 0u);
  EXPECT_EQ(thing->Refs(), 2u);  // the table keeps one

  const size_t gets = platform::GlobalInterfaceTableGetCount();
  void* fetched = nullptr;
  std::thread([&] {
    EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_ITestThing, &fetched), S_OK);
  }).join();
  EXPECT_EQ(fetched, thing);  // the object itself: no apartments
  EXPECT_EQ(thing->Refs(), 3u);
  void* none = &none;
  EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_IStream, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 2);
  static_cast<IUnknown*>(fetched)->Release();

  thing->Release();  // the caller's own reference: the table's keeps it alive
  EXPECT_FALSE(gone);
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), S_OK);
  EXPECT_TRUE(gone);
  table->Release();
}

TEST(GlobalTableTest, UnknownCookiesAndMissingPointersAreRefused) {
  IGlobalInterfaceTable* table = OpenTable();
  ASSERT_NE(table, nullptr);
  bool gone = false;
  Thing* thing = new Thing(&gone);
  DWORD first = 0, second = 0;
  ASSERT_EQ(table->RegisterInterfaceInGlobal(thing, IID_ITestThing, &first), S_OK);
  ASSERT_EQ(table->RevokeInterfaceFromGlobal(first), S_OK);
  ASSERT_EQ(table->RegisterInterfaceInGlobal(thing, IID_ITestThing, &second), S_OK);
  EXPECT_NE(second, first);  // a cookie is never given again

  const size_t gets = platform::GlobalInterfaceTableGetCount();
  for (DWORD cookie : {DWORD{0}, first, second + 1000}) {
    SCOPED_TRACE(cookie);
    void* out = &out;
    EXPECT_EQ(table->GetInterfaceFromGlobal(cookie, IID_ITestThing, &out), E_INVALIDARG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(table->RevokeInterfaceFromGlobal(cookie), E_INVALIDARG);
  }
  EXPECT_EQ(platform::GlobalInterfaceTableGetCount(), gets + 3);  // refused gets count too
  EXPECT_EQ(table->GetInterfaceFromGlobal(second, IID_ITestThing, nullptr), E_INVALIDARG);
  DWORD cookie = 99;
  EXPECT_EQ(table->RegisterInterfaceInGlobal(nullptr, IID_ITestThing, &cookie), E_INVALIDARG);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(table->RegisterInterfaceInGlobal(thing, IID_ITestThing, nullptr), E_INVALIDARG);
  EXPECT_EQ(thing->Refs(), 2u);  // the refused calls kept nothing

  // The registration is still there and still answers.
  void* out = nullptr;
  ASSERT_EQ(table->GetInterfaceFromGlobal(second, IID_ITestThing, &out), S_OK);
  static_cast<IUnknown*>(out)->Release();
  thing->Release();
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(second), S_OK);
  EXPECT_TRUE(gone);
  table->Release();
}

TEST(GlobalTableTest, AnObjectMayUseTheTableWhenItsRevokeEndsIt) {
  IGlobalInterfaceTable* table = OpenTable();
  ASSERT_NE(table, nullptr);
  bool owner_gone = false, owned_gone = false;
  Thing* owned = new Thing(&owned_gone);
  Thing* owner = new Thing(&owner_gone);
  DWORD owned_cookie = 0, owner_cookie = 0;
  ASSERT_EQ(table->RegisterInterfaceInGlobal(owned, IID_ITestThing, &owned_cookie), S_OK);
  ASSERT_EQ(table->RegisterInterfaceInGlobal(owner, IID_ITestThing, &owner_cookie), S_OK);
  owned->Release();
  owner->RevokeAtEnd(table, owned_cookie);
  owner->Release();
  // Revoking the owner ends it; its end revokes the owned registration.
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(owner_cookie), S_OK);
  EXPECT_TRUE(owner_gone);
  EXPECT_TRUE(owned_gone);
  EXPECT_EQ(table->RevokeInterfaceFromGlobal(owned_cookie), E_INVALIDARG);
  table->Release();
}

}  // namespace
