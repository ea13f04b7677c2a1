// Fake plug-in objects for blanket tests, one per wrapped interface, made
// from the same slot lists as the blankets: every operation counts its
// calls by slot and answers `result` plus its slot number (S_OK stays
// S_OK). QueryInterface answers IUnknown and the fake's own interface,
// and `extraIid` with `extra`, unless `refuse` is set; the reference
// count never frees the fake.
#pragma once

#include <atomic>

#include "fileio/WuFileIO.h"
#include "fileio/WuFioBlanketSlots.h"
#include "mediaformats/WuReadMeta.h"

namespace wu_test {

#define WU_FAKE_SLOT(slot, R, Name, Params, Args) \
  R Name Params override {                        \
    ++calls[slot];                                \
    return result == S_OK ? S_OK : static_cast<HRESULT>(result + slot); \
  }

#define WU_FAKE(I)                                                        \
  class Fake##I : public I {                                              \
   public:                                                                \
    std::atomic<LONG> refs{1};   /* references held */                    \
    std::atomic<int> qi{0};      /* QueryInterface calls */               \
    int calls[32] = {};          /* calls by slot */                      \
    HRESULT result = S_OK;       /* base of every operation's answer */   \
    std::atomic<bool> refuse{false}; /* QueryInterface refuses all */     \
    IUnknown* extra = nullptr;   /* handed out for extraIid */            \
    IID extraIid{};                                                       \
    HRESULT QueryInterface(REFIID iid, void** out) override {             \
      ++qi;                                                               \
      if (!out) return E_POINTER;                                         \
      *out = nullptr;                                                     \
      if (refuse) return E_NOINTERFACE;                                   \
      if (iid == IID_IUnknown || iid == IID_##I) {                        \
        AddRef();                                                         \
        *out = static_cast<I*>(this);                                     \
        return S_OK;                                                      \
      }                                                                   \
      if (extra && iid == extraIid) {                                     \
        extra->AddRef();                                                  \
        *out = extra;                                                     \
        return S_OK;                                                      \
      }                                                                   \
      return E_NOINTERFACE;                                               \
    }                                                                     \
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }       \
    ULONG Release() override { return static_cast<ULONG>(--refs); }      \
    WU_FIO_SLOTS_##I(WU_FAKE_SLOT)                                        \
    virtual ~Fake##I() = default;                                         \
  };

WU_FAKE(IWuReadFileClass)
WU_FAKE(IWuRenderFileClass)
WU_FAKE(IWuReadFile)
WU_FAKE(IWuRenderFile)
WU_FAKE(IWuReadStream)
WU_FAKE(IWuReadAudioStream)
WU_FAKE(IWuReadVideoStream)
WU_FAKE(IWuReadMeta)

#undef WU_FAKE
#undef WU_FAKE_SLOT

}  // namespace wu_test
