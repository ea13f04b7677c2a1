// The Global Interface Table: one table per process where a thread registers
// an interface pointer and any thread fetches it again by a cookie.
//
// There are no apartments here, so every thread gets the registered object
// itself (through its QueryInterface); nothing is marshalled. The table is a
// class the platform offers: CoCreateInstance of
// CLSID_StdGlobalInterfaceTable for IID_IGlobalInterfaceTable gives the
// process's one table (its reference count never destroys it).
//
// Slots, counting from QueryInterface = 0: 3 RegisterInterfaceInGlobal,
// 4 RevokeInterfaceFromGlobal, 5 GetInterfaceFromGlobal.
#pragma once

#include "platform/com/com.h"

inline constexpr CLSID CLSID_StdGlobalInterfaceTable = {
    0x00000323, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IGlobalInterfaceTable = {
    0x00000146, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IGlobalInterfaceTable : public IUnknown {
 public:
  // Keeps a reference to `object`, registered as the interface `iid`, and
  // gives its cookie (never 0, never given again in the process).
  // E_INVALIDARG (nothing kept, *cookie 0) for a NULL object or cookie
  // pointer; E_OUTOFMEMORY.
  virtual HRESULT RegisterInterfaceInGlobal(IUnknown* object, REFIID iid, DWORD* cookie) = 0;
  // Forgets a registration and releases its reference; E_INVALIDARG for a
  // cookie that is not registered (nothing changes).
  virtual HRESULT RevokeInterfaceFromGlobal(DWORD cookie) = 0;
  // Stores a new reference to the interface `iid` of the registered object
  // in *object (the object's own QueryInterface answers). E_INVALIDARG for
  // a NULL object pointer or a cookie that is not registered (*object NULL).
  virtual HRESULT GetInterfaceFromGlobal(DWORD cookie, REFIID iid, void** object) = 0;

 protected:
  ~IGlobalInterfaceTable() = default;
};

namespace platform {

// How often GetInterfaceFromGlobal has been called in the process, answered
// or not (for tests that count how often callers go to the table).
size_t GlobalInterfaceTableGetCount();

}  // namespace platform
