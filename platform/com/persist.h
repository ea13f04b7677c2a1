// Persistence interfaces: IPersist names the class of an object that can be
// saved, IPersistFile saves it to and loads it from a file named by path.
#pragma once

#include "platform/com/com.h"
#include "platform/kernel/types.h"

typedef WCHAR* LPOLESTR;
typedef const WCHAR* LPCOLESTR;

inline constexpr IID IID_IPersist = {0x0000010C, 0x0000, 0x0000,
                                     {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000,
                                         {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IPersist : public IUnknown {
 public:
  // The class whose objects read what this one saves; E_INVALIDARG for a
  // NULL out pointer.
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

class IPersistFile : public IPersist {
 public:
  // S_OK when the object changed since it was last loaded or saved to its
  // current file, S_FALSE when it did not.
  virtual HRESULT IsDirty() = 0;
  // Replaces the object's contents with the file's (`mode` STGM_*); the file
  // becomes the current file. A failure leaves the object as it was.
  virtual HRESULT Load(LPCOLESTR file, DWORD mode) = 0;
  // Writes the object to `file`, or to the current file when `file` is NULL.
  // With `remember` (or a NULL file) the file becomes the current file and
  // the object is no longer dirty; without it a copy is written.
  virtual HRESULT Save(LPCOLESTR file, BOOL remember) = 0;
  // Tells the object that the caller is done with a saved file.
  virtual HRESULT SaveCompleted(LPCOLESTR file) = 0;
  // The current file as a new text (CoTaskMemAlloc, the caller frees it);
  // without one, S_FALSE with the default name pattern.
  virtual HRESULT GetCurFile(LPOLESTR* file) = 0;

 protected:
  ~IPersistFile() = default;
};
