// Memory tokens: CMappingOfWuMemoryToken.
#include "foundation/WuMemoryToken.h"

#include "foundation/WuString.h"
#include "platform/kernel/handles.h"
#include "platform/kernel/mapping.h"
#include "platform/kernel/process.h"

namespace {

HANDLE HandleFromValue(uint64_t value) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

void* AddressOf(uint64_t base, uint64_t offset) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(base + offset));
}

}  // namespace

CMappingOfWuMemoryToken::CMappingOfWuMemoryToken(const _wumemorytoken& token, DWORD access)
    : m_Token(token), m_pData(nullptr), m_hMapping(nullptr), m_pView(nullptr),
      m_bMapped(FALSE), m_bPrivateCopy(FALSE), m_bInvalid(TRUE), m_bWriteBack(FALSE) {
  if ((access & (WUMEMTOKEN_WRITEBACK | WUMEMTOKEN_READ)) == 0)
    access = WUMEMTOKEN_WRITEBACK | WUMEMTOKEN_READ;

  // The owner's own process: the block is used in place.
  if (token.dwProcessId == GetCurrentProcessId()) {
    m_pData = AddressOf(token.qwBase, token.qwOffset);
    m_bInvalid = FALSE;
    return;
  }

  if (token.bIsMapping) {
    HANDLE owner = OpenProcess(PROCESS_DUP_HANDLE, FALSE, token.dwProcessId);
    if (!owner) return;
    HANDLE mapping = nullptr;
    BOOL duplicated = DuplicateHandle(owner, HandleFromValue(token.hMapping), GetCurrentProcess(),
                                      &mapping, 0, FALSE, DUPLICATE_SAME_ACCESS);
    CloseHandle(owner);
    if (!duplicated || !UseMapping(mapping)) return;
    m_bInvalid = FALSE;
    return;
  }

  void* copy = WuGlobalNew(token.dwSize ? token.dwSize : 1);
  if (!copy) return;
  if (access & WUMEMTOKEN_READ) {
    HANDLE owner = OpenProcess(PROCESS_VM_READ | PROCESS_VM_OPERATION, FALSE, token.dwProcessId);
    SIZE_T read = 0;
    BOOL complete = owner && ReadProcessMemory(owner, AddressOf(token.qwBase, token.qwOffset),
                                               copy, token.dwSize, &read) &&
                    read == token.dwSize;
    if (owner) CloseHandle(owner);
    if (!complete) {
      WuGlobalDelete(copy);
      return;
    }
  }
  m_pData = copy;
  m_bPrivateCopy = TRUE;
  m_bWriteBack = (access & WUMEMTOKEN_WRITEBACK) ? TRUE : FALSE;
  m_bInvalid = FALSE;
}

CMappingOfWuMemoryToken::CMappingOfWuMemoryToken(const CMappingOfWuMemoryToken& other)
    : m_Token(other.m_Token), m_pData(nullptr), m_hMapping(nullptr), m_pView(nullptr),
      m_bMapped(FALSE), m_bPrivateCopy(FALSE), m_bInvalid(TRUE), m_bWriteBack(FALSE) {
  CopyFrom(other);
}

CMappingOfWuMemoryToken& CMappingOfWuMemoryToken::operator=(
    const CMappingOfWuMemoryToken& other) {
  if (this != &other) {
    Dispose();
    CopyFrom(other);
  }
  return *this;
}

// Takes the other object's fields with access of this object's own; this
// object holds nothing when called.
void CMappingOfWuMemoryToken::CopyFrom(const CMappingOfWuMemoryToken& other) {
  m_Token = other.m_Token;
  if (other.m_bInvalid) return;
  if (other.m_bMapped) {
    HANDLE mapping = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), other.m_hMapping, GetCurrentProcess(), &mapping, 0,
                         FALSE, DUPLICATE_SAME_ACCESS) ||
        !UseMapping(mapping))
      return;
  } else if (other.m_bPrivateCopy) {
    void* copy = WuGlobalNew(m_Token.dwSize ? m_Token.dwSize : 1);
    if (!copy) return;
    const char* from = static_cast<const char*>(other.m_pData);
    for (uint32_t i = 0; i < m_Token.dwSize; ++i) static_cast<char*>(copy)[i] = from[i];
    m_pData = copy;
    m_bPrivateCopy = TRUE;
    m_bWriteBack = other.m_bWriteBack;
  } else {
    m_pData = other.m_pData;  // in place: nothing to own
  }
  m_bInvalid = FALSE;
}

// Maps the block through `mapping`, a handle of this process that the
// object takes over. The view covers the block from the mapping's start, so
// any offset works. FALSE (the handle closed) when offset + size wraps
// around or the view cannot be had.
BOOL CMappingOfWuMemoryToken::UseMapping(HANDLE mapping) {
  const uint64_t length = m_Token.qwOffset + m_Token.dwSize;
  void* view = nullptr;
  if (length >= m_Token.qwOffset)  // offset + size did not wrap around
    view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, static_cast<SIZE_T>(length));
  if (!view) {
    CloseHandle(mapping);
    return FALSE;
  }
  m_hMapping = mapping;
  m_pView = view;
  m_pData = static_cast<char*>(view) + m_Token.qwOffset;
  m_bMapped = TRUE;
  return TRUE;
}

CMappingOfWuMemoryToken::~CMappingOfWuMemoryToken() { Dispose(); }

HRESULT CMappingOfWuMemoryToken::GetPointer(void** pointer) const {
  if (!pointer) return E_POINTER;
  *pointer = Pointer();
  return *pointer ? S_OK : E_FAIL;
}

void CMappingOfWuMemoryToken::Dispose() {
  if (m_bMapped) {
    UnmapViewOfFile(m_pView);
    CloseHandle(m_hMapping);
  } else if (m_bPrivateCopy) {
    if (m_bWriteBack) {
      HANDLE owner =
          OpenProcess(PROCESS_VM_WRITE | PROCESS_VM_OPERATION, FALSE, m_Token.dwProcessId);
      if (owner) {
        WriteProcessMemory(owner, AddressOf(m_Token.qwBase, m_Token.qwOffset), m_pData,
                           m_Token.dwSize, nullptr);
        CloseHandle(owner);
      }
    }
    WuGlobalDelete(m_pData);
  }
  m_pData = nullptr;
  m_hMapping = nullptr;
  m_pView = nullptr;
  m_bMapped = FALSE;
  m_bPrivateCopy = FALSE;
  m_bWriteBack = FALSE;
  m_bInvalid = TRUE;
}
