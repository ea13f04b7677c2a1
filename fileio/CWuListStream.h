// A read-only stream over a borrowed list of blocks: a 12-byte header
// (header size 12, format version 100, item count), then each item's bytes
// in list order; a null entry, and an entry equal to the one before it,
// are passed over and not counted. CWuListStream walks the list; a
// subclass's item accessor says which bytes an item has. CWuTemplateStream
// streams a list of render templates, each record being its own bytes.
// The stream never frees the list or its items; the list must stay alive
// and unchanged until the last Release.
#pragma once

#include <atomic>

#include "platform/com/com.h"
#include "platform/kernel/types.h"

struct tWULIST;

// The list stream's header words.
constexpr DWORD WU_LISTSTREAM_HEADER_BYTES = 12;
constexpr DWORD WU_LISTSTREAM_VERSION = 100;

class CWuListStream : public IStream {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  // Copies header and item bytes; E_INVALIDARG without a buffer or when no
  // byte is delivered, 0x800A0026 without a list.
  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override;
  HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  // Origin 0 rewinds, 1 moves forward through the items (never past the
  // list's end: 0x800A0026), 2 goes to the end. The position reported is
  // the current item number (0 in the header), not a byte offset.
  HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override;
  HRESULT SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT Revert() override { return E_NOTIMPL; }
  HRESULT LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT Clone(IStream**) override { return E_NOTIMPL; }
  // 14: teardown; frees the object when bit 0 of `flags` is set.
  virtual void DeletingDestructor(LONG flags);
  // 15: the bytes of `item` into *data and *size. NULL clears any state
  // and succeeds; E_FAIL means "the same item again": move on.
  virtual HRESULT GetItem(const void* item, const BYTE** data, DWORD* size) = 0;

 protected:
  explicit CWuListStream(tWULIST* list);
  virtual ~CWuListStream() = default;

 private:
  // The items the stream delivers: the list's entries without nulls and
  // without an entry equal to the one before it, so that the header's
  // count matches the records that follow it.
  DWORD DeliveredCount() const;
  // Moves over up to `bytes` bytes, copying them to `out` when given;
  // returns the bytes passed and the accessor's failure, if any, in *hr.
  ULONG Advance(BYTE* out, ULONG bytes, HRESULT* hr);

  std::atomic<LONG> references_{1};  // reference count
  tWULIST* list_;                    // the borrowed list
  LONG index_ = -1;                  // current item, -1 while in the header
  DWORD offset_ = 0;                 // byte offset within the header or the current item
  DWORD header_[3];                  // 12, 100, N (N refreshed when header bytes are read)
  const BYTE* data_ = nullptr;       // the current item's bytes
  DWORD size_ = 0;                   // and their count
};

class CWuTemplateStream final : public CWuListStream {
 public:
  // A new stream (reference count 1) in global memory, NULL when memory
  // runs out.
  static CWuTemplateStream* Create(tWULIST* list);
  void DeletingDestructor(LONG flags) override;
  // A record's data is the record itself, its size the record's first word;
  // the record handed out last gives E_FAIL.
  HRESULT GetItem(const void* item, const BYTE** data, DWORD* size) override;

 private:
  explicit CWuTemplateStream(tWULIST* list) : CWuListStream(list) {}
  ~CWuTemplateStream() override = default;

  const void* last_ = nullptr;  // the item handed out last
};
