// What the set-up of both FFT families shares: making a context in a block
// of its own, and finding the variant that built a context.
//
// Internal linkage: each variant file gets its own copy (see dsp/Variants.h).
#pragma once

#include <cstdint>

#include "dsp/Dispatch.h"
#include "dsp/WuPerfStatus.h"

namespace wuperf {
namespace {

// Makes a context in a block of its own. Allocates `ctxBytes` for the
// context and `initBytes` of scratch for its building (none when 0), runs
// build(block, scratch, &head), releases the scratch, and releases the
// block too when the building fails. Alloc has Malloc and Free; its blocks
// start on 32 bytes, so the context is the block and owns it.
template <class Alloc, class Head, class Build>
WuPerfStatus MakeOwnedContext(int32_t ctxBytes, int32_t initBytes, Head** out, Build build) {
  uint8_t* block = Alloc::Malloc(ctxBytes);
  if (block == nullptr) return WuPerfErrNoMemory;
  uint8_t* init = nullptr;
  if (initBytes > 0) {
    init = Alloc::Malloc(initBytes);
    if (init == nullptr) {
      Alloc::Free(block);
      return WuPerfErrNoMemory;
    }
  }
  Head* head = nullptr;
  const WuPerfStatus st = build(block, init, &head);
  if (init != nullptr) Alloc::Free(init);
  if (st != WuPerfOk) {
    Alloc::Free(block);
    return st;
  }
  head->ownsBlock = 1;
  *out = head;
  return WuPerfOk;
}

// The variant that built `head`, or -1 when it is not a context of the
// kind `contextId` or names no variant.
template <class Head>
int32_t ContextOwner(const Head* head, int32_t contextId) {
  if (head->contextId != contextId) return -1;
  return head->variant >= 0 && head->variant < kVariantCount ? head->variant : -1;
}

}  // namespace
}  // namespace wuperf
