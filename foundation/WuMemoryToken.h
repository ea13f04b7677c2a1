// Memory tokens: a block of memory that one process hands to another (or to
// itself) by describing it in a 40-byte record, and the object through
// which the receiver reaches the block.
//
// The receiver reaches the block
//  - in place, when the token comes from its own process;
//  - through a view of the owner's file mapping, when the block lives in
//    one (the owner's mapping handle is duplicated into this process);
//  - otherwise through a private copy read from the owner's memory, which
//    Dispose writes back when write-back was asked for.
// Reading and writing another process's memory needs Linux's permission to
// trace it (platform/kernel/mapping.h): a parent may always use its children's
// tokens; an owner that hands a token to another process calls
// platform::AllowMemoryAccessFrom first.
#pragma once

#include <bit>
#include <cstdint>

#include "platform/kernel/types.h"

// The token. Fixed-width little-endian fields, so that it reads the same in
// every process.
struct _wumemorytoken {
  uint64_t hMapping;     // the owner's mapping handle (0 when none)
  uint64_t qwOffset;     // the block's offset from base (and in the mapping)
  uint64_t qwBase;       // the owner's base address (its view of the mapping)
  uint32_t dwSize;       // the block's size in bytes
  uint32_t bIsMapping;   // not 0: the block lives in the file mapping
  uint32_t dwProcessId;  // the owner's process id
  uint32_t dwReserved;   // 0
};
static_assert(sizeof(_wumemorytoken) == 40, "the token crosses processes: 40 bytes");
static_assert(std::endian::native == std::endian::little, "token fields are little-endian");

// Access flags of CMappingOfWuMemoryToken (the values of FILE_MAP_WRITE and
// FILE_MAP_READ); neither means both.
constexpr DWORD WUMEMTOKEN_WRITEBACK = 0x2;  // a private copy is written back on Dispose
constexpr DWORD WUMEMTOKEN_READ = 0x4;       // a private copy is read from the owner

class CMappingOfWuMemoryToken {
 public:
  // Makes the block reachable, or leaves the object invalid.
  CMappingOfWuMemoryToken(const _wumemorytoken& token, DWORD access);
  // Copies every field, but the copy owns its access: a view of its own
  // and its own private copy of the bytes (written back on its Dispose when
  // the original's is). A copy that cannot get its own access is invalid.
  CMappingOfWuMemoryToken(const CMappingOfWuMemoryToken& other);
  CMappingOfWuMemoryToken& operator=(const CMappingOfWuMemoryToken& other);
  virtual ~CMappingOfWuMemoryToken();

  // S_OK and the pointer; E_FAIL and NULL when the object is invalid.
  HRESULT GetPointer(void** pointer) const;
  // The pointer, NULL when the object is invalid.
  void* Pointer() const { return m_bInvalid ? nullptr : m_pData; }
  // The block size, -1 when the object is invalid.
  LONG DataSize() const { return m_bInvalid ? -1 : static_cast<LONG>(m_Token.dwSize); }
  // Releases the access: unmaps a view, or writes a private copy back (when
  // asked) and frees it. The object is invalid afterwards.
  void Dispose();
  void Close() { Dispose(); }

 private:
  void CopyFrom(const CMappingOfWuMemoryToken& other);
  BOOL UseMapping(HANDLE mapping);

  _wumemorytoken m_Token;  // the token as received
  void* m_pData;           // the usable pointer (NULL when invalid)
  HANDLE m_hMapping;       // the duplicated mapping handle, NULL when none
  void* m_pView;           // the mapped view m_pData lies in, NULL when none
  BOOL m_bMapped;          // the block is reached through a view
  BOOL m_bPrivateCopy;     // the block is a private copy
  BOOL m_bInvalid;         // the block is not reachable
  BOOL m_bWriteBack;       // the private copy goes back to the owner on Dispose
};
