// The class factory: the object a component hands out for one of its classes
// ("DllGetClassObject"), which makes that class's objects on request.
//
// Slots, counting from QueryInterface = 0: 3 CreateInstance, 4 LockServer.
#pragma once

#include "platform/com/com.h"

inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000,
                                          {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IClassFactory : public IUnknown {
 public:
  // Makes a new object of the factory's class and stores a reference to its
  // interface `iid` in *object. `outer` is the controlling unknown of an
  // aggregate; factories that cannot aggregate answer CLASS_E_NOAGGREGATION
  // for a non-NULL one. *object is NULL on failure (E_POINTER for a NULL
  // object pointer, E_NOINTERFACE when the object lacks `iid`,
  // E_OUTOFMEMORY).
  virtual HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) = 0;
  // TRUE keeps the component loaded until the matching FALSE (a count of
  // locks, as objects are counted).
  virtual HRESULT LockServer(BOOL lock) = 0;

 protected:
  ~IClassFactory() = default;
};
